// Headless pixel tests of the GL device, read back through the device.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <set>

#include "test_d3d_fixture.h"

using namespace platform;
using d3dtest::near;

namespace {

using Pixels = std::set<std::pair<int, int>>;

Pixels box(int x, int y, int w, int h)
{
    Pixels out;
    for (int j = y; j < y + h; ++j)
        for (int i = x; i < x + w; ++i)
            out.emplace(i, j);
    return out;
}

Pixels asSet(const std::vector<std::pair<int, int>>& v) { return Pixels(v.begin(), v.end()); }

constexpr float kPi = 3.14159265358979f;

using ColourOps = d3dtest::GlDeviceTest;

// Texture (128, 64, 32) with vertex colour (64, 192, 160), both opaque.
TEST_F(ColourOps, EachOperationOfStageZero)
{
    auto tex = texture(1, 1, D3DFMT_A8R8G8B8, {0xFF804020});
    dev->SetTexture(0, tex.get());
    struct Case {
        std::uint32_t arg1, arg2, op, want;
    } cases[] = {
        {D3DTA_DIFFUSE, D3DTA_TEXTURE, D3DTOP_MODULATE, 0x203014},  // 128*64/255, 64*192/255, 32*160/255
        {D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_ADD, 0xC0FFC0},       // green saturates
        {D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_SUBTRACT, 0x400000},  // green and blue clamp at 0
        {D3DTA_DIFFUSE, D3DTA_TEXTURE, D3DTOP_SUBTRACT, 0x008080},  // red clamps at 0
        {D3DTA_DIFFUSE, D3DTA_TEXTURE, D3DTOP_SELECTARG1, 0x40C0A0},
    };
    int x = 0;
    for (const Case& c : cases) {
        setColorOp(c.arg1, c.arg2, c.op);
        ASSERT_EQ(quad(float(x), 0, 4, 4, 0xFF40C0A0), D3D_OK);
        x += 4;
    }
    x = 0;
    for (const Case& c : cases) {
        EXPECT_TRUE(near(pixel(x + 1, 1), c.want)) << "op " << c.op << " args " << c.arg1 << "," << c.arg2;
        x += 4;
    }
}

TEST_F(ColourOps, AlphaIsTextureTimesVertexAndNoTextureIsWhite)
{
    setBlend(D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA);
    setColorOp(D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_MODULATE);
    auto tex = texture(1, 1, D3DFMT_A8R8G8B8, {0x80FFFFFF});
    dev->SetTexture(0, tex.get());
    quad(0, 0, 4, 4, 0x80FFFFFF);  // a quarter of white over black
    dev->SetTexture(0, nullptr);
    quad(4, 0, 4, 4, 0xFF3366CC);  // untextured: the vertex colour
    EXPECT_TRUE(near(pixel(1, 1), 0x404040));
    EXPECT_TRUE(near(pixel(5, 1), 0x3366CC));
}

using BlendModes = d3dtest::GlDeviceTest;

TEST_F(BlendModes, AlphaAdditiveTransparentAndOff)
{
    dev->SetTexture(0, nullptr);
    setColorOp(D3DTA_DIFFUSE, D3DTA_TEXTURE, D3DTOP_MODULATE);
    dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF0000FF, 1.0f, 0);
    setBlend(D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA);
    quad(0, 0, 4, 4, 0x80FF0000);
    quad(4, 0, 4, 4, 0x00FFFFFF);

    const D3DRECT right{8, 0, 16, 4};
    dev->Clear(1, &right, D3DCLEAR_TARGET, 0xFF4080C0, 1.0f, 0);
    setBlend(D3DBLEND_SRCALPHA, D3DBLEND_ONE);
    quad(8, 0, 4, 4, 0xFF202080);
    quad(12, 0, 4, 4, 0x80FF0000);  // half of red added

    dev->SetRenderState(D3DRS_ALPHABLENDENABLE, 0);
    quad(16, 0, 4, 4, 0x00FF0000);

    EXPECT_TRUE(near(pixel(1, 1), 0x80007F));
    EXPECT_TRUE(near(pixel(5, 1), 0x0000FF, 0));  // alpha 0 leaves the target
    EXPECT_TRUE(near(pixel(9, 1), 0x60A0FF));     // blue saturates
    EXPECT_TRUE(near(pixel(13, 1), 0xC080C0));
    EXPECT_TRUE(near(pixel(17, 1), 0xFF0000, 0));  // blending off overwrites
}

