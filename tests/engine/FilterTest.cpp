// The voltage-controlled filter driven directly with sines and noise, measured as a
// listener would: passband, cutoff law, resonance and self-oscillation, overload,
// sample rates and bad values; and the shared random sequence its dither draws from.
#include "engine/Filter.h"
#include "engine/Random.h"
#include "engine/graph/JackTable.h"
#include "engine/graph/Voice.h"
#include "support/Spectrum.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <numbers>
#include <random>
#include <vector>

namespace moraine {
namespace {

using testing::crossingFrequency;
using testing::mean;
using testing::peakFrequency;
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
    std::vector<float> silence(int n) {
        return run(n, [](int) { return 0.0f; });
    }
    VcfModule vcf;
};

// True when the sample just computed was an overload: the output is 0 and the
// recovery has cleared every state.
bool recovered(const VcfModule& v, float out) {
    return out == 0.0f && v.low1 == 0.0f && v.band1 == 0.0f && v.low2 == 0.0f && v.band2 == 0.0f;
}

// Gain of the filter for a sine of `hz` at `amp` volts, from its steady state: settle,
// then correlate a whole number of periods with the input's sine and cosine.
double sineGain(Rig& rig, double hz, float amp) {
    const int rate = int(rig.vcf.sampleRate);
    const double periodSamples = rate / hz;
    const int settle = int(std::max(0.3 * rate, 10.0 * periodSamples));
    const int periods = int(std::ceil(std::max(0.25 * rate, 20.0 * periodSamples) / periodSamples));
    const int measure = int(std::round(periods * periodSamples));
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
    for (int i = 0; i < 20; ++i) {
        const double mid = std::sqrt(lo * hi);
        (sineGain(rate, volts, 0.0f, mid, 0.05f) > 0.25 ? lo : hi) = mid;
    }
    return std::sqrt(lo * hi);
}

// The coefficient the filter computes for `volts` at `rate`.
float coefficientAt(int rate, float volts) {
    Rig rig(rate, volts);
    rig.vcf.stepPending();
    return rig.vcf.f;
}

std::vector<float> tail(const std::vector<float>& y, std::size_t n) {
    return {y.end() - std::ptrdiff_t(n), y.end()};
}

float peak(const std::vector<float>& y) {
    float p = 0.0f;
    for (float v : y) p = std::max(p, std::fabs(v));
    return p;
}

// The shared sequence ------------------------------------------------------------------

TEST(SharedRandom, ReproducesTheMicrosoftRuntimeFromSeedOne) {
    const int expected[] = {41, 18467, 6334, 26500, 19169, 15724, 11478, 29358, 26962, 24464};
    std::uint32_t state = RandSequence::kSeed;
    for (int want : expected) {
        state = RandSequence::next(state);
        EXPECT_EQ(RandSequence::value(state), want);
    }
}

TEST(SharedRandom, CoversZeroTo32767AndFollowsItsRecurrence) {
    std::uint32_t state = sharedRandState();
    int lo = RandSequence::kMax, hi = 0;
    double sum = 0.0;
    constexpr int kDraws = 1 << 20;
    for (int i = 0; i < kDraws; ++i) {
        const int r = sharedRand();
        state = RandSequence::next(state);
        ASSERT_EQ(r, RandSequence::value(state)) << i;
        lo = std::min(lo, r);
        hi = std::max(hi, r);
        sum += r;
    }
    EXPECT_EQ(sharedRandState(), state);
    EXPECT_EQ(lo, 0);
    EXPECT_EQ(hi, 32767);
    EXPECT_NEAR(sum / kDraws, 16383.5, 40.0);
}

TEST(SharedRandom, TheFilterDrawsOncePerComputedSample) {
    Rig rig;
    rig.vcf.stepPending();
    const std::uint32_t before = sharedRandState();
    const float first = rig.vcf.process(1.0f);
    EXPECT_EQ(sharedRandState(), RandSequence::next(before));
    // A second reader in the same sample gets the cached value and draws nothing.
    EXPECT_EQ(rig.vcf.process(-5.0f), first);
    EXPECT_EQ(sharedRandState(), RandSequence::next(before));
    rig.vcf.stepPending();
    rig.vcf.process(1.0f);
    EXPECT_EQ(sharedRandState(), RandSequence::next(RandSequence::next(before)));
}

TEST(SharedRandom, DitherIsAMillionthOfAVoltBeforeTheOutputGain) {
    // The dither averages 1e-6 at the input gain's side, 40e-6 V at the output: a
    // generator of another range (say 31 bits) would show here as a large offset.
    Rig rig(48000, 8.0f, 0.0f);
    const auto y = rig.silence(96000);
    const auto settled = tail(y, 48000);
    EXPECT_NEAR(mean(settled), 40e-6, 2e-6);
    EXPECT_GT(*std::min_element(settled.begin(), settled.end()), 0.0f);
}

// Tables -------------------------------------------------------------------------------

TEST(VcfTables, DampingRunsFromTwoToMinusEightHundredths) {
    const DampingTable& t = dampingTable();
    EXPECT_FLOAT_EQ(t.values[0], 2.0f);
    EXPECT_NEAR(t.values[16384], -0.08f, 1e-6f);
    EXPECT_EQ(t.values[16385], t.values[0]);
    for (int i = 1; i <= 16384; ++i) ASSERT_LT(t.values[i], t.values[i - 1]) << i;
    // 2 (1 - 1.04 (2x)^0.1 / 2^0.1) at x = 0.5: 2 (1 - 1.04 / 2^0.1).
    EXPECT_NEAR(t(0.5f), 2.0 * (1.0 - 1.04 / std::pow(2.0, 0.1)), 1e-5);
    // Self-oscillation (negative damping) starts at 1.04^-10.
    const float threshold = float(std::pow(1.04, -10.0));
    EXPECT_GT(t(threshold - 0.002f), 0.0f);
    EXPECT_LT(t(threshold + 0.002f), 0.0f);
}

TEST(VcfTables, ResonanceSetsDampingAndInputGain) {
    Rig rig;
    auto at = [&](float r) {
        rig.vcf.setResonance(r);
        rig.vcf.stepPending();
    };
    at(0.0f);
    EXPECT_FLOAT_EQ(rig.vcf.damping, 2.0f);
    EXPECT_FLOAT_EQ(rig.vcf.inputGain, 0.025f);
    at(1.0f);
    EXPECT_FLOAT_EQ(rig.vcf.damping, -0.08f);
    EXPECT_NEAR(rig.vcf.inputGain, 0.025 * std::cos(2.0 * kPi * 0.225), 2e-6);
    EXPECT_NEAR(rig.vcf.inputGain / 0.025f, 0.156, 0.001);
    at(0.5f);
    EXPECT_NEAR(rig.vcf.damping, 2.0 * (1.0 - 1.04 / std::pow(2.0, 0.1)), 1e-5);
    EXPECT_NEAR(rig.vcf.inputGain, 0.025 * std::cos(2.0 * kPi * 0.1125), 2e-6);
}

TEST(VcfTables, JustBelowFullResonanceDoesNotWrapToNone) {
    // The nearest entry of 0.99999 is the table's last; the periodic wrap would read
    // entry 0 there and drop the resonance altogether.
    Rig rig;
    for (float r : {0.99997f, 0.99999f, std::nextafter(1.0f, 0.0f)}) {
        rig.vcf.setResonance(r);
        rig.vcf.stepPending();
        EXPECT_NEAR(rig.vcf.damping, -0.08f, 1e-4f) << r;
    }
    rig.vcf.setResonance(0.9999f); // still read from the table, close to the top
    rig.vcf.stepPending();
    EXPECT_NEAR(rig.vcf.damping, -0.08f, 1e-3f);
}

TEST(VcfTables, ResonanceBeyondItsTravelIsHeldAtTheEnds) {
    Rig rig;
    rig.vcf.setResonance(-0.2f); // would wrap to the self-oscillating end
    rig.vcf.stepPending();
    EXPECT_FLOAT_EQ(rig.vcf.damping, 2.0f);
    EXPECT_FLOAT_EQ(rig.vcf.inputGain, 0.025f);
    rig.vcf.setResonance(1.5f); // would make the input gain negative
    rig.vcf.stepPending();
    EXPECT_FLOAT_EQ(rig.vcf.damping, -0.08f);
    EXPECT_GT(rig.vcf.inputGain, 0.0038f);
}

// Cutoff -------------------------------------------------------------------------------

TEST(VcfCutoff, CoefficientIsTheCubicSineOfTheOversampledCutoff) {
    for (int rate : {44100, 48000, 96000}) {
        for (float volts : {0.0f, 4.5f, 10.0f}) {
            const double w = std::exp2(volts) * 10.0 * kPi / (2.0 * rate);
            EXPECT_NEAR(coefficientAt(rate, volts), 2.0 * (w - w * w * w / 6.0), 1e-6)
                << rate << " " << volts;
        }
    }
    // At 44.1 kHz the top coefficient is that of 10240 Hz.
    const double top = kPi * 10240.0 / 88200.0;
    EXPECT_NEAR(coefficientAt(44100, 10.0f), 2.0 * (top - top * top * top / 6.0), 1e-6);
}

TEST(VcfCutoff, QuarterGainPointFollowsTenHertzTimesTwoToTheVolts) {
    for (float volts : {0.0f, 3.0f, 6.0f, 8.0f}) {
        const double nominal = 10.0 * std::exp2(volts);
        EXPECT_NEAR(quarterGainFrequency(48000, volts) / nominal, 1.0, 0.01) << volts;
    }
    // Near the top the digital sections bend the response a little.
    EXPECT_NEAR(quarterGainFrequency(48000, 10.0f) / 10240.0, 1.0, 0.06);
}

TEST(VcfCutoff, VoltsAboveTenActAsTen) {
    const float top = coefficientAt(48000, 10.0f);
    for (float volts : {10.5f, 12.0f, 40.0f}) EXPECT_EQ(coefficientAt(48000, volts), top);
    EXPECT_LT(coefficientAt(48000, 9.9f), top);
    EXPECT_NEAR(quarterGainFrequency(48000, 12.0f), quarterGainFrequency(48000, 10.0f), 1.0);
    // The cap applies to the sum: panel plus control.
    Rig rig(48000, 8.0f);
    rig.vcf.setControl(5.0f);
    rig.vcf.stepPending();
    EXPECT_EQ(rig.vcf.f, top);
}

TEST(VcfCutoff, PanelFineAndControlAdd) {
    Rig rig(48000, 3.0f);
    rig.vcf.setFine(0.5f);
    rig.vcf.setControl(2.0f);
    rig.vcf.stepPending();
    EXPECT_EQ(rig.vcf.f, coefficientAt(48000, 5.5f));
    // Downwards there is no limit: the filter closes.
    rig.vcf.setControl(-20.0f);
    EXPECT_LT(rig.vcf.f, coefficientAt(48000, 0.0f) / 1000.0f);
}

TEST(VcfCutoff, MovesOfTenMicrovoltsOrLessKeepTheCoefficient) {
    Rig rig(48000, 5.0f);
    rig.vcf.stepPending();
    const float f = rig.vcf.f;
    rig.vcf.setControl(8e-6f);
    EXPECT_EQ(rig.vcf.f, f);
    rig.vcf.setControl(5e-5f);
    EXPECT_NE(rig.vcf.f, f);
}

// Passband -----------------------------------------------------------------------------

TEST(VcfPassband, UnityGainAtResonanceZero) {
    EXPECT_NEAR(sineGain(48000, 8.0f, 0.0f, 50.0, 1.0f), 1.0, 0.01);
    EXPECT_NEAR(sineGain(44100, 6.0f, 0.0f, 20.0, 0.5f), 1.0, 0.01);
    Rig rig(48000, 6.0f, 0.0f);
    const auto y = rig.run(48000, [](int) { return 0.2f; });
    EXPECT_NEAR(mean(tail(y, 24000)), 0.2, 0.002);
}

TEST(VcfPassband, FourPolesFallTwentyFourDecibelsAnOctave) {
    // Two octaves above a 640 Hz cutoff: (1 / 4)^2 per section pair, about -48 dB less
    // the -12 dB at the cutoff.
    const double g1 = sineGain(48000, 6.0f, 0.0f, 2560.0, 1.0f);
    const double g2 = sineGain(48000, 6.0f, 0.0f, 5120.0, 1.0f);
    EXPECT_NEAR(20.0 * std::log10(g1 / g2), 24.0, 1.5);
}

// Resonance ----------------------------------------------------------------------------

TEST(VcfResonance, FullResonanceSustainsABoundedToneAtTheCutoff) {
    for (float volts : {6.0f, 8.0f, 10.0f}) {
        Rig rig(48000, volts, 1.0f);
        const auto y = rig.silence(96000); // the dither alone starts it
        const auto last = tail(y, 48000);
        const double nominal = 10.0 * std::exp2(volts);
        EXPECT_NEAR(crossingFrequency(last, 48000) / nominal, 1.0, 0.01) << volts;
        EXPECT_NEAR(peakFrequency(last, 48000) / nominal, 1.0, 0.01) << volts;
        EXPECT_GT(rms(last), 1.0) << volts;
        EXPECT_LT(peak(last), 20.0f) << volts;
        // Sustained, not decaying or growing.
        const std::vector<float> a(last.begin(), last.begin() + 24000),
            b(last.begin() + 24000, last.end());
        EXPECT_NEAR(rms(a) / rms(b), 1.0, 0.01) << volts;
    }
}

TEST(VcfResonance, SelfOscillationStartsAboveTwoThirdsOfTheTravel) {
    Rig below(48000, 10.0f, 0.65f), above(48000, 10.0f, 0.70f);
    EXPECT_LT(rms(tail(below.silence(48000), 24000)), 1e-3);
    EXPECT_GT(rms(tail(above.silence(48000), 24000)), 0.5);
}

TEST(VcfResonance, ModerateResonancePeaksAtTheCutoff) {
    const double below = sineGain(48000, 7.0f, 0.6f, 640.0, 0.05f);
    const double at = sineGain(48000, 7.0f, 0.6f, 1280.0, 0.05f);
    const double above = sineGain(48000, 7.0f, 0.6f, 2560.0, 0.05f);
    EXPECT_GT(at, below);
    EXPECT_GT(at, 10.0 * above);
    EXPECT_GT(at, 0.25); // above the resonance-0 value at the cutoff
}

TEST(VcfResonance, FullResonanceLetsInAboutOneSixthOfTheInput) {
    // A slow sine well below the ringing cutoff, compared with resonance 0.
    const double open = sineGain(48000, 7.0f, 0.0f, 20.0, 0.5f);
    const double full = sineGain(48000, 7.0f, 1.0f, 20.0, 0.5f);
    EXPECT_NEAR(full / open, 0.16, 0.02);
}

// Overload -----------------------------------------------------------------------------

TEST(VcfOverload, BeyondAThousandGivesZeroThenRecoversOnTheNextSample) {
    Rig rig(48000, 6.0f, 0.5f);
    auto input = [](int i) { return 2.0f * float(std::sin(2.0 * kPi * 100.0 * i / 48000)); };
    rig.run(4800, input);
    const float f = rig.vcf.f, damping = rig.vcf.damping, gain = rig.vcf.inputGain;

    rig.vcf.band2 = 1e6f; // drives the second section's output far past 1000
    const float out = rig.step(input(4800));
    EXPECT_TRUE(recovered(rig.vcf, out));
    EXPECT_EQ(rig.vcf.cachedOutput, 0.0f);
    EXPECT_EQ(rig.vcf.f, Rig(48000, 0.0f).vcf.f); // held at 0 V for the rest of the sample
    EXPECT_FLOAT_EQ(rig.vcf.damping, 2.0f);

    // The next sample has the panel settings back and starts from silence.
    const float next = rig.step(input(4801));
    EXPECT_EQ(rig.vcf.f, f);
    EXPECT_EQ(rig.vcf.damping, damping);
    EXPECT_EQ(rig.vcf.inputGain, gain);
    EXPECT_FALSE(recovered(rig.vcf, next)); // the input is back in the states
    EXPECT_LT(std::fabs(next), 0.01f);
    EXPECT_NEAR(sineGain(rig, 100.0, 2.0f), sineGain(48000, 6.0f, 0.5f, 100.0, 2.0f), 1e-3);
}

TEST(VcfOverload, AnInputBurstEndsInOneSilentSampleAndNormalSound) {
    Rig rig(48000, 10.0f, 1.0f);
    rig.silence(24000);
    int overloads = 0, at = -1;
    for (int i = 0; i < 64; ++i) {
        const float y = rig.step(i == 0 ? 1e6f : 0.0f);
        ASSERT_TRUE(std::isfinite(y)) << i;
        if (recovered(rig.vcf, y)) {
            ++overloads;
            at = i;
        }
    }
    EXPECT_EQ(overloads, 1);
    EXPECT_LE(at, 4); // the burst reaches the output within a few samples
    // Ringing resumes as before.
    const auto y = tail(rig.silence(48000), 24000);
    EXPECT_NEAR(crossingFrequency(y, 48000) / 10240.0, 1.0, 0.01);
    EXPECT_LT(peak(y), 20.0f);
}

TEST(VcfOverload, RecoveryRestoresAControlledCutoffWithThePanelAtZero) {
    // With the panel at 0 V the ramp never differs from the cleared panel volts, yet the
    // cutoff must return to the control sum the graph will not send again.
    Rig rig(48000, 0.0f, 0.0f);
    rig.vcf.setControl(7.0f);
    rig.vcf.stepPending();
    const float f = rig.vcf.f;
    EXPECT_EQ(f, coefficientAt(48000, 7.0f));
    rig.vcf.band2 = 1e9f;
    EXPECT_TRUE(recovered(rig.vcf, rig.vcf.process(0.0f)));
    EXPECT_LT(rig.vcf.f, f);
    rig.vcf.stepPending();
    EXPECT_EQ(rig.vcf.f, f);
}

// Bad values ---------------------------------------------------------------------------

TEST(VcfBadValues, NonFiniteAndHugeInputsLeaveNoTrace) {
    const double reference = sineGain(48000, 7.0f, 0.3f, 200.0, 1.0f);
    for (float bad : {kNaN, kInf, -kInf, 1e30f, -3e38f, 1e-40f}) {
        Rig rig(48000, 7.0f, 0.3f);
        rig.silence(100);
        for (int i = 0; i < 8; ++i) {
            const float y = rig.step(bad);
            ASSERT_TRUE(std::isfinite(y)) << bad;
        }
        const auto y = rig.silence(64);
        for (float v : y) ASSERT_TRUE(std::isfinite(v)) << bad;
        EXPECT_NEAR(sineGain(rig, 200.0, 1.0f), reference, 1e-3) << bad;
    }
}

TEST(VcfBadValues, NonFiniteAndHugeControlsLeaveNoTrace) {
    const float f7 = coefficientAt(48000, 7.0f);
    const double reference = sineGain(48000, 7.0f, 0.3f, 200.0, 1.0f);
    for (float bad : {kNaN, kInf, -kInf, 1e30f, -1e30f, 1e-40f}) {
        Rig rig(48000, 7.0f, 0.3f);
        rig.run(1000, [](int i) { return float(std::sin(i * 0.1)); });
        rig.vcf.setControl(bad);
        for (int i = 0; i < 100; ++i) ASSERT_TRUE(std::isfinite(rig.step(1.0f))) << bad;
        if (!std::isnormal(bad)) {
            // Read as 0, also when a panel move brings the stored sum in again.
            rig.vcf.setCoarse(6.0f);
            rig.vcf.stepPending();
            EXPECT_EQ(rig.vcf.f, coefficientAt(48000, 6.0f)) << bad;
            rig.vcf.setCoarse(7.0f);
        }
        rig.vcf.setControl(0.0f);
        rig.vcf.stepPending();
        EXPECT_EQ(rig.vcf.f, f7) << bad;
        EXPECT_NEAR(sineGain(rig, 200.0, 1.0f), reference, 1e-3) << bad;
    }
}

TEST(VcfBadValues, PoisonedStatesAreReadAsZero) {
    Rig rig(48000, 7.0f, 1.0f);
    rig.silence(4800);
    rig.vcf.low1 = kNaN;
    rig.vcf.band1 = kInf;
    rig.vcf.low2 = -kInf;
    rig.vcf.band2 = 1e-40f;
    const auto y = rig.silence(48000);
    for (float v : y) ASSERT_TRUE(std::isfinite(v));
    EXPECT_NEAR(crossingFrequency(tail(y, 24000), 48000) / 1280.0, 1.0, 0.01);
}

// Sample rates -------------------------------------------------------------------------

constexpr int kRates[] = {8000, 11025, 22050, 32000, 44100, 48000, 88200, 96000, 192000, 384000};

TEST(VcfSampleRates, EveryRateIsStableWithLoudInputs) {
    for (int rate : kRates) {
        for (float resonance : {0.0f, 0.8f, 1.0f}) {
            for (float volts : {0.0f, 5.0f, 10.0f}) {
                Rig rig(rate, volts, resonance);
                std::mt19937 noise(7);
                std::uniform_real_distribution<float> uniform(-10.0f, 10.0f);
                // A 0..10 V sawtooth, then +-10 V noise, then silence.
                const int n = rate / 4;
                const auto y = rig.run(3 * n, [&](int i) {
                    if (i < n) return 10.0f * std::fmod(float(i) * 110.0f / float(rate), 1.0f);
                    return i < 2 * n ? uniform(noise) : 0.0f;
                });
                int overloads = 0;
                for (std::size_t i = 1; i < y.size(); ++i) {
                    ASSERT_TRUE(std::isfinite(y[i]));
                    if (y[i] == 0.0f) ++overloads;
                }
                EXPECT_EQ(overloads, 0) << rate << " " << resonance << " " << volts;
                EXPECT_LT(peak(y), 40.0f) << rate << " " << resonance << " " << volts;
            }
        }
    }
}

TEST(VcfSampleRates, CutoffHoldsAtEveryRateAndTopsOutBelowNyquist) {
    for (int rate : kRates) {
        EXPECT_NEAR(quarterGainFrequency(rate, 6.0f) / 640.0, 1.0, 0.02) << rate;
        // The top cutoff is 10240 Hz where the rate allows it, else the same fraction
        // of the rate that 10240 Hz is of 44.1 kHz.
        const double top = std::min(10240.0, 10240.0 * rate / 44100.0);
        Rig rig(rate, 10.0f, 1.0f);
        const auto y = tail(rig.silence(rate), std::size_t(rate / 2));
        EXPECT_NEAR(crossingFrequency(y, rate) / top, 1.0, 0.01) << rate;
        EXPECT_LT(peak(y), 20.0f) << rate;
    }
}

TEST(VcfSampleRates, ARateChangeTakesEffectAtTheNextStep) {
    Rig rig(44100, 8.0f, 0.2f);
    rig.silence(100);
    EXPECT_EQ(rig.vcf.f, coefficientAt(44100, 8.0f));
    rig.vcf.setSampleRate(96000);
    rig.vcf.stepPending();
    EXPECT_EQ(rig.vcf.f, coefficientAt(96000, 8.0f));
    rig.vcf.setSampleRate(0); // not a rate: ignored
    rig.vcf.stepPending();
    EXPECT_EQ(rig.vcf.f, coefficientAt(96000, 8.0f));
}

// In a voice ---------------------------------------------------------------------------

class VcfInVoice : public ::testing::Test {
protected:
    void SetUp() override {
        voice = std::make_unique<Voice>();
        buildVoice(*voice, 48000, shared);
        settleRamps(*voice);
        // Host input 1 into three of the filter's inputs, the filter into the mixer.
        ASSERT_TRUE(reconnect(*voice, fourcc("pl18"), fourcc("pl54")));
        ASSERT_TRUE(reconnect(*voice, fourcc("pl19"), fourcc("pl54")));
        ASSERT_TRUE(reconnect(*voice, fourcc("pl20"), fourcc("pl54")));
        for (LinkId id : {kLinkVcfVco1, kLinkVcfVco2, kLinkVcfVco3, kLinkMixerVcf})
            voice->link(id).ramp.setNow(1.0f);
    }
    VcfModule& vcf() { return voice->mods.vcf; }
    float sample(float in) {
        shared.store->audio1.setValue(in);
        stepVoiceModules(*voice);
        advanceRamps(*voice);
        return evaluateLink(*voice, voice->link(kLinkMixerVcf));
    }

