#include "engine/gui/gui_button_base.h"

#include <algorithm>

#include "engine/gfx/a_font.h"

namespace GUI {

ButtonBase::ButtonBase(const std::string& name) : Widget(name)
{
    AddProperty("TextHorzAlign", &pTextHorzAlign);
    AddProperty("TextVertAlign", &pTextVertAlign);
    AddProperty("TextPushOffset", &pTextPushOffset);
    AddProperty("TextExtent", &pTextExtent);
    AddProperty("TextColor", &pTextColor);
    AddProperty("TextNormalColor", &pTextNormalColor);
    AddProperty("TextDisabledColor", &pTextDisabledColor);
    AddProperty("TextHoverColor", &pTextHoverColor);
    AddProperty("TextPushedColor", &pTextPushedColor);
    AddProperty("LineSpacing", &pLineSpacing);
    AddProperty("ForceIntXY", &pForceIntXY);
}

ButtonBase::~ButtonBase() = default;

void ButtonBase::EndFillProperties()
{
    Widget::EndFillProperties();
    if (pTextColor.isSet) {
        std::uint32_t c[4];
        pTextColor.AsColor(c);
        SetTextColors(c[0], c[1], c[2], c[3]);
    }
    if (pTextNormalColor.isSet)
        SetNormalTextColor(pTextNormalColor.AsHex());
    if (pTextDisabledColor.isSet)
        SetDisabledTextColor(pTextDisabledColor.AsHex());
    if (pTextHoverColor.isSet)
        SetHoverTextColor(pTextHoverColor.AsHex());
    if (pTextPushedColor.isSet)
        SetPushedTextColor(pTextPushedColor.AsHex());
    if (pTextExtent.isSet)
        pTextExtent.AsFloatPair(textExtent[0], textExtent[1]);
    if (pTextPushOffset.isSet)
        pTextPushOffset.AsFloatPair(textPushOffset[0], textPushOffset[1]);
    if (pTextHorzAlign.isSet)
        textHorzAlign = ParseHorzAlign(pTextHorzAlign.value);
    if (pTextVertAlign.isSet)
        textVertAlign = ParseVertAlign(pTextVertAlign.value);
    if (pLineSpacing.isSet)
        lineSpacing = pLineSpacing.AsFloat();
    if (pForceIntXY.isSet)
        drawFlags = pForceIntXY.AsBool() ? 16 : 0;
}

void ButtonBase::SetTextColors(std::uint32_t normal, std::uint32_t hover, std::uint32_t pushedColor,
                               std::uint32_t disabled)
{
    SetNormalTextColor(normal);
    SetHoverTextColor(hover);
    SetPushedTextColor(pushedColor);
    SetDisabledTextColor(disabled);
}

std::uint32_t ButtonBase::GetTextColor() const
{
    if (!IsEnabled())
        return PackColor(disabledTextColor);
    if (pushed)
        return PackColor(pushedTextColor);
    return PackColor(BlendColor(normalTextColor, hoverTextColor, hoverFade));
}

void ButtonBase::UpdateSelf(float dt)
{
    if (pushed && (!IsEnabled() || !IsVisible()))
        pushed = false;
    Widget::UpdateSelf(dt);
}

bool ButtonBase::IsUpdateIdle() const { return !pushed && Widget::IsUpdateIdle(); }

void ButtonBase::OnMouseDown(const MouseEventArgs& args)
{
    pushed = args.button == 0;
    WakeUpdate();
    Widget::OnMouseDown(args);
}

void ButtonBase::OnMouseUp(const MouseEventArgs& args)
{
    pushed = false;
    Widget::OnMouseUp(args);
}

void ButtonBase::OnMouseEnter(const WidgetEventArgs& args)
{
    pushed = false;
    Widget::OnMouseEnter(args);
}

void ButtonBase::OnMouseLeave(const WidgetEventArgs& args)
{
    pushed = false;
    Widget::OnMouseLeave(args);
}

void ButtonBase::DrawSelf() { DrawLabel(GetAbsoluteRect()); }

float ButtonBase::LabelTop(const aRect& box, float blockHeight) const
{
    if (textVertAlign == ALIGN_CENTER)
        return float(box.y) + (float(box.height) - blockHeight) * 0.5f;
    if (textVertAlign == ALIGN_BOTTOM)
        return float(box.y) + float(box.height) - textExtent[1] - blockHeight;
    return float(box.y) + textExtent[1];
}

void ButtonBase::OnTextChanged(const WidgetEventArgs& args)
{
    m_label.clear();
    Widget::OnTextChanged(args);
}

bool ButtonBase::LabelKey::operator==(const LabelKey& o) const
{
    return font == o.font && box == o.box && pushOffset[0] == o.pushOffset[0] && pushOffset[1] == o.pushOffset[1] &&
           extent[0] == o.extent[0] && extent[1] == o.extent[1] && horzAlign == o.horzAlign &&
           vertAlign == o.vertAlign && lineSpacing == o.lineSpacing && drawFlags == o.drawFlags &&
           pushed == o.pushed;
}

void ButtonBase::DrawLabel(const aRect& box)
{
    aFont* font = GetFont();
    if (text.empty() || !font)
        return;
    font->setScale(GetFontSize());
    font->setAngle(0.0f);
    font->color = GetTextColor();
    LabelKey key;
    key.font = font;
    key.box = box;
    key.pushed = pushed;
    std::copy(textPushOffset, textPushOffset + 2, key.pushOffset);
    std::copy(textExtent, textExtent + 2, key.extent);
    key.horzAlign = textHorzAlign;
    key.vertAlign = textVertAlign;
    key.lineSpacing = lineSpacing;
    key.drawFlags = drawFlags;
    const bool kept = !m_label.empty() && key == m_labelKey &&
                      std::all_of(m_label.begin(), m_label.end(), [font](const aFont::Placed& p) { return font->keeps(p); });
    if (!kept) {
        m_labelKey = key;
        PlaceLabel(*font, box);
    }
    for (const aFont::Placed& line : m_label)
        font->drawPlaced(line);
}

void ButtonBase::PlaceLabel(const aFont& font, const aRect& box)
{
    const aFontDataLoader* loader = font.getLoader();
    const float lineHeight = (loader ? loader->fontHeight : 0.0f) * font.getScaleFactor() + lineSpacing;
    std::size_t lineTotal = 1;
    for (wchar_t c : text)
        lineTotal += c == L'\n';
    const float top = LabelTop(box, float(lineTotal) * lineHeight);
    m_label.resize(lineTotal);
    std::size_t start = 0;
    std::wstring part;
    for (std::size_t i = 0; i < lineTotal; ++i) {
        const std::size_t end = std::min(text.find(L'\n', start), text.size());
        if (lineTotal > 1)
            part.assign(text, start, end - start);
        const std::wstring& line = lineTotal > 1 ? part : text;
        start = end + 1;
        const float w = font.getStringSize(line).first;
        float x = float(box.x) + textExtent[0];
        if (textHorzAlign == ALIGN_CENTER)
            x = float(box.x) + (float(box.width) - w) * 0.5f;
        else if (textHorzAlign == ALIGN_RIGHT)
            x = float(box.x) + float(box.width) - textExtent[0] - w;
        float y = top + float(i) * lineHeight;
        if (pushed) {
            x += textPushOffset[0];
            y += textPushOffset[1];
        }
        font.place(m_label[i], x, y, line, std::uint8_t(drawFlags));
    }
}

} // namespace GUI
