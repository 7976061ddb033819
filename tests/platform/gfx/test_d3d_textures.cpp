// Texture locks, batching and saved surfaces on the GL device.
#include <algorithm>
#include <cstring>
#include <tuple>

#include "test_d3d_fixture.h"

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#include <stb/stb_image.h>
#pragma GCC diagnostic pop

#include "support/test_env.h"

using namespace platform;
using d3dtest::near;

namespace {

class LockUnlock : public d3dtest::GlDeviceTest {
protected:
    void SetUp() override
    {
        GlDeviceTest::SetUp();
        setFilter(D3DTEXF_POINT);
        makeSprite();
    }
    void drawAt(GfxTexture* t, float x, float y)
    {
        const D3DXVECTOR2 pos{x, y};
        ASSERT_EQ(sprite->Draw(t, nullptr, nullptr, nullptr, 0.0f, &pos, 0xFFFFFFFF), D3D_OK);
    }
    // Fills rect of a texture with one colour through a lock.
    static void fill(GfxTexture* t, const RECT& r, std::uint32_t argb)
    {
        D3DSURFACE_DESC d;
        t->GetLevelDesc(0, &d);
        D3DLOCKED_RECT l;
        ASSERT_EQ(t->LockRect(0, &l, &r, 0), D3D_OK);
        const int bpp = bytesPerPixel(d.Format);
        for (int y = 0; y < r.bottom - r.top; ++y)
            for (int x = 0; x < r.right - r.left; ++x)
                encodePixel(d.Format, argb, static_cast<std::uint8_t*>(l.pBits) + y * l.Pitch + x * bpp);
        ASSERT_EQ(t->UnlockRect(0), D3D_OK);
    }
};

TEST_F(LockUnlock, SubRectangleWrittenAfterADrawChangesOnlyThatRectangle)
{
    for (D3DFORMAT f : {D3DFMT_A8R8G8B8, D3DFMT_R5G6B5}) {
        dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
        auto t = texture(4, 4, f, std::vector<std::uint32_t>(16, 0xFFFFFFFF));
        drawAt(t.get(), 0, 0);
        pixel(0, 0);  // the first draw is on the GPU before the write
        fill(t.get(), RECT{1, 1, 3, 3}, 0xFFFF0000);
        drawAt(t.get(), 10, 0);
        for (int y = 0; y < 4; ++y) {
            for (int x = 0; x < 4; ++x) {
                const bool inside = x >= 1 && x < 3 && y >= 1 && y < 3;
                EXPECT_TRUE(near(pixel(x, y), 0xFFFFFF, 8)) << "first copy " << x << "," << y;
                EXPECT_TRUE(near(pixel(10 + x, y), inside ? 0xFF0000 : 0xFFFFFF, 8)) << x << "," << y;
            }
        }
    }
}

TEST_F(LockUnlock, ReadOnlyLockUploadsNothing)
{
    auto t = texture(2, 2, D3DFMT_A8R8G8B8, {0xFF112233, 0xFF445566, 0xFF778899, 0xFFAABBCC});
    drawAt(t.get(), 0, 0);
    pixel(0, 0);
    const auto uploads = dev->stats().uploads;
    D3DLOCKED_RECT l;
    ASSERT_EQ(t->LockRect(0, &l, nullptr, D3DLOCK_READONLY), D3D_OK);
    EXPECT_EQ(decodePixel(D3DFMT_A8R8G8B8, static_cast<std::uint8_t*>(l.pBits) + l.Pitch + 4), 0xFFAABBCCu);
    ASSERT_EQ(t->UnlockRect(0), D3D_OK);
    drawAt(t.get(), 4, 0);
    EXPECT_TRUE(near(pixel(5, 1), 0xAABBCC, 0));
    EXPECT_EQ(dev->stats().uploads, uploads);
}

TEST_F(LockUnlock, LockBetweenQueuedSpritesSplitsOldAndNew)
{
    auto t = texture(2, 2, D3DFMT_A8R8G8B8, std::vector<std::uint32_t>(4, 0xFF0000FF));
    drawAt(t.get(), 0, 0);
    fill(t.get(), RECT{0, 0, 2, 2}, 0xFF00FF00);
    drawAt(t.get(), 4, 0);
    EXPECT_TRUE(near(pixel(0, 0), 0x0000FF, 0));
    EXPECT_TRUE(near(pixel(4, 0), 0x00FF00, 0));
}

TEST_F(LockUnlock, ContentsSurviveReset)
{
    auto t = texture(2, 1, D3DFMT_A4R4G4B4, {0xFFFF0000, 0xFF00FF00});
    drawAt(t.get(), 0, 0);
    ASSERT_EQ(dev->EndScene(), D3D_OK);
    params.BackBufferWidth = 32;
    params.BackBufferHeight = 16;
    ASSERT_EQ(dev->Reset(&params), D3D_OK);
    ASSERT_EQ(dev->BeginScene(), D3D_OK);
    D3DVIEWPORT8 vp;
    dev->GetViewport(&vp);
    EXPECT_EQ(vp.Width, 32u);
    EXPECT_EQ(vp.Height, 16u);
    dev->SetVertexShader(kFvfTLVertex);
    drawAt(t.get(), 3, 3);
    const RECT r{3, 3, 5, 4};
    const auto px = read(&r);
    EXPECT_TRUE(near(px[0], 0xFF0000, 0));
    EXPECT_TRUE(near(px[1], 0x00FF00, 0));
}

// Textures of one size and alpha kind share a GL array, a layer each. One
// drawn before others of its size came keeps its pixels as the array grows
// under it; a layer given up and taken again shows its new texture, not the
// old one; an opaque format of the same size still reads alpha 1.
TEST_F(LockUnlock, TexturesOfOneSizeKeepTheirPixelsAsTheirArrayGrows)
{
    setBlend(D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA);
    auto first = texture(4, 4, D3DFMT_A8R8G8B8, std::vector<std::uint32_t>(16, 0xFFFF0000));
    drawAt(first.get(), 0, 0);
    EXPECT_TRUE(near(pixel(1, 1), 0xFF0000, 0));
    const std::uint32_t colours[] = {0xFF00FF00, 0xFF0000FF, 0xFFFFFF00, 0xFF00FFFF, 0xFFFF00FF};
    std::vector<GfxRef<GfxTexture>> more;
    for (std::uint32_t c : colours) {
        more.push_back(texture(4, 4, D3DFMT_A8R8G8B8, std::vector<std::uint32_t>(16, c)));
        drawAt(more.back().get(), 8.0f * float(more.size()), 0);
    }
    drawAt(first.get(), 0, 8);
    EXPECT_TRUE(near(pixel(1, 9), 0xFF0000, 0));
    for (std::size_t i = 0; i < more.size(); ++i)
        EXPECT_TRUE(near(pixel(9 + 8 * int(i), 1), colours[i] & 0xFFFFFF, 0)) << "texture " << i;

    // The newcomer is written in its top half only: its bottom half is
    // transparent, not what the layer held before.
    more[2].reset();
    GfxRef<GfxTexture> late;
    ASSERT_EQ(dev->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, late.out()), D3D_OK);
    fill(late.get(), RECT{0, 0, 4, 2}, 0xFF808080);
    const std::uint32_t under = pixel(1, 19);
    drawAt(late.get(), 0, 16);
    EXPECT_TRUE(near(pixel(1, 17), 0x808080, 0));
    EXPECT_TRUE(near(pixel(1, 19), under & 0xFFFFFF, 0));
    // Alpha bits of 0 in a format without alpha: drawn opaque all the same.
    auto opaque = texture(4, 4, D3DFMT_X8R8G8B8, std::vector<std::uint32_t>(16, 0x00123456));
    drawAt(opaque.get(), 8, 16);
    EXPECT_TRUE(near(pixel(9, 17), 0x123456, 0));
    drawAt(first.get(), 16, 16);
    EXPECT_TRUE(near(pixel(17, 17), 0xFF0000, 0));
}

