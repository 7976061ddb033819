#include "game/SpyGame/Dialogs/DialogMessage.h"

#include <cmath>

#include "engine/gfx/a_image_manager.h"
#include "engine/gui/gui_event.h"
#include "engine/gui/gui_static_image.h"
#include "engine/util/a_log.h"
#include "game/SpyGame/Dialogs/DialogHelpers.h"
#include "game/SpyGame/Dialogs/ScreenSize.h"
#include "game/shell/c_res_manager.h"
#include "game/shell/save_load_system.h"

CDialogMessage::CDialogMessage() : SaveLoadEntity(kEntityKey) {}

CDialogMessage::~CDialogMessage()
{
    if (m_state == kStateNew)
        return;
    if (GUI::Widget* window = GetWindow()) {
        window->SetPosition(std::int16_t(m_designedX), std::int16_t(m_designedY));
        window->alpha = m_designedAlpha;
    }
}

void CDialogMessage::Init()
{
    if (m_state != kStateNew)
        return;
    GUI::Widget* window = FindWindow(kWindowName);
    m_text = GUI::WidgetRef(FindWidget("text"));
    m_icon = GUI::WidgetRef(FindWidget("PersIcon"));
    if (window) {
        window->notifyRender = true;
        m_designedX = window->GetAreaRect().x;
        m_designedY = window->GetAreaRect().y;
        m_designedAlpha = window->GetAlpha(true);
    }
    m_bottomY = std::uint16_t(GetScreenSize().height);
    BindResult(window, GUI::EventBeginRender, kStateShown);
    Subscribe(FindWidget("Close"), GUI::EventClick, &CDialogMessage::OnClose);
    Subscribe(window, GUI::EventClick, &CDialogMessage::OnClose);
    CDialogBase::Init();
    m_initial = std::make_unique<Record>(CurrentRecord());
}

bool CDialogMessage::OnClose(const GUI::EventArgs&)
{
    Hide();
    return true;
}

void CDialogMessage::Show()
{
    GUI::Widget* window = GetWindow();
    if (m_state == kStateNew || !window)
        return;
    window->SetPosition(window->GetAreaRect().x, std::int16_t(m_bottomY));
    m_fade = 0.0f;
    m_phase = PhaseAppearing;
    CDialogBase::Show();
}

bool CDialogMessage::IsVisible() const { return CDialogBase::IsVisible() || m_phase == PhaseAppearing; }

void CDialogMessage::TurnAround()
{
    if (m_phase == PhaseDisappearing)
        m_phase = PhaseAppearing;
}

bool CDialogMessage::IsShowing(const std::string& id) const
{
    // A message clicked away during its slide-in still counts as visible
    // until the slide ends, but is no longer on screen: asked for again,
    // it comes back as a new one.
    return CDialogBase::IsVisible() && id == m_stringId;
}

void CDialogMessage::ShowMessage(const std::string& id, const std::string& prefix)
{
    if (IsShowing(id)) {
        TurnAround();
        return;
    }
    SetTextById(id, prefix);
    Show();
}

void CDialogMessage::ShowMessageTimed(const std::string& id, const std::string& prefix, float seconds)
{
    if (IsShowing(id)) {
        m_timeOut = seconds;
        m_timed = true;
        TurnAround();
        return;
    }
    SetTextById(id, prefix);
    m_timeOut = seconds;
    m_timed = true;
    Show();
}

void CDialogMessage::SetTextById(const std::string& id, const std::string& prefix)
{
    m_stringId = id;
    if (GUI::Widget* text = m_text.get())
        text->SetText(DialogText(id, prefix));
}

void CDialogMessage::SetPersIcon(const std::string& name)
{
    m_iconPersonage = name;
    auto* icon = m_icon.as<GUI::StaticImage>();
    if (!icon)
        return;
    CResManager* res = CResManager::getSingletonPtr();
    aImageManager* images = res ? res->GetImageManager() : nullptr;
    const aImage* image = images && !name.empty() ? images->GetImage(name + "_icon") : nullptr;
    icon->SetImage(image, nullptr);
}

void CDialogMessage::PlaceByFade()
{
    GUI::Widget* window = GetWindow();
    if (!window)
        return;
    window->alpha = m_fade;
    const float y = float(m_bottomY) - float(m_bottomY - m_designedY) * m_fade;
    window->SetPosition(window->GetAreaRect().x, std::int16_t(std::int32_t(y)));
}

