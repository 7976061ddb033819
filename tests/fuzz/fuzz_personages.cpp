// Personages: a ".ai" file and the save records of a personage and of the
// personages manager. The input is split at "\n@@\n": the ".ai" text (the
// hall's file and the case's own), the record of the personage "Fuzzer",
// then the manager's record. A first byte that is odd plays the case in
// Find All. The personages are set up, reset, sent into the hall, loaded
// from the records, queried, made to draw lines and saved again.
#include <string>

#include "engine/util/a_application.h"
#include "engine/util/a_options_file.h"
#include "engine/util/a_random.h"
#include "fuzz/fuzz_support.h"
#include "game/SpyGame/PersonagesManager.h"
#include "game/SpyGame/PersonagesRoomContext.h"
#include "game/SpyGame/Rooms/RoomsManager.h"
#include "game/SpyGame/items/SpyItemKinds.h"
#include "game/shell/save_load_system.h"
#include "support/save_blocks.h"

namespace {

constexpr std::uint32_t kVersion = 4374;
constexpr const char* kCase = "gamedata:_Investigations/c/";

void writeGame()
{
    fuzz::writeTemp("persons/_Investigations/c/_rooms.list", "Hall\nDen\n");
    fuzz::writeTemp("persons/_Investigations/c/_investigation.ini",
                    "[PersonagesList]\nPersonages = Fuzzer, Other\nStartPersonages = Fuzzer\n");
    fuzz::writeTemp("persons/_Investigations/c/Den/Other.ai", "[ROOM]\nISpyItemsCount = 2\nMustPickItems = g\n");
    fuzz::writeTemp("persons/_Locations/Rooms/Hall/location.ini", "[Room]\nSize = 10 10\n");
    fuzz::writeTemp("persons/_Locations/Rooms/Hall/items.ini",
                    "[a]\nIsISpyItem = 1\nISpyGroup = g\n[b]\nIsISpyItem = 1\nISpyGroup = g\nDiffLevel = 2\n"
                    "[c]\nIsISpyItem = 1\nDiffLevel = 0\n[d]\nIsISpyItem = 1\n[k]\nInventory = 1\n");
    fuzz::writeTemp("persons/_Locations/Rooms/Den/location.ini", "[Room]\nSize = 10 10\nEveryFullReset = 1\n");
    fuzz::writeTemp("persons/_Locations/Rooms/Den/items.ini", "[e]\nIsISpyItem = 1\n[f]\n");
    g_application->m_fileServer.setAssign("gamedata", fuzz::tempDir() + "persons/");
    RegisterItemKinds();
    RegisterRoomKinds();
}

void query(CPersonagesManager& personages)
{
    CPersonage* p = personages.GetPersonage("Fuzzer");
    if (!p)
        return;
    std::uint32_t a = 0, b = 0, c = 0, d = 0;
    p->GetTaskCounts(a, b, c, d, true);
    for (const auto& [room, info] : p->roomInfos) {
        (void)info;
        p->IsRoomTaskCompleted(room);
        p->IsISpyExhausted(room);
        p->HasRoomTasks(room);
        p->GetRoomTaskProgress(room, a, b, false);
        p->SetRoomTaskVisible(room, "a", true);
    }
    p->IsTaskItemFound(CSpyItemRef("a", "Hall"));
    p->CompleteInvTask("a");
    p->GetEnterRoomText();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::recordingGraphics();
    static const bool ready = (writeGame(), true);
    (void)ready;
    const std::vector<std::string> parts = fuzz::splitParts(data, size, "\n@@\n");
    fuzz::writeTemp("persons/_Investigations/c/Hall/Fuzzer.ai", parts[0]);
    fuzz::writeTemp("persons/_Investigations/c/Fuzzer.ai", parts[0]);
    const bool findAll = size > 0 && (data[0] & 1) != 0;

    CRoomsManager rooms;
    CPersonagesManager personages;
    CPersonagesRoomContext context(personages);
    rooms.SetServices(CRoomServices());
    rooms.Init(&personages, nullptr, &context);
    rooms.LoadRooms(kCase, nullptr);
    rooms.AfterLoadInitRooms(kCase, nullptr, nullptr);
    rooms.ResetRooms(kCase);
    personages.CreatePersonages(aOptionsFile(std::string(kCase) + "_investigation.ini"), nullptr, &rooms);
    personages.LoadAllRoomAiData(kCase, findAll ? CPersonagesManager::kFindAllCase : "c");
    personages.SetRoomItemsCount("Hall", 5);
    a_srand(1);
    personages.ResetPersonages(false, findAll);
    if (CRoomBase* hall = rooms.HasRoom("Hall") ? rooms.GetRoom("Hall") : nullptr) {
        hall->Entry(0);
        hall->Exit();
    }
    query(personages);

    std::vector<std::uint8_t> payload;
    save_blocks::append(payload, "<Personage:Fuzzer", parts.size() > 1 ? parts[1] : std::string());
    save_blocks::append(payload, CPersonagesManager::kKey, parts.size() > 2 ? parts[2] : std::string());
    SaveLoadSystem system;
    if (system.BeginLoadPayload(payload, 2, "persons")) {
        system.LoadEntity(&personages);
        system.Finish();
    }
    query(personages);
    if (CPersonage* p = personages.GetPersonage("Fuzzer")) {
        p->GenISpyTaskInRoom("Hall", 6, true, true);
        p->GenISpyTaskInRoom("Den", 2, true, false);
        std::vector<std::string> pooled;
        for (const auto& entry : personages.GetISpyPools())
            pooled.push_back(entry.first);
        for (const std::string& room : pooled)
            p->GenISpyTaskInRoom(room, 1, true, true);
    }
    personages.ResetPersonages(true, findAll);
    query(personages);
    if (system.BeginSave(fuzz::tempDir() + "persons.save", kVersion)) {
        system.SaveEntity(&personages);
        system.Finish();
    }
    rooms.ReleaseAll();
    return 0;
}
