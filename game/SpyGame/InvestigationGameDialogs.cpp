#include "game/SpyGame/InvestigationGameDialogs.h"

#include "engine/gfx/a_image_manager.h"
#include "game/SpyGame/Dialogs/DialogHelpers.h"
#include "game/SpyGame/Dialogs/GameDialogs.h"
#include "game/shell/c_res_manager.h"

namespace {

CInvestigationDialogParts PartsOf(CGameDialogs& game)
{
    CInvestigationDialogParts parts;
    parts.panel = &game.panel;
    parts.tips = &game.tipManager;
    parts.banner = &game.banner;
    parts.hint = &game.hint;
    parts.invCard = &game.invCard;
    return parts;
}

// The image manager keeps the picture; the dialog only shows it.
std::shared_ptr<aImage> Borrowed(const std::string& name)
{
    CResManager* res = CResManager::getSingletonPtr();
    aImageManager* images = res ? res->GetImageManager() : nullptr;
    aImage* image = images && !name.empty() ? images->GetImage(name) : nullptr;
    return image ? std::shared_ptr<aImage>(image, [](aImage*) {}) : nullptr;
}

aRect AreaOrEmpty(std::int32_t& x, std::int32_t& y, std::int32_t& w, std::int32_t& h, const aRect& rect)
{
    x = rect.x;
    y = rect.y;
    w = rect.width;
    h = rect.height;
    return rect;
}

} // namespace

CInvestigationGameDialogs::CInvestigationGameDialogs(CGameDialogs& dialogs)
    : CGameDialogsLink(PartsOf(dialogs)), m_game(dialogs)
{
}

void CInvestigationGameDialogs::Update(float dt, std::int32_t a, std::int32_t b, std::int32_t c, std::int32_t d)
{
    m_game.Update(dt, a, b, c, d);
}

void CInvestigationGameDialogs::Render()
{
    m_game.Render();
}

void CInvestigationGameDialogs::HideDialogs()
{
    m_game.HideDialogs();
}

void CInvestigationGameDialogs::HideAll()
{
    m_game.HideAll();
}

void CInvestigationGameDialogs::ShowMessage(const std::string& id, const std::string& prefix, bool timed)
{
    m_game.ShowMessage(id, prefix, timed);
}

void CInvestigationGameDialogs::ShowPause(bool show)
{
    m_game.ShowPause(show);
}

bool CInvestigationGameDialogs::IsMessageVisible()
{
    return m_game.message.IsVisible();
}

void CInvestigationGameDialogs::HideMessage()
{
    m_game.message.Hide();
}

void CInvestigationGameDialogs::SetMessagePersIcon(const std::string& personage)
{
    m_game.message.SetPersIcon(personage);
}

bool CInvestigationGameDialogs::IsTutorialVisible()
{
    return m_game.tutorial.IsVisible();
}

void CInvestigationGameDialogs::ShowTutorial(const std::string& textId)
{
    m_game.tutorial.SetTextById(textId, std::string());
    m_game.tutorial.Show();
}

void CInvestigationGameDialogs::ShowMHPhoto(const std::shared_ptr<aImage>& photo, const std::wstring& text)
{
    m_game.mhPhoto.SetPhoto(photo, text);
    m_game.mhPhoto.Show();
}

bool CInvestigationGameDialogs::GetIdentItemArea(std::int32_t& x, std::int32_t& y, std::int32_t& w, std::int32_t& h)
{
    return AreaOrEmpty(x, y, w, h, m_game.itemIdent.GetIdentItemRect()).width > 0;
}

SaveLoadEntity* CInvestigationGameDialogs::GetMessageEntity()
{
    return &m_game.message;
}

CDialogBase* CInvestigationGameDialogs::GetModal(Modal which) const
{
    switch (which) {
    case Modal::ItemIdent:
        return &m_game.itemIdent;
    case Modal::EventForItem:
        return &m_game.eventForItem;
    case Modal::PickItem:
        return &m_game.pickItem;
    case Modal::PickEvidence:
        return &m_game.pickEvidence;
    case Modal::MHPhoto:
        return &m_game.mhPhoto;
    case Modal::InvCard:
        return &m_game.invCard;
    case Modal::SearchFinish:
        return &m_game.searchFinish;
    case Modal::LocFinish:
        return &m_game.locFinish;
    case Modal::SolveConfirm:
        return &m_game.solveConfirm;
    case Modal::YesNo:
        return &m_game.yesNo;
    case Modal::OutOfTime:
        return &m_game.outOfTime;
    case Modal::RandomClicking:
        return &m_game.randomClicking;
    case Modal::Tutorial:
        return &m_game.tutorial;
    case Modal::TutorialBig:
        return &m_game.tutorialBig;
    case Modal::MarivelComment:
        return &m_game.marivelComment;
    case Modal::MHInstruction:
        return &m_game.mhInstruction;
    case Modal::IntroText:
        return &m_game.introText;
    }
    return nullptr;
}

void CInvestigationGameDialogs::ShowModal(Modal which)
{
    if (CDialogBase* dialog = GetModal(which))
        dialog->Show();
}

void CInvestigationGameDialogs::HideModal(Modal which)
{
    if (CDialogBase* dialog = GetModal(which))
        dialog->Hide();
}

std::int32_t CInvestigationGameDialogs::GetModalState(Modal which)
{
    const CDialogBase* dialog = GetModal(which);
    return dialog ? dialog->GetState() : CDialogBase::kStateHidden;
}

void CInvestigationGameDialogs::SetModalText(Modal which, const std::string& id, const std::string& prefix)
{
    switch (which) {
    case Modal::ItemIdent:
        m_game.itemIdent.SetTextById(id, prefix);
        return;
    case Modal::EventForItem:
        m_game.eventForItem.SetTextById(id, prefix);
        return;
    case Modal::YesNo:
        m_game.yesNo.SetTextById(id, prefix);
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

void CInvestigationGameDialogs::SetModalWideText(Modal which, const std::wstring& text)
{
    if (CDialogBase* dialog = GetModal(which))
        dialog->SetText(text);
}

void CInvestigationGameDialogs::SetModalImage(Modal which, const std::string& image)
{
    if (which == Modal::ItemIdent)
        m_game.itemIdent.SetNpcImage(Borrowed(image));
    else if (which == Modal::EventForItem)
        m_game.eventForItem.SetNpcImage(Borrowed(image));
    else if (which == Modal::RandomClicking)
        m_game.randomClicking.SetPhoto(image);
}

void CInvestigationGameDialogs::CenterModal(Modal which)
{
    if (which == Modal::YesNo)
        m_game.yesNo.CenterInRect(nullptr);
}

bool CInvestigationGameDialogs::GetPickItemArea(std::int32_t& x, std::int32_t& y, std::int32_t& w, std::int32_t& h)
{
    return AreaOrEmpty(x, y, w, h, m_game.pickItem.GetItemArea()).width > 0;
}

void CInvestigationGameDialogs::PlayScene(const std::string& folder, const std::string& scene, bool skippable,
                                          const std::string& music, const std::string& musicKey)
{
    m_game.scenePlayer.PlayScene(folder, scene, skippable, music, musicKey);
}

bool CInvestigationGameDialogs::IsSceneOpen()
{
    return m_game.scenePlayer.IsOpen();
}
