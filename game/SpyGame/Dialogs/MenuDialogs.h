#pragma once
// The dialogs of the menu screen, which the game flow owns and drives. So
// far the main menu; the other dialogs answer Has() with false, and the
// flow skips what would use them.
#include <cstdint>
#include <string>

#include "game/SpyGame/Dialogs/DialogMainMenu.h"
#include "game/shell/c_game_flow.h"

class CMenuDialogs : public CGameFlow::Menu {
public:
    bool Has(Dialog dialog) const override;
    void LoadAmbient() override { m_mainMenu.LoadAmbient(); }
    void Init() override { m_mainMenu.Init(); }
    void HideAll() override { m_mainMenu.Hide(); }
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

    void ShowCreditsButton(bool) override {}
    void SetupMoreGames(const std::string&) override {}
    void OpenLink(const std::string&) override {}
    void UpdateFullscreenEnabled() override {}

    CDialogMainMenu& GetMainMenu() { return m_mainMenu; }

private:
    CDialogMainMenu m_mainMenu;
};
