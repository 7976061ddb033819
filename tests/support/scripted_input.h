#pragma once
#include "platform/input/keyboard.h"
#include "platform/input/mouse.h"
#include "platform/system/clock.h"
#include "platform/system/events.h"

namespace test_env {

// A game driven by the test: its clock, keyboard and mouse are the test's,
// its message queue starts empty, its window client is width x height.
inline void installScriptedInput(platform::ManualClock& clock, platform::ScriptedKeyboard& keys,
                                 platform::ScriptedMouse& mouse, int width = 1024, int height = 768)
{
    platform::setClock(&clock);
    platform::setKeyboard(&keys);
    platform::setMouse(&mouse);
    platform::messageQueue().reset();
    mouse.clientWidth = width;
    mouse.clientHeight = height;
}

inline void removeScriptedInput()
{
    platform::setMouse(nullptr);
    platform::setKeyboard(nullptr);
    platform::setClock(nullptr);
}

} // namespace test_env
