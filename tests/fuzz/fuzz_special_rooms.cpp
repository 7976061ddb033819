// The special rooms: the boards' data files and their record extras. The
// input is split at "\n@@\n": "hunt.ini", "cards.ini", the hunt's string
// table (the clues), "Main.txt" (the puzzle's alphabet), then the rooms
// manager's record (the bytes after the block header). An empty or missing
// part keeps the default. The boards and the case's rooms load, a case
// starts, the record is read, the puzzle is played by a click on every tile
// and letter and skipped, the boards are asked everything, and the rooms
// are drawn and saved again.
#include <string>

#include "engine/gfx/a_adv_anim_manager.h"
#include "engine/gfx/a_image_manager.h"
#include "engine/util/a_application.h"
#include "engine/util/a_input_server.h"
#include "engine/util/a_locale_server.h"
#include "fuzz/fuzz_support.h"
#include "game/SpyGame/Rooms/Decrypt.h"
#include "game/SpyGame/Rooms/GlobalMap.h"
#include "game/SpyGame/Rooms/InvCards.h"
#include "game/SpyGame/Rooms/MurderHunt.h"
#include "game/SpyGame/Rooms/RoomsManager.h"
#include "game/SpyGame/items/SpyItemKinds.h"
#include "game/shell/c_particle_manager.h"
#include "game/shell/save_load_system.h"

namespace {

constexpr std::uint32_t kVersion = 4374;
constexpr const char* kCase = "gamedata:_Investigations/c/";
constexpr const char* kGlobal = "gamedata:_Locations/Global/";

const char* const kHunt = "[h1]\nCase = c\nCardRoom = Attic\nPhoto = a\nCipher = clue\nSeed = 7\nGiven = 1\n"
                          "[h2]\nCase = d\nCardRoom = Cellar\nCipher = clue\n";
const char* const kCards = "[k1]\nCase = c\nImage = a\nFoundAs = Attic:letter\n";
const char* const kClues = "clue = \"Meet me at noon, Tom.\"\n";
const char* const kMain = "decrypt_alphabet = \"ABCDEFGHIJKLMNOPQRSTUVWXYZ\"\n";

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
    const std::string picture = tga(8, 8, 0xFF8040C0);
    for (const char* folder : {"_Locations/Global/GlobalMap/", "_Locations/Global/MurderHunt/",
                               "_Locations/Global/InvCards/", "_Investigations/c/Attic/"}) {
        fuzz::writeTemp(std::string("game/") + folder + "a.tga", picture);
        fuzz::writeTemp(std::string("game/") + folder + "_images.list", "a.tga 8888 8888\n");
    }
    fuzz::writeTemp("game/_Locations/Global/GlobalMap/location.ini", "[Room]\nClass = GlobalMap\nSize = 64 48\n");
    fuzz::writeTemp("game/_Locations/Global/GlobalMap/items.ini",
                    "[a]\nClass = Door\nTarget = Attic\nObject = Image img=a\nObject = Image img=a state=off\n"
                    "[b]\nClass = Door\nPos = 10 0\nTarget = MurderHunt\nObject = Image img=a\n");
    fuzz::writeTemp("game/_Locations/Global/MurderHunt/location.ini", "[Room]\nClass = EvidenceBox\nSize = 64 48\n");
    fuzz::writeTemp("game/_Locations/Global/MurderHunt/items.ini",
                    "[Attic]\nPickable = 1\nObject = Image img=a\n"
                    "[Attic_seen]\nPickable = 1\nObject = Image img=a state=s2\n");
    fuzz::writeTemp("game/_Locations/Global/InvCards/location.ini", "[Room]\nClass = InvCards\nSize = 64 48\n");
    fuzz::writeTemp("game/_Locations/Global/InvCards/items.ini",
                    "[k1]\nPickable = 1\nObject = Image img=a\n[k1_seen]\nObject = Image img=a\n");
    fuzz::writeTemp("game/_Locations/Rooms/Decrypt/location.ini",
                    "[Room]\nClass = Decrypt\nSize = 64 48\n[Decrypt]\nTextRect = 0 0 64 24\n"
                    "AlphabetRect = 0 24 64 24\nTile = 4 6\n");
    fuzz::writeTemp("game/_Locations/Rooms/Decrypt/items.ini", "");
    fuzz::writeTemp("game/_Investigations/c/_rooms.list", "Attic\nDecrypt\n");
    fuzz::writeTemp("game/_Investigations/c/Attic/location.ini", "[Room]\nSize = 64 48\n");
    fuzz::writeTemp("game/_Investigations/c/Attic/items.ini",
                    "[MH_CONTAINER]\nVisible = 0\nInventory = 1\nObject = Image img=a\n"
                    "[letter]\nPos = 10 0\nPickable = 1\nObject = Image img=a\n");
    g_application->m_fileServer.setAssign("gamedata", fuzz::tempDir() + "game/");
    g_application->m_fileServer.setAssign("language", "gamedata:Language/English/");
    RegisterItemKinds();
    RegisterObjectKinds();
    RegisterRoomKinds();
}

