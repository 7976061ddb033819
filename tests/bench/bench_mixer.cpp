// The mixer against a plain summing loop. 64 voices (mono and stereo at
// 22.05, 44.1 and 48 kHz, half looping, each with its own volume and pan, in
// a three-level group tree, master sound group at 0.8) are mixed through the
// manual output's mix call, lock included, for 60 s of 48 kHz stereo in
// 1024-frame buffers. The baseline sums the same 64 decoded buffers into the
// same kind of accumulator with no resampling, gain, pan or lock, and
// saturates once per buffer. Both are printed as CPU milliseconds per second
// of audio, best of three; exits 1 when the mixer costs more than 10 times
// the baseline.
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "support/audio_fixtures.h"

namespace snd = platform::snd;

namespace {

constexpr int kVoices = 64;
constexpr int kOutputRate = 48000;
constexpr std::uint32_t kBuffer = 1024;
constexpr double kSeconds = 60.0;
constexpr double kLimit = 10.0;
constexpr int kRounds = 3;

double threadCpuMs()
{
    timespec ts;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) * 1000.0 + double(ts.tv_nsec) / 1.0e6;
}

struct VoiceSpec {
    int channels;
    int rate;
    bool loop;
    std::vector<float> pcm;
};

std::vector<VoiceSpec> makeVoices()
{
    const int rates[] = {22050, 44100, 48000};
    std::vector<VoiceSpec> voices;
    for (int i = 0; i < kVoices; ++i) {
        VoiceSpec v;
        v.channels = 1 + i % 2;
        v.rate = rates[(i / 2) % 3];
        v.loop = (i / 6) % 2 == 0;
        // Between 0.5 and 2 s long.
        const std::size_t frames = std::size_t(v.rate) * std::size_t(50 + (i * 37) % 150) / 100;
        v.pcm = audio_fixtures::tone(v.channels, v.rate, frames, 110.0 + 13.0 * i, 0.9);
        voices.push_back(std::move(v));
    }
    return voices;
}

double runMixer(snd::System* system, const std::vector<snd::Sound>& sounds, const std::vector<VoiceSpec>& specs,
                const std::vector<snd::ChannelGroup>& leaves, double& checksum)
{
    std::vector<snd::Channel> channels(sounds.size());
    auto start = [&](std::size_t i) {
        snd::Channel& c = channels[i];
        system->playSound(snd::kChannelFree, sounds[i], true, &c);
        c.setMode(specs[i].loop ? snd::kModeLoopNormal : snd::kModeLoopOff);
        c.setVolume(0.2f + 0.012f * float(i));
        c.setPan(-1.0f + 2.0f * float(i) / float(kVoices - 1));
        c.setChannelGroup(leaves[i % leaves.size()]);
        c.setPaused(false);
    };
    for (std::size_t i = 0; i < sounds.size(); ++i)
        start(i);
    std::vector<float> out(kBuffer * 2);
    const int buffers = int(kSeconds * kOutputRate / kBuffer + 0.5);
    double cpu = 0.0;
    for (int b = 0; b < buffers; ++b) {
        const double t0 = threadCpuMs();
        system->mix(out.data(), kBuffer);
        cpu += threadCpuMs() - t0;
        checksum += double(out[b % (kBuffer * 2)]);
        // Ended sounds start over, so that 64 voices play throughout.
        for (std::size_t i = 0; i < channels.size(); ++i) {
            bool playing = false;
            if (channels[i].isPlaying(&playing) != snd::kOk || !playing)
                start(i);
        }
    }
    snd::ChannelGroup master;
    system->getMasterChannelGroup(&master);
    master.stop();
    return cpu;
}

