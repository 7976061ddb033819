#include "platform/gfx/bmp.h"

#include <cstdio>
#include <vector>

namespace platform {

namespace {

void put16(std::vector<std::uint8_t>& out, std::uint32_t v)
{
    out.push_back(std::uint8_t(v));
    out.push_back(std::uint8_t(v >> 8));
}

void put32(std::vector<std::uint8_t>& out, std::uint32_t v)
{
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

} // namespace

bool writeBmp24(const std::string& path, int width, int height, const std::uint8_t* bgra)
{
    if (width <= 0 || height <= 0 || !bgra)
        return false;
    const std::uint32_t rowBytes = (std::uint32_t(width) * 3 + 3) & ~3u;
    const std::uint32_t imageBytes = rowBytes * std::uint32_t(height);
    const std::uint32_t headerBytes = 14 + 40;

    std::vector<std::uint8_t> out;
    out.reserve(headerBytes + imageBytes);
    out.push_back('B');
    out.push_back('M');
    put32(out, headerBytes + imageBytes);
    put32(out, 0);
    put32(out, headerBytes);
    put32(out, 40);
    put32(out, std::uint32_t(width));
    put32(out, std::uint32_t(height));  // positive: bottom row first
    put16(out, 1);
    put16(out, 24);
    put32(out, 0);  // no compression
    put32(out, imageBytes);
    put32(out, 2835);  // 72 dpi
    put32(out, 2835);
    put32(out, 0);
    put32(out, 0);
    for (int y = height - 1; y >= 0; --y) {
        const std::uint8_t* row = bgra + std::size_t(y) * std::size_t(width) * 4;
        for (int x = 0; x < width; ++x) {
            out.push_back(row[x * 4 + 0]);
            out.push_back(row[x * 4 + 1]);
            out.push_back(row[x * 4 + 2]);
        }
        for (std::uint32_t pad = std::uint32_t(width) * 3; pad < rowBytes; ++pad)
            out.push_back(0);
    }

    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    const bool written = std::fwrite(out.data(), 1, out.size(), f) == out.size();
    return (std::fclose(f) == 0) && written;
}

} // namespace platform
