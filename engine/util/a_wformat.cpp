#include "engine/util/a_wformat.h"

#include <algorithm>
#include <cstdio>
#include <locale.h>
#include <mutex>
#include <set>

#include "engine/util/a_log.h"
#include "engine/util/a_string.h"

namespace {

// Numeric fields wider than this are cut to it; no caller needs more.
constexpr int kMaxField = 4096;
// Distinct bad formats remembered; later ones are no longer logged.
constexpr std::size_t kMaxReported = 256;

// Collects output up to a fixed number of characters.
class Sink {
public:
    Sink(wchar_t* buffer, std::size_t limit) : m_buffer(buffer), m_limit(limit) {}
    Sink(std::wstring* text, std::size_t limit) : m_text(text), m_limit(limit) {}

    bool full() const { return m_length >= m_limit; }
    std::size_t length() const { return m_length; }

    void put(wchar_t c)
    {
        if (full())
            return;
        if (m_buffer)
            m_buffer[m_length] = c;
        else
            m_text->push_back(c);
        ++m_length;
    }
    void pad(std::size_t n, wchar_t c)
    {
        for (; n > 0 && !full(); --n)
            put(c);
    }

private:
    wchar_t* m_buffer = nullptr;
    std::wstring* m_text = nullptr;
    std::size_t m_limit;
    std::size_t m_length = 0;
};

struct Spec {
    bool left = false, plus = false, space = false, alt = false, zero = false;
    int width = 0;
    int precision = -1;
    int bits = 32;
    bool shortLength = false; // h or hh: narrow for c, s
    bool longLength = false;  // l or w: wide for c, s
    wchar_t conversion = 0;
};

locale_t cLocale()
{
    static locale_t loc = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    return loc;
}

void reportBadFormat(const wchar_t* format, const std::string& problem)
{
    static std::mutex mutex;
    static std::set<std::wstring> reported;
    std::lock_guard<std::mutex> lock(mutex);
    if (reported.size() >= kMaxReported)
        return;
    if (!reported.insert(format).second)
        return;
    a_log("a_wformat. Bad format \"%s\": %s", str_wideToUtf8(format).c_str(), problem.c_str());
}

// The printf spec in narrow form, for the numeric conversions.
std::string narrowSpec(const Spec& s, const char* length, char conversion)
{
    std::string out = "%";
    if (s.left)
        out += '-';
    if (s.plus)
        out += '+';
    if (s.space)
        out += ' ';
    if (s.alt)
        out += '#';
    if (s.zero)
        out += '0';
    if (s.width > 0)
        out += std::to_string(s.width);
    if (s.precision >= 0)
        out += '.' + std::to_string(s.precision);
    out += length;
    out += conversion;
    return out;
}

template <class T>
std::string formatNumber(const std::string& spec, T value)
{
    const locale_t previous = uselocale(cLocale());
    std::string out;
    const int n = std::snprintf(nullptr, 0, spec.c_str(), value);
    if (n > 0) {
        out.resize(std::size_t(n) + 1);
        std::snprintf(&out[0], out.size(), spec.c_str(), value);
        out.resize(std::size_t(n));
    }
    uselocale(previous);
    return out;
}

void putAscii(Sink& sink, const std::string& text)
{
    for (char c : text)
        sink.put(wchar_t(static_cast<unsigned char>(c)));
}

// Pads and writes n characters produced by at(i).
template <class At>
void putField(Sink& sink, const Spec& s, std::size_t n, At at)
{
    const std::size_t width = std::size_t(s.width);
    const std::size_t fill = width > n ? width - n : 0;
    if (!s.left)
        sink.pad(fill, L' ');
    for (std::size_t i = 0; i < n && !sink.full(); ++i)
        sink.put(at(i));
    if (s.left)
        sink.pad(fill, L' ');
}

// Sign-extends or zero-extends the low bits of v.
std::int64_t signedBits(std::int64_t v, int bits)
{
    switch (bits) {
    case 8: return std::int8_t(v);
    case 16: return std::int16_t(v);
    case 32: return std::int32_t(v);
    default: return v;
    }
}

std::uint64_t unsignedBits(std::int64_t v, int bits)
{
    switch (bits) {
    case 8: return std::uint8_t(v);
    case 16: return std::uint16_t(v);
    case 32: return std::uint32_t(v);
    default: return std::uint64_t(v);
    }
}

// Reads the flags, width, precision and length after a '%', leaving p on
// the conversion character. Returns false for a '*' whose argument is
// missing or not an integer; the rest of the conversion is still consumed, so none
// of it leaks into the output.
bool readSpec(const wchar_t*& p, Spec& s, const aFormatArg* args, std::size_t count, std::size_t& next,
              std::string& problem)
{
    for (;; ++p) {
        if (*p == L'-')
            s.left = true;
        else if (*p == L'+')
            s.plus = true;
        else if (*p == L' ')
            s.space = true;
        else if (*p == L'#')
            s.alt = true;
        else if (*p == L'0')
            s.zero = true;
        else
            break;
    }
    auto starArgument = [&](int& out) {
        if (next >= count || (args[next].kind() != aFormatArg::Int && args[next].kind() != aFormatArg::UInt)) {
            problem = "'*' without an integer argument";
            return false;
        }
        const std::int64_t v = args[next++].asInt();
        out = v > kMaxField ? kMaxField : v < -kMaxField ? -kMaxField : int(v);
        return true;
    };
    bool ok = true;
    if (*p == L'*') {
        ++p;
        ok = starArgument(s.width);
        if (s.width < 0) {
            s.left = true;
            s.width = -s.width;
        }
    } else {
        for (; *p >= L'0' && *p <= L'9'; ++p)
            s.width = std::min(kMaxField, s.width * 10 + int(*p - L'0'));
    }
    if (*p == L'.') {
        ++p;
        s.precision = 0;
        if (*p == L'*') {
            ++p;
            ok = ok && starArgument(s.precision);
            if (s.precision < 0)
                s.precision = -1;
        } else {
            for (; *p >= L'0' && *p <= L'9'; ++p)
                s.precision = std::min(kMaxField, s.precision * 10 + int(*p - L'0'));
        }
    }
    if (p[0] == L'h' && p[1] == L'h') {
        s.bits = 8;
        s.shortLength = true;
        p += 2;
    } else if (p[0] == L'h') {
        s.bits = 16;
        s.shortLength = true;
        ++p;
    } else if (p[0] == L'l' && p[1] == L'l') {
        s.bits = 64;
        p += 2;
    } else if (p[0] == L'l' || p[0] == L'w') {
        s.longLength = true;
        ++p;
    } else if (p[0] == L'I' && p[1] == L'6' && p[2] == L'4') {
        s.bits = 64;
        p += 3;
    } else if (p[0] == L'I' && p[1] == L'3' && p[2] == L'2') {
        p += 3;
    } else if (p[0] == L'I' || p[0] == L'j' || p[0] == L'z' || p[0] == L't') {
        s.bits = 64;
        ++p;
    } else if (p[0] == L'L') {
        ++p;
    }
    return ok;
}

void putString(Sink& sink, const Spec& s, const aFormatArg& arg)
{
    static const char kNull[] = "(null)";
    const bool isNull = arg.kind() == aFormatArg::WideString ? arg.wide() == nullptr : arg.narrow() == nullptr;
    std::size_t n = isNull ? sizeof kNull - 1 : arg.length();
    if (s.precision >= 0 && std::size_t(s.precision) < n)
        n = std::size_t(s.precision);
    if (isNull)
        putField(sink, s, n, [&](std::size_t i) { return wchar_t(kNull[i]); });
    else if (arg.kind() == aFormatArg::WideString)
        putField(sink, s, n, [&](std::size_t i) { return arg.wide()[i]; });
    else
        putField(sink, s, n, [&](std::size_t i) { return str_cp1251CharToWide(static_cast<unsigned char>(arg.narrow()[i])); });
}

// One conversion; false with the problem when it writes nothing.
bool convert(Sink& sink, const Spec& s, const aFormatArg* args, std::size_t count, std::size_t& next,
             std::string& problem)
{
    const wchar_t c = s.conversion;
    const bool isInteger = c == L'd' || c == L'i' || c == L'u' || c == L'o' || c == L'x' || c == L'X';
    const bool isFloat = c == L'f' || c == L'F' || c == L'e' || c == L'E' || c == L'g' || c == L'G';
    const bool isChar = c == L'c' || c == L'C';
    const bool isString = c == L's' || c == L'S';
    if (c == L'%') {
        sink.put(L'%');
        return true;
    }
    if (!isInteger && !isFloat && !isChar && !isString) {
        problem = c ? "unknown conversion" : "'%' at the end";
        return false;
    }
    if (next >= count) {
        problem = "a conversion without an argument";
        return false;
    }
    const aFormatArg& arg = args[next++];
    const bool intArg = arg.kind() == aFormatArg::Int || arg.kind() == aFormatArg::UInt;
    if (isInteger) {
        if (!intArg) {
            problem = "an integer conversion given another argument";
            return false;
        }
        if (c == L'd' || c == L'i')
            putAscii(sink, formatNumber(narrowSpec(s, "ll", 'd'), (long long)signedBits(arg.asInt(), s.bits)));
        else
            putAscii(sink, formatNumber(narrowSpec(s, "ll", char(c)),
                                        (unsigned long long)unsignedBits(arg.asInt(), s.bits)));
        return true;
    }
    if (isFloat) {
        if (arg.kind() != aFormatArg::Double) {
            problem = "a floating-point conversion given another argument";
            return false;
        }
        putAscii(sink, formatNumber(narrowSpec(s, "", char(c)), arg.asDouble()));
        return true;
    }
    // %c and %s are wide, %C and %S narrow; h forces narrow, l and w wide.
    const bool narrow = s.shortLength || (!s.longLength && (c == L'C' || c == L'S'));
    if (isChar) {
        if (!intArg) {
            problem = "a character conversion given another argument";
            return false;
        }
        const std::int64_t v = arg.asInt();
        wchar_t ch;
        if (narrow || arg.charKind() == aFormatArg::NarrowChar)
            ch = str_cp1251CharToWide(static_cast<unsigned char>(v));
        else
            ch = (v >= 0 && v <= 0xFFFF) ? wchar_t(v) : wchar_t(0xFFFD);
        putField(sink, s, 1, [&](std::size_t) { return ch; });
        return true;
    }
    const aFormatArg::Kind wanted = narrow ? aFormatArg::NarrowString : aFormatArg::WideString;
    if (arg.kind() != wanted) {
        problem = narrow ? "a narrow string conversion given another argument"
                         : "a wide string conversion given another argument";
        return false;
    }
    putString(sink, s, arg);
    return true;
}

void run(Sink& sink, const wchar_t* format, const aFormatArg* args, std::size_t count)
{
    if (!format)
        return;
    std::size_t next = 0;
    std::string firstProblem;
    int conversionIndex = 0;
    for (const wchar_t* p = format; *p && !sink.full();) {
        if (*p != L'%') {
            sink.put(*p++);
            continue;
        }
        ++p;
        if (*p == L'%') {
            sink.put(L'%');
            ++p;
            continue;
        }
        ++conversionIndex;
        Spec spec;
        std::string problem;
        bool ok = readSpec(p, spec, args, count, next, problem);
        if (ok) {
            spec.conversion = *p;
            if (*p)
                ++p;
            ok = convert(sink, spec, args, count, next, problem);
        } else if (*p) {
            ++p;
        }
        if (!ok && firstProblem.empty())
            firstProblem = problem + " (conversion " + std::to_string(conversionIndex) + ")";
    }
    if (!firstProblem.empty())
        reportBadFormat(format, firstProblem);
}

} // namespace

std::size_t a_wformatArgs(wchar_t* buffer, std::size_t capacity, const wchar_t* format, const aFormatArg* args,
                          std::size_t count)
{
    if (!buffer || capacity == 0)
        return 0;
    Sink sink(buffer, capacity - 1);
    run(sink, format, args, count);
    buffer[sink.length()] = 0;
    return sink.length();
}

std::wstring a_wformatArgs(std::size_t limit, const wchar_t* format, const aFormatArg* args, std::size_t count)
{
    std::wstring out;
    Sink sink(&out, limit);
    run(sink, format, args, count);
    return out;
}
