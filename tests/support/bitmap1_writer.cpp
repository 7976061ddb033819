#include "support/bitmap1_writer.h"

namespace bitmap1_writer {

namespace {

void put16(std::string& out, std::uint32_t v)
{
    out.push_back(char(v & 0xFF));
    out.push_back(char((v >> 8) & 0xFF));
}
void put32(std::string& out, std::uint32_t v)
{
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

} // namespace

std::string build(int width, int height, const std::vector<std::uint8_t>& bits, const Options& options)
{
    const std::size_t rowBytes = (std::size_t(width) + 31) / 32 * 4;
    const std::uint32_t bitsOffset = 14 + 40 + 8;
    std::string out;
    out += "BM";
    put32(out, std::uint32_t(bitsOffset + rowBytes * std::size_t(height)));
    put32(out, 0);
    put32(out, bitsOffset);
    put32(out, 40);
    put32(out, std::uint32_t(width));
    put32(out, std::uint32_t(options.topDown ? -height : height));
    put16(out, 1);
    put16(out, options.bitCount);
    for (int i = 0; i < 6; ++i)
        put32(out, 0);  // compression, image size, resolution, colours used and important
    put32(out, options.palette0);
    put32(out, options.palette1);
    for (int r = 0; r < height; ++r) {
        const int y = options.topDown ? r : height - 1 - r;
        std::string row(rowBytes, '\0');
        for (int x = 0; x < width; ++x)
            if (bits[std::size_t(y) * std::size_t(width) + std::size_t(x)])
                row[std::size_t(x) / 8] = char(row[std::size_t(x) / 8] | (0x80 >> (x % 8)));
        out += row;
    }
    return out;
}

void poke32(std::string& file, std::size_t offset, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        file[offset + std::size_t(i)] = char((value >> (8 * i)) & 0xFF);
}

} // namespace bitmap1_writer
