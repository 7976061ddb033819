#pragma once
// Windows-1251, the code page of the game's narrow text. Bytes below 0x80
// are ASCII; the one unassigned byte (0x98) gives U+FFFD.
#include <string>
#include <string_view>

namespace platform {

char32_t cp1251ToUnicode(unsigned char c);
std::u32string decodeCp1251(std::string_view text);
// The byte of a character; false when the code page has none.
bool unicodeToCp1251(char32_t u, unsigned char& out);

} // namespace platform
