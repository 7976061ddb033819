// aGDI on the recording double: the vertex lists it submits.
#include <cmath>

#include "engine/gfx/a_gdi.h"
#include "test_graph_server_fixture.h"

namespace {

class GdiTest : public gstest::RecordingServerTest {
protected:
    void SetUp() override
    {
        RecordingServerTest::SetUp();
        make(320, 240);
        ASSERT_TRUE(server->beginScene());
        rec->clear();
    }
    void TearDown() override
    {
        if (server)
            server->endScene();
        RecordingServerTest::TearDown();
    }

    // The one draw recorded since the last clear.
    const platform::RecordedCall& draw()
    {
        const auto draws = rec->named("DrawPrimitiveUP");
        EXPECT_EQ(draws.size(), 1u);
        static platform::RecordedCall none;
        return draws.empty() ? none : *draws[0];
    }

    using Points = std::vector<std::pair<float, float>>;
    static Points points(const platform::RecordedCall& c)
    {
        Points out;
        for (const TLVertex& v : c.vertices)
            out.emplace_back(v.x, v.y);
        return out;
    }
};

} // namespace

TEST_F(GdiTest, EachPrimitiveIsOneDrawWithoutTextureInTheFixedFormat)
{
    aGDI gdi;
    gdi.m_color = 0x80FF0000;
    gdi.drawLine(1, 2, 30, 40);
    EXPECT_EQ(rec->strings(), (std::vector<std::string>{"SetVertexShader(324)", "SetTexture(0)",
                                                        "DrawPrimitiveUP(2, 1, 28)"}));
    EXPECT_EQ(points(draw()), (Points{{1, 2}, {30, 40}}));
    EXPECT_EQ(draw().vertices[1].diffuse, 0x80FF0000u);
    EXPECT_EQ(draw().vertices[1].z, 0.0f);
    EXPECT_EQ(draw().vertices[1].rhw, 1.0f);
    EXPECT_EQ(gdi.m_graphServer, server.get());
    EXPECT_EQ(gdi.m_curX, 30.0f);
    EXPECT_EQ(gdi.m_curY, 40.0f);

    // No render state of its own.
    rec->clear();
    gdi.drawEllipse(50, 50, 10, 10, true);
    gdi.drawRing(50, 50, 10, 10, 50, 50, 20, 20);
    EXPECT_EQ(rec->count("DrawPrimitiveUP"), 2u);
    EXPECT_EQ(rec->count("SetRenderState"), 0u);
    EXPECT_EQ(rec->count("SetTextureStageState"), 0u);
}

TEST_F(GdiTest, RectanglesAndQuads)
{
    aGDI gdi;
    gdi.drawRect(10, 20, 5, 4, true);
    EXPECT_EQ(draw().str(), "DrawPrimitiveUP(5, 2, 28)");
    EXPECT_EQ(points(draw()), (Points{{10, 20}, {15, 20}, {10, 24}, {15, 24}}));

    rec->clear();
    gdi.drawRect(10, 20, 5, 4, false);
    EXPECT_EQ(draw().str(), "DrawPrimitiveUP(3, 4, 28)");
    EXPECT_EQ(points(draw()), (Points{{10, 20}, {14, 20}, {14, 23}, {10, 23}, {10, 20}}));

    rec->clear();
    gdi.drawRectangle(aRect(-3, 7, 2, 9), false);
    EXPECT_EQ(points(draw()), (Points{{-3, 7}, {-2, 7}, {-2, 15}, {-3, 15}, {-3, 7}}));

    rec->clear();
    gdi.drawQuad(0, 0, 10, 1, 11, 12, 2, 9, true);
    EXPECT_EQ(draw().str(), "DrawPrimitiveUP(5, 2, 28)");
    EXPECT_EQ(points(draw()), (Points{{0, 0}, {10, 1}, {2, 9}, {11, 12}}));

    rec->clear();
    gdi.drawQuad(0, 0, 10, 1, 11, 12, 2, 9, false);
    EXPECT_EQ(draw().str(), "DrawPrimitiveUP(3, 4, 28)");
    EXPECT_EQ(points(draw()), (Points{{0, 0}, {10, 1}, {11, 12}, {2, 9}, {0, 0}}));
}

