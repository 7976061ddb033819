// The splash sequence and the credits on exact frame times: fades, skips,
// Escape, bad values, missing pictures, strings and curves, an item on its
// curve; the splash at mid-fade on the GL device.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "engine/gfx/a_font.h"
#include "engine/gfx/a_image_manager.h"
#include "engine/gfx/a_trajectory.h"
#include "engine/util/a_locale_server.h"
#include "game/shell/c_credits.h"
#include "game/shell/c_res_manager.h"
#include "game/shell/c_splash.h"
#include "support/jng_writer.h"
#include "test_graph_server_fixture.h"
#include "test_image_fixture.h"

namespace {

class ScreensTest : public imgtest::RecordingTest {
protected:
    const char* appName() const override { return "ScreensTest"; }
    void SetUp() override
    {
        RecordingTest::SetUp();
        const std::string folder = test_env::home() + "/img/";
        test_env::writeFile(folder + "logo.png", jng_writer::buildPng(32, 16, imgtest::solid(32, 16, 0xFFFFFFFF)));
        images.LoadFile(folder, "logo.png 8888 8888", "");
        strings.loadFile(putFile("Main.txt", "thanks = \"Thank you\"\n"));
        newLog();
    }
    bool logged(const std::string& line) { return m_log.find(line) != std::string::npos; }
    void readLog() { m_log = newLog(); }

    aImageManager images;
    aLocaleServer strings;
    std::string m_log;
};

} // namespace

TEST_F(ScreensTest, SplashFadesSkipsStopsAndTakesDefaultsForBadValues)
{
    const std::string path = putFile("splash.ini",
                                     "[One]\nImage = logo\nTime = 1\nFade = 0.5\nColor = FF102030\n"
                                     "[Missing]\nImage = nothing\n"
                                     "[Two]\nImage = logo\nTime = -3\nFade = abc\nColor = XYZ\n");
    CSplash splash;
    splash.Load(path, &images);
    readLog();
    ASSERT_EQ(splash.GetScreens().size(), 2u);
    EXPECT_TRUE(logged("[Missing] Image: no picture 'nothing', screen left out"));
    EXPECT_TRUE(logged("[Two] Time: bad value '-3', 2 taken"));
    EXPECT_TRUE(logged("[Two] Fade: bad value 'abc', 0.5 taken"));
    EXPECT_TRUE(logged("[Two] Color: bad value 'XYZ', FF000000 taken"));
    EXPECT_EQ(splash.GetScreens()[1].time, CSplash::kDefaultTime);
    EXPECT_EQ(splash.GetScreens()[1].color, CSplash::kDefaultColor);

    // In over 0.5 s, held 1 s, out over 0.5 s.
    std::vector<float> alphas;
    for (float dt : {0.25f, 0.5f, 0.5f, 0.5f}) {
        splash.Update(dt, false, false);
        alphas.push_back(splash.GetAlpha());
    }
    EXPECT_EQ(alphas, (std::vector<float>{0.5f, 1.0f, 1.0f, 0.5f}));

    // The second screen: a skip in its fade-in fades out from the alpha shown.
    splash.Update(0.25f, false, false);
    EXPECT_EQ(splash.GetCurrent(), 1u);
    splash.Update(0.125f, false, false);
    EXPECT_EQ(splash.GetAlpha(), 0.25f);
    splash.Update(0.0f, true, false);
    EXPECT_EQ(splash.GetAlpha(), 0.25f);
    splash.Update(0.0625f, false, false);
    EXPECT_EQ(splash.GetAlpha(), 0.125f);
    splash.Update(0.0625f, true, false);
    EXPECT_TRUE(splash.IsDone());

    // Escape ends the sequence at once; without the file there is none.
    splash.Load(path, &images);
    splash.Update(0.1f, false, true);
    EXPECT_TRUE(splash.IsDone());
    splash.Load(test_env::home() + "/none.ini", &images);
    EXPECT_TRUE(splash.IsDone());
}

