// Pixel table, loading (decoder and JNG), pixel reads and locks.
#include <cstdlib>

#include "test_image_fixture.h"

#include "support/jng_writer.h"

using imgtest::solid;

namespace {

TEST(ImagePixelTable, DecodeAndEncodeFollowTheTable)
{
    EXPECT_EQ(image_decodePixel(D3DFMT_R5G6B5, 0xFFFF), 0xFFF8FCF8u);
    EXPECT_EQ(image_decodePixel(D3DFMT_A1R5G5B5, 0xFFFF), 0xFFF8F8F8u);
    EXPECT_EQ(image_decodePixel(D3DFMT_A1R5G5B5, 0x7FFF), 0x00F8F8F8u);
    EXPECT_EQ(image_decodePixel(D3DFMT_A4R4G4B4, 0xF8A1), 0xF080A010u);

    const std::uint32_t values[] = {0, 7, 8, 127, 128, 248, 255};
    for (std::uint32_t a : values) {
        for (std::uint32_t c : values) {
            const std::uint32_t r = c, g = 255 - c, b = c ^ 0x5A;
            std::uint32_t v = 0;
            ASSERT_TRUE(image_encodePixel(D3DFMT_A8R8G8B8, a, r, g, b, &v));
            EXPECT_EQ(image_decodePixel(D3DFMT_A8R8G8B8, v), a << 24 | r << 16 | g << 8 | b);
            ASSERT_TRUE(image_encodePixel(D3DFMT_R5G6B5, a, r, g, b, &v));
            EXPECT_EQ(image_decodePixel(D3DFMT_R5G6B5, v),
                      0xFF000000u | (r & 0xF8) << 16 | (g & 0xFC) << 8 | (b & 0xF8));
            ASSERT_TRUE(image_encodePixel(D3DFMT_A1R5G5B5, a, r, g, b, &v));
            EXPECT_EQ(image_decodePixel(D3DFMT_A1R5G5B5, v),
                      (a >= 128 ? 0xFF000000u : 0u) | (r & 0xF8) << 16 | (g & 0xF8) << 8 | (b & 0xF8));
            ASSERT_TRUE(image_encodePixel(D3DFMT_A4R4G4B4, a, r, g, b, &v));
            EXPECT_EQ(image_decodePixel(D3DFMT_A4R4G4B4, v),
                      (a & 0xF0) << 24 | (r & 0xF0) << 16 | (g & 0xF0) << 8 | (b & 0xF0));
        }
    }
    std::uint32_t v = 0;
    ASSERT_TRUE(image_encodePixel(D3DFMT_A1R5G5B5, 127, 0, 0, 0, &v));
    EXPECT_EQ(v & 0x8000, 0u);
    ASSERT_TRUE(image_encodePixel(D3DFMT_A1R5G5B5, 128, 0, 0, 0, &v));
    EXPECT_EQ(v & 0x8000, 0x8000u);

    for (D3DFORMAT f : {D3DFMT_UNKNOWN, D3DFMT_R8G8B8, D3DFMT_X8R8G8B8, D3DFMT_DXT1}) {
        EXPECT_EQ(image_decodePixel(f, 0xFFFFFFFF), 0u) << f;
        v = 0x12345678;
        EXPECT_FALSE(image_encodePixel(f, 255, 255, 255, 255, &v)) << f;
        EXPECT_EQ(v, 0x12345678u);
    }
}

class ImageLoading : public imgtest::RecordingTest {
protected:
    void configureRecorder(platform::Recorder& r) override
    {
        r.halCaps.MaxTextureWidth = r.halCaps.MaxTextureHeight = 64;
    }

    // 16 x 8: a red left half and a blue right half with alpha 0x40, in
    // whole JPEG blocks so the colours survive compression.
    static std::vector<std::uint32_t> twoBlocks()
    {
        std::vector<std::uint32_t> px(16 * 8);
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 16; ++x)
                px[std::size_t(y * 16 + x)] = x < 8 ? 0xFFFF0000u : 0x400000FFu;
        return px;
    }
};

::testing::AssertionResult channelsNear(std::uint32_t got, std::uint32_t want, int tolerance)
{
    for (int shift : {24, 16, 8, 0}) {
        const int g = int((got >> shift) & 0xFF), w = int((want >> shift) & 0xFF);
        if (std::abs(g - w) > tolerance)
        {
            char text[64];
            std::snprintf(text, sizeof text, "got 0x%08X, want 0x%08X", got, want);
            return ::testing::AssertionFailure() << text;
        }
    }
    return ::testing::AssertionSuccess();
}

