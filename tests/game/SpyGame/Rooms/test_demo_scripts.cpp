// The demo case played through the room code with its real personages and
// events (a fake investigation takes the ready events as the play step
// does): the tasks complete, the case's and the rooms' events fire in the
// story's order, and a save through the save system comes back.
#include <gtest/gtest.h>

#include "engine/util/a_options_file.h"
#include "engine/util/a_random.h"
#include "game/SpyGame/SpyEvents.h"
#include "game/SpyGame/personages_fixture.h"
#include "game/shell/save_load_system.h"
#include "rooms_fixture.h"

namespace {

const std::string kCase = "gamedata:_Investigations/1chapter/";

class DemoScripts : public roomtest::RoomsTest {
protected:
    std::string data() override { return test_env::sourceDir() + "/data/GameData/"; }

    void SetUp() override
    {
        RoomsTest::SetUp();
        if (HasFatalFailure())
            return;
        RegisterEventKinds();
        owner.name = "1chapter";
        owner.personages = &personages;
        owner.rooms = &rooms;
        rooms.Init(&personages, nullptr, &context);
        rooms.LoadRooms(kCase, &owner);
        images->LoadAll();
        anims->LoadAll();
        rooms.AfterLoadInitRooms(kCase, nullptr, nullptr);
        personages.CreatePersonages(aOptionsFile(kCase + "_investigation.ini"), nullptr, &rooms);
        personages.LoadAllRoomAiData(kCase, "1chapter");
        caseEvents.SetOwner(&owner);
        caseEvents.AddEvents(kCase + CSpyEventsManager::kFile);
        restart();
    }
    void restart()
    {
        rooms.ResetRooms(kCase);
        a_srand(1);
        personages.ResetPersonages(false, false);
        caseEvents.ResetEvents("1chapter");
    }
    // The next ready event as the play step takes it, the current room's
    // first, marked done; its name, "" when none.
    std::string fire(CRoomBase& room)
    {
        owner.room = &room;
        CSpyEventBase* event = room.GetEventsManager().GetReadyEvent();
        event = event ? event : caseEvents.GetReadyEvent();
        return event ? (event->SetDone(), event->GetEventName()) : std::string();
    }
    // The file's bytes.
    std::string saveAll(const std::string& file)
    {
        SaveLoadSystem system;
        system.BeginSave(file, 4374);
        for (SaveLoadEntity* entity : entities)
            system.SaveEntity(entity);
        EXPECT_TRUE(system.Finish());
        return test_env::readFile(file);
    }

    FakeEventsOwner owner;
    CPersonagesManager personages;
    persontest::MessageContext context{personages};
    CSpyEventsManager caseEvents;
    const std::vector<SaveLoadEntity*> entities{&personages, &rooms, &caseEvents};
};

} // namespace

