// Trajectory ".data" files: the input is the file. A curve loads it,
// follows its polyline, is edited and saved, and the saved file must read
// back to the same points.
#include <cstring>

#include "engine/gfx/a_curve.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    aCurve curve;
    if (!curve.load(fuzz::writeTemp("t.data", data, size)))
        return 0;
    curve.start();
    for (int i = 0; i < 200 && curve.update(7.5f) == CURVE_MOVING; ++i) {
    }
    float x = 0.0f, y = 0.0f;
    curve.getTopLeft(x, y);

    const std::string out = fuzz::tempDir() + "out.data";
    if (!curve.save(out))
        __builtin_trap();
    aTrajectory back;
    if (!back.load(out) || back.getPointCount() != curve.getPointCount() || back.getType() != curve.getType() ||
        back.isClosed() != curve.isClosed())
        __builtin_trap();
    for (std::size_t i = 0; i < back.getPointCount(); ++i) {
        const aTrajectoryPoint& a = back.getPoints()[i];
        const aTrajectoryPoint& b = curve.getPoints()[i];
        if (std::memcmp(&a.x, &b.x, 4) || std::memcmp(&a.y, &b.y, 4) || a.type != b.type || a.fixed != b.fixed)
            __builtin_trap();
    }

    const std::size_t n = curve.getPointCount();
    curve.smoothPoint(size % (n + 1));
    curve.insertPoint(3, x + 1.0f, y + 1.0f);
    curve.movePoint(0, 2.0f, 3.0f, true, true);
    curve.setClosed(!curve.isClosed());
    curve.translate(5.0f, -5.0f, (size & 1) != 0);
    curve.removePoint(size % (n + 2));
    curve.setClosed(!curve.isClosed());
    int ix = 0, iy = 0;
    curve.getPointInt(0, ix, iy);
    return 0;
}
