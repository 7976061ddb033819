#include "game/shell/c_credits.h"

#include <algorithm>
#include <cmath>

#include "engine/gfx/a_font.h"
#include "engine/gfx/a_image.h"
#include "engine/gfx/a_image_manager.h"
#include "engine/util/a_file_server.h"
#include "engine/util/a_locale_server.h"
#include "engine/util/a_log.h"
#include "engine/util/a_options_file.h"
#include "game/shell/c_ini_values.h"

namespace UC {

Fade::Fade(float start, float time, float fade)
    : m_start(start), m_time(time), m_fade(std::min(fade, time / 2.0f))
{
}

float Fade::GetAlpha(float t) const
{
    if (!IsShown(t))
        return 0.0f;
    const float in = t - m_start, out = GetEnd() - t;
    const float edge = std::min(in, out);
    return m_fade > 0.0f && edge < m_fade ? edge / m_fade : 1.0f;
}

bool TrCurve::Setup(const aCurve& curve, float time)
{
    m_curve = curve;
    m_length = 0.0f;
    const std::vector<aCurvePoint>& line = m_curve.getPolyline();
    for (std::size_t i = 1; i < line.size(); ++i)
        m_length += std::hypot(line[i].x - line[i - 1].x, line[i].y - line[i - 1].y);
    m_speed = line.size() >= 2 && time > 0.0f ? m_length / time : 0.0f;
    Start();
    return line.size() >= 2 && time > 0.0f;
}

void TrCurve::Start() { m_curve.start(); }

void TrCurve::Update(float dt)
{
    if (dt > 0.0f && m_speed > 0.0f)
        m_curve.update(m_speed * dt);
}

} // namespace UC

void CCredits::Load(const std::string& path, const Sources& sources)
{
    *this = CCredits();
    if (!file_isExistOrPacked(path)) {
        a_log("CCredits. No '%s': no credits", path.c_str());
        return;
    }
    const aOptionsFile ini(path);
    auto picture = [&](const std::string& name) -> const aImage* {
        return sources.images && !name.empty() && sources.images->HasImage(name) ? sources.images->GetImage(name)
                                                                                 : nullptr;
    };
    for (const aOptionsFile::Section& section : ini.sections()) {
        const CIniSection values(section, path, "CCredits");
        if (section.first == "General") {
            const std::string background = values.GetString("Background");
            m_background = picture(background);
            if (!m_background && !background.empty())
                values.Log("Background: no picture '" + background + "'");
            m_music = values.GetString("Music");
            const std::string font = values.GetString("Font");
            m_font = sources.font && !font.empty() ? sources.font(font) : nullptr;
            if (!m_font)
                values.Log("Font: no font '" + font + "', texts left out");
            continue;
        }
        Item item;
        item.name = section.first;
        if (values.Has("Text")) {
            const std::string id = values.GetString("Text");
            const std::wstring* text = sources.strings ? sources.strings->findString(id) : nullptr;
            if (!text || !m_font) {
                values.Log("Text: no string '" + id + "' to show, item left out");
                continue;
            }
            item.text = *text;
        } else {
            const std::string image = values.GetString("Image");
            item.image = picture(image);
            if (!item.image) {
                values.Log("Image: no picture '" + image + "', item left out");
                continue;
            }
        }
        const float time = values.GetFloat("Time", kDefaultTime);
        item.fade = UC::Fade(values.GetFloat("Start", 0.0f), time, values.GetFloat("Fade", kDefaultFade));
        item.placed = values.GetPoint("Pos", item.x, item.y);
        const std::string curve = values.GetString("Curve");
        if (!curve.empty()) {
            aCurve loaded;
            const std::string file = sources.curvesFolder + curve;
            if (!file_isExistOrPacked(file)) {
                values.Log("Curve: no file '" + file + "', the item stays at its place");
            } else if (loaded.load(file)) {
                item.moving = item.curve.Setup(loaded, time);
                if (!item.moving)
                    values.Log("Curve: '" + file + "' has no length to follow");
            }
        }
        m_end = std::max(m_end, item.fade.GetEnd());
        m_items.push_back(std::move(item));
    }
}

void CCredits::Start()
{
    m_time = 0.0f;
    m_stopped = false;
    for (Item& item : m_items) {
        item.followed = 0.0f;
        if (item.moving)
            item.curve.Start();
    }
}

void CCredits::Update(float dt, bool stop)
{
    if (IsDone())
        return;
    if (stop) {
        m_stopped = true;
        return;
    }
    if (dt > 0.0f)
        m_time += dt;
    // A curve runs only while its item shows, from the item's own start.
    for (Item& item : m_items) {
        if (!item.moving)
            continue;
        const float due = std::clamp(m_time - item.fade.GetStart(), 0.0f, item.fade.GetEnd() - item.fade.GetStart());
        if (due > item.followed) {
            item.curve.Update(due - item.followed);
            item.followed = due;
        }
    }
}

void CCredits::GetItemPos(const Item& item, float w, float h, float& x, float& y) const
{
    x = w / 2.0f;
    y = h / 2.0f;
    if (item.moving)
        item.curve.GetPos(x, y);
    else if (item.placed) {
        x = item.x;
        y = item.y;
    }
}

void CCredits::Render(float w, float h) const
{
    if (m_background) {
        const float bw = float(m_background->getWidth()), bh = float(m_background->getHeight());
        const D3DXVECTOR2 scale{bw > 0.0f ? w / bw : 1.0f, bh > 0.0f ? h / bh : 1.0f};
        m_background->draw(0.0f, 0.0f, nullptr, 0xFFFFFFFF, bw == w && bh == h ? nullptr : &scale, 0.0f, nullptr, 0);
    }
    for (const Item& item : m_items) {
        const std::uint32_t alpha = std::uint32_t(item.fade.GetAlpha(m_time) * 255.0f + 0.5f);
        if (alpha == 0)
            continue;
        float x = 0.0f, y = 0.0f;
        GetItemPos(item, w, h, x, y);
        if (item.image) {
            item.image->draw(std::floor(x - float(item.image->getWidth()) / 2.0f),
                             std::floor(y - float(item.image->getHeight()) / 2.0f), (alpha << 24) | 0xFFFFFFu);
        } else if (m_font) {
            m_font->setScale(1.0f);
            m_font->setAngle(0.0f);
            m_font->color = (alpha << 24) | (kTextColor & 0xFFFFFFu);
            m_font->drawString(x, y, item.text, FONT_CENTER_X | FONT_CENTER_Y);
        }
    }
}
