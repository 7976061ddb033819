#include "engine/util/a_timer.h"

#include "platform/system/clock.h"

aTimer::aTimer(std::uint8_t kind) : m_kind(kind) { reset(); }

void aTimer::reset()
{
    if (m_kind == PerformanceCounter) {
        m_startCount = m_lastCount = platform::clock().counter();
    } else {
        m_startMs = m_lastMs = platform::clock().tickCount();
    }
}

float aTimer::getTime() const
{
    platform::Clock& c = platform::clock();
    if (m_kind == PerformanceCounter) {
        const std::int64_t freq = c.frequency();
        return freq > 0 ? float(double(c.counter() - m_startCount) / double(freq)) : 0.0f;
    }
    // Unsigned difference: a wrap of the tick count still gives a small time.
    const std::uint32_t elapsed = c.tickCount() - m_startMs;
    return float(elapsed) / 1000.0f;
}

std::uint32_t aTimer::getTimeMs() const
{
    platform::Clock& c = platform::clock();
    if (m_kind == PerformanceCounter) {
        // Integer arithmetic: a float round trip would lose milliseconds
        // after an hour or so.
        const std::int64_t freq = c.frequency();
        const std::int64_t d = c.counter() - m_startCount;
        if (freq <= 0 || d <= 0)
            return 0;
        return std::uint32_t(d / freq * 1000 + (d % freq) * 1000 / freq);
    }
    return c.tickCount() - m_startMs;
}

void aTimer::wait(std::uint32_t ms) const
{
    const float until = getTime() + float(ms) / 1000.0f;
    while (getTime() < until) {
    }
}
