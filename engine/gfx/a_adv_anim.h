#pragma once
// Advanced animations: frame animations described by an ini file, with
// named blocks of frames and a play list that strings blocks together, each
// entry with its own frame rate, loop count and direction, the whole with
// its own speed, loop count, direction and ping-pong.
//
//   [_General_]  Width, Height, Speed, Reverse, PingPong, NLoops,
//                PixelIndent, AutoStart, ShowStoped
//   [_Play_]     <block> = (Fps=12)(NLoops=2)(Reverse=1)(PingPong=1)
//   [<block>]    Texture = <image name>, AutoFrames = <count>,
//                Frame = (Rect=x y w h)(Disp=dx dy)
//
// Copies are deep. Main thread only.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "engine/gfx/a_adv_anim_block.h"

class aAdvAnim {
public:
    // One Update steps through at most this many frames; the rest of its
    // time is dropped.
    static constexpr std::uint32_t kMaxFramesPerUpdate = 10000;
    // Higher frame rates read as this.
    static constexpr std::uint32_t kMaxFrameRate = 1000;

    aAdvAnim() = default;
    aAdvAnim(const aAdvAnim& other);
    aAdvAnim& operator=(const aAdvAnim& other);
    virtual ~aAdvAnim() = default;

    // False (and a log line) when the file is missing. Textures are looked
    // up in the image manager under the group.
    bool Load(const std::string& path, aImageManager* images, const std::string& group);
    // Back to the first frame (the last when reversed), active. 0 without a
    // play entry or block.
    int Rewind();
    void Update(float dt);
    // scale and pivot may be null; flags: 0x2 mirrors horizontally, 0x1
    // vertically, and all are passed on to aImage::draw.
    void Draw(float x, float y, std::uint32_t color, const D3DXVECTOR2* scale, float angle, const D3DXVECTOR2* pivot,
              std::int32_t flags) const;
    // The ARGB colour of the current frame under (x, y), relative to the
    // animation's position; 0 outside it.
    std::uint32_t HitTest(std::int32_t x, std::int32_t y, std::int32_t flags) const;
    // Jumps to an overall frame number; false past the end, on an endless
    // entry or while inactive.
    bool SetFrame(std::uint32_t frame);
    void SetReverse(bool reverse);

    const std::string& GetName() const { return m_name; }
    std::uint32_t GetFrameNumber() const { return m_currentFrame; }
    std::uint32_t GetTotalFrames() const { return m_totalFrames; }
    std::uint32_t GetPlayIndex() const { return m_playIndex; }
    std::uint32_t GetLoopCounter() const { return m_loopCounter; }
    bool IsActive() const { return m_active; }
    bool IsBackwards() const { return m_direction; }
    bool IsPaused() const { return m_paused; }
    void SetPaused(bool paused) { m_paused = paused; }
    std::int32_t GetWidth() const { return m_width; }
    std::int32_t GetHeight() const { return m_height; }
    bool GetPixelIndent() const { return m_pixelIndent; }
    // The file the animation was loaded from (for messages).
    const std::string& GetPath() const { return m_path; }
    // The block of the current play entry; null when there is none.
    advAnim::aAdvAnimBlock* GetCurrentBlock();
    const advAnim::aAdvAnimBlock* GetCurrentBlock() const;
    // The frame Draw and HitTest use: the current block's, or, while a block
    // change waits for the next Update, the frame that block will start on.
    // Null when there is none.
    const advAnim::aAdvAnimFrame* GetCurrentFrame() const;
    // Null when the animation has no block of that name.
    advAnim::aAdvAnimBlock* GetBlock(const std::string& name);
    const std::map<std::string, advAnim::aAdvAnimBlock>& GetBlocks() const { return m_blocks; }
    const std::vector<advAnim::aPlayEntry>& GetPlayList() const { return m_playList; }

protected:
    virtual void onFrameChanged() {}
    virtual void onBlockStarted() {}
    virtual void onSequenceEnd() {}

private:
    void adoptBlocks();
    void readGeneral(aOptionsFile& ini);
    void readPlayList(aOptionsFile& ini);
    // Where the current frame lands relative to the position, as Draw and
    // HitTest place it.
    void frameOrigin(const advAnim::aAdvAnimFrame& frame, std::int32_t flags, std::int16_t& x,
                     std::int16_t& y) const;

    std::string m_name;
    float m_speed = 1.0f;
    std::uint32_t m_loops = 1;
    bool m_reverse = false;
    bool m_pingPong = false;
    bool m_pixelIndent = false;
    std::int32_t m_width = 0;
    std::int32_t m_height = 0;
    bool m_active = false;
    bool m_paused = false;
    bool m_showStopped = false;
    std::uint32_t m_totalFrames = 0;
    std::uint32_t m_currentFrame = 0;
    std::uint32_t m_playIndex = 0;
    std::uint32_t m_loopCounter = 0;
    bool m_direction = false;  // true: playing backwards
    std::map<std::string, advAnim::aAdvAnimBlock> m_blocks;
    std::vector<advAnim::aPlayEntry> m_playList;

    std::string m_path;
    bool m_blockPending = false;  // the play index moved; its block is not started yet
};
