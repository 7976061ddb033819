#include "game/SpyGame/Dialogs/DialogSpyGamePanel.h"

#include <algorithm>

#include "engine/gfx/a_image.h"
#include "engine/gfx/a_image_manager.h"
#include "engine/gui/gui_server.h"
#include "engine/gui/gui_static_text.h"
#include "engine/sound/a_sound_manager.h"
#include "engine/util/a_input_server.h"
#include "engine/util/a_locale_server.h"
#include "engine/util/a_log.h"
#include "engine/util/a_string.h"
#include "engine/util/a_wformat.h"
#include "game/shell/c_game_ini.h"
#include "game/shell/c_res_manager.h"

namespace {

struct PartName {
    const char* name;
    // The part it is searched in; PartCount for the window.
    CDialogSpyGamePanel::Part parent;
};

using P = CDialogSpyGamePanel;
const PartName kParts[P::PartCount] = {
    {"GamePanel", P::PartCount},
    {"BlockWidget", P::PartCount},
    {"ContinueBtnPanel", P::PartCount},
    {"Continue", P::PartCount},
    {"skip_bonus_round_with_back", P::PartCount},
    {"skip_bonus_round_center", P::PartCount},
    {"btn_hint", P::PartCount},
    {"HintsCount", P::PartCount},
    {"hint_glass", P::PartCount},
    {"hint_title", P::BtnHint},
    {"btn_murderhunt", P::PartCount},
    {"text", P::BtnMurderHunt},
    {"title", P::BtnMurderHunt},
    {"btn_cardroom", P::PartCount},
    {"btn_map", P::PartCount},
    {"btn_menu", P::PartCount},
    {"clock", P::PartCount},
    {"clock_glass", P::PartCount},
    {"clock_text", P::PartCount},
    {"clock_text_pause", P::Clock},
    {"notebook_ispy", P::PartCount},
    {"notebook_no_ispy", P::PartCount},
    {"text2", P::NotebookISpy},
    {"bonus_desc", P::NotebookNoISpy},
    {"quennick_comment", P::NotebookNoISpy},
    {"room_name", P::PartCount},
    {"info_spy_room", P::PartCount},
    {"inv_name", P::InfoSpyRoom},
    {"items_remain", P::InfoSpyRoom},
    {"info_map", P::PartCount},
    {"level_num", P::InfoMap},
    {"n_items", P::InfoMap},
    {"Back", P::PartCount},
    {"clock_window", P::Clock},
};

constexpr const char* kImageGroup = "GamePanel";

} // namespace

CDialogSpyGamePanel::CDialogSpyGamePanel() : SaveLoadEntity(kEntityKey) {}

CDialogSpyGamePanel::~CDialogSpyGamePanel()
{
    m_trails.clear();
    m_mhStars.reset();
    m_contStars.reset();
    m_extraHint.reset();
    m_itemTasks.reset();
    m_taskList = m_clueList = m_commentList = nullptr;
}

// ------------------------------------------------------------------ init

void CDialogSpyGamePanel::FindParts()
{
    GUI::Widget* window = FindWindow(kWindowName);
    for (std::size_t i = 0; i < PartCount; ++i) {
        const PartName& part = kParts[i];
        GUI::Widget* parent = part.parent == PartCount ? window : m_parts[part.parent].get();
        m_parts[i] = GUI::WidgetRef(FindWidget(parent, part.name));
    }
    if (window)
        window->notifyRender = true;
    for (Part p : {ContinueBtnPanel, HintsCount, BtnMurderHunt, BtnCardRoom, ClockText, Back})
        if (GUI::Widget* w = GetPart(p))
            w->notifyRender = true;
}

void CDialogSpyGamePanel::SubscribeParts()
{
    using T = CDialogSpyGamePanel;
    Subscribe(GetWindow(), GUI::EventEndRender, &T::OnOverlay);
    BindResult(GetPart(Continue), GUI::EventClick, ResultBack);
    Subscribe(GetPart(ContinueBtnPanel), GUI::EventEndRender, &T::OnContinueStars);
    BindResult(GetPart(SkipWithBack), GUI::EventClick, ResultSkip);
    BindResult(GetPart(SkipCenter), GUI::EventClick, ResultSkip);
    for (Part p : {BtnHint, HintsCount, HintGlass})
        Subscribe(GetPart(p), GUI::EventClick, &T::OnHintClick);
    Subscribe(GetPart(HintsCount), GUI::EventBeginRender, &T::OnHintOverlay);
    Subscribe(GetPart(BtnMurderHunt), GUI::EventEndRender, &T::OnMurderHuntRender);
    // Through the bindings, so a destroyed panel is never called.
    for (Part p : {BtnMurderHunt, MurderHuntText, MurderHuntTitle})
        Subscribe(GetPart(p), GUI::EventClick, &T::OnMurderHuntClick);
    BindResult(GetPart(BtnCardRoom), GUI::EventClick, ResultCardRoom);
    BindResult(GetPart(BtnMap), GUI::EventClick, ResultMap);
    BindResult(GetPart(BtnMenu), GUI::EventClick, ResultMenu);
    for (Part p : {Clock, ClockGlass})
        Subscribe(GetPart(p), GUI::EventClick, &T::OnClockClick);
    Subscribe(GetPart(ClockText), GUI::EventBeginRender, &T::OnLowTimeWarning);
    BindResult(GetPart(Back), GUI::EventClick, ResultBack);
}