using ViewportScissor = d3dtest::GlDeviceTest;

TEST_F(ViewportScissor, ClipsWithoutRemapping)
{
    D3DVIEWPORT8 vp;
    vp.X = 10;
    vp.Y = 10;
    vp.Width = 20;
    vp.Height = 20;
    ASSERT_EQ(dev->SetViewport(&vp), D3D_OK);
    quad(0, 0, kWidth, kHeight, 0xFFFFFFFF);
    EXPECT_EQ(asSet(lit()), box(10, 10, 20, 20));

    dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
    quad(12, 12, 2, 2, 0xFFFFFFFF);
    EXPECT_EQ(asSet(lit()), box(12, 12, 2, 2));

    dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFFFF0000, 1.0f, 0);
    EXPECT_EQ(asSet(lit()), box(10, 10, 20, 20));

    // A viewport reaching past the back buffer clips at its edge.
    D3DVIEWPORT8 full;
    full.Width = kWidth;
    full.Height = kHeight;
    dev->SetViewport(&full);
    dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
    vp.X = 60;
    vp.Y = 40;
    ASSERT_EQ(dev->SetViewport(&vp), D3D_OK);
    quad(0, 0, kWidth, kHeight, 0xFFFFFFFF);
    EXPECT_EQ(asSet(lit()), box(60, 40, 4, 8));
}

// A strip 8 x 1: white, with a red marker at its right end.
class SpriteRotation : public d3dtest::GlDeviceTest {
protected:
    void SetUp() override
    {
        GlDeviceTest::SetUp();
        std::vector<std::uint32_t> px(8, 0xFFFFFFFF);
        px[7] = 0xFFFF0000;
        strip = texture(8, 1, D3DFMT_A8R8G8B8, px);
        setFilter(D3DTEXF_POINT);
        makeSprite();
    }
    HRESULT draw(float tx, float ty, float angle, const D3DXVECTOR2* scale = nullptr,
                 const D3DXVECTOR2* centre = nullptr)
    {
        const D3DXVECTOR2 t{tx, ty};
        return sprite->Draw(strip.get(), nullptr, scale, centre, angle, &t, 0xFFFFFFFF);
    }
    GfxRef<GfxTexture> strip;
};

TEST_F(SpriteRotation, PositiveAngleTurnsCounterClockwise)
{
    ASSERT_EQ(draw(20, 30, kPi / 2), D3D_OK);
    // Texel i lands at (20, 29 - i): the strip points up from its top-left.
    EXPECT_EQ(asSet(lit()), box(20, 22, 1, 8));
    EXPECT_TRUE(near(pixel(20, 22), 0xFF0000, 0));
    EXPECT_TRUE(near(pixel(20, 29), 0xFFFFFF, 0));
}

TEST_F(SpriteRotation, NegativeScaleMirrorsZeroScaleDrawsNothing)
{
    const D3DXVECTOR2 mirror{-1.0f, 1.0f}, flat{0.0f, 1.0f};
    ASSERT_EQ(draw(30, 10, 0.0f, &mirror), D3D_OK);
    EXPECT_EQ(asSet(lit()), box(22, 10, 8, 1));
    EXPECT_TRUE(near(pixel(22, 10), 0xFF0000, 0));

    dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
    ASSERT_EQ(draw(30, 10, 0.0f, &flat), D3D_OK);
    EXPECT_TRUE(lit().empty());
}

TEST_F(SpriteRotation, GivenCentreIsThePivot)
{
    const D3DXVECTOR2 centre{4.0f, 0.0f};
    ASSERT_EQ(draw(20, 20, kPi, nullptr, &centre), D3D_OK);
    // Half a turn about (24, 20): texel i at (27 - i, 19).
    EXPECT_EQ(asSet(lit()), box(20, 19, 8, 1));
    EXPECT_TRUE(near(pixel(20, 19), 0xFF0000, 0));
    EXPECT_TRUE(near(pixel(27, 19), 0xFFFFFF, 0));
}

