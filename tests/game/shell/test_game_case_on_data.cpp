// The demo's case in process, offscreen, played by clicks at the screen
// points a player uses (those of the road): the map's notebook after a
// continued game, the clock under the screens that stop play, and Find All
// from its first find to its certificate, continued after a program start.
// Only the murder hunt's end is handed out on demand.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <deque>
#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "engine/gfx/a_graph_server.h"
#include "engine/gui/gui_server.h"
#include "engine/gui/gui_test_bench.h"
#include "engine/sound/a_music_manager.h"
#include "engine/util/a_file_server.h"
#include "engine/util/a_input_server.h"
#include "engine/util/a_string.h"
#include "engine/util/text_test_log.h"
#include "game/SpyGame/Dialogs/MenuDialogs.h"
#include "game/SpyGame/items/SpyItem.h"
#include "game/SpyGame/items/SpyItemManager.h"
#include "game/SpyGame/SpyMain.h"
#include "game/shell/c_game_flow.h"
#include "game/shell/c_main.h"
#include "case_on_data.h"
#include "game/shell/c_res_manager.h"
#include "game/shell/profiles_manager.h"
#include "game/shell/save_load_system.h"
#include "platform/system/events.h"
#include "support/other_file_system.h"
#include "support/test_env.h"

TEST_F(CaseOnData, AContinuedCaseShowsTheMapsNotebookAsItWasLeft)
{
    start();
    playToTheMap();
    park();
    const int before = inkIn(kNotebookComment);
    EXPECT_GT(before, 150) << "the map's notebook holds no text to compare";

    saveAndLeave();
    click(280, 270, 6.0f);
    ASSERT_EQ(root().GetState(), CSpyMain::StatePlay);
    EXPECT_EQ(root().inv.GetState(), std::uint32_t(CInvestigation::StateMap));
    park();
    EXPECT_NEAR(inkIn(kNotebookComment), before, before / 20);
}

TEST_F(CaseOnData, TheClockStopsUnderTheCertificateAndTheInGameMenu)
{
    start();
    playToTheMap();
    // The study, its enter message closed: the clock runs.
    click(414, 180, 3.0f);
    click(944, 676, 2.5f);
    // A click on the wallpaper puts the notebook's tip away.
    click(560, 300);
    const std::wstring running = panelText("clock_text");
    wait(3.0f);
    ASSERT_NE(panelText("clock_text"), running);

    // The murder hunt's certificate over the room.
    root().inv.results = {24};
    frames();
    ASSERT_EQ(root().GetState(), CSpyMain::StateMHCertificate);
    wait(0.5f);
    const std::wstring underCertificate = panelText("clock_text");
    wait(6.0f);
    EXPECT_EQ(panelText("clock_text"), underCertificate);
    click(600, 400);
    ASSERT_EQ(root().GetState(), CSpyMain::StatePlay);
    wait(2.0f);
    EXPECT_NE(panelText("clock_text"), underCertificate) << "the clock did not run again";

    // The in-game menu, then its help.
    click(88, 733);
    ASSERT_EQ(root().GetState(), CSpyMain::StateInGameMenu);
    const std::wstring underMenu = panelText("clock_text");
    wait(6.0f);
    EXPECT_EQ(panelText("clock_text"), underMenu);
}

namespace {

// The saved-games folder takes no new file, as when it is read-only (which
// root, running the tests, would not notice).
struct ReadOnlySaves {
    ReadOnlySaves()
    {
        g_fileOpenFunction = [](const char* path, int flags, mode_t mode) {
            if ((flags & O_CREAT) && std::strstr(path, "/Saved Games/")) {
                errno = EROFS;
                return -1;
            }
            return ::open(path, flags, mode);
        };
    }
    ~ReadOnlySaves() { g_fileOpenFunction = previous; }
    ReadOnlySaves(const ReadOnlySaves&) = delete;
    ReadOnlySaves& operator=(const ReadOnlySaves&) = delete;
    int (*previous)(const char*, int, mode_t) = g_fileOpenFunction;
};

} // namespace

