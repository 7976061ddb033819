#include "game/SpyGame/SpyMain.h"

#include <algorithm>

#include "engine/gui/gui_widget.h"
#include "engine/sound/a_ambient_sound_system.h"
#include "engine/sound/a_music_manager.h"
#include "engine/sound/a_sound_engine.h"
#include "engine/util/a_application.h"
#include "engine/util/a_file_server.h"
#include "engine/util/a_input_server.h"
#include "engine/util/a_log.h"
#include "game/SpyGame/Dialogs/DialogCertificate.h"
#include "game/SpyGame/Dialogs/DialogHelp.h"
#include "game/SpyGame/Dialogs/DialogOptions.h"
#include "game/SpyGame/Dialogs/ScreenSize.h"
#include "game/SpyGame/InvestigationStateIds.h"
#include "game/SpyGame/Rooms/MurderHunt.h"
#include "game/SpyGame/SpyEventBase.h"
#include "game/shell/c_game_ini.h"
#include "game/shell/c_res_loader.h"
#include "game/shell/c_res_manager.h"
#include "game/shell/current_profile.h"
#include "game/shell/profiles_manager.h"
#include "game/shell/save_error_text.h"

namespace {

const char* const kSpecialRooms[] = {CSpyMain::kGlobalMap, CSpyMain::kMurderHunt, CSpyMain::kInvCards};

std::string specialRoomFolder(const std::string& name) { return "gamedata:_Locations/Global/" + name + "/"; }

bool leftButtonReleased()
{
    const aInputServer* input = g_application ? g_application->m_inputServer : nullptr;
    return input && input->m_mouseButtons[0] == KEY_RELEASED;
}

} // namespace

// ------------------------------------------------------------------ the flow's tips

bool CSpyMain::FlowTips::ShowTip(const std::string& name)
{
    const auto& tips = m_tips.GetTips();
    const auto it = tips.find(name);
    if (it == tips.end()) {
        a_log("CSpyMain. Tip '%s' is not defined; not asked for again", name.c_str());
        return true;
    }
    if (it->second.levelsLeft == 0 || it->second.showsLeft == 0)
        return true;
    return m_tips.ShowTip(name);
}

void CSpyMain::FlowTips::HideTip(const std::string& name)
{
    const CTipManager::CTipInfo* shown = m_tips.GetCurrentTip();
    if (shown && shown->name == name)
        m_tips.HideTip();
}

// ------------------------------------------------------------------ construction

CSpyMain::CSpyMain() : SaveLoadEntity(kEntityKey) {}

CSpyMain::~CSpyMain() { Unload(); }

// ------------------------------------------------------------------ the save record

std::uint32_t CSpyMain::SaveSelf(SaveLoadSystem& system, std::uint32_t pos)
{
    pos = system.WriteString(pos, currentName);
    pos = system.WriteU32(pos, carriedCounter);
    pos = system.WriteU32(pos, carriedHints);
    pos = system.WriteU8(pos, mhCertificateShown);
    return system.WriteU8(pos, faCertificateShown);
}

std::uint32_t CSpyMain::LoadSelf(SaveLoadSystem& system, std::uint32_t pos)
{
    std::string name;
    std::uint32_t counter = 0, hints = 0;
    std::uint8_t mhShown = 0, faShown = 0;
    pos = system.ReadString(pos, name);
    pos = system.ReadU32(pos, counter);
    pos = system.ReadU32(pos, hints);
    pos = system.ReadU8(pos, mhShown);
    pos = system.ReadU8(pos, faShown);
    // A cut record changes nothing; the load then fails.
    if (system.HasOverrun())
        return pos;
    currentName = name;
    carriedCounter = counter;
    carriedHints = hints;
    mhCertificateShown = mhShown ? 1 : 0;
    faCertificateShown = faShown ? 1 : 0;
    return pos;
}

// ------------------------------------------------------------------ start-up

void CSpyMain::SetMenuDialogs(CDialogOptions* options, CDialogFACertificate* faCertificate, CDialogHelp* help,
                              CDialogMHCertificate* mhCertificate)
{
    optionsDialog = options;
    faCertificateDialog = faCertificate;
    helpDialog = help;
    mhCertificateDialog = mhCertificate;
}

