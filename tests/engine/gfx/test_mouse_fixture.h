#pragma once
// The recording graphics server at 640 x 480 with a real input server fed
// by scripted mouse frames on a manual clock.
#include "engine/util/a_input_server.h"
#include "platform/input/keyboard.h"
#include "platform/input/mouse.h"
#include "platform/system/clock.h"
#include "platform/system/events.h"
#include "test_image_fixture.h"

namespace mousetest {

constexpr unsigned kLeft = 1;
constexpr unsigned kRight = 2;

class MouseTest : public imgtest::RecordingTest {
protected:
    std::uint16_t screenWidth() const override { return 640; }
    std::uint16_t screenHeight() const override { return 480; }
    void SetUp() override
    {
        platform::setClock(&clock);
        platform::setKeyboard(&keys);
        platform::setMouse(&mouse);
        platform::messageQueue().reset();
        RecordingTest::SetUp();
        mouse.clientWidth = 640;
        mouse.clientHeight = 480;
        input = new aInputServer();
    }
    void TearDown() override
    {
        delete app.m_inputServer;
        RecordingTest::TearDown();
        platform::setMouse(nullptr);
        platform::setKeyboard(nullptr);
        platform::setClock(nullptr);
    }
    // One polled frame with these buttons down and the cursor at (x, y).
    void frame(unsigned buttons, int x, int y, double ms = 20.0)
    {
        mouse.push(buttons, x, y);
        clock.advanceMs(ms);
        input->update();
    }

    platform::ManualClock clock;
    platform::ScriptedKeyboard keys;
    platform::ScriptedMouse mouse;
    aInputServer* input = nullptr;
};

} // namespace mousetest
