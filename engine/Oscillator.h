// The three voltage-controlled oscillators. Each is one phase accumulator driving up to
// four waveform generators that read the same phase: a band-limited sawtooth and pulse
// (minBLEP), a table sine and, on the second oscillator, a triangle that turns from the
// naive shape to an additive band-limited one above 2000 Hz. One volt per octave from
// 10 Hz (audio range) or 0.03 Hz (low range), capped at 20000 Hz (at the Nyquist
// frequency for rates below 40 kHz).
#pragma once

#include "engine/MinBlep.h"
#include "engine/graph/ParamRamp.h"

namespace moraine {
struct RampList;
}

namespace moraine {

// Phase in cycles, 0 <= phase < 1, advanced once per sample.
struct Phasor {
    float phase = 0.0f;
    float increment = 0.0f; // cycles per sample
    float oneMinusIncrement = 1.0f;
    float inverseIncrement; // samples per cycle; infinite while the increment is 0
    float sampleRate;
    float inverseSampleRate;
    int wrapped = 0; // the last advance crossed 1

    explicit Phasor(float rate);
    void setFrequency(float hz);
    // The next advance lands on p.
    void setPhase(float p);
    void advance();
    // The owner sets the frequency again afterwards.
    void setSampleRate(float rate);
};

// A waveform generator reading its oscillator's phasor.
class PhasorOsc {
public:
    explicit PhasorOsc(Phasor* p) : phasor(p) {}
    virtual ~PhasorOsc() = default;
    PhasorOsc(const PhasorOsc&) = delete;
    PhasorOsc& operator=(const PhasorOsc&) = delete;

    virtual void setPhase(float p) { phasor->setPhase(p); }
    // The value for the phasor's current phase; called at most once per sample.
    virtual float nextSample() = 0;

    Phasor* phasor;
};

// A sum of harmonics up to a ceiling frequency.
class AdditiveOsc : public PhasorOsc {
public:
    static constexpr int kMaxHarmonic = 3999;

    AdditiveOsc(Phasor* p, float ceilingHz);
    virtual void setPulseWidth(float) {}
    virtual void refresh() {}
    // How many harmonics fit under the ceiling, and how far the next one is in.
    void setFrequency(float hz);

    float harmonicCount = 0.0f; // whole number
    float ceiling;
    float harmonicFraction = 0.0f;
};

class AdditiveSine final : public PhasorOsc {
public:
    using PhasorOsc::PhasorOsc;
    float nextSample() override; // -cos(2 pi phase): -1 at phase 0
};

// Odd harmonics at 1 / k^2 up to 20000 Hz, the top one faded in by the fraction of the
// next, so that the level glides with the frequency.
class AdditiveTri final : public AdditiveOsc {
public:
    explicit AdditiveTri(Phasor* p) : AdditiveOsc(p, 20000.0f) {}
    float nextSample() override;
};

// A generator that adds a minimum-phase band-limited step at each edge.
class MinBlepOsc : public PhasorOsc {
public:
    MinBlepOsc(Phasor* p, const MinBlepTable* t) : PhasorOsc(p), table(t) {}
    virtual void setPulseWidth(float) {}
    virtual void refresh() = 0;

    const MinBlepTable* table;
};

// 0 .. 1 pulse, high from the start of each cycle until the width. Rising and falling
// edges wait in a ring until their step has settled.
class MinBlepPulse final : public MinBlepOsc {
public:
    static constexpr int kRing = 128;

    MinBlepPulse(Phasor* p, const MinBlepTable* t);
    // Keeps the width at least one increment away from both ends of the cycle.
    void setPulseWidth(float w) override;
    // Queues the edges the current phase implies; the argument is not used.
    void setPhase(float p) override;
    float nextSample() override;
    void refresh() override {}
    void clearEdges() { count = readIndex = writeIndex = 0; }

    float requestedWidth = 0.5f;
    float effectiveWidth = 0.5f;
    float level = 1.0f;
    float lastEdgePhase = 0.0f;
    bool edgeAtWrap = false;
    float position[kRing] = {}; // table points since the edge
    float amplitude[kRing] = {};
    int count = 0;
    int readIndex = 0;
    int writeIndex = 0;

private:
    void queue(float samplesAgo, float amp);
};

// 0 .. 1 rising ramp with a band-limited fall at each wrap.
class MinBlepSaw final : public MinBlepOsc {
public:
    static constexpr int kRing = 64;

    MinBlepSaw(Phasor* p, const MinBlepTable* t);
    void setPhase(float p) override; // queues a step for the current phase
    float nextSample() override;
    void refresh() override {}
    void clearEdges() { count = readIndex = writeIndex = 0; }

