#include <gtest/gtest.h>

#include <cmath>

#include "support/audio_fixtures.h"

using namespace platform::snd;
using namespace audio_fixtures;

namespace {

constexpr float kCentre = 0.70710678f;
// Frames of a cut's or a gain change's ramp at 48 kHz.
constexpr std::size_t kRamp = 240;

std::string constantWav(int channels, int rate, std::size_t frames, float value)
{
    return makeWav(constant(channels, frames, value), channels, rate, WavFormat::F32);
}

// Frames of the left channel that are not silent.
std::size_t audibleFrames(const std::vector<float>& out)
{
    std::size_t n = 0;
    for (std::size_t f = 0; f < out.size() / 2; ++f)
        n += out[2 * f] != 0.0f ? 1 : 0;
    return n;
}

std::uint32_t positionMs(const Channel& c)
{
    std::uint32_t ms = 12345;
    EXPECT_EQ(c.getPosition(&ms, kTimeUnitMs), kOk);
    return ms;
}

} // namespace

TEST(SoundMixer, VolumePanAndBalance)
{
    TestSystem sys;
    const Sound mono = sys.sample(constantWav(1, 48000, 48000, 0.5f));
    const Sound stereo = sys.sample(constantWav(2, 48000, 48000, 0.5f));
    // Changes ramp over 5 ms: read the frame after that.
    auto settled = [&] {
        const auto out = sys.mix(kRamp + 1);
        return std::vector<float>(out.end() - 2, out.end());
    };

    const Channel m = sys.play(mono);
    auto out = sys.mix(16);
    EXPECT_FLOAT_EQ(out[0], 0.5f * kCentre);
    EXPECT_FLOAT_EQ(out[1], 0.5f * kCentre);
    ASSERT_EQ(m.setVolume(0.5f), kOk);
    out = settled();
    EXPECT_FLOAT_EQ(out[0], 0.25f * kCentre);
    ASSERT_EQ(m.setPan(-1.0f), kOk);
    out = settled();
    EXPECT_FLOAT_EQ(out[0], 0.25f);
    EXPECT_EQ(out[1], 0.0f);
    ASSERT_EQ(m.setPan(1.0f), kOk);
    out = settled();
    EXPECT_EQ(out[0], 0.0f);
    EXPECT_FLOAT_EQ(out[1], 0.25f);
    // Constant power in between.
    ASSERT_EQ(m.setPan(0.3f), kOk);
    out = settled();
    EXPECT_NEAR(out[0] * out[0] + out[1] * out[1], 0.25 * 0.25, 1e-6);
    EXPECT_GT(out[1], out[0]);
    ASSERT_EQ(m.stop(), kOk);
    sys.mix(kRamp);

    // Stereo pans as a balance: the near side keeps full gain.
    const Channel s = sys.play(stereo);
    out = sys.mix(16);
    EXPECT_FLOAT_EQ(out[0], 0.5f);
    EXPECT_FLOAT_EQ(out[1], 0.5f);
    ASSERT_EQ(s.setPan(0.5f), kOk);
    out = settled();
    EXPECT_FLOAT_EQ(out[0], 0.25f);
    EXPECT_FLOAT_EQ(out[1], 0.5f);
    ASSERT_EQ(s.setPan(-1.0f), kOk);
    out = settled();
    EXPECT_FLOAT_EQ(out[0], 0.5f);
    EXPECT_EQ(out[1], 0.0f);
}

TEST(SoundMixer, ResampledSampleEndsOnTime)
{
    // 0.5 s at 22.05 kHz lasts 24000 frames at 48 kHz, half that at pitch 2.
    TestSystem sys;
    const Sound sound = sys.sample(constantWav(1, 22050, 11025, 0.5f));
    Channel c = sys.play(sound);
    auto out = sys.mix(30000);
    EXPECT_NEAR(double(audibleFrames(out)), 24000.0, 1.0);
    bool playing = true;
    EXPECT_EQ(c.isPlaying(&playing), kErrInvalidHandle);

    ChannelGroup fast;
    ASSERT_EQ(sys->createChannelGroup("fast", &fast), kOk);
    ASSERT_EQ(fast.setPitch(2.0f), kOk);
    c = sys.play(sound, true);
    ASSERT_EQ(c.setChannelGroup(fast), kOk);
    ASSERT_EQ(c.setPaused(false), kOk);
    out = sys.mix(30000);
    EXPECT_NEAR(double(audibleFrames(out)), 12000.0, 1.0);

    // Mixed in small buffers, the end falls in the same place.
    c = sys.play(sound);
    std::size_t audible = 0;
    for (int i = 0; i < 100; ++i)
        audible += audibleFrames(sys.mix(300));
    EXPECT_NEAR(double(audible), 24000.0, 1.0);
}

