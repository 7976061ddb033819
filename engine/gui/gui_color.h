#pragma once
// Widget colours: scripts and code give 0xAARRGGBB words; widgets keep four
// floats (each channel times 1/255) so they can blend and scale them, and
// pack them back for drawing.
#include <cstdint>

namespace GUI {

struct Color {
    float r = 1.0f, g = 1.0f, b = 1.0f, a = 1.0f;
};

Color UnpackColor(std::uint32_t argb);
// 255 at 1 or more, 0 at 0 or less (and for NaN), else (int)(c * 255 + 0.5).
std::uint8_t PackChannel(float c);
std::uint32_t PackColor(const Color& c);
// Opaque white with the alpha byte of `alpha`.
std::uint32_t WhiteWithAlpha(float alpha);
// Each channel from a towards b by t.
Color BlendColor(const Color& a, const Color& b, float t);

} // namespace GUI