TEST_F(ImageLoading, ShortFilesGoToTheDecoderNotToTheJngReader)
{
    for (const std::string& bytes : {std::string("abc"), std::string("\x8BJN", 3)}) {
        rec->clear();
        const std::string path = putFile("short.png", bytes);
        aImage img(path, D3DFMT_A8R8G8B8, D3DFMT_A8R8G8B8);
        ASSERT_EQ(rec->count("D3DXCreateTextureFromFileInMemoryEx"), 1u);
        EXPECT_EQ(rec->named("D3DXCreateTextureFromFileInMemoryEx")[0]->args[0], 3);
        const std::string log = newLog();
        EXPECT_NE(log.find("Texture \"" + path + "\" load failed (D3DXERR_INVALIDDATA)"), std::string::npos) << log;
        EXPECT_EQ(log.find("createFromMNG"), std::string::npos);
        EXPECT_EQ(img.getTexture(), nullptr);
    }
}

TEST_F(ImageLoading, DecoderFilesTakeTheFormatOfTheColumnInUseAndTheirSize)
{
    const std::string path = putFile("six.png", jng_writer::buildPng(10, 6, solid(10, 6, 0xFFFFFFFF)));
    graph->m_use32Bit = false;
    aImage low(path, D3DFMT_R5G6B5, D3DFMT_A8R8G8B8);
    EXPECT_EQ(storedFormat(low.getTexture()), D3DFMT_R5G6B5);
    EXPECT_EQ(low.getPixel(0, 0), 0xFFF8FCF8u);
    graph->m_use32Bit = true;
    graph->m_device->setPowerOfTwoTextures(true);
    aImage high(path, D3DFMT_R5G6B5, D3DFMT_A8R8G8B8);
    EXPECT_EQ(storedFormat(high.getTexture()), D3DFMT_A8R8G8B8);
    EXPECT_EQ(high.getPixel(9, 5), 0xFFFFFFFFu);
    EXPECT_EQ((std::vector<int>{high.getWidth(), high.getHeight(), high.getData()->m_base.texWidth,
                                high.getData()->m_base.texHeight}),
              (std::vector<int>{10, 6, 16, 8}));
}

TEST_F(ImageLoading, JngComesOutInEveryFormatWithItsChannelsInOrder)
{
    struct Case {
        D3DFORMAT format;
        // Expected decoded pixels: left, right with alpha 0x40, right opaque.
        std::uint32_t red, blueWithAlpha, blueOpaque;
    };
    const Case cases[] = {
        {D3DFMT_A8R8G8B8, 0xFFFF0000, 0x400000FF, 0xFF0000FF}, {D3DFMT_X8R8G8B8, 0xFFFF0000, 0xFF0000FF, 0xFF0000FF},
        {D3DFMT_R5G6B5, 0xFFF80000, 0xFF0000F8, 0xFF0000F8},   {D3DFMT_A1R5G5B5, 0xFFF80000, 0x000000F8, 0xFF0000F8},
        {D3DFMT_A4R4G4B4, 0xF0F00000, 0x400000F0, 0xF00000F0},
    };
    for (bool alpha : {true, false}) {
        const std::string path = putFile(alpha ? "alpha.jng" : "plain.jng",
                                         jng_writer::buildJng(16, 8, twoBlocks(), alpha));
        for (const Case& c : cases) {
            aImage img(path, c.format, c.format);
            ASSERT_NE(img.getTexture(), nullptr) << c.format << newLog();
            EXPECT_EQ(storedFormat(img.getTexture()), c.format);
            EXPECT_EQ(img.getWidth(), 16);
            EXPECT_EQ(img.getHeight(), 8);
            const auto px = texels(img.getTexture(), 16, 8);
            const std::uint32_t right = alpha ? c.blueWithAlpha : c.blueOpaque;
            // JPEG keeps a pure colour within a few steps of 255.
            EXPECT_TRUE(channelsNear(px[3 * 16 + 2], c.red, 8)) << c.format << " alpha " << alpha;
            EXPECT_TRUE(channelsNear(px[3 * 16 + 12], right, 8)) << c.format << " alpha " << alpha;
        }
    }
    EXPECT_EQ(newLog().find("error"), std::string::npos);
}

