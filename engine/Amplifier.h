// Amplifier, ring modulator, inverters, electronic switch, pan, audio inputs and
// the constant cells. The pan control and the audio inputs are complete; the others
// keep their control surface and stay silent until their signal paths land.
#pragma once

#include "engine/graph/ParamRamp.h"

#include <cmath>

namespace moraine {

struct VcaModule {
    ParamRamp initialGainRamp;
    float linearGain = 0.0f;
    float exponentialGain = 0.0f;

    void setLinearControl(float v) { linearGain = 0.1f * normalOrZero(v); }
    void setExponentialControl(float) {}
    float process(float) { return 0.0f; }
};

struct RingModulator {
    int mode = 1; // 1 audio, 2 DC
    float inputA = 0.0f, inputB = 0.0f;
    int sampleRate = 44100;

    void setSampleRate(int sr) { sampleRate = sr; }
    void setMode(int m) {
        mode = m;
        inputA = inputB = 0.0f;
    }
    float processA(float x) {
        inputA = x;
        return 0.0f;
    }
    float processB(float x) {
        inputB = x;
        return 0.0f;
    }
    float process(float) { return 0.0f; }
};

struct Inverter {
    float process(float) { return 0.0f; }
};

struct ElectronicSwitch {
    float a = 0.0f, b = 0.0f, c = 0.0f, control = 0.0f;
    int direction = 0; // 0 not set, 1 A and B to C, 2 C to A and B

    void setDirection(int d) { direction = d; }
    float processA(float) { return 0.0f; }
    float processB(float) { return 0.0f; }
    void setControlC(float v) { control = v; }
    float processC(float) { return 0.0f; }
};

struct PanControl {
    float leftGain = 1.0f;
    float rightGain = 1.0f;
    ParamRamp positionRamp;
    // Equal gain in the middle, a cosine fall towards the far side.
    void updateGains() {
        const float p = positionRamp.current;
        constexpr float pi = 3.14159265358979f;
        leftGain = p <= 0.5f ? 1.0f : std::cos((p - 0.5f) * pi);
        rightGain = p >= 0.5f ? 1.0f : std::cos((0.5f - p) * pi);
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
