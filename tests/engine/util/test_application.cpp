// Start and stop of the application object: instance lock, folders, log,
// system block, fatal-error texts, the crash report.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/sound/a_sound.h"
#include "engine/util/a_application.h"
#include "platform/sound/sound_layer.h"
#include "platform/system/system_info.h"
#include "engine/util/a_log.h"
#include "support/test_env.h"

namespace {

class RecordingApp : public aApplication {
public:
    int messageBox(const std::string& text, bool isError) override
    {
        boxes.push_back(text);
        lastIsError = isError;
        return aApplication::messageBox(text, isError);
    }
    std::vector<std::string> boxes;
    bool lastIsError = false;
};

std::string userFolder() { return test_env::dataHome() + "Tallowmere/VRK/"; }
std::string logPath() { return userFolder() + "a2d.log"; }

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

} // namespace

TEST(Application, StartWritesFoldersBannerAndSystemBlock)
{
    RecordingApp app;
    EXPECT_EQ(g_application, &app);
    ASSERT_EQ(app.init("VRK", nullptr, "", "Tallowmere"), 0);

    EXPECT_EQ(app.m_userFolder, "userappdata:Tallowmere/VRK/");
    EXPECT_EQ(app.m_savedGamesFolder, "userprof:Saved Games/Tallowmere/VRK/");
    EXPECT_EQ(app.m_allUsersFolder, "allappdata:Tallowmere/VRK/");
    EXPECT_EQ(app.m_screenshotFolder, "userappdata:Tallowmere/VRK/ScreenShots/");
    EXPECT_TRUE(std::filesystem::is_directory(userFolder()));
    EXPECT_TRUE(std::filesystem::is_directory(test_env::dataHome() + "Saved Games/Tallowmere/VRK"));
    EXPECT_FALSE(std::filesystem::exists(userFolder() + "ScreenShots"));
    ASSERT_NE(g_logFile, nullptr);

    app.shutdown();
    EXPECT_EQ(g_logFile, nullptr);

    const std::string log = test_env::readFile(logPath());
    EXPECT_EQ(log.rfind("\n\n\n\n\n", 0), 0u);
    const std::vector<std::string> lines = test_env::readLines(logPath());
    std::vector<std::string> texts;
    for (const std::string& l : lines) {
        if (l.size() >= 13 && l[12] == '\t')
            texts.push_back(l.substr(13));
    }
    ASSERT_GE(texts.size(), 20u);
    EXPECT_EQ(texts[0], "a2d Engine v1.7 started");
    EXPECT_EQ(texts[1], std::string(65, '-'));
    EXPECT_EQ(texts[2], "Application: VRK");
    EXPECT_EQ(texts[3].rfind("Launched on: ", 0), 0u);
    EXPECT_EQ(texts[3].size(), std::string("Launched on: 07.12.2026, 05:08:31").size());
    EXPECT_EQ(texts[4], "");
    EXPECT_EQ(texts[5], "----------------- System configuration --------------------------");
    EXPECT_EQ(texts[6].rfind("    Operating System: ", 0), 0u);
    EXPECT_EQ(texts[7].rfind("       Computer Name: ", 0), 0u);
    EXPECT_EQ(texts[8].rfind("           User Name: ", 0), 0u);
    EXPECT_EQ(texts[10].rfind("         Memory Load: ", 0), 0u);
    EXPECT_EQ(texts[11].rfind("Free Physical Memory: ", 0), 0u);
    EXPECT_EQ(texts[12].rfind(" Free Virtual Memory: ", 0), 0u);
    EXPECT_EQ(texts[13].rfind("       Pagefile Used: ", 0), 0u);
    EXPECT_EQ(texts[15], "    Application Path: " + app.m_appPath);
    EXPECT_EQ(texts[texts.size() - 3], std::string(65, '-'));
    EXPECT_EQ(texts[texts.size() - 2], "a2d Engine stopped");
    EXPECT_EQ(texts.back(), "");
    EXPECT_TRUE(contains(log, "Drive /: ") || contains(log, "Drive "));

    // Silent once shut down.
    a_log("after shutdown");
    EXPECT_FALSE(contains(test_env::readFile(logPath()), "after shutdown"));
}

