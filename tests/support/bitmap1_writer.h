#pragma once
// One-bit Windows bitmaps built in tests (region masks).
#include <cstdint>
#include <string>
#include <vector>

namespace bitmap1_writer {

struct Options {
    std::uint32_t palette0 = 0x00000000;  // first palette entry, as stored (blue, green, red, 0)
    std::uint32_t palette1 = 0x00FFFFFF;
    bool topDown = false;                 // a negative height, rows top first
    std::uint16_t bitCount = 1;           // only the header field; the bits stay 1-bit
};

// bits: width * height values, top row first; non-zero sets the pixel's bit.
std::string build(int width, int height, const std::vector<std::uint8_t>& bits, const Options& options = {});

// Writes a little-endian 32-bit value at an offset of a built file.
void poke32(std::string& file, std::size_t offset, std::uint32_t value);

} // namespace bitmap1_writer
