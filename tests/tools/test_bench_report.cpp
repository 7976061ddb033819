// The benchmarks' figures: a side that measured no time, or did no work,
// misses its figure, saying so.
#include <gtest/gtest.h>
#include <pthread.h>

#include <chrono>
#include <cmath>
#include <future>
#include <string>
#include <thread>

#include "bench/bench_report.h"

namespace {

std::function<void()> spin(volatile double& sink, int steps)
{
    return [&sink, steps] {
        for (int i = 0; i < steps; ++i)
            sink = sink + 1.0;
    };
}

// Whether the figure was met, and what it wrote to stderr.
std::pair<bool, std::string> figure(const char* what, double value)
{
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    const bool met = benchFigure(what, value, 10.0);
    testing::internal::GetCapturedStdout();
    return {met, testing::internal::GetCapturedStderr()};
}

TEST(BenchReport, ASideThatMeasuredNoTimeOrDidNoWorkMissesItsFigure)
{
    volatile double sink = 0.0;
    // Sides that work: a ratio of what they cost, met under its limit.
    const BenchTurns worked = benchTurns(2, 0.01, CLOCK_THREAD_CPUTIME_ID, {spin(sink, 4000), spin(sink, 1000)});
    const double ratio = worked.ratio(0, 1);
    EXPECT_GT(ratio, 1.0);
    EXPECT_LT(ratio, 10.0);
    const auto met = figure("working sides", ratio);
    EXPECT_TRUE(met.first);
    EXPECT_EQ(met.second, "");

    // Timed by the CPU clock of a thread that only waits: no side measures
    // any time, whatever it does.
    std::promise<void> waiting, done;
    std::thread idle([&waiting, wake = done.get_future()] {
        waiting.set_value();
        wake.wait();
    });
    waiting.get_future().wait();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    clockid_t idleClock;
    ASSERT_EQ(pthread_getcpuclockid(idle.native_handle(), &idleClock), 0);
    const BenchTurns untimed = benchTurns(2, 0.01, idleClock, {spin(sink, 4000), spin(sink, 1000)});
    done.set_value();
    idle.join();
    EXPECT_TRUE(std::isnan(untimed.ratio(0, 1)));
    EXPECT_TRUE(std::isnan(untimed.combinedRatio(0, {1})));
    const auto missed = figure("untimed sides", untimed.ratio(0, 1));
    EXPECT_FALSE(missed.first);
    EXPECT_NE(missed.second.find("\"untimed sides\""), std::string::npos) << missed.second;
    EXPECT_NE(missed.second.find("measured no time or did no work"), std::string::npos) << missed.second;

    // A side that did nothing over one that worked.
    const auto nothing = figure("idle side", 0.0 / worked.median(1));
    EXPECT_FALSE(nothing.first);
    EXPECT_NE(nothing.second.find("did no work"), std::string::npos) << nothing.second;
}

} // namespace
