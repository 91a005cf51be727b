// The oscillators, listened to: the frequency law and its caps at every accepted sample rate,
// waveform levels and shapes, pulse width, the triangle's change of method, reset, aliasing,
// and recovery from poisoned control sums.
#include "engine/Oscillator.h"
#include "engine/graph/JackTable.h"
#include "engine/graph/Voice.h"
#include "support/Spectrum.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <memory>
#include <numbers>
#include <vector>

namespace moraine {
namespace {

using testing::crossingFrequency;
using testing::mean;
using testing::rms;

constexpr int kRate = 48000;
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr double kPi = std::numbers::pi;

float voltsFor(double hz) {
    return float(std::log2(hz / 10.0));
}

// One oscillator on its own, stepped and read as the graph does.
struct Osc {
    explicit Osc(int kind = 2, double hz = 0.0, int rate = kRate, int range = 1)
        : vco(kind, 0.0f, range, rate, nullptr) {
        if (hz > 0.0) vco.setControl(voltsFor(hz));
    }
    std::vector<float> render(int selector, int n) {
        std::vector<float> out(static_cast<std::size_t>(n));
        for (float& v : out) {
            vco.step();
            v = vco.output(selector);
        }
        return out;
    }
    void skip(int n, int selector = VcoModule::kSaw) { render(selector, n); }
    VcoModule vco;
};

// Fraction of samples above half scale.
double duty(const std::vector<float>& x) {
    return double(std::count_if(x.begin(), x.end(), [](float v) { return v > 5.0f; })) /
           double(x.size());
}

bool allFinite(const std::vector<float>& x) {
    return std::all_of(x.begin(), x.end(), [](float v) { return std::isfinite(v); });
}

// One generator of each kind read in a sample: saw, pulse, sine, triangle.
void expectFiniteOutputs(VcoModule& vco, float bound = 25.0f) {
    for (int s : {1, 2, 4, 5}) {
        const float out = vco.output(s);
        ASSERT_TRUE(std::isfinite(out) && std::fabs(out) < bound) << s << " " << out;
    }
}

// ---------------------------------------------------------------- frequency law

TEST(VcoFrequency, OneVoltPerOctaveFromEachRangesBaseUpToTheCap) {
    struct Case {
        int range, rate;
        float volts;
        double hz, measureTolerance; // relative; 0: not measured
    } const cases[] = {
        {1, kRate, 0.0f, 10.0, 2e-4},      {1, kRate, 1.0f, 20.0, 1e-4},
        {1, kRate, 4.5f, 226.27417, 1e-4}, {1, kRate, 8.0f, 2560.0, 1e-4},
        {1, kRate, -1.0f, 5.0, 0.0},       {1, kRate, 10.96f, 10.0 * std::exp2(10.96), 0.0},
        {1, kRate, 10.97f, 20000.0, 1e-4}, {1, kRate, 999.0f, 20000.0, 0.0},
        {2, 8000, 0.0f, 0.03, 3e-3},       {2, kRate, 5.0f, 0.96, 0.0},
        {2, kRate, 10.0f, 30.72, 0.0},     {1, 22050, 12.0f, 11025.0, 0.0},
        {1, 8000, 5.0f, 320.0, 0.0},       {1, 8000, 12.0f, 4000.0, 0.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message()
                     << "range " << c.range << " rate " << c.rate << " " << c.volts << " V");
        Osc o(2, 0.0, c.rate, c.range);
        o.vco.setControl(c.volts);
        EXPECT_NEAR(o.vco.frequency / c.hz, 1.0, 1e-6);
        EXPECT_FLOAT_EQ(o.vco.phasor.increment, float(c.hz / c.rate));
        if (c.measureTolerance == 0.0) continue;
        const int n = std::max(2 * c.rate, int(3.0 * c.rate / c.hz) + 10);
        const auto x = o.render(VcoModule::kSine, n);
        EXPECT_NEAR(crossingFrequency(x, c.rate) / c.hz, 1.0, c.measureTolerance);
    }
}

// The instrument takes rates from 1 kHz to 768 kHz. One oscillator taken through them keeps
// its pitch, moves its cap with the rate, and never piles up edges or leaves its range.
TEST(VcoFrequency, EveryAcceptedSampleRateKeepsPitchCapAndRange) {
    Osc o(2, 0.0, 44100);
    for (int rate : {1000, 8000, 22050, 48000, 96000, 768000}) {
        SCOPED_TRACE(rate);
        o.vco.setControl(12.0f);
        o.vco.setPwmControl(0.0f);
        o.vco.setSampleRate(rate); // the cap follows the new rate at once
        EXPECT_EQ(o.vco.frequency, std::min(20000.0f, 0.5f * float(rate)));
        o.vco.setControl(voltsFor(440.0));
        const auto x = o.render(VcoModule::kSine, std::max(rate, 16000));
        EXPECT_NEAR(crossingFrequency(x, rate), 440.0, 0.01);
        int most = 0, mostPulse = 0;
        for (float v : {-5.0f, 6.0f, 10.0f, 10.9f, 14.0f}) {
            o.vco.setControl(v);
            for (float pwm : {-10.0f, 0.0f, 10.0f}) {
                o.vco.setPwmControl(pwm);
                for (int i = 0; i < 3000; ++i) {
                    o.vco.step();
                    expectFiniteOutputs(o.vco);
                    most = std::max(most, o.vco.saw.count);
                    mostPulse = std::max(mostPulse, o.vco.pulse.count);
                    ASSERT_TRUE(o.vco.phasor.phase >= 0.0f && o.vco.phasor.phase < 1.0f);
                }
            }
        }
        // One edge per sample at most, each pending for the table's 22 samples.
        EXPECT_LE(most, 23);
        EXPECT_LE(mostPulse, 23);
    }
}

TEST(VcoFrequency, PanelCoarseAndFineAddAndTheRangeSwitchActsAtOnce) {
    Osc o(1);
    o.vco.setCoarse(2.0f); // coarse parameter 0.2, fine at its middle: 2 V, 40 Hz
    o.vco.setFine(0.0f);
    o.skip(10);
    EXPECT_FLOAT_EQ(o.vco.frequency, 40.0f);
    EXPECT_NEAR(crossingFrequency(o.render(VcoModule::kSine, 2 * kRate), kRate), 40.0, 0.01);
    o.vco.setFine(0.5f);
    o.skip(2);
    EXPECT_NEAR(o.vco.frequency, 40.0f * std::sqrt(2.0f), 1e-3f);
    // With the controls at rest.
    Osc r(2, 80.0);
    r.vco.setRange(2);
    r.vco.step();
    EXPECT_FLOAT_EQ(r.vco.frequency, 0.03f * 8.0f);
    r.vco.setRange(1);
    r.vco.step();
    EXPECT_FLOAT_EQ(r.vco.frequency, 80.0f);
}

// ---------------------------------------------------------------- levels and shapes

TEST(VcoWaveform, SawtoothRampsFromZeroToTenVoltsAroundAFiveVoltMean) {
    for (double hz : {50.3, 1046.5, 4978.0, 9973.0}) {
        Osc o(2, hz);
        o.skip(1000);
        auto x = o.render(VcoModule::kSaw, 1 << 16);
        // The mean stays at 5 V at any pitch: the edges' residuals are taken back out.
        EXPECT_NEAR(mean(x), 5.0, 0.03) << hz;
    }
    Osc o(2, 50.3);
    o.skip(1000);
    auto x = o.render(VcoModule::kSaw, 1 << 16);
    std::sort(x.begin(), x.end());
    EXPECT_NEAR(x[x.size() / 200], 0.05, 0.1);
    EXPECT_NEAR(x[x.size() - x.size() / 200], 9.95, 0.1);
    const auto y = o.render(VcoModule::kSaw, 40); // one slope between the falls
    const double slope = 10.0 * double(o.vco.phasor.increment);
    int ramps = 0;
    for (std::size_t i = 1; i < y.size(); ++i) ramps += std::fabs(y[i] - y[i - 1] - slope) < 1e-3;
    EXPECT_GE(ramps, 30);
    // The fall overshoots a little, no more.
    Osc f(2, 441.3);
    f.skip(1000);
    const auto z = f.render(VcoModule::kSaw, kRate);
    const auto [lo, hi] = std::minmax_element(z.begin(), z.end());
    EXPECT_TRUE(*lo > -2.5f && *lo < 0.5f) << *lo;
    EXPECT_TRUE(*hi < 12.5f && *hi > 9.5f) << *hi;
}

TEST(VcoWaveform, SineIsMinusFiveCosineOfThePhase) {
    Osc p(2, 1234.5);
    for (int i = 0; i < 2000; ++i) {
        p.vco.step();
        const double expected = -5.0 * std::cos(2.0 * kPi * p.vco.phasor.phase);
        ASSERT_NEAR(p.vco.output(VcoModule::kSine), expected, 2e-4) << i;
    }
}

// The measured duty cycle of the 0 / 10 V pulse follows panel width + 0.1 x PWM volts,
// held within 0.11 .. 0.99; the first oscillator's pulse is always a square.
TEST(VcoWaveform, PulseDutyCycleFollowsTheWidthWithinItsClamps) {
    struct Case {
        bool first; // the first oscillator, else the second and third
        float panel, pwm, expected;
    } const cases[] = {{false, 0.5f, 0.0f, 0.5f},   {false, 0.3f, 0.0f, 0.3f},
                       {false, 0.9f, 0.0f, 0.9f},   {false, 0.1f, 0.0f, 0.11f},
                       {false, 0.9f, 10.0f, 0.99f}, {false, 0.1f, -10.0f, 0.11f},
                       {false, 0.5f, 2.0f, 0.7f},   {false, 0.5f, -3.0f, 0.2f},
                       {true, 0.2f, 8.0f, 0.5f},    {true, 0.85f, -8.0f, 0.5f}};
    for (const Case& c : cases) {
        for (int kind : {1, 2, 3}) {
            if (c.first != (kind == 1)) continue;
            SCOPED_TRACE(::testing::Message()
                         << "kind " << kind << " width " << c.panel << " pwm " << c.pwm);
            Osc o(kind, 100.0);
            o.vco.setPanelPulseWidth(c.panel);
            o.vco.setPwmControl(c.pwm);
            o.skip(1000);
            auto x = o.render(VcoModule::kPulse, kRate);
            EXPECT_FLOAT_EQ(o.vco.effectiveWidth, c.expected);
            EXPECT_NEAR(duty(x), c.expected, 0.003);
            EXPECT_NEAR(mean(x), 10.0 * c.expected, 0.05);
            EXPECT_EQ(o.vco.output(VcoModule::kPulseToo), x.back()); // the same output
            if (c.expected < 0.2f || c.expected > 0.8f) continue;
            // Settled levels in the middle of the low and of the high samples.
            std::sort(x.begin(), x.end());
            const double n = double(x.size());
            EXPECT_NEAR(x[std::size_t(n * (1.0 - c.expected) / 2)], 0.0f, 1e-3f);
            EXPECT_NEAR(x[std::size_t(n * (1.0 - c.expected / 2))], 10.0f, 1e-3f);
        }
    }
}

TEST(VcoWaveform, VeryHighPitchHoldsTheWidthAnIncrementFromTheEnds) {
    Osc o(2, 15000.0);
    o.vco.setPanelPulseWidth(0.9f);
    o.vco.setPwmControl(10.0f);
    o.skip(10);
    const float inc = o.vco.phasor.increment;
    EXPECT_FLOAT_EQ(o.vco.pulse.effectiveWidth, 1.0f - inc);
    o.vco.setPanelPulseWidth(0.1f);
    o.vco.setPwmControl(-10.0f);
    o.skip(10);
    EXPECT_FLOAT_EQ(o.vco.pulse.effectiveWidth, std::max(0.11f, inc));
    EXPECT_TRUE(allFinite(o.render(VcoModule::kPulse, 4096)));
}

// In a voice: the keyboard voltage adds to the first oscillator's panel volts; the second's
// panel width glides in through its ramp, and the "VCO2 PW" node's sum adds to it.
TEST(VcoInAVoice, KeyboardVoltsSetThePitchAndPanelWidthAndPwmTheDutyCycle) {
    SharedModules shared;
    auto voice = std::make_unique<Voice>();
    buildVoice(*voice, kRate, shared);
    settleRamps(*voice);
    voice->mods.vco1.setCoarse(2.0f);
    VcoModule& vco2 = voice->mods.vco2;
    vco2.setCoarse(voltsFor(100.0));
    vco2.setPanelPulseWidth(0.3f);
    settleRamps(*voice);
    voice->link(kLinkVco2Kbd).ramp.setNow(0.0f);
    voice->mods.kbdLower.noteRamp.setNow(3.0f);
    auto render = [&](LinkId id) {
        Link& l = voice->link(id);
        l.ramp.setNow(1.0f);
        std::vector<float> x(static_cast<std::size_t>(kRate));
        for (float& v : x) {
            stepVoiceModules(*voice);
            advanceRamps(*voice);
            v = evaluateLink(*voice, l);
        }
        return x;
    };
    // 2 V panel + 3 V keyboard: 320 Hz on the "VCO 1" sawtooth.
    EXPECT_NEAR(testing::peakFrequency(render(kLinkRingModA), kRate, 50.0), 320.0, 0.5);
    EXPECT_FLOAT_EQ(voice->mods.vco1.frequency, 320.0f);
    EXPECT_NEAR(duty(render(kLinkVcfVco2)), 0.3, 0.003); // "VCO 2" selector 6
    // The keyboard voltage into the PWM jack: +10 V at full level gives width 0.99.
    ASSERT_TRUE(reconnect(*voice, fourcc("pl12"), fourcc("kbcv")));
    voice->link(kLinkVco2PwNoise).ramp.setNow(1.0f);
    voice->mods.kbdLower.noteRamp.setNow(10.0f);
    EXPECT_NEAR(duty(render(kLinkVcfVco2)), 0.99, 0.003);
    EXPECT_FLOAT_EQ(vco2.effectiveWidth, 0.99f);
}

// The naive triangle up to 2000 Hz, the additive one above: the naive shape has its
// harmonics past 20 kHz (folded back), the additive has none.
TEST(VcoTriangle, SwitchesFromNaiveToAdditiveBetween1999And2001Hz) {
    for (double hz : {1999.0, 2001.0}) {
        Osc o(2, hz);
        const double f = o.vco.frequency;
        const bool additive = hz > 2000.0;
        EXPECT_EQ(o.vco.triangle.useAdditive, additive);
        // One second: 1 Hz bins, on which the fundamental and the 11th harmonic (above
        // 20 kHz, below Nyquist here) fall.
        const auto mag = testing::magnitudeSpectrum(o.render(VcoModule::kTriangle, kRate));
        const double fundamental = mag[std::size_t(std::lround(f))];
        const double db = testing::toDb(mag[std::size_t(std::lround(11.0 * f))] / fundamental);
        if (additive) {
            EXPECT_LT(db, -90.0) << hz;
            EXPECT_NEAR(fundamental, 5.0 * 0.9495, 0.01); // no fade: 9.99 harmonics fit
        } else {
            EXPECT_NEAR(db, 20.0 * std::log10(1.0 / 121.0), 0.5) << hz;
            EXPECT_NEAR(fundamental, 5.0 * 8.0 / (kPi * kPi), 0.01);
        }
    }
}

TEST(VcoTriangle, NaiveShapePeaksAtPhaseZeroAndTheAdditiveSumsOddHarmonics) {
    Osc o(2, 500.0);
    for (int i = 0; i < 1000; ++i) {
        o.vco.step();
        const double p = o.vco.phasor.phase;
        ASSERT_NEAR(o.vco.output(VcoModule::kTriangle), 5.0 * (std::fabs(4.0 * p - 2.0) - 1.0),
                    1e-4)
            << i;
    }
    Osc a(2, 3000.0);
    // 20000 / 3000 = 6.67: harmonics 1, 3, 5 whole, none faded.
    ASSERT_EQ(a.vco.triangle.additive.harmonicCount, std::floor(20000.0 / a.vco.frequency));
    for (int i = 0; i < 500; ++i) {
        a.vco.step();
        double u = a.vco.phasor.phase + 0.75;
        if (u >= 1.0) u -= 1.0;
        double sum = 0.0;
        for (int k = 1; k <= 5; k += 2) sum += std::sin(2.0 * kPi * k * (1.0 - u)) / (k * k);
        ASSERT_NEAR(a.vco.output(VcoModule::kTriangle), 5.0 * 0.9495 * sum, 2e-3) << i;
    }
}

// The level runs on smoothly where the number of harmonics under 20 kHz changes.
TEST(VcoTriangle, LevelHasNoStepWhereTheHarmonicCountChanges) {
    auto level = [](double hz) { return rms(Osc(2, hz).render(VcoModule::kTriangle, 1 << 14)); };
    for (double edge : {10000.0 / 3.0, 4000.0, 5000.0, 20000.0 / 7.0, 10000.0}) {
        const double below = level(edge * 0.995), above = level(edge * 1.005);
        EXPECT_NEAR(testing::toDb(above / below), 0.0, 0.3) << edge;
    }
    // Nearly the full fundamental just under 10 kHz (harmonic 1 whole, 3 above 20 kHz).
    EXPECT_GT(level(9900.0), 0.9 * 5.0 * 0.9495 / std::numbers::sqrt2);
}

TEST(VcoTriangle, OnlyTheSecondOscillatorHasOneAndUnknownSelectorsAreSilent) {
    for (int kind : {1, 3}) {
        const auto x = Osc(kind, 300.0).render(VcoModule::kTriangle, 1000);
        EXPECT_TRUE(std::all_of(x.begin(), x.end(), [](float v) { return v == 0.0f; })) << kind;
    }
    Osc o;
    for (int selector : {0, 3, 7, -1, 1000}) EXPECT_EQ(o.vco.output(selector), 0.0f) << selector;
}

// ---------------------------------------------------------------- reset and phase

TEST(VcoReset, StartsThePulseHighAndEveryPhaseAtZero) {
    Osc o(2, 100.0); // 480 samples a cycle
    o.skip(10000, VcoModule::kPulse);
    while (o.vco.phasor.phase < 0.7f) {
        o.vco.step();
        o.vco.output(VcoModule::kSaw);
        o.vco.output(VcoModule::kPulse); // run into the low half first
    }
    ASSERT_LT(o.vco.output(VcoModule::kPulse), 1.0f);
    o.vco.reset();
    std::vector<float> pulse, sine, saw;
    for (int i = 0; i < 480; ++i) {
        o.vco.step();
        EXPECT_TRUE(i > 0 || o.vco.phasor.phase == 0.0f);
        pulse.push_back(o.vco.output(VcoModule::kPulse));
        sine.push_back(o.vco.output(VcoModule::kSine));
        saw.push_back(o.vco.output(VcoModule::kSaw));
    }
    EXPECT_FLOAT_EQ(sine[0], -5.0f);
    EXPECT_GT(pulse[4], 9.0f); // the rising step has all but settled
    for (int i = 10; i < 230; ++i) ASSERT_NEAR(pulse[i], 10.0f, 0.5f) << i;
    for (int i = 250; i < 470; ++i) ASSERT_NEAR(pulse[i], 0.0f, 0.5f) << i;
    // The sawtooth restarts at the bottom of its ramp.
    for (int i = 30; i < 470; ++i) ASSERT_NEAR(saw[std::size_t(i)], 10.0 * i / 480.0, 0.1) << i;
    // The second oscillator's triangle restarts at its peak.
    Osc t(2, 250.0);
    t.skip(777, VcoModule::kTriangle);
    t.vco.reset();
    t.vco.step();
    EXPECT_FLOAT_EQ(t.vco.output(VcoModule::kTriangle), 5.0f);
}

TEST(VcoReset, KeyboardSwitchOffRestartsThePhase) {
    Osc o(2, 100.0);
    o.skip(1234);
    o.vco.setRange(2);
    o.vco.setPhase(0.0f);
    o.vco.step();
    EXPECT_EQ(o.vco.phasor.phase, 0.0f);
    EXPECT_FLOAT_EQ(o.vco.output(VcoModule::kSine), -5.0f);
}

// ---------------------------------------------------------------- per-sample behaviour

TEST(VcoSampling, EachOutputIsComputedOncePerSampleAndKeepsItsEdgesUntilRead) {
    Osc once(2, 3333.3), twice(2, 3333.3);
    for (int i = 0; i < 5000; ++i) {
        once.vco.step();
        twice.vco.step();
        const float a = once.vco.output(VcoModule::kSaw);
        const float b = twice.vco.output(VcoModule::kSaw);
        ASSERT_EQ(twice.vco.output(VcoModule::kSaw), b);
        ASSERT_EQ(a, b) << i;
    }
    Osc o(2, 1000.0);
    while (o.vco.saw.count == 0) o.skip(1);
    o.skip(3);
    const int pending = o.vco.saw.count;
    const float position = o.vco.saw.position[o.vco.saw.readIndex];
    o.skip(500, VcoModule::kSine);
    EXPECT_EQ(o.vco.saw.count, pending);
    EXPECT_EQ(o.vco.saw.position[o.vco.saw.readIndex], position);
    EXPECT_TRUE(allFinite(o.render(VcoModule::kSaw, 100)));
}

// ---------------------------------------------------------------- aliasing

// Frequencies that do not divide 48 kHz, so that aliases fall between the harmonics.
TEST(VcoAliasing, SawtoothAndPulseAliasesStayBelowMinus60dB) {
    struct Case {
        const char* name;
        int selector;
        double hz;
        float width;
    } const cases[] = {{"saw near 1 kHz", VcoModule::kSaw, 1046.5, 0.5f},
                       {"saw near 5 kHz", VcoModule::kSaw, 4978.03, 0.5f},
                       {"pulse 30% near 1 kHz", VcoModule::kPulse, 1046.5, 0.3f},
                       {"square near 5 kHz", VcoModule::kPulse, 4978.03, 0.5f}};
    for (const Case& c : cases) {
        Osc o(2, c.hz);
        o.vco.setPanelPulseWidth(c.width);
        o.skip(2000, c.selector);
        const auto x = o.render(c.selector, 1 << 17);
        const double db = testing::worstNonHarmonicDb(x, kRate, double(o.vco.frequency));
        std::printf("[ alias    ] %s (%.2f Hz at 48 kHz): strongest non-harmonic %.1f dB\n", c.name,
                    c.hz, db);
        RecordProperty(c.name, std::to_string(db));
        EXPECT_LT(db, -60.0) << c.name;
    }
}

// ---------------------------------------------------------------- bad input

TEST(VcoRobustness, PhaseRestartsInABurstNeverOverflowTheRings) {
    for (float hz : {30.0f, 2000.0f, 19000.0f}) {
        Osc o(2, hz);
        o.skip(100);
        // Each restart queues the edges its phase implies (at high pitch, every time).
        for (int i = 0; i < 1000; ++i) o.vco.setPhase(0.0f);
        EXPECT_LE(o.vco.saw.count, MinBlepSaw::kRing);
        EXPECT_LE(o.vco.pulse.count, MinBlepPulse::kRing);
        for (int i = 0; i < 1000; ++i) {
            o.vco.reset();
            o.vco.setPhase(0.37f);
        }
        EXPECT_LE(o.vco.saw.count, MinBlepSaw::kRing);
        EXPECT_LE(o.vco.pulse.count, MinBlepPulse::kRing);
        for (int i = 0; i < 200; ++i) {
            o.vco.step();
            expectFiniteOutputs(o.vco, 1e30f);
        }
        EXPECT_LE(o.vco.saw.count, 23);
    }
}

TEST(VcoRobustness, RecoversAfterNaNAndHugeControlSums) {
    for (float bad : {kNaN, std::numeric_limits<float>::infinity(), 1e30f, -1e30f, 3e38f}) {
        SCOPED_TRACE(bad);
        Osc o(2, 500.0);
        o.skip(50);
        o.vco.setControl(bad);
        o.vco.setPwmControl(bad);
        for (int i = 0; i < 500; ++i) {
            o.vco.step();
            expectFiniteOutputs(o.vco, 1e30f);
        }
        o.vco.setControl(voltsFor(440.0));
        o.vco.setPwmControl(0.0f);
        o.skip(100);
        EXPECT_NEAR(crossingFrequency(o.render(VcoModule::kSine, kRate), kRate), 440.0, 0.01);
        EXPECT_NEAR(duty(o.render(VcoModule::kPulse, kRate)), 0.5, 0.01);
        EXPECT_NEAR(mean(o.render(VcoModule::kSaw, kRate)), 5.0, 0.03);
    }
}

TEST(VcoRobustness, APoisonedPhaseRestartsInRangeAndZeroFrequencyQueuesNothing) {
    Osc o(2, 440.0);
    o.vco.phasor.phase = kNaN;
    o.vco.step();
    EXPECT_EQ(o.vco.phasor.phase, 0.0f);
    auto inRange = [&] { return o.vco.phasor.phase >= 0.0f && o.vco.phasor.phase < 1.0f; };
    o.vco.phasor.phase = 1e30f;
    o.vco.step();
    EXPECT_TRUE(inRange());
    o.vco.setPhase(kNaN);
    EXPECT_TRUE(inRange());
    o.vco.setPhase(1e20f);
    EXPECT_LT(o.vco.phasor.phase, 1.0f);
    EXPECT_TRUE(allFinite(o.render(VcoModule::kSaw, 1000)));

    Osc z;
    z.vco.setControl(-1000.0f); // 2^-1000 x 10 Hz is 0 in float
    EXPECT_EQ(z.vco.phasor.increment, 0.0f);
    z.vco.setPhase(0.0f);
    z.vco.reset();
    EXPECT_EQ(z.vco.saw.count, 0);
    EXPECT_EQ(z.vco.pulse.count, 0);
    EXPECT_TRUE(allFinite(z.render(VcoModule::kPulse, 100)));
}

} // namespace
} // namespace moraine
