// Samples at another rate than the output's are converted when they load.
// They sound as the interpolation while mixing made them sound (a stream
// of the same sound, which still interpolates while mixing, agrees with
// them), and what a caller sees of them stays in their own frames.
#include <gtest/gtest.h>

#include <cmath>

#include "support/audio_fixtures.h"

using namespace platform::snd;
using namespace audio_fixtures;

namespace {

std::vector<float> played(const std::string& wav, bool stream, std::size_t frames)
{
    TestSystem sys;
    const Channel c = sys.play(stream ? sys.stream(wav) : sys.sample(wav), true);
    EXPECT_EQ(c.setPan(-1.0f), kOk);
    EXPECT_EQ(c.setPaused(false), kOk);
    return sys.mix(frames);
}

float largestDifference(const std::vector<float>& a, const std::vector<float>& b)
{
    float d = a.size() == b.size() ? 0.0f : 1.0f;
    for (std::size_t i = 0; i < std::min(a.size(), b.size()); ++i)
        d = std::max(d, std::fabs(a[i] - b[i]));
    return d;
}

std::uint32_t position(const Channel& c, TimeUnit unit)
{
    std::uint32_t at = 12345;
    EXPECT_EQ(c.getPosition(&at, unit), kOk);
    return at;
}

} // namespace

TEST(SoundRates, ASampleSoundsAsAStreamOfTheSameSound)
{
    for (int rate : {8000, 22050, 44100, 96000}) {
        for (int channels : {1, 2}) {
            // 0.3 s of a tone and its end, in one mix.
            const std::string wav =
                makeWav(tone(channels, rate, std::size_t(rate) * 3 / 10, 440.0, 0.8), channels, rate, WavFormat::F32);
            const auto sample = played(wav, false, 16000);
            const auto stream = played(wav, true, 16000);
            EXPECT_LT(largestDifference(sample, stream), 1.0e-5f) << rate << " Hz, " << channels << " channels";
            EXPECT_NEAR(rms(sample, 2, 0, 0, 14000), 0.8 / std::sqrt(2.0), 0.01);
            EXPECT_EQ(peak(sample, 2, 0, 14401), 0.0f) << "ends after 0.3 s";
        }
    }
}

TEST(SoundRates, PositionsAndLengthStayInTheSoundsOwnFrames)
{
    TestSystem sys;
    // One second rising from 0 to 1 at 22.05 kHz.
    std::vector<float> ramp(22050);
    for (std::size_t i = 0; i < ramp.size(); ++i)
        ramp[i] = float(i) / 22050.0f;
    const Sound sound = sys.sample(makeWav(ramp, 1, 22050, WavFormat::F32));
    std::uint32_t length = 0;
    ASSERT_EQ(sound.getLength(&length, kTimeUnitPcm), kOk);
    EXPECT_EQ(length, 22050u);
    ASSERT_EQ(sound.getLength(&length, kTimeUnitMs), kOk);
    EXPECT_EQ(length, 1000u);
    int channels = 0, rate = 0;
    ASSERT_EQ(sound.getFormat(&channels, &rate), kOk);
    EXPECT_EQ(rate, 22050);

    const Channel c = sys.play(sound, true);
    ASSERT_EQ(c.setPan(-1.0f), kOk);
    ASSERT_EQ(c.setPaused(false), kOk);
    sys.mix(4800);
    EXPECT_EQ(position(c, kTimeUnitPcm), 2205u);
    EXPECT_EQ(position(c, kTimeUnitMs), 100u);
    ASSERT_EQ(c.setPosition(11025, kTimeUnitPcm), kOk);
    EXPECT_EQ(position(c, kTimeUnitPcm), 11025u);
    EXPECT_NEAR(sys.mix(1)[0], 0.5f, 1.0e-4f);
    ASSERT_EQ(c.setPosition(400, kTimeUnitMs), kOk);
    EXPECT_EQ(position(c, kTimeUnitMs), 400u);
    EXPECT_NEAR(sys.mix(1)[0], 0.4f, 1.0e-4f);
    EXPECT_EQ(c.setPosition(22050, kTimeUnitPcm), kErrBadPosition);
    ASSERT_EQ(c.setPosition(22049, kTimeUnitPcm), kOk);
    // The last frames, then the end.
    EXPECT_GT(sys.mix(3)[0], 0.9f);
    bool playing = true;
    EXPECT_EQ(c.isPlaying(&playing), kErrInvalidHandle);
}

TEST(SoundRates, ALoopGoesRoundOnItsOwnStartAndASampleTooLargeForTheOutputRateStillPlays)
{
    // 100 Hz, exactly 10 periods at 22.05 kHz, looped: a steady tone.
    const std::string wav = makeWav(tone(1, 22050, 2205, 100.0, 0.9), 1, 22050, WavFormat::F32);
    auto looped = [&](std::uint64_t byteLimit) {
        test_hooks::setMaxSampleBytes(byteLimit);
        TestSystem sys;
        const Channel c = sys.play(sys.sample(wav), true);
        EXPECT_EQ(c.setMode(kModeLoopNormal), kOk);
        EXPECT_EQ(c.setPan(-1.0f), kOk);
        EXPECT_EQ(c.setPaused(false), kOk);
        auto out = sys.mix(24000);
        test_hooks::setMaxSampleBytes(0);
        return out;
    };
    const auto converted = looped(0);
    float maxStep = 0.0f;
    for (std::size_t f = 1; f < converted.size() / 2; ++f)
        maxStep = std::max(maxStep, std::fabs(converted[2 * f] - converted[2 * f - 2]));
    EXPECT_LT(maxStep, float(2.0 * M_PI * 100.0 / 48000.0 * 0.9 * 1.02));
    EXPECT_NEAR(frequency(converted, 2, 0, 48000), 100.0, 0.1);

    // Room for the sound at its own rate (8820 bytes), not at 48 kHz: it is
    // read with the interpolation while mixing, and sounds the same on its
    // first lap.
    const auto resampled = looped(12000);
    const std::vector<float> firstLap(converted.begin(), converted.begin() + 2 * 4790);
    const std::vector<float> resampledLap(resampled.begin(), resampled.begin() + 2 * 4790);
    EXPECT_LT(largestDifference(firstLap, resampledLap), 1.0e-5f);
    EXPECT_NEAR(frequency(resampled, 2, 0, 48000), 100.0, 0.1);
}
