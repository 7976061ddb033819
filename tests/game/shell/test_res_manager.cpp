// The resource manager: load costs, time-sliced loading runs over fake
// managers on the manual clock, text lookup, the particle manager and
// DrawRect on the recording device.
#include <memory>
#include <string>
#include <vector>

#include "engine/gfx/a_adv_anim_manager.h"
#include "engine/gfx/a_image_manager.h"
#include "engine/sound/a_music_manager.h"
#include "engine/sound/a_sound_manager.h"
#include "engine/util/a_locale_server.h"
#include "engine/gui/gui_server.h"
#include "engine/gui/gui_widget.h"
#include "game/shell/c_particle_manager.h"
#include "game/shell/c_res_loader.h"
#include "game/shell/c_res_manager.h"
#include "platform/system/clock.h"
#include "test_graph_server_fixture.h"
#include "test_image_fixture.h"

namespace {

// Loads by advancing the manual clock; the line "name ms" takes ms.
class FakeManager : public aBaseManager {
public:
    explicit FakeManager(platform::ManualClock& clock) : m_clock(clock) {}

    std::string GetNameFromLine(const std::string& line) override { return line.substr(0, line.find(' ')); }
    bool UnloadFile(const std::string&, const std::string&) override { return true; }
    void LoadFile(const std::string&, const std::string& line, const std::string&) override
    {
        loaded.push_back(GetNameFromLine(line));
        const std::size_t blank = line.find(' ');
        m_clock.advanceMs(blank == std::string::npos ? 0.0 : std::stod(line.substr(blank + 1)));
        if (m_callback)
            m_callback(GetNameFromLine(line));
    }

    std::vector<std::string> loaded;

private:
    platform::ManualClock& m_clock;
};

class TestResManager : public CResManager {
public:
    TestResManager() : CResManager(false) {}
    using CResManager::SetLoadOrder;
};

class ResManagerTest : public imgtest::RecordingTest {
protected:
    const char* appName() const override { return "ResTest"; }
    void SetUp() override
    {
        imgtest::RecordingTest::SetUp();
        platform::setClock(&clock);
    }
    void TearDown() override
    {
        platform::setClock(nullptr);
        imgtest::RecordingTest::TearDown();
    }
    // A file of `size` bytes under the test's home; returns its path.
    std::string sized(const std::string& name, std::size_t size) { return putFile(name, std::string(size, 'x')); }
    std::size_t count(const std::string& text, const std::string& in)
    {
        std::size_t n = 0;
        for (std::size_t at = in.find(text); at != std::string::npos; at = in.find(text, at + 1))
            ++n;
        return n;
    }

    platform::ManualClock clock;
};

} // namespace

TEST_F(ResManagerTest, CostsPerExtensionWithTheMinimum)
{
    TestResManager res;
    const std::string big = sized("big.png", 2048), small = sized("small.png", 10);
    EXPECT_FLOAT_EQ(res.GetImageManager()->LoadCost(big), 15.230181f * 2048);
    EXPECT_FLOAT_EQ(res.GetImageManager()->LoadCost(small), 15.230181f * 1024);
    EXPECT_FLOAT_EQ(res.GetImageManager()->LoadCost(sized("a.jng", 4096)), 126.94324f * 4096);
    EXPECT_FLOAT_EQ(res.GetImageManager()->LoadCost(sized("a.jpg", 1)), 40.593037f * 1024);
    EXPECT_FLOAT_EQ(res.GetImageManager()->LoadCost(sized("a.bmp", 1)), 17.628851f * 1024);
    const std::string ogg = sized("a.ogg", 3000);
    EXPECT_FLOAT_EQ(res.GetSoundManager()->LoadCost(ogg), 90.618645f * 3000);
    EXPECT_FLOAT_EQ(res.GetMusicManager()->LoadCost(ogg), 8.430028f * 3000);
    EXPECT_FLOAT_EQ(res.GetSoundManager()->LoadCost(sized("a.wav", 5)), 2.7119851f * 1024);
    EXPECT_FLOAT_EQ(res.GetMusicManager()->LoadCost(sized("a.mp3", 5)), 1024.0f);
    EXPECT_FLOAT_EQ(res.GetParticleManager()->LoadCost(sized("a.psys", 200)), 1024.0f);
    // Neither an unknown extension nor animation files have a weight: their size.
    EXPECT_FLOAT_EQ(res.GetImageManager()->LoadCost(sized("a.tga", 77)), 77.0f);
    EXPECT_FLOAT_EQ(res.GetAdvAnimManager()->LoadCost(sized("anim.ini", 300)), 300.0f);
    EXPECT_FLOAT_EQ(res.GetImageManager()->LoadCost(test_env::home() + "/missing.png"), 15.230181f * 1024);
}

