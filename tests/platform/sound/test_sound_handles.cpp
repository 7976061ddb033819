#include <gtest/gtest.h>

#include <cstring>

#include "support/audio_fixtures.h"

using namespace platform::snd;
using namespace audio_fixtures;

namespace {

std::string shortWav(float value = 0.5f, std::size_t frames = 4800)
{
    return makeWav(constant(2, frames, value), 2, 48000, WavFormat::F32);
}

Result playing(const Channel& c)
{
    bool p = false;
    const Result r = c.isPlaying(&p);
    return r == kOk && !p ? -1 : r;
}

int numChannels(const ChannelGroup& g)
{
    int n = -1;
    EXPECT_EQ(g.getNumChannels(&n), kOk);
    return n;
}

} // namespace

TEST(SoundHandles, EndedAndStoppedChannelsAnswerInvalidHandle)
{
    TestSystem sys;
    const Sound sound = sys.sample(shortWav());
    const Channel ended = sys.play(sound);
    const Channel stopped = sys.play(sound);
    EXPECT_EQ(playing(ended), kOk);
    ASSERT_EQ(stopped.stop(), kOk);
    sys.mix(4800);
    for (const Channel& c : {ended, stopped}) {
        EXPECT_EQ(playing(c), kErrInvalidHandle);
        EXPECT_EQ(c.stop(), kErrInvalidHandle);
        EXPECT_EQ(c.setVolume(0.5f), kErrInvalidHandle);
        std::uint32_t pos = 77;
        EXPECT_EQ(c.getPosition(&pos, kTimeUnitMs), kErrInvalidHandle);
        EXPECT_EQ(pos, 77u);
    }
    EXPECT_EQ(playing(Channel{}), kErrInvalidHandle);
    EXPECT_EQ(sys.stats().voicesPlaying, 0);
}

TEST(SoundHandles, StealingFollowsPriorityThenAge)
{
    TestSystem sys;
    const Sound sound = sys.sample(shortWav(0.01f, 48000));
    std::vector<Channel> voices;
    for (int i = 0; i < 64; ++i)
        voices.push_back(sys.play(sound));

    // Every voice at the default priority: the oldest goes.
    Channel newcomer;
    ASSERT_EQ(sys->playSound(kChannelFree, sound, false, &newcomer), kOk);
    EXPECT_EQ(playing(voices[0]), kErrChannelStolen);
    EXPECT_EQ(voices[0].setVolume(0.3f), kErrChannelStolen);
    EXPECT_EQ(playing(voices[1]), kOk);
    EXPECT_EQ(playing(newcomer), kOk);

    // The least important voice goes first, however young.
    ASSERT_EQ(voices[40].setPriority(200), kOk);
    ASSERT_EQ(voices[41].setPriority(150), kOk);
    Channel second;
    ASSERT_EQ(sys->playSound(kChannelFree, sound, false, &second), kOk);
    EXPECT_EQ(playing(voices[40]), kErrChannelStolen);
    EXPECT_EQ(playing(voices[41]), kOk);
    // A paused voice counts as busy and can be taken like any other.
    ASSERT_EQ(voices[41].setPaused(true), kOk);
    ASSERT_EQ(sys->playSound(kChannelFree, sound, false, nullptr), kOk);
    EXPECT_EQ(playing(voices[41]), kErrChannelStolen);

    // Nothing is taken from voices more important than a new one.
    ChannelGroup master;
    ASSERT_EQ(sys->getMasterChannelGroup(&master), kOk);
    ASSERT_EQ(master.stop(), kOk);
    std::vector<Channel> important;
    for (int i = 0; i < 64; ++i) {
        important.push_back(sys.play(sound));
        ASSERT_EQ(important.back().setPriority(10), kOk);
    }
    Channel refused;
    EXPECT_EQ(sys->playSound(kChannelFree, sound, false, &refused), kErrNoFreeVoice);
    EXPECT_FALSE(refused);
    for (const Channel& c : important)
        EXPECT_EQ(playing(c), kOk);
    EXPECT_EQ(sys.stats().maxVoicesPlaying, 64);
}

