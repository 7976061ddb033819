// The personages manager on the test case: names, activation, the I-spy
// pool, seeded task generation, progress queries and rooms entered through
// the personages' room context.
#include <algorithm>

#include "engine/util/a_locale_server.h"
#include "engine/util/a_options_file.h"
#include "engine/util/a_random.h"
#include "game/SpyGame/RandomShuffle.h"
#include "personages_fixture.h"
#include "support/test_env.h"

using persontest::names;
using persontest::PersonagesTest;
using Names = std::vector<std::string>;

namespace {

Names poolNames(const CPersonagesManager& manager, const std::string& room, std::uint32_t level)
{
    const CISpyLevels* pool = manager.GetISpyPool(room);
    const auto it = pool ? pool->find(level) : CISpyLevels::const_iterator();
    return pool && it != pool->end() ? names(it->second) : Names();
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
    EXPECT_EQ(personages.GetCurrentPersonage()->GetName(), "Marivel");
    EXPECT_TRUE(personages.DeactivatePersonage("Quennick"));
    EXPECT_FALSE(personages.DeactivatePersonage("Quennick"));
    personages.SetCurrentPersonage("Quennick");  // no longer active: nothing changes
    EXPECT_EQ(personages.GetCurrentPersonage()->GetName(), "Marivel");

    // The case file, the room files and the global map's folder.
    EXPECT_EQ(quennick().investigationInfo.InvTask, "inv_task");
    EXPECT_EQ(quennick().investigationInfo.findAllMode, 0);
    EXPECT_EQ(quennick().GetRoomInfoConst("GlobalMap")->RoomTask, "map_task");
    EXPECT_EQ(personages.GetPersonage("Marivel")->GetRoomInfoConst("Hall")->RoomTask, "hall_task_m");
    EXPECT_EQ(hall().roomItemsCount, 12u);

    personages.Clear();
    rooms.ReleaseAll();
    load("FindAll", true);
    EXPECT_EQ(quennick().investigationInfo.findAllMode, 1);
}

TEST_F(PersonagesTest, RepeatedAndEmptyNames)
{
    aOptionsFile ini;
    ini.addSection(CPersonagesManager::kSection);
    ini.setValue(CPersonagesManager::kSection, "Personages", "Quennick Marivel,Quennick");
    ini.setValue(CPersonagesManager::kSection, "StartPersonages", "Quennick");
    personages.CreatePersonages(ini, nullptr, &rooms);
    personages.LoadAllRoomAiData(persontest::kCase, "caseP");
    EXPECT_EQ(personages.GetAllNames(), (Names{"Quennick", "Marivel"}));
    ASSERT_EQ(personages.GetPersonages().size(), 2u);
    EXPECT_EQ(log->count("Personages names 'Quennick' twice"), 1u);
    // Loaded once: the case's one line is not doubled.
    EXPECT_EQ(quennick().investigationInfo.invTasks.size(), 1u);
    personages.Clear();

    const std::size_t live = CPersonage::GetAllPersonages().size();
    ini.setValue(CPersonagesManager::kSection, "Personages", "");
    EXPECT_THROW(personages.CreatePersonages(ini, nullptr, &rooms), aException);
    EXPECT_EQ(log->count("CPersonagesManager::CreatePersonages: !personages.empty() (PersonagesManager.cpp, line "),
              1u);
    ini.setValue(CPersonagesManager::kSection, "Personages", "A");
    ini.setValue(CPersonagesManager::kSection, "StartPersonages", " ");
    EXPECT_THROW(personages.CreatePersonages(ini, nullptr, &rooms), aException);
    EXPECT_EQ(log->count("CPersonagesManager::CreatePersonages: !startPersonages.empty()"), 1u);
    EXPECT_EQ(personages.GetPersonages().size(), 1u);
    personages.Clear();
    EXPECT_EQ(CPersonage::GetAllPersonages().size(), live);
    EXPECT_EQ(personages.ResetPersonages(true, false), nullptr);
}

TEST_F(PersonagesTest, ISpyPoolLevelsMembersAndRebuilds)
{
    load();
    personages.ResetISpyPool(true);
    // Coins 1, 1, 2 -> 1 (coin_4 is an inventory item); feathers 1, 2 -> 2;
    // the keys group has no member left; groups come before single items.
    EXPECT_EQ(poolNames(personages, "Hall", 0), Names{"cup"});
    EXPECT_EQ(poolNames(personages, "Hall", 1), (Names{"coins", "lamp"}));
    EXPECT_EQ(poolNames(personages, "Hall", 2), (Names{"feathers", "book"}));
    CFindItemsGroup coins = personages.GetISpyPool("Hall")->at(1)[0];
    EXPECT_EQ(names({coins}), Names{"coins"});
    ASSERT_EQ(coins.items.size(), 3u);
    EXPECT_EQ(coins.items[2].name, "coin_3");
    coins.Reset();
    coins.MarkPicked("coin_1");
    coins.MarkPicked("coin_2");
    EXPECT_EQ(coins.toFind, 1);
    EXPECT_TRUE(coins.MarkPicked("coin_3"));
    EXPECT_EQ(coins.toFind, 0);
    EXPECT_EQ(personages.GetISpyPool("Cellar"), nullptr);
    EXPECT_EQ(poolNames(personages, "Library", 1), (Names{"globe", "clock"}));

    // Without all: the EveryFullReset room and rooms without lines are made
    // again; the others keep what is left.
    CISpyLevels& hallPool = *personages.GetISpyPool("Hall");
    hallPool[1].pop_back();
    personages.GetISpyPool("Library")->at(1).pop_back();
    personages.ResetISpyPool(false);
    EXPECT_EQ(poolNames(personages, "Hall", 1), Names{"coins"});
    EXPECT_EQ(poolNames(personages, "Library", 1), (Names{"globe", "clock"}));
    for (auto& level : *personages.GetISpyPool("Hall"))
        level.second.clear();
    personages.ResetISpyPool(false);
    EXPECT_EQ(poolNames(personages, "Hall", 1), (Names{"coins", "lamp"}));
    EXPECT_EQ(personages.GetISpyPool("Cellar"), nullptr);
}

TEST_F(PersonagesTest, SeededGeneration)
{
    Names letters{"a", "b", "c", "d", "e"};
    a_srand(1);
    SpyRandomShuffle(letters);
    EXPECT_EQ(letters, (Names{"e", "b", "d", "c", "a"}));

    load("caseP", false, 7);
    // The item line becomes a one-item line, the group keeps its name and
    // gets its items, the unknown line stays empty and counts as done.
    const auto find = [&](const std::string& name) {
        for (const CFindItemsGroup& line : hall().taskList)
            if (line.GetTaskName() == name)
                return line;
        return CFindItemsGroup();
    };
    EXPECT_TRUE(find("key").name.empty());
    EXPECT_EQ(find("key").items.size(), 1u);
    EXPECT_EQ(find("coins").items.size(), 4u);
    EXPECT_EQ(find("ghost").toFind, 0);
    EXPECT_EQ(find("ghost").visible, 0);
    EXPECT_EQ(find("vase").items[0].kind, std::uint32_t(CFindItem::Click));
    EXPECT_EQ(log->count("Room 'Hall', task 'ghost' - not found required item or ISpy group!"), 1u);
    EXPECT_EQ(log->count("Not found ISpy group 'ghost' in room 'Hall'!"), 1u);
    EXPECT_EQ(names(hall().clueList), Names{"vase"});
    // Three lines drawn; one equal to a task line is dropped with a log line.
    const std::size_t dropped = log->count("CPersonage::GenISpyTaskInRoom roomInfo.taskList[i]==ispyTask[j] !!!");
    EXPECT_EQ(hall().ispyList.size() + dropped, 3u);
    EXPECT_EQ(hall().taskList.size(), 4 + hall().ispyList.size());
    std::uint32_t total = 0, done = 0;
    quennick().CountTaskProgress(total, done);
    EXPECT_EQ(total, 4u);
    EXPECT_EQ(done, 1u);
    const Names tasks = names(hall().taskList), ispy = names(hall().ispyList);
    a_srand(7);
    personages.ResetPersonages(false, false);
    EXPECT_EQ(names(hall().taskList), tasks);
    EXPECT_EQ(names(hall().ispyList), ispy);

    // Level 0 asked for and empty: the draw steps up.
    const CFindItemsGroup coinsTask = find("coins");
    hall().ISpyDiffLevel = 0;
    personages.ResetISpyPool(true);
    personages.GetISpyPool("Hall")->at(0).clear();
    hall().taskList.clear();
    hall().ispyList.clear();
    quennick().GenISpyTaskInRoom("Hall", 1, false, false);
    EXPECT_EQ(poolNames(personages, "Hall", 1).size(), 1u);
    EXPECT_EQ(poolNames(personages, "Hall", 2).size(), 2u);

    // Three lines asked of a room with two: two without refill; with it the
    // pool is made again without the lines in use, and "scarce" is logged.
    CPersonage::CRoomInfo& library = quennick().GetRoomInfo("Library");
    library.ispyList.clear();
    library.taskList.clear();
    quennick().GenISpyTaskInRoom("Library", 3, false, false);
    EXPECT_EQ(library.ispyList.size(), 2u);
    EXPECT_EQ(log->count("Warning, scarce ISpy items!"), 0u);
    quennick().GenISpyTaskInRoom("Library", 3, true, false);
    EXPECT_EQ(library.ispyList.size(), 2u);
    EXPECT_TRUE(poolNames(personages, "Library", 1).empty());
    EXPECT_EQ(log->count("CPersonage::GenISpyTaskInRoom(). Room: Library. Warning, scarce ISpy items!"), 1u);
    library.ispyList.resize(1);
    library.taskList.clear();
    quennick().GenISpyTaskInRoom("Library", 3, true, false);
    ASSERT_EQ(library.ispyList.size(), 2u);
    EXPECT_NE(library.ispyList[0], library.ispyList[1]);

    // A drawn line equal to a task line is dropped.
    hall().taskList = {coinsTask};
    personages.GetISpyPool("Hall")->clear();
    (*personages.GetISpyPool("Hall"))[1] = {CFindItemsGroup("coins", CFindItem::Pick, true)};
    const std::size_t before = log->count("taskList[i]==ispyTask[j]");
    quennick().GenISpyTaskInRoom("Hall", 1, false, false);
    EXPECT_EQ(log->count("taskList[i]==ispyTask[j]"), before + 1);
    EXPECT_EQ(hall().taskList.size(), 1u);
}

TEST_F(PersonagesTest, ProgressAndVisibilityQueries)
{
    load();
    CPersonage& q = quennick();
    std::uint32_t total = 9, done = 9;
    // Without a room info, and none is made.
    EXPECT_TRUE(q.IsRoomTaskCompleted("None"));
    EXPECT_FALSE(q.HasRoomTasks("None"));
    EXPECT_TRUE(q.IsISpyTaskDone("None"));
    EXPECT_TRUE(q.IsISpyExhausted("None"));
    EXPECT_FALSE(q.IsTaskItemFound(CSpyItemRef("cup", "None")));
    q.GetRoomTaskProgress("None", total, done, true);
    EXPECT_EQ(total + done, 0u);
    q.SetRoomTaskVisible("None", "x", false);
    q.SetRoomTaskVisible("", "x", false);
    EXPECT_EQ(log->count("CPersonage::SetRoomTaskVisible(). Room name is empty!"), 1u);
    EXPECT_EQ(q.GetRoomInfoConst("None"), nullptr);

    EXPECT_FALSE(q.IsRoomTaskCompleted("Hall"));
    EXPECT_TRUE(q.HasRoomTasks("Hall"));
    EXPECT_FALSE(q.IsISpyTaskDone("Hall"));
    q.GetRoomTaskProgress("Hall", total, done, false);
    EXPECT_EQ(total, hall().ispyList.size() + 1);  // and the clue
    EXPECT_EQ(done, 0u);
    q.GetRoomTaskProgress("Hall", total, done, true);
    EXPECT_EQ(total, 12u);
    for (auto* list : {&hall().taskList, &hall().ispyList, &hall().clueList})
        for (CFindItemsGroup& line : *list)
            line.toFind = 0;
    EXPECT_TRUE(q.IsRoomTaskCompleted("Hall"));
    EXPECT_TRUE(q.IsISpyTaskDone("Hall"));
    EXPECT_TRUE(q.IsISpyExhausted("Hall"));  // the two personages took all five lines
    personages.ResetISpyPool(true);
    EXPECT_FALSE(q.IsISpyExhausted("Hall"));
    personages.GetISpyPool("Hall")->clear();
    EXPECT_TRUE(q.IsISpyExhausted("Hall"));
    EXPECT_FALSE(q.IsTaskItemFound(CSpyItemRef(hall().ispyList[0].items[0].name, "Hall")));  // Find All only

    std::uint32_t ispyTotal = 0, ispyDone = 0, taskTotal = 0, taskDone = 0;
    q.GetTaskCounts(ispyTotal, ispyDone, taskTotal, taskDone, false);
    EXPECT_EQ(ispyTotal, hall().ispyList.size() + quennick().GetRoomInfo("Library").ispyList.size());
    EXPECT_EQ(ispyDone, hall().ispyList.size());
    EXPECT_EQ(taskTotal, 4u);
    EXPECT_EQ(taskDone, 4u);
    q.CountISpyProgress(total, done, true);
    EXPECT_EQ(total, 12u + 2u + 1u);

    q.SetRoomTaskVisible("Hall", "ghost", true);
    for (const CFindItemsGroup& line : hall().taskList) {
        if (line.GetTaskName() == "ghost") {
            EXPECT_EQ(line.visible, 1);
        }
    }
    q.SetInvTaskVisible("lamp", false);
    EXPECT_EQ(q.investigationInfo.invTasks[0].visible, 0);
    EXPECT_EQ(q.investigationInfo.invTasks[0].toFind, 1);
    EXPECT_TRUE(q.CompleteInvTask("lamp"));
    EXPECT_EQ(q.investigationInfo.invTasks[0].toFind, 0);
    EXPECT_FALSE(q.CompleteInvTask("nothing"));
}

TEST_F(PersonagesTest, RoomsEnteredThroughTheContext)
{
    load();
    CRoomBase& room = *rooms.GetRoom("Hall");
    room.Entry(0);
    room.Exit();
    room.Entry(0);
    EXPECT_EQ(context.messages, (Names{"hall_first", "hall_again"}));
    EXPECT_EQ(hall().visits, 2u);
    EXPECT_EQ(context.GetCurrentRoomTask(), "hall_task");
    EXPECT_EQ(context.GetTaskList("Hall"), &hall().taskList);
    EXPECT_EQ(context.GetISpyList("None"), nullptr);
    EXPECT_TRUE(context.HasItemInfo("vase"));
    EXPECT_FALSE(context.HasItemInfo("cup"));
    personages.Clear();
    EXPECT_FALSE(context.HasItemInfo("vase"));
    EXPECT_EQ(context.GetEnterRoomText(), "");

    // Find All: the lines come at the first entry, once; a found line
    // answers IsTaskItemFound.
    rooms.ReleaseAll();
    load("FindAll", true);
    EXPECT_TRUE(hall().ispyList.empty());
    EXPECT_FALSE(quennick().IsRoomTaskCompleted("Hall"));  // still pending
    CRoomBase& again = *rooms.GetRoom("Hall");
    again.Entry(0);
    ASSERT_EQ(hall().ispyList.size(), 3u);
    EXPECT_EQ(hall().ispyPending, 0);
    again.Exit();
    again.Entry(0);
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
    const std::string folder = "gamedata:_Investigations/1chapter/";
    rooms.LoadRooms(folder, nullptr);
    rooms.AfterLoadInitRooms(folder, nullptr, nullptr);
    rooms.ResetRooms(folder);
    personages.CreatePersonages(aOptionsFile(folder + "_investigation.ini"), nullptr, &rooms);
    personages.LoadAllRoomAiData(folder, "1chapter");
    personages.ResetPersonages(false, false);

    const CPersonage::CRoomInfo& study = *quennick().GetRoomInfoConst("Study");
    EXPECT_EQ(study.ispyList.size(), 6u);
    EXPECT_EQ(study.taskList.size(), 7u);
    Names desk = names(quennick().GetRoomInfo("Desk_CU").taskList);
    std::sort(desk.begin(), desk.end());
    EXPECT_EQ(desk, (Names{"card_1chapter", "drawer"}));
    // The two personages share the pool: no line is given twice.
    Names given = names(study.ispyList);
    for (const std::string& name : names(personages.GetPersonage("Marivel")->GetRoomInfo("Study").ispyList)) {
        EXPECT_EQ(std::count(given.begin(), given.end(), name), 0) << name;
        given.push_back(name);
    }
    EXPECT_EQ(given.size(), 10u);
    // Every text the files name is in the room's table.
    for (const auto& personage : personages.GetPersonages()) {
        for (const auto& [room, info] : personage->roomInfos)
            for (const std::string* text : {&info.FirstEnter, &info.EnterToRoom, &info.RoomTask})
                EXPECT_TRUE(text->empty() || locale.findString(*text, room)) << *text;
        for (const auto& [item, info] : personage->itemInfos)
            for (const std::string* text : {&info.About, &info.BadUse, &info.SuccessApply, &info.ClickUse})
                EXPECT_TRUE(text->empty() || locale.findString(*text, item.room)) << *text;
    }
    rooms.ReleaseAll();
}
