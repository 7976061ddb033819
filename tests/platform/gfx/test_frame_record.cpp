// Frames as lists of draws: when texels map one to one onto pixels, where
// two frames differ, when a draw hides what is under it, and where a
// texture's texels are opaque.
#include <gtest/gtest.h>

#include <cmath>

#include "platform/gfx/d3d8_resources.h"
#include "platform/gfx/frame_record.h"
#include "platform/gfx/frame_skip.h"
#include "platform/gfx/pixel_format.h"

using platform::BatchVertex;
using platform::DrawState;
using platform::FrameRecord;

namespace {

constexpr int kW = 640;
constexpr int kH = 480;

// A sprite's quad as D3DX makes it: w x h texels of a tw x th texture from
// (sx, sy), at (x, y), scaled and turned about its corner.
std::vector<BatchVertex> quad(float x, float y, float w, float h, int tw, int th, float sx = 0, float sy = 0,
                              float scale = 1.0f, float angle = 0.0f)
{
    std::vector<BatchVertex> v;
    const float c = std::cos(angle), s = std::sin(angle);
    for (int i = 0; i < 4; ++i) {
        const float px = (i % 2) * w, py = float(i / 2) * h;
        v.push_back(BatchVertex{x + scale * (c * px + s * py) - 0.5f, y + scale * (-s * px + c * py) - 0.5f,
                                0xFFFFFFFF, (sx + px) / float(tw), (sy + py) / float(th)});
    }
    return v;
}

const std::uint16_t kQuad[] = {0, 1, 2, 2, 1, 3};

bool oneToOne(const std::vector<BatchVertex>& v, int tw, int th)
{
    return platform::texelsMatchPixels(v.data(), kQuad, 6, tw, th);
}

// A frame: a whole clear, then a 10 x 10 untextured square at each point.
FrameRecord frame(const std::vector<std::pair<int, int>>& squares, D3DCOLOR clear = 0xFF000000)
{
    FrameRecord f;
    f.reset(kW, kH);
    f.addClear({RECT{0, 0, kW, kH}}, clear);
    DrawState st;
    st.viewport.Width = kW;
    st.viewport.Height = kH;
    for (const auto& [x, y] : squares) {
        const auto v = quad(float(x), float(y), 10, 10, 1, 1);
        f.addDraw(st, nullptr, v.data(), v.size(), kQuad, 6);
    }
    return f;
}

// Drawing over the whole back buffer; blended: source alpha over what is there.
DrawState wholeView(bool blended = false)
{
    DrawState st;
    st.viewport.Width = kW;
    st.viewport.Height = kH;
    if (blended) {
        st.alphaBlend = 1;
        st.srcBlend = D3DBLEND_SRCALPHA;
        st.destBlend = D3DBLEND_INVSRCALPHA;
    }
    return st;
}

// A size x size texture of one colour, `rim` on its outer texels.
platform::TextureImpl* texture(D3DFORMAT format, int size, std::uint32_t argb, std::uint32_t rim)
{
    static const auto link = std::make_shared<platform::DeviceLink>();
    auto* t = new platform::TextureImpl(link, format, size, size, 0, D3DPOOL_MANAGED);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const bool edge = x == 0 || y == 0 || x == size - 1 || y == size - 1;
            platform::encodePixel(format, edge ? rim : argb, t->pixels().pixel(x, y));
        }
    return t;
}

platform::TextureImpl* texture(D3DFORMAT format, int size, std::uint32_t argb)
{
    return texture(format, size, argb, argb);
}

// As the game writes texels: through a lock.
void setTexel(platform::TextureImpl* t, int x, int y, std::uint32_t argb)
{
    const RECT r{x, y, x + 1, y + 1};
    D3DLOCKED_RECT locked;
    ASSERT_EQ(t->LockRect(0, &locked, &r, 0), D3D_OK);
    platform::encodePixel(t->pixels().format(), argb, locked.pBits);
    ASSERT_EQ(t->UnlockRect(0), D3D_OK);
}

// A 24 x 24 frame with a clear rim one texel wide, drawn as nine quads:
// 8-texel corners one to one, sides and middle stretched, over 160 x 56
// pixels at (96, 48), as a button's picture is.
platform::TextureImpl* rimmed() { return texture(D3DFMT_A8R8G8B8, 24, 0xFF405060, 0x00405060); }

