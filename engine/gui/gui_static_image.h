#pragma once
// An image stretched over the widget, tinted by "Color" (its red, green
// and blue; the alpha is the widget's), optionally turned, with a second
// image for the disabled state. A size of 0 takes the picture's.
#include <cstdint>
#include <memory>

#include "engine/gfx/a_image.h"
#include "engine/gui/gui_color.h"
#include "engine/gui/gui_widget.h"

namespace GUI {

class StaticImage : public Widget {
public:
    explicit StaticImage(const std::string& name);
    ~StaticImage() override;

    void EndFillProperties() override;
    const char* GetTypeName() const override { return "StaticImage"; }
    bool IsA(const std::string& type) const override { return type == "StaticImage"; }
    void DrawSelf() override;

    void SetColor(std::uint32_t argb) { color = UnpackColor(argb); }
    // A handle of its own on the image (null clears) with the source
    // rectangle (null: the whole image).
    void SetImage(const aImage* image, const aRect* source);

    std::unique_ptr<aImage> normalImage, disabledImage;
    aRect normalRect, disabledRect;
    Color color;
    float rotAngle = 0.0f;  // degrees
    float rotCenter[2] = {0.0f, 0.0f};
    bool rotCenterSet = false;

    Property pNormalImage, pNormalRect, pDisabledImage, pDisabledRect, pColor, pRotAngle, pRotCenter;
};

} // namespace GUI