TEST_F(SpriteRotation, NullTextureFailsAndDrawsNothing)
{
    const D3DXVECTOR2 t{4, 4};
    EXPECT_EQ(sprite->Draw(nullptr, nullptr, nullptr, nullptr, 0.0f, &t, 0xFFFFFFFF), D3DERR_INVALIDCALL);
    EXPECT_TRUE(lit().empty());
}

using PixelCentre = d3dtest::GlDeviceTest;

TEST_F(PixelCentre, IntegerQuadCoversExactlyItsPixels)
{
    quad(5, 6, 3, 2, 0xFFFFFFFF);
    EXPECT_EQ(asSet(lit()), box(5, 6, 3, 2));
}

TEST_F(PixelCentre, SpriteMapsTexelToPixelUnderBothFilters)
{
    std::vector<std::uint32_t> px;
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            px.push_back(0xFF000000u | std::uint32_t(x * 32) << 16 | std::uint32_t(y * 32) << 8 | std::uint32_t(x * 8 + y));
    auto tex = texture(8, 8, D3DFMT_A8R8G8B8, px);
    makeSprite();
    for (std::uint32_t filter : {D3DTEXF_POINT, D3DTEXF_LINEAR}) {
        setFilter(filter);
        const D3DXVECTOR2 t{10, 12};
        ASSERT_EQ(sprite->Draw(tex.get(), nullptr, nullptr, nullptr, 0.0f, &t, 0xFFFFFFFF), D3D_OK);
        const RECT r{10, 12, 18, 20};
        const auto got = read(&r);
        for (std::size_t i = 0; i < px.size(); ++i)
            ASSERT_TRUE(near(got[i], px[i], 0)) << "texel " << i << " filter " << filter;
    }
}

TEST_F(PixelCentre, LinesLightBothEnds)
{
    dev->SetTexture(0, nullptr);
    const TLVertex line[2] = {vertex(2, 2, 0xFFFFFFFF), vertex(5, 2, 0xFFFFFFFF)};
    ASSERT_EQ(dev->DrawPrimitiveUP(D3DPT_LINELIST, 1, line, sizeof(TLVertex)), D3D_OK);
    EXPECT_EQ(asSet(lit()), box(2, 2, 4, 1));

    // The outline of a w x h box runs through its last pixels.
    dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
    const float x = 10, y = 20, w = 6, h = 4;
    const TLVertex outline[5] = {vertex(x, y, 0xFFFFFFFF), vertex(x + w - 1, y, 0xFFFFFFFF),
                                 vertex(x + w - 1, y + h - 1, 0xFFFFFFFF), vertex(x, y + h - 1, 0xFFFFFFFF),
                                 vertex(x, y, 0xFFFFFFFF)};
    ASSERT_EQ(dev->DrawPrimitiveUP(D3DPT_LINESTRIP, 4, outline, sizeof(TLVertex)), D3D_OK);
    Pixels border = box(10, 20, 6, 4);
    for (auto p : box(11, 21, 4, 2))
        border.erase(p);
    EXPECT_EQ(asSet(lit()), border);

    dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
    TLVertex dot[5];
    for (TLVertex& v : dot)
        v = vertex(3, 3, 0xFFFFFFFF);
    ASSERT_EQ(dev->DrawPrimitiveUP(D3DPT_LINESTRIP, 4, dot, sizeof(TLVertex)), D3D_OK);
    EXPECT_EQ(asSet(lit()), box(3, 3, 1, 1));
}

TEST_F(PixelCentre, SlopedLineLightsOnePixelPerColumn)
{
    dev->SetTexture(0, nullptr);
    const TLVertex line[2] = {vertex(0, 0, 0xFFFFFFFF), vertex(8, 4, 0xFFFFFFFF)};
    ASSERT_EQ(dev->DrawPrimitiveUP(D3DPT_LINELIST, 1, line, sizeof(TLVertex)), D3D_OK);
    const auto on = lit();
    std::set<int> columns;
    for (auto p : on) {
        columns.insert(p.first);
        EXPECT_LE(std::abs(p.second * 2 - p.first), 1) << p.first << "," << p.second;
    }
    EXPECT_EQ(on.size(), 9u);
    EXPECT_EQ(columns.size(), 9u);
}

