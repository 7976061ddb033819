// The graphics server and aGDI on the GL device of a headless window:
// what reaches the pixels.
#include <cstring>
#include <optional>

#include "engine/gfx/a_gdi.h"
#include "platform/system/window.h"
#include "test_graph_server_fixture.h"

using gstest::GlServerTest;

TEST_F(GlServerTest, TheClearColourReadsBack)
{
    server->m_clearColor = 0xFF336699;
    ASSERT_TRUE(server->beginScene());
    EXPECT_EQ(pixel(0, 0), 0x336699u);
    EXPECT_EQ(pixel(kWidth - 1, kHeight - 1), 0x336699u);
    server->endScene();

    // Clear colour 0 leaves the last frame in place.
    server->m_clearColor = 0;
    ASSERT_TRUE(server->beginScene());
    EXPECT_EQ(pixel(10, 10), 0x336699u);
    server->endScene();
}

TEST_F(GlServerTest, TheFpsLineStaysInsideItsRectangle)
{
    server->m_showFps = true;
    server->m_fpsX = 3;
    server->m_fpsY = 4;
    ASSERT_TRUE(server->beginScene());
    server->endScene();
    const Pixels on = lit();
    EXPECT_GT(on.size(), 20u);
    for (const auto& [x, y] : on) {
        EXPECT_GE(x, 3);
        EXPECT_LT(x, 3 + 120);
        EXPECT_GE(y, 4);
        EXPECT_LT(y, 4 + 20);
    }
}

TEST_F(GlServerTest, AScreenshotEqualsThePresentedFrame)
{
    aGDI gdi;
    ASSERT_TRUE(server->beginScene());
    gdi.m_color = 0xFFFF8000;
    gdi.drawRect(5, 6, 20, 10, true);
    gdi.m_color = 0xFF00C0FF;
    gdi.drawEllipse(40, 30, 12, 9, true);
    server->endScene();

    const std::string folder = test_env::home() + "/shots/";
    server->saveScreenshot(folder, "S");
    const std::string bmp = test_env::readFile(folder + "S000.bmp");
    ASSERT_EQ(bmp.size(), 54u + std::size_t(kWidth) * 3 * kHeight);

    std::vector<std::uint8_t> frame;
    int w = 0, h = 0;
    ASSERT_TRUE(server->m_window->readPresented(frame, w, h));
    ASSERT_EQ(w, kWidth);
    ASSERT_EQ(h, kHeight);
    int differ = 0;
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            const std::size_t at = 54 + (std::size_t(kHeight - 1 - y) * kWidth + std::size_t(x)) * 3;
            const std::uint8_t* want = &frame[(std::size_t(y) * kWidth + std::size_t(x)) * 4];
            differ += std::memcmp(bmp.data() + at, want, 3) != 0;
        }
    }
    EXPECT_EQ(differ, 0);
    EXPECT_EQ(pixel(10, 10), 0xFF8000u);  // and it is what was drawn
}

TEST_F(GlServerTest, FlushEachFrameStillPresentsTheFrame)
{
    server->m_flushEachFrame = true;
    aGDI gdi;
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(server->beginScene());
        gdi.m_color = 0xFF000000u | std::uint32_t(0x40 * (i + 1));
        gdi.drawRect(0, 0, kWidth, kHeight, true);
        server->endScene();
    }
    std::vector<std::uint8_t> frame;
    int w = 0, h = 0;
    ASSERT_TRUE(server->m_window->readPresented(frame, w, h));
    EXPECT_EQ(frame[0], 0xC0);
}

TEST_F(GlServerTest, TheViewportClipsAFullScreenRectangle)
{
    aGDI gdi;
    ASSERT_TRUE(server->beginScene());
    server->setViewport(aRect(10, 8, 20, 15));
    gdi.drawRect(0, 0, kWidth, kHeight, true);
    EXPECT_EQ(lit(), box(10, 8, 20, 15));

    // Partly outside the back buffer: the inside part.
    server->setViewport(aRect(-5, -5, 10, 10));
    gdi.m_color = 0xFF00FF00;
    gdi.drawRect(0, 0, kWidth, kHeight, true);
    EXPECT_EQ(pixel(4, 4), 0x00FF00u);
    EXPECT_EQ(pixel(5, 5), 0u);
    server->endScene();

    // The next frame starts with the kept viewport.
    ASSERT_TRUE(server->beginScene());
    gdi.m_color = 0xFFFFFFFF;
    gdi.drawRect(0, 0, kWidth, kHeight, true);
    EXPECT_EQ(lit(), box(0, 0, 5, 5));
    server->endScene();
}

TEST_F(GlServerTest, RectanglePixels)
{
    aGDI gdi;
    ASSERT_TRUE(server->beginScene());
    gdi.drawRect(7, 9, 1, 1, true);
    EXPECT_EQ(lit(), box(7, 9, 1, 1));

    server->endScene();
    ASSERT_TRUE(server->beginScene());
    gdi.drawRect(5, 6, 10, 8, false);
    Pixels border = box(5, 6, 10, 8);
    for (const auto& p : box(6, 7, 8, 6))
        border.erase(p);
    EXPECT_EQ(lit(), border);
    server->endScene();
}

