// The values of the Direct3D 9 interface that the engine stores and passes: result codes,
// formats, state numbers and the small records. Every number is the one Direct3D gives it,
// because materials and other stored records carry them.
#pragma once

#include <cstdint>

struct SDL_Window;

namespace d3d9
{

using HRESULT = int32_t;
using WindowHandle = SDL_Window*;

constexpr HRESULT D3D_OK = 0;
constexpr HRESULT D3DERR_NOTFOUND = static_cast<HRESULT>(0x88760866u);
constexpr HRESULT D3DERR_DEVICELOST = static_cast<HRESULT>(0x88760868u);
constexpr HRESULT D3DERR_DEVICENOTRESET = static_cast<HRESULT>(0x88760869u);
constexpr HRESULT D3DERR_NOTAVAILABLE = static_cast<HRESULT>(0x8876086Au);
constexpr HRESULT D3DERR_INVALIDCALL = static_cast<HRESULT>(0x8876086Cu);
constexpr HRESULT D3DERR_DRIVERINTERNALERROR = static_cast<HRESULT>(0x88760827u);
constexpr HRESULT D3DERR_OUTOFVIDEOMEMORY = static_cast<HRESULT>(0x8876017Cu);
constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);

constexpr uint32_t D3D_SDK_VERSION = 32;

inline bool Failed(HRESULT result)
{
    return result < 0;
}

constexpr uint32_t MakeFourCC(char a, char b, char c, char d)
{
    return uint32_t(uint8_t(a)) | uint32_t(uint8_t(b)) << 8 | uint32_t(uint8_t(c)) << 16 |
           uint32_t(uint8_t(d)) << 24;
}

enum Format : uint32_t
{
    D3DFMT_UNKNOWN = 0,
    D3DFMT_A8R8G8B8 = 21,
    D3DFMT_X8R8G8B8 = 22,
    D3DFMT_R5G6B5 = 23,
    D3DFMT_X1R5G5B5 = 24,
    D3DFMT_A1R5G5B5 = 25,
    D3DFMT_A4R4G4B4 = 26,
    D3DFMT_A8 = 28,
    D3DFMT_L8 = 50,
    D3DFMT_D24S8 = 75,
    D3DFMT_D16 = 80,
    D3DFMT_INDEX16 = 101,
    D3DFMT_INDEX32 = 102,
    D3DFMT_R16F = 111,
    D3DFMT_G16R16F = 112,
    D3DFMT_A16B16G16R16F = 113,
    D3DFMT_R32F = 114,
    D3DFMT_DXT1 = MakeFourCC('D', 'X', 'T', '1'),
    D3DFMT_DXT3 = MakeFourCC('D', 'X', 'T', '3'),
    D3DFMT_DXT5 = MakeFourCC('D', 'X', 'T', '5'),
};

enum DeviceType : uint32_t
{
    D3DDEVTYPE_HAL = 1,
    D3DDEVTYPE_REF = 2,
};

enum ResourceType : uint32_t
{
    D3DRTYPE_SURFACE = 1,
    D3DRTYPE_TEXTURE = 3,
    D3DRTYPE_VOLUMETEXTURE = 4,
    D3DRTYPE_CUBETEXTURE = 5,
};

enum Pool : uint32_t
{
    D3DPOOL_DEFAULT = 0,
    D3DPOOL_MANAGED = 1,
    D3DPOOL_SYSTEMMEM = 2,
};

enum MultisampleType : uint32_t
{
    D3DMULTISAMPLE_NONE = 0,
    D3DMULTISAMPLE_NONMASKABLE = 1,
    D3DMULTISAMPLE_16_SAMPLES = 16,
};

enum SwapEffect : uint32_t
{
    D3DSWAPEFFECT_DISCARD = 1,
};

enum CubeFace : uint32_t
{
    D3DCUBEMAP_FACE_POSITIVE_X = 0,
    D3DCUBEMAP_FACE_NEGATIVE_X = 1,
    D3DCUBEMAP_FACE_POSITIVE_Y = 2,
    D3DCUBEMAP_FACE_NEGATIVE_Y = 3,
    D3DCUBEMAP_FACE_POSITIVE_Z = 4,
    D3DCUBEMAP_FACE_NEGATIVE_Z = 5,
};

enum PrimitiveType : uint32_t
{
    D3DPT_POINTLIST = 1,
    D3DPT_LINELIST = 2,
    D3DPT_LINESTRIP = 3,
    D3DPT_TRIANGLELIST = 4,
    D3DPT_TRIANGLESTRIP = 5,
    D3DPT_TRIANGLEFAN = 6,
};

