#include <cmath>

#include "engine/sound/a_music_manager.h"
#include "engine/sound/a_sound.h"
#include "engine/sound/a_sound_manager.h"
#include "engine/sound/a_ambient_sound_system.h"
#include "engine/gfx/a_flash_player.h"
#include "engine/gfx/a_graph_server.h"
#include "engine/util/a_application.h"
#include "engine/util/a_input_server.h"
#include "engine/util/a_locale_server.h"
#include "engine/util/a_log.h"
#include "game/SpyGame/Dialogs/DialogSpyGamePanel.h"
#include "game/SpyGame/Investigation.h"
#include "game/SpyGame/InvestigationDialogs.h"
#include "game/SpyGame/PersonagesManager.h"
#include "game/SpyGame/Rooms/GlobalMap.h"
#include "game/SpyGame/Rooms/InvCards.h"
#include "game/SpyGame/Rooms/MurderHunt.h"
#include "game/SpyGame/Rooms/RoomsManager.h"
#include "game/SpyGame/SpyEvents.h"
#include "game/shell/c_res_manager.h"
#include "game/shell/current_profile.h"

// ------------------------------------------------------------------ helpers

CDialogSpyGamePanel* CInvestigation::Panel() const
{
    return dialogs ? dialogs->GetPanel() : nullptr;
}

CPersonage* CInvestigation::CurrentPersonage() const
{
    return personages ? personages->GetCurrentPersonage() : nullptr;
}

void CInvestigation::EnterKeepingPrevious(std::uint32_t value)
{
    previousState = state;
    state = value;
}

void CInvestigation::SetPanelButtonEnabled(std::size_t part, bool enabled) const
{
    if (CDialogSpyGamePanel* panel = Panel())
        if (GUI::Widget* widget = panel->GetPart(CDialogSpyGamePanel::Part(part)))
            widget->SetEnabled(enabled);
}

void CInvestigation::SetPanelButtonVisible(std::size_t part, bool visible) const
{
    if (CDialogSpyGamePanel* panel = Panel())
        if (GUI::Widget* widget = panel->GetPart(CDialogSpyGamePanel::Part(part)))
            widget->SetVisible(visible);
}

void CInvestigation::BlockPanel()
{
    SetPanelButtonVisible(CDialogSpyGamePanel::BlockWidget, true);
    if (CDialogSpyGamePanel* panel = Panel())
        panel->SetBlockPause(true);
}

void CInvestigation::UnblockPanel()
{
    SetPanelButtonVisible(CDialogSpyGamePanel::BlockWidget, false);
    if (CDialogSpyGamePanel* panel = Panel())
        panel->SetBlockPause(!panel->IsISpyRoom());
}

void CInvestigation::EnableMapButton()
{
    SetPanelButtonEnabled(CDialogSpyGamePanel::BtnMap, mapEnabled && globalMap);
}

std::wstring CInvestigation::Localised(const std::string& key) const
{
    aLocaleServer* locale = resManager ? resManager->GetLocaleServer() : nullptr;
    const std::wstring* text = locale ? locale->findString(key, name) : nullptr;
    return text ? *text : std::wstring();
}

bool CInvestigation::IsMessageVisible() const
{
    return dialogs && dialogs->IsMessageVisible();
}

CRoomBase* CInvestigation::GetCurrentRoom() const
{
    return currentRoom;
}

void CInvestigation::SetCurrentRoom(CRoomBase* room)
{
    currentRoom = room;
}

CMurderHunt* CInvestigation::GetMurderHuntRoom() const
{
    return murderHunt;
}

// ------------------------------------------------------------------ pausing

void CInvestigation::Pause(bool pause)
{
    if ((pause && state == StatePaused) || (!pause && state != StatePaused) || IsBannerRunning())
        return;
    if (pause) {
        pauseState = state;
        state = StatePaused;
    } else {
        state = pauseState;
    }
    if (CDialogSpyGamePanel* panel = Panel())
        panel->SetRoomPause(pause || !panel->IsISpyRoom());
    if (dialogs)
        dialogs->ShowPause(pause);
}

