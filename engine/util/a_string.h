#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "engine/util/a_rect.h"

// ASCII case-insensitive comparison (assign names, resource keys).
int str_compareNoCase(const std::string& a, const std::string& b);
bool str_equalNoCase(const std::string& a, const std::string& b);

struct aLessNoCase {
    bool operator()(const std::string& a, const std::string& b) const { return str_compareNoCase(a, b) < 0; }
};

// Readers of blank-separated numbers. Each writes only the fields the text
// supplies, leaving the others as the caller set them, and returns how many
// it read. Numbers use the "C" decimal point whatever the locale.
int str_parsePoint(const std::string& text, std::int32_t& x, std::int32_t& y);
int str_parseRect(const std::string& text, aRect& rect);
int str_parseVec2(const std::string& text, float& x, float& y);

// ---------------------------------------------------------------------------
// Conversions between narrow data text and wide display text.
// A std::wstring holds BMP code points only, one per element.

// Code pages understood by str_multiByteToWide.
constexpr unsigned A_CP_ACP = 0;        // the "system" code page: Windows-1251
constexpr unsigned A_CP_1251 = 1251;
constexpr unsigned A_CP_UTF8 = 65001;
// Flag: an invalid UTF-8 sequence fails the whole conversion (empty result).
constexpr unsigned A_MB_ERR_INVALID_CHARS = 0x08;

// Converts the whole string. UTF-8 follows the system converter: invalid
// bytes and characters beyond the BMP become U+FFFD (or, with
// A_MB_ERR_INVALID_CHARS, the result is empty). Any other code page gives an
// empty result and a log line.
std::wstring str_multiByteToWide(const std::string& text, unsigned codePage, unsigned flags = 0);
// Strict decoder for data files: the first malformed or truncated sequence
// ends the text (what was decoded so far is the result). A lead byte with
// bit 5 clear takes one continuation byte, with it set two (0x80..0xBF and
// 0xF8..0xFF included); 0xF0..0xF7 take three and give U+FFFD, as do
// surrogates. A byte-order mark stays as U+FEFF.
std::wstring str_utf8ToWide(const std::string& text);
std::wstring str_utf8ToWide(const char* data, std::size_t size);
// Encodes each element as UTF-8 (surrogates become U+FFFD).
std::string str_wideToUtf8(const std::wstring& text);
std::wstring str_cp1251ToWide(const std::string& text);
wchar_t str_cp1251CharToWide(unsigned char c);
// Characters outside Windows-1251 become '?'.
std::string str_wideToCp1251(const std::wstring& text);

// printf-style; an empty or failed result gives an empty string.
std::string str_format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string str_fromInt(int value);
std::string str_fromUInt(unsigned int value);
std::wstring str_fromIntW(int value);
// Leading blanks, an optional sign, decimal digits; 0 when there are none.
// Saturates at 0xFFFFFFFF; a minus sign wraps as a 32-bit strtoul does.
unsigned int str_toUInt(const std::string& text);
// Leading blanks, an optional sign, decimal digits, saturated to the 32-bit
// range (atoi where long is 32 bits); 0 when there are no digits.
std::int32_t str_toInt(const std::string& text);
// strtod in the "C" locale, whatever the process locale.
double str_toDouble(const std::string& text);
// True when the whole text, blanks around it aside, is one number as
// str_toInt (decimal integer) or str_toDouble (anything strtod reads, inf
// and nan included) reads it.
bool str_isInt(const std::string& text);
bool str_isDouble(const std::string& text);
// ASCII letters only, whatever the process locale.
std::string str_toUpper(const std::string& text);
// Latin, Greek and Cyrillic letters, whatever the process locale.
std::wstring str_toLowerW(const std::wstring& text);
wchar_t str_toLowerW(wchar_t c);
// Appends every non-empty piece of text between characters of delimiters.
void str_split(const std::string& text, std::vector<std::string>& out, const std::string& delimiters);
void str_split(const std::string& text, const std::string& delimiters, std::vector<std::string>& out);