TEST_F(ScreensTest, CreditsFollowCurvesFadeAndEnd)
{
    // 200 pixels: 100 to the right, then 100 down.
    aTrajectory walk;
    walk.setType(TRAJECTORY_POLYLINE);
    for (const auto& [x, y] : {std::make_pair(0.0f, 0.0f), {100.0f, 0.0f}, {100.0f, 100.0f}})
        walk.addPoint(x, y);
    std::string bytes(walk.serialize(nullptr), '\0');
    walk.serialize(reinterpret_cast<std::uint8_t*>(bytes.data()));
    putFile("Curves/walk.data", bytes);

    const std::string path = putFile("credits.ini",
                                     "[General]\nBackground = logo\nMusic = theme\nFont = Big\n"
                                     "[Walker]\nImage = logo\nStart = 1\nTime = 4\nCurve = walk.data\n"
                                     "[Still]\nText = thanks\nTime = 2\nPos = 30 40\nCurve = missing.data\n"
                                     "[NoText]\nText = nowhere\n"
                                     "[NoPicture]\nImage = nothing\nStart = 9\n"
                                     "[BadPos]\nText = thanks\nStart = x\nPos = 1\n");
    aFont font("no_glyphs.fnt");
    CCredits::Sources sources;
    sources.images = &images;
    sources.strings = &strings;
    sources.font = [&](const std::string& name) { return name == "Big" ? &font : nullptr; };
    sources.curvesFolder = test_env::home() + "/Curves/";
    CCredits credits;
    credits.Load(path, sources);
    readLog();
    ASSERT_EQ(credits.GetItems().size(), 3u);
    EXPECT_EQ(credits.GetMusic(), "theme");
    EXPECT_TRUE(logged("[NoText] Text: no string 'nowhere' to show, item left out"));
    EXPECT_TRUE(logged("[NoPicture] Image: no picture 'nothing', item left out"));
    EXPECT_TRUE(logged("[Still] Curve: no file"));
    EXPECT_TRUE(logged("[BadPos] Start: bad value 'x', 0 taken"));
    EXPECT_TRUE(logged("[BadPos] Pos: bad value '1', the default taken"));
    const CCredits::Item& walker = credits.GetItems()[0];
    const CCredits::Item& still = credits.GetItems()[1];
    ASSERT_TRUE(walker.moving);
    EXPECT_FLOAT_EQ(walker.curve.GetSpeed(), 50.0f);

    // The walker leaves 1 s in; at 2.5 s it is 50 x 1.5 pixels along.
    credits.Start();
    float x = 0.0f, y = 0.0f;
    for (int i = 0; i < 5; ++i)
        credits.Update(0.5f, false);
    credits.GetItemPos(walker, 64.0f, 48.0f, x, y);
    EXPECT_NEAR(x, 75.0f, 1e-3);
    EXPECT_NEAR(y, 0.0f, 1e-3);
    credits.Update(1.0f, false);
    credits.GetItemPos(walker, 64.0f, 48.0f, x, y);
    EXPECT_NEAR(x, 100.0f, 1e-3);
    EXPECT_NEAR(y, 25.0f, 1e-3);
    // Its curve missing, the text stays at its place; one without a place is centred.
    credits.GetItemPos(still, 64.0f, 48.0f, x, y);
    EXPECT_EQ(std::make_pair(x, y), std::make_pair(30.0f, 40.0f));
    credits.GetItemPos(credits.GetItems()[2], 64.0f, 48.0f, x, y);
    EXPECT_EQ(std::make_pair(x, y), std::make_pair(32.0f, 24.0f));

    // Drawn centred on its point, at the alpha of its fade.
    ASSERT_TRUE(graph->beginScene());
    credits.Render(64.0f, 48.0f);
    graph->endScene();
    const auto draws = spriteDraws();
    ASSERT_EQ(draws.size(), 2u);  // the background, the walker
    EXPECT_EQ(std::vector<float>({draws[0].sx, draws[0].sy}), std::vector<float>({2.0f, 3.0f}));
    EXPECT_EQ(std::vector<float>({draws[1].tx, draws[1].ty}), std::vector<float>({84.0f, 17.0f}));

    // Fades: in and out over 0.5 s, one longer than half the time cut to it.
    const UC::Fade fade(1.0f, 4.0f, 0.5f);
    EXPECT_EQ(std::vector<float>({fade.GetAlpha(0.5f), fade.GetAlpha(1.25f), fade.GetAlpha(3.0f),
                                  fade.GetAlpha(4.75f), fade.GetAlpha(5.0f)}),
              std::vector<float>({0.0f, 0.5f, 1.0f, 0.5f, 0.0f}));
    EXPECT_EQ(UC::Fade(0.0f, 1.0f, 2.0f).GetAlpha(0.25f), 0.5f);

    // The end follows the last item; a stop (a click or Escape) ends at once.
    EXPECT_FALSE(credits.IsDone());
    credits.Update(2.5f, false);
    EXPECT_TRUE(credits.IsDone());
    credits.Start();
    credits.Update(0.1f, true);
    EXPECT_TRUE(credits.IsDone());
    credits.Load(test_env::home() + "/none.ini", sources);
    EXPECT_TRUE(credits.IsDone());
}

