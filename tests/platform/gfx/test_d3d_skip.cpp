// Unchanged frames skipped on the GL device: each sequence of frames is
// played with the skipping on and again with every frame drawn whole, and
// every presented frame must be the same byte for byte; the counts say how
// much of each frame was drawn. The device also compares each frame it
// draws in part or leaves with a whole redraw of it (A2D_CHECK_FRAMES).
#include <cstring>
#include <functional>
#include <optional>
#include <string>

#include "platform/gfx/frame_record.h"
#include "support/test_env.h"
#include "test_d3d_fixture.h"

using platform::GfxDeviceStats;
using platform::GfxRef;
using platform::GfxTexture;

namespace {

using Picture = std::vector<std::uint8_t>;

class SkipPixels : public d3dtest::GlDeviceTest {
protected:
    void SetUp() override
    {
        // Read when the device is made; a run's own "abort" stays.
        if (!test_env::switchedOn("A2D_CHECK_FRAMES"))
            checks.emplace("A2D_CHECK_FRAMES", "1");
        GlDeviceTest::SetUp();
        // The fixture's frame is under way: end it.
        ASSERT_EQ(dev->EndScene(), D3D_OK);
        ASSERT_EQ(dev->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    }

    // Frame i: cleared whole to the clear colour, then draw(i).
    struct Played {
        std::vector<Picture> frames;
        GfxDeviceStats stats;
    };
    Played play(bool skip, int count, const std::function<void(int)>& draw, std::uint32_t clear = 0xFF000000)
    {
        dev->setSkipUnchangedFrames(skip);
        dev->resetStats();
        Played out;
        for (int i = 0; i < count; ++i) {
            EXPECT_EQ(dev->Clear(0, nullptr, D3DCLEAR_TARGET, clear, 1.0f, 0), D3D_OK);
            EXPECT_EQ(dev->BeginScene(), D3D_OK);
            dev->SetVertexShader(kFvfTLVertex);
            draw(i);
            EXPECT_EQ(dev->EndScene(), D3D_OK);
            EXPECT_EQ(dev->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
            out.frames.push_back(presented());
        }
        out.stats = dev->stats();
        // And the back buffer between frames.
        out.frames.push_back(Picture());
        for (std::uint32_t px : read())
            for (int shift : {0, 8, 16})
                out.frames.back().push_back(std::uint8_t(px >> shift));
        return out;
    }

    // Plays the frames skipping unchanged ones (after the fixture's black
    // frame), then again drawing each whole; the presented frames and the
    // back buffer after them must agree.
    GfxDeviceStats same(int count, const std::function<void(int)>& draw, std::uint32_t clear = 0xFF000000)
    {
        const Played skipped = play(true, count, draw, clear);
        const Played whole = play(false, count, draw, clear);
        EXPECT_EQ(whole.stats.framesWhole, std::uint64_t(count));
        if (!test_env::switchedOn("A2D_WHOLE_FRAMES")) {
            EXPECT_EQ(skipped.stats.framesChecked, skipped.stats.framesPartial + skipped.stats.framesSkipped);
        }
        EXPECT_EQ(skipped.stats.framesMismatched, 0u);
        for (int i = 0; i <= count; ++i)
            EXPECT_EQ(differing(whole.frames[std::size_t(i)], skipped.frames[std::size_t(i)]), 0u)
                << "pixels of " << (i < count ? "frame " : "the back buffer after frame ") << std::min(i, count - 1);
        frames = skipped.frames;
        return skipped.stats;
    }

    Picture presented()
    {
        Picture bgra;
        int w = 0, h = 0;
        EXPECT_TRUE(window->readPresented(bgra, w, h));
        return bgra;
    }

    // How many pixels of two pictures of the back buffer's size differ (all
    // when the sizes do).
    static std::size_t differing(const Picture& a, const Picture& b)
    {
        const std::size_t pixels = std::size_t(kWidth) * kHeight;
        if (a.size() != b.size() || a.size() % pixels != 0)
            return pixels;
        const std::size_t bytes = a.size() / pixels;
        std::size_t n = 0;
        for (std::size_t i = 0; i < a.size(); i += bytes)
            n += std::memcmp(&a[i], &b[i], bytes) != 0;
        return n;
    }

    static std::uint32_t at(const Picture& p, int x, int y)
    {
        const std::uint8_t* px = &p[(std::size_t(y) * kWidth + std::size_t(x)) * 4];
        return std::uint32_t(px[2]) << 16 | std::uint32_t(px[1]) << 8 | px[0];
    }

    void drawSprite(GfxTexture* t, float x, float y)
    {
        const D3DXVECTOR2 at{x, y};
        ASSERT_EQ(sprite->Draw(t, nullptr, nullptr, nullptr, 0.0f, &at, 0xFFFFFFFF), D3D_OK);
    }

    void setTexel(GfxTexture* t, int x, int y, std::uint32_t argb)
    {
        const RECT r{x, y, x + 1, y + 1};
        D3DLOCKED_RECT locked;
        ASSERT_EQ(t->LockRect(0, &locked, &r, 0), D3D_OK);
        platform::encodePixel(D3DFMT_A8R8G8B8, argb, static_cast<std::uint8_t*>(locked.pBits));
        t->UnlockRect(0);
    }

    // A 12 x 12 button picture: `inside`, with a one-texel rim of `rim`.
    GfxRef<GfxTexture> rimmed(std::uint32_t inside, std::uint32_t rim)
    {
        std::vector<std::uint32_t> px(144, inside);
        for (int i = 0; i < 144; ++i)
            if (i % 12 == 0 || i % 12 == 11 || i < 12 || i >= 132)
                px[std::size_t(i)] = rim;
        return texture(12, 12, D3DFMT_A8R8G8B8, px);
    }

    GfxRef<GfxTexture> checker(int size, std::uint32_t a, std::uint32_t b)
    {
        std::vector<std::uint32_t> px;
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x)
                px.push_back((x + y) % 2 ? a : b);
        return texture(size, size, D3DFMT_A8R8G8B8, px);
    }

    // How the skipping run drew its frames. With A2D_WHOLE_FRAMES the device
    // draws whole, and counts, those it would have drawn in part or left
    // (not as many: a frame it would have left is presented, so the next one
    // is compared with another).
    static void expectDrawn(const GfxDeviceStats& s, std::uint64_t whole, std::uint64_t partial,
                            std::uint64_t skipped)
    {
        if (test_env::switchedOn("A2D_WHOLE_FRAMES")) {
            EXPECT_EQ(s.framesWhole, whole + partial + skipped);
            EXPECT_EQ(s.framesForcedWhole > 0, partial + skipped > 0);
            return;
        }
        EXPECT_EQ(s.framesWhole, whole);
        EXPECT_EQ(s.framesPartial, partial);
        EXPECT_EQ(s.framesSkipped, skipped);
        EXPECT_EQ(s.framesForcedWhole, 0u);
    }

    std::vector<Picture> frames;
    std::optional<test_env::ScopedEnv> checks;
};

} // namespace

TEST_F(SkipPixels, TheSameFrameIsDrawnOnceAndAChangedTexelShowsOnScreen)
{
    makeSprite();
    auto tex = checker(8, 0xFFFF0000, 0xFF0000FF);
    setFilter(D3DTEXF_LINEAR);
    // A black frame first with skipping on: frames presented with it off
    // are not recorded, so neither target's frame would be known.
    play(true, 1, [](int) {});
    const GfxDeviceStats stats = same(6, [&](int i) {
        if (i == 0)
            setTexel(tex.get(), 3, 4, 0xFFFF0000);
        // One texel, between two frames that draw the same.
        if (i == 3)
            setTexel(tex.get(), 3, 4, 0xFF00FF00);
        drawSprite(tex.get(), 20, 10);
    });
    EXPECT_EQ(at(frames[2], 23, 14), 0xFF0000u);
    EXPECT_EQ(at(frames[3], 23, 14), 0x00FF00u);
    int differ = 0;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            differ += at(frames[2], x, y) != at(frames[3], x, y);
    EXPECT_EQ(differ, 1);
    // Frames 1, 2, 4 and 5 are the one on screen; frame 3 is drawn where
    // the texture lies.
    expectDrawn(stats, 1, 1, 4);
}

TEST_F(SkipPixels, AMovedSpriteOverABlendedBackgroundLeavesTheBackgroundBehind)
{
    makeSprite();
    // Background: a gradient with alpha, blended over the clear colour,
    // stretched (linearly filtered) to the whole back buffer.
    std::vector<std::uint32_t> grad;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            grad.push_back(std::uint32_t(0x40 + 8 * y) << 24 | std::uint32_t(16 * x) << 16 | std::uint32_t(12 * y) << 8 | 0x80);
    auto background = texture(16, 16, D3DFMT_A8R8G8B8, grad);
    // The sprite: opaque centre, half-transparent rim.
    std::vector<std::uint32_t> dot(36, 0x80FFFF00);
    for (int y = 1; y < 5; ++y)
        for (int x = 1; x < 5; ++x)
            dot[std::size_t(y) * 6 + x] = 0xFFFF00FF;
    auto small = texture(6, 6, D3DFMT_A8R8G8B8, dot);
    setBlend(D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA);
    setColorOp(D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_MODULATE);
    setFilter(D3DTEXF_LINEAR);
    const float xs[] = {10, 10, 13, 30, 30, 52, 10};
    const GfxDeviceStats stats = same(7, [&](int i) {
        const D3DXVECTOR2 scale{float(kWidth) / 16.0f, float(kHeight) / 16.0f};
        const D3DXVECTOR2 origin{0, 0};
        ASSERT_EQ(sprite->Draw(background.get(), nullptr, &scale, nullptr, 0.0f, &origin, 0xFFFFFFFF), D3D_OK);
        drawSprite(small.get(), xs[i], 20);
    });
    // Where it was, the background again (as in a frame where it never was);
    // where it is, the sprite.
    EXPECT_EQ(at(frames[3], 12, 22), at(frames[5], 12, 22));
    EXPECT_NE(at(frames[1], 12, 22), at(frames[3], 12, 22));
    EXPECT_EQ(at(frames[3], 32, 22), 0xFF00FFu);
    EXPECT_EQ(at(frames[6], 12, 22), at(frames[0], 12, 22));
    // Frame 2 is compared with the black frame the back target holds: whole.
    expectDrawn(stats, 2, 3, 2);
}

TEST_F(SkipPixels, WhatAnOpaqueDrawHidesIsNotDrawnAgainAndWhatShowsThroughIs)
{
    makeSprite();
    setBlend(D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA);
    setColorOp(D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_MODULATE);
    setFilter(D3DTEXF_LINEAR);
    // An opaque stretched backdrop over the red clear; over it, under a
    // cover of alpha texels with a hole, a square that moves under the hole
    // and then away under the cover's opaque part.
    std::vector<std::uint32_t> wood;
    for (int i = 0; i < 64; ++i)
        wood.push_back(0x00403020u + std::uint32_t(i % 8) * 0x000A0A0Au);
    auto backdrop = texture(8, 8, D3DFMT_X8R8G8B8, wood);
    std::vector<std::uint32_t> holed(16 * 16, 0xFF2080F0);
    for (int y = 6; y < 10; ++y)
        for (int x = 6; x < 10; ++x)
            holed[std::size_t(y) * 16 + std::size_t(x)] = 0x00000000;
    auto cover = texture(16, 16, D3DFMT_A8R8G8B8, holed);
    auto square = texture(4, 4, D3DFMT_A8R8G8B8, std::vector<std::uint32_t>(16, 0xFFFFFF00));
    const float xs[] = {33, 34, 35, 44, 45, 34};
    const GfxDeviceStats stats = same(6, [&](int i) {
        const D3DXVECTOR2 whole{float(kWidth) / 8.0f, float(kHeight) / 8.0f}, twice{2.0f, 2.0f};
        const D3DXVECTOR2 origin{0, 0}, at{20, 14};
        ASSERT_EQ(sprite->Draw(backdrop.get(), nullptr, &whole, nullptr, 0.0f, &origin, 0xFFFFFFFF), D3D_OK);
        drawSprite(square.get(), xs[i], 28);
        ASSERT_EQ(sprite->Draw(cover.get(), nullptr, &twice, nullptr, 0.0f, &at, 0xFFFFFFFF), D3D_OK);
    }, 0xFFFF0000);
    // Through the hole, the square; beside it, the backdrop, never the clear.
    EXPECT_EQ(at(frames[1], 36, 30), 0xFFFF00u);
    EXPECT_NE(at(frames[3], 36, 30), 0xFFFF00u);
    EXPECT_NE(at(frames[3], 36, 30), 0xFF0000u);
    EXPECT_EQ(at(frames[5], 36, 30), 0xFFFF00u);
    expectDrawn(stats, 2, 4, 0);
}

TEST_F(SkipPixels, APartMostlyHiddenByALaterDrawIsDrawnAroundWhatItHides)
{
    makeSprite();
    setBlend(D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA);
    setColorOp(D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_MODULATE);
    setFilter(D3DTEXF_LINEAR);
    // A stretched opaque backdrop; over it a button drawn in nine parts from
    // a 12 x 12 picture with a clear rim, stretched to 44 x 32 pixels; over
    // that its highlight fading in and out. What changes is the highlight's
    // box, most of which the button hides.
    std::vector<std::uint32_t> wood, light(144, 0xFFFFF0C0);
    for (int i = 0; i < 64; ++i)
        wood.push_back(0x00403020u + std::uint32_t(i % 8) * 0x000A0A0Au);
    auto backdrop = texture(8, 8, D3DFMT_X8R8G8B8, wood);
    auto button = rimmed(0xFF2080F0, 0x002080F0);
    auto highlight = texture(12, 12, D3DFMT_A8R8G8B8, light);
    platform::SpritePart parts[9];
    const float place[2][3] = {{4, 8, 44}, {2, 6, 30}}, scale[2][3] = {{1, 9, 1}, {1, 6, 1}};
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 3; ++col)
            parts[row * 3 + col] = {RECT{4 * col, 4 * row, 4 * col + 4, 4 * row + 4},
                                    D3DXVECTOR2{scale[0][col], scale[1][row]}, D3DXVECTOR2{0, 0},
                                    D3DXVECTOR2{place[0][col], place[1][row]}};
    const std::uint32_t alphas[] = {0x40, 0x80, 0xC0, 0x80, 0x80, 0x20};
    const GfxDeviceStats stats = same(6, [&](int i) {
        const D3DXVECTOR2 whole{float(kWidth) / 8.0f, float(kHeight) / 8.0f}, origin{0, 0};
        ASSERT_EQ(sprite->Draw(backdrop.get(), nullptr, &whole, nullptr, 0.0f, &origin, 0xFFFFFFFF), D3D_OK);
        ASSERT_EQ(sprite->DrawRun(button.get(), parts, 9, 0.0f, 0xFFFFFFFF), D3D_OK);
        ASSERT_EQ(sprite->DrawRun(highlight.get(), parts, 9, 0.0f, alphas[i] << 24 | 0xFFFFFF), D3D_OK);
    });
    // Around the button, under its clear rim and inside it, the pictures
    // drawn in part were those drawn whole (same() compared them).
    EXPECT_NE(at(frames[2], 4, 2), at(frames[2], 6, 4));
    expectDrawn(stats, 2, 3, 1);
}

