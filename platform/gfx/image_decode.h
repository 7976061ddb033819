#pragma once
// Decoding PNG, JPEG, BMP and TGA images held in memory into 32-bit ARGB.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// The values match the D3DXIMAGE_FILEFORMAT numbers callers report.
enum class ImageFileKind : std::uint32_t { Bmp = 0, Jpeg = 1, Tga = 2, Png = 3, Unknown = 0xFFFFFFFF };

constexpr int kDefaultMaxImageDimension = 8192;
// Caps memory whatever the dimension limit: 32 Mpixel = 128 MiB of ARGB.
constexpr std::uint64_t kMaxImagePixels = 32ull * 1024 * 1024;

struct ImageInfo {
    int width = 0;
    int height = 0;
    bool hasAlpha = false;  // the file carries an alpha channel (or PNG transparency)
    ImageFileKind kind = ImageFileKind::Unknown;
};

struct DecodedImage {
    ImageInfo info;
    // width * height pixels, 0xAARRGGBB, top row first; alpha 0xFF when the
    // file has none.
    std::vector<std::uint32_t> argb;
};

// Size and kind without decoding. False for null/empty data, an unknown kind,
// a broken header, data too short for the pixels it announces, and sizes of
// 0, above maxDimension or above kMaxImagePixels; `error` (if given) then
// gets a short reason for the caller's log.
bool readImageInfo(const void* data, std::size_t size, ImageInfo& out,
                   int maxDimension = kDefaultMaxImageDimension, std::string* error = nullptr);

// Full decode after the same checks, made before anything is allocated. On
// false `out` is left empty. Never reads outside [data, data + size).
// A plain 32-bit BMP counts as having no alpha (its fourth byte is reserved).
bool decodeImage(const void* data, std::size_t size, DecodedImage& out,
                 int maxDimension = kDefaultMaxImageDimension, std::string* error = nullptr);

} // namespace platform
