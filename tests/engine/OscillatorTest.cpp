// The oscillators, listened to: frequencies and ranges, waveform levels and shapes, the
// triangle's change of method, reset, aliasing of the band-limited sawtooth and pulse,
// every sample rate, and recovery from poisoned control sums.
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
using testing::peakFrequency;
using testing::rms;
using testing::worstNonHarmonicDb;

constexpr int kRate = 48000;
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

float voltsFor(double hz) {
    return float(std::log2(hz / 10.0));
}

// One oscillator on its own, stepped and read as the graph does.
struct Osc {
    explicit Osc(int kind = 2, int rate = kRate) : vco(kind, 0.0f, 1, rate, nullptr) {}

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

// Amplitude of the component at exactly `hz`: a correlation under the same
// Blackman-Harris window as the spectra, without their loss between bins.
double amplitudeAt(const std::vector<float>& x, double hz, double rate) {
    const double a0 = 0.35875, a1 = 0.48829, a2 = 0.14128, a3 = 0.01168;
    const double n = double(x.size());
    double re = 0.0, im = 0.0, windowSum = 0.0;
    for (std::size_t i = 0; i < x.size(); ++i) {
        const double t = 2.0 * std::numbers::pi * double(i) / n;
        const double w = a0 - a1 * std::cos(t) + a2 * std::cos(2 * t) - a3 * std::cos(3 * t);
        const double phase = 2.0 * std::numbers::pi * hz * double(i) / rate;
        re += w * x[i] * std::cos(phase);
        im += w * x[i] * std::sin(phase);
        windowSum += w;
    }
    return 2.0 * std::hypot(re, im) / windowSum;
}

bool allFinite(const std::vector<float>& x) {
    return std::all_of(x.begin(), x.end(), [](float v) { return std::isfinite(v); });
}

// ---------------------------------------------------------------- frequency law

TEST(VcoFrequency, TenHertzAtZeroVoltsInTheAudioRange) {
    Osc o;
    EXPECT_FLOAT_EQ(o.vco.frequency, 10.0f);
    const auto x = o.render(VcoModule::kSine, 4 * kRate);
    EXPECT_NEAR(crossingFrequency(x, kRate), 10.0, 0.002);
}

TEST(VcoFrequency, ThreeHundredthsOfAHertzAtZeroVoltsInTheLowRange) {
    constexpr int rate = 8000;
    VcoModule vco(1, 0.0f, 2, rate, nullptr);
    EXPECT_FLOAT_EQ(vco.frequency, 0.03f);
    std::vector<float> x(static_cast<std::size_t>(100 * rate)); // three periods
    for (float& v : x) {
        vco.step();
        v = vco.output(VcoModule::kSine);
    }
    EXPECT_NEAR(crossingFrequency(x, rate), 0.03, 0.0001);
}

TEST(VcoFrequency, OneVoltPerOctaveThroughTheControlSum) {
    Osc o;
    for (float v : {1.0f, 3.0f, 4.5f, 6.0f, 8.0f}) {
        o.vco.setControl(v);
        o.skip(100);
        const auto x = o.render(VcoModule::kSine, 2 * kRate);
        const double expected = 10.0 * std::exp2(double(v));
        EXPECT_NEAR(crossingFrequency(x, kRate) / expected, 1.0, 1e-4) << v;
    }
    // Negative sums go below 10 Hz by the same law.
    o.vco.setControl(-1.0f);
    EXPECT_FLOAT_EQ(o.vco.frequency, 5.0f);
}

TEST(VcoFrequency, LowRangeFollowsTheSameLawAndTopsOutAt30Hz) {
    VcoModule vco(3, 0.0f, 2, kRate, nullptr);
    vco.setControl(10.0f);
    EXPECT_NEAR(vco.frequency, 30.72f, 1e-3f);
    vco.setControl(5.0f);
    EXPECT_NEAR(vco.frequency, 0.96f, 1e-5f);
}

TEST(VcoFrequency, PanelCoarseAndFineGiveVoltsAndGlide) {
    // Coarse parameter 0.2 and fine 0.5: 2 V, 40 Hz.
    Osc o(1);
    o.vco.setCoarse(10.0f * 0.2f);
    o.vco.setFine(0.5f - 0.5f);
    o.skip(10);
    EXPECT_FLOAT_EQ(o.vco.frequency, 40.0f);
    const auto x = o.render(VcoModule::kSine, 2 * kRate);
    EXPECT_NEAR(crossingFrequency(x, kRate), 40.0, 0.01);
    o.vco.setFine(0.5f); // +0.5 V
    o.skip(2);
    EXPECT_NEAR(o.vco.frequency, 40.0f * std::sqrt(2.0f), 1e-3f);
}

TEST(VcoFrequency, TwentyKilohertzCapAboveAbout1097Volts) {
    Osc o;
    o.vco.setControl(10.96f);
    EXPECT_LT(o.vco.frequency, 20000.0f);
    EXPECT_NEAR(o.vco.frequency, 10.0f * std::exp2(10.96f), 1.0f);
    for (float v : {10.97f, 11.0f, 12.0f, 100.0f, 999.0f}) {
        o.vco.setControl(v);
        EXPECT_EQ(o.vco.frequency, 20000.0f) << v;
    }
    const auto x = o.render(VcoModule::kSine, 1 << 15);
    EXPECT_NEAR(peakFrequency(x, kRate, 100.0), 20000.0, 2.0);
}

TEST(VcoFrequency, RatesBelow40kHzCapAtTheNyquistFrequency) {
    Osc o(2, 22050);
    o.vco.setControl(12.0f);
    EXPECT_EQ(o.vco.frequency, 11025.0f);
    EXPECT_EQ(o.vco.phasor.increment, 0.5f);
    o.vco.setSampleRate(48000);
    EXPECT_EQ(o.vco.frequency, 20000.0f);
    o.vco.setSampleRate(8000);
    EXPECT_EQ(o.vco.frequency, 4000.0f);
    o.vco.setControl(5.0f);
    EXPECT_EQ(o.vco.frequency, 320.0f);
}

TEST(VcoFrequency, KeyboardVoltageThroughTheGraph) {
    SharedModules shared;
    auto voice = std::make_unique<Voice>();
    buildVoice(*voice, kRate, shared);
    settleRamps(*voice);
    voice->mods.vco1.setCoarse(2.0f);
    settleRamps(*voice);
    Link& saw = voice->link(kLinkRingModA); // "VCO 1" sawtooth
    saw.ramp.setNow(1.0f);
    voice->mods.kbdLower.noteRamp.setNow(3.0f);
    std::vector<float> x(static_cast<std::size_t>(kRate));
    for (float& v : x) {
        stepVoiceModules(*voice);
        advanceRamps(*voice);
        v = evaluateLink(*voice, saw);
    }
    // 2 V panel + 3 V keyboard: 320 Hz.
    EXPECT_FLOAT_EQ(voice->mods.vco1.frequency, 320.0f);
    EXPECT_NEAR(peakFrequency(x, kRate, 50.0), 320.0, 0.5);
}

TEST(VcoFrequency, RangeSwitchTakesEffectWithTheControlsAtRest) {
    Osc o;
    o.vco.setControl(3.0f);
    o.vco.setRange(2);
    o.vco.step();
    EXPECT_FLOAT_EQ(o.vco.frequency, 0.03f * 8.0f);
    o.vco.setRange(1);
    o.vco.step();
    EXPECT_FLOAT_EQ(o.vco.frequency, 80.0f);
}

TEST(VcoFrequency, SampleRateChangesKeepThePitch) {
    Osc o(2, 44100);
    o.vco.setControl(voltsFor(440.0));
    for (int rate : {96000, 22050, 48000}) {
        o.vco.setSampleRate(rate);
        std::vector<float> x(static_cast<std::size_t>(rate));
        for (float& v : x) {
            o.vco.step();
            v = o.vco.output(VcoModule::kSine);
        }
        EXPECT_NEAR(crossingFrequency(x, rate), 440.0, 0.01) << rate;
    }
}

// ---------------------------------------------------------------- levels and shapes

TEST(VcoWaveform, SawtoothRisesFromZeroToTenVoltsAroundFiveVoltsMean) {
    for (double hz : {50.3, 1046.5, 4978.0, 9973.0}) {
        Osc o;
        o.vco.setControl(voltsFor(hz));
        o.skip(1000);
        auto x = o.render(VcoModule::kSaw, 1 << 16);
        // The mean stays at 5 V at any pitch: the edges' residuals are taken back out.
        EXPECT_NEAR(mean(x), 5.0, 0.03) << hz;
        if (hz < 100) {
            std::sort(x.begin(), x.end());
            EXPECT_NEAR(x[x.size() / 200], 0.05, 0.1);
            EXPECT_NEAR(x[x.size() - x.size() / 200], 9.95, 0.1);
            // A ramp: one slope between the falls.
            const auto y = o.render(VcoModule::kSaw, 40);
            const double slope = 10.0 * double(o.vco.phasor.increment);
            int ramps = 0;
            for (std::size_t i = 1; i < y.size(); ++i)
                ramps += std::fabs(double(y[i] - y[i - 1]) - slope) < 1e-3;
            EXPECT_GE(ramps, 30);
        }
    }
}

TEST(VcoWaveform, SawtoothFallsWithALimitedOvershoot) {
    Osc o;
    o.vco.setControl(voltsFor(441.3));
    o.skip(1000);
    const auto x = o.render(VcoModule::kSaw, kRate);
    const auto [lo, hi] = std::minmax_element(x.begin(), x.end());
    EXPECT_GT(*lo, -2.5f);
    EXPECT_LT(*hi, 12.5f);
    EXPECT_LT(*lo, 0.5f);
    EXPECT_GT(*hi, 9.5f);
}

TEST(VcoWaveform, SineSwingsFiveVoltsFromMinusFiveAtPhaseZero) {
    Osc o;
    o.vco.setControl(voltsFor(100.0));
    o.vco.reset();
    const auto x = o.render(VcoModule::kSine, kRate);
    EXPECT_NEAR(x[0], -5.0f, 1e-4f);
    EXPECT_NEAR(*std::max_element(x.begin(), x.end()), 5.0f, 1e-3f);
    EXPECT_NEAR(*std::min_element(x.begin(), x.end()), -5.0f, 1e-3f);
    EXPECT_NEAR(rms(x), 5.0 / std::numbers::sqrt2, 1e-3);
    // -5 cos(2 pi phase) sample by sample.
    Osc p;
    p.vco.setControl(voltsFor(1234.5));
    for (int i = 0; i < 2000; ++i) {
        p.vco.step();
        const double expected = -5.0 * std::cos(2.0 * std::numbers::pi * p.vco.phasor.phase);
        ASSERT_NEAR(p.vco.output(VcoModule::kSine), expected, 2e-4) << i;
    }
}

TEST(VcoWaveform, PulseDutyFollowsTheWidthWithinItsClamps) {
    struct Case {
        float panel, pwm, expected;
    } const cases[] = {{0.5f, 0.0f, 0.5f},  {0.3f, 0.0f, 0.3f},   {0.9f, 0.0f, 0.9f},
                       {0.1f, 0.0f, 0.11f}, {0.9f, 10.0f, 0.99f}, {0.1f, -10.0f, 0.11f},
                       {0.5f, 2.0f, 0.7f},  {0.5f, -3.0f, 0.2f}};
    for (const Case& c : cases) {
        for (int kind : {2, 3}) {
            Osc o(kind);
            o.vco.setControl(voltsFor(100.0));
            o.vco.setPanelPulseWidth(c.panel);
            o.vco.setPwmControl(c.pwm);
            o.skip(1000);
            const auto x = o.render(VcoModule::kPulse, kRate);
            SCOPED_TRACE(::testing::Message()
                         << "kind " << kind << " width " << c.panel << " pwm " << c.pwm);
            EXPECT_FLOAT_EQ(o.vco.effectiveWidth, c.expected);
            EXPECT_NEAR(duty(x), c.expected, 0.003);
            EXPECT_NEAR(mean(x), 10.0 * c.expected, 0.05);
            // Selector 6 is the same output, computed once.
            EXPECT_EQ(o.vco.output(VcoModule::kPulseToo), x.back());
        }
    }
}

TEST(VcoWaveform, PulseLevelsAreZeroAndTenVolts) {
    Osc o;
    o.vco.setControl(voltsFor(100.0));
    o.vco.setPanelPulseWidth(0.3f);
    o.skip(1000);
    auto x = o.render(VcoModule::kPulse, kRate);
    std::sort(x.begin(), x.end());
    EXPECT_NEAR(x[x.size() / 10], 0.0f, 1e-3f);
    EXPECT_NEAR(x[x.size() - x.size() / 10], 10.0f, 1e-3f);
}

TEST(VcoWaveform, FirstOscillatorPulseIsAlwaysASquare) {
    Osc o(1);
    o.vco.setControl(voltsFor(100.0));
    o.vco.setPanelPulseWidth(0.2f);
    o.vco.setPwmControl(8.0f);
    o.skip(1000);
    EXPECT_NEAR(duty(o.render(VcoModule::kPulse, kRate)), 0.5, 0.003);
    o.vco.setPwmControl(-8.0f);
    o.vco.setPanelPulseWidth(0.85f);
    o.skip(1000);
    EXPECT_NEAR(duty(o.render(VcoModule::kPulse, kRate)), 0.5, 0.003);
}

TEST(VcoWaveform, VeryHighPitchHoldsTheWidthAnIncrementFromTheEnds) {
    Osc o;
    o.vco.setControl(voltsFor(15000.0));
    o.vco.setPanelPulseWidth(0.9f);
    o.vco.setPwmControl(10.0f);
    o.skip(10);
    const float inc = o.vco.phasor.increment;
    EXPECT_FLOAT_EQ(o.vco.pulse.effectiveWidth, 1.0f - inc);
    o.vco.setPanelPulseWidth(0.1f);
    o.vco.setPwmControl(-10.0f);
    o.skip(10);
    EXPECT_FLOAT_EQ(o.vco.pulse.effectiveWidth, std::max(0.11f, inc));
    const auto x = o.render(VcoModule::kPulse, 4096);
    EXPECT_TRUE(allFinite(x));
}

TEST(VcoWaveform, PwmThroughTheGraphNodeReachesTheSecondOscillator) {
    SharedModules shared;
    auto voice = std::make_unique<Voice>();
    buildVoice(*voice, kRate, shared);
    settleRamps(*voice);
    VcoModule& vco2 = voice->mods.vco2;
    vco2.setCoarse(voltsFor(100.0));
    settleRamps(*voice);
    // The keyboard voltage into the PWM jack: +10 V at full level gives width 0.99.
    ASSERT_TRUE(reconnect(*voice, fourcc("pl12"), fourcc("kbcv")));
    voice->link(kLinkVco2PwNoise).ramp.setNow(1.0f);
    voice->link(kLinkVco2Kbd).ramp.setNow(0.0f);
    voice->mods.kbdLower.noteRamp.setNow(10.0f);
    Link& pulse = voice->link(kLinkVcfVco2); // "VCO 2" selector 6
    pulse.ramp.setNow(1.0f);
    std::vector<float> x(static_cast<std::size_t>(kRate));
    for (float& v : x) {
        stepVoiceModules(*voice);
        advanceRamps(*voice);
        v = evaluateLink(*voice, pulse);
    }
    EXPECT_FLOAT_EQ(vco2.effectiveWidth, 0.99f);
    EXPECT_NEAR(duty(x), 0.99, 0.003);
}

// The naive triangle up to 2000 Hz, the additive one above: the naive shape has its
// harmonics past 20 kHz (folded back), the additive has none.
TEST(VcoTriangle, SwitchesFromNaiveToAdditiveBetween1999And2001Hz) {
    for (double hz : {1999.0, 2001.0}) {
        Osc o;
        o.vco.setControl(voltsFor(hz));
        const double f = o.vco.frequency;
        const bool additive = hz > 2000.0;
        EXPECT_EQ(o.vco.triangle.useAdditive, additive);
        const auto x = o.render(VcoModule::kTriangle, 1 << 16);
        const double fundamental = amplitudeAt(x, f, kRate);
        // The 11th harmonic lies above 20 kHz (and below Nyquist here).
        const double eleventh = amplitudeAt(x, 11.0 * f, kRate);
        const double db = testing::toDb(eleventh / fundamental);
        if (additive) {
            EXPECT_LT(db, -90.0) << hz;
            EXPECT_NEAR(fundamental, 5.0 * 0.9495, 0.01); // no fade: 9.99 harmonics fit
        } else {
            EXPECT_NEAR(db, 20.0 * std::log10(1.0 / 121.0), 0.5) << hz;
            EXPECT_NEAR(fundamental, 5.0 * 8.0 / (std::numbers::pi * std::numbers::pi), 0.01);
        }
    }
}

TEST(VcoTriangle, NaiveShapePeaksAtPhaseZero) {
    Osc o;
    o.vco.setControl(voltsFor(500.0));
    for (int i = 0; i < 1000; ++i) {
        o.vco.step();
        const double p = o.vco.phasor.phase;
        ASSERT_NEAR(o.vco.output(VcoModule::kTriangle), 5.0 * (std::fabs(4.0 * p - 2.0) - 1.0),
                    1e-4)
            << i;
    }
}

TEST(VcoTriangle, AdditiveSumOfOddHarmonics) {
    Osc o;
    o.vco.setControl(voltsFor(3000.0));
    const double f = o.vco.frequency;
    const double ratio = 20000.0 / f; // 6.67: harmonics 1, 3, 5 whole, none faded
    ASSERT_EQ(o.vco.triangle.additive.harmonicCount, std::floor(ratio));
    for (int i = 0; i < 500; ++i) {
        o.vco.step();
        double u = o.vco.phasor.phase + 0.75;
        if (u >= 1.0) u -= 1.0;
        const double q = 1.0 - u;
        double sum = 0.0;
        for (int k = 1; k <= 5; k += 2) sum += std::sin(2.0 * std::numbers::pi * k * q) / (k * k);
        ASSERT_NEAR(o.vco.output(VcoModule::kTriangle), 5.0 * 0.9495 * sum, 2e-3) << i;
    }
}

// The level runs on smoothly where the number of harmonics under 20 kHz changes.
TEST(VcoTriangle, LevelHasNoStepWhereTheHarmonicCountChanges) {
    auto level = [](double hz) {
        Osc o;
        o.vco.setControl(voltsFor(hz));
        return rms(o.render(VcoModule::kTriangle, 1 << 14));
    };
    for (double edge : {10000.0 / 3.0, 4000.0, 5000.0, 20000.0 / 7.0, 10000.0}) {
        const double below = level(edge * 0.995), above = level(edge * 1.005);
        EXPECT_NEAR(testing::toDb(above / below), 0.0, 0.3) << edge;
    }
    // Nearly the full fundamental just under 10 kHz (harmonic 1 whole, 3 above 20 kHz).
    EXPECT_GT(level(9900.0), 0.9 * 5.0 * 0.9495 / std::numbers::sqrt2);
}

TEST(VcoTriangle, OnlyTheSecondOscillatorHasOne) {
    for (int kind : {1, 3}) {
        Osc o(kind);
        o.vco.setControl(voltsFor(300.0));
        const auto x = o.render(VcoModule::kTriangle, 1000);
        EXPECT_TRUE(std::all_of(x.begin(), x.end(), [](float v) { return v == 0.0f; })) << kind;
    }
    Osc o;
    for (int selector : {0, 3, 7, -1, 1000}) EXPECT_EQ(o.vco.output(selector), 0.0f) << selector;
}

// ---------------------------------------------------------------- reset and phase

TEST(VcoReset, StartsThePulseHighAndEveryPhaseAtZero) {
    Osc o;
    o.vco.setControl(voltsFor(100.0)); // 480 samples a cycle
    o.vco.setPanelPulseWidth(0.5f);
    // Run into the low half first.
    for (int i = 0; i < 10000; ++i) {
        o.vco.step();
        o.vco.output(VcoModule::kPulse);
        o.vco.output(VcoModule::kSaw);
    }
    while (o.vco.phasor.phase < 0.7f) {
        o.vco.step();
        o.vco.output(VcoModule::kPulse);
        o.vco.output(VcoModule::kSaw);
    }
    ASSERT_LT(o.vco.output(VcoModule::kPulse), 1.0f);
    o.vco.reset();
    std::vector<float> pulse, sine, saw;
    for (int i = 0; i < 480; ++i) {
        o.vco.step();
        if (i == 0) {
            EXPECT_EQ(o.vco.phasor.phase, 0.0f);
        }
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
}

TEST(VcoReset, TriangleOfTheSecondOscillatorRestartsAtItsPeak) {
    Osc o;
    o.vco.setControl(voltsFor(250.0));
    o.skip(777, VcoModule::kTriangle);
    o.vco.reset();
    o.vco.step();
    EXPECT_FLOAT_EQ(o.vco.output(VcoModule::kTriangle), 5.0f);
}

TEST(VcoReset, KeyboardSwitchOffRestartsThePhase) {
    Osc o;
    o.vco.setControl(voltsFor(100.0));
    o.skip(1234);
    o.vco.setRange(2);
    o.vco.setPhase(0.0f);
    o.vco.step();
    EXPECT_EQ(o.vco.phasor.phase, 0.0f);
    EXPECT_FLOAT_EQ(o.vco.output(VcoModule::kSine), -5.0f);
}

// ---------------------------------------------------------------- per-sample behaviour

TEST(VcoSampling, EachOutputIsComputedOncePerSample) {
    Osc once, twice;
    for (Osc* o : {&once, &twice}) o->vco.setControl(voltsFor(3333.3));
    for (int i = 0; i < 5000; ++i) {
        once.vco.step();
        twice.vco.step();
        const float a = once.vco.output(VcoModule::kSaw);
        const float b = twice.vco.output(VcoModule::kSaw);
        ASSERT_EQ(twice.vco.output(VcoModule::kSaw), b);
        ASSERT_EQ(a, b) << i;
    }
}

TEST(VcoSampling, AnUnreadGeneratorKeepsItsEdgesUntilRead) {
    Osc o;
    o.vco.setControl(voltsFor(1000.0));
    while (o.vco.saw.count == 0) o.skip(1);
    o.skip(3);
    const int pending = o.vco.saw.count;
    ASSERT_GT(pending, 0);
    const float position = o.vco.saw.position[o.vco.saw.readIndex];
    o.skip(500, VcoModule::kSine);
    EXPECT_EQ(o.vco.saw.count, pending);
    EXPECT_EQ(o.vco.saw.position[o.vco.saw.readIndex], position);
    const auto x = o.render(VcoModule::kSaw, 100);
    EXPECT_TRUE(allFinite(x));
}

// ---------------------------------------------------------------- aliasing

struct AliasCase {
    const char* name;
    int selector;
    double hz;
    float width;
};

double aliasDb(const AliasCase& c) {
    Osc o;
    o.vco.setControl(voltsFor(c.hz));
    o.vco.setPanelPulseWidth(c.width);
    o.skip(2000, c.selector);
    const auto x = o.render(c.selector, 1 << 17);
    return worstNonHarmonicDb(x, kRate, double(o.vco.frequency));
}

// Frequencies that do not divide 48 kHz, so that aliases fall between the harmonics.
TEST(VcoAliasing, SawtoothAliasesStayBelowMinus60dB) {
    const AliasCase cases[] = {{"saw near 1 kHz", VcoModule::kSaw, 1046.5, 0.5f},
                               {"saw near 5 kHz", VcoModule::kSaw, 4978.03, 0.5f}};
    for (const AliasCase& c : cases) {
        const double db = aliasDb(c);
        std::printf("[ alias    ] %s (%.2f Hz at 48 kHz): strongest non-harmonic %.1f dB\n", c.name,
                    c.hz, db);
        RecordProperty(c.name, std::to_string(db));
        EXPECT_LT(db, -60.0) << c.name;
    }
}

TEST(VcoAliasing, PulseAliasesStayBelowMinus60dB) {
    const AliasCase cases[] = {{"pulse 30% near 1 kHz", VcoModule::kPulse, 1046.5, 0.3f},
                               {"square near 5 kHz", VcoModule::kPulse, 4978.03, 0.5f}};
    for (const AliasCase& c : cases) {
        const double db = aliasDb(c);
        std::printf("[ alias    ] %s (%.2f Hz at 48 kHz): strongest non-harmonic %.1f dB\n", c.name,
                    c.hz, db);
        EXPECT_LT(db, -60.0) << c.name;
    }
}

// ---------------------------------------------------------------- bad input

TEST(VcoRobustness, EverySampleRateRunsWithoutOverflowOrNaN) {
    for (int rate : {8000, 11025, 22050, 32000, 44100, 48000, 88200, 96000, 192000, 384000}) {
        SCOPED_TRACE(rate);
        Osc o(2, rate);
        int most = 0, mostPulse = 0;
        for (float v : {-5.0f, 0.0f, 6.0f, 10.0f, 10.9f, 11.5f, 14.0f}) {
            o.vco.setControl(v);
            for (float pwm : {-10.0f, 0.0f, 10.0f}) {
                o.vco.setPwmControl(pwm);
                for (int i = 0; i < 3000; ++i) {
                    o.vco.step();
                    for (int s : {1, 2, 4, 5}) {
                        const float out = o.vco.output(s);
                        ASSERT_TRUE(std::isfinite(out)) << v << " " << s;
                        ASSERT_LT(std::fabs(out), 25.0f) << v << " " << s;
                    }
                    most = std::max(most, o.vco.saw.count);
                    mostPulse = std::max(mostPulse, o.vco.pulse.count);
                    ASSERT_GE(o.vco.phasor.phase, 0.0f);
                    ASSERT_LT(o.vco.phasor.phase, 1.0f);
                }
            }
        }
        // One edge per sample at most, each pending for the table's 22 samples.
        EXPECT_LE(most, 23);
        EXPECT_LE(mostPulse, 23);
    }
}

TEST(VcoRobustness, PhaseRestartsInABurstNeverOverflowTheRings) {
    for (float hz : {30.0f, 2000.0f, 19000.0f}) {
        Osc o;
        o.vco.setControl(voltsFor(hz));
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
            for (int s : {1, 2, 4, 5}) ASSERT_TRUE(std::isfinite(o.vco.output(s)));
        }
        EXPECT_LE(o.vco.saw.count, 23);
    }
}

TEST(VcoRobustness, RecoversAfterNaNAndHugeControlSums) {
    for (float bad : {kNaN, kInf, -kInf, 1e30f, -1e30f, 3e38f, -3e38f}) {
        SCOPED_TRACE(bad);
        Osc o;
        o.vco.setControl(voltsFor(500.0));
        o.skip(50);
        o.vco.setControl(bad);
        o.vco.setPwmControl(bad);
        for (int i = 0; i < 500; ++i) {
            o.vco.step();
            for (int s : {1, 2, 4, 5}) ASSERT_TRUE(std::isfinite(o.vco.output(s))) << s;
        }
        o.vco.setControl(voltsFor(440.0));
        o.vco.setPwmControl(0.0f);
        o.skip(100);
        const auto x = o.render(VcoModule::kSine, kRate);
        EXPECT_NEAR(crossingFrequency(x, kRate), 440.0, 0.01);
        auto p = o.render(VcoModule::kPulse, kRate);
        EXPECT_NEAR(duty(p), 0.5, 0.01);
        EXPECT_NEAR(mean(o.render(VcoModule::kSaw, kRate)), 5.0, 0.03);
    }
}

TEST(VcoRobustness, APoisonedPhaseRestartsAtZero) {
    Osc o;
    o.vco.setControl(voltsFor(440.0));
    o.vco.phasor.phase = kNaN;
    o.vco.step();
    EXPECT_EQ(o.vco.phasor.phase, 0.0f);
    o.vco.phasor.phase = 1e30f;
    o.vco.step();
    EXPECT_GE(o.vco.phasor.phase, 0.0f);
    EXPECT_LT(o.vco.phasor.phase, 1.0f);
    o.vco.setPhase(kNaN);
    EXPECT_GE(o.vco.phasor.phase, 0.0f);
    EXPECT_LT(o.vco.phasor.phase, 1.0f);
    o.vco.setPhase(1e20f);
    EXPECT_LT(o.vco.phasor.phase, 1.0f);
    const auto x = o.render(VcoModule::kSaw, 1000);
    EXPECT_TRUE(allFinite(x));
}

TEST(VcoRobustness, ZeroFrequencyStandsStillAndQueuesNothing) {
    Osc o;
    o.vco.setControl(-1000.0f); // 2^-1000 x 10 Hz is 0 in float
    EXPECT_EQ(o.vco.phasor.increment, 0.0f);
    o.vco.setPhase(0.0f);
    o.vco.reset();
    EXPECT_EQ(o.vco.saw.count, 0);
    EXPECT_EQ(o.vco.pulse.count, 0);
    const auto x = o.render(VcoModule::kPulse, 100);
    EXPECT_TRUE(allFinite(x));
}

} // namespace
} // namespace moraine
