#include "WeMaterialSource.h"

#include "WeFileStream.h"

#include <algorithm>
#include <charconv>
#include <sstream>
#include <vector>

namespace
{

std::string Trimmed(const std::string& text)
{
    const size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos)
        return "";
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

std::vector<std::string> Words(const std::string& text)
{
    std::vector<std::string> words;
    std::istringstream in(text);
    for (std::string word; in >> word;)
        words.push_back(word);
    return words;
}

template <typename T> bool ParseNumber(const std::string& word, T& value)
{
    const char* end = word.data() + word.size();
    const auto [stop, error] = std::from_chars(word.data(), end, value);
    return error == std::errc() && stop == end;
}

bool ParseFlag(const std::string& word, bool& value)
{
    if (word != "true" && word != "false")
        return false;
    value = word == "true";
    return true;
}

// Every value of the line into the fields, all or nothing.
template <typename T, typename Parse>
bool ParseAll(const std::string& value, T* fields, size_t count, Parse parse)
{
    const std::vector<std::string> words = Words(value);
    if (words.size() != count)
        return false;
    std::vector<T> parsed(count);
    for (size_t i = 0; i < count; ++i)
    {
        T field{};
        if (!parse(words[i], field))
            return false;
        parsed[i] = field;
    }
    std::copy(parsed.begin(), parsed.end(), fields);
    return true;
}

bool Floats(const std::string& value, float* fields, size_t count)
{
    return ParseAll(value, fields, count, ParseNumber<float>);
}

bool Int(const std::string& value, int32_t& field)
{
    return ParseAll(value, &field, 1, ParseNumber<int32_t>);
}

bool Flag(const std::string& value, bool& field)
{
    return ParseAll(value, &field, 1, ParseFlag);
}

} // namespace

bool WeMaterialSource::Parse(const std::string& text)
{
    std::istringstream in(text);
    int number = 0;
    for (std::string line; std::getline(in, line);)
    {
        ++number;
        line = Trimmed(line.substr(0, line.find('#')));
        if (line.empty())
            continue;
        const size_t equals = line.find('=');
        if (equals == std::string::npos)
            return Fail(number, "no \"=\" in \"" + line + "\"");
        const std::string key = Trimmed(line.substr(0, equals));
        if (!SetField(key, Trimmed(line.substr(equals + 1))))
            return Fail(number, "bad key or value for \"" + key + "\"");
    }
    return true;
}

bool WeMaterialSource::SetField(const std::string& key, const std::string& value)
{
    const struct
    {
        const char* key;
        float* values;
        size_t count;
    } floats[] = {
        {"animParams", animParams, 5},
        {"materialStrength", &materialStrength, 1},
        {"envStrength", &envStrength, 1},
        {"glowAmount", &glowAmount, 1},
        {"color", color, 4},
        {"bumpIntensity", &bumpIntensity, 1},
        {"staticBumpVector", staticBumpVector, 3},
        {"staticBumpIntensity", &staticBumpIntensity, 1},
        {"specularPow", &specularPow, 1},
        {"noiseSpeed", &noiseSpeed, 1},
        {"waveSpeed", &waveSpeed, 1},
        {"noiseScale", &noiseScale, 1},
        {"noiseIntensity", &noiseIntensity, 1},
        {"furStrength", &furStrength, 1},
        {"fogStart", &fogStart, 1},
        {"fogEnd", &fogEnd, 1},
        {"fogMin", &fogMin, 1},
        {"fogMax", &fogMax, 1},
        {"splatUVScales", splatUVScales, 9},
    };
    for (const auto& field : floats)
        if (key == field.key)
            return Floats(value, field.values, field.count);
    const std::pair<const char*, int32_t*> ints[] = {
        {"pass", &pass},
        {"srcBlend", &srcBlend},
        {"destBlend", &destBlend},
        {"textureAnimation", &textureAnimation},
        {"alphaReference", &alphaReference},
        {"priority", &priority},
    };
    for (const auto& [name, field] : ints)
        if (key == name)
            return Int(value, *field);
    const std::pair<const char*, bool*> flags[] = {
        {"reflective", &reflective}, {"lighting", &lighting},   {"refractive", &refractive},
        {"twoSided", &twoSided},     {"wireframe", &wireframe}, {"ownFog", &ownFog},
        {"fogEnabled", &fogEnabled}, {"splat", &splat},
    };
    for (const auto& [name, field] : flags)
        if (key == name)
            return Flag(value, *field);
    if (key == "shader")
    {
        shader = value;
        return true;
    }
    for (int slot = 0; slot < 16; ++slot)
        if (key == "texture" + std::to_string(slot))
        {
            textures[slot] = value;
            return true;
        }
    return false;
}

bool WeMaterialSource::Fail(int line, const std::string& message)
{
    lastError = "line " + std::to_string(line) + ": " + message;
    return false;
}

bool WeMaterialSource::Write(WeFileStream& stream) const
{
    bool ok = stream.WriteInt(recordVersion) && stream.WriteInt(pass) && stream.WriteInt(srcBlend) &&
              stream.WriteInt(destBlend) && stream.WriteInt(reflective ? 1 : 0) &&
              stream.WriteBool(lighting) && stream.WriteBool(false) && stream.WriteBool(refractive) &&
              stream.WriteBool(twoSided) && stream.WriteString(shader.c_str());
    for (const std::string& texture : textures)
        ok = ok && stream.WriteString(texture.c_str());
    ok = ok && stream.WriteInt(textureAnimation);
    for (const float parameter : animParams)
        ok = ok && stream.WriteFloat(parameter);
    ok = ok && stream.WriteFloat(materialStrength) && stream.WriteFloat(envStrength) &&
         stream.WriteFloat(glowAmount) && stream.WriteVector4(color) && stream.WriteFloat(bumpIntensity) &&
         stream.WriteVector(staticBumpVector) && stream.WriteFloat(staticBumpIntensity) &&
         stream.WriteFloat(specularPow) && stream.WriteInt(alphaReference) && stream.WriteBool(wireframe) &&
         stream.WriteInt(priority) && stream.WriteFloat(noiseSpeed) && stream.WriteFloat(waveSpeed) &&
         stream.WriteFloat(noiseScale) && stream.WriteFloat(noiseIntensity) &&
         stream.WriteFloat(furStrength) && stream.WriteBool(ownFog) && stream.WriteBool(fogEnabled) &&
         stream.WriteFloat(fogStart) && stream.WriteFloat(fogEnd) && stream.WriteFloat(fogMin) &&
         stream.WriteFloat(fogMax) && stream.WriteBool(splat);
    for (const float scale : splatUVScales)
        ok = ok && stream.WriteFloat(scale);
    return ok;
}
