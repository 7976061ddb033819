#include <gtest/gtest.h>

#include <chrono>
#include <vector>

#include "platform/system/frame_pacer.h"

using namespace platform;
using namespace std::chrono_literals;

namespace {

// Time that moves only by the work a frame does, the swap and the pacer's sleeps.
class FakeClock final : public PaceClock {
public:
    TimePoint now() override { return t; }
    void sleepUntil(TimePoint when) override
    {
        ++sleeps;
        if (when > t) {
            slept += when - t;
            t = when;
        }
    }

    TimePoint t{std::chrono::seconds(100)};
    int sleeps = 0;
    std::chrono::nanoseconds slept{0};
};

// A display refreshing every `blank` and a game loop presenting through the
// pacer; each frame takes `work` to draw before its swap.
struct Loop {
    FakeClock clock;
    FramePacer pacer{clock};
    std::chrono::nanoseconds blank{16666666};
    bool swapWaits = false;      // the driver holds the swap until the next blank
    std::vector<PaceClock::TimePoint> returns;

    Loop(int reportedHz, bool waits)
    {
        pacer.setRefreshRate(reportedHz);
        swapWaits = waits;
    }

    void frame(std::chrono::nanoseconds work)
    {
        clock.t += work;
        const PaceClock::TimePoint start = clock.t;
        if (swapWaits) {
            const auto sinceOrigin = clock.t.time_since_epoch();
            clock.t = PaceClock::TimePoint(((sinceOrigin + blank - 1ns) / blank) * blank);
        }
        pacer.shown(start, clock.t);
        returns.push_back(clock.t);
    }

    void undrawn(std::chrono::nanoseconds work)
    {
        clock.t += work;
        pacer.nothingShown();
        returns.push_back(clock.t);
    }

    // Frames that returned within the span after the first one.
    int framesIn(std::chrono::nanoseconds span) const
    {
        int n = 0;
        for (const auto& r : returns)
            n += r > returns.front() && r - returns.front() <= span;
        return n;
    }

    std::chrono::nanoseconds shortestGap() const
    {
        std::chrono::nanoseconds gap = 1h;
        for (std::size_t i = 1; i < returns.size(); ++i)
            gap = std::min<std::chrono::nanoseconds>(gap, returns[i] - returns[i - 1]);
        return gap;
    }
};

TEST(FramePacer, ASwapThatDoesNotWaitIsHeldToTheRefreshRate)
{
    // Quick frames, as a menu draws them: 60 a second, evenly.
    Loop quick(60, false);
    for (int i = 0; i < 200; ++i)
        quick.frame(2ms);
    EXPECT_EQ(quick.framesIn(1s), 60);
    EXPECT_GE(quick.shortestGap(), quick.pacer.period());

    // No rate reported: 60 Hz. A rate reported: that one.
    Loop unknown(0, false);
    Loop fast(144, false);
    for (int i = 0; i < 400; ++i) {
        unknown.frame(1ms);
        fast.frame(1ms);
    }
    EXPECT_EQ(unknown.framesIn(1s), 60);
    EXPECT_EQ(fast.framesIn(1s), 144);

    // A frame slower than a refresh is shown at once, never held back.
    Loop slow(60, false);
    slow.frame(1ms);
    const int sleepsBefore = slow.clock.sleeps;
    for (int i = 0; i < 20; ++i)
        slow.frame(20ms);
    EXPECT_EQ(slow.clock.sleeps, sleepsBefore);

    // A restart (the swap interval changed) lets the next frame through at
    // once and paces the ones after it from there.
    Loop restarted(60, false);
    for (int i = 0; i < 10; ++i)
        restarted.frame(1ms);
    restarted.pacer.restart();
    const int sleeps = restarted.clock.sleeps;
    restarted.frame(1ms);
    EXPECT_EQ(restarted.clock.sleeps, sleeps);
    restarted.frame(1ms);
    EXPECT_EQ(restarted.clock.sleeps, sleeps + 1);
    EXPECT_GE(restarted.returns.back() - restarted.returns[restarted.returns.size() - 2], restarted.pacer.period());
}

TEST(FramePacer, ASwapThatWaitsKeepsTheDriversBlanks)
{
    // The display really refreshes at 60 Hz while 59 is reported: the
    // driver's blanks hold, and pacing adds no wait that would miss one.
    Loop rounded(59, true);
    for (int i = 0; i < 240; ++i)
        rounded.frame(3ms);
    EXPECT_EQ(rounded.clock.slept, 0ns);
    EXPECT_EQ(rounded.framesIn(1s), 60);

    // Frames that leave the swap little to wait still make every blank.
    Loop heavy(60, true);
    for (int i = 0; i < 240; ++i)
        heavy.frame(15ms);
    EXPECT_EQ(heavy.framesIn(1s), 60);
    EXPECT_LT(heavy.clock.slept, 5ms);
}

TEST(FramePacer, AnUndrawnFrameWaitsForTheNextBlankAsADrawnOneDoes)
{
    Loop loop(60, false);
    loop.frame(1ms);
    // Nothing new for a while, then drawn frames again, then nothing: never
    // two frames within one refresh, and the loop keeps 60 a second.
    for (int i = 0; i < 30; ++i)
        loop.undrawn(1ms);
    for (int i = 0; i < 30; ++i)
        loop.frame(4ms);
    for (int i = 0; i < 30; ++i)
        loop.undrawn(500us);
    EXPECT_GE(loop.shortestGap(), loop.pacer.period());
    EXPECT_EQ(loop.framesIn(1s), 60);

    // A loop late past a blank waits for the next one, as a swap would.
    const auto before = loop.clock.t;
    loop.undrawn(20ms);
    EXPECT_GT(loop.clock.t - before, 20ms);
    EXPECT_LE(loop.clock.t - before, 20ms + loop.pacer.period());
}

TEST(FramePacer, SwapsTellWhetherTheyWaitOnlyFromFramesReadyBeforeTheBlank)
{
    using Waits = FramePacer::SwapWaits;
    Loop waits(60, true), free(60, false), late(60, true);
    for (int i = 0; i < FramePacer::kTellingSwaps; ++i) {
        waits.frame(3ms);
        free.frame(3ms);
        late.frame(15ms);  // past three quarters of a refresh: the blank is gone either way
    }
    EXPECT_EQ(waits.pacer.swapWaits(), Waits::Unknown);  // the first frame has no blank before it
    waits.frame(3ms);
    free.frame(3ms);
    EXPECT_EQ(waits.pacer.swapWaits(), Waits::Yes);
    EXPECT_EQ(free.pacer.swapWaits(), Waits::No);
    for (int i = 0; i < 30; ++i)
        late.frame(15ms);
    EXPECT_EQ(late.pacer.swapWaits(), Waits::Unknown);

    // Copies never tell; a restart (another display, another interval) measures anew.
    free.pacer.restart();
    for (int i = 0; i < 20; ++i) {
        free.clock.t += 3ms;
        free.pacer.shown(free.clock.t, free.clock.t, false);
    }
    EXPECT_EQ(free.pacer.swapWaits(), Waits::Unknown);
    for (int i = 0; i < FramePacer::kTellingSwaps; ++i)
        free.frame(3ms);
    EXPECT_EQ(free.pacer.swapWaits(), Waits::No);
}

} // namespace
