// The play step and the developer hook on the bench's scripted rooms.
#include "engine/gui/gui_server.h"
#include "game/SpyGame/Personage.h"
#include "game/SpyGame/items/SpyItem.h"
#include "game/shell/c_game_ini.h"
#include "play_bench.h"
#include "test_env.h"

using namespace invtest;

namespace {

using Step = ScriptedRoom::Step;

class InvestigationPlay : public PlayTest {
protected:
    void SetUp() override
    {
        PlayTest::SetUp();
        if (HasFatalFailure())
            return;
        startCase();
        // The fixture's ready events fire first, one a step.
        for (int i = 0; i < 4; ++i)
            inv->OnGuiEvent(0.02f);
        play().seen.clear();
        dialogs->take();
    }
    // One play step with the room's next result.
    void result(const std::string& roomName, int code, const std::string& target = std::string())
    {
        scripted(roomName).script.push_back(Step{code, target});
        inv->OnGuiEvent(0.02f);
    }
    void panelCode(std::int32_t code)
    {
        panel->SetState(code);
        inv->OnGuiEvent(0.02f);
        panel->SetState(CDialogBase::kStateShown);
    }
    CPersonage& quennick() { return *personages->GetPersonage("Quennick"); }
    CPersonage::CItemInfo& info(const std::string& roomName, const std::string& item)
    {
        return quennick().itemInfos[CSpyItemRef(item, roomName)];
    }
    bool blocked() { return panel->GetPart(CDialogSpyGamePanel::BlockWidget)->IsVisible(true); }
    void in(const std::string& roomName, std::uint32_t state = InvState::Play) { enterRoom(roomName, state); }
};

} // namespace

TEST_F(InvestigationPlay, DoorsAndCloseUps)
{
    // An ordinary door pushes nothing; a door on the hunt board does.
    result("Hall", CRoomBase::ResultGoTo, "Wide");
    EXPECT_EQ(inv->GetCurrentRoom(), room("Wide"));
    EXPECT_TRUE(inv->history.empty());
    EXPECT_EQ(scripted("Wide").calls.back(), "Entry(0)");
    in("Hall", InvState::MurderHunt);
    result("Hall", CRoomBase::ResultGoTo, "Wide");
    EXPECT_EQ(inv->history, std::vector<CRoomBase*>{room("Hall")});
    EXPECT_EQ(panel->IsRoomPause(), !panel->IsISpyRoom());

    // "_BACK" goes back; a door to the board opens it.
    in("Hall");
    inv->history = {room("Wide")};
    result("Hall", CRoomBase::ResultGoTo, "_BACK");
    EXPECT_EQ(inv->GetState(), InvState::GoBack);
    in("Hall");
    result("Hall", CRoomBase::ResultGoTo, "MurderHunt");
    EXPECT_EQ(inv->GetState(), InvState::MurderHunt);
    EXPECT_EQ(inv->GetCurrentRoom(), room("MurderHunt"));
    EXPECT_EQ(inv->history, std::vector<CRoomBase*>{room("Hall")});

    // A door to nowhere logs and enters the room again, nothing else.
    in("Hall");
    scripted("Hall").calls.clear();
    logged("");
    result("Hall", CRoomBase::ResultGoTo, "Ghost");
    EXPECT_EQ(logged("Cannot find room: Ghost"), 1u);
    EXPECT_EQ(inv->GetCurrentRoom(), room("Hall"));
    EXPECT_EQ(scripted("Hall").calls, (std::vector<std::string>{"Exit", "Entry(0)"}));
    EXPECT_EQ(inv->GetState(), InvState::Play);

    // Leaving the map always lands in 5 and sets the location.
    in("Hall", InvState::Map);
    result("Hall", CRoomBase::ResultGoTo, "Wide");
    EXPECT_EQ(inv->GetState(), InvState::Play);
    EXPECT_EQ(play().mapLocation, "Wide");

    // "11chapter": the first door with the map off moves the hunt to Boathouse.
    in("Hall");
    play().name = "11chapter";
    inv->mapEnabled = 0;
    play().marivelCommentShown = 1;
    result("Hall", CRoomBase::ResultGoTo, "Study");
    EXPECT_EQ(inv->mapEnabled, 1);
    EXPECT_EQ(play().marivelCommentShown, 0);
    EXPECT_EQ(play().mapLocation, "Study");  // a location of the map
    play().name = "caseA";

    // A close-up: pushed, faded in from 0, panel blocked; a missing one stays.
    in("Hall");
    result("Hall", CRoomBase::ResultCloseUp, "Close");
    EXPECT_EQ(inv->GetState(), InvState::FadeIn);
    EXPECT_EQ(inv->history, std::vector<CRoomBase*>{room("Hall")});
    EXPECT_EQ(inv->fadeAlpha, 0.0f);
    EXPECT_EQ(room("Close")->GetAlpha(), 0.0f);
    EXPECT_TRUE(blocked());
    EXPECT_FALSE(panel->GetPart(CDialogSpyGamePanel::BtnMap)->IsEnabled(true));
    in("Hall");
    result("Hall", CRoomBase::ResultCloseUp, "Nope");
    EXPECT_EQ(inv->GetCurrentRoom(), room("Hall"));
    EXPECT_EQ(inv->GetState(), InvState::Play);
    EXPECT_TRUE(inv->history.empty());
}

