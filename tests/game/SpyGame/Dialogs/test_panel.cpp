#include "panel_fixture.h"

using namespace dialogtest;
using V = std::vector<int>;

TEST_F(PanelTest, DemoScriptLoadsCleanAndEveryPartIsFound)
{
    loadDemoGui();
    const std::string log = takeLog();
    for (const char* fault : {"Error", "error", "not found", "Cannot find", "invalid", "Unknown"})
        EXPECT_EQ(log.find(fault), std::string::npos) << fault << "\n" << log;
    Panel fresh;
    fresh.Init();
    EXPECT_EQ(takeLog().find("not found"), std::string::npos);
    for (std::size_t p = 0; p < Panel::PartCount; ++p)
        EXPECT_NE(fresh.GetPart(Panel::Part(p)), nullptr) << p;
    EXPECT_EQ(fresh.GetState(), 1);
    EXPECT_FALSE(fresh.IsVisible());
    EXPECT_FALSE(fresh.GetPart(Panel::BlockWidget)->IsVisible(true));
}

TEST_F(PanelTest, ButtonsGiveTheirResults)
{
    auto list = lines({"key", "candle"});
    study(&list);
    part(Panel::ContinueBtnPanel)->SetVisible(true);
    part(Panel::Back)->SetVisible(true);
    part(Panel::SkipWithBack)->SetVisible(true);
    for (auto [p, result] : {std::pair{Panel::Continue, 3}, {Panel::Back, 3}, {Panel::BtnMap, 4}, {Panel::BtnMenu, 5},
                             {Panel::BtnCardRoom, 8}, {Panel::SkipWithBack, 12}, {Panel::Clock, 13},
                             {Panel::BtnMurderHunt, 15}, {Panel::MurderHuntTitle, 15}, {Panel::HintGlass, 16}}) {
        clickPart(p);
        EXPECT_EQ(take(), V{result}) << p;
    }
    part(Panel::SkipWithBack)->SetVisible(false);
    part(Panel::SkipCenter)->SetVisible(true);
    clickPart(Panel::SkipCenter);
    EXPECT_EQ(take(), V{12});

    // Hint mode: the glass again cancels (17); a press on a line chooses it (10).
    clickPart(Panel::HintGlass);
    panel->SetHintMode(true);
    clickPart(Panel::BtnHint);
    EXPECT_EQ(take(), (V{16, 17}));
    EXPECT_FALSE(panel->IsHintMode());
    panel->SetHintMode(true);
    const Panel::Entry candle = panel->GetEntries().at(1);
    click(candle.rect.x + 5, candle.rect.y + 5);
    EXPECT_EQ(take(), V{10});
    EXPECT_EQ(panel->GetHintTarget(), "candle");
    EXPECT_EQ(panel->GetHintsCount(), 1u);
    panel->SetHintMode(true);
    click(600, 400);
    EXPECT_EQ(take(), V{17});
    // Mode 1: the folder is a hint target; the mode ends with the choice.
    panel->SetMode(1);
    panel->SetHintMode(true);
    press(89, 540);
    EXPECT_EQ(take(), V{10});
    EXPECT_EQ(panel->GetHintTarget(), "MH_CONTAINER");
    EXPECT_FALSE(panel->IsHintMode());
    release();
    take();

    // Disabled buttons: a press on the glass gives 11, on the visible folder 15.
    panel->EnableHint(false);
    press(138, 57);
    release();
    part(Panel::BtnMurderHunt)->SetEnabled(false);
    press(89, 540);
    release();
    EXPECT_EQ(take(), (V{11, 15}));
    // The clock does not pause twice.
    panel->SetRoomPause(true);
    tick(2);
    ASSERT_TRUE(panel->IsShowingPaused());
    clickPart(Panel::Clock);
    EXPECT_EQ(take(), V{});
}

