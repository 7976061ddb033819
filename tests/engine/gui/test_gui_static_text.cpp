// Static text: the layout over line breaks, wrapping and formatting, tags
// into style runs, and the drawing of runs, scrolling and clipping
// (recording device, the synthetic 10 x 20 font).
#include <gtest/gtest.h>

#include "engine/gfx/a_font.h"
#include "engine/gui/gui_static_text.h"
#include "widget_bench.h"

using namespace GUI;

namespace {

class TextTest : public guitest::WidgetBench {
protected:
    void SetUp() override
    {
        WidgetBench::SetUp();
        font = addFont("Syn");
        big = addFont("Big");
    }
    // The laid-out lines as "x:word x:word / ...".
    static std::string lines(StaticText& t)
    {
        t.UpdateSelf(0.0f);
        std::string out;
        for (std::uint32_t i = 0; i < t.lineCount; ++i) {
            out += i ? " /" : "";
            auto word = t.lines[i].firstWord;
            for (std::uint32_t k = 0; k < t.lines[i].wordCount; ++k, ++word) {
                char x[32];
                std::snprintf(x, sizeof x, " %g:", double(word->x));
                out += x + str_wideToUtf8(word->text);
            }
        }
        return out;
    }
    aFont* font = nullptr;
    aFont* big = nullptr;
};

} // namespace

TEST_F(TextTest, LayoutTable)
{
    struct Row {
        const wchar_t* text;
        std::uint16_t width;
        std::int32_t horz;
        bool wrap;
        const char* expected;
    };
    const Row rows[] = {
        {L"ab\r\ncd", 100, StaticText::FORMAT_LEFT, true, " 0:ab / 0:cd"},
        {L"ab\n\ncd\n", 100, StaticText::FORMAT_LEFT, true, " 0:ab / / 0:cd"},
        {L"", 100, StaticText::FORMAT_LEFT, true, ""},
        // A word that does not fit moves whole; a longer one is cut, never
        // leaving one character alone; the first character always stays.
        {L"aaa bbbb", 60, StaticText::FORMAT_LEFT, true, " 0:aaa / 0:bbbb"},
        {L"abcdef", 50, StaticText::FORMAT_LEFT, true, " 0:abcd / 0:ef"},
        {L"abcdefg", 50, StaticText::FORMAT_LEFT, true, " 0:abcde / 0:fg"},
        {L"abc", 5, StaticText::FORMAT_LEFT, true, " 0:a / 0:b / 0:c"},
        {L"aaa bbbb", 60, StaticText::FORMAT_LEFT, false, " 0:aaa 40:bbbb"},
        // One too wide for a line breaks after a '/' (not after its leading
        // one); closing marks go with the word before them.
        {L"as \"/ab/cdef/ghij.k\", ok", 100, StaticText::FORMAT_LEFT, true,
         " 0:as 30:\"/ab/ / 0:cdef/ / 0:ghij.k\", / 0:ok"},
        {L"aaa b/cd", 60, StaticText::FORMAT_LEFT, true, " 0:aaa / 0:b/cd"},
        {L"\"abcdefghi\",", 100, StaticText::FORMAT_LEFT, true, " 0:\"abcdefgh / 0:i\","},
        // Justified lines spread their spaces; the last line and lines
        // ending at a break stay left; "width" wraps without WordWrap.
        {L"aa bb cc   dd", 85, StaticText::FORMAT_WIDTH, false, " 0:aa 32.5:bb 65:cc / 0:dd"},
        {L"aa bb\ncc dd", 200, StaticText::FORMAT_WIDTH, false, " 0:aa 30:bb / 0:cc 30:dd"},
        {L"  ab", 100, StaticText::FORMAT_CENTER, true, " 50:ab"},
        {L"ab", 100, StaticText::FORMAT_RIGHT, true, " 80:ab"},
    };
    StaticText t("Text");
    t.SetFont(font);
    for (const Row& row : rows) {
        t.SetSize(row.width, 100);
        t.SetHorzFormatting(row.horz);
        t.SetWordWrap(row.wrap);
        t.SetText(row.text);
        EXPECT_EQ(lines(t), row.expected) << str_wideToUtf8(row.text);
    }
    // Heights: lines at FontSize, plus the spacing between them.
    t.SetFontSize(0.5f);
    t.SetLineSpacing(3);
    t.SetText(L"a\nb\nc");
    EXPECT_EQ(t.GetTextHeight(), 3 * 10 + 2 * 3.0f);
    EXPECT_EQ(t.textWidth, 5.0f);
}

