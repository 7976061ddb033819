// The mixer against a plain summing loop, and the SDL output against a bare
// SDL device.
//
// Mixing: 64 voices (mono and stereo at 22.05, 44.1 and 48 kHz, half
// looping, each with its own volume and pan, in a three-level group tree,
// master sound group at 0.8) are mixed through the manual output's mix call,
// lock included, into 1024-frame buffers of 48 kHz stereo. The baseline sums
// the same 64 decoded buffers into the same kind of accumulator with no
// resampling, gain, pan or lock, and saturates once per buffer. The two take
// turns of equal length, timed by the thread's CPU time; both are printed
// as CPU milliseconds per second of audio, with the median of the turns'
// ratios against a limit of 10.
//
// One rate: the same 64 voices all mono at 22.05 kHz, and all at 48 kHz
// (samples, converted to the output rate when they load), mixed the same
// way in turns; the 22.05 kHz mix against the 48 kHz one, limit 1.2.
//
// Output: the process's CPU per second of audio while the SDL output (dummy
// driver) runs idle (nothing playing; ten one-second slices) and busy (the
// 64 voices, all looping; 5 s), against an SDL audio device opened the same
// way with a callback that does nothing (idle and empty alternate, the
// median of the pairs' ratios against a limit of 1.3).
//
// Exits 1 when a figure misses its limit, 2 when it cannot run. "--smoke"
// mixes a buffer each and runs the output a second each, judging nothing.
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

#include "platform/sound/sound_core.h"
#include "support/audio_fixtures.h"
#include "bench_report.h"

namespace snd = platform::snd;

namespace {

constexpr int kVoices = 64;
constexpr int kOutputRate = 48000;
constexpr std::uint32_t kBuffer = 1024;
constexpr double kLimit = 10.0;
constexpr double kRateLimit = 1.2;
// Turns, seconds per side and turn, seconds of output per slice ("--smoke"
// shortens them).
int g_turns = 15;
double g_turn = 0.1;
int g_outputSeconds = 5;

double cpuMs(clockid_t clock)
{
    timespec ts;
    clock_gettime(clock, &ts);
    return double(ts.tv_sec) * 1000.0 + double(ts.tv_nsec) / 1.0e6;
}

struct VoiceSpec {
    int channels;
    int rate;
    bool loop;
    std::vector<float> pcm;
};

// The 64 voices of makeVoices, all mono at one rate.
std::vector<VoiceSpec> makeMonoVoices(int rate)
{
    std::vector<VoiceSpec> voices;
    for (int i = 0; i < kVoices; ++i) {
        VoiceSpec v;
        v.channels = 1;
        v.rate = rate;
        v.loop = (i / 6) % 2 == 0;
        const std::size_t frames = std::size_t(v.rate) * std::size_t(50 + (i * 37) % 150) / 100;
        v.pcm = audio_fixtures::tone(1, v.rate, frames, 110.0 + 13.0 * i, 0.9);
        voices.push_back(std::move(v));
    }
    return voices;
}

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

// The sounds of the voices and the leaves of the group tree, in one system.
struct Scene {
    std::vector<snd::Sound> sounds;
    std::vector<snd::ChannelGroup> leaves;
};

bool buildScene(snd::System* system, const std::vector<VoiceSpec>& specs, Scene& scene)
{
    // Samples from float WAV files decode to exactly the baseline's buffers.
    for (const VoiceSpec& s : specs) {
        const std::string file =
            audio_fixtures::makeWav(s.pcm, s.channels, s.rate, audio_fixtures::WavFormat::F32);
        snd::CreateSoundExInfo info = audio_fixtures::exinfoFor(file);
        snd::Sound sound;
        if (system->createSound(file.data(), 0x4900, &info, &sound) != snd::kOk)
            return false;
        scene.sounds.push_back(sound);
    }
    // Master -> top -> two middles -> four leaves.
    snd::ChannelGroup top;
    system->createChannelGroup("top", &top);
    top.setVolume(0.9f);
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
            scene.leaves.push_back(leaf);
        }
    }
    snd::SoundGroup masterSound;
    system->getMasterSoundGroup(&masterSound);
    masterSound.setVolume(0.8f);
    return true;
}

snd::Channel startVoice(snd::System* system, const Scene& scene, std::size_t i, bool loop)
{
    snd::Channel c;
    system->playSound(snd::kChannelFree, scene.sounds[i], true, &c);
    c.setMode(loop ? snd::kModeLoopNormal : snd::kModeLoopOff);
    c.setVolume(0.2f + 0.012f * float(i));
    c.setPan(-1.0f + 2.0f * float(i) / float(kVoices - 1));
    c.setChannelGroup(scene.leaves[i % scene.leaves.size()]);
    c.setPaused(false);
    return c;
}

void stopAll(snd::System* system)
{
    snd::ChannelGroup master;
    system->getMasterChannelGroup(&master);
    master.stop();
}

