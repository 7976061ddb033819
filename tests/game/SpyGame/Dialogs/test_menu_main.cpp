#include "engine/gfx/a_image_manager.h"
#include "engine/util/a_locale_server.h"
#include "menu_fixture.h"

using namespace menutest;
using Menu = CGameFlow::Menu;

namespace {

class MainMenuBench : public RecordingMenuBench {
protected:
    void SetUp() override
    {
        RecordingMenuBench::SetUp();
        drawFrames = false;
    }
    CDialogMainMenu& main() { return menu->GetMainMenu(); }
    bool visible(const char* name) { return child("MainMenu", name)->IsVisible(true); }
    aRect area(const char* name) { return child("MainMenu", name)->GetAreaRect(); }
};

} // namespace

TEST_F(MainMenuBench, InitOrderAndHidingBeforeAnything)
{
    loadDemoResources();
    app.m_fileServer.setAssign("ambients", "gamedata:Ambients/");
    loadGui();
    {
        CDialogMainMenu early;
        early.Init();  // before LoadAmbient: nothing
        EXPECT_TRUE(early.GetState() == 3 && !early.GetWindow());
        early.Show();
        early.Hide();
        EXPECT_TRUE(early.GetState() == 3 && !early.IsVisible());
        early.LoadAmbient();
        EXPECT_EQ(early.GetState(), 0);
        early.Init();
        EXPECT_EQ(early.GetState(), 1);
    }
    // The flow may hide everything before the menu exists.
    menu = std::make_unique<CMenuDialogs>();
    menu->HideAll();
    EXPECT_EQ(menu->GetState(Menu::kMainMenu), 3);
    EXPECT_FALSE(menu->Has(Menu::kMainMenu));
    menu->LoadAmbient();
    menu->Init();
    EXPECT_EQ(menu->GetState(Menu::kMainMenu), 1);
    for (const Menu::Dialog d : {Menu::kOptions, Menu::kMHCertificate, Menu::kFACertificate, Menu::kHelp,
                                 Menu::kRestartFA, Menu::kMoreGames, Menu::kNotice}) {
        EXPECT_TRUE(menu->Has(d)) << d;
        EXPECT_EQ(menu->GetState(d), 1) << d;
    }
    EXPECT_EQ(takeLog().find("CDialogBase"), std::string::npos);
}

TEST_F(MainMenuBench, EveryResultAndTheAmbience)
{
    startMenu();
    const auto& ambience = main().GetAmbience();
    EXPECT_EQ(ambience.GetState(), aAmbientSoundSystem::kSoundsCreated);
    menu->SetAwardMH(1);
    menu->SetAwardFA(4);
    menu->BlockFindAll(false);
    menu->Show(Menu::kMainMenu);
    EXPECT_EQ(ambience.GetState(), aAmbientSoundSystem::kPlaying);
    for (const auto& [name, result] : std::initializer_list<std::pair<const char*, int>>{
             {"Play", 4}, {"Options", 5}, {"Help", 6}, {"Exit", 8}, {"ChangeProfile", 9}, {"FindAll", 10},
             {"AwardMH", 11}, {"AwardFA", 12}, {"MoreGames", 13}}) {
        clickOn(child("MainMenu", name));
        EXPECT_EQ(menu->GetState(Menu::kMainMenu), result) << name;
        draw();
        EXPECT_EQ(menu->GetState(Menu::kMainMenu), 2) << name;
    }
    // A blocked Find All gives nothing.
    menu->BlockFindAll(true);
    clickOn(child("MainMenu", "FindAll"));
    EXPECT_EQ(menu->GetState(Menu::kMainMenu), 2);

    // A dialog over the menu leaves the ambience on; play hides it all and stops it.
    menu->Show(Menu::kHelp);
    EXPECT_EQ(ambience.GetState(), aAmbientSoundSystem::kPlaying);
    menu->HideAll();
    EXPECT_EQ(ambience.GetState(), aAmbientSoundSystem::kSoundsCreated);
    EXPECT_FALSE(main().IsVisible() || menu->GetHelp().IsVisible());
    menu->Show(Menu::kMainMenu);
    EXPECT_TRUE(visible("Play") && visible("AwardMH"));
}

