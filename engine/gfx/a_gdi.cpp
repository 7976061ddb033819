#include "engine/gfx/a_gdi.h"

#include <algorithm>
#include <cmath>

#include "engine/gfx/a_graph_server.h"
#include "engine/util/a_application.h"
#include "engine/util/a_log.h"

namespace {

constexpr float kTwoPi = 6.2831855f;

} // namespace

aGDI::aGDI()
{
    for (TLVertex& v : m_vertices) {
        v.z = 0.0f;
        v.rhw = 1.0f;
    }
    if (!g_application) {
        a_log("aGDI. Error, aApplication object not created!");
        return;
    }
    m_graphServer = g_application->m_graphServer;
    if (!m_graphServer)
        a_log("aGDI. Error, aGraphServer object not created!");
}

int aGDI::segments() const { return std::clamp<int>(m_segments, kMinSegments, kMaxSegments); }

void aGDI::setVertex(int index, float x, float y)
{
    TLVertex& v = m_vertices[index];
    v.x = x;
    v.y = y;
    v.diffuse = m_color;
}

void aGDI::submit(D3DPRIMITIVETYPE type, std::uint32_t primitiveCount)
{
    // The application's current server: an instance may outlive the one
    // it was made under.
    m_graphServer = g_application ? g_application->m_graphServer : nullptr;
    platform::GfxDevice* device = m_graphServer ? m_graphServer->m_device : nullptr;
    if (!device)
        return;
    device->SetVertexShader(kFvfTLVertex);
    device->SetTexture(0, nullptr);
    device->DrawPrimitiveUP(type, primitiveCount, m_vertices, sizeof(TLVertex));
}

void aGDI::drawLine(float x1, float y1, float x2, float y2)
{
    setVertex(0, x1, y1);
    setVertex(1, x2, y2);
    m_curX = x2;
    m_curY = y2;
    submit(D3DPT_LINELIST, 1);
}

void aGDI::drawRect(float x, float y, float w, float h, bool filled)
{
    if (filled) {
        setVertex(0, x, y);
        setVertex(1, x + w, y);
        setVertex(2, x, y + h);
        setVertex(3, x + w, y + h);
        submit(D3DPT_TRIANGLESTRIP, 2);
        return;
    }
    setVertex(0, x, y);
    setVertex(1, x + w - 1.0f, y);
    setVertex(2, x + w - 1.0f, y + h - 1.0f);
    setVertex(3, x, y + h - 1.0f);
    setVertex(4, x, y);
    submit(D3DPT_LINESTRIP, 4);
}

void aGDI::drawRectangle(const aRect& rect, bool filled)
{
    drawRect(float(rect.x), float(rect.y), float(rect.width), float(rect.height), filled);
}

void aGDI::drawQuad(float x1, float y1, float x2, float y2, float x3, float y3, float x4, float y4, bool filled)
{
    if (filled) {
        // Strip order: the fourth corner comes before the third.
        setVertex(0, x1, y1);
        setVertex(1, x2, y2);
        setVertex(2, x4, y4);
        setVertex(3, x3, y3);
        submit(D3DPT_TRIANGLESTRIP, 2);
        return;
    }
    setVertex(0, x1, y1);
    setVertex(1, x2, y2);
    setVertex(2, x3, y3);
    setVertex(3, x4, y4);
    setVertex(4, x1, y1);
    submit(D3DPT_LINESTRIP, 4);
}

void aGDI::drawEllipse(float cx, float cy, float rx, float ry, bool filled)
{
    const int segs = segments();
    const int first = filled ? 1 : 0;
    if (filled)
        setVertex(0, cx, cy);
    const int n = segs - first;
    const float step = kTwoPi / float(n);
    for (int i = 0; i < n; ++i) {
        const float angle = float(i) * step;
        setVertex(first + i, std::cos(angle) * rx + cx, std::sin(angle) * ry + cy);
    }
    m_vertices[segs] = m_vertices[first];
    if (filled)
        submit(D3DPT_TRIANGLEFAN, std::uint32_t(segs - 1));
    else
        submit(D3DPT_LINESTRIP, std::uint32_t(segs));
}

void aGDI::drawRing(float ax, float ay, float arx, float ary, float bx, float by, float brx, float bry)
{
    const int segs = segments();
    const float step = kTwoPi / float(segs);
    for (int k = 0; k < segs; ++k) {
        const float angle = float(k) * step;
        const float c = std::cos(angle), s = std::sin(angle);
        setVertex(2 * k, bx + c * brx, by + s * bry);
        setVertex(2 * k + 1, ax + c * arx, ay + s * ary);
    }
    m_vertices[2 * segs] = m_vertices[0];
    m_vertices[2 * segs + 1] = m_vertices[1];
    submit(D3DPT_TRIANGLESTRIP, std::uint32_t(2 * segs));
}
