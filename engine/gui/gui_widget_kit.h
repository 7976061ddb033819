#pragma once
// Pieces the widget classes share: links to the children that composite
// widgets find by name, the script lookups of named resources, and the
// stretched image draw.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/gui/gui_event.h"
#include "engine/util/a_rect.h"

class aFont;
class aImage;

namespace GUI {

class Style;

// A child that a composite widget found by name. It reads null once the
// child is destroyed; the subscriptions made through it end when it is
// bound again or goes, so re-initialising a widget never doubles them.
template <class T>
class ChildLink {
public:
    ChildLink() = default;
    ~ChildLink() { Bind(nullptr); }
    ChildLink(const ChildLink&) = delete;
    ChildLink& operator=(const ChildLink&) = delete;

    void Bind(T* widget)
    {
        for (const Connection& c : m_connections)
            c.Unsubscribe();
        m_connections.clear();
        m_widget = widget;
        m_life = widget ? widget->GetLifeToken() : std::weak_ptr<const void>();
    }
    T* get() const { return m_life.expired() ? nullptr : m_widget; }
    operator T*() const { return get(); }
    T* operator->() const { return get(); }
    // Nothing while unbound.
    void Subscribe(const char* event, Subscriber* subscriber)
    {
        if (T* w = get())
            m_connections.push_back(w->SubscribeEvent(event, subscriber));
    }

private:
    T* m_widget = nullptr;
    std::weak_ptr<const void> m_life;
    std::vector<Connection> m_connections;
};

// The GUI server's resource of that name; null (after the server's log
// line) when it has none, and null when no server exists.
Style* ScriptStyle(const std::string& name);
aImage* ScriptImage(const std::string& name);
aFont* ScriptFont(const std::string& name);

// The source rectangle of the image stretched over dest, turned by angle
// (radians) around center (unscaled source pixels; null: the middle).
// Nothing without an image, for an empty source or at alpha 0.
void DrawImageStretched(const aImage* image, const aRect& source, const aRect& dest, std::uint32_t color,
                        float angle, const float* center);

} // namespace GUI
