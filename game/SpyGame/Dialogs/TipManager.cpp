#include "game/SpyGame/Dialogs/TipManager.h"

#include <algorithm>
#include <climits>
#include <cmath>

#include "engine/gui/gui_server.h"
#include "engine/gui/gui_static_text.h"
#include "engine/gui/gui_window.h"
#include "engine/sound/a_sound.h"
#include "engine/sound/a_sound_manager.h"
#include "engine/util/a_file_server.h"
#include "engine/util/a_input_server.h"
#include "engine/util/a_log.h"
#include "engine/util/a_options_file.h"
#include "engine/util/a_string.h"
#include "game/shell/c_res_manager.h"
#include "game/shell/current_profile.h"
#include "game/shell/save_load_system.h"

namespace {

constexpr std::int32_t kScreenHalfX = 512;
constexpr std::int32_t kScreenHalfY = 384;
// Far beyond any screen, within the 16-bit widget area.
constexpr std::int32_t kMaxExtent = 8192;

std::int16_t ToArea(std::int64_t v) { return std::int16_t(std::clamp<std::int64_t>(v, -kMaxExtent, kMaxExtent)); }

// Counters of -1 count down for ever; one from the file at the bottom of
// the range stays there.
void CountDown(std::int32_t& counter)
{
    if (counter > INT_MIN)
        --counter;
}

// A quarter outside -1..3 would index past the four styles.
std::int32_t CheckedQuarter(std::int32_t quarter, const std::string& tip)
{
    if (quarter >= -1 && quarter <= 3)
        return quarter;
    a_log("CTipManager. Tip '%s': Quarter %d is out of range, -1 is taken", tip.c_str(), int(quarter));
    return -1;
}

// A time from the file: anything not a finite positive number is 0.
float TimeValue(const std::string& text)
{
    const double v = str_toDouble(text);
    return std::isfinite(v) && v > 0.0 ? float(std::min(v, 1.0e6)) : 0.0f;
}

} // namespace

CTipManager::CTipManager() : SaveLoadEntity(kEntityKey) {}

CTipManager::~CTipManager()
{
    Unsubscribe();
    m_current = nullptr;
}

void CTipManager::Unsubscribe()
{
    for (const GUI::Connection& c : m_connections)
        c.Unsubscribe();
    m_connections.clear();
}

GUI::Widget* CTipManager::GetPart(const std::string& name) const
{
    for (const auto& [partName, ref] : {std::pair<const char*, const GUI::WidgetRef*>{"BlockWidget", &m_block},
                                        {"text", &m_text},
                                        {"close", &m_close},
                                        {"dont_show", &m_dontShow},
                                        {"dont_show_auto_check", &m_check}})
        if (name == partName)
            return ref->get();
    return nullptr;
}

// ------------------------------------------------------------------ loading

void CTipManager::BindWidgets()
{
    Unsubscribe();
    m_window = m_balloon = m_block = m_text = m_close = m_dontShow = m_check = GUI::WidgetRef();
    GUI::Server* gui = GUI::Server::getSingleton();
    m_input = gui ? gui->input : nullptr;
    GUI::Widget* root = gui ? gui->GetRoot() : nullptr;
    GUI::Widget* window = root ? root->FindChild(kWindowName, true) : nullptr;
    if (!window) {
        a_log("CTipManager::LoadTips - window '%s' not found, no tip will show", kWindowName);
        return;
    }
    m_window = GUI::WidgetRef(window);
    const auto find = [&](GUI::Widget* parent, const char* name) {
        GUI::Widget* w = parent ? parent->FindChild(name, true) : nullptr;
        if (parent && !w)
            a_log("CTipManager::LoadTips - widget '%s' not found in '%s'", name, parent->GetName().c_str());
        return GUI::WidgetRef(w);
    };
    m_balloon = find(window, "balloon");
    m_block = find(window, "BlockWidget");
    m_close = find(window, "close");
    m_dontShow = find(window, "dont_show");
    m_text = find(window, "text");
    m_check = find(m_dontShow.get(), "dont_show_auto_check");
    if (m_text.get() && !m_text.as<GUI::StaticText>())
        a_log("CTipManager::LoadTips - widget 'text' is no static text, the balloons stay empty");
    if (!m_balloon.get())
        a_log("CTipManager::LoadTips - no balloon, no tip will show");
    else if (!m_balloon.as<GUI::Window>())
        a_log("CTipManager::LoadTips - the balloon is no window, its styles cannot be set");

    for (GUI::Widget* w : {window, m_balloon.get(), m_close.get()})
        if (w)
            m_connections.push_back(w->SubscribeEvent(GUI::EventClick, &m_tipClick));
    if (GUI::Widget* box = m_dontShow.get())
        m_connections.push_back(box->SubscribeEvent(GUI::EventClick, &m_dontShowClick));

    for (int i = 0; i < 4; ++i) {
        m_styles[i] = gui->GetStyle("tip_style" + std::to_string(i));
        m_pointStyles[i] = gui->GetStyle("tip_style" + std::to_string(i) + "_point");
    }

    const aRect balloon = m_balloon.get() ? m_balloon.get()->GetAreaRect() : aRect();
    m_metrics.defaultWidth = balloon.width;
    m_metrics.arrowHeight = balloon.y;
    m_metrics.minHeight = balloon.height;
    m_metrics.arrowOffset = balloon.x;
    m_metrics.textMargin = m_text.get() ? m_text.get()->GetAreaRect().y : 0;
    m_metrics.boxGap = m_dontShow.get() ? m_dontShow.get()->GetAreaRect().y : 0;
}

