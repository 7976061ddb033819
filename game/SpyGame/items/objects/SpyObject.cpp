#include "game/SpyGame/items/objects/SpyObject.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>

#include "engine/util/a_log.h"
#include "engine/util/a_string.h"

namespace {

// Offsets and sizes beyond this are data errors; they would only overflow
// the 16-bit rectangles further down.
constexpr float kMaxCoordinate = 100000.0f;

bool parseHexColor(const std::string& text, std::uint32_t& out)
{
    std::string digits = text;
    if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X'))
        digits = digits.substr(2);
    if (digits.empty() || digits.size() > 8)
        return false;
    for (char c : digits)
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return false;
    out = std::uint32_t(std::strtoul(digits.c_str(), nullptr, 16));
    return true;
}

} // namespace

bool CSpyObject::Parse(const std::string& className, const std::vector<std::string>& words,
                       const std::string& defaultName, const std::string& file, const std::string& section)
{
    m_class = className;
    m_name = defaultName;
    m_file = file;
    m_section = section;
    m_hit = DefaultHit();
    for (const std::string& word : words) {
        const std::size_t eq = word.find('=');
        if (eq == std::string::npos || eq == 0) {
            Log("'" + word + "' is no tag=value, ignored");
            continue;
        }
        const std::string key = word.substr(0, eq);
        const std::string value = word.substr(eq + 1);
        if (!ParseCommonTag(key, value) && !ParseTag(key, value))
            Log("unknown tag '" + key + "' ignored");
    }
    return Validate();
}

bool CSpyObject::ParseCommonTag(const std::string& key, const std::string& value)
{
    if (key == "name") {
        if (value.empty())
            Log("empty name ignored");
        else
            m_name = value;
    } else if (key == "dx" || key == "dy") {
        float v = 0.0f;
        if (TagFloat(key, value, v)) {
            if (std::fabs(v) > kMaxCoordinate) {
                Log(key + " out of range, 0 used");
                v = 0.0f;
            }
            (key == "dx" ? m_dx : m_dy) = v;
        }
    } else if (key == "layer") {
        TagInt(key, value, m_layer);
    } else if (key == "state") {
        m_state = value;
    } else if (key == "draw") {
        TagFlag(key, value, m_draw);
    } else if (key == "hit") {
        TagFlag(key, value, m_hit);
    } else if (key == "mirror") {
        TagFlag(key, value, m_mirror);
    } else if (key == "start") {
        TagFlag(key, value, m_start);
    } else if (key == "alpha") {
        float v = m_alpha;
        if (TagFloat(key, value, v)) {
            if (v < 0.0f || v > 1.0f)
                Log("alpha " + value + " clamped to 0-1");
            m_alpha = std::clamp(v, 0.0f, 1.0f);
        }
    } else if (key == "color") {
        if (!parseHexColor(value, m_color))
            Log("bad color '" + value + "' ignored");
    } else {
        return false;
    }
    return true;
}

void CSpyObject::Draw(const CSpyPlace& place) const
{
    if (m_draw && m_fade > 0.0f && m_alpha > 0.0f && place.alpha > 0.0f)
        DrawAt(place);
}

bool CSpyObject::HitTest(const CSpyPlace& place, float x, float y) const
{
    float left = 0.0f, top = 0.0f, right = 0.0f, bottom = 0.0f;
    if (!m_hit || !GetBox(left, top, right, bottom))
        return false;
    return x >= place.x + left * place.scale && x < place.x + right * place.scale &&
           y >= place.y + top * place.scale && y < place.y + bottom * place.scale;
}

bool CSpyObject::GetBox(float& left, float& top, float& right, float& bottom) const
{
    float w = 0.0f, h = 0.0f;
    if (!GetSize(w, h))
        return false;
    left = m_dx;
    top = m_dy;
    right = m_dx + w;
    bottom = m_dy + h;
    return true;
}

bool CSpyObject::IsShownIn(const std::string& visualState, bool hover) const
{
    if (m_state.empty())
        return true;
    if (IsHover())
        return hover;
    return m_state == visualState;
}

void CSpyObject::SetFade(float fade) { m_fade = std::isfinite(fade) ? std::clamp(fade, 0.0f, 1.0f) : 1.0f; }

std::uint32_t CSpyObject::DrawColor(const CSpyPlace& place) const
{
    const float a = float(m_color >> 24) * m_alpha * m_fade * std::clamp(place.alpha, 0.0f, 1.0f);
    const std::uint32_t alpha = std::uint32_t(std::clamp(a + 0.5f, 0.0f, 255.0f));
    return alpha << 24 | (m_color & 0x00FFFFFF);
}

void CSpyObject::Log(const std::string& message) const
{
    a_log("CSpyObject. File '%s' [%s] %s: %s", m_file.c_str(), m_section.c_str(), m_name.c_str(), message.c_str());
}

bool CSpyObject::TagFloat(const std::string& key, const std::string& value, float& out) const
{
    if (!str_isDouble(value)) {
        Log("bad number " + key + "=" + value + " ignored");
        return false;
    }
    const double v = str_toDouble(value);
    if (!std::isfinite(v) || std::fabs(v) > 1e30) {
        Log("bad number " + key + "=" + value + " ignored");
        return false;
    }
    out = float(v);
    return true;
}

bool CSpyObject::TagInt(const std::string& key, const std::string& value, int& out) const
{
    if (!str_isInt(value)) {
        Log("bad integer " + key + "=" + value + " ignored");
        return false;
    }
    out = str_toInt(value);
    return true;
}

bool CSpyObject::TagFlag(const std::string& key, const std::string& value, bool& out) const
{
    int v = 0;
    if (!TagInt(key, value, v))
        return false;
    out = v != 0;
    return true;
}

bool CSpyPixelObject::ParseTag(const std::string& key, const std::string& value)
{
    if (key != "hitalpha")
        return false;
    int v = m_hitAlpha;
    if (TagInt(key, value, v)) {
        if (v < 0 || v > 255)
            Log("hitalpha " + value + " clamped to 0-255");
        m_hitAlpha = std::clamp(v, 0, 255);
    }
    return true;
}

bool CSpyPixelObject::HitTest(const CSpyPlace& place, float x, float y) const
{
    float w = 0.0f, h = 0.0f;
    if (!m_hit || !GetSize(w, h) || !(place.scale > 0.0f))
        return false;
    // Box first: no texel is read for a point outside the picture.
    const float lx = (x - ScreenX(place)) / place.scale;
    const float ly = (y - ScreenY(place)) / place.scale;
    if (!(lx >= 0.0f && lx < w && ly >= 0.0f && ly < h))
        return false;
    int tx = int(lx);
    const int ty = int(ly);
    if (m_mirror)
        tx = int(w) - 1 - tx;
    return int(TexelAt(tx, ty) >> 24) >= m_hitAlpha;
}
