#include <gtest/gtest.h>

#include <cmath>

#include "platform/sound/decoder.h"
#include "support/audio_fixtures.h"

using namespace platform::snd;
using namespace audio_fixtures;
namespace detail = platform::snd::detail;

namespace {

detail::Pcm decode(const std::string& bytes, Result expect = kOk, std::uint64_t cap = kMaxSampleBytes)
{
    detail::Pcm pcm;
    EXPECT_EQ(detail::decodeAll(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), cap, &pcm), expect);
    return pcm;
}

// One second of a 440 Hz tone at 0.5 in every format decodes at that
// frequency and level, with the exact length.
struct ToneCase {
    const char* name;
    int channels;
    int rate;
    std::string (*make)(const std::vector<float>&, int, int);
    double levelTolerance;
    std::uint64_t lengthTolerance;
};

std::string wav8(const std::vector<float>& s, int c, int r) { return makeWav(s, c, r, WavFormat::U8); }
std::string wav16(const std::vector<float>& s, int c, int r) { return makeWav(s, c, r, WavFormat::S16); }
std::string wav32(const std::vector<float>& s, int c, int r) { return makeWav(s, c, r, WavFormat::S32); }
std::string wavF(const std::vector<float>& s, int c, int r) { return makeWav(s, c, r, WavFormat::F32); }
std::string vorbis(const std::vector<float>& s, int c, int r) { return makeVorbis(s, c, r); }
std::string mp3(const std::vector<float>& s, int c, int r) { return makeMp3(s, c, r); }

} // namespace

TEST(SoundDecoders, TonesDecodeAtTheirFrequencyLevelAndExactLength)
{
    const ToneCase cases[] = {
        {"wav8 mono", 1, 22050, wav8, 0.01, 0},     {"wav8 stereo", 2, 44100, wav8, 0.01, 0},
        {"wav16 mono", 1, 44100, wav16, 0.001, 0},  {"wav16 stereo", 2, 48000, wav16, 0.001, 0},
        {"wav32 stereo", 2, 44100, wav32, 0.001, 0}, {"float mono", 1, 48000, wavF, 0.0001, 0},
        {"vorbis mono", 1, 44100, vorbis, 0.02, 0}, {"vorbis stereo", 2, 48000, vorbis, 0.02, 0},
        // One MPEG frame is 1152 frames (576 at 22.05 kHz).
        {"mp3 mono", 1, 22050, mp3, 0.02, 576},     {"mp3 stereo", 2, 44100, mp3, 0.02, 1152},
    };
    for (const ToneCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string bytes = c.make(tone(c.channels, c.rate, std::size_t(c.rate), 440.0, 0.5), c.channels, c.rate);
        ASSERT_FALSE(bytes.empty());
        std::unique_ptr<detail::Decoder> decoder;
        ASSERT_EQ(detail::openDecoder(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), &decoder), kOk);
        EXPECT_EQ(decoder->channels(), c.channels);
        EXPECT_EQ(decoder->rate(), c.rate);
        EXPECT_NEAR(double(decoder->length()), double(c.rate), double(c.lengthTolerance));

        const detail::Pcm pcm = decode(bytes);
        EXPECT_EQ(pcm.frames, decoder->length());
        for (int ch = 0; ch < c.channels; ++ch) {
            EXPECT_NEAR(frequency(pcm.samples, c.channels, ch, c.rate), 440.0, 0.5);
            // Skip the edges, where lossy codecs ramp in and out.
            const std::size_t from = std::size_t(c.rate) / 10;
            const std::size_t to = std::size_t(c.rate) * 9 / 10;
            EXPECT_NEAR(rms(pcm.samples, c.channels, ch, from, to), 0.5 / std::sqrt(2.0), c.levelTolerance);
        }
    }
}

