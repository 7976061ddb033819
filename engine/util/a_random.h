#pragma once
#include <cstdint>

// The process-wide random generator every random draw goes through:
// state = state * 214013 + 2531011 (mod 2^32), result (state >> 16) & 0x7FFF.
// The state is 1 until seeded.
constexpr int A_RAND_MAX = 0x7FFF;

void a_srand(std::uint32_t seed);
int a_rand();