    float position[kRing] = {};
    int count = 0;
    int readIndex = 0;
    int writeIndex = 0;

private:
    void queue(float samplesAgo);
};

// The naive triangle, |4 phase - 2| - 1: +1 at phase 0, -1 at 0.5.
class MinBlepTri final : public MinBlepOsc {
public:
    using MinBlepOsc::MinBlepOsc;
    void setPhase(float) override {}
    float nextSample() override;
    void refresh() override {}
};

// Naive below the threshold frequency, additive above it.
class FadeOsc : public PhasorOsc {
public:
    FadeOsc(Phasor* p, const MinBlepTable* t, float thresholdHz)
        : PhasorOsc(p), threshold(thresholdHz), naive(p, t), additive(p) {}
    void setPhase(float p) override {
        phasor->setPhase(p);
        naive.setPhase(p);
    }
    float nextSample() override { return useAdditive ? additive.nextSample() : naive.nextSample(); }
    virtual void advance() = 0;
    void setFrequency(float hz) {
        useAdditive = hz > threshold;
        if (useAdditive) additive.setFrequency(hz);
    }

    bool useAdditive = false;
    float threshold;
    MinBlepTri naive;
    AdditiveTri additive;
};

class TriOsc final : public FadeOsc {
public:
    TriOsc(Phasor* p, const MinBlepTable* t) : FadeOsc(p, t, 2000.0f) {}
    // The oscillator advances the shared phasor itself and does not call this.
    void advance() override { phasor->advance(); }
};

struct VcoModule {
    // Output selectors of the graph's links and jacks.
    static constexpr int kSine = 1, kSaw = 2, kPulse = 4, kTriangle = 5, kPulseToo = 6;
    // Bits of `dirty`: outputs not yet computed this sample.
    static constexpr int kDirtySaw = 1, kDirtyPulse = 2, kDirtyTriangle = 4, kDirtySine = 8;
    static constexpr int kAllDirty = 15;

    // The graph builds every oscillator with 0 V in the audio range, then sets its kind,
    // ramp list and sample rate.
    VcoModule() : VcoModule(1, 0.0f, 1, 44100, nullptr) {}
    VcoModule(int kind, float initialVolts, int range, int sampleRate, RampList* ramps);
    // The generators point at this oscillator's phasor.
    VcoModule(const VcoModule&) = delete;
    VcoModule& operator=(const VcoModule&) = delete;

    void setSampleRate(int sr);
    // Panel voltage = coarse + fine; glides there through voltsRamp.
    void setCoarse(float volts);
    void setFine(float volts);
    void setRange(int r); // 1 audio, 2 low; the frequency follows at once
    void setPhase(float p);
    void setPanelPulseWidth(float w); // glides there through widthRamp
    void setPanelWidth(float w) { setPanelPulseWidth(w); }
    // Runs the frequency law again at once for the current sums.
    void reapplyFrequency();
    void reset();

    // Graph callbacks: the control-link sum (volts added to the panel's), the "VCO2 PW"
    // node's sum (0.1 of pulse width per volt), one output, and the per-sample step.
    void setControl(float cv);
    void setPwmControl(float cv);
    float output(int selector);
    void step();

    Phasor phasor;
    TriOsc triangle; // read only on the second oscillator
    AdditiveSine sine;
    MinBlepSaw saw;
    MinBlepPulse pulse;
    ParamRamp widthRamp;
    ParamRamp voltsRamp;
    RampList* ramps = nullptr; // where the ramps move; without one, settings apply at once
    int kind = 1;           // 1, 2 or 3: which of the three oscillators
    int dirty = kAllDirty;
    float frequency = 0.0f; // Hz
    float panelVolts = 0.0f;
    float coarseVolts = 0.0f; // 10 x panel coarse
    float fineVolts = 0.0f;   // panel fine - 0.5
    float controlVolts = 0.0f;
    float lastVolts = kForceLaw;
    float volts = 0.0f;
    int range = 1; // 1 audio (10 Hz at 0 V), 2 low (0.03 Hz at 0 V)
    float panelWidth = 0.5f;
    float effectiveWidth = 0.5f;
    float pwmVolts = 0.0f;
    int sampleRate = 44100;
    float sawOut = 0.0f, sineOut = 0.0f, triangleOut = 0.0f, pulseOut = 0.0f;

    // A lastVolts no sum can equal: the frequency law runs on its next chance.
    static constexpr float kForceLaw = 1000000.0f;

private:
    void setVoltsTarget();
    void applyWidth();
};

} // namespace moraine