class Batching : public LockUnlock {};

TEST_F(Batching, OneTextureAndStateMakeOneDrawCall)
{
    auto t = texture(2, 2, D3DFMT_A8R8G8B8, std::vector<std::uint32_t>(4, 0xFFFFFFFF));
    dev->resetStats();
    for (int i = 0; i < 100; ++i)
        drawAt(t.get(), float(i % 30), float(i / 30));
    EXPECT_EQ(dev->stats().drawCalls, 0u);
    ASSERT_EQ(dev->EndScene(), D3D_OK);
    EXPECT_EQ(dev->stats().drawCalls, 1u);
    EXPECT_EQ(dev->stats().flushes, 1u);
    EXPECT_EQ(dev->stats().uploads, 1u);
    ASSERT_EQ(dev->BeginScene(), D3D_OK);
}

TEST_F(Batching, StateChangeFlushesSameValueDoesNot)
{
    auto t = texture(2, 2, D3DFMT_A8R8G8B8, std::vector<std::uint32_t>(4, 0xFFFFFFFF));
    setBlend(D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA);
    dev->resetStats();
    drawAt(t.get(), 0, 0);
    dev->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    dev->SetTextureStageState(0, D3DTSS_MINFILTER, D3DTEXF_POINT);
    dev->SetTexture(0, nullptr);  // the sprite brings its own texture
    drawAt(t.get(), 4, 0);
    EXPECT_EQ(dev->stats().flushes, 0u);
    dev->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
    EXPECT_EQ(dev->stats().flushes, 1u);
    drawAt(t.get(), 8, 0);
    D3DVIEWPORT8 vp;
    dev->GetViewport(&vp);
    dev->SetViewport(&vp);
    EXPECT_EQ(dev->stats().flushes, 1u);
    vp.Width -= 1;
    dev->SetViewport(&vp);
    EXPECT_EQ(dev->stats().flushes, 2u);
}

