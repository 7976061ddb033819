#pragma once
// A frame as the list of what it draws, so that two frames can be compared:
// clears and triangle draws with their state, texture (by serial and
// version, never by address) and vertices, each with the back-buffer area it
// can touch. The GL device keeps the frames its two targets hold and draws a
// new one again only where it differs from the one in its target.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/gfx/d3d8_device_base.h"

namespace platform {

// The GL renderer draws every vertex this much short of half a pixel right
// and down, so that no edge through whole coordinates ties with a pixel
// centre: a pixel is covered when its whole coordinates lie inside a
// triangle moved back by this much.
constexpr double kEdgeNudge = 1.0 / 64.0;

// True when the triangles map the texture's texels one to one onto pixels
// (no scale, no rotation, no mirror, texel centres on pixel centres), where
// nearest sampling gives what linear sampling gives. width x height: the
// texture's size. Degenerate triangles do not count against it.
bool texelsMatchPixels(const BatchVertex* vertices, const std::uint16_t* indices, std::size_t indexCount,
                       int width, int height);

// Whether two states draw alike (every field, the viewport's depth range included).
bool sameDrawState(const DrawState& a, const DrawState& b);
// Whether two states draw alike inside a viewport both hold (every field but the viewport).
bool sameDrawStateInViewport(const DrawState& a, const DrawState& b);

struct FrameOp {
    enum class Kind : std::uint8_t { Clear, Draw };
    Kind kind = Kind::Draw;
    // Clear: the colour and rects [first, first + count) of the frame's
    // rects. Draw: vertices [first, first + count), indices relative to
    // firstVertex in [firstIndex, firstIndex + indexCount).
    D3DCOLOR color = 0;
    std::uint32_t first = 0;
    std::uint32_t count = 0;
    std::uint32_t firstIndex = 0;
    std::uint32_t indexCount = 0;
    DrawState state;                  // as drawn: the filters already point for exact draws
    TextureImpl* texture = nullptr;   // valid only while the frame is being drawn
    std::uint64_t textureSerial = 0;  // 0: none
    std::uint32_t textureVersion = 0;
    RECT bounds{0, 0, 0, 0};  // pixels it may change, inside the back buffer
    // Of everything above but the texture's address, made when first asked
    // for (FrameRecord::hashOf): equal frames are found without it.
    mutable std::uint64_t hash = 0;
    mutable bool hashed = false;
};

class FrameRecord {
public:
    // A record holds at most this many clears and draws, and this many bytes
    // of them: a frame past either is not worth comparing.
    static constexpr std::size_t kMaxOps = 8192;
    static constexpr std::size_t kMaxBytes = std::size_t(2) << 20;

    // Empties the record for a width x height back buffer. Memory grown for
    // a large frame is given back once the frame it held used little of it.
    void reset(int width, int height);
    // Empties it and gives back all its memory.
    void release();
    int width() const { return m_width; }
    int height() const { return m_height; }

    // False, adding nothing, when the record would pass its limits.
    bool addClear(const std::vector<RECT>& rects, D3DCOLOR color);
    bool addDraw(const DrawState& state, TextureImpl* texture, const BatchVertex* vertices, std::size_t vertexCount,
                 const std::uint16_t* indices, std::size_t indexCount);
    // A copy of another record's op, to compare later frames with (its
    // texture's address is not kept: only its serial and version).
    bool addCopy(const FrameRecord& from, const FrameOp& op);

    // Bytes what it records takes, and bytes its buffers hold.
    std::size_t bytes() const;
    std::size_t capacityBytes() const;

    const std::vector<FrameOp>& ops() const { return m_ops; }
    const BatchVertex* vertices(const FrameOp& op) const { return m_vertices.data() + op.first; }
    const std::uint16_t* indices(const FrameOp& op) const { return m_indices.data() + op.firstIndex; }
    const RECT* rects(const FrameOp& op) const { return m_rects.data() + op.first; }
    bool uses(const TextureImpl* texture) const;

    // The first thing drawn overwrites the whole back buffer, so the frame's
    // pixels do not depend on what was there before.
    bool standsAlone() const { return m_standsAlone; }

    std::uint64_t hashOf(const FrameOp& op) const;
    bool sameOp(const FrameOp& a, const FrameRecord& other, const FrameOp& b) const;
    bool sameAs(const FrameRecord& other) const;

private:
    bool fits(std::size_t vertexCount, std::size_t indexCount, std::size_t rectCount) const;

    int m_width = 0;
    int m_height = 0;
    bool m_standsAlone = false;
    std::vector<FrameOp> m_ops;
    std::vector<BatchVertex> m_vertices;
    std::vector<std::uint16_t> m_indices;
    std::vector<RECT> m_rects;
    // The state the last draw hashed, and its hash.
    bool m_stateHashed = false;
    DrawState m_hashedState;
    std::uint64_t m_stateHash = 0;
};

// Whether blending gives the source unchanged when the source's alpha is 1
// (so that, for such a source, it may be off).
bool blendKeepsOpaqueSource(const DrawState& state);

// Whether every pixel the triangles idx[0, indexCount) draw inside `area`
// comes out with alpha exactly 1: vertices of alpha 255, and texels opaque
// where those pixels sample them (a texel to spare on every side for the
// linear filter). Triangles that touch no pixel of the area do not count;
// a texture too large to read now counts as not opaque.
bool drawsOpaqueIn(const TextureImpl* texture, const BatchVertex* vertices, const std::uint16_t* indices,
                   std::size_t indexCount, const RECT& area);

// The largest rectangle of `area` whose pixels `op` leaves as it draws
// them, whatever was there before (empty when none): pixels of its quads
// (pairs of triangles making axis-aligned rectangles) inside its viewport,
// drawn without blending, or with blending that keeps an opaque source
// where the quad is opaque; quads that share whole sides join. With peel, a
// quad opaque only inside a clear rim gives what is inside the rim. The
// op's texture must still be alive.
RECT opaqueCover(const FrameRecord& frame, const FrameOp& op, const RECT& area, bool peel);

// Whether drawing `op` leaves every pixel of `area` as it draws it, so
// that what the frame drew there earlier need not be drawn.
bool coversOpaquely(const FrameRecord& frame, const FrameOp& op, const RECT& area);

// Where the pixels of `now` may differ from those of `before` (both drawn
// whole on the same back buffer): the areas of the draws that are not
// matched, in order, by an identical draw of the other frame, merged into a
// few rectangles. Empty when they draw the same.
std::vector<RECT> changedAreas(const FrameRecord& before, const FrameRecord& now);

// Pixels the rectangles cover (overlaps counted once per rectangle).
std::int64_t areaOf(const std::vector<RECT>& rects);

} // namespace platform
