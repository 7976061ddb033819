#pragma once
// Sprites (a list of frames with a current frame) and frame animations
// (timing and play modes on top). The frame list is shared between copies
// and counted, so animations are cheap to copy: adding a frame to a copy
// adds it for every sprite sharing the list. Main thread only.
#include <cstdint>
#include <memory>
#include <type_traits>
#include <vector>

#include "engine/gfx/a_image.h"
#include "engine/util/a_rect.h"
#include "engine/util/a_root.h"

// One frame: a region of an image shown for a number of ticks. A hidden
// frame keeps its time but is not drawn.
struct aFrame {
    std::uint16_t ticks = 0;
    aRect rect;
    std::uint8_t hidden = 0;
    std::unique_ptr<aImage> image;  // own handle on shared image data, may be null

    aFrame() = default;
    aFrame(const aFrame& other);
    aFrame& operator=(const aFrame& other);
    aFrame(aFrame&&) noexcept = default;
    aFrame& operator=(aFrame&&) noexcept = default;
};

struct aFrameList {
    std::vector<aFrame> frames;
    std::int32_t refCount = 1;
};

// Play-mode bits of aAnim.
enum aAnimMode : std::int32_t {
    ANIM_LOOP = 1,
    ANIM_BACKWARDS = 2,
    ANIM_PINGPONG = 4,
};

class aSprite : public aRoot {
public:
    // A new empty frame list, frame 0, 0 ticks.
    aSprite();
    // Shares the other's frame list and takes its position.
    aSprite(const aSprite& other);
    aSprite& operator=(const aSprite& other);
    virtual ~aSprite();

    // Appends a frame (a copy of the image handle) to the shared list, then
    // makes frame 0 current with its full duration.
    void addFrame(std::uint16_t ticks, const aImage* image, const aRect& rect);
    // A shared list is left to the others; this sprite takes a new empty one.
    void clearFrames();
    // With frames: marks a frame hidden (kept in time, not drawn).
    void setFrameHidden(std::uint16_t index, bool hidden);

    std::uint16_t getFrame() const { return m_frame; }
    std::uint16_t getFrameTicks() const { return m_ticks; }
    std::uint16_t getFrameDuration() const;
    std::uint16_t getFrameCount() const { return std::uint16_t(m_list->frames.size()); }
    std::uint16_t getFrameWidth() const;
    std::uint16_t getFrameHeight() const;
    bool isFirstFrame() const { return m_frame == 0; }
    bool isLastFrame() const { return !m_list->frames.empty() && m_frame + 1u == m_list->frames.size(); }
    void setFirstFrame();
    void setLastFrame();
    // index past the last frame changes nothing; ticks 0: the frame's duration.
    void setFrame(std::uint16_t index, std::uint16_t ticks);
    // Null without frames.
    const aFrame* getCurrentFrame() const;
    const aFrameList* getFrameList() const { return m_list; }

    // The current frame (unless hidden) at (x, y) with its rectangle as the
    // source; the other arguments as aImage::draw takes them.
    void draw(float x, float y, std::uint32_t color = 0xFFFFFFFF, const D3DXVECTOR2* scale = nullptr,
              float angle = 0.0f, const D3DXVECTOR2* center = nullptr, std::uint32_t flags = 0) const;
    template <class X, class Y, std::enable_if_t<std::is_integral_v<X> && std::is_integral_v<Y>, int> = 0>
    void draw(X x, Y y, std::uint32_t color = 0xFFFFFFFF, const D3DXVECTOR2* scale = nullptr, float angle = 0.0f,
              const D3DXVECTOR2* center = nullptr, std::uint32_t flags = 0) const
    {
        draw(float(std::int16_t(x)), float(std::int16_t(y)), color, scale, angle, center, flags);
    }
    // The ARGB colour of the current frame's image under (x, y), relative
    // to the frame; 0 without frames, image or outside the image.
    std::uint32_t hitTest(std::int32_t x, std::int32_t y) const;

protected:
    void share(const aSprite& other);
    void stepForward();
    void stepBackward();

    aFrameList* m_list;
    std::uint16_t m_frame = 0;
    std::uint16_t m_ticks = 0;
};

class aAnim : public aSprite {
public:
    // Stopped, frame time 0.025 s, initial mode loop.
    aAnim();
    // Shares the frame list; copies timing, modes and the stopped flag, then
    // the position (setFrame with the source's frame and remaining ticks).
    aAnim(const aAnim& other);
    aAnim& operator=(const aAnim& other);
    ~aAnim() override = default;

    // Clears the frames, then adds count frames of w x h cut row by row from
    // the region (null: the whole image), 1 tick each. Nothing is added
    // without an image or when a frame is wider than the region.
    void setFramesFromImage(const aImage* image, const aRect* region, std::uint16_t w, std::uint16_t h,
                            std::uint16_t count);

    // Seconds per tick; t must be > 0 (else logged and kept).
    void setFrameTime(float t);
    float getFrameTime() const { return m_frameTime; }
    // The mode play() starts with (aAnimMode bits).
    void setPlayMode(std::int32_t mode) { m_initialMode = mode; }
    std::int32_t getPlayMode() const { return m_initialMode; }
    std::int32_t getCurrentMode() const { return m_mode; }
    float getElapsed() const { return m_elapsed; }
    bool isStopped() const { return m_stopped; }

    // Starts from the current frame with the initial mode.
    void play();
    void stop() { m_stopped = true; }
    // Advances by dt seconds: one tick per frame time.
    void update(float dt);

private:
    bool m_stopped = true;
    float m_frameTime = 0.025f;
    float m_elapsed = 0.0f;
    std::int32_t m_initialMode = ANIM_LOOP;
    std::int32_t m_mode = ANIM_LOOP;
};
