// The modulation utilities: the shared noise generator and internal clock, and each
// voice's sample-and-hold, lag processor and envelope follower.
#pragma once

#include "engine/ControlHistory.h"
#include "engine/graph/ParamRamp.h"

#include <cmath>

namespace moraine {

// White noise blended with 50 Hz low-passed ("red") noise; computed once per sample and
// read by every voice.
struct NoiseGenerator {
    float sampleRate = 44100.0f;
    float oneMinusPole = 0.0f;
    float pole = 0.0f;
    float redState = 0.0f;
    float cached = -10000.0f; // below -100: not yet computed this sample
    ParamRamp levelRamp;
    ParamRamp colourRamp;

    NoiseGenerator() { setSampleRate(44100); }
    void setSampleRate(int sr);
    void invalidate() { cached = -10000.0f; }
    float output(int);
};

// A square of 0 V for the first half of each period and 10 V for the second.
struct InternalClock {
    float period = 0.5f; // seconds
    int counter = 0;
    int periodSamples = 22050;
    float syncValue = 0.0f; // the host's position in clock periods, written once per block
    int sampleRate = 44100;

    void setSampleRate(int sr) {
        sampleRate = sr;
        updatePeriod();
    }
    void setPeriod(float seconds) {
        period = seconds;
        updatePeriod();
    }
    void tick() {
        // Wrapped here rather than only when read, so that an unread clock cannot count
        // past the integer range in a long session.
        if (++counter >= periodSamples) counter %= periodSamples;
    }
    float output(int) {
        counter %= periodSamples;
        return counter > (periodSamples >> 1) ? 10.0f : 0.0f;
    }
    // Following the host: one period per unit of the position (one quarter note at 24
    // pulses), 10 V for its first half so that the rising edge falls on the beat (plus
    // the beat offset), like the keyboard LFO's synchronised square.
    float syncedOutput(int) const {
        const float fraction = syncValue - std::floor(syncValue);
        return fraction < 0.5f ? 10.0f : 0.0f;
    }

private:
    void updatePeriod();
};

// Takes its input whenever the clock input has moved by more than 0.5 V over the last
// 31 control changes: both edges of a square sample.
struct SampleAndHold {
    float held = 0.0f;
    float clock = 0.0f;
    float previousClock = 0.0f;
    ControlHistory history;

    void setControl(float v) {
        clock = v;
        history.push(v);
    }
    float process(float in);
};

// A one-pole smoother.
struct LagProcessor {
    float sampleRate = 44100.0f;
    float rate = 1.6f; // Hz
    float coef = 0.0f;
    float state = 0.0f;

    LagProcessor() { update(); }
    void setSampleRate(int sr) {
        sampleRate = float(sr);
        update();
    }
    void setRate(float hz) {
        rate = hz;
        update();
    }
    float process(float in) {
        const double y = (1.0 - double(coef)) * double(normalOrZero(in)) +
                         double(coef) * double(normalOrZero(state));
        state = float(y);
        return state;
    }

private:
    void update();
};

// Peak follower with a slow decay (about 2000 samples' time constant).
struct EnvelopeFollower {
    float level = 0.0f;
    float process(float in);
};

} // namespace moraine