void CTipManager::ReadTip(const aOptionsFile& file, CTipInfo& tip)
{
    tip.x = file.getIntDef("X", 0);
    tip.y = file.getIntDef("Y", 0);
    tip.width = file.getIntDef("Width", m_metrics.defaultWidth);
    tip.pointer = file.getIntDef("Pointer", 0) == 1;
    tip.pointName = file.getStringDef("PointName", "");
    if (file.hasKey("Quarter"))
        tip.quarter = CheckedQuarter(file.getInt("Quarter"), tip.name);
    if (file.hasKey("TimesPerLevel"))
        tip.timesPerLevel = file.getInt("TimesPerLevel");
    if (file.hasKey("LevelsCount"))
        tip.levelsCount = file.getInt("LevelsCount");
}

void CTipManager::LoadTips(const std::string& path)
{
    HideTip();
    BindWidgets();
    m_showSound = nullptr;
    if (CResManager* res = CResManager::getSingletonPtr())
        if (aSoundManager* sounds = res->GetSoundManager())
            m_showSound = sounds->GetSound("show_tip", "");

    if (!file_isExistOrPacked(path))
        a_log("CTipManager::LoadTips - file '%s' not found, no tip is defined", path.c_str());
    aOptionsFile file(path);
    m_fadeTime = TimeValue(file.getValue("General", "FadeTime"));
    m_closeAnywhereTime = TimeValue(file.getValue("General", "CloseAnywhereTime"));

    file.firstSection();
    if (!file.isSectionsEnd())
        file.nextSection();  // the first section is the general one
    for (; !file.isSectionsEnd(); file.nextSection()) {
        const std::string name = file.getSectionName();
        CTipInfo& tip = m_tips[name];
        tip.name = name;
        ReadTip(file, tip);
    }
    CTipInfo& user = m_tips[kUserTip];
    if (user.name.empty()) {
        user.name = kUserTip;
        user.width = m_metrics.defaultWidth;
    }
    // Tips the main menu shows come before any investigation resets them.
    ResetCounters(true);
}

// ------------------------------------------------------------------ showing

CTipManager::CTipInfo* CTipManager::FindTip(const std::string& name)
{
    const auto it = m_tips.find(name);
    if (it == m_tips.end()) {
        a_log("CTipManager::FindTip - tip '%s' not defined", name.c_str());
        return nullptr;
    }
    return &it->second;
}

bool CTipManager::CanShowTip(const std::string& name)
{
    const CTipInfo* tip = FindTip(name);
    return tip && tip->levelsLeft != 0 && tip->showsLeft != 0;
}

bool CTipManager::ShowTip(const std::string& name, std::int32_t x, std::int32_t y, const std::wstring& text)
{
    if (!m_balloon.get())
        return false;
    CTipInfo* tip = FindTip(name);
    if (!tip || tip->levelsLeft == 0 || tip->showsLeft == 0)
        return false;
    CountDown(tip->showsLeft);
    if (!tip->enabled || (!CurrentProfile::Get().showTips && !tip->pointer))
        return false;
    OpenTip(*tip, x, y, !tip->pointer, text);
    return true;
}

void CTipManager::ShowUserTip(const std::wstring& text, std::int32_t x, std::int32_t y, std::int32_t width,
                              std::int32_t quarter, std::int32_t format)
{
    if (!m_balloon.get())
        return;
    CTipInfo& tip = m_tips[kUserTip];
    tip.name = kUserTip;
    tip.quarter = CheckedQuarter(quarter, kUserTip);
    tip.width = width == kDefaultWidth ? m_metrics.defaultWidth : width;
    tip.textFormat = format;
    OpenTip(tip, x, y, false, text);
}

