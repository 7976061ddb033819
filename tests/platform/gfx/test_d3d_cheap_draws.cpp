// Draws given cheaper GL state than they ask for: linear filtering on
// texels that lie one to one on pixels samples nearest, blending of what is
// opaque wherever it draws is left off. Their pixels must be what the asked
// state gives; a draw not exact or not opaque must keep its state.
#include <algorithm>
#include <cmath>

#include "test_d3d_fixture.h"

using namespace platform;

namespace {

class CheapPixels : public d3dtest::GlDeviceTest {
protected:
    void SetUp() override
    {
        GlDeviceTest::SetUp();
        makeSprite();
        setFilter(D3DTEXF_LINEAR);
        setBlend(D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA);
        setColorOp(D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_MODULATE);
    }

    // size x size texels, each its own colour, neighbours far apart.
    static std::vector<std::uint32_t> checker(int size = 8, std::uint32_t alpha = 0xFF000000)
    {
        std::vector<std::uint32_t> px;
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x)
                px.push_back(alpha | (((x + y) % 2 ? 0xE0C0A0u : 0x102030u) + std::uint32_t(x * 2 + y * 0x200)));
        return px;
    }

    void draw(GfxTexture* t, float x, float y, D3DCOLOR colour = 0xFFFFFFFF, float scale = 1.0f, float angle = 0.0f)
    {
        const D3DXVECTOR2 at{x, y}, size{scale, scale};
        ASSERT_EQ(sprite->Draw(t, nullptr, &size, nullptr, angle, &at, colour), D3D_OK);
    }

    // The pixels at (x, y) equal the square of texels exactly.
    bool showsTexels(int x, int y, const std::vector<std::uint32_t>& texels)
    {
        const int size = int(std::sqrt(double(texels.size())));
        const RECT r{x, y, x + size, y + size};
        const auto got = read(&r);
        for (std::size_t i = 0; i < texels.size(); ++i)
            if ((got[i] & 0xFFFFFF) != (texels[i] & 0xFFFFFF))
                return false;
        return true;
    }

    std::uint64_t nearest() { return dev->stats().drawsSampledNearest; }
    std::uint64_t unblended() { return dev->stats().drawsUnblended; }
};

} // namespace

TEST_F(CheapPixels, ExactQuadsShowTheirTexelsOthersKeepTheirFilter)
{
    const auto texels = checker();
    auto t = texture(8, 8, D3DFMT_A8R8G8B8, texels);
    // Texel for pixel, at whole positions: the texels themselves, sampled nearest.
    dev->resetStats();
    draw(t.get(), 2, 3);
    EXPECT_TRUE(showsTexels(2, 3, texels));
    EXPECT_EQ(nearest(), 1u);

    // Half a pixel off: each pixel mixes two texels, about half and half.
    const float l = 20.0f, top = 3.5f;
    const TLVertex half[4] = {vertex(l, top, 0xFFFFFFFF, 0, 0), vertex(l + 8, top, 0xFFFFFFFF, 1, 0),
                              vertex(l, top + 8, 0xFFFFFFFF, 0, 1), vertex(l + 8, top + 8, 0xFFFFFFFF, 1, 1)};
    dev->SetTexture(0, t.get());
    ASSERT_EQ(dev->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, half, sizeof(TLVertex)), D3D_OK);
    const RECT mixedRow{21, 7, 28, 8};
    const auto row = read(&mixedRow);
    for (int i = 0; i < 7; ++i) {
        const std::uint32_t a = texels[std::size_t(24 + i)], b = texels[std::size_t(25 + i)];
        for (int shift : {16, 8, 0})
            EXPECT_NEAR(d3dtest::channel(row[std::size_t(i)], shift),
                        (d3dtest::channel(a, shift) + d3dtest::channel(b, shift)) / 2.0, 1.0)
                << "pixel " << i;
    }
    // Grown, turned, or with its sides between pixels: not exact either.
    draw(t.get(), 32, 2, 0xFFFFFFFF, 2.0f);
    draw(t.get(), 50, 30, 0xFFFFFFFF, 1.0f, 1.5707964f);
    draw(t.get(), 2.5f, 30);
    int between = 0;
    const RECT grown{32, 2, 48, 18};
    for (std::uint32_t px : read(&grown))
        between += std::find(texels.begin(), texels.end(), px | 0xFF000000) == texels.end();
    EXPECT_GT(between, 100);
    EXPECT_EQ(nearest(), 1u);
}

TEST_F(CheapPixels, OpaqueDrawsSkipBlendingOthersBlend)
{
    // Over white, whatever blends shows it: a texel of alpha 254 lightens.
    const auto white = [&] { dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFFFFFFFF, 1.0f, 0); };
    const auto texels = checker(32);
    auto opaque = texture(32, 32, D3DFMT_A8R8G8B8, texels);
    auto noAlpha = texture(32, 32, D3DFMT_X8R8G8B8, checker(32, 0));
    auto almost = texels;
    almost[99] = 0xFE000000 | (almost[99] & 0xFFFFFF);
    auto faint = texture(32, 32, D3DFMT_A8R8G8B8, almost);
    dev->resetStats();
    white();
    draw(opaque.get(), 0, 0);
    draw(noAlpha.get(), 32, 0);
    EXPECT_TRUE(showsTexels(0, 0, texels));
    EXPECT_TRUE(showsTexels(32, 0, texels));
    // Stretched, linearly filtered: still opaque wherever it draws.
    draw(opaque.get(), 0, 0, 0xFFFFFFFF, 1.5f);
    EXPECT_EQ(pixel(0, 0), 0xFF000000 | texels[0]);
    EXPECT_EQ(unblended(), 3u);

    white();
    draw(faint.get(), 0, 0);
    draw(opaque.get(), 32, 0, 0xFEFFFFFF);
    // Only the faint texel differs from what it would be unblended.
    EXPECT_FALSE(showsTexels(0, 0, texels));
    EXPECT_TRUE(d3dtest::near(pixel(3, 3), texels[99], 1));
    EXPECT_FALSE(d3dtest::near(pixel(3, 3), texels[99], 0));
    EXPECT_FALSE(showsTexels(32, 0, texels));
    white();
    setBlend(D3DBLEND_ONE, D3DBLEND_ONE);
    draw(opaque.get(), 0, 0);
    EXPECT_TRUE(d3dtest::near(pixel(0, 0), 0xFFFFFF, 0));
    // A small opaque draw keeps its blending, and so the batch it joins.
    setBlend(D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA);
    auto small = texture(8, 8, D3DFMT_X8R8G8B8, checker(8));
    draw(small.get(), 40, 40);
    EXPECT_TRUE(showsTexels(40, 40, checker(8)));
    EXPECT_EQ(unblended(), 3u);
}
