// Rooms: the rooms manager's save record and a room's data files. The input
// is split at "\n@@\n": the record (the bytes after the block header), then
// the hall's "location.ini" and its case file "room.ini" (an empty or missing
// part keeps the default file). The case lists Hall and Desk; Desk is
// removed before the load, so its record is parked and reaches it when it is
// added again and reset. Then the rooms are played, drawn and saved again.
#include <string>

#include "engine/gfx/a_adv_anim_manager.h"
#include "engine/gfx/a_image_manager.h"
#include "engine/util/a_application.h"
#include "fuzz/fuzz_support.h"
#include "game/SpyGame/Rooms/RoomsManager.h"
#include "game/SpyGame/items/SpyItemKinds.h"
#include "game/shell/c_particle_manager.h"
#include "game/shell/save_load_system.h"

namespace {

constexpr std::uint32_t kVersion = 4374;
constexpr const char* kCase = "gamedata:_Investigations/c/";

const char* const kLocation = "[Room]\nHookRect = 0 0 50 50\n[Scene]\nObject = Image img=a hit=0\n";
const char* const kRoomIni = "[Room]\nHideItems = coin\n";

// An uncompressed 32-bit TGA of one colour.
std::string tga(int w, int h, std::uint32_t argb)
{
    std::string out(18, '\0');
    out[2] = 2;
    out[12] = char(w);
    out[14] = char(h);
    out[16] = 32;
    out[17] = 0x28;
    for (int i = 0; i < w * h; ++i)
        out += {char(argb), char(argb >> 8), char(argb >> 16), char(argb >> 24)};
    return out;
}

void writeGame()
{
    fuzz::writeTemp("game/_Investigations/c/_rooms.list", "Hall\nDesk\n");
    fuzz::writeTemp("game/_Locations/Rooms/Hall/a.tga", tga(8, 8, 0xFF8040C0));
    fuzz::writeTemp("game/_Locations/Rooms/Hall/_images.list", "a.tga 8888 8888\n");
    fuzz::writeTemp("game/_Locations/Rooms/Hall/items.ini",
                    "[key]\nInventory = 1\nObject = Image img=a\n"
                    "[door]\nClass = Door\nPos = 10 0\nCloseUp = Desk\nObject = Image img=a\n"
                    "[chest]\nClass = Container\nPos = 20 0\nKey = key\nContents = coin\nObject = Image img=a\n"
                    "[coin]\nPos = 30 0\nIsISpyItem = 1\nObject = Image img=a\n");
    fuzz::writeTemp("game/_Locations/Rooms/Desk/location.ini", "[Room]\nSize = 40 30\nScale = 2\n");
    fuzz::writeTemp("game/_Locations/Rooms/Desk/items.ini", "[pen]\nPos = 1 1\nObject = Image img=a\n");
    fuzz::writeTemp("game/_Locations/Rooms/Desk/a.tga", tga(8, 8, 0xFF8040C0));
    fuzz::writeTemp("game/_Locations/Rooms/Desk/_images.list", "a.tga 8888 8888\n");
    g_application->m_fileServer.setAssign("gamedata", fuzz::tempDir() + "game/");
    RegisterItemKinds();
    RegisterObjectKinds();
    RegisterRoomKinds();
}

class Game {
public:
    Game()
    {
        anims.m_imageManager = &images;
        CRoomServices services;
        services.res.images = &images;
        services.res.anims = &anims;
        services.res.particles = &particles;
        rooms.SetServices(services);
        rooms.Init(nullptr, nullptr, nullptr);
    }
    ~Game() { rooms.ReleaseAll(); }

    void Load()
    {
        rooms.LoadRooms(kCase, nullptr);
        images.LoadAll();
        rooms.AfterLoadInitRooms(kCase, nullptr, nullptr);
        rooms.ResetRooms(kCase);
    }

    aImageManager images;
    aAdvAnimManager anims;
    CParticleManager particles{&images};
    CRoomsManager rooms;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::recordingGraphics();
    static const bool ready = (writeGame(), true);
    (void)ready;
    const std::vector<std::string> parts = fuzz::splitParts(data, size, "\n@@\n");
    fuzz::writeTemp("game/_Locations/Rooms/Hall/location.ini",
                    parts.size() > 1 && !parts[1].empty() ? parts[1] : std::string(kLocation));
    fuzz::writeTemp("game/_Investigations/c/Hall/room.ini",
                    parts.size() > 2 && !parts[2].empty() ? parts[2] : std::string(kRoomIni));

    Game game;
    game.Load();
    game.rooms.RemoveRoom("Desk");

    const std::string key = CRoomsManager::kKey;
    std::vector<std::uint8_t> payload(key.begin(), key.end());
    payload.push_back(0);
    const std::uint32_t length = std::uint32_t(parts[0].size());
    for (int i = 0; i < 4; ++i)
        payload.push_back(std::uint8_t(length >> (8 * i)));
    payload.insert(payload.end(), parts[0].begin(), parts[0].end());
    const std::vector<std::uint8_t> file = SaveLoadSystem::BuildFile(payload, kVersion, 1);
    const std::string path = fuzz::writeTemp("rooms.save", file.data(), file.size());
    SaveLoadSystem system;
    if (system.BeginLoad(path, kVersion)) {
        system.LoadEntity(&game.rooms);
        system.Finish();
    }

    if (CRoomBase* desk = game.rooms.AddRoom("Desk", std::string(kCase) + "Desk", nullptr)) {
        game.images.LoadAll();
        desk->Reset();
    }
    if (game.rooms.HasRoom("Hall")) {
        CRoomBase& hall = *game.rooms.GetRoom("Hall");
        hall.SetPos(-20.0f, 10.0f);
        hall.Entry(0);
        hall.Update(0.1f, false);
        hall.ShowListHint("coin");
        hall.AreaHook();
        hall.Draw();
        hall.DrawCursorItem();
        hall.Exit();
    }
    if (system.BeginSave(path, kVersion)) {
        system.SaveEntity(&game.rooms);
        system.Finish();
    }
    return 0;
}
