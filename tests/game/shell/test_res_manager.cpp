// The resource manager (costs, time-sliced runs over fake managers on the
// manual clock, text lookup, DrawRect), the particle manager and the
// loading screen on a hand-built window.
#include <memory>
#include <string>
#include <vector>

#include "engine/gfx/a_adv_anim_manager.h"
#include "engine/gfx/a_image_manager.h"
#include "engine/gui/gui_server.h"
#include "engine/gui/gui_widget.h"
#include "engine/sound/a_music_manager.h"
#include "engine/sound/a_sound_manager.h"
#include "engine/util/a_locale_server.h"
#include "game/shell/c_particle_manager.h"
#include "game/shell/c_res_loader.h"
#include "game/shell/c_res_manager.h"
#include "platform/system/clock.h"
#include "test_graph_server_fixture.h"
#include "test_image_fixture.h"

namespace {

// Each load advances the manual clock by the milliseconds after the name.
class FakeManager : public aBaseManager {
public:
    explicit FakeManager(platform::ManualClock& clock) : m_clock(clock) {}
    std::string GetNameFromLine(const std::string& line) override { return line.substr(0, line.find(' ')); }
    bool UnloadFile(const std::string&, const std::string&) override { return true; }
    void LoadFile(const std::string&, const std::string& line, const std::string&) override
    {
        loaded.push_back(GetNameFromLine(line));
        m_clock.advanceMs(std::stod(line.substr(line.find(' ') + 1)));
        if (m_callback)
            m_callback(loaded.back());
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

class ResTest : public imgtest::RecordingTest {
protected:
    const char* appName() const override { return "ResTest"; }
    void SetUp() override
    {
        imgtest::RecordingTest::SetUp();
        platform::setClock(&clock);
        res = std::make_unique<TestResManager>();
    }
    void TearDown() override
    {
        res.reset();
        platform::setClock(nullptr);
        imgtest::RecordingTest::TearDown();
    }
    std::string sized(const std::string& name, std::size_t size) { return putFile(name, std::string(size, 'x')); }
    // Queues a file of `size` bytes that takes `ms` to load.
    void queue(FakeManager& m, const std::string& name, std::size_t size, int ms)
    {
        sized(name, size);
        m.AddFileToTask(test_env::home() + "/", name + " " + std::to_string(ms), "", "");
    }
    static std::size_t count(const std::string& text, const std::string& in)
    {
        std::size_t n = 0;
        for (std::size_t at = in.find(text); at != std::string::npos; at = in.find(text, at + 1))
            ++n;
        return n;
    }

    platform::ManualClock clock;
    std::unique_ptr<TestResManager> res;
};

} // namespace

TEST_F(ResTest, CostsPerExtensionWithTheMinimum)
{
    aImageManager& images = *res->GetImageManager();
    EXPECT_FLOAT_EQ(images.LoadCost(sized("big.png", 2048)), 15.230181f * 2048);
    EXPECT_FLOAT_EQ(images.LoadCost(sized("small.png", 10)), 15.230181f * 1024);
    EXPECT_FLOAT_EQ(images.LoadCost(sized("a.jng", 4096)), 126.94324f * 4096);
    EXPECT_FLOAT_EQ(images.LoadCost(sized("a.tga", 77)), 77.0f);  // no weight: the size
    const std::string ogg = sized("a.ogg", 3000);
    EXPECT_FLOAT_EQ(res->GetSoundManager()->LoadCost(ogg), 90.618645f * 3000);
    EXPECT_FLOAT_EQ(res->GetMusicManager()->LoadCost(ogg), 8.430028f * 3000);
    EXPECT_FLOAT_EQ(res->GetSoundManager()->LoadCost(sized("a.wav", 5)), 2.7119851f * 1024);
    EXPECT_FLOAT_EQ(res->GetParticleManager()->LoadCost(sized("a.psys", 200)), 1024.0f);
    EXPECT_FLOAT_EQ(res->GetAdvAnimManager()->LoadCost(sized("anim.ini", 300)), 300.0f);
}

TEST_F(ResTest, StepsStayInBudgetAndChargeEachManagerItsOwnFiles)
{
    FakeManager a(clock), b(clock), c(clock);
    res->SetLoadOrder({&a, &b, &c});
    std::vector<std::string> reported;
    res->SetProgressFunction([&](const std::string& name) { reported.push_back(name); });
    queue(a, "a0", 100, 60);
    queue(a, "a1", 200, 10);
    queue(b, "b0", 5000, 30);
    queue(b, "b1", 4, 80);
    queue(c, "c0", 3, 1);
    res->BeginLoading();
    EXPECT_DOUBLE_EQ(res->GetTotalCost(), 5307);
    EXPECT_EQ(res->GetProgress(), 0.0f);

    // a1 would take the step to 180 ms: a stops, and b, which may need a's
    // files, waits for a although the step is under its budget.
    EXPECT_FALSE(res->LoadStep());
    EXPECT_EQ(reported, (std::vector<std::string>{"a0"}));
    EXPECT_DOUBLE_EQ(res->GetDoneCost(), 100);

    // a done, b starts in the same step and pays for its own files; past the
    // budget c waits for the next frame.
    EXPECT_FALSE(res->LoadStep());
    EXPECT_EQ(reported, (std::vector<std::string>{"a0", "a1", "b0", "b1"}));
    EXPECT_DOUBLE_EQ(res->GetDoneCost(), 5304);
    EXPECT_TRUE(res->LoadStep());
    EXPECT_EQ(reported.back(), "c0");
    EXPECT_EQ(res->GetDoneCost(), res->GetTotalCost());
    EXPECT_EQ(res->GetProgress(), 1.0f);
    EXPECT_TRUE(res->IsLoaded());

    // Cleared, a run has nothing to load and is complete at once; the first
    // file of a step loads however long it takes.
    queue(a, "a2", 10, 0);
    res->ClearTasks();
    EXPECT_TRUE(res->IsLoaded());
    EXPECT_TRUE(res->LoadStep());
    EXPECT_EQ(res->GetProgress(), 1.0f);
    queue(b, "slow", 10, 500);
    res->BeginLoading();
    EXPECT_TRUE(res->LoadStep());
    EXPECT_EQ(a.loaded.size() + b.loaded.size() + c.loaded.size(), 6u);
}

TEST_F(ResTest, LocalizedStringsByPrefixAndMissesLoggedOnce)
{
    res->GetLocaleServer()->loadFile(putFile("Main.txt", "welcome = \"Hello\"\n"));
    res->GetLocaleServer()->loadFile(putFile("room.txt", "about = \"A desk\"\n"), "Garden");
    EXPECT_EQ(res->GetLocalizedString("welcome"), L"Hello");
    EXPECT_EQ(res->GetLocalizedString("about", "Garden"), L"A desk");
    EXPECT_EQ(res->GetLocalizedString("Garden:about"), L"A desk");
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(res->GetLocalizedString("about"), L"");
        EXPECT_EQ(res->GetLocalizedString("nothing", "Garden"), L"");
    }
    const std::string log = newLog();
    EXPECT_EQ(count("String 'about' not found!", log), 1u);
    EXPECT_EQ(count("String 'Garden:nothing' not found!", log), 1u);
    EXPECT_EQ(count("aLocaleServer. String", log), 0u);
}

TEST_F(ResTest, ParticleManagerKeysReplacementMissesAndUnload)
{
    CParticleManager& particles = *res->GetParticleManager();
    const std::string dir = test_env::home() + "/";
    putFile("spark.psys", "max_particles 7\ntexture dot\n");
    particles.LoadFile(dir, "spark.psys ignored text", "Room");
    particles.LoadFile(dir, "spark.psys", "");
    ASSERT_NE(res->GetParticle("SPARK", "room"), nullptr);
    EXPECT_EQ(res->GetParticle("spark", "Room")->max_particles, 7u);
    EXPECT_NE(res->GetParticle("spark"), res->GetParticle("spark", "Room"));
    EXPECT_EQ(count("aImageManager. Cannot find image: dot : Room", newLog()), 1u);  // the list's group

    putFile("spark.psys", "max_particles 3\n");
    particles.LoadFile(dir, "spark.psys", "Room");
    EXPECT_EQ(res->GetParticle("spark", "Room")->max_particles, 3u);
    EXPECT_EQ(particles.size(), 2u);

    EXPECT_EQ(res->GetParticle("absent", "Room"), nullptr);
    EXPECT_EQ(count("CParticleManager. Cannot find particle system \"absent:Room\"", newLog()), 1u);
    EXPECT_TRUE(particles.UnloadFile("spark.psys x", "Room"));
    EXPECT_FALSE(particles.UnloadFile("spark.psys", "Room"));
    EXPECT_EQ(particles.size(), 1u);
}

TEST_F(ResTest, DrawRectScalesOneWhitePixelInTheSetColour)
{
    ASSERT_TRUE(graph->beginScene());
    res->SetRectColor(0x80102030);
    res->DrawRect(5.0f, 6.0f, 30.0f, 12.5f);
    res->DrawRect(1.0f, 2.0f, 3.0f, 4.0f);
    graph->endScene();
    const auto draws = spriteDraws();
    ASSERT_EQ(draws.size(), 2u);
    const imgtest::SpriteDraw& d = draws[0];
    EXPECT_EQ(std::vector<float>({d.sx, d.sy, d.tx, d.ty}), std::vector<float>({30.0f, 12.5f, 5.0f, 6.0f}));
    EXPECT_EQ(d.color, 0x80102030u);
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

class ResLoaderTest : public ResTest {
protected:
    void SetUp() override
    {
        ResTest::SetUp();
        gui = std::make_unique<GUI::Server>(res->GetImageManager(), res->GetSoundManager());
        res->GetLocaleServer()->loadFile(putFile("Main.txt", "loading_level = \"Case %i\"\nGarden = \"The garden\"\n"));
        res->SetLoadOrder({&fake});
    }
    void TearDown() override
    {
        loader.reset();
        gui.reset();
        ResTest::TearDown();
    }
    GUI::Widget* add(GUI::Widget* parent, const std::string& name, std::uint16_t width)
    {
        auto* w = new GUI::Widget(name);
        w->autoDelete = true;
        w->SetSize(width, 10);
        parent->AddChild(w);
        return w;
    }

    FakeManager fake{clock};
    std::unique_ptr<GUI::Server> gui;
    std::unique_ptr<CResLoader> loader;
};

} // namespace

TEST_F(ResLoaderTest, ScreenTextLevelBarAndCursor)
{
    GUI::Widget* window = add(gui->GetRoot(), "LoadingScreen", 1024);
    GUI::Widget* text = add(window, "text", 400);
    GUI::Widget* level = add(window, "level", 400);
    GUI::Widget* bar = add(window, "progress", 300);
    add(gui->GetRoot(), "Other", 1024);
    loader = std::make_unique<CResLoader>();

    loader->ShowScreen("Garden", 3);
    EXPECT_EQ(text->GetText(), L"The garden");
    EXPECT_EQ(level->GetText(), L"Case 3");
    EXPECT_TRUE(level->IsVisible(true));
    EXPECT_EQ(gui->GetRoot()->drawOrder.back(), window);
    EXPECT_FALSE(gui->cursorOn);
    loader->ShowScreen("Desk_CU", 0);
    EXPECT_EQ(text->GetText(), L"Desk_CU");
    EXPECT_FALSE(level->IsVisible(true));

    for (int i = 0; i < 5; ++i)
        queue(fake, "f" + std::to_string(i), 1000, 60);
    loader->BeginLoad();
    std::vector<int> widths{bar->GetAreaRect().width};
    while (loader->Update(0.02f) == CResLoader::kLoading && widths.size() < 20)
        widths.push_back(bar->GetAreaRect().width);
    widths.push_back(bar->GetAreaRect().width);
    EXPECT_EQ(widths, (std::vector<int>{0, 60, 120, 180, 240, 300}));  // a second file would pass 100 ms
    EXPECT_EQ(loader->Update(0.02f), CResLoader::kDone);
    EXPECT_EQ(count("CResLoader. 5 files loaded in 0.30 s", newLog()), 1u);

    // Nothing queued: done at once with a full bar.
    res->ClearTasks();
    loader->ShowScreen("Garden", 1);
    EXPECT_EQ(bar->GetAreaRect().width, 0);
    loader->BeginLoad();
    EXPECT_EQ(loader->Update(0.02f), CResLoader::kDone);
    EXPECT_EQ(bar->GetAreaRect().width, 300);
    loader->Hide();
    EXPECT_FALSE(window->IsVisible(true));
    EXPECT_TRUE(gui->cursorOn);
}

TEST_F(ResLoaderTest, MissingWindowOrChildLogsOnceAndLoadingRuns)
{
    loader = std::make_unique<CResLoader>();
    EXPECT_EQ(count("CResLoader. No window \"LoadingScreen\"", newLog()), 1u);
    queue(fake, "f", 10, 1);
    loader->ShowScreen("Garden", 2);
    loader->BeginLoad();
    EXPECT_EQ(loader->Update(0.02f), CResLoader::kDone);
    EXPECT_EQ(fake.loaded.size(), 1u);
    loader->Render();

    GUI::Widget* window = add(gui->GetRoot(), "LoadingScreen", 1024);
    GUI::Widget* text = add(window, "text", 400);
    loader.reset();
    loader = std::make_unique<CResLoader>();
    EXPECT_EQ(count("CResLoader. Window \"LoadingScreen\" lacks: level, progress", newLog()), 1u);
    loader->ShowScreen("Garden", 2);
    EXPECT_EQ(text->GetText(), L"The garden");
    delete window;  // the GUI tree may delete it; the loader then leaves it alone
    loader->ShowScreen("Garden", 2);
    loader->Render();
}
