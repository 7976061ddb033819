// The list box in its scroll container: selection by clicks, sorting,
// adding and removing items, scrolling and what is drawn.
#include "engine/gui/gui_listbox.h"
#include "widgets2_fixture.h"

using namespace GUI;
using namespace platform;

namespace {

class ListboxTest : public guitest::Widgets2Bench {
protected:
    // A list 40 high (two text slots) at (0, 0) with a vertical scroll bar.
    Listbox* list(const std::string& props, int count = 0)
    {
        load("listbox Items\n{\n AreaRect 0 0 60 40\n Font f\n" + props +
             "\n scrollbar _auto_vscroll\n {\n  AreaRect 60 0 4 40\n  Vertical 1\n"
             "  widget _auto_thumb\n  {\n   AreaRect 0 0 4 4\n  }\n }\n}\n");
        Listbox* l = find<Listbox>("Items");
        for (const char* e : {Listbox::EventSelectionChanged, Listbox::EventListContentsChanged,
                              Listbox::EventSortingModeChanged, EventDoubleClick})
            l->SubscribeEvent(e, &counters[e]);
        for (int i = 0; i < count; ++i)
            l->AddTextItem(std::wstring(1, wchar_t(L'a' + i)));
        for (auto& c : counters)
            c.second.take();
        return l;
    }
    void click(int x, int y, std::uint32_t mods = 0)
    {
        if (mods & MOD_SHIFT)
            hold(DIK_LSHIFT);
        if (mods & MOD_CTRL)
            hold(DIK_LCONTROL);
        moveTo(x, y);
        step();
        buttons(1);
        step();
        buttons(0);
        m_held.clear();
        step();
    }
    std::string selected(const Listbox* l)
    {
        std::string out;
        for (std::size_t i = 0; i < l->items.size(); ++i)
            out += l->items[i]->selected ? char('a' + i) : '.';
        return out;
    }
    int fired(const char* e) { return counters[e].take(); }
    std::map<std::string, guitest::Counter> counters;
};

} // namespace

TEST_F(ListboxTest, SingleSelectionClicksAndDoubleClickTiming)
{
    Listbox* l = list("MultiClick 1", 3);
    click(5, 25);
    EXPECT_EQ(selected(l), ".b.");
    EXPECT_EQ(fired(Listbox::EventSelectionChanged), 1);
    click(5, 25);
    EXPECT_EQ(fired(Listbox::EventSelectionChanged), 0);
    // Presses a second apart are no double click.
    EXPECT_EQ(fired(EventDoubleClick), 1);
    for (int i = 0; i < 64; ++i)
        step();
    click(5, 25);
    EXPECT_EQ(fired(EventDoubleClick), 0);
    click(5, 25);
    EXPECT_EQ(fired(EventDoubleClick), 1);
    // A partly hidden item is brought into view, its whole slot.
    l->SetScrollPos(0, 10);
    click(5, 35);
    EXPECT_EQ(selected(l), "..c");
    EXPECT_EQ(l->scrollY, 20.0f);
    EXPECT_EQ(l->vScroll->position, 20.0f);
    EXPECT_EQ(l->firstVisibleItem, 1u);
    l->SetScrollPos(0, 10);
    click(5, 5);
    EXPECT_EQ(selected(l), "a..");
    EXPECT_EQ(l->scrollY, 0.0f);
    // Below the last item, and in an empty list, nothing is selected.
    l->SetScrollPos(0, 0);
    l->RemoveItem(2);
    click(5, 45);
    l->Clear();
    click(5, 5);
    EXPECT_EQ(fired(Listbox::EventSelectionChanged), 2);
}