TEST(SoundHandles, ReuseRestartsALiveVoiceAndActsAsFreeOtherwise)
{
    TestSystem sys;
    const Sound a = sys.sample(shortWav(0.5f, 48000));
    const Sound b = sys.sample(shortWav(-0.25f, 48000));
    Channel c;
    ASSERT_EQ(sys->playSound(kChannelReuse, a, false, &c), kOk);
    ASSERT_TRUE(c);
    ASSERT_EQ(c.setVolume(0.3f), kOk);
    ASSERT_EQ(c.setPan(0.5f), kOk);
    ASSERT_EQ(c.setPriority(3), kOk);
    sys.mix(4800);

    const Channel before = c;
    ASSERT_EQ(sys->playSound(kChannelReuse, b, true, &c), kOk);
    EXPECT_EQ(c, before);
    float v = 0.0f;
    int priority = 0;
    std::uint32_t pos = 99;
    bool paused = false;
    ASSERT_EQ(c.getVolume(&v), kOk);
    EXPECT_EQ(v, 1.0f);
    ASSERT_EQ(c.getPan(&v), kOk);
    EXPECT_EQ(v, 0.0f);
    ASSERT_EQ(c.getPriority(&priority), kOk);
    EXPECT_EQ(priority, kPriorityDefault);
    ASSERT_EQ(c.getPosition(&pos, kTimeUnitMs), kOk);
    EXPECT_EQ(pos, 0u);
    ASSERT_EQ(c.getPaused(&paused), kOk);
    EXPECT_TRUE(paused);
    Sound current;
    ASSERT_EQ(c.getCurrentSound(&current), kOk);
    EXPECT_EQ(current, b);
    EXPECT_EQ(sys.stats().voicesPlaying, 1);

    // A stale handle plays on a fresh voice with a new handle.
    ASSERT_EQ(c.stop(), kOk);
    const Channel stale = c;
    ASSERT_EQ(sys->playSound(kChannelReuse, a, false, &c), kOk);
    EXPECT_NE(c, stale);
    EXPECT_EQ(playing(c), kOk);
    EXPECT_EQ(playing(stale), kErrInvalidHandle);
    EXPECT_EQ(sys->playSound(5, a, false, &c), kErrInvalidParam);
}

TEST(SoundHandles, ReleasingAPlayingSoundStopsItsVoices)
{
    TestSystem sys;
    const Sound sound = sys.sample(shortWav(0.5f, 48000));
    const Sound other = sys.sample(shortWav(0.25f, 48000));
    const Channel a = sys.play(sound);
    const Channel b = sys.play(sound);
    const Channel keep = sys.play(other);
    sys.mix(1000);
    ASSERT_EQ(sound.release(), kOk);
    EXPECT_EQ(playing(a), kErrInvalidHandle);
    EXPECT_EQ(playing(b), kErrInvalidHandle);
    EXPECT_EQ(playing(keep), kOk);
    EXPECT_EQ(sound.release(), kErrInvalidHandle);
    std::uint32_t length = 0;
    EXPECT_EQ(sound.getLength(&length, kTimeUnitMs), kErrInvalidHandle);
    EXPECT_EQ(sys->playSound(kChannelFree, sound, false, nullptr), kErrInvalidHandle);
    // After the stopped voices' fade only the kept one sounds.
    const auto out = sys.mix(300);
    EXPECT_FLOAT_EQ(out[2 * 299], 0.25f);
    EXPECT_EQ(sys.stats().sounds, 1);
}

TEST(SoundHandles, HandlesOutlivingTheirSystemAreStale)
{
    Channel c;
    Sound s;
    ChannelGroup g;
    {
        TestSystem sys;
        s = sys.sample(shortWav());
        c = sys.play(s);
        ASSERT_EQ(sys->createChannelGroup("g", &g), kOk);
    }
    EXPECT_EQ(playing(c), kErrInvalidHandle);
    EXPECT_EQ(s.release(), kErrInvalidHandle);
    EXPECT_EQ(g.release(), kErrInvalidHandle);
}

