// The plug-in object with its engine: parameter application, the output stage, meters,
// patch-change fades, notes and the panel's buttons.
#include "PluginTestSupport.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <thread>

namespace moraine {
namespace {

using testing::LivePlugin;

Voice& voice(Moraine_VST& p, int v) { return EngineAccess::voice(p, v); }

TEST(PluginParameters, HostValuesAndCordsReachEveryVoice) {
    LivePlugin live;
    Moraine_VST& p = *live.plugin;
    p.setParameter(33, 0.5f);
    p.setParameter(107, 0.058f); // pl18 from pl58, the first oscillator's selector 2
    live.render();
    for (int v = 0; v < kMaxVoices; ++v) {
        EXPECT_NEAR(voice(p, v).mods.adsr.attackTime, 50.0015f, 1e-3f);
        EXPECT_EQ(voice(p, v).link(kLinkVcfVco1).source, &voice(p, v).node(kNodeVco1));
        EXPECT_EQ(voice(p, v).link(kLinkVcfVco1).selector, 2);
    }
    p.setParameter(107, 0.018f); // a cord to the jack itself is no cord
    live.render();
    EXPECT_EQ(voice(p, 8).link(kLinkVcfVco1).selector, 4);
    // Far more changes than the hand-over holds, with no render in between: the last win.
    for (int round = 0; round < 200; ++round)
        for (int i = 2; i < 90; ++i) p.setParameter(i, float(round % 7) / 7.0f);
    p.setParameter(33, 0.25f);
    p.setParameter(107, 0.058f);
    live.render();
    EXPECT_NEAR(voice(p, 5).mods.adsr.attackTime, 0.003f + 99.997f * 0.25f, 1e-3f);
    EXPECT_EQ(voice(p, 5).link(kLinkVcfVco1).selector, 2);
    EXPECT_NEAR(voice(p, 0).mods.vcf.resonance, float(199 % 7) / 7.0f, 1e-6f);
    // Every voice takes a new rate, not only those playing.
    p.setSampleRate(96000.0f);
    for (int v = 0; v < kMaxVoices; ++v) EXPECT_EQ(voice(p, v).sampleRate, 96000) << v;
}

// The meters hold the block's sum of squares, read zero in bypass, and fall by 0.9999 a
// sample once the sound has stopped, to silence.
TEST(PluginOutput, TheMetersHoldTheBlocksSumOfSquaresAndFallAfterTheSound) {
    LivePlugin live;
    Moraine_VST& p = *live.plugin;
    p.setParameter(81, 0.0f);
    live.cord("pl71", "pl27"); // the keyboard trigger: one sample of 15 V on both sides
    live.cord("pl75", "pl27");
    live.render();
    live.midi(100, 0x90, 60, 100);
    live.render();
    float sum = 0.0f; // summed as the output stage sums it
    for (float x : live.left) sum += x * x;
    PanelSnapshot snap;
    auto meters = [&](int blocks, double expected, double within) {
        for (int b = 0; b < blocks; ++b) live.render();
        p.panelHost().snapshot(snap);
        EXPECT_NEAR(snap.meterLeft, expected, within) << blocks;
        EXPECT_NEAR(snap.meterRight, expected, within) << blocks;
    };
    meters(0, sum, sum * 5e-7);
    meters(10, sum * std::pow(0.9999, 5120), sum * 1e-3);
    meters(300, 0.0, sum * 1e-6); // 3.3 s
    live.cord("pl71", "pl54");
    std::fill(live.inLeft.begin(), live.inLeft.end(), 0.5f);
    live.render();
    EXPECT_GT(p.leftMeter(), 0.0f);
    p.setParameter(1, 0.0f); // bypass
    live.render();
    EXPECT_TRUE(std::all_of(live.left.begin(), live.left.end(), [](float x) { return x == 0; }));
    EXPECT_EQ(p.leftMeter(), 0.0f);
    EXPECT_EQ(p.rightMeter(), 0.0f);
    p.setParameter(1, 1.0f);
    live.render();
    EXPECT_GT(p.leftMeter(), 0.0f);
}

// The pan law itself is the module's test; here, that steps far smaller than a slider's
// pixel still move the position the gains follow.
TEST(PluginOutput, SmallPanMovesStillMoveIt) {
    LivePlugin live(48000.0f, 64);
    Moraine_VST& p = *live.plugin;
    for (float pos = 0.5f; pos < 0.8f; pos += 0.003f) {
        p.setParameter(45, pos);
        live.render();
    }
    const PanControl& pan = EngineAccess::shared(p).store->panControl;
    EXPECT_NEAR(pan.leftGain, std::cos((pan.positionRamp.current - 0.5) * 3.1415927), 1e-6);
    EXPECT_LT(pan.leftGain, 0.62f);
}

// A patch that records when it was applied.
struct RecordingPatch : PendingPatch {
    void apply(Moraine_VST& p) override {
        applied = true;
        gainWhenApplied = p.fadeGain();
        p.setFromEngineValue(33, 2.0f);
    }
    std::atomic<bool> applied{false};
    float gainWhenApplied = -1.0f;
};

TEST(PatchChange, FadesOutInNineBlocksAndBackInWithoutNegativeGain) {
    LivePlugin live(44100.0f, 512);
    Moraine_VST& p = *live.plugin;
    live.render();
    RecordingPatch patch;
    std::thread changer([&] { p.beginPatchChange(&patch, true); });
    while (!p.patchPending()) std::this_thread::yield();
    std::vector<float> gains;
    while (!patch.applied && gains.size() < 1000) {
        live.render();
        gains.push_back(p.fadeGain());
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    changer.join();
    ASSERT_TRUE(patch.applied);
    EXPECT_EQ(patch.gainWhenApplied, 0.0f);
    const float step = 512.0f / 44100.0f * 10.0f;
    for (int i = 0; i < 8; ++i) EXPECT_NEAR(gains[i], 1.0f - step * float(i + 1), 1e-5f) << i;
    EXPECT_EQ(gains[8], 0.0f);
    for (float g : gains) EXPECT_GE(g, 0.0f);
    // While faded out the new patch's ramps run at the fast rate.
    EXPECT_FLOAT_EQ(voice(p, 0).rampRate, 44100.0f / 40.0f);
    int blocks = 0;
    for (; p.fadeGain() < 1.0f && blocks < 100; ++blocks) live.render();
    EXPECT_EQ(blocks, 9);
    EXPECT_FLOAT_EQ(voice(p, 0).rampRate, 44100.0f / 4000.0f);
}

// Without an audio thread the change lands at once; held notes are released and played again.
TEST(PatchChange, WithoutAnAudioThreadTheChangeLandsAndHeldNotesPlayOn) {
    LivePlugin live;
    Moraine_VST& p = *live.plugin;
    live.midi(0, 0x90, 60, 90);
    live.render();
    ASSERT_TRUE(p.noteHeld(60));
    RecordingPatch patch;
    p.beginPatchChange(&patch, false);
    EXPECT_TRUE(patch.applied);
    EXPECT_FALSE(p.patchPending());
    live.render();
    EXPECT_NEAR(voice(p, 0).mods.adsr.attackTime, 2.0f, 1e-4f);
    EXPECT_TRUE(p.noteHeld(60));
    EXPECT_EQ(EngineAccess::keyboard(p).velocity[0][60], 90);
}

TEST(Notes, SuspendReleasesEverything) {
    LivePlugin live(48000.0f, 64);
    Moraine_VST& p = *live.plugin;
    p.setParameter(81, 1.0f);
    for (int k : {40, 50, 60}) live.midi(0, 0x90, k, 100);
    live.render();
    EXPECT_TRUE(p.noteHeld(50));
    p.suspend();
    for (int k = 0; k < 128; ++k) EXPECT_FALSE(p.noteHeld(k)) << k;
    for (int v = 0; v < kMaxVoices; ++v) EXPECT_EQ(voice(p, v).mods.kbdGate.keyHeld, 0) << v;
}

// Controls that reach the voices directly, each with what a voice then shows.
TEST(PanelControls, ButtonsOctaveAndGateRoutingReachTheVoices) {
    LivePlugin live;
    Moraine_VST& p = *live.plugin;
    p.envelopeTrigger(true);
    live.render();
    EXPECT_EQ(voice(p, 0).mods.adsr.phase, 0);
    EXPECT_EQ(voice(p, 0).mods.ar.phase, 0);
    EXPECT_EQ(voice(p, 1).mods.adsr.phase, 2);
    p.envelopeTrigger(false);
    live.render();
    EXPECT_NE(voice(p, 0).mods.adsr.phase, 0);
    p.setParameter(69, 1.0f); // glide off
    live.render();
    p.portamentoTrigger(true);
    live.render();
    for (int v = 0; v < kMaxVoices; ++v) EXPECT_EQ(voice(p, v).mods.kbdUpper.portamentoOn, 1);
    p.portamentoTrigger(false);
    live.render();
    EXPECT_EQ(voice(p, 8).mods.kbdLower.portamentoOn, 0);
    p.setParameter(kParamPortamentoSpeed, 1.0f); // the slowest glide, on both keyboards
    live.render();
    EXPECT_EQ(voice(p, 4).mods.kbdLower.portamentoTime, 2.0f);
    EXPECT_EQ(voice(p, 4).mods.kbdUpper.portamentoTime, 2.0f);
    // Octave, -2 .. 2: 0.75 is +1 and 0.975 +1.9, shifting only at the range's ends.
    for (auto [host, offset] :
         {std::pair{0.75f, 0.0f}, {0.975f, 2.0f}, {0.0f, -2.0f}, {0.5f, 0.0f}}) {
        p.setParameter(64, host);
        live.render();
        EXPECT_EQ(voice(p, 4).mods.kbdLower.octaveOffset, offset) << host;
        EXPECT_EQ(voice(p, 4).mods.kbdUpper.octaveOffset, offset) << host;
    }
    // The keyboard LFO's square into the envelope gate, by gate source (38), repeat mode
    // (63: host 1.0 is mode 0, 0.5 mode 1, 0.0 mode 2) and a held key: it repeats only while
    // the keyboard gates.
    struct Case {
        float gateSource, repeat;
        bool keyHeld, lfoOn;
    };
    for (const Case c : {Case{1, 0, false, true}, Case{1, 0.5f, true, false},
                         Case{1, 1, false, false}, Case{1, 1, true, true}, Case{0, 0, true, false},
                         Case{0, 1, true, false}}) {
        SCOPED_TRACE(::testing::Message() << c.gateSource << " " << c.repeat << " " << c.keyHeld);
        LivePlugin gate;
        gate.plugin->setParameter(81, 0.0f);
        gate.plugin->setParameter(38, c.gateSource);
        if (c.keyHeld) gate.midi(0, 0x90, 60, 100);
        gate.render();
        gate.plugin->setParameter(63, c.repeat);
        gate.render();
        const Voice& v = voice(*gate.plugin, 0);
        EXPECT_EQ(v.links[kLinkEnvGateLfo].ramp.current, c.lfoOn ? 1.0f : 0.0f);
        EXPECT_EQ(v.links[kLinkEnvGateKbd].ramp.current, c.gateSource > 0.5f ? 1.0f : 0.0f);
        EXPECT_EQ(v.links[kLinkEnvGateClock].ramp.current, c.gateSource > 0.5f ? 0.0f : 1.0f);
        // Choosing the source again, under the mode already set, comes to the same.
        gate.plugin->setParameter(38, c.gateSource);
        gate.render();
        EXPECT_EQ(v.links[kLinkEnvGateLfo].ramp.current, c.lfoOn ? 1.0f : 0.0f);
    }
}

} // namespace
} // namespace moraine