TEST_F(ListboxTest, ShiftAndCtrlRulesWithMultiselect)
{
    Listbox* l = list("Multiselect 1\nBounds 0 0 0 0", 3);
    l->SetSorting(Listbox::SORT_NONE);
    EXPECT_EQ(fired(Listbox::EventSortingModeChanged), 0);
    // Shift without an anchor selects the clicked item only.
    click(5, 5, MOD_SHIFT);
    EXPECT_EQ(selected(l), "a..");
    click(5, 25, MOD_SHIFT);
    EXPECT_EQ(selected(l), "ab.");
    EXPECT_EQ(fired(Listbox::EventSelectionChanged), 2);
    click(5, 5, MOD_CTRL);
    EXPECT_EQ(selected(l), ".b.");
    EXPECT_EQ(l->anchorItem, -1);
    // The only selected item stays selected under Ctrl.
    click(5, 25, MOD_CTRL);
    EXPECT_EQ(selected(l), ".b.");
    EXPECT_EQ(fired(Listbox::EventSelectionChanged), 1);
    click(5, 5);
    EXPECT_EQ(selected(l), "a..");

    // Out-of-range indices: the log lines and nothing else.
    EXPECT_FALSE(l->IsItemSelected(3));
    EXPECT_TRUE(logged("Listbox::IsItemSelected - item index 3 is out of range"));
    l->SetItemSelected(-1, true);
    EXPECT_TRUE(logged("Listbox::SetItemSelected - item index -1 is out of range"));
}

TEST_F(ListboxTest, AddRemoveClearKeepSortEventsAndSizes)
{
    // "10" is hexadecimal: a left margin of 16.
    Listbox* l = list("Sorting descend\nBounds 10 2 1 3");
    EXPECT_EQ(l->leftMargin, 16);
    for (const wchar_t* t : {L"pear", L"fig", L"apple", L"kiwi"})
        l->AddTextItem(t);
    EXPECT_EQ(fired(Listbox::EventListContentsChanged), 4);
    const auto order = [l] {
        std::wstring out;
        for (const auto& item : l->items)
            out += static_cast<ListboxTextItem&>(*item).GetText().substr(0, 1);
        return out;
    };
    EXPECT_EQ(order(), L"pkfa");
    EXPECT_EQ(l->contentHeight, 4 * 24.0f);
    EXPECT_EQ(l->contentWidth, 50.0f + 18.0f);
    EXPECT_EQ(l->vScroll->totalSize, 96.0f);

    // Current and anchor follow their items through sorting and removal.
    click(5, 30);
    std::string current = std::to_string(l->currentItem);
    l->SetSorting(Listbox::SORT_ASCENDING);
    EXPECT_EQ(order(), L"afkp");
    current += std::to_string(l->currentItem);
    l->RemoveItem(0);
    current += std::to_string(l->currentItem);
    l->RemoveItem(1);
    EXPECT_EQ(current + std::to_string(l->currentItem), "121-1");
    l->RemoveItem(5);
    EXPECT_TRUE(logged("Listbox::RemoveItem - item index 5 is out of range"));
    // The widest item leaving narrows the content.
    l->AddTextItem(L"banana");
    l->RemoveItem(0);
    EXPECT_EQ(order(), L"fp");
    EXPECT_EQ(l->contentWidth, 40.0f + 18.0f);
    EXPECT_EQ(fired(Listbox::EventListContentsChanged), 4);

    // Scrolling is clamped to the content.
    l->SetScrollPos(-5, 100);
    EXPECT_EQ(l->scrollY, 8.0f);
    EXPECT_EQ(l->firstItemOffset, -8);
    l->Clear();
    EXPECT_EQ(l->scrollY, 0.0f);
    EXPECT_EQ(l->contentHeight, 0.0f);
    EXPECT_EQ(l->vScroll->totalSize, 0.0f);
}

TEST_F(ListboxTest, DrawsOnlyTheVisibleSlotsWithTheSelection)
{
    Listbox* l = list("SelectionColor 80FF0000\nBounds 2 0 0 0", 20);
    l->SetItemSelected(11, true);
    l->SetScrollPos(0, 210);
    rec->clear();
    l->Render();
    // Items 10 and 11 show, and 12 by a pixel row; one fill for the selection.
    EXPECT_EQ(rec->count("Sprite.Draw"), 3u);
    const auto fills = rec->named("DrawPrimitiveUP");
    ASSERT_EQ(fills.size(), 1u);
    EXPECT_EQ(fills[0]->vertices[0].diffuse, 0x80FF0000u);
    EXPECT_EQ(fills[0]->vertices[0].y, 10.0f);
    EXPECT_EQ(spriteDraws().front().tx, 2.0f);
}
