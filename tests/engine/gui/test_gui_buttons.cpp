// Image, style and option buttons, check boxes and radio buttons: glyph
// strips, state choice, labels, hit tests, options and groups (recording
// device, injected mouse, the synthetic 10 x 20 font).
#include <gtest/gtest.h>

#include "engine/gfx/a_font.h"
#include "engine/gui/gui_checkbox.h"
#include "engine/gui/gui_option_button.h"
#include "engine/gui/gui_style_button.h"
#include "widget_bench.h"

using namespace GUI;
using Names = std::vector<std::string>;

namespace {

class ButtonTest : public guitest::WidgetBench {
protected:
    void SetUp() override
    {
        WidgetBench::SetUp();
        addFont("Syn");
        strip = addImage("strip", 40, 160, imgtest::solid(40, 160, 0xFFFFFFFF));
        // Opaque only in its right half.
        std::vector<std::uint32_t> half = imgtest::solid(20, 10, 0);
        for (int y = 0; y < 10; ++y)
            for (int x = 10; x < 20; ++x)
                half[std::size_t(y * 20 + x)] = 0xFFFFFFFF;
        addImage("half", 20, 10, half);
    }
    // The tops of the strip's source rectangles drawn, and their alphas.
    std::string glyphs()
    {
        std::string out;
        for (const imgtest::SpriteDraw& d : render())
            if (d.texture == strip->getTexture())
                out += (out.empty() ? "" : " ") + std::to_string(d.top) + "@" + std::to_string(d.color >> 24);
        return out;
    }
    // The label draws: "x,y" of each line's first glyph.
    std::vector<std::string> labelAt()
    {
        std::vector<std::string> out;
        float lastX = -1e9f, lastY = -1e9f;
        const void* glyphTexture = gui->GetFont("Syn")->getLoader()->texture->getTexture();
        for (const imgtest::SpriteDraw& d : render())
            if (d.texture == glyphTexture && (d.ty != lastY || d.tx < lastX)) {
                out.push_back(std::to_string(int(d.tx)) + "," + std::to_string(int(d.ty)));
                lastX = d.tx;
                lastY = d.ty;
            }
        return out;
    }
    aImage* strip = nullptr;
    guitest::EventTrace trace;
};

} // namespace

TEST_F(ButtonTest, GlyphStripStatesAndFades)
{
    script("imagebutton Btn\n{\n AreaRect 10 10\n Image strip\n}\n"
           "imagebutton Two\n{\n AreaRect 100 10\n Image strip\n GlyphCount 2\n Layout sideways\n}\n"
           "imagebutton Many\n{\n AreaRect 200 10 20 20\n Image strip\n GlyphCount 100000\n}\n");
    auto* btn = find<ImageButton>("Btn");
    auto* two = find<ImageButton>("Two");
    EXPECT_EQ(btn->area, aRect(10, 10, 40, 40));
    EXPECT_EQ(btn->disabledRect, aRect(0, 120, 40, 40));
    EXPECT_EQ(two->area, aRect(100, 10, 40, 80));
    EXPECT_EQ(two->hoverImage, nullptr);
    EXPECT_NE(newLog().find("ImageButton::EndFillProperties - invalid layout type 'sideways'"), std::string::npos);
    // Normal for both; "Many" has glyphs of height 0, drawn by nobody.
    EXPECT_EQ(glyphs(), "0@255 0@255");
    press(20, 20);
    EXPECT_EQ(glyphs(), "40@255 0@255");
    release();
    EXPECT_EQ(glyphs(), "80@255 0@255");
    press(110, 20, 0);
    EXPECT_EQ(glyphs(), "0@255 0@255");
    btn->SetEnabled(false);
    two->SetEnabled(false);
    EXPECT_EQ(glyphs(), "120@255 0@255");

    // With a fade time the hover glyph cross-fades over the normal one;
    // without, it shows only at a hover fade of exactly 1.
    btn->SetEnabled(true);
    btn->fadeInTime = 4 * kDt;
    press(20, 20, 0);
    EXPECT_EQ(glyphs(), "0@255 80@128 0@255");  // two frames of four
    btn->fadeInTime = 0;
    btn->fadeOutTime = 0;
    btn->hoverFade = 0.99f;
    EXPECT_EQ(glyphs(), "0@255 0@255");
}

