// The plug-in object with its engine: parameter application, the output stage, meters,
// patch-change fades and note timing.
#include "PluginTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <numbers>
#include <thread>

namespace moraine {
namespace {

using testing::LivePlugin;

bool allFinite(const std::vector<float>& v) {
    return std::all_of(v.begin(), v.end(), [](float x) { return std::isfinite(x); });
}

TEST(PluginParameters, HostValuesBecomeEngineValuesInEveryVoice) {
    LivePlugin live;
    Moraine_VST& p = *live.plugin;
    p.setParameter(33, 0.5f);
    EXPECT_NEAR(p.engineValue(33), 50.0015f, 1e-3f);
    EXPECT_NEAR(p.getParameter(33), 0.5f, 1e-6f);
    live.render();
    for (int v = 0; v < kMaxVoices; ++v)
        EXPECT_NEAR(EngineAccess::voice(p, v).mods.adsr.attackTime, 50.0015f, 1e-3f);

    p.setParameter(81, 1.0f);
    live.render();
    EXPECT_EQ(p.extraVoiceCount(), 8);
    p.setParameter(81, 0.0f);
    live.render();
    EXPECT_EQ(p.extraVoiceCount(), 0);

    // Levels whose range starts at 0.01 reach level 0 at the slider's bottom.
    p.setParameter(8, 0.0f);
    p.setParameter(42, 1.0f);
    live.render();
    EXPECT_FLOAT_EQ(EngineAccess::voice(p, 3).link(kLinkVco1Adsr).ramp.target, 0.0f);
    EXPECT_FLOAT_EQ(EngineAccess::voice(p, 3).link(kLinkVcaRing).ramp.target, -1.0f);
}

TEST(PluginParameters, AJackParameterPlugsACordInAllNineVoices) {
    LivePlugin live;
    Moraine_VST& p = *live.plugin;
    p.setParameter(107, 0.058f); // pl18 from pl58, the first oscillator's selector 2
    EXPECT_FLOAT_EQ(p.getParameter(107), 0.058f);
    live.render();
    for (int v = 0; v < kMaxVoices; ++v) {
        const Link& l = EngineAccess::voice(p, v).link(kLinkVcfVco1);
        EXPECT_EQ(l.source, &EngineAccess::voice(p, v).node(kNodeVco1));
        EXPECT_EQ(l.selector, 2);
    }
    p.setParameter(107, 0.057f);
    live.render();
    EXPECT_EQ(EngineAccess::voice(p, 8).link(kLinkVcfVco1).selector, 4);
    EXPECT_FLOAT_EQ(p.getParameter(107), 0.057f);

    // A cord to the jack itself is no cord.
    p.setParameter(107, 0.058f);
    p.setParameter(107, 0.018f);
    live.render();
    EXPECT_EQ(EngineAccess::voice(p, 0).link(kLinkVcfVco1).selector, 4);
}

TEST(PluginParameters, BadValuesAreRefusedOrClamped) {
    LivePlugin live;
    Moraine_VST& p = *live.plugin;
    const float before = p.getParameter(33);
    p.setParameter(33, std::nanf(""));
    EXPECT_FLOAT_EQ(p.getParameter(33), before);
    p.setParameter(33, INFINITY);
    EXPECT_FLOAT_EQ(p.getParameter(33), 1.0f);
    p.setParameter(33, -5.0f);
    EXPECT_FLOAT_EQ(p.getParameter(33), 0.0f);
    p.setParameter(-1, 0.5f);
    p.setParameter(179, 0.5f);
    p.setParameter(1 << 30, 0.5f);
    p.setParameter(0, 0.0f); // the placeholder does nothing
    EXPECT_EQ(p.getParameter(179), 0.0f);
    EXPECT_EQ(p.getParameter(-7), 0.0f);
    p.setParameter(150, 0.999f); // no jack 999
    live.render();
    EXPECT_TRUE(allFinite(live.left));

    char text[64];
    for (int bad : {-1, 0, 179, 100000}) {
        std::fill(std::begin(text), std::end(text), 'x');
        p.getParameterName(bad, text);
        EXPECT_STREQ(text, "");
        p.getParameterLabel(bad, text);
        EXPECT_STREQ(text, "");
        p.getParameterDisplay(bad, text);
        EXPECT_STREQ(text, "");
    }
    p.getParameterName(178, text);
    EXPECT_STREQ(text, "Multiple 4 Plug");
}

TEST(PluginParameters, AFloodOfChangesEndsInTheLastValues) {
    LivePlugin live;
    Moraine_VST& p = *live.plugin;
    // Far more changes than the hand-over holds, with no render in between.
    for (int round = 0; round < 200; ++round)
        for (int i = 2; i < 90; ++i) p.setParameter(i, float(round % 7) / 7.0f);
    p.setParameter(33, 0.25f);
    p.setParameter(107, 0.058f);
    live.render();
    EXPECT_NEAR(EngineAccess::voice(p, 5).mods.adsr.attackTime, 0.003f + 99.997f * 0.25f, 1e-3f);
    EXPECT_EQ(EngineAccess::voice(p, 5).link(kLinkVcfVco1).selector, 2);
    EXPECT_NEAR(EngineAccess::voice(p, 0).mods.vcf.resonance, float(199 % 7) / 7.0f, 1e-6f);
}

TEST(PluginOutput, BypassSilencesBothOutputsAndTheMeters) {
    LivePlugin live;
    Moraine_VST& p = *live.plugin;
    live.cord("pl71", "pl54");
    std::fill(live.inLeft.begin(), live.inLeft.end(), 0.5f);
    live.render();
    EXPECT_GT(p.leftMeter(), 0.0f);
    p.setParameter(1, 0.0f);
    live.render();
    EXPECT_TRUE(std::all_of(live.left.begin(), live.left.end(), [](float x) { return x == 0; }));
    EXPECT_TRUE(std::all_of(live.right.begin(), live.right.end(), [](float x) { return x == 0; }));
    EXPECT_EQ(p.leftMeter(), 0.0f);
    EXPECT_EQ(p.rightMeter(), 0.0f);
    p.setParameter(1, 1.0f);
    live.render();
    EXPECT_GT(p.leftMeter(), 0.0f);
}

TEST(PluginOutput, TheDcBlockerRemovesAConstantDirectInput) {
    const float rate = 48000.0f;
    LivePlugin live(rate, 4800);
    live.plugin->setParameter(81, 0.0f); // one voice, so the input is summed once
    live.cord("pl71", "pl53");           // the second audio input has unit gain
    std::fill(live.inRight.begin(), live.inRight.end(), 1.0f);
    live.render();
    const double r = 1.0 - 10.0 / rate;
    // 0.1 x 1.0 into the left direct input, doubled by the blocker's output gain.
    EXPECT_NEAR(live.left[0], 0.2f, 1e-6f);
    for (int n : {1, 100, 4799}) EXPECT_NEAR(live.left[n], 0.2 * std::pow(r, n), 1e-4) << n;
    EXPECT_LT(live.left[4799], 0.2f * 0.4f);
    EXPECT_TRUE(std::all_of(live.right.begin(), live.right.end(), [](float x) { return x == 0; }));
}

TEST(PluginOutput, TheMeterHoldsTheBlocksSumOfSquares) {
    LivePlugin live(48000.0f, 256);
    live.cord("pl71", "pl54");
    live.cord("pl75", "pl54");
    std::fill(live.inLeft.begin(), live.inLeft.end(), 1.0f);
    live.render();
    double sum = 0.0;
    for (float x : live.left) sum += double(x) * x;
    EXPECT_NEAR(live.plugin->leftMeter(), sum, sum * 1e-5);
    EXPECT_NEAR(live.plugin->rightMeter(), sum, sum * 1e-5);
}

TEST(PluginOutput, PanFollowsTheCosineLaw) {
    LivePlugin live(48000.0f, 64);
    Moraine_VST& p = *live.plugin;
    live.cord("pl32", "pl54"); // audio input into the mixer's filter input
    p.setParameter(46, 1.0f);
    p.setParameter(45, 0.75f);
    std::fill(live.inLeft.begin(), live.inLeft.end(), 1.0f);
    for (int i = 0; i < 1000; ++i) live.render(); // ramps arrive, the blocker settles
    std::fill(live.inLeft.begin(), live.inLeft.end(), 0.0f);
    live.render();
    const float expected = std::cos(0.25f * std::numbers::pi_v<float>);
    EXPECT_NEAR(live.left[10] / live.right[10], expected, 1e-4f);
    EXPECT_LT(live.right[10], 0.0f); // the step down seen through the blocker
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
    ASSERT_GE(gains.size(), 9u);
    for (int i = 0; i < 8; ++i) EXPECT_NEAR(gains[i], 1.0f - step * float(i + 1), 1e-5f) << i;
    EXPECT_EQ(gains[8], 0.0f);
    for (float g : gains) EXPECT_GE(g, 0.0f);
    // While faded out the new patch's ramps run at the fast rate.
    EXPECT_FLOAT_EQ(EngineAccess::voice(p, 0).rampRate, 44100.0f / 40.0f);

    int blocks = 0;
    while (p.fadeGain() < 1.0f && blocks < 100) {
        live.render();
        ++blocks;
    }
    EXPECT_EQ(blocks, 9);
    EXPECT_FLOAT_EQ(EngineAccess::voice(p, 0).rampRate, 44100.0f / 4000.0f);
    EXPECT_NEAR(EngineAccess::voice(p, 2).mods.adsr.attackTime, 2.0f, 1e-4f);
}

TEST(PatchChange, WithoutAnAudioThreadTheChangeStillLands) {
    LivePlugin live;
    Moraine_VST& p = *live.plugin;
    RecordingPatch patch;
    p.beginPatchChange(&patch, false);
    EXPECT_TRUE(patch.applied);
    EXPECT_FALSE(p.patchPending());
    live.render();
    EXPECT_NEAR(EngineAccess::voice(p, 0).mods.adsr.attackTime, 2.0f, 1e-4f);
}

TEST(PatchChange, HeldNotesAreReleasedAndPlayedAgain) {
    LivePlugin live;
    Moraine_VST& p = *live.plugin;
    live.midi(0, 0x90, 60, 90);
    live.render();
    ASSERT_TRUE(p.noteHeld(60));
    RecordingPatch patch;
    p.beginPatchChange(&patch, false);
    live.render();
    EXPECT_TRUE(p.noteHeld(60));
    EXPECT_EQ(EngineAccess::keyboard(p).velocity[0][60], 90);
}

TEST(Notes, ANoteAtFrameKStartsAtSampleK) {
    LivePlugin live(48000.0f, 256);
    live.cord("pl71", "pl27"); // the keyboard trigger into the left direct input
    live.render();
    live.midi(100, 0x90, 64, 100);
    live.render();
    for (int i = 0; i < 100; ++i) ASSERT_EQ(live.left[i], 0.0f) << i;
    // 15 V for one sample, x 0.1 into the direct input, x 2 out of the blocker.
    EXPECT_NEAR(live.left[100], 3.0f, 1e-5f);
    EXPECT_LT(live.left[101], 0.0f);
}

TEST(Notes, EventsBeyondTheBlockWaitForTheNextOne) {
    LivePlugin live(48000.0f, 128);
    live.cord("pl71", "pl27");
    live.render();
    live.midi(200, 0x90, 64, 100); // frame 72 of the next block
    live.render();
    EXPECT_FALSE(live.plugin->noteHeld(64));
    live.render();
    EXPECT_TRUE(live.plugin->noteHeld(64));
    EXPECT_NEAR(live.left[72], 3.0f, 1e-5f);
}

TEST(Notes, VelocityZeroIsANoteOffAndSuspendReleasesEverything) {
    LivePlugin live;
    Moraine_VST& p = *live.plugin;
    p.setParameter(81, 1.0f);
    for (int k : {40, 50, 60}) live.midi(0, 0x90, k, 100);
    live.render();
    EXPECT_TRUE(p.noteHeld(50));
    live.midi(0, 0x90, 50, 0);
    live.render();
    EXPECT_FALSE(p.noteHeld(50));
    EXPECT_TRUE(p.noteHeld(40));
    p.suspend();
    for (int k = 0; k < 128; ++k) EXPECT_FALSE(p.noteHeld(k)) << k;
    for (int v = 0; v < kMaxVoices; ++v) EXPECT_EQ(EngineAccess::voice(p, v).mods.kbdGate.keyHeld, 0) << v;
}

TEST(Notes, MidiActivityHoldsForTwentyBlocks) {
    LivePlugin live(48000.0f, 64);
    Moraine_VST& p = *live.plugin;
    live.midi(0, 0xB0, 7, 100);
    live.render();
    EXPECT_EQ(p.midiActivity(), 1.0f);
    EXPECT_EQ(p.lastControllerMessage(), 7.0f);
    for (int i = 0; i < 19; ++i) live.render();
    EXPECT_EQ(p.midiActivity(), 1.0f);
    live.render();
    EXPECT_EQ(p.midiActivity(), 0.0f);
    EXPECT_EQ(p.lastControllerMessage(), 0.0f);
}

TEST(SampleRates, EveryRateFromEightToThreeHundredEightyFourKilohertzRenders) {
    LivePlugin live(44100.0f, 512);
    Moraine_VST& p = *live.plugin;
    live.cord("pl71", "pl54");
    std::fill(live.inLeft.begin(), live.inLeft.end(), 0.3f);
    for (float rate : {8000.0f, 22050.0f, 44100.0f, 96000.0f, 192000.0f, 384000.0f}) {
        p.setSampleRate(rate);
        live.midi(3, 0x90, 60, 100);
        live.render();
        live.midi(3, 0x80, 60, 0);
        live.render();
        EXPECT_TRUE(allFinite(live.left)) << rate;
        EXPECT_EQ(EngineAccess::voice(p, 4).sampleRate, int(rate));
    }
    // Rates no host can mean are refused.
    for (float bad : {0.0f, -44100.0f, std::nanf(""), INFINITY, 1e9f}) {
        p.setSampleRate(bad);
        EXPECT_EQ(EngineAccess::voice(p, 0).sampleRate, 384000) << bad;
    }
}

TEST(Identity, TheObjectReportsItself) {
    LivePlugin live;
    AEffect* e = live.plugin->getAeffect();
    EXPECT_EQ(e->uniqueID, VstInt32(fourcc("MRuI")));
    EXPECT_EQ(e->numInputs, 2);
    EXPECT_EQ(e->numOutputs, 2);
    EXPECT_EQ(e->numParams, 178);
    EXPECT_EQ(e->numPrograms, 1);
    EXPECT_TRUE(e->flags & effFlagsIsSynth);
    EXPECT_TRUE(e->flags & effFlagsProgramChunks);
    EXPECT_TRUE(e->flags & effFlagsCanReplacing);
    EXPECT_FALSE(e->flags & effFlagsHasEditor);

    Moraine_VST plain(&testing::FakeHost::callback);
    EXPECT_EQ(plain.getAeffect()->uniqueID, VstInt32(fourcc("MRDK")));
    // Without a host callback the identity is left unset.
    Moraine_VST orphan(nullptr);
    EXPECT_EQ(orphan.getAeffect()->uniqueID, 0);
    EXPECT_FALSE(orphan.getAeffect()->flags & effFlagsIsSynth);
}

} // namespace
} // namespace moraine

