// What the investigation does when a scripted event fires.
#include <algorithm>

#include "engine/gfx/a_flash_player.h"
#include "engine/sound/a_music_manager.h"
#include "engine/util/a_log.h"
#include "game/SpyGame/Dialogs/DialogSpyGamePanel.h"
#include "game/SpyGame/Investigation.h"
#include "game/SpyGame/InvestigationDialogs.h"
#include "game/SpyGame/InvestigationStateIds.h"
#include "game/SpyGame/Personage.h"
#include "game/SpyGame/PersonagesManager.h"
#include "game/SpyGame/Rooms/GlobalMap.h"
#include "game/SpyGame/Rooms/MurderHunt.h"
#include "game/SpyGame/Rooms/RoomsManager.h"
#include "game/SpyGame/SpyEvents.h"
#include "game/SpyGame/items/SpyItem.h"
#include "game/SpyGame/items/SpyItemRef.h"
#include "game/shell/c_res_manager.h"
#include "game/shell/current_profile.h"

using Modal = CInvestigationDialogs::Modal;
using namespace SpyEvents;

namespace {

constexpr float kSearchFinishMusicVolume = 0.3f;
constexpr const char* kLocationCompleted = "location_completed";

template <class Kind>
Kind* As(const std::string& kind, CSpyEventBase* event)
{
    return kind == Kind::GetClassStaticName() ? static_cast<Kind*>(event) : nullptr;
}

} // namespace

// ------------------------------------------------------------------ shared steps

void CInvestigation::HideTipBalloon() const
{
    if (dialogs)
        dialogs->HideTip();
}

void CInvestigation::SetupRoomPanel() const
{
    if (currentRoom)
        currentRoom->SetupGamePanel();
}

bool CInvestigation::PlayNamedSound(const std::string& sound) const
{
    return PlaySound(resManager ? resManager->GetSoundManager() : nullptr, sound, std::string(), false);
}

aMusicManager* CInvestigation::Music() const
{
    return resManager ? resManager->GetMusicManager() : nullptr;
}

void CInvestigation::ShowModal(CInvestigationDialogs::Modal which, const std::string& textId,
                               const std::string& prefix, bool block)
{
    if (block)
        BlockPanel();
    if (!dialogs)
        return;
    dialogs->SetModalText(which, textId, prefix);
    dialogs->ShowModal(which);
}

void CInvestigation::ShowModal(CInvestigationDialogs::Modal which, bool block)
{
    if (block)
        BlockPanel();
    if (dialogs)
        dialogs->ShowModal(which);
}

// ------------------------------------------------------------------ events

