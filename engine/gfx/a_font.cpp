#include "engine/gfx/a_font.h"

#include <algorithm>
#include <cmath>
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

std::wstring widen(const std::string& text)
{
    std::wstring out;
    out.reserve(text.size());
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

std::pair<float, float> aFont::getStringSize(const std::wstring& text) const
{
    if (!m_loader)
        return {0.0f, 0.0f};
    const float s = m_scaleFactor;
    float width = 0.0f;
    const std::size_t n = text.size();
    for (std::size_t i = 0; i < n; ++i) {
        const wchar_t c = text[i];
        const aFontChar* glyph = m_loader->getChar(c);
        if (!glyph || (m_underlineDY != 0.0f && c == L'_'))
            continue;
        width += float(glyph->rect.width);
        if (i > 0)
            width += glyph->getKerning(text[i - 1]) + glyph->preAdvance;
        if (i + 1 < n)
            width += glyph->postAdvance + m_charSpacing;
    }
    return {width * s, m_loader->fontHeight * s};
}

std::pair<float, float> aFont::getStringSize(const std::string& text) const { return getStringSize(widen(text)); }

void aFont::drawString(float x, float y, const std::wstring& text, std::uint8_t flags)
{
    if (!m_loader)
        return;
    const float cs = m_cosAngle, sn = m_sinAngle, s = m_scaleFactor;
    if (flags & (FONT_CENTER_X | FONT_RIGHT | FONT_CENTER_Y | FONT_BOTTOM)) {
        const auto [w, h] = getStringSize(text);
        const float across = (flags & FONT_RIGHT) ? w : (flags & FONT_CENTER_X) ? w * 0.5f : 0.0f;
        const float down = (flags & FONT_BOTTOM) ? h : (flags & FONT_CENTER_Y) ? h * 0.5f : 0.0f;
        x -= cs * across + sn * down;
        y += sn * across - cs * down;
    }
    g_gdi->m_color = m_underlineColor ? m_underlineColor : color;

    const aImage* texture = m_loader->texture.get();
    const D3DXVECTOR2 scale{s, s};
    const D3DXVECTOR2 corner{0.0f, 0.0f};
    // The glyphs go to the texture as one run (an underline between them
    // draws the glyphs before it first). Kept between calls.
    static thread_local std::vector<aImage::Part> glyphs;
    glyphs.clear();
    const auto drawGlyphs = [&] {
        if (texture && !glyphs.empty())
            texture->drawParts(glyphs.data(), glyphs.size(), color, m_angle, &corner);
        glyphs.clear();
    };
    bool underline = false;
    float x0 = 0.0f, y0 = 0.0f;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const wchar_t c = text[i];
        if (m_underlineDY != 0.0f && c == L'_') {
            x0 = x;
            y0 = y;
            underline = true;
            continue;
        }
        const aFontChar* glyph = m_loader->getChar(c);
        if (!glyph)
            continue;
        if (i > 0) {
            const float a = (glyph->preAdvance + glyph->getKerning(text[i - 1])) * s;
            x += cs * a;
            y -= sn * a;
        }
        if (texture) {
            const bool snapped = flags & FONT_SNAP;
            glyphs.push_back(aImage::Part{snapped ? snap(x) : x, snapped ? snap(y) : y, glyph->rect, scale});
        }
        const float a = (glyph->postAdvance + float(glyph->rect.width) + m_charSpacing) * s;
        x += cs * a;
        y -= sn * a;
        if (underline) {
            const float t = m_underlineDY * s, th = m_underlineThickness;
            const float p1x = x0 - 0.5f * cs + t * sn, p1y = y0 + 0.5f * sn + t * cs;
            const float p2x = x + 0.5f * cs + t * sn, p2y = y - 0.5f * sn + t * cs;
            drawGlyphs();
            g_gdi->drawQuad(p1x, p1y, p2x, p2y, p2x + th * sn, p2y + th * cs, p1x + th * sn, p1y + th * cs, true);
            underline = false;
        }
    }
    drawGlyphs();
}

void aFont::drawString(float x, float y, const std::string& text, std::uint8_t flags)
{
    drawString(x, y, widen(text), flags);
}

void aFont::drawString(float x, float y, const char* text, std::uint8_t flags)
{
    drawString(x, y, std::string(text ? text : ""), flags);
}
