#pragma once
// What the benchmarks that measure the game paced at 60 Hz share: each
// measurement runs in a child process of its own (this program again with
// --child SCENE, in a fresh user folder), which reaches its scene on a
// stepped clock, as the replay does (fast, every run the same), then runs
// paced at 60 Hz of the wall clock: a warm-up, then the measured frames. A
// child prints "result FRAMES CPU_MS_PER_FRAME A B C" (three counts of its
// own) for the parent.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "engine/gfx/a_graph_server.h"
#include "engine/util/a_application.h"
#include "engine/util/a_input_server.h"
#include "game/shell/game_entry.h"
#include "platform/gfx/bmp.h"
#include "platform/system/clock.h"
#include "platform/system/events.h"
#include "platform/system/window.h"
#include "tools/recording/input_recording.h"
#include "bench_report.h"

extern char** environ;

namespace bench_game {

using WallClock = std::chrono::steady_clock;

constexpr std::chrono::nanoseconds kFrame{16666667};
constexpr int kWidth = 1024;
constexpr int kHeight = 768;

// A new player's way from the splash screens into the study, the first
// room (frames of 10 ms in the script; one a game frame on the stepped
// clock; screen coordinates, as on the road): Play, the comics' two pages,
// the case's intro, the study's door, the enter message's close button.
const char* const kStudyWay =
    "wait 7\nclick 280 270\nwait 6\nclick 906 734\nwait 2\nclick 906 734\nwait 3\nclick 601 398\nwait 2\n"
    "click 414 180\nwait 3\nclick 944 676\nwait 1\n";
struct Counts {
    int warmUp = 60;
    int measured = 600;
};

inline double processCpuMs() { return benchSeconds(CLOCK_PROCESS_CPUTIME_ID) * 1000.0; }

// Sleeps to the next 60 Hz tick of the wall clock; a frame that ran late
// starts the ticks again from now instead of catching up.
class Pacer {
public:
    void start() { m_next = WallClock::now(); }
    void wait()
    {
        m_next = std::max(m_next + kFrame, WallClock::now());
        std::this_thread::sleep_until(m_next);
    }

private:
    WallClock::time_point m_next;
};

// A bare window of the game's size, paced the same: `frame` draws and
// presents frame i (false: it went wrong). Prints the child's result.
inline int bareChild(const Counts& counts, const std::function<bool(platform::Window&, int)>& frame)
{
    platform::WindowDesc desc;
    desc.title = "bare";
    desc.width = desc.backBufferWidth = kWidth;
    desc.height = desc.backBufferHeight = kHeight;
    std::string error;
    std::unique_ptr<platform::Window> window = platform::Window::create(desc, &error);
    if (!window) {
        std::fprintf(stderr, "bare: %s\n", error.c_str());
        return 1;
    }
    Pacer pacer;
    pacer.start();
    bool ok = true;
    double cpu0 = 0.0;
    for (int i = 0; i < counts.warmUp + counts.measured; ++i) {
        if (i == counts.warmUp)
            cpu0 = processCpuMs();
        ok = frame(*window, i) && ok;
        pacer.wait();
    }
    const double cpu = processCpuMs() - cpu0;
    if (!ok)
        return 1;
    std::printf("result %d %.6f 0 0 0\n", counts.measured, cpu / counts.measured);
    return 0;
}

// The game's clock: one 60 Hz frame per sleep of the main thread, paced
// once told to; `step` runs after each.
class FrameClock : public platform::Clock {
public:
    static constexpr std::int64_t kStartNs = 1000000000000;

    FrameClock() : m_main(std::this_thread::get_id()) {}
    std::int64_t counter() override { return kStartNs + std::int64_t(m_steps.load()) * kFrame.count(); }
    std::int64_t frequency() override { return 1000000000; }
    std::uint32_t tickCount() override { return std::uint32_t(counter() / 1000000); }
    void sleep(std::uint32_t ms) override
    {
        if (std::this_thread::get_id() != m_main) {
            std::this_thread::sleep_for(std::chrono::milliseconds(ms));
            return;
        }
        ++m_steps;
        if (m_paced)
            m_pacer.wait();
        if (step)
            step();
    }
    void startPacing()
    {
        m_pacer.start();
        m_paced = true;
    }
    std::function<void()> step;

private:
    std::thread::id m_main;
    std::atomic<std::uint64_t> m_steps{0};
    Pacer m_pacer;
    bool m_paced = false;
};

inline platform::GfxDeviceStats deviceStats()
{
    aGraphServer* gs = g_application ? g_application->m_graphServer : nullptr;
    return gs && gs->m_device ? gs->m_device->stats() : platform::GfxDeviceStats{};
}

// The game on a recording of `way` (reaching the scene) then `rest`: goes,
// warms up, measures `counts.measured` frames, keeps the last presented
// frame and closes. False (said on stderr) when it did not get that far.
struct GameRun {
    Counts counts;
    enum class Phase { Going, WarmUp, Measuring, Done } phase = Phase::Going;
    int frames = 0;
    double cpu = 0.0;  // process CPU ms over the measured frames
    platform::GfxDeviceStats stats0, stats;
    std::vector<std::uint8_t> lastFrame;

