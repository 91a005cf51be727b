// The oscillators measured: frequency law and caps at every accepted rate, levels and shapes,
// pulse width, the triangle's two methods, reset, aliasing, poisoned control sums; and their
// step table (generated: `moraine-minblep | cmp - resources/MB.txt`) and its parser.
#include "engine/Oscillator.h"
#include "engine/MinBlep.h"
#include "platform/Resources.h"
#include "support/CommaLocale.h"
#include "support/Spectrum.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

namespace moraine {
namespace {

using testing::crossingFrequency;
using testing::mean;
using testing::rms;

constexpr int kRate = 48000;
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr double kPi = std::numbers::pi;

// One oscillator on its own, stepped and read as the graph does.
struct Osc {
    explicit Osc(int kind = 2, double hz = 0.0, int rate = kRate, int range = 1)
        : vco(kind, 0.0f, range, rate, nullptr) {
        if (hz > 0.0) vco.setControl(voltsFor(hz));
    }
    std::vector<float> render(int selector, int n) {
        std::vector<float> out(static_cast<std::size_t>(n));
        for (float& v : out) v = (vco.step(), vco.output(selector));
        return out;
    }
    void skip(int n, int selector = VcoModule::kSaw) { render(selector, n); }
    // Every kind of output read in this sample is finite and within `bound`.
    void expectFinite(float bound = 25.0f) {
        for (int s : {1, 2, 4, 5})
            ASSERT_TRUE(std::isfinite(vco.output(s)) && std::fabs(vco.output(s)) < bound) << s;
    }
    bool phaseInRange() const { return vco.phasor.phase >= 0.0f && vco.phasor.phase < 1.0f; }
    static float voltsFor(double hz) { return float(std::log2(hz / 10.0)); }
    // Fraction of samples above half scale.
    static double duty(const std::vector<float>& x) {
        return double(std::count_if(x.begin(), x.end(), [](float v) { return v > 5.0f; })) /
               double(x.size());
    }
    VcoModule vco;
};

TEST(VcoFrequency, OneVoltPerOctaveFromEachRangesBaseUpToTheCap) {
    // range, rate, volts, hz, relative tolerance of the measured pitch (0: not measured)
    for (auto [range, rate, volts, hz, tolerance] :
         {std::tuple{1, kRate, 0.0f, 10.0, 2e-4},
          {1, kRate, 1.0f, 20.0, 1e-4},
          {1, kRate, 4.5f, 226.27417, 1e-4},
          {1, kRate, 8.0f, 2560.0, 1e-4},
          {1, kRate, -1.0f, 5.0, 0.0},
          {1, kRate, 10.96f, 10.0 * std::exp2(10.96), 0.0},
          {1, kRate, 10.97f, 20000.0, 1e-4},
          {1, kRate, 999.0f, 20000.0, 0.0},
          {2, 8000, 0.0f, 0.03, 3e-3},
          {2, kRate, 5.0f, 0.96, 0.0},
          {2, kRate, 10.0f, 30.72, 0.0},
          {1, 8000, 5.0f, 320.0, 0.0}}) {
        SCOPED_TRACE(::testing::Message() << range << " " << rate << " " << volts << " V");
        Osc o(2, 0.0, rate, range);
        o.vco.setControl(volts);
        EXPECT_NEAR(o.vco.frequency / hz, 1.0, 1e-6);
        if (tolerance == 0.0) continue;
        const auto x = o.render(VcoModule::kSine, std::max(2 * rate, int(3 * rate / hz) + 10));
        EXPECT_NEAR(crossingFrequency(x, rate) / hz, 1.0, tolerance);
    }
}

// Rates from 1 kHz to 768 kHz: pitch kept, the cap moves with the rate, edges never pile up.
TEST(VcoFrequency, EveryAcceptedSampleRateKeepsPitchCapAndRange) {
    Osc o(2, 0.0, 44100);
    for (int rate : {1000, 8000, 22050, 48000, 96000, 768000}) {
        SCOPED_TRACE(rate);
        o.vco.setControl(12.0f);
        o.vco.setPwmControl(0.0f);
        o.vco.setSampleRate(rate); // the cap follows the new rate at once
        EXPECT_EQ(o.vco.frequency, std::min(20000.0f, 0.5f * float(rate)));
        o.vco.setControl(Osc::voltsFor(440.0));
        EXPECT_NEAR(crossingFrequency(o.render(VcoModule::kSine, std::max(rate, 16000)), rate),
                    440.0, 0.01);
        int most = 0; // edges pending
        for (float v : {-5.0f, 6.0f, 10.0f, 10.9f, 14.0f}) {
            o.vco.setControl(v);
            for (float pwm : {-10.0f, 0.0f, 10.0f}) {
                o.vco.setPwmControl(pwm);
                for (int i = 0; i < 3000; ++i) {
                    o.vco.step();
                    o.expectFinite();
                    most = std::max({most, o.vco.saw.count, o.vco.pulse.count});
                    ASSERT_TRUE(o.phaseInRange());
                }
            }
        }
        // One edge per sample at most, each pending for the table's 22 samples.
        EXPECT_LE(most, 23);
    }
}

TEST(VcoWaveform, SawtoothRampsFromZeroToTenVoltsAroundAFiveVoltMean) {
    for (double hz : {50.3, 1046.5, 4978.0, 9973.0}) {
        Osc o(2, hz);
        o.skip(1000);
        // The mean stays at 5 V at any pitch: the edges' residuals are taken back out.
        EXPECT_NEAR(mean(o.render(VcoModule::kSaw, 1 << 16)), 5.0, 0.03) << hz;
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
    Osc f(2, 441.3); // the fall overshoots a little, no more
    f.skip(1000);
    const auto z = f.render(VcoModule::kSaw, kRate);
    const auto [lo, hi] = std::minmax_element(z.begin(), z.end());
    EXPECT_TRUE(*lo > -2.5f && *lo < 0.5f && *hi < 12.5f && *hi > 9.5f) << *lo << " " << *hi;
}

// The sine is -5 cos of the phase; the naive triangle (up to 2 kHz) peaks at phase zero.
TEST(VcoWaveform, SineAndNaiveTriangleFollowThePhase) {
    for (auto [selector, hz] :
         {std::pair{int(VcoModule::kSine), 1234.5}, {int(VcoModule::kTriangle), 500.0}}) {
        Osc o(2, hz);
        for (int i = 0; i < 2000; ++i) {
            o.vco.step();
            const double phase = o.vco.phasor.phase;
            const double expected = selector == VcoModule::kSine
                                        ? -5.0 * std::cos(2.0 * kPi * phase)
                                        : 5.0 * (std::fabs(4.0 * phase - 2.0) - 1.0);
            ASSERT_NEAR(o.vco.output(selector), expected, 2e-4) << hz << " " << i;
        }
    }
}

// The measured duty cycle of the 0 / 10 V pulse follows panel width + 0.1 x PWM volts,
// held within 0.11 .. 0.99; the first oscillator's pulse is always a square.
TEST(VcoWaveform, PulseDutyCycleFollowsTheWidthWithinItsClamps) {
    // first: the first oscillator, else the second and third
    for (auto [first, panel, pwm, expected] : {std::tuple{false, 0.5f, 0.0f, 0.5f},
                                               {false, 0.3f, 0.0f, 0.3f},
                                               {false, 0.9f, 0.0f, 0.9f},
                                               {false, 0.1f, 0.0f, 0.11f},
                                               {false, 0.9f, 10.0f, 0.99f},
                                               {false, 0.1f, -10.0f, 0.11f},
                                               {false, 0.5f, 2.0f, 0.7f},
                                               {false, 0.5f, -3.0f, 0.2f},
                                               {true, 0.2f, 8.0f, 0.5f},
                                               {true, 0.85f, -8.0f, 0.5f}}) {
        for (int kind : first ? std::vector{1} : std::vector{2, 3}) {
            SCOPED_TRACE(::testing::Message() << kind << " width " << panel << " pwm " << pwm);
            Osc o(kind, 100.0);
            o.vco.setPanelPulseWidth(panel);
            o.vco.setPwmControl(pwm);
            o.skip(1000);
            auto x = o.render(VcoModule::kPulse, kRate);
            EXPECT_FLOAT_EQ(o.vco.effectiveWidth, expected);
            EXPECT_NEAR(Osc::duty(x), expected, 0.003);
            EXPECT_NEAR(mean(x), 10.0 * expected, 0.05);
            EXPECT_EQ(o.vco.output(VcoModule::kPulseToo), x.back()); // the same output
            if (expected < 0.2f || expected > 0.8f) continue;
            // Settled levels in the middle of the low and of the high samples.
            std::sort(x.begin(), x.end());
            const double n = double(x.size());
            EXPECT_NEAR(x[std::size_t(n * (1.0 - expected) / 2)], 0.0f, 1e-3f);
            EXPECT_NEAR(x[std::size_t(n * (1.0 - expected / 2))], 10.0f, 1e-3f);
        }
    }
    Osc o(2, 15000.0); // at a very high pitch the width stays an increment from the ends
    const float inc = o.vco.phasor.increment;
    for (auto [panel, pwm, width] :
         {std::tuple{0.9f, 10.0f, 1.0f - inc}, {0.1f, -10.0f, std::max(0.11f, inc)}}) {
        o.vco.setPanelPulseWidth(panel);
        o.vco.setPwmControl(pwm);
        o.skip(10);
        EXPECT_FLOAT_EQ(o.vco.pulse.effectiveWidth, width);
    }
}

// The naive triangle up to 2000 Hz, the additive one above: the naive shape has its
// harmonics past 20 kHz (folded back), the additive has none.
TEST(VcoTriangle, SwitchesFromNaiveToAdditiveBetween1999And2001Hz) {
    for (double hz : {1999.0, 2001.0}) {
        Osc o(2, hz);
        const double f = o.vco.frequency;
        const bool additive = hz > 2000.0;
        EXPECT_EQ(o.vco.triangle.useAdditive, additive);
        // 1 Hz bins, on which the fundamental and the 11th harmonic (above 20 kHz) fall.
        const auto mag = testing::magnitudeSpectrum(o.render(VcoModule::kTriangle, kRate));
        const double fundamental = mag[std::size_t(std::lround(f))];
        const double db = testing::toDb(mag[std::size_t(std::lround(11.0 * f))] / fundamental);
        EXPECT_TRUE(additive ? db < -90.0 : std::fabs(db - testing::toDb(1.0 / 121.0)) < 0.5) << db;
        // The additive one unfaded: 9.99 harmonics fit.
        EXPECT_NEAR(fundamental, 5.0 * (additive ? 0.9495 : 8.0 / (kPi * kPi)), 0.01);
    }
}

TEST(VcoTriangle, TheAdditiveSumsOddHarmonics) {
    Osc a(2, 3000.0);
    // 20000 / 3000 = 6.67: harmonics 1, 3, 5 whole, none faded.
    ASSERT_EQ(a.vco.triangle.additive.harmonicCount, std::floor(20000.0 / a.vco.frequency));
    for (int i = 0; i < 500; ++i) {
        a.vco.step();
        const double u = std::fmod(a.vco.phasor.phase + 0.75, 1.0);
        double sum = 0.0;
        for (int k = 1; k <= 5; k += 2) sum += std::sin(2.0 * kPi * k * (1.0 - u)) / (k * k);
        ASSERT_NEAR(a.vco.output(VcoModule::kTriangle), 5.0 * 0.9495 * sum, 2e-3) << i;
    }
}

// The level runs on smoothly where the number of harmonics under 20 kHz changes.
TEST(VcoTriangle, LevelHasNoStepWhereTheHarmonicCountChanges) {
    auto level = [](double hz) { return rms(Osc(2, hz).render(VcoModule::kTriangle, 1 << 14)); };
    for (double edge : {10000.0 / 3.0, 4000.0, 5000.0, 20000.0 / 7.0, 10000.0})
        EXPECT_NEAR(testing::toDb(level(edge * 1.005) / level(edge * 0.995)), 0.0, 0.3) << edge;
    // Nearly the full fundamental just under 10 kHz (harmonic 1 whole, 3 above 20 kHz).
    EXPECT_GT(level(9900.0), 0.9 * 5.0 * 0.9495 / std::numbers::sqrt2);
}

TEST(VcoReset, StartsThePulseHighAndEveryPhaseAtZero) {
    Osc o(2, 100.0); // 480 samples a cycle
    o.skip(10000, VcoModule::kPulse);
    while (o.vco.phasor.phase < 0.7f) {
        o.vco.step();
        o.vco.output(VcoModule::kSaw);
        o.vco.output(VcoModule::kPulse);
    }
    ASSERT_LT(o.vco.output(VcoModule::kPulse), 1.0f); // in the low half first
    o.vco.reset();
    std::vector<float> pulse, saw;
    for (int i = 0; i < 480; ++i) {
        o.vco.step();
        EXPECT_TRUE(i > 0 || o.vco.phasor.phase == 0.0f);
        pulse.push_back(o.vco.output(VcoModule::kPulse));
        saw.push_back(o.vco.output(VcoModule::kSaw));
    }
    EXPECT_GT(pulse[4], 9.0f); // the rising step has all but settled
    for (int i = 10; i < 230; ++i) ASSERT_NEAR(pulse[i], 10.0f, 0.5f) << i;
    for (int i = 250; i < 470; ++i) ASSERT_NEAR(pulse[i], 0.0f, 0.5f) << i;
    // The sawtooth restarts at the bottom of its ramp.
    for (int i = 30; i < 470; ++i) ASSERT_NEAR(saw[std::size_t(i)], 10.0 * i / 480.0, 0.1) << i;
    Osc t(2, 250.0); // the second oscillator's triangle restarts at its peak
    t.skip(777, VcoModule::kTriangle);
    t.vco.reset();
    EXPECT_FLOAT_EQ(t.render(VcoModule::kTriangle, 1)[0], 5.0f);
    // The keyboard switch's restart (range 2) sets the phase too.
    t.vco.setRange(2);
    t.vco.setPhase(0.0f);
    t.vco.step();
    EXPECT_EQ(t.vco.phasor.phase, 0.0f);
    EXPECT_FLOAT_EQ(t.vco.output(VcoModule::kSine), -5.0f);
}

// Frequencies that do not divide 48 kHz, so that aliases fall between the harmonics.
TEST(VcoAliasing, SawtoothAndPulseAliasesStayBelowMinus60dB) {
    for (auto [name, selector, hz, width] :
         {std::tuple{"saw_1046Hz", int(VcoModule::kSaw), 1046.5, 0.5f},
          {"saw_4978Hz", VcoModule::kSaw, 4978.03, 0.5f},
          {"pulse30_1046Hz", VcoModule::kPulse, 1046.5, 0.3f},
          {"square_4978Hz", VcoModule::kPulse, 4978.03, 0.5f}}) {
        Osc o(2, hz);
        o.vco.setPanelPulseWidth(width);
        o.skip(2000, selector);
        const auto x = o.render(selector, 1 << 17);
        const double db = testing::worstNonHarmonicDb(x, kRate, double(o.vco.frequency));
        RecordProperty(name, std::to_string(db)); // strongest non-harmonic, dB
        EXPECT_LT(db, -60.0) << name;
    }
}

TEST(VcoRobustness, RecoversAfterNaNAndHugeControlSumsAndZeroFrequencyQueuesNothing) {
    for (float bad : {kNaN, std::numeric_limits<float>::infinity(), 1e30f, -1e30f, 3e38f}) {
        SCOPED_TRACE(bad);
        Osc o(2, 500.0);
        o.skip(50);
        o.vco.setControl(bad);
        o.vco.setPwmControl(bad);
        for (int i = 0; i < 500; ++i) {
            o.vco.step();
            o.expectFinite(1e30f);
        }
        o.vco.setControl(Osc::voltsFor(440.0));
        o.vco.setPwmControl(0.0f);
        o.skip(100);
        EXPECT_NEAR(crossingFrequency(o.render(VcoModule::kSine, kRate), kRate), 440.0, 0.01);
        EXPECT_NEAR(Osc::duty(o.render(VcoModule::kPulse, kRate)), 0.5, 0.01);
        EXPECT_NEAR(mean(o.render(VcoModule::kSaw, kRate)), 5.0, 0.03);
    }
    Osc z;
    z.vco.setControl(-1000.0f); // 2^-1000 x 10 Hz is 0 in float: restarts queue nothing
    EXPECT_EQ(z.vco.phasor.increment, 0.0f);
    z.vco.setPhase(0.0f);
    z.vco.reset();
    EXPECT_EQ(z.vco.saw.count + z.vco.pulse.count, 0);
    z.skip(100, VcoModule::kPulse);
    z.expectFinite();
}

// A table in the stored form with `count` values on a size line saying `size`.
std::string tableText(int size, int count, const char* value = "1") {
    std::string t = "0.8 % corner\n64.0 % oversampling\n11.0 % nzc\n";
    t += std::to_string(size) + ".0 % size\n";
    for (int i = 0; i < count; ++i) t += std::string(" ") + value + "\n";
    return t;
}

// Hosts set the process locale; a comma-decimal one must not change the table.
TEST(MinBlepTable, EmbeddedTableHasItsHeaderWhateverTheHostsLocale) {
    const MinBlepTable& t = minBlepTable();
    EXPECT_EQ(std::tuple(t.corner, t.oversampling, t.nzc, t.twiceNzc),
              std::tuple(0.8f, 64.0f, 11.0f, 22.0f));
    testing::CommaDecimalLocale comma;
    if (!comma.active()) GTEST_SKIP() << "no comma-decimal locale installed";
    const MinBlepTable local = parseMinBlepTable(findResource("MB.txt"));
    EXPECT_TRUE(local.values == t.values && local.corner == t.corner);
}

// The embedded table is checked against its generator; what is left to see is that a table
// of exactly the span is read whole (the last line-feed may be missing) and that a damaged
// one is refused, saying why, rather than read past its end.
TEST(MinBlepTableParser, ReadsAWholeTableAndRefusesADamagedOne) {
    std::string text = tableText(kMinBlepSpan, kMinBlepSpan, "0.25");
    text.pop_back();
    const MinBlepTable s = parseMinBlepTable(text);
    EXPECT_FLOAT_EQ(s.residualAt(float(kMinBlepSpan) - 0.5f), 0.375f);
    EXPECT_EQ(s.residualAt(float(kMinBlepSpan)), 0.0f);
    std::string badMiddle = tableText(1409, 0);
    for (int i = 0; i < 1409; ++i) badMiddle += i == 700 ? " 1abc\n" : " 0.5\n";
    const std::pair<std::string, const char*> cases[] = {
        {"", "empty"},
        {"0.8 % corner\n64.0 % oversampling\n", "header cut short"},
        {"0.8 % corner\n64.0 % oversampling\nnan % nzc\n1409.0 % size\n", "NaN nzc"},
        {tableText(kMinBlepSpan - 1, kMinBlepSpan - 1), "shorter than the span"},
        {tableText(-5, 10), "negative size"},
        {tableText(2000000000, 1409), "absurd size"},
        {tableText(1409, 1409, "inf"), "an infinite value"},
        {badMiddle, "a value line with more than a number"}};
    for (const auto& [bad, what] : cases)
        EXPECT_THROW(parseMinBlepTable(bad), std::runtime_error) << what;
    try {
        parseMinBlepTable(tableText(1409, 1000));
        FAIL() << "a short table was accepted";
    } catch (const std::runtime_error& e) {
        const std::string what = e.what();
        EXPECT_NE(what.find("1409"), std::string::npos) << what;
        EXPECT_NE(what.find("1000"), std::string::npos) << what;
    }
}

} // namespace
} // namespace moraine
