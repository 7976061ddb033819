// Font descriptions, measuring and drawing on the recording double.
#include <cmath>
#include <optional>

#include "engine/gfx/a_font.h"
#include "support/jng_writer.h"
#include "test_image_fixture.h"

using imgtest::SpriteDraw;

namespace {

constexpr float kHalfPi = 1.5707963f;

class FontTest : public imgtest::RecordingTest {
protected:
    const char* appName() const override { return "FontTest"; }

    // A font file beside a 64 x 64 white texture "t.png".
    std::string font(const std::string& name, const std::string& text)
    {
        putFile("t.png", jng_writer::buildPng(64, 64, imgtest::solid(64, 64, 0xFFFFFFFF)));
        return putFile(name, text);
    }

    // a: 10 wide, A and V: 12, '_': 8, Cyrillic A (0410): 9; all 40 tall.
    std::string glyphs(const std::string& general)
    {
        return font("g.ini", "[General]\nTexture = t.png\nFormat16 = 4444\nFormat32 = 8888\nCharSpacing = 3\n" +
                                 general +
                                 "[Charlist]\n61 = 0 0 10 40 1 2\n41 = 10 0 12 40 0 1\n56 = 22 0 12 40 1 0\n"
                                 "5F = 34 0 8 40 0 0\n410 = 42 0 9 40 0 0\n"
                                 "[KerningPairs]\nk = 41 56 -2\n");
    }

