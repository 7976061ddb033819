#include "platform/gfx/pixel_format.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace platform;

namespace {

std::uint32_t encode16(D3DFORMAT fmt, std::uint32_t argb)
{
    std::uint8_t bytes[2] = {0xAA, 0xAA};
    encodePixel(fmt, argb, bytes);
    return bytes[0] | std::uint32_t(bytes[1]) << 8;
}

std::uint32_t decode16(D3DFORMAT fmt, std::uint32_t v)
{
    const std::uint8_t bytes[2] = {std::uint8_t(v), std::uint8_t(v >> 8)};
    return decodePixel(fmt, bytes);
}

const D3DFORMAT kTextureFormats[] = {D3DFMT_A8R8G8B8, D3DFMT_X8R8G8B8, D3DFMT_R5G6B5,
                                     D3DFMT_X1R5G5B5, D3DFMT_A1R5G5B5, D3DFMT_A4R4G4B4};

} // namespace

TEST(PixelFormat, SizesAndStorage)
{
    EXPECT_EQ(std::uint32_t(D3DFMT_DXT1), 0x31545844u);
    EXPECT_EQ(bytesPerPixel(D3DFMT_R8G8B8), 3);
    EXPECT_EQ(bytesPerPixel(D3DFMT_A4R4G4B4), 2);
    EXPECT_EQ(bytesPerPixel(D3DFMT_INDEX32), 4);
    EXPECT_EQ(bytesPerPixel(D3DFMT_DXT3), 0);
    for (D3DFORMAT f : kTextureFormats)
        EXPECT_EQ(storageFormat(f), f);
    EXPECT_EQ(storageFormat(D3DFMT_R8G8B8), D3DFMT_X8R8G8B8);
    EXPECT_EQ(storageFormat(D3DFMT_DXT1), D3DFMT_A8R8G8B8);
    EXPECT_EQ(storageFormat(D3DFMT_DXT5), D3DFMT_A8R8G8B8);
    EXPECT_EQ(storageFormat(D3DFMT_INDEX16), D3DFMT_UNKNOWN);
    EXPECT_EQ(storageFormat(D3DFORMAT(50)), D3DFMT_UNKNOWN);
}

TEST(PixelFormat, SixteenBitTableValues)
{
    EXPECT_EQ(encode16(D3DFMT_R5G6B5, 0xFFFFFFFF), 0xFFFFu);
    EXPECT_EQ(encode16(D3DFMT_R5G6B5, 0xFF123456), (0x10u << 8) | (0x34u << 3) | (0x56u >> 3));
    EXPECT_EQ(decode16(D3DFMT_R5G6B5, 0xFFFF), 0xFFF8FCF8u);  // low bits not replicated

    EXPECT_EQ(encode16(D3DFMT_A1R5G5B5, 0x80FFFFFF), 0xFFFFu);
    EXPECT_EQ(encode16(D3DFMT_A1R5G5B5, 0x7FFFFFFF), 0x7FFFu);
    EXPECT_EQ(decode16(D3DFMT_A1R5G5B5, 0x7C00), 0x00F80000u);
    EXPECT_EQ(decode16(D3DFMT_A1R5G5B5, 0x801F), 0xFF0000F8u);

    // X formats are opaque whatever their top bits hold.
    EXPECT_EQ(encode16(D3DFMT_X1R5G5B5, 0x00000000), 0x8000u);
    EXPECT_EQ(decode16(D3DFMT_X1R5G5B5, 0x03E0), 0xFF00F800u);
    const std::uint8_t x8[4] = {0x11, 0x22, 0x33, 0x00};
    EXPECT_EQ(decodePixel(D3DFMT_X8R8G8B8, x8), 0xFF332211u);

    EXPECT_EQ(decode16(D3DFMT_A4R4G4B4, 0x8F0A), 0x80F000A0u);  // alpha nibble 8 reads 0x80
    EXPECT_EQ(encode16(D3DFMT_A4R4G4B4, 0x7F1F2F3F), 0x7123u);
}

TEST(PixelFormat, RoundTripsKeepTheFormatsBits)
{
    const std::uint32_t samples[] = {0x00000000, 0xFFFFFFFF, 0x80402010, 0x7FC0E0F0, 0x12345678};
    for (D3DFORMAT f : kTextureFormats) {
        for (std::uint32_t argb : samples) {
            std::uint8_t once[4] = {}, twice[4] = {};
            encodePixel(f, argb, once);
            const std::uint32_t decoded = decodePixel(f, once);
            encodePixel(f, decoded, twice);
            // X8 stores whatever alpha it is given; only its colour bytes must match.
            const std::size_t compared = f == D3DFMT_X8R8G8B8 ? 3 : std::size_t(bytesPerPixel(f));
            EXPECT_EQ(std::memcmp(once, twice, compared), 0) << formatName(f) << std::hex << " " << argb;
            if (!formatHasAlpha(f)) {
                EXPECT_EQ(decoded >> 24, 0xFFu) << formatName(f);
            }
        }
    }
    std::uint8_t bytes[4] = {1, 2, 3, 4};
    for (D3DFORMAT f : {D3DFMT_UNKNOWN, D3DFMT_R8G8B8, D3DFMT_INDEX16, D3DFMT_DXT1}) {
        encodePixel(f, 0xFFFFFFFF, bytes);
        EXPECT_EQ(bytes[0], 1);
        EXPECT_EQ(decodePixel(f, bytes), 0u);
    }
}

TEST(PixelFormat, WholeImagesHonourPitches)
{
    // 3 x 2 image; source rows padded to 4 pixels, destination rows to 8 bytes.
    const std::uint32_t src[8] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xDEADBEEF,
                                  0x00FFFFFF, 0x80FFFFFF, 0xFF000000, 0xDEADBEEF};
    std::uint8_t dst[16];
    std::memset(dst, 0xEE, sizeof dst);
    ASSERT_TRUE(convertFromArgb(D3DFMT_A1R5G5B5, src, 3, 2, 16, dst, 8));
    EXPECT_EQ(decode16(D3DFMT_A1R5G5B5, dst[8] | dst[9] << 8), 0x00F8F8F8u);
    EXPECT_EQ(dst[6], 0xEE);  // padding untouched
    EXPECT_EQ(dst[15], 0xEE);

    std::uint32_t back[6] = {};
    ASSERT_TRUE(convertToArgb(D3DFMT_A1R5G5B5, dst, 3, 2, 8, back, 12));
    EXPECT_EQ(back[0], 0xFFF80000u);
    EXPECT_EQ(back[2], 0xFF0000F8u);
    EXPECT_EQ(back[4], 0xFFF8F8F8u);

    EXPECT_FALSE(convertFromArgb(D3DFMT_A8R8G8B8, src, 3, 2, 8, dst, 12));  // source pitch too small
    EXPECT_FALSE(convertFromArgb(D3DFMT_R8G8B8, src, 3, 2, 16, dst, 16));
    EXPECT_FALSE(convertToArgb(D3DFMT_R5G6B5, nullptr, 3, 2, 8, back, 12));
}
