#include "engine/gui/gui_option_button.h"

#include "engine/gfx/a_font.h"

namespace GUI {

const char* const EventOptionChanged = "OptionChanged";

OptionButton::OptionButton(const std::string& name) : ButtonBase(name) { AddEvent(EventOptionChanged); }

void OptionButton::OnClick(const MouseEventArgs& args)
{
    const std::weak_ptr<const void> life = GetLifeToken();
    Widget::OnClick(args);
    const auto n = std::int32_t(options.size());
    if (life.expired() || n == 0 || args.button > 1)
        return;
    if (args.button == 0)
        selectedIndex = selectedIndex + 1 >= n ? 0 : selectedIndex + 1;
    else
        selectedIndex = selectedIndex - 1 < 0 || selectedIndex > n ? n - 1 : selectedIndex - 1;
    OnOptionChanged(WidgetEventArgs(this));
}

void OptionButton::OnOptionChanged(const WidgetEventArgs& args) { Launch(EventOptionChanged, args); }

void OptionButton::DrawSelf()
{
    aFont* font = GetFont();
    if (!font)
        return;
    font->setScale(GetFontSize());
    font->setAngle(0.0f);
    const aRect box = GetAbsoluteRect();
    float y = LabelTop(box, font->getStringSize(text).second);
    const bool shifted = pushed && IsEnabled();
    const float dx = shifted ? textPushOffset[0] : 0.0f;
    if (shifted)
        y += textPushOffset[1];
    font->color = GetTextColor();
    font->drawString(float(box.x) + textExtent[0] + dx, y, text, std::uint8_t(drawFlags));
    if (selectedIndex >= 0 && std::size_t(selectedIndex) < options.size()) {
        const std::wstring& option = options[std::size_t(selectedIndex)];
        const float w = font->getStringSize(option).first;
        font->drawString(float(box.x) + float(box.width) - textExtent[0] - w + dx, y, option,
                         std::uint8_t(drawFlags));
    }
}

} // namespace GUI