TEST_F(ButtonTest, LabelsColoursAndHitTest)
{
    script("stylebutton Sty\n{\n AreaRect 0 0 100 60\n Font Syn\n Text \"ignored\"\n TextHorzAlign right\n"
           " TextVertAlign top\n TextExtent 5 3\n TextPushOffset 2 1\n LineSpacing 4\n"
           " TextColor FF000010 FF0000F0 FF00FF00 80FFFFFF\n}\n"
           "imagebutton Hit\n{\n AreaRect 150 0 40 20\n NormalImage half\n NormalRect 10 0 10 10\n"
           " TransparentAlpha 1\n}\n");
    auto* sty = find<StyleButton>("Sty");
    sty->SetText(L"A\nBB");
    // Right-aligned lines, 5 from the right edge, 24 apart.
    EXPECT_EQ(labelAt(), (Names{"85,3", "75,27"}));
    EXPECT_EQ(sty->GetTextColor(), 0xFF000010u);
    sty->hoverFade = 0.5f;
    EXPECT_EQ(sty->GetTextColor(), 0xFF000080u);
    // A right press neither pushes nor moves the label; a left press does.
    press(50, 30, 2);
    EXPECT_FALSE(sty->pushed);
    EXPECT_EQ(labelAt().at(0), "85,3");
    release();
    press(50, 30, 1);
    EXPECT_EQ(labelAt().at(0), "87,4");
    EXPECT_EQ(sty->GetTextColor(), 0xFF00FF00u);
    // Lost release: hidden while held, the push ends.
    sty->SetVisible(false);
    step();
    EXPECT_FALSE(sty->pushed);
    release();
    sty->SetVisible(true);
    sty->SetEnabled(false);
    EXPECT_EQ(sty->GetTextColor(), 0x80FFFFFFu);

    // The glyph is the opaque right half, stretched to 40 x 20: every point
    // of the button is solid; turned, nothing is transparent.
    auto* hit = find<ImageButton>("Hit");
    EXPECT_FALSE(hit->IsTransparentAt(0, 0));
    EXPECT_FALSE(hit->IsTransparentAt(39, 19));
    hit->normalRect = aRect(0, 0, 20, 10);
    EXPECT_TRUE(hit->IsTransparentAt(19, 5));
    EXPECT_FALSE(hit->IsTransparentAt(20, 5));
    hit->normalRect = aRect(15, 5, 20, 10);  // half outside the image
    EXPECT_TRUE(hit->IsTransparentAt(39, 19));
    hit->rotAngle = 10;
    EXPECT_FALSE(hit->IsTransparentAt(39, 19));
}

// A label drawn every frame is placed once and drawn again from what it
// keeps: after each change it was placed from, the draws are new and the
// same as those of the label placed afresh (its text set again).
TEST_F(ButtonTest, KeptLabelFollowsWhatItWasPlacedFrom)
{
    // 'A' and 'B' 14 wide with lead-ins, from other places of the texture.
    const std::string wide = test_env::home() + "/wide.ini";
    const auto writeWide = [&](int column) {
        test_env::writeFile(wide, "[General]\nTexture = synthetic.png\nFormat16 = 4444\nFormat32 = 8888\n"
                                  "[Charlist]\n41 = " + std::to_string(column) + " 20 14 20 2 1\n42 = " +
                                      std::to_string(column + 20) + " 20 14 20 2 1\n");
    };
    writeWide(0);
    gui->fonts["Wide"] = std::make_unique<aFont>(wide);
    aFont* wideFont = gui->GetFont("Wide");
    script("stylebutton Sty\n{\n AreaRect 20 10 101 60\n Font Syn\n Text \"AB\"\n TextPushOffset 2 1\n"
           " TextColor FF000010 FF0000F0 FF00FF00 80FFFFFF\n}\n");
    auto* sty = find<StyleButton>("Sty");
    ASSERT_NE(sty, nullptr);
    const auto label = [&] {
        const std::vector<std::string> kept = sourcedBriefs();
        sty->SetText(std::wstring(sty->GetText()));
        EXPECT_EQ(sourcedBriefs(), kept);
        return kept;
    };
    std::vector<std::string> last = label();
    // Centred in 101 pixels: on whole pixels from 60.5; "A" and "B" of the texture.
    ASSERT_EQ(last, (Names{"61,30 10x20*1,1 FF000010 @10,40", "71,30 10x20*1,1 FF000010 @20,40"}));
    EXPECT_EQ(label(), last);
    const auto changed = [&](const char* what) {
        const std::vector<std::string> now = label();
        EXPECT_NE(now, last) << what;
        last = now;
    };
    sty->SetText(L"ABA");
    changed("text");
    EXPECT_EQ(last.size(), 3u);
    sty->drawFlags = 0;
    changed("snapping");
    sty->SetPosition(30, 10);
    changed("moved");
    sty->SetSize(120, 60);
    changed("resized");
    sty->textHorzAlign = ALIGN_RIGHT;
    changed("re-aligned across");
    sty->textVertAlign = ALIGN_BOTTOM;
    changed("re-aligned down");
    sty->textExtent[0] = 7;
    changed("margin");
    sty->SetText(L"A\nB");
    changed("lines");
    sty->lineSpacing = 5;
    changed("line spacing");
    sty->SetNormalTextColor(0xFF123456);
    changed("recoloured");
    sty->SetFontSize(2);
    changed("scaled");
    sty->SetFont(wideFont);
    changed("font");
    writeWide(100);
    wideFont->getLoader()->load(wide);
    changed("font reloaded");
    EXPECT_NE(last.at(0).find("@100,20"), std::string::npos);
    moveTo(140, 40);
    step();
    press(140, 40);
    EXPECT_TRUE(sty->pushed);
    changed("pushed");
}

