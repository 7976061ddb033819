#pragma once
// One named block of an advanced animation: frames (a rectangle of an
// image drawn at an offset) played at the rate, loop count and direction of
// the play entry that started it.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/gfx/a_image.h"
#include "engine/util/a_rect.h"

class aAdvAnim;
class aImageManager;
class aOptionsFile;

namespace advAnim {

// One entry of an animation's play list.
struct aPlayEntry {
    std::string block;
    std::uint32_t frameRate = 30;  // 0: each frame is held
    std::uint32_t loops = 1;       // 0: endless
    bool reverse = false;
    bool pingPong = false;
};

struct aAdvAnimFrame {
    // Own handle on the image data, so a frame stays drawable after the
    // image manager has dropped the image. Null: the frame draws nothing.
    std::shared_ptr<const aImage> texture;
    aRect rect;
    std::int32_t dx = 0;
    std::int32_t dy = 0;
};

class aAdvAnimBlock {
public:
    aAdvAnimBlock() = default;
    virtual ~aAdvAnimBlock() = default;

    // Reads the entries of the options file's current section in order:
    // "Texture", "AutoFrames" and "Frame".
    void Load(aAdvAnim* owner, aOptionsFile& ini, aImageManager* images, const std::string& group);

    void Start(const aPlayEntry& entry, float speed, bool direction);
    // Consumes dt (seconds); returns what is left over at a frame boundary,
    // all of dt when the block does not play. Steps at most one frame.
    float Update(float dt);
    // Frames played within the current play, counting loops.
    std::uint32_t GetFrameNumber() const;
    // Frames of a play by that entry; the u32 maximum for an endless one.
    std::uint32_t GetFrameCount(const aPlayEntry& entry) const;
    // After Start: stands on the frame whose GetFrameNumber is number
    // (below GetFrameCount of the started entry).
    void SetFrameNumber(std::uint32_t number);
    void SetReverse(bool reverse);
    // Appends count frames of the owner's size cut row by row from the
    // texture; false when fewer than count fit (or none may be cut).
    bool AutoFrames(std::shared_ptr<const aImage> texture, std::int32_t count, bool pixelIndent);

    // Null when the block has no frames.
    const aAdvAnimFrame* GetCurrentFrame() const;
    bool IsPlaying() const { return m_playing; }
    std::uint32_t GetIndex() const { return m_index; }
    std::uint32_t GetLoopCounter() const { return m_loopCounter; }
    bool IsBackwards() const { return m_currentDirection; }
    float GetTimer() const { return m_timer; }
    aAdvAnim* GetOwner() const { return m_owner; }

    std::vector<aAdvAnimFrame> m_frames;

private:
    friend class ::aAdvAnim;

    aAdvAnim* m_owner = nullptr;
    std::uint32_t m_frameRate = 30;
    std::uint32_t m_loops = 1;
    bool m_reverse = false;
    bool m_pingPong = false;
    float m_speed = 1.0f;
    bool m_animDirection = false;
    bool m_playing = false;
    bool m_currentDirection = false;  // true: frames run backwards
    std::uint32_t m_index = 0;
    float m_timer = 0.0f;
    float m_duration = 0.0f;
    std::uint32_t m_loopCounter = 0;
};

} // namespace advAnim
