#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <thread>

#include "platform/system/clock.h"
#include "support/audio_fixtures.h"
#include "support/test_env.h"

using namespace platform::snd;
using namespace audio_fixtures;

namespace {

// Stereo float WAV whose left channel is a ramp from 0 (frame / frames) and
// whose right channel is constant, so positions can be read off the output.
std::string rampWav(std::size_t frames)
{
    std::vector<float> s(frames * 2);
    for (std::size_t f = 0; f < frames; ++f) {
        s[2 * f] = float(f) / float(frames);
        s[2 * f + 1] = 0.5f;
    }
    return makeWav(s, 2, 48000, WavFormat::F32);
}

Result playing(const Channel& c)
{
    bool p = false;
    const Result r = c.isPlaying(&p);
    return r == kOk && !p ? -1 : r;
}

// Sets an environment variable for the scope.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value) : m_name(name)
    {
        const char* old = std::getenv(name);
        m_had = old != nullptr;
        if (old)
            m_old = old;
        setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv()
    {
        if (m_had)
            setenv(m_name, m_old.c_str(), 1);
        else
            unsetenv(m_name);
    }

private:
    const char* m_name;
    bool m_had = false;
    std::string m_old;
};

// The floats of a file the disk driver wrote.
std::vector<float> readFloats(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::vector<float> samples;
    float v;
    while (in.read(reinterpret_cast<char*>(&v), sizeof v))
        samples.push_back(v);
    return samples;
}

template <class F>
bool waitFor(F condition, int ms)
{
    for (int i = 0; i < ms / 5; ++i) {
        if (condition())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return condition();
}

} // namespace

TEST(SoundStreams, LoopAndSetPosition)
{
    TestSystem sys;
    const std::size_t frames = 12000;  // 0.25 s
    const Sound stream = sys.stream(rampWav(frames));
    const Channel c = sys.play(stream, true);
    ASSERT_EQ(c.setMode(kModeLoopNormal), kOk);
    ASSERT_EQ(c.setPaused(false), kOk);
    // A second and a bit: four laps, and the ramp starts over each time.
    const auto out = sys.mix(48000 + 6000);
    EXPECT_FLOAT_EQ(out[0], 0.0f);
    EXPECT_FLOAT_EQ(out[2 * frames], 0.0f);
    EXPECT_FLOAT_EQ(out[2 * (3 * frames + 100)], 100.0f / float(frames));
    EXPECT_FLOAT_EQ(out[2 * 48000 + 1], 0.5f);
    std::uint32_t pos = 0;
    ASSERT_EQ(c.getPosition(&pos, kTimeUnitPcm), kOk);
    EXPECT_EQ(pos, 6000u);

    ASSERT_EQ(c.setPosition(200, kTimeUnitMs), kOk);
    auto next = sys.mix(1);
    EXPECT_FLOAT_EQ(next[0], 9600.0f / float(frames));
    EXPECT_EQ(c.setPosition(250, kTimeUnitMs), kErrBadPosition);
    ASSERT_EQ(c.setMode(kModeLoopOff), kOk);
    sys.mix(frames);
    EXPECT_EQ(playing(c), kErrInvalidHandle);
    EXPECT_EQ(sys.stats().streamUnderruns, 0u);
}

TEST(SoundStreams, TwoStreamsOverOneMemoryBlockPlayIndependently)
{
    TestSystem sys;
    const std::string bytes = rampWav(48000);
    CreateSoundExInfo info = exinfoFor(bytes);
    Sound first, second;
    ASSERT_EQ(sys->createStream(bytes.data(), 0x4880, &info, &first), kOk);
    ASSERT_EQ(sys->createStream(bytes.data(), 0x4880, &info, &second), kOk);
    const Channel a = sys.play(first, true);
    const Channel b = sys.play(second, true);
    // Hard left and hard right: each side of the output shows one stream.
    ASSERT_EQ(a.setPan(-1.0f), kOk);
    ASSERT_EQ(b.setPan(1.0f), kOk);
    ASSERT_EQ(b.setPosition(500, kTimeUnitMs), kOk);
    ASSERT_EQ(a.setPaused(false), kOk);
    ASSERT_EQ(b.setPaused(false), kOk);
    auto out = sys.mix(4800);
    EXPECT_FLOAT_EQ(out[0], 0.0f);
    EXPECT_FLOAT_EQ(out[1], 0.5f);
    EXPECT_FLOAT_EQ(out[2 * 4799], 4799.0f / 48000.0f);
    ASSERT_EQ(b.stop(), kOk);
    out = sys.mix(250);
    EXPECT_FLOAT_EQ(out[0], 4800.0f / 48000.0f);
    EXPECT_EQ(out[2 * 249 + 1], 0.0f);
    ASSERT_EQ(second.release(), kOk);
    EXPECT_EQ(playing(a), kOk);

    // Playing a stream again moves it to a new voice; the old one ends.
    Channel again;
    ASSERT_EQ(sys->playSound(kChannelFree, first, false, &again), kOk);
    EXPECT_EQ(playing(a), kErrInvalidHandle);
    EXPECT_EQ(sys.stats().voicesPlaying, 1);
}

TEST(SoundStreams, ReleaseThenFreeingTheMemoryIsClean)
{
    TestSystem sys;
    for (int round = 0; round < 3; ++round) {
        auto bytes = std::make_unique<std::string>(makeVorbis(tone(2, 44100, 44100, 440, 0.5), 2, 44100));
        CreateSoundExInfo info = exinfoFor(*bytes);
        Sound stream;
        ASSERT_EQ(sys->createStream(bytes->data(), 0x4880, &info, &stream), kOk);
        const Channel c = sys.play(stream);
        sys.mix(2000);
        ASSERT_EQ(stream.release(), kOk);
        bytes.reset();
        EXPECT_EQ(playing(c), kErrInvalidHandle);
        sys.mix(2000);
    }
}

TEST(SoundStreams, NoUnderrunInANormalRun)
{
    TestSystem sys;
    const auto pcm = tone(2, 44100, 88200, 440, 0.5);
    const Channel c = sys.play(sys.stream(makeVorbis(pcm, 2, 44100)));
    std::vector<float> all;
    for (int i = 0; i < 100 && playing(c) == kOk; ++i) {
        const auto out = sys.mix(1024);
        all.insert(all.end(), out.begin(), out.end());
    }
    EXPECT_EQ(playing(c), kErrInvalidHandle);
    EXPECT_EQ(sys.stats().streamUnderruns, 0u);
    EXPECT_NEAR(frequency(all, 2, 0, 48000), 440.0, 0.5);
}

TEST(SoundOutputs, SilentOutputAdvancesByWallTime)
{
    platform::ManualClock clock;
    platform::setClock(&clock);
    {
        TestSystem sys(kOutputNoSoundNrt);
        ASSERT_EQ(sys.initResult(), kOk);
        const Channel c = sys.play(sys.sample(makeWav(constant(1, 22050, 0.5f), 1, 44100, WavFormat::S16)));
        const Channel looped = sys.play(sys.stream(makeWav(constant(1, 4410, 0.5f), 1, 44100, WavFormat::S16)));
        ASSERT_EQ(looped.setMode(kModeLoopNormal), kOk);
        clock.advanceMs(200);
        ASSERT_EQ(sys->update(), kOk);
        std::uint32_t ms = 0;
        ASSERT_EQ(c.getPosition(&ms, kTimeUnitMs), kOk);
        EXPECT_EQ(ms, 200u);
        ASSERT_EQ(looped.getPosition(&ms, kTimeUnitMs), kOk);
        EXPECT_EQ(ms, 0u);
        // Paused voices hold still.
        ASSERT_EQ(c.setPaused(true), kOk);
        clock.advanceMs(1000);
        ASSERT_EQ(sys->update(), kOk);
        ASSERT_EQ(c.getPosition(&ms, kTimeUnitMs), kOk);
        EXPECT_EQ(ms, 200u);
        ASSERT_EQ(c.setPaused(false), kOk);
        clock.advanceMs(299);
        ASSERT_EQ(sys->update(), kOk);
        EXPECT_EQ(playing(c), kOk);
        clock.advanceMs(1);
        ASSERT_EQ(sys->update(), kOk);
        EXPECT_EQ(playing(c), kErrInvalidHandle);
        EXPECT_EQ(playing(looped), kOk);
        float out[4];
        EXPECT_EQ(sys->mix(out, 2), kErrInvalidParam);
    }
    platform::setClock(nullptr);
}

TEST(SoundOutputs, DummyDeviceRunsTheCallback)
{
    ScopedEnv driver("SDL_AUDIODRIVER", "dummy");
    TestSystem sys(kOutputAutoDetect);
    ASSERT_EQ(sys.initResult(), kOk);
    int rate = 0;
    ASSERT_EQ(sys->getOutputRate(&rate), kOk);
    EXPECT_GT(rate, 0);
    // Longer than what is decoded when it starts, so the feeder must keep up.
    const Channel c = sys.play(sys.stream(makeVorbis(tone(2, 44100, 66150, 440, 0.5), 2, 44100)));
    // Generous limits: a loaded machine may starve the device thread.
    EXPECT_TRUE(waitFor([&] { return sys.stats().mixCalls >= 3; }, 20000));
    EXPECT_TRUE(waitFor([&] { return playing(c) != kOk; }, 30000));
    // No underrun count here: on a loaded machine the real-time device may
    // legitimately outrun the feeder. The manual-output tests pin that a
    // normal run has none.
    float out[4];
    EXPECT_EQ(sys->mix(out, 2), kErrInvalidParam);
}

TEST(SoundOutputs, DiskDeviceWritesTheTone)
{
    const std::string path = test_env::home() + "/disk-audio.raw";
    {
        ScopedEnv driver("SDL_AUDIODRIVER", "disk");
        ScopedEnv file("SDL_DISKAUDIOFILE", path);
        TestSystem sys(kOutputAutoDetect);
        ASSERT_EQ(sys.initResult(), kOk);
        const Channel c = sys.play(sys.sample(makeWav(tone(1, 48000, 4800, 440, 0.8), 1, 48000, WavFormat::F32)), true);
        ASSERT_EQ(c.setMode(kModeLoopNormal), kOk);
        ASSERT_EQ(c.setPaused(false), kOk);
        const std::uint64_t unpausedAt = sys.stats().mixCalls;
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        // A starved device thread may not have written enough yet: the
        // driver writes each buffer after its callback, so three more
        // callbacks mean at least two whole buffers of the tone on disk.
        EXPECT_TRUE(waitFor([&] { return sys.stats().mixCalls >= unpausedAt + 3; }, 20000));
    }
    ASSERT_TRUE(std::ifstream(path).good());
    const std::vector<float> samples = readFloats(path);
    ASSERT_GT(samples.size(), 4096u);
    EXPECT_GT(peak(samples, 2, 0), 0.5f);
    EXPECT_NEAR(frequency(samples, 2, 0, 48000), 440.0, 5.0);
}

TEST(SoundOutputs, UnknownDriverGivesOutputInitFailure)
{
    ScopedEnv driver("SDL_AUDIODRIVER", "no-such-driver");
    System* system = nullptr;
    ASSERT_EQ(createSystem(&system), kOk);
    EXPECT_EQ(system->init(64, 0, nullptr), kErrOutputInit);
    EXPECT_EQ(system->setOutput(kOutputNoSoundNrt), kOk);
    EXPECT_EQ(system->init(64, 0, nullptr), kOk);
    EXPECT_EQ(system->release(), kOk);
}

TEST(SoundOutputs, TheFeederSleepsWhileNoStreamNeedsData)
{
    ScopedEnv driver("SDL_AUDIODRIVER", "dummy");
    TestSystem sys(kOutputAutoDetect);
    ASSERT_EQ(sys.initResult(), kOk);
    ASSERT_TRUE(waitFor([&] { return sys.stats().mixCalls >= 2; }, 20000));
    auto wakeupsOver200Ms = [&] {
        const std::uint64_t before = sys.stats().feederWakeups;
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        return sys.stats().feederWakeups - before;
    };
    EXPECT_LE(wakeupsOver200Ms(), 2u);

    // A stream longer than what is decoded when it starts wakes the feeder
    // as its buffer drains; once it has ended the feeder sleeps again.
    const std::uint64_t before = sys.stats().feederWakeups;
    const Channel c = sys.play(sys.stream(makeVorbis(tone(2, 44100, 66150, 440, 0.5), 2, 44100)));
    EXPECT_TRUE(waitFor([&] { return playing(c) != kOk; }, 30000));
    EXPECT_GT(sys.stats().feederWakeups, before);
    EXPECT_LE(wakeupsOver200Ms(), 2u);
}

namespace {

// Plays a 100 ms sample and a 150 ms stream on the output, then steps the
// clock 10 ms before each update, sleeping sleepMs of real time on every
// other step; answers the update after which each had ended.
struct Endings {
    int sample = -1;
    int stream = -1;
};

Endings stepUntilBothEnd(TestSystem& sys, platform::ManualClock& clock, int sleepMs)
{
    const Channel sample = sys.play(sys.sample(makeWav(tone(1, 48000, 4800, 440, 0.8), 1, 48000, WavFormat::F32)));
    const Channel stream = sys.play(sys.stream(makeVorbis(tone(2, 44100, 6615, 440, 0.5), 2, 44100)));
    Endings e;
    for (int step = 1; step <= 40 && (e.sample < 0 || e.stream < 0); ++step) {
        if (step % 2 == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(sleepMs));
        clock.advanceMs(10);
        EXPECT_EQ(sys->update(), kOk);
        if (e.sample < 0 && playing(sample) != kOk)
            e.sample = step;
        if (e.stream < 0 && playing(stream) != kOk)
            e.stream = step;
    }
    return e;
}

} // namespace

TEST(SoundOutputs, SteppedDeviceEndsSoundsInClockTimeWhateverThePaceOfTheDevice)
{
    platform::ManualClock clock;
    platform::setClock(&clock);
    Endings silent;
    {
        TestSystem sys(kOutputNoSoundNrt);
        ASSERT_EQ(sys.initResult(), kOk);
        silent = stepUntilBothEnd(sys, clock, 0);
    }
    EXPECT_EQ(silent.sample, 10);
    EXPECT_GE(silent.stream, 15);
    const std::string path = test_env::home() + "/stepped-audio.raw";
    {
        ScopedEnv driver("SDL_AUDIODRIVER", "disk");
        ScopedEnv file("SDL_DISKAUDIOFILE", path);
        // Far more than the sound's length between device buffers, then
        // (below) far less: neither moves the endings.
        for (const char* delay : {"400", "1"}) {
            ScopedEnv pace("SDL_DISKAUDIODELAY", delay);
            TestSystem sys(kOutputStepped);
            ASSERT_EQ(sys.initResult(), kOk) << delay;
            int rate = 0;
            ASSERT_EQ(sys->getOutputRate(&rate), kOk);
            ASSERT_EQ(rate, 48000);
            const Endings stepped = stepUntilBothEnd(sys, clock, 30);
            EXPECT_EQ(stepped.sample, silent.sample) << delay;
            EXPECT_EQ(stepped.stream, silent.stream) << delay;
            // Each update mixed its 10 ms, on this thread.
            EXPECT_EQ(sys.stats().mixedFrames, std::uint64_t(stepped.stream) * 480u) << delay;
            EXPECT_EQ(sys.stats().droppedFrames, 0u) << delay;
            EXPECT_EQ(sys.stats().feederWakeups, 0u) << delay;
            float out[4];
            EXPECT_EQ(sys->mix(out, 2), kErrInvalidParam);
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
        }
    }
    platform::setClock(nullptr);
    // What was mixed reached the device.
    const std::vector<float> samples = readFloats(path);
    ASSERT_GT(samples.size(), 9600u);
    EXPECT_GT(peak(samples, 2, 0), 0.7f);
}

TEST(SoundOutputs, SteppedDeviceBoundsItsQueueAndPassesOverLongStalls)
{
    platform::ManualClock clock;
    platform::setClock(&clock);
    {
        ScopedEnv driver("SDL_AUDIODRIVER", "disk");
        ScopedEnv file("SDL_DISKAUDIOFILE", test_env::home() + "/stalled-audio.raw");
        // A device that takes a buffer a second falls behind the game.
        ScopedEnv pace("SDL_DISKAUDIODELAY", "1000");
        TestSystem sys(kOutputStepped);
        ASSERT_EQ(sys.initResult(), kOk);
        const Channel longSound = sys.play(sys.sample(makeWav(constant(1, 96000, 0.5f), 1, 48000, WavFormat::F32)));
        for (int step = 0; step < 150; ++step) {
            clock.advanceMs(10);
            ASSERT_EQ(sys->update(), kOk);
        }
        // 1.5 s mixed; no more than the queue's half second waits.
        EXPECT_EQ(sys.stats().mixedFrames, 72000u);
        EXPECT_GE(sys.stats().droppedFrames, 72000u - 24000u - 1024u);
        EXPECT_EQ(playing(longSound), kOk);
        // A five-second stall: the voice ends all the same; only the last
        // half second of it is mixed.
        const std::uint64_t mixed = sys.stats().mixedFrames;
        clock.advanceMs(5000);
        ASSERT_EQ(sys->update(), kOk);
        EXPECT_EQ(playing(longSound), kErrInvalidHandle);
        EXPECT_EQ(sys.stats().mixedFrames - mixed, 24000u);
    }
    platform::setClock(nullptr);
}
