#include "game/SpyGame/Dialogs/DialogOptions.h"

#include "engine/gfx/a_font.h"
#include "engine/gfx/a_graph_server.h"
#include "engine/gui/gui_checkbox.h"
#include "engine/gui/gui_server.h"
#include "engine/gui/gui_slider.h"
#include "engine/sound/a_ambient_sound_system.h"
#include "engine/sound/a_music_manager.h"
#include "engine/sound/a_sound.h"
#include "engine/sound/a_sound_manager.h"
#include "engine/util/a_application.h"
#include "engine/util/a_log.h"
#include "game/shell/c_res_manager.h"
#include "game/shell/current_profile.h"

namespace {

constexpr const char* kTestSound = "test_volume";
constexpr const char* kVersion = "v 1.0.2";
constexpr std::uint32_t kVersionColor = 0xFF616161;
constexpr std::uint8_t kVersionFlags = FONT_RIGHT | FONT_BOTTOM | FONT_SNAP;
constexpr float kVersionX = 703.0f, kVersionY = 591.0f;
// The smallest work area a window of the game's size fits on.
constexpr int kMinWindowWidth = 1024, kMinWindowHeight = 768;

void setSfxVolume(float volume)
{
    if (aChannelsGroup* sfx = aSound::FindChannelsGroup(A_GROUP_SFX))
        sfx->SetVolume(volume);
}

void setMusicVolume(float volume)
{
    if (CResManager* res = CResManager::getSingletonPtr())
        res->GetMusicManager()->SetVolume(volume);
}

float valueOf(const GUI::EventArgs& args)
{
    const auto* widgetArgs = dynamic_cast<const GUI::WidgetEventArgs*>(&args);
    const auto* slider = widgetArgs ? dynamic_cast<const GUI::Slider*>(widgetArgs->widget) : nullptr;
    return slider ? slider->value : 0.0f;
}

bool isChecked(const GUI::WidgetRef& box, std::uint8_t fallback)
{
    const auto* check = box.as<GUI::Checkbox>();
    return check ? check->checked : fallback != 0;
}

void setChecked(const GUI::WidgetRef& box, std::uint8_t on)
{
    if (auto* check = box.as<GUI::Checkbox>())
        check->SetChecked(on != 0);
}

void setSlider(const GUI::WidgetRef& slider, float value)
{
    if (auto* s = slider.as<GUI::Slider>())
        s->SetValue(value);
}

} // namespace

void CDialogOptions::Init()
{
    if (m_state != kStateNew)
        return;
    m_res = CResManager::getSingletonPtr();
    if (m_res && !m_res->GetSoundManager()->HasSound(kTestSound, ""))
        a_log("CDialogOptions::Init(). No sound '%s': the volume tests are silent", kTestSound);
    if (GUI::Widget* window = FindWindow("OptionsMenu")) {
        window->notifyRender = true;
        BindResult(window, GUI::EventBeginRender, kStateShown);
        Subscribe(window, GUI::EventEndRender, &CDialogOptions::OnEndRender);
    }
    m_soundVol = GUI::WidgetRef(FindWidget("sound_vol"));
    m_ambientVol = GUI::WidgetRef(FindWidget("ambient_vol"));
    m_musicVol = GUI::WidgetRef(FindWidget("music_vol"));
    m_fullscreen = GUI::WidgetRef(FindWidget("fullscreen"));
    m_showTips = GUI::WidgetRef(FindWidget("show_tips"));

    Subscribe(FindWidget("btn_apply"), GUI::EventClick, &CDialogOptions::OnApply);
    Subscribe(m_musicVol.get(), GUI::EventPositionChanged, &CDialogOptions::OnMusicChanged);
    Subscribe(m_soundVol.get(), GUI::EventPositionChanged, &CDialogOptions::OnSoundChanged);
    Subscribe(m_soundVol.get(), GUI::EventThumbTrackFinished, &CDialogOptions::OnSoundReleased);
    Subscribe(m_ambientVol.get(), GUI::EventPositionChanged, &CDialogOptions::OnAmbientChanged);
    Subscribe(m_ambientVol.get(), GUI::EventThumbTrackFinished, &CDialogOptions::OnAmbientReleased);
    Subscribe(FindWidget("btn_cancel"), GUI::EventClick, &CDialogOptions::OnCancel);
    CDialogBase::Init();
}

void CDialogOptions::Show()
{
    const CurrentProfile& profile = CurrentProfile::Get();
    setSlider(m_soundVol, profile.soundVolume);
    setSlider(m_musicVol, profile.musicVolume);
    setSlider(m_ambientVol, profile.ambientVolume);
    setChecked(m_fullscreen, profile.fullscreen);
    setChecked(m_showTips, profile.showTips);
    CDialogBase::Show();
    UpdateFullscreenEnabled();
}

