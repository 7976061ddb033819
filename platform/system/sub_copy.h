#pragma once
// Showing areas of a window's back buffer alone, without a swap: an
// optional ability of the platform (GLX_MESA_copy_sub_buffer); and what
// else only the window system knows about a window's drawable.
#include <vector>

namespace platform {

// Copies drawable pixels (x, y from the bottom left) of the current
// context's back buffer to the screen.
using SubCopy = void (*)(int x, int y, int width, int height);

// The copy for the current context under the given SDL video driver; null
// where it is not supported.
SubCopy findSubCopy(const char* videoDriver);

// The current context's drawable size as the window system has it now: a
// window manager may resize a window after SDL took a size for it, and the
// driver draws at the size it read last.
using DrawableSize = bool (*)(int& width, int& height);
DrawableSize findDrawableSize(const char* videoDriver);

// How many swaps ago the current drawable's back buffer was shown (1: the
// frame before); 0 when its contents are unknown.
using BufferAge = int (*)();
BufferAge findBufferAge(const char* videoDriver);

// Drawable pixels x0 <= x < x1, y0 <= y < y1.
struct CopyBox {
    int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
};

// Each copy is a round trip to the display server, worth copying this many
// pixels more (the server copies a few hundred thousand in the time).
constexpr long long kCopyPixels = 65536;

// The copies that show every pixel of the boxes: boxes are merged, the
// closest pair first, while one box around a pair covers at most
// kCopyPixels more than the two. Empty boxes are dropped.
std::vector<CopyBox> mergeCopies(std::vector<CopyBox> boxes);

} // namespace platform
