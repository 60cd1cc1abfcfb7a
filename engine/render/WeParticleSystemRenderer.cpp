#include "WeParticleSystemRenderer.h"

#include "WeParticleSystem.h"
#include "WeRenderDevice.h"
#include "WeSceneRenderer.h"
#include "d3d9/D3d9Device.h"

#include <algorithm>
#include <cmath>

using namespace d3d9;

namespace
{

constexpr VertexElement particleElements[] = {{0, 0, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_POSITION, 0},
                                              {0, 12, D3DDECLTYPE_FLOAT4, 0, D3DDECLUSAGE_TEXCOORD, 0},
                                              {0, 28, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_TEXCOORD, 1},
                                              {0, 40, D3DDECLTYPE_FLOAT4, 0, D3DDECLUSAGE_TEXCOORD, 2},
                                              D3DDECL_END};
constexpr uint32_t vertexBufferBytes =
    uint32_t(WeParticleSystemRenderer::quadsPerBuffer) * 4 * sizeof(WeParticleVertex);
constexpr uint32_t indexCount = uint32_t(WeParticleSystemRenderer::quadsPerBuffer) * 6;
// The corners of a quad, in the order of its four vertices.
constexpr float corners[4][2] = {{0.0f, 1.0f}, {0.0f, 0.0f}, {1.0f, 0.0f}, {1.0f, 1.0f}};

template <typename T> void ReleaseAndClear(T*& object)
{
    if (object)
    {
        object->Release();
        object = nullptr;
    }
}

WeVector TransformDirection(const WeVector& v, const WeMatrix& m)
{
    return {v.x * m.m[0][0] + v.y * m.m[1][0] + v.z * m.m[2][0],
            v.x * m.m[0][1] + v.y * m.m[1][1] + v.z * m.m[2][1],
            v.x * m.m[0][2] + v.y * m.m[1][2] + v.z * m.m[2][2]};
}

// The quad's up on screen: the velocity in view space, made unit length in the view plane; (0, 1)
// for a particle moving straight along the line of sight.
void MotionDirection(const WeParticle& particle, const WeParticleSystem& system, const WeMatrix* view,
                     float& x, float& y)
{
    WeVector velocity = particle.velocity;
    if (system.Relative)
        velocity = TransformDirection(velocity, system.GetWorldMatrix());
    if (view)
        velocity = TransformDirection(velocity, *view);
    const float length = std::sqrt(velocity.x * velocity.x + velocity.y * velocity.y);
    if (length > 0.0f)
    {
        x = velocity.x / length;
        y = velocity.y / length;
    }
    else
    {
        x = 0.0f;
        y = 1.0f;
    }
}

} // namespace

int32_t particlesWritten = 0;

WeParticleSystemRenderer::~WeParticleSystemRenderer()
{
    WeParticleSystemRenderer::OnLostDevice();
}

bool WeParticleSystemRenderer::Init()
{
    if (!ready)
    {
        ready = true;
        OnResetDevice();
    }
    return true;
}

void WeParticleSystemRenderer::Shutdown()
{
    if (!ready)
        return;
    OnLostDevice();
    ready = false;
}

void WeParticleSystemRenderer::OnLostDevice()
{
    ReleaseAndClear(declaration);
    for (VertexBuffer*& buffer : vertexBuffers)
        ReleaseAndClear(buffer);
    ReleaseAndClear(indexBuffer);
    bufferCount = 0;
    currentBuffer = 0;
}

void WeParticleSystemRenderer::OnResetDevice()
{
    Device* device = renderDevice.device;
    if (!device)
        return;
    if (!declaration)
        device->CreateVertexDeclaration(particleElements, &declaration);
    currentBuffer = 0;
    particlesWritten = 0;
    if (!ready || !MakeBuffers())
    {
        ready = false;
        OnLostDevice();
    }
}

bool WeParticleSystemRenderer::MakeBuffers()
{
    Device* device = renderDevice.device;
    constexpr uint32_t usage = D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY;
    for (VertexBuffer*& buffer : vertexBuffers)
        if (Failed(
                device->CreateVertexBuffer(vertexBufferBytes, usage, 0, D3DPOOL_DEFAULT, &buffer, nullptr)))
            return false;
    bufferCount = buffers;
    if (Failed(device->CreateIndexBuffer(indexCount * 2, usage, D3DFMT_INDEX16, D3DPOOL_DEFAULT, &indexBuffer,
                                         nullptr)))
        return false;
    void* data = nullptr;
    if (Failed(indexBuffer->Lock(0, 0, &data, D3DLOCK_DISCARD)))
        return false;
    auto* indices = static_cast<uint16_t*>(data);
    for (uint32_t quad = 0; quad < uint32_t(quadsPerBuffer); ++quad)
        for (const uint32_t corner : {0u, 1u, 2u, 0u, 2u, 3u})
            *indices++ = uint16_t(4 * quad + corner);
    return !Failed(indexBuffer->Unlock());
}

void WeParticleSystemRenderer::Flush(int32_t quads)
{
    Device* device = renderDevice.device;
    VertexBuffer* buffer = vertexBuffers[currentBuffer];
    buffer->Unlock();
    device->SetStreamSource(0, buffer, 0, sizeof(WeParticleVertex));
    device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, uint32_t(quads) * 4, 0, uint32_t(quads) * 2);
    currentBuffer = (currentBuffer + 1) % bufferCount;
    particlesWritten = 0;
}

void WeParticleSystemRenderer::Draw(const WeParticleSystem& system)
{
    const std::vector<WeParticle*>& particles = system.GetParticles();
    if (!ready || bufferCount == 0 || particles.empty())
        return;
    renderDevice.device->SetIndices(indexBuffer);
    const WeMatrix* view = sceneRenderer.camera ? &sceneRenderer.camera->view : nullptr;
    const WeMatrix& world = system.GetWorldMatrix();
    WeParticleVertex* out = nullptr;
    size_t left = particles.size();
    for (const WeParticle* particle : particles)
    {
        if (!out)
        {
            const size_t room = std::min(size_t(quadsPerBuffer - particlesWritten), left);
            void* data = nullptr;
            if (Failed(vertexBuffers[currentBuffer]->Lock(0, uint32_t(room * 4 * sizeof(WeParticleVertex)),
                                                          &data, D3DLOCK_DISCARD)))
                return;
            out = static_cast<WeParticleVertex*>(data);
        }
        float dirX = 0.0f, dirY = 1.0f;
        if (system.AlignToMotion)
            MotionDirection(*particle, system, view, dirX, dirY);
        const WeVector at =
            system.Relative ? d3dx::D3DXVec3TransformCoord(particle->position, world) : particle->position;
        const WeColor& colour = particle->color;
        for (const auto& corner : corners)
            *out++ = {at.x,
                      at.y,
                      at.z,
                      corner[0],
                      corner[1],
                      dirX,
                      dirY,
                      particle->sizeX,
                      particle->sizeY,
                      particle->angle,
                      colour.r,
                      colour.g,
                      colour.b,
                      colour.a};
        --left;
        if (++particlesWritten == quadsPerBuffer || left == 0)
        {
            Flush(particlesWritten);
            out = nullptr;
        }
    }
}
