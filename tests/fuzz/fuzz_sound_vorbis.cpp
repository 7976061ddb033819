// Ogg Vorbis files through the sound layer: libvorbisfile over memory, chained
// and damaged streams, folding and mixing. Page checksums are set right
// first, so that mutations reach the Vorbis decoder instead of ending at
// libogg's checksum test.
#include <vector>

#include "fuzz/sound_fuzz.h"

namespace {

std::uint32_t oggCrc(const std::uint8_t* p, std::size_t n)
{
    std::uint32_t crc = 0;
    for (std::size_t i = 0; i < n; ++i) {
        crc ^= std::uint32_t(p[i]) << 24;
        for (int b = 0; b < 8; ++b)
            crc = (crc & 0x80000000u) ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
    }
    return crc;
}

void fixChecksums(std::vector<std::uint8_t>& d)
{
    std::size_t at = 0;
    while (at + 27 <= d.size() && std::memcmp(&d[at], "OggS", 4) == 0) {
        const std::size_t segments = d[at + 26];
        if (at + 27 + segments > d.size())
            return;
        std::size_t length = 27 + segments;
        for (std::size_t i = 0; i < segments; ++i)
            length += d[at + 27 + i];
        if (at + length > d.size())
            return;
        std::memset(&d[at + 22], 0, 4);
        const std::uint32_t crc = oggCrc(&d[at], length);
        for (int i = 0; i < 4; ++i)
            d[at + 22 + std::size_t(i)] = std::uint8_t(crc >> (8 * i));
        at += length;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::vector<std::uint8_t> fixed(data, data + size);
    fixChecksums(fixed);
    return fuzz::fuzzSound(fixed.data(), fixed.size(),
                           [](const std::uint8_t* p, std::size_t n) { return n >= 4 && std::memcmp(p, "OggS", 4) == 0; });
}