void CDialogMessage::Update(float dt)
{
    if (IsVisible() && m_timed) {
        m_timeOut -= dt;
        if (m_timeOut <= 0.0f) {
            m_timed = false;
            if (IsVisible() && m_phase == PhaseStill) {
                m_phase = PhaseDisappearing;
                m_fade = 1.0f;
            }
        }
    }
    const std::uint32_t phase = m_phase;
    if (phase == PhaseAppearing) {
        m_fade += kSlideSpeed * dt;
        if (m_fade >= 1.0f) {
            m_fade = 1.0f;
            m_phase = PhaseStill;
        }
    } else if (phase == PhaseDisappearing) {
        m_fade -= kSlideSpeed * dt;
        if (m_fade <= 0.0f) {
            m_fade = 0.0f;
            m_phase = PhaseStill;
            Hide();
        }
    }
    if (phase == PhaseAppearing || phase == PhaseDisappearing)
        PlaceByFade();
}

// ------------------------------------------------------------------ record

CDialogMessage::Record CDialogMessage::CurrentRecord() const
{
    Record r;
    const GUI::Widget* text = m_text.get();
    r.state = std::uint32_t(m_state);
    r.timeOut = m_timeOut;
    r.timed = m_timed ? 1 : 0;
    r.fade = m_fade;
    r.phase = m_phase;
    r.text = text ? text->GetText() : std::wstring();
    r.id = m_stringId;
    r.icon = m_iconPersonage;
    r.textX = text ? text->GetAreaRect().x : 0;
    r.textY = text ? text->GetAreaRect().y : 0;
    return r;
}

std::uint32_t CDialogMessage::SaveSelf(SaveLoadSystem& system, std::uint32_t pos)
{
    const Record r = CurrentRecord();
    pos = system.WriteU32(pos, r.state);
    pos = system.WriteF32(pos, r.timeOut);
    pos = system.WriteU8(pos, r.timed);
    pos = system.WriteF32(pos, r.fade);
    pos = system.WriteU32(pos, r.phase);
    pos = system.WriteWString(pos, r.text);
    pos = system.WriteString(pos, r.id);
    pos = system.WriteString(pos, r.icon);
    pos = system.WriteI32(pos, r.textX);
    return system.WriteI32(pos, r.textY);
}

std::uint32_t CDialogMessage::LoadSelf(SaveLoadSystem& system, std::uint32_t pos)
{
    Record r;
    pos = system.ReadU32(pos, r.state);
    pos = system.ReadF32(pos, r.timeOut);
    pos = system.ReadU8(pos, r.timed);
    pos = system.ReadF32(pos, r.fade);
    pos = system.ReadU32(pos, r.phase);
    pos = system.ReadWString(pos, r.text);
    pos = system.ReadString(pos, r.id);
    pos = system.ReadString(pos, r.icon);
    pos = system.ReadI32(pos, r.textX);
    pos = system.ReadI32(pos, r.textY);
    if (system.HasOverrun())
        return pos;  // the save system reports it
    if (const std::uint32_t left = system.BytesLeft(pos)) {
        a_log("CDialogMessage::LoadSelf(). %u bytes after the record: not loaded", left);
        return pos;
    }

    // Values the dialog never saves: a damaged record, which changes nothing.
    const char* damage = r.phase > PhaseDisappearing              ? "fade phase"
                         : !(r.fade >= 0.0f && r.fade <= 1.0f)     ? "fade"
                         : !std::isfinite(r.timeOut)               ? "time-out"
                         : r.textX < INT16_MIN || r.textX > INT16_MAX ? "text position"
                         : r.textY < INT16_MIN || r.textY > INT16_MAX ? "text position"
                                                                      : nullptr;
    if (!damage && !r.icon.empty()) {
        CResManager* res = CResManager::getSingletonPtr();
        aImageManager* images = res ? res->GetImageManager() : nullptr;
        if (images && !images->HasImage(r.icon + "_icon"))
            damage = "icon";
    }
    if (damage) {
        a_log("CDialogMessage::LoadSelf(). The %s is out of range; not loaded", damage);
        system.RefuseRecord();
        return pos;
    }

    ApplyRecord(r);
    return pos;
}

void CDialogMessage::ResetForNewGame()
{
    if (!m_initial)
        return;
    ApplyRecord(*m_initial);
    if (GUI::Widget* window = GetWindow()) {
        window->SetPosition(std::int16_t(m_designedX), std::int16_t(m_designedY));
        window->alpha = m_designedAlpha;
    }
}

void CDialogMessage::ApplyRecord(const Record& r)
{
    m_timeOut = r.timeOut;
    m_timed = r.timed != 0;
    m_fade = r.fade;
    m_phase = r.phase;
    GUI::Widget* text = m_text.get();
    if (text)
        text->SetText(r.text);
    m_stringId = r.id;
    SetPersIcon(r.icon);
    if (text) {
        text->SetPosition(std::int16_t(r.textX), text->GetAreaRect().y);
        text->SetPosition(text->GetAreaRect().x, std::int16_t(r.textY));
    }
    if (r.state == std::uint32_t(kStateShown))
        CDialogBase::Show();
    else
        Hide();
    // A message shown between slides stands where its fade puts it.
    if (CDialogBase::IsVisible())
        PlaceByFade();
}