TEST_F(InvestigationPlay, FindAllDoorToARoomNotLoaded)
{
    play().findAll = 1;
    rooms->FindAllOrder().Assign({"Wide", "Hall", "Study"});
    ASSERT_FALSE(quennick().HasRoomTasks("Wide"));
    ASSERT_TRUE(quennick().HasRoomTasks("Hall"));
    result("Hall", CRoomBase::ResultGoTo, "Garden");
    EXPECT_EQ(inv->GetState(), InvState::RoomToLoad);
    EXPECT_EQ(inv->GetPreviousState(), InvState::Play);
    EXPECT_EQ(inv->pendingRoom, "Garden");
    EXPECT_EQ(rooms->FindAllOrder().GetNames(), (std::list<std::string>{"Wide", "Study"}));
}

TEST_F(InvestigationPlay, PickRulesInOrder)
{
    CSpyItem* coin = room("Hall")->GetItem("coin");
    auto pick = [&](const std::string& clickUse, const std::string& about = std::string()) {
        in("Hall");
        coin->SetTaken(false);
        coin->SetVisible(true);
        info("Hall", "coin").curClickUse = clickUse;
        info("Hall", "coin").curAbout = about;
        result("Hall", CRoomBase::ResultPick, "coin");
        EXPECT_EQ(inv->pickedItem, coin);
        return inv->GetState();
    };
    // 1: a case card (not yet taken); a missing card logs and still takes it.
    EXPECT_EQ(pick("INVCARD"), InvState::Play);
    EXPECT_TRUE(coin->IsTaken());
    EXPECT_FALSE(coin->IsVisible());
    // A taken card goes on to the later rules: here the evidence.
    in("Hall");
    coin->SetVisible(true);
    result("Hall", CRoomBase::ResultPick, "coin");
    EXPECT_EQ(inv->GetState(), InvState::Play);  // no About: straight to the inventory
    // 2: the novelist's comment on a container outside "Boathouse".
    EXPECT_EQ(pick("MH_CONTAINER"), InvState::Comment);
    EXPECT_EQ(modalText(Modal::MarivelComment), "Hall:MARIVEL_COMMENT");
    // 3: with the comment shown, the hunt's first case gives its instruction.
    play().marivelCommentShown = 1;
    const std::uint32_t index = hunt->GetCurrentIndex();
    EXPECT_EQ(pick("MH_CONTAINER"), index == 0 ? InvState::MHInstruction : InvState::Play);
    // 4: a hunt clue.
    EXPECT_EQ(pick("MURDERHUNT"), InvState::Play);
    EXPECT_TRUE(coin->IsTaken());
    // 5: evidence.
    EXPECT_EQ(pick("EVIDENCE_WT"), InvState::Evidence);
    EXPECT_TRUE(blocked());
    // Both dialogs keep the texts their scripts give them: none is set.
    EXPECT_EQ(modals().texts.count(Modal::MHInstruction) + modals().texts.count(Modal::PickEvidence), 0u);
    // 7: an About text: the dialog with the item centred in its area.
    modals().pickArea = aRect{100, 200, 61, 41};
    EXPECT_EQ(pick("", "coin_about"), InvState::PickItem);
    EXPECT_FALSE(coin->IsVisible());
    float x = 0, y = 0;
    coin->GetPos(x, y);
    EXPECT_EQ(x, float(100 + (61 - coin->GetWidthRounded()) / 2));
    EXPECT_EQ(y, float(200 + (41 - coin->GetHeightRounded()) / 2));
    // The dialog hid itself: the item goes into the inventory.
    modals().states[Modal::PickItem] = 1;
    step();
    EXPECT_EQ(inv->GetState(), InvState::Play);
    EXPECT_TRUE(coin->IsPicked());

    // Without a hunt rules 3 and 4 are skipped.
    inv->murderHunt = nullptr;
    EXPECT_EQ(pick("MURDERHUNT"), InvState::Play);
    EXPECT_FALSE(coin->IsVisible() && !coin->IsTaken() && !coin->IsInInventory());
}

