#include "engine/gui/gui_scroll_container.h"

#include <algorithm>

namespace GUI {

ScrollContainer::ScrollContainer(const std::string& widgetName) : Widget(widgetName)
{
    AddEvent(EventPositionChanged);
}

void ScrollContainer::Initialize()
{
    Widget::Initialize();
    hScroll.Bind(dynamic_cast<Scrollbar*>(FindChild("_auto_hscroll", true)));
    hScroll.Subscribe(EventPositionChanged, &m_onHScroll);
    vScroll.Bind(dynamic_cast<Scrollbar*>(FindChild("_auto_vscroll", true)));
    vScroll.Subscribe(EventPositionChanged, &m_onVScroll);
    if (Scrollbar* bar = hScroll)
        bar->SetPageSize(float(area.width));
    if (Scrollbar* bar = vScroll)
        bar->SetPageSize(float(area.height));
}

void ScrollContainer::OnSized(const WidgetEventArgs& args)
{
    if (Scrollbar* bar = hScroll)
        bar->SetPageSize(float(area.width));
    if (Scrollbar* bar = vScroll)
        bar->SetPageSize(float(area.height));
    Widget::OnSized(args);
}

bool ScrollContainer::OnHScroll(const EventArgs&)
{
    Scrollbar* bar = hScroll;
    if (updating || !bar)
        return false;
    scrollX = bar->position;
    OnPositionChanged(WidgetEventArgs(this));
    return true;
}

bool ScrollContainer::OnVScroll(const EventArgs&)
{
    Scrollbar* bar = vScroll;
    if (updating || !bar)
        return false;
    scrollY = bar->position;
    OnPositionChanged(WidgetEventArgs(this));
    return true;
}

void ScrollContainer::OnPositionChanged(const WidgetEventArgs& args) { Launch(EventPositionChanged, args); }

void ScrollContainer::SetScrollPos(float x, float y)
{
    const auto clamp = [](float v, float largest) { return v > 0.0f ? std::min(v, std::max(0.0f, largest)) : 0.0f; };
    x = clamp(x, contentWidth - float(area.width));
    y = clamp(y, contentHeight - float(area.height));
    if (x == scrollX && y == scrollY)
        return;
    const std::weak_ptr<const void> life = GetLifeToken();
    updating = true;
    if (Scrollbar* bar = hScroll)
        bar->SetScrollPosition(x);
    if (Scrollbar* bar = vScroll)
        bar->SetScrollPosition(y);
    if (life.expired())
        return;
    scrollX = x;
    scrollY = y;
    updating = false;
    OnPositionChanged(WidgetEventArgs(this));
}

} // namespace GUI
