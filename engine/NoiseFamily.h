// Noise generator, internal clock, sample-and-hold, lag processor and envelope
// follower: control surfaces whose signal paths are silent until they land.
#pragma once

#include "engine/graph/ParamRamp.h"

namespace moraine {

struct NoiseGenerator {
    ParamRamp colourRamp;
    ParamRamp levelRamp;
    bool computed = false;
    int sampleRate = 44100;

    void setSampleRate(int sr) { sampleRate = sr; }
    void invalidate() { computed = false; }
    float output(int) { return 0.0f; }
};

struct InternalClock {
    float period = 0.5f;
    int counter = 0;
    int periodSamples = 22050;
    float syncValue = 0.0f;
    int sampleRate = 44100;

    void setSampleRate(int sr) { sampleRate = sr; }
    void setPeriod(float seconds) { period = seconds; }
    void tick() {}
    float output(int) const { return 0.0f; }
    float syncedOutput(int) const { return 0.0f; }
};

struct SampleAndHold {
    float held = 0.0f;
    void setControl(float) {}
    float process(float) { return 0.0f; }
};

struct LagProcessor {
    float rate = 1.6f;
    int sampleRate = 44100;
    void setSampleRate(int sr) { sampleRate = sr; }
    void setRate(float hz) { rate = hz; }
    float process(float) { return 0.0f; }
};

struct EnvelopeFollower {
    float level = 0.0f;
    float process(float) { return 0.0f; }
};

} // namespace moraine
