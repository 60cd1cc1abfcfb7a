// The program's painter on the recording render device: whether a texture is opaque, from the
// alpha of every texel of every level.
#include "../render/TwoDFixture.h"
#include "WeUIPainter.h"

#include <cstring>

namespace
{

using DevicePainter = TwoDTest;

// Fills every level of a 4 x 4 texture of 32-bit texels with `argb`, one texel of one level with
// an alpha one less.
void Fill(WeTexture& texture, uint32_t argb, uint32_t level, uint32_t texel)
{
    d3d9::Texture* plain = texture.GetTexture2D();
    for (uint32_t l = 0; l < plain->GetLevelCount(); ++l)
    {
        d3d9::LockedRect locked;
        ASSERT_EQ(plain->LockRect(l, &locked, nullptr, 0), d3d9::D3D_OK);
        const uint32_t side = 4u >> l;
        for (uint32_t y = 0; y < side; ++y)
            for (uint32_t x = 0; x < side; ++x)
            {
                const uint32_t value = l == level && y * side + x == texel ? argb & 0xFEFFFFFFu : argb;
                std::memcpy(static_cast<uint8_t*>(locked.bits) + y * uint32_t(locked.pitch) + 4 * x, &value,
                            4);
            }
        plain->UnlockRect(l);
    }
}

} // namespace

TEST_F(DevicePainter, ATextureIsOpaqueOnlyWhenEveryTexelOfEveryLevelIs)
{
    const struct
    {
        d3d9::Format format;
        uint32_t argb, level, texel; // the texel of the level whose alpha is one less
        bool opaque;
    } cases[] = {
        {d3d9::D3DFMT_A8R8G8B8, 0xFF102030u, 9, 0, true},   // no texel changed
        {d3d9::D3DFMT_A8R8G8B8, 0xFF102030u, 0, 15, false}, // the last texel of the first level
        {d3d9::D3DFMT_A8R8G8B8, 0xFF102030u, 2, 0, false},  // the one texel of the smallest level
        {d3d9::D3DFMT_A8R8G8B8, 0x80102030u, 9, 0, false},
        {d3d9::D3DFMT_X8R8G8B8, 0x00102030u, 0, 0, true}, // its fourth bytes are no alpha
    };
    WeUIDevicePainter painter;
    EXPECT_FALSE(painter.IsOpaque(nullptr));
    for (const auto& c : cases)
    {
        WeTexture* texture = textures.CreateTexture(4, 4, c.format, 0, d3d9::D3DPOOL_MANAGED, 3, true);
        ASSERT_NE(texture, nullptr);
        Fill(*texture, c.argb, c.level, c.texel);
        EXPECT_EQ(painter.IsOpaque(texture), c.opaque) << std::hex << c.argb << " level " << c.level;
    }
}