TEST(Application, CompanyNameIsOptional)
{
    aApplication app;
    ASSERT_EQ(app.init("Solo", nullptr, "", ""), 0);
    EXPECT_EQ(app.m_userFolder, "userappdata:Solo/");
    app.shutdown();
    EXPECT_TRUE(test_env::exists(test_env::dataHome() + "Solo/a2d.log"));
}

TEST(Application, SecondInstanceGetsOneAndTouchesNothing)
{
    auto first = std::make_unique<aApplication>();
    ASSERT_EQ(first->init("VRK", nullptr, "", "Tallowmere"), 0);
    const std::string before = test_env::readFile(logPath());

    {
        testing::internal::CaptureStderr();
        aApplication second;
        EXPECT_EQ(second.init("VRK", nullptr, "", "Tallowmere"), 1);
        const std::string err = testing::internal::GetCapturedStderr();
        EXPECT_TRUE(contains(err, "VRK is already running")) << err;
        EXPECT_EQ(test_env::readFile(logPath()), before);
        // Its loop finds no graphics server.
        EXPECT_EQ(second.run(), 1);
        EXPECT_FALSE(second.m_instanceLock.held());
    }
    // The first still holds its lock: a third start fails too.
    {
        testing::internal::CaptureStderr();
        aApplication third;
        EXPECT_EQ(third.init("VRK", nullptr, "", "Tallowmere"), 1);
        testing::internal::GetCapturedStderr();
    }
    first->shutdown();
    EXPECT_FALSE(first->m_instanceLock.held());
}

TEST(Application, SystemBlockListsTheFileSystemOfTheProgramFolderWhateverTheMounts)
{
    // A container's mount table: its root is an overlay, nothing is a /dev/ mount.
    const std::string table = test_env::home() + "/mounts";
    test_env::writeFile(table, "overlay / overlay rw,relatime 0 0\nproc /proc proc rw 0 0\n");
    platform::setMountTable(table);
    aApplication app;
    ASSERT_EQ(app.init("VRK", nullptr, "", "Tallowmere"), 0);
    app.shutdown();
    platform::setMountTable("");

    std::vector<std::string> drives;
    for (const std::string& l : test_env::readLines(logPath()))
        if (contains(l, "\t             Drive "))
            drives.push_back(l.substr(l.find("Drive ") + 6));
    ASSERT_FALSE(drives.empty());
    // Named by the table's mount point when that is the same file system,
    // else by the folder itself.
    const std::string& first = drives.front();
    const std::string point = first.substr(0, first.find(": "));
    EXPECT_TRUE(point == "/" || app.m_appPath.rfind(point, 0) == 0) << first;
    unsigned long long freeMb = 0, totalMb = 0;
    ASSERT_EQ(std::sscanf(first.c_str() + first.find(">, "), ">, %*[^,], %llu of %llu MB free", &freeMb, &totalMb),
              2)
        << first;
    EXPECT_GT(totalMb, 0u);
    EXPECT_LE(freeMb, totalMb);
}

TEST(Application, UnusableUserFolderTakesTheLockElsewhereAndSaysWhy)
{
    const std::string home = test_env::home();
    std::filesystem::create_directories(home + "/run");
    setenv("XDG_RUNTIME_DIR", (home + "/run").c_str(), 1);
    // A file where the data folder should be: nothing can be made under it,
    // whoever runs the test.
    test_env::writeFile(home + "/notafolder", "");
    setenv("XDG_DATA_HOME", (home + "/notafolder").c_str(), 1);
    const std::string lockName = "Tallowmere-VRK-" + std::to_string(::geteuid()) + ".lock";

    for (const std::string& lockFolder : {home + "/run/", home + "/tmp/"}) {
        testing::internal::CaptureStderr();
        auto first = std::make_unique<RecordingApp>();
        ASSERT_EQ(first->init("VRK", nullptr, "", "Tallowmere"), 0);
        const std::string err = testing::internal::GetCapturedStderr();
        EXPECT_TRUE(contains(err, "The user folder " + home + "/notafolder/Tallowmere/VRK/ cannot be used (" +
                                      std::strerror(ENOTDIR) + ")"))
            << err;
        EXPECT_FALSE(contains(err, "already running"));
        EXPECT_FALSE(contains(err, "Please reinstall"));  // the cause is told already
        EXPECT_TRUE(first->boxes.empty());  // no display: the terminal only
        EXPECT_TRUE(first->m_instanceLock.held());
        EXPECT_TRUE(test_env::exists(lockFolder + lockName)) << lockFolder;

        // A second copy still finds the first one running.
        testing::internal::CaptureStderr();
        aApplication second;
        EXPECT_EQ(second.init("VRK", nullptr, "", "Tallowmere"), 1);
        EXPECT_TRUE(contains(testing::internal::GetCapturedStderr(), "VRK is already running"));
        first->shutdown();
        first.reset();
        // Without a runtime folder the temporary folder takes the lock.
        unsetenv("XDG_RUNTIME_DIR");
    }
}

