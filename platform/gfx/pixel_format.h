#pragma once
// Pixel formats of the graphics device and the conversions between them and
// 32-bit ARGB (0xAARRGGBB in a native uint32). Pixels in a format's own bytes
// are little-endian and need not be aligned.
#include <cstddef>
#include <cstdint>

constexpr std::uint32_t makeFourCC(char a, char b, char c, char d)
{
    return std::uint32_t(std::uint8_t(a)) | std::uint32_t(std::uint8_t(b)) << 8 |
           std::uint32_t(std::uint8_t(c)) << 16 | std::uint32_t(std::uint8_t(d)) << 24;
}

// The numbers are the ones data and callers were written against.
enum D3DFORMAT : std::uint32_t {
    D3DFMT_UNKNOWN = 0,
    D3DFMT_R8G8B8 = 20,
    D3DFMT_A8R8G8B8 = 21,
    D3DFMT_X8R8G8B8 = 22,
    D3DFMT_R5G6B5 = 23,
    D3DFMT_X1R5G5B5 = 24,
    D3DFMT_A1R5G5B5 = 25,
    D3DFMT_A4R4G4B4 = 26,
    D3DFMT_INDEX16 = 101,
    D3DFMT_INDEX32 = 102,
    D3DFMT_DXT1 = makeFourCC('D', 'X', 'T', '1'),
    D3DFMT_DXT2 = makeFourCC('D', 'X', 'T', '2'),
    D3DFMT_DXT3 = makeFourCC('D', 'X', 'T', '3'),
    D3DFMT_DXT4 = makeFourCC('D', 'X', 'T', '4'),
    D3DFMT_DXT5 = makeFourCC('D', 'X', 'T', '5'),
};

namespace platform {

// Bytes of one element: 4, 3 (R8G8B8), 2 (16-bit and INDEX16); 0 for UNKNOWN,
// the block-compressed DXT formats and anything unknown.
int bytesPerPixel(D3DFORMAT fmt);

// The format a texture requested in `requested` is kept in: the six texture
// formats keep their own, R8G8B8 becomes X8R8G8B8, DXT1-DXT5 become A8R8G8B8;
// anything else gives D3DFMT_UNKNOWN (unsupported).
D3DFORMAT storageFormat(D3DFORMAT requested);

// True for the six texture formats decodePixel/encodePixel handle.
bool isTextureFormat(D3DFORMAT fmt);
// True where the stored bits carry alpha (A8R8G8B8, A1R5G5B5, A4R4G4B4).
bool formatHasAlpha(D3DFORMAT fmt);
// "D3DFMT_A8R8G8B8" etc. for logs; values without a name give "D3DFMT_UNKNOWN".
const char* formatName(D3DFORMAT fmt);

// One pixel. Low bits are not replicated when widening (5-bit 31 reads 248);
// narrowing truncates. X formats read opaque. Non-texture formats decode to 0
// and encode nothing.
std::uint32_t decodePixel(D3DFORMAT fmt, const void* p);
void encodePixel(D3DFORMAT fmt, std::uint32_t argb, void* p);

// Whole images. Pitches are in bytes; rows are top first. Both return false
// (and write nothing) for a non-texture format, a null pointer or a pitch too
// small for the width.
bool convertFromArgb(D3DFORMAT fmt, const std::uint32_t* src, int width, int height,
                     std::size_t srcPitch, void* dst, std::size_t dstPitch);
bool convertToArgb(D3DFORMAT fmt, const void* src, int width, int height,
                   std::size_t srcPitch, std::uint32_t* dst, std::size_t dstPitch);

} // namespace platform
