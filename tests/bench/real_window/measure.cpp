#include "measure.h"

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
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // The name in parentheses may hold spaces, digits and parentheses itself.
    const std::size_t close = text.rfind(')');
    if (close == std::string::npos)
        return -1.0;
    std::istringstream fields(text.substr(close + 1));
    std::string field;
    unsigned long long utime = 0, stime = 0;
    int n = 3;  // the field after the name
    for (; n <= 15 && fields >> field; ++n) {
        if (n == 14)
            utime = std::strtoull(field.c_str(), nullptr, 10);
        else if (n == 15)
            stime = std::strtoull(field.c_str(), nullptr, 10);
    }
    return n > 15 ? double(utime + stime) / double(::sysconf(_SC_CLK_TCK)) : -1.0;
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
