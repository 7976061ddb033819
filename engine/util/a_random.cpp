#include "engine/util/a_random.h"

#include <atomic>

namespace {
std::atomic<std::uint32_t> g_state{1};
}

void a_srand(std::uint32_t seed) { g_state.store(seed, std::memory_order_relaxed); }

int a_rand()
{
    std::uint32_t old = g_state.load(std::memory_order_relaxed);
    std::uint32_t next;
    do {
        next = old * 214013u + 2531011u;
    } while (!g_state.compare_exchange_weak(old, next, std::memory_order_relaxed));
    return int((next >> 16) & 0x7FFF);
}
