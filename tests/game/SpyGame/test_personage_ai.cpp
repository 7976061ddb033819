// A personage's ".ai" files: the three section kinds, the task-list and
// script grammars, caps and bad pieces, repeated loads, the live list.
#include "personages_fixture.h"

using namespace persontest;

namespace {

// Each line as "name/entry,entry,/hidden".
Names shape(const std::vector<CFindItemsGroup>& lines)
{
    Names out;
    for (const CFindItemsGroup& line : lines) {
        std::string text = line.name + "/";
        for (const CFindItem& item : line.items)
            text += item.name + (item.kind == line.kind ? "," : "?,");
        out.push_back(text + (line.initialVisible ? "" : "hidden"));
    }
    return out;
}

} // namespace

TEST_F(PersonagesTest, AiSectionsAndTaskListGrammar)
{
    CPersonage tester("Tester");
    ASSERT_TRUE(tester.LoadRoomAiData("gamedata:Grammar/", "R"));
    EXPECT_FALSE(tester.LoadRoomAiData("gamedata:Grammar/Nowhere/", "R"));
    EXPECT_FALSE(CPersonage("").LoadRoomAiData("gamedata:Grammar/", "R"));
    EXPECT_EQ(log->count("Nowhere"), 0u);

    const auto& inv = tester.investigationInfo;
    EXPECT_EQ(inv.InvTask, "inv");
    EXPECT_EQ(shape(inv.invTasks), (Names{"/a,", "/b,hidden", "c/c_1,c_2,", "/x[0],"}));
    EXPECT_EQ(inv.invTasks[3].kind, std::uint32_t(CFindItem::Use));
    const CPersonage::CRoomInfo& room = *tester.GetRoomInfoConst("R");
    Names roomShape = shape(room.loadedTasks);
    ASSERT_EQ(roomShape.size(), 6u);
    roomShape.pop_back();
    EXPECT_EQ(roomShape, (Names{"a/", "b/hidden", "c/c_1,c_2,", "x[0]/", "[3]/"}));
    EXPECT_EQ(log->count("group '[3]' has no name"), 1u);
    // big[4000000000]: 1000 entries, and the file's budget of 10000.
    EXPECT_EQ(room.loadedTasks[5].items.size(), 1000u);
    EXPECT_EQ(room.loadedTasks[5].items.back().name, "big_1000");
    EXPECT_EQ(log->count("Grammar/Tester.ai': group 'big[4000000000]'"), 1u);
    ASSERT_TRUE(tester.LoadRoomAiData("gamedata:Grammar/Budget/", "B"));
    const std::vector<CFindItemsGroup>& budget = tester.GetRoomInfoConst("B")->loadedTasks;
    ASSERT_EQ(budget.size(), 11u);
    EXPECT_EQ(budget[9].items.size(), 1000u);
    EXPECT_TRUE(budget[10].items.empty());
    EXPECT_EQ(log->count("more than 10000 group entries; groups from 'k[1000]' on get fewer"), 1u);

    EXPECT_EQ(room.ISpyDiffLevel, 5u);
    EXPECT_EQ(room.ISpyItemsCount, 7u);
    EXPECT_EQ(room.ShuffleTasks, 1);
    ASSERT_TRUE(tester.LoadRoomAiData("gamedata:Grammar/Neg/", "N"));
    EXPECT_EQ(tester.GetRoomInfoConst("N")->ISpyDiffLevel, 5u);
    ASSERT_TRUE(tester.LoadRoomAiData("gamedata:Grammar/Unknown/", "U"));
    EXPECT_EQ(tester.GetRoomInfoConst("U")->ispyPending, 1);

    // A second load appends lines and replaces texts.
    ASSERT_TRUE(tester.LoadRoomAiData("gamedata:Grammar/Second/", "R"));
    EXPECT_EQ(inv.InvTask, "inv2");
    EXPECT_EQ(names(inv.invTasks), (Names{"a", "b", "c", "x[0]", "d"}));
    EXPECT_EQ(room.FirstEnter, "f2");
    EXPECT_EQ(names(room.loadedTasks).back(), "e");

    // The live list follows construction and destruction.
    const auto& all = CPersonage::GetAllPersonages();
    auto other = std::make_unique<CPersonage>("Other");
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[0], &tester);
    other.reset();
    EXPECT_EQ(all, std::vector<CPersonage*>{&tester});
}

TEST_F(PersonagesTest, AiItemSectionsAndScriptGrammars)
{
    CPersonage tester("Tester");
    ASSERT_TRUE(tester.LoadRoomAiData("gamedata:Grammar/", "R"));
    ASSERT_EQ(tester.itemInfos.size(), 1u);
    const CPersonage::CItemInfo& door = tester.itemInfos.at(CSpyItemRef("door", "R"));
    // The second section replaced the first whole.
    EXPECT_EQ(door.About, "second");
    EXPECT_EQ(door.BadUse, "");
    EXPECT_TRUE(door.ChangeItemInfoAtPick.empty());
    EXPECT_EQ(door.UseTo, (std::vector<CSpyItemRef>{{"ONESELF", ""}, {"lamp", "Hall"}}));
    EXPECT_EQ(log->count("CPersonage::LoadRoomAiData(). Error in expression: ONESELF, Hall:lamp"), 1u);
    EXPECT_EQ(door.CursorBigItem, CSpyItemRef("big_door", "Hall"));
    EXPECT_EQ(door.HideCursorInRoom, 1);
    EXPECT_EQ(door.AddScoreOnPick + door.AddScoreOnApplyItem, 5 - 3);

    // @ALL:#ROOM:$Hall:RoomTask:t2, #door_?:$hall:About:CLS, @Bob, #lamp, About
    Names changes;
    for (const CPersonage::CInfoChange& c : door.ChangeItemInfoAtUse)
        changes.push_back(c.personage + "|" + c.item + "|" + c.room + "|" + c.type + "|" + c.value);
    // Fields without their ':' end with the piece, and no type follows.
    EXPECT_EQ(changes, (Names{"ALL|ROOM|Hall|RoomTask|t2", "|door_?|hall|About|", "Bob||||", "|lamp|||",
                              "||||About"}));
    EXPECT_EQ(log->count("CPersonage::ParseKey_ChangeItemInfo(). [Tester] Not found type in script"), 3u);
    Names states;
    for (const CPersonage::CStateChange& c : door.ChangeStateAtUse)
        states.push_back(c.target + "|" + c.type + "|" + c.value);
    EXPECT_EQ(states, (Names{"box|open|1", "||open"}));
    EXPECT_EQ(log->count("CPersonage::ChangeState(). [Tester] Not found type in script 'open'"), 1u);
}
