// Notes into voltages, gates and triggers.
#include "engine/KeyboardController.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
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
    KeyboardLfo& lfo() { return shared.store->lfo; }

    SharedModules shared;
    std::vector<std::unique_ptr<Voice>> voices;
    KeyboardController kb;
};

TEST_F(Keyboard, TwoNotesSplitBetweenTheLowerAndUpperVoltages) {
    kb.noteEvent(60, 100);
    kb.noteEvent(67, 100);
    EXPECT_FLOAT_EQ(lower(), volts(60));
    EXPECT_FLOAT_EQ(upper(), volts(67));
    kb.noteEvent(64, 100);
    EXPECT_FLOAT_EQ(upper(), volts(67));
    kb.noteEvent(67, 0);
    EXPECT_FLOAT_EQ(upper(), volts(64)); // the highest key still held
    EXPECT_EQ(mods().kbdGate.output(0), 10.0f);
    kb.noteEvent(60, 0);
    kb.noteEvent(64, 0);
    EXPECT_EQ(mods().kbdGate.output(0), 0.0f);
    // The external gate opens on jumps of more than 5 V.
    KeyboardGate& g = mods().kbdGate;
    for (auto [in, out] : {std::pair{5.0f, 0.0f}, {10.0f, 10.0f}, {0.0f, 0.0f}}) {
        g.setControl(in);
        EXPECT_EQ(g.output(0), out) << in;
    }
}

TEST_F(Keyboard, ALatchedIntervalFollowsTheLowestKey) {
    kb.noteEvent(60, 100);
    kb.noteEvent(67, 100);
    kb.latchedInterval = kb.upperKey - kb.lowerKey;
    kb.intervalLatchOn = true;
    kb.noteEvent(60, 0);
    kb.noteEvent(67, 0);
    kb.noteEvent(48, 100);
    EXPECT_FLOAT_EQ(lower(), volts(48));
    EXPECT_FLOAT_EQ(upper(), volts(55));
    // Past the top of the keyboard the upper voltage stays at the last key's.
    kb.noteEvent(48, 0);
    kb.noteEvent(125, 100);
    EXPECT_FLOAT_EQ(upper(), volts(127));
}

TEST_F(Keyboard, TheTriggerFiresOnceOrOnEveryKey) {
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
}

TEST_F(Keyboard, NotesGateTheEnvelopesWhenTheKeyboardDoes) {
    kb.noteEvent(60, 100);
    EXPECT_EQ(mods().adsr.phase, 0);
    EXPECT_EQ(mods().ar.phase, 0);
    kb.noteEvent(60, 0);
    kb.keyboardGatesEnvelopes = false;
    EnvelopeGen idle = mods().adsr;
    idle.reset();
    mods().adsr = idle;
    kb.noteEvent(62, 100);
    EXPECT_EQ(mods().adsr.phase, 2);
}

TEST_F(Keyboard, PortamentoGlidesLinearly) {
    Voice& v = *voices[0];
    KeyboardCv& cv = v.mods.kbdLower;
    cv.setPortamentoTime(0.5f);
    kb.noteEvent(48, 100);
    kb.noteEvent(48, 0);
    cv.setPortamento(1);
    kb.noteEvent(72, 100);
    const float from = volts(48), to = volts(72);
    int samples = 0;
    while (!cv.noteRamp.settled && samples < 100000) {
        advanceRamps(v);
        ++samples;
        if (samples == 11025) {
            EXPECT_NEAR(cv.noteRamp.current, (from + to) / 2, 0.01f);
        }
    }
    // 22051 steps, give or take the float rounding that accumulates along the glide.
    EXPECT_NEAR(samples, 22051, 50);
    EXPECT_FLOAT_EQ(cv.noteRamp.current, to);
}

