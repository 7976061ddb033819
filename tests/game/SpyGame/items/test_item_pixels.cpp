// The test location drawn on the GL device: colours and transparency,
// zoom, mirror, visual states, a half-faded heap layer, magic stars, text
// ink, and hit tests that agree with what was drawn.
#include <cmath>
#include <cstdlib>
#include <memory>

#include "game/SpyGame/items/objects/SpyObject.h"
#include "items_fixture.h"
#include "items_pixels_fixture.h"
#include "support/test_env.h"

namespace {

using namespace itemtest;

class TestRoomPixels : public ItemPixelsTest {
protected:
    void SetUp() override
    {
        ItemPixelsTest::SetUp();
        room = std::make_unique<TestRoom>(test_env::home() + "/TestRoom/");
    }
    void TearDown() override
    {
        room.reset();
        ItemPixelsTest::TearDown();
    }

    CSpyItem& item(const std::string& name) { return room->item(name); }
    void step(float seconds)
    {
        for (int i = 0; i < int(std::lround(seconds * 100.0f)); ++i)
            room->items->Update(0.01f);
    }
    // Pixels of the area differing from the background.
    static int lit(const std::vector<std::uint32_t>& px, int x, int y, int w, int h, std::uint32_t background)
    {
        int n = 0;
        for (int j = y; j < y + h; ++j)
            for (int i = x; i < x + w; ++i)
                n += at(px, i, j) != (background & 0xFFFFFF);
        return n;
    }

    std::unique_ptr<TestRoom> room;
};

constexpr std::uint32_t kBackground = 0xFF305070;

} // namespace

TEST_F(TestRoomPixels, ColoursTransparencyZoomAndMirror)
{
    CSpyItem& coin = item("coin_1");  // at (130, 200)
    auto px = frame([&] { coin.Draw(); }, kBackground);
    EXPECT_EQ(at(px, 138, 208), kCoin & 0xFFFFFF);
    EXPECT_EQ(at(px, 130, 200), kBackground & 0xFFFFFF);  // a transparent corner
    EXPECT_EQ(at(px, 145, 215), kBackground & 0xFFFFFF);
    const int one = lit(px, 120, 190, 60, 60, kBackground);
    coin.SetZoom(2.0f, false);
    px = frame([&] { coin.Draw(); }, kBackground);
    EXPECT_EQ(lit(px, 120, 190, 60, 60, kBackground), 4 * one);
    EXPECT_EQ(at(px, 161, 216), kCoin & 0xFFFFFF);
    EXPECT_EQ(at(px, 162, 216), kBackground & 0xFFFFFF);

    // Over black, "soft" shows red = its alpha, 8 * x; the mirrored copy
    // shows the ramp the other way round.
    px = frame([&] {
        item("soft").Draw();
        item("soft_mirror").Draw();
    });
    for (int x = 0; x < kSoftW; ++x) {
        EXPECT_TRUE(near(at(px, 100 + x, 105), softAlpha(x) << 16, 1)) << x;
        EXPECT_TRUE(near(at(px, 200 + x, 105), softAlpha(kSoftW - 1 - x) << 16, 1)) << x;
    }
}

TEST_F(TestRoomPixels, StatesFadesStarsAndText)
{
    // A container's closed picture, then its open one.
    CSpyItem& crate = item("crate");
    EXPECT_EQ(at(frame([&] { crate.Draw(); }), 352, 112), kClosed & 0xFFFFFF);
    crate.Click();
    step(0.45f);
    EXPECT_EQ(at(frame([&] { crate.Draw(); }), 352, 112), kOpen & 0xFFFFFF);

    // The top heap layer at half fade blends at half alpha over the one below
    // and over the background.
    CSpyItem& heap = item("heap");
    heap.Click();
    step(0.15f);
    ASSERT_NEAR(heap.GetObjects()[1]->GetFade(), 0.5f, 0.01f);
    const float a = float(std::lround(heap.GetObjects()[1]->GetFade() * 255.0f)) / 255.0f;
    auto blend = [&](std::uint32_t top, std::uint32_t below) {
        std::uint32_t out = 0;
        for (int shift : {16, 8, 0}) {
            const float t = float((top >> shift) & 0xFF), b = float((below >> shift) & 0xFF);
            out |= std::uint32_t(std::lround(t * a + b * (1.0f - a))) << shift;
        }
        return out;
    };
    auto px = frame([&] { heap.Draw(); }, kBackground);
    EXPECT_TRUE(near(at(px, 430, 110), blend(kHeapB, kHeapA), 3)) << std::hex << at(px, 430, 110);
    EXPECT_TRUE(near(at(px, 441, 121), blend(kHeapB, kBackground), 3)) << std::hex << at(px, 441, 121);

    // Magic stars: bright pixels near the item, none once dropped.
    CSpyItem& coin = item("coin_2");  // centre (158, 208)
    auto bright = [&](const std::vector<std::uint32_t>& p) {
        int n = 0;
        for (int y = 158; y < 258; ++y)
            for (int x = 108; x < 208; ++x) {
                const std::uint32_t c = at(p, x, y);
                n += ((c >> 16) & 0xFF) + ((c >> 8) & 0xFF) + (c & 0xFF) > 600;
            }
        return n;
    };
    EXPECT_EQ(bright(frame([&] { coin.Draw(); })), 0);
    coin.ShowMagicStars(true);
    step(0.3f);
    EXPECT_GT(bright(frame([&] { coin.Draw(); })), 0);
    coin.ShowMagicStars(false);
    step(0.01f);
    EXPECT_EQ(bright(frame([&] { coin.Draw(); })), 0);

    // A text line's ink lies inside its box.
    CSpyItem& label = item("label");
    px = frame([&] { label.Draw(); });
    float x0 = 0.0f, y0 = 0.0f;
    label.GetPos(x0, y0);
    const int w = label.GetWidthRounded(), h = label.GetHeightRounded();
    ASSERT_GT(w, 10);
    int inside = 0, outside = 0;
    for (int y = int(y0) - 20; y < int(y0) + h + 20; ++y)
        for (int x = int(x0) - 20; x < int(x0) + w + 20; ++x) {
            if (at(px, x, y) == 0)
                continue;
            const bool in = x >= int(x0) && x < int(x0) + w && y >= int(y0) && y < int(y0) + h;
            (in ? inside : outside) += 1;
        }
    EXPECT_GT(inside, 20);
    EXPECT_EQ(outside, 0);
}

TEST_F(TestRoomPixels, HitTestsAgreeWithTheDrawnAlpha)
{
    item("soft_mirror").SetZoom(1.5f, false);
    room->items->SetScale(0.75f);
    room->items->SetOrigin(7.0f, 3.0f);
    int items = 0;
    for (CSpyItem* it : room->items->GetItems()) {
        if (!it->IsVisible() || it->GetObjects().empty())
            continue;
        int hitAlpha = -1;
        bool pictures = true;
        for (const CSpyObject* object : it->GetObjects()) {
            const auto* pixels = dynamic_cast<const CSpyPixelObject*>(object);
            pictures = pictures && pixels && object->IsDrawn() && !object->IsHover();
            if (pixels && hitAlpha < 0)
                hitAlpha = pixels->GetHitAlpha();
        }
        if (!pictures)
            continue;
        EXPECT_GT(expectHitsMatchDrawnAlpha(*it, hitAlpha), 25) << it->GetName();
        ++items;
    }
    EXPECT_GT(items, 20);
}
