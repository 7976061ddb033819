// The game's application: start-up, the frame-time limit, render retries.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/gfx/a_graph_server.h"
#include "engine/gui/gui_server.h"
#include "engine/util/a_file_server.h"
#include "engine/util/a_input_server.h"
#include "engine/util/a_locale_server.h"
#include "game/shell/c_game_ini.h"
#include "game/shell/c_main.h"
#include "game/shell/c_res_manager.h"
#include "game/shell/profiles_manager.h"
#include "platform/system/clock.h"
#include "platform/system/events.h"
#include "support/test_env.h"

namespace {

class TestMain : public cMain {
public:
    int update() override
    {
        ++updates;
        const int r = cMain::update();
        frameTimes.push_back(lastFrameTime());
        return updates >= maxUpdates ? -1 : r;
    }
    int render() override
    {
        const int r = cMain::render();
        renders.push_back(r);
        return r;
    }
    int updates = 0;
    int maxUpdates = 2;
    std::vector<int> renders;
    std::vector<float> frameTimes;
};

class CMainTest : public testing::Test {
protected:
    void SetUp() override
    {
        platform::setClock(&clock);
        platform::messageQueue().reset();
        platform::messageQueue().setSource(&events);
    }
    void TearDown() override
    {
        platform::messageQueue().setSource(nullptr);
        platform::messageQueue().reset();
        platform::setClock(nullptr);
    }
    platform::ManualClock clock;
    platform::ScriptedEventSource events;
};

} // namespace

TEST_F(CMainTest, InitMakesAssignsServersAndAWindowTitledByName)
{
    TestMain game;
    ASSERT_EQ(game.init("VRK", nullptr, "\"two words\" x", "Tallowmere"), 0);
    ASSERT_NE(game.m_graphServer, nullptr);
    ASSERT_NE(game.m_inputServer, nullptr);
    EXPECT_EQ(game.m_graphServer->m_backBufferWidth, 1024);
    EXPECT_EQ(game.m_graphServer->m_backBufferHeight, 768);
    EXPECT_FALSE(game.m_graphServer->m_fullscreen);
    EXPECT_TRUE(game.m_graphServer->m_vsync);
    EXPECT_EQ(game.m_windowClass.className, "VRK");
    ASSERT_NE(game.GetGui(), nullptr);
    EXPECT_EQ(GUI::Server::getSingletonPtr(), game.GetGui());

    const std::string home = getApplicationPath();
    EXPECT_EQ(game.m_fileServer.manglePath("gamedata:a"), home + "GameData/a");
    EXPECT_EQ(game.m_fileServer.manglePath("images:a.png"), home + "GameData/Images/a.png");
    EXPECT_EQ(game.m_fileServer.manglePath("language:Text/Main.txt"), home + "GameData/Language/English/Text/Main.txt");
    for (const char* assign : {"sounds", "ambients", "music", "particles", "video", "flash", "fonts", "gui"})
        EXPECT_NE(game.m_fileServer.getAssign(assign), "") << assign;

    // Settings and profiles come up with the game; the list is written at shutdown.
    ASSERT_NE(game.GetGameIni(), nullptr);
    EXPECT_EQ(CGameIni::getSingletonPtr(), game.GetGameIni());
    ASSERT_NE(game.GetProfiles(), nullptr);
    EXPECT_EQ(CurrentProfile::Get().name, "Player");
    const std::string saves = test_env::dataHome() + "Saved Games/Tallowmere/VRK/";
    EXPECT_EQ(game.GetProfiles()->GetSaveFileName(), game.m_savedGamesFolder + "Player.save");
    EXPECT_FALSE(test_env::exists(saves + "_profiles.dat"));
    ASSERT_NE(game.GetResManager(), nullptr);
    EXPECT_EQ(CResManager::getSingletonPtr(), game.GetResManager());
    EXPECT_NE(g_localeServer, nullptr);

    game.shutdown();
    EXPECT_TRUE(test_env::exists(saves + "_profiles.dat"));
    EXPECT_EQ(CGameIni::getSingletonPtr(), nullptr);
    EXPECT_EQ(ProfilesManager::getSingletonPtr(), nullptr);
    EXPECT_EQ(CResManager::getSingletonPtr(), nullptr);
    EXPECT_EQ(g_localeServer, nullptr);
    EXPECT_EQ(game.m_graphServer, nullptr);
    EXPECT_EQ(game.m_inputServer, nullptr);
    EXPECT_EQ(game.m_window, nullptr);
    EXPECT_EQ(GUI::Server::getSingletonPtr(), nullptr);
}

TEST_F(CMainTest, UpdateLimitsItsFrameTime)
{
    TestMain game;
    ASSERT_EQ(game.init("VRK", nullptr, "", "Tallowmere"), 0);
    game.m_graphServer->m_fullscreen = true;  // no pacing sleeps
    game.maxUpdates = 3;
    game.onActivate();
    clock.advanceMs(500);
    game.run();
    ASSERT_EQ(game.frameTimes.size(), 3u);
    EXPECT_FLOAT_EQ(game.frameTimes[0], cMain::kMaxFrameTime);
    game.shutdown();
}

TEST_F(CMainTest, TenFailedSceneStartsGiveOneAndTheNextPassUpdates)
{
    TestMain game;
    ASSERT_EQ(game.init("VRK", nullptr, "", "Tallowmere"), 0);
    game.m_graphServer->m_fullscreen = true;
    // A scene left open makes every further start fail.
    ASSERT_TRUE(game.m_graphServer->beginScene());
    game.maxUpdates = 2;
    EXPECT_EQ(game.run(), 0);
    ASSERT_EQ(game.renders.size(), 1u);
    EXPECT_EQ(game.renders[0], 1);
    EXPECT_EQ(game.updates, 2);
    EXPECT_EQ(clock.sleepCount, 9u);  // 100 ms between attempts
    EXPECT_EQ(clock.sleptMs, 900u);
    game.m_graphServer->endScene();
    game.shutdown();
}

TEST_F(CMainTest, ActivationPauses)
{
    TestMain game;
    game.onDeactivate();
    EXPECT_TRUE(game.m_paused);
    game.onActivate();
    EXPECT_FALSE(game.m_paused);
}
