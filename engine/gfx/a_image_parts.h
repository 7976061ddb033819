#pragma once
// Helpers the GUI widgets use to put part of an image or an animation into
// a rectangle. A colour whose alpha byte is 0 draws nothing.
#include <cstdint>
#include <memory>

#include "engine/gfx/a_image.h"
#include "engine/gfx/a_sprite.h"
#include "engine/util/a_rect.h"

// The animation's current frame stretched over the rectangle. Nothing for a
// null animation or a frame of zero size.
void anim_drawInRect(const aAnim* anim, const aRect& rect, std::uint32_t color, float angle, std::uint32_t flags);

// Covers the destination with unscaled copies of the source part, row by
// row from the top-left; the last row and column are clipped (they show the
// source's top-left part). Nothing when any size is 0.
void image_drawTiled(const aImage* image, const aRect& source, const aRect& dest, std::uint32_t color);

// Puts a handle on the image's data into the slot (unless the slot holds
// that image's data already) and the source rectangle, or the whole image,
// into the rectangle slot. A null image empties the slot. Nothing when
// either slot is null.
void image_assignWithRect(const aImage* image, const aRect* source, std::unique_ptr<aImage>* imageSlot,
                          aRect* rectSlot);
// The same for an owned raw handle (deleted when replaced).
void image_assignWithRect(const aImage* image, const aRect* source, aImage** imageSlot, aRect* rectSlot);
