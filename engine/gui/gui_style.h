#pragma once
// A nine-slice frame: one image cut into four corners, four edges and an
// interior, drawn around any rectangle so that the corners keep their size
// while edges and interior stretch or tile. Made by "style" sections of GUI
// scripts and kept by name in the GUI server.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/gfx/a_image.h"
#include "engine/gui/gui_property_set.h"
#include "engine/util/a_rect.h"

namespace GUI {

class Style : public PropertySet {
public:
    // How an edge or the interior is drawn. 0 is left by an invalid keyword
    // and draws like TILE.
    enum FillType : std::uint8_t {
        FILL_NONE = 1,
        FILL_STRETCH = 2,
        FILL_TILE = 3,
    };

    explicit Style(std::string name = std::string());

    // Builds the style from the properties set: image, edge and fill types,
    // then the slices (explicit, or "AutoSlice" in thirds). Bad keywords are
    // logged and keep the previous type.
    void EndFillProperties() override;
    std::string GetLogName() const override { return m_name; }

    // The frame over dest (screen pixels), modulated by the ARGB colour.
    // Nothing without an image or at alpha 0. Parts with no room (an inner
    // size of 0 or less) or an empty slice are skipped.
    void Draw(const aRect& dest, std::uint32_t color) const;

    // A handle of its own on the image manager's image, so unloading the
    // image list cannot leave the style dangling.
    std::unique_ptr<aImage> image;
    aRect topLeft, topRight, bottomLeft, bottomRight, left, top, right, bottom, interior;
    std::uint8_t fillType = FILL_NONE;
    std::uint8_t edgeLeft = FILL_NONE;
    std::uint8_t edgeTop = FILL_NONE;
    std::uint8_t edgeRight = FILL_NONE;
    std::uint8_t edgeBottom = FILL_NONE;

    Property pImage, pAutoSlice, pEdgeGlobal, pFillType, pTopLeft, pTopRight, pBottomLeft, pBottomRight, pLeft, pTop,
        pRight, pBottom, pInterior, pEdgeLeft, pEdgeTop, pEdgeRight, pEdgeBottom;

private:
    // One edge or the interior over (x, y, w, h): stretched, added to the
    // run; tiled, drawn after the run so far.
    void DrawPart(const aRect& source, std::uint8_t type, std::int32_t x, std::int32_t y, std::int32_t w,
                  std::int32_t h, std::uint32_t color, std::vector<aImage::Part>& run) const;

    std::string m_name;
};

} // namespace GUI
