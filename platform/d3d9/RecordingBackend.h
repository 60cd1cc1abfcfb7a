// The back end for tests: no window and no drawing. Resources live in their lockable memory,
// Clear fills the memory of the bound colour targets, and Present only counts.
#pragma once

#include "d3d9/D3d9Backend.h"

#include <functional>

namespace d3d9
{

class RecordingBackend : public Backend
{
public:
    HRESULT Open(const PresentParameters& parameters, Surface& backBuffer) override;
    HRESULT Reset(const PresentParameters& parameters, Surface& backBuffer) override;
    bool CreateStorage(Surface& surface) override;
    bool CreateStorage(BaseTexture& texture) override;
    bool CreateStorage(Buffer& buffer) override;
    // Takes any code: the recording back end compiles nothing.
    bool CreateStorage(Shader& shader) override;
    void DestroyStorage(Resource& resource) override;
    void Upload(Surface& surface) override;
    void Download(Surface& surface) override;
    void Upload(Buffer& buffer, uint32_t offset, uint32_t size) override;
    void Upload(VolumeTexture& texture, uint32_t level) override;
    void Clear(const DeviceState& state, uint32_t flags, D3DCOLOR color, float z, uint32_t stencil) override;
    void Draw(const DeviceState& state, const DrawCall& call) override;
    void Copy(Surface& source, const Rect& from, Surface& dest, const Rect& to, bool linear) override;
    HRESULT Present(Surface& backBuffer) override;

    uint32_t presents = 0;
    uint32_t draws = 0;
    // Test hook: sees the device state of every draw.
    std::function<void(const DeviceState&)> onDraw;
};

} // namespace d3d9
