// Theora videos: the input is a clip file, opened once without and once with
// looping, then stepped through a few frames (past its end when it is short).
#include "engine/gfx/a_theora_video.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string path = fuzz::writeTemp("clip.ogv", data, size);
    for (bool loop : {false, true}) {
        aTheoraVideo video;
        if (!video.open(path, loop))
            continue;
        for (int i = 0; i < 8 && video.isOpen(); ++i)
            video.update(0.1f);
    }
    return 0;
}
