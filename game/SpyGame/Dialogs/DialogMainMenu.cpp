#include "game/SpyGame/Dialogs/DialogMainMenu.h"

#include "engine/gfx/a_image_manager.h"
#include "engine/gui/gui_static_image.h"
#include "engine/util/a_application.h"
#include "engine/util/a_file_server.h"
#include "engine/util/a_input_server.h"
#include "engine/util/a_locale_server.h"
#include "engine/util/a_string.h"
#include "game/shell/c_game_ini.h"
#include "game/shell/c_res_manager.h"

namespace {

const char* const kMHRibbons[4] = {"goldmh", "silvermh", "bronzemh", "simplemh"};
const char* const kFARibbons[4] = {"goldfa", "silverfa", "bronzefa", "simplefa"};
const std::int16_t kMHPlaces[4][2] = {{763, 193}, {763, 193}, {763, 193}, {789, 198}};
const std::int16_t kFAPlaces[4][2] = {{845, 193}, {845, 193}, {845, 193}, {871, 200}};
constexpr std::int32_t kHintWidth = 100;

} // namespace

CDialogMainMenu::CDialogMainMenu() { m_state = 3; }

void CDialogMainMenu::LoadAmbient()
{
    if (m_state != 3)
        return;
    const CGameIni* ini = CGameIni::getSingletonPtr();
    CResManager* res = CResManager::getSingletonPtr();
    if (res && (!ini || ini->IsAmbientEnabled()) && file_isExistOrPacked(kAmbientFile))
        m_ambience.CreateResLoadingLists(kAmbientFile, kAmbientList, res->GetSoundManager());
    m_state = kStateNew;
}

void CDialogMainMenu::Init()
{
    if (m_state != kStateNew)
        return;
    GUI::Widget* window = FindWindow("MainMenu");
    auto child = [this](const char* name) { return GUI::WidgetRef(FindWidget(name)); };
    m_background = child("Background");
    m_play = child("Play");
    m_options = child("Options");
    m_help = child("Help");
    m_changeProfile = child("ChangeProfile");
    m_exit = child("Exit");
    m_findAll = child("FindAll");
    m_moreGames = child("MoreGames");
    m_awardMH = child("AwardMH");
    m_awardFA = child("AwardFA");
    m_userName = child("UserName");
    m_welcome = child("Welcome");

    if (window)
        window->notifyRender = true;
    BindResult(window, GUI::EventBeginRender, kStateShown);
    const std::pair<const GUI::WidgetRef*, std::int32_t> results[] = {
        {&m_play, 4},           {&m_options, 5}, {&m_help, 6},    {&m_exit, 8},     {&m_changeProfile, 9},
        {&m_findAll, 10},       {&m_awardMH, 11}, {&m_awardFA, 12}, {&m_moreGames, 13},
    };
    for (const auto& [widget, id] : results)
        BindResult(widget->get(), GUI::EventClick, id);
    Subscribe(m_awardMH.get(), GUI::EventMouseEnter, &CDialogMainMenu::OnEnterMH);
    Subscribe(m_awardMH.get(), GUI::EventMouseLeave, &CDialogMainMenu::OnLeaveMH);
    Subscribe(m_awardFA.get(), GUI::EventMouseEnter, &CDialogMainMenu::OnEnterFA);
    Subscribe(m_awardFA.get(), GUI::EventMouseLeave, &CDialogMainMenu::OnLeaveFA);
    Subscribe(m_awardMH.get(), GUI::EventMouseUp, &CDialogMainMenu::OnRibbonMouseUp);
    Subscribe(m_awardFA.get(), GUI::EventMouseUp, &CDialogMainMenu::OnRibbonMouseUp);
    m_ambience.CreateSounds();
    CDialogBase::Init();
    m_hint.Init();
}

void CDialogMainMenu::Show()
{
    if (!GetWindow())
        return;
    m_ambience.Play();
    CDialogBase::Show();
}

void CDialogMainMenu::Hide()
{
    // Before Init this would also lose the state LoadAmbient and Init wait for.
    if (!GetWindow())
        return;
    m_ambience.Stop();
    CDialogBase::Hide();
    m_hint.Hide();
    m_overMH = m_overFA = false;
}