struct NineParts {
    std::vector<BatchVertex> v;
    std::vector<std::uint16_t> idx;
    NineParts()
    {
        const float xs[] = {96, 104, 248, 256}, ys[] = {48, 56, 96, 104}, ts[] = {0, 8, 16, 24};
        for (int row = 0; row < 3; ++row)
            for (int col = 0; col < 3; ++col) {
                const std::uint16_t at = std::uint16_t(v.size());
                for (int corner = 0; corner < 4; ++corner) {
                    const int x = col + corner % 2, y = row + corner / 2;
                    v.push_back(BatchVertex{xs[x] - 0.5f, ys[y] - 0.5f, 0xFFFFFFFF, ts[x] / 24.0f, ts[y] / 24.0f});
                }
                for (std::uint16_t i : kQuad)
                    idx.push_back(std::uint16_t(at + i));
            }
    }
};

bool inside(const std::vector<RECT>& rects, int x, int y)
{
    for (const RECT& r : rects)
        if (x >= r.left && x < r.right && y >= r.top && y < r.bottom)
            return true;
    return false;
}

} // namespace

TEST(FrameRecord, TexelsMatchPixelsOnlyWhenShiftedByWholePixels)
{
    EXPECT_TRUE(oneToOne(quad(10, 20, 32, 16, 64, 64), 64, 64));
    // A part of an atlas, at a negative position.
    EXPECT_TRUE(oneToOne(quad(-7, 3, 12, 9, 256, 128, 100, 33), 256, 128));
    // Half a pixel off: every pixel centre lies between two texels.
    EXPECT_FALSE(oneToOne(quad(10.5f, 20, 32, 16, 64, 64), 64, 64));
    EXPECT_FALSE(oneToOne(quad(10, 20, 32, 16, 64, 64, 0, 0, 2.0f), 64, 64));
    EXPECT_FALSE(oneToOne(quad(10, 20, 32, 16, 64, 64, 0, 0, -1.0f), 64, 64));
    EXPECT_FALSE(oneToOne(quad(10, 20, 32, 16, 64, 64, 0, 0, 1.0f, 1.5707964f), 64, 64));
    // The texture's size counts: the same coordinates on a larger texture stretch it.
    EXPECT_FALSE(oneToOne(quad(10, 20, 32, 16, 64, 64), 128, 64));
    // Nothing but degenerate triangles: nothing to sample.
    std::vector<BatchVertex> flat = quad(10, 20, 0, 16, 64, 64);
    EXPECT_FALSE(oneToOne(flat, 64, 64));
}

TEST(FrameRecord, OnlyWhatMovedAppearedOrWentIsChanged)
{
    const FrameRecord before = frame({{20, 20}, {100, 100}, {300, 200}, {500, 400}});
    EXPECT_TRUE(platform::changedAreas(before, before).empty());
    EXPECT_TRUE(before.sameAs(frame({{20, 20}, {100, 100}, {300, 200}, {500, 400}})));
    EXPECT_TRUE(before.standsAlone());

    // Two squares far apart move: each old and new place, nothing between.
    auto moved = platform::changedAreas(before, frame({{25, 20}, {100, 100}, {300, 200}, {505, 400}}));
    EXPECT_TRUE(inside(moved, 22, 25) && inside(moved, 33, 25) && inside(moved, 510, 405));
    EXPECT_FALSE(inside(moved, 105, 105) || inside(moved, 305, 205));
    EXPECT_EQ(moved.size(), 2u);

    // One drawn in the middle, one gone, while the first and last move: the
    // ones between still pair up.
    auto added = platform::changedAreas(before, frame({{21, 20}, {100, 100}, {200, 50}, {300, 200}, {501, 400}}));
    EXPECT_TRUE(inside(added, 205, 55) && inside(added, 25, 25) && inside(added, 505, 405));
    EXPECT_FALSE(inside(added, 105, 105) || inside(added, 305, 205));
    auto removed = platform::changedAreas(before, frame({{21, 20}, {300, 200}, {501, 400}}));
    EXPECT_TRUE(inside(removed, 105, 105));
    EXPECT_FALSE(inside(removed, 305, 205));

    // Another clear colour changes every pixel.
    EXPECT_EQ(platform::areaOf(platform::changedAreas(before, frame({{20, 20}}, 0xFF102030))),
              std::int64_t(kW) * kH);
}

