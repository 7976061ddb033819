#include <gtest/gtest.h>

#include <epoxy/gl.h>

#include <chrono>
#include <string>

#include "platform/system/clock.h"
#include "platform/system/frame_pacer.h"
#include "platform/system/window.h"

using namespace platform;

namespace {

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        WindowDesc d;
        d.title = "test";
        d.width = 64;
        d.height = 48;
        d.backBufferWidth = 32;
        d.backBufferHeight = 24;
        std::string error;
        window = Window::create(d, &error);
        ASSERT_TRUE(window) << error;
    }

    // Every pixel of a B,G,R,A image equals argb.
    static void expectUniform(const std::vector<std::uint8_t>& bgra, std::uint32_t argb)
    {
        ASSERT_FALSE(bgra.empty());
        const std::uint8_t want[4] = {std::uint8_t(argb), std::uint8_t(argb >> 8), std::uint8_t(argb >> 16),
                                      std::uint8_t(argb >> 24)};
        for (std::size_t i = 0; i < bgra.size(); i += 4)
            for (int c = 0; c < 4; ++c)
                ASSERT_EQ(bgra[i + c], want[c]) << "byte " << i + c;
    }

    std::unique_ptr<Window> window;
};

TEST_F(WindowTest, ClearReadsBackExactlyAndPresentKeepsTheFrame)
{
    std::vector<std::uint8_t> px;
    int w = 0, h = 0;
    window->clear(0x80336699);
    ASSERT_TRUE(window->readBackBuffer(px, w, h));
    EXPECT_EQ(w, 32);
    EXPECT_EQ(h, 24);
    ASSERT_EQ(px.size(), 32u * 24u * 4u);
    expectUniform(px, 0x80336699);

    window->present();
    window->clear(0xFF00FF01);
    ASSERT_TRUE(window->readPresented(px, w, h));
    expectUniform(px, 0x80336699);
    ASSERT_TRUE(window->readBackBuffer(px, w, h));
    expectUniform(px, 0xFF00FF01);
}

TEST_F(WindowTest, ReadsAreTopRowFirstAndClearIgnoresScissor)
{
    window->clear(0xFF0000FF);
    window->bindBackBuffer();
    // Upper half in GL coordinates is the top of the image.
    glEnable(GL_SCISSOR_TEST);
    glScissor(0, 12, 32, 12);
    glClearColor(1.f, 0.f, 0.f, 1.f);
    glClear(GL_COLOR_BUFFER_BIT);

    std::vector<std::uint8_t> px;
    int w = 0, h = 0;
    ASSERT_TRUE(window->readBackBuffer(px, w, h));
    EXPECT_EQ(px[2], 0xFF);                      // top-left red
    EXPECT_EQ(px[0], 0x00);
    EXPECT_EQ(px[(23 * 32) * 4 + 0], 0xFF);      // bottom-left blue
    EXPECT_EQ(px[(23 * 32) * 4 + 2], 0x00);

    window->clear(0xFF00FF00);
    EXPECT_TRUE(glIsEnabled(GL_SCISSOR_TEST));  // the caller's state survives
    ASSERT_TRUE(window->readBackBuffer(px, w, h));
    expectUniform(px, 0xFF00FF00);
    glDisable(GL_SCISSOR_TEST);
}

TEST_F(WindowTest, ResizeBackBufferResizesBothFrames)
{
    ASSERT_TRUE(window->resizeBackBuffer(100, 50));
    EXPECT_EQ(window->backBufferWidth(), 100);
    EXPECT_EQ(window->backBufferHeight(), 50);
    EXPECT_FALSE(window->resizeBackBuffer(0, 10));
    EXPECT_EQ(window->backBufferWidth(), 100);

    window->clear(0xFF102030);
    window->present();
    std::vector<std::uint8_t> px;
    int w = 0, h = 0;
    ASSERT_TRUE(window->readPresented(px, w, h));
    EXPECT_EQ(w, 100);
    EXPECT_EQ(h, 50);
    ASSERT_EQ(px.size(), 100u * 50u * 4u);
    expectUniform(px, 0xFF102030);
}

