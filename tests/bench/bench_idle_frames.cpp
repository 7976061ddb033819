// Idle frames: what the game costs while little or nothing on screen moves.
// The demo's main menu left alone, and the study with the cursor gliding
// slowly over it, each paced at 60 Hz, against a bare clear, one-pixel read
// and swap of a window paced the same: process CPU per frame, every thread
// counted (the rasteriser's, the mixer's, the music's).
//
// Each figure comes from a process of its own (this program again with
// --child bare|menu|study, in a fresh user folder); a run measures the three
// in turn and --runs N (3) runs give medians. The game reaches its scene on
// a stepped clock, as the replay does (fast, every run the same), then runs
// paced at 60 Hz of the wall clock: a warm-up, then the measured frames.
//
// Exits 1 when the menu costs more than 2x the bare frame or the study more
// than 5x, or when a run fails. --smoke: one short run that checks what is
// on screen at the end (probe pixels of each scene) and how its frames were
// drawn (the menu's left as they were, the study's drawn in part), never the
// time. --whole-frames: the game draws every frame whole (A2D_WHOLE_FRAMES),
// for comparison.
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
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
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
constexpr double kMenuLimit = 2.0;
constexpr double kStudyLimit = 5.0;

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

// Sleeps to the next 60 Hz tick of the wall clock; a frame that ran late
// starts the ticks again from now instead of catching up.
class Pacer {
public:
    void start() { m_next = WallClock::now(); }
    void wait()
    {
        m_next += kFrame;
        const auto now = WallClock::now();
        if (m_next < now)
            m_next = now;
        std::this_thread::sleep_until(m_next);
    }

private:
    WallClock::time_point m_next;
};

// ---------------------------------------------------------------------------
// The bare frame: a window with its GL context, a clear, a one-pixel read
// and a swap, through the platform's window alone.

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
    std::vector<std::uint8_t> pixel;
    bool read = true;
    double cpu0 = 0.0;
    for (int i = 0; i < counts.warmUp + counts.measured; ++i) {
        if (i == counts.warmUp)
            cpu0 = processCpuMs();
        window->clear(0xFF336699);
        read = window->readBackBuffer(RECT{0, 0, 1, 1}, pixel) && read;
        window->present();
        pacer.wait();
    }
    const double cpu = processCpuMs() - cpu0;
    if (!read || pixel.size() != 4 || pixel[2] != 0x33 || pixel[1] != 0x66 || pixel[0] != 0x99) {
        std::fprintf(stderr, "bare: the pixel read is not the clear colour\n");
        return 1;
    }
    std::printf("result %d %.6f 0 0 0\n", counts.measured, cpu / counts.measured);
    return 0;
}

// ---------------------------------------------------------------------------
// The game: its own entry with a recording played in, on a clock that
// steps one 60 Hz frame per pacing sleep of the main thread.

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
        if (paced)
            m_pacer.wait();
        if (onStep)
            onStep();
    }
    void startPacing()
    {
        m_pacer.start();
        paced = true;
    }

    bool paced = false;
    void (*onStep)() = nullptr;

private:
    std::thread::id m_main;
    std::atomic<std::uint64_t> m_steps{0};
    Pacer m_pacer;
};

// How each scene is reached, and its idle part (frames of 10 ms in the
// script; one a game frame here). Screen coordinates, as on the road.
const char* const kMenuWay = "wait 7\n";
const char* const kMenuIdle = "move 1010 750\nwait 30\n";
const char* const kStudyWay =
    // Play, the comics' two pages, the case's intro, the study's door, the
    // enter message's close button.
    "wait 7\nclick 280 270\nwait 6\nclick 906 734\nwait 2\nclick 906 734\nwait 3\nclick 601 398\nwait 2\n"
    "click 414 180\nwait 3\nclick 944 676\nwait 1\n";
// Back and forth over the room, about a pixel a frame.
const char* const kStudyIdle =
    "move 300 200\nmove 800 450 5\nmove 300 600 5\nmove 800 200 5\nmove 300 200 5\n"
    "move 800 450 5\nmove 300 600 5\nmove 800 200 5\nmove 300 200 5\n";

