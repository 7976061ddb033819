#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "engine/util/a_log.h"
#include "engine/util/a_rect.h"
#include "engine/util/a_string.h"
#include "engine/util/a_timer.h"
#include "platform/system/clock.h"
#include "support/test_env.h"

namespace {

// Time under the test's control; the log clock restarts with it and is
// restarted again on the system clock afterwards.
class ManualTime : public ::testing::Test {
protected:
    void SetUp() override
    {
        platform::setClock(&m_clock);
        a_logClock().reset();
    }
    void TearDown() override
    {
        a_closeLog();
        platform::setClock(nullptr);
        a_logClock().reset();
    }

    platform::ManualClock m_clock;
};

class ALog : public ManualTime {
protected:
    void SetUp() override
    {
        ManualTime::SetUp();
        m_path = test_env::home() + "/test.log";
        a_closeLog();
        g_logFile = std::fopen(m_path.c_str(), "w");
        ASSERT_NE(g_logFile, nullptr);
    }

    std::vector<std::string> lines() const { return test_env::readLines(m_path); }
    std::string lastMessage() const
    {
        const std::vector<std::string> all = lines();
        if (all.empty())
            return "<no line>";
        const std::size_t tab = all.back().find('\t');
        return tab == std::string::npos ? "<no tab>" : all.back().substr(tab + 1);
    }

    std::string m_path;
};

using ATimer = ManualTime;

std::string g_assertFunction;
unsigned g_assertLine = 0;
bool g_afterCheck = false;

void requirePositive(int v)
{
    g_assertFunction = __PRETTY_FUNCTION__; g_assertLine = __LINE__; A_ASSERT(v > 0);
}

void checkPositive(int v)
{
    g_afterCheck = false;
    g_assertFunction = __PRETTY_FUNCTION__; g_assertLine = __LINE__; A_CHECK(v > 0);
    g_afterCheck = true;
}

} // namespace

TEST_F(ALog, StampIsTimeSinceLogClockReset)
{
    m_clock.advanceMs(3602500);
    a_log("x");
    m_clock.advanceMs(100.0 * 3600 * 1000);
    a_log("%d hours later", 100);

    a_logClock().reset();
    m_clock.advanceMs(999);
    a_log("a");
    m_clock.advanceMs(1);
    a_log("b");
    m_clock.advanceMs(58 * 1000 + 999);
    a_log("c");
    m_clock.advanceMs(1);
    a_log("d");

    const std::vector<std::string> expected = {
        "01:00:02.500\tx",        "101:00:02.500\t100 hours later", "00:00:00.999\ta",
        "00:00:01.000\tb",        "00:00:59.999\tc",                "00:01:00.000\td",
    };
    EXPECT_EQ(lines(), expected);
}

TEST_F(ALog, NullFormatLongMessagesAndLiteralText)
{
    const char* volatile noFormat = nullptr;
    a_log(noFormat);
    EXPECT_EQ(lastMessage(), "a_log. NULL log string");

    std::string longText(3000, 'L');
    for (std::size_t i = 0; i < longText.size(); i += 100)
        longText[i] = char('0' + (i / 100) % 10);
    a_log("%s", longText.c_str());
    EXPECT_EQ(lastMessage(), longText.substr(0, A_LOG_BUFFER_SIZE - 1));

    a_log("after %s", "long");
    EXPECT_EQ(lastMessage(), "after long");

    a_logString("100% sure: %s %d %n");
    EXPECT_EQ(lastMessage(), "100% sure: %s %d %n");
    a_log("%d%%", 50);
    EXPECT_EQ(lastMessage(), "50%");
    EXPECT_EQ(lines().size(), 5u);
}

TEST_F(ALog, ClosedLogIsSilent)
{
    a_log("kept");
    a_closeLog();
    EXPECT_EQ(g_logFile, nullptr);
    const std::string before = test_env::readFile(m_path);
    EXPECT_EQ(before, "00:00:00.000\tkept\n");

    a_log("dropped %d", 1);
    a_logString("dropped");
    a_assertLog("f", "c", "(x.cpp, line 1)");
    a_closeLog();  // closing twice is harmless
    EXPECT_EQ(g_logFile, nullptr);
    EXPECT_EQ(test_env::readFile(m_path), before);
}

