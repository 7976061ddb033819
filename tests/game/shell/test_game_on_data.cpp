// The game in process on the demo data, offscreen, driven by the scripted
// mouse and keyboard: clicks skip the splash, the loading bar grows frame
// by frame, the main menu draws, new players are made through the player
// choice (New, Enter), the more-games page shows its covers and opens its
// second link, Escape closes the menu's dialogs, and Exit ends the game
// without a fault in the log. Also the loading bar's pixels at nothing,
// half and all loaded.
#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <tuple>
#include <vector>

#include "engine/gfx/a_graph_server.h"
#include "engine/gfx/a_image_manager.h"
#include "engine/gui/gui_server.h"
#include "engine/util/a_input_server.h"
#include "engine/util/a_log.h"
#include "game/shell/c_game_flow.h"
#include "game/shell/c_main.h"
#include "game/shell/c_res_loader.h"
#include "game/shell/c_res_manager.h"
#include "platform/system/link_opener.h"
#include "engine/gui/gui_test_bench.h"
#include "support/scripted_input.h"

namespace {

// Words of log lines that report something wrong.
const char* const kFaults[] = {"Error",   "not found",     "Cannot find",   "already",   "invalid",
                               "cannot create", "not specified", "lacks", "No window", "bad value", "left out"};

class GameOnData : public testing::Test {
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
    // Frames of 20 ms, as the loop runs them.
    void frames(int n = 1, unsigned buttons = 0, std::initializer_list<std::uint8_t> held = {})
    {
        for (int i = 0; i < n; ++i) {
            keys.pushKeys(held);
            mouse.push(buttons, x, y);
            clock.advanceMs(20);
            game.m_inputServer->update();
            result = game.update();
            if (result == 0)
                game.render();
        }
    }
    void click(int cx, int cy)
    {
        x = cx;
        y = cy;
        frames();
        frames(1, 1);
        frames();
    }
    void clickOn(const char* name)
    {
        const aRect r = widget(name)->GetAbsoluteRect();
        click(r.x + r.width / 2, r.y + r.height / 2);
    }
    // Each character's key goes down and up in a frame of its own, Shift
    // around capitals, the character typed as the key goes down.
    void type(const std::string& text)
    {
        using K = platform::ScriptedKeyboard;
        for (char c : text) {
            std::uint8_t key = 0;
            for (std::uint32_t k = 1; k < 256 && !key; ++k)
                if (GUI::Server::KeyToChar(k, 0) == std::tolower(static_cast<unsigned char>(c)))
                    key = std::uint8_t(k);
            const bool capital = std::isupper(static_cast<unsigned char>(c)) != 0;
            std::vector<K::Step> steps;
            if (capital)
                steps.push_back(K::press(platform::DIK_LSHIFT));
            steps.insert(steps.end(), {K::press(key), K::type(char32_t(c)), K::lift(key)});
            if (capital)
                steps.push_back(K::lift(platform::DIK_LSHIFT));
            keys.pushEvents(steps);
            mouse.push(0, x, y);
            clock.advanceMs(20);
            game.m_inputServer->update();
            result = game.update();
            if (result == 0)
                game.render();
        }
        frames();
    }
    // Escape pressed for a frame and let go.
    void escape()
    {
        frames(1, 0, {platform::DIK_ESCAPE});
        frames();
    }
    GUI::Widget* widget(const char* name) const { return game.GetGui()->GetRoot()->FindChild(name, true); }

    platform::ManualClock clock;
    platform::ScriptedKeyboard keys;
    platform::ScriptedMouse mouse;
    cMain game;
    int x = 512, y = 384;
    int result = 0;
};

} // namespace