void CInvestigation::Resume()
{
    if (state != StateInGameMenu && state != StateHelp)
        return;
    state = previousState;
    if (state == StatePlay)
        if (CDialogSpyGamePanel* panel = Panel())
            panel->SetRoomPause(!panel->IsISpyRoom());
    PlayCaseMusic();
    aAmbientSoundSystem::SetVolume(CurrentProfile::Get().ambientVolume);
    if (currentRoom && currentRoom == globalMap)
        globalMap->RefreshItemState();
}

bool CInvestigation::HoldForSave()
{
    // The states whose play step takes the panel's Menu button.
    const auto playing = [](std::uint32_t s) {
        return s == StatePlay || s == StateMurderHunt || s == StateInvCards || s == StateMap;
    };
    // Whatever is over the room is gone on from first, as the player would,
    // so that what is saved is whole; one dialog may have opened over
    // another.
    for (int i = 0; i < kMaxHeldDialogs && !playing(state) && GoOnForSave(); ++i) {
    }
    if (state == StateInGameMenu)
        return playing(previousState);
    if (state == StateHelp && playing(previousState)) {
        state = StateInGameMenu;
        return true;
    }
    if (!playing(state))
        return false;
    EnterKeepingPrevious(StateInGameMenu);
    if (CDialogSpyGamePanel* panel = Panel())
        panel->SetRoomPause(true);
    HideTipBalloon();
    return true;
}

void CInvestigation::Exit()
{
    if (state <= StateLoaded)
        return;
    if (currentRoom)
        currentRoom->Exit();
    currentRoom = nullptr;
    if (aMusicManager* musicManager = resManager ? resManager->GetMusicManager() : nullptr) {
        std::string group;
        if (!music.empty() && musicManager->GetCurrentTrack(group) == music)
            musicManager->Stop(false);
    }
    state = StateStarted;
}

// ------------------------------------------------------------------ rooms

void CInvestigation::GoToMap()
{
    if (!globalMap)
        return;
    history.clear();
    if (currentRoom)
        currentRoom->Exit();
    currentRoom = globalMap;
    currentRoom->Entry(0);
    UpdatePanelButtons();
    if (dialogs)
        dialogs->HideMessage();
    SetPanelButtonEnabled(CDialogSpyGamePanel::BtnMap, false);
    SetPanelButtonEnabled(CDialogSpyGamePanel::BtnCardRoom, true);
    if (CDialogSpyGamePanel* panel = Panel())
        panel->SetRoomPause(true);
    state = StateMap;
}

void CInvestigation::GoBack()
{
    // Leaving "Decrypt" once the hunt is decrypted skips the hunt board.
    const bool skipHunt = currentRoom && currentRoom->GetName() == kDecrypt && murderHunt && !history.empty()
                          && history.back() == murderHunt && murderHunt->GetCurrentState() == 2;
    if (history.size() == (skipHunt ? 1u : 0u) && !globalMap) {
        // Nowhere to go: the player stays in the room.
        a_log("CInvestigation::GoBack(). No room to go back to and no map");
        return;
    }
    if (dialogs)
        dialogs->HideMessage();
    if (currentRoom) {
        currentRoom->Exit();
        if (aSound* sound = currentRoom->GetSoundOnBack())
            sound->Play(false, false);
    }
    if (skipHunt)
        history.pop_back();
    if (history.empty()) {
        GoToMap();
        return;
    }
    if (currentRoom)
        currentRoom->SetAlpha(fadeAlpha);
    CDialogSpyGamePanel* panel = Panel();
    if (panel)
        panel->SetBlockPause(true);
    if (history.size() == 1)
        SetPanelButtonVisible(CDialogSpyGamePanel::Back, false);
    if (panel && currentRoom != invCards && currentRoom != murderHunt)
        panel->SetRoomPause(!panel->IsISpyRoom());
    state = StateGoBack;
}

