#pragma once
#include <cstdint>
#include <string>

namespace platform {

// Writes a 24-bit uncompressed BMP from top-row-first B, G, R, A pixels.
bool writeBmp24(const std::string& path, int width, int height, const std::uint8_t* bgra);

} // namespace platform