    bool run(const std::string& way, const std::string& rest, const char* name, char* program)
    {
        recording::Frames wayFrames, all;
        std::string error;
        if (!recording::compile(way, name, wayFrames, error) || !recording::compile(way + rest, name, all, error)) {
            std::fprintf(stderr, "script: %s\n", error.c_str());
            return false;
        }
        const std::vector<std::uint8_t> bytes = recording::encode(all);
        recording::Frames decoded;
        std::vector<std::size_t> ends;
        if (!recording::decode(bytes.data(), bytes.size(), decoded, error, &ends) || ends.size() < wayFrames.size()) {
            std::fprintf(stderr, "recording: %s\n", error.c_str());
            return false;
        }
        const std::size_t restStart = wayFrames.empty() ? 0 : ends[wayFrames.size() - 1];

        static FrameClock clock;
        double cpu0 = 0.0;
        clock.step = [&]() {
            const aInputServer* input = g_application ? g_application->m_inputServer : nullptr;
            switch (phase) {
            case Phase::Going:
                if (input && bytes.size() - input->playbackBytesLeft() >= restStart) {
                    phase = Phase::WarmUp;
                    frames = 0;
                    clock.startPacing();
                }
                break;
            case Phase::WarmUp:
                if (++frames >= counts.warmUp) {
                    phase = Phase::Measuring;
                    frames = 0;
                    stats0 = deviceStats();
                    cpu0 = processCpuMs();
                }
                break;
            case Phase::Measuring:
                if (++frames < counts.measured)
                    break;
                cpu = processCpuMs() - cpu0;
                stats = deviceStats();
                phase = Phase::Done;
                if (aGraphServer* gs = g_application->m_graphServer) {
                    int w = 0, h = 0;
                    if (!gs->m_window || !gs->m_window->readPresented(lastFrame, w, h) || w != kWidth ||
                        h != kHeight)
                        lastFrame.clear();
                }
                if (g_application->m_window)
                    platform::sendMessage(g_application->m_window, WM_CLOSE, 0, 0);
                break;
            case Phase::Done:
                break;
            }
        };
        platform::setClock(&clock);
        GameHooks hooks;
        hooks.afterInit = [&]() {
            aInputServer* input = g_application ? g_application->m_inputServer : nullptr;
            if (!input)
                return 1;
            input->startPlayback(bytes, nullptr);
            return 0;
        };
        char* argv[] = {program, nullptr};
        const int exitCode = RunGame(1, argv, hooks);
        platform::setClock(nullptr);
        clock.step = nullptr;
        if (exitCode != 0 || phase != Phase::Done || lastFrame.empty()) {
            std::fprintf(stderr, "%s: the game ended with %d before its frames were measured\n", name, exitCode);
            return false;
        }
        return true;
    }

    std::uint64_t delta(std::uint64_t platform::GfxDeviceStats::*field) const { return stats.*field - stats0.*field; }
};

// A point of the last frame and its colour, within 8 a channel.
struct Probe {
    int x, y;
    std::uint32_t rgb;
};

// The study's wallpaper and rug, away from where a cursor moves in it.
inline const std::vector<Probe> kStudyProbes = {{560, 120, 0x36161B}, {900, 700, 0x5A1819}};

// Two 0xRRGGBB colours within 8 a channel.
inline bool nearColour(std::uint32_t a, std::uint32_t b)
{
    for (int shift : {16, 8, 0}) {
        if (std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF)) > 8)
            return false;
    }
    return true;
}

// How many probes the frame (B, G, R, A rows of kWidth) misses, each said.
inline int missedProbes(const char* scene, const std::vector<std::uint8_t>& frame, const std::vector<Probe>& probes)
{
    int missed = 0;
    for (const Probe& p : probes) {
        const std::uint8_t* px = &frame[(std::size_t(p.y) * kWidth + std::size_t(p.x)) * 4];
        const std::uint32_t got = std::uint32_t(px[2]) << 16 | std::uint32_t(px[1]) << 8 | px[0];
        if (!nearColour(got, p.rgb)) {
            std::fprintf(stderr, "%s: pixel (%d, %d) is %06X, not %06X\n", scene, p.x, p.y, unsigned(got),
                         unsigned(p.rgb));
            ++missed;
        }
    }
    return missed;
}

struct ChildResult {
    bool ok = false;
    int frames = 0;
    double cpuMs = 0.0;
    unsigned long long counts[3] = {};
};

