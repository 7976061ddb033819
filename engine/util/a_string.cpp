#include "engine/util/a_string.h"

#include <cerrno>
#include <cstdlib>
#include <locale.h>

namespace {

int lowerAscii(unsigned char c) { return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c; }

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

// Reads one integer as scanf's %li / %hi / %hu would: leading white space,
// an optional sign, decimal digits. Out-of-range values wrap to the target
// width, as the fixed-width fields of the data demand.
bool readInteger(const char*& p, long long& value)
{
    while (isBlank(*p))
        ++p;
    char* end = nullptr;
    errno = 0;
    const long long v = std::strtoll(p, &end, 10);
    if (end == p)
        return false;
    if (errno == ERANGE) {
        // Keep the low bits of what was written, like a narrowing store.
        const unsigned long long u = std::strtoull(p, nullptr, 10);
        value = static_cast<long long>(u);
    } else {
        value = v;
    }
    p = end;
    return true;
}

locale_t cLocale()
{
    static locale_t loc = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    return loc;
}

bool readFloat(const char*& p, float& value)
{
    while (isBlank(*p))
        ++p;
    char* end = nullptr;
    const float v = strtof_l(p, &end, cLocale());
    if (end == p)
        return false;
    value = v;
    p = end;
    return true;
}

} // namespace

int str_compareNoCase(const std::string& a, const std::string& b)
{
    const std::size_t n = a.size() < b.size() ? a.size() : b.size();
    for (std::size_t i = 0; i < n; ++i) {
        const int ca = lowerAscii(static_cast<unsigned char>(a[i]));
        const int cb = lowerAscii(static_cast<unsigned char>(b[i]));
        if (ca != cb)
            return ca - cb;
    }
    if (a.size() == b.size())
        return 0;
    return a.size() < b.size() ? -1 : 1;
}

bool str_equalNoCase(const std::string& a, const std::string& b)
{
    return a.size() == b.size() && str_compareNoCase(a, b) == 0;
}

int str_parsePoint(const std::string& text, std::int32_t& x, std::int32_t& y)
{
    const char* p = text.c_str();
    long long v = 0;
    if (!readInteger(p, v))
        return 0;
    x = static_cast<std::int32_t>(v);
    if (!readInteger(p, v))
        return 1;
    y = static_cast<std::int32_t>(v);
    return 2;
}

int str_parseRect(const std::string& text, aRect& rect)
{
    const char* p = text.c_str();
    long long v = 0;
    int n = 0;
    if (!readInteger(p, v))
        return n;
    rect.x = static_cast<std::int16_t>(v);
    ++n;
    if (!readInteger(p, v))
        return n;
    rect.y = static_cast<std::int16_t>(v);
    ++n;
    if (!readInteger(p, v))
        return n;
    rect.width = static_cast<std::uint16_t>(v);
    ++n;
    if (!readInteger(p, v))
        return n;
    rect.height = static_cast<std::uint16_t>(v);
    return n + 1;
}

int str_parseVec2(const std::string& text, float& x, float& y)
{
    const char* p = text.c_str();
    if (!readFloat(p, x))
        return 0;
    if (!readFloat(p, y))
        return 1;
    return 2;
}
