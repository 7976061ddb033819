#include "engine/gui/gui_style_button.h"

#include "engine/gui/gui_style.h"
#include "engine/gui/gui_widget_kit.h"

namespace GUI {

StyleButton::StyleButton(const std::string& name) : ButtonBase(name)
{
    AddProperty("NormalStyle", &pNormalStyle);
    AddProperty("DisabledStyle", &pDisabledStyle);
    AddProperty("HoverStyle", &pHoverStyle);
    AddProperty("PushedStyle", &pPushedStyle);
}

void StyleButton::EndFillProperties()
{
    ButtonBase::EndFillProperties();
    const std::pair<Property*, Style**> styles[4] = {{&pNormalStyle, &normalStyle},
                                                     {&pDisabledStyle, &disabledStyle},
                                                     {&pHoverStyle, &hoverStyle},
                                                     {&pPushedStyle, &pushedStyle}};
    for (const auto& [property, slot] : styles)
        if (property->isSet)
            *slot = ScriptStyle(property->value);
}

void StyleButton::DrawSelf()
{
    const aRect box = GetAbsoluteRect();
    const std::uint32_t color = WhiteWithAlpha(GetAlpha());
    if (!IsEnabled() && disabledStyle) {
        disabledStyle->Draw(box, color);
    } else if (pushed && pushedStyle) {
        pushedStyle->Draw(box, color);
    } else if (fadeInTime == 0.0f && fadeOutTime == 0.0f) {
        if (Style* s = hoverFade == 1.0f && hoverStyle ? hoverStyle : normalStyle)
            s->Draw(box, color);
    } else {
        if (normalStyle)
            normalStyle->Draw(box, color);
        if (hoverStyle)
            hoverStyle->Draw(box, WhiteWithAlpha(GetAlpha() * hoverFade));
    }
    DrawLabel(box);
}

} // namespace GUI
