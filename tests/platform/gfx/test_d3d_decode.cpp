// Textures from image files in memory, on the recording double.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "platform/gfx/d3d8_recording.h"
#include "platform/gfx/d3dx8.h"

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STBI_WRITE_NO_STDIO
#include <stb/stb_image_write.h>
#pragma GCC diagnostic pop

using namespace platform;

namespace {

using Bytes = std::vector<std::uint8_t>;

void append(void* context, void* data, int size)
{
    auto* out = static_cast<Bytes*>(context);
    out->insert(out->end(), static_cast<std::uint8_t*>(data), static_cast<std::uint8_t*>(data) + size);
}

// RGBA pixels (0xAARRGGBB words) as a PNG, or as a 24-bit BMP without alpha.
Bytes encode(int w, int h, const std::vector<std::uint32_t>& argb, bool png)
{
    std::vector<std::uint8_t> rgba;
    for (std::uint32_t p : argb)
        for (int shift : {16, 8, 0, 24})
            rgba.push_back(std::uint8_t(p >> shift));
    Bytes out;
    if (png)
        stbi_write_png_to_func(append, &out, w, h, 4, rgba.data(), w * 4);
    else {
        std::vector<std::uint8_t> rgb;
        for (std::size_t i = 0; i < rgba.size(); i += 4)
            rgb.insert(rgb.end(), rgba.begin() + std::ptrdiff_t(i), rgba.begin() + std::ptrdiff_t(i) + 3);
        stbi_write_bmp_to_func(append, &out, w, h, 3, rgb.data());
    }
    return out;
}

class Decoding : public ::testing::Test {
protected:
    void SetUp() override
    {
        rec = std::make_shared<Recorder>();
        d3d.reset(createRecordingDirect3D(rec));
        D3DPRESENT_PARAMETERS p;
        p.BackBufferWidth = 16;
        p.BackBufferHeight = 16;
        ASSERT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, 0, &p, dev.out()), D3D_OK);
    }

    HRESULT load(const Bytes& file, D3DFORMAT format, GfxRef<GfxTexture>& out, D3DXIMAGE_INFO* info = nullptr)
    {
        return D3DXCreateTextureFromFileInMemoryEx(dev.get(), file.data(), std::uint32_t(file.size()), D3DX_DEFAULT,
                                                   D3DX_DEFAULT, 1, 0, format, D3DPOOL_MANAGED, D3DX_FILTER_NONE,
                                                   D3DX_FILTER_NONE, 0, info, nullptr, out.out());
    }

    // Level 0 decoded to ARGB, row by row.
    static std::vector<std::uint32_t> pixels(GfxTexture* t)
    {
        D3DSURFACE_DESC d;
        t->GetLevelDesc(0, &d);
        D3DLOCKED_RECT l;
        std::vector<std::uint32_t> out;
        if (t->LockRect(0, &l, nullptr, D3DLOCK_READONLY) != D3D_OK)
            return out;
        const int bpp = bytesPerPixel(d.Format);
        for (std::uint32_t y = 0; y < d.Height; ++y)
            for (std::uint32_t x = 0; x < d.Width; ++x)
                out.push_back(decodePixel(d.Format, static_cast<std::uint8_t*>(l.pBits) + y * l.Pitch + x * bpp));
        t->UnlockRect(0);
        return out;
    }

    static D3DFORMAT formatOf(GfxTexture* t)
    {
        D3DSURFACE_DESC d;
        t->GetLevelDesc(0, &d);
        return d.Format;
    }

    std::shared_ptr<Recorder> rec;
    GfxRef<GfxDirect3D> d3d;
    GfxRef<GfxDevice> dev;
};

TEST_F(Decoding, PngAlphaIsKeptAndFormatZeroFollowsTheFile)
{
    const std::vector<std::uint32_t> px = {0x00FF0000, 0x8000FF00, 0xFF0000FF, 0x40FFFFFF};
    GfxRef<GfxTexture> t;
    D3DXIMAGE_INFO info;
    ASSERT_EQ(load(encode(2, 2, px, true), D3DFMT_UNKNOWN, t, &info), D3D_OK);
    EXPECT_EQ(formatOf(t.get()), D3DFMT_A8R8G8B8);
    EXPECT_EQ(pixels(t.get()), px);
    EXPECT_EQ(info.Width, 2u);
    EXPECT_EQ(info.Format, D3DFMT_A8R8G8B8);
    EXPECT_EQ(info.ImageFileFormat, D3DXIFF_PNG);

    ASSERT_EQ(load(encode(2, 1, {0xFF102030, 0xFF405060}, false), D3DFMT_UNKNOWN, t, &info), D3D_OK);
    EXPECT_EQ(formatOf(t.get()), D3DFMT_X8R8G8B8);
    EXPECT_EQ(info.ImageFileFormat, D3DXIFF_BMP);
    EXPECT_EQ(pixels(t.get()), (std::vector<std::uint32_t>{0xFF102030, 0xFF405060}));
}

