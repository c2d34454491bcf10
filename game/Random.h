// The game's random generator: PCG32 (XSH-RR, 64-bit state, O'Neill 2014), the same
// numbers from the same seed on every compiler and platform.
#pragma once
#include <cstdint>

namespace blubbi {

class TRandom {
public:
    explicit TRandom(uint64_t seed = 1) { Seed(seed); }

    void Seed(uint64_t seed) {
        State = 0;
        Step();
        State += seed;
        Step();
    }

    uint32_t Next32() {
        const uint64_t old = State;
        Step();
        const uint32_t xorshifted = static_cast<uint32_t>(((old >> 18u) ^ old) >> 27u);
        const uint32_t rot = static_cast<uint32_t>(old >> 59u);
        return (xorshifted >> rot) | (xorshifted << ((32u - rot) & 31u));
    }

    // Random(n): uniform over 0 .. n - 1 (rejection keeps it unbiased); 0 when n <= 0.
    int32_t Random(int32_t n) {
        if (n <= 0) return 0;
        const uint32_t bound = static_cast<uint32_t>(n);
        const uint32_t threshold = (0u - bound) % bound;
        for (;;) {
            const uint32_t r = Next32();
            if (r >= threshold) return static_cast<int32_t>(r % bound);
        }
    }

    // The game's random events fire when the number drawn from 0 .. n - 1 is 5.
    bool Chance(int32_t n) { return Random(n) == kChance; }

    uint64_t State = 0;

private:
    static constexpr int32_t kChance = 5;
    static constexpr uint64_t kMultiplier = 6364136223846793005ULL;
    static constexpr uint64_t kIncrement = 1442695040888963407ULL;
    void Step() { State = State * kMultiplier + kIncrement; }
};

}  // namespace blubbi
