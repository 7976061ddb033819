#include "measure.h"

#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>

namespace real_window {

double processCpuSeconds(pid_t pid)
{
    // The kernel's count to the nanosecond: /proc/PID/stat counts in ticks
    // of 10 ms, a good part of what a game at 4 % of a core uses in a turn.
    clockid_t clock;
    timespec now;
    if (::clock_getcpuclockid(pid, &clock) != 0 || ::clock_gettime(clock, &now) != 0)
        return -1.0;
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

bool readGameLogEnd(const std::string& log, GameLogEnd& end)
{
    const char* const fps = "aGraphServer. Average fps";
    const char* const frames = "aGraphServer. Frames drawn whole";
    const std::size_t fpsAt = log.rfind(fps), framesAt = log.rfind(frames);
    return fpsAt != std::string::npos && framesAt != std::string::npos &&
           std::sscanf(log.c_str() + fpsAt, "aGraphServer. Average fps %lf", &end.averageFps) == 1 &&
           std::sscanf(log.c_str() + framesAt, "aGraphServer. Frames drawn whole %llu, in part %llu, not at all %llu",
                       &end.whole, &end.part, &end.none) == 3;
}

Point along(const std::vector<Point>& path, double distance)
{
    std::vector<double> lengths;
    double total = 0.0;
    for (std::size_t i = 0; i < path.size(); ++i) {
        const Point a = path[i], b = path[(i + 1) % path.size()];
        lengths.push_back(std::hypot(double(b.x - a.x), double(b.y - a.y)));
        total += lengths.back();
    }
    if (total <= 0.0)
        return path.empty() ? Point{0, 0} : path.front();
    double d = std::fmod(distance, total);
    for (std::size_t i = 0; i < path.size(); ++i) {
        if (d < lengths[i] || i + 1 == path.size()) {
            const Point a = path[i], b = path[(i + 1) % path.size()];
            const double t = lengths[i] > 0.0 ? std::min(1.0, d / lengths[i]) : 0.0;
            return {a.x + int(std::lround(t * (b.x - a.x))), a.y + int(std::lround(t * (b.y - a.y)))};
        }
        d -= lengths[i];
    }
    return path.front();
}

} // namespace real_window
