// Ogg Vorbis files through the sound layer: libvorbisfile over memory, chained
// and damaged streams, folding and mixing.
#include "fuzz/sound_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    return fuzz::fuzzSound(data, size,
                           [](const std::uint8_t* p, std::size_t n) { return n >= 4 && std::memcmp(p, "OggS", 4) == 0; });
}
