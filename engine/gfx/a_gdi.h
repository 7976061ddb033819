#pragma once
// Immediate drawing of untextured, coloured primitives (lines, rectangles,
// quadrilaterals, ellipses, elliptic rings) in back-buffer pixels, one draw
// call per primitive, between the graphics server's beginScene and
// endScene. Uses whatever blend mode is current; changes no render state
// besides the vertex format and the texture. A plain value class: callers
// keep their own instances. Main thread only.
#include <cstdint>

#include "engine/util/a_rect.h"
#include "platform/gfx/d3d8.h"

class aGraphServer;

class aGDI {
public:
    static constexpr int kVertexCount = 400;
    // Segment counts outside this range are held to it when drawing: an
    // ellipse needs segments + 1 vertices, a ring 2 * segments + 2.
    static constexpr int kMinSegments = 3;
    static constexpr int kMaxSegments = (kVertexCount - 2) / 2;

    aGDI();

    // The end point becomes the current position.
    void drawLine(float x1, float y1, float x2, float y2);
    // Filled covers x .. x + w and y .. y + h; the outline runs through the
    // last pixel inside, x + w - 1 and y + h - 1.
    void drawRect(float x, float y, float w, float h, bool filled);
    void drawRectangle(const aRect& rect, bool filled);
    // Corners in order around the quadrilateral.
    void drawQuad(float x1, float y1, float x2, float y2, float x3, float y3, float x4, float y4, bool filled);
    void drawEllipse(float cx, float cy, float rx, float ry, bool filled);
    // The band between ellipse A and ellipse B (either may be the inner one).
    void drawRing(float ax, float ay, float arx, float ary, float bx, float by, float brx, float bry);

    // The server drawn through: the application's, refreshed at each draw;
    // with none every draw does nothing.
    aGraphServer* m_graphServer = nullptr;
    TLVertex m_vertices[kVertexCount];
    std::uint32_t m_color = 0xFFFFFFFF;  // ARGB of every vertex
    std::uint16_t m_segments = 50;       // of ellipses and rings
    float m_curX = 0.0f;                 // end of the last line
    float m_curY = 0.0f;

private:
    int segments() const;
    void setVertex(int index, float x, float y);
    void submit(D3DPRIMITIVETYPE type, std::uint32_t primitiveCount);
};
