// The game flow with a fake root, menu and tip manager on the recording
// device: the boot order and the menu entry as a call log, every menu
// result, play and certificates, the story-over check, forwarding, the
// player choice, due tips, and missing collaborators.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "engine/gui/gui_listbox.h"
#include "engine/gui/gui_server.h"
#include "engine/util/a_file_server.h"
#include "engine/util/a_input_server.h"
#include "engine/util/a_locale_server.h"
#include "engine/util/a_zip_archives.h"
#include "game/shell/c_game_flow.h"
#include "game/shell/c_res_manager.h"
#include "game/shell/profiles_manager.h"
#include "game/shell/save_load_entity.h"
#include "game/shell/save_load_system.h"
#include "platform/input/keyboard.h"
#include "platform/input/mouse.h"
#include "platform/system/clock.h"
#include "support/zip_writer.h"
#include "flow_fakes.h"
#include "profile_list_file.h"
#include "test_image_fixture.h"

namespace {

using Calls = flowfakes::Calls;
using Menu = CGameFlow::Menu;
using flowfakes::FakeMenu;
using flowfakes::FakeRoot;
using flowfakes::FakeTips;

// The head of the root's save record, as the root writes it.
struct SavedStory : SaveLoadEntity {
    explicit SavedStory(std::string n) : SaveLoadEntity("<SpyMain>"), name(std::move(n)) {}
    std::uint32_t LoadSelf(SaveLoadSystem&, std::uint32_t pos) override { return pos; }
    std::uint32_t SaveSelf(SaveLoadSystem& s, std::uint32_t pos) override
    {
        pos = s.WriteU32(s.WriteU32(s.WriteString(pos, name), 0), 0);
        return s.WriteU8(s.WriteU8(pos, 0), 0);
    }
    std::string name;
};


class FlowTest : public imgtest::RecordingTest {
public:
    const char* appName() const override { return "FlowTest"; }
    void SetUp() override
    {
        platform::setClock(&clock);
        platform::setKeyboard(&keys);
        platform::setMouse(&mouse);
        RecordingTest::SetUp();
        const std::string data = test_env::home() + "/GameData/";
        app.m_fileServer.setAssign("gamedata", data);
        for (const char* a : {"images", "sounds", "music", "particles", "gui"})
            app.m_fileServer.setAssign(a, std::string("gamedata:") + a + "/");
        // The game's own player choice, without the rest of its GUI.
        test_env::writeFile(data + "gui/index.agui",
                            "#include \"" + test_env::sourceDir() + "/data/GameData/Gui/menu.agui\"\n");
        input = new aInputServer();
        res = std::make_unique<CResManager>(false);
        res->GetLocaleServer()->loadFile(putFile("Main.txt", "profile_error_empty = \"Type a name\"\n"
                                                             "profile_delete_confirm = \"Delete %s?\"\n"));
        gui = std::make_unique<GUI::Server>(res->GetImageManager(), res->GetSoundManager());
        profiles = std::make_unique<ProfilesManager>(app.m_savedGamesFolder);
        profiles->Load();
    }
    void TearDown() override
    {
        flow.reset();
        profiles.reset();
        gui.reset();
        res.reset();
        delete app.m_inputServer;
        RecordingTest::TearDown();
        platform::setMouse(nullptr);
        platform::setKeyboard(nullptr);
        platform::setClock(nullptr);
    }

