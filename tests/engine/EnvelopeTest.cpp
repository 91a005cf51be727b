// The ADSR and AR envelopes: segment times, levels, gating, and every accepted sample rate.
#include "engine/Envelope.h"

#include <gtest/gtest.h>

#include <cmath>

namespace moraine {
namespace {

// The voice's ADSR (kind 6) and AR (kind 8), as built.
EnvelopeGen make(int kind, int rate = 44100) {
    EnvelopeGen e(kind, 0.01f, 0.5f, kind == 6 ? 7.0f : 10.0f, 0.2f);
    e.setSampleRate(rate);
    return e;
}

// Samples until `done` holds, at most `limit`.
template <class F> int stepsUntil(EnvelopeGen& e, F done, int limit = 10'000'000) {
    int n = 0;
    for (; !done() && n < limit; ++n) e.step();
    return n;
}

TEST(Envelope, AdsrAttacksPastNineVoltsThenDecaysToTheSustain) {
    EnvelopeGen e = make(6);
    e.setAttack(0.1f);
    e.setSustain(4.0f);
    EXPECT_NEAR(e.attackCoef, 0.999093f, 1e-6f);
    e.setControl(10.0f);
    EXPECT_EQ(e.phase, 0);
    EXPECT_NEAR(stepsUntil(e, [&] { return e.level > 9.0f; }) / 44100.0, 0.058, 0.002);
    e.step();
    EXPECT_EQ(e.attacking, 0); // past 9 V the decay takes over
    stepsUntil(
        e, [] { return false; }, 4410);
    const float decayed = e.level;
    e.restartAttack(); // a new key on a gated ADSR attacks again from where it is
    e.step();
    EXPECT_GT(e.level, decayed);
    stepsUntil(
        e, [] { return false; }, 44100 * 5);
    // Float coefficients settle within a few millivolts of the exact level.
    EXPECT_NEAR(e.level, 4.0f, 0.01f);
    // A sustain of 10 V is approached from below.
    EnvelopeGen full = make(6);
    full.setSustain(10.0f);
    full.setControl(10.0f);
    float peak = 0.0f;
    for (int i = 0; i < 44100 * 4; ++i, full.step()) peak = std::max(peak, full.level);
    EXPECT_LE(peak, 10.0f);
    EXPECT_NEAR(full.level, 10.0f, 0.01f);
}

TEST(Envelope, ArHoldsAtTheFirstValuePastNineVoltsAndReleasesToIdle) {
    EnvelopeGen e = make(8);
    e.setRelease(0.2f);
    e.setControl(10.0f);
    stepsUntil(e, [&] { return e.level >= 9.0f; });
    const float held = e.level;
    EXPECT_GE(held, 9.0f);
    stepsUntil(
        e, [] { return false; }, 1000);
    EXPECT_EQ(e.level, held);
    e.restartAttack(); // the AR does not restart
    e.step();
    EXPECT_EQ(e.level, held);
    e.setControl(0.0f);
    EXPECT_EQ(e.phase, 1);
    // Idle below a millivolt.
    EXPECT_NEAR(stepsUntil(e, [&] { return e.phase == 2; }) / 44100.0, 0.46, 0.02);
    EXPECT_EQ(e.level, 0.0f);
    e.step();
    EXPECT_EQ(e.level, 0.0f);
}

TEST(Envelope, OnlyAJumpOfMoreThanFiveVoltsGates) {
    EnvelopeGen e = make(6);
    e.setControl(5.0f); // exactly 5 V above the history's 0 V
    EXPECT_EQ(e.phase, 2);
    e.setControl(10.0f); // 10 V above the oldest value: a keyboard gate
    EXPECT_EQ(e.phase, 0);
    EnvelopeGen f = make(6);
    f.setControl(4.9f);
    f.setControl(4.95f);
    EXPECT_EQ(f.phase, 2);
    f.setControl(-1.0f);
    EXPECT_EQ(f.phase, 2); // a fall without a gate is just a gate-off of nothing
}

TEST(Envelope, GateOnDuringReleaseRestartsFromThePresentLevel) {
    EnvelopeGen e = make(6);
    e.setControl(10.0f);
    stepsUntil(
        e, [] { return false; }, 2000);
    e.setControl(0.0f);
    stepsUntil(
        e, [] { return false; }, 500);
    const float before = e.level;
    e.setControl(10.0f);
    e.step();
    EXPECT_GT(e.level, before);
    EXPECT_LT(e.level, before + 0.5f);
}

// From the lowest accepted rate to the highest: the attack takes the same time, and the
// shortest times stay stable (below two samples a time is instant, not unstable).
TEST(Envelope, TimesHoldAndShortestTimesStayStableAtEveryAcceptedRate) {
    for (int rate : {1000, 8000, 44100, 96000, 768000}) {
        SCOPED_TRACE(rate);
        EnvelopeGen a = make(6, rate);
        a.setAttack(0.1f);
        a.setControl(10.0f);
        EXPECT_NEAR(stepsUntil(a, [&] { return a.level > 9.0f; }) / double(rate), 0.058, 0.002);
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

} // namespace
} // namespace moraine
