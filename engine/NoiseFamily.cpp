#include "engine/NoiseFamily.h"

#include "engine/Random.h"

#include <algorithm>
#include <cmath>
#include <iterator>

namespace moraine {

void NoiseGenerator::setSampleRate(int sr) {
    sampleRate = float(sr);
    const double b = 2.0 - std::cos(314.1592653589793 / double(sampleRate));
    pole = float(b - std::sqrt(b * b - 1.0));
    oneMinusPole = 1.0f - pole;
}

float NoiseGenerator::output(int) {
    if (cached >= -100.0f) return cached;
    const float white = float(double(sharedRand()) * 3.0517578125e-5 - 0.5);
    redState = normalOrZero(oneMinusPole * white + pole * redState);
    cached = ((redState * 10.0f - white) * colourRamp.current + white) * levelRamp.current;
    return cached;
}

void InternalClock::updatePeriod() {
    // A period below one sample would divide by zero; the shortest clock is one sample.
    // Multiplied in float, as the period is stored: 0.01 s at 8000 Hz is 80 samples.
    const double samples = double(float(sampleRate) * period);
    periodSamples = std::isfinite(samples) ? int(std::clamp(samples, 1.0, 2147483647.0)) : 1;
    counter %= periodSamples;
}

float SampleAndHold::process(float in) {
    const double d = double(clock) - double(history.oldest());
    if (std::fabs(d) > 0.5) {
        held = in;
        history.restart(clock);
    }
    previousClock = clock;
    return held;
}

void LagProcessor::update() {
    // A rate above half the sample rate would square to a coefficient beyond 1 and
    // blow up; there the lag simply passes its input.
    const double c = std::max(0.0, 1.0 - 2.0 * double(rate) / double(sampleRate));
    coef = float(c * c);
}

float EnvelopeFollower::process(float in) {
    const float a = std::fabs(normalOrZero(in));
    // Peaks above 10 V hold at 10 V: the follower's range is the circuit's.
    if (a > level)
        level = std::min(a, 10.0f);
    else
        level = float(double(level) * 0.9995);
    level = normalOrZero(level);
    return level;
}

} // namespace moraine