// Empties `home` and makes the user folders a child is given in it.
inline void freshHome(const std::string& home)
{
    std::error_code ignored;
    std::filesystem::remove_all(home, ignored);
    for (const char* sub : {"/share", "/cache", "/run", "/tmp"})
        std::filesystem::create_directories(home + sub);
}

// The environment of a child whose user folders are in `home`: the
// caller's less its A2D_ switches, with no window (the offscreen video) and
// the audio dummy unless the caller chose one; `setEnv` ("NAME=value")
// replaces any of it.
inline std::vector<std::string> childEnvironment(const std::string& home, const std::vector<std::string>& setEnv)
{
    std::vector<std::string> set = {"SDL_VIDEODRIVER=offscreen",   "HOME=" + home,
                                    "XDG_DATA_HOME=" + home + "/share", "XDG_CACHE_HOME=" + home + "/cache",
                                    "XDG_RUNTIME_DIR=" + home + "/run", "TMPDIR=" + home + "/tmp"};
    if (!std::getenv("SDL_AUDIODRIVER"))
        set.push_back("SDL_AUDIODRIVER=dummy");
    const auto sameName = [](const std::string& a, const std::string& b) {
        return a.compare(0, a.find('=') + 1, b, 0, b.find('=') + 1) == 0;
    };
    for (const std::string& s : setEnv) {
        const auto same = std::find_if(set.begin(), set.end(), [&](const std::string& e) { return sameName(e, s); });
        if (same != set.end())
            *same = s;
        else
            set.push_back(s);
    }
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        const bool replaced = entry.rfind("A2D_", 0) == 0 || std::any_of(set.begin(), set.end(), [&](const std::string& s) {
            return sameName(s, entry);
        });
        if (!replaced)
            env.push_back(entry);
    }
    env.insert(env.end(), set.begin(), set.end());
    return env;
}

// Runs this program as the child for `scene` in a fresh user folder `home`,
// in childEnvironment(home, setEnv).
inline ChildResult runChild(const char* bench, const std::string& home, const std::string& scene, const Counts& counts,
                            const std::vector<std::string>& setEnv)
{
    freshHome(home);
    std::vector<std::string> env = childEnvironment(home, setEnv);
    std::vector<char*> envp;
    for (std::string& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    std::string args[] = {"--child", scene, "--warm-up", std::to_string(counts.warmUp), "--frames",
                          std::to_string(counts.measured)};
    std::vector<char*> argv{self.data()};
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    ChildResult result;
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return result;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    pid_t pid = -1;
    const bool spawned = posix_spawn(&pid, self.c_str(), &actions, nullptr, argv.data(), envp.data()) == 0;
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    std::string out;
    char buffer[512];
    for (ssize_t n; spawned && (n = ::read(fds[0], buffer, sizeof buffer)) > 0;)
        out.append(buffer, std::size_t(n));
    ::close(fds[0]);
    int status = 0;
    const bool exited = spawned && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    const std::size_t at = out.find("result ");
    result.ok = exited && at != std::string::npos &&
                std::sscanf(out.c_str() + at, "result %d %lf %llu %llu %llu", &result.frames, &result.cpuMs,
                            &result.counts[0], &result.counts[1], &result.counts[2]) == 5 &&
                result.frames > 0;
    if (!result.ok)
        std::fprintf(stderr, "%s: the %s run failed:\n%s", bench, scene.c_str(), out.c_str());
    return result;
}

// The options both parent and child read.
struct Options {
    Counts counts;
    int runs = 0;
    bool smoke = false;
    std::string child;
    std::vector<std::string> other;  // options of the benchmark's own
};

inline Options parseOptions(int argc, char** argv, int runs)
{
    Options o;
    o.runs = runs;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool more = i + 1 < argc;
        if (a == "--child" && more)
            o.child = argv[++i];
        else if (a == "--warm-up" && more)
            o.counts.warmUp = std::max(1, std::atoi(argv[++i]));
        else if (a == "--frames" && more)
            o.counts.measured = std::max(1, std::atoi(argv[++i]));
        else if (a == "--runs" && more)
            o.runs = std::max(1, std::atoi(argv[++i]));
        else if (a == "--smoke")
            o.smoke = true;
        else
            o.other.push_back(a);
    }
    return o;
}

// A fresh folder under $TMPDIR (or /tmp) for the children's user folders;
// empty when none could be made.
inline std::string makeHome(const char* bench)
{
    const char* tmp = std::getenv("TMPDIR");
    std::string home = std::string(tmp && *tmp ? tmp : "/tmp") + "/" + bench + "-XXXXXX";
    if (!::mkdtemp(home.data())) {
        std::perror(bench);
        return {};
    }
    return home;
}

} // namespace bench_game
