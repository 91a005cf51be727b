// The small signal modules: amplifier, ring modulator, inverters, electronic switch, pan,
// audio inputs and the constant cells.
#pragma once

#include "engine/graph/ParamRamp.h"

#include <cmath>

namespace moraine {

// Three gains that add: the initial gain (unscaled), 0.1 per volt on the linear input and
// a 0..1 exponential law over 0..10 V on the other.
struct VcaModule {
    float linearGain = 0.0f;
    float exponentialGain = 0.0f;
    ParamRamp initialGainRamp;

    void setLinearControl(float v) {
        linearGain = normalOrZero(float(0.1 * double(normalOrZero(v))));
    }
    void setExponentialControl(float v);
    float process(float in) {
        return (initialGainRamp.current + linearGain + exponentialGain) * normalOrZero(in);
    }
};

// The product of its two inputs; in audio mode each input first loses its DC.
struct RingModulator {
    int mode = 1; // 1 audio, 2 DC
    float prevA = 0.0f, prevB = 0.0f;
    float blockedA = 0.0f, blockedB = 0.0f;
    float inputA = 0.0f, inputB = 0.0f;
    float pole = 0.0f;
    int sampleRate = 44100;

    RingModulator() { setMode(1); }
    void setSampleRate(int sr) {
        sampleRate = sr;
        setMode(mode);
    }
    void setMode(int m);
    float processA(float x) {
        inputA = x;
        return 0.0f;
    }
    float processB(float x) {
        inputB = x;
        return 0.0f;
    }
    float process(float);
};

struct Inverter {
    float process(float in) { return -normalOrZero(in); }
};

// Flipped by the clock on its control input: A and B into C (direction 1) or C out to
// A and B (direction 2), as the cord on terminal C decides.
struct ElectronicSwitch {
    float a = 0.0f, b = 0.0f, c = 0.0f, control = 0.0f;
    int direction = 0; // 0 not set, 1 A and B to C, 2 C to A and B

    void setDirection(int d) { direction = d; }
    void setControlC(float v) { control = v; }
    float processA(float x) {
        if (direction == 1) a = x;
        return direction == 2 && control > 0.5f ? c : 0.0f;
    }
    float processB(float x) {
        if (direction == 1) b = x;
        return direction == 2 && control < 0.5f ? c : 0.0f;
    }
    float processC(float x) {
        if (direction == 2) c = x;
        if (direction == 1) return control > 0.5f ? a : b;
        return 0.0f;
    }
};

struct PanControl {
    float leftGain = 1.0f;
    float rightGain = 1.0f;
    ParamRamp positionRamp;
    float gainsPosition = -1.0f; // the position the gains were computed for
    // Full level on the near side, a cosine fall on the far side. Cheap to call every
    // sample: it recomputes only when the position has moved.
    void updateGains() {
        const float p = positionRamp.current;
        if (p == gainsPosition) return;
        gainsPosition = p;
        constexpr double pi = 3.1415927;
        leftGain = p <= 0.5f ? 1.0f : float(std::cos((double(p) - 0.5) * pi));
        rightGain = p >= 0.5f ? 1.0f : float(std::cos((0.5 - double(p)) * pi));
    }
};

struct AudioInput {
    float value = 0.0f;
    float gain = 1.0f;
    void setValue(float x) { value = x; }
    void setPreampGain(float g) { gain = g; }
    float output(int) const { return value * gain; }
};

struct ConstantCell {
    float value = 0.0f;
    float output(int) const { return value; }
};

} // namespace moraine
