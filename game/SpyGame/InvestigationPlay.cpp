// The play step of a frame in a room, on the map or on a board, and the
// developer hook that jumps to rooms and highlights items.
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
#include "game/SpyGame/items/SpyItem.h"
#include "game/SpyGame/items/SpyItemManager.h"
#include "game/SpyGame/items/SpyItemRef.h"
#include "game/shell/c_game_ini.h"
#include "game/shell/c_res_manager.h"

using Modal = CInvestigationDialogs::Modal;

namespace {

constexpr std::uint32_t kDeveloperMessage = 1024;
constexpr float kHighlightSpeed = 3.0f;
constexpr const char* kBoathouse = "Boathouse";
constexpr const char* kChapter1 = "1chapter";
constexpr const char* kChapter11 = "11chapter";
constexpr const char* kDecrypt2 = "Decrypt2";
constexpr const char* kBackTarget = "_BACK";

// The developer hook's command text lives as long as the program.
std::string& DeveloperCommand()
{
    static std::string command;
    return command;
}

} // namespace

// ------------------------------------------------------------------ the play step

void CInvestigation::OnGuiEvent(float dt)
{
    CDialogSpyGamePanel* panel = Panel();
    if (panel)
        panel->EnableHint(currentRoom && !currentRoom->GetCursorItem() && currentRoom->CanUseHint());

    for (std::uint32_t& counter : taskCounters)
        counter = 0;
    if (CPersonage* personage = CurrentPersonage())
        personage->GetTaskCounts(taskCounters[0], taskCounters[1], taskCounters[2], taskCounters[3], findAll != 0);
    UpdateDialogs(dt, false);

    if (highlightPhase != -1.0f) {
        highlightPhase += kHighlightSpeed * dt;
        if (highlightPhase > 1.0f)
            highlightPhase = 0.0f;
    }

    const bool board = currentRoom && (currentRoom == murderHunt || currentRoom == invCards);
    const bool held = currentRoom && currentRoom->GetResult() == CRoomBase::ResultBusy;
    if (!board && !held) {
        // An event was taken whatever its action answered: nothing else this frame.
        if (TakeEvent())
            return;
    }

    if ((state == InvState::Play || state == InvState::Map) && introTextPending) {
        ShowModal(Modal::IntroText, "INTRO_TEXT", name, true);
        EnterKeepingPrevious(InvState::IntroText);
        introTextPending = 0;
        return;
    }

    if (!RunPanelCommand(dt))
        return;
    if (!currentRoom) {
        RunTips(dt);
        return;
    }
    const int result = currentRoom->Update(dt, false);
    if (!OnRoomResult(result))
        return;
    RunTips(dt);
}

bool CInvestigation::RunPanelCommand(float dt)
{
    CDialogSpyGamePanel* panel = Panel();
    if (!panel)
        return true;
    switch (panel->GetState()) {
    case CDialogSpyGamePanel::ResultBack:
        GoBack();
        break;
    case CDialogSpyGamePanel::ResultMap:
        GoToMap();
        break;
    case CDialogSpyGamePanel::ResultMenu:
        EnterKeepingPrevious(InvState::InGameMenu);
        panel->SetRoomPause(true);
        HideTipBalloon();
        return false;
    case CDialogSpyGamePanel::ResultCardRoom:
        EnterKeepingPrevious(InvState::Help);
        panel->SetRoomPause(true);
        HideTipBalloon();
        break;
    case 9:
        OpenMurderHunt();
        break;
    case CDialogSpyGamePanel::ResultSkip:
        ShowModal(Modal::SolveConfirm, true);
        EnterKeepingPrevious(InvState::SolveConfirm);
        HideTipBalloon();
        break;
    case CDialogSpyGamePanel::ResultPause:
        Pause(true);
        break;
    case 14:
        UseMHHint(true);
        break;
    case CDialogSpyGamePanel::ResultMurderHunt:
        RunMurderHuntCommand();
        break;
    case CDialogSpyGamePanel::ResultHint:
        EnterKeepingPrevious(InvState::HintList);
        if (currentRoom)
            currentRoom->SuspendFlags(false);
        tipEvents.Queue("first_use_hint_on_list", 0.0f);
        if (tipEvents.Check(dt))
            panel->SetBlockPause(true);
        panel->SetHintMode(true);
        return false;
    default:
        break;
    }
    return true;
}