    std::vector<TLVertex> quads() const
    {
        std::vector<TLVertex> out;
        for (const platform::RecordedCall* c : rec->named("DrawPrimitiveUP"))
            out.insert(out.end(), c->vertices.begin(), c->vertices.end());
        return out;
    }
};

TEST_F(FontTest, DescriptionEntriesAndTheirFaults)
{
    const std::string path = font("d.ini", "\xEF\xBB\xBF[General]\nTexture = t.png \nFormat16 = 0565\nFormat32 = 8888\n"
                                           "UnderlineColor = ff00ff00\n"
                                           "[Charlist]\n41 = 1 2 3 4 0.5 -1.5\n10000 = 0 0 50 50 0 0\n42 = 5 6\n"
                                           "zz = 0 0 1 1 0 0\n41 = 7 8 9 30 0 0\n43 = 0 0 -2 5 0 0\n"
                                           "44 = 0 0 4 40000 0 0\n"
                                           "[KerningPairs]\na = 41 42 -1.5\nb = 41 45 3\nc = 41 42\nd = 5A 42 2\n"
                                           "e = 30 42 0.25\nf = 5A 42 4\n");
    aFont f(path);
    const aFontDataLoader* d = f.getLoader();
    ASSERT_NE(d, nullptr);
    // The byte-order mark does not spoil "[General]"; "0565" reads as 565.
    ASSERT_NE(d->texture, nullptr);
    EXPECT_EQ(d->texture->getWidth(), 64);
    EXPECT_EQ(d->texture->getData()->m_format16, D3DFMT_R5G6B5);
    EXPECT_EQ(d->underlineColor, 0xFF00FF00u);
    EXPECT_EQ(d->underlineDY, 0.0f);
    EXPECT_EQ(d->underlineThickness, 1.0f);
    // The repeated code overwrites; 10000 and the bad entries are skipped,
    // later keys still read; missing numbers read 0.
    EXPECT_EQ(d->glyphs().size(), 2u);
    EXPECT_EQ(d->getChar(L'A')->rect, aRect(7, 8, 9, 30));
    EXPECT_EQ(d->getChar(L'B')->rect, aRect(5, 6, 0, 0));
    EXPECT_EQ(d->getChar(L'B')->postAdvance, 0.0f);
    EXPECT_EQ(d->getChar(L'C'), nullptr);
    EXPECT_EQ(d->fontHeight, 30.0f);
    EXPECT_EQ(d->getChar(L'B')->getKerning(L'A'), -1.5f);
    EXPECT_EQ(d->getChar(L'B')->getKerning(L'C'), 0.0f);
    // Pairs in any order; a repeated pair keeps its last advance.
    EXPECT_EQ(d->getChar(L'B')->getKerning(L'0'), 0.25f);
    EXPECT_EQ(d->getChar(L'B')->getKerning(L'Z'), 4.0f);
    EXPECT_EQ(d->getChar(L'B')->getKerning(L'Y'), 0.0f);
    EXPECT_EQ(&d->getCharInfo(L'Z'), &d->getCharInfo(L'Y'));
    EXPECT_EQ(d->getCharInfo(L'Z').rect, aRect());
    const std::string log = newLog();
    EXPECT_EQ(log.find("Unknown texture format"), std::string::npos);
    EXPECT_NE(log.find("aFont. Bad character code \"zz\" in " + path), std::string::npos) << log;
    EXPECT_NE(log.find("aFont. Bad rectangle of character 43 in " + path), std::string::npos);
    EXPECT_NE(log.find("aFont. Bad rectangle of character 44 in " + path), std::string::npos);
    EXPECT_NE(log.find("aFont. Bad kerning pair \"41 42\" in " + path), std::string::npos);

    // Glyphs on both sides of the directly indexed codes; the same
    // description loaded again with other glyphs answers with the new ones.
    const std::string wide = font("w.ini", "[General]\nTexture = t.png\nFormat16 = 565\nFormat32 = 8888\n"
                                           "[Charlist]\n7FF = 1 1 2 2 0 0\n800 = 3 3 4 4 0 0\n4E2D = 5 5 6 6 0 0\n");
    aFontDataLoaderINI loader(wide);
    EXPECT_EQ(loader.getChar(wchar_t(0x7FF))->rect, aRect(1, 1, 2, 2));
    EXPECT_EQ(loader.getChar(wchar_t(0x800))->rect, aRect(3, 3, 4, 4));
    EXPECT_EQ(loader.getChar(wchar_t(0x4E2D))->rect, aRect(5, 5, 6, 6));
    EXPECT_EQ(loader.getChar(wchar_t(0x7FE)), nullptr);
    loader.load(path);
    EXPECT_EQ(loader.getChar(wchar_t(0x7FF)), nullptr);
    EXPECT_EQ(loader.getChar(wchar_t(0x4E2D)), nullptr);
    EXPECT_EQ(loader.getChar(L'A')->rect, aRect(7, 8, 9, 30));
    newLog();

    aFont odd(font("o.ini", "[General]\nTexture = t.png\nFormat16 = 444\nFormat32 = 8888\n[Charlist]\n"));
    EXPECT_NE(newLog().find("aFont. Unknown texture format: " + test_env::home() + "/o.ini"), std::string::npos);
    EXPECT_EQ(odd.getLoader()->texture->getData()->m_format16, D3DFMT_UNKNOWN);

    // A missing file: no glyphs, no texture; the format line names it.
    aFont missing(test_env::home() + "/none.ini");
    EXPECT_TRUE(missing.getLoader()->glyphs().empty());
    EXPECT_EQ(missing.getLoader()->texture, nullptr);
    EXPECT_NE(newLog().find("aFont. Unknown texture format: " + test_env::home() + "/none.ini"), std::string::npos);
}

TEST_F(FontTest, UnderlineMarkers)
{
    aFont on(glyphs("UnderlineDY = 30\nUnderlineThickness = 2\n"));
    for (const char* text : {"_", "a_", "__"}) {
        rec->clear();
        on.drawString(5.0f, 6.0f, text, 0);
        EXPECT_EQ(rec->count("DrawPrimitiveUP"), 0u) << text;
        EXPECT_EQ(spriteDraws().size(), std::string(text) == "a_" ? 1u : 0u) << text;
    }
    EXPECT_EQ(on.getStringSize(std::string("_")), std::make_pair(0.0f, 40.0f));
    EXPECT_EQ(on.getStringSize(std::string("a_")).first, 10.0f + 2 + 3);

    // "_a": the underline runs from half a pixel before the pen to half a
    // pixel after the advance; the default colour is white.
    on.color = 0xFF102030;
    rec->clear();
    on.drawString(5.0f, 6.0f, "_a", 0);
    const float x1 = 5.0f + 1.0f + 10.0f + 2.0f + 3.0f;  // pre, width, post, spacing
    auto q = quads();
    ASSERT_EQ(q.size(), 4u);
    EXPECT_EQ(q[0].x, 4.5f);
    EXPECT_EQ(q[0].y, 36.0f);
    EXPECT_EQ(q[1].x, x1 + 0.5f);
    EXPECT_EQ(q[1].y, 36.0f);
    EXPECT_EQ(q[2].x, 4.5f);  // filled strip order: p1, p2, p4, p3
    EXPECT_EQ(q[2].y, 38.0f);
    EXPECT_EQ(q[3].x, x1 + 0.5f);
    EXPECT_EQ(q[0].diffuse, 0xFFFFFFFFu);
    EXPECT_EQ(spriteDraws().at(0).color, 0xFF102030u);
    EXPECT_EQ(spriteDraws().at(0).tx, 6.0f);

    // A quarter turn: the pen goes up, the underline lies to the right.
    on.setAngle(kHalfPi);
    rec->clear();
    on.drawString(5.0f, 60.0f, "_a", 0);
    q = quads();
    ASSERT_EQ(q.size(), 4u);
    EXPECT_NEAR(q[0].x, 35.0f, 1e-4);
    EXPECT_NEAR(q[0].y, 60.5f, 1e-4);
    EXPECT_NEAR(q[1].x, 35.0f, 1e-4);
    EXPECT_NEAR(q[1].y, 60.0f - (x1 - 5.0f) - 0.5f, 1e-4);
    EXPECT_NEAR(q[3].x, 37.0f, 1e-4);
    EXPECT_NEAR(spriteDraws().at(0).ty, 59.0f, 1e-4);
    EXPECT_NEAR(spriteDraws().at(0).angle, kHalfPi, 1e-6);

    // Off: '_' is a glyph like any other.
    aFont off(glyphs(""));
    rec->clear();
    off.drawString(0.0f, 0.0f, "_", 0);
    EXPECT_EQ(spriteDraws().size(), 1u);
    EXPECT_EQ(rec->count("DrawPrimitiveUP"), 0u);
    EXPECT_EQ(off.getStringSize(std::string("_")).first, 8.0f);
}

TEST_F(FontTest, LayoutKerningAlignmentScaleAndSnap)
{
    aFont f(glyphs(""));
    // A, then V pulled 2 closer: 12 + (1 + 3) + (1 - 2) + 12.
    EXPECT_EQ(f.getStringSize(std::wstring(L"AV")).first, 27.0f);
    EXPECT_EQ(f.getStringSize(std::wstring(L"aV")).first, 10.0f + 2 + 3 + 1 + 12);
    rec->clear();
    f.drawString(100.0f, 0.0f, L"AVa", 0);
    auto d = spriteDraws();
    ASSERT_EQ(d.size(), 3u);
    EXPECT_EQ(d[1].tx, 100.0f + 12 + 1 + 3 + 1 - 2);
    EXPECT_EQ(d[1].left, 22);
    EXPECT_EQ(d[1].right, 34);
    EXPECT_EQ(d[1].cx, 0.0f);  // each glyph turns about its top-left corner

    // Right alignment ends the last glyph exactly at x; bottom lifts by the height.
    rec->clear();
    f.drawString(100.0f, 50.0f, L"AVa", FONT_RIGHT | FONT_CENTER_X | FONT_BOTTOM);
    d = spriteDraws();
    EXPECT_EQ(d.back().tx + 10.0f, 100.0f);
    EXPECT_EQ(d.back().ty, 10.0f);
    rec->clear();
    f.drawString(100.0f, 50.0f, L"AV", FONT_CENTER_X | FONT_CENTER_Y);
    EXPECT_EQ(spriteDraws().front().tx, 100.0f - 13.5f);
    EXPECT_EQ(spriteDraws().front().ty, 30.0f);

    f.setScale(-20.0f);
    EXPECT_EQ(f.getScaleFactor(), 0.5f);
    EXPECT_EQ(f.getStringSize(std::wstring(L"AV")), std::make_pair(13.5f, 20.0f));
    rec->clear();
    f.drawString(10.6f, 5.4f, L"a", FONT_SNAP);
    f.drawString(-1.7f, 1e30f, L"a", FONT_SNAP);
    d = spriteDraws();
    ASSERT_EQ(d.size(), 2u);
    EXPECT_EQ(d[0].tx, 11.0f);
    EXPECT_EQ(d[0].ty, 5.0f);
    EXPECT_EQ(d[0].sx, 0.5f);
    EXPECT_EQ(d[1].tx, -1.0f);
    EXPECT_EQ(d[1].ty, 32767.0f);

    // Narrow text is Windows-1251: byte 0xC0 is the Cyrillic A.
    rec->clear();
    f.setScale(1.0f);
    f.drawString(0.0f, 0.0f, "\xC0", 0);
    f.drawString(0.0f, 0.0f, std::string("\xC0"), 0);
    d = spriteDraws();
    ASSERT_EQ(d.size(), 2u);
    EXPECT_EQ(d[0].left, 42);
    EXPECT_EQ(f.getStringSize(std::string("\xC0")).first, 9.0f);
}

// A font keeps the layout of the texts it drew lately: whatever changed
// since (the text, its position, alignment or scale, the table's other
// texts, the glyphs themselves) draws and measures as a font meeting the
// text for the first time does.
TEST_F(FontTest, AKeptLayoutDrawsAsAFreshOne)
{
    const std::string general = "UnderlineDY = 30\n";
    const std::string path = glyphs(general);
    struct Call {
        float x, y;
        std::wstring text;
        std::uint8_t flags;
        float scale;
    };
    // Every figure a draw leaves in the log, and the text's measure.
    const auto drawn = [&](aFont& f, const Call& c) {
        f.setScale(c.scale);
        rec->clear();
        f.drawString(c.x, c.y, c.text, c.flags);
        std::vector<float> out;
        for (const SpriteDraw& d : spriteDraws())
            out.insert(out.end(), {d.tx, d.ty, float(d.left), float(d.right), d.sx});
        for (const TLVertex& v : quads())
            out.insert(out.end(), {v.x, v.y});
        const auto [w, h] = f.getStringSize(c.text);
        out.insert(out.end(), {w, h});
        return out;
    };
    const std::vector<Call> calls = {
        {100.0f, 0.0f, L"AVa", 0, 1.0f},
        {100.0f, 0.0f, L"AVa", 0, 1.0f},
        {100.0f, 0.0f, L"VaA", 0, 1.0f},  // as long, other glyphs and pairs
        {7.25f, 3.5f, L"AVa", FONT_SNAP, 1.0f},
        {100.0f, 50.0f, L"AVa", FONT_RIGHT | FONT_BOTTOM, 1.0f},
        {100.0f, 50.0f, L"AVa", FONT_CENTER_X | FONT_CENTER_Y, -20.0f},
        {3.0f, 4.0f, L"a_V", 0, 1.0f},
        {3.0f, 4.0f, L"aV", 0, 1.0f},
    };
    aFont kept(path);
    for (int round = 0; round < 2; ++round) {
        // Far more texts than the font keeps push the first ones out.
        std::wstring text;
        for (int n = 0; round == 1 && n < 1000; ++n) {
            text.clear();
            for (int k = n; k > 0; k /= 3)
                text.push_back(L"aAV"[k % 3]);
            kept.getStringSize(text);
        }
        for (std::size_t i = 0; i < calls.size(); ++i) {
            aFont fresh(path);
            const std::vector<float> expected = drawn(fresh, calls[i]);
            ASSERT_GE(expected.size(), 7u) << i;
            EXPECT_EQ(drawn(kept, calls[i]), expected) << "round " << round << ", call " << i;
        }
    }
    // The same glyphs moved in the texture and given other advances and pairs.
    const std::string moved =
        font("m.ini", "[General]\nTexture = t.png\nFormat16 = 4444\nFormat32 = 8888\nCharSpacing = 3\n" + general +
                          "[Charlist]\n61 = 30 0 11 40 2 1\n41 = 0 0 13 40 1 0\n56 = 13 0 12 40 0 2\n"
                          "5F = 41 0 8 40 0 0\n[KerningPairs]\nk = 56 41 -3\n");
    kept.getLoader()->load(moved);
    aFont fresh(moved);
    for (const Call& c : calls)
        EXPECT_EQ(drawn(kept, c), drawn(fresh, c)) << std::string(c.text.begin(), c.text.end());
}

// A placed text is kept only by the font state it was placed with: the
// font's scale, angle or glyphs changing, or another font, even one made
// anew where the first one lived, no longer keep it.
TEST_F(FontTest, PlacedTextIsKeptOnlyByTheStateItCameFrom)
{
    const std::string path = glyphs("");
    std::optional<aFont> f(std::in_place, path);
    aFont::Placed placed;
    f->place(placed, 5.0f, 6.0f, L"AVa", FONT_SNAP);
    EXPECT_TRUE(f->keeps(placed));
    f->setScale(2.0f);
    EXPECT_FALSE(f->keeps(placed));
    f->setScale(1.0f);
    f->setAngle(0.5f);
    EXPECT_FALSE(f->keeps(placed));
    f->setAngle(0.0f);
    EXPECT_TRUE(f->keeps(placed));
    EXPECT_FALSE(aFont(path).keeps(placed));
    const aFont* first = &*f;
    f.emplace(path);
    ASSERT_EQ(&*f, first);
    EXPECT_FALSE(f->keeps(placed));
    f->place(placed, 5.0f, 6.0f, L"AVa", FONT_SNAP);
    f->getLoader()->load(path);
    EXPECT_FALSE(f->keeps(placed));
}

TEST_F(FontTest, FontsWithoutGlyphsOrLoader)
{
    aFont empty(font("e.ini", "[General]\nTexture = t.png\nFormat16 = 4444\nFormat32 = 8888\n[Charlist]\n"));
    empty.setScale(-20.0f);
    EXPECT_EQ(empty.getScaleFactor(), 0.0f);
    EXPECT_EQ(empty.getStringSize(std::wstring(L"abc")), std::make_pair(0.0f, 0.0f));
    EXPECT_EQ(empty.getFontHeight(), 0.0f);
    newLog();

    aFont unknown(font("u.fnt", "[General]\n"));
    EXPECT_EQ(unknown.getLoader(), nullptr);
    unknown.setScale(-20.0f);
    EXPECT_EQ(unknown.getScaleFactor(), 0.0f);
    rec->clear();
    unknown.drawString(0.0f, 0.0f, L"abc", FONT_RIGHT);
    EXPECT_TRUE(rec->calls.empty());
    EXPECT_EQ(unknown.getStringSize(std::wstring(L"abc")), std::make_pair(0.0f, 0.0f));
    EXPECT_EQ(newLog(), "");
    EXPECT_EQ(unknown.getFontHeight(), 0.0f);
    const std::string log = newLog();
    EXPECT_NE(log.find("aFont::getFontHeight"), std::string::npos);
    EXPECT_NE(log.find("loader"), std::string::npos);
    EXPECT_NE(g_gdi, nullptr);
}

} // namespace
