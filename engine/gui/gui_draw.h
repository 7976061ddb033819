#pragma once
// Drawing helpers of the widgets: a colour packed with the widget's alpha,
// and a scoped clip.
#include <cstdint>

#include "engine/gui/gui_color.h"
#include "engine/util/a_rect.h"

class aGraphServer;

namespace GUI {

// The colour packed with its alpha multiplied by alpha.
inline std::uint32_t PackColor(Color c, float alpha)
{
    c.a *= alpha;
    return PackColor(c);
}

// Narrows the graphics server's viewport to its intersection with a
// rectangle for the object's life, then restores it. Nothing without a
// graphics server.
class ScopedClip {
public:
    explicit ScopedClip(const aRect& rect);
    ~ScopedClip();
    ScopedClip(const ScopedClip&) = delete;
    ScopedClip& operator=(const ScopedClip&) = delete;

private:
    aGraphServer* m_server;
    aRect m_kept;
};

} // namespace GUI
