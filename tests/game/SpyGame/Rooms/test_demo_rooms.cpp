// The demo case's rooms through the rooms manager on the GL device, the
// study placed at (179, 0) as the investigation places it: pixels of the
// items, the room alpha, the inventory strip, the carried icon and the hint
// stars; then the case played as the play step answers each result, saved
// and restored.
#include <gtest/gtest.h>

#include "game/SpyGame/items/items_pixels_fixture.h"
#include "game/SpyGame/items/objects/SpyObjectKinds.h"
#include "rooms_fixture.h"

namespace {

constexpr const char* kCase = "gamedata:_Investigations/1chapter/";

class DemoRooms : public roomtest::RoomsBench<itemtest::ItemPixelsTest> {
protected:
    std::string data() override { return test_env::sourceDir() + "/data/GameData/"; }
    void SetUp() override
    {
        RoomsBench::SetUp();
        if (HasFatalFailure())
            return;
        load(kCase);
        study = &room("Study");
        desk = &room("Desk_CU");
        garden = &room("Garden");
        // Centred in the investigation's area (179, 0, 845, 768).
        for (CRoomBase* r : {study, desk, garden})
            r->SetPos(179.0f + float(845 - r->GetScaledWidth()) / 2, float(768 - r->GetScaledHeight()) / 2);
    }
    std::vector<std::uint32_t> shot(const std::function<void()>& draw) { return ItemPixelsTest::frame(draw); }
    // An opaque texel of the item's first picture, and where it lands on screen.
    std::uint32_t texel(const CSpyItem& item, int tx, int ty, int& sx, int& sy)
    {
        const auto* image = dynamic_cast<const CSpyObjImage*>(item.GetObjects()[0]);
        const std::uint32_t argb = image->GetImage().getPixel(image->GetSource().x + tx, image->GetSource().y + ty);
        EXPECT_EQ(argb >> 24, 0xFFu) << item.GetName();
        float x = 0.0f, y = 0.0f;
        item.GetPos(x, y);
        sx = int(x) + tx;
        sy = int(y) + ty;
        return argb & 0xFFFFFF;
    }

    CRoomBase* study = nullptr;
    CRoomBase* desk = nullptr;
    CRoomBase* garden = nullptr;
};

int brightNear(const std::vector<std::uint32_t>& with, const std::vector<std::uint32_t>& without, int cx, int cy,
               int radius)
{
    int n = 0;
    for (int y = std::max(0, cy - radius); y < std::min(768, cy + radius); ++y)
        for (int x = std::max(0, cx - radius); x < std::min(1024, cx + radius); ++x) {
            const std::size_t i = std::size_t(y) * 1024 + std::size_t(x);
            n += ((with[i] >> 8) & 0xFF) > ((without[i] >> 8) & 0xFF) + 40;
        }
    return n;
}

} // namespace

