#include "engine/gfx/a_sprite.h"

#include <cmath>

#include "engine/util/a_log.h"

aFrame::aFrame(const aFrame& other)
    : ticks(other.ticks), rect(other.rect), hidden(other.hidden),
      image(other.image ? std::make_unique<aImage>(*other.image) : nullptr)
{
}

aFrame& aFrame::operator=(const aFrame& other)
{
    if (this != &other) {
        ticks = other.ticks;
        rect = other.rect;
        hidden = other.hidden;
        image = other.image ? std::make_unique<aImage>(*other.image) : nullptr;
    }
    return *this;
}

namespace {

void dropList(aFrameList* list)
{
    if (list && --list->refCount <= 0)
        delete list;
}

} // namespace

aSprite::aSprite() : m_list(new aFrameList) {}

aSprite::aSprite(const aSprite& other) : m_list(other.m_list), m_frame(other.m_frame), m_ticks(other.m_ticks)
{
    ++m_list->refCount;
}

aSprite& aSprite::operator=(const aSprite& other)
{
    if (this != &other) {
        share(other);
        m_frame = other.m_frame;
        m_ticks = other.m_ticks;
    }
    return *this;
}

aSprite::~aSprite() { dropList(m_list); }

void aSprite::share(const aSprite& other)
{
    ++other.m_list->refCount;
    dropList(m_list);
    m_list = other.m_list;
}

void aSprite::addFrame(std::uint16_t ticks, const aImage* image, const aRect& rect)
{
    aFrame frame;
    frame.ticks = ticks;
    frame.rect = rect;
    if (image)
        frame.image = std::make_unique<aImage>(*image);
    m_list->frames.push_back(std::move(frame));
    setFirstFrame();
}

void aSprite::clearFrames()
{
    if (m_list->refCount > 1) {
        dropList(m_list);
        m_list = new aFrameList;
    } else {
        m_list->frames.clear();
    }
    m_frame = 0;
    m_ticks = 0;
}

void aSprite::setFrameHidden(std::uint16_t index, bool hidden)
{
    if (index < m_list->frames.size())
        m_list->frames[index].hidden = hidden ? 1 : 0;
}

const aFrame* aSprite::getCurrentFrame() const
{
    return m_frame < m_list->frames.size() ? &m_list->frames[m_frame] : nullptr;
}

std::uint16_t aSprite::getFrameDuration() const
{
    const aFrame* f = getCurrentFrame();
    return f ? f->ticks : 0;
}

std::uint16_t aSprite::getFrameWidth() const
{
    const aFrame* f = getCurrentFrame();
    return f ? f->rect.width : 0;
}

std::uint16_t aSprite::getFrameHeight() const
{
    const aFrame* f = getCurrentFrame();
    return f ? f->rect.height : 0;
}

void aSprite::setFirstFrame()
{
    if (!m_list->frames.empty()) {
        m_frame = 0;
        m_ticks = m_list->frames[0].ticks;
    }
}

void aSprite::setLastFrame()
{
    if (!m_list->frames.empty()) {
        m_frame = std::uint16_t(m_list->frames.size() - 1);
        m_ticks = m_list->frames[m_frame].ticks;
    }
}

void aSprite::setFrame(std::uint16_t index, std::uint16_t ticks)
{
    if (index >= m_list->frames.size())
        return;
    m_frame = index;
    m_ticks = ticks ? ticks : m_list->frames[index].ticks;
}

void aSprite::stepForward()
{
    if (m_list->frames.empty())
        return;
    if (m_ticks > 0)
        --m_ticks;
    if (m_ticks == 0) {
        m_frame = std::uint16_t((m_frame + 1u) % m_list->frames.size());
        m_ticks = m_list->frames[m_frame].ticks;
    }
}

void aSprite::stepBackward()
{
    if (m_list->frames.empty())
        return;
    if (m_ticks > 0)
        --m_ticks;
    if (m_ticks == 0) {
        m_frame = m_frame == 0 ? std::uint16_t(m_list->frames.size() - 1) : std::uint16_t(m_frame - 1);
        m_ticks = m_list->frames[m_frame].ticks;
    }
}

