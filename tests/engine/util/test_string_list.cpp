#include <gtest/gtest.h>

#include <list>
#include <string>

#include "engine/util/a_string_list.h"
#include "text_test_log.h"

namespace {

std::list<std::string> linesOf(const std::string& text)
{
    aStringList list;
    list.parse(text.data(), text.size());
    return list.lines();
}

using Lines = std::list<std::string>;

} // namespace

TEST(StringList, LineBreaks)
{
    EXPECT_EQ(linesOf("a\r\nb\r\n\r\nc"), (Lines{"a", "b", "c"}));
    EXPECT_EQ(linesOf("a\nb\n\nc\n"), (Lines{"a", "b", "c"}));
    EXPECT_EQ(linesOf("a\rb\n\r\n"), (Lines{"a", "b"}));
    // A leading break gives one empty line; blanks are kept inside lines.
    EXPECT_EQ(linesOf("\r\n\nx "), (Lines{"", "x "}));
    EXPECT_EQ(linesOf(""), Lines{});
    // A leading byte-order mark goes (also before a line break); later ones
    // and NUL bytes stay.
    EXPECT_EQ(linesOf(std::string("\xEF\xBB\xBF" "a\0b\nc\xEF\xBB\xBF", 11)),
              (Lines{std::string("a\0b", 3), "c\xEF\xBB\xBF"}));
    EXPECT_EQ(linesOf("\xEF\xBB\xBF\r\nx"), (Lines{"", "x"}));
    EXPECT_EQ(linesOf("\xEF\xBB\xBF"), Lines{});
}

TEST(StringList, LongLinesAreKeptAndLoggedOnce)
{
    TestLog log;
    const std::string longLine(3000, 'x');
    EXPECT_EQ(linesOf(longLine + "\nshort\n" + std::string(1025, 'y')),
              (Lines{longLine, "short", std::string(1025, 'y')}));
    EXPECT_EQ(linesOf(std::string(1024, 'z')).front().size(), 1024u);
    EXPECT_EQ(log.lines(), (std::vector<std::string>{"aStringList. Long string", "aStringList. Long string"}));
}

TEST(StringList, LoadReplacesAndCursorWalks)
{
    TestLog log;
    const std::string path = test_env::home() + "/lines.txt";
    test_env::writeFile(path, "one\ntwo\r\nthree");

    aStringList list(path);
    EXPECT_EQ(list.getSize(), 3u);
    EXPECT_TRUE(list.isFirst());
    std::string walked;
    for (list.first(); !list.isEnd(); list.next())
        walked += list.getCurrent() + "|";
    EXPECT_EQ(walked, "one|two|three|");
    list.next();
    EXPECT_TRUE(list.isEnd());
    EXPECT_EQ(list.getCurrent(), "");

    // parse appends, load replaces.
    list.parse("four", 4);
    EXPECT_EQ(list.getSize(), 4u);
    EXPECT_EQ(list.getCurrent(), "one");
    EXPECT_TRUE(list.load(path));
    EXPECT_EQ(list.getSize(), 3u);

    EXPECT_FALSE(list.load(test_env::home() + "/missing.txt"));
    EXPECT_EQ(list.getSize(), 0u);
    EXPECT_TRUE(list.isEnd());
    list.clear();
    EXPECT_TRUE(list.isEnd());
}
