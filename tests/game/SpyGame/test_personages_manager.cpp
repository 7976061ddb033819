// The personages manager on the test case: names, activation, the I-spy
// pool, seeded task generation, progress queries, rooms entered through the
// personages' room context, and the demo case's data.
#include <algorithm>

#include "engine/util/a_locale_server.h"
#include "engine/util/a_options_file.h"
#include "engine/util/a_random.h"
#include "game/SpyGame/RandomShuffle.h"
#include "game/SpyGame/items/SpyItemManager.h"
#include "personages_fixture.h"
#include "support/test_env.h"

using namespace persontest;

namespace {

Names poolNames(const CPersonagesManager& manager, const std::string& room, std::uint32_t level)
{
    const CISpyLevels* pool = manager.GetISpyPool(room);
    return pool && pool->count(level) ? names(pool->at(level)) : Names();
}

} // namespace

TEST_F(PersonagesTest, NamesActivationAndCurrent)
{
    load();
    ASSERT_EQ(personages.GetPersonages().size(), 2u);
    EXPECT_EQ(personages.GetActiveNames(), Names{"Quennick"});
    EXPECT_EQ(personages.GetCurrentPersonage(), &quennick());
    EXPECT_TRUE(personages.ActivatePersonage("Marivel"));
    EXPECT_TRUE(personages.ActivatePersonage("Marivel"));
    EXPECT_FALSE(personages.ActivatePersonage("Nobody"));
    EXPECT_EQ(personages.GetActiveNames(), (Names{"Quennick", "Marivel"}));
    personages.SetCurrentPersonage("Marivel");
    EXPECT_TRUE(personages.DeactivatePersonage("Quennick"));
    EXPECT_FALSE(personages.DeactivatePersonage("Quennick"));
    personages.SetCurrentPersonage("Quennick");  // not active: nothing changes
    EXPECT_EQ(personages.GetCurrentPersonage()->GetName(), "Marivel");
    // The case's file, the rooms' files and the global map's folder.
    EXPECT_EQ(quennick().investigationInfo.InvTask, "inv_task");
    EXPECT_EQ(quennick().GetRoomInfoConst("GlobalMap")->RoomTask, "map_task");
    EXPECT_EQ(hall().roomItemsCount, 12u);
    EXPECT_EQ(quennick().investigationInfo.findAllMode, 0);  // 1 for "FindAll": see the rooms' test

    // A repeated name makes one personage, loaded once.
    personages.Clear();
    aOptionsFile ini;
    ini.addSection(CPersonagesManager::kSection);
    ini.setValue(CPersonagesManager::kSection, "Personages", "Quennick Marivel,Quennick");
    ini.setValue(CPersonagesManager::kSection, "StartPersonages", "Quennick");
    personages.CreatePersonages(ini, nullptr, &rooms);
    personages.LoadAllRoomAiData(kCase, "caseP");
    EXPECT_EQ(personages.GetPersonages().size(), 2u);
    EXPECT_EQ(log->count("Personages names 'Quennick' twice"), 1u);
    EXPECT_EQ(quennick().investigationInfo.invTasks.size(), 1u);
    // Empty keys: the assertion, and the manager can still be cleared.
    personages.Clear();
    ini.setValue(CPersonagesManager::kSection, "Personages", "");
    EXPECT_THROW(personages.CreatePersonages(ini, nullptr, &rooms), aException);
    EXPECT_EQ(log->count("CPersonagesManager::CreatePersonages: !personages.empty() (PersonagesManager.cpp, line "),
              1u);
    ini.setValue(CPersonagesManager::kSection, "Personages", "A");
    ini.setValue(CPersonagesManager::kSection, "StartPersonages", " ");
    EXPECT_THROW(personages.CreatePersonages(ini, nullptr, &rooms), aException);
    EXPECT_EQ(log->count("CPersonagesManager::CreatePersonages: !startPersonages.empty()"), 1u);
    personages.Clear();
    EXPECT_TRUE(CPersonage::GetAllPersonages().empty());
}

