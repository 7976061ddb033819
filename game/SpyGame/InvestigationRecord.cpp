// The investigation's save record: seventeen fields, little-endian, strings
// with their NUL. A record is applied only when it was read whole.
#include "engine/util/a_log.h"
#include "game/SpyGame/Dialogs/DialogSpyGamePanel.h"
#include "game/SpyGame/Investigation.h"
#include "game/SpyGame/InvestigationStateIds.h"
#include "game/SpyGame/Personage.h"
#include "game/SpyGame/PersonagesManager.h"
#include "game/SpyGame/Rooms/MurderHunt.h"
#include "game/SpyGame/Rooms/RoomsManager.h"
#include "game/SpyGame/items/SpyItem.h"
#include "game/SpyGame/items/SpyItemManager.h"
#include "game/shell/save_load_system.h"

namespace {

// The murder-hunt state that ends the hunt: the panel's mode stays.
constexpr int kHuntOver = 5;

struct Record {
    std::uint32_t state = 0;
    std::uint32_t previousState = 0;
    std::string mapLocation;
    std::string room;
    float fadeAlpha = 0.0f;
    std::uint8_t mapEnabled = 0;
    std::uint8_t findAll = 0;
    std::string pendingRoom;
    std::vector<std::string> history;
    std::uint32_t taskCounters[4] = {0, 0, 0, 0};
    std::uint8_t randomClickingShown = 0;
    std::uint8_t useHintsTipShown = 0;
    std::uint8_t faTutorialPending = 0;
    std::uint32_t findAllHintsUsed = 0;
    std::uint8_t marivelCommentShown = 0;
    std::uint8_t introTextPending = 0;
};

} // namespace

std::uint32_t CInvestigation::SaveSelf(SaveLoadSystem& system, std::uint32_t pos)
{
    pos = system.WriteU32(pos, state);
    pos = system.WriteU32(pos, previousState);
    pos = system.WriteString(pos, mapLocation);
    pos = system.WriteString(pos, currentRoom ? currentRoom->GetName() : std::string());
    pos = system.WriteF32(pos, fadeAlpha);
    pos = system.WriteU8(pos, mapEnabled);
    pos = system.WriteU8(pos, findAll);
    pos = system.WriteString(pos, pendingRoom);
    std::vector<std::string> names;
    for (const CRoomBase* room : history)
        if (room)
            names.push_back(room->GetName());
    pos = system.WriteStringList(pos, names);
    for (const std::uint32_t counter : taskCounters)
        pos = system.WriteU32(pos, counter);
    pos = system.WriteU8(pos, randomClickingShown);
    pos = system.WriteU8(pos, useHintsTipShown);
    pos = system.WriteU8(pos, faTutorialPending);
    pos = system.WriteU32(pos, findAllHintsUsed);
    pos = system.WriteU8(pos, marivelCommentShown);
    pos = system.WriteU8(pos, introTextPending);
    return pos;
}

