#pragma once
// A button drawn with one image per state (normal, pushed, hover,
// disabled): cut from one glyph strip ("Image", "Layout", "GlyphCount") or
// given one by one, each stretched over the button, optionally turned; its
// alpha can make clicks fall through ("TransparentAlpha").
#include <cstdint>
#include <memory>

#include "engine/gfx/a_image.h"
#include "engine/gui/gui_button_base.h"

namespace GUI {

class ImageButton : public ButtonBase {
public:
    explicit ImageButton(const std::string& name);
    ~ImageButton() override;

    void EndFillProperties() override;
    const char* GetTypeName() const override { return "ImageButton"; }
    bool IsA(const std::string& type) const override { return type == "ImageButton" || ButtonBase::IsA(type); }
    void DrawSelf() override;
    // Below TransparentAlpha (times the widget's alpha) in the normal
    // image, stretched as drawn; never while the button is turned.
    bool IsTransparentAt(std::int32_t x, std::int32_t y) const override;

    std::unique_ptr<aImage> normalImage, disabledImage, hoverImage, pushedImage;
    float rotAngle = 0.0f;  // degrees
    float rotCenter[2] = {0.0f, 0.0f};
    bool rotCenterSet = false;
    aRect normalRect, disabledRect, hoverRect, pushedRect;
    HitValue<std::uint8_t> transparentAlpha = std::uint8_t(0);

    Property pImage, pImageRect, pLayout, pGlyphCount, pNormalImage, pDisabledImage, pHoverImage, pPushedImage,
        pNormalRect, pDisabledRect, pHoverRect, pPushedRect, pRotAngle, pRotCenter, pTransparentAlpha;

protected:
    // The state's image stretched over `box` (screen pixels).
    void DrawStateImage(const aRect& box) const;
};

} // namespace GUI
