// WAV files (RIFF "WAVE") through the sound layer: chunk walking, SDL's
// decoders (PCM, float, A-law, mu-law, ADPCM), folding and mixing.
#include "fuzz/sound_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    return fuzz::fuzzSound(data, size, [](const std::uint8_t* p, std::size_t n) {
        return n >= 12 && std::memcmp(p, "RIFF", 4) == 0 && std::memcmp(p + 8, "WAVE", 4) == 0;
    });
}
