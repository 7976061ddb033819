// What the widget tree and the cursor put on an offscreen GL back buffer.
#include <gtest/gtest.h>

#include "gui_test_bench.h"

using namespace GUI;
using guitest::FillWidget;

namespace {

class GuiPixels : public guitest::GlBench {
protected:
    void draw()
    {
        ASSERT_TRUE(server->beginScene());
        gui->GetRoot()->Render();
        server->endScene();
    }
};

} // namespace

TEST_F(GuiPixels, ClippingAndInheritedAlpha)
{
    FillWidget parent("p", 0xFF000080, aRect(10, 10, 20, 20));
    FillWidget clipped("c", 0xFFFF0000, aRect(15, 2, 20, 4));   // overhangs to x = 45
    FillWidget loose("l", 0xFF00FF00, aRect(15, 12, 20, 4));
    loose.clipByParent = false;
    gui->GetRoot()->AddChild(&parent);
    parent.AddChild(&clipped);
    parent.AddChild(&loose);
    draw();
    Pixels red, green;
    const auto px = backBuffer();
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            const std::uint32_t c = px[std::size_t(y * kWidth + x)];
            if (c == 0xFF0000)
                red.emplace(x, y);
            if (c == 0x00FF00)
                green.emplace(x, y);
        }
    EXPECT_EQ(red, box(25, 12, 5, 4));
    EXPECT_EQ(green, box(25, 22, 20, 4));

    // 0.5 x 0.5 of white on black reads a quarter.
    gui->GetRoot()->RemoveChild(&parent);
    FillWidget outer("o", 0x00000000, aRect(0, 0, 64, 48)), inner("i", 0xFFFFFFFF, aRect(4, 4, 8, 8));
    outer.alpha = 0.5f;
    inner.alpha = 0.5f;
    gui->GetRoot()->AddChild(&outer);
    outer.AddChild(&inner);
    draw();
    const std::uint32_t quarter = pixel(6, 6);
    EXPECT_NEAR(double(quarter & 0xFF), 64.0, 2.0);
    EXPECT_EQ(quarter & 0xFF, (quarter >> 16) & 0xFF);
}

TEST_F(GuiPixels, ActiveCursorAtMouseLessHotSpot)
{
    addImage("arrow", 4, 4, imgtest::solid(4, 4, 0xFFFF0000));
    auto c = std::make_unique<MouseCursor>("default");
    c->BeginFillProperties();
    c->Set("Image", "arrow");
    c->Set("FrameSize", "4 4");
    c->Set("HotSpot", "2 3");
    c->EndFillProperties();
    gui->cursors["default"] = std::move(c);
    mouse.push(0, 30, 20);
    frame();
    gui->SetCursor("default");
    draw();
    EXPECT_EQ(lit(), box(28, 17, 4, 4));
    gui->cursors["default"]->SetHotSpot(0, 0);
    draw();
    EXPECT_EQ(lit(), box(30, 20, 4, 4));
    gui->ShowMouseCursor(false);
    draw();
    EXPECT_TRUE(lit().empty());
}

namespace {

class StylePixels : public guitest::GuiBench<guitest::SizedGlServerTest<192, 128>> {
protected:
    GUI::Server* gui_() override { return gui.get(); }
};

// The nine 30 x 30 cells of a 90 x 90 frame: corners solid, the top edge in
// a left and a right half, the left edge in a top and a bottom half, the
// interior in four quadrants, the other edges solid.
enum : std::uint32_t {
    TL = 0xFF0000, TR = 0x00FF00, BL = 0x0000FF, BR = 0xFFFF00, T1 = 0xFF00FF, T2 = 0x00FFFF, L1 = 0x800000,
    L2 = 0x008000, R = 0x000080, B = 0x808000, I0 = 0x800080, I1 = 0x008080, I2 = 0xFF8000, I3 = 0x80FF00,
};

std::uint32_t cell(int x, int y)
{
    const bool u = x % 30 >= 15, v = y % 30 >= 15;
    const std::uint32_t cells[9] = {TL, u ? T2 : T1, TR, v ? L2 : L1, v ? (u ? I3 : I2) : (u ? I1 : I0), R, BL, B, BR};
    return cells[y / 30 * 3 + x / 30];
}

} // namespace

TEST_F(StylePixels, NineSlicesAtThreeSizes)
{
    std::vector<std::uint32_t> argb;
    for (int y = 0; y < 90; ++y)
        for (int x = 0; x < 90; ++x)
            argb.push_back(0xFF000000 | cell(x, y));
    addImage("nine", 90, 90, argb);
    Style style("nine");
    style.BeginFillProperties();
    for (const auto& [key, value] : {std::pair<const char*, const char*>{"Image", "nine"}, {"AutoSlice", "all"},
                                     {"EdgeGlobal", "stretch"}, {"FillType", "tile"}})
        style.Set(key, value);
    style.EndFillProperties();
    for (const aRect& d : {aRect(10, 10, 100, 80), aRect(20, 4, 170, 120), aRect(70, 30, 60, 60)}) {
        ASSERT_TRUE(server->beginScene());
        style.Draw(d, 0xFFFFFFFF);
        server->endScene();
        // Every pixel of the destination and nothing outside it.
        EXPECT_EQ(litAt(), box(d.x, d.y, d.width, d.height));
        const int W = d.width, H = d.height, qw = (W - 60) / 4, qh = (H - 60) / 4;
        struct Sample {
            int x, y;
            std::uint32_t color;
        };
        // Corners to their last pixel; edges stretched (halves at the middle);
        // the interior tiled from its top-left, the last tile clipped.
        std::vector<Sample> samples = {{0, 0, TL},      {29, 29, TL},    {W - 30, 0, TR},      {W - 1, 29, TR},
                                       {0, H - 30, BL}, {29, H - 1, BL}, {W - 30, H - 30, BR}, {W - 1, H - 1, BR}};
        if (W > 60)
            samples.insert(samples.end(), {{30 + qw, 5, T1}, {W - 31 - qw, 5, T2}, {W / 2, H - 5, B},
                                           {30, 30, I0}, {45, 30, I1}, {30, 45, I2}, {45, 45, I3}, {60, 30, I0}});
        if (H > 60)
            samples.insert(samples.end(), {{5, 30 + qh, L1}, {5, H - 31 - qh, L2}, {W - 5, H / 2, R}});
        if (W > 90)
            samples.push_back({W - 31, 30, (W - 60) % 30 > 15 ? I1 : I0});
        for (const Sample& s : samples)
            EXPECT_EQ(pixelAt(d.x + s.x, d.y + s.y), s.color) << W << "x" << H << " at " << s.x << ", " << s.y;
    }
}
