// The per-frame step: normal play in a room, the fades, and every state
// that waits for a dialog, a movie, a scene or the banner.
#include <algorithm>
#include <cmath>

#include "engine/gfx/a_flash_player.h"
#include "engine/gui/gui_server.h"
#include "engine/sound/a_music_manager.h"
#include "engine/sound/a_sound.h"
#include "engine/util/a_application.h"
#include "engine/util/a_input_server.h"
#include "game/SpyGame/Dialogs/DialogSpyGamePanel.h"
#include "game/SpyGame/Investigation.h"
#include "game/SpyGame/InvestigationDialogs.h"
#include "game/SpyGame/InvestigationStateIds.h"
#include "game/SpyGame/Personage.h"
#include "game/SpyGame/PersonagesManager.h"
#include "game/SpyGame/Rooms/MurderHunt.h"
#include "game/SpyGame/Rooms/RoomsManager.h"
#include "game/SpyGame/SpyEvents.h"
#include "game/SpyGame/items/SpyItem.h"
#include "game/SpyGame/items/SpyItemManager.h"
#include "game/shell/current_profile.h"

using Modal = CInvestigationDialogs::Modal;

namespace {

constexpr float kSecondIdleTip = 20.0f;
constexpr float kIdleTip = 30.0f;
constexpr float kSkipTip = 30.0f;
constexpr float kLowClock = 120.0f;
constexpr float kFadeSpeed = 4.0f;
constexpr float kHintRestoreDelay = 2.0f;
constexpr std::uint32_t kIdleTipCount = 4;
constexpr std::uint32_t kRestoreBelowHints = 3;
constexpr std::uint8_t kEscapeKey = 0x01;
constexpr std::int32_t kHuntAreaX = 0, kHuntAreaY = 450, kHuntAreaW = 215, kHuntAreaH = 140;
constexpr const char* kHuntPoint = "MH_BUTTON_PANEL";
constexpr const char* kPanelWindow = "SpyGameInterface";

aInputServer* Input()
{
    return g_application ? g_application->m_inputServer : nullptr;
}

bool LeftPressed()
{
    const aInputServer* input = Input();
    return input && input->m_mouseButtons[0] == KEY_PRESSED;
}

void MousePos(std::int32_t& x, std::int32_t& y)
{
    x = y = 0;
    if (const aInputServer* input = Input())
        input->getMousePos(x, y);
}

} // namespace

// ------------------------------------------------------------------ shared steps

void CInvestigation::UpdateDialogs(float dt, bool noCounters)
{
    if (!dialogs)
        return;
    if (noCounters)
        dialogs->Update(dt, -1, -1, -1, -1);
    else
        dialogs->Update(dt, std::int32_t(taskCounters[0]), std::int32_t(taskCounters[1]),
                        std::int32_t(taskCounters[2]), std::int32_t(taskCounters[3]));
}

void CInvestigation::DialogStep(float dt)
{
    UpdateDialogs(dt, false);
    if (currentRoom)
        currentRoom->Update(dt, true);
}

bool CInvestigation::Answered(CInvestigationDialogs::Modal which, bool hiddenCounts)
{
    const std::int32_t answer = dialogs ? dialogs->GetModalState(which) : 1;
    if (answer != 3 && !(hiddenCounts && answer == 1))
        return false;
    if (dialogs)
        dialogs->HideModal(which);
    UnblockPanel();
    return true;
}

bool CInvestigation::TakeEvent()
{
    CSpyEventBase* before = currentEvent;
    currentEvent = nullptr;
    ProcessEvents();
    if (currentEvent)
        return true;
    currentEvent = before;
    return false;
}

bool CInvestigation::IsBoard(const CRoomBase* room) const
{
    return room && (room == globalMap || room == murderHunt || room == invCards);
}

void CInvestigation::EnterRoomAgain()
{
    if (currentRoom)
        currentRoom->Entry(0);
}

// ------------------------------------------------------------------ the step

