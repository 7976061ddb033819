#include "platform/gfx/frame_record.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/gfx/d3d8_resources.h"
#include "platform/gfx/pixel_format.h"

namespace platform {

namespace {

// Texel coordinates may stray this far from a texel centre and still be one.
constexpr float kTexelTolerance = 1.0f / 1024.0f;
// Pixels peeled off each side of a quad, at most, to find where it is opaque.
constexpr int kMaxPeel = 4;
// ... from quads that hold at least this share (1 / kPeelShare) of the area.
constexpr std::int64_t kPeelShare = 16;
// Beyond this many unmatched draws the changed area is their bounding box.
constexpr std::size_t kMaxAreas = 64;
// Rectangles left after merging.
constexpr std::size_t kMaxMergedAreas = 8;
// Edits the comparison looks for before it gives up matching the middle.
constexpr int kMaxEdits = 128;
// Buffers up to this size are kept whatever the frames use of them.
constexpr std::size_t kKeptBytes = std::size_t(256) << 10;

std::uint64_t mix(std::uint64_t h, std::uint64_t v)
{
    h ^= v + 0x9E3779B97F4A7C15ull + (h << 6) + (h >> 2);
    h *= 0xFF51AFD7ED558CCDull;
    return h ^ (h >> 33);
}

// Every draw's vertices are hashed each frame: two lanes of one multiply
// per word, so that the multiplies overlap.
std::uint64_t hashBytes(std::uint64_t h, const void* data, std::size_t size)
{
    const auto* p = static_cast<const std::uint8_t*>(data);
    std::uint64_t a = h, b = h ^ 0x2545F4914F6CDD1Dull;
    std::size_t i = 0;
    for (; i + 16 <= size; i += 16) {
        std::uint64_t w0, w1;
        std::memcpy(&w0, p + i, 8);
        std::memcpy(&w1, p + i + 8, 8);
        a = (a ^ w0) * 0x9E3779B97F4A7C15ull;
        b = (b ^ w1) * 0xC2B2AE3D27D4EB4Full;
        a ^= a >> 29;
        b ^= b >> 31;
    }
    std::uint64_t tail[2] = {0, 0};
    if (size > i)
        std::memcpy(tail, p + i, size - i);
    return mix(mix(a ^ tail[0], b ^ tail[1]), size);
}

std::uint64_t hashState(const DrawState& s)
{
    const std::uint32_t words[] = {s.alphaBlend, s.lighting,  s.srcBlend,  s.destBlend, s.colorOp,
                                   s.colorArg1,  s.colorArg2, s.minFilter, s.magFilter, s.viewport.X,
                                   s.viewport.Y, s.viewport.Width, s.viewport.Height};
    std::uint64_t h = hashBytes(0x51A7E, words, sizeof words);
    const float z[] = {s.viewport.MinZ, s.viewport.MaxZ};
    return hashBytes(h, z, sizeof z);
}

} // namespace

bool sameDrawStateInViewport(const DrawState& a, const DrawState& b)
{
    return a.alphaBlend == b.alphaBlend && a.lighting == b.lighting && a.srcBlend == b.srcBlend &&
           a.destBlend == b.destBlend && a.colorOp == b.colorOp && a.colorArg1 == b.colorArg1 &&
           a.colorArg2 == b.colorArg2 && a.minFilter == b.minFilter && a.magFilter == b.magFilter;
}

bool sameDrawState(const DrawState& a, const DrawState& b)
{
    return sameDrawStateInViewport(a, b) && a.viewport.X == b.viewport.X && a.viewport.Y == b.viewport.Y &&
           a.viewport.Width == b.viewport.Width && a.viewport.Height == b.viewport.Height &&
           std::memcmp(&a.viewport.MinZ, &b.viewport.MinZ, 4) == 0 &&
           std::memcmp(&a.viewport.MaxZ, &b.viewport.MaxZ, 4) == 0;
}

namespace {

bool overlaps(const RECT& a, const RECT& b)
{
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

bool empty(const RECT& r) { return r.left >= r.right || r.top >= r.bottom; }

RECT unite(const RECT& a, const RECT& b)
{
    return RECT{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
                std::max(a.bottom, b.bottom)};
}

RECT intersect(const RECT& a, const RECT& b)
{
    RECT r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
           std::min(a.bottom, b.bottom)};
    return empty(r) ? RECT{0, 0, 0, 0} : r;
}

std::int64_t area(const RECT& r)
{
    return empty(r) ? 0 : std::int64_t(r.right - r.left) * std::int64_t(r.bottom - r.top);
}

// A float coordinate as a whole pixel, held far from int overflow.
std::int32_t pixelFloor(float v)
{
    if (!(v > -1.0e6f))
        return -1000000;
    return std::int32_t(std::floor(std::min(v, 1.0e6f)));
}

std::int32_t pixelCeil(float v)
{
    if (!(v < 1.0e6f))
        return 1000000;
    return std::int32_t(std::ceil(std::max(v, -1.0e6f)));
}

// The first and one past the last whole coordinate a triangle spanning
// lo .. hi may cover, held far from int overflow. A rasteriser snaps
// vertices to a grid of at most 1/256 pixel; kSnap allows for that and for
// float rounding on the way there.
constexpr double kSnap = 1.0 / 256.0;

std::int32_t coveredFrom(float lo)
{
    if (!(lo > -1.0e6f))
        return -1000000;
    return std::int32_t(std::ceil(std::min(double(lo), 1.0e6) - kEdgeNudge - kSnap));
}

std::int32_t coveredTo(float hi)
{
    if (!(hi < 1.0e6f))
        return 1000000;
    return std::int32_t(std::floor(std::max(double(hi), -1.0e6) - kEdgeNudge + kSnap)) + 1;
}

// The back-buffer pixels triangles may cover: the whole coordinates inside
// their box, moved as the renderer moves them, clipped to the viewport.
RECT drawBounds(const DrawState& st, const BatchVertex* v, std::size_t count, int width, int height)
{
    const RECT clip = clippedViewport(st.viewport, width, height);
    if (count == 0)
        return RECT{0, 0, 0, 0};
    float x0 = v[0].x, x1 = v[0].x, y0 = v[0].y, y1 = v[0].y;
    // Stays 0 while every coordinate is finite (an infinity or NaN makes it
    // NaN), without a branch a vertex: every draw's vertices pass here.
    float spoilt = 0.0f;
    for (std::size_t i = 0; i < count; ++i) {
        spoilt += (v[i].x - v[i].x) + (v[i].y - v[i].y);
        x0 = std::min(x0, v[i].x);
        x1 = std::max(x1, v[i].x);
        y0 = std::min(y0, v[i].y);
        y1 = std::max(y1, v[i].y);
    }
    if (spoilt != 0.0f)
        return clip;
    return intersect(RECT{coveredFrom(x0), coveredFrom(y0), coveredTo(x1), coveredTo(y1)}, clip);
}

bool nearWhole(float v) { return std::fabs(v - std::round(v)) <= kTexelTolerance; }

} // namespace

bool texelsMatchPixels(const BatchVertex* v, const std::uint16_t* idx, std::size_t indexCount, int width,
                       int height)
{
    if (width <= 0 || height <= 0)
        return false;
    const float w = float(width), h = float(height);
    bool any = false;
    for (std::size_t t = 0; t + 2 < indexCount; t += 3) {
        const BatchVertex& a = v[idx[t]];
        const BatchVertex& b = v[idx[t + 1]];
        const BatchVertex& c = v[idx[t + 2]];
        const float area2 = (b.x - a.x) * (c.y - a.y) - (c.x - a.x) * (b.y - a.y);
        if (!(std::fabs(area2) > 1.0e-6f))
            continue;
        // Texel coordinate minus pixel coordinate is one constant at every
        // corner (so the map is a shift), and a pixel centre (whole
        // coordinate) lands on a texel centre (whole plus a half).
        const float du = a.u * w - a.x, dv = a.v * h - a.y;
        for (const BatchVertex* p : {&b, &c})
            if (!(std::fabs(p->u * w - p->x - du) <= kTexelTolerance &&
                  std::fabs(p->v * h - p->y - dv) <= kTexelTolerance))
                return false;
        if (!nearWhole(du - 0.5f) || !nearWhole(dv - 0.5f))
            return false;
        any = true;
    }
    return any;
}

bool blendKeepsOpaqueSource(const DrawState& st)
{
    return (st.srcBlend == D3DBLEND_ONE || st.srcBlend == D3DBLEND_SRCALPHA) &&
           (st.destBlend == D3DBLEND_ZERO || st.destBlend == D3DBLEND_INVSRCALPHA);
}

bool drawsOpaqueIn(const TextureImpl* texture, const BatchVertex* v, const std::uint16_t* idx,
                   std::size_t indexCount, const RECT& area)
{
    const double w = texture ? double(texture->pixels().width()) : 1.0;
    const double h = texture ? double(texture->pixels().height()) : 1.0;
    for (std::size_t t = 0; t + 2 < indexCount; t += 3) {
        const BatchVertex* p[3] = {&v[idx[t]], &v[idx[t + 1]], &v[idx[t + 2]]};
        double x0 = p[0]->x, x1 = x0, y0 = p[0]->y, y1 = y0;
        for (const BatchVertex* q : p) {
            if (!std::isfinite(q->x) || !std::isfinite(q->y) || !std::isfinite(q->u) || !std::isfinite(q->v))
                return false;
            x0 = std::min(x0, double(q->x));
            x1 = std::max(x1, double(q->x));
            y0 = std::min(y0, double(q->y));
            y1 = std::max(y1, double(q->y));
        }
        // The pixel centres (whole coordinates) of the area it may cover.
        const double cx0 = std::max(std::floor(x0), double(area.left));
        const double cx1 = std::min(std::ceil(x1), double(area.right) - 1.0);
        const double cy0 = std::max(std::floor(y0), double(area.top));
        const double cy1 = std::min(std::ceil(y1), double(area.bottom) - 1.0);
        if (cx0 > cx1 || cy0 > cy1)
            continue;
        // Interpolated from equal corners, the vertex alpha is exactly 1.
        for (const BatchVertex* q : p)
            if ((q->color >> 24) != 0xFF)
                return false;
        if (!texture)
            continue;
        const double e1x = double(p[1]->x) - p[0]->x, e1y = double(p[1]->y) - p[0]->y;
        const double e2x = double(p[2]->x) - p[0]->x, e2y = double(p[2]->y) - p[0]->y;
        const double det = e1x * e2y - e2x * e1y;
        if (det == 0.0)
            continue;
        // Texel coordinates at those centres, through the triangle's plane;
        // a texel more on every side for the linear filter and rounding.
        const double du1 = (double(p[1]->u) - p[0]->u) * w, du2 = (double(p[2]->u) - p[0]->u) * w;
        const double dv1 = (double(p[1]->v) - p[0]->v) * h, dv2 = (double(p[2]->v) - p[0]->v) * h;
        const double dudx = (du1 * e2y - du2 * e1y) / det, dudy = (du2 * e1x - du1 * e2x) / det;
        const double dvdx = (dv1 * e2y - dv2 * e1y) / det, dvdy = (dv2 * e1x - dv1 * e2x) / det;
        const auto span = [&](double at0, double dx, double dy, double& lo, double& hi) {
            lo = hi = at0 + dx * (cx0 - p[0]->x) + dy * (cy0 - p[0]->y);
            for (const double d : {dx * (cx1 - cx0), dy * (cy1 - cy0)}) {
                lo += std::min(d, 0.0);
                hi += std::max(d, 0.0);
            }
        };
        double u0, u1, v0, v1;
        span(double(p[0]->u) * w, dudx, dudy, u0, u1);
        span(double(p[0]->v) * h, dvdx, dvdy, v0, v1);
        if (!std::isfinite(u0) || !std::isfinite(u1) || !std::isfinite(v0) || !std::isfinite(v1))
            return false;
        const auto texel = [](double c, double size) { return std::int32_t(std::clamp(std::floor(c), -1.0, size)); };
        if (!texture->texelsOpaque(RECT{texel(u0, w) - 1, texel(v0, h) - 1, texel(u1, w) + 2, texel(v1, h) + 2}))
            return false;
    }
    return true;
}

namespace {

bool contains(const RECT& outer, const RECT& inner)
{
    return outer.left <= inner.left && outer.top <= inner.top && outer.right >= inner.right &&
           outer.bottom >= inner.bottom;
}

// The pixels of the quad the triangles idx[0, 6) make, when they make an
// axis-aligned rectangle (each vertex on a corner, each triangle on three
// corners, the two sharing a diagonal). Pixel centres lie on whole
// coordinates (as the D3D sprite's half-pixel shift assumes): a quad from
// x0 to x1 covers the columns from x0 to x1 - 0.5.
bool quadPixels(const BatchVertex* v, const std::uint16_t* idx, RECT& pixels)
{
    float x0 = v[idx[0]].x, x1 = x0, y0 = v[idx[0]].y, y1 = y0;
    for (int i = 1; i < 6; ++i) {
        x0 = std::min(x0, v[idx[i]].x);
        x1 = std::max(x1, v[idx[i]].x);
        y0 = std::min(y0, v[idx[i]].y);
        y1 = std::max(y1, v[idx[i]].y);
    }
    // Corners as bits (1: top left, 2: top right, 4: bottom left, 8:
    // bottom right), each triangle's as a mask.
    int corners[2] = {0, 0};
    for (int i = 0; i < 6; ++i) {
        const BatchVertex& p = v[idx[i]];
        if ((p.x != x0 && p.x != x1) || (p.y != y0 && p.y != y1))
            return false;
        const int bit = 1 << ((p.x == x1 ? 1 : 0) | (p.y == y1 ? 2 : 0));
        if (corners[i / 3] & bit)
            return false;
        corners[i / 3] |= bit;
    }
    const int shared = corners[0] & corners[1];
    if ((corners[0] | corners[1]) != 0xF || (shared != 0x9 && shared != 0x6))
        return false;
    pixels = RECT{pixelCeil(x0), pixelCeil(y0), pixelFloor(x1 - 0.5f) + 1, pixelFloor(y1 - 0.5f) + 1};
    return !empty(pixels);
}

// Joins rectangles that share a whole side, until none do.
void joinTouching(std::vector<RECT>& rects)
{
    for (bool joined = true; joined;) {
        joined = false;
        for (std::size_t i = 0; i < rects.size() && !joined; ++i) {
            for (std::size_t j = i + 1; j < rects.size(); ++j) {
                RECT& a = rects[i];
                const RECT& b = rects[j];
                const bool column = a.left == b.left && a.right == b.right && (a.bottom == b.top || b.bottom == a.top);
                const bool row = a.top == b.top && a.bottom == b.bottom && (a.right == b.left || b.right == a.left);
                if (column || row) {
                    a = unite(a, b);
                    rects.erase(rects.begin() + std::ptrdiff_t(j));
                    joined = true;
                    break;
                }
            }
        }
    }
}

// What is left of `part` once a clear rim is peeled off it, a row or a
// column of pixels at a time, at most kMaxPeel from each side; empty when
// that leaves nothing opaque. Rows go first, then columns, or the other
// way round (the rim's rows hold clear texels in every column).
template <class Opaque>
RECT peeled(const RECT& part, const Opaque& opaque)
{
    for (const bool rowsFirst : {true, false}) {
        RECT r = part;
        for (const bool rows : {rowsFirst, !rowsFirst}) {
            std::int32_t& low = rows ? r.top : r.left;
            std::int32_t& high = rows ? r.bottom : r.right;
            const auto line = [&](std::int32_t at) {
                return rows ? RECT{r.left, at, r.right, at + 1} : RECT{at, r.top, at + 1, r.bottom};
            };
            for (int n = 0; n < kMaxPeel && low < high && !opaque(line(low)); ++n)
                ++low;
            for (int n = 0; n < kMaxPeel && low < high && !opaque(line(high - 1)); ++n)
                --high;
        }
        if (!empty(r) && opaque(r))
            return r;
    }
    return RECT{0, 0, 0, 0};
}

} // namespace

RECT opaqueCover(const FrameRecord& frame, const FrameOp& op, const RECT& where, bool peel)
{
    constexpr RECT none{0, 0, 0, 0};
    if (op.kind != FrameOp::Kind::Draw || !overlaps(op.bounds, where))
        return none;
    const DrawState& st = op.state;
    const bool replaces = !st.alphaBlend || (st.srcBlend == D3DBLEND_ONE && st.destBlend == D3DBLEND_ZERO);
    if (!replaces && !blendKeepsOpaqueSource(st))
        return none;
    const RECT within = intersect(where, clippedViewport(st.viewport, frame.width(), frame.height()));
    const BatchVertex* v = frame.vertices(op);
    const std::uint16_t* idx = frame.indices(op);
    const auto opaque = [&](const std::uint16_t* quad, const RECT& r) {
        return replaces || drawsOpaqueIn(op.texture, v, quad, 6, r);
    };
    std::vector<RECT> parts;
    for (std::size_t t = 0; t + 6 <= op.indexCount; t += 3) {
        RECT part;
        const std::uint16_t* quad = idx + t;
        if (!quadPixels(v, quad, part))
            continue;
        t += 3;
        if (!replaces && std::any_of(quad, quad + 6, [&](std::uint16_t i) { return (v[i].color >> 24) != 0xFF; }))
            continue;
        part = intersect(part, within);
        // Peeling looks for large covers: a small part is not worth its reads.
        if (peel && area(part) * kPeelShare < area(within))
            continue;
        if (!empty(part) && !opaque(quad, part))
            part = peel ? peeled(part, [&](const RECT& r) { return opaque(quad, r); }) : none;
        if (!empty(part)) {
            // One quad over all of it: no need to look further.
            if (contains(part, within))
                return part;
            parts.push_back(part);
        }
    }
    joinTouching(parts);
    RECT best = none;
    for (const RECT& r : parts)
        if (area(r) > area(best))
            best = r;
    return best;
}

bool coversOpaquely(const FrameRecord& frame, const FrameOp& op, const RECT& area)
{
    return contains(op.bounds, area) && contains(opaqueCover(frame, op, area, false), area);
}

void FrameRecord::reset(int width, int height)
{
    const std::size_t held = capacityBytes();
    if (held > kKeptBytes && held > 4 * bytes()) {
        release();
    } else {
        m_ops.clear();
        m_vertices.clear();
        m_indices.clear();
        m_rects.clear();
    }
    m_width = width;
    m_height = height;
    m_standsAlone = false;
}

void FrameRecord::release()
{
    m_standsAlone = false;
    std::vector<FrameOp>().swap(m_ops);
    std::vector<BatchVertex>().swap(m_vertices);
    std::vector<std::uint16_t>().swap(m_indices);
    std::vector<RECT>().swap(m_rects);
}

std::size_t FrameRecord::bytes() const
{
    return m_ops.size() * sizeof(FrameOp) + m_vertices.size() * sizeof(BatchVertex) +
           m_indices.size() * sizeof(std::uint16_t) + m_rects.size() * sizeof(RECT);
}

std::size_t FrameRecord::capacityBytes() const
{
    return m_ops.capacity() * sizeof(FrameOp) + m_vertices.capacity() * sizeof(BatchVertex) +
           m_indices.capacity() * sizeof(std::uint16_t) + m_rects.capacity() * sizeof(RECT);
}

bool FrameRecord::fits(std::size_t vertexCount, std::size_t indexCount, std::size_t rectCount) const
{
    const std::size_t more = sizeof(FrameOp) + vertexCount * sizeof(BatchVertex) +
                             indexCount * sizeof(std::uint16_t) + rectCount * sizeof(RECT);
    return m_ops.size() < kMaxOps && more <= kMaxBytes && bytes() <= kMaxBytes - more;
}

bool FrameRecord::addClear(const std::vector<RECT>& rects, D3DCOLOR color)
{
    if (!fits(0, 0, rects.size()))
        return false;
    FrameOp op;
    op.kind = FrameOp::Kind::Clear;
    op.color = color;
    op.first = std::uint32_t(m_rects.size());
    op.count = std::uint32_t(rects.size());
    bool whole = false;
    for (const RECT& r : rects) {
        m_rects.push_back(r);
        op.bounds = empty(op.bounds) ? r : unite(op.bounds, r);
        whole = whole || (r.left <= 0 && r.top <= 0 && r.right >= m_width && r.bottom >= m_height);
    }
    op.bounds = intersect(op.bounds, RECT{0, 0, m_width, m_height});
    if (m_ops.empty())
        m_standsAlone = whole;
    std::uint64_t h = mix(0xC1EA7, color);
    op.hash = hashBytes(h, m_rects.data() + op.first, sizeof(RECT) * rects.size());
    op.hashed = true;
    m_ops.push_back(op);
    return true;
}

bool FrameRecord::addDraw(const DrawState& state, TextureImpl* texture, const BatchVertex* vertices,
                          std::size_t vertexCount, const std::uint16_t* indices, std::size_t indexCount)
{
    if (!fits(vertexCount, indexCount, 0))
        return false;
    FrameOp op;
    op.kind = FrameOp::Kind::Draw;
    op.state = state;
    op.texture = texture;
    op.textureSerial = texture ? texture->serial() : 0;
    op.textureVersion = texture ? texture->version() : 0;
    op.first = std::uint32_t(m_vertices.size());
    op.count = std::uint32_t(vertexCount);
    op.firstIndex = std::uint32_t(m_indices.size());
    op.indexCount = std::uint32_t(indexCount);
    m_vertices.insert(m_vertices.end(), vertices, vertices + vertexCount);
    m_indices.insert(m_indices.end(), indices, indices + indexCount);
    op.bounds = drawBounds(state, vertices, vertexCount, m_width, m_height);
    // Draws come in runs of one state.
    if (!m_stateHashed || !sameDrawState(state, m_hashedState)) {
        m_hashedState = state;
        m_stateHash = hashState(state);
        m_stateHashed = true;
    }
    // The rest is hashed by hashOf.
    op.hash = m_stateHash ^ (op.textureSerial * 0xFF51AFD7ED558CCDull) ^ (std::uint64_t(op.textureVersion) << 40);
    m_ops.push_back(op);
    return true;
}

bool FrameRecord::addCopy(const FrameRecord& from, const FrameOp& op)
{
    const bool clear = op.kind == FrameOp::Kind::Clear;
    if (!fits(clear ? 0 : op.count, clear ? 0 : op.indexCount, clear ? op.count : 0))
        return false;
    FrameOp copy = op;
    copy.texture = nullptr;
    if (clear) {
        copy.first = std::uint32_t(m_rects.size());
        m_rects.insert(m_rects.end(), from.rects(op), from.rects(op) + op.count);
    } else {
        copy.first = std::uint32_t(m_vertices.size());
        copy.firstIndex = std::uint32_t(m_indices.size());
        m_vertices.insert(m_vertices.end(), from.vertices(op), from.vertices(op) + op.count);
        m_indices.insert(m_indices.end(), from.indices(op), from.indices(op) + op.indexCount);
    }
    m_ops.push_back(copy);
    return true;
}

std::uint64_t FrameRecord::hashOf(const FrameOp& op) const
{
    if (!op.hashed) {
        const std::uint64_t h = hashBytes(op.hash, vertices(op), sizeof(BatchVertex) * op.count);
        op.hash = hashBytes(h, indices(op), sizeof(std::uint16_t) * op.indexCount);
        op.hashed = true;
    }
    return op.hash;
}

bool FrameRecord::uses(const TextureImpl* texture) const
{
    return std::any_of(m_ops.begin(), m_ops.end(), [&](const FrameOp& op) { return op.texture == texture; });
}

bool FrameRecord::sameOp(const FrameOp& a, const FrameRecord& other, const FrameOp& b) const
{
    // Equal ops hash alike: their hashes, where made, tell unequal ones apart
    // at once.
    if (a.kind != b.kind || a.count != b.count || (a.hashed && b.hashed && a.hash != b.hash))
        return false;
    auto same = [](const void* x, const void* y, std::size_t bytes) { return bytes == 0 || std::memcmp(x, y, bytes) == 0; };
    if (a.kind == FrameOp::Kind::Clear)
        return a.color == b.color && same(rects(a), other.rects(b), sizeof(RECT) * a.count);
    return a.indexCount == b.indexCount && a.textureSerial == b.textureSerial &&
           a.textureVersion == b.textureVersion && sameDrawState(a.state, b.state) &&
           same(vertices(a), other.vertices(b), sizeof(BatchVertex) * a.count) &&
           same(indices(a), other.indices(b), sizeof(std::uint16_t) * a.indexCount);
}

bool FrameRecord::sameAs(const FrameRecord& other) const
{
    if (m_width != other.m_width || m_height != other.m_height || m_ops.size() != other.m_ops.size())
        return false;
    for (std::size_t i = 0; i < m_ops.size(); ++i)
        if (!sameOp(m_ops[i], other, other.m_ops[i]))
            return false;
    return true;
}

namespace {

// Matches the middle parts a[0, n) and b[0, m) by their hashes with the
// fewest edits (Myers' greedy walk), marking the pairs it keeps. False when
// more than kMaxEdits edits would be needed.
bool matchMiddle(const FrameRecord& before, const FrameOp* a, std::size_t n, const FrameRecord& now, const FrameOp* b,
                 std::size_t m, std::vector<int>& aPair)
{
    const int maxD = int(std::min<std::size_t>(kMaxEdits, n + m));
    const int offset = maxD + 1;
    std::vector<int> v(2 * std::size_t(offset) + 1, 0);
    std::vector<std::vector<int>> trace;
    const int N = int(n), M = int(m);
    for (int d = 0; d <= maxD; ++d) {
        trace.push_back(v);
        for (int k = -d; k <= d; k += 2) {
            int x = (k == -d || (k != d && v[offset + k - 1] < v[offset + k + 1])) ? v[offset + k + 1]
                                                                                   : v[offset + k - 1] + 1;
            int y = x - k;
            while (x < N && y < M && before.hashOf(a[x]) == now.hashOf(b[y])) {
                ++x;
                ++y;
            }
            v[offset + k] = x;
            if (x < N || y < M)
                continue;
            // Walk back through the rounds, keeping each diagonal run.
            for (int e = d; e >= 0; --e) {
                const std::vector<int>& tv = trace[std::size_t(e)];
                const int kk = x - y;
                const int prevK = (kk == -e || (kk != e && tv[offset + kk - 1] < tv[offset + kk + 1])) ? kk + 1
                                                                                                     : kk - 1;
                const int prevX = e > 0 ? tv[offset + prevK] : 0;
                const int prevY = e > 0 ? prevX - prevK : 0;
                while (x > prevX && y > prevY) {
                    --x;
                    --y;
                    aPair[std::size_t(x)] = y;
                }
                x = prevX;
                y = prevY;
            }
            return true;
        }
    }
    return false;
}

// Merges rectangles that overlap or lie so close that one rectangle around
// both costs little more, until at most kMaxMergedAreas remain and none
// overlap (so no pixel is drawn twice).
void mergeAreas(std::vector<RECT>& rects)
{
    bool merged = true;
    while (merged && rects.size() > 1) {
        merged = false;
        std::size_t bestI = 0, bestJ = 0;
        std::int64_t bestCost = -1;
        for (std::size_t i = 0; i < rects.size() && !merged; ++i) {
            for (std::size_t j = i + 1; j < rects.size(); ++j) {
                const std::int64_t extra = area(unite(rects[i], rects[j])) - area(rects[i]) - area(rects[j]);
                if (overlaps(rects[i], rects[j]) || extra <= 1024) {
                    rects[i] = unite(rects[i], rects[j]);
                    rects.erase(rects.begin() + std::ptrdiff_t(j));
                    merged = true;
                    break;
                }
                if (bestCost < 0 || extra < bestCost) {
                    bestCost = extra;
                    bestI = i;
                    bestJ = j;
                }
            }
        }
        if (!merged && rects.size() > kMaxMergedAreas) {
            rects[bestI] = unite(rects[bestI], rects[bestJ]);
            rects.erase(rects.begin() + std::ptrdiff_t(bestJ));
            merged = true;
        }
    }
}

} // namespace

std::vector<RECT> changedAreas(const FrameRecord& before, const FrameRecord& now)
{
    const std::vector<FrameOp>& a = before.ops();
    const std::vector<FrameOp>& b = now.ops();
    std::size_t head = 0;
    while (head < a.size() && head < b.size() && before.sameOp(a[head], now, b[head]))
        ++head;
    std::size_t tail = 0;
    while (tail < a.size() - head && tail < b.size() - head &&
           before.sameOp(a[a.size() - 1 - tail], now, b[b.size() - 1 - tail]))
        ++tail;
    const std::size_t n = a.size() - head - tail, m = b.size() - head - tail;

    // Pairs of the middle parts: equal draws in the same order. Whatever is
    // left unpaired on either side is where the pictures may differ.
    std::vector<int> aPair(n, -1);
    if (n > 0 && m > 0 && !matchMiddle(before, a.data() + head, n, now, b.data() + head, m, aPair) && n == m)
        for (std::size_t i = 0; i < n; ++i)
            aPair[i] = int(i);
    std::vector<bool> bPaired(m, false);
    for (std::size_t i = 0; i < n; ++i) {
        const int j = aPair[i];
        if (j < 0)
            continue;
        if (before.sameOp(a[head + i], now, b[head + std::size_t(j)]))
            bPaired[std::size_t(j)] = true;
        else
            aPair[i] = -1;
    }

    std::vector<RECT> rects;
    RECT box{0, 0, 0, 0};
    auto add = [&](const RECT& r) {
        if (empty(r))
            return;
        box = empty(box) ? r : unite(box, r);
        if (rects.size() <= kMaxAreas)
            rects.push_back(r);
    };
    for (std::size_t i = 0; i < n; ++i)
        if (aPair[i] < 0)
            add(a[head + i].bounds);
    for (std::size_t j = 0; j < m; ++j)
        if (!bPaired[j])
            add(b[head + j].bounds);
    if (rects.size() > kMaxAreas)
        return {box};
    mergeAreas(rects);
    return rects;
}

std::int64_t areaOf(const std::vector<RECT>& rects)
{
    std::int64_t total = 0;
    for (const RECT& r : rects)
        total += area(r);
    return total;
}

} // namespace platform
