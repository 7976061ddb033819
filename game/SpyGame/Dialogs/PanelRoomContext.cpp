#include "game/SpyGame/Dialogs/PanelRoomContext.h"

#include "game/SpyGame/Dialogs/DialogSpyGamePanel.h"

void CPanelRoomContext::SetupRoom(const std::string& titleKey, const std::vector<CFindItemsGroup>* taskList,
                                  const std::vector<CFindItemsGroup>* clueList, const std::string& roomKey,
                                  bool murderHunt, bool ispy)
{
    m_panel.SetupRoom(titleKey, taskList, clueList, roomKey, murderHunt, ispy);
}

void CPanelRoomContext::SetMode(std::int32_t mode) { m_panel.SetMode(mode); }
void CPanelRoomContext::AddFoundItem(const std::string& name) { m_panel.AddFoundItem(name); }
void CPanelRoomContext::MarkItemTask(const std::string& key) { m_panel.MarkItemTask(key); }
void CPanelRoomContext::AddExtraHint() { m_panel.AddExtraHint(); }
void CPanelRoomContext::StartContinueMagicStars() { m_panel.StartContinueMagicStars(); }
void CPanelRoomContext::ShowSkipBonusRound(bool show) { m_panel.ShowSkipBonusRound(show); }
bool CPanelRoomContext::IsPointInside(std::int32_t x, std::int32_t y) { return m_panel.IsPointInside(x, y); }
