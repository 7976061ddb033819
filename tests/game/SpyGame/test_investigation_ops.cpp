// The investigation's smaller operations and its board switches on the bench.
#include <set>

#include "engine/sound/a_music_manager.h"
#include "game/SpyGame/SpyEvents.h"
#include "game/shell/c_res_manager.h"
#include "game/shell/save_load_system.h"
#include "investigation_bench.h"
#include "test_env.h"

using namespace invtest;

namespace {

using State = CInvestigation::State;

class InvestigationOps : public InvestigationTest {
protected:
    void SetUp() override
    {
        InvestigationTest::SetUp();
        if (HasFatalFailure())
            return;
        addBoards();
        writeCase(kCaseIni);
        playCase();
        ASSERT_EQ(inv->GetState(), CInvestigation::StatePlay);
        dialogs->take();
    }
    // The player opens the close-up from the current room.
    void openCloseUp(const std::string& name)
    {
        inv->history.push_back(inv->currentRoom);
        inv->currentRoom->Exit();
        inv->currentRoom = room(name);
        inv->currentRoom->Entry(0);
    }
    static std::vector<std::string> blockKeys(const std::string& path);
    bool visible(CDialogSpyGamePanel::Part part) { return panel->GetPart(part)->IsVisible(true); }
    bool enabled(CDialogSpyGamePanel::Part part) { return panel->GetPart(part)->IsEnabled(true); }
    std::string track()
    {
        std::string group;
        return res->GetMusicManager()->GetCurrentTrack(group);
    }
};

// The keys of a save file's blocks in file order.
std::vector<std::string> InvestigationOps::blockKeys(const std::string& path)
{
    const std::string file = test_env::readFile(path);
    std::vector<std::uint8_t> payload(file.begin() + 24, file.end());
    SaveLoadSystem::Scramble(payload.data(), std::uint32_t(payload.size()));
    std::vector<std::string> keys;
    for (std::size_t at = 0; at < payload.size();) {
        std::string key(reinterpret_cast<const char*>(payload.data() + at));
        at += key.size() + 1;
        const std::uint32_t length = std::uint32_t(payload[at]) | std::uint32_t(payload[at + 1]) << 8
                                     | std::uint32_t(payload[at + 2]) << 16 | std::uint32_t(payload[at + 3]) << 24;
        at += 4 + length;
        keys.push_back(key);
    }
    return keys;
}

} // namespace

TEST_F(InvestigationOps, PauseAndResume)
{
    inv->Pause(false);  // not paused: nothing
    EXPECT_EQ(inv->GetState(), State::StatePlay);
    inv->Pause(true);
    inv->Pause(true);  // the second keeps the first saved state
    EXPECT_EQ(inv->GetPauseState(), State::StatePlay);
    EXPECT_TRUE(panel->IsRoomPause());
    EXPECT_EQ(dialogs->take(), (std::vector<std::string>{"ShowPause(1)"}));
    banner->Start(false);  // no change while the banner runs
    ASSERT_TRUE(banner->IsRunning());
    inv->Pause(false);
    EXPECT_EQ(inv->GetState(), State::StatePaused);
    banner->Hide();
    inv->Pause(false);
    EXPECT_EQ(inv->GetState(), State::StatePlay);
    EXPECT_EQ(panel->IsRoomPause(), !panel->IsISpyRoom());
    EXPECT_EQ(dialogs->take(), (std::vector<std::string>{"ShowPause(0)"}));

    // Resume only from the menu and the help.
    inv->Resume();
    EXPECT_EQ(inv->GetState(), State::StatePlay);
    res->GetMusicManager()->Stop(false);
    inv->previousState = State::StatePlay;
    inv->state = State::StateInGameMenu;
    inv->Resume();
    EXPECT_EQ(inv->GetState(), State::StatePlay);
    EXPECT_EQ(track(), "investigation");
    inv->previousState = State::StateMap;
    inv->state = State::StateHelp;
    inv->Resume();
    EXPECT_EQ(inv->GetState(), State::StateMap);
}

