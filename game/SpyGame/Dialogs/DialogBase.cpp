#include "game/SpyGame/Dialogs/DialogBase.h"

#include "engine/gui/gui_server.h"
#include "engine/util/a_log.h"

CDialogBase::~CDialogBase() { UnsubscribeAll(); }

void CDialogBase::Init()
{
    if (m_state != 0)
        return;
    m_state = 1;
    Hide();
}

void CDialogBase::Show()
{
    GUI::Widget* window = m_window.get();
    if (m_state == 0 || !window)
        return;
    window->SetVisible(true);
    window->BringToFront();
    if (GUI::Server* gui = GUI::Server::getSingletonPtr())
        gui->SetHoverWidget(nullptr);
    m_state = 2;
}

bool CDialogBase::IsVisible() const
{
    const GUI::Widget* window = m_window.get();
    return window && window->IsVisible(true);
}

void CDialogBase::Hide()
{
    if (m_state == 0)
        return;
    if (GUI::Widget* window = m_window.get())
        window->SetVisible(false);
    m_state = 1;
}

aRect CDialogBase::GetArea() const
{
    const GUI::Widget* window = m_window.get();
    return window ? window->GetAreaRect() : aRect();
}

CDialogBase::Binding* CDialogBase::BindingOf(GUI::Widget* widget)
{
    if (!widget)
        return nullptr;
    Binding& binding = m_bindings[widget->GetName()];
    if (!binding.widget.get())
        binding.widget = GUI::WidgetRef(widget);
    return &binding;
}

bool CDialogBase::BindResult(GUI::Widget* widget, const std::string& eventName, std::int32_t id)
{
    Binding* binding = BindingOf(widget);
    if (!binding || binding->id != -1)
        return false;
    binding->connections.push_back(widget->SubscribeEvent(eventName, &m_boundEvent));
    binding->id = id;
    return true;
}

void CDialogBase::Subscribe(GUI::Widget* widget, const std::string& eventName,
                            std::unique_ptr<GUI::Subscriber> subscriber)
{
    Binding* binding = BindingOf(widget);
    if (!binding || !subscriber)
        return;
    binding->connections.push_back(widget->SubscribeEvent(eventName, subscriber.get()));
    binding->subscribers.push_back(std::move(subscriber));
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
        (void)name;
        for (const GUI::Connection& connection : binding.connections)
            connection.Unsubscribe();
        binding.connections.clear();
        binding.id = -1;
    }
}

void CDialogBase::SetText(const std::wstring& text)
{
    if (GUI::Widget* label = FindWidget("text")) {
        label->SetText(text);
        label->Update(0.0f);
    }
}

GUI::Widget* CDialogBase::FindWindow(const std::string& name, bool recursive)
{
    m_windowName = name;
    GUI::Server* gui = GUI::Server::getSingleton();
    GUI::Widget* root = gui ? gui->GetRoot() : nullptr;
    GUI::Widget* window = root ? root->FindChild(name, recursive) : nullptr;
    if (!window)
        a_log("CDialogBase::Init(). Window '%s' not found", name.c_str());
    m_window = GUI::WidgetRef(window);
    return window;
}

GUI::Widget* CDialogBase::FindWidget(const std::string& name) const { return FindWidget(m_window.get(), name); }

GUI::Widget* CDialogBase::FindWidget(GUI::Widget* parent, const std::string& name) const
{
    if (!parent)
        return nullptr;  // the missing parent was logged
    GUI::Widget* widget = parent->FindChild(name, true);
    if (!widget)
        a_log("CDialogBase. Dialog '%s': widget '%s' not found", m_windowName.c_str(), name.c_str());
    return widget;
}
