#pragma once
// Sound fixtures made at test time (WAV by hand, Ogg Vorbis and MP3 through
// their encoders) and small measurements on decoded or mixed samples.
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "platform/sound/sound_layer.h"

namespace audio_fixtures {

// Interleaved frames of a sine tone, the same on every channel.
std::vector<float> tone(int channels, int rate, std::size_t frames, double frequency, double amplitude);
// Interleaved frames holding one constant value on every channel.
std::vector<float> constant(int channels, std::size_t frames, float value);

enum class WavFormat { U8, S16, S32, F32 };
// A WAV file of the interleaved samples. declaredDataBytes, when not 0,
// replaces the data chunk's size field (to make a file whose header claims
// more than it holds).
std::string makeWav(const std::vector<float>& samples, int channels, int rate, WavFormat format,
                    std::uint32_t declaredDataBytes = 0);
// Ogg Vorbis (VBR, quality 0..1) and MP3 (CBR, with the LAME tag so that the
// decoder knows the exact length).
std::string makeVorbis(const std::vector<float>& samples, int channels, int rate, float quality = 0.6f);
std::string makeMp3(const std::vector<float>& samples, int channels, int rate, int kbps = 160);

// Frequency from the rising zero crossings of every stride-th sample,
// starting at first.
double frequency(const std::vector<float>& samples, int stride, int first, int rate);
// Root mean square and peak of every stride-th sample from first, over
// [begin, end) frames (end 0 = all).
double rms(const std::vector<float>& samples, int stride, int first, std::size_t begin = 0, std::size_t end = 0);
float peak(const std::vector<float>& samples, int stride, int first, std::size_t begin = 0, std::size_t end = 0);

// A sound-layer system for one test, released with the object. Keeps the
// memory of the streams it makes alive until then.
class TestSystem {
public:
    explicit TestSystem(int output = platform::snd::kOutputManual, int voices = 64);
    ~TestSystem();
    TestSystem(const TestSystem&) = delete;
    TestSystem& operator=(const TestSystem&) = delete;

    platform::snd::System* operator->() const { return m_system; }
    platform::snd::System* get() const { return m_system; }
    platform::snd::Result initResult() const { return m_initResult; }

    // Results other than 0 fail the calling test.
    platform::snd::Sound sample(const std::string& bytes);
    platform::snd::Sound stream(const std::string& bytes);
    platform::snd::Channel play(const platform::snd::Sound& sound, bool paused = false);
    // Mixes frames of stereo through the manual output.
    std::vector<float> mix(std::size_t frames);
    platform::snd::Stats stats() const;

private:
    platform::snd::System* m_system = nullptr;
    platform::snd::Result m_initResult = 0;
    std::deque<std::string> m_streamData;
};

platform::snd::CreateSoundExInfo exinfoFor(const std::string& bytes);

} // namespace audio_fixtures