TEST_F(SkipPixels, AFlipSkipsOnlyOnceBothTargetsHoldTheFrame)
{
    params.SwapEffect = D3DSWAPEFFECT_FLIP;
    ASSERT_EQ(dev->Reset(&params), D3D_OK);
    dev->SetTexture(0, nullptr);
    // A, B, A, B, then B while the picture stays.
    const GfxDeviceStats stats = same(8, [&](int i) {
        dev->SetTexture(0, nullptr);
        quad(i % 2 == 0 && i < 4 ? 4.0f : 30.0f, 8, 6, 6, 0xFFFFFFFF);
        quad(50, 30, 4, 4, 0xFF00FF00);
    });
    expectDrawn(stats, 2, 3, 3);
}

TEST_F(SkipPixels, WhatCannotWaitDrawsTheHeldFrameAtOnce)
{
    makeSprite();
    auto tex = checker(4, 0xFFFF0000, 0xFFFF0000);
    auto gone = checker(4, 0xFF00FF00, 0xFF00FF00);
    const GfxDeviceStats stats = same(4, [&](int i) {
        if (i == 0)
            setTexel(tex.get(), 0, 0, 0xFFFF0000);
        drawSprite(tex.get(), 2, 2);
        if (i == 1) {
            // Written after the frame drew it: that draw keeps the old texel.
            setTexel(tex.get(), 0, 0, 0xFF0000FF);
            drawSprite(tex.get(), 10, 2);
        }
        if (i == 2) {
            // Released before the frame is presented.
            GfxRef<GfxTexture> last = checker(4, 0xFF00FF00, 0xFF00FF00);
            drawSprite(last.get(), 20, 2);
        }
        // Read back in the middle of the frame.
        if (i == 3) {
            EXPECT_TRUE(d3dtest::near(pixel(2, 2), 0x0000FF, 0));
        }
        drawSprite(gone.get(), 30, 2);
    });
    EXPECT_EQ(at(frames[1], 2, 2), 0xFF0000u);
    EXPECT_EQ(at(frames[1], 10, 2), 0x0000FFu);
    EXPECT_EQ(at(frames[2], 20, 2), 0x00FF00u);
    expectDrawn(stats, 4, 0, 0);
}

