#include "engine/gfx/a_adv_anim.h"

#include <cmath>
#include <limits>

#include "engine/gui/a_tag_parser.h"
#include "engine/util/a_file_server.h"
#include "engine/util/a_log.h"
#include "engine/util/a_options_file.h"
#include "engine/util/a_string.h"

using advAnim::aAdvAnimBlock;
using advAnim::aAdvAnimFrame;
using advAnim::aPlayEntry;

namespace {

constexpr std::uint32_t kEndless = std::numeric_limits<std::uint32_t>::max();

bool flag(const std::string& text) { return str_toInt(text) != 0; }

} // namespace

aAdvAnim::aAdvAnim(const aAdvAnim& other)
    : m_name(other.m_name), m_speed(other.m_speed), m_loops(other.m_loops), m_reverse(other.m_reverse),
      m_pingPong(other.m_pingPong), m_pixelIndent(other.m_pixelIndent), m_width(other.m_width),
      m_height(other.m_height), m_active(other.m_active), m_paused(other.m_paused),
      m_showStopped(other.m_showStopped), m_totalFrames(other.m_totalFrames), m_currentFrame(other.m_currentFrame),
      m_playIndex(other.m_playIndex), m_loopCounter(other.m_loopCounter), m_direction(other.m_direction),
      m_blocks(other.m_blocks), m_playList(other.m_playList), m_path(other.m_path),
      m_blockPending(other.m_blockPending)
{
    adoptBlocks();
}

aAdvAnim& aAdvAnim::operator=(const aAdvAnim& other)
{
    if (this != &other) {
        m_name = other.m_name;
        m_speed = other.m_speed;
        m_loops = other.m_loops;
        m_reverse = other.m_reverse;
        m_pingPong = other.m_pingPong;
        m_pixelIndent = other.m_pixelIndent;
        m_width = other.m_width;
        m_height = other.m_height;
        m_active = other.m_active;
        m_paused = other.m_paused;
        m_showStopped = other.m_showStopped;
        m_totalFrames = other.m_totalFrames;
        m_currentFrame = other.m_currentFrame;
        m_playIndex = other.m_playIndex;
        m_loopCounter = other.m_loopCounter;
        m_direction = other.m_direction;
        m_blocks = other.m_blocks;
        m_playList = other.m_playList;
        m_path = other.m_path;
        m_blockPending = other.m_blockPending;
        adoptBlocks();
    }
    return *this;
}

void aAdvAnim::adoptBlocks()
{
    for (auto& [name, block] : m_blocks)
        block.m_owner = this;
}

bool aAdvAnim::Load(const std::string& path, aImageManager* images, const std::string& group)
{
    if (!file_isExistOrPacked(path)) {
        a_log("aAdvAnim::Load(). File '%s' not exist!", path.c_str());
        return false;
    }
    *this = aAdvAnim();
    m_path = path;
    m_name = file_getName(path);
    const std::size_t dot = m_name.rfind('.');
    if (dot != std::string::npos)
        m_name.erase(dot);

    aOptionsFile ini(path);
    // The frame size and pixel indent are read first: blocks cut automatic
    // frames with them, wherever their sections stand.
    readGeneral(ini);
    for (ini.firstSection(); !ini.isSectionsEnd(); ini.nextSection()) {
        const std::string section = ini.getSectionName();
        if (section == "_Play_")
            readPlayList(ini);
        else if (section != "_General_")
            m_blocks[section].Load(this, ini, images, group);
    }

    for (const aPlayEntry& entry : m_playList) {
        aAdvAnimBlock& block = m_blocks[entry.block];
        block.m_owner = this;
        const std::uint64_t sum = std::uint64_t(m_totalFrames) + block.GetFrameCount(entry);
        m_totalFrames = sum >= kEndless ? kEndless : std::uint32_t(sum);
    }

    Rewind();
    m_active = flag(ini.getValueDef("_General_", "AutoStart", "0"));
    m_paused = false;
    return true;
}

void aAdvAnim::readGeneral(aOptionsFile& ini)
{
    if (!ini.selectSection("_General_")) {
        a_log("aAdvAnim::Load(). No [_General_] section in '%s'", m_path.c_str());
        return;
    }
    m_width = ini.getInt("Width");
    m_height = ini.getInt("Height");
    if (ini.hasKey("Speed")) {
        const double speed = str_toDouble(ini.getString("Speed"));
        if (std::isfinite(speed) && std::fabs(speed) <= double(std::numeric_limits<float>::max())) {
            m_speed = float(speed);
        } else {
            a_log("aAdvAnim::Load(). Speed '%s' read as 1 in '%s'", ini.getString("Speed").c_str(), m_path.c_str());
        }
    }
    if (ini.hasKey("Reverse"))
        m_reverse = flag(ini.getString("Reverse"));
    if (ini.hasKey("PingPong"))
        m_pingPong = flag(ini.getString("PingPong"));
    if (ini.hasKey("NLoops"))
        m_loops = std::uint32_t(str_toInt(ini.getString("NLoops")));
    if (ini.hasKey("PixelIndent"))
        m_pixelIndent = flag(ini.getString("PixelIndent"));
    if (ini.hasKey("ShowStoped"))
        m_showStopped = flag(ini.getString("ShowStoped"));
}