TEST_F(CaseOnData, AWindowCloseThatCannotSaveLeavesTheGameUpAndSaysWhy)
{
    start();
    playToTheMap();
    // The study, then the garden through its glass door: the key's pick dialog.
    click(414, 180, 3.0f);
    click(944, 676);
    click(880, 300, 3.0f);
    click(944, 676);
    click(458, 652, 2.0f);
    ASSERT_TRUE(root().GetDialogs().pickItem.IsVisible());

    ReadOnlySaves readOnly;
    const std::string save = game->m_fileServer.manglePath(ProfilesManager::getSingletonPtr()->GetSaveFileName());
    EXPECT_EQ(game->windowProc(game->m_window, WM_CLOSE, kCloseFromWindow, 0), 0);
    EXPECT_FALSE(platform::messageQueue().quitPosted());
    frames(3);
    // The key went into the inventory first; the case waits under the menu.
    EXPECT_FALSE(root().GetDialogs().pickItem.IsVisible());
    EXPECT_EQ(root().GetState(), CSpyMain::StateInGameMenu);
    EXPECT_TRUE(root().GetDialogs().inGameMenu.IsVisible());
    GUI::Widget* notice = game->GetGui()->GetRoot()->FindChild("Notice", true);
    ASSERT_NE(notice, nullptr);
    EXPECT_TRUE(notice->IsVisible(true));
    GUI::Widget* text = notice->FindChild("text", true);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->GetText(), L"The game could not be saved. The saved-games folder cannot be written to.");
    EXPECT_FALSE(test_env::exists(save));

    // Its "Ok" takes it away; the next close ends the game, saved or not.
    GUI::Widget* ok = notice->FindChild("Ok", true);
    ASSERT_NE(ok, nullptr);
    const aRect r = ok->GetAbsoluteRect();
    click(r.x + r.width / 2, r.y + r.height / 2);
    EXPECT_FALSE(notice->IsVisible(true));
    game->windowProc(game->m_window, WM_CLOSE, kCloseFromWindow, 0);
    EXPECT_TRUE(platform::messageQueue().quitPosted());
    EXPECT_FALSE(test_env::exists(save));
}

TEST_F(CaseOnData, AStopUnderTheWarningOrTheHintListSavesThePlayUnderThem)
{
    start();
    playToTheMap();
    click(414, 180, 3.0f);
    click(944, 676);
    // Five clicks on the wallpaper 120 ms apart: the rapid-click warning,
    // wherever they fall in game time.
    wait(0.5f);
    for (int i = 0; i < 5; ++i)
        click(560, 300, 0.06f);
    ASSERT_TRUE(root().GetDialogs().randomClicking.IsVisible());
    const std::string save = game->m_fileServer.manglePath(ProfilesManager::getSingletonPtr()->GetSaveFileName());
    const auto stopAndPlayAgain = [&]() {
        game->windowProc(game->m_window, WM_CLOSE, 0, 0);
        ASSERT_TRUE(platform::messageQueue().quitPosted());
        ASSERT_TRUE(test_env::exists(save));
        start();
        click(280, 270, 6.0f);
        ASSERT_EQ(root().GetState(), CSpyMain::StatePlay);
        EXPECT_EQ(root().inv.GetState(), std::uint32_t(CInvestigation::StatePlay));
        ASSERT_NE(root().inv.GetCurrentRoom(), nullptr);
        EXPECT_EQ(root().inv.GetCurrentRoom()->GetName(), "Study");
    };
    stopAndPlayAgain();
    EXPECT_FALSE(root().GetDialogs().randomClicking.IsVisible());

    // The panel's magnifying glass: the hint list, no hint taken yet.
    const std::uint32_t hints = root().GetDialogs().panel.GetHintsCount();
    click(136, 50);
    ASSERT_EQ(root().inv.GetState(), std::uint32_t(CInvestigation::StateHintList));
    stopAndPlayAgain();
    EXPECT_EQ(root().GetDialogs().panel.GetHintsCount(), hints);
    // A click on the list is play again, not a hint.
    click(70, 276);
    EXPECT_EQ(root().GetDialogs().panel.GetHintsCount(), hints);
}

namespace {

struct Point {
    int x, y;
};

// Every hidden object of the study twice over, and the garden's nine
// (those of the road): the list shows eight lines at a time and only a
// listed object can be picked, so the second round of the study finds what
// the first could not, and the garden's butterfly is clicked twice around
// the lantern.
const std::vector<Point> kStudyRound = {{353, 365}, {270, 345}, {376, 333}, {573, 422}, {601, 423}, {699, 424},
                                        {417, 524}, {397, 586}, {659, 590}, {461, 613}, {252, 620}, {350, 661},
                                        {502, 662}, {612, 665}, {783, 672}, {973, 662}};
const std::vector<Point> kGarden = {{654, 360}, {409, 327}, {654, 360}, {550, 475}, {520, 573}, {754, 482},
                                    {840, 500}, {924, 476}, {324, 614}, {689, 665}, {895, 662}, {962, 611}};

// The clock's time window, below the caption, where Find All shows no time.
constexpr Box kClockWindow{22, 62, 52, 8};

} // namespace