TEST(SoundMixer, LoopWrapHasNoStep)
{
    // One period of 100 Hz at 44.1 kHz, looped and resampled to 48 kHz.
    TestSystem sys;
    const Sound sound = sys.sample(makeWav(tone(1, 44100, 441, 100.0, 0.9), 1, 44100, WavFormat::F32));
    const Channel c = sys.play(sound, true);
    ASSERT_EQ(c.setMode(kModeLoopNormal), kOk);
    ASSERT_EQ(c.setPan(-1.0f), kOk);
    ASSERT_EQ(c.setPaused(false), kOk);
    const auto out = sys.mix(48000);
    float maxStep = 0.0f;
    for (std::size_t f = 1; f < out.size() / 2; ++f)
        maxStep = std::max(maxStep, std::fabs(out[2 * f] - out[2 * f - 2]));
    // The steepest step of the sine itself, with a little room.
    EXPECT_LT(maxStep, float(2.0 * M_PI * 100.0 / 48000.0 * 0.9 * 1.02));
    EXPECT_NEAR(frequency(out, 2, 0, 48000), 100.0, 0.1);
    bool playing = false;
    ASSERT_EQ(c.isPlaying(&playing), kOk);
    EXPECT_TRUE(playing);
    // Looping off again: it ends at the end of the sound.
    ASSERT_EQ(c.setMode(kModeLoopOff), kOk);
    sys.mix(1000);
    EXPECT_EQ(c.isPlaying(&playing), kErrInvalidHandle);
}

TEST(SoundMixer, PauseHoldsMuteAdvancesSilently)
{
    TestSystem sys;
    const Channel c = sys.play(sys.sample(constantWav(2, 48000, 48000, 0.5f)));
    sys.mix(4800);
    EXPECT_EQ(positionMs(c), 100u);
    // A pause fades out over the ramp; the voice holds its place at once.
    ASSERT_EQ(c.setPaused(true), kOk);
    EXPECT_EQ(positionMs(c), 100u);
    EXPECT_EQ(audibleFrames(sys.mix(4800)), kRamp - 1);
    EXPECT_EQ(positionMs(c), 100u);
    bool flag = false;
    ASSERT_EQ(c.isPlaying(&flag), kOk);
    EXPECT_TRUE(flag);
    ASSERT_EQ(c.setPaused(false), kOk);
    ASSERT_EQ(c.setMute(true), kOk);
    EXPECT_EQ(audibleFrames(sys.mix(4800)), 0u);
    EXPECT_EQ(positionMs(c), 200u);
    ASSERT_EQ(c.getMute(&flag), kOk);
    EXPECT_TRUE(flag);
    ASSERT_EQ(c.setMute(false), kOk);
    EXPECT_EQ(audibleFrames(sys.mix(4800)), 4800u);
    EXPECT_EQ(positionMs(c), 300u);
    // Muting a sounding voice fades it out while it goes on.
    ASSERT_EQ(c.setMute(true), kOk);
    EXPECT_EQ(audibleFrames(sys.mix(4800)), kRamp - 1);
    EXPECT_EQ(positionMs(c), 400u);
}

TEST(SoundMixer, Positions)
{
    TestSystem sys;
    // A ramp, so that a position can be read off the output.
    std::vector<float> ramp(48000);
    for (std::size_t i = 0; i < ramp.size(); ++i)
        ramp[i] = float(i) / 48000.0f;
    const Channel c = sys.play(sys.sample(makeWav(ramp, 1, 48000, WavFormat::F32)));
    ASSERT_EQ(c.setPan(-1.0f), kOk);
    ASSERT_EQ(c.setPosition(250, kTimeUnitMs), kOk);
    EXPECT_EQ(positionMs(c), 250u);
    auto out = sys.mix(4800);
    EXPECT_FLOAT_EQ(out[0], 0.25f);
    EXPECT_EQ(positionMs(c), 350u);
    ASSERT_EQ(c.setPosition(36000, kTimeUnitPcm), kOk);
    out = sys.mix(1);
    EXPECT_FLOAT_EQ(out[0], 0.75f);
    std::uint32_t frames = 0;
    ASSERT_EQ(c.getPosition(&frames, kTimeUnitPcm), kOk);
    EXPECT_EQ(frames, 36001u);

    EXPECT_EQ(c.setPosition(1000, kTimeUnitMs), kErrBadPosition);
    EXPECT_EQ(c.setPosition(48000, kTimeUnitPcm), kErrBadPosition);
    EXPECT_EQ(positionMs(c), 750u);
    EXPECT_EQ(c.setPosition(10, 99), kErrInvalidParam);
}

