#include "panel_fixture.h"

using namespace dialogtest;

namespace {

// Frames of 1/64 s in the strike time, rounded up.
constexpr int kStrikeFrames = 43;

} // namespace

TEST_F(PanelTest, ListKeysTextsAndFoundNames)
{
    std::vector<CFindItemsGroup> list{group("coins", {"coin_1", "coin_2", "coin_3"})};
    for (auto& line : lines({"key", "zebra"}))
        list.push_back(line);
    study(&list);
    const auto& tasks = panel->GetItemTasks();
    ASSERT_EQ(tasks.size(), 3u);
    EXPECT_EQ(tasks[0].key, "coins_3");
    EXPECT_EQ(tasks[0].text, L"3 coins");
    EXPECT_EQ(tasks[1].text, L"Key");
    EXPECT_EQ(tasks[2].text, L"@zebra");
    EXPECT_EQ(tasks[1].y, tasks[0].y + tasks[0].height);

    // A coin found: the same record takes the new count; the line stays plain.
    const std::size_t layouts = panel->GetLayoutCount();
    list[0].MarkPicked("coin_2");
    panel->AddFoundItem("coin_2");
    panel->AddFoundItem("letter");  // on no list: kept, and the flag with it
    tick();
    ASSERT_EQ(tasks.size(), 3u);
    EXPECT_EQ(tasks[0].key, "coins_2");
    EXPECT_EQ(tasks[0].text, L"2 coins");
    EXPECT_EQ(tasks[0].state, Panel::TaskRecheck);
    EXPECT_EQ(panel->GetFoundNames(), std::vector<std::string>{"letter"});
    EXPECT_TRUE(panel->IsFoundChanged());
    EXPECT_EQ(panel->GetLayoutCount(), layouts + 1);
    tick(10);
    EXPECT_EQ(panel->GetLayoutCount(), layouts + 1);

    // The last coin: the line is struck, the stroke grows, the count reads 1.
    list[0].MarkPicked("coin_1");
    list[0].MarkPicked("coin_3");
    panel->AddFoundItem("coin_1");
    tick();
    EXPECT_EQ(tasks[0].key, "coins_1");
    EXPECT_EQ(tasks[0].state, Panel::TaskDone);
    EXPECT_LT(tasks[0].progress, 0.05f);
    panel->AddFoundItem("key");  // not found by the list: a plain line takes it and stays plain
    tick();
    EXPECT_EQ(tasks[1].state, Panel::TaskRecheck);
    EXPECT_EQ(panel->GetFoundNames(), std::vector<std::string>{"letter"});

    // MarkItemTask sends a line back to be decided again.
    panel->MarkItemTask("coins_1");
    EXPECT_EQ(tasks[0].state, Panel::TaskRecheck);
    tick();
    EXPECT_EQ(tasks[0].state, Panel::TaskDone);

    // The same list keeps the records and names; another drops them.
    panel->SetupRoom("", &list, nullptr, "Study", true, true);
    EXPECT_EQ(tasks.size(), 3u);
    EXPECT_FALSE(panel->GetFoundNames().empty());
    auto other = lines({"candle"});
    panel->SetupRoom("", &other, nullptr, "Study", true, true);
    EXPECT_EQ(tasks.size(), 1u);
    EXPECT_TRUE(panel->GetFoundNames().empty());
}

TEST_F(PanelTest, HiddenAppendedAndFinishedLines)
{
    auto list = lines({"key", "candle", "teacup"});
    list[1].visible = 0;
    study(&list);
    const auto& tasks = panel->GetItemTasks();
    EXPECT_FALSE(tasks[1].laidOut);
    EXPECT_EQ(tasks[2].y, tasks[0].y + tasks[0].height);
    ASSERT_EQ(panel->GetEntries().size(), 2u);
    EXPECT_EQ(panel->GetEntries()[1].name, "teacup");

    // A line appended in the room (a Find All replacement) shows at the next frame.
    list.emplace_back("magnifier", CFindItem::Pick, true);
    list[0].MarkPicked("key");
    tick();
    ASSERT_EQ(tasks.size(), 4u);
    EXPECT_EQ(tasks[3].text, L"Magnifying glass");
    std::vector<std::string> names;
    for (const auto& e : panel->GetEntries())
        names.push_back(e.name);
    EXPECT_EQ(names, (std::vector<std::string>{"teacup", "magnifier"}));
    EXPECT_EQ(tasks[0].state, Panel::TaskDone);
}

TEST_F(PanelTest, FindAllLinesLeaveInTwoSteps)
{
    panel->SetFindAllMode(true);
    auto list = lines({"key", "candle", "teacup"});
    study(&list);
    const auto& tasks = panel->GetItemTasks();
    const float top = tasks[0].y, pitch = tasks[1].y - tasks[0].y;
    list[0].MarkPicked("key");
    panel->AddFoundItem("key");
    tick();
    EXPECT_EQ(tasks[0].state, Panel::TaskFinished);
    tick(kStrikeFrames - 2);
    EXPECT_EQ(tasks[0].state, Panel::TaskFinished);
    EXPECT_EQ(tasks[1].y, top + pitch);
    tick(2);
    EXPECT_EQ(tasks[0].state, Panel::TaskSliding);
    tick(kStrikeFrames / 2);
    EXPECT_LT(tasks[1].y, top + pitch * 0.6f);
    EXPECT_GT(tasks[1].y, top + pitch * 0.4f);
    tick(kStrikeFrames / 2 + 1);
    EXPECT_EQ(tasks[0].state, Panel::TaskDone);
    EXPECT_EQ(tasks[1].y, top);
    EXPECT_EQ(tasks[2].y, top + pitch);
    const float frozen = tasks[0].progress;
    tick(5);
    EXPECT_EQ(tasks[0].progress, frozen);
}

TEST_F(PanelTest, CountersUseTheOneItemTexts)
{
    auto list = lines({"key"});
    study(&list);
    counts = {{5, 1, 2, 1}};
    tick();
    EXPECT_EQ(text(Panel::ItemsRemain), L"5 items left");
    EXPECT_EQ(text(Panel::NItems), L"5 of 7 items left");
    counts = {{5, 4, 0, 0}};
    tick();
    EXPECT_EQ(text(Panel::ItemsRemain), L"1 item left");
    panel->SetFindAllMode(true);
    tick();
    EXPECT_EQ(text(Panel::ItemsRemain), L"1 item to find");
    counts = {{-1, 9, 9, 9}};
    tick();
    EXPECT_EQ(text(Panel::ItemsRemain), L"1 item to find");
}
