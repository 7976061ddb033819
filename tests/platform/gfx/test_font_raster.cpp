#include "platform/gfx/font_raster.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

using namespace platform;

namespace {

std::unique_ptr<FontRaster> makeFont(const std::string& face, int height, int weight = FW_NORMAL,
                                     bool italic = false, std::string* log = nullptr)
{
    FontRequest request;
    request.faceName = face;
    request.height = height;
    request.weight = weight;
    request.italic = italic;
    return FontRaster::create(request, log);
}

int maxCoverage(const GlyphBitmap& g)
{
    return g.coverage.empty() ? 0 : *std::max_element(g.coverage.begin(), g.coverage.end());
}

int calcWidth(FontRaster& font, std::string_view text)
{
    const TextLayout l = font.layout(text, RECT{10, 20, 10, 20}, DT_CALCRECT);
    return l.bounds.right - l.bounds.left;
}

// Where the pen stood for a glyph placed without clipping.
int penAt(const PlacedGlyph& g)
{
    return g.x - g.bitmap->bearingX;
}

} // namespace

TEST(FontRaster, FaceMatchingAndFallback)
{
    std::string log = "stale";
    auto arial = makeFont("Arial", -16, FW_NORMAL, false, &log);
    ASSERT_TRUE(arial);
    EXPECT_EQ(arial->familyName(), "Liberation Sans");
    EXPECT_FALSE(arial->usedFallback());
    EXPECT_EQ(log, "");

    auto unknown = makeFont("No Such Face 42", -16, FW_NORMAL, false, &log);
    ASSERT_TRUE(unknown);
    EXPECT_EQ(unknown->familyName(), "DejaVu Sans");
    EXPECT_TRUE(unknown->usedFallback());
    EXPECT_NE(log.find("No Such Face 42"), std::string::npos) << log;
    EXPECT_NE(log.find("DejaVu Sans"), std::string::npos) << log;

    // The installed bold and italic faces are used rather than synthesised.
    auto bold = makeFont("Arial", -16, FW_BOLD);
    auto italic = makeFont("Arial", -16, FW_NORMAL, true);
    ASSERT_TRUE(bold && italic);
    EXPECT_EQ(bold->familyName(), "Liberation Sans");
    EXPECT_FALSE(bold->syntheticBold()) << bold->styleName();
    EXPECT_FALSE(italic->syntheticItalic()) << italic->styleName();
}

TEST(FontRaster, NegativeHeightIsEmSizePositiveIsCell)
{
    auto em = makeFont("Arial", -20);
    auto cell = makeFont("Arial", 20);
    ASSERT_TRUE(em && cell);
    EXPECT_EQ(em->pixelSize(), 20);
    EXPECT_GT(em->lineHeight(), 20);  // ascent + descent exceed the em
    EXPECT_EQ(cell->lineHeight(), 20);
    EXPECT_LT(cell->pixelSize(), 20);
    EXPECT_GT(em->glyph(U'H').height, cell->glyph(U'H').height);
    EXPECT_EQ(makeFont("Arial", 0)->lineHeight(), 16);
    EXPECT_TRUE(makeFont("Arial", -2000000000));
}

TEST(FontRaster, GlyphsAreCachedCoverage)
{
    auto font = makeFont("Arial", -24);
    ASSERT_TRUE(font);
    const GlyphBitmap& h = font->glyph(U'H');
    EXPECT_EQ(&h, &font->glyph(U'H'));
    EXPECT_GT(h.height, 10);
    EXPECT_EQ(h.coverage.size(), std::size_t(h.width) * std::size_t(h.height));
    EXPECT_GE(maxCoverage(h), 250);
    EXPECT_NEAR(h.bearingY, font->glyph(U'I').bearingY, 1);  // both cap height
    EXPECT_GT(h.advance, h.width);
    EXPECT_TRUE(font->glyph(U' ').coverage.empty());
    EXPECT_GT(font->glyph(U' ').advance, 0);
    EXPECT_EQ(font->glyph(U'\r').advance, 0);
}

TEST(FontRaster, Cp1251TextMapsAndDraws)
{
    EXPECT_EQ(cp1251ToUnicode('A'), U'A');
    EXPECT_EQ(cp1251ToUnicode(0xC0), U'\u0410');
    EXPECT_EQ(cp1251ToUnicode(0xFF), U'\u044F');
    EXPECT_EQ(cp1251ToUnicode(0xA8), U'\u0401');
    EXPECT_EQ(cp1251ToUnicode(0xB9), U'\u2116');
    EXPECT_EQ(cp1251ToUnicode(0x88), U'\u20AC');
    EXPECT_EQ(cp1251ToUnicode(0x98), U'\uFFFD');

    auto font = makeFont("Arial", -18);
    ASSERT_TRUE(font);
    const TextLayout l = font->layout("\xCF\xF0\xE8\xE2\xE5\xF2 \xA8\xB8", RECT{0, 0, 400, 100}, 0);
    const std::u32string want = U"\u041F\u0440\u0438\u0432\u0435\u0442\u0401\u0451";  // the space draws nothing
    ASSERT_EQ(l.glyphs.size(), want.size());
    for (std::size_t i = 0; i < want.size(); ++i) {
        EXPECT_EQ(l.glyphs[i].codePoint, want[i]);
        EXPECT_GE(maxCoverage(*l.glyphs[i].bitmap), 200) << i;
    }
}

