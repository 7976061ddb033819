#include "engine/gfx/a_font.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <string_view>
#include <vector>

#include "engine/util/a_file_server.h"
#include "engine/util/a_log.h"
#include "engine/util/a_string.h"

std::shared_ptr<aGDI> g_gdi;

namespace {

// The integer part of v + 0.5 as a 16-bit position; non-finite values give 0.
float snap(float v)
{
    if (!std::isfinite(v))
        return 0.0f;
    return float(std::int16_t(std::clamp(v + 0.5f, -32768.0f, 32767.0f)));
}

// Into one buffer per thread, valid until the next call: narrow text is
// drawn every frame.
const std::wstring& widen(std::string_view text)
{
    static thread_local std::wstring out;
    out.clear();
    for (char c : text)
        out.push_back(str_cp1251CharToWide(static_cast<unsigned char>(c)));
    return out;
}

} // namespace

aFont::aFont(const std::string& path)
{
    if (!g_gdi)
        g_gdi = std::make_shared<aGDI>();
    if (file_getExtension(path) == "ini")
        m_loader = std::make_shared<aFontDataLoaderINI>(path);
    if (m_loader) {
        m_charSpacing = m_loader->charSpacing;
        m_underlineDY = m_loader->underlineDY;
        m_underlineThickness = m_loader->underlineThickness;
        m_underlineColor = m_loader->underlineColor;
    }
}

void aFont::setScale(float v)
{
    m_scale = v;
    const float height = m_loader ? m_loader->fontHeight : 0.0f;
    if (v >= 0.0f)
        m_scaleFactor = v;
    else
        m_scaleFactor = height > 0.0f ? -v / height : 0.0f;
    if (!std::isfinite(m_scaleFactor))
        m_scaleFactor = 0.0f;
}

void aFont::setAngle(float angle)
{
    m_angle = angle;
    m_cosAngle = std::cos(angle);
    m_sinAngle = std::sin(angle);
}

float aFont::getFontHeight() const
{
    A_CHECK(m_loader);
    return m_loader ? m_loader->fontHeight : 0.0f;
}

void aFont::shapeInto(Shape& out, const std::wstring& text) const
{
    out.text = text;
    out.glyphs.clear();
    // The sums are made as measuring and drawing glyph by glyph make them,
    // so that a shaped text lands on the very same positions.
    float width = 0.0f;
    bool underline = false;
    const std::size_t n = text.size();
    for (std::size_t i = 0; i < n; ++i) {
        const wchar_t c = text[i];
        if (m_underlineDY != 0.0f && c == L'_') {
            underline = true;
            continue;
        }
        const aFontChar* glyph = m_loader->getChar(c);
        if (!glyph)
            continue;
        ShapedGlyph g;
        g.rect = glyph->rect;
        width += float(glyph->rect.width);
        if (i > 0) {
            const float kerning = glyph->getKerning(text[i - 1]);
            width += kerning + glyph->preAdvance;
            g.before = glyph->preAdvance + kerning;
            g.hasBefore = true;
        }
        if (i + 1 < n)
            width += glyph->postAdvance + m_charSpacing;
        g.after = glyph->postAdvance + float(glyph->rect.width) + m_charSpacing;
        g.underlined = underline;
        underline = false;
        out.glyphs.push_back(g);
    }
    out.width = width;
}

const aFont::Shape& aFont::shape(const std::wstring& text) const
{
    const std::uint32_t generation = m_loader->generation();
    if (m_shapes.empty() || generation != m_shapesGeneration) {
        m_shapes.assign(2 * kShapeSets, Shape());
        m_shapeRecent.assign(kShapeSets, 0);
        m_shapesGeneration = generation;
    }
    const std::size_t hash = std::hash<std::wstring>()(text);
    const std::size_t set = hash % kShapeSets;
    for (std::uint8_t way = 0; way < 2; ++way) {
        Shape& s = m_shapes[2 * set + way];
        if (s.used && s.hash == hash && s.text == text) {
            m_shapeRecent[set] = way;
            return s;
        }
    }
    const std::uint8_t way = m_shapeRecent[set] ^ 1;
    m_shapeRecent[set] = way;
    Shape& s = m_shapes[2 * set + way];
    shapeInto(s, text);
    s.hash = hash;
    s.used = true;
    return s;
}

std::pair<float, float> aFont::getStringSize(const std::wstring& text) const
{
    if (!m_loader)
        return {0.0f, 0.0f};
    const float s = m_scaleFactor;
    return {shape(text).width * s, m_loader->fontHeight * s};
}

