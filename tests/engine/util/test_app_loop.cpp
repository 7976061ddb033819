// The message loop: pacing under an injected clock, update and render
// results, pause, Alt+Enter, Print Screen, loading threads and the window
// procedure fed by scripted events.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "engine/gfx/a_graph_server.h"
#include "engine/util/a_application.h"
#include "engine/util/a_input_server.h"
#include "engine/util/a_log.h"
#include "platform/system/clock.h"
#include "platform/system/events.h"
#include "platform/input/event_inject.h"
#include "platform/input/keyboard.h"
#include "platform/system/window.h"
#include "support/test_env.h"

using platform::ManualClock;

namespace {

class LoopApp : public aApplication {
public:
    int update() override
    {
        ++updates;
        calls.push_back("update");
        return onUpdate ? onUpdate(updates) : (updates >= maxUpdates ? -1 : 0);
    }
    int render() override
    {
        ++renders;
        calls.push_back("render");
        if (m_graphServer && m_graphServer->beginScene())
            m_graphServer->endScene();
        return onRender ? onRender(renders) : 0;
    }
    void onActivate() override
    {
        calls.push_back("activate");
        aApplication::onActivate();
    }
    void onDeactivate() override
    {
        calls.push_back("deactivate");
        aApplication::onDeactivate();
    }
    void onDisplayModeChanged() override { calls.push_back("mode"); }
    int messageBox(const std::string& text, bool) override
    {
        boxes.push_back(text);
        return IDOK;
    }

    std::function<int(int)> onUpdate;
    std::function<int(int)> onRender;
    int updates = 0;
    int renders = 0;
    int maxUpdates = 5;
    std::vector<std::string> calls;
    std::vector<std::string> boxes;
};

class LoopTest : public testing::Test {
protected:
    void SetUp() override
    {
        platform::setClock(&clock);
        platform::setKeyboard(&keys);
        platform::messageQueue().reset();
        platform::messageQueue().setSource(&events);
        ASSERT_EQ(app.init("LoopTest", nullptr, "", ""), 0);
        graph = new aGraphServer(320, 240, false, true, nullptr, 0, true, false);
    }
    void TearDown() override
    {
        delete app.m_inputServer;
        delete graph;
        app.shutdown();
        platform::messageQueue().setSource(nullptr);
        platform::messageQueue().reset();
        platform::setKeyboard(nullptr);
        platform::setClock(nullptr);
    }

    ManualClock clock;
    platform::ScriptedKeyboard keys;
    platform::ScriptedEventSource events;
    LoopApp app;
    aGraphServer* graph = nullptr;
};

} // namespace

TEST_F(LoopTest, WindowedVsyncPacesToTheRefreshRateOr100)
{
    for (std::uint32_t refresh : {0u, 1001u, 0x10000u}) {
        graph->m_desktopRefreshRate = refresh;
        app.updates = 0;
        clock.sleepCount = 0;
        clock.sleptMs = 0;
        platform::messageQueue().reset();
        EXPECT_EQ(app.run(), 0);
        EXPECT_EQ(app.updates, 5);
        // Frames take no time of their own: each sleeps a whole 1/100 s,
        // but the first, which has no earlier frame to be paced against.
        EXPECT_EQ(clock.sleepCount, 4u) << refresh;
        EXPECT_EQ(clock.sleptMs, 40u) << refresh;
    }
    graph->m_desktopRefreshRate = 50;
    clock.sleptMs = 0;
    platform::messageQueue().reset();
    app.updates = 0;
    app.run();
    EXPECT_EQ(clock.sleptMs, 80u);
}

TEST_F(LoopTest, FullScreenOrNoVsyncIsNotPacedAndLongFramesDoNotSleep)
{
    graph->m_vsync = false;
    app.run();
    EXPECT_EQ(clock.sleepCount, 0u);

    graph->m_vsync = true;
    graph->m_fullscreen = true;
    platform::messageQueue().reset();
    app.updates = 0;
    app.run();
    EXPECT_EQ(clock.sleepCount, 0u);
    graph->m_fullscreen = false;

    // Each frame already takes 15 ms, longer than 1/100 s.
    platform::messageQueue().reset();
    app.updates = 0;
    app.onUpdate = [&](int n) {
        clock.advanceMs(15);
        return n >= 5 ? -1 : 0;
    };
    app.run();
    EXPECT_EQ(clock.sleepCount, 0u);
}

