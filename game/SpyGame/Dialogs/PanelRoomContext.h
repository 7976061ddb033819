#pragma once
// The game panel's part of what rooms ask of the game, on top of the
// personages' part: set-up, found items, extra hints, the continue stars,
// the skip buttons and the panel's screen area go to the panel. Dialogs and
// tips keep the null answers; the game's context derives from this one.
// Main thread only.
#include "game/SpyGame/PersonagesRoomContext.h"

class CDialogSpyGamePanel;

class CPanelRoomContext : public CPersonagesRoomContext {
public:
    CPanelRoomContext(CPersonagesManager& personages, CDialogSpyGamePanel& panel)
        : CPersonagesRoomContext(personages), m_panel(panel)
    {
    }

    void SetupRoom(const std::string& titleKey, const std::vector<CFindItemsGroup>* taskList,
                   const std::vector<CFindItemsGroup>* clueList, const std::string& roomKey, bool murderHunt,
                   bool ispy) override;
    void SetMode(std::int32_t mode) override;
    void AddFoundItem(const std::string& name) override;
    void MarkItemTask(const std::string& key) override;
    void AddExtraHint() override;
    void StartContinueMagicStars() override;
    void ShowSkipBonusRound(bool show) override;
    bool IsPointInside(std::int32_t x, std::int32_t y) override;

    CDialogSpyGamePanel& GetPanel() const { return m_panel; }

private:
    CDialogSpyGamePanel& m_panel;
};