// The mixer of a system playing the scene's voices, a buffer a step.
// Ended sounds start over (untimed, in restart), so that 64 voices play
// throughout.
struct MixerRun {
    snd::System* system;
    const Scene& scene;
    const std::vector<VoiceSpec>& specs;
    double& checksum;
    std::vector<snd::Channel> channels;
    std::vector<float> out = std::vector<float>(kBuffer * 2);
    std::uint32_t buffers = 0;

    MixerRun(snd::System* sys, const Scene& sc, const std::vector<VoiceSpec>& sp, double& sum)
        : system(sys), scene(sc), specs(sp), checksum(sum), channels(sc.sounds.size())
    {
        for (std::size_t i = 0; i < channels.size(); ++i)
            channels[i] = startVoice(system, scene, i, specs[i].loop);
    }
    ~MixerRun() { stopAll(system); }
    void step()
    {
        system->mix(out.data(), kBuffer);
        checksum += double(out[buffers++ % (kBuffer * 2)]);
    }
    void restart()
    {
        for (std::size_t i = 0; i < channels.size(); ++i) {
            bool playing = false;
            if (channels[i].isPlaying(&playing) != snd::kOk || !playing)
                channels[i] = startVoice(system, scene, i, specs[i].loop);
        }
    }
};

// The baseline: the same decoded buffers summed, a buffer a step.
struct BaselineRun {
    const std::vector<VoiceSpec>& specs;
    double& checksum;
    std::vector<double> acc = std::vector<double>(kBuffer * 2);
    std::vector<float> out = std::vector<float>(kBuffer * 2);
    std::vector<std::size_t> pos = std::vector<std::size_t>(specs.size(), 0);
    std::uint32_t buffers = 0;

    void step()
    {
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
        checksum += double(out[buffers++ % (kBuffer * 2)]);
    }
};

// Process CPU milliseconds per second of wall time (= of audio played) while
// this thread sleeps.
double processCpuPerSecond(std::chrono::milliseconds span)
{
    const auto wall0 = std::chrono::steady_clock::now();
    const double cpu0 = cpuMs(CLOCK_PROCESS_CPUTIME_ID);
    std::this_thread::sleep_for(span);
    const double cpu = cpuMs(CLOCK_PROCESS_CPUTIME_ID) - cpu0;
    const std::chrono::duration<double> wall = std::chrono::steady_clock::now() - wall0;
    return cpu / wall.count();
}

// Idle output against the empty device, in alternating one-second slices
// (2 * g_outputSeconds of each), each measured once its device has run for
// a settling moment. Each side costs about a millisecond a second, mostly
// the device thread's wake-ups, whose cost swings by half from one second to
// the next; the figure is the median of the slice pairs' ratios, so a
// machine whose load drifts weighs on both alike. idle and empty are the
// sides' medians. False when a device does not open.
bool idleAgainstEmpty(double& idle, double& empty, double& ratio)
{
    constexpr auto kSettle = std::chrono::milliseconds(100);
    std::vector<double> idles;
    std::vector<double> empties;
    std::vector<double> ratios;
    const int pairs = g_outputSeconds == 1 ? 1 : 2 * g_outputSeconds;
    for (int slice = 0; slice < pairs; ++slice) {
        snd::detail::SdlOutput device(nullptr, false);
        int rate = 0;
        if (device.open(&rate) != snd::kOk)
            return false;
        device.start();
        std::this_thread::sleep_for(kSettle);
        empties.push_back(processCpuPerSecond(std::chrono::seconds(1)));
        device.close();

        snd::System* system = nullptr;
        if (snd::createSystem(&system) != snd::kOk)
            return false;
        if (system->setOutput(snd::kOutputAutoDetect) != snd::kOk || system->init(kVoices, 0, nullptr) != snd::kOk) {
            system->release();
            return false;
        }
        std::this_thread::sleep_for(kSettle);
        idles.push_back(processCpuPerSecond(std::chrono::seconds(1)));
        system->release();
        ratios.push_back(empties.back() > 0.0 ? idles.back() / empties.back() : 0.0);
    }
    idle = benchMedian(idles);
    empty = benchMedian(empties);
    ratio = benchMedian(ratios);
    return true;
}

