// The demo's map, boards and decrypt puzzle on the GL device, placed as the
// investigation places them: pixels of a switched-off location, of the
// puzzle's tiles and of a deciphered card's photo; then the first case's
// hunt and case card played through the rooms.
#include <gtest/gtest.h>

#include "engine/gfx/a_font.h"
#include "engine/sound/a_sound.h"
#include "game/SpyGame/items/items_pixels_fixture.h"
#include "special_fixture.h"

namespace {

constexpr const char* kCase = "1chapter";
using Calls = std::vector<std::string>;

class DemoSpecial : public roomtest::SpecialBench<roomtest::RoomsBench<itemtest::ItemPixelsTest>> {
protected:
    std::string data() override { return test_env::sourceDir() + "/data/GameData/"; }
    void SetUp() override
    {
        SpecialBench::SetUp();
        if (HasFatalFailure())
            return;
        gui->fonts.emplace("text_caption", std::make_unique<aFont>(data() + "Fonts/DejaVuSans28.ini"));
        addBoards();
        loadCase(kCase);
        startCase(kCase, false, "Study");
        // The map against the right edge, the others centred in the room area.
        for (auto& entry : rooms.GetRooms()) {
            CRoomBase& r = *entry.second;
            r.SetPos(179.0f + float(845 - r.GetScaledWidth()) / 2, float(768 - r.GetScaledHeight()) / 2);
        }
    }
    std::vector<std::uint32_t> shot(CRoomBase& r) { return ItemPixelsTest::frame([&] { r.Draw(); }); }
    // Screen point of a spot in an item's picture.
    void spot(const CSpyItem& it, int dx, int dy, int& x, int& y)
    {
        float fx = 0, fy = 0;
        it.GetPos(fx, fy);
        x = int(fx) + dx;
        y = int(fy) + dy;
    }
    // Pixels of a box of the tile that pass the test.
    template <class Test>
    static int count(const std::vector<std::uint32_t>& px, const CDecrypt& d, const CDecrypt::Tile& tile, int top,
                     int bottom, Test test)
    {
        float x = 0, y = 0, w = 0, h = 0;
        d.GetTileRect(tile, x, y, w, h);
        int n = 0;
        for (int py = int(y) + top; py < int(y) + bottom; ++py)
            for (int px_ = int(x) + 4; px_ < int(x + w) - 4; ++px_)
                n += test(at(px, px_, py));
        return n;
    }
    static bool ink(std::uint32_t c) { return (c >> 16 & 0xFF) < 0x90 && (c & 0xFF) > (c >> 16 & 0xFF) + 0x20; }
    static bool dark(std::uint32_t c) { return (c >> 16 & 0xFF) < 0x90; }
    static int blue(const std::vector<std::uint32_t>& px, const CDecrypt& d, const CDecrypt::Tile& tile)
    {
        float x = 0, y = 0, w = 0, h = 0;
        d.GetTileRect(tile, x, y, w, h);
        return int(at(px, int(x) + 6, int(y) + 8) & 0xFF);
    }
};

} // namespace

TEST_F(DemoSpecial, OffLocationPuzzleTilesAndDecipheredPhotoPixels)
{
    // The study's medallion: paper under its house, then veiled with a padlock.
    int px = 0, py = 0, lx = 0, ly = 0;
    spot(item("GlobalMap", "loc_study"), 66, 102, px, py);
    spot(item("GlobalMap", "loc_study"), 56, 62, lx, ly);
    const auto open = shot(*map);
    EXPECT_GT(at(open, px, py) >> 16 & 0xFF, 0xD0u);
    map->SetLocationState("Study", false);
    const auto off = shot(*map);
    EXPECT_LT(at(off, px, py) >> 16 & 0xFF, 0x70u);
    EXPECT_TRUE(near(at(off, lx, ly), 0xB8B8B0, 12));

    // Every tile of the selected symbol lights up; a given letter's ink
    // shows in all its tiles.
    CDecrypt& d = decrypt();
    d.Entry(0);
    const CCipher& c = d.GetCipher();
    // Nine of the clue's fourteen letters start given, so five are left.
    std::vector<wchar_t> given;
    for (wchar_t letter : std::wstring(L"EDHKORTUB"))
        given.push_back(c.Encode(letter));
    EXPECT_EQ(c.GetGiven(), given);
    const wchar_t t = c.Encode(L'L');
    give(t, 0);
    const auto lit = shot(d);
    int litTiles = 0;
    for (const CDecrypt::Tile& tile : d.GetTiles())
        if (tile.symbol == t) {
            EXPECT_LT(blue(lit, d, tile), 0xC8);
            ++litTiles;
        } else if (tile.symbol) {
            EXPECT_GT(blue(lit, d, tile), 0xC8);
        }
    EXPECT_EQ(litTiles, 1);
    give(t, L'L');
    const auto inked = shot(d);
    for (const CDecrypt::Tile& tile : d.GetTiles()) {
        if (tile.symbol) {
            EXPECT_EQ(count(inked, d, tile, 4, 26, tile.symbol == t ? ink : dark) > 6,
                      tile.symbol == t || c.IsGiven(tile.symbol))
                << char(tile.ch);
        }
    }
    // Solved, the text stands plain: no tiles, no symbols below the letters.
    for (wchar_t symbol : c.GetSymbols())
        if (!c.IsGiven(symbol))
            give(symbol, c.Decode(symbol));
    ASSERT_TRUE(d.IsSolved());
    const auto plain = shot(d);
    for (const CDecrypt::Tile& tile : d.GetTiles())
        if (tile.symbol) {
            EXPECT_GT(count(inked, d, tile, 32, 42, dark), 0);
            EXPECT_EQ(count(plain, d, tile, 32, 42, dark), 0);
            EXPECT_GT(count(plain, d, tile, 4, 28, ink), 6);
        }

    // The study's photo, looked at: its sticker follows the card.
    item("MurderHunt", "Study").SetTaken(true);
    hunt->Entry(0);
    int mx = 0, my = 0;
    spot(item("MurderHunt", "Study_seen"), 112, 140, mx, my);
    const auto board = shot(*hunt);
    EXPECT_TRUE(near(at(board, mx, my), 0x2E8A3A, 16));
    EXPECT_EQ(item("MurderHunt", "Study_seen").GetVisualState(), "s2");
}

