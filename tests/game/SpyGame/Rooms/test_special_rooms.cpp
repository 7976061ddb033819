// The global map, the case-cards and murder-hunt boards on the test game,
// and the card's flip scale.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

#include "game/SpyGame/Rooms/FlipScale.h"
#include "special_fixture.h"

using roomtest::Bytes;
using roomtest::SpecialRooms;
using Calls = std::vector<std::string>;

namespace {

constexpr float kPi = 3.14159265358979f;

// The visible items of the room among the names, with their visual states.
std::string shown(CRoomsManager& rooms, const std::string& room, const std::vector<std::string>& names)
{
    std::string out;
    for (const std::string& name : names)
        if (const CSpyItem* item = rooms.GetItem(room, name); item && item->IsVisible())
            out += name + (item->GetVisualState().empty() ? "" : "/" + item->GetVisualState()) + " ";
    return out;
}

} // namespace

TEST(FlipScale, QuadrantsNegativeAndNonFiniteAnglesAndTheCardsTurn)
{
    const struct {
        float angle, factor;
        bool back;
    } cases[] = {{0.0f, 1.0f, false},        {kPi / 4, 0.5f, false},     {3 * kPi / 4, 0.5f, true},
                 {5 * kPi / 4, 0.5f, true},  {7 * kPi / 4, 0.5f, false}, {2 * kPi + 0.01f, 1.0f - 0.02f / kPi, false},
                 {-kPi / 4, 0.5f, false},    {-3 * kPi / 4, 0.5f, true}};
    for (const auto& c : cases) {
        float scale = 2.0f;
        EXPECT_EQ(CalcFlipScale(&scale, c.angle), c.back) << c.angle;
        EXPECT_NEAR(scale, 2.0f * c.factor, 1e-4f) << c.angle;
    }
    for (float angle : {NAN, INFINITY, -INFINITY}) {
        float scale = 3.0f;
        EXPECT_FALSE(CalcFlipScale(&scale, angle));
        EXPECT_EQ(scale, 3.0f);
    }
    EXPECT_TRUE(CalcFlipScale(nullptr, kPi));
    // The investigation card turns by p pi + pi: its back shrinks to nothing
    // by the middle, then its face grows.
    for (int i = 0; i <= 20; ++i) {
        const float p = float(i) / 20.0f;
        float scale = 1.0f;
        const bool back = CalcFlipScale(&scale, p * kPi + kPi);
        EXPECT_EQ(back, p < 0.5f) << p;
        EXPECT_NEAR(scale, p < 0.5f ? 1.0f - 2.0f * p : 2.0f * p - 1.0f, 1e-5f) << p;
    }
}

TEST_F(SpecialRooms, MapShowsListedLocationsDisablesHidesAndRestores)
{
    addBoards();
    loadCase("hunt1");
    startCase("hunt1", false, "Attic");
    EXPECT_EQ(CGlobalMap::GetClassStaticName(), "GlobalMap");
    EXPECT_EQ(CInvCards::GetClassStaticName(), "InvCards");
    const std::vector<std::string> doors{"loc_attic", "loc_cellar", "loc_hall", "tab_cards", "tab_hunt"};
    // Cellar and Hall are not this case's rooms.
    EXPECT_EQ(shown(rooms, "GlobalMap", doors), "loc_attic tab_cards tab_hunt ");
    EXPECT_TRUE(map->HasLocation("Attic") && map->HasLocation("Hall") && map->HasLocation("InvCards"));
    EXPECT_FALSE(map->HasLocation("Decrypt") || map->HasLocation(""));

    map->SetLocationState("Attic", false);
    EXPECT_EQ(shown(rooms, "GlobalMap", doors), "loc_attic/off tab_cards tab_hunt ");
    EXPECT_EQ(click(*map, 10, 10), 9);
    map->SetLocationState("Attic", true);
    map->SetLocationState("Nowhere", true);
    EXPECT_EQ(logged("'Nowhere' is no location of the map"), 1u);
    EXPECT_EQ(map->GetLocationState("Attic"), CGlobalMap::LocationDisabled | CGlobalMap::LocationHidden);
    EXPECT_EQ(shown(rooms, "GlobalMap", doors), "tab_cards tab_hunt ");

    // A new case clears the states; the record brings them back.
    const std::string path = test_env::home() + "/map.save";
    roomtest::save(rooms, path);
    map->SetEventsManager(nullptr);
    EXPECT_EQ(shown(rooms, "GlobalMap", doors), "loc_attic tab_cards tab_hunt ");
    EXPECT_EQ(click(*map, 10, 10), 5);
    EXPECT_EQ(map->TakeTargetRoom(), "Attic");
    ASSERT_TRUE(roomtest::restore(rooms, path));
    EXPECT_EQ(map->GetLocationState("Attic"), 3);
    EXPECT_EQ(shown(rooms, "GlobalMap", doors), "tab_cards tab_hunt ");

    // Find All: the board tabs go; a listed room not loaded keeps its door.
    map->SetEventsManager(nullptr);
    map->SetModeFlags(true, true);
    rooms.RemoveRoom("Attic");
    EXPECT_EQ(shown(rooms, "GlobalMap", doors), "loc_attic ");
    EXPECT_EQ(click(*map, 10, 10), 5);
    EXPECT_EQ(map->TakeTargetRoom(), "Attic");
}

