// The noise generator, clock, sample-and-hold, lag processor and envelope follower.
#include "engine/NoiseFamily.h"
#include "engine/Random.h"
#include "support/Spectrum.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace moraine {
namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

TEST(InternalClock, LowHalfFirstThenHigh) {
    InternalClock clock;
    clock.setSampleRate(44100);
    clock.setPeriod(0.5f);
    ASSERT_EQ(clock.periodSamples, 22050);
    for (int n = 0; n < 22050 * 2; ++n, clock.tick())
        ASSERT_EQ(clock.output(0), n % 22050 > 11025 ? 10.0f : 0.0f) << n;
}

TEST(InternalClock, PeriodFollowsEveryAcceptedRateAndStaysSafe) {
    InternalClock clock;
    clock.setPeriod(0.01f);
    for (auto [rate, samples] : {std::pair{1000, 10}, {8000, 80}, {768000, 7680}}) {
        clock.setSampleRate(rate);
        EXPECT_EQ(clock.periodSamples, samples) << rate;
    }
    EXPECT_FLOAT_EQ(clock.period, 0.01f);
    for (float bad : {0.0f, -1.0f, kNaN, 1e30f}) {
        clock.setPeriod(bad);
        ASSERT_GE(clock.periodSamples, 1);
        for (int i = 0; i < 10; ++i) clock.tick();
        EXPECT_TRUE(clock.output(0) == 0.0f || clock.output(0) == 10.0f);
    }
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
    EXPECT_NEAR(lag.coef, 0.999855, 1e-6);
    float y = 0.0f;
    for (int i = 0; i < 44100; ++i) y = lag.process(10.0f);
    EXPECT_GT(y, 9.9f); // well past a few time constants in one second
    EXPECT_EQ(lag.process(kNaN), float(lag.coef * y));
    // Rates beyond half the sample rate pass the input instead of blowing up.
    lag.setSampleRate(8000);
    lag.setRate(1600.0f);
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
    EXPECT_NEAR(level, 1.84f, 0.01f);
    // Peaks above the circuit's 10 V hold at 10 V.
    EXPECT_EQ(f.process(25.0f), 10.0f);
    EXPECT_EQ(f.process(30.0f), 10.0f);
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
    if (colour == 0.0f) { // white: flat within half the level
        const auto [min, max] = std::minmax_element(x.begin(), x.end());
        EXPECT_TRUE(*min >= -0.5f * level && *min < -0.49f * level) << *min;
        EXPECT_TRUE(*max<0.5f * level&& * max> 0.49f * level) << *max;
    }
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

} // namespace
} // namespace moraine