// A name too wide for any line, alone on its own, keeps both ends around
// the font's stand-in for an ellipsis; the text and the styles after it stay.
TEST_F(TextTest, ShortenedNamesKeepBothEnds)
{
    script("statictext Text\n{\n AreaRect 0 0 100 100\n Font Syn\n}\n");
    auto* t = find<StaticText>("Text");
    ASSERT_NE(t, nullptr);
    t->SetShortenNames(true);
    t->SetText(L"ab/cdefghijklmnop/q");
    EXPECT_EQ(lines(*t), " 0:ab/ / 0:cdef...op/ / 0:q");
    EXPECT_EQ(t->shortenedWidth, 150.0f);
    t->SetText(L"abcdefghijklmnop <#color=ffff0000#>x");
    EXPECT_EQ(lines(*t), " 0:abcd...nop / 0:x");
    EXPECT_EQ(t->GetText(), L"abcdefghijklmnop x");
    const auto draws = render();
    ASSERT_EQ(draws.size(), 11u);
    EXPECT_EQ(brief(draws.back()), "0,20 10x20*1,1 FFFF0000");
}

TEST_F(TextTest, TagsBecomeStyleRuns)
{
    StaticText t("Text");
    t.SetFont(font);
    newLog();
    t.SetText(L"a<#color=ff0000#><#size=2#>b c<#color=#>d<#font=Big#> e<#bogus=1#>f<#font=Nope#>"
              L"<#size=x#> g<#color=default#><#size=nan#>h");
    EXPECT_EQ(t.GetText(), L"ab cd ef gh");
    // Runs as "at:colour*size" with "+" for the second font.
    std::string runs;
    for (const StaticText::StyleRun& r : t.styleRuns)
        runs += std::to_string(r.charIndex) + ":" + std::to_string(r.color) + "*" + std::to_string(int(r.size)) +
                (r.font == big ? "+ " : r.font == font ? " " : "? ");
    EXPECT_EQ(runs, "1:16711680*2 3:1*2 4:1*2+ 6:1*1 7:1*1 ");
    EXPECT_NE(newLog().find("Server::GetFont - font 'Nope' not found!"), std::string::npos);
    // Runs take effect at spaces: "b" keeps the old style, the space after
    // it and "cd" are twice as wide.
    t.SetSize(200, 100);
    EXPECT_EQ(lines(t), " 0:ab 40:cd 100:ef 150:gh");
    t.SetText(t.GetText());
    EXPECT_TRUE(t.styleRuns.empty());
}

TEST_F(TextTest, DrawingRunsScrollAndClip)
{
    script("statictext Text\n{\n AreaRect 10 20 100 40\n Font Syn\n FontSize 1\n Alpha 0.5\n"
           " TextNormalColor FF808080\n"
           " scrollbar _auto_vscroll\n {\n  AreaRect 100 0 10 40\n  widget _auto_thumb\n  {\n   AreaRect 0 0 10 4\n"
           "  }\n }\n}\n");
    auto* t = find<StaticText>("Text");
    ASSERT_NE(t, nullptr);
    t->SetText(L"ab <#color=ff00ff00#><#size=2#>cd\ne f\ng\nh\ni");
    step();
    Scrollbar* bar = t->vScrollbar;
    ASSERT_NE(bar, nullptr);
    // Five lines of 40: the size-2 run is in force from the first space on.
    EXPECT_EQ(bar->totalSize, 200.0f);
    EXPECT_EQ(t->GetTextHeight(), 40.0f);
    auto draws = render();
    ASSERT_EQ(draws.size(), 4u);  // the first line fills the height
    EXPECT_EQ(brief(draws[0]), "10,20 10x20*1,1 80808080");
    EXPECT_EQ(brief(draws[2]), "50,20 10x20*2,2 FF00FF00");
    const auto clips = viewports();
    EXPECT_NE(std::find(clips.begin(), clips.end(), "0,20,320,40"), clips.end());
    EXPECT_EQ(clips.back(), "0,0,320,240");

    // Less than one pitch shows the same first line; a whole pitch starts
    // at "e f", drawn at the top, still in the run's style.
    bar->SetScrollPosition(39);
    EXPECT_EQ(brief(render()[0]), "10,20 10x20*1,1 80808080");
    bar->SetScrollPosition(40);
    draws = render();
    EXPECT_EQ(brief(draws[0]), "10,20 10x20*2,2 FF00FF00");
    // Far beyond the end shows the last line; a zero pitch shows the first.
    t->scrollY = 1e30f;
    EXPECT_EQ(render().size(), 1u);
    t->SetLineSpacing(-40);
    t->UpdateSelf(0.0f);
    t->scrollY = 50;
    EXPECT_EQ(brief(render()[0]), "10,20 10x20*1,1 80808080");

    // Vertical formatting, without scroll bars: no clip.
    StaticText plain("Plain");
    plain.SetFont(font);
    plain.SetSize(50, 100);
    plain.SetText(L"x");
    plain.SetVertFormatting(StaticText::FORMAT_BOTTOM);
    plain.UpdateSelf(0.0f);
    gui->GetRoot()->AddChild(&plain);
    t->SetVisible(false);
    draws = render();
    EXPECT_EQ(brief(draws.at(0)), "0,80 10x20*1,1 FFFFFFFF");
    for (const std::string& v : viewports())
        EXPECT_EQ(v, "0,0,320,240");
    plain.SetVertFormatting(StaticText::FORMAT_CENTER);
    EXPECT_EQ(brief(render().at(0)), "0,40 10x20*1,1 FFFFFFFF");

    gui->GetRoot()->RemoveChild(&plain);
}

