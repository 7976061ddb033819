#pragma once
// Puts synthetic window-system events into SDL's queue, as a user would
// cause them (for tests that drive the real event path).
#include "platform/system/win_types.h"

namespace platform {

bool injectFocus(HWND window, bool gained);
// button: 0 left, 1 right, 2 middle.
bool injectMouseButton(HWND window, int button, bool down);
bool injectMouseMotion(HWND window, int dx, int dy);
bool injectMouseWheel(HWND window, int notches);

} // namespace platform
