#pragma once
// Puts synthetic window-system events into SDL's queue, as a user would
// cause them (for tests that drive the real event path).
#include <cstdint>
#include <string>

#include "platform/system/win_types.h"

namespace platform {

bool injectFocus(HWND window, bool gained);
// button: 0 left, 1 right, 2 middle.
bool injectMouseButton(HWND window, int button, bool down);
bool injectMouseMotion(HWND window, int dx, int dy);
bool injectMouseWheel(HWND window, int notches);
// A key of a DirectInput code going down or up, with the modifiers held
// (KMOD-style: shift, ctrl, alt); false for a key SDL has no scancode for.
bool injectKey(HWND window, std::uint8_t key, bool down, bool shift = false, bool ctrl = false, bool alt = false);
// Typed text, UTF-8, as the platform's text input hands it over (at most
// 31 bytes an event, as SDL carries it).
bool injectText(HWND window, const std::string& utf8);

} // namespace platform