namespace moraine {
namespace {

// Renders an impulse into the mixer (through the audio input) and returns the right
// output, with or without a cord from the reverb's jack to the right direct input.
std::vector<float> reverbThroughJack(bool patched) {
    LivePlugin live(44100.0f, 2048);
    Moraine_VST& p = *live.plugin;
    p.setParameter(81, 0.0f);
    live.cord("pl32", "pl54");
    p.setParameter(46, 1.0f);
    if (patched) live.cord("pl75", "pl76");
    for (int i = 0; i < 4; ++i) live.render(); // levels arrive
    live.inLeft[0] = 1.0f;
    live.render();
    return live.right;
}

TEST(ReverbJack, APatchedJackCarriesTheReverbOneSampleLater) {
    const auto plain = reverbThroughJack(false);
    const auto patched = reverbThroughJack(true);
    int first = -1;
    for (int i = 0; i < 2048 && first < 0; ++i)
        if (plain[std::size_t(i)] != patched[std::size_t(i)]) first = i;
    // The left wet signal starts at the first comb's length; the voices read it on the
    // next sample.
    EXPECT_EQ(first, 1117);
}

} // namespace
} // namespace moraine

namespace moraine {
namespace {

TEST(PanelButtons, EnvelopeAndPortamentoTriggersReachTheFirstVoice) {
    LivePlugin live;
    Moraine_VST& p = *live.plugin;
    p.envelopeTrigger(true);
    live.render();
    EXPECT_EQ(EngineAccess::voice(p, 0).mods.adsr.phase, 0);
    EXPECT_EQ(EngineAccess::voice(p, 0).mods.ar.phase, 0);
    EXPECT_EQ(EngineAccess::voice(p, 1).mods.adsr.phase, 2);
    p.envelopeTrigger(false);
    live.render();
    EXPECT_NE(EngineAccess::voice(p, 0).mods.adsr.phase, 0);

    p.setParameter(69, 1.0f); // glide off
    live.render();
    p.portamentoTrigger(true);
    live.render();
    for (int v = 0; v < kMaxVoices; ++v) EXPECT_EQ(EngineAccess::voice(p, v).mods.kbdUpper.portamentoOn, 1);
    p.portamentoTrigger(false);
    live.render();
    EXPECT_EQ(EngineAccess::voice(p, 8).mods.kbdLower.portamentoOn, 0);
}

TEST(KeyboardParameters, OctaveShiftsOnlyAtTheEndsOfItsRange) {
    LivePlugin live;
    Moraine_VST& p = *live.plugin;
    for (auto [host, offset] :
         {std::pair{0.75f, 0.0f}, {0.975f, 2.0f}, {0.0f, -2.0f}, {0.5f, 0.0f}}) {
        p.setParameter(64, host); // -2 .. 2: 0.75 is +1, 0.975 is +1.9
        live.render();
        EXPECT_EQ(EngineAccess::voice(p, 4).mods.kbdLower.octaveOffset, offset) << host;
        EXPECT_EQ(EngineAccess::voice(p, 4).mods.kbdUpper.octaveOffset, offset) << host;
    }
}

} // namespace
} // namespace moraine

