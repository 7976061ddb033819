// The widget galleries' GUI on the offscreen GL device: it loads without
// a fault line, its tree is where the script puts it, and the cursor drawn
// follows the widget under the injected mouse.
#include <gtest/gtest.h>

#include "engine/gfx/a_image.h"
#include "engine/gui/gui_mouse_cursor.h"
#include "gui_test_bench.h"

using namespace GUI;
using guitest::DemoBench;

TEST_F(DemoBench, LoadsCleanlyAndSwitchesCursors)
{
    loadDemo();
    moveTo(600, 500);
    step(3);
    const std::vector<std::string> lines = log();
    const int start = logIndex("GUI script 'gallery:gallery.agui' parsing started");
    ASSERT_GE(start, 0);
    EXPECT_GE(logIndex("GUI script 'gallery:gallery.agui' parsing finished", start), start);
    for (std::size_t i = std::size_t(start); i < lines.size(); ++i)
        for (const char* fault :
             {"Error", "not found", "Cannot find", "already", "invalid", "cannot create", "not specified"})
            EXPECT_EQ(lines[i].find(fault), std::string::npos) << lines[i];

    Widget* desktop = gui->GetRoot()->FindChild("Desktop");
    ASSERT_NE(desktop, nullptr);
    Widget* play = gui->GetRoot()->FindChild("play", true);
    ASSERT_NE(play, nullptr);
    EXPECT_EQ(play->parent->parent->parent, desktop);
    EXPECT_EQ(play->parent->children.size(), 3u);
    EXPECT_EQ(play->parent->children[1]->GetName().rfind("auto", 0), 0u);
    EXPECT_EQ(play->GetText(), L"Play \u2014 \u0418\u0433\u0440\u0430\u0442\u044C");
    EXPECT_EQ(play->GetFont(), gui->GetFont("Small"));
    EXPECT_TRUE(play->hotkeyKey != 0 && play->soundClick);
    EXPECT_NE(gui->GetRoot()->FindChild("Badge", true)->region, nullptr);

    // The default arrow (hot spot 1, 1) over the desktop: white inside its
    // head; on "Aim" the cross-hair (hot spot 11, 11), orange at its centre.
    draw();
    EXPECT_EQ(gui->cursor, gui->GetMouseCursor("default"));
    EXPECT_EQ(pixelAt(600 - 1 + 3, 500 - 1 + 6), 0xFFFFFFu);
    EXPECT_EQ(pixelAt(600, 500), 0x000000u);
    moveTo(380, 95);
    step(2);
    draw();
    EXPECT_EQ(gui->hover, gui->GetRoot()->FindChild("Aim", true));
    EXPECT_EQ(pixelAt(380, 95), 0xFF8000u);
    EXPECT_EQ(pixelAt(380 - 11 + 3, 95 - 11 + 1), 0x000000u);
    EXPECT_EQ(pixelAt(600 - 1 + 3, 500 - 1 + 6), 0x000000u);
}

// The demo's default cursor is a plain arrow: one frame, black and white
// only, drawn the same however long it shows.
TEST_F(DemoBench, DefaultCursorIsOnePlainArrow)
{
    loadDemo();
    MouseCursor* arrow = gui->GetMouseCursor("default");
    ASSERT_NE(arrow, nullptr);
    EXPECT_EQ(arrow->anim.getFrameCount(), 1u);
    aImage* picture = images->GetImage("cursor_default");
    ASSERT_NE(picture, nullptr);
    int coloured = 0, shown = 0;
    for (int y = 0; y < int(picture->getHeight()); ++y)
        for (int x = 0; x < int(picture->getWidth()); ++x) {
            const std::uint32_t p = picture->getPixel(x, y);
            if ((p >> 24) == 0)
                continue;
            ++shown;
            const int r = int(p >> 16 & 0xFF), g = int(p >> 8 & 0xFF), b = int(p & 0xFF);
            coloured += std::max({r, g, b}) - std::min({r, g, b}) > 8;
        }
    EXPECT_GT(shown, 100);
    EXPECT_EQ(coloured, 0);

    // Its place on the screen (hot spot 1, 1) looks the same over two seconds.
    const auto cursorArea = [&] {
        draw();
        std::vector<std::uint32_t> out;
        const auto shot = backBuffer();
        for (int y = 499; y < 499 + 24; ++y)
            for (int x = 599; x < 599 + 24; ++x)
                out.push_back(shot[std::size_t(y) * 1024 + std::size_t(x)]);
        return out;
    };
    moveTo(600, 500);
    step(3);
    const auto first = cursorArea();
    for (int i = 0; i < 8; ++i) {
        step(16);
        EXPECT_TRUE(cursorArea() == first) << i;
    }
}