// A vertex off the numbers (not finite) may put the draw anywhere: all its
// viewport counts as changed, whichever vertex it is.
TEST(FrameRecord, ADrawWithAVertexOffTheNumbersChangesItsWholeViewport)
{
    const FrameRecord before = frame({{20, 20}});
    for (int corner = 0; corner < 4; ++corner) {
        for (float bad : {NAN, INFINITY, -INFINITY}) {
            FrameRecord now = frame({{20, 20}});
            std::vector<BatchVertex> v = quad(300, 200, 10, 10, 1, 1);
            (corner % 2 ? v[std::size_t(corner)].x : v[std::size_t(corner)].y) = bad;
            DrawState st;
            st.viewport = D3DVIEWPORT8{100, 50, 400, 300, 0.0f, 1.0f};
            now.addDraw(st, nullptr, v.data(), v.size(), kQuad, 6);
            const std::vector<RECT> areas = platform::changedAreas(before, now);
            ASSERT_EQ(areas.size(), 1u) << corner << " " << bad;
            EXPECT_TRUE(areas[0].left == 100 && areas[0].top == 50 && areas[0].right == 500 && areas[0].bottom == 350)
                << corner << " " << bad;
        }
    }
}

TEST(FrameRecord, ManyChangesMergeIntoFewNonOverlappingAreas)
{
    std::vector<std::pair<int, int>> a, b;
    for (int i = 0; i < 40; ++i) {
        a.emplace_back(15 * i, 7 * i);
        b.emplace_back(15 * i + 2, 7 * i);
    }
    const auto areas = platform::changedAreas(frame(a), frame(b));
    EXPECT_LE(areas.size(), 8u);
    for (std::size_t i = 0; i < areas.size(); ++i)
        for (std::size_t j = i + 1; j < areas.size(); ++j)
            EXPECT_FALSE(areas[i].left < areas[j].right && areas[j].left < areas[i].right &&
                         areas[i].top < areas[j].bottom && areas[j].top < areas[i].bottom);
    for (const auto& [x, y] : b)
        EXPECT_TRUE(inside(areas, x, y) && inside(areas, x + 9, y + 9));
}

// A few draws of many vertices reach the byte limit long before the limit
// of draws; the memory they took is given back once the frames are small.
TEST(FrameRecord, ARecordStopsAtItsByteLimitAndLetsGoOfALargeFramesMemory)
{
    DrawState st;
    st.viewport.Width = kW;
    st.viewport.Height = kH;
    const auto v = quad(5, 5, 10, 10, 1, 1);
    std::vector<BatchVertex> many;
    std::vector<std::uint16_t> idx;
    for (std::uint16_t i = 0; i < 60000; ++i) {
        many.push_back(v[i % 4]);
        idx.push_back(i);
    }
    FrameRecord f;
    f.reset(kW, kH);
    std::size_t draws = 0;
    while (f.addDraw(st, nullptr, many.data(), many.size(), idx.data(), idx.size()))
        ++draws;
    EXPECT_GT(draws, 0u);
    EXPECT_EQ(f.ops().size(), draws);
    // It stopped where the next draw would pass the limit, no sooner.
    EXPECT_LE(f.bytes(), FrameRecord::kMaxBytes);
    EXPECT_GT(f.bytes() + many.size() * sizeof(BatchVertex), FrameRecord::kMaxBytes);

    // The next frame, small, keeps the buffers; the one after lets them go,
    // and small frames keep theirs.
    const std::size_t large = f.capacityBytes();
    f.reset(kW, kH);
    EXPECT_TRUE(f.addDraw(st, nullptr, v.data(), v.size(), kQuad, 6));
    EXPECT_EQ(f.capacityBytes(), large);
    f.reset(kW, kH);
    EXPECT_LT(f.capacityBytes(), large / 100);
    EXPECT_TRUE(f.addDraw(st, nullptr, v.data(), v.size(), kQuad, 6));
    const std::size_t small = f.capacityBytes();
    f.reset(kW, kH);
    EXPECT_EQ(f.capacityBytes(), small);
}

