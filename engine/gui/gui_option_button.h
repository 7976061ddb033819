#pragma once
// A button that shows its label at the left and, at the right, the
// selected one of a list of option texts that its owner fills; a left
// click steps to the next option, a right click (from code: the server
// clicks with the left button only) to the one before, wrapping around.
#include <string>
#include <vector>

#include "engine/gui/gui_button_base.h"

namespace GUI {

extern const char* const EventOptionChanged;

class OptionButton : public ButtonBase {
public:
    explicit OptionButton(const std::string& name);

    const char* GetTypeName() const override { return "OptionButton"; }
    bool IsA(const std::string& type) const override { return type == "OptionButton" || ButtonBase::IsA(type); }
    void DrawSelf() override;
    void OnClick(const MouseEventArgs& args) override;
    virtual void OnOptionChanged(const WidgetEventArgs& args);

    // -1 (none) or an index into options; an index past the end shows no
    // option and steps as if it were the last.
    std::int32_t selectedIndex = -1;
    std::vector<std::wstring> options;
};

} // namespace GUI
