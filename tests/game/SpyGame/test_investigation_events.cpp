// The investigation's actions on scripted events, on the bench.
#include <functional>

#include "engine/gfx/a_flash_player.h"
#include "engine/sound/a_music_manager.h"
#include "game/SpyGame/Personage.h"
#include "game/SpyGame/SpyEvents.h"
#include "game/shell/current_profile.h"
#include "play_bench.h"
#include "scripted_flash.h"
#include "test_env.h"

using namespace invtest;
using namespace SpyEvents;

namespace {

constexpr std::uint32_t kBefore = 77;  // a previous state no action sets

class InvestigationEvents : public PlayTest {
protected:
    void SetUp() override
    {
        PlayTest::SetUp();
        if (HasFatalFailure())
            return;
        startCase();
        ASSERT_EQ(inv->GetState(), InvState::Play);
        inv->previousState = kBefore;
        dialogs->take();
    }
    // Back in Hall in state 5 with nothing blocked.
    void fresh()
    {
        if (inv->GetCurrentRoom())
            inv->GetCurrentRoom()->Exit();
        inv->currentRoom = room("Hall");
        room("Hall")->Entry(0);
        tipManager->ResetCounters(true);
        inv->history.clear();
        inv->state = InvState::Play;
        inv->previousState = kBefore;
        inv->mapEnabled = 1;
        panel->GetPart(CDialogSpyGamePanel::BlockWidget)->SetVisible(false);
        panel->SetBlockPause(false);
        panel->Show();
        banner->Hide();
        map->Reset();
        play().PlayCaseMusic();
        dialogs->take();
    }
    // Opens a tip so that hiding it shows.
    void openTip()
    {
        tipManager->HideTip();
        ASSERT_TRUE(dialogs->ShowTip("notepad", 300, 300));
    }
    std::string track()
    {
        std::string group;
        return res->GetMusicManager()->GetCurrentTrack(group);
    }
    bool blocked() { return panel->GetPart(CDialogSpyGamePanel::BlockWidget)->IsVisible(true) && panel->IsBlockPause(); }
    CPersonage& quennick() { return *personages->GetPersonage("Quennick"); }
};

struct Row {
    std::string label;
    std::function<std::unique_ptr<CSpyEventBase>()> make;
    bool result;
    std::uint32_t state;
    std::uint32_t previous;
    bool tipHidden;
};

template <class Kind>
std::unique_ptr<CSpyEventBase> event(const std::function<void(Kind&)>& fill = nullptr)
{
    auto e = std::make_unique<Kind>();
    if (fill)
        fill(*e);
    return e;
}

} // namespace

