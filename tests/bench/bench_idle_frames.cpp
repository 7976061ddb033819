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
#include <cstdio>
#include <string>
#include <vector>

#include "bench_game_child.h"
#include "bench_report.h"

namespace {

using namespace bench_game;

constexpr double kMenuLimit = 2.0;
constexpr double kStudyLimit = 5.0;

// How the menu is reached (the study: kStudyWay), and each scene's idle
// part (frames of 10 ms in the script; one a game frame here). Screen
// coordinates, as on the road.
const char* const kMenuWay = "wait 7\n";
const char* const kMenuIdle = "move 1010 750\nwait 30\n";
// Back and forth over the room, about a pixel a frame.
const char* const kStudyIdle =
    "move 300 200\nmove 800 450 5\nmove 300 600 5\nmove 800 200 5\nmove 300 200 5\n"
    "move 800 450 5\nmove 300 600 5\nmove 800 200 5\nmove 300 200 5\n";

int gameChild(const std::string& scene, const Counts& counts, char* program)
{
    const bool study = scene == "study";
    static GameRun run;
    run.counts = counts;
    if (!run.run(study ? kStudyWay : kMenuWay, study ? kStudyIdle : kMenuIdle, scene.c_str(), program))
        return 1;
    if (const char* save = std::getenv("BENCH_IDLE_FRAMES_SAVE"))
        platform::writeBmp24(std::string(save) + "/" + scene + ".bmp", kWidth, kHeight, run.lastFrame.data());
    // The menu's "Play" plate and the wallpaper under its shade; the
    // study's wallpaper and rug, away from the cursor's path.
    const int missed = missedProbes(scene.c_str(), run.lastFrame,
                                    study ? kStudyProbes
                                          : std::vector<Probe>{{300, 268, 0x472D18}, {50, 100, 0x090F0F}});
    std::printf("result %d %.6f %llu %llu %llu\n", run.frames, run.cpu / run.frames,
                static_cast<unsigned long long>(run.delta(&platform::GfxDeviceStats::framesWhole)),
                static_cast<unsigned long long>(run.delta(&platform::GfxDeviceStats::framesPartial)),
                static_cast<unsigned long long>(run.delta(&platform::GfxDeviceStats::framesSkipped)));
    return missed == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    Options o = parseOptions(argc, argv, 3);
    Counts& counts = o.counts;
    const bool wholeFrames = std::find(o.other.begin(), o.other.end(), "--whole-frames") != o.other.end();
    if (o.child == "bare") {
        // A clear, a one-pixel read and a swap, through the platform's window alone.
        return bareChild(counts, [](platform::Window& window, int) {
            std::vector<std::uint8_t> pixel;
            window.clear(0xFF336699);
            const bool read = window.readBackBuffer(RECT{0, 0, 1, 1}, pixel);
            window.present();
            if (!read || pixel.size() != 4 || pixel[2] != 0x33 || pixel[1] != 0x66 || pixel[0] != 0x99) {
                std::fprintf(stderr, "bare: the pixel read is not the clear colour\n");
                return false;
            }
            return true;
        });
    }
    if (o.child == "menu" || o.child == "study")
        return gameChild(o.child, counts, argv[0]);

    if (o.smoke) {
        o.runs = 1;
        counts = Counts{10, 30};
    }
    const std::string home = makeHome("bench_idle_frames");
    if (home.empty())
        return 1;

    const char* scenes[] = {"bare", "menu", "study"};
    std::vector<double> cpu[3];
    ChildResult last[3];
    bool failed = false;
    for (int run = 0; run < o.runs && !failed; ++run) {
        for (int s = 0; s < 3 && !failed; ++s) {
            last[s] = runChild("bench_idle_frames", home, scenes[s], counts,
                               wholeFrames ? std::vector<std::string>{"A2D_WHOLE_FRAMES=1"} : std::vector<std::string>{});
            failed = !last[s].ok;
            cpu[s].push_back(last[s].cpuMs);
        }
    }
    std::error_code ignored;
    std::filesystem::remove_all(home, ignored);
    if (failed)
        return 1;

    const double bare = benchMedian(cpu[0]), menu = benchMedian(cpu[1]), study = benchMedian(cpu[2]);
    const double menuRatio = menu / bare, studyRatio = study / bare;
    std::printf("idle frames paced at 60 Hz, process CPU per frame, median of %d run%s of %d frames%s:\n", o.runs,
                o.runs == 1 ? "" : "s", counts.measured, wholeFrames ? ", every frame drawn whole" : "");
    std::printf("  bare clear, pixel read, swap: %7.3f ms\n", bare);
    std::printf("  main menu, idle:              %7.3f ms  %6.2fx (limit %.0fx)\n", menu, menuRatio, kMenuLimit);
    std::printf("  study, cursor moving:         %7.3f ms  %6.2fx (limit %.0fx)\n", study, studyRatio, kStudyLimit);
    // Frames drawn whole, in part, not at all.
    const auto whole = [&](int s) { return last[s].counts[0]; };
    const auto part = [&](int s) { return last[s].counts[1]; };
    const auto none = [&](int s) { return last[s].counts[2]; };
    for (int s = 1; s < 3; ++s) {
        const double total = double(whole(s) + part(s) + none(s));
        std::printf("  %-5s frames (last run): %.0f%% drawn whole, %.0f%% in part, %.0f%% not at all\n", scenes[s],
                    100.0 * double(whole(s)) / total, 100.0 * double(part(s)) / total,
                    100.0 * double(none(s)) / total);
    }
    if (o.smoke) {
        // What the skipping does, not what it costs: the idle menu is left
        // as it was, the study's pendulum and cursor are drawn in part.
        const bool menuSkips = wholeFrames ? none(1) == 0 : none(1) * 2 > std::uint64_t(last[1].frames);
        const bool studyInPart = wholeFrames ? part(2) == 0 : part(2) * 2 > std::uint64_t(last[2].frames);
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
