#pragma once
// Showing areas of a window's back buffer alone, without a swap: an
// optional ability of the platform (GLX_MESA_copy_sub_buffer).

namespace platform {

// Copies drawable pixels (x, y from the bottom left) of the current
// context's back buffer to the screen.
using SubCopy = void (*)(int x, int y, int width, int height);

// The copy for the current context under the given SDL video driver; null
// where it is not supported.
SubCopy findSubCopy(const char* videoDriver);

} // namespace platform
