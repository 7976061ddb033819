#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "engine/gui/a_tag_parser.h"
#include "engine/util/a_log.h"
#include "support/test_env.h"

namespace {

// Test texts are ASCII, written once and widened for the wide parser.
template <class Ch>
std::basic_string<Ch> S(const std::string& text)
{
    return std::basic_string<Ch>(text.begin(), text.end());
}

// The runs as "T:text" / "K:text" for comparison.
template <class Ch>
std::vector<std::string> runsOf(const aTagParser<Ch>& parser)
{
    std::vector<std::string> out;
    for (const auto& run : parser.getRuns())
        out.push_back((run.isText ? "T:" : "K:") + std::string(run.text.begin(), run.text.end()));
    return out;
}

struct Delimiters {
    const char* open;
    const char* close;
};

template <class Ch>
class TagParser : public ::testing::Test {
protected:
    // Writes the test texts with "<#" / "#>" and swaps in other delimiters.
    static std::basic_string<Ch> text(const std::string& t, const Delimiters& d)
    {
        std::string out;
        for (std::size_t i = 0; i < t.size(); ++i) {
            if (t.compare(i, 2, "<#") == 0) {
                out += d.open;
                ++i;
            } else if (t.compare(i, 2, "#>") == 0) {
                out += d.close;
                ++i;
            } else {
                out += t[i];
            }
        }
        return S<Ch>(out);
    }
};

using CharTypes = ::testing::Types<char, wchar_t>;
TYPED_TEST_SUITE(TagParser, CharTypes);

using V = std::vector<std::string>;

} // namespace

TYPED_TEST(TagParser, TheSevenCases)
{
    using Ch = TypeParam;
    for (const Delimiters d : {Delimiters{"<#", "#>"}, Delimiters{"(", ")"}}) {
        SCOPED_TRACE(d.open);
        aTagParser<Ch> p(S<Ch>(d.open), S<Ch>(d.close), S<Ch>("="));
        auto parse = [&](const std::string& t) {
            p.parse(TestFixture::text(t, d));
            return runsOf(p);
        };

        EXPECT_EQ(parse("plain text"), V{"T:plain text"});
        EXPECT_TRUE(p.isPlainText());

        EXPECT_EQ(parse("A<#color=ffff0000#>B"), (V{"T:A", "K:color=ffff0000", "T:B"}));
        EXPECT_FALSE(p.isPlainText());
        p.first();
        p.next();
        EXPECT_FALSE(p.isText());
        EXPECT_EQ(p.getKey(), S<Ch>("color"));
        EXPECT_EQ(p.getValue(), S<Ch>("ffff0000"));

        EXPECT_EQ(parse("A<#x=1#><#y=2#>B"), (V{"T:A", "K:x=1", "K:y=2", "T:B"}));
        EXPECT_EQ(parse("A<##>B"), V{"T:AB"});
        EXPECT_TRUE(p.isPlainText());

        EXPECT_EQ(parse("A<#color=1 and more"), V{"T:A"});

        // Half an open delimiter is text; a whole one with nothing after
        // it drops only itself.
        const std::string half(1, d.open[0]);
        if (std::string(d.open).size() > 1) {
            EXPECT_EQ(parse("A" + half), V{"T:A" + half});
            EXPECT_TRUE(p.isPlainText());
        }
        EXPECT_EQ(parse("A<#"), V{"T:A"});

        EXPECT_EQ(parse("<#bold#>"), V{"K:bold"});
        p.first();
        EXPECT_EQ(p.getKey(), S<Ch>("bold"));
        EXPECT_EQ(p.getValue(), S<Ch>(""));

        EXPECT_EQ(parse(""), V{});
        EXPECT_FALSE(p.isPlainText());
        EXPECT_TRUE(p.isEnd());
        EXPECT_EQ(p.getKey(), S<Ch>(""));
    }
}

TYPED_TEST(TagParser, KeysValuesAndWalk)
{
    using Ch = TypeParam;
    aTagParser<Ch> p(S<Ch>("<#"), S<Ch>("#>"), S<Ch>("="));
    // Not trimmed; only the first separator splits; a tag may hold '<'.
    p.parse(S<Ch>("x<# size = 2=3 #>y<#a<b#>"));
    std::vector<std::string> walked;
    for (p.first(); !p.isEnd(); p.next()) {
        const auto k = p.getKey();
        const auto v = p.getValue();
        walked.push_back(std::string(p.isText() ? "T" : "K") + "[" + std::string(k.begin(), k.end()) + "|" +
                         std::string(v.begin(), v.end()) + "]");
    }
    EXPECT_EQ(walked, (V{"T[x|]", "K[ size | 2=3 ]", "T[y|]", "K[a<b|]"}));
    p.next();
    EXPECT_TRUE(p.isEnd());

    p.clear();
    p.addRun(S<Ch>("a"), true);
    p.addRun(S<Ch>(""), false);
    p.addRun(S<Ch>("b"), true);
    p.addRun(S<Ch>("k"), false);
    p.addRun(S<Ch>("c"), true);
    EXPECT_EQ(runsOf(p), (V{"T:ab", "K:k", "T:c"}));

    const aTagParser<Ch> copy(p);
    EXPECT_EQ(runsOf(copy), runsOf(p));
}

TYPED_TEST(TagParser, EmptyDelimiterKeepsTheWholeText)
{
    using Ch = TypeParam;
    const std::string logPath = test_env::home() + "/tag.log";
    a_closeLog();
    g_logFile = std::fopen(logPath.c_str(), "w");
    {
        aTagParser<Ch> p(S<Ch>(""), S<Ch>("#>"), S<Ch>("="));
        p.parse(S<Ch>("a<#b#>c"));
        EXPECT_EQ(runsOf(p), V{"T:a<#b#>c"});
    }
    a_closeLog();
    const std::vector<std::string> lines = test_env::readLines(logPath);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("aTagParser. Empty open or close delimiter"), std::string::npos);
}
