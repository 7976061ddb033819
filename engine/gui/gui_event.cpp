#include "engine/gui/gui_event.h"

#include <algorithm>

#include "engine/util/a_log.h"

namespace GUI {

const char* const EventFocusGain = "FocusGain";
const char* const EventFocusLost = "FocusLost";
const char* const EventHide = "Hide";
const char* const EventShow = "Show";
const char* const EventEnabled = "Enabled";
const char* const EventDisabled = "Disabled";
const char* const EventMouseEnter = "MouseEnter";
const char* const EventMouseLeave = "MouseLeave";
const char* const EventMouseDown = "MouseDown";
const char* const EventMouseUp = "MouseUp";
const char* const EventMouseMove = "MouseMove";
const char* const EventMouseWheel = "MouseWheel";
const char* const EventClick = "Click";
const char* const EventDoubleClick = "DoubleClick";
const char* const EventTripleClick = "TripleClick";
const char* const EventKeyDown = "KeyDown";
const char* const EventKeyUp = "KeyUp";
const char* const EventKeyPress = "KeyPress";
const char* const EventTextChanged = "TextChanged";
const char* const EventFontChanged = "FontChanged";
const char* const EventMoved = "Moved";
const char* const EventSized = "Sized";
const char* const EventBeginRender = "BeginRender";
const char* const EventEndRender = "EndRender";

const char* const kWidgetEventNames[24] = {
    EventFocusGain, EventFocusLost,  EventHide,        EventShow,        EventEnabled,     EventDisabled,
    EventMouseEnter, EventMouseLeave, EventMouseDown,  EventMouseUp,     EventMouseMove,   EventMouseWheel,
    EventClick,     EventDoubleClick, EventTripleClick, EventKeyDown,     EventKeyUp,       EventKeyPress,
    EventTextChanged, EventFontChanged, EventMoved,     EventSized,       EventBeginRender, EventEndRender,
};

namespace {

bool returnFalse(const EventArgs&) { return false; }

} // namespace

void Connection::Unsubscribe() const
{
    if (Event* e = GetEvent())
        e->Unsubscribe(m_record->subscriber);
}

Event::Event(std::string name) : m_name(std::move(name)) {}

Event::~Event()
{
    *m_alive = false;
    for (auto& record : m_connections)
        record->event = nullptr;
}

Connection Event::Subscribe(Subscriber* subscriber)
{
    if (!subscriber)
        return Connection();
    Unsubscribe(subscriber);
    auto record = std::make_shared<Connection::Record>();
    record->event = this;
    record->subscriber = subscriber;
    m_connections.push_back(record);
    return Connection(record);
}

void Event::Unsubscribe(Subscriber* subscriber)
{
    const auto it = std::find_if(m_connections.begin(), m_connections.end(),
                                 [subscriber](const auto& r) { return r->subscriber == subscriber; });
    if (it == m_connections.end())
        return;
    (*it)->event = nullptr;
    m_connections.erase(it);
}

void Event::Fire(const EventArgs& args)
{
    const std::shared_ptr<bool> alive = m_alive;
    const std::vector<std::shared_ptr<Connection::Record>> snapshot = m_connections;
    for (const auto& record : snapshot) {
        if (record->event != this)
            continue;
        if ((*record->subscriber)(args))
            args.handled = true;
        if (!*alive)
            return;
    }
}

void EventSet::AddEvent(const std::string& name)
{
    if (m_events.count(name)) {
        a_log("EventSet::AddEvent - event %s already exists", name.c_str());
        return;
    }
    m_events.emplace(name, std::make_unique<Event>(name));
}

Connection EventSet::SubscribeEvent(const std::string& name, Subscriber* subscriber)
{
    if (Event* e = GetEvent(name))
        return e->Subscribe(subscriber);
    a_log("EventSet::SubscribeEvent - event %s not found", name.c_str());
    static FreeSubscriber s_never(returnFalse);
    auto record = std::make_shared<Connection::Record>();
    record->subscriber = &s_never;
    return Connection(record);
}

void EventSet::LaunchEvent(const std::string& name, const EventArgs& args)
{
    Event* e = GetEvent(name);
    if (!e) {
        a_log("EventSet::LaunchEvent - event '%s' not found", name.c_str());
        return;
    }
    e->Fire(args);
}

Event* EventSet::GetEvent(const std::string& name) const
{
    const auto it = m_events.find(name);
    return it == m_events.end() ? nullptr : it->second.get();
}

} // namespace GUI
