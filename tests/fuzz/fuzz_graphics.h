#pragma once
// For fuzz targets that load and draw images: the shared recording graphics
// server and small BMP files to load.
#include <cstdint>
#include <string>

#include "fuzz/fuzz_support.h"
#include "platform/gfx/d3d8_recording.h"

namespace fuzz {

// A 24-bit BMP of w x h pixels whose colour changes with x and y.
inline std::string bmp(int w, int h)
{
    const std::uint32_t row = (std::uint32_t(w) * 3 + 3) & ~3u, size = 54 + row * std::uint32_t(h);
    std::string out(size, '\0');
    auto put = [&](std::size_t at, std::uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i)
            out[at + std::size_t(i)] = char(v >> (8 * i));
    };
    out[0] = 'B';
    out[1] = 'M';
    put(2, size, 4);
    put(10, 54, 4);
    put(14, 40, 4);
    put(18, std::uint32_t(w), 4);
    put(22, std::uint32_t(h), 4);
    put(26, 1, 2);
    put(28, 24, 2);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            put(54 + std::size_t(y) * row + std::size_t(x) * 3, std::uint32_t(x * 16) << 8 | std::uint32_t(y * 32), 3);
    return out;
}

} // namespace fuzz
