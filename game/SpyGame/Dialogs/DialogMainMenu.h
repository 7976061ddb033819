#pragma once
// The main menu: the window "MainMenu" with its buttons, the player's name,
// the award ribbons of both bonus modes and the menu's ambient loop, which
// plays while the menu shows. Its results (GetState) are the buttons:
// Play 4, Options 5, Help 6, Exit 8, ChangeProfile 9, FindAll 10, AwardMH
// 11, AwardFA 12, MoreGames 13.
//
// States: 3 after construction, 0 once LoadAmbient ran (Init needs it),
// then those of the dialog base. Until Init found the window, Show and
// Hide do nothing. Main thread only.
#include <cstdint>
#include <string>

#include "engine/sound/a_ambient_sound_system.h"
#include "game/SpyGame/Dialogs/DialogBase.h"
#include "game/SpyGame/Dialogs/DialogHint.h"

class CDialogMainMenu : public CDialogBase {
public:
    static constexpr const char* kAmbientFile = "sounds:main_menu_ambient.ini";
    static constexpr const char* kAmbientList = "ambients:_sounds.list";

    CDialogMainMenu();

    // Queues the ambient sounds with the resource manager's sound manager
    // when ambience is on in Game.ini and the menu's ambient file exists.
    void LoadAmbient();
    void Init() override;
    // Starts the ambience.
    void Show() override;
    // Stops the ambience and closes the ribbon's balloon.
    void Hide() override;
    // The buttons, the murder-hunt and Find All ribbons and the welcome
    // line; a ribbon only comes back while it has a tier to show, and
    // "MoreGames" not once HideMoreGames took it away.
    virtual void SetControlsVisible(bool on);
    virtual void SetWelcomeVisible(bool on);

    // Windows-1251.
    void SetUserName(const std::string& name);
    void BlockFindAll(bool block);
    // Hides "MoreGames" and puts "Exit" where it was; false does nothing.
    void HideMoreGames(bool hide);
    // Tiers 1-4 show that tier's ribbon (image group "Menu"); any other
    // tier, or a picture that is missing, hides it.
    void SetAwardMH(std::int32_t tier);
    void SetAwardFA(std::int32_t tier);
    // The ambience, and a ribbon's balloon once the mouse rests on it.
    void UpdateHints(float dt);

    GUI::Widget* GetFindAll() const { return m_findAll.get(); }
    bool IsOverMH() const { return m_overMH; }
    bool IsOverFA() const { return m_overFA; }
    const aAmbientSoundSystem& GetAmbience() const { return m_ambience; }
    const CDialogHint& GetHint() const { return m_hint; }

private:
    // True when the ribbon shows.
    bool SetAward(const GUI::WidgetRef& widget, std::int32_t tier, const char* const names[4],
                  const std::int16_t places[4][2]);
    bool OnEnterMH(const GUI::EventArgs&);
    bool OnLeaveMH(const GUI::EventArgs&);
    bool OnEnterFA(const GUI::EventArgs&);
    bool OnLeaveFA(const GUI::EventArgs&);
    bool OnRibbonMouseUp(const GUI::EventArgs&);

    GUI::WidgetRef m_background, m_play, m_options, m_help, m_changeProfile, m_exit, m_findAll, m_moreGames;
    GUI::WidgetRef m_awardMH, m_awardFA, m_userName, m_welcome;
    aAmbientSoundSystem m_ambience;
    CDialogHint m_hint;
    bool m_overMH = false, m_overFA = false;
    bool m_hasMH = false, m_hasFA = false;
    bool m_moreGamesHidden = false;
};
