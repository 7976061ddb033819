// Item scripts: the actions with their counters and log lines, the script
// records' effects, the marking walks, the find-all replacement and the
// item queries, on the personages' test case.
#include "personages_fixture.h"

using namespace persontest;

namespace {

const CSpyItemRef kVase("vase", "Hall");
const CSpyItemRef kKey("key", "Hall");
const CSpyItemRef kBarrel("barrel", "Cellar");

std::vector<std::uint16_t> toFind(const std::vector<CFindItemsGroup>& lines)
{
    std::vector<std::uint16_t> out;
    for (const CFindItemsGroup& line : lines)
        out.push_back(line.toFind);
    return out;
}

} // namespace

TEST_F(PersonagesTest, ItemActionsAndScripts)
{
    load();
    personages.ActivatePersonage("Marivel");
    CPersonage& q = quennick();
    q.SetCurrentRoom("Hall");
    CPersonage::CItemInfo& vase = q.itemInfos.at(kVase);
    // Used on nothing: logged, nothing counted.
    vase.curUseTo = {CSpyItemRef("NONE", "")};
    q.OnClickAtFocusedItem(kVase);
    EXPECT_EQ(log->count("[Quennick] Unscripted use of item 'Hall:vase'"), 1u);
    EXPECT_EQ(vase.useCount + vase.interactionCount, 0u);
    // Used on itself: counted, its click line marked, its scripts run: a
    // pattern over the room's existing infos, every personage's room task.
    vase.curUseTo = {CSpyItemRef("ONESELF", "")};
    for (const char* name : {"door_1", "door_2", "door_10"})
        q.itemInfos[CSpyItemRef(name, "hall")].curAbout = "a";
    q.ParseKey_ChangeItemInfo("About:used #door_?:$hall:About:CLS @ALL:#ROOM:RoomTask:x @Nobody:#lamp:About:y "
                              "#ghost:Colour:red #lamp:UseTo:Cellar:barrel",
                              vase.ChangeItemInfoAtUse);
    const std::size_t infos = q.itemInfos.size();
    q.HasItemInfo("vase");
    q.OnClickAtFocusedItem(kVase);
    EXPECT_EQ(vase.useCount + vase.interactionCount, 2u);
    EXPECT_EQ(toFind(q.GetRoomInfo("Hall").clueList), std::vector<std::uint16_t>{0});
    EXPECT_EQ(vase.curAbout, "used");
    EXPECT_EQ(q.itemInfos.at(CSpyItemRef("door_1", "hall")).curAbout + q.itemInfos.at(CSpyItemRef("door_2", "hall")).curAbout +
                  q.itemInfos.at(CSpyItemRef("door_10", "hall")).curAbout,
              "a");
    EXPECT_EQ(q.GetRoomInfo("Hall").curRoomTask + personages.GetPersonage("Marivel")->GetRoomInfo("Hall").curRoomTask,
              "xx");
    EXPECT_EQ(log->count("[Quennick] Not found dest item 'lamp' for personage 'Nobody'"), 1u);
    EXPECT_EQ(q.itemInfos.size(), infos + 1);  // lamp's, not ghost's
    EXPECT_TRUE(q.CanUseItemTo("lamp", kBarrel));

    // The focused item's About counts the click; an unknown item gives "" and makes no info.
    q.HasItemInfo("key");
    EXPECT_EQ(q.GetFocusedItemAbout() + q.GetFocusedItemClickUse(), "about_key");
    EXPECT_EQ(q.GetItemInteractionCount(kKey), 1u);
    EXPECT_EQ(q.GetItemAbout(CSpyItemRef("ghost", "Hall")) + q.ClickItemAndGetBadUse(CSpyItemRef("ghost", "Hall")), "");
    EXPECT_EQ(q.itemInfos.size(), infos + 1);

    // Applied without an info: the three-argument line, the target's counters stay.
    q.HasItemInfo("vase");
    q.OnApplyItemToFocusedItem(CSpyItemRef("nothing", "Cellar"));
    EXPECT_EQ(log->count("[Quennick] Unscripted use of item 'nothing' to 'vase'"), 1u);
    EXPECT_EQ(vase.useCount, 1u);
    // The held item's info is found by name whatever its room; the target's is made.
    q.SetCurrentRoom("Cellar");
    q.HasItemInfo("barrel");
    q.OnApplyItemToFocusedItem(CSpyItemRef("key", "Elsewhere"));
    EXPECT_EQ(q.GetItemUseCount(kBarrel) + q.GetItemInteractionCount(kBarrel), 2u);
    EXPECT_EQ(q.GetItemInteractionCount(kKey), 2u);
}

