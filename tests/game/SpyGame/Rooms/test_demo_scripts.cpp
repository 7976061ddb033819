// The demo case played through the room code with its real personages and
// events (a fake investigation takes the ready events as the play step
// does): the tasks complete, the case's and the study's events fire, and a
// save through the save system comes back byte for byte.
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
    CRoomBase& desk = room("Desk_CU");
    CPersonage& detective = *personages.GetPersonage("Quennick");
    ASSERT_EQ(caseEvents.GetEvents().size(), 2u);
    study.Entry(0);
    EXPECT_EQ(fire(study), "");

    EXPECT_EQ(click(study, "key"), 8);
    study.PutPickedItemToInventory();
    EXPECT_EQ(click(study, "desk_drawer"), 6);
    study.TakeCloseUpRoom();
    desk.Entry(0);
    click(desk, 179 + 36, 696 + 36);  // the key onto the cursor
    EXPECT_EQ(click(desk, "drawer"), 7);
    EXPECT_EQ(desk.Update(0.5f, false), 9);
    EXPECT_EQ(click(desk, "card_1chapter"), 8);
    desk.PutPickedItemToInventory();
    EXPECT_TRUE(detective.IsRoomTaskCompleted("Desk_CU"));
    EXPECT_EQ(detective.investigationInfo.invTasks.at(0).toFind, 0);
    EXPECT_EQ(context.messages, (persontest::Names{"enter_study", "key_fits_drawer"}));
    // The desk's task makes the case's message ready; the study's own I-spy
    // lines are still to find, so the case is not won.
    EXPECT_EQ(fire(desk), "card_found");
    EXPECT_EQ(fire(desk), "");

    // Back in the study the letter's event fires; its item reference resolves.
    EXPECT_EQ(click(desk, "back"), 5);
    desk.TakeTargetRoom();
    study.Entry(0);
    EXPECT_EQ(fire(study), "letter_appears");
    const auto& letter = dynamic_cast<SpyEvents::EEventForItem&>(*study.GetEventsManager().GetCurrentEvent());
    ASSERT_EQ(rooms.GetItemByFullName(letter.ShowItem), &item("Study", "letter"));
    item("Study", "letter").SetVisible(true);

    // Saved, started again (every flag cleared), loaded, saved again.
    const std::string file = test_env::home() + "/scripts.save";
    const std::string first = saveAll(file);
    restart();
    EXPECT_FALSE(caseEvents.GetEvent("card_found")->IsDone() ||
                 study.GetEventsManager().GetEvent("letter_appears")->IsDone());
    SaveLoadSystem system;
    ASSERT_TRUE(system.BeginLoad(file, 4374));
    for (SaveLoadEntity* entity : entities)
        EXPECT_TRUE(system.LoadEntity(entity));
    system.Finish();
    EXPECT_EQ(caseEvents.GetCurrentEvent(), caseEvents.GetEvent("card_found"));
    EXPECT_TRUE(caseEvents.GetEvent("card_found")->IsDone() &&
                study.GetEventsManager().GetEvent("letter_appears")->IsDone() &&
                item("Study", "letter").IsVisible() && detective.IsRoomTaskCompleted("Desk_CU"));
    EXPECT_EQ(saveAll(file), first);
}
