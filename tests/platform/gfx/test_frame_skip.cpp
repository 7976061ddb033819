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

TEST(FrameSkip, AreasHoldWhatAQuadCoversAndNoMore)
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

namespace {

// Frames for KeptUnder: a whole clear, an opaque base quad per area, and a
// light blended over each base, whose alpha changes from frame to frame.
struct Lit {
    RECT rect;
    std::uint32_t base = 0xFF204080;
    std::uint32_t lightAlpha = 0x40;
};

FrameRecord litFrame(const std::vector<Lit>& areas, const RECT* cover = nullptr)
{
    FrameRecord f;
    f.reset(kW, kH);
    EXPECT_TRUE(f.addClear({RECT{0, 0, kW, kH}}, 0xFF000000));
    DrawState opaque;
    opaque.viewport = D3DVIEWPORT8{0, 0, kW, kH, 0.0f, 1.0f};
    DrawState blended = opaque;
    blended.alphaBlend = 1;
    blended.srcBlend = D3DBLEND_SRCALPHA;
    blended.destBlend = D3DBLEND_INVSRCALPHA;
    const std::uint16_t indices[6] = {0, 1, 2, 2, 1, 3};
    const auto quad = [&](const DrawState& st, const RECT& r, std::uint32_t color) {
        const float l = float(r.left), t = float(r.top), rr = float(r.right), b = float(r.bottom);
        const BatchVertex v[4] = {{l, t, color, 0, 0}, {rr, t, color, 1, 0}, {l, b, color, 0, 1}, {rr, b, color, 1, 1}};
        EXPECT_TRUE(f.addDraw(st, nullptr, v, 4, indices, 6));
    };
    for (const Lit& a : areas)
        quad(opaque, a.rect, a.base);
    for (const Lit& a : areas)
        quad(blended, a.rect, a.lightAlpha << 24 | 0xFFFFFF);
    if (cover)
        quad(opaque, *cover, 0xFF808080);
    return f;
}

} // namespace

TEST(KeptUnder, KeepsWhatStaysUnderAChangingTopUntilItChanges)
{
    const RECT r{8, 8, 24, 20};
    KeptUnder kept;
    std::vector<Lit> areas{{r}};
    // Seen once: nothing to compare with yet.
    FrameRecord f = litFrame(areas);
    KeptUnder::Step s = kept.plan(f, r);
    EXPECT_FALSE(s.restore || s.save);
    // The light changed, the base came again: keep what the base drew.
    areas[0].lightAlpha = 0x60;
    f = litFrame(areas);
    s = kept.plan(f, r);
    ASSERT_TRUE(s.save);
    EXPECT_FALSE(s.restore);
    EXPECT_EQ(s.at, 2u);  // the light (the base hides the clear)
    kept.kept(r);
    // From then on the base comes back from what was kept.
    for (std::uint32_t alpha : {0x80u, 0xA0u}) {
        areas[0].lightAlpha = alpha;
        f = litFrame(areas);
        s = kept.plan(f, r);
        EXPECT_TRUE(s.restore && s.from == 2u && !s.save);
    }
    // A save planned but never kept leaves nothing to restore with.
    KeptUnder unconfirmed;
    unconfirmed.plan(litFrame({{r, 0xFF204080, 0x10}}), r);
    EXPECT_TRUE(unconfirmed.plan(litFrame({{r, 0xFF204080, 0x20}}), r).save);
    EXPECT_FALSE(unconfirmed.plan(litFrame({{r, 0xFF204080, 0x30}}), r).restore);

    // The base changed: not restored, nothing to keep; kept again once the
    // new base comes a second time.
    areas[0].base = 0xFF402010;
    areas[0].lightAlpha = 0xC0;
    s = kept.plan(litFrame(areas), r);
    EXPECT_FALSE(s.restore || s.save);
    areas[0].lightAlpha = 0xE0;
    s = kept.plan(litFrame(areas), r);
    EXPECT_FALSE(s.restore);
    EXPECT_TRUE(s.save && s.at == 2u);
    kept.kept(r);
    areas[0].lightAlpha = 0xF0;
    s = kept.plan(litFrame(areas), r);
    EXPECT_TRUE(s.restore && s.from == 2u);

    // Something opaque over all of the area: nothing under it is drawn,
    // nothing restored.
    const RECT dialog{0, 0, kW, kH};
    f = litFrame(areas, &dialog);
    s = kept.plan(f, r);
    EXPECT_FALSE(s.restore || s.save);
}

TEST(KeptUnder, AreasKeptOverOthersOrPastTheLimitForgetThem)
{
    const RECT a{0, 0, 16, 8}, overlapping{8, 4, 24, 12};
    KeptUnder kept;
    const auto keep = [&](const RECT& r) {
        kept.plan(litFrame({{r, 0xFF204080, 0x10}}), r);
        ASSERT_TRUE(kept.plan(litFrame({{r, 0xFF204080, 0x20}}), r).save);
        kept.kept(r);
        EXPECT_TRUE(kept.plan(litFrame({{r, 0xFF204080, 0x30}}), r).restore);
    };
    keep(a);
    // Kept where a's pixels were: a's are gone.
    keep(overlapping);
    EXPECT_FALSE(kept.plan(litFrame({{a, 0xFF204080, 0x40}}), a).restore);

    // Apart, up to the limit: each is restored; one more forgets the one
    // drawn longest ago.
    KeptUnder many;
    const auto column = [](std::size_t i) { return RECT{std::int32_t(i * 6), 20, std::int32_t(i * 6 + 4), 24}; };
    const auto keepIn = [&](KeptUnder& k, const RECT& r) {
        k.plan(litFrame({{r, 0xFF204080, 0x10}}), r);
        k.plan(litFrame({{r, 0xFF204080, 0x20}}), r);
        k.kept(r);
    };
    for (std::size_t i = 0; i < KeptUnder::kMostAreas; ++i)
        keepIn(many, column(i));
    EXPECT_EQ(many.areas(), KeptUnder::kMostAreas);
    keepIn(many, RECT{0, 30, 4, 34});
    EXPECT_EQ(many.areas(), KeptUnder::kMostAreas);
    EXPECT_TRUE(many.plan(litFrame({{column(1), 0xFF204080, 0x40}}), column(1)).restore);
    EXPECT_FALSE(many.plan(litFrame({{column(0), 0xFF204080, 0x40}}), column(0)).restore);
    many.forget();
    EXPECT_EQ(many.areas(), 0u);
}
