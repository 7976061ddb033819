#pragma once
// A button drawn with a nine-slice style per state, the label on top.
#include "engine/gui/gui_button_base.h"

namespace GUI {

class Style;

class StyleButton : public ButtonBase {
public:
    explicit StyleButton(const std::string& name);

    void EndFillProperties() override;
    const char* GetTypeName() const override { return "StyleButton"; }
    bool IsA(const std::string& type) const override { return type == "StyleButton" || ButtonBase::IsA(type); }
    void DrawSelf() override;

    Style* normalStyle = nullptr;  // not owned: the server's
    Style* disabledStyle = nullptr;
    Style* hoverStyle = nullptr;
    Style* pushedStyle = nullptr;

    Property pNormalStyle, pDisabledStyle, pHoverStyle, pPushedStyle;
};

} // namespace GUI