TEST(SoundGroups, NestingMovingAndReleasing)
{
    TestSystem sys;
    const Sound sound = sys.sample(shortWav(0.5f, 48000));
    ChannelGroup master, a, b, c;
    ASSERT_EQ(sys->getMasterChannelGroup(&master), kOk);
    ASSERT_EQ(sys->createChannelGroup("a", &a), kOk);
    ASSERT_EQ(sys->createChannelGroup("b", &b), kOk);
    ASSERT_EQ(sys->createChannelGroup("", &c), kOk);
    ChannelGroup parent;
    ASSERT_EQ(b.getParentGroup(&parent), kOk);
    EXPECT_EQ(parent, master);

    // addGroup moves b (and what it holds) from the master group into a.
    ASSERT_EQ(b.addGroup(c), kOk);
    ASSERT_EQ(a.addGroup(b), kOk);
    ASSERT_EQ(b.getParentGroup(&parent), kOk);
    EXPECT_EQ(parent, a);
    const Channel inC = sys.play(sound);
    const Channel inB = sys.play(sound);
    const Channel inA = sys.play(sound);
    ASSERT_EQ(inC.setChannelGroup(c), kOk);
    ASSERT_EQ(inB.setChannelGroup(b), kOk);
    ASSERT_EQ(inA.setChannelGroup(a), kOk);
    EXPECT_EQ(numChannels(a), 1);
    EXPECT_EQ(numChannels(b), 1);
    EXPECT_EQ(numChannels(master), 0);
    ASSERT_EQ(a.setVolume(0.0f), kOk);
    EXPECT_EQ(sys.mix(16)[0], 0.0f);
    ASSERT_EQ(a.setVolume(1.0f), kOk);

    // Stopping b stops c's voice too, not a's.
    ASSERT_EQ(b.stop(), kOk);
    EXPECT_EQ(playing(inB), kErrInvalidHandle);
    EXPECT_EQ(playing(inC), kErrInvalidHandle);
    EXPECT_EQ(playing(inA), kOk);
    EXPECT_EQ(numChannels(b), 0);

    // Releasing a hands its voice and its sub-group b to the master group.
    ASSERT_EQ(a.release(), kOk);
    ChannelGroup now;
    ASSERT_EQ(inA.getChannelGroup(&now), kOk);
    EXPECT_EQ(now, master);
    ASSERT_EQ(b.getParentGroup(&parent), kOk);
    EXPECT_EQ(parent, master);
    EXPECT_EQ(numChannels(master), 1);
    EXPECT_EQ(a.setVolume(0.5f), kErrInvalidHandle);
    EXPECT_EQ(inA.setChannelGroup(a), kErrInvalidHandle);
    EXPECT_EQ(sys.stats().channelGroups, 3);
}

TEST(SoundGroups, CyclesAndTheMasterGroupAreRefused)
{
    TestSystem sys;
    ChannelGroup master, a, b;
    ASSERT_EQ(sys->getMasterChannelGroup(&master), kOk);
    ASSERT_EQ(sys->createChannelGroup("a", &a), kOk);
    ASSERT_EQ(sys->createChannelGroup("b", &b), kOk);
    ASSERT_EQ(a.addGroup(b), kOk);
    EXPECT_EQ(b.addGroup(a), kErrInvalidParam);
    EXPECT_EQ(a.addGroup(a), kErrInvalidParam);
    EXPECT_EQ(a.addGroup(master), kErrInvalidParam);
    EXPECT_EQ(master.release(), kErrInvalidParam);
    ASSERT_EQ(master.addGroup(b), kOk);
    EXPECT_EQ(b.addGroup(a), kOk);

    // The master group's name is reserved and not empty.
    char name[64];
    ASSERT_EQ(master.getName(name, sizeof name), kOk);
    EXPECT_GT(std::strlen(name), 0u);
    ChannelGroup clash;
    EXPECT_EQ(sys->createChannelGroup(name, &clash), kErrInvalidParam);
    EXPECT_FALSE(clash);
}

TEST(SoundGroups, GetNameTruncatesAndCountsLiveVoices)
{
    TestSystem sys;
    ChannelGroup g;
    ASSERT_EQ(sys->createChannelGroup("footsteps", &g), kOk);
    char name[5] = {'x', 'x', 'x', 'x', 'x'};
    ASSERT_EQ(g.getName(name, 5), kOk);
    EXPECT_STREQ(name, "foot");
    ASSERT_EQ(g.getName(name, 1), kOk);
    EXPECT_STREQ(name, "");
    EXPECT_EQ(g.getName(name, 0), kErrInvalidParam);
    EXPECT_EQ(g.getName(nullptr, 10), kErrInvalidParam);

    const Sound shortOne = sys.sample(shortWav(0.5f, 480));
    const Sound longOne = sys.sample(shortWav(0.5f, 48000));
    const Channel a = sys.play(shortOne);
    const Channel b = sys.play(longOne);
    const Channel c = sys.play(longOne, true);
    for (const Channel& ch : {a, b, c})
        ASSERT_EQ(ch.setChannelGroup(g), kOk);
    EXPECT_EQ(numChannels(g), 3);
    sys.mix(1000);
    EXPECT_EQ(numChannels(g), 2);
    ASSERT_EQ(b.stop(), kOk);
    EXPECT_EQ(numChannels(g), 1);
    EXPECT_EQ(sys.stats().setChannelGroupCalls, 3u);
}

