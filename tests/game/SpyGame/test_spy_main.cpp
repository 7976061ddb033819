// The game root on the dialog bench: the demo's scripts, the real menu and
// in-game dialogs, rooms and personages managers, the loading screen and
// the profiles, over a game data folder whose case list holds small fixture
// cases (caseA, caseB, then FindAll). The investigation is the real one
// with its results handed out on demand.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <deque>
#include <filesystem>
#include <string>
#include <vector>

#include "Dialogs/dialog_fixture.h"
#include "engine/gui/gui_server.h"
#include "engine/util/a_file_server.h"
#include "engine/util/a_log.h"
#include "game/SpyGame/Dialogs/MenuDialogs.h"
#include "game/SpyGame/Rooms/RoomBase.h"
#include "game/SpyGame/SpyEventBase.h"
#include "game/SpyGame/SpyEvents.h"
#include "game/SpyGame/SpyMain.h"
#include "game/SpyGame/items/SpyItemKinds.h"
#include "game/SpyGame/items/objects/SpyObject.h"
#include "game/shell/c_res_loader.h"
#include "game/shell/current_profile.h"
#include "game/shell/profiles_manager.h"
#include "jng_writer.h"
#include "test_env.h"
#include "test_image_fixture.h"

namespace {

namespace fs = std::filesystem;
using dialogtest::Bytes;

// The investigation with its results queued by the test; the rest is real.
class ScriptedCase : public CInvestigation {
public:
    std::uint32_t Update(float dt) override
    {
        ++updates;
        if (results.empty())
            return CInvestigation::Update(dt);
        const std::uint32_t r = results.front();
        results.pop_front();
        if (r == StateRoomToLoad) {
            pendingRoom = room;
            EnterKeepingPrevious(StateRoomToLoad);
        } else if (r == StateInGameMenu || r == StateHelp) {
            EnterKeepingPrevious(r);
        }
        return r;
    }
    void Entry() override
    {
        calls.push_back("Entry");
        CInvestigation::Entry();
    }
    void ResetForStart(bool keep) override
    {
        calls.push_back(keep ? "ResetForStart(1)" : "ResetForStart(0)");
        CInvestigation::ResetForStart(keep);
    }
    void Pause(bool pause) override
    {
        calls.push_back(pause ? "Pause(1)" : "Pause(0)");
        CInvestigation::Pause(pause);
    }
    void Resume() override
    {
        calls.push_back("Resume");
        CInvestigation::Resume();
    }
    std::uint32_t SaveSelf(SaveLoadSystem& system, std::uint32_t pos) override
    {
        pos = CInvestigation::SaveSelf(system, pos);
        return system.WriteU32(pos, marker);
    }
    std::uint32_t LoadSelf(SaveLoadSystem& system, std::uint32_t pos) override
    {
        pos = CInvestigation::LoadSelf(system, pos);
        return system.ReadU32(pos, marker);
    }
    using CInvestigation::findAllHintsUsed;
    using CInvestigation::state;

    std::deque<std::uint32_t> results;
    std::vector<std::string> calls;
    std::string room = "Cellar";
    std::uint32_t marker = 0;
    int updates = 0;
};

class Root : public CSpyMain {
public:
    explicit Root(bool scriptedCase = true)
    {
        if (scriptedCase)
            UseInvestigation(&scripted);
    }
    ~Root() override
    {
        Unload();
        UseInvestigation(nullptr);
    }
    ScriptedCase scripted;
};

// A "<SpyMain>" block of any bytes.
class RawRecord : public SaveLoadEntity {
public:
    RawRecord() : SaveLoadEntity(CSpyMain::kEntityKey) {}
    std::uint32_t SaveSelf(SaveLoadSystem& system, std::uint32_t pos) override
    {
        for (std::uint8_t b : bytes)
            pos = system.WriteU8(pos, b);
        return pos;
    }
    std::uint32_t LoadSelf(SaveLoadSystem& system, std::uint32_t pos) override
    {
        return system.ReadBytes(pos, system.BytesLeft(pos), bytes);
    }
    Bytes bytes;
};

std::string png(int w, int h, std::uint32_t argb) { return jng_writer::buildPng(w, h, imgtest::solid(w, h, argb)); }

void writeRoom(const std::string& dir, std::uint32_t argb)
{
    const std::string bg = fs::path(dir.substr(0, dir.size() - 1)).filename().string() + "_bg";
    test_env::writeFile(dir + "location.ini", "[Room]\nClass = Room\nSize = 845 768\n[Scene]\nObject = Image img=" +
                                                  bg + " hit=0\n");
    test_env::writeFile(dir + "items.ini", "");
    test_env::writeFile(dir + "_images.list", bg + ".png 8888 8888\n");
    test_env::writeFile(dir + bg + ".png", png(845, 768, argb));
}

class SpyMainTest : public dialogtest::RecordingDialogBench {
protected:
    void SetUp() override
    {
        dialogtest::RecordingDialogBench::SetUp();
        if (HasFatalFailure())
            return;
        CurrentProfile::Get() = CurrentProfile();
        loadDemoResources();
        // The demo's game data with the fixture cases in place of its own.
        const std::string data = test_env::home() + "/GameData/";
        fs::create_directories(data);
        for (const auto& entry : fs::directory_iterator(test_env::sourceDir() + "/data/GameData"))
            if (entry.path().filename() != "_Investigations")
                fs::create_directory_symlink(entry.path(), data + entry.path().filename().string());
        app.m_fileServer.setAssign("gamedata", data);
        app.m_fileServer.setAssign("music", "gamedata:Music/");
        writeCases("caseA\ncaseB\nFindAll\n");
        loadGui();
        RegisterItemKinds();
        RegisterObjectKinds();
        RegisterRoomKinds();
        RegisterEventKinds();
        profiles = std::make_unique<ProfilesManager>(test_env::home() + "/Saves/");
        fs::create_directories(test_env::home() + "/Saves/");
        loader = std::make_unique<CResLoader>();
        menu = std::make_unique<CMenuDialogs>();
        updateGui = false;
        drawFrames = false;
    }
    void TearDown() override
    {
        root.reset();
        menu.reset();
        loader.reset();
        profiles.reset();
        CurrentProfile::Get() = CurrentProfile();
        dialogtest::RecordingDialogBench::TearDown();
    }