std::uint32_t CInvestigation::LoadSelf(SaveLoadSystem& system, std::uint32_t pos)
{
    Record r;
    pos = system.ReadU32(pos, r.state);
    pos = system.ReadU32(pos, r.previousState);
    pos = system.ReadString(pos, r.mapLocation);
    pos = system.ReadString(pos, r.room);
    pos = system.ReadF32(pos, r.fadeAlpha);
    pos = system.ReadU8(pos, r.mapEnabled);
    pos = system.ReadU8(pos, r.findAll);
    pos = system.ReadString(pos, r.pendingRoom);
    pos = system.ReadStringList(pos, r.history);
    for (std::uint32_t& counter : r.taskCounters)
        pos = system.ReadU32(pos, counter);
    pos = system.ReadU8(pos, r.randomClickingShown);
    pos = system.ReadU8(pos, r.useHintsTipShown);
    pos = system.ReadU8(pos, r.faTutorialPending);
    pos = system.ReadU32(pos, r.findAllHintsUsed);
    pos = system.ReadU8(pos, r.marivelCommentShown);
    pos = system.ReadU8(pos, r.introTextPending);
    // A cut record leaves the investigation as the new game set it up.
    if (system.HasOverrun())
        return pos;
    // So does one that does not fit the case: rooms it does not have (Find
    // All's rooms load one by one, so its current room may be still to
    // load), another mode, a state no build has.
    const auto known = [this](const std::string& name) { return rooms && rooms->HasRoom(name); };
    const char* misfit = nullptr;
    if (!(r.fadeAlpha >= 0.0f && r.fadeAlpha <= 1.0f))
        misfit = "its fade";
    else if (r.state > InvState::IntroText || (r.previousState > InvState::IntroText && r.previousState != kNoState))
        misfit = "its state";
    else if (r.findAll != findAll)
        misfit = "its mode";
    else if (!r.room.empty() && !r.findAll && !known(r.room))
        misfit = "its room";
    for (const std::string& roomName : r.history)
        if (!misfit && !known(roomName))
            misfit = "a room of its history";
    if (personages)
        for (const auto& personage : personages->GetPersonages())
            if (!misfit && personage->investigationInfo.findAllMode != findAll)
                misfit = "a personage's mode";
    if (misfit) {
        a_log("CInvestigation::LoadSelf(). The record does not fit the case: %s", misfit);
        system.RefuseRecord();
        return pos;
    }

    state = r.state;
    previousState = r.previousState;
    mapLocation = r.mapLocation;
    fadeAlpha = r.fadeAlpha;
    mapEnabled = r.mapEnabled;
    findAll = r.findAll;
    if (r.room.empty() || !rooms)
        currentRoom = nullptr;
    else if (findAll)
        currentRoom = rooms->HasRoom(r.room) ? rooms->GetRoom(r.room) : nullptr;
    else
        currentRoom = rooms->GetRoom(r.room);
    pendingRoom = r.pendingRoom;
    history.clear();
    for (const std::string& roomName : r.history)
        history.push_back(rooms->GetRoom(roomName));

    CPersonage* personage = CurrentPersonage();
    if (personage)
        SelectPersonage(personage->GetName());
    SetupPanelAfterLoad();

    clockStart = kClockStart;
    for (std::size_t i = 0; i < 4; ++i)
        taskCounters[i] = r.taskCounters[i];
    randomClickingShown = r.randomClickingShown;
    useHintsTipShown = r.useHintsTipShown;
    faTutorialPending = r.faTutorialPending;
    findAllHintsUsed = r.findAllHintsUsed;
    marivelCommentShown = r.marivelCommentShown;
    introTextPending = r.introTextPending;
    idleTimer = skipTimer = 0.0f;
    clickAges.clear();

    const bool pending = findAll && !currentRoom && !r.room.empty();
    if (pending) {
        pendingRoom = r.room;
        state = InvState::RoomToLoad;
    }
    // The game saves only ready to enter or under the in-game menu; nothing
    // else can resume without what the record does not hold.
    const bool resumable = state == InvState::Ready || pending
                           || (state == InvState::InGameMenu && currentRoom
                               && (previousState == InvState::Play || previousState == InvState::MurderHunt
                                   || previousState == InvState::InvCards || previousState == InvState::Map));
    if (!resumable) {
        a_log("CInvestigation::LoadSelf(). State %u (previous %u) cannot be resumed; the case is entered again",
              state, previousState);
        state = InvState::Ready;
    }
    return pos;
}

void CInvestigation::SetupPanelAfterLoad()
{
    CPersonage* personage = CurrentPersonage();
    CDialogSpyGamePanel* panel = Panel();
    if (!currentRoom || !personage || !panel)
        return;
    const std::string roomName = currentRoom->GetName();
    const int huntState = murderHunt ? murderHunt->GetCurrentState() : 0;
    const std::string cardRoom = murderHunt ? murderHunt->GetCurrentCardRoom() : std::string();
    const bool isCardRoom = murderHunt && cardRoom == roomName && huntState != 0;
    const std::string task = personage->GetCurrentRoomTask();
    const CPersonage::CRoomInfo& info = personage->GetRoomInfo(personage->currentItem.room);
    panel->SetupRoom(task, &info.taskList, &info.clueList, roomName, isCardRoom,
                     personage->HasRoomTasks(roomName));
    // The panel's record restores the notebook pair from info_spy_room, which
    // stays visible on the map too; the room decides which notebook it shows.
    SetPanelButtonVisible(CDialogSpyGamePanel::NotebookISpy, currentRoom->IsISpyRoom());
    SetPanelButtonVisible(CDialogSpyGamePanel::NotebookNoISpy, !currentRoom->IsISpyRoom());
    if (!murderHunt || huntState == kHuntOver)
        return;
    // A card room without its container counts as hidden.
    const CSpyItem* container = nullptr;
    if (cardRoom == roomName) {
        const CSpyItemManager* items = currentRoom->GetItemManager();
        container = items && items->HasItem(CMurderHunt::kContainer) ? currentRoom->GetItem(CMurderHunt::kContainer)
                                                                      : nullptr;
    } else if (rooms && rooms->HasRoom(cardRoom)) {
        const CRoomBase* card = rooms->GetRoom(cardRoom);
        const CSpyItemManager* items = card->GetItemManager();
        container = items && items->HasItem(CMurderHunt::kContainer) ? card->GetItem(CMurderHunt::kContainer) : nullptr;
    }
    const bool visible = container && container->IsVisible();
    switch (huntState) {
    case 1:
        panel->SetMode(0);
        break;
    case 2:
        panel->SetMode(visible ? 1 : 2);
        break;
    case 3:
        panel->SetMode(3);
        break;
    case 0:
        panel->SetMode(4);
        break;
    default:
        break;
    }
}