TEST_F(ResManagerTest, RunLoadsEachFileOnceWithProgressRisingToOne)
{
    TestResManager res;
    FakeManager a(clock), b(clock);
    res.SetLoadOrder({&a, &b});
    std::vector<std::string> reported;
    res.SetProgressFunction([&](const std::string& name) { reported.push_back(name); });

    const std::string dir = test_env::home() + "/";
    for (int i = 0; i < 6; ++i) {
        sized("a" + std::to_string(i), 1000 + 100 * std::size_t(i));
        a.AddFileToTask(dir, "a" + std::to_string(i) + " 30", "", "");
    }
    sized("b0", 5000);
    b.AddFileToTask(dir, "b0 30", "", "");
    EXPECT_FALSE(res.IsLoaded());
    res.BeginLoading();
    EXPECT_DOUBLE_EQ(res.GetTotalCost(), 6 * 1000 + 1500 + 5000);
    EXPECT_EQ(res.GetProgress(), 0.0f);

    std::vector<float> progress;
    int steps = 0;
    while (!res.LoadStep() && steps < 20) {
        ++steps;
        progress.push_back(res.GetProgress());
    }
    progress.push_back(res.GetProgress());
    ASSERT_GE(progress.size(), 2u);
    EXPECT_GT(progress.front(), 0.0f);
    EXPECT_LT(progress.front(), 1.0f);
    for (std::size_t i = 1; i < progress.size(); ++i)
        EXPECT_GE(progress[i], progress[i - 1]);
    EXPECT_EQ(progress.back(), 1.0f);
    EXPECT_EQ(res.GetDoneCost(), res.GetTotalCost());
    EXPECT_EQ(a.loaded, (std::vector<std::string>{"a0", "a1", "a2", "a3", "a4", "a5"}));
    EXPECT_EQ(b.loaded, (std::vector<std::string>{"b0"}));
    EXPECT_EQ(reported.size(), 7u);
    EXPECT_TRUE(res.IsLoaded());

    // Queued again and cleared: nothing loads, and an empty run is complete at once.
    a.AddFileToTask(dir, "a0", "", "");
    res.BeginLoading();
    res.ClearTasks();
    EXPECT_EQ(a.GetTaskCount(), 0u);
    EXPECT_TRUE(res.IsLoaded());
    EXPECT_TRUE(res.LoadStep());
    EXPECT_EQ(res.GetProgress(), 1.0f);
    EXPECT_EQ(a.loaded.size(), 6u);
}

TEST_F(ResManagerTest, StepStopsPastItsBudgetAndEachManagerPaysItsOwnFiles)
{
    TestResManager res;
    FakeManager a(clock), b(clock), c(clock);
    res.SetLoadOrder({&a, &b, &c});
    const std::string dir = test_env::home() + "/";
    sized("a0", 100);
    sized("a1", 200);
    sized("b0", 5000);
    sized("c0", 7);
    a.AddFileToTask(dir, "a0 60", "", "");
    a.AddFileToTask(dir, "a1 60", "", "");
    b.AddFileToTask(dir, "b0 60", "", "");
    c.AddFileToTask(dir, "c0 1", "", "");
    res.BeginLoading();

    // a0 takes 60 ms and a1 would take the step to 180: a stops. b still
    // starts under the budget and loads b0; past 100 ms, c waits.
    EXPECT_FALSE(res.LoadStep());
    EXPECT_EQ(a.loaded.size(), 1u);
    EXPECT_EQ(b.loaded.size(), 1u);
    EXPECT_TRUE(c.loaded.empty());
    // b is charged its own file, not a's next one.
    EXPECT_DOUBLE_EQ(res.GetDoneCost(), 100 + 5000);

    EXPECT_TRUE(res.LoadStep());
    EXPECT_EQ(a.loaded.size(), 2u);
    EXPECT_EQ(c.loaded.size(), 1u);
    EXPECT_DOUBLE_EQ(res.GetDoneCost(), 5307);

    // A budget never stops the first file of a step, however slow.
    res.ClearTasks();
    a.AddFileToTask(dir, "a0 500", "", "");
    res.BeginLoading();
    EXPECT_TRUE(res.LoadStep());
}