TEST_F(TextTest, WordsLandWhereTheFontDrawsTheWholeLine)
{
    // The demo's large font: glyphs with lead-ins of both signs ('D' +2,
    // 'J' -2) after spaces, as in a certificate's name line.
    gui->fonts["Large"] = std::make_unique<aFont>(test_env::sourceDir() + "/data/GameData/Fonts/DejaVuSans28.ini");
    aFont* large = gui->fonts["Large"].get();
    script("statictext Text\n{\n AreaRect 0 0 320 60\n Font Large\n}\n");
    auto* t = find<StaticText>("Text");
    ASSERT_NE(t, nullptr);
    const std::wstring text = L"to Detective Jo";
    t->SetText(text);
    step();
    // The glyphs' left edges, spaces (no pixels) left out.
    const auto lefts = [](const std::vector<imgtest::SpriteDraw>& draws) {
        std::vector<float> out;
        for (const imgtest::SpriteDraw& d : draws)
            if (d.right > d.left)
                out.push_back(d.tx);
        return out;
    };
    const std::vector<float> words = lefts(render());
    rec->clear();
    large->drawString(0.0f, 0.0f, text, 16);
    const std::vector<float> whole = lefts(spriteDraws());
    ASSERT_EQ(words.size(), 13u);
    EXPECT_EQ(words, whole);
}

// Words drawn every frame are placed once and drawn again from what they
// keep: after each change they were placed from, the draws are new and the
// same as those of the text laid out and placed afresh.
TEST_F(TextTest, KeptWordsFollowWhatTheyWerePlacedFrom)
{
    script("statictext Text\n{\n AreaRect 10 20 101 40\n Font Syn\n TextNormalColor FF808080\n"
           " scrollbar _auto_vscroll\n {\n  AreaRect 101 0 10 40\n  widget _auto_thumb\n  {\n   AreaRect 0 0 10 4\n"
           "  }\n }\n}\n");
    auto* t = find<StaticText>("Text");
    ASSERT_NE(t, nullptr);
    std::wstring text = L"ab cd\nef\ngh";
    t->SetText(text);
    step();
    const auto words = [&] {
        const std::vector<std::string> kept = sourcedBriefs();
        t->SetText(text);
        step();
        EXPECT_EQ(sourcedBriefs(), kept);
        return kept;
    };
    std::vector<std::string> last = words();
    // Two of the three lines fit.
    ASSERT_EQ(last.size(), 6u);
    EXPECT_EQ(last[2], "40,20 10x20*1,1 FF808080 @30,80");  // "c"
    EXPECT_EQ(words(), last);
    const auto changed = [&](const char* what) {
        const std::vector<std::string> now = words();
        EXPECT_NE(now, last) << what;
        last = now;
    };
    text = L"ab cde\nef\ngh";
    t->SetText(text);
    step();
    changed("text");
    EXPECT_EQ(last.size(), 7u);
    t->SetPosition(15, 20);
    changed("moved across");
    t->SetPosition(15, 25);
    changed("moved down");
    t->SetHorzFormatting(StaticText::FORMAT_CENTER);
    step();
    changed("re-aligned across");
    t->SetSnapToPixels(false);
    changed("snapping");
    t->SetVertFormatting(StaticText::FORMAT_BOTTOM);
    changed("re-aligned down");
    t->SetTextColor(0xFF00FF00);
    changed("recoloured");
    t->SetFontSize(0.5f);
    step();
    changed("scaled");
    t->SetFontSize(1.0f);
    t->SetVertFormatting(StaticText::FORMAT_TOP);
    step();
    Scrollbar* bar = t->vScrollbar;
    ASSERT_NE(bar, nullptr);
    last = words();
    // Scrolled by a line and back: each word lands where its line is now.
    bar->SetScrollPosition(20);
    changed("scrolled down");
    bar->SetScrollPosition(0);
    changed("scrolled back");
    t->scrollX = 3;
    changed("scrolled across");
}
