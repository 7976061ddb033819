#include <chrono>
#include <memory>
#include <thread>
#include <type_traits>

#include "sound_fixture.h"

using namespace sound_test;

static_assert(!std::is_copy_assignable_v<aSound>, "assignment would share a channel or stream");

bool sound_test::waitFor(const std::function<bool()>& done, int ms)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        aSound::globalEngine().Update();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

namespace {

class Sound : public SoundTest {};

std::string groupOf(const snd::Channel& channel)
{
    snd::ChannelGroup group;
    char name[256] = {};
    if (channel.getChannelGroup(&group) != snd::kOk || group.getName(name, int(sizeof name)) != snd::kOk)
        return "<none>";
    return name;
}

} // namespace

TEST_F(Sound, WithoutASystemOrUnloadedNothingPlays)
{
    const std::string path = writeWav("a.wav", 0.5f, 0.5f, 0.1);
    snd::test_hooks::setCreateFails(true);
    {
        aSound silent;
        EXPECT_FALSE(silent.Load(path, A_GROUP_SFX, false));
    }
    snd::test_hooks::setCreateFails(false);
    aSound sound;
    ASSERT_NE(system(), nullptr);
    sound.Play(true, true);
    EXPECT_TRUE(sound.IsLooped());
    EXPECT_FALSE(sound.IsPlaying());
    EXPECT_EQ(level().first, 0.0f);

    test_env::writeFile(path, std::string(500, 'x'));
    EXPECT_FALSE(sound.Load(path, A_GROUP_SFX, true));
    EXPECT_TRUE(logHas("aFModEngine: aSound::Load(). Error code: 100, "));
    EXPECT_TRUE(logHas("Sound \"" + path + "\": not a WAV, Ogg Vorbis or MP3 file"));
    EXPECT_FALSE(sound.IsLoaded());

    // A WAV cut inside its samples plays what it has; the log names it.
    const std::string whole = test_env::readFile(writeWav("cut.wav", 0.5f, 0.5f, 0.1));
    test_env::writeFile(path, whole.substr(0, whole.size() / 2));
    EXPECT_TRUE(sound.Load(path, A_GROUP_SFX, false));
    EXPECT_TRUE(logHas("Sound \"" + path + "\": WAV file cut short"));
}

TEST_F(Sound, SettingsStoredWhileStoppedApplyAtTheNextPlay)
{
    aSound sound;
    ASSERT_TRUE(sound.Load(writeWav("a.wav", 0.5f, 0.5f, 0.5), A_GROUP_SFX, false));
    EXPECT_EQ(sound.GetLength(), 500u);
    sound.SetVolume(0.5f);
    sound.SetPan(0.5f);
    sound.SetPriority(200);
    sound.Play(true, false);
    int priority = 0;
    ASSERT_EQ(sound.GetChannel().getPriority(&priority), snd::kOk);
    EXPECT_EQ(priority, 200);
    // Stereo at pan 0.5: the left side loses half.
    const auto [left, right] = level();
    EXPECT_FLOAT_EQ(left, 0.125f);
    EXPECT_FLOAT_EQ(right, 0.25f);
    // Looped: it plays on past its length (0.6 s in all).
    mix(kRate * 6 / 10 - 256);
    EXPECT_TRUE(sound.IsPlaying());
    EXPECT_NEAR(double(sound.GetPosition()), 100.0, 2.0);
    sound.Stop();
    EXPECT_FALSE(sound.IsPlaying());
    EXPECT_EQ(log(), "");
}

TEST_F(Sound, MultiChannelSamplesOverlapWhileStreamsRestart)
{
    aSound sample;
    ASSERT_TRUE(sample.Load(writeWav("a.wav", 0.25f, 0.25f, 1.0), A_GROUP_SFX, false));
    sample.Play(false, true);
    sample.Play(false, true);
    EXPECT_FLOAT_EQ(level().first, 0.5f);
    sample.Stop();
    EXPECT_FLOAT_EQ(level().first, 0.25f);
    EXPECT_EQ(log(), "");

    aSound stream;
    ASSERT_TRUE(stream.Load(writeWav("s.wav", 0.125f, 0.125f, 1.0), A_GROUP_MUSIC, true));
    stream.Play(false, true);
    mix(kRate / 5);
    EXPECT_NEAR(double(stream.GetPosition()), 200.0, 2.0);
    stream.Play(false, true);
    EXPECT_LT(stream.GetPosition(), 5u);
    EXPECT_FLOAT_EQ(level().first, 0.25f + 0.125f);
    EXPECT_EQ(logCount("aSound::Play(). Warning, don't play stream sound in multi channel mode!"), 2u);
}