TEST_F(ResManagerTest, LocalizedStringsByPrefixAndMissesLoggedOnce)
{
    TestResManager res;
    const std::string table = putFile("Main.txt", "title = \"Case\"\nwelcome = \"Hello\"\n");
    res.GetLocaleServer()->loadFile(table);
    res.GetLocaleServer()->loadFile(putFile("room.txt", "about = \"A desk\"\n"), "Garden");

    EXPECT_EQ(res.GetLocalizedString("welcome"), L"Hello");
    EXPECT_EQ(res.GetLocalizedString("about", "Garden"), L"A desk");
    EXPECT_EQ(res.GetLocalizedString("Garden:about"), L"A desk");
    EXPECT_EQ(res.GetLocalizedString("about"), L"");
    EXPECT_EQ(res.GetLocalizedString("about"), L"");
    EXPECT_EQ(res.GetLocalizedString("nothing", "Garden"), L"");
    const std::string log = newLog();
    EXPECT_EQ(count("String 'about' not found!", log), 1u);
    EXPECT_EQ(count("String 'Garden:nothing' not found!", log), 1u);
    EXPECT_EQ(count("aLocaleServer. String", log), 0u);
}

TEST_F(ResManagerTest, ParticleManagerKeysReplacementMissesAndUnload)
{
    TestResManager res;
    CParticleManager& particles = *res.GetParticleManager();
    const std::string dir = test_env::home() + "/";
    putFile("spark.psys", "max_particles 7\ntexture dot\n");
    putFile("other.psys", "max_particles 9\n");
    test_env::writeFile(dir + "dot.bmp", std::string());  // no image: the lookup is what counts
    std::vector<std::string> reported;
    res.SetProgressFunction([&](const std::string& name) { reported.push_back(name); });

    particles.LoadFile(dir, "spark.psys ignored text", "Room");
    particles.LoadFile(dir, "spark.psys", "");
    EXPECT_EQ(reported, (std::vector<std::string>{"spark.psys", "spark.psys"}));
    ASSERT_NE(res.GetParticle("SPARK", "room"), nullptr);
    EXPECT_EQ(res.GetParticle("spark", "Room")->max_particles, 7u);
    EXPECT_NE(res.GetParticle("spark"), res.GetParticle("spark", "Room"));
    // The texture was looked up under the list's group.
    EXPECT_EQ(count("aImageManager. Cannot find image: dot : Room", newLog()), 1u);

    // A second load of a key replaces the first system.
    putFile("spark.psys", "max_particles 3\n");
    particles.LoadFile(dir, "spark.psys", "Room");
    EXPECT_EQ(res.GetParticle("spark", "Room")->max_particles, 3u);
    EXPECT_EQ(particles.size(), 2u);

    EXPECT_EQ(res.GetParticle("absent", "Room"), nullptr);
    EXPECT_EQ(count("CParticleManager. Cannot find particle system \"absent:Room\"", newLog()), 1u);
    EXPECT_TRUE(particles.UnloadFile("spark.psys x", "Room"));
    EXPECT_FALSE(particles.UnloadFile("spark.psys", "Room"));
    EXPECT_EQ(particles.size(), 1u);

    // A missing file still gives a system of defaults, with the list reader's line.
    particles.LoadFile(dir, "gone.psys", "");
    ASSERT_NE(res.GetParticle("gone"), nullptr);
    EXPECT_EQ(res.GetParticle("gone")->max_particles, 100u);
}

