#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "engine/util/a_wformat.h"
#include "text_test_log.h"

// Each test uses bad formats of its own: a bad format is logged once per run.

TEST(WFormat, StringsWideAndNarrow)
{
    TestLog log;
    const std::wstring name = L"\x0416uk";
    EXPECT_EQ(a_wformat(L"[%s|%s]", L"abc", name), L"[abc|\x0416uk]");
    // %S is narrow, read as Windows-1251; h and l pick the width explicitly.
    EXPECT_EQ(a_wformat(L"%S/%hs/%ls", "\xC0\xE1", std::string("\xC6"), L"w"), std::wstring(L"\x0410\x0431/\x0416/w"));
    EXPECT_EQ(a_wformat(L"[%5s][%-5s][%.2s][%6.1S]", L"ab", L"cd", L"efgh", "ij"), L"[   ab][cd   ][ef][     i]");
    EXPECT_EQ(a_wformat(L"%s", static_cast<const wchar_t*>(nullptr)), L"(null)");
    EXPECT_EQ(a_wformat(std::wstring(L"%s!"), L"x"), L"x!");
    EXPECT_TRUE(log.lines().empty());
}

TEST(WFormat, IntegersWithFlagsWidthPrecisionAndLengths)
{
    TestLog log;
    EXPECT_EQ(a_wformat(L"%d %i %u %x %X %o", -5, 7, 4000000000u, 255, 255u, 8), L"-5 7 4000000000 ff FF 10");
    EXPECT_EQ(a_wformat(L"[%5d][%-5d][%05d][%+d][% d][%.3d][%#x]", 42, 42, 42, 42, 42, 7, 255),
              L"[   42][42   ][00042][+42][ 42][007][0xff]");
    EXPECT_EQ(a_wformat(L"[%*d][%-*d][%.*d]", 4, 1, 3, 2, 2, 3), L"[   1][2  ][03]");
    EXPECT_EQ(a_wformat(L"[%*d]", -3, 9), L"[9  ]");
    // "l" is 32 bits, as the formats' home platform has it; ll and I64 are 64.
    const std::int64_t big = 0x100000005LL;
    EXPECT_EQ(a_wformat(L"%ld %lld %I64d %d", big, big, big, big), L"5 4294967301 4294967301 5");
    EXPECT_EQ(a_wformat(L"%hd %hu %hhu %lu", 70000, -1, 300, -1), L"4464 65535 44 4294967295");
    EXPECT_EQ(a_wformat(L"%u %d", -1, 4294967295u), L"4294967295 -1");
    EXPECT_EQ(a_wformat(L"%d %d", true, static_cast<unsigned char>(200)), L"1 200");
    EXPECT_TRUE(log.lines().empty());
}

TEST(WFormat, FloatsUseTheCDecimalPoint)
{
    TestLog log;
    EXPECT_EQ(a_wformat(L"%f %.2f %8.3f %-8.1f|", 1.5, 2.345f, -3.14159, 0.25), L"1.500000 2.35   -3.142 0.2     |");
    EXPECT_EQ(a_wformat(L"%e %.1E %g %G %g", 12345.678, 0.00012, 0.0001, 1e20, 100.0),
              L"1.234568e+04 1.2E-04 0.0001 1E+20 100");
    EXPECT_EQ(a_wformat(L"%+.0f %08.2f", 2.5, -1.5), L"+2 -0001.50");
    EXPECT_TRUE(log.lines().empty());
}

TEST(WFormat, CharactersAndPercent)
{
    TestLog log;
    EXPECT_EQ(a_wformat(L"%c%c%c%c", L'\x0416', 0x416, 'A', '\xC0'), std::wstring(L"\x0416\x0416" L"A\x0410"));
    EXPECT_EQ(a_wformat(L"%C %hc %lc [%3c]", 0xC0, 0xE1, 0x451, L'z'), std::wstring(L"\x0410 \x0431 \x0451 [  z]"));
    EXPECT_EQ(a_wformat(L"100%% of %d%%", 5), L"100% of 5%");
    EXPECT_EQ(a_wformat(L"no conversions"), L"no conversions");
    EXPECT_TRUE(log.lines().empty());
}

TEST(WFormat, BadConversionsWriteNothingAndLogOnce)
{
    TestLog log;
    // A missing argument is never read.
    EXPECT_EQ(a_wformat(L"a%db%sc", 5), L"a5bc");
    EXPECT_EQ(a_wformat(L"a%db%sc", 6), L"a6bc");
    EXPECT_EQ(log.count("a_wformat. Bad format \"a%db%sc\""), 1u);

    EXPECT_EQ(a_wformat(L"100%"), L"100");
    EXPECT_EQ(log.count("\"100%\""), 1u);

    // Wrong kinds: nothing for that conversion, the rest goes on.
    EXPECT_EQ(a_wformat(L"<%d|%s|%f|%S|%c>", L"w", "n", 3, L"w2", 1.0), L"<||||>");
    EXPECT_EQ(a_wformat(L"<%y|%n|%d>", 1, 2), L"<||1>");
    EXPECT_EQ(a_wformat(L"<%*d>", L"x", 4), L"<>");
    // A failed '*' takes the rest of its conversion with it.
    EXPECT_EQ(a_wformat(L"<%*.3d|%.*ld>", L"x", L"y"), L"<|>");
    EXPECT_EQ(log.lines().size(), 6u);
}

TEST(WFormat, OutputIsBounded)
{
    wchar_t buffer[12];
    for (wchar_t& c : buffer)
        c = L'#';
    EXPECT_EQ(a_wformatTo(buffer, 8, L"%s-%d", L"0123456789", 42), 7u);
    EXPECT_EQ(std::wstring(buffer), L"0123456");
    EXPECT_EQ(buffer[8], L'#');

    EXPECT_EQ(a_wformatTo(buffer, 1, L"%d", 123), 0u);
    EXPECT_EQ(buffer[0], L'\0');
    EXPECT_EQ(buffer[1], L'1');
    EXPECT_EQ(a_wformatTo(buffer, 0, L"%d", 5), 0u);
    EXPECT_EQ(buffer[0], L'\0');

    // Wide fields stop at the bound too.
    EXPECT_EQ(a_wformatTo(buffer, 6, L"%99999d|%-50s", 1, L"x"), 5u);
    EXPECT_EQ(std::wstring(buffer), L"     ");
    EXPECT_EQ(a_wformat(L"%s%s", std::wstring(A_WFORMAT_MAX_LENGTH, L'a'), L"b").size(), A_WFORMAT_MAX_LENGTH);
}