std::uint32_t CInvestigation::Update(float dt)
{
    CDialogSpyGamePanel* panel = Panel();
    switch (state) {
    case InvState::Play:
        UpdatePlay(dt);
        break;
    case InvState::FadeIn:
        UpdateDialogs(dt, false);
        fadeAlpha = std::min(1.0f, fadeAlpha + kFadeSpeed * dt);
        if (currentRoom)
            currentRoom->SetAlpha(fadeAlpha);
        if (fadeAlpha == 1.0f) {
            UpdatePanelButtons();
            UnblockPanel();
            state = InvState::Play;
        }
        break;
    case InvState::GoBack:
        UpdateDialogs(dt, false);
        fadeAlpha = std::max(0.0f, fadeAlpha - kFadeSpeed * dt);
        if (currentRoom)
            currentRoom->SetAlpha(fadeAlpha);
        if (fadeAlpha == 0.0f)
            LandAfterGoingBack();
        break;
    case InvState::PickItem:
        DialogStep(dt);
        if (pickedItem)
            pickedItem->UpdateObject(dt);
        if (Answered(Modal::PickItem, true))
            GoOnFromDialog();
        break;
    case InvState::Evidence:
        DialogStep(dt);
        if (Answered(Modal::PickEvidence, true))
            GoOnFromDialog();
        break;
    case InvState::MHPhoto:
    case InvState::InvCard:
        DialogStep(dt);
        if (Answered(state == InvState::MHPhoto ? Modal::MHPhoto : Modal::InvCard, state == InvState::MHPhoto))
            GoOnFromDialog();
        break;
    case InvState::MurderHunt:
    case InvState::InvCards:
    case InvState::Map:
        OnGuiEvent(dt);
        clickAges.clear();
        break;
    case InvState::ItemIdent:
        DialogStep(dt);
        if (Answered(Modal::ItemIdent, false))
            GoOnFromDialog();
        break;
    case InvState::EventForItem:
        DialogStep(dt);
        if (Answered(Modal::EventForItem, false))
            GoOnFromDialog();
        break;
    case InvState::Comics:
        UpdateDialogs(dt, false);
        if (!dialogs || !dialogs->IsSceneOpen()) {
            if (CDialogSpyGamePanel* panel = Panel())
                panel->SetBlockPause(!panel->IsISpyRoom());
            EnterRoomAgain();
            state = previousState;
            ProcessEvents();
        }
        break;
    case InvState::Flash:
        UpdateFlash();
        break;
    case InvState::FlashQuestion:
        UpdateDialogs(dt, false);
        if (const std::int32_t answer = dialogs ? dialogs->GetModalState(Modal::YesNo) : 1;
            answer == 3 || answer == 4) {
            if (answer == 4 && flash)
                flash->pause(false);
            UnblockPanel();
            dialogs->HideModal(Modal::YesNo);
            state = InvState::Flash;
        }
        break;
    case InvState::ModalTip:
        UpdateModalTip(dt);
        break;
    case InvState::SearchFinish:
        DialogStep(dt);
        if (Answered(Modal::SearchFinish, false))
            GoOnFromDialog();
        break;
    case InvState::LocFinish:
        DialogStep(dt);
        if (Answered(Modal::LocFinish, false)) {
            GoOnFromDialog();
            ProcessEvents();
        }
        break;
    case InvState::MHFinished:
    case InvState::FAFinished:
        state = previousState;
        break;
    case InvState::SolveConfirm:
        DialogStep(dt);
        if (const std::int32_t answer = dialogs ? dialogs->GetModalState(Modal::SolveConfirm) : 1;
            answer == 3 || answer == 4) {
            if (answer == 3 && currentRoom) {
                currentRoom->ClickAtFocusedItem();
                PlayNamedSound("solve");
                if (!currentRoom->CanSkipBonusRound() && panel)
                    panel->ShowSkipBonusRound(false);
            }
            UnblockPanel();
            dialogs->HideModal(Modal::SolveConfirm);
            state = previousState;
        }
        break;
    case InvState::Banner:
        DialogStep(dt);
        if (!IsBannerRunning()) {
            UnblockPanel();
            state = previousState;
            if (!TakeEvent())
                EnterRoomAgain();
        }
        break;
    case InvState::InGameMenu:
        if (currentRoom)
            currentRoom->Update(dt, true);
        break;
    case InvState::HintList:
        UpdateHintList(dt);
        break;
    case InvState::RandomClicking:
    case InvState::OutOfTime:
        UpdateDialogs(dt, true);
        if (currentRoom)
            currentRoom->Update(dt, true);
        if (state == InvState::RandomClicking) {
            if (Answered(Modal::RandomClicking, false))
                GoOnFromDialog();
        } else if (dialogs && dialogs->GetModalState(Modal::OutOfTime) == 3) {
            if (currentRoom)
                currentRoom->Exit();
            Answered(Modal::OutOfTime, false);
            state = InvState::OutOfTimeDone;
        }
        break;
    case InvState::Tutorial:
    case InvState::TutorialBig:
    case InvState::Comment:
    case InvState::MHInstruction:
    case InvState::IntroText: {
        if (state == InvState::Comment)
            marivelCommentShown = 1;
        DialogStep(dt);
        static constexpr Modal kModals[] = {Modal::Tutorial, Modal::TutorialBig, Modal::MarivelComment,
                                            Modal::MHInstruction, Modal::IntroText};
        if (Answered(kModals[state - InvState::Tutorial], false))
            GoOnFromDialog();
        break;
    }
    default:
        break;
    }
    return state;
}

