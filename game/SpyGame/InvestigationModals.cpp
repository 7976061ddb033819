#include "game/SpyGame/Dialogs/DialogInvCard.h"
#include "game/SpyGame/Dialogs/InvestigationBanner.h"
#include "game/SpyGame/Dialogs/TipManager.h"
#include "game/SpyGame/GameDialogsLink.h"
#include "game/SpyGame/InvestigationDialogs.h"

// ------------------------------------------------------------------ a container without them

void CInvestigationDialogs::ShowModal(Modal) {}

void CInvestigationDialogs::HideModal(Modal) {}

std::int32_t CInvestigationDialogs::GetModalState(Modal)
{
    return 1;
}

void CInvestigationDialogs::SetModalText(Modal, const std::string&, const std::string&) {}

void CInvestigationDialogs::SetModalWideText(Modal, const std::wstring&) {}

void CInvestigationDialogs::SetModalImage(Modal, const std::string&) {}

void CInvestigationDialogs::CenterModal(Modal) {}

bool CInvestigationDialogs::GetPickItemArea(std::int32_t&, std::int32_t&, std::int32_t&, std::int32_t&)
{
    return false;
}

void CInvestigationDialogs::PlayScene(const std::string&, const std::string&, bool, const std::string&,
                                      const std::string&)
{
}

bool CInvestigationDialogs::IsSceneOpen()
{
    return false;
}

void CInvestigationDialogs::HideTip() {}

bool CInvestigationDialogs::IsPointerTip()
{
    return false;
}

std::string CInvestigationDialogs::GetTipPointName()
{
    return std::string();
}

std::string CInvestigationDialogs::GetShownTipName()
{
    return std::string();
}

void CInvestigationDialogs::StartBanner(bool) {}

// ------------------------------------------------------------------ the link's parts

void CGameDialogsLink::HideModal(Modal which)
{
    if (which == Modal::InvCard && m_parts.invCard)
        m_parts.invCard->Hide();
}

std::int32_t CGameDialogsLink::GetModalState(Modal which)
{
    if (which == Modal::InvCard && m_parts.invCard)
        return m_parts.invCard->GetState();
    return CPanelOnlyDialogs::GetModalState(which);
}

void CGameDialogsLink::HideTip()
{
    if (m_parts.tips)
        m_parts.tips->HideTip();
}

bool CGameDialogsLink::IsPointerTip()
{
    return m_parts.tips && m_parts.tips->IsTipShown() && m_parts.tips->IsPointerTip();
}

std::string CGameDialogsLink::GetTipPointName()
{
    return m_parts.tips ? m_parts.tips->GetPointName() : std::string();
}

std::string CGameDialogsLink::GetShownTipName()
{
    const CTipManager::CTipInfo* tip = m_parts.tips ? m_parts.tips->GetCurrentTip() : nullptr;
    return tip ? tip->name : std::string();
}

void CGameDialogsLink::StartBanner(bool endGame)
{
    if (m_parts.banner)
        m_parts.banner->Start(endGame);
}