void CInvestigation::OnRoomLoaded()
{
    CRoomBase* loaded = rooms && rooms->HasRoom(pendingRoom) ? rooms->GetRoom(pendingRoom) : nullptr;
    if (!loaded) {
        a_log("CInvestigation::OnRoomLoaded(). Room '%s' was not loaded", pendingRoom.c_str());
        state = previousState;
        if (currentRoom) {
            currentRoom->Entry(0);
            UpdatePanelButtons();
        } else {
            GoToMap();
        }
        return;
    }
    state = previousState;
    currentRoom = loaded;
    currentRoom->Reset();
    CentreRoom(*currentRoom);
    currentRoom->Entry(0);
    UpdatePanelButtons();
    CDialogSpyGamePanel* panel = Panel();
    if (state == StateMap) {
        mapLocation = currentRoom->GetName();
        EnableMapButton();
        if (panel)
            panel->SetRoomPause(!panel->IsISpyRoom());
        state = StatePlay;
    }
    if (faTutorialPending) {
        BlockPanel();
        if (dialogs)
            dialogs->ShowTutorial("find_all_first_enter_room");
        EnterKeepingPrevious(StateTutorial);
        faTutorialPending = 0;
    }
}

void CInvestigation::UpdatePanelButtons()
{
    CRoomBase* room = currentRoom;
    if (!room)
        return;
    if (room->HasContinueButton()) {
        SetPanelButtonVisible(CDialogSpyGamePanel::Back, false);
        SetPanelButtonVisible(CDialogSpyGamePanel::ContinueBtnPanel, true);
    } else {
        SetPanelButtonVisible(CDialogSpyGamePanel::ContinueBtnPanel, false);
        SetPanelButtonVisible(CDialogSpyGamePanel::Back, room->IsBackAllowed() && !history.empty());
    }
    CDialogSpyGamePanel* panel = Panel();
    if (panel)
        panel->ShowSkipBonusRound(room->CanSkipBonusRound());
    SetPanelButtonVisible(CDialogSpyGamePanel::NotebookISpy, room->IsISpyRoom());
    SetPanelButtonVisible(CDialogSpyGamePanel::NotebookNoISpy, !room->IsISpyRoom());
    if (panel)
        panel->SetRoomPause(!panel->IsISpyRoom());
    highlightedItems.clear();
    fadeAlpha = 1.0f;
    room->SetAlpha(fadeAlpha);
    if (room != globalMap)
        SetPanelButtonVisible(CDialogSpyGamePanel::InfoMap, false);
    if (panel)
        panel->EnableHint(!room->GetCursorItem() && room->CanUseHint());
}

bool CInvestigation::CallCurrentRoomHook()
{
    return currentRoom && currentRoom->AreaHook();
}

// ------------------------------------------------------------------ personages and texts

void CInvestigation::SelectPersonage(const std::string& personageName)
{
    bool active = false;
    if (personages)
        for (const std::string& activeName : personages->GetActiveNames())
            active = active || activeName == personageName;
    if (!active) {
        a_log("CInvestigation:SelectPersonage: not find '%s' in active personages list!", personageName.c_str());
        return;
    }
    personages->SetCurrentPersonage(personageName);
    CPersonage* personage = personages->GetCurrentPersonage();
    CDialogSpyGamePanel* panel = Panel();
    if (panel)
        panel->SetPersonageName(personageName);
    if (dialogs)
        dialogs->SetMessagePersIcon(personageName);
    if (panel && personage)
        panel->SetPersonageComment(personage->investigationInfo.InvTask, &personage->investigationInfo.invTasks, name);
}

void CInvestigation::ShowMessage(const std::string& text)
{
    if (!text.empty() && dialogs)
        dialogs->ShowMessage(text, name, true);
}

