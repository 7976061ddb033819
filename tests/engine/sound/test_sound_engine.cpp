#include <gtest/gtest.h>

#include <type_traits>

#include "engine/sound/a_sound_engine.h"
#include "engine/util/a_log.h"
#include "sound_fixture.h"
#include "platform/system/clock.h"
#include "support/audio_fixtures.h"
#include "support/test_env.h"

namespace snd = platform::snd;
using namespace audio_fixtures;

static_assert(!std::is_copy_constructible_v<aSound::aFmodChannelsGroup>, "groups are move-only");
static_assert(!std::is_copy_constructible_v<aSound::aFmodMainChannelsGroup>, "groups are move-only");

namespace {

class SoundEngine : public sound_test::SoundTest {
protected:
    void TearDown() override
    {
        SoundTest::TearDown();
        platform::setClock(nullptr);
    }

    aSound::aFModEngine& engine() { return aSound::globalEngine(); }

    snd::Sound sample(float value, std::size_t frames = 48000)
    {
        m_data.push_back(makeWav(constant(2, frames, value), 2, 48000, WavFormat::F32));
        snd::CreateSoundExInfo info = exinfoFor(m_data.back());
        snd::Sound sound;
        EXPECT_EQ(system()->createSound(m_data.back().data(), 0x4900, &info, &sound), snd::kOk);
        return sound;
    }

    snd::Channel play(const snd::Sound& sound)
    {
        snd::Channel c;
        EXPECT_EQ(system()->playSound(snd::kChannelFree, sound, false, &c), snd::kOk);
        return c;
    }

    std::vector<float> mix(std::size_t frames)
    {
        std::vector<float> out(frames * 2);
        EXPECT_EQ(system()->mix(out.data(), std::uint32_t(frames)), snd::kOk);
        return out;
    }

    snd::ChannelGroup master()
    {
        snd::ChannelGroup g;
        EXPECT_EQ(system()->getMasterChannelGroup(&g), snd::kOk);
        return g;
    }

    std::uint64_t moves()
    {
        snd::Stats s;
        EXPECT_EQ(system()->getStats(&s), snd::kOk);
        return s.setChannelGroupCalls;
    }

    std::string m_logPath;
    std::vector<std::string> m_data;
};

bool isPlaying(const snd::Channel& c)
{
    bool p = false;
    return c.isPlaying(&p) == snd::kOk && p;
}

} // namespace

TEST_F(SoundEngine, BeforeInitEverythingIsQuiet)
{
    EXPECT_EQ(system(), nullptr);
    EXPECT_EQ(engine().GetMasterVolume(), 0.0f);
    EXPECT_FALSE(engine().GetGlobalPause());
    engine().Update();
    engine().SetMasterVolume(0.5f);
    engine().SetGlobalPause(true);
    engine().Stop();
    EXPECT_EQ(aSound::FindChannelsGroup(A_GROUP_AMBIENTS), nullptr);
    EXPECT_EQ(aSound::FindSubGroup(A_GROUP_SFX, ""), nullptr);
    EXPECT_EQ(log(), "");
}

TEST_F(SoundEngine, OutputFailureFallsBackToSilentOutput)
{
    platform::ManualClock clock;
    platform::setClock(&clock);
    snd::test_hooks::setInitResult(snd::kErrOutputInit);
    engine().Init();
    ASSERT_NE(system(), nullptr);
    const std::string text = log();
    EXPECT_NE(text.find("aFModEngine: aSound::aFModEngine::Init(). Error code: 62, Error initializing output device. "),
              std::string::npos);
    EXPECT_NE(text.find("aFModEngine. Initialization failed, forcing no sound!"), std::string::npos);
    int output = -1;
    ASSERT_EQ(system()->getOutput(&output), snd::kOk);
    EXPECT_EQ(output, snd::kOutputNoSoundNrt);

    // Sounds play and end in silence.
    const snd::Channel c = play(sample(0.5f, 24000));
    clock.advanceMs(300);
    engine().Update();
    EXPECT_TRUE(isPlaying(c));
    clock.advanceMs(200);
    engine().Update();
    EXPECT_FALSE(isPlaying(c));
    EXPECT_EQ(engine().GetMasterVolume(), 1.0f);
}

TEST_F(SoundEngine, FailedCreationLeavesNoSystemAndInitRetries)
{
    snd::test_hooks::setCreateFails(true);
    engine().Init();
    EXPECT_EQ(system(), nullptr);
    EXPECT_NE(log().find("aFModEngine: aSound::aFModEngine::Init(). Error code: 103, "), std::string::npos);
    engine().Update();
    engine().SetGlobalPause(true);
    EXPECT_FALSE(engine().GetGlobalPause());
    EXPECT_EQ(engine().GetMasterVolume(), 0.0f);
    engine().Stop();
    aSound::aFmodChannelsGroup group;
    group.CreateGroup("x", nullptr);
    EXPECT_FALSE(group.HasGroup());

    snd::test_hooks::setCreateFails(false);
    engine().Init();
    ASSERT_NE(system(), nullptr);
    EXPECT_EQ(engine().GetMasterVolume(), 1.0f);
}