// A suite of its own: run in its own process, it leaves the random
// numbers the other tests here see as they were.
using SaveFailure = CaseOnData;

TEST_F(SaveFailure, MainMenuYesThatCannotSaveKeepsTheCaseUntilASaveDoes)
{
    const auto foundInStudy = [this] {
        std::vector<std::string> names;
        for (const CSpyItem* item : root().GetRooms().GetRoom("Study")->GetItemManager()->GetItems())
            if (item->IsPicked())
                names.push_back(item->GetName());
        return names;
    };
    // The list shows some of the study's objects: each is tried in turn.
    const auto findInStudy = [&](std::size_t more) {
        const std::size_t target = foundInStudy().size() + more;
        for (std::size_t i = 0; i < kStudyRound.size() && foundInStudy().size() < target; ++i)
            click(kStudyRound[i].x, kStudyRound[i].y, 1.2f);
    };
    // The study, one find saved from the menu; Play, two more finds.
    start();
    playToTheMap();
    click(414, 180, 3.0f);
    click(944, 676);
    findInStudy(1);
    saveAndLeave();
    click(280, 270, 6.0f);
    findInStudy(2);
    const std::vector<std::string> found = foundInStudy();
    ASSERT_EQ(found.size(), 3u);

    const std::string lastGood = test_env::readFile(savePath());
    GUI::Widget* notice = game->GetGui()->GetRoot()->FindChild("Notice", true);
    ASSERT_NE(notice, nullptr);
    {
        ReadOnlySaves readOnly;
        click(88, 733);
        click(601, 510);
        click(521, 436, 4.0f);
    }
    EXPECT_EQ(root().GetState(), CSpyMain::StateInGameMenu);
    EXPECT_TRUE(root().GetDialogs().inGameMenu.IsVisible());
    ASSERT_TRUE(notice->IsVisible(true));
    EXPECT_EQ(notice->FindChild("text", true)->GetText(),
              L"The game could not be saved. The saved-games folder cannot be written to.");
    EXPECT_TRUE(test_env::readFile(savePath()) == lastGood) << "the last good save changed";

    // Writable again: the notice read, the same Yes saves and leaves; the
    // next Play has every find.
    const aRect ok = notice->FindChild("Ok", true)->GetAbsoluteRect();
    click(ok.x + ok.width / 2, ok.y + ok.height / 2);
    EXPECT_FALSE(notice->IsVisible(true));
    click(601, 510);
    click(521, 436, 4.0f);
    ASSERT_EQ(game->GetFlow()->GetScreen(), CGameFlow::kMenu);
    click(280, 270, 6.0f);
    ASSERT_EQ(root().GetState(), CSpyMain::StatePlay);
    EXPECT_EQ(foundInStudy(), found);
}

TEST_F(CaseOnData, FindAllCountsItsObjectsDownToNoneAndContinuesWithItsMusic)
{
    start(true);
    click(280, 342, 2.0f);
    ASSERT_EQ(root().GetCurrentName(), "FindAll");
    // The study, loaded as the player walks in; the tutorial's "Ok".
    click(414, 180, 3.0f);
    click(601, 401);
    park();
    EXPECT_EQ(panelText("items_remain"), L"27 items to find");
    EXPECT_LT(inkIn(kClockWindow), 40) << "the clock shows an empty time window";

    // Each find counts once.
    int left = 27;
    const auto findAt = [&](const Point& p) {
        click(p.x, p.y, 0.6f);
        int now = -1;
        std::swscanf(panelText("items_remain").c_str(), L"%d", &now);
        EXPECT_TRUE(now == left || now == left - 1) << p.x << "," << p.y << ": " << left << " -> " << now;
        left = now;
    };
    for (int round = 0; round < 2; ++round)
        for (const Point& p : kStudyRound)
            findAt(p);
    EXPECT_EQ(left, 11);

    // Saved from the in-game menu; the program starts again and Find All
    // continues, its room loaded anew, under the case's music.
    saveAndLeave();
    start();
    click(280, 342);
    click(602, 430, 3.0f);  // the question's "No": go on with the saved game
    ASSERT_EQ(root().GetCurrentName(), "FindAll");
    ASSERT_EQ(root().GetState(), CSpyMain::StatePlay);
    std::string group;
    EXPECT_EQ(game->GetResManager()->GetMusicManager()->GetCurrentTrack(group), "investigation");
    EXPECT_EQ(panelText("items_remain"), L"11 items to find");

    click(881, 352, 3.0f);
    for (const Point& p : kGarden)
        findAt(p);
    wait(2.0f);
    EXPECT_EQ(root().GetState(), CSpyMain::StateFACertificate);
    EXPECT_EQ(panelText("items_remain"), L"0 items to find");
}

