// Demo-font text and advanced animations on the GL device: what reaches
// the back buffer.
#include "engine/gfx/a_adv_anim.h"
#include "engine/gfx/a_font.h"
#include "engine/gfx/a_image_manager.h"
#include "support/jng_writer.h"
#include "test_pixels_fixture.h"

namespace {

constexpr float kHalfPi = 1.5707963f;

using pxtest::GlPixelsTest;

std::string demoFont(const std::string& name) { return test_env::sourceDir() + "/data/GameData/Fonts/" + name; }

struct Box {
    int x0, y0, x1, y1;  // inclusive
    bool holds(int x, int y) const { return x >= x0 && x <= x1 && y >= y0 && y <= y1; }
};

TEST_F(GlPixelsTest, DemoTextStaysInItsMeasuredBoxAlsoTurned)
{
    aFont font(demoFont("DejaVuSans16.ini"));
    ASSERT_GT(font.getLoader()->glyphs().size(), 300u);
    const std::wstring text = L"Hello \u041F\u0440\u0438\u0432\u0435\u0442";
    const auto [w, h] = font.getStringSize(text);
    const float latin = font.getStringSize(std::wstring(L"Hello ")).first;
    ASSERT_GT(w, 80.0f);
    ASSERT_LT(w, 150.0f);
    EXPECT_EQ(h, 19.0f);

    font.drawString(5.0f, 10.0f, text, 0);
    auto px = backBuffer();
    const Box box{5, 10, 5 + int(w) - 1, 10 + int(h) - 1};
    int inside = 0, outside = 0, cyrillic = 0;
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            if (!px[std::size_t(y * kWidth + x)])
                continue;
            (box.holds(x, y) ? inside : outside)++;
            cyrillic += x >= 5 + int(latin) + 2;
        }
    }
    EXPECT_GT(inside, 200);
    EXPECT_EQ(outside, 0);
    EXPECT_GT(cyrillic, 100);

    // A quarter turn counter-clockwise about (x, y): the line runs upwards.
    graph->endScene();
    ASSERT_TRUE(graph->beginScene());
    font.setAngle(kHalfPi);
    font.drawString(40.0f, 120.0f, text, 0);
    px = backBuffer();
    const Box turned{40 - 1, 120 - int(w) - 1, 40 + int(h), 120};
    inside = outside = 0;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            if (px[std::size_t(y * kWidth + x)])
                (turned.holds(x, y) ? inside : outside)++;
    EXPECT_GT(inside, 200);
    EXPECT_EQ(outside, 0);
}

TEST_F(GlPixelsTest, TheUnderlineLiesUnderlineDYBelowTheTop)
{
    std::string ini = test_env::readFile(demoFont("DejaVuSans16.ini"));
    ini.replace(ini.find("[General]\n"), 10, "[General]\nUnderlineDY = 15\nUnderlineThickness = 2\n");
    putFile("DejaVuSans16.png", test_env::readFile(demoFont("DejaVuSans16.png")));
    aFont font(putFile("under.ini", ini));
    font.color = 0xFFFF0000;
    // Each marker underlines the glyph after it.
    const float w = font.getStringSize(std::wstring(L"_W_o_r_d")).first;
    font.drawString(10.0f, 20.0f, L"_W_o_r_d", 0);
    const auto px = backBuffer();
    auto at = [&](int x, int y) { return px[std::size_t(y * kWidth + x)]; };
    int red = 0;
    for (int x = 10; x < 10 + int(w); ++x) {
        EXPECT_EQ(at(x, 35), 0xFFFFFFu) << x;
        EXPECT_EQ(at(x, 36), 0xFFFFFFu) << x;
        EXPECT_NE(at(x, 37), 0xFFFFFFu) << x;
        for (int y = 20; y < 35; ++y)
            red += at(x, y) > 0xFFFFu && !(at(x, y) & 0xFFFF);
    }
    EXPECT_GT(red, 60);
    EXPECT_EQ(at(8, 35), 0u);
}

TEST_F(GlPixelsTest, AnimationFramesMirrorsAndHitTests)
{
    std::vector<std::uint32_t> strip(24 * 8), halves(8 * 8);
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 24; ++x)
            strip[std::size_t(y * 24 + x)] = x < 8 ? 0xFFFF0000 : x < 16 ? 0xFF00FF00 : 0xFF0000FF;
        for (int x = 0; x < 8; ++x)
            halves[std::size_t(y * 8 + x)] = x < 3 ? 0xFFFF0000 : 0xFF0000FF;
    }
    putFile("strip.png", jng_writer::buildPng(24, 8, strip));
    putFile("halves.png", jng_writer::buildPng(8, 8, halves));
    aImageManager images;
    images.LoadFile(test_env::home() + "/", "strip.png 8888 8888", "");
    images.LoadFile(test_env::home() + "/", "halves.png 8888 8888", "");
    const std::string general = "[_General_]\nWidth = 8\nHeight = 8\nAutoStart = 1\n";
    aAdvAnim strips;
    ASSERT_TRUE(strips.Load(putFile("s.ini", general + "[_Play_]\nA = (Fps=10)\n[A]\nTexture = strip\n"
                                                       "AutoFrames = 3\n"),
                            &images, ""));
    aAdvAnim mirror;
    ASSERT_TRUE(mirror.Load(putFile("m.ini", general + "[_Play_]\nA = \n[A]\nTexture = halves\n"
                                                       "Frame = (Rect=0 0 8 8)\n"),
                            &images, ""));

    strips.Update(0.15f);
    strips.Draw(20.0f, 30.0f, 0xFFFFFFFF, nullptr, 0.0f, nullptr, 0);
    mirror.Draw(40.0f, 30.0f, 0xFFFFFFFF, nullptr, 0.0f, nullptr, 0x2);
    mirror.Draw(60.0f, 30.0f, 0xFFFFFFFF, nullptr, 0.0f, nullptr, 0);
    const auto px = backBuffer();
    auto at = [&](int x, int y) { return px[std::size_t(y * kWidth + x)]; };
    EXPECT_EQ(at(20, 30), 0x00FF00u);
    EXPECT_EQ(at(27, 37), 0x00FF00u);
    EXPECT_EQ(at(28, 30), 0u);
    EXPECT_EQ(at(40, 34), 0x0000FFu);
    EXPECT_EQ(at(47, 34), 0xFF0000u);
    for (int y = -1; y <= 8; ++y) {
        for (int x = -1; x <= 8; ++x) {
            EXPECT_EQ(mirror.HitTest(x, y, 0x2) & 0xFFFFFF, at(40 + x, 30 + y)) << x << "," << y;
            EXPECT_EQ(mirror.HitTest(x, y, 0) & 0xFFFFFF, at(60 + x, 30 + y)) << x << "," << y;
        }
    }
    strips.Update(0.1f);
    graph->endScene();
    ASSERT_TRUE(graph->beginScene());
    strips.Draw(20.0f, 30.0f, 0xFFFFFFFF, nullptr, 0.0f, nullptr, 0);
    EXPECT_EQ(backBuffer()[std::size_t(33 * kWidth + 24)], 0x0000FFu);
}

} // namespace
