// The main menu with the pointer moving over it (across the buttons, the
// player's plaque and the background, a pixel or two a frame), paced at
// 60 Hz, against a bare window that clears and presents every frame, paced
// the same: process CPU per frame, every thread counted.
//
// Each figure comes from a process of its own (this program again with
// --child bare|menu, in a fresh user folder); the two run side by side in
// rounds, bare then menu, and the figure is the median of the rounds'
// ratios (--runs N, 5). The game reaches its menu on a stepped clock (fast,
// every run the same), then runs paced at 60 Hz of the wall clock: a
// warm-up, then the measured frames. scripts/bench runs it pinned to two
// processors.
//
// Exits 1 when the menu costs more than the bare window, or when a run
// fails. --smoke: one short round that checks the menu's last frame (probe
// pixels) and that its frames were presented in part, never the time.
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
#include <tuple>
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

namespace {

using WallClock = std::chrono::steady_clock;

constexpr std::chrono::nanoseconds kFrame{16666667};
constexpr int kWidth = 1024;
constexpr int kHeight = 768;
constexpr double kLimit = 1.0;

struct Counts {
    int warmUp = 60;
    int measured = 600;
};

double processCpuMs()
{
    timespec ts;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) * 1000.0 + double(ts.tv_nsec) / 1.0e6;
}

// Sleeps to the next 60 Hz tick; a late frame starts the ticks from now.
class Pacer {
public:
    void start() { m_next = WallClock::now(); }
    void wait()
    {
        m_next += kFrame;
        m_next = std::max(m_next, WallClock::now());
        std::this_thread::sleep_until(m_next);
    }

private:
    WallClock::time_point m_next;
};

// The bare window: the platform's window and GL context, a clear and a
// present a frame, nothing else.
int bareChild(const Counts& counts)
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
    double cpu0 = 0.0;
    for (int i = 0; i < counts.warmUp + counts.measured; ++i) {
        if (i == counts.warmUp)
            cpu0 = processCpuMs();
        window->clear(i % 2 ? 0xFF336699 : 0xFF996633);
        window->present();
        pacer.wait();
    }
    std::printf("result %d %.6f 0 0 0\n", counts.measured, (processCpuMs() - cpu0) / counts.measured);
    return 0;
}

// The game's clock: one 60 Hz frame per pacing sleep of the main thread.
class FrameClock : public platform::Clock {
public:
    FrameClock() : m_main(std::this_thread::get_id()) {}
    std::int64_t counter() override { return 1000000000000 + std::int64_t(m_steps.load()) * kFrame.count(); }
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

// Into the menu, then the pointer's round over it, twice (frames of 10 ms
// in the script, one game frame each here): down the buttons, over the
// plaque, across the background.
const char* const kWay = "wait 7\nmove 280 240\n";
const char* const kRound = "move 280 680 3\nmove 800 110 3\nmove 700 120 0.5\nmove 150 420 2.5\n"
                           "move 900 600 2\nmove 280 240 2\n";

platform::GfxDeviceStats deviceStats()
{
    aGraphServer* gs = g_application ? g_application->m_graphServer : nullptr;
    return gs && gs->m_device ? gs->m_device->stats() : platform::GfxDeviceStats{};
}

int menuChild(const Counts& counts, char* program)
{
    recording::Frames way, all;
    std::string error;
    if (!recording::compile(kWay, "way", way, error) ||
        !recording::compile(std::string(kWay) + kRound + kRound, "menu", all, error)) {
        std::fprintf(stderr, "script: %s\n", error.c_str());
        return 1;
    }
    const std::vector<std::uint8_t> bytes = recording::encode(all);
    recording::Frames decoded;
    std::vector<std::size_t> ends;
    if (!recording::decode(bytes.data(), bytes.size(), decoded, error, &ends) || ends.size() < way.size()) {
        std::fprintf(stderr, "recording: %s\n", error.c_str());
        return 1;
    }
    const std::size_t roundStart = ends[way.size() - 1];

    enum class Phase { Going, WarmUp, Measuring, Done } phase = Phase::Going;
    int frames = 0;
    double cpu0 = 0.0, cpu = 0.0;
    platform::GfxDeviceStats stats0, stats;
    std::vector<std::uint8_t> last;
    static FrameClock clock;
    clock.step = [&]() {
        const aInputServer* input = g_application ? g_application->m_inputServer : nullptr;
        switch (phase) {
        case Phase::Going:
            if (input && bytes.size() - input->playbackBytesLeft() >= roundStart) {
                phase = Phase::WarmUp;
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
                if (!gs->m_window || !gs->m_window->readPresented(last, w, h) || w != kWidth || h != kHeight)
                    last.clear();
            }
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
    if (exitCode != 0 || phase != Phase::Done || last.empty()) {
        std::fprintf(stderr, "menu: the game ended with %d before its frames were measured\n", exitCode);
        return 1;
    }
    if (const char* save = std::getenv("BENCH_MENU_POINTER_SAVE"))
        platform::writeBmp24(std::string(save) + "/menu.bmp", kWidth, kHeight, last.data());

    // The menu's background and the "Options" plate, away from the pointer.
    const auto pixel = [&](int x, int y) {
        const std::uint8_t* p = &last[(std::size_t(y) * kWidth + std::size_t(x)) * 4];
        return std::uint32_t(p[2]) << 16 | std::uint32_t(p[1]) << 8 | p[0];
    };
    const auto near = [](std::uint32_t a, std::uint32_t b) {
        for (int shift = 0; shift < 24; shift += 8)
            if (std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF)) > 8)
                return false;
        return true;
    };
    int missed = 0;
    for (const auto& [x, y, rgb] : {std::tuple{50, 100, 0x090F0Fu}, {400, 414, 0x432A15u}})
        if (!near(pixel(x, y), rgb)) {
            std::fprintf(stderr, "menu: pixel (%d, %d) is %06X, not %06X\n", x, y, pixel(x, y), rgb);
            ++missed;
        }
    std::printf("result %d %.6f %llu %llu %llu\n", frames, cpu / frames,
                static_cast<unsigned long long>(stats.framesPartial - stats0.framesPartial),
                static_cast<unsigned long long>(stats.framesWhole - stats0.framesWhole),
                static_cast<unsigned long long>(stats.drawCalls - stats0.drawCalls));
    return missed == 0 ? 0 : 1;
}

// ---------------------------------------------------------------------------
// The parent.

struct Result {
    bool ok = false;
    int frames = 0;
    double cpuMs = 0.0;
    unsigned long long partial = 0, whole = 0, drawCalls = 0;
    std::string out;
};

Result runChild(const std::string& home, const std::string& scene, const Counts& counts)
{
    std::error_code ignored;
    std::filesystem::remove_all(home, ignored);
    for (const char* sub : {"/share", "/run", "/tmp"})
        std::filesystem::create_directories(home + sub);
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        bool replaced = entry.rfind("A2D_", 0) == 0;
        for (const char* name : {"SDL_VIDEODRIVER=", "HOME=", "XDG_DATA_HOME=", "XDG_RUNTIME_DIR=", "TMPDIR="})
            replaced = replaced || entry.rfind(name, 0) == 0;
        if (!replaced)
            env.push_back(entry);
    }
    for (const std::string& e : {std::string("SDL_VIDEODRIVER=offscreen"), "HOME=" + home, "XDG_DATA_HOME=" + home + "/share",
                                 "XDG_RUNTIME_DIR=" + home + "/run", "TMPDIR=" + home + "/tmp"})
        env.push_back(e);
    if (!std::getenv("SDL_AUDIODRIVER"))
        env.push_back("SDL_AUDIODRIVER=dummy");
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