namespace moraine {
namespace {

// The link from the keyboard LFO's square into the envelope gate, by gate source (38),
// repeat mode (63: host 1.0 is mode 0, 0.5 mode 1, 0.0 mode 2) and a held key.
TEST(EnvelopeGateRouting, TheLfoRepeatsOnlyWhileTheKeyboardGates) {
    struct Case {
        float gateSource, repeat;
        bool keyHeld, lfoOn;
    } const cases[] = {
        {1.0f, 0.0f, false, true}, {1.0f, 0.5f, true, false}, {1.0f, 1.0f, false, false},
        {1.0f, 1.0f, true, true},  {0.0f, 0.0f, true, false}, {0.0f, 1.0f, true, false},
    };
    for (const Case& c : cases) {
        LivePlugin live;
        Moraine_VST& p = *live.plugin;
        p.setParameter(81, 0.0f);
        p.setParameter(38, c.gateSource);
        if (c.keyHeld) live.midi(0, 0x90, 60, 100);
        live.render();
        p.setParameter(63, c.repeat);
        live.render();
        const Voice& v = EngineAccess::voice(p, 0);
        SCOPED_TRACE(::testing::Message() << c.gateSource << " " << c.repeat << " " << c.keyHeld);
        EXPECT_EQ(v.links[kLinkEnvGateLfo].ramp.current, c.lfoOn ? 1.0f : 0.0f);
        EXPECT_EQ(v.links[kLinkEnvGateKbd].ramp.current, c.gateSource > 0.5f ? 1.0f : 0.0f);
        EXPECT_EQ(v.links[kLinkEnvGateClock].ramp.current, c.gateSource > 0.5f ? 0.0f : 1.0f);
    }
}

TEST(PanSteps, SmallMovesStillMoveTheGains) {
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

} // namespace
} // namespace moraine
