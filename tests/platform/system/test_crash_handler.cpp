#include <gtest/gtest.h>

#include <signal.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "platform/system/crash_handler.h"
#include "support/test_env.h"

using namespace platform;

namespace {

// Death-test children run the test again from the start; they must find the
// parent's folder, not make their own.
constexpr const char* kFolderVariable = "A2D_CRASH_TEST_FOLDER";

std::string g_markerPath;

std::string reportName(int suffix = 0)
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char name[64];
    if (suffix > 0)
        std::snprintf(name, sizeof name, "crash_%04d.%02d.%02d_%d.dmp", local.tm_year + 1900, local.tm_mon + 1,
                      local.tm_mday, suffix);
    else
        std::snprintf(name, sizeof name, "crash_%04d.%02d.%02d.dmp", local.tm_year + 1900, local.tm_mon + 1,
                      local.tm_mday);
    return name;
}

void writeMarker(const CrashReport& report)
{
    std::ofstream out(g_markerPath);
    out << report.signal << ' ' << report.fileName << ' ' << report.folder;
    // The report must be complete on disk before the hook runs.
    const std::string body = test_env::readFile(std::string(report.folder) + report.fileName);
    out << (body.find("Memory map:") != std::string::npos ? " complete" : " incomplete");
}

void throwBoom() { throw std::runtime_error("boom"); }

// An exception leaving a noexcept function goes straight to std::terminate,
// past the death test's own catch.
void callNoexcept(void (*f)()) noexcept { f(); }

volatile bool g_stopRecursion = false;

int recurseForever(int depth)
{
    if (g_stopRecursion)
        return depth;
    volatile char pad[1024];
    pad[0] = static_cast<char>(depth);
    return recurseForever(depth + 1) + pad[0];
}

class CrashHandlerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (const char* inherited = std::getenv(kFolderVariable)) {
            m_folder = inherited;
        } else {
            m_folder = test_env::home() + "/crashes/";
            std::filesystem::create_directories(m_folder);
            setenv(kFolderVariable, m_folder.c_str(), 1);
        }
        g_markerPath = m_folder + "hook.txt";
        m_day = reportName();
    }
    void TearDown() override
    {
        uninstallCrashHandler();
        unsetenv(kFolderVariable);
    }

    std::string report(int suffix = 0)
    {
        if (reportName() != m_day)
            return "";  // the date turned over during the test
        return test_env::readFile(m_folder + reportName(suffix));
    }

    std::string m_folder;
    std::string m_day;
};

} // namespace

TEST_F(CrashHandlerTest, SegvWritesReportAndDiesWithSignal)
{
    EXPECT_EXIT(
        {
            installCrashHandler(m_folder, nullptr);
            raise(SIGSEGV);
        },
        ::testing::KilledBySignal(SIGSEGV), "");

    const std::string text = report();
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(text.rfind("Critical error!\n", 0), 0u);
    // A raised signal carries its sender, not a fault address.
    EXPECT_NE(text.find("Signal: 11 (SIGSEGV)\nSent by process "), std::string::npos);
    EXPECT_NE(text.find(" (this process)\n"), std::string::npos);
    EXPECT_EQ(text.find("Address:"), std::string::npos);
    EXPECT_EQ(text.find("Reason:"), std::string::npos);
    const std::size_t trace = text.find("Backtrace:\n");
    const std::size_t maps = text.find("Memory map:\n");
    ASSERT_NE(trace, std::string::npos);
    ASSERT_NE(maps, std::string::npos);
    EXPECT_LT(trace, maps);
    EXPECT_NE(text.find("test_platform", trace), std::string::npos);
    EXPECT_NE(text.find("[stack]", maps), std::string::npos);
    // Best-effort names come last, after everything the handler writes safely.
    EXPECT_GT(text.find("Functions:\n#0 "), maps);
}

TEST_F(CrashHandlerTest, LaterCrashesOfTheDayNeverOverwrite)
{
    test_env::writeFile(m_folder + reportName(), "earlier report");

    EXPECT_EXIT(
        {
            installCrashHandler(m_folder, nullptr);
            raise(SIGSEGV);
        },
        ::testing::KilledBySignal(SIGSEGV), "");
    EXPECT_EXIT(
        {
            installCrashHandler(m_folder, nullptr);
            raise(SIGFPE);
        },
        ::testing::KilledBySignal(SIGFPE), "");

    EXPECT_EQ(report(), "earlier report");
    EXPECT_NE(report(1).find("(SIGSEGV)"), std::string::npos);
    EXPECT_NE(report(2).find("(SIGFPE)"), std::string::npos);
}

