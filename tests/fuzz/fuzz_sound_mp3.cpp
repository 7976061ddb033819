// MP3 files (an ID3v2 tag or an MPEG frame first) through the sound layer:
// libmpg123 over memory, its scan for the length, seeking and mixing.
#include "fuzz/sound_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    return fuzz::fuzzSound(data, size, [](const std::uint8_t* p, std::size_t n) {
        return n >= 3 && (std::memcmp(p, "ID3", 3) == 0 || (p[0] == 0xFF && (p[1] & 0xE0) == 0xE0));
    });
}
