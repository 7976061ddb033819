#pragma once
// The GUI's root object: the widget tree under "__root__", the named fonts,
// regions, styles, mouse cursors and templates that scripts define, the
// keyboard focus, the widget under the mouse and the cursor shown. It loads
// ".agui" scripts (sections: fontlist, regionlist, style, cursor, template,
// and widgets by type word) and once per frame turns the input server's
// state into widget events. One instance (aSingleton); made after the
// graphics, input, image and sound services. Main thread only.
//
// Widgets may die in any hook they receive (handlers delete them): the
// server keeps no widget pointer across a hook, rereading `hover` and
// `focus`, which a dying widget clears.
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "engine/gui/a_script_loader.h"
#include "engine/gui/gui_mouse_cursor.h"
#include "engine/gui/gui_region.h"
#include "engine/gui/gui_style.h"
#include "engine/gui/gui_widget.h"
#include "engine/sound/a_sound.h"
#include "engine/util/a_singleton.h"
#include "engine/util/a_string.h"

class aFont;
class aImage;
class aImageManager;
class aInputServer;
class aSoundManager;

namespace GUI {

// The (key, value) lines of a template, in script order.
using Template = std::vector<std::pair<std::string, std::string>>;

class Server : public aScriptLoader, public aSingleton<Server> {
public:
    static constexpr const char* kRootName = "__root__";
    static constexpr std::uint32_t kNoButton = 3;

    // Section values of scripts.
    enum SectionKind {
        SECTION_FONTLIST = 1,
        SECTION_REGIONLIST = 2,
        SECTION_STYLE = 3,
        SECTION_TEMPLATE = 4,
        SECTION_WIDGET = 5,
        SECTION_CURSOR = 6,
    };

    // Either manager may be null: its lookups then find nothing. The input
    // server is the application's.
    Server(aImageManager* images, aSoundManager* sounds);
    // Deletes the tree, then the fonts, styles, regions and cursors.
    ~Server() override;
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    // Null, and a log line, when absent.
    aFont* GetFont(const std::string& name) const;
    Region* GetRegion(const std::string& name) const;
    Style* GetStyle(const std::string& name) const;
    MouseCursor* GetMouseCursor(const std::string& name) const;
    // The image manager's image of that name with no group.
    aImage* GetImage(const std::string& name) const;
    // A new sound instance on the manager's sound (no group), owned by the caller.
    std::unique_ptr<aSound> NewSound(const std::string& name) const;
    // Sets every line of the template on the widget, in order.
    void ApplyTemplate(const std::string& name, Widget* widget);

    Widget* GetRoot() const { return root.get(); }

    // After a load: Initialize on the whole tree (parents before children),
    // then the input state is reset.
    void InitWidgets();
    // Input routing, then the tree's Update. dt in seconds.
    void Update(float dt);
    void Render();

    // Refused when the widget cannot take the focus; the old focus widget
    // gets FocusLost, the new one FocusGain. The key repeat stops; keys
    // still held stay held (they give no new KeyDown).
    void SetFocus(Widget* widget);
    // Called by every dying widget: drops the hover and focus widgets.
    void ForgetWidget(Widget* widget);
    // MouseLeave on the old widget and its ancestors that the new one does
    // not share, outermost first, then MouseEnter likewise on the new chain.
    void SetHoverWidget(Widget* widget);
    // A known cursor other than the current one becomes current (and
    // active while cursors show); unknown or empty names change nothing.
    void SetCursor(const std::string& name);
    // Off, or on without a cursor: the system arrow.
    void ShowMouseCursor(bool on);

    // The printable character a DirectInput key types on a US keyboard with
    // the modifiers (shift; caps lock flips letters); 0 when none.
    static char KeyToChar(std::uint32_t key, std::uint32_t modifiers);

