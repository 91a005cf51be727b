// The shared stereo reverb: level ramps, send accumulator and jack value. The core
// that turns the send into wet samples stays silent until it lands.
#pragma once

#include "engine/graph/ParamRamp.h"

namespace moraine {

struct ReverbCore {
    void setSampleRate(int) {}
    void clear() {}
    void process(float /*in*/, float& left, float& right) { left = right = 0.0f; }
};

struct ReverbModule {
    ParamRamp leftLevel;
    ParamRamp rightLevel;
    float lastLeft = 0.0f;
    float send = 0.0f;
    int outputRead = 0;
    ReverbCore core;

    void setSampleRate(int sr) { core.setSampleRate(sr); }
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
};

} // namespace moraine
