// The context menu on scripted mouse frames: the shared font, layout,
// placement at the screen edges, rows, submenus and statuses.
#include <memory>
#include <utility>

#include "engine/gfx/a_context_menu.h"
#include "test_mouse_fixture.h"

namespace {

using mousetest::kLeft;

class ContextMenuTest : public mousetest::MouseTest {
protected:
    const char* appName() const override { return "ContextMenuTest"; }

    // A frame, then the menu's update at the same cursor.
    int at(aContextMenu& menu, unsigned buttons, int x, int y, float dt = 0.02f)
    {
        frame(buttons, x, y);
        return menu.update(dt, x, y);
    }
    static int rowX(const aContextMenu& m) { return int(m.getX() + m.getWidth() / 2); }
    static int rowY(const aContextMenu& m, std::size_t row, int down = aContextMenu::kLineHeight / 2)
    {
        return int(m.getY() + m.getItems()[row].y) + down;
    }
    // Press and release on a row: the status of the release.
    int clickRow(aContextMenu& menu, std::size_t row, int down = aContextMenu::kLineHeight / 2)
    {
        at(menu, kLeft, rowX(menu), rowY(menu, row, down));
        return at(menu, 0, rowX(menu), rowY(menu, row, down));
    }
    static int textWidth(const char* text)
    {
        RECT r{0, 0, 0, 0};
        aContextMenu::font()->DrawTextA(text, -1, &r, DT_CALCRECT, 0xFF000000);
        return int(r.right - r.left);
    }
    static std::string checks(const aContextMenu& menu)
    {
        std::string out;
        for (const aContextMenu::Item& row : menu.getItems())
            out += char('0' + row.checked);
        return out;
    }
};

} // namespace

TEST_F(ContextMenuTest, SharedFontLayoutAndMissingServices)
{
    auto first = std::make_unique<aContextMenu>();
    platform::GfxFont* font = aContextMenu::font();
    ASSERT_NE(font, nullptr);
    delete new aContextMenu;  // not the last: the font stays
    EXPECT_EQ(aContextMenu::font(), font);

    // The label with the most characters sets the width, not the widest.
    first->setItems({{1, "WWWW"}, {2, "iiiiiiii"}, {9, ""}}, 9, 0, 0);
    first->layout({1, 9, 2, 77});
    EXPECT_NE(newLog().find("aContextMenu::layout. No item with id 77"), std::string::npos);
    ASSERT_EQ(first->getItems().size(), 3u);
    EXPECT_EQ(first->getItems()[2].y, 4.0f + 19.0f + 9.0f);
    EXPECT_EQ(first->getHeight(), 4.0f + 19 + 9 + 19 + 4);
    ASSERT_LT(textWidth("iiiiiiii"), textWidth("WWWW"));
    EXPECT_EQ(first->getWidth(), float(textWidth("iiiiiiii") + 40));
    graph->reset();
    EXPECT_NE(aContextMenu::font(), nullptr);
    first.reset();
    EXPECT_EQ(aContextMenu::font(), nullptr);
    EXPECT_EQ(graph->m_fonts.count("ContextMenuFont"), 0u);

    // Without a graphics server: logged, no font, labels measure 0.
    app.m_graphServer = nullptr;
    first = std::make_unique<aContextMenu>();
    first->setItems({{1, "Something long"}}, 255, 640, 480);
    first->layout({1});
    EXPECT_EQ(first->getWidth(), 40.0f);
    app.m_graphServer = graph;
    EXPECT_NE(newLog().find("aContextMenu. Error, aGraphServer object not created!"), std::string::npos);
}

