// Device resources: surfaces, textures (2D, cube, volume), vertex and index buffers, and vertex and
// pixel shaders. Each is reference counted like its Direct3D counterpart: it is born with one
// reference and dies when the last Release drops it. A resource still alive when its device goes
// is cut loose: it keeps its memory but no longer reaches the device or a back end.
#pragma once

#include "d3d9/D3d9Types.h"

#include <array>
#include <memory>
#include <string>
#include <vector>

namespace d3d9
{

class Device;
class BaseTexture;

class Resource
{
public:
    virtual uint32_t AddRef();
    // Drops one reference; the resource is destroyed when none is left. Returns the count left.
    virtual uint32_t Release();
    Pool GetPool() const { return pool; }
    // A number unique within the device, used to name the resource in the call log.
    uint32_t Id() const { return id; }
    uint32_t RefCount() const { return refs; }
    Device& GetDevice() const { return device; }
    // True once the device that made the resource is gone.
    bool Detached() const { return detached; }
    void Detach() { detached = true; }

    Resource(const Resource&) = delete;
    Resource& operator=(const Resource&) = delete;

    // The back end's object for this resource (a GL name), 0 when it has none.
    uint32_t backendName = 0;

protected:
    Resource(Device& device, Pool pool);
    virtual ~Resource();

private:
    Device& device;
    Pool pool;
    uint32_t id;
    uint32_t refs = 1;
    bool detached = false;
};

enum class SurfaceKind
{
    backBuffer,
    renderTarget,
    depthStencil,
    textureLevel,
};

struct SurfaceDesc
{
    Format format = D3DFMT_UNKNOWN;
    uint32_t usage = 0;
    Pool pool = D3DPOOL_DEFAULT;
    MultisampleType multiSampleType = D3DMULTISAMPLE_NONE;
    uint32_t multiSampleQuality = 0;
    uint32_t width = 0;
    uint32_t height = 0;
};

// A two-dimensional image: the back buffer, a render-target or depth-stencil surface, or one
// level (and face) of a texture. Surfaces of a texture share the texture's reference count.
class Surface : public Resource
{
public:
    uint32_t AddRef() override;
    uint32_t Release() override;
    SurfaceDesc GetDesc() const { return desc; }
    // Maps the surface's pixels, top row first. Render targets and the back buffer may be read
    // (D3DLOCK_READONLY); what they show is what was drawn so far, multisampling resolved.
    HRESULT LockRect(LockedRect* locked, const Rect* rect, uint32_t flags);
    HRESULT UnlockRect();

    SurfaceKind Kind() const { return kind; }
    BaseTexture* Container() const { return container; }
    uint32_t Level() const { return level; }
    CubeFace Face() const { return face; }
    uint32_t Pitch() const;
    // The lockable copy of the pixels (allocated on first use), top row first.
    std::vector<uint8_t>& Memory();
    bool Locked() const { return locked; }

    Surface(Device& device, SurfaceKind kind, const SurfaceDesc& desc, BaseTexture* container, uint32_t level,
            CubeFace face);
    ~Surface() override;

private:
    SurfaceKind kind;
    SurfaceDesc desc;
    BaseTexture* container;
    uint32_t level;
    CubeFace face;
    bool locked = false;
    uint32_t lockFlags = 0;
    std::vector<uint8_t> memory;
};

enum class TextureKind
{
    flat,
    cube,
    volume,
};

class BaseTexture : public Resource
{
public:
    uint32_t GetLevelCount() const { return levels; }
    Format GetFormat() const { return format; }
    uint32_t GetUsage() const { return usage; }
    bool IsCube() const { return kind == TextureKind::cube; }
    bool IsVolume() const { return kind == TextureKind::volume; }
    // Width (and height) of level 0.
    uint32_t Width() const { return width; }
    uint32_t Height() const { return height; }
    // The surface of a level of a face (face 0 for 2D textures), without a new reference; null
    // for volumes, whose levels are no surfaces.
    Surface* Level(uint32_t face, uint32_t level) const;

protected:
    BaseTexture(Device& device, TextureKind kind, uint32_t width, uint32_t height, uint32_t levels,
                uint32_t usage, Format format, Pool pool);
    ~BaseTexture() override;
    HRESULT GetLevel(uint32_t face, uint32_t level, Surface** surface);

private:
    TextureKind kind;
    uint32_t width;
    uint32_t height;
    uint32_t levels;
    uint32_t usage;
    Format format;
    std::vector<std::unique_ptr<Surface>> surfaces; // face-major
};

class Texture : public BaseTexture
{
public:
    HRESULT GetSurfaceLevel(uint32_t level, Surface** surface) { return GetLevel(0, level, surface); }
    HRESULT LockRect(uint32_t level, LockedRect* locked, const Rect* rect, uint32_t flags);
    HRESULT UnlockRect(uint32_t level);