    SharedModules shared;
    std::unique_ptr<Voice> voice;
};

TEST_F(VcfInVoice, PanelChangesGlideOverFourThousandSamples) {
    vcf().setCoarse(6.0f);
    vcf().setFine(0.5f);
    vcf().setResonance(0.8f);
    for (int i = 0; i < 2001; ++i) sample(0.0f);
    EXPECT_NEAR(vcf().panelVolts, 3.25f, 0.01f);
    EXPECT_NEAR(vcf().lastResonance, 0.4f, 0.001f);
    EXPECT_EQ(vcf().f, coefficientAt(48000, vcf().panelVolts));
    for (int i = 0; i < 2001; ++i) sample(0.0f);
    EXPECT_FLOAT_EQ(vcf().panelVolts, 6.5f);
    EXPECT_FLOAT_EQ(vcf().lastResonance, 0.8f);
    EXPECT_EQ(vcf().f, coefficientAt(48000, 6.5f));
}

TEST_F(VcfInVoice, PassesACordedSignalAndRecoversFromOverload) {
    vcf().setCoarse(8.0f);
    for (int i = 0; i < 48000; ++i) sample(0.3f);
    EXPECT_NEAR(sample(0.3f), 0.9f, 0.01f);
    // Each input stays within the graph's 1000 V, their sum runs the filter away.
    bool silent = false;
    for (int i = 0; i < 16 && !silent; ++i) silent = sample(999.0f) == 0.0f;
    EXPECT_TRUE(silent);
    EXPECT_EQ(vcf().low2, 0.0f);
    for (int i = 0; i < 48000; ++i) sample(0.3f);
    EXPECT_NEAR(sample(0.3f), 0.9f, 0.01f);
    EXPECT_EQ(vcf().f, coefficientAt(48000, 8.0f));
}

TEST_F(VcfInVoice, ResetClearsTheStatesAndKeepsTheControlSum) {
    vcf().setCoarse(4.0f);
    vcf().setResonance(1.0f);
    settleRamps(*voice);
    vcf().setControl(3.0f); // as the graph would deliver a held key's voltage
    for (int i = 0; i < 48000; ++i) sample(0.0f);
    ASSERT_GT(std::fabs(vcf().low1) + std::fabs(vcf().band1), 0.01f);
    vcf().reset();
    EXPECT_EQ(vcf().low1, 0.0f);
    EXPECT_EQ(vcf().band1, 0.0f);
    EXPECT_EQ(vcf().low2, 0.0f);
    EXPECT_EQ(vcf().band2, 0.0f);
    EXPECT_FLOAT_EQ(vcf().damping, 2.0f);
    EXPECT_LT(std::fabs(sample(0.0f)), 1e-3f);
    EXPECT_FLOAT_EQ(vcf().damping, -0.08f);
    EXPECT_EQ(vcf().f, coefficientAt(48000, 7.0f));
}

} // namespace
} // namespace moraine
