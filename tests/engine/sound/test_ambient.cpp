// Ambient sound sets with a seeded generator and stepped time.
#include <algorithm>
#include <map>

#include "engine/sound/a_ambient_sound_system.h"
#include "engine/sound/a_sound_manager.h"
#include "engine/util/a_random.h"
#include "sound_fixture.h"

using namespace sound_test;
using Descriptor = aAmbientSoundSystem::Descriptor;

namespace {

class Ambient : public SoundTest {
protected:
    void SetUp() override
    {
        SoundTest::SetUp();
        a_srand(12345);
        writeWav("amb/hum.wav", 0.5f, 0.5f, 1.0);
    }

    void TearDown() override
    {
        aAmbientSoundSystem::ReleaseUnusedResources(&m_manager);
        SoundTest::TearDown();
    }

    void files(const std::string& ini, const std::string& list)
    {
        test_env::writeFile(m_ini, ini);
        test_env::writeFile(m_list, list);
    }
    void lists(aAmbientSoundSystem& system) { system.CreateResLoadingLists(m_ini, m_list, &m_manager); }

    void start(aAmbientSoundSystem& system)
    {
        lists(system);
        std::list<float> costs;
        aBaseManager::Progress progress;
        m_manager.RewindTasks();
        while (!m_manager.IsTasksDone())
            m_manager.ProcessTasks(costs, progress);
        m_manager.ClearTasks();
        system.CreateSounds();
        system.Play();
    }

    // Steps the system by dt and returns the mixed left level.
    float step(aAmbientSoundSystem& system, float dt)
    {
        system.Update(dt);
        return level().first;
    }

    const std::string m_ini = test_env::home() + "/amb/ambient.ini";
    const std::string m_list = test_env::home() + "/amb/_sounds.list";
    aSoundManager m_manager;
};

} // namespace

TEST_F(Ambient, RangesAndDefaultsFromTheIni)
{
    files("[spread]\nvolume = 0.5/1.0\n[pair]\nvolume = 0.3 0.8\nloop = 1\n[bad]\nvolume = abc, 0.4/x,0.6\n",
          "spread.wav \npair.wav \nbad.wav \n");
    aAmbientSoundSystem system;
    lists(system);
    ASSERT_EQ(system.GetDescriptors().size(), 3u);
    const Descriptor& spread = system.GetDescriptors().front();
    const Descriptor& pair = *std::next(system.GetDescriptors().begin());
    const Descriptor& bad = system.GetDescriptors().back();
    EXPECT_EQ(m_manager.GetTaskCount(), 3u);

    EXPECT_EQ(spread.file, "spread.wav");
    aRandom random(12345);
    EXPECT_EQ(spread.pan.Draw(random), 0.0f);
    EXPECT_EQ(spread.delay.Draw(random), 0.0f);
    float low = 1.0f, high = 0.5f;
    for (int i = 0; i < 2000; ++i) {
        const float v = spread.volume.Draw(random);
        ASSERT_TRUE(v >= 0.5f && v <= 1.0f) << v;
        low = std::min(low, v);
        high = std::max(high, v);
    }
    EXPECT_LT(low, 0.52f);
    EXPECT_GT(high, 0.98f);

    EXPECT_TRUE(pair.loop);
    EXPECT_EQ(pair.playtime.Draw(random), -1.0f);
    EXPECT_FLOAT_EQ(pair.fade, 0.1f);
    std::map<float, int> seen;
    for (int i = 0; i < 1000; ++i)
        ++seen[pair.volume.Draw(random)];
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_GT(seen[0.3f], 400);
    EXPECT_GT(seen[0.8f], 400);

    // A token without a number is skipped, with a line saying where.
    EXPECT_EQ(bad.volume.ranges, (std::vector<std::pair<float, float>>{{0.4f, 0.4f}, {0.6f, 0.6f}}));
    EXPECT_TRUE(logHas("aAmbientSoundSystem. Bad range \"abc\" in " + m_ini + " [bad] volume"));
}

