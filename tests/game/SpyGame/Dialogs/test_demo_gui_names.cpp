// Every window, child, style, font, cursor and image name that the menus,
// the in-game dialogs, the panel and the tip manager look up is defined by
// the demo GUI scripts and lists: built as the game builds them and shown
// once each, they log no miss.
#include <gtest/gtest.h>

#include <sstream>

#include "game/SpyGame/Dialogs/GameDialogs.h"
#include "menu_fixture.h"

namespace {

// The lines a name that is not defined leaves in the log.
const char* const kMissPatterns[] = {"not found",  "not defined", "Cannot find", "cannot create", "names no",
                                     "no font",    "no balloon",  "no tip",      "no GUI server", "is no "};

std::vector<std::string> misses(const std::string& log)
{
    std::vector<std::string> out;
    std::istringstream lines(log);
    for (std::string line; std::getline(lines, line);)
        for (const char* pattern : kMissPatterns)
            if (line.find(pattern) != std::string::npos) {
                out.push_back(line);
                break;
            }
    return out;
}

using DemoGuiNames = menutest::RecordingMenuBench;

} // namespace

TEST_F(DemoGuiNames, MenusDialogsPanelAndTipsFindEveryName)
{
    CDialogSpyGamePanel::ResetSharedClockState();
    startMenu();
    res->GetLocaleServer()->loadFile("language:_Investigations/1chapter/investigation.txt", "1chapter");
    auto game = std::make_unique<CGameDialogs>();
    game->Init();

    using Menu = CGameFlow::Menu;
    for (Menu::Dialog d :
         {Menu::kMainMenu, Menu::kOptions, Menu::kHelp, Menu::kRestartFA, Menu::kMoreGames, Menu::kNotice}) {
        menu->Show(d);
        tick();
        menu->Hide(d);
    }
    for (CDialogHelp::Page page : {CDialogHelp::kStory, CDialogHelp::kMurderHunt, CDialogHelp::kFindAll})
        menu->GetHelp().ShowPage(page);
    // Each tier has a picture of its own.
    for (std::int32_t tier = 1; tier <= 4; ++tier) {
        menu->GetMHCertificate().ShowAward(tier, tier - 1);
        menu->GetFACertificate().ShowAward(tier, tier - 1);
        menu->SetAwardMH(tier);
        menu->SetAwardFA(tier);
        tick();
    }
    menu->HideAll();

    CGameDialogs& g = *game;
    g.panel.Show();
    g.panel.SetFindAllMode(true);
    g.panel.SetFindAllMode(false);
    for (CDialogBase* d : std::initializer_list<CDialogBase*>{
             &g.itemIdent, &g.pickItem, &g.pickEvidence, &g.mhPhoto, &g.invCard, &g.eventForItem, &g.inGameMenu,
             &g.confirmSaveExit, &g.searchFinish, &g.locFinish, &g.mhFinish, &g.solveConfirm, &g.helpPers,
             &g.yesNo, &g.outOfTime, &g.randomClicking, &g.tutorial, &g.tutorialBig, &g.marivelComment,
             &g.mhInstruction, &g.introText}) {
        d->Show();
        g.Update(0.05f, -1, 0, 0, 0);
        d->Hide();
    }
    g.ShowMessage("card_found", "1chapter", false);
    g.ShowPause(true);
    g.ShowPause(false);
    for (const char* tip : {"notepad", "mh_first_photo"}) {
        EXPECT_TRUE(g.tipManager.ShowTip(tip, 500, 400)) << tip;
        g.Update(0.05f, -1, 0, 0, 0);
        g.tipManager.HideTip();
    }
    g.banner.Start(false);
    g.Update(0.05f, -1, 0, 0, 0);
    g.HideAll();

    const std::vector<std::string> found = misses(takeLog());
    std::string shown;
    for (const std::string& line : found)
        shown += "\n  " + line;
    EXPECT_TRUE(found.empty()) << found.size() << " misses:" << shown;
    game.reset();
}
