#pragma once
// A frame animation cut from an image strip, stretched into the widget's
// rectangle, tinted and optionally rotated; a second animation stands in
// while the widget is disabled. Both advance in every update (hidden or
// not) unless `paused`. Takes no input.
#include <cstdint>

#include "engine/gfx/a_sprite.h"
#include "engine/gui/gui_draw.h"
#include "engine/gui/gui_widget.h"
#include "platform/gfx/d3d8.h"

namespace GUI {

class StaticAnim : public Widget {
public:
    explicit StaticAnim(const std::string& name);

    void EndFillProperties() override;
    const char* GetTypeName() const override { return "StaticAnim"; }
    bool IsA(const std::string& type) const override { return type == "StaticAnim"; }
    void DrawSelf() override;
    void UpdateSelf(float dt) override;
    // Animations run hidden or not: always walked.
    bool IsUpdateIdle() const override { return false; }

    void SetColor(std::uint32_t argb) { color = UnpackColor(argb); }

    aAnim normalAnim;
    aAnim disabledAnim;
    // Only r, g and b tint; the alpha drawn is the widget's.
    Color color;
    bool paused = false;
    float rotAngle = 0.0f;  // degrees
    D3DXVECTOR2 rotCenterValue{0.0f, 0.0f};
    D3DXVECTOR2* rotCenter = nullptr;  // null: the default pivot

    Property pAnimType, pNumFrames, pFrameSize, pFPS, pStartFrame, pNormalImage, pNormalRect, pDisabledImage,
        pDisabledRect, pColor, pRotAngle, pRotCenter;

private:
    struct Cut {
        std::int32_t mode;
        float frameTime;
        std::uint16_t count, startFrame, width, height;  // width 0: no frames
    };
    void CutFrames(aAnim& anim, const Property& image, const Property& rect, const Cut& cut);
};

} // namespace GUI