void CInvestigation::RunMurderHuntCommand()
{
    if (!currentRoom || !murderHunt || currentRoom->GetName() == kDecrypt)
        return;
    switch (murderHunt->GetCurrentState()) {
    case 1: {
        const bool second = name == kChapter11 && currentRoom->GetName() == kBoathouse;
        CRoomBase* decrypt = rooms ? rooms->GetRoom(second ? kDecrypt2 : kDecrypt) : nullptr;
        if (!decrypt)
            return;
        const std::uint32_t leave = currentRoom->GetLeaveArg();
        history.push_back(currentRoom);
        currentRoom = decrypt;
        currentRoom->Entry(leave);
        UpdatePanelButtons();
        HideTipBalloon();
        break;
    }
    case 2: {
        CSpyItem* container =
            currentRoom->GetItemManager() && currentRoom->GetItemManager()->HasItem(CMurderHunt::kContainer)
                ? currentRoom->GetItem(CMurderHunt::kContainer)
                : nullptr;
        if (!useHintsTipShown && currentRoom->GetName() == murderHunt->GetCurrentCardRoom() && container
            && container->IsVisible()) {
            useHintsTipShown = 1;
            tipEvents.Queue("use_hints", 0.0f);
        }
        break;
    }
    default:
        break;
    }
}

bool CInvestigation::OnRoomResult(int result)
{
    switch (result) {
    case CRoomBase::ResultGoTo:
        TakeDoor();
        return false;
    case CRoomBase::ResultCloseUp:
        OpenCloseUp();
        return false;
    case CRoomBase::ResultPick:
        PickClickedItem();
        return false;
    case CRoomBase::ResultNone:
        if (name == kChapter1 && murderHunt && murderHunt->GetCurrentState() == 2 && !marivelCommentShown
            && currentRoom->GetName() == murderHunt->GetCurrentCardRoom()) {
            ShowComment();
            return false;
        }
        return true;
    case CRoomBase::ResultHelp: {
        const std::string& own = currentRoom->GetHelpTextId();
        if (own.empty())
            ShowModal(Modal::Tutorial, findAll ? "HELP_FindAll" : "HELP", currentRoom->GetName(), true);
        else
            ShowModal(Modal::Tutorial, own, std::string(), true);
        currentRoom->ResetResult();
        EnterKeepingPrevious(InvState::Tutorial);
        HideTipBalloon();
        return false;
    }
    case CRoomBase::ResultBigHelp:
        ShowModal(Modal::TutorialBig, "HELP", currentRoom->GetName(), true);
        currentRoom->ResetResult();
        EnterKeepingPrevious(InvState::TutorialBig);
        HideTipBalloon();
        return false;
    case CRoomBase::ResultComment:
        if (!marivelCommentShown) {
            ShowComment();
            return false;
        }
        return true;
    default:
        return true;
    }
}

void CInvestigation::ShowComment()
{
    ShowModal(Modal::MarivelComment, "MARIVEL_COMMENT", currentRoom->GetName(), true);
    EnterKeepingPrevious(InvState::Comment);
    HideTipBalloon();
    currentRoom->ResetResult();
}