    void writeCases(const std::string& list)
    {
        const std::string dir = test_env::home() + "/GameData/_Investigations/";
        test_env::writeFile(dir + "_investigations.list", list);
        for (const char* name : {"caseA", "caseB"}) {
            const std::string c = dir + name + "/";
            test_env::writeFile(c + "_investigation.ini", "[Main]\nStartRoom = Hall\n");
            test_env::writeFile(c + "_rooms.list", "Hall\n");
            // Each ending fires once the test marks its trigger done.
            test_env::writeFile(c + "_events.ini",
                                "[ShowMessage]\nEventName = Comics\nLocation = Nowhere\nTextId = hello\n\n"
                                "[ShowMessage]\nEventName = go_mh\nLocation = Nowhere\nTextId = hello\n\n"
                                "[MHFinish]\nEventName = mh\nLocation = Hall\nAfterEvents = go_mh\n\n"
                                "[ShowMessage]\nEventName = go_close\nLocation = Nowhere\nTextId = hello\n\n"
                                "[InvestigationClose]\nEventName = close\nLocation = Hall\nAfterEvents = go_close\n");
            writeRoom(c + "Hall/", 0xFFFFFFFF);
            writeRoom(c + "Cellar/", 0xFF404040);
        }
        test_env::writeFile(dir + "FindAll/_investigation.ini", "[Main]\nStartRoom = Hall\n");
    }

    // The root as the flow brings it to the menu.
    void boot(bool scriptedCase = true)
    {
        root.reset();
        root = std::make_unique<Root>(scriptedCase);
        root->Init(&menu->GetOptions(), &menu->GetFACertificate(), &menu->GetHelp(), &menu->GetMHCertificate());
        root->LoadCommonResources();
        res->BeginLoading();
        while (!res->LoadStep()) {
        }
        root->FinishLoading();
        menu->Init();
        root->ReturnToMenu();
    }
    // Updates until the root plays (or 400 frames).
    std::uint32_t playOn()
    {
        for (int i = 0; i < 400 && root->GetState() != CSpyMain::StatePlay; ++i)
            step();
        return root->GetState();
    }
    std::uint32_t step(int n = 1)
    {
        std::uint32_t s = 0;
        for (int i = 0; i < n; ++i) {
            tick();
            s = root->Update(kDt);
        }
        return s;
    }
    // The in-game menu, its exit and the question's yes, each shown first.
    void saveAndExit()
    {
        root->scripted.results = {29};
        step(2);
        root->GetDialogs().inGameMenu.SetState(5);
        step(2);
        root->GetDialogs().confirmSaveExit.SetState(3);
        step();
    }
    std::string saveFile(bool findAll = false) const { return profiles->GetSaveFileName() + (findAll ? "FA" : ""); }
    Bytes fileBytes(const std::string& name) const
    {
        const std::string text = test_env::readFile(app.m_fileServer.manglePath(name));
        return Bytes(text.begin(), text.end());
    }
    bool exists(const std::string& name) const { return file_isExist(name, false); }
    // The save's "<SpyMain>" record as read back.
    std::string savedName(bool findAll = false)
    {
        RawRecord record;
        SaveLoadSystem system;
        if (!system.BeginLoad(saveFile(findAll), CSpyMain::kSaveVersion))
            return "<none>";
        const bool read = system.LoadEntity(&record);
        system.Finish();
        if (!read)
            return "<unread>";
        return std::string(record.bytes.begin(), std::find(record.bytes.begin(), record.bytes.end(), 0));
    }
    // A save holding only the root's record, at that name.
    void writeSave(const std::string& name, bool findAll = false)
    {
        RawRecord record;
        record.bytes.assign(name.begin(), name.end());
        record.bytes.push_back(0);
        record.bytes.insert(record.bytes.end(), 10, 0);
        SaveLoadSystem system;
        ASSERT_TRUE(system.BeginSave(saveFile(findAll), CSpyMain::kSaveVersion));
        system.SaveEntity(&record);
        ASSERT_TRUE(system.Finish());
    }
    // The last digits of the panel's level text.
    std::wstring levelText()
    {
        GUI::Widget* part = root->GetDialogs().panel.GetPart(CDialogSpyGamePanel::LevelNum);
        if (!part)
            return L"<none>";
        const std::wstring text = part->GetText();
        const std::size_t digits = text.find_last_not_of(L"0123456789");
        return digits == std::wstring::npos ? text : text.substr(digits + 1).empty() ? L"0" : text.substr(digits + 1);
    }

    std::unique_ptr<ProfilesManager> profiles;
    std::unique_ptr<CResLoader> loader;
    std::unique_ptr<CMenuDialogs> menu;
    std::unique_ptr<Root> root;
};

} // namespace

