#pragma once
// The game flow: the screens from start-up to play and back. Boot loads the
// Loading list and the loading screen; the splash runs; the shared
// resources load behind the loading screen; then the main menu with its
// dialogs, the player choice, the credits, and play, which the game root
// runs until it comes back to the menu.
//
// The flow reaches the game root, the menu dialogs and the tip manager only
// through the three small interfaces below. A call that none of them can
// serve (no root, no such dialog) is skipped with one log line per call,
// and the menu stays. Main thread only.
#include <cstdint>
#include <deque>
#include <initializer_list>
#include <memory>
#include <set>
#include <string>
#include <utility>

#include "game/shell/c_credits.h"
#include "game/shell/c_profile_select.h"
#include "game/shell/c_splash.h"
#include "game/shell/current_profile.h"
#include "platform/system/win_types.h"

class CResLoader;

class CGameFlow {
public:
    enum Screen { kBoot, kSplash, kLoading, kMenu, kProfiles, kCredits, kPlay, kQuit };

    // Root states the flow acts on after each update.
    static constexpr std::uint32_t kRootMenu = 6;
    static constexpr std::uint32_t kRootPlay = 12;
    static constexpr std::uint32_t kRootInGameMenu = 13;
    static constexpr std::uint32_t kRootStoryOver = 7;
    static constexpr std::uint32_t kRootMHCertificate = 17;
    static constexpr std::uint32_t kRootFACertificate = 18;
    // The window message forwarded to the root (WM_USER).
    static constexpr std::uint32_t kRootMessage = 1024;
    static constexpr std::uint32_t kSaveVersion = 4374;

    // The game root: one investigation game at a time.
    class Root {
    public:
        virtual ~Root() = default;
        virtual void Init() = 0;
        virtual void LoadCommonResources() = 0;
        virtual void FinishLoading() = 0;
        virtual void ReturnToMenu() = 0;
        virtual void ContinuePlay() = 0;
        virtual void StartFindAll() = 0;
        virtual void ContinuePlayFindAll() = 0;
        // The top state after the step.
        virtual std::uint32_t Update(float dt) = 0;
        virtual void Draw() = 0;
        virtual void OnActivate() = 0;
        virtual void OnDeactivate() = 0;
        virtual LRESULT OnWindowMessage(HWND window, std::uint32_t message, WPARAM wParam, LPARAM lParam) = 0;
        virtual void Unload() = 0;
        // The certificate the root shows: its grade and count, read without
        // changing anything.
        virtual void GetMHCertificate(std::int32_t& tier, std::int32_t& count) const = 0;
        virtual void GetFACertificate(std::int32_t& tier, std::int32_t& count) const = 0;
        // The program is about to stop: a game in play is saved as the
        // in-game menu saves it. False when that save failed.
        virtual bool SaveBeforeQuit() { return true; }
        // Why the game could not be saved (a Main.txt string id), once per
        // failure; "" when nothing is to be told. Asked in the menu, and in
        // play while the root is in its in-game menu (kRootInGameMenu), where
        // a save that failed keeps the game.
        virtual std::string TakeSaveFailure() { return std::string(); }
        // A saved game the last start could not use, to be told: a heading
        // and a reason (Main.txt string ids) and the name the save was set
        // aside under, which a "%s" in the reason shows.
        struct LoadFailure {
            std::string heading;
            std::string reason;
            std::string keptAs;
        };
        // Once per failure; an empty heading when there is none. Given
        // after a start that started nothing, or once the root is back in
        // the menu.
        virtual LoadFailure TakeLoadFailure() { return {}; }
    };

    // The menu dialogs.
    class Menu {
    public:
        enum Dialog { kMainMenu, kOptions, kMHCertificate, kFACertificate, kHelp, kRestartFA, kMoreGames, kNotice };
        // Results of the main menu.
        static constexpr std::int32_t kPlay = 4;
        static constexpr std::int32_t kOptionsButton = 5;
        static constexpr std::int32_t kHelpButton = 6;
        static constexpr std::int32_t kExit = 8;
        static constexpr std::int32_t kChangeProfile = 9;
        static constexpr std::int32_t kFindAll = 10;
        static constexpr std::int32_t kAwardMH = 11;
        static constexpr std::int32_t kAwardFA = 12;
        static constexpr std::int32_t kMoreGamesButton = 13;

        virtual ~Menu() = default;
        // False while the dialog does not exist; the flow then skips what
        // would use it.
        virtual bool Has(Dialog dialog) const = 0;
        virtual void LoadAmbient() = 0;
        virtual void Init() = 0;
        virtual void HideAll() = 0;
        // The GUI's input and widgets, then the dialogs' own steps.
        virtual void Update(float dt) = 0;
        virtual void Render() = 0;
        virtual void Show(Dialog dialog) = 0;
        virtual void Hide(Dialog dialog) = 0;
        virtual std::int32_t GetState(Dialog dialog) const = 0;

        virtual void SetUserName(const std::string& name) = 0;
        virtual void SetAwardMH(std::int32_t tier) = 0;
        virtual void SetAwardFA(std::int32_t tier) = 0;
        virtual void BlockFindAll(bool block) = 0;
        virtual void HideMoreGames(bool hide) = 0;
        // The screen point lies on the main menu's "FindAll".
        virtual bool IsOnFindAll(std::int32_t x, std::int32_t y) const = 0;