TEST_F(GdiTest, EllipsesClose)
{
    aGDI gdi;
    gdi.drawEllipse(100, 50, 20, 10, false);
    EXPECT_EQ(draw().str(), "DrawPrimitiveUP(3, 50, 28)");
    auto v = draw().vertices;
    ASSERT_EQ(v.size(), 51u);
    EXPECT_EQ(v[0].x, 120.0f);
    EXPECT_EQ(v[0].y, 50.0f);
    EXPECT_EQ(v[50].x, v[0].x);
    EXPECT_EQ(v[50].y, v[0].y);
    EXPECT_NEAR(v[25].x, 80.0f, 1e-3);  // half way round
    for (const TLVertex& p : v)
        EXPECT_NEAR((p.x - 100) * (p.x - 100) / 400 + (p.y - 50) * (p.y - 50) / 100, 1.0, 1e-4);

    rec->clear();
    gdi.drawEllipse(100, 50, 20, 10, true);
    EXPECT_EQ(draw().str(), "DrawPrimitiveUP(6, 49, 28)");
    v = draw().vertices;
    ASSERT_EQ(v.size(), 51u);
    EXPECT_EQ(v[0].x, 100.0f);
    EXPECT_EQ(v[0].y, 50.0f);
    EXPECT_EQ(v[1].x, 120.0f);
    EXPECT_EQ(v[50].x, v[1].x);
    EXPECT_EQ(v[50].y, v[1].y);
    // 49 rim steps cover the whole turn.
    EXPECT_NEAR(std::atan2((v[2].y - 50) * 2, v[2].x - 100), 6.2831855 / 49, 1e-4);
}

TEST_F(GdiTest, RingAlternatesBAndA)
{
    aGDI gdi;
    gdi.m_segments = 4;
    gdi.drawRing(10, 10, 5, 5, 12, 10, 8, 6);
    EXPECT_EQ(draw().str(), "DrawPrimitiveUP(5, 8, 28)");
    const auto v = points(draw());
    ASSERT_EQ(v.size(), 10u);
    EXPECT_EQ(v[0], (std::pair<float, float>{20, 10}));  // B at angle 0
    EXPECT_EQ(v[1], (std::pair<float, float>{15, 10}));  // A at angle 0
    EXPECT_NEAR(v[2].first, 12, 1e-5);
    EXPECT_NEAR(v[2].second, 16, 1e-5);
    EXPECT_NEAR(v[3].second, 15, 1e-5);
    EXPECT_EQ(v[8], v[0]);
    EXPECT_EQ(v[9], v[1]);
}

TEST_F(GdiTest, SegmentCountsAreHeldToTheArrayAtUse)
{
    aGDI gdi;
    struct Case {
        std::uint16_t segments;
        std::string ellipse, ring;
    } cases[] = {
        {0, "DrawPrimitiveUP(6, 2, 28)", "DrawPrimitiveUP(5, 6, 28)"},
        {1, "DrawPrimitiveUP(6, 2, 28)", "DrawPrimitiveUP(5, 6, 28)"},
        {199, "DrawPrimitiveUP(6, 198, 28)", "DrawPrimitiveUP(5, 398, 28)"},
        {500, "DrawPrimitiveUP(6, 198, 28)", "DrawPrimitiveUP(5, 398, 28)"},
    };
    for (const Case& c : cases) {
        gdi.m_segments = c.segments;
        rec->clear();
        gdi.drawEllipse(100, 100, 50, 50, true);
        gdi.drawRing(100, 100, 40, 40, 100, 100, 50, 50);
        const auto draws = rec->named("DrawPrimitiveUP");
        ASSERT_EQ(draws.size(), 2u);
        EXPECT_EQ(draws[0]->str(), c.ellipse) << c.segments;
        EXPECT_EQ(draws[1]->str(), c.ring) << c.segments;
        EXPECT_EQ(gdi.m_segments, c.segments);  // the field keeps what was written
        for (const TLVertex& v : draws[1]->vertices)
            ASSERT_TRUE(std::isfinite(v.x) && std::isfinite(v.y));
    }
}

TEST_F(GdiTest, WithoutAGraphicsServerNothingIsDrawn)
{
    server->endScene();
    server.reset();
    aGDI gdi;
    EXPECT_EQ(gdi.m_graphServer, nullptr);
    EXPECT_EQ(logged("aGDI. Error, aGraphServer object not created!"), 1u);
    rec->clear();
    gdi.drawRect(0, 0, 10, 10, true);
    gdi.drawEllipse(5, 5, 3, 3, false);
    gdi.drawLine(0, 0, 1, 1);
    EXPECT_TRUE(rec->calls.empty());
    EXPECT_EQ(gdi.m_curX, 1.0f);
}