bool CInvestigation::OnEvent(CSpyEventBase* event, const std::string& prefix)
{
    if (!event)
        return false;
    const std::string kind = event->GetClassName();
    CPersonage* personage = CurrentPersonage();

    if (ENpcItemIdent* e = As<ENpcItemIdent>(kind, event)) {
        BlockPanel();
        if (dialogs) {
            dialogs->SetModalText(Modal::ItemIdent, e->TextId, prefix);
            dialogs->SetModalImage(Modal::ItemIdent, e->NPC_Image);
        }
        identifiedItem = rooms && !e->ShowItem.empty() ? rooms->GetItemByFullName(e->ShowItem) : nullptr;
        if (dialogs)
            dialogs->ShowModal(Modal::ItemIdent);
        EnterKeepingPrevious(InvState::ItemIdent);
        return true;
    }
    if (EChangePersonageInfo* e = As<EChangePersonageInfo>(kind, event)) {
        CPersonage* who = e->ForPersonage.empty() ? personage
                          : personages                 ? personages->GetPersonage(e->ForPersonage)
                                                       : nullptr;
        if (!who)
            return true;
        const CSpyItemRef ref = CSpyItemRef::Parse(e->Item);
        if (ref.name == "ROOM") {
            if (e->TypeInfo == "FirstEnter" || e->TypeInfo == "EnterToRoom" || e->TypeInfo == "RoomTask")
                who->ChangeRoomInfo(ref.room, e->TypeInfo, e->NewInfo);
        } else {
            who->ChangeItemInfo(ref, e->TypeInfo, e->NewInfo);
        }
        if (currentRoom && currentRoom->GetName() == ref.room)
            SetupRoomPanel();
        return true;
    }
    if (EPuzzleComplete* e = As<EPuzzleComplete>(kind, event)) {
        SetPanelButtonVisible(CDialogSpyGamePanel::ContinueBtnPanel, e->Visible);
        if (currentRoom)
            currentRoom->SetPuzzleComplete(e->Visible ? 1 : 0);
        return true;
    }
    if (EShowMessage* e = As<EShowMessage>(kind, event)) {
        if (dialogs)
            dialogs->ShowMessage(e->TextId, prefix, true);
        return true;
    }
    if (EEventForItem* e = As<EEventForItem>(kind, event)) {
        if (e->NPC_Image.empty()) {
            ApplyEventForItem();
            return true;
        }
        BlockPanel();
        if (dialogs) {
            dialogs->SetModalText(Modal::EventForItem, e->TextId, prefix);
            dialogs->SetModalImage(Modal::EventForItem, e->NPC_Image);
            dialogs->ShowModal(Modal::EventForItem);
        }
        EnterKeepingPrevious(InvState::EventForItem);
        return true;
    }
    if (EEventForComics* e = As<EEventForComics>(kind, event)) {
        if (currentRoom)
            currentRoom->Exit();
        const CSpyItemRef music = CSpyItemRef::Parse(e->ComicsMusic);
        if (dialogs)
            dialogs->PlayScene("language:Comics/", e->ComicsName, true, music.name, music.room);
        // The pages cover the room: its clock stands still under them.
        if (CDialogSpyGamePanel* panel = Panel())
            panel->SetBlockPause(true);
        EnterKeepingPrevious(InvState::Comics);
        HideTipBalloon();
        return true;
    }
    if (EPlayFlash* e = As<EPlayFlash>(kind, event))
        return PlayFlash(*e);
    if (EMagicStarsChanger* e = As<EMagicStarsChanger>(kind, event)) {
        for (const std::string& itemName : e->Items)
            if (CSpyItem* item = rooms ? rooms->GetItemByFullName(itemName) : nullptr)
                item->ShowMagicStars(e->ShowStars);
        return true;
    }
    if (ESetTaskCompleted* e = As<ESetTaskCompleted>(kind, event)) {
        if (personage) {
            const CSpyItemRef task = CSpyItemRef::Parse(e->TaskItem);
            if (e->ActionType == "Click")
                personage->CompleteClickTask(task);
            else if (e->ActionType == "Use")
                personage->CompleteUseTask(task);
            else if (e->ActionType == "Pick")
                personage->CompletePickTask(task);
        }
        SetupRoomPanel();
        if (!e->Sound.empty())
            PlayNamedSound(e->Sound);
        return true;
    }
    if (EChangeVisibleTasks* e = As<EChangeVisibleTasks>(kind, event)) {
        if (personage) {
            for (const std::string& task : e->HideInvTasks)
                personage->SetInvTaskVisible(task, false);
            for (const std::string& task : e->ShowInvTasks)
                personage->SetInvTaskVisible(task, true);
            for (const std::string& entry : e->HideRoomTasks) {
                const CSpyItemRef ref = CSpyItemRef::Parse(entry);
                personage->SetRoomTaskVisible(ref.room, ref.name, false);
            }
            for (const std::string& entry : e->ShowRoomTasks) {
                const CSpyItemRef ref = CSpyItemRef::Parse(entry);
                personage->SetRoomTaskVisible(ref.room, ref.name, true);
            }
        }
        SetupRoomPanel();
        return true;
    }
    if (EAddISpyToTask* e = As<EAddISpyToTask>(kind, event)) {
        if (personage && currentRoom)
            personage->GenISpyTaskInRoom(currentRoom->GetName(), e->ISpyCount, true, false);
        SetupRoomPanel();
        return true;
    }
    if (EJumpToRoom* e = As<EJumpToRoom>(kind, event)) {
        JumpToRoom(*e);
        return true;
    }
    if (ESearchFinish* e = As<ESearchFinish>(kind, event)) {
        ShowModal(Modal::SearchFinish, e->TextId, prefix, true);
        if (aMusicManager* musicManager = Music())
            musicManager->SetVolume(std::min(CurrentProfile::Get().musicVolume, kSearchFinishMusicVolume));
        PlayNamedSound(kLocationCompleted);
        EnterKeepingPrevious(InvState::SearchFinish);
        HideTipBalloon();
        return true;
    }
    if (As<EMHFinish>(kind, event) || As<EFAFinish>(kind, event)) {
        EnterKeepingPrevious(kind == EMHFinish::GetClassStaticName() ? InvState::MHFinished : InvState::FAFinished);
        HideTipBalloon();
        return true;
    }
    if (ELocationFinish* e = As<ELocationFinish>(kind, event)) {
        if (dialogs)
            dialogs->SetModalText(Modal::LocFinish, e->TextId, prefix);
        if (CGlobalMap* map = dynamic_cast<CGlobalMap*>(globalMap)) {
            if (e->DisableOnMap)
                map->SetLocationState(mapLocation, false);
            if (e->HideOnMap)
                map->SetLocationState(mapLocation, true);
        }
        if (dialogs)
            dialogs->ShowModal(Modal::LocFinish);
        PlayNamedSound(kLocationCompleted);
        BlockPanel();
        EnterKeepingPrevious(InvState::LocFinish);
        HideTipBalloon();
        return true;
    }
    if (EInvestigationWin* e = As<EInvestigationWin>(kind, event)) {
        if (e->IsGoToMap)
            GoToMap();
        else if (currentRoom && currentRoom != globalMap)
            currentRoom->Exit();
        BlockPanel();
        if (dialogs)
            dialogs->StartBanner(e->IsEndGame);
        EnterKeepingPrevious(InvState::Banner);
        HideTipBalloon();
        return true;
    }
    if (As<EInvestigationClose>(kind, event)) {
        if (murderHunt && !findAll && murderHunt->IsCurrentCardNotOpened())
            a_log("Warning, remain not opened '%u' items in Murder Hunt!", 1u);
        Exit();
        state = InvState::Closed;
        return true;
    }
    return false;
}

