#pragma once
// The replay's clock: game time is a fixed start plus 10 ms for every pacing
// sleep of the main thread, so every frame lasts the same on any machine and
// a run repeats exactly. Other threads (the audio device) really sleep and
// only read the time.
#include <atomic>
#include <cstdint>
#include <functional>
#include <thread>

#include "platform/system/clock.h"

class SteppedClock : public platform::Clock {
public:
    static constexpr std::uint32_t kStepMs = 10;
    // Chosen once; any fixed value gives the same run every time.
    static constexpr std::uint32_t kStartMs = 1000000;

    // The thread that constructs the clock is the main thread.
    SteppedClock() : m_mainThread(std::this_thread::get_id()) {}

    std::int64_t counter() override { return std::int64_t(kStartMs + elapsedMs()) * 1000000; }
    std::int64_t frequency() override { return 1000000000; }
    std::uint32_t tickCount() override { return kStartMs + elapsedMs(); }
    // On the main thread: one step, whatever was asked, then onStep.
    void sleep(std::uint32_t ms) override;

    std::uint32_t elapsedMs() const { return m_steps.load(std::memory_order_acquire) * kStepMs; }
    std::uint32_t steps() const { return m_steps.load(std::memory_order_acquire); }

    // Called on the main thread after each step (the replay's watch).
    std::function<void()> onStep;

private:
    std::thread::id m_mainThread;
    std::atomic<std::uint32_t> m_steps{0};
};