TEST_F(CrashHandlerTest, RealFaultReportsItsAddressFromTheAltStack)
{
    EXPECT_EXIT(
        {
            installCrashHandler(m_folder, nullptr);
            int* volatile target = reinterpret_cast<int*>(std::uintptr_t{16});
            *target = 1;
        },
        ::testing::KilledBySignal(SIGSEGV), "");
    EXPECT_NE(report().find("Address: 0x10\n"), std::string::npos);

    // Only an alternate stack lets the handler run after the stack is used up.
    EXPECT_EXIT(
        {
            installCrashHandler(m_folder, nullptr);
            std::exit(recurseForever(0));
        },
        ::testing::KilledBySignal(SIGSEGV), "");
    EXPECT_NE(report(1).find("Memory map:"), std::string::npos);
}

TEST_F(CrashHandlerTest, UncaughtExceptionAbortsWithItsText)
{
    EXPECT_EXIT(
        {
            installCrashHandler(m_folder, nullptr);
            callNoexcept(throwBoom);
        },
        ::testing::KilledBySignal(SIGABRT), "");

    const std::string text = report();
    EXPECT_NE(text.find("Signal: 6 (SIGABRT)\n"), std::string::npos) << text.substr(0, 200);
    EXPECT_NE(text.find("Reason: boom\n"), std::string::npos) << text.substr(0, 200);
}

TEST_F(CrashHandlerTest, HookRunsAfterTheReportIsWritten)
{
    EXPECT_EXIT(
        {
            installCrashHandler(m_folder, writeMarker);
            raise(SIGBUS);
        },
        ::testing::KilledBySignal(SIGBUS), "");

    EXPECT_EQ(test_env::readFile(g_markerPath),
              std::to_string(SIGBUS) + " " + reportName() + " " + m_folder + " complete");
}

// A library may call exit() in the middle of the game (Xlib does on a
// protocol error); a crash while the statics are then destroyed, even those
// made before the handler was installed, is still reported in the folder.
struct CrashesWhenDestroyed {
    ~CrashesWhenDestroyed() { raise(SIGSEGV); }
};

TEST_F(CrashHandlerTest, ACrashWhileStaticsAreDestroyedIsReportedInTheFolder)
{
    // A second, longer folder makes the handler take new buffers.
    std::filesystem::create_directories(m_folder + "longer");
    EXPECT_EXIT(
        {
            static CrashesWhenDestroyed early;
            installCrashHandler(m_folder, writeMarker);
            installCrashHandler(m_folder + "longer/../", writeMarker);
            std::exit(0);
        },
        ::testing::KilledBySignal(SIGSEGV), "");

    EXPECT_EQ(test_env::readFile(g_markerPath),
              std::to_string(SIGSEGV) + " " + reportName() + " " + m_folder + "longer/../ complete");
    EXPECT_FALSE(report().empty());
}

TEST_F(CrashHandlerTest, UnwritableFolderStillRunsHookAndDies)
{
    EXPECT_EXIT(
        {
            installCrashHandler(m_folder + "missing/", writeMarker);
            raise(SIGILL);
        },
        ::testing::KilledBySignal(SIGILL), "");

    // No file name: the hook is told nothing was written.
    const std::string marker = test_env::readFile(g_markerPath);
    EXPECT_EQ(marker.rfind(std::to_string(SIGILL) + "  " + m_folder + "missing/", 0), 0u) << marker;
}

// SIGILL: its previous action is the default one (the sanitizers leave it alone).
TEST_F(CrashHandlerTest, UninstallRestoresPreviousBehaviour)
{
    EXPECT_STREQ(lastTerminateReason(), "");
    EXPECT_EXIT(
        {
            installCrashHandler(m_folder, writeMarker);
            uninstallCrashHandler();
            raise(SIGILL);
        },
        ::testing::KilledBySignal(SIGILL), "");
    EXPECT_FALSE(test_env::exists(m_folder + reportName()));
    EXPECT_FALSE(test_env::exists(g_markerPath));
}
