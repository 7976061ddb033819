#include "engine/gui/gui_server.h"

#include "engine/gfx/a_font.h"
#include "engine/gfx/a_graph_server.h"
#include "engine/gfx/a_image_manager.h"
#include "engine/gui/gui_widget_factory.h"
#include "engine/sound/a_sound_manager.h"
#include "engine/util/a_application.h"
#include "engine/util/a_input_server.h"
#include "engine/util/a_log.h"

namespace GUI {

namespace {

template <class Map>
typename Map::mapped_type::element_type* find(const Map& table, const std::string& name, const char* message)
{
    const auto it = table.find(name);
    if (it != table.end())
        return it->second.get();
    a_log(message, name.c_str());
    return nullptr;
}

} // namespace

Server::Server(aImageManager* images, aSoundManager* sounds) : imageManager(images), soundManager(sounds)
{
    input = g_application ? g_application->m_inputServer : nullptr;
    root = WidgetFactory::Instance().NewWidget("Widget", kRootName);
    const aGraphServer* gs = g_application ? g_application->m_graphServer : nullptr;
    if (gs)
        root->area = aRect(0, 0, gs->m_backBufferWidth, gs->m_backBufferHeight);
    m_widget = Held(root.get());
}

Server::~Server()
{
    m_widgetStack.clear();
    m_widget = Held();
    root.reset();
    hover = focus = nullptr;
    cursor = nullptr;
    fonts.clear();
    styles.clear();
    regions.clear();
    cursors.clear();
    templates.clear();
}

aFont* Server::GetFont(const std::string& name) const
{
    return find(fonts, name, "Server::GetFont - font '%s' not found!");
}

Region* Server::GetRegion(const std::string& name) const
{
    return find(regions, name, "Server::GetRegion - region '%s' not found!");
}

Style* Server::GetStyle(const std::string& name) const
{
    return find(styles, name, "Server::GetStyle - style '%s' not found!");
}

MouseCursor* Server::GetMouseCursor(const std::string& name) const
{
    return find(cursors, name, "Server::GetMouseCursor - mouse cursor '%s' not found!");
}

aImage* Server::GetImage(const std::string& name) const
{
    if (imageManager && imageManager->HasImage(name))
        return imageManager->GetImage(name);
    a_log("GUI::Server::GetImage - image \"%s\" not found!", name.c_str());
    return nullptr;
}

std::unique_ptr<aSound> Server::NewSound(const std::string& name) const
{
    if (soundManager && soundManager->HasSound(name, std::string()))
        if (const aSound* sound = soundManager->GetSound(name, std::string()))
            return std::make_unique<aSound>(*sound);
    a_log("Server::NewSound - sound '%s' not found!", name.c_str());
    return nullptr;
}

void Server::ApplyTemplate(const std::string& name, Widget* widget)
{
    const auto it = templates.find(name);
    if (it == templates.end()) {
        a_log("Server::ApplyTemplate - template '%s' not found", name.c_str());
        return;
    }
    if (widget)
        for (const auto& [key, value] : it->second)
            widget->Set(key, value);
}

void Server::SetFocus(Widget* widget)
{
    if (widget && !widget->CanFocus())
        return;
    // A FocusLost handler may delete the widget that was to get the focus.
    const std::weak_ptr<const void> life = widget ? widget->GetLifeToken() : std::weak_ptr<const void>();
    if (Widget* old = focus)
        old->OnFocusLost(WidgetEventArgs(old));
    if (widget && life.expired())
        return;
    focus = widget;
    // keyDown stays: a key held across the change (Enter closing a dialog)
    // must not pass for a new press on the next widget.
    CancelRepeat();
    if (widget)
        widget->OnFocusGain(WidgetEventArgs(widget));
    SyncTextInput();
}

void Server::ForgetWidget(Widget*)
{
    hover = nullptr;
    focus = nullptr;
}

void Server::SetCursor(const std::string& name)
{
    if (name.empty())
        return;
    MouseCursor* next = GetMouseCursor(name);
    if (!next || next == cursor)
        return;
    if (cursorOn) {
        if (cursor)
            cursor->SetActive(false);
        next->SetActive(true);
    }
    cursor = next;
}

void Server::ShowMouseCursor(bool on)
{
    if (on == cursorOn)
        return;
    cursorOn = on;
    if (on && cursor) {
        cursor->SetActive(true);
        return;
    }
    // A hidden cursor must not come back by itself (a hot-spot change
    // re-activates an active cursor).
    if (cursor)
        cursor->SetActive(false);
    if (input)
        input->setSystemCursor(IDC_ARROW);
}

void Server::Render()
{
    if (root)
        root->Render();
}

} // namespace GUI