using Formats16 = d3dtest::GlDeviceTest;

// Writes raw 16-bit values into a 1 x n texture of the format.
GfxRef<GfxTexture> raw16(GfxDevice* dev, D3DFORMAT f, std::initializer_list<std::uint16_t> values)
{
    GfxRef<GfxTexture> t;
    dev->CreateTexture(std::uint32_t(values.size()), 1, 1, 0, f, D3DPOOL_MANAGED, t.out());
    D3DLOCKED_RECT l;
    if (t && t->LockRect(0, &l, nullptr, 0) == D3D_OK) {
        std::memcpy(l.pBits, values.begin(), values.size() * 2);
        t->UnlockRect(0);
    }
    return t;
}

TEST_F(Formats16, ColoursAndAlphaOfEachFormat)
{
    setBlend(D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA);
    setColorOp(D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_MODULATE);
    setFilter(D3DTEXF_POINT);
    dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF0000FF, 1.0f, 0);
    makeSprite();
    struct Case {
        D3DFORMAT format;
        std::uint16_t value;
        std::uint32_t want;  // over blue
    } cases[] = {
        {D3DFMT_R5G6B5, 0x3199, 0x3030C8},    // (6, 12, 25) -> about (49, 48, 206)
        {D3DFMT_X1R5G5B5, 0x18D9, 0x3030C8},  // top bit clear: still opaque
        {D3DFMT_X1R5G5B5, 0x98D9, 0x3030C8},
        {D3DFMT_A1R5G5B5, 0x98D9, 0x3030C8},
        {D3DFMT_A1R5G5B5, 0x7FFF, 0x0000FF},  // alpha bit clear: transparent
        {D3DFMT_A4R4G4B4, 0x8FFF, 0x8888FF},  // white at 8/15 over blue
    };
    float x = 0;
    for (const Case& c : cases) {
        auto t = raw16(dev.get(), c.format, {c.value});
        const D3DXVECTOR2 pos{x, 0}, scale{2, 2};
        ASSERT_EQ(sprite->Draw(t.get(), nullptr, &scale, nullptr, 0.0f, &pos, 0xFFFFFFFF), D3D_OK);
        x += 2;
    }
    for (std::size_t i = 0; i < std::size(cases); ++i)
        EXPECT_TRUE(near(pixel(int(i) * 2, 0), cases[i].want, 8)) << "case " << i;

    // X8R8G8B8 ignores its top byte.
    auto x8 = texture(1, 1, D3DFMT_X8R8G8B8, {0x00336699});
    const D3DXVECTOR2 pos{20, 0};
    sprite->Draw(x8.get(), nullptr, nullptr, nullptr, 0.0f, &pos, 0xFFFFFFFF);
    EXPECT_TRUE(near(pixel(20, 0), 0x336699, 0));
    // A nibble of 8 is about 53 % (8/15).
    EXPECT_NEAR(d3dtest::channel(pixel(10, 0), 16), 255 * 8 / 15, 3);
}

using FiltersClamp = d3dtest::GlDeviceTest;

TEST_F(FiltersClamp, StretchedTwoTexelsHardEdgeRampAndNoWrap)
{
    auto tex = texture(2, 1, D3DFMT_A8R8G8B8, {0xFF000000, 0xFFFFFFFF});
    makeSprite();
    const D3DXVECTOR2 scale{4, 1};
    setFilter(D3DTEXF_POINT);
    D3DXVECTOR2 pos{10, 5};
    sprite->Draw(tex.get(), nullptr, &scale, nullptr, 0.0f, &pos, 0xFFFFFFFF);
    setFilter(D3DTEXF_LINEAR);
    pos.y = 7;
    sprite->Draw(tex.get(), nullptr, &scale, nullptr, 0.0f, &pos, 0xFFFFFFFF);

    const RECT pointRow{10, 5, 18, 6}, linearRow{10, 7, 18, 8};
    const auto hard = read(&pointRow), ramp = read(&linearRow);
    for (int i = 0; i < 8; ++i)
        EXPECT_TRUE(near(hard[std::size_t(i)], i < 4 ? 0x000000 : 0xFFFFFF, 0)) << i;
    // Clamped ends: nothing of the far texel comes in.
    EXPECT_TRUE(near(ramp[0], 0x000000, 1));
    EXPECT_TRUE(near(ramp[7], 0xFFFFFF, 1));
    for (int i = 2; i < 6; ++i)
        EXPECT_LT(d3dtest::channel(ramp[std::size_t(i)], 0), d3dtest::channel(ramp[std::size_t(i) + 1], 0)) << i;
    EXPECT_NEAR(d3dtest::channel(ramp[3], 0), 96, 2);
    EXPECT_NEAR(d3dtest::channel(ramp[4], 0), 159, 2);
}

