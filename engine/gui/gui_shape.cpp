#include "engine/gui/gui_shape.h"

#include "engine/gfx/a_gdi.h"

namespace GUI {

Shape::Shape(const std::string& widgetName) : Widget(widgetName)
{
    AddProperty("ShapeStyle", &pShapeStyle);
    AddProperty("PenWidth", &pPenWidth);
    AddProperty("PenColor", &pPenColor);
    AddProperty("FillColor", &pFillColor);
}

void Shape::EndFillProperties()
{
    Widget::EndFillProperties();
    if (pShapeStyle.isSet)
        shapeStyle = str_equalNoCase(pShapeStyle.value, "ellipse") ? ELLIPSE : RECTANGLE;
    if (pPenWidth.isSet)
        penWidth = pPenWidth.AsFloat();
    if (pPenColor.isSet)
        SetPenColor(pPenColor.AsHex());
    if (pFillColor.isSet)
        SetFillColor(pFillColor.AsHex());
}

void Shape::DrawSelf()
{
    // One drawing object for every shape, made at the first draw.
    static aGDI gdi;
    const float x = float(GetAbsoluteX()), y = float(GetAbsoluteY());
    const float w = float(area.width), h = float(area.height), p = penWidth;
    const float cx = x + w / 2, cy = y + h / 2;
    const std::uint32_t fill = PackColor(fillColor);
    if (fill >> 24) {
        gdi.m_color = fill;
        if (shapeStyle == ELLIPSE)
            gdi.drawEllipse(cx, cy, w / 2 - p, h / 2 - p, true);
        else
            gdi.drawRect(x + p, y + p, w - 2 * p, h - 2 * p, true);
    }
    gdi.m_color = PackColor(penColor);
    if (shapeStyle == ELLIPSE) {
        gdi.drawRing(cx, cy, w / 2 - p, h / 2 - p, cx, cy, w / 2, h / 2);
        return;
    }
    gdi.drawRect(x, y, p, h, true);
    gdi.drawRect(x, y, w, p, true);
    gdi.drawRect(x + w - p, y, p, h, true);
    gdi.drawRect(x, y + h - p, w, p, true);
}

} // namespace GUI