TEST(SoundSystem, UninitialisedAndLifecycle)
{
    System* system = nullptr;
    ASSERT_EQ(createSystem(&system), kOk);
    const std::string bytes = shortWav();
    CreateSoundExInfo info = exinfoFor(bytes);
    Sound sound;
    ChannelGroup group;
    SoundGroup soundGroup;
    float out[8];
    EXPECT_EQ(system->createSound(bytes.data(), 0x4900, &info, &sound), kErrNotInitialized);
    EXPECT_EQ(system->getMasterChannelGroup(&group), kErrNotInitialized);
    EXPECT_EQ(system->getMasterSoundGroup(&soundGroup), kErrNotInitialized);
    EXPECT_EQ(system->createChannelGroup("x", &group), kErrNotInitialized);
    EXPECT_EQ(system->playSound(kChannelFree, sound, false, nullptr), kErrNotInitialized);
    EXPECT_EQ(system->update(), kErrNotInitialized);
    EXPECT_EQ(system->mix(out, 4), kErrNotInitialized);
    EXPECT_EQ(system->init(0, 0, nullptr), kErrInvalidParam);
    EXPECT_EQ(system->setOutput(77), kErrInvalidParam);

    ASSERT_EQ(system->setOutput(kOutputManual), kOk);
    ASSERT_EQ(system->init(64, 0, nullptr), kOk);
    EXPECT_EQ(system->init(64, 0, nullptr), kErrInitialized);
    EXPECT_EQ(system->setOutput(kOutputNoSoundNrt), kErrInitialized);
    ASSERT_EQ(system->createSound(bytes.data(), 0x4900, &info, &sound), kOk);
    Channel c;
    ASSERT_EQ(system->playSound(kChannelFree, sound, false, &c), kOk);

    // close frees everything; init works again and the old handles stay stale.
    ASSERT_EQ(system->close(), kOk);
    EXPECT_EQ(playing(c), kErrNotInitialized);
    ASSERT_EQ(system->init(8, 0, nullptr), kOk);
    EXPECT_EQ(playing(c), kErrInvalidHandle);
    EXPECT_EQ(sound.release(), kErrInvalidHandle);
    EXPECT_EQ(system->release(), kOk);
}

TEST(SoundSystem, CreateSoundRefusesBadArguments)
{
    TestSystem sys;
    const std::string bytes = shortWav();
    CreateSoundExInfo info = exinfoFor(bytes);
    Sound sound;
    EXPECT_EQ(sys->createSound(nullptr, 0x4900, &info, &sound), kErrInvalidParam);
    EXPECT_EQ(sys->createSound(bytes.data(), 0x4900, nullptr, &sound), kErrInvalidParam);
    EXPECT_EQ(sys->createSound(bytes.data(), 0x4100, &info, &sound), kErrInvalidParam);
    CreateSoundExInfo empty = info;
    empty.length = 0;
    EXPECT_EQ(sys->createSound(bytes.data(), 0x4900, &empty, &sound), kErrInvalidParam);
    CreateSoundExInfo wrongSize = info;
    wrongSize.cbsize = 100;
    EXPECT_EQ(sys->createStream(bytes.data(), 0x4880, &wrongSize, &sound), kErrInvalidParam);
    const std::string junk(1000, 'j');
    CreateSoundExInfo junkInfo = exinfoFor(junk);
    EXPECT_EQ(sys->createStream(junk.data(), 0x4880, &junkInfo, &sound), kErrBadFormat);
    EXPECT_FALSE(sound);
    EXPECT_EQ(sys.stats().sounds, 0);
}

TEST(SoundSystem, ErrorTexts)
{
    EXPECT_STREQ(errorString(kErrOutputInit), "Error initializing output device. ");
    EXPECT_STREQ(errorString(9999), "Unknown error");
    EXPECT_STREQ(errorString(-3), "Unknown error");
    for (Result r : {kOk, kErrChannelStolen, kErrInvalidHandle, kErrBadFormat, kErrInvalidParam, kErrNotInitialized,
                     kErrMemory, kErrNoFreeVoice, kErrBadPosition, kErrInitialized})
        EXPECT_STRNE(errorString(r), "Unknown error");
}