TEST_F(Ambient, ValuesThatAreNoNumbersAreLoggedAndKeepWhatTheyRead)
{
    files("[odd]\nloop = 1x\nfade = 1e39\nvolume = 0.5/0.7junk 2e39 0.25\npan = 0.1/\n"
          "[off]\nloop = no\nfade = abc\n[fine]\nloop = 1\nfade = 0.5\nvolume = 0.5/0.75\n",
          "odd.wav \noff.wav \nfine.wav \n");
    aAmbientSoundSystem system;
    lists(system);
    ASSERT_EQ(system.GetDescriptors().size(), 3u);
    const Descriptor& odd = system.GetDescriptors().front();
    const Descriptor& off = *std::next(system.GetDescriptors().begin());
    // atoi reads 1 from "1x"; a fade past the float range is none.
    EXPECT_TRUE(odd.loop);
    EXPECT_EQ(odd.fade, 0.0f);
    EXPECT_EQ(odd.volume.ranges, (std::vector<std::pair<float, float>>{{0.5f, 0.7f}, {0.25f, 0.25f}}));
    EXPECT_EQ(odd.pan.ranges, (std::vector<std::pair<float, float>>{{0.1f, 0.1f}}));
    EXPECT_FALSE(off.loop);
    const std::string where = " in " + m_ini + " [";
    for (const std::string& line :
         {"Value \"1x\" is not a number" + where + "odd] loop", "Fade \"1e39\" out of range" + where + "odd], 0 used",
          "Bad range \"0.5/0.7junk\"" + where + "odd] volume", "Bad range \"2e39\"" + where + "odd] volume",
          "Bad range \"0.1/\"" + where + "odd] pan", "Value \"no\" is not a number" + where + "off] loop"})
        EXPECT_TRUE(logHas("aAmbientSoundSystem. " + line)) << line << "\n" << log();
    // The fade of a sound that does not loop is never read.
    EXPECT_FALSE(logHas("\"abc\""));
    EXPECT_EQ(logCount("aAmbientSoundSystem. "), 6u) << log();
}

TEST_F(Ambient, SectionsWithoutASoundAreDroppedOrSilent)
{
    files("[rain]\n[a.b]\n[hum]\n[gone]\n", "storm.ogg \nhumming.wav \nhum.wav { Volume=0.5 }\ngone.wav \n");
    aAmbientSoundSystem system;
    start(system);
    EXPECT_TRUE(logHas("aAmbientSoundSystem::CreateResLoadingLists(). Sound 'rain' not exist!"));
    EXPECT_TRUE(logHas("aAmbientSoundSystem::CreateResLoadingLists(). Sound 'a.b' not exist!"));
    ASSERT_EQ(system.GetDescriptors().size(), 2u);
    EXPECT_EQ(system.GetDescriptors().front().file, "hum.wav");
    EXPECT_TRUE(logHas("aSoundManager. Cannot find sound \"gone:~Ambients~\""));
    EXPECT_EQ(system.GetDescriptors().back().sound, nullptr);
    EXPECT_FLOAT_EQ(step(system, 0.1f), 0.5f);
}

TEST_F(Ambient, LoopedSoundFadesInPlaysFadesOutAndPauses)
{
    files("[hum]\nloop = 1\nvolume = 1.0\nplaytime = 10\nfade = 2\npause = 5\n", "hum.wav \n");
    aAmbientSoundSystem system;
    start(system);
    const Descriptor& hum = system.GetDescriptors().front();
    EXPECT_EQ(step(system, 0.25f), 0.0f);
    ASSERT_TRUE(hum.playing);
    EXPECT_EQ(hum.sound->GetMainGroupName(), A_GROUP_AMBIENTS);

    std::map<int, float> levels;
    for (int k = 1; k <= 56; ++k)
        levels[k] = step(system, 0.25f);
    EXPECT_FLOAT_EQ(levels[4], 0.25f);   // 1 s
    EXPECT_FLOAT_EQ(levels[8], 0.5f);    // 2 s: full
    EXPECT_FLOAT_EQ(levels[48], 0.5f);   // 12 s: the fade-out begins
    EXPECT_FLOAT_EQ(levels[52], 0.25f);  // 13 s
    EXPECT_EQ(levels[56], 0.0f);         // 14 s: stopped
    EXPECT_FALSE(hum.playing);
    for (int k = 1; k < 20; ++k)
        system.Update(0.25f);
    EXPECT_FALSE(hum.playing);
    system.Update(0.25f);
    EXPECT_TRUE(hum.playing);
}

TEST_F(Ambient, FadeZeroAndEndlessPlayTimes)
{
    files("[hum]\nloop = 1\nvolume = 0.5\nplaytime = 3\nfade = 0\npause = 100\n", "hum.wav \n");
    aAmbientSoundSystem timed;
    start(timed);
    for (int k = 0; k < 12; ++k)
        EXPECT_FLOAT_EQ(step(timed, 0.25f), 0.25f) << k;
    EXPECT_EQ(step(timed, 0.25f), 0.0f);
    timed.ReleaseSounds();

    files("[hum]\nloop = 1\n", "hum.wav \n");
    aAmbientSoundSystem endless;
    start(endless);
    for (int k = 0; k < 200; ++k)
        step(endless, 0.5f);
    EXPECT_TRUE(endless.GetDescriptors().front().playing);
    EXPECT_FLOAT_EQ(level().first, 0.5f);
}