void CInvestigation::GoOnFromDialog()
{
    switch (state) {
    case InvState::PickItem:
    case InvState::Evidence:
        if (currentRoom)
            currentRoom->PutPickedItemToInventory();
        break;
    case InvState::MHPhoto:
    case InvState::InvCard:
        if (pickedItem && currentRoom)
            currentRoom->PutPickedItemToInventory();
        if (state == InvState::MHPhoto)
            HideTipBalloon();
        break;
    case InvState::ItemIdent: {
        const auto* event = dynamic_cast<const SpyEvents::ENpcItemIdent*>(currentEvent);
        if (event && !event->OpenItem.empty() && rooms)
            if (CSpyItem* item = rooms->GetItemByFullName(event->OpenItem))
                item->SetVisible(true);
        break;
    }
    case InvState::EventForItem:
        ApplyEventForItem();
        break;
    case InvState::SearchFinish: {
        const auto* finish = dynamic_cast<const SpyEvents::ESearchFinish*>(currentEvent);
        if (finish && finish->IsGoToMap)
            GoToMap();
        else
            state = previousState;
        if (aMusicManager* musicManager = Music())
            musicManager->SetVolume(CurrentProfile::Get().musicVolume);
        return;
    }
    case InvState::LocFinish:
        GoToMap();
        // Without a map the player stays where the location ended.
        if (state != InvState::LocFinish)
            return;
        break;
    case InvState::Comment:
        marivelCommentShown = 1;
        break;
    default:
        break;
    }
    state = previousState;
}