TEST_F(Batching, SpritesAndPrimitivesKeepTheirOrder)
{
    auto red = texture(1, 1, D3DFMT_A8R8G8B8, {0xFFFF0000});
    auto blue = texture(1, 1, D3DFMT_A8R8G8B8, {0xFF0000FF});
    const D3DXVECTOR2 big{8, 8};
    D3DXVECTOR2 pos{0, 0};
    sprite->Draw(red.get(), nullptr, &big, nullptr, 0.0f, &pos, 0xFFFFFFFF);
    dev->SetTexture(0, nullptr);
    quad(4, 0, 8, 8, 0xFF00FF00);
    pos.x = 8;
    sprite->Draw(blue.get(), nullptr, &big, nullptr, 0.0f, &pos, 0xFFFFFFFF);
    sprite->Draw(red.get(), nullptr, &big, nullptr, 0.0f, &pos, 0x80FFFFFF);  // same state, later
    EXPECT_TRUE(near(pixel(2, 2), 0xFF0000, 0));
    EXPECT_TRUE(near(pixel(6, 2), 0x00FF00, 0));
    EXPECT_TRUE(near(pixel(10, 2), 0xFF0000, 0));  // blending is off: the last draw wins
}

TEST_F(Batching, ARunOfSpritesGivesThePixelsOfItsSpritesDrawnOneByOne)
{
    // Linear filtering: one part lies texel for texel on pixels (drawn alone,
    // it samples nearest), the others do not.
    std::vector<std::uint32_t> px;
    for (int i = 0; i < 64; ++i)
        px.push_back(0x80000000u | std::uint32_t(i * 0x3F1D27) % 0x1000000u | std::uint32_t(i % 2) * 0x7F000000u);
    auto t = texture(16, 4, D3DFMT_A8R8G8B8, px);
    setFilter(D3DTEXF_LINEAR);
    setBlend(D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA);
    const D3DXVECTOR2 one{1, 1}, stretched{1.5f, 2.0f}, other{0.75f, 1.25f};
    for (const D3DXVECTOR2* scale : {&one, &stretched, &other}) {
        // The last scale: the parts each their own.
        const bool mixed = scale == &other;
        const platform::SpritePart parts[] = {
            {RECT{0, 0, 5, 4}, mixed ? one : *scale, D3DXVECTOR2{0, 0}, D3DXVECTOR2{3, 5}},
            {RECT{5, 0, 9, 3}, *scale, D3DXVECTOR2{0, 0}, D3DXVECTOR2{9.3f, 5.6f}},
            {RECT{9, 1, 16, 4}, mixed ? stretched : *scale, D3DXVECTOR2{1, 1}, D3DXVECTOR2{14, 4}},
            {RECT{2, 0, 12, 4}, *scale, D3DXVECTOR2{0, 0}, D3DXVECTOR2{6.5f, 7}}};
        dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF203040, 1.0f, 0);
        for (const auto& p : parts)
            ASSERT_EQ(sprite->Draw(t.get(), &p.source, &p.scale, &p.center, 0.0f, &p.translation, 0xFFFFFFFF),
                      D3D_OK);
        const auto alone = read();
        dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF203040, 1.0f, 0);
        dev->resetStats();
        ASSERT_EQ(sprite->DrawRun(t.get(), parts, 4, 0.0f, 0xFFFFFFFF), D3D_OK);
        const auto run = read();
        EXPECT_EQ(dev->stats().drawCalls, 1u);
        EXPECT_EQ(run, alone);
        EXPECT_GT(std::count(run.begin(), run.end(), 0xFF203040u), 100);
        EXPECT_LT(std::count(run.begin(), run.end(), 0xFF203040u), kWidth * kHeight - 60);
    }
}

