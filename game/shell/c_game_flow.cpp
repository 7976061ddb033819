#include "game/shell/c_game_flow.h"

#include <algorithm>
#include <cerrno>

#include "engine/gfx/a_graph_server.h"
#include "engine/gfx/a_image_manager.h"
#include "engine/gui/gui_server.h"
#include "engine/sound/a_ambient_sound_system.h"
#include "engine/sound/a_music_manager.h"
#include "engine/sound/a_sound_engine.h"
#include "engine/sound/a_sound_manager.h"
#include "engine/util/a_application.h"
#include "engine/util/a_file_server.h"
#include "engine/util/a_input_server.h"
#include "engine/util/a_log.h"
#include "engine/util/a_options_file.h"
#include "engine/util/a_string.h"
#include "engine/util/a_wformat.h"
#include "game/shell/c_game_ini.h"
#include "game/shell/c_particle_manager.h"
#include "game/shell/c_res_loader.h"
#include "game/shell/c_res_manager.h"
#include "game/shell/profiles_manager.h"
#include "game/shell/save_error_text.h"
#include "game/shell/save_load_entity.h"
#include "game/shell/save_load_system.h"
#include "platform/input/dinput_keys.h"

namespace {

constexpr const char* kEndGame = "EndGame";

// The head of the game root's record: the name of the investigation the
// saved game stands at. The counters and flags after it are read past.
class StoryName : public SaveLoadEntity {
public:
    StoryName() : SaveLoadEntity("<SpyMain>") {}
    std::uint32_t LoadSelf(SaveLoadSystem& system, std::uint32_t pos) override
    {
        std::uint32_t counter = 0;
        std::uint8_t flag = 0;
        pos = system.ReadString(pos, name);
        pos = system.ReadU32(pos, counter);
        pos = system.ReadU32(pos, counter);
        pos = system.ReadU8(pos, flag);
        return system.ReadU8(pos, flag);
    }
    std::uint32_t SaveSelf(SaveLoadSystem& system, std::uint32_t pos) override
    {
        pos = system.WriteString(pos, name);
        pos = system.WriteU32(pos, 0);
        pos = system.WriteU32(pos, 0);
        pos = system.WriteU8(pos, 0);
        return system.WriteU8(pos, 0);
    }
    std::string name;
};

bool storySaveAtEnd(const std::string& file)
{
    SaveLoadSystem save;
    if (!save.BeginCheck(file, CGameFlow::kSaveVersion))
        return false;
    StoryName story;
    const bool read = save.LoadEntity(&story);
    save.Finish();
    return read && story.name == kEndGame;
}

// This frame's input as the screens read it.
struct FrameInput {
    bool click = false;         // a button went down
    bool key = false;           // a key went down (Print Screen aside)
    bool escape = false;
    bool leftReleased = false;
    std::int32_t x = 0, y = 0;
};

FrameInput readInput()
{
    FrameInput in;
    const aInputServer* input = g_application ? g_application->m_inputServer : nullptr;
    if (!input)
        return in;
    for (std::uint32_t button : input->m_mouseButtons)
        in.click = in.click || button == KEY_PRESSED;
    for (int key = 0; key < 256; ++key)
        if (key != platform::DIK_SYSRQ && input->keyState(std::uint8_t(key)) == KEY_PRESSED)
            in.key = true;
    in.escape = input->keyState(platform::DIK_ESCAPE) == KEY_PRESSED;
    in.leftReleased = input->m_mouseButtons[0] == KEY_RELEASED;
    input->getMousePos(in.x, in.y);
    return in;
}

void screenSize(float& w, float& h)
{
    const aGraphServer* gs = g_application ? g_application->m_graphServer : nullptr;
    w = gs ? float(gs->m_backBufferWidth) : 1024.0f;
    h = gs ? float(gs->m_backBufferHeight) : 768.0f;
}

} // namespace

CGameFlow::CGameFlow(std::unique_ptr<Root> root, std::unique_ptr<Menu> menu, Tips* tips)
    : m_root(std::move(root)), m_menu(std::move(menu)), m_tips(tips)
{
}

CGameFlow::~CGameFlow()
{
    if (m_root)
        m_root->Unload();
}

