#include "MivoFieldReader.h"

#include <cstring>

MivoFieldReader::MivoFieldReader(const WeString& text, char separator) : text(text), separator(separator) {}

WeString MivoFieldReader::Next()
{
    if (AtEnd())
        return WeString();
    const int32_t length = text.GetLength();
    const char* data = text.GetData();
    const void* stop = std::memchr(data + position, separator, static_cast<size_t>(length - position));
    const int32_t end = stop ? static_cast<int32_t>(static_cast<const char*>(stop) - data) : length;
    const WeString field = text.Substring(position, end);
    position = end + 1;
    return field;
}
