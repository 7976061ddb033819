// Image files through the engine's loader on the recording device: PNG,
// JPEG, BMP and TGA through the decoder, JNG through libmng.
#include "fuzz/image_exercise.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::exerciseImage(fuzz::writeTemp("image.bin", data, size), size);
    return 0;
}