    // A flow through boot and loading into the menu; the call log starts there.
    void toMenu(bool withRoot = true, bool withTips = true)
    {
        auto m = std::make_unique<FakeMenu>(calls, menuAlive);
        menu = m.get();
        root = withRoot ? new FakeRoot(calls, menuAlive) : nullptr;
        flow = std::make_unique<CGameFlow>(std::unique_ptr<CGameFlow::Root>(root), std::move(m),
                                           withTips ? &tips : nullptr);
        flow->SetMoreGamesFile(test_env::home() + "/MoreGames.ini");
        flow->Start();
        frame();
        frame();
    }
    void frame(unsigned buttons = 0, std::initializer_list<std::uint8_t> held = {})
    {
        keys.pushKeys(held);
        mouse.push(buttons, 50, 50);
        clock.advanceMs(20);
        input->update();
        running = flow->Update(0.02f);
    }
    // A result of the main menu, seen for one update.
    void press(std::int32_t result)
    {
        menu->states[Menu::kMainMenu] = result;
        frame();
        menu->states[Menu::kMainMenu] = 2;
    }
    Calls take()
    {
        Calls out;
        out.swap(calls);
        return out;
    }
    void writeSave(const std::string& file, const std::string& name)
    {
        SaveLoadSystem save;
        SavedStory story(name);
        ASSERT_TRUE(save.BeginSave(file, CGameFlow::kSaveVersion));
        save.SaveEntity(&story);
        ASSERT_TRUE(save.Finish());
    }
    GUI::Widget* widget(const char* name) const { return gui->GetRoot()->FindChild(name, true); }

