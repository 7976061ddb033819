#pragma once
// The game's shuffle over the process-wide generator: for i = 1 .. n-1,
// element i swaps with element r mod (i + 1), r a fresh draw, or two draws
// joined ((first << 15) | second) once i + 1 exceeds one draw's range.
// Input recordings replay only while every draw is the same, so game lists
// are shuffled only through this.
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "engine/util/a_random.h"

template <class T>
void SpyRandomShuffle(std::vector<T>& items)
{
    for (std::size_t i = 1; i < items.size(); ++i) {
        std::uint32_t r = std::uint32_t(a_rand());
        if (i + 1 > std::size_t(A_RAND_MAX))
            r = (r << 15) | std::uint32_t(a_rand());
        const std::size_t j = std::size_t(r % (i + 1));
        if (j != i)
            std::swap(items[i], items[j]);
    }
}
