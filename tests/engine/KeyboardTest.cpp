// Notes into voltages, gates and triggers.
#include "engine/KeyboardController.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <memory>
#include <utility>
#include <vector>

namespace moraine {
namespace {

class Keyboard : public ::testing::Test {
protected:
    void SetUp() override {
        Voice* raw[kMaxVoices];
        for (int i = 0; i < kMaxVoices; ++i) {
            voices.push_back(std::make_unique<Voice>());
            buildVoice(*voices.back(), 44100, shared);
            settleRamps(*voices.back());
            raw[i] = voices.back().get();
        }
        kb.attach(raw, &shared);
    }
    VoiceModules& mods(int v = 0) { return voices[std::size_t(v)]->mods; }
    float lower(int v = 0) { return mods(v).kbdLower.output(0); }
    float upper(int v = 0) { return mods(v).kbdUpper.output(0); }
    float volts(int key) { return kb.keyVolts[key] - 1.0f; }
    void notes(std::initializer_list<std::pair<int, int>> events) {
        for (auto [key, velocity] : events) kb.noteEvent(key, velocity);
    }

    SharedModules shared;
    std::vector<std::unique_ptr<Voice>> voices;
    KeyboardController kb;
};

TEST_F(Keyboard, TwoNotesSplitBetweenTheLowerAndUpperVoltages) {
    notes({{60, 100}, {67, 100}});
    EXPECT_EQ(std::pair(lower(), upper()), std::pair(volts(60), volts(67)));
    kb.noteEvent(64, 100);
    EXPECT_FLOAT_EQ(upper(), volts(67));
    kb.noteEvent(67, 0);
    EXPECT_FLOAT_EQ(upper(), volts(64)); // the highest key still held
    EXPECT_EQ(mods().kbdGate.output(0), 10.0f);
    notes({{60, 0}, {64, 0}});
    EXPECT_EQ(mods().kbdGate.output(0), 0.0f);
    // The external gate opens on jumps of more than 5 V.
    KeyboardGate& g = mods().kbdGate;
    for (auto [in, out] : {std::pair{5.0f, 0.0f}, {10.0f, 10.0f}, {0.0f, 0.0f}}) {
        g.setControl(in);
        EXPECT_EQ(g.output(0), out) << in;
    }
    // Latched past the top of the keyboard, the upper voltage stays at the last key's.
    kb.latchedInterval = 7;
    kb.intervalLatchOn = true;
    kb.noteEvent(125, 100);
    EXPECT_FLOAT_EQ(upper(), volts(127));
}

TEST_F(Keyboard, TheTriggerFiresOnceOrOnEveryKeyAndNotesGateTheEnvelopes) {
    auto fired = [&] {
        mods().kbdTrigger.tick();
        return mods().kbdTrigger.output(0) == 15.0f;
    };
    kb.noteEvent(60, 100);
    EXPECT_TRUE(fired());
    EXPECT_FALSE(fired()); // one sample long
    kb.noteEvent(62, 100);
    EXPECT_FALSE(fired());
    kb.keyboardTriggerMultiple = true;
    kb.noteEvent(64, 100);
    EXPECT_TRUE(fired());
    // Notes gate the envelopes only while the keyboard does.
    EXPECT_EQ(std::pair(mods().adsr.phase, mods().ar.phase), std::pair(0, 0));
    notes({{60, 0}, {62, 0}, {64, 0}});
    kb.keyboardGatesEnvelopes = false;
    mods().adsr.reset();
    kb.noteEvent(62, 100);
    EXPECT_EQ(mods().adsr.phase, 2);
}

TEST_F(Keyboard, PortamentoGlidesLinearly) {
    Voice& v = *voices[0];
    KeyboardCv& cv = v.mods.kbdLower;
    cv.setPortamentoTime(0.5f);
    notes({{48, 100}, {48, 0}});
    cv.setPortamento(1);
    kb.noteEvent(72, 100);
    const float from = volts(48), to = volts(72);
    int samples = 0;
    for (; !cv.noteRamp.settled && samples < 100000; ++samples) {
        advanceRamps(v);
        EXPECT_TRUE(samples != 11024 || std::fabs(cv.noteRamp.current - (from + to) / 2) < 0.01f);
    }
    // 22051 steps, give or take the float rounding that accumulates along the glide.
    EXPECT_NEAR(samples, 22051, 50);
    EXPECT_FLOAT_EQ(cv.noteRamp.current, to);
}

TEST_F(Keyboard, VibratoWaitsForItsDelayThenFadesIn) {
    KeyboardLfo& l = shared.store->lfo;
    l.setSpeed(5.0f);
    l.setDelay(2.0f);
    kb.noteEvent(60, 100);
    float peak[3] = {}; // before the delay, fading in, faded in
    for (int n = 0; n < 44100 * 5; ++n) {
        l.tick();
        const double t = n / 44100.0;
        const int part = t < 1.99 ? 0 : t > 2.0 && t < 2.5 ? 1 : t > 4.01 ? 2 : -1;
        if (part >= 0) peak[part] = std::max(peak[part], std::fabs(l.output(kLfoDelayedSine)));
    }
    EXPECT_EQ(peak[0], 0.0f);
    EXPECT_TRUE(peak[1] > 0.1f && peak[1] < 0.3f) << peak[1];
    EXPECT_NEAR(peak[2], 1.0f, 1e-3f);
    kb.noteEvent(60, 0);
    l.tick();
    EXPECT_EQ(l.output(kLfoDelayedSine), 0.0f);
}

} // namespace
} // namespace moraine
