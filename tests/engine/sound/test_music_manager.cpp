// The music manager stepped by hand (no worker thread).
#include "engine/sound/a_music_manager.h"
#include "engine/util/a_application.h"
#include "platform/system/clock.h"
#include "sound_fixture.h"

using namespace sound_test;

namespace {

class Music : public SoundTest {
protected:
    void SetUp() override
    {
        SoundTest::SetUp();
        writeWav("music/left.wav", 0.5f, 0.0f, 2.0);
        writeWav("music/right.wav", 0.0f, 0.5f, 2.0);
        writeWav("music/short.wav", 0.25f, 0.25f, 0.1);
        test_env::writeFile(m_dir + "playlist.txt", "left.wav\nright.wav\nbad.wav\n");
        m_music = std::make_unique<aMusicManager>(false);
        m_music->LoadList(m_dir + "playlist.txt", "");
    }

    void TearDown() override
    {
        m_music.reset();
        SoundTest::TearDown();
    }

    std::size_t at(const std::string& name) { return std::size_t(m_music->FindTrack(name, "")); }
    int state(const std::string& name) { return m_music->GetTrackState(at(name)); }
    float fade(const std::string& name) { return m_music->GetTrackFadeLevel(at(name)); }
    aSound* sound(const std::string& name) { return m_music->GetTrackSound(at(name)); }
    void steps(int n)
    {
        for (int i = 0; i < n; ++i)
            m_music->Update(aMusicManager::kStepSeconds);
    }
    std::string current()
    {
        std::string group;
        return m_music->GetCurrentTrack(group);
    }

    const std::string m_dir = test_env::home() + "/music/";
    std::unique_ptr<aMusicManager> m_music;
};

} // namespace

TEST_F(Music, PlaylistTracks)
{
    EXPECT_EQ(m_music->GetTrackCount(), 2u);
    EXPECT_TRUE(logHas("aMusicManager. Music with name \"" + m_dir + "bad.wav\" is invalid!"));
    EXPECT_EQ(m_music->FindTrack("right", ""), 1);
    EXPECT_EQ(m_music->FindTrack("Right", ""), -1);
    EXPECT_TRUE(sound("left")->IsStream());
    EXPECT_EQ(sound("left")->GetPriority(), 255);
    EXPECT_EQ(sound("left")->GetMainGroupName(), A_GROUP_MUSIC);
    EXPECT_EQ(m_music->GetNameFromLine("a\\b/c.ogg"), "c.ogg");
    EXPECT_FALSE(m_music->Play("nothing", "", false, true));
    EXPECT_FALSE(m_music->Stop(true));
    EXPECT_FALSE(m_music->Pause(true));
}

TEST_F(Music, PlayAgainAndFadesThatTurnAround)
{
    ASSERT_TRUE(m_music->Play("left", "", true, true));
    steps(25);
    // Playing the current track while it fades in changes nothing.
    EXPECT_TRUE(m_music->Play("left", "", false, true));
    EXPECT_EQ(state("left"), aMusicManager::kFadingIn);
    EXPECT_NEAR(fade("left"), 0.5f, 1e-5);

    // A fade-out starts from the level reached, and a fade-in from there.
    ASSERT_TRUE(m_music->Stop(true));
    EXPECT_EQ(current(), "");
    steps(5);
    EXPECT_NEAR(level().first, 0.5f * 0.4f, 1e-5);
    ASSERT_TRUE(m_music->Play("left", "", true, true));
    steps(1);
    EXPECT_NEAR(level().first, 0.5f * 0.42f, 1e-5);

    ASSERT_TRUE(m_music->Play("right", "", false, true));
    EXPECT_TRUE(m_music->Play("right", "", true, true));
    EXPECT_EQ(state("right"), aMusicManager::kPlaying);
    EXPECT_FLOAT_EQ(level().second, 0.5f);
    ASSERT_TRUE(m_music->Stop(true));
    EXPECT_EQ(fade("right"), 1.0f);
    steps(52);
    EXPECT_EQ(state("right"), aMusicManager::kStopped);
    EXPECT_FALSE(sound("right")->IsPlaying());
}

TEST_F(Music, PausesStopsAndTheEndOfATrack)
{
    ASSERT_TRUE(m_music->Play("left", "", false, true));
    ASSERT_TRUE(m_music->Pause(true));
    steps(25);
    EXPECT_NEAR(level().first, 0.25f, 1e-5);
    steps(27);
    EXPECT_EQ(state("left"), aMusicManager::kPaused);
    EXPECT_EQ(level().first, 0.0f);
    EXPECT_EQ(current(), "left");
    // A paused track stops at once even when asked to fade.
    ASSERT_TRUE(m_music->Stop(true));
    EXPECT_EQ(state("left"), aMusicManager::kStopped);
    EXPECT_FALSE(sound("left")->IsPlaying());

    // A track that ends stops by itself and stays current.
    ASSERT_TRUE(m_music->AddTrack(m_dir + "short.wav", ""));
    ASSERT_TRUE(m_music->Play("short", "", false, false));
    mix(kRate / 5);
    steps(1);
    EXPECT_EQ(state("short"), aMusicManager::kStopped);
    EXPECT_EQ(current(), "short");
}