TEST_F(Keyboard, VibratoWaitsForItsDelayThenFadesIn) {
    KeyboardLfo& l = lfo();
    l.setSpeed(5.0f);
    l.setDelay(2.0f);
    kb.noteEvent(60, 100);
    float peakBefore = 0.0f, peakFade = 0.0f, peakAfter = 0.0f;
    for (int n = 0; n < 44100 * 5; ++n) {
        l.tick();
        const float s = std::fabs(l.output(kLfoDelayedSine));
        const double t = n / 44100.0;
        if (t < 1.99)
            peakBefore = std::max(peakBefore, s);
        else if (t > 2.0 && t < 2.5)
            peakFade = std::max(peakFade, s);
        else if (t > 4.01)
            peakAfter = std::max(peakAfter, s);
    }
    EXPECT_EQ(peakBefore, 0.0f);
    EXPECT_GT(peakFade, 0.1f);
    EXPECT_LT(peakFade, 0.3f);
    EXPECT_NEAR(peakAfter, 1.0f, 1e-3f);
    kb.noteEvent(60, 0);
    l.tick();
    EXPECT_EQ(l.output(kLfoDelayedSine), 0.0f);
}

TEST_F(Keyboard, LfoSquareAndTriangle) {
    KeyboardLfo& l = lfo();
    l.setPhase(0.0f);
    l.setSpeed(441.0f); // 100 samples a cycle
    EXPECT_EQ(l.output(kLfoSquare), 10.0f);
    EXPECT_FLOAT_EQ(l.output(kLfoTriangle), -1.0f);
    for (int i = 0; i < 51; ++i) l.tick();
    EXPECT_EQ(l.output(kLfoSquare), 0.0f);
    EXPECT_NEAR(l.output(kLfoTriangle), -0.02f, 1e-4f);
    l.syncPhase = 3.25f;
    EXPECT_EQ(l.syncedOutput(kLfoSquare), 10.0f);
    EXPECT_FLOAT_EQ(l.syncedOutput(kLfoTriangle), -0.5f);
}

TEST_F(Keyboard, PolyphonyRotatesAndStealsTheNextVoice) {
    kb.setExtraVoices(1);
    kb.noteEvent(60, 100);
    kb.noteEvent(64, 100);
    const int first = kb.voiceKey[0] == 60 ? 0 : 1;
    EXPECT_EQ(kb.voiceKey[1 - first], 64);
    EXPECT_FLOAT_EQ(lower(first), volts(60));
    kb.noteEvent(67, 100); // both busy: the voice after the one used last
    EXPECT_EQ(kb.voiceKey[first], 67);
    EXPECT_FLOAT_EQ(lower(first), volts(67));
    kb.noteEvent(64, 0);
    EXPECT_EQ(mods(1 - first).kbdGate.output(0), 0.0f);
    EXPECT_EQ(mods(first).kbdGate.output(0), 10.0f);
}

TEST_F(Keyboard, EqualTemperamentAnOctaveBelowAndATuningDumpRetunesKeys) {
    EXPECT_NEAR(kb.keyVolts[69], std::log2(44.0), 1e-5);
    EXPECT_NEAR(kb.keyFrequency[60], 261.6256f, 1e-3f);
    kb.noteEvent(69, 100);
    EXPECT_NEAR(lower(), 4.459f, 1e-3f); // an oscillator at 0 V plays 220 Hz
    std::vector<unsigned char> entries(128 * 3, 127);
    const unsigned char key60[] = {60, 64, 0}, key61[] = {69, 0, 0}; // a quarter tone up; A 440
    std::copy(key60, key60 + 3, entries.begin() + 3 * 60);
    std::copy(key61, key61 + 3, entries.begin() + 3 * 61);
    const float before62 = kb.keyVolts[62];
    kb.applyTuning(entries.data());
    EXPECT_NEAR(kb.keyFrequency[60], 261.6256 * std::pow(2.0, 0.5 / 12), 1e-2);
    EXPECT_NEAR(kb.keyFrequency[61], 440.0f, 1e-3f);
    EXPECT_NEAR(kb.keyVolts[61], std::log2(44.0), 1e-5);
    EXPECT_EQ(kb.keyVolts[62], before62);
}

} // namespace
} // namespace moraine
