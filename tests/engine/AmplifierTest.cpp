#include "engine/Amplifier.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

namespace moraine {
namespace {

TEST(Vca, LinearAndExponentialGainsAdd) {
    VcaModule vca;
    vca.setLinearControl(10.0f);
    EXPECT_FLOAT_EQ(vca.process(1.0f), 1.0f);
    vca.setLinearControl(0.0f);
    vca.setExponentialControl(10.0f);
    EXPECT_NEAR(vca.process(1.0f), 0.99999f, 1e-6f);
    vca.setLinearControl(10.0f);
    EXPECT_NEAR(vca.process(1.0f), 1.99999f, 1e-5f);
    vca.setLinearControl(0.0f);
    vca.setExponentialControl(5.0f);
    EXPECT_NEAR(vca.process(1.0f), 0.240f, 1e-3f);
    vca.setExponentialControl(-1000.0f);
    EXPECT_NEAR(vca.process(1.0f), -0.11111f, 1e-4f);
    vca.setExponentialControl(std::numeric_limits<float>::quiet_NaN());
    vca.initialGainRamp.setNow(10.0f);
    EXPECT_FLOAT_EQ(vca.process(0.5f), 5.0f);
    EXPECT_EQ(vca.process(std::numeric_limits<float>::infinity()), 0.0f);
}

TEST(RingModulator, AudioModeBlocksDcAndDcModeMultiplies) {
    RingModulator ring;
    ring.setSampleRate(44100);
    float out = 0.0f;
    for (int i = 0; i < 44100 * 2; ++i) {
        ring.processA(5.0f);
        ring.processB(std::sin(0.05f * float(i)) * 5.0f);
        out = ring.process(0.0f);
    }
    EXPECT_LT(std::fabs(out), 0.01f); // a constant on A decays away
    // Two tones multiply: the product swings both ways at full size.
    float peak = 0.0f;
    for (int i = 0; i < 4410; ++i) {
        ring.processA(5.0f * std::sin(0.07f * float(i)));
        ring.processB(5.0f * std::sin(0.011f * float(i)));
        peak = std::max(peak, std::fabs(ring.process(0.0f)));
    }
    EXPECT_GT(peak, 20.0f);
    ring.setMode(2);
    ring.processA(3.0f);
    ring.processB(-2.0f);
    EXPECT_FLOAT_EQ(ring.process(0.0f), -6.0f);
    EXPECT_FLOAT_EQ(ring.process(0.0f), -6.0f);
}

TEST(Inverter, TurnsTheSignOver) {
    Inverter inv;
    EXPECT_EQ(inv.process(10.0f), -10.0f);
    EXPECT_EQ(inv.process(std::numeric_limits<float>::quiet_NaN()), 0.0f);
}

TEST(ElectronicSwitch, FollowsTheClockInBothDirections) {
    ElectronicSwitch s;
    EXPECT_EQ(s.processC(1.0f), 0.0f); // no direction yet
    s.setDirection(1);
    s.processA(3.0f);
    s.processB(4.0f);
    s.setControlC(10.0f);
    EXPECT_EQ(s.processC(0.0f), 3.0f);
    s.setControlC(0.0f);
    EXPECT_EQ(s.processC(0.0f), 4.0f);
    s.setDirection(2);
    s.processC(7.0f);
    s.setControlC(10.0f);
    EXPECT_EQ(s.processA(0.0f), 7.0f);
    EXPECT_EQ(s.processB(0.0f), 0.0f);
    s.setControlC(0.5f); // exactly half way: neither
    EXPECT_EQ(s.processA(0.0f), 0.0f);
    EXPECT_EQ(s.processB(0.0f), 0.0f);
}

TEST(Pan, CosineLawOnTheFarSide) {
    PanControl pan;
    pan.positionRamp.setNow(0.75f);
    pan.updateGains();
    EXPECT_NEAR(pan.leftGain, 0.7071f, 1e-4f);
    EXPECT_EQ(pan.rightGain, 1.0f);
    pan.positionRamp.setNow(0.0f);
    pan.updateGains();
    EXPECT_EQ(pan.leftGain, 1.0f);
    EXPECT_NEAR(pan.rightGain, 0.0f, 1e-6f);
}

} // namespace
} // namespace moraine