void CTipManager::OpenTip(CTipInfo& tip, std::int32_t x, std::int32_t y, bool offerDontShow, const std::wstring& text)
{
    GUI::Widget* balloon = m_balloon.get();
    GUI::Widget* window = m_window.get();
    if (!balloon || !window)
        return;
    const Metrics& m = m_metrics;
    m_current = &tip;

    std::int32_t quarter = CheckedQuarter(tip.quarter, tip.name);
    if (quarter == -1)
        quarter = (x >= kScreenHalfX ? 1 : 0) | (y > kScreenHalfY ? 2 : 0);
    m_quarter = quarter;

    // A width that leaves the text no room is taken for a slip of the data.
    std::int32_t width = tip.width;
    if (width <= 2 * m.textMargin)
        width = m.defaultWidth;
    width = std::min(width, kMaxExtent);

    std::int32_t h = 0;
    GUI::StaticText* label = m_text.as<GUI::StaticText>();
    if (label) {
        label->SetHorzFormatting(tip.textFormat);
        label->SetSize(std::uint16_t(std::max(width - 2 * m.textMargin, 0)), 10000);
        label->SetText(text.empty() && CResManager::getSingletonPtr()
                           ? CResManager::getSingletonPtr()->GetLocalizedString("tip." + tip.name)
                           : text);
        const float laid = label->GetTextHeight();
        h = std::isfinite(laid) ? std::int32_t(std::clamp(laid + 0.5f, 0.0f, float(kMaxExtent))) : 0;
        label->SetHeight(std::uint16_t(h));
    }

    GUI::Widget* box = m_dontShow.get();
    std::int32_t height = h + 2 * m.textMargin + m.arrowHeight;
    height += offerDontShow && box ? box->GetAreaRect().height + m.boxGap : m.boxGap / 2;
    height = std::clamp(height, m.minHeight, kMaxExtent);

    if (auto* frame = dynamic_cast<GUI::Window*>(balloon))
        frame->normalStyle = tip.pointer ? m_pointStyles[quarter] : m_styles[quarter];

    const std::int64_t px = x == -1 ? tip.x : x;
    const std::int64_t py = y == -1 ? tip.y : y;
    const std::int64_t bx = (quarter & 1) ? px + m.arrowOffset - width : px - m.arrowOffset;
    const std::int64_t by = (quarter & 2) ? py - height : py;

    const std::int32_t textY = (quarter & 2) ? m.textMargin : m.textMargin + m.arrowHeight;
    if (label)
        label->SetPosition(label->GetAreaRect().x, ToArea(textY));
    const std::int32_t boxY = textY + m.boxGap + h;
    if (box) {
        box->SetPosition(box->GetAreaRect().x, ToArea(boxY));
        box->SetVisible(offerDontShow);
    }
    if (GUI::Widget* check = m_check.get())
        check->SetVisible(false);
    if (GUI::Widget* close = m_close.get()) {
        close->SetPosition(close->GetAreaRect().x, ToArea(boxY));
        close->SetVisible(false);
    }
    SetBalloonAlpha(0.0f);

    balloon->SetAreaRect(aRect(ToArea(bx), ToArea(by), std::uint16_t(width), std::uint16_t(height)));
    window->SetVisible(true);
    window->BringToFront();
    if (m_showSound)
        m_showSound->Play(false, false);

    m_timer = 0.0f;
    m_pointerTip = tip.pointer;
    if (GUI::Widget* block = m_block.get())
        block->SetVisible(tip.pointer);
}

// ------------------------------------------------------------------ per frame

void CTipManager::SetBalloonAlpha(float alpha)
{
    if (GUI::Widget* balloon = m_balloon.get())
        balloon->alpha = std::clamp(alpha, 0.0f, 1.0f);
}

void CTipManager::StartFadeOut()
{
    if (m_fadeTime <= 0.0f)
        HideTip();
    else
        m_timer = -m_fadeTime;
}

void CTipManager::Update(float dt)
{
    if (!m_current)
        return;
    if (m_timer < 0.0f) {
        m_timer += dt;
        if (m_timer < 0.0f)
            SetBalloonAlpha(-m_timer / m_fadeTime);
        else
            HideTip();
        return;
    }
    // timer >= FadeTime first: a fade time of 0 shows the balloon whole.
    SetBalloonAlpha(m_timer >= m_fadeTime ? 1.0f : m_timer / m_fadeTime);
    // It stops once past both times; "past" lets a click anywhere close a tip
    // whose file gives neither time.
    if (m_timer <= m_fadeTime + m_closeAnywhereTime)
        m_timer += dt;
    // A press on the balloon's own box or close button is theirs: their
    // click comes with the release, and a fade begun now would refuse it.
    const bool pressed = m_input && m_input->m_mouseButtons[0] == KEY_PRESSED;
    const bool onControl = IsMouseOver(m_dontShow.get()) || IsMouseOver(m_close.get());
    if (pressed && !onControl && m_timer > m_closeAnywhereTime && !m_current->pointer)
        StartFadeOut();
}

