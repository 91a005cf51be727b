// Envelopes, amplifier and utilities, noise, clock, sample-and-hold, lag, follower, reverb.
#include "engine/Amplifier.h"
#include "engine/Envelope.h"
#include "engine/NoiseFamily.h"
#include "engine/Random.h"
#include "engine/Reverb.h"
#include "support/Spectrum.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <tuple>
#include <utility>
#include <vector>

namespace moraine {
namespace {

// The voice's ADSR (kind 6) and AR (kind 8), as built.
struct Env : EnvelopeGen {
    explicit Env(int kind, int rate = 44100)
        : EnvelopeGen(kind, 0.01f, 0.5f, kind == 6 ? 7.0f : 10.0f, 0.2f) {
        setSampleRate(rate);
    }
    template <class F> int stepsUntil(F done, int limit = 10'000'000) {
        int n = 0;
        for (; !done() && n < limit; ++n) step();
        return n;
    }
    void skip(int n) {
        for (int i = 0; i < n; ++i) step();
    }
    double secondsToNineVolts() {
        return stepsUntil([&] { return level > 9.0f; }) / sampleRate;
    }
};

TEST(Envelope, AdsrAttacksPastNineVoltsThenDecaysToTheSustain) {
    Env e(6);
    e.setAttack(0.1f);
    e.setSustain(4.0f);
    e.setControl(10.0f);
    EXPECT_EQ(e.phase, 0);
    EXPECT_NEAR(e.secondsToNineVolts(), 0.058, 0.002);
    e.step();
    EXPECT_EQ(e.attacking, 0); // past 9 V the decay takes over
    e.skip(4410);
    const float decayed = e.level;
    e.restartAttack(); // a new key on a gated ADSR attacks again from where it is
    e.step();
    EXPECT_GT(e.level, decayed);
    e.skip(44100 * 5);
    // Float coefficients settle within a few millivolts of the exact level.
    EXPECT_NEAR(e.level, 4.0f, 0.01f);
    Env full(6); // a sustain of 10 V is approached from below
    full.setSustain(10.0f);
    full.setControl(10.0f);
    float peak = 0.0f;
    for (int i = 0; i < 44100 * 4; ++i, full.step()) peak = std::max(peak, full.level);
    EXPECT_LE(peak, 10.0f);
    EXPECT_NEAR(full.level, 10.0f, 0.01f);
}

TEST(Envelope, ArHoldsAtTheFirstValuePastNineVoltsAndReleasesToIdle) {
    Env e(8);
    e.setRelease(0.2f);
    e.setControl(10.0f);
    e.stepsUntil([&] { return e.level >= 9.0f; });
    const float held = e.level;
    EXPECT_GE(held, 9.0f);
    e.skip(1000);
    EXPECT_EQ(e.level, held);
    e.restartAttack(); // the AR does not restart
    e.step();
    EXPECT_EQ(e.level, held);
    e.setControl(0.0f);
    EXPECT_EQ(e.phase, 1);
    // Idle below a millivolt.
    EXPECT_NEAR(e.stepsUntil([&] { return e.phase == 2; }) / 44100.0, 0.46, 0.02);
    EXPECT_EQ(e.level, 0.0f);
    e.step();
    EXPECT_EQ(e.level, 0.0f);
}

TEST(Envelope, OnlyAJumpOfMoreThanFiveVoltsGatesAndAGateRestartsFromThePresentLevel) {
    Env e(6), f(6);
    e.setControl(5.0f); // exactly 5 V above the history's 0 V
    EXPECT_EQ(e.phase, 2);
    e.setControl(10.0f); // 10 V above the oldest value: a keyboard gate
    EXPECT_EQ(e.phase, 0);
    f.setControl(4.9f);
    f.setControl(4.95f);
    EXPECT_EQ(f.phase, 2);
    f.setControl(-1.0f);
    EXPECT_EQ(f.phase, 2); // a fall without a gate is just a gate-off of nothing
    e.skip(2000);
    e.setControl(0.0f);
    e.skip(500);
    const float before = e.level; // in the release
    e.setControl(10.0f);
    e.step();
    EXPECT_TRUE(e.level > before && e.level < before + 0.5f) << before << " " << e.level;
}

// From the lowest accepted rate to the highest: the attack takes the same time, and the
// shortest times stay stable (below two samples a time is instant, not unstable).
TEST(Envelope, TimesHoldAndShortestTimesStayStableAtEveryAcceptedRate) {
    for (int rate : {1000, 8000, 44100, 96000, 768000}) {
        SCOPED_TRACE(rate);
        Env a(6, rate);
        a.setAttack(0.1f);
        a.setControl(10.0f);
        EXPECT_NEAR(a.secondsToNineVolts(), 0.058, 0.002);
        for (float shortest : {0.003f, 0.001f}) {
            EnvelopeGen e(6, shortest, shortest, 5.0f, shortest);
            e.setSampleRate(rate);
            EXPECT_TRUE(e.attackCoef >= 0.0f && e.attackCoef < 1.0f);
            e.setControl(10.0f);
            for (int i = 0; i < std::max(rate / 10, 100); ++i) {
                e.step();
                ASSERT_TRUE(e.level >= 0.0f && e.level <= 10.0f) << e.level;
            }
            EXPECT_NEAR(e.level, 5.0f, 0.05f);
        }
    }
}

// The exponential gain is (e^(0.23 v) - 1) / 9: 0 at 0 V, 1 at 10 V, -1/9 far below.
TEST(Vca, LinearAndExponentialGainsAddAndBadValuesAreSilent) {
    VcaModule vca;
    for (auto [linear, exponential, gain, tolerance] : {std::tuple{10.f, 0.f, 1.f, 0.f},
                                                        {0.f, 10.f, 0.99999f, 1e-6f},
                                                        {10.f, 10.f, 1.99999f, 1e-5f},
                                                        {0.f, 5.f, 0.240f, 1e-3f},
                                                        {0.f, -1000.f, -0.11111f, 1e-4f}}) {
        vca.setLinearControl(linear);
        vca.setExponentialControl(exponential);
        EXPECT_NEAR(vca.process(1.0f), gain, tolerance) << linear << " " << exponential;
    }
    vca.setLinearControl(0.0f);
    vca.setExponentialControl(NAN);
    vca.initialGainRamp.setNow(10.0f);
    EXPECT_FLOAT_EQ(vca.process(0.5f), 5.0f);
    EXPECT_EQ(vca.process(INFINITY), 0.0f);
}

TEST(RingModulator, AudioModeBlocksDcAndDcModeMultiplies) {
    RingModulator ring;
    ring.setSampleRate(44100);
    // A constant on A decays away; two tones multiply, swinging both ways at full size.
    float out = 0.0f, peak = 0.0f;
    for (int i = 0; i < 44100 * 2; ++i) {
        ring.processA(5.0f);
        ring.processB(std::sin(0.05f * float(i)) * 5.0f);
        out = ring.process(0.0f);
    }
    EXPECT_LT(std::fabs(out), 0.01f);
    for (int i = 0; i < 4410; ++i) {
        ring.processA(5.0f * std::sin(0.07f * float(i)));
        ring.processB(5.0f * std::sin(0.011f * float(i)));
        peak = std::max(peak, std::fabs(ring.process(0.0f)));
    }
    EXPECT_GT(peak, 20.0f);
    ring.setMode(2);
    ring.processA(3.0f);
    ring.processB(-2.0f);
    EXPECT_EQ(std::pair(ring.process(0.0f), ring.process(0.0f)), std::pair(-6.0f, -6.0f));
}

TEST(Utilities, InverterSwitchAndPan) {
    Inverter inv;
    EXPECT_EQ(std::pair(inv.process(10.0f), inv.process(NAN)), std::pair(-10.0f, 0.0f));
    ElectronicSwitch s;                // from A and B into C the torture render checks
    EXPECT_EQ(s.processC(1.0f), 0.0f); // no direction yet
    s.setDirection(2);
    s.processC(7.0f);
    // The clock high sends C to A; exactly half way, to neither.
    for (auto [clock, a] : {std::pair{10.0f, 7.0f}, {0.5f, 0.0f}}) {
        s.setControlC(clock);
        EXPECT_EQ(std::pair(s.processA(0.0f), s.processB(0.0f)), std::pair(a, 0.0f)) << clock;
    }
    PanControl pan; // a cosine law on the far side
    for (auto [position, left, right] : {std::tuple{0.75f, 0.7071f, 1.0f}, {0.0f, 1.0f, 0.0f}}) {
        pan.positionRamp.setNow(position);
        pan.updateGains();
        EXPECT_NEAR(pan.leftGain, left, 1e-4f);
        EXPECT_NEAR(pan.rightGain, right, 1e-6f);
    }
}

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

TEST(InternalClock, LowHalfFirstThenHighAtEveryAcceptedRateAndNeverOverflows) {
    InternalClock clock;
    clock.setSampleRate(44100);
    clock.setPeriod(0.5f);
    ASSERT_EQ(clock.periodSamples, 22050);
    for (int n = 0; n < 22050 * 2; ++n, clock.tick())
        ASSERT_EQ(clock.output(0), n % 22050 > 11025 ? 10.0f : 0.0f) << n;
    // The period follows every accepted rate and bad periods stay safe.
    clock.setPeriod(0.01f);
    for (auto [rate, samples] : {std::pair{1000, 10}, {8000, 80}, {768000, 7680}}) {
        clock.setSampleRate(rate);
        EXPECT_EQ(clock.periodSamples, samples) << rate;
    }
    for (float bad : {0.0f, -1.0f, kNaN, 1e30f})
        EXPECT_GE((clock.setPeriod(bad), clock.periodSamples), 1);
    // An unread clock never overflows: a new period re-wraps what a long session left.
    clock.setPeriod(5.0f);
    clock.counter = std::numeric_limits<int>::max() - 10;
    clock.setPeriod(5.0f);
    for (int i = 0; i < 100; ++i) clock.tick();
    EXPECT_LT(clock.counter, clock.periodSamples);
}

TEST(SampleAndHold, SamplesOnMovesOfMoreThanHalfAVoltOnly) {
    SampleAndHold sh;
    struct Step {
        float clock, in, out;
    } const steps[] = {{0.0f, 3.0f, 0.0f}, {10.0f, 4.0f, 4.0f}, {10.0f, 5.0f, 4.0f},
                       {0.0f, 6.0f, 6.0f}, {0.5f, 7.0f, 6.0f},  {1.2f, 8.0f, 8.0f}};
    for (const Step& s : steps) {
        sh.setControl(s.clock);
        EXPECT_EQ(sh.process(s.in), s.out) << s.clock << " " << s.in;
    }
}

TEST(LagProcessor, CoefficientAndSmoothing) {
    LagProcessor lag;
    lag.setSampleRate(44100);
    lag.setRate(1.6f);
    float y = 0.0f;
    for (int i = 0; i < 44100; ++i) y = lag.process(10.0f);
    EXPECT_GT(y, 9.9f); // well past a few time constants in one second
    EXPECT_EQ(lag.process(kNaN), float(lag.coef * y));
    // Rates beyond half the sample rate pass the input instead of blowing up.
    lag.setSampleRate(8000);
    lag.setRate(6000.0f);
    for (int i = 0; i < 100; ++i) y = lag.process(1.0f);
    EXPECT_FLOAT_EQ(y, 1.0f);
}

TEST(EnvelopeFollower, PeakThenSlowDecay) {
    EnvelopeFollower f;
    EXPECT_EQ(f.process(-5.0f), 5.0f);
    float level = 0.0f;
    for (int n = 0; n < 2000; ++n) level = f.process(0.0f);
    EXPECT_NEAR(level, 5.0 * std::pow(0.9995, 2000), 1e-3);
    // Peaks above the circuit's 10 V hold at 10 V.
    EXPECT_EQ(std::pair(f.process(25.0f), f.process(30.0f)), std::pair(10.0f, 10.0f));
    EXPECT_FALSE(std::isnan(f.process(kNaN)));
}

// The magnitude spectrum of 2^16 samples of noise at 44.1 kHz, drawn from the shared
// sequence's start, so that every colour hears the same random values.
std::vector<double> noiseSpectrum(float colour, float level) {
    detail::randState.store(RandSequence::kSeed);
    NoiseGenerator noise;
    noise.setSampleRate(44100);
    noise.colourRamp.setNow(colour);
    noise.levelRamp.setNow(level);
    std::vector<float> x(1 << 16);
    for (float& v : x) {
        noise.invalidate();
        v = noise.output(0);
        EXPECT_EQ(noise.output(0), v); // every reader of one sample sees one value
    }
    const auto [min, max] = std::minmax_element(x.begin(), x.end()); // white: within the level
    EXPECT_TRUE(colour != 0.0f || (*min >= -0.5f * level && *min < -0.49f * level &&
                                   *max<0.5f * level&& * max> 0.49f * level));
    return testing::magnitudeSpectrum(x);
}

// Mean power between two frequencies, in dB.
double bandDb(const std::vector<double>& mag, double lo, double hi) {
    const double binHz = 44100.0 / double(2 * (mag.size() - 1));
    double sum = 0.0;
    int count = 0;
    for (auto k = std::size_t(lo / binHz); k < std::size_t(hi / binHz); ++k, ++count)
        sum += mag[k] * mag[k];
    return 10.0 * std::log10(sum / count);
}

TEST(Noise, WhiteIsFlatAndRedFallsSixDecibelsAnOctaveAboveFiftyHertz) {
    const auto white = noiseSpectrum(0.0f, 5.0f);
    EXPECT_NEAR(bandDb(white, 4000, 6000) - bandDb(white, 400, 600), 0.0, 1.5);
    const auto red = noiseSpectrum(1.0f, 1.0f);
    EXPECT_NEAR(bandDb(red, 4000, 6000) - bandDb(red, 400, 600), -20.0, 2.0);
    // Well below the corner the red noise is the white one, ten times louder.
    EXPECT_NEAR(bandDb(red, 3, 12) - bandDb(noiseSpectrum(0.0f, 1.0f), 3, 12), 20.0, 3.0);
}

// A reverb fed `send` per sample (the voices' sends, before the 0.1) with both levels at 1.
class Reverb : public ::testing::Test {
protected:
    const std::vector<float>& feed(const std::vector<float>& send) {
        r->leftLevel.setNow(1.0f);
        r->rightLevel.setNow(1.0f);
        left.clear();
        right.clear();
        for (float x : send) {
            r->beginSample();
            r->addSend(x);
            r->processSample(left.emplace_back(), right.emplace_back());
        }
        return left;
    }
    static std::vector<float> impulse(int n) {
        std::vector<float> x(static_cast<std::size_t>(n));
        x[0] = 10.0f;
        return x;
    }
    static int firstNonZero(const std::vector<float>& v) {
        return int(std::find_if(v.begin(), v.end(), [](float x) { return x != 0.0f; }) - v.begin());
    }
    std::unique_ptr<ReverbModule> r = std::make_unique<ReverbModule>();
    std::vector<float> left, right;
};

TEST_F(Reverb, TheRightChannelArrivesTwentyThreeSamplesLater) {
    r->setSampleRate(44100);
    feed(impulse(4000));
    EXPECT_EQ(std::pair(firstNonZero(left), firstNonZero(right)), std::pair(1116, 1139));
    // Input 10 x 0.1 x 0.0001 through one comb and the all-pass chain's direct paths.
    EXPECT_NEAR(std::fabs(left[1116]), 300.0 * 1e-4, 1e-6);
    EXPECT_FLOAT_EQ(r->lastLeft, left.back());
}

// Lines of trunc(rate / 44100 x length), without a capacity limit, from 1 kHz to 768 kHz.
TEST_F(Reverb, LinesScaleWithEveryAcceptedRate) {
    std::vector<float> noise(20000);
    for (std::size_t i = 0; i < noise.size(); ++i) noise[i] = float((i * 7919) % 200) - 100.0f;
    for (int rate : {1000, 96000, 768000}) {
        SCOPED_TRACE(rate);
        r->setSampleRate(rate);
        auto scaled = [&](float length) { return int(float(rate) / 44100.0f * length); };
        // The first comb of each side to speak, from cleared lines.
        EXPECT_EQ(firstNonZero(feed(impulse(scaled(1139.0f) + 100))), scaled(1116.0f));
        EXPECT_EQ(firstNonZero(right), scaled(1139.0f));
        for (float x : feed(noise)) ASSERT_TRUE(std::isfinite(x));
    }
}

TEST_F(Reverb, AnOverloadEmptiesTheLines) {
    for (float x : feed(std::vector<float>(3000, 1e9f))) ASSERT_LE(std::fabs(x), 1000.0f);
    for (float x : feed(std::vector<float>(10, NAN))) EXPECT_FALSE(std::isnan(x));
    // Afterwards it is silent and works again.
    EXPECT_EQ(feed(std::vector<float>(3000, 0.0f)).back(), 0.0f);
    EXPECT_EQ(firstNonZero(feed(impulse(2000))), 1116);
}

} // namespace
} // namespace moraine
