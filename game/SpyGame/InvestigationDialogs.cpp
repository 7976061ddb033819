#include "game/SpyGame/InvestigationDialogs.h"

#include "engine/gui/gui_server.h"
#include "game/SpyGame/Dialogs/DialogSpyGamePanel.h"

void CPanelOnlyDialogs::Update(float dt, std::int32_t a, std::int32_t b, std::int32_t c, std::int32_t d)
{
    if (GUI::Server* gui = GUI::Server::getSingletonPtr())
        gui->Update(dt);
    if (m_panel)
        m_panel->Update(dt, a, b, c, d);
}

void CPanelOnlyDialogs::Render()
{
    if (GUI::Server* gui = GUI::Server::getSingletonPtr())
        gui->Render();
}

void CPanelOnlyDialogs::HideAll()
{
    if (m_panel)
        m_panel->Hide();
}