namespace {
std::atomic<bool> g_releaseThread{false};
std::uint32_t waitingRoutine(void* code)
{
    while (!g_releaseThread.load())
        std::this_thread::yield();
    return std::uint32_t(reinterpret_cast<std::uintptr_t>(code));
}
} // namespace

TEST_F(LoopTest, LoadingThreadCapsFramesAt30)
{
    graph->m_fullscreen = true;  // no refresh pacing, only the loading cap
    g_releaseThread = false;
    app.startLoadingThread(&waitingRoutine, nullptr);
    app.onUpdate = [&](int n) {
        if (n == 3)
            g_releaseThread = true;
        if (n == 3) {
            // Wait for the thread so the next pass sees it finished.
            while (!app.m_loadingThread->finished())
                std::this_thread::yield();
        }
        return n >= 6 ? -1 : 0;
    };
    app.run();
    // Passes 1-3 ran while the thread was loading (the first is shown at
    // once); pass 4 found it done.
    EXPECT_EQ(clock.sleepCount, 2u);
    EXPECT_EQ(clock.lastSleepMs, 33u);
    EXPECT_FALSE(app.m_loadingThread);
    EXPECT_TRUE(app.boxes.empty());
}

namespace {
std::uint32_t exitWith(void* code) { return std::uint32_t(reinterpret_cast<std::uintptr_t>(code)); }
} // namespace

TEST_F(LoopTest, LoadingThreadExitCodes)
{
    for (std::uintptr_t code : {std::uintptr_t(0), std::uintptr_t(1), std::uintptr_t(259)}) {
        platform::messageQueue().reset();
        app.boxes.clear();
        app.startLoadingThread(&exitWith, reinterpret_cast<void*>(code));
        while (!app.m_loadingThread->finished())
            std::this_thread::yield();
        EXPECT_TRUE(app.checkLoadingThread());
        EXPECT_FALSE(app.m_loadingThread);
        if (code == 0) {
            EXPECT_TRUE(app.boxes.empty());
            EXPECT_FALSE(platform::messageQueue().quitPosted());
        } else {
            ASSERT_EQ(app.boxes.size(), 1u) << code;
            EXPECT_EQ(app.boxes[0], "Could not load required media.");
            EXPECT_TRUE(platform::messageQueue().quitPosted()) << code;
        }
    }
}

TEST_F(LoopTest, SecondLoadingThreadIsRefused)
{
    g_releaseThread = false;
    app.startLoadingThread(&waitingRoutine, reinterpret_cast<void*>(7));
    platform::LoadingThread* first = app.m_loadingThread.get();
    app.startLoadingThread(&exitWith, nullptr);
    EXPECT_EQ(app.m_loadingThread.get(), first);
    EXPECT_FALSE(app.checkLoadingThread());
    g_releaseThread = true;
    while (!first->finished())
        std::this_thread::yield();
    EXPECT_TRUE(app.checkLoadingThread());
    app.shutdown();
    const std::string log = test_env::readFile(test_env::dataHome() + "LoopTest/a2d.log");
    EXPECT_NE(log.find("Error: thread for loading already created!"), std::string::npos);
    EXPECT_EQ(app.boxes.size(), 1u);  // the first thread's exit code 7
}

TEST_F(LoopTest, UpdateResultsSteerRender)
{
    // 1 skips render in its pass; 0 renders; -1 ends the loop with exit code 0.
    app.onUpdate = [](int n) { return n == 1 ? 1 : (n == 2 ? 0 : -1); };
    EXPECT_EQ(app.run(), 0);
    EXPECT_EQ(app.calls, (std::vector<std::string>{"update", "update", "render", "update"}));
    EXPECT_FALSE(app.m_running);
}

TEST_F(LoopTest, NegativeRenderClosesTheWindow)
{
    app.onRender = [](int) { return -1; };
    EXPECT_EQ(app.run(), 0);
    EXPECT_EQ(app.updates, 1);
    EXPECT_EQ(app.renders, 1);
}

