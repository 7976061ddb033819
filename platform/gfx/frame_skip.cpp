#include "platform/gfx/frame_skip.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace platform {

namespace {

// Set, non-empty and not "0".
bool envOn(const char* name)
{
    const char* value = std::getenv(name);
    return value && *value && std::strcmp(value, "0") != 0;
}

// Every device's share of frameCheckTotals(); devices may live on any thread.
std::atomic<std::uint64_t> g_framesChecked{0};
std::atomic<std::uint64_t> g_framesMismatched{0};
std::atomic<std::uint64_t> g_framesForcedWhole{0};
std::atomic<std::uint64_t> g_framesNotWhole{0};

// Small enough to draw or show alone.
bool small(const std::vector<RECT>& areas, int width, int height)
{
    return areaOf(areas) * 100 <= kPartialPercent * std::int64_t(width) * height;
}

bool overlap(const RECT& a, const RECT& b)
{
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

} // namespace

std::size_t firstVisibleOp(const FrameRecord& f, const RECT& area, std::size_t end)
{
    const std::vector<FrameOp>& ops = f.ops();
    std::size_t first = std::min(end, ops.size());
    while (first > 0 && !(overlap(ops[first - 1].bounds, area) && coversOpaquely(f, ops[first - 1], area)))
        --first;
    return first > 0 ? first - 1 : 0;
}

void visiblePieces(const FrameRecord& f, const RECT& area, std::vector<VisiblePiece>& out, std::size_t end)
{
    out.clear();
    end = std::min(end, f.ops().size());
    const std::size_t first = firstVisibleOp(f, area, end);
    const auto pixels = [](const RECT& r) {
        return r.right > r.left && r.bottom > r.top ? std::int64_t(r.right - r.left) * (r.bottom - r.top) : 0;
    };
    // The latest draw that hides enough of the area to pay for drawing the
    // ops before it around what it hides. The hidden part is cut on
    // multiples of 4 pixels, where the rasteriser's blocks of pixels end.
    RECT hidden{0, 0, 0, 0};
    std::size_t hider = end;
    for (std::size_t k = end; k > first + 1 && hider == end;) {
        const FrameOp& op = f.ops()[--k];
        const RECT reach{std::max(op.bounds.left, area.left), std::max(op.bounds.top, area.top),
                         std::min(op.bounds.right, area.right), std::min(op.bounds.bottom, area.bottom)};
        if (pixels(reach) * 2 < pixels(area))
            continue;
        const RECT cover = opaqueCover(f, op, area, true);
        const RECT cut{(cover.left + 3) & ~3, (cover.top + 3) & ~3, cover.right & ~3, cover.bottom & ~3};
        if (pixels(cut) >= kMinHiddenPixels && pixels(cut) * 2 >= pixels(area)) {
            hidden = cut;
            hider = k;
        }
    }
    if (hider == end) {
        out.push_back(VisiblePiece{area, first, end});
        return;
    }
    const RECT around[4] = {{area.left, area.top, area.right, hidden.top},
                            {area.left, hidden.bottom, area.right, area.bottom},
                            {area.left, hidden.top, hidden.left, hidden.bottom},
                            {hidden.right, hidden.top, area.right, hidden.bottom}};
    for (const RECT& r : around) {
        if (pixels(r) == 0)
            continue;
        const std::size_t from = firstVisibleOp(f, r, end);
        if (from < hider)
            out.push_back(VisiblePiece{r, from, hider});
    }
    out.push_back(VisiblePiece{area, hider, end});
}

KeptUnder::Step KeptUnder::plan(const FrameRecord& f, const RECT& area)
{
    const std::vector<FrameOp>& ops = f.ops();
    m_touching.clear();
    for (std::size_t i = firstVisibleOp(f, area); i < ops.size(); ++i)
        if (overlap(ops[i].bounds, area))
            m_touching.push_back(i);
    auto it = std::find_if(m_areas.begin(), m_areas.end(), [&](const Area& a) {
        return std::memcmp(&a.rect, &area, sizeof(RECT)) == 0;
    });
    if (it == m_areas.end()) {
        if (m_areas.size() < kMostAreas)
            it = m_areas.emplace(m_areas.end());
        else
            it = std::min_element(m_areas.begin(), m_areas.end(),
                                  [](const Area& a, const Area& b) { return a.lastUse < b.lastUse; });
        *it = Area{};
        it->rect = area;
    }
    Area& a = *it;
    a.lastUse = ++m_uses;
    a.planned = 0;
    // How many of the ops drawn there last time come again, in order.
    std::size_t same = 0;
    const std::vector<FrameOp>& last = a.ops.ops();
    while (same < last.size() && same < m_touching.size() && a.ops.sameOp(last[same], f, ops[m_touching[same]]))
        ++same;
    Step step;
    if (a.saved > 0 && same >= a.saved && a.saved < m_touching.size()) {
        step.restore = true;
        step.from = m_touching[a.saved];
    } else {
        // What the kept pixels held no longer comes.
        a.saved = 0;
    }
    // Keep what came again under what changed, for the frames to come.
    if (same > a.saved && same < m_touching.size()) {
        step.save = true;
        step.at = m_touching[same];
        a.planned = same;
    }
    a.ops.reset(f.width(), f.height());
    for (const std::size_t i : m_touching) {
        if (!a.ops.addCopy(f, ops[i])) {
            // Too large to compare: kept no more.
            a.ops.release();
            a.saved = a.planned = 0;
            step.save = false;
            return step;
        }
    }
    return step;
}

void KeptUnder::kept(const RECT& area)
{
    for (auto it = m_areas.begin(); it != m_areas.end();) {
        if (std::memcmp(&it->rect, &area, sizeof(RECT)) == 0) {
            it->saved = it->planned;
            it->planned = 0;
            ++it;
        } else if (overlap(it->rect, area)) {
            // Its pixels were kept where this area's now are.
            it = m_areas.erase(it);
        } else {
            ++it;
        }
    }
}

void countFrameChecked(bool mismatched)
{
    ++g_framesChecked;
    if (mismatched)
        ++g_framesMismatched;
}

void countFrameForcedWhole() { ++g_framesForcedWhole; }

void countFrameNotWhole() { ++g_framesNotWhole; }

FrameCheckTotals frameCheckTotals()
{
    FrameCheckTotals t;
    t.checked = g_framesChecked;
    t.mismatched = g_framesMismatched;
    t.forcedWhole = g_framesForcedWhole;
    t.notWhole = g_framesNotWhole;
    return t;
}

FrameSkip::FrameSkip()
{
    // "abort": a test run stops at the first frame that differs.
    m_checkFrames = envOn("A2D_CHECK_FRAMES");
    m_checkAborts = m_checkFrames && std::strcmp(std::getenv("A2D_CHECK_FRAMES"), "abort") == 0;
    m_wholeFrames = envOn("A2D_WHOLE_FRAMES");
}

void FrameSkip::setEnabled(bool on, GfxDeviceStats& stats)
{
    m_enabled = on;
    if (!on) {
        stopTracking();
        m_shown.release();
        m_spare.release();
        m_shownKnown = m_spareKnown = m_spareIsShown = false;
        stats.recordBytes = 0;
    }
}

void FrameSkip::startFrame(bool clearsAll, int width, int height)
{
    if (m_frameStarted)
        return;
    m_frameStarted = true;
    m_frame.reset(width, height);
    m_tracking = m_holding = clearsAll && m_enabled;
}

bool FrameSkip::release()
{
    const bool held = m_holding;
    m_holding = false;
    return held;
}

void FrameSkip::stopTracking()
{
    m_tracking = false;
    m_frame.release();
}

void FrameSkip::forget()
{
    m_shownKnown = m_spareKnown = m_spareIsShown = false;
    m_frameStarted = m_tracking = false;
}

FrameSkip::Plan FrameSkip::plan(bool whole, bool keep, int width, int height, GfxDeviceStats& stats)
{
    Plan plan;
    if (!m_holding)
        return plan;
    m_holding = false;
    whole = whole || m_drawNextWhole;
    const FrameRecord& spare = m_spareIsShown ? m_shown : m_spare;
    const bool spareKnown = m_spareIsShown ? m_shownKnown : m_spareKnown;
    // A flip shows the back target's frame afterwards: skipping is only the
    // same when both targets hold this frame.
    if (!whole && m_shownKnown && m_frame.sameAs(m_shown) && (keep || (spareKnown && spare.sameAs(m_shown)))) {
        plan.drawn = Drawn::Not;
    } else if (!whole && spareKnown) {
        plan.areas = changedAreas(spare, m_frame);
        if (small(plan.areas, width, height))
            plan.drawn = Drawn::Partly;
    }
    if (!whole && m_shownKnown && plan.drawn != Drawn::Not) {
        plan.shownChanged = changedAreas(m_shown, m_frame);
        plan.shownKnown = small(plan.shownChanged, width, height);
    }
    // Counted, so that a comparison run can tell it compared something.
    if (m_wholeFrames && plan.drawn != Drawn::Whole) {
        ++stats.framesForcedWhole;
        countFrameForcedWhole();
        plan.drawn = Drawn::Whole;
    }
    if (plan.drawn != Drawn::Whole)
        countFrameNotWhole();
    return plan;
}

void FrameSkip::skipped(GfxDeviceStats& stats)
{
    m_frameStarted = false;
    ++stats.framesSkipped;
    ++stats.framesRecorded;
    m_tracking = false;
    noteRecordBytes(stats);
}

void FrameSkip::presented(bool trades, bool inPlace, GfxDeviceStats& stats)
{
    const bool drew = m_frameStarted;
    m_frameStarted = false;
    m_drawNextWhole = false;
    if (inPlace) {
        // One buffer: what was drawn over it is shown, and drawn over next.
        if (drew) {
            std::swap(m_shown, m_frame);
            m_shownKnown = m_tracking;
        }
        m_spareIsShown = true;
        m_spareKnown = false;
    } else if (trades) {
        m_spareIsShown = false;
        std::swap(m_spare, m_shown);
        m_spareKnown = m_shownKnown;
        std::swap(m_shown, m_frame);
        m_shownKnown = m_tracking;
    }
    if (m_tracking)
        ++stats.framesRecorded;
    m_tracking = false;
    noteRecordBytes(stats);
}

void FrameSkip::notShown()
{
    m_spareKnown = m_spareKnown && !m_frameStarted;
    // Drawn over the presented frame: the buffer no longer holds it.
    if (m_spareIsShown && m_frameStarted)
        m_spareIsShown = false;
    m_tracking = m_frameStarted = false;
}

void FrameSkip::noteRecordBytes(GfxDeviceStats& stats)
{
    stats.recordBytes = m_frame.capacityBytes() + m_shown.capacityBytes() + m_spare.capacityBytes();
}

} // namespace platform
