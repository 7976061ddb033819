#include "engine/gui/gui_image_button.h"

#include <algorithm>

#include "engine/gfx/a_image_parts.h"
#include "engine/gui/gui_widget_kit.h"
#include "engine/util/a_log.h"
#include "engine/util/a_string.h"

namespace GUI {

ImageButton::ImageButton(const std::string& name) : ButtonBase(name)
{
    AddProperty("Image", &pImage);
    AddProperty("ImageRect", &pImageRect);
    AddProperty("Layout", &pLayout);
    AddProperty("GlyphCount", &pGlyphCount);
    AddProperty("NormalImage", &pNormalImage);
    AddProperty("DisabledImage", &pDisabledImage);
    AddProperty("HoverImage", &pHoverImage);
    AddProperty("PushedImage", &pPushedImage);
    AddProperty("NormalRect", &pNormalRect);
    AddProperty("DisabledRect", &pDisabledRect);
    AddProperty("HoverRect", &pHoverRect);
    AddProperty("PushedRect", &pPushedRect);
    AddProperty("RotAngle", &pRotAngle);
    AddProperty("RotCenter", &pRotCenter);
    AddProperty("TransparentAlpha", &pTransparentAlpha);
}

ImageButton::~ImageButton() = default;

void ImageButton::EndFillProperties()
{
    ButtonBase::EndFillProperties();
    std::unique_ptr<aImage>* slots[4] = {&normalImage, &pushedImage, &hoverImage, &disabledImage};
    aRect* rects[4] = {&normalRect, &pushedRect, &hoverRect, &disabledRect};
    if (pImage.isSet) {
        const aImage* strip = ScriptImage(pImage.value);
        aRect r = pImageRect.isSet ? pImageRect.AsRect()
                                   : aRect(0, 0, strip ? strip->getWidth() : 0, strip ? strip->getHeight() : 0);
        bool vertical = true;
        if (pLayout.isSet && str_equalNoCase(pLayout.value, "horizontal"))
            vertical = false;
        else if (pLayout.isSet && !str_equalNoCase(pLayout.value, "vertical"))
            a_log("ImageButton::EndFillProperties - invalid layout type '%s'", pLayout.value.c_str());
        const std::int32_t count = pGlyphCount.isSet ? pGlyphCount.AsInt() : 4;
        // More glyphs than pixels leave empty glyphs, which draw nothing.
        const std::int32_t glyphW = count > 0 ? (vertical ? r.width : r.width / count) : 0;
        const std::int32_t glyphH = count > 0 ? (vertical ? r.height / count : r.height) : 0;
        for (std::int32_t i = 0; i < std::min(count, 4); ++i) {
            const aRect glyph(std::int16_t(r.x + (vertical ? 0 : i * glyphW)),
                              std::int16_t(r.y + (vertical ? i * glyphH : 0)), std::uint16_t(glyphW),
                              std::uint16_t(glyphH));
            image_assignWithRect(strip, &glyph, slots[i], rects[i]);
        }
    }
    const std::pair<Property*, Property*> states[4] = {
        {&pNormalImage, &pNormalRect}, {&pPushedImage, &pPushedRect}, {&pHoverImage, &pHoverRect},
        {&pDisabledImage, &pDisabledRect}};
    for (int i = 0; i < 4; ++i) {
        const auto [image, rect] = states[i];
        if (!image->isSet)
            continue;
        const aRect source = rect->isSet ? rect->AsRect() : aRect();
        image_assignWithRect(ScriptImage(image->value), rect->isSet ? &source : nullptr, slots[i], rects[i]);
    }
    if (area.width == 0)
        area.width = normalRect.width;
    if (area.height == 0)
        area.height = normalRect.height;
    if (pRotAngle.isSet)
        rotAngle = pRotAngle.AsFloat();
    if (pRotCenter.isSet) {
        pRotCenter.AsFloatPair(rotCenter[0], rotCenter[1]);
        rotCenterSet = true;
    }
    if (pTransparentAlpha.isSet)
        transparentAlpha = std::uint8_t(pTransparentAlpha.AsInt());
}

void ImageButton::DrawStateImage(const aRect& box) const
{
    const std::uint32_t color = WhiteWithAlpha(GetAlpha());
    const float angle = rotAngle * 3.1415927f / 180.0f;
    const float* center = rotCenterSet ? rotCenter : nullptr;
    const auto draw = [&](const std::unique_ptr<aImage>& image, const aRect& source, std::uint32_t c) {
        DrawImageStretched(image.get(), source, box, c, angle, center);
    };
    if (!IsEnabled() && disabledImage) {
        draw(disabledImage, disabledRect, color);
    } else if (pushed && pushedImage) {
        draw(pushedImage, pushedRect, color);
    } else if (fadeInTime == 0.0f && fadeOutTime == 0.0f) {
        if (hoverFade == 1.0f && hoverImage)
            draw(hoverImage, hoverRect, color);
        else
            draw(normalImage, normalRect, color);
    } else {
        draw(normalImage, normalRect, color);
        draw(hoverImage, hoverRect, WhiteWithAlpha(GetAlpha() * hoverFade));
    }
}

void ImageButton::DrawSelf()
{
    const aRect box = GetAbsoluteRect();
    DrawStateImage(box);
    DrawLabel(box);
}

bool ImageButton::IsTransparentAt(std::int32_t x, std::int32_t y) const
{
    // No alpha is below 0: the usual answer, with nothing else read.
    if (transparentAlpha == 0)
        return false;
    // Otherwise the answer follows the image's pixels and the alpha of every
    // ancestor, whose changes nothing counts: the next hover test runs anew.
    NoteHitTestChange();
    if (rotAngle != 0.0f || !normalImage || area.width == 0 || area.height == 0)
        return false;
    // The pixel under the point as the stretched glyph shows it.
    const std::int32_t px = normalRect.x + std::int32_t(std::int64_t(x) * normalRect.width / area.width);
    const std::int32_t py = normalRect.y + std::int32_t(std::int64_t(y) * normalRect.height / area.height);
    const float seen = GetAlpha() * float(normalImage->getPixel(px, py) >> 24);
    return std::uint8_t(seen > 0.0f ? std::min(seen, 255.0f) : 0.0f) < transparentAlpha;
}

} // namespace GUI
