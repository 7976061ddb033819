#include "dialog_fixture.h"
#include "game/SpyGame/Dialogs/GameDialogs.h"
#include "game/SpyGame/PersonagesManager.h"

using namespace dialogtest;

namespace {

class GameDialogsTest : public RecordingDialogBench {
protected:
    void SetUp() override
    {
        RecordingDialogBench::SetUp();
        CDialogSpyGamePanel::ResetSharedClockState();
        loadDemoResources();
        res->GetLocaleServer()->loadFile("language:_Investigations/1chapter/investigation.txt", "1chapter");
        loadGui();
        takeLog();
        make();
        initLog = takeLog();
        updateGui = false;
        drawFrames = false;
    }
    void TearDown() override
    {
        dialogs.reset();
        RecordingDialogBench::TearDown();
    }
    void make()
    {
        dialogs = std::make_unique<CGameDialogs>();
        dialogs->Init();
        onFrame = [this](float dt) { dialogs->Update(dt, -1, 0, 0, 0); };
    }
    std::vector<CDialogBase*> modals()
    {
        CGameDialogs& g = *dialogs;
        return {&g.itemIdent,      &g.pickItem,  &g.pickEvidence,  &g.mhPhoto,   &g.invCard,       &g.hint,
                &g.eventForItem,   &g.inGameMenu, &g.confirmSaveExit, &g.searchFinish, &g.locFinish, &g.mhFinish,
                &g.solveConfirm,   &g.helpPers,  &g.yesNo,         &g.outOfTime, &g.randomClicking, &g.tutorial,
                &g.tutorialBig,    &g.marivelComment, &g.mhInstruction, &g.introText};
    }

    std::unique_ptr<CGameDialogs> dialogs;
    std::string initLog;
};

} // namespace

TEST_F(GameDialogsTest, InitShowHideAndPause)
{
    EXPECT_EQ(initLog, "");
    ASSERT_EQ(modals().size(), 22u);
    for (CDialogBase* d : modals())
        EXPECT_EQ(d->GetState(), 1) << d->GetWindowName();
    CGameDialogs& g = *dialogs;
    g.panel.Show();
    for (CDialogBase* d : modals())
        d->Show();
    g.ShowMessage("card_found", "1chapter", true);
    g.ShowPause(true);
    GUI::Widget* pause = g.GetPauseWindow();
    ASSERT_NE(pause, nullptr);
    EXPECT_TRUE(pause->IsVisible(true) && pause->parent->drawOrder.back() == pause);

    g.tipManager.ShowUserTip(L"Tip", 600, 300);
    g.banner.Start(false);
    g.ShowPause(false);  // refused while the banner runs
    EXPECT_TRUE(pause->IsVisible(true) && g.banner.IsRunning() && g.tipManager.IsTipShown());

    g.HideDialogs();
    for (CDialogBase* d : modals())
        EXPECT_FALSE(d->IsVisible()) << d->GetWindowName();
    EXPECT_TRUE(!g.message.GetWindow()->IsVisible(true) && g.panel.IsVisible() && pause->IsVisible(true));
    EXPECT_TRUE(g.banner.GetState() == CInvestigationBanner::Idle && !g.tipManager.IsTipShown());
    g.HideAll();
    EXPECT_FALSE(g.panel.IsVisible());
    g.ShowPause(false);
    EXPECT_FALSE(pause->IsVisible(true));

    // Without the pause window ShowPause does nothing.
    dialogs.reset();
    loadGuiText("window Message\n{\n}\n");
    make();
    EXPECT_EQ(dialogs->GetPauseWindow(), nullptr);
    dialogs->ShowPause(true);
    EXPECT_EQ(takeLog().find("InGamePause"), std::string::npos);
}

TEST_F(GameDialogsTest, MessagesThroughTheRoomContextAndUpdateOrder)
{
    CPersonagesManager personages;
    CDialogsRoomContext context(personages, *dialogs);
    CRoomContext& room = context;
    CTipManager& tips = dialogs->tipManager;
    ASSERT_TRUE(tips.ShowTip("notepad", 600, 300, L"Tip"));
    tick();
    EXPECT_FALSE(room.TipTakesPress(false));
    const aRect balloon = tips.GetBalloon()->GetAbsoluteRect();
    moveTo(balloon.x + balloon.width / 2, balloon.y + balloon.height / 2);
    tick();
    // A plain tip's body lets a press through to an object to find; its
    // box never does, nor a pointer tip.
    EXPECT_TRUE(room.TipTakesPress(false));
    EXPECT_FALSE(room.TipTakesPress(true));
    const aRect box = tips.GetPart("dont_show")->GetAbsoluteRect();
    moveTo(box.x + 2, box.y + 2);
    tick();
    EXPECT_TRUE(room.TipTakesPress(true));
    tips.HideTip();
    ASSERT_TRUE(tips.ShowTip("mh_first_photo", 600, 300, L"Look"));
    const aRect arrow = tips.GetBalloon()->GetAbsoluteRect();
    moveTo(arrow.x + arrow.width / 2, arrow.y + arrow.height / 2);
    tick();
    EXPECT_TRUE(room.TipTakesPress(true));
    tips.HideTip();
    EXPECT_FALSE(room.TipTakesPress(false));

    room.ShowMessage("card_found", "1chapter", true);
    CDialogMessage& message = dialogs->message;
    EXPECT_TRUE(message.IsVisible() && message.GetTimeOut() == 30.0f);
    tick(64 * 30);
    EXPECT_EQ(message.GetPhase(), 2u);
    tick(22);
    EXPECT_FALSE(message.IsVisible());

    room.ShowMessage("card_found", "1chapter", false);
    tick(64 * 40);
    EXPECT_TRUE(message.IsVisible() && !message.IsTimed());

    // A click hides the message during the GUI's update; its own update in the
    // same frame already finds it hidden, so the time-out does not move.
    room.ShowMessage("enter", "1chapter", true);
    tick(30);
    const float left = message.GetTimeOut();
    const aRect r = message.GetArea();
    moveTo(r.x + 300, r.y + 90);
    tick();
    // The message is a box over the room: a press on it is its own.
    EXPECT_TRUE(room.IsPointOverBox(r.x + 300, r.y + 90));
    EXPECT_FALSE(room.IsPointOverBox(r.x + 300, r.y - 1));
    buttons(1);
    tick();
    buttons(0);
    const float before = message.GetTimeOut();
    tick();
    EXPECT_TRUE(!message.IsVisible() && message.GetTimeOut() == before && before == left - 2 * kDt);
    EXPECT_FALSE(room.IsPointOverBox(r.x + 300, r.y + 90));
}

TEST_F(GameDialogsTest, DestroyedBeforeOrAfterTheGuiServer)
{
    CGameDialogs& g = *dialogs;
    g.tutorial.ResizeToText(std::wstring(400, L'w'));
    g.ShowMessage("card_found", "1chapter", true);
    tick(5);
    GUI::Widget* tutorial = g.tutorial.GetWindow();
    const aRect grown = tutorial->GetAreaRect();
    dialogs.reset();  // before the GUI server: the designed areas come back
    EXPECT_NE(tutorial->GetAreaRect(), grown);
    EXPECT_EQ(tutorial->GetAreaRect(), aRect(361, 254, 480, 200));

    make();
    dialogs->ShowMessage("card_found", "1chapter", true);
    dialogs->tutorial.ResizeToText(std::wstring(400, L'w'));
    gui.reset();  // after it: nothing is touched
    dialogs->HideAll();
    dialogs->ShowPause(true);
    dialogs.reset();
}