// The demo's credits: the logo glides in along its curve while the first
// names show, whole from top to bottom, and never passes over a line of
// text shown at that moment (each line taken as 560 x 40 pixels about its
// place).
TEST_F(ScreensTest, TheDemoLogoKeepsClearOfTheCreditsText)
{
    const std::string data = test_env::sourceDir() + "/data/GameData/";
    images.LoadFile(data + "Images/Loading/", "loading_logo.png 8888 8888", "");
    strings.loadFile(data + "Language/English/Text/Main.txt");
    CCredits::Sources sources;
    sources.images = &images;
    sources.strings = &strings;
    aFont font("no_glyphs.fnt");  // the texts' places matter here, not their glyphs
    sources.font = [&](const std::string&) { return &font; };
    sources.curvesFolder = data + "Curves/";
    CCredits credits;
    credits.Load(data + "credits.ini", sources);
    const auto& items = credits.GetItems();
    const auto logo = std::find_if(items.begin(), items.end(), [](const CCredits::Item& i) { return i.image; });
    ASSERT_NE(logo, items.end());
    ASSERT_TRUE(logo->moving);
    ASSERT_GE(std::count_if(items.begin(), items.end(), [](const CCredits::Item& i) { return !i.text.empty(); }), 5);
    credits.Start();
    int overlapping = 0, together = 0;
    for (float t = 0.0f; !credits.IsDone() && t < 60.0f; t += 0.05f) {
        credits.Update(0.05f, false);
        if (logo->fade.GetAlpha(credits.GetTime()) <= 0.0f)
            continue;
        float lx = 0, ly = 0;
        credits.GetItemPos(*logo, 1024.0f, 768.0f, lx, ly);
        const float lw = float(logo->image->getWidth()) / 2.0f, lh = float(logo->image->getHeight()) / 2.0f;
        EXPECT_TRUE(ly - lh >= 0.0f && ly + lh <= 768.0f) << "cut at the screen's edge at " << credits.GetTime();
        for (const CCredits::Item& text : items) {
            if (text.text.empty() || text.fade.GetAlpha(credits.GetTime()) <= 0.0f)
                continue;
            ++together;
            float tx = 0, ty = 0;
            credits.GetItemPos(text, 1024.0f, 768.0f, tx, ty);
            if (std::abs(lx - tx) < lw + 280.0f && std::abs(ly - ty) < lh + 20.0f) {
                ++overlapping;
                ADD_FAILURE() << "at " << credits.GetTime() << " s the logo at " << lx << "," << ly << " covers ["
                              << text.name << "]";
            }
        }
    }
    EXPECT_GT(together, 20);  // the logo and the text do show together
    EXPECT_EQ(overlapping, 0);
}

using SplashPixels = gstest::GlServerTest;

TEST_F(SplashPixels, MidFadeBlendsThePictureHalfOverItsColour)
{
    aImageManager images;
    const std::string folder = test_env::home() + "/img/";
    test_env::writeFile(folder + "logo.png", jng_writer::buildPng(32, 16, imgtest::solid(32, 16, 0xFFFFFFFF)));
    images.LoadFile(folder, "logo.png 8888 8888", "");
    test_env::writeFile(folder + "splash.ini", "[One]\nImage = logo\nFade = 1\nColor = FF000080\n");
    CSplash splash;
    splash.Load(folder + "splash.ini", &images);
    splash.Update(0.5f, false, false);
    CResManager res(false);
    ASSERT_TRUE(server->beginScene());
    splash.Render(res, float(kWidth), float(kHeight));
    server->endScene();
    // Half white over the blue colour inside the picture; the colour beside it.
    const std::uint32_t inside = pixel(32, 24);
    EXPECT_NEAR(double((inside >> 16) & 0xFF), 127.5, 1.5);
    EXPECT_NEAR(double(inside & 0xFF), 191.5, 1.5);
    EXPECT_EQ(pixel(4, 4), 0x000080u);
    EXPECT_EQ(lit(0x000080), box(16, 16, 32, 16));
}

TEST_F(SplashPixels, ScreenWithoutAPictureShowsItsColourForItsTime)
{
    aImageManager images;
    const std::string folder = test_env::home() + "/img/";
    test_env::writeFile(folder + "logo.png", jng_writer::buildPng(32, 16, imgtest::solid(32, 16, 0xFFFFFFFF)));
    images.LoadFile(folder, "logo.png 8888 8888", "");
    // A plain screen, one whose picture is missing (left out), a picture.
    test_env::writeFile(folder + "splash.ini", "[Plain]\nTime = 1\nFade = 0.5\nColor = FF203040\n"
                                               "[Missing]\nImage = nothing\n"
                                               "[Logo]\nImage = logo\nColor = FF000080\n");
    CSplash splash;
    splash.Load(folder + "splash.ini", &images);
    ASSERT_EQ(splash.GetScreens().size(), 2u);
    EXPECT_EQ(splash.GetScreens()[0].name, "Plain");
    EXPECT_EQ(splash.GetScreens()[1].name, "Logo");
    CResManager res(false);
    const auto render = [&] {
        ASSERT_TRUE(server->beginScene());
        splash.Render(res, float(kWidth), float(kHeight));
        server->endScene();
    };
    // Mid-fade and held: the colour alone, everywhere.
    for (float dt : {0.25f, 0.75f}) {
        splash.Update(dt, false, false);
        render();
        EXPECT_EQ(splash.GetCurrent(), 0u);
        EXPECT_TRUE(lit(0x203040).empty());
    }
    // Its 2 s in all, then the picture's screen.
    splash.Update(0.99f, false, false);
    EXPECT_EQ(splash.GetCurrent(), 0u);
    splash.Update(0.02f, false, false);
    EXPECT_EQ(splash.GetCurrent(), 1u);
}