TEST_F(ALog, ConcurrentWritersProduceWholeLines)
{
    constexpr int kThreads = 8;
    constexpr int kLines = 500;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t] {
            const std::string pattern(40, char('A' + t));
            for (int i = 0; i < kLines; ++i) {
                if (i % 2)
                    a_log("t%d-%s-%d", t, pattern.c_str(), i);
                else
                    a_logString(("t" + std::to_string(t) + "-" + pattern + "-" + std::to_string(i)).c_str());
            }
        });
    }
    for (std::thread& t : threads)
        t.join();
    a_closeLog();

    const std::regex wellFormed(R"(\d\d:\d\d:\d\d\.\d\d\d\tt([0-7])-([A-H])\2{39}-(\d+))");
    std::map<int, std::vector<int>> seen;
    const std::vector<std::string> all = lines();
    ASSERT_EQ(all.size(), std::size_t(kThreads * kLines));
    for (const std::string& line : all) {
        std::smatch m;
        ASSERT_TRUE(std::regex_match(line, m, wellFormed)) << line;
        const int thread = std::stoi(m[1]);
        EXPECT_EQ(m[2].str()[0], char('A' + thread)) << line;
        seen[thread].push_back(std::stoi(m[3]));
    }
    for (int t = 0; t < kThreads; ++t) {
        ASSERT_EQ(seen[t].size(), std::size_t(kLines)) << "thread " << t;
        for (int i = 0; i < kLines; ++i)
            EXPECT_EQ(seen[t][i], i) << "thread " << t;  // each thread's lines in its own order
    }
}

TEST(ALogLocation, FileLineKeepsNameAfterLastSeparator)
{
    EXPECT_STREQ(a_fileLine("C:\\dir\\c.cpp", 7), "(c.cpp, line 7)");
    EXPECT_STREQ(a_fileLine("/src/engine/util/a_log.cpp", 120), "(a_log.cpp, line 120)");
    EXPECT_STREQ(a_fileLine("dir/sub\\mixed.h", 1), "(mixed.h, line 1)");
    EXPECT_STREQ(a_fileLine("plain.cpp", 4294967295u), "(plain.cpp, line 4294967295)");
    EXPECT_STREQ(a_fileLine("trailing/", 3), "(, line 3)");

    const std::string longName(1000, 'n');
    const char* text = a_fileLine(("/deep/" + longName + ".cpp").c_str(), 9);
    ASSERT_EQ(std::strlen(text), std::size_t(A_LOCATION_BUFFER_SIZE - 1));
    EXPECT_EQ(std::string(text), "(" + longName.substr(0, A_LOCATION_BUFFER_SIZE - 2));
}

TEST(ALogLocation, ExceptionText)
{
    const aException plain("x != 0", "void f(int)", "(f.cpp, line 3)");
    // The condition is followed by an empty line before "Catch stack:".
    EXPECT_STREQ(plain.what(),
                 "Application generated exception!\nx != 0\n\nCatch stack:\nvoid f(int) (f.cpp, line 3)");
    EXPECT_STREQ(plain.text(), plain.what());

    const aException app("Application failed to load", "int main()", "(m.cpp, line 9)");
    EXPECT_STREQ(app.what(), "Application failed to load\nint main() (m.cpp, line 9)");

    const std::string huge(5000, 'm');
    const aException big(huge.c_str(), "g()", "(g.cpp, line 1)");
    const std::string banner = "Application generated exception!\n";
    ASSERT_EQ(std::strlen(big.what()), std::size_t(A_EXCEPTION_TEXT_SIZE - 1));
    EXPECT_EQ(std::string(big.what()), banner + huge.substr(0, A_EXCEPTION_TEXT_SIZE - 1 - banner.size()));
}

TEST_F(ALog, AssertThrowsAndCheckOnlyLogs)
{
    EXPECT_NO_THROW(requirePositive(1));
    checkPositive(1);
    EXPECT_TRUE(g_afterCheck);
    EXPECT_TRUE(lines().empty());

    bool thrown = false;
    try {
        requirePositive(0);
    } catch (const aException& e) {
        thrown = true;
        const std::string location = "(test_log.cpp, line " + std::to_string(g_assertLine) + ")";
        EXPECT_EQ(std::string(e.what()),
                  "Application generated exception!\nv > 0\n\nCatch stack:\n" + g_assertFunction + " " + location);
        EXPECT_EQ(lastMessage(), g_assertFunction + ": v > 0 " + location);
    }
    EXPECT_TRUE(thrown);

    checkPositive(-5);
    EXPECT_TRUE(g_afterCheck);
    EXPECT_EQ(lastMessage(), g_assertFunction + ": v > 0 (test_log.cpp, line " + std::to_string(g_assertLine) + ")");
    EXPECT_EQ(lines().size(), 2u);
}

