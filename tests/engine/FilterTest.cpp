// The filter driven with sines and noise and measured: passband, cutoff law, resonance,
// overload, every accepted rate, bad values, and the level of its dither.
#include "engine/Filter.h"
#include "support/Spectrum.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <random>
#include <tuple>
#include <vector>

namespace moraine {
namespace {

using testing::crossingFrequency;
using testing::rms;

constexpr double kPi = std::numbers::pi;
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

// A filter on its own (no voice, so settings apply at the next step), stepped as the
// graph steps it: the pending changes first, then one computed sample.
struct Rig {
    explicit Rig(int rate = 48000, float volts = 5.0f, float resonance = 0.0f) : vcf(rate) {
        vcf.setCoarse(volts);
        vcf.setFine(0.0f);
        vcf.setResonance(resonance);
    }
    float step(float in) {
        vcf.stepPending();
        return vcf.process(in);
    }
    template <class F> std::vector<float> run(int n, F input) {
        std::vector<float> y(static_cast<std::size_t>(n));
        for (int i = 0; i < n; ++i) y[std::size_t(i)] = step(input(i));
        return y;
    }
    // The last `keep` of `n` samples of silence.
    std::vector<float> silence(int n, int keep = 0) {
        auto y = run(n, [](int) { return 0.0f; });
        return {y.end() - (keep ? keep : n), y.end()};
    }
    VcfModule vcf;
};

// The coefficient the filter computes for `volts` at `rate`.
float coefficientAt(int rate, float volts) {
    Rig rig(rate, volts);
    rig.vcf.stepPending();
    return rig.vcf.f;
}

// True when the sample just computed was an overload: output 0 and every state cleared.
bool recovered(const VcfModule& v, float out) {
    return out == 0.0f && v.low1 == 0.0f && v.band1 == 0.0f && v.low2 == 0.0f && v.band2 == 0.0f;
}

// The largest magnitude, infinite when any sample is not finite.
float peak(const std::vector<float>& y) {
    float p = 0.0f;
    for (float v : y) p = std::isfinite(v) ? std::max(p, std::fabs(v)) : INFINITY;
    return p;
}

// Gain for a sine of `hz` at `amp` volts, from the steady state: settle, then correlate a
// whole number of periods with the input's sine and cosine.
double sineGain(Rig& rig, double hz, float amp) {
    const int rate = int(rig.vcf.sampleRate);
    const double period = rate / hz;
    const int settle = int(std::max(0.3 * rate, 10.0 * period));
    const int measure =
        int(std::round(std::ceil(std::max(0.25 * rate, 20.0 * period) / period) * period));
    double c = 0.0, s = 0.0;
    for (int i = 0; i < settle + measure; ++i) {
        const double phase = 2.0 * kPi * hz * i / rate;
        const float y = rig.step(amp * float(std::sin(phase)));
        if (i >= settle) {
            c += y * std::cos(phase);
            s += y * std::sin(phase);
        }
    }
    return 2.0 * std::hypot(c, s) / measure / amp;
}

double sineGain(int rate, float volts, float resonance, double hz, float amp) {
    Rig rig(rate, volts, resonance);
    return sineGain(rig, hz, amp);
}

// Where the resonance-0 response falls to a quarter (-12 dB). Both sections are then
// critically damped with a gain of one half at the cutoff, so this is the cutoff.
double quarterGainFrequency(int rate, float volts) {
    const double nominal = 10.0 * std::exp2(std::min(volts, 10.0f));
    double lo = nominal / 4.0, hi = std::min(nominal * 4.0, 0.45 * rate);
    for (int i = 0; i < 12; ++i) { // to 0.1 %
        const double mid = std::sqrt(lo * hi);
        (sineGain(rate, volts, 0.0f, mid, 0.05f) > 0.25 ? lo : hi) = mid;
    }
    return std::sqrt(lo * hi);
}

// The filter's dither, drawn from the shared sequence, averages 1e-6 at the input gain's side,
// 40e-6 V at the output: a generator of another range (say 31 bits) would show here as a
// large offset. The sequence itself is pinned by the reference renders.
TEST(VcfDither, SettlesFortyMicrovoltsAboveZeroInSilence) {
    const auto settled = Rig(48000, 8.0f, 0.0f).silence(96000, 48000);
    EXPECT_NEAR(testing::mean(settled), 40e-6, 2e-6);
    EXPECT_GT(*std::min_element(settled.begin(), settled.end()), 0.0f);
}

// Resonance beyond its travel is held at the ends (a wrap would read the other end, or make
// the input gain negative); just below full it reads the last entry, not entry 0 wrapped.
TEST(VcfTables, DampingRunsFromTwoToMinusEightHundredthsHeldAtTheEnds) {
    const DampingTable& t = dampingTable();
    EXPECT_FLOAT_EQ(t.values[0], 2.0f);
    EXPECT_NEAR(t.values[16384], -0.08f, 1e-6f);
    EXPECT_EQ(t.values[16385], t.values[0]);
    for (int i = 1; i <= 16384; ++i) ASSERT_LT(t.values[i], t.values[i - 1]) << i;
    // Self-oscillation (negative damping) starts at 1.04^-10.
    const float threshold = float(std::pow(1.04, -10.0));
    EXPECT_TRUE(t(threshold - 0.002f) > 0.0f && t(threshold + 0.002f) < 0.0f);
    const double half = 2.0 * (1.0 - 1.04 / std::pow(2.0, 0.1));
    const double fullGain = 0.025 * std::cos(2.0 * kPi * 0.225);
    Rig rig; // resonance, damping and its tolerance, input gain (-1: not checked)
    for (auto [r, damping, tolerance, gain] :
         {std::tuple{0.0f, 2.0, 1e-7, 0.025},
          {-0.2f, 2.0, 1e-7, 0.025},
          {1.0f, -0.08, 1e-7, fullGain},
          {1.5f, -0.08, 1e-7, fullGain},
          {0.9999f, -0.08, 1e-3, -1.0},
          {std::nextafter(1.0f, 0.0f), -0.08, 1e-4, -1.0},
          {0.5f, half, 1e-5, 0.025 * std::cos(2.0 * kPi * 0.1125)}}) {
        SCOPED_TRACE(r);
        rig.vcf.setResonance(r);
        rig.vcf.stepPending();
        EXPECT_NEAR(rig.vcf.damping, float(damping), tolerance);
        if (gain < 0.0) continue; // at the bottom exactly 0.025, as a float
        EXPECT_NEAR(rig.vcf.inputGain, gain, r <= 0.0f ? 1e-9 : 2e-6);
    }
}

TEST(VcfCutoff, QuarterGainPointFollowsTenHertzTimesTwoToTheVolts) {
    for (float volts : {0.0f, 3.0f, 6.0f, 8.0f})
        EXPECT_NEAR(quarterGainFrequency(48000, volts) / (10.0 * std::exp2(volts)), 1.0, 0.01);
    // Near the top the digital sections bend the response a little; above 10 V, the top.
    const double top = quarterGainFrequency(48000, 10.0f);
    EXPECT_NEAR(top / 10240.0, 1.0, 0.06);
    EXPECT_NEAR(quarterGainFrequency(48000, 12.0f), top, 1.0);
}

TEST(VcfCutoff, PanelFineAndControlAddUpToTenVolts) {
    const float top = coefficientAt(48000, 10.0f);
    for (float volts : {10.5f, 12.0f, 40.0f}) EXPECT_EQ(coefficientAt(48000, volts), top);
    Rig rig(48000, 3.0f);
    rig.vcf.setFine(0.5f);
    rig.vcf.setControl(2.0f);
    rig.vcf.stepPending();
    EXPECT_EQ(rig.vcf.f, coefficientAt(48000, 5.5f));
    rig.vcf.setControl(-20.0f); // downwards there is no limit: the filter closes
    EXPECT_LT(rig.vcf.f, coefficientAt(48000, 0.0f) / 1000.0f);
    rig.vcf.setCoarse(8.0f); // the cap applies to the sum
    rig.vcf.setFine(0.0f);
    rig.vcf.setControl(5.0f);
    rig.vcf.stepPending();
    EXPECT_EQ(rig.vcf.f, top);
}

TEST(VcfPassband, UnityGainAtResonanceZeroAndTwentyFourDecibelsAnOctave) {
    EXPECT_NEAR(sineGain(48000, 8.0f, 0.0f, 50.0, 1.0f), 1.0, 0.01);
    EXPECT_NEAR(sineGain(44100, 6.0f, 0.0f, 20.0, 0.5f), 1.0, 0.01);
    const auto y = Rig(48000, 6.0f, 0.0f).run(48000, [](int) { return 0.2f; });
    EXPECT_NEAR(testing::mean({y.begin() + 24000, y.end()}), 0.2, 0.002);
    // Two and three octaves above a 640 Hz cutoff.
    EXPECT_NEAR(testing::toDb(sineGain(48000, 6.0f, 0.0f, 2560.0, 1.0f) /
                              sineGain(48000, 6.0f, 0.0f, 5120.0, 1.0f)),
                24.0, 1.5);
}

TEST(VcfResonance, FullResonanceSustainsABoundedToneAtTheCutoff) {
    for (float volts : {6.0f, 8.0f, 10.0f}) {
        const auto last = Rig(48000, volts, 1.0f).silence(96000, 48000); // the dither starts it
        const double nominal = 10.0 * std::exp2(volts);
        EXPECT_NEAR(crossingFrequency(last, 48000) / nominal, 1.0, 0.01) << volts;
        EXPECT_GT(rms(last), 1.0) << volts;
        EXPECT_LT(peak(last), 20.0f) << volts;
        // Sustained, not decaying or growing.
        const double a = rms({last.begin(), last.begin() + 24000});
        EXPECT_NEAR(a / rms({last.begin() + 24000, last.end()}), 1.0, 0.01) << volts;
    }
    // Self-oscillation starts above two thirds of the travel.
    EXPECT_LT(rms(Rig(48000, 10.0f, 0.65f).silence(48000, 24000)), 1e-3);
    EXPECT_GT(rms(Rig(48000, 10.0f, 0.70f).silence(48000, 24000)), 0.5);
}

TEST(VcfResonance, ModerateResonancePeaksAtTheCutoffAndFullLetsInASixth) {
    const double below = sineGain(48000, 7.0f, 0.6f, 640.0, 0.05f);
    const double at = sineGain(48000, 7.0f, 0.6f, 1280.0, 0.05f);
    const double above = sineGain(48000, 7.0f, 0.6f, 2560.0, 0.05f);
    EXPECT_GT(at, below);
    EXPECT_GT(at, 10.0 * above);
    EXPECT_GT(at, 0.25); // above the resonance-0 value at the cutoff
    // A slow sine well below the ringing cutoff, compared with resonance 0.
    const double open = sineGain(48000, 7.0f, 0.0f, 20.0, 0.5f);
    EXPECT_NEAR(sineGain(48000, 7.0f, 1.0f, 20.0, 0.5f) / open, 0.16, 0.02);
}

TEST(VcfOverload, BeyondAThousandGivesZeroThenRecoversOnTheNextSample) {
    Rig rig(48000, 6.0f, 0.5f);
    auto input = [](int i) { return 2.0f * float(std::sin(2.0 * kPi * 100.0 * i / 48000)); };
    rig.run(4800, input);
    const float f = rig.vcf.f, damping = rig.vcf.damping, gain = rig.vcf.inputGain;
    rig.vcf.band2 = 1e6f; // drives the second section's output far past 1000
    EXPECT_TRUE(recovered(rig.vcf, rig.step(input(4800))));
    // Held at 0 V for the rest of the sample.
    EXPECT_EQ(std::tuple(rig.vcf.cachedOutput, rig.vcf.f, rig.vcf.damping),
              std::tuple(0.0f, Rig(48000, 0.0f).vcf.f, 2.0f));
    // The next sample has the panel settings back and starts from silence.
    const float next = rig.step(input(4801));
    EXPECT_EQ(std::tuple(rig.vcf.f, rig.vcf.damping, rig.vcf.inputGain),
              std::tuple(f, damping, gain));
    EXPECT_FALSE(recovered(rig.vcf, next)); // the input is back in the states
    EXPECT_LT(std::fabs(next), 0.01f);
    EXPECT_NEAR(sineGain(rig, 100.0, 2.0f), sineGain(48000, 6.0f, 0.5f, 100.0, 2.0f), 1e-3);

    // With the panel at 0 V the ramp never differs from the cleared panel volts, yet the
    // cutoff must return to the control sum the graph will not send again.
    Rig ctl(48000, 0.0f, 0.0f);
    ctl.vcf.setControl(7.0f);
    ctl.vcf.stepPending();
    const float f7 = ctl.vcf.f;
    ctl.vcf.band2 = 1e9f;
    EXPECT_TRUE(recovered(ctl.vcf, ctl.vcf.process(0.0f)));
    EXPECT_LT(ctl.vcf.f, f7);
    ctl.vcf.stepPending();
    EXPECT_EQ(ctl.vcf.f, f7);
}

TEST(VcfBadValues, NonFiniteAndHugeInputsAndControlsLeaveNoTrace) {
    const float f7 = coefficientAt(48000, 7.0f);
    const double reference = sineGain(48000, 7.0f, 0.3f, 200.0, 1.0f);
    for (float bad : {kNaN, kInf, -kInf, 1e30f, -3e38f, 1e-40f}) {
        SCOPED_TRACE(bad);
        Rig in(48000, 7.0f, 0.3f);
        in.silence(100);
        EXPECT_LT(peak(in.run(72, [&](int i) { return i < 8 ? bad : 0.0f; })), INFINITY);
        EXPECT_NEAR(sineGain(in, 200.0, 1.0f), reference, 1e-3);
        Rig ctl(48000, 7.0f, 0.3f);
        ctl.run(1000, [](int i) { return float(std::sin(i * 0.1)); });
        ctl.vcf.setControl(bad);
        EXPECT_LT(peak(ctl.run(100, [](int) { return 1.0f; })), INFINITY);
        if (!std::isnormal(bad)) {
            // Read as 0, also when a panel move brings the stored sum in again.
            ctl.vcf.setCoarse(6.0f);
            ctl.vcf.stepPending();
            EXPECT_EQ(ctl.vcf.f, coefficientAt(48000, 6.0f));
            ctl.vcf.setCoarse(7.0f);
        }
        ctl.vcf.setControl(0.0f);
        ctl.vcf.stepPending();
        EXPECT_EQ(ctl.vcf.f, f7);
    }
}

// From the lowest accepted rate to the highest: the coefficient law, the cutoff, the top
// (10240 Hz, or below 44.1 kHz the same fraction of the rate), and stability with loud inputs.
TEST(VcfSampleRates, CutoffTopAndStabilityHoldAtEveryAcceptedRate) {
    for (int rate : {1000, 8000, 44100, 96000, 768000}) {
        SCOPED_TRACE(rate);
        const double top = std::min(10240.0, 10240.0 * rate / 44100.0);
        for (float volts : {0.0f, 4.5f, 10.0f}) {
            const double w = std::min(std::exp2(volts) * 10.0, top) * kPi / (2.0 * rate);
            EXPECT_NEAR(coefficientAt(rate, volts), 2.0 * (w - w * w * w / 6.0), 1e-6) << volts;
        }
        const float volts = rate < 8000 ? 3.0f : 6.0f; // 80 Hz or 640 Hz
        EXPECT_NEAR(quarterGainFrequency(rate, volts) / (10.0 * std::exp2(volts)), 1.0, 0.02);
        Rig ring(rate, 10.0f, 1.0f);
        const auto y = ring.silence(rate, rate / 2);
        EXPECT_NEAR(crossingFrequency(y, rate) / top, 1.0, 0.01);
        EXPECT_LT(peak(y), 20.0f);
        for (float resonance : {0.0f, 0.8f, 1.0f}) {
            for (float v : {0.0f, 5.0f, 10.0f}) {
                Rig rig(rate, v, resonance);
                std::mt19937 noise(7);
                std::uniform_real_distribution<float> uniform(-10.0f, 10.0f);
                // A 0..10 V sawtooth, then +-10 V noise, then silence.
                const int n = std::min(rate / 4, 48000);
                const auto out = rig.run(3 * n, [&](int i) {
                    if (i < n) return 10.0f * std::fmod(float(i) * 110.0f / float(rate), 1.0f);
                    return i < 2 * n ? uniform(noise) : 0.0f;
                });
                EXPECT_EQ(std::count(out.begin() + 1, out.end(), 0.0f), 0) << resonance << v;
                EXPECT_LT(peak(out), 40.0f) << resonance << " " << v;
            }
        }
    }
}

} // namespace
} // namespace moraine
