// The context menu on scripted mouse frames: the shared font, layout,
// placement at the screen edges, rows, submenus and statuses.
#include <cstring>
#include <memory>

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
    // The middle of a row of the menu.
    static int rowX(const aContextMenu& menu) { return int(menu.getX() + menu.getWidth() / 2); }
    static int rowY(const aContextMenu& menu, std::size_t row)
    {
        return int(menu.getY() + menu.getItems()[row].y) + aContextMenu::kLineHeight / 2;
    }
    // Press and release on a row: the two statuses.
    std::pair<int, int> clickRow(aContextMenu& menu, std::size_t row)
    {
        const int x = rowX(menu), y = rowY(menu, row);
        at(menu, 0, x, y);
        const int pressed = at(menu, kLeft, x, y);
        return {pressed, at(menu, 0, x, y)};
    }
    static int textWidth(const char* text)
    {
        RECT r{0, 0, 0, 0};
        aContextMenu::font()->DrawTextA(text, -1, &r, DT_CALCRECT, 0xFF000000);
        return int(r.right - r.left);
    }
    static std::vector<int> checks(const aContextMenu& menu)
    {
        std::vector<int> out;
        for (const aContextMenu::Item& row : menu.getItems())
            out.push_back(row.checked);
        return out;
    }
};

} // namespace

TEST_F(ContextMenuTest, SharedFontLayoutAndMissingServices)
{
    EXPECT_EQ(aContextMenu::liveCount(), 0);
    EXPECT_EQ(aContextMenu::font(), nullptr);
    auto first = std::make_unique<aContextMenu>();
    platform::GfxFont* font = aContextMenu::font();
    ASSERT_NE(font, nullptr);
    LOGFONTA lf;
    ASSERT_EQ(font->GetLogFont(&lf), D3D_OK);
    EXPECT_EQ(lf.lfHeight, 16);
    EXPECT_EQ(lf.lfWeight, 400);
    EXPECT_EQ(lf.lfCharSet, 1);
    EXPECT_STREQ(lf.lfFaceName, "Arial");
    {
        aContextMenu second;
        EXPECT_EQ(aContextMenu::liveCount(), 2);
        EXPECT_EQ(aContextMenu::font(), font);
        EXPECT_EQ(rec->count("Font.DrawTextA"), 0u);
    }
    EXPECT_EQ(aContextMenu::font(), font);

    // The label with the most characters sets the width, not the widest.
    first->setItems({{1, "WWWW"}, {2, "iiiiiiii"}, {9, ""}}, 9, 0, 0);
    first->layout({1, 9, 2, 77});
    EXPECT_NE(newLog().find("aContextMenu::layout. No item with id 77"), std::string::npos);
    ASSERT_EQ(first->getItems().size(), 3u);
    EXPECT_EQ(first->getItems()[1].y, 4.0f + 19.0f);
    EXPECT_EQ(first->getItems()[2].y, 4.0f + 19.0f + 9.0f);
    EXPECT_EQ(first->getHeight(), 4.0f + 19 + 9 + 19 + 4);
    ASSERT_LT(textWidth("iiiiiiii"), textWidth("WWWW"));
    EXPECT_EQ(first->getWidth(), float(textWidth("iiiiiiii") + 40));

    // The font comes back after a device reset, into the same pointer.
    graph->reset();
    EXPECT_NE(aContextMenu::font(), nullptr);

    first.reset();
    EXPECT_EQ(aContextMenu::liveCount(), 0);
    EXPECT_EQ(aContextMenu::font(), nullptr);
    EXPECT_EQ(graph->m_fonts.count("ContextMenuFont"), 0u);

    // Without a graphics server: logged, no font, labels measure 0.
    aGraphServer* saved = app.m_graphServer;
    app.m_graphServer = nullptr;
    {
        aContextMenu bare;
        bare.setItems({{1, "Something long"}}, 255, 640, 480);
        bare.layout({1});
        EXPECT_EQ(bare.getWidth(), 40.0f);
        EXPECT_EQ(aContextMenu::font(), nullptr);
    }
    app.m_graphServer = saved;
    EXPECT_NE(newLog().find("aContextMenu. Error, aGraphServer object not created!"), std::string::npos);
    EXPECT_EQ(graph->m_fonts.count("ContextMenuFont"), 0u);
}

