// Mouse half of the input server, cursor choice, recording and playback.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/gfx/a_graph_server.h"
#include "engine/gfx/a_sprite.h"
#include "engine/util/a_application.h"
#include "engine/util/a_input_server.h"
#include "engine/util/a_log.h"
#include "platform/system/clock.h"
#include "platform/input/event_inject.h"
#include "platform/system/events.h"
#include "platform/input/keyboard.h"
#include "platform/input/mouse.h"
#include "platform/system/window.h"
#include "support/test_env.h"

namespace {

class InputTest : public testing::Test {
protected:
    void SetUp() override
    {
        platform::setClock(&clock);
        platform::setKeyboard(&keys);
        platform::setMouse(&mouse);
        platform::messageQueue().reset();
        ASSERT_EQ(app.init("InputTest", nullptr, "", ""), 0);
        graph = new aGraphServer(320, 240, false, true, nullptr, 0, false, false);
        mouse.clientWidth = 320;
        mouse.clientHeight = 240;
        input = new aInputServer();
    }
    void TearDown() override
    {
        delete app.m_inputServer;
        delete graph;
        app.shutdown();
        platform::setMouse(nullptr);
        platform::setKeyboard(nullptr);
        platform::setClock(nullptr);
    }

    // One frame of 20 ms.
    void frame()
    {
        clock.advanceMs(20);
        input->update();
    }

    std::vector<std::uint32_t> leftStates(int frames)
    {
        std::vector<std::uint32_t> out;
        for (int i = 0; i < frames; ++i) {
            frame();
            out.push_back(input->m_mouseButtons[0]);
        }
        return out;
    }

    platform::ManualClock clock;
    platform::ScriptedKeyboard keys;
    platform::ScriptedMouse mouse;
    aApplication app;
    aGraphServer* graph = nullptr;
    aInputServer* input = nullptr;
};

int g_endCalls = 0;
void onPlaybackEnd() { ++g_endCalls; }

} // namespace

TEST_F(InputTest, ButtonsFollowTheFourStateRule)
{
    mouse.push(0, 10, 10);
    mouse.push(1, 10, 10);
    mouse.push(1, 10, 10);
    mouse.push(1, 10, 10);
    mouse.push(0, 10, 10);
    mouse.push(0, 10, 10);
    frame();
    EXPECT_FALSE(input->isAnyMouseButtonPressed());
    frame();
    EXPECT_TRUE(input->isAnyMouseButtonPressed());
    EXPECT_EQ(input->m_mouseButtons[0], 2u);
    EXPECT_EQ(leftStates(4), (std::vector<std::uint32_t>{3, 3, 1, 0}));

    mouse.push(2 | 4, 10, 10);
    frame();
    EXPECT_EQ(input->m_mouseButtons[1], 2u);
    EXPECT_EQ(input->m_mouseButtons[2], 2u);
    input->resetMouseButtons();
    EXPECT_EQ(input->m_mouseButtons[1], 0u);
    EXPECT_FALSE(input->isAnyMouseButtonPressed());
}

TEST_F(InputTest, OutsideTheGameAreaPressesAreNotSeenButReleasesAre)
{
    // The "inside" test uses the previous frame's cursor.
    mouse.push(0, -5, 10);
    mouse.push(1, -5, 10);
    mouse.push(1, -5, 10);
    mouse.push(0, -5, 10);
    frame();
    EXPECT_EQ(leftStates(3), (std::vector<std::uint32_t>{0, 0, 0}));

    // Pressed inside, dragged out and held: it settles at 3, released it reads 1.
    mouse.push(0, 10, 10);
    frame();
    mouse.push(1, 10, 10);
    mouse.push(1, 400, 10);
    mouse.push(1, 400, 10);
    mouse.push(1, 400, 10);
    mouse.push(0, 400, 10);
    mouse.push(0, 400, 10);
    EXPECT_EQ(leftStates(6), (std::vector<std::uint32_t>{2, 3, 3, 3, 1, 0}));

    // Released, then pressed again outside at once: no endless "released".
    mouse.push(0, 10, 10);
    frame();
    mouse.push(1, 10, 10);
    mouse.push(0, 400, 10);
    mouse.push(1, 400, 10);
    mouse.push(1, 400, 10);
    EXPECT_EQ(leftStates(4), (std::vector<std::uint32_t>{2, 1, 0, 0}));
}

