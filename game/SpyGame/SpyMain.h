#pragma once
// The root of a game in play. The game flow owns one, calls its operations
// from the main menu and in play, and reads its top state after every
// update (6 and 7: back to the menu; 13: a failed save to tell over the
// in-game menu; 17 and 18: a certificate to record).
// It owns the save system, the case list, the investigation, the rooms and
// personages managers and the in-game dialogs, and saves the player's
// progress: the story in the profile's ".save" file, the Find All game in
// the same name followed by "FA".
//
// Top states:
//   0 constructed, 1 initialised (also after Unload), 2 case loading,
//   3 shared rooms and list queued, 5 shared resources ready, 6 main menu,
//   7 main menu after the story or Find All ended, 8 start requested,
//   9 waiting for the loader, 10 case loaded, 12 play, 13 in-game menu,
//   14 options, 15 help, 16 save-and-exit question, 17 murder-hunt
//   certificate, 18 Find All certificate; 4 and 11 are not used.
//
// Members are built in declaration order and destroyed in reverse, after
// Unload. Main thread only.
#include <cstdint>
#include <set>
#include <string>

#include "engine/util/a_string_list.h"
#include "game/SpyGame/Dialogs/GameDialogs.h"
#include "game/SpyGame/Investigation.h"
#include "game/SpyGame/GameDialogsLink.h"
#include "game/SpyGame/PersonagesManager.h"
#include "game/SpyGame/Rooms/RoomsManager.h"
#include "game/shell/c_game_flow.h"
#include "game/shell/save_load_entity.h"
#include "game/shell/save_load_system.h"

class CDialogFACertificate;
class CDialogHelp;
class CDialogMHCertificate;
class CDialogOptions;
class CResLoader;
class CResManager;

class CSpyMain : public SaveLoadEntity, public CGameFlow::Root {
public:
    static constexpr const char* kEntityKey = "<SpyMain>";
    static constexpr const char* kInvestigationsFolder = "gamedata:_Investigations/";
    static constexpr const char* kInvestigationsList = "_investigations.list";
    static constexpr const char* kFindAll = "FindAll";
    static constexpr const char* kEndGame = "EndGame";
    static constexpr const char* kGlobalMap = "GlobalMap";
    static constexpr const char* kMurderHunt = "MurderHunt";
    static constexpr const char* kInvCards = "InvCards";
    static constexpr const char* kComicsEvent = "Comics";
    static constexpr const char* kRewardSound = "reward_appear";
    static constexpr std::uint32_t kSaveVersion = 4374;
    // The music never plays louder than this under a certificate.
    static constexpr float kCertificateMusic = 0.3f;

    enum State : std::uint32_t {
        StateConstructed = 0,
        StateInitialised = 1,
        StateLoading = 2,
        StateCommonQueued = 3,
        StateCommonReady = 5,
        StateMenu = 6,
        StateMenuGameOver = 7,
        StateStart = 8,
        StateWaitLoader = 9,
        StateLoaded = 10,
        StatePlay = 12,
        StateInGameMenu = 13,
        StateOptions = 14,
        StateHelp = 15,
        StateConfirmExit = 16,
        StateMHCertificate = 17,
        StateFACertificate = 18,
    };
    enum StartMode : std::uint32_t {
        NewGame = 0,
        ContinueGame = 1,
        NextGame = 2,
        NewFindAll = 3,
        ContinueFindAll = 4,
    };

    CSpyMain();
    ~CSpyMain() override;
    CSpyMain(const CSpyMain&) = delete;
    CSpyMain& operator=(const CSpyMain&) = delete;

    // ---- The save record
    std::uint32_t LoadSelf(SaveLoadSystem& system, std::uint32_t pos) override;
    std::uint32_t SaveSelf(SaveLoadSystem& system, std::uint32_t pos) override;

    // ---- Called by the game flow
    // Only in state 0. The dialogs belong to the caller.
    void Init(CDialogOptions* options, CDialogFACertificate* faCertificate, CDialogHelp* help,
              CDialogMHCertificate* mhCertificate);
    // The menu dialogs the flow's Init hands on.
    void SetMenuDialogs(CDialogOptions* options, CDialogFACertificate* faCertificate, CDialogHelp* help,
                        CDialogMHCertificate* mhCertificate);
    void Init() override;
    void LoadCommonResources() override;
    void FinishLoading() override;
    void ReturnToMenu() override;
    void ContinuePlay() override;
    void StartFindAll() override;
    void ContinuePlayFindAll() override;
    std::uint32_t Update(float dt) override;
    void Draw() override;
    void OnActivate() override;
    void OnDeactivate() override;
    LRESULT OnWindowMessage(HWND window, std::uint32_t message, WPARAM wParam, LPARAM lParam) override;
    void Unload() override;
    // What was last handed to the certificate: the murder hunt's grade and
    // the hunt counter read after it; the Find All grade and the hints used.
    void GetMHCertificate(std::int32_t& tier, std::int32_t& count) const override;
    void GetFACertificate(std::int32_t& tier, std::int32_t& count) const override;
    // During a case: saves and leaves it as the menu's "save and exit"
    // does, once what is over the room is gone on from (a certificate's end
    // first; Find All's ends the game). While a case or a room loads the
    // last save stands. False when the save could not be written: the case
    // then stays under the in-game menu.
    bool SaveBeforeQuit() override;
    // Why the last SaveProgress could not write the save (a Main.txt string
    // id), once; "" when it was written.
    std::string TakeSaveFailure() override;
    // The save the last Play could not use, once: unreadable now (nothing
    // started, the save left as it is), or unusable (set aside, and back in
    // the menu).
    LoadFailure TakeLoadFailure() override;