TEST_F(GameOnData, SplashLoadingMenuPlayerChoiceAndExit)
{
    using Flow = CGameFlow;
    ASSERT_EQ(game.init("VRK", nullptr, "", "Tallowmere"), 0);
    Flow& flow = *game.GetFlow();
    // Loading a file takes 30 ms, so a step of 100 ms holds a few.
    game.GetResManager()->SetProgressFunction([this](const std::string&) { clock.advanceMs(30); });

    // Each click fades the splash screen shown out at once.
    frames(3);
    ASSERT_EQ(flow.GetScreen(), Flow::kSplash);
    click(x, y);
    frames(25);
    EXPECT_EQ(flow.GetSplash().GetCurrent(), 1u);
    click(x, y);
    frames(23);
    EXPECT_EQ(flow.GetScreen(), Flow::kLoading);

    // The demo lists load behind the loading screen, whose bar grows.
    GUI::Widget* bar = widget("progress");
    ASSERT_NE(bar, nullptr);
    std::vector<int> widths;
    while (flow.GetScreen() == Flow::kLoading && widths.size() < 200) {
        frames();
        if (widths.empty() || widths.back() != bar->GetAreaRect().width)
            widths.push_back(bar->GetAreaRect().width);
    }
    EXPECT_GE(widths.size(), 3u);
    EXPECT_TRUE(std::is_sorted(widths.begin(), widths.end()));
    EXPECT_EQ(widths.back(), 600);
    ASSERT_EQ(flow.GetScreen(), Flow::kMenu);

    // The menu: its background as the picture has it, the player's name in ink.
    frames(20);
    const std::vector<std::uint32_t> screen = gstest::readBackBuffer(*game.m_graphServer);
    const aImage* background = game.GetResManager()->GetImageManager()->GetImage("menu_bg", "Menu");
    ASSERT_NE(background, nullptr);
    platform::GfxTexture* texture = background->getTexture();
    D3DSURFACE_DESC desc;
    D3DLOCKED_RECT texels;
    ASSERT_TRUE(texture && SUCCEEDED(texture->GetLevelDesc(0, &desc)) &&
                SUCCEEDED(texture->LockRect(0, &texels, nullptr, D3DLOCK_READONLY)));
    for (const auto& [px, py] : {std::make_pair(1000, 740), {700, 300}, {842, 318}}) {
        const std::uint32_t shown = screen[std::size_t(py) * 1024 + std::size_t(px)];
        const std::uint32_t drawn = platform::decodePixel(
            desc.Format, static_cast<const std::uint8_t*>(texels.pBits) + py * texels.Pitch + px * 4);
        for (int shift = 0; shift < 24; shift += 8)
            EXPECT_NEAR(int((shown >> shift) & 0xFF), int((drawn >> shift) & 0xFF), 2)
                << px << "," << py;
    }
    texture->UnlockRect(0);
    const aRect name = widget("UserName")->GetAbsoluteRect();
    int ink = 0;
    for (int py = name.y; py < name.bottom(); ++py)
        for (int px = name.x; px < name.right(); ++px)
            ink += (screen[std::size_t(py) * 1024 + std::size_t(px)] >> 16) > 0xE0;
    EXPECT_GT(ink, 50);

    // A new player: the choice, a typed name, New.
    clickOn("ChangeProfile");
    ASSERT_EQ(flow.GetScreen(), Flow::kProfiles);
    type("Ann");
    EXPECT_EQ(widget("Name")->GetText(), L"Ann");
    clickOn("New");
    frames(2);
    EXPECT_EQ(flow.GetScreen(), Flow::kMenu);
    EXPECT_EQ(widget("UserName")->GetText(), L"Ann");
    const std::string list = game.m_fileServer.manglePath(game.m_savedGamesFolder) + "_profiles.dat";
    EXPECT_NE(test_env::readFile(list).find("Ann"), std::string::npos);
    // Enter in the name does as New; Escape with a name typed adds nobody.
    clickOn("ChangeProfile");
    type("Bea");
    frames(1, 0, {platform::DIK_RETURN});
    frames(2);
    EXPECT_EQ(flow.GetScreen(), Flow::kMenu);
    EXPECT_EQ(widget("UserName")->GetText(), L"Bea");
    clickOn("ChangeProfile");
    type("Cy");
    escape();
    EXPECT_EQ(flow.GetScreen(), Flow::kMenu);
    EXPECT_EQ(widget("UserName")->GetText(), L"Bea");
    EXPECT_EQ(test_env::readFile(list).find("Cy"), std::string::npos);

    // The more-games page over the menu, whose controls make way; its second
    // button opens the second link of MoreGames.ini beside the game.
    platform::RecordingLinkOpener links;
    platform::setLinkOpener(&links);
    clickOn("MoreGames");
    GUI::Widget* page = game.GetGui()->GetRoot()->FindChild("MoreGames");
    ASSERT_TRUE(page && page->IsVisible(true));
    EXPECT_FALSE(widget("Play")->IsVisible(true));
    EXPECT_FALSE(widget("Exit")->IsVisible(true));
    // Each column shows its cover (menu art more_games.txt): the letter's
    // paper, a lit window of the lane, the moon over the manor.
    frames(2);
    const std::vector<std::uint32_t> covers = gstest::readBackBuffer(*game.m_graphServer);
    for (const auto& [px, py, rgb] : {std::tuple{262, 324, 0xF2E6C8u}, {489, 322, 0xFFD870u}, {782, 292, 0xF4ECD0u}})
        for (int shift = 0; shift < 24; shift += 8)
            EXPECT_NEAR(int((covers[std::size_t(py) * 1024 + std::size_t(px)] >> shift) & 0xFF),
                        int((rgb >> shift) & 0xFF), 8)
                << px << "," << py;
    const aRect download2 = page->FindChild("download2", true)->GetAbsoluteRect();
    click(download2.x + download2.width / 2, download2.y + download2.height / 2);
    platform::setLinkOpener(nullptr);
    ASSERT_EQ(links.links.size(), 1u);
    EXPECT_EQ(links.links[0], "https://example.com/games/brask-manor");
    const aRect back = page->FindChild("back", true)->GetAbsoluteRect();
    click(back.x + back.width / 2, back.y + back.height / 2);
    EXPECT_FALSE(page->IsVisible(true));
    EXPECT_TRUE(widget("Play")->IsVisible(true));

    // Escape closes what a Cancel, Close or Back button closes, and only the
    // dialog in front.
    for (const auto& [button, name] : {std::pair{"Options", "OptionsMenu"}, {"Help", "HelpMenu"},
                                         {"MoreGames", "MoreGames"}}) {
        clickOn(button);
        GUI::Widget* dialog = game.GetGui()->GetRoot()->FindChild(name);
        ASSERT_TRUE(dialog && dialog->IsVisible(true)) << button;
        EXPECT_FALSE(widget("Exit")->IsVisible(true)) << button;
        escape();
        EXPECT_FALSE(dialog->IsVisible(true)) << button;
        EXPECT_TRUE(widget("Play")->IsVisible(true)) << button;
        EXPECT_EQ(flow.GetScreen(), Flow::kMenu);
    }

    clickOn("Exit");
    EXPECT_EQ(result, A2D_E_ABORT);

    if (g_logFile)
        std::fflush(g_logFile);
    // From the flow's boot on; the start-up before it reports the machine.
    bool booted = false;
    for (const std::string& line : test_env::readLines(game.m_fileServer.manglePath(game.m_userFolder) + "a2d.log")) {
        booted = booted || line.find("gui:LoadingScreen.agui") != std::string::npos;
        if (!booted)
            continue;
        for (const char* fault : kFaults) {
            if (line.find("Created new") == std::string::npos) {
                EXPECT_EQ(line.find(fault), std::string::npos) << line;
            }
        }
    }
}