// With the filters apart, a sprite shrunk even slightly takes the minifying
// filter and one kept at its size or grown the magnifying one, turned or
// not, alone or drawn in one batch with another texture. The texture's green
// is 0 or 255: a pixel between blends texels, so the linear filter drew it.
TEST_F(FiltersClamp, ShrunkSpritesMinifyOthersMagnify)
{
    std::vector<std::uint32_t> px;
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            px.push_back(0xFF000000u | std::uint32_t(x * 32) << 16 | std::uint32_t((x + y) % 2 * 0xFF) << 8 |
                         std::uint32_t(y * 32));
    auto tex = texture(8, 8, D3DFMT_A8R8G8B8, px);
    auto other = texture(1, 1, D3DFMT_A8R8G8B8, {0xFFFFFFFF});
    makeSprite();
    const float scales[] = {0.97f, 0.995f, 1.0f, 1.0f, 1.03f};
    const float angles[] = {0.8f, 0.3f, 0.6f, 0.0f, 1.9f};
    // Whether each sprite's pixels blend texels.
    auto blends = [&](std::uint32_t minFilter, std::uint32_t magFilter, bool withOther) {
        dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
        dev->SetTextureStageState(0, D3DTSS_MINFILTER, minFilter);
        dev->SetTextureStageState(0, D3DTSS_MAGFILTER, magFilter);
        if (withOther) {
            const D3DXVECTOR2 at{60, 2};
            sprite->Draw(other.get(), nullptr, nullptr, nullptr, 0.0f, &at, 0xFFFFFFFF);
        }
        for (int i = 0; i < 5; ++i) {
            const D3DXVECTOR2 scale{scales[i], scales[i]}, centre{4, 4}, at{4.0f + 16.0f * float(i % 3), 8.25f + 24.0f * float(i / 3)};
            sprite->Draw(tex.get(), nullptr, &scale, &centre, angles[i], &at, 0xFFFFFFFF);
        }
        std::vector<bool> out;
        for (int i = 0; i < 5; ++i) {
            const RECT r{16 * (i % 3), 24 * (i / 3), 16 * (i % 3) + 16, 24 * (i / 3) + 24};
            const auto cell = read(&r);
            out.push_back(std::any_of(cell.begin(), cell.end(), [](std::uint32_t c) {
                const int g = d3dtest::channel(c, 8);
                return g != 0 && g != 0xFF;
            }));
        }
        return out;
    };
    const std::vector<bool> none(5, false), all(5, true), shrunk{true, true, false, false, false},
        kept{false, false, true, true, true};
    EXPECT_EQ(blends(D3DTEXF_POINT, D3DTEXF_POINT, false), none);
    EXPECT_EQ(blends(D3DTEXF_LINEAR, D3DTEXF_LINEAR, false), all);
    for (bool withOther : {false, true}) {
        EXPECT_EQ(blends(D3DTEXF_LINEAR, D3DTEXF_POINT, withOther), shrunk) << "beside another texture: " << withOther;
        EXPECT_EQ(blends(D3DTEXF_POINT, D3DTEXF_LINEAR, withOther), kept) << "beside another texture: " << withOther;
    }
}