TEST(SoundDecoders, LengthInMillisecondsThroughTheLayer)
{
    TestSystem sys;
    const Sound wav = sys.sample(makeWav(tone(1, 22050, 22050, 440, 0.5), 1, 22050, WavFormat::S16));
    const Sound ogg = sys.sample(makeVorbis(tone(2, 44100, 44100, 440, 0.5), 2, 44100));
    const Sound mp = sys.stream(makeMp3(tone(2, 44100, 44100, 440, 0.5), 2, 44100));
    std::uint32_t ms = 0;
    ASSERT_EQ(wav.getLength(&ms, kTimeUnitMs), kOk);
    EXPECT_EQ(ms, 1000u);
    ASSERT_EQ(ogg.getLength(&ms, kTimeUnitMs), kOk);
    EXPECT_EQ(ms, 1000u);
    ASSERT_EQ(mp.getLength(&ms, kTimeUnitMs), kOk);
    EXPECT_NEAR(double(ms), 1000.0, 1152.0 * 1000.0 / 44100.0);
    ASSERT_EQ(ogg.getLength(&ms, kTimeUnitPcm), kOk);
    EXPECT_EQ(ms, 44100u);
    EXPECT_EQ(ogg.getLength(&ms, 7), kErrInvalidParam);
    EXPECT_EQ(ogg.getLength(nullptr, kTimeUnitMs), kErrInvalidParam);
}

TEST(SoundDecoders, MoreThanTwoChannelsFoldToStereo)
{
    // Four channels in WAV order (front left, front right, back left, back
    // right), each a different constant.
    std::vector<float> quad;
    for (int f = 0; f < 1000; ++f)
        quad.insert(quad.end(), {0.8f, -0.4f, 0.2f, 0.6f});
    const detail::Pcm pcm = decode(makeWav(quad, 4, 48000, WavFormat::F32));
    ASSERT_EQ(pcm.channels, 2);
    ASSERT_EQ(pcm.frames, 1000u);
    EXPECT_NEAR(pcm.samples[0], (0.8f + 0.2f) / 2, 1e-6);
    EXPECT_NEAR(pcm.samples[1], (-0.4f + 0.6f) / 2, 1e-6);

    // Near full scale on all five channels stays within full scale.
    const detail::Pcm five = decode(makeVorbis(constant(5, 48000, 0.9f), 5, 48000));
    ASSERT_EQ(five.channels, 2);
    EXPECT_LE(peak(five.samples, 2, 0), 1.0f);
    EXPECT_GT(rms(five.samples, 2, 0, 4800, 43200), 0.5);
}

TEST(SoundDecoders, BadInputIsRefusedWithACode)
{
    const std::string good = makeWav(tone(1, 8000, 800, 440, 0.5), 1, 8000, WavFormat::S16);
    std::unique_ptr<detail::Decoder> decoder;
    EXPECT_EQ(detail::openDecoder(nullptr, 10, &decoder), kErrInvalidParam);
    EXPECT_EQ(detail::openDecoder(reinterpret_cast<const std::uint8_t*>(good.data()), 0, &decoder), kErrInvalidParam);

    auto refuse = [](std::string bytes, const char* what) {
        SCOPED_TRACE(what);
        decode(bytes, kErrBadFormat);
    };
    refuse("just some text that is no sound at all", "unknown content");
    refuse(std::string(4096, '\0'), "zeros");
    refuse(good.substr(0, 20), "cut WAV header");
    refuse(good.substr(0, 44), "WAV without data");
    std::string noChannels = good;
    noChannels[22] = 0;
    noChannels[23] = 0;
    refuse(noChannels, "0 channels");
    std::string zeroRate = good;
    zeroRate.replace(24, 4, std::string(4, '\0'));
    refuse(zeroRate, "rate 0");
    const std::string tooFast = makeWav(tone(1, 400000, 4000, 440, 0.5), 1, 400000, WavFormat::S16);
    refuse(tooFast, "rate over 384 kHz");
    const std::string ogg = makeVorbis(tone(1, 44100, 44100, 440, 0.5), 1, 44100);
    refuse(ogg.substr(0, 60), "cut Vorbis headers");
    const std::string mp = makeMp3(tone(1, 44100, 44100, 440, 0.5), 1, 44100);
    refuse(mp.substr(0, 3), "cut MP3");
}

