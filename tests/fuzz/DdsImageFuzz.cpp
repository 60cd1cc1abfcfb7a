// libFuzzer target for the DDS image reader: any bytes must be described or refused cleanly,
// and whatever is described must make its texture of its kind on the recording device.
#include "d3dx/D3dxTextureFile.h"

#include <cstdlib>

namespace
{

d3d9::Device* RecordingDevice()
{
    static d3d9::Direct3D* direct3D = d3d9::CreateRecordingDirect3D();
    d3d9::PresentParameters parameters;
    parameters.backBufferWidth = parameters.backBufferHeight = 8;
    parameters.backBufferFormat = d3d9::D3DFMT_X8R8G8B8;
    d3d9::Device* made = nullptr;
    if (d3d9::Failed(direct3D->CreateDevice(0, d3d9::D3DDEVTYPE_HAL, nullptr, 0, &parameters, &made)))
        std::abort();
    return made;
}

template <typename T>
void Make(d3d9::HRESULT (*create)(d3d9::Device*, const void*, uint32_t, T**), const uint8_t* data,
          uint32_t size)
{
    static d3d9::Device* device = RecordingDevice();
    T* made = nullptr;
    if (!d3d9::Failed(create(device, data, size, &made)))
        made->Release();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    d3dx::ImageInfo info;
    const auto bytes = uint32_t(size);
    if (d3d9::Failed(d3dx::D3DXGetImageInfoFromFileInMemory(data, bytes, &info)))
        return 0;
    if (info.resourceType == d3dx::D3DRTYPE_TEXTURE)
        Make(d3dx::D3DXCreateTextureFromFileInMemory, data, bytes);
    else if (info.resourceType == d3dx::D3DRTYPE_CUBETEXTURE)
        Make(d3dx::D3DXCreateCubeTextureFromFileInMemory, data, bytes);
    else
        Make(d3dx::D3DXCreateVolumeTextureFromFileInMemory, data, bytes);
    return 0;
}
