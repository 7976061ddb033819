// Text conversions: Windows-1251 through a fixed table, UTF-8 by hand, so
// nothing depends on the process locale.
#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <locale.h>

#include "engine/util/a_log.h"
#include "engine/util/a_string.h"
#include "platform/system/cp1251.h"

namespace {

constexpr wchar_t kReplacement = 0xFFFD;

// Upper-to-lower mappings of Latin, Greek and Cyrillic, sorted by first.
// step 1: every code in [first, last] maps to code + delta; step 2: every
// second code from first does (the alternating upper/lower pairs).
struct LowerRange {
    std::uint16_t first, last;
    std::int16_t delta;
    std::uint8_t step;
};
const LowerRange kLowerRanges[] = {
    {0x0041, 0x005A, 32, 1},     {0x00C0, 0x00D6, 32, 1},   {0x00D8, 0x00DE, 32, 1},
    {0x0100, 0x012E, 1, 2},      {0x0130, 0x0130, -199, 1}, {0x0132, 0x0136, 1, 2},
    {0x0139, 0x0147, 1, 2},      {0x014A, 0x0176, 1, 2},    {0x0178, 0x0178, -121, 1},
    {0x0179, 0x017D, 1, 2},      {0x0181, 0x0181, 210, 1},  {0x0182, 0x0184, 1, 2},
    {0x0186, 0x0186, 206, 1},    {0x0187, 0x0187, 1, 1},    {0x0189, 0x018A, 205, 1},
    {0x018B, 0x018B, 1, 1},      {0x018E, 0x018E, 79, 1},   {0x018F, 0x018F, 202, 1},
    {0x0190, 0x0190, 203, 1},    {0x0191, 0x0191, 1, 1},    {0x0193, 0x0193, 205, 1},
    {0x0194, 0x0194, 207, 1},    {0x0196, 0x0196, 211, 1},  {0x0197, 0x0197, 209, 1},
    {0x0198, 0x0198, 1, 1},      {0x019C, 0x019C, 211, 1},  {0x019D, 0x019D, 213, 1},
    {0x019F, 0x019F, 214, 1},    {0x01A0, 0x01A4, 1, 2},    {0x01A6, 0x01A6, 218, 1},
    {0x01A7, 0x01A7, 1, 1},      {0x01A9, 0x01A9, 218, 1},  {0x01AC, 0x01AC, 1, 1},
    {0x01AE, 0x01AE, 218, 1},    {0x01AF, 0x01AF, 1, 1},    {0x01B1, 0x01B2, 217, 1},
    {0x01B3, 0x01B5, 1, 2},      {0x01B7, 0x01B7, 219, 1},  {0x01B8, 0x01B8, 1, 1},
    {0x01BC, 0x01BC, 1, 1},      {0x01C4, 0x01C4, 2, 1},    {0x01C5, 0x01C5, 1, 1},
    {0x01C7, 0x01C7, 2, 1},      {0x01C8, 0x01C8, 1, 1},    {0x01CA, 0x01CA, 2, 1},
    {0x01CB, 0x01DB, 1, 2},      {0x01DE, 0x01EE, 1, 2},    {0x01F1, 0x01F1, 2, 1},
    {0x01F2, 0x01F4, 1, 2},      {0x01F6, 0x01F6, -97, 1},  {0x01F7, 0x01F7, -56, 1},
    {0x01F8, 0x021E, 1, 2},      {0x0220, 0x0220, -130, 1}, {0x0222, 0x0232, 1, 2},
    {0x023A, 0x023A, 10795, 1},  {0x023B, 0x023B, 1, 1},    {0x023D, 0x023D, -163, 1},
    {0x023E, 0x023E, 10792, 1},  {0x0241, 0x0241, 1, 1},    {0x0243, 0x0243, -195, 1},
    {0x0244, 0x0244, 69, 1},     {0x0245, 0x0245, 71, 1},   {0x0246, 0x024E, 1, 2},
    {0x0370, 0x0372, 1, 2},      {0x0376, 0x0376, 1, 1},    {0x037F, 0x037F, 116, 1},
    {0x0386, 0x0386, 38, 1},     {0x0388, 0x038A, 37, 1},   {0x038C, 0x038C, 64, 1},
    {0x038E, 0x038F, 63, 1},     {0x0391, 0x03A1, 32, 1},   {0x03A3, 0x03AB, 32, 1},
    {0x03CF, 0x03CF, 8, 1},      {0x03D8, 0x03EE, 1, 2},    {0x03F4, 0x03F4, -60, 1},
    {0x03F7, 0x03F7, 1, 1},      {0x03F9, 0x03F9, -7, 1},   {0x03FA, 0x03FA, 1, 1},
    {0x03FD, 0x03FF, -130, 1},   {0x0400, 0x040F, 80, 1},   {0x0410, 0x042F, 32, 1},
    {0x0460, 0x0480, 1, 2},      {0x048A, 0x04BE, 1, 2},    {0x04C0, 0x04C0, 15, 1},
    {0x04C1, 0x04CD, 1, 2},      {0x04D0, 0x052E, 1, 2},    {0x1E00, 0x1E94, 1, 2},
    {0x1E9E, 0x1E9E, -7615, 1},  {0x1EA0, 0x1EFE, 1, 2},
};

locale_t cLocale()
{
    static locale_t loc = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    return loc;
}

bool isContinuation(unsigned char c) { return (c & 0xC0) == 0x80; }

// The lenient decoder of the system converter: one U+FFFD per bad
// sequence. False (with strict) at the first bad sequence.
bool decodeUtf8Lenient(const std::string& text, bool strict, std::wstring& out)
{
    const std::size_t n = text.size();
    std::size_t i = 0;
    while (i < n) {
        const unsigned char b = static_cast<unsigned char>(text[i]);
        if (b < 0x80) {
            out += wchar_t(b);
            ++i;
            continue;
        }
        std::size_t need = 0;
        std::uint32_t cp = 0;
        std::uint32_t minimum = 0;
        if (b >= 0xC2 && b <= 0xDF) {
            need = 1;
            cp = b & 0x1F;
            minimum = 0x80;
        } else if (b >= 0xE0 && b <= 0xEF) {
            need = 2;
            cp = b & 0x0F;
            minimum = 0x800;
        } else if (b >= 0xF0 && b <= 0xF4) {
            need = 3;
            cp = b & 0x07;
            minimum = 0x10000;
        }
        std::size_t used = 1;
        bool ok = need > 0;
        for (std::size_t k = 1; ok && k <= need; ++k) {
            if (i + k >= n || !isContinuation(static_cast<unsigned char>(text[i + k]))) {
                ok = false;
                break;
            }
            cp = (cp << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
            used = k + 1;
        }
        if (ok && (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)))
            ok = false;
        if (!ok) {
            if (strict)
                return false;
            out += kReplacement;
            i += used;
            continue;
        }
        out += cp > 0xFFFF ? kReplacement : wchar_t(cp);
        i += used;
    }
    return true;
}

void appendUtf8(std::string& out, std::uint32_t cp)
{
    if ((cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF)
        cp = kReplacement;
    if (cp < 0x80) {
        out += char(cp);
    } else if (cp < 0x800) {
        out += char(0xC0 | (cp >> 6));
        out += char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += char(0xE0 | (cp >> 12));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    } else {
        out += char(0xF0 | (cp >> 18));
        out += char(0x80 | ((cp >> 12) & 0x3F));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    }
}

bool isBlankC(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

// Skips blanks and a sign; returns the magnitude of the leading digits,
// saturated at limit, and whether any digit was seen.
bool readMagnitude(const std::string& text, std::uint64_t limit, bool& negative, std::uint64_t& value,
                   bool& overflow)
{
    std::size_t i = 0;
    while (i < text.size() && isBlankC(text[i]))
        ++i;
    negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    value = 0;
    overflow = false;
    bool digits = false;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        digits = true;
        if (!overflow) {
            value = value * 10 + std::uint64_t(text[i] - '0');
            if (value > limit) {
                overflow = true;
                value = limit;
            }
        }
    }
    return digits;
}

} // namespace

std::wstring str_multiByteToWide(const std::string& text, unsigned codePage, unsigned flags)
{
    switch (codePage) {
    case A_CP_ACP:
    case A_CP_1251:
        return str_cp1251ToWide(text);
    case A_CP_UTF8: {
        std::wstring out;
        if (!decodeUtf8Lenient(text, (flags & A_MB_ERR_INVALID_CHARS) != 0, out))
            return std::wstring();
        return out;
    }
    default:
        a_log("str_multiByteToWide. Unsupported code page %u", codePage);
        return std::wstring();
    }
}

std::wstring str_utf8ToWide(const char* data, std::size_t size)
{
    std::wstring out;
    if (!data)
        return out;
    out.reserve(size);
    const unsigned char* p = reinterpret_cast<const unsigned char*>(data);
    std::size_t i = 0;
    while (i < size) {
        const unsigned char b = p[i];
        if (b < 0x80) {
            out += wchar_t(b);
            ++i;
            continue;
        }
        // Lead bytes are told apart by bit 5 alone, as the data was written:
        // clear, two bytes; set, three. So a stray continuation byte or one
        // from 0xF8 leads a sequence too; only 0xF0..0xF7 lead four.
        std::size_t need;
        std::uint32_t cp;
        if ((b & 0x20) == 0) {
            need = 1;
            cp = b & 0x1F;
        } else if (b < 0xF0 || b >= 0xF8) {
            need = 2;
            cp = b & 0x0F;
        } else {
            need = 3;
            cp = 0;
        }
        if (size - i <= need)
            break;
        bool ok = true;
        for (std::size_t k = 1; k <= need; ++k) {
            if (!isContinuation(p[i + k])) {
                ok = false;
                break;
            }
            cp = (cp << 6) | (p[i + k] & 0x3F);
        }
        if (!ok)
            break;
        // Beyond the BMP, or a lone surrogate: no wide character stands for it.
        if (need == 3 || (cp >= 0xD800 && cp <= 0xDFFF))
            cp = kReplacement;
        out += wchar_t(cp);
        i += need + 1;
    }
    return out;
}

std::wstring str_utf8ToWide(const std::string& text) { return str_utf8ToWide(text.data(), text.size()); }

std::string str_wideToUtf8(const std::wstring& text)
{
    std::string out;
    out.reserve(text.size());
    for (wchar_t c : text)
        appendUtf8(out, std::uint32_t(c));
    return out;
}

wchar_t str_cp1251CharToWide(unsigned char c) { return wchar_t(platform::cp1251ToUnicode(c)); }

std::wstring str_cp1251ToWide(const std::string& text)
{
    std::wstring out;
    out.reserve(text.size());
    for (char c : text)
        out += str_cp1251CharToWide(static_cast<unsigned char>(c));
    return out;
}

std::string str_wideToCp1251(const std::wstring& text)
{
    std::string out;
    out.reserve(text.size());
    for (wchar_t c : text) {
        unsigned char b = 0;
        out += platform::unicodeToCp1251(char32_t(c), b) ? char(b) : '?';
    }
    return out;
}

std::string str_format(const char* format, ...)
{
    if (!format)
        return std::string();
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    const int n = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string out;
    if (n >= 1) {
        out.resize(std::size_t(n) + 1);
        std::vsnprintf(&out[0], out.size(), format, args);
        out.resize(std::size_t(n));
    }
    va_end(args);
    return out;
}

std::string str_fromInt(int value) { return std::to_string(value); }

std::string str_fromUInt(unsigned int value) { return std::to_string(value); }

std::wstring str_fromIntW(int value) { return std::to_wstring(value); }

unsigned int str_toUInt(const std::string& text)
{
    bool negative, overflow;
    std::uint64_t v;
    if (!readMagnitude(text, 0xFFFFFFFFu, negative, v, overflow))
        return 0;
    if (overflow)
        return 0xFFFFFFFFu;
    return negative ? unsigned(0u - std::uint32_t(v)) : unsigned(v);
}

std::int32_t str_toInt(const std::string& text)
{
    bool negative, overflow;
    std::uint64_t v;
    if (!readMagnitude(text, 0x80000000u, negative, v, overflow))
        return 0;
    if (negative)
        return v >= 0x80000000u ? INT32_MIN : -std::int32_t(v);
    return v > 0x7FFFFFFFu ? INT32_MAX : std::int32_t(v);
}

double str_toDouble(const std::string& text) { return strtod_l(text.c_str(), nullptr, cLocale()); }

namespace {

bool onlyBlanksFrom(const char* p)
{
    while (isBlankC(*p))
        ++p;
    return *p == '\0';
}

} // namespace

bool str_isInt(const std::string& text)
{
    const char* p = text.c_str();
    while (isBlankC(*p))
        ++p;
    if (*p == '+' || *p == '-')
        ++p;
    if (*p < '0' || *p > '9')
        return false;
    while (*p >= '0' && *p <= '9')
        ++p;
    return onlyBlanksFrom(p) && std::strlen(text.c_str()) == text.size();
}

bool str_isDouble(const std::string& text)
{
    const char* start = text.c_str();
    char* end = nullptr;
    strtod_l(start, &end, cLocale());
    return end != start && onlyBlanksFrom(end) && std::strlen(start) == text.size();
}

std::string str_toUpper(const std::string& text)
{
    std::string out(text);
    for (char& c : out) {
        if (c >= 'a' && c <= 'z')
            c = char(c - ('a' - 'A'));
    }
    return out;
}

wchar_t str_toLowerW(wchar_t c)
{
    if (c < 0x41 || c > 0x1EFE)
        return c;
    const LowerRange* end = std::end(kLowerRanges);
    const LowerRange* r = std::upper_bound(std::begin(kLowerRanges), end, std::uint32_t(c),
                                           [](std::uint32_t v, const LowerRange& x) { return v < x.first; });
    if (r == std::begin(kLowerRanges))
        return c;
    --r;
    if (std::uint32_t(c) > r->last || (std::uint32_t(c) - r->first) % r->step != 0)
        return c;
    return wchar_t(std::int32_t(c) + r->delta);
}

std::wstring str_toLowerW(const std::wstring& text)
{
    std::wstring out(text);
    for (wchar_t& c : out)
        c = str_toLowerW(c);
    return out;
}

void str_split(const std::string& text, std::vector<std::string>& out, const std::string& delimiters)
{
    std::size_t start = text.find_first_not_of(delimiters);
    while (start != std::string::npos) {
        const std::size_t end = text.find_first_of(delimiters, start);
        out.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos)
            break;
        start = text.find_first_not_of(delimiters, end);
    }
}

void str_split(const std::string& text, const std::string& delimiters, std::vector<std::string>& out)
{
    str_split(text, out, delimiters);
}