        virtual void ShowCreditsButton(bool on) = 0;
        virtual void SetupMoreGames(const std::string& path) = 0;
        virtual void OpenLink(const std::string& link) = 0;
        virtual void UpdateFullscreenEnabled() = 0;
        // The text of the notice (kNotice: "Ok" gives 3).
        virtual void SetNoticeText(const std::wstring& text) { (void)text; }
    };

    // The tutorial tips.
    class Tips {
    public:
        virtual ~Tips() = default;
        // True when the balloon opened.
        virtual bool ShowTip(const std::string& name) = 0;
        // Takes that tip's balloon down if it is the one up.
        virtual void HideTip(const std::string& name) = 0;
        virtual void Update(float dt) = 0;
    };

    // Any of them may be null. The tips belong to the caller and must
    // outlive the flow.
    CGameFlow(std::unique_ptr<Root> root, std::unique_ptr<Menu> menu, Tips* tips);
    // Unloads the root before anything the flow owns goes.
    ~CGameFlow();
    CGameFlow(const CGameFlow&) = delete;
    CGameFlow& operator=(const CGameFlow&) = delete;

    // Boot: the Loading list and the loading screen, then the splash.
    void Start();
    // One frame; false once the game should end.
    bool Update(float dt);
    void Render();

    void OnActivate();
    void OnDeactivate();
    // The root's answer in play; 0 elsewhere.
    LRESULT OnWindowMessage(HWND window, std::uint32_t message, WPARAM wParam, LPARAM lParam);
    void OnDisplayModeChanged();
    // The window closed (fromWindow), or a stop signal: play saves before
    // the game ends. True when the game may end. A window close whose save
    // failed is refused once: the game stays, under the in-game menu, and
    // the notice tells why; the next close ends it, saved or not.
    bool OnQuitRequest(bool fromWindow);

    // Where the more-games links are read ("home:MoreGames.ini").
    void SetMoreGamesFile(const std::string& path) { m_moreGamesFile = path; }

    Screen GetScreen() const { return m_screen; }
    // The story was won by the current player: the profile's mark, set (and
    // the player list written) once the root says so or the story save
    // stands at its end. A profile from a list older than the mark takes it
    // from its saves once: the story save at its end or Find All played.
    bool IsStoryOver();
    const CSplash& GetSplash() const { return m_splash; }
    const CCredits& GetCredits() const { return m_credits; }
    CProfileSelect& GetProfileSelect() { return m_profileSelect; }
    const std::deque<std::string>& GetDueTips() const { return m_dueTips; }

private:
    // Logs "<what> skipped" once; false when the collaborator is missing.
    bool Can(bool present, const std::string& what);
    bool HasDialog(Menu::Dialog dialog, const char* what);

    void StartLoading();
    void FinishLoading();
    void EnterMenu();
    void LeaveMenu();
    void UpdateMenu(float dt);
    void HandleMainMenu(std::int32_t result);
    void HandleDialogs();
    void StartPlay(void (Root::*start)(), const char* what);
    void UpdatePlay(float dt);
    void RecordCertificate(std::uint32_t state);
    void OpenProfiles();
    void UpdateProfiles(float dt);
    void StartCredits();
    void ApplyProfile();
    // The main menu's first-time tips, each shown to a player once.
    struct FirstTip {
        const char* name;
        std::uint8_t bit;  // in CurrentProfile::tipsShown
    };
    static constexpr FirstTip kFirstTips[] = {{"mh_first_ribbon_appear", CurrentProfile::kTipMHRibbon},
                                              {"fa_first_ribbon_appear", CurrentProfile::kTipFARibbon},
                                              {"first_find_all_btn_appear", CurrentProfile::kTipFindAllOpen}};
    bool IsFirstTipDue(const FirstTip& tip) const;
    void AskTips();
    // A save or the player list that could not be written since the last
    // call: the notice tells the player.
    void TellSaveFailures();
    // The notice with each failure that has a reason: its heading and the
    // reason (Main.txt string ids; a "%s" in a reason shows name).
    void Tell(std::initializer_list<std::pair<const char*, std::string>> failures,
              const std::string& name = std::string());
    // The root's load failure, if any, on the notice; true when there was one.
    bool TellLoadFailure();
    void Quit(bool reinstall);

    std::unique_ptr<Root> m_root;
    std::unique_ptr<Menu> m_menu;
    Tips* m_tips;
    std::unique_ptr<CResLoader> m_loader;
    CSplash m_splash;
    CCredits m_credits;
    CProfileSelect m_profileSelect;

    Screen m_screen = kBoot;
    std::uint32_t m_rootState = 0;
    // The root ended the story in this run (cleared by a change of player).
    bool m_storyEnded = false;
    bool m_findAllBlocked = true;
    std::deque<std::string> m_dueTips;
    bool m_menuEntered = false;
    // A window close was refused, its save having failed: the next one
    // ends the game. Cleared once play goes on or the menu shows.
    bool m_closeRefused = false;
    std::string m_profileAtOpen;
    std::string m_moreGamesFile = "home:MoreGames.ini";
    std::set<std::string> m_skipped;
};