TEST_F(InputTest, DoubleClicks)
{
    auto clickTwice = [&](int secondX, double gapMs) {
        mouse.push(0, 50, 50);
        frame();
        mouse.push(1, 50, 50);
        mouse.push(0, 50, 50);
        frame();
        frame();
        clock.advanceMs(gapMs);
        mouse.push(0, secondX, 50);  // a move shows in the frame after it
        frame();
        mouse.push(1, secondX, 50);
        mouse.push(0, secondX, 50);
        std::vector<int> flags;
        for (int i = 0; i < 3; ++i) {
            frame();
            flags.push_back(input->m_doubleClick[0].clicked);
        }
        for (int i = 0; i < 3; ++i)
            frame();  // let the tracker settle
        return flags;
    };
    EXPECT_EQ(clickTwice(50, 0), (std::vector<int>{1, 0, 0}));
    EXPECT_EQ(clickTwice(51, 0), (std::vector<int>{0, 0, 0}));
    EXPECT_EQ(clickTwice(50, 500), (std::vector<int>{0, 0, 0}));
}

TEST_F(InputTest, CursorIsScaledFromTheClientAreaAndWarpsBack)
{
    mouse.clientWidth = 160;
    mouse.clientHeight = 120;
    mouse.push(0, 10, 20);
    frame();
    std::int32_t x = 0, y = 0;
    input->getMousePos(x, y);
    EXPECT_EQ(x, 20);
    EXPECT_EQ(y, 40);

    input->setMousePos(100, 60);
    EXPECT_EQ(mouse.cursorX, 50);
    EXPECT_EQ(mouse.cursorY, 30);
    input->getMousePos(x, y);
    EXPECT_EQ(x, 100);

    // Minimised: no division by zero, the last position stays.
    mouse.minimised = true;
    mouse.push(0, 70, 70);
    frame();
    input->getMousePos(x, y);
    EXPECT_EQ(x, 100);
    EXPECT_EQ(y, 60);
    input->setMousePos(5, 5);
    EXPECT_EQ(mouse.warps, 1);
}

TEST_F(InputTest, ExtremeCursorValuesAreClampedNotOverflowed)
{
    constexpr int kBound = 1 << 30;
    // A window ten times the game's size: the warp target would pass int.
    mouse.clientWidth = 3200;
    mouse.clientHeight = 2400;
    input->setMousePos(INT32_MAX, INT32_MIN);
    EXPECT_EQ(mouse.cursorX, kBound);
    EXPECT_EQ(mouse.cursorY, -kBound);

    // A recording may hold any position; playback warps there the same way.
    std::vector<std::uint8_t> log;
    for (std::uint32_t v : {256u, 3u, 0u, 0u, 0u, 0x80000000u, 0x7FFFFFFFu})
        for (int b = 0; b < 4; ++b)
            log.push_back(std::uint8_t(v >> (8 * b)));
    input->startPlayback(log, nullptr);
    frame();
    std::int32_t x = 0, y = 0;
    input->getMousePos(x, y);
    EXPECT_EQ(x, INT32_MIN);
    EXPECT_EQ(y, INT32_MAX);
    EXPECT_EQ(mouse.cursorX, -kBound);
    EXPECT_EQ(mouse.cursorY, kBound);

    // A one-pixel client area maps a far-off pointer far beyond int.
    mouse.clientWidth = mouse.clientHeight = 1;
    mouse.push(0, INT32_MAX, INT32_MIN);
    frame();
    input->getMousePos(x, y);
    EXPECT_EQ(x, kBound);
    EXPECT_EQ(y, -kBound);
}