enum TransformState : uint32_t
{
    D3DTS_VIEW = 2,
    D3DTS_PROJECTION = 3,
    D3DTS_WORLD = 256,
};

// Render states, by their Direct3D numbers.
enum RenderState : uint32_t
{
    D3DRS_ZENABLE = 7,
    D3DRS_FILLMODE = 8,
    D3DRS_ZWRITEENABLE = 14,
    D3DRS_ALPHATESTENABLE = 15,
    D3DRS_SRCBLEND = 19,
    D3DRS_DESTBLEND = 20,
    D3DRS_CULLMODE = 22,
    D3DRS_ZFUNC = 23,
    D3DRS_ALPHAREF = 24,
    D3DRS_ALPHAFUNC = 25,
    D3DRS_ALPHABLENDENABLE = 27,
    D3DRS_FOGENABLE = 28,
    D3DRS_FOGCOLOR = 34,
    D3DRS_FOGTABLEMODE = 35,
    D3DRS_FOGSTART = 36,
    D3DRS_FOGEND = 37,
    D3DRS_STENCILENABLE = 52,
    D3DRS_STENCILFAIL = 53,
    D3DRS_STENCILZFAIL = 54,
    D3DRS_STENCILPASS = 55,
    D3DRS_STENCILFUNC = 56,
    D3DRS_STENCILREF = 57,
    D3DRS_STENCILMASK = 58,
    D3DRS_STENCILWRITEMASK = 59,
    D3DRS_LIGHTING = 137,
    D3DRS_CLIPPLANEENABLE = 152, // a bit per clip plane, 0 to 5
    D3DRS_MULTISAMPLEANTIALIAS = 161,
    D3DRS_COLORWRITEENABLE = 168,
    D3DRS_BLENDOP = 171,
    D3DRS_SCISSORTESTENABLE = 174,
    D3DRS_COLORWRITEENABLE1 = 190, // the masks of render targets 1 to 3
    D3DRS_COLORWRITEENABLE2 = 191,
    D3DRS_COLORWRITEENABLE3 = 192,
    D3DRS_COUNT = 210,
};

enum SamplerState : uint32_t
{
    D3DSAMP_ADDRESSU = 1,
    D3DSAMP_ADDRESSV = 2,
    D3DSAMP_ADDRESSW = 3,
    D3DSAMP_BORDERCOLOR = 4,
    D3DSAMP_MAGFILTER = 5,
    D3DSAMP_MINFILTER = 6,
    D3DSAMP_MIPFILTER = 7,
    D3DSAMP_MAXANISOTROPY = 10,
    D3DSAMP_COUNT = 14,
};

enum TextureStageState : uint32_t
{
    D3DTSS_COLOROP = 1,
    D3DTSS_ALPHAOP = 4,
    D3DTSS_COUNT = 33,
};

enum TextureOp : uint32_t
{
    D3DTOP_DISABLE = 1,
    D3DTOP_SELECTARG1 = 2,
    D3DTOP_MODULATE = 4,
};

enum ZBufferType : uint32_t
{
    D3DZB_FALSE = 0,
    D3DZB_TRUE = 1,
};

enum FillMode : uint32_t
{
    D3DFILL_WIREFRAME = 2,
    D3DFILL_SOLID = 3,
};

enum Cull : uint32_t
{
    D3DCULL_NONE = 1,
    D3DCULL_CW = 2,
    D3DCULL_CCW = 3,
};

enum Blend : uint32_t
{
    D3DBLEND_ZERO = 1,
    D3DBLEND_ONE = 2,
    D3DBLEND_SRCCOLOR = 3,
    D3DBLEND_INVSRCCOLOR = 4,
    D3DBLEND_SRCALPHA = 5,
    D3DBLEND_INVSRCALPHA = 6,
    D3DBLEND_DESTALPHA = 7,
    D3DBLEND_INVDESTALPHA = 8,
    D3DBLEND_DESTCOLOR = 9,
    D3DBLEND_INVDESTCOLOR = 10,
    D3DBLEND_SRCALPHASAT = 11,
};

enum BlendOp : uint32_t
{
    D3DBLENDOP_ADD = 1,
    D3DBLENDOP_SUBTRACT = 2,
    D3DBLENDOP_REVSUBTRACT = 3,
    D3DBLENDOP_MIN = 4,
    D3DBLENDOP_MAX = 5,
};