TEST_F(PersonagesTest, MarkingWalksAndTheFindAllReplacement)
{
    load();
    CPersonage& q = quennick();
    // From the last line: the first that completes the entry ends the list's walk.
    hall().taskList = {CFindItemsGroup("cup", CFindItem::Pick, true), CFindItemsGroup("cup", CFindItem::Pick, true)};
    q.investigationInfo.invTasks = hall().taskList;
    q.CompletePickTask(CSpyItemRef("cup", "Hall"));
    EXPECT_EQ(toFind(hall().taskList), (std::vector<std::uint16_t>{1, 0}));
    EXPECT_EQ(toFind(q.investigationInfo.invTasks), (std::vector<std::uint16_t>{1, 0}));
    // Apply: the case's lines always, the room's only for a room with an info.
    hall().taskList = {CFindItemsGroup("key", CFindItem::Apply, true)};
    q.investigationInfo.invTasks = hall().taskList;
    q.CompleteApplyTask(CSpyItemRef("key", ""));
    q.CompleteApplyTask(CSpyItemRef("key", "Nowhere"));
    EXPECT_EQ(q.investigationInfo.invTasks[0].toFind + 2 * hall().taskList[0].toFind, 2);
    EXPECT_EQ(q.GetRoomInfoConst("Nowhere"), nullptr);
    q.CompleteApplyTask(kKey);
    EXPECT_EQ(hall().taskList[0].toFind, 0);

    // Find All: the found line is replaced by exactly one line once every
    // list is marked, so the new line starts unfound even when the pool's
    // next line shares the picked entry.
    personages.Clear();
    rooms.ReleaseAll();
    load(CPersonagesManager::kFindAllCase, true);
    quennick().GenISpyTaskInRoom("Hall", 3, true, false);
    const std::size_t ispy = hall().ispyList.size(), tasks = hall().taskList.size();
    const CFindItemsGroup found = hall().ispyList[0];
    CFindItemsGroup next;
    next.name = "next";
    next.AddItem(found.items.back().name, CFindItem::Pick);
    *personages.GetISpyPool("Hall") = {{0, {next}}};
    for (const CFindItem& entry : found.items)
        quennick().CompletePickTask(CSpyItemRef(entry.name, "Hall"));
    ASSERT_EQ(hall().ispyList.size(), ispy + 1);
    ASSERT_EQ(hall().taskList.size(), tasks + 1);
    EXPECT_EQ(hall().ispyList[0].toFind, 0);
    EXPECT_EQ(hall().ispyList.back().GetTaskName(), "next");
    for (const CFindItemsGroup& line : hall().taskList)
        EXPECT_EQ(line.toFind == 0, line == found) << line.GetTaskName();
}

TEST_F(PersonagesTest, ItemQueries)
{
    load();
    CPersonage& q = quennick();
    CPersonage::CItemInfo& key = q.itemInfos.at(kKey);
    key.curSuccessApply = "fits";
    key.curBadUse = "bad";
    key.CursorBigItem = CSpyItemRef("big", "Hall");
    key.HideCursorInRoom = 1;
    EXPECT_EQ(q.GetItemClickUse(kVase) + q.GetItemSuccessApply("Hall:key") + q.GetItemBadUse(kKey), "CLUEfitsbad");
    EXPECT_EQ(q.GetItemCursorBigItem(kKey), CSpyItemRef("big", "Hall"));
    EXPECT_TRUE(q.IsItemHideCursorInRoom(kKey));
    // Through the room context, of the current personage.
    EXPECT_EQ(context.GetItemSuccessApply("Hall:key") + context.GetItemClickUse(kVase), "fitsCLUE");
    EXPECT_TRUE(context.CanUseItemTo("key", kBarrel));
    // Only the exact reference answers.
    const CSpyItemRef other("key", "Cellar");
    EXPECT_EQ(q.GetItemSuccessApply("key") + q.GetItemBadUse(other) + q.GetItemClickUse(other), "");
    EXPECT_EQ(q.GetItemCursorBigItem(other), CSpyItemRef());
    EXPECT_FALSE(q.IsItemHideCursorInRoom(other) || q.IsItemUseToOneself(other) || q.IsItemUseToNone(other));

    // In a task: a target list, or an I-spy entry; never an item used on itself.
    const CSpyItemRef spied(hall().ispyList.at(0).items.at(0).name, "Hall");
    EXPECT_TRUE(q.IsItemInTask(kKey) && q.IsItemInTask(spied) && !q.IsItemInTask(kVase));
    q.itemInfos[spied].curUseTo = {CSpyItemRef("ONESELF", "")};
    EXPECT_TRUE(q.IsItemUseToOneself(spied) && !q.IsItemInTask(spied));
    q.itemInfos[spied].curUseTo = {CSpyItemRef("NONE", "")};
    EXPECT_TRUE(q.IsItemUseToNone(spied));

    // The first info of the held name in map order decides; rooms compare exactly.
    EXPECT_TRUE(q.CanUseItemTo("key", kBarrel));
    EXPECT_FALSE(q.CanUseItemTo("key", CSpyItemRef("barrel", "")) || q.CanUseItemTo("ghost", kBarrel));
    q.itemInfos[CSpyItemRef("key", "Attic")];
    EXPECT_FALSE(q.CanUseItemTo("key", kBarrel));
}
