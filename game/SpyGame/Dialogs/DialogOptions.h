#pragma once
// The options: the three volumes (live while a slider moves), full screen
// and tutorial tips, over the profile in use. Apply (4) stores the settings
// and applies them; Cancel (3) puts the live volumes back to the stored
// ones. Releasing the sound slider plays the test sound; releasing the
// ambient slider plays it for one second at the ambient level.
//
// Serves the menu and, during play, the game root, which calls Update.
// Main thread only.
#include "game/SpyGame/Dialogs/DialogBase.h"

class CResManager;

class CDialogOptions : public CDialogBase {
public:
    static constexpr std::int32_t kApply = 4;
    static constexpr std::int32_t kCancel = 3;
    // How long the ambient level is heard through the effects group.
    static constexpr float kAmbientTestTime = 1.0f;

    void Init() override;
    // From the stored settings.
    void Show() override;
    // Ends a running ambient test first.
    void Hide() override;

    // The stored volumes on the live groups, then the display mode: full
    // screen at once, a window only on a work area of at least 1024 x 768,
    // and no switch at all where the application cannot switch.
    static void ApplySettings();
    void UpdateFullscreenEnabled();
    // Runs the ambient test's clock.
    void Update(float dt);

    bool IsTestRunning() const { return m_testRunning; }

private:
    bool OnApply(const GUI::EventArgs& args);
    bool OnCancel(const GUI::EventArgs& args);
    bool OnMusicChanged(const GUI::EventArgs& args);
    bool OnSoundChanged(const GUI::EventArgs& args);
    bool OnSoundReleased(const GUI::EventArgs& args);
    bool OnAmbientChanged(const GUI::EventArgs& args);
    bool OnAmbientReleased(const GUI::EventArgs& args);
    bool OnEndRender(const GUI::EventArgs& args);
    // Ends a running test with the effects group at the given volume.
    void EndTest(float sfxVolume);
    void PlayTestSound();
    float SliderValue(const GUI::WidgetRef& slider, float fallback) const;

    CResManager* m_res = nullptr;
    GUI::WidgetRef m_soundVol, m_ambientVol, m_musicVol;
    GUI::WidgetRef m_fullscreen, m_showTips;
    bool m_testRunning = false;
    float m_testTimer = 0.0f;
};
