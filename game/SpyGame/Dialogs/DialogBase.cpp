#include "game/SpyGame/Dialogs/DialogBase.h"

#include "engine/gui/gui_server.h"
#include "engine/util/a_log.h"

CDialogBase::~CDialogBase() { UnsubscribeAll(); }

void CDialogBase::Init()
{
    if (m_state != kStateNew)
        return;
    m_state = kStateHidden;
    Hide();
}

void CDialogBase::Show()
{
    if (m_state == kStateNew)
        return;
    if (GUI::Widget* window = m_window.get()) {
        window->SetVisible(true);
        window->BringToFront();
        if (GUI::Server* gui = GUI::Server::getSingletonPtr())
            gui->SetHoverWidget(nullptr);
    }
    m_state = kStateShown;
}

bool CDialogBase::IsVisible() const
{
    const GUI::Widget* window = m_window.get();
    return window && window->IsVisible(true);
}

void CDialogBase::Hide()
{
    if (m_state == kStateNew)
        return;
    if (GUI::Widget* window = m_window.get())
        window->SetVisible(false);
    m_state = kStateHidden;
}

aRect CDialogBase::GetArea() const
{
    const GUI::Widget* window = m_window.get();
    return window ? window->GetAreaRect() : aRect(0, 0, 0, 0);
}

void CDialogBase::Connect(GUI::Widget* widget, const std::string& event, std::unique_ptr<GUI::Subscriber> subscriber)
{
    Binding& binding = m_bindings[widget->GetName()];
    binding.widget = GUI::WidgetRef(widget);
    binding.connections.push_back(widget->SubscribeEvent(event, subscriber.get()));
    binding.subscribers.push_back(std::move(subscriber));
}

bool CDialogBase::BindResult(GUI::Widget* widget, const std::string& event, std::int32_t id)
{
    if (!widget)
        return false;
    const auto it = m_bindings.find(widget->GetName());
    if (it != m_bindings.end() && it->second.id != -1)
        return false;
    Connect(widget, event, std::make_unique<GUI::MemberSubscriber<CDialogBase>>(this, &CDialogBase::OnBoundEvent));
    m_bindings[widget->GetName()].id = id;
    return true;
}

bool CDialogBase::OnBoundEvent(const GUI::EventArgs& args)
{
    const auto* widgetArgs = dynamic_cast<const GUI::WidgetEventArgs*>(&args);
    if (!widgetArgs || !widgetArgs->widget)
        return false;
    const auto it = m_bindings.find(widgetArgs->widget->GetName());
    if (it == m_bindings.end() || it->second.id == -1)
        return false;
    m_state = it->second.id;
    return true;
}

void CDialogBase::UnsubscribeAll()
{
    for (auto& [name, binding] : m_bindings) {
        for (const GUI::Connection& c : binding.connections)
            c.Unsubscribe();
        binding.connections.clear();
        binding.id = -1;
    }
}

GUI::Widget* CDialogBase::FindWindow(const std::string& name)
{
    m_windowName = name;
    const GUI::Server* gui = GUI::Server::getSingletonPtr();
    GUI::Widget* window = gui && gui->GetRoot() ? gui->GetRoot()->FindChild(name, true) : nullptr;
    if (!window)
        a_log("CDialogBase. No window \"%s\"", name.c_str());
    else
        window->notifyRender = true;
    m_window = GUI::WidgetRef(window);
    return window;
}

GUI::Widget* CDialogBase::FindChild(const std::string& name) const
{
    GUI::Widget* window = m_window.get();
    GUI::Widget* child = window ? window->FindChild(name, true) : nullptr;
    if (window && !child)
        a_log("CDialogBase. Window \"%s\" lacks \"%s\"", m_windowName.c_str(), name.c_str());
    return child;
}
