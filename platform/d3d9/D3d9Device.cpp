#include "d3d9/D3d9Device.h"

#include "d3d9/D3d9Backend.h"
#include "d3d9/GlBackend.h"
#include "d3d9/RecordingBackend.h"
#include "win32/Win32Window.h"

#include <SDL.h>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <tuple>

namespace d3d9
{

namespace
{

std::vector<DisplayMode> SortedModes(std::vector<DisplayMode> modes)
{
    std::sort(
        modes.begin(), modes.end(),
        [](const DisplayMode& a, const DisplayMode& b)
        { return std::tie(a.width, a.height, a.refreshRate) < std::tie(b.width, b.height, b.refreshRate); });
    modes.erase(std::unique(modes.begin(), modes.end(),
                            [](const DisplayMode& a, const DisplayMode& b) {
                                return a.width == b.width && a.height == b.height &&
                                       a.refreshRate == b.refreshRate;
                            }),
                modes.end());
    return modes;
}

std::vector<DisplayMode> SdlModes()
{
    std::vector<DisplayMode> modes;
    const int count = SDL_GetNumDisplayModes(0);
    for (int i = 0; i < count; ++i)
    {
        SDL_DisplayMode mode;
        if (SDL_GetDisplayMode(0, i, &mode) == 0)
        {
            modes.push_back(
                {uint32_t(mode.w), uint32_t(mode.h), uint32_t(mode.refresh_rate), D3DFMT_X8R8G8B8});
        }
    }
    return modes;
}

bool RenderTargetFormat(Format format)
{
    switch (format)
    {
    case D3DFMT_A8R8G8B8:
    case D3DFMT_X8R8G8B8:
    case D3DFMT_X1R5G5B5:
    case D3DFMT_R5G6B5:
    case D3DFMT_R16F:
    case D3DFMT_G16R16F:
    case D3DFMT_A16B16G16R16F:
    case D3DFMT_R32F:
        return true;
    default:
        return false;
    }
}

bool TextureFormat(Format format)
{
    return RenderTargetFormat(format) || format == D3DFMT_A8 || format == D3DFMT_L8 ||
           format == D3DFMT_A1R5G5B5 || format == D3DFMT_A4R4G4B4 || IsBlockFormat(format);
}

// Levels from the given size down to 1.
uint32_t ChainLength(uint32_t largest)
{
    uint32_t levels = 1;
    while ((largest >> levels) != 0)
    {
        ++levels;
    }
    return levels;
}

uint32_t VertexCount(PrimitiveType type, uint32_t primitives)
{
    switch (type)
    {
    case D3DPT_POINTLIST:
        return primitives;
    case D3DPT_LINELIST:
        return primitives * 2;
    case D3DPT_LINESTRIP:
        return primitives + 1;
    case D3DPT_TRIANGLELIST:
        return primitives * 3;
    case D3DPT_TRIANGLESTRIP:
    case D3DPT_TRIANGLEFAN:
        return primitives + 2;
    }
    return 0;
}

void Append(std::string& line, double value)
{
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%g", value);
    line += buffer;
}
void Append(std::string& line, const std::string& text)
{
    line += text;
}
void Append(std::string& line, const Resource* resource)
{
    line += resource ? "#" + std::to_string(resource->Id()) : std::string("null");
}
template <typename T> void Append(std::string& line, T value)
{
    if constexpr (std::is_pointer_v<T>)
    {
        Append(line, static_cast<const Resource*>(value));
    }
    else
    {
        line += std::to_string(value);
    }
}

struct ConstantNames
{
    std::mutex lock;
    std::map<std::string, uint32_t> ids;
    std::vector<const std::string*> names;
};

ConstantNames& Constants()
{
    static ConstantNames constants;
    return constants;
}

} // namespace

uint32_t ShaderConstantId(const std::string& name)
{
    ConstantNames& constants = Constants();
    std::lock_guard<std::mutex> guard(constants.lock);
    const auto [entry, added] = constants.ids.emplace(name, uint32_t(constants.names.size()));
    if (added)
    {
        constants.names.push_back(&entry->first);
    }
    return entry->second;
}

const std::string& ShaderConstantName(uint32_t id)
{
    static const std::string unknown;
    ConstantNames& constants = Constants();
    std::lock_guard<std::mutex> guard(constants.lock);
    return id < constants.names.size() ? *constants.names[id] : unknown;
}

// Direct3D

Direct3D::Direct3D(bool recording, const AdapterSetup& adapter) : recording(recording), setup(adapter)
{
    setup.modes = SortedModes(recording ? setup.modes : SdlModes());
}

Direct3D::~Direct3D() = default;

// The window layer starts SDL's video subsystem (or waits for the start begun on a thread) and
// keeps it up for the rest of the process: stopping it would unload the GL driver under the
// windows that outlive this object.
Direct3D* Direct3DCreate9(uint32_t sdkVersion)
{
    if (sdkVersion != D3D_SDK_VERSION || !win32::EnsureVideo())
    {
        return nullptr;
    }
    AdapterSetup setup;
    setup.descriptions = {"OpenGL 3.3 core"};
    setup.maxSamples = 4;
    return new Direct3D(false, setup);
}

Direct3D* CreateRecordingDirect3D(const AdapterSetup& setup)
{
    return new Direct3D(true, setup);
}

uint32_t Direct3D::Release()
{
    const uint32_t left = --refs;
    if (left == 0)
    {
        delete this;
    }
    return left;
}

uint32_t Direct3D::GetAdapterCount() const
{
    return uint32_t(setup.descriptions.size());
}

HRESULT Direct3D::GetAdapterIdentifier(uint32_t adapter, uint32_t, AdapterIdentifier* identifier) const
{
    if (adapter >= GetAdapterCount() || !identifier)
    {
        return D3DERR_INVALIDCALL;
    }
    *identifier = {};
    std::snprintf(identifier->driver, sizeof identifier->driver, "%s", recording ? "recording" : "OpenGL");
    std::snprintf(identifier->description, sizeof identifier->description, "%s",
                  setup.descriptions[adapter].c_str());
    return D3D_OK;
}

uint32_t Direct3D::GetAdapterModeCount(uint32_t adapter, Format format) const
{
    return adapter < GetAdapterCount() && format == D3DFMT_X8R8G8B8 ? uint32_t(setup.modes.size()) : 0;
}

HRESULT Direct3D::EnumAdapterModes(uint32_t adapter, Format format, uint32_t mode,
                                   DisplayMode* displayMode) const
{
    if (mode >= GetAdapterModeCount(adapter, format) || !displayMode)
    {
        return D3DERR_INVALIDCALL;
    }
    *displayMode = setup.modes[mode];
    return D3D_OK;
}

HRESULT Direct3D::CheckDeviceFormat(uint32_t adapter, DeviceType, Format adapterFormat, uint32_t usage,
                                    ResourceType resourceType, Format checkFormat) const
{
    if (HRESULT injected = const_cast<Direct3D*>(this)->TakeFailure("CheckDeviceFormat"); Failed(injected))
    {
        return injected;
    }
    if (adapter >= GetAdapterCount() || adapterFormat != D3DFMT_X8R8G8B8)
    {
        return D3DERR_INVALIDCALL;
    }
    if (usage & D3DUSAGE_DEPTHSTENCIL)
    {
        return resourceType == D3DRTYPE_SURFACE && IsDepthFormat(checkFormat) ? D3D_OK : D3DERR_NOTAVAILABLE;
    }
    if (usage & D3DUSAGE_RENDERTARGET)
    {
        return RenderTargetFormat(checkFormat) ? D3D_OK : D3DERR_NOTAVAILABLE;
    }
    return TextureFormat(checkFormat) ? D3D_OK : D3DERR_NOTAVAILABLE;
}

HRESULT Direct3D::CheckDepthStencilMatch(uint32_t adapter, DeviceType, Format adapterFormat,
                                         Format renderTargetFormat, Format depthStencilFormat) const
{
    if (adapter >= GetAdapterCount() || adapterFormat != D3DFMT_X8R8G8B8)
    {
        return D3DERR_INVALIDCALL;
    }
    return RenderTargetFormat(renderTargetFormat) && IsDepthFormat(depthStencilFormat) ? D3D_OK
                                                                                       : D3DERR_NOTAVAILABLE;
}

HRESULT Direct3D::CheckDeviceMultiSampleType(uint32_t adapter, DeviceType, Format format, bool,
                                             MultisampleType type, uint32_t* qualityLevels) const
{
    if (HRESULT injected = const_cast<Direct3D*>(this)->TakeFailure("CheckDeviceMultiSampleType");
        Failed(injected))
    {
        return injected;
    }
    if (adapter >= GetAdapterCount() || (!RenderTargetFormat(format) && !IsDepthFormat(format)))
    {
        return D3DERR_INVALIDCALL;
    }
    const bool available = type == D3DMULTISAMPLE_NONE || type == D3DMULTISAMPLE_NONMASKABLE ||
                           (uint32_t(type) >= 2 && uint32_t(type) <= setup.maxSamples);
    if (qualityLevels)
    {
        *qualityLevels = available ? 1 : 0;
    }
    return available ? D3D_OK : D3DERR_NOTAVAILABLE;
}

HRESULT Direct3D::GetDeviceCaps(uint32_t adapter, DeviceType, Caps* caps) const
{
    if (adapter >= GetAdapterCount() || !caps)
    {
        return D3DERR_INVALIDCALL;
    }
    caps->pixelShaderVersion = setup.pixelShaderVersion;
    caps->vertexShaderVersion = 0xFFFE0300u;
    caps->maxTextureWidth = caps->maxTextureHeight = 4096;
    caps->maxAnisotropy = 16;
    caps->numSimultaneousRTs = maxRenderTargets;
    return D3D_OK;
}

HRESULT Direct3D::CreateDevice(uint32_t adapter, DeviceType type, WindowHandle focusWindow,
                               uint32_t behaviorFlags, PresentParameters* parameters, Device** device)
{
    if (adapter >= GetAdapterCount() || !parameters || !device)
    {
        return D3DERR_INVALIDCALL;
    }
    *device = nullptr;
    if (HRESULT injected = TakeFailure("CreateDevice"); Failed(injected))
    {
        return injected;
    }
    if (!recording && !parameters->deviceWindow)
    {
        parameters->deviceWindow = focusWindow;
    }
    std::unique_ptr<Backend> backend;
    if (recording)
    {
        backend = std::make_unique<RecordingBackend>();
    }
    else
    {
        backend = std::make_unique<GlBackend>(parameters->deviceWindow);
    }
    auto made = std::make_unique<Device>(*this, std::move(backend), adapter, type, behaviorFlags);
    if (HRESULT opened = made->Open(*parameters); Failed(opened))
    {
        return opened;
    }
    *device = made.release();
    return D3D_OK;
}

void Direct3D::InjectFailure(const std::string& call, HRESULT result, int times)
{
    failures[call] = Failure{result, times};
}

HRESULT Direct3D::TakeFailure(const std::string& call)
{
    auto found = failures.find(call);
    if (found == failures.end())
    {
        return D3D_OK;
    }
    const HRESULT result = found->second.result;
    if (found->second.times > 0 && --found->second.times == 0)
    {
        failures.erase(found);
    }
    return result;
}

// Device

Device::Device(Direct3D& owner, std::unique_ptr<Backend> made, uint32_t adapter, DeviceType type,
               uint32_t behaviorFlags)
    : direct3D(owner), backend(std::move(made)), adapter(adapter), type(type), behaviorFlags(behaviorFlags)
{
    direct3D.AddRef();
    logging = direct3D.Recording();
}

Device::~Device()
{
    backBuffer.reset();
    for (const Resource* resource : resources)
    {
        const_cast<Resource*>(resource)->Detach();
    }
    resources.clear();
    backend.reset();
    direct3D.Release();
}

HRESULT Device::Open(const PresentParameters& given)
{
    parameters = given;
    SurfaceDesc desc;
    desc.format = D3DFMT_X8R8G8B8;
    desc.usage = D3DUSAGE_RENDERTARGET;
    desc.multiSampleType = given.multiSampleType;
    desc.multiSampleQuality = given.multiSampleQuality;
    desc.width = given.backBufferWidth;
    desc.height = given.backBufferHeight;
    backBuffer = std::make_unique<Surface>(*this, SurfaceKind::backBuffer, desc, nullptr, 0,
                                           D3DCUBEMAP_FACE_POSITIVE_X);
    const HRESULT opened = backend->Open(parameters, *backBuffer);
    if (Failed(opened))
    {
        return opened;
    }
    ResetState();
    return D3D_OK;
}

uint32_t Device::Release()
{
    const uint32_t left = --refs;
    if (left == 0)
    {
        delete this;
    }
    return left;
}

uint32_t Device::Register(const Resource& resource)
{
    resources.push_back(&resource);
    return nextId++;
}

void Device::Unregister(const Resource& resource)
{
    resources.erase(std::remove(resources.begin(), resources.end(), &resource), resources.end());
    for (BaseTexture*& texture : state.textures)
    {
        if (texture == &resource)
        {
            texture = nullptr;
        }
    }
    for (Surface*& target : state.renderTargets)
    {
        if (target == &resource)
        {
            target = nullptr;
        }
    }
    if (state.renderTargets[0] == nullptr && backBuffer && &resource != backBuffer.get())
    {
        state.renderTargets[0] = backBuffer.get();
    }
    if (state.depthStencil == &resource)
    {
        state.depthStencil = nullptr;
    }
    if (state.stream == &resource)
    {
        state.stream = nullptr;
    }
    if (state.declaration == &resource)
    {
        state.declaration = nullptr;
        state.layout.clear();
    }
    if (state.indices == &resource)
    {
        state.indices = nullptr;
    }
    if (state.vertexShader == &resource)
    {
        state.vertexShader = nullptr;
    }
    if (state.pixelShader == &resource)
    {
        state.pixelShader = nullptr;
    }
}

bool Device::BlocksReset(const Resource& resource) const
{
    if (&resource == backBuffer.get())
    {
        return resource.RefCount() > 1;
    }
    const auto* surface = dynamic_cast<const Surface*>(&resource);
    if (surface && surface->Kind() == SurfaceKind::textureLevel)
    {
        return false; // counted through its texture
    }
    return resource.GetPool() == D3DPOOL_DEFAULT;
}

uint32_t Device::LiveDefaultResources() const
{
    return uint32_t(std::count_if(resources.begin(), resources.end(),
                                  [this](const Resource* resource) { return BlocksReset(*resource); }));
}

template <typename... Values> void Device::Record(const char* call, const Values&... values)
{
    if (!logging)
    {
        return;
    }
    std::string line = call;
    ((line += ' ', Append(line, values)), ...);
    log.push_back(std::move(line));
}

void Device::ResetState()
{
    state = DeviceState{};
    uint32_t* rs = state.renderStates;
    rs[D3DRS_ZENABLE] = parameters.enableAutoDepthStencil ? D3DZB_TRUE : D3DZB_FALSE;
    rs[D3DRS_FILLMODE] = D3DFILL_SOLID;
    rs[D3DRS_ZWRITEENABLE] = 1;
    rs[D3DRS_SRCBLEND] = D3DBLEND_ONE;
    rs[D3DRS_DESTBLEND] = D3DBLEND_ZERO;
    rs[D3DRS_CULLMODE] = D3DCULL_CCW;
    rs[D3DRS_ZFUNC] = D3DCMP_LESSEQUAL;
    rs[D3DRS_ALPHAFUNC] = D3DCMP_ALWAYS;
    rs[D3DRS_FOGEND] = 0x3F800000u; // 1.0f
    rs[D3DRS_STENCILFAIL] = rs[D3DRS_STENCILZFAIL] = rs[D3DRS_STENCILPASS] = D3DSTENCILOP_KEEP;
    rs[D3DRS_STENCILFUNC] = D3DCMP_ALWAYS;
    rs[D3DRS_STENCILMASK] = rs[D3DRS_STENCILWRITEMASK] = 0xFFFFFFFFu;
    rs[D3DRS_LIGHTING] = 1;
    rs[D3DRS_MULTISAMPLEANTIALIAS] = 1;
    rs[D3DRS_COLORWRITEENABLE] = rs[D3DRS_COLORWRITEENABLE1] = rs[D3DRS_COLORWRITEENABLE2] =
        rs[D3DRS_COLORWRITEENABLE3] = D3DCOLORWRITEENABLE_ALL;
    rs[D3DRS_BLENDOP] = D3DBLENDOP_ADD;
    for (auto& sampler : state.samplerStates)
    {
        sampler[D3DSAMP_ADDRESSU] = sampler[D3DSAMP_ADDRESSV] = sampler[D3DSAMP_ADDRESSW] = D3DTADDRESS_WRAP;
        sampler[D3DSAMP_MAGFILTER] = sampler[D3DSAMP_MINFILTER] = D3DTEXF_POINT;
        sampler[D3DSAMP_MIPFILTER] = D3DTEXF_NONE;
        sampler[D3DSAMP_MAXANISOTROPY] = 1;
    }
    for (uint32_t stage = 0; stage < maxStages; ++stage)
    {
        state.stageStates[stage][D3DTSS_COLOROP] = stage == 0 ? D3DTOP_MODULATE : D3DTOP_DISABLE;
        state.stageStates[stage][D3DTSS_ALPHAOP] = stage == 0 ? D3DTOP_SELECTARG1 : D3DTOP_DISABLE;
    }
    state.renderTargets[0] = backBuffer.get();
    SetWholeTarget(*backBuffer);
}

void Device::SetWholeTarget(const Surface& surface)
{
    const SurfaceDesc desc = surface.GetDesc();
    state.viewport = Viewport{0, 0, desc.width, desc.height, 0.0f, 1.0f};
    state.scissor = Rect{0, 0, int32_t(desc.width), int32_t(desc.height)};
}

HRESULT Device::TestCooperativeLevel()
{
    Record("TestCooperativeLevel");
    if (HRESULT injected = direct3D.TakeFailure("TestCooperativeLevel"); Failed(injected))
    {
        return injected;
    }
    switch (cooperation)
    {
    case Cooperation::ok:
        return D3D_OK;
    case Cooperation::lost:
        if (!lostReported)
        {
            lostReported = true;
            return D3DERR_DEVICELOST;
        }
        cooperation = Cooperation::notReset;
        return D3DERR_DEVICENOTRESET;
    case Cooperation::notReset:
        return D3DERR_DEVICENOTRESET;
    }
    return D3D_OK;
}

void Device::SimulateDeviceLoss()
{
    cooperation = Cooperation::lost;
    lostReported = false;
}

HRESULT Device::Reset(PresentParameters* given)
{
    Record("Reset", given ? given->backBufferWidth : 0, given ? given->backBufferHeight : 0,
           given ? uint32_t(given->multiSampleType) : 0);
    if (!given)
    {
        return D3DERR_INVALIDCALL;
    }
    if (cooperation == Cooperation::lost && !lostReported)
    {
        return D3DERR_DEVICELOST;
    }
    HRESULT result = direct3D.TakeFailure("Reset");
    if (!Failed(result) && LiveDefaultResources() > 0)
    {
        result = D3DERR_INVALIDCALL;
    }
    if (!Failed(result))
    {
        state = DeviceState{};
        parameters = *given;
        backBuffer.reset();
        SurfaceDesc desc;
        desc.format = D3DFMT_X8R8G8B8;
        desc.usage = D3DUSAGE_RENDERTARGET;
        desc.multiSampleType = given->multiSampleType;
        desc.multiSampleQuality = given->multiSampleQuality;
        desc.width = given->backBufferWidth;
        desc.height = given->backBufferHeight;
        backBuffer = std::make_unique<Surface>(*this, SurfaceKind::backBuffer, desc, nullptr, 0,
                                               D3DCUBEMAP_FACE_POSITIVE_X);
        result = backend->Reset(parameters, *backBuffer);
        ResetState();
    }
    if (Failed(result))
    {
        cooperation = result == D3DERR_DEVICELOST ? Cooperation::lost : Cooperation::notReset;
        lostReported = true;
        return result;
    }
    cooperation = Cooperation::ok;
    return D3D_OK;
}

HRESULT Device::Present(const Rect*, const Rect*, WindowHandle, const void*)
{
    Record("Present");
    if (cooperation != Cooperation::ok)
    {
        return D3DERR_DEVICELOST;
    }
    return backend->Present(*backBuffer);
}

HRESULT Device::BeginScene()
{
    Record("BeginScene");
    if (inScene)
    {
        return D3DERR_INVALIDCALL;
    }
    inScene = true;
    return D3D_OK;
}

HRESULT Device::EndScene()
{
    Record("EndScene");
    if (!inScene)
    {
        return D3DERR_INVALIDCALL;
    }
    inScene = false;
    return D3D_OK;
}

HRESULT Device::GetDeviceCaps(Caps* caps) const
{
    return direct3D.GetDeviceCaps(0, D3DDEVTYPE_HAL, caps);
}

template <typename T> HRESULT Device::Created(T* resource, T** out, const char* call)
{
    HRESULT result = direct3D.TakeFailure(call);
    if (!Failed(result) && !backend->CreateStorage(*resource))
    {
        result = D3DERR_OUTOFVIDEOMEMORY;
    }
    if (Failed(result))
    {
        resource->Release();
        *out = nullptr;
        return result;
    }
    *out = resource;
    return D3D_OK;
}

HRESULT Device::CreateTexture(uint32_t width, uint32_t height, uint32_t levels, uint32_t usage, Format format,
                              Pool pool, Texture** texture, void*)
{
    Record("CreateTexture", width, height, levels, usage, uint32_t(format), uint32_t(pool));
    if (!texture || width == 0 || height == 0 || !TextureFormat(format) ||
        ((usage & D3DUSAGE_RENDERTARGET) && (pool != D3DPOOL_DEFAULT || !RenderTargetFormat(format))))
    {
        return D3DERR_INVALIDCALL;
    }
    if (HRESULT refused = usage & D3DUSAGE_DYNAMIC ? direct3D.TakeFailure("CreateDynamicTexture") : D3D_OK;
        Failed(refused))
    {
        return refused;
    }
    if (levels == 0)
    {
        levels = ChainLength(std::max(width, height));
    }
    return Created(new Texture(*this, width, height, levels, usage, format, pool), texture, "CreateTexture");
}

HRESULT Device::CreateCubeTexture(uint32_t edge, uint32_t levels, uint32_t usage, Format format, Pool pool,
                                  CubeTexture** texture, void*)
{
    Record("CreateCubeTexture", edge, levels, usage, uint32_t(format), uint32_t(pool));
    if (!texture || edge == 0 || !TextureFormat(format) ||
        ((usage & D3DUSAGE_RENDERTARGET) && (pool != D3DPOOL_DEFAULT || !RenderTargetFormat(format))))
    {
        return D3DERR_INVALIDCALL;
    }
    if (levels == 0)
    {
        levels = ChainLength(edge);
    }
    return Created(new CubeTexture(*this, edge, levels, usage, format, pool), texture, "CreateCubeTexture");
}

HRESULT Device::CreateVolumeTexture(uint32_t width, uint32_t height, uint32_t depth, uint32_t levels,
                                    uint32_t usage, Format format, Pool pool, VolumeTexture** texture, void*)
{
    Record("CreateVolumeTexture", width, height, depth, levels, usage, uint32_t(format), uint32_t(pool));
    const uint32_t chain = ChainLength(std::max({width, height, depth}));
    if (!texture || width == 0 || height == 0 || depth == 0 || !TextureFormat(format) ||
        IsBlockFormat(format) || (usage & D3DUSAGE_RENDERTARGET) || levels > chain)
    {
        return D3DERR_INVALIDCALL;
    }
    levels = levels == 0 ? chain : levels;
    return Created(new VolumeTexture(*this, width, height, depth, levels, usage, format, pool), texture,
                   "CreateVolumeTexture");
}

HRESULT Device::CreateRenderTarget(uint32_t width, uint32_t height, Format format,
                                   MultisampleType multiSample, uint32_t quality, bool, Surface** surface,
                                   void*)
{
    Record("CreateRenderTarget", width, height, uint32_t(format), uint32_t(multiSample), quality);
    if (!surface || width == 0 || height == 0 || !RenderTargetFormat(format))
    {
        return D3DERR_INVALIDCALL;
    }
    SurfaceDesc desc{format, D3DUSAGE_RENDERTARGET, D3DPOOL_DEFAULT, multiSample, quality, width, height};
    return Created(
        new Surface(*this, SurfaceKind::renderTarget, desc, nullptr, 0, D3DCUBEMAP_FACE_POSITIVE_X), surface,
        "CreateRenderTarget");
}

HRESULT Device::CreateDepthStencilSurface(uint32_t width, uint32_t height, Format format,
                                          MultisampleType multiSample, uint32_t quality, bool,
                                          Surface** surface, void*)
{
    Record("CreateDepthStencilSurface", width, height, uint32_t(format), uint32_t(multiSample), quality);
    if (!surface || width == 0 || height == 0 || !IsDepthFormat(format))
    {
        return D3DERR_INVALIDCALL;
    }
    SurfaceDesc desc{format, D3DUSAGE_DEPTHSTENCIL, D3DPOOL_DEFAULT, multiSample, quality, width, height};
    return Created(
        new Surface(*this, SurfaceKind::depthStencil, desc, nullptr, 0, D3DCUBEMAP_FACE_POSITIVE_X), surface,
        "CreateDepthStencilSurface");
}

HRESULT Device::CreateVertexBuffer(uint32_t length, uint32_t usage, uint32_t fvf, Pool pool,
                                   VertexBuffer** buffer, void*)
{
    Record("CreateVertexBuffer", length, usage, fvf, uint32_t(pool));
    if (!buffer || length == 0)
    {
        return D3DERR_INVALIDCALL;
    }
    return Created(new VertexBuffer(*this, length, usage, fvf, pool), buffer, "CreateVertexBuffer");
}

HRESULT Device::CreateIndexBuffer(uint32_t length, uint32_t usage, Format format, Pool pool,
                                  IndexBuffer** buffer, void*)
{
    Record("CreateIndexBuffer", length, usage, uint32_t(format), uint32_t(pool));
    if (!buffer || length == 0 || (format != D3DFMT_INDEX16 && format != D3DFMT_INDEX32))
    {
        return D3DERR_INVALIDCALL;
    }
    return Created(new IndexBuffer(*this, length, usage, format, pool), buffer, "CreateIndexBuffer");
}

template <typename T> HRESULT Device::CreateShader(const char* code, T** shader, const char* call)
{
    Record(call);
    if (!code || !shader)
    {
        return D3DERR_INVALIDCALL;
    }
    *shader = nullptr;
    HRESULT result = direct3D.TakeFailure(call);
    if (Failed(result))
    {
        return result;
    }
    T* made = new T(*this, code);
    if (!backend->CreateStorage(*made))
    {
        made->Release();
        return D3DERR_INVALIDCALL;
    }
    *shader = made;
    return D3D_OK;
}

HRESULT Device::CreateVertexShader(const char* code, VertexShader** shader)
{
    return CreateShader(code, shader, "CreateVertexShader");
}

HRESULT Device::CreatePixelShader(const char* code, PixelShader** shader)
{
    return CreateShader(code, shader, "CreatePixelShader");
}

HRESULT Device::SetVertexShader(VertexShader* shader)
{
    Record("SetVertexShader", shader);
    state.vertexShader = shader;
    return D3D_OK;
}

HRESULT Device::SetPixelShader(PixelShader* shader)
{
    Record("SetPixelShader", shader);
    state.pixelShader = shader;
    return D3D_OK;
}

HRESULT Device::SetShaderConstantF(uint32_t constant, const float* values, uint32_t count)
{
    if (logging)
    {
        Record("SetShaderConstantF", ShaderConstantName(constant), count);
    }
    if (!values && count > 0)
    {
        return D3DERR_INVALIDCALL;
    }
    if (constant >= state.constants.size())
    {
        state.constants.resize(size_t(constant) + 1);
    }
    ShaderConstant& target = state.constants[constant];
    // The same values again leave the constant as the back end last took it.
    if (target.stamp != 0 && std::equal(values, values + count, target.values.begin(), target.values.end()))
    {
        return D3D_OK;
    }
    target.values.assign(values, values + count);
    target.stamp = ++constantStamp;
    return D3D_OK;
}

HRESULT Device::GetBackBuffer(uint32_t swapChain, uint32_t index, uint32_t, Surface** surface)
{
    if (swapChain != 0 || index != 0 || !surface)
    {
        return D3DERR_INVALIDCALL;
    }
    backBuffer->AddRef();
    *surface = backBuffer.get();
    return D3D_OK;
}

HRESULT Device::SetRenderTarget(uint32_t index, Surface* surface)
{
    Record("SetRenderTarget", index, surface);
    if (index >= maxRenderTargets || (index == 0 && !surface) ||
        (surface && !(surface->GetDesc().usage & D3DUSAGE_RENDERTARGET)))
    {
        return D3DERR_INVALIDCALL;
    }
    state.renderTargets[index] = surface;
    if (index == 0)
    {
        SetWholeTarget(*surface);
    }
    return D3D_OK;
}

HRESULT Device::GetRenderTarget(uint32_t index, Surface** surface)
{
    if (index >= maxRenderTargets || !surface)
    {
        return D3DERR_INVALIDCALL;
    }
    *surface = state.renderTargets[index];
    if (!*surface)
    {
        return D3DERR_NOTFOUND;
    }
    (*surface)->AddRef();
    return D3D_OK;
}

HRESULT Device::SetDepthStencilSurface(Surface* surface)
{
    Record("SetDepthStencilSurface", surface);
    if (surface && surface->Kind() != SurfaceKind::depthStencil)
    {
        return D3DERR_INVALIDCALL;
    }
    state.depthStencil = surface;
    return D3D_OK;
}

HRESULT Device::GetDepthStencilSurface(Surface** surface)
{
    if (!surface)
    {
        return D3DERR_INVALIDCALL;
    }
    *surface = state.depthStencil;
    if (!*surface)
    {
        return D3DERR_NOTFOUND;
    }
    (*surface)->AddRef();
    return D3D_OK;
}

HRESULT Device::SetTexture(uint32_t stage, BaseTexture* texture)
{
    Record("SetTexture", stage, texture);
    if (stage >= maxSamplers)
    {
        return D3DERR_INVALIDCALL;
    }
    state.textures[stage] = texture;
    return D3D_OK;
}

HRESULT Device::SetRenderState(RenderState which, uint32_t value)
{
    Record("SetRenderState", uint32_t(which), value);
    if (which >= D3DRS_COUNT)
    {
        return D3DERR_INVALIDCALL;
    }
    state.renderStates[which] = value;
    return D3D_OK;
}

HRESULT Device::GetRenderState(RenderState which, uint32_t* value) const
{
    if (which >= D3DRS_COUNT || !value)
    {
        return D3DERR_INVALIDCALL;
    }
    *value = state.renderStates[which];
    return D3D_OK;
}

HRESULT Device::SetSamplerState(uint32_t sampler, SamplerState which, uint32_t value)
{
    Record("SetSamplerState", sampler, uint32_t(which), value);
    if (sampler >= maxSamplers || which >= D3DSAMP_COUNT)
    {
        return D3DERR_INVALIDCALL;
    }
    state.samplerStates[sampler][which] = value;
    return D3D_OK;
}

HRESULT Device::GetSamplerState(uint32_t sampler, SamplerState which, uint32_t* value) const
{
    if (sampler >= maxSamplers || which >= D3DSAMP_COUNT || !value)
    {
        return D3DERR_INVALIDCALL;
    }
    *value = state.samplerStates[sampler][which];
    return D3D_OK;
}

HRESULT Device::SetTextureStageState(uint32_t stage, TextureStageState which, uint32_t value)
{
    Record("SetTextureStageState", stage, uint32_t(which), value);
    if (stage >= maxStages || which >= D3DTSS_COUNT)
    {
        return D3DERR_INVALIDCALL;
    }
    state.stageStates[stage][which] = value;
    return D3D_OK;
}

HRESULT Device::SetTransform(TransformState which, const Matrix* matrix)
{
    Record("SetTransform", uint32_t(which));
    if (!matrix)
    {
        return D3DERR_INVALIDCALL;
    }
    switch (which)
    {
    case D3DTS_WORLD:
        state.world = *matrix;
        return D3D_OK;
    case D3DTS_VIEW:
        state.view = *matrix;
        return D3D_OK;
    case D3DTS_PROJECTION:
        state.projection = *matrix;
        return D3D_OK;
    }
    return D3DERR_INVALIDCALL;
}

HRESULT Device::GetTransform(TransformState which, Matrix* matrix) const
{
    if (!matrix)
    {
        return D3DERR_INVALIDCALL;
    }
    switch (which)
    {
    case D3DTS_WORLD:
        *matrix = state.world;
        return D3D_OK;
    case D3DTS_VIEW:
        *matrix = state.view;
        return D3D_OK;
    case D3DTS_PROJECTION:
        *matrix = state.projection;
        return D3D_OK;
    }
    return D3DERR_INVALIDCALL;
}

HRESULT Device::SetViewport(const Viewport* viewport)
{
    Record("SetViewport", viewport ? viewport->x : 0, viewport ? viewport->y : 0,
           viewport ? viewport->width : 0, viewport ? viewport->height : 0);
    if (!viewport)
    {
        return D3DERR_INVALIDCALL;
    }
    const SurfaceDesc target = state.renderTargets[0]->GetDesc();
    if (viewport->width == 0 || viewport->height == 0 || viewport->x + viewport->width > target.width ||
        viewport->y + viewport->height > target.height)
    {
        return D3DERR_INVALIDCALL;
    }
    state.viewport = *viewport;
    return D3D_OK;
}

HRESULT Device::GetViewport(Viewport* viewport) const
{
    if (!viewport)
    {
        return D3DERR_INVALIDCALL;
    }
    *viewport = state.viewport;
    return D3D_OK;
}

HRESULT Device::SetScissorRect(const Rect* rect)
{
    Record("SetScissorRect", rect ? rect->left : 0, rect ? rect->top : 0, rect ? rect->right : 0,
           rect ? rect->bottom : 0);
    if (!rect)
    {
        return D3DERR_INVALIDCALL;
    }
    state.scissor = *rect;
    return D3D_OK;
}

HRESULT Device::GetScissorRect(Rect* rect) const
{
    if (!rect)
    {
        return D3DERR_INVALIDCALL;
    }
    *rect = state.scissor;
    return D3D_OK;
}

HRESULT Device::Clear(uint32_t count, const Rect* rects, uint32_t flags, D3DCOLOR color, float z,
                      uint32_t stencil)
{
    Record("Clear", flags, color, double(z), stencil);
    const bool depthParts = flags & (D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL);
    if (count != 0 || rects || flags == 0 || (depthParts && !state.depthStencil))
    {
        return D3DERR_INVALIDCALL;
    }
    backend->Clear(state, flags, color, z, stencil);
    return D3D_OK;
}

namespace
{

// The rectangle, or the whole surface without one; false when it leaves the surface or is empty.
bool SurfaceRect(const Surface& surface, const Rect* given, Rect& rect)
{
    const SurfaceDesc desc = surface.GetDesc();
    rect = given ? *given : Rect{0, 0, int32_t(desc.width), int32_t(desc.height)};
    return rect.left >= 0 && rect.top >= 0 && rect.left < rect.right && rect.top < rect.bottom &&
           rect.right <= int32_t(desc.width) && rect.bottom <= int32_t(desc.height);
}

bool IsColorTarget(const Surface& surface)
{
    return surface.Kind() == SurfaceKind::backBuffer || surface.Kind() == SurfaceKind::renderTarget ||
           (surface.Kind() == SurfaceKind::textureLevel && (surface.GetDesc().usage & D3DUSAGE_RENDERTARGET));
}

} // namespace

HRESULT Device::StretchRect(Surface* source, const Rect* sourceRect, Surface* dest, const Rect* destRect,
                            TextureFilter filter)
{
    Record("StretchRect", source, dest, uint32_t(filter));
    Rect from, to;
    if (!source || !dest || source == dest || !IsColorTarget(*source) || !IsColorTarget(*dest) ||
        dest->GetDesc().multiSampleType != D3DMULTISAMPLE_NONE || !SurfaceRect(*source, sourceRect, from) ||
        !SurfaceRect(*dest, destRect, to))
    {
        return D3DERR_INVALIDCALL;
    }
    backend->Copy(*source, from, *dest, to, filter >= D3DTEXF_LINEAR);
    return D3D_OK;
}

HRESULT Device::SetFVF(uint32_t fvf)
{
    Record("SetFVF", fvf);
    state.fvf = fvf;
    state.declaration = nullptr;
    state.layout = FvfElements(fvf);
    return D3D_OK;
}

HRESULT Device::CreateVertexDeclaration(const VertexElement* elements, VertexDeclaration** declaration)
{
    Record("CreateVertexDeclaration");
    std::vector<VertexElement> kept;
    if (!declaration || !DeclarationElements(elements, kept))
    {
        return D3DERR_INVALIDCALL;
    }
    *declaration = new VertexDeclaration(*this, std::move(kept));
    return D3D_OK;
}

HRESULT Device::SetVertexDeclaration(VertexDeclaration* declaration)
{
    Record("SetVertexDeclaration", declaration);
    state.fvf = 0;
    state.declaration = declaration;
    state.layout = declaration ? declaration->Elements() : std::vector<VertexElement>{};
    return D3D_OK;
}

HRESULT Device::SetStreamSource(uint32_t stream, VertexBuffer* buffer, uint32_t offset, uint32_t stride)
{
    Record("SetStreamSource", stream, buffer, offset, stride);
    if (stream != 0)
    {
        return D3DERR_INVALIDCALL;
    }
    state.stream = buffer;
    state.streamOffset = offset;
    state.streamStride = stride;
    return D3D_OK;
}

HRESULT Device::SetInstances(const float* data, uint32_t vectors, uint32_t count)
{
    Record("SetInstances", vectors, count);
    if (data && count > 0 && (vectors == 0 || vectors > maxInstanceVectors))
    {
        return D3DERR_INVALIDCALL;
    }
    const bool on = data && count > 0;
    state.instances = on ? data : nullptr;
    state.instanceVectors = on ? vectors : 0;
    state.instanceCount = on ? count : 0;
    return D3D_OK;
}

HRESULT Device::SetIndices(IndexBuffer* buffer)
{
    Record("SetIndices", buffer);
    state.indices = buffer;
    return D3D_OK;
}

HRESULT Device::Draw(const DrawCall& call)
{
    if (call.vertexCount == 0 || state.layout.empty())
    {
        return D3DERR_INVALIDCALL;
    }
    backend->Draw(state, call);
    return D3D_OK;
}

HRESULT Device::DrawPrimitive(PrimitiveType type, uint32_t startVertex, uint32_t primitiveCount)
{
    Record("DrawPrimitive", uint32_t(type), startVertex, primitiveCount);
    DrawCall call;
    call.type = type;
    call.startVertex = startVertex;
    call.vertexCount = VertexCount(type, primitiveCount);
    if (!state.stream || state.streamStride == 0 ||
        uint64_t(state.streamOffset) + (uint64_t(startVertex) + call.vertexCount) * state.streamStride >
            state.stream->Length())
    {
        return D3DERR_INVALIDCALL;
    }
    return Draw(call);
}

HRESULT Device::DrawIndexedPrimitive(PrimitiveType type, int32_t baseVertex, uint32_t, uint32_t numVertices,
                                     uint32_t startIndex, uint32_t primitiveCount)
{
    Record("DrawIndexedPrimitive", uint32_t(type), baseVertex, startIndex, primitiveCount);
    DrawCall call;
    call.type = type;
    call.baseVertex = baseVertex;
    call.startIndex = startIndex;
    call.indexCount = VertexCount(type, primitiveCount);
    call.vertexCount = numVertices;
    call.instanced = state.instances != nullptr;
    const uint32_t indexSize = state.indices && state.indices->GetFormat() == D3DFMT_INDEX32 ? 4 : 2;
    if (!state.stream || !state.indices || state.streamStride == 0 ||
        (uint64_t(startIndex) + call.indexCount) * indexSize > state.indices->Length())
    {
        return D3DERR_INVALIDCALL;
    }
    return Draw(call);
}

HRESULT Device::DrawPrimitiveUP(PrimitiveType type, uint32_t primitiveCount, const void* vertices,
                                uint32_t stride)
{
    Record("DrawPrimitiveUP", uint32_t(type), primitiveCount, stride);
    if (!vertices || stride == 0)
    {
        return D3DERR_INVALIDCALL;
    }
    DrawCall call;
    call.type = type;
    call.vertexCount = VertexCount(type, primitiveCount);
    call.userVertices = static_cast<const uint8_t*>(vertices);
    call.userStride = stride;
    call.userVertexCount = call.vertexCount;
    const HRESULT result = Draw(call);
    state.stream = nullptr;
    state.streamOffset = state.streamStride = 0;
    return result;
}

HRESULT Device::DrawIndexedPrimitiveUP(PrimitiveType type, uint32_t minIndex, uint32_t numVertices,
                                       uint32_t primitiveCount, const void* indexData, Format indexFormat,
                                       const void* vertices, uint32_t stride)
{
    Record("DrawIndexedPrimitiveUP", uint32_t(type), minIndex, numVertices, primitiveCount, stride);
    if (!vertices || !indexData || stride == 0 || numVertices == 0 ||
        (indexFormat != D3DFMT_INDEX16 && indexFormat != D3DFMT_INDEX32))
    {
        return D3DERR_INVALIDCALL;
    }
    DrawCall call;
    call.type = type;
    call.indexCount = VertexCount(type, primitiveCount);
    call.vertexCount = numVertices;
    call.userVertices = static_cast<const uint8_t*>(vertices);
    call.userStride = stride;
    call.userVertexCount = minIndex + numVertices;
    call.userIndices = static_cast<const uint8_t*>(indexData);
    call.userIndices32 = indexFormat == D3DFMT_INDEX32;
    const HRESULT result = Draw(call);
    state.stream = nullptr;
    state.streamOffset = state.streamStride = 0;
    state.indices = nullptr;
    return result;
}

} // namespace d3d9
