#include "game/SpyGame/GameDialogsLink.h"

#include "engine/gui/gui_server.h"
#include "game/SpyGame/Dialogs/DialogHint.h"
#include "game/SpyGame/Dialogs/DialogInvCard.h"
#include "game/SpyGame/Dialogs/DialogSpyGamePanel.h"
#include "game/SpyGame/Dialogs/InvestigationBanner.h"
#include "game/SpyGame/Dialogs/TipManager.h"

CGameDialogsLink::CGameDialogsLink(const CInvestigationDialogParts& parts)
    : CPanelOnlyDialogs(parts.panel), m_parts(parts)
{
}

void CGameDialogsLink::Update(float dt, std::int32_t a, std::int32_t b, std::int32_t c, std::int32_t d)
{
    CPanelOnlyDialogs::Update(dt, a, b, c, d);
    if (m_parts.hint)
        m_parts.hint->Update(dt);
    if (m_parts.banner)
        m_parts.banner->Update(dt);
    if (m_parts.tips)
        m_parts.tips->Update(dt);
    if (m_parts.invCard)
        m_parts.invCard->Update(dt);
}

void CGameDialogsLink::Render()
{
    CPanelOnlyDialogs::Render();
    if (m_parts.banner)
        m_parts.banner->Render();
}

void CGameDialogsLink::HideDialogs()
{
    if (m_parts.banner)
        m_parts.banner->Hide();
    if (m_parts.hint)
        m_parts.hint->Hide();
    if (m_parts.invCard)
        m_parts.invCard->Hide();
    if (m_parts.tips)
        m_parts.tips->HideTip();
}

void CGameDialogsLink::HideAll()
{
    CPanelOnlyDialogs::HideAll();
    HideDialogs();
}

bool CGameDialogsLink::IsBannerRunning()
{
    return m_parts.banner && m_parts.banner->IsRunning();
}

bool CGameDialogsLink::ShowTip(const std::string& name, std::int32_t x, std::int32_t y)
{
    return m_parts.tips && m_parts.tips->ShowTip(name, x, y);
}

bool CGameDialogsLink::CanShowTip(const std::string& name)
{
    return m_parts.tips && m_parts.tips->CanShowTip(name);
}

void CGameDialogsLink::ResetTipCounters(bool full)
{
    if (m_parts.tips)
        m_parts.tips->ResetCounters(full);
}

bool CGameDialogsLink::IsTipShown()
{
    return m_parts.tips && m_parts.tips->IsTipShown();
}

void CGameDialogsLink::ShowInvCard(const std::shared_ptr<aImage>& card)
{
    if (!m_parts.invCard)
        return;
    m_parts.invCard->SetCard(card);
    m_parts.invCard->Show();
}

bool CGameDialogsLink::IsHintVisible()
{
    return m_parts.hint && m_parts.hint->IsVisible();
}

void CGameDialogsLink::HideHint()
{
    if (m_parts.hint)
        m_parts.hint->Hide();
}

bool CGameDialogsLink::CanShowHint(std::int32_t x, std::int32_t y)
{
    return m_parts.hint && m_parts.hint->CanShowHint(x, y);
}

void CGameDialogsLink::ShowHint(std::int32_t x, std::int32_t y, std::int32_t width, const std::string& key,
                                const std::string& prefix)
{
    if (m_parts.hint)
        m_parts.hint->ShowHint(x, y, width, key, prefix);
}

SaveLoadEntity* CGameDialogsLink::GetTipManagerEntity()
{
    return m_parts.tips;
}
