// The shared reverb: delays, level, line lengths at every accepted rate, idling, overload.
#include "engine/Reverb.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

namespace moraine {
namespace {

// Feeds `send` per sample (the sum of the voices' sends, before the 0.1) with both levels
// at 1 and returns the left output, checking that the right one stays finite.
std::vector<float> render(ReverbModule& r, const std::vector<float>& send,
                          std::vector<float>* right = nullptr) {
    r.leftLevel.setNow(1.0f);
    r.rightLevel.setNow(1.0f);
    std::vector<float> left;
    for (float x : send) {
        r.beginSample();
        r.addSend(x);
        float l = 0, rr = 0;
        r.processSample(l, rr);
        left.push_back(l);
        if (right) right->push_back(rr);
    }
    return left;
}

std::vector<float> impulse(int n) {
    std::vector<float> x(std::size_t(n), 0.0f);
    x[0] = 10.0f;
    return x;
}

int firstNonZero(const std::vector<float>& v) {
    for (std::size_t i = 0; i < v.size(); ++i)
        if (v[i] != 0.0f) return int(i);
    return -1;
}

TEST(Reverb, TheRightChannelArrivesTwentyThreeSamplesLater) {
    auto r = std::make_unique<ReverbModule>();
    r->setSampleRate(44100);
    std::vector<float> right;
    const auto left = render(*r, impulse(4000), &right);
    EXPECT_EQ(firstNonZero(left), 1116);
    EXPECT_EQ(firstNonZero(right), 1139);
    // Input 10 x 0.1 x 0.0001 through one comb and the all-pass chain's direct paths.
    EXPECT_NEAR(std::fabs(left[1116]), 300.0 * 1e-4, 1e-6);
    EXPECT_FLOAT_EQ(r->lastLeft, left.back());
}

// Lines of trunc(rate / 44100 x length), without a capacity limit, from 1 kHz to 768 kHz.
TEST(Reverb, LinesScaleWithEveryAcceptedRate) {
    auto r = std::make_unique<ReverbModule>();
    std::vector<float> noise(20000);
    for (std::size_t i = 0; i < noise.size(); ++i) noise[i] = float((i * 7919) % 200) - 100.0f;
    for (int rate : {1000, 96000, 768000}) {
        SCOPED_TRACE(rate);
        r->setSampleRate(rate);
        auto scaled = [&](float length) { return int(float(rate) / 44100.0f * length); };
        EXPECT_EQ(r->core.combs[0].size, scaled(1116.0f));
        EXPECT_EQ(r->core.combs[8].size, scaled(1139.0f));
        EXPECT_EQ(r->core.combs[15].size, scaled(1640.0f));
        EXPECT_EQ(r->core.allpasses[3].size, scaled(225.0f));
        const int comb = r->core.combs[0].size; // the first to speak, from cleared lines
        EXPECT_EQ(firstNonZero(render(*r, impulse(comb + 100))), comb);
        for (float x : render(*r, noise)) ASSERT_TRUE(std::isfinite(x));
    }
    EXPECT_EQ(r->core.combs[0].size, 19435); // 768000 / 44100 x 1116
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
    for (float x : render(*r, std::vector<float>(3000, 1e9f))) ASSERT_LE(std::fabs(x), 1000.0f);
    for (float x : render(*r, std::vector<float>(10, NAN))) EXPECT_FALSE(std::isnan(x));
    // Afterwards it is silent and works again.
    EXPECT_EQ(render(*r, std::vector<float>(3000, 0.0f)).back(), 0.0f);
    EXPECT_EQ(firstNonZero(render(*r, impulse(2000))), 1116);
}

} // namespace
} // namespace moraine
