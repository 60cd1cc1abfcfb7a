// The device's own rules, on the recording back end: state, logging, lockable memory, loss.
#include "d3d9/D3d9Device.h"

#include <gtest/gtest.h>

#include <cstring>
#include <tuple>

using namespace d3d9;

namespace
{

class RecordingDevice : public ::testing::Test
{
protected:
    void SetUp() override
    {
        AdapterSetup setup;
        setup.modes = {{1024, 768, 75, D3DFMT_X8R8G8B8},
                       {800, 600, 60, D3DFMT_X8R8G8B8},
                       {1024, 768, 60, D3DFMT_X8R8G8B8},
                       {640, 480, 60, D3DFMT_X8R8G8B8}};
        direct3D = CreateRecordingDirect3D(setup);
        parameters.backBufferWidth = 32;
        parameters.backBufferHeight = 16;
        parameters.backBufferFormat = D3DFMT_X8R8G8B8;
        ASSERT_EQ(direct3D->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, 0, &parameters, &device), D3D_OK);
    }
    void TearDown() override
    {
        if (device)
        {
            device->Release();
        }
        direct3D->Release();
    }
    uint32_t BackBufferPixel(int x, int y)
    {
        Surface* back = nullptr;
        EXPECT_EQ(device->GetRenderTarget(0, &back), D3D_OK);
        LockedRect locked;
        EXPECT_EQ(back->LockRect(&locked, nullptr, D3DLOCK_READONLY), D3D_OK);
        uint32_t value = 0;
        std::memcpy(&value, static_cast<uint8_t*>(locked.bits) + y * locked.pitch + x * 4, 4);
        back->UnlockRect();
        back->Release();
        return value;
    }

    Direct3D* direct3D = nullptr;
    Device* device = nullptr;
    PresentParameters parameters;
};

TEST_F(RecordingDevice, DisplayModesComeInAscendingOrder)
{
    ASSERT_EQ(direct3D->GetAdapterModeCount(0, D3DFMT_X8R8G8B8), 4u);
    DisplayMode modes[4];
    for (uint32_t i = 0; i < 4; ++i)
    {
        ASSERT_EQ(direct3D->EnumAdapterModes(0, D3DFMT_X8R8G8B8, i, &modes[i]), D3D_OK);
    }
    EXPECT_EQ(modes[0].width, 640u);
    EXPECT_EQ(modes[1].width, 800u);
    EXPECT_EQ(modes[2].refreshRate, 60u);
    EXPECT_EQ(modes[3].refreshRate, 75u);
    EXPECT_EQ(direct3D->GetAdapterModeCount(0, D3DFMT_A8R8G8B8), 0u);
}

TEST_F(RecordingDevice, CallsAreLoggedWithTheirArguments)
{
    device->ClearCallLog();
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, 1);
    device->SetTexture(3, nullptr);
    const std::vector<std::string> expected{"SetRenderState 27 1", "SetTexture 3 null"};
    EXPECT_EQ(device->CallLog(), expected);
}

TEST_F(RecordingDevice, StatesStartAtTheirDefaultsAndReadBack)
{
    uint32_t value = 0;
    device->GetRenderState(D3DRS_CULLMODE, &value);
    EXPECT_EQ(value, uint32_t(D3DCULL_CCW));
    device->GetSamplerState(15, D3DSAMP_MIPFILTER, &value);
    EXPECT_EQ(value, uint32_t(D3DTEXF_NONE));
    device->SetRenderState(D3DRS_SCISSORTESTENABLE, 1);
    device->GetRenderState(D3DRS_SCISSORTESTENABLE, &value);
    EXPECT_EQ(value, 1u);
    EXPECT_EQ(device->SetRenderState(RenderState(D3DRS_COUNT), 1), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->SetSamplerState(16, D3DSAMP_MAGFILTER, 1), D3DERR_INVALIDCALL);
}

