// Several threads drive one system at once. Run under ThreadSanitizer too
// (see the sound notes of the build: -DA2D_TSAN=ON).
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <random>
#include <set>
#include <thread>

#include "support/audio_fixtures.h"

using namespace platform::snd;
using namespace audio_fixtures;

namespace {

constexpr int kOperations = 3000;
constexpr float kStaleMarker = 0.123f;

struct Shared {
    std::mutex mutex;
    std::vector<Channel> live;     // handed out by the player thread
    std::vector<Channel> retired;  // stopped with success: must never work again
    std::vector<Sound> streams;
};

bool documented(Result r)
{
    static const std::set<Result> codes = {kOk, kErrChannelStolen, kErrInvalidHandle, kErrNoFreeVoice,
                                           kErrBadPosition};
    return codes.count(r) != 0;
}

} // namespace

TEST(SoundStress, ThreeThreadsOnOneSystem)
{
    TestSystem sys;
    std::vector<std::string> sampleData;
    for (int i = 0; i < 4; ++i)
        sampleData.push_back(makeWav(tone(1 + i % 2, 22050 + 11025 * i, 2000 + 3000 * std::size_t(i), 300 + 50 * i, 0.3),
                                     1 + i % 2, 22050 + 11025 * i, WavFormat::S16));
    const std::string streamData = makeVorbis(tone(2, 44100, 44100, 440, 0.4), 2, 44100);
    Shared shared;
    std::vector<Sound> samples;
    for (const auto& d : sampleData)
        samples.push_back(sys.sample(d));
    for (int i = 0; i < 2; ++i)
        shared.streams.push_back(sys.stream(streamData));

    std::atomic<int> undocumented{0};
    std::atomic<int> staleWorked{0};
    std::atomic<bool> stop{false};
    // The mixer runs from before the first operation to after the last, however
    // the threads happen to be scheduled.
    std::atomic<bool> mixing{false};
    const auto waitForMixer = [&] {
        while (!mixing)
            std::this_thread::yield();
    };

    // Plays, stops and releases sounds; makes, moves and releases groups.
    std::thread player([&] {
        waitForMixer();
        std::mt19937 rng(1);
        std::vector<ChannelGroup> groups;
        for (int op = 0; op < kOperations; ++op) {
            const int what = int(rng() % 10);
            Channel c;
            Result r = kOk;
            if (what <= 2) {
                r = sys->playSound(kChannelFree, samples[rng() % samples.size()], false, &c);
            } else if (what == 3) {
                std::lock_guard<std::mutex> lock(shared.mutex);
                if (!shared.live.empty())
                    c = shared.live[rng() % shared.live.size()];
                r = sys->playSound(kChannelReuse, samples[rng() % samples.size()], false, &c);
            } else if (what == 4) {
                Sound s;
                {
                    std::lock_guard<std::mutex> lock(shared.mutex);
                    s = shared.streams[rng() % shared.streams.size()];
                }
                r = sys->playSound(kChannelFree, s, false, &c);
            } else if (what == 5) {
                std::lock_guard<std::mutex> lock(shared.mutex);
                if (!shared.live.empty()) {
                    const std::size_t i = rng() % shared.live.size();
                    const Channel victim = shared.live[i];
                    r = victim.stop();
                    if (r == kOk)
                        shared.retired.push_back(victim);
                    shared.live.erase(shared.live.begin() + std::ptrdiff_t(i));
                }
            } else if (what == 6) {
                // Release a sample and make it again from the same data.
                const std::size_t i = rng() % samples.size();
                r = samples[i].release();
                samples[i] = sys.sample(sampleData[i]);
            } else if (what == 7) {
                ChannelGroup g;
                r = sys->createChannelGroup("stress", &g);
                if (r == kOk && !groups.empty())
                    r = groups[rng() % groups.size()].addGroup(g);
                groups.push_back(g);
            } else if (what == 8 && !groups.empty()) {
                std::lock_guard<std::mutex> lock(shared.mutex);
                if (!shared.live.empty())
                    r = shared.live[rng() % shared.live.size()].setChannelGroup(groups[rng() % groups.size()]);
            } else if (what == 9 && !groups.empty()) {
                const std::size_t i = rng() % groups.size();
                r = groups[i].release();
                groups.erase(groups.begin() + std::ptrdiff_t(i));
            }
            // Cycles refused by addGroup are the one invalid parameter here.
            if (!documented(r) && !(what == 7 && r == kErrInvalidParam))
                ++undocumented;
            if (c) {
                std::lock_guard<std::mutex> lock(shared.mutex);
                shared.live.push_back(c);
                if (shared.live.size() > 200)
                    shared.live.erase(shared.live.begin());
            }
        }
    });

    // Drives the handles the player hands out.
    std::thread driver([&] {
        waitForMixer();
        std::mt19937 rng(2);
        for (int op = 0; op < kOperations; ++op) {
            Channel c;
            bool stale = false;
            {
                std::lock_guard<std::mutex> lock(shared.mutex);
                stale = !shared.retired.empty() && rng() % 4 == 0;
                if (stale)
                    c = shared.retired[rng() % shared.retired.size()];
                else if (!shared.live.empty())
                    c = shared.live[rng() % shared.live.size()];
            }
            Result r;
            bool flag = false;
            std::uint32_t pos = 0;
            if (stale) {
                if (c.setVolume(kStaleMarker) == kOk || c.setPaused(true) == kOk || c.isPlaying(&flag) == kOk)
                    ++staleWorked;
                continue;
            }
            switch (rng() % 6) {
            case 0: r = c.setVolume(float(rng() % 4 + 1) * 0.2f); break;
            case 1: r = c.setPaused(rng() % 2 == 0); break;
            case 2: r = c.isPlaying(&flag); break;
            case 3: r = c.getPosition(&pos, kTimeUnitMs); break;
            case 4: r = c.setPosition(std::uint32_t(rng() % 400), kTimeUnitMs); break;
            default: r = c.setMode(rng() % 2 ? kModeLoopNormal : kModeLoopOff); break;
            }
            if (!documented(r))
                ++undocumented;
        }
    });

    // Mixes without pause.
    std::thread mixer([&] {
        std::vector<float> out(512 * 2);
        while (!stop) {
            if (sys->mix(out.data(), 512) != kOk)
                ++undocumented;
            mixing = true;
            for (float v : out) {
                if (!(v >= -1.0f && v <= 1.0f)) {
                    ++undocumented;
                    break;
                }
            }
        }
    });

    player.join();
    driver.join();
    stop = true;
    mixer.join();

    EXPECT_EQ(undocumented.load(), 0);
    EXPECT_EQ(staleWorked.load(), 0);
    const Stats stats = sys.stats();
    EXPECT_LE(stats.maxVoicesPlaying, 64);
    EXPECT_GT(stats.mixCalls, 0u);
    // No stale handle reached a newer voice.
    for (const Channel& c : shared.live) {
        float v = 0.0f;
        if (c.getVolume(&v) == kOk) {
            EXPECT_NE(v, kStaleMarker);
        }
    }
}
