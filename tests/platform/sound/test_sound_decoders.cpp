#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <mutex>

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

namespace {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*)(const volatile void*, std::size_t),
                                                         void (*)(const volatile void*));
std::atomic<bool> g_watching{false};
std::atomic<std::size_t> g_largest{0};

// The largest single allocation of any thread while alive.
class LargestAllocation {
public:
    LargestAllocation()
    {
        static const bool installed = __sanitizer_install_malloc_and_free_hooks(
                                          [](const volatile void*, std::size_t size) {
                                              if (!g_watching)
                                                  return;
                                              std::size_t seen = g_largest;
                                              while (size > seen && !g_largest.compare_exchange_weak(seen, size)) {
                                              }
                                          },
                                          [](const volatile void*) {}) != 0;
        EXPECT_TRUE(installed);
        g_largest = 0;
        g_watching = true;
    }
    ~LargestAllocation() { g_watching = false; }
    std::size_t bytes() const { return g_largest; }
};
#else
class LargestAllocation {
public:
    std::size_t bytes() const { return 0; }
};
#endif

// The log sink's lines for the scope.
class LogLines {
public:
    LogLines()
    {
        setLogSink([this](const std::string& line) {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_lines.push_back(line);
        });
    }
    ~LogLines() { setLogSink(nullptr); }
    std::string all()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        std::string text;
        for (const std::string& l : m_lines)
            text += l + "\n";
        m_lines.clear();
        return text;
    }

private:
    std::mutex m_mutex;
    std::vector<std::string> m_lines;
};

void set32(std::string& s, std::size_t at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        s[at + std::size_t(i)] = char(v >> (8 * i));
}

} // namespace

TEST(SoundDecoders, SizesFromTheFileAreCheckedBeforeAnythingIsAllocated)
{
    LogLines log;
    const std::string wav = makeWav(tone(1, 8000, 800, 440, 0.5), 1, 8000, WavFormat::S16);
    auto load = [](const std::string& bytes, const char* name, Result expect, std::uint64_t frames) {
        SCOPED_TRACE(name);
        TestSystem sys;
        CreateSoundExInfo info = exinfoFor(bytes);
        info.name = name;
        LargestAllocation largest;
        Sound sound;
        ASSERT_EQ(sys->createSound(bytes.data(), 0x4900, &info, &sound), expect);
        EXPECT_LT(largest.bytes(), std::size_t(16) << 20);
        if (expect != kOk)
            return;
        std::uint32_t length = 0;
        ASSERT_EQ(sound.getLength(&length, kTimeUnitPcm), kOk);
        // Lossy data ends on a whole block.
        EXPECT_NEAR(double(length), double(frames), 1024.0);
    };

    // A data chunk declaring 4 GiB plays the 800 frames there, with a line.
    std::string cut = wav;
    set32(cut, 40, 0xFFFFFFFF);
    load(cut, "cut.wav", kOk, 800);
    std::string lines = log.all();
    EXPECT_NE(lines.find("Sound \"cut.wav\": WAV file cut short"), std::string::npos) << lines;
    EXPECT_NE(lines.find("4294967295 bytes, 1600 are there"), std::string::npos) << lines;
    // So does a file cut inside its samples.
    load(wav.substr(0, 44 + 1001), "short.wav", kOk, 500);
    EXPECT_NE(log.all().find("\"short.wav\": WAV file cut short"), std::string::npos);

    // Headers that cannot be right are refused, each with a line.
    struct Bad {
        const char* name;
        std::size_t at;
        std::uint32_t value;
        const char* why;
    };
    const Bad bad[] = {
        {"fmt-huge.wav", 16, 0xFFFFFFF0, "the format chunk runs past the end"},
        {"fmt-short.wav", 16, 12, "the format chunk is shorter than 16 bytes"},
        {"odd-chunk.wav", 12, 0x6B6E756A, "no format chunk"},  // "junk" in place of "fmt "
        {"no-data.wav", 36, 0x61746164 + 1, "no data chunk"},
        {"empty.wav", 40, 0, "the data chunk is empty"},
    };
    for (const Bad& b : bad) {
        std::string bytes = wav;
        set32(bytes, b.at, b.value);
        load(bytes, b.name, kErrBadFormat, 0);
        lines = log.all();
        EXPECT_NE(lines.find(std::string("Sound \"") + b.name + "\": not a usable WAV file: " + b.why),
                  std::string::npos)
            << lines;
    }
    load("RIFF\x04\0\0\0WAVE", "tiny.wav", kErrBadFormat, 0);
    EXPECT_NE(log.all().find("\"tiny.wav\""), std::string::npos);


    // An ID3v2 tag declaring 256 MiB in front of 2 KiB of data.
    const std::string id3 = std::string("ID3\x03\0\0\x7F\x7F\x7F\x7F", 10) + std::string(2048, '\x55');
    load(id3, "tag.mp3", kErrBadFormat, 0);
    EXPECT_NE(log.all().find("Sound \"tag.mp3\": not a readable MP3 file"), std::string::npos);
    // A tag of its true size in front of real frames is skipped.
    const std::string mp3 = makeMp3(tone(1, 44100, 44100, 440, 0.5), 1, 44100);
    load(std::string("ID3\x03\0\0\0\0\0\x10", 10) + std::string(16, '\0') + mp3, "tagged.mp3", kOk, 44100);
}