// A kept run draws the pixels of the run drawn afresh, in each draw's
// colour, and is made again for another rotation or a texture of another
// size.
TEST_F(Batching, AKeptRunDrawsAsTheRunDrawnAfresh)
{
    const auto pattern = [](int n) {
        std::vector<std::uint32_t> px;
        for (int i = 0; i < n; ++i)
            px.push_back(0xFF000000u | std::uint32_t(i * 0x3F1D27) % 0x1000000u);
        return px;
    };
    auto t = texture(16, 4, D3DFMT_A8R8G8B8, pattern(64));
    auto wide = texture(32, 8, D3DFMT_A8R8G8B8, pattern(256));
    setFilter(D3DTEXF_LINEAR);
    setBlend(D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA);
    // The second part is empty.
    const platform::SpritePart parts[] = {
        {RECT{0, 0, 5, 4}, D3DXVECTOR2{1, 1}, D3DXVECTOR2{0, 0}, D3DXVECTOR2{3, 5}},
        {RECT{5, 0, 5, 3}, D3DXVECTOR2{1, 1}, D3DXVECTOR2{0, 0}, D3DXVECTOR2{9, 5}},
        {RECT{9, 1, 16, 4}, D3DXVECTOR2{1.5f, 2}, D3DXVECTOR2{1, 1}, D3DXVECTOR2{14.5f, 4}}};
    KeptRun kept;
    const auto drawn = [&](GfxTexture* texture, float angle, std::uint32_t color) {
        dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF203040, 1.0f, 0);
        EXPECT_EQ(sprite->DrawRun(texture, parts, 3, angle, color), D3D_OK);
        const auto fresh = read();
        dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF203040, 1.0f, 0);
        dev->resetStats();
        EXPECT_EQ(sprite->DrawRunKept(texture, parts, 3, angle, color, kept), D3D_OK);
        EXPECT_EQ(read(), fresh);
        EXPECT_EQ(dev->stats().drawCalls, 1u);
        EXPECT_LT(std::count(fresh.begin(), fresh.end(), 0xFF203040u), kWidth * kHeight - 20);
        return fresh;
    };
    auto last = drawn(t.get(), 0.0f, 0xFFFFFFFF);
    EXPECT_EQ(kept.corners.size(), 8u);
    EXPECT_EQ(drawn(t.get(), 0.0f, 0xFFFFFFFF), last);
    for (const auto& [texture, angle, color] : {std::tuple{t.get(), 0.0f, 0x80FF8040u},
                                                std::tuple{t.get(), 0.3f, 0x80FF8040u},
                                                std::tuple{wide.get(), 0.3f, 0x80FF8040u}}) {
        const auto now = drawn(texture, angle, color);
        EXPECT_NE(now, last) << angle;
        last = now;
    }
}