void CInvestigation::OnEventChangePersonages(SpyEvents::EChangePersonages* event)
{
    if (!event)
        return;
    if (currentRoom)
        currentRoom->Exit();
    if (personages) {
        for (const std::string& quit : event->QuitPersonages)
            personages->DeactivatePersonage(quit);
        for (const std::string& joined : event->NewPersonages)
            personages->ActivatePersonage(joined);
        for (const SpyEvents::EChangePersonages::SendItem& item : event->SendItems)
            for (const std::string* who : {&item.source, &item.target})
                if (!personages->GetPersonage(*who))
                    a_log("CInvestigation::OnEventChangePersonages(). Personage '%s' not exist!", who->c_str());
        for (const std::string& text : event->SendFinishedTasks) {
            const CSpyItemRef ref = CSpyItemRef::Parse(text);
            CPersonage* personage = personages->GetPersonage(ref.room);
            if (!personage)
                a_log("CInvestigation::OnEventChangePersonages(). Personage '%s' not exist!", ref.room.c_str());
            else if (!personage->CompleteInvTask(ref.name))
                a_log("CInvestigation::OnEventChangePersonages(). Personage '%s', task '%s' not exist!",
                      ref.room.c_str(), ref.name.c_str());
        }
    }
    aSoundManager* sounds = resManager ? resManager->GetSoundManager() : nullptr;
    if (!event->Ringtone.empty() && sounds && sounds->HasSound(event->Ringtone, ""))
        sounds->GetSound(event->Ringtone, "")->Stop();
    if (!event->NewPersonages.empty())
        SelectPersonage(event->NewPersonages.front());
    if (!event->IsGoToMap) {
        if (currentRoom)
            currentRoom->Entry(0);
        UnblockPanel();
        state = previousState;
    } else {
        GoToMap();
    }
}

// ------------------------------------------------------------------ cards and hints

bool CInvestigation::ShowInvCard(const std::string& cardName)
{
    const CInvCards* cards = dynamic_cast<const CInvCards*>(invCards);
    std::shared_ptr<aImage> card = cards && cards->FindCard(cardName) ? cards->LoadCardIcons(cardName) : nullptr;
    if (!card) {
        a_log("CInvestigation:ShowInvCard(). Not find investigation card '%s'.", cardName.c_str());
        return false;
    }
    BlockPanel();
    if (dialogs)
        dialogs->ShowInvCard(card);
    EnterKeepingPrevious(StateInvCard);
    return true;
}

void CInvestigation::ShowInvCard(const std::string& cardRoom, bool marks)
{
    (void)marks;
    if (!murderHunt)
        return;
    std::shared_ptr<aImage> photo = murderHunt->LoadPhotoIcons(cardRoom);
    if (!photo) {
        a_log("CInvestigation:ShowInvCard(). Not find investigation card '%s'.", cardRoom.c_str());
        return;
    }
    BlockPanel();
    std::wstring text;
    switch (murderHunt->GetStateByRoom(cardRoom)) {
    case 2:
        text = Localised("_GREENQUESTMARK_PHOTO") + Localised("HINT_MURDER_HUNT");
        break;
    case 3:
        text = Localised(currentRoom && currentRoom->GetName() == "Mrs_Wendrow_sitting_room"
                             ? "_ENVELOPEMARK_PHOTO_LAST"
                             : "_ENVELOPEMARK_PHOTO");
        break;
    case 4:
        text = Localised("_CHECKMARK_PHOTO");
        break;
    default:
        break;
    }
    if (dialogs)
        dialogs->ShowMHPhoto(photo, text);
    EnterKeepingPrevious(StateMHPhoto);
}

