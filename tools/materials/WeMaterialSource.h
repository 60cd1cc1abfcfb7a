// A material written as text, one "key = value" line per field that differs from the engine's
// default ('#' starts a comment), and its version-34 material record. Keys are the record's
// field names; numbers are written the same in every locale, several of them separated by
// blanks; flags are "true" or "false"; texture slots are "texture0" to "texture15".
//
//     # The blocks' faces.
//     shader = Shaders.Default.Default
//     texture0 = Ingame.Textures.block_face
//     color = 0.9 0.8 0.3 1
#pragma once

#include <cstdint>
#include <string>

class WeFileStream;

struct WeMaterialSource
{
    static constexpr int32_t recordVersion = 34;

    // Fills the fields from the text; false with lastError naming the line for an unknown key,
    // a missing "=", a wrong count of values or a value that is not a number or flag.
    bool Parse(const std::string& text);
    // The version-34 record; false when the stream refuses a byte.
    bool Write(WeFileStream& stream) const;
    const std::string& GetLastError() const { return lastError; }

    int32_t pass = 0;
    int32_t srcBlend = 5;
    int32_t destBlend = 6;
    bool reflective = false;
    bool lighting = true;
    bool refractive = false;
    bool twoSided = false;
    std::string shader = "Shaders.Default.ColorOnly";
    std::string textures[16];
    int32_t textureAnimation = 0;
    float animParams[5] = {};
    float materialStrength = 1.0f;
    float envStrength = 0.0f;
    float glowAmount = 0.0f;
    float color[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    float bumpIntensity = 2.5f;
    float staticBumpVector[3] = {15.0f, 15.0f, 10.0f};
    float staticBumpIntensity = 0.0f;
    float specularPow = 0.0f;
    int32_t alphaReference = 0;
    bool wireframe = false;
    int32_t priority = 0;
    float noiseSpeed = 0.0f, waveSpeed = 0.0f, noiseScale = 0.0f, noiseIntensity = 0.0f;
    float furStrength = 1.0f;
    bool ownFog = false, fogEnabled = false;
    float fogStart = 0.0f, fogEnd = 1000.0f, fogMin = 0.0f, fogMax = 1.0f;
    bool splat = false;
    float splatUVScales[9] = {1, 1, 1, 1, 1, 1, 1, 1, 1};

private:
    bool SetField(const std::string& key, const std::string& value);
    bool Fail(int line, const std::string& message);

    std::string lastError;
};
