// D3DX fonts on the GL device.
#include <algorithm>
#include <cstring>

#include "test_d3d_fixture.h"

using namespace platform;

namespace {

class Fonts : public d3dtest::GlDeviceTest {
protected:
    GfxRef<GfxFont> font(int height, int weight, const char* face = "Arial")
    {
        LOGFONTA lf;
        lf.lfHeight = height;
        lf.lfWeight = weight;
        lf.lfCharSet = DEFAULT_CHARSET;
        std::strncpy(lf.lfFaceName, face, sizeof lf.lfFaceName - 1);
        GfxRef<GfxFont> f;
        EXPECT_EQ(D3DXCreateFontIndirect(dev.get(), &lf, f.out()), D3D_OK);
        return f;
    }

    int calcWidth(GfxFont* f, const char* text)
    {
        RECT r{0, 0, 1000, 100};
        EXPECT_GT(f->DrawTextA(text, -1, &r, DT_CALCRECT, 0xFFFFFFFF), 0);
        return r.right - r.left;
    }

    struct Ink {
        int left = 1 << 20, top = 1 << 20, right = -1, bottom = -1;
        bool any() const { return right >= 0; }
    };
    Ink ink()
    {
        Ink k;
        for (auto p : lit()) {
            k.left = std::min(k.left, p.first);
            k.right = std::max(k.right, p.first);
            k.top = std::min(k.top, p.second);
            k.bottom = std::max(k.bottom, p.second);
        }
        return k;
    }
    void clear() { dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0); }
};

TEST_F(Fonts, CentredTextSitsInTheMiddle)
{
    auto f = font(-10, FW_BOLD);
    const int width = calcWidth(f.get(), "LOADING");
    ASSERT_LT(width, 60);
    RECT r{0, 10, 63, 30};
    ASSERT_GT(f->DrawTextA("LOADING", -1, &r, 0, 0xFFFFFFFF), 0);
    const Ink left = ink();
    ASSERT_TRUE(left.any());
    clear();
    ASSERT_GT(f->DrawTextA("LOADING", -1, &r, DT_CENTER, 0xFFFFFFFF), 0);
    const Ink centred = ink();
    const int shift = (63 - width) / 2;
    EXPECT_NEAR(centred.left - left.left, shift, 1);
    EXPECT_NEAR(centred.right - left.right, shift, 1);
    EXPECT_EQ(centred.top, left.top);
}

TEST_F(Fonts, CalcRectGrowsWithTheTextAndMatchesTheInk)
{
    auto f = font(-15, FW_NORMAL);
    const int w2 = calcWidth(f.get(), "HH"), w4 = calcWidth(f.get(), "HHHH");
    EXPECT_GT(w4, w2);
    RECT r{5, 5, 60, 40};
    const RECT before = r;
    f->DrawTextA("HHHH", -1, &r, 0, 0xFFFFFFFF);
    EXPECT_EQ(std::memcmp(&r, &before, sizeof r), 0);  // drawing leaves the rect alone
    const Ink k = ink();
    ASSERT_TRUE(k.any());
    EXPECT_GE(k.left, 5);
    EXPECT_NEAR(k.right + 1 - 5, w4, 1);

    // DT_CALCRECT draws nothing and sets right and bottom.
    clear();
    RECT calc{5, 5, 6, 6};
    const int h = f->DrawTextA("HHHH\nH", -1, &calc, DT_CALCRECT, 0xFFFFFFFF);
    EXPECT_FALSE(ink().any());
    EXPECT_EQ(calc.left, 5);
    EXPECT_EQ(calc.right, 5 + w4);
    EXPECT_EQ(calc.bottom - calc.top, h);
    EXPECT_GT(h, 15);
}