TEST_F(WindowTest, RegistryKeepsCreationOrder)
{
    WindowDesc d;
    d.width = d.backBufferWidth = 16;
    d.height = d.backBufferHeight = 16;
    auto second = Window::create(d);
    ASSERT_TRUE(second);
    ASSERT_EQ(windows().size(), 2u);
    EXPECT_EQ(windows()[0], window.get());
    EXPECT_EQ(windows()[1], second.get());
    EXPECT_NE(window->sdlId(), second->sdlId());

    // Each window keeps drawing into its own context.
    second->clear(0xFFAABBCC);
    window->clear(0xFF010203);
    std::vector<std::uint8_t> px;
    int w = 0, h = 0;
    ASSERT_TRUE(second->readBackBuffer(px, w, h));
    expectUniform(px, 0xFFAABBCC);

    second.reset();
    ASSERT_EQ(windows().size(), 1u);
    EXPECT_EQ(windows()[0], window.get());
}

TEST_F(WindowTest, StateFollowsWindowEventsAndRectReads)
{
    EXPECT_FALSE(window->isMinimized());
    EXPECT_FALSE(window->isFocusLost());
    ASSERT_TRUE(injectWindowEvent(window.get(), WindowStateEvent::Minimized));
    ASSERT_TRUE(injectWindowEvent(window.get(), WindowStateEvent::FocusLost));
    EXPECT_TRUE(window->isMinimized());
    EXPECT_TRUE(window->isFocusLost());
    ASSERT_TRUE(injectWindowEvent(window.get(), WindowStateEvent::Restored));
    ASSERT_TRUE(injectWindowEvent(window.get(), WindowStateEvent::FocusGained));
    EXPECT_FALSE(window->isMinimized());
    EXPECT_FALSE(window->isFocusLost());

    window->clear(0xFF000000);
    window->bindBackBuffer();
    glEnable(GL_SCISSOR_TEST);
    glScissor(3, 24 - 2 - 1, 1, 1);  // back-buffer pixel (3, 2)
    glClearColor(0.f, 1.f, 0.f, 1.f);
    glClear(GL_COLOR_BUFFER_BIT);
    glDisable(GL_SCISSOR_TEST);
    std::vector<std::uint8_t> px;
    ASSERT_TRUE(window->readBackBuffer(RECT{2, 2, 5, 3}, px));
    ASSERT_EQ(px.size(), 12u);
    EXPECT_EQ(px[1], 0x00);
    EXPECT_EQ(px[5], 0xFF);  // the middle one is green
    EXPECT_FALSE(window->readBackBuffer(RECT{30, 0, 33, 1}, px));

    // The presented frame scaled (filtered) as the window shows it.
    window->present();
    ASSERT_TRUE(window->readPresentedScaled(64, 48, px));
    ASSERT_EQ(px.size(), 64u * 48u * 4u);
    EXPECT_GT(px[(2 * 2 * 64 + 2 * 3) * 4 + 1], 0x80);
    EXPECT_EQ(px[(2 * 2 * 64 + 2 * 8) * 4 + 1], 0x00);
}

TEST_F(WindowTest, PresentMappingStretchesWindowedAndLetterboxesFullScreen)
{
    float sx = 0, sy = 0, ox = 0, oy = 0;
    window->presentMapping(sx, sy, ox, oy);
    EXPECT_FLOAT_EQ(sx, 2.0f);  // 32 x 24 into 64 x 48
    EXPECT_FLOAT_EQ(sy, 2.0f);
    EXPECT_FLOAT_EQ(ox, 0.0f);
    ASSERT_TRUE(window->resizeBackBuffer(32, 32));
    window->presentMapping(sx, sy, ox, oy);
    EXPECT_FLOAT_EQ(sx, 2.0f);
    EXPECT_FLOAT_EQ(sy, 1.5f);
    window->setFullscreen(true);
    int cw = 0, ch = 0;
    window->clientSize(cw, ch);
    window->presentMapping(sx, sy, ox, oy);
    EXPECT_FLOAT_EQ(sx, sy);
    EXPECT_NEAR(32 * sx + 2 * ox, float(cw), 1.0f);
    EXPECT_NEAR(32 * sy + 2 * oy, float(ch), 1.0f);
    window->present();
    window->setFullscreen(false);
}

