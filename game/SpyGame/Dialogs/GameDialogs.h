#pragma once
// Everything drawn over a room while a case is played: the game panel, the
// message, the case-complete banner, every in-game dialog, the hint balloon,
// the case card, the comics player, the tip manager and the pause window.
// The investigation and the rooms reach each part as a named member and
// drive it themselves; the container only initialises, updates, draws and
// hides the whole set.
//
// Members are built in declaration order and destroyed in reverse. Build the
// container after the GUI server and destroy it before: the dialogs' ends
// put designed widget areas back. Init runs once the GUI scripts are loaded.
// The tip manager is a singleton, so one container exists at a time.
// Main thread only.
#include <array>
#include <cstdint>
#include <string>

#include "engine/gui/gui_widget.h"
#include "game/SpyGame/Dialogs/DialogHint.h"
#include "game/SpyGame/Dialogs/DialogInvCard.h"
#include "game/SpyGame/Dialogs/DialogMHPhoto.h"
#include "game/SpyGame/Dialogs/DialogMessage.h"
#include "game/SpyGame/Dialogs/DialogSpyGamePanel.h"
#include "game/SpyGame/Dialogs/DialogTextBox.h"
#include "game/SpyGame/Dialogs/InGameDialogs.h"
#include "game/SpyGame/Dialogs/InvestigationBanner.h"
#include "game/SpyGame/Dialogs/PanelRoomContext.h"
#include "game/SpyGame/Dialogs/ScenePlayer.h"
#include "game/SpyGame/Dialogs/TipManager.h"

class CGameDialogs {
public:
    // Seconds a timed message stays.
    static constexpr float kMessageSeconds = 30.0f;
    static constexpr const char* kPauseWindow = "InGamePause";
    static constexpr const char* kTipsFile = "gamedata:tips.ini";

    CGameDialogs() = default;
    CGameDialogs(const CGameDialogs&) = delete;
    CGameDialogs& operator=(const CGameDialogs&) = delete;

    // Every member's set-up, in the fixed order; once.
    void Init();
    // The GUI's input and widgets, then the dialogs with per-frame work. The
    // four values go to the panel unchanged (-1 each when there are none).
    void Update(float dt, std::int32_t a, std::int32_t b, std::int32_t c, std::int32_t d);
    // The GUI (every visible dialog, the panel and the tip), then the banner.
    void Render();
    // Every dialog hidden, the banner cut off, the comics closed and the tip
    // taken down; the panel and the pause window stay as they are.
    void HideDialogs();
    // The panel too.
    void HideAll();
    // Timed messages close after kMessageSeconds.
    void ShowMessage(const std::string& id, const std::string& prefix, bool timed);
    // Shows (and raises) or hides "InGamePause"; nothing without it or
    // while the banner runs.
    void ShowPause(bool show);
    // Null until Init, or when the scripts have no such window.
    GUI::Widget* GetPauseWindow() const { return pauseWindow.get(); }

    CDialogSpyGamePanel panel;
    CDialogMessage message;
    CInvestigationBanner banner;
    CDialogItemIdent itemIdent;
    CDialogPickItem pickItem;
    CDialogPickEvidence pickEvidence;
    CDialogMHPhoto mhPhoto;
    CDialogInvCard invCard;
    CDialogHint hint;
    CDialogEventForItem eventForItem;
    CDialogInGameMenu inGameMenu;
    CDialogConfirmSaveExit confirmSaveExit;
    ScenePlayer scenePlayer;
    CDialogSearchFinish searchFinish;
    CDialogLocFinish locFinish;
    CDialogMHFinish mhFinish;
    CDialogSolveConfirm solveConfirm;
    CTipManager tipManager;
    CDialogHelpPers helpPers;
    CDialogYesNo yesNo;
    GUI::WidgetRef pauseWindow;
    CDialogOutOfTime outOfTime;
    CDialogRandomClicking randomClicking;
    CDialogTutorialModal tutorial;
    CDialogTutorialModalBig tutorialBig;
    CDialogMarivelComment marivelComment;
    CDialogMHInstraction mhInstruction;
    CDialogMsgIntroText introText;

private:
    // The modal dialogs in the groups Init and HideDialogs take in turn.
    std::array<CDialogBase*, 9> FirstModals();
    std::array<CDialogBase*, 4> SecondModals();
    std::array<CDialogBase*, 9> LastModals();
};

// What rooms ask of the dialogs and the tips, on top of the panel's part.
class CDialogsRoomContext : public CPanelRoomContext {
public:
    CDialogsRoomContext(CPersonagesManager& personages, CGameDialogs& dialogs)
        : CPanelRoomContext(personages, dialogs.panel), m_dialogs(dialogs)
    {
    }

    void ShowMessage(const std::string& id, const std::string& prefix, bool timed) override;
    bool IsPointOverBox(std::int32_t x, std::int32_t y) override;
    bool TipTakesPress(bool findableUnder) override;

    CGameDialogs& GetDialogs() const { return m_dialogs; }

private:
    CGameDialogs& m_dialogs;
};
