// The game panel's clock, hints and effects.
#include <algorithm>
#include <cmath>

#include "engine/gfx/a_image.h"
#include "engine/gui/gui_static_image.h"
#include "engine/gui/gui_static_text.h"
#include "engine/sound/a_sound.h"
#include "engine/util/a_input_server.h"
#include "engine/util/a_string.h"
#include "engine/util/a_wformat.h"
#include "game/SpyGame/Dialogs/DialogSpyGamePanel.h"
#include "game/shell/c_res_manager.h"

namespace {

// Shared by every panel: the clock's pause display flips on every other
// update that sees a change, and the warning pulses on one phase.
bool s_pauseToggle = false;
float s_warningPhase = 0.0f;

constexpr float kWarningPeriod = 720.0f;
constexpr float kPulseSpeed = 0.7f;
constexpr float kPulseEnd = 2.0f;
constexpr float kTrailAcceleration = 2.5f;
constexpr double kPi = 3.14159265358979323846;

bool contains(const aRect& r, std::int32_t x, std::int32_t y)
{
    return x >= r.x && x < r.right() && y >= r.y && y < r.bottom();
}

} // namespace

void CDialogSpyGamePanel::ResetSharedClockState()
{
    s_pauseToggle = false;
    s_warningPhase = 0.0f;
}

float CDialogSpyGamePanel::GetWarningPhase() { return s_warningPhase; }

// ------------------------------------------------------------------ clock

void CDialogSpyGamePanel::SetClockTime(float seconds)
{
    m_secondsLeft = std::isfinite(seconds) ? std::clamp(seconds, -kMaxSeconds, kMaxSeconds) : 0.0f;
    m_lowTime = m_secondsLeft < kLowTime && !m_findAllMode;
}

void CDialogSpyGamePanel::AddClockTime(float seconds) { SetClockTime(m_secondsLeft + seconds); }

void CDialogSpyGamePanel::SetFindAllMode(bool on)
{
    m_findAllMode = on;
    // Find All counts no time, so the clock shows no time window.
    SetPartVisible(ClockWindow, !on);
    GUI::Widget* caption = GetPart(ClockTextPause);
    if (!caption)
        return;
    caption->SetText(Localised(on ? "clock_text_find_all" : "clock_text_pause"));
    caption->SetAreaRect(on ? aRect(17, 12, 42, 46) : aRect(14, 28, 48, 30));
    if (auto* text = dynamic_cast<GUI::StaticText*>(caption))
        text->SetLineSpacing(on ? -2.0f : -5.0f);
    caption->SetFontSize(on ? 0.85f : 0.7f);
}

void CDialogSpyGamePanel::UpdateClockText(float dt)
{
    const bool paused = m_roomPause || m_blockPause || m_screenPause;
    if (m_showsPaused != paused) {
        s_pauseToggle = !s_pauseToggle;
        if (s_pauseToggle)
            m_showsPaused = paused;
    }
    if (m_showsPaused) {
        SetPartText(ClockText, Localised("pause"));
        SetPartVisible(ClockTextPause, false);
        return;
    }
    m_lastFrameTime = dt;
    m_secondsLeft = std::max(m_secondsLeft - dt, 0.0f);
    const std::int32_t s = std::int32_t(std::min(m_secondsLeft, kMaxSeconds));
    SetPartText(ClockText, a_wformat(L"%02d:%02d", s / 60, s % 60));
    SetPartVisible(ClockTextPause, true);
    if (m_lowTime && m_lowTimeSound) {
        if (m_lowTimeTimer > kLowTimeSoundPeriod) {
            m_lowTimeSound->Play(false, false);
            m_lowTimeTimer = 0.0f;
        }
        m_lowTimeTimer += dt;
    } else if (s < 121 && !m_findAllMode) {
        m_lowTime = true;
    }
}