void CDialogMainMenu::SetControlsVisible(bool on)
{
    auto show = [](const GUI::WidgetRef& widget, bool visible) {
        if (GUI::Widget* w = widget.get())
            w->SetVisible(visible);
    };
    // Exit too: under another page it would answer nothing.
    for (const GUI::WidgetRef* button : {&m_play, &m_options, &m_help, &m_changeProfile, &m_findAll, &m_exit})
        show(*button, on);
    show(m_moreGames, on && !m_moreGamesHidden);
    show(m_awardMH, on && m_hasMH);
    show(m_awardFA, on && m_hasFA);
    SetWelcomeVisible(on);
}

void CDialogMainMenu::SetWelcomeVisible(bool on)
{
    if (GUI::Widget* welcome = m_welcome.get())
        welcome->SetVisible(on);
}

void CDialogMainMenu::SetUserName(const std::string& name)
{
    if (GUI::Widget* text = m_userName.get())
        text->SetText(str_cp1251ToWide(name));
}

void CDialogMainMenu::BlockFindAll(bool block)
{
    if (GUI::Widget* button = m_findAll.get())
        button->SetEnabled(!block);
}

void CDialogMainMenu::HideMoreGames(bool hide)
{
    GUI::Widget* more = m_moreGames.get();
    if (!hide || !more)
        return;
    more->SetVisible(false);
    m_moreGamesHidden = true;
    if (GUI::Widget* exit = m_exit.get())
        exit->SetPosition(more->GetAreaRect().x, more->GetAreaRect().y);
}

bool CDialogMainMenu::SetAward(const GUI::WidgetRef& widget, std::int32_t tier, const char* const names[4],
                               const std::int16_t places[4][2])
{
    auto* ribbon = widget.as<GUI::StaticImage>();
    if (!ribbon)
        return false;
    CResManager* res = CResManager::getSingletonPtr();
    aImageManager* images = res ? res->GetImageManager() : nullptr;
    const bool known = tier >= 1 && tier <= 4;
    const aImage* picture = known && images ? images->GetImage(names[tier - 1], "Menu") : nullptr;
    if (!picture) {
        ribbon->SetVisible(false);
        return false;
    }
    const auto& place = places[tier - 1];
    ribbon->SetAreaRect(aRect(place[0], place[1], picture->getWidth(), picture->getHeight()));
    ribbon->SetImage(picture, nullptr);
    ribbon->Update(0.0f);
    ribbon->SetVisible(true);
    return true;
}

void CDialogMainMenu::SetAwardMH(std::int32_t tier) { m_hasMH = SetAward(m_awardMH, tier, kMHRibbons, kMHPlaces); }

void CDialogMainMenu::SetAwardFA(std::int32_t tier) { m_hasFA = SetAward(m_awardFA, tier, kFARibbons, kFAPlaces); }

void CDialogMainMenu::UpdateHints(float dt)
{
    m_ambience.Update(dt);
    m_hint.Update(dt);
    const aInputServer* input = g_application ? g_application->m_inputServer : nullptr;
    if (!input)
        return;
    std::int32_t x = 0, y = 0;
    input->getMousePos(x, y);
    const CResManager* res = CResManager::getSingletonPtr();
    auto offer = [&](bool over, const char* key) {
        if (over && m_hint.CanShowHint(x, y) && res && res->GetLocaleServer()->findString(key))
            m_hint.ShowHint(x, y, kHintWidth, key, "");
    };
    offer(m_overMH, "murder_hunt_hint");
    offer(m_overFA, "find_all_hint");
}

bool CDialogMainMenu::OnEnterMH(const GUI::EventArgs&)
{
    m_overMH = true;
    return false;
}

bool CDialogMainMenu::OnLeaveMH(const GUI::EventArgs&)
{
    m_overMH = false;
    return false;
}

bool CDialogMainMenu::OnEnterFA(const GUI::EventArgs&)
{
    m_overFA = true;
    return false;
}

bool CDialogMainMenu::OnLeaveFA(const GUI::EventArgs&)
{
    m_overFA = false;
    return false;
}

bool CDialogMainMenu::OnRibbonMouseUp(const GUI::EventArgs&)
{
    m_hint.Hide();
    return false;
}

