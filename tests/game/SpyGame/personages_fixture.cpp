#include "personages_fixture.h"

#include <cstring>

#include "engine/util/a_options_file.h"
#include "engine/util/a_random.h"
#include "game/shell/save_load_system.h"
#include "support/save_blocks.h"
#include "game/SpyGame/SpyEvents.h"
#include "game/SpyGame/items/SpyItemKinds.h"
#include "support/test_env.h"

namespace persontest {

Names names(const std::vector<CFindItemsGroup>& lines)
{
    Names out;
    for (const CFindItemsGroup& line : lines)
        out.push_back(line.GetTaskName());
    return out;
}

std::string path(const std::string& name) { return test_env::home() + "/" + name; }

Blocks save(SaveLoadEntity& entity, const std::string& file)
{
    SaveLoadSystem system;
    EXPECT_TRUE(system.BeginSave(file, kVersion));
    system.SaveEntity(&entity);
    EXPECT_TRUE(system.Finish());
    const std::string text = test_env::readFile(file);
    Bytes payload(text.begin() + SaveLoadSystem::kHeaderSize, text.end());
    SaveLoadSystem::Scramble(payload.data(), std::uint32_t(payload.size()));
    Blocks out;
    for (std::size_t pos = 0; pos < payload.size();) {
        const std::string key(reinterpret_cast<const char*>(&payload[pos]));
        std::uint32_t length = 0;
        std::memcpy(&length, &payload[pos + key.size() + 1], 4);
        pos += key.size() + 5;
        out[key] = Bytes(payload.begin() + std::ptrdiff_t(pos), payload.begin() + std::ptrdiff_t(pos + length));
        pos += length;
    }
    return out;
}

bool restore(SaveLoadEntity& entity, const Blocks& blocks)
{
    Bytes payload;
    for (const auto& [key, record] : blocks)
        save_blocks::append(payload, key, record);
    SaveLoadSystem system;
    EXPECT_TRUE(system.BeginLoadPayload(payload, std::uint32_t(blocks.size()), "blocks"));
    const bool loaded = system.LoadEntity(&entity);
    system.Finish();
    return loaded;
}

void PersonagesTest::SetUp()
{
    files.setAssign("gamedata", test_env::sourceDir() + "/tests/game/SpyGame/PersonGame/");
    log = std::make_unique<TestLog>();
    RegisterItemKinds();
    RegisterRoomKinds();
    RegisterEventKinds();
    owner.name = "caseP";
    owner.personages = &personages;
    owner.rooms = &rooms;
    rooms.SetServices(CRoomServices());
    rooms.Init(&personages, nullptr, &context);
}

void PersonagesTest::TearDown()
{
    managers.clear();
    rooms.ReleaseAll();
    personages.Clear();
    log.reset();
}

void PersonagesTest::load(const std::string& caseName, bool findAll, std::uint32_t seed, const std::string& folder)
{
    rooms.LoadRooms(folder, &owner);
    rooms.AfterLoadInitRooms(folder, nullptr, nullptr);
    rooms.ResetRooms(folder);
    personages.CreatePersonages(aOptionsFile(folder + "_investigation.ini"), nullptr, &rooms);
    personages.LoadRoomAiDataForAll(folder + "GlobalMap.AI/", "GlobalMap");
    personages.LoadAllRoomAiData(folder, caseName);
    for (const auto& room : rooms.GetRooms())
        personages.SetRoomItemsCount(room.first, std::uint32_t(room.second->GetItemManager()->GetItems().size()));
    a_srand(seed);
    personages.ResetPersonages(false, findAll);
}

} // namespace persontest

namespace persontest {

CSpyEventsManager& PersonagesTest::events(const std::string& text)
{
    const std::string file = path("events" + std::to_string(managers.size()) + ".ini");
    test_env::writeFile(file, text);
    managers.push_back(std::make_unique<CSpyEventsManager>());
    managers.back()->SetOwner(&owner);
    managers.back()->AddEvents(file);
    managers.back()->ResetEvents("caseP");
    return *managers.back();
}

} // namespace persontest