bool CInvestigation::GoOnForSave()
{
    static constexpr struct {
        std::uint32_t state;
        Modal dialog;
    } kWaits[] = {
        {InvState::PickItem, Modal::PickItem},         {InvState::Evidence, Modal::PickEvidence},
        {InvState::MHPhoto, Modal::MHPhoto},           {InvState::InvCard, Modal::InvCard},
        {InvState::ItemIdent, Modal::ItemIdent},       {InvState::EventForItem, Modal::EventForItem},
        {InvState::SearchFinish, Modal::SearchFinish}, {InvState::LocFinish, Modal::LocFinish},
        {InvState::SolveConfirm, Modal::SolveConfirm}, {InvState::RandomClicking, Modal::RandomClicking},
        {InvState::Tutorial, Modal::Tutorial},         {InvState::TutorialBig, Modal::TutorialBig},
        {InvState::Comment, Modal::MarivelComment},    {InvState::MHInstruction, Modal::MHInstruction},
        {InvState::IntroText, Modal::IntroText},
    };
    for (const auto& wait : kWaits)
        if (wait.state == state) {
            // A question is left unanswered: nothing is solved.
            if (dialogs)
                dialogs->HideModal(wait.dialog);
            UnblockPanel();
            GoOnFromDialog();
            return true;
        }
    CDialogSpyGamePanel* panel = Panel();
    switch (state) {
    case InvState::Paused:
        Pause(false);
        return state != InvState::Paused;
    case InvState::FadeIn:
        fadeAlpha = 1.0f;
        if (currentRoom)
            currentRoom->SetAlpha(fadeAlpha);
        UpdatePanelButtons();
        UnblockPanel();
        state = InvState::Play;
        return true;
    case InvState::GoBack:
        fadeAlpha = 0.0f;
        if (currentRoom)
            currentRoom->SetAlpha(fadeAlpha);
        LandAfterGoingBack();
        return true;
    case InvState::Comics:
    case InvState::Flash:
    case InvState::FlashQuestion:
        // The scene or the movie is not over: it plays again from its start.
        if (dialogs)
            dialogs->HideDialogs();
        if (state != InvState::Comics) {
            if (flash)
                flash->pause(true);
            if (panel)
                panel->Show();
        }
        if (dynamic_cast<SpyEvents::EEventForComics*>(currentEvent)
            || dynamic_cast<SpyEvents::EPlayFlash*>(currentEvent))
            currentEvent->ResetDone();
        UnblockPanel();
        state = previousState;
        return true;
    case InvState::ModalTip:
        HideTipBalloon();
        UnblockPanel();
        state = previousState;
        return true;
    case InvState::MHFinished:
    case InvState::FAFinished:
        state = previousState;
        return true;
    case InvState::Banner:
        // The win was saved as the banner started; what follows it is the
        // case's next event, which the play step takes.
        if (dialogs)
            dialogs->HideDialogs();
        UnblockPanel();
        state = previousState;
        return true;
    case InvState::HintList:
        if (panel)
            panel->SetHintMode(false);
        if (currentRoom)
            currentRoom->SuspendFlags(true);
        UnblockPanel();
        state = previousState;
        return true;
    case InvState::OutOfTime:
        // Its only answer restarts the case, which the game root does.
        if (currentRoom)
            currentRoom->Exit();
        if (dialogs)
            dialogs->HideModal(Modal::OutOfTime);
        UnblockPanel();
        state = InvState::OutOfTimeDone;
        return false;
    default:
        return false;
    }
}

void CInvestigation::UpdatePlay(float dt)
{
    CDialogSpyGamePanel* panel = Panel();
    if (HasRoomTasks()) {
        if (!findAll && panel && panel->GetClockTime() <= 0.0f) {
            ShowModal(Modal::OutOfTime, true);
            EnterKeepingPrevious(InvState::OutOfTime);
            return;
        }
        if (!findAll && panel && panel->GetClockTime() <= kLowClock)
            tipEvents.Queue("time_less_two_minutes", 0.0f);
        skipTimer = 0.0f;
        idleTimer += dt;
    } else {
        idleTimer = 0.0f;
        if (!IsBoard(currentRoom))
            skipTimer += dt;
    }

    OnGuiEvent(dt);

    if (!currentRoom)
        return;
    if (!HasRoomTasks()) {
        if (IsBoard(currentRoom))
            return;
        if (currentRoom->TakeOneShotFlag() || currentRoom->GetCursorItem() || !IsSkipBonusRoundVisible())
            skipTimer = 0.0f;
        if (skipTimer > kSkipTip) {
            tipEvents.Queue("skip", 0.0f);
            skipTimer = 0.0f;
        }
        return;
    }
    CheckRapidClicks(dt);
    CheckIdleTips();

    CPersonage* personage = CurrentPersonage();
    if (!findAll && panel && !panel->IsMHMagicStarsArmed() && name != "1chapter" && murderHunt && personage
        && murderHunt->GetCurrentCardRoom() == currentRoom->GetName() && murderHunt->GetCurrentState() == 2
        && personage->IsRoomTaskCompleted(currentRoom->GetName()))
        panel->StartMHMagicStars();
}