TEST_F(InvestigationOps, ExitAndClearWithAndWithoutRoom)
{
    inv->Exit();
    EXPECT_EQ(inv->GetState(), State::StateStarted);
    EXPECT_EQ(inv->GetCurrentRoom(), nullptr);
    EXPECT_EQ(scripted("Hall").calls.back(), "Exit");
    EXPECT_EQ(track(), "");  // the case's music stopped
    inv->Exit();  // no room: the rest still runs
    EXPECT_EQ(inv->GetState(), State::StateStarted);
    inv->Clear();
    inv->Clear();
    EXPECT_EQ(inv->GetState(), State::StateInitialised);
    inv->Exit();  // state 1: nothing
    EXPECT_EQ(inv->GetState(), State::StateInitialised);
}

TEST_F(InvestigationOps, GoBackThroughTheHistory)
{
    openCloseUp("Close");
    inv->GoBack();
    EXPECT_EQ(inv->GetState(), State::StateGoBack);
    EXPECT_FALSE(visible(CDialogSpyGamePanel::Back));  // one room left to go back to
    EXPECT_TRUE(panel->IsBlockPause());
    EXPECT_EQ(scripted("Close").calls.back(), "Exit");

    // Two rooms: Back stays.
    inv->state = State::StatePlay;
    inv->currentRoom = room("Hall");
    inv->history.clear();
    openCloseUp("Wide");
    openCloseUp("Close");
    panel->GetPart(CDialogSpyGamePanel::Back)->SetVisible(true);
    inv->GoBack();
    EXPECT_TRUE(visible(CDialogSpyGamePanel::Back));
    EXPECT_EQ(inv->history.size(), 2u);

    // From "Decrypt" once the hunt is decrypted, the hunt board is skipped: here to the map.
    hunt->EntryNewInvestigation("Study");
    hunt->Decipher(std::size_t(hunt->GetCurrentCard()), false);
    ASSERT_EQ(hunt->GetCurrentState(), 2);
    inv->history = {hunt};
    inv->currentRoom = room("Decrypt");
    inv->GoBack();
    EXPECT_EQ(inv->GetState(), State::StateMap);
    EXPECT_EQ(inv->GetCurrentRoom(), map);
    EXPECT_TRUE(inv->history.empty());

    // Nowhere to go: no history, no map.
    inv->currentRoom = room("Hall");
    inv->state = State::StatePlay;
    inv->globalMap = nullptr;
    scripted("Hall").calls.clear();
    inv->GoBack();
    EXPECT_EQ(logged("No room to go back to and no map"), 1u);
    EXPECT_EQ(inv->GetState(), State::StatePlay);
    EXPECT_TRUE(scripted("Hall").calls.empty());  // still entered
}

TEST_F(InvestigationOps, OnRoomLoadedMakesThePendingRoomCurrent)
{
    // From a room.
    inv->pendingRoom = "Wide";
    inv->previousState = State::StatePlay;
    inv->state = State::StateRoomToLoad;
    inv->faTutorialPending = 0;
    room("Wide")->SetPos(0, 0);
    scripted("Wide").calls.clear();
    inv->OnRoomLoaded();
    EXPECT_EQ(inv->GetCurrentRoom(), room("Wide"));
    EXPECT_EQ(inv->GetState(), State::StatePlay);
    EXPECT_EQ(scripted("Wide").calls, (std::vector<std::string>{"Reset", "Entry(0)"}));
    EXPECT_EQ(room("Wide")->GetPointX(), 89);

    // From the map, with the Find All tutorial pending.
    inv->GoToMap();
    inv->pendingRoom = "Close";
    inv->previousState = State::StateMap;
    inv->state = State::StateRoomToLoad;
    inv->faTutorialPending = 1;
    inv->OnRoomLoaded();
    EXPECT_EQ(inv->GetMapLocation(), "Close");
    EXPECT_EQ(inv->GetState(), State::StateTutorial);
    EXPECT_EQ(inv->GetPreviousState(), State::StatePlay);
    EXPECT_TRUE(container->tutorial.IsVisible());
    EXPECT_TRUE(visible(CDialogSpyGamePanel::BlockWidget));
    EXPECT_EQ(inv->faTutorialPending, 0);

    // A room the load did not make: the left room is entered again, unreset.
    inv->state = State::StateRoomToLoad;
    inv->previousState = State::StatePlay;
    inv->pendingRoom = "Attic";
    scripted("Close").calls.clear();
    inv->OnRoomLoaded();
    EXPECT_EQ(logged("Room 'Attic' was not loaded"), 1u);
    EXPECT_EQ(inv->GetCurrentRoom(), room("Close"));
    EXPECT_EQ(scripted("Close").calls, (std::vector<std::string>{"Entry(0)"}));
    EXPECT_EQ(inv->GetState(), State::StatePlay);
}

