#pragma once
#include <cstdint>

// Nanoseconds for a high-resolution performance counter reading `count` at
// `frequency` ticks per second, in 64-bit integers: the whole seconds and the
// remainder are scaled apart, so the product never overflows for any time
// that fits in 64 bits (a 10 MHz counter gives exactly count x 100).
constexpr int64_t CounterNanoseconds(int64_t count, int64_t frequency)
{
    constexpr int64_t kNanosecondsPerSecond = 1000000000;
    return count / frequency * kNanosecondsPerSecond + count % frequency * kNanosecondsPerSecond / frequency;
}
