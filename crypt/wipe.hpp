// Overwriting secrets (key text, key bytes, round keys) so they do not outlive their use.
#pragma once

#include <cstddef>
#include <cstdint>

// Volatile stores: the compiler may not drop them as dead writes.
inline void wipe_memory(void* memory, size_t size)
{
    volatile uint8_t* p = static_cast<volatile uint8_t*>(memory);
    for (size_t i = 0; i < size; ++i)
        p[i] = 0;
}