void CSpyMain::Init(CDialogOptions* options, CDialogFACertificate* faCertificate, CDialogHelp* help,
                    CDialogMHCertificate* mhCertificate)
{
    if (state != StateConstructed)
        return;
    SetMenuDialogs(options, faCertificate, help, mhCertificate);
    resManager = CResManager::getSingletonPtr();
    resLoader = CResLoader::getSingletonPtr();
    rooms.Init(&personages, &dialogs, &roomContext);
    inv->Init(&dialogsLink, &rooms, &personages);
    state = StateInitialised;
}

void CSpyMain::Init() { Init(optionsDialog, faCertificateDialog, helpDialog, mhCertificateDialog); }

void CSpyMain::LoadCommonResources()
{
    if (state != StateInitialised)
        return;
    for (const char* name : kSpecialRooms)
        if (file_isDirExist(specialRoomFolder(name), true))
            rooms.AddRoom(name, specialRoomFolder(name), inv);
    const std::string list = std::string(kInvestigationsFolder) + kInvestigationsList;
    investigations.load(list);
    if (investigations.getSize() == 0)
        a_log("CSpyMain::LoadCommonResources(). The case list '%s' is missing or empty", list.c_str());
    state = StateCommonQueued;
}

void CSpyMain::FinishLoading()
{
    if (state != StateCommonQueued || (resManager && !resManager->IsLoaded()))
        return;
    dialogs.Init();
    CRoomBase* murderHunt = rooms.HasRoom(kMurderHunt) ? rooms.GetRoom(kMurderHunt) : nullptr;
    CRoomBase* invCards = rooms.HasRoom(kInvCards) ? rooms.GetRoom(kInvCards) : nullptr;
    for (const char* name : {kGlobalMap, kInvCards, kMurderHunt})
        if (rooms.HasRoom(name))
            rooms.AfterLoadInitRoom(name, murderHunt, invCards);
    state = StateCommonReady;
}

void CSpyMain::ReturnToMenu()
{
    if (state == StateConstructed || state == StateInitialised || state == StateCommonQueued)
        return;
    const float x = float(GetScreenSize().width - CInvestigation::kAreaWidth);
    for (const char* name : {kGlobalMap, kInvCards, kMurderHunt})
        if (rooms.HasRoom(name)) {
            CRoomBase* room = rooms.GetRoom(name);
            room->Reset();
            room->SetPos(x, 0.0f);
        }
    state = StateMenu;
    if (GUI::Widget* pause = PauseWindow())
        pause->SetVisible(false);
    reloadStep = 0;
}

// ------------------------------------------------------------------ the case list

bool CSpyMain::SelectInvestigation(std::uint32_t n)
{
    investigations.first();
    if (investigations.isEnd() || investigations.getCurrent() == kFindAll)
        return false;
    for (std::uint32_t i = 0; i < n; ++i) {
        investigations.next();
        if (investigations.isEnd())
            return false;
    }
    return investigations.getCurrent() != kFindAll;
}

bool CSpyMain::HasInvestigation(const std::string& name) const
{
    const auto& lines = investigations.lines();
    return std::find(lines.begin(), lines.end(), name) != lines.end();
}

std::int32_t CSpyMain::GetInvestigationIndex() const
{
    if (currentName == kFindAll)
        return -1;
    std::int32_t index = 0;
    for (const std::string& line : investigations.lines()) {
        if (line == currentName)
            return index;
        ++index;
    }
    return -1;
}

// ------------------------------------------------------------------ starting a game

bool CSpyMain::SavesEnabled()
{
    const CGameIni* ini = CGameIni::getSingletonPtr();
    return !(ini && ini->IsSavesDisabled());
}

std::string CSpyMain::SaveFileName(bool findAll)
{
    const ProfilesManager* profiles = ProfilesManager::getSingletonPtr();
    if (!profiles)
        return std::string();
    return profiles->GetSaveFileName() + (findAll ? "FA" : "");
}

CSpyMain::SaveOpen CSpyMain::OpenSave(const std::string& file)
{
    if (file.empty())
        return SaveOpen::None;
    if (!saveSystem.BeginLoad(file, kSaveVersion)) {
        switch (saveSystem.GetLoadFailure()) {
        case SaveLoadSystem::LoadFailure::Unreadable:
            return SaveOpen::Unreadable;
        case SaveLoadSystem::LoadFailure::Damaged:
            return SaveOpen::Unusable;
        default:
            return SaveOpen::None;
        }
    }
    beforeLoad = {currentName, carriedCounter, carriedHints, mhCertificateShown, faCertificateShown};
    if (saveSystem.LoadEntity(this))
        return SaveOpen::Open;
    a_log("CSpyMain. Save '%s' has no readable record \"%s\"", file.c_str(), kEntityKey);
    saveSystem.Finish();
    RestoreProgress();
    return SaveOpen::Unusable;
}

