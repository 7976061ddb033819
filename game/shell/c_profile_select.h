#pragma once
// The player choice: the modal GUI window "ProfileSelect" with the list box
// "List", the edit box "Name", the buttons "OK", "New", "Delete" and
// "Cancel", the text "Error" and the hidden question "Confirm" (its text
// "ConfirmText", buttons "Yes" and "No"). OK selects the player marked in
// the list, New (or Enter in the name) adds the typed name and selects it,
// Delete asks first; Cancel and Escape change nothing. A refused name keeps
// the window open with its reason from the string table. Main thread only.
#include <cstddef>
#include <string>
#include <vector>

#include "engine/gui/gui_event.h"
#include "engine/gui/gui_widget.h"
#include "game/shell/profiles_manager.h"

class CResManager;
namespace GUI {
class Server;
}

class CProfileSelect {
public:
    CProfileSelect() = default;
    ~CProfileSelect();
    CProfileSelect(const CProfileSelect&) = delete;
    CProfileSelect& operator=(const CProfileSelect&) = delete;

    // Finds the window and its widgets; false (logged) without the window.
    bool Init(GUI::Server* gui, CResManager* res, ProfilesManager* profiles);
    bool IsReady() const { return m_window.get() && m_profiles; }
    // The list of players with the current one marked, an empty name and no
    // reason; the window in front with the keyboard on the name.
    void Open();
    void Close();
    bool IsOpen() const;
    // No while the question is up, else Cancel.
    void Escape();

    bool OnOK(const GUI::EventArgs& args);
    bool OnNew(const GUI::EventArgs& args);
    bool OnDelete(const GUI::EventArgs& args);
    bool OnCancel(const GUI::EventArgs& args);
    bool OnYes(const GUI::EventArgs& args);
    bool OnNo(const GUI::EventArgs& args);
    // Enter or the number pad's Enter in the name: New.
    bool OnNameKey(const GUI::EventArgs& args);

    // The names in the list, in its order (Windows-1251).
    std::vector<std::string> GetListNames() const;
    std::wstring GetErrorText() const;

private:
    using Handler = GUI::MemberSubscriber<CProfileSelect>;

    void Fill(const std::string& marked);
    // The marked player's index in the profile list; false when none.
    bool Marked(std::size_t& index) const;
    void SetError(const std::wstring& text);
    void Connect(const char* widget, Handler& handler, const char* event = GUI::EventClick);

    GUI::Server* m_gui = nullptr;
    CResManager* m_res = nullptr;
    ProfilesManager* m_profiles = nullptr;
    GUI::WidgetRef m_window, m_list, m_name, m_error, m_confirm, m_confirmText;
    Handler m_ok{this, &CProfileSelect::OnOK};
    Handler m_new{this, &CProfileSelect::OnNew};
    Handler m_delete{this, &CProfileSelect::OnDelete};
    Handler m_cancel{this, &CProfileSelect::OnCancel};
    Handler m_yes{this, &CProfileSelect::OnYes};
    Handler m_no{this, &CProfileSelect::OnNo};
    Handler m_nameKey{this, &CProfileSelect::OnNameKey};
    std::vector<GUI::Connection> m_connections;
};