bool CGameFlow::Can(bool present, const std::string& what)
{
    if (!present && m_skipped.insert(what).second)
        a_log("CGameFlow. Nothing serves %s yet: skipped", what.c_str());
    return present;
}

bool CGameFlow::HasDialog(Menu::Dialog dialog, const char* what)
{
    return Can(m_menu && m_menu->Has(dialog), std::string("the ") + what + " dialog");
}

void CGameFlow::Start()
{
    CResManager* res = CResManager::getSingletonPtr();
    GUI::Server* gui = GUI::Server::getSingletonPtr();
    if (res)
        res->GetImageManager()->LoadList("images:Loading/_images.list", "");
    if (gui) {
        gui->load("gui:LoadingScreen.agui");
        gui->InitWidgets();
    }
    m_loader = std::make_unique<CResLoader>();
    m_splash.Load("gamedata:splash.ini", res ? res->GetImageManager() : nullptr);
    m_screen = kSplash;
}

bool CGameFlow::Update(float dt)
{
    if (m_screen != kQuit && file_isArchiveLost()) {
        // What is on screen may stand on data that could not be read: the
        // game ends as when its data is found wanting at start-up, and
        // nothing is saved over the last save.
        a_log("CGameFlow. The game data changed on disk while the game ran: the game ends%s",
              m_screen == kPlay ? "; the last save stands" : "");
        Quit(true);
        return false;
    }
    switch (m_screen) {
    case kBoot:
    case kQuit:
        break;
    case kSplash: {
        const FrameInput in = readInput();
        m_splash.Update(dt, in.click || in.key, in.escape);
        if (m_splash.IsDone())
            StartLoading();
        break;
    }
    case kLoading:
        if (!m_loader || m_loader->Update(dt) == CResLoader::kDone)
            FinishLoading();
        break;
    case kMenu:
        UpdateMenu(dt);
        break;
    case kProfiles:
        UpdateProfiles(dt);
        break;
    case kCredits: {
        const FrameInput in = readInput();
        m_credits.Update(dt, in.click || in.escape);
        if (m_credits.IsDone())
            EnterMenu();
        break;
    }
    case kPlay:
        UpdatePlay(dt);
        break;
    }
    return m_screen != kQuit;
}

void CGameFlow::Render()
{
    float w = 0.0f, h = 0.0f;
    screenSize(w, h);
    switch (m_screen) {
    case kSplash:
        if (CResManager* res = CResManager::getSingletonPtr())
            m_splash.Render(*res, w, h);
        break;
    case kLoading:
        if (m_loader)
            m_loader->Render();
        break;
    case kMenu:
    case kProfiles:
        if (m_menu)
            m_menu->Render();
        break;
    case kCredits:
        m_credits.Render(w, h);
        break;
    case kPlay:
        if (m_root)
            m_root->Draw();
        break;
    case kBoot:
    case kQuit:
        break;
    }
}

void CGameFlow::StartLoading()
{
    if (CResManager* res = CResManager::getSingletonPtr()) {
        aImageManager* images = res->GetImageManager();
        images->AddListToTask("images:_images.list", "", "");
        images->AddListToTask("images:GamePanel/_images.list", "GamePanel", "");
        images->AddListToTask("images:Menu/_images.list", "Menu", "");
        images->AddListToTask("particles:_images.list", "", "");
        res->GetParticleManager()->AddListToTask("particles:_particles.list", "", "");
        res->GetSoundManager()->AddListToTask("sounds:_sounds.list", "", A_GROUP_SFX);
        res->GetMusicManager()->AddListToTask("music:playlist.txt", "", "");
    }
    if (m_menu)
        m_menu->LoadAmbient();
    if (Can(m_root != nullptr, "the game root's Init")) {
        m_root->Init();
        m_root->LoadCommonResources();
    }
    m_loader->ShowScreen("", 0);
    m_loader->BeginLoad();
    m_screen = kLoading;
}

