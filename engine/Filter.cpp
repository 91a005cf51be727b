#include "engine/Filter.h"

#include "engine/Random.h"
#include "engine/graph/RampList.h"

#include <cmath>
#include <numbers>

namespace moraine {

namespace {

constexpr float kMaxVolts = 10.0f;       // 10 Hz x 2^10 = 10240 Hz
constexpr float kVoltsEpsilon = 1e-5f;   // smaller moves keep the coefficient
constexpr float kThird = 0.33333334f;    // the saturation x - x^3 / 3
constexpr float kFullResonance = -0.08f; // damping at the top of the travel
constexpr float kOutputScale = 40.0f;    // with the input gain 0.025: unity in the passband
constexpr float kMaxInternal = 1000.0f;  // beyond this the filter has run away

// The top cutoff is 0.232 of the sample rate at 44.1 kHz. At lower rates the fixed
// critically damped section would turn unstable well before 10240 Hz (its coefficient
// must stay below 2(sqrt 2 - 1)), so the cutoff stops at that same fraction of the rate.
constexpr double kMaxW = std::numbers::pi * 10240.0 / (2.0 * 44100.0);

// Resonances whose nearest table entry is the last one would wrap to entry 0 (no
// resonance at all) under the periodic lookup; they get the top value instead.
constexpr float kDampingTop = 32767.0f / 32768.0f;

DampingTable buildDampingTable() {
    DampingTable t{};
    const double c = 1.04 / std::pow(2.0, 0.1);
    const float step = 1.0f / 16384.0f;
    for (int i = 0; i <= 16384; ++i) {
        const double x = double(float(i) * step);
        t.values[i] = float(2.0 * (1.0 - c * std::pow(2.0 * x, 0.1)));
    }
    t.values[16385] = t.values[0];
    return t;
}

} // namespace

const DampingTable& dampingTable() {
    static const DampingTable table = buildDampingTable();
    return table;
}

VcfModule::VcfModule(int rate, RampList* list) : ramps(list) {
    // Built here, at load, so that the audio thread never builds them.
    (void)dampingTable();
    (void)cosineTable();
    setSampleRate(rate);
    recoverFromOverload();
}

void VcfModule::setSampleRate(int rate) {
    if (rate <= 0) return; // keeps the last usable rate
    frequencyScale = float(std::numbers::pi / (double(oversampling) * double(rate)));
    sampleRate = float(rate);
    cutoffStale = true; // the volts did not move, but their coefficient did
}

void VcfModule::setRamp(ParamRamp& ramp, float target) {
    if (ramps)
        setRampTarget(*ramps, ramp, target);
    else
        ramp.setNow(target);
}

void VcfModule::setCoarse(float volts) {
    coarseVolts = volts;
    setRamp(voltsRamp, coarseVolts + fineVolts);
}

void VcfModule::setFine(float volts) {
    fineVolts = volts;
    setRamp(voltsRamp, coarseVolts + fineVolts);
}

void VcfModule::setResonance(float r) {
    resonance = r;
    setRamp(resonanceRamp, r);
}

float VcfModule::coefficientFor(float volts) const {
    double w = std::exp2(double(volts)) * 10.0 * double(frequencyScale);
    if (w > kMaxW) w = kMaxW;
    // 2 sin(w) with the sine's third-order series: close enough below 10 kHz.
    return float(2.0 * (w - w * w * w * 0.16666667));
}

void VcfModule::setControl(float cv) {
    controlVolts = normalOrZero(cv);
    float volts = panelVolts + controlVolts;
    if (volts > kMaxVolts) volts = kMaxVolts; // no lower limit: the filter just closes
    if (!cutoffStale && std::fabs(lastVolts - volts) <= kVoltsEpsilon) return;
    cutoffStale = false;
    lastVolts = volts;
    f = coefficientFor(volts);
}

void VcfModule::applyResonance(float r) {
    if (!(r > 0.0f)) r = 0.0f; // beyond the travel the tables wrap around
    if (r > 1.0f) r = 1.0f;
    damping = r < kDampingTop ? dampingTable()(r) : kFullResonance;

    // 0.025 x cos(2 pi x 0.225 r): about 0.16 of the open gain at full resonance.
    const float* t = cosineTable().values;
    const float a = 0.225f * r * 8192.0f;
    const float nearest = std::nearbyint(a);
    const float fraction = a - nearest;
    const int j = int(nearest) & 8191;
    inputGain = t[j] * 0.025f + (t[j + 1] - t[j]) * fraction * 0.025f;
}

void VcfModule::stepPending() {
    computed = false;
    const float r = resonanceRamp.current;
    if (r != lastResonance) {
        lastResonance = r;
        applyResonance(r);
    }
    const float volts = voltsRamp.current;
    if (volts != panelVolts || cutoffStale) {
        panelVolts = volts;
        setControl(controlVolts);
    }
}

float VcfModule::process(float in) {
    if (computed) return cachedOutput;

    float l1 = normalOrZero(low1), b1 = normalOrZero(band1);
    float l2 = normalOrZero(low2), b2 = normalOrZero(band2);
    const float g = normalOrZero(f);
    const float d = damping;
    // A tiny positive dither keeps the states out of the subnormal range and gives
    // self-oscillation something to grow from.
    const float u = float(double(inputGain * normalOrZero(in)) +
                          (double(sharedRand()) * (1.0 / 32768.0) + 0.5) * 1e-6);

    float first = 0.0f, out[2];
    for (int k = 0; k < 2; ++k) {
        l1 = l1 + g * b1;
        first = l1;
        b1 = b1 + (u - b1 * d - l1) * g;
        l1 = l1 - l1 * l1 * l1 * kThird;
        l2 = l2 + g * b2;
        out[k] = l2;
        b2 = b2 + (first - 2.0f * b2 - l2) * g;
        l2 = l2 - l2 * l2 * l2 * kThird;
    }
    low1 = l1;
    band1 = b1;
    low2 = l2;
    band2 = b2;
    scratch = first;
    subOut[0] = out[0];
    subOut[1] = out[1];

    // Averaged in double: two huge sub-step outputs must still count as an overload, not
    // overflow to infinity and slip past the check as "not a number".
    const double average = (double(out[0]) + double(out[1])) * 0.5;
    float y = normalOrZero(float(average));
    if (!(std::fabs(average) <= double(kMaxInternal))) {
        recoverFromOverload();
        y = 0.0f;
    }
    cachedOutput = kOutputScale * y;
    computed = true;
    return cachedOutput;
}

void VcfModule::recoverFromOverload() {
    f = coefficientFor(0.0f);
    applyResonance(0.0f);
    lastResonance = 0.0f;
    panelVolts = 0.0f;
    // Recomputed at the next step from the panel volts and the last control sum, even
    // when both equal what they were: the graph does not send an unchanged sum again.
    cutoffStale = true;
    low1 = band1 = low2 = band2 = 0.0f;
    scratch = 0.0f;
    subOut[0] = subOut[1] = 0.0f;
    cachedOutput = 0.0f;
}

void VcfModule::reset() {
    // The control sum is kept: the graph sends it again only when it changes.
    float volts = panelVolts + controlVolts;
    if (volts > kMaxVolts) volts = kMaxVolts;
    recoverFromOverload();
    f = coefficientFor(volts); // in force until the next step takes the panel over
    computed = false;
}

} // namespace moraine