void CInvestigation::CheckRapidClicks(float dt)
{
    // A sliding window: any clicksLimit presses within timeBetweenClicks
    // seconds count, wherever the window starts.
    for (float& age : clickAges)
        age += dt;
    while (!clickAges.empty() && !(clickAges.front() <= timeBetweenClicks))
        clickAges.pop_front();
    if (LeftPressed()) {
        std::int32_t x = 0, y = 0;
        MousePos(x, y);
        const GUI::Server* gui = GUI::Server::getSingletonPtr();
        const GUI::Widget* widget = gui ? gui->hover : nullptr;
        if (widget && widget->GetName() != kPanelWindow) {
            clickAges.clear();
            idleTimer = 0.0f;
        } else {
            float roomX = 0.0f, roomY = 0.0f;
            currentRoom->GetPos(roomX, roomY);
            const std::int64_t left = std::int64_t(roomX), top = std::int64_t(roomY);
            if (std::isfinite(roomX) && std::isfinite(roomY) && std::fabs(roomX) < 1e9f && std::fabs(roomY) < 1e9f
                && x >= left && y >= top && x < left + currentRoom->GetScaledWidth()
                && y < top + currentRoom->GetScaledHeight()) {
                clickAges.push_back(0.0f);
                idleTimer = 0.0f;
            }
        }
    }
    if (currentRoom->TakeOneShotFlag() || currentRoom->GetCursorItem()) {
        clickAges.clear();
        return;
    }
    if (clickAges.size() < std::size_t(clicksLimit))
        return;
    CDialogSpyGamePanel* panel = Panel();
    if (!findAll) {
        if (panel)
            panel->AddClockTime(-clickTimeOut);
        ShowRandomClicking("many_clicks_text", "Marivel_Trusk");
    } else if (panel && panel->GetHintsCount() >= 1) {
        if (dialogs)
            dialogs->SetModalText(Modal::RandomClicking, "many_clicks_text_find_all", std::string());
        panel->UseHint();
        ShowRandomClicking(std::string(), "Tamsel_Quennick");
    }
    if (multiClickSound)
        multiClickSound->Play(false, false);
    clickAges.clear();
}

void CInvestigation::ShowRandomClicking(const std::string& textId, const std::string& photo)
{
    if (dialogs) {
        if (!textId.empty())
            dialogs->SetModalText(Modal::RandomClicking, textId, std::string());
        dialogs->SetModalImage(Modal::RandomClicking, photo);
        dialogs->ShowModal(Modal::RandomClicking);
    }
    BlockPanel();
    EnterKeepingPrevious(InvState::RandomClicking);
    randomClickingShown = 1;
}

void CInvestigation::CheckIdleTips()
{
    if (idleTimer > kSecondIdleTip && idleTipIndex == 2) {
        tipEvents.Queue("idle_spy_room_2", 0.0f);
        idleTipIndex = 3;
        idleTimer = 0.0f;
    }
    if (idleTimer > kIdleTip) {
        const CDialogSpyGamePanel* panel = Panel();
        if (idleTipIndex == 1 && (!panel || panel->GetHintsCount() == 0))
            idleTipIndex = 2;
        tipEvents.Queue("idle_spy_room_" + std::to_string(idleTipIndex), 0.0f);
        if (++idleTipIndex > kIdleTipCount)
            idleTipIndex = 1;
        idleTimer = 0.0f;
    }
}

