#include "d3d9/D3d9Resources.h"

#include "d3d9/D3d9Backend.h"
#include "d3d9/D3d9Device.h"

#include <algorithm>
#include <utility>

namespace d3d9
{

uint32_t BytesPerPixel(Format format)
{
    switch (format)
    {
    case D3DFMT_A8R8G8B8:
    case D3DFMT_X8R8G8B8:
    case D3DFMT_D24S8:
    case D3DFMT_G16R16F:
    case D3DFMT_R32F:
        return 4;
    case D3DFMT_R5G6B5:
    case D3DFMT_X1R5G5B5:
    case D3DFMT_A1R5G5B5:
    case D3DFMT_A4R4G4B4:
    case D3DFMT_D16:
    case D3DFMT_R16F:
        return 2;
    case D3DFMT_A8:
    case D3DFMT_L8:
        return 1;
    case D3DFMT_A16B16G16R16F:
        return 8;
    default:
        return 0;
    }
}

uint32_t DeclTypeSize(uint8_t type)
{
    switch (type)
    {
    case D3DDECLTYPE_FLOAT1:
    case D3DDECLTYPE_D3DCOLOR:
        return 4;
    case D3DDECLTYPE_FLOAT2:
        return 8;
    case D3DDECLTYPE_FLOAT3:
        return 12;
    case D3DDECLTYPE_FLOAT4:
        return 16;
    default:
        return 0;
    }
}

bool IsDepthFormat(Format format)
{
    return format == D3DFMT_D24S8 || format == D3DFMT_D16;
}

bool IsBlockFormat(Format format)
{
    return format == D3DFMT_DXT1 || format == D3DFMT_DXT3 || format == D3DFMT_DXT5;
}

namespace
{

uint32_t BlockBytes(Format format)
{
    return format == D3DFMT_DXT1 ? 8u : 16u;
}

// Rows of locked memory: pixel rows, or rows of blocks.
uint32_t RowCount(Format format, uint32_t height)
{
    return IsBlockFormat(format) ? std::max(1u, (height + 3) / 4) : height;
}

uint32_t RowBytes(Format format, uint32_t width)
{
    return IsBlockFormat(format) ? std::max(1u, (width + 3) / 4) * BlockBytes(format)
                                 : width * BytesPerPixel(format);
}

} // namespace

uint32_t LevelBytes(Format format, uint32_t width, uint32_t height)
{
    return RowBytes(format, width) * RowCount(format, height);
}

// Resource

Resource::Resource(Device& device, Pool pool) : device(device), pool(pool), id(device.Register(*this)) {}

Resource::~Resource()
{
    if (!detached)
    {
        device.Unregister(*this);
    }
}

uint32_t Resource::AddRef()
{
    return ++refs;
}

uint32_t Resource::Release()
{
    const uint32_t left = --refs;
    if (left == 0)
    {
        delete this;
    }
    return left;
}

// Surface

Surface::Surface(Device& device, SurfaceKind kind, const SurfaceDesc& desc, BaseTexture* container,
                 uint32_t level, CubeFace face)
    : Resource(device, desc.pool), kind(kind), desc(desc), container(container), level(level), face(face)
{
}

Surface::~Surface()
{
    if (kind != SurfaceKind::textureLevel && !Detached())
    {
        GetDevice().GetBackend().DestroyStorage(*this);
    }
}

uint32_t Surface::AddRef()
{
    return container ? container->AddRef() : Resource::AddRef();
}

uint32_t Surface::Release()
{
    return container ? container->Release() : Resource::Release();
}

uint32_t Surface::Pitch() const
{
    return RowBytes(desc.format, desc.width);
}

std::vector<uint8_t>& Surface::Memory()
{
    if (memory.empty())
    {
        memory.resize(LevelBytes(desc.format, desc.width, desc.height));
    }
    return memory;
}

HRESULT Surface::LockRect(LockedRect* out, const Rect* rect, uint32_t flags)
{
    const bool blocks = IsBlockFormat(desc.format);
    if (locked || !out || (BytesPerPixel(desc.format) == 0 && !blocks) || IsDepthFormat(desc.format))
    {
        return D3DERR_INVALIDCALL;
    }
    const bool renderable = kind != SurfaceKind::textureLevel || (desc.usage & D3DUSAGE_RENDERTARGET);
    if (kind != SurfaceKind::textureLevel && !(flags & D3DLOCK_READONLY))
    {
        return D3DERR_INVALIDCALL; // render targets and the back buffer can only be read
    }
    Rect whole{0, 0, int32_t(desc.width), int32_t(desc.height)};
    const Rect& r = rect ? *rect : whole;
    if (r.left < 0 || r.top < 0 || r.right > whole.right || r.bottom > whole.bottom || r.left >= r.right ||
        r.top >= r.bottom || (blocks && (r.left % 4 != 0 || r.top % 4 != 0)))
    {
        return D3DERR_INVALIDCALL; // block formats lock whole blocks
    }
    std::vector<uint8_t>& bytes = Memory();
    if (renderable && !(flags & D3DLOCK_DISCARD))
    {
        GetDevice().GetBackend().Download(*this);
    }
    out->pitch = int32_t(Pitch());
    out->bits =
        blocks ? bytes.data() + size_t(r.top / 4) * Pitch() + size_t(r.left / 4) * BlockBytes(desc.format)
               : bytes.data() + size_t(r.top) * Pitch() + size_t(r.left) * BytesPerPixel(desc.format);
    locked = true;
    lockFlags = flags;
    return D3D_OK;
}

HRESULT Surface::UnlockRect()
{
    if (!locked)
    {
        return D3DERR_INVALIDCALL;
    }
    locked = false;
    if (!(lockFlags & D3DLOCK_READONLY))
    {
        GetDevice().GetBackend().Upload(*this);
    }
    return D3D_OK;
}

// Textures

namespace
{

uint32_t FaceCount(TextureKind kind)
{
    return kind == TextureKind::cube ? 6 : kind == TextureKind::flat ? 1 : 0;
}

} // namespace

BaseTexture::BaseTexture(Device& device, TextureKind kind, uint32_t width, uint32_t height, uint32_t levels,
                         uint32_t usage, Format format, Pool pool)
    : Resource(device, pool), kind(kind), width(width), height(height), levels(levels), usage(usage),
      format(format)
{
    const uint32_t faces = FaceCount(kind);
    for (uint32_t face = 0; face < faces; ++face)
    {
        for (uint32_t level = 0; level < levels; ++level)
        {
            SurfaceDesc desc;
            desc.format = format;
            desc.usage = usage;
            desc.pool = pool;
            desc.width = std::max(1u, width >> level);
            desc.height = std::max(1u, height >> level);
            surfaces.push_back(std::make_unique<Surface>(device, SurfaceKind::textureLevel, desc, this, level,
                                                         CubeFace(face)));
        }
    }
}

BaseTexture::~BaseTexture()
{
    surfaces.clear();
    if (!Detached())
    {
        GetDevice().GetBackend().DestroyStorage(*this);
    }
}

Surface* BaseTexture::Level(uint32_t face, uint32_t level) const
{
    if (level >= levels || face >= FaceCount(kind))
    {
        return nullptr;
    }
    return surfaces[face * levels + level].get();
}

HRESULT BaseTexture::GetLevel(uint32_t face, uint32_t level, Surface** surface)
{
    Surface* found = Level(face, level);
    if (!found || !surface)
    {
        return D3DERR_INVALIDCALL;
    }
    AddRef();
    *surface = found;
    return D3D_OK;
}

Texture::Texture(Device& device, uint32_t width, uint32_t height, uint32_t levels, uint32_t usage,
                 Format format, Pool pool)
    : BaseTexture(device, TextureKind::flat, width, height, levels, usage, format, pool)
{
}

HRESULT Texture::LockRect(uint32_t level, LockedRect* locked, const Rect* rect, uint32_t flags)
{
    Surface* surface = Level(0, level);
    return surface ? surface->LockRect(locked, rect, flags) : D3DERR_INVALIDCALL;
}

HRESULT Texture::UnlockRect(uint32_t level)
{
    Surface* surface = Level(0, level);
    return surface ? surface->UnlockRect() : D3DERR_INVALIDCALL;
}

CubeTexture::CubeTexture(Device& device, uint32_t edge, uint32_t levels, uint32_t usage, Format format,
                         Pool pool)
    : BaseTexture(device, TextureKind::cube, edge, edge, levels, usage, format, pool)
{
}

HRESULT CubeTexture::LockRect(CubeFace face, uint32_t level, LockedRect* locked, const Rect* rect,
                              uint32_t flags)
{
    Surface* surface = Level(face, level);
    return surface ? surface->LockRect(locked, rect, flags) : D3DERR_INVALIDCALL;
}

HRESULT CubeTexture::UnlockRect(CubeFace face, uint32_t level)
{
    Surface* surface = Level(face, level);
    return surface ? surface->UnlockRect() : D3DERR_INVALIDCALL;
}

VolumeTexture::VolumeTexture(Device& device, uint32_t width, uint32_t height, uint32_t depth, uint32_t levels,
                             uint32_t usage, Format format, Pool pool)
    : BaseTexture(device, TextureKind::volume, width, height, levels, usage, format, pool), depth(depth),
      memory(levels)
{
    for (uint32_t level = 0; level < levels; ++level)
    {
        const Box box = LevelBox(level);
        memory[level].resize(size_t(LevelBytes(format, box.right, box.bottom)) * box.back);
    }
}

Box VolumeTexture::LevelBox(uint32_t level) const
{
    const auto size = [level](uint32_t extent) { return level < 32 ? std::max(1u, extent >> level) : 1u; };
    return Box{0, 0, size(Width()), size(Height()), 0, size(depth)};
}

const std::vector<uint8_t>& VolumeTexture::LevelMemory(uint32_t level) const
{
    static const std::vector<uint8_t> none;
    return level < memory.size() ? memory[level] : none;
}

HRESULT VolumeTexture::LockBox(uint32_t level, LockedBox* out, const Box* box, uint32_t flags)
{
    const uint32_t texel = BytesPerPixel(GetFormat());
    if (lockedLevel >= 0 || !out || level >= GetLevelCount() || texel == 0)
    {
        return D3DERR_INVALIDCALL;
    }
    const Box whole = LevelBox(level);
    const Box& b = box ? *box : whole;
    if (b.left >= b.right || b.top >= b.bottom || b.front >= b.back || b.right > whole.right ||
        b.bottom > whole.bottom || b.back > whole.back)
    {
        return D3DERR_INVALIDCALL;
    }
    const size_t row = size_t(whole.right) * texel;
    const size_t slice = row * whole.bottom;
    out->rowPitch = int32_t(row);
    out->slicePitch = int32_t(slice);
    out->bits = memory[level].data() + b.front * slice + b.top * row + b.left * texel;
    lockedLevel = level;
    lockFlags = flags;
    return D3D_OK;
}

HRESULT VolumeTexture::UnlockBox(uint32_t level)
{
    if (lockedLevel != int64_t(level))
    {
        return D3DERR_INVALIDCALL;
    }
    lockedLevel = -1;
    if (!(lockFlags & D3DLOCK_READONLY) && !Detached())
    {
        GetDevice().GetBackend().Upload(*this, level);
    }
    return D3D_OK;
}

// Buffers

Buffer::Buffer(Device& device, uint32_t length, uint32_t usage, Pool pool)
    : Resource(device, pool), usage(usage), memory(length)
{
}

Buffer::~Buffer()
{
    if (!Detached())
    {
        GetDevice().GetBackend().DestroyStorage(*this);
    }
}

HRESULT Buffer::Lock(uint32_t offset, uint32_t size, void** data, uint32_t /*flags*/)
{
    if (size == 0 && offset == 0)
    {
        size = Length();
    }
    if (locked || !data || offset > Length() || size > Length() - offset)
    {
        return D3DERR_INVALIDCALL;
    }
    locked = true;
    lockOffset = offset;
    lockSize = size;
    *data = memory.data() + offset;
    return D3D_OK;
}

HRESULT Buffer::Unlock()
{
    if (!locked)
    {
        return D3DERR_INVALIDCALL;
    }
    locked = false;
    GetDevice().GetBackend().Upload(*this, lockOffset, lockSize);
    return D3D_OK;
}

VertexBuffer::VertexBuffer(Device& device, uint32_t length, uint32_t usage, uint32_t fvf, Pool pool)
    : Buffer(device, length, usage, pool), fvf(fvf)
{
}

IndexBuffer::IndexBuffer(Device& device, uint32_t length, uint32_t usage, Format format, Pool pool)
    : Buffer(device, length, usage, pool), format(format)
{
}

// Shader

std::vector<VertexElement> FvfElements(uint32_t fvf)
{
    std::vector<VertexElement> elements;
    if (!(fvf & (D3DFVF_XYZ | D3DFVF_XYZRHW)))
    {
        return elements;
    }
    uint16_t offset = 0;
    const auto add = [&](uint8_t type, uint8_t usage, uint8_t index)
    {
        elements.push_back({0, offset, type, D3DDECLMETHOD_DEFAULT, usage, index});
        offset = uint16_t(offset + DeclTypeSize(type));
    };
    if (fvf & D3DFVF_XYZRHW)
    {
        add(D3DDECLTYPE_FLOAT4, D3DDECLUSAGE_POSITIONT, 0);
    }
    else
    {
        add(D3DDECLTYPE_FLOAT3, D3DDECLUSAGE_POSITION, 0);
    }
    const std::pair<uint32_t, VertexElement> optional[] = {
        {D3DFVF_NORMAL, {0, 0, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_NORMAL, 0}},
        {D3DFVF_PSIZE, {0, 0, D3DDECLTYPE_FLOAT1, 0, D3DDECLUSAGE_PSIZE, 0}},
        {D3DFVF_DIFFUSE, {0, 0, D3DDECLTYPE_D3DCOLOR, 0, D3DDECLUSAGE_COLOR, 0}},
        {D3DFVF_SPECULAR, {0, 0, D3DDECLTYPE_D3DCOLOR, 0, D3DDECLUSAGE_COLOR, 1}},
    };
    for (const auto& [bit, element] : optional)
    {
        if (fvf & bit)
        {
            add(element.type, element.usage, element.usageIndex);
        }
    }
    const uint32_t sets = (fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT;
    for (uint32_t set = 0; set < sets; ++set)
    {
        add(D3DDECLTYPE_FLOAT2, D3DDECLUSAGE_TEXCOORD, uint8_t(set));
    }
    return elements;
}

bool DeclarationElements(const VertexElement* declaration, std::vector<VertexElement>& elements)
{
    elements.clear();
    for (; declaration && !(*declaration == D3DDECL_END); ++declaration)
    {
        if (elements.size() == MAXD3DDECLLENGTH || declaration->stream != 0 ||
            DeclTypeSize(declaration->type) == 0)
        {
            return false;
        }
        elements.push_back(*declaration);
    }
    return declaration != nullptr;
}

uint32_t VertexSize(const std::vector<VertexElement>& elements)
{
    uint32_t size = 0;
    for (const VertexElement& element : elements)
    {
        size = std::max(size, element.offset + DeclTypeSize(element.type));
    }
    return size;
}

const VertexElement* FindElement(const std::vector<VertexElement>& elements, uint8_t usage,
                                 uint8_t usageIndex)
{
    const auto found = std::find_if(elements.begin(), elements.end(),
                                    [&](const VertexElement& element)
                                    { return element.usage == usage && element.usageIndex == usageIndex; });
    return found != elements.end() ? &*found : nullptr;
}

VertexDeclaration::VertexDeclaration(Device& device, std::vector<VertexElement> elements)
    : Resource(device, D3DPOOL_MANAGED), elements(std::move(elements))
{
}

Shader::Shader(Device& device, bool vertex, std::string source)
    : Resource(device, D3DPOOL_MANAGED), vertex(vertex), source(std::move(source))
{
}

Shader::~Shader()
{
    if (!Detached())
    {
        GetDevice().GetBackend().DestroyStorage(*this);
    }
}

} // namespace d3d9
