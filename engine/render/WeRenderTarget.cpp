#include "WeRenderTarget.h"

#include "WeRenderDevice.h"
#include "d3d9/D3d9Device.h"

namespace
{

template <typename T> void ReleaseAndClear(T*& object)
{
    if (object)
    {
        object->Release();
        object = nullptr;
    }
}

} // namespace

WeRenderTarget::~WeRenderTarget()
{
    Release();
}

bool WeRenderTarget::Create2D(uint32_t newWidth, uint32_t newHeight, d3d9::Format newFormat,
                              d3d9::MultisampleType newType, uint32_t newQuality)
{
    if (created)
    {
        return true;
    }
    d3d9::Device* device = renderDevice.device;
    ReleaseAndClear(surfaces[0]);
    if (!device)
    {
        return false;
    }
    if (newType != d3d9::D3DMULTISAMPLE_NONE &&
        d3d9::Failed(device->CreateRenderTarget(newWidth, newHeight, newFormat, newType, newQuality, false,
                                                &surfaces[0], nullptr)))
    {
        return false;
    }
    d3d9::Texture* made = nullptr;
    if (d3d9::Failed(device->CreateTexture(newWidth, newHeight, 1, d3d9::D3DUSAGE_RENDERTARGET, newFormat,
                                           d3d9::D3DPOOL_DEFAULT, &made, nullptr)))
    {
        ReleaseAndClear(surfaces[0]); // a multisampled surface without its texture is never used
        return false;
    }
    texture = made;
    made->GetSurfaceLevel(0, newType != d3d9::D3DMULTISAMPLE_NONE ? &resolveSurfaces[0] : &surfaces[0]);
    width = newWidth;
    height = newHeight;
    format = newFormat;
    multisampleType = newType;
    multisampleQuality = newQuality;
    isCube = false;
    created = true;
    return true;
}

bool WeRenderTarget::CreateCube(uint32_t newEdge, d3d9::Format newFormat)
{
    d3d9::Device* device = renderDevice.device;
    d3d9::CubeTexture* made = nullptr;
    if (!device || d3d9::Failed(device->CreateCubeTexture(newEdge, 1, d3d9::D3DUSAGE_RENDERTARGET, newFormat,
                                                          d3d9::D3DPOOL_DEFAULT, &made, nullptr)))
    {
        return false;
    }
    texture = made;
    for (uint32_t face = 0; face < 6; ++face)
    {
        made->GetCubeMapSurface(d3d9::CubeFace(face), 0, &surfaces[face]);
    }
    edge = newEdge;
    format = newFormat;
    isCube = true;
    created = true;
    return true;
}

void WeRenderTarget::Release()
{
    if (!created)
    {
        return;
    }
    for (uint32_t i = 0; i < 6; ++i)
    {
        ReleaseAndClear(surfaces[i]);
        ReleaseAndClear(resolveSurfaces[i]);
    }
    ReleaseAndClear(texture);
    created = false;
}

bool WeRenderTarget::Restore()
{
    return isCube ? CreateCube(edge, format)
                  : Create2D(width, height, format, multisampleType, multisampleQuality);
}

void WeRenderTarget::Bind(uint32_t index, uint32_t face) const
{
    if (renderDevice.device)
    {
        renderDevice.device->SetRenderTarget(index, isCube && face < 6 ? surfaces[face] : surfaces[0]);
    }
}

WeRenderTargetManager::~WeRenderTargetManager()
{
    FreeAll();
}

WeRenderTarget* WeRenderTargetManager::Adopt(WeRenderTarget* target, bool made)
{
    if (!made)
    {
        delete target;
        return nullptr;
    }
    targets.PushBack(target);
    return target;
}

WeRenderTarget* WeRenderTargetManager::Create2D(uint32_t width, uint32_t height, d3d9::Format format,
                                                d3d9::MultisampleType multisampleType,
                                                uint32_t multisampleQuality)
{
    auto* target = new WeRenderTarget;
    return Adopt(target, target->Create2D(width, height, format, multisampleType, multisampleQuality));
}

WeRenderTarget* WeRenderTargetManager::CreateCube(uint32_t edge, d3d9::Format format)
{
    auto* target = new WeRenderTarget;
    return Adopt(target, target->CreateCube(edge, format));
}

void WeRenderTargetManager::Destroy(WeRenderTarget* target)
{
    if (target && targets.Remove(target))
    {
        delete target;
    }
}

void WeRenderTargetManager::FreeAll()
{
    for (WeRenderTarget* target : targets)
    {
        delete target;
    }
    targets.Clear();
}

void WeRenderTargetManager::OnLostDevice()
{
    for (WeRenderTarget* target : targets)
    {
        target->Release();
    }
}

void WeRenderTargetManager::OnResetDevice()
{
    for (WeRenderTarget* target : targets)
    {
        target->Restore();
    }
}