void CSpyMain::RestoreProgress()
{
    currentName = beforeLoad.name;
    carriedCounter = beforeLoad.counter;
    carriedHints = beforeLoad.hints;
    mhCertificateShown = beforeLoad.mhShown;
    faCertificateShown = beforeLoad.faShown;
}

void CSpyMain::StartAfresh()
{
    dialogs.panel.ResetForNewGame();
    dialogs.message.ResetForNewGame();
    inv->ResetForStart(false);
}

void CSpyMain::SetAsideUnusable(const std::string& file, bool findAll)
{
    int error = 0;
    const std::string aside = SaveLoadSystem::SetAsideNow(file, &error);
    if (aside.empty()) {
        unusableLeft.insert(file_manglePath(file));
        loadFailure = {kLoadUnusableGameText, SaveErrorTextId(error), std::string()};
    } else {
        const bool elsewhere = aside.find('/') != std::string::npos;
        const char* reason = findAll ? (elsewhere ? kLoadKeptAtFindAllText : kLoadKeptAsFindAllText)
                                     : (elsewhere ? kLoadKeptAtText : kLoadKeptAsText);
        loadFailure = {kLoadUnusableGameText, reason, aside};
    }
}

void CSpyMain::ContinueFrom(const std::string& file, bool findAll)
{
    // One told of that could not be set aside: a new game over it, whose
    // first save tries again.
    const bool told = unusableLeft.count(file_manglePath(file)) != 0;
    if (told)
        a_log("CSpyMain::ContinuePlay(). The save '%s' cannot be continued, nor set aside: a new game starts",
              file.c_str());
    SaveOpen open = SavesEnabled() && !told ? OpenSave(file) : SaveOpen::None;
    if (open == SaveOpen::Unreadable) {
        // Not damaged: a new game would replace it, and it may read later.
        a_log("CSpyMain::ContinuePlay(). The save '%s' cannot be read now: no game starts", file.c_str());
        loadFailure = {kLoadFailedGameText, LoadErrorTextId(saveSystem.GetLoadError()), std::string()};
        return;
    }
    if (open == SaveOpen::Open && !findAll && currentName != kEndGame && !HasInvestigation(currentName)) {
        // Maybe a newer game's case: its progress is kept as a damaged save's.
        a_log("CSpyMain::ContinuePlay(). Investigation '%s' not found!", currentName.c_str());
        saveSystem.Finish();
        RestoreProgress();
        open = SaveOpen::Unusable;
    }
    if (open == SaveOpen::Unusable) {
        a_log("CSpyMain::ContinuePlay(). The save '%s' cannot be continued: no game starts", file.c_str());
        SetAsideUnusable(file, findAll);
        return;
    }
    if (open == SaveOpen::Open) {
        if (findAll && CurrentProfile::Get().faCompleted != 0.0f) {
            saveSystem.Finish();
        } else {
            if (findAll)
                currentName = kFindAll;
            if (currentName != kEndGame) {
                startMode = findAll ? ContinueFindAll : ContinueGame;
                state = StateStart;
                return;
            }
            saveSystem.Finish();
        }
    }
    if (findAll) {
        currentName = kFindAll;
        startMode = NewFindAll;
        state = StateStart;
    } else if (SelectInvestigation(0)) {
        currentName = investigations.getCurrent();
        startMode = NewGame;
        state = StateStart;
    } else {
        a_log("CSpyMain::ContinuePlay(). No investigation to play");
    }
}

void CSpyMain::ContinuePlay()
{
    if (state == StateMenu || state == StateMenuGameOver)
        ContinueFrom(SaveFileName(false), false);
}

void CSpyMain::StartFindAll()
{
    if (state != StateMenu && state != StateMenuGameOver)
        return;
    currentName = kFindAll;
    startMode = NewFindAll;
    state = StateStart;
}