TEST_F(InvestigationPlay, HelpCommentsAndTheIntroduction)
{
    result("Hall", CRoomBase::ResultHelp);
    EXPECT_EQ(inv->GetState(), InvState::Tutorial);
    EXPECT_EQ(modalText(Modal::Tutorial), "Hall:HELP");
    in("Hall");
    play().findAll = 1;
    result("Hall", CRoomBase::ResultHelp);
    EXPECT_EQ(modalText(Modal::Tutorial), "Hall:HELP_FindAll");
    play().findAll = 0;
    in("Hall");
    result("Hall", CRoomBase::ResultBigHelp);
    EXPECT_EQ(inv->GetState(), InvState::TutorialBig);
    EXPECT_EQ(modalText(Modal::TutorialBig), "Hall:HELP");
    in("Hall");
    result("Hall", CRoomBase::ResultComment);
    EXPECT_EQ(inv->GetState(), InvState::Comment);
    in("Hall");
    play().marivelCommentShown = 1;
    result("Hall", CRoomBase::ResultComment);
    EXPECT_EQ(inv->GetState(), InvState::Play);

    // "1chapter": nothing to report in the card room brings the comment.
    play().name = "1chapter";
    play().marivelCommentShown = 0;
    huntCard("Hall", CMurderHunt::Deciphered);
    result("Hall", CRoomBase::ResultNone);
    EXPECT_EQ(inv->GetState(), InvState::Comment);
    play().name = "caseA";

    // The introduction once, then never again.
    in("Hall");
    play().introTextPending = 1;
    inv->OnGuiEvent(0.02f);
    EXPECT_EQ(inv->GetState(), InvState::IntroText);
    EXPECT_EQ(modalText(Modal::IntroText), "caseA:INTRO_TEXT");
    EXPECT_EQ(play().introTextPending, 0);
    modals().states[Modal::IntroText] = 3;
    EXPECT_EQ(step(), InvState::Play);
    inv->OnGuiEvent(0.02f);
    EXPECT_EQ(inv->GetState(), InvState::Play);

    // A ready event stops the step: the room's result waits.
    CSpyEventBase* hello = room("Hall")->GetEventsManager().GetEvent("hall_hello");
    ASSERT_NE(hello, nullptr);
    hello->ResetDone();
    scripted("Hall").script.push_back(Step{CRoomBase::ResultHelp, ""});
    play().seen.clear();
    inv->OnGuiEvent(0.02f);
    EXPECT_EQ(play().seen, std::vector<std::string>{"Hall:hall_hello+done"});
    EXPECT_EQ(inv->GetState(), InvState::Play);
    EXPECT_EQ(scripted("Hall").script.size(), 1u);
}

