// Region bitmaps: one-bit masks read from bitmap files.
#include <cstdlib>

#include "engine/gui/gui_region.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    (void)fuzz::tempDir();
    GUI::Region region;
    if (region.LoadFromMemory(data, size, "fuzz.bmp")) {
        if (region.mask.size() != std::size_t(region.width) * region.height)
            std::abort();
        std::size_t inside = 0;
        for (std::uint32_t y = 0; y <= region.height; y += 1 + region.height / 8)
            for (std::uint32_t x = 0; x <= region.width; x += 1 + region.width / 8)
                inside += region.IsInside(x, y);
        return int(inside & 0);
    }
    return 0;
}
