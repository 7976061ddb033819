#include "engine/gfx/a_trajectory.h"

#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "engine/util/a_file_server.h"
#include "engine/util/a_log.h"

namespace {

constexpr std::uint32_t kHeaderSize = 8;
constexpr std::uint32_t kPointSize = 16;

std::uint32_t readU32(const std::uint8_t* p)
{
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}

float readF32(const std::uint8_t* p)
{
    const std::uint32_t bits = readU32(p);
    float v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}

void writeU32(std::uint8_t* p, std::uint32_t v)
{
    p[0] = std::uint8_t(v);
    p[1] = std::uint8_t(v >> 8);
    p[2] = std::uint8_t(v >> 16);
    p[3] = std::uint8_t(v >> 24);
}

void writeF32(std::uint8_t* p, float v)
{
    std::uint32_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    writeU32(p, bits);
}

int toInt(float v)
{
    if (v != v)
        return 0;
    if (v <= float(INT_MIN))
        return INT_MIN;
    if (v >= float(INT_MAX))  // float(INT_MAX) is 2^31, already out of range
        return INT_MAX;
    return int(v);
}

bool isAnchorIndex(std::size_t index) { return index % 3 == 0; }

} // namespace

bool aTrajectory::getPoint(std::size_t index, float& x, float& y) const
{
    if (index >= points.size())
        return false;
    x = points[index].x;
    y = points[index].y;
    return true;
}

bool aTrajectory::getPointInt(std::size_t index, int& x, int& y) const
{
    if (index >= points.size())
        return false;
    x = toInt(points[index].x);
    y = toInt(points[index].y);
    return true;
}

void aTrajectory::setType(std::uint32_t newKind)
{
    if (points.empty() && newKind <= TRAJECTORY_POLYLINE)
        kind = newKind;
}

void aTrajectory::addPoint(float x, float y)
{
    aTrajectoryPoint p;
    p.x = x;
    p.y = y;
    if (kind == TRAJECTORY_BEZIER && !points.empty()) {
        aTrajectoryPoint h = p;
        h.type = TRAJECTORY_POINT_HANDLE;
        points.push_back(h);
        points.push_back(h);
    }
    points.push_back(p);
}

bool aTrajectory::insertPoint(std::size_t index, float x, float y)
{
    if (index > points.size())
        return false;
    aTrajectoryPoint p;
    p.x = x;
    p.y = y;
    if (kind != TRAJECTORY_BEZIER) {
        points.insert(points.begin() + std::ptrdiff_t(index), p);
        return true;
    }
    if (index < 3 || !isAnchorIndex(index))
        return false;
    aTrajectoryPoint h = p;
    h.type = TRAJECTORY_POINT_HANDLE;
    points.insert(points.begin() + std::ptrdiff_t(index - 1), 2, h);
    points.insert(points.begin() + std::ptrdiff_t(index), p);
    return true;
}

bool aTrajectory::removePoint(std::size_t index)
{
    const std::size_t n = points.size();
    if (index >= n)
        return false;
    if (kind == TRAJECTORY_BEZIER) {
        if (!isAnchorIndex(index))
            return false;
        if (n < 7) {
            clear();
        } else if (index == 0 && closed) {
            // The second anchor becomes the first; its old in-handle (from
            // the segment removed) is replaced by the first out-handle.
            points.pop_back();
            points.push_back(points[2]);
            points.erase(points.begin(), points.begin() + 3);
        } else {
            std::size_t at = index;
            if (at == n - 1)
                --at;
            if (at != 0)
                --at;
            points.erase(points.begin() + std::ptrdiff_t(at), points.begin() + std::ptrdiff_t(at + 3));
        }
        return true;
    }
    if (n < 3)
        clear();
    else
        points.erase(points.begin() + std::ptrdiff_t(index));
    return true;
}

bool aTrajectory::movePoint(std::size_t index, float x, float y, bool relative, bool withHandles)
{
    const std::size_t n = points.size();
    if (index >= n)
        return false;
    aTrajectoryPoint& p = points[index];
    const float dx = relative ? x : x - p.x;
    const float dy = relative ? y : y - p.y;
    if (relative) {
        p.x += x;
        p.y += y;
    } else {
        p.x = x;
        p.y = y;
    }
    if (kind == TRAJECTORY_BEZIER && withHandles && isAnchorIndex(index)) {
        auto shift = [&](std::size_t i) {
            points[i].x += dx;
            points[i].y += dy;
        };
        if (index > 0)
            shift(index - 1);
        if (index + 1 < n)
            shift(index + 1);
        if (index == 0 && closed && n > 2)
            shift(n - 1);
    }
    return true;
}

bool aTrajectory::moveHandle(std::size_t index, float x, float y, bool relative)
{
    if (kind != TRAJECTORY_BEZIER || index >= points.size() || isAnchorIndex(index))
        return false;
    aTrajectoryPoint& p = points[index];
    if (relative) {
        p.x += x;
        p.y += y;
    } else {
        p.x = x;
        p.y = y;
    }
    return true;
}

