#pragma once
// The boards and the decrypt puzzle on the rooms bench: the three boards
// added as the game root adds them, and cases started as the investigation
// starts them.
#include <string>

#include "game/SpyGame/Rooms/Decrypt.h"
#include "game/SpyGame/Rooms/GlobalMap.h"
#include "game/SpyGame/Rooms/InvCards.h"
#include "game/SpyGame/Rooms/MurderHunt.h"
#include "rooms_fixture.h"

namespace roomtest {

template <class Base>
class SpecialBench : public Base {
protected:
    void addBoards()
    {
        this->locale.loadFile("language:Text/Main.txt");
        for (const char* name : {"GlobalMap", "MurderHunt", "InvCards"})
            this->rooms.AddRoom(name, std::string("gamedata:_Locations/Global/") + name + "/", nullptr);
        this->images->LoadAll();
        for (const char* name : {"GlobalMap", "InvCards", "MurderHunt"})
            this->rooms.AfterLoadInitRoom(name, nullptr, nullptr);
        map = dynamic_cast<CGlobalMap*>(this->rooms.GetRoom("GlobalMap"));
        hunt = dynamic_cast<CMurderHunt*>(this->rooms.GetRoom("MurderHunt"));
        cards = dynamic_cast<CInvCards*>(this->rooms.GetRoom("InvCards"));
        ASSERT_TRUE(map && hunt && cards);
    }
    static std::string folder(const std::string& name) { return "gamedata:_Investigations/" + name + "/"; }
    void loadCase(const std::string& name)
    {
        this->rooms.LoadRooms(folder(name), nullptr);
        this->images->LoadAll();
        this->rooms.AfterLoadInitRooms(folder(name), hunt, cards);
    }
    // The investigation's reset for a start, then its entry.
    void resetForStart(const std::string& name, bool keep)
    {
        this->rooms.ResetRooms(folder(name));
        map->SetModeFlags(false, false);
        hunt->SetFindAll(false);
        cards->NewInvestigation(name, keep);
        hunt->NewInvestigation(name, keep);
        map->SetEventsManager(nullptr);
    }
    void startCase(const std::string& name, bool keep, const std::string& huntRoom)
    {
        resetForStart(name, keep);
        hunt->EntryNewInvestigation(huntRoom);
    }
    CDecrypt& decrypt() { return dynamic_cast<CDecrypt&>(this->room("Decrypt")); }
    // Clicks on the first tile of the symbol, then on the letter's key.
    void give(wchar_t symbol, wchar_t letter)
    {
        CDecrypt& d = decrypt();
        float x = 0, y = 0, w = 0, h = 0;
        for (const CDecrypt::Tile& tile : d.GetTiles())
            if (tile.symbol == symbol) {
                d.GetTileRect(tile, x, y, w, h);
                this->click(d, int(x + w / 2), int(y + h / 2));
                break;
            }
        for (const CDecrypt::Key& key : d.GetKeys())
            if (key.letter == letter) {
                d.GetKeyRect(key, x, y, w, h);
                this->click(d, int(x + w / 2), int(y + h / 2));
            }
    }

    CGlobalMap* map = nullptr;
    CMurderHunt* hunt = nullptr;
    CInvCards* cards = nullptr;
};

// Little-endian record bytes.
struct Bytes {
    std::string b;
    Bytes& u8(std::uint32_t v) { return b.push_back(char(v)), *this; }
    Bytes& u16(std::uint32_t v) { return u8(v).u8(v >> 8); }
    Bytes& u32(std::uint32_t v) { return u16(v).u16(v >> 16); }
    Bytes& str(const std::string& s) { return b += s, u8(0); }
};

// The test game with the boards, the cases hunt1 (Attic, Decrypt, Jigsaw)
// and hunt2 (Cellar, Decrypt) and their pictures.
class SpecialRooms : public SpecialBench<RoomsTest> {
protected:
    std::string data() override;
    // A save of the rooms manager whose rooms are the named boards, each
    // with no items and the class extra given, after the loaded rooms'
    // events blocks (none done); its path.
    std::string boardsSave(const std::vector<std::pair<std::string, Bytes>>& extras);
};

} // namespace roomtest