void CDialogSpyGamePanel::CreateEffects()
{
    if (!m_res)
        return;
    for (auto [name, slot] : {std::pair<const char*, std::unique_ptr<aParticleSystem>*>{"extra_hint", &m_extraHint},
                              {"ContBtnMagicStars", &m_contStars}})
        if (const aParticleSystem* proto = m_res->GetParticle(name)) {
            *slot = std::make_unique<aParticleSystem>(*proto);
            (*slot)->reset();
            (*slot)->stop();
        }
    if (aSoundManager* sounds = m_res->GetSoundManager()) {
        m_lowTimeSound = sounds->GetSound("low_time", "");
        m_extraHintSound = sounds->GetSound("extra_hint", "");
    }
}

void CDialogSpyGamePanel::Init()
{
    if (m_state != 0)
        return;
    m_res = CResManager::getSingletonPtr();
    if (!m_res)
        a_log("CDialogSpyGamePanel::Init(). No resource manager: no texts, images, effects or sounds");
    GUI::Server* gui = GUI::Server::getSingletonPtr();
    m_input = gui ? gui->input : nullptr;
    FindParts();
    SubscribeParts();
    if (gui && GetWindow()) {
        m_captionFont = gui->GetFont("text_caption");
        m_clueFont = gui->GetFont("text_font");
    }

    m_pulsePhase = 0.0f;
    m_taskList = m_clueList = m_commentList = nullptr;
    m_hintAllowed = true;
    m_flagOne = m_flagTwo = false;
    m_itemTasks = std::make_shared<GUI::StaticText>("ItemTasks");
    m_itemTasks->Initialize();
    m_itemTasks->SetHeight(256);

    CDialogBase::Init();
    SetClockTime(0.0f);
    SetPartVisible(BlockWidget, false);
    m_lastFrameTime = 0.0f;
    m_lowTime = false;
    m_roomPause = true;
    m_blockPause = false;
    m_mode = 0;
    m_rechargeRunning = false;
    if (const CGameIni* ini = CGameIni::getSingletonPtr())
        m_restoreTime = ini->GetTimeForRestoreHint();
    m_hintMode = false;
    CreateEffects();
    m_initial = std::make_unique<Record>(CurrentRecord());
}

// ------------------------------------------------------------------ helpers

std::wstring CDialogSpyGamePanel::Localised(const std::string& key, const std::string& group) const
{
    return m_res ? m_res->GetLocalizedString(key, group) : std::wstring();
}

const std::wstring* CDialogSpyGamePanel::FindLocalised(const std::string& key, const std::string& group) const
{
    const aLocaleServer* locale = m_res ? m_res->GetLocaleServer() : nullptr;
    return locale ? locale->findString(key, group) : nullptr;
}

aImage* CDialogSpyGamePanel::PanelImage(CachedImage& cached)
{
    if (!cached.looked) {
        cached.looked = true;
        aImageManager* images = m_res ? m_res->GetImageManager() : nullptr;
        cached.image = images ? images->GetImage(cached.name, kImageGroup) : nullptr;
    }
    return cached.image;
}

void CDialogSpyGamePanel::MousePos(std::int32_t& x, std::int32_t& y) const
{
    x = y = 0;
    if (m_input)
        m_input->getMousePos(x, y);
}

bool CDialogSpyGamePanel::MouseIn(Part part) const
{
    const GUI::Widget* w = GetPart(part);
    if (!w)
        return false;
    std::int32_t x = 0, y = 0;
    MousePos(x, y);
    const aRect r = w->GetAbsoluteRect();
    return x >= r.x && x < r.right() && y >= r.y && y < r.bottom();
}

bool CDialogSpyGamePanel::MousePressedIn(Part part) const
{
    return m_input && m_input->m_mouseButtons[0] == KEY_PRESSED && MouseIn(part);
}

bool CDialogSpyGamePanel::PartVisible(Part part) const
{
    const GUI::Widget* w = GetPart(part);
    return w && w->IsVisible();
}

