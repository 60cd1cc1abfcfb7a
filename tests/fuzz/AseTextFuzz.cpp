// ASE text of any bytes: the parser ends, and what it keeps holds together (every face's
// indices name vertices it read).
#include "WeAseParser.h"

#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    WeAseParser parser;
    parser.ParseText(std::string_view(reinterpret_cast<const char*>(data), size));
    for (const WeAseFace& face : parser.faces)
        for (const int32_t index : face.vertexIndex)
            if (index < 0 || size_t(index) >= parser.vertices.size())
                std::abort();
    return 0;
}