TEST_F(InvestigationPlay, PanelCodes)
{
    panelCode(CDialogSpyGamePanel::ResultMenu);
    EXPECT_EQ(inv->GetState(), InvState::InGameMenu);
    EXPECT_TRUE(panel->IsRoomPause());
    in("Hall");
    panelCode(CDialogSpyGamePanel::ResultCardRoom);
    EXPECT_EQ(inv->GetState(), InvState::Help);
    in("Hall");
    panelCode(9);
    EXPECT_EQ(inv->GetState(), InvState::MurderHunt);
    in("Hall");
    panelCode(CDialogSpyGamePanel::ResultSkip);
    EXPECT_EQ(inv->GetState(), InvState::SolveConfirm);
    EXPECT_TRUE(blocked());
    in("Hall");
    panelCode(CDialogSpyGamePanel::ResultPause);
    EXPECT_EQ(inv->GetState(), InvState::Paused);
    in("Hall");
    panelCode(CDialogSpyGamePanel::ResultMap);
    EXPECT_EQ(inv->GetState(), InvState::Map);
    in("Hall");
    inv->history = {room("Wide")};
    panelCode(CDialogSpyGamePanel::ResultBack);
    EXPECT_EQ(inv->GetState(), InvState::GoBack);
    in("Hall");
    panelCode(CDialogSpyGamePanel::ResultHint);
    EXPECT_EQ(inv->GetState(), InvState::HintList);
    EXPECT_TRUE(panel->IsHintMode());
    in("Hall");
    for (std::int32_t code : {6, 7, 10, 11, 14, 17})
        panelCode(code);
    EXPECT_EQ(inv->GetState(), InvState::Play);
}

TEST_F(InvestigationPlay, MurderHuntCommand)
{
    // Enciphered: the cipher room opens over the room, which is kept.
    huntCard("Hall", CMurderHunt::Enciphered);
    panelCode(CDialogSpyGamePanel::ResultMurderHunt);
    EXPECT_EQ(inv->GetCurrentRoom(), room("Decrypt"));
    EXPECT_EQ(inv->history, std::vector<CRoomBase*>{room("Hall")});
    EXPECT_EQ(scripted("Hall").calls.back(), "Entry(0)");  // not left
    // In the cipher room itself: nothing.
    panelCode(CDialogSpyGamePanel::ResultMurderHunt);
    EXPECT_EQ(inv->history.size(), 1u);
    // From "Boathouse" of "11chapter" the second cipher, missing here: logged, nothing.
    play().name = "11chapter";
    rooms->AddRoom("Boathouse", test_env::home() + "/Cases/caseA/Wide/", inv.get());
    in("Boathouse");
    logged("");
    panelCode(CDialogSpyGamePanel::ResultMurderHunt);
    EXPECT_EQ(logged("Cannot find room: Decrypt2"), 1u);
    EXPECT_EQ(inv->GetCurrentRoom(), room("Boathouse"));
    play().name = "caseA";

    // Deciphered, in the card room with its container showing: "use_hints" once.
    huntCard("Study", CMurderHunt::Deciphered);
    in("Study");
    panelCode(CDialogSpyGamePanel::ResultMurderHunt);
    EXPECT_EQ(play().useHintsTipShown, 1);

    // Without the hunt nothing happens.
    in("Hall");
    inv->murderHunt = nullptr;
    panelCode(CDialogSpyGamePanel::ResultMurderHunt);
    EXPECT_EQ(inv->GetCurrentRoom(), room("Hall"));
    EXPECT_TRUE(inv->history.empty());
}

