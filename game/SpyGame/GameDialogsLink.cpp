#include "game/SpyGame/GameDialogsLink.h"

#include "game/SpyGame/Dialogs/GameDialogs.h"

CGameDialogsLink::CGameDialogsLink(CGameDialogs& container) : m_container(container) {}

CDialogSpyGamePanel* CGameDialogsLink::GetPanel()
{
    return &m_container.panel;
}

void CGameDialogsLink::Update(float dt, std::int32_t a, std::int32_t b, std::int32_t c, std::int32_t d)
{
    m_container.Update(dt, a, b, c, d);
}

void CGameDialogsLink::Render()
{
    m_container.Render();
}

void CGameDialogsLink::HideDialogs()
{
    m_container.HideDialogs();
}

void CGameDialogsLink::HideAll()
{
    m_container.HideAll();
}

void CGameDialogsLink::ShowMessage(const std::string& id, const std::string& prefix, bool timed)
{
    m_container.ShowMessage(id, prefix, timed);
}

void CGameDialogsLink::ShowPause(bool show)
{
    m_container.ShowPause(show);
}

bool CGameDialogsLink::IsBannerRunning()
{
    return m_container.banner.IsRunning();
}

bool CGameDialogsLink::IsMessageVisible()
{
    return m_container.message.IsVisible();
}

void CGameDialogsLink::HideMessage()
{
    m_container.message.Hide();
}

void CGameDialogsLink::SetMessagePersIcon(const std::string& personage)
{
    m_container.message.SetPersIcon(personage);
}

bool CGameDialogsLink::ShowTip(const std::string& name, std::int32_t x, std::int32_t y)
{
    return m_container.tipManager.ShowTip(name, x, y);
}

bool CGameDialogsLink::CanShowTip(const std::string& name)
{
    return m_container.tipManager.CanShowTip(name);
}

void CGameDialogsLink::ResetTipCounters(bool full)
{
    m_container.tipManager.ResetCounters(full);
}

bool CGameDialogsLink::IsTipShown()
{
    return m_container.tipManager.IsTipShown();
}

bool CGameDialogsLink::IsTutorialVisible()
{
    return m_container.tutorial.IsVisible();
}

void CGameDialogsLink::ShowTutorial(const std::string& textId)
{
    m_container.tutorial.SetTextById(textId, std::string());
    m_container.tutorial.Show();
}

void CGameDialogsLink::ShowInvCard(const std::shared_ptr<aImage>& card)
{
    m_container.invCard.SetCard(card);
    m_container.invCard.Show();
}

void CGameDialogsLink::ShowMHPhoto(const std::shared_ptr<aImage>& photo, const std::wstring& text)
{
    m_container.mhPhoto.Show();
    m_container.mhPhoto.SetPhoto(photo, text);
}

bool CGameDialogsLink::GetIdentItemArea(std::int32_t& x, std::int32_t& y, std::int32_t& w, std::int32_t& h)
{
    const aRect area = m_container.itemIdent.GetIdentItemRect();
    if (area.width <= 0 || area.height <= 0)
        return false;
    x = area.x;
    y = area.y;
    w = area.width;
    h = area.height;
    return true;
}

bool CGameDialogsLink::IsHintVisible()
{
    return m_container.hint.IsVisible();
}

void CGameDialogsLink::HideHint()
{
    m_container.hint.Hide();
}

bool CGameDialogsLink::CanShowHint(std::int32_t x, std::int32_t y)
{
    return m_container.hint.CanShowHint(x, y);
}

void CGameDialogsLink::ShowHint(std::int32_t x, std::int32_t y, std::int32_t width, const std::string& key,
                                const std::string& prefix)
{
    m_container.hint.ShowHint(x, y, width, key, prefix);
}

SaveLoadEntity* CGameDialogsLink::GetTipManagerEntity()
{
    return &m_container.tipManager;
}

SaveLoadEntity* CGameDialogsLink::GetMessageEntity()
{
    return &m_container.message;
}
