#include "engine/Oscillator.h"

#include "engine/LookupTables.h"
#include "engine/graph/RampList.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

namespace moraine {

namespace {

constexpr float kInfinity = std::numeric_limits<float>::infinity();
constexpr float kMaxHz = 20000.0f;

// The cap: 20000 Hz, or the Nyquist frequency at rates below 40 kHz, where 20000 Hz
// would step more than half a cycle per sample and the edges would pile up into a
// sawtooth far outside 0 .. 10 V.
float maxHzAt(int sampleRate) {
    return std::min(kMaxHz, 0.5f * float(sampleRate));
}

// Pulse-width bounds of the second and third oscillators.
float clampWidth(float w) {
    return w >= 0.11f ? (w <= 0.99f ? w : 0.99f) : 0.11f; // NaN gives the low bound
}

float finiteOrZero(float x) {
    return std::isfinite(x) ? x : 0.0f;
}

} // namespace

// ---------------------------------------------------------------- Phasor

Phasor::Phasor(float rate) {
    setSampleRate(rate);
    setFrequency(0.0f);
}

void Phasor::setFrequency(float hz) {
    increment = hz * inverseSampleRate;
    oneMinusIncrement = 1.0f - increment;
    inverseIncrement = increment > 0.0f ? 1.0f / increment : kInfinity;
}

void Phasor::setPhase(float p) {
    // p - increment wrapped into [0, 1), by floor rather than by repeated steps, so that
    // even a huge p ends in range at once.
    float x = finiteOrZero(p) - increment;
    if (x < 0.0f || x >= 1.0f) x -= std::floor(x);
    if (!(x >= 0.0f && x < 1.0f)) x = 0.0f;
    phase = x;
}

void Phasor::advance() {
    const float next = phase + increment;
    wrapped = 0;
    if (next >= 1.0f) {
        wrapped = 1;
        // Exact below 2. The frequency cap keeps the increment within half a cycle; a
        // phase poisoned from outside still ends in range.
        double x = double(next) - 1.0;
        if (x >= 1.0) x -= std::floor(x);
        const float f = float(x);
        phase = f >= 0.0f && f < 1.0f ? f : 0.0f;
    } else {
        phase = next >= 0.0f ? next : 0.0f; // a NaN phase restarts at 0
    }
}

void Phasor::setSampleRate(float rate) {
    sampleRate = rate >= 1.0f ? rate : 1.0f;
    inverseSampleRate = 1.0f / sampleRate;
}

// ---------------------------------------------------------------- additive generators

namespace {

// reciprocals[k - 1] = 1 / k, made by the compiler with the same rounding as at run time.
// One table for every oscillator: a copy in each made every voice 48 KB larger.
constexpr std::array<float, AdditiveOsc::kMaxHarmonic> makeReciprocals() {
    std::array<float, AdditiveOsc::kMaxHarmonic> r{};
    for (int k = 1; k <= AdditiveOsc::kMaxHarmonic; ++k) r[size_t(k - 1)] = 1.0f / float(k);
    return r;
}
constexpr std::array<float, AdditiveOsc::kMaxHarmonic> reciprocals = makeReciprocals();

} // namespace

AdditiveOsc::AdditiveOsc(Phasor* p, float ceilingHz) : PhasorOsc(p), ceiling(ceilingHz) {}

void AdditiveOsc::setFrequency(float hz) {
    float ratio = ceiling / hz;
    // The triangle asks only above 2000 Hz (at most 9 harmonics); the bound keeps any
    // other caller inside the reciprocals.
    if (!(ratio <= float(kMaxHarmonic))) ratio = float(kMaxHarmonic);
    harmonicCount = std::floor(ratio);
    harmonicFraction = ratio - harmonicCount;
}

float AdditiveSine::nextSample() {
    return sineTable()(phasor->phase + 0.75f);
}

float AdditiveTri::nextSample() {
    const SineTable& s = sineTable();
    double u = double(phasor->phase) + 0.75;
    if (u >= 1.0) u -= 1.0;
    const float q = float(1.0 - u);
    const int n = int(harmonicCount);
    float sum = 0.0f;
    int k = 1;
    for (; n - 2 >= k; k += 2) {
        const float r = reciprocals[size_t(k - 1)];
        sum += s(float(k) * q) * (r * r);
    }
    // The first odd harmonic left out. With n odd it is harmonic n, the one nearest the
    // ceiling, and fades in with the fraction. With n even it is n - 1, still a whole
    // harmonic below the ceiling: it keeps its full level, so that the level runs on
    // without a step where the count changes (at 20000 / 2m Hz).
    const float weight = (n & 1) || n == 0 ? harmonicFraction : 1.0f;
    const float r = reciprocals[size_t(k - 1)];
    sum += s(float(k) * q) * weight * (r * r);
    return 0.9495f * sum;
}

// ---------------------------------------------------------------- minBLEP generators

MinBlepPulse::MinBlepPulse(Phasor* p, const MinBlepTable* t) : MinBlepOsc(p, t) {
    setPulseWidth(requestedWidth);
    setPhase(0.0f);
}

void MinBlepPulse::setPulseWidth(float w) {
    requestedWidth = w;
    const float inc = phasor->increment;
    effectiveWidth = w <= inc ? inc : std::min(w, 1.0f - inc);
}

void MinBlepPulse::queue(float samplesAgo, float amp) {
    // Edges older than the table's zero crossings have settled; NaN and negative offsets
    // (from a zero increment) are never queued.
    if (!(samplesAgo >= 0.0f && samplesAgo <= table->twiceNzc)) return;
    if (count == kRing) { // only a burst of setPhase calls gets here: drop the oldest
        readIndex = (readIndex + 1) & (kRing - 1);
        --count;
    }
    position[writeIndex] = samplesAgo * float(kMinBlepOversampling);
    amplitude[writeIndex] = amp;
    writeIndex = (writeIndex + 1) & (kRing - 1);
    ++count;
}

void MinBlepPulse::setPhase(float) {
    const float q = phasor->phase;
    level = 1.0f;
    if (phasor->increment == 0.0f) return;
    queue(q * phasor->inverseIncrement, -1.0f);
    if (q >= requestedWidth) {
        queue((q - requestedWidth) * phasor->inverseIncrement, 1.0f);
        level = 0.0f;
    }
}

float MinBlepPulse::nextSample() {
    while (count > 0 && position[readIndex] >= float(kMinBlepSpan)) {
        readIndex = (readIndex + 1) & (kRing - 1);
        --count;
    }
    const float p = phasor->phase;
    const float w = effectiveWidth;
    const float inc = phasor->increment;
    if (phasor->wrapped) {
        queue(p * phasor->inverseIncrement, -1.0f);
        lastEdgePhase = p;
        edgeAtWrap = true;
        level = 1.0f;
    } else if (level == 1.0f && p >= w) {
        if (edgeAtWrap) {
            lastEdgePhase = p - w;
            queue((p - w) * phasor->inverseIncrement, 1.0f);
            level = 0.0f;
        } else if (p < phasor->oneMinusIncrement && p - lastEdgePhase > inc) {
            lastEdgePhase = p;
            queue(0.0f, 1.0f);
            level = 0.0f;
        }
    } else if (level == 0.0f && p <= w && p < phasor->oneMinusIncrement &&
               p - lastEdgePhase > inc) {
        // The width moved above the phase.
        lastEdgePhase = p;
        queue(0.0f, -1.0f);
        edgeAtWrap = false;
        level = 1.0f;
    }
    float out = level;
    for (int n = 0, i = readIndex; n < count; ++n, i = (i + 1) & (kRing - 1)) {
        out += amplitude[i] * table->residualAt(position[i]);
        position[i] += float(kMinBlepOversampling);
    }
    return out;
}

MinBlepSaw::MinBlepSaw(Phasor* p, const MinBlepTable* t) : MinBlepOsc(p, t) {
    setPhase(0.0f);
}

void MinBlepSaw::queue(float samplesAgo) {
    if (!(samplesAgo >= 0.0f && samplesAgo <= table->twiceNzc)) return;
    if (count == kRing) {
        readIndex = (readIndex + 1) & (kRing - 1);
        --count;
    }
    position[writeIndex] = samplesAgo * float(kMinBlepOversampling);
    writeIndex = (writeIndex + 1) & (kRing - 1);
    ++count;
}

void MinBlepSaw::setPhase(float) {
    if (phasor->increment != 0.0f) queue(phasor->phase * phasor->inverseIncrement);
}

float MinBlepSaw::nextSample() {
    while (count > 0 && position[readIndex] >= float(kMinBlepSpan)) {
        readIndex = (readIndex + 1) & (kRing - 1);
        --count;
    }
    const float p = phasor->phase;
    if (phasor->wrapped) queue(p * phasor->inverseIncrement);
    float out = p;
    for (int n = 0, i = readIndex; n < count; ++n, i = (i + 1) & (kRing - 1)) {
        out += table->residualAt(position[i]);
        position[i] += float(kMinBlepOversampling);
    }
    // Each fall leaves its residuals behind the true edge, which lifts the mean by their
    // sum once per cycle.
    return out - table->residualMean * phasor->increment;
}

float MinBlepTri::nextSample() {
    float x = float((double(phasor->phase) + 0.75) * -4.0);
    if (x <= -4.0f) x += 4.0f;
    if (x <= -3.0f) return x + 4.0f;
    if (x > -1.0f) return x;
    return -2.0f - x;
}

// ---------------------------------------------------------------- VcoModule

VcoModule::VcoModule(int k, float initialVolts, int r, int sr, RampList* list)
    : phasor(float(sr)), triangle(&phasor, &minBlepTable()), sine(&phasor),
      saw(&phasor, &minBlepTable()), pulse(&phasor, &minBlepTable()), ramps(list), kind(k), range(r),
      sampleRate(sr) {
    (void)sineTable(); // built here, never on the audio thread's first read
    phasor.setPhase(0.0f);
    triangle.setPhase(0.0f);
    widthRamp.setNow(0.5f);
    panelWidth = 0.5f;
    initialVolts = finiteOrZero(initialVolts);
    voltsRamp.setNow(initialVolts);
    panelVolts = coarseVolts = initialVolts;
    fineVolts = 0.0f;
    controlVolts = 0.0f;
    lastVolts = kForceLaw;
    pulse.setPulseWidth(0.5f);
    volts = initialVolts;
    setControl(0.0f);
}

void VcoModule::setSampleRate(int sr) {
    sampleRate = sr;
    phasor.setSampleRate(float(sr));
    // The law again, for the cap at the new rate; it sets the phasor and pulse width.
    reapplyFrequency();
    triangle.setFrequency(frequency); // also for a kind given after construction
}

void VcoModule::setVoltsTarget() {
    const float target = coarseVolts + fineVolts;
    if (ramps)
        setRampTarget(*ramps, voltsRamp, target);
    else
        voltsRamp.setNow(target);
}

void VcoModule::setCoarse(float v) {
    coarseVolts = v;
    lastVolts = kForceLaw;
    setVoltsTarget();
}

void VcoModule::setFine(float v) {
    fineVolts = v;
    lastVolts = kForceLaw;
    setVoltsTarget();
}

void VcoModule::setRange(int r) {
    range = r;
    // At once rather than at the next change of the sums, which may never come while
    // the panel and the controls rest; before any setPhase that follows, so that the
    // phase lands where asked at the new increment.
    reapplyFrequency();
}

void VcoModule::setPhase(float p) {
    phasor.setPhase(p);
    pulse.setPhase(p);
    saw.setPhase(p);
}

void VcoModule::setPanelPulseWidth(float w) {
    if (ramps)
        setRampTarget(*ramps, widthRamp, w);
    else
        widthRamp.setNow(w);
}

void VcoModule::reapplyFrequency() {
    lastVolts = kForceLaw;
    setControl(controlVolts);
}

void VcoModule::reset() {
    dirty = kAllDirty;
    // The pulse and sawtooth queue the edges of the phase they had, so the restart is
    // band-limited too; only then does the phase go back to 0.
    pulse.clearEdges();
    pulse.edgeAtWrap = false;
    pulse.setPhase(0.0f);
    saw.clearEdges();
    saw.setPhase(0.0f);
    if (kind == 2) triangle.setPhase(0.0f);
    phasor.setPhase(0.0f);
}

void VcoModule::setControl(float cv) {
    cv = finiteOrZero(cv);
    controlVolts = cv;
    volts = panelVolts + cv;
    if (volts == lastVolts) return;
    lastVolts = volts;
    float hz = float(std::exp2(double(volts))) * (range == 1 ? 10.0f : 0.03f);
    const float maxHz = maxHzAt(sampleRate);
    if (!(hz <= maxHz)) hz = maxHz;
    frequency = hz;
    phasor.setFrequency(hz);
    pulse.setPulseWidth(pulse.requestedWidth);
    if (kind == 2) triangle.setFrequency(hz);
}

void VcoModule::applyWidth() {
    if (kind == 1) { // the first oscillator's pulse is a fixed square
        pulse.setPulseWidth(0.5f);
        return;
    }
    const float w = clampWidth(panelWidth + 0.1f * pwmVolts);
    if (w != effectiveWidth) {
        effectiveWidth = w;
        pulse.setPulseWidth(w);
    }
}

void VcoModule::setPwmControl(float cv) {
    pwmVolts = finiteOrZero(cv);
    applyWidth();
}

void VcoModule::step() {
    if (widthRamp.current != panelWidth) {
        panelWidth = widthRamp.current;
        applyWidth();
    }
    if (voltsRamp.current != panelVolts) {
        panelVolts = voltsRamp.current;
        setControl(controlVolts);
    }
    phasor.advance();
    dirty = kAllDirty;
}

float VcoModule::output(int selector) {
    switch (selector) {
    case kSine:
        if (dirty & kDirtySine) {
            dirty &= ~kDirtySine;
            sineOut = sine.nextSample() * 5.0f;
        }
        return sineOut;
    case kSaw:
        if (dirty & kDirtySaw) {
            dirty &= ~kDirtySaw;
            sawOut = saw.nextSample() * 10.0f;
        }
        return sawOut;
    case kPulse:
    case kPulseToo:
        if (dirty & kDirtyPulse) {
            dirty &= ~kDirtyPulse;
            pulseOut = pulse.nextSample() * 10.0f;
        }
        return pulseOut;
    case kTriangle:
        if (kind != 2) return 0.0f;
        if (dirty & kDirtyTriangle) {
            dirty &= ~kDirtyTriangle;
            triangleOut = triangle.nextSample() * 5.0f;
        }
        return triangleOut;
    default:
        return 0.0f;
    }
}

} // namespace moraine