TEST_F(Sound, CopiesShareSamplesAndOpenTheirOwnStreams)
{
    auto stream = std::make_unique<aSound>();
    ASSERT_TRUE(stream->Load(writeWav("s.wav", 0.25f, 0.125f, 1.0), A_GROUP_MUSIC, true));
    stream->SetVolume(0.5f);
    aSound streamCopy(*stream);
    EXPECT_EQ(streamCopy.GetVolume(), 0.5f);
    stream->Play(false, false);
    mix(kRate / 2 - 256);
    streamCopy.SetVolume(1.0f);
    streamCopy.Play(false, false);
    EXPECT_FLOAT_EQ(level().first, 0.125f + 0.25f);
    EXPECT_NEAR(double(stream->GetPosition()), 500.0, 3.0);
    EXPECT_LT(streamCopy.GetPosition(), 10u);
    // Deleting a playing stream: the copy reads the shared memory on.
    stream.reset();
    EXPECT_FLOAT_EQ(level().first, 0.25f);

    auto sample = std::make_unique<aSound>();
    ASSERT_TRUE(sample->Load(writeWav("a.wav", 0.5f, 0.5f, 1.0), A_GROUP_SFX, false));
    aSound sampleCopy(*sample);
    sample.reset();
    streamCopy.Stop();
    sampleCopy.Play(false, false);
    EXPECT_FLOAT_EQ(level().first, 0.5f);
    EXPECT_EQ(log(), "");
}

TEST_F(Sound, LongGroupNamesAreCutAndTheChannelMoves)
{
    aSound sound;
    ASSERT_TRUE(sound.Load(writeWav("a.wav", 0.5f, 0.5f, 1.0), A_GROUP_SFX, false));
    sound.SetGroup("doors");
    ASSERT_NE(aSound::FindSubGroup(A_GROUP_SFX, "doors"), nullptr);
    sound.Play(true, false);
    EXPECT_EQ(groupOf(sound.GetChannel()), "doors");

    const std::string longName(200, 'g');
    sound.SetGroup(longName);
    EXPECT_EQ(sound.GetGroup(), longName.substr(0, 128));
    EXPECT_EQ(groupOf(sound.GetChannel()), longName.substr(0, 128));
    EXPECT_EQ(aSound::FindSubGroup(A_GROUP_SFX, "doors"), nullptr);
    ASSERT_NE(sound.GetChannelsGroup(), nullptr);
    sound.GetChannelsGroup()->SetVolume(0.5f);
    EXPECT_FLOAT_EQ(level().first, 0.25f);
}

TEST_F(Sound, IsPlayingTurnsFalseAtTheEndAndAfterStealing)
{
    aSound once;
    ASSERT_TRUE(once.Load(writeWav("short.wav", 0.5f, 0.5f, 0.1), A_GROUP_SFX, false));
    once.Play(false, false);
    EXPECT_TRUE(once.IsPlaying());
    mix(kRate / 5);
    EXPECT_FALSE(once.IsPlaying());

    // With all 64 voices busy the least important one is taken.
    aSound victim, filler;
    ASSERT_TRUE(victim.Load(writeWav("v.wav", 0.5f, 0.5f, 1.0), A_GROUP_SFX, false));
    ASSERT_TRUE(filler.Load(writeWav("f.wav", 0.0f, 0.0f, 1.0), A_GROUP_SFX, false));
    victim.SetPriority(250);
    victim.Play(true, false);
    for (int i = 0; i < 63; ++i)
        filler.Play(true, true);
    EXPECT_TRUE(victim.IsPlaying());
    filler.Play(true, true);
    EXPECT_FALSE(victim.IsPlaying());
    EXPECT_EQ(log(), "");
}