TEST_F(CaseOnData, SealedMutationsOfARealSaveLoadWholeOrAreSetAsideWholeAndTold)
{
    start();
    playToTheMap();
    // The study: three of its list's objects found; saved from the menu.
    click(414, 180, 3.0f);
    click(944, 676);
    click(270, 345, 1.2f);
    click(376, 333, 1.2f);
    click(350, 661, 2.0f);
    saveAndLeave();
    const std::string path = game->m_fileServer.manglePath(ProfilesManager::getSingletonPtr()->GetSaveFileName());
    const std::string real = test_env::readFile(path);
    ASSERT_GT(real.size(), SaveLoadSystem::kHeaderSize);
    std::vector<std::uint8_t> payload(real.begin() + SaveLoadSystem::kHeaderSize, real.end());
    SaveLoadSystem::Scramble(payload.data(), std::uint32_t(payload.size()));
    std::uint32_t blocks = 0;
    std::memcpy(&blocks, real.data() + 12, 4);

    // Play's load on the case as Play leaves it loaded: the root's record,
    // then the case's; 0 when refused at once, 1 once the case had loaded,
    // 2 when whole.
    const auto load = [&] {
        SaveLoadSystem system;
        if (!system.BeginLoad(path, CGameFlow::kSaveVersion) || !system.LoadEntity(&root())) {
            system.Finish();
            return 0;
        }
        const bool loaded = system.LoadEntity(&root().inv) && system.CheckEveryBlockRead();
        system.Finish();
        return loaded ? 2 : 1;
    };
    std::uint32_t seed = 53;
    const auto next = [&seed] { return (seed = seed * 1103515245u + 12345u) >> 8; };
    int whole = 0;
    std::string refusedAt[2];
    for (int i = 0; i < 300; ++i) {
        std::vector<std::uint8_t> bytes = payload;
        for (int k = 1 + int(next() % 3); k > 0; --k) {
            const std::size_t at = next() % bytes.size();
            switch (next() % 4) {
            case 0:
                bytes[at] ^= std::uint8_t(1u << (next() % 8));
                break;
            case 1:
                bytes[at] = std::uint8_t(next());
                break;
            case 2:
                bytes.insert(bytes.begin() + std::ptrdiff_t(at), std::uint8_t(next()));
                break;
            default:
                bytes.erase(bytes.begin() + std::ptrdiff_t(at));
                break;
            }
        }
        const std::vector<std::uint8_t> file = SaveLoadSystem::BuildFile(bytes, CGameFlow::kSaveVersion, blocks);
        const std::string sealed(file.begin(), file.end());
        test_env::writeFile(path, sealed);
        // As a new game after a refused load finds the case.
        root().inv.ResetForStart(false);
        TestLog log;
        const int result = load();
        if (result == 2) {
            // Whole: nothing was skipped, dropped or read otherwise.
            ++whole;
            for (const std::string& line : log.lines())
                ADD_FAILURE() << i << ": " << line;
            continue;
        }
        if (refusedAt[result].empty())
            refusedAt[result] = sealed;
        EXPECT_TRUE(SaveLoadSystem::KeepsAsideBeforeSave(path)) << i;
        EXPECT_EQ(SaveLoadSystem::SetAsideNow(path, nullptr), file_getName(path) + ".bad") << i;
        EXPECT_EQ(test_env::readFile(path + ".bad"), sealed) << i;
        std::remove((path + ".bad").c_str());
    }
    EXPECT_GT(whole, 10);
    ASSERT_FALSE(refusedAt[0].empty());
    ASSERT_FALSE(refusedAt[1].empty());

    // Play over each kind: the menu stays with the notice, which says where
    // the save went; the next Play begins a new game.
    GUI::Widget* notice = game->GetGui()->GetRoot()->FindChild("Notice", true);
    ASSERT_NE(notice, nullptr);
    int kept = 0;
    for (const std::string& sealed : refusedAt) {
        test_env::writeFile(path, sealed);
        click(280, 270, 6.0f);
        ASSERT_EQ(game->GetFlow()->GetScreen(), CGameFlow::kMenu);
        ASSERT_TRUE(notice->IsVisible(true));
        const std::string name = file_getName(path) + ".bad" + (kept ? ".2" : "");
        EXPECT_EQ(notice->FindChild("text", true)->GetText(),
                  L"The saved game could not be read. It is kept as \"" + std::wstring(name.begin(), name.end()) +
                      L"\" in the saved-games folder, and Play now starts a new game.");
        EXPECT_EQ(test_env::readFile(path.substr(0, path.size() - file_getName(path).size()) + name), sealed);
        EXPECT_FALSE(test_env::exists(path));
        const aRect r = notice->FindChild("Ok", true)->GetAbsoluteRect();
        click(r.x + r.width / 2, r.y + r.height / 2);
        EXPECT_FALSE(notice->IsVisible(true));
        ++kept;
    }
    click(280, 270, 6.0f);
    EXPECT_EQ(root().GetState(), CSpyMain::StatePlay);
    EXPECT_EQ(root().GetStartMode(), CSpyMain::NewGame);
}

