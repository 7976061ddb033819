#pragma once
// A numeric up/down control over three children found below it: an edit
// box showing the number ("_auto_editbox") and increment and decrement
// buttons ("_auto_incbtn", "_auto_decbtn") that repeat while held. Steps
// start from the number written in the edit box, so a typed number counts.
// Draws nothing itself.
#include <cstdint>
#include <string>

#include "engine/gui/gui_editbox.h"
#include "engine/gui/gui_widget.h"
#include "engine/gui/gui_widget_kit.h"

namespace GUI {

class Spinner : public Widget {
public:
    static constexpr const char* EventMinimumValueChanged = "MinimumValueChanged";
    static constexpr const char* EventMaximumValueChanged = "MaximumValueChanged";
    static constexpr const char* EventValueChanged = "ValueChanged";
    static constexpr const char* EventStepChanged = "StepChanged";
    static constexpr const char* EventInputModeChanged = "InputModeChanged";

    // How the edit box writes the value.
    enum InputMode : std::int32_t { MODE_DECIMAL = 0, MODE_HEX = 1, MODE_REAL = 2 };

    explicit Spinner(const std::string& name);

    void EndFillProperties() override;
    const char* GetTypeName() const override { return "Spinner"; }
    bool IsA(const std::string& type) const override { return type == "Spinner"; }
    void Initialize() override;

    // The edit box's number in the input mode; 0 when it holds none.
    virtual float ParseText() const;
    virtual std::wstring FormatValue() const;
    virtual bool Increment(const EventArgs& args);
    virtual bool Decrement(const EventArgs& args);
    virtual bool OnEditTextChanged(const EventArgs& args);
    virtual void OnMinimumValueChanged(const WidgetEventArgs& args);
    virtual void OnMaximumValueChanged(const WidgetEventArgs& args);
    virtual void OnValueChanged(const WidgetEventArgs& args);
    virtual void OnStepChanged(const WidgetEventArgs& args);
    virtual void OnInputModeChanged(const WidgetEventArgs& args);

    // Nothing without the edit box. The value clamped to the limits is
    // written into it, with ValueChanged; asking for the current value
    // only puts its text back when the edit box shows another.
    void SetValue(float v);
    void SetMinimum(float v);
    void SetMaximum(float v);
    void SetStep(float v);
    // Modes outside 0-2 are logged and become 0; the edit box is rewritten.
    void SetInputMode(std::int32_t mode);

    ChildLink<Widget> incButton;
    ChildLink<Widget> decButton;
    ChildLink<Editbox> editbox;
    float minimum = 0.0f;
    float maximum = 100.0f;
    float value = 0.0f;
    float step = 1.0f;
    std::int32_t inputMode = MODE_DECIMAL;

    Property pMinimum, pMaximum, pValue, pStep, pInputMode;

private:
    MemberSubscriber<Spinner> m_increment{this, &Spinner::Increment};
    MemberSubscriber<Spinner> m_decrement{this, &Spinner::Decrement};
    MemberSubscriber<Spinner> m_textChanged{this, &Spinner::OnEditTextChanged};
};

} // namespace GUI