TEST_F(SpecialRooms, CardsAreCollectedByTheirFoundAsPicksAndKeptOrForgotten)
{
    addBoards();
    loadCase("hunt1");
    startCase("hunt1", false, "Attic");
    EXPECT_EQ(cards->GetCardCount(), 2u);
    EXPECT_EQ(logged("card [k3] lacks Case or FoundAs"), 1u);
    EXPECT_TRUE(cards->LoadCardIcons("k1") && cards->LoadCardIcons("k1_seen"));
    EXPECT_FALSE(cards->LoadCardIcons("k2") || cards->LoadCardIcons("k9"));
    const std::vector<std::string> items{"k1", "k1_seen", "k2"};
    EXPECT_EQ(shown(rooms, "InvCards", items), "");

    // k1 is Attic's letter; k2 a ring of any room.
    CRoomBase& attic = room("Attic");
    for (const char* name : {"letter", "ring"}) {
        EXPECT_EQ(click(attic, name), 8);
        attic.PutPickedItemToInventory();
    }
    EXPECT_EQ(shown(rooms, "InvCards", items), "k1 k2 ");
    item("InvCards", "k1").SetTaken(true);
    cards->Entry(0);
    EXPECT_EQ(shown(rooms, "InvCards", items), "k1_seen k2 ");
    cards->NewInvestigation("hunt2", true);
    EXPECT_EQ(shown(rooms, "InvCards", items), "k1_seen k2 ");

    const std::string path = test_env::home() + "/cards.save";
    roomtest::save(rooms, path);
    cards->NewInvestigation("hunt1", false);
    EXPECT_EQ(shown(rooms, "InvCards", items), "");
    EXPECT_FALSE(item("InvCards", "k1").IsTaken());
    ASSERT_TRUE(roomtest::restore(rooms, path));
    EXPECT_EQ(shown(rooms, "InvCards", items), "k1_seen k2 ");
}

