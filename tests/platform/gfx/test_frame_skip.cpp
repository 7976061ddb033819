// Frame skipping's records when the window draws in place: one buffer that
// holds the presented frame and is drawn over by the next.
#include <gtest/gtest.h>

#include "platform/gfx/frame_skip.h"

using namespace platform;

namespace {

constexpr int kW = 64, kH = 48;

struct Sequence {
    FrameSkip skip;
    GfxDeviceStats stats;

    Sequence() { skip.setEnabled(true, stats); }

    // A frame as the game draws it: a whole clear, then a 4 x 4 quad at x.
    FrameSkip::Plan frame(int x)
    {
        skip.startFrame(true, kW, kH);
        EXPECT_TRUE(skip.addClear({RECT{0, 0, kW, kH}}, 0xFF000000));
        const float l = float(x), r = float(x + 4);
        const BatchVertex quad[4] = {{l, 0, 0xFFFFFFFF, 0, 0}, {r, 0, 0xFFFFFFFF, 1, 0},
                                     {l, 4, 0xFFFFFFFF, 0, 1}, {r, 4, 0xFFFFFFFF, 1, 1}};
        const std::uint16_t indices[6] = {0, 1, 2, 2, 1, 3};
        DrawState state;
        state.viewport = D3DVIEWPORT8{0, 0, kW, kH, 0.0f, 1.0f};
        EXPECT_TRUE(skip.addDraw(state, nullptr, quad, 4, indices, 6));
        return skip.plan(false, true, kW, kH, stats);
    }
};

std::int64_t span(const std::vector<RECT>& areas, int from, int to)
{
    std::int64_t covered = 0;
    for (const RECT& r : areas)
        covered += std::max(0L, std::min<long>(r.right, to) - std::max<long>(r.left, from));
    return covered;
}

TEST(FrameSkip, InPlaceTheNextFrameIsDrawnOverThePresentedOne)
{
    Sequence s;
    EXPECT_EQ(s.frame(0).drawn, FrameSkip::Drawn::Whole);
    s.skip.presented(true, true, s.stats);  // the window went in place

    // Against the presented frame at once: no second target to wait for.
    FrameSkip::Plan b = s.frame(10);
    ASSERT_EQ(b.drawn, FrameSkip::Drawn::Partly);
    EXPECT_GT(span(b.areas, 0, 4), 0);
    EXPECT_GT(span(b.areas, 10, 14), 0);
    s.skip.presented(false, true, s.stats);

    // The same again: nothing to draw.
    EXPECT_EQ(s.frame(10).drawn, FrameSkip::Drawn::Not);
    s.skip.skipped(s.stats);

    // The frame before last is nowhere any more: only what changed since B.
    FrameSkip::Plan c = s.frame(20);
    ASSERT_EQ(c.drawn, FrameSkip::Drawn::Partly);
    EXPECT_EQ(span(c.areas, 0, 4), 0);
    EXPECT_GT(span(c.areas, 10, 14), 0);
    EXPECT_GT(span(c.areas, 20, 24), 0);
    s.skip.presented(false, true, s.stats);

    // Drawn over but never shown (a lost device): the buffer no longer
    // holds what is shown, so the next change is drawn whole.
    s.skip.startFrame(true, kW, kH);
    s.skip.release();
    s.skip.notShown();
    EXPECT_EQ(s.frame(30).drawn, FrameSkip::Drawn::Whole);
    s.skip.presented(false, true, s.stats);
    EXPECT_EQ(s.frame(40).drawn, FrameSkip::Drawn::Partly);

    // Out of place (two targets again, the device forgets): whole once.
    s.skip.presented(true, false, s.stats);
    s.skip.forget();
    EXPECT_EQ(s.frame(50).drawn, FrameSkip::Drawn::Whole);
}

} // namespace
