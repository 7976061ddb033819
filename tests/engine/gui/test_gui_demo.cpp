// The widget galleries' GUI on the offscreen GL device: it loads without
// a fault line, its tree is where the script puts it, and the cursor drawn
// follows the widget under the injected mouse.
#include <gtest/gtest.h>

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
