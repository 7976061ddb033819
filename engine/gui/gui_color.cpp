#include "engine/gui/gui_color.h"

namespace GUI {

Color UnpackColor(std::uint32_t argb)
{
    const auto channel = [argb](int shift) { return float((argb >> shift) & 0xFF) * (1.0f / 255.0f); };
    return Color{channel(16), channel(8), channel(0), channel(24)};
}

std::uint8_t PackChannel(float c)
{
    if (c >= 1.0f)
        return 255;
    if (!(c > 0.0f))
        return 0;
    return std::uint8_t(int(c * 255.0f + 0.5f));
}

std::uint32_t PackColor(const Color& c)
{
    return (std::uint32_t(PackChannel(c.a)) << 24) | (std::uint32_t(PackChannel(c.r)) << 16) |
           (std::uint32_t(PackChannel(c.g)) << 8) | std::uint32_t(PackChannel(c.b));
}

std::uint32_t WhiteWithAlpha(float alpha) { return (std::uint32_t(PackChannel(alpha)) << 24) | 0xFFFFFFu; }

Color BlendColor(const Color& a, const Color& b, float t)
{
    return Color{a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t, a.a + (b.a - a.a) * t};
}

} // namespace GUI
