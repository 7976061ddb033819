#include "game/shell/c_res_loader.h"

#include <cmath>

#include "engine/gui/gui_server.h"
#include "engine/gui/gui_widget.h"
#include "engine/util/a_locale_server.h"
#include "engine/util/a_log.h"
#include "engine/util/a_string.h"
#include "game/shell/c_res_manager.h"
#include "platform/system/clock.h"

CResLoader::CResLoader() : m_res(CResManager::getSingleton()), m_gui(GUI::Server::getSingleton())
{
    GUI::Widget* window = m_gui && m_gui->GetRoot() ? m_gui->GetRoot()->FindChild(kWindowName, true) : nullptr;
    if (!window) {
        a_log("CResLoader. No window \"%s\": loading runs without a screen", kWindowName);
        return;
    }
    m_window = GUI::WidgetRef(window);
    std::string missing;
    auto child = [&](const char* name) {
        GUI::Widget* w = window->FindChild(name, true);
        if (!w)
            missing += missing.empty() ? name : std::string(", ") + name;
        return GUI::WidgetRef(w);
    };
    m_text = child("text");
    m_level = child("level");
    m_progress = child("progress");
    if (!missing.empty())
        a_log("CResLoader. Window \"%s\" lacks: %s", kWindowName, missing.c_str());
    if (GUI::Widget* bar = m_progress.get())
        m_barWidth = bar->GetAreaRect().width;
}

CResLoader::~CResLoader() = default;

void CResLoader::setBar(float share)
{
    GUI::Widget* bar = m_progress.get();
    if (!bar)
        return;
    if (!(share > 0.0f))
        share = 0.0f;
    else if (share > 1.0f)
        share = 1.0f;
    bar->SetWidth(std::uint16_t(std::floor(float(m_barWidth) * share)));
}

void CResLoader::ShowScreen(const std::string& text, std::int32_t level)
{
    if (GUI::Widget* t = m_text.get()) {
        const aLocaleServer* locale = m_res ? m_res->GetLocaleServer() : nullptr;
        const std::wstring* byId = locale && !text.empty() ? locale->findString(text) : nullptr;
        t->SetText(byId ? *byId : str_utf8ToWide(text));
    }
    if (GUI::Widget* l = m_level.get()) {
        l->SetVisible(level != 0);
        if (level != 0 && m_res)
            l->SetTextFormat(m_res->GetLocalizedString("loading_level"), level);
    }
    setBar(0.0f);
    if (GUI::Widget* window = m_window.get()) {
        window->SetVisible(true);
        window->BringToFront();
    }
    if (m_gui)
        m_gui->ShowMouseCursor(false);
}

void CResLoader::BeginLoad()
{
    if (!m_res)
        return;
    m_res->BeginLoading();
    m_files = m_res->GetTaskCount();
    m_startTicks = platform::getTickCount();
    m_loading = true;
    setBar(m_res->GetProgress());
}

int CResLoader::Update(float)
{
    if (!m_loading)
        return kDone;
    const bool done = !m_res || m_res->LoadStep();
    setBar(m_res ? m_res->GetProgress() : 1.0f);
    if (!done)
        return kLoading;
    m_loading = false;
    a_log("CResLoader. %u files loaded in %.2f s", unsigned(m_files),
          double(platform::getTickCount() - m_startTicks) / 1000.0);
    return kDone;
}

void CResLoader::Render()
{
    GUI::Widget* window = m_window.get();
    if (window && window->IsVisible())
        window->Render();
}

void CResLoader::Hide()
{
    if (GUI::Widget* window = m_window.get())
        window->SetVisible(false);
    if (m_gui)
        m_gui->ShowMouseCursor(true);
}
