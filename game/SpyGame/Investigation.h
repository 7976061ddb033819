#pragma once
// The investigation (case) being played. The game root embeds one and
// drives it: Init once, then per case Load (the case's ini and string
// tables, its rooms queued), Start (once loaded: special rooms, personages,
// events), ResetForStart (new-game values) and Entry (the start room or the
// map); every frame Update and Draw. It owns its tip triggers and its events
// manager; the rooms, personages and dialogs belong to the game root.
//
// Saved as "Investigation : " + name, with seven children in this order:
// the tip triggers, the tip manager, the game panel, the message, the
// personages manager, the rooms manager and the events manager.
//
// Screen positions are absolute back-buffer pixels; the investigation's area
// is the 845 x 768 strip at the right edge. Main thread only.
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "engine/util/a_options_file.h"
#include "engine/util/a_rect.h"
#include "game/SpyGame/InvestigationDialogs.h"
#include "game/SpyGame/SpyEventsManager.h"
#include "game/SpyGame/SpyEventsOwner.h"
#include "game/SpyGame/TipEvents.h"
#include "game/shell/save_load_entity.h"
#include "platform/system/win_types.h"

class aFlashPlayer;
class aMusicManager;
class aSound;
class aSoundManager;
class CDialogSpyGamePanel;
class CGameDialogs;
class CGameDialogsLink;
class CGlobalMap;
class CInvCards;
class CInvestigationDialogs;
class CMurderHunt;
class CPersonage;
class CResManager;
class CRoomBase;
class CSpyEventBase;
class CSpyItem;

namespace GUI {
class Window;
}
namespace SpyEvents {
class EChangePersonages;
class EJumpToRoom;
class EPlayFlash;
}

class CInvestigation : public SaveLoadEntity, public CSpyEventsOwner {
public:
    static constexpr const char* kKeyPrefix = "Investigation : ";
    static constexpr const char* kIniFile = "_investigation.ini";
    static constexpr const char* kEventsFile = "_events.ini";
    static constexpr const char* kCommonText = "language:Text/Inv_common.txt";
    static constexpr const char* kFindAll = "FindAll";
    static constexpr const char* kDecrypt = "Decrypt";
    static constexpr float kClockStart = 1500.0f;
    static constexpr std::int16_t kAreaWidth = 845;
    static constexpr std::int16_t kAreaHeight = 768;
    static constexpr std::int16_t kDefaultClicksLimit = 3;
    static constexpr float kDefaultTimeBetweenClicks = 1.1f;
    static constexpr float kDefaultClickTimeOut = 30.0f;
    static constexpr std::uint8_t kVeilAlpha = 176;
    // The size Flash movies are loaded at; DrawFlash scales it to the screen.
    static constexpr std::int32_t kFlashWidth = 800;
    static constexpr std::int32_t kFlashHeight = 600;
    static constexpr std::uint32_t kNoState = 0xFFFFFFFFu;

    enum State : std::uint32_t {
        StateConstructed = 0,
        StateInitialised = 1,
        StateLoaded = 2,
        StateStarted = 3,
        StateReady = 4,
        StatePlay = 5,
        StateFadeIn = 6,
        StateGoBack = 7,
        StatePickItem = 8,
        StateMHPhoto = 10,
        StateInvCard = 11,
        StateMurderHunt = 12,
        StateInvCards = 13,
        StateItemIdent = 14,
        StateFlash = 18,
        StateFlashQuestion = 19,
        StateInGameMenu = 29,
        StatePaused = 30,
        StateHintList = 31,
        StateRoomToLoad = 35,
        StateHelp = 37,
        StateTutorial = 38,
        StateMap = 28,
    };

    CInvestigation();

    // ---- The virtual operations, in slot order
    ~CInvestigation() override;
    std::uint32_t LoadSelf(SaveLoadSystem& system, std::uint32_t pos) override;
    std::uint32_t SaveSelf(SaveLoadSystem& system, std::uint32_t pos) override;
    void SaveChildren(SaveLoadSystem& system) override;
    void LoadChildren(SaveLoadSystem& system) override;
    virtual void Init(CInvestigationDialogs* dialogs, CRoomsManager* rooms, CPersonagesManager* personages);
    // The game's form: the container, reached through a link kept here.
    void Init(CGameDialogs* container, CRoomsManager* rooms, CPersonagesManager* personages);
    virtual void Load(const std::string& folder, const std::string& name, bool findAll);
    virtual void Start();
    virtual void Entry();
    virtual void Exit();
    virtual void Clear();
    virtual void ResetForStart(bool keepProgress);
    virtual void OnRoomLoaded();
    virtual std::uint32_t Update(float dt);
    virtual void Draw();
    virtual CMurderHunt* GetMurderHuntRoom() const;
    virtual void SetCurrentRoom(CRoomBase* room);
    CRoomBase* GetCurrentRoom() const override;
    virtual void Resume();
    // Puts the case where opening the in-game menu puts it (state 29 over a
    // state of play), so that a save made now continues as one made from
    // the menu. A dialog over the room is first gone on from as its button
    // would (a question left unanswered), a scene or movie left to play
    // again, a fade finished. False where that leads to no state of play:
    // a room to load, or the out-of-time answer given (state 34), after
    // which the case restarts.
    bool HoldForSave();
    // The case's music from its start, at the player's volume.
    void PlayCaseMusic() const;
    // A developer hook; always 0.
    virtual LRESULT OnWindowMessage(std::uint32_t message, WPARAM wParam, LPARAM lParam, std::int32_t extra);
    virtual void Pause(bool pause);
    virtual void UseMHHint(bool show);
    virtual void OnGuiEvent(float dt);
    virtual bool ProcessEvents();
    virtual bool OnEvent(CSpyEventBase* event, const std::string& prefix);
    virtual void OnEventChangePersonages(SpyEvents::EChangePersonages* event);
    virtual void ApplyEventForItem();
    virtual void GoBack();
    virtual void ShowMessage(const std::string& text);
    virtual void SelectPersonage(const std::string& name);
    virtual bool OpenMurderHunt();
    virtual bool OpenInvCards();
    virtual void GoToMap();
    virtual void UpdatePanelButtons();
    virtual bool CallCurrentRoomHook();
    virtual void DrawRooms();
    virtual void DrawFlash();
    virtual bool ShowInvCard(const std::string& name);
    virtual void ShowInvCard(const std::string& name, bool marks);