// A sprite drawn at half size puts every pixel centre exactly between two
// texels, straight or turned a quarter, so the linear filter gives the mean
// of black and white columns: what moving the geometry off pixel centres
// must not move.
TEST_F(FiltersClamp, HalvedSpritesSampleExactlyBetweenTexels)
{
    std::vector<std::uint32_t> px;
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            px.push_back(x % 2 ? 0xFFFFFFFFu : 0xFF000000u);
    auto tex = texture(8, 8, D3DFMT_A8R8G8B8, px);
    makeSprite();
    setFilter(D3DTEXF_LINEAR);
    const D3DXVECTOR2 scale{0.5f, 0.5f}, centre{2, 2};
    const float angles[] = {0.0f, 1.5707964f, -1.5707964f};
    for (int i = 0; i < 3; ++i) {
        const D3DXVECTOR2 at{4.0f + 8.0f * float(i), 6.0f};
        ASSERT_EQ(sprite->Draw(tex.get(), nullptr, &scale, &centre, angles[i], &at, 0xFFFFFFFF), D3D_OK);
    }
    for (int i = 0; i < 3; ++i) {
        const RECT r{4 + 8 * i, 6, 8 + 8 * i, 10};
        const auto cell = read(&r);
        for (std::size_t p = 0; p < cell.size(); ++p)
            EXPECT_TRUE(near(cell[p], 0x808080, 1)) << "angle " << angles[i] << ", pixel " << p;
    }
}

using Buffers = d3dtest::GlDeviceTest;

TEST_F(Buffers, IndexedQuadsAndSubRangeLock)
{
    GfxRef<GfxVertexBuffer> vb;
    GfxRef<GfxIndexBuffer> ib;
    ASSERT_EQ(dev->CreateVertexBuffer(8 * 28, D3DUSAGE_WRITEONLY, kFvfTLVertex, D3DPOOL_MANAGED, vb.out()), D3D_OK);
    ASSERT_EQ(dev->CreateIndexBuffer(12 * 2, D3DUSAGE_WRITEONLY, D3DFMT_INDEX16, D3DPOOL_MANAGED, ib.out()), D3D_OK);
    std::uint8_t* p = nullptr;
    ASSERT_EQ(vb->Lock(0, 0, &p, 0), D3D_OK);
    auto* v = reinterpret_cast<TLVertex*>(p);
    for (int q = 0; q < 2; ++q) {
        const float x = 4.0f + 10.0f * q;
        v[4 * q + 0] = vertex(x, 4, 0xFFFF0000);
        v[4 * q + 1] = vertex(x + 4, 4, 0xFFFF0000);
        v[4 * q + 2] = vertex(x, 8, 0xFFFF0000);
        v[4 * q + 3] = vertex(x + 4, 8, 0xFFFF0000);
    }
    ASSERT_EQ(vb->Unlock(), D3D_OK);
    ASSERT_EQ(ib->Lock(0, 0, &p, 0), D3D_OK);
    auto* idx = reinterpret_cast<std::uint16_t*>(p);
    for (int q = 0; q < 2; ++q) {
        const std::uint16_t b = std::uint16_t(4 * q);
        const std::uint16_t six[6] = {b, std::uint16_t(b + 1), std::uint16_t(b + 2), std::uint16_t(b + 1),
                                      std::uint16_t(b + 2), std::uint16_t(b + 3)};
        std::memcpy(idx + 6 * q, six, sizeof six);
    }
    ASSERT_EQ(ib->Unlock(), D3D_OK);
    dev->SetTexture(0, nullptr);
    ASSERT_EQ(dev->SetStreamSource(0, vb.get(), 28), D3D_OK);
    ASSERT_EQ(dev->SetIndices(ib.get(), 0), D3D_OK);
    ASSERT_EQ(dev->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 8, 0, 4), D3D_OK);
    Pixels both = box(4, 4, 4, 4);
    for (auto q : box(14, 4, 4, 4))
        both.insert(q);
    EXPECT_EQ(asSet(lit()), both);

    // Only the second quad's vertices change colour.
    ASSERT_EQ(vb->Lock(4 * 28, 4 * 28, &p, 0), D3D_OK);
    for (int i = 0; i < 4; ++i)
        reinterpret_cast<TLVertex*>(p)[i].diffuse = 0xFF00FF00;
    ASSERT_EQ(vb->Unlock(), D3D_OK);
    ASSERT_EQ(dev->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 8, 0, 4), D3D_OK);
    EXPECT_TRUE(near(pixel(5, 5), 0xFF0000, 0));
    EXPECT_TRUE(near(pixel(15, 5), 0x00FF00, 0));
}