TEST_F(InvestigationOps, PanelButtonsFollowTheRoom)
{
    inv->UpdatePanelButtons();  // the hall: back allowed, no history
    EXPECT_FALSE(visible(CDialogSpyGamePanel::Back));
    EXPECT_FALSE(visible(CDialogSpyGamePanel::ContinueBtnPanel));
    EXPECT_TRUE(visible(CDialogSpyGamePanel::NotebookISpy));
    EXPECT_FALSE(visible(CDialogSpyGamePanel::NotebookNoISpy));
    EXPECT_FALSE(inv->IsSkipBonusRoundVisible());
    openCloseUp("Wide");  // AllowBack 0
    inv->UpdatePanelButtons();
    EXPECT_FALSE(visible(CDialogSpyGamePanel::Back));
    EXPECT_TRUE(visible(CDialogSpyGamePanel::NotebookNoISpy));
    openCloseUp("Hall");
    inv->UpdatePanelButtons();
    EXPECT_TRUE(visible(CDialogSpyGamePanel::Back));
    openCloseUp("Close");  // Continue and skip
    inv->fadeAlpha = 0.25f;
    inv->UpdatePanelButtons();
    EXPECT_FALSE(visible(CDialogSpyGamePanel::Back));
    EXPECT_TRUE(visible(CDialogSpyGamePanel::ContinueBtnPanel));
    EXPECT_TRUE(inv->IsSkipBonusRoundVisible());
    EXPECT_EQ(inv->fadeAlpha, 1.0f);
    EXPECT_EQ(room("Close")->GetAlpha(), 1.0f);
}

TEST_F(InvestigationOps, GradesAndChildrenOrder)
{
    for (const auto& [used, grade] : std::vector<std::pair<std::uint32_t, int>>{
             {0, 1}, {1, 2}, {4, 2}, {5, 3}, {14, 3}, {15, 4}}) {
        inv->findAllHintsUsed = used;
        EXPECT_EQ(inv->GetFACertificateType(), grade) << used;
    }
    EXPECT_EQ(inv->GetMHCertificateType(), 1);  // counter 0
    // A counter of -1, restored from a rooms record, gives 1 and is left at 0.
    std::string extra, room, record, block;
    auto u32 = [](std::string& out, std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            out.push_back(char(v >> (8 * i)));
    };
    u32(extra, 0xFFFFFFFFu);  // counter
    u32(extra, 0xFFFFFFFFu);  // no current card
    u32(extra, 0);            // no cards
    room.push_back('\0');     // flags
    u32(room, 0);             // items
    u32(room, std::uint32_t(extra.size()));
    room += extra;
    record = std::string("\x01\x00", 2);  // format
    u32(record, 0);                        // inventory
    u32(record, 0);                        // Find All order
    u32(record, 1);
    record += std::string("MurderHunt") + '\0';
    u32(record, std::uint32_t(room.size()));
    record += room;
    // After every loaded room's events block, none done.
    std::uint32_t blocks = 1;
    for (const auto& [name, loaded] : rooms->GetRooms()) {
        const std::size_t count = loaded->GetEventsManager().GetEvents().size();
        block += loaded->GetEventsManager().GetKey() + '\0';
        u32(block, std::uint32_t(count + 8));
        u32(block, std::uint32_t(count));
        block.append(count, '\0');
        u32(block, CSpyEventsManager::kNoEvent);
        ++blocks;
    }
    block += std::string(CRoomsManager::kKey) + '\0';
    u32(block, std::uint32_t(record.size()));
    block += record;
    const std::vector<std::uint8_t> file =
        SaveLoadSystem::BuildFile(std::vector<std::uint8_t>(block.begin(), block.end()), 4374, blocks);
    test_env::writeFile(test_env::home() + "/hunt.save", std::string(file.begin(), file.end()));
    SaveLoadSystem load;
    ASSERT_TRUE(load.BeginLoad(test_env::home() + "/hunt.save", 4374));
    ASSERT_TRUE(load.LoadEntity(rooms.get()));
    load.Finish();
    ASSERT_EQ(hunt->PeekCounter(), -1);
    EXPECT_EQ(inv->GetMHCertificateType(), 1);
    EXPECT_EQ(hunt->PeekCounter(), 0);
    inv->murderHunt = nullptr;
    EXPECT_EQ(inv->GetMHCertificateType(), 1);  // no hunt at all

    // The seven children in order, then the investigation.
    const std::string path = test_env::home() + "/order.save";
    SaveLoadSystem save;
    ASSERT_TRUE(save.BeginSave(path, 4374));
    ASSERT_TRUE(save.SaveEntity(inv.get()));
    ASSERT_TRUE(save.Finish());
    std::vector<std::string> keys = blockKeys(path);
    const std::set<std::string> top = {"<TipEvents>",     "<tip_manager>",  "<SpyGameInterface>",
                                       "<DialogMessage>", "<PersonagesManager>", "<RoomsManager>",
                                       "CSpyEventsManager : caseA", "Investigation : caseA"};
    std::vector<std::string> tops;
    for (const std::string& key : keys)
        if (top.count(key))
            tops.push_back(key);
    EXPECT_EQ(tops, (std::vector<std::string>{"<TipEvents>", "<tip_manager>", "<SpyGameInterface>", "<DialogMessage>", "<PersonagesManager>",
                                              "<RoomsManager>", "CSpyEventsManager : caseA",
                                              "Investigation : caseA"}));
}