TEST_F(PersonagesTest, ISpyPoolLevelsAndRebuilds)
{
    load();
    personages.ResetISpyPool(true);
    // Coins 1, 1, 2 -> 1 (coin_4 is an inventory item); feathers 1, 2 -> 2;
    // the keys group has no member left; groups before single items.
    EXPECT_EQ(poolNames(personages, "Hall", 0), Names{"cup"});
    EXPECT_EQ(poolNames(personages, "Hall", 1), (Names{"coins", "lamp"}));
    EXPECT_EQ(poolNames(personages, "Hall", 2), (Names{"feathers", "book"}));
    CFindItemsGroup coins = personages.GetISpyPool("Hall")->at(1)[0];
    ASSERT_EQ(coins.items.size(), 3u);
    coins.Reset();
    for (const char* name : {"coin_1", "coin_2", "coin_3"})
        coins.MarkPicked(name);
    EXPECT_EQ(coins.toFind, 0);  // a grouped line completes
    EXPECT_EQ(personages.GetISpyPool("Cellar"), nullptr);

    // Without all: only the EveryFullReset room and rooms without lines.
    personages.GetISpyPool("Hall")->at(1).pop_back();
    personages.GetISpyPool("Library")->at(1).pop_back();
    personages.ResetISpyPool(false);
    EXPECT_EQ(poolNames(personages, "Hall", 1), Names{"coins"});
    EXPECT_EQ(poolNames(personages, "Library", 1), (Names{"globe", "clock"}));
    for (auto& level : *personages.GetISpyPool("Hall"))
        level.second.clear();
    personages.ResetISpyPool(false);
    EXPECT_EQ(poolNames(personages, "Hall", 1), (Names{"coins", "lamp"}));
}

TEST_F(PersonagesTest, SeededGeneration)
{
    Names letters{"a", "b", "c", "d", "e"};
    a_srand(1);
    SpyRandomShuffle(letters);
    EXPECT_EQ(letters, (Names{"e", "b", "d", "c", "a"}));

    load("caseP", false, 7);
    // key names an item, coins a group (all its items), ghost nothing.
    std::map<std::string, CFindItemsGroup> tasks;
    for (const CFindItemsGroup& line : hall().taskList)
        tasks[line.GetTaskName()] = line;
    EXPECT_TRUE(tasks["key"].name.empty());
    EXPECT_EQ(tasks["coins"].items.size(), 4u);
    EXPECT_EQ(tasks["ghost"].toFind, 0);
    EXPECT_EQ(tasks["ghost"].visible, 0);
    EXPECT_EQ(tasks["vase"].items[0].kind, std::uint32_t(CFindItem::Click));
    EXPECT_EQ(log->count("Room 'Hall', task 'ghost' - not found required item or ISpy group!"), 1u);
    EXPECT_EQ(log->count("Not found ISpy group 'ghost' in room 'Hall'!"), 1u);
    EXPECT_EQ(names(hall().clueList), Names{"vase"});
    // Three lines drawn; one equal to a task line is dropped with a log line.
    const std::size_t dropped = log->count("GenISpyTaskInRoom roomInfo.taskList[i]==ispyTask[j] !!!");
    EXPECT_EQ(hall().ispyList.size() + dropped, 3u);
    EXPECT_EQ(hall().taskList.size(), 4 + hall().ispyList.size());
    std::uint32_t total = 0, done = 0;
    quennick().CountTaskProgress(total, done);
    EXPECT_EQ(total, 4u);  // only the ".ai" lines
    EXPECT_EQ(done, 1u);   // ghost
    const Names taskNames = names(hall().taskList), ispyNames = names(hall().ispyList);
    a_srand(7);
    personages.ResetPersonages(false, false);
    EXPECT_EQ(names(hall().taskList), taskNames);
    EXPECT_EQ(names(hall().ispyList), ispyNames);

    // Level 0 asked for and empty: the draw steps up.
    personages.ResetISpyPool(true);
    personages.GetISpyPool("Hall")->at(0).clear();
    hall().ISpyDiffLevel = 0;
    hall().taskList.clear();
    quennick().GenISpyTaskInRoom("Hall", 1, false, false);
    EXPECT_EQ(poolNames(personages, "Hall", 1).size() + poolNames(personages, "Hall", 2).size(), 3u);
    // A drawn line equal to a task line is dropped.
    hall().taskList = {tasks["coins"]};
    *personages.GetISpyPool("Hall") = {{1, {CFindItemsGroup("coins", CFindItem::Pick, true)}}};
    const std::size_t logged = log->count("taskList[i]==ispyTask[j]");
    quennick().GenISpyTaskInRoom("Hall", 1, false, false);
    EXPECT_EQ(log->count("taskList[i]==ispyTask[j]"), logged + 1);
    EXPECT_EQ(hall().taskList.size(), 1u);

    // Three lines asked of a room with two: two without refill; with it the
    // pool is made again without the lines in use, then "scarce" once.
    CPersonage::CRoomInfo& library = quennick().GetRoomInfo("Library");
    library.ispyList.clear();
    library.taskList.clear();
    quennick().GenISpyTaskInRoom("Library", 3, false, false);
    EXPECT_EQ(library.ispyList.size(), 2u);
    EXPECT_EQ(log->count("Warning, scarce ISpy items!"), 0u);
    library.ispyList.resize(1);
    library.taskList.clear();
    quennick().GenISpyTaskInRoom("Library", 3, true, false);
    ASSERT_EQ(library.ispyList.size(), 2u);
    EXPECT_NE(library.ispyList[0], library.ispyList[1]);
    EXPECT_TRUE(poolNames(personages, "Library", 1).empty());
    EXPECT_EQ(log->count("CPersonage::GenISpyTaskInRoom(). Room: Library. Warning, scarce ISpy items!"), 1u);
}

