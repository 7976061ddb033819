#include "stepped_clock.h"

#include <chrono>

void SteppedClock::sleep(std::uint32_t ms)
{
    if (std::this_thread::get_id() != m_mainThread) {
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        return;
    }
    m_steps.fetch_add(1, std::memory_order_acq_rel);
    if (onStep)
        onStep();
}
