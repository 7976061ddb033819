// Makes the demo game's trajectory files (".data" in Curves/): the path the
// logo glides along in the credits, a spline through four points from off
// the left edge to the top of the screen.
//
// Usage: make_demo_curves [GameData folder]   (default: data/GameData)
// The output is the same on every run, so the file can be committed.
#include <cstdio>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "engine/gfx/a_trajectory.h"

namespace {

struct Curve {
    const char* file;
    std::uint32_t kind;
    std::vector<std::pair<float, float>> points;
};

const Curve kCurves[] = {
    {"credits_logo.data", TRAJECTORY_SPLINE, {{-300.0f, 180.0f}, {200.0f, 125.0f}, {760.0f, 210.0f}, {512.0f, 170.0f}}},
};

bool write(const std::string& path, const aTrajectory& curve)
{
    std::vector<std::uint8_t> bytes(curve.serialize(nullptr));
    curve.serialize(bytes.data());
    FILE* f = std::fopen(path.c_str(), "wb");
    bool ok = f && std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    if (f && std::fclose(f) != 0)
        ok = false;
    if (!ok)
        std::fprintf(stderr, "make_demo_curves: cannot write %s\n", path.c_str());
    return ok;
}

} // namespace

int main(int argc, char** argv)
{
    const std::string out = std::string(argc > 1 ? argv[1] : "data/GameData") + "/Curves";
    ::mkdir((out.substr(0, out.size() - 7)).c_str(), 0755);
    ::mkdir(out.c_str(), 0755);
    int status = 0;
    for (const Curve& c : kCurves) {
        aTrajectory curve;
        curve.setType(c.kind);
        for (const auto& [x, y] : c.points)
            curve.addPoint(x, y);
        if (!write(out + "/" + c.file, curve))
            status = 1;
    }
    return status;
}