TEST(SoundMixer, SixtyFourFullScaleVoicesClip)
{
    TestSystem sys;
    const Sound up = sys.sample(constantWav(2, 48000, 4800, 1.0f));
    const Sound down = sys.sample(constantWav(2, 48000, 4800, -1.0f));
    for (int i = 0; i < 64; ++i)
        sys.play(up);
    auto out = sys.mix(256);
    for (float v : out)
        ASSERT_EQ(v, 1.0f);
    ChannelGroup master;
    ASSERT_EQ(sys->getMasterChannelGroup(&master), kOk);
    // The stopped voices' tails take no voice: 64 new ones start at once.
    ASSERT_EQ(master.stop(), kOk);
    for (int i = 0; i < 64; ++i)
        sys.play(down);
    EXPECT_EQ(sys.stats().voicesPlaying, 64);
    sys.mix(kRamp);
    out = sys.mix(256);
    for (float v : out)
        ASSERT_EQ(v, -1.0f);
    EXPECT_EQ(sys.stats().voicesPlaying, 64);
}

TEST(SoundMixer, GainIsTheGroupChainTimesTheMasterSoundGroup)
{
    TestSystem sys;
    ChannelGroup outer;
    ChannelGroup inner;
    ChannelGroup master;
    SoundGroup masterSound;
    ASSERT_EQ(sys->createChannelGroup("outer", &outer), kOk);
    ASSERT_EQ(sys->createChannelGroup("inner", &inner), kOk);
    ASSERT_EQ(outer.addGroup(inner), kOk);
    ASSERT_EQ(sys->getMasterChannelGroup(&master), kOk);
    ASSERT_EQ(sys->getMasterSoundGroup(&masterSound), kOk);
    float v = 0.0f;
    ASSERT_EQ(masterSound.getVolume(&v), kOk);
    EXPECT_EQ(v, 1.0f);

    const Channel c = sys.play(sys.sample(constantWav(2, 48000, 48000, 1.0f)));
    ASSERT_EQ(c.setChannelGroup(inner), kOk);
    ASSERT_EQ(c.setVolume(0.5f), kOk);
    ASSERT_EQ(inner.setVolume(0.5f), kOk);
    ASSERT_EQ(outer.setVolume(0.5f), kOk);
    ASSERT_EQ(master.setVolume(0.5f), kOk);
    ASSERT_EQ(masterSound.setVolume(0.5f), kOk);
    EXPECT_FLOAT_EQ(sys.mix(4)[0], 1.0f / 32.0f);
    ASSERT_EQ(masterSound.setVolume(1.0f), kOk);
    EXPECT_FLOAT_EQ(sys.mix(kRamp + 1)[2 * kRamp], 1.0f / 16.0f);
    // The channel's own volume stays its own.
    ASSERT_EQ(c.getVolume(&v), kOk);
    EXPECT_EQ(v, 0.5f);

    // Setting what is set already (as a caller does every frame) works out
    // no gain anew; a change anywhere in the chain does.
    const std::uint64_t updates = sys.stats().gainUpdates;
    for (int frame = 0; frame < 3; ++frame) {
        ASSERT_EQ(c.setVolume(0.5f), kOk);
        ASSERT_EQ(c.setPan(0.0f), kOk);
        ASSERT_EQ(c.setPaused(false), kOk);
        ASSERT_EQ(c.setMute(false), kOk);
        ASSERT_EQ(inner.setVolume(0.5f), kOk);
        ASSERT_EQ(outer.setPitch(1.0f), kOk);
        ASSERT_EQ(master.setPaused(false), kOk);
        ASSERT_EQ(masterSound.setVolume(1.0f), kOk);
        EXPECT_FLOAT_EQ(sys.mix(4)[0], 1.0f / 16.0f);
    }
    EXPECT_EQ(sys.stats().gainUpdates, updates);
    ASSERT_EQ(outer.setVolume(1.0f), kOk);
    EXPECT_FLOAT_EQ(sys.mix(kRamp + 1)[2 * kRamp], 1.0f / 8.0f);
    EXPECT_EQ(sys.stats().gainUpdates, updates + 1);
}