void CSpyMain::ContinuePlayFindAll()
{
    if (state == StateMenu || state == StateMenuGameOver)
        ContinueFrom(SaveFileName(true), true);
}

// ------------------------------------------------------------------ saving

bool CSpyMain::SaveProgress()
{
    if (!SavesEnabled())
        return true;
    const bool findAll = inv->GetName() == kFindAll;
    const std::string file = SaveFileName(findAll);
    if (file.empty()) {
        a_log("CSpyMain::SaveProgress(). No profile: nothing saved");
        return true;
    }
    if (findAll && CurrentProfile::Get().faCompleted != 0.0f)
        currentName = kEndGame;
    if (!saveSystem.BeginSave(file, kSaveVersion))
        return true;
    saveSystem.SaveEntity(this);
    saveSystem.SaveEntity(inv);
    if (saveSystem.Finish()) {
        saveFailure.clear();
        return true;
    }
    saveFailure = SaveErrorTextId(saveSystem.GetWriteError());
    return false;
}

std::string CSpyMain::TakeSaveFailure()
{
    std::string failure;
    failure.swap(saveFailure);
    return failure;
}

CGameFlow::Root::LoadFailure CSpyMain::TakeLoadFailure()
{
    LoadFailure failure;
    std::swap(failure, loadFailure);
    return failure;
}

bool CSpyMain::NextInvestigation()
{
    dialogs.tipManager.EndLevel();
    if (currentName == kFindAll) {
        CloseFindAll();
        return false;
    }
    if (SelectInvestigation(std::uint32_t(GetInvestigationIndex() + 1))) {
        currentName = investigations.getCurrent();
        startMode = NextGame;
        state = StateStart;
        return true;
    }
    dialogs.HideAll();
    currentName = kEndGame;
    SaveProgress();
    state = StateMenuGameOver;
    return false;
}

void CSpyMain::CloseFindAll()
{
    CurrentProfile::Get().faCompleted = 1.0f;
    if (ProfilesManager* profiles = ProfilesManager::getSingletonPtr())
        profiles->Save();
    dialogs.HideAll();
    currentName = kEndGame;
    SaveProgress();
    state = StateMenuGameOver;
}

// ------------------------------------------------------------------ the frame

std::uint32_t CSpyMain::Update(float dt)
{
    // The clock stands still while one of these screens covers the room.
    Panel()->SetScreenPause(state >= StateInGameMenu && state <= StateFACertificate);
    switch (state) {
    case StateLoading:
        if (resManager)
            resManager->ClearTasks();
        inv->Load(kInvestigationsFolder, currentName, startMode == NewFindAll || startMode == ContinueFindAll);
        if (resLoader)
            resLoader->BeginLoad();
        state = StateWaitLoader;
        break;
    case StateStart:
        // Find All loads afresh too, though its case may still be loaded:
        // reset in place, it kept the last game's rooms and their lists,
        // and the records of rooms a continued save had not loaded yet.
        if (resLoader)
            resLoader->ShowScreen(std::string(), GetInvestigationIndex() + 1);
        state = StateLoading;
        break;
    case StateWaitLoader:
        if (!resLoader || resLoader->Update(dt) == CResLoader::kDone) {
            inv->Start();
            state = StateLoaded;
        }
        break;
    case StateLoaded:
        SetUpLoaded();
        break;
    case StatePlay:
        UpdatePlay(dt);
        break;
    case StateInGameMenu:
        UpdateInGameMenu(dt);
        break;
    case StateOptions:
        if (!optionsDialog) {
            state = StateInGameMenu;
            break;
        }
        if (!optionsDialog->IsVisible())
            optionsDialog->Show();
        optionsDialog->Update(dt);
        dialogs.Update(dt, -1, -1, -1, -1);
        if (optionsDialog->GetState() == 3 || optionsDialog->GetState() == 4) {
            optionsDialog->Hide();
            state = StateInGameMenu;
        }
        break;
    case StateHelp:
        if (!helpDialog) {
            state = savedState;
            break;
        }
        if (!helpDialog->IsVisible()) {
            helpDialog->ShowCreditsButton(false);
            helpDialog->Show();
        }
        dialogs.Update(dt, -1, -1, -1, -1);
        if (helpDialog->GetState() == 3) {
            helpDialog->Hide();
            state = savedState;
            if (state == StatePlay)
                inv->Resume();
        }
        break;
    case StateConfirmExit:
        if (!dialogs.confirmSaveExit.IsVisible())
            dialogs.confirmSaveExit.Show();
        dialogs.Update(dt, -1, -1, -1, -1);
        if (dialogs.confirmSaveExit.GetState() == 3) {
            dialogs.confirmSaveExit.Hide();
            SaveAndLeave();
        } else if (dialogs.confirmSaveExit.GetState() == 4) {
            dialogs.confirmSaveExit.Hide();
            state = StateInGameMenu;
        }
        break;
    case StateMHCertificate:
        UpdateCertificate(dt, false);
        break;
    case StateFACertificate:
        UpdateCertificate(dt, true);
        break;
    default:
        break;
    }
    return state;
}

