#include "special_fixture.h"

#include "game/shell/save_load_system.h"
#include "support/jng_writer.h"

namespace roomtest {

std::string SpecialRooms::data()
{
    const std::string dir = RoomsTest::data();
    for (const char* folder : {"_Locations/Global/GlobalMap/", "_Locations/Global/MurderHunt/",
                               "_Locations/Global/InvCards/", "_Investigations/hunt1/Attic/",
                               "_Investigations/hunt2/Cellar/"})
        test_env::writeFile(dir + folder + "sq.png", jng_writer::buildPng(20, 20, imgtest::solid(20, 20, kSquare)));
    return dir;
}

std::string SpecialRooms::boardsSave(const std::vector<std::pair<std::string, Bytes>>& extras)
{
    Bytes record;
    record.u16(1).u32(0).u32(0).u32(std::uint32_t(extras.size()));
    for (const auto& [name, extra] : extras) {
        Bytes room;
        room.u8(0).u32(0).u32(std::uint32_t(extra.b.size()));
        room.b += extra.b;
        record.str(name).u32(std::uint32_t(room.b.size()));
        record.b += room.b;
    }
    Bytes block;
    std::uint32_t blocks = 1;
    for (const auto& [name, room] : rooms.GetRooms()) {
        const std::size_t count = room->GetEventsManager().GetEvents().size();
        Bytes events;
        events.u32(std::uint32_t(count)).b.append(count, '\0');
        events.u32(CSpyEventsManager::kNoEvent);
        block.str(room->GetEventsManager().GetKey()).u32(std::uint32_t(events.b.size()));
        block.b += events.b;
        ++blocks;
    }
    block.str(CRoomsManager::kKey).u32(std::uint32_t(record.b.size()));
    block.b += record.b;
    const std::vector<std::uint8_t> file =
        SaveLoadSystem::BuildFile(std::vector<std::uint8_t>(block.b.begin(), block.b.end()), 4374, blocks);
    const std::string path = test_env::home() + "/boards.save";
    test_env::writeFile(path, std::string(file.begin(), file.end()));
    return path;
}

} // namespace roomtest