TEST_F(WindowTest, HeadlessHasNoDisplayOrFocus)
{
    EXPECT_FALSE(hasDisplay());
    EXPECT_FALSE(window->hasFocus());
    window->setCursor(IDC_HAND);
    EXPECT_EQ(window->cursor(), IDC_HAND);
    window->setCursor(0);
    EXPECT_EQ(window->cursor(), 0u);
    RECT area = workArea();
    EXPECT_GT(area.right - area.left, 0);
    EXPECT_GT(area.bottom - area.top, 0);
}

TEST_F(WindowTest, WithoutAScreenAreasAloneAreNotSupportedAndTheWholeFrameIsPresented)
{
    EXPECT_FALSE(window->presentsInPart());
    window->clear(0xFF112233);
    window->present();
    window->clear(0xFF445566);
    const std::vector<RECT> changed{RECT{0, 0, 4, 4}};
    window->present(true, &changed);
    std::vector<std::uint8_t> px;
    int w = 0, h = 0;
    ASSERT_TRUE(window->readPresented(px, w, h));
    expectUniform(px, 0xFF445566);
    EXPECT_EQ(window->partialPresents(), 0u);
}

TEST_F(WindowTest, OffscreenPresentsArePacedToTheRefreshRateWithVsyncOrWithout)
{
    // Presents that fit in half a second: the offscreen display reports no
    // refresh rate, so 60 a second, as a real blank would; a player's
    // setting without vsync shows no more frames than the display can.
    auto presentsIn = [&](std::chrono::milliseconds span) {
        int count = 0;
        const auto end = std::chrono::steady_clock::now() + span;
        while (std::chrono::steady_clock::now() < end) {
            window->present();
            ++count;
        }
        return count;
    };
    for (const bool vsync : {true, false, true}) {
        window->setSwapInterval(vsync);
        const int paced = presentsIn(std::chrono::milliseconds(500));
        EXPECT_GE(paced, 15) << "vsync " << vsync;
        EXPECT_LE(paced, 32) << "vsync " << vsync;
    }
    // Undrawn frames too.
    window->setSwapInterval(false);
    int undrawn = 0;
    for (const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(500);
         std::chrono::steady_clock::now() < end; ++undrawn)
        window->presentNothing();
    EXPECT_LE(undrawn, 32);

    // With a test's clock in place the stand-in blank waits for nothing.
    platform::ManualClock manual;
    platform::setClock(&manual);
    window->setSwapInterval(true);
    const int underTestClock = presentsIn(std::chrono::milliseconds(500));
    platform::setClock(nullptr);
    window->setSwapInterval(false);
    EXPECT_GT(underTestClock, 60);
}

// A window of 32 x 24 pixels shown pixel for pixel, presenting through a
// stand-in window system: a display whose blanks come every `blank` on a
// clock the test moves, a swap that waits for the next one or not, and the
// window's size as the window system has it. What each present did is
// noted: S a swap, C a copy of the whole window, c copies of areas.
struct StandIn {
    class Clock final : public PaceClock {
    public:
        TimePoint now() override { return t; }
        void sleepUntil(TimePoint when) override
        {
            ++sleeps;
            t = std::max(t, when);
        }
        TimePoint t{std::chrono::seconds(100)};
        int sleeps = 0;
    } clock;
    std::chrono::nanoseconds blank{16683350};  // 59.94 Hz, reported as 60
    bool swapWaits = false;
    int width = 32, height = 24;
    std::string shown;
    std::unique_ptr<Window> window;

    StandIn()
    {
        WindowDesc d;
        d.width = d.backBufferWidth = 32;
        d.height = d.backBufferHeight = 24;
        window = Window::create(d);
        if (!window)
            return;
        PresentHooks hooks;
        hooks.swap = [this] {
            shown += 'S';
            if (swapWaits)
                clock.t = PaceClock::TimePoint((clock.t.time_since_epoch() / blank + 1) * blank);
        };
        hooks.copy = [this](int x, int y, int w, int h) {
            shown += x == 0 && y == 0 && w == width && h == height ? 'C' : 'c';
        };
        hooks.size = [this](int& w, int& h) {
            w = width;
            h = height;
            return true;
        };
        window->setPresentHooks(hooks);
        window->setPaceClock(&clock);
    }
    ~StandIn()
    {
        if (window)
            window->setPaceClock(nullptr);
    }