TEST_F(InvestigationOps, BoardSwitchesByState)
{
    struct Row {
        std::uint32_t from;
        bool hunt;           // OpenMurderHunt, else OpenInvCards
        bool result;
        std::size_t pushed;  // rooms added to the history
        bool leftRoom;       // the room before was left
    };
    const Row rows[] = {
        {4, true, true, 0, true},    {5, true, true, 1, true},   {7, true, true, 0, false},
        {12, true, false, 0, false}, {13, true, true, 0, true},  {28, true, true, 1, true},
        {8, true, false, 0, false},  {4, false, true, 0, true},  {5, false, true, 1, true},
        {7, false, false, 0, false}, {12, false, true, 0, true}, {13, false, false, 0, false},
        {28, false, true, 1, true},  {30, false, false, 0, false},
    };
    for (const Row& row : rows) {
        inv->currentRoom = room("Hall");
        inv->history.clear();
        inv->state = row.from;
        scripted("Hall").calls.clear();
        panel->GetPart(CDialogSpyGamePanel::BtnCardRoom)->SetEnabled(false);
        panel->SetRoomPause(false);
        const bool result = row.hunt ? inv->OpenMurderHunt() : inv->OpenInvCards();
        const std::string what = std::to_string(row.from) + (row.hunt ? " hunt" : " cards");
        EXPECT_EQ(result, row.result) << what;
        EXPECT_EQ(inv->history.size(), row.pushed) << what;
        if (!row.result) {
            EXPECT_EQ(inv->GetState(), row.from) << what;
            EXPECT_EQ(inv->GetCurrentRoom(), room("Hall")) << what;
            EXPECT_TRUE(scripted("Hall").calls.empty()) << what;
            continue;
        }
        EXPECT_EQ(inv->GetState(), row.hunt ? 12u : 13u) << what;
        EXPECT_TRUE(panel->IsRoomPause()) << what;
        EXPECT_EQ(enabled(CDialogSpyGamePanel::BtnCardRoom), row.hunt) << what;
        if (row.leftRoom) {
            EXPECT_EQ(inv->GetCurrentRoom(), row.hunt ? static_cast<CRoomBase*>(hunt) : cards) << what;
            EXPECT_EQ(scripted("Hall").calls, (std::vector<std::string>{"Exit"})) << what;
        } else {  // state 7: the current room is entered again, not left
            EXPECT_EQ(inv->GetCurrentRoom(), room("Hall")) << what;
            EXPECT_EQ(scripted("Hall").calls, (std::vector<std::string>{"Entry(0)"})) << what;
        }
    }
    // Without the boards both switches refuse.
    inv->murderHunt = nullptr;
    inv->state = 5;
    EXPECT_FALSE(inv->OpenMurderHunt());
}

