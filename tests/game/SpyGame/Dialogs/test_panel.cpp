#include "panel_fixture.h"

using namespace dialogtest;
using V = std::vector<int>;

TEST_F(PanelTest, DemoScriptLoadsCleanAndEveryPartIsFound)
{
    loadGui();
    const std::string log = takeLog();
    for (const char* fault : {"Error in", "error", "not found", "Cannot find", "invalid", "Unknown"})
        EXPECT_EQ(log.find(fault), std::string::npos) << fault << "\n" << log;
    remake();
    for (std::size_t p = 0; p < Panel::PartCount; ++p)
        EXPECT_NE(panel->GetPart(Panel::Part(p)), nullptr) << p;
    EXPECT_EQ(takeLog().find("not found"), std::string::npos);
}

TEST_F(PanelTest, ResultsOfEveryButtonAndOfHintMode)
{
    auto list = lines({"key", "candle"});
    study(&list);
    for (Panel::Part p : {Panel::ContinueBtnPanel, Panel::Back, Panel::SkipWithBack, Panel::SkipCenter})
        part(p)->SetVisible(true);
    for (Panel::Part p : {Panel::Continue, Panel::Back, Panel::BtnMap, Panel::BtnMenu, Panel::BtnCardRoom,
                          Panel::SkipWithBack, Panel::SkipCenter, Panel::Clock, Panel::BtnMurderHunt,
                          Panel::MurderHuntTitle, Panel::HintGlass})
        clickPart(p);
    EXPECT_EQ(take(), (V{3, 3, 4, 5, 8, 12, 12, 13, 15, 15, 16}));

    // In hint mode the glass cancels (17), a line is chosen (10), a press elsewhere cancels.
    panel->SetHintMode(true);
    clickPart(Panel::BtnHint);
    panel->SetHintMode(true);
    const Panel::Entry candle = panel->GetEntries().at(1);
    click(candle.rect.x + 5, candle.rect.y + 5);
    EXPECT_EQ(panel->GetHintTarget(), "candle");
    EXPECT_EQ(panel->GetHintsCount(), 1u);
    panel->SetHintMode(true);
    click(600, 400);
    // Mode 1: the folder is a target, and choosing it ends hint mode.
    panel->SetMode(1);
    panel->SetHintMode(true);
    click(89, 540);
    EXPECT_EQ(panel->GetHintTarget(), "MH_CONTAINER");
    EXPECT_EQ(take(), (V{17, 10, 17, 10, 15}));

    // Presses on the dark glass (11) and on the disabled but visible folder (15).
    panel->EnableHint(false);
    click(138, 57);
    part(Panel::BtnMurderHunt)->SetEnabled(false);
    click(89, 540);
    // No pause while the clock shows one.
    panel->SetRoomPause(true);
    tick(2);
    clickPart(Panel::Clock);
    EXPECT_EQ(take(), (V{11, 15}));

    // An empty list gives nothing to hint outside mode 1, even with the glass lit.
    std::vector<CFindItemsGroup> empty;
    panel->SetMode(0);
    study(&empty);
    for (Panel::Part p : {Panel::BtnHint, Panel::HintsCount, Panel::HintGlass})
        part(p)->SetEnabled(true);
    clickPart(Panel::HintGlass);
    EXPECT_EQ(take(), V{});

    // Destroyed, the panel's subscriptions (the folder's and its children's too) are gone.
    panel.reset();
    onFrame = nullptr;
    for (const char* name : {"btn_murderhunt", "title", "text", "hint_glass", "clock", "btn_map"}) {
        const aRect r = gui->GetRoot()->FindChild(name, true)->GetAbsoluteRect();
        click(r.x + 2, r.y + 2);
    }
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
    panel->SetMode(0);
    EXPECT_FALSE(hunt->IsVisible(true));

    part(Panel::Back)->SetVisible(true);
    panel->ShowSkipBonusRound(true);
    EXPECT_TRUE(part(Panel::SkipWithBack)->IsVisible(true) && !part(Panel::SkipCenter)->IsVisible(true));
    part(Panel::Back)->SetVisible(false);
    panel->ShowSkipBonusRound(true);
    EXPECT_TRUE(part(Panel::SkipWithBack)->IsVisible(true) && part(Panel::SkipCenter)->IsVisible(true));
    panel->ShowSkipBonusRound(false);
    EXPECT_FALSE(part(Panel::SkipWithBack)->IsVisible(true) || part(Panel::SkipCenter)->IsVisible(true));

    panel->SetLevelNum(0);
    EXPECT_EQ(text(Panel::LevelNum) + text(Panel::InvName) + text(Panel::RoomName), L"Find AllFind AllStudy");

    // Screen points, also with the window moved; the continue button only while shown.
    EXPECT_TRUE(panel->IsPointInside(178, 767) && !panel->IsPointInside(179, 100));
    EXPECT_FALSE(panel->IsPointInside(600, 650));
    part(Panel::ContinueBtnPanel)->SetVisible(true);
    EXPECT_TRUE(panel->IsPointInside(600, 650));
    panel->GetWindow()->SetPosition(100, 50);
    EXPECT_TRUE(!panel->IsPointInside(50, 20) && panel->IsPointInside(150, 70) && panel->IsPointInside(700, 700));
    panel->GetWindow()->SetVisible(false);
    EXPECT_FALSE(panel->IsPointInside(700, 700));
}
