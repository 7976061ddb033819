#pragma once
// A slider: a value from 0 (thumb at the start of the track) to 1 (at its
// end), set by dragging the thumb, by the buttons (one StepValue per
// click) or by code.
#include "engine/gui/gui_thumb_track.h"

namespace GUI {

class Slider : public ThumbTrack {
public:
    explicit Slider(const std::string& name) : ThumbTrack(name, 0.1f) {}

    const char* GetTypeName() const override { return "Slider"; }
    bool IsA(const std::string& type) const override { return type == "Slider"; }

    bool OnIncButtonClick(const EventArgs& args) override;
    bool OnDecButtonClick(const EventArgs& args) override;

    // Clamped to [0, 1] (NaN gives 0); the thumb follows. PositionChanged
    // fires even when the value stays the same.
    void SetValue(float v);

    float value = 0.0f;

protected:
    const char* MissingThumbFormat() const override { return "Slider::Initialize - Thumb for slider '%s' not found"; }
    void ThumbDragged(std::int32_t p, std::int32_t track) override { value = float(p) / float(track); }
};

} // namespace GUI