TEST_F(InvestigationEvents, EveryKindByTable)
{
    const std::uint32_t p5 = InvState::Play;
    const std::vector<Row> rows = {
        {"NpcItemIdent", [] { return event<ENpcItemIdent>([](auto& e) { e.TextId = "ident"; e.NPC_Image = "npc"; e.ShowItem = "Hall:coin"; }); },
         true, InvState::ItemIdent, p5, false},
        {"ChangePersonageInfo", [] { return event<EChangePersonageInfo>([](auto& e) { e.Item = "Hall:ROOM"; e.TypeInfo = "RoomTask"; e.NewInfo = "task_new"; }); },
         true, p5, kBefore, false},
        {"PuzzleComplete", [] { return event<EPuzzleComplete>([](auto& e) { e.Visible = true; }); }, true, p5, kBefore, false},
        {"ShowMessage", [] { return event<EShowMessage>([](auto& e) { e.TextId = "hi"; }); }, true, p5, kBefore, false},
        {"EventForItem now", [] { return event<EEventForItem>([](auto& e) { e.HideItem = "Hall:coin"; }); }, true, p5, kBefore, false},
        {"EventForItem dialog", [] { return event<EEventForItem>([](auto& e) { e.NPC_Image = "npc"; e.TextId = "efi"; }); },
         true, InvState::EventForItem, p5, false},
        {"EventForComics", [] { return event<EEventForComics>([](auto& e) { e.ComicsName = "intro"; e.ComicsMusic = "comics_theme"; }); },
         true, InvState::Comics, p5, true},
        {"PlayFlash missing", [] { return event<EPlayFlash>([](auto& e) { e.FlashFile = "none.swf"; e.MusicName = "comics_theme"; }); },
         false, p5, kBefore, false},
        {"MagicStarsChanger", [] { return event<EMagicStarsChanger>([](auto& e) { e.Items = {"Hall:coin", "Hall:nothing"}; e.ShowStars = true; }); },
         true, p5, kBefore, false},
        {"SetTaskCompleted", [] { return event<ESetTaskCompleted>([](auto& e) { e.ActionType = "Pick"; e.TaskItem = "Hall:coin"; e.Sound = "solve"; }); },
         true, p5, kBefore, false},
        {"ChangeVisibleTasks", [] { return event<EChangeVisibleTasks>([](auto& e) { e.HideInvTasks = {"coin"}; }); }, true, p5, kBefore, false},
        {"AddISpyToTask", [] { return event<EAddISpyToTask>([](auto& e) { e.ISpyCount = 1; }); }, true, p5, kBefore, false},
        {"JumpToRoom", [] { return event<EJumpToRoom>([](auto& e) { e.JumpRoomName = "Wide"; e.MapDisable = true; }); },
         true, p5, kBefore, true},
        {"SearchFinish", [] { return event<ESearchFinish>([](auto& e) { e.TextId = "found"; }); }, true, InvState::SearchFinish, p5, true},
        {"MHFinish", [] { return event<EMHFinish>(); }, true, InvState::MHFinished, p5, true},
        {"FAFinish", [] { return event<EFAFinish>(); }, true, InvState::FAFinished, p5, true},
        {"LocationFinish", [] { return event<ELocationFinish>([](auto& e) { e.HideOnMap = true; }); }, true, InvState::LocFinish, p5, true},
        {"InvestigationWin", [] { return event<EInvestigationWin>(); }, true, InvState::Banner, p5, true},
        {"InvestigationClose", [] { return event<EInvestigationClose>(); }, true, InvState::Closed, kBefore, false},
        {"AddScore", [] { return event<EAddScore>(); }, false, p5, kBefore, false},
        {"ChangePersonages", [] { return event<EChangePersonages>(); }, false, p5, kBefore, false},
        {"DelFromInventory", [] { return event<EDelFromInventory>(); }, false, p5, kBefore, false},
        {"PersonagesDialog", [] { return event<EPersonagesDialog>(); }, false, p5, kBefore, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        fresh();
        play().mapLocation = "Study";
        CurrentProfile::Get().musicVolume = 0.8f;
        openTip();
        std::unique_ptr<CSpyEventBase> e = row.make();
        logged("");
        inv->currentEvent = e.get();
        EXPECT_EQ(inv->CInvestigation::OnEvent(e.get(), "pref"), row.result);
        EXPECT_EQ(inv->GetState(), row.state);
        EXPECT_EQ(inv->GetPreviousState(), row.previous);
        EXPECT_EQ(!tipManager->IsTipShown(), row.tipHidden);
        const std::vector<std::string> calls = dialogs->take();
        auto called = [&](const std::string& c) { return std::find(calls.begin(), calls.end(), c) != calls.end(); };

        const std::string& k = row.label;
        if (k == "NpcItemIdent") {
            EXPECT_EQ(inv->identifiedItem, room("Hall")->GetItem("coin"));
            EXPECT_EQ(modalText(Modal::ItemIdent), "pref:ident");
            EXPECT_EQ(modals().images[Modal::ItemIdent], "npc");
            EXPECT_TRUE(blocked());
        } else if (k == "ChangePersonageInfo") {
            EXPECT_EQ(quennick().GetRoomInfo("Hall").curRoomTask, "task_new");
            e = event<EChangePersonageInfo>([](auto& ev) { ev.Item = "Hall:ROOM"; ev.TypeInfo = "About"; ev.NewInfo = "x"; });
            inv->CInvestigation::OnEvent(e.get(), "pref");
            EXPECT_EQ(quennick().GetRoomInfo("Hall").curRoomTask, "task_new");
        } else if (k == "PuzzleComplete") {
            EXPECT_TRUE(panel->GetPart(CDialogSpyGamePanel::ContinueBtnPanel)->IsVisible(true));
            EXPECT_EQ(room("Hall")->GetPuzzleComplete(), 1);
        } else if (k == "ShowMessage") {
            EXPECT_TRUE(called("ShowMessage(hi,pref,1)"));
        } else if (k == "EventForItem now") {
            EXPECT_FALSE(room("Hall")->GetItem("coin")->IsVisible());
        } else if (k == "EventForItem dialog") {
            EXPECT_EQ(modalText(Modal::EventForItem), "pref:efi");
            EXPECT_TRUE(blocked());
        } else if (k == "EventForComics") {
            EXPECT_TRUE(called("PlayScene(language:Comics/,intro,1,comics_theme,)"));
            EXPECT_EQ(scripted("Hall").calls.back(), "Exit");
            EXPECT_TRUE(panel->IsBlockPause());  // the clock stands under the pages
        } else if (k == "PlayFlash missing") {
            EXPECT_EQ(logged("CInvestigation::OnEvent(). Error play flash 'flash:none.swf'!"), 1u);
            EXPECT_EQ(track(), "investigation");  // the case's music is back
            EXPECT_NE(scripted("Hall").calls.back(), "Exit");
        } else if (k == "MagicStarsChanger") {
            EXPECT_TRUE(room("Hall")->GetItem("coin")->IsShowingMagicStars());
        } else if (k == "JumpToRoom") {
            EXPECT_EQ(inv->GetCurrentRoom(), room("Wide"));
            EXPECT_EQ(inv->history, std::vector<CRoomBase*>{room("Hall")});
            EXPECT_FALSE(panel->GetPart(CDialogSpyGamePanel::BtnMap)->IsEnabled(true));
            EXPECT_EQ(inv->mapEnabled, 0);
        } else if (k == "SearchFinish") {
            EXPECT_EQ(modalText(Modal::SearchFinish), "pref:found");
            EXPECT_TRUE(blocked());
        } else if (k == "LocationFinish") {
            EXPECT_EQ(map->GetLocationState("Study"), CGlobalMap::LocationDisabled | CGlobalMap::LocationHidden);
            EXPECT_TRUE(blocked());
        } else if (k == "InvestigationWin") {
            EXPECT_TRUE(called("StartBanner(0)"));
            EXPECT_EQ(scripted("Hall").calls.back(), "Exit");
            EXPECT_TRUE(banner->IsRunning());
        } else if (k == "InvestigationClose") {
            EXPECT_EQ(logged("Warning, remain not opened '1' items in Murder Hunt!"), 1u);
            EXPECT_EQ(inv->GetCurrentRoom(), nullptr);
        }
    }
}

TEST_F(InvestigationEvents, EdgesOfTheActions)
{
    // A jump to a missing room changes nothing and still counts as done.
    auto jump = event<EJumpToRoom>([](auto& e) { e.JumpRoomName = "Nowhere"; });
    EXPECT_TRUE(inv->CInvestigation::OnEvent(jump.get(), "p"));
    EXPECT_EQ(inv->GetCurrentRoom(), room("Hall"));
    EXPECT_TRUE(inv->history.empty());
    EXPECT_EQ(logged("Cannot find room: Nowhere"), 1u);

    // A jump with BackDisable clears the history and keeps the map.
    inv->history = {room("Wide")};
    jump = event<EJumpToRoom>([](auto& e) { e.JumpRoomName = "Study"; e.BackDisable = true; });
    inv->CInvestigation::OnEvent(jump.get(), "p");
    EXPECT_TRUE(inv->history.empty());
    EXPECT_TRUE(panel->GetPart(CDialogSpyGamePanel::BtnMap)->IsEnabled(true));

    // The search music: the smaller of the setting and 0.3.
    for (const float setting : {0.2f, 0.8f}) {
        CurrentProfile::Get().musicVolume = setting;
        inv->state = InvState::Play;
        auto search = event<ESearchFinish>();
        inv->CInvestigation::OnEvent(search.get(), "p");
        aMusicManager& music = *res->GetMusicManager();
        EXPECT_FLOAT_EQ(music.GetTrackVolume(std::size_t(music.GetCurrentIndex())), std::min(setting, 0.3f));
        EXPECT_EQ(modalText(Modal::SearchFinish), "");
    }

    // In Find All the close says nothing of the hunt.
    inv->state = InvState::Play;
    play().findAll = 1;
    auto close = event<EInvestigationClose>();
    logged("");
    EXPECT_TRUE(inv->CInvestigation::OnEvent(close.get(), "p"));
    EXPECT_EQ(logged("Murder Hunt"), 0u);
    EXPECT_EQ(inv->GetState(), InvState::Closed);

    // No room and no personage: the room parts are skipped.
    inv->currentRoom = nullptr;
    personages->SetCurrentPersonage("");
    for (auto& e : {event<EPuzzleComplete>(), event<ESetTaskCompleted>([](auto& ev) { ev.ActionType = "Click"; }),
                    event<EChangeVisibleTasks>(), event<EAddISpyToTask>(), event<EChangePersonageInfo>(),
                    event<EInvestigationWin>(), event<EEventForComics>()})
        EXPECT_TRUE(inv->CInvestigation::OnEvent(e.get(), "p"));
}

TEST_F(InvestigationEvents, FlashWithTheScriptedControl)
{
    auto script = std::make_shared<scripted_flash::Script>();
    scripted_flash::install(script);
    app.m_fileServer.setAssign("flash", test_env::home() + "/Flash/");
    test_env::writeFile(test_env::home() + "/Flash/movie.swf", "movie");
    auto flashEvent = event<EPlayFlash>([](auto& e) { e.FlashFile = "movie.swf"; });
    EXPECT_TRUE(inv->CInvestigation::OnEvent(flashEvent.get(), "p"));
    EXPECT_EQ(inv->GetState(), InvState::Flash);
    EXPECT_EQ(inv->GetPreviousState(), InvState::Play);
    EXPECT_EQ(script->movies.back().substr(script->movies.back().size() - 9), "movie.swf");
    EXPECT_FALSE(script->loop);
    EXPECT_FALSE(panel->IsVisible());
    EXPECT_EQ(scripted("Hall").calls.back(), "Exit");
    const std::shared_ptr<aFlashPlayer> first = inv->flash;
    inv->state = InvState::Play;
    EXPECT_TRUE(inv->CInvestigation::OnEvent(flashEvent.get(), "p"));
    EXPECT_EQ(inv->flash, first);  // one player for the case

    // A click asks; "go on" resumes; the movie's end enters the room again.
    inv->state = InvState::Flash;
    mouse(10, 10);
    EXPECT_EQ(step(), InvState::FlashQuestion);
    EXPECT_EQ(modalText(Modal::YesNo), "skip_scene_confirm");
    releaseMouse();
    EXPECT_EQ(step(), InvState::FlashQuestion);
    modals().states[Modal::YesNo] = 4;
    EXPECT_EQ(step(), InvState::Flash);
    script->playing = true;
    EXPECT_EQ(step(), InvState::Flash);
    g_application->m_inputServer->m_keys[0x01] = KEY_PRESSED;  // Escape
    EXPECT_EQ(step(), InvState::FlashQuestion);
    g_application->m_inputServer->m_keys[0x01] = KEY_UP;
    modals().states[Modal::YesNo] = 3;  // skip: stays paused, so 18 ends it
    EXPECT_EQ(step(), InvState::Flash);
    script->playing = false;
    EXPECT_EQ(step(), InvState::Play);
    EXPECT_TRUE(panel->IsVisible());
    EXPECT_EQ(scripted("Hall").calls.back(), "Entry(0)");
    EXPECT_EQ(track(), "investigation");
    scripted_flash::uninstall();

    // Without a player 18 ends as a finished movie.
    inv->flash.reset();
    inv->state = InvState::Flash;
    EXPECT_EQ(step(), InvState::Play);
}
