// A level's sky: an asset name and a kind. The map header carries its record right after the
// scene configuration. The flat kind is drawn by the scene before everything else; the others
// belong to the sky-box renderer.
#pragma once

#include "WeModel.h"
#include "WeString.h"

#include <cstdint>
#include <memory>

class WeCamera;
class WeRecordReader;
class WeTexture;

class WeSkyBox
{
public:
    enum Kind : int32_t
    {
        meshModel = 0,
        cubeTexture = 1,
        flatTexture = 2,
    };

    WeSkyBox() = default;
    virtual ~WeSkyBox() = default;
    WeSkyBox(const WeSkyBox&) = delete;
    WeSkyBox& operator=(const WeSkyBox&) = delete;

    // int32 version, the name and, from version 2, the kind (else the kind is kept). False when
    // the record is cut short.
    bool Read(WeRecordReader& reader);
    // Loads the named model (material preset 0) for the model kind, the named texture for the
    // texture kinds; nothing for an empty name.
    void Resolve();
    // In the scene's background pass: the cube kind through the sky-box renderer's cube path, the
    // model kind through its mesh path with the value as alpha factor.
    void Render(const WeCamera* camera, float value) const;
    // The texture of the flat kind when it is a plain 2D one, else null.
    WeTexture* GetFlatTexture() const;

    WeString name;
    int32_t kind = meshModel;
    WeTexture* texture = nullptr;
    std::unique_ptr<WeModel> model;
};
