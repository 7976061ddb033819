#include "game/SpyGame/Dialogs/DialogHelpers.h"

#include "engine/gfx/a_graph_server.h"
#include "engine/util/a_application.h"
#include "engine/util/a_string.h"
#include "game/shell/c_res_manager.h"

std::wstring DialogText(const std::string& key, const std::string& prefix)
{
    CResManager* res = CResManager::getSingletonPtr();
    std::wstring text = res ? res->GetLocalizedString(key, prefix) : std::wstring();
    if (text.empty())
        text = L"String '" + str_cp1251ToWide(key) + L"' not found!";
    return text;
}

std::uint16_t DialogScreenWidth()
{
    const aGraphServer* gs = g_application ? g_application->m_graphServer : nullptr;
    return gs && gs->m_backBufferWidth ? gs->m_backBufferWidth : 1024;
}

std::uint16_t DialogScreenHeight()
{
    const aGraphServer* gs = g_application ? g_application->m_graphServer : nullptr;
    return gs && gs->m_backBufferHeight ? gs->m_backBufferHeight : 768;
}

void CDesignedArea::Keep(GUI::Widget* widget)
{
    m_widget = GUI::WidgetRef(widget);
    m_area = widget ? widget->GetAreaRect() : aRect();
}

void CDesignedArea::Restore() const
{
    if (GUI::Widget* widget = m_widget.get())
        widget->SetAreaRect(m_area);
}