class Game {
public:
    explicit Game(aInputServer* input)
    {
        anims.m_imageManager = &images;
        CRoomServices services;
        services.res.images = &images;
        services.res.anims = &anims;
        services.res.particles = &particles;
        services.res.locale = &locale;
        services.input = input;
        rooms.SetServices(services);
        rooms.Init(nullptr, nullptr, nullptr);
    }
    ~Game() { rooms.ReleaseAll(); }

    aImageManager images;
    aAdvAnimManager anims;
    CParticleManager particles{&images};
    aLocaleServer locale;
    CRoomsManager rooms;
};

// A press of the button at the point, then the room's frame.
void click(aInputServer& input, CRoomBase& room, float x, float y, int button)
{
    input.m_cursorX = std::int32_t(x);
    input.m_cursorY = std::int32_t(y);
    input.m_mouseButtons[button] = KEY_PRESSED;
    room.Update(0.02f, false);
    input.m_mouseButtons[button] = KEY_UP;
}

void playPuzzle(aInputServer& input, CDecrypt& decrypt)
{
    decrypt.Entry(1);
    float x = 0, y = 0, w = 0, h = 0;
    const std::vector<CDecrypt::Tile> tiles = decrypt.GetTiles();
    const std::vector<CDecrypt::Key> keys = decrypt.GetKeys();
    for (std::size_t i = 0; i < tiles.size() && i < 64; ++i) {
        decrypt.GetTileRect(tiles[i], x, y, w, h);
        click(input, decrypt, x + w / 2, y + h / 2, 0);
        const CDecrypt::Key& key = keys.empty() ? CDecrypt::Key() : keys[i % keys.size()];
        decrypt.GetKeyRect(key, x, y, w, h);
        click(input, decrypt, x + w / 2, y + h / 2, 0);
    }
    if (!tiles.empty()) {
        decrypt.GetTileRect(tiles.front(), x, y, w, h);
        click(input, decrypt, x + w / 2, y + h / 2, 1);
    }
    decrypt.Draw();
    decrypt.ClickAtFocusedItem();
    decrypt.Draw();
    decrypt.Exit();
}