    platform::ManualClock clock;
    platform::ScriptedKeyboard keys;
    platform::ScriptedMouse mouse;
    aInputServer* input = nullptr;
    std::unique_ptr<CResManager> res;
    std::unique_ptr<GUI::Server> gui;
    std::unique_ptr<ProfilesManager> profiles;
    Calls calls;
    bool menuAlive = false;
    FakeTips tips{calls};
    FakeRoot* root = nullptr;
    FakeMenu* menu = nullptr;
    std::unique_ptr<CGameFlow> flow;
    bool running = true;
};

const Calls kMenuEntry = {"menu.SetUserName Player", "menu.SetAwardMH 0",    "menu.SetAwardFA 0",
                          "menu.BlockFindAll 1",     "menu.HideMoreGames 1", "menu.Show MainMenu"};

Calls concat(Calls a, const Calls& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

} // namespace

TEST_F(FlowTest, BootLoadsThenEntersTheMenuAndTheRootUnloadsFirst)
{
    toMenu();
    EXPECT_EQ(flow->GetScreen(), CGameFlow::kMenu);
    EXPECT_EQ(take(), concat({"menu.LoadAmbient", "root.Init", "root.LoadCommonResources", "root.FinishLoading",
                              "menu.Init", "root.ReturnToMenu"},
                             kMenuEntry));
    EXPECT_NE(newLog().find("CGameFlow. Main menu, player 'Player'"), std::string::npos);
    frame();
    EXPECT_EQ(take(), Calls{"tips.ShowTip profile_open"});
    flow.reset();
    EXPECT_EQ(take(), Calls{"root.Unload, menu alive"});
}

TEST_F(FlowTest, EveryMenuResult)
{
    using D = Menu::Dialog;
    struct Row {
        const char* what;
        std::set<D> dialogs;
        std::function<void(FlowTest&)> before;
        std::vector<std::pair<D, std::int32_t>> results;
        Calls expected;
        CGameFlow::Screen screen;
    };
    const std::string moreGames = test_env::home() + "/MoreGames.ini";
    auto faSave = [](FlowTest& t) { t.writeSave(t.profiles->GetSaveFileName() + "FA", "FindAll"); };
    const std::vector<Row> rows = {
        {"play", {}, nullptr, {{D::kMainMenu, 4}}, {"root.ContinuePlay", "menu.HideAll"}, CGameFlow::kPlay},
        {"options, cancelled", {D::kOptions}, nullptr, {{D::kMainMenu, 5}, {D::kOptions, 3}},
         {"menu.Show Options", "menu.Hide Options"}, CGameFlow::kMenu},
        {"help, closed", {D::kHelp}, nullptr, {{D::kMainMenu, 6}, {D::kHelp, 3}},
         {"menu.ShowCreditsButton 1", "menu.Show Help", "menu.Hide Help"}, CGameFlow::kMenu},
        {"help, credits (none in the data)", {D::kHelp}, nullptr, {{D::kMainMenu, 6}, {D::kHelp, 5}},
         concat({"menu.ShowCreditsButton 1", "menu.Show Help", "menu.Hide Help", "menu.HideAll"}, kMenuEntry),
         CGameFlow::kMenu},
        {"exit", {}, nullptr, {{D::kMainMenu, 8}}, {}, CGameFlow::kQuit},
        {"change player", {}, nullptr, {{D::kMainMenu, 9}}, {"tips.ShowTip profile_change"}, CGameFlow::kProfiles},
        {"find all, no saved game", {D::kRestartFA}, nullptr, {{D::kMainMenu, 10}},
         {"root.StartFindAll", "menu.HideAll"}, CGameFlow::kPlay},
        {"find all, saved: restart", {D::kRestartFA}, faSave, {{D::kMainMenu, 10}, {D::kRestartFA, 3}},
         {"menu.Show RestartFA", "menu.Hide RestartFA", "root.StartFindAll", "menu.HideAll"},
         CGameFlow::kPlay},
        {"find all, saved: continue", {D::kRestartFA}, faSave, {{D::kMainMenu, 10}, {D::kRestartFA, 4}},
         {"menu.Show RestartFA", "menu.Hide RestartFA", "root.ContinuePlayFindAll", "menu.HideAll"},
         CGameFlow::kPlay},
        {"find all, saved but completed", {D::kRestartFA},
         [&](FlowTest& t) {
             faSave(t);
             CurrentProfile::Get().faCompleted = 1.0f;
         },
         {{D::kMainMenu, 10}}, {"root.StartFindAll", "menu.HideAll"}, CGameFlow::kPlay},
        {"murder-hunt award", {D::kMHCertificate}, nullptr, {{D::kMainMenu, 11}, {D::kMHCertificate, 3}},
         {"menu.Show MHCertificate", "menu.Hide MHCertificate"}, CGameFlow::kMenu},
        {"find-all award", {D::kFACertificate}, nullptr, {{D::kMainMenu, 12}, {D::kFACertificate, 3}},
         {"menu.Show FACertificate", "menu.Hide FACertificate"}, CGameFlow::kMenu},
        {"more games, three links, back", {D::kMoreGames},
         [&](FlowTest&) {
             test_env::writeFile(moreGames, "[SETUP]\nstate = TWOLINKS\nurl1 = http://one\nurl2 = http://two\n");
         },
         {{D::kMainMenu, 13}, {D::kMoreGames, 4}, {D::kMoreGames, 5}, {D::kMoreGames, 6}, {D::kMoreGames, 3}},
         {"menu.SetupMoreGames " + moreGames, "menu.Show MoreGames", "menu.OpenLink http://one",
          "menu.OpenLink http://two", "menu.OpenLink ", "menu.Hide MoreGames"},
         CGameFlow::kMenu},
    };
    for (const Row& row : rows) {
        CurrentProfile::Get().faCompleted = 0.0f;
        if (row.before)
            row.before(*this);
        toMenu();
        menu->present.insert(row.dialogs.begin(), row.dialogs.end());
        frame();
        take();
        for (const auto& [dialog, result] : row.results) {
            if (dialog == D::kMainMenu)
                press(result);
            else {
                menu->states[dialog] = result;
                frame();
            }
        }
        frame();
        Calls seen = take();
        seen.erase(std::remove(seen.begin(), seen.end(), "root.Update"), seen.end());
        EXPECT_EQ(seen, row.expected) << row.what;
        EXPECT_EQ(flow->GetScreen(), row.screen) << row.what;
        EXPECT_EQ(running, row.screen != CGameFlow::kQuit) << row.what;
        std::remove(app.m_fileServer.manglePath(profiles->GetSaveFileName() + "FA").c_str());
    }
}

TEST_F(FlowTest, OptionsAppliedWriteTheProfilesAtOnce)
{
    const std::string list = app.m_fileServer.manglePath(app.m_savedGamesFolder) + "_profiles.dat";
    toMenu();
    menu->present.insert(Menu::kOptions);
    EXPECT_FALSE(test_env::exists(list));
    press(5);
    menu->states[Menu::kOptions] = 4;
    frame();
    EXPECT_TRUE(test_env::exists(list));
    EXPECT_EQ(menu->GetState(Menu::kOptions), 1);
}

TEST_F(FlowTest, SavesThatFailAreToldOnceInTheMenu)
{
    res->GetLocaleServer()->loadFile(putFile("Save.txt", "save_failed_game = \"No game saved.\"\n"
                                                         "save_failed_players = \"No players saved.\"\n"
                                                         "save_error_full = \"Disk full.\"\n"
                                                         "save_error_no_folder = \"No folder.\"\n"));
    toMenu();
    menu->present.insert({Menu::kNotice, Menu::kOptions});
    press(4);
    root->saveFailure = "save_error_full";
    root->states = {6};
    frame();
    EXPECT_EQ(flow->GetScreen(), CGameFlow::kMenu);
    take();
    frame();
    frame();
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "menu.Show Notice"), 1);
    EXPECT_EQ(menu->notice, L"No game saved. Disk full.");
    menu->states[Menu::kNotice] = 3;
    frame();
    EXPECT_EQ(menu->GetState(Menu::kNotice), 1);

    // The player list, written when the options are applied, has no folder.
    const std::string saves = app.m_fileServer.manglePath(app.m_savedGamesFolder);
    std::filesystem::remove_all(saves);
    test_env::writeFile(saves.substr(0, saves.size() - 1), "a file");
    press(5);
    menu->states[Menu::kOptions] = 4;
    take();
    frame();
    frame();
    EXPECT_EQ(take(), (Calls{"menu.Hide Options", "menu.Show Notice"}));
    EXPECT_EQ(menu->notice, L"No players saved. No folder.");
    EXPECT_NE(newLog().find("CGameFlow. The player is told: save_failed_players, save_error_no_folder"),
              std::string::npos);
}

