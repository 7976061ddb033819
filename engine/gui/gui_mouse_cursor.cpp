#include "engine/gui/gui_mouse_cursor.h"

#include <algorithm>
#include <cmath>

#include "engine/gui/gui_server.h"
#include "engine/util/a_application.h"
#include "engine/util/a_input_server.h"
#include "engine/util/a_log.h"

namespace GUI {

namespace {

aInputServer* inputServer() { return g_application ? g_application->m_inputServer : nullptr; }

// The integer part, held inside [lo, hi] (the readers give finite values).
std::int32_t truncated(float v, std::int32_t lo, std::int32_t hi)
{
    const double t = std::trunc(double(v));
    return t < lo ? lo : (t > hi ? hi : std::int32_t(t));
}

} // namespace

MouseCursor::MouseCursor(std::string name) : m_name(std::move(name))
{
    AddProperty("NumFrames", &numFrames);
    AddProperty("FrameSize", &frameSize);
    AddProperty("FPS", &fps);
    AddProperty("Image", &image);
    AddProperty("ImageRect", &imageRect);
    AddProperty("HotSpot", &hotSpot);
}

MouseCursor::~MouseCursor()
{
    // The input server remembers the animation by address: a later cursor
    // made at this address must not pass for this one.
    if (active)
        if (aInputServer* input = inputServer())
            input->setSystemCursor(IDC_ARROW);
}

void MouseCursor::EndFillProperties()
{
    std::int32_t frames = numFrames.isSet ? numFrames.AsInt() : 1;
    float rate = fps.isSet ? fps.AsFloat() : kDefaultFps;
    float frameW = 1.0f, frameH = 1.0f;
    if (frameSize.isSet)
        frameSize.AsFloatPair(frameW, frameH);
    if (!(rate > 0.0f)) {
        a_log("MouseCursor '%s': FPS \"%s\" is not above 0, %g used", m_name.c_str(), fps.value.c_str(),
              double(kDefaultFps));
        rate = kDefaultFps;
    }
    if (frames < 1) {
        a_log("MouseCursor '%s': NumFrames \"%s\" is below 1, 1 used", m_name.c_str(), numFrames.value.c_str());
        frames = 1;
    }

    if (image.isSet) {
        Server* server = Server::getSingletonPtr();
        const aImage* img = server ? server->GetImage(image.value) : nullptr;
        if (!server)
            a_log("MouseCursor '%s': no GUI server to find image '%s'", m_name.c_str(), image.value.c_str());
        anim.clearFrames();
        if (img) {
            const aRect region = imageRect.isSet ? imageRect.AsRect() : aRect(0, 0, img->getWidth(), img->getHeight());
            const std::int32_t w = truncated(frameW, 0, 65535);
            const std::int32_t h = truncated(frameH, 0, 65535);
            if (w < 1 || h < 1 || w > region.width || h > region.height) {
                a_log("MouseCursor '%s': frame size %gx%g does not fit the image rectangle %ux%u, no frames",
                      m_name.c_str(), double(frameW), double(frameH), unsigned(region.width),
                      unsigned(region.height));
            } else {
                const std::int64_t fit = std::int64_t(region.width / w) * (region.height / h);
                std::int64_t count = frames;
                if (count > fit) {
                    a_log("MouseCursor '%s': the image holds %lld frames, not %d", m_name.c_str(), (long long)fit,
                          frames);
                    count = fit;
                }
                count = std::min<std::int64_t>(count, 65535);
                anim.setFramesFromImage(img, &region, std::uint16_t(w), std::uint16_t(h), std::uint16_t(count));
            }
        }
        anim.setFrameTime(1.0f / rate);
    }

    if (hotSpot.isSet) {
        float x = float(hotSpotX), y = float(hotSpotY);
        hotSpot.AsFloatPair(x, y);
        SetHotSpot(truncated(x, -32768, 65535), truncated(y, -32768, 65535));
    }
}

void MouseCursor::SetHotSpot(std::int32_t x, std::int32_t y)
{
    hotSpotX = x;
    hotSpotY = y;
    if (active)
        SetActive(true);
}

void MouseCursor::SetActive(bool on)
{
    active = on;
    aInputServer* input = inputServer();
    if (!input)
        return;
    if (!on)
        input->setCursorAnim(nullptr, 0, 0);
    else if (anim.getFrameCount() > 0)
        input->setCursorAnim(&anim, std::uint16_t(hotSpotX), std::uint16_t(hotSpotY));
    else
        input->setSystemCursor(IDC_ARROW);
}

} // namespace GUI