namespace {

class LoadingBarPixels : public guitest::GuiBench<guitest::SizedGlServerTest<1024, 768>> {
protected:
    GUI::Server* gui_() override { return gui.get(); }
};

} // namespace

TEST_F(LoadingBarPixels, TheBarAtNothingHalfAndAll)
{
    app.m_fileServer.setAssign("gamedata", test_env::sourceDir() + "/data/GameData/");
    app.m_fileServer.setAssign("images", "gamedata:Images/");
    app.m_fileServer.setAssign("fonts", "gamedata:Fonts/");
    app.m_fileServer.setAssign("gui", "gamedata:Gui/");
    images->LoadList("images:Loading/_images.list", "");
    gui->load("gui:LoadingScreen.agui");
    gui->InitWidgets();

    // Two files of the same cost: one step loads one, so the bar stops half-way.
    CResManager res(false);
    const std::string folder = test_env::home() + "/two/";
    const std::string picture = test_env::readFile(test_env::sourceDir() + "/data/GameData/Images/Menu/goldmh.png");
    test_env::writeFile(folder + "a.png", picture);
    test_env::writeFile(folder + "b.png", picture);
    test_env::writeFile(folder + "_images.list", "a.png 8888 8888\nb.png 8888 8888\n");
    res.GetImageManager()->AddListToTask(folder + "_images.list", "", "");
    res.SetProgressFunction([this](const std::string&) { clock.advanceMs(150); });
    CResLoader loader;
    loader.ShowScreen("", 0);

    // The right end of the bar on its middle row, inside the groove.
    auto barEnd = [this] {
        draw();
        const std::vector<std::uint32_t> row = backBuffer();
        int end = 212;
        for (int px = 208; px < 816; ++px)
            if ((row[656 * 1024 + std::size_t(px)] >> 16) > 0x80)
                end = px + 1;
        return end;
    };
    EXPECT_EQ(barEnd(), 212);
    EXPECT_LT(pixelAt(300, 656) >> 16, 0x30u);
    loader.BeginLoad();
    EXPECT_EQ(loader.Update(0.02f), CResLoader::kLoading);
    EXPECT_NEAR(barEnd(), 512, 1);
    EXPECT_EQ(loader.Update(0.02f), CResLoader::kDone);
    EXPECT_NEAR(barEnd(), 812, 1);
}