void CSpyMain::SetUpLoaded()
{
    Panel()->SetLevelNum(GetInvestigationIndex() + 1);
    switch (startMode) {
    case NewGame:
    case NewFindAll:
        carriedCounter = 0;
        carriedHints = 0;
        if (startMode == NewGame)
            mhCertificateShown = 0;
        faCertificateShown = 0;
        StartAfresh();
        inv->Entry();
        break;
    case ContinueGame:
    case ContinueFindAll: {
        StartAfresh();
        const bool loaded = saveSystem.LoadEntity(inv) && saveSystem.CheckEveryBlockRead();
        const std::string file = saveSystem.GetFileName();
        saveSystem.Finish();
        if (!loaded) {
            // Nothing of it is played, nor kept: what was read of it goes
            // with the case itself (the next game loads it anew, as after a
            // program start), the save aside, and the menu tells the player.
            a_log("CSpyMain. Save '%s' has no readable record of investigation '%s'; back to the menu", file.c_str(),
                  currentName.c_str());
            RestoreProgress();
            StartAfresh();
            inv->Clear();
            SetAsideUnusable(file, startMode == ContinueFindAll);
            if (resLoader)
                resLoader->Hide();
            state = StateMenu;
            return;
        } else if (inv->GetState() == CInvestigation::StateReady) {
            inv->Entry();
        } else if (inv->GetState() == CInvestigation::StateInGameMenu) {
            inv->Resume();
        } else {
            // A Find All room still to load: nothing above starts the
            // case's music, so it starts here, as entering the case would.
            inv->PlayCaseMusic();
            aAmbientSoundSystem::SetVolume(CurrentProfile::Get().ambientVolume);
        }
        break;
    }
    case NextGame:
        // The panel's counter after its hints is never set, so 0 is kept.
        carriedCounter = 0;
        carriedHints = Panel()->GetHintsCount();
        inv->ResetForStart(true);
        SaveProgress();
        inv->Entry();
        break;
    default:
        break;
    }
    if (resLoader)
        resLoader->Hide();
    state = StatePlay;
}

void CSpyMain::UpdatePlay(float dt)
{
    if (GUI::Widget* pause = PauseWindow(); pause && pause->IsVisible()) {
        if (leftButtonReleased())
            inv->Pause(false);
        return;
    }
    const std::uint32_t before = inv->GetState();
    const std::uint32_t result = inv->Update(dt);
    // The case won: saved before its banner and what follows, so a stop
    // there keeps the win.
    if (result == InvState::Banner && before != InvState::Banner) {
        a_log("CSpyMain. Investigation '%s' won: saved", currentName.c_str());
        SaveProgress();
    }
    switch (result) {
    case 24:
        if (!mhCertificateShown)
            StartCertificate(false);
        break;
    case 36:
        if (!faCertificateShown)
            StartCertificate(true);
        break;
    case 27:
        NextInvestigation();
        break;
    case CInvestigation::StateInGameMenu:
        state = StateInGameMenu;
        break;
    case InvState::OutOfTimeDone:
        RestartCase();
        break;
    case CInvestigation::StateRoomToLoad:
        UpdateRoomLoad(dt);
        break;
    case CInvestigation::StateHelp:
        savedState = StatePlay;
        state = StateHelp;
        break;
    default:
        break;
    }
    // These screens leave the room unplayed under them, so nothing there
    // would give back a pick or door cursor the last click left.
    if (state == StateMHCertificate || state == StateFACertificate || state == StateHelp)
        if (CRoomBase* room = inv->GetCurrentRoom())
            room->RestoreCursor();
}

