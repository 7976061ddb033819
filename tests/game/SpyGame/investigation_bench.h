#pragma once
// The investigation bench: the real resource manager, GUI (the demo's
// scripts), game panel, rooms and personages managers on the headless
// device (recording or offscreen GL), sound on the manual output, scripted
// mouse and keyboard at a fixed dt, and the generator seeded.
//
// A fixture case "caseA" is written into the test's home with pictures made
// here: Hall (845 x 768, the start room, scripted), Wide (1024 x 768),
// Close (a 600 x 450 close-up), Study (the hunt's card room, with
// ENVELOPE and MH_CONTAINER) and the demo's Decrypt; ".ai" and
// "_events.ini" files; the demo's three boards are added as the game root
// adds them. Rooms of class "Scripted" report the results queued in their
// script from Update. The dialogs are the real container, its tips on a
// fixture "tips.ini", seen through a recording link.
#include <deque>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "Dialogs/dialog_fixture.h"
#include "game/SpyGame/Dialogs/DialogSpyGamePanel.h"
#include "game/SpyGame/Dialogs/GameDialogs.h"
#include "game/SpyGame/GameDialogsLink.h"
#include "game/SpyGame/Investigation.h"
#include "game/SpyGame/InvestigationDialogs.h"
#include "game/SpyGame/PersonagesManager.h"
#include "game/SpyGame/Rooms/GlobalMap.h"
#include "game/SpyGame/Rooms/InvCards.h"
#include "game/SpyGame/Rooms/MurderHunt.h"
#include "game/SpyGame/Rooms/RoomsManager.h"

namespace invtest {

constexpr const char* kCases = "cases:";

// Every tip the triggers know, shown five times a case (first_global_map
// and skip once), mh_first_photo a pointer tip.
extern const char* const kTipsIni;

// A room whose Update hands out queued results (with the target, close-up
// or clicked item each needs) and notes the calls the investigation makes.
class ScriptedRoom : public CRoomBase {
public:
    static constexpr const char* kClassName = "Scripted";
    struct Step {
        int result = ResultNone;
        std::string target;  // room of 5 and 6, item of 8
    };

    std::string GetClassName() const override { return kClassName; }
    void Reset() override;
    void Entry(std::uint32_t value) override;
    void Exit() override;
    int Update(float dt, bool passive) override;

    std::deque<Step> script;
    std::vector<std::string> calls;
};

// The real container as the investigation sees it: the calls that show
// or hide something are noted, and the tips that opened with their points.
class RecordingDialogs : public CGameDialogsLink {
public:
    using CGameDialogsLink::CGameDialogsLink;

    // Notes "dialogs" in the layers, then the container draws.
    void Render() override;
    void HideDialogs() override;
    void HideAll() override;
    void ShowMessage(const std::string& id, const std::string& prefix, bool timed) override;
    void ShowPause(bool show) override;
    bool ShowTip(const std::string& name, std::int32_t x, std::int32_t y) override;
    void ResetTipCounters(bool full) override;
    void ShowTutorial(const std::string& textId) override;
    void ShowInvCard(const std::shared_ptr<aImage>& card) override;
    void ShowMHPhoto(const std::shared_ptr<aImage>& photo, const std::wstring& text) override;

    void add(const std::string& call) { calls.push_back(call); }
    std::vector<std::string> take();

    std::vector<std::string> calls;
    std::vector<std::string> shownTips;  // "name@x,y"
    std::wstring photoText;
    std::vector<std::string>* layers = nullptr;
};

// The investigation with its inner fields open to tests; OnEvent notes the
// events it is given ("prefix:name", "+done" when already marked done), and
// the drawing slots note the layers they draw.
class Probe : public CInvestigation {
public:
    using CInvestigation::clickAges;
    using CInvestigation::currentEvent;
    using CInvestigation::currentRoom;
    using CInvestigation::fadeAlpha;
    using CInvestigation::faTutorialPending;
    using CInvestigation::findAllHintsUsed;
    using CInvestigation::flash;
    using CInvestigation::globalMap;
    using CInvestigation::history;
    using CInvestigation::murderHunt;
    using CInvestigation::identifiedItem;
    using CInvestigation::mapEnabled;
    using CInvestigation::pendingRoom;
    using CInvestigation::pickedItem;
    using CInvestigation::previousState;
    using CInvestigation::state;

    bool OnEvent(CSpyEventBase* event, const std::string& prefix) override;
    void DrawRooms() override;
    void DrawFlash() override;

    std::vector<std::string> seen;
    std::vector<std::string> layers;
};

template <class Base>
class InvestigationBench : public Base {
protected:
    void SetUp() override;
    void TearDown() override;

    // Writes the fixture case (with its _investigation.ini text) and the
    // pictures; the case's folder.
    std::string writeCase(const std::string& ini, const std::string& name = "caseA");
    // The demo's boards added and initialised as the game root does it.
    void addBoards();
    // Load, the loader run to the end, Start.
    void loadCase(const std::string& name = "caseA", bool findAll = false, const std::string& folder = kCases);
    // loadCase, then ResetForStart(false) and Entry.
    void playCase(const std::string& name = "caseA");
    // A Game.ini of the language, read by a new CGameIni.
    void setLanguage(const std::string& language);
    ScriptedRoom& scripted(const std::string& room);
    CRoomBase* room(const std::string& name) { return rooms->HasRoom(name) ? rooms->GetRoom(name) : nullptr; }
    // How often the log got the text since the last call.
    std::size_t logged(const std::string& text);

    // Writes the fixture "tips.ini" (the default one when empty) and loads it.
    void loadTips(const std::string& text = std::string());

    std::unique_ptr<CGameDialogs> container;
    // The container's.
    CDialogSpyGamePanel* panel = nullptr;
    CTipManager* tipManager = nullptr;
    CInvestigationBanner* banner = nullptr;
    CDialogHint* hint = nullptr;
    std::unique_ptr<RecordingDialogs> dialogs;
    std::unique_ptr<CPersonagesManager> personages;
    std::unique_ptr<CDialogsRoomContext> context;
    std::unique_ptr<CRoomsManager> rooms;
    std::unique_ptr<Probe> inv;
    CGlobalMap* map = nullptr;
    CMurderHunt* hunt = nullptr;
    CInvCards* cards = nullptr;

private:
    std::string m_log;
};

using InvestigationTest = InvestigationBench<dialogtest::RecordingDialogBench>;
using InvestigationGlTest = InvestigationBench<dialogtest::GlDialogBench>;

// The standard fixture case's ini: Hall to start, the case music, the hunt
// on Study, one personage.
extern const char* const kCaseIni;

} // namespace invtest
