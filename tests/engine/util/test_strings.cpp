#include <gtest/gtest.h>

#include <climits>
#include <locale.h>
#include <string>
#include <vector>
#include <wctype.h>

#include "engine/util/a_string.h"
#include "text_test_log.h"

TEST(StrUtf8, DecodesAndStopsAtMalformedInput)
{
    EXPECT_EQ(str_utf8ToWide("\xC3\xA9"), std::wstring(1, wchar_t(0xE9)));
    EXPECT_EQ(str_utf8ToWide("\xE2\x82\xAC"), std::wstring(1, wchar_t(0x20AC)));
    EXPECT_EQ(str_utf8ToWide("A\xC3" "A"), L"A");
    // A four-byte sequence is consumed whole and stands as one U+FFFD.
    EXPECT_EQ(str_utf8ToWide("\xF0\x9F\x98\x80" "B"), std::wstring(L"\xFFFD" L"B"));
    // A byte-order mark is an ordinary character here.
    EXPECT_EQ(str_utf8ToWide("\xEF\xBB\xBFx"), std::wstring(L"\xFEFF" L"x"));
    // Cut off by the end, or a lead byte without its continuation.
    EXPECT_EQ(str_utf8ToWide("A\xF0\x9F\x98"), L"A");
    EXPECT_EQ(str_utf8ToWide("A\xE2\x82"), L"A");
    EXPECT_EQ(str_utf8ToWide("A\x80" "B"), L"A");
    EXPECT_EQ(str_utf8ToWide("A\xFF" "B"), L"A");
    EXPECT_EQ(str_utf8ToWide("A\xB0\x80"), L"A");
    // Continuation bytes and 0xF8.. lead by bit 5: clear two bytes (low five
    // bits), set three (low four); a surrogate comes out as U+FFFD.
    EXPECT_EQ(str_utf8ToWide("\x9F\xBF" "B"), std::wstring(L"\x07FF" L"B"));
    EXPECT_EQ(str_utf8ToWide("\x81\x81"), std::wstring(1, wchar_t(0x41)));
    EXPECT_EQ(str_utf8ToWide("\xAE\x82\xAC"), std::wstring(1, wchar_t(0xE0AC)));
    EXPECT_EQ(str_utf8ToWide("\xF8\x80\x80" "\xFF\xBF\xBF"), std::wstring(L"\x8000" L"\xFFFF"));
    EXPECT_EQ(str_utf8ToWide("\xFD\xA0\x80" "C"), std::wstring(L"\xFFFD" L"C"));
    EXPECT_EQ(str_utf8ToWide(std::string("a\0b", 3)), std::wstring(L"a\0b", 3));
    EXPECT_EQ(str_utf8ToWide(""), L"");
}

TEST(StrUtf8, EncodesBackWhatItDecodes)
{
    const std::string text = "Ab\xC3\xA9\xD0\x96\xE2\x82\xAC\xEF\xBB\xBF";
    EXPECT_EQ(str_wideToUtf8(str_utf8ToWide(text)), text);
    EXPECT_EQ(str_wideToUtf8(std::wstring(1, wchar_t(0xD800))), "\xEF\xBF\xBD");
}

TEST(StrCp1251, TableCasesAndRoundTrip)
{
    EXPECT_EQ(str_cp1251ToWide("\xC0"), std::wstring(1, wchar_t(0x0410)));
    EXPECT_EQ(str_cp1251ToWide("\x98"), std::wstring(1, wchar_t(0xFFFD)));
    EXPECT_EQ(str_cp1251ToWide("\xA8\xB8\xB9\x88\xFF"), std::wstring(L"\x0401\x0451\x2116\x20AC\x044F"));
    EXPECT_EQ(str_wideToCp1251(std::wstring(1, wchar_t(0x0410))), "\xC0");
    EXPECT_EQ(str_wideToCp1251(std::wstring(1, wchar_t(0x4E00))), "?");
    EXPECT_EQ(str_wideToCp1251(std::wstring(1, wchar_t(0x1F600))), "?");

    std::string all;
    for (int b = 0; b < 256; ++b)
        all += char(b);
    const std::wstring wide = str_cp1251ToWide(all);
    ASSERT_EQ(wide.size(), 256u);
    EXPECT_EQ(str_wideToCp1251(wide), all);
    // Beyond 65535 characters nothing is lost.
    const std::string big(70000, '\xE9');
    EXPECT_EQ(str_wideToCp1251(str_cp1251ToWide(big)), big);
}

TEST(StrMultiByte, CodePages)
{
    TestLog log;
    EXPECT_EQ(str_multiByteToWide("\xC0\xE1", A_CP_ACP), std::wstring(L"\x0410\x0431"));
    EXPECT_EQ(str_multiByteToWide("\xC0\xE1", 1251), std::wstring(L"\x0410\x0431"));
    EXPECT_EQ(str_multiByteToWide("\xD0\x96z", A_CP_UTF8), std::wstring(L"\x0416z"));
    // The system converter replaces bad bytes rather than stopping...
    EXPECT_EQ(str_multiByteToWide("a\xFF" "b\xF0\x9F\x98\x80", A_CP_UTF8), std::wstring(L"a\xFFFD" L"b\xFFFD"));
    // ... unless asked to fail.
    EXPECT_EQ(str_multiByteToWide("a\xFF" "b", A_CP_UTF8, A_MB_ERR_INVALID_CHARS), L"");
    EXPECT_EQ(str_multiByteToWide("ab", A_CP_UTF8, A_MB_ERR_INVALID_CHARS), L"ab");
    EXPECT_TRUE(log.lines().empty());

    EXPECT_EQ(str_multiByteToWide("abc", 1252), L"");
    EXPECT_EQ(log.lines(), std::vector<std::string>{"str_multiByteToWide. Unsupported code page 1252"});
}

