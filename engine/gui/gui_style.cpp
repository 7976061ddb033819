#include "engine/gui/gui_style.h"

#include "engine/gfx/a_image_parts.h"
#include "engine/gui/gui_server.h"
#include "engine/util/a_log.h"
#include "engine/util/a_string.h"

namespace GUI {

namespace {

// 0 for text that is no keyword.
std::uint8_t fillFromKeyword(const std::string& text)
{
    if (str_equalNoCase(text, "none"))
        return Style::FILL_NONE;
    if (str_equalNoCase(text, "stretch"))
        return Style::FILL_STRETCH;
    if (str_equalNoCase(text, "tile"))
        return Style::FILL_TILE;
    return 0;
}

bool empty(const aRect& r) { return r.width == 0 || r.height == 0; }

} // namespace

Style::Style(std::string name) : m_name(std::move(name))
{
    AddProperty("Image", &pImage);
    AddProperty("AutoSlice", &pAutoSlice);
    AddProperty("EdgeGlobal", &pEdgeGlobal);
    AddProperty("FillType", &pFillType);
    AddProperty("TopLeft", &pTopLeft);
    AddProperty("TopRight", &pTopRight);
    AddProperty("BottomLeft", &pBottomLeft);
    AddProperty("BottomRight", &pBottomRight);
    AddProperty("Left", &pLeft);
    AddProperty("Top", &pTop);
    AddProperty("Right", &pRight);
    AddProperty("Bottom", &pBottom);
    AddProperty("Interior", &pInterior);
    AddProperty("EdgeLeft", &pEdgeLeft);
    AddProperty("EdgeTop", &pEdgeTop);
    AddProperty("EdgeRight", &pEdgeRight);
    AddProperty("EdgeBottom", &pEdgeBottom);
}

void Style::EndFillProperties()
{
    const Server* server = Server::getSingletonPtr();
    const aImage* found = server ? server->GetImage(pImage.value) : nullptr;
    if (!server)
        a_log("GUI::Server::GetImage - image \"%s\" not found!", pImage.value.c_str());
    image = found ? std::make_unique<aImage>(*found) : nullptr;

    if (pEdgeGlobal.isSet) {
        if (const std::uint8_t type = fillFromKeyword(pEdgeGlobal.value))
            edgeLeft = edgeTop = edgeRight = edgeBottom = type;
        else
            a_log("Style::MakeFromScript - invalid EdgeType = '%s'", pEdgeGlobal.value.c_str());
    } else {
        const std::pair<Property*, std::uint8_t*> edges[] = {
            {&pEdgeLeft, &edgeLeft}, {&pEdgeTop, &edgeTop}, {&pEdgeRight, &edgeRight}, {&pEdgeBottom, &edgeBottom}};
        for (const auto& [property, edge] : edges) {
            if (const std::uint8_t type = fillFromKeyword(property->value))
                *edge = type;
            else
                a_log("Style::MakeFromScript - invalid %s = '%s'", property->GetName().c_str(),
                      property->value.c_str());
        }
    }
    if (const std::uint8_t type = fillFromKeyword(pFillType.value))
        fillType = type;
    else
        a_log("Style::MakeFromScript - invalid FillType = '%s'", pFillType.value.c_str());

    if (!pAutoSlice.isSet) {
        topLeft = pTopLeft.AsRect();
        topRight = pTopRight.AsRect();
        bottomLeft = pBottomLeft.AsRect();
        bottomRight = pBottomRight.AsRect();
        if (edgeLeft != FILL_NONE)
            left = pLeft.AsRect();
        if (edgeTop != FILL_NONE)
            top = pTop.AsRect();
        if (edgeRight != FILL_NONE)
            right = pRight.AsRect();
        if (edgeBottom != FILL_NONE)
            bottom = pBottom.AsRect();
        if (fillType != FILL_NONE)
            interior = pInterior.AsRect();
        return;
    }
    aRect whole;
    if (str_equalNoCase(pAutoSlice.value, "all")) {
        if (image)
            whole = aRect(0, 0, image->getWidth(), image->getHeight());
    } else {
        whole = pAutoSlice.AsRect();
    }
    const std::uint16_t cw = std::uint16_t(whole.width / 3), ch = std::uint16_t(whole.height / 3);
    const auto cell = [&](int col, int row) {
        return aRect(std::int16_t(whole.x + col * cw), std::int16_t(whole.y + row * ch), cw, ch);
    };
    topLeft = cell(0, 0);
    top = cell(1, 0);
    topRight = cell(2, 0);
    left = cell(0, 1);
    interior = cell(1, 1);
    right = cell(2, 1);
    bottomLeft = cell(0, 2);
    bottom = cell(1, 2);
    bottomRight = cell(2, 2);
}

void Style::DrawPart(const aRect& source, std::uint8_t type, std::int32_t x, std::int32_t y, std::int32_t w,
                     std::int32_t h, std::uint32_t color, std::vector<aImage::Part>& run) const
{
    if (type == FILL_NONE || w <= 0 || h <= 0 || empty(source))
        return;
    if (type == FILL_STRETCH) {
        run.push_back(aImage::Part{float(x), float(y), source,
                                   D3DXVECTOR2{float(w) / float(source.width), float(h) / float(source.height)}});
    } else {
        // What comes before the tiles is drawn first.
        image->drawParts(run.data(), run.size(), color, 0.0f, nullptr);
        run.clear();
        image_drawTiled(image.get(), source,
                        aRect(std::int16_t(x), std::int16_t(y), std::uint16_t(std::min(w, 65535)),
                              std::uint16_t(std::min(h, 65535))),
                        color);
    }
}

void Style::Draw(const aRect& dest, std::uint32_t color) const
{
    if (!image || (color >> 24) == 0)
        return;
    const std::int32_t X = dest.x, Y = dest.y, W = dest.width, H = dest.height;
    // The parts go to the image as one run. Kept between calls.
    static thread_local std::vector<aImage::Part> run;
    run.clear();
    DrawPart(interior, fillType, X + left.width, Y + top.height, W - right.width - left.width,
             H - bottom.height - top.height, color, run);
    // An edge is drawn only when its length between the corners is positive;
    // its thickness is the slice's own.
    DrawPart(top, edgeTop, X + topLeft.width, Y, W - topRight.width - topLeft.width, top.height, color, run);
    DrawPart(bottom, edgeBottom, X + bottomLeft.width, Y + H - bottom.height, W - bottomLeft.width - bottomRight.width,
             bottom.height, color, run);
    DrawPart(left, edgeLeft, X, Y + topLeft.height, left.width, H - topLeft.height - bottomLeft.height, color, run);
    DrawPart(right, edgeRight, X + W - right.width, Y + topRight.height, right.width,
             H - topRight.height - bottomRight.height, color, run);
    const std::pair<const aRect*, std::pair<std::int32_t, std::int32_t>> corners[] = {
        {&topLeft, {X, Y}},
        {&topRight, {X + W - topRight.width, Y}},
        {&bottomLeft, {X, Y + H - bottomLeft.height}},
        {&bottomRight, {X + W - bottomRight.width, Y + H - bottomRight.height}},
    };
    for (const auto& [slice, at] : corners)
        if (!empty(*slice))
            run.push_back(aImage::Part{float(at.first), float(at.second), *slice, D3DXVECTOR2{1.0f, 1.0f}});
    image->drawParts(run.data(), run.size(), color, 0.0f, nullptr);
}

} // namespace GUI
