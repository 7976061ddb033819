#include "game/SpyGame/Dialogs/DialogInvCard.h"

#include <cmath>

#include "engine/gfx/a_image.h"
#include "engine/gfx/a_image_manager.h"
#include "engine/gui/gui_static_image.h"
#include "game/SpyGame/Rooms/FlipScale.h"
#include "game/shell/c_res_manager.h"

namespace {

constexpr float kPi = 3.14159265358979f;

} // namespace

CDialogInvCard::~CDialogInvCard() = default;

CDialogInvCard::CardDraw CDialogInvCard::CalcCardDraw(float progress)
{
    CardDraw d;
    d.centreX = kCentreX;
    d.centreY = kBottom - kRise * std::sin(progress * kPi * 0.5f);
    d.scaleX = d.scaleY = progress;
    d.angle = (1.0f - progress) * (-kPi * 0.5f);
    // The card turns about its vertical axis; the vertical scale keeps its
    // factor (angle 0) but is asked all the same, as either side may answer.
    const bool backV = CalcFlipScale(&d.scaleY, 0.0f);
    const bool backH = CalcFlipScale(&d.scaleX, progress * kPi + kPi);
    d.back = backV || backH;
    return d;
}

std::uint8_t CDialogInvCard::CalcDarkening(float progress)
{
    const float a = progress * kDarkening;
    if (!(a > 0.0f))
        return 0;
    if (a >= 1.0f)
        return 255;
    return std::uint8_t(a * 255.0f + 0.5f);
}

void CDialogInvCard::Init()
{
    if (m_state != 0)
        return;
    if (GUI::Widget* window = FindWindow("InvCard")) {
        window->notifyRender = true;
        Subscribe(window, "EndRender", &CDialogInvCard::OnEndRender);
        Subscribe(window, "BeginRender", &CDialogInvCard::OnBeginRender);
        m_continue = GUI::WidgetRef(FindWidget("Continue"));
        BindResult(m_continue.get(), "Click", ResultContinue);
        m_cardArea = GUI::WidgetRef(FindWidget("InvCardArea"));
    }
    if (CResManager* res = CResManager::getSingletonPtr())
        if (aImageManager* images = res->GetImageManager())
            m_back = images->GetImage("back_card", "");
    CDialogBase::Init();
}

void CDialogInvCard::Show()
{
    m_progress = 0.0f;
    if (GUI::Widget* button = m_continue.get())
        button->SetVisible(false);
    CDialogBase::Show();
}

void CDialogInvCard::Hide()
{
    if (m_state == 0)
        return;
    if (auto* area = m_cardArea.as<GUI::StaticImage>())
        area->SetImage(nullptr, nullptr);
    CDialogBase::Hide();
}

void CDialogInvCard::Update(float dt)
{
    const GUI::Widget* window = GetWindow();
    if (!window || !window->IsVisible(true))
        return;
    m_progress += dt;
    if (m_progress >= 1.0f) {
        m_progress = 1.0f;
        GUI::Widget* button = m_continue.get();
        if (button && !button->IsVisible(true))
            button->SetVisible(true);
    }
}

bool CDialogInvCard::OnBeginRender(const GUI::EventArgs&)
{
    m_state = kStateShown;
    if (CResManager* res = CResManager::getSingletonPtr()) {
        const std::uint32_t kept = res->GetRectColor();
        res->SetRectColor(std::uint32_t(CalcDarkening(m_progress)) << 24);
        res->DrawRect(0.0f, 0.0f, 1024.0f, 768.0f);
        res->SetRectColor(kept);
    }
    return true;
}

bool CDialogInvCard::OnEndRender(const GUI::EventArgs&)
{
    m_state = kStateShown;
    const CardDraw d = CalcCardDraw(m_progress);
    const aImage* image = d.back ? m_back : m_card.get();
    if (!image)
        return true;
    const D3DXVECTOR2 scale{d.scaleX, d.scaleY};
    image->draw(d.centreX - float(image->getWidth()) * 0.5f * d.scaleX,
                d.centreY - float(image->getHeight()) * 0.5f * d.scaleY, nullptr, 0xFFFFFFFF, &scale, d.angle, nullptr,
                0);
    return true;
}