TEST_F(RecordingDevice, ClearFillsTheLockableMemoryOfTheViewport)
{
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF0000FFu, 1.0f, 0);
    const Viewport corner{4, 2, 8, 4, 0.0f, 1.0f};
    ASSERT_EQ(device->SetViewport(&corner), D3D_OK);
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFFFF0000u, 1.0f, 0);
    EXPECT_EQ(BackBufferPixel(4, 2), 0xFFFF0000u);
    EXPECT_EQ(BackBufferPixel(11, 5), 0xFFFF0000u);
    EXPECT_EQ(BackBufferPixel(12, 5), 0xFF0000FFu);
    EXPECT_EQ(BackBufferPixel(3, 2), 0xFF0000FFu);
    EXPECT_EQ(device->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.0f, 0), D3DERR_INVALIDCALL)
        << "no depth-stencil surface is bound";
}

// A copy to another width takes, for each pixel, the source column at the same fraction of the
// width, rounded down.
TEST_F(RecordingDevice, AScaledCopyTakesTheNearestSourceColumns)
{
    auto makeRow = [this](uint32_t width)
    {
        Surface* row = nullptr;
        EXPECT_EQ(device->CreateRenderTarget(width, 1, D3DFMT_X8R8G8B8, D3DMULTISAMPLE_NONE, 0, true, &row,
                                             nullptr),
                  D3D_OK);
        return row;
    };
    Surface* source = makeRow(32);
    ASSERT_NE(source, nullptr);
    for (uint32_t x = 0; x < 32; ++x)
        std::memcpy(source->Memory().data() + x * 4, &x, 4);
    LockedRect locked;
    for (const uint32_t width : {16u, 12u, 7u, 48u})
    {
        SCOPED_TRACE(width);
        Surface* copy = makeRow(width);
        ASSERT_NE(copy, nullptr);
        ASSERT_EQ(device->StretchRect(source, nullptr, copy, nullptr, D3DTEXF_POINT), D3D_OK);
        ASSERT_EQ(copy->LockRect(&locked, nullptr, D3DLOCK_READONLY), D3D_OK);
        for (uint32_t x = 0; x < width; ++x)
        {
            uint32_t value = 0;
            std::memcpy(&value, static_cast<uint8_t*>(locked.bits) + x * 4, 4);
            EXPECT_EQ(value, x * 32 / width) << x;
        }
        copy->UnlockRect();
        copy->Release();
    }
    source->Release();
}

TEST_F(RecordingDevice, RenderTargetZeroCannotBeUnsetAndResetsTheViewport)
{
    Surface* target = nullptr;
    ASSERT_EQ(
        device->CreateRenderTarget(8, 4, D3DFMT_A8R8G8B8, D3DMULTISAMPLE_NONE, 0, false, &target, nullptr),
        D3D_OK);
    EXPECT_EQ(device->SetRenderTarget(0, nullptr), D3DERR_INVALIDCALL);
    ASSERT_EQ(device->SetRenderTarget(0, target), D3D_OK);
    Viewport viewport;
    Rect scissor;
    device->GetViewport(&viewport);
    device->GetScissorRect(&scissor);
    EXPECT_EQ(viewport.width, 8u);
    EXPECT_EQ(scissor.bottom, 4);
    target->Release();
    Surface* current = nullptr;
    ASSERT_EQ(device->GetRenderTarget(0, &current), D3D_OK);
    EXPECT_EQ(current->Kind(), SurfaceKind::backBuffer) << "a released target falls back to the back buffer";
    current->Release();
}

TEST_F(RecordingDevice, TextureSurfacesShareTheTexturesReferences)
{
    Texture* texture = nullptr;
    ASSERT_EQ(device->CreateTexture(8, 8, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr), D3D_OK);
    EXPECT_EQ(texture->GetLevelCount(), 4u);
    Surface* level = nullptr;
    ASSERT_EQ(texture->GetSurfaceLevel(3, &level), D3D_OK);
    EXPECT_EQ(level->GetDesc().width, 1u);
    EXPECT_EQ(texture->Release(), 1u);
    EXPECT_EQ(level->Release(), 0u);
    EXPECT_EQ(device->LiveDefaultResources(), 0u);
}