TEST_F(ImageLoading, JngWithFormatsOutsideTheTableStillGetsItsPixels)
{
    const std::string path = putFile("z.jng", jng_writer::buildJng(16, 8, twoBlocks(), false));
    for (D3DFORMAT f : {D3DFMT_UNKNOWN, D3DFMT_R8G8B8, D3DFMT_DXT5}) {
        aImage img(path, f, f);
        ASSERT_NE(img.getTexture(), nullptr);
        const auto px = texels(img.getTexture(), 16, 8);
        EXPECT_TRUE(channelsNear(px[0] | 0xFF000000u, 0xFFFF0000u, 8)) << f;
        // Hit tests on such images read 0 by design.
        EXPECT_EQ(img.getPixel(0, 0), 0u);
    }
}

TEST_F(ImageLoading, MissingCorruptAndOversizedFilesLogAndDrawNothing)
{
    const std::string good = jng_writer::buildJng(16, 8, twoBlocks(), true);
    const std::string cases[] = {
        "",                                               // missing
        putFile("bad.png", std::string(200, '\x42')),     // not an image
        putFile("garbage.jng", std::string("\x8BJNG\r\n\x1A\n", 8) + std::string(100, '\x55')),
        putFile("cut.jng", good.substr(0, good.size() / 2)),
        putFile("huge.jng", jng_writer::buildJng(80, 8, solid(80, 8, 0xFFFFFFFF), false)),
    };
    const std::string expected[] = {
        "load failed (D3DERR_INVALIDCALL)",
        "load failed (D3DXERR_INVALIDDATA)",
        "aImage::createFromMNG - mnglib init/read error!",
        "aImage::createFromMNG - mnglib init/read error!",
        "aImage::createFromMNG - \"" + test_env::home() + "/huge.jng\": image size 80x8 not supported",
    };
    for (int i = 0; i < 5; ++i) {
        const std::string path = cases[i].empty() ? test_env::home() + "/none.png" : cases[i];
        aImage img(path, D3DFMT_A8R8G8B8, D3DFMT_A8R8G8B8);
        const std::string log = newLog();
        EXPECT_NE(log.find(expected[i]), std::string::npos) << i << ": " << log;
        EXPECT_EQ(img.getTexture(), nullptr) << i;
        EXPECT_EQ(img.getPixel(0, 0), 0u);
        rec->clear();
        img.draw(0.0f, 0.0f);
        EXPECT_EQ(rec->count("Sprite.Draw"), 0u) << i;
    }
}

TEST_F(ImageLoading, JngHeadersAreCheckedBeforeLibmngAndItsBuffersNeverLeak)
{
    const std::string good = jng_writer::buildJng(16, 8, twoBlocks(), true);
    // A signature and a JHDR alone declaring 255 x 0xFFFFFF06 pixels (libmng
    // would ask for about 4 GiB), a width past the largest texture, and a
    // later header that is too large.
    const std::string bomb = jng_writer::withJngHeaderSize(good.substr(0, 36), 255, 0xFFFFFF06);
    const std::string wide = jng_writer::withJngHeaderSize(good, 0x1000000, 8);
    const std::string laterHeader = good.substr(0, good.size() - 12) +
                                    jng_writer::withJngHeaderSize(good, 16, 65).substr(8, 28) +
                                    good.substr(good.size() - 12);
    const std::string refused[][2] = {
        {putFile("bomb.jng", bomb), "image size 255x4294967046 not supported"},
        {putFile("wide.jng", wide), "image size 16777216x8 not supported"},
        {putFile("zero.jng", jng_writer::withJngHeaderSize(good, 0, 8)), "image size 0x8 not supported"},
        {putFile("twice.jng", laterHeader), "image size 16x65 not supported"},
    };
    ASSERT_EQ(bomb.size(), 36u);
    for (const auto& [path, why] : refused) {
        aImage img(path, D3DFMT_A8R8G8B8, D3DFMT_A8R8G8B8);
        const std::string log = newLog();
        EXPECT_NE(log.find("aImage::createFromMNG - \"" + path + "\": " + why), std::string::npos) << log;
        EXPECT_EQ(log.find("mnglib"), std::string::npos) << log;
        EXPECT_EQ(img.getTexture(), nullptr);
    }

    // A JHDR wider than its JPEG fails inside libmng after it took its row
    // buffers; they must not outlive the load (the leak check at exit
    // would report them).
    for (std::uint32_t width : {17u, 64u}) {
        aImage img(putFile("mismatch.jng", jng_writer::withJngHeaderSize(good, width, 8)), D3DFMT_A8R8G8B8,
                   D3DFMT_A8R8G8B8);
        EXPECT_NE(newLog().find("aImage::createFromMNG - mnglib init/read error!"), std::string::npos);
        EXPECT_EQ(img.getTexture(), nullptr);
    }
    // Bytes after the IEND are not libmng's business, nor ours.
    aImage trailing(putFile("trailing.jng", good + "\x7F\xFF\xFF\xFFJHDR"), D3DFMT_A8R8G8B8, D3DFMT_A8R8G8B8);
    EXPECT_NE(trailing.getTexture(), nullptr) << newLog();
}