bool CDialogSpyGamePanel::OnLowTimeWarning(const GUI::EventArgs&)
{
    aImage* warning = PanelImage(m_clockWarning);
    const GUI::Widget* block = GetPart(BlockWidget);
    if (!(block && block->IsVisible(true)) && m_state != ResultPause && m_ispyRoom && !m_findAllMode) {
        s_warningPhase += m_lastFrameTime;
        if (s_warningPhase >= kWarningPeriod)
            s_warningPhase -= kWarningPeriod;
    }
    if (!m_lowTime || !warning)
        return true;
    const double v = double(kLowTime - m_secondsLeft) * 0.3 / double(kLowTime) +
                     0.4 * std::sin(double(s_warningPhase) * 6.0 * kPi);
    const std::uint32_t alpha = v >= 1.0 ? 255u : v <= 0.0 ? 0u : std::uint32_t(v * 255.0 + 0.5);
    warning->draw(18.0f, 10.0f, (alpha << 24) | 0xFFFFFFu);
    return true;
}

// ------------------------------------------------------------------ hints

void CDialogSpyGamePanel::SetHintsCount(std::uint32_t n)
{
    m_hintsLeft = n;
    SetPartEnabled(BtnHint, n != 0 && m_hintAllowed);
    if (GUI::Widget* count = GetPart(HintsCount)) {
        count->SetText(str_fromIntW(int(std::min<std::uint32_t>(n, 0x7FFFFFFF))));
        count->Update(0.0f);
    }
    if (n >= kMaxRechargedHints) {
        m_rechargeRunning = false;
    } else if (!m_rechargeRunning) {
        m_rechargeRunning = true;
        m_rechargeTimer = 0.0f;
    }
}

void CDialogSpyGamePanel::EnableHint(bool allowed)
{
    m_hintAllowed = allowed;
    const bool on = m_hintsLeft != 0 && allowed && (!m_entries.empty() || m_mode == 1);
    for (Part p : {BtnHint, HintsCount, HintGlass})
        SetPartEnabled(p, on);
    auto* title = dynamic_cast<GUI::StaticImage*>(GetPart(HintTitle));
    aImage* image = PanelImage(on ? m_hintEnabled : m_hintDisabled);
    if (title && image && image != m_hintTitleImage) {
        title->SetImage(image, nullptr);
        m_hintTitleImage = image;
    }
}

void CDialogSpyGamePanel::UseHint()
{
    if (m_hintsLeft > 0)
        SetHintsCount(m_hintsLeft - 1);
    else
        m_rechargeTimer = 0.0f;
}

void CDialogSpyGamePanel::AddExtraHint()
{
    if (m_hintsLeft >= kMaxHints)
        return;
    SetHintsCount(m_hintsLeft + 1);
    float x = 0.0f, y = 0.0f;
    if (m_extraHint && CentreOf(HintsCount, x, y)) {
        m_extraHint->reset();
        m_extraHint->startAt(x, y);
    }
    if (m_extraHintSound)
        m_extraHintSound->Play(false, false);
}

bool CDialogSpyGamePanel::OnHintOverlay(const GUI::EventArgs&)
{
    // The glass fills from the bottom as the next hint recharges.
    aImage* circle = m_rechargeRunning && m_restoreTime > 0.0f ? PanelImage(m_circle) : nullptr;
    if (circle) {
        const int h = circle->getHeight();
        const float f = std::clamp(m_rechargeTimer / m_restoreTime, 0.0f, 1.0f);
        const int part = int(std::lround(float(h) * f));
        if (part > 0) {
            const aRect source(0, std::int16_t(h - part), circle->getWidth(), std::uint16_t(part));
            circle->draw(113.0f, float(32 + h - part), &source, 0xFFFFFFFFu, nullptr, 0.0f, nullptr, 0);
        }
    }
    const GUI::Widget* hint = GetPart(BtnHint);
    if (hint && hint->IsEnabled() && MouseIn(BtnHint))
        if (aImage* light = PanelImage(m_hintLight))
            light->draw(115.0f, 10.0f);
    return true;
}

