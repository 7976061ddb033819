#pragma once
// The base of every dialog: it wraps one window that the GUI scripts built,
// finds it and its children by name, shows and hides it, and learns what the
// player did through widget events. A click reaches the owner as a number
// in the state word (a bound result, polled) or as a member handler of the
// derived dialog that runs at once.
//
// State word: 0 new, 1 initialised and hidden, 2 shown, 3 and up a result.
// The GUI tree owns the widgets; every widget pointer is held with its life
// token, so a dialog outliving its GUI server reads its widgets as missing.
// Destruction unsubscribes every handler the dialog made. Main thread only.
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/gui/gui_event.h"
#include "engine/gui/gui_widget.h"
#include "engine/util/a_rect.h"

class CDialogBase {
public:
    static constexpr std::int32_t kStateNew = 0;
    static constexpr std::int32_t kStateHidden = 1;
    static constexpr std::int32_t kStateShown = 2;

    // One per widget name: the result id (-1 none) and the subscriptions.
    struct Binding {
        std::int32_t id = -1;
        GUI::WidgetRef widget;
        std::vector<GUI::Connection> connections;
        // The subscribers Subscribe made; the bound-result subscriber is the dialog's own.
        std::vector<std::unique_ptr<GUI::Subscriber>> subscribers;
    };

    CDialogBase() = default;
    virtual ~CDialogBase();
    CDialogBase(const CDialogBase&) = delete;
    CDialogBase& operator=(const CDialogBase&) = delete;

    // Base body: state 0 becomes 1 and the dialog hides. Derived bodies do
    // their work first and call it last.
    virtual void Init();
    // Not in state 0, and only with a window: visible, in front, no widget
    // under the mouse, state 2.
    virtual void Show();
    // The window's own flag; false without a window.
    virtual bool IsVisible() const;
    // Not in state 0: the window (if any) hidden, state 1.
    virtual void Hide();
    virtual std::int32_t GetState() const { return m_state; }
    // The window's area; empty without a window.
    virtual aRect GetArea() const;

    // Binds a result to a widget's event; false (nothing done) for a null
    // widget or a name that already carries a result.
    bool BindResult(GUI::Widget* widget, const std::string& eventName, std::int32_t id);
    // A handler of the dialog for a widget's event; nothing for a null widget.
    void Subscribe(GUI::Widget* widget, const std::string& eventName, std::unique_ptr<GUI::Subscriber> subscriber);
    template <class T>
    void Subscribe(GUI::Widget* widget, const std::string& eventName, bool (T::*handler)(const GUI::EventArgs&))
    {
        Subscribe(widget, eventName, std::make_unique<GUI::MemberSubscriber<T>>(static_cast<T*>(this), handler));
    }
    // The state takes the result bound to the raising widget's name; false
    // (unhandled) when the name carries none.
    bool OnBoundEvent(const GUI::EventArgs& args);
    void UnsubscribeAll();
    // The text of the window's child "text", laid out at once.
    void SetText(const std::wstring& text);

    // The owner replaces the result word too.
    void SetState(std::int32_t state) { m_state = state; }
    GUI::Widget* GetWindow() const { return m_window.get(); }
    const std::string& GetWindowName() const { return m_windowName; }
    const std::map<std::string, Binding>& GetBindings() const { return m_bindings; }

protected:
    // Init's window lookup under the GUI root, recursive unless asked for
    // the root's direct children; one log line when it is missing (the
    // dialog then has no window).
    GUI::Widget* FindWindow(const std::string& name, bool recursive = true);
    // A child of the window (or of parent), recursive; null and one log
    // line when missing (none when the parent itself is missing).
    GUI::Widget* FindWidget(const std::string& name) const;
    GUI::Widget* FindWidget(GUI::Widget* parent, const std::string& name) const;

    std::int32_t m_state = 0;

private:
    Binding* BindingOf(GUI::Widget* widget);

    GUI::WidgetRef m_window;
    std::string m_windowName;
    std::map<std::string, Binding> m_bindings;
    GUI::MemberSubscriber<CDialogBase> m_boundEvent{this, &CDialogBase::OnBoundEvent};
};