TEST_F(SpecialRooms, HuntStatesThroughTwoCasesARestartAndReloads)
{
    addBoards();
    loadCase("hunt1");
    EXPECT_EQ(hunt->GetCardCount(), 3u);
    for (const char* text : {"card [broken] lacks Case, CardRoom or Cipher", "card [c1] appears again"})
        EXPECT_NE(logText().find(text), std::string::npos) << text;
    // State, index, card room, not opened, by room, counter, the cards, the board.
    const auto state = [&] {
        char text[160];
        std::snprintf(text, sizeof text, "%d %u %s %d %d/%d %d %d%d%d | ", hunt->GetCurrentState(),
                      hunt->GetCurrentIndex(), hunt->GetCurrentCardRoom().c_str(), hunt->IsCurrentCardNotOpened(),
                      hunt->GetStateByRoom("Attic"), hunt->GetStateByRoom("Cellar_seen"), hunt->PeekCounter(),
                      hunt->GetCard(0)->state, hunt->GetCard(1)->state, hunt->GetCard(2)->state);
        return text + shown(rooms, "MurderHunt", {"Attic", "Attic_seen", "Cellar"});
    };
    startCase("hunt1", false, "Attic");
    EXPECT_EQ(state(), "1 0 Attic 1 1/0 0 100 | Attic ");
    EXPECT_EQ(hunt->GetCardRoomByName("c2"), "Cellar");
    EXPECT_EQ(hunt->GetCardRoomByName("Cellar"), "");
    EXPECT_TRUE(hunt->LoadPhotoIcons("Attic") && hunt->LoadPhotoIcons("Attic_seen") && hunt->LoadPhotoIcons("c1"));
    EXPECT_FALSE(hunt->LoadPhotoIcons("Cellar") || hunt->LoadPhotoIcons("nothing"));

    // Deciphered: the container shows with stars; the photo once looked at.
    hunt->Decipher(0, false);
    EXPECT_TRUE(item("Attic", "MH_CONTAINER").IsVisible() && item("Attic", "MH_CONTAINER").IsShowingMagicStars());
    item("MurderHunt", "Attic").SetTaken(true);
    hunt->Entry(0);
    EXPECT_EQ(state(), "2 0 Attic 1 2/0 0 200 | Attic_seen/s2 ");
    EXPECT_EQ(hunt->GetLeaveArg(), 0u);
    EXPECT_EQ(click(*hunt, 10, 10), 8);
    EXPECT_EQ(hunt->GetLeaveArg(), 1u);
    hunt->ResetResult();
    EXPECT_EQ(click(room("Attic"), "MH_CONTAINER"), 8);
    room("Attic").PutPickedItemToInventory();
    EXPECT_EQ(state(), "3 0 Attic 0 3/0 0 300 | Attic_seen/s3 ");

    // The next case, saved at its start, then entered and skipped.
    loadCase("hunt2");
    resetForStart("hunt2", true);
    EXPECT_EQ(state(), "4 0 Attic 1 4/0 0 400 | Attic_seen/s4 ");
    const std::string atStart = test_env::home() + "/start.save", midCase = test_env::home() + "/mid.save";
    roomtest::save(rooms, atStart);
    hunt->EntryNewInvestigation("Cellar");
    EXPECT_EQ(state(), "1 1 Cellar 1 4/1 0 410 | Attic_seen/s4 Cellar ");
    hunt->Decipher(1, true);
    EXPECT_EQ(state(), "2 1 Cellar 1 4/2 1 420 | Attic_seen/s4 Cellar ");
    const std::string saved = roomtest::save(rooms, midCase);

    // A restart resets Cellar and its container: its card starts again.
    resetForStart("hunt2", true);
    EXPECT_FALSE(item("Cellar", "MH_CONTAINER").IsVisible());
    EXPECT_EQ(state(), "0 1  1 4/0 1 400 | Attic_seen/s4 ");
    hunt->EntryNewInvestigation("Cellar");
    EXPECT_EQ(state(), "1 1 Cellar 1 4/1 1 410 | Attic_seen/s4 Cellar ");

    // Continued games: reset, then the saves read back.
    resetForStart("hunt2", false);
    EXPECT_EQ(state(), "0 0  1 0/0 0 000 | ");
    ASSERT_TRUE(roomtest::restore(rooms, atStart));
    EXPECT_EQ(state(), "4 0 Attic 1 4/0 0 400 | Attic_seen/s4 ");
    hunt->EntryNewInvestigation("Cellar");
    EXPECT_EQ(state(), "1 1 Cellar 1 4/1 0 410 | Attic_seen/s4 Cellar ");
    resetForStart("hunt2", false);
    ASSERT_TRUE(roomtest::restore(rooms, midCase));
    EXPECT_EQ(state(), "2 1 Cellar 1 4/2 1 420 | Attic_seen/s4 Cellar ");
    EXPECT_TRUE(item("Cellar", "MH_CONTAINER").IsVisible());
    EXPECT_EQ(roomtest::save(rooms, midCase), saved);

    hunt->SetFindAll(true);
    EXPECT_EQ(hunt->GetCurrentState(), 0);
    hunt->SetFindAll(false);
    hunt->NewInvestigation("hunt9", false);
    hunt->EntryNewInvestigation("Attic");
    EXPECT_EQ(logged("Card [c1] of room 'Attic' belongs to case 'hunt1', not 'hunt9'"), 1u);
    hunt->EntryNewInvestigation("Nowhere");
    EXPECT_EQ(logged("No card has the room 'Nowhere'"), 1u);
    EXPECT_EQ(state(), "0 0  1 1/0 0 100 | Attic ");
}

