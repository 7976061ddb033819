#include "game/SpyGame/Rooms/FlipScale.h"

#include <cmath>

bool CalcFlipScale(float* scale, float angle)
{
    if (!std::isfinite(angle))
        return false;
    constexpr double kPi = 3.14159265358979323846;
    constexpr double kQuarter = kPi / 2.0;
    double a = std::fmod(double(angle), 2.0 * kPi);
    // fmod keeps the dividend's sign; rounding may land a tiny negative
    // angle on 2pi itself.
    if (a < 0.0)
        a += 2.0 * kPi;
    if (a >= 2.0 * kPi)
        a = 0.0;
    double factor = 0.0;
    bool back = false;
    if (a < kQuarter) {
        factor = 1.0 - a / kQuarter;
    } else if (a < kPi) {
        factor = (a - kQuarter) / kQuarter;
        back = true;
    } else if (a < 3.0 * kQuarter) {
        factor = (3.0 * kQuarter - a) / kQuarter;
        back = true;
    } else {
        factor = (a - 3.0 * kQuarter) / kQuarter;
    }
    if (scale)
        *scale = float(double(*scale) * factor);
    return back;
}