// A point of the scene's picture at the end and its colour, within 8 a channel.
struct Probe {
    int x, y;
    std::uint32_t rgb;
};

struct GameRun {
    FrameClock clock;
    Counts counts;
    std::size_t idleStartByte = 0;
    std::size_t recordingBytes = 0;
    enum class Phase { Going, WarmUp, Measuring, Done } phase = Phase::Going;
    int frames = 0;
    double cpu0 = 0.0, cpu = 0.0;
    platform::GfxDeviceStats stats0, stats;
    std::vector<std::uint8_t> lastFrame;
};

GameRun* g_run = nullptr;

platform::GfxDeviceStats deviceStats()
{
    aGraphServer* gs = g_application ? g_application->m_graphServer : nullptr;
    return gs && gs->m_device ? gs->m_device->stats() : platform::GfxDeviceStats{};
}

void onStep()
{
    GameRun& r = *g_run;
    const aInputServer* input = g_application ? g_application->m_inputServer : nullptr;
    switch (r.phase) {
    case GameRun::Phase::Going:
        if (input && r.recordingBytes - input->playbackBytesLeft() >= r.idleStartByte) {
            r.phase = GameRun::Phase::WarmUp;
            r.frames = 0;
            r.clock.startPacing();
        }
        break;
    case GameRun::Phase::WarmUp:
        if (++r.frames >= r.counts.warmUp) {
            r.phase = GameRun::Phase::Measuring;
            r.frames = 0;
            r.stats0 = deviceStats();
            r.cpu0 = processCpuMs();
        }
        break;
    case GameRun::Phase::Measuring:
        if (++r.frames >= r.counts.measured) {
            r.cpu = processCpuMs() - r.cpu0;
            r.stats = deviceStats();
            r.phase = GameRun::Phase::Done;
            aGraphServer* gs = g_application->m_graphServer;
            int w = 0, h = 0;
            if (!gs || !gs->m_window || !gs->m_window->readPresented(r.lastFrame, w, h) || w != kWidth ||
                h != kHeight)
                r.lastFrame.clear();
            if (g_application->m_window)
                platform::sendMessage(g_application->m_window, WM_CLOSE, 0, 0);
        }
        break;
    case GameRun::Phase::Done:
        break;
    }
}

bool compileScript(const std::string& text, recording::Frames& frames)
{
    std::string error;
    if (!recording::compile(text, "bench_idle_frames", frames, error)) {
        std::fprintf(stderr, "script: %s\n", error.c_str());
        return false;
    }
    return true;
}

