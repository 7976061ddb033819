#pragma once
// What bench_menu_pointer reads and where its pointer goes, apart from the
// X display: a process's processor time, the figures the game's log ends
// with, and a point along the pointer's round.
#include <sys/types.h>

#include <string>
#include <vector>

namespace real_window {

// Processor seconds the process has used, every thread counted, those that
// ended too, to the nanosecond (its CPU clock); negative when it cannot be
// read.
double processCpuSeconds(pid_t pid);

// The frame rate and frame counts the game logs as it ends.
struct GameLogEnd {
    double averageFps = 0.0;
    unsigned long long whole = 0, part = 0, none = 0;  // frames drawn whole, in part, not at all
};
// False when the log does not end a run with both lines; of several runs,
// the last.
bool readGameLogEnd(const std::string& log, GameLogEnd& end);

struct Point {
    int x, y;
};
// The point `distance` pixels along the closed path (its last point joined
// to its first), going round as often as the distance takes.
Point along(const std::vector<Point>& path, double distance);

} // namespace real_window