TEST_F(SoundEngine, SystemLeftUninitialisedLogsEachFailure)
{
    snd::test_hooks::setInitResult(snd::kErrInvalidParam);
    engine().Init();
    ASSERT_NE(system(), nullptr);
    EXPECT_EQ(log().find("forcing no sound"), std::string::npos);
    engine().SetGlobalPause(true);
    EXPECT_FALSE(engine().GetGlobalPause());
    EXPECT_EQ(engine().GetMasterVolume(), 0.0f);
    engine().Stop();
    engine().SetMasterVolume(0.5f);
    const std::string text = log();
    for (const char* op : {"SetGlobalPause", "GetGlobalPause", "GetMasterVolume", "Stop", "SetMasterVolume"})
        EXPECT_NE(text.find(std::string("aFModEngine: aSound::aFModEngine::") + op + "(). Error code: 102, "),
                  std::string::npos)
            << op;

    // A group that cannot be made logs, does nothing and keeps its start values.
    aSound::aFmodChannelsGroup group;
    group.CreateGroup("effects", nullptr);
    EXPECT_FALSE(group.HasGroup());
    EXPECT_NE(log().find("aFModEngine: aSound::aFmodChannelsGroup::CreateGroup(). Error code: 102, "),
              std::string::npos);
    EXPECT_EQ(group.SetVolume(0.5f), snd::kErrInvalidHandle);
    EXPECT_EQ(group.Stop(), snd::kErrInvalidHandle);
    EXPECT_FALSE(group.GetPaused());
    EXPECT_FALSE(group.GetMute());
    EXPECT_EQ(group.GetVolume(), 0.0f);
    EXPECT_EQ(group.GetPitch(), 1.0f);
}

TEST_F(SoundEngine, MasterVolumePauseAndStop)
{
    engine().Init();
    ASSERT_NE(system(), nullptr);
    const snd::Channel a = play(sample(0.5f));
    const snd::Channel b = play(sample(0.25f));
    EXPECT_FLOAT_EQ(mix(4)[0], 0.75f);
    engine().SetMasterVolume(0.5f);
    EXPECT_EQ(engine().GetMasterVolume(), 0.5f);
    EXPECT_FLOAT_EQ(level().first, 0.375f);

    engine().SetGlobalPause(true);
    EXPECT_TRUE(engine().GetGlobalPause());
    std::uint32_t before = 0, after = 0;
    ASSERT_EQ(a.getPosition(&before, snd::kTimeUnitPcm), snd::kOk);
    // Silent after the pause's 5 ms fade.
    EXPECT_EQ(mix(4800)[2 * 4799], 0.0f);
    ASSERT_EQ(a.getPosition(&after, snd::kTimeUnitPcm), snd::kOk);
    EXPECT_EQ(before, after);
    bool paused = true;
    ASSERT_EQ(b.getPaused(&paused), snd::kOk);
    EXPECT_FALSE(paused);
    engine().SetGlobalPause(false);
    EXPECT_FALSE(engine().GetGlobalPause());
    EXPECT_FLOAT_EQ(level().first, 0.375f);

    engine().Stop();
    EXPECT_FALSE(isPlaying(a));
    EXPECT_FALSE(isPlaying(b));
    EXPECT_EQ(log(), "");
}

