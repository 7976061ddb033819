#include "platform/gfx/image_decode.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STBI_WRITE_NO_STDIO
#include <stb/stb_image_write.h>

#include <jpeglib.h>

using namespace platform;

namespace {

using Bytes = std::vector<std::uint8_t>;
using PixelFn = std::function<std::uint32_t(int, int)>;

void appendTo(void* context, void* data, int size)
{
    auto* out = static_cast<Bytes*>(context);
    out->insert(out->end(), static_cast<std::uint8_t*>(data), static_cast<std::uint8_t*>(data) + size);
}

// Every pixel distinct, alpha varying.
std::uint32_t sample(int x, int y)
{
    return std::uint32_t(255 - (x + y) * 30) << 24 | std::uint32_t(x * 40) << 16 | std::uint32_t(y * 60) << 8 |
           std::uint32_t(200 - x * 10);
}

std::uint32_t opaque(std::uint32_t argb) { return argb | 0xFF000000u; }

enum class Kind { Png, Bmp, Tga, TgaRle };

// `comp` 3 or 4 channels of sample().
Bytes stbFile(Kind kind, int w, int h, int comp)
{
    std::vector<std::uint8_t> pixels;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (int shift : {16, 8, 0, 24})
                if (shift != 24 || comp == 4)
                    pixels.push_back(std::uint8_t(sample(x, y) >> shift));
    Bytes out;
    stbi_write_tga_with_rle = kind == Kind::TgaRle;
    const bool ok = kind == Kind::Png ? stbi_write_png_to_func(appendTo, &out, w, h, comp, pixels.data(), w * comp)
                    : kind == Kind::Bmp ? stbi_write_bmp_to_func(appendTo, &out, w, h, comp, pixels.data())
                                        : stbi_write_tga_to_func(appendTo, &out, w, h, comp, pixels.data());
    EXPECT_TRUE(ok);
    return out;
}

void put(Bytes& b, std::uint32_t v, int bytes)
{
    for (int k = 0; k < bytes; ++k)
        b.push_back(std::uint8_t(v >> (8 * k)));
}

// A BI_RGB BMP: `pixel` gives a palette index (bpp <= 8) or 0xAARRGGBB
// (bpp 32). Negative height stores rows top-down.
Bytes handBmp(int w, int h, int bpp, const std::vector<std::uint32_t>& palette, const PixelFn& pixel)
{
    const int rows = std::abs(h);
    const std::uint32_t rowBytes = (std::uint32_t(w) * bpp + 31) / 32 * 4;
    const std::uint32_t offset = 14 + 40 + 4 * std::uint32_t(palette.size());
    Bytes b{'B', 'M'};
    put(b, offset + rowBytes * rows, 4);
    put(b, 0, 4);
    put(b, offset, 4);
    for (std::uint32_t v : {40u, std::uint32_t(w), std::uint32_t(h)})
        put(b, v, 4);
    put(b, 1, 2);
    put(b, std::uint32_t(bpp), 2);
    for (std::uint32_t v : {0u, rowBytes * rows, 2835u, 2835u, std::uint32_t(palette.size()), 0u})
        put(b, v, 4);
    for (std::uint32_t c : palette)
        put(b, c & 0xFFFFFF, 4);
    for (int r = 0; r < rows; ++r) {
        Bytes row(rowBytes, 0);
        for (int x = 0; x < w; ++x) {
            const std::uint32_t v = pixel(x, h > 0 ? rows - 1 - r : r);
            for (int k = 0; bpp == 32 && k < 4; ++k)
                row[x * 4 + k] = std::uint8_t(v >> (8 * k));
            if (bpp < 32)
                row[x * bpp / 8] |= std::uint8_t(v << (8 - bpp - x * bpp % 8));
        }
        b.insert(b.end(), row.begin(), row.end());
    }
    return b;
}

// A baseline greyscale JPEG of flat 8 x 8 blocks, so only DC coefficients
// are coded. (stb_image_write's JPEG writer shifts negative ints, which the
// sanitizer build rejects.)
Bytes flatJpeg(int blocksX, int blocksY, const std::function<int(int, int)>& level)
{
    const int w = blocksX * 8, h = blocksY * 8;
    Bytes b{0xFF, 0xD8, 0xFF, 0xDB, 0, 67, 0};  // quantisation table 0: all ones
    b.insert(b.end(), 64, 1);
    b.insert(b.end(), {0xFF, 0xC0, 0, 11, 8, std::uint8_t(h >> 8), std::uint8_t(h), std::uint8_t(w >> 8),
                       std::uint8_t(w), 1, 1, 0x11, 0});
    // DC table: categories 0-11 as 4-bit codes 0000-1011. AC table: EOB as "0".
    b.insert(b.end(), {0xFF, 0xC4, 0, 31, 0x00, 0, 0, 0, 12, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                       0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11});
    b.insert(b.end(), {0xFF, 0xC4, 0, 20, 0x10, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x00});
    b.insert(b.end(), {0xFF, 0xDA, 0, 8, 1, 1, 0x00, 0, 63, 0});
    std::uint32_t acc = 0;
    int bits = 0;
    auto emit = [&](std::uint32_t value, int count) {
        for (int i = count - 1; i >= 0; --i) {
            acc = acc << 1 | ((value >> i) & 1);
            if (++bits == 8) {
                b.push_back(std::uint8_t(acc));
                if (acc == 0xFF)
                    b.push_back(0);
                acc = 0;
                bits = 0;
            }
        }
    };
    int previous = 0;
    for (int by = 0; by < blocksY; ++by)
        for (int bx = 0; bx < blocksX; ++bx) {
            const int dc = 8 * (level(bx, by) - 128);
            const int diff = dc - previous;
            previous = dc;
            int category = 0;
            while ((std::abs(diff) >> category) != 0)
                ++category;
            emit(std::uint32_t(category), 4);
            emit(std::uint32_t(diff >= 0 ? diff : diff + (1 << category) - 1), category);
            emit(0, 1);  // end of block
        }
    if (bits)
        emit(0xFF, 8 - bits);
    b.insert(b.end(), {0xFF, 0xD9});
    return b;
}

void expectDecodes(const Bytes& file, int w, int h, bool alpha, ImageFileKind kind, const PixelFn& expected)
{
    DecodedImage img;
    std::string why;
    ASSERT_TRUE(decodeImage(file.data(), file.size(), img, kDefaultMaxImageDimension, &why)) << why;
    EXPECT_EQ(img.info.width, w);
    EXPECT_EQ(img.info.height, h);
    EXPECT_EQ(img.info.hasAlpha, alpha);
    EXPECT_EQ(img.info.kind, kind);
    ASSERT_EQ(img.argb.size(), std::size_t(w) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            EXPECT_EQ(img.argb[std::size_t(y) * w + x], expected(x, y)) << "pixel " << x << "," << y;
    ImageInfo info;
    ASSERT_TRUE(readImageInfo(file.data(), file.size(), info));
    EXPECT_EQ(info.width, w);
    EXPECT_EQ(info.height, h);
    EXPECT_EQ(info.hasAlpha, alpha);
}

bool decodes(const Bytes& file, int maxDimension = kDefaultMaxImageDimension)
{
    DecodedImage img;
    const bool ok = decodeImage(file.data(), file.size(), img, maxDimension);
    if (!ok) {
        EXPECT_TRUE(img.argb.empty());
    }
    return ok;
}

} // namespace

TEST(ImageDecode, PngAndTgaKeepAlphaOnlyWhenTheFileHasIt)
{
    const std::pair<Kind, ImageFileKind> kinds[] = {
        {Kind::Png, ImageFileKind::Png}, {Kind::Tga, ImageFileKind::Tga}, {Kind::TgaRle, ImageFileKind::Tga}};
    for (const auto& [writer, kind] : kinds) {
        SCOPED_TRACE(int(writer));
        expectDecodes(stbFile(writer, 5, 3, 4), 5, 3, true, kind, sample);
        expectDecodes(stbFile(writer, 5, 3, 3), 5, 3, false, kind, [](int x, int y) { return opaque(sample(x, y)); });
    }
}

TEST(ImageDecode, BmpEveryDepth)
{
    expectDecodes(handBmp(10, 3, 1, {0x000000, 0xFFFFFF}, [](int x, int y) { return std::uint32_t(x + y) % 2; }),
                  10, 3, false, ImageFileKind::Bmp,
                  [](int x, int y) { return (x + y) % 2 ? 0xFFFFFFFFu : 0xFF000000u; });

    std::vector<std::uint32_t> palette;
    for (std::uint32_t i = 0; i < 256; ++i)
        palette.push_back(i * 0x010203 % 0x1000000);
    auto index = [](int x, int y) { return std::uint32_t(x * 7 + y * 3) % 16; };
    auto colour = [&](int x, int y) { return opaque(palette[index(x, y)]); };
    expectDecodes(handBmp(5, 2, 4, {palette.begin(), palette.begin() + 16}, index), 5, 2, false,
                  ImageFileKind::Bmp, colour);
    // Width 3 pads each row; negative height stores rows top-down.
    expectDecodes(handBmp(3, 4, 8, palette, index), 3, 4, false, ImageFileKind::Bmp, colour);
    expectDecodes(handBmp(3, -4, 8, palette, index), 3, 4, false, ImageFileKind::Bmp, colour);

    // A plain 32-bit BMP's fourth byte is not alpha; a V4 header's alpha mask is.
    expectDecodes(handBmp(3, 2, 32, {}, sample), 3, 2, false, ImageFileKind::Bmp,
                  [](int x, int y) { return opaque(sample(x, y)); });
    expectDecodes(stbFile(Kind::Bmp, 3, 2, 4), 3, 2, true, ImageFileKind::Bmp, sample);
    expectDecodes(stbFile(Kind::Bmp, 3, 2, 3), 3, 2, false, ImageFileKind::Bmp,
                  [](int x, int y) { return opaque(sample(x, y)); });
}

// A 16 x 8 four-channel JPEG as Adobe writes it (inverted CMYK), through
// libjpeg: the left half one CMYK value, the right half another.
Bytes cmykJpeg(const std::uint8_t left[4], const std::uint8_t right[4])
{
    jpeg_compress_struct c;
    jpeg_error_mgr errors;
    c.err = jpeg_std_error(&errors);
    jpeg_create_compress(&c);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &buffer, &size);
    c.image_width = 16;
    c.image_height = 8;
    c.input_components = 4;
    c.in_color_space = JCS_CMYK;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 100, TRUE);
    jpeg_start_compress(&c, TRUE);
    std::uint8_t row[16 * 4];
    for (int x = 0; x < 16; ++x)
        std::memcpy(row + 4 * x, x < 8 ? left : right, 4);
    while (c.next_scanline < c.image_height) {
        JSAMPROW rows[1] = {row};
        jpeg_write_scanlines(&c, rows, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    Bytes out(buffer, buffer + size);
    std::free(buffer);
    return out;
}

bool near(std::uint32_t got, std::uint32_t want)
{
    for (int shift : {24, 16, 8, 0})
        if (std::abs(int((got >> shift) & 0xFF) - int((want >> shift) & 0xFF)) > 3)
            return false;
    return true;
}

TEST(ImageDecode, JpegRoughly)
{
    const int levels[2][3] = {{30, 200, 120}, {255, 0, 77}};
    expectDecodes(flatJpeg(3, 2, [&](int bx, int by) { return levels[by][bx]; }), 24, 16, false,
                  ImageFileKind::Jpeg, [&](int x, int y) {
                      return 0xFF000000u | 0x010101u * std::uint32_t(levels[y / 8][x / 8]);
                  });

    // Inverted CMYK: each colour channel times K.
    const std::uint8_t left[4] = {255, 128, 0, 255}, right[4] = {200, 255, 100, 128};
    const Bytes cmyk = cmykJpeg(left, right);
    DecodedImage img;
    ASSERT_TRUE(decodeImage(cmyk.data(), cmyk.size(), img));
    ASSERT_EQ(img.argb.size(), 16u * 8u);
    EXPECT_TRUE(near(img.argb[3 * 16 + 2], 0xFFFF8000u)) << std::hex << img.argb[3 * 16 + 2];
    EXPECT_TRUE(near(img.argb[3 * 16 + 13], 0xFF648032u)) << std::hex << img.argb[3 * 16 + 13];
}

TEST(ImageDecode, EveryTruncationIsInvalid)
{
    const std::vector<Bytes> files = {
        stbFile(Kind::Png, 6, 5, 4),
        flatJpeg(2, 2, [](int x, int y) { return 60 + 40 * x + 90 * y; }),
        stbFile(Kind::Bmp, 6, 5, 3),
        handBmp(7, 3, 4, std::vector<std::uint32_t>(16, 0x123456), [](int, int) { return 5u; }),
        stbFile(Kind::Tga, 6, 5, 4),
        stbFile(Kind::TgaRle, 6, 5, 3),
    };
    for (const Bytes& file : files) {
        ASSERT_TRUE(decodes(file));
        for (std::size_t n = 0; n < file.size(); ++n)
            ASSERT_FALSE(decodes(Bytes(file.begin(), file.begin() + std::ptrdiff_t(n))))
                << "prefix of " << n << " of " << file.size() << " bytes, starting " << int(file[0]);
    }
}

TEST(ImageDecode, GarbageIsInvalidAndCorruptionIsSafe)
{
    DecodedImage none;
    EXPECT_FALSE(decodeImage(nullptr, 10, none));
    const std::string text = "not an image at all, just words";
    std::string why;
    EXPECT_FALSE(decodeImage(text.data(), text.size(), none, kDefaultMaxImageDimension, &why));
    EXPECT_EQ(why, "unknown image kind");
    EXPECT_FALSE(decodes(Bytes{'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0, 0, 0}));
    EXPECT_FALSE(decodes(Bytes(64, 0)));

    // A Huffman table of 300 codes (code lengths alone allow it) overruns
    // the decoder's 256-entry tables unless refused up front.
    Bytes jpeg = flatJpeg(1, 1, [](int, int) { return 99; });
    Bytes table = {0xFF, 0xC4, 0x01, 0x3F, 0x01, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 45, 255};
    table.resize(table.size() + 300, 0);
    jpeg.insert(jpeg.begin() + 2, table.begin(), table.end());
    EXPECT_FALSE(decodeImage(jpeg.data(), jpeg.size(), none, kDefaultMaxImageDimension, &why));
    EXPECT_NE(why.find("Huffman"), std::string::npos) << why;

    // Random byte damage must never read out of bounds (the sanitizers
    // watch); whatever still decodes must be self-consistent.
    const std::vector<Bytes> files = {
        stbFile(Kind::Png, 4, 4, 4),
        flatJpeg(2, 1, [](int x, int) { return 10 + 200 * x; }),
        handBmp(5, 3, 8, std::vector<std::uint32_t>(256, 0x445566), [](int x, int) { return std::uint32_t(x); }),
        stbFile(Kind::TgaRle, 4, 4, 4),
    };
    std::srand(7);
    for (const Bytes& good : files)
        for (int i = 0; i < 300; ++i) {
            Bytes bad = good;
            for (int k = 1 + std::rand() % 3; k > 0; --k)
                bad[std::size_t(std::rand()) % bad.size()] = std::uint8_t(std::rand());
            DecodedImage img;
            if (decodeImage(bad.data(), bad.size(), img)) {
                EXPECT_EQ(img.argb.size(), std::size_t(img.info.width) * std::size_t(img.info.height));
            }
        }
}

TEST(ImageDecode, OversizedImagesAreRefusedBeforeDecoding)
{
    const Bytes file = stbFile(Kind::Png, 16, 16, 4);
    EXPECT_TRUE(decodes(file, 16));
    EXPECT_FALSE(decodes(file, 15));

    auto claiming = [&](std::uint32_t w, std::uint32_t h) {
        Bytes b = file;
        for (int k = 0; k < 4; ++k) {
            b[16 + k] = std::uint8_t(w >> (24 - 8 * k));  // IHDR width and height, big-endian
            b[20 + k] = std::uint8_t(h >> (24 - 8 * k));
        }
        return b;
    };
    std::string why;
    ImageInfo info;
    const Bytes wide = claiming(9000, 10);
    EXPECT_FALSE(readImageInfo(wide.data(), wide.size(), info, kDefaultMaxImageDimension, &why));
    EXPECT_NE(why.find("9000"), std::string::npos) << why;
    EXPECT_FALSE(decodes(claiming(8192, 8192)));  // within each side, above the pixel cap
    EXPECT_FALSE(decodes(claiming(0, 5)));
    EXPECT_FALSE(decodes(claiming(0x80000000u, 1)));
}