TEST_F(InputTest, PollFailuresNameTheirErrorAndLostDevicesAreTakenAgain)
{
    keys.error = platform::InputResult::NotAcquired;
    keys.acquireError = platform::InputResult::OtherAppHasPriority;
    mouse.error = platform::InputResult::Generic;
    frame();
    EXPECT_EQ(keys.acquires, 1);
    EXPECT_EQ(mouse.acquires, 0);  // not lost: nothing to take again
    keys.error = platform::InputResult::Ok;
    mouse.error = platform::InputResult::InputLost;
    frame();
    EXPECT_EQ(keys.acquires, 1);
    EXPECT_EQ(mouse.acquires, 1);

    std::vector<std::string> lines;
    for (const std::string& l : test_env::readLines(test_env::dataHome() + "InputTest/a2d.log"))
        if (l.find("aInputServer.") != std::string::npos)
            lines.push_back(l.substr(l.find('\t') + 1));
    EXPECT_EQ(lines, (std::vector<std::string>{"aInputServer. Keyboard GetDeviceState failed (DIERR_NOTACQUIRED)",
                                               "aInputServer. Keyboard Acquire failed (DIERR_OTHERAPPHASPRIO)",
                                               "aInputServer. Mouse GetDeviceState failed (DIERR_GENERIC)",
                                               "aInputServer. Mouse GetDeviceState failed (DIERR_INPUTLOST)"}));
}

TEST_F(InputTest, MotionAndWheel)
{
    mouse.push(0, 10, 10, 3, -4, platform::kWheelDelta);
    frame();
    EXPECT_EQ(input->m_lX, 3);
    EXPECT_EQ(input->m_lY, -4);
    EXPECT_EQ(input->m_lZ, 120);
    mouse.push(0, 10, 10, 0, 0, -platform::kWheelDelta);
    frame();
    EXPECT_EQ(input->m_lZ, -120);
    frame();
    EXPECT_EQ(input->m_lZ, 0);
}

TEST_F(InputTest, InactiveApplicationOrNoGraphicsServerSeesNoPresses)
{
    app.m_active = false;
    mouse.push(1, 10, 10);
    frame();
    EXPECT_EQ(input->m_mouseButtons[0], 0u);
    app.m_active = true;

    aGraphServer* saved = app.m_graphServer;
    app.m_graphServer = nullptr;
    mouse.push(1, 10, 10);
    frame();
    EXPECT_EQ(input->m_mouseButtons[0], 0u);
    app.m_graphServer = saved;
}

TEST_F(InputTest, CursorChoice)
{
    aAnim a, b;
    a.setFrameTime(0.5f);
    b.setFrameTime(0.25f);
    mouse.cursorX = 10;
    mouse.cursorY = 10;

    // The application gets its own running copy.
    input->setCursorAnim(&a, 3, 4);
    ASSERT_NE(app.m_cursorAnim, nullptr);
    EXPECT_NE(app.m_cursorAnim, &a);
    EXPECT_FLOAT_EQ(app.m_cursorAnim->getFrameTime(), 0.5f);
    EXPECT_FALSE(app.m_cursorAnim->isStopped());
    EXPECT_TRUE(a.isStopped());
    EXPECT_EQ(input->m_cursorHotX, 3);
    EXPECT_EQ(app.m_window->cursor(), 0u);  // the image cursor hides the system one

    // Only the hot spot changes: the image cursor stays.
    aAnim* copy = app.m_cursorAnim;
    input->setCursorAnim(&a, 7, 8);
    EXPECT_EQ(app.m_cursorAnim, copy);
    EXPECT_EQ(input->m_cursorHotX, 7);
    EXPECT_EQ(input->m_cursorHotY, 8);

    // Another animation is copied into the same object.
    input->setCursorAnim(&b, 0, 0);
    EXPECT_EQ(app.m_cursorAnim, copy);
    EXPECT_FLOAT_EQ(app.m_cursorAnim->getFrameTime(), 0.25f);
    input->setCursorAnim(nullptr, 0, 0);
    EXPECT_EQ(app.m_cursorAnim, nullptr);
    EXPECT_EQ(app.m_window->cursor(), IDC_ARROW);

    input->setCursorAnim(&a, 0, 0);
    input->setSystemCursor(IDC_HAND);
    EXPECT_EQ(app.m_cursorAnim, nullptr);
    EXPECT_EQ(app.m_systemCursor, IDC_HAND);
    EXPECT_EQ(app.m_window->cursor(), IDC_HAND);
    // After a system cursor, the same animation counts as new again.
    input->setCursorAnim(&a, 0, 0);
    EXPECT_NE(app.m_cursorAnim, nullptr);

    input->createMouse(false, false);
    EXPECT_FALSE(input->m_useSystemCursor);
    app.windowProc(app.m_window, WM_SETCURSOR, 0, 0);
    EXPECT_EQ(app.m_window->cursor(), 0u);
}

