// Launch to first presented frame: the game under the offscreen video
// driver against a bare SDL2 + OpenGL window program, launched alternately,
// after one unmeasured launch of each. The game's moment is its log line
// "aGraphServer. First frame presented", the bare window's its "presented"
// on stdout; both are waited for without polling (inotify, a pipe).
// Prints the figures and exits 0 whatever they are; 1 only when a launch
// fails. Options: --runs N (10), --game PATH, --bare PATH.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/inotify.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "bench_report.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kTimeoutMs = 60000;
const char* const kFirstFrameLine = "aGraphServer. First frame presented";
// A guard against regressions: before its first frame the game reads its
// ini files and player list, parses the loading screen's script and decodes
// its pictures (a 1024 x 768 JPEG, the logo, the bar, a font page) into
// textures, some 40-50 ms on two cores that a bare window does not spend.
constexpr double kLimit = 2.5;

std::string g_home;

std::vector<std::string> childEnvironment()
{
    const std::vector<std::pair<std::string, std::string>> set = {
        {"SDL_VIDEODRIVER", "offscreen"},   {"HOME", g_home},
        {"XDG_DATA_HOME", g_home + "/share"}, {"XDG_CACHE_HOME", g_home + "/cache"},
        {"XDG_RUNTIME_DIR", g_home + "/run"}, {"TMPDIR", g_home + "/tmp"}};
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        const bool replaced = std::any_of(set.begin(), set.end(),
                                          [&](const auto& kv) { return entry.rfind(kv.first + "=", 0) == 0; });
        if (!replaced)
            env.push_back(entry);
    }
    for (const auto& [name, value] : set)
        env.push_back(name + "=" + value);
    if (!std::getenv("SDL_AUDIODRIVER"))
        env.push_back("SDL_AUDIODRIVER=dummy");
    return env;
}

// Starts the program with stdout into outFd (-1: /dev/null) and stderr into
// the home folder; the child's pid, or -1.
pid_t launch(const std::string& program, int outFd)
{
    std::vector<std::string> env = childEnvironment();
    std::vector<char*> envp;
    for (std::string& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    std::string path = program;
    char* argv[] = {path.data(), nullptr};

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (outFd >= 0)
        posix_spawn_file_actions_adddup2(&actions, outFd, 1);
    else
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    const std::string errPath = g_home + "/stderr.txt";
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    pid_t pid = -1;
    if (posix_spawn(&pid, path.c_str(), &actions, nullptr, argv, envp.data()) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

bool exitedCleanly(pid_t pid)
{
    int status = 0;
    return ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

double msSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

std::optional<double> launchBare(const std::string& program)
{
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return std::nullopt;
    const Clock::time_point start = Clock::now();
    const pid_t pid = launch(program, fds[1]);
    ::close(fds[1]);
    std::string out;
    std::optional<double> ms;
    while (pid > 0 && !ms) {
        pollfd p{fds[0], POLLIN, 0};
        if (::poll(&p, 1, kTimeoutMs) <= 0)
            break;
        char buffer[256];
        const ssize_t n = ::read(fds[0], buffer, sizeof buffer);
        if (n <= 0)
            break;
        out.append(buffer, static_cast<std::size_t>(n));
        if (out.find("presented\n") != std::string::npos)
            ms = msSince(start);
    }
    ::close(fds[0]);
    if (pid > 0 && !exitedCleanly(pid))
        return std::nullopt;
    return ms;
}

bool logHasFirstFrame(const std::string& path)
{
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str().find(kFirstFrameLine) != std::string::npos;
}

std::optional<double> launchGame(const std::string& program)
{
    const std::string folder = g_home + "/share/Tallowmere/VRK";
    const std::string log = folder + "/a2d.log";
    std::filesystem::remove(log);
    const int watch = ::inotify_init1(IN_CLOEXEC);
    if (watch < 0 || ::inotify_add_watch(watch, folder.c_str(), IN_MODIFY | IN_CREATE) < 0)
        return std::nullopt;

    const Clock::time_point start = Clock::now();
    const pid_t pid = launch(program, -1);
    std::optional<double> ms;
    while (pid > 0 && !ms) {
        pollfd p{watch, POLLIN, 0};
        if (::poll(&p, 1, kTimeoutMs) <= 0)
            break;
        char events[4096];
        if (::read(watch, events, sizeof events) <= 0)
            break;
        if (logHasFirstFrame(log))
            ms = msSince(start);
    }
    ::close(watch);
    if (pid <= 0)
        return std::nullopt;
    ::kill(pid, SIGTERM);
    if (!exitedCleanly(pid))
        return std::nullopt;
    return ms;
}

struct Figures {
    double min = 0, median = 0, max = 0;
};

Figures figuresOf(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return {v.front(), n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2, v.back()};
}

} // namespace

int main(int argc, char** argv)
{
    int runs = 10;
    std::string game = A2D_STARTUP_GAME;
    std::string bare = A2D_STARTUP_BARE;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        if (option == "--runs")
            runs = std::max(1, std::atoi(argv[i + 1]));
        else if (option == "--game")
            game = argv[i + 1];
        else if (option == "--bare")
            bare = argv[i + 1];
    }

    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/bench_startup-XXXXXX";
    if (!::mkdtemp(pattern.data())) {
        std::perror("bench_startup: mkdtemp");
        return 1;
    }
    g_home = pattern;
    for (const char* sub : {"/share/Tallowmere/VRK", "/cache", "/run", "/tmp"})
        std::filesystem::create_directories(g_home + sub);

    std::vector<double> gameMs, bareMs;
    bool failed = false;
    // The first launch of each fills the caches and is not counted.
    for (int i = 0; i <= runs && !failed; ++i) {
        const std::optional<double> b = launchBare(bare);
        const std::optional<double> g = launchGame(game);
        if (!b || !g) {
            std::fprintf(stderr, "bench_startup: the %s launch %d failed; its stderr:\n",
                         !b ? "bare window" : "game", i);
            std::ifstream err(g_home + "/stderr.txt");
            std::fprintf(stderr, "%s", std::string(std::istreambuf_iterator<char>(err), {}).c_str());
            failed = true;
        } else if (i > 0) {
            bareMs.push_back(*b);
            gameMs.push_back(*g);
        }
    }
    std::error_code ignored;
    std::filesystem::remove_all(g_home, ignored);
    if (failed)
        return 1;

    const Figures gf = figuresOf(gameMs), bf = figuresOf(bareMs);
    std::printf("launch to first presented frame, offscreen, %d launches each (min / median / max)\n", runs);
    std::printf("  game:        %7.1f / %7.1f / %7.1f ms\n", gf.min, gf.median, gf.max);
    std::printf("  bare window: %7.1f / %7.1f / %7.1f ms\n", bf.min, bf.median, bf.max);
    std::printf("  game / bare window (medians): %.2fx (target: at most %.2fx)\n", gf.median / bf.median, kLimit);
    benchFigure("launch to first frame: game / bare window", gf.median / bf.median, kLimit);
    return 0;
}