std::pair<float, float> aFont::getStringSize(const std::string& text) const { return getStringSize(widen(text)); }

void aFont::place(Placed& out, float x, float y, const std::wstring& text, std::uint8_t flags) const
{
    out.m_glyphs.clear();
    out.m_segments.clear();
    out.m_font = this;
    out.m_generation = generation();
    out.m_scaleFactor = m_scaleFactor;
    out.m_angle = m_angle;
    if (!m_loader)
        return;
    const Shape& shaped = shape(text);
    const float cs = m_cosAngle, sn = m_sinAngle, s = m_scaleFactor;
    if (flags & (FONT_CENTER_X | FONT_RIGHT | FONT_CENTER_Y | FONT_BOTTOM)) {
        const float w = shaped.width * s, h = m_loader->fontHeight * s;
        const float across = (flags & FONT_RIGHT) ? w : (flags & FONT_CENTER_X) ? w * 0.5f : 0.0f;
        const float down = (flags & FONT_BOTTOM) ? h : (flags & FONT_CENTER_Y) ? h * 0.5f : 0.0f;
        x -= cs * across + sn * down;
        y += sn * across - cs * down;
    }
    const bool textured = m_loader->texture != nullptr;
    const D3DXVECTOR2 scale{s, s};
    const D3DXVECTOR2 corner{0.0f, 0.0f};
    // Gathered as drawn parts and made ready a run at a time.
    static thread_local std::vector<aImage::Part> glyphs;
    glyphs.clear();
    const auto endRun = [&] {
        aImage::prepareParts(glyphs.data(), glyphs.size(), &corner, out.m_glyphs);
        glyphs.clear();
        out.m_segments.emplace_back();
        out.m_segments.back().end = out.m_glyphs.size();
    };
    const bool snapped = flags & FONT_SNAP;
    for (const ShapedGlyph& glyph : shaped.glyphs) {
        const float x0 = x, y0 = y;
        if (glyph.hasBefore) {
            const float a = glyph.before * s;
            x += cs * a;
            y -= sn * a;
        }
        if (textured)
            glyphs.push_back(aImage::Part{snapped ? snap(x) : x, snapped ? snap(y) : y, glyph.rect, scale});
        const float a = glyph.after * s;
        x += cs * a;
        y -= sn * a;
        if (glyph.underlined) {
            // The glyphs before an underline draw first.
            const float t = m_underlineDY * s, th = m_underlineThickness;
            const float p1x = x0 - 0.5f * cs + t * sn, p1y = y0 + 0.5f * sn + t * cs;
            const float p2x = x + 0.5f * cs + t * sn, p2y = y - 0.5f * sn + t * cs;
            endRun();
            Placed::Segment& seg = out.m_segments.back();
            seg.underline = true;
            const float quad[8] = {p1x, p1y, p2x, p2y, p2x + th * sn, p2y + th * cs, p1x + th * sn, p1y + th * cs};
            std::copy(quad, quad + 8, seg.quad);
        }
    }
    endRun();
}

void aFont::drawPlaced(const Placed& placed) const { draw(placed, true); }

void aFont::draw(const Placed& placed, bool keepRuns) const
{
    if (!m_loader)
        return;
    g_gdi->m_color = m_underlineColor ? m_underlineColor : color;
    const aImage* texture = m_loader->texture.get();
    const D3DXVECTOR2 corner{0.0f, 0.0f};
    std::size_t begin = 0;
    for (const Placed::Segment& seg : placed.m_segments) {
        if (texture && seg.end > begin)
            texture->drawPrepared(placed.m_glyphs.data() + begin, seg.end - begin, color, m_angle, &corner,
                                  keepRuns ? &seg.run : nullptr);
        begin = seg.end;
        if (seg.underline) {
            const float* q = seg.quad;
            g_gdi->drawQuad(q[0], q[1], q[2], q[3], q[4], q[5], q[6], q[7], true);
        }
    }
}

void aFont::drawString(float x, float y, const std::wstring& text, std::uint8_t flags)
{
    // Kept between calls for its capacity.
    static thread_local Placed placed;
    place(placed, x, y, text, flags);
    draw(placed, false);
}

void aFont::drawString(float x, float y, const std::string& text, std::uint8_t flags)
{
    drawString(x, y, widen(text), flags);
}

void aFont::drawString(float x, float y, const char* text, std::uint8_t flags)
{
    drawString(x, y, widen(text ? std::string_view(text) : std::string_view()), flags);
}
