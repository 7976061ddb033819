#include <filesystem>

#include "engine/gui/gui_static_image.h"
#include "tips_fixture.h"

using namespace dialogtest;
using B = ScenePlayer::Button;

namespace {

const char* const kDemo = "language:Comics/";

class ComicsTest : public TipTest {
protected:
    // Copies of the demo's first page as pages of a scene in a folder of the test.
    std::string pages(const std::string& folder, const std::string& scene, std::initializer_list<int> numbers)
    {
        const std::string dir = test_env::home() + "/" + folder + "/";
        std::filesystem::create_directories(dir);
        const std::string jpeg =
            test_env::readFile(test_env::sourceDir() + "/data/GameData/Language/English/Comics/intro_p1.jpg");
        for (int n : numbers)
            test_env::writeFile(dir + scene + "_p" + std::to_string(n) + ".jpg", jpeg);
        return dir;
    }
    std::string shown()
    {
        std::string s;
        for (int b = 0; b < ScenePlayer::ButtonCount; ++b)
            s += comics->GetButton(B(b))->IsVisible(true) ? "1" : "0";
        return s;  // skip, prev, next, finish
    }
    float alpha() { return comics->GetPicture()->alpha; }
    void clickButton(B b) { clickIn(comics->GetButton(b)); }
    void stepBy(B b, int tag)
    {
        GUI::Widget* w = comics->GetButton(b);
        w->tag = tag;
        comics->OnStepClick(GUI::WidgetEventArgs(w));
    }
};

} // namespace

TEST_F(ComicsTest, PagesCountedUntilTheFirstGapAndButtonsByPage)
{
    EXPECT_EQ(takeLog().find("ScenePlayer"), std::string::npos) << "the demo script holds every widget";
    EXPECT_FALSE(comics->GetWindow()->IsVisible(true));
    const std::string three = pages("three", "s", {1, 2, 3});
    comics->PlayScene(three, "s", true, "", "");
    EXPECT_TRUE(comics->IsOpen());
    EXPECT_EQ(comics->GetPageCount(), 3);
    EXPECT_EQ(comics->GetPagePath(0), three + "s_p1.jpg");
    EXPECT_EQ(shown(), "1010");
    comics->Close();
    EXPECT_FALSE(comics->GetWindow()->IsVisible(true));

    comics->PlayScene(pages("gap", "g", {1, 3}), "g", true, "", "");
    EXPECT_EQ(comics->GetPageCount(), 1);
    EXPECT_EQ(shown(), "0001") << "a one-page scene offers only finish";
    comics->Close();

    comics->PlayScene(three, "none", true, "", "");
    EXPECT_FALSE(comics->IsOpen());
    EXPECT_NE(takeLog().find("ScenePlayer::PlayScene - scene 'none' has 0 pages!"), std::string::npos);

    // Paths of any length.
    const std::string deep = std::string(120, 'd') + "/" + std::string(120, 'e');
    const std::string folder = pages(deep, std::string(60, 'n'), {1, 2});
    comics->PlayScene(folder, std::string(60, 'n'), false, "", "");
    EXPECT_GT(comics->GetPagePath(1).size(), 259u);
    EXPECT_EQ(comics->GetPageCount(), 2);
    EXPECT_EQ(shown(), "0010") << "not skippable";
    tick();
    EXPECT_NE(static_cast<GUI::StaticImage*>(comics->GetPicture())->normalImage, nullptr);
}

TEST_F(ComicsTest, StepsOnlyWhenShownClampedAndCrossFaded)
{
    comics->PlayScene(kDemo, "intro", true, "", "");
    EXPECT_EQ(comics->GetShownPage(), -1);
    tick();  // the first page loads
    EXPECT_EQ(comics->GetShownPage(), 0);
    auto* picture = static_cast<GUI::StaticImage*>(comics->GetPicture());
    ASSERT_NE(picture->normalImage, nullptr);
    EXPECT_EQ(picture->normalImage->getWidth(), 1024);
    tick(16);
    EXPECT_NEAR(alpha(), 0.5f, 0.001f);
    clickButton(B::Next);
    EXPECT_EQ(comics->GetTargetPage(), 0) << "a click while the page fades in is ignored";
    tick(30);
    EXPECT_EQ(alpha(), 1.0f);
    clickButton(B::Next);
    EXPECT_EQ(comics->GetTargetPage(), 1);
    EXPECT_EQ(shown(), "1010") << "the buttons follow the page once it loads";
    tick();
    EXPECT_LT(alpha(), 1.0f);
    EXPECT_EQ(comics->GetIdleTimer(), -1.0f);
    stepBy(B::Prev, -1);
    EXPECT_EQ(comics->GetTargetPage(), 1) << "ignored during the fade-out";
    tick(20);
    EXPECT_EQ(comics->GetShownPage(), 1);
    EXPECT_EQ(shown(), "0101");
    tick(40);

    // A step past the last page stays on it; one below the first closes.
    stepBy(B::Next, 5);
    EXPECT_EQ(comics->GetTargetPage(), 1);
    stepBy(B::Prev, -1);
    EXPECT_EQ(comics->GetTargetPage(), 0);
    tick(60);
    stepBy(B::Next, 7);
    EXPECT_EQ(comics->GetTargetPage(), 1);
    tick(60);

    // Without fade times the update after the click changes the page, and the
    // next one shows it whole.
    picture->fadeOutTime = 0.0f;
    picture->fadeInTime = 0.0f;
    clickButton(B::Prev);
    EXPECT_EQ(comics->GetShownPage(), 0);
    EXPECT_EQ(alpha(), 0.0f);
    tick();
    EXPECT_EQ(alpha(), 1.0f);
    stepBy(B::Prev, -3);
    tick();
    EXPECT_FALSE(comics->IsOpen());
    EXPECT_FALSE(comics->GetWindow()->IsVisible(true));
}