    Result result;
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
    char buffer[512];
    for (ssize_t n; spawned && (n = ::read(fds[0], buffer, sizeof buffer)) > 0;)
        result.out.append(buffer, std::size_t(n));
    ::close(fds[0]);
    int status = 0;
    const bool exited = spawned && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    const std::size_t at = result.out.find("result ");
    result.ok = exited && at != std::string::npos &&
                std::sscanf(result.out.c_str() + at, "result %d %lf %llu %llu %llu", &result.frames, &result.cpuMs,
                            &result.partial, &result.whole, &result.drawCalls) == 5 &&
                result.frames > 0;
    if (!result.ok)
        std::fprintf(stderr, "bench_menu_pointer: the %s run failed:\n%s", scene.c_str(), result.out.c_str());
    return result;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n == 0 ? 0.0 : n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

} // namespace

int main(int argc, char** argv)
{
    Counts counts;
    int runs = 5;
    bool smoke = false;
    std::string child;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool more = i + 1 < argc;
        if (a == "--child" && more)
            child = argv[++i];
        else if (a == "--warm-up" && more)
            counts.warmUp = std::max(1, std::atoi(argv[++i]));
        else if (a == "--frames" && more)
            counts.measured = std::max(1, std::atoi(argv[++i]));
        else if (a == "--runs" && more)
            runs = std::max(1, std::atoi(argv[++i]));
        else if (a == "--smoke")
            smoke = true;
    }
    if (child == "bare")
        return bareChild(counts);
    if (child == "menu")
        return menuChild(counts, argv[0]);
    if (smoke) {
        runs = 1;
        counts = Counts{10, 60};
    }

    const char* tmp = std::getenv("TMPDIR");
    std::string home = std::string(tmp && *tmp ? tmp : "/tmp") + "/bench_menu_pointer-XXXXXX";
    if (!::mkdtemp(home.data())) {
        std::perror("bench_menu_pointer: mkdtemp");
        return 1;
    }
    std::vector<double> bare, menu, ratios;
    Result last;
    bool failed = false;
    for (int run = 0; run < runs && !failed; ++run) {
        const Result b = runChild(home, "bare", counts);
        last = runChild(home, "menu", counts);
        failed = !b.ok || !last.ok;
        bare.push_back(b.cpuMs);
        menu.push_back(last.cpuMs);
        ratios.push_back(last.cpuMs / b.cpuMs);
    }
    std::error_code ignored;
    std::filesystem::remove_all(home, ignored);
    if (failed)
        return 1;

    std::printf("paced at 60 Hz, process CPU per frame, %d round%s of %d frames:\n", runs, runs == 1 ? "" : "s",
                counts.measured);
    std::printf("  bare window, clear and present: %7.3f ms (median)\n", median(bare));
    std::printf("  main menu, pointer moving:      %7.3f ms (median)\n", median(menu));
    std::printf("  last menu run: %llu frames presented in part, %llu whole, %.1f GL draw calls a frame\n",
                last.partial, last.whole, double(last.drawCalls) / double(last.frames));
    if (smoke) {
        // The pointer moved each frame, so each was presented, in part.
        if (last.partial * 10 < std::uint64_t(last.frames) * 9) {
            std::fprintf(stderr, "bench_menu_pointer: the menu's frames were not presented in part\n");
            return 1;
        }
        return 0;
    }
    const double ratio = median(ratios);
    std::printf("  menu / bare, median of the rounds: %.2fx (limit %.1fx)\n", ratio, kLimit);
    return benchFigure("main menu, pointer moving / bare window", ratio, kLimit) ? 0 : 1;
}
