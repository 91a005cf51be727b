// A smoothed value. Every link level is one, and some modules embed their own
// (pan position, noise colour and level, reverb levels, pitch bend ...). Ramps that
// are moving sit in their voice's ramp list; settled ramps cost nothing.
#pragma once

namespace moraine {

struct ParamRamp {
    float current = 0.0f;
    bool off = true; // |current| < 1e-6: links that are off are skipped
    int settled = 1; // 0 while the ramp is in its voice's ramp list
    ParamRamp* nextRamp = nullptr;
    float target = 0.0f;
    float increment = 0.0f;

    // Jumps to a value at once (used for switches that must not glide).
    void setNow(float v);
};

constexpr float kOffThreshold = 1e-6f;

// True for zero, subnormal, infinite and NaN: the circuit treats all of them as 0.
inline bool notNormal(float x) {
    unsigned bits;
    __builtin_memcpy(&bits, &x, sizeof bits);
    unsigned exponent = bits & 0x7F800000u;
    return exponent == 0 || exponent == 0x7F800000u;
}
inline float normalOrZero(float x) {
    return notNormal(x) ? 0.0f : x;
}

inline void ParamRamp::setNow(float v) {
    v = normalOrZero(v);
    current = target = v;
    off = (v < 0 ? -v : v) < kOffThreshold;
}

} // namespace moraine
