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
#include <cstdio>
#include <string>
#include <vector>

#include "bench_game_child.h"
#include "bench_report.h"

namespace {

using namespace bench_game;

constexpr double kLimit = 1.0;

// Into the menu, then the pointer's round over it, twice (frames of 10 ms
// in the script, one game frame each here): down the buttons, over the
// plaque, across the background.
const char* const kWay = "wait 7\nmove 280 240\n";
const char* const kRound = "move 280 680 3\nmove 800 110 3\nmove 700 120 0.5\nmove 150 420 2.5\n"
                           "move 900 600 2\nmove 280 240 2\n";

int menuChild(const Counts& counts, char* program)
{
    static GameRun run;
    run.counts = counts;
    if (!run.run(kWay, std::string(kRound) + kRound, "menu", program))
        return 1;
    if (const char* save = std::getenv("BENCH_MENU_POINTER_SAVE"))
        platform::writeBmp24(std::string(save) + "/menu.bmp", kWidth, kHeight, run.lastFrame.data());
    // The menu's background and the "Options" plate, away from the pointer.
    const int missed = missedProbes("menu", run.lastFrame, {{50, 100, 0x090F0F}, {400, 414, 0x432A15}});
    std::printf("result %d %.6f %llu %llu %llu\n", run.frames, run.cpu / run.frames,
                static_cast<unsigned long long>(run.delta(&platform::GfxDeviceStats::framesPartial)),
                static_cast<unsigned long long>(run.delta(&platform::GfxDeviceStats::framesWhole)),
                static_cast<unsigned long long>(run.delta(&platform::GfxDeviceStats::drawCalls)));
    return missed == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    Options o = parseOptions(argc, argv, 5);
    Counts& counts = o.counts;
    if (o.child == "bare")
        // A clear and a present a frame, nothing else.
        return bareChild(counts, [](platform::Window& window, int i) {
            window.clear(i % 2 ? 0xFF336699 : 0xFF996633);
            window.present();
            return true;
        });
    if (o.child == "menu")
        return menuChild(counts, argv[0]);
    if (o.smoke) {
        o.runs = 1;
        counts = Counts{10, 60};
    }

    const std::string home = makeHome("bench_menu_pointer");
    if (home.empty())
        return 1;
    std::vector<double> bare, menu, ratios;
    ChildResult last;
    bool failed = false;
    for (int run = 0; run < o.runs && !failed; ++run) {
        const ChildResult b = runChild("bench_menu_pointer", home, "bare", counts, {});
        last = runChild("bench_menu_pointer", home, "menu", counts, {});
        failed = !b.ok || !last.ok;
        bare.push_back(b.cpuMs);
        menu.push_back(last.cpuMs);
        ratios.push_back(last.cpuMs / b.cpuMs);
    }
    std::error_code ignored;
    std::filesystem::remove_all(home, ignored);
    if (failed)
        return 1;

    const unsigned long long partial = last.counts[0], whole = last.counts[1], drawCalls = last.counts[2];
    std::printf("paced at 60 Hz, process CPU per frame, %d round%s of %d frames:\n", o.runs, o.runs == 1 ? "" : "s",
                counts.measured);
    std::printf("  bare window, clear and present: %7.3f ms (median)\n", benchMedian(bare));
    std::printf("  main menu, pointer moving:      %7.3f ms (median)\n", benchMedian(menu));
    std::printf("  last menu run: %llu frames presented in part, %llu whole, %.1f GL draw calls a frame\n", partial,
                whole, double(drawCalls) / double(last.frames));
    if (o.smoke) {
        // The pointer moved each frame, so each was presented, in part.
        if (partial * 10 < std::uint64_t(last.frames) * 9) {
            std::fprintf(stderr, "bench_menu_pointer: the menu's frames were not presented in part\n");
            return 1;
        }
        return 0;
    }
    const double ratio = benchMedian(ratios);
    std::printf("  menu / bare, median of the rounds: %.2fx (limit %.1fx)\n", ratio, kLimit);
    return benchFigure("main menu, pointer moving / bare window", ratio, kLimit) ? 0 : 1;
}