    // Frames drawn over the whole back buffer, said to change a corner.
    std::string frames(int count, std::uint32_t argb = 0xFF203040)
    {
        const std::size_t from = shown.size();
        const std::vector<RECT> corner{RECT{0, 0, 4, 4}};
        for (int i = 0; i < count; ++i) {
            window->clear(argb);
            clock.t += std::chrono::milliseconds(2);
            window->present(true, &corner);
        }
        return shown.substr(from);
    }
};

TEST(WindowPresents, ASwapThatWaitsForTheDisplayShowsEveryFrameAndKeepsItsBlanks)
{
    StandIn s;
    ASSERT_TRUE(s.window);
    s.swapWaits = true;
    s.window->setSwapInterval(true);
    s.frames(4);
    const int sleeps = s.clock.sleeps;
    std::vector<PaceClock::TimePoint> returns;
    for (int i = 0; i < 40; ++i) {
        EXPECT_EQ(s.frames(1), "S");
        returns.push_back(s.clock.t);
    }
    EXPECT_FALSE(s.window->drawsInPlace());
    EXPECT_EQ(s.window->partialPresents(), 0u);
    // Each frame shown at a blank of the display's own, never held for the
    // rate SDL reports.
    EXPECT_EQ(s.clock.sleeps, sleeps);
    for (std::size_t i = 1; i < returns.size(); ++i)
        EXPECT_EQ(returns[i] - returns[i - 1], s.blank);
}

TEST(WindowPresents, WhereTheSwapDoesNotWaitFramesAreCopiedFromTheWindowsOwnBuffer)
{
    StandIn s;
    ASSERT_TRUE(s.window);
    // With vsync, swaps until they show they do not wait; then only the
    // changed areas.
    s.window->setSwapInterval(true);
    EXPECT_EQ(s.frames(FramePacer::kTellingSwaps + 6), std::string(FramePacer::kTellingSwaps + 1, 'S') + "ccccc");
    EXPECT_TRUE(s.window->drawsInPlace());
    EXPECT_EQ(s.window->partialPresents(), 5u);
    std::vector<std::uint8_t> px;
    int w = 0, h = 0;
    s.window->clear(0xFF0A0B0C);
    s.window->present();
    ASSERT_TRUE(s.window->readPresented(px, w, h));
    EXPECT_EQ(px[0], 0x0C);
    EXPECT_EQ(px[2], 0x0A);

    // Without vsync nothing need be measured: a swap has the driver take
    // the window's size, and the whole window shows from its own buffer;
    // with nothing said to have changed, the whole window again.
    StandIn off;
    ASSERT_TRUE(off.window);
    off.window->setSwapInterval(false);
    EXPECT_EQ(off.frames(3), "SCc");
    off.window->present();
    EXPECT_EQ(off.shown, "SCcC");
}

TEST(WindowPresents, AResizeLeavesTheWindowsBufferAtOnceAndShowsWholeFramesUntilTheDriverHasTheSize)
{
    StandIn s;
    ASSERT_TRUE(s.window);
    s.window->setSwapInterval(false);
    s.frames(3, 0xFF112233);
    ASSERT_TRUE(s.window->drawsInPlace());

    // The window manager resized the window; SDL tells before anything draws.
    const std::uint32_t exposures = s.window->exposures();
    s.width = 48;
    s.height = 30;
    ASSERT_TRUE(injectWindowEvent(s.window.get(), WindowStateEvent::SizeChanged));
    EXPECT_FALSE(s.window->drawsInPlace());
    EXPECT_GT(s.window->exposures(), exposures);
    std::vector<std::uint8_t> px;
    int w = 0, h = 0;
    ASSERT_TRUE(s.window->readPresented(px, w, h));
    EXPECT_EQ(px[0], 0x33);

    // Shown whole at the window system's size (SDL still says 32 x 24), and
    // pointer positions mapped from that picture; areas alone only once a
    // swap has had the driver take the size.
    EXPECT_EQ(s.frames(3), "SSc");
    float sx = 0, sy = 0, ox = 0, oy = 0;
    s.window->presentMapping(sx, sy, ox, oy);
    EXPECT_FLOAT_EQ(sx, 1.5f);
    EXPECT_FLOAT_EQ(sy, 1.25f);

    // Back to the back buffer's size without SDL telling: a swap, then in place.
    s.width = 32;
    s.height = 24;
    EXPECT_EQ(s.frames(3), "SCc");
    EXPECT_TRUE(s.window->drawsInPlace());
}

} // namespace