namespace {

std::vector<std::string> namesIn(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

ino_t inodeOf(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

} // namespace

TEST_F(CaseOnData, ASaveThatIsASymbolicLinkStaysOneAndADamagedOneIsKeptBesideItsFile)
{
    namespace fs = std::filesystem;
    OtherFileSystem other;
    start();
    playToTheMap();
    saveAndLeave();
    const std::string save = game->m_fileServer.manglePath(ProfilesManager::getSingletonPtr()->GetSaveFileName());
    const std::string synced = other.folder() + "Player.save";
    const std::string first = test_env::readFile(save);
    test_env::writeFile(synced, first);
    ASSERT_TRUE(fs::remove(save));
    ASSERT_EQ(::symlink(synced.c_str(), save.c_str()), 0);

    // Play, a find in the study, Menu > Main menu > Yes: written through the
    // link; the next Play continues from what it names.
    click(280, 270, 6.0f);
    ASSERT_EQ(root().GetState(), CSpyMain::StatePlay);
    click(414, 180, 3.0f);
    click(944, 676);
    click(270, 345, 1.2f);
    saveAndLeave();
    EXPECT_TRUE(fs::is_symlink(save));
    EXPECT_EQ(fs::read_symlink(save), synced);
    const std::string second = test_env::readFile(synced);
    EXPECT_NE(second, first);
    EXPECT_EQ(namesIn(other.folder()), std::vector<std::string>{"Player.save"});
    click(280, 270, 6.0f);
    ASSERT_NE(root().inv.GetCurrentRoom(), nullptr);
    EXPECT_EQ(root().inv.GetCurrentRoom()->GetName(), "Study");
    saveAndLeave();

    // Damaged, where hard links are refused, then with its file on the
    // other file system: Play keeps that file beside itself under ".bad",
    // removes the link, and names the file in the notice.
    std::string damaged = test_env::readFile(synced);
    damaged[SaveLoadSystem::kHeaderSize + 3] ^= 0x20;
    fs::create_directories(test_env::home() + "/Synced");
    const std::string sameDisk = fs::canonical(test_env::home() + "/Synced").string() + "/";
    GUI::Widget* notice = game->GetGui()->GetRoot()->FindChild("Notice", true);
    ASSERT_NE(notice, nullptr);
    for (const bool otherDisk : {false, true}) {
        SCOPED_TRACE(otherDisk ? "another file system" : "links refused");
        const std::string file = (otherDisk ? other.folder() : sameDisk) + "Player.save";
        test_env::writeFile(file, damaged);
        fs::remove(save);
        ASSERT_EQ(::symlink(file.c_str(), save.c_str()), 0);
        const ino_t inode = inodeOf(file);
        {
            RefusedLinks refused(!otherDisk);
            click(280, 270, 6.0f);
        }
        ASSERT_EQ(game->GetFlow()->GetScreen(), CGameFlow::kMenu);
        ASSERT_TRUE(notice->IsVisible(true));
        const std::string kept = file + ".bad";
        const std::wstring text = notice->FindChild("text", true)->GetText();
        EXPECT_NE(text.find(L'"' + str_utf8ToWide(kept) + L'"'), std::wstring::npos) << str_wideToUtf8(text);
        // Kept beside the link's target, not in the saved-games folder.
        EXPECT_EQ(text.find(L"saved-games folder"), std::wstring::npos) << str_wideToUtf8(text);
        EXPECT_EQ(test_env::readFile(kept), damaged);
        EXPECT_EQ(inodeOf(kept), inode);
        EXPECT_FALSE(fs::exists(fs::symlink_status(save)));
        EXPECT_EQ(namesIn(file_getDirectory(file)), std::vector<std::string>{"Player.save.bad"});
        const aRect r = notice->FindChild("Ok", true)->GetAbsoluteRect();
        click(r.x + r.width / 2, r.y + r.height / 2);
    }
    click(280, 270, 6.0f);
    EXPECT_EQ(root().GetState(), CSpyMain::StatePlay);
    EXPECT_EQ(root().GetStartMode(), CSpyMain::NewGame);
}