TEST_F(ResManagerTest, DrawRectScalesAWhitePixelInTheSetColour)
{
    TestResManager res;
    ASSERT_TRUE(graph->beginScene());
    res.SetRectColor(0x80102030);
    res.DrawRect(5.0f, 6.0f, 30.0f, 12.5f);
    res.DrawRect(1.0f, 2.0f, 3.0f, 4.0f);
    graph->endScene();
    const auto draws = spriteDraws();
    ASSERT_EQ(draws.size(), 2u);
    const imgtest::SpriteDraw& d = draws[0];
    EXPECT_EQ(d.right - d.left, 1);
    EXPECT_EQ(d.bottom - d.top, 1);
    EXPECT_EQ(d.color, 0x80102030u);
    EXPECT_FLOAT_EQ(d.sx, 30.0f);
    EXPECT_FLOAT_EQ(d.sy, 12.5f);
    EXPECT_FLOAT_EQ(d.tx, 5.0f);
    EXPECT_FLOAT_EQ(d.ty, 6.0f);
    // One white texture serves every rectangle.
    EXPECT_EQ(draws[1].texture, d.texture);
    EXPECT_EQ(texels(static_cast<platform::GfxTexture*>(const_cast<void*>(d.texture)), 1, 1),
              (std::vector<std::uint32_t>{0xFFFFFFFF}));
}

using ResPixels = gstest::GlServerTest;

TEST_F(ResPixels, DrawRectBlendsHalfBlackOverWhite)
{
    CResManager res(false);
    server->m_clearColor = 0xFFFFFFFF;
    ASSERT_TRUE(server->beginScene());
    res.SetRectColor(0x80000000);
    res.DrawRect(10.0f, 8.0f, 20.0f, 12.0f);
    server->endScene();
    EXPECT_EQ(lit(0xFFFFFF), box(10, 8, 20, 12));
    const std::uint32_t p = pixel(15, 10);
    EXPECT_NEAR(double(p & 0xFF), 127.5, 1.0);
    EXPECT_EQ(p, (p & 0xFF) * 0x010101u);
}

namespace {

// A loading screen built by hand: the window, its three children and a
// sibling window it must come in front of.
class ResLoaderTest : public ResManagerTest {
protected:
    void SetUp() override
    {
        ResManagerTest::SetUp();
        res = std::make_unique<TestResManager>();
        gui = std::make_unique<GUI::Server>(res->GetImageManager(), res->GetSoundManager());
        res->GetLocaleServer()->loadFile(
            putFile("Main.txt", "loading_level = \"Investigation %i\"\nGarden = \"The garden\"\n"));
        other = add(gui->GetRoot(), "Other", 1024);
    }
    void TearDown() override
    {
        loader.reset();
        gui.reset();
        res.reset();
        ResManagerTest::TearDown();
    }
    GUI::Widget* add(GUI::Widget* parent, const std::string& name, std::uint16_t width)
    {
        auto* w = new GUI::Widget(name);
        w->autoDelete = true;
        w->SetSize(width, 10);
        parent->AddChild(w);
        return w;
    }
    void buildScreen(bool withLevel = true)
    {
        window = add(gui->GetRoot(), "LoadingScreen", 1024);
        text = add(window, "text", 400);
        if (withLevel)
            level = add(window, "level", 400);
        bar = add(window, "progress", 300);
    }

    std::unique_ptr<TestResManager> res;
    std::unique_ptr<GUI::Server> gui;
    std::unique_ptr<CResLoader> loader;
    GUI::Widget* other = nullptr;
    GUI::Widget* window = nullptr;
    GUI::Widget* text = nullptr;
    GUI::Widget* level = nullptr;
    GUI::Widget* bar = nullptr;
};

} // namespace