TEST(Application, ReadOnlyUserFolderIsNotAnotherCopyRunning)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "root may write into any folder (the test above covers root)";
    std::filesystem::create_directories(userFolder());
    ::chmod(userFolder().c_str(), 0555);
    testing::internal::CaptureStderr();
    aApplication app;
    const int result = app.init("VRK", nullptr, "", "Tallowmere");
    const std::string err = testing::internal::GetCapturedStderr();
    ::chmod(userFolder().c_str(), 0755);
    EXPECT_EQ(result, 0);
    EXPECT_FALSE(contains(err, "already running")) << err;
    EXPECT_TRUE(contains(err, userFolder() + " cannot be used (" + std::strerror(EACCES) + ")")) << err;
    EXPECT_TRUE(app.m_instanceLock.held());
    app.shutdown();
}

TEST(Application, LogOfExactly50000BytesIsKeptAndLargerIsEmptied)
{
    for (const std::size_t size : {std::size_t(50000), std::size_t(50001)}) {
        test_env::writeFile(logPath(), std::string(size, '#'));
        {
            aApplication app;
            ASSERT_EQ(app.init("VRK", nullptr, "", "Tallowmere"), 0);
            app.shutdown();
        }
        const std::string log = test_env::readFile(logPath());
        if (size == 50000) {
            EXPECT_EQ(log.substr(0, 50000), std::string(50000, '#'));
            EXPECT_EQ(log.substr(50000, 5), "\n\n\n\n\n");
        } else {
            EXPECT_EQ(log.rfind("\n\n\n\n\n", 0), 0u);
            EXPECT_EQ(log.find('#'), std::string::npos);
        }
    }
}

TEST(Application, UnopenableLogShowsReinstallAndRunsOnSilently)
{
    std::filesystem::create_directories(logPath());  // a folder where the log should be
    RecordingApp app;
    testing::internal::CaptureStderr();
    EXPECT_EQ(app.init("VRK", nullptr, "", "Tallowmere"), 0);
    testing::internal::GetCapturedStderr();
    ASSERT_EQ(app.boxes.size(), 1u);
    EXPECT_EQ(app.boxes[0], "Game error. Please reinstall.");
    EXPECT_TRUE(app.lastIsError);
    EXPECT_EQ(g_logFile, nullptr);
    a_log("nothing");
    app.shutdown();
}