TEST(SoundMixer, InheritedPauseAndMuteLeaveTheChannelsOwnFlags)
{
    TestSystem sys;
    ChannelGroup parent;
    ChannelGroup child;
    ASSERT_EQ(sys->createChannelGroup("parent", &parent), kOk);
    ASSERT_EQ(sys->createChannelGroup("child", &child), kOk);
    ASSERT_EQ(parent.addGroup(child), kOk);
    const Channel c = sys.play(sys.sample(constantWav(2, 48000, 48000, 0.5f)));
    ASSERT_EQ(c.setChannelGroup(child), kOk);

    ASSERT_EQ(parent.setPaused(true), kOk);
    EXPECT_EQ(audibleFrames(sys.mix(4800)), 0u);
    EXPECT_EQ(positionMs(c), 0u);
    bool flag = true;
    ASSERT_EQ(c.getPaused(&flag), kOk);
    EXPECT_FALSE(flag);
    ASSERT_EQ(child.getPaused(&flag), kOk);
    EXPECT_FALSE(flag);
    ASSERT_EQ(parent.setPaused(false), kOk);

    ASSERT_EQ(parent.setMute(true), kOk);
    EXPECT_EQ(audibleFrames(sys.mix(4800)), 0u);
    EXPECT_EQ(positionMs(c), 100u);
    ASSERT_EQ(c.getMute(&flag), kOk);
    EXPECT_FALSE(flag);
    ASSERT_EQ(parent.setMute(false), kOk);
    EXPECT_EQ(audibleFrames(sys.mix(4800)), 4800u);
}

TEST(SoundMixer, OutOfRangeValuesClampAndNonFiniteOnesAreRefused)
{
    TestSystem sys;
    const Channel c = sys.play(sys.sample(constantWav(2, 48000, 48000, 0.5f)));
    ChannelGroup g;
    ASSERT_EQ(sys->createChannelGroup("g", &g), kOk);
    float v = 0.0f;
    int priority = 0;

    ASSERT_EQ(c.setVolume(0.25f), kOk);
    EXPECT_EQ(c.setVolume(std::nanf("")), kErrInvalidParam);
    EXPECT_EQ(c.setVolume(INFINITY), kErrInvalidParam);
    ASSERT_EQ(c.getVolume(&v), kOk);
    EXPECT_EQ(v, 0.25f);
    ASSERT_EQ(c.setVolume(7.0f), kOk);
    ASSERT_EQ(c.getVolume(&v), kOk);
    EXPECT_EQ(v, 1.0f);
    ASSERT_EQ(c.setPan(-3.0f), kOk);
    ASSERT_EQ(c.getPan(&v), kOk);
    EXPECT_EQ(v, -1.0f);
    EXPECT_EQ(c.setPan(std::nanf("")), kErrInvalidParam);
    ASSERT_EQ(c.setPriority(999), kOk);
    ASSERT_EQ(c.getPriority(&priority), kOk);
    EXPECT_EQ(priority, 256);
    ASSERT_EQ(c.setPriority(-5), kOk);
    ASSERT_EQ(c.getPriority(&priority), kOk);
    EXPECT_EQ(priority, 0);
    EXPECT_EQ(c.setMode(kModeLoopOff | kModeLoopNormal), kErrInvalidParam);

    ASSERT_EQ(g.setPitch(100.0f), kOk);
    ASSERT_EQ(g.getPitch(&v), kOk);
    EXPECT_EQ(v, kPitchMax);
    ASSERT_EQ(g.setPitch(0.0f), kOk);
    ASSERT_EQ(g.getPitch(&v), kOk);
    EXPECT_EQ(v, kPitchMin);
    EXPECT_EQ(g.setPitch(-INFINITY), kErrInvalidParam);
    EXPECT_EQ(g.setVolume(std::nanf("")), kErrInvalidParam);
    ASSERT_EQ(g.setVolume(-1.0f), kOk);
    ASSERT_EQ(g.getVolume(&v), kOk);
    EXPECT_EQ(v, 0.0f);
    SoundGroup master;
    ASSERT_EQ(sys->getMasterSoundGroup(&master), kOk);
    EXPECT_EQ(master.setVolume(std::nanf("")), kErrInvalidParam);
}

