#pragma once
// The base of every GUI element: a named rectangle with children,
// visibility, enabled state, alpha and font that inherit through the
// parents, a hover fade, text, auto-repeat and multi-click settings, a
// hotkey, and one virtual hook per widget event. Input reaches widgets only
// through the GUI server.
//
// Ownership: a child with `autoDelete` belongs to its parent (scripts set
// the flag); any other widget belongs to the code that made it. A dying
// widget leaves its parent, orphans or deletes its children, and makes the
// server forget it as hover or focus widget.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/gui/gui_event.h"
#include "engine/gui/gui_hit_value.h"
#include "engine/gui/gui_property_set.h"
#include "engine/util/a_rect.h"
#include "engine/util/a_wformat.h"

class aFont;
class aSound;

namespace GUI {

class Region;

// Alignment of a widget's position in its parent.
enum Align : std::uint8_t {
    ALIGN_LEFT = 0,
    ALIGN_TOP = 0,
    ALIGN_CENTER = 1,
    ALIGN_RIGHT = 2,
    ALIGN_BOTTOM = 2,
};

// Reads a hotkey text ("ctrl|shift|s", "alt f4"): modifier words (prefixes
// of "shift", "alt", "ctrl"; an empty word means shift) each followed by
// '|', blank or tab, then a key name. key is 0 when the text names no key.
void ParseHotkey(const std::string& text, std::uint32_t& key, std::uint32_t& modifiers);
// The scan code of a hotkey key name (ignoring case), 0 when unknown.
std::uint32_t HotkeyNameToKey(const std::string& name);
// The key names in the order they are searched.
struct HotkeyName {
    const char* name;
    std::uint8_t key;
};
extern const HotkeyName kHotkeyNames[99];

class Widget : public PropertySet, public EventSet {
public:
    // Capacity of SetTextFormat's shared buffer, in characters.
    static constexpr std::size_t kTextFormatCapacity = 2000;

    explicit Widget(const std::string& name);
    ~Widget() override;

    // --- virtual slots -----------------------------------------------------
    void EndFillProperties() override;
    std::string GetLogName() const override { return name; }
    virtual const char* GetTypeName() const { return "Widget"; }
    // Alignment keywords, ignoring case: "left"/"top" 0, "center" 1,
    // "right"/"bottom" 2; any other text 0.
    static std::uint8_t ParseHorzAlign(const std::string& text);
    static std::uint8_t ParseVertAlign(const std::string& text);
    // True for the class's own type name (and some of its bases'); never
    // for "Widget".
    virtual bool IsA(const std::string& type) const;
    virtual void Initialize();
    // UpdateSelf, then every child's Update in `children` order.
    virtual void Update(float dt);
    virtual void Render();
    virtual void DrawSelf() {}
    // Hover fade and click timer.
    virtual void UpdateSelf(float dt);
    // True when UpdateSelf, with any dt >= 0, would change nothing that
    // anything reads until a hook, setter or property changes the widget
    // (which then calls WakeUpdate). Update skips a child whose whole
    // subtree is idle, shown or hidden; a class whose UpdateSelf does more
    // overrides this too.
    virtual bool IsUpdateIdle() const;
    virtual bool CanFocus() const { return false; }
    // Takes typed text while it has the focus (the platform's text input
    // is on only then).
    virtual bool TakesText() const { return false; }
    // Read by the hover hit test, whose answer is kept while nothing it
    // reads changes: an override answering from state that no HitValue
    // holds calls NoteHitTestChange when it does.
    virtual bool IsTransparentAt(std::int32_t x, std::int32_t y) const;