void CInvestigation::TakeDoor()
{
    HideTipBalloon();
    CRoomBase* left = currentRoom;
    const std::uint32_t leave = left->GetLeaveArg();
    const std::string target = left->TakeTargetRoom();
    if (target == kBackTarget) {
        GoBack();
        return;
    }
    const bool exists = rooms && rooms->HasRoom(target);
    CRoomBase* next = exists ? rooms->GetRoom(target) : nullptr;
    if (next && (next == murderHunt || next == invCards)) {
        const bool opened = next == murderHunt ? OpenMurderHunt() : OpenInvCards();
        if (!opened)
            left->Entry(leave);
        return;
    }
    if (!exists && !findAll) {
        // Logs the missing room; the player stays where the door was.
        if (rooms)
            rooms->GetRoom(target);
        left->Entry(leave);
        return;
    }
    if (state == InvState::MurderHunt)
        history.push_back(left);
    if (!exists) {
        CPersonage* personage = CurrentPersonage();
        CFindAllOrder& order = rooms->FindAllOrder();
        for (order.First(); !order.IsEnd(); order.Next())
            if (personage && personage->HasRoomTasks(order.GetCurrent())) {
                order.Erase(order.GetCurrent());
                break;
            }
        pendingRoom = target;
        EnterKeepingPrevious(InvState::RoomToLoad);
        return;
    }
    currentRoom = next;
    CPersonage* personage = CurrentPersonage();
    if (!mapEnabled && globalMap && murderHunt && personage
        && !personage->IsItemUseToNone(CSpyItemRef(kBoathouse, globalMap->GetName())) && name == kChapter11
        && murderHunt->GetCurrentCardRoom() != kBoathouse) {
        mapEnabled = 1;
        murderHunt->EntryNewInvestigation(kBoathouse);
        marivelCommentShown = 0;
    }
    currentRoom->Entry(leave);
    UpdatePanelButtons();
    CDialogSpyGamePanel* panel = Panel();
    if (state == InvState::Map) {
        mapLocation = currentRoom->GetName();
        EnableMapButton();
        if (panel)
            panel->SetRoomPause(!panel->IsISpyRoom());
        state = InvState::Play;
    } else if (CGlobalMap* map = dynamic_cast<CGlobalMap*>(globalMap); map && map->HasLocation(currentRoom->GetName())) {
        mapLocation = currentRoom->GetName();
    }
    if (state == InvState::MurderHunt && panel)
        panel->SetRoomPause(!panel->IsISpyRoom());
}

void CInvestigation::OpenCloseUp()
{
    CRoomBase* left = currentRoom;
    const std::uint32_t leave = left->GetLeaveArg();
    const std::string target = left->TakeCloseUpRoom();
    CRoomBase* closeUp = rooms ? rooms->GetRoom(target) : nullptr;
    if (!closeUp) {
        left->Entry(leave);
        return;
    }
    SetPanelButtonEnabled(CDialogSpyGamePanel::BtnMap, false);
    history.push_back(left);
    currentRoom = closeUp;
    currentRoom->Entry(leave);
    fadeAlpha = 0.0f;
    currentRoom->SetAlpha(0.0f);
    BlockPanel();
    state = InvState::FadeIn;
}

void CInvestigation::PickClickedItem()
{
    CSpyItem* item = currentRoom->GetClickedItem();
    if (!item)
        return;
    pickedItem = item;
    CPersonage* personage = CurrentPersonage();
    std::string about, clickUse, itemClickUse;
    if (personage) {
        personage->HasItemInfo(item->GetName());
        about = personage->GetFocusedItemAbout();
        clickUse = personage->GetFocusedItemClickUse();
        itemClickUse = personage->GetItemClickUse(CSpyItemRef(item->GetName(), item->GetRoomName()));
    }
    const std::string roomName = currentRoom->GetName();

    if ((currentRoom == invCards || clickUse == "INVCARD") && !item->IsTaken()) {
        ShowInvCard(item->GetName());
        item->SetTaken(true);
        item->SetVisible(false);
        return;
    }
    if (!marivelCommentShown && name != kChapter1
        && ((itemClickUse == CMurderHunt::kContainer && roomName != kBoathouse)
            || (itemClickUse == "MH_ENVELOPE" && roomName == kBoathouse))) {
        ShowModal(Modal::MarivelComment, "MARIVEL_COMMENT", roomName, true);
        EnterKeepingPrevious(InvState::Comment);
        HideTipBalloon();
        return;
    }
    if (clickUse == CMurderHunt::kContainer && murderHunt && murderHunt->GetCurrentIndex() == 0) {
        ShowModal(Modal::MHInstruction, true);
        currentRoom->PutPickedItemToInventory();
        currentRoom->ResetResult();
        EnterKeepingPrevious(InvState::MHInstruction);
        HideTipBalloon();
        return;
    }
    if (murderHunt && (currentRoom == murderHunt || clickUse == "MURDERHUNT")) {
        ShowInvCard(item->GetName(), true);
        item->SetTaken(true);
        item->SetVisible(false);
        return;
    }
    if (clickUse == "EVIDENCE" || clickUse == "EVIDENCE_WT") {
        ShowModal(Modal::PickEvidence, true);
        EnterKeepingPrevious(InvState::Evidence);
        HideTipBalloon();
        return;
    }
    if (about.empty()) {
        currentRoom->PutPickedItemToInventory();
        return;
    }
    BlockPanel();
    if (dialogs) {
        dialogs->SetModalWideText(Modal::PickItem,
                                  resManager ? resManager->GetLocalizedString(about, roomName) : std::wstring());
        dialogs->ShowModal(Modal::PickItem);
        std::int32_t x = 0, y = 0, w = 0, h = 0;
        if (dialogs->GetPickItemArea(x, y, w, h))
            item->SetPos(float(x + (w - item->GetWidthRounded()) / 2), float(y + (h - item->GetHeightRounded()) / 2),
                         false);
    }
    item->SetVisible(false);
    EnterKeepingPrevious(InvState::PickItem);
    HideTipBalloon();
}