namespace {

struct FrameState {
    std::uint32_t a, space, left, right;
    std::int32_t x, y, lz;
    bool operator==(const FrameState& o) const
    {
        return a == o.a && space == o.space && left == o.left && right == o.right && x == o.x && y == o.y &&
               lz == o.lz;
    }
};

FrameState stateOf(const aInputServer& in)
{
    return FrameState{in.m_keys[platform::DIK_A], in.m_keys[platform::DIK_SPACE], in.m_mouseButtons[0],
                      in.m_mouseButtons[1], in.m_cursorX, in.m_cursorY, in.m_lZ};
}

} // namespace

TEST_F(InputTest, RecordSaveAndPlayBack)
{
    app.m_appPath = test_env::home() + "/";
    input->startRecording();
    std::vector<FrameState> recorded;
    const std::vector<std::vector<std::uint8_t>> keyFrames = {
        {}, {platform::DIK_A}, {platform::DIK_A, platform::DIK_SPACE}, {platform::DIK_SPACE}, {}, {}};
    int i = 0;
    for (const auto& k : keyFrames) {
        platform::KeyFrame raw{};
        for (std::uint8_t key : k)
            raw[key] = 0x80;
        keys.push(raw);
        mouse.push(i % 3 == 1 ? 1 : (i == 4 ? 2 : 0), 10 + i, 20 + 2 * i, 0, 0, i == 2 ? 120 : 0);
        frame();
        recorded.push_back(stateOf(*input));
        ++i;
    }
    input->saveInputLog("rec");
    EXPECT_EQ(input->m_logMode, INPUT_LOG_OFF);
    const std::string path = test_env::home() + "/rec000.input";
    ASSERT_TRUE(test_env::exists(path));

    // The file layout, by its first two frames: changed keys then 256,
    // changed buttons then 3, lX lY lZ, cursor x y; little-endian.
    std::string layout;
    auto u32 = [&](std::uint32_t v) {
        for (int b = 0; b < 4; ++b)
            layout += char((v >> (8 * b)) & 0xFF);
    };
    for (std::uint32_t v : {256u, 3u, 0u, 0u, 0u, 10u, 20u})
        u32(v);
    u32(platform::DIK_A);
    layout += '\x80';
    u32(256);
    u32(0);
    layout += '\x80';
    for (std::uint32_t v : {3u, 0u, 0u, 0u, 11u, 22u})
        u32(v);
    EXPECT_EQ(test_env::readFile(path).substr(0, layout.size()), layout);

    delete input;
    input = new aInputServer();
    g_endCalls = 0;
    ASSERT_TRUE(input->startPlayback(path, &onPlaybackEnd));
    std::vector<FrameState> played;
    for (std::size_t f = 0; f < recorded.size(); ++f) {
        frame();
        played.push_back(stateOf(*input));
    }
    EXPECT_EQ(played, recorded);
    EXPECT_EQ(input->m_logMode, INPUT_LOG_OFF);
    EXPECT_EQ(g_endCalls, 1);
    EXPECT_EQ(mouse.cursorX, 15);  // the cursor was moved to the recorded spot
    frame();
    EXPECT_EQ(g_endCalls, 1);

    // Numbering: with 000 and 001 present, 002 is next.
    test_env::writeFile(test_env::home() + "/rec001.input", "x");
    input->startRecording();
    frame();
    input->saveInputLog("rec");
    EXPECT_TRUE(test_env::exists(test_env::home() + "/rec002.input"));
}

