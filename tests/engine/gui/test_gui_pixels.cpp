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
