#pragma once
// A trajectory that keeps the polyline its control points describe and can
// be followed over time: spline and Bezier segments are subdivided until
// flat to half a pixel, and the ends of every segment are the control
// points themselves (equal bit for bit). Every edit rebuilds the polyline;
// drawing and following never re-evaluate. Main thread only.
#include <cstdint>
#include <string>
#include <vector>

#include "engine/gfx/a_gdi.h"
#include "engine/gfx/a_trajectory.h"

struct aCurvePoint {
    float x = 0.0f;
    float y = 0.0f;
};

// aCurve::update results.
enum aCurveStatus : int {
    CURVE_MOVING = 0,
    CURVE_END_REACHED = 1,
    CURVE_NOT_RUNNING = 2,
};

class aCurve : public aTrajectory {
public:
    // Subdivision stops this many levels below a segment's first split.
    static constexpr int kMaxDepth = 16;
    // Past this many polyline points segments are no longer split (their
    // ends are still emitted).
    static constexpr std::size_t kMaxPolylinePoints = std::size_t(1) << 16;

    aCurve() = default;
    aCurve(const aCurve&) = default;
    aCurve& operator=(const aCurve&) = default;
    ~aCurve() override = default;

    // The edits of aTrajectory, each rebuilding the polyline when it succeeds.
    bool load(const std::string& path);
    void setTrajectory(const aTrajectory& trajectory);
    void addPoint(float x, float y);
    void addPoint(int x, int y) { addPoint(float(x), float(y)); }
    bool insertPoint(std::size_t index, float x, float y);
    bool removePoint(std::size_t index);
    bool movePoint(std::size_t index, float x, float y, bool relative, bool withHandles);
    bool moveHandle(std::size_t index, float x, float y, bool relative);
    bool smoothPoint(std::size_t index);
    void clearPoints();
    void setType(std::uint32_t newKind);
    void setClosed(bool on);
    // With `all` the polyline moves too, without a rebuild.
    void translate(float dx, float dy, bool all);

    // The smallest x and y of the polyline; (0, 0) when it is empty.
    void getTopLeft(float& x, float& y) const;
    const std::vector<aCurvePoint>& getPolyline() const { return polyline; }

    void setHidePath(std::uint32_t hide) { hidePath = hide; }
    std::uint32_t getHidePath() const { return hidePath; }

    // Follows from the first polyline point; needs two polyline points
    // (otherwise the curve stays not running).
    void start();
    // Advances by step pixels along the polyline: aCurveStatus.
    int update(float step);
    void getCurrentPoint(float& x, float& y, double* dir = nullptr) const;
    bool isRunning() const { return running; }

    // The curve's own drawing object.
    aGDI gdi;

private:
    void rebuild();
    void buildSpline();
    void buildBezier();

    mutable bool boundsValid = false;
    mutable float bounds[4] = {};  // x, y, width, height
    std::vector<aCurvePoint> polyline;
    std::uint32_t hidePath = 1;
    bool running = false;
    float posX = 0.0f;
    float posY = 0.0f;
    double direction = 0.0;
    double segmentLength = 0.0;
    double distance = 0.0;
    std::int32_t segment = -1;
};
