#include "engine/Keyboard.h"

#include "engine/graph/RampList.h"

#include <algorithm>
#include <cmath>
#include <iterator>

namespace moraine {

void KeyboardCv::setNote(float volts) {
    const float target = float(double(volts) - 1.0);
    if (!portamentoOn || !ramps) {
        noteRamp.setNow(target);
        return;
    }
    // A linear glide over sampleRate x time + 1 samples.
    const float samples = float(ramps->sampleRate) * portamentoTime + 1.0f;
    setRampTargetAndIncrement(*ramps, noteRamp, target, (target - noteRamp.current) / samples);
}

void KeyboardGate::setControl(float v) {
    history.push(v);
    const float d = v - history.oldest();
    if (d < -5.0f)
        externalGate = 0.0f;
    else if (d > 5.0f)
        externalGate = 10.0f;
    else
        return;
    history.restart(v);
}

void KeyboardLfo::setSampleRate(int sr) {
    sampleRate = float(sr);
    inverseSampleRate = 1.0f / sampleRate;
    timerIncrement = inverseSampleRate;
    increment = speed / sampleRate;
}

float KeyboardLfo::delayedSine(double angle) const {
    if (!keyDown || delayTimer < delay) return 0.0f;
    const float s = float(std::sin(angle));
    return delayTimer >= 2.0f * delay ? s : s * (delayTimer - delay) * inverseDelay;
}

float KeyboardLfo::output(int selector) {
    if (selector == kLfoDelayedSine) {
        if (dirty & 1) {
            sineOut = delayedSine(double(phase) * 2.0 * 3.1415927410125732);
            dirty &= ~1;
        }
        return sineOut;
    }
    if (dirty & 2) {
        squareOut = phase < 0.5f ? 10.0f : 0.0f;
        triangleOut = phase < 0.5f ? 2.0f * phase - 1.0f : 1.0f - 2.0f * phase;
        dirty &= ~2;
    }
    if (selector == kLfoSquare) return squareOut;
    if (selector == kLfoTriangle) return triangleOut;
    return 0.0f;
}

float KeyboardLfo::syncedOutput(int selector) const {
    if (selector == kLfoDelayedSine)
        return delayedSine(double(syncPhase) * 2.0 * 3.1415927410125732);
    const float fraction = syncPhase - std::floor(syncPhase);
    if (selector == kLfoSquare) return fraction < 0.5f ? 10.0f : 0.0f;
    if (selector == kLfoTriangle)
        return fraction < 0.5f ? 2.0f * fraction - 1.0f : 1.0f - 2.0f * fraction;
    return 0.0f;
}

} // namespace moraine
