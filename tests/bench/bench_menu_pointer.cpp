// The game as the player gets it: the Release game in a real X window with
// the pointer moving over it, against a bare SDL2 + OpenGL 3.3 window that
// clears and presents 60 times a second with a swap interval of 1
// (bench_startup_bare --paced) under the same motion. Each is measured by
// its process's CPU (utime + stime of all its threads, /proc/PID/stat) over
// the wall time of its turn, as a share of one processor.
//
// Sides, each turn a fresh process in a fresh user folder, measured for the
// same wall time after a warm-up, in rounds whose order turns round from
// one round to the next (the GL driver's shader cache is kept across turns
// and primed by an unmeasured turn of each scene, as a player's earlier
// runs leave it):
//   the bare window, pointer moving     the main menu, pointer moving
//   the study, pointer moving           the bare window, pointer still
//   the main menu, pointer still
// The pointer moves by XTEST every 16 ms, 8 pixels a move: up and down the
// menu's buttons, over its plaque and across its background; or back and
// forth over the study's room. The game starts as a player starts it
// (Escape skips the splash screens); the study is a player's saved case,
// made once by a new player's way into it on the stepped clock (this
// program with --child study-save), continued with the menu's Play.
//
// Figures (each scene's CPU over the bare window's, median of the rounds'
// ratios): the menu and the study with the pointer moving at most 1.0x, the
// menu with the pointer still at most 0.5x. Printed beside them: the
// game's presented frames a second while the pointer moves (its log's
// "Average fps" over a run that is nearly all motion) and how its frames
// were drawn.
//
// With no display (DISPLAY unset) the benchmark starts Xvfb with openbox;
// scripts/bench runs it pinned to two processors, which every process it
// starts shares. Options: --runs N rounds (3), --seconds S measured a turn
// (6). --smoke: one round of short turns on a virtual screen of its own,
// checking what each turn showed and did (the scenes' pixels, the game's
// frames drawn while the pointer moved, the bare window's frames), never
// the time. Exits 1 when a figure misses its limit or a turn fails.
#include <sched.h>
#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "bench_game_child.h"
#include "bench_report.h"
#include "real_window/measure.h"
#include "real_window/x_display.h"