void CInvestigation::RunTips(float dt)
{
    if (!dialogs || dialogs->IsTipShown())
        return;
    CDialogSpyGamePanel* panel = Panel();
    if (tipEvents.Check(dt)) {
        if (panel)
            panel->SetBlockPause(true);
        // Closing the tip returns to the state the tip came over.
        if (dialogs->IsPointerTip())
            EnterKeepingPrevious(InvState::ModalTip);
    } else if (panel) {
        panel->SetBlockPause(!panel->IsISpyRoom());
    }
}

// ------------------------------------------------------------------ developer hook

LRESULT CInvestigation::OnWindowMessage(std::uint32_t message, WPARAM wParam, LPARAM lParam, std::int32_t extra)
{
    (void)extra;
    const CGameIni* gameIni = CGameIni::getSingletonPtr();
    if (message != kDeveloperMessage || (state != InvState::Play && state != InvState::Paused) || !gameIni
        || !gameIni->AreCheatKeysEnabled())
        return 0;
    std::string& command = DeveloperCommand();
    switch (wParam) {
    case 0:
        command.clear();
        break;
    case 1:
        if (lParam >= 1 && lParam <= 255)
            command += char(static_cast<unsigned char>(lParam));
        break;
    case 2:
        RunDeveloperCommand(command);
        break;
    default:
        break;
    }
    return 0;
}

void CInvestigation::RunDeveloperCommand(const std::string& command)
{
    const std::string::size_type dot = command.find('.');
    const std::string roomName = dot == std::string::npos ? command : command.substr(0, dot);
    const std::string itemName = dot == std::string::npos ? command : command.substr(dot + 1);
    if (rooms && rooms->HasRoom(roomName)) {
        CRoomBase* room = rooms->GetRoom(roomName);
        CRoomBase* before = currentRoom;
        if (room != currentRoom) {
            if (room == globalMap)
                GoToMap();
            else if (room == murderHunt)
                OpenMurderHunt();
            else if (room == invCards)
                OpenInvCards();
        }
        if (currentRoom == before && room != currentRoom) {
            if (currentRoom) {
                history.push_back(currentRoom);
                currentRoom->Exit();
            }
            currentRoom = room;
            currentRoom->Entry(0);
            UpdatePanelButtons();
        }
    }
    highlightedItems.clear();
    CSpyItemManager* items = currentRoom ? currentRoom->GetItemManager() : nullptr;
    if (!items)
        return;
    if (items->HasItem(itemName)) {
        highlightedItems.push_back(currentRoom->GetItem(itemName));
    } else if (const std::vector<CSpyItem*>* group = items->GetISpyGroup(itemName)) {
        highlightedItems.assign(group->begin(), group->end());
        if (highlightPhase == -1.0f)
            highlightPhase = 0.0f;
    }
}
