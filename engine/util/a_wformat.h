#pragma once
// The one wide printf-style formatter. Formats keep their Windows meaning,
// since many come from data: %s takes a wide string, %S a narrow one (read
// as Windows-1251), %c a wide character, "l" means 32 bits. Arguments are
// typed, so a format never reads what the caller did not pass: a stray '%',
// an unknown conversion, a missing argument or one of the wrong kind writes
// nothing for that conversion, and each such format is logged once.
//
// Conversions: d i u o x X c C s S f F e E g G %%, flags - + space # 0,
// width and precision (digits or '*'), lengths hh h l ll w I I32 I64 L j z t.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <cwchar>
#include <string>
#include <type_traits>

class aFormatArg {
public:
    enum Kind : std::uint8_t { None, Int, UInt, Double, WideString, NarrowString };
    // How %c reads an integer argument.
    enum CharKind : std::uint8_t { NotChar, NarrowChar, WideChar };

    aFormatArg() = default;

    template <class T>
    static aFormatArg make(const T& value)
    {
        using D = std::decay_t<T>;
        aFormatArg a;
        if constexpr (std::is_same_v<D, bool>) {
            a.m_kind = Int;
            a.m_int = value ? 1 : 0;
        } else if constexpr (std::is_same_v<D, char>) {
            a.m_kind = Int;
            a.m_int = value;
            a.m_char = NarrowChar;
        } else if constexpr (std::is_same_v<D, wchar_t> || std::is_same_v<D, char16_t> ||
                             std::is_same_v<D, char32_t>) {
            a.m_kind = Int;
            a.m_int = static_cast<std::int64_t>(value);
            a.m_char = WideChar;
        } else if constexpr (std::is_integral_v<D> && std::is_signed_v<D>) {
            a.m_kind = Int;
            a.m_int = value;
        } else if constexpr (std::is_integral_v<D>) {
            a.m_kind = UInt;
            a.m_int = static_cast<std::int64_t>(static_cast<std::uint64_t>(value));
        } else if constexpr (std::is_enum_v<D>) {
            a.m_kind = Int;
            a.m_int = static_cast<std::int64_t>(value);
        } else if constexpr (std::is_floating_point_v<D>) {
            a.m_kind = Double;
            a.m_double = static_cast<double>(value);
        } else if constexpr (std::is_same_v<D, const wchar_t*> || std::is_same_v<D, wchar_t*>) {
            const wchar_t* text = value;
            a.m_kind = WideString;
            a.m_wide = text;
            a.m_length = text ? std::wcslen(text) : 0;
        } else if constexpr (std::is_same_v<D, std::wstring>) {
            a.m_kind = WideString;
            a.m_wide = value.c_str();
            a.m_length = value.size();
        } else if constexpr (std::is_same_v<D, const char*> || std::is_same_v<D, char*>) {
            const char* text = value;
            a.m_kind = NarrowString;
            a.m_narrow = text;
            a.m_length = text ? std::strlen(text) : 0;
        } else if constexpr (std::is_same_v<D, std::string>) {
            a.m_kind = NarrowString;
            a.m_narrow = value.c_str();
            a.m_length = value.size();
        } else {
            static_assert(sizeof(D) == 0, "a_wformat: unsupported argument type");
        }
        return a;
    }

    Kind kind() const { return m_kind; }
    CharKind charKind() const { return m_char; }
    std::int64_t asInt() const { return m_int; }
    double asDouble() const { return m_double; }
    // Null for a null pointer argument.
    const wchar_t* wide() const { return m_wide; }
    const char* narrow() const { return m_narrow; }
    std::size_t length() const { return m_length; }

private:
    Kind m_kind = None;
    CharKind m_char = NotChar;
    std::int64_t m_int = 0;
    double m_double = 0.0;
    const wchar_t* m_wide = nullptr;
    const char* m_narrow = nullptr;
    std::size_t m_length = 0;
};

// Most characters a_wformat returns.
constexpr std::size_t A_WFORMAT_MAX_LENGTH = 65536;

// Writes at most capacity - 1 characters and a terminating zero (nothing
// when capacity is 0). Returns the number of characters written.
std::size_t a_wformatArgs(wchar_t* buffer, std::size_t capacity, const wchar_t* format, const aFormatArg* args,
                          std::size_t count);
// The same into a string of at most limit characters.
std::wstring a_wformatArgs(std::size_t limit, const wchar_t* format, const aFormatArg* args, std::size_t count);

template <class... A>
std::size_t a_wformatTo(wchar_t* buffer, std::size_t capacity, const wchar_t* format, const A&... args)
{
    const aFormatArg list[sizeof...(A) + 1] = {aFormatArg::make(args)..., aFormatArg()};
    return a_wformatArgs(buffer, capacity, format, list, sizeof...(A));
}

template <class... A>
std::wstring a_wformat(const wchar_t* format, const A&... args)
{
    const aFormatArg list[sizeof...(A) + 1] = {aFormatArg::make(args)..., aFormatArg()};
    return a_wformatArgs(A_WFORMAT_MAX_LENGTH, format, list, sizeof...(A));
}

template <class... A>
std::wstring a_wformat(const std::wstring& format, const A&... args)
{
    return a_wformat(format.c_str(), args...);
}
