#include "engine/Reverb.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

namespace moraine {
namespace {

struct Wet {
    std::vector<float> left, right;
};

// Feeds `send` per sample (the sum of the voices' sends, before the 0.1) with both levels
// at 1 and returns the scaled outputs.
Wet render(ReverbModule& r, const std::vector<float>& send) {
    r.leftLevel.setNow(1.0f);
    r.rightLevel.setNow(1.0f);
    Wet out;
    for (float x : send) {
        r.beginSample();
        r.addSend(x);
        float l = 0, rr = 0;
        r.processSample(l, rr);
        out.left.push_back(l);
        out.right.push_back(rr);
    }
    return out;
}

int firstNonZero(const std::vector<float>& v) {
    for (std::size_t i = 0; i < v.size(); ++i)
        if (v[i] != 0.0f) return int(i);
    return -1;
}

TEST(Reverb, TheRightChannelArrivesTwentyThreeSamplesLater) {
    auto r = std::make_unique<ReverbModule>();
    r->setSampleRate(44100);
    std::vector<float> impulse(4000, 0.0f);
    impulse[0] = 10.0f;
    const Wet out = render(*r, impulse);
    EXPECT_EQ(firstNonZero(out.left), 1116);
    EXPECT_EQ(firstNonZero(out.right), 1139);
    // Input 10 x 0.1 x 0.0001 through one comb and the all-pass chain's direct paths.
    EXPECT_NEAR(std::fabs(out.left[1116]), 300.0 * 1e-4, 1e-6);
    EXPECT_FLOAT_EQ(r->lastLeft, out.left.back());
}

TEST(Reverb, LinesScaleWithTheSampleRateWithoutACapacityLimit) {
    auto r = std::make_unique<ReverbModule>();
    r->setSampleRate(96000);
    EXPECT_EQ(r->core.combs[0].size, 2429);
    EXPECT_EQ(r->core.combs[8].size, int(96000.0f / 44100.0f * 1139.0f));
    r->setSampleRate(384000);
    EXPECT_EQ(r->core.combs[15].size, int(384000.0f / 44100.0f * 1640.0f));
    std::vector<float> noise(20000);
    for (std::size_t i = 0; i < noise.size(); ++i) noise[i] = float((i * 7919) % 200) - 100.0f;
    const Wet out = render(*r, noise);
    for (float x : out.left) ASSERT_TRUE(std::isfinite(x));
    r->setSampleRate(8000);
    EXPECT_EQ(r->core.allpasses[3].size, int(8000.0f / 44100.0f * 225.0f));
}

TEST(Reverb, IdleWhileBothLevelsAreOffAndNobodyReadsTheJack) {
    auto r = std::make_unique<ReverbModule>();
    r->beginSample();
    r->addSend(10.0f);
    float l = 1, rr = 1;
    r->processSample(l, rr);
    EXPECT_EQ(l, 0.0f);
    EXPECT_EQ(r->core.combs[0].index, 0); // the lines did not move
    // Reading the jack keeps it running even with the levels off.
    r->beginSample();
    r->output(0);
    r->processSample(l, rr);
    EXPECT_EQ(r->core.combs[0].index, 1);
    // The bottom of the level sliders is -0.001, which is not off: the reverb runs.
    r->leftLevel.setNow(-0.001f);
    r->beginSample();
    r->processSample(l, rr);
    EXPECT_EQ(r->core.combs[0].index, 2);
}

TEST(Reverb, AnOverloadEmptiesTheLines) {
    auto r = std::make_unique<ReverbModule>();
    std::vector<float> huge(3000, 1e9f);
    const Wet out = render(*r, huge);
    for (float x : out.left) ASSERT_LE(std::fabs(x), 1000.0f);
    std::vector<float> bad(10, NAN);
    const Wet poisoned = render(*r, bad);
    for (float x : poisoned.left) EXPECT_FALSE(std::isnan(x));
    // Afterwards it is silent and works again.
    std::vector<float> silence(3000, 0.0f);
    const Wet after = render(*r, silence);
    EXPECT_EQ(after.left.back(), 0.0f);
    std::vector<float> impulse(2000, 0.0f);
    impulse[0] = 10.0f;
    EXPECT_EQ(firstNonZero(render(*r, impulse).left), 1116);
}

} // namespace
} // namespace moraine