TEST_F(ContextMenuTest, RowsChooseToggleAndReportStatuses)
{
    aContextMenu menu, other;
    menu.setItems({{1, "Check"}, {2, "A"}, {3, "B"}, {4, "C"}, {5, "D"}, {6, "Off"}, {7, "Plain"}, {8, "Sub"}, {9, ""}},
                  9, 0, 0);
    menu.setItemType(1, MENU_ITEM_CHECK);
    for (std::uint32_t id = 2; id <= 5; ++id)
        menu.setItemType(id, MENU_ITEM_RADIO);
    menu.setSubmenu(8, nullptr);
    menu.layout({1, 2, 3, 9, 4, 5, 6, 7, 8});
    menu.setItemState(6, MENU_STATE_ENABLED, 0);
    menu.setItemState(2, MENU_STATE_CHECKED, 1);
    menu.setItemState(4, MENU_STATE_CHECKED, 1);
    menu.setItemState(8, MENU_STATE_SUBMENU, &other);
    EXPECT_EQ(menu.getItems()[8].submenu, &other);

    EXPECT_EQ(at(menu, 0, 50, 50), MENU_NOT_OPEN);
    // A radio row is selected within its run only; a choice closes.
    menu.open(100, 100);
    EXPECT_EQ(clickRow(menu, 2), MENU_CHOSEN);
    EXPECT_FALSE(menu.isOpen());
    EXPECT_EQ(menu.getSelectedId(), 3);
    EXPECT_EQ(checks(menu), "001010000");
    // A check row toggles and is a choice.
    menu.open(100, 100);
    EXPECT_EQ(clickRow(menu, 0), MENU_CHOSEN);
    EXPECT_EQ(menu.getItems()[0].checked, 1);

    // Disabled, separator and submenu rows choose nothing, nor does the margin.
    menu.open(100, 100);
    EXPECT_EQ(clickRow(menu, 6), MENU_OVER);
    EXPECT_EQ(clickRow(menu, 3, 4), MENU_OVER);
    EXPECT_EQ(clickRow(menu, 8), MENU_OVER);
    EXPECT_EQ(at(menu, 0, 102, rowY(menu, 1)), MENU_OVER);
    EXPECT_EQ(menu.getHoveredItem(), -1);
    EXPECT_EQ(at(menu, 0, int(menu.getX() + menu.getWidth()), 120), MENU_OUTSIDE);
    EXPECT_TRUE(menu.isOpen());
    EXPECT_EQ(at(menu, kLeft, 20, 20), MENU_CLOSED);
    EXPECT_FALSE(menu.isOpen());

    menu.setCloseOnClick(false);
    menu.open(100, 100);
    EXPECT_EQ(clickRow(menu, 7), MENU_CHOSEN);
    EXPECT_TRUE(menu.isOpen());
}

TEST_F(ContextMenuTest, SubmenusPlacementDelayAndChoice)
{
    aContextMenu menu, sub;
    menu.setItems({{1, "Plain"}, {2, "Display"}}, 255, 0, 0);
    menu.setSubmenu(2, &sub);
    menu.layout({1, 2});
    sub.setItems({{10, "All"}, {11, "None"}, {12, "Selected"}}, 255, 0, 0);
    for (std::uint32_t id = 10; id <= 12; ++id)
        sub.setItemType(id, MENU_ITEM_RADIO);
    sub.layout({10, 11, 12});
    sub.setItemState(12, MENU_STATE_CHECKED, 1);

    // Left and up near the right and bottom edges; a submenu overlaps its
    // parent's row by 4, or lies left of the parent and up to the row.
    const float w = menu.getWidth(), h = menu.getHeight(), sw = sub.getWidth(), sh = sub.getHeight();
    menu.open(630, 470);
    EXPECT_EQ((std::pair(menu.getX(), menu.getY())), (std::pair(630 - w, 470 - h)));
    sub.openAsSubmenu(200, 100, 150);
    EXPECT_EQ((std::pair(sub.getX(), sub.getY())), (std::pair(196.0f, 96.0f)));
    sub.openAsSubmenu(630, 470, 150);
    EXPECT_EQ((std::pair(sub.getX(), sub.getY())), (std::pair(626 - sw - 150 + 8, 466 - sh + 19 + 8)));
    sub.close();

    menu.open(100, 100);
    const int x = rowX(menu);
    for (int i = 0; i < 3; ++i)
        at(menu, 0, x, rowY(menu, 1), 0.1f);
    EXPECT_FALSE(sub.isOpen());
    at(menu, 0, x, rowY(menu, 1), 0.15f);
    ASSERT_TRUE(sub.isOpen());
    // A plain row of the parent closes it at once; the delay starts again.
    at(menu, 0, x, rowY(menu, 0));
    EXPECT_FALSE(sub.isOpen());
    at(menu, 0, x, rowY(menu, 1), 0.3f);
    EXPECT_FALSE(sub.isOpen());
    at(menu, 0, x, rowY(menu, 1), 0.1f);
    ASSERT_TRUE(sub.isOpen());

    // A press on the parent's row keeps the chain; the choice survives its closing.
    at(menu, kLeft, x, rowY(menu, 1));
    EXPECT_EQ(at(menu, 0, x, rowY(menu, 1)), MENU_OVER);
    EXPECT_TRUE(sub.isOpen());
    EXPECT_EQ(at(menu, 0, rowX(sub), rowY(sub, 1)), MENU_OVER);
    at(menu, kLeft, rowX(sub), rowY(sub, 1));
    EXPECT_EQ(at(menu, 0, rowX(sub), rowY(sub, 1)), MENU_CHOSEN);
    EXPECT_FALSE(menu.isOpen() || sub.isOpen());
    EXPECT_EQ(menu.getInnermostOpen()->getSelectedId(), 11);
    EXPECT_EQ(checks(sub), "010");

    // A press outside both closes the chain.
    menu.open(100, 100);
    for (int i = 0; i < 25 && !sub.isOpen(); ++i)
        at(menu, 0, x, rowY(menu, 1));
    EXPECT_EQ(at(menu, kLeft, 600, 450), MENU_CLOSED);
    EXPECT_FALSE(sub.isOpen());
}