namespace {

// Largest step between neighbouring frames of one channel in [from, to).
float largestStep(const std::vector<float>& out, int channel, std::size_t from = 1, std::size_t to = 0)
{
    const std::size_t frames = out.size() / 2;
    float step = 0.0f;
    for (std::size_t f = std::max<std::size_t>(from, 1); f < (to ? to : frames); ++f)
        step = std::max(step, std::fabs(out[2 * f + std::size_t(channel)] - out[2 * f - 2 + std::size_t(channel)]));
    return step;
}

std::vector<float> append(std::vector<float> a, const std::vector<float>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// Amplitude of the frequency in one channel of stereo frames (Goertzel).
double amplitude(const std::vector<float>& out, int channel, double frequency, int rate)
{
    const std::size_t n = out.size() / 2;
    const double w = 2.0 * M_PI * frequency / rate;
    const double coeff = 2.0 * std::cos(w);
    double s1 = 0.0;
    double s2 = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
        const double s = double(out[2 * i + std::size_t(channel)]) + coeff * s1 - s2;
        s2 = s1;
        s1 = s;
    }
    const double re = s1 - s2 * std::cos(w);
    const double im = s2 * std::sin(w);
    return 2.0 * std::sqrt(re * re + im * im) / double(n);
}

double dB(double ratio) { return 20.0 * std::log10(ratio); }

} // namespace

TEST(SoundMixer, CutsAndGainChangesRampInsteadOfStepping)
{
    // A full-scale 1 kHz tone at 48 kHz, hard left: its own largest step is
    // about 0.13. Frame 12 of every 48 is a peak.
    const std::vector<float> source = tone(1, 48000, 48000, 1000.0, 1.0);
    float toneStep = 0.0f;
    for (std::size_t i = 1; i < source.size(); ++i)
        toneStep = std::max(toneStep, std::fabs(source[i] - source[i - 1]));
    const float limit = toneStep * 1.001f;
    TestSystem sys;
    const Sound sound = sys.sample(makeWav(source, 1, 48000, WavFormat::F32));
    auto start = [&] {
        const Channel c = sys.play(sound, true);
        EXPECT_EQ(c.setMode(kModeLoopNormal), kOk);
        EXPECT_EQ(c.setPan(-1.0f), kOk);
        EXPECT_EQ(c.setPaused(false), kOk);
        return c;
    };
    bool flag = false;

    // Stop at a peak: the channel is gone at once, the sound fades out over
    // 5 ms and then nothing.
    Channel c = start();
    std::vector<float> out = sys.mix(48 + 12);
    ASSERT_EQ(c.stop(), kOk);
    EXPECT_EQ(c.isPlaying(&flag), kErrInvalidHandle);
    EXPECT_EQ(sys.stats().voicesPlaying, 0);
    out = append(out, sys.mix(2 * kRamp));
    EXPECT_LE(largestStep(out, 0), limit);
    EXPECT_GT(rms(out, 2, 0, 60, 60 + kRamp / 2), 0.3);
    EXPECT_EQ(peak(out, 2, 0, 60 + kRamp, 60 + 2 * kRamp), 0.0f);

    // Pause and resume at peaks: the voice holds its place at once.
    c = start();
    out = sys.mix(60);
    ASSERT_EQ(c.setPaused(true), kOk);
    std::uint32_t at = 0;
    ASSERT_EQ(c.getPosition(&at, kTimeUnitPcm), kOk);
    EXPECT_EQ(at, 60u);
    out = append(out, sys.mix(2 * kRamp));
    ASSERT_EQ(c.getPosition(&at, kTimeUnitPcm), kOk);
    EXPECT_EQ(at, 60u);
    ASSERT_EQ(c.setPaused(false), kOk);
    out = append(out, sys.mix(2 * kRamp));
    EXPECT_LE(largestStep(out, 0), limit);
    EXPECT_EQ(peak(out, 2, 0, 60 + kRamp, 60 + 2 * kRamp), 0.0f);
    EXPECT_GT(peak(out, 2, 0, 60 + 3 * kRamp, 60 + 4 * kRamp), 0.99f);

    // Volume to 0 and back, a pan across, a muted group: each a ramp.
    ChannelGroup master;
    ASSERT_EQ(sys->getMasterChannelGroup(&master), kOk);
    out = sys.mix(36);
    ASSERT_EQ(c.setVolume(0.0f), kOk);
    out = append(out, sys.mix(kRamp + 12));
    EXPECT_EQ(peak(out, 2, 0, 36 + kRamp), 0.0f);
    ASSERT_EQ(c.setVolume(1.0f), kOk);
    out = append(out, sys.mix(kRamp + 12));
    ASSERT_EQ(c.setPan(1.0f), kOk);
    out = append(out, sys.mix(kRamp + 12));
    ASSERT_EQ(c.setPan(-1.0f), kOk);
    ASSERT_EQ(master.setMute(true), kOk);
    out = append(out, sys.mix(kRamp + 12));
    ASSERT_EQ(master.setMute(false), kOk);
    out = append(out, sys.mix(kRamp + 12));
    EXPECT_LE(largestStep(out, 0), limit);
    EXPECT_LE(largestStep(out, 1), limit);
    ASSERT_EQ(c.stop(), kOk);
    sys.mix(kRamp);

    // A voice taken for another sound fades out; its channel answers
    // "stolen" at once.
    {
        TestSystem one(kOutputManual, 1);
        const Sound loud = one.sample(makeWav(source, 1, 48000, WavFormat::F32));
        const Sound quiet = one.sample(constantWav(1, 48000, 4800, 0.0f));
        const Channel victim = one.play(loud, true);
        ASSERT_EQ(victim.setPan(-1.0f), kOk);
        ASSERT_EQ(victim.setPaused(false), kOk);
        out = one.mix(60);
        one.play(quiet);
        EXPECT_EQ(victim.isPlaying(&flag), kErrChannelStolen);
        out = append(out, one.mix(2 * kRamp));
        EXPECT_LE(largestStep(out, 0), limit);
        EXPECT_GT(rms(out, 2, 0, 60, 60 + kRamp / 2), 0.3);
    }

    // A fade never outlasts the sound: stopped 96 frames before its end,
    // nothing sounds after it.
    const Sound once = sys.sample(makeWav(std::vector<float>(source.begin(), source.begin() + 4800), 1, 48000,
                                          WavFormat::F32));
    c = sys.play(once, true);
    ASSERT_EQ(c.setPan(-1.0f), kOk);
    ASSERT_EQ(c.setPaused(false), kOk);
    out = sys.mix(4800 - 96);
    ASSERT_EQ(c.stop(), kOk);
    out = append(out, sys.mix(2 * kRamp));
    EXPECT_LE(largestStep(out, 0), limit);
    EXPECT_GT(peak(out, 2, 0, 4800 - 96, 4800), 0.1f);
    EXPECT_EQ(peak(out, 2, 0, 4800), 0.0f);
}

