// Hotkey texts of widgets.
#include "engine/gui/gui_widget.h"
#include "engine/util/a_string.h"
#include "platform/input/dinput_keys.h"

namespace GUI {

using namespace platform;

const HotkeyName kHotkeyNames[99] = {
    {"0", DIK_0}, {"1", DIK_1}, {"2", DIK_2}, {"3", DIK_3}, {"4", DIK_4}, {"5", DIK_5}, {"6", DIK_6}, {"7", DIK_7},
    {"8", DIK_8}, {"9", DIK_9}, {"a", DIK_A}, {"b", DIK_B}, {"c", DIK_C}, {"d", DIK_D}, {"e", DIK_E}, {"f", DIK_F},
    {"g", DIK_G}, {"h", DIK_H}, {"i", DIK_I}, {"j", DIK_J}, {"k", DIK_K}, {"l", DIK_L}, {"m", DIK_M}, {"n", DIK_N},
    {"o", DIK_O}, {"p", DIK_P}, {"q", DIK_Q}, {"r", DIK_R}, {"s", DIK_S}, {"t", DIK_T}, {"u", DIK_U}, {"v", DIK_V},
    {"w", DIK_W}, {"x", DIK_X}, {"y", DIK_Y}, {"z", DIK_Z}, {"f1", DIK_F1}, {"f2", DIK_F2}, {"f3", DIK_F3},
    {"f4", DIK_F4}, {"f5", DIK_F5}, {"f6", DIK_F6}, {"f7", DIK_F7}, {"f8", DIK_F8}, {"f9", DIK_F9},
    {"f10", DIK_F10}, {"f11", DIK_F11}, {"f12", DIK_F12}, {"num0", DIK_NUMPAD0}, {"num1", DIK_NUMPAD1},
    {"num2", DIK_NUMPAD2}, {"num3", DIK_NUMPAD3}, {"num4", DIK_NUMPAD4}, {"num5", DIK_NUMPAD5},
    {"num6", DIK_NUMPAD6}, {"num7", DIK_NUMPAD7}, {"num8", DIK_NUMPAD8}, {"num9", DIK_NUMPAD9},
    {"numenter", DIK_NUMPADENTER}, {"num+", DIK_ADD}, {"num/", DIK_DIVIDE}, {"num.", DIK_DECIMAL},
    {"num*", DIK_MULTIPLY}, {"num-", DIK_SUBTRACT}, {"'", DIK_APOSTROPHE}, {"`", DIK_GRAVE}, {"/", DIK_SLASH},
    {"\\", DIK_BACKSLASH}, {".", DIK_PERIOD}, {"-", DIK_MINUS}, {"=", DIK_EQUALS}, {"[", DIK_LBRACKET},
    {"]", DIK_RBRACKET}, {";", DIK_SEMICOLON}, {"backspace", DIK_BACK}, {"capslock", DIK_CAPITAL},
    {"scrolllock", DIK_SCROLL}, {"numlock", DIK_NUMLOCK}, {"insert", DIK_INSERT}, {"delete", DIK_DELETE},
    {"left", DIK_LEFT}, {"right", DIK_RIGHT}, {"up", DIK_UP}, {"down", DIK_DOWN}, {"end", DIK_END},
    {"esc", DIK_ESCAPE}, {"home", DIK_HOME}, {"enter", DIK_RETURN}, {"pageup", DIK_PRIOR}, {"pagedown", DIK_NEXT},
    {"pause", DIK_PAUSE}, {"lctrl", DIK_LCONTROL}, {"rctrl", DIK_RCONTROL}, {"lalt", DIK_LMENU},
    {"ralt", DIK_RMENU}, {"lshift", DIK_LSHIFT}, {"rshift", DIK_RSHIFT}, {"tab", DIK_TAB}, {"space", DIK_SPACE},
};

namespace {

bool isSeparator(char c) { return c == '|' || c == ' ' || c == '\t'; }

// The word is the start of the full name, compared ignoring case.
bool isPrefixOf(const std::string& word, const std::string& full)
{
    return word.size() <= full.size() && str_equalNoCase(word, full.substr(0, word.size()));
}

} // namespace

std::uint32_t HotkeyNameToKey(const std::string& keyName)
{
    for (const HotkeyName& entry : kHotkeyNames)
        if (str_equalNoCase(keyName, entry.name))
            return entry.key;
    return 0;
}

void ParseHotkey(const std::string& text, std::uint32_t& key, std::uint32_t& modifiers)
{
    key = 0;
    modifiers = 0;
    std::size_t i = 0;
    for (;;) {
        while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
            ++i;
        const std::size_t start = i;
        while (i < text.size() && !isSeparator(text[i]))
            ++i;
        const std::string word = text.substr(start, i - start);
        if (i == text.size()) {
            key = HotkeyNameToKey(word);
            return;
        }
        ++i;  // the separator ends a modifier word
        if (isPrefixOf(word, "shift"))
            modifiers |= MOD_SHIFT;
        else if (isPrefixOf(word, "alt"))
            modifiers |= MOD_ALT;
        else if (isPrefixOf(word, "ctrl"))
            modifiers |= MOD_CTRL;
    }
}

} // namespace GUI