TEST_F(SoundEngine, ChannelsMoveIntoSubGroupsAndEmptySubGroupsGo)
{
    engine().Init();
    EXPECT_EQ(aSound::FindChannelsGroup(A_GROUP_AMBIENTS), nullptr);
    aSound::aFmodMainChannelsGroup& sfx = aSound::AddMainGroup(A_GROUP_SFX, master());
    ASSERT_TRUE(sfx.HasGroup());
    EXPECT_EQ(aSound::FindChannelsGroup(A_GROUP_SFX), &sfx);
    EXPECT_EQ(&aSound::AddMainGroup(A_GROUP_SFX, master()), &sfx);

    const snd::Sound sound = sample(0.5f);
    const snd::Channel a = play(sound);
    const snd::Channel b = play(sound);
    ASSERT_EQ(aSound::PutChannelIntoGroup(sfx, a, "doors"), snd::kOk);
    ASSERT_EQ(aSound::PutChannelIntoGroup(sfx, b, "doors"), snd::kOk);
    aSound::aFmodChannelsGroup* doors = aSound::FindSubGroup(A_GROUP_SFX, "doors");
    ASSERT_NE(doors, nullptr);
    int count = 0;
    ASSERT_EQ(doors->GetGroup().getNumChannels(&count), snd::kOk);
    EXPECT_EQ(count, 2);
    snd::ChannelGroup parent;
    ASSERT_EQ(doors->GetGroup().getParentGroup(&parent), snd::kOk);
    EXPECT_EQ(parent, sfx.GetGroup());

    // A channel already in place is not moved again.
    const std::uint64_t movedBefore = moves();
    ASSERT_EQ(aSound::PutChannelIntoGroup(sfx, a, "doors"), snd::kOk);
    EXPECT_EQ(moves(), movedBefore);

    // Group volumes reach the mix through the registry.
    aSound::FindChannelsGroup(A_GROUP_SFX)->SetVolume(0.5f);
    EXPECT_EQ(aSound::FindChannelsGroup(A_GROUP_SFX)->GetVolume(), 0.5f);
    EXPECT_FLOAT_EQ(mix(4)[0], 0.5f);
    aSound::FindChannelsGroup(A_GROUP_SFX)->SetVolume(1.0f);

    // The last channel leaving "doors" erases it; the next use makes it again.
    ASSERT_EQ(aSound::PutChannelIntoGroup(sfx, a, ""), snd::kOk);
    EXPECT_NE(aSound::FindSubGroup(A_GROUP_SFX, "doors"), nullptr);
    ASSERT_EQ(aSound::PutChannelIntoGroup(sfx, b, ""), snd::kOk);
    EXPECT_EQ(aSound::FindSubGroup(A_GROUP_SFX, "doors"), nullptr);
    ASSERT_EQ(aSound::PutChannelIntoGroup(sfx, snd::Channel{}, "doors"), snd::kOk);
    doors = aSound::FindSubGroup(A_GROUP_SFX, "doors");
    ASSERT_NE(doors, nullptr);
    EXPECT_TRUE(doors->HasGroup());
    ASSERT_EQ(doors->GetGroup().getNumChannels(&count), snd::kOk);
    EXPECT_EQ(count, 0);

    // A sub-group that cannot be made leaves the channel where it is.
    const std::uint64_t movedBeforeFailure = moves();
    EXPECT_EQ(aSound::PutChannelIntoGroup(sfx, a, "<master>"), snd::kOk);
    EXPECT_EQ(moves(), movedBeforeFailure);
    EXPECT_EQ(aSound::FindSubGroup(A_GROUP_SFX, "<master>"), nullptr);
    EXPECT_NE(log().find("aSound::aFmodChannelsGroup::CreateGroup(). Error code: 101"), std::string::npos);
    ASSERT_NE(aSound::FindSubGroup(A_GROUP_SFX, ""), nullptr);
    ASSERT_EQ(aSound::FindSubGroup(A_GROUP_SFX, "")->GetGroup().getNumChannels(&count), snd::kOk);
    EXPECT_EQ(count, 2);
}

TEST_F(SoundEngine, ShutdownReleasesGroupsBeforeTheSystemAndIsIdempotent)
{
    engine().Init();
    aSound::aFmodMainChannelsGroup& music = aSound::AddMainGroup(A_GROUP_MUSIC, master());
    const snd::Channel c = play(sample(0.5f));
    ASSERT_EQ(aSound::PutChannelIntoGroup(music, c, "tracks"), snd::kOk);
    const snd::ChannelGroup group = music.GetGroup();

    aSound::shutdownAudio();
    EXPECT_EQ(system(), nullptr);
    EXPECT_TRUE(aSound::channelsGroups().empty());
    EXPECT_FALSE(isPlaying(c));
    EXPECT_EQ(group.setVolume(0.5f), snd::kErrInvalidHandle);
    aSound::shutdownAudio();
    EXPECT_EQ(log(), "");

    // The next sound starts audio again.
    engine().Init();
    EXPECT_NE(system(), nullptr);
}

TEST_F(SoundEngine, GroupsMoveWithoutReleasingTwice)
{
    engine().Init();
    aSound::aFmodChannelsGroup first;
    first.CreateGroup("moved", nullptr);
    ASSERT_TRUE(first.HasGroup());
    const snd::ChannelGroup handle = first.GetGroup();
    aSound::aFmodChannelsGroup second(std::move(first));
    EXPECT_FALSE(first.HasGroup());
    EXPECT_EQ(second.GetGroup(), handle);
    EXPECT_EQ(second.SetPitch(2.0f), snd::kOk);
    EXPECT_EQ(second.GetPitch(), 2.0f);
    {
        aSound::aFmodChannelsGroup third;
        third = std::move(second);
    }
    float v = 0.0f;
    EXPECT_EQ(handle.getVolume(&v), snd::kErrInvalidHandle);
}
