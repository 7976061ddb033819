// The game in process on the demo data, offscreen, with the real root, menu
// and tips: Play loads the first case and plays it; a murder-hunt
// certificate is shown and recorded; the in-game menu's save and exit brings
// the menu back with the ribbon, the save and the profile list written. The
// case's results are handed out on demand.
#include <gtest/gtest.h>

#include <deque>
#include <string>

#include "engine/gui/gui_server.h"
#include "engine/util/a_file_server.h"
#include "engine/util/a_input_server.h"
#include "engine/util/a_log.h"
#include "engine/gui/gui_test_bench.h"
#include "game/SpyGame/Dialogs/MenuDialogs.h"
#include "game/SpyGame/SpyMain.h"
#include "game/shell/c_game_flow.h"
#include "game/shell/c_main.h"
#include "on_demand_game.h"
#include "game/shell/c_res_manager.h"
#include "game/shell/current_profile.h"
#include "game/shell/profiles_manager.h"
#include "support/scripted_input.h"

namespace {

using OnDemandRoot = ondemand::Root;
using PlayMain = ondemand::Main;

class GamePlayOnData : public testing::Test {
protected:
    void SetUp() override
    {
        test_env::installScriptedInput(clock, keys, mouse);
    }
    void TearDown() override
    {
        game.shutdown();
        test_env::removeScriptedInput();
    }
    void frames(int n = 1, unsigned buttons = 0)
    {
        for (int i = 0; i < n; ++i) {
            keys.pushKeys({});
            mouse.push(buttons, x, y);
            clock.advanceMs(20);
            game.m_inputServer->update();
            result = game.update();
            if (result == 0)
                game.render();
        }
    }
    void clickOn(GUI::Widget* w)
    {
        ASSERT_NE(w, nullptr);
        const aRect r = w->GetAbsoluteRect();
        x = r.x + r.width / 2;
        y = r.y + r.height / 2;
        frames();
        frames(1, 1);
        frames();
    }
    GUI::Widget* widget(const char* window, const char* name) const
    {
        GUI::Widget* w = game.GetGui()->GetRoot()->FindChild(window, true);
        return w ? w->FindChild(name, true) : nullptr;
    }
    // Frames until the root is in that state (or 600 frames).
    bool until(std::uint32_t state)
    {
        for (int i = 0; i < 600 && game.root->GetState() != state; ++i)
            frames();
        return game.root->GetState() == state;
    }

    platform::ManualClock clock;
    platform::ScriptedKeyboard keys;
    platform::ScriptedMouse mouse;
    PlayMain game;
    int x = 1010, y = 750;
    int result = 0;
};

} // namespace

TEST_F(GamePlayOnData, PlayACertificateAndBackToTheMenuWithTheRibbon)
{
    ASSERT_EQ(game.init("VRK", nullptr, "", "Tallowmere"), 0);
    CGameFlow& flow = *game.GetFlow();
    game.GetResManager()->SetProgressFunction([this](const std::string&) { clock.advanceMs(30); });
    // Any key ends the splash pictures; the shared resources then load.
    for (int i = 0; i < 800 && flow.GetScreen() != CGameFlow::kMenu; ++i)
        frames(1, i % 2);
    ASSERT_EQ(flow.GetScreen(), CGameFlow::kMenu);
    frames(30);
    GUI::Widget* ribbon = widget("MainMenu", "AwardMH");
    ASSERT_NE(ribbon, nullptr);
    EXPECT_FALSE(ribbon->IsVisible(true));

    clickOn(widget("MainMenu", "Play"));
    EXPECT_EQ(flow.GetScreen(), CGameFlow::kPlay);
    ASSERT_TRUE(until(CSpyMain::StatePlay));
    EXPECT_EQ(game.root->GetCurrentName(), "1chapter");
    frames(10);

    // The murder hunt solved: the certificate, its grade in the profile.
    game.root->inv.results = {24};
    frames();
    EXPECT_EQ(game.root->GetState(), CSpyMain::StateMHCertificate);
    std::int32_t tier = 0, count = 0;
    game.root->GetMHCertificate(tier, count);
    EXPECT_GE(tier, 1);
    EXPECT_EQ(CurrentProfile::Get().mhTier, tier);
    EXPECT_EQ(CurrentProfile::Get().mhCount, count);
    frames(5);
    GUI::Widget* certificate = game.GetGui()->GetRoot()->FindChild("MHCertificate", true);
    ASSERT_TRUE(certificate && certificate->IsVisible(true));
    clickOn(widget("MHCertificate", "back_mh"));
    EXPECT_EQ(game.root->GetState(), CSpyMain::StatePlay);
    EXPECT_FALSE(certificate->IsVisible(true));

    // The in-game menu, exit, yes: the menu with the ribbon.
    game.root->inv.results = {29};
    ASSERT_TRUE(until(CSpyMain::StateInGameMenu));
    frames(5);
    clickOn(widget("InGameMenu", "exit"));
    ASSERT_TRUE(until(CSpyMain::StateConfirmExit));
    frames(5);
    clickOn(widget("ConfirmSaveExit", "btn_yes"));
    EXPECT_EQ(flow.GetScreen(), CGameFlow::kMenu);
    frames(30);
    EXPECT_TRUE(ribbon->IsVisible(true));
    const ProfilesManager* profiles = ProfilesManager::getSingletonPtr();
    ASSERT_NE(profiles, nullptr);
    EXPECT_TRUE(file_isExist(profiles->GetSaveFileName(), false));
    EXPECT_NE(test_env::readFile(game.m_fileServer.manglePath(profiles->GetFolder()) + "_profiles.dat").size(), 0u);

    // Play again continues the saved case.
    clickOn(widget("MainMenu", "Play"));
    ASSERT_TRUE(until(CSpyMain::StatePlay));
    EXPECT_EQ(game.root->GetStartMode(), CSpyMain::ContinueGame);

    if (g_logFile)
        std::fflush(g_logFile);
    // Every tip the menu raises is defined and every sound it plays exists.
    const std::string expected;
    std::string faults;
    for (const std::string& line : test_env::readLines(game.m_fileServer.manglePath(game.m_userFolder) + "a2d.log"))
        for (const char* word : {"Error call", "not found", "Cannot", "not defined", "was not loaded"})
            if (line.find(word) != std::string::npos && line.find("16 bit") == std::string::npos)
                faults += line.substr(line.find('\t') + 1) + "\n";
    EXPECT_EQ(faults, expected);
}
