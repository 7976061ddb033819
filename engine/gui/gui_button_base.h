#pragma once
// The base of the clickable buttons: the widget's text drawn as a label of
// one or more lines (split at LF) in the widget's (inherited) font, aligned
// inside margins, coloured by the button's state and shifted while the
// left button holds it down. The click itself is the widget's Click.
//
// `pushed` lasts from a left press to the release, and ends early when the
// button is disabled or hidden or leaves or re-enters the hover: the GUI
// server reports the release only to an enabled widget under the mouse.
#include <cstdint>
#include <vector>

#include "engine/gfx/a_font.h"
#include "engine/gui/gui_color.h"
#include "engine/gui/gui_widget.h"

namespace GUI {

class ButtonBase : public Widget {
public:
    explicit ButtonBase(const std::string& name);
    ~ButtonBase() override = 0;

    void EndFillProperties() override;
    const char* GetTypeName() const override { return "ButtonBase"; }
    bool IsA(const std::string& type) const override { return type == "ButtonBase"; }
    void DrawSelf() override;
    void UpdateSelf(float dt) override;
    bool IsUpdateIdle() const override;
    void OnMouseDown(const MouseEventArgs& args) override;
    void OnMouseUp(const MouseEventArgs& args) override;
    void OnMouseEnter(const WidgetEventArgs& args) override;
    void OnMouseLeave(const WidgetEventArgs& args) override;
    void OnTextChanged(const WidgetEventArgs& args) override;

    // 0xAARRGGBB each.
    void SetTextColors(std::uint32_t normal, std::uint32_t hover, std::uint32_t pushedColor, std::uint32_t disabled);
    void SetNormalTextColor(std::uint32_t argb) { normalTextColor = UnpackColor(argb); }
    void SetDisabledTextColor(std::uint32_t argb) { disabledTextColor = UnpackColor(argb); }
    void SetHoverTextColor(std::uint32_t argb) { hoverTextColor = UnpackColor(argb); }
    void SetPushedTextColor(std::uint32_t argb) { pushedTextColor = UnpackColor(argb); }
    // Disabled, else pushed, else normal blended into hover by hoverFade.
    std::uint32_t GetTextColor() const;

    Color normalTextColor, disabledTextColor, hoverTextColor, pushedTextColor;
    float textPushOffset[2] = {0.0f, 0.0f};
    float textExtent[2] = {0.0f, 0.0f};  // margins from the left or right, top or bottom edge
    std::int32_t textHorzAlign = ALIGN_CENTER;
    std::int32_t textVertAlign = ALIGN_CENTER;
    float lineSpacing = 0.0f;
    bool pushed = false;
    std::uint32_t drawFlags = 16;  // aFont::drawString flags: whole pixels

    Property pTextHorzAlign, pTextVertAlign, pTextPushOffset, pTextExtent, pTextColor, pTextNormalColor,
        pTextDisabledColor, pTextHoverColor, pTextPushedColor, pLineSpacing, pForceIntXY;

protected:
    // The label laid out over `box` (screen pixels) instead of the widget.
    void DrawLabel(const aRect& box);
    // The top of a label block of that height in `box`, by textVertAlign.
    float LabelTop(const aRect& box, float blockHeight) const;

private:
    // What the kept label was placed from, besides the text (whose changes
    // reach OnTextChanged) and the font's own state (the font tells).
    struct LabelKey {
        const aFont* font = nullptr;
        aRect box;
        float pushOffset[2] = {0.0f, 0.0f};
        float extent[2] = {0.0f, 0.0f};
        std::int32_t horzAlign = 0, vertAlign = 0;
        float lineSpacing = 0.0f;
        std::uint32_t drawFlags = 0;
        bool pushed = false;
        bool operator==(const LabelKey& o) const;
    };
    void PlaceLabel(const aFont& font, const aRect& box);
    // The label's lines as last placed: drawn again while nothing they were
    // placed from changed. Empty: to be placed.
    std::vector<aFont::Placed> m_label;
    LabelKey m_labelKey;
};

} // namespace GUI
