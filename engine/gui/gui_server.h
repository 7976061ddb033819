#pragma once
// The GUI's root object: the widget tree under "__root__", the named fonts,
// regions and mouse cursors the screens use, the keyboard focus, the widget
// under the mouse and the cursor shown. One instance (aSingleton); made
// after the graphics, input, image and sound services. Main thread only.
#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "engine/gui/gui_mouse_cursor.h"
#include "engine/gui/gui_region.h"
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

class Server : public aSingleton<Server> {
public:
    static constexpr const char* kRootName = "__root__";

    // Either manager may be null: its lookups then find nothing. The input
    // server is the application's.
    Server(aImageManager* images, aSoundManager* sounds);
    // Deletes the tree, then the fonts, regions and cursors.
    virtual ~Server();
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    // Null, and a log line, when absent.
    aFont* GetFont(const std::string& name) const;
    Region* GetRegion(const std::string& name) const;
    MouseCursor* GetMouseCursor(const std::string& name) const;
    // The image manager's image of that name with no group.
    aImage* GetImage(const std::string& name) const;
    // A new sound instance on the manager's sound (no group), owned by the caller.
    std::unique_ptr<aSound> NewSound(const std::string& name) const;

    Widget* GetRoot() const { return root.get(); }

    // Refused when the widget cannot take the focus; the old focus widget
    // gets FocusLost, the new one FocusGain.
    void SetFocus(Widget* widget);
    // Called by every dying widget: drops the hover and focus widgets.
    void ForgetWidget(Widget* widget);
    // A known cursor other than the current one becomes current (and
    // active while cursors show); unknown or empty names change nothing.
    void SetCursor(const std::string& name);
    // Off, or on without a cursor: the system arrow.
    void ShowMouseCursor(bool on);

    // Tables, each owning its objects, names compared ignoring case.
    std::map<std::string, std::unique_ptr<aFont>, aLessNoCase> fonts;
    std::map<std::string, std::unique_ptr<Region>, aLessNoCase> regions;
    std::map<std::string, std::unique_ptr<MouseCursor>, aLessNoCase> cursors;

    aImageManager* imageManager = nullptr;
    aSoundManager* soundManager = nullptr;
    aInputServer* input = nullptr;
    std::unique_ptr<Widget> root;

    bool cursorOn = true;
    MouseCursor* cursor = nullptr;  // shown now, or null
    Widget* hover = nullptr;        // under the mouse (or captured)
    Widget* focus = nullptr;        // with the keyboard focus
};

} // namespace GUI