    // ---- CSpyEventsOwner
    std::string GetName() const override { return name; }
    bool IsFindAll() const override { return findAll != 0; }
    bool IsHistoryEmpty() const override { return history.empty(); }
    CPersonagesManager* GetPersonagesManager() const override { return personages; }
    CRoomsManager* GetRoomsManager() const override { return rooms; }
    bool IsMessageVisible() const override;

    // ---- Other operations
    std::string GetPendingRoomName() const { return pendingRoom; }
    // The murder-hunt grade: a counter below 0 is raised by one and gives 1.
    std::int32_t GetMHCertificateType();
    std::int32_t GetFACertificateType() const;
    // The sound of that name and group played; false when missing.
    static bool PlaySound(aSoundManager* sounds, const std::string& name, const std::string& group, bool loop);

    // Queries of the play step.
    bool HasRoomTasks() const;
    std::string GetFocusedItemAbout() const;
    std::string GetFocusedItemClickUse() const;
    bool IsBannerRunning() const;
    bool IsSkipBonusRoundVisible() const;

    // ---- Read by the game root, the tip triggers and tests
    std::uint32_t GetState() const { return state; }
    std::uint32_t GetPreviousState() const { return previousState; }
    std::uint32_t GetPauseState() const { return pauseState; }
    CRoomBase* GetGlobalMap() const { return globalMap; }
    CRoomBase* GetInvCards() const { return invCards; }
    CInvestigationDialogs* GetDialogs() const { return dialogs; }
    CTipEvents& GetTipEvents() { return tipEvents; }
    CSpyEventsManager& GetEvents() { return events; }
    const std::vector<CRoomBase*>& GetHistory() const { return history; }
    const aRect& GetArea() const { return area; }
    const std::string& GetFolder() const { return folder; }
    const std::string& GetMusic() const { return music; }
    const std::string& GetStartRoom() const { return startRoom; }
    const std::string& GetMapLocation() const { return mapLocation; }
    const std::string& GetTextFile() const { return textFile; }
    std::uint8_t GetInternalLanguage() const { return internalLanguage; }
    std::int16_t GetClicksLimit() const { return clicksLimit; }
    float GetTimeBetweenClicks() const { return timeBetweenClicks; }
    float GetClickTimeOut() const { return clickTimeOut; }
    float GetFadeAlpha() const { return fadeAlpha; }
    std::uint8_t IsMapEnabled() const { return mapEnabled; }
    std::uint8_t IsIntroTextPending() const { return introTextPending; }
    std::uint8_t IsFATutorialPending() const { return faTutorialPending; }
    std::uint32_t GetFindAllHintsUsed() const { return findAllHintsUsed; }
    std::uint32_t GetIdleTipIndex() const { return idleTipIndex; }
    aSound* GetMultiClickSound() const { return multiClickSound; }
    CSpyEventBase* GetCurrentEvent() const { return currentEvent; }
    GUI::Window* GetWindow() const { return window.get(); }
    const aOptionsFile& GetIni() const { return ini; }

protected:
    // ---- For the next steps and test doubles
    void SetState(std::uint32_t value) { state = value; }
    // previousState = state, then state = value.
    void EnterKeepingPrevious(std::uint32_t value);
    void BlockPanel();
    void UnblockPanel();
    CDialogSpyGamePanel* Panel() const;
    CPersonage* CurrentPersonage() const;
    // The room's top-left when centred in the area: signed, halves floored.
    void CentreRoom(CRoomBase& room) const;
    static std::int16_t CentreCoordinate(std::int16_t start, std::int16_t extent, std::int32_t size);

