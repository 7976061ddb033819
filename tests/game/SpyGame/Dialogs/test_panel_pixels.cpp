#include "engine/gfx/a_image.h"
#include "engine/gfx/a_image_manager.h"
#include "panel_fixture.h"

using namespace dialogtest;

namespace {

class PanelPixelTest : public PanelGlTest {
protected:
    void SetUp() override
    {
        PanelGlTest::SetUp();
        if (HasFatalFailure())
            return;
        drawFrames = false;
        study(&list);
    }
    std::vector<std::uint32_t> shot()
    {
        draw();
        return backBuffer();
    }
    static std::uint32_t at(const std::vector<std::uint32_t>& px, int x, int y) { return px[std::size_t(y) * 1024 + x]; }
    // The bounding box of the pixels that differ in the rectangle: x0, y0, x1, y1 (inclusive); -1s when none.
    static std::array<int, 4> changed(const std::vector<std::uint32_t>& a, const std::vector<std::uint32_t>& b,
                                      const aRect& r)
    {
        std::array<int, 4> box{{-1, -1, -1, -1}};
        for (int y = r.y; y < r.bottom(); ++y)
            for (int x = r.x; x < r.right(); ++x)
                if (at(a, x, y) != at(b, x, y)) {
                    box = box[0] < 0 ? std::array<int, 4>{{x, y, x, y}}
                                     : std::array<int, 4>{{std::min(box[0], x), std::min(box[1], y),
                                                           std::max(box[2], x), std::max(box[3], y)}};
                }
        return box;
    }
    std::vector<CFindItemsGroup> list = lines({"key", "candle"});
};

bool reddish(std::uint32_t rgb) { return (rgb >> 16 & 0xFF) > 100 && (rgb >> 8 & 0xFF) < 70 && (rgb & 0xFF) < 70; }

} // namespace

TEST_F(PanelPixelTest, StrikeAndHintHighlight)
{
    list[0].MarkPicked("key");
    panel->AddFoundItem("key");
    tick(70);
    const auto& tasks = panel->GetItemTasks();
    const auto px = shot();
    for (std::size_t i : {0u, 1u}) {
        const auto& line = tasks[i].lines.at(0);
        const int y = int(tasks[i].y + tasks[i].lineHeight * 0.55f) + 1;
        EXPECT_EQ(reddish(at(px, 40 + int(line.right) + 1, y)), i == 0) << i;
    }

    // In hint mode the hovered line gets the highlighter, from 4 pixels left of its text.
    const Panel::Entry entry = panel->GetEntries().at(0);
    EXPECT_EQ(entry.name, "candle");
    moveTo(entry.rect.x + 10, entry.rect.y + 5);
    tick();
    const auto plain = shot();
    panel->SetHintMode(true);
    const auto lit = shot();
    const auto box = changed(plain, lit, aRect(0, entry.rect.y, 179, entry.rect.height));
    EXPECT_EQ(box[0], entry.rect.x - 4);
}

TEST_F(PanelPixelTest, GlassFillLightAndClockWarning)
{
    setRestoreTime(2.0f);
    panel = std::make_unique<Panel>();
    panel->Init();
    panel->Show();
    panel->SetupRoom("", &list, nullptr, "Study", true, true);
    panel->SetHintsCount(0);
    const aRect glass(113, 0, 50, 100);
    const auto empty = shot();
    panel->Update(1.0f, -1, 0, 0, 0);
    const auto half = shot();
    const auto fill = changed(empty, half, glass);  // from row 25 of 50 down
    EXPECT_EQ(fill[1], 57);
    EXPECT_LE(fill[3], 81);
    EXPECT_GE(fill[0], 113);
    EXPECT_LE(fill[2], 162);

    // The glint only while the glass is lit and the mouse is over it.
    panel->SetHintsCount(2);
    panel->EnableHint(true);
    moveTo(600, 400);
    tick();
    const auto away = shot();
    const auto white = [](std::uint32_t rgb) { return (rgb & 0xF0F0F0) == 0xF0F0F0; };
    EXPECT_FALSE(white(at(away, 138, 33)));
    moveTo(140, 60);
    tick();
    EXPECT_TRUE(white(at(shot(), 138, 33)));
    panel->EnableHint(false);
    tick();
    EXPECT_FALSE(white(at(shot(), 138, 33)));

    // The warning at (18, 10), with 77 of 255 at 0 s left and the phase at 0.
    Panel::ResetSharedClockState();
    part(Panel::ClockGlass)->SetVisible(false);  // its shine lies over the warning
    panel->SetClockTime(200.0f);
    panel->Update(0.0f, -1, 0, 0, 0);
    const auto calm = shot();
    panel->SetClockTime(0.0f);
    const auto warned = shot();
    const auto box = changed(calm, warned, aRect(0, 0, 179, 100));
    EXPECT_GE(box[0], 18);
    EXPECT_GE(box[1], 10);
    EXPECT_LT(box[2], 18 + 60);
    EXPECT_LT(box[3], 10 + 68);
    const aImage* warning = res->GetImageManager()->GetImage("clock_warning", "GamePanel");
    const int x = 18 + 30, y = 10 + 20;  // on the dial, clear of the time window and the caption
    const std::uint32_t texel = warning->getPixel(30, 20);
    const float a = float(texel >> 24) / 255.0f * 77.0f / 255.0f;
    for (int shift : {16, 8, 0}) {
        const float bg = float(at(calm, x, y) >> shift & 0xFF), fg = float(texel >> shift & 0xFF);
        EXPECT_NEAR(float(at(warned, x, y) >> shift & 0xFF), bg + (fg - bg) * a, 2.0f) << shift;
    }
}

TEST_F(PanelPixelTest, ClueRisesToTheRight)
{
    panel->SetMode(5);  // the folder stays, with no clue text under the caption
    const auto px = shot();
    // The caption's dark pixels on the folder's note: mean row of the left and right ends.
    const aRect note(10, 470, 150, 50);
    int minX = 1024, maxX = -1;
    for (int y = note.y; y < note.bottom(); ++y)
        for (int x = note.x; x < note.right(); ++x)
            if ((at(px, x, y) >> 16 & 0xFF) + (at(px, x, y) >> 8 & 0xFF) + (at(px, x, y) & 0xFF) < 120) {
                minX = std::min(minX, x);
                maxX = std::max(maxX, x);
            }
    ASSERT_GT(maxX - minX, 20);
    const auto meanRow = [&](int from, int to) {
        double sum = 0, n = 0;
        for (int y = note.y; y < note.bottom(); ++y)
            for (int x = from; x <= to; ++x)
                if ((at(px, x, y) >> 16 & 0xFF) + (at(px, x, y) >> 8 & 0xFF) + (at(px, x, y) & 0xFF) < 120)
                    sum += y, ++n;
        return n > 0 ? sum / n : 0.0;
    };
    EXPECT_LT(meanRow(maxX - 6, maxX), meanRow(minX, minX + 6) - 2.0);
}
