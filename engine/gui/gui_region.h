#pragma once
// A one-bit hit mask read from a monochrome Windows bitmap: widgets with a
// region react only on its marked pixels.
#include <cstdint>
#include <string>
#include <vector>

namespace GUI {

class Region {
public:
    // Sides of a region bitmap, 1..kMaxSide pixels.
    static constexpr std::uint32_t kMaxSide = 16384;

    Region() = default;
    virtual ~Region() = default;

    // Reads the file through the file layer. A file that is not a 1-bit,
    // bottom-up bitmap lying wholly inside its bytes is logged and leaves
    // the region as it was. False then.
    bool LoadFromBitmap(const std::string& fileName);
    // The same on bytes in memory; name is for the log.
    bool LoadFromMemory(const std::uint8_t* data, std::size_t size, const std::string& name);

    // False without a mask and outside it.
    bool IsInside(std::uint32_t x, std::uint32_t y) const;

    // Written only by the loads, which count the change for the hit test.
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    // width * height bytes, top row first; non-zero is inside.
    std::vector<std::uint8_t> mask;
};

} // namespace GUI