    Texture(Device& device, uint32_t width, uint32_t height, uint32_t levels, uint32_t usage, Format format,
            Pool pool);
};

class CubeTexture : public BaseTexture
{
public:
    HRESULT GetCubeMapSurface(CubeFace face, uint32_t level, Surface** surface)
    {
        return GetLevel(face, level, surface);
    }
    HRESULT LockRect(CubeFace face, uint32_t level, LockedRect* locked, const Rect* rect, uint32_t flags);
    HRESULT UnlockRect(CubeFace face, uint32_t level);

    CubeTexture(Device& device, uint32_t edge, uint32_t levels, uint32_t usage, Format format, Pool pool);
};

// A texture of slices. Each level's texels live in lockable memory, front slice and top row
// first, and go to the back end whole on every unlock.
class VolumeTexture : public BaseTexture
{
public:
    // Maps a box of a level (the whole level without one) for writing or, with
    // D3DLOCK_READONLY, reading.
    HRESULT LockBox(uint32_t level, LockedBox* locked, const Box* box, uint32_t flags);
    HRESULT UnlockBox(uint32_t level);
    // Slices of level 0.
    uint32_t Depth() const { return depth; }
    // Width, height and depth of a level.
    Box LevelBox(uint32_t level) const;
    // The texels of a level, slices one after another (empty past the last level).
    const std::vector<uint8_t>& LevelMemory(uint32_t level) const;

    VolumeTexture(Device& device, uint32_t width, uint32_t height, uint32_t depth, uint32_t levels,
                  uint32_t usage, Format format, Pool pool);

private:
    uint32_t depth;
    std::vector<std::vector<uint8_t>> memory; // by level
    int64_t lockedLevel = -1;
    uint32_t lockFlags = 0;
};

// Vertex or index data; the bytes live in system memory and are handed to the back end on
// every Unlock.
class Buffer : public Resource
{
public:
    HRESULT Lock(uint32_t offset, uint32_t size, void** data, uint32_t flags);
    HRESULT Unlock();
    uint32_t Length() const { return uint32_t(memory.size()); }
    uint32_t Usage() const { return usage; }
    const uint8_t* Data() const { return memory.data(); }

protected:
    Buffer(Device& device, uint32_t length, uint32_t usage, Pool pool);
    ~Buffer() override;

private:
    uint32_t usage;
    std::vector<uint8_t> memory;
    bool locked = false;
    uint32_t lockOffset = 0;
    uint32_t lockSize = 0;
};

class VertexBuffer : public Buffer
{
public:
    uint32_t Fvf() const { return fvf; }
    VertexBuffer(Device& device, uint32_t length, uint32_t usage, uint32_t fvf, Pool pool);

private:
    uint32_t fvf;
};

class IndexBuffer : public Buffer
{
public:
    Format GetFormat() const { return format; }
    IndexBuffer(Device& device, uint32_t length, uint32_t usage, Format format, Pool pool);

private:
    Format format;
};

// The elements of a flexible vertex format, in the order and at the offsets Direct3D lays them
// out (texture coordinate sets as two floats each); empty for a format without a position.
std::vector<VertexElement> FvfElements(uint32_t fvf);
// The elements of a declaration array, up to D3DDECL_END; false when one is not on stream 0 or
// of a type DeclTypeSize does not know, or when there are more than MAXD3DDECLLENGTH.
bool DeclarationElements(const VertexElement* declaration, std::vector<VertexElement>& elements);
// Bytes of a vertex of the elements (on stream 0): the end of the furthest element.
uint32_t VertexSize(const std::vector<VertexElement>& elements);
// The element of a usage and usage index, or null.
const VertexElement* FindElement(const std::vector<VertexElement>& elements, uint8_t usage,
                                 uint8_t usageIndex);

// A vertex layout. Like shaders, declarations live in no pool.
class VertexDeclaration : public Resource
{
public:
    // The elements, without the end marker.
    const std::vector<VertexElement>& Elements() const { return elements; }

    VertexDeclaration(Device& device, std::vector<VertexElement> elements);

private:
    std::vector<VertexElement> elements;
};

// A vertex or pixel shader. Its code is GLSL 3.30 text, in place of compiled shader tokens; the
// device documents what that text may use (CreateVertexShader). Shaders live in no pool and do
// not stand in the way of a Reset.
class Shader : public Resource
{
public:
    bool IsVertex() const { return vertex; }
    const std::string& Source() const { return source; }

protected:
    Shader(Device& device, bool vertex, std::string source);
    ~Shader() override;

private:
    bool vertex;
    std::string source;
};

class VertexShader : public Shader
{
public:
    VertexShader(Device& device, std::string source) : Shader(device, true, std::move(source)) {}
};

class PixelShader : public Shader
{
public:
    PixelShader(Device& device, std::string source) : Shader(device, false, std::move(source)) {}
};

} // namespace d3d9