void CSpyMain::RestartCase()
{
    inv->ResetForStart(true);
    if (CSpyEventBase* comics = inv->GetEvents().GetEvent(kComicsEvent))
        comics->SetDone();
    inv->Entry();
}

void CSpyMain::UpdateRoomLoad(float dt)
{
    switch (reloadStep) {
    case 0: {
        const std::string room = inv->GetPendingRoomName();
        if (resLoader)
            resLoader->ShowScreen(room, GetInvestigationIndex() + 1);
        if (resManager)
            resManager->ClearTasks();
        rooms.AddRoom(room, inv->GetFolder() + room + "/", inv);
        if (resLoader)
            resLoader->BeginLoad();
        reloadStep = 1;
        break;
    }
    case 1:
        if (!resLoader || resLoader->Update(dt) == CResLoader::kDone)
            reloadStep = 2;
        break;
    default:
        inv->OnRoomLoaded();
        reloadStep = 0;
        if (resLoader)
            resLoader->Hide();
        state = StatePlay;
        break;
    }
}

void CSpyMain::UpdateInGameMenu(float dt)
{
    CDialogInGameMenu& menu = dialogs.inGameMenu;
    if (!menu.IsVisible())
        menu.Show();
    dialogs.Update(dt, -1, -1, -1, -1);
    inv->Update(dt);
    // The menu goes while another dialog is over it, so it shows again with
    // a fresh state rather than repeating the choice.
    switch (menu.GetState()) {
    case 3:
        menu.Hide();
        inv->Resume();
        state = StatePlay;
        break;
    case 4:
        menu.Hide();
        state = StateOptions;
        break;
    case 5:
        menu.Hide();
        state = StateConfirmExit;
        break;
    case 6:
        menu.Hide();
        savedState = StateInGameMenu;
        state = StateHelp;
        break;
    default:
        break;
    }
}

void CSpyMain::StartCertificate(bool findAll)
{
    SetMusicVolume(std::min(CurrentProfile::Get().musicVolume, kCertificateMusic));
    CInvestigation::PlaySound(resManager ? resManager->GetSoundManager() : nullptr, kRewardSound, std::string(), false);
    // Read here, before the flow records them on this update's state.
    if (findAll) {
        faTier = inv->GetFACertificateType();
        faCount = std::int32_t(inv->GetFindAllHintsUsed());
        faCertificateShown = 1;
        state = StateFACertificate;
    } else {
        mhTier = inv->GetMHCertificateType();
        CMurderHunt* hunt = inv->GetMurderHuntRoom();
        mhCount = hunt ? hunt->GetCounter() : 0;
        mhCertificateShown = 1;
        state = StateMHCertificate;
    }
}

void CSpyMain::UpdateCertificate(float dt, bool findAll)
{
    CDialogCertificate* dialog = findAll ? static_cast<CDialogCertificate*>(faCertificateDialog)
                                         : static_cast<CDialogCertificate*>(mhCertificateDialog);
    if (dialog && !dialog->IsVisible()) {
        if (findAll)
            dialog->ShowAward(faTier, faCount);
        else
            dialog->ShowAward(mhTier, mhCount);
    }
    dialogs.Update(dt, -1, -1, -1, -1);
    if (dialog && dialog->GetState() != 3)
        return;
    if (dialog)
        dialog->Hide();
    SetMusicVolume(CurrentProfile::Get().musicVolume);
    if (!findAll) {
        state = StatePlay;
        return;
    }
    currentName = kEndGame;
    SaveProgress();
    dialogs.HideAll();
    state = StateMenuGameOver;
}

