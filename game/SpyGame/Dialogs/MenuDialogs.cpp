#include "game/SpyGame/Dialogs/MenuDialogs.h"

#include "engine/gui/gui_server.h"

bool CMenuDialogs::Has(Dialog dialog) const { return dialog == kMainMenu && m_mainMenu.GetWindow(); }

void CMenuDialogs::Update(float dt)
{
    if (GUI::Server* gui = GUI::Server::getSingletonPtr())
        gui->Update(dt);
    m_mainMenu.UpdateHints(dt);
}

void CMenuDialogs::Render()
{
    if (GUI::Server* gui = GUI::Server::getSingletonPtr())
        gui->Render();
}

void CMenuDialogs::Show(Dialog dialog)
{
    if (dialog == kMainMenu)
        m_mainMenu.Show();
}

void CMenuDialogs::Hide(Dialog dialog)
{
    if (dialog == kMainMenu)
        m_mainMenu.Hide();
}

std::int32_t CMenuDialogs::GetState(Dialog dialog) const
{
    return dialog == kMainMenu ? m_mainMenu.GetState() : CDialogBase::kStateNew;
}

bool CMenuDialogs::IsOnFindAll(std::int32_t x, std::int32_t y) const
{
    const GUI::Widget* button = m_mainMenu.GetFindAll();
    if (!button || !button->IsVisible())
        return false;
    const aRect r = button->GetAbsoluteRect();
    return r.x <= x && x < r.right() && r.y <= y && y < r.bottom();
}