TEST_F(SkipPixels, AFrameThatDoesNotClearAllAddsToTheLastAsBefore)
{
    dev->SetTexture(0, nullptr);
    auto draw = [&](int i) {
        // Only the viewport is cleared: the rest keeps the frames before.
        D3DVIEWPORT8 vp{0, 0, 32, kHeight, 0.0f, 1.0f};
        dev->SetViewport(&vp);
        dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
        D3DVIEWPORT8 all{0, 0, kWidth, kHeight, 0.0f, 1.0f};
        dev->SetViewport(&all);
        quad(float(4 * i), 30, 3, 3, 0xFFFFFFFF);
    };
    // The fixture's clear is left out: the frame starts with the viewport's.
    auto playPartClears = [&](bool skip) {
        play(false, 1, [](int) {});
        dev->setSkipUnchangedFrames(skip);
        dev->resetStats();
        std::vector<Picture> out;
        for (int i = 0; i < 12; ++i) {
            EXPECT_EQ(dev->BeginScene(), D3D_OK);
            draw(i);
            EXPECT_EQ(dev->EndScene(), D3D_OK);
            EXPECT_EQ(dev->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
            out.push_back(presented());
        }
        return out;
    };
    const auto whole = playPartClears(false);
    const auto skipped = playPartClears(true);
    EXPECT_TRUE(whole == skipped);
    EXPECT_EQ(dev->stats().framesWhole, 12u);
    EXPECT_EQ(at(skipped.back(), 40, 30), 0xFFFFFFu);
}

TEST_F(SkipPixels, AScreenshotMakesTheNextFrameWhole)
{
    dev->SetTexture(0, nullptr);
    D3DDISPLAYMODE desktop;
    ASSERT_EQ(d3d->GetAdapterDisplayMode(0, &desktop), D3D_OK);
    GfxRef<platform::GfxSurface> front;
    ASSERT_EQ(dev->CreateImageSurface(desktop.Width, desktop.Height, D3DFMT_A8R8G8B8, front.out()), D3D_OK);
    const GfxDeviceStats stats = same(4, [&](int i) {
        quad(5, 5, 10, 10, 0xFFFF8000);
        if (i == 1) {
            EXPECT_EQ(dev->EndScene(), D3D_OK);
            EXPECT_EQ(dev->GetFrontBuffer(front.get()), D3D_OK);
            EXPECT_EQ(dev->BeginScene(), D3D_OK);
        }
    });
    expectDrawn(stats, 2, 0, 2);
}

// Textures of alternating red and blue texels, so that a pixel the linear
// filter drew is neither. A, of another size than T (textures of one size
// share an array texture, and so a program), scaled 1.5, sits at the left;
// T, scaled 3.5, moves a pixel a frame under eight sprites of T scaled 0.96
// to 1.04 and turned about their corner. A whole redraw batches A with T in
// a program of two textures, a partial one draws T alone in the one-texture
// program, as does a frame without merging. The turned sprites shrunk a little are where a level of
// detail measured per axis (as a driver's implicit one may be) magnifies
// while their true scale minifies: the filter each pixel gets must not
// depend on the batch.
TEST_F(SkipPixels, MixedFiltersGiveTheSamePixelsInEveryBatching)
{
    makeSprite();
    auto a = checker(12, 0xFFFF0000, 0xFF0000FF);
    auto t = checker(8, 0xFF0000FF, 0xFFFF0000);
    setBlend(D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA);
    auto draw = [&](int i) {
        const D3DXVECTOR2 scaled{1.5f, 1.5f}, left{1.0f, 14.0f};
        ASSERT_EQ(sprite->Draw(a.get(), nullptr, &scaled, nullptr, 0.0f, &left, 0xFFFFFFFF), D3D_OK);
        const D3DXVECTOR2 big{3.5f, 3.5f}, at{20.0f + float(i), 6.0f};
        ASSERT_EQ(sprite->Draw(t.get(), nullptr, &big, nullptr, 0.0f, &at, 0xFFFFFFFF), D3D_OK);
        for (int k = 0; k < 8; ++k) {
            const float s = 0.96f + 0.08f * float(k) / 7.0f;
            const D3DXVECTOR2 scale{s, s}, pos{22.0f + 4.0f * float(k), 8.0f + float(k % 3) * 7.0f};
            ASSERT_EQ(sprite->Draw(t.get(), nullptr, &scale, nullptr, 0.5f + 0.08f * float(k), &pos, 0xFFFFFFFF),
                      D3D_OK);
        }
    };
    const std::uint32_t pairs[2][2] = {{D3DTEXF_LINEAR, D3DTEXF_POINT}, {D3DTEXF_POINT, D3DTEXF_LINEAR}};
    for (const auto& pair : pairs) {
        SCOPED_TRACE(pair[0] == D3DTEXF_LINEAR ? "min linear, mag point" : "min point, mag linear");
        dev->SetTextureStageState(0, D3DTSS_MINFILTER, pair[0]);
        dev->SetTextureStageState(0, D3DTSS_MAGFILTER, pair[1]);
        dev->setTextureMerging(true);
        const GfxDeviceStats stats = same(6, draw);
        if (!test_env::switchedOn("A2D_WHOLE_FRAMES")) {
            EXPECT_GE(stats.framesPartial, 4u);
        }
        // Whole frames: one texture a draw gives the merged picture.
        const Played merged = play(false, 6, draw);
        dev->setTextureMerging(false);
        const Played alone = play(false, 6, draw);
        EXPECT_GT(merged.stats.mergedDraws, 0u) << "A and T were never drawn together";
        EXPECT_EQ(alone.stats.mergedDraws, 0u);
        for (int i = 0; i < 6; ++i)
            EXPECT_EQ(differing(alone.frames[std::size_t(i)], frames[std::size_t(i)]), 0u) << "unmerged frame " << i;
    }
    dev->setTextureMerging(true);
}

TEST_F(SkipPixels, AChangedAreaIsDrawnInOneDrawWhateverTheViewportsAndSizesAroundIt)
{
    makeSprite();
    setFilter(D3DTEXF_POINT);
    // A backdrop far larger than the back buffer, and over it, in a viewport
    // of its own holding every place it goes, a sprite of another size
    // (another texture array) that moves a little.
    auto backdrop = checker(16, 0xFF204060, 0xFF406080);
    auto small = checker(4, 0xFFFFFF00, 0xFFFF00FF);
    D3DVIEWPORT8 all;
    ASSERT_EQ(dev->GetViewport(&all), D3D_OK);
    D3DVIEWPORT8 left = all;
    left.Width = 40;
    const float xs[] = {10, 10, 12, 14, 14, 11};
    const GfxDeviceStats stats = same(6, [&](int i) {
        ASSERT_EQ(dev->SetViewport(&all), D3D_OK);
        const D3DXVECTOR2 scale{16.0f, 16.0f}, origin{-40.0f, -50.0f};
        ASSERT_EQ(sprite->Draw(backdrop.get(), nullptr, &scale, nullptr, 0.0f, &origin, 0xFFFFFFFF), D3D_OK);
        ASSERT_EQ(dev->SetViewport(&left), D3D_OK);
        drawSprite(small.get(), xs[i], 20);
        // The next frame's clear takes the viewport.
        ASSERT_EQ(dev->SetViewport(&all), D3D_OK);
    });
    EXPECT_EQ(at(frames[3], 15, 20), 0xFFFF00u);
    // Whole (and as checked): one draw per viewport. In part: one.
    EXPECT_EQ(stats.drawCalls, 2 * (stats.framesWhole + stats.framesChecked) + stats.framesPartial);
    // Frame 2 is compared with the black frame the back target holds: whole.
    expectDrawn(stats, 2, 2, 2);
}

TEST_F(SkipPixels, FramesAreRecordedOnlyWhileSkipping)
{
    dev->SetTexture(0, nullptr);
    auto draw = [&](int i) { quad(float(i), 4, 6, 6, 0xFFFFFFFF); };
    const Played off = play(false, 3, draw);
    EXPECT_EQ(off.stats.framesRecorded, 0u);
    EXPECT_EQ(off.stats.recordBytes, 0u);
    const Played on = play(true, 3, draw);
    EXPECT_EQ(on.stats.framesRecorded, 3u);
    EXPECT_GT(on.stats.recordBytes, 0u);
    // Off again: the records are let go at once.
    const Played offAgain = play(false, 1, draw);
    EXPECT_EQ(offAgain.stats.framesRecorded, 0u);
    EXPECT_EQ(offAgain.stats.recordBytes, 0u);
}

// A frame of more draws than a record holds is drawn whole, as it comes; the
// memory a large recorded frame took is let go once the frames are small.
TEST_F(SkipPixels, LargeFramesAreDrawnWholeAndTheirRecordsLetGo)
{
    makeSprite();
    auto dot = checker(2, 0xFFFF8000, 0xFF0080FF);
    const int recorded = 6000, tooMany = int(platform::FrameRecord::kMaxOps) + 100;
    const int sprites[] = {recorded, tooMany, 10, 10, 10, 10, 10, 10};
    std::vector<std::uint64_t> held;  // record bytes before each frame
    auto draw = [&](int i) {
        held.push_back(dev->stats().recordBytes);
        for (int k = 0; k < sprites[i]; ++k) {
            const D3DXVECTOR2 at{float(k * 7 % 62), float(k * 5 % 46)};
            const D3DCOLOR tint = 0xFF000000u | (std::uint32_t(k) * 2654435761u >> 8);
            ASSERT_EQ(sprite->Draw(dot.get(), nullptr, nullptr, nullptr, 0.0f, &at, tint), D3D_OK);
        }
    };
    const Played skipped = play(true, 8, draw);
    const std::vector<std::uint64_t> bytes(held.begin() + 1, held.end());
    const Played whole = play(false, 8, draw);
    for (int i = 0; i <= 8; ++i)
        EXPECT_TRUE(whole.frames[std::size_t(i)] == skipped.frames[std::size_t(i)]) << "frame " << i;
    // All but the frame of too many draws were recorded.
    EXPECT_EQ(skipped.stats.framesRecorded, 7u);
    if (test_env::switchedOn("A2D_WHOLE_FRAMES")) {
        EXPECT_GT(skipped.stats.framesForcedWhole, 0u);
    } else {
        EXPECT_GT(skipped.stats.framesSkipped, 0u);
    }
    EXPECT_GT(bytes[0], std::uint64_t(recorded) * sizeof(platform::FrameOp));
    // The frame too large to record added nothing.
    EXPECT_LE(bytes[1], bytes[0]);
    EXPECT_LT(skipped.stats.recordBytes, 64u * 1024u);
}

// A device made with both frame checks off, whatever the run's environment
// says, leaves frames as they were and draws them in part unchecked. Run
// with a check on, the test main must fail this test by itself
// (pixels_*_frames_fail_a_test_checking_nothing).
class UncheckedFrames : public d3dtest::GlDeviceTest {
protected:
    test_env::ScopedEnv noCheck{"A2D_CHECK_FRAMES", "0"};
    test_env::ScopedEnv noWhole{"A2D_WHOLE_FRAMES", "0"};
};

TEST_F(UncheckedFrames, AreLeftOrDrawnInPart)
{
    dev->setSkipUnchangedFrames(true);
    dev->SetTexture(0, nullptr);
    for (float x : {4.0f, 4.0f, 4.0f, 20.0f, 20.0f, 24.0f}) {
        EXPECT_EQ(dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0), D3D_OK);
        quad(x, 8, 6, 6, 0xFFFFFFFF);
        EXPECT_EQ(dev->EndScene(), D3D_OK);
        EXPECT_EQ(dev->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
        EXPECT_EQ(dev->BeginScene(), D3D_OK);
    }
    const GfxDeviceStats stats = dev->stats();
    EXPECT_GT(stats.framesSkipped, 0u);
    EXPECT_GT(stats.framesPartial, 0u);
    EXPECT_EQ(stats.framesChecked + stats.framesForcedWhole, 0u);
}

TEST_F(SkipPixels, WhatLiesUnderAFadingLightIsKeptAndNeverShownStale)
{
    makeSprite();
    setBlend(D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA);
    setColorOp(D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_MODULATE);
    setFilter(D3DTEXF_LINEAR);
    // A backdrop, a button with a clear rim stretched over it, and a light
    // fading over the button. Under the light the button changes twice
    // while the light keeps fading: its colour (frame 5), then a texel of
    // its picture (frame 9); the light stays still once (frame 12).
    auto backdrop = texture(8, 8, D3DFMT_X8R8G8B8, std::vector<std::uint32_t>(64, 0xFF403020));
    auto button = rimmed(0xFF2080F0, 0x402080F0);
    auto highlight = texture(12, 12, D3DFMT_A8R8G8B8, std::vector<std::uint32_t>(144, 0xFFFFF0C0));
    const D3DXVECTOR2 stretch{4.0f, 3.0f}, where{10.0f, 8.0f};
    const std::uint32_t alphas[] = {0x10, 0x30, 0x50, 0x70, 0x90, 0xB0, 0x90, 0x70, 0x50, 0x30, 0x20, 0x10, 0x10, 0x30};
    const int count = int(sizeof alphas / sizeof alphas[0]);
    const auto draw = [&](int i) {
        // Both runs start from the same picture.
        if (i == 0 || i == 9)
            setTexel(button.get(), 5, 5, i == 0 ? 0xFF2080F0 : 0xFF00FF00);
        const D3DXVECTOR2 whole{float(kWidth) / 8.0f, float(kHeight) / 8.0f}, origin{0, 0};
        ASSERT_EQ(sprite->Draw(backdrop.get(), nullptr, &whole, nullptr, 0.0f, &origin, 0xFFFFFFFF), D3D_OK);
        ASSERT_EQ(
            sprite->Draw(button.get(), nullptr, &stretch, nullptr, 0.0f, &where, i < 5 ? 0xFFFFFFFF : 0xFFC0C0FF),
            D3D_OK);
        ASSERT_EQ(
            sprite->Draw(highlight.get(), nullptr, &stretch, nullptr, 0.0f, &where, alphas[i] << 24 | 0xFFFFFF),
            D3D_OK);
    };
    const GfxDeviceStats stats = same(count, draw);
    // The texel written stands in the pictures, as drawn whole.
    EXPECT_NE(at(frames[8], 10 + 4 * 5 + 1, 8 + 3 * 5 + 1), at(frames[9], 10 + 4 * 5 + 1, 8 + 3 * 5 + 1));
    if (test_env::switchedOn("A2D_WHOLE_FRAMES"))
        return;
    // Frames 0 and 1 are drawn whole (the two targets take the first
    // frame). Kept once a second frame in part shows what stays under the
    // light (frame 3), and again each time the button changed: under its
    // new look at once (frames 5, 9), under the light a frame later (6,
    // 10). Drawn over what was kept in the other frames in part but the
    // first (2).
    EXPECT_EQ(stats.areasKept, 5u);
    EXPECT_EQ(stats.areasRestored, 7u);
    expectDrawn(stats, 2, std::uint64_t(count - 3), 1);
}
