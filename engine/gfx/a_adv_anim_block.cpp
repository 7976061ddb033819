#include "engine/gfx/a_adv_anim_block.h"

#include <limits>

#include "engine/gfx/a_adv_anim.h"
#include "engine/gfx/a_image_manager.h"
#include "engine/gui/a_tag_parser.h"
#include "engine/util/a_log.h"
#include "engine/util/a_options_file.h"
#include "engine/util/a_string.h"

namespace advAnim {

namespace {

constexpr std::uint32_t kEndless = std::numeric_limits<std::uint32_t>::max();

std::string trimRight(const std::string& text)
{
    const std::size_t end = text.find_last_not_of(" \t");
    return end == std::string::npos ? std::string() : text.substr(0, end + 1);
}

} // namespace

void aAdvAnimBlock::Load(aAdvAnim* owner, aOptionsFile& ini, aImageManager* images, const std::string& group)
{
    m_owner = owner;
    std::shared_ptr<const aImage> texture;
    aTagParser<char> tags("(", ")", "=");
    for (ini.firstKey(); !ini.isKeysEnd(); ini.nextKey()) {
        const std::string key = ini.getKeyName();
        const std::string value = ini.getKeyValue();
        if (key == "Texture") {
            const aImage* image = images ? images->GetImage(trimRight(value), group) : nullptr;
            texture = image ? std::make_shared<const aImage>(*image) : nullptr;
        } else if (key == "AutoFrames") {
            AutoFrames(texture, str_toInt(value), owner->GetPixelIndent());
        } else if (key == "Frame") {
            tags.parse(value);
            if (tags.isPlainText())
                continue;
            aAdvAnimFrame frame;
            frame.texture = texture;
            for (tags.first(); !tags.isEnd(); tags.next()) {
                if (tags.isText())
                    continue;
                const std::string name = tags.getKey();
                if (name == "Rect")
                    str_parseRect(tags.getValue(), frame.rect);
                else if (name == "Disp")
                    str_parsePoint(tags.getValue(), frame.dx, frame.dy);
            }
            m_frames.push_back(frame);
        }
    }
}

void aAdvAnimBlock::Start(const aPlayEntry& entry, float speed, bool direction)
{
    m_frameRate = entry.frameRate;
    m_loops = entry.loops;
    m_reverse = entry.reverse;
    m_pingPong = entry.pingPong;
    m_speed = speed;
    m_animDirection = direction;
    if (m_frames.empty())
        return;
    m_playing = true;
    m_currentDirection = direction ? true : entry.reverse;
    // A rate of 0 holds each frame for good, without dividing by it.
    m_duration = m_frameRate ? 1.0f / float(m_frameRate) : std::numeric_limits<float>::infinity();
    m_index = m_currentDirection ? std::uint32_t(m_frames.size() - 1) : 0;
    m_loopCounter = 0;
    m_timer = m_currentDirection ? m_duration : 0.0f;
}

float aAdvAnimBlock::Update(float dt)
{
    if (!m_playing || m_frames.empty())
        return dt;
    const std::uint32_t count = std::uint32_t(m_frames.size());
    float leftover = 0.0f;
    if (!m_currentDirection) {
        m_timer += dt * m_speed;
        if (m_timer < m_duration)
            return 0.0f;
        if (m_timer > m_duration && m_speed > 0.0f)
            leftover = (m_timer - m_duration) / m_speed;
        if (m_index + 1 < count) {
            ++m_index;
            m_timer = 0.0f;
            return leftover;
        }
    } else {
        m_timer -= dt * m_speed;
        if (m_timer > 0.0f)
            return 0.0f;
        if (m_timer < 0.0f && m_speed > 0.0f)
            leftover = -m_timer / m_speed;
        if (m_index > 0) {
            --m_index;
            m_timer = m_duration;
            return leftover;
        }
    }
    if (m_loops != 0 && m_loopCounter + 1 >= m_loops) {
        m_playing = false;
    } else {
        ++m_loopCounter;
        if (m_pingPong)
            m_currentDirection = !m_currentDirection;
        m_index = m_currentDirection ? count - 1 : 0;
        m_timer = m_currentDirection ? m_duration : 0.0f;
    }
    return leftover;
}

std::uint32_t aAdvAnimBlock::GetFrameNumber() const
{
    const std::uint32_t count = std::uint32_t(m_frames.size());
    return m_loopCounter * count + (m_currentDirection ? count - 1 - m_index : m_index);
}

std::uint32_t aAdvAnimBlock::GetFrameCount(const aPlayEntry& entry) const
{
    if (entry.loops == 0)
        return kEndless;
    const std::uint64_t n = std::uint64_t(m_frames.size()) * entry.loops;
    return n >= kEndless ? kEndless : std::uint32_t(n);
}

void aAdvAnimBlock::SetFrameNumber(std::uint32_t number)
{
    if (m_frames.empty())
        return;
    const std::uint32_t count = std::uint32_t(m_frames.size());
    const std::uint32_t loop = number / count, within = number % count;
    // The direction the play has after `loop` passes from its start.
    const bool first = m_animDirection ? true : m_reverse;
    m_currentDirection = (m_pingPong && (loop & 1)) ? !first : first;
    m_loopCounter = loop;
    m_index = m_currentDirection ? count - 1 - within : within;
    m_timer = m_currentDirection ? m_duration : 0.0f;
}

void aAdvAnimBlock::SetReverse(bool reverse)
{
    if (m_playing && reverse != m_animDirection)
        m_currentDirection = !m_currentDirection;
    m_animDirection = reverse;
}

bool aAdvAnimBlock::AutoFrames(std::shared_ptr<const aImage> texture, std::int32_t count, bool pixelIndent)
{
    if (!texture)
        return false;
    const std::int32_t w = m_owner ? m_owner->GetWidth() : 0, h = m_owner ? m_owner->GetHeight() : 0;
    const char* file = m_owner ? m_owner->GetPath().c_str() : "";
    if (count <= 0 || w <= 0 || h <= 0) {
        a_log("aAdvAnim. AutoFrames %d of %d x %d refused in '%s'", count, w, h, file);
        return false;
    }
    const std::int32_t imageW = texture->getWidth(), imageH = texture->getHeight();
    if (w > imageW || h > imageH)
        return false;
    const std::int32_t step = pixelIndent ? 1 : 0;
    std::int32_t x = 0, y = 0;
    for (std::int32_t made = 0; made < count; ++made) {
        if (x + w > imageW) {
            x = 0;
            y += h + step;
        }
        if (y + h > imageH)
            return false;
        aAdvAnimFrame frame;
        frame.texture = texture;
        frame.rect = aRect(std::int16_t(x), std::int16_t(y), std::uint16_t(w), std::uint16_t(h));
        m_frames.push_back(frame);
        x += w + step;
    }
    return true;
}

const aAdvAnimFrame* aAdvAnimBlock::GetCurrentFrame() const
{
    return m_index < m_frames.size() ? &m_frames[m_index] : nullptr;
}

} // namespace advAnim
