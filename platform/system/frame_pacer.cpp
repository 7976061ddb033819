#include "platform/system/frame_pacer.h"

#include <thread>

namespace platform {

namespace {

class SteadyPaceClock final : public PaceClock {
public:
    TimePoint now() override { return std::chrono::steady_clock::now(); }
    void sleepUntil(TimePoint when) override { std::this_thread::sleep_until(when); }
};

} // namespace

PaceClock& steadyPaceClock()
{
    static SteadyPaceClock clock;
    return clock;
}

void FramePacer::setRefreshRate(int hz)
{
    // Beyond any display: a rate read wrong would only let frames through.
    if (hz <= 0 || hz > 1000)
        hz = 60;
    m_period = std::chrono::nanoseconds(1000000000 / hz);
}

void FramePacer::restart()
{
    m_known = false;
    m_swapWaits = SwapWaits::Unknown;
    m_telling = m_waited = 0;
}

void FramePacer::shown(TimePoint start, TimePoint end, bool swapped)
{
    // The first frame has no blank before it to be paced against.
    if (!m_known) {
        m_known = true;
        m_lastBlank = end;
        return;
    }
    const TimePoint due = m_lastBlank + m_period;
    // A swap held back for a good part of a period, ending about when a
    // blank was due, waited for one: the driver paces, and its blank is the
    // true one (the rate SDL reports may be rounded).
    const bool swapWaited = end - start >= m_period / 4 && end >= due - m_period / 8;
    // Only a frame ready well before its blank tells whether the swap waits:
    // a late one finds the blank passed either way.
    if (swapped && m_swapWaits == SwapWaits::Unknown && start <= due - m_period / 4) {
        m_waited += swapWaited ? 1 : 0;
        if (++m_telling == kTellingSwaps)
            m_swapWaits = 2 * m_waited >= m_telling ? SwapWaits::Yes : SwapWaits::No;
    }
    if (swapWaited || end >= due) {
        m_lastBlank = end;
        return;
    }
    m_clock->sleepUntil(due);
    m_lastBlank = due;
}

void FramePacer::nothingShown()
{
    const TimePoint now = m_clock->now();
    if (!m_known) {
        m_known = true;
        m_lastBlank = now;
        return;
    }
    // The next blank after now, counted in periods from the last one.
    const auto blanks = now < m_lastBlank ? 1 : (now - m_lastBlank) / m_period + 1;
    m_lastBlank += blanks * m_period;
    m_clock->sleepUntil(m_lastBlank);
}

} // namespace platform
