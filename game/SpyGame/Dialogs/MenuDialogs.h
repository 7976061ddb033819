#pragma once
// The dialogs of the menu screen, which the game flow owns and drives: the
// main menu and, over it, the options, the two certificates, the help, the
// question before Find All restarts, the more-games page and the notice. While one of
// them is open the main menu's controls are hidden. Main thread only.
#include <cstdint>
#include <string>

#include "game/SpyGame/Dialogs/DialogCertificate.h"
#include "game/SpyGame/Dialogs/DialogHelp.h"
#include "game/SpyGame/Dialogs/DialogMainMenu.h"
#include "game/SpyGame/Dialogs/DialogMoreGames.h"
#include "game/SpyGame/Dialogs/DialogNotice.h"
#include "game/SpyGame/Dialogs/DialogOptions.h"
#include "game/SpyGame/Dialogs/DialogRestartFA.h"
#include "game/shell/c_game_flow.h"

class CMenuDialogs : public CGameFlow::Menu {
public:
    bool Has(Dialog dialog) const override;
    void LoadAmbient() override { m_mainMenu.LoadAmbient(); }
    void Init() override;
    // Also gives the main menu its controls back for the next showing.
    void HideAll() override;
    // The GUI's input and widgets, the ribbons' balloons and the ambience, the options' test.
    void Update(float dt) override;
    void Render() override;
    void Show(Dialog dialog) override;
    void Hide(Dialog dialog) override;
    std::int32_t GetState(Dialog dialog) const override;

    void SetUserName(const std::string& name) override { m_mainMenu.SetUserName(name); }
    void SetAwardMH(std::int32_t tier) override { m_mainMenu.SetAwardMH(tier); }
    void SetAwardFA(std::int32_t tier) override { m_mainMenu.SetAwardFA(tier); }
    void BlockFindAll(bool block) override { m_mainMenu.BlockFindAll(block); }
    void HideMoreGames(bool hide) override { m_mainMenu.HideMoreGames(hide); }
    bool IsOnFindAll(std::int32_t x, std::int32_t y) const override;

    void ShowCreditsButton(bool on) override { m_help.ShowCreditsButton(on); }
    void SetupMoreGames(const std::string& path) override { m_moreGames.Setup(path); }
    void OpenLink(const std::string& link) override { m_moreGames.OpenLink(link); }
    void UpdateFullscreenEnabled() override { m_options.UpdateFullscreenEnabled(); }
    void SetNoticeText(const std::wstring& text) override { m_notice.SetNotice(text); }

    CDialogMainMenu& GetMainMenu() { return m_mainMenu; }
    CDialogOptions& GetOptions() { return m_options; }
    CDialogMHCertificate& GetMHCertificate() { return m_mhCertificate; }
    CDialogFACertificate& GetFACertificate() { return m_faCertificate; }
    CDialogHelp& GetHelp() { return m_help; }
    CDialogRestartFA& GetRestartFA() { return m_restartFA; }
    CDialogMoreGames& GetMoreGames() { return m_moreGames; }
    CDialogNotice& GetNotice() { return m_notice; }

private:
    CDialogBase* DialogOf(Dialog dialog);
    const CDialogBase* DialogOf(Dialog dialog) const;

    CDialogMainMenu m_mainMenu;
    CDialogOptions m_options;
    CDialogMHCertificate m_mhCertificate;
    CDialogFACertificate m_faCertificate;
    CDialogHelp m_help;
    CDialogRestartFA m_restartFA;
    CDialogMoreGames m_moreGames;
    CDialogNotice m_notice;
};