void aSprite::draw(float x, float y, std::uint32_t color, const D3DXVECTOR2* scale, float angle,
                   const D3DXVECTOR2* center, std::uint32_t flags) const
{
    const aFrame* f = getCurrentFrame();
    if (!f || f->hidden || !f->image)
        return;
    f->image->draw(x, y, &f->rect, color, scale, angle, center, flags);
}

std::uint32_t aSprite::hitTest(std::int32_t x, std::int32_t y) const
{
    const aFrame* f = getCurrentFrame();
    if (!f || !f->image)
        return 0;
    return f->image->getPixel(f->rect.x + x, f->rect.y + y);
}

// --- aAnim ---------------------------------------------------------------------

aAnim::aAnim() = default;

aAnim::aAnim(const aAnim& other)
    : aSprite(other), m_stopped(other.m_stopped), m_frameTime(other.m_frameTime), m_elapsed(other.m_elapsed),
      m_initialMode(other.m_initialMode), m_mode(other.m_mode)
{
    m_frame = 0;
    m_ticks = 0;
    setFrame(other.m_frame, other.m_ticks);
}

aAnim& aAnim::operator=(const aAnim& other)
{
    if (this == &other)
        return *this;
    share(other);
    m_frameTime = other.m_frameTime;
    m_elapsed = other.m_elapsed;
    m_initialMode = other.m_initialMode;
    m_mode = other.m_mode;
    m_stopped = other.m_stopped;
    setFrame(other.m_frame, other.m_ticks);
    return *this;
}

void aAnim::setFramesFromImage(const aImage* image, const aRect* region, std::uint16_t w, std::uint16_t h,
                               std::uint16_t count)
{
    clearFrames();
    if (!image)
        return;
    const aRect area = region ? *region : aRect(0, 0, image->getWidth(), image->getHeight());
    // A frame wider than the region (or of width 0) fits no frame per row.
    if (w == 0 || area.width < w)
        return;
    const int perRow = area.width / w;
    for (int i = 0; i < count; ++i) {
        const aRect rect(std::int16_t(area.x + (i % perRow) * w), std::int16_t(area.y + (i / perRow) * h), w, h);
        addFrame(1, image, rect);
    }
}

void aAnim::setFrameTime(float t)
{
    A_CHECK(t>0);
    if (t > 0)
        m_frameTime = t;
}

void aAnim::play()
{
    m_stopped = false;
    m_elapsed = 0.0f;
    m_mode = m_initialMode;
}

void aAnim::update(float dt)
{
    if (m_stopped || !std::isfinite(dt))
        return;
    m_elapsed += dt;
    while (m_elapsed >= m_frameTime) {
        const float before = m_elapsed;
        m_elapsed -= m_frameTime;
        // A step too small to change a huge total would never end the loop.
        if (m_elapsed >= before)
            m_elapsed = 0.0f;
        // A frame of 0 ticks counts as on its last tick, so a run without
        // loop still ends on it.
        const bool lastTick = m_ticks <= 1;
        if (!(m_mode & ANIM_BACKWARDS)) {
            if (isLastFrame() && lastTick) {
                if (m_mode & ANIM_PINGPONG) {
                    m_mode |= ANIM_BACKWARDS;
                    if (!(m_mode & ANIM_LOOP))
                        m_mode &= ~ANIM_PINGPONG;
                    continue;
                }
                if (!(m_mode & ANIM_LOOP)) {
                    m_stopped = true;
                    return;
                }
            }
            stepForward();
        } else {
            if (isFirstFrame() && lastTick) {
                if (m_mode & ANIM_PINGPONG) {
                    m_mode &= ~ANIM_BACKWARDS;
                    if (!(m_mode & ANIM_LOOP))
                        m_mode &= ~ANIM_PINGPONG;
                    continue;
                }
                if (!(m_mode & ANIM_LOOP)) {
                    m_stopped = true;
                    return;
                }
            }
            stepBackward();
        }
    }
}