namespace {

using namespace bench_game;
using Clock = std::chrono::steady_clock;

enum class Scene { Bare, Menu, Study };

struct Side {
    const char* name;
    Scene scene;
    bool moving;
};
const Side kSides[] = {
    {"bare window, pointer moving", Scene::Bare, true},
    {"main menu, pointer moving", Scene::Menu, true},
    {"study, pointer moving", Scene::Study, true},
    {"bare window, pointer still", Scene::Bare, false},
    {"main menu, pointer still", Scene::Menu, false},
};
constexpr std::size_t kBareMoving = 0, kMenuMoving = 1, kStudyMoving = 2, kBareStill = 3, kMenuStill = 4;

struct Figure {
    const char* what;
    std::size_t scene, bare;
    double limit;
};
const Figure kFigures[] = {
    {"main menu, pointer moving / bare window", kMenuMoving, kBareMoving, 1.0},
    {"study, pointer moving / bare window", kStudyMoving, kBareMoving, 1.0},
    {"main menu, pointer still / bare window", kMenuStill, kBareStill, 0.5},
};

using real_window::Point;
// The pointer's rounds, in window coordinates, back to their first point.
const std::vector<Point> kMenuPath = {{280, 240}, {280, 680}, {800, 110}, {700, 120}, {150, 420}, {900, 600}};
const std::vector<Point> kStudyPath = {{300, 200}, {800, 450}, {300, 600}, {800, 200}};
const Point kStill{1010, 750};
const Point kPlay{280, 270};
constexpr double kStep = 8.0;
constexpr std::chrono::milliseconds kMoveEvery{16};

// The menu's background and its "Options" plate; the bare window's colour.
const std::vector<Probe> kMenuProbes = {{50, 100, 0x090F0F}, {400, 414, 0x432A15}};
const std::vector<Probe> kBareProbes = {{512, 384, 0x336699}};

std::string readFile(const std::string& path)
{
    std::ifstream in(path);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// The last lines of a text, each indented, for a failure's report.
std::string tail(const std::string& text, std::size_t lines)
{
    std::vector<std::string> all;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        all.push_back(line);
    std::string out;
    for (std::size_t i = all.size() > lines ? all.size() - lines : 0; i < all.size(); ++i)
        out += "    " + all[i] + "\n";
    return out.empty() ? "    (nothing)\n" : out;
}

// A turn's process; stopped should the turn end before it does.
struct Child {
    pid_t pid = -1;
    bool exited = false;
    int exitCode = -1;

    bool running()
    {
        int status = 0;
        if (pid > 0 && !exited && ::waitpid(pid, &status, WNOHANG) == pid) {
            exited = true;
            exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        }
        return pid > 0 && !exited;
    }
    ~Child()
    {
        if (running())
            real_window::stop(pid);
    }
};

struct Turn {
    bool ok = false;
    double cpuShare = 0.0;  // of one processor over the measured time
    double fps = 0.0;       // the game's log's Average fps; the bare window's frames a second
    unsigned long long whole = 0, part = 0, none = 0;  // the game's frames, drawn so
    long moves = 0;                                    // pointer moves over the warm-up and the measure
};

struct Settings {
    std::string display, xauthority;
    std::string home;       // the turns' user folders go here
    std::string studySave;  // a user folder whose player's case is in the study
    double warmUp = 1.0, seconds = 6.0;
};

class Bench {
public:
    Bench(real_window::Display& display, Settings settings) : x(display), m_settings(std::move(settings)) {}
    Turn run(const Side& side);

private:
    real_window::Display& x;
    const Settings m_settings;
    std::string m_folder, m_log, m_out;
    Child m_child;
    unsigned long m_window = 0;
    Point m_origin{0, 0};
    double m_distance = 0.0;

    bool fail(const char* what)
    {
        std::fprintf(stderr, "bench_menu_pointer: %s\n  its output:\n%s  the end of its log:\n%s", what,
                     tail(readFile(m_out), 10).c_str(), tail(readFile(m_log), 10).c_str());
        return false;
    }
    // Polls `done` until it holds; false (said) when the child ends first
    // or `seconds` pass.
    bool waitFor(const char* what, double seconds, const std::function<bool()>& done)
    {
        const Clock::time_point start = Clock::now();
        while (!done()) {
            if (!m_child.running() || std::chrono::duration<double>(Clock::now() - start).count() > seconds)
                return fail((std::string(m_child.running() ? "no " : "the process ended before ") + what).c_str());
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return true;
    }
    bool logHas(const char* line) { return readFile(m_log).find(line) != std::string::npos; }
    bool shows(const std::vector<Probe>& probes)
    {
        for (const Probe& p : probes) {
            std::uint32_t rgb = 0;
            if (!x.pixel(m_window, p.x, p.y, rgb) || !nearColour(rgb, p.rgb))
                return false;
        }
        return true;
    }
    void pointerAt(Point p) { x.movePointer(m_origin.x + p.x, m_origin.y + p.y); }
    void hold() { std::this_thread::sleep_for(std::chrono::milliseconds(100)); }
    bool start(const Side& side);
    bool reachScene(Scene scene);
    long pointer(const Side& side, double seconds);
};

bool Bench::start(const Side& side)
{
    m_folder = m_settings.home + "/turn";
    freshHome(m_folder);
    if (side.scene == Scene::Study) {
        std::error_code error;
        // The saves alone: its log is the stepped run's.
        std::filesystem::copy(m_settings.studySave + "/share/Saved Games", m_folder + "/share/Saved Games",
                              std::filesystem::copy_options::recursive |
                                  std::filesystem::copy_options::overwrite_existing,
                              error);
        if (error)
            return fail(("cannot copy the study's save: " + error.message()).c_str());
    }
    m_log = m_folder + "/share/Tallowmere/VRK/a2d.log";
    m_out = m_folder + "/out.txt";
    // The GL driver's shader cache outlives the turns, as it outlives a
    // player's runs: what a turn measures is the game, not the driver
    // compiling shaders that the player's earlier runs left compiled.
    std::vector<std::string> set = {"SDL_VIDEODRIVER=x11", "DISPLAY=" + m_settings.display,
                                    "XDG_CACHE_HOME=" + m_settings.home + "/cache"};
    if (!m_settings.xauthority.empty())
        set.push_back("XAUTHORITY=" + m_settings.xauthority);
    const std::vector<std::string> argv =
        side.scene == Scene::Bare ? std::vector<std::string>{A2D_MENU_POINTER_BARE, "--paced"}
                                  : std::vector<std::string>{A2D_MENU_POINTER_GAME};
    m_child = Child{};
    m_child.pid = real_window::spawn(argv, childEnvironment(m_folder, set), m_out);
    if (m_child.pid <= 0)
        return fail(("cannot start " + argv[0]).c_str());
    m_window = 0;
    return waitFor("window", 60.0, [&] { return (m_window = x.windowOf(m_child.pid)) != 0; }) &&
           waitFor("window position", 10.0, [&] { return x.origin(m_window, m_origin.x, m_origin.y); });
}

bool Bench::reachScene(Scene scene)
{
    if (scene == Scene::Bare)
        return waitFor("first frame of the bare window", 60.0,
                       [&] { return readFile(m_out).find("presented") != std::string::npos; }) &&
               waitFor("bare window's colour", 30.0, [&] { return shows(kBareProbes); });
    // Escape until the menu, as a player skips the splash screens; a press
    // lost on a busy machine is pressed again.
    pointerAt(kStill);
    if (!waitFor("first frame of the game", 60.0, [&] { return logHas("First frame presented"); }) ||
        !waitFor("main menu", 60.0, [&] {
            x.escape(true);
            hold();
            x.escape(false);
            hold();
            return logHas("CGameFlow. Main menu");
        }) ||
        !waitFor("main menu's picture", 30.0, [&] { return shows(kMenuProbes); }))
        return false;
    if (scene != Scene::Study)
        return true;
    // Play continues the saved case in the study.
    Clock::time_point clicked{};
    return waitFor("case loading after Play", 60.0,
                   [&] {
                       if (Clock::now() - clicked > std::chrono::seconds(2)) {
                           pointerAt(kPlay);
                           hold();
                           x.button(true);
                           hold();
                           x.button(false);
                           clicked = Clock::now();
                       }
                       return logHas("Load investigation");
                   }) &&
           waitFor("study's picture", 60.0, [&] { return shows(kStudyProbes); });
}

// Moves the pointer round the side's path every 16 ms for `seconds`, on
// from where it was (or holds it still); a tick this process missed is
// skipped, not made up in a burst. The moves sent.
long Bench::pointer(const Side& side, double seconds)
{
    const Clock::time_point start = Clock::now();
    const auto end = start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    if (!side.moving) {
        pointerAt(kStill);
        std::this_thread::sleep_until(end);
        return 0;
    }
    const std::vector<Point>& path = side.scene == Scene::Study ? kStudyPath : kMenuPath;
    long moves = 0, tick = 0;
    while (Clock::now() < end) {
        pointerAt(real_window::along(path, m_distance));
        ++moves;
        const long next = long((Clock::now() - start) / kMoveEvery) + 1;
        m_distance += kStep * double(next - tick);
        tick = next;
        std::this_thread::sleep_until(std::min(end, start + next * kMoveEvery));
    }
    return moves;
}

Turn Bench::run(const Side& side)
{
    Turn turn;
    if (!start(side) || !reachScene(side.scene))
        return turn;
    // Where the window manager put it, once it shows its scene.
    if (!x.origin(m_window, m_origin.x, m_origin.y)) {
        fail("its window went away");
        return turn;
    }
    m_distance = 0.0;
    turn.moves = pointer(side, m_settings.warmUp);
    const double cpu0 = real_window::processCpuSeconds(m_child.pid);
    const Clock::time_point wall0 = Clock::now();
    turn.moves += pointer(side, m_settings.seconds);
    const double cpu1 = real_window::processCpuSeconds(m_child.pid);
    const double wall = std::chrono::duration<double>(Clock::now() - wall0).count();
    if (cpu0 < 0.0 || cpu1 < 0.0) {
        fail("its processor time could not be read");
        return turn;
    }
    turn.cpuShare = (cpu1 - cpu0) / wall;
    // Still where it was: nothing the pointer did took it elsewhere.
    const std::vector<Probe>& probes = side.scene == Scene::Bare    ? kBareProbes
                                       : side.scene == Scene::Study ? kStudyProbes
                                                                    : std::vector<Probe>{kMenuProbes[0]};
    if (!shows(probes)) {
        fail("the scene's picture changed while the pointer moved");
        return turn;
    }

    x.requestClose(m_window);
    const Clock::time_point closed = Clock::now();
    while (m_child.running() && Clock::now() - closed < std::chrono::seconds(30))
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    if (m_child.running()) {
        fail("the window's close did not end it within 30 s");
        return turn;
    }
    if (m_child.exitCode != 0) {
        fail(("exit code " + std::to_string(m_child.exitCode) + " after the window's close").c_str());
        return turn;
    }
    if (side.scene == Scene::Bare) {
        const std::string out = readFile(m_out);
        const std::size_t at = out.find("frames ");
        long frames = 0;
        double lifetime = 0.0;
        if (at == std::string::npos || std::sscanf(out.c_str() + at, "frames %ld seconds %lf", &frames, &lifetime) != 2 ||
            lifetime <= 0.0) {
            fail("the bare window did not say its frames");
            return turn;
        }
        turn.fps = double(frames) / lifetime;
    } else {
        real_window::GameLogEnd end;
        if (!real_window::readGameLogEnd(readFile(m_log), end)) {
            fail("the game's log has no frame rate or frame counts at its end");
            return turn;
        }
        turn.fps = end.averageFps;
        turn.whole = end.whole;
        turn.part = end.part;
        turn.none = end.none;
    }
    turn.ok = true;
    return turn;
}

// The stepped child: a new player's way into the study, then the window's
// close, which saves the case there.
int studySaveChild(char* program)
{
    static GameRun run;
    run.counts = Counts{1, 1};
    if (!run.run(kStudyWay, "wait 1\n", "study", program))
        return 1;
    const int missed = missedProbes("study", run.lastFrame, kStudyProbes);
    std::printf("result %d 0 0 0 0\n", run.frames);
    return missed == 0 ? 0 : 1;
}

std::string processors()
{
    cpu_set_t set;
    CPU_ZERO(&set);
    if (::sched_getaffinity(0, sizeof set, &set) != 0)
        return "?";
    std::string list;
    for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu) {
        if (CPU_ISSET(cpu, &set))
            list += (list.empty() ? "" : ",") + std::to_string(cpu);
    }
    return list;
}

double medianOf(const std::vector<Turn>& turns, double Turn::*field)
{
    std::vector<double> v;
    for (const Turn& t : turns)
        v.push_back(t.*field);
    return benchMedian(v);
}

} // namespace

int main(int argc, char** argv)
{
    Options o = parseOptions(argc, argv, 3);
    if (o.child == "study-save")
        return studySaveChild(argv[0]);
    double seconds = 6.0, warmUp = 1.0;
    for (std::size_t i = 0; i + 1 < o.other.size(); ++i) {
        if (o.other[i] == "--seconds")
            seconds = std::max(0.5, std::atof(o.other[i + 1].c_str()));
    }
    if (o.smoke) {
        o.runs = 1;
        seconds = 1.0;
        warmUp = 0.5;
    }

    const std::string home = makeHome("bench_menu_pointer");
    if (home.empty())
        return 1;
    struct Cleanup {
        std::string folder;
        ~Cleanup()
        {
            std::error_code ignored;
            std::filesystem::remove_all(folder, ignored);
        }
    } cleanup{home};

    // A display of its own unless there is one; the smoke never takes the
    // caller's pointer.
    std::unique_ptr<real_window::VirtualServer> server;
    std::string display = o.smoke ? "" : (std::getenv("DISPLAY") ? std::getenv("DISPLAY") : "");
    std::string xauthority;
    std::string error;
    if (display.empty()) {
        server = real_window::VirtualServer::start(home, 1280, 1024, error);
        if (!server) {
            std::fprintf(stderr, "bench_menu_pointer: %s\n", error.c_str());
            return 1;
        }
        display = server->display();
    } else if (const char* a = std::getenv("XAUTHORITY")) {
        xauthority = a;
    } else if (const char* h = std::getenv("HOME")) {
        xauthority = std::string(h) + "/.Xauthority";  // the children get homes of their own
    }
    std::unique_ptr<real_window::Display> x = real_window::Display::open(display, error);
    if (!x) {
        std::fprintf(stderr, "bench_menu_pointer: %s\n", error.c_str());
        return 1;
    }

    const std::string studySave = home + "/study-save";
    if (!runChild("bench_menu_pointer", studySave, "study-save", Counts{1, 1}, {}).ok)
        return 1;
    if (!std::filesystem::exists(studySave + "/share/Saved Games/Tallowmere/VRK/Player.save")) {
        std::fprintf(stderr, "bench_menu_pointer: the way into the study left no save\n");
        return 1;
    }

    Bench bench(*x, Settings{display, xauthority, home, studySave, warmUp, seconds});
    constexpr std::size_t kSideCount = std::size(kSides);
    std::vector<Turn> turns[kSideCount];
    // A player's earlier runs: one unmeasured turn of each scene leaves the
    // driver's shader cache as a player's machine holds it.
    if (!o.smoke) {
        for (std::size_t s : {kMenuMoving, kStudyMoving}) {
            if (!bench.run(kSides[s]).ok) {
                std::fprintf(stderr, "bench_menu_pointer: the unmeasured turn of the %s failed\n", kSides[s].name);
                return 1;
            }
        }
    }
    for (int round = 0; round < o.runs; ++round) {
        for (std::size_t k = 0; k < kSideCount; ++k) {
            const std::size_t s = round % 2 ? kSideCount - 1 - k : k;
            const Turn turn = bench.run(kSides[s]);
            if (!turn.ok) {
                std::fprintf(stderr, "bench_menu_pointer: the turn of the %s failed (round %d)\n", kSides[s].name,
                             round + 1);
                return 1;
            }
            turns[s].push_back(turn);
        }
    }

    std::printf("a real window on %s%s, processors %s; %d round%s, turns of %.1f s after %.1f s of warm-up%s:\n",
                display.c_str(), server ? " (Xvfb 1280x1024, openbox)" : "", processors().c_str(), o.runs,
                o.runs == 1 ? "" : "s", seconds, warmUp, o.smoke ? "" : ", the shader cache primed");
    std::printf("  %-30s %12s %16s  %s\n", "", "CPU (median)", "frames a second", "frames drawn whole / in part / not at all");
    for (std::size_t s = 0; s < kSideCount; ++s) {
        unsigned long long whole = 0, part = 0, none = 0;
        for (const Turn& t : turns[s]) {
            whole += t.whole;
            part += t.part;
            none += t.none;
        }
        std::printf("  %-30s %10.1f %% %16.1f", kSides[s].name, 100.0 * medianOf(turns[s], &Turn::cpuShare),
                    medianOf(turns[s], &Turn::fps));
        if (kSides[s].scene == Scene::Bare)
            std::printf("  (its own count)\n");
        else
            std::printf("  %llu / %llu / %llu (the game's log: Average fps, frames)\n", whole, part, none);
    }

    bool ok = true;
    for (std::size_t s = 0; s < kSideCount; ++s) {
        for (const Turn& t : turns[s]) {
            // A side that used no processor time measured nothing.
            if (t.cpuShare <= 0.0) {
                std::fprintf(stderr, "bench_menu_pointer: the %s used no processor time\n", kSides[s].name);
                ok = false;
            }
        }
    }
    if (!ok)
        return 1;
    if (o.smoke) {
        // The baseline is paced: more frames than the refresh would make
        // it cost more than a bare window does.
        for (std::size_t s : {kBareMoving, kBareStill}) {
            if (turns[s].front().fps > 62.0) {
                std::fprintf(stderr, "bench_menu_pointer: the %s presented %.1f frames a second\n", kSides[s].name,
                             turns[s].front().fps);
                ok = false;
            }
        }
        // The pointer moved (a move every 16 ms, less what a busy machine
        // skipped), and reached the game: the menu, which left alone draws
        // next to nothing, drew a frame for nearly every move. (The study's
        // pendulum draws whatever the pointer does.)
        const double due = (warmUp + seconds) / std::chrono::duration<double>(kMoveEvery).count();
        for (std::size_t s : {kBareMoving, kMenuMoving, kStudyMoving}) {
            if (double(turns[s].front().moves) < due / 2) {
                std::fprintf(stderr, "bench_menu_pointer: the pointer moved %ld times in the %s's turn\n",
                             turns[s].front().moves, kSides[s].name);
                ok = false;
            }
        }
        const Turn& menu = turns[kMenuMoving].front();
        if (double(menu.whole + menu.part) < due / 2) {
            std::fprintf(stderr, "bench_menu_pointer: the %s drew %llu frames in %.0f ticks of the pointer\n",
                         kSides[kMenuMoving].name, menu.whole + menu.part, due);
            ok = false;
        }
        return ok ? 0 : 1;
    }
    for (const Figure& f : kFigures) {
        std::vector<double> ratios;
        std::string each;
        for (int round = 0; round < o.runs; ++round) {
            ratios.push_back(turns[f.scene][std::size_t(round)].cpuShare / turns[f.bare][std::size_t(round)].cpuShare);
            char text[32];
            std::snprintf(text, sizeof text, " %.2fx", ratios.back());
            each += text;
        }
        const double ratio = benchMedian(ratios);
        std::printf("  %s: %.2fx (rounds:%s; limit %.1fx)\n", f.what, ratio, each.c_str(), f.limit);
        ok = benchFigure(f.what, ratio, f.limit) && ok;
    }
    return ok ? 0 : 1;
}
