// The replay's stepped clock: every main-thread sleep is one 10 ms step,
// other threads sleep for real and move nothing; timers read the steps.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "engine/util/a_timer.h"
#include "stepped_clock.h"

TEST(SteppedClock, MainThreadStepsOtherThreadsSleep)
{
    SteppedClock clock;
    int watched = 0;
    clock.onStep = [&] { ++watched; };
    EXPECT_EQ(clock.tickCount(), SteppedClock::kStartMs);
    EXPECT_EQ(clock.counter(), std::int64_t(SteppedClock::kStartMs) * 1000000);

    // Whatever is asked, one step; nothing really waits.
    const auto before = std::chrono::steady_clock::now();
    for (std::uint32_t ms : {0u, 1u, 16u, 33u, 2000u})
        clock.sleep(ms);
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(500));
    EXPECT_EQ(clock.steps(), 5u);
    EXPECT_EQ(watched, 5);
    EXPECT_EQ(clock.tickCount(), SteppedClock::kStartMs + 50);
    EXPECT_EQ(clock.counter() / (clock.frequency() / 1000), std::int64_t(SteppedClock::kStartMs) + 50);

    // Another thread sleeps for real and steps nothing, while reading time.
    std::uint32_t seen = 0;
    std::chrono::steady_clock::duration slept{};
    std::thread worker([&] {
        const auto t0 = std::chrono::steady_clock::now();
        clock.sleep(30);
        slept = std::chrono::steady_clock::now() - t0;
        seen = clock.tickCount();
    });
    worker.join();
    EXPECT_GE(slept, std::chrono::milliseconds(30));
    EXPECT_EQ(seen, SteppedClock::kStartMs + 50);
    EXPECT_EQ(clock.steps(), 5u);
    EXPECT_EQ(watched, 5);

    // The engine's timers see exactly the steps.
    platform::setClock(&clock);
    aTimer timer(aTimer::PerformanceCounter);
    clock.sleep(7);
    clock.sleep(7);
    EXPECT_FLOAT_EQ(timer.getTime(), 0.02f);
    platform::setClock(nullptr);
}
