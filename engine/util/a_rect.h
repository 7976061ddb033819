#pragma once
#include <cstdint>

// A rectangle with signed 16-bit corner and unsigned 16-bit size; the right
// edge x + width and the bottom edge y + height are exclusive. Sums are done
// in 32 bits and stored back truncated to 16.
struct aRect {
    std::int16_t x = 0;
    std::int16_t y = 0;
    std::uint16_t width = 0;
    std::uint16_t height = 0;

    aRect() = default;
    aRect(std::int16_t x_, std::int16_t y_, std::uint16_t width_, std::uint16_t height_)
        : x(x_), y(y_), width(width_), height(height_)
    {
    }

    std::int32_t right() const { return std::int32_t(x) + std::int32_t(width); }
    std::int32_t bottom() const { return std::int32_t(y) + std::int32_t(height); }

    bool contains(std::int16_t px, std::int16_t py) const;
    aRect getUnion(const aRect& other) const;
    // Rectangles that only touch give a zero-width (or zero-height) result
    // at the shared edge; disjoint ones give all zeros.
    aRect getIntersection(const aRect& other) const;

    bool operator==(const aRect& o) const
    {
        return x == o.x && y == o.y && width == o.width && height == o.height;
    }
    bool operator!=(const aRect& o) const { return !(*this == o); }
};
