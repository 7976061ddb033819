// The demo study, as the game would place it (the room area of a 1024 x 768
// screen), drawn on the GL device: its items show their pictures over the
// background, hit where they draw, and its magic stars sparkle.
#include <memory>

#include "engine/gfx/a_adv_anim_manager.h"
#include "engine/gfx/a_image_manager.h"
#include "engine/util/a_options_file.h"
#include "game/SpyGame/items/SpyItemKinds.h"
#include "game/SpyGame/items/SpyItemManager.h"
#include "game/SpyGame/items/objects/SpyObjectKinds.h"
#include "game/shell/c_particle_manager.h"
#include "items_pixels_fixture.h"
#include "support/test_env.h"

namespace {

using namespace itemtest;

class StudyPixels : public ItemPixelsTest {
protected:
    void SetUp() override
    {
        ItemPixelsTest::SetUp();
        RegisterItemKinds();
        RegisterObjectKinds();
        const std::string data = test_env::sourceDir() + "/data/GameData/";
        const std::string dir = data + "_Locations/Rooms/Study/";
        images.LoadList(dir + "_images.list", "Study");
        images.LoadList(data + "Particles/_images.list", "");
        anims.m_imageManager = &images;
        anims.LoadList(dir + "_anims.list", "Study");
        particles.LoadList(data + "Particles/_particles.list", "");
        res.images = &images;
        res.anims = &anims;
        res.particles = &particles;
        items = std::make_unique<CSpyItemManager>("Study", res);
        ASSERT_TRUE(items->Load(dir, "Study"));
        aOptionsFile location(dir + "location.ini");
        ASSERT_TRUE(location.selectSection("Scene"));
        for (bool more = location.firstKey(); more && !location.isKeysEnd(); more = location.nextKey())
            ASSERT_NE(items->GetObjectManager().AddRoomObject(CSpyObjectManager::ListScene, location.getKeyValue(),
                                                              dir + "location.ini"),
                      nullptr);
        items->AfterLoad();
        items->SetOrigin(179.0f, 0.0f);
    }
    void TearDown() override
    {
        items.reset();
        ItemPixelsTest::TearDown();
    }

    aImageManager images;
    aAdvAnimManager anims;
    CParticleManager particles{&images};
    CSpyResources res;
    std::unique_ptr<CSpyItemManager> items;
};

} // namespace

TEST_F(StudyPixels, ItemsShowTheirPicturesOverTheBackgroundAndHitWhereTheyDraw)
{
    ASSERT_GE(items->GetItems().size(), 20u);
    const auto scene = frame([&] { items->DrawScene(); });
    int pictures = 0;
    for (CSpyItem* item : items->GetItems()) {
        if (!item->IsVisible())
            continue;
        const auto* image = dynamic_cast<const CSpyObjImage*>(item->GetObjects()[0]);
        ASSERT_NE(image, nullptr) << item->GetName();
        ASSERT_TRUE(image->IsResolved()) << item->GetName();
        if (!image->IsDrawn())
            continue;
        const auto px = frame([&] {
            items->DrawScene();
            item->Draw();
        });
        // An opaque texel shows its colour; a transparent corner the room.
        const CSpyPlace place = item->GetPlace();
        const aRect& src = image->GetSource();
        bool opaqueSeen = false;
        for (int ty = 0; ty < src.height && !opaqueSeen; ++ty)
            for (int tx = 0; tx < src.width && !opaqueSeen; ++tx) {
                const std::uint32_t texel = image->GetImage().getPixel(src.x + tx, src.y + ty);
                if (texel >> 24 != 255 || item->GetZoom() != 1.0f)
                    continue;
                const int sx = image->IsMirrored() ? src.width - 1 - tx : tx;
                EXPECT_TRUE(near(at(px, int(place.x) + sx, int(place.y) + ty), texel & 0xFFFFFF, 1))
                    << item->GetName() << " texel " << tx << "," << ty;
                opaqueSeen = true;
            }
        const int cx = int(place.x), cy = int(place.y);
        EXPECT_EQ(image->GetImage().getPixel(src.x, src.y) >> 24, 0u) << item->GetName();
        EXPECT_EQ(at(px, cx, cy), at(scene, cx, cy)) << item->GetName();
        EXPECT_GT(expectHitsMatchDrawnAlpha(*item, image->GetHitAlpha()), 25) << item->GetName();
        ++pictures;
    }
    EXPECT_GE(pictures, 16);

    // The garden door is a mask: nothing drawn until the mouse is over it.
    CSpyItem* door = items->GetItem("door_garden");
    ASSERT_NE(door, nullptr);
    EXPECT_EQ(items->GetItemAt(179.0f + 700.0f, 300.0f), door);
    auto px = frame([&] {
        items->DrawScene();
        items->Draw();
    });
    EXPECT_EQ(at(px, 179 + 635, 300), at(scene, 179 + 635, 300));
    items->UpdateHover(179.0f + 700.0f, 300.0f);
    px = frame([&] {
        items->DrawScene();
        items->Draw();
    });
    EXPECT_NE(at(px, 179 + 635, 300), at(scene, 179 + 635, 300));
}

TEST_F(StudyPixels, MagicStarsSparkleNearTheirItemAndStopWhenDropped)
{
    CSpyItem* coin = items->GetItem("coin_1");
    ASSERT_NE(coin, nullptr);
    float x = 0.0f, y = 0.0f;
    coin->GetPos(x, y);
    auto brightNear = [&](const std::vector<std::uint32_t>& px) {
        int n = 0;
        for (int j = int(y) - 50; j < int(y) + 70; ++j)
            for (int i = int(x) - 50; i < int(x) + 70; ++i) {
                const std::uint32_t c = at(px, i, j);
                n += ((c >> 16) & 0xFF) > 230 && ((c >> 8) & 0xFF) > 200;
            }
        return n;
    };
    auto drawn = [&] {
        return frame([&] {
            items->DrawScene();
            items->Draw();
        });
    };
    const int before = brightNear(drawn());
    coin->ShowMagicStars(true);
    for (int i = 0; i < 30; ++i)
        items->Update(0.02f);
    EXPECT_GT(brightNear(drawn()), before + 10);
    coin->ShowMagicStars(false);
    items->Update(0.02f);
    EXPECT_EQ(brightNear(drawn()), before);
}
