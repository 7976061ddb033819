// The investigation's per-frame step over every state, on the bench.
#include "engine/gui/gui_server.h"
#include "engine/sound/a_music_manager.h"
#include "game/SpyGame/Personage.h"
#include "game/SpyGame/SpyEvents.h"
#include "game/SpyGame/items/SpyItem.h"
#include "game/shell/current_profile.h"
#include "play_bench.h"

using namespace invtest;

namespace {

class InvestigationStates : public PlayTest {
protected:
    void SetUp() override
    {
        PlayTest::SetUp();
        if (HasFatalFailure())
            return;
        CurrentProfile::Get().showTips = 1;
        startCase();
        for (int i = 0; i < 4; ++i)
            inv->OnGuiEvent(0.02f);
        GUI::Server::getSingleton()->hover = nullptr;
        dialogs->take();
    }
    void in(const std::string& roomName, std::uint32_t state = InvState::Play) { enterRoom(roomName, state); }
    std::string queued()
    {
        const auto& queue = inv->GetTipEvents().GetQueue();
        return queue.empty() ? std::string() : queue.back().name;
    }
    // A press inside Hall, away from its items, on the next step.
    void pressInRoom() { mouse(600, 600); }
};

} // namespace

TEST_F(InvestigationStates, IdleAndOnceStates)
{
    for (std::uint32_t s : {0u, 1u, 2u, 3u, 4u, 16u, 21u, 27u, 30u, 34u, 35u, 37u, 43u, 1000u}) {
        inv->state = s;
        inv->previousState = InvState::Play;
        EXPECT_EQ(step(), s);
        EXPECT_EQ(step(), s);
    }
    for (std::uint32_t s : {InvState::MHFinished, InvState::FAFinished}) {
        inv->state = s;
        inv->previousState = InvState::Map;
        EXPECT_EQ(step(), InvState::Map);
    }
}

TEST_F(InvestigationStates, RapidClicking)
{
    ASSERT_TRUE(inv->HasRoomTasks());
    ASSERT_EQ(play().clicksLimit, 3);
    const float clock = panel->GetClockTime();
    // Three presses within the window (1.1 s here).
    for (int i = 0; i < 3; ++i) {
        pressInRoom();
        step(0.3f);
    }
    releaseMouse();
    EXPECT_EQ(inv->GetState(), InvState::RandomClicking);
    EXPECT_NEAR(panel->GetClockTime(), clock - 30.0f, 1.0f);
    EXPECT_EQ(modalText(Modal::RandomClicking), "many_clicks_text");
    EXPECT_EQ(modals().images[Modal::RandomClicking], "Marivel_Trusk");
    EXPECT_EQ(play().randomClickingShown, 1);
    EXPECT_TRUE(inv->clickAges.empty());
    modals().states[Modal::RandomClicking] = 3;
    EXPECT_EQ(step(), InvState::Play);

    // Any window counts, wherever it starts: presses 0.12 s apart after
    // 0.9 s of calm still bring the warning.
    step(0.9f);
    for (int i = 0; i < 3; ++i) {
        pressInRoom();
        step(0.12f);
    }
    releaseMouse();
    EXPECT_EQ(inv->GetState(), InvState::RandomClicking);
    modals().states[Modal::RandomClicking] = 3;
    EXPECT_EQ(step(), InvState::Play);

    // Presses 0.6 s apart never do, however many; one 0.4 s after the last
    // brings three within 1.0 s and does.
    for (int i = 0; i < 5; ++i) {
        pressInRoom();
        step(0.6f);
        EXPECT_EQ(inv->GetState(), InvState::Play) << i;
        EXPECT_EQ(inv->clickAges.size(), std::size_t(i == 0 ? 1 : 2)) << i;
    }
    pressInRoom();
    step(0.4f);
    releaseMouse();
    EXPECT_EQ(inv->GetState(), InvState::RandomClicking);
    modals().states[Modal::RandomClicking] = 3;
    EXPECT_EQ(step(), InvState::Play);
    step(2.0f);

    // A press on a widget other than the panel's window resets the count.
    pressInRoom();
    step(0.1f);
    pressInRoom();
    step(0.1f);
    GUI::Server::getSingleton()->hover = panel->GetPart(CDialogSpyGamePanel::BtnMenu);
    pressInRoom();
    step(0.1f);
    EXPECT_TRUE(inv->clickAges.empty());
    GUI::Server::getSingleton()->hover = panel->GetWindow();
    pressInRoom();
    step(0.1f);
    EXPECT_EQ(inv->clickAges.size(), 1u);  // the panel's own window counts as the room
    GUI::Server::getSingleton()->hover = nullptr;
    releaseMouse();

    // Find All: a hint is used instead of clock time; without hints only the sound.
    play().findAll = 1;
    panel->SetHintsCount(1);
    const float faClock = panel->GetClockTime();
    for (int round = 0; round < 2; ++round) {
        step(1.2f);
        for (int i = 0; i < 3; ++i) {
            pressInRoom();
            step(0.1f);
        }
        releaseMouse();
        EXPECT_GT(panel->GetClockTime(), faClock - 4.0f);  // only the clock's own run
        if (round == 0) {
            EXPECT_EQ(inv->GetState(), InvState::RandomClicking);
            EXPECT_EQ(modalText(Modal::RandomClicking), "many_clicks_text_find_all");
            EXPECT_EQ(modals().images[Modal::RandomClicking], "Tamsel_Quennick");
            EXPECT_EQ(panel->GetHintsCount(), 0u);
            modals().states[Modal::RandomClicking] = 3;
            step();
        } else {
            EXPECT_EQ(inv->GetState(), InvState::Play);
            EXPECT_TRUE(inv->clickAges.empty());
        }
    }
    // Out of time never comes in Find All.
    panel->SetClockTime(0.0f);
    EXPECT_EQ(step(), InvState::Play);
}

