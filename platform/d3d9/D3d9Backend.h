// What a back end does for the device: it owns the real objects behind resources, turns the
// device's Direct3D state into its own at each clear and draw, and presents. The device keeps
// all Direct3D-visible state itself, so back ends only read it.
#pragma once

#include "d3d9/D3d9Resources.h"

#include <string>

namespace d3d9
{

struct DeviceState;

struct DrawCall
{
    PrimitiveType type = D3DPT_TRIANGLELIST;
    uint32_t vertexCount = 0;
    uint32_t startVertex = 0;              // first vertex of a non-indexed draw
    int32_t baseVertex = 0;                // added to every index of an indexed draw
    uint32_t startIndex = 0;               // first index of an indexed draw
    uint32_t indexCount = 0;               // 0 for a non-indexed draw
    const uint8_t* userVertices = nullptr; // vertex data passed with the call instead of stream 0
    uint32_t userStride = 0;
    uint32_t userVertexCount = 0;         // vertices in userVertices
    const uint8_t* userIndices = nullptr; // index data passed with the call instead of the buffer
    bool userIndices32 = false;
    bool instanced = false; // an indexed draw of the state's instances
};

// The rectangle a Clear touches: the viewport, cut to the scissor rectangle when the test is on.
Rect ClearRect(const DeviceState& state);

class Backend
{
public:
    virtual ~Backend() = default;
    // Makes the presentation objects for the parameters (back buffer included).
    virtual HRESULT Open(const PresentParameters& parameters, Surface& backBuffer) = 0;
    // Drops and makes again what depends on the parameters.
    virtual HRESULT Reset(const PresentParameters& parameters, Surface& backBuffer) = 0;
    virtual bool CreateStorage(Surface& surface) = 0;
    virtual bool CreateStorage(BaseTexture& texture) = 0;
    virtual bool CreateStorage(Buffer& buffer) = 0;
    // Compiles the shader's code; false with the log as the problem when it does not compile.
    virtual bool CreateStorage(Shader& shader) = 0;
    virtual void DestroyStorage(Resource& resource) = 0;
    // Hands the surface's memory to the back end after a write, or fills it before a read.
    virtual void Upload(Surface& surface) = 0;
    virtual void Download(Surface& surface) = 0;
    virtual void Upload(Buffer& buffer, uint32_t offset, uint32_t size) = 0;
    // Hands a level of a volume texture's memory to the back end after a write.
    virtual void Upload(VolumeTexture& texture, uint32_t level) = 0;
    virtual void Clear(const DeviceState& state, uint32_t flags, D3DCOLOR color, float z,
                       uint32_t stencil) = 0;
    virtual void Draw(const DeviceState& state, const DrawCall& call) = 0;
    // Copies between two checked rectangles of colour surfaces (see Device::StretchRect).
    virtual void Copy(Surface& source, const Rect& from, Surface& dest, const Rect& to, bool linear) = 0;
    virtual HRESULT Present(Surface& backBuffer) = 0;
    // The back end's last complaint, empty when it has none.
    virtual std::string LastProblem() const { return {}; }
};

} // namespace d3d9
