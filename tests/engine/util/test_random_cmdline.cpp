#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "engine/util/a_application.h"
#include "engine/util/a_cmdline.h"
#include "engine/util/a_log.h"
#include "engine/util/a_random.h"
#include "support/test_env.h"

namespace {

std::vector<std::string> argsOf(const aCmdLine& cmd)
{
    std::vector<std::string> out;
    for (int i = 0; i < cmd.getArgc(); ++i)
        out.push_back(cmd.getArgv(i) ? cmd.getArgv(i) : "<null>");
    return out;
}

// Splits a command line the way the game does: through the application object.
std::vector<std::string> split(const char* line)
{
    aApplication app;
    app.m_cmdLine = line;
    aCmdLine cmd;
    return argsOf(cmd);
}

using Args = std::vector<std::string>;

} // namespace

TEST(ARandom, SeededSequence)
{
    a_srand(1);
    EXPECT_EQ(a_rand(), 41);
    EXPECT_EQ(a_rand(), 18467);
    EXPECT_EQ(a_rand(), 6334);
    EXPECT_EQ(a_rand(), 26500);

    a_srand(0);
    EXPECT_EQ(a_rand(), 38);
    // Reseeding restarts the sequence.
    a_srand(1);
    EXPECT_EQ(a_rand(), 41);
}

TEST(ARandom, UnseededStateIsOne)
{
    // In a child process nothing has seeded the generator yet, whatever ran
    // before in this one.
    EXPECT_EXIT(std::exit(a_rand() == 41 && a_rand() == 18467 ? 0 : 1), ::testing::ExitedWithCode(0), "");
}

TEST(ARandom, ConcurrentDrawsLoseNoStep)
{
    constexpr int kThreads = 4;
    constexpr int kDraws = 5000;
    a_srand(12345);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([] {
            for (int i = 0; i < kDraws; ++i)
                a_rand();
        });
    for (std::thread& t : threads)
        t.join();
    const int afterConcurrent = a_rand();

    a_srand(12345);
    for (int i = 0; i < kThreads * kDraws; ++i)
        a_rand();
    EXPECT_EQ(afterConcurrent, a_rand());
}

TEST(ACmdLine, Splitting)
{
    EXPECT_EQ(split(""), Args({"invalid"}));
    EXPECT_EQ(split(nullptr), Args({"invalid"}));
    EXPECT_EQ(split("-window"), Args({"invalid", "-window"}));
    EXPECT_EQ(split("  \"a  b\"\tc \"\""), Args({"invalid", "a  b", "c", ""}));
    // No closing quote: an ordinary argument starting after the quote.
    EXPECT_EQ(split("x \"abc def"), Args({"invalid", "x", "abc", "def"}));
    EXPECT_EQ(split("a\tb\rc\nd"), Args({"invalid", "a", "b", "c", "d"}));
}

TEST(ACmdLine, TrailingBlanks)
{
    EXPECT_EQ(split("a b "), Args({"invalid", "a", "b"}));
    EXPECT_EQ(split("a b  "), Args({"invalid", "a", "b", ""}));
    EXPECT_EQ(split("a b     "), Args({"invalid", "a", "b", ""}));
    EXPECT_EQ(split("a \t"), Args({"invalid", "a", ""}));
}

TEST(ACmdLine, AtMost64Arguments)
{
    std::string line;
    for (int i = 0; i < 70; ++i)
        line += (i ? " a" : "a") + std::to_string(i);

    aApplication app;
    app.m_cmdLine = line.c_str();
    aCmdLine cmd;
    ASSERT_EQ(cmd.getArgc(), aCmdLine::kMaxArgs);
    EXPECT_STREQ(cmd.getArgv(0), "invalid");
    EXPECT_STREQ(cmd.getArgv(1), "a0");
    EXPECT_STREQ(cmd.getArgv(63), "a62");
    EXPECT_EQ(cmd.getArgv(64), nullptr);
    EXPECT_EQ(cmd.getArgv(-1), nullptr);
}

TEST(ACmdLine, WithoutApplicationLogsAndGivesOnlyArgumentZero)
{
    ASSERT_EQ(g_application, nullptr);
    const std::string path = test_env::home() + "/cmdline.log";
    g_logFile = std::fopen(path.c_str(), "w");
    ASSERT_NE(g_logFile, nullptr);
    {
        aCmdLine cmd;
        EXPECT_EQ(argsOf(cmd), Args({"invalid"}));
    }
    a_closeLog();
    const std::vector<std::string> lines = test_env::readLines(path);
    ASSERT_EQ(lines.size(), 1u);
    const std::size_t tab = lines[0].find('\t');
    ASSERT_NE(tab, std::string::npos);
    EXPECT_EQ(lines[0].substr(tab + 1), "aCmdLine. Error, aApplication object not created!");
}

TEST(ACmdLine, JoinedArgumentsSplitBackUnchanged)
{
    const char* const argv[] = {"plain",    "with blank", "tab\there", "",      "last", "line\nbreak", "cr\rhere",
                                "say \"hi\" now", "\"",          "a\"b",     "\"lead", "end\"", "\"\"", "\" x"};
    const int argc = int(sizeof argv / sizeof argv[0]);
    const std::string line = a_joinCommandLine(argc, argv);

    Args expected = {"invalid"};
    expected.insert(expected.end(), argv, argv + argc);
    EXPECT_EQ(split(line.c_str()), expected) << line;

    EXPECT_EQ(a_joinCommandLine(0, argv), "");
}

TEST(ACmdLine, DoubledQuotesInsideQuotesStandForOne)
{
    EXPECT_EQ(split("\"a \"\"b\"\"\" c"), Args({"invalid", "a \"b\"", "c"}));
    EXPECT_EQ(split("\"\"\"\" \"\""), Args({"invalid", "\"", ""}));
    // A quote inside an unquoted argument is an ordinary character.
    EXPECT_EQ(split("a\"b c"), Args({"invalid", "a\"b", "c"}));
    // A doubled quote never closes: without a lone one the argument is unquoted.
    EXPECT_EQ(split("\"x\"\"y"), Args({"invalid", "x\"\"y"}));
}
