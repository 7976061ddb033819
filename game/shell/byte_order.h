#pragma once
// Little-endian fixed-width fields of the game's binary files.
#include <cstdint>

namespace byte_order {

inline void store16(std::uint8_t* p, std::uint16_t v)
{
    p[0] = std::uint8_t(v);
    p[1] = std::uint8_t(v >> 8);
}

inline void store32(std::uint8_t* p, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = std::uint8_t(v >> (8 * i));
}

inline std::uint16_t load16(const std::uint8_t* p) { return std::uint16_t(p[0] | (p[1] << 8)); }

inline std::uint32_t load32(const std::uint8_t* p)
{
    return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) |
           (std::uint32_t(p[3]) << 24);
}

} // namespace byte_order