TEST_F(ContextMenuTest, OpensAwayFromTheScreenEdges)
{
    aContextMenu menu, sub;
    menu.setItems({{1, "Open"}, {2, "More"}}, 255, 0, 0);
    menu.setSubmenu(2, &sub);
    menu.layout({1, 2});
    sub.setItems({{5, "Inner item"}}, 255, 0, 0);
    sub.layout({5});
    const float w = menu.getWidth(), h = menu.getHeight();

    menu.open(100, 100);
    EXPECT_EQ(menu.getX(), 100.0f);
    EXPECT_EQ(menu.getY(), 100.0f);
    menu.open(630, 100);  // 10 pixels from the right edge
    EXPECT_EQ(menu.getX(), 630.0f - w);
    menu.open(100, 470);
    EXPECT_EQ(menu.getY(), 470.0f - h);
    menu.close();

    const float sw = sub.getWidth(), sh = sub.getHeight();
    sub.openAsSubmenu(200, 100, 150);
    EXPECT_EQ(sub.getX(), 196.0f);
    EXPECT_EQ(sub.getY(), 96.0f);
    sub.openAsSubmenu(630, 470, 150);
    EXPECT_EQ(sub.getX(), 626.0f - sw - 150 + 8);
    EXPECT_EQ(sub.getY(), 466.0f - sh + 19 + 8);
    sub.close();

    // Opened by hover at the right edge: to the left of the parent.
    menu.open(630, 100);
    for (int i = 0; i < 25 && !sub.isOpen(); ++i)
        at(menu, 0, rowX(menu), rowY(menu, 1));
    ASSERT_TRUE(sub.isOpen());
    EXPECT_EQ(sub.getX(), float(int(menu.getX() + w)) - 4 - sw - w + 8);
    EXPECT_EQ(sub.getY(), float(int(menu.getY() + menu.getItems()[1].y)) - 4);
}