bool CDialogSpyGamePanel::PartEnabled(Part part) const
{
    const GUI::Widget* w = GetPart(part);
    return w && w->IsEnabled();
}

void CDialogSpyGamePanel::SetPartVisible(Part part, bool on)
{
    if (GUI::Widget* w = GetPart(part))
        w->SetVisible(on);
}

void CDialogSpyGamePanel::SetPartEnabled(Part part, bool on)
{
    if (GUI::Widget* w = GetPart(part))
        w->SetEnabled(on);
}

void CDialogSpyGamePanel::SetPartText(Part part, const std::wstring& text)
{
    GUI::Widget* w = GetPart(part);
    if (w && w->GetText() != text)
        w->SetText(text);
}

bool CDialogSpyGamePanel::CentreOf(Part part, float& x, float& y) const
{
    const GUI::Widget* w = GetPart(part);
    if (!w)
        return false;
    const aRect r = w->GetAbsoluteRect();
    x = float(r.x) + float(r.width) / 2.0f;
    y = float(r.y) + float(r.height) / 2.0f;
    return true;
}

// ------------------------------------------------------------------ handlers

bool CDialogSpyGamePanel::OnHintClick(const GUI::EventArgs&)
{
    if (m_hintMode) {
        m_hintMode = false;
        m_state = ResultHintCancel;
    } else if (!m_entries.empty() || m_mode == 1) {
        m_state = ResultHint;
    }
    return true;
}

bool CDialogSpyGamePanel::OnMurderHuntRender(const GUI::EventArgs&) { return true; }

bool CDialogSpyGamePanel::OnMurderHuntClick(const GUI::EventArgs&)
{
    m_mhStarsArmed = false;
    if (m_hintMode)
        m_hintMode = false;
    else
        m_state = ResultMurderHunt;
    return true;
}

bool CDialogSpyGamePanel::OnClockClick(const GUI::EventArgs&)
{
    if (!(m_showsPaused && !m_findAllMode))
        m_state = ResultPause;
    return true;
}

// ------------------------------------------------------------------ room operations

void CDialogSpyGamePanel::SetupRoom(const std::string& titleKey, const std::vector<CFindItemsGroup>* taskList,
                                    const std::vector<CFindItemsGroup>* clueList, const std::string& roomKey,
                                    bool murderHunt, bool ispy)
{
    if (taskList != m_taskList) {
        m_tasks.clear();
        m_foundNames.clear();
    }
    m_taskList = taskList;
    m_clueList = clueList;
    m_roomKey = roomKey;
    m_murderHuntEnabled = murderHunt;
    m_ispyRoom = ispy;
    m_roomPause = !ispy;
    const std::wstring* roomTitle = roomKey.empty() ? nullptr : FindLocalised(roomKey);
    SetPartText(RoomName, roomTitle ? *roomTitle : std::wstring());
    SetPartVisible(BonusDesc, false);
    m_titleTask = ItemTask();
    const std::wstring* title = titleKey.empty() ? nullptr : FindLocalised(titleKey, roomKey);
    if (ispy) {
        float x = 0.0f, y = 0.0f;
        if (const GUI::Widget* text2 = GetPart(Text2)) {
            x = float(text2->GetAbsoluteX());
            y = float(text2->GetAbsoluteY());
        }
        if (title) {
            m_titleTask.text = *title;
            m_titleTask.y = y;
            if (TakeListStyle())
                LayoutTask(m_titleTask);
            y += m_titleTask.height;
        }
        m_listOrigins[m_personageName] = {x, y};
    } else if (title) {
        SetPartText(BonusDesc, *title);
        SetPartVisible(BonusDesc, true);
    }
    SetPartVisible(BtnMurderHunt, murderHunt);
    RefreshTasks(0.0f);
    SetPartVisible(QuennickComment, true);
}

void CDialogSpyGamePanel::Clear()
{
    m_commentList = nullptr;
    m_taskList = nullptr;
    if (!m_personageName.empty()) {
        SetupRoom(std::string(), nullptr, nullptr, std::string(), false, false);
        SetPersonageComment(std::string(), nullptr, std::string());
    }
    m_hintMode = false;
    m_ispyRoom = false;
    m_murderHuntEnabled = false;
    m_trails.clear();
    m_tasks.clear();
    m_foundNames.clear();
    m_titleTask = ItemTask();
}

void CDialogSpyGamePanel::SetMode(std::int32_t mode)
{
    m_mode = mode;
    if (!m_murderHuntEnabled)
        SetPartVisible(BtnMurderHunt, false);
    else if (mode >= 0 && mode <= 2)
        SetPartVisible(BtnMurderHunt, true);
    else if (mode == 3 || mode == 4)
        SetPartVisible(BtnMurderHunt, false);
}

