#include "game/SpyGame/Dialogs/DialogHint.h"

#include <algorithm>

#include "engine/gui/gui_server.h"
#include "engine/gui/gui_static_text.h"
#include "engine/sound/a_sound_manager.h"
#include "engine/util/a_input_server.h"
#include "engine/util/a_log.h"
#include "engine/util/a_string.h"
#include "game/SpyGame/Dialogs/ScreenSize.h"
#include "game/shell/c_res_manager.h"

namespace {

// Widget sizes are unsigned 16-bit and areas signed 16-bit.
std::uint16_t sizeOf(std::int32_t value) { return std::uint16_t(std::clamp(value, 0, 0x7FFF)); }

} // namespace

CDialogHint::~CDialogHint()
{
    if (m_state == 0)
        return;
    if (GUI::Widget* window = GetWindow())
        window->SetSize(sizeOf(m_designedWidth), sizeOf(m_designedHeight));
}

void CDialogHint::Init()
{
    if (m_state != 0)
        return;
    if (GUI::Widget* window = FindWindow("Hint")) {
        window->notifyRender = true;
        m_text = GUI::WidgetRef(FindWidget("text"));
        if (m_text.get() && !m_text.as<GUI::StaticText>())
            a_log("CDialogHint::Init(). Widget 'text' of 'Hint' is not a StaticText: no balloon shows");
        BindResult(window, "BeginRender", kStateShown);
        m_designedWidth = window->GetAreaRect().width;
        m_designedHeight = window->GetAreaRect().height;
    }
    if (CResManager* res = CResManager::getSingletonPtr())
        if (aSoundManager* sounds = res->GetSoundManager())
            m_sound = sounds->GetSound("show_hint", "");
    CDialogBase::Init();
}

void CDialogHint::Hide()
{
    CDialogBase::Hide();
    m_restTime = 0.0f;
}

bool CDialogHint::CanShowHint(std::int32_t x, std::int32_t y) const
{
    if (IsVisible() || m_restTime < kRestTime)
        return false;
    return x != m_shownX || y != m_shownY;
}

void CDialogHint::ShowHint(std::int32_t x, std::int32_t y, std::int32_t width, const std::string& key,
                           const std::string& prefix)
{
    GUI::Widget* window = GetWindow();
    auto* text = m_text.as<GUI::StaticText>();
    if (m_state == 0 || !window || !text)
        return;
    m_shownX = x;
    m_shownY = y;

    // The text's left offset is the balloon's margin on every side.
    const std::int32_t margin = text->GetAreaRect().x;
    const std::int32_t w = std::clamp(std::max(width, std::int32_t(m_designedWidth)), 0, 0x7FFF);
    window->SetWidth(sizeOf(w));
    text->SetWidth(sizeOf(w - 2 * margin));
    text->SetHeight(1000);

    CResManager* res = CResManager::getSingletonPtr();
    std::wstring shown = res ? res->GetLocalizedString(key, prefix) : std::wstring();
    if (shown.empty())
        shown = L"String '" + str_cp1251ToWide(key) + L"' not found!";
    text->SetText(shown);

    const std::int32_t h = std::int32_t(text->GetTextHeight() + 0.5f);
    text->SetHeight(sizeOf(h));
    window->SetHeight(sizeOf(h + 2 * margin));

    const CScreenSize screen = GetScreenSize();
    const std::int32_t W = window->GetAreaRect().width, H = window->GetAreaRect().height;
    std::int32_t top = y - H - kAbove;
    if (top < 0)
        top = y + kBelow;
    if (top + H > screen.height)
        top = screen.height - H;
    std::int32_t left = x - std::int32_t(std::uint32_t(W) / 2u);
    if (left < 0)
        left = 0;
    if (left + W > screen.width)
        left = screen.width - W;
    window->SetPosition(std::int16_t(std::clamp(left, -0x8000, 0x7FFF)), std::int16_t(std::clamp(top, -0x8000, 0x7FFF)));

    m_fade = 0.0f;
    m_shownTime = 0.0f;
    window->alpha = 0.0f;
    if (m_sound)
        m_sound->Play(false, false);
    Show();
}

void CDialogHint::Update(float dt)
{
    std::int32_t x = 0, y = 0;
    const GUI::Server* gui = GUI::Server::getSingletonPtr();
    if (gui && gui->input)
        gui->input->getMousePos(x, y);
    const bool moved = x != m_mouseX || y != m_mouseY;
    m_restTime = moved ? 0.0f : m_restTime + dt;
    m_mouseX = x;
    m_mouseY = y;

    if (!IsVisible())
        return;
    if (moved) {
        Hide();
        return;
    }
    if (m_fade < 1.0f) {
        m_fade = std::min(m_fade + kFadeInRate * dt, 1.0f);
        GetWindow()->alpha = m_fade;
    }
    m_shownTime += dt;
    if (m_shownTime >= kShowTime)
        Hide();
}
