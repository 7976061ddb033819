#pragma once
// Typed characters: what may travel as typed text, and the characters the
// keys of a US keyboard type (for the GUI's key events and for tools that
// write typing into recordings).
#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

// A character the platform may hand out as typed: a Unicode scalar value
// that is no control character (C0, DEL, C1) and no surrogate.
constexpr bool isTypedCharacter(char32_t c)
{
    return c >= 0x20 && !(c >= 0x7F && c <= 0x9F) && !(c >= 0xD800 && c <= 0xDFFF) && c <= 0x10FFFF;
}

// Appends the characters of UTF-8 text; a malformed or overlong sequence is
// skipped a byte at a time. False when anything was skipped.
inline bool appendUtf8(std::string_view text, std::u32string& out)
{
    bool whole = true;
    for (std::size_t i = 0; i < text.size();) {
        const unsigned char b = static_cast<unsigned char>(text[i]);
        const int extra = b < 0x80 ? 0 : (b & 0xE0) == 0xC0 ? 1 : (b & 0xF0) == 0xE0 ? 2 : (b & 0xF8) == 0xF0 ? 3 : -1;
        char32_t c = extra == 0 ? b : extra == 1 ? (b & 0x1F) : extra == 2 ? (b & 0x0F) : (b & 0x07);
        int n = 1;
        for (; extra > 0 && n <= extra && i + std::size_t(n) < text.size() &&
               (static_cast<unsigned char>(text[i + std::size_t(n)]) & 0xC0) == 0x80;
             ++n)
            c = (c << 6) | (static_cast<unsigned char>(text[i + std::size_t(n)]) & 0x3F);
        static constexpr char32_t kLeast[4] = {0, 0x80, 0x800, 0x10000};
        if (extra < 0 || n != extra + 1 || c < kLeast[extra] || c > 0x10FFFF) {
            whole = false;
            ++i;
            continue;
        }
        out.push_back(c);
        i += std::size_t(n);
    }
    return whole;
}

// The (shift needed, DirectInput key) typing each character from ' ' to
// '~' on a US keyboard, in code order.
struct UsKey {
    bool shift;
    std::uint8_t key;
};
constexpr UsKey kUsKeys[95] = {
    {false, 0x39}, {true, 0x02},  {true, 0x28},  {true, 0x04},  {true, 0x05},  {true, 0x06},  {true, 0x08},
    {false, 0x28}, {true, 0x0A},  {true, 0x0B},  {true, 0x09},  {true, 0x0D},  {false, 0x33}, {false, 0x0C},
    {false, 0x34}, {false, 0x35}, {false, 0x0B}, {false, 0x02}, {false, 0x03}, {false, 0x04}, {false, 0x05},
    {false, 0x06}, {false, 0x07}, {false, 0x08}, {false, 0x09}, {false, 0x0A}, {true, 0x27},  {false, 0x27},
    {true, 0x33},  {false, 0x0D}, {true, 0x34},  {true, 0x35},  {true, 0x03},  {true, 0x1E},  {true, 0x30},
    {true, 0x2E},  {true, 0x20},  {true, 0x12},  {true, 0x21},  {true, 0x22},  {true, 0x23},  {true, 0x17},
    {true, 0x24},  {true, 0x25},  {true, 0x26},  {true, 0x32},  {true, 0x31},  {true, 0x18},  {true, 0x19},
    {true, 0x10},  {true, 0x13},  {true, 0x1F},  {true, 0x14},  {true, 0x16},  {true, 0x2F},  {true, 0x11},
    {true, 0x2D},  {true, 0x15},  {true, 0x2C},  {false, 0x1A}, {false, 0x2B}, {false, 0x1B}, {true, 0x07},
    {true, 0x0C},  {false, 0x29}, {false, 0x1E}, {false, 0x30}, {false, 0x2E}, {false, 0x20}, {false, 0x12},
    {false, 0x21}, {false, 0x22}, {false, 0x23}, {false, 0x17}, {false, 0x24}, {false, 0x25}, {false, 0x26},
    {false, 0x32}, {false, 0x31}, {false, 0x18}, {false, 0x19}, {false, 0x10}, {false, 0x13}, {false, 0x1F},
    {false, 0x14}, {false, 0x16}, {false, 0x2F}, {false, 0x11}, {false, 0x2D}, {false, 0x15}, {false, 0x2C},
    {true, 0x1A},  {true, 0x2B},  {true, 0x1B},  {true, 0x29},
};

// What a key types on a US keyboard with Shift and Caps Lock as given
// (Caps Lock turns the case of letters only); 0 for a key that types
// nothing. The space bar types a space with Shift too.
constexpr char usKeyCharacter(std::uint8_t key, bool shift, bool capsLock)
{
    if (key == 0x39)
        return ' ';
    for (int i = 0; i < 95; ++i) {
        if (kUsKeys[i].key != key || kUsKeys[i].shift != shift)
            continue;
        char c = char(' ' + i);
        if (capsLock && c >= 'a' && c <= 'z')
            c = char(c - 'a' + 'A');
        else if (capsLock && c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
        return c;
    }
    return 0;
}

} // namespace platform
