#pragma once
// An editable path of control points: a spline through the points (kind 0),
// a chain of cubic Bezier segments with explicit handles (kind 1) or a plain
// polyline (kind 2), open or closed; stored one per ".data" file. aCurve
// turns the points into a drawable, followable polyline.
//
// Kind 1 keeps the layout anchor, handle, handle, anchor, ..., anchor:
// 3n + 1 points with anchors at multiples of 3, and 3n + 3 when closed (the
// closing segment's two handles at the end). Every edit keeps it.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// A control point, also the 16-byte file record.
struct aTrajectoryPoint {
    float x = 0.0f;
    float y = 0.0f;
    // 3 marks a Bezier handle; other values mark an anchor and its node
    // kind in the curves editor (0 smooth, 1 straight, 2 corner).
    std::uint32_t type = 0;
    // Set: translate without `all` leaves the point in place.
    std::uint8_t fixed = 0;
};

enum aTrajectoryKind : std::uint32_t {
    TRAJECTORY_SPLINE = 0,
    TRAJECTORY_BEZIER = 1,
    TRAJECTORY_POLYLINE = 2,
};

constexpr std::uint32_t TRAJECTORY_POINT_HANDLE = 3;

class aTrajectory {
public:
    aTrajectory() = default;
    aTrajectory(const aTrajectory&) = default;
    aTrajectory& operator=(const aTrajectory&) = default;
    virtual ~aTrajectory() = default;

    std::size_t getPointCount() const { return points.size(); }
    bool getPoint(std::size_t index, float& x, float& y) const;
    // Truncated toward zero and held to the int range (NaN gives 0).
    bool getPointInt(std::size_t index, int& x, int& y) const;
    const std::vector<aTrajectoryPoint>& getPoints() const { return points; }
    std::uint32_t getType() const { return kind; }
    bool isClosed() const { return closed != 0; }

    // Taken only while there are no points, and only for kinds 0-2.
    void setType(std::uint32_t newKind);

    // Kind 1 appends two handles and an anchor (all at x, y) after the first anchor.
    void addPoint(float x, float y);
    // Kinds 0 and 2: one anchor before index (0..count). Kind 1: index must
    // be an anchor index from 3 to the count (a closed chain's count adds a
    // point in the closing segment); a handle, the anchor and a handle go in
    // so that the new anchor lands at index.
    bool insertPoint(std::size_t index, float x, float y);
    // Kind 1 refuses handles and removes the anchor with two handles. Too
    // few points left (kind 1 under 7, others under 3) clears everything.
    bool removePoint(std::size_t index);
    // Absolute or relative. Kind 1 anchors moved with handles carry their
    // neighbours (for anchor 0 of a closed chain also the last point).
    bool movePoint(std::size_t index, float x, float y, bool relative, bool withHandles);
    // Kind 1 handles only.
    bool moveHandle(std::size_t index, float x, float y, bool relative);
    // Kind 1 with 4 or more points: sets an anchor's handles from its
    // neighbours; true without change for a handle.
    bool smoothPoint(std::size_t index);
    // Ignored without points and when the value is already set. Kind 1
    // closing appends the two closing handles (a single anchor takes both on
    // itself); opening drops them.
    void setClosed(bool on);
    // Points with `fixed` set stay unless `all`.
    void translate(float dx, float dy, bool all);
    void clear();

    // False (trajectory unchanged) when the file cannot be read or is
    // refused; every refusal is logged with the file name.
    bool load(const std::string& path);
    // Written whole through a temporary file; the old file survives a failure.
    bool save(const std::string& path) const;
    // The ".data" image; buffer null: only its size, 20 + 16 x count.
    std::uint32_t serialize(std::uint8_t* buffer) const;

protected:
    std::uint32_t kind = TRAJECTORY_SPLINE;
    std::uint32_t closed = 0;
    std::vector<aTrajectoryPoint> points;
};