void CGameFlow::FinishLoading()
{
    GUI::Server* gui = GUI::Server::getSingletonPtr();
    if (!gui || !file_isExistOrPacked("gui:index.agui")) {
        a_log("CGameFlow. No GUI script 'gui:index.agui'");
        Quit(true);
        return;
    }
    gui->load("gui:index.agui");
    gui->InitWidgets();
    m_loader->Hide();
    if (m_root)
        m_root->FinishLoading();
    if (m_menu)
        m_menu->Init();
    if (!m_menu || !m_menu->Has(Menu::kMainMenu)) {
        a_log("CGameFlow. No main menu \"MainMenu\"");
        Quit(true);
        return;
    }
    m_profileSelect.Init(gui, CResManager::getSingletonPtr(), ProfilesManager::getSingletonPtr());
    if (m_root)
        m_root->ReturnToMenu();
    ApplyProfile();
    EnterMenu();
}

void CGameFlow::Quit(bool reinstall)
{
    if (reinstall && g_application)
        g_application->messageBox(aApplication::errorText(A2D_E_LOGFILE), true);
    m_screen = kQuit;
}

bool CGameFlow::IsStoryOver()
{
    CurrentProfile& profile = CurrentProfile::Get();
    if (profile.storyWon == 1)
        return true;
    ProfilesManager* profiles = ProfilesManager::getSingletonPtr();
    // The win is kept with the player: the root said so in this run, or the
    // story save stands at its end (the game stopped right after the win).
    bool won = m_storyEnded || (profiles && storySaveAtEnd(profiles->GetSaveFileName()));
    const bool recorded = profile.storyWon != CurrentProfile::kStoryNotRecorded;
    if (!won && !recorded)
        // A list from before the mark: Find All played shows the win. A
        // murder-hunt certificate does not, the hunt being solved within it.
        won = profile.faTier != 0 || profile.faCompleted != 0.0f ||
              (profiles && file_lookOnDisk(profiles->GetSaveFileName() + "FA") != ENOENT);
    if (won && !recorded)
        // Find All was open to that player, with its tip at every start.
        profile.tipsShown |= CurrentProfile::kTipFindAllOpen;
    if (won || !recorded) {
        profile.storyWon = won ? 1 : 0;
        a_log("CGameFlow. Player '%s': the story is %s", profile.name.c_str(), won ? "won" : "not won yet");
        if (profiles)
            profiles->Save();
    }
    return won;
}

void CGameFlow::ApplyProfile()
{
    const CurrentProfile& profile = CurrentProfile::Get();
    if (aChannelsGroup* sfx = aSound::FindChannelsGroup(A_GROUP_SFX))
        sfx->SetVolume(profile.soundVolume);
    if (CResManager* res = CResManager::getSingletonPtr())
        res->GetMusicManager()->SetVolume(profile.musicVolume);
    aAmbientSoundSystem::SetVolume(profile.ambientVolume);
    aGraphServer* gs = g_application ? g_application->m_graphServer : nullptr;
    const CGameIni* ini = CGameIni::getSingletonPtr();
    if (gs && !(ini && ini->IsWindowed()) && g_application->canSwitchFullscreen() &&
        gs->m_fullscreen != (profile.fullscreen != 0)) {
        gs->setFullscreen(profile.fullscreen != 0);
        g_application->onDisplayModeChanged();
    }
}

void CGameFlow::EnterMenu()
{
    const CurrentProfile& profile = CurrentProfile::Get();
    m_screen = kMenu;
    m_closeRefused = false;
    m_findAllBlocked = !IsStoryOver();
    m_menu->SetUserName(profile.name);
    m_menu->SetAwardMH(profile.mhTier);
    m_menu->SetAwardFA(profile.faTier);
    m_menu->BlockFindAll(m_findAllBlocked);
    if (!file_isExistOrPacked(m_moreGamesFile))
        m_menu->HideMoreGames(true);
    m_menu->Show(Menu::kMainMenu);
    if (CResManager* res = CResManager::getSingletonPtr()) {
        aMusicManager* music = res->GetMusicManager();
        const std::string track = music->GetTrackName(0);
        if (!track.empty())
            music->ChangeMusic(track, profile.musicVolume, true, true, "");
    }
    a_log("CGameFlow. Main menu, player '%s'", profile.name.c_str());

    if (!m_menuEntered)
        m_dueTips.push_back("profile_open");
    m_menuEntered = true;
    for (const FirstTip& tip : kFirstTips)
        if (IsFirstTipDue(tip) && std::find(m_dueTips.begin(), m_dueTips.end(), tip.name) == m_dueTips.end())
            m_dueTips.push_back(tip.name);
}

