#pragma once
// An animated mouse pointer cut from an image. The GUI server activates the
// cursor the widget under the mouse asks for; an active cursor's animation
// runs as the application's image cursor (a copy of it), drawn at the mouse
// position less the hot spot.
#include <cstdint>
#include <string>

#include "engine/gfx/a_sprite.h"
#include "engine/gui/gui_property_set.h"

namespace GUI {

class MouseCursor : public PropertySet {
public:
    static constexpr float kDefaultFps = 40.0f;

    explicit MouseCursor(std::string name = std::string());
    // An active cursor first gives the pointer back to the system arrow.
    ~MouseCursor() override;

    // Frames, frame size, rate and image as set; bad sizes, counts and
    // rates are logged (no frames: the cursor shows the arrow).
    void EndFillProperties() override;
    std::string GetLogName() const override { return m_name; }

    // Takes effect at once when active, else at activation.
    void SetHotSpot(std::int32_t x, std::int32_t y);
    // Active: the animation (or, without frames, the system arrow) becomes
    // the pointer. Inactive: the image cursor is dropped.
    void SetActive(bool active);
    bool IsActive() const { return active; }

    const std::string& GetName() const { return m_name; }

    bool active = false;
    aAnim anim;
    std::int32_t hotSpotX = 0;
    std::int32_t hotSpotY = 0;

    Property numFrames, frameSize, fps, image, imageRect, hotSpot;

private:
    std::string m_name;
};

} // namespace GUI