enum CmpFunc : uint32_t
{
    D3DCMP_NEVER = 1,
    D3DCMP_LESS = 2,
    D3DCMP_EQUAL = 3,
    D3DCMP_LESSEQUAL = 4,
    D3DCMP_GREATER = 5,
    D3DCMP_NOTEQUAL = 6,
    D3DCMP_GREATEREQUAL = 7,
    D3DCMP_ALWAYS = 8,
};

enum StencilOp : uint32_t
{
    D3DSTENCILOP_KEEP = 1,
    D3DSTENCILOP_ZERO = 2,
    D3DSTENCILOP_REPLACE = 3,
    D3DSTENCILOP_INCRSAT = 4,
    D3DSTENCILOP_DECRSAT = 5,
    D3DSTENCILOP_INVERT = 6,
    D3DSTENCILOP_INCR = 7,
    D3DSTENCILOP_DECR = 8,
};

enum FogMode : uint32_t
{
    D3DFOG_NONE = 0,
    D3DFOG_LINEAR = 3,
};

enum TextureFilter : uint32_t
{
    D3DTEXF_NONE = 0,
    D3DTEXF_POINT = 1,
    D3DTEXF_LINEAR = 2,
    D3DTEXF_ANISOTROPIC = 3,
};

enum TextureAddress : uint32_t
{
    D3DTADDRESS_WRAP = 1,
    D3DTADDRESS_MIRROR = 2,
    D3DTADDRESS_CLAMP = 3,
    D3DTADDRESS_BORDER = 4,
};

// Usage, lock, clear, creation and presentation flags.
constexpr uint32_t D3DUSAGE_RENDERTARGET = 0x1;
constexpr uint32_t D3DUSAGE_DEPTHSTENCIL = 0x2;
constexpr uint32_t D3DUSAGE_WRITEONLY = 0x8;
constexpr uint32_t D3DUSAGE_DYNAMIC = 0x200;

constexpr uint32_t D3DLOCK_READONLY = 0x10;
constexpr uint32_t D3DLOCK_DISCARD = 0x2000;

constexpr uint32_t D3DCLEAR_TARGET = 0x1;
constexpr uint32_t D3DCLEAR_ZBUFFER = 0x2;
constexpr uint32_t D3DCLEAR_STENCIL = 0x4;

constexpr uint32_t D3DCREATE_MULTITHREADED = 0x4;
constexpr uint32_t D3DCREATE_SOFTWARE_VERTEXPROCESSING = 0x20;
constexpr uint32_t D3DCREATE_HARDWARE_VERTEXPROCESSING = 0x40;

constexpr uint32_t D3DPRESENT_INTERVAL_DEFAULT = 0;
constexpr uint32_t D3DPRESENT_INTERVAL_IMMEDIATE = 0x80000000u;

// Flexible vertex formats: the bits of the layouts the engine draws with.
constexpr uint32_t D3DFVF_XYZ = 0x002;
constexpr uint32_t D3DFVF_XYZRHW = 0x004;
constexpr uint32_t D3DFVF_NORMAL = 0x010;
constexpr uint32_t D3DFVF_PSIZE = 0x020;
constexpr uint32_t D3DFVF_DIFFUSE = 0x040;
constexpr uint32_t D3DFVF_SPECULAR = 0x080;
constexpr uint32_t D3DFVF_TEX1 = 0x100;
constexpr uint32_t D3DFVF_TEX2 = 0x200;
constexpr uint32_t D3DFVF_TEXCOUNT_MASK = 0xF00;
constexpr uint32_t D3DFVF_TEXCOUNT_SHIFT = 8;

constexpr uint32_t D3DCOLORWRITEENABLE_RED = 0x1;
constexpr uint32_t D3DCOLORWRITEENABLE_ALL = 0xF;

// Vertex declarations: the element types, methods and usages the engine's layouts use.
enum DeclType : uint8_t
{
    D3DDECLTYPE_FLOAT1 = 0,
    D3DDECLTYPE_FLOAT2 = 1,
    D3DDECLTYPE_FLOAT3 = 2,
    D3DDECLTYPE_FLOAT4 = 3,
    D3DDECLTYPE_D3DCOLOR = 4,
    D3DDECLTYPE_UNUSED = 17,
};

enum DeclMethod : uint8_t
{
    D3DDECLMETHOD_DEFAULT = 0,
};