bool CInvestigation::PlayFlash(const SpyEvents::EPlayFlash& event)
{
    const CSpyItemRef track = CSpyItemRef::Parse(event.MusicName);
    bool switched = false;
    if (!track.name.empty())
        if (aMusicManager* musicManager = Music()) {
            musicManager->Pause(true);
            musicManager->Play(track.name, track.room, true, true);
            switched = true;
        }
    if (!flash)
        flash = std::make_shared<aFlashPlayer>();
    const std::string path = "flash:" + event.FlashFile;
    if (!flash->loadMovie(path, kFlashWidth, kFlashHeight)) {
        a_log("CInvestigation::OnEvent(). Error play flash '%s'!", path.c_str());
        // The movie's own music must not outlive it.
        if (switched)
            PlayCaseMusic();
        return false;
    }
    if (currentRoom)
        currentRoom->Exit();
    if (CDialogSpyGamePanel* panel = Panel())
        panel->Hide();
    flash->setLoop(false);
    flash->play();
    EnterKeepingPrevious(InvState::Flash);
    return true;
}

void CInvestigation::JumpToRoom(const SpyEvents::EJumpToRoom& event)
{
    CRoomBase* target = rooms ? rooms->GetRoom(event.JumpRoomName) : nullptr;
    if (!target)
        return;
    if (event.BackDisable)
        history.clear();
    else if (currentRoom)
        history.push_back(currentRoom);
    if (dialogs)
        dialogs->HideMessage();
    if (currentRoom)
        currentRoom->Exit();
    currentRoom = target;
    currentRoom->Entry(0);
    mapEnabled = event.MapDisable ? 0 : 1;
    EnableMapButton();
    UpdatePanelButtons();
    state = InvState::Play;
    HideTipBalloon();
}