TEST(Application, ShowErrorTexts)
{
    RecordingApp app;
    testing::internal::CaptureStderr();
    const std::int32_t codes[] = {A2D_E_D3DINIT,      A2D_E_D3DDEVICE,      A2D_E_LOGFILE,   A2D_E_LOADMEDIA,
                                  A2D_E_FILENOTFOUND, A2D_E_DRIVERINTERNAL, A2D_E_NODISPLAY, A2D_E_NOOPENGL,
                                  1234};
    for (std::int32_t c : codes)
        app.showError(c);
    testing::internal::GetCapturedStderr();
    ASSERT_EQ(app.boxes.size(), 9u);
    EXPECT_EQ(app.boxes[0].rfind("The game could not start its graphics.\n", 0), 0u);
    EXPECT_EQ(app.boxes[1], app.boxes[0]);
    EXPECT_EQ(app.boxes[2], "Game error. Please reinstall.");
    EXPECT_EQ(app.boxes[3], "Could not load required media.");
    EXPECT_EQ(app.boxes[4], "Could not load required media.");
    EXPECT_EQ(app.boxes[5], "A serious problem occurred with the display driver.\nPlease install latest drivers.");
    // Which of the two failed, and what to do about it.
    EXPECT_EQ(app.boxes[6].rfind("The game found no display to open its window on.\n", 0), 0u);
    EXPECT_NE(app.boxes[6].find("scripts/play"), std::string::npos);
    EXPECT_EQ(app.boxes[7].rfind("The game could not get OpenGL 3.3 graphics for its window.\n", 0), 0u);
    EXPECT_EQ(app.boxes[8], "Unknown error. Please reinstall or contact user support.");
    // Words meant for another system's libraries are nowhere, and the
    // graphics boxes speak of drivers, not of the developers' scripts.
    for (const std::string& box : app.boxes)
        for (const char* word : {"Direct3D", "DirectX", "Windows"})
            EXPECT_EQ(box.find(word), std::string::npos) << box;
    for (const std::string& box : {app.boxes[0], app.boxes[7]}) {
        EXPECT_NE(box.find("graphics drivers"), std::string::npos) << box;
        EXPECT_EQ(box.find("scripts/"), std::string::npos) << box;
    }
    EXPECT_TRUE(app.lastIsError);
}

TEST(Application, MessageBoxHeadlessReturnsAtOnceAndLogs)
{
    aApplication app;
    ASSERT_EQ(app.init("VRK", nullptr, "", "Tallowmere"), 0);
    testing::internal::CaptureStderr();
    EXPECT_EQ(app.messageBox("Careful now", false), IDOK);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_TRUE(contains(err, "Careful now"));
    app.shutdown();
    EXPECT_TRUE(contains(test_env::readFile(logPath()), "Warning! Careful now"));
}

namespace {

std::string todaysDump(const char* suffix)
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char name[64];
    std::snprintf(name, sizeof name, "crash_%.4d.%.2d.%.2d%s.dmp", local.tm_year + 1900, local.tm_mon + 1,
                  local.tm_mday, suffix);
    return name;
}

void crashOnce()
{
    aApplication app;
    if (app.init("VRK", nullptr, "", "Tallowmere") == 0)
        std::raise(SIGSEGV);
}

} // namespace

TEST(ApplicationDeathTest, CrashWritesReportAndLogLinesAndNumbersTheSecond)
{
    test_env::InheritHome inherit;
    EXPECT_EXIT(crashOnce(), testing::KilledBySignal(SIGSEGV), "");
    EXPECT_EXIT(crashOnce(), testing::KilledBySignal(SIGSEGV), "");

    const std::string first = userFolder() + todaysDump("");
    const std::string second = userFolder() + todaysDump("_1");
    ASSERT_TRUE(test_env::exists(first));
    ASSERT_TRUE(test_env::exists(second));
    EXPECT_TRUE(contains(test_env::readFile(first), "SIGSEGV"));

    const std::string log = test_env::readFile(logPath());
    const std::string bang = "== !!! == !!! == !!! == !!! == !!! == !!! == !!! == !!! == !!! ==";
    EXPECT_TRUE(contains(log, bang));
    EXPECT_TRUE(contains(log, "Critical error! File \"" + todaysDump("") + "\" has been saved to\n"));
    EXPECT_TRUE(contains(log, "Critical error! File \"" + todaysDump("_1") + "\" has been saved to\n"));
    EXPECT_TRUE(contains(log, "Error! Critical error!"));
}

TEST(Application, PauseReachesTheSoundEngine)
{
    platform::snd::test_hooks::reset();
    platform::snd::test_hooks::setDefaultOutput(platform::snd::kOutputManual);
    {
        aApplication app;
        aSound sound;  // the first sound starts the engine
        ASSERT_NE(aSound::globalEngine().GetSystem(), nullptr);
        app.setPause(true);
        EXPECT_TRUE(aSound::globalEngine().GetGlobalPause());
        app.setPause(false);
        EXPECT_FALSE(aSound::globalEngine().GetGlobalPause());
        app.shutdown();
        EXPECT_EQ(aSound::globalEngine().GetSystem(), nullptr);
    }
    platform::snd::test_hooks::reset();
}
