// libFuzzer target for the movie file source: any bytes, taken as a movie file, must be refused
// or play to its end through a renderer, with every frame at the size the file announced.
#include "dshow/DShowGraph.h"

#include <cstdio>
#include <string>
#include <unistd.h>

namespace
{

class SizeCheck : public dshow::BaseRenderer
{
    dshow::HRESULT SetMediaType(const dshow::MediaType& type) override
    {
        bytes = size_t(type.width) * size_t(type.height) * 4;
        return dshow::S_OK;
    }
    dshow::HRESULT DoRenderSample(const dshow::MediaSample& sample) override
    {
        // Reading every byte lets AddressSanitizer see a frame shorter than announced.
        volatile uint8_t sum = 0;
        for (size_t i = 0; i < bytes; ++i)
            sum = uint8_t(sum + sample.bits[i]);
        return dshow::S_OK;
    }
    size_t bytes = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const std::string path = "/tmp/we_fuzz_movie_" + std::to_string(getpid()) + ".mkv";
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return 0;
    std::fwrite(data, 1, size, file);
    std::fclose(file);

    dshow::GraphBuilder* graph = nullptr;
    dshow::CreateFilterGraph(&graph);
    auto* renderer = new SizeCheck;
    graph->AddFilter(renderer, "check");
    renderer->Release();
    if (!dshow::Failed(graph->RenderFile(path.c_str())))
    {
        dshow::MediaControl* control = nullptr;
        dshow::MediaPosition* position = nullptr;
        dshow::MediaEventEx* events = nullptr;
        graph->QueryInterface(&control);
        graph->QueryInterface(&position);
        graph->QueryInterface(&events);
        position->put_Rate(1e6);
        control->Run();
        int32_t code = 0;
        intptr_t first = 0, second = 0;
        events->GetEvent(&code, &first, &second, 10000);
        control->Release();
        position->Release();
        events->Release();
    }
    graph->Release();
    return 0;
}