void CDialogOptions::Hide()
{
    EndTest(CurrentProfile::Get().soundVolume);
    CDialogBase::Hide();
}

void CDialogOptions::ApplySettings()
{
    const CurrentProfile& profile = CurrentProfile::Get();
    setSfxVolume(profile.soundVolume);
    aAmbientSoundSystem::SetVolume(profile.ambientVolume);
    setMusicVolume(profile.musicVolume);

    aGraphServer* graph = g_application ? g_application->m_graphServer : nullptr;
    const bool wanted = profile.fullscreen != 0;
    if (!graph || !g_application->canSwitchFullscreen() || graph->m_fullscreen == wanted)
        return;
    if (!wanted) {
        const RECT& work = g_desktopWorkArea;
        if (work.right - work.left < kMinWindowWidth || work.bottom - work.top < kMinWindowHeight)
            return;
    }
    graph->setFullscreen(wanted);
    g_application->onDisplayModeChanged();
}

void CDialogOptions::UpdateFullscreenEnabled()
{
    GUI::Widget* box = m_fullscreen.get();
    if (m_state != kStateNew && box)
        box->SetEnabled(g_application && g_application->canSwitchFullscreen());
}

void CDialogOptions::Update(float dt)
{
    if (!m_testRunning)
        return;
    m_testTimer += dt;
    if (m_testTimer > kAmbientTestTime)
        EndTest(SliderValue(m_soundVol, CurrentProfile::Get().soundVolume));
}

bool CDialogOptions::OnApply(const GUI::EventArgs&)
{
    CurrentProfile& profile = CurrentProfile::Get();
    profile.soundVolume = SliderValue(m_soundVol, profile.soundVolume);
    profile.musicVolume = SliderValue(m_musicVol, profile.musicVolume);
    profile.ambientVolume = SliderValue(m_ambientVol, profile.ambientVolume);
    profile.fullscreen = isChecked(m_fullscreen, profile.fullscreen) ? 1 : 0;
    profile.showTips = isChecked(m_showTips, profile.showTips) ? 1 : 0;
    EndTest(profile.soundVolume);
    ApplySettings();
    m_state = kApply;
    return true;
}

bool CDialogOptions::OnCancel(const GUI::EventArgs&)
{
    const CurrentProfile& profile = CurrentProfile::Get();
    if (SliderValue(m_musicVol, profile.musicVolume) != profile.musicVolume)
        setMusicVolume(profile.musicVolume);
    if (SliderValue(m_ambientVol, profile.ambientVolume) != profile.ambientVolume)
        aAmbientSoundSystem::SetVolume(profile.ambientVolume);
    if (SliderValue(m_soundVol, profile.soundVolume) != profile.soundVolume)
        setSfxVolume(profile.soundVolume);
    // The test may have left the effects at the ambient level.
    EndTest(profile.soundVolume);
    m_state = kCancel;
    return true;
}

bool CDialogOptions::OnMusicChanged(const GUI::EventArgs& args)
{
    setMusicVolume(valueOf(args));
    return true;
}

bool CDialogOptions::OnSoundChanged(const GUI::EventArgs& args)
{
    setSfxVolume(valueOf(args));
    return true;
}

bool CDialogOptions::OnSoundReleased(const GUI::EventArgs&)
{
    PlayTestSound();
    return true;
}

bool CDialogOptions::OnAmbientChanged(const GUI::EventArgs& args)
{
    aAmbientSoundSystem::SetVolume(valueOf(args));
    return true;
}

bool CDialogOptions::OnAmbientReleased(const GUI::EventArgs&)
{
    setSfxVolume(SliderValue(m_ambientVol, CurrentProfile::Get().ambientVolume));
    PlayTestSound();
    m_testTimer = 0.0f;
    m_testRunning = true;
    return true;
}

bool CDialogOptions::OnEndRender(const GUI::EventArgs&)
{
    GUI::Server* gui = GUI::Server::getSingletonPtr();
    if (!gui)
        return false;
    const auto it = gui->fonts.find("text_font");
    if (it == gui->fonts.end() || !it->second)
        return false;
    aFont& font = *it->second;
    font.color = kVersionColor;
    font.setScale(1.0f);
    font.drawString(kVersionX, kVersionY, kVersion, kVersionFlags);
    return false;
}

void CDialogOptions::EndTest(float sfxVolume)
{
    if (!m_testRunning)
        return;
    m_testRunning = false;
    setSfxVolume(sfxVolume);
}

void CDialogOptions::PlayTestSound()
{
    aSoundManager* sounds = m_res ? m_res->GetSoundManager() : nullptr;
    if (sounds && sounds->HasSound(kTestSound, ""))
        sounds->GetSound(kTestSound, "")->Play(false, false);
}

float CDialogOptions::SliderValue(const GUI::WidgetRef& slider, float fallback) const
{
    const auto* s = slider.as<GUI::Slider>();
    return s ? s->value : fallback;
}