    // ---- Own operations
    // n = 0: true when the list has a story case first. Otherwise the
    // entry n steps on; false past the end or at "FindAll".
    bool SelectInvestigation(std::uint32_t n);
    bool HasInvestigation(const std::string& name) const;
    // -1 for "FindAll" or a name not in the list.
    std::int32_t GetInvestigationIndex() const;
    // False when the save could not be written (TakeSaveFailure says why).
    bool SaveProgress();
    bool NextInvestigation();

    // ---- Read by the flow and tests
    std::uint32_t GetState() const { return state; }
    std::uint32_t GetStartMode() const { return startMode; }
    std::uint32_t GetReloadStep() const { return reloadStep; }
    const std::string& GetCurrentName() const { return currentName; }
    std::uint32_t GetCarriedHints() const { return carriedHints; }
    std::uint8_t IsMHCertificateShown() const { return mhCertificateShown; }
    std::uint8_t IsFACertificateShown() const { return faCertificateShown; }
    CInvestigation& GetInvestigation() { return *inv; }
    CRoomsManager& GetRooms() { return rooms; }
    CPersonagesManager& GetPersonages() { return personages; }
    CGameDialogs& GetDialogs() { return dialogs; }
    SaveLoadSystem& GetSaveSystem() { return saveSystem; }
    const aStringList& GetInvestigations() const { return investigations; }
    // The tip manager as the flow asks it for menu tips.
    CGameFlow::Tips& GetFlowTips() { return flowTips; }

protected:
    // A test double in place of the embedded investigation, before Init;
    // null goes back to the embedded one.
    void UseInvestigation(CInvestigation* replacement) { inv = replacement ? replacement : &investigation; }

private:
    class FlowTips : public CGameFlow::Tips {
    public:
        explicit FlowTips(CTipManager& tips) : m_tips(tips) {}
        // A tip that can never open (not defined, no shows or levels left)
        // counts as taken, so the flow stops asking for it every frame.
        bool ShowTip(const std::string& name) override;
        void HideTip(const std::string& name) override;
        void Update(float dt) override { m_tips.Update(dt); }

    private:
        CTipManager& m_tips;
    };

    // The profile's save file; "FA" appended for Find All.
    static std::string SaveFileName(bool findAll);
    static bool SavesEnabled();
    enum class SaveOpen { Open, None, Unreadable, Unusable };
    // Opens the save and reads this record (Open); None when there is no
    // save, Unreadable when it cannot be read now, Unusable when this game
    // cannot continue it (damaged, another version's). Closed unless Open.
    SaveOpen OpenSave(const std::string& file);
    // A save this game cannot continue is set aside at once and the player
    // told where; the next Play finds none. One that cannot be set aside is
    // told once, and the next Play starts a new game over it.
    void SetAsideUnusable(const std::string& file, bool findAll);
    void ContinueFrom(const std::string& file, bool findAll);
    // The root's record as it was before a refused save's was read.
    void RestoreProgress();
    // Where a new game starts and a save is loaded: the case's new-game
    // values, the panel and the message as the program started, so nothing
    // of an earlier game or of a save refused after part of it was read stays.
    void StartAfresh();
    void SetUpLoaded();
    void UpdatePlay(float dt);
    void UpdateRoomLoad(float dt);
    // The case again from its start room after the clock ran out, its
    // progress kept and its opening comics not played again.
    void RestartCase();
    void UpdateInGameMenu(float dt);
    // The in-game menu's "save and exit": saved, the case left for the main
    // menu. A save that could not be written keeps the case under the
    // in-game menu, from which it can be saved again: false then.
    bool SaveAndLeave();
    void UpdateCertificate(float dt, bool findAll);
    void StartCertificate(bool findAll);
    // Find All ended without its certificate: closed as after it.
    void CloseFindAll();
    void SetMusicVolume(float volume) const;
    void SetVolumes(float sound, float music, float ambient) const;
    CDialogSpyGamePanel* Panel() { return &dialogs.panel; }
    GUI::Widget* PauseWindow() const { return dialogs.GetPauseWindow(); }

    // The members, in order.
    std::uint32_t state = StateConstructed;
    std::uint32_t savedState = StateConstructed;
    SaveLoadSystem saveSystem;
    std::uint32_t startMode = NewGame;
    std::uint32_t reloadStep = 0;
    CResManager* resManager = nullptr;
    CResLoader* resLoader = nullptr;
    CDialogOptions* optionsDialog = nullptr;
    CDialogHelp* helpDialog = nullptr;
    CDialogFACertificate* faCertificateDialog = nullptr;
    CDialogMHCertificate* mhCertificateDialog = nullptr;
    aStringList investigations;
    CInvestigation investigation;
    CRoomsManager rooms;
    CPersonagesManager personages;
    CGameDialogs dialogs;
    std::string currentName;
    std::uint32_t carriedCounter = 0;
    std::uint32_t carriedHints = 0;
    std::uint8_t mhCertificateShown = 0;
    std::uint8_t faCertificateShown = 0;
    // The root's record before the last save's was read.
    struct Progress {
        std::string name;
        std::uint32_t counter = 0;
        std::uint32_t hints = 0;
        std::uint8_t mhShown = 0;
        std::uint8_t faShown = 0;
    };
    Progress beforeLoad;

    // What the investigation and the rooms see of the dialogs.
    CGameDialogsLink dialogsLink{dialogs};
    CDialogsRoomContext roomContext{personages, dialogs};
    FlowTips flowTips{dialogs.tipManager};
    CInvestigation* inv = &investigation;
    std::int32_t mhTier = 0, mhCount = 0, faTier = 0, faCount = 0;
    std::string saveFailure;
    LoadFailure loadFailure;
    // Unusable saves told of in this run that could not be set aside.
    std::set<std::string> unusableLeft;
};