TEST_F(InvestigationStates, IdleSkipAndClockTips)
{
    panel->SetHintsCount(2);
    play().idleTimer = 0.0f;
    const char* withHints[] = {"idle_spy_room_1", "idle_spy_room_2", "idle_spy_room_3", "idle_spy_room_4",
                               "idle_spy_room_1"};
    const float waits[] = {30.5f, 20.5f, 30.5f, 30.5f, 30.5f};
    for (int i = 0; i < 5; ++i) {
        step(waits[i] - 0.5f);
        EXPECT_NE(queued(), withHints[i]) << i;
        step(0.6f);
        EXPECT_EQ(queued(), withHints[i]) << i;
    }
    panel->SetHintsCount(0);
    play().idleTipIndex = 1;
    play().idleTimer = 0.0f;
    step(30.5f);
    EXPECT_EQ(queued(), "idle_spy_room_2");
    EXPECT_EQ(play().idleTipIndex, 3u);

    // Low clock: asked while it holds; at 0 the out-of-time dialog, then 34 until the restart.
    panel->SetClockTime(100.0f);
    step();
    EXPECT_EQ(queued(), "time_less_two_minutes");
    panel->SetClockTime(0.0f);
    EXPECT_EQ(step(), InvState::OutOfTime);
    EXPECT_EQ(step(), InvState::OutOfTime);
    EXPECT_EQ(modals().texts.count(Modal::OutOfTime), 0u);  // its script's text stays
    modals().states[Modal::OutOfTime] = 3;
    EXPECT_EQ(step(), InvState::OutOfTimeDone);
    EXPECT_EQ(scripted("Hall").calls.back(), "Exit");
    EXPECT_EQ(step(), InvState::OutOfTimeDone);

    // Skip: 30 s in a room without tasks whose skip buttons show.
    panel->SetClockTime(600.0f);
    in("Close");
    ASSERT_FALSE(inv->HasRoomTasks());
    ASSERT_TRUE(inv->IsSkipBonusRoundVisible());
    step(29.0f);
    EXPECT_NE(queued(), "skip");
    step(1.5f);
    EXPECT_EQ(queued(), "skip");
    EXPECT_EQ(play().skipTimer, 0.0f);
    // Without skip buttons the timer never runs.
    in("Wide");
    step(40.0f);
    EXPECT_EQ(play().skipTimer, 0.0f);
}

TEST_F(InvestigationStates, FadesEndExactly)
{
    scripted("Hall").script.push_back({CRoomBase::ResultCloseUp, "Close"});
    step(0.02f);
    ASSERT_EQ(inv->GetState(), InvState::FadeIn);
    EXPECT_EQ(step(0.1f), InvState::FadeIn);
    EXPECT_FLOAT_EQ(room("Close")->GetAlpha(), 0.4f);
    step(0.1f);
    EXPECT_EQ(step(0.1f), InvState::Play);
    EXPECT_EQ(inv->fadeAlpha, 1.0f);
    EXPECT_FALSE(panel->GetPart(CDialogSpyGamePanel::BlockWidget)->IsVisible(true));

    // Back: fades to exactly 0 and lands in the room under it.
    inv->GoBack();
    ASSERT_EQ(inv->GetState(), InvState::GoBack);
    for (int i = 0; i < 2; ++i)
        EXPECT_EQ(step(0.1f), InvState::GoBack);
    EXPECT_EQ(step(0.1f), InvState::Play);
    EXPECT_EQ(inv->GetCurrentRoom(), room("Hall"));
    EXPECT_TRUE(inv->history.empty());
    EXPECT_TRUE(panel->GetPart(CDialogSpyGamePanel::BtnMap)->IsEnabled(true));

    // Onto the map, onto the hunt board.
    for (CRoomBase* under : {room("GlobalMap"), room("MurderHunt")}) {
        in("Close", InvState::GoBack);
        inv->history = {under};
        inv->fadeAlpha = 0.1f;
        step(0.1f);
        EXPECT_EQ(inv->GetState(), under == room("GlobalMap") ? InvState::Map : InvState::MurderHunt);
        EXPECT_EQ(inv->GetCurrentRoom(), under);
    }
    // Nothing to go back to: the map, or without one the room again.
    in("Close", InvState::GoBack);
    inv->fadeAlpha = 0.1f;
    step(0.1f);
    EXPECT_EQ(inv->GetState(), InvState::Map);
    in("Close", InvState::GoBack);
    inv->globalMap = nullptr;
    inv->fadeAlpha = 0.1f;
    step(0.1f);
    EXPECT_EQ(inv->GetState(), InvState::Play);
    EXPECT_EQ(inv->GetCurrentRoom(), room("Close"));
}

