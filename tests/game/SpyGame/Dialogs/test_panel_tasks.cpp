#include "panel_fixture.h"

using namespace dialogtest;
using Names = std::vector<std::string>;

TEST_F(PanelTest, ListKeysFoundNamesAndHiddenOrAppendedLines)
{
    auto list = lines({"key", "zebra", "candle"}, "coins", {"coin_1", "coin_2", "coin_3"});
    list[2].visible = 0;
    study(&list);
    const auto& tasks = panel->GetItemTasks();
    EXPECT_EQ(tasks[0].text + tasks[1].text + tasks[3].text, L"Key@zebraCoins (3)");
    EXPECT_FALSE(tasks[2].laidOut);  // hidden: neither listed nor measured
    EXPECT_EQ(tasks[3].y, tasks[1].y + tasks[1].height);

    // A coin found: the same record takes the count's key and stays plain; names
    // on no list stay, and the flag with them.
    const std::size_t layouts = panel->GetLayoutCount();
    list[3].MarkPicked("coin_2");
    panel->AddFoundItem("coin_2");
    panel->AddFoundItem("letter");
    tick(5);
    ASSERT_EQ(tasks.size(), 4u);
    EXPECT_EQ(tasks[3].text, L"Coins (2)");
    EXPECT_EQ(tasks[3].state, Panel::TaskRecheck);
    EXPECT_TRUE(panel->GetFoundNames() == Names{"letter"} && panel->IsFoundChanged());
    EXPECT_EQ(panel->GetLayoutCount(), layouts + 1);

    // The last coin and the key: struck, the stroke growing from 0; the count reads 1.
    for (const char* coin : {"coin_1", "coin_3"})
        list[3].MarkPicked(coin);
    list[0].MarkPicked("key");
    panel->AddFoundItem("coin_3");
    panel->AddFoundItem("key");
    tick();
    EXPECT_EQ(tasks[3].key, "coins_1");
    EXPECT_EQ(tasks[3].text, L"Coins (1)");  // still the group's own line
    EXPECT_TRUE(tasks[0].state == Panel::TaskDone && tasks[3].state == Panel::TaskDone);
    EXPECT_LT(tasks[0].progress, 0.05f);
    panel->MarkItemTask("coins_1");
    EXPECT_EQ(tasks[3].state, Panel::TaskRecheck);

    // Only lines with items left are hint targets; a line added in the room shows.
    list.emplace_back("magnifier", CFindItem::Pick, true);
    tick();
    EXPECT_EQ(tasks[3].state, Panel::TaskDone);
    Names targets;
    for (const auto& e : panel->GetEntries())
        targets.push_back(e.name);
    EXPECT_EQ(targets, (Names{"zebra", "magnifier"}));
    EXPECT_EQ(tasks[4].text, L"Magnifying glass");

    // The same list keeps its records and names; another drops them.
    panel->SetupRoom("", &list, nullptr, "Study", true, true);
    EXPECT_TRUE(tasks.size() == 5u && !panel->GetFoundNames().empty());
    auto other = lines({"candle"});
    panel->SetupRoom("", &other, nullptr, "Study", true, true);
    EXPECT_TRUE(tasks.size() == 1u && panel->GetFoundNames().empty());
}

TEST_F(PanelTest, FindAllLinesLeaveInTwoStepsAndCountersSayOne)
{
    panel->SetFindAllMode(true);
    auto list = lines({"key", "candle", "teacup"});
    study(&list);
    const auto& tasks = panel->GetItemTasks();
    const float top = tasks[0].y, pitch = tasks[1].y - tasks[0].y;
    list[0].MarkPicked("key");
    panel->AddFoundItem("key");
    tick(42);  // 0.656 s: still struck in place
    EXPECT_TRUE(tasks[0].state == Panel::TaskFinished && tasks[1].y == top + pitch);
    tick(2);
    EXPECT_EQ(tasks[0].state, Panel::TaskSliding);
    tick(21);
    EXPECT_TRUE(tasks[1].y < top + pitch * 0.6f && tasks[1].y > top + pitch * 0.4f) << tasks[1].y;
    tick(22);
    EXPECT_EQ(tasks[0].state, Panel::TaskDone);
    EXPECT_TRUE(tasks[1].y == top && tasks[2].y == top + pitch);

    counts = {{5, 4, 0, 0}};
    tick();
    EXPECT_EQ(text(Panel::ItemsRemain), L"1 item to find");
    panel->SetFindAllMode(false);
    counts = {{5, 1, 2, 1}};
    tick();
    EXPECT_EQ(text(Panel::ItemsRemain) + L"/" + text(Panel::NItems), L"5 items left/5 of 7 items left");
    counts[0] = -1;
    tick();
    EXPECT_EQ(text(Panel::ItemsRemain), L"5 items left");
}