TEST_F(ContextMenuTest, RowsChooseToggleAndReportStatuses)
{
    aContextMenu menu, other;
    menu.setItems({{1, "Check"}, {2, "Radio A"}, {3, "Radio B"}, {4, "Radio C"}, {5, "Radio D"}, {6, "Disabled"},
                   {7, "Plain"}, {8, "Sub"}, {9, ""}},
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
    EXPECT_EQ(checks(menu), (std::vector<int>{0, 1, 0, 0, 1, 0, 0, 0, 0}));

    EXPECT_EQ(at(menu, 0, 50, 50), MENU_NOT_OPEN);
    menu.open(100, 100);
    // A radio row is selected within its run only, and the choice closes.
    EXPECT_EQ(clickRow(menu, 2), std::make_pair(int(MENU_OVER), int(MENU_CHOSEN)));
    EXPECT_FALSE(menu.isOpen());
    EXPECT_EQ(menu.getSelectedId(), 3);
    EXPECT_EQ(checks(menu), (std::vector<int>{0, 0, 1, 0, 1, 0, 0, 0, 0}));
    EXPECT_EQ(at(menu, 0, rowX(menu), rowY(menu, 2)), MENU_NOT_OPEN);

    // A check row toggles and is a choice too.
    menu.open(100, 100);
    EXPECT_EQ(clickRow(menu, 0).second, MENU_CHOSEN);
    EXPECT_EQ(menu.getItems()[0].checked, 1);
    menu.open(100, 100);
    EXPECT_EQ(clickRow(menu, 0).second, MENU_CHOSEN);
    EXPECT_EQ(menu.getItems()[0].checked, 0);

    // Disabled, separator and submenu rows choose nothing.
    menu.open(100, 100);
    EXPECT_EQ(clickRow(menu, 6).second, MENU_OVER);
    EXPECT_EQ(menu.getHoveredItem(), -1);
    const int separatorY = int(menu.getY() + menu.getItems()[3].y) + 4;
    at(menu, kLeft, rowX(menu), separatorY);
    EXPECT_EQ(at(menu, 0, rowX(menu), separatorY), MENU_OVER);
    EXPECT_EQ(clickRow(menu, 8).second, MENU_OVER);
    EXPECT_TRUE(menu.isOpen());
    // The inner margin hovers no row; the edges are inclusive at the top left.
    EXPECT_EQ(at(menu, 0, 102, rowY(menu, 1)), MENU_OVER);
    EXPECT_EQ(menu.getHoveredItem(), -1);
    EXPECT_EQ(at(menu, 0, 100, 100), MENU_OVER);
    EXPECT_EQ(at(menu, 0, int(menu.getX() + menu.getWidth()), 120), MENU_OUTSIDE);
    EXPECT_EQ(menu.getHoveredItem(), -2);
    EXPECT_TRUE(menu.isOpen());
    EXPECT_EQ(at(menu, kLeft, 20, 20), MENU_CLOSED);
    EXPECT_FALSE(menu.isOpen());
    EXPECT_EQ(at(menu, 0, 20, 20), MENU_NOT_OPEN);

    // Without close on click the menu stays open after a choice.
    menu.setCloseOnClick(false);
    menu.open(100, 100);
    EXPECT_EQ(clickRow(menu, 7).second, MENU_CHOSEN);
    EXPECT_TRUE(menu.isOpen());
    EXPECT_EQ(menu.getSelectedId(), 7);
}

TEST_F(ContextMenuTest, SubmenusOpenAfterTheDelayAndPassTheChoiceUp)
{
    aContextMenu menu, sub;
    menu.setItems({{1, "Plain"}, {2, "Display"}, {3, "Other"}}, 255, 0, 0);
    menu.setSubmenu(2, &sub);
    menu.layout({1, 2, 3});
    sub.setItems({{10, "All"}, {11, "None"}, {12, "Selected"}}, 255, 0, 0);
    for (std::uint32_t id = 10; id <= 12; ++id)
        sub.setItemType(id, MENU_ITEM_RADIO);
    sub.layout({10, 11, 12});
    sub.setItemState(12, MENU_STATE_CHECKED, 1);

    menu.open(100, 100);
    const int x = rowX(menu);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(at(menu, 0, x, rowY(menu, 1), 0.1f), MENU_OVER);
    EXPECT_FALSE(sub.isOpen());
    EXPECT_EQ(menu.getSelectedId(), 2);
    at(menu, 0, x, rowY(menu, 1), 0.15f);
    ASSERT_TRUE(sub.isOpen());
    EXPECT_EQ(menu.getInnermostOpen(), &sub);

    // A plain row of the parent closes it at once; the delay starts again.
    at(menu, 0, x, rowY(menu, 2), 0.02f);
    EXPECT_FALSE(sub.isOpen());
    at(menu, 0, x, rowY(menu, 1), 0.3f);
    EXPECT_FALSE(sub.isOpen());
    at(menu, 0, x, rowY(menu, 1), 0.1f);
    ASSERT_TRUE(sub.isOpen());

    // The submenu's choice survives the closing of the chain.
    const int sx = rowX(sub), sy = rowY(sub, 1);
    EXPECT_EQ(at(menu, 0, sx, sy), MENU_OVER);
    EXPECT_EQ(at(menu, kLeft, sx, sy), MENU_OVER);
    EXPECT_EQ(at(menu, 0, sx, sy), MENU_CHOSEN);
    EXPECT_FALSE(menu.isOpen());
    EXPECT_FALSE(sub.isOpen());
    EXPECT_EQ(menu.getInnermostOpen()->getSelectedId(), 11);
    EXPECT_EQ(checks(sub), (std::vector<int>{0, 1, 0}));

    // A press outside both closes the chain; on a parent row it does not.
    menu.open(100, 100);
    for (int i = 0; i < 25 && !sub.isOpen(); ++i)
        at(menu, 0, x, rowY(menu, 1));
    ASSERT_TRUE(sub.isOpen());
    at(menu, 0, rowX(sub), rowY(sub, 0));
    EXPECT_EQ(at(menu, kLeft, x, rowY(menu, 1)), MENU_OVER);
    at(menu, 0, x, rowY(menu, 1));
    EXPECT_TRUE(sub.isOpen());
    at(menu, 0, rowX(sub), rowY(sub, 0));
    EXPECT_EQ(at(menu, kLeft, 600, 450), MENU_CLOSED);
    EXPECT_FALSE(menu.isOpen());
    EXPECT_FALSE(sub.isOpen());
}