TEST_F(LoopTest, PauseSkipsUpdateAndRendersOnlyAfterAZeroResult)
{
    int passes = 0;
    app.setPause(true);
    app.onRender = [&](int n) {
        if (++passes == 3)
            app.setPause(false);
        return n >= 10 ? -1 : 0;
    };
    app.maxUpdates = 2;
    app.run();
    // Three paused passes render without update, then two updates end it.
    EXPECT_EQ(app.calls, (std::vector<std::string>{"render", "render", "render", "update", "render", "update"}));

    // A positive result keeps render away while paused: later passes call
    // neither update nor render. The keyboard read ends the loop.
    struct QuitAfter : platform::KeyboardSource {
        int reads = 0;
        platform::InputResult read(platform::KeyFrame& out) override
        {
            out.fill(0);
            if (++reads == 5)
                platform::postQuitMessage(0);
            return platform::InputResult::Ok;
        }
    } quitter;
    platform::setKeyboard(&quitter);
    new aInputServer();
    platform::messageQueue().reset();
    app.calls.clear();
    app.onUpdate = [&](int) {
        app.setPause(true);
        return 1;
    };
    app.run();
    platform::setKeyboard(&keys);
    EXPECT_EQ(app.calls, (std::vector<std::string>{"update"}));
    EXPECT_EQ(quitter.reads, 5);
}

TEST_F(LoopTest, AltEnterSwitchesFullScreenInsteadOfUpdate)
{
    new aInputServer();
    keys.pushKeys({});
    keys.pushKeys({platform::DIK_LMENU});
    keys.pushKeys({platform::DIK_LMENU, platform::DIK_RETURN});
    keys.pushKeys({platform::DIK_LMENU, platform::DIK_RETURN});  // held: no second switch
    keys.pushKeys({});
    keys.pushKeys({platform::DIK_RMENU, platform::DIK_RETURN});
    app.maxUpdates = 5;
    app.run();
    EXPECT_EQ(app.calls,
              (std::vector<std::string>{"update", "render", "update", "render", "mode", "render", "update", "render",
                                        "update", "render", "mode", "render", "update"}));
    EXPECT_FALSE(graph->m_fullscreen);  // switched twice
}

// Alt+Enter through the real event path: SDL key events pushed into SDL's
// queue, split over frames as a quick press often is. Every press switches:
// Alt let go before the frame is read, and Enter pressed again in the very
// next frame, once lost the switch.
TEST_F(LoopTest, EveryAltEnterThroughSdlSwitches)
{
    platform::messageQueue().setSource(nullptr);
    platform::setKeyboard(nullptr);
    (new aInputServer())->update();  // starts watching SDL's events
    HWND w = app.m_window;
    using platform::DIK_LMENU;
    using platform::DIK_RETURN;
    // A frame's events: key, down, Alt held.
    struct Key {
        std::uint8_t key;
        bool down;
        bool alt;
    };
    using Frame = std::vector<Key>;
    const std::vector<std::vector<Frame>> presses = {
        // All within one frame.
        {{{DIK_LMENU, true, false}, {DIK_RETURN, true, true}, {DIK_RETURN, false, true}, {DIK_LMENU, false, true}}},
        // Alt in one frame; Enter, and Alt let go, in the next.
        {{{DIK_LMENU, true, false}},
         {{DIK_RETURN, true, true}, {DIK_RETURN, false, true}, {DIK_LMENU, false, true}}},
        // Enter let go in the frame after.
        {{{DIK_LMENU, true, false}, {DIK_RETURN, true, true}},
         {{DIK_RETURN, false, true}, {DIK_LMENU, false, true}}},
        // Alt held, Enter twice in two frames in a row: two switches.
        {{{DIK_LMENU, true, false}, {DIK_RETURN, true, true}, {DIK_RETURN, false, true}},
         {{DIK_RETURN, true, true}, {DIK_RETURN, false, true}, {DIK_LMENU, false, true}}},
    };
    std::vector<Frame> frames;
    int expected = 0;
    while (expected < 20) {
        for (const auto& press : presses) {
            frames.insert(frames.end(), press.begin(), press.end());
            frames.push_back({});  // a quiet frame between presses
            expected += press.size() == 2 && press[0].size() == 3 ? 2 : 1;
        }
    }
    ASSERT_TRUE(platform::injectFocus(w, true));
    std::size_t next = 0;
    // Render runs in every pass, the switching ones too: it queues the
    // events the next pass reads.
    app.onUpdate = [](int) { return 0; };
    app.onRender = [&](int) {
        if (next == frames.size()) {
            platform::postQuitMessage(0);
            return 0;
        }
        for (const Key& k : frames[next])
            EXPECT_TRUE(platform::injectKey(w, k.key, k.down, false, false, k.alt));
        ++next;
        return 0;
    };
    app.run();
    const auto modes = std::count(app.calls.begin(), app.calls.end(), std::string("mode"));
    EXPECT_EQ(modes, expected);
    EXPECT_EQ(graph->m_fullscreen, expected % 2 != 0);
}