    // Tables, each owning its objects, names compared ignoring case, shared
    // by every script loaded; a name is never redefined.
    std::map<std::string, Template, aLessNoCase> templates;
    std::map<std::string, std::unique_ptr<Style>, aLessNoCase> styles;
    std::map<std::string, std::unique_ptr<Region>, aLessNoCase> regions;
    std::map<std::string, std::unique_ptr<aFont>, aLessNoCase> fonts;
    std::map<std::string, std::unique_ptr<MouseCursor>, aLessNoCase> cursors;

    aImageManager* imageManager = nullptr;
    aSoundManager* soundManager = nullptr;
    aInputServer* input = nullptr;
    std::unique_ptr<Widget> root;

    // Input state kept between frames.
    std::uint32_t modifiers = 0;
    std::int32_t repeatKey = -1;
    float repeatTimer = 0.0f;
    bool repeating = false;
    std::uint8_t keyDown[256] = {};
    std::uint64_t pressesTaken = 0;  // the input poll whose key-downs were delivered
    std::uint32_t pressedButton = kNoButton;
    bool cursorOn = true;
    MouseCursor* cursor = nullptr;  // shown now, or null
    std::int32_t lastMouseX = 0;
    std::int32_t lastMouseY = 0;
    Widget* hover = nullptr;  // under the mouse (or captured)
    Widget* focus = nullptr;  // with the keyboard focus

protected:
    void onParseBegin(const std::string& fileName) override;
    void onParseEnd(const std::string& fileName) override;
    int onSection(int parentValue, const std::vector<std::string>& tokens) override;
    void onSectionEnd(int value) override;
    void onEntry(int value, const std::vector<std::string>& tokens) override;

private:
    int BeginWidget(const std::vector<std::string>& tokens);
    void CancelRepeat();
    // This frame's mouse event arguments for the widget.
    MouseEventArgs MouseArgs(Widget* widget, std::uint32_t button) const;
    KeybEventArgs KeyArgs(Widget* widget, std::uint32_t key) const { return KeyArgs(widget, key, modifiers); }
    KeybEventArgs KeyArgs(Widget* widget, std::uint32_t key, std::uint32_t mods) const;
    void UpdateButtons();
    void UpdateKeys();
    // A key that went down: its hotkey, else the focused widget's KeyDown.
    void PressKey(std::uint32_t key, std::uint32_t mods);
    // A typed character, for the focused widget when it takes text.
    void TypeCharacter(char32_t c);
    // The focused widget takes text, and is shown and enabled.
    bool WantsText() const;
    // Text input on exactly while WantsText.
    void SyncTextInput();
    void UpdateRepeat(float dt);

    // A widget with its life token: hooks run while a script loads (a
    // hidden widget drops the focus), so the load must see a widget die.
    struct Held {
        Widget* widget = nullptr;
        std::weak_ptr<const void> life;
        Held() = default;
        explicit Held(Widget* w) : widget(w), life(w ? w->GetLifeToken() : std::weak_ptr<const void>()) {}
        Widget* get() const { return life.expired() ? nullptr : widget; }
    };

    // Script state of the load running: the current widget section's
    // widget and the enclosing ones.
    std::deque<Held> m_widgetStack;
    Held m_widget;
    Style* m_style = nullptr;
    Template* m_template = nullptr;
    MouseCursor* m_cursor = nullptr;
    // Automatic widget names count on over the server's whole life.
    std::uint32_t m_autoNames = 0;

    // This frame's mouse.
    std::int32_t m_mouseX = 0;
    std::int32_t m_mouseY = 0;
    std::int32_t m_dx = 0;
    std::int32_t m_dy = 0;
    float m_wheel = 0.0f;

    // The last hover hit test: its answer holds while the pointer stays
    // and the change count has not moved.
    bool m_hitKnown = false;
    std::int32_t m_hitX = 0;
    std::int32_t m_hitY = 0;
    std::uint64_t m_hitChanges = 0;
    Widget* m_hit = nullptr;
    // The widget under the pointer, tested anew only when something the
    // test reads changed.
    Widget* WidgetUnderPointer();
};

} // namespace GUI