TEST(FrameRecord, AnOpaqueQuadOverAnAreaHidesWhatIsUnderIt)
{
    FrameRecord f;
    f.reset(kW, kH);
    DrawState st;
    st.viewport.Width = kW;
    st.viewport.Height = kH;
    const RECT all{0, 0, kW, kH}, corner{0, 0, 8, 8};
    // Each case is the last op of the record.
    const auto covers = [&](const DrawState& state, std::vector<BatchVertex> v, const RECT& area,
                            platform::TextureImpl* texture = nullptr, const std::uint16_t* idx = kQuad) {
        EXPECT_TRUE(f.addDraw(state, texture, v.data(), v.size(), idx, 6));
        return platform::coversOpaquely(f, f.ops().back(), area);
    };
    // A sprite's quad over the whole back buffer, and over less of it.
    EXPECT_TRUE(covers(st, quad(0, 0, kW, kH, 1, 1), all));
    EXPECT_FALSE(covers(st, quad(1, 0, kW, kH, 1, 1), all));
    EXPECT_FALSE(covers(st, quad(0, 0, kW - 1, kH, 1, 1), all));
    EXPECT_TRUE(covers(st, quad(0, 0, 8, 8, 1, 1), corner));
    EXPECT_FALSE(covers(st, quad(0, 0, 8, 8, 1, 1, 0, 0, 1.0f, 0.1f), corner));
    const std::uint16_t twice[] = {0, 1, 2, 0, 1, 2}, edge[] = {0, 1, 2, 0, 1, 3};
    EXPECT_FALSE(covers(st, quad(0, 0, 8, 8, 1, 1), corner, nullptr, twice));
    EXPECT_FALSE(covers(st, quad(0, 0, 8, 8, 1, 1), corner, nullptr, edge));
    DrawState narrow = st;
    narrow.viewport.Width = 7;
    EXPECT_FALSE(covers(narrow, quad(0, 0, 8, 8, 1, 1), corner));
    // Blended: only opaque vertices with source alpha replace the pixels.
    DrawState blended = st;
    blended.alphaBlend = 1;
    blended.srcBlend = D3DBLEND_SRCALPHA;
    blended.destBlend = D3DBLEND_INVSRCALPHA;
    EXPECT_TRUE(covers(blended, quad(0, 0, 8, 8, 1, 1), corner));
    std::vector<BatchVertex> faint = quad(0, 0, 8, 8, 1, 1);
    faint[3].color = 0xFEFFFFFF;
    EXPECT_FALSE(covers(blended, faint, corner));
    DrawState added = blended;
    added.destBlend = D3DBLEND_ONE;
    EXPECT_FALSE(covers(added, quad(0, 0, 8, 8, 1, 1), corner));

    // Textures: opaque where the area samples them, or a format without alpha.
    platform::TextureImpl* solid = texture(D3DFMT_A8R8G8B8, 32, 0xFF102030);
    platform::TextureImpl* x8 = texture(D3DFMT_X8R8G8B8, 32, 0x00102030);
    // 32 x 32 texels stretched over 64 x 64 pixels; the area is pixels
    // 0-7, texels 0-3.
    EXPECT_TRUE(covers(blended, quad(0, 0, 32, 32, 32, 32, 0, 0, 2.0f), corner, solid));
    EXPECT_TRUE(covers(blended, quad(0, 0, 32, 32, 32, 32, 0, 0, 2.0f), corner, x8));
    setTexel(solid, 5, 2, 0xFE102030);
    EXPECT_TRUE(covers(blended, quad(0, 0, 32, 32, 32, 32, 0, 0, 2.0f), corner, solid));
    // The texel the linear filter mixes into the last pixels.
    setTexel(solid, 4, 2, 0xFE102030);
    EXPECT_FALSE(covers(blended, quad(0, 0, 32, 32, 32, 32, 0, 0, 2.0f), corner, solid));
    // Unblended, the texels' alpha does not count.
    EXPECT_TRUE(covers(st, quad(0, 0, 32, 32, 32, 32, 0, 0, 2.0f), corner, solid));
    for (platform::TextureImpl* t : {solid, x8})
        t->Release();
}

TEST(FrameRecord, WhereTexelsAreOpaqueIsLearntOnceForEachVersionOfATexture)
{
    platform::TextureImpl* t = texture(D3DFMT_A8R8G8B8, 512, 0xFF000000);
    const RECT all{0, 0, 512, 512}, some{100, 40, 140, 60};
    // Too many texels to read at once: not known to be opaque until enough
    // reads have gone by.
    int calls = 0;
    bool opaque = false;
    while (!opaque && calls < 10) {
        opaque = t->texelsOpaque(all);
        ++calls;
    }
    EXPECT_TRUE(opaque);
    EXPECT_EQ(calls, 4);
    // A texel written through a lock is seen at once, inside a block known
    // to be opaque before; beside it the block still answers texel by texel.
    setTexel(t, 120, 50, 0x80000000);
    EXPECT_FALSE(t->texelsOpaque(some));
    EXPECT_FALSE(t->texelsOpaque(RECT{120, 50, 121, 51}));
    EXPECT_TRUE(t->texelsOpaque(RECT{121, 48, 128, 64}));
    EXPECT_TRUE(t->texelsOpaque(RECT{112, 51, 128, 64}));
    // Outside the texture: nothing read, nothing against it.
    EXPECT_TRUE(t->texelsOpaque(RECT{600, 0, 700, 10}));
    t->Release();
}

