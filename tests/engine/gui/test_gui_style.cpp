// Styles: building from properties and the draws of the nine slices
// (recording device).
#include <gtest/gtest.h>

#include "engine/gui/gui_style.h"
#include "gui_test_bench.h"

using namespace GUI;

namespace {

// A draw as "x,y source-x,source-y,w,h sx,sy".
using Draws = std::vector<std::string>;

class StyleTest : public guitest::RecordingBench {
protected:
    void SetUp() override
    {
        RecordingBench::SetUp();
        addImage("nine", 90, 90, imgtest::solid(90, 90, 0xFFFFFFFF));
        newLog();
    }

    std::unique_ptr<Style> make(const std::vector<std::pair<std::string, std::string>>& lines)
    {
        auto style = std::make_unique<Style>("s");
        style->BeginFillProperties();
        for (const auto& [key, value] : lines)
            style->Set(key, value);
        style->EndFillProperties();
        return style;
    }

    Draws draw(const Style& style, const aRect& dest, std::uint32_t color = 0xFFFFFFFF)
    {
        rec->clear();
        style.Draw(dest, color);
        Draws out;
        char text[96];
        for (const imgtest::SpriteDraw& d : spriteDraws()) {
            std::snprintf(text, sizeof text, "%g,%g %lld,%lld,%lld,%lld %g,%g", double(d.tx), double(d.ty),
                          (long long)d.left, (long long)d.top, (long long)(d.right - d.left),
                          (long long)(d.bottom - d.top), double(d.sx), double(d.sy));
            out.push_back(text);
        }
        return out;
    }
};

} // namespace

TEST_F(StyleTest, AutoSliceAloneLogsAndDrawsCorners)
{
    auto style = make({{"Image", "nine"}, {"AutoSlice", "ALL"}});
    const std::string log = newLog();
    for (const char* edge : {"EdgeLeft", "EdgeTop", "EdgeRight", "EdgeBottom"})
        EXPECT_NE(log.find(std::string("Style::MakeFromScript - invalid ") + edge + " = ''"), std::string::npos);
    EXPECT_NE(log.find("Style::MakeFromScript - invalid FillType = ''"), std::string::npos);
    EXPECT_EQ(style->interior, aRect(30, 30, 30, 30));
    EXPECT_EQ(draw(*style, aRect(5, 6, 100, 80)), (Draws{"5,6 0,0,30,30 1,1", "75,6 60,0,30,30 1,1",
                                                       "5,56 0,60,30,30 1,1", "75,56 60,60,30,30 1,1"}));
    // In a scene the four go to the device as one draw.
    ASSERT_EQ(graph->m_device->BeginScene(), D3D_OK);
    graph->m_device->resetStats();
    style->Draw(aRect(5, 6, 100, 80), 0xFFFFFFFF);
    EXPECT_EQ(graph->m_device->stats().drawCalls, 1u);
    ASSERT_EQ(graph->m_device->EndScene(), D3D_OK);

    // Bad keywords keep the type; an unknown image draws nothing.
    style->BeginFillProperties();
    style->Set("EdgeGlobal", "wavy");
    style->Set("FillType", "tile");
    style->Set("Image", "absent");
    style->EndFillProperties();
    EXPECT_EQ(style->edgeTop, Style::FILL_NONE);
    EXPECT_EQ(style->fillType, Style::FILL_TILE);
    const std::string bad = newLog();
    EXPECT_NE(bad.find("Style::MakeFromScript - invalid EdgeType = 'wavy'"), std::string::npos);
    EXPECT_NE(bad.find("GUI::Server::GetImage - image \"absent\" not found!"), std::string::npos);
    EXPECT_TRUE(draw(*style, aRect(0, 0, 90, 90)).empty());
}

TEST_F(StyleTest, TightDestinationsAndColour)
{
    // Whole destinations are checked by pixels; here the ones with no room.
    auto style = make({{"Image", "nine"}, {"AutoSlice", "all"}, {"EdgeGlobal", "stretch"}, {"FillType", "tile"}});
    EXPECT_EQ(newLog().find("invalid"), std::string::npos);
    // Narrower than two corners: no top or bottom edge, no interior; the
    // corners overlap. Smaller than the sides: never a mirrored interior.
    EXPECT_EQ(draw(*style, aRect(0, 0, 50, 90)),
              (Draws{"0,30 0,30,30,30 1,1", "20,30 60,30,30,30 1,1", "0,0 0,0,30,30 1,1", "20,0 60,0,30,30 1,1",
                     "0,60 0,60,30,30 1,1", "20,60 60,60,30,30 1,1"}));
    EXPECT_EQ(draw(*style, aRect(0, 0, 20, 20)).size(), 4u);
    EXPECT_TRUE(draw(*style, aRect(0, 0, 100, 80), 0x00FFFFFF).empty());
    rec->clear();
    style->Draw(aRect(0, 0, 100, 80), 0x80FF0000);
    EXPECT_EQ(spriteDraws().size(), 10u);
    for (const imgtest::SpriteDraw& d : spriteDraws())
        EXPECT_EQ(d.color, 0x80FF0000u);
}

TEST_F(StyleTest, ExplicitSlicesSkippingAndEmptySlices)
{
    // Slices of none-typed parts are not read; a slice left out is empty
    // and never drawn (no division by its size, no endless tiling).
    auto style = make({{"Image", "nine"}, {"EdgeLeft", "stretch"}, {"EdgeTop", "tile"}, {"EdgeRight", "none"},
                       {"EdgeBottom", "none"}, {"FillType", "stretch"}, {"TopLeft", "0 0 10 10"},
                       {"TopRight", "80 0 10 10"}, {"Left", "0 10 10 70"}, {"Top", "10 0 70 10"},
                       {"Right", "80 10 10 70"}, {"Interior", "10 10 0 70"}});
    EXPECT_EQ(newLog().find("invalid"), std::string::npos);
    EXPECT_TRUE(style->right == aRect() && style->bottomLeft == aRect());
    EXPECT_EQ(draw(*style, aRect(0, 0, 50, 50)),
              (Draws{"10,0 10,0,30,10 1,1", "0,10 0,10,10,70 1,0.571429", "0,0 0,0,10,10 1,1", "40,0 80,0,10,10 1,1"}));

    auto empty = make({{"Image", "nine"}, {"EdgeGlobal", "tile"}, {"FillType", "stretch"}});
    EXPECT_TRUE(draw(*empty, aRect(0, 0, 64, 48)).empty());
}

TEST_F(StyleTest, KeepsItsImageWhenTheListGoes)
{
    auto style = make({{"Image", "nine"}, {"AutoSlice", "all"}});
    images.reset();
    gui->imageManager = nullptr;
    EXPECT_EQ(draw(*style, aRect(0, 0, 90, 90)).size(), 4u);
}
