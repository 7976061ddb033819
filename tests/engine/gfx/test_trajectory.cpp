// Trajectories (control-point editing, ".data" files) and curves (the
// polyline they describe, following it).
#include <unistd.h>

#include <array>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <limits>

#include "engine/gfx/a_curve.h"
#include "engine/util/a_file_server.h"
#include "test_image_fixture.h"

namespace {

class Trajectories : public imgtest::RecordingTest {
protected:
    const char* appName() const override { return "TrajectoryTest"; }
};

struct P {
    float x, y;
    std::uint32_t type;
};

std::vector<P> pointsOf(const aTrajectory& t)
{
    std::vector<P> out;
    for (const aTrajectoryPoint& p : t.getPoints())
        out.push_back({p.x, p.y, p.type});
    return out;
}

bool operator==(const P& a, const P& b) { return a.x == b.x && a.y == b.y && a.type == b.type; }

void PrintTo(const P& p, std::ostream* os) { *os << "(" << p.x << ", " << p.y << ", " << p.type << ")"; }

// A Bezier chain A0 H H A3 ... with anchors at (10 i, 0) and handles at
// distinct places.
aTrajectory bezier(int anchors)
{
    aTrajectory t;
    t.setType(TRAJECTORY_BEZIER);
    for (int i = 0; i < anchors; ++i)
        t.addPoint(float(10 * i), 0.0f);
    for (std::size_t i = 0; i < t.getPointCount(); ++i)
        if (i % 3 != 0)
            t.moveHandle(i, float(i), float(i % 3 == 1 ? 5 : -5), false);
    return t;
}

// A ".data" image: the words (first the count of size words that follow),
// the header (kind, closed, then filler up to the declared header size)
// and raw 16-byte points. A point block size of 0 is filled in.
struct DataFile {
    std::vector<std::uint32_t> words{2, 8, 0};
    std::uint32_t kind = 0, closed = 0;
    std::vector<std::array<std::uint32_t, 4>> records;
    std::size_t cut = 0;  // bytes dropped from the end

