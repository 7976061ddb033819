#pragma once
// The closing flourish of a case: music and sounds stop, a jingle plays, the
// screen fades to black while a banner grows from the centre over a burst of
// particles, holds, then fades out over one second. Not a GUI window: it is
// drawn after the GUI, on top of everything.
//
// States: 0 not loaded, 1 growing, 2 holding, 3 fading out, 4 idle. It runs
// in states 1 to 3; Hide cuts a run off at once, without the fade.
// Timing: growing until half the duration, holding until the duration,
// fading for one second more; at most one state change per Update.
// Main thread only.
#include <cstdint>
#include <memory>

class aImage;
class aParticleSystem;
class aSound;
class CResManager;

class CInvestigationBanner {
public:
    enum State : std::uint32_t { NotLoaded = 0, Growing = 1, Holding = 2, FadingOut = 3, Idle = 4 };

    static constexpr float kStartScale = 0.5f;
    static constexpr float kFullScale = 1.8f;
    static constexpr float kStartAlpha = 0.6f;
    // Growing and holding together when there is no usable jingle.
    static constexpr float kSilentDuration = 7.0f;
    static constexpr float kFadeOutTime = 1.0f;
    // The burst starts this far advanced, so the first frame already sparkles.
    static constexpr float kBurstLead = 0.4f;

    // What Render draws: the overlay's and the banner's alpha bytes and the
    // banner's scale.
    struct Layers {
        std::uint8_t overlayAlpha = 0;
        std::uint8_t imageAlpha = 0;
        float scale = 0.0f;
    };

    CInvestigationBanner();
    ~CInvestigationBanner();
    CInvestigationBanner(const CInvestigationBanner&) = delete;
    CInvestigationBanner& operator=(const CInvestigationBanner&) = delete;

    // Only in state 0: the jingle, the effect and the duration (the jingle's
    // whole seconds; 7 s without one, or for one under a second); state 4.
    void Load();
    // Any state but 0: stops music and sounds, plays the jingle, picks
    // "story_complete" or "Investigation_complete" and starts the burst at
    // the screen's centre; state 1.
    void Start(bool storyComplete);
    void Update(float dt);
    // States 1 to 3: the black overlay, the particles, the scaled banner. A
    // missing image or effect skips its layer.
    void Render();
    // A running banner goes idle at once.
    void Hide();

    std::uint32_t GetState() const { return m_state; }
    bool IsRunning() const { return m_state >= Growing && m_state <= FadingOut; }
    float GetDuration() const { return m_duration; }
    float GetTimer() const { return m_timer; }
    Layers GetLayers() const;
    const aImage* GetImage() const { return m_image; }
    const aParticleSystem* GetParticles() const { return m_particles.get(); }

private:
    std::uint32_t m_state = NotLoaded;
    CResManager* m_res = nullptr;
    const aImage* m_image = nullptr;  // the image manager's
    aSound* m_sound = nullptr;        // the sound manager's
    std::unique_ptr<aParticleSystem> m_particles;  // a working copy of the effect
    float m_duration = kSilentDuration;
    float m_timer = 0.0f;
};
