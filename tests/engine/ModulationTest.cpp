// The noise generator, clock, sample-and-hold, lag processor and envelope follower.
#include "engine/NoiseFamily.h"
#include "support/Spectrum.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace moraine {
namespace {

TEST(InternalClock, LowHalfFirstThenHigh) {
    InternalClock clock;
    clock.setSampleRate(44100);
    clock.setPeriod(0.5f);
    ASSERT_EQ(clock.periodSamples, 22050);
    for (int n = 0; n < 22050 * 2; ++n) {
        const int count = n % 22050;
        ASSERT_EQ(clock.output(0), count > 11025 ? 10.0f : 0.0f) << n;
        clock.tick();
    }
}

TEST(InternalClock, PeriodFollowsTheSampleRateAndStaysSafe) {
    InternalClock clock;
    clock.setPeriod(0.01f);
    clock.setSampleRate(8000);
    EXPECT_EQ(clock.periodSamples, 80);
    clock.setSampleRate(384000);
    EXPECT_EQ(clock.periodSamples, 3840);
    EXPECT_FLOAT_EQ(clock.period, 0.01f);
    for (float bad : {0.0f, -1.0f, std::numeric_limits<float>::quiet_NaN(), 1e30f}) {
        clock.setPeriod(bad);
        ASSERT_GE(clock.periodSamples, 1);
        for (int i = 0; i < 10; ++i) clock.tick();
        const float v = clock.output(0);
        EXPECT_TRUE(v == 0.0f || v == 10.0f);
    }
}

TEST(InternalClock, AnUnreadClockNeverOverflows) {
    InternalClock clock;
    clock.setPeriod(5.0f);
    clock.counter = std::numeric_limits<int>::max() - 10;
    clock.setPeriod(5.0f); // re-wraps what a long session left
    for (int i = 0; i < 100; ++i) clock.tick();
    EXPECT_LT(clock.counter, clock.periodSamples);
}

TEST(SampleAndHold, SamplesOnBothEdgesOnly) {
    SampleAndHold sh;
    sh.setControl(0.0f);
    EXPECT_EQ(sh.process(3.0f), 0.0f);
    sh.setControl(10.0f); // rising edge
    EXPECT_EQ(sh.process(4.0f), 4.0f);
    EXPECT_EQ(sh.process(5.0f), 4.0f); // held while the clock stands
    sh.setControl(0.0f);               // falling edge
    EXPECT_EQ(sh.process(6.0f), 6.0f);
    // A move of exactly 0.5 V takes no sample.
    sh.setControl(0.5f);
    EXPECT_EQ(sh.process(7.0f), 6.0f);
    sh.setControl(1.2f);
    EXPECT_EQ(sh.process(8.0f), 8.0f);
}

TEST(LagProcessor, CoefficientAndSmoothing) {
    LagProcessor lag;
    lag.setSampleRate(44100);
    lag.setRate(1.6f);
    EXPECT_NEAR(lag.coef, 0.999855, 1e-6);
    float y = 0.0f;
    for (int i = 0; i < 44100; ++i) y = lag.process(10.0f);
    EXPECT_GT(y, 9.9f); // well past a few time constants in one second
    EXPECT_EQ(lag.process(std::numeric_limits<float>::quiet_NaN()), float(lag.coef * y));
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
    EXPECT_FALSE(std::isnan(f.process(std::numeric_limits<float>::quiet_NaN())));
}

} // namespace
} // namespace moraine

namespace moraine {
namespace {

std::vector<float> noiseRun(float colour, float level, int n = 1 << 16) {
    NoiseGenerator noise;
    noise.setSampleRate(44100);
    noise.colourRamp.setNow(colour);
    noise.levelRamp.setNow(level);
    std::vector<float> out(static_cast<std::size_t>(n));
    for (float& x : out) {
        noise.invalidate();
        x = noise.output(0);
        EXPECT_EQ(noise.output(0), x); // every reader of one sample sees one value
    }
    return out;
}

// Mean power of the spectrum between two frequencies.
double bandPower(const std::vector<double>& mag, double rate, std::size_t n, double lo, double hi) {
    double sum = 0.0;
    int count = 0;
    for (std::size_t k = std::size_t(lo * double(n) / rate); k < std::size_t(hi * double(n) / rate);
         ++k) {
        sum += mag[k] * mag[k];
        ++count;
    }
    return sum / count;
}

TEST(Noise, WhiteIsFlatWithinHalfTheLevel) {
    const auto white = noiseRun(0.0f, 5.0f);
    const auto [lo, hi] = std::minmax_element(white.begin(), white.end());
    EXPECT_GE(*lo, -2.5f);
    EXPECT_LT(*hi, 2.5f);
    EXPECT_LT(*lo, -2.45f);
    EXPECT_GT(*hi, 2.45f);
    const auto mag = testing::magnitudeSpectrum(white);
    const double slope = 10 * std::log10(bandPower(mag, 44100, white.size(), 4000, 6000) /
                                         bandPower(mag, 44100, white.size(), 400, 600));
    EXPECT_NEAR(slope, 0.0, 1.5);
}

TEST(Noise, RedFallsAtSixDecibelsAnOctaveAboveFiftyHertz) {
    const auto red = noiseRun(1.0f, 1.0f);
    const auto white = noiseRun(0.0f, 1.0f);
    const auto r = testing::magnitudeSpectrum(red);
    const auto w = testing::magnitudeSpectrum(white);
    const std::size_t n = red.size();
    const double decade =
        10 * std::log10(bandPower(r, 44100, n, 4000, 6000) / bandPower(r, 44100, n, 400, 600));
    EXPECT_NEAR(decade, -20.0, 2.0);
    // Well below the corner the red noise is the white one, ten times louder.
    const double lowGain =
        10 * std::log10(bandPower(r, 44100, n, 3, 12) / bandPower(w, 44100, n, 3, 12));
    EXPECT_NEAR(lowGain, 20.0, 3.0);
}

} // namespace
} // namespace moraine
