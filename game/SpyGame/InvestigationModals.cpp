#include "engine/gfx/a_image_manager.h"
#include "game/SpyGame/Dialogs/DialogHelpers.h"
#include "game/SpyGame/Dialogs/GameDialogs.h"
#include "game/shell/c_res_manager.h"
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

// ------------------------------------------------------------------ the container's

namespace {

// The image manager keeps the picture; the dialog only shows it.
std::shared_ptr<aImage> Borrowed(const std::string& name)
{
    CResManager* res = CResManager::getSingletonPtr();
    aImageManager* images = res ? res->GetImageManager() : nullptr;
    aImage* image = images && !name.empty() ? images->GetImage(name) : nullptr;
    return image ? std::shared_ptr<aImage>(image, [](aImage*) {}) : nullptr;
}

} // namespace

CDialogBase* CGameDialogsLink::GetModal(Modal which) const
{
    switch (which) {
    case Modal::ItemIdent:
        return &m_container.itemIdent;
    case Modal::EventForItem:
        return &m_container.eventForItem;
    case Modal::PickItem:
        return &m_container.pickItem;
    case Modal::PickEvidence:
        return &m_container.pickEvidence;
    case Modal::MHPhoto:
        return &m_container.mhPhoto;
    case Modal::InvCard:
        return &m_container.invCard;
    case Modal::SearchFinish:
        return &m_container.searchFinish;
    case Modal::LocFinish:
        return &m_container.locFinish;
    case Modal::SolveConfirm:
        return &m_container.solveConfirm;
    case Modal::YesNo:
        return &m_container.yesNo;
    case Modal::OutOfTime:
        return &m_container.outOfTime;
    case Modal::RandomClicking:
        return &m_container.randomClicking;
    case Modal::Tutorial:
        return &m_container.tutorial;
    case Modal::TutorialBig:
        return &m_container.tutorialBig;
    case Modal::MarivelComment:
        return &m_container.marivelComment;
    case Modal::MHInstruction:
        return &m_container.mhInstruction;
    case Modal::IntroText:
        return &m_container.introText;
    }
    return nullptr;
}

void CGameDialogsLink::ShowModal(Modal which)
{
    if (CDialogBase* dialog = GetModal(which))
        dialog->Show();
}

void CGameDialogsLink::HideModal(Modal which)
{
    if (CDialogBase* dialog = GetModal(which))
        dialog->Hide();
}

std::int32_t CGameDialogsLink::GetModalState(Modal which)
{
    const CDialogBase* dialog = GetModal(which);
    return dialog ? dialog->GetState() : CDialogBase::kStateHidden;
}

void CGameDialogsLink::SetModalText(Modal which, const std::string& id, const std::string& prefix)
{
    switch (which) {
    case Modal::ItemIdent:
        m_container.itemIdent.SetTextById(id, prefix);
        return;
    case Modal::EventForItem:
        m_container.eventForItem.SetTextById(id, prefix);
        return;
    case Modal::YesNo:
        m_container.yesNo.SetTextById(id, prefix);
        return;
    case Modal::Tutorial:
    case Modal::TutorialBig:
    case Modal::MarivelComment:
    case Modal::IntroText:
        static_cast<CDialogTextBox*>(GetModal(which))->SetTextById(id, prefix);
        return;
    default:
        if (CDialogBase* dialog = GetModal(which))
            dialog->SetText(id.empty() ? std::wstring() : DialogText(id, prefix));
        return;
    }
}

void CGameDialogsLink::SetModalWideText(Modal which, const std::wstring& text)
{
    if (CDialogBase* dialog = GetModal(which))
        dialog->SetText(text);
}

void CGameDialogsLink::SetModalImage(Modal which, const std::string& image)
{
    if (which == Modal::ItemIdent)
        m_container.itemIdent.SetNpcImage(Borrowed(image));
    else if (which == Modal::EventForItem)
        m_container.eventForItem.SetNpcImage(Borrowed(image));
    else if (which == Modal::RandomClicking)
        m_container.randomClicking.SetPhoto(image);
}

void CGameDialogsLink::CenterModal(Modal which)
{
    if (which == Modal::YesNo)
        m_container.yesNo.CenterInRect(nullptr);
}

bool CGameDialogsLink::GetPickItemArea(std::int32_t& x, std::int32_t& y, std::int32_t& w, std::int32_t& h)
{
    const aRect area = m_container.pickItem.GetItemArea();
    x = area.x;
    y = area.y;
    w = area.width;
    h = area.height;
    return area.width > 0 && area.height > 0;
}

void CGameDialogsLink::PlayScene(const std::string& folder, const std::string& scene, bool skippable,
                                          const std::string& music, const std::string& musicKey)
{
    m_container.scenePlayer.PlayScene(folder, scene, skippable, music, musicKey);
}

bool CGameDialogsLink::IsSceneOpen()
{
    return m_container.scenePlayer.IsOpen();
}

void CGameDialogsLink::HideTip()
{
    m_container.tipManager.HideTip();
}

bool CGameDialogsLink::IsPointerTip()
{
    return m_container.tipManager.IsTipShown() && m_container.tipManager.IsPointerTip();
}

std::string CGameDialogsLink::GetTipPointName()
{
    return m_container.tipManager.GetPointName();
}

std::string CGameDialogsLink::GetShownTipName()
{
    const CTipManager::CTipInfo* tip = m_container.tipManager.GetCurrentTip();
    return tip ? tip->name : std::string();
}

void CGameDialogsLink::StartBanner(bool endGame)
{
    m_container.banner.Start(endGame);
}
