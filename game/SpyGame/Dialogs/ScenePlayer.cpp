#include "game/SpyGame/Dialogs/ScenePlayer.h"

#include <algorithm>
#include <cmath>

#include "engine/gfx/a_image.h"
#include "engine/gui/gui_server.h"
#include "engine/gui/gui_static_image.h"
#include "engine/sound/a_music_manager.h"
#include "engine/util/a_file_server.h"
#include "engine/util/a_input_server.h"
#include "engine/util/a_log.h"
#include "game/shell/c_res_manager.h"
#include "game/shell/current_profile.h"

namespace {

constexpr const char* kButtonNames[ScenePlayer::ButtonCount] = {"skip", "prev", "next", "finish"};
// Seconds without input before the buttons fade; the fade's speed per second.
constexpr float kIdleTime = 2.0f;
constexpr float kButtonFadeRate = 2.0f;
// Pages are pictures of the screen's size without alpha.
constexpr D3DFORMAT kPageFormat = D3DFMT_R5G6B5;

// A fade time from the script; a negative or broken one fades at once.
float FadeTime(float t) { return std::isfinite(t) && t > 0.0f ? t : 0.0f; }

} // namespace

ScenePlayer::~ScenePlayer() { Unsubscribe(); }

void ScenePlayer::Unsubscribe()
{
    for (const GUI::Connection& c : m_connections)
        c.Unsubscribe();
    m_connections.clear();
}

aMusicManager* ScenePlayer::Music() const
{
    CResManager* res = CResManager::getSingletonPtr();
    return res ? res->GetMusicManager() : nullptr;
}

void ScenePlayer::Init()
{
    Unsubscribe();
    m_window = m_picture = GUI::WidgetRef();
    for (GUI::WidgetRef& b : m_buttons)
        b = GUI::WidgetRef();
    m_open = false;
    GUI::Server* gui = GUI::Server::getSingleton();
    m_input = gui ? gui->input : nullptr;
    GUI::Widget* root = gui ? gui->GetRoot() : nullptr;
    GUI::Widget* window = root ? root->FindChild(kWindowName, true) : nullptr;
    if (!window) {
        a_log("ScenePlayer::Init - window '%s' not found, no scene will play", kWindowName);
        return;
    }
    m_window = GUI::WidgetRef(window);
    window->SetVisible(false);
    const auto find = [window](const char* name) {
        GUI::Widget* w = window->FindChild(name, true);
        if (!w)
            a_log("ScenePlayer::Init - widget '%s' not found in '%s'", name, kWindowName);
        return w;
    };
    m_picture = GUI::WidgetRef(find("picture"));
    if (m_picture.get() && !m_picture.as<GUI::StaticImage>())
        a_log("ScenePlayer::Init - 'picture' is no static image, the pages will not show");
    for (int b = 0; b < ButtonCount; ++b) {
        GUI::Widget* w = find(kButtonNames[b]);
        m_buttons[b] = GUI::WidgetRef(w);
        if (w)
            m_connections.push_back(
                w->SubscribeEvent(GUI::EventClick, b == Prev || b == Next ? &m_stepClick : &m_closeClick));
    }
}

std::string ScenePlayer::GetPagePath(std::int32_t page) const
{
    return m_folder + m_scene + "_p" + std::to_string(std::int64_t(page) + 1) + ".jpg";
}

void ScenePlayer::PlayScene(const std::string& folder, const std::string& scene, bool skippable,
                            const std::string& music, const std::string& musicKey)
{
    m_folder = folder;
    m_scene = scene;
    m_music = music;
    m_musicKey = musicKey;
    m_pageCount = 0;
    while (m_pageCount < INT32_MAX && file_isExistOrPacked(GetPagePath(m_pageCount)))
        ++m_pageCount;
    if (m_pageCount == 0) {
        a_log("ScenePlayer::PlayScene - scene '%s' has 0 pages!", scene.c_str());
        return;
    }
    GUI::Widget* window = m_window.get();
    if (!window) {
        a_log("ScenePlayer::PlayScene - no window '%s', scene '%s' not played", kWindowName, scene.c_str());
        return;
    }
    m_open = true;
    window->SetVisible(true);
    window->BringToFront();
    m_skippable = skippable;
    m_shownPage = -1;
    m_targetPage = 0;
    if (GUI::Widget* picture = m_picture.get())
        picture->alpha = 0.0f;
    UpdateButtons();
    if (m_music.empty())
        return;
    aMusicManager* musicManager = Music();
    if (!musicManager)
        return;
    // A scene over a scene keeps the track from before the first one.
    if (!m_musicSwitched)
        m_savedTrack = musicManager->GetCurrentTrack(m_savedKey);
    m_musicSwitched = true;
    musicManager->Pause(true);
    musicManager->Play(m_music, m_musicKey, true, true);
}