TEST_F(DemoScripts, ThePlayFiresTheEventsAndTheSaveComesBack)
{
    CRoomBase& study = room("Study");
    CRoomBase& garden = room("Garden");
    CRoomBase& desk = room("Desk_CU");
    CPersonage& detective = *personages.GetPersonage("Quennick");
    // Every line of the room's list found, as the panel would mark them.
    const auto findAll = [&](const std::string& roomName) {
        const auto lines = detective.GetRoomInfo(roomName).taskList;
        for (const CFindItemsGroup& line : lines)
            for (const CFindItem& entry : line.items)
                if (entry.kind == CFindItem::Pick)
                    detective.CompletePickTask(CSpyItemRef(entry.name, roomName));
    };
    ASSERT_EQ(caseEvents.GetEvents().size(), 8u);
    EXPECT_EQ(detective.GetRoomInfo("Study").ispyList.size(), 5u);
    EXPECT_EQ(detective.GetRoomInfo("Garden").ispyList.size(), 4u);
    // The comics open the case wherever the player stands.
    study.Entry(0);
    EXPECT_EQ(fire(study), "Comics");
    EXPECT_EQ(fire(study), "");
    study.Exit();

    // The garden: the key brings the gardener, who points out the bird.
    garden.Entry(0);
    EXPECT_FALSE(item("Garden", "bird").IsVisible());
    EXPECT_EQ(click(garden, "key"), 8);
    garden.PutPickedItemToInventory();
    EXPECT_EQ(fire(garden), "gardener_and_bird");
    const auto& gardener = dynamic_cast<SpyEvents::EEventForItem&>(*garden.GetEventsManager().GetCurrentEvent());
    EXPECT_EQ(gardener.NPC_Image, "npc_gardener");
    ASSERT_EQ(rooms.GetItemByFullName(gardener.ShowItem), &item("Garden", "bird"));
    item("Garden", "bird").SetVisible(true);
    // The footprint is the garden's clue.
    EXPECT_EQ(click(garden, "footprint"), 8);
    garden.PutPickedItemToInventory();
    EXPECT_TRUE(garden.IsClueFound());
    EXPECT_EQ(fire(garden), "");
    findAll("Garden");
    EXPECT_TRUE(detective.IsRoomTaskCompleted("Garden"));
    EXPECT_EQ(fire(garden), "garden_done");
    garden.Exit();

    // The desk: the key opens the drawer; its message, the letter's stars,
    // and once both things are taken the notebook's task says it is done,
    // the stars go and the card's message comes.
    desk.Entry(0);
    click(desk, 179 + 36, 696 + 36);  // the key onto the cursor
    EXPECT_EQ(click(desk, "drawer"), 7);
    EXPECT_EQ(desk.Update(0.5f, false), 9);
    EXPECT_EQ(fire(desk), "drawer_opened");
    EXPECT_EQ(fire(desk), "letter_stars_on");
    EXPECT_EQ(fire(desk), "");
    for (const char* taken : {"card_1chapter", "letter"}) {
        EXPECT_EQ(click(desk, taken), 8) << taken;
        desk.PutPickedItemToInventory();
    }
    EXPECT_TRUE(detective.IsRoomTaskCompleted("Desk_CU"));
    EXPECT_EQ(detective.investigationInfo.invTasks.at(0).toFind, 0);
    EXPECT_EQ(fire(desk), "desk_task_done");
    EXPECT_EQ(fire(desk), "letter_stars_off");
    EXPECT_EQ(fire(desk), "card_found");
    EXPECT_EQ(fire(desk), "");
    desk.Exit();

    // The study searched: its finish, then the case is won and closed.
    study.Entry(0);
    EXPECT_EQ(fire(study), "");
    findAll("Study");
    EXPECT_EQ(fire(study), "study_done");
    EXPECT_EQ(fire(study), "case_won");

    // Saved, started again (every flag cleared), loaded, saved again.
    const std::string file = test_env::home() + "/scripts.save";
    const std::string first = saveAll(file);
    restart();
    EXPECT_FALSE(caseEvents.GetEvent("case_won")->IsDone() ||
                 garden.GetEventsManager().GetEvent("gardener_and_bird")->IsDone());
    SaveLoadSystem system;
    ASSERT_TRUE(system.BeginLoad(file, 4374));
    for (SaveLoadEntity* entity : entities)
        EXPECT_TRUE(system.LoadEntity(entity));
    system.Finish();
    EXPECT_EQ(caseEvents.GetCurrentEvent(), caseEvents.GetEvent("case_won"));
    EXPECT_TRUE(caseEvents.GetEvent("case_won")->IsDone() &&
                garden.GetEventsManager().GetEvent("gardener_and_bird")->IsDone() &&
                item("Garden", "bird").IsVisible() && detective.IsRoomTaskCompleted("Desk_CU"));
    EXPECT_EQ(saveAll(file), first);
    // The ending's comics page, then the case closes.
    EXPECT_EQ(fire(study), "case_ending");
    EXPECT_EQ(fire(study), "case_closed");
}