int gameChild(const std::string& scene, const Counts& counts, char* program)
{
    const bool study = scene == "study";
    recording::Frames way, all;
    if (!compileScript(study ? kStudyWay : kMenuWay, way) ||
        !compileScript(std::string(study ? kStudyWay : kMenuWay) + (study ? kStudyIdle : kMenuIdle), all))
        return 1;
    const std::vector<std::uint8_t> bytes = recording::encode(all);
    recording::Frames decoded;
    std::vector<std::size_t> frameEnds;
    std::string error;
    if (!recording::decode(bytes.data(), bytes.size(), decoded, error, &frameEnds) || frameEnds.size() < way.size()) {
        std::fprintf(stderr, "recording: %s\n", error.c_str());
        return 1;
    }

    static GameRun run;
    g_run = &run;
    run.counts = counts;
    run.recordingBytes = bytes.size();
    run.idleStartByte = way.empty() ? 0 : frameEnds[way.size() - 1];
    run.clock.onStep = onStep;
    platform::setClock(&run.clock);

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
    if (exitCode != 0 || run.phase != GameRun::Phase::Done) {
        std::fprintf(stderr, "%s: the game ended with %d before its frames were measured\n", scene.c_str(),
                     exitCode);
        return 1;
    }

    if (const char* save = std::getenv("BENCH_IDLE_FRAMES_SAVE"); save && !run.lastFrame.empty())
        platform::writeBmp24(std::string(save) + "/" + scene + ".bmp", kWidth, kHeight, run.lastFrame.data());
    // The menu's "Play" plate and the wallpaper under its shade; the
    // study's wallpaper and rug, away from the cursor's path.
    const std::vector<Probe> probes = study ? std::vector<Probe>{{560, 120, 0x36161B}, {900, 700, 0x5A1819}}
                                            : std::vector<Probe>{{300, 268, 0x472D18}, {50, 100, 0x090F0F}};
    int missed = 0;
    for (const Probe& p : probes) {
        if (run.lastFrame.empty()) {
            ++missed;
            break;
        }
        const std::uint8_t* px = &run.lastFrame[(std::size_t(p.y) * kWidth + std::size_t(p.x)) * 4];
        const int got[3] = {px[2], px[1], px[0]};
        const int want[3] = {int(p.rgb >> 16), int((p.rgb >> 8) & 0xFF), int(p.rgb & 0xFF)};
        bool near = true;
        for (int c = 0; c < 3; ++c)
            near = near && std::abs(got[c] - want[c]) <= 8;
        if (!near) {
            std::fprintf(stderr, "%s: pixel (%d, %d) is %02X%02X%02X, not %06X\n", scene.c_str(), p.x, p.y, got[0],
                         got[1], got[2], unsigned(p.rgb));
            ++missed;
        }
    }
    const auto delta = [&](std::uint64_t platform::GfxDeviceStats::*field) {
        return static_cast<unsigned long long>(run.stats.*field - run.stats0.*field);
    };
    std::printf("result %d %.6f %llu %llu %llu\n", run.frames, run.cpu / run.frames,
                delta(&platform::GfxDeviceStats::framesWhole), delta(&platform::GfxDeviceStats::framesPartial),
                delta(&platform::GfxDeviceStats::framesSkipped));
    return missed == 0 ? 0 : 1;
}

// ---------------------------------------------------------------------------
// The parent: each measurement in a child process of its own.

struct Result {
    bool ok = false;
    int frames = 0;
    double cpuMs = 0.0;
    unsigned long long whole = 0, part = 0, none = 0;
};

std::string g_home;

std::vector<std::string> childEnvironment(bool wholeFrames)
{
    const std::vector<std::pair<std::string, std::string>> set = {
        {"SDL_VIDEODRIVER", "offscreen"},     {"HOME", g_home},
        {"XDG_DATA_HOME", g_home + "/share"}, {"XDG_CACHE_HOME", g_home + "/cache"},
        {"XDG_RUNTIME_DIR", g_home + "/run"}, {"TMPDIR", g_home + "/tmp"}};
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        const bool replaced =
            entry.rfind("A2D_WHOLE_FRAMES=", 0) == 0 ||
            std::any_of(set.begin(), set.end(), [&](const auto& kv) { return entry.rfind(kv.first + "=", 0) == 0; });
        if (!replaced)
            env.push_back(entry);
    }
    for (const auto& [name, value] : set)
        env.push_back(name + "=" + value);
    if (!std::getenv("SDL_AUDIODRIVER"))
        env.push_back("SDL_AUDIODRIVER=dummy");
    if (wholeFrames)
        env.push_back("A2D_WHOLE_FRAMES=1");
    return env;
}

