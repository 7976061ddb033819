#include "engine/gfx/a_image_manager.h"
#include "engine/gui/gui_static_image.h"
#include "menu_fixture.h"

using namespace menutest;
using Menu = CGameFlow::Menu;

namespace {

class PagesBench : public RecordingMenuBench {
protected:
    void SetUp() override
    {
        RecordingMenuBench::SetUp();
        startMenu();
        drawFrames = false;
    }
    std::string writeIni(const std::string& text)
    {
        const std::string path = test_env::home() + "/MoreGames.ini";
        test_env::writeFile(path, text);
        return path;
    }
    GUI::Widget* more(const std::string& name) { return menu->GetMoreGames().GetWindow()->FindChild(name, true); }
    aRect area(const std::string& name) { return more(name)->GetAreaRect(); }
};

} // namespace

TEST_F(PagesBench, HelpTabsCloseAndCredits)
{
    auto* box = dynamic_cast<GUI::StaticImage*>(child("HelpMenu", "image_box"));
    aImageManager* images = res->GetImageManager();
    auto showing = [&](const char* image) {
        return box->normalImage && box->normalImage->getTexture() == images->GetImage(image, "")->getTexture();
    };
    auto enabled = [&](const char* tab) { return child("HelpMenu", tab)->IsEnabled(); };

    menu->ShowCreditsButton(false);
    menu->Show(Menu::kHelp);
    EXPECT_TRUE(showing("Help_screen") && !enabled("Story") && enabled("MurderH") && enabled("FindA"));
    EXPECT_FALSE(child("HelpMenu", "Credits_help")->IsVisible(true));
    clickOn(child("HelpMenu", "MurderH"));
    EXPECT_TRUE(showing("Help_screen_MH") && enabled("Story") && !enabled("MurderH") && enabled("FindA"));
    clickOn(child("HelpMenu", "FindA"));
    EXPECT_TRUE(showing("Help_screen_FA") && enabled("Story") && enabled("MurderH") && !enabled("FindA"));
    EXPECT_EQ(menu->GetState(Menu::kHelp), 2);
    clickOn(child("HelpMenu", "Close"));
    EXPECT_EQ(menu->GetState(Menu::kHelp), CDialogHelp::kClose);
    menu->Hide(Menu::kHelp);

    // Showing again starts on the story page.
    menu->ShowCreditsButton(true);
    menu->Show(Menu::kHelp);
    EXPECT_TRUE(showing("Help_screen") && !enabled("Story"));
    clickOn(child("HelpMenu", "Credits_help"));
    EXPECT_EQ(menu->GetState(Menu::kHelp), CDialogHelp::kCredits);
}

TEST_F(PagesBench, MoreGamesLayoutsPerState)
{
    // The window, not the main menu's button of the same name.
    ASSERT_TRUE(menu->Has(Menu::kMoreGames));
    EXPECT_EQ(menu->GetMoreGames().GetWindow()->GetParent(), gui->GetRoot());
    EXPECT_EQ(child("MainMenu", "MoreGames")->FindChild("back", true), nullptr);

    const aRect quill = area("logoquill"), brask = area("logobrask"), d1 = area("download1"), d2 = area("download2");
    auto visible = [&](const char* name) { return more(name)->IsVisible(true); };
    menu->Show(Menu::kMoreGames);

    // No file, or no [SETUP]: nothing changes.
    menu->SetupMoreGames(test_env::home() + "/none.ini");
    menu->SetupMoreGames(writeIni("[OTHER]\nstate = DEFAULT\n"));
    EXPECT_TRUE(visible("download1") && visible("download2") && visible("download3"));

    menu->SetupMoreGames(writeIni("[SETUP]\nstate = THREELINKS\nurl1 = http://a\nurl3 = http://c\n"));
    EXPECT_TRUE(visible("download1") && !visible("download2") && visible("download3"));
    menu->SetupMoreGames(writeIni("[SETUP]\nstate = DEFAULT\nurl1 = http://a\n"));
    EXPECT_FALSE(visible("download1") || visible("download2") || visible("download3"));

    // TWOLINKS without url2: only download1, moved right; twice gives the same layout.
    const std::string two = writeIni("[SETUP]\nstate = TWOLINKS\nurl1 = http://a\n");
    for (int i = 0; i < 2; ++i) {
        menu->SetupMoreGames(two);
        EXPECT_TRUE(visible("download1") && !visible("download2") && !visible("download3"));
        EXPECT_FALSE(visible("logotamber"));
        EXPECT_EQ(area("logoquill").x, quill.x + 100);
        EXPECT_EQ(area("download1").x, d1.x + 100);
        EXPECT_EQ(area("logobrask").x, brask.x - 100);
        EXPECT_EQ(area("download2").x, d2.x - 100);
        EXPECT_EQ(area("download1").y, d1.y);
    }

    // An unknown word (the comparison is exact): disabled, left as they were.
    takeLog();
    menu->SetupMoreGames(writeIni("[SETUP]\nstate = threelinks\n"));
    EXPECT_TRUE(visible("download1") && !visible("download2"));
    EXPECT_FALSE(more("download1")->IsEnabled() || more("download2")->IsEnabled() || more("download3")->IsEnabled());
    EXPECT_NE(takeLog().find("unknown state 'threelinks'"), std::string::npos);

    // The buttons' results stay until OpenLink, Show or Hide.
    menu->SetupMoreGames(writeIni("[SETUP]\nstate = THREELINKS\nurl2 = http://b\n"));
    more("download2")->SetEnabled(true);
    clickOn(more("download2"));
    EXPECT_EQ(menu->GetState(Menu::kMoreGames), 5);
    draw();
    EXPECT_EQ(menu->GetState(Menu::kMoreGames), 5);
    menu->OpenLink("http://b");
    EXPECT_EQ(menu->GetState(Menu::kMoreGames), 2);
    clickOn(more("back"));
    EXPECT_EQ(menu->GetState(Menu::kMoreGames), CDialogMoreGames::kBack);

    menu->GetMoreGames().SetControlsVisible(false);
    EXPECT_FALSE(menu->GetMoreGames().IsVisible() || more("back")->IsVisible());
}

TEST_F(PagesBench, OpenLinkOpensWebLinksOnly)
{
    menu->Show(Menu::kMoreGames);
    takeLog();
    for (const char* link : {"", "http://example.com/a", "HTTPS://example.com/b", "file:///etc/passwd",
                             "javascript:alert(1)", "/usr/bin/xterm", "https://", "https://a b"}) {
        menu->GetMoreGames().SetState(5);
        menu->OpenLink(link);
        EXPECT_EQ(menu->GetState(Menu::kMoreGames), 2) << link;
    }
    // The empty link reaches no opener; the opener is handed the rest and opens only the web links.
    ASSERT_EQ(links.links.size(), 7u);
    EXPECT_EQ(links.links[0], "http://example.com/a");
    const std::string log = takeLog();
    for (const char* refused : {"file:///etc/passwd", "javascript:alert(1)", "/usr/bin/xterm", "'https://'"})
        EXPECT_NE(log.find(refused), std::string::npos) << refused;
    EXPECT_EQ(log.find("example.com"), std::string::npos) << log;
    EXPECT_FALSE(platform::isWebLink("http:/x") || platform::isWebLink("ftp://x"));

    // The desktop opener with no display logs the link and opens nothing.
    platform::setLinkOpener(nullptr);
    menu->OpenLink("https://example.com/c");
    EXPECT_NE(takeLog().find("Open link: https://example.com/c"), std::string::npos);
}