TEST_F(Music, VolumeDuringFadesIsScaledByTheFadeLevel)
{
    ASSERT_TRUE(m_music->Play("left", "", true, true));
    steps(25);
    // Lower: at once.
    m_music->SetVolume(0.5f);
    EXPECT_NEAR(sound("left")->GetVolume(), 0.25f, 1e-5);
    EXPECT_NEAR(level().first, 0.125f, 1e-5);
    // Higher: at the next step.
    m_music->SetVolume(0.8f);
    EXPECT_NEAR(sound("left")->GetVolume(), 0.25f, 1e-5);
    steps(1);
    EXPECT_NEAR(sound("left")->GetVolume(), 0.8f * 0.52f, 1e-5);
    EXPECT_EQ(sound("right")->GetVolume(), 0.8f);

    steps(30);
    ASSERT_TRUE(m_music->Pause(true));
    steps(10);
    m_music->SetVolume(1.0f);
    EXPECT_NEAR(sound("left")->GetVolume(), 0.8f, 1e-5);
}

TEST_F(Music, NoProgressWhilePaused)
{
    ASSERT_TRUE(m_music->Play("left", "", true, true));
    steps(5);
    m_music->SetPaused(true);
    steps(5);
    EXPECT_FALSE(m_music->Play("right", "", false, true));
    m_music->SetPaused(false);
    aSound::globalEngine().SetGlobalPause(true);
    steps(5);
    aSound::globalEngine().SetGlobalPause(false);
    EXPECT_NEAR(fade("left"), 0.1f, 1e-5);

    aApplication app;
    app.m_paused = true;
    m_music->Step();
    EXPECT_NEAR(fade("left"), 0.1f, 1e-5);
    app.m_paused = false;
    m_music->Step();
    EXPECT_NEAR(fade("left"), 0.12f, 1e-5);
}

TEST_F(Music, ChangeMusicCrossFadesInTheMix)
{
    ASSERT_TRUE(m_music->Play("left", "", false, true));
    m_music->ChangeMusic("right", 1.0f, true, true, "");
    EXPECT_EQ(current(), "right");
    for (int step = 1; step <= 50; ++step) {
        m_music->Update(aMusicManager::kStepSeconds);
        const auto [left, right] = level();
        EXPECT_NEAR(left, 0.5f * (1.0f - 0.02f * float(step)), 1e-4) << step;
        EXPECT_NEAR(right, 0.5f * 0.02f * float(step), 1e-4) << step;
    }
    steps(2);
    EXPECT_EQ(state("left"), aMusicManager::kStopped);
    EXPECT_EQ(state("right"), aMusicManager::kPlaying);

    // To the current track, at another volume: nothing changes.
    m_music->ChangeMusic("right", 0.3f, true, true, "");
    EXPECT_EQ(m_music->GetTrackVolume(at("right")), 1.0f);
    EXPECT_FLOAT_EQ(level().second, 0.5f);
}

TEST_F(Music, UnloadingAndReplacingKeepTheCurrentTrackRight)
{
    ASSERT_TRUE(m_music->AddTrack(m_dir + "short.wav", ""));
    ASSERT_TRUE(m_music->Play("short", "", false, true));
    EXPECT_TRUE(m_music->UnloadFile("left", ""));
    EXPECT_EQ(m_music->GetCurrentIndex(), 1);
    EXPECT_EQ(current(), "short");
    // By its playlist line, as UnloadList passes it.
    EXPECT_TRUE(m_music->UnloadFile("short.wav", ""));
    EXPECT_EQ(m_music->GetCurrentIndex(), -1);
    EXPECT_EQ(level().first, 0.0f);

    ASSERT_TRUE(m_music->SetTrackVolume("right", 0.5f, ""));
    ASSERT_TRUE(m_music->Play("right", "", true, true));
    steps(10);
    ASSERT_TRUE(m_music->AddTrack(m_dir + "right.wav", ""));
    EXPECT_EQ(m_music->GetTrackCount(), 1u);
    EXPECT_EQ(state("right"), aMusicManager::kStopped);
    EXPECT_EQ(fade("right"), 0.0f);
    EXPECT_EQ(current(), "right");
    EXPECT_EQ(level().second, 0.0f);
    ASSERT_TRUE(m_music->Play("right", "", false, true));
    EXPECT_FLOAT_EQ(level().second, 0.25f);
}

TEST_F(Music, UnderATestClockTheFramesStepTheFadesInGameTime)
{
    platform::ManualClock clock;
    platform::setClock(&clock);
    {
        aMusicManager music;
        EXPECT_FALSE(music.HasWorker());
        EXPECT_TRUE(music.StepsInGameTime());
        ASSERT_TRUE(music.AddTrack(m_dir + "left.wav", ""));
        ASSERT_TRUE(music.Play("left", "", true, true));
        // However long a frame really takes, 10 ms of game time is half a
        // step: a one-second fade in takes 100 frames.
        for (int frame = 1; frame < 100; ++frame) {
            clock.advanceMs(10);
            aSound::globalEngine().Update();
        }
        EXPECT_EQ(music.GetTrackState(0), aMusicManager::kFadingIn);
        EXPECT_NEAR(music.GetTrackFadeLevel(0), 0.98f, 1e-4);
        // Fifty steps of 0.02 reach 1 in float arithmetic one step late.
        for (int frame = 100; frame <= 102; ++frame) {
            clock.advanceMs(10);
            aSound::globalEngine().Update();
        }
        EXPECT_EQ(music.GetTrackState(0), aMusicManager::kPlaying);
        // A stall is caught up to a bound, not step by step for ever.
        ASSERT_TRUE(music.Stop(true));
        clock.advanceMs(3600 * 1000);
        aSound::globalEngine().Update();
        EXPECT_EQ(music.GetTrackState(0), aMusicManager::kStopped);
    }
    // A manager gone is stepped no more.
    clock.advanceMs(100);
    aSound::globalEngine().Update();
    platform::setClock(nullptr);
}