void aAdvAnim::readPlayList(aOptionsFile& ini)
{
    aTagParser<char> tags("(", ")", "=");
    for (ini.firstKey(); !ini.isKeysEnd(); ini.nextKey()) {
        aPlayEntry entry;
        entry.block = ini.getKeyName();
        tags.parse(ini.getKeyValue());
        for (tags.first(); !tags.isEnd(); tags.next()) {
            if (tags.isText())
                continue;
            const std::string key = tags.getKey();
            const std::string value = tags.getValue();
            if (key == "Fps") {
                // Below 1 the frames are held, as a rate of 0 holds them.
                const std::int32_t fps = str_toInt(value);
                entry.frameRate = fps > 0 ? std::uint32_t(fps) : 0;
                if (entry.frameRate > kMaxFrameRate) {
                    a_log("aAdvAnim::Load(). Fps %d read as %u in '%s'", fps, kMaxFrameRate, m_path.c_str());
                    entry.frameRate = kMaxFrameRate;
                }
            } else if (key == "Reverse") {
                entry.reverse = flag(value);
            } else if (key == "PingPong") {
                entry.pingPong = flag(value);
            } else if (key == "NLoops") {
                entry.loops = std::uint32_t(str_toInt(value));
            }
        }
        m_playList.push_back(entry);
    }
}

int aAdvAnim::Rewind()
{
    if (m_playList.empty())
        return 0;
    m_direction = m_reverse;
    m_playIndex = m_direction ? std::uint32_t(m_playList.size() - 1) : 0;
    m_currentFrame = m_direction && m_totalFrames ? m_totalFrames - 1 : 0;
    m_loopCounter = 0;
    m_blockPending = false;
    aAdvAnimBlock* block = GetCurrentBlock();
    if (!block)
        return 0;
    block->Start(m_playList[m_playIndex], m_speed, m_direction);
    m_active = true;
    return 1;
}

aAdvAnimBlock* aAdvAnim::GetCurrentBlock()
{
    if (m_playIndex >= m_playList.size())
        return nullptr;
    const auto it = m_blocks.find(m_playList[m_playIndex].block);
    return it == m_blocks.end() ? nullptr : &it->second;
}

const aAdvAnimBlock* aAdvAnim::GetCurrentBlock() const { return const_cast<aAdvAnim*>(this)->GetCurrentBlock(); }

aAdvAnimBlock* aAdvAnim::GetBlock(const std::string& name)
{
    const auto it = m_blocks.find(name);
    return it == m_blocks.end() ? nullptr : &it->second;
}

const aAdvAnimFrame* aAdvAnim::GetCurrentFrame() const
{
    const aAdvAnimBlock* block = GetCurrentBlock();
    if (!block || !m_blockPending)
        return block ? block->GetCurrentFrame() : nullptr;
    if (block->m_frames.empty())
        return nullptr;
    const bool backwards = m_direction || m_playList[m_playIndex].reverse;
    return backwards ? &block->m_frames.back() : &block->m_frames.front();
}

