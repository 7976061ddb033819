#include <cstdlib>

#include "game/SpyGame/Dialogs/DialogHint.h"
#include "game/SpyGame/Dialogs/DialogInvCard.h"
#include "game/SpyGame/Dialogs/InvestigationBanner.h"
#include "overlay_fixture.h"

using namespace dialogtest;

namespace {

class OverlayPixelTest : public OverlayBench<GlDialogBench> {
protected:
    void SetUp() override
    {
        OverlayBench::SetUp();
        drawFrames = false;
    }
    std::uint32_t at(int x, int y) const { return shot[std::size_t(y) * 1024 + std::size_t(x)]; }
    static int channel(std::uint32_t rgb, int shift) { return int(rgb >> shift & 0xFF); }
    static bool near(std::uint32_t a, std::uint32_t b, int tolerance)
    {
        for (int shift : {16, 8, 0})
            if (std::abs(channel(a, shift) - channel(b, shift)) > tolerance)
                return false;
        return true;
    }

    std::vector<std::uint32_t> shot;
};

} // namespace

TEST_F(OverlayPixelTest, CardLandedFullSizeOverDarkenedWhite)
{
    CDialogInvCard card;
    card.Init();
    card.SetCard(solidCard(0xFFD02020));
    card.Show();
    card.Update(1.0f);
    drawOverWhite([] {});
    shot = backBuffer();
    // The 420 x 280 card upright from (302, 244) to (722, 524); white
    // around it under alpha 204 of black.
    for (auto [x, y] : {std::pair{512, 384}, {304, 246}, {719, 246}, {304, 521}, {719, 521}, {20, 20}, {299, 384},
                        {725, 384}, {512, 241}, {512, 527}})
        EXPECT_TRUE(near(at(x, y), x > 300 && x < 724 && y > 242 && y < 526 ? 0xD02020 : 0x333333, 2))
            << x << "," << y << " " << std::hex << at(x, y);
}

TEST_F(OverlayPixelTest, BannerHoldingOverBlack)
{
    CInvestigationBanner banner;
    setJingle(0);
    banner.Load();
    banner.Start(false);
    banner.Update(4.0f);
    ASSERT_EQ(banner.GetState(), CInvestigationBanner::Holding);
    drawOverWhite([&] { banner.Render(); });
    shot = backBuffer();

    // The 480 x 180 picture at 1.8 times, centred: (80, 222) to (944, 546);
    // its plate's gradient runs downwards only.
    const aImage* image = banner.GetImage();
    ASSERT_NE(image, nullptr);
    for (auto [u, v] : {std::pair{30, 40}, {400, 90}, {30, 150}})
        EXPECT_TRUE(near(at(int(80 + 1.8f * (u + 0.5f)), int(222 + 1.8f * (v + 0.5f))), image->getPixel(u, v), 12)) << v;
    // Black all round, but for the odd spark of the burst.
    int dark = 0, all = 0;
    for (int y = 0; y < 768; y += 8)
        for (int x = 0; x < 1024; x += 8)
            if (y < 200 || y > 570 || x < 60 || x > 964) {
                ++all;
                dark += near(at(x, y), 0, 8);
            }
    EXPECT_GT(dark, all * 9 / 10);
}

TEST_F(OverlayPixelTest, HintBalloonClampedAtTheRightEdge)
{
    CDialogHint hint;
    hint.Init();
    onFrame = [&](float dt) { hint.Update(dt); };
    moveTo(1010, 300);
    tick();
    hint.ShowHint(1010, 300, 240, "no_such_key", "");
    tick(16);  // faded in
    const aRect r = hint.GetWindow()->GetAbsoluteRect();
    ASSERT_TRUE(r.x == 1024 - 240 && r.width == 240 && r.y + r.height == 298) << r.x << " " << r.y;
    drawOverWhite([] {});
    shot = backBuffer();
    const std::uint32_t cream = 0xFFF8E6;
    const int mid = r.y + r.height / 2;
    // The balloon's body reaches the right edge; its left border stands at x.
    EXPECT_TRUE(near(at(1018, mid), cream, 6)) << std::hex << at(1018, mid);
    EXPECT_TRUE(near(at(r.x + 6, mid), cream, 6)) << std::hex << at(r.x + 6, mid);
    EXPECT_FALSE(near(at(r.x + 1, mid), cream, 6)) << std::hex << at(r.x + 1, mid);
    EXPECT_TRUE(near(at(r.x - 3, mid), 0xFFFFFF, 2)) << std::hex << at(r.x - 3, mid);
    // Dark text inside.
    int inked = 0;
    for (int y = r.y + 10; y < r.bottom() - 10; ++y)
        for (int x = r.x + 10; x < 1014; ++x)
            inked += channel(at(x, y), 16) < 128;
    EXPECT_GT(inked, 10);
}
