#pragma once
// Check boxes and radio buttons: an image button whose state image is the
// box, drawn at the left (or, with "RightAlign", the right) edge and
// centred vertically, with the label beside it. The check mark is the
// child "_auto_check", shown while checked. A check box toggles on each
// left click (a double click toggles again); a radio button only checks
// itself and unchecks the checked radio buttons of its "GroupID" (not 0)
// among its siblings.
#include "engine/gui/gui_image_button.h"
#include "engine/gui/gui_widget_kit.h"

namespace GUI {

extern const char* const EventCheckChanged;

class Checkbox : public ImageButton {
public:
    explicit Checkbox(const std::string& name);

    void EndFillProperties() override;
    const char* GetTypeName() const override { return "Checkbox"; }
    bool IsA(const std::string& type) const override { return type == "Checkbox" || ImageButton::IsA(type); }
    void Initialize() override;
    void DrawSelf() override;
    void OnClick(const MouseEventArgs& args) override;
    void OnDoubleClick(const MouseEventArgs& args) override;
    // Shows or hides the mark on every call; CheckChanged on a change.
    virtual void SetChecked(bool value);
    virtual void OnCheckChanged(const WidgetEventArgs& args);

    ChildLink<Widget> checkWidget;
    bool checked = false;
    bool rightAlign = false;

    Property pChecked, pRightAlign;

protected:
    // A left click or double click: toggles.
    virtual void OnLeftPress();
    // OnLeftPress for the left button, then the widget's Click or DoubleClick.
    void Press(const MouseEventArgs& args, bool doubleClick);
};

class RadioButton : public Checkbox {
public:
    explicit RadioButton(const std::string& name);

    void EndFillProperties() override;
    const char* GetTypeName() const override { return "RadioButton"; }
    bool IsA(const std::string& type) const override { return type == "RadioButton" || Checkbox::IsA(type); }
    // Unchecks the group's other checked buttons; launches nothing.
    void OnCheckChanged(const WidgetEventArgs& args) override;

    std::int32_t groupID = 0;  // 0: in no group

    Property pGroupID;

protected:
    // Checks; a checked radio button stays checked.
    void OnLeftPress() override;
};

} // namespace GUI