void CInvestigation::LandAfterGoingBack()
{
    CRoomBase* back = nullptr;
    if (!history.empty()) {
        back = rooms ? rooms->GetRoom(history.back()->GetName()) : nullptr;
        history.pop_back();
    }
    UnblockPanel();
    if (!back) {
        // The room to go back to is gone: the map, else the room again.
        if (globalMap) {
            GoToMap();
            return;
        }
        EnterRoomAgain();
        UpdatePanelButtons();
        state = InvState::Play;
        return;
    }
    currentRoom = back;
    if (back == globalMap) {
        GoToMap();
        return;
    }
    if (back == murderHunt) {
        OpenMurderHunt();
        return;
    }
    currentRoom->Entry(0);
    UpdatePanelButtons();
    if (history.empty())
        SetPanelButtonEnabled(CDialogSpyGamePanel::BtnMap, globalMap && mapEnabled);
    else
        fadeAlpha = 1.0f;
    state = InvState::Play;
}

void CInvestigation::UpdateFlash()
{
    if (flash && (LeftPressed() || (Input() && Input()->keyState(kEscapeKey) == KEY_PRESSED))) {
        flash->pause(true);
        if (dialogs) {
            dialogs->CenterModal(Modal::YesNo);
            dialogs->SetModalText(Modal::YesNo, "skip_scene_confirm", std::string());
            dialogs->ShowModal(Modal::YesNo);
        }
        state = InvState::FlashQuestion;
        return;
    }
    if (flash && flash->isPlaying())
        return;
    PlayCaseMusic();
    if (CDialogSpyGamePanel* panel = Panel())
        panel->Show();
    EnterRoomAgain();
    state = previousState;
    ProcessEvents();
}

void CInvestigation::UpdateModalTip(float dt)
{
    DialogStep(dt);
    if (!dialogs || !dialogs->IsTipShown()) {
        UnblockPanel();
        state = previousState;
        return;
    }
    if (!dialogs->IsPointerTip() || !LeftPressed())
        return;
    std::int32_t x = 0, y = 0;
    MousePos(x, y);
    const std::string point = dialogs->GetTipPointName();
    if (point != kHuntPoint) {
        CSpyItem* item = currentRoom ? currentRoom->GetItem(point) : nullptr;
        if (!item || !item->HitTest(float(x), float(y)))
            return;
        dialogs->HideTip();
        UnblockPanel();
        state = previousState;
        // The click reaches the item in this frame.
        currentRoom->Update(0.0f, false);
        OnGuiEvent(dt);
        return;
    }
    if (x < kHuntAreaX || y < kHuntAreaY || x >= kHuntAreaX + kHuntAreaW || y >= kHuntAreaY + kHuntAreaH)
        return;
    dialogs->HideTip();
    UnblockPanel();
    state = InvState::Play;
    CRoomBase* decrypt = rooms && rooms->HasRoom(kDecrypt) ? rooms->GetRoom(kDecrypt) : nullptr;
    if (!decrypt || !currentRoom)
        return;
    const std::uint32_t leave = currentRoom->GetLeaveArg();
    history.push_back(currentRoom);
    currentRoom = decrypt;
    currentRoom->Entry(leave);
    UpdatePanelButtons();
}

void CInvestigation::UpdateHintList(float dt)
{
    DialogStep(dt);
    CDialogSpyGamePanel* panel = Panel();
    const std::int32_t code = panel ? panel->GetState() : 0;
    if (code == CDialogSpyGamePanel::ResultHintChosen) {
        if (currentRoom)
            currentRoom->ShowListHint(panel->GetHintTarget());
        state = previousState;
        if (currentRoom)
            currentRoom->SuspendFlags(true);
        if (dialogs && dialogs->IsTipShown() && dialogs->GetShownTipName() == "first_use_hint_on_list")
            dialogs->HideTip();
        if (panel->GetHintsCount() < kRestoreBelowHints)
            tipEvents.Queue("hint_first_restore", kHintRestoreDelay);
        if (findAll)
            ++findAllHintsUsed;
    } else if (code == CDialogSpyGamePanel::ResultHintCancel) {
        if (currentRoom)
            currentRoom->SuspendFlags(true);
        state = previousState;
    }
}
