// The demo game's sound data loaded as the game loads it and played through
// SDL's disk audio driver.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <thread>

#include "engine/sound/a_ambient_sound_system.h"
#include "engine/sound/a_music_manager.h"
#include "engine/sound/a_sound_manager.h"
#include "engine/util/a_file_server.h"
#include "platform/system/clock.h"
#include "sound_fixture.h"

using namespace sound_test;

namespace {

class SoundEndToEnd : public SoundTest {
protected:
    void SetUp() override
    {
        SoundTest::SetUp();
        const char* driver = std::getenv("SDL_AUDIODRIVER");
        m_driver = driver ? driver : "";
        setenv("SDL_AUDIODRIVER", "disk", 1);
        setenv("SDL_DISKAUDIOFILE", m_raw.c_str(), 1);
        snd::test_hooks::setDefaultOutput(snd::kOutputAutoDetect);
    }
    void TearDown() override
    {
        SoundTest::TearDown();
        setenv("SDL_AUDIODRIVER", m_driver.c_str(), 1);
        unsetenv("SDL_DISKAUDIOFILE");
    }

    std::string m_driver;
    const std::string m_raw = test_env::home() + "/disk-audio.raw";
};

} // namespace

TEST_F(SoundEndToEnd, DemoDataLoadsAndPlaysThroughTheDiskDriver)
{
    {
        aFileServer files;
        files.setAssign("gamedata", test_env::sourceDir() + "/data/GameData/");
        files.setAssign("sounds", "gamedata:Sounds/");
        files.setAssign("ambients", "gamedata:Ambients/");
        files.setAssign("music", "gamedata:Music/");
        aSoundManager sounds;
        sounds.SetLoadCost("ogg", 90.618645f, 1024);
        aMusicManager music;
        music.SetLoadCost("ogg", 8.430028f, 1024);

        // Every line of the lists, and the menu ambience's two sounds.
        const auto lines = [](const std::string& path) {
            std::size_t n = 0;
            for (const std::string& line : test_env::readLines(path))
                n += !line.empty();
            return n;
        };
        const std::string data = test_env::sourceDir() + "/data/GameData/";
        const std::size_t effects = lines(data + "Sounds/_sounds.list") + 2, tracks = lines(data + "Music/playlist.txt");
        sounds.AddListToTask("sounds:_sounds.list", "", A_GROUP_SFX);
        music.AddListToTask("music:playlist.txt", "", "");
        aAmbientSoundSystem menu;
        menu.CreateResLoadingLists("sounds:main_menu_ambient.ini", "ambients:_sounds.list", &sounds);

        // 100 ms slices, as the loading screen works the queues off.
        sounds.RewindTasks();
        music.RewindTasks();
        std::list<float> costs;
        sounds.GetTaskCosts(costs);
        music.GetTaskCosts(costs);
        EXPECT_EQ(costs.size(), effects + tracks);
        for (int frame = 0; frame < 100 && !(sounds.IsTasksDone() && music.IsTasksDone()); ++frame) {
            aBaseManager::Progress progress{platform::getTickCount(), 0.0f, 100};
            sounds.ProcessTasks(costs, progress);
            music.ProcessTasks(costs, progress);
        }
        EXPECT_EQ(log().find("rror"), std::string::npos) << log();
        EXPECT_EQ(sounds.GetSoundCount(), effects);
        aSound* jingle = sounds.GetSound("location_completed", "");
        ASSERT_NE(jingle, nullptr);
        EXPECT_EQ(jingle->GetPriority(), 64);
        EXPECT_EQ(jingle->GetGroup(), "jingles");
        EXPECT_EQ(music.GetTrackCount(), tracks);

        aSound* beep = sounds.GetSound("test_volume", "");
        ASSERT_NE(beep, nullptr);
        beep->Play(false, false);

        music.ChangeMusic("main_theme", 0.5f, true, true, "");
        ASSERT_TRUE(waitFor([&] { return music.GetTrackState(0) == aMusicManager::kPlaying; }, 30000));
        music.ChangeMusic("investigation", 0.5f, true, true, "");
        EXPECT_TRUE(waitFor([&] { return music.GetTrackState(0) == aMusicManager::kStopped &&
                                         music.GetTrackState(1) == aMusicManager::kPlaying; },
                            30000));

        menu.CreateSounds();
        menu.Play();
        for (int frame = 0; frame < 10; ++frame) {
            menu.Update(0.05f);
            aSound::globalEngine().Update();
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        const aAmbientSoundSystem::Descriptor& wind = menu.GetDescriptors().front();
        ASSERT_TRUE(wind.name == "wind" && wind.sound);
        EXPECT_TRUE(wind.sound->IsPlaying());
        EXPECT_TRUE(wind.sound->IsLooped());
        EXPECT_TRUE(wind.sound->IsStream());
        EXPECT_EQ(wind.sound->GetMainGroupName(), A_GROUP_AMBIENTS);
    }
    aSound::shutdownAudio();

    std::ifstream in(m_raw, std::ios::binary);
    std::vector<float> samples;
    float v;
    while (in.read(reinterpret_cast<char*>(&v), sizeof v))
        samples.push_back(v);
    // The driver writes in real time, but a loaded machine may starve its
    // thread: ask only for a few buffers.
    ASSERT_GT(samples.size(), 8192u);
    EXPECT_TRUE(std::all_of(samples.begin(), samples.end(), [](float s) { return std::isfinite(s); }));
    EXPECT_GT(audio_fixtures::peak(samples, 1, 0), 0.05f);
}
