#include "engine/gfx/a_image.h"
#include "engine/gfx/a_image_manager.h"
#include "panel_fixture.h"

using namespace dialogtest;
using Shot = std::vector<std::uint32_t>;

namespace {

class PanelPixelTest : public PanelGlTest {
protected:
    void SetUp() override
    {
        PanelGlTest::SetUp();
        study(&list);
        drawFrames = false;
    }
    Shot shot()
    {
        draw();
        return backBuffer();
    }
    static std::uint32_t at(const Shot& px, int x, int y) { return px[std::size_t(y) * 1024 + std::size_t(x)]; }
    static int channel(std::uint32_t rgb, int shift) { return int(rgb >> shift & 0xFF); }
    // Bounding box (x0, y0, x1, y1) of the pixels that differ in r; x0 = -1 when none.
    static std::array<int, 4> changed(const Shot& a, const Shot& b, const aRect& r)
    {
        std::array<int, 4> box{{-1, 0, 0, 0}};
        for (int y = r.y; y < r.bottom(); ++y)
            for (int x = r.x; x < r.right(); ++x)
                if (at(a, x, y) != at(b, x, y))
                    box = box[0] < 0 ? std::array<int, 4>{{x, y, x, y}}
                                     : std::array<int, 4>{{std::min(box[0], x), std::min(box[1], y),
                                                           std::max(box[2], x), std::max(box[3], y)}};
        return box;
    }
    std::vector<CFindItemsGroup> list = lines({"key", "candle"});
};

} // namespace

TEST_F(PanelPixelTest, StrokeHighlighterAndClue)
{
    list[0].MarkPicked("key");
    panel->AddFoundItem("key");
    tick(70);
    const Shot px = shot();
    const auto& tasks = panel->GetItemTasks();
    for (std::size_t i : {0u, 1u}) {  // just past the text's end, on the stroke's row
        const std::uint32_t rgb = at(px, 40 + int(tasks[i].lines[0].right) + 1, int(tasks[i].y + tasks[i].lineHeight * 0.55f) + 1);
        EXPECT_EQ(channel(rgb, 16) > 100 && channel(rgb, 8) < 70, i == 0) << i;
    }
    const Panel::Entry entry = panel->GetEntries().at(0);
    moveTo(entry.rect.x + 10, entry.rect.y + 5);
    tick();
    const Shot plain = shot();
    panel->SetHintMode(true);
    EXPECT_EQ(changed(plain, shot(), aRect(0, entry.rect.y, 179, entry.rect.height))[0], entry.rect.x - 4);

    // The folder's caption turns 7 degrees counter-clockwise: the baseline of its
    // right half lies higher than that of its left half.
    panel->SetMode(5);
    const Shot clue = shot();
    int bottom[2] = {0, 0};
    for (int y = 478; y < 520; ++y)
        for (int x = 16; x < 150; ++x)
            if (channel(at(clue, x, y), 16) + channel(at(clue, x, y), 8) + channel(at(clue, x, y), 0) < 120)
                bottom[x >= 47] = y;
    EXPECT_GT(bottom[1], 478);
    EXPECT_LE(bottom[1], bottom[0] - 2);
}

TEST_F(PanelPixelTest, GlassFillGlintAndClockWarning)
{
    setRestoreTime(2.0f);
    remake();
    study(&list);
    panel->SetHintsCount(0);
    const Shot empty = shot();
    panel->Update(1.0f - kDt, -1, 0, 0, 0);  // half of the restore time
    const auto fill = changed(empty, shot(), aRect(113, 0, 50, 100));
    EXPECT_TRUE(fill[1] == 57 && fill[3] <= 81 && fill[0] >= 113 && fill[2] <= 162) << fill[1] << " " << fill[3];

    // The glint only over the lit glass.
    const auto white = [](std::uint32_t rgb) { return (rgb & 0xF0F0F0) == 0xF0F0F0; };
    panel->SetHintsCount(2);
    EXPECT_FALSE(white(at(shot(), 138, 33)));
    moveTo(140, 60);
    tick();
    EXPECT_TRUE(white(at(shot(), 138, 33)));
    panel->EnableHint(false);
    EXPECT_FALSE(white(at(shot(), 138, 33)));

    // The warning at (18, 10): 77 of 255 at 0 s left with the phase at 0 (the glass's shine hidden).
    Panel::ResetSharedClockState();
    part(Panel::ClockGlass)->SetVisible(false);
    panel->SetClockTime(200.0f);
    panel->Update(0.0f, -1, 0, 0, 0);
    const Shot calm = shot();
    panel->SetClockTime(0.0f);
    const Shot warned = shot();
    const auto box = changed(calm, warned, aRect(0, 0, 179, 100));
    EXPECT_TRUE(box[0] >= 18 && box[1] >= 10 && box[2] < 78 && box[3] < 78);
    const std::uint32_t texel = res->GetImageManager()->GetImage("clock_warning", "GamePanel")->getPixel(30, 20);
    const float a = float(texel >> 24) / 255.0f * 77.0f / 255.0f;
    for (int shift : {16, 8, 0}) {
        const float bg = float(channel(at(calm, 48, 30), shift));
        EXPECT_NEAR(float(channel(at(warned, 48, 30), shift)), bg + (float(channel(texel, shift)) - bg) * a, 2.0f);
    }
}