TEST_F(InvestigationPlay, PointerTipAndItsClick)
{
    loadTips("[General]\nFadeTime = 0.3\n[mh_first_photo]\nPointer = 1\nPointName = ENVELOPE\nTimesPerLevel = 5\n"
             "[plain]\nTimesPerLevel = 5\n");
    in("Study");
    inv->previousState = InvState::Play;
    inv->GetTipEvents().Queue("mh_first_photo", 0.0f);
    inv->OnGuiEvent(0.02f);
    ASSERT_TRUE(tipManager->IsTipShown());
    EXPECT_EQ(inv->GetState(), InvState::ModalTip);
    EXPECT_EQ(inv->GetPreviousState(), InvState::Play);  // the room it came over
    EXPECT_TRUE(panel->IsBlockPause());

    // A click beside the item leaves the tip up; on it, the click reaches the item now.
    CSpyItem* envelope = room("Study")->GetItem("ENVELOPE");
    float x = 0, y = 0;
    envelope->GetPos(x, y);
    mouse(1000, 10);
    EXPECT_EQ(step(), InvState::ModalTip);
    scripted("Study").script.push_back(Step{CRoomBase::ResultPick, "ENVELOPE"});
    mouse(std::int32_t(x + envelope->GetWidth() / 2), std::int32_t(y + envelope->GetHeight() / 2));
    EXPECT_EQ(step(), InvState::Play);
    releaseMouse();
    EXPECT_FALSE(tipManager->IsTipShown());
    EXPECT_EQ(inv->pickedItem, envelope);

    // The hunt panel's area opens "Decrypt" from the tip.
    loadTips("[General]\nFadeTime = 0.3\n[mh_first_photo]\nPointer = 1\nPointName = MH_BUTTON_PANEL\n"
             "TimesPerLevel = 5\n");
    in("Hall");
    inv->previousState = InvState::Map;
    inv->GetTipEvents().Queue("mh_first_photo", 0.0f);
    inv->OnGuiEvent(0.02f);
    ASSERT_EQ(inv->GetState(), InvState::ModalTip);
    mouse(214, 589);
    EXPECT_EQ(step(), InvState::Play);
    EXPECT_EQ(inv->GetCurrentRoom(), room("Decrypt"));
    EXPECT_EQ(inv->history, std::vector<CRoomBase*>{room("Hall")});

    // A tip that went away on its own: back to the state before it.
    inv->state = InvState::ModalTip;
    inv->previousState = InvState::Map;
    tipManager->HideTip();
    EXPECT_EQ(step(), InvState::Map);
}

namespace {

// The fixture case started as the game starts it, on the map with its
// introduction still to come.
class PlayFromTheMap : public PlayTest {
protected:
    void SetUp() override
    {
        PlayTest::SetUp();
        if (HasFatalFailure())
            return;
        addBoards();
        std::string ini = kCaseIni;
        ini.replace(ini.find("StartRoom = Hall"), 16, "StartRoom =");
        writeCase(ini);
        playCase();
    }
    // Steps until the state is reached (at most n).
    std::uint32_t stepUntil(std::uint32_t wanted, int n = 20)
    {
        for (int i = 0; i < n && inv->GetState() != wanted; ++i)
            step();
        return inv->GetState();
    }
    void clickItem(CRoomBase* at, const std::string& item)
    {
        const CSpyItem* target = at->GetItem(item);
        float x = 0, y = 0;
        target->GetPos(x, y);
        mouse(std::int32_t(x + target->GetWidth() / 2), std::int32_t(y + target->GetHeight() / 2));
    }
};

} // namespace