TEST(StrNumbers, ToAndFromText)
{
    EXPECT_EQ(str_toUInt("99999999999"), 0xFFFFFFFFu);
    EXPECT_EQ(str_toUInt("4294967295"), 0xFFFFFFFFu);
    EXPECT_EQ(str_toUInt("4294967296"), 0xFFFFFFFFu);
    EXPECT_EQ(str_toUInt("  123abc"), 123u);
    EXPECT_EQ(str_toUInt("+7"), 7u);
    EXPECT_EQ(str_toUInt("-1"), 0xFFFFFFFFu);
    EXPECT_EQ(str_toUInt("x1"), 0u);
    EXPECT_EQ(str_toUInt(""), 0u);

    EXPECT_EQ(str_toInt("99999999999"), INT_MAX);
    EXPECT_EQ(str_toInt("-99999999999"), INT_MIN);
    EXPECT_EQ(str_toInt("-2147483648"), INT_MIN);
    EXPECT_EQ(str_toInt(" \t-12x"), -12);
    EXPECT_EQ(str_toInt("abc"), 0);
    EXPECT_DOUBLE_EQ(str_toDouble("1.5e1x"), 15.0);

    // Whole values only; blanks around them are no part of them.
    for (const char* text : {"0", " -12 ", "+7", "\t99999999999\n"})
        EXPECT_TRUE(str_isInt(text)) << text;
    for (const char* text : {"", " ", "-", "7x", "1.5", "abc", "1 2", "0x10"})
        EXPECT_FALSE(str_isInt(text)) << text;
    EXPECT_FALSE(str_isInt(std::string("1\0", 2)));
    for (const char* text : {"0.8", " -1e39 ", ".5", "nan", "inf", "7"})
        EXPECT_TRUE(str_isDouble(text)) << text;
    for (const char* text : {"", "abc", "0.8f", "1,5", "e5", "1 2"})
        EXPECT_FALSE(str_isDouble(text)) << text;

    EXPECT_EQ(str_fromInt(INT_MIN), "-2147483648");
    EXPECT_EQ(str_fromUInt(UINT_MAX), "4294967295");
    EXPECT_EQ(str_fromIntW(-45), L"-45");
}

TEST(StrFormat, LengthFirstThenText)
{
    EXPECT_EQ(str_format("%s", ""), "");
    EXPECT_EQ(str_format("%d:%s", 12, "ab"), "12:ab");
    const std::string longText(5000, 'q');
    EXPECT_EQ(str_format("<%s>", longText.c_str()), "<" + longText + ">");
}

TEST(StrCase, UpperIsAsciiOnlyLowerKnowsCyrillic)
{
    EXPECT_EQ(str_toUpper("abz09_\xE0"), "ABZ09_\xE0");
    // "ÀБЁ" and friends, whatever the process locale.
    EXPECT_EQ(str_toLowerW(std::wstring(L"\x00C0\x0411\x0401")), std::wstring(L"\x00E0\x0431\x0451"));
    EXPECT_EQ(str_toLowerW(std::wstring(L"ABC xyz \x0416\x0436 \x0178 \x0130")),
              std::wstring(L"abc xyz \x0436\x0436 \x00FF i"));
    EXPECT_EQ(str_toLowerW(std::wstring(L"\x00D7\x00DF\x2116")), std::wstring(L"\x00D7\x00DF\x2116"));
}

TEST(StrCase, LowerMatchesUnicodeForLatinGreekCyrillic)
{
    const locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
    if (!utf8)
        GTEST_SKIP() << "no C.UTF-8 locale to compare with";
    for (wchar_t c = 0; c < 0x2000; ++c) {
        const bool covered = c < 0x0250 || (c >= 0x0370 && c < 0x0530) || (c >= 0x1E00 && c < 0x1F00);
        if (!covered)
            continue;
        ASSERT_EQ(int(str_toLowerW(c)), int(towlower_l(wint_t(c), utf8))) << std::hex << int(c);
    }
    freelocale(utf8);
}

TEST(StrSplit, TokensBetweenDelimiters)
{
    std::vector<std::string> out;
    str_split(",a,,b,", out, ",");
    EXPECT_EQ(out, (std::vector<std::string>{"a", "b"}));
    str_split("c d;e", "; ", out);
    EXPECT_EQ(out, (std::vector<std::string>{"a", "b", "c", "d", "e"}));
    out.clear();
    str_split(",,,", out, ",");
    str_split("", out, ",");
    EXPECT_TRUE(out.empty());
    str_split("whole", out, "");
    EXPECT_EQ(out, std::vector<std::string>{"whole"});
}
