#include "game/shell/c_profile_select.h"

#include "engine/gui/gui_listbox.h"
#include "engine/gui/gui_server.h"
#include "engine/util/a_log.h"
#include "engine/util/a_string.h"
#include "game/shell/c_res_manager.h"
#include "platform/input/dinput_keys.h"

CProfileSelect::~CProfileSelect()
{
    for (const GUI::Connection& c : m_connections)
        c.Unsubscribe();
}

void CProfileSelect::Connect(const char* widget, Handler& handler, const char* event)
{
    GUI::Widget* window = m_window.get();
    GUI::Widget* w = window ? window->FindChild(widget, true) : nullptr;
    if (!w) {
        a_log("CProfileSelect. Window \"ProfileSelect\" lacks \"%s\"", widget);
        return;
    }
    m_connections.push_back(w->SubscribeEvent(event, &handler));
}

bool CProfileSelect::Init(GUI::Server* gui, CResManager* res, ProfilesManager* profiles)
{
    for (const GUI::Connection& c : m_connections)
        c.Unsubscribe();
    m_connections.clear();
    m_gui = gui;
    m_res = res;
    m_profiles = profiles;
    GUI::Widget* window = gui && gui->GetRoot() ? gui->GetRoot()->FindChild("ProfileSelect", true) : nullptr;
    m_window = GUI::WidgetRef(window);
    if (!window) {
        a_log("CProfileSelect. No window \"ProfileSelect\": the player cannot be changed");
        return false;
    }
    auto find = [&](const char* name) {
        GUI::Widget* w = window->FindChild(name, true);
        if (!w)
            a_log("CProfileSelect. Window \"ProfileSelect\" lacks \"%s\"", name);
        return GUI::WidgetRef(w);
    };
    m_list = find("List");
    m_name = find("Name");
    m_error = find("Error");
    m_confirm = find("Confirm");
    m_confirmText = find("ConfirmText");
    Connect("OK", m_ok);
    Connect("New", m_new);
    Connect("Delete", m_delete);
    Connect("Cancel", m_cancel);
    Connect("Yes", m_yes);
    Connect("No", m_no);
    Connect("Name", m_nameKey, GUI::EventKeyDown);
    window->SetVisible(false);
    return true;
}

bool CProfileSelect::IsOpen() const
{
    const GUI::Widget* window = m_window.get();
    return window && window->IsVisible(true);
}

void CProfileSelect::Fill(const std::string& marked)
{
    auto* list = m_list.as<GUI::Listbox>();
    if (!list || !m_profiles)
        return;
    list->Clear();
    for (const std::string& name : m_profiles->GetNames()) {
        const std::int32_t index = list->AddTextItem(str_cp1251ToWide(name), 0xFFF4E2B0);
        if (name == marked)
            list->SetItemSelected(index, true);
    }
}

void CProfileSelect::Open()
{
    GUI::Widget* window = m_window.get();
    if (!window || !m_profiles)
        return;
    Fill(CurrentProfile::Get().name);
    if (GUI::Widget* name = m_name.get())
        name->SetText(std::wstring());
    SetError(std::wstring());
    if (GUI::Widget* confirm = m_confirm.get())
        confirm->SetVisible(false);
    window->SetVisible(true);
    window->BringToFront();
    if (m_gui) {
        m_gui->SetHoverWidget(nullptr);
        m_gui->SetFocus(m_name.get());
    }
}

void CProfileSelect::Close()
{
    if (GUI::Widget* window = m_window.get())
        window->SetVisible(false);
}

void CProfileSelect::Escape()
{
    GUI::Widget* confirm = m_confirm.get();
    if (confirm && confirm->IsVisible(true))
        confirm->SetVisible(false);
    else
        Close();
}

std::vector<std::string> CProfileSelect::GetListNames() const
{
    std::vector<std::string> out;
    if (const auto* list = m_list.as<GUI::Listbox>())
        for (std::size_t i = 0; i < list->GetItemCount(); ++i)
            if (const auto* item = dynamic_cast<const GUI::ListboxTextItem*>(list->GetItem(std::int32_t(i))))
                out.push_back(str_wideToCp1251(item->GetText()));
    return out;
}