TEST_F(FlowTest, PlayForwardsUpdatesBeforeDrawingRecordsCertificatesOnceAndComesBack)
{
    toMenu();
    EXPECT_EQ(flow->OnWindowMessage(nullptr, CGameFlow::kRootMessage, 1, 2), 0);
    EXPECT_TRUE(flow->OnQuitRequest(true));  // no game to save in the menu
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "root.SaveBeforeQuit"), 0);
    take();
    press(4);
    EXPECT_EQ(flow->OnWindowMessage(nullptr, CGameFlow::kRootMessage, 1, 2), 77);
    flow->OnDeactivate();
    EXPECT_TRUE(flow->OnQuitRequest(true));
    EXPECT_EQ(take(), (Calls{"root.ContinuePlay", "menu.HideAll", "root.OnWindowMessage 1024", "root.OnDeactivate",
                             "root.SaveBeforeQuit"}));
    root->states = {12, 17, 17, 17, 12, 18, 18, 7};
    frame();
    flow->Render();
    EXPECT_EQ(take(), (Calls{"root.Update", "root.Draw"}));
    for (int i = 0; i < 6; ++i)
        frame();
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "root.GetMHCertificate"), 1);
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "root.GetFACertificate"), 1);
    const CurrentProfile& p = CurrentProfile::Get();
    EXPECT_EQ(std::vector<std::int32_t>({p.mhTier, p.mhCount, p.faTier, p.faCount}),
              std::vector<std::int32_t>({2, 5, 1, 0}));
    EXPECT_EQ(p.faCompleted, 1.0f);
    CurrentProfile::Get() = CurrentProfile();
    profiles->Load();  // written at once
    EXPECT_EQ(std::vector<std::int32_t>({p.mhTier, p.faTier}), std::vector<std::int32_t>({2, 1}));

    // 7: the story is over; back in the menu with Find All open and its tips due.
    take();
    frame();
    EXPECT_EQ(take(), (Calls{"root.Update", "root.ReturnToMenu", "menu.SetUserName Player", "menu.SetAwardMH 2",
                             "menu.SetAwardFA 1", "menu.BlockFindAll 0", "menu.HideMoreGames 1",
                             "menu.Show MainMenu"}));
    EXPECT_EQ(flow->GetDueTips(), (std::deque<std::string>{"mh_first_ribbon_appear", "fa_first_ribbon_appear",
                                                           "first_find_all_btn_appear"}));
    // 6 after another game: still over in this run.
    press(4);
    root->states = {6};
    frame();
    EXPECT_EQ(flow->GetScreen(), CGameFlow::kMenu);
    EXPECT_NE(std::find(calls.begin(), calls.end(), "menu.BlockFindAll 0"), calls.end());
}

