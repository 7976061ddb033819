#include "engine/gui/gui_static_anim.h"

#include <algorithm>
#include <cctype>

#include "engine/gfx/a_image_parts.h"
#include "engine/gui/gui_server.h"
#include "engine/util/a_log.h"
#include "engine/util/a_random.h"

namespace GUI {

namespace {

constexpr float kDefaultFps = 40.0f;

// The play mode of an "AnimType" text: loop unless "noloop"; "pingpong"
// and "back" add their bits. The first three blank-separated words count,
// a word longer than 49 characters counting as several.
std::int32_t playMode(const std::string& text)
{
    std::int32_t mode = ANIM_LOOP;
    std::size_t i = 0;
    for (int words = 0; words < 3; ++words) {
        while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])))
            ++i;
        if (i == text.size())
            break;
        std::string word;
        while (i < text.size() && word.size() < 49 && !std::isspace(static_cast<unsigned char>(text[i])))
            word.push_back(text[i++]);
        if (str_equalNoCase(word, "noloop"))
            mode &= ~ANIM_LOOP;
        else if (str_equalNoCase(word, "pingpong"))
            mode |= ANIM_PINGPONG;
        else if (str_equalNoCase(word, "back"))
            mode |= ANIM_BACKWARDS;
    }
    return mode;
}

// The current frame stretched over the rectangle, turned about the pivot.
void drawFrame(const aAnim& anim, const aRect& r, std::uint32_t color, float angle, const D3DXVECTOR2* pivot)
{
    if (!pivot) {
        anim_drawInRect(&anim, r, color, angle, 0);
        return;
    }
    const std::uint16_t fw = anim.getFrameWidth(), fh = anim.getFrameHeight();
    if ((color >> 24) == 0 || fw == 0 || fh == 0)
        return;
    const D3DXVECTOR2 scale{float(r.width) / float(fw), float(r.height) / float(fh)};
    anim.draw(float(r.x), float(r.y), color, &scale, angle, pivot, 0);
}

} // namespace

StaticAnim::StaticAnim(const std::string& widgetName) : Widget(widgetName)
{
    AddProperty("AnimType", &pAnimType);
    AddProperty("NumFrames", &pNumFrames);
    AddProperty("FrameSize", &pFrameSize);
    AddProperty("FPS", &pFPS);
    AddProperty("StartFrame", &pStartFrame);
    AddProperty("NormalImage", &pNormalImage);
    AddProperty("NormalRect", &pNormalRect);
    AddProperty("DisabledImage", &pDisabledImage);
    AddProperty("DisabledRect", &pDisabledRect);
    AddProperty("Color", &pColor);
    AddProperty("RotAngle", &pRotAngle);
    AddProperty("RotCenter", &pRotCenter);
}

void StaticAnim::EndFillProperties()
{
    Widget::EndFillProperties();
    Cut cut{ANIM_LOOP, 1.0f / kDefaultFps, 1, 0, 0, 0};
    if (pAnimType.isSet)
        cut.mode = playMode(pAnimType.value);

    const float fps = pFPS.isSet ? pFPS.AsFloat() : kDefaultFps;
    // aAnim refuses a frame time that is not above 0.
    if (fps > 0.0f && 1.0f / fps > 0.0f)
        cut.frameTime = 1.0f / fps;
    else
        a_log("StaticAnim '%s': FPS \"%s\" is not above 0; 40 used", name.c_str(), pFPS.value.c_str());

    std::int32_t count = pNumFrames.isSet ? pNumFrames.AsInt() : 1;
    if (count < 1) {
        a_log("StaticAnim '%s': NumFrames %d is below 1; one frame used", name.c_str(), count);
        count = 1;
    }
    cut.count = std::uint16_t(std::min<std::int32_t>(count, 0xFFFF));
    // Several copies of one animation should not run in step.
    cut.startFrame = std::uint16_t(pStartFrame.isSet ? pStartFrame.AsInt() : a_rand() % cut.count);

    float fw = 1.0f, fh = 1.0f;
    if (pFrameSize.isSet)
        pFrameSize.AsFloatPair(fw, fh);
    if (fw >= 1.0f && fh >= 1.0f && fw < 65536.0f && fh < 65536.0f) {
        cut.width = std::uint16_t(fw);
        cut.height = std::uint16_t(fh);
    } else {
        a_log("StaticAnim '%s': FrameSize \"%s\" is not at least 1 x 1; no frames", name.c_str(),
              pFrameSize.value.c_str());
    }

    if (pNormalImage.isSet)
        CutFrames(normalAnim, pNormalImage, pNormalRect, cut);
    if (pDisabledImage.isSet)
        CutFrames(disabledAnim, pDisabledImage, pDisabledRect, cut);
    if (pColor.isSet)
        SetColor(pColor.AsHex());
    if (pRotAngle.isSet)
        rotAngle = pRotAngle.AsFloat();
    if (pRotCenter.isSet) {
        pRotCenter.AsFloatPair(rotCenterValue.x, rotCenterValue.y);
        rotCenter = &rotCenterValue;
    }
    if (area.width == 0 || area.height == 0)
        SetSize(area.width ? area.width.get() : normalAnim.getFrameWidth(),
                area.height ? area.height.get() : normalAnim.getFrameHeight());
}

void StaticAnim::CutFrames(aAnim& anim, const Property& imageName, const Property& rect, const Cut& cut)
{
    Server* server = Server::getSingletonPtr();
    const aImage* image = server ? server->GetImage(imageName.value) : nullptr;
    anim.clearFrames();
    if (!image || cut.width == 0)
        return;
    aRect region = rect.isSet ? rect.AsRect() : aRect();
    // A rectangle narrower than a frame only gives the start point.
    if (region.width < cut.width)
        region = aRect(region.x, region.y, std::uint16_t(std::max(0, image->getWidth() - region.x)),
                       std::uint16_t(std::max(0, image->getHeight() - region.y)));
    if (region.width < cut.width) {
        a_log("StaticAnim '%s': image '%s' from x %d is narrower than a frame (%u); no frames", name.c_str(),
              imageName.value.c_str(), region.x, unsigned(cut.width));
        return;
    }
    anim.setFramesFromImage(image, &region, cut.width, cut.height, cut.count);
    anim.setFrameTime(cut.frameTime);
    anim.setPlayMode(cut.mode);
    anim.setFrame(cut.startFrame, 0);
    anim.play();
}

void StaticAnim::UpdateSelf(float dt)
{
    Widget::UpdateSelf(dt);
    if (paused)
        return;
    normalAnim.update(dt);
    disabledAnim.update(dt);
}

void StaticAnim::DrawSelf()
{
    const float angle = rotAngle * 3.1415927f / 180.0f;
    const aRect r = GetAbsoluteRect();
    const float a = GetAlpha();
    if (!IsEnabled() && disabledAnim.getFrameCount() > 0)
        drawFrame(disabledAnim, r, WhiteWithAlpha(a), angle, rotCenter);
    else if (normalAnim.getFrameCount() > 0)
        drawFrame(normalAnim, r, PackColor(Color{color.r, color.g, color.b, 1.0f}, a), angle, rotCenter);
}

} // namespace GUI