TEST_F(InputTest, DamagedRecordingsStopCleanly)
{
    // One good frame: no keys, no buttons, motion, cursor.
    std::vector<std::uint8_t> good;
    auto u32 = [&](std::vector<std::uint8_t>& v, std::uint32_t x) {
        for (int b = 0; b < 4; ++b)
            v.push_back(std::uint8_t(x >> (8 * b)));
    };
    u32(good, 256);
    u32(good, 3);
    for (int n = 0; n < 5; ++n)
        u32(good, 0);

    for (std::size_t cut = 0; cut < good.size(); ++cut) {
        std::vector<std::uint8_t> log(good.begin(), good.begin() + long(cut));
        g_endCalls = 0;
        input->startPlayback(log, &onPlaybackEnd);
        for (int f = 0; f < 3; ++f)
            frame();
        EXPECT_EQ(input->m_logMode, INPUT_LOG_OFF) << cut;
        EXPECT_EQ(g_endCalls, 1) << cut;
    }

    std::vector<std::uint8_t> badKey;
    u32(badKey, 300);
    badKey.push_back(0x80);
    std::vector<std::uint8_t> badButton;
    u32(badButton, 256);
    u32(badButton, 7);
    badButton.push_back(0x80);
    // Typed characters: a control character, a surrogate, beyond Unicode,
    // a byte that is not 0.
    // A key-down record for key code 0, which would read as a typed NUL.
    std::vector<std::uint8_t> noKey;
    u32(noKey, aInputServer::kKeyPressRecord);
    noKey.push_back(0);
    std::vector<std::vector<std::uint8_t>> bad = {badKey, badButton, noKey};
    for (const auto& [c, byte] : std::vector<std::pair<std::uint32_t, std::uint8_t>>{
             {0x09, 0}, {0xD800, 0}, {0x110000, 0}, {'a', 1}}) {
        std::vector<std::uint8_t> log;
        u32(log, aInputServer::kTypedRecord + c);
        log.push_back(byte);
        bad.push_back(log);
    }
    for (const auto& log : bad) {
        g_endCalls = 0;
        input->startPlayback(log, &onPlaybackEnd);
        frame();
        EXPECT_TRUE(input->m_keyPresses.empty());
        frame();
        EXPECT_EQ(input->m_logMode, INPUT_LOG_OFF);
        EXPECT_EQ(g_endCalls, 1);
    }
    EXPECT_FALSE(input->startPlayback(test_env::home() + "/missing.input", &onPlaybackEnd));
}

TEST_F(InputTest, UnsavedRecordingIsSavedAsErrorOnDestruction)
{
    app.m_appPath = test_env::home() + "/";
    input->startRecording();
    frame();
    delete input;
    input = nullptr;
    EXPECT_TRUE(test_env::exists(test_env::home() + "/error000.input"));
    app.shutdown();
    const std::string log = test_env::readFile(test_env::dataHome() + "InputTest/a2d.log");
    EXPECT_NE(log.find("~aInputServer. Input log not saved. A error occured???"), std::string::npos);
}

TEST(InputWithoutApplication, ReadsEverythingUp)
{
    platform::ScriptedMouse mouse;
    platform::setMouse(&mouse);
    aInputServer input;
    mouse.push(1, 1, 1);
    input.update();
    EXPECT_EQ(input.m_mouseButtons[0], 0u);
    EXPECT_FALSE(input.m_hasMouse);
    platform::setMouse(nullptr);
}

TEST(InputThroughSdl, RealEventsReachTheStates)
{
    platform::messageQueue().reset();
    aApplication app;
    ASSERT_EQ(app.init("SdlInput", nullptr, "", ""), 0);
    auto* graph = new aGraphServer(320, 240, false, true, nullptr, 0, false, false);
    auto* input = new aInputServer();
    input->update();  // starts watching SDL's events

    HWND w = app.m_window;
    ASSERT_TRUE(platform::injectFocus(w, true));
    ASSERT_TRUE(platform::injectMouseButton(w, 0, true));
    ASSERT_TRUE(platform::injectMouseMotion(w, 5, 7));
    ASSERT_TRUE(platform::injectMouseWheel(w, 1));

    // The message loop drains the queue before the frame.
    platform::Message m;
    while (platform::messageQueue().peek(m) && m.message != WM_QUIT)
        platform::dispatchMessage(m);
    input->m_cursorX = 10;  // inside the game area
    input->m_cursorY = 10;
    input->update();
    EXPECT_EQ(input->m_lX, 5);
    EXPECT_EQ(input->m_lY, 7);
    EXPECT_EQ(input->m_lZ, 120);
    // The cursor itself is wherever the real pointer is; the press is seen
    // when it was inside the game area in the previous frame.
    EXPECT_EQ(input->m_mouseButtons[0], 2u);

    ASSERT_TRUE(platform::injectMouseButton(w, 0, false));
    while (platform::messageQueue().peek(m) && m.message != WM_QUIT)
        platform::dispatchMessage(m);
    input->update();
    EXPECT_EQ(input->m_mouseButtons[0], 1u);

    delete input;
    delete graph;
    app.shutdown();
}
