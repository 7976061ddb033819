#include "engine/gfx/a_curve.h"

#include <cmath>

namespace {

// Splits [t0, t1] of a segment (end points a = B(t0), z = B(t1)) until its
// middle lies within half a pixel of the chord; appends the end of every
// accepted piece. The flatness test runs in double so that tiny or huge
// coordinates neither underflow to a zero chord nor overflow.
template <class Eval>
void subdivide(const Eval& eval, float t0, float t1, aCurvePoint a, aCurvePoint z, int depth,
               std::vector<aCurvePoint>& out)
{
    const float tm = (t0 + t1) * 0.5f;
    const aCurvePoint m = eval(tm);
    const double dx = double(z.x) - double(a.x), dy = double(z.y) - double(a.y);
    if (dx == 0.0 && dy == 0.0) {
        out.push_back(z);
        return;
    }
    const double cross = (double(m.x) - double(a.x)) * dy - (double(m.y) - double(a.y)) * dx;
    if (cross * cross >= 0.25 * (dx * dx + dy * dy) && depth < aCurve::kMaxDepth &&
        out.size() < aCurve::kMaxPolylinePoints) {
        subdivide(eval, t0, tm, a, m, depth + 1, out);
        subdivide(eval, tm, t1, m, z, depth + 1, out);
    } else {
        out.push_back(z);
    }
}

aCurvePoint at(const aTrajectoryPoint& p) { return aCurvePoint{p.x, p.y}; }

} // namespace

bool aCurve::load(const std::string& path)
{
    if (!aTrajectory::load(path))
        return false;
    rebuild();
    return true;
}

void aCurve::setTrajectory(const aTrajectory& trajectory)
{
    aTrajectory::operator=(trajectory);
    rebuild();
}

void aCurve::addPoint(float x, float y)
{
    aTrajectory::addPoint(x, y);
    rebuild();
}

bool aCurve::insertPoint(std::size_t index, float x, float y)
{
    if (!aTrajectory::insertPoint(index, x, y))
        return false;
    rebuild();
    return true;
}

bool aCurve::removePoint(std::size_t index)
{
    if (!aTrajectory::removePoint(index))
        return false;
    rebuild();
    return true;
}

bool aCurve::movePoint(std::size_t index, float x, float y, bool relative, bool withHandles)
{
    if (!aTrajectory::movePoint(index, x, y, relative, withHandles))
        return false;
    rebuild();
    return true;
}

bool aCurve::moveHandle(std::size_t index, float x, float y, bool relative)
{
    if (!aTrajectory::moveHandle(index, x, y, relative))
        return false;
    rebuild();
    return true;
}

bool aCurve::smoothPoint(std::size_t index)
{
    if (!aTrajectory::smoothPoint(index))
        return false;
    rebuild();
    return true;
}

void aCurve::clearPoints()
{
    aTrajectory::clear();
    rebuild();
}

void aCurve::setType(std::uint32_t newKind)
{
    aTrajectory::setType(newKind);
    rebuild();
}

void aCurve::setClosed(bool on)
{
    aTrajectory::setClosed(on);
    rebuild();
}

void aCurve::translate(float dx, float dy, bool all)
{
    aTrajectory::translate(dx, dy, all);
    if (!all) {
        rebuild();
        return;
    }
    for (aCurvePoint& p : polyline) {
        p.x += dx;
        p.y += dy;
    }
    boundsValid = false;
}

void aCurve::getTopLeft(float& x, float& y) const
{
    if (polyline.empty()) {
        x = y = 0.0f;
        return;
    }
    if (!boundsValid) {
        float minX = polyline[0].x, minY = polyline[0].y, maxX = minX, maxY = minY;
        for (const aCurvePoint& p : polyline) {
            minX = std::fmin(minX, p.x);
            minY = std::fmin(minY, p.y);
            maxX = std::fmax(maxX, p.x);
            maxY = std::fmax(maxY, p.y);
        }
        bounds[0] = minX;
        bounds[1] = minY;
        bounds[2] = maxX - minX + 1.0f;
        bounds[3] = maxY - minY + 1.0f;
        boundsValid = true;
    }
    x = bounds[0];
    y = bounds[1];
}

void aCurve::rebuild()
{
    boundsValid = false;
    running = false;
    polyline.clear();
    if (points.size() < 2)
        return;
    switch (kind) {
    case TRAJECTORY_POLYLINE:
        for (const aTrajectoryPoint& p : points)
            polyline.push_back(at(p));
        if (closed)
            polyline.push_back(at(points[0]));
        break;
    case TRAJECTORY_SPLINE:
        buildSpline();
        break;
    case TRAJECTORY_BEZIER:
        buildBezier();
        break;
    default:
        break;
    }
}

