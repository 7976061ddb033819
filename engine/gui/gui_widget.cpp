#include "engine/gui/gui_widget.h"

#include <algorithm>
#include <cmath>

#include "engine/gfx/a_graph_server.h"
#include "engine/gui/gui_region.h"
#include "engine/gui/gui_server.h"
#include "engine/sound/a_sound.h"
#include "engine/util/a_application.h"
#include "engine/util/a_locale_server.h"
#include "engine/util/a_log.h"
#include "engine/util/a_string.h"
#include "platform/input/mouse.h"

namespace GUI {

wchar_t Widget::s_textFormatBuffer[Widget::kTextFormatCapacity + 1];

namespace {

Server* server() { return Server::getSingletonPtr(); }

// The widgets destroyed while a walk of the tree (Update, Render) runs on
// this thread. The walks visit every widget every frame; a life token taken
// for each would cost an atomic count apiece.
struct Walks {
    int running = 0;
    std::vector<const Widget*> destroyed;  // since the outermost walk began
};
thread_local Walks t_walks;

// Whether the widget went since the watch began (its address cannot be
// taken by another widget while it lives).
class DestructionWatch {
public:
    DestructionWatch() : m_first(t_walks.destroyed.size()) { ++t_walks.running; }
    ~DestructionWatch()
    {
        if (--t_walks.running == 0)
            t_walks.destroyed.clear();
    }
    DestructionWatch(const DestructionWatch&) = delete;
    DestructionWatch& operator=(const DestructionWatch&) = delete;

