#include <array>

#include "engine/gfx/a_font.h"
#include "menu_fixture.h"

using namespace menutest;
using Menu = CGameFlow::Menu;
using Shot = std::vector<std::uint32_t>;

namespace {

class MenuPixels : public GlMenuBench {
protected:
    void SetUp() override
    {
        GlMenuBench::SetUp();
        startMenu();
        drawFrames = false;
        menu->Show(Menu::kMainMenu);
    }
    Shot shot()
    {
        draw();
        return backBuffer();
    }
    static std::uint32_t at(const Shot& px, int x, int y) { return px[std::size_t(y) * 1024 + std::size_t(x)]; }
    // (x0, y0, x1, y1) of the pixels that differ; x0 = -1 when none.
    static std::array<int, 4> changed(const Shot& a, const Shot& b)
    {
        std::array<int, 4> box{{-1, 0, 0, 0}};
        for (int y = 0; y < 768; ++y)
            for (int x = 0; x < 1024; ++x)
                if (at(a, x, y) != at(b, x, y))
                    box = box[0] < 0 ? std::array<int, 4>{{x, y, x, y}}
                                     : std::array<int, 4>{{std::min(box[0], x), std::min(box[1], y),
                                                           std::max(box[2], x), std::max(box[3], y)}};
        return box;
    }
    static int channel(std::uint32_t rgb, int shift) { return int(rgb >> shift & 0xFF); }
};

} // namespace

TEST_F(MenuPixels, RibbonsAtTheirPlaces)
{
    menu->SetAwardMH(0);
    const Shot none = shot();
    // The gold rosette (radius 33 round (36, 36) of its picture) from (763, 193).
    menu->SetAwardMH(1);
    const Shot gold = shot();
    const auto box = changed(none, gold);
    EXPECT_NEAR(box[0], 763 + 3, 2);
    EXPECT_NEAR(box[1], 193 + 3, 2);
    const std::uint32_t face = at(gold, 763 + 36, 193 + 36);
    EXPECT_TRUE(channel(face, 16) > 220 && channel(face, 8) > 180 && channel(face, 0) < 110) << std::hex << face;
    // The simple one (radius 21 round (23, 23)) from (789, 198).
    menu->SetAwardMH(4);
    const auto simple = changed(none, shot());
    EXPECT_NEAR(simple[0], 789 + 2, 2);
    EXPECT_NEAR(simple[1], 198 + 2, 2);
    EXPECT_NEAR(simple[2], 789 + 44, 3);
}

TEST_F(MenuPixels, CertificatePictureCentredAcrossItsBack)
{
    menu->GetFACertificate().ShowAward(1, 0);
    GUI::Widget* award = child("FACertificate", "AwardFA");
    award->SetVisible(false);
    const Shot without = shot();
    award->SetVisible(true);
    const auto box = changed(without, shot());
    const aRect back = child("FACertificate", "back_fa")->GetAbsoluteRect();
    ASSERT_GE(box[0], back.x);
    EXPECT_NEAR((box[0] + box[2]) / 2, back.x + back.width / 2, 2);
    EXPECT_LE(box[2], back.right());
}

TEST_F(MenuPixels, GreyVersionTextOnTheOptions)
{
    menu->Show(Menu::kOptions);
    auto font = std::move(gui->fonts["text_font"]);
    gui->fonts.erase("text_font");
    const Shot without = shot();  // no font: no text, and no harm
    gui->fonts["text_font"] = std::move(font);
    const Shot with = shot();
    const auto box = changed(without, with);
    ASSERT_GE(box[0], 0);
    EXPECT_NEAR(box[2], 703, 3);
    // The line's bottom, below the glyphs' baseline, stands at 591.
    EXPECT_TRUE(box[3] <= 591 && box[3] > 580) << box[3];
    EXPECT_GT(box[0], 600);
    EXPECT_GT(box[1], 560);
    int grey = 0;
    for (int y = box[1]; y <= box[3]; ++y)
        for (int x = box[0]; x <= box[2]; ++x) {
            const std::uint32_t p = at(with, x, y);
            if (p != at(without, x, y) && std::abs(channel(p, 16) - 97) < 12 && std::abs(channel(p, 8) - 97) < 12 &&
                std::abs(channel(p, 0) - 97) < 12)
                ++grey;
        }
    EXPECT_GT(grey, 10);
}
