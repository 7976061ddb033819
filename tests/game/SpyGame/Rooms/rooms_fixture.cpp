#include "rooms_fixture.h"

#include <filesystem>

#include "game/shell/save_load_system.h"
#include "support/jng_writer.h"

namespace roomtest {

std::vector<CFindItemsGroup> lines(const std::vector<std::string>& names)
{
    std::vector<CFindItemsGroup> out;
    for (const std::string& n : names) {
        out.emplace_back(n, CFindItem::Pick, true);
        out.back().Reset();
    }
    return out;
}

CFindItemsGroup coinsLine()
{
    CFindItemsGroup coins;
    coins.name = "coins";
    coins.AddItem("coin_1", CFindItem::Pick);
    coins.AddItem("coin_2", CFindItem::Pick);
    coins.Reset();
    return coins;
}

std::string save(CRoomsManager& rooms, const std::string& path)
{
    SaveLoadSystem system;
    system.BeginSave(path, 4374);
    system.SaveEntity(&rooms);
    system.Finish();
    return test_env::readFile(path);
}

bool restore(CRoomsManager& rooms, const std::string& path)
{
    SaveLoadSystem system;
    if (!system.BeginLoad(path, 4374))
        return false;
    const bool ok = system.LoadEntity(&rooms);
    system.Finish();
    return ok;
}

// ------------------------------------------------------------------ game

std::string RoomsTest::data()
{
    namespace fs = std::filesystem;
    const std::string dir = test_env::home() + "/GameData/";
    fs::copy(test_env::sourceDir() + "/tests/game/SpyGame/Rooms/TestGame", dir,
             fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    const auto picture = [](const std::string& path, int w, int h, std::uint32_t argb) {
        test_env::writeFile(path, jng_writer::buildPng(w, h, imgtest::solid(w, h, argb)));
    };
    picture(dir + "_Locations/Rooms/Hall/sq.png", 20, 20, kSquare);
    picture(dir + "_Locations/Rooms/Desk/sq.png", 20, 20, kSquare);
    picture(dir + "_Locations/Rooms/Hall/bg.png", 400, 300, 0xFF404040);
    picture(dir + "Particles/star.png", 4, 4, 0xFFFFFFFF);
    return dir;
}

void RoomsTest::load()
{
    RoomsBench::load(kCase);
    room("Hall").SetPos(100.0f, 0.0f);
    room("Desk").SetPos(100.0f, 0.0f);
}

int cx(const CSpyItem& item)
{
    float x = 0.0f, y = 0.0f;
    item.GetPos(x, y);
    return int(x + item.GetWidth() / 2);
}

int cy(const CSpyItem& item)
{
    float x = 0.0f, y = 0.0f;
    item.GetPos(x, y);
    return int(y + item.GetHeight() / 2);
}

std::size_t RoomsTest::logged(const std::string& text)
{
    const std::string log = newLog();
    std::size_t n = 0;
    for (std::size_t at = log.find(text); at != std::string::npos; at = log.find(text, at + 1))
        ++n;
    return n;
}

} // namespace roomtest