namespace {

struct Bmp {
    std::string bytes;
    std::uint32_t u32(std::size_t at) const
    {
        std::uint32_t v = 0;
        std::memcpy(&v, bytes.data() + at, 4);
        return v;
    }
    std::uint16_t u16(std::size_t at) const
    {
        std::uint16_t v = 0;
        std::memcpy(&v, bytes.data() + at, 2);
        return v;
    }
};

} // namespace

TEST_F(LoopTest, PrintScreenSavesNumberedBitmapsOfThePresentedFrame)
{
    graph->m_clearColor = 0xFF336699;
    new aInputServer();
    keys.pushKeys({});
    keys.pushKeys({platform::DIK_SYSRQ});
    keys.pushKeys({platform::DIK_SYSRQ});
    keys.pushKeys({});
    keys.pushKeys({platform::DIK_SYSRQ});
    app.maxUpdates = 6;
    app.run();

    const std::string folder = test_env::dataHome() + "LoopTest/ScreenShots/";
    ASSERT_TRUE(test_env::exists(folder + "ScreenShot000.bmp"));
    ASSERT_TRUE(test_env::exists(folder + "ScreenShot001.bmp"));
    EXPECT_FALSE(test_env::exists(folder + "ScreenShot002.bmp"));

    Bmp bmp{test_env::readFile(folder + "ScreenShot001.bmp")};
    ASSERT_GE(bmp.bytes.size(), 54u);
    EXPECT_EQ(bmp.bytes.substr(0, 2), "BM");
    EXPECT_EQ(bmp.u32(2), bmp.bytes.size());
    EXPECT_EQ(bmp.u32(10), 54u);
    EXPECT_EQ(bmp.u32(18), 320u);
    EXPECT_EQ(bmp.u32(22), 240u);
    EXPECT_EQ(bmp.u16(28), 24u);
    EXPECT_EQ(bmp.bytes.size(), 54u + 320u * 3u * 240u);
    for (std::size_t at : {std::size_t(54), std::size_t(54 + 3 * 160 + 960 * 120), bmp.bytes.size() - 3}) {
        EXPECT_EQ(std::uint8_t(bmp.bytes[at]), 0x99);
        EXPECT_EQ(std::uint8_t(bmp.bytes[at + 1]), 0x66);
        EXPECT_EQ(std::uint8_t(bmp.bytes[at + 2]), 0x33);
    }
    app.shutdown();
    const std::string log = test_env::readFile(test_env::dataHome() + "LoopTest/a2d.log");
    EXPECT_NE(log.find("Screenshot saved: " + folder + "ScreenShot000.bmp"), std::string::npos);
}

TEST_F(LoopTest, ScriptedEventsReachTheWindowProcedure)
{
    HWND w = app.m_window;
    ASSERT_NE(w, nullptr);
    events.push(w, WM_ACTIVATEAPP, 0);
    events.push(w, WM_ACTIVATEAPP, 0);  // no change: nothing happens
    events.push(w, WM_ACTIVATEAPP, 1);
    events.push(w, WM_SIZE, SIZE_MAXIMIZED);
    events.push(w, WM_CLOSE);
    app.maxUpdates = 1000;
    EXPECT_EQ(app.run(), 0);
    // Deactivation pauses and renders once; while inactive the loop blocks
    // for messages and runs no frames.
    ASSERT_GE(app.calls.size(), 4u);
    EXPECT_EQ(app.calls[0], "deactivate");
    EXPECT_EQ(app.calls[1], "render");
    EXPECT_EQ(app.calls[2], "activate");
    EXPECT_EQ(app.calls[3], "mode");
    EXPECT_TRUE(graph->m_fullscreen);
    EXPECT_FALSE(app.m_paused);
    EXPECT_EQ(app.updates, 0);
}

