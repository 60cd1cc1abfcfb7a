// The Direct3D 9 object and device, as the engine calls them. Two back ends stand behind the
// one interface: OpenGL 3.3 core on an SDL window (Direct3DCreate9), and a recording back end
// for tests (CreateRecordingDirect3D) that draws nothing, keeps resources in lockable memory,
// clears that memory, and writes every device call into a log.
//
// Direct3D's conventions hold at this interface and are translated behind it: clip-space depth
// 0..1, clockwise front faces, texture rows top first, pixel centres at integer coordinates,
// setting render target 0 resets the viewport and scissor rectangle, Clear ignores the write
// masks. The back buffer is an offscreen image copied to the window by Present; it keeps its
// contents after Present, so it can be read back between frames.
#pragma once

#include "d3d9/D3d9Resources.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace d3d9
{

class Backend;
class Device;
struct DrawCall;

// Answers of the recording back end's adapter, and failures to inject on either back end.
struct AdapterSetup
{
    std::vector<std::string> descriptions{"Recording adapter"};
    std::vector<DisplayMode> modes; // in the order the adapter reports them
    uint32_t pixelShaderVersion = PixelShaderVersion(3, 0);
    uint32_t maxSamples = 8; // multisampling types above this are not available
};

class Direct3D
{
public:
    uint32_t AddRef() { return ++refs; }
    uint32_t Release();

    uint32_t GetAdapterCount() const;
    HRESULT GetAdapterIdentifier(uint32_t adapter, uint32_t flags, AdapterIdentifier* identifier) const;
    // Display modes of a format, in ascending order of width, height and refresh rate.
    uint32_t GetAdapterModeCount(uint32_t adapter, Format format) const;
    HRESULT EnumAdapterModes(uint32_t adapter, Format format, uint32_t mode, DisplayMode* displayMode) const;
    HRESULT CheckDeviceFormat(uint32_t adapter, DeviceType type, Format adapterFormat, uint32_t usage,
                              ResourceType resourceType, Format checkFormat) const;
    HRESULT CheckDepthStencilMatch(uint32_t adapter, DeviceType type, Format adapterFormat,
                                   Format renderTargetFormat, Format depthStencilFormat) const;
    HRESULT CheckDeviceMultiSampleType(uint32_t adapter, DeviceType type, Format format, bool windowed,
                                       MultisampleType multiSampleType, uint32_t* qualityLevels) const;
    HRESULT GetDeviceCaps(uint32_t adapter, DeviceType type, Caps* caps) const;
    HRESULT CreateDevice(uint32_t adapter, DeviceType type, WindowHandle focusWindow, uint32_t behaviorFlags,
                         PresentParameters* parameters, Device** device);

    // Test hook: the named call ("CreateDevice", "CheckDeviceFormat", "CreateDepthStencilSurface",
    // "Reset", ...) fails with the result the next `times` times (-1: always).
    // "CreateDynamicTexture" refuses only textures of usage D3DUSAGE_DYNAMIC.
    void InjectFailure(const std::string& call, HRESULT result, int times = -1);
    // The injected result for the call, consuming one failure; D3D_OK when none is left.
    HRESULT TakeFailure(const std::string& call);
    bool Recording() const { return recording; }

    Direct3D(bool recording, const AdapterSetup& setup);
    ~Direct3D();
    Direct3D(const Direct3D&) = delete;
    Direct3D& operator=(const Direct3D&) = delete;

private:
    struct Failure
    {
        HRESULT result;
        int times;
    };
    bool recording;
    AdapterSetup setup;
    std::map<std::string, Failure> failures;
    uint32_t refs = 1;
};

// The OpenGL Direct3D object; null when SDL's video subsystem cannot start.
Direct3D* Direct3DCreate9(uint32_t sdkVersion);
// The recording Direct3D object, with the adapter it is to report.
Direct3D* CreateRecordingDirect3D(const AdapterSetup& setup = {});

// Shader constants are named by the uniforms of the GLSL code; a name's number is the same for
// every device of the process.
uint32_t ShaderConstantId(const std::string& name);
const std::string& ShaderConstantName(uint32_t id);

struct ShaderConstant
{
    std::vector<float> values;
    uint64_t stamp = 0; // changes with every new value, so back ends upload only what changed
};

constexpr uint32_t maxSamplers = 16;
constexpr uint32_t maxStages = 8;
constexpr uint32_t maxRenderTargets = 4;

// Everything a draw depends on, as Direct3D defines it.
struct DeviceState
{
    uint32_t renderStates[D3DRS_COUNT] = {};
    uint32_t samplerStates[maxSamplers][D3DSAMP_COUNT] = {};
    uint32_t stageStates[maxStages][D3DTSS_COUNT] = {};
    BaseTexture* textures[maxSamplers] = {};
    Surface* renderTargets[maxRenderTargets] = {};
    Surface* depthStencil = nullptr;
    Viewport viewport;
    Rect scissor;
    Matrix world;
    Matrix view;
    Matrix projection;
    uint32_t fvf = 0;                         // 0 while a declaration is set
    VertexDeclaration* declaration = nullptr; // null while a vertex format is set
    std::vector<VertexElement> layout;        // the elements of either, what draws read
    VertexBuffer* stream = nullptr;
    uint32_t streamOffset = 0;
    uint32_t streamStride = 0;
    IndexBuffer* indices = nullptr;
    const float* instances = nullptr; // see SetInstances; null draws once
    uint32_t instanceVectors = 0;
    uint32_t instanceCount = 0;
    VertexShader* vertexShader = nullptr;  // null: the built-in vertex stage
    PixelShader* pixelShader = nullptr;    // null: the built-in pixel stage
    std::vector<ShaderConstant> constants; // by ShaderConstantId
};

class Device
{
public:
    uint32_t AddRef() { return ++refs; }
    uint32_t Release();

    // Device state: D3D_OK, D3DERR_DEVICELOST while lost, D3DERR_DEVICENOTRESET when a Reset
    // would succeed (and after a failed Reset).
    HRESULT TestCooperativeLevel();
    // Fails with D3DERR_INVALIDCALL while default-pool resources other than the back buffer live.
    // Every state returns to its default and every binding is dropped.
    HRESULT Reset(PresentParameters* parameters);
    HRESULT Present(const Rect* source, const Rect* dest, WindowHandle window, const void* dirty);
    HRESULT BeginScene();
    HRESULT EndScene();
    HRESULT GetDeviceCaps(Caps* caps) const;

    HRESULT CreateTexture(uint32_t width, uint32_t height, uint32_t levels, uint32_t usage, Format format,
                          Pool pool, Texture** texture, void* shared);
    HRESULT CreateCubeTexture(uint32_t edge, uint32_t levels, uint32_t usage, Format format, Pool pool,
                              CubeTexture** texture, void* shared);
    // Volumes of the uncompressed texture formats; no render targets.
    HRESULT CreateVolumeTexture(uint32_t width, uint32_t height, uint32_t depth, uint32_t levels,
                                uint32_t usage, Format format, Pool pool, VolumeTexture** texture,
                                void* shared);
    HRESULT CreateRenderTarget(uint32_t width, uint32_t height, Format format, MultisampleType multiSample,
                               uint32_t quality, bool lockable, Surface** surface, void* shared);
    HRESULT CreateDepthStencilSurface(uint32_t width, uint32_t height, Format format,
                                      MultisampleType multiSample, uint32_t quality, bool discard,
                                      Surface** surface, void* shared);
    HRESULT CreateVertexBuffer(uint32_t length, uint32_t usage, uint32_t fvf, Pool pool,
                               VertexBuffer** buffer, void* shared);
    HRESULT CreateIndexBuffer(uint32_t length, uint32_t usage, Format format, Pool pool, IndexBuffer** buffer,
                              void* shared);
    HRESULT GetBackBuffer(uint32_t swapChain, uint32_t index, uint32_t type, Surface** surface);

    // Setting target 0 sets the viewport and scissor rectangle to the whole surface; target 0
    // cannot be unset.
    HRESULT SetRenderTarget(uint32_t index, Surface* surface);
    HRESULT GetRenderTarget(uint32_t index, Surface** surface);
    HRESULT SetDepthStencilSurface(Surface* surface);
    HRESULT GetDepthStencilSurface(Surface** surface);
    HRESULT SetTexture(uint32_t stage, BaseTexture* texture);
    HRESULT SetRenderState(RenderState state, uint32_t value);
    HRESULT GetRenderState(RenderState state, uint32_t* value) const;
    HRESULT SetSamplerState(uint32_t sampler, SamplerState state, uint32_t value);
    HRESULT GetSamplerState(uint32_t sampler, SamplerState state, uint32_t* value) const;
    HRESULT SetTextureStageState(uint32_t stage, TextureStageState state, uint32_t value);
    HRESULT SetTransform(TransformState state, const Matrix* matrix);
    HRESULT GetTransform(TransformState state, Matrix* matrix) const;
    HRESULT SetViewport(const Viewport* viewport);
    HRESULT GetViewport(Viewport* viewport) const;
    HRESULT SetScissorRect(const Rect* rect);
    HRESULT GetScissorRect(Rect* rect) const;
    // Clears the viewport (within the scissor rectangle when the test is on) of every bound
    // target; write masks do not apply. Rectangles are not supported (count must be 0).
    HRESULT Clear(uint32_t count, const Rect* rects, uint32_t flags, D3DCOLOR color, float z,
                  uint32_t stencil);
    // Copies a rectangle of one colour surface into a rectangle of another (whole surfaces for
    // null rectangles), scaled by the filter and with multisampling resolved. The destination is
    // a render target or a render-target texture level without multisampling; rectangles must
    // lie inside their surfaces.
    HRESULT StretchRect(Surface* source, const Rect* sourceRect, Surface* dest, const Rect* destRect,
                        TextureFilter filter);

    // A vertex format or a declaration describes the vertices of the next draws; setting one
    // unsets the other.
    HRESULT SetFVF(uint32_t fvf);
    // Elements up to D3DDECL_END: on stream 0, of a type that DeclTypeSize knows, at most
    // MAXD3DDECLLENGTH of them. The OpenGL back end feeds usages to attribute locations as
    // CreateVertexShader lists them.
    HRESULT CreateVertexDeclaration(const VertexElement* elements, VertexDeclaration** declaration);
    HRESULT SetVertexDeclaration(VertexDeclaration* declaration);
    HRESULT SetStreamSource(uint32_t stream, VertexBuffer* buffer, uint32_t offset, uint32_t stride);
    HRESULT SetIndices(IndexBuffer* buffer);
    // Instancing (what Direct3D does with stream frequencies, the instance stream in the
    // caller's memory): each indexed draw that follows draws count instances, one after the
    // other, of which instance k hands the vertex stage `vectors` vec4 attributes at locations
    // 8 on (in place of the binormal), read from data + 4 * vectors * k floats. The vertex stage
    // runs compiled again with INSTANCED defined. The data is read at each draw, so it must live
    // until the last; null data or a count of 0 ends instancing. At most maxInstanceVectors.
    static constexpr uint32_t maxInstanceVectors = 8;
    HRESULT SetInstances(const float* data, uint32_t vectors, uint32_t count);
    // Shaders from GLSL 3.30 text, without a #version line. The layer wraps the text: it adds
    // the version, and runs the code's main inside its own, which converts Direct3D's clip space
    // and pixel centres (vertex) or applies the alpha test and linear fog of the render states
    // (pixel), so every program honours those states. The text uses these names:
    // - vertex attributes by location: 0 position, 1 diffuse colour (BGRA bytes arrive as a
    //   vec4), 2 texture coordinates 0, 3 normal, 4 texture coordinates 1, 5 texture
    //   coordinates 2, 6 tangent, 7 texture coordinates 3, 8 binormal;
    // - vertex code writes gl_Position in Direct3D clip space (depth 0..1, y up) and may write
    //   `we_FogDepth` (otherwise the clip-space w is the fog distance); for the built-in pixel
    //   stage it writes `v_color` and `v_tex`;
    // - pixel code writes `o_color` (render target 0; further targets at locations 1 to 3) and,
    //   with the built-in vertex stage, reads `v_color` and `v_tex`;
    // - matrix constants hold the engine's row-vector matrices so that `M * v` applies them;
    //   sampler uniforms take their stage number as a constant.
    // Code that does not compile fails with D3DERR_INVALIDCALL and the log as the back end's
    // problem.
    HRESULT CreateVertexShader(const char* code, VertexShader** shader);
    HRESULT CreatePixelShader(const char* code, PixelShader** shader);
    HRESULT SetVertexShader(VertexShader* shader);
    HRESULT SetPixelShader(PixelShader* shader);
    VertexShader* GetVertexShader() const { return state.vertexShader; }
    PixelShader* GetPixelShader() const { return state.pixelShader; }
    // The value of a uniform of every program drawn from now on; ints and samplers take the
    // floats rounded.
    HRESULT SetShaderConstantF(uint32_t constant, const float* values, uint32_t count);

    // Draws with the current vertex format through the current shaders, or the built-in stages
    // in their place: positions through world x view x projection (or pre-transformed), vertex
    // colour, texture stage 0.
    HRESULT DrawPrimitive(PrimitiveType type, uint32_t startVertex, uint32_t primitiveCount);
    HRESULT DrawIndexedPrimitive(PrimitiveType type, int32_t baseVertex, uint32_t minIndex,
                                 uint32_t numVertices, uint32_t startIndex, uint32_t primitiveCount);
    // Draws vertices passed with the call; afterwards stream 0 is unset, as in Direct3D.
    HRESULT DrawPrimitiveUP(PrimitiveType type, uint32_t primitiveCount, const void* vertices,
                            uint32_t stride);
    // Vertices and indices passed with the call; the vertices hold minIndex + numVertices
    // entries. Afterwards stream 0 and the index buffer are unset, as in Direct3D.
    HRESULT DrawIndexedPrimitiveUP(PrimitiveType type, uint32_t minIndex, uint32_t numVertices,
                                   uint32_t primitiveCount, const void* indexData, Format indexFormat,
                                   const void* vertices, uint32_t stride);

    // Test hook: the device reports D3DERR_DEVICELOST once, then D3DERR_DEVICENOTRESET until a
    // successful Reset.
    void SimulateDeviceLoss();
    // Every call made on the device, one line each ("SetRenderState 27 0"), when logging is on
    // (always with the recording back end).
    const std::vector<std::string>& CallLog() const { return log; }
    void ClearCallLog() { log.clear(); }
    void SetLogging(bool on) { logging = on; }
    const DeviceState& State() const { return state; }
    const PresentParameters& Parameters() const { return parameters; }
    Direct3D& Owner() const { return direct3D; }
    // The adapter, device type and behaviour flags the device was created with.
    uint32_t Adapter() const { return adapter; }
    DeviceType Type() const { return type; }
    uint32_t BehaviorFlags() const { return behaviorFlags; }
    Backend& GetBackend() const { return *backend; }
    // Live default-pool resources other than the back buffer.
    uint32_t LiveDefaultResources() const;

    // Bookkeeping of resources, called by their constructors and destructors.
    uint32_t Register(const Resource& resource);
    void Unregister(const Resource& resource);

    Device(Direct3D& direct3D, std::unique_ptr<Backend> backend, uint32_t adapter, DeviceType type,
           uint32_t behaviorFlags);
    ~Device();
    Device(const Device&) = delete;
    Device& operator=(const Device&) = delete;
    HRESULT Open(const PresentParameters& parameters);

private:
    enum class Cooperation
    {
        ok,
        lost,
        notReset,
    };
    void ResetState();
    void SetWholeTarget(const Surface& surface);
    HRESULT Draw(const DrawCall& call);
    bool BlocksReset(const Resource& resource) const;
    template <typename... Values> void Record(const char* call, const Values&... values);
    template <typename T> HRESULT Created(T* resource, T** out, const char* call);
    template <typename T> HRESULT CreateShader(const char* code, T** shader, const char* call);

    Direct3D& direct3D;
    std::unique_ptr<Backend> backend;
    uint32_t adapter;
    DeviceType type;
    uint32_t behaviorFlags;
    PresentParameters parameters;
    std::unique_ptr<Surface> backBuffer;
    DeviceState state;
    Cooperation cooperation = Cooperation::ok;
    bool lostReported = false;
    bool inScene = false;
    bool logging = false;
    std::vector<std::string> log;
    std::vector<const Resource*> resources;
    uint32_t nextId = 1;
    uint64_t constantStamp = 0;
    uint32_t refs = 1;
};

} // namespace d3d9