TEST_F(ImageLoading, GetPixelReadsInsideTheImageOnly)
{
    std::vector<std::uint32_t> px = solid(10, 6, 0xFF000000);
    px[0] = 0x80112233;
    px[9] = 0xFF0000FF;
    px[5 * 10] = 0xFF00FF00;
    const std::string path = putFile("p.png", jng_writer::buildPng(10, 6, px));
    aImage img(path, D3DFMT_A8R8G8B8, D3DFMT_A8R8G8B8);
    EXPECT_EQ(img.getPixel(0, 0), 0x80112233u);
    EXPECT_EQ(img.getPixel(9, 0), 0xFF0000FFu);
    EXPECT_EQ(img.getPixel(0, 5), 0xFF00FF00u);
    rec->clear();
    for (auto [x, y] : {std::pair{-1, 0}, {0, -1}, {10, 0}, {0, 6}, {100000, 3}})
        EXPECT_EQ(img.getPixel(x, y), 0u) << x << "," << y;
    EXPECT_EQ(rec->count("Texture.LockRect"), 0u);
    EXPECT_EQ(newLog(), "");

    aImage unknown(path, D3DFMT_UNKNOWN, D3DFMT_UNKNOWN);
    ASSERT_NE(unknown.getTexture(), nullptr);
    EXPECT_EQ(unknown.getPixel(9, 0), 0u);
    aImage none;
    EXPECT_EQ(none.getPixel(0, 0), 0u);
}

TEST_F(ImageLoading, LockRefusesOtherFormatsAndRectanglesOutsideTheImage)
{
    const std::string path = putFile("l.png", jng_writer::buildPng(10, 10, solid(10, 10, 0xFF101010)));
    aImage low(path, D3DFMT_R5G6B5, D3DFMT_R5G6B5);
    aImage::LockInfo info;
    EXPECT_FALSE(low.lock(info, nullptr, false));
    EXPECT_NE(newLog().find("Image format != A8R8G8B8, lock failed!"), std::string::npos);

    aImage img(path, D3DFMT_A8R8G8B8, D3DFMT_A8R8G8B8);
    for (aRect r : {aRect(-1, 0, 2, 2), aRect(9, 9, 2, 2), aRect(0, 0, 11, 1), aRect(2, 2, 0, 3)}) {
        EXPECT_FALSE(img.lock(info, &r, false)) << r.x << "," << r.y << " " << r.width << "x" << r.height;
        EXPECT_EQ(info.data, nullptr);
        EXPECT_NE(newLog().find("Image lock failed!"), std::string::npos);
    }
    ASSERT_TRUE(img.lock(info, nullptr, true));
    EXPECT_EQ(info.rect, aRect(0, 0, 10, 10));
    EXPECT_EQ(info.data[0], 0xFF101010u);
    img.unlock();
}

TEST_F(ImageLoading, SetColorAtWritesInsideTheLockedRectangle)
{
    aImage img(10, 10);
    ASSERT_NE(img.getTexture(), nullptr);
    aImage::LockInfo info;
    const aRect r(2, 3, 4, 4);
    ASSERT_TRUE(img.lock(info, &r, false));
    EXPECT_EQ(info.pitch, 10u);
    info.SetColorAt(1, 2, 0xFFABCDEF);
    info.SetColorAt(3, 3, 0xFF000001);
    info.SetColorAt(4, 0, 0xFFFFFFFF);  // outside: the assertion, nothing written
    img.unlock();
    EXPECT_EQ(img.getPixel(3, 5), 0xFFABCDEFu);
    EXPECT_EQ(img.getPixel(5, 6), 0xFF000001u);
    EXPECT_EQ(img.getPixel(6, 3), 0u);
    EXPECT_NE(newLog().find("x < rect.width"), std::string::npos);

    aImage::LockInfo empty;
    empty.SetColorAt(0, 0, 1);
    EXPECT_NE(newLog().find("data"), std::string::npos);
}

} // namespace
