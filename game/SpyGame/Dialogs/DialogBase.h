#pragma once
// The base of the game's dialogs: a dialog wraps one window the GUI scripts
// built, finds it and its children by name, shows and hides it, and learns
// what the player did through widget events. A bound event stores its
// result number in the dialog's state word, which the owner polls; a drawn
// frame puts it back to 2 ("BeginRender" bound to 2).
//
// States: 0 new, 1 initialised and hidden, 2 shown, 3 and up a result.
// Show and Hide do nothing before Init. Main thread only.
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

    CDialogBase() = default;
    virtual ~CDialogBase();
    CDialogBase(const CDialogBase&) = delete;
    CDialogBase& operator=(const CDialogBase&) = delete;

    // The base body: from state 0 to 1, hidden. A derived Init finds its
    // widgets and binds its results first, then calls this.
    virtual void Init();
    virtual void Show();
    // The window's own flag; false without a window.
    virtual bool IsVisible() const;
    virtual void Hide();
    virtual std::int32_t GetState() const { return m_state; }
    virtual aRect GetArea() const;

    // Binds a result number to a widget's event; false (the first binding
    // kept) when the widget's name carries a number already.
    bool BindResult(GUI::Widget* widget, const std::string& event, std::int32_t id);
    // Subscribes a handler of the derived dialog, kept until destruction.
    template <class T>
    void Subscribe(GUI::Widget* widget, const std::string& event, T* object, bool (T::*handler)(const GUI::EventArgs&))
    {
        if (widget)
            Connect(widget, event, std::make_unique<GUI::MemberSubscriber<T>>(object, handler));
    }
    // Sets the state to the number bound to the raising widget's name.
    bool OnBoundEvent(const GUI::EventArgs& args);
    void UnsubscribeAll();

    GUI::Widget* GetWindow() const { return m_window.get(); }

protected:
    // The window under the GUI server's root (recursive), with NotifyRender
    // set; null with a log line when the scripts lack it.
    GUI::Widget* FindWindow(const std::string& name);
    // A widget of the window (recursive); null with a log line.
    GUI::Widget* FindChild(const std::string& name) const;

    std::int32_t m_state = kStateNew;

private:
    struct Binding {
        std::int32_t id = -1;
        GUI::WidgetRef widget;
        std::vector<GUI::Connection> connections;
        std::vector<std::unique_ptr<GUI::Subscriber>> subscribers;
    };
    void Connect(GUI::Widget* widget, const std::string& event, std::unique_ptr<GUI::Subscriber> subscriber);

    GUI::WidgetRef m_window;
    std::string m_windowName;
    std::map<std::string, Binding> m_bindings;
};
