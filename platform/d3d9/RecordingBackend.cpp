#include "d3d9/RecordingBackend.h"

#include "d3d9/D3d9Device.h"

#include <algorithm>
#include <cstring>

namespace d3d9
{

Rect ClearRect(const DeviceState& state)
{
    const Viewport& v = state.viewport;
    Rect rect{int32_t(v.x), int32_t(v.y), int32_t(v.x + v.width), int32_t(v.y + v.height)};
    if (state.renderStates[D3DRS_SCISSORTESTENABLE])
    {
        rect.left = std::max(rect.left, state.scissor.left);
        rect.top = std::max(rect.top, state.scissor.top);
        rect.right = std::max(rect.left, std::min(rect.right, state.scissor.right));
        rect.bottom = std::max(rect.top, std::min(rect.bottom, state.scissor.bottom));
    }
    return rect;
}

HRESULT RecordingBackend::Open(const PresentParameters&, Surface&)
{
    return D3D_OK;
}

HRESULT RecordingBackend::Reset(const PresentParameters&, Surface&)
{
    return D3D_OK;
}

bool RecordingBackend::CreateStorage(Surface&)
{
    return true;
}

bool RecordingBackend::CreateStorage(BaseTexture&)
{
    return true;
}

bool RecordingBackend::CreateStorage(Buffer&)
{
    return true;
}

bool RecordingBackend::CreateStorage(Shader&)
{
    return true;
}

void RecordingBackend::DestroyStorage(Resource&) {}

void RecordingBackend::Upload(Surface&) {}

void RecordingBackend::Download(Surface&) {}

void RecordingBackend::Upload(Buffer&, uint32_t, uint32_t) {}

void RecordingBackend::Upload(VolumeTexture&, uint32_t) {}

void RecordingBackend::Clear(const DeviceState& state, uint32_t flags, D3DCOLOR color, float, uint32_t)
{
    if (!(flags & D3DCLEAR_TARGET))
    {
        return;
    }
    const Rect rect = ClearRect(state);
    for (Surface* target : state.renderTargets)
    {
        if (!target || BytesPerPixel(target->GetDesc().format) != 4)
        {
            continue;
        }
        const SurfaceDesc desc = target->GetDesc();
        const int32_t top = std::max(rect.top, 0), bottom = std::min(rect.bottom, int32_t(desc.height));
        const int32_t left = std::max(rect.left, 0), right = std::min(rect.right, int32_t(desc.width));
        if (left >= right || top >= bottom)
        {
            continue;
        }
        // The first row of the rectangle filled, the others copied from it.
        const size_t pitch = target->Pitch(), bytes = size_t(right - left) * 4;
        uint8_t* const first = target->Memory().data() + size_t(top) * pitch + size_t(left) * 4;
        for (size_t x = 0; x < bytes; x += 4)
        {
            std::memcpy(first + x, &color, 4);
        }
        for (int32_t y = top + 1; y < bottom; ++y)
        {
            std::memcpy(first + size_t(y - top) * pitch, first, bytes);
        }
    }
}

void RecordingBackend::Draw(const DeviceState& state, const DrawCall&)
{
    ++draws;
    if (onDraw)
    {
        onDraw(state);
    }
}

namespace
{

// One pixel; four bytes as a fixed-size copy that the compiler makes inline.
void CopyPixel(uint8_t* to, const uint8_t* from, uint32_t bytes)
{
    if (bytes == 4)
    {
        std::memcpy(to, from, 4);
        return;
    }
    std::memcpy(to, from, bytes);
}

} // namespace

void RecordingBackend::Copy(Surface& source, const Rect& from, Surface& dest, const Rect& to, bool)
{
    const uint32_t bytes = BytesPerPixel(source.GetDesc().format);
    if (bytes == 0 || bytes != BytesPerPixel(dest.GetDesc().format))
    {
        return;
    }
    // Nearest texels, enough for tests to follow where an image went; rows of the same width at
    // once.
    const int32_t width = to.right - to.left, height = to.bottom - to.top;
    const bool sameWidth = from.right - from.left == width;
    for (int32_t y = 0; y < height; ++y)
    {
        const int32_t sy = from.top + y * (from.bottom - from.top) / height;
        uint8_t* row = dest.Memory().data() + size_t(to.top + y) * dest.Pitch() + size_t(to.left) * bytes;
        const uint8_t* sourceRow = source.Memory().data() + size_t(sy) * source.Pitch();
        if (sameWidth)
        {
            std::memcpy(row, sourceRow + size_t(from.left) * bytes, size_t(width) * bytes);
            continue;
        }
        // Source column from.left + x * span / width, stepped on without a division per pixel.
        const int32_t span = from.right - from.left;
        const uint8_t* column = sourceRow + size_t(from.left) * bytes;
        for (int32_t x = 0, rest = 0; x < width; ++x)
        {
            CopyPixel(row + size_t(x) * bytes, column, bytes);
            for (rest += span; rest >= width; rest -= width)
            {
                column += bytes;
            }
        }
    }
}

HRESULT RecordingBackend::Present(Surface&)
{
    ++presents;
    return D3D_OK;
}

} // namespace d3d9