TEST_F(ComicsTest, ButtonsFadeWhenIdleAndComeBack)
{
    comics->PlayScene(kDemo, "intro", true, "", "");
    tick(40);
    GUI::Widget* next = comics->GetButton(B::Next);
    EXPECT_EQ(next->alpha, 1.0f);
    tick(64 * 2 - 20);
    EXPECT_EQ(next->alpha, 1.0f) << "under 2 s without input";
    tick(64);
    EXPECT_EQ(next->alpha, 0.0f);
    EXPECT_EQ(comics->GetButton(B::Skip)->alpha, 0.0f);
    nudge(3, 0);
    EXPECT_EQ(comics->GetIdleTimer(), 0.0f);
    tick(16);
    EXPECT_NEAR(next->alpha, 0.53f, 0.02f);
    tick(16);
    EXPECT_EQ(next->alpha, 1.0f);
    tick(64 * 3);
    EXPECT_EQ(next->alpha, 0.0f);
    stepBy(B::Next, 1);
    tick();
    EXPECT_EQ(next->alpha, 1.0f) << "at once during a page change";
    EXPECT_EQ(comics->GetButton(B::Finish)->alpha, 1.0f);
}

TEST_F(ComicsTest, MusicSavedPausedPlayedAndRestored)
{
    const auto state = [&](const char* track) {
        return music().GetTrackState(std::size_t(music().FindTrack(track, "")));
    };
    ASSERT_TRUE(music().Play("investigation", "", false, true));
    comics->PlayScene(kDemo, "intro", true, "main_theme", "");
    EXPECT_EQ(currentTrack(), "main_theme");
    EXPECT_EQ(state("investigation"), aMusicManager::kFadingToPause);
    EXPECT_EQ(state("main_theme"), aMusicManager::kFadingIn);
    for (int i = 0; i < 100; ++i)
        music().Update(aMusicManager::kStepSeconds);
    EXPECT_EQ(state("investigation"), aMusicManager::kPaused);
    // A second scene while the first plays keeps the case's track to go back to.
    comics->PlayScene(kDemo, "intro", true, "main_theme", "");
    tick(60);
    clickButton(B::Skip);
    EXPECT_FALSE(comics->IsOpen());
    EXPECT_EQ(currentTrack(), "investigation");
    EXPECT_EQ(state("main_theme"), aMusicManager::kStopped);
    EXPECT_FLOAT_EQ(music().GetTrackVolume(std::size_t(music().FindTrack("investigation", ""))),
                    CurrentProfile::kDefaultMusicVolume);

    // No scene music: the case's track plays on, and nothing is restored.
    comics->PlayScene(kDemo, "intro", true, "", "");
    EXPECT_EQ(currentTrack(), "investigation");
    comics->Close();
    EXPECT_EQ(currentTrack(), "investigation");

    // Nothing saved: closing only stops the scene's music.
    music().Stop(false);
    comics->PlayScene(kDemo, "intro", true, "main_theme", "");
    EXPECT_EQ(currentTrack(), "main_theme");
    comics->Close();
    EXPECT_EQ(currentTrack(), "");
    EXPECT_EQ(state("main_theme"), aMusicManager::kStopped);

    // No first page: the music stays untouched.
    ASSERT_TRUE(music().Play("investigation", "", false, true));
    comics->PlayScene(kDemo, "missing", true, "main_theme", "");
    EXPECT_EQ(currentTrack(), "investigation");
    EXPECT_EQ(state("investigation"), aMusicManager::kPlaying);
}

TEST_F(ComicsTest, MissingWindowAndHandlersLeftBehind)
{
    GUI::Widget* next = comics->GetButton(B::Next);
    GUI::Event* click = next->GetEvent(GUI::EventClick);
    const std::size_t before = click->GetSubscriberCount();
    comics->PlayScene(kDemo, "intro", true, "", "");
    tick(60);
    comics.reset();
    EXPECT_EQ(click->GetSubscriberCount(), before - 1);
    next->LaunchEvent(GUI::EventClick, GUI::WidgetEventArgs(next));

    loadGuiText("window Other\n{\n}\n");
    comics = std::make_unique<ScenePlayer>();
    comics->Init();
    EXPECT_NE(takeLog().find("ScenePlayer::Init - window 'Comics' not found"), std::string::npos);
    comics->PlayScene(kDemo, "intro", true, "main_theme", "");
    EXPECT_FALSE(comics->IsOpen());
    tick();
}

TEST_F(TipGlTest, ComicsPageMidFade)
{
    drawFrames = false;
    comics->PlayScene(kDemo, "intro", true, "", "");
    tick();
    tick(16);  // FadeInTime 0.5: half way
    ASSERT_NEAR(comics->GetPicture()->alpha, 0.5f, 0.001f);
    draw();
    const std::uint32_t half = pixelAt(700, 100);
    tick(32);
    draw();
    const std::uint32_t full = pixelAt(700, 100);
    EXPECT_GT(int(full & 0xFF), 0x40) << std::hex << full << ": the night sky";
    for (int shift : {0, 8, 16})
        EXPECT_NEAR(int(half >> shift & 0xFF), int(full >> shift & 0xFF) / 2, 3)
            << std::hex << half << " " << full;
}