TEST_F(SpecialRooms, PanelModeFollowsTheHuntState)
{
    const auto panel = [&](CRoomBase& r) {
        ctx.take();
        r.SetupGamePanel();
        return ctx.take();
    };
    // No hunt: no card room and no mode.
    load();
    EXPECT_EQ(panel(room("Hall")), Calls{"SetupRoom(,task,clue,Hall,0,0)"});

    addBoards();
    loadCase("hunt1");
    resetForStart("hunt1", false);
    CRoomBase& attic = room("Attic");
    EXPECT_EQ(panel(attic), (Calls{"SetupRoom(,task,clue,Attic,0,0)", "SetMode(4)"}));
    hunt->EntryNewInvestigation("Attic");
    EXPECT_EQ(panel(attic), (Calls{"SetupRoom(,task,clue,Attic,1,0)", "SetMode(0)"}));
    hunt->Decipher(0, false);
    EXPECT_EQ(panel(room("Decrypt")), (Calls{"SetupRoom(,task,clue,Decrypt,0,0)", "SetMode(1)"}));
    item("Attic", "MH_CONTAINER").SetVisible(false);
    EXPECT_EQ(panel(attic), (Calls{"SetupRoom(,task,clue,Attic,1,0)", "SetMode(2)"}));
    item("Attic", "MH_CONTAINER").SetVisible(true);
    click(attic, "MH_CONTAINER");
    attic.PutPickedItemToInventory();
    EXPECT_EQ(panel(attic), (Calls{"SetupRoom(,task,clue,Attic,1,0)", "SetMode(3)"}));
    hunt->NewInvestigation("hunt3", true);
    EXPECT_EQ(panel(attic), Calls{"SetupRoom(,task,clue,Attic,1,0)"});
    // Hall holds no container: deciphered, its mode is 2.
    hunt->EntryNewInvestigation("Hall");
    hunt->Decipher(2, false);
    EXPECT_EQ(logged("room 'Hall' has no item MH_CONTAINER"), 1u);
    EXPECT_EQ(panel(room("Hall")), (Calls{"SetupRoom(,task,clue,Hall,1,0)", "SetMode(2)"}));
    // Every card opened: the hunt is over.
    Bytes done;
    done.u32(0).u32(std::uint32_t(-1)).u32(3);
    for (const char* card : {"c1", "c2", "c3"})
        done.str(card).u8(4).u32(0);
    ASSERT_TRUE(roomtest::restore(rooms, boardsSave({{"MurderHunt", done}})));
    EXPECT_EQ(hunt->GetCurrentState(), CMurderHunt::kStateOver);
    EXPECT_EQ(panel(attic), Calls{"SetupRoom(,task,clue,Attic,0,0)"});
}

TEST_F(SpecialRooms, DamagedRecordsAndMissingFilesAreBounded)
{
    addBoards();
    loadCase("hunt1");
    startCase("hunt1", false, "Attic");
    Bytes huntExtra, mapExtra, cardsExtra;
    huntExtra.u32(std::uint32_t(-1)).u32(7).u32(4);
    huntExtra.str("c1").u8(9).u32(0).str("zz").u8(1).u32(0);
    huntExtra.str("c2").u8(2).u32(3).u16('Q').u16('E').u16('1').u16('E').u16('A').u16(0x416);
    huntExtra.str("c1").u8(1).u32(0);
    mapExtra.u8(1).u8(1).u32(3).str("Attic").u8(3).str("Nowhere").u8(1).str("Cellar").u8(0x86);
    cardsExtra.u32(5).str("k1").u8(1);
    // Each board's damage is found and named; the save is refused.
    EXPECT_FALSE(roomtest::restore(
        rooms, boardsSave({{"MurderHunt", huntExtra}, {"GlobalMap", mapExtra}, {"InvCards", cardsExtra}})));
    for (const char* text :
         {"Current card 7 out of range", "Card 'c1': bad state 9", "Unknown or repeated card 'zz'",
          "Unknown or repeated card 'c1'", "'c2': 2 guesses outside the alphabet", "Unknown location 'Nowhere'",
          "'Cellar': unknown state bits", "The cards' record is damaged"})
        EXPECT_NE(logText().find(text), std::string::npos) << text;

    // Without hunt.ini and cards.ini the boards are empty and the puzzle
    // shows only its scene.
    rooms.ReleaseAll();
    for (const char* file : {"MurderHunt/hunt.ini", "InvCards/cards.ini"})
        std::remove((test_env::home() + "/GameData/_Locations/Global/" + file).c_str());
    addBoards();
    loadCase("hunt1");
    startCase("hunt1", false, "Attic");
    EXPECT_EQ(hunt->GetCardCount() + cards->GetCardCount(), 0u);
    EXPECT_EQ(hunt->GetCurrentState() + hunt->GetStateByRoom("Attic") + int(hunt->GetCurrentIndex()), 0);
    EXPECT_EQ(hunt->GetCurrentCardRoom(), "");
    EXPECT_FALSE(hunt->LoadPhotoIcons("Attic") || cards->LoadCardIcons("k1"));
    decrypt().Entry(0);
    EXPECT_TRUE(decrypt().GetTiles().empty() && decrypt().GetKeys().empty());
    decrypt().Draw();
    for (const char* text : {"No file 'gamedata:_Locations/Global/MurderHunt/hunt.ini'",
                             "No file 'gamedata:_Locations/Global/InvCards/cards.ini'",
                             "Room 'Decrypt': no murder-hunt card to show"})
        EXPECT_NE(logText().find(text), std::string::npos) << text;
}
