#include "engine/gui/gui_checkbox.h"

#include <algorithm>

#include "engine/util/a_log.h"

namespace GUI {

const char* const EventCheckChanged = "CheckChanged";

Checkbox::Checkbox(const std::string& name) : ImageButton(name)
{
    AddProperty("Checked", &pChecked);
    AddProperty("RightAlign", &pRightAlign);
    AddEvent(EventCheckChanged);
}

void Checkbox::EndFillProperties()
{
    ImageButton::EndFillProperties();
    if (pChecked.isSet)
        SetChecked(pChecked.AsBool());
    if (pRightAlign.isSet)
        rightAlign = pRightAlign.AsBool();
}

void Checkbox::Initialize()
{
    ImageButton::Initialize();
    checkWidget.Bind(FindChild("_auto_check", true));
    if (Widget* mark = checkWidget)
        mark->SetVisible(checked);
    else
        a_log("Checkbox::Initialize - Check widget for checkbox '%s' not found", name.c_str());
}

void Checkbox::SetChecked(bool value)
{
    const std::weak_ptr<const void> life = GetLifeToken();
    if (Widget* mark = checkWidget)
        mark->SetVisible(value);
    if (life.expired() || value == checked)
        return;
    checked = value;
    OnCheckChanged(WidgetEventArgs(this));
}

void Checkbox::OnCheckChanged(const WidgetEventArgs& args) { Launch(EventCheckChanged, args); }

void Checkbox::OnLeftPress() { SetChecked(!checked); }

void Checkbox::Press(const MouseEventArgs& args, bool doubleClick)
{
    const std::weak_ptr<const void> life = GetLifeToken();
    if (args.button == 0)
        OnLeftPress();
    if (life.expired())
        return;
    if (doubleClick)
        Widget::OnDoubleClick(args);
    else
        Widget::OnClick(args);
}

void Checkbox::OnClick(const MouseEventArgs& args) { Press(args, false); }
void Checkbox::OnDoubleClick(const MouseEventArgs& args) { Press(args, true); }

void Checkbox::DrawSelf()
{
    // Signed: a box larger than the widget overhangs instead of wrapping.
    const aRect whole = GetAbsoluteRect();
    const std::int32_t bw = normalRect.width, bh = normalRect.height;
    const std::int32_t w = whole.width, h = whole.height;
    const auto at = [](std::int32_t v) { return std::int16_t(std::clamp<std::int32_t>(v, INT16_MIN, INT16_MAX)); };
    DrawStateImage(aRect(at(whole.x + (rightAlign ? w - bw : 0)), at(whole.y + (h - bh) / 2), std::uint16_t(bw),
                         std::uint16_t(bh)));
    DrawLabel(aRect(at(rightAlign ? whole.x : whole.x + bw), whole.y, std::uint16_t(std::max(0, w - bw)),
                    whole.height));
}

RadioButton::RadioButton(const std::string& name) : Checkbox(name) { AddProperty("GroupID", &pGroupID); }

void RadioButton::EndFillProperties()
{
    Checkbox::EndFillProperties();
    if (pGroupID.isSet)
        groupID = pGroupID.AsInt();
}

void RadioButton::OnLeftPress()
{
    if (!checked)
        SetChecked(true);
}

void RadioButton::OnCheckChanged(const WidgetEventArgs&)
{
    if (!checked || groupID == 0 || !parent)
        return;
    // A copy: unchecking may run code that changes the parent's children.
    const std::vector<Widget*> siblings = parent->children;
    for (Widget* child : siblings) {
        auto* radio = child != this ? dynamic_cast<RadioButton*>(child) : nullptr;
        if (radio && radio->groupID == groupID && radio->checked)
            radio->SetChecked(false);
    }
}

} // namespace GUI
