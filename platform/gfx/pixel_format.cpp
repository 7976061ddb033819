#include "platform/gfx/pixel_format.h"

#include <cstring>

namespace platform {

namespace {

std::uint32_t load16(const void* p)
{
    const auto* b = static_cast<const std::uint8_t*>(p);
    return std::uint32_t(b[0]) | std::uint32_t(b[1]) << 8;
}

std::uint32_t load32(const void* p)
{
    const auto* b = static_cast<const std::uint8_t*>(p);
    return std::uint32_t(b[0]) | std::uint32_t(b[1]) << 8 | std::uint32_t(b[2]) << 16 |
           std::uint32_t(b[3]) << 24;
}

void store16(void* p, std::uint32_t v)
{
    auto* b = static_cast<std::uint8_t*>(p);
    b[0] = std::uint8_t(v);
    b[1] = std::uint8_t(v >> 8);
}

void store32(void* p, std::uint32_t v)
{
    auto* b = static_cast<std::uint8_t*>(p);
    b[0] = std::uint8_t(v);
    b[1] = std::uint8_t(v >> 8);
    b[2] = std::uint8_t(v >> 16);
    b[3] = std::uint8_t(v >> 24);
}

std::uint32_t decodeX1(std::uint32_t v)
{
    return 0xFF000000u | (v & 0x7C00u) << 9 | (v & 0x03E0u) << 6 | (v & 0x001Fu) << 3;
}

std::uint32_t encodeX1(std::uint32_t r, std::uint32_t g, std::uint32_t b)
{
    return (r & 0xF8u) << 7 | (g & 0xF8u) << 2 | b >> 3;
}

} // namespace

int bytesPerPixel(D3DFORMAT fmt)
{
    switch (fmt) {
    case D3DFMT_A8R8G8B8:
    case D3DFMT_X8R8G8B8:
    case D3DFMT_INDEX32:
        return 4;
    case D3DFMT_R8G8B8:
        return 3;
    case D3DFMT_R5G6B5:
    case D3DFMT_X1R5G5B5:
    case D3DFMT_A1R5G5B5:
    case D3DFMT_A4R4G4B4:
    case D3DFMT_INDEX16:
        return 2;
    default:
        return 0;
    }
}

bool isTextureFormat(D3DFORMAT fmt)
{
    switch (fmt) {
    case D3DFMT_A8R8G8B8:
    case D3DFMT_X8R8G8B8:
    case D3DFMT_R5G6B5:
    case D3DFMT_X1R5G5B5:
    case D3DFMT_A1R5G5B5:
    case D3DFMT_A4R4G4B4:
        return true;
    default:
        return false;
    }
}

bool formatHasAlpha(D3DFORMAT fmt)
{
    return fmt == D3DFMT_A8R8G8B8 || fmt == D3DFMT_A1R5G5B5 || fmt == D3DFMT_A4R4G4B4;
}

D3DFORMAT storageFormat(D3DFORMAT requested)
{
    if (isTextureFormat(requested))
        return requested;
    switch (requested) {
    case D3DFMT_R8G8B8:
        return D3DFMT_X8R8G8B8;
    case D3DFMT_DXT1:
    case D3DFMT_DXT2:
    case D3DFMT_DXT3:
    case D3DFMT_DXT4:
    case D3DFMT_DXT5:
        return D3DFMT_A8R8G8B8;
    default:
        return D3DFMT_UNKNOWN;
    }
}

const char* formatName(D3DFORMAT fmt)
{
    switch (fmt) {
    case D3DFMT_R8G8B8: return "D3DFMT_R8G8B8";
    case D3DFMT_A8R8G8B8: return "D3DFMT_A8R8G8B8";
    case D3DFMT_X8R8G8B8: return "D3DFMT_X8R8G8B8";
    case D3DFMT_R5G6B5: return "D3DFMT_R5G6B5";
    case D3DFMT_X1R5G5B5: return "D3DFMT_X1R5G5B5";
    case D3DFMT_A1R5G5B5: return "D3DFMT_A1R5G5B5";
    case D3DFMT_A4R4G4B4: return "D3DFMT_A4R4G4B4";
    case D3DFMT_INDEX16: return "D3DFMT_INDEX16";
    case D3DFMT_INDEX32: return "D3DFMT_INDEX32";
    case D3DFMT_DXT1: return "D3DFMT_DXT1";
    case D3DFMT_DXT2: return "D3DFMT_DXT2";
    case D3DFMT_DXT3: return "D3DFMT_DXT3";
    case D3DFMT_DXT4: return "D3DFMT_DXT4";
    case D3DFMT_DXT5: return "D3DFMT_DXT5";
    default: return "D3DFMT_UNKNOWN";
    }
}

std::uint32_t decodePixel(D3DFORMAT fmt, const void* p)
{
    switch (fmt) {
    case D3DFMT_A8R8G8B8:
        return load32(p);
    case D3DFMT_X8R8G8B8:
        return 0xFF000000u | (load32(p) & 0xFFFFFFu);
    case D3DFMT_R5G6B5: {
        const std::uint32_t v = load16(p);
        return 0xFF000000u | (v & 0xF800u) << 8 | (v & 0x07E0u) << 5 | (v & 0x001Fu) << 3;
    }
    case D3DFMT_X1R5G5B5:
        return decodeX1(load16(p));
    case D3DFMT_A1R5G5B5: {
        const std::uint32_t v = load16(p);
        return (v & 0x8000u) ? decodeX1(v) : decodeX1(v) & 0x00FFFFFFu;
    }
    case D3DFMT_A4R4G4B4: {
        const std::uint32_t v = load16(p);
        return (v & 0xF000u) << 16 | (v & 0x0F00u) << 12 | (v & 0x00F0u) << 8 | (v & 0x000Fu) << 4;
    }
    default:
        return 0;
    }
}

void encodePixel(D3DFORMAT fmt, std::uint32_t argb, void* p)
{
    const std::uint32_t a = argb >> 24;
    const std::uint32_t r = (argb >> 16) & 0xFFu;
    const std::uint32_t g = (argb >> 8) & 0xFFu;
    const std::uint32_t b = argb & 0xFFu;
    switch (fmt) {
    case D3DFMT_A8R8G8B8:
    case D3DFMT_X8R8G8B8:
        store32(p, argb);
        break;
    case D3DFMT_R5G6B5:
        store16(p, (r & 0xF8u) << 8 | (g & 0xFCu) << 3 | b >> 3);
        break;
    case D3DFMT_X1R5G5B5:
        store16(p, encodeX1(r, g, b) | 0x8000u);
        break;
    case D3DFMT_A1R5G5B5:
        store16(p, encodeX1(r, g, b) | (a >= 128 ? 0x8000u : 0u));
        break;
    case D3DFMT_A4R4G4B4:
        store16(p, (a & 0xF0u) << 8 | (r & 0xF0u) << 4 | (g & 0xF0u) | b >> 4);
        break;
    default:
        break;
    }
}

namespace {

bool imageArgsOk(D3DFORMAT fmt, const void* src, const void* dst, int width, int height,
                 std::size_t srcRowBytes, std::size_t srcPitch, std::size_t dstRowBytes, std::size_t dstPitch)
{
    return isTextureFormat(fmt) && src && dst && width >= 0 && height >= 0 && srcPitch >= srcRowBytes &&
           dstPitch >= dstRowBytes;
}

} // namespace

bool convertFromArgb(D3DFORMAT fmt, const std::uint32_t* src, int width, int height,
                     std::size_t srcPitch, void* dst, std::size_t dstPitch)
{
    const std::size_t w = width > 0 ? std::size_t(width) : 0;
    const std::size_t bpp = std::size_t(bytesPerPixel(fmt));
    if (!imageArgsOk(fmt, src, dst, width, height, w * 4, srcPitch, w * bpp, dstPitch))
        return false;
    const auto* in = reinterpret_cast<const std::uint8_t*>(src);
    auto* out = static_cast<std::uint8_t*>(dst);
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* s = in + std::size_t(y) * srcPitch;
        std::uint8_t* d = out + std::size_t(y) * dstPitch;
        for (std::size_t x = 0; x < w; ++x) {
            std::uint32_t argb;
            std::memcpy(&argb, s + x * 4, 4);
            encodePixel(fmt, argb, d + x * bpp);
        }
    }
    return true;
}

bool convertToArgb(D3DFORMAT fmt, const void* src, int width, int height,
                   std::size_t srcPitch, std::uint32_t* dst, std::size_t dstPitch)
{
    const std::size_t w = width > 0 ? std::size_t(width) : 0;
    const std::size_t bpp = std::size_t(bytesPerPixel(fmt));
    if (!imageArgsOk(fmt, src, dst, width, height, w * bpp, srcPitch, w * 4, dstPitch))
        return false;
    const auto* in = static_cast<const std::uint8_t*>(src);
    auto* out = reinterpret_cast<std::uint8_t*>(dst);
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* s = in + std::size_t(y) * srcPitch;
        std::uint8_t* d = out + std::size_t(y) * dstPitch;
        for (std::size_t x = 0; x < w; ++x) {
            const std::uint32_t argb = decodePixel(fmt, s + x * bpp);
            std::memcpy(d + x * 4, &argb, 4);
        }
    }
    return true;
}

} // namespace platform