TEST(FrameRecord, QuadsOfOneDrawCoverTogetherAndAClearRimIsPeeledOff)
{
    FrameRecord f;
    f.reset(kW, kH);
    const DrawState st = wholeView(true);
    platform::TextureImpl* rim = rimmed();
    NineParts button;
    ASSERT_TRUE(f.addDraw(st, rim, button.v.data(), button.v.size(), button.idx.data(), button.idx.size()));
    const platform::FrameOp& op = f.ops().back();
    // Inside the rim the quads cover together; their corners meet.
    EXPECT_TRUE(platform::coversOpaquely(f, op, RECT{98, 50, 254, 102}));
    EXPECT_FALSE(platform::coversOpaquely(f, op, RECT{97, 50, 254, 102}));
    const RECT whole{96, 48, 256, 104};
    EXPECT_FALSE(platform::coversOpaquely(f, op, whole));
    // Peeled: rows and columns the rim's texels reach go; what the small
    // quads (corners, upright sides) cover is left out.
    const RECT peeled = platform::opaqueCover(f, op, whole, true);
    EXPECT_EQ(peeled.left, 104);
    EXPECT_EQ(peeled.top, 50);
    EXPECT_EQ(peeled.right, 248);
    EXPECT_EQ(peeled.bottom, 102);
    // Unpeeled, only the middle is opaque all over.
    const RECT middle = platform::opaqueCover(f, op, whole, false);
    EXPECT_EQ(middle.top, 56);
    EXPECT_EQ(middle.bottom, 96);
    // A faint vertex of the top side: that quad covers nothing.
    button.v[5].color = 0xFEFFFFFF;
    ASSERT_TRUE(f.addDraw(st, rim, button.v.data(), button.v.size(), button.idx.data(), button.idx.size()));
    EXPECT_EQ(platform::opaqueCover(f, f.ops().back(), whole, true).top, 56);
    rim->Release();
}

TEST(FrameRecord, AnAreaMostlyHiddenByALaterDrawIsDrawnInPieces)
{
    // An opaque backdrop, the button over it, a faint highlight over that.
    FrameRecord f;
    f.reset(kW, kH);
    f.addClear({RECT{0, 0, kW, kH}}, 0xFF000000);
    const auto backdrop = quad(0, 0, kW, kH, 1, 1);
    f.addDraw(wholeView(), nullptr, backdrop.data(), backdrop.size(), kQuad, 6);
    const DrawState st = wholeView(true);
    platform::TextureImpl* rim = rimmed();
    NineParts button;
    f.addDraw(st, rim, button.v.data(), button.v.size(), button.idx.data(), button.idx.size());
    auto light = quad(96, 48, 160, 56, 1, 1);
    for (BatchVertex& v : light)
        v.color = 0x40FFFFFF;
    f.addDraw(st, nullptr, light.data(), light.size(), kQuad, 6);

    // The button's box: the backdrop only around what the button hides (cut
    // on multiples of 4), then the button and the highlight over all of it.
    std::vector<platform::VisiblePiece> pieces;
    const RECT box{96, 48, 256, 104};
    platform::visiblePieces(f, box, pieces);
    const auto same = [](const RECT& a, const RECT& b) {
        return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
    };
    const RECT around[] = {{96, 48, 256, 52}, {96, 100, 256, 104}, {96, 52, 104, 100}, {248, 52, 256, 100}};
    ASSERT_EQ(pieces.size(), 5u);
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_TRUE(same(pieces[i].rect, around[i])) << "piece " << i;
        EXPECT_EQ(pieces[i].first, 1u);
        EXPECT_EQ(pieces[i].end, 2u);
    }
    EXPECT_TRUE(same(pieces[4].rect, box));
    EXPECT_EQ(pieces[4].first, 2u);
    EXPECT_EQ(pieces[4].end, 4u);

    // In a larger area the button hides too little of it: one piece.
    platform::visiblePieces(f, RECT{0, 0, 400, 200}, pieces);
    ASSERT_EQ(pieces.size(), 1u);
    EXPECT_EQ(pieces[0].first, 1u);
    EXPECT_EQ(pieces[0].end, 4u);
    rim->Release();
}
