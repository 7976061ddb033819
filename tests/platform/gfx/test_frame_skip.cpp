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
    FrameSkip::Plan frame(float x)
    {
        skip.startFrame(true, kW, kH);
        EXPECT_TRUE(skip.addClear({RECT{0, 0, kW, kH}}, 0xFF000000));
        const float l = x, r = x + 4.0f;
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

TEST(FrameSkip, AreasHoldThePixelsAQuadCoversAndNoMore)
{
    // Pixel centres sit on whole coordinates: a quad on them covers its own
    // columns exactly, one half a pixel off covers the columns whose centres
    // it holds, and an edge a hair past a centre leaves that pixel out.
    struct Case {
        float x;
        int from, to;
    } cases[] = {{10.0f, 10, 14}, {10.5f, 11, 15}, {9.99f, 10, 14}, {10.02f, 11, 15}};
    // Moved there from the left and from the right of it: the areas reach
    // the quad's last column, and its first.
    const auto moved = [](float from, float to) {
        Sequence s;
        EXPECT_EQ(s.frame(from).drawn, FrameSkip::Drawn::Whole);
        s.skip.presented(true, true, s.stats);
        const FrameSkip::Plan p = s.frame(to);
        EXPECT_EQ(p.drawn, FrameSkip::Drawn::Partly);
        RECT box{kW, kH, 0, 0};
        for (const RECT& r : p.areas)
            box = RECT{std::min(box.left, r.left), std::min(box.top, r.top), std::max(box.right, r.right),
                       std::max(box.bottom, r.bottom)};
        return box;
    };
    for (const Case& c : cases) {
        const RECT right = moved(0.0f, c.x), left = moved(50.0f, c.x);
        EXPECT_EQ(right.right, c.to) << c.x;
        EXPECT_EQ(left.left, c.from) << c.x;
        EXPECT_TRUE(right.top == 0 && right.bottom == 4 && left.top == 0 && left.bottom == 4) << c.x;
    }
}