double runBaseline(const std::vector<VoiceSpec>& specs, double& checksum)
{
    std::vector<double> acc(kBuffer * 2);
    std::vector<float> out(kBuffer * 2);
    std::vector<std::size_t> pos(specs.size(), 0);
    const int buffers = int(kSeconds * kOutputRate / kBuffer + 0.5);
    const double t0 = threadCpuMs();
    for (int b = 0; b < buffers; ++b) {
        std::fill(acc.begin(), acc.end(), 0.0);
        for (std::size_t v = 0; v < specs.size(); ++v) {
            const VoiceSpec& s = specs[v];
            const std::size_t frames = s.pcm.size() / std::size_t(s.channels);
            std::size_t p = pos[v];
            for (std::uint32_t k = 0; k < kBuffer; ++k) {
                if (s.channels == 1) {
                    acc[2 * k] += s.pcm[p];
                    acc[2 * k + 1] += s.pcm[p];
                } else {
                    acc[2 * k] += s.pcm[2 * p];
                    acc[2 * k + 1] += s.pcm[2 * p + 1];
                }
                if (++p == frames)
                    p = 0;
            }
            pos[v] = p;
        }
        for (std::size_t i = 0; i < acc.size(); ++i)
            out[i] = float(std::clamp(acc[i], -1.0, 1.0));
        checksum += double(out[b % (kBuffer * 2)]);
    }
    return threadCpuMs() - t0;
}

} // namespace

int main()
{
    const std::vector<VoiceSpec> specs = makeVoices();
    snd::System* system = nullptr;
    if (snd::createSystem(&system) != snd::kOk || system->setOutput(snd::kOutputManual) != snd::kOk ||
        system->init(kVoices, 0, nullptr) != snd::kOk) {
        std::fprintf(stderr, "bench_mixer: cannot start the sound system\n");
        return 2;
    }

    // Samples from float WAV files decode to exactly the baseline's buffers.
    std::vector<std::string> files;
    std::vector<snd::Sound> sounds;
    for (const VoiceSpec& s : specs) {
        files.push_back(audio_fixtures::makeWav(s.pcm, s.channels, s.rate, audio_fixtures::WavFormat::F32));
        snd::CreateSoundExInfo info = audio_fixtures::exinfoFor(files.back());
        snd::Sound sound;
        if (system->createSound(files.back().data(), 0x4900, &info, &sound) != snd::kOk) {
            std::fprintf(stderr, "bench_mixer: cannot create a sound\n");
            return 2;
        }
        sounds.push_back(sound);
    }

    // Master -> top -> two middles -> four leaves.
    snd::ChannelGroup top;
    system->createChannelGroup("top", &top);
    top.setVolume(0.9f);
    std::vector<snd::ChannelGroup> leaves;
    for (int m = 0; m < 2; ++m) {
        snd::ChannelGroup middle;
        system->createChannelGroup("middle", &middle);
        middle.setVolume(0.8f + 0.1f * float(m));
        top.addGroup(middle);
        for (int l = 0; l < 2; ++l) {
            snd::ChannelGroup leaf;
            system->createChannelGroup("leaf", &leaf);
            leaf.setVolume(0.7f + 0.1f * float(l));
            middle.addGroup(leaf);
            leaves.push_back(leaf);
        }
    }
    snd::SoundGroup masterSound;
    system->getMasterSoundGroup(&masterSound);
    masterSound.setVolume(0.8f);

    double checksum = 0.0;
    double mixer = 1e300;
    double baseline = 1e300;
    for (int round = 0; round < kRounds; ++round) {
        mixer = std::min(mixer, runMixer(system, sounds, specs, leaves, checksum));
        baseline = std::min(baseline, runBaseline(specs, checksum));
    }
    system->release();

    const double mixerPerSecond = mixer / kSeconds;
    const double baselinePerSecond = baseline / kSeconds;
    const double ratio = mixerPerSecond / baselinePerSecond;
    std::printf("mixer:    %.3f CPU ms per second of audio\n", mixerPerSecond);
    std::printf("baseline: %.3f CPU ms per second of audio\n", baselinePerSecond);
    std::printf("ratio:    %.2f (limit %.0f)  [checksum %.3f]\n", ratio, kLimit, checksum);
    return ratio > kLimit ? 1 : 0;
}