TEST_F(DemoRooms, GardenKeyPixelsAlphaStripCursorAndStudyHints)
{
    EXPECT_EQ(study->GetPointX(), 179);
    EXPECT_EQ(study->GetScaledWidth(), 845);
    EXPECT_EQ(desk->GetScaledWidth(), 600);
    EXPECT_EQ(desk->GetScaledHeight(), 450);
    garden->Entry(0);
    CSpyItem& key = item("Garden", "key");
    int kx = 0, ky = 0;
    const std::uint32_t keyColor = texel(key, 30, 11, kx, ky);
    EXPECT_EQ(kx, 179 + 250 + 30);
    const auto full = shot([&] { garden->Draw(); });
    EXPECT_TRUE(near(at(full, kx, ky), keyColor, 2));
    // At half alpha over black the background halves, and the key over it
    // gives half its colour plus a quarter of the background's.
    key.SetVisible(false);
    const auto bare = shot([&] { garden->Draw(); });
    key.SetVisible(true);
    garden->SetAlpha(0.5f);
    const auto half = shot([&] { garden->Draw(); });
    for (auto [x, y] : {std::pair<int, int>{400, 100}, {900, 300}})
        EXPECT_TRUE(near(at(half, x, y), (at(full, x, y) >> 1) & 0x7F7F7F, 3)) << x << "," << y;
    EXPECT_TRUE(near(at(half, kx, ky), ((keyColor >> 1) & 0x7F7F7F) + ((at(bare, kx, ky) >> 2) & 0x3F3F3F), 3));
    garden->SetAlpha(1.0f);

    // Picked into slot 1; carried, centred on the mouse.
    EXPECT_EQ(click(*garden, "key"), 8);
    garden->PutPickedItemToInventory();
    const auto strip = shot([&] { garden->Draw(); });
    EXPECT_TRUE(near(at(strip, 179 + 36, 696 + 36), keyColor, 24));
    EXPECT_FALSE(near(at(full, 179 + 36, 696 + 36), keyColor, 24));
    click(*garden, 179 + 36, 696 + 36);
    ASSERT_EQ(garden->GetCursorItem(), &key);
    moveTo(600, 300);
    const auto carried = shot([&] {
        garden->Draw();
        garden->DrawCursorItem();
    });
    EXPECT_TRUE(near(at(carried, 600, 300), keyColor, 24));
    EXPECT_FALSE(near(at(carried, 179 + 36, 696 + 36), keyColor, 24));
    garden->DropCursorItem();

    garden->Exit();
    study->Entry(0);
    // Hint stars on a coin here, and on the desk drawer for the close-up's drawer.
    const auto plain = shot([&] { study->Draw(); });
    for (const char* target : {"coins", "drawer"}) {
        ASSERT_TRUE(study->ShowListHint(target));
        for (int i = 0; i < 20; ++i)
            study->Update(0.02f, true);
        const CSpyItem& on = item("Study", std::string(target) == "coins" ? "coin_1" : "desk_drawer");
        const auto stars = shot([&] { study->Draw(); });
        EXPECT_GT(brightNear(stars, plain, roomtest::cx(on), roomtest::cy(on), 50), 20) << target;
    }
}

TEST_F(DemoRooms, TheCasePlayedSavedAndRestored)
{
    // Each result answered as the play step answers it (no About texts here).
    garden->Entry(0);
    EXPECT_EQ(click(*garden, "key"), 8);
    garden->PutPickedItemToInventory();
    EXPECT_EQ(click(*garden, "gate"), 5);
    EXPECT_EQ(garden->TakeTargetRoom(), "Study");
    study->Entry(0);
    EXPECT_EQ(click(*study, "desk_drawer"), 6);
    EXPECT_EQ(study->TakeCloseUpRoom(), "Desk_CU");
    desk->Entry(study->GetLeaveArg());
    click(*desk, 179 + 36, 696 + 36);
    ctx.canUse.insert({"key", "drawer"});
    ctx.successApply["key"] = "key_fits_drawer";
    ctx.take();
    EXPECT_EQ(click(*desk, "drawer"), 7);
    EXPECT_EQ(ctx.take(), (std::vector<std::string>{"CanUseItemTo(key,Desk_CU:drawer)", "HasItemInfo(drawer)",
                                                    "OnApplyItemToFocusedItem(Garden:key)",
                                                    "GetItemSuccessApply(Garden:key)",
                                                    "ShowMessage(key_fits_drawer,Garden,1)"}));
    EXPECT_TRUE(rooms.GetInventory().empty());
    EXPECT_EQ(desk->Update(0.5f, false), 9);
    EXPECT_EQ(click(*desk, "card_1chapter"), 8);
    desk->PutPickedItemToInventory();
    EXPECT_EQ(click(*desk, "back"), 5);
    EXPECT_EQ(desk->TakeTargetRoom(), "_BACK");
    study->Entry(0);

    const std::string path = test_env::home() + "/demo.save";
    const std::string saved = roomtest::save(rooms, path);
    rooms.ResetRooms(kCase);
    EXPECT_TRUE(item("Garden", "key").IsVisible());
    ASSERT_TRUE(roomtest::restore(rooms, path));
    EXPECT_FALSE(item("Garden", "key").IsVisible());
    EXPECT_FALSE(item("Desk_CU", "card_1chapter").IsVisible());
    EXPECT_EQ(item("Desk_CU", "drawer").GetVisualState(), "open");
    EXPECT_TRUE(study->IsEntered());
    EXPECT_FALSE(desk->IsEntered());
    EXPECT_EQ(roomtest::save(rooms, path), saved);
}
