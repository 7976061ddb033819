#include "game/SpyGame/Dialogs/MenuDialogs.h"

#include "engine/gui/gui_server.h"

CDialogBase* CMenuDialogs::DialogOf(Dialog dialog)
{
    return const_cast<CDialogBase*>(static_cast<const CMenuDialogs*>(this)->DialogOf(dialog));
}

const CDialogBase* CMenuDialogs::DialogOf(Dialog dialog) const
{
    switch (dialog) {
    case kMainMenu:
        return &m_mainMenu;
    case kOptions:
        return &m_options;
    case kMHCertificate:
        return &m_mhCertificate;
    case kFACertificate:
        return &m_faCertificate;
    case kHelp:
        return &m_help;
    case kRestartFA:
        return &m_restartFA;
    case kMoreGames:
        return &m_moreGames;
    case kNotice:
        return &m_notice;
    }
    return nullptr;
}

bool CMenuDialogs::Has(Dialog dialog) const
{
    const CDialogBase* d = DialogOf(dialog);
    return d && d->GetWindow();
}

void CMenuDialogs::Init()
{
    m_mainMenu.Init();
    m_options.Init();
    m_mhCertificate.Init();
    m_faCertificate.Init();
    m_help.Init();
    m_restartFA.Init();
    m_moreGames.Init();
    m_notice.Init();
}

void CMenuDialogs::HideAll()
{
    m_mainMenu.Hide();
    m_options.Hide();
    m_mhCertificate.Hide();
    m_faCertificate.Hide();
    m_help.Hide();
    m_restartFA.Hide();
    m_moreGames.Hide();
    m_notice.Hide();
    m_mainMenu.SetControlsVisible(true);
}

void CMenuDialogs::Update(float dt)
{
    if (GUI::Server* gui = GUI::Server::getSingletonPtr())
        gui->Update(dt);
    m_mainMenu.UpdateHints(dt);
    m_options.Update(dt);
}

void CMenuDialogs::Render()
{
    if (GUI::Server* gui = GUI::Server::getSingletonPtr())
        gui->Render();
}

void CMenuDialogs::Show(Dialog dialog)
{
    CDialogBase* d = DialogOf(dialog);
    if (!d)
        return;
    if (dialog != kMainMenu && d->GetWindow())
        m_mainMenu.SetControlsVisible(false);
    d->Show();
}

void CMenuDialogs::Hide(Dialog dialog)
{
    if (CDialogBase* d = DialogOf(dialog))
        d->Hide();
    if (dialog == kMainMenu)
        return;
    for (const Dialog other : {kOptions, kMHCertificate, kFACertificate, kHelp, kRestartFA, kMoreGames, kNotice})
        if (DialogOf(other)->IsVisible())
            return;
    m_mainMenu.SetControlsVisible(true);
}

std::int32_t CMenuDialogs::GetState(Dialog dialog) const
{
    const CDialogBase* d = DialogOf(dialog);
    return d ? d->GetState() : CDialogBase::kStateNew;
}

bool CMenuDialogs::IsOnFindAll(std::int32_t x, std::int32_t y) const
{
    const GUI::Widget* button = m_mainMenu.GetFindAll();
    if (!button || !button->IsVisible())
        return false;
    const aRect r = button->GetAbsoluteRect();
    return r.x <= x && x < r.right() && r.y <= y && y < r.bottom();
}