TEST_F(InvestigationOps, EventsGoRoomFirstAndItemEvents)
{
    // Entry carried out the hall's event; the next ready one is the case's.
    EXPECT_EQ(inv->seen, (std::vector<std::string>{"Hall:hall_hello+done"}));
    EXPECT_TRUE(inv->ProcessEvents());
    EXPECT_EQ(inv->seen.back(), "caseA:case_hello+done");
    EXPECT_FALSE(inv->ProcessEvents());
    // Without a room only the case's manager is asked.
    inv->GetEvents().ResetEvents("caseA");
    inv->currentRoom = nullptr;
    EXPECT_TRUE(inv->ProcessEvents());
    EXPECT_EQ(inv->seen.back(), "caseA:case_hello+done");

    // EventForItem: hide one item, show another, by full names.
    inv->currentRoom = room("Study");
    SpyEvents::EEventForItem event;
    event.HideItem = "Study:ENVELOPE";
    event.ShowItem = "Hall:coin";
    rooms->GetItem("Hall", "coin")->SetVisible(false);
    inv->currentEvent = &event;
    inv->ApplyEventForItem();
    EXPECT_FALSE(rooms->GetItem("Study", "ENVELOPE")->IsVisible());
    EXPECT_TRUE(rooms->GetItem("Hall", "coin")->IsVisible());
    event.HideItem = "Study:nothing";
    inv->ApplyEventForItem();  // a missing item is skipped
    inv->currentEvent = nullptr;
}

TEST_F(InvestigationOps, ChangePersonagesCalledDirectly)
{
    SpyEvents::EChangePersonages event;
    event.QuitPersonages = {"Quennick"};
    event.NewPersonages = {"Marivel"};
    event.SendItems = {{"Quennick", "Nobody", "coin"}};
    event.SendFinishedTasks = {"Ghost:coin", "Marivel:no_task"};
    event.IsGoToMap = false;
    inv->previousState = State::StatePlay;
    inv->state = 15;
    scripted("Hall").calls.clear();
    inv->OnEventChangePersonages(&event);
    EXPECT_EQ(personages->GetActiveNames(), (std::vector<std::string>{"Marivel"}));
    EXPECT_EQ(personages->GetCurrentPersonage()->GetName(), "Marivel");
    EXPECT_EQ(container->message.GetIconPersonage(), "Marivel");
    EXPECT_EQ(logged("Personage 'Nobody' not exist!"), 1u);
    EXPECT_EQ(scripted("Hall").calls, (std::vector<std::string>{"Exit", "Entry(0)"}));
    EXPECT_EQ(inv->GetState(), State::StatePlay);
    EXPECT_FALSE(visible(CDialogSpyGamePanel::BlockWidget));

    // No room, nobody new, to the map.
    event.NewPersonages.clear();
    event.IsGoToMap = true;
    inv->currentRoom = nullptr;
    inv->OnEventChangePersonages(&event);
    EXPECT_EQ(inv->GetState(), State::StateMap);
    EXPECT_EQ(personages->GetCurrentPersonage()->GetName(), "Marivel");
}

TEST_F(InvestigationOps, CardsAndPhotos)
{
    EXPECT_FALSE(inv->ShowInvCard("no_card"));
    EXPECT_EQ(logged("Not find investigation card 'no_card'."), 1u);
    EXPECT_EQ(inv->GetState(), State::StatePlay);
    ASSERT_GT(cards->GetCardCount(), 0u);
    const std::string card = cards->GetCard(0)->name;
    EXPECT_TRUE(inv->ShowInvCard(card));
    EXPECT_EQ(inv->GetState(), State::StateInvCard);
    EXPECT_EQ(inv->GetPreviousState(), State::StatePlay);
    EXPECT_EQ(dialogs->take(), (std::vector<std::string>{"ShowInvCard"}));
    EXPECT_TRUE(panel->IsBlockPause());

    // The hunt photo of the card room, its text by the room's hunt state.
    inv->state = State::StatePlay;
    hunt->EntryNewInvestigation("Study");
    hunt->Decipher(std::size_t(hunt->GetCurrentCard()), false);
    inv->ShowInvCard("Study", true);
    EXPECT_EQ(inv->GetState(), State::StateMHPhoto);
    EXPECT_EQ(dialogs->take(), (std::vector<std::string>{"ShowMHPhoto"}));
    inv->state = State::StatePlay;
    inv->ShowInvCard("Attic", true);
    EXPECT_EQ(logged("Not find investigation card 'Attic'."), 1u);
    EXPECT_EQ(inv->GetState(), State::StatePlay);
}
