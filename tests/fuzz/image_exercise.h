#pragma once
// What the image targets do with one file: load it through the engine as
// 32-bit ARGB and in a second format the size picks, then blur it, turn it
// gray and read pixels back, as the game's effects would.
#include <cstddef>
#include <string>

#include "engine/gfx/a_image.h"
#include "fuzz/fuzz_support.h"

namespace fuzz {

inline void exerciseImage(const std::string& path, std::size_t size)
{
    recordingGraphics();
    static const D3DFORMAT kSecond[] = {D3DFMT_R5G6B5, D3DFMT_A1R5G5B5, D3DFMT_A4R4G4B4, D3DFMT_X8R8G8B8, D3DFMT_DXT1};
    for (D3DFORMAT format : {D3DFMT_A8R8G8B8, kSecond[size % 5]}) {
        aImage image(path, format, format);
        if (!image.getTexture())
            return;  // the same bytes fail the same way in any format
        aImageData* data = image.getData();
        data->setBlurParams(3, 0.5f);
        data->setGrayscaleParams(false);
        data->setEffects({IMAGE_EFFECT_BLUR, IMAGE_EFFECT_GRAYSCALE});
        data->applyEffects();
        (void)image.getPixel(0, 0);
        (void)image.getPixel(image.getWidth() - 1, image.getHeight() - 1);
    }
}

} // namespace fuzz