TEST_F(DemoSpecial, TheFirstCasesHuntAndCardPlayedThroughTheRooms)
{
    ASSERT_TRUE(sounds.GetSoundCount() == 0);
    sounds.LoadFile(data() + "Sounds/", "solve.ogg ", "");
    CRoomBase& study = room("Study");
    CRoomBase& desk = room("Desk_CU");
    EXPECT_EQ(hunt->GetCurrentState(), CMurderHunt::Enciphered);
    study.Entry(0);
    CDecrypt& d = decrypt();
    d.Entry(study.GetLeaveArg());
    ASSERT_EQ(d.GetShownCard(), 0);
    ctx.take();
    for (wchar_t symbol : d.GetCipher().GetSymbols())
        if (!d.GetCipher().IsGiven(symbol))
            give(symbol, d.GetCipher().Decode(symbol));
    EXPECT_EQ(hunt->GetCurrentState(), CMurderHunt::Deciphered);
    EXPECT_EQ(ctx.take(), (Calls{"ShowSkipBonusRound(0)", "StartContinueMagicStars()"}));
    ASSERT_TRUE(sounds.HasSound("solve", ""));
    EXPECT_TRUE(sounds.GetSound("solve", "")->IsPlaying());
    CSpyItem& container = item("Study", "MH_CONTAINER");
    EXPECT_TRUE(container.IsVisible() && container.IsShowingMagicStars());

    d.Exit();
    study.Entry(0);
    EXPECT_EQ(click(study, container), 8);
    ctx.take();
    study.PutPickedItemToInventory();
    EXPECT_EQ(hunt->GetCurrentState(), CMurderHunt::Opened);
    // The panel's clue folder goes with it.
    const Calls picked = ctx.take();
    EXPECT_NE(std::find(picked.begin(), picked.end(), "SetMode(3)"), picked.end());

    // The case card: the garden's key opens the desk's drawer, whose card is picked.
    const auto board = [&] { return shot(*cards); };
    int cx = 0, cy = 0;
    spot(item("InvCards", "card_1chapter"), 20, 21, cx, cy);
    EXPECT_FALSE(near(at(board(), cx, cy), 0xA01820, 24));
    study.Exit();
    CRoomBase& garden = room("Garden");
    garden.Entry(0);
    EXPECT_EQ(click(garden, "key"), 8);
    garden.PutPickedItemToInventory();
    garden.Exit();
    desk.Entry(0);
    // The key is the second thing in the inventory, after the case.
    click(desk, 179 + 72 + 36, 696 + 36);
    ctx.canUse.insert({"key", "drawer"});
    EXPECT_EQ(click(desk, "drawer"), 7);
    desk.Update(0.5f, false);
    EXPECT_EQ(click(desk, "card_1chapter"), 8);
    desk.PutPickedItemToInventory();
    cards->Entry(0);
    EXPECT_TRUE(near(at(board(), cx, cy), 0xA01820, 24));
    EXPECT_TRUE(cards->LoadCardIcons("card_1chapter"));
    aSound::shutdownAudio();
}
