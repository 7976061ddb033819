#include "engine/gui/gui_spinner.h"

#include <algorithm>
#include <cctype>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <locale>
#include <sstream>

#include "engine/util/a_log.h"
#include "engine/util/a_string.h"

namespace GUI {

namespace {

// A hexadecimal number as "%x" reads it: blanks, a sign, an optional 0x,
// digits; wrapping to 32 bits as an unsigned conversion does (saturating
// first). 0 without digits.
std::uint32_t parseHex(const std::string& text)
{
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r')))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    if (i + 2 < text.size() && text[i] == '0' && (text[i + 1] | 0x20) == 'x' &&
        std::isxdigit(static_cast<unsigned char>(text[i + 2])))
        i += 2;
    std::uint64_t v = 0;
    for (; i < text.size() && std::isxdigit(static_cast<unsigned char>(text[i])); ++i) {
        const char c = char(text[i] | 0x20);
        v = std::min<std::uint64_t>(v * 16 + std::uint64_t(c <= '9' ? c - '0' : c - 'a' + 10), 0xFFFFFFFFull);
    }
    return negative ? std::uint32_t(0u - std::uint32_t(v)) : std::uint32_t(v);
}

// The value truncated towards zero and held to [low, high].
std::int64_t truncated(float v, double low, double high)
{
    return std::int64_t(std::clamp(std::trunc(double(v)), low, high));
}

} // namespace

Spinner::Spinner(const std::string& widgetName) : Widget(widgetName)
{
    AddProperty("Minimum", &pMinimum);
    AddProperty("Maximum", &pMaximum);
    AddProperty("Value", &pValue);
    AddProperty("Step", &pStep);
    AddProperty("InputMode", &pInputMode);
    AddEvent(EventMinimumValueChanged);
    AddEvent(EventMaximumValueChanged);
    AddEvent(EventValueChanged);
    AddEvent(EventStepChanged);
    AddEvent(EventInputModeChanged);
}

void Spinner::EndFillProperties()
{
    Widget::EndFillProperties();
    if (pMinimum.isSet)
        SetMinimum(pMinimum.AsFloat());
    if (pMaximum.isSet)
        SetMaximum(pMaximum.AsFloat());
    if (minimum > maximum) {
        a_log("Spinner '%s': Minimum %g is above Maximum %g; swapped", name.c_str(), double(minimum),
              double(maximum));
        std::swap(minimum, maximum);
    }
    if (pValue.isSet) {
        const float v = pValue.AsFloat();
        if (!std::isnan(v))
            value = v < minimum ? minimum : (v > maximum ? maximum : v);
    }
    if (pStep.isSet)
        SetStep(pStep.AsFloat());
    if (pInputMode.isSet)
        SetInputMode(pInputMode.AsInt());
}

void Spinner::Initialize()
{
    Widget::Initialize();
    editbox.Bind(dynamic_cast<Editbox*>(FindChild("_auto_editbox", true)));
    if (!editbox)
        a_log("Spinner::Initialize - Editbox for spinner '%s' not found", name.c_str());
    editbox.Subscribe(EventTextChanged, &m_textChanged);
    const auto button = [this](ChildLink<Widget>& link, const char* childName, Subscriber* handler,
                               const char* missing) {
        link.Bind(FindChild(childName, true));
        if (!link) {
            a_log(missing, name.c_str());
            return;
        }
        link->mouseAutoRepeat = true;
        link.Subscribe(EventMouseDown, handler);
    };
    button(incButton, "_auto_incbtn", &m_increment, "Spinner::Initialize - Increment button for spinner '%s' not found");
    button(decButton, "_auto_decbtn", &m_decrement, "Spinner::Initialize - Decrement button for spinner '%s' not found");
    if (pValue.isSet && editbox)
        editbox->SetText(FormatValue());
}

float Spinner::ParseText() const
{
    if (!editbox)
        return 0.0f;
    const std::string narrow = str_wideToUtf8(editbox->GetText());
    switch (inputMode) {
    case MODE_HEX:
        return float(parseHex(narrow));
    case MODE_REAL: {
        const double d = str_toDouble(narrow);
        if (std::isnan(d))
            return 0.0f;
        return d > FLT_MAX ? INFINITY : (d < -FLT_MAX ? -INFINITY : float(d));
    }
    default:
        return float(str_toInt(narrow));
    }
}

std::wstring Spinner::FormatValue() const
{
    std::wostringstream out;
    out.imbue(std::locale::classic());
    switch (inputMode) {
    case MODE_HEX:
        // Negative values show as their 32-bit two's complement.
        out << std::uppercase << std::hex << std::uint32_t(truncated(value, INT32_MIN, UINT32_MAX));
        break;
    case MODE_REAL:
        out << value;
        break;
    default:
        out << truncated(value, INT32_MIN, INT32_MAX);
    }
    return out.str();
}

bool Spinner::Increment(const EventArgs&)
{
    if (editbox)
        SetValue(ParseText() + step);
    return true;
}

bool Spinner::Decrement(const EventArgs&)
{
    if (editbox)
        SetValue(ParseText() - step);
    return true;
}

bool Spinner::OnEditTextChanged(const EventArgs&) { return true; }

void Spinner::SetValue(float v)
{
    Editbox* box = editbox;
    if (!box || std::isnan(v))
        return;
    if (v == value) {
        // A typed number that steps back onto the value still shows it.
        const std::wstring shown = FormatValue();
        if (box->GetText() != shown)
            box->SetText(shown);
        return;
    }
    value = v < minimum ? minimum : (v > maximum ? maximum : v);
    const std::weak_ptr<const void> life = GetLifeToken();
    box->SetText(FormatValue());
    if (!life.expired())
        OnValueChanged(WidgetEventArgs(this));
}

void Spinner::SetMinimum(float v)
{
    if (v == minimum)
        return;
    minimum = v;
    OnMinimumValueChanged(WidgetEventArgs(this));
}

void Spinner::SetMaximum(float v)
{
    if (v == maximum)
        return;
    maximum = v;
    OnMaximumValueChanged(WidgetEventArgs(this));
}

void Spinner::SetStep(float v)
{
    if (v == step)
        return;
    step = v;
    OnStepChanged(WidgetEventArgs(this));
}

void Spinner::SetInputMode(std::int32_t mode)
{
    if (mode < MODE_DECIMAL || mode > MODE_REAL) {
        a_log("Spinner '%s': InputMode %d is not 0, 1 or 2; 0 used", name.c_str(), mode);
        mode = MODE_DECIMAL;
    }
    if (mode == inputMode)
        return;
    inputMode = mode;
    if (Editbox* box = editbox)
        box->SetText(FormatValue());
    OnInputModeChanged(WidgetEventArgs(this));
}

void Spinner::OnMinimumValueChanged(const WidgetEventArgs& args) { Launch(EventMinimumValueChanged, args); }
void Spinner::OnMaximumValueChanged(const WidgetEventArgs& args) { Launch(EventMaximumValueChanged, args); }
void Spinner::OnValueChanged(const WidgetEventArgs& args) { Launch(EventValueChanged, args); }
void Spinner::OnStepChanged(const WidgetEventArgs& args) { Launch(EventStepChanged, args); }
void Spinner::OnInputModeChanged(const WidgetEventArgs& args) { Launch(EventInputModeChanged, args); }

} // namespace GUI