// The 64 voices, all looping, through the SDL output for g_outputSeconds.
bool busyOutput(const std::vector<VoiceSpec>& specs, double& busy, int& playing)
{
    snd::System* system = nullptr;
    if (snd::createSystem(&system) != snd::kOk)
        return false;
    Scene scene;
    if (system->setOutput(snd::kOutputAutoDetect) != snd::kOk || system->init(kVoices, 0, nullptr) != snd::kOk ||
        !buildScene(system, specs, scene)) {
        system->release();
        return false;
    }
    for (std::size_t i = 0; i < scene.sounds.size(); ++i)
        startVoice(system, scene, i, true);
    busy = processCpuPerSecond(std::chrono::seconds(g_outputSeconds));
    snd::Stats stats;
    system->getStats(&stats);
    playing = stats.voicesPlaying;
    system->release();
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    const bool smoke = argc > 1 && std::strcmp(argv[1], "--smoke") == 0;
    if (smoke) {
        g_turns = 1;
        g_turn = 0.0;
        g_outputSeconds = 1;
    }
    const std::vector<VoiceSpec> specs = makeVoices();
    snd::System* system = nullptr;
    Scene scene;
    if (snd::createSystem(&system) != snd::kOk || system->setOutput(snd::kOutputManual) != snd::kOk ||
        system->init(kVoices, 0, nullptr) != snd::kOk || !buildScene(system, specs, scene)) {
        std::fprintf(stderr, "bench_mixer: cannot start the sound system\n");
        return 2;
    }
    double checksum = 0.0;
    // CPU ms per second of audio from seconds per buffer.
    const double perSecond = 1000.0 * kOutputRate / kBuffer;
    double mixerPerSecond = 0.0, baselinePerSecond = 0.0, ratio = 0.0;
    {
        MixerRun mixer(system, scene, specs, checksum);
        BaselineRun baseline{specs, checksum};
        const BenchTurns turns = benchTurns(g_turns, g_turn, CLOCK_THREAD_CPUTIME_ID,
                                            {[&] { mixer.step(); }, [&] { baseline.step(); }},
                                            [&] { mixer.restart(); });
        mixerPerSecond = turns.median(0) * perSecond;
        baselinePerSecond = turns.median(1) * perSecond;
        ratio = turns.ratio(0, 1);
    }
    system->release();
    std::printf("mixer:    %.3f CPU ms per second of audio\n", mixerPerSecond);
    std::printf("baseline: %.3f CPU ms per second of audio\n", baselinePerSecond);
    std::printf("ratio:    %.2f (limit %.0f: %s)  [checksum %.3f]\n", ratio, kLimit,
                ratio <= kLimit ? "within" : "over", checksum);
    std::fflush(stdout);

    // 22.05 kHz against 48 kHz, each voice of one rate.
    snd::System* systems[2] = {};
    Scene monoScenes[2];
    const std::vector<VoiceSpec> mono[2] = {makeMonoVoices(22050), makeMonoVoices(48000)};
    for (int r = 0; r < 2; ++r) {
        if (snd::createSystem(&systems[r]) != snd::kOk || systems[r]->setOutput(snd::kOutputManual) != snd::kOk ||
            systems[r]->init(kVoices, 0, nullptr) != snd::kOk || !buildScene(systems[r], mono[r], monoScenes[r])) {
            std::fprintf(stderr, "bench_mixer: cannot start the sound system\n");
            return 2;
        }
    }
    double perRate[2] = {}, rateRatio = 0.0;
    {
        MixerRun low(systems[0], monoScenes[0], mono[0], checksum), high(systems[1], monoScenes[1], mono[1], checksum);
        const BenchTurns turns = benchTurns(g_turns, g_turn, CLOCK_THREAD_CPUTIME_ID,
                                            {[&] { low.step(); }, [&] { high.step(); }}, [&] {
                                                low.restart();
                                                high.restart();
                                            });
        perRate[0] = turns.median(0) * perSecond;
        perRate[1] = turns.median(1) * perSecond;
        rateRatio = turns.ratio(0, 1);
    }
    for (snd::System* sys : systems)
        sys->release();
    std::printf("64 mono voices at 22.05 kHz: %.3f CPU ms per second of audio\n", perRate[0]);
    std::printf("64 mono voices at 48 kHz:    %.3f CPU ms per second of audio\n", perRate[1]);
    std::printf("22.05 / 48 kHz: %.2fx (limit %.1f: %s)\n", rateRatio, kRateLimit,
                rateRatio <= kRateLimit ? "within" : "over");
    std::fflush(stdout);

    // The dummy driver paces its callbacks like a real device, with no sound card.
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    double empty = 0.0;
    double idle = 0.0;
    double idleRatio = 0.0;
    double busy = 0.0;
    int playing = 0;
    if (!idleAgainstEmpty(idle, empty, idleRatio) || !busyOutput(specs, busy, playing)) {
        std::fprintf(stderr, "bench_mixer: cannot open the SDL dummy output\n");
        return 2;
    }
    std::printf("SDL output, process CPU ms per second of audio (medians; busy over %d s):\n", g_outputSeconds);
    std::printf("  empty callback:  %.3f\n", empty);
    std::printf("  idle:            %.3f (%.2fx the empty callback; limit 1.3)\n", idle, idleRatio);
    std::printf("  busy, %d voices: %.3f\n", playing, busy);
    if (smoke)
        return 0;
    const bool mixMet = benchFigure("mixer / baseline", ratio, kLimit);
    const bool rateMet = benchFigure("64 mono voices 22.05 / 48 kHz", rateRatio, kRateLimit);
    return benchFigure("idle output / empty callback", idleRatio, 1.3) && mixMet && rateMet ? 0 : 1;
}