    // The members, in order; widths as stored.
    std::int16_t clicksLimit = kDefaultClicksLimit;
    float timeBetweenClicks = kDefaultTimeBetweenClicks;
    // The ages of the presses counted in the room within the last
    // timeBetweenClicks seconds of game time, oldest first.
    std::deque<float> clickAges;
    float clickTimeOut = kDefaultClickTimeOut;
    float clockStart = kClockStart;
    float idleTimer = 0.0f;
    float skipTimer = 0.0f;
    aOptionsFile ini;
    std::string folder;
    std::string name;
    std::string startRoom;
    std::string music;
    std::uint8_t internalLanguage = 0;
    std::string textFile;
    CResManager* resManager = nullptr;
    CInvestigationDialogs* dialogs = nullptr;
    CTipEvents tipEvents;
    aRect area;
    CSpyItem* pickedItem = nullptr;
    CSpyItem* identifiedItem = nullptr;
    CRoomBase* globalMap = nullptr;
    CMurderHunt* murderHunt = nullptr;
    CRoomBase* invCards = nullptr;
    std::shared_ptr<GUI::Window> window;
    aSound* multiClickSound = nullptr;
    std::shared_ptr<aFlashPlayer> flash;
    CSpyEventBase* currentEvent = nullptr;
    std::deque<CSpyItem*> highlightedItems;
    float highlightPhase = -1.0f;
    std::uint8_t marivelCommentShown = 0;
    std::uint32_t idleTipIndex = 1;
    std::uint32_t state = StateConstructed;
    std::uint32_t previousState = kNoState;
    std::uint32_t pauseState = kNoState;
    CRoomsManager* rooms = nullptr;
    std::string mapLocation;
    CRoomBase* currentRoom = nullptr;
    CSpyEventsManager events;
    std::vector<CRoomBase*> history;
    CPersonagesManager* personages = nullptr;
    float fadeAlpha = 1.0f;
    std::uint8_t mapEnabled = 1;
    std::uint32_t taskCounters[4] = {0, 0, 0, 0};
    std::uint8_t findAll = 0;
    std::string pendingRoom;
    std::uint8_t randomClickingShown = 0;
    std::uint8_t useHintsTipShown = 0;
    std::uint8_t faTutorialPending = 1;
    std::uint8_t introTextPending = 1;
    std::uint32_t findAllHintsUsed = 0;

    // ---- Play: the event actions, the play step, the states, the record
    void HideTipBalloon() const;
    void SetupRoomPanel() const;
    bool PlayNamedSound(const std::string& sound) const;
    aMusicManager* Music() const;
    // The dialog with the text of the id under the prefix, shown; block
    // blocks the panel first.
    void ShowModal(CInvestigationDialogs::Modal which, const std::string& textId, const std::string& prefix,
                   bool block);
    // A dialog whose script holds its own text, shown with that text.
    void ShowModal(CInvestigationDialogs::Modal which, bool block);
    bool PlayFlash(const SpyEvents::EPlayFlash& event);
    void JumpToRoom(const SpyEvents::EJumpToRoom& event);
    // False when the command ends the play step.
    bool RunPanelCommand(float dt);
    void RunMurderHuntCommand();
    // False when the result ends the play step (no tips then).
    bool OnRoomResult(int result);
    void ShowComment();
    void TakeDoor();
    void OpenCloseUp();
    void PickClickedItem();
    void RunTips(float dt);
    void RunDeveloperCommand(const std::string& command);
    // The dialogs' frame with the task counters, or -1 for each.
    void UpdateDialogs(float dt, bool noCounters);
    // The dialogs' frame, then the current room's passive update.
    void DialogStep(float dt);
    // The dialog gave 3 (or hid itself, when that counts): hidden, panel unblocked.
    bool Answered(CInvestigationDialogs::Modal which, bool hiddenCounts);
    // Whether a ready event was taken, whatever its action answered.
    bool TakeEvent();
    bool IsBoard(const CRoomBase* room) const;
    void EnterRoomAgain();
    void UpdatePlay(float dt);
    void CheckRapidClicks(float dt);
    void ShowRandomClicking(const std::string& textId, const std::string& photo);
    void CheckIdleTips();
    void LandAfterGoingBack();
    void UpdateFlash();
    void UpdateModalTip(float dt);
    void UpdateHintList(float dt);
    void SetupPanelAfterLoad();
    // Once the dialog of a waiting state is hidden and the panel unblocked:
    // what its button leads to.
    void GoOnFromDialog();
    // One step of HoldForSave out of a state that is not play; false when
    // none is taken.
    bool GoOnForSave();
    static constexpr int kMaxHeldDialogs = 8;

private:
    std::unique_ptr<CGameDialogsLink> ownLink;

    void ReadClicksWarning();
    void LoadStringTables();
    void CountFindAllItems();
    void DrawErrorLine() const;
    void DrawIdentifiedItem() const;
    void DrawEye() const;
    void EnableMapButton();
    void SetPanelButtonEnabled(std::size_t part, bool enabled) const;
    void SetPanelButtonVisible(std::size_t part, bool visible) const;
    std::wstring Localised(const std::string& key) const;
};
