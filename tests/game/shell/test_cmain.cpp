// The game's application: start-up and its order, the window title, the
// frame-time limit, render retries, shutdown, and a posted game message
// reaching the game root through the flow.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/gfx/a_graph_server.h"
#include "engine/gui/gui_server.h"
#include "engine/util/a_file_server.h"
#include "engine/util/a_input_server.h"
#include "engine/util/a_locale_server.h"
#include "engine/util/a_log.h"
#include "engine/util/text_test_log.h"
#include "game/shell/c_game_flow.h"
#include "game/shell/c_game_ini.h"
#include "game/shell/c_main.h"
#include "game/shell/c_res_manager.h"
#include "game/shell/profiles_manager.h"
#include "platform/system/clock.h"
#include "platform/system/events.h"
#include "flow_fakes.h"
#include "platform/input/keyboard.h"
#include "platform/system/window.h"
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

    // What was made before the flow, and optionally a flow on fakes.
    std::unique_ptr<CGameFlow> MakeGameFlow() override
    {
        madeBeforeFlow = m_graphServer && m_inputServer && GetResManager() && GetGui() &&
                         GetGui()->imageManager == GetResManager()->GetImageManager() &&
                         GetGui()->soundManager == GetResManager()->GetSoundManager();
        titleBeforeFlow = m_window ? m_window->title() : "";
        if (!withFakes)
            return cMain::MakeGameFlow();
        auto menu = std::make_unique<flowfakes::FakeMenu>(calls, menuAlive);
        fakeMenu = menu.get();
        auto root = std::make_unique<flowfakes::FakeRoot>(calls, menuAlive);
        fakeRoot = root.get();
        return std::make_unique<CGameFlow>(std::move(root), std::move(menu), nullptr);
    }
    bool madeBeforeFlow = false;
    std::string titleBeforeFlow;
    bool withFakes = false;
    flowfakes::Calls calls;
    bool menuAlive = false;
    flowfakes::FakeMenu* fakeMenu = nullptr;
    flowfakes::FakeRoot* fakeRoot = nullptr;
};

class CMainTest : public testing::Test {
protected:
    void SetUp() override
    {
        platform::setClock(&clock);
        platform::setKeyboard(&keys);
        platform::messageQueue().reset();
        platform::messageQueue().setSource(&events);
    }
    void TearDown() override
    {
        platform::messageQueue().setSource(nullptr);
        platform::messageQueue().reset();
        platform::setKeyboard(nullptr);
        platform::setClock(nullptr);
    }
    platform::ManualClock clock;
    platform::ScriptedKeyboard keys;
    platform::ScriptedEventSource events;

    // From the splash through the fake menu's Play to the fake root's play.
    void playFromMenu(TestMain& game)
    {
        keys.pushKeys({platform::DIK_ESCAPE});
        for (int i = 0; i < 10 && game.GetFlow()->GetScreen() != CGameFlow::kPlay; ++i) {
            if (game.GetFlow()->GetScreen() == CGameFlow::kMenu)
                game.fakeMenu->states[CGameFlow::Menu::kMainMenu] = CGameFlow::Menu::kPlay;
            clock.advanceMs(20);
            game.m_inputServer->update();
            game.cMain::update();
            keys.pushKeys({});
        }
        ASSERT_EQ(game.GetFlow()->GetScreen(), CGameFlow::kPlay);
    }
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
    // Everything the flow needs comes first; the title is the string table's.
    EXPECT_TRUE(game.madeBeforeFlow);
    EXPECT_EQ(game.titleBeforeFlow, "VRK");
    ASSERT_NE(game.GetFlow(), nullptr);
    EXPECT_EQ(game.GetFlow()->GetScreen(), CGameFlow::kSplash);
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
    EXPECT_EQ(game.GetFlow(), nullptr);
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

TEST_F(CMainTest, APostedGameMessageReachesTheRootInPlay)
{
    TestMain game;
    game.withFakes = true;
    ASSERT_EQ(game.init("VRK", nullptr, "", "Tallowmere"), 0);
    game.m_graphServer->m_fullscreen = true;
    // Escape ends the splash; in the menu the fake answers Play.
    playFromMenu(game);
    game.calls.clear();
    platform::messageQueue().post(platform::Message{game.m_window, cMain::kGameMessage, 1, 2});
    game.maxUpdates = game.updates + 1;
    game.onActivate();
    game.run();
    EXPECT_EQ(game.calls.front(), "root.OnActivate");
    EXPECT_NE(std::find(game.calls.begin(), game.calls.end(), "root.OnWindowMessage 1024"), game.calls.end());
    game.shutdown();
    EXPECT_EQ(game.calls.back(), "root.Unload, menu alive");
}

TEST_F(CMainTest, EveryCloseRequestIsLoggedWithWhatWasDone)
{
    TestMain game;
    game.withFakes = true;
    ASSERT_EQ(game.init("VRK", nullptr, "", "Tallowmere"), 0);
    game.m_graphServer->m_fullscreen = true;
    playFromMenu(game);
    TestLog log;

    // The case cannot be saved: the player's first close is refused, the
    // second ends the game unsaved.
    game.fakeRoot->saveFailure = "cannot write";
    EXPECT_EQ(platform::sendMessage(game.m_window, WM_CLOSE, kCloseFromWindow, 0), 0);
    EXPECT_FALSE(platform::messageQueue().quitPosted());
    EXPECT_EQ(log.count("cMain. Close request from the window: refused"), 1u);
    platform::sendMessage(game.m_window, WM_CLOSE, kCloseFromWindow, 0);
    EXPECT_TRUE(platform::messageQueue().quitPosted());
    EXPECT_EQ(log.count("cMain. Close request from the window: closing"), 1u);

    // A stop signal is never refused.
    platform::messageQueue().reset();
    game.fakeRoot->saveFailure.clear();
    platform::sendMessage(game.m_window, WM_CLOSE, kCloseFromSignal, 0);
    EXPECT_TRUE(platform::messageQueue().quitPosted());
    EXPECT_EQ(log.count("cMain. Close request from a stop signal: closing"), 1u);

    // The game's own close, when a frame fails.
    platform::messageQueue().reset();
    game.maxUpdates = game.updates + 1;
    game.onActivate();
    EXPECT_EQ(game.run(), 0);
    EXPECT_EQ(log.count("cMain. Close request from the game: closing"), 1u);
    EXPECT_EQ(log.count("cMain. Close request"), 4u);
    game.shutdown();
}
