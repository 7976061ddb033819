#include "engine/gui/gui_widget_kit.h"

#include "engine/gfx/a_image.h"
#include "engine/gui/gui_server.h"

namespace GUI {

Style* ScriptStyle(const std::string& name)
{
    const Server* s = Server::getSingletonPtr();
    return s ? s->GetStyle(name) : nullptr;
}

aImage* ScriptImage(const std::string& name)
{
    const Server* s = Server::getSingletonPtr();
    return s ? s->GetImage(name) : nullptr;
}

aFont* ScriptFont(const std::string& name)
{
    const Server* s = Server::getSingletonPtr();
    return s ? s->GetFont(name) : nullptr;
}

void DrawImageStretched(const aImage* image, const aRect& source, const aRect& dest, std::uint32_t color,
                        float angle, const float* center)
{
    // An empty source has no scale (and the image would draw nothing).
    if (!image || source.width == 0 || source.height == 0 || (color >> 24) == 0)
        return;
    const D3DXVECTOR2 scale{float(dest.width) / float(source.width), float(dest.height) / float(source.height)};
    const D3DXVECTOR2 pivot{center ? center[0] : 0.0f, center ? center[1] : 0.0f};
    image->draw(float(dest.x), float(dest.y), &source, color, &scale, angle, center ? &pivot : nullptr, 0);
}

} // namespace GUI
