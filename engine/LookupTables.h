// Tables built once when the library loads, all read by one rule: the nearest entry
// (ties to even), then the straight line through it and the next entry, extended
// backwards for a negative fraction. Phases wrap by the table's step count.
#pragma once

#include <cmath>
#include <cstdint>

namespace moraine {

template <int Steps> struct LookupTable {
    static_assert((Steps & (Steps - 1)) == 0, "the wrap is a bit mask");
    float values[Steps + 2];

    float operator()(float x) const {
        const float a = x * float(Steps);
        const float nearest = std::nearbyint(a); // ties to even in the default rounding mode
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