bool CSpyMain::SaveBeforeQuit()
{
    switch (state) {
    case StateStart:
    case StateLoading:
    case StateWaitLoader:
    case StateLoaded:
        a_log("CSpyMain. The game stops while a case loads: the last save stands");
        return true;
    case StatePlay:
        if (inv->GetState() == CInvestigation::StateRoomToLoad) {
            a_log("CSpyMain. The game stops while a room loads: the last save stands");
            return true;
        }
        break;
    case StateMHCertificate:
    case StateFACertificate: {
        // The certificate read: its end comes first (Find All's ends the game).
        CDialogCertificate* dialog = state == StateFACertificate
                                         ? static_cast<CDialogCertificate*>(faCertificateDialog)
                                         : static_cast<CDialogCertificate*>(mhCertificateDialog);
        if (dialog)
            dialog->Hide();
        SetMusicVolume(CurrentProfile::Get().musicVolume);
        if (state == StateFACertificate) {
            a_log("CSpyMain. The game stops under the Find All certificate: saved as at its end");
            currentName = kEndGame;
            const bool saved = SaveProgress();
            dialogs.HideAll();
            state = StateMenuGameOver;
            return saved;
        }
        state = StatePlay;
        break;
    }
    case StateInGameMenu:
    case StateOptions:
    case StateHelp:
    case StateConfirmExit:
        break;
    default:
        return true;
    }
    bool held = inv->HoldForSave();
    if (!held && inv->GetState() == InvState::OutOfTimeDone) {
        // Out of time: its answer restarts the case, which is then saved.
        RestartCase();
        held = inv->HoldForSave();
    }
    if (!held) {
        a_log("CSpyMain. The game stops in investigation state %u, which cannot be saved: the last save stands",
              inv->GetState());
        return true;
    }
    a_log("CSpyMain. The game stops in play: saved as from the in-game menu");
    return SaveAndLeave();
}

bool CSpyMain::SaveAndLeave()
{
    if (!SaveProgress()) {
        // Leaving would lose the play since the last save.
        a_log("CSpyMain. The game could not be saved: the case stays under the in-game menu");
        for (CDialogBase* dialog : {static_cast<CDialogBase*>(optionsDialog), static_cast<CDialogBase*>(helpDialog),
                                    static_cast<CDialogBase*>(&dialogs.confirmSaveExit)})
            if (dialog)
                dialog->Hide();
        // Up now, under the notice the flow shows of the failure.
        dialogs.inGameMenu.Show();
        state = StateInGameMenu;
        return false;
    }
    inv->Exit();
    dialogs.HideAll();
    state = StateMenu;
    return true;
}

void CSpyMain::GetMHCertificate(std::int32_t& tier, std::int32_t& count) const
{
    tier = mhTier;
    count = mhCount;
}

void CSpyMain::GetFACertificate(std::int32_t& tier, std::int32_t& count) const
{
    tier = faTier;
    count = faCount;
}

// ------------------------------------------------------------------ drawing, activation, messages

void CSpyMain::Draw()
{
    switch (state) {
    case StateLoading:
    case StateWaitLoader:
    case StateLoaded:
        if (resLoader)
            resLoader->Render();
        break;
    case StatePlay:
        if (inv->GetState() == CInvestigation::StateRoomToLoad) {
            if (resLoader)
                resLoader->Render();
        } else {
            inv->Draw();
        }
        break;
    case StateInGameMenu:
    case StateOptions:
    case StateHelp:
    case StateConfirmExit:
    case StateMHCertificate:
    case StateFACertificate:
        inv->Draw();
        break;
    default:
        break;
    }
}

void CSpyMain::SetMusicVolume(float volume) const
{
    if (resManager)
        resManager->GetMusicManager()->SetVolume(volume);
}

void CSpyMain::SetVolumes(float sound, float music, float ambient) const
{
    if (aChannelsGroup* sfx = aSound::FindChannelsGroup(A_GROUP_SFX))
        sfx->SetVolume(sound);
    SetMusicVolume(music);
    aAmbientSoundSystem::SetVolume(ambient);
}

void CSpyMain::OnDeactivate()
{
    if (state != StatePlay)
        return;
    SetVolumes(0.0f, 0.0f, 0.0f);
    inv->Pause(true);
}

void CSpyMain::OnActivate()
{
    if (state != StatePlay)
        return;
    const CurrentProfile& profile = CurrentProfile::Get();
    SetVolumes(profile.soundVolume, profile.musicVolume, profile.ambientVolume);
}

LRESULT CSpyMain::OnWindowMessage(HWND window, std::uint32_t message, WPARAM wParam, LPARAM lParam)
{
    (void)window;
    if (message == CGameFlow::kRootMessage)
        inv->Pause(false);
    return inv->OnWindowMessage(message, wParam, lParam, 0);
}

void CSpyMain::Unload()
{
    if (state == StateConstructed)
        return;
    inv->Clear();
    rooms.ReleaseAll();
    if (saveSystem.IsLoading())
        saveSystem.Finish();
    state = StateInitialised;
}
