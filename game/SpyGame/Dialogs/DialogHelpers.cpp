#include "game/SpyGame/Dialogs/DialogHelpers.h"

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
