// The investigation's set-up on the fixture case and the demo case.
#include <cmath>

#include "engine/gui/gui_window.h"
#include "engine/sound/a_music_manager.h"
#include "engine/util/a_locale_server.h"
#include "game/shell/c_res_manager.h"
#include "investigation_bench.h"
#include "test_env.h"

using namespace invtest;

namespace {

std::string withClicks(const std::string& section)
{
    return std::string(kCaseIni) + section;
}

} // namespace

TEST_F(InvestigationTest, ClicksWarningDefaultsAndMends)
{
    inv->Init(dialogs.get(), rooms.get(), personages.get());
    struct Row {
        const char* section;
        int limit;
        float between, timeOut;
        std::size_t warnings;
    };
    const Row rows[] = {
        {"", 3, 1.1f, 30.0f, 0},                                                    // no section
        {"[ClicksWarning]\ntime_out = 12\n", 3, 1.1f, 12.0f, 0},                   // a missing limit takes 3
        {"[ClicksWarning]\nclicks_limit = 5\ntime_between_clicks = 0.5\n", 5, 0.5f, 30.0f, 0},
        {"[ClicksWarning]\nclicks_limit = 0\n", 3, 1.1f, 30.0f, 1},                // 0 would fire every frame
        {"[ClicksWarning]\nclicks_limit = many\ntime_out = -4\n", 3, 1.1f, 30.0f, 2},
        {"[ClicksWarning]\ntime_between_clicks = nan\ntime_out = inf\n", 3, 1.1f, 30.0f, 2},
    };
    for (const Row& row : rows) {
        writeCase(withClicks(row.section));
        inv->Load("cases:", "caseA", false);
        EXPECT_EQ(inv->GetClicksLimit(), row.limit) << row.section;
        EXPECT_FLOAT_EQ(inv->GetTimeBetweenClicks(), row.between) << row.section;
        EXPECT_FLOAT_EQ(inv->GetClickTimeOut(), row.timeOut) << row.section;
        EXPECT_EQ(logged("[ClicksWarning]"), row.warnings) << row.section;
        EXPECT_EQ(inv->GetState(), CInvestigation::StateLoaded);
    }

    // A missing ini is logged with its path and read as empty.
    inv->Load("cases:", "nowhere", false);
    EXPECT_EQ(logged("cases:nowhere/_investigation.ini"), 1u);
    EXPECT_EQ(inv->GetClicksLimit(), 3);
    EXPECT_EQ(inv->GetKey(), "Investigation : nowhere");
}

TEST_F(InvestigationTest, StateGuardsAndTextFileChoice)
{
    writeCase("[Main]\nInternalLanguage = Deutsch\n");
    // Nothing before Init.
    inv->Load("cases:", "caseA", false);
    EXPECT_EQ(inv->GetState(), CInvestigation::StateConstructed);
    EXPECT_EQ(inv->GetName(), "");
    inv->Init(dialogs.get(), rooms.get(), personages.get());
    EXPECT_EQ(inv->GetState(), CInvestigation::StateInitialised);
    EXPECT_EQ(inv->GetArea(), aRect(179, 0, 845, 768));
    EXPECT_NE(inv->GetWindow(), nullptr);
    EXPECT_EQ(inv->GetWindow()->GetParent(), nullptr);
    inv->Start();
    inv->ResetForStart(false);
    inv->Entry();
    EXPECT_EQ(inv->GetState(), CInvestigation::StateInitialised);

    // [Main] InternalLanguage against the game's language: the case's own Locale/ or the language folder.
    setLanguage("English");
    inv->Load("cases:", "caseA", false);
    EXPECT_EQ(logged("[ClicksWarning]"), 0u);
    EXPECT_EQ(inv->GetInternalLanguage(), 0);
    EXPECT_EQ(inv->GetTextFile(), "language:_Investigations/caseA/investigation.txt");
    inv->ResetForStart(false);  // state 2: nothing
    inv->Entry();
    EXPECT_EQ(inv->GetState(), CInvestigation::StateLoaded);
    const std::string dir = writeCase("[Main]\nInternalLanguage = English\n");
    test_env::writeFile(dir + "Locale/investigation.txt", "hello = \"Hallo\"\n");
    inv->Load("cases:", "caseA", false);
    EXPECT_EQ(inv->GetInternalLanguage(), 1);
    EXPECT_EQ(inv->GetTextFile(), "cases:caseA/Locale/investigation.txt");
    const std::wstring* text = res->GetLocaleServer()->findString("hello", "caseA");
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(*text, L"Hallo");
    inv->Clear();
    EXPECT_EQ(res->GetLocaleServer()->findString("hello", "caseA"), nullptr);
    EXPECT_EQ(inv->GetState(), CInvestigation::StateInitialised);
}

