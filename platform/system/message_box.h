#pragma once
#include <string>

#include "platform/system/win_types.h"

namespace platform {

// Shows a modal message box and returns the button pressed (IDOK). With no
// display (or the offscreen/dummy video driver) nothing is shown: the text
// goes to stderr, *shown is set false and IDOK comes back at once.
int showMessageBox(HWND owner, const std::string& text, const std::string& caption, bool isError,
                   bool* shown = nullptr);

} // namespace platform
