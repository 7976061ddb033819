#pragma once
// The demo GUI with its widget galleries on the offscreen GL device, driven
// by injected mouse input: widgets found by name, points given relative to
// a widget, clicks and drags of whole frames, pixels compared per channel.
#include <cstdlib>

#include "gui_test_bench.h"

namespace guitest {

class GalleryBench : public DemoBench {
protected:
    void SetUp() override
    {
        DemoBench::SetUp();
        if (HasFatalFailure())
            return;
        loadDemo();
        // The arrow would cover the pixels under the mouse.
        gui->ShowMouseCursor(false);
    }
    template <class T = GUI::Widget>
    T* widget(const std::string& name) const
    {
        return dynamic_cast<T*>(gui->GetRoot()->FindChild(name, true));
    }
    // The screen point (dx, dy) from the widget's top-left corner.
    std::pair<int, int> at(const std::string& name, int dx, int dy) const
    {
        const GUI::Widget* w = widget(name);
        return w ? std::make_pair(w->GetAbsoluteX() + dx, w->GetAbsoluteY() + dy) : std::make_pair(-1, -1);
    }
    void hover(std::pair<int, int> p)
    {
        moveTo(p.first, p.second);
        step(2);
    }
    void click(std::pair<int, int> p) { GuiBench::click(p.first, p.second); }
    // A left drag from p by (dx, dy) in four steps.
    void dragBy(std::pair<int, int> p, int dx, int dy)
    {
        drag(p.first, p.second, {{p.first + dx / 4, p.second + dy / 4}, {p.first + dx / 2, p.second + dy / 2},
                                 {p.first + dx, p.second + dy}});
    }
    // The back buffer's pixel after a fresh frame.
    std::uint32_t shown(std::pair<int, int> p)
    {
        draw();
        return pixelAt(p.first, p.second);
    }
    // Each of red, green and blue within tolerance.
    static bool near(std::uint32_t a, std::uint32_t b, int tolerance = 2)
    {
        for (int shift = 0; shift < 24; shift += 8)
            if (std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF)) > tolerance)
                return false;
        return true;
    }
};

} // namespace guitest
