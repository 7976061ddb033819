#include "engine/gui/gui_clipboard.h"

#include <array>

#include "engine/util/a_log.h"
#include "engine/util/a_string.h"
#include "platform/input/keyboard.h"
#include "platform/system/clipboard.h"

namespace {

// US key characters and the Windows-1251 codes the Russian layout types on
// the same keys, pair by pair.
constexpr char kUsKeys[] = "QWERTYUIOP{}ASDFGHJKL:\"ZXCVBNM<>qwertyuiop[]asdfghjkl;'zxcvbnm,.~`@#$^&*|/?";
constexpr unsigned char kRussian[] = {
    0xC9, 0xD6, 0xD3, 0xCA, 0xC5, 0xCD, 0xC3, 0xD8, 0xD9, 0xC7, 0xD5, 0xDA,  // Q .. }
    0xD4, 0xDB, 0xC2, 0xC0, 0xCF, 0xD0, 0xCE, 0xCB, 0xC4, 0xC6, 0xDD,        // A .. "
    0xDF, 0xD7, 0xD1, 0xCC, 0xC8, 0xD2, 0xDC, 0xC1, 0xDE,                    // Z .. >
    0xE9, 0xF6, 0xF3, 0xEA, 0xE5, 0xED, 0xE3, 0xF8, 0xF9, 0xE7, 0xF5, 0xFA,  // q .. ]
    0xF4, 0xFB, 0xE2, 0xE0, 0xEF, 0xF0, 0xEE, 0xEB, 0xE4, 0xE6, 0xFD,        // a .. '
    0xFF, 0xF7, 0xF1, 0xEC, 0xE8, 0xF2, 0xFC, 0xE1, 0xFE,                    // z .. .
    0xA8, 0xB8,                                                              // ~ `
    '"', 0xB9, ';', ':', '?', '*', '/', '.', ',',                            // @ .. ?
};
static_assert(sizeof kUsKeys - 1 == 75 && sizeof kRussian == 75, "75 key pairs");

std::array<unsigned char, 128> russianTable()
{
    std::array<unsigned char, 128> t{};
    for (std::size_t i = 0; i < sizeof kRussian; ++i)
        t[static_cast<unsigned char>(kUsKeys[i])] = kRussian[i];
    return t;
}

// Drops the four-byte sequences (code points beyond the BMP), which the
// converter would turn into U+FFFD.
std::string bmpOnly(const std::string& utf8)
{
    std::string out;
    out.reserve(utf8.size());
    const auto continuation = [&utf8](std::size_t i) {
        return i < utf8.size() && (static_cast<unsigned char>(utf8[i]) & 0xC0) == 0x80;
    };
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const unsigned char b = static_cast<unsigned char>(utf8[i]);
        if (b >= 0xF0 && b <= 0xF4 && continuation(i + 1) && continuation(i + 2) && continuation(i + 3)) {
            i += 3;
            continue;
        }
        out.push_back(char(b));
    }
    return out;
}

} // namespace

void clipboard_setText(const std::wstring& text)
{
    std::string bytes;
    bytes.reserve((text.size() + 1) * 2);
    for (wchar_t c : text) {
        bytes.push_back(char(std::uint32_t(c) & 0xFF));
        bytes.push_back(char((std::uint32_t(c) >> 8) & 0xFF));
    }
    bytes.append(2, '\0');
    clipboard_setData(bytes.data(), bytes.size(), CLIPBOARD_UNICODETEXT);
}

void clipboard_setData(const void* data, std::size_t size, std::uint32_t format)
{
    const auto* bytes = static_cast<const unsigned char*>(data);
    if (!bytes)
        size = 0;
    std::wstring text;
    if (format == CLIPBOARD_UNICODETEXT) {
        for (std::size_t i = 0; i + 1 < size; i += 2) {
            const wchar_t unit = wchar_t(bytes[i] | (bytes[i + 1] << 8));
            if (unit == 0)
                break;
            text.push_back(unit);
        }
    } else if (format == CLIPBOARD_TEXT) {
        std::string narrow;
        for (std::size_t i = 0; i < size && bytes[i]; ++i)
            narrow.push_back(char(bytes[i]));
        text = str_cp1251ToWide(narrow);
    } else {
        a_log("clipboard_setData - clipboard format %u is not supported", format);
        return;
    }
    platform::clipboard().setText(str_wideToUtf8(text));
}

std::wstring clipboard_getText()
{
    const std::string utf8 = platform::clipboard().getText();
    if (utf8.empty())
        return std::wstring();
    return str_multiByteToWide(bmpOnly(utf8), A_CP_UTF8);
}

char kbd_mapToCyrillic(char c)
{
    const unsigned char u = static_cast<unsigned char>(c);
    if (u >= 128 || !platform::cyrillicLayout())
        return c;
    static const std::array<unsigned char, 128> table = russianTable();
    return table[u] ? char(table[u]) : c;
}