// One frame of sprites alternating among four textures (rotated, scaled,
// tinted, blended), a flat quad without texture among them, then ten
// textures in a row; returns the frame and the counters of its draws.
struct MergeFrame {
    std::vector<std::uint32_t> pixels;
    GfxDeviceStats stats;
};

class Merging : public LockUnlock {
protected:
    void SetUp() override
    {
        LockUnlock::SetUp();
        const D3DFORMAT formats[] = {D3DFMT_A8R8G8B8, D3DFMT_R5G6B5, D3DFMT_A4R4G4B4, D3DFMT_X8R8G8B8, D3DFMT_A1R5G5B5};
        for (int t = 0; t < 10; ++t) {
            const int w = 2 + t % 3, h = 3 + t % 2;
            std::vector<std::uint32_t> px(std::size_t(w * h));
            for (int i = 0; i < w * h; ++i)
                px[std::size_t(i)] = std::uint32_t(0x30 + 0x19 * ((i + t) % 8)) << 24 |
                                     std::uint32_t(0x2F * (t + 1) + 0x35 * i) % 0xFFFFFFu;
            textures.push_back(texture(w, h, formats[t % 5], px));
        }
    }

    MergeFrame frame(bool merge, std::uint32_t filter)
    {
        dev->setTextureMerging(merge);
        dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF102030, 1.0f, 0);
        setFilter(filter);
        setBlend(D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA);
        dev->resetStats();
        for (int i = 0; i < 40; ++i) {
            const D3DXVECTOR2 pos{float(i * 7 % 58), float(i * 5 % 42)}, scale{1.5f + float(i % 3) * 0.75f, 2.0f};
            const D3DXVECTOR2 centre{1.0f, 1.5f};
            const D3DCOLOR tint = 0x80000000u | std::uint32_t(i * 0x0B1D3F) % 0x1000000u | 0x3F000000u * (i % 2);
            sprite->Draw(textures[std::size_t(i % 4)].get(), nullptr, &scale, &centre, 0.37f * float(i), &pos, tint);
            if (i == 20) {
                dev->SetTexture(0, nullptr);
                quad(10, 10, 30, 5, 0x90FF8040);
            }
        }
        for (int t = 0; t < 10; ++t) {
            const D3DXVECTOR2 pos{float(t * 6), 40.0f}, scale{2.0f, 2.0f};
            sprite->Draw(textures[std::size_t(t)].get(), nullptr, &scale, nullptr, 0.0f, &pos, 0xFFFFFFFF);
        }
        MergeFrame f;
        f.pixels = read();
        f.stats = dev->stats();
        return f;
    }

    std::vector<GfxRef<GfxTexture>> textures;
};

TEST_F(Merging, MergedDrawsGiveTheUnmergedPictureExactly)
{
    for (std::uint32_t filter : {D3DTEXF_POINT, D3DTEXF_LINEAR}) {
        const MergeFrame merged = frame(true, filter);
        const MergeFrame alone = frame(false, filter);
        ASSERT_EQ(merged.pixels.size(), alone.pixels.size());
        for (std::size_t i = 0; i < merged.pixels.size(); ++i)
            ASSERT_EQ(merged.pixels[i], alone.pixels[i]) << "pixel " << i % kWidth << "," << i / kWidth;
        // Merged: four textures and "none" share a draw up to the ninth unit.
        EXPECT_EQ(merged.stats.drawCalls, 2u);
        EXPECT_EQ(merged.stats.flushes, 2u);
        // Alone: one draw per texture run (40 sprites, the quad, ten sprites).
        EXPECT_EQ(alone.stats.drawCalls, 51u);
        // A good part of the frame was drawn over.
        EXPECT_GT(std::count(merged.pixels.begin(), merged.pixels.end(), 0xFF102030u), 100);
        EXPECT_LT(std::count(merged.pixels.begin(), merged.pixels.end(), 0xFF102030u), kWidth * kHeight * 2 / 3);
    }
}