TEST_F(LoopTest, WindowProcedureAnswers)
{
    HWND w = app.m_window;
    EXPECT_EQ(app.windowProc(w, WM_SYSCOMMAND, SC_KEYMENU, 0), 0);
    EXPECT_EQ(app.windowProc(w, WM_MOUSEMOVE, 0, 0), 0);
    EXPECT_EQ(app.windowProc(w, WM_ENTERSIZEMOVE, 0, 0), 0);
    EXPECT_TRUE(app.m_paused);
    EXPECT_EQ(app.windowProc(w, WM_EXITSIZEMOVE, 0, 0), 0);
    EXPECT_FALSE(app.m_paused);
    EXPECT_EQ(app.calls, (std::vector<std::string>{"deactivate", "render", "activate"}));

    // An exclusive mouse hides the system cursor.
    new aInputServer();
    app.m_inputServer->m_useSystemCursor = false;
    EXPECT_EQ(app.windowProc(w, WM_SETCURSOR, 0, 0), 1);
    EXPECT_EQ(w->cursor(), 0u);
    app.m_inputServer->m_useSystemCursor = true;

    // Without a graphics server the cursor counts as outside.
    aGraphServer* saved = app.m_graphServer;
    app.m_graphServer = nullptr;
    EXPECT_EQ(app.windowProc(w, WM_SETCURSOR, 0, 0), 0);
    app.m_graphServer = saved;

    EXPECT_EQ(app.windowProc(w, WM_CLOSE, 0, 0), 0);
    EXPECT_TRUE(platform::messageQueue().quitPosted());
}

TEST_F(LoopTest, KeyStatesFollowTheFourStateRule)
{
    aInputServer* input = new aInputServer();
    EXPECT_EQ(app.m_inputServer, input);
    keys.pushKeys({platform::DIK_A});
    keys.pushKeys({platform::DIK_A});
    keys.pushKeys({platform::DIK_A});
    keys.pushKeys({});
    keys.pushKeys({});
    std::vector<std::uint32_t> seen;
    std::vector<bool> any;
    for (int i = 0; i < 5; ++i) {
        input->update();
        seen.push_back(input->m_keys[platform::DIK_A]);
        any.push_back(input->isAnyKeyPressed());
    }
    EXPECT_EQ(seen, (std::vector<std::uint32_t>{2, 3, 3, 1, 0}));
    EXPECT_EQ(any, (std::vector<bool>{true, false, false, false, false}));

    // While the application is inactive the keyboard is not read.
    keys.pushKeys({platform::DIK_B});
    app.m_active = false;
    input->update();
    EXPECT_EQ(input->m_keys[platform::DIK_B], 0u);
    app.m_active = true;
    input->update();
    EXPECT_EQ(input->m_keys[platform::DIK_B], 2u);

    // A failing read counts as all keys up.
    keys.error = platform::InputResult::InputLost;
    input->update();
    EXPECT_EQ(input->m_keys[platform::DIK_B], 1u);
    keys.error = platform::InputResult::Ok;

    app.releaseInput();
    EXPECT_EQ(app.m_inputServer, nullptr);
}

TEST_F(LoopTest, FatalDisplayErrorInAFrameIsShownAndClosesTheWindow)
{
    app.onRender = [](int) -> int { throw aResultError(A2D_E_DRIVERINTERNAL); };
    EXPECT_EQ(app.run(), 0);
    ASSERT_EQ(app.boxes.size(), 1u);
    EXPECT_EQ(app.boxes[0], "A serious problem occurred with the display driver.\nPlease install latest drivers.");
    EXPECT_EQ(app.renders, 1);
}