void aCurve::buildSpline()
{
    const std::size_t n = points.size();
    std::vector<aCurvePoint> work;
    work.reserve(n + 3);
    work.push_back(at(closed ? points[n - 1] : points[0]));
    for (const aTrajectoryPoint& p : points)
        work.push_back(at(p));
    work.push_back(at(closed ? points[0] : points[n - 1]));
    if (closed)
        work.push_back(at(points[1]));

    polyline.push_back(work[1]);
    for (std::size_t i = 0; i + 3 < work.size(); ++i) {
        const aCurvePoint p0 = work[i], p1 = work[i + 1], p2 = work[i + 2], p3 = work[i + 3];
        const float c0x = 2.0f * p1.x, c0y = 2.0f * p1.y;
        const float c1x = p2.x - p0.x, c1y = p2.y - p0.y;
        const float c2x = 2.0f * p0.x - 5.0f * p1.x + 4.0f * p2.x - p3.x;
        const float c2y = 2.0f * p0.y - 5.0f * p1.y + 4.0f * p2.y - p3.y;
        const float c3x = 3.0f * p1.x - p0.x - 3.0f * p2.x + p3.x;
        const float c3y = 3.0f * p1.y - p0.y - 3.0f * p2.y + p3.y;
        auto eval = [&](float t) {
            return aCurvePoint{0.5f * (c0x + t * (c1x + t * (c2x + t * c3x))),
                               0.5f * (c0y + t * (c1y + t * (c2y + t * c3y)))};
        };
        const aCurvePoint mid = eval(0.5f);
        subdivide(eval, 0.0f, 0.5f, p1, mid, 0, polyline);
        subdivide(eval, 0.5f, 1.0f, mid, p2, 0, polyline);
    }
}

void aCurve::buildBezier()
{
    std::vector<aCurvePoint> work;
    work.reserve(points.size() + 1);
    for (const aTrajectoryPoint& p : points)
        work.push_back(at(p));
    if (closed)
        work.push_back(at(points[0]));

    polyline.push_back(work[0]);
    for (std::size_t i = 0; i + 3 < work.size(); i += 3) {
        const aCurvePoint a0 = work[i], a3 = work[i + 3];
        // The handles enter already multiplied by 3.
        const aCurvePoint h1{3.0f * work[i + 1].x, 3.0f * work[i + 1].y};
        const aCurvePoint h2{3.0f * work[i + 2].x, 3.0f * work[i + 2].y};
        auto eval = [&](float t) {
            const float u = 1.0f - t;
            const float b0 = u * u * u, b1 = u * u * t, b2 = u * t * t, b3 = t * t * t;
            return aCurvePoint{a0.x * b0 + h1.x * b1 + h2.x * b2 + a3.x * b3,
                               a0.y * b0 + h1.y * b1 + h2.y * b2 + a3.y * b3};
        };
        const aCurvePoint q1 = eval(0.25f), q2 = eval(0.5f), q3 = eval(0.75f);
        subdivide(eval, 0.0f, 0.25f, a0, q1, 0, polyline);
        subdivide(eval, 0.25f, 0.5f, q1, q2, 0, polyline);
        subdivide(eval, 0.5f, 0.75f, q2, q3, 0, polyline);
        subdivide(eval, 0.75f, 1.0f, q3, a3, 0, polyline);
    }
}

void aCurve::start()
{
    if (polyline.size() < 2)
        return;
    distance = 0.0;
    segmentLength = 0.0;
    segment = -1;
    running = true;
    posX = polyline[0].x;
    posY = polyline[0].y;
    direction = std::atan2(double(polyline[1].y) - polyline[0].y, double(polyline[1].x) - polyline[0].x);
}

int aCurve::update(float step)
{
    if (!running)
        return CURVE_NOT_RUNNING;
    const std::int32_t last = std::int32_t(polyline.size()) - 1;
    distance += step;
    while (distance >= segmentLength) {
        ++segment;
        distance -= segmentLength;
        if (segment >= last) {
            segment = last;
            posX = polyline[std::size_t(last)].x;
            posY = polyline[std::size_t(last)].y;
            running = false;
            return CURVE_END_REACHED;
        }
        const aCurvePoint& a = polyline[std::size_t(segment)];
        const aCurvePoint& b = polyline[std::size_t(segment) + 1];
        const double dx = double(b.x) - a.x, dy = double(b.y) - a.y;
        direction = std::atan2(dy, dx);
        segmentLength = std::sqrt(dx * dx + dy * dy);
    }
    // A first step that is negative or NaN stays on the first point.
    if (segment < 0) {
        posX = polyline[0].x;
        posY = polyline[0].y;
        return CURVE_MOVING;
    }
    const aCurvePoint& from = polyline[std::size_t(segment)];
    posX = float(from.x + distance * std::cos(direction));
    posY = float(from.y + distance * std::sin(direction));
    return CURVE_MOVING;
}

void aCurve::getCurrentPoint(float& x, float& y, double* dir) const
{
    x = posX;
    y = posY;
    if (dir)
        *dir = direction;
}
