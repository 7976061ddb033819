#include "engine/gui/gui_region.h"

#include "engine/gui/gui_hit_value.h"
#include "engine/util/a_file_server.h"
#include "engine/util/a_log.h"

namespace GUI {

namespace {

std::uint32_t u32(const std::uint8_t* p)
{
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}
std::uint16_t u16(const std::uint8_t* p) { return std::uint16_t(p[0] | p[1] << 8); }

constexpr std::size_t kFileHeaderSize = 14;
constexpr std::size_t kInfoHeaderSize = 40;

} // namespace

bool Region::LoadFromBitmap(const std::string& fileName)
{
    aFile file(fileName);
    return LoadFromMemory(file.data(), file.isLoaded() ? file.size() : 0, fileName);
}

bool Region::LoadFromMemory(const std::uint8_t* data, std::size_t size, const std::string& name)
{
    // Every read below lies inside the file: the headers first, then the
    // palette entry after the info header, then all rows of bits.
    const auto invalid = [&name] {
        a_log("Region::LoadFromBitmap - invalid bitmap file '%s'", name.c_str());
        return false;
    };
    if (!data || size < kFileHeaderSize + kInfoHeaderSize || u16(data) != 0x4D42)
        return invalid();
    const std::uint64_t bitsOffset = u32(data + 10);
    const std::uint8_t* info = data + kFileHeaderSize;
    const std::uint64_t infoSize = u32(info);
    const auto w = std::int32_t(u32(info + 4));
    const auto h = std::int32_t(u32(info + 8));
    if (infoSize < kInfoHeaderSize || u16(info + 14) != 1)
        return invalid();
    if (w < 1 || h < 1 || std::uint32_t(w) > kMaxSide || std::uint32_t(h) > kMaxSide)
        return invalid();
    const std::uint64_t paletteAt = kFileHeaderSize + infoSize;
    const std::uint64_t rowBytes = (std::uint64_t(w) + 31) / 32 * 4;
    if (paletteAt + 4 > size || bitsOffset + rowBytes * std::uint64_t(h) > size)
        return invalid();

    const bool invert = u32(data + paletteAt) != 0;
    NoteHitTestChange();
    width = std::uint32_t(w);
    height = std::uint32_t(h);
    mask.assign(std::size_t(width) * height, 0);
    for (std::uint32_t y = 0; y < height; ++y) {
        // Stored rows run bottom-up.
        const std::uint8_t* row = data + bitsOffset + rowBytes * (height - 1 - y);
        std::uint8_t* out = mask.data() + std::size_t(y) * width;
        for (std::uint32_t x = 0; x < width; ++x) {
            const bool bit = (row[x >> 3] >> (7 - (x & 7))) & 1;
            out[x] = std::uint8_t(bit != invert);
        }
    }
    return true;
}

bool Region::IsInside(std::uint32_t x, std::uint32_t y) const
{
    if (mask.empty() || x >= width || y >= height)
        return false;
    return mask[std::size_t(y) * width + x] != 0;
}

} // namespace GUI
