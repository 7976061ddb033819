#pragma once
// Image files built in tests. A JNG holds the colour as a baseline JPEG
// (libjpeg) in a JDAT chunk and, when asked, an 8-bit alpha channel as
// PNG-style deflated scanlines in an IDAT chunk.
#include <cstdint>
#include <string>
#include <vector>

namespace jng_writer {

// argb: width * height pixels 0xAARRGGBB, top row first. quality 1..100.
std::string buildJng(int width, int height, const std::vector<std::uint32_t>& argb, bool withAlpha,
                     int quality = 100);
// The JNG with the size its JHDR declares replaced (the pixels stay as they
// are, so the two may disagree); the JHDR is the first chunk.
std::string withJngHeaderSize(std::string jng, std::uint32_t width, std::uint32_t height);

// The other formats the loader reads: PNG (with alpha), 24-bit BMP and a
// baseline JPEG without chroma subsampling (alpha dropped).
std::string buildPng(int width, int height, const std::vector<std::uint32_t>& argb);
std::string buildBmp(int width, int height, const std::vector<std::uint32_t>& argb);
std::string buildJpeg(int width, int height, const std::vector<std::uint32_t>& argb, int quality = 100);

} // namespace jng_writer
