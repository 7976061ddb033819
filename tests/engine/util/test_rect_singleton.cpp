#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "engine/util/a_critical_section.h"
#include "engine/util/a_log.h"
#include "engine/util/a_rect.h"
#include "engine/util/a_singleton.h"
#include "support/test_env.h"

// Global scope so that the demangled name in the log is the bare class name.
class UtilTestSingletonProbe : public aSingleton<UtilTestSingletonProbe> {
};

namespace {

// Opens a private log file for the test; messages() gives the text after
// each line's stamp.
class LogCapture {
public:
    LogCapture() : m_path(test_env::home() + "/capture.log")
    {
        a_closeLog();
        g_logFile = std::fopen(m_path.c_str(), "w");
    }
    ~LogCapture() { a_closeLog(); }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    std::vector<std::string> messages() const
    {
        std::vector<std::string> out;
        for (const std::string& line : test_env::readLines(m_path)) {
            const std::size_t tab = line.find('\t');
            out.push_back(tab == std::string::npos ? line : line.substr(tab + 1));
        }
        return out;
    }

private:
    std::string m_path;
};

::testing::AssertionResult sameRect(const aRect& actual, int x, int y, int w, int h)
{
    if (actual.x == x && actual.y == y && actual.width == w && actual.height == h)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "got (" << actual.x << ", " << actual.y << ", " << actual.width << ", "
                                         << actual.height << "), want (" << x << ", " << y << ", " << w << ", " << h
                                         << ")";
}

} // namespace

TEST(ARect, ContainsExcludesRightAndBottomEdges)
{
    const aRect r(10, 20, 30, 40);
    EXPECT_TRUE(r.contains(10, 20));
    EXPECT_TRUE(r.contains(39, 59));
    EXPECT_FALSE(r.contains(40, 20));
    EXPECT_FALSE(r.contains(10, 60));
    EXPECT_FALSE(r.contains(40, 60));
    EXPECT_FALSE(r.contains(9, 20));
    EXPECT_FALSE(r.contains(10, 19));

    const aRect empty(5, 5, 0, 0);
    EXPECT_FALSE(empty.contains(5, 5));

    const aRect negative(-10, -10, 5, 5);
    EXPECT_TRUE(negative.contains(-10, -6));
    EXPECT_FALSE(negative.contains(-5, -6));
}

TEST(ARect, IntersectionOfTouchingAndDisjointRectangles)
{
    const aRect a(0, 0, 10, 10);

    // Sharing the vertical edge x = 10, and the horizontal edge y = 10.
    EXPECT_TRUE(sameRect(a.getIntersection(aRect(10, 0, 5, 10)), 10, 0, 0, 10));
    EXPECT_TRUE(sameRect(aRect(10, 2, 5, 4).getIntersection(a), 10, 2, 0, 4));
    EXPECT_TRUE(sameRect(a.getIntersection(aRect(3, 10, 4, 7)), 3, 10, 4, 0));

    // Apart along one axis only is still disjoint, in either order.
    EXPECT_TRUE(sameRect(a.getIntersection(aRect(11, 0, 5, 10)), 0, 0, 0, 0));
    EXPECT_TRUE(sameRect(aRect(11, 0, 5, 10).getIntersection(a), 0, 0, 0, 0));
    EXPECT_TRUE(sameRect(a.getIntersection(aRect(0, 20, 10, 10)), 0, 0, 0, 0));
    EXPECT_TRUE(sameRect(aRect(50, 60, 1, 1).getIntersection(aRect(1, 2, 3, 4)), 0, 0, 0, 0));

    // Proper overlap and containment.
    EXPECT_TRUE(sameRect(a.getIntersection(aRect(5, 6, 10, 10)), 5, 6, 5, 4));
    EXPECT_TRUE(sameRect(a.getIntersection(aRect(2, 3, 4, 5)), 2, 3, 4, 5));
    EXPECT_EQ(a.getIntersection(a), a);
}

TEST(ARect, UnionAndIntersectionWithNegativeCoordinates)
{
    const aRect a(-10, -20, 5, 5);
    EXPECT_EQ(a.getUnion(a), a);
    EXPECT_TRUE(sameRect(a.getUnion(aRect(3, 4, 2, 2)), -10, -20, 15, 26));
    EXPECT_TRUE(sameRect(aRect(3, 4, 2, 2).getUnion(a), -10, -20, 15, 26));
    // A rectangle inside the other adds nothing.
    EXPECT_EQ(aRect(-100, -100, 300, 300).getUnion(aRect(-5, -5, 10, 10)), aRect(-100, -100, 300, 300));

    const aRect b(-10, -10, 20, 20);
    EXPECT_TRUE(sameRect(b.getIntersection(aRect(-5, -15, 10, 10)), -5, -10, 10, 5));
    EXPECT_TRUE(sameRect(b.getIntersection(aRect(-30, -30, 20, 20)), -10, -10, 0, 0));
    EXPECT_TRUE(sameRect(b.getIntersection(aRect(-30, -30, 19, 40)), 0, 0, 0, 0));
}

TEST(ASingleton, GetSingletonLogsWhileNoInstanceExists)
{
    LogCapture log;
    const std::string expected = "aSingleton<class UtilTestSingletonProbe>::getSingleton: ms_Singleton ";
    const std::string location = "(a_singleton.h, line ";

    EXPECT_EQ(UtilTestSingletonProbe::getSingleton(), nullptr);
    EXPECT_EQ(UtilTestSingletonProbe::getSingleton(), nullptr);
    std::vector<std::string> lines = log.messages();
    ASSERT_EQ(lines.size(), 2u);
    for (const std::string& line : lines) {
        EXPECT_EQ(line.substr(0, expected.size()), expected) << line;
        EXPECT_EQ(line.substr(expected.size(), location.size()), location) << line;
        EXPECT_EQ(line.back(), ')') << line;
    }

    {
        UtilTestSingletonProbe probe;
        EXPECT_EQ(UtilTestSingletonProbe::getSingleton(), &probe);
        EXPECT_EQ(UtilTestSingletonProbe::getSingletonPtr(), &probe);
        EXPECT_EQ(log.messages().size(), 2u);
    }

    EXPECT_EQ(UtilTestSingletonProbe::getSingleton(), nullptr);
    lines = log.messages();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[2], lines[0]);
}

TEST(ACriticalSection, ReentrantForOwnerExclusiveForOthers)
{
    aCriticalSection cs;
    auto otherThreadGetsIn = [&cs] {
        bool entered = false;
        std::thread t([&] {
            entered = cs.tryEnter();
            if (entered)
                cs.leave();
        });
        t.join();
        return entered;
    };

    EXPECT_TRUE(otherThreadGetsIn());
    cs.enter();
    EXPECT_TRUE(cs.tryEnter());  // would deadlock if not re-entrant
    {
        aCriticalSection::Guard guard(cs);
        EXPECT_FALSE(otherThreadGetsIn());
    }
    cs.leave();
    EXPECT_FALSE(otherThreadGetsIn());  // still held once
    cs.leave();
    EXPECT_TRUE(otherThreadGetsIn());
}