bool aTrajectory::smoothPoint(std::size_t index)
{
    const std::size_t n = points.size();
    if (kind != TRAJECTORY_BEZIER || n < 4 || index >= n)
        return false;
    if (!isAnchorIndex(index))
        return true;
    auto midpoint = [&](std::size_t target, std::size_t a, std::size_t b) {
        points[target].x = (points[a].x + points[b].x) / 2.0f;
        points[target].y = (points[a].y + points[b].y) / 2.0f;
    };
    if (index == 0) {
        midpoint(1, 0, n == 4 ? 3 : 2);
        return true;
    }
    if (index == n - 1) {
        midpoint(n - 2, n - 1, n == 4 ? n - 4 : n - 3);
        return true;
    }
    std::size_t j = index + 3;
    if (j == n)
        j = 0;
    const float ddx = points[j].x - points[index - 3].x;
    const float ddy = points[j].y - points[index - 3].y;
    const float angle = std::atan2(ddy, ddx);
    const float length = std::sqrt(ddx * ddx + ddy * ddy) / 6.0f;
    const float hx = length * std::cos(angle), hy = length * std::sin(angle);
    points[index + 1].x = points[index].x + hx;
    points[index + 1].y = points[index].y + hy;
    points[index - 1].x = points[index].x - hx;
    points[index - 1].y = points[index].y - hy;
    return true;
}

void aTrajectory::setClosed(bool on)
{
    if (points.empty() || (closed != 0) == on)
        return;
    if (kind == TRAJECTORY_BEZIER) {
        const std::size_t n = points.size();
        if (on) {
            aTrajectoryPoint in, out;
            in.type = out.type = TRAJECTORY_POINT_HANDLE;
            if (n == 1) {
                in.x = out.x = points[0].x;
                in.y = out.y = points[0].y;
            } else {
                in.x = 2.0f * points[n - 1].x - points[n - 2].x;
                in.y = 2.0f * points[n - 1].y - points[n - 2].y;
                out.x = 2.0f * points[0].x - points[1].x;
                out.y = 2.0f * points[0].y - points[1].y;
            }
            points.push_back(in);
            points.push_back(out);
        } else if (n >= 2) {
            points.resize(n - 2);
        }
    }
    closed = on ? 1 : 0;
}

void aTrajectory::translate(float dx, float dy, bool all)
{
    for (aTrajectoryPoint& p : points) {
        if (p.fixed && !all)
            continue;
        p.x += dx;
        p.y += dy;
    }
}

void aTrajectory::clear()
{
    points.clear();
    closed = 0;
}

bool aTrajectory::load(const std::string& path)
{
    auto refuse = [&](const char* why) {
        a_log("aTrajectory. %s: %s, not loaded", path.c_str(), why);
        return false;
    };
    aFile file(path);
    if (!file.isLoaded()) {
        // A missing or unreadable file is logged by the file layer; an empty one is not.
        if (file_isExist(path, true) && file_getSize(path) == 0)
            refuse("the file is empty");
        return false;
    }
    const std::uint8_t* data = file.data();
    const std::uint64_t size = file.size();
    if (size < 4)
        return refuse("the file is too short");
    const std::uint32_t words = readU32(data);
    if (words != 2)
        a_log("aTrajectory. Possibly incorrect file, try converting...");
    if (words < 2 || size < 12)
        return refuse("the size words are missing");
    const std::uint32_t headerSize = readU32(data + 4);
    const std::uint32_t blockSize = readU32(data + 8);
    if (headerSize != kHeaderSize)
        a_log("aTrajectory. Incorrect structure size, try converting...");
    const std::uint64_t headerAt = 4 + 4 * std::uint64_t(words);
    if (headerSize < kHeaderSize || headerAt + headerSize > size)
        return refuse("the header is cut short");
    const std::uint64_t pointsAt = headerAt + headerSize;
    const std::uint64_t count = blockSize / kPointSize;
    if (pointsAt + count * kPointSize > size)
        return refuse("the points are cut short");
    const std::uint32_t newKind = readU32(data + headerAt);
    std::uint32_t newClosed = readU32(data + headerAt + 4) != 0 ? 1 : 0;
    if (newKind > TRAJECTORY_POLYLINE)
        return refuse("the kind is not 0, 1 or 2");
    if (count == 0)
        newClosed = 0;
    if (newKind == TRAJECTORY_BEZIER && count > 0 && count % 3 != (newClosed ? 0u : 1u))
        return refuse("the Bezier chain does not hold 3n + 1 points (3n + 3 when closed)");

    std::vector<aTrajectoryPoint> loaded(count);
    for (std::uint64_t i = 0; i < count; ++i) {
        const std::uint8_t* r = data + pointsAt + i * kPointSize;
        aTrajectoryPoint& p = loaded[i];
        p.x = readF32(r);
        p.y = readF32(r + 4);
        p.type = readU32(r + 8);
        p.fixed = r[12];
        if (!std::isfinite(p.x) || !std::isfinite(p.y))
            return refuse("a point is not a finite number");
    }
    kind = newKind;
    closed = newClosed;
    points.swap(loaded);
    return true;
}

std::uint32_t aTrajectory::serialize(std::uint8_t* buffer) const
{
    const std::uint32_t total = 4 + 4 * 2 + kHeaderSize + kPointSize * std::uint32_t(points.size());
    if (!buffer)
        return total;
    writeU32(buffer, 2);
    writeU32(buffer + 4, kHeaderSize);
    writeU32(buffer + 8, kPointSize * std::uint32_t(points.size()));
    writeU32(buffer + 12, kind);
    writeU32(buffer + 16, closed);
    std::uint8_t* r = buffer + 20;
    for (const aTrajectoryPoint& p : points) {
        writeF32(r, p.x);
        writeF32(r + 4, p.y);
        writeU32(r + 8, p.type);
        r[12] = p.fixed;
        r[13] = r[14] = r[15] = 0;
        r += kPointSize;
    }
    return total;
}

bool aTrajectory::save(const std::string& path) const
{
    std::vector<std::uint8_t> image(serialize(nullptr));
    serialize(image.data());
    return file_writeFull(path, image.data(), std::uint32_t(image.size()));
}