TEST_F(InvestigationTest, StartFindsBoardsPersonagesAndEvents)
{
    addBoards();
    writeCase(kCaseIni);
    loadCase();
    EXPECT_EQ(inv->GetState(), CInvestigation::StateStarted);
    EXPECT_EQ(inv->GetGlobalMap(), map);
    EXPECT_EQ(inv->GetMurderHuntRoom(), hunt);
    EXPECT_EQ(inv->GetInvCards(), cards);
    EXPECT_EQ(personages->GetAllNames(), (std::vector<std::string>{"Quennick", "Marivel"}));
    ASSERT_EQ(inv->GetEvents().GetEvents().size(), 1u);
    EXPECT_NE(inv->GetMultiClickSound(), nullptr);
    EXPECT_TRUE(rooms->HasRoom("Hall") && rooms->HasRoom("Decrypt"));

    // An empty personage list is caught and logged with the case's name; the case goes on.
    inv->Clear();
    writeCase("[Main]\nStartRoom = Hall\n[PersonagesList]\nPersonages =\n", "caseB");
    loadCase("caseB");
    EXPECT_EQ(inv->GetState(), CInvestigation::StateStarted);
    EXPECT_EQ(logged("Investigation 'caseB' plays without"), 1u);
    inv->ResetForStart(false);
    EXPECT_EQ(logged("has no active personage"), 1u);
    inv->Entry();
    EXPECT_EQ(inv->GetState(), CInvestigation::StatePlay);
    EXPECT_EQ(personages->GetCurrentPersonage(), nullptr);
    EXPECT_FALSE(inv->HasRoomTasks());
}

TEST_F(InvestigationTest, FindAllCountsTheLocationsItems)
{
    addBoards();
    const std::string dir = test_env::home() + "/Cases/FindAll/";
    test_env::writeFile(dir + "_investigation.ini", "[PersonagesList]\nPersonages = Quennick\nStartPersonages = Quennick\n");
    test_env::writeFile(dir + "_rooms.list", "Study\nDesk_CU\nMissing\n");
    loadCase("FindAll", true, "cases:");
    EXPECT_EQ(inv->GetState(), CInvestigation::StateStarted);
    EXPECT_TRUE(inv->IsFindAll());
    EXPECT_FALSE(rooms->HasRoom("Study"));  // Find All rooms load on demand
    CPersonage* quennick = personages->GetPersonage("Quennick");
    ASSERT_NE(quennick, nullptr);
    auto count = [&](const std::string& room) { return quennick->GetRoomInfo(room).roomItemsCount; };
    // What each room's pool will hold: the study's sixteen hidden objects,
    // not its doors or the hunt's case; the desk's drawer, card and letter
    // are none of them.
    EXPECT_EQ(count("Study"), 16u);
    EXPECT_EQ(count("Desk_CU"), 0u);
    EXPECT_EQ(count("Missing"), 0u);
    EXPECT_EQ(count("GlobalMap"), 0u);
}

TEST_F(InvestigationTest, ResetForStartKeepsOrResetsAndCentresRooms)
{
    addBoards();
    writeCase(kCaseIni);
    loadCase();
    CTipEvents& tips = inv->GetTipEvents();
    tips.SetShown(CTipEvents::Notepad, true);
    panel->SetHintsCount(0);
    dialogs->take();

    inv->ResetForStart(true);
    EXPECT_EQ(inv->GetState(), CInvestigation::StateReady);
    EXPECT_TRUE(tips.IsShown(CTipEvents::Notepad));
    auto calls = dialogs->take();
    EXPECT_EQ(calls.front(), "HideAll");
    EXPECT_NE(std::find(calls.begin(), calls.end(), "ResetTipCounters(0)"), calls.end());
    EXPECT_EQ(panel->GetHintsCount(), 3u);
    // Signed arithmetic with halves floored; the map stays where it was.
    auto at = [&](const char* name) {
        return std::make_pair(int(room(name)->GetPointX()), int(room(name)->GetPointY()));
    };
    EXPECT_EQ(at("Wide"), std::make_pair(89, 0));
    EXPECT_EQ(at("Close"), std::make_pair(301, 159));
    EXPECT_EQ(at("Hall"), std::make_pair(179, 0));
    EXPECT_EQ(at("GlobalMap"), std::make_pair(0, 0));
    EXPECT_EQ(personages->GetCurrentPersonage()->GetName(), "Quennick");
    EXPECT_EQ(container->message.GetIconPersonage(), "Quennick");
    EXPECT_EQ(inv->GetPreviousState(), CInvestigation::kNoState);

    inv->ResetForStart(false);
    EXPECT_FALSE(tips.IsShown(CTipEvents::Notepad));
    calls = dialogs->take();
    EXPECT_NE(std::find(calls.begin(), calls.end(), "ResetTipCounters(1)"), calls.end());
    EXPECT_EQ(map->GetEventsManager(), &inv->GetEvents());
}