bool CTipManager::OnTipClick(const GUI::EventArgs&)
{
    if (m_current && !m_current->pointer && m_timer >= m_fadeTime)
        StartFadeOut();
    return true;
}

bool CTipManager::OnDontShowClick(const GUI::EventArgs&)
{
    if (m_current && m_timer > 0.0f) {
        std::uint8_t& showTips = CurrentProfile::Get().showTips;
        showTips = showTips ? 0 : 1;
        if (GUI::Widget* check = m_check.get())
            check->SetVisible(showTips == 0);
        // The player has answered the tip; it fades with its tick showing.
        StartFadeOut();
    }
    return true;
}

void CTipManager::HideTip()
{
    if (!m_current)
        return;
    if (GUI::Widget* window = m_window.get())
        window->SetVisible(false);
    m_current = nullptr;
}

bool CTipManager::IsMouseOver(const GUI::Widget* widget) const
{
    if (!widget || !m_input || !widget->IsVisible())
        return false;
    std::int32_t x = 0, y = 0;
    m_input->getMousePos(x, y);
    const std::int32_t left = widget->GetAbsoluteX(), top = widget->GetAbsoluteY();
    const aRect& area = widget->GetAreaRect();
    return x >= left && x < left + area.width && y >= top && y < top + area.height;
}

bool CTipManager::IsMouseOverTip() const
{
    // A hidden balloon keeps its last place; it must not swallow clicks.
    return m_current && IsMouseOver(m_balloon.get());
}

bool CTipManager::TakesPress(bool findableUnder) const
{
    if (!IsMouseOverTip())
        return false;
    return !findableUnder || m_current->pointer || IsMouseOver(m_dontShow.get()) || IsMouseOver(m_close.get());
}

std::string CTipManager::GetPointName() const
{
    return m_current && m_current->pointer ? m_current->pointName : std::string();
}

// ------------------------------------------------------------------ counters

void CTipManager::ResetCounters(bool full)
{
    for (auto& [name, tip] : m_tips) {
        (void)name;
        tip.showsLeft = tip.timesPerLevel;
        if (full) {
            tip.levelsLeft = tip.levelsCount;
            tip.enabled = true;
        }
    }
    m_pointerTip = false;
}

void CTipManager::EndLevel()
{
    HideTip();
    for (auto& [name, tip] : m_tips) {
        (void)name;
        if (tip.showsLeft != tip.timesPerLevel) {
            tip.showsLeft = tip.timesPerLevel;
            CountDown(tip.levelsLeft);
        }
    }
}

// ------------------------------------------------------------------ record

std::uint32_t CTipManager::SaveSelf(SaveLoadSystem& system, std::uint32_t pos)
{
    pos = system.WriteU32(pos, std::uint32_t(m_tips.size()));
    for (const auto& [name, tip] : m_tips) {
        (void)name;
        pos = system.WriteU8(pos, tip.enabled ? 1 : 0);
        pos = system.WriteU32(pos, std::uint32_t(tip.showsLeft));
        pos = system.WriteU32(pos, std::uint32_t(tip.levelsLeft));
    }
    return pos;
}

std::uint32_t CTipManager::LoadSelf(SaveLoadSystem& system, std::uint32_t pos)
{
    struct Saved {
        std::uint8_t enabled = 0;
        std::uint32_t shows = 0, levels = 0;
    };
    // The whole record first: a damaged one changes nothing.
    std::uint32_t count = 0;
    pos = system.ReadCount(pos, count, kRecordSize);
    std::vector<Saved> saved(system.HasOverrun() ? 0 : count);
    for (Saved& s : saved) {
        pos = system.ReadU8(pos, s.enabled);
        pos = system.ReadU32(pos, s.shows);
        pos = system.ReadU32(pos, s.levels);
    }
    if (system.HasOverrun()) {
        a_log("CTipManager::LoadSelf - the record is damaged, the tip counters stay as they were");
        return pos;
    }
    // Matched by position: the names are not saved.
    auto it = m_tips.begin();
    for (const Saved& s : saved) {
        if (it == m_tips.end())
            break;
        it->second.enabled = s.enabled != 0;
        it->second.showsLeft = std::int32_t(s.shows);
        it->second.levelsLeft = std::int32_t(s.levels);
        ++it;
    }
    return pos;
}