std::wstring CProfileSelect::GetErrorText() const
{
    const GUI::Widget* error = m_error.get();
    return error ? error->GetText() : std::wstring();
}

void CProfileSelect::SetError(const std::wstring& text)
{
    if (GUI::Widget* error = m_error.get())
        error->SetText(text);
}

bool CProfileSelect::Marked(std::size_t& index) const
{
    const auto* list = m_list.as<GUI::Listbox>();
    if (!list || !m_profiles)
        return false;
    const std::vector<std::string> names = m_profiles->GetNames();
    for (std::size_t i = 0; i < list->GetItemCount(); ++i) {
        if (!list->IsItemSelected(std::int32_t(i)))
            continue;
        const auto* item = dynamic_cast<const GUI::ListboxTextItem*>(list->GetItem(std::int32_t(i)));
        // By name: the list may sort its items.
        for (std::size_t p = 0; item && p < names.size(); ++p)
            if (str_cp1251ToWide(names[p]) == item->GetText()) {
                index = p;
                return true;
            }
    }
    return false;
}

bool CProfileSelect::OnOK(const GUI::EventArgs&)
{
    std::size_t index = 0;
    if (Marked(index) && index != m_profiles->GetCurrentIndex())
        m_profiles->Select(index);
    Close();
    return true;
}

bool CProfileSelect::OnNew(const GUI::EventArgs&)
{
    const GUI::Widget* field = m_name.get();
    if (!m_profiles || !field)
        return true;
    const std::string name = str_wideToCp1251(field->GetText());
    const ProfilesManager::NameError error = m_profiles->Add(name);
    if (error != ProfilesManager::NameError::None) {
        SetError(m_res ? m_res->GetLocalizedString(ProfilesManager::GetNameErrorTextId(error)) : std::wstring());
        return true;
    }
    m_profiles->Select(m_profiles->GetCount() - 1);
    Close();
    return true;
}

bool CProfileSelect::OnNameKey(const GUI::EventArgs& args)
{
    const auto* key = dynamic_cast<const GUI::KeybEventArgs*>(&args);
    if (!key || (key->key != platform::DIK_RETURN && key->key != platform::DIK_NUMPADENTER))
        return false;
    // Alt+Enter switches the screen mode; under the question Enter adds nobody.
    const GUI::Widget* confirm = m_confirm.get();
    if ((key->modifiers & GUI::MOD_ALT) || (confirm && confirm->IsVisible(true)))
        return false;
    return OnNew(args);
}

bool CProfileSelect::OnDelete(const GUI::EventArgs&)
{
    std::size_t index = 0;
    GUI::Widget* confirm = m_confirm.get();
    if (!Marked(index) || !confirm)
        return true;
    if (GUI::Widget* text = m_confirmText.get()) {
        const std::wstring format = m_res ? m_res->GetLocalizedString("profile_delete_confirm") : std::wstring();
        text->SetTextFormat(format, str_cp1251ToWide(m_profiles->GetNames()[index]));
    }
    confirm->SetVisible(true);
    confirm->BringToFront();
    if (m_gui)
        m_gui->SetHoverWidget(nullptr);
    return true;
}

bool CProfileSelect::OnYes(const GUI::EventArgs&)
{
    std::size_t index = 0;
    if (Marked(index)) {
        m_profiles->Remove(index);
        Fill(CurrentProfile::Get().name);
        SetError(std::wstring());
    }
    if (GUI::Widget* confirm = m_confirm.get())
        confirm->SetVisible(false);
    return true;
}

bool CProfileSelect::OnNo(const GUI::EventArgs&)
{
    if (GUI::Widget* confirm = m_confirm.get())
        confirm->SetVisible(false);
    return true;
}

bool CProfileSelect::OnCancel(const GUI::EventArgs&)
{
    Close();
    return true;
}
