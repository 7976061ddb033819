#include "engine/gfx/a_image_parts.h"

#include <algorithm>

void anim_drawInRect(const aAnim* anim, const aRect& rect, std::uint32_t color, float angle, std::uint32_t flags)
{
    if (!anim || (color >> 24) == 0)
        return;
    const std::uint16_t fw = anim->getFrameWidth(), fh = anim->getFrameHeight();
    // A frame of no size cannot be stretched into anything.
    if (fw == 0 || fh == 0)
        return;
    const D3DXVECTOR2 scale{float(rect.width) / float(fw), float(rect.height) / float(fh)};
    anim->draw(float(rect.x), float(rect.y), color, &scale, angle, nullptr, flags);
}

void image_drawTiled(const aImage* image, const aRect& source, const aRect& dest, std::uint32_t color)
{
    if (!image || (color >> 24) == 0)
        return;
    // A zero size would never advance across the destination.
    if (source.width == 0 || source.height == 0 || dest.width == 0 || dest.height == 0)
        return;
    const std::int32_t right = dest.right(), bottom = dest.bottom();
    const std::int32_t colWidth = std::min(source.width, dest.width);
    std::int32_t h = std::min(source.height, dest.height);
    for (std::int32_t y = dest.y; y < bottom;) {
        std::int32_t w = colWidth;
        for (std::int32_t x = dest.x; x < right;) {
            const aRect tile(source.x, source.y, std::uint16_t(w), std::uint16_t(h));
            image->draw(std::int16_t(x), std::int16_t(y), &tile, color, nullptr, 0.0f, nullptr, 0);
            x += w;
            if (x + w > right)
                w = right - x;
        }
        y += h;
        if (y + h > bottom)
            h = bottom - y;
    }
}

namespace {

bool sameImage(const aImage* held, const aImage* image)
{
    return held && image && held->getData() == image->getData();
}

void assignRect(const aImage* image, const aRect* source, aRect* rectSlot)
{
    if (source) {
        *rectSlot = *source;
    } else if (image) {
        *rectSlot = aRect(0, 0, image->getWidth(), image->getHeight());
    } else {
        rectSlot->x = 0;
        rectSlot->y = 0;
    }
}

} // namespace

void image_assignWithRect(const aImage* image, const aRect* source, std::unique_ptr<aImage>* imageSlot,
                          aRect* rectSlot)
{
    if (!imageSlot || !rectSlot)
        return;
    if (!sameImage(imageSlot->get(), image))
        *imageSlot = image ? std::make_unique<aImage>(*image) : nullptr;
    assignRect(image, source, rectSlot);
}

void image_assignWithRect(const aImage* image, const aRect* source, aImage** imageSlot, aRect* rectSlot)
{
    if (!imageSlot || !rectSlot)
        return;
    if (!sameImage(*imageSlot, image)) {
        delete *imageSlot;
        *imageSlot = image ? new aImage(*image) : nullptr;
    }
    assignRect(image, source, rectSlot);
}