TEST_F(ButtonTest, OptionSteps)
{
    OptionButton opt("Opt");
    trace.watch(&opt, {EventOptionChanged});
    MouseEventArgs left(&opt), right(&opt), middle(&opt);
    right.button = 1;
    middle.button = 2;
    opt.OnClick(left);
    EXPECT_TRUE(trace.take().empty());
    opt.options = {L"one", L"two", L"three"};
    opt.OnClick(left);
    EXPECT_EQ(opt.selectedIndex, 0);
    opt.OnClick(right);
    EXPECT_EQ(opt.selectedIndex, 2);
    opt.OnClick(left);
    EXPECT_EQ(opt.selectedIndex, 0);
    opt.OnClick(middle);
    EXPECT_EQ(trace.take().size(), 3u);
    // After the list shrank under the selection: forward wraps, back is the last.
    opt.selectedIndex = 5;
    opt.OnClick(left);
    EXPECT_EQ(opt.selectedIndex, 0);
    opt.selectedIndex = 5;
    opt.OnClick(right);
    EXPECT_EQ(opt.selectedIndex, 2);
}

TEST_F(ButtonTest, CheckBoxesAndRadioGroups)
{
    std::string radios;
    for (int i = 0; i < 3; ++i)
        radios += "radiobutton Ra" + std::to_string(i) + "\n{\n AreaRect " + std::to_string(i * 50) +
                  " 100 40 20\n Image strip\n GroupID 1\n" + (i == 0 ? " Checked 1\n" : "") + "}\n";
    script("checkbox Chk\n{\n AreaRect 0 0 100 40\n Image strip\n ImageRect 0 0 20 80\n Font Syn\n Text \"x\"\n"
           " MultiClick 1\n widget _auto_check\n {\n  AreaRect 0 0 20 20\n  Static 1\n }\n}\n"
           "checkbox Wide\n{\n AreaRect 200 0 10 10\n Image strip\n RightAlign 1\n}\n"
           "radiobutton Free\n{\n AreaRect 0 150 20 20\n Image strip\n}\n" + radios);
    auto* chk = find<Checkbox>("Chk");
    Widget* mark = chk->checkWidget;
    ASSERT_NE(mark, nullptr);
    EXPECT_FALSE(mark->visible);
    EXPECT_NE(newLog().find("Checkbox::Initialize - Check widget for checkbox 'Wide' not found"),
              std::string::npos);
    trace.watch(chk, {EventCheckChanged, EventClick});
    // Box 20 x 20 at the left, centred; the label beside it.
    auto draws = render();
    EXPECT_EQ(brief(draws.at(0)), "0,10 20x20*1,1 FFFFFFFF");
    EXPECT_EQ(brief(draws.at(1)).substr(0, 5), "55,10");

    click(5, 20);
    EXPECT_TRUE(chk->checked && mark->visible);
    EXPECT_EQ(trace.take(), (Names{"Chk.CheckChanged", "Chk.Click"}));
    click(5, 20, 2);
    EXPECT_TRUE(chk->checked);
    chk->SetChecked(true);
    EXPECT_TRUE(trace.take().empty());
    // A double click toggles twice (the second press gives no Click).
    click(30, 20);
    click(30, 20);
    EXPECT_TRUE(chk->checked);
    EXPECT_EQ(trace.take(), (Names{"Chk.CheckChanged", "Chk.Click", "Chk.CheckChanged"}));

    // A box larger than the widget overhangs to the left, centred; the label has no room.
    auto* wide = find<Checkbox>("Wide");
    wide->SetText(L"w");
    wide->SetFont(chk->GetFont());
    chk->SetVisible(false);
    draws = render();
    const auto at = std::find_if(draws.begin(), draws.end(), [](const auto& d) { return d.tx > 150; });
    ASSERT_NE(at, draws.end());
    EXPECT_EQ(brief(*at).substr(0, 13), "170,-15 40x40");

    // Radio groups: siblings of one GroupID, never GroupID 0.
    auto* r0 = find<RadioButton>("Ra0");
    auto* r1 = find<RadioButton>("Ra1");
    auto* free = find<RadioButton>("Free");
    trace.watch(r1, {EventCheckChanged});
    EXPECT_TRUE(r0->checked);
    click(60, 110, 1);
    EXPECT_TRUE(r1->checked);
    EXPECT_FALSE(r0->checked);
    click(60, 110, 1);
    EXPECT_TRUE(r1->checked);
    EXPECT_TRUE(trace.take() == Names{});
    free->SetChecked(true);
    r0->groupID = 0;
    r0->SetChecked(true);
    EXPECT_TRUE(free->checked && r0->checked && r1->checked);
}