TEST_F(Merging, BigRunsDrawAloneWithinOneFlush)
{
    // A sprite of 128 x 192 pixels inside the back buffer is worth a draw of
    // its own; the small ones between the big ones share one, and so does a
    // big one that lies mostly outside the back buffer.
    ASSERT_EQ(dev->EndScene(), D3D_OK);
    params.BackBufferWidth = params.BackBufferHeight = 256;
    ASSERT_EQ(dev->Reset(&params), D3D_OK);
    ASSERT_EQ(dev->SetVertexShader(kFvfTLVertex), D3D_OK);
    setFilter(D3DTEXF_POINT);
    ASSERT_EQ(dev->BeginScene(), D3D_OK);
    const RECT all{0, 0, 256, 256};
    auto scene = [&](bool merge) {
        dev->setTextureMerging(merge);
        dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
        dev->resetStats();
        const D3DXVECTOR2 big{64.0f, 64.0f}, small{1.0f, 1.0f}, origin{0.0f, 0.0f}, at{20.0f, 20.0f};
        const D3DXVECTOR2 beyond{240.0f, -180.0f};
        sprite->Draw(textures[0].get(), nullptr, &big, nullptr, 0.0f, &origin, 0xFFFFFFFF);
        sprite->Draw(textures[1].get(), nullptr, &small, nullptr, 0.0f, &at, 0xFFFFFFFF);
        sprite->Draw(textures[5].get(), nullptr, &big, nullptr, 0.0f, &beyond, 0xFFFFFFFF);
        sprite->Draw(textures[2].get(), nullptr, &small, nullptr, 0.0f, &origin, 0xFFFFFFFF);
        sprite->Draw(textures[3].get(), nullptr, &big, nullptr, 0.5f, &at, 0x80FFFFFF);
        MergeFrame f;
        f.pixels = read(&all);
        f.stats = dev->stats();
        return f;
    };
    setBlend(D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA);
    const MergeFrame merged = scene(true);
    const MergeFrame alone = scene(false);
    EXPECT_EQ(merged.pixels, alone.pixels);
    EXPECT_NE(merged.pixels[255], 0xFF000000u) << "the sprite beyond the top right was not drawn";
    EXPECT_EQ(merged.stats.flushes, 1u);
    EXPECT_EQ(merged.stats.drawCalls, 3u);
    EXPECT_EQ(alone.stats.drawCalls, 5u);
}

TEST_F(Merging, WritingOrDestroyingABatchedTextureFlushesFirst)
{
    auto red = texture(2, 2, D3DFMT_A8R8G8B8, std::vector<std::uint32_t>(4, 0xFFFF0000));
    auto blue = texture(2, 2, D3DFMT_A8R8G8B8, std::vector<std::uint32_t>(4, 0xFF0000FF));
    auto green = texture(2, 2, D3DFMT_A8R8G8B8, std::vector<std::uint32_t>(4, 0xFF00FF00));
    dev->resetStats();
    drawAt(red.get(), 0, 0);
    drawAt(blue.get(), 4, 0);
    D3DLOCKED_RECT l;
    ASSERT_EQ(green->LockRect(0, &l, nullptr, 0), D3D_OK);  // not in the batch: nothing flushed
    ASSERT_EQ(green->UnlockRect(0), D3D_OK);
    ASSERT_EQ(red->LockRect(0, &l, nullptr, D3DLOCK_READONLY), D3D_OK);
    ASSERT_EQ(red->UnlockRect(0), D3D_OK);
    EXPECT_EQ(dev->stats().flushes, 0u);
    fill(blue.get(), RECT{0, 0, 2, 2}, 0xFFFFFF00);
    EXPECT_EQ(dev->stats().flushes, 1u);
    drawAt(blue.get(), 8, 0);
    drawAt(red.get(), 12, 0);
    red.reset();  // the device still draws what was queued
    EXPECT_EQ(dev->stats().flushes, 2u);
    drawAt(green.get(), 16, 0);
    EXPECT_TRUE(near(pixel(0, 0), 0xFF0000, 0));
    EXPECT_TRUE(near(pixel(4, 0), 0x0000FF, 0));
    EXPECT_TRUE(near(pixel(8, 0), 0xFFFF00, 0));
    EXPECT_TRUE(near(pixel(12, 1), 0xFF0000, 0));
    EXPECT_TRUE(near(pixel(16, 1), 0x00FF00, 0));
}

