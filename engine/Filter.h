// The voltage-controlled four-pole low-pass filter: two cascaded state-variable
// sections run at twice the sample rate, each with a cubic soft saturation. The first
// section carries the resonance, which reaches self-oscillation in the top third of its
// travel; the second is fixed at critical damping.
#pragma once

#include "engine/LookupTables.h"
#include "engine/graph/ParamRamp.h"

namespace moraine {

struct RampList;

// The first section's damping over the resonance travel r = 0..1:
// 2 x (1 - c x (2r)^0.1) with c = 1.04 / 2^0.1, so 2 at r = 0 and -0.08 at r = 1.
// Entry 16385 repeats entry 0, as in the period tables.
using DampingTable = LookupTable<16384>;
const DampingTable& dampingTable();

struct VcfModule {
    float oversampling = 2.0f;
    float frequencyScale = 0.0f; // pi / (oversampling x sampleRate)
    float sampleRate = 44100.0f;
    float coarseVolts = 0.0f;
    float fineVolts = 0.0f;
    float f = 0.0f;       // state-variable frequency coefficient, both sections
    float damping = 2.0f; // first section: 2 none, below 0 self-oscillation
    float inputGain = 0.025f;
    float low1 = 0.0f, band1 = 0.0f, low2 = 0.0f, band2 = 0.0f;
    float scratch = 0.0f; // first section's low-pass before saturation, per sub-step
    float subOut[2] = {}; // second section's low-pass of each sub-step
    float cachedOutput = 0.0f;
    bool computed = false;      // cachedOutput belongs to the current sample
    float panelVolts = 0.0f;    // voltsRamp value last taken over
    float lastResonance = 0.0f; // resonanceRamp value last taken over
    float controlVolts = 0.0f;  // last control sum
    float lastVolts = 0.0f;     // volts f was last computed for
    bool cutoffStale = true;    // f must be recomputed whatever lastVolts says
    RampList* ramps = nullptr;  // where the ramps move; without one, settings apply at once
    ParamRamp voltsRamp;        // coarse + fine
    ParamRamp resonanceRamp;
    float resonance = 0.0f; // the panel value last set (the ramp's destination)

    VcfModule() : VcfModule(44100) {}
    explicit VcfModule(int rate, RampList* list = nullptr);

    void setSampleRate(int rate);
    void setCoarse(float volts); // 0..10 V
    void setFine(float volts);   // 0..1 V, added as it is
    void setResonance(float r);  // 0..1
    void setControl(float cv);   // the sum of the control links, volts

    // One filtered sample of the signal sum; later calls in the same sample return it again.
    float process(float in);

    // Once per sample before the voice is evaluated: opens a new sample and takes over
    // the panel volts and resonance from their ramps when they moved.
    void stepPending();

    // A patch is being applied: states cleared, panel settings taken over afresh at the
    // next stepPending.
    void reset();

private:
    float coefficientFor(float volts) const;
    void applyResonance(float r);
    void setRamp(ParamRamp& ramp, float target);
    void recoverFromOverload();
};

} // namespace moraine
