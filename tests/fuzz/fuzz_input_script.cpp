// The input-script compiler's readers: an input taken as a recording must
// survive its text form unchanged, and taken as a script must compile into
// a recording that reads back as the same frames.
#include <cstdint>
#include <string>

#include "tools/recording/input_recording.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string error;
    recording::Frames frames;
    if (recording::decode(data, size, frames, error)) {
        recording::Frames back;
        if (!recording::undump(recording::dump(frames), "dump", back, error) ||
            recording::encode(back) != std::vector<std::uint8_t>(data, data + size))
            __builtin_trap();
    }
    const std::string text(reinterpret_cast<const char*>(data), size);
    if (recording::compile(text, "script", frames, error)) {
        const std::vector<std::uint8_t> bytes = recording::encode(frames);
        recording::Frames back;
        if (!recording::decode(bytes.data(), bytes.size(), back, error) || !(back == frames))
            __builtin_trap();
    }
    return 0;
}