void ScenePlayer::Close()
{
    if (!m_open)
        return;
    m_open = false;
    if (GUI::Widget* window = m_window.get())
        window->SetVisible(false);
    if (!m_musicSwitched)
        return;
    m_musicSwitched = false;
    if (aMusicManager* musicManager = Music()) {
        if (m_savedTrack.empty())
            musicManager->Stop(false);
        else
            musicManager->ChangeMusic(m_savedTrack, CurrentProfile::Get().musicVolume, false, true, m_savedKey);
    }
    m_savedTrack.clear();
    m_savedKey.clear();
}

void ScenePlayer::UpdateButtons()
{
    const bool last = m_targetPage == m_pageCount - 1;
    const bool visible[ButtonCount] = {m_skippable && !last, m_targetPage > 0, m_targetPage < m_pageCount - 1, last};
    for (int b = 0; b < ButtonCount; ++b)
        if (GUI::Widget* w = m_buttons[b].get())
            w->SetVisible(visible[b]);
}

void ScenePlayer::LoadPage()
{
    auto* picture = m_picture.as<GUI::StaticImage>();
    if (!picture)
        return;
    const aImage page(GetPagePath(m_shownPage), kPageFormat, kPageFormat);
    picture->SetImage(&page, nullptr);
}

void ScenePlayer::Update(float dt)
{
    if (!m_open)
        return;
    GUI::Widget* picture = m_picture.get();
    float a = picture ? picture->alpha : 1.0f;
    if (m_shownPage != m_targetPage) {
        const float t = picture ? FadeTime(picture->fadeOutTime) : 0.0f;
        if (t != 0.0f)
            a -= dt / t;
        if (t == 0.0f || a <= 0.0f) {
            a = 0.0f;
            m_shownPage = m_targetPage;
            if (m_shownPage < 0) {
                Close();
                return;
            }
            UpdateButtons();
            LoadPage();
        }
        if (picture)
            picture->alpha = a;
        m_idleTimer = -1.0f;
    } else {
        const float t = picture ? FadeTime(picture->fadeInTime) : 0.0f;
        a = t == 0.0f ? 1.0f : std::min(a + dt / t, 1.0f);
        if (picture)
            picture->alpha = a;
        const bool input = m_input && (m_input->m_lX != 0 || m_input->m_lY != 0 ||
                                       m_input->isAnyMouseButtonPressed() || m_input->isAnyKeyPressed());
        if (a == 1.0f && !input)
            m_idleTimer += dt;
        else
            m_idleTimer = 0.0f;
    }

    float step = 1.0f;
    if (m_idleTimer != -1.0f)
        step = m_idleTimer >= kIdleTime ? -kButtonFadeRate * dt : kButtonFadeRate * dt;
    for (GUI::WidgetRef& ref : m_buttons)
        if (GUI::Widget* w = ref.get())
            w->alpha = std::clamp(w->alpha + step, 0.0f, 1.0f);
}

bool ScenePlayer::OnStepClick(const GUI::EventArgs& args)
{
    const GUI::Widget* picture = m_picture.get();
    const auto* widgetArgs = dynamic_cast<const GUI::WidgetEventArgs*>(&args);
    if (!m_open || !widgetArgs || !widgetArgs->widget || (picture && picture->alpha != 1.0f))
        return true;
    // A step past the last page would load a missing file and offer no way
    // out; one below the first closes the scene.
    const std::int64_t target = std::int64_t(m_shownPage) + widgetArgs->widget->tag;
    m_targetPage = std::int32_t(std::clamp<std::int64_t>(target, -1, m_pageCount - 1));
    return true;
}

bool ScenePlayer::OnCloseClick(const GUI::EventArgs&)
{
    Close();
    return true;
}
