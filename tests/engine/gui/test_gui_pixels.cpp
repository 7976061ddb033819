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

// The nine cells of a 90 x 90 frame: corners solid, the top edge in a left
// and a right half, the left edge in a top and a bottom half, the interior
// in four quadrants, the other edges solid.
enum : std::uint32_t {
    TL = 0xFF0000, TR = 0x00FF00, BL = 0x0000FF, BR = 0xFFFF00, T1 = 0xFF00FF, T2 = 0x00FFFF, L1 = 0x800000,
    L2 = 0x008000, R = 0x000080, B = 0x808000, I0 = 0x800080, I1 = 0x008080, I2 = 0xFF8000, I3 = 0x80FF00,
};

std::uint32_t cell(int x, int y)
{
    const int col = x / 30, row = y / 30, u = x % 30, v = y % 30;
    switch (row * 3 + col) {
    case 0: return TL;
    case 1: return u < 15 ? T1 : T2;
    case 2: return TR;
    case 3: return v < 15 ? L1 : L2;
    case 4: return (u < 15 ? 0 : 1) + (v < 15 ? 0 : 2) == 0 ? I0 : (u < 15 ? (v < 15 ? I0 : I2) : (v < 15 ? I1 : I3));
    case 5: return R;
    case 6: return BL;
    case 7: return B;
    default: return BR;
    }
}

// What a stretch-edged, tile-filled frame puts at (x, y) of the screen;
// `blurred` marks pixels next to a stretched boundary, where filtering
// may mix neighbours.
std::uint32_t expected(const aRect& d, int x, int y, bool& blurred)
{
    blurred = false;
    const int dx = x - d.x, dy = y - d.y, W = d.width, H = d.height;
    if (dx < 0 || dy < 0 || dx >= W || dy >= H)
        return 0;
    const bool left = dx < 30, right = dx >= W - 30, top = dy < 30, bottom = dy >= H - 30;
    if ((left || right) && (top || bottom))
        return cell(left ? dx : dx - (W - 90), top ? dy : dy - (H - 90));
    const auto near = [](int a, int b) { return a - b >= -2 && a - b <= 1; };
    if (top || bottom) {
        const int mid = 30 + (W - 60) / 2;
        blurred = near(dx, 30) || near(dx, W - 30) || (top && near(dx, mid));
        return top ? (dx < mid ? T1 : T2) : B;
    }
    if (left || right) {
        const int mid = 30 + (H - 60) / 2;
        blurred = near(dy, 30) || near(dy, H - 30) || (left && near(dy, mid));
        return left ? (dy < mid ? L1 : L2) : R;
    }
    return cell(30 + (dx - 30) % 30, 30 + (dy - 30) % 30);
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
    style.Set("Image", "nine");
    style.Set("AutoSlice", "all");
    style.Set("EdgeGlobal", "stretch");
    style.Set("FillType", "tile");
    style.EndFillProperties();
    for (const aRect& dest : {aRect(10, 10, 100, 80), aRect(20, 4, 170, 120), aRect(70, 30, 60, 60)}) {
        ASSERT_TRUE(server->beginScene());
        style.Draw(dest, 0xFFFFFFFF);
        server->endScene();
        const std::vector<std::uint32_t> px = backBuffer();
        int wrong = 0, checked = 0;
        for (int y = 0; y < 128; ++y)
            for (int x = 0; x < 192; ++x) {
                bool blurred = false;
                const std::uint32_t want = expected(dest, x, y, blurred);
                if (blurred)
                    continue;
                ++checked;
                if (px[std::size_t(y) * 192 + std::size_t(x)] != want && ++wrong <= 5)
                    ADD_FAILURE() << "(" << x << ", " << y << ") of " << dest.width << "x" << dest.height << ": "
                                  << std::hex << px[std::size_t(y) * 192 + std::size_t(x)] << " not " << want;
            }
        EXPECT_EQ(wrong, 0);
        EXPECT_GT(checked, 192 * 128 * 9 / 10);
    }
}
