#include "engine/Envelope.h"

#include <gtest/gtest.h>

#include <cmath>

namespace moraine {
namespace {

EnvelopeGen adsr(int rate = 44100) {
    EnvelopeGen e(6, 0.01f, 0.5f, 7.0f, 0.2f);
    e.setSampleRate(rate);
    return e;
}

EnvelopeGen ar(int rate = 44100) {
    EnvelopeGen e(8, 0.01f, 0.5f, 10.0f, 0.2f);
    e.setSampleRate(rate);
    return e;
}

// Samples until `done` holds, at most `limit`.
template <class F> int stepsUntil(EnvelopeGen& e, F done, int limit = 10'000'000) {
    int n = 0;
    while (!done() && n < limit) {
        e.step();
        ++n;
    }
    return n;
}

TEST(Envelope, AdsrAttacksPastNineVoltsThenDecaysToTheSustain) {
    EnvelopeGen e = adsr();
    e.setAttack(0.1f);
    e.setSustain(4.0f);
    EXPECT_NEAR(e.attackCoef, 0.999093f, 1e-6f);
    e.setControl(10.0f);
    EXPECT_EQ(e.phase, 0);
    const int n = stepsUntil(e, [&] { return e.level > 9.0f; });
    EXPECT_NEAR(n / 44100.0, 0.058, 0.002);
    e.step();
    EXPECT_EQ(e.attacking, 0); // past 9 V the decay takes over
    for (int i = 0; i < 4410; ++i) e.step();
    const float decayed = e.level;
    e.restartAttack(); // a new key on a gated ADSR attacks again from where it is
    e.step();
    EXPECT_GT(e.level, decayed);
    stepsUntil(
        e, [] { return false; }, 44100 * 5);
    // Float coefficients settle within a few millivolts of the exact level.
    EXPECT_NEAR(e.level, 4.0f, 0.01f);
}

TEST(Envelope, SustainAtTenApproachesFromBelow) {
    EnvelopeGen e = adsr();
    e.setSustain(10.0f);
    e.setControl(10.0f);
    float peak = 0.0f;
    for (int i = 0; i < 44100 * 4; ++i) {
        e.step();
        peak = std::max(peak, e.level);
    }
    EXPECT_LE(peak, 10.0f);
    EXPECT_NEAR(e.level, 10.0f, 0.01f);
}

TEST(Envelope, ArHoldsAtTheFirstValuePastNineVolts) {
    EnvelopeGen e = ar();
    e.setControl(10.0f);
    stepsUntil(e, [&] { return e.level >= 9.0f; });
    const float held = e.level;
    EXPECT_GE(held, 9.0f);
    for (int i = 0; i < 1000; ++i) e.step();
    EXPECT_EQ(e.level, held);
    e.restartAttack(); // the AR does not restart
    e.step();
    EXPECT_EQ(e.level, held);
}

TEST(Envelope, OnlyAJumpOfMoreThanFiveVoltsGates) {
    EnvelopeGen e = adsr();
    e.setControl(5.0f); // exactly 5 V above the history's 0 V
    EXPECT_EQ(e.phase, 2);
    e.setControl(10.0f); // 10 V above the oldest value: a keyboard gate
    EXPECT_EQ(e.phase, 0);
    EnvelopeGen f = adsr();
    f.setControl(4.9f);
    f.setControl(4.95f);
    EXPECT_EQ(f.phase, 2);
    f.setControl(-1.0f);
    EXPECT_EQ(f.phase, 2); // a fall without a gate is just a gate-off of nothing
}

TEST(Envelope, ReleaseGoesIdleBelowAMillivolt) {
    EnvelopeGen e = ar();
    e.setRelease(0.2f);
    e.setControl(10.0f);
    stepsUntil(e, [&] { return e.level >= 9.0f; });
    e.setControl(0.0f);
    EXPECT_EQ(e.phase, 1);
    const int n = stepsUntil(e, [&] { return e.phase == 2; });
    EXPECT_NEAR(n / 44100.0, 0.46, 0.02);
    EXPECT_EQ(e.level, 0.0f);
    e.step();
    EXPECT_EQ(e.level, 0.0f);
}

TEST(Envelope, GateOnDuringReleaseRestartsFromThePresentLevel) {
    EnvelopeGen e = adsr();
    e.setControl(10.0f);
    for (int i = 0; i < 2000; ++i) e.step();
    e.setControl(0.0f);
    for (int i = 0; i < 500; ++i) e.step();
    const float before = e.level;
    e.setControl(10.0f);
    e.step();
    EXPECT_GT(e.level, before);
    EXPECT_LT(e.level, before + 0.5f);
}

TEST(Envelope, TimesTooShortForTheRateAreInstantNotUnstable) {
    EnvelopeGen e = adsr(1000);
    e.setAttack(0.001f); // under two samples
    e.setControl(10.0f);
    for (int i = 0; i < 100; ++i) {
        e.step();
        ASSERT_TRUE(std::isfinite(e.level));
        ASSERT_LE(e.level, 10.0f);
    }
}

} // namespace
} // namespace moraine

namespace moraine {
namespace {

TEST(EnvelopeRates, ShortestTimesStayStableAtEveryRate) {
    for (int rate : {8000, 22050, 44100, 96000, 192000, 384000}) {
        EnvelopeGen e(6, 0.003f, 0.003f, 5.0f, 0.003f);
        e.setSampleRate(rate);
        EXPECT_GE(e.attackCoef, 0.0f);
        EXPECT_LT(e.attackCoef, 1.0f);
        e.setControl(10.0f);
        for (int i = 0; i < rate / 10; ++i) {
            e.step();
            ASSERT_TRUE(e.level >= 0.0f && e.level <= 10.0f) << rate;
        }
        EXPECT_NEAR(e.level, 5.0f, 0.05f) << rate;
    }
}

} // namespace
} // namespace moraine
