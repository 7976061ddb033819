// The demo case's rooms through the rooms manager on the GL device, the
// study placed at (179, 0) as the investigation places it: pixels of the
// items, the room alpha, the inventory strip, the carried icon and the hint
// stars; then the case played as the play step answers each result, saved
// and restored.
#include <gtest/gtest.h>

#include "engine/gfx/a_adv_anim_manager.h"
#include "engine/gfx/a_image_manager.h"
#include "engine/sound/a_sound_manager.h"
#include "engine/util/a_input_server.h"
#include "engine/util/a_locale_server.h"
#include "game/SpyGame/Rooms/RoomsManager.h"
#include "game/SpyGame/items/SpyItemKinds.h"
#include "game/SpyGame/items/objects/SpyObjectKinds.h"
#include "game/shell/c_particle_manager.h"
#include "game/shell/save_load_system.h"
#include "game/SpyGame/items/items_pixels_fixture.h"
#include "platform/input/keyboard.h"
#include "platform/input/mouse.h"
#include "platform/system/clock.h"
#include "rooms_fixture.h"

namespace {

constexpr const char* kCase = "gamedata:_Investigations/1chapter/";

class DemoRooms : public itemtest::ItemPixelsTest {
protected:
    void SetUp() override
    {
        platform::setClock(&clock);
        platform::setKeyboard(&keys);
        platform::setMouse(&mouse);
        ItemPixelsTest::SetUp();
        if (HasFatalFailure())
            return;
        mouse.clientWidth = kWidth;
        mouse.clientHeight = kHeight;
        input = new aInputServer();
        RegisterItemKinds();
        RegisterObjectKinds();
        RegisterRoomKinds();
        app.m_fileServer.setAssign("gamedata", test_env::sourceDir() + "/data/GameData/");
        app.m_fileServer.setAssign("language", "gamedata:Language/English/");
        anims.m_imageManager = &images;
        images.LoadList(test_env::sourceDir() + "/data/GameData/Particles/_images.list", "");
        particles.LoadList(test_env::sourceDir() + "/data/GameData/Particles/_particles.list", "");
        CRoomServices services;
        services.res.images = &images;
        services.res.anims = &anims;
        services.res.particles = &particles;
        services.res.locale = &locale;
        services.sounds = &sounds;
        services.input = input;
        rooms.SetServices(services);
        rooms.Init(nullptr, nullptr, &ctx);
        rooms.LoadRooms(kCase, nullptr);
        images.LoadAll();
        anims.LoadAll();
        rooms.AfterLoadInitRooms(kCase, nullptr, nullptr);
        rooms.ResetRooms(kCase);
        study = rooms.GetRoom("Study");
        desk = rooms.GetRoom("Desk_CU");
        ASSERT_TRUE(study && desk);
        // Centred in the investigation's area (179, 0, 845, 768).
        study->SetPos(179.0f + float(845 - study->GetScaledWidth()) / 2, float(768 - study->GetScaledHeight()) / 2);
        desk->SetPos(179.0f + float(845 - desk->GetScaledWidth()) / 2, float(768 - desk->GetScaledHeight()) / 2);
    }
    void TearDown() override
    {
        rooms.ReleaseAll();
        delete app.m_inputServer;
        ItemPixelsTest::TearDown();
        platform::setMouse(nullptr);
        platform::setKeyboard(nullptr);
        platform::setClock(nullptr);
    }

    int click(CRoomBase& room, int x, int y)
    {
        mouse.push(1, x, y);
        clock.advanceMs(20);
        input->update();
        const int result = room.Update(0.02f, false);
        mouse.push(0, x, y);
        clock.advanceMs(20);
        input->update();
        return result;
    }
    int click(CRoomBase& room, const std::string& item)
    {
        const CSpyItem* on = rooms.GetItem(room.GetName(), item);
        return click(room, roomtest::cx(*on), roomtest::cy(*on));
    }
    // A texel of the item's first picture, which must be opaque, and where it lands on screen.
    std::uint32_t texel(const CSpyItem& item, int tx, int ty, int& sx, int& sy)
    {
        const auto* image = dynamic_cast<const CSpyObjImage*>(item.GetObjects()[0]);
        const aRect& src = image->GetSource();
        const std::uint32_t argb = image->GetImage().getPixel(src.x + tx, src.y + ty);
        EXPECT_EQ(argb >> 24, 0xFFu) << item.GetName();
        float x = 0.0f, y = 0.0f;
        item.GetPos(x, y);
        sx = int(x) + tx;
        sy = int(y) + ty;
        return argb & 0xFFFFFF;
    }