TEST_F(SpyMainTest, TheRecordByteForByteAndEveryTruncationRefused)
{
    CSpyMain main;
    const Bytes named{'c', 'a', 's', 'e', 'B', 0, 0, 0, 0, 0, 9, 0, 0, 0, 1, 0};
    ASSERT_TRUE(dialogtest::loadRecord(main, named, named.size()));
    EXPECT_EQ(main.GetCurrentName(), "caseB");
    EXPECT_EQ(main.GetCarriedHints(), 9u);
    EXPECT_EQ(main.IsMHCertificateShown(), 1);
    EXPECT_EQ(main.IsFACertificateShown(), 0);
    EXPECT_EQ(dialogtest::savedRecord(main), named);

    // Any shorter block fails and leaves every field as it was.
    for (std::size_t n = 0; n < named.size(); ++n) {
        const Bytes other{'E', 'n', 'd', 'G', 'a', 'm', 'e', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
        EXPECT_FALSE(dialogtest::loadRecord(main, other, n + (other.size() - named.size()))) << n;
        EXPECT_EQ(main.GetCurrentName(), "caseB") << n;
        EXPECT_EQ(main.GetCarriedHints(), 9u) << n;
        EXPECT_EQ(main.IsFACertificateShown(), 0) << n;
    }
    // A name without its NUL within the block is a truncation too.
    const Bytes unended{'a', 'b', 'c'};
    EXPECT_FALSE(dialogtest::loadRecord(main, unended, unended.size()));
    EXPECT_EQ(main.GetCurrentName(), "caseB");
    // Flags other than 0 and 1 read as shown.
    const Bytes loud{0, 0, 0, 0, 0, 0, 0, 0, 0, 7, 200};
    ASSERT_TRUE(dialogtest::loadRecord(main, loud, loud.size()));
    EXPECT_EQ(dialogtest::savedRecord(main), (Bytes{0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 1}));
}

TEST_F(SpyMainTest, StartUpListAndTheStatesEachCallNeeds)
{
    root = std::make_unique<Root>();
    root->ReturnToMenu();
    root->ContinuePlay();
    EXPECT_EQ(root->GetState(), CSpyMain::StateConstructed);
    boot();
    EXPECT_EQ(root->GetState(), CSpyMain::StateMenu);
    // The three boards, at the right of the screen.
    for (const char* board : {CSpyMain::kGlobalMap, CSpyMain::kMurderHunt, CSpyMain::kInvCards}) {
        ASSERT_TRUE(root->GetRooms().HasRoom(board)) << board;
        float x = 0, y = 0;
        root->GetRooms().GetRoom(board)->GetPos(x, y);
        EXPECT_EQ(x, 1024.0f - 845.0f);
        EXPECT_EQ(y, 0.0f);
    }
    root->Init(nullptr, nullptr, nullptr, nullptr);
    root->LoadCommonResources();
    EXPECT_EQ(root->GetState(), CSpyMain::StateMenu);

    EXPECT_TRUE(root->SelectInvestigation(0));
    EXPECT_TRUE(root->SelectInvestigation(1));
    EXPECT_EQ(root->GetInvestigations().getCurrent(), "caseB");
    EXPECT_FALSE(root->SelectInvestigation(2));
    EXPECT_FALSE(root->SelectInvestigation(3));
    EXPECT_TRUE(root->HasInvestigation("FindAll"));
    EXPECT_FALSE(root->HasInvestigation("casea"));
    EXPECT_EQ(root->GetInvestigationIndex(), -1);
    root->StartFindAll();
    EXPECT_EQ(root->GetInvestigationIndex(), -1);
    EXPECT_EQ(root->GetStartMode(), CSpyMain::NewFindAll);
    EXPECT_EQ(root->GetState(), CSpyMain::StateStart);
    // Not from state 8.
    root->ContinuePlay();
    EXPECT_EQ(root->GetCurrentName(), "FindAll");

    // No story case: Play logs and the menu stays.
    for (const char* list : {"", "FindAll\ncaseA\n"}) {
        writeCases(list);
        boot();
        takeLog();
        root->ContinuePlay();
        EXPECT_EQ(root->GetState(), CSpyMain::StateMenu);
        EXPECT_NE(takeLog().find("CSpyMain::ContinuePlay(). No investigation to play"), std::string::npos);
        EXPECT_EQ(root->Update(kDt), CSpyMain::StateMenu);
    }
}

TEST_F(SpyMainTest, ContinuePlayOverEverySave)
{
    boot();
    // No save: the first case, silently.
    takeLog();
    root->ContinuePlay();
    EXPECT_EQ(root->GetCurrentName(), "caseA");
    EXPECT_EQ(root->GetStartMode(), CSpyMain::NewGame);
    EXPECT_EQ(takeLog().find("CSpyMain"), std::string::npos);

    struct Case {
        const char* saved;
        const char* name;
        std::uint32_t mode;
        const char* log;
    };
    for (const Case& c : {Case{"caseB", "caseB", CSpyMain::ContinueGame, nullptr},
                          Case{"EndGame", "caseA", CSpyMain::NewGame, nullptr}}) {
        writeSave(c.saved);
        boot();
        takeLog();
        root->ContinuePlay();
        EXPECT_EQ(root->GetCurrentName(), c.name) << c.saved;
        EXPECT_EQ(root->GetStartMode(), c.mode) << c.saved;
        EXPECT_EQ(root->GetState(), CSpyMain::StateStart);
        EXPECT_EQ(root->GetSaveSystem().IsLoading(), c.mode == CSpyMain::ContinueGame) << c.saved;
        EXPECT_EQ(takeLog().find("not found"), std::string::npos);
    }

    // A save of a case this game lacks, a damaged one, one without the
    // root's block: set aside whole, the player told where, nothing begun;
    // the next Play finds no save.
    Bytes damaged = fileBytes(saveFile());
    damaged[damaged.size() / 2] ^= 0x5A;
    Bytes noRoot;
    {
        CInvestigation other;
        other.SetKey("Investigation : caseA");
        SaveLoadSystem system;
        ASSERT_TRUE(system.BeginSave(saveFile(), CSpyMain::kSaveVersion));
        system.SaveEntity(&other);
        ASSERT_TRUE(system.Finish());
        noRoot = fileBytes(saveFile());
    }
    writeSave("gone");
    const Bytes gone = fileBytes(saveFile());
    const std::string kept = fs::path(app.m_fileServer.manglePath(saveFile())).filename().string() + ".bad";
    int n = 1;
    for (const auto& [bytes, log] : {std::pair{gone, "Investigation 'gone' not found!"},
                                     std::pair{damaged, "CRC mismatch"},
                                     std::pair{noRoot, "has no readable record \"<SpyMain>\""}}) {
        test_env::writeFile(app.m_fileServer.manglePath(saveFile()), std::string(bytes.begin(), bytes.end()));
        boot();
        takeLog();
        root->ContinuePlay();
        EXPECT_EQ(root->GetState(), CSpyMain::StateMenu) << log;
        EXPECT_FALSE(root->GetSaveSystem().IsLoading());
        const std::string name = kept + (n == 1 ? "" : "." + std::to_string(n));
        const CGameFlow::Root::LoadFailure told = root->TakeLoadFailure();
        EXPECT_EQ(told.heading, "load_unusable_game");
        EXPECT_EQ(told.reason, "load_kept_as");
        EXPECT_EQ(told.keptAs, name);
        EXPECT_EQ(root->TakeLoadFailure().heading, "");
        EXPECT_NE(takeLog().find(log), std::string::npos) << log;
        EXPECT_FALSE(exists(saveFile()));
        EXPECT_EQ(fileBytes(saveFile() + ".bad" + (n == 1 ? "" : "." + std::to_string(n))), bytes);
        root->ContinuePlay();
        EXPECT_EQ(root->GetCurrentName(), "caseA");
        EXPECT_EQ(root->GetStartMode(), CSpyMain::NewGame);
        EXPECT_EQ(root->GetState(), CSpyMain::StateStart);
        ++n;
    }

    // Find All: continued while not completed, else begun afresh.
    writeSave("FindAll", true);
    boot();
    root->ContinuePlayFindAll();
    EXPECT_EQ(root->GetStartMode(), CSpyMain::ContinueFindAll);
    CurrentProfile::Get().faCompleted = 1.0f;
    boot();
    root->ContinuePlayFindAll();
    EXPECT_EQ(root->GetStartMode(), CSpyMain::NewFindAll);
    EXPECT_FALSE(root->GetSaveSystem().IsLoading());
}

TEST_F(SpyMainTest, PlayNextCaseAndTheEndOfTheStory)
{
    boot();
    takeLog();
    root->ContinuePlay();
    ASSERT_EQ(playOn(), CSpyMain::StatePlay);
    EXPECT_NE(takeLog().find("Load investigation: caseA"), std::string::npos);
    ScriptedCase& inv = root->scripted;
    EXPECT_EQ(inv.calls, (std::vector<std::string>{"ResetForStart(0)", "Entry"}));
    EXPECT_EQ(levelText(), L"1");
    // New game: no save until the next case.
    EXPECT_FALSE(exists(saveFile()));

    inv.results = {27};
    inv.calls.clear();
    EXPECT_EQ(step(), CSpyMain::StateStart);
    EXPECT_EQ(root->GetCurrentName(), "caseB");
    EXPECT_EQ(root->GetStartMode(), CSpyMain::NextGame);
    ASSERT_EQ(playOn(), CSpyMain::StatePlay);
    EXPECT_EQ(inv.calls, (std::vector<std::string>{"ResetForStart(1)", "Entry"}));
    EXPECT_EQ(savedName(), "caseB");
    EXPECT_EQ(levelText(), L"2");

    // The last story case won: "EndGame" saved, the menu after the story.
    inv.results = {27};
    EXPECT_EQ(step(), CSpyMain::StateMenuGameOver);
    EXPECT_EQ(savedName(), "EndGame");
    root->ReturnToMenu();
    root->ContinuePlay();
    EXPECT_EQ(root->GetCurrentName(), "caseA");
    EXPECT_EQ(root->GetStartMode(), CSpyMain::NewGame);
}

TEST_F(SpyMainTest, CertificatesOnceAGameWithTheirGradesAndTheFlagsEachStartClears)
{
    boot();
    root->ContinuePlay();
    ASSERT_EQ(playOn(), CSpyMain::StatePlay);
    ScriptedCase& inv = root->scripted;
    inv.results = {24};
    EXPECT_EQ(step(), CSpyMain::StateMHCertificate);
    std::int32_t tier = -1, count = -1;
    root->GetMHCertificate(tier, count);
    EXPECT_EQ(tier, 1);
    EXPECT_EQ(count, 0);
    // Reading them changes nothing.
    root->GetMHCertificate(tier, count);
    EXPECT_EQ(tier, 1);
    step();
    CDialogMHCertificate& mh = menu->GetMHCertificate();
    EXPECT_TRUE(mh.IsVisible());
    mh.SetState(3);
    EXPECT_EQ(step(), CSpyMain::StatePlay);
    EXPECT_FALSE(mh.IsVisible());
    inv.results = {24};
    EXPECT_EQ(step(), CSpyMain::StatePlay);
    EXPECT_EQ(root->IsMHCertificateShown(), 1);

    // The next case keeps the flag; a new Find All clears only its own.
    inv.results = {27};
    step();
    ASSERT_EQ(playOn(), CSpyMain::StatePlay);
    EXPECT_EQ(root->IsMHCertificateShown(), 1);
    saveAndExit();
    EXPECT_EQ(root->GetState(), CSpyMain::StateMenu);
    root->ReturnToMenu();
    root->StartFindAll();
    ASSERT_EQ(playOn(), CSpyMain::StatePlay);
    EXPECT_EQ(root->IsMHCertificateShown(), 1);
    EXPECT_EQ(levelText(), L"0");

    // Find All's certificate: its grade from the hints used, then the end.
    inv.findAllHintsUsed = 3;
    inv.results = {36};
    EXPECT_EQ(step(), CSpyMain::StateFACertificate);
    root->GetFACertificate(tier, count);
    EXPECT_EQ(tier, 2);
    EXPECT_EQ(count, 3);
    CurrentProfile::Get().faCompleted = 1.0f;  // as the flow records it
    step();
    CDialogFACertificate& fa = menu->GetFACertificate();
    ASSERT_TRUE(fa.IsVisible());
    fa.SetState(3);
    EXPECT_EQ(step(), CSpyMain::StateMenuGameOver);
    EXPECT_EQ(savedName(true), "EndGame");
    EXPECT_EQ(savedName(false), "caseB");

    // A new story game clears both flags.
    root->ReturnToMenu();
    std::filesystem::remove(app.m_fileServer.manglePath(saveFile()));
    root->ContinuePlay();
    ASSERT_EQ(playOn(), CSpyMain::StatePlay);
    EXPECT_EQ(root->IsMHCertificateShown(), 0);
    EXPECT_EQ(root->IsFACertificateShown(), 0);
}

TEST_F(SpyMainTest, TheRoomsPickCursorGoesUnderTheScreensThatStopPlay)
{
    // The hall is one pickable picture, so the mouse over it shows "hand".
    const std::string hall = test_env::home() + "/GameData/_Investigations/caseA/Hall/";
    test_env::writeFile(hall + "items.ini", "[thing]\nPos = 0 0\nPickable = 1\nObject = Image img=Hall_bg\n");
    boot();
    root->ContinuePlay();
    ASSERT_EQ(playOn(), CSpyMain::StatePlay);
    CDialogBase& intro = root->GetDialogs().introText;
    for (int i = 0; i < 100 && !intro.IsVisible(); ++i)
        step();
    intro.SetState(3);
    step(20);
    gui->SetCursor("default");
    moveTo(600, 400);
    step(3);
    ASSERT_NE(gui->cursor, nullptr);
    ASSERT_EQ(gui->cursor->GetName(), "hand");

    // Each screen takes the cursor; play again over the picture brings it back.
    ScriptedCase& inv = root->scripted;
    CDialogBase& help = menu->GetHelp();
    CDialogBase& mh = menu->GetMHCertificate();
    const std::tuple<std::uint32_t, CSpyMain::State, CDialogBase*> screens[] = {
        {24, CSpyMain::StateMHCertificate, &mh}, {CInvestigation::StateHelp, CSpyMain::StateHelp, &help}};
    for (const auto& [result, screen, dialog] : screens) {
        SCOPED_TRACE(result);
        inv.results = {std::uint32_t(result)};
        EXPECT_EQ(step(), screen);
        EXPECT_EQ(gui->cursor->GetName(), "default");
        step();
        dialog->SetState(3);
        EXPECT_EQ(step(), CSpyMain::StatePlay);
        step(3);
        EXPECT_EQ(gui->cursor->GetName(), "hand");
    }

    inv.results = {36};
    EXPECT_EQ(step(), CSpyMain::StateFACertificate);
    EXPECT_EQ(gui->cursor->GetName(), "default");
}

TEST_F(SpyMainTest, FindAllClosedByItsCaseEndKeepsTheStorySave)
{
    boot();
    root->ContinuePlay();
    ASSERT_EQ(playOn(), CSpyMain::StatePlay);
    root->scripted.results = {27};
    step();
    ASSERT_EQ(playOn(), CSpyMain::StatePlay);
    saveAndExit();
    root->ReturnToMenu();
    const Bytes story = fileBytes(saveFile());
    ASSERT_FALSE(story.empty());

    root->StartFindAll();
    ASSERT_EQ(playOn(), CSpyMain::StatePlay);
    root->scripted.results = {27};
    EXPECT_EQ(step(), CSpyMain::StateMenuGameOver);
    EXPECT_EQ(fileBytes(saveFile()), story);
    EXPECT_EQ(savedName(true), "EndGame");
    EXPECT_EQ(CurrentProfile::Get().faCompleted, 1.0f);
    EXPECT_TRUE(exists(profiles->GetFolder() + "_profiles.dat"));
}

TEST_F(SpyMainTest, RestartKeepsTheComicsDoneAndARoomLoadsInThreeSteps)
{
    boot();
    root->ContinuePlay();
    ASSERT_EQ(playOn(), CSpyMain::StatePlay);
    ScriptedCase& inv = root->scripted;
    CSpyEventBase* comics = inv.GetEvents().GetEvent("Comics");
    ASSERT_NE(comics, nullptr);
    comics->ResetDone();
    inv.calls.clear();
    inv.results = {34};
    EXPECT_EQ(step(), CSpyMain::StatePlay);
    EXPECT_TRUE(comics->IsDone());
    EXPECT_EQ(inv.calls, (std::vector<std::string>{"ResetForStart(1)", "Entry"}));

    // 35: the loading screen with the room, the loader, then the room entered.
    ASSERT_FALSE(root->GetRooms().HasRoom("Cellar"));
    inv.results = {35};
    step();
    EXPECT_EQ(root->GetReloadStep(), 1u);
    EXPECT_TRUE(root->GetRooms().HasRoom("Cellar"));
    for (int i = 0; i < 200 && root->GetReloadStep() != 2; ++i)
        step();
    ASSERT_EQ(root->GetReloadStep(), 2u);
    EXPECT_EQ(step(), CSpyMain::StatePlay);
    EXPECT_EQ(root->GetReloadStep(), 0u);
    ASSERT_NE(inv.GetCurrentRoom(), nullptr);
    EXPECT_EQ(inv.GetCurrentRoom()->GetName(), "Cellar");
    EXPECT_NE(inv.GetState(), std::uint32_t(CInvestigation::StateRoomToLoad));

    // The pause window: no update until the left button is released.
    root->OnDeactivate();
    EXPECT_EQ(inv.calls.back(), "Pause(1)");
    GUI::Widget* pause = root->GetDialogs().GetPauseWindow();
    ASSERT_TRUE(pause && pause->IsVisible());
    const int updates = inv.updates;
    step(3);
    EXPECT_EQ(inv.updates, updates);
    root->OnActivate();
    EXPECT_EQ(inv.GetState(), std::uint32_t(CInvestigation::StatePaused));
    click(500, 400);
    root->Update(kDt);
    EXPECT_EQ(inv.calls.back(), "Pause(0)");
    EXPECT_FALSE(pause->IsVisible());
}

TEST_F(SpyMainTest, InGameMenuOptionsHelpAndSaveAndExitThenContinue)
{
    boot();
    root->ContinuePlay();
    ASSERT_EQ(playOn(), CSpyMain::StatePlay);
    ScriptedCase& inv = root->scripted;
    CDialogInGameMenu& menuDialog = root->GetDialogs().inGameMenu;
    inv.results = {29};
    EXPECT_EQ(step(), CSpyMain::StateInGameMenu);
    step();
    ASSERT_TRUE(menuDialog.IsVisible());

    // Options and back: the menu comes again fresh, not straight to options.
    menuDialog.SetState(4);
    EXPECT_EQ(step(), CSpyMain::StateOptions);
    step();
    ASSERT_TRUE(menu->GetOptions().IsVisible());
    menu->GetOptions().SetState(3);
    EXPECT_EQ(step(), CSpyMain::StateInGameMenu);
    EXPECT_EQ(step(), CSpyMain::StateInGameMenu);
    EXPECT_EQ(menuDialog.GetState(), CDialogBase::kStateShown);

    // Help from the menu goes back to the menu; from play, to play.
    menuDialog.SetState(6);
    EXPECT_EQ(step(), CSpyMain::StateHelp);
    step();
    ASSERT_TRUE(menu->GetHelp().IsVisible());
    menu->GetHelp().SetState(3);
    EXPECT_EQ(step(), CSpyMain::StateInGameMenu);
    step();
    menuDialog.SetState(3);
    inv.calls.clear();
    EXPECT_EQ(step(), CSpyMain::StatePlay);
    EXPECT_EQ(inv.calls, std::vector<std::string>{"Resume"});
    inv.results = {37};
    EXPECT_EQ(step(), CSpyMain::StateHelp);
    step();
    menu->GetHelp().SetState(3);
    EXPECT_EQ(step(), CSpyMain::StatePlay);

    // Save and exit: no, then yes.
    inv.results = {29};
    step(2);
    menuDialog.SetState(5);
    EXPECT_EQ(step(), CSpyMain::StateConfirmExit);
    step();
    root->GetDialogs().confirmSaveExit.SetState(4);
    EXPECT_EQ(step(), CSpyMain::StateInGameMenu);
    step();
    menuDialog.SetState(5);
    step();
    step();
    inv.marker = 4242;
    root->GetDialogs().confirmSaveExit.SetState(3);
    EXPECT_EQ(step(), CSpyMain::StateMenu);
    EXPECT_EQ(savedName(), "caseA");
    EXPECT_FALSE(root->GetDialogs().panel.IsVisible());

    // A later run continues it from the investigation's record.
    root.reset();
    boot();
    root->ContinuePlay();
    EXPECT_EQ(root->GetStartMode(), CSpyMain::ContinueGame);
    ASSERT_EQ(playOn(), CSpyMain::StatePlay);
    EXPECT_EQ(root->scripted.marker, 4242u);
    EXPECT_FALSE(root->GetSaveSystem().IsLoading());

    // Without the investigation's block, found once the case has loaded:
    // nothing of it is played; back in the menu, the save set aside whole
    // and the player told; the next Play begins a new game.
    writeSave("caseB");
    const Bytes noCase = fileBytes(saveFile());
    root.reset();
    boot();
    takeLog();
    root->ContinuePlay();
    for (int i = 0; i < 400 && root->GetState() != CSpyMain::StateMenu; ++i)
        step();
    EXPECT_EQ(root->GetState(), CSpyMain::StateMenu);
    EXPECT_NE(takeLog().find("no readable record of investigation 'caseB'; back to the menu"), std::string::npos);
    EXPECT_EQ(std::count(root->scripted.calls.begin(), root->scripted.calls.end(), "Entry"), 0);
    EXPECT_EQ(root->TakeLoadFailure().keptAs, fs::path(app.m_fileServer.manglePath(saveFile())).filename().string() + ".bad");
    EXPECT_FALSE(exists(saveFile()));
    EXPECT_EQ(fileBytes(saveFile() + ".bad"), noCase);
    root->ReturnToMenu();
    root->ContinuePlay();
    EXPECT_EQ(root->GetCurrentName(), "caseA");
    EXPECT_EQ(root->GetStartMode(), CSpyMain::NewGame);
    root.reset();
}

TEST_F(SpyMainTest, DisabledSavesWriteNothing)
{
    test_env::writeFile(test_env::home() + "/Game.ini", "[Other]\nDisableSaves = 1\n");
    ini = std::make_unique<CGameIni>(test_env::home() + "/Game.ini", test_env::home() + "/");
    writeSave("caseB");
    const Bytes before = fileBytes(saveFile());
    boot();
    root->ContinuePlay();
    EXPECT_EQ(root->GetCurrentName(), "caseA");
    ASSERT_EQ(playOn(), CSpyMain::StatePlay);
    root->scripted.results = {27};
    step();
    ASSERT_EQ(playOn(), CSpyMain::StatePlay);
    root->SaveProgress();
    EXPECT_EQ(fileBytes(saveFile()), before);
    EXPECT_FALSE(exists(saveFile(true)));
}

TEST_F(SpyMainTest, MenuTipsThatCanNeverOpenAreNotAskedForAgain)
{
    boot();
    takeLog();
    CGameFlow::Tips& tips = root->GetFlowTips();
    CTipManager& manager = root->GetDialogs().tipManager;
    EXPECT_TRUE(tips.ShowTip("no_such_tip"));
    EXPECT_FALSE(manager.IsTipShown());
    EXPECT_NE(takeLog().find("Tip 'no_such_tip' is not defined; not asked for again"), std::string::npos);
    // Once a level: shown, then used up.
    EXPECT_TRUE(tips.ShowTip("notepad"));
    EXPECT_TRUE(manager.IsTipShown());
    manager.HideTip();
    EXPECT_FALSE(manager.IsTipShown());
    EXPECT_TRUE(tips.ShowTip("notepad"));
    EXPECT_FALSE(manager.IsTipShown());
    // Switched off by the player: refused, so asked again.
    CurrentProfile::Get().showTips = 0;
    manager.ResetCounters(true);
    EXPECT_FALSE(tips.ShowTip("notepad"));
}

TEST_F(SpyMainTest, TheRealCaseEventsReachTheRoot)
{
    boot(false);
    root->ContinuePlay();
    ASSERT_EQ(playOn(), CSpyMain::StatePlay);
    CInvestigation& inv = root->GetInvestigation();
    // The case's introduction first.
    CDialogBase& intro = root->GetDialogs().introText;
    for (int i = 0; i < 100 && !intro.IsVisible(); ++i)
        step();
    ASSERT_TRUE(intro.IsVisible());
    intro.SetState(3);
    step(20);
    ASSERT_EQ(root->GetState(), CSpyMain::StatePlay);
    ASSERT_NE(inv.GetCurrentRoom(), nullptr);
    EXPECT_EQ(inv.GetCurrentRoom()->GetName(), "Hall");

    // The hunt solved: its certificate once, then play again.
    inv.GetEvents().GetEvent("go_mh")->SetDone();
    for (int i = 0; i < 100 && root->GetState() == CSpyMain::StatePlay; ++i)
        step();
    ASSERT_EQ(root->GetState(), CSpyMain::StateMHCertificate);
    step();
    ASSERT_TRUE(menu->GetMHCertificate().IsVisible());
    menu->GetMHCertificate().SetState(3);
    EXPECT_EQ(step(), CSpyMain::StatePlay);
    step(20);
    EXPECT_EQ(root->GetState(), CSpyMain::StatePlay);

    // The case closed: the next one starts and is saved.
    inv.GetEvents().GetEvent("go_close")->SetDone();
    for (int i = 0; i < 100 && root->GetState() == CSpyMain::StatePlay; ++i)
        step();
    EXPECT_EQ(root->GetCurrentName(), "caseB");
    ASSERT_EQ(playOn(), CSpyMain::StatePlay);
    EXPECT_EQ(savedName(), "caseB");
    EXPECT_EQ(inv.GetName(), "caseB");
}

TEST_F(SpyMainTest, AStopDuringACaseSavesAsTheMenuDoesOnceWhatIsOverTheRoomIsGoneOn)
{
    boot();
    root->ContinuePlay();
    // While the case loads the last save (none yet) stands.
    takeLog();
    EXPECT_TRUE(root->SaveBeforeQuit());
    EXPECT_EQ(root->GetState(), CSpyMain::StateStart);
    EXPECT_NE(takeLog().find("The game stops while a case loads: the last save stands"), std::string::npos);
    EXPECT_FALSE(exists(saveFile()));
    ASSERT_EQ(playOn(), CSpyMain::StatePlay);

    // Under the introduction: it is read, and the case saved under the menu.
    CDialogBase& intro = root->GetDialogs().introText;
    for (int i = 0; i < 100 && !intro.IsVisible(); ++i)
        step();
    ASSERT_TRUE(intro.IsVisible());
    root->scripted.marker = 6;
    EXPECT_TRUE(root->SaveBeforeQuit());
    EXPECT_EQ(root->GetState(), CSpyMain::StateMenu);
    EXPECT_EQ(savedName(), "caseA");
    EXPECT_FALSE(intro.IsVisible());
    EXPECT_TRUE(root->SaveBeforeQuit());  // a second request finds the menu: nothing more
    boot();
    root->ContinuePlay();
    ASSERT_EQ(playOn(), CSpyMain::StatePlay);
    EXPECT_EQ(root->scripted.marker, 6u);
    step(20);
    EXPECT_FALSE(root->GetDialogs().introText.IsVisible());
    EXPECT_EQ(root->GetInvestigation().GetState(), std::uint32_t(CInvestigation::StatePlay));
    ASSERT_NE(root->GetInvestigation().GetCurrentRoom(), nullptr);
    EXPECT_EQ(root->GetInvestigation().GetCurrentRoom()->GetName(), "Hall");

    // Under the murder-hunt certificate: read, so it is not shown again.
    root->scripted.results = {24};
    ASSERT_EQ(step(), CSpyMain::StateMHCertificate);
    step();
    ASSERT_TRUE(menu->GetMHCertificate().IsVisible());
    EXPECT_TRUE(root->SaveBeforeQuit());
    EXPECT_FALSE(menu->GetMHCertificate().IsVisible());
    boot();
    root->ContinuePlay();
    ASSERT_EQ(playOn(), CSpyMain::StatePlay);
    EXPECT_EQ(root->IsMHCertificateShown(), 1);
    root->scripted.results = {24};
    EXPECT_EQ(step(), CSpyMain::StatePlay);

    // Under the in-game menu's options, and while the window is away (the
    // pause): saved too.
    root->scripted.results = {29};
    step(2);
    root->GetDialogs().inGameMenu.SetState(4);
    ASSERT_EQ(step(), CSpyMain::StateOptions);
    root->scripted.marker = 8;
    EXPECT_TRUE(root->SaveBeforeQuit());
    EXPECT_EQ(root->GetState(), CSpyMain::StateMenu);
    boot();
    root->ContinuePlay();
    ASSERT_EQ(playOn(), CSpyMain::StatePlay);
    EXPECT_EQ(root->scripted.marker, 8u);
    root->OnDeactivate();
    ASSERT_EQ(root->GetInvestigation().GetState(), std::uint32_t(CInvestigation::StatePaused));
    root->scripted.marker = 9;
    EXPECT_TRUE(root->SaveBeforeQuit());
    EXPECT_EQ(root->GetState(), CSpyMain::StateMenu);
    EXPECT_FALSE(root->GetDialogs().GetPauseWindow()->IsVisible());
    boot();
    root->ContinuePlay();
    ASSERT_EQ(playOn(), CSpyMain::StatePlay);
    EXPECT_EQ(root->scripted.marker, 9u);
    EXPECT_EQ(root->scripted.calls.back(), "Resume");

    // In the main menu there is no game to save.
    saveAndExit();
    const Bytes saved = fileBytes(saveFile());
    EXPECT_TRUE(root->SaveBeforeQuit());
    EXPECT_EQ(fileBytes(saveFile()), saved);
}

TEST_F(SpyMainTest, AStopWhoseSaveFailsKeepsTheCaseUnderTheInGameMenu)
{
    boot();
    root->ContinuePlay();
    ASSERT_EQ(playOn(), CSpyMain::StatePlay);
    saveAndExit();
    root->ReturnToMenu();
    const Bytes saved = fileBytes(saveFile());
    root->ContinuePlay();
    ASSERT_EQ(playOn(), CSpyMain::StatePlay);
    root->scripted.results = {CInvestigation::StateHelp};
    ASSERT_EQ(step(), CSpyMain::StateHelp);
    step();
    ASSERT_TRUE(menu->GetHelp().IsVisible());

    // The saved-games folder takes no new file.
    auto* previous = g_fileOpenFunction;
    g_fileOpenFunction = [](const char* path, int flags, mode_t mode) {
        if (flags & O_CREAT) {
            errno = EROFS;
            return -1;
        }
        return ::open(path, flags, mode);
    };
    EXPECT_FALSE(root->SaveBeforeQuit());
    g_fileOpenFunction = previous;
    EXPECT_EQ(root->GetState(), CSpyMain::StateInGameMenu);
    EXPECT_EQ(root->GetInvestigation().GetState(), std::uint32_t(CInvestigation::StateInGameMenu));
    EXPECT_FALSE(menu->GetHelp().IsVisible());
    EXPECT_EQ(root->TakeSaveFailure(), "save_error_read_only");
    EXPECT_EQ(fileBytes(saveFile()), saved);
    // The game goes on under the menu, which saves it now.
    step(2);
    EXPECT_TRUE(root->GetDialogs().inGameMenu.IsVisible());
    root->scripted.marker = 5;
    EXPECT_TRUE(root->SaveBeforeQuit());
    EXPECT_EQ(root->GetState(), CSpyMain::StateMenu);
    boot();
    root->ContinuePlay();
    ASSERT_EQ(playOn(), CSpyMain::StatePlay);
    EXPECT_EQ(root->scripted.marker, 5u);
}

TEST_F(SpyMainTest, AWonCaseIsSavedAsItsBannerStarts)
{
    boot();
    root->ContinuePlay();
    ASSERT_EQ(playOn(), CSpyMain::StatePlay);
    EXPECT_FALSE(exists(saveFile()));
    root->scripted.marker = 4;
    root->scripted.results = {26};
    EXPECT_EQ(step(), CSpyMain::StatePlay);
    EXPECT_EQ(savedName(), "caseA");
    boot();
    root->ContinuePlay();
    ASSERT_EQ(playOn(), CSpyMain::StatePlay);
    EXPECT_EQ(root->scripted.marker, 4u);
}

TEST_F(SpyMainTest, ASaveThatCannotBeOpenedAtPlayStartsNothingAndStaysAsItWas)
{
    writeSave("caseB");
    writeSave("FindAll", true);
    const Bytes story = fileBytes(saveFile());
    const Bytes findAll = fileBytes(saveFile(true));
    boot();
    static std::string blocked;
    blocked = app.m_fileServer.manglePath(saveFile());
    auto* previous = g_fileOpenFunction;
    g_fileOpenFunction = [](const char* path, int flags, mode_t mode) {
        if (path == blocked || path == blocked + "FA") {
            errno = EACCES;
            return -1;
        }
        return ::open(path, flags, mode);
    };
    takeLog();
    root->ContinuePlay();
    EXPECT_EQ(root->GetState(), CSpyMain::StateMenu);
    EXPECT_EQ(root->TakeLoadFailure().reason, "load_error_denied");
    EXPECT_EQ(root->TakeLoadFailure().reason, "");
    EXPECT_NE(takeLog().find("cannot be read now: no game starts"), std::string::npos);
    root->ContinuePlayFindAll();
    EXPECT_EQ(root->GetState(), CSpyMain::StateMenu);
    const CGameFlow::Root::LoadFailure told = root->TakeLoadFailure();
    EXPECT_EQ(told.heading, "load_failed_game");
    EXPECT_EQ(told.reason, "load_error_denied");
    g_fileOpenFunction = previous;
    EXPECT_EQ(fileBytes(saveFile()), story);
    EXPECT_EQ(fileBytes(saveFile(true)), findAll);
    EXPECT_FALSE(exists(saveFile() + ".bad"));
    EXPECT_FALSE(exists(saveFile(true) + ".bad"));

    // Once it opens, it is continued.
    root->ContinuePlay();
    EXPECT_EQ(root->GetCurrentName(), "caseB");
    EXPECT_EQ(root->GetStartMode(), CSpyMain::ContinueGame);
}

TEST_F(SpyMainTest, ASaveBehindALinkThatCannotBeFollowedStartsNothingAndAWriteThroughALinkSaysWhatRefusedIt)
{
    boot();
    root->ContinuePlay();
    ASSERT_EQ(playOn(), CSpyMain::StatePlay);
    root->scripted.marker = 7;
    saveAndExit();
    root->ReturnToMenu();
    // The story save made a link into a folder the player may not search,
    // the Find All save a loop of links.
    const std::string story = app.m_fileServer.manglePath(saveFile());
    const std::string locked = test_env::home() + "/locked/";
    fs::create_directory(locked);
    fs::rename(story, locked + "p.save");
    fs::create_symlink(locked + "p.save", story);
    fs::create_symlink("loop", story + "FA");
    fs::create_symlink(file_getName(story) + "FA", file_getDirectory(story) + "loop");
    const Bytes saved = fileBytes(saveFile());
    test_env::WithoutFileRights unprivileged;
    ASSERT_TRUE(unprivileged.active());
    fs::permissions(locked, fs::perms::none);
    for (const bool findAll : {false, true}) {
        findAll ? root->ContinuePlayFindAll() : root->ContinuePlay();
        EXPECT_EQ(root->GetState(), CSpyMain::StateMenu);
        const CGameFlow::Root::LoadFailure told = root->TakeLoadFailure();
        EXPECT_EQ(told.heading, "load_failed_game");
        EXPECT_EQ(told.reason, findAll ? "save_error_link_loop" : "load_error_denied");
    }

    // Readable, not writable: Play goes on, and a save through the link
    // names its folder's refusal; so for a folder gone, and a loop.
    fs::permissions(locked, fs::perms::owner_read | fs::perms::owner_exec);
    root->ContinuePlay();
    ASSERT_EQ(playOn(), CSpyMain::StatePlay);
    EXPECT_EQ(root->scripted.marker, 7u);
    for (const auto& [to, told] : std::vector<std::pair<std::string, std::string>>{
             {locked + "p.save", "save_error_link_read_only"},
             {test_env::home() + "/gone/p.save", "save_error_link_no_folder"},
             {"loop", "save_error_link_loop"}}) {
        fs::remove(story);
        fs::create_symlink(to, story);
        EXPECT_FALSE(root->SaveProgress());
        EXPECT_EQ(root->TakeSaveFailure(), told);
    }
    fs::permissions(locked, fs::perms::owner_all);
    const std::string kept = test_env::readFile(locked + "p.save");
    EXPECT_EQ(Bytes(kept.begin(), kept.end()), saved);
    EXPECT_EQ(std::distance(fs::directory_iterator(locked), fs::directory_iterator()), 1);
}
