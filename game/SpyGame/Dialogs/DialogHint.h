#pragma once
// The hint balloon on the window "Hint": a text that pops up near the mouse
// once it has rested over something with a description, fades in, and goes
// as soon as the mouse moves or after 20 seconds. The caller asks
// CanShowHint with its point of interest and calls ShowHint when it may.
//
// The main menu and the in-game container each hold one on the same
// window, and both Init before either shows a balloon, so each keeps the
// window's designed size; the destructor gives it back. Main thread only.
#include <cstdint>
#include <limits>
#include <string>

#include "game/SpyGame/Dialogs/DialogBase.h"

class aSound;

class CDialogHint : public CDialogBase {
public:
    static constexpr float kRestTime = 0.5f;     // seconds of a still mouse before a balloon
    static constexpr float kShowTime = 20.0f;    // seconds a balloon stays at most
    static constexpr float kFadeInRate = 5.0f;   // alpha per second
    static constexpr std::int32_t kAbove = 2;    // gap between the balloon and the point above it
    static constexpr std::int32_t kBelow = 24;   // offset of a balloon under the point

    CDialogHint() = default;
    ~CDialogHint() override;

    // Window "Hint" (NotifyRender set) with the child "text"; keeps the
    // designed size and the sound "show_hint".
    void Init() override;
    // Also forgets the mouse's rest, so a new balloon needs a new rest.
    void Hide() override;

    // False while a balloon shows or before the mouse rested 0.5 s; then true
    // for any point but the one last shown.
    bool CanShowHint(std::int32_t x, std::int32_t y) const;
    // Lays the text of key (in the prefix's group) out at least width wide,
    // places the balloon above the point (below it near the top edge),
    // inside the screen, and shows it from alpha 0.
    void ShowHint(std::int32_t x, std::int32_t y, std::int32_t width, const std::string& key,
                  const std::string& prefix);
    void Update(float dt);

    float GetFade() const { return m_fade; }
    float GetRestTime() const { return m_restTime; }
    float GetShownTime() const { return m_shownTime; }
    std::int16_t GetDesignedWidth() const { return m_designedWidth; }
    std::int16_t GetDesignedHeight() const { return m_designedHeight; }

private:
    GUI::WidgetRef m_text;
    std::int16_t m_designedWidth = 0;
    std::int16_t m_designedHeight = 0;
    float m_fade = 0.0f;
    float m_shownTime = 0.0f;
    // No point shown yet.
    std::int32_t m_shownX = std::numeric_limits<std::int32_t>::min();
    std::int32_t m_shownY = std::numeric_limits<std::int32_t>::min();
    std::int32_t m_mouseX = 0;
    std::int32_t m_mouseY = 0;
    float m_restTime = 0.0f;
    aSound* m_sound = nullptr;  // the sound manager's
};