TEST_F(RecordingDevice, VolumeLevelsHalveEachWayAndLockWithinTheirBox)
{
    VolumeTexture* volume = nullptr;
    ASSERT_EQ(device->CreateVolumeTexture(8, 2, 4, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &volume, nullptr),
              D3D_OK);
    EXPECT_EQ(volume->GetLevelCount(), 4u);
    const Box last = volume->LevelBox(3);
    EXPECT_EQ(last.right * last.bottom * last.back, 1u);
    EXPECT_EQ(volume->LevelMemory(1).size(), 4u * 1 * 2 * 4);
    LockedBox locked;
    const Box outside{0, 0, 4, 1, 1, 3};
    EXPECT_EQ(volume->LockBox(1, &locked, &outside, 0), D3DERR_INVALIDCALL);
    const Box inner{1, 0, 3, 1, 1, 2};
    ASSERT_EQ(volume->LockBox(1, &locked, &inner, 0), D3D_OK);
    EXPECT_EQ(locked.rowPitch, 16);
    EXPECT_EQ(locked.slicePitch, 16);
    EXPECT_EQ(volume->LockBox(0, &locked, nullptr, 0), D3DERR_INVALIDCALL) << "one lock at a time";
    static_cast<uint32_t*>(locked.bits)[0] = 0xFF123456u;
    EXPECT_EQ(volume->UnlockBox(0), D3DERR_INVALIDCALL);
    ASSERT_EQ(volume->UnlockBox(1), D3D_OK);
    uint32_t stored = 0;
    std::memcpy(&stored, volume->LevelMemory(1).data() + 16 + 4, 4);
    EXPECT_EQ(stored, 0xFF123456u) << "slice 1, texel 1";
    volume->Release();
    for (const auto& [what, format, usage, levels] :
         {std::tuple{"compressed", D3DFMT_DXT1, 0u, 1u},
          std::tuple{"render target", D3DFMT_A8R8G8B8, uint32_t(D3DUSAGE_RENDERTARGET), 1u},
          std::tuple{"levels past 1x1x1", D3DFMT_A8R8G8B8, 0u, 5u}})
    {
        EXPECT_EQ(
            device->CreateVolumeTexture(8, 2, 4, levels, usage, format, D3DPOOL_DEFAULT, &volume, nullptr),
            D3DERR_INVALIDCALL)
            << what;
    }
}

TEST_F(RecordingDevice, LossReportsLostThenNotResetUntilAResetSucceeds)
{
    EXPECT_EQ(device->TestCooperativeLevel(), D3D_OK);
    device->SimulateDeviceLoss();
    EXPECT_EQ(device->TestCooperativeLevel(), D3DERR_DEVICELOST);
    EXPECT_EQ(device->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);
    direct3D->InjectFailure("Reset", D3DERR_DEVICELOST, 1);
    EXPECT_EQ(device->Reset(&parameters), D3DERR_DEVICELOST);
    EXPECT_EQ(device->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);
    device->SetRenderState(D3DRS_LIGHTING, 0);
    ASSERT_EQ(device->Reset(&parameters), D3D_OK);
    EXPECT_EQ(device->TestCooperativeLevel(), D3D_OK);
    uint32_t lighting = 0;
    device->GetRenderState(D3DRS_LIGHTING, &lighting);
    EXPECT_EQ(lighting, 1u) << "a reset returns every state to its default";
}

TEST_F(RecordingDevice, DefaultPoolResourcesBlockAResetButManagedOnesDoNot)
{
    VertexBuffer* dynamic = nullptr;
    Texture* managed = nullptr;
    ASSERT_EQ(
        device->CreateVertexBuffer(80, D3DUSAGE_DYNAMIC, D3DFVF_XYZ, D3DPOOL_DEFAULT, &dynamic, nullptr),
        D3D_OK);
    ASSERT_EQ(device->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &managed, nullptr), D3D_OK);
    Surface* back = nullptr;
    device->GetBackBuffer(0, 0, 0, &back);
    EXPECT_EQ(device->LiveDefaultResources(), 2u) << "the buffer and the held back buffer";
    back->Release();
    EXPECT_EQ(device->Reset(&parameters), D3DERR_INVALIDCALL);
    dynamic->Release();
    EXPECT_EQ(device->Reset(&parameters), D3D_OK);
    managed->Release();
}