TEST_F(Decoding, SixteenBitFormatsTruncate)
{
    GfxRef<GfxTexture> t;
    ASSERT_EQ(load(encode(1, 1, {0xFFFFFFFF}, true), D3DFMT_R5G6B5, t), D3D_OK);
    D3DLOCKED_RECT l;
    ASSERT_EQ(t->LockRect(0, &l, nullptr, D3DLOCK_READONLY), D3D_OK);
    std::uint16_t v = 0;
    std::memcpy(&v, l.pBits, 2);
    EXPECT_EQ(v, 0xFFFF);
    t->UnlockRect(0);
    ASSERT_EQ(load(encode(1, 1, {0x80FFFFFF}, true), D3DFMT_A4R4G4B4, t), D3D_OK);
    EXPECT_EQ(pixels(t.get())[0], 0x80F0F0F0u);
    ASSERT_EQ(load(encode(1, 1, {0xFF123456}, true), D3DFMT_DXT5, t), D3D_OK);
    EXPECT_EQ(formatOf(t.get()), D3DFMT_A8R8G8B8);
}

TEST_F(Decoding, TruncatedGarbageAndOversizedAreInvalidData)
{
    const Bytes good = encode(32, 32, std::vector<std::uint32_t>(32 * 32, 0xFF336699), true);
    GfxRef<GfxTexture> t;
    EXPECT_EQ(load(Bytes(good.begin(), good.begin() + std::ptrdiff_t(good.size() / 2)), D3DFMT_UNKNOWN, t),
              D3DXERR_INVALIDDATA);
    EXPECT_FALSE(t);
    EXPECT_EQ(load(Bytes(200, 0x5A), D3DFMT_UNKNOWN, t), D3DXERR_INVALIDDATA);
    EXPECT_EQ(load(Bytes{0x89, 'P', 'N'}, D3DFMT_UNKNOWN, t), D3DXERR_INVALIDDATA);

    // Above the device's maximum texture size.
    rec->halCaps.MaxTextureWidth = rec->halCaps.MaxTextureHeight = 16;
    GfxRef<GfxDevice> small;
    D3DPRESENT_PARAMETERS p;
    p.BackBufferWidth = p.BackBufferHeight = 16;
    ASSERT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, 0, &p, small.out()), D3D_OK);
    EXPECT_EQ(D3DXCreateTextureFromFileInMemoryEx(small.get(), good.data(), std::uint32_t(good.size()), D3DX_DEFAULT,
                                                  D3DX_DEFAULT, 1, 0, D3DFMT_UNKNOWN, D3DPOOL_MANAGED,
                                                  D3DX_FILTER_NONE, D3DX_FILTER_NONE, 0, nullptr, nullptr, t.out()),
              D3DXERR_INVALIDDATA);
    EXPECT_FALSE(t);
}

TEST_F(Decoding, PowerOfTwoPutsTheImageTopLeftWithZerosAround)
{
    dev->setPowerOfTwoTextures(true);
    std::vector<std::uint32_t> px(3 * 5, 0xFFABCDEF);
    GfxRef<GfxTexture> t;
    D3DXIMAGE_INFO info;
    ASSERT_EQ(load(encode(3, 5, px, true), D3DFMT_A8R8G8B8, t, &info), D3D_OK);
    D3DSURFACE_DESC d;
    t->GetLevelDesc(0, &d);
    EXPECT_EQ(d.Width, 4u);
    EXPECT_EQ(d.Height, 8u);
    EXPECT_EQ(info.Width, 3u);
    EXPECT_EQ(info.Height, 5u);
    const auto got = pixels(t.get());
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(got[std::size_t(y) * 4 + x], (x < 3 && y < 5) ? 0xFFABCDEFu : 0u) << x << "," << y;

    GfxRef<GfxTexture> empty;
    ASSERT_EQ(D3DXCreateTexture(dev.get(), 100, 3, 1, 0, D3DFMT_UNKNOWN, D3DPOOL_MANAGED, empty.out()), D3D_OK);
    empty->GetLevelDesc(0, &d);
    EXPECT_EQ(d.Width, 128u);
    EXPECT_EQ(d.Height, 4u);
    EXPECT_EQ(d.Format, D3DFMT_A8R8G8B8);
    for (std::uint32_t v : pixels(empty.get()))
        ASSERT_EQ(v, 0u);  // a new texture starts zeroed
}

TEST_F(Decoding, MatrixAndErrorNames)
{
    D3DXMATRIX m;
    ASSERT_EQ(D3DXMatrixOrthoOffCenterLH(&m, 0, 640, 480, 0, 0, 1), &m);
    // Pixel (640, 480) goes to clip (1, -1); the origin to (-1, 1).
    EXPECT_FLOAT_EQ(640 * m.m[0][0] + m.m[3][0], 1.0f);
    EXPECT_FLOAT_EQ(480 * m.m[1][1] + m.m[3][1], -1.0f);
    EXPECT_FLOAT_EQ(m.m[3][0], -1.0f);
    EXPECT_FLOAT_EQ(m.m[3][1], 1.0f);
    EXPECT_STREQ(dxErrorName(D3DERR_INVALIDCALL), "D3DERR_INVALIDCALL");
    EXPECT_STREQ(dxErrorName(HRESULT(0x88760868u)), "D3DERR_DEVICELOST");
    EXPECT_STREQ(dxErrorName(HRESULT(0x88760869u)), "D3DERR_DEVICENOTRESET");
    EXPECT_STREQ(dxErrorName(HRESULT(0x88760827u)), "D3DERR_DRIVERINTERNALERROR");
    EXPECT_STREQ(dxErrorName(D3DXERR_INVALIDDATA), "D3DXERR_INVALIDDATA");
    EXPECT_STREQ(dxErrorName(HRESULT(0x12345678)), "Unknown error");
}

} // namespace
