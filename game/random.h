#pragma once
#include <cstdint>

// The program's one random source. It reproduces the Windows C runtime's
// srand/rand sequence (a linear congruential generator, seed 1 by default,
// values 0..32767) on every platform, so a seeded run repeats bit for bit
// whether it was built with MSVC, mingw-w64 or the host compiler.
class CrtRandom {
public:
    static constexpr int kMax = 32767;

    void Seed(uint32_t seed) { state_ = seed; }

    int Next()
    {
        state_ = state_ * 214013u + 2531011u;
        return static_cast<int>((state_ >> 16) & 0x7fffu);
    }

    // rand / 32767.0: a unit value in which both 0.0 and 1.0 are possible.
    double NextUnit() { return Next() / 32767.0; }

private:
    uint32_t state_ = 1;
};
