#pragma once
#include <cstdint>

// The process-wide random generator every random draw goes through:
// state = state * 214013 + 2531011 (mod 2^32), result (state >> 16) & 0x7FFF.
// The state is 1 until seeded.
constexpr int A_RAND_MAX = 0x7FFF;

void a_srand(std::uint32_t seed);
int a_rand();

// A generator of the same kind with a state of its own, for draws whose
// timing the game's sequence must not depend on (the ambience, which draws
// when a sound ends, and sounds end on the device's time).
class aRandom {
public:
    explicit aRandom(std::uint32_t seed = 1) : m_state(seed) {}
    void seed(std::uint32_t seed) { m_state = seed; }
    // 0..A_RAND_MAX, as a_rand.
    int next()
    {
        m_state = m_state * 214013u + 2531011u;
        return int((m_state >> 16) & 0x7FFF);
    }

private:
    std::uint32_t m_state;
};