TEST_F(ATimer, TickCountSurvivesThe32BitWrap)
{
    m_clock.setTickBase(0xFFFFFF00u);
    aTimer timer(aTimer::TickCount);
    m_clock.advanceMs(0x200);
    EXPECT_EQ(timer.getTimeMs(), 0x200u);
    EXPECT_FLOAT_EQ(timer.getTime(), 0.512f);

    timer.reset();
    EXPECT_EQ(timer.getTimeMs(), 0u);
    EXPECT_EQ(timer.getTime(), 0.0f);
}

TEST_F(ATimer, PerformanceCounterKeepsMillisecondsAfterAnHour)
{
    aTimer timer(aTimer::PerformanceCounter);
    EXPECT_EQ(timer.getTimeMs(), 0u);
    m_clock.advanceMs(3602500);
    EXPECT_EQ(timer.getTimeMs(), 3602500u);
    EXPECT_NEAR(timer.getTime(), 3602.5f, 0.001f);
    m_clock.advanceNs(999999);  // below a millisecond: truncated
    EXPECT_EQ(timer.getTimeMs(), 3602500u);
    m_clock.advanceNs(1);
    EXPECT_EQ(timer.getTimeMs(), 3602501u);
}

TEST(AStringParse, PointRectAndVec2)
{
    std::int32_t px = 1, py = 2;
    EXPECT_EQ(str_parsePoint("10 -20", px, py), 2);
    EXPECT_EQ(px, 10);
    EXPECT_EQ(py, -20);
    EXPECT_EQ(str_parsePoint("  7", px, py), 1);
    EXPECT_EQ(px, 7);
    EXPECT_EQ(py, -20);
    EXPECT_EQ(str_parsePoint("-2147483648 2147483647", px, py), 2);
    EXPECT_EQ(px, INT32_MIN);
    EXPECT_EQ(py, INT32_MAX);

    aRect r(1, 2, 3, 4);
    EXPECT_EQ(str_parseRect("5 6", r), 2);
    EXPECT_EQ(r, aRect(5, 6, 3, 4));
    EXPECT_EQ(str_parseRect("-7 8 -1 9", r), 4);
    EXPECT_EQ(r, aRect(-7, 8, 65535, 9));
    EXPECT_EQ(str_parseRect("\t11\n12 13 14 15", r), 4);
    EXPECT_EQ(r, aRect(11, 12, 13, 14));
    EXPECT_EQ(str_parseRect("20 21 22 x", r), 3);
    EXPECT_EQ(r, aRect(20, 21, 22, 14));

    float fx = 9.0f, fy = 8.0f;
    EXPECT_EQ(str_parseVec2("1.5 -2.25", fx, fy), 2);
    EXPECT_EQ(fx, 1.5f);
    EXPECT_EQ(fy, -2.25f);
    EXPECT_EQ(str_parseVec2("3", fx, fy), 1);
    EXPECT_EQ(fx, 3.0f);
    EXPECT_EQ(fy, -2.25f);

    // Nothing readable: nothing changes.
    for (const char* garbage : {"", "   ", "abc 1 2", ",5", "- 3"}) {
        SCOPED_TRACE(garbage);
        px = 1, py = 2;
        EXPECT_EQ(str_parsePoint(garbage, px, py), 0);
        EXPECT_EQ(px, 1);
        EXPECT_EQ(py, 2);
        r = aRect(1, 2, 3, 4);
        EXPECT_EQ(str_parseRect(garbage, r), 0);
        EXPECT_EQ(r, aRect(1, 2, 3, 4));
        fx = 9.0f, fy = 8.0f;
        EXPECT_EQ(str_parseVec2(garbage, fx, fy), 0);
        EXPECT_EQ(fx, 9.0f);
        EXPECT_EQ(fy, 8.0f);
    }
}
