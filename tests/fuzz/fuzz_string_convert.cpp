// The text conversions: UTF-8 (strict and lenient), Windows-1251 and wide
// text both ways, case, numbers and splitting, on the same bytes. Round
// trips that must hold are checked.
#include <vector>

#include "engine/util/a_string.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::tempDir();
    const std::string text(reinterpret_cast<const char*>(data), size);

    const std::wstring strict = str_utf8ToWide(text);
    const std::wstring lenient = str_multiByteToWide(text, A_CP_UTF8);
    const std::wstring checked = str_multiByteToWide(text, A_CP_UTF8, A_MB_ERR_INVALID_CHARS);
    const std::wstring cyrillic = str_multiByteToWide(text, A_CP_ACP);
    // Every byte is one Windows-1251 character, and back.
    if (cyrillic.size() != text.size() || str_cp1251ToWide(text) != cyrillic)
        __builtin_trap();
    const std::string back = str_wideToCp1251(cyrillic);
    for (std::size_t i = 0; i < text.size(); ++i)
        if (back[i] != text[i] && !(static_cast<unsigned char>(text[i]) == 0x98 && back[i] == '?'))
            __builtin_trap();
    // Valid UTF-8 decodes the same way strictly and leniently, and text the
    // encoder wrote decodes back to itself.
    if (!checked.empty() && checked != lenient)
        __builtin_trap();
    for (const std::wstring* wide : {&strict, &lenient}) {
        const std::string utf8 = str_wideToUtf8(*wide);
        const std::wstring again = str_multiByteToWide(utf8, A_CP_UTF8, A_MB_ERR_INVALID_CHARS);
        if (again.size() != wide->size() && !wide->empty())
            __builtin_trap();
        (void)str_utf8ToWide(utf8.data(), utf8.size());
    }
    (void)str_toLowerW(lenient);
    (void)str_toUpper(text);

    (void)str_toInt(text);
    (void)str_toUInt(text);
    (void)str_toDouble(text);
    (void)str_isInt(text);
    (void)str_isDouble(text);
    std::int32_t x = 0, y = 0;
    (void)str_parsePoint(text, x, y);
    aRect rect;
    (void)str_parseRect(text, rect);
    float fx = 0, fy = 0;
    (void)str_parseVec2(text, fx, fy);

    std::vector<std::string> tokens;
    const std::string delimiters = size > 0 ? text.substr(0, 1 + data[0] % 3) : std::string(",");
    str_split(text, tokens, delimiters);
    for (const std::string& t : tokens)
        if (t.empty())
            __builtin_trap();
    return 0;
}