TEST(SoundMixer, ResamplingKeepsImagesFarBelowTheTone)
{
    // One second of each tone at 22.05 kHz, looped (a whole number of
    // periods), mixed hard left to 48 kHz; one second is measured after the
    // start.
    auto mixed = [](double frequency) {
        TestSystem sys;
        const Channel c =
            sys.play(sys.sample(makeWav(tone(1, 22050, 22050, frequency, 0.5), 1, 22050, WavFormat::F32)), true);
        EXPECT_EQ(c.setMode(kModeLoopNormal), kOk);
        EXPECT_EQ(c.setPan(-1.0f), kOk);
        EXPECT_EQ(c.setPaused(false), kOk);
        sys.mix(4800);
        return sys.mix(48000);
    };
    const std::vector<float> out = mixed(2000.0);
    const double level = amplitude(out, 0, 2000.0, 48000);
    EXPECT_NEAR(level, 0.5, 0.01);
    // Images of 2 kHz around 22.05 kHz: 20.05 kHz and 24.05 kHz, which folds
    // to 23.95 kHz at 48 kHz.
    double image = 0.0;
    for (double f = 19800.0; f <= 20300.0; f += 5.0)
        image = std::max(image, amplitude(out, 0, f, 48000));
    for (double f = 23700.0; f <= 24000.0; f += 5.0)
        image = std::max(image, amplitude(out, 0, f, 48000));
    EXPECT_LT(dB(image / level), -60.0);

    // 1 kHz keeps its level: straight-line interpolation gives
    // sinc^2(1000 / 22050), -0.06 dB, and this stays within 0.5 dB of it.
    const double linear = dB(std::pow(std::sin(M_PI * 1000.0 / 22050.0) / (M_PI * 1000.0 / 22050.0), 2.0));
    EXPECT_NEAR(dB(amplitude(mixed(1000.0), 0, 1000.0, 48000) / 0.5), linear, 0.5);
}
