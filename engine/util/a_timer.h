#pragma once
#include <cstdint>

// Seconds and milliseconds since the last reset, over either the
// high-resolution counter or the 32-bit millisecond tick count (both come
// from platform::clock(), which tests can replace).
class aTimer {
public:
    enum Kind : std::uint8_t { PerformanceCounter = 0, TickCount = 1 };

    explicit aTimer(std::uint8_t kind = PerformanceCounter);

    void reset();
    float getTime() const;
    std::uint32_t getTimeMs() const;
    // Busy-waits (no sleep) until ms milliseconds have passed from now.
    void wait(std::uint32_t ms) const;

    std::uint8_t kind() const { return m_kind; }

private:
    std::uint8_t m_kind;
    std::uint32_t m_startMs = 0;
    std::uint32_t m_lastMs = 0;
    std::int64_t m_startCount = 0;
    std::int64_t m_lastCount = 0;
};