TEST_F(Buffers, EachPrimitiveTypeLightsItsPixels)
{
    dev->SetTexture(0, nullptr);
    const D3DCOLOR c = 0xFFFFFFFF;
    auto draw = [&](D3DPRIMITIVETYPE type, std::uint32_t count, std::vector<TLVertex> v, const Pixels& want) {
        dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
        ASSERT_EQ(dev->DrawPrimitiveUP(type, count, v.data(), sizeof(TLVertex)), D3D_OK);
        EXPECT_EQ(asSet(lit()), want) << "type " << type;
    };
    draw(D3DPT_POINTLIST, 2, {vertex(1, 1, c), vertex(7, 3, c)}, Pixels{{1, 1}, {7, 3}});
    Pixels twoLines = box(0, 0, 5, 1);
    for (auto q : box(2, 3, 1, 4))
        twoLines.insert(q);
    draw(D3DPT_LINELIST, 2, {vertex(0, 0, c), vertex(4, 0, c), vertex(2, 3, c), vertex(2, 6, c)}, twoLines);
    Pixels corner = box(0, 0, 5, 1);
    for (auto q : box(4, 0, 1, 4))
        corner.insert(q);
    draw(D3DPT_LINESTRIP, 2, {vertex(0, 0, c), vertex(4, 0, c), vertex(4, 3, c)}, corner);
    draw(D3DPT_TRIANGLELIST, 2,
         {vertex(2, 2, c), vertex(6, 2, c), vertex(2, 6, c), vertex(6, 2, c), vertex(6, 6, c), vertex(2, 6, c)},
         box(2, 2, 4, 4));
    draw(D3DPT_TRIANGLESTRIP, 2, {vertex(2, 2, c), vertex(6, 2, c), vertex(2, 6, c), vertex(6, 6, c)},
         box(2, 2, 4, 4));
    draw(D3DPT_TRIANGLEFAN, 2, {vertex(2, 2, c), vertex(6, 2, c), vertex(6, 6, c), vertex(2, 6, c)},
         box(2, 2, 4, 4));
}

using ReadBack = d3dtest::GlDeviceTest;

TEST_F(ReadBack, OnePixelLockAndFrontBufferAfterPresent)
{
    dev->SetTexture(0, nullptr);
    quad(0, 0, 1, 1, 0xFF123456);
    quad(10, 10, 20, 5, 0xFF00FF00);
    EXPECT_TRUE(near(pixel(0, 0), 0x123456, 0));
    const auto frame = read();

    ASSERT_EQ(dev->EndScene(), D3D_OK);
    ASSERT_EQ(dev->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    D3DDISPLAYMODE desktop;
    ASSERT_EQ(d3d->GetAdapterDisplayMode(0, &desktop), D3D_OK);
    GfxRef<GfxSurface> front;
    ASSERT_EQ(dev->CreateImageSurface(desktop.Width, desktop.Height, D3DFMT_A8R8G8B8, front.out()), D3D_OK);
    ASSERT_EQ(dev->GetFrontBuffer(front.get()), D3D_OK);
    int wx = 0, wy = 0;
    window->position(wx, wy);
    const RECT client{wx, wy, wx + kWidth, wy + kHeight};
    D3DLOCKED_RECT l;
    ASSERT_EQ(front->LockRect(&l, &client, D3DLOCK_READONLY), D3D_OK);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            ASSERT_EQ(decodePixel(D3DFMT_A8R8G8B8, static_cast<std::uint8_t*>(l.pBits) + y * l.Pitch + 4 * x),
                      frame[std::size_t(y) * kWidth + x])
                << x << "," << y;
    front->UnlockRect();
    ASSERT_EQ(dev->BeginScene(), D3D_OK);
}

TEST_F(ReadBack, BackBufferAfterPresentFollowsTheSwapEffect)
{
    auto presented = [&] {
        std::vector<std::uint8_t> bgra;
        int w = 0, h = 0;
        EXPECT_TRUE(window->readPresented(bgra, w, h));
        return bgra.size() >= 4 ? 0xFF000000u | std::uint32_t(bgra[2]) << 16 | std::uint32_t(bgra[1]) << 8 | bgra[0]
                                : 0u;
    };
    auto present = [&] {
        ASSERT_EQ(dev->EndScene(), D3D_OK);
        ASSERT_EQ(dev->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
        ASSERT_EQ(dev->BeginScene(), D3D_OK);
        dev->SetVertexShader(kFvfTLVertex);
    };
    dev->SetTexture(0, nullptr);

    // Copy: the back buffer keeps the frame; drawing without a clear adds to it.
    quad(0, 0, 2, 2, 0xFFFF0000);
    present();
    EXPECT_TRUE(near(pixel(0, 0), 0xFF0000, 0));
    quad(4, 0, 2, 2, 0xFF00FF00);
    EXPECT_TRUE(near(pixel(0, 0), 0xFF0000, 0));
    EXPECT_TRUE(near(pixel(4, 0), 0x00FF00, 0));
    EXPECT_EQ(presented(), 0xFFFF0000u);
    present();
    present();  // nothing drawn between: the same frame again
    EXPECT_TRUE(near(pixel(4, 0), 0x00FF00, 0));
    EXPECT_TRUE(near(pixel(0, 0), 0xFF0000, 0));

    // Flip: the back buffer holds the frame presented before.
    ASSERT_EQ(dev->EndScene(), D3D_OK);
    params.SwapEffect = D3DSWAPEFFECT_FLIP;
    ASSERT_EQ(dev->Reset(&params), D3D_OK);
    ASSERT_EQ(dev->BeginScene(), D3D_OK);
    dev->SetVertexShader(kFvfTLVertex);
    dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF0000FF, 1.0f, 0);
    present();
    dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFFFFFFFF, 1.0f, 0);
    present();
    EXPECT_EQ(presented(), 0xFFFFFFFFu);
    EXPECT_TRUE(near(pixel(10, 10), 0x0000FF, 0));
}

} // namespace

