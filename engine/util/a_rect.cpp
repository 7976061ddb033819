#include "engine/util/a_rect.h"

#include <algorithm>

bool aRect::contains(std::int16_t px, std::int16_t py) const
{
    return x <= px && px < right() && y <= py && py < bottom();
}

aRect aRect::getUnion(const aRect& o) const
{
    const std::int32_t nx = std::min(x, o.x);
    const std::int32_t ny = std::min(y, o.y);
    const std::int32_t r = std::max(right(), o.right());
    const std::int32_t b = std::max(bottom(), o.bottom());
    return aRect(std::int16_t(nx), std::int16_t(ny), std::uint16_t(r - nx), std::uint16_t(b - ny));
}

aRect aRect::getIntersection(const aRect& o) const
{
    const std::int32_t nx = std::max(x, o.x);
    const std::int32_t ny = std::max(y, o.y);
    const std::int32_t r = std::min(right(), o.right());
    const std::int32_t b = std::min(bottom(), o.bottom());
    const std::int16_t w = std::int16_t(r - nx);
    const std::int16_t h = std::int16_t(b - ny);
    if (w >= 0 && h >= 0)
        return aRect(std::int16_t(nx), std::int16_t(ny), std::uint16_t(w), std::uint16_t(h));
    return aRect(0, 0, 0, 0);
}