void aAdvAnim::Update(float dt)
{
    if (!m_active || m_paused || !(dt > 0.0f) || !std::isfinite(dt))
        return;
    std::uint32_t frames = 0;
    // Time left when the last pass over the play list began within this call.
    bool passBegun = false;
    float passStart = 0.0f;
    for (;;) {
        aAdvAnimBlock* block = GetCurrentBlock();
        if (!block) {
            m_active = false;
            return;
        }
        if (m_blockPending) {
            m_blockPending = false;
            block->Start(m_playList[m_playIndex], m_speed, m_direction);
            onBlockStarted();
        }
        const std::uint32_t before = block->GetFrameNumber();
        dt = block->Update(dt);
        if (block->GetFrameNumber() != before) {
            m_currentFrame += m_direction ? -1 : 1;
            ++frames;
            onFrameChanged();
        }
        if (!block->IsPlaying()) {
            const bool hasNext = m_direction ? m_playIndex > 0 : m_playIndex + 1 < m_playList.size();
            if (hasNext) {
                m_currentFrame += m_direction ? -1 : 1;
                ++frames;
                onFrameChanged();
                m_playIndex += m_direction ? -1 : 1;
                m_blockPending = true;
            } else {
                onSequenceEnd();
                if (m_loops != 0 && m_loopCounter + 1 >= m_loops) {
                    m_active = false;
                    return;
                }
                // A play list without frames takes no time: one whole pass
                // that consumed none ends the call.
                if (passBegun && dt == passStart)
                    return;
                passBegun = true;
                passStart = dt;
                ++m_loopCounter;
                if (m_pingPong)
                    m_direction = !m_direction;
                m_currentFrame = m_direction && m_totalFrames ? m_totalFrames - 1 : 0;
                m_playIndex = m_direction ? std::uint32_t(m_playList.size() - 1) : 0;
                m_blockPending = true;
            }
        }
        if (dt == 0.0f || frames >= kMaxFramesPerUpdate)
            return;
    }
}

void aAdvAnim::frameOrigin(const aAdvAnimFrame& frame, std::int32_t flags, std::int16_t& x, std::int16_t& y) const
{
    // In 64 bits: the sizes and offsets come from data and may be extreme.
    x = std::int16_t((flags & 0x2) ? std::int64_t(m_width) - frame.rect.width - frame.dx : frame.dx);
    y = std::int16_t((flags & 0x1) ? std::int64_t(m_height) - frame.rect.height - frame.dy : frame.dy);
}

void aAdvAnim::Draw(float x, float y, std::uint32_t color, const D3DXVECTOR2* scale, float angle,
                    const D3DXVECTOR2* pivot, std::int32_t flags) const
{
    if (!m_active && !m_showStopped)
        return;
    const aAdvAnimFrame* frame = GetCurrentFrame();
    if (!frame || !frame->texture)
        return;
    std::int16_t fx = 0, fy = 0;
    frameOrigin(*frame, flags, fx, fy);
    const float px = x + (scale ? float(fx) * scale->x : float(fx));
    const float py = y + (scale ? float(fy) * scale->y : float(fy));
    if (angle == 0.0f) {
        frame->texture->draw(px, py, &frame->rect, color, scale, angle, pivot, std::uint32_t(flags));
        return;
    }
    D3DXVECTOR2 centre = pivot ? *pivot : D3DXVECTOR2{float(m_width) * 0.5f, float(m_height) * 0.5f};
    centre.x -= float(fx);
    centre.y -= float(fy);
    frame->texture->draw(px, py, &frame->rect, color, scale, angle, &centre, std::uint32_t(flags));
}

std::uint32_t aAdvAnim::HitTest(std::int32_t x, std::int32_t y, std::int32_t flags) const
{
    const aAdvAnimFrame* frame = GetCurrentFrame();
    if (!frame || !frame->texture)
        return 0;
    std::int16_t x0 = 0, y0 = 0;
    frameOrigin(*frame, flags, x0, y0);
    const std::int32_t w = frame->rect.width, h = frame->rect.height;
    if (x < x0 || x >= x0 + w || y < y0 || y >= y0 + h)
        return 0;
    std::int32_t lx = x - x0, ly = y - y0;
    // Mirrored, the frame's last column (row) lies at the left (top).
    if (flags & 0x2)
        lx = w - 1 - lx;
    if (flags & 0x1)
        ly = h - 1 - ly;
    return frame->texture->getPixel(frame->rect.x + lx, frame->rect.y + ly);
}

bool aAdvAnim::SetFrame(std::uint32_t frame)
{
    if (!m_active || frame >= m_totalFrames)
        return false;
    std::uint32_t rest = frame;
    for (std::uint32_t i = 0; i < m_playList.size(); ++i) {
        const aPlayEntry& entry = m_playList[i];
        aAdvAnimBlock& block = m_blocks[entry.block];
        const std::uint32_t count = block.GetFrameCount(entry);
        if (count == kEndless)
            return false;
        if (rest >= count) {
            rest -= count;
            continue;
        }
        m_currentFrame = frame;
        m_playIndex = i;
        m_blockPending = false;
        block.m_owner = this;
        block.Start(entry, m_speed, m_direction);
        // Playing backwards, the entry's last frames come first.
        block.SetFrameNumber(m_direction ? count - 1 - rest : rest);
        return true;
    }
    return false;
}

void aAdvAnim::SetReverse(bool reverse)
{
    m_reverse = m_direction = reverse;
    if (m_active)
        if (aAdvAnimBlock* block = GetCurrentBlock())
            block->SetReverse(reverse);
}