    bool gone(const Widget* w) const
    {
        const std::vector<const Widget*>& d = t_walks.destroyed;
        return d.size() != m_first && std::find(d.begin() + std::ptrdiff_t(m_first), d.end(), w) != d.end();
    }

private:
    std::size_t m_first;
};

std::uint8_t alignFromKeyword(const std::string& text, const char* center, const char* far)
{
    if (str_equalNoCase(text, center))
        return ALIGN_CENTER;
    if (str_equalNoCase(text, far))
        return ALIGN_RIGHT;
    return ALIGN_LEFT;
}

} // namespace

Widget::Widget(const std::string& widgetName)
    : name(widgetName), multiClickTime(float(platform::kDoubleClickTimeMs) / 1000.0f)
{
    AddProperty("AreaRect", &pAreaRect);
    AddProperty("Region", &pRegion);
    AddProperty("Visible", &pVisible);
    AddProperty("Enabled", &pEnabled);
    AddProperty("Static", &pStatic);
    AddProperty("MouseAutoRepeat", &pMouseAutoRepeat);
    AddProperty("AutoRepeatRate", &pAutoRepeatRate);
    AddProperty("AutoRepeatDelay", &pAutoRepeatDelay);
    AddProperty("FadeInTime", &pFadeInTime);
    AddProperty("FadeOutTime", &pFadeOutTime);
    AddProperty("SoundMove", &pSoundMove);
    AddProperty("SoundClick", &pSoundClick);
    AddProperty("Parent", &pParent);
    AddProperty("Font", &pFont);
    AddProperty("FontSize", &pFontSize);
    AddProperty("Text", &pText);
    AddProperty("Alpha", &pAlpha);
    AddProperty("InheritsAlpha", &pInheritsAlpha);
    AddProperty("AlwaysOnTop", &pAlwaysOnTop);
    AddProperty("RiseOnClick", &pRiseOnClick);
    AddProperty("NotifyRender", &pNotifyRender);
    AddProperty("MultiClick", &pMultiClick);
    AddProperty("MultiClickTime", &pMultiClickTime);
    AddProperty("HorizontalAlign", &pHorizontalAlign);
    AddProperty("VerticalAlign", &pVerticalAlign);
    AddProperty("Modal", &pModal);
    AddProperty("Cursor", &pCursor);
    AddProperty("ClipByParent", &pClipByParent);
    AddProperty("Tag", &pTag);
    AddProperty("Hotkey", &pHotkey);
    for (const char* event : kWidgetEventNames)
        AddEvent(event);
}

Widget::~Widget()
{
    m_life.reset();
    if (t_walks.running > 0)
        t_walks.destroyed.push_back(this);
    // Its address may be reused by a widget the hit test has not seen.
    NoteHitTestChange();
    if (parent)
        parent->RemoveChild(this);
    RemoveAllChildren();
    soundMove.reset();
    soundClick.reset();
    if (Server* s = server())
        s->ForgetWidget(this);
}

bool Widget::Launch(const char* event, const EventArgs& args)
{
    const std::weak_ptr<const void> life = m_life;
    LaunchEvent(event, args);
    return !life.expired();
}

// ---------------------------------------------------------------------------
// Properties

void Widget::EndFillProperties()
{
    WakeUpdate();
    Server* s = server();
    const auto lookup = [this, s](const Property& p) {
        if (!s)
            a_log("Widget::EndFillProperties - no GUI server for '%s' of '%s'", p.GetName().c_str(), name.c_str());
        return s;
    };
    if (pAreaRect.isSet)
        area = pAreaRect.AsRect();
    if (pRegion.isSet)
        region = lookup(pRegion) ? s->GetRegion(pRegion.value) : nullptr;
    if (pSoundMove.isSet)
        soundMove = lookup(pSoundMove) ? s->NewSound(pSoundMove.value) : nullptr;
    if (pSoundClick.isSet)
        soundClick = lookup(pSoundClick) ? s->NewSound(pSoundClick.value) : nullptr;
    if (pFont.isSet)
        font = lookup(pFont) ? s->GetFont(pFont.value) : nullptr;
    if (pFontSize.isSet)
        SetFontSize(pFontSize.AsFloat());
    if (pText.isSet) {
        const std::wstring* found = g_localeServer ? g_localeServer->findString(pText.value) : nullptr;
        SetText(found ? *found : str_utf8ToWide(pText.value));
    }
    if (pEnabled.isSet)
        SetEnabled(pEnabled.AsBool());
    if (pVisible.isSet)
        SetVisible(pVisible.AsBool());
    if (pStatic.isSet)
        isStatic = pStatic.AsBool();
    if (pMouseAutoRepeat.isSet)
        mouseAutoRepeat = pMouseAutoRepeat.AsBool();
    if (pAutoRepeatDelay.isSet)
        autoRepeatDelay = pAutoRepeatDelay.AsFloat();
    if (pAutoRepeatRate.isSet)
        autoRepeatRate = pAutoRepeatRate.AsFloat();
    if (pFadeInTime.isSet)
        fadeInTime = pFadeInTime.AsFloat();
    if (pFadeOutTime.isSet)
        fadeOutTime = pFadeOutTime.AsFloat();
    if (pHorizontalAlign.isSet)
        horzAlign = ParseHorzAlign(pHorizontalAlign.value);
    if (pVerticalAlign.isSet)
        vertAlign = ParseVertAlign(pVerticalAlign.value);
    if (pAlwaysOnTop.isSet) {
        const bool was = alwaysOnTop;
        alwaysOnTop = pAlwaysOnTop.AsBool();
        // Scripts add a widget before filling it: keep the always-on-top
        // children above the others.
        if (alwaysOnTop != was)
            BringToFront();
    }
    if (pRiseOnClick.isSet)
        riseOnClick = pRiseOnClick.AsBool();
    if (pNotifyRender.isSet)
        notifyRender = pNotifyRender.AsBool();
    if (pMultiClick.isSet)
        multiClick = pMultiClick.AsBool();
    if (pMultiClickTime.isSet)
        multiClickTime = pMultiClickTime.AsFloat();
    if (pModal.isSet)
        modal = pModal.AsBool();
    if (pCursor.isSet)
        cursorName = pCursor.value;
    if (pClipByParent.isSet)
        clipByParent = pClipByParent.AsBool();
    if (pTag.isSet)
        tag = pTag.AsInt();
    if (pAlpha.isSet)
        alpha = pAlpha.AsFloat();
    if (pInheritsAlpha.isSet)
        inheritsAlpha = pInheritsAlpha.AsBool();
    if (pHotkey.isSet) {
        ParseHotkey(pHotkey.value, hotkeyKey, hotkeyModifiers);
        if (hotkeyKey == 0)
            a_log("Widget '%s': hotkey \"%s\" names no key", name.c_str(), pHotkey.value.c_str());
    }
}

bool Widget::IsA(const std::string&) const { return false; }

std::uint8_t Widget::ParseHorzAlign(const std::string& text) { return alignFromKeyword(text, "center", "right"); }
std::uint8_t Widget::ParseVertAlign(const std::string& text) { return alignFromKeyword(text, "center", "bottom"); }

void Widget::Initialize()
{
    clickCount = 0;
    focused = false;
}

// ---------------------------------------------------------------------------
// Update and render

void Widget::Update(float dt)
{
    const DestructionWatch watch;
    UpdateSelf(dt);
    if (watch.gone(this))
        return;
    // Cleared again by any wake below this point, such as one from a
    // child's handlers.
    m_subtreeIdle = IsUpdateIdle();
    // Idle state is only known to hold while time runs forward.
    const bool skipIdle = dt >= 0.0f;
    for (std::size_t i = 0; i < children.size(); ++i) {
        Widget* child = children[i];
        if (skipIdle && child->m_subtreeIdle)
            continue;
        child->Update(dt);
        if (watch.gone(this))
            return;
        if (watch.gone(child) || !child->m_subtreeIdle)
            m_subtreeIdle = false;
    }
}

bool Widget::IsUpdateIdle() const
{
    // The click timer only feeds the multi-click test, whose outcome holds
    // once the timer is past the window.
    return !hovered && hoverFade == 0.0f && !std::signbit(hoverFade) && clickTimer > multiClickTime;
}

void Widget::WakeUpdate()
{
    for (Widget* w = this; w; w = w->parent)
        w->m_subtreeIdle = false;
}

void Widget::UpdateSelf(float dt)
{
    if (hovered)
        hoverFade = fadeInTime > 0.0f ? std::min(1.0f, hoverFade + dt / fadeInTime) : 1.0f;
    else
        hoverFade = fadeOutTime > 0.0f ? std::max(0.0f, hoverFade - dt / fadeOutTime) : 0.0f;
    clickTimer += dt;
}

void Widget::Render()
{
    if (!IsVisible())
        return;
    aGraphServer* gs = g_application ? g_application->m_graphServer : nullptr;
    const aRect kept = gs ? gs->m_viewport : aRect();
    const DestructionWatch watch;
    const WidgetEventArgs args(this);
    OnBeginRender(args);
    if (watch.gone(this))
        return;
    DrawSelf();
    bool clipping = false;
    for (std::size_t i = 0; !watch.gone(this) && i < drawOrder.size(); ++i) {
        Widget* child = drawOrder[i];
        if (child->clipByParent != clipping) {
            clipping = child->clipByParent;
            if (gs)
                gs->setViewport(clipping ? kept.getIntersection(GetAbsoluteRect()) : kept);
        }
        child->Render();
    }
    if (clipping && gs)
        gs->setViewport(kept);
    if (!watch.gone(this))
        OnEndRender(args);
}

bool Widget::IsTransparentAt(std::int32_t, std::int32_t) const { return false; }

// ---------------------------------------------------------------------------
// Hooks

void Widget::OnMouseEnter(const WidgetEventArgs& args)
{
    hovered = true;
    WakeUpdate();
    Launch(EventMouseEnter, args);
}

void Widget::OnMouseLeave(const WidgetEventArgs& args)
{
    hovered = false;
    Launch(EventMouseLeave, args);
}

void Widget::OnMouseMove(const MouseEventArgs& args)
{
    if (Server* s = server())
        s->SetCursor(cursorName);
    if (!Launch(EventMouseMove, args))
        return;
    // Any movement ends a multi-click series.
    clickTimer = multiClickTime + 1.0f;
}

void Widget::OnMouseDown(const MouseEventArgs& args)
{
    if (!Launch(EventMouseDown, args))
        return;
    if (args.button == 0) {
        if (!multiClick || clickCount >= 3 || clickTimer > multiClickTime)
            clickCount = 0;
        ++clickCount;
        const std::weak_ptr<const void> life = m_life;
        if (clickCount == 2)
            OnDoubleClick(args);
        else if (clickCount == 3)
            OnTripleClick(args);
        if (life.expired())
            return;
        clickTimer = 0.0f;
        WakeUpdate();
    }
    if (Server* s = server())
        s->SetFocus(this);
}

void Widget::OnMouseUp(const MouseEventArgs& args)
{
    if (!Launch(EventMouseUp, args))
        return;
    if (args.button == 0 && clickCount == 1 && IsPointInside(args.x, args.y))
        OnClick(args);
}

void Widget::OnMouseWheel(const MouseEventArgs& args) { Launch(EventMouseWheel, args); }

void Widget::OnClick(const MouseEventArgs& args)
{
    if (soundClick)
        soundClick->Play(false, false);
    Launch(EventClick, args);
}

void Widget::OnDoubleClick(const MouseEventArgs& args) { Launch(EventDoubleClick, args); }
void Widget::OnTripleClick(const MouseEventArgs& args) { Launch(EventTripleClick, args); }

void Widget::OnFocusGain(const WidgetEventArgs& args)
{
    focused = true;
    WakeUpdate();
    Launch(EventFocusGain, args);
}

void Widget::OnFocusLost(const WidgetEventArgs& args)
{
    focused = false;
    Launch(EventFocusLost, args);
}

void Widget::OnKeyDown(const KeybEventArgs& args) { Launch(EventKeyDown, args); }
void Widget::OnKeyUp(const KeybEventArgs& args) { Launch(EventKeyUp, args); }
void Widget::OnKeyPress(const KeybEventArgs& args) { Launch(EventKeyPress, args); }
void Widget::OnEnabled(const WidgetEventArgs& args) { Launch(EventEnabled, args); }
void Widget::OnDisabled(const WidgetEventArgs& args) { Launch(EventDisabled, args); }
void Widget::OnShow(const WidgetEventArgs& args) { Launch(EventShow, args); }

void Widget::OnHide(const WidgetEventArgs& args)
{
    // A hidden widget, or one below it, cannot keep the keyboard.
    if (Server* s = server()) {
        for (const Widget* w = s->focus; w; w = w->parent)
            if (w == this) {
                s->SetFocus(nullptr);
                break;
            }
    }
    Launch(EventHide, args);
}

void Widget::OnTextChanged(const WidgetEventArgs& args) { Launch(EventTextChanged, args); }
void Widget::OnFontChanged(const WidgetEventArgs& args) { Launch(EventFontChanged, args); }
void Widget::OnMoved(const WidgetEventArgs& args) { Launch(EventMoved, args); }
void Widget::OnSized(const WidgetEventArgs& args) { Launch(EventSized, args); }

void Widget::OnBeginRender(const WidgetEventArgs& args)
{
    if (notifyRender)
        Launch(EventBeginRender, args);
}

void Widget::OnEndRender(const WidgetEventArgs& args)
{
    if (notifyRender)
        Launch(EventEndRender, args);
}

// ---------------------------------------------------------------------------
// Geometry

void Widget::SetAreaRect(const aRect& rect)
{
    const aRect old = area;
    std::uint16_t w = std::max(rect.width, minWidth);
    std::uint16_t h = std::max(rect.height, minHeight);
    if (maxWidth && w > maxWidth)
        w = maxWidth;
    if (maxHeight && h > maxHeight)
        h = maxHeight;
    area = aRect(rect.x, rect.y, w, h);
    const std::weak_ptr<const void> life = m_life;
    const WidgetEventArgs args(this);
    if (old.x != area.x || old.y != area.y)
        OnMoved(args);
    if (!life.expired() && (old.width != w || old.height != h))
        OnSized(args);
}

void Widget::SetPosition(std::int16_t x, std::int16_t y) { SetAreaRect(aRect(x, y, area.width, area.height)); }
void Widget::SetSize(std::uint16_t w, std::uint16_t h) { SetAreaRect(aRect(area.x, area.y, w, h)); }
void Widget::SetWidth(std::uint16_t w) { SetSize(w, area.height); }
void Widget::SetHeight(std::uint16_t h) { SetSize(area.width, h); }

std::int32_t Widget::ChildX(const Widget* child) const
{
    const std::int32_t offset =
        child->horzAlign == ALIGN_CENTER ? area.width / 2 : (child->horzAlign == ALIGN_RIGHT ? area.width.get() : 0);
    return child->area.x + offset;
}

std::int32_t Widget::ChildY(const Widget* child) const
{
    const std::int32_t offset =
        child->vertAlign == ALIGN_CENTER ? area.height / 2 : (child->vertAlign == ALIGN_BOTTOM ? area.height.get() : 0);
    return child->area.y + offset;
}

std::int32_t Widget::GetAbsoluteX() const { return parent ? parent->GetAbsoluteX() + parent->ChildX(this) : area.x.get(); }
std::int32_t Widget::GetAbsoluteY() const { return parent ? parent->GetAbsoluteY() + parent->ChildY(this) : area.y.get(); }

aRect Widget::GetAbsoluteRect() const
{
    return aRect(std::int16_t(GetAbsoluteX()), std::int16_t(GetAbsoluteY()), area.width, area.height);
}

bool Widget::IsPointInside(std::int32_t x, std::int32_t y) const
{
    if (x < 0 || y < 0 || x >= area.width || y >= area.height)
        return false;
    if (!region)
        return true;
    return region->IsInside(std::uint32_t(std::int64_t(x) * region->width / area.width),
                            std::uint32_t(std::int64_t(y) * region->height / area.height));
}

// ---------------------------------------------------------------------------
// State

void Widget::SetEnabled(bool on)
{
    if (on == enabled)
        return;
    enabled = on;
    const WidgetEventArgs args(this);
    if (on)
        OnEnabled(args);
    else
        OnDisabled(args);
}

void Widget::SetVisible(bool on)
{
    if (on == visible)
        return;
    visible = on;
    const WidgetEventArgs args(this);
    if (on)
        OnShow(args);
    else
        OnHide(args);
}

bool Widget::IsEnabled(bool ownOnly) const
{
    if (ownOnly)
        return enabled;
    for (const Widget* w = this; w; w = w->parent)
        if (!w->enabled)
            return false;
    return true;
}

bool Widget::IsVisible(bool ownOnly) const
{
    if (ownOnly)
        return visible;
    for (const Widget* w = this; w; w = w->parent)
        if (!w->visible)
            return false;
    return true;
}

float Widget::GetAlpha(bool ownOnly) const
{
    return (!ownOnly && inheritsAlpha && parent) ? alpha * parent->GetAlpha() : alpha;
}

aFont* Widget::GetFont(bool ownOnly) const
{
    if (font || ownOnly)
        return font;
    for (const Widget* w = parent; w; w = w->parent)
        if (w->font)
            return w->font;
    return nullptr;
}

float Widget::GetFontSize(bool ownOnly) const
{
    if (fontSize != 0.0f || ownOnly)
        return fontSize;
    for (const Widget* w = parent; w; w = w->parent)
        if (w->fontSize != 0.0f)
            return w->fontSize;
    return 0.0f;
}

void Widget::SetFont(aFont* f)
{
    font = f;
    OnFontChanged(WidgetEventArgs(this));
}

void Widget::SetFontSize(float size)
{
    if (size == fontSize)
        return;
    fontSize = size;
    OnFontChanged(WidgetEventArgs(this));
}

void Widget::SetText(const std::wstring& t)
{
    text = t;
    OnTextChanged(WidgetEventArgs(this));
}

// ---------------------------------------------------------------------------
// Tree

void Widget::AddChild(Widget* child)
{
    for (const Widget* w = this; w; w = w->parent)
        if (w == child) {
            a_log("Widget::AddChild - '%s' cannot become a child of itself or of '%s' below it",
                  child ? child->name.c_str() : "", name.c_str());
            return;
        }
    if (!child)
        return;
    if (child->parent)
        child->parent->RemoveChild(child);
    child->parent = this;
    children.push_back(child);
    InsertOnTop(child);
    WakeUpdate();
}

void Widget::InsertOnTop(Widget* child)
{
    NoteHitTestChange();
    if (child->alwaysOnTop) {
        drawOrder.push_back(child);
        return;
    }
    const auto firstOnTop =
        std::find_if(drawOrder.begin(), drawOrder.end(), [](const Widget* w) { return w->alwaysOnTop; });
    drawOrder.insert(firstOnTop, child);
}

void Widget::RemoveChild(Widget* child)
{
    if (!child || child->parent != this)
        return;
    NoteHitTestChange();
    drawOrder.erase(std::remove(drawOrder.begin(), drawOrder.end(), child), drawOrder.end());
    children.erase(std::remove(children.begin(), children.end(), child), children.end());
    child->parent = nullptr;
}

void Widget::SetParent(Widget* p)
{
    if (p == parent)
        return;
    if (p)
        p->AddChild(this);
    else
        parent->RemoveChild(this);
}

void Widget::RemoveAllChildren()
{
    while (!children.empty()) {
        Widget* child = children.front();
        RemoveChild(child);
        if (child->autoDelete)
            delete child;
    }
}

Widget* Widget::FindChild(const std::string& childName, bool recursive) const
{
    for (Widget* child : children) {
        if (str_equalNoCase(child->name, childName))
            return child;
        if (recursive)
            if (Widget* found = child->FindChild(childName, true))
                return found;
    }
    return nullptr;
}

void Widget::BringToFront()
{
    if (!parent)
        return;
    auto& order = parent->drawOrder;
    order.erase(std::remove(order.begin(), order.end(), this), order.end());
    parent->InsertOnTop(this);
}

void Widget::RiseChain()
{
    for (Widget* w = this; w; w = w->parent)
        if (w->riseOnClick)
            w->BringToFront();
}

Widget* Widget::WidgetAt(std::int32_t x, std::int32_t y, bool recursive, bool skipStatic) const
{
    // Every widget below is shown only while this one is: asked once here
    // rather than of each one's ancestors.
    return IsVisible() ? ShownChildAt(x, y, recursive, skipStatic) : nullptr;
}

Widget* Widget::ShownChildAt(std::int32_t x, std::int32_t y, bool recursive, bool skipStatic) const
{
    for (auto it = drawOrder.rbegin(); it != drawOrder.rend(); ++it) {
        Widget* child = *it;
        if (!child->visible)
            continue;
        if (!(skipStatic && child->isStatic)) {
            const std::int32_t cx = ChildX(child), cy = ChildY(child);
            if (recursive && !child->drawOrder.empty())
                if (Widget* hit = child->ShownChildAt(x - cx, y - cy, true, skipStatic))
                    return hit;
            std::int32_t left = cx, top = cy;
            std::int32_t right = cx + child->area.width, bottom = cy + child->area.height;
            if (child->clipByParent) {
                left = std::max(left, 0);
                top = std::max(top, 0);
                right = std::min<std::int32_t>(right, area.width);
                bottom = std::min<std::int32_t>(bottom, area.height);
            }
            if (x >= left && x < right && y >= top && y < bottom) {
                if (child->region) {
                    if (child->IsPointInside(x - cx, y - cy))
                        return child;
                } else if (!child->IsTransparentAt(x - cx, y - cy)) {
                    return child;
                }
            }
        }
        if (child->modal)
            break;
    }
    return nullptr;
}

bool Widget::HandleHotkey(std::uint32_t key, std::uint32_t modifiers)
{
    for (std::size_t i = drawOrder.size(); i-- > 0;) {
        Widget* child = drawOrder[i];
        if (!child->visible)
            continue;
        if (child->enabled && child->HandleHotkey(key, modifiers))
            return true;
        if (child->modal)
            break;
    }
    if (hotkeyKey != 0 && hotkeyKey == key && (modifiers & 7) == hotkeyModifiers) {
        MouseEventArgs args(this);
        args.handled = true;
        args.button = 0;
        OnClick(args);
        return true;
    }
    return false;
}

} // namespace GUI