bool CGameFlow::IsFirstTipDue(const FirstTip& tip) const
{
    const CurrentProfile& profile = CurrentProfile::Get();
    if (profile.tipsShown & tip.bit)
        return false;
    switch (tip.bit) {
    case CurrentProfile::kTipMHRibbon:
        return profile.mhTier != 0;
    case CurrentProfile::kTipFARibbon:
        return profile.faTier != 0;
    default:
        return !m_findAllBlocked;
    }
}

void CGameFlow::LeaveMenu() { m_dueTips.clear(); }

void CGameFlow::AskTips()
{
    if (m_dueTips.empty() || !Can(m_tips != nullptr, "the tip manager"))
        return;
    const std::string name = m_dueTips.front();
    const auto first = std::find_if(std::begin(kFirstTips), std::end(kFirstTips),
                                    [&name](const FirstTip& tip) { return name == tip.name; });
    const bool isFirst = first != std::end(kFirstTips);
    // Asked for another player, or already seen.
    if (isFirst && !IsFirstTipDue(*first)) {
        m_dueTips.pop_front();
        return;
    }
    if (!m_tips->ShowTip(name))
        return;
    m_dueTips.pop_front();
    if (isFirst) {
        CurrentProfile::Get().tipsShown |= first->bit;
        if (ProfilesManager* profiles = ProfilesManager::getSingletonPtr())
            profiles->Save();
    }
}

void CGameFlow::TellSaveFailures()
{
    ProfilesManager* profiles = ProfilesManager::getSingletonPtr();
    Tell({{kSaveFailedGameText, m_root ? m_root->TakeSaveFailure() : std::string()},
          {kSaveFailedPlayersText, profiles ? profiles->TakeSaveFailure() : std::string()}});
}

void CGameFlow::Tell(std::initializer_list<std::pair<const char*, std::string>> failures, const std::string& name)
{
    std::wstring text;
    for (const auto& [heading, reason] : failures) {
        if (reason.empty())
            continue;
        a_log("CGameFlow. The player is told: %s, %s%s%s", heading, reason.c_str(), name.empty() ? "" : ", ",
              name.c_str());
        if (CResManager* res = CResManager::getSingletonPtr()) {
            const std::wstring said = res->GetLocalizedString(reason);
            text += (text.empty() ? L"" : L" ") + res->GetLocalizedString(heading) + L" " +
                    (name.empty() ? said : a_wformat(said, str_utf8ToWide(name)));
        }
    }
    if (text.empty() || !HasDialog(Menu::kNotice, "notice"))
        return;
    m_menu->SetNoticeText(text);
    m_menu->Show(Menu::kNotice);
}

bool CGameFlow::TellLoadFailure()
{
    const Root::LoadFailure failure = m_root->TakeLoadFailure();
    if (failure.heading.empty())
        return false;
    Tell({{failure.heading.c_str(), failure.reason}}, failure.keptAs);
    return true;
}

void CGameFlow::UpdateMenu(float dt)
{
    // Before the menu's own step, so the notice is up before another click.
    TellSaveFailures();
    m_menu->Update(dt);
    const FrameInput in = readInput();
    if (m_findAllBlocked && in.leftReleased && m_menu->IsOnFindAll(in.x, in.y) &&
        std::find(m_dueTips.begin(), m_dueTips.end(), "fa_btn_block") == m_dueTips.end())
        m_dueTips.push_back("fa_btn_block");
    HandleMainMenu(m_menu->GetState(Menu::kMainMenu));
    if (m_screen == kMenu)
        HandleDialogs();
    if (m_screen == kMenu || m_screen == kProfiles) {
        AskTips();
        if (m_tips)
            m_tips->Update(dt);
    }
}

