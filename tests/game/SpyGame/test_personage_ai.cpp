// A personage's ".ai" files: the three section kinds, the task-list and
// script grammars, caps and bad pieces, repeated loads, the live list.
#include "personages_fixture.h"

using persontest::names;

namespace {

class PersonageAi : public persontest::PersonagesTest {
protected:
    CPersonage tester{"Tester"};
};

// (name, entries, visible) of each line.
std::vector<std::string> shape(const std::vector<CFindItemsGroup>& lines)
{
    std::vector<std::string> out;
    for (const CFindItemsGroup& line : lines) {
        std::string text = line.name + "/";
        for (const CFindItem& item : line.items)
            text += item.name + (item.kind == line.kind ? "," : "?,");
        out.push_back(text + (line.initialVisible ? "" : "hidden"));
    }
    return out;
}

} // namespace

TEST_F(PersonageAi, SectionsAndTaskListGrammar)
{
    ASSERT_TRUE(tester.LoadRoomAiData("gamedata:Grammar/", "R"));
    EXPECT_FALSE(tester.LoadRoomAiData("gamedata:Grammar/Nowhere/", "R"));
    EXPECT_FALSE(CPersonage("").LoadRoomAiData("gamedata:Grammar/", "R"));
    EXPECT_EQ(log->count("Nowhere"), 0u);

    const auto& inv = tester.investigationInfo;
    EXPECT_EQ(inv.InvTask, "inv");
    EXPECT_EQ(shape(inv.invTasks),
              (std::vector<std::string>{"/a,", "/b,hidden", "c/c_1,c_2,", "/x[0],"}));
    EXPECT_EQ(inv.invTasks[3].kind, std::uint32_t(CFindItem::Use));

    const CPersonage::CRoomInfo& room = *tester.GetRoomInfoConst("R");
    const std::vector<std::string> roomShape = shape(room.loadedTasks);
    ASSERT_EQ(roomShape.size(), 6u);
    EXPECT_EQ(std::vector<std::string>(roomShape.begin(), roomShape.begin() + 5),
              (std::vector<std::string>{"a/", "b/hidden", "c/c_1,c_2,", "x[0]/", "[3]/"}));
    // The group cap: 1000 entries, not four billion.
    EXPECT_EQ(room.loadedTasks[5].name, "big");
    EXPECT_EQ(room.loadedTasks[5].items.size(), 1000u);
    EXPECT_EQ(room.loadedTasks[5].items.back().name, "big_1000");
    EXPECT_EQ(room.loadedTasks[5].toFind, 1000);
    EXPECT_EQ(log->count("Grammar/Tester.ai': group 'big[4000000000]'"), 1u);
    EXPECT_EQ(log->count("group '[3]' has no name"), 1u);

    EXPECT_EQ(room.ISpyDiffLevel, 5u);
    EXPECT_EQ(room.ISpyItemsCount, 7u);
    EXPECT_EQ(room.ShuffleTasks, 1);
    EXPECT_EQ(room.ispyPending, 1);

    // A file's groups share one budget of entries.
    ASSERT_TRUE(tester.LoadRoomAiData("gamedata:Grammar/Budget/", "B"));
    const std::vector<CFindItemsGroup>& budget = tester.GetRoomInfoConst("B")->loadedTasks;
    ASSERT_EQ(budget.size(), 11u);
    EXPECT_EQ(budget[9].items.size(), 1000u);
    EXPECT_TRUE(budget[10].items.empty());
    EXPECT_EQ(log->count("asks for more than 10000 group entries; groups from 'k[1000]' on get fewer"), 1u);

    ASSERT_TRUE(tester.LoadRoomAiData("gamedata:Grammar/Neg/", "N"));
    EXPECT_EQ(tester.GetRoomInfoConst("N")->ISpyDiffLevel, 5u);
    ASSERT_TRUE(tester.LoadRoomAiData("gamedata:Grammar/Unknown/", "U"));
    EXPECT_EQ(tester.GetRoomInfoConst("U")->ispyPending, 1);
    EXPECT_EQ(tester.GetRoomInfoConst("U")->ISpyDiffLevel, 2u);

    // A second load appends lines and replaces texts.
    ASSERT_TRUE(tester.LoadRoomAiData("gamedata:Grammar/Second/", "R"));
    EXPECT_EQ(inv.InvTask, "inv2");
    EXPECT_EQ(names(inv.invTasks).back(), "d");
    EXPECT_EQ(inv.invTasks.size(), 5u);
    EXPECT_EQ(room.FirstEnter, "f2");
    EXPECT_EQ(names(room.loadedTasks).back(), "e");
}

