#pragma once
// A filled rectangle or ellipse with a border of a given width, the fill
// inside the border and the border inside the widget. The widget's alpha
// does not apply. Takes no input.
#include <cstdint>

#include "engine/gui/gui_draw.h"
#include "engine/gui/gui_widget.h"

namespace GUI {

class Shape : public Widget {
public:
    enum Style : std::int32_t { RECTANGLE = 0, ELLIPSE = 1 };

    explicit Shape(const std::string& name);

    void EndFillProperties() override;
    const char* GetTypeName() const override { return "Shape"; }
    bool IsA(const std::string& type) const override { return type == "Shape"; }
    void DrawSelf() override;

    void SetPenColor(std::uint32_t argb) { penColor = UnpackColor(argb); }
    void SetFillColor(std::uint32_t argb) { fillColor = UnpackColor(argb); }

    Color penColor;
    Color fillColor;
    std::int32_t shapeStyle = RECTANGLE;
    float penWidth = 1.0f;

    Property pShapeStyle, pPenWidth, pPenColor, pFillColor;
};

} // namespace GUI