    virtual void OnMouseEnter(const WidgetEventArgs& args);
    virtual void OnMouseLeave(const WidgetEventArgs& args);
    virtual void OnMouseMove(const MouseEventArgs& args);
    virtual void OnMouseDown(const MouseEventArgs& args);
    virtual void OnMouseUp(const MouseEventArgs& args);
    virtual void OnMouseWheel(const MouseEventArgs& args);
    virtual void OnClick(const MouseEventArgs& args);
    virtual void OnDoubleClick(const MouseEventArgs& args);
    virtual void OnTripleClick(const MouseEventArgs& args);
    virtual void OnFocusGain(const WidgetEventArgs& args);
    virtual void OnFocusLost(const WidgetEventArgs& args);
    virtual void OnKeyDown(const KeybEventArgs& args);
    virtual void OnKeyUp(const KeybEventArgs& args);
    virtual void OnKeyPress(const KeybEventArgs& args);
    // A character typed while the widget has the focus (args.text); raises
    // no event.
    virtual void OnTextInput(const KeybEventArgs& args) { (void)args; }
    virtual void OnEnabled(const WidgetEventArgs& args);
    virtual void OnDisabled(const WidgetEventArgs& args);
    virtual void OnShow(const WidgetEventArgs& args);
    virtual void OnHide(const WidgetEventArgs& args);
    virtual void OnTextChanged(const WidgetEventArgs& args);
    virtual void OnFontChanged(const WidgetEventArgs& args);
    virtual void OnMoved(const WidgetEventArgs& args);
    virtual void OnSized(const WidgetEventArgs& args);
    virtual void OnBeginRender(const WidgetEventArgs& args);
    virtual void OnEndRender(const WidgetEventArgs& args);

    // --- geometry ----------------------------------------------------------
    // Stores the rectangle, the size clamped to [min, max] (a maximum of 0
    // is none; the maximum wins over the minimum); Moved and then Sized
    // when they changed.
    void SetAreaRect(const aRect& rect);
    void SetPosition(std::int16_t x, std::int16_t y);
    void SetSize(std::uint16_t w, std::uint16_t h);
    void SetWidth(std::uint16_t w);
    void SetHeight(std::uint16_t h);
    aRect GetAreaRect() const { return area; }
    // Screen position, with the alignment in each parent.
    std::int32_t GetAbsoluteX() const;
    std::int32_t GetAbsoluteY() const;
    aRect GetAbsoluteRect() const;
    // (x, y) relative to the widget; with a region, the region's pixel at
    // the point scaled to the region's size. A widget of size 0 holds no point.
    bool IsPointInside(std::int32_t x, std::int32_t y) const;

    // --- state -------------------------------------------------------------
    void SetEnabled(bool on);
    void SetVisible(bool on);
    // The own flag; unless ownOnly, false also when an ancestor's is.
    bool IsEnabled(bool ownOnly = false) const;
    bool IsVisible(bool ownOnly = false) const;
    float GetAlpha(bool ownOnly = false) const;
    aFont* GetFont(bool ownOnly = false) const;
    float GetFontSize(bool ownOnly = false) const;
    void SetFont(aFont* f);
    void SetFontSize(float size);
    void SetText(const std::wstring& t);
    const std::wstring& GetText() const { return text; }
    // Formats into one buffer shared by all widgets, cut at
    // kTextFormatCapacity characters, and sets the result as the text.
    template <class... A>
    void SetTextFormat(const wchar_t* format, const A&... args)
    {
        a_wformatTo(s_textFormatBuffer, kTextFormatCapacity + 1, format, args...);
        SetText(s_textFormatBuffer);
    }
    template <class... A>
    void SetTextFormat(const std::wstring& format, const A&... args)
    {
        SetTextFormat(format.c_str(), args...);
    }
    const std::string& GetName() const { return name; }
    Widget* GetParent() const { return parent; }

    // --- tree --------------------------------------------------------------
    // Takes the child from its old parent and puts it on top of the others
    // (below the always-on-top ones unless it is one).
    void AddChild(Widget* child);
    void RemoveChild(Widget* child);
    // Null leaves the parent.
    void SetParent(Widget* p);
    // Deletes the children with autoDelete and orphans the rest.
    void RemoveAllChildren();
    // The first child of that name (ignoring case) in `children` order;
    // recursive searches each child's subtree before the next child.
    Widget* FindChild(const std::string& childName, bool recursive = false) const;
    void BringToFront();
    // Brings every widget with riseOnClick, from this one up, to the front.
    void RiseChain();
    // The topmost visible child under (x, y), relative to this widget;
    // nothing below a modal child is reachable.
    Widget* WidgetAt(std::int32_t x, std::int32_t y, bool recursive, bool skipStatic) const;
    // Depth first from the top: true when some widget's hotkey took the key
    // (it got OnClick).
    bool HandleHotkey(std::uint32_t key, std::uint32_t modifiers);

    // Expires when the widget is destroyed, so callers of hooks (which may
    // run handlers that delete it) can tell whether it still lives.
    std::weak_ptr<const void> GetLifeToken() const { return m_life; }