TEST_F(PersonageAi, ItemSectionsAndScriptGrammars)
{
    ASSERT_TRUE(tester.LoadRoomAiData("gamedata:Grammar/", "R"));
    ASSERT_EQ(tester.itemInfos.size(), 1u);
    const CPersonage::CItemInfo& door = tester.itemInfos.at(CSpyItemRef("door", "R"));
    // The second section replaced the first whole.
    EXPECT_EQ(door.About, "second");
    EXPECT_EQ(door.BadUse, "");
    EXPECT_TRUE(door.ChangeItemInfoAtPick.empty());
    ASSERT_EQ(door.UseTo.size(), 2u);
    EXPECT_EQ(door.UseTo[0], CSpyItemRef("ONESELF", ""));
    EXPECT_EQ(door.UseTo[1], CSpyItemRef("lamp", "Hall"));
    EXPECT_EQ(log->count("CPersonage::LoadRoomAiData(). Error in expression: ONESELF, Hall:lamp"), 1u);
    EXPECT_EQ(door.CursorBigItem, CSpyItemRef("big_door", "Hall"));
    EXPECT_EQ(door.HideCursorInRoom, 1);
    EXPECT_EQ(door.AddScoreOnPick, 5);
    EXPECT_EQ(door.AddScoreOnApplyItem, -3);
    EXPECT_EQ(door.curAbout, "");  // current values come with a reset

    // @ALL:#ROOM:$Hall:RoomTask:t2, #door_?:$hall:About:CLS, @Bob, #lamp, About
    const auto text = [](const CPersonage::CInfoChange& c) {
        return c.personage + "|" + c.item + "|" + c.room + "|" + c.type + "|" + c.value;
    };
    ASSERT_EQ(door.ChangeItemInfoAtUse.size(), 5u);
    EXPECT_EQ(text(door.ChangeItemInfoAtUse[0]), "ALL|ROOM|Hall|RoomTask|t2");
    EXPECT_EQ(text(door.ChangeItemInfoAtUse[1]), "|door_?|hall|About|");
    // Fields without their ':' end with the piece; no type follows.
    EXPECT_EQ(text(door.ChangeItemInfoAtUse[2]), "Bob||||");
    EXPECT_EQ(text(door.ChangeItemInfoAtUse[3]), "|lamp|||");
    EXPECT_EQ(text(door.ChangeItemInfoAtUse[4]), "||||About");
    EXPECT_EQ(log->count("CPersonage::ParseKey_ChangeItemInfo(). [Tester] Not found type in script"), 3u);

    ASSERT_EQ(door.ChangeStateAtUse.size(), 2u);
    EXPECT_EQ(door.ChangeStateAtUse[0].target + "|" + door.ChangeStateAtUse[0].type + "|" +
                  door.ChangeStateAtUse[0].value,
              "box|open|1");
    EXPECT_EQ(door.ChangeStateAtUse[1].type + "|" + door.ChangeStateAtUse[1].value, "|open");
    EXPECT_EQ(log->count("CPersonage::ChangeState(). [Tester] Not found type in script 'open'"), 1u);
}

TEST_F(PersonageAi, LivePersonagesFollowConstructionAndDestruction)
{
    const auto& all = CPersonage::GetAllPersonages();
    const std::size_t before = all.size();
    {
        CPersonage a("A");
        auto b = std::make_unique<CPersonage>("B");
        ASSERT_EQ(all.size(), before + 2);
        EXPECT_EQ(all[before], &a);
        EXPECT_EQ(all[before + 1], b.get());
        EXPECT_EQ(a.GetKey(), "<Personage:A");
        b.reset();
        ASSERT_EQ(all.size(), before + 1);
        EXPECT_EQ(all.back(), &a);
    }
    EXPECT_EQ(all.size(), before);
}
