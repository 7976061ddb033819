#include "personages_fixture.h"

#include "engine/util/a_options_file.h"
#include "engine/util/a_random.h"
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

void PersonagesTest::SetUp()
{
    files.setAssign("gamedata", test_env::sourceDir() + "/tests/game/SpyGame/PersonGame/");
    log = std::make_unique<TestLog>();
    RegisterItemKinds();
    RegisterRoomKinds();
    rooms.SetServices(CRoomServices());
    rooms.Init(&personages, nullptr, &context);
}

void PersonagesTest::TearDown()
{
    rooms.ReleaseAll();
    personages.Clear();
    log.reset();
}

void PersonagesTest::load(const std::string& caseName, bool findAll, std::uint32_t seed, const std::string& folder)
{
    rooms.LoadRooms(folder, nullptr);
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
