#pragma once
// A scroll bar over content of `totalSize` of which `pageSize` shows: the
// position runs from 0 to totalSize - pageSize (0 when everything shows).
// The thumb's length follows the visible share ("Stretch"); a bar whose
// content all shows hides itself ("AutoHide"), or else stretches its thumb
// over the bar or hides the thumb and disables the buttons. The buttons
// step the position by StepValue. The children draw outside the bar.
#include "engine/gui/gui_thumb_track.h"

namespace GUI {

class Scrollbar : public ThumbTrack {
public:
    explicit Scrollbar(const std::string& name);

    void EndFillProperties() override;
    const char* GetTypeName() const override { return "Scrollbar"; }
    bool IsA(const std::string& type) const override { return type == "Scrollbar"; }
    void Initialize() override;

    bool OnIncButtonClick(const EventArgs& args) override;
    bool OnDecButtonClick(const EventArgs& args) override;

    // Sizes below 0 (and NaN) count as 0; both lay the bar out again and
    // keep the position inside the new range.
    void SetTotalSize(float size);
    void SetPageSize(float size);
    // Clamped to [0, max(0, totalSize - pageSize)]; PositionChanged only
    // when the position changes.
    void SetScrollPosition(float v);
    // totalSize - pageSize, at least 0.
    float GetRange() const;

    float pageSize = 0.0f;
    float totalSize = 0.0f;
    float position = 0.0f;
    bool autoHide = false;
    bool stretch = true;

    Property pStretch, pAutoHide;

protected:
    const char* MissingThumbFormat() const override
    {
        return "Scrollbar::Initialize - Thumb for scrollbar '%s' not found";
    }
    void ThumbDragged(std::int32_t p, std::int32_t track) override;

private:
    void Layout();
    // The thumb where the position puts it.
    void PlaceThumbAtPosition();
};

} // namespace GUI