TEST_F(PersonagesTest, ProgressAndVisibilityQueries)
{
    load();
    CPersonage& q = quennick();
    std::uint32_t total = 9, done = 9, taskTotal = 0, taskDone = 0;
    // Without a room info, and none is made.
    EXPECT_TRUE(q.IsRoomTaskCompleted("None") && q.IsISpyTaskDone("None") && q.IsISpyExhausted("None"));
    EXPECT_FALSE(q.HasRoomTasks("None") || q.IsTaskItemFound(CSpyItemRef("cup", "None")));
    q.GetRoomTaskProgress("None", total, done, true);
    q.SetRoomTaskVisible("None", "x", false);
    q.SetRoomTaskVisible("", "x", false);
    EXPECT_EQ(total + done, 0u);
    EXPECT_EQ(log->count("CPersonage::SetRoomTaskVisible(). Room name is empty!"), 1u);
    EXPECT_EQ(q.GetRoomInfoConst("None"), nullptr);

    EXPECT_FALSE(q.IsRoomTaskCompleted("Hall") || q.IsISpyTaskDone("Hall"));
    EXPECT_TRUE(q.HasRoomTasks("Hall"));
    q.GetRoomTaskProgress("Hall", total, done, false);
    EXPECT_EQ(total, hall().ispyList.size() + 1);  // and the clue
    for (auto* list : {&hall().taskList, &hall().ispyList, &hall().clueList})
        for (CFindItemsGroup& line : *list)
            line.toFind = 0;
    EXPECT_TRUE(q.IsRoomTaskCompleted("Hall") && q.IsISpyTaskDone("Hall"));
    EXPECT_TRUE(q.IsISpyExhausted("Hall"));  // the two personages took all five lines
    personages.ResetISpyPool(true);
    EXPECT_FALSE(q.IsISpyExhausted("Hall"));
    q.GetTaskCounts(total, done, taskTotal, taskDone, false);
    EXPECT_EQ(total - done, q.GetRoomInfo("Library").ispyList.size());
    EXPECT_EQ(taskDone, 4u);
    EXPECT_TRUE(q.CompleteInvTask("lamp"));
    EXPECT_EQ(q.investigationInfo.invTasks[0].toFind, 0);
    EXPECT_FALSE(q.CompleteInvTask("nothing"));
}

TEST_F(PersonagesTest, RoomsEnteredThroughTheContext)
{
    load();
    rooms.GetRoom("Hall")->Entry(0);
    rooms.GetRoom("Hall")->Exit();
    rooms.GetRoom("Hall")->Entry(0);
    EXPECT_EQ(context.messages, (Names{"hall_first", "hall_again"}));
    EXPECT_EQ(hall().visits, 2u);
    EXPECT_EQ(context.GetCurrentRoomTask(), "hall_task");
    EXPECT_EQ(context.GetTaskList("Hall"), &hall().taskList);
    EXPECT_EQ(context.GetISpyList("None"), nullptr);
    EXPECT_TRUE(context.HasItemInfo("vase"));
    EXPECT_FALSE(context.HasItemInfo("cup"));
    personages.Clear();
    EXPECT_FALSE(context.HasItemInfo("vase"));

    // Find All: the lines come at the first entry, once.
    rooms.ReleaseAll();
    load("FindAll", true);
    EXPECT_FALSE(quennick().IsRoomTaskCompleted("Hall"));  // pending
    CRoomBase& room = *rooms.GetRoom("Hall");
    room.Entry(0);
    ASSERT_EQ(hall().ispyList.size(), 3u);
    room.Exit();
    room.Entry(0);
    EXPECT_EQ(hall().ispyList.size(), 3u);
    quennick().GenISpyTaskInRoom("Hall", 1, false, true);
    EXPECT_EQ(hall().ispyList.size(), 4u);
    CFindItemsGroup& line = hall().ispyList[0];
    const CSpyItemRef first(line.items[0].name, "Hall");
    EXPECT_FALSE(quennick().IsTaskItemFound(first));
    line.MarkPicked(first.name);
    EXPECT_TRUE(quennick().IsTaskItemFound(first));
}