void CGameFlow::HandleMainMenu(std::int32_t result)
{
    switch (result) {
    case Menu::kPlay:
        StartPlay(&Root::ContinuePlay, "ContinuePlay");
        break;
    case Menu::kOptionsButton:
        if (HasDialog(Menu::kOptions, "options"))
            m_menu->Show(Menu::kOptions);
        break;
    case Menu::kHelpButton:
        if (HasDialog(Menu::kHelp, "help")) {
            m_menu->ShowCreditsButton(true);
            m_menu->Show(Menu::kHelp);
        }
        break;
    case Menu::kExit:
        Quit(false);
        break;
    case Menu::kChangeProfile:
        OpenProfiles();
        break;
    case Menu::kFindAll: {
        const ProfilesManager* profiles = ProfilesManager::getSingletonPtr();
        const bool saved = profiles && file_lookOnDisk(profiles->GetSaveFileName() + "FA") != ENOENT;
        if (!saved || CurrentProfile::Get().faCompleted != 0.0f)
            StartPlay(&Root::StartFindAll, "StartFindAll");
        else if (HasDialog(Menu::kRestartFA, "restart Find All"))
            m_menu->Show(Menu::kRestartFA);
        break;
    }
    case Menu::kAwardMH:
        if (HasDialog(Menu::kMHCertificate, "murder-hunt certificate"))
            m_menu->Show(Menu::kMHCertificate);
        break;
    case Menu::kAwardFA:
        if (HasDialog(Menu::kFACertificate, "Find All certificate"))
            m_menu->Show(Menu::kFACertificate);
        break;
    case Menu::kMoreGamesButton:
        if (HasDialog(Menu::kMoreGames, "more-games")) {
            m_menu->SetupMoreGames(m_moreGamesFile);
            m_menu->Show(Menu::kMoreGames);
        }
        break;
    default:
        break;
    }
}

void CGameFlow::HandleDialogs()
{
    auto state = [this](Menu::Dialog d) { return m_menu->Has(d) ? m_menu->GetState(d) : 0; };
    switch (state(Menu::kOptions)) {
    case 4:
        // The options applied: written now, so a crash cannot lose them.
        if (ProfilesManager* profiles = ProfilesManager::getSingletonPtr())
            profiles->Save();
        [[fallthrough]];
    case 3:
        m_menu->Hide(Menu::kOptions);
        break;
    }
    switch (state(Menu::kHelp)) {
    case 3:
        m_menu->Hide(Menu::kHelp);
        break;
    case 5:
        m_menu->Hide(Menu::kHelp);
        StartCredits();
        return;
    }
    for (const Menu::Dialog d : {Menu::kMHCertificate, Menu::kFACertificate, Menu::kNotice})
        if (state(d) == 3)
            m_menu->Hide(d);
    switch (state(Menu::kRestartFA)) {
    case 3:
        m_menu->Hide(Menu::kRestartFA);
        StartPlay(&Root::StartFindAll, "StartFindAll");
        return;
    case 4:
        m_menu->Hide(Menu::kRestartFA);
        StartPlay(&Root::ContinuePlayFindAll, "ContinuePlayFindAll");
        return;
    }
    const std::int32_t more = state(Menu::kMoreGames);
    if (more == 3) {
        m_menu->Hide(Menu::kMoreGames);
    } else if (more >= 4 && more <= 6) {
        aOptionsFile ini;
        if (file_isExistOrPacked(m_moreGamesFile))
            ini.load(m_moreGamesFile);
        m_menu->OpenLink(ini.getValueDef("SETUP", "url" + std::to_string(more - 3), std::string()));
    }
}

void CGameFlow::StartPlay(void (Root::*start)(), const char* what)
{
    if (!Can(m_root != nullptr, std::string("the game root's ") + what))
        return;
    (m_root.get()->*start)();
    // Nothing started: the menu stays and says why.
    if (TellLoadFailure())
        return;
    m_menu->HideAll();
    LeaveMenu();
    m_rootState = 0;
    m_screen = kPlay;
}

void CGameFlow::UpdatePlay(float dt)
{
    const std::uint32_t previous = m_rootState;
    m_rootState = m_root->Update(dt);
    if (m_rootState != previous && (m_rootState == kRootMHCertificate || m_rootState == kRootFACertificate))
        RecordCertificate(m_rootState);
    if (m_rootState == kRootMenu || m_rootState == kRootStoryOver) {
        if (m_rootState == kRootStoryOver)
            m_storyEnded = true;
        m_root->ReturnToMenu();
        m_rootState = kRootMenu;
        EnterMenu();
        // A saved case found unusable once its data had loaded.
        TellLoadFailure();
        return;
    }
    if (m_rootState == kRootPlay)
        m_closeRefused = false;
    // A save that failed (the menu's "save and exit", a window close) keeps
    // the game under the in-game menu, which is where it is told.
    if (m_rootState == kRootInGameMenu)
        TellSaveFailures();
    if (m_menu && m_menu->Has(Menu::kNotice) && m_menu->GetState(Menu::kNotice) == 3)
        m_menu->Hide(Menu::kNotice);
}

