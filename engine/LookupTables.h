// Tables built once when the library loads, all read by one rule: the nearest entry
// (ties to even), then the straight line through it and the next entry, extended
// backwards for a negative fraction. Phases wrap by the table's step count.
#pragma once

#include <cmath>
#include <cstdint>

namespace moraine {

// The nearest integer, ties to even. Adding and taking away 1.5 x 2^23 lets the FPU's own
// rounding do it in two additions; beyond 2^22 the library call takes over.
inline float nearestEven(float a) {
    constexpr float kShift = 12582912.0f;
    return std::fabs(a) < 4194304.0f ? (a + kShift) - kShift : std::nearbyint(a);
}

template <int Steps> struct LookupTable {
    static_assert((Steps & (Steps - 1)) == 0, "the wrap is a bit mask");
    float values[Steps + 2];

    float operator()(float x) const {
        const float a = x * float(Steps);
        const float nearest = nearestEven(a);
        const float fraction = a - nearest;
        const int j = int(std::int64_t(nearest) & (Steps - 1));
        return values[j] + (values[j + 1] - values[j]) * fraction;
    }
};

using SineTable = LookupTable<8192>;
using CosineTable = LookupTable<8192>;

// sin and cos over one period: entry i at phase i / 8192, entry 8193 repeats entry 0.
const SineTable& sineTable();
const CosineTable& cosineTable();

} // namespace moraine