TEST_F(PersonagesTest, DemoCaseListsAndTexts)
{
    files.setAssign("gamedata", test_env::sourceDir() + "/data/GameData/");
    files.setAssign("language", "gamedata:Language/English/");
    aLocaleServer locale;
    CRoomServices services;
    services.res.locale = &locale;
    rooms.SetServices(services);
    load("1chapter", false, 1, "gamedata:_Investigations/1chapter/");
    const CPersonage::CRoomInfo& study = *quennick().GetRoomInfoConst("Study");
    EXPECT_EQ(study.ispyList.size(), 5u);
    EXPECT_EQ(study.taskList.size(), 5u);
    const CPersonage::CRoomInfo& garden = *quennick().GetRoomInfoConst("Garden");
    EXPECT_EQ(garden.ispyList.size(), 4u);
    EXPECT_EQ(garden.taskList.size(), 6u);
    ASSERT_EQ(garden.clueList.size(), 1u);
    EXPECT_EQ(garden.clueList[0].items.at(0).name, "footprint");
    Names desk = names(quennick().GetRoomInfo("Desk_CU").taskList);
    std::sort(desk.begin(), desk.end());
    EXPECT_EQ(desk, (Names{"card_1chapter", "drawer", "letter"}));
    EXPECT_EQ(personages.GetPersonage("Marivel")->GetRoomInfo("Study").ispyList.size(), 4u);
    // Every text the files name is in the room's table.
    for (const auto& personage : personages.GetPersonages()) {
        for (const auto& [room, info] : personage->roomInfos)
            for (const std::string* text : {&info.FirstEnter, &info.EnterToRoom, &info.RoomTask})
                EXPECT_TRUE(text->empty() || locale.findString(*text, room)) << *text;
        for (const auto& [item, info] : personage->itemInfos)
            for (const std::string* text : {&info.About, &info.BadUse, &info.SuccessApply})
                EXPECT_TRUE(text->empty() || locale.findString(*text, item.room)) << *text;
    }
    rooms.ReleaseAll();
}

TEST_F(PersonagesTest, DemoFindAllEightLinesARoomAndItsFinishInTheGarden)
{
    files.setAssign("gamedata", test_env::sourceDir() + "/data/GameData/");
    const std::string folder = "gamedata:_Investigations/FindAll/";
    load("FindAll", true, 1, folder);
    CPersonage& q = quennick();
    CSpyEventsManager finish;
    owner.name = "FindAll";
    owner.findAll = true;
    finish.SetOwner(&owner);
    finish.AddEvents(folder + CSpyEventsManager::kFile);
    finish.ResetEvents("FindAll");
    owner.room = rooms.GetRoom("Garden");
    // The objects to find, counted as the case counts them before it loads
    // a room: 16 in the study and 11 in the garden, on 13 and 9 lines.
    for (const char* room : {"Study", "Garden"})
        personages.SetRoomItemsCount(
            room, CSpyItemManager::CountPooledItems(std::string("gamedata:_Locations/Rooms/") + room + "/items.ini"));
    std::uint32_t total = 0, found = 0;
    q.CountISpyProgress(total, found, true);
    EXPECT_EQ(total, 27u);
    EXPECT_EQ(found, 0u);
    // Before a room is entered its lines are still to come.
    EXPECT_EQ(finish.GetReadyEvent(), nullptr);
    for (const char* room : {"Study", "Garden"}) {
        q.GenISpyTaskInRoom(room, std::int32_t(q.GetRoomInfo(room).ISpyItemsCount), true, false);
        EXPECT_EQ(q.GetRoomInfo(room).ispyList.size(), 8u) << room;
        q.CountISpyProgress(total, found, true);
        EXPECT_EQ(total, 27u) << room;
    }
    EXPECT_EQ(finish.GetReadyEvent(), nullptr);
    // Every line found, each replaced from the pool until the pool is out;
    // each object found counts once.
    std::uint32_t picks = 0;
    for (int round = 0; round < 40; ++round)
        for (const char* room : {"Study", "Garden"}) {
            const auto lines = q.GetRoomInfo(room).ispyList;
            for (const CFindItemsGroup& line : lines)
                for (const CFindItem& entry : line.items) {
                    if (entry.IsFound())
                        continue;
                    q.CompletePickTask(CSpyItemRef(entry.name, room));
                    q.CountISpyProgress(total, found, true);
                    ++picks;
                    EXPECT_EQ(total, 27u);
                    EXPECT_EQ(found, picks) << entry.name;
                }
        }
    EXPECT_EQ(picks, 27u);
    EXPECT_TRUE(q.IsRoomTaskCompleted("Study") && q.IsRoomTaskCompleted("Garden"));
    owner.room = rooms.GetRoom("Study");
    EXPECT_EQ(finish.GetReadyEvent(), nullptr);
    owner.room = rooms.GetRoom("Garden");
    ASSERT_NE(finish.GetReadyEvent(), nullptr);
    EXPECT_EQ(finish.GetCurrentEvent()->GetEventName(), "find_all_done");
    rooms.ReleaseAll();
}