TEST_F(FlowTest, FindAllOpensOnlyOnceTheStoryIsWonAndStaysOpen)
{
    const std::string list = app.m_fileServer.manglePath(app.m_savedGamesFolder) + "_profiles.dat";
    auto blocked = [this]() {
        const auto it = std::find_if(calls.rbegin(), calls.rend(),
                                     [](const std::string& c) { return c.rfind("menu.BlockFindAll", 0) == 0; });
        return it == calls.rend() ? std::string("none") : it->substr(18);
    };
    // The murder hunt solved within the story: its ribbon's tip, Find All
    // still closed.
    toMenu();
    press(4);
    root->states = {12, 17, 17, 6};
    for (int i = 0; i < 4; ++i)
        frame();
    ASSERT_EQ(flow->GetScreen(), CGameFlow::kMenu);
    EXPECT_EQ(blocked(), "1");
    EXPECT_EQ(flow->GetDueTips(), std::deque<std::string>{"mh_first_ribbon_appear"});
    frame();

    // The story won: Find All opens with its tip, which is kept as seen.
    press(4);
    root->states = {7};
    frame();
    EXPECT_EQ(blocked(), "0");
    take();
    frame();
    EXPECT_EQ(take(), Calls{"tips.ShowTip first_find_all_btn_appear"});

    // Play anew, saved over the won story: the win and the tip seen stay
    // with the player. A story save standing at its end (the game stopped as
    // the story was won) marks another player's win at once.
    writeSave(profiles->GetSaveFileName(), "Case1");
    CurrentProfile::Get() = CurrentProfile();
    profiles->Load();
    EXPECT_TRUE(flow->IsStoryOver());
    EXPECT_EQ(CurrentProfile::Get().tipsShown, CurrentProfile::kTipMHRibbon | CurrentProfile::kTipFindAllOpen);
    ASSERT_EQ(profiles->Add("Ann"), ProfilesManager::NameError::None);
    ASSERT_TRUE(profiles->Select(1));
    writeSave(profiles->GetSaveFileName(), "EndGame");
    EXPECT_TRUE(flow->IsStoryOver());
    writeSave(profiles->GetSaveFileName(), "Case1");
    EXPECT_TRUE(flow->IsStoryOver());
    EXPECT_EQ(profiles->GetProfile(1).storyWon, 1);

    // A player list from before the mark: Find All played shows the win and
    // its tip as seen; a murder-hunt certificate alone does not. The mark is
    // then written.
    struct Old {
        std::int32_t mhTier, faTier;
        bool faSave, won;
    };
    for (const Old& old : {Old{2, 0, false, false}, Old{0, 3, false, true}, Old{0, 0, true, true}}) {
        flow.reset();
        ListFile file(1, 0);
        file.oldRecord("Old", old.mhTier, old.faTier, 0.0f);
        file.write(list);
        CurrentProfile::Get() = CurrentProfile();
        profiles->Load();
        const std::string faSave = app.m_fileServer.manglePath(profiles->GetSaveFileName() + "FA");
        std::remove(faSave.c_str());
        if (old.faSave)
            writeSave(profiles->GetSaveFileName() + "FA", "FindAll");
        take();
        toMenu();
        EXPECT_EQ(blocked(), old.won ? "0" : "1") << old.faTier;
        EXPECT_EQ(flow->GetDueTips(), std::deque<std::string>{"profile_open"}) << old.faTier;
        CurrentProfile::Get() = CurrentProfile();
        profiles->Load();
        EXPECT_EQ(CurrentProfile::Get().storyWon, old.won ? 1 : 0) << old.faTier;
    }

    // A save the look cannot read or load is marked for nothing.
    ASSERT_EQ(profiles->Add("Bob"), ProfilesManager::NameError::None);
    ASSERT_TRUE(profiles->Select(1));
    const std::string save = profiles->GetSaveFileName();
    test_env::writeFile(app.m_fileServer.manglePath(save), "damaged");
    EXPECT_FALSE(flow->IsStoryOver());
    EXPECT_FALSE(SaveLoadSystem::KeepsAsideBeforeSave(save));
    EXPECT_FALSE(SaveLoadSystem::IsLeftAlone(save));
}

