#pragma once
// Clipboard text and the Russian keyboard mapping that the edit box and the
// memo use. The clipboard itself is the platform's (platform::clipboard()).
#include <cstddef>
#include <cstdint>
#include <string>

// Clipboard formats clipboard_setData understands.
constexpr std::uint32_t CLIPBOARD_TEXT = 1;          // Windows-1251 bytes, zero-terminated
constexpr std::uint32_t CLIPBOARD_UNICODETEXT = 13;  // UTF-16LE units, zero-terminated

// Puts the text on the clipboard (as format 13).
void clipboard_setText(const std::wstring& text);
// Puts size bytes of text in the given format on the clipboard; the text
// ends at its first zero or at size. Other formats are logged and ignored.
void clipboard_setData(const void* data, std::size_t size, std::uint32_t format);
// The clipboard's text; characters beyond U+FFFF are left out. Empty when
// the clipboard holds no text.
std::wstring clipboard_getText();

// With a Cyrillic keyboard layout active, the Windows-1251 code of the
// Russian letter (or sign) on the key that types c on a US keyboard;
// otherwise, and for keys outside the table, c.
char kbd_mapToCyrillic(char c);