bool CDialogSpyGamePanel::ResolveHintPress()
{
    std::int32_t x = 0, y = 0;
    MousePos(x, y);
    for (const Entry& entry : m_entries)
        if (contains(entry.rect, x, y)) {
            m_state = ResultHintChosen;
            m_hintMode = false;
            UseHint();
            m_hintTarget = entry.name;
            return true;
        }
    // Hint mode ends here too, so a later press cannot spend a second hint.
    if (PartEnabled(BtnMurderHunt) && PartVisible(BtnMurderHunt) && m_mode == 1 && MouseIn(BtnMurderHunt)) {
        m_state = ResultHintChosen;
        m_hintMode = false;
        UseHint();
        m_hintTarget = "MH_CONTAINER";
        return true;
    }
    if (!MouseIn(BtnHint)) {
        m_hintMode = false;
        m_state = ResultHintCancel;
    }
    return false;
}

// ------------------------------------------------------------------ effects

void CDialogSpyGamePanel::StartMHMagicStars()
{
    if (m_mhStarsArmed)
        return;
    m_mhStarsArmed = true;
    const aParticleSystem* proto = m_res ? m_res->GetParticle("MHuntMagicStars") : nullptr;
    if (!proto)
        return;
    m_mhStars = std::make_unique<aParticleSystem>(*proto);
    m_mhStars->reset();
    float x = 0.0f, y = 0.0f;
    CentreOf(BtnMurderHunt, x, y);
    m_mhStars->startAt(x, y);
}

void CDialogSpyGamePanel::StartContinueMagicStars()
{
    m_contStarsArmed = true;
    if (!m_contStars)
        return;
    m_contStars->reset();
    float x = 0.0f, y = 0.0f;
    CentreOf(ContinueBtnPanel, x, y);
    m_contStars->startAt(x, y);
}

void CDialogSpyGamePanel::AddTrail(const aCurve& curve, float speed, const aParticleSystem& particles)
{
    Trail& trail = m_trails.emplace_back();
    trail.curve = curve;
    trail.curve.start();
    trail.speed = speed;
    trail.particles = std::make_unique<aParticleSystem>(particles);
    float x = 0.0f, y = 0.0f;
    trail.curve.getCurrentPoint(x, y);
    trail.particles->startAt(x, y);
}

void CDialogSpyGamePanel::UpdateEffects(float dt)
{
    m_pulsePhase += kPulseSpeed * dt;
    if (m_pulsePhase >= kPulseEnd)
        m_pulsePhase = 0.0f;
    if (m_extraHint)
        m_extraHint->update(dt);
    if (m_mhStars && m_mhStarsArmed)
        m_mhStars->update(dt);
    if (m_contStars && m_contStarsArmed)
        m_contStars->update(dt);

    for (auto it = m_trails.begin(); it != m_trails.end();) {
        Trail& trail = *it;
        if (!trail.ended) {
            const int status = trail.curve.update(dt * trail.speed);
            if (status == CURVE_END_REACHED || status == CURVE_NOT_RUNNING) {
                trail.ended = true;
                trail.particles->stop();
            }
        }
        // An ended trail keeps updating so that its last particles die out.
        trail.particles->update(dt);
        if (trail.ended) {
            if (trail.particles->getLiveCount() == 0) {
                it = m_trails.erase(it);
                continue;
            }
        } else {
            float x = 0.0f, y = 0.0f;
            trail.curve.getCurrentPoint(x, y);
            trail.particles->moveTo(x, y);
            trail.speed += kTrailAcceleration;
        }
        ++it;
    }

    if (m_rechargeRunning && m_ispyRoom) {
        m_rechargeTimer += dt;
        if (m_rechargeTimer >= m_restoreTime) {
            m_rechargeRunning = false;
            SetHintsCount(m_hintsLeft + 1);
        }
    }
}