// Skipped frames run every call (answers and counters as usual) but leave the
// window showing the frame presented before them; drawing resumes whole.
TEST_F(ReadBack, SkippedFramesKeepTheLastPresentedFrameOnScreen)
{
    D3DDISPLAYMODE desktop;
    ASSERT_EQ(d3d->GetAdapterDisplayMode(0, &desktop), D3D_OK);
    GfxRef<GfxSurface> front;
    ASSERT_EQ(dev->CreateImageSurface(desktop.Width, desktop.Height, D3DFMT_A8R8G8B8, front.out()), D3D_OK);
    auto frame = [&](D3DCOLOR clear, D3DCOLOR square) {
        EXPECT_EQ(dev->Clear(0, nullptr, D3DCLEAR_TARGET, clear, 1.0f, 0), D3D_OK);
        EXPECT_EQ(quad(4, 4, 8, 8, square), D3D_OK);
        EXPECT_EQ(dev->EndScene(), D3D_OK);
        EXPECT_EQ(dev->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
        EXPECT_EQ(dev->BeginScene(), D3D_OK);
    };
    auto shown = [&](int x, int y) {
        int wx = 0, wy = 0;
        window->position(wx, wy);
        EXPECT_EQ(dev->GetFrontBuffer(front.get()), D3D_OK);
        D3DLOCKED_RECT l;
        const RECT one{wx + x, wy + y, wx + x + 1, wy + y + 1};
        EXPECT_EQ(front->LockRect(&l, &one, D3DLOCK_READONLY), D3D_OK);
        const std::uint32_t c = decodePixel(D3DFMT_A8R8G8B8, static_cast<std::uint8_t*>(l.pBits)) & 0xFFFFFF;
        front->UnlockRect();
        return c;
    };
    dev->SetTexture(0, nullptr);
    dev->SetVertexShader(kFvfTLVertex);
    frame(0xFF000080, 0xFFFF0000);
    EXPECT_EQ(shown(0, 0), 0x000080u);
    EXPECT_EQ(shown(6, 6), 0xFF0000u);

    dev->setDrawingSkipped(true);
    frame(0xFF008000, 0xFF0000FF);
    frame(0xFF808080, 0xFFFFFFFF);
    EXPECT_EQ(shown(0, 0), 0x000080u);
    EXPECT_EQ(shown(6, 6), 0xFF0000u);

    dev->setDrawingSkipped(false);
    frame(0xFF008000, 0xFF0000FF);
    EXPECT_EQ(shown(0, 0), 0x008000u);
    EXPECT_EQ(shown(6, 6), 0x0000FFu);
}