TEST_F(RecordingDevice, BufferLocksAreBoundedByTheLength)
{
    VertexBuffer* buffer = nullptr;
    ASSERT_EQ(device->CreateVertexBuffer(80, 0, D3DFVF_XYZ, D3DPOOL_MANAGED, &buffer, nullptr), D3D_OK);
    void* data = nullptr;
    EXPECT_EQ(buffer->Lock(40, 41, &data, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(buffer->Lock(0xFFFFFFF0u, 0x20, &data, 0), D3DERR_INVALIDCALL);
    ASSERT_EQ(buffer->Lock(40, 40, &data, 0), D3D_OK);
    EXPECT_EQ(buffer->Lock(0, 0, &data, 0), D3DERR_INVALIDCALL) << "already locked";
    EXPECT_EQ(buffer->Unlock(), D3D_OK);
    device->SetFVF(D3DFVF_XYZ);
    device->SetStreamSource(0, buffer, 0, 12);
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 2), D3D_OK);
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 3), D3DERR_INVALIDCALL) << "reads past the buffer";
    buffer->Release();
}

TEST_F(RecordingDevice, VertexFormatsAndDeclarationsReplaceEachOther)
{
    const std::vector<VertexElement> canvas = FvfElements(D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1);
    ASSERT_EQ(canvas.size(), 3u);
    EXPECT_EQ(canvas[1], (VertexElement{0, 16, D3DDECLTYPE_D3DCOLOR, 0, D3DDECLUSAGE_COLOR, 0}));
    EXPECT_EQ(canvas[2], (VertexElement{0, 20, D3DDECLTYPE_FLOAT2, 0, D3DDECLUSAGE_TEXCOORD, 0}));
    EXPECT_EQ(VertexSize(canvas), 28u);

    VertexDeclaration* declaration = nullptr;
    const VertexElement secondStream[] = {{1, 0, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_POSITION, 0},
                                          D3DDECL_END};
    const VertexElement unknownType[] = {{0, 0, 8, 0, D3DDECLUSAGE_POSITION, 0}, D3DDECL_END};
    EXPECT_EQ(device->CreateVertexDeclaration(secondStream, &declaration), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->CreateVertexDeclaration(unknownType, &declaration), D3DERR_INVALIDCALL);
    const VertexElement positions[] = {{0, 0, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_POSITION, 0}, D3DDECL_END};
    ASSERT_EQ(device->CreateVertexDeclaration(positions, &declaration), D3D_OK);

    device->SetFVF(D3DFVF_XYZ | D3DFVF_DIFFUSE);
    device->SetVertexDeclaration(declaration);
    EXPECT_EQ(device->State().fvf, 0u);
    EXPECT_EQ(device->State().layout.size(), 1u);
    const float triangle[9] = {};
    EXPECT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, triangle, 12), D3D_OK);
    declaration->Release();
    EXPECT_EQ(device->State().declaration, nullptr) << "a released declaration is unbound";
    EXPECT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, triangle, 12), D3DERR_INVALIDCALL)
        << "no layout left to draw with";
}

TEST_F(RecordingDevice, InjectedFailuresRunOutAfterTheirCount)
{
    direct3D->InjectFailure("CreateDevice", D3DERR_NOTAVAILABLE, 1);
    Device* second = nullptr;
    EXPECT_EQ(direct3D->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, 0, &parameters, &second),
              D3DERR_NOTAVAILABLE);
    EXPECT_EQ(second, nullptr);
    ASSERT_EQ(direct3D->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, 0, &parameters, &second), D3D_OK);
    second->Release();
}

} // namespace
