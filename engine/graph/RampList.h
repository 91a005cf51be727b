// The list of moving ramps that one voice advances once per sample, with the rates that
// set how fast a new target is reached. Modules that glide (oscillators, filter,
// keyboard voltages) hold a pointer to their voice's list and need nothing else of it.
#pragma once

#include "engine/graph/ParamRamp.h"

namespace moraine {

struct RampList {
    float rampRate = 44100.0f / 4000.0f; // sample rate / 4000, or / 40 during a patch change
    int sampleRate = 44100;
    ParamRamp* rampList = nullptr; // first moving ramp
    // Set when a moving ramp crossed the off threshold: a link's level switched on or off,
    // which changes what the voice evaluates.
    bool offChanged = true;
};

// Ramps. The increment makes the ramp arrive in sampleRate / rampRate samples.
void setRampTarget(RampList& list, ParamRamp& ramp, float target);
void setRampTargetAndIncrement(RampList& list, ParamRamp& ramp, float target, float increment);
// Moves every ramp of the list one sample on; settled ones leave the list.
void advanceRamps(RampList& list);
// Jumps every moving ramp to its target.
void settleRamps(RampList& list);

} // namespace moraine