TEST(SoundDecoders, DamagedDataPlaysWhatDecodes)
{
    // A WAV whose data chunk claims far more than the file holds is cut to
    // what is there.
    const std::string longClaim = makeWav(tone(1, 8000, 800, 440, 0.5), 1, 8000, WavFormat::S16, 1u << 30);
    const detail::Pcm wav = decode(longClaim);
    EXPECT_EQ(wav.frames, 800u);

    // Garbage inside the audio data of Vorbis and MP3 (past the headers):
    // decoding resynchronises and the tone goes on after the damage.
    for (int kind = 0; kind < 2; ++kind) {
        SCOPED_TRACE(kind == 0 ? "vorbis" : "mp3");
        const auto pcm = tone(1, 44100, 441000, 440, 0.5);
        std::string bytes = kind == 0 ? makeVorbis(pcm, 1, 44100) : makeMp3(pcm, 1, 44100);
        std::size_t from = bytes.size() / 2;
        if (kind == 0) {
            // Inside the body of the Ogg page around the middle.
            const std::size_t page = bytes.rfind("OggS", from);
            ASSERT_NE(page, std::string::npos);
            ASSERT_GT(bytes.find("OggS", page + 4), page + 600);
            from = page + 300;
        }
        for (std::size_t i = from; i < from + 200; ++i)
            bytes[i] = char(i * 7919 % 251);
        const detail::Pcm damaged = decode(bytes);
        EXPECT_GT(damaged.frames, 441000u / 2);
        const std::vector<float> tail(damaged.samples.end() - 22050, damaged.samples.end() - 2000);
        EXPECT_NEAR(frequency(tail, 1, 0, 44100), 440.0, 2.0);
    }
}

TEST(SoundDecoders, SampleSizeCapGivesOutOfMemory)
{
    const std::string bytes = makeWav(tone(2, 48000, 48000, 440, 0.5), 2, 48000, WavFormat::S16);
    decode(bytes, kErrMemory, 48000 * 2 * sizeof(float) - 1);
    decode(bytes, kOk, 48000 * 2 * sizeof(float));

    TestSystem sys;
    test_hooks::setMaxSampleBytes(1000);
    CreateSoundExInfo info = exinfoFor(bytes);
    Sound sound;
    EXPECT_EQ(sys->createSound(bytes.data(), 0x4900, &info, &sound), kErrMemory);
    EXPECT_FALSE(sound);
    // Streams have no cap.
    EXPECT_EQ(sys->createStream(bytes.data(), 0x4880, &info, &sound), kOk);
    test_hooks::reset();
}

TEST(SoundDecoders, SampleAndStreamOfOneFileGiveTheSameSamples)
{
    const auto source = tone(2, 48000, 30000, 1000, 0.7);
    const std::string files[] = {makeWav(source, 2, 48000, WavFormat::S16), makeVorbis(source, 2, 48000),
                                 makeMp3(source, 2, 48000)};
    for (const std::string& bytes : files) {
        TestSystem sys;
        const Channel a = sys.play(sys.sample(bytes));
        const std::vector<float> fromSample = sys.mix(31000);
        bool playing = true;
        EXPECT_EQ(a.isPlaying(&playing), kErrInvalidHandle);
        const Channel b = sys.play(sys.stream(bytes));
        const std::vector<float> fromStream = sys.mix(31000);
        ASSERT_EQ(fromSample.size(), fromStream.size());
        std::size_t differing = 0;
        for (std::size_t i = 0; i < fromSample.size(); ++i)
            differing += std::fabs(fromSample[i] - fromStream[i]) > 1e-6f ? 1 : 0;
        EXPECT_EQ(differing, 0u);
        EXPECT_GT(rms(fromStream, 2, 0), 0.3);
        EXPECT_EQ(sys.stats().streamUnderruns, 0u);
    }
}
