// JNG files through libmng: the input is what follows the 8-byte signature
// (the chunks), so that every input reaches libmng.
#include "fuzz/image_exercise.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string bytes = std::string("\x8BJNG\r\n\x1A\n", 8) + std::string(reinterpret_cast<const char*>(data), size);
    fuzz::exerciseImage(fuzz::writeTemp("image.jng", bytes), size);
    return 0;
}
