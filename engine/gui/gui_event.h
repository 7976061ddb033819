#pragma once
// Named widget events. Handlers (subscribers) are called with an argument
// object; their results only accumulate into its `handled` flag.
//
// Subscribing returns a Connection, a shared handle: it outlives its event
// safely (it then reads as detached), and unsubscribing through it, or
// subscribing and unsubscribing from inside a handler, is safe at any time.
// Subscriber objects belong to the code that made them; events never delete
// them.
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/util/a_string.h"

namespace GUI {

class Widget;

// Modifier bits of mouse and key events (and of hotkeys: the first three).
enum Modifier : std::uint32_t {
    MOD_SHIFT = 1,
    MOD_CTRL = 2,
    MOD_ALT = 4,
    MOD_CAPSLOCK = 8,
    MOD_SCROLLLOCK = 16,
    MOD_NUMLOCK = 32,
};

class EventArgs {
public:
    virtual ~EventArgs() = default;
    // Set by firing (arguments travel as const references).
    mutable bool handled = false;
};

class WidgetEventArgs : public EventArgs {
public:
    WidgetEventArgs() = default;
    explicit WidgetEventArgs(Widget* w) : widget(w) {}
    Widget* widget = nullptr;  // not owned
};

class MouseEventArgs : public WidgetEventArgs {
public:
    using WidgetEventArgs::WidgetEventArgs;
    std::uint32_t modifiers = 0;
    std::uint32_t button = 0;  // 0 left, 1 right, 2 middle
    float wheel = 0.0f;        // notches this frame
    std::int32_t x = 0;        // relative to the widget
    std::int32_t y = 0;
    std::int32_t dx = 0;       // movement since the last frame
    std::int32_t dy = 0;
};

class KeybEventArgs : public WidgetEventArgs {
public:
    using WidgetEventArgs::WidgetEventArgs;
    std::uint32_t modifiers = 0;
    std::uint32_t key = 0;     // DirectInput scan code
    char character = 0;        // printable character, 0 when none
    char32_t text = 0;         // OnTextInput: the character typed
};

template <class R, class A>
class SubscriberInterface {
public:
    virtual R operator()(A args) = 0;
    virtual ~SubscriberInterface() = default;
};

template <class R, class A>
class _freeBinder : public SubscriberInterface<R, A> {
public:
    using Function = R (*)(A);
    explicit _freeBinder(Function f) : m_function(f) {}
    R operator()(A args) override { return m_function(args); }

private:
    Function m_function;
};

template <class T, class R, class A>
class _memberBinder : public SubscriberInterface<R, A> {
public:
    using Function = R (T::*)(A);
    _memberBinder(T* object, Function f) : m_object(object), m_function(f) {}
    R operator()(A args) override { return (m_object->*m_function)(args); }

private:
    T* m_object;
    Function m_function;
};

using Subscriber = SubscriberInterface<bool, const EventArgs&>;
using FreeSubscriber = _freeBinder<bool, const EventArgs&>;
template <class T>
using MemberSubscriber = _memberBinder<T, bool, const EventArgs&>;

class Event;

// A subscription: the event (null once detached) and the subscriber.
class Connection {
public:
    struct Record {
        Event* event = nullptr;
        Subscriber* subscriber = nullptr;
    };

    Connection() = default;
    explicit Connection(std::shared_ptr<Record> record) : m_record(std::move(record)) {}

    // Null when detached: unsubscribed, its event gone, or never attached.
    Event* GetEvent() const { return m_record ? m_record->event : nullptr; }
    Subscriber* GetSubscriber() const { return m_record ? m_record->subscriber : nullptr; }
    bool IsConnected() const { return GetEvent() != nullptr; }
    // Detaches the subscription; does nothing when detached.
    void Unsubscribe() const;

private:
    std::shared_ptr<Record> m_record;
};

class Event {
public:
    explicit Event(std::string name);
    virtual ~Event();
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;

    const std::string& GetName() const { return m_name; }
    // A second subscription of the same subscriber replaces the first; a
    // null subscriber gets a detached connection.
    Connection Subscribe(Subscriber* subscriber);
    // Nothing when the subscriber is not subscribed.
    void Unsubscribe(Subscriber* subscriber);
    std::size_t GetSubscriberCount() const { return m_connections.size(); }

    // Calls the subscribers of the moment once each, in subscription order.
    // One removed meanwhile is skipped, one added waits for the next fire;
    // when a handler destroys the event, firing stops there.
    void Fire(const EventArgs& args);

private:
    std::string m_name;
    std::vector<std::shared_ptr<Connection::Record>> m_connections;
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};

class EventSet {
public:
    EventSet() = default;
    virtual ~EventSet() = default;
    EventSet(const EventSet&) = delete;
    EventSet& operator=(const EventSet&) = delete;

    // A name already present is logged and the old event kept.
    void AddEvent(const std::string& name);
    // For an unknown name: logged, and the connection is detached (its
    // subscriber one shared binder that returns false).
    Connection SubscribeEvent(const std::string& name, Subscriber* subscriber);
    // Unknown names are logged.
    void LaunchEvent(const std::string& name, const EventArgs& args);
    // Null when absent.
    Event* GetEvent(const std::string& name) const;

private:
    std::map<std::string, std::unique_ptr<Event>, aLessNoCase> m_events;
};

// The events of every widget, added in this order.
extern const char* const EventFocusGain;
extern const char* const EventFocusLost;
extern const char* const EventHide;
extern const char* const EventShow;
extern const char* const EventEnabled;
extern const char* const EventDisabled;
extern const char* const EventMouseEnter;
extern const char* const EventMouseLeave;
extern const char* const EventMouseDown;
extern const char* const EventMouseUp;
extern const char* const EventMouseMove;
extern const char* const EventMouseWheel;
extern const char* const EventClick;
extern const char* const EventDoubleClick;
extern const char* const EventTripleClick;
extern const char* const EventKeyDown;
extern const char* const EventKeyUp;
extern const char* const EventKeyPress;
extern const char* const EventTextChanged;
extern const char* const EventFontChanged;
extern const char* const EventMoved;
extern const char* const EventSized;
extern const char* const EventBeginRender;
extern const char* const EventEndRender;
extern const char* const kWidgetEventNames[24];

} // namespace GUI