void CGameFlow::RecordCertificate(std::uint32_t state)
{
    CurrentProfile& profile = CurrentProfile::Get();
    std::int32_t tier = 0, count = 0;
    if (state == kRootMHCertificate) {
        m_root->GetMHCertificate(tier, count);
        profile.StoreMHCertificate(tier, count);
    } else {
        m_root->GetFACertificate(tier, count);
        profile.StoreFACertificate(tier, count);
        profile.faCompleted = 1.0f;
    }
    // Written at once: a crash before shutdown must not lose the award.
    if (ProfilesManager* profiles = ProfilesManager::getSingletonPtr())
        profiles->Save();
}

void CGameFlow::OpenProfiles()
{
    if (!Can(m_profileSelect.IsReady(), "the player choice"))
        return;
    m_profileAtOpen = CurrentProfile::Get().name;
    m_profileSelect.Open();
    m_dueTips.push_back("profile_change");
    m_screen = kProfiles;
}

void CGameFlow::UpdateProfiles(float dt)
{
    m_menu->Update(dt);
    if (readInput().escape)
        m_profileSelect.Escape();
    if (!m_profileSelect.IsOpen()) {
        m_screen = kMenu;
        // Its tip (OpenProfiles) goes with the list, shown or still to show.
        const std::string tip = "profile_change";
        m_dueTips.erase(std::remove(m_dueTips.begin(), m_dueTips.end(), tip), m_dueTips.end());
        if (m_tips)
            m_tips->HideTip(tip);
        if (CurrentProfile::Get().name != m_profileAtOpen) {
            ApplyProfile();
            m_storyEnded = false;
            EnterMenu();
        }
    }
    AskTips();
    if (m_tips)
        m_tips->Update(dt);
}

void CGameFlow::StartCredits()
{
    CResManager* res = CResManager::getSingletonPtr();
    GUI::Server* gui = GUI::Server::getSingletonPtr();
    CCredits::Sources sources;
    sources.images = res ? res->GetImageManager() : nullptr;
    sources.strings = res ? res->GetLocaleServer() : nullptr;
    sources.font = [gui](const std::string& name) -> aFont* {
        return gui && gui->fonts.count(name) ? gui->fonts.find(name)->second.get() : nullptr;
    };
    m_credits.Load("gamedata:credits.ini", sources);
    m_credits.Start();
    m_menu->HideAll();
    LeaveMenu();
    if (res && !m_credits.GetMusic().empty())
        res->GetMusicManager()->ChangeMusic(m_credits.GetMusic(), CurrentProfile::Get().musicVolume, true, true, "");
    m_screen = kCredits;
}

void CGameFlow::OnActivate()
{
    if (m_screen == kPlay && m_root)
        m_root->OnActivate();
}

void CGameFlow::OnDeactivate()
{
    if (m_screen == kPlay && m_root)
        m_root->OnDeactivate();
}

LRESULT CGameFlow::OnWindowMessage(HWND window, std::uint32_t message, WPARAM wParam, LPARAM lParam)
{
    if (m_screen == kPlay && m_root && message == kRootMessage)
        return m_root->OnWindowMessage(window, message, wParam, lParam);
    return 0;
}

bool CGameFlow::OnQuitRequest(bool fromWindow)
{
    if (m_screen != kPlay || !m_root || m_root->SaveBeforeQuit())
        return true;
    if (!fromWindow || m_closeRefused) {
        a_log("CGameFlow. The game ends unsaved: the save before it could not be written");
        return true;
    }
    a_log("CGameFlow. The window stays: the game could not be saved before it closes");
    m_closeRefused = true;
    return false;
}

void CGameFlow::OnDisplayModeChanged()
{
    if (HasDialog(Menu::kOptions, "options"))
        m_menu->UpdateFullscreenEnabled();
}
