#include "engine/gfx/a_graph_server.h"
#include "engine/gui/gui_checkbox.h"
#include "engine/gui/gui_slider.h"
#include "engine/sound/a_music_manager.h"
#include "engine/sound/a_sound.h"
#include "engine/sound/a_sound_manager.h"
#include "engine/util/a_application.h"
#include "menu_fixture.h"

using namespace menutest;
using Menu = CGameFlow::Menu;

namespace {

float sfxVolume() { return aSound::FindChannelsGroup(A_GROUP_SFX)->GetVolume(); }
float ambientVolume() { return aSound::FindChannelsGroup(A_GROUP_AMBIENTS)->GetVolume(); }

// An application that may not switch the display mode (a window forced by Game.ini).
class ForcedWindow : public aApplication {
public:
    bool canSwitchFullscreen() override { return false; }
};

class OptionsBench : public RecordingMenuBench {
protected:
    void SetUp() override
    {
        RecordingMenuBench::SetUp();
        startMenu();
        drawFrames = false;
        onFrame = [this](float dt) { menu->GetOptions().Update(dt); };
    }
    GUI::Slider* slider(const char* name) { return dynamic_cast<GUI::Slider*>(child("OptionsMenu", name)); }
    GUI::Checkbox* box(const char* name) { return dynamic_cast<GUI::Checkbox*>(child("OptionsMenu", name)); }
    float musicVolume() { return res->GetMusicManager()->GetTrackVolume(0); }
    // Drags the slider's thumb to the track's value v and lets go.
    void dragTo(GUI::Slider* s, float v)
    {
        const aRect thumb = s->thumb->GetAbsoluteRect();
        const aRect track = s->GetAbsoluteRect();
        moveTo(thumb.x + thumb.width / 2, thumb.y + thumb.height / 2);
        tick();
        m_buttons = 1;
        tick();
        moveTo(track.x + int(v * float(track.width - thumb.width)) + thumb.width / 2, thumb.y + thumb.height / 2);
        tick();
        m_buttons = 0;
        tick();
    }
};

} // namespace

TEST_F(OptionsBench, ShowSlidersApplyAndCancel)
{
    ASSERT_GT(res->GetMusicManager()->GetTrackCount(), 0u);
    CurrentProfile& profile = CurrentProfile::Get();
    profile.soundVolume = 0.5f;
    profile.musicVolume = 0.25f;
    profile.ambientVolume = 0.75f;
    profile.showTips = 0;
    menu->Show(Menu::kOptions);
    EXPECT_FLOAT_EQ(slider("sound_vol")->value, 0.5f);
    EXPECT_FLOAT_EQ(slider("music_vol")->value, 0.25f);
    EXPECT_FLOAT_EQ(slider("ambient_vol")->value, 0.75f);
    EXPECT_TRUE(box("fullscreen")->checked && !box("show_tips")->checked && box("fullscreen")->IsEnabled());
    // The menu's controls make way for the dialog.
    EXPECT_FALSE(widget("Play")->IsVisible(true) || widget("Welcome")->IsVisible(true));

    // Live volumes follow the sliders; Cancel puts them back and stores nothing.
    slider("sound_vol")->SetValue(0.9f);
    slider("music_vol")->SetValue(0.6f);
    EXPECT_FLOAT_EQ(sfxVolume(), 0.9f);
    EXPECT_FLOAT_EQ(musicVolume(), 0.6f);
    dragTo(slider("ambient_vol"), 0.2f);  // the ambient test takes the effects for a second
    EXPECT_NEAR(ambientVolume(), 0.2f, 0.05f);
    EXPECT_FLOAT_EQ(sfxVolume(), slider("ambient_vol")->value);
    clickOn(child("OptionsMenu", "btn_cancel"));
    EXPECT_EQ(menu->GetState(Menu::kOptions), CDialogOptions::kCancel);
    EXPECT_FLOAT_EQ(sfxVolume(), 0.5f);
    EXPECT_FLOAT_EQ(musicVolume(), 0.25f);
    EXPECT_FLOAT_EQ(ambientVolume(), 0.75f);
    EXPECT_TRUE(profile.soundVolume == 0.5f && profile.musicVolume == 0.25f && profile.ambientVolume == 0.75f);
    menu->Hide(Menu::kOptions);
    EXPECT_TRUE(widget("Play")->IsVisible(true) && widget("Welcome")->IsVisible(true));

    // Apply stores every field.
    menu->Show(Menu::kOptions);
    slider("sound_vol")->SetValue(0.3f);
    slider("music_vol")->SetValue(0.4f);
    clickOn(box("show_tips"));
    clickOn(child("OptionsMenu", "btn_apply"));
    EXPECT_EQ(menu->GetState(Menu::kOptions), CDialogOptions::kApply);
    EXPECT_TRUE(profile.soundVolume == 0.3f && profile.musicVolume == 0.4f && profile.showTips == 1);
    EXPECT_FLOAT_EQ(sfxVolume(), 0.3f);
    EXPECT_FLOAT_EQ(musicVolume(), 0.4f);
    // Drawing puts the shown state back.
    draw();
    EXPECT_EQ(menu->GetState(Menu::kOptions), 2);
}

