// The music manager with its worker thread, in real time.
#include <chrono>
#include <thread>

#include "engine/sound/a_music_manager.h"
#include "engine/util/a_application.h"
#include "sound_fixture.h"

using namespace sound_test;
using std::chrono::milliseconds;

namespace {

class MusicWorker : public SoundTest {
protected:
    std::unique_ptr<aMusicManager> makeManager()
    {
        const std::string left = writeWav("left.wav", 0.5f, 0.0f, 2.0);
        const std::string right = writeWav("right.wav", 0.0f, 0.5f, 2.0);
        auto music = std::make_unique<aMusicManager>();
        EXPECT_TRUE(music->HasWorker());
        EXPECT_TRUE(music->AddTrack(left, "") && music->AddTrack(right, ""));
        return music;
    }
};

long msSince(std::chrono::steady_clock::time_point start)
{
    return long(std::chrono::duration_cast<milliseconds>(std::chrono::steady_clock::now() - start).count());
}

} // namespace

TEST_F(MusicWorker, FadesTakeFiftyStepsAndTheApplicationsPauseHoldsThem)
{
    aApplication app;
    app.m_paused = true;
    auto music = makeManager();
    ASSERT_TRUE(music->Play("left", "", true, true));
    std::this_thread::sleep_for(milliseconds(100));
    EXPECT_EQ(music->GetTrackFadeLevel(0), 0.0f);

    app.m_paused = false;
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(waitFor([&] { return music->GetTrackState(0) == aMusicManager::kPlaying; }, 30000));
    // At least 49 waits of 20 ms after the first step; load only adds to it.
    EXPECT_GE(msSince(start), 950);
    EXPECT_FLOAT_EQ(level().first, 0.5f);
}

TEST_F(MusicWorker, CallsFromTheMainThreadWhileFadesRun)
{
    auto music = makeManager();
    std::string group;
    for (int i = 0; i < 400; ++i) {
        switch (i % 8) {
        case 0: music->Play("left", "", true, true); break;
        case 1: music->ChangeMusic("right", 0.7f, true, true, ""); break;
        case 2: music->SetVolume(float(i % 10) / 10.0f); break;
        case 3: music->Pause(i % 16 == 3); break;
        case 4: music->Play("right", "", i % 3 == 0, true); break;
        case 5: music->Stop(i % 3 != 0); break;
        case 6: music->SetTrackVolume("left", 0.5f, ""); break;
        case 7: music->GetCurrentTrack(group); break;
        }
        mix(256);
        std::this_thread::sleep_for(std::chrono::microseconds(1500));
    }
    // Whatever state that left, a cross-fade still completes.
    music->Stop(false);
    music->ChangeMusic("left", 1.0f, true, true, "");
    EXPECT_TRUE(waitFor([&] { return music->GetTrackState(0) == aMusicManager::kPlaying; }, 30000));
    // Destruction stops and joins the worker; its duration is not asserted.
    music.reset();
}

TEST_F(MusicWorker, TheWorkerStepsOnlyWhileATrackFadesYetATrackThatEndedIsSeen)
{
    auto music = makeManager();
    const std::string shortTrack = writeWav("short.wav", 0.25f, 0.25f, 0.1);
    ASSERT_TRUE(music->AddTrack(shortTrack, ""));
    ASSERT_TRUE(music->Play("left", "", false, true));
    std::this_thread::sleep_for(milliseconds(150));
    EXPECT_EQ(music->GetWorkerSteps(), 0u);

    music->ChangeMusic("right", 1.0f, true, true, "");
    ASSERT_TRUE(waitFor([&] { return music->GetTrackState(1) == aMusicManager::kPlaying &&
                                     music->GetTrackState(0) == aMusicManager::kStopped; }, 30000));
    const std::uint64_t fadeSteps = music->GetWorkerSteps();
    EXPECT_GE(fadeSteps, 50u);
    std::this_thread::sleep_for(milliseconds(150));
    EXPECT_EQ(music->GetWorkerSteps(), fadeSteps);

    // The short track plays out with the worker asleep: its end is noted
    // when it is looked at, and playing it again starts it over.
    ASSERT_TRUE(music->Play("short", "", false, false));
    mix(kRate / 5);
    ASSERT_TRUE(music->Play("short", "", false, false));
    EXPECT_TRUE(music->GetTrackSound(2)->IsPlaying());
    mix(kRate / 5);
    EXPECT_EQ(music->GetTrackState(2), aMusicManager::kStopped);
    EXPECT_EQ(music->GetWorkerSteps(), fadeSteps);
}