TEST_F(Ambient, OneShotsAndStates)
{
    writeWav("amb/tick.wav", 0.5f, 0.5f, 0.1);
    files("[tick]\ndelay = 0.5\npause = 1.0\n", "tick.wav \n");
    aAmbientSoundSystem system;
    system.CreateSounds();
    system.Play();
    EXPECT_EQ(system.GetState(), aAmbientSoundSystem::kEmpty);
    start(system);
    const Descriptor& tick = system.GetDescriptors().front();
    system.Update(0.25f);
    // A second Play does not restart the delay.
    system.Play();
    EXPECT_FLOAT_EQ(step(system, 0.25f), 0.5f);
    EXPECT_FALSE(tick.sound->IsLooped());
    mix(kRate / 5);
    system.Update(0.25f);
    EXPECT_FALSE(tick.playing);
    EXPECT_EQ(tick.wait, 1.0f);

    system.Stop();
    EXPECT_EQ(system.GetState(), aAmbientSoundSystem::kSoundsCreated);
    system.Update(5.0f);
    EXPECT_FALSE(tick.playing);
    system.ReleaseSounds();
    EXPECT_EQ(system.GetState(), aAmbientSoundSystem::kEmpty);
    EXPECT_TRUE(system.GetDescriptors().empty());
}

TEST_F(Ambient, DrawsLeaveTheGamesGeneratorAlone)
{
    // Pauses drawn whenever a sound ends, which the sound device decides.
    writeWav("amb/tick.wav", 0.5f, 0.5f, 0.05);
    files("[tick]\ndelay = 0.1/0.2\npause = 0.05/0.3\nvolume = 0.2/1.0\npan = -1/1\n", "tick.wav \n");
    auto run = [&](int endings) {
        a_srand(777);
        aAmbientSoundSystem system;
        start(system);
        const Descriptor& tick = system.GetDescriptors().front();
        std::vector<float> waits;
        while (int(waits.size()) < endings) {
            const bool was = tick.playing;
            system.Update(0.01f);
            mix(kRate / 100);
            if (was && !tick.playing)
                waits.push_back(tick.wait);
        }
        system.ReleaseSounds();
        return std::make_pair(a_rand(), waits);
    };
    const auto few = run(2);
    const auto many = run(12);
    // Play seeds the ambience with one draw; the endings draw nothing more.
    a_srand(777);
    a_rand();
    EXPECT_EQ(few.first, a_rand());
    EXPECT_EQ(many.first, few.first);
    // The same seed gives the same ambience, and the pauses do vary.
    EXPECT_TRUE(std::equal(few.second.begin(), few.second.end(), many.second.begin()));
    EXPECT_NE(*std::min_element(many.second.begin(), many.second.end()),
              *std::max_element(many.second.begin(), many.second.end()));
}

TEST_F(Ambient, SharedFilesStayUntilBothReleasedAndUnused)
{
    writeWav("amb/shared.wav", 0.5f, 0.5f, 1.0);
    files("[shared]\nloop = 1\n", "shared.wav \n");
    auto first = std::make_unique<aAmbientSoundSystem>();
    auto second = std::make_unique<aAmbientSoundSystem>();
    lists(*first);
    lists(*second);
    EXPECT_EQ(m_manager.GetTaskCount(), 1u);
    start(*second);
    first->CreateSounds();
    EXPECT_EQ(aAmbientSoundSystem::GetUseCount("shared.wav"), 2u);

    first.reset();
    aAmbientSoundSystem::ReleaseUnusedResources(&m_manager);
    EXPECT_TRUE(m_manager.HasSound("shared", A_GROUP_AMBIENTS));
    second->ReleaseSounds();
    EXPECT_TRUE(m_manager.HasSound("shared", A_GROUP_AMBIENTS));
    aAmbientSoundSystem::ReleaseUnusedResources(&m_manager);
    EXPECT_FALSE(m_manager.HasSound("shared", A_GROUP_AMBIENTS));
}

TEST_F(Ambient, VolumeOfTheAmbientGroup)
{
    aSound other;
    aAmbientSoundSystem::SetVolume(0.5f);
    EXPECT_EQ(aSound::FindChannelsGroup(A_GROUP_AMBIENTS), nullptr);
    ASSERT_TRUE(other.Load(writeWav("other.wav", 0.25f, 0.25f, 1.0), A_GROUP_SFX, false));
    other.Play(true, false);

    files("[hum]\nloop = 1\nfade = 0\n", "hum.wav \n");
    aAmbientSoundSystem system;
    start(system);
    EXPECT_FLOAT_EQ(step(system, 0.1f), 0.75f);
    aAmbientSoundSystem::SetVolume(0.5f);
    EXPECT_FLOAT_EQ(level().first, 0.5f);
}
