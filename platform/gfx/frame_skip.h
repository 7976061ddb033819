#pragma once
// Skipping unchanged frames: which frames the GL device holds and records,
// which frames its two targets hold, and what a held frame needs at
// present (nothing, the areas that changed, or all of it). The device draws;
// this part only keeps the records and decides.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/gfx/frame_record.h"

namespace platform {

// A changed frame whose changed area is above this share of the back buffer
// is drawn whole: clipping its draws to that area saves little.
constexpr std::int64_t kPartialPercent = 60;

// The first op of `f` to draw for `area`: the last one that hides
// everything before it there (0 when none does); of the ops before `end`
// alone.
std::size_t firstVisibleOp(const FrameRecord& f, const RECT& area, std::size_t end = SIZE_MAX);

// What to draw of a frame in `area`, as pieces drawn in order: ops [first,
// end) of the frame clipped to rect. Where a later draw hides a part of the
// area (at least kMinHiddenPixels and half of it), the ops before that draw
// are drawn only around that part, and the rest over the whole area;
// otherwise the area is one piece from firstVisibleOp on.
struct VisiblePiece {
    RECT rect;
    std::size_t first;
    std::size_t end;
};
constexpr std::int64_t kMinHiddenPixels = 768;
// `end`: only the ops before it count.
void visiblePieces(const FrameRecord& f, const RECT& area, std::vector<VisiblePiece>& out,
                   std::size_t end = SIZE_MAX);

// What lies under the changing top of an area drawn again frame after
// frame (a button's light fading over the button): the pixels the area's
// lower ops drew, kept aside by the device, and copies of those ops. A
// later frame that draws the same ops there first gets those pixels back
// with one copy and draws only the ops above them. The kept pixels of an
// area depend on nothing but its ops from the one that hides everything
// before it, so they stay good for as long as those ops come again alike.
class KeptUnder {
public:
    // At most this many areas are kept (the least recently drawn goes).
    static constexpr std::size_t kMostAreas = 8;

    // How to draw an area: get back the kept pixels, which hold what the
    // frame's ops before `from` draw there, and draw on from `from`; or draw
    // it from its first visible op. Then, with save, keep the area's pixels
    // once the ops before `at` are drawn (and call kept()).
    struct Step {
        bool restore = false;
        std::size_t from = 0;
        bool save = false;
        std::size_t at = 0;
    };
    // For drawing `area` of frame `f` now.
    Step plan(const FrameRecord& f, const RECT& area);
    // The pixels planned to be saved for `area` are kept now.
    void kept(const RECT& area);
    // Nothing is kept any more (the device lost the pixels, or they may be
    // stale).
    void forget() { m_areas.clear(); }
    std::size_t areas() const { return m_areas.size(); }

private:
    struct Area {
        RECT rect{0, 0, 0, 0};
        FrameRecord ops;  // the ops that touched it last time, from the first visible one
        std::size_t saved = 0;    // how many of them the kept pixels hold (0: none)
        std::size_t planned = 0;  // how many a save under way will hold
        std::uint64_t lastUse = 0;
    };
    std::vector<Area> m_areas;
    std::uint64_t m_uses = 0;
    std::vector<std::size_t> m_touching;
};

// Counted for frameCheckTotals(), from any device on any thread.
void countFrameChecked(bool mismatched);
void countFrameForcedWhole();
void countFrameNotWhole();

// With unchanged frames skipped, a frame whose first call clears the whole
// back buffer is held (recorded, not drawn) until present, then compared
// with the frames the window's two targets hold: the one presented, and the
// one the back target still holds (the frame before, since presenting
// trades the targets). The same as the presented frame: nothing is drawn or
// presented. Otherwise only the areas that differ from the back target's
// frame are drawn again. Whatever cannot wait for present draws the held
// part whole at once, and the frame goes on as usual.
class FrameSkip {
public:
    enum class Drawn { Whole, Partly, Not };
    struct Plan {
        Drawn drawn = Drawn::Whole;
        std::vector<RECT> areas;  // Partly: where to draw again
        // Where the frame differs from the one presented last, when that is
        // known and small enough to show alone.
        bool shownKnown = false;
        std::vector<RECT> shownChanged;
    };

    // Reads A2D_CHECK_FRAMES and A2D_WHOLE_FRAMES.
    FrameSkip();

    bool enabled() const { return m_enabled; }
    // From the next frame on. Off, no record is kept (the caller draws a
    // held frame first).
    void setEnabled(bool on, GfxDeviceStats& stats);

    // The first clear or draw since the last present starts a frame: it is
    // recorded and held when its pixels cannot depend on an earlier frame's.
    void startFrame(bool clearsAll, int width, int height);
    bool tracking() const { return m_tracking; }
    bool holding() const { return m_holding; }
    bool holds(const TextureImpl* texture) const { return m_holding && m_frame.uses(texture); }
    const FrameRecord& frame() const { return m_frame; }
    // False when the frame got too large to record: the caller stops recording.
    bool addClear(const std::vector<RECT>& rects, D3DCOLOR color) { return m_frame.addClear(rects, color); }
    bool addDraw(const DrawState& state, TextureImpl* texture, const BatchVertex* vertices, std::size_t vertexCount,
                 const std::uint16_t* indices, std::size_t indexCount)
    {
        return m_frame.addDraw(state, texture, vertices, vertexCount, indices, indexCount);
    }
    // Ends holding; true when a frame was held (the caller draws it whole).
    bool release();
    // The frame in hand is drawn as it comes and not compared.
    void stopTracking();
    // What the targets hold is no longer known (a reset).
    void forget();
    // The next frame is drawn whole (a screenshot was taken of this one).
    void drawNextWhole() { m_drawNextWhole = true; }

    // What the held frame needs at present. whole: the window asks for a
    // whole frame; keep: presenting keeps the back buffer. Releases the hold.
    Plan plan(bool whole, bool keep, int width, int height, GfxDeviceStats& stats);
    // Present outcomes: nothing presented; presented (trades: the targets
    // traded places; inPlace: the window draws in place, its one buffer
    // holding the presented frame); drawn but not shown (the device is lost).
    void skipped(GfxDeviceStats& stats);
    void presented(bool trades, bool inPlace, GfxDeviceStats& stats);
    void notShown();

    bool checksFrames() const { return m_checkFrames; }
    bool checkAborts() const { return m_checkAborts; }

private:
    void noteRecordBytes(GfxDeviceStats& stats);

    bool m_enabled = false;
    bool m_frameStarted = false;  // a clear or draw came since the last present
    bool m_tracking = false;      // m_frame records the frame in hand
    bool m_holding = false;       // ...and nothing of it is drawn yet
    FrameRecord m_frame;
    // What the presented target and the back target hold, when known.
    FrameRecord m_shown;
    FrameRecord m_spare;
    bool m_shownKnown = false;
    bool m_spareKnown = false;
    bool m_spareIsShown = false;  // the back target is the presented one
    bool m_drawNextWhole = false;

    bool m_checkFrames = false;
    bool m_checkAborts = false;
    bool m_wholeFrames = false;  // held frames are compared but drawn whole
};

} // namespace platform