void CDialogSpyGamePanel::SetLevelNum(std::int32_t n)
{
    const std::wstring text =
        n != 0 ? Localised("investigation") + L" " + str_fromIntW(n) : Localised("find_all");
    SetPartText(LevelNum, text);
    SetPartText(InvName, text);
}

void CDialogSpyGamePanel::SetPersonageName(const std::string& name) { m_personageName = name; }

void CDialogSpyGamePanel::SetPersonageComment(const std::string& key,
                                              const std::vector<CFindItemsGroup>* commentList,
                                              const std::string& prefix)
{
    m_commentList = commentList;
    m_commentPrefix = prefix;
    SetPartText(QuennickComment, key.empty() ? std::wstring() : Localised(key, prefix));
    SetPartVisible(QuennickComment, true);
}

void CDialogSpyGamePanel::AddFoundItem(const std::string& name)
{
    m_foundNames.push_back(name);
    m_foundChanged = true;
}

void CDialogSpyGamePanel::MarkItemTask(const std::string& key)
{
    for (ItemTask& task : m_tasks)
        if (task.key == key) {
            task.state = TaskRecheck;
            return;
        }
}

bool CDialogSpyGamePanel::IsPointInside(std::int32_t x, std::int32_t y) const
{
    const auto holds = [x, y](const GUI::Widget* w) {
        const aRect r = w->GetAbsoluteRect();
        return x >= r.x && x < r.right() && y >= r.y && y < r.bottom();
    };
    if (const GUI::Widget* panel = GetPart(GamePanel); panel && holds(panel))
        return true;
    const GUI::Widget* cont = GetPart(ContinueBtnPanel);
    return cont && cont->IsVisible() && holds(cont);
}

void CDialogSpyGamePanel::ShowSkipBonusRound(bool show)
{
    if (!show) {
        SetPartVisible(SkipWithBack, false);
        SetPartVisible(SkipCenter, false);
        return;
    }
    const GUI::Widget* back = GetPart(Back);
    SetPartVisible(back && back->IsVisible(true) ? SkipWithBack : SkipCenter, true);
}

// ------------------------------------------------------------------ update

void CDialogSpyGamePanel::Update(float dt, std::int32_t a, std::int32_t b, std::int32_t c, std::int32_t d)
{
    RefreshTasks(dt);
    if (m_ispyRoom && !m_findAllMode) {
        UpdateClockText(dt);
    } else if (m_findAllMode) {
        SetPartText(ClockText, std::wstring());
        SetPartVisible(ClockTextPause, true);
    } else {
        SetPartText(ClockText, Localised("pause"));
        SetPartVisible(ClockTextPause, false);
    }
    if (const GUI::Widget* block = GetPart(BlockWidget); block && block->IsVisible(true))
        return;
    UpdateEffects(dt);
    if (m_hintMode) {
        if (m_input && m_input->m_mouseButtons[0] == KEY_PRESSED)
            ResolveHintPress();
        return;
    }
    if (GUI::Widget* hint = GetPart(BtnHint); hint && !hint->IsEnabled(true) && MousePressedIn(BtnHint))
        m_state = ResultHintDisabled;
    if (GUI::Widget* hunt = GetPart(BtnMurderHunt);
        hunt && !hunt->IsEnabled(true) && hunt->IsVisible(true) && MousePressedIn(BtnMurderHunt))
        m_state = ResultMurderHunt;
    SetPartVisible(QuennickComment, true);
    if (a != -1)
        UpdateCounters(a, b, c, d);
}

void CDialogSpyGamePanel::UpdateCounters(std::int32_t a, std::int32_t b, std::int32_t c, std::int32_t d)
{
    // In 64 bits: the counts come from the personage's lists and cannot overflow there.
    const std::int64_t remaining64 = std::int64_t(a) - b + c - d, total64 = std::int64_t(a) + c;
    const auto clamp32 = [](std::int64_t v) {
        return std::int32_t(std::clamp<std::int64_t>(v, INT32_MIN, INT32_MAX));
    };
    const std::int32_t remaining = clamp32(remaining64), total = clamp32(total64);
    const std::array<std::int32_t, 3> shown{{remaining, total, m_findAllMode ? 1 : 0}};
    if (shown == m_shownCounts)
        return;
    m_shownCounts = shown;
    const std::string one = remaining == 1 ? "_1" : "";
    const std::string remainKey = m_findAllMode ? "remain_text_find_all" : "remain_text";
    SetPartText(ItemsRemain, a_wformat(Localised(remainKey + one), remaining));
    SetPartText(NItems, a_wformat(Localised("fmt_n_items" + one), remaining, total));
}
