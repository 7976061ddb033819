// Hotkey texts of widgets.

#include "engine/gui/gui_widget.h"
#include "engine/util/a_string.h"

namespace GUI {

const HotkeyName kHotkeyNames[99] = {
    {"0", 0x0B}, {"1", 0x02}, {"2", 0x03}, {"3", 0x04}, {"4", 0x05}, {"5", 0x06}, {"6", 0x07},
    {"7", 0x08}, {"8", 0x09}, {"9", 0x0A},
    {"a", 0x1E}, {"b", 0x30}, {"c", 0x2E}, {"d", 0x20}, {"e", 0x12}, {"f", 0x21}, {"g", 0x22},
    {"h", 0x23}, {"i", 0x17}, {"j", 0x24}, {"k", 0x25}, {"l", 0x26}, {"m", 0x32}, {"n", 0x31},
    {"o", 0x18}, {"p", 0x19}, {"q", 0x10}, {"r", 0x13}, {"s", 0x1F}, {"t", 0x14}, {"u", 0x16},
    {"v", 0x2F}, {"w", 0x11}, {"x", 0x2D}, {"y", 0x15}, {"z", 0x2C},
    {"f1", 0x3B}, {"f2", 0x3C}, {"f3", 0x3D}, {"f4", 0x3E}, {"f5", 0x3F}, {"f6", 0x40},
    {"f7", 0x41}, {"f8", 0x42}, {"f9", 0x43}, {"f10", 0x44}, {"f11", 0x57}, {"f12", 0x58},
    {"num0", 0x52}, {"num1", 0x4F}, {"num2", 0x50}, {"num3", 0x51}, {"num4", 0x4B}, {"num5", 0x4C},
    {"num6", 0x4D}, {"num7", 0x47}, {"num8", 0x48}, {"num9", 0x49}, {"numenter", 0x9C}, {"num+", 0x4E},
    {"num/", 0xB5}, {"num.", 0x53}, {"num*", 0x37}, {"num-", 0x4A},
    {"'", 0x28}, {"`", 0x29}, {"/", 0x35}, {"\\", 0x2B}, {".", 0x34}, {"-", 0x0C}, {"=", 0x0D},
    {"[", 0x1A}, {"]", 0x1B}, {";", 0x27},
    {"backspace", 0x0E}, {"capslock", 0x3A}, {"scrolllock", 0x46}, {"numlock", 0x45}, {"insert", 0xD2},
    {"delete", 0xD3}, {"left", 0xCB}, {"right", 0xCD}, {"up", 0xC8}, {"down", 0xD0}, {"end", 0xCF},
    {"esc", 0x01}, {"home", 0xC7}, {"enter", 0x1C}, {"pageup", 0xC9}, {"pagedown", 0xD1}, {"pause", 0xC5},
    {"lctrl", 0x1D}, {"rctrl", 0x9D}, {"lalt", 0x38}, {"ralt", 0xB8}, {"lshift", 0x2A}, {"rshift", 0x36},
    {"tab", 0x0F}, {"space", 0x39},
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
