// Textures that the renderers draw into: 2D (optionally multisampled, resolved into the texture)
// and cube. Their device objects go on device loss and come back from the stored parameters.
#pragma once

#include "WeList.h"
#include "d3d9/D3d9Resources.h"

class WeRenderTarget
{
public:
    WeRenderTarget() = default;
    virtual ~WeRenderTarget();

    // True at once when created. With multisampling, the surface drawn into is a separate
    // multisampled surface and level 0 of the texture is its resolve destination.
    bool Create2D(uint32_t width, uint32_t height, d3d9::Format format, d3d9::MultisampleType multisampleType,
                  uint32_t multisampleQuality);
    bool CreateCube(uint32_t edge, d3d9::Format format);
    void Release();
    // Creates again from the stored parameters.
    bool Restore();
    // Makes the face's surface of a cube, else the first surface, render target `index`.
    void Bind(uint32_t index, uint32_t face) const;

    d3d9::BaseTexture* texture = nullptr;
    d3d9::Surface* surfaces[6] = {};
    d3d9::Surface* resolveSurfaces[6] = {};
    bool created = false;
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t edge = 0;
    d3d9::Format format = d3d9::D3DFMT_UNKNOWN;
    d3d9::MultisampleType multisampleType = d3d9::D3DMULTISAMPLE_NONE;
    uint32_t multisampleQuality = 0;
    bool isCube = false;

    WeRenderTarget(const WeRenderTarget&) = delete;
    WeRenderTarget& operator=(const WeRenderTarget&) = delete;
};

// Owns every render target it made and carries them across device loss.
class WeRenderTargetManager
{
public:
    virtual ~WeRenderTargetManager();
    // A new target, or null when it cannot be made.
    WeRenderTarget* Create2D(uint32_t width, uint32_t height, d3d9::Format format,
                             d3d9::MultisampleType multisampleType, uint32_t multisampleQuality);
    WeRenderTarget* CreateCube(uint32_t edge, d3d9::Format format);
    // Deletes one target of the list; null or an unlisted target is ignored.
    void Destroy(WeRenderTarget* target);
    void FreeAll();
    void OnLostDevice();
    void OnResetDevice();
    int32_t GetCount() const { return targets.GetCount(); }

private:
    WeRenderTarget* Adopt(WeRenderTarget* target, bool made);
    WeList<WeRenderTarget*> targets;
};

extern WeRenderTargetManager renderTargetManager;