using ReadBack = d3dtest::GlDeviceTest;

TEST_F(ReadBack, SavedBmpEqualsTheSurfaceOddWidthsToo)
{
    for (int w : {7, 8, 1}) {
        const int h = 5;
        GfxRef<GfxSurface> s;
        ASSERT_EQ(dev->CreateImageSurface(std::uint32_t(w), h, D3DFMT_A8R8G8B8, s.out()), D3D_OK);
        D3DLOCKED_RECT l;
        ASSERT_EQ(s->LockRect(&l, nullptr, 0), D3D_OK);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                encodePixel(D3DFMT_A8R8G8B8, 0xFF000000u | std::uint32_t(x * 30) << 16 | std::uint32_t(y * 50) << 8 | 7u,
                            static_cast<std::uint8_t*>(l.pBits) + y * l.Pitch + 4 * x);
        s->UnlockRect();
        const std::string path = test_env::home() + "/shot" + std::to_string(w) + ".bmp";
        ASSERT_EQ(D3DXSaveSurfaceToFileA(path.c_str(), D3DXIFF_BMP, s.get(), nullptr, nullptr), D3D_OK);
        const std::string bytes = test_env::readFile(path);
        int bw = 0, bh = 0, n = 0;
        unsigned char* rgb = stbi_load_from_memory(reinterpret_cast<const unsigned char*>(bytes.data()),
                                                   int(bytes.size()), &bw, &bh, &n, 3);
        ASSERT_TRUE(rgb);
        ASSERT_EQ(bw, w);
        ASSERT_EQ(bh, h);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const unsigned char* p = rgb + (y * w + x) * 3;
                EXPECT_EQ(p[0], x * 30);
                EXPECT_EQ(p[1], y * 50);
                EXPECT_EQ(p[2], 7);
            }
        stbi_image_free(rgb);
    }
}

TEST_F(ReadBack, SavedRectangleOfTheBackBuffer)
{
    dev->SetTexture(0, nullptr);
    quad(3, 2, 1, 1, 0xFF336699);
    GfxRef<GfxSurface> bb;
    ASSERT_EQ(dev->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, bb.out()), D3D_OK);
    const RECT r{3, 2, 6, 4};
    const std::string path = test_env::home() + "/part.bmp";
    ASSERT_EQ(D3DXSaveSurfaceToFileA(path.c_str(), D3DXIFF_BMP, bb.get(), nullptr, &r), D3D_OK);
    const std::string bytes = test_env::readFile(path);
    int bw = 0, bh = 0, n = 0;
    unsigned char* rgb =
        stbi_load_from_memory(reinterpret_cast<const unsigned char*>(bytes.data()), int(bytes.size()), &bw, &bh, &n, 3);
    ASSERT_TRUE(rgb);
    EXPECT_EQ(bw, 3);
    EXPECT_EQ(bh, 2);
    EXPECT_EQ(rgb[0], 0x33);
    EXPECT_EQ(rgb[1], 0x66);
    EXPECT_EQ(rgb[2], 0x99);
    EXPECT_EQ(rgb[3], 0);
    stbi_image_free(rgb);
    // The back buffer reads only.
    D3DLOCKED_RECT l;
    EXPECT_EQ(bb->LockRect(&l, nullptr, 0), D3DERR_INVALIDCALL);
}

} // namespace