TEST_F(PlayFromTheMap, APointerTipInARoomEnteredFromTheMapGoesBackToThatRoom)
{
    loadTips("[General]\nFadeTime = 0.3\n[mh_first_photo]\nPointer = 1\nPointName = ENVELOPE\nTimesPerLevel = 5\n");
    ASSERT_EQ(inv->GetState(), InvState::Map);
    ASSERT_EQ(stepUntil(InvState::IntroText), InvState::IntroText);
    modals().states[Modal::IntroText] = 3;
    EXPECT_EQ(step(), InvState::Map);

    // The study's door on the map.
    clickItem(map, "loc_study");
    EXPECT_EQ(stepUntil(InvState::Play, 3), InvState::Play);
    releaseMouse();
    ASSERT_EQ(inv->GetCurrentRoom(), room("Study"));

    inv->GetTipEvents().Queue("mh_first_photo", 0.0f);
    ASSERT_EQ(stepUntil(InvState::ModalTip), InvState::ModalTip);
    clickItem(room("Study"), "ENVELOPE");
    EXPECT_EQ(step(), InvState::Play);
    releaseMouse();
    EXPECT_FALSE(tipManager->IsTipShown());
    EXPECT_EQ(inv->GetCurrentRoom(), room("Study"));
}

TEST_F(InvestigationPlay, DeveloperHook)
{
    const std::string path = test_env::home() + "/GameCheat.ini";
    test_env::writeFile(path, "[Other]\nEnableCheatKeys = 1\n");
    auto send = [&](WPARAM w, LPARAM l) { return inv->OnWindowMessage(1024, w, l, 0); };
    auto type = [&](const std::string& text) {
        send(0, 0);
        for (char c : text)
            send(1, LPARAM(static_cast<unsigned char>(c)));
        send(2, 0);
    };
    // Off by default: nothing.
    type("Wide");
    EXPECT_EQ(inv->GetCurrentRoom(), room("Hall"));
    ini.reset();
    ini = std::make_unique<CGameIni>(path, test_env::home() + "/");
    ASSERT_TRUE(ini->AreCheatKeysEnabled());

    // Another message, another state: nothing.
    EXPECT_EQ(inv->OnWindowMessage(1025, 2, 0, 0), 0);
    inv->state = InvState::Map;
    type("Wide");
    EXPECT_EQ(inv->GetCurrentRoom(), room("Hall"));
    inv->state = InvState::Play;

    // A room and an item; out-of-range characters are ignored.
    send(0, 0);
    for (char c : std::string("Hall.co"))
        send(1, LPARAM(c));
    send(1, 0);
    send(1, 300);
    send(1, LPARAM('i'));
    send(1, LPARAM('n'));
    EXPECT_EQ(send(2, 0), 0);
    EXPECT_EQ(inv->GetCurrentRoom(), room("Hall"));
    EXPECT_EQ(play().highlightedItems, std::deque<CSpyItem*>{room("Hall")->GetItem("coin")});
    EXPECT_EQ(play().highlightPhase, -1.0f);

    // Another room: pushed and entered; an unknown name highlights nothing.
    type("Study.nothing");
    EXPECT_EQ(inv->GetCurrentRoom(), room("Study"));
    EXPECT_EQ(inv->history, std::vector<CRoomBase*>{room("Hall")});
    EXPECT_TRUE(play().highlightedItems.empty());
    type("Nowhere.ENVELOPE");
    EXPECT_EQ(inv->GetCurrentRoom(), room("Study"));
    EXPECT_EQ(play().highlightedItems.size(), 1u);
    // The board through its own switch.
    type("MurderHunt");
    EXPECT_EQ(inv->GetState(), InvState::MurderHunt);

    // A group of the I-spy room, in order, with the phase started.
    in("Hall");
    const auto& groups = room("Hall")->GetItemManager()->GetISpyGroups();
    if (!groups.empty()) {
        type("Hall." + groups.begin()->first);
        EXPECT_EQ(std::vector<CSpyItem*>(play().highlightedItems.begin(), play().highlightedItems.end()),
                  groups.begin()->second);
        EXPECT_EQ(play().highlightPhase, 0.0f);
        inv->OnGuiEvent(0.1f);
        EXPECT_NEAR(play().highlightPhase, 0.3f, 1e-5f);
    }

}