TEST_F(GlServerTest, BlendModesReachThePixels)
{
    server->m_clearColor = 0xFF202020;
    aGDI gdi;
    ASSERT_TRUE(server->beginScene());
    gdi.m_color = 0x00FF0000;  // alpha 0 under alpha blending
    gdi.drawRect(0, 0, 10, 10, true);
    EXPECT_EQ(pixel(5, 5), 0x202020u);

    server->setBlendMode(1);
    gdi.m_color = 0xFF404040;
    gdi.drawRect(10, 0, 10, 10, true);
    EXPECT_EQ(pixel(15, 5), 0x606060u);

    // Half alpha blends halfway.
    server->setBlendMode(0);
    gdi.m_color = 0x80E0E0E0;
    gdi.drawRect(20, 0, 10, 10, true);
    const std::uint32_t p = pixel(25, 5);
    EXPECT_NEAR(int(p & 0xFF), 0x80, 2);
    server->endScene();
}

TEST_F(GlServerTest, AFilledEllipseCoversItsCentreNotItsCorners)
{
    aGDI gdi;
    ASSERT_TRUE(server->beginScene());
    gdi.drawEllipse(32, 24, 15, 10, true);
    EXPECT_EQ(pixel(32, 24), 0xFFFFFFu);
    EXPECT_EQ(pixel(45, 24), 0xFFFFFFu);
    for (auto [x, y] : {std::pair{18, 15}, std::pair{46, 15}, std::pair{18, 33}, std::pair{46, 33}})
        EXPECT_EQ(pixel(x, y), 0u) << x << "," << y;

    // A ring of equal ellipses is empty.
    server->endScene();
    ASSERT_TRUE(server->beginScene());
    gdi.drawRing(32, 24, 10, 10, 32, 24, 10, 10);
    EXPECT_TRUE(lit().empty());
    server->endScene();
}

TEST_F(GlServerTest, ALostFullScreenDeviceRecoversThroughReset)
{
    server->setFullscreen(true);
    ASSERT_TRUE(server->m_window->isFullscreen());
    server->m_clearColor = 0xFF00FF00;
    ASSERT_TRUE(platform::injectWindowEvent(server->m_window, platform::WindowStateEvent::Minimized));
    EXPECT_FALSE(server->beginScene());
    EXPECT_EQ(logged("aGraphServer::beginScene() - D3DERR_DEVICELOST"), 1u);

    ASSERT_TRUE(platform::injectWindowEvent(server->m_window, platform::WindowStateEvent::Restored));
    EXPECT_FALSE(server->beginScene());
    EXPECT_EQ(logged("aGraphServer::beginScene() - D3DERR_DEVICENOTRESET"), 1u);
    EXPECT_NE(server->m_systemFont, nullptr);

    ASSERT_TRUE(server->beginScene());
    EXPECT_EQ(pixel(3, 3), 0x00FF00u);
    server->endScene();
    server->setFullscreen(false);
    EXPECT_FALSE(server->m_window->isFullscreen());
}

TEST_F(GlServerTest, UnchangedFramesAreLeftAsTheyWereUnlessTheOptionIsOff)
{
    aGDI gdi;
    auto frame = [&](int x) {
        ASSERT_TRUE(server->beginScene());
        gdi.m_color = 0xFFFF8000;
        gdi.drawRect(x, 6, 8, 8, true);
        server->endScene();
    };
    auto makeServer = [&] {
        server.reset();
        server = std::make_unique<aGraphServer>(kWidth, kHeight, false, true, nullptr, 0, false, false);
        server->m_clearColor = 0xFF000000;
    };
    // The device reads the comparison switch when it is made: off here,
    // whatever this run set.
    std::optional<test_env::ScopedEnv> asUsual(std::in_place, "A2D_WHOLE_FRAMES", "0");
    makeServer();
    EXPECT_TRUE(server->m_skipUnchangedFrames);
    for (int x : {5, 5, 5, 9})
        frame(x);
    const platform::GfxDeviceStats usual = server->m_device->stats();
    EXPECT_EQ(usual.framesSkipped, 2u);
    EXPECT_EQ(usual.framesWhole + usual.framesPartial, 2u);
    EXPECT_EQ(pixel(6, 8), 0u);
    EXPECT_EQ(pixel(14, 8), 0xFF8000u);

    server->m_skipUnchangedFrames = false;
    server->m_device->resetStats();
    frame(9);
    frame(9);
    EXPECT_EQ(server->m_device->stats().framesWhole, 2u);
    // The counts reach the log when the server goes.
    server.reset();
    EXPECT_EQ(logged("aGraphServer. Frames drawn whole 2, in part 0, not at all 0"), 1u);
    asUsual.reset();

    // For comparisons: the same frames, each drawn whole, and those drawn
    // whole only for the comparison counted.
    test_env::ScopedEnv whole("A2D_WHOLE_FRAMES", "1");
    makeServer();
    EXPECT_TRUE(server->m_skipUnchangedFrames);
    for (int x : {5, 5, 5, 9})
        frame(x);
    const platform::GfxDeviceStats compared = server->m_device->stats();
    EXPECT_EQ(compared.framesWhole, 4u);
    // Frames 2 and 3 would be left as they were; frame 4 would be drawn in
    // part over frame 3, which the back target holds since frame 3 was
    // presented.
    EXPECT_EQ(compared.framesForcedWhole, 3u);
    EXPECT_EQ(pixel(14, 8), 0xFF8000u);
    server.reset();
    EXPECT_EQ(logged("aGraphServer. Frames drawn whole 4, in part 0, not at all 0"), 1u);
    EXPECT_EQ(logged("aGraphServer. Frames compared with a whole redraw 0 (differing 0), drawn whole for "
                     "comparison " +
                     std::to_string(compared.framesForcedWhole)),
              1u);
}