TEST(FontRaster, CalcRectMeasures)
{
    auto font = makeFont("Arial", -16);
    auto bold = makeFont("Arial", -16, FW_BOLD);
    ASSERT_TRUE(font && bold);
    const int a = calcWidth(*font, "L"), b = calcWidth(*font, "LOAD"), c = calcWidth(*font, "LOADING");
    EXPECT_GT(a, 0);
    EXPECT_LT(a, b);
    EXPECT_LT(b, c);
    EXPECT_GT(calcWidth(*bold, "LOADING"), c);

    const TextLayout two = font->layout("LOADING\nLO", RECT{10, 20, 11, 21}, DT_CALCRECT);
    EXPECT_TRUE(two.glyphs.empty());
    EXPECT_EQ(two.lineCount, 2);
    EXPECT_EQ(two.bounds.right, 10 + c);
    EXPECT_EQ(two.bounds.bottom, 20 + 2 * font->lineHeight());
    EXPECT_EQ(font->layout("LOADING\nLO", RECT{}, DT_CALCRECT | DT_SINGLELINE).lineCount, 1);

    // The measure is pen travel; the ink differs only by the side bearings.
    const TextLayout drawn = font->layout("LOADING", RECT{0, 0, 500, 50}, 0);
    EXPECT_NEAR(drawn.ink.right - drawn.ink.left, c, 3);
}

TEST(FontRaster, AlignmentCentresEachLine)
{
    auto font = makeFont("Arial", -20);
    ASSERT_TRUE(font);
    const RECT rect{7, 30, 207, 130};
    const TextLayout l = font->layout("LOADING\nLO", rect, DT_CENTER);
    ASSERT_EQ(l.glyphs.size(), 9u);
    const int wide = font->lineWidth(U"LOADING"), narrow = font->lineWidth(U"LO");
    EXPECT_LE(std::abs((penAt(l.glyphs[0]) - rect.left) - (rect.right - penAt(l.glyphs[0]) - wide)), 1);
    EXPECT_LE(std::abs((penAt(l.glyphs[7]) - rect.left) - (rect.right - penAt(l.glyphs[7]) - narrow)), 1);
    EXPECT_EQ(l.glyphs[0].y, rect.top + font->ascent() - l.glyphs[0].bitmap->bearingY);
    EXPECT_EQ(l.glyphs[7].y - l.glyphs[0].y, font->lineHeight());

    const TextLayout right = font->layout("LO", rect, DT_RIGHT);
    EXPECT_EQ(penAt(right.glyphs[0]) + narrow, rect.right);

    const TextLayout middle = font->layout("LO", rect, DT_SINGLELINE | DT_VCENTER);
    const int top = middle.glyphs[0].y + middle.glyphs[0].bitmap->bearingY - font->ascent();
    EXPECT_LE(std::abs((top - rect.top) - (rect.bottom - top - font->lineHeight())), 1);
}

TEST(FontRaster, ClipsToTheRectUnlessTold)
{
    auto font = makeFont("Arial", -20);
    ASSERT_TRUE(font);
    const RECT rect{0, 0, 40, 12};
    const TextLayout clipped = font->layout("WWWWWW\nWW", rect, 0);
    const TextLayout free = font->layout("WWWWWW\nWW", rect, DT_NOCLIP);
    EXPECT_EQ(free.glyphs.size(), 8u);
    EXPECT_GT(free.ink.bottom, rect.bottom);
    ASSERT_FALSE(clipped.glyphs.empty());
    EXPECT_LT(clipped.glyphs.size(), free.glyphs.size());
    bool cutAtBottom = false, cutAtRight = false;
    for (const PlacedGlyph& g : clipped.glyphs) {
        EXPECT_TRUE(g.x >= rect.left && g.y >= rect.top && g.x + g.width <= rect.right && g.y + g.height <= rect.bottom);
        EXPECT_LE(g.srcX + g.width, g.bitmap->width);
        EXPECT_LE(g.srcY + g.height, g.bitmap->height);
        cutAtBottom |= g.height < g.bitmap->height;
        cutAtRight |= g.width < g.bitmap->width;
    }
    EXPECT_TRUE(cutAtBottom && cutAtRight);
}