    platform::ManualClock clock;
    platform::ScriptedKeyboard keys;
    platform::ScriptedMouse mouse;
    aInputServer* input = nullptr;
    aImageManager images;
    aAdvAnimManager anims;
    CParticleManager particles{&images};
    aLocaleServer locale;
    aSoundManager sounds;
    roomtest::RecordingContext ctx;
    CRoomsManager rooms;
    CRoomBase* study = nullptr;
    CRoomBase* desk = nullptr;
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

TEST_F(DemoRooms, StudyPixelsAlphaStripCursorAndHints)
{
    EXPECT_EQ(study->GetPointX(), 179);
    EXPECT_EQ(study->GetScaledWidth(), 845);
    EXPECT_EQ(desk->GetScaledWidth(), 600);
    EXPECT_EQ(desk->GetScaledHeight(), 450);
    study->Entry(0);
    CSpyItem& key = *rooms.GetItem("Study", "key");
    int kx = 0, ky = 0;
    const std::uint32_t keyColor = texel(key, 30, 11, kx, ky);
    EXPECT_EQ(kx, 179 + 690 + 30);
    const auto full = frame([&] { study->Draw(); });
    EXPECT_TRUE(near(at(full, kx, ky), keyColor, 2));
    // At half alpha over black the background halves, and the key over it
    // gives half its colour plus a quarter of the background's.
    key.SetVisible(false);
    const auto bare = frame([&] { study->Draw(); });
    key.SetVisible(true);
    study->SetAlpha(0.5f);
    const auto half = frame([&] { study->Draw(); });
    for (auto [x, y] : {std::pair<int, int>{400, 100}, {900, 300}})
        EXPECT_TRUE(near(at(half, x, y), (at(full, x, y) >> 1) & 0x7F7F7F, 3)) << x << "," << y;
    EXPECT_TRUE(near(at(half, kx, ky), ((keyColor >> 1) & 0x7F7F7F) + ((at(bare, kx, ky) >> 2) & 0x3F3F3F), 3));
    study->SetAlpha(1.0f);

    // Picked into slot 1; carried, centred on the mouse.
    EXPECT_EQ(click(*study, "key"), 8);
    study->PutPickedItemToInventory();
    const auto strip = frame([&] { study->Draw(); });
    EXPECT_TRUE(near(at(strip, 179 + 36, 696 + 36), keyColor, 24));
    EXPECT_FALSE(near(at(full, 179 + 36, 696 + 36), keyColor, 24));
    click(*study, 179 + 36, 696 + 36);
    ASSERT_EQ(study->GetCursorItem(), &key);
    mouse.push(0, 600, 300);
    clock.advanceMs(20);
    input->update();
    const auto carried = frame([&] {
        study->Draw();
        study->DrawCursorItem();
    });
    EXPECT_TRUE(near(at(carried, 600, 300), keyColor, 24));
    EXPECT_FALSE(near(at(carried, 179 + 36, 696 + 36), keyColor, 24));
    study->DropCursorItem();

    // Hint stars on a coin here, and on the desk drawer for the close-up's drawer.
    const auto plain = frame([&] { study->Draw(); });
    for (const char* target : {"coins", "drawer"}) {
        ASSERT_TRUE(study->ShowListHint(target));
        for (int i = 0; i < 20; ++i)
            study->Update(0.02f, true);
        const CSpyItem& on = *rooms.GetItem("Study", std::string(target) == "coins" ? "coin_1" : "desk_drawer");
        const auto stars = frame([&] { study->Draw(); });
        EXPECT_GT(brightNear(stars, plain, roomtest::cx(on), roomtest::cy(on), 50), 20)
            << target;
    }
}

TEST_F(DemoRooms, TheCasePlayedSavedAndRestored)
{
    ctx.canUse.insert({"key", "drawer"});
    study->Entry(0);
    // Each result answered as the play step answers it (no About texts here).
    EXPECT_EQ(click(*study, "key"), 8);
    study->PutPickedItemToInventory();
    EXPECT_EQ(rooms.GetInventory().size(), 1u);
    EXPECT_EQ(click(*study, "desk_drawer"), 6);
    EXPECT_EQ(study->TakeCloseUpRoom(), "Desk_CU");
    desk->Entry(study->GetLeaveArg());
    click(*desk, 179 + 36, 696 + 36);
    EXPECT_EQ(click(*desk, "drawer"), 7);
    desk->Update(0.5f, false);
    ASSERT_TRUE(rooms.GetItem("Desk_CU", "card_1chapter")->IsVisible());
    EXPECT_EQ(click(*desk, "card_1chapter"), 8);
    desk->PutPickedItemToInventory();
    EXPECT_EQ(click(*desk, "back"), 5);
    EXPECT_EQ(desk->TakeTargetRoom(), "_BACK");
    study->Entry(0);
    EXPECT_TRUE(rooms.GetInventory().empty());

    const std::string path = test_env::home() + "/demo.save";
    SaveLoadSystem system;
    system.BeginSave(path, 4374);
    system.SaveEntity(&rooms);
    ASSERT_TRUE(system.Finish());
    const std::string saved = test_env::readFile(path);
    rooms.ResetRooms(kCase);
    EXPECT_TRUE(rooms.GetItem("Study", "key")->IsVisible());
    ASSERT_TRUE(system.BeginLoad(path, 4374));
    ASSERT_TRUE(system.LoadEntity(&rooms));
    system.Finish();
    EXPECT_FALSE(rooms.GetItem("Study", "key")->IsVisible());
    EXPECT_FALSE(rooms.GetItem("Desk_CU", "card_1chapter")->IsVisible());
    EXPECT_EQ(rooms.GetItem("Desk_CU", "drawer")->GetVisualState(), "open");
    EXPECT_TRUE(study->IsEntered());
    EXPECT_FALSE(desk->IsEntered());
    system.BeginSave(path, 4374);
    system.SaveEntity(&rooms);
    system.Finish();
    EXPECT_EQ(test_env::readFile(path), saved);
}
