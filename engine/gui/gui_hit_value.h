#pragma once
// What the hover hit test reads of a widget, kept in values that count
// every change. The GUI server keeps the widget under a still pointer until
// some such change happened: widgets are written directly by the toolkit
// and the game, so the count lives in the values themselves rather than in
// setters that a direct write would pass by.
#include <atomic>
#include <cstdint>

#include "engine/util/a_rect.h"

namespace GUI {

// Atomic: widgets may be built on the loading thread.
inline std::atomic<std::uint64_t> g_hitTestChanges{0};

// Anything the hit test reads changed (or may have).
inline void NoteHitTestChange() { g_hitTestChanges.fetch_add(1, std::memory_order_relaxed); }
// Equal before and after a stretch only when nothing the hit test reads
// changed in between.
inline std::uint64_t HitTestChanges() { return g_hitTestChanges.load(std::memory_order_relaxed); }

// A value read like a T; writing a different value counts a change.
template <class T>
class HitValue {
public:
    HitValue() = default;
    HitValue(T v) : m_value(v) {}
    HitValue(const HitValue&) = default;
    HitValue& operator=(const HitValue& other) { return *this = other.m_value; }
    HitValue& operator=(T v)
    {
        if (!(v == m_value)) {
            m_value = v;
            NoteHitTestChange();
        }
        return *this;
    }
    operator T() const { return m_value; }
    T get() const { return m_value; }
    // For a pointer.
    T operator->() const { return m_value; }

private:
    T m_value{};
};

// A widget's area: an aRect whose sides count their changes.
struct HitRect {
    HitValue<std::int16_t> x;
    HitValue<std::int16_t> y;
    HitValue<std::uint16_t> width;
    HitValue<std::uint16_t> height;

    HitRect() = default;
    HitRect(const aRect& r) : x(r.x), y(r.y), width(r.width), height(r.height) {}
    HitRect(const HitRect&) = default;
    HitRect& operator=(const HitRect& other) { return *this = other.get(); }
    HitRect& operator=(const aRect& r)
    {
        x = r.x;
        y = r.y;
        width = r.width;
        height = r.height;
        return *this;
    }
    aRect get() const { return aRect(x, y, width, height); }
    operator aRect() const { return get(); }

    std::int32_t right() const { return get().right(); }
    std::int32_t bottom() const { return get().bottom(); }
    bool contains(std::int16_t px, std::int16_t py) const { return get().contains(px, py); }
    aRect getUnion(const aRect& other) const { return get().getUnion(other); }
    aRect getIntersection(const aRect& other) const { return get().getIntersection(other); }
    bool operator==(const aRect& o) const { return get() == o; }
    bool operator!=(const aRect& o) const { return get() != o; }
};

} // namespace GUI
