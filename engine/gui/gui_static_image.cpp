#include "engine/gui/gui_static_image.h"

#include "engine/gfx/a_image_parts.h"
#include "engine/gui/gui_widget_kit.h"

namespace GUI {

StaticImage::StaticImage(const std::string& name) : Widget(name)
{
    AddProperty("NormalImage", &pNormalImage);
    AddProperty("NormalRect", &pNormalRect);
    AddProperty("DisabledImage", &pDisabledImage);
    AddProperty("DisabledRect", &pDisabledRect);
    AddProperty("Color", &pColor);
    AddProperty("RotAngle", &pRotAngle);
    AddProperty("RotCenter", &pRotCenter);
}

StaticImage::~StaticImage() = default;

void StaticImage::EndFillProperties()
{
    Widget::EndFillProperties();
    if (pColor.isSet)
        SetColor(pColor.AsHex());
    if (pRotAngle.isSet)
        rotAngle = pRotAngle.AsFloat();
    if (pRotCenter.isSet) {
        pRotCenter.AsFloatPair(rotCenter[0], rotCenter[1]);
        rotCenterSet = true;
    }
    const auto assign = [](const Property& image, const Property& rect, std::unique_ptr<aImage>* slot,
                           aRect* rectSlot) {
        if (!image.isSet)
            return;
        const aRect source = rect.AsRect();
        image_assignWithRect(ScriptImage(image.value), rect.isSet ? &source : nullptr, slot, rectSlot);
    };
    assign(pNormalImage, pNormalRect, &normalImage, &normalRect);
    assign(pDisabledImage, pDisabledRect, &disabledImage, &disabledRect);
    if (area.width == 0)
        area.width = normalRect.width;
    if (area.height == 0)
        area.height = normalRect.height;
}

void StaticImage::SetImage(const aImage* image, const aRect* source)
{
    image_assignWithRect(image, source, &normalImage, &normalRect);
}

void StaticImage::DrawSelf()
{
    const aRect box = GetAbsoluteRect();
    const float angle = rotAngle * 3.1415927f / 180.0f;
    const float* center = rotCenterSet ? rotCenter : nullptr;
    if (!IsEnabled() && disabledImage) {
        DrawImageStretched(disabledImage.get(), disabledRect, box, WhiteWithAlpha(GetAlpha()), angle, center);
        return;
    }
    Color tint = color;
    tint.a = GetAlpha();
    DrawImageStretched(normalImage.get(), normalRect, box, PackColor(tint), angle, center);
}

} // namespace GUI