TEST_F(FlowTest, PlayOverASaveThatCannotBeReadNowOrBeContinuedKeepsTheMenuAndSaysWhyAndWhere)
{
    res->GetLocaleServer()->loadFile(putFile("Load.txt", "load_failed_game = \"Cannot read it now.\"\n"
                                                         "load_error_denied = \"Not allowed.\"\n"
                                                         "load_unusable_game = \"Damaged.\"\n"
                                                         "load_kept_as = \"Kept as \"%s\".\"\n"));
    toMenu();
    menu->present.insert(Menu::kNotice);
    frame();
    take();
    root->loadFailure = {"load_failed_game", "load_error_denied", ""};
    press(4);
    EXPECT_EQ(take(), (Calls{"root.ContinuePlay", "menu.Show Notice"}));
    EXPECT_EQ(flow->GetScreen(), CGameFlow::kMenu);
    EXPECT_EQ(menu->notice, L"Cannot read it now. Not allowed.");
    root->loadFailure = {"load_unusable_game", "load_kept_as", "Player.save.bad"};
    press(10);
    EXPECT_EQ(take(), (Calls{"root.StartFindAll", "menu.Show Notice"}));
    EXPECT_EQ(menu->notice, L"Damaged. Kept as \"Player.save.bad\".");
    EXPECT_NE(newLog().find("told: load_unusable_game, load_kept_as, Player.save.bad"), std::string::npos);
    press(4);
    EXPECT_EQ(flow->GetScreen(), CGameFlow::kPlay);

    // Found once the case's data has loaded: the root is back in the menu,
    // which tells it.
    root->loadFailure = {"load_unusable_game", "load_kept_as", "Player.save.bad.2"};
    root->states = {6};
    frame();
    EXPECT_EQ(flow->GetScreen(), CGameFlow::kMenu);
    EXPECT_EQ(menu->notice, L"Damaged. Kept as \"Player.save.bad.2\".");
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "menu.Show Notice"), 1);
}

TEST_F(FlowTest, AWindowCloseWhoseSaveFailsIsRefusedOnceAndTold)
{
    res->GetLocaleServer()->loadFile(putFile("Save.txt", "save_failed_game = \"No game saved.\"\n"
                                                         "save_error_full = \"Disk full.\"\n"));
    toMenu();
    menu->present.insert(Menu::kNotice);
    press(4);
    take();
    // A stop signal ends the game whatever the save did.
    root->saveFailure = "save_error_full";
    EXPECT_TRUE(flow->OnQuitRequest(false));
    EXPECT_NE(newLog().find("The game ends unsaved"), std::string::npos);
    take();

    // The window's close: refused, and the notice is up over play once the
    // root has gone to its in-game menu.
    root->saveFailure = "save_error_full";
    EXPECT_FALSE(flow->OnQuitRequest(true));
    root->states = {13, 13};
    frame();
    EXPECT_EQ(take(), (Calls{"root.SaveBeforeQuit", "root.Update", "menu.Show Notice"}));
    EXPECT_EQ(menu->notice, L"No game saved. Disk full.");
    menu->states[Menu::kNotice] = 3;
    frame();
    EXPECT_EQ(take(), (Calls{"root.Update", "menu.Hide Notice"}));
    // The next close ends it, even when that save fails again.
    root->saveFailure = "save_error_full";
    EXPECT_TRUE(flow->OnQuitRequest(true));

    // Once play goes on, a failing close is refused (and told) again.
    root->states = {12};
    frame();
    root->saveFailure = "save_error_full";
    EXPECT_FALSE(flow->OnQuitRequest(true));
    // A close that saves ends the game.
    root->saveFailure.clear();
    EXPECT_TRUE(flow->OnQuitRequest(true));
}

