#include "engine/gui/gui_slider.h"

#include <algorithm>

namespace GUI {

bool Slider::OnIncButtonClick(const EventArgs&)
{
    SetValue(value + stepValue);
    return true;
}

bool Slider::OnDecButtonClick(const EventArgs&)
{
    SetValue(value - stepValue);
    return true;
}

void Slider::SetValue(float v)
{
    if (v != value) {
        value = v > 0.0f ? std::min(v, 1.0f) : 0.0f;
        PlaceThumb(std::int32_t(value * float(std::max(0, TrackLength()))));
    }
    OnPositionChanged(WidgetEventArgs(this));
}

} // namespace GUI
