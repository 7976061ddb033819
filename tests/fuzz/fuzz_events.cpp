// Scripted events: an "_events.ini" file and the events manager's record.
// The input is split at "\n@@\n": the events file (the hall's and the
// case's), then the record. The first byte's low bits choose the Find All
// game, a shown message and a close-up. The events are read, asked for
// ready events in two rooms, loaded from the record and saved again, and
// the hall's block goes through the rooms manager: saved, parked while the
// hall is not loaded, and applied at its reset.
#include <string>

#include "engine/util/a_application.h"
#include "engine/util/a_options_file.h"
#include "engine/util/a_random.h"
#include "fuzz/fuzz_support.h"
#include "game/SpyGame/PersonagesManager.h"
#include "game/SpyGame/PersonagesRoomContext.h"
#include "game/SpyGame/Rooms/RoomsManager.h"
#include "game/SpyGame/SpyEvents.h"
#include "game/SpyGame/fake_events_owner.h"
#include "game/SpyGame/items/SpyItemKinds.h"
#include "game/shell/save_load_system.h"
#include "support/save_blocks.h"

namespace {

constexpr std::uint32_t kVersion = 4374;
constexpr const char* kCase = "gamedata:_Investigations/c/";

void writeGame()
{
    fuzz::writeTemp("events/_Investigations/c/_rooms.list", "Hall\nDen\n");
    fuzz::writeTemp("events/_Investigations/c/_investigation.ini",
                    "[PersonagesList]\nPersonages = Fuzzer, Other\nStartPersonages = Fuzzer\n");
    fuzz::writeTemp("events/_Investigations/c/Hall/Fuzzer.ai",
                    "[ROOM]\nRoomTask = t\nMustPickItems = a\nISpyItemsCount = 1\n[a]\nAbout = x\nUseTo = ONESELF\n");
    fuzz::writeTemp("events/_Locations/Rooms/Hall/location.ini", "[Room]\nSize = 10 10\n");
    fuzz::writeTemp("events/_Locations/Rooms/Hall/items.ini",
                    "[a]\nIsISpyItem = 1\n[b]\nIsISpyItem = 1\nVisible = 0\n[k]\nInventory = 1\n");
    fuzz::writeTemp("events/_Locations/Rooms/Den/location.ini", "[Room]\nSize = 10 10\n");
    fuzz::writeTemp("events/_Locations/Rooms/Den/items.ini", "[e]\nIsISpyItem = 1\n");
    g_application->m_fileServer.setAssign("gamedata", fuzz::tempDir() + "events/");
    RegisterItemKinds();
    RegisterRoomKinds();
    RegisterEventKinds();
}

// Ready events taken as the play step takes them, a few rounds.
void fire(CSpyEventsManager& events)
{
    for (int round = 0; round < 4; ++round)
        if (CSpyEventBase* event = events.GetReadyEvent())
            event->SetDone();
    for (const auto& event : events.GetEvents()) {
        event->CheckWinItems();
        event->CheckVisibilityItems();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::recordingGraphics();
    static const bool ready = (writeGame(), true);
    (void)ready;
    const std::vector<std::string> parts = fuzz::splitParts(data, size, "\n@@\n");
    fuzz::writeTemp("events/_Investigations/c/Hall/_events.ini", parts[0]);
    fuzz::writeTemp("events/_Investigations/c/_events.ini", parts[0]);
    const std::uint8_t mode = size > 0 ? data[0] : 0;

    CRoomsManager rooms;
    CPersonagesManager personages;
    CPersonagesRoomContext context(personages);
    FakeEventsOwner owner;
    owner.name = "c";
    owner.findAll = (mode & 1) != 0;
    owner.message = (mode & 2) != 0;
    owner.historyEmpty = (mode & 4) == 0;
    owner.personages = &personages;
    owner.rooms = &rooms;
    rooms.SetServices(CRoomServices());
    rooms.Init(&personages, nullptr, &context);
    rooms.LoadRooms(kCase, &owner);
    rooms.AfterLoadInitRooms(kCase, nullptr, nullptr);
    rooms.ResetRooms(kCase);
    personages.CreatePersonages(aOptionsFile(std::string(kCase) + "_investigation.ini"), nullptr, &rooms);
    personages.LoadAllRoomAiData(kCase, owner.findAll ? CPersonagesManager::kFindAllCase : "c");
    a_srand(1);
    personages.ResetPersonages(false, owner.findAll);

    CSpyEventsManager events;
    events.SetOwner(&owner);
    events.AddEvents(std::string(kCase) + CSpyEventsManager::kFile);
    events.ResetEvents("c");
    for (const char* room : {"Hall", "Den"}) {
        owner.room = rooms.HasRoom(room) ? rooms.GetRoom(room) : nullptr;
        if (owner.room)
            fire(owner.room->GetEventsManager());
        fire(events);
    }
    if (CPersonage* p = personages.GetPersonage("Fuzzer")) {
        p->SetCurrentRoom("Hall");
        p->HasItemInfo("a");
        p->OnClickAtFocusedItem(CSpyItemRef("a", "Hall"));
        p->MarkFocusedItemAndApplyScripts();
    }
    fire(events);

    std::vector<std::uint8_t> payload;
    save_blocks::append(payload, events.GetKey(), parts.size() > 1 ? parts[1] : std::string());
    SaveLoadSystem system;
    if (system.BeginLoadPayload(payload, 1, "events")) {
        system.LoadEntity(&events);
        system.Finish();
    }
    fire(events);
    const std::string save = fuzz::tempDir() + "events.save";
    if (system.BeginSave(save, kVersion)) {
        system.SaveEntity(&events);
        system.SaveEntity(&rooms);
        system.Finish();
    }
    // The hall's block parked while it is not loaded, then applied at its reset.
    if (rooms.RemoveRoom("Hall") && system.BeginLoad(save, kVersion)) {
        system.LoadEntity(&rooms);
        system.Finish();
        if (CRoomBase* hall = rooms.AddRoom("Hall", std::string(kCase) + "Hall", &owner)) {
            hall->Reset();
            owner.room = hall;
            fire(hall->GetEventsManager());
        }
    }
    rooms.ReleaseAll();
    return 0;
}