void CInvestigation::UseMHHint(bool show)
{
    if (tipEvents.Check(0.0f))
        return;
    std::string key;
    if (murderHunt) {
        switch (murderHunt->GetCurrentState()) {
        case 1:
            key = "HINT_TOOL_TIP_MH_QUEST";
            break;
        case 2: {
            CSpyItem* container = rooms ? rooms->GetItem(murderHunt->GetCurrentCardRoom(), CMurderHunt::kContainer)
                                        : nullptr;
            key = container && container->IsVisible() ? "HINT_MURDER_HUNT" : "HINT_TOOL_TIP_PICK_ENVELOPE";
            break;
        }
        case 3:
            key = "HINT_TOOL_TIP_MH_DONE";
            break;
        default:
            break;
        }
    }
    std::int32_t x = 0, y = 0;
    if (g_application && g_application->m_inputServer)
        g_application->m_inputServer->getMousePos(x, y);
    if (!dialogs)
        return;
    if (!show && dialogs->IsHintVisible()) {
        dialogs->HideHint();
        return;
    }
    aLocaleServer* locale = resManager ? resManager->GetLocaleServer() : nullptr;
    if ((dialogs->CanShowHint(x, y) || !show) && !key.empty() && locale && locale->findString(key, name))
        dialogs->ShowHint(x, y, 100, key, name);
}

// ------------------------------------------------------------------ events

bool CInvestigation::ProcessEvents()
{
    if (currentRoom)
        if (CSpyEventBase* event = currentRoom->GetEventsManager().GetReadyEvent()) {
            currentEvent = event;
            event->SetDone();
            return OnEvent(event, currentRoom->GetName());
        }
    if (CSpyEventBase* event = events.GetReadyEvent()) {
        currentEvent = event;
        event->SetDone();
        return OnEvent(event, name);
    }
    return false;
}

void CInvestigation::ApplyEventForItem()
{
    const SpyEvents::EEventForItem* event = dynamic_cast<const SpyEvents::EEventForItem*>(currentEvent);
    if (!event || !rooms)
        return;
    if (!event->HideItem.empty())
        if (CSpyItem* item = rooms->GetItemByFullName(event->HideItem)) {
            item->SetVisible(false);
            if (currentRoom)
                currentRoom->RefreshItemState();
        }
    if (!event->ShowItem.empty())
        if (CSpyItem* item = rooms->GetItemByFullName(event->ShowItem)) {
            item->SetVisible(true);
            if (currentRoom)
                currentRoom->RefreshItemState();
        }
}

// ------------------------------------------------------------------ grades, sounds, queries

std::int32_t CInvestigation::GetMHCertificateType()
{
    if (!murderHunt)
        return 1;
    const std::int32_t counter = murderHunt->GetCounter();
    if (counter <= 0)
        return 1;
    if (counter <= 2)
        return 2;
    if (counter <= 4)
        return 3;
    return 4;
}

std::int32_t CInvestigation::GetFACertificateType() const
{
    if (findAllHintsUsed == 0)
        return 1;
    if (findAllHintsUsed <= 4)
        return 2;
    if (findAllHintsUsed <= 14)
        return 3;
    return 4;
}

bool CInvestigation::PlaySound(aSoundManager* sounds, const std::string& soundName, const std::string& group,
                               bool loop)
{
    aSound* sound = sounds ? sounds->GetSound(soundName, group) : nullptr;
    if (!sound)
        return false;
    sound->Play(loop, false);
    return true;
}

bool CInvestigation::HasRoomTasks() const
{
    const CPersonage* personage = CurrentPersonage();
    return personage && currentRoom && personage->HasRoomTasks(currentRoom->GetName());
}

std::string CInvestigation::GetFocusedItemAbout() const
{
    CPersonage* personage = CurrentPersonage();
    return personage ? personage->GetFocusedItemAbout() : std::string();
}

std::string CInvestigation::GetFocusedItemClickUse() const
{
    const CPersonage* personage = CurrentPersonage();
    return personage ? personage->GetFocusedItemClickUse() : std::string();
}

bool CInvestigation::IsBannerRunning() const
{
    return dialogs && dialogs->IsBannerRunning();
}

bool CInvestigation::IsSkipBonusRoundVisible() const
{
    const CDialogSpyGamePanel* panel = Panel();
    if (!panel)
        return false;
    for (CDialogSpyGamePanel::Part part : {CDialogSpyGamePanel::SkipWithBack, CDialogSpyGamePanel::SkipCenter})
        if (const GUI::Widget* widget = panel->GetPart(part))
            if (widget->IsVisible())
                return true;
    return false;
}
