// The shared stereo reverb: eight damped feedback combs in parallel, then four all-passes
// in series, per channel; the right channel's lines are 23 samples longer than the left's.
#pragma once

#include "engine/graph/ParamRamp.h"

#include <vector>

namespace moraine {

struct ReverbComb {
    float feedback = 0.0f;
    float filterStore = 0.0f;
    float damp1 = 0.0f;
    float damp2 = 1.0f;
    std::vector<float> buffer; // sized for the sample rate, outside the render path
    int size = 1;
    int index = 0;

    float process(float in) {
        const float y = normalOrZero(buffer[std::size_t(index)]);
        filterStore = normalOrZero(y * damp2 + filterStore * damp1);
        buffer[std::size_t(index)] = in + filterStore * feedback;
        if (++index >= size) index = 0;
        return y;
    }
};

struct ReverbAllpass {
    float feedback = 0.5f;
    std::vector<float> buffer;
    int size = 1;
    int index = 0;

    float process(float x) {
        const float b = normalOrZero(buffer[std::size_t(index)]);
        buffer[std::size_t(index)] = x + b * 0.5f;
        if (++index >= size) index = 0;
        return b - x;
    }
};

struct ReverbCore {
    float inputGain = 0.015f;
    float roomSize = 0.84f, damp = 0.2f, wet = 1.0f, dry = 0.0f, width = 1.0f, mode = 0.0f;
    float roomSize1 = 0.0f, damp1 = 0.0f, gain = 0.0f, wet1 = 0.0f, wet2 = 0.0f;
    ReverbComb combs[16];       // eight left, then eight right
    ReverbAllpass allpasses[8]; // four left, then four right

    ReverbCore();
    void setRoomSize(float v) {
        roomSize = v * 0.28f + 0.7f;
        update();
    }
    void setDamp(float v) {
        damp = v * 0.4f;
        update();
    }
    void setWet(float v) {
        wet = v * 3.0f;
        update();
    }
    void setDry(float v) {
        dry = v * 2.0f;
        update();
    }
    void setWidth(float v) {
        width = v;
        update();
    }
    void setMode(float v) {
        mode = v;
        update();
    }
    void update();
    // Resizes every line for the rate; allocates, so never call it while rendering.
    void setSampleRate(int sampleRate);
    void clear();
    // One mono input sample to the unscaled wet pair.
    void process(float in, float& left, float& right);
};

struct ReverbModule {
    ParamRamp leftLevel;
    ParamRamp rightLevel;
    float lastLeft = 0.0f; // the "100% Reverb Out Plug" value
    float send = 0.0f;
    int outputRead = 0;
    ReverbCore core;
    // Resting: after a second with no input at all and a tail below -120 dBFS the lines
    // are left as they are and the wet pair is 0, until any input arrives.
    int quietSamples = 0;
    int restAfter = 44100;
    bool resting = false;

    ReverbModule();
    void setSampleRate(int sr) {
        core.setSampleRate(sr);
        restAfter = sr;
    }
    void beginSample() {
        send = 0.0f;
        outputRead = 0;
    }
    void addSend(float x) { send += 0.1f * x; }
    // The jack's value; reading it keeps the reverb running while its levels are off.
    float output(int) {
        outputRead = 1;
        return lastLeft;
    }
    void clear() {
        core.clear();
        lastLeft = 0.0f;
    }
    // After all voices have sent: the level-scaled wet pair, or silence without running
    // the lines while both levels are off and nobody reads the jack.
    void processSample(float& left, float& right);
};

} // namespace moraine