TEST_F(Fonts, BoldIsWiderAndCyrillicDraws)
{
    auto normal = font(-15, FW_NORMAL);
    auto bold = font(-15, FW_BOLD);
    EXPECT_GT(calcWidth(bold.get(), "LOADING"), calcWidth(normal.get(), "LOADING"));

    const char* privet = "\xcf\xf0\xe8\xe2\xe5\xf2";  // Cyrillic in Windows-1251
    RECT r{0, 0, 64, 20};
    EXPECT_GT(normal->DrawTextA(privet, -1, &r, 0, 0xFFFFFFFF), 0);
    EXPECT_GT(lit().size(), 20u);
    EXPECT_GT(calcWidth(normal.get(), privet), 20);
}

TEST_F(Fonts, TextIsClippedToItsRect)
{
    auto f = font(-15, FW_NORMAL);
    RECT r{10, 10, 30, 18};
    f->DrawTextA("clipped text\nsecond line", -1, &r, 0, 0xFFFFFFFF);
    const Ink k = ink();
    ASSERT_TRUE(k.any());
    EXPECT_GE(k.left, 10);
    EXPECT_GE(k.top, 10);
    EXPECT_LT(k.right, 30);
    EXPECT_LT(k.bottom, 18);
}

TEST_F(Fonts, DeviceStateIsUnchangedAfterDrawing)
{
    auto f = font(16, FW_NORMAL);
    auto t = texture(1, 1, D3DFMT_A8R8G8B8, {0xFFFFFFFF});
    dev->SetTexture(0, t.get());
    dev->SetRenderState(D3DRS_ALPHABLENDENABLE, 0);
    dev->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
    dev->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ZERO);
    setColorOp(D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_ADD);
    setFilter(D3DTEXF_LINEAR);
    RECT r{0, 0, 64, 20};
    ASSERT_GT(f->DrawTextA("state", -1, &r, 0, 0xFF00FF00), 0);
    std::uint32_t v = 0;
    dev->GetRenderState(D3DRS_ALPHABLENDENABLE, &v);
    EXPECT_EQ(v, 0u);
    dev->GetRenderState(D3DRS_SRCBLEND, &v);
    EXPECT_EQ(v, std::uint32_t(D3DBLEND_ONE));
    dev->GetRenderState(D3DRS_DESTBLEND, &v);
    EXPECT_EQ(v, std::uint32_t(D3DBLEND_ZERO));
    dev->GetTextureStageState(0, D3DTSS_COLOROP, &v);
    EXPECT_EQ(v, std::uint32_t(D3DTOP_ADD));
    dev->GetTextureStageState(0, D3DTSS_COLORARG1, &v);
    EXPECT_EQ(v, D3DTA_TEXTURE);
    dev->GetTextureStageState(0, D3DTSS_COLORARG2, &v);
    EXPECT_EQ(v, D3DTA_DIFFUSE);
    dev->GetTextureStageState(0, D3DTSS_MINFILTER, &v);
    EXPECT_EQ(v, std::uint32_t(D3DTEXF_LINEAR));
    dev->GetTextureStageState(0, D3DTSS_MAGFILTER, &v);
    EXPECT_EQ(v, std::uint32_t(D3DTEXF_LINEAR));
    GfxRef<GfxTexture> bound;
    dev->GetTexture(0, bound.out());
    EXPECT_EQ(bound.get(), t.get());
    dev->GetVertexShader(&v);
    EXPECT_EQ(v, kFvfTLVertex);
    // Text draws in its colour, whatever the state it found.
    EXPECT_TRUE(lit().size() > 10u);
    for (auto p : lit()) {
        const std::uint32_t c = pixel(p.first, p.second);
        EXPECT_EQ(c & 0xFF00FF, 0u) << std::hex << c;
    }
}

TEST_F(Fonts, UnknownFaceFallsBackAndSaysSo)
{
    log.clear();
    auto f = font(-15, FW_NORMAL, "NoSuchFaceAnywhere");
    ASSERT_TRUE(f);
    bool named = false;
    for (const std::string& line : log)
        named = named || line.find("NoSuchFaceAnywhere") != std::string::npos;
    EXPECT_TRUE(named);
    EXPECT_GT(calcWidth(f.get(), "text"), 0);
}

} // namespace
