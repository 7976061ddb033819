#pragma once
// Ogg Theora clips made at test time: every frame a flat colour that names
// its index, with a marker square at the picture's top-left.
#include <cstdint>
#include <string>

namespace clip_writer {

struct Rgb {
    int r = 0, g = 0, b = 0;
};

struct Clip {
    // Encoded frame size (multiples of 16) and the picture shown from it.
    int frameWidth = 64;
    int frameHeight = 48;
    int pictureWidth = 64;
    int pictureHeight = 48;
    int pictureX = 0;  // from the frame's top-left
    int pictureY = 0;
    std::uint32_t fpsNumerator = 25;
    std::uint32_t fpsDenominator = 1;
    int frames = 3;
    // A Vorbis stream (headers only) begins before the video.
    bool vorbisFirst = false;
    // The identification header's frame-rate numerator is patched to 0
    // before it is paged.
    bool zeroFrameRate = false;
    // The first frame's packet is marked as a header, which decoders refuse.
    bool badFirstFrame = false;
    // Chroma at full resolution (4:4:4) instead of 4:2:0.
    bool fullChroma = false;
};

constexpr int kMarkerSize = 8;

// The colour of frame i (eight colours, then they repeat) and of the marker.
Rgb frameColor(int index);
Rgb markerColor();
// The 0x00RRGGBB of a colour.
std::uint32_t rgb(const Rgb& c);

// The clip's bytes.
std::string makeClip(const Clip& clip);

} // namespace clip_writer