TEST_F(InvestigationTest, EntryToRoomMapOrNowhere)
{
    addBoards();
    writeCase(kCaseIni);
    playCase();
    EXPECT_EQ(inv->GetState(), CInvestigation::StatePlay);
    EXPECT_EQ(inv->GetCurrentRoom(), room("Hall"));
    EXPECT_EQ(scripted("Hall").calls.back(), "Entry(0)");
    EXPECT_EQ(inv->GetMapLocation(), "");  // the demo map has no Hall location
    // The room's event fired once, already marked done, with the room's prefix.
    EXPECT_EQ(inv->seen, (std::vector<std::string>{"Hall:hall_hello+done"}));
    std::string group;
    EXPECT_EQ(res->GetMusicManager()->GetCurrentTrack(group), "investigation");
    EXPECT_FLOAT_EQ(panel->GetClockTime(), 1500.0f);
    EXPECT_TRUE(panel->IsVisible());
    EXPECT_TRUE(panel->GetPart(CDialogSpyGamePanel::BtnMap)->IsEnabled(true));

    // No start room: the map.
    inv->seen.clear();
    writeCase("[PersonagesList]\nPersonages = Quennick\nStartPersonages = Quennick\n", "caseB");
    playCase("caseB");
    EXPECT_EQ(inv->GetState(), CInvestigation::StateMap);
    EXPECT_EQ(inv->GetCurrentRoom(), map);
    EXPECT_FALSE(panel->GetPart(CDialogSpyGamePanel::BtnMap)->IsEnabled(true));

    // A missing start room is logged; with a map the case goes there.
    writeCase("[Main]\nStartRoom = Attic\n[PersonagesList]\nPersonages = Quennick\nStartPersonages = Quennick\n",
              "caseC");
    playCase("caseC");
    EXPECT_EQ(logged("Not find start room 'Attic'."), 1u);
    EXPECT_EQ(inv->GetState(), CInvestigation::StateMap);
}

TEST_F(InvestigationTest, EntryWithoutMapStaysReady)
{
    writeCase("[Main]\nStartRoom = Attic\n[PersonagesList]\nPersonages = Quennick\nStartPersonages = Quennick\n");
    playCase();
    EXPECT_EQ(logged("Not find start room 'Attic'."), 1u);
    EXPECT_EQ(inv->GetState(), CInvestigation::StateReady);
    EXPECT_TRUE(inv->seen.empty());
    writeCase("[PersonagesList]\nPersonages = Quennick\nStartPersonages = Quennick\n", "caseB");
    playCase("caseB");
    EXPECT_EQ(logged("Not exist map and not define start room!"), 1u);
    EXPECT_EQ(inv->GetState(), CInvestigation::StateReady);
    EXPECT_EQ(inv->GetCurrentRoom(), nullptr);
}

TEST_F(InvestigationTest, DemoCaseLifecycle)
{
    addBoards();
    inv->Init(dialogs.get(), rooms.get(), personages.get());
    loadCase("1chapter", false, "gamedata:_Investigations/");
    ASSERT_EQ(inv->GetState(), CInvestigation::StateStarted);
    EXPECT_TRUE(rooms->HasRoom("Study") && rooms->HasRoom("Desk_CU") && rooms->HasRoom("Decrypt"));
    inv->ResetForStart(false);
    // The desk close-up is 600 x 450; the study as wide as its picture.
    EXPECT_EQ(room("Study")->GetPointX(), int(std::floor(179 + (845 - room("Study")->GetScaledWidth()) / 2.0)));
    EXPECT_EQ(room("Desk_CU")->GetPointX(), 301);
    EXPECT_EQ(room("Desk_CU")->GetPointY(), 159);
    inv->Entry();
    EXPECT_EQ(inv->GetState(), CInvestigation::StateMap);
    EXPECT_EQ(inv->GetCurrentRoom(), map);
    ASSERT_NE(personages->GetCurrentPersonage(), nullptr);
    EXPECT_EQ(personages->GetCurrentPersonage()->GetName(), "Quennick");
    EXPECT_FALSE(inv->GetEvents().GetEvents().empty());
    aLocaleServer& locale = *res->GetLocaleServer();
    EXPECT_NE(locale.findString("HINT_TOOL_TIP_MH_QUEST", "1chapter"), nullptr);

    inv->Clear();
    EXPECT_EQ(locale.findString("HINT_TOOL_TIP_MH_QUEST", "1chapter"), nullptr);
    EXPECT_EQ(inv->GetState(), CInvestigation::StateInitialised);
    EXPECT_FALSE(rooms->HasRoom("Study") || rooms->HasRoom("Desk_CU"));
    EXPECT_TRUE(rooms->HasRoom("GlobalMap"));
    EXPECT_TRUE(personages->GetPersonages().empty());
    EXPECT_TRUE(inv->GetEvents().GetEvents().empty());
    EXPECT_EQ(inv->GetCurrentRoom(), nullptr);
    EXPECT_EQ(inv->GetName(), "");

    // A second case loads into the same investigation.
    writeCase(kCaseIni);
    playCase();
    EXPECT_EQ(inv->GetState(), CInvestigation::StatePlay);
    EXPECT_EQ(inv->GetKey(), "Investigation : caseA");
}