TEST_F(OptionsBench, AmbientTestLastsOneSecondAndEndsOnApplyCancelOrHide)
{
    aSound* test = res->GetSoundManager()->GetSound("test_volume", "");
    CurrentProfile::Get().soundVolume = 0.5f;
    menu->Show(Menu::kOptions);

    // Releasing the sound slider plays the test at the slider's level.
    dragTo(slider("sound_vol"), 0.8f);
    EXPECT_TRUE(test->IsPlaying());
    const float sound = slider("sound_vol")->value;
    EXPECT_NEAR(sfxVolume(), sound, 1e-6f);
    test->Stop();

    dragTo(slider("ambient_vol"), 0.1f);
    const float ambient = slider("ambient_vol")->value;
    EXPECT_TRUE(menu->GetOptions().IsTestRunning() && test->IsPlaying());
    EXPECT_NEAR(sfxVolume(), ambient, 1e-6f);
    tick(60);  // under a second
    EXPECT_NEAR(sfxVolume(), ambient, 1e-6f);
    tick(8);
    EXPECT_FALSE(menu->GetOptions().IsTestRunning());
    EXPECT_NEAR(sfxVolume(), sound, 1e-6f);

    // Cancel mid-test: the kept volume.
    dragTo(slider("ambient_vol"), 0.3f);
    clickOn(child("OptionsMenu", "btn_cancel"));
    EXPECT_FALSE(menu->GetOptions().IsTestRunning());
    EXPECT_FLOAT_EQ(sfxVolume(), 0.5f);
    menu->Hide(Menu::kOptions);

    // Apply mid-test: the applied volume.
    menu->Show(Menu::kOptions);
    slider("sound_vol")->SetValue(0.7f);
    dragTo(slider("ambient_vol"), 0.3f);
    clickOn(child("OptionsMenu", "btn_apply"));
    EXPECT_FALSE(menu->GetOptions().IsTestRunning());
    EXPECT_FLOAT_EQ(sfxVolume(), 0.7f);

    // Hidden mid-test (play stops updating the dialog): the stored volume.
    menu->Show(Menu::kOptions);
    dragTo(slider("ambient_vol"), 0.9f);
    menu->HideAll();
    EXPECT_FALSE(menu->GetOptions().IsTestRunning());
    EXPECT_FLOAT_EQ(sfxVolume(), 0.7f);
}

TEST_F(OptionsBench, FullScreenFollowsTheWorkAreaAndNeverSwitchesAForcedWindow)
{
    aGraphServer* graph = app.m_graphServer;
    const RECT keep = g_desktopWorkArea;
    CurrentProfile& profile = CurrentProfile::Get();
    profile.fullscreen = 1;
    CDialogOptions::ApplySettings();
    ASSERT_TRUE(graph->m_fullscreen);

    // A work area too small for the window: stored off, still full screen.
    g_desktopWorkArea = RECT{0, 0, 1000, 740};
    menu->Show(Menu::kOptions);
    clickOn(box("fullscreen"));
    clickOn(child("OptionsMenu", "btn_apply"));
    EXPECT_EQ(profile.fullscreen, 0);
    EXPECT_TRUE(graph->m_fullscreen);
    // Room enough: the window comes.
    g_desktopWorkArea = RECT{0, 0, 1280, 800};
    CDialogOptions::ApplySettings();
    EXPECT_FALSE(graph->m_fullscreen);

    // A forced window: the box is off and nothing switches.
    aFileServer* files = g_fileServer;
    {
        ForcedWindow forced;
        g_fileServer = files;
        forced.m_graphServer = graph;
        menu->GetOptions().UpdateFullscreenEnabled();
        EXPECT_FALSE(box("fullscreen")->IsEnabled());
        profile.fullscreen = 1;
        CDialogOptions::ApplySettings();
        EXPECT_FALSE(graph->m_fullscreen);
        forced.m_graphServer = nullptr;
    }
    g_application = &app;
    menu->GetOptions().UpdateFullscreenEnabled();
    EXPECT_TRUE(box("fullscreen")->IsEnabled());
    g_desktopWorkArea = keep;
}