    void point(float x, float y, std::uint32_t type = 0, std::uint8_t fixed = 0)
    {
        std::uint32_t bx, by;
        std::memcpy(&bx, &x, 4);
        std::memcpy(&by, &y, 4);
        records.push_back({bx, by, type, fixed});
    }
    std::string bytes() const
    {
        std::string out;
        auto put = [&](std::uint32_t v) {
            for (int i = 0; i < 4; ++i)
                out += char((v >> (8 * i)) & 0xFF);
        };
        for (std::size_t i = 0; i < words.size(); ++i)
            put(i == 2 && words[i] == 0 ? std::uint32_t(16 * records.size()) : words[i]);
        put(kind);
        put(closed);
        for (std::uint32_t i = 8; i < words[1] && i < 64; i += 4)
            put(0xEEEEEEEE);
        for (const auto& r : records)
            for (std::uint32_t v : r)
                put(v);
        return out.substr(0, out.size() - cut);
    }
};

// ---------------------------------------------------------------------------
// Editing

TEST_F(Trajectories, BezierChainsKeepTheirLayout)
{
    aTrajectory t;
    t.addPoint(1, 1);
    t.setType(TRAJECTORY_BEZIER);  // ignored: there is a point
    EXPECT_EQ(t.getType(), 0u);
    t.clear();
    t.setType(7);
    EXPECT_EQ(t.getType(), 0u);
    t.setType(TRAJECTORY_BEZIER);
    t.addPoint(0, 0);
    t.addPoint(10, 0);
    t.addPoint(20, 0);
    EXPECT_EQ(pointsOf(t), (std::vector<P>{{0, 0, 0}, {10, 0, 3}, {10, 0, 3}, {10, 0, 0}, {20, 0, 3}, {20, 0, 3},
                                           {20, 0, 0}}));
    EXPECT_EQ(t.serialize(nullptr), 20u + 16u * 7u);

    // Insertion only at anchor indexes from 3 to the count.
    for (std::size_t bad : {0, 1, 2, 4, 5, 7, 8})
        EXPECT_FALSE(t.insertPoint(bad, 5, 5)) << bad;
    ASSERT_TRUE(t.insertPoint(3, 5, 5));
    EXPECT_EQ(t.getPointCount(), 10u);
    for (std::size_t i = 0; i < 10; ++i)
        EXPECT_EQ(t.getPoints()[i].type == TRAJECTORY_POINT_HANDLE, i % 3 != 0) << i;
    EXPECT_EQ(pointsOf(t)[3], (P{5, 5, 0}));
    EXPECT_EQ(pointsOf(t)[6], (P{10, 0, 0}));

    // Removing: handles refused; the middle anchor of 7 leaves 4; any of 4 leaves none.
    aTrajectory seven = bezier(3);
    EXPECT_FALSE(seven.removePoint(1));
    EXPECT_FALSE(seven.removePoint(7));
    ASSERT_TRUE(seven.removePoint(3));
    EXPECT_EQ(pointsOf(seven), (std::vector<P>{{0, 0, 0}, {1, 5, 3}, {5, -5, 3}, {20, 0, 0}}));
    aTrajectory last = bezier(3);
    ASSERT_TRUE(last.removePoint(6));
    EXPECT_EQ(pointsOf(last), (std::vector<P>{{0, 0, 0}, {1, 5, 3}, {2, -5, 3}, {10, 0, 0}}));
    seven.setClosed(true);
    EXPECT_TRUE(seven.removePoint(3));
    EXPECT_EQ(seven.getPointCount(), 0u);
    EXPECT_FALSE(seven.isClosed());  // clearing opens

    // Closing appends the mirrored handles; closing again or opening twice does nothing.
    aTrajectory four = bezier(2);
    const auto open = pointsOf(four);
    four.setClosed(true);
    four.setClosed(true);
    EXPECT_EQ(pointsOf(four), (std::vector<P>{{0, 0, 0}, {1, 5, 3}, {2, -5, 3}, {10, 0, 0}, {18, 5, 3},
                                              {-1, -5, 3}}));
    four.setClosed(false);
    four.setClosed(false);
    EXPECT_EQ(pointsOf(four), open);
    aTrajectory one;
    one.setType(TRAJECTORY_BEZIER);
    one.setClosed(true);  // no points: ignored
    EXPECT_FALSE(one.isClosed());
    one.addPoint(3, 4);
    one.setClosed(true);
    EXPECT_EQ(pointsOf(one), (std::vector<P>{{3, 4, 0}, {3, 4, 3}, {3, 4, 3}}));
    // A closed chain takes a point in its closing segment.
    ASSERT_TRUE(one.insertPoint(3, 9, 9));
    EXPECT_EQ(pointsOf(one), (std::vector<P>{{3, 4, 0}, {3, 4, 3}, {9, 9, 3}, {9, 9, 0}, {9, 9, 3}, {3, 4, 3}}));

    // Removing A0 of a closed chain: A3 leads, the closing segment keeps A0's out-handle.
    aTrajectory ring = bezier(3);
    ring.setClosed(true);
    const auto before = pointsOf(ring);
    ASSERT_EQ(before.size(), 9u);
    ASSERT_TRUE(ring.removePoint(0));
    EXPECT_EQ(pointsOf(ring), (std::vector<P>{before[3], before[4], before[5], before[6], before[7], before[2]}));
    EXPECT_TRUE(ring.isClosed());
}

TEST_F(Trajectories, MovingSmoothingAndTranslating)
{
    aTrajectory t = bezier(3);
    t.setClosed(true);
    // Anchors carry their handles (A0 of a closed chain also the last point).
    ASSERT_TRUE(t.movePoint(3, 1, 2, true, true));
    ASSERT_TRUE(t.movePoint(0, 100, 0, false, true));
    ASSERT_TRUE(t.movePoint(6, 0, 0, false, false));
    EXPECT_FALSE(t.movePoint(9, 0, 0, false, false));
    EXPECT_TRUE(t.moveHandle(5, 1, 1, true));
    EXPECT_FALSE(t.moveHandle(3, 1, 1, true));
    EXPECT_EQ(pointsOf(t), (std::vector<P>{{100, 0, 0}, {101, 5, 3}, {3, -3, 3}, {11, 2, 0}, {5, 7, 3}, {6, -4, 3},
                                           {0, 0, 0}, {35, 5, 3}, {99, -5, 3}}));
    aTrajectory spline;
    spline.addPoint(0, 0);
    spline.addPoint(1, 1);
    EXPECT_FALSE(spline.moveHandle(1, 1, 1, true));
    EXPECT_TRUE(spline.movePoint(1, 2, 2, true, true));
    EXPECT_EQ(pointsOf(spline)[0], (P{0, 0, 0}));

    // Smoothing: first, inner and last anchor of an open chain.
    aTrajectory four = bezier(2);
    EXPECT_TRUE(four.smoothPoint(0));  // four points: halfway to the far anchor
    EXPECT_EQ(pointsOf(four)[1], (P{5, 0, 3}));
    EXPECT_TRUE(four.smoothPoint(3));  // to the first anchor
    EXPECT_EQ(pointsOf(four)[2], (P{5, 0, 3}));
    aTrajectory chain = bezier(3);
    chain.movePoint(3, 10, 30, false, false);
    EXPECT_TRUE(chain.smoothPoint(1));  // a handle: nothing to do
    EXPECT_EQ(pointsOf(chain)[1], (P{1, 5, 3}));
    EXPECT_TRUE(chain.smoothPoint(0));
    EXPECT_EQ(pointsOf(chain)[1], (P{1, -2.5f, 3}));  // halfway to point 2
    EXPECT_TRUE(chain.smoothPoint(6));
    EXPECT_EQ(pointsOf(chain)[5], (P{12, 2.5f, 3}));  // halfway to point 4
    EXPECT_TRUE(chain.smoothPoint(3));  // along A0 -> A6, a sixth of its length
    EXPECT_EQ(pointsOf(chain)[4], (P{10 + 20.0f / 6, 30, 3}));
    EXPECT_EQ(pointsOf(chain)[2], (P{10 - 20.0f / 6, 30, 3}));
    // The last anchor of a closed chain looks back to A0.
    chain.setClosed(true);
    chain.movePoint(0, 20, -30, false, false);
    EXPECT_TRUE(chain.smoothPoint(6));
    EXPECT_NEAR(pointsOf(chain)[7].x, 20 + 10 / 6.0f, 1e-4f);  // along A3 (10, 30) -> A0 (20, -30)
    EXPECT_NEAR(pointsOf(chain)[7].y, -10, 1e-4f);
    EXPECT_FALSE(chain.smoothPoint(9));
    EXPECT_FALSE(spline.smoothPoint(0));

    // Kinds 0 and 2: inserting, and removing down to nothing.
    spline.insertPoint(0, -1, -1);
    EXPECT_TRUE(spline.insertPoint(3, 5, 5));
    EXPECT_FALSE(spline.insertPoint(5, 5, 5));
    EXPECT_EQ(pointsOf(spline), (std::vector<P>{{-1, -1, 0}, {0, 0, 0}, {3, 3, 0}, {5, 5, 0}}));
    spline.setClosed(true);
    EXPECT_TRUE(spline.removePoint(1) && spline.removePoint(0) && spline.removePoint(0));
    EXPECT_EQ(spline.getPointCount(), 0u);
    EXPECT_FALSE(spline.isClosed());

    // Integer reads truncate and hold to int.
    aTrajectory big;
    big.addPoint(3.7f, -3.7f);
    big.addPoint(1e20f, -1e20f);
    big.addPoint(std::nanf(""), 2147483520.0f);
    std::vector<int> got;
    int x = 1, y = 1;
    for (std::size_t i = 0; big.getPointInt(i, x, y); ++i)
        got.insert(got.end(), {x, y});
    EXPECT_EQ(got, (std::vector<int>{3, -3, INT_MAX, INT_MIN, 0, 2147483520}));
}

// ---------------------------------------------------------------------------
// Files

TEST_F(Trajectories, FilesRoundTripAndFixedPoints)
{
    DataFile f;
    f.kind = TRAJECTORY_POLYLINE;
    f.point(1.5f, 2.5f, 0, 1);
    f.point(-4, 8, 2, 0);
    const std::string path = putFile("a.data", f.bytes());
    aTrajectory t;
    ASSERT_TRUE(t.load(path));
    EXPECT_EQ(t.getType(), 2u);
    EXPECT_EQ(pointsOf(t), (std::vector<P>{{1.5f, 2.5f, 0}, {-4, 8, 2}}));
    t.translate(10, 10, false);
    EXPECT_EQ(pointsOf(t), (std::vector<P>{{1.5f, 2.5f, 0}, {6, 18, 2}}));
    t.translate(1, 1, true);
    EXPECT_EQ(pointsOf(t)[0], (P{2.5f, 3.5f, 0}));

    // The byte layout, and a round trip of a closed Bezier chain.
    std::vector<std::uint8_t> image(t.serialize(nullptr));
    ASSERT_EQ(image.size(), 52u);
    EXPECT_EQ(t.serialize(image.data()), 52u);
    const std::uint8_t head[] = {2, 0, 0, 0, 8, 0, 0, 0, 32, 0, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(std::memcmp(image.data(), head, sizeof head), 0);
    EXPECT_EQ(image[20 + 12], 1);  // fixed
    EXPECT_EQ(image[20 + 13] | image[20 + 14] | image[20 + 15], 0);

    aTrajectory ring = bezier(3);
    ring.setClosed(true);
    ring.movePoint(4, 0.1f, 1e-7f, true, false);
    const std::string saved = test_env::home() + "/Curves/trajectory_1.data";
    std::filesystem::create_directories(test_env::home() + "/Curves");
    ASSERT_TRUE(ring.save(saved));
    EXPECT_EQ(test_env::readFile(saved).size(), std::size_t(ring.serialize(nullptr)));
    aTrajectory back;
    ASSERT_TRUE(back.load(saved));
    EXPECT_EQ(pointsOf(back), pointsOf(ring));
    EXPECT_TRUE(back.isClosed());
    EXPECT_EQ(back.getType(), 1u);

    // 20 bytes: no points. Extra size words and a longer header are reported and read past.
    DataFile empty;
    empty.kind = 1;
    ASSERT_TRUE(back.load(putFile("e.data", empty.bytes())));
    EXPECT_EQ(back.getPointCount(), 0u);
    EXPECT_EQ(empty.bytes().size(), 20u);
    DataFile odd;
    odd.words = {3, 12, 32, 99};
    odd.point(1, 2);
    odd.point(3, 4);
    newLog();
    ASSERT_TRUE(back.load(putFile("o.data", odd.bytes())));
    EXPECT_EQ(pointsOf(back), (std::vector<P>{{1, 2, 0}, {3, 4, 0}}));
    const std::string log = newLog();
    EXPECT_NE(log.find("aTrajectory. Possibly incorrect file, try converting..."), std::string::npos);
    EXPECT_NE(log.find("aTrajectory. Incorrect structure size, try converting..."), std::string::npos);
    // A point block size that is no multiple of 16 drops the remainder.
    DataFile ragged;
    ragged.words = {2, 8, 20};
    ragged.point(7, 7);
    std::string rb = ragged.bytes() + std::string(4, '\0');
    ASSERT_TRUE(back.load(putFile("r.data", rb)));
    EXPECT_EQ(back.getPointCount(), 1u);
}

TEST_F(Trajectories, BrokenFilesAreRefusedAndFailedSavesKeepTheOldFile)
{
    aTrajectory t = bezier(2);
    const auto kept = pointsOf(t);
    auto refused = [&](const std::string& name, const std::string& bytes, const char* why) {
        newLog();
        EXPECT_FALSE(t.load(putFile(name, bytes))) << name;
        EXPECT_EQ(pointsOf(t), kept) << name;
        EXPECT_EQ(t.getType(), 1u) << name;
        const std::string log = newLog();
        EXPECT_NE(log.find(name + ": " + why), std::string::npos) << name << "\n" << log;
    };
    DataFile ok;
    ok.point(1, 1);
    ok.point(2, 2);
    refused("short.data", ok.bytes().substr(0, 3), "the file is too short");
    refused("words.data", std::string("\1\0\0\0\x08\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0", 20), "the size words are missing");
    refused("header.data", ok.bytes().substr(0, 16), "the header is cut short");
    refused("hheader.data", ok.bytes().substr(0, 4) + std::string("\xF0\xFF\xFF\xFF", 4) + ok.bytes().substr(8),
            "the header is cut short");
    refused("mwords.data", std::string("\xFF\xFF\xFF\x3F", 4) + ok.bytes().substr(4), "the header is cut short");
    DataFile cut = ok;
    cut.cut = 1;
    refused("cut.data", cut.bytes(), "the points are cut short");
    DataFile overstated = ok;
    overstated.words = {2, 8, 0xFFFFFFF0u};
    refused("over.data", overstated.bytes(), "the points are cut short");
    DataFile kind = ok;
    kind.kind = 3;
    refused("kind.data", kind.bytes(), "the kind is not 0, 1 or 2");
    for (float bad : {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity()}) {
        DataFile nan = ok;
        nan.point(bad, 0);
        refused("nan.data", nan.bytes(), "a point is not a finite number");
    }
    DataFile chain;
    chain.kind = 1;
    for (int i = 0; i < 5; ++i)
        chain.point(float(i), 0);
    refused("chain5.data", chain.bytes(), "the Bezier chain does not hold");
    chain.records.resize(4);
    chain.closed = 1;
    refused("chain4c.data", chain.bytes(), "the Bezier chain does not hold");
    refused("empty.data", "", "the file is empty");
    EXPECT_FALSE(t.load(test_env::home() + "/missing.data"));

    // A write that fails leaves the old file whole.
    const std::string path = putFile("keep.data", ok.bytes());
    struct FailWrites {
        FailWrites()
        {
            g_fileWriteFunction = [](int, const void*, std::size_t) -> ssize_t {
                errno = ENOSPC;
                return -1;
            };
        }
        ~FailWrites() { g_fileWriteFunction = ::write; }
    };
    {
        FailWrites failing;
        EXPECT_FALSE(t.save(path));
    }
    EXPECT_EQ(test_env::readFile(path), ok.bytes());
    EXPECT_TRUE(t.save(path));
    EXPECT_NE(test_env::readFile(path), ok.bytes());
}

// ---------------------------------------------------------------------------
// Curves

bool onPolyline(const aCurve& c, const aTrajectoryPoint& p)
{
    for (const aCurvePoint& q : c.getPolyline())
        if (std::memcmp(&q.x, &p.x, 4) == 0 && std::memcmp(&q.y, &p.y, 4) == 0)
            return true;
    return false;
}

TEST_F(Trajectories, CurvesPassThroughTheirControlPoints)
{
    // A straight Bezier segment: its ends and the three quarter points.
    aCurve straight;
    straight.setType(TRAJECTORY_BEZIER);
    straight.addPoint(0, 0);
    straight.addPoint(40, 0);
    straight.moveHandle(1, 10, 0, false);
    straight.moveHandle(2, 30, 0, false);
    ASSERT_EQ(straight.getPolyline().size(), 5u);
    EXPECT_EQ(straight.getPolyline()[2].x, 20.0f);

    aCurve poly;
    poly.setType(TRAJECTORY_POLYLINE);
    poly.addPoint(0, 0);
    EXPECT_TRUE(poly.getPolyline().empty());  // one control point
    poly.addPoint(10, 0);
    poly.addPoint(10, 10);
    poly.setClosed(true);
    ASSERT_EQ(poly.getPolyline().size(), 4u);
    EXPECT_EQ(poly.getPolyline()[3].x, 0.0f);
    EXPECT_EQ(poly.getPolyline()[3].y, 0.0f);

    // Awkward coordinates: every control point of a spline and every anchor
    // of a chain is on the polyline bit for bit, open and closed.
    const float xs[] = {10.1f, 73.3f, 151.7f, 203.9f, 260.3f};
    const float ys[] = {33.7f, 140.1f, 12.9f, 201.3f, 77.7f};
    for (std::uint32_t kind : {TRAJECTORY_SPLINE, TRAJECTORY_BEZIER}) {
        for (bool closed : {false, true}) {
            aCurve c;
            c.setType(kind);
            for (int i = 0; i < 5; ++i)
                c.addPoint(xs[i], ys[i]);
            for (std::size_t i = 0; i < c.getPointCount(); ++i)
                c.smoothPoint(i);
            c.setClosed(closed);
            const auto& pts = c.getPoints();
            for (std::size_t i = 0; i < pts.size(); i += kind == TRAJECTORY_BEZIER ? 3 : 1)
                EXPECT_TRUE(onPolyline(c, pts[i])) << kind << closed << i;
            EXPECT_GT(c.getPolyline().size(), 20u);
            EXPECT_LT(c.getPolyline().size(), 400u);
            const aCurvePoint end = c.getPolyline().back();
            EXPECT_EQ(end.x, closed ? xs[0] : xs[4]);
            EXPECT_EQ(end.y, closed ? ys[0] : ys[4]);
        }
    }

    // Zero-length segments and huge coordinates.
    aCurve same;
    same.addPoint(5, 5);
    same.addPoint(5, 5);
    EXPECT_EQ(same.getPolyline().size(), 3u);
    same.start();
    EXPECT_EQ(same.update(1.0f), CURVE_END_REACHED);
    for (std::uint32_t kind : {TRAJECTORY_SPLINE, TRAJECTORY_BEZIER}) {
        aCurve huge;
        huge.setType(kind);
        huge.addPoint(-1e30f, 0.0f);
        huge.addPoint(1e30f, 1e30f);
        huge.addPoint(0.0f, -3e30f);
        huge.setClosed(true);
        EXPECT_LE(huge.getPolyline().size(), aCurve::kMaxPolylinePoints + 64) << kind;  // plus the pieces under way
        EXPECT_GT(huge.getPolyline().size(), 1000u);
    }
}

TEST_F(Trajectories, FollowingBoundsAndRebuilds)
{
    aCurve c;
    c.setType(TRAJECTORY_POLYLINE);
    c.start();  // nothing to follow
    EXPECT_FALSE(c.isRunning());
    EXPECT_EQ(c.update(1.0f), CURVE_NOT_RUNNING);
    float x = 1, y = 1;
    c.getTopLeft(x, y);
    EXPECT_EQ(x, 0.0f);
    EXPECT_EQ(y, 0.0f);
    c.addPoint(0, 0);
    c.start();
    EXPECT_FALSE(c.isRunning());
    c.addPoint(10, 0);
    c.addPoint(10, 0);  // a zero-length segment is passed over
    c.addPoint(10, 10);

    c.start();
    double dir = 1;
    c.getCurrentPoint(x, y, &dir);
    EXPECT_EQ(dir, 0.0);
    EXPECT_EQ(c.update(-3.0f), CURVE_MOVING);  // before the first segment: stays on the start
    c.getCurrentPoint(x, y);
    EXPECT_EQ(x, 0.0f);
    c.start();
    EXPECT_EQ(c.update(5.0f), CURVE_MOVING);
    c.getCurrentPoint(x, y);
    EXPECT_EQ(x, 5.0f);
    EXPECT_EQ(y, 0.0f);
    EXPECT_EQ(c.update(10.0f), CURVE_MOVING);
    c.getCurrentPoint(x, y, &dir);
    EXPECT_NEAR(x, 10.0f, 1e-5f);
    EXPECT_NEAR(y, 5.0f, 1e-5f);
    EXPECT_NEAR(dir, M_PI / 2, 1e-9);

    // translate with `all` moves the polyline without a rebuild: following goes on.
    aCurve copy(c);
    c.translate(100, 50, true);
    EXPECT_TRUE(c.isRunning());
    c.getTopLeft(x, y);
    EXPECT_EQ(x, 100.0f);
    EXPECT_EQ(y, 50.0f);
    EXPECT_EQ(c.getPolyline()[3].y, 60.0f);
    EXPECT_EQ(c.update(100.0f), CURVE_END_REACHED);
    c.getCurrentPoint(x, y);
    EXPECT_EQ(x, 110.0f);
    EXPECT_EQ(y, 60.0f);
    EXPECT_EQ(c.update(1.0f), CURVE_NOT_RUNNING);
    c.translate(1, 1, false);  // rebuilt from the control points
    c.getTopLeft(x, y);
    EXPECT_EQ(x, 101.0f);

    // The copy keeps the following state; a failed edit keeps it, a good one stops it.
    EXPECT_TRUE(copy.isRunning());
    EXPECT_EQ(copy.getHidePath(), 1u);
    EXPECT_FALSE(copy.removePoint(9));
    EXPECT_TRUE(copy.isRunning());
    EXPECT_TRUE(copy.movePoint(3, 10, 20, false, false));
    EXPECT_FALSE(copy.isRunning());
    EXPECT_EQ(copy.getPolyline().back().y, 20.0f);

    // Loading rebuilds; a refused file leaves the curve as it was.
    aTrajectory source = bezier(3);
    ASSERT_TRUE(source.save(test_env::home() + "/c.data"));
    aCurve loaded;
    ASSERT_TRUE(loaded.load(test_env::home() + "/c.data"));
    EXPECT_EQ(loaded.getPolyline().front().x, 0.0f);
    EXPECT_EQ(loaded.getPolyline().back().x, 20.0f);
    const std::size_t size = loaded.getPolyline().size();
    EXPECT_FALSE(loaded.load(putFile("bad.data", "xx")));
    EXPECT_EQ(loaded.getPolyline().size(), size);
    aCurve assigned;
    assigned.setTrajectory(source);
    EXPECT_EQ(assigned.getPolyline().size(), size);
    assigned.clearPoints();
    EXPECT_TRUE(assigned.getPolyline().empty());
}

} // namespace