TEST_F(ResLoaderTest, ScreenTextLevelOrderAndCursor)
{
    buildScreen();
    loader = std::make_unique<CResLoader>();
    EXPECT_EQ(loader->GetBarWidth(), 300);
    window->SetVisible(false);

    loader->ShowScreen("Garden", 3);
    EXPECT_EQ(text->GetText(), L"The garden");
    EXPECT_TRUE(level->IsVisible(true));
    EXPECT_EQ(level->GetText(), L"Investigation 3");
    EXPECT_TRUE(window->IsVisible(true));
    EXPECT_EQ(gui->GetRoot()->drawOrder.back(), window);
    EXPECT_FALSE(gui->cursorOn);
    EXPECT_EQ(bar->GetAreaRect().width, 0);

    other->BringToFront();
    loader->ShowScreen("Desk_CU", 0);
    EXPECT_EQ(text->GetText(), L"Desk_CU");
    EXPECT_FALSE(level->IsVisible(true));
    EXPECT_EQ(gui->GetRoot()->drawOrder.back(), window);
    loader->ShowScreen("", 1);
    EXPECT_EQ(text->GetText(), L"");
    EXPECT_EQ(newLog().find("not found"), std::string::npos);

    loader->Hide();
    EXPECT_FALSE(window->IsVisible(true));
    EXPECT_TRUE(gui->cursorOn);
}

TEST_F(ResLoaderTest, BarGrowsToItsWidthAndUpdateEndsWithFour)
{
    buildScreen();
    loader = std::make_unique<CResLoader>();
    FakeManager a(clock);
    res->SetLoadOrder({&a});
    const std::string dir = test_env::home() + "/";
    for (int i = 0; i < 5; ++i) {
        sized("f" + std::to_string(i), 1000);
        a.AddFileToTask(dir, "f" + std::to_string(i) + " 60", "", "");
    }
    loader->ShowScreen("Garden", 1);
    loader->BeginLoad();
    EXPECT_EQ(bar->GetAreaRect().width, 0);
    std::vector<int> widths;
    int result = CResLoader::kLoading;
    for (int frame = 0; frame < 20 && result == CResLoader::kLoading; ++frame) {
        result = loader->Update(0.02f);
        widths.push_back(bar->GetAreaRect().width);
    }
    EXPECT_EQ(result, CResLoader::kDone);
    EXPECT_EQ(widths, (std::vector<int>{60, 120, 180, 240, 300}));  // a second file would pass 100 ms
    EXPECT_EQ(loader->Update(0.02f), CResLoader::kDone);
    EXPECT_EQ(count("CResLoader. 5 files loaded in 0.30 s", newLog()), 1u);

    // Nothing queued: done at once with a full bar, no division by zero.
    res->ClearTasks();
    loader->ShowScreen("Garden", 1);
    loader->BeginLoad();
    EXPECT_EQ(loader->Update(0.02f), CResLoader::kDone);
    EXPECT_EQ(bar->GetAreaRect().width, 300);
}

TEST_F(ResLoaderTest, MissingWindowOrChildLogsOnceAndLoadingRuns)
{
    loader = std::make_unique<CResLoader>();
    EXPECT_EQ(count("CResLoader. No window \"LoadingScreen\"", newLog()), 1u);
    FakeManager a(clock);
    res->SetLoadOrder({&a});
    sized("f", 10);
    a.AddFileToTask(test_env::home() + "/", "f", "", "");
    loader->ShowScreen("Garden", 2);
    loader->BeginLoad();
    EXPECT_EQ(loader->Update(0.02f), CResLoader::kDone);
    EXPECT_EQ(a.loaded.size(), 1u);
    loader->Render();
    loader->Hide();

    loader.reset();
    buildScreen(false);
    loader = std::make_unique<CResLoader>();
    EXPECT_EQ(count("CResLoader. Window \"LoadingScreen\" lacks: level", newLog()), 1u);
    loader->ShowScreen("Garden", 2);
    EXPECT_EQ(text->GetText(), L"The garden");
    // The GUI tree may delete the window; the loader then draws nothing.
    delete window;
    loader->ShowScreen("Garden", 2);
    loader->Render();
}