Result runChild(const std::string& scene, const Counts& counts, bool wholeFrames)
{
    // Each child starts from a fresh user folder.
    std::error_code ignored;
    std::filesystem::remove_all(g_home, ignored);
    for (const char* sub : {"/share", "/cache", "/run", "/tmp"})
        std::filesystem::create_directories(g_home + sub);

    std::vector<std::string> env = childEnvironment(wholeFrames);
    std::vector<char*> envp;
    for (std::string& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    std::string childFlag = "--child", sceneArg = scene, warmFlag = "--warm-up",
                warm = std::to_string(counts.warmUp), framesFlag = "--frames",
                frames = std::to_string(counts.measured);
    char* argv[] = {self.data(),       childFlag.data(), sceneArg.data(), warmFlag.data(), warm.data(),
                    framesFlag.data(), frames.data(),    nullptr};

    Result result;
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return result;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    pid_t pid = -1;
    const bool spawned = posix_spawn(&pid, self.c_str(), &actions, nullptr, argv, envp.data()) == 0;
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    std::string out;
    char buffer[512];
    for (ssize_t n; spawned && (n = ::read(fds[0], buffer, sizeof buffer)) > 0;)
        out.append(buffer, std::size_t(n));
    ::close(fds[0]);
    int status = 0;
    if (!spawned || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "bench_idle_frames: the %s run failed\n", scene.c_str());
        return result;
    }
    const std::size_t at = out.find("result ");
    result.ok = at != std::string::npos &&
                std::sscanf(out.c_str() + at, "result %d %lf %llu %llu %llu", &result.frames, &result.cpuMs,
                            &result.whole, &result.part, &result.none) == 5 &&
                result.frames > 0;
    if (!result.ok)
        std::fprintf(stderr, "bench_idle_frames: the %s run printed no result:\n%s", scene.c_str(), out.c_str());
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
    int runs = 3;
    bool smoke = false, wholeFrames = false;
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
        else if (a == "--whole-frames")
            wholeFrames = true;
    }
    if (child == "bare")
        return bareChild(counts);
    if (child == "menu" || child == "study")
        return gameChild(child, counts, argv[0]);

    if (smoke) {
        runs = 1;
        counts = Counts{10, 30};
    }
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/bench_idle_frames-XXXXXX";
    if (!::mkdtemp(pattern.data())) {
        std::perror("bench_idle_frames: mkdtemp");
        return 1;
    }
    g_home = pattern;

    const char* scenes[] = {"bare", "menu", "study"};
    std::vector<double> cpu[3];
    Result last[3];
    bool failed = false;
    for (int run = 0; run < runs && !failed; ++run) {
        for (int s = 0; s < 3 && !failed; ++s) {
            last[s] = runChild(scenes[s], counts, wholeFrames);
            failed = !last[s].ok;
            cpu[s].push_back(last[s].cpuMs);
        }
    }
    std::error_code ignored;
    std::filesystem::remove_all(g_home, ignored);
    if (failed)
        return 1;

    const double bare = median(cpu[0]), menu = median(cpu[1]), study = median(cpu[2]);
    const double menuRatio = menu / bare, studyRatio = study / bare;
    std::printf("idle frames paced at 60 Hz, process CPU per frame, median of %d run%s of %d frames%s:\n", runs,
                runs == 1 ? "" : "s", counts.measured, wholeFrames ? ", every frame drawn whole" : "");
    std::printf("  bare clear, pixel read, swap: %7.3f ms\n", bare);
    std::printf("  main menu, idle:              %7.3f ms  %6.2fx (limit %.0fx)\n", menu, menuRatio, kMenuLimit);
    std::printf("  study, cursor moving:         %7.3f ms  %6.2fx (limit %.0fx)\n", study, studyRatio, kStudyLimit);
    for (int s = 1; s < 3; ++s) {
        const double total = double(last[s].whole + last[s].part + last[s].none);
        std::printf("  %-5s frames (last run): %.0f%% drawn whole, %.0f%% in part, %.0f%% not at all\n", scenes[s],
                    100.0 * double(last[s].whole) / total, 100.0 * double(last[s].part) / total,
                    100.0 * double(last[s].none) / total);
    }
    if (smoke) {
        // What the skipping does, not what it costs: the idle menu is left
        // as it was, the study's pendulum and cursor are drawn in part.
        const bool menuSkips = wholeFrames ? last[1].none == 0 : last[1].none * 2 > std::uint64_t(last[1].frames);
        const bool studyInPart = wholeFrames ? last[2].part == 0 : last[2].part * 2 > std::uint64_t(last[2].frames);
        if (!menuSkips || !studyInPart) {
            std::fprintf(stderr, "bench_idle_frames: the frames were not drawn as expected\n");
            return 1;
        }
        return 0;
    }
    const bool menuMet = benchFigure("idle main menu / bare frame", menuRatio, kMenuLimit);
    const bool within = benchFigure("study, cursor moving / bare frame", studyRatio, kStudyLimit) && menuMet;
    std::printf("  %s\n", within ? "within the limits" : "OVER A LIMIT");
    return within ? 0 : 1;
}