TEST_F(FlowTest, PlayerChoice)
{
    toMenu();
    CProfileSelect& choice = flow->GetProfileSelect();
    auto* list = dynamic_cast<GUI::Listbox*>(widget("List"));
    const GUI::EventArgs click;
    press(9);
    ASSERT_EQ(flow->GetScreen(), CGameFlow::kProfiles);
    EXPECT_EQ(choice.GetListNames(), std::vector<std::string>{"Player"});

    // A refused name keeps the window open with its reason; a good one is
    // added, selected and written, and the menu entry runs again.
    choice.OnNew(click);
    frame();
    EXPECT_EQ(choice.GetErrorText(), L"Type a name");
    EXPECT_EQ(flow->GetScreen(), CGameFlow::kProfiles);
    widget("Name")->SetText(L"Ann");
    take();
    choice.OnNew(click);
    frame();
    EXPECT_EQ(flow->GetScreen(), CGameFlow::kMenu);
    EXPECT_EQ(take(), concat({"tips.HideTip profile_change", "menu.SetUserName Ann"},
                             Calls(kMenuEntry.begin() + 1, kMenuEntry.end())));
    const std::string listFile = app.m_fileServer.manglePath(app.m_savedGamesFolder) + "_profiles.dat";
    EXPECT_NE(test_env::readFile(listFile).find("Ann"), std::string::npos);

    // Cancel and Escape change nothing.
    press(9);
    choice.OnCancel(click);
    frame();
    press(9);
    frame(0, {platform::DIK_ESCAPE});
    EXPECT_EQ(flow->GetScreen(), CGameFlow::kMenu);
    EXPECT_EQ(CurrentProfile::Get().name, "Ann");

    // OK selects the marked player; Delete asks first, and deleting the
    // current player makes the first one left current.
    press(9);
    list->ClearSelection(false);
    list->SetItemSelected(0, true);
    take();
    choice.OnOK(click);
    frame();
    EXPECT_EQ(CurrentProfile::Get().name, "Player");
    ASSERT_GE(calls.size(), 2u);
    EXPECT_EQ(calls[1], "menu.SetUserName Player");
    press(9);
    choice.OnDelete(click);
    EXPECT_TRUE(widget("Confirm")->IsVisible(true));
    EXPECT_EQ(widget("ConfirmText")->GetText(), L"Delete Player?");
    choice.OnNo(click);
    EXPECT_EQ(profiles->GetCount(), 2u);
    choice.OnDelete(click);
    frame(0, {platform::DIK_ESCAPE});
    EXPECT_FALSE(widget("Confirm")->IsVisible(true));
    EXPECT_TRUE(choice.IsOpen());
    choice.OnDelete(click);
    choice.OnYes(click);
    EXPECT_EQ(choice.GetListNames(), std::vector<std::string>{"Ann"});
    take();
    choice.OnCancel(click);
    frame();
    ASSERT_GE(calls.size(), 2u);
    EXPECT_EQ(calls[1], "menu.SetUserName Ann");

    // Its tip, refused while the list is open, goes with the list, not to
    // the menu.
    tips.refusals = 100;
    press(9);
    frame();
    EXPECT_EQ(flow->GetDueTips(), std::deque<std::string>{"profile_change"});
    choice.OnCancel(click);
    frame();
    EXPECT_EQ(flow->GetScreen(), CGameFlow::kMenu);
    EXPECT_TRUE(flow->GetDueTips().empty());
}

