#include "game/shell/c_splash.h"

#include "engine/gfx/a_image.h"
#include "engine/gfx/a_image_manager.h"
#include "engine/util/a_file_server.h"
#include "engine/util/a_log.h"
#include "engine/util/a_options_file.h"
#include "game/shell/c_ini_values.h"
#include "game/shell/c_res_manager.h"

void CSplash::Load(const std::string& path, aImageManager* images)
{
    m_screens.clear();
    m_current = 0;
    m_time = 0.0f;
    if (!file_isExistOrPacked(path)) {
        a_log("CSplash. No '%s': no splash screens", path.c_str());
        return;
    }
    const aOptionsFile ini(path);
    for (const aOptionsFile::Section& section : ini.sections()) {
        const CIniSection values(section, path, "CSplash");
        Screen screen;
        screen.name = section.first;
        // Without a picture the screen is its colour alone; a picture named
        // but missing leaves the screen out.
        const std::string image = values.GetString("Image");
        if (!image.empty()) {
            screen.image = images && images->HasImage(image) ? images->GetImage(image) : nullptr;
            if (!screen.image) {
                values.Log("Image: no picture '" + image + "', screen left out");
                continue;
            }
        }
        screen.time = values.GetFloat("Time", kDefaultTime);
        screen.fade = values.GetFloat("Fade", kDefaultFade);
        screen.color = values.GetColor("Color", kDefaultColor);
        m_screens.push_back(screen);
    }
}

float CSplash::GetAlpha() const
{
    if (IsDone())
        return 0.0f;
    const Screen& s = m_screens[m_current];
    if (m_time < s.fade)
        return m_time / s.fade;
    const float out = m_time - s.fade - s.time;
    if (out <= 0.0f)
        return 1.0f;
    return out >= s.fade ? 0.0f : 1.0f - out / s.fade;
}

void CSplash::Update(float dt, bool skip, bool stop)
{
    if (IsDone())
        return;
    if (stop) {
        m_current = m_screens.size();
        return;
    }
    const Screen& s = m_screens[m_current];
    // The fade-out starts from the alpha shown, so the picture never jumps.
    if (skip && m_time < s.fade + s.time)
        m_time = s.fade + s.time + (1.0f - GetAlpha()) * s.fade;
    if (dt > 0.0f)
        m_time += dt;
    while (!IsDone() && m_time >= Length(m_screens[m_current])) {
        m_time -= Length(m_screens[m_current]);
        ++m_current;
    }
}

void CSplash::Render(CResManager& res, float w, float h) const
{
    if (IsDone())
        return;
    const Screen& s = m_screens[m_current];
    res.SetRectColor(s.color);
    res.DrawRect(0.0f, 0.0f, w, h);
    const std::uint32_t alpha = std::uint32_t(GetAlpha() * 255.0f + 0.5f);
    if (alpha == 0 || !s.image)
        return;
    const float x = float(int((w - float(s.image->getWidth())) / 2.0f));
    const float y = float(int((h - float(s.image->getHeight())) / 2.0f));
    s.image->draw(x, y, (alpha << 24) | 0xFFFFFFu);
}