enum DeclUsage : uint8_t
{
    D3DDECLUSAGE_POSITION = 0,
    D3DDECLUSAGE_BLENDWEIGHT = 1,
    D3DDECLUSAGE_BLENDINDICES = 2,
    D3DDECLUSAGE_NORMAL = 3,
    D3DDECLUSAGE_PSIZE = 4,
    D3DDECLUSAGE_TEXCOORD = 5,
    D3DDECLUSAGE_TANGENT = 6,
    D3DDECLUSAGE_BINORMAL = 7,
    D3DDECLUSAGE_POSITIONT = 9,
    D3DDECLUSAGE_COLOR = 10,
};

struct VertexElement
{
    uint16_t stream = 0;
    uint16_t offset = 0;
    uint8_t type = D3DDECLTYPE_UNUSED;
    uint8_t method = D3DDECLMETHOD_DEFAULT;
    uint8_t usage = 0;
    uint8_t usageIndex = 0;

    bool operator==(const VertexElement&) const = default;
};

// The element that ends every declaration array.
constexpr VertexElement D3DDECL_END{0xFF, 0, D3DDECLTYPE_UNUSED, 0, 0, 0};
// Elements a declaration may have, the end marker not counted.
constexpr uint32_t MAXD3DDECLLENGTH = 64;

// Pixel shader version 3.0 and 2.0 as the capabilities report them.
constexpr uint32_t PixelShaderVersion(uint32_t major, uint32_t minor)
{
    return 0xFFFF0000u | major << 8 | minor;
}

using D3DCOLOR = uint32_t;

struct Rect
{
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;

    bool operator==(const Rect&) const = default;
};

struct Viewport
{
    uint32_t x = 0;
    uint32_t y = 0;
    uint32_t width = 0;
    uint32_t height = 0;
    float minZ = 0.0f;
    float maxZ = 1.0f;

    bool operator==(const Viewport&) const = default;
};

struct DisplayMode
{
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t refreshRate = 0;
    Format format = D3DFMT_UNKNOWN;
};

struct AdapterIdentifier
{
    char driver[512] = {};
    char description[512] = {};
};

struct Caps
{
    uint32_t pixelShaderVersion = 0;
    uint32_t vertexShaderVersion = 0;
    uint32_t maxTextureWidth = 0;
    uint32_t maxTextureHeight = 0;
    uint32_t maxAnisotropy = 0;
    uint32_t numSimultaneousRTs = 0;
};

struct PresentParameters
{
    uint32_t backBufferWidth = 0;
    uint32_t backBufferHeight = 0;
    Format backBufferFormat = D3DFMT_UNKNOWN;
    uint32_t backBufferCount = 0;
    MultisampleType multiSampleType = D3DMULTISAMPLE_NONE;
    uint32_t multiSampleQuality = 0;
    SwapEffect swapEffect = D3DSWAPEFFECT_DISCARD;
    WindowHandle deviceWindow = nullptr;
    bool windowed = true;
    bool enableAutoDepthStencil = false;
    Format autoDepthStencilFormat = D3DFMT_UNKNOWN;
    uint32_t flags = 0;
    uint32_t fullScreenRefreshRate = 0;
    uint32_t presentationInterval = D3DPRESENT_INTERVAL_DEFAULT;
};

struct LockedRect
{
    int32_t pitch = 0;
    void* bits = nullptr;
};

// A box of a volume: texels [left, right) x [top, bottom) x [front, back).
struct Box
{
    uint32_t left = 0, top = 0, right = 0, bottom = 0, front = 0, back = 0;
};

struct LockedBox
{
    int32_t rowPitch = 0;
    int32_t slicePitch = 0;
    void* bits = nullptr;
};

// A row-vector 4x4 matrix, translation in the fourth row, as Direct3D stores it.
struct Matrix
{
    float m[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};

    bool operator==(const Matrix&) const = default;
};

// Bytes an element of the type takes; 0 for a type the layer does not support.
uint32_t DeclTypeSize(uint8_t type);

// Bytes a pixel takes in locked memory, or 0 for block-compressed formats.
uint32_t BytesPerPixel(Format format);
bool IsDepthFormat(Format format);
// DXT1, DXT3 and DXT5: rows of 4x4 pixel blocks, 8 bytes each for DXT1, else 16.
bool IsBlockFormat(Format format);
// Bytes of a width x height image in the format's locked layout; a partial block counts whole.
uint32_t LevelBytes(Format format, uint32_t width, uint32_t height);

} // namespace d3d9