    // --- data (read and written directly by the toolkit and the game) -----
    // What the walks of the tree read of every widget each frame (drawing,
    // updating, the hover hit test) comes first, in few cache lines. What
    // the hit test reads is held in HitValues.
    HitValue<bool> visible = true;
    bool enabled = true;

private:
    // This subtree was idle at its last update and nothing woke it since.
    bool m_subtreeIdle = false;

public:
    HitValue<bool> isStatic = false;
    HitValue<bool> modal = false;
    HitValue<bool> clipByParent = true;
    bool notifyRender = false;
    bool inheritsAlpha = true;
    HitValue<std::uint8_t> vertAlign = std::uint8_t(ALIGN_TOP);
    HitValue<std::uint8_t> horzAlign = std::uint8_t(ALIGN_LEFT);
    bool hovered = false;
    bool alwaysOnTop = false;
    float alpha = 1.0f;
    HitRect area = aRect(0, 0, 1, 1);
    HitValue<Region*> region = nullptr;  // not owned
    // Changed only by the tree calls above, which count each change for
    // the hit test.
    std::vector<Widget*> drawOrder;  // bottom first
    Widget* parent = nullptr;
    aFont* font = nullptr;  // not owned
    float fontSize = 1.0f;
    float hoverFade = 0.0f;
    std::vector<Widget*> children;  // insertion order

    std::string name;
    bool mouseAutoRepeat = false;
    float autoRepeatRate = 0.05f;
    float autoRepeatDelay = 0.3f;
    float fadeInTime = 0.0f;
    float fadeOutTime = 0.0f;
    std::uint16_t minWidth = 0, maxWidth = 0, minHeight = 0, maxHeight = 0;
    bool autoDelete = false;
    bool focused = false;
    bool riseOnClick = false;
    std::int32_t clickCount = 0;
    float clickTimer = 0.0f;
    float multiClickTime;
    bool multiClick = false;
    std::string cursorName = "default";
    std::unique_ptr<aSound> soundMove;
    std::unique_ptr<aSound> soundClick;
    std::int32_t tag = 0;
    std::wstring text;  // through SetText: labels drawn from it keep their layout until then
    std::uint32_t hotkeyKey = 0;
    std::uint32_t hotkeyModifiers = 0;

    Property pAreaRect, pRegion, pVisible, pEnabled, pStatic, pMouseAutoRepeat, pAutoRepeatRate,
        pAutoRepeatDelay, pFadeInTime, pFadeOutTime, pSoundMove, pSoundClick, pParent, pFont, pFontSize, pText,
        pAlpha, pInheritsAlpha, pAlwaysOnTop, pRiseOnClick, pNotifyRender, pMultiClick, pMultiClickTime,
        pHorizontalAlign, pVerticalAlign, pModal, pCursor, pClipByParent, pTag, pHotkey;

protected:
    // State that UpdateSelf acts on changed: this subtree and those above
    // it are walked again.
    void WakeUpdate();

    // Launches the event; false when a handler destroyed this widget, which
    // the caller must then no longer touch.
    bool Launch(const char* event, const EventArgs& args);

private:
    void InsertOnTop(Widget* child);
    // WidgetAt below a widget known to be shown.
    Widget* ShownChildAt(std::int32_t x, std::int32_t y, bool recursive, bool skipStatic) const;
    // The child's offset in this widget, with its alignment.
    std::int32_t ChildX(const Widget* child) const;
    std::int32_t ChildY(const Widget* child) const;

    std::shared_ptr<const void> m_life = std::make_shared<int>(0);
    static wchar_t s_textFormatBuffer[kTextFormatCapacity + 1];
};

// A widget pointer that reads null once the widget is gone: the tree owns
// its widgets, and handlers may delete them at any time.
class WidgetRef {
public:
    WidgetRef() = default;
    explicit WidgetRef(Widget* widget)
        : m_widget(widget), m_life(widget ? widget->GetLifeToken() : std::weak_ptr<const void>())
    {
    }
    Widget* get() const { return m_life.expired() ? nullptr : m_widget; }
    template <class T>
    T* as() const
    {
        return dynamic_cast<T*>(get());
    }

private:
    Widget* m_widget = nullptr;
    std::weak_ptr<const void> m_life;
};

} // namespace GUI