void askBoards(CGlobalMap& map, CMurderHunt& hunt, CInvCards& cards, CRoomsManager& rooms)
{
    for (std::size_t i = 0; i < hunt.GetCardCount(); ++i) {
        const CMurderHunt::Card& card = *hunt.GetCard(i);
        hunt.GetStateByRoom(card.cardRoom + CMurderHunt::kSeen);
        hunt.GetCardRoomByName(card.name);
        hunt.LoadPhotoIcons(card.cardRoom);
        hunt.Decipher(i, i % 2 != 0);
    }
    hunt.GetCurrentState();
    hunt.GetCurrentIndex();
    hunt.IsCurrentCardNotOpened();
    hunt.GetCounter();
    hunt.Entry(0);
    hunt.Update(0.02f, false);
    hunt.GetLeaveArg();
    for (std::size_t i = 0; i < cards.GetCardCount(); ++i)
        cards.LoadCardIcons(cards.GetCard(i)->name);
    cards.Entry(0);
    map.SetLocationState("Attic", false);
    map.SetLocationState("Attic", true);
    map.Entry(0);
    map.Draw();
    hunt.Draw();
    cards.Draw();
    if (CRoomBase* attic = rooms.HasRoom("Attic") ? rooms.GetRoom("Attic") : nullptr) {
        attic->SetupGamePanel();
        if (CSpyItem* letter = attic->GetItemManager()->FindItem("letter"))
            rooms.NotifyItemPicked(letter);
    }
    hunt.NewInvestigation("d", true);
    hunt.EntryNewInvestigation("Cellar");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::recordingGraphics();
    static const bool ready = (writeGame(), true);
    (void)ready;
    static aInputServer input;
    const std::vector<std::string> parts = fuzz::splitParts(data, size, "\n@@\n");
    const auto part = [&](std::size_t i, const char* def) {
        return parts.size() > i && !parts[i].empty() ? parts[i] : std::string(def);
    };
    fuzz::writeTemp("game/_Locations/Global/MurderHunt/hunt.ini", part(0, kHunt));
    fuzz::writeTemp("game/_Locations/Global/InvCards/cards.ini", part(1, kCards));
    fuzz::writeTemp("game/Language/English/_Locations/MurderHunt.txt", part(2, kClues));
    fuzz::writeTemp("game/Language/English/Text/Main.txt", part(3, kMain));

    Game game(&input);
    game.locale.loadFile("language:Text/Main.txt");
    CRoomsManager& rooms = game.rooms;
    for (const char* name : {"GlobalMap", "MurderHunt", "InvCards"})
        rooms.AddRoom(name, std::string(kGlobal) + name + "/", nullptr);
    rooms.LoadRooms(kCase, nullptr);
    game.images.LoadAll();
    for (const char* name : {"GlobalMap", "MurderHunt", "InvCards"})
        rooms.AfterLoadInitRoom(name, nullptr, nullptr);
    auto* map = dynamic_cast<CGlobalMap*>(rooms.GetRoom("GlobalMap"));
    auto* hunt = dynamic_cast<CMurderHunt*>(rooms.GetRoom("MurderHunt"));
    auto* cards = dynamic_cast<CInvCards*>(rooms.GetRoom("InvCards"));
    auto* decrypt = dynamic_cast<CDecrypt*>(rooms.GetRoom("Decrypt"));
    if (!map || !hunt || !cards || !decrypt)
        return 0;
    rooms.AfterLoadInitRooms(kCase, hunt, cards);
    rooms.ResetRooms(kCase);
    map->SetModeFlags(false, false);
    cards->NewInvestigation("c", false);
    hunt->NewInvestigation("c", false);
    map->SetEventsManager(nullptr);

    const std::string path = fuzz::tempDir() + "special.save";
    SaveLoadSystem system;
    if (parts.size() > 4) {
        const std::string key = CRoomsManager::kKey;
        std::vector<std::uint8_t> payload(key.begin(), key.end());
        payload.push_back(0);
        const std::uint32_t length = std::uint32_t(parts[4].size());
        for (int i = 0; i < 4; ++i)
            payload.push_back(std::uint8_t(length >> (8 * i)));
        payload.insert(payload.end(), parts[4].begin(), parts[4].end());
        const std::vector<std::uint8_t> file = SaveLoadSystem::BuildFile(payload, kVersion, 1);
        fuzz::writeTemp("special.save", file.data(), file.size());
        if (system.BeginLoad(path, kVersion)) {
            system.LoadEntity(&rooms);
            system.Finish();
        }
    }
    hunt->EntryNewInvestigation("Attic");
    playPuzzle(input, *decrypt);
    askBoards(*map, *hunt, *cards, rooms);
    if (system.BeginSave(path, kVersion)) {
        system.SaveEntity(&rooms);
        system.Finish();
    }
    return 0;
}