TEST_F(InvestigationStates, EveryWaitingStateAnswered)
{
    struct Wait {
        std::uint32_t state;
        Modal modal;
        std::int32_t answer;
        std::uint32_t after;
    };
    const Wait waits[] = {
        {InvState::Evidence, Modal::PickEvidence, 1, InvState::Play},
        {InvState::MHPhoto, Modal::MHPhoto, 3, InvState::Play},
        {InvState::ItemIdent, Modal::ItemIdent, 3, InvState::Play},
        {InvState::EventForItem, Modal::EventForItem, 3, InvState::Play},
        {InvState::SearchFinish, Modal::SearchFinish, 3, InvState::Play},
        {InvState::LocFinish, Modal::LocFinish, 3, InvState::Map},
        {InvState::SolveConfirm, Modal::SolveConfirm, 4, InvState::Play},
        {InvState::SolveConfirm, Modal::SolveConfirm, 3, InvState::Play},
        {InvState::RandomClicking, Modal::RandomClicking, 3, InvState::Play},
        {InvState::Tutorial, Modal::Tutorial, 3, InvState::Play},
        {InvState::TutorialBig, Modal::TutorialBig, 3, InvState::Play},
        {InvState::Comment, Modal::MarivelComment, 3, InvState::Play},
        {InvState::MHInstruction, Modal::MHInstruction, 3, InvState::Play},
        {InvState::IntroText, Modal::IntroText, 3, InvState::Play},
    };
    SpyEvents::ENpcItemIdent ident;
    ident.OpenItem = "Hall:coin";
    for (const Wait& w : waits) {
        SCOPED_TRACE(w.state);
        in("Hall", w.state);
        inv->currentEvent = w.state == InvState::ItemIdent ? &ident : nullptr;
        room("Hall")->GetItem("coin")->SetVisible(false);
        modals().states[w.modal] = 2;
        EXPECT_EQ(step(), w.state);
        modals().states[w.modal] = w.answer;
        EXPECT_EQ(step(), w.after);
        EXPECT_EQ(modals().states[w.modal], 1);
        EXPECT_FALSE(panel->GetPart(CDialogSpyGamePanel::BlockWidget)->IsVisible(true));
        if (w.state == InvState::ItemIdent) {
            EXPECT_TRUE(room("Hall")->GetItem("coin")->IsVisible());
        }
        if (w.state == InvState::Comment) {
            EXPECT_EQ(play().marivelCommentShown, 1);
        }
    }
    // The card dialog answers through its own state word.
    in("Hall", InvState::InvCard);
    container->invCard.Show();
    EXPECT_EQ(step(), InvState::InvCard);
    container->invCard.SetState(3);
    EXPECT_EQ(step(), InvState::Play);

    // The comics end enters the room again and lets events run.
    in("Hall", InvState::Comics);
    modals().sceneOpen = true;
    EXPECT_EQ(step(), InvState::Comics);
    modals().sceneOpen = false;
    panel->SetBlockPause(true);
    EXPECT_EQ(step(), InvState::Play);
    EXPECT_EQ(scripted("Hall").calls.back(), "Entry(0)");
    EXPECT_EQ(panel->IsBlockPause(), !panel->IsISpyRoom());

    // The banner: back once it stops running.
    in("Hall", InvState::Banner);
    banner->Start(false);
    EXPECT_EQ(step(), InvState::Banner);
    banner->Hide();
    EXPECT_EQ(step(), InvState::Play);

    // Hint mode: a chosen target shows its hint; 17 just leaves.
    in("Hall", InvState::HintList);
    panel->SetState(CDialogSpyGamePanel::ResultHintCancel);
    EXPECT_EQ(step(), InvState::Play);
    in("Hall", InvState::HintList);
    play().findAll = 1;
    panel->SetHintsCount(1);
    panel->SetState(CDialogSpyGamePanel::ResultHintChosen);
    EXPECT_EQ(step(), InvState::Play);
    EXPECT_EQ(inv->findAllHintsUsed, 1u);
    play().findAll = 0;

    // A search that goes to the map brings the music back to the setting.
    SpyEvents::ESearchFinish search;
    search.IsGoToMap = true;
    in("Hall", InvState::SearchFinish);
    inv->currentEvent = &search;
    modals().states[Modal::SearchFinish] = 3;
    EXPECT_EQ(step(), InvState::Map);

    // Without a current room the waiting states still end.
    in("Hall", InvState::Tutorial);
    inv->currentRoom = nullptr;
    modals().states[Modal::Tutorial] = 3;
    EXPECT_EQ(step(), InvState::Play);
}