TEST_F(PanelTest, HintClickNeedsSomethingToHint)
{
    std::vector<CFindItemsGroup> empty;
    study(&empty);
    // The glass is dark with nothing to hint (a press is 11); even lit, a click does nothing.
    clickPart(Panel::HintGlass);
    EXPECT_EQ(take(), V{11});
    for (Panel::Part p : {Panel::BtnHint, Panel::HintsCount, Panel::HintGlass})
        part(p)->SetEnabled(true);
    clickPart(Panel::HintGlass);
    EXPECT_EQ(take(), V{});
    panel->SetMode(1);
    panel->EnableHint(true);
    clickPart(Panel::HintGlass);
    EXPECT_EQ(take(), V{16});
    // Found lines are no hint targets: the glass stays dark when only they are left.
    auto done = lines({"key"});
    done[0].MarkPicked("key");
    panel->SetMode(0);
    study(&done);
    EXPECT_TRUE(panel->GetEntries().empty());
    EXPECT_FALSE(part(Panel::BtnHint)->IsEnabled(true));
    EXPECT_FALSE(part(Panel::HintGlass)->IsEnabled(true));
}

TEST_F(PanelTest, ModesSkipButtonsLevelAndPanelArea)
{
    GUI::Widget* hunt = part(Panel::BtnMurderHunt);
    panel->SetupRoom("", nullptr, nullptr, "Study", true, true);
    for (int mode : {0, 1, 2, 3, 4}) {
        hunt->SetVisible(mode >= 3);
        panel->SetMode(mode);
        EXPECT_EQ(hunt->IsVisible(true), mode <= 2) << mode;
    }
    for (bool before : {false, true}) {
        hunt->SetVisible(before);
        panel->SetMode(5);
        EXPECT_EQ(hunt->IsVisible(true), before);
    }
    panel->SetupRoom("", nullptr, nullptr, "Study", false, true);
    hunt->SetVisible(true);
    panel->SetMode(0);
    EXPECT_FALSE(hunt->IsVisible(true));

    // Skip: beside a visible Back, else centred; the other one left alone.
    part(Panel::Back)->SetVisible(true);
    panel->ShowSkipBonusRound(true);
    EXPECT_TRUE(part(Panel::SkipWithBack)->IsVisible(true));
    EXPECT_FALSE(part(Panel::SkipCenter)->IsVisible(true));
    part(Panel::Back)->SetVisible(false);
    panel->ShowSkipBonusRound(true);
    EXPECT_TRUE(part(Panel::SkipWithBack)->IsVisible(true));
    EXPECT_TRUE(part(Panel::SkipCenter)->IsVisible(true));
    panel->ShowSkipBonusRound(false);
    EXPECT_FALSE(part(Panel::SkipWithBack)->IsVisible(true) || part(Panel::SkipCenter)->IsVisible(true));

    panel->SetLevelNum(0);
    EXPECT_EQ(text(Panel::LevelNum), L"Find All");
    EXPECT_EQ(text(Panel::InvName), L"Find All");
    panel->SetLevelNum(3);
    EXPECT_EQ(text(Panel::InvName), L"Investigation 3");
    EXPECT_EQ(text(Panel::RoomName), L"Study");

    // Screen points, also once the window has moved; the continue button only while shown.
    EXPECT_TRUE(panel->IsPointInside(0, 0));
    EXPECT_TRUE(panel->IsPointInside(178, 767));
    EXPECT_FALSE(panel->IsPointInside(179, 100));
    EXPECT_FALSE(panel->IsPointInside(600, 650));
    part(Panel::ContinueBtnPanel)->SetVisible(true);
    EXPECT_TRUE(panel->IsPointInside(600, 650));
    panel->GetWindow()->SetPosition(100, 50);
    EXPECT_FALSE(panel->IsPointInside(50, 20));
    EXPECT_TRUE(panel->IsPointInside(150, 70));
    EXPECT_TRUE(panel->IsPointInside(700, 700));
    panel->GetWindow()->SetVisible(false);
    EXPECT_FALSE(panel->IsPointInside(700, 700));
}

TEST_F(PanelTest, ClicksAfterTheLastPanelReachNothing)
{
    auto list = lines({"key"});
    study(&list);
    panel.reset();
    GUI::Widget* window = gui->GetRoot()->FindChild("SpyGameInterface", true);
    for (const char* name : {"btn_murderhunt", "title", "text", "btn_hint", "hint_glass", "clock", "btn_map"}) {
        const aRect r = window->FindChild(name, true)->GetAbsoluteRect();
        click(r.x + r.width / 2, r.y + r.height / 2);
    }
    EXPECT_EQ(take(), V{});
}
