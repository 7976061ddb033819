// The built game as a user starts it: without a display, closed by a
// hangup, crashing on a signal from another process, and started while its
// player list cannot be opened.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "game/shell/profiles_manager.h"
#include "support/test_env.h"

extern char** environ;

namespace {

using EnvChanges = std::vector<std::pair<std::string, std::optional<std::string>>>;

// The game started with this test's folders, stdout and stderr into one file.
class GameProcess {
public:
    explicit GameProcess(const EnvChanges& changes)
    {
        EnvChanges all = {{"SDL_VIDEODRIVER", "offscreen"},
                          {"SDL_AUDIODRIVER", "dummy"},
                          {"ASAN_OPTIONS", "detect_leaks=0"},
                          {"XDG_RUNTIME_DIR", test_env::home() + "/run"}};
        all.insert(all.end(), changes.begin(), changes.end());
        std::vector<std::string> env;
        for (char** e = environ; *e; ++e)
            env.push_back(*e);
        for (const auto& [name, value] : all) {
            const std::string prefix = name + "=";
            for (auto it = env.begin(); it != env.end();)
                it = it->rfind(prefix, 0) == 0 ? env.erase(it) : it + 1;
            if (value)
                env.push_back(prefix + *value);
        }
        std::vector<char*> envp;
        for (std::string& e : env)
            envp.push_back(e.data());
        envp.push_back(nullptr);

        std::filesystem::create_directories(test_env::home() + "/run");
        m_outPath = test_env::home() + "/game.out";
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, m_outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
        std::string binary = std::getenv("A2D_GAME_BINARY");
        char* argv[] = {binary.data(), nullptr};
        if (posix_spawn(&m_pid, binary.c_str(), &actions, nullptr, argv, envp.data()) != 0)
            m_pid = -1;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~GameProcess()
    {
        if (m_pid > 0 && !m_status) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
    }
    GameProcess(const GameProcess&) = delete;
    GameProcess& operator=(const GameProcess&) = delete;

    bool started() const { return m_pid > 0; }
    pid_t pid() const { return m_pid; }

    // The wait status, or nothing when the game still runs after the time.
    std::optional<int> waitExit(std::chrono::milliseconds limit)
    {
        const auto end = std::chrono::steady_clock::now() + limit;
        while (!m_status) {
            int status = 0;
            if (::waitpid(m_pid, &status, WNOHANG) == m_pid)
                m_status = status;
            else if (std::chrono::steady_clock::now() > end)
                break;
            else
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return m_status;
    }

    // True once the log holds the text (while the game runs).
    bool waitForLog(const std::string& text, std::chrono::milliseconds limit)
    {
        const auto end = std::chrono::steady_clock::now() + limit;
        while (std::chrono::steady_clock::now() < end) {
            if (log().find(text) != std::string::npos)
                return true;
            if (waitExit(std::chrono::milliseconds(0)))
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    }

    std::string output() const { return test_env::readFile(m_outPath); }
    static std::string userFolder() { return test_env::dataHome() + "Tallowmere/VRK/"; }
    static std::string log() { return test_env::readFile(userFolder() + "a2d.log"); }

private:
    pid_t m_pid = -1;
    std::optional<int> m_status;
    std::string m_outPath;
};

constexpr auto kPatience = std::chrono::seconds(30);
// Written once the loop runs.
const std::string kReady = "aGraphServer. First frame presented";

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

} // namespace

// The player's message says what failed in this system's words; the
// terminal and the log get the detail.
TEST(GameBinary, WithoutAnyDisplayItSaysWhyAndExitsWithOne)
{
    const std::string noDisplay = "The game found no display to open its window on.\nRun it from a desktop session";
    const std::string detail = "no display: set DISPLAY, or run scripts/play, which starts a virtual one";
    // None set, or one set that cannot be reached.
    for (const std::optional<std::string>& display : {std::optional<std::string>(), std::optional<std::string>(":4093")}) {
        GameProcess game(
            {{"SDL_VIDEODRIVER", std::nullopt}, {"DISPLAY", display}, {"WAYLAND_DISPLAY", std::nullopt}});
        ASSERT_TRUE(game.started());
        const std::optional<int> status = game.waitExit(kPatience);
        ASSERT_TRUE(status) << "the game kept running without a display";
        EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 1) << *status;
        EXPECT_TRUE(contains(game.output(), noDisplay)) << game.output();
        EXPECT_TRUE(contains(GameProcess::log(), noDisplay));
        if (!display) {
            EXPECT_TRUE(contains(game.output(), detail)) << game.output();
        }
        for (const char* word : {"Direct3D", "DirectX"})
            EXPECT_FALSE(contains(game.output(), word)) << game.output();
        EXPECT_TRUE(contains(GameProcess::log(), "a2d Engine stopped"));
    }
}

TEST(GameBinary, WithoutOpenGl33ItSaysSoAndExitsWithOne)
{
    // The driver offers no more than OpenGL 3.0.
    GameProcess game(EnvChanges{{"MESA_GL_VERSION_OVERRIDE", "3.0"}});
    ASSERT_TRUE(game.started());
    const std::optional<int> status = game.waitExit(kPatience);
    ASSERT_TRUE(status) << "the game kept running without OpenGL 3.3";
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 1) << *status;
    EXPECT_TRUE(contains(game.output(), "The game could not get OpenGL 3.3 graphics for its window.\n"))
        << game.output();
    EXPECT_TRUE(contains(game.output(), "OpenGL 3.3 context: ")) << game.output();
    EXPECT_FALSE(contains(game.output(), "DirectX")) << game.output();
}

TEST(GameBinary, HangupClosesLikeAWindowClose)
{
    GameProcess game(EnvChanges{});
    ASSERT_TRUE(game.started());
    ASSERT_TRUE(game.waitForLog(kReady, kPatience)) << game.output();
    ::kill(game.pid(), SIGHUP);
    const std::optional<int> status = game.waitExit(kPatience);
    ASSERT_TRUE(status);
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << *status;
    EXPECT_TRUE(contains(GameProcess::log(), "cMain. Close request from a stop signal: closing"));
    EXPECT_TRUE(contains(GameProcess::log(), "a2d Engine stopped"));
}

TEST(GameBinary, CrashReportNamesTheSenderAndOurFunctionsWithoutWaiting)
{
    // A display variable that leads nowhere changes nothing offscreen.
    GameProcess game(EnvChanges{{"DISPLAY", ":4093"}});
    ASSERT_TRUE(game.started());
    ASSERT_TRUE(game.waitForLog(kReady, kPatience)) << game.output();
    // To the main thread, whose frames are the loop's.
    ::syscall(SYS_tgkill, game.pid(), game.pid(), SIGSEGV);
    const std::optional<int> status = game.waitExit(kPatience);
    ASSERT_TRUE(status) << "the crash waited";
    EXPECT_TRUE(WIFSIGNALED(*status) && WTERMSIG(*status) == SIGSEGV) << *status;

    std::string report;
    for (const auto& entry : std::filesystem::directory_iterator(GameProcess::userFolder()))
        if (entry.path().filename().string().rfind("crash_", 0) == 0)
            report = test_env::readFile(entry.path().string());
    ASSERT_FALSE(report.empty());
    EXPECT_TRUE(contains(report, "Signal: 11 (SIGSEGV)\nSent by process " + std::to_string(::getpid()) + "\n"));
    EXPECT_FALSE(contains(report, "Address:"));
    const std::size_t namesAt = report.find("Functions:");
    ASSERT_NE(namesAt, std::string::npos) << report;
    const std::string names = report.substr(namesAt);
    EXPECT_TRUE(contains(names, " aApplication::run() + 0x")) << names;
    EXPECT_TRUE(contains(names, " main + 0x")) << names;
    EXPECT_TRUE(contains(game.output(), "Critical error!"));
}

TEST(GameBinary, AListThatCannotBeOpenedSurvivesTwoStartsAndComesBackWhole)
{
    const std::string saves = test_env::dataHome() + "Saved Games/Tallowmere/VRK/";
    std::filesystem::create_directories(saves);
    {
        ProfilesManager profiles(saves);
        profiles.Load();
        ASSERT_EQ(profiles.Add("Alice"), ProfilesManager::NameError::None);
        ASSERT_EQ(profiles.Add("Bob"), ProfilesManager::NameError::None);
    }
    const std::string list = test_env::readFile(saves + "_profiles.dat");
    // The first open of the list fails in each of two runs, each closed by a
    // hangup (which writes the list at shutdown).
    for (int run = 0; run < 2; ++run) {
        SCOPED_TRACE(run);
        std::filesystem::remove(GameProcess::userFolder() + "a2d.log");
        GameProcess game({{"LD_PRELOAD", std::string(A2D_FAIL_OPEN_SHIM)},
                          {"A2D_FAIL_OPEN_NAME", "_profiles.dat"},
                          {"ASAN_OPTIONS", "detect_leaks=0:verify_asan_link_order=0"}});
        ASSERT_TRUE(game.started());
        ASSERT_TRUE(game.waitForLog(kReady, kPatience)) << game.output();
        ::kill(game.pid(), SIGHUP);
        const std::optional<int> status = game.waitExit(kPatience);
        ASSERT_TRUE(status);
        EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << *status;
        const std::string log = GameProcess::log();
        EXPECT_TRUE(contains(log, "_profiles.dat' cannot be read (Permission denied); it is left as it is")) << log;
        EXPECT_TRUE(contains(log, "starting with 'Player'"));
        EXPECT_EQ(test_env::readFile(saves + "_profiles.dat"), list);
    }
    std::filesystem::remove(GameProcess::userFolder() + "a2d.log");
    GameProcess game(EnvChanges{});
    ASSERT_TRUE(game.started());
    ASSERT_TRUE(game.waitForLog(kReady, kPatience)) << game.output();
    ::kill(game.pid(), SIGHUP);
    ASSERT_TRUE(game.waitExit(kPatience));
    EXPECT_TRUE(contains(GameProcess::log(), "3 profiles from")) << GameProcess::log();

    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(saves))
        files.push_back(entry.path().filename().string());
    EXPECT_EQ(files, std::vector<std::string>{"_profiles.dat"});
    ProfilesManager profiles(saves);
    profiles.Load();
    EXPECT_EQ(profiles.GetNames(), (std::vector<std::string>{"Player", "Alice", "Bob"}));
}
