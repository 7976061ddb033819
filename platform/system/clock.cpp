#include "platform/system/clock.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace platform {

namespace {

class SystemClock : public Clock {
public:
    std::int64_t counter() override
    {
        return std::chrono::duration_cast<std::chrono::nanoseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }
    std::int64_t frequency() override { return 1000000000; }
    std::uint32_t tickCount() override
    {
        return static_cast<std::uint32_t>(
            std::chrono::duration_cast<std::chrono::milliseconds>(
                std::chrono::steady_clock::now().time_since_epoch())
                .count());
    }
    void sleep(std::uint32_t ms) override { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
};

SystemClock g_systemClock;
std::atomic<Clock*> g_clock{nullptr};

} // namespace

Clock& clock()
{
    Clock* c = g_clock.load(std::memory_order_acquire);
    return c ? *c : g_systemClock;
}

void setClock(Clock* c) { g_clock.store(c, std::memory_order_release); }

bool systemClockInUse() { return g_clock.load(std::memory_order_acquire) == nullptr; }

void ManualClock::sleep(std::uint32_t ms)
{
    ++sleepCount;
    sleptMs += ms;
    lastSleepMs = ms;
    advanceMs(ms);
}

} // namespace platform