TEST_F(FlowTest, DueTipsAreAskedUntilShownAndDroppedOnLeaving)
{
    tips.refusals = 2;
    toMenu();
    frame();
    frame();
    frame();
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "tips.ShowTip profile_open"), 3);
    EXPECT_TRUE(flow->GetDueTips().empty());
    EXPECT_GE(tips.updates, 3);

    // A left release over the blocked Find All; refused until play starts.
    tips.refusals = 100;
    frame(1);
    frame(0);
    frame(0);
    EXPECT_EQ(flow->GetDueTips(), std::deque<std::string>{"fa_btn_block"});
    press(4);
    EXPECT_TRUE(flow->GetDueTips().empty());
    take();
    frame();
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "tips.ShowTip fa_btn_block"), 0);
}

TEST_F(FlowTest, MissingCollaboratorsAreSkippedAndLoggedOnce)
{
    toMenu(false, false);
    EXPECT_EQ(take(), concat({"menu.LoadAmbient", "menu.Init"}, kMenuEntry));
    press(4);
    press(4);
    press(5);
    press(5);
    frame();
    EXPECT_EQ(flow->GetScreen(), CGameFlow::kMenu);
    const std::string log = newLog();
    for (const char* what : {"the game root's Init", "the game root's ContinuePlay", "the options dialog",
                             "the tip manager"}) {
        const std::string line = std::string("CGameFlow. Nothing serves ") + what + " yet: skipped";
        const std::size_t first = log.find(line);
        EXPECT_NE(first, std::string::npos) << what;
        EXPECT_EQ(log.find(line, first + 1), std::string::npos) << what;
    }
    EXPECT_EQ(take(), Calls{});

    // No main menu, or no GUI script: the reinstall message, then the end.
    flow.reset();
    auto m = std::make_unique<FakeMenu>(calls, menuAlive);
    m->present.clear();
    menu = m.get();
    flow = std::make_unique<CGameFlow>(nullptr, std::move(m), nullptr);
    flow->Start();
    frame();
    frame();
    EXPECT_FALSE(running);
    std::remove((test_env::home() + "/GameData/gui/index.agui").c_str());
    toMenu();
    EXPECT_FALSE(running);
    const std::string last = newLog();
    EXPECT_NE(last.find("CGameFlow. No main menu \"MainMenu\""), std::string::npos);
    EXPECT_NE(last.find("CGameFlow. No GUI script 'gui:index.agui'"), std::string::npos);
}

TEST_F(FlowTest, GameDataLostInPlayEndsTheGameWithTheReinstallMessageUnsaved)
{
    // The game reads from an archive that is then cut short on disk.
    const std::string temp = app.m_fileServer.manglePath("temp:");
    ASSERT_TRUE(zip_writer::writeZip(temp + "Lost.zip", {{"a.txt", "aaaa", false}, {"b.txt", "bbbb", false}}));
    std::uint32_t size = 0;
    std::free(file_readFullAndMalloc("temp:Lost/a.txt", &size));
    ASSERT_EQ(size, 4u);
    toMenu();
    press(4);
    ASSERT_EQ(flow->GetScreen(), CGameFlow::kPlay);
    newLog();
    take();
    std::filesystem::resize_file(temp + "Lost.zip", 40);
    EXPECT_EQ(file_readFullAndMalloc("temp:Lost/b.txt", &size), nullptr);
    frame();
    EXPECT_FALSE(running);
    EXPECT_EQ(flow->GetScreen(), CGameFlow::kQuit);
    // The close that follows saves nothing over the last save.
    EXPECT_TRUE(flow->OnQuitRequest(true));
    EXPECT_EQ(take(), Calls{});
    const std::string log = newLog();
    EXPECT_NE(log.find("CGameFlow. The game data changed on disk while the game ran: the game ends; the last save "
                       "stands"),
              std::string::npos);
    EXPECT_NE(log.find("Error! Game error. Please reinstall."), std::string::npos);
    file_layer::closeAllArchives();
}
