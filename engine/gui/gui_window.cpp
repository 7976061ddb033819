#include "engine/gui/gui_window.h"

#include <algorithm>

#include "engine/gui/gui_color.h"
#include "engine/gui/gui_style.h"
#include "engine/gui/gui_widget_kit.h"

namespace GUI {

const char* const EventDragStarted = "DragStarted";
const char* const EventDragging = "Dragging";
const char* const EventDragFinished = "DragFinished";

Window::Window(const std::string& name) : Widget(name)
{
    AddProperty("Drag", &pDrag);
    AddProperty("NormalStyle", &pNormalStyle);
    AddProperty("HoverStyle", &pHoverStyle);
    AddProperty("DisabledStyle", &pDisabledStyle);
    AddEvent(EventDragStarted);
    AddEvent(EventDragging);
    AddEvent(EventDragFinished);
}

void Window::EndFillProperties()
{
    Widget::EndFillProperties();
    if (pNormalStyle.isSet)
        normalStyle = ScriptStyle(pNormalStyle.value);
    if (pHoverStyle.isSet)
        hoverStyle = ScriptStyle(pHoverStyle.value);
    if (pDisabledStyle.isSet)
        disabledStyle = ScriptStyle(pDisabledStyle.value);
    if (pDrag.isSet)
        drag = pDrag.AsBool();
}

void Window::DrawSelf()
{
    const aRect box = GetAbsoluteRect();
    const float a = GetAlpha();
    if (!IsEnabled() && disabledStyle) {
        disabledStyle->Draw(box, WhiteWithAlpha(a));
        return;
    }
    if (normalStyle)
        normalStyle->Draw(box, WhiteWithAlpha(a));
    if (hoverStyle)
        hoverStyle->Draw(box, WhiteWithAlpha(a * hoverFade));
}

void Window::UpdateSelf(float dt)
{
    if (dragging && (!IsEnabled() || !IsVisible()) && !EndDrag())
        return;
    Widget::UpdateSelf(dt);
}

bool Window::IsUpdateIdle() const { return !dragging && Widget::IsUpdateIdle(); }

void Window::PointInParent(const MouseEventArgs& args, std::int32_t& x, std::int32_t& y) const
{
    x = GetAbsoluteX() - parent->GetAbsoluteX() + args.x;
    y = GetAbsoluteY() - parent->GetAbsoluteY() + args.y;
}

bool Window::EndDrag()
{
    if (!dragging)
        return true;
    dragging = false;
    const std::weak_ptr<const void> life = GetLifeToken();
    OnDragFinished(WidgetEventArgs(this));
    return !life.expired();
}

void Window::OnMouseDown(const MouseEventArgs& args)
{
    const std::weak_ptr<const void> life = GetLifeToken();
    Widget::OnMouseDown(args);
    if (life.expired() || !drag || args.button != 0 || !parent)
        return;
    std::int32_t x, y;
    PointInParent(args, x, y);
    if (!parent->IsPointInside(x, y))
        return;
    dragging = true;
    WakeUpdate();
    dragX = x;
    dragY = y;
    OnDragStarted(WidgetEventArgs(this));
}

void Window::OnMouseMove(const MouseEventArgs& args)
{
    const std::weak_ptr<const void> life = GetLifeToken();
    Widget::OnMouseMove(args);
    if (life.expired() || !dragging || (args.dx == 0 && args.dy == 0))
        return;
    if (args.button != 0 || !parent) {
        EndDrag();
        return;
    }
    std::int32_t x, y;
    PointInParent(args, x, y);
    // The anchor stays inside the parent: the window stops at its edges.
    x = std::clamp<std::int32_t>(x, 0, std::max(0, parent->area.width - 1));
    y = std::clamp<std::int32_t>(y, 0, std::max(0, parent->area.height - 1));
    const auto coordinate = [](std::int32_t v) { return std::int16_t(std::clamp<std::int32_t>(v, INT16_MIN, INT16_MAX)); };
    SetPosition(coordinate(area.x - dragX + x), coordinate(area.y - dragY + y));
    if (life.expired())
        return;
    dragX = x;
    dragY = y;
    OnDragging(WidgetEventArgs(this));
}

void Window::OnMouseUp(const MouseEventArgs& args)
{
    const std::weak_ptr<const void> life = GetLifeToken();
    Widget::OnMouseUp(args);
    if (!life.expired() && args.button == 0)
        EndDrag();
}

void Window::OnMouseEnter(const WidgetEventArgs& args)
{
    if (EndDrag())
        Widget::OnMouseEnter(args);
}

void Window::OnMouseLeave(const WidgetEventArgs& args)
{
    if (EndDrag())
        Widget::OnMouseLeave(args);
}

void Window::OnDragStarted(const WidgetEventArgs& args) { Launch(EventDragStarted, args); }
void Window::OnDragging(const WidgetEventArgs& args) { Launch(EventDragging, args); }
void Window::OnDragFinished(const WidgetEventArgs& args) { Launch(EventDragFinished, args); }

} // namespace GUI
