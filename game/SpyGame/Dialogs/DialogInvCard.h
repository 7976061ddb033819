#pragma once
// The investigation card on the window "InvCard": over one second the card
// flies up from the bottom edge to the centre, turning from its back to its
// face and growing to full size, while the screen darkens to alpha 204;
// then "Continue" shows and its click gives result 3.
//
// The window raises "BeginRender" (the darkening, under its widgets) and
// "EndRender" (the card, over them). A side whose image is missing (no
// "back_card", no card set) draws nothing over the darkening. Main thread only.
#include <cstdint>
#include <memory>

#include "game/SpyGame/Dialogs/DialogBase.h"

class aImage;

class CDialogInvCard : public CDialogBase {
public:
    static constexpr std::int32_t ResultContinue = 3;
    static constexpr float kDarkening = 0.8f;  // overlay alpha at the end of the flight
    static constexpr float kCentreX = 512.0f;
    static constexpr float kBottom = 768.0f;
    static constexpr float kRise = 384.0f;

    // How the card is drawn at a progress p in 0..1.
    struct CardDraw {
        bool back = false;  // "back_card" rather than the card
        float centreX = 0.0f, centreY = 0.0f;
        float scaleX = 0.0f, scaleY = 0.0f;
        float angle = 0.0f;  // radians, counter-clockwise on screen
    };
    static CardDraw CalcCardDraw(float progress);
    // The darkening's alpha byte at a progress.
    static std::uint8_t CalcDarkening(float progress);

    CDialogInvCard() = default;
    ~CDialogInvCard() override;

    // Window "InvCard" (NotifyRender set), "Continue" with result 3, the
    // child "InvCardArea" and the image "back_card".
    void Init() override;
    // From the start of the flight, "Continue" hidden.
    void Show() override;
    // Empties "InvCardArea" too.
    void Hide() override;
    void Update(float dt);

    // The card to show next; the previous one is released.
    void SetCard(std::shared_ptr<aImage> card) { m_card = std::move(card); }
    const std::shared_ptr<aImage>& GetCard() const { return m_card; }
    float GetProgress() const { return m_progress; }

private:
    bool OnBeginRender(const GUI::EventArgs& args);
    bool OnEndRender(const GUI::EventArgs& args);

    GUI::WidgetRef m_cardArea;
    GUI::WidgetRef m_continue;
    const aImage* m_back = nullptr;  // the image manager's
    std::shared_ptr<aImage> m_card;
    float m_progress = 0.0f;
};
