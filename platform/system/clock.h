#pragma once
// Time sources of the process: a high-resolution counter, a 32-bit
// millisecond tick count and a sleep. Tests install their own clock so that
// time and sleeping are under their control.
#include <cstdint>

namespace platform {

class Clock {
public:
    virtual ~Clock() = default;
    // Monotonic counter and its ticks per second.
    virtual std::int64_t counter() = 0;
    virtual std::int64_t frequency() = 0;
    // Milliseconds since some fixed point, wrapping at 2^32.
    virtual std::uint32_t tickCount() = 0;
    virtual void sleep(std::uint32_t ms) = 0;
};

// The clock in use; the steady system clock unless a test installed another.
Clock& clock();
// Installs a clock (not owned); null restores the system clock.
void setClock(Clock* clock);
// Whether time is the system's, not a test's.
bool systemClockInUse();

inline std::uint32_t getTickCount() { return clock().tickCount(); }
inline void sleepMs(std::uint32_t ms) { clock().sleep(ms); }

// A clock that only moves when told to; sleeping advances it.
class ManualClock : public Clock {
public:
    std::int64_t counter() override { return m_ns; }
    std::int64_t frequency() override { return 1000000000; }
    std::uint32_t tickCount() override { return m_tickBase + static_cast<std::uint32_t>(m_ns / 1000000); }
    void sleep(std::uint32_t ms) override;

    void advanceMs(double ms) { m_ns += static_cast<std::int64_t>(ms * 1000000.0); }
    void advanceNs(std::int64_t ns) { m_ns += ns; }
    // Moves the tick count without moving the counter (to test wrap-around).
    void setTickBase(std::uint32_t base) { m_tickBase = base; }

    std::uint32_t sleepCount = 0;
    std::uint64_t sleptMs = 0;
    std::uint32_t lastSleepMs = 0;

private:
    std::int64_t m_ns = 0;
    std::uint32_t m_tickBase = 0;
};

} // namespace platform