TEST_F(MainMenuBench, RibbonsControlsAndMoreGames)
{
    startMenu();
    menu->Show(Menu::kMainMenu);
    aImageManager* images = res->GetImageManager();
    const char* const mh[] = {"goldmh", "silvermh", "bronzemh", "simplemh"};
    const char* const fa[] = {"goldfa", "silverfa", "bronzefa", "simplefa"};
    for (int tier = 0; tier <= 5; ++tier) {
        SCOPED_TRACE(tier);
        menu->SetAwardMH(tier);
        menu->SetAwardFA(tier);
        const bool shown = tier >= 1 && tier <= 4;
        EXPECT_EQ(visible("AwardMH"), shown);
        EXPECT_EQ(visible("AwardFA"), shown);
        if (!shown)
            continue;
        const aImage* mhImage = images->GetImage(mh[tier - 1], "Menu");
        const aImage* faImage = images->GetImage(fa[tier - 1], "Menu");
        const bool simple = tier == 4;
        EXPECT_EQ(area("AwardMH"), aRect(simple ? 789 : 763, simple ? 198 : 193, mhImage->getWidth(), mhImage->getHeight()));
        EXPECT_EQ(area("AwardFA"), aRect(simple ? 871 : 845, simple ? 200 : 193, faImage->getWidth(), faImage->getHeight()));
    }

    // Controls: a ribbon returns only with a tier to show.
    menu->SetAwardMH(2);
    menu->SetAwardFA(0);
    main().SetControlsVisible(false);
    for (const char* name :
         {"Play", "Options", "Help", "MoreGames", "ChangeProfile", "FindAll", "AwardMH", "Welcome", "Exit"})
        EXPECT_FALSE(visible(name)) << name;
    main().SetControlsVisible(true);
    EXPECT_TRUE(visible("Play") && visible("AwardMH") && visible("Welcome") && !visible("AwardFA") && visible("Exit"));
    // A ribbon whose picture is missing stays hidden.
    images->UnloadFile("silverfa.png 4444 8888", "Menu");
    menu->SetAwardFA(2);
    main().SetControlsVisible(true);
    EXPECT_FALSE(visible("AwardFA"));

    // HideMoreGames: false moves nothing; true puts Exit where More Games was, for good.
    const aRect moreGames = area("MoreGames"), exit = area("Exit");
    menu->HideMoreGames(false);
    EXPECT_TRUE(visible("MoreGames") && area("Exit") == exit);
    menu->HideMoreGames(true);
    EXPECT_FALSE(visible("MoreGames"));
    EXPECT_EQ(area("Exit").x, moreGames.x);
    EXPECT_EQ(area("Exit").y, moreGames.y);
    main().SetControlsVisible(false);
    main().SetControlsVisible(true);
    EXPECT_FALSE(visible("MoreGames"));

    menu->SetUserName("\xC0\xED\xED");
    EXPECT_EQ(child("MainMenu", "UserName")->GetText(), L"\u0410\u043D\u043D");
    EXPECT_TRUE(menu->IsOnFindAll(area("MenuBoard").x + area("FindAll").x + 5, area("MenuBoard").y + area("FindAll").y + 5));
}

TEST_F(MainMenuBench, MissingWindowsAndWidgetsAreLoggedAndNeverUsed)
{
    loadDemoResources();
    // The main menu without its ribbons and name; no other window at all.
    loadGuiText("window MainMenu\n{\nwidget Play\n{\n}\n}\nwidget MoreGames\n{\n}\n");
    menu = std::make_unique<CMenuDialogs>();
    menu->LoadAmbient();
    menu->Init();
    const std::string log = takeLog();
    for (const char* missing : {"'OptionsMenu'", "'HelpMenu'", "'FACertificate'", "'MHCertificate'",
                                "'DialogRestartFA'", "'Notice'", "widget 'AwardMH'", "widget 'UserName'"})
        EXPECT_NE(log.find(missing), std::string::npos) << missing;
    // A root child named "MoreGames" is taken even without its buttons.
    EXPECT_TRUE(menu->Has(Menu::kMainMenu) && menu->Has(Menu::kMoreGames) && !menu->Has(Menu::kOptions));

    for (const Menu::Dialog d : {Menu::kMainMenu, Menu::kOptions, Menu::kMHCertificate, Menu::kFACertificate,
                                 Menu::kHelp, Menu::kRestartFA, Menu::kMoreGames, Menu::kNotice}) {
        menu->Show(d);
        menu->Hide(d);
    }
    menu->SetUserName("x");
    menu->SetAwardMH(1);
    menu->SetAwardFA(2);
    menu->BlockFindAll(true);
    menu->HideMoreGames(true);
    menu->ShowCreditsButton(false);
    menu->SetupMoreGames(test_env::sourceDir() + "/data/MoreGames.ini");
    menu->GetMoreGames().SetControlsVisible(true);
    menu->UpdateFullscreenEnabled();
    menu->GetFACertificate().ShowAward(1, 1);
    menu->GetMainMenu().SetControlsVisible(true);
    menu->Update(0.1f);
    menu->Render();
    menu->HideAll();
    EXPECT_TRUE(child("MainMenu", "Play")->IsVisible(true));
}

TEST_F(MainMenuBench, RibbonBalloonAfterARestGoneOnMouseUpNoneWithoutText)
{
    startMenu();
    onFrame = [this](float dt) { main().UpdateHints(dt); };
    menu->SetAwardMH(1);
    menu->SetAwardFA(1);
    menu->Show(Menu::kMainMenu);
    const CDialogHint& hint = main().GetHint();
    const aRect mh = child("MainMenu", "AwardMH")->GetAbsoluteRect();
    moveTo(mh.x + 30, mh.y + 30);
    tick(20);
    EXPECT_TRUE(main().IsOverMH() && !hint.IsVisible());
    tick(20);  // past half a second at rest
    ASSERT_TRUE(hint.IsVisible());
    EXPECT_EQ(child("Hint", "text")->GetText(), res->GetLocalizedString("murder_hunt_hint"));
    EXPECT_GE(hint.GetArea().width, 100);
    m_buttons = 1;
    tick();
    m_buttons = 0;
    tick();
    EXPECT_FALSE(hint.IsVisible());
    EXPECT_EQ(menu->GetState(Menu::kMainMenu), CGameFlow::Menu::kAwardMH);

    // The FA ribbon without its text in the tables: no balloon at all.
    res->GetLocaleServer()->unloadFile("language:Text/Main.txt");
    const aRect fa = child("MainMenu", "AwardFA")->GetAbsoluteRect();
    moveTo(fa.x + 30, fa.y + 30);
    tick(50);
    EXPECT_TRUE(main().IsOverFA() && !hint.IsVisible());
    main().Hide();
    EXPECT_FALSE(main().IsOverFA());
}
