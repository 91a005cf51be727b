// The voice graph on its own: cords, multiples, inserts, feedback, ramps and the
// value guards. The audio inputs give the tests their signals, since they pass the
// host's samples through unchanged.
#include "engine/graph/CircuitTables.h"
#include "engine/graph/JackTable.h"
#include "engine/graph/Voice.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <utility>

namespace moraine {
namespace {

class Graph : public ::testing::Test {
protected:
    void SetUp() override {
        voice = std::make_unique<Voice>();
        buildVoice(*voice, 48000, shared);
        settleRamps(*voice);
    }

    SharedModules::Store& store() { return *shared.store; }
    Link& link(LinkId id) { return voice->link(id); }
    // One sample's value of a link, as the voice tick would see it.
    float sample(LinkId id) {
        stepVoiceModules(*voice);
        advanceRamps(*voice);
        return evaluateLink(*voice, link(id));
    }
    bool plug(const char (&a)[5], const char (&b)[5]) {
        return reconnect(*voice, fourcc(a), fourcc(b));
    }
    bool unplug(const char (&a)[5]) { return reconnect(*voice, fourcc(a), 0); }

    SharedModules shared;
    std::unique_ptr<Voice> voice;
};

TEST(CircuitTables, RowsAreInTheirOwnOrder) {
    for (int i = 0; i < kLinkCount; ++i) EXPECT_EQ(kLinkRows[i].id, LinkId(i)) << i;
    for (int i = 0; i < kNodeCount; ++i) EXPECT_EQ(kNodeRows[i].id, NodeId(i)) << i;
}

TEST(CircuitTables, EveryJackThatTakesACordExistsInTheCircuit) {
    for (int j = 1; j <= kJackCount; ++j) {
        const JackInfo& info = jackInfo(j);
        bool input = false, output = false;
        for (const LinkRow& l : kLinkRows) input |= l.code == info.code;
        for (const OutputJackRow& o : kOutputJackRows) output |= o.code == info.code;
        SCOPED_TRACE(j);
        switch (info.role) {
        case JackRole::In:
            EXPECT_TRUE(input && !output);
            break;
        case JackRole::Out:
            EXPECT_TRUE(output && !input);
            break;
        case JackRole::Both:
            EXPECT_TRUE(input && output);
            break;
        case JackRole::None:
            EXPECT_FALSE(input || output);
            break;
        }
    }
}

TEST_F(Graph, ACordRewiresAnInputAndUnpluggingRestoresItsNormal) {
    Link& l = link(kLinkVcfVco1);
    ModuleNode* vco1 = &voice->node(kNodeVco1);
    EXPECT_EQ(l.source, vco1);
    EXPECT_EQ(l.selector, 4);
    EXPECT_TRUE(plug("pl18", "pl58"));
    EXPECT_EQ(l.source, vco1);
    EXPECT_EQ(l.selector, 2);
    EXPECT_FALSE(unplug("pl18"));
    EXPECT_EQ(l.selector, 4);
    // The order of the two ends does not matter.
    EXPECT_TRUE(plug("pl54", "pl18"));
    EXPECT_EQ(l.source, &voice->node(kNodeAudioIn1));
    EXPECT_FALSE(unplug("pl18"));
    EXPECT_EQ(l.source, vco1);
    // Two outputs, two inputs or a code that names nothing: both ends normalled.
    plug("pl18", "pl54");
    EXPECT_FALSE(plug("pl57", "pl58"));
    EXPECT_FALSE(plug("pl18", "pl19"));
    EXPECT_FALSE(plug("zzzz", "pl54"));
    EXPECT_EQ(l.source, vco1);
    EXPECT_EQ(link(kLinkVcfVco2).source, &voice->node(kNodeVco2));
    EXPECT_EQ(link(kLinkVcfVco2).selector, 6);
}

TEST_F(Graph, AMultipleCarriesTheSumOfItsInputs) {
    store().audio1.setValue(1.25f);
    store().audio2.setValue(-0.5f);
    ASSERT_TRUE(plug("mlt1", "pl54"));
    ASSERT_TRUE(plug("mlt3", "pl53"));
    // mlt2 is a jack of both kinds: into the left direct input it acts as the output.
    ASSERT_TRUE(plug("mlt2", "pl71"));
    EXPECT_EQ(link(kLinkMultiple2).source, &voice->node(kNodeZero));
    EXPECT_FLOAT_EQ(sample(kLinkLeftInput), 0.75f);
    unplug("mlt3");
    EXPECT_FLOAT_EQ(sample(kLinkLeftInput), 1.25f);
}

TEST_F(Graph, InsertAndGateCordsSwitchTheirPaths) {
    voice->link(kLinkInsert1Vcf).ramp.setNow(0.7f);
    voice->link(kLinkMixerVcf).ramp.setNow(0.7f);
    ASSERT_TRUE(plug("pl69", "pl71"));
    EXPECT_EQ(voice->vcfInsertActive, 1);
    EXPECT_FLOAT_EQ(link(kLinkMixerVcf).ramp.target, 0.0f);
    EXPECT_EQ(link(kLinkLeftInput).source, &voice->node(kNodeInsert1));

    unplug("pl69");
    EXPECT_EQ(voice->vcfInsertActive, 0);
    EXPECT_FLOAT_EQ(link(kLinkMixerVcf).ramp.target, 0.7f);

    ASSERT_TRUE(plug("pl71", "pl70"));
    EXPECT_EQ(voice->vcaInsertActive, 1);
    EXPECT_FLOAT_EQ(link(kLinkMixerVca).ramp.target, 0.0f);
    // The envelope gate jack opens the external gate input.
    ASSERT_TRUE(plug("pl24", "pl54"));
    EXPECT_FLOAT_EQ(link(kLinkKbdGateExt).ramp.target, 1.0f);
    unplug("pl24");
    EXPECT_FLOAT_EQ(link(kLinkKbdGateExt).ramp.target, 0.0f);
}

TEST_F(Graph, TheSwitchRunsTowardsWhicheverEndTheCordMakesAnInput) {
    ASSERT_TRUE(plug("pl51", "pl71")); // C feeds the direct input: A and B into C
    EXPECT_EQ(voice->mods.eswitch.direction, 1);
    EXPECT_FLOAT_EQ(link(kLinkSwitchCFromA).ramp.target, 1.0f);
    EXPECT_FLOAT_EQ(link(kLinkSwitchAFromC).ramp.target, 0.0f);
    ASSERT_TRUE(plug("pl51", "pl54")); // C takes a signal: C out to A and B
    EXPECT_EQ(voice->mods.eswitch.direction, 2);
    EXPECT_FLOAT_EQ(link(kLinkSwitchCFromB).ramp.target, 0.0f);
    EXPECT_FLOAT_EQ(link(kLinkSwitchBFromC).ramp.target, 1.0f);
}

TEST_F(Graph, KeyboardInputsFollowCordsAndTheLowRange) {
    voice->mods.vco2.range = 2;
    ASSERT_TRUE(plug("plg8", "pl54"));
    EXPECT_FLOAT_EQ(link(kLinkVco2Kbd).ramp.target, 1.0f);
    unplug("plg8");
    EXPECT_FLOAT_EQ(link(kLinkVco2Kbd).ramp.target, 0.0f);
    // In the audio range the keyboard stays connected without a cord.
    setRampTarget(*voice, link(kLinkVco1Kbd).ramp, 1.0f);
    unplug("plg5");
    EXPECT_FLOAT_EQ(link(kLinkVco1Kbd).ramp.target, 1.0f);
}

TEST_F(Graph, AFeedbackCordReadsThePreviousSample) {
    store().audio1.setValue(1.0f);
    ASSERT_TRUE(plug("mlt3", "pl54"));
    ASSERT_TRUE(plug("mlt2", "mlt1")); // the multiple's output back into its own input
    ASSERT_TRUE(plug("mlt4", "pl71"));
    for (int n = 1; n <= 5; ++n) EXPECT_FLOAT_EQ(sample(kLinkLeftInput), float(n)) << n;
}

TEST_F(Graph, NodeValuesBeyondAThousandVoltsAreReadAsZero) {
    ASSERT_TRUE(plug("mlt1", "pl54"));
    ASSERT_TRUE(plug("mlt2", "pl71"));
    for (auto [in, out] :
         {std::pair{999.0f, 999.0f}, {2000.0f, 0.0f}, {NAN, 0.0f}, {-2000.0f, 0.0f}}) {
        store().audio1.setValue(in);
        EXPECT_FLOAT_EQ(sample(kLinkLeftInput), out) << in;
    }
}

TEST_F(Graph, ALinkThatIsOffIsNotEvaluated) {
    // At the build levels the mixer's inputs are off, so nothing behind them is computed.
    stepVoiceModules(*voice);
    voiceTick(*voice);
    EXPECT_EQ(voice->table.evaluated(kNodeMixer), true);
    EXPECT_EQ(voice->table.evaluated(kNodeVcf), false);
    EXPECT_EQ(voice->table.evaluated(kNodeVca), false);
    setRampTarget(*voice, link(kLinkMixerVcf).ramp, 0.5f);
    stepVoiceModules(*voice);
    voiceTick(*voice);
    EXPECT_EQ(voice->table.evaluated(kNodeVcf), true);
}

TEST_F(Graph, ALevelChangeTakesFourThousandSamples) {
    Link& l = link(kLinkVcfVco1);
    setRampTarget(*voice, l.ramp, 1.0f);
    int samples = 0;
    while (!l.ramp.settled && samples < 10000) {
        advanceRamps(*voice);
        ++samples;
    }
    EXPECT_NEAR(samples, 4000, 1);
    EXPECT_FLOAT_EQ(l.ramp.current, 1.0f);
    EXPECT_FALSE(l.ramp.off);

    // A new target mid-way restarts from where the ramp stands.
    setRampTarget(*voice, l.ramp, 0.0f);
    for (int i = 0; i < 2000; ++i) advanceRamps(*voice);
    EXPECT_NEAR(l.ramp.current, 0.5f, 1e-3f);
    setRampTarget(*voice, l.ramp, 1.0f);
    advanceRamps(*voice);
    EXPECT_NEAR(l.ramp.current, 0.5f + 0.5f / 4000.0f, 1e-4f);
    samples = 1;
    while (!l.ramp.settled) {
        advanceRamps(*voice);
        ++samples;
    }
    EXPECT_NEAR(samples, 4000, 1);
}

TEST_F(Graph, ANonFiniteTargetSettlesAtZero) {
    Link& l = link(kLinkVcfVco1);
    l.ramp.setNow(0.5f);
    setRampTarget(*voice, l.ramp, std::nanf(""));
    advanceRamps(*voice);
    EXPECT_EQ(l.ramp.settled, 1);
    EXPECT_EQ(l.ramp.current, 0.0f);
    EXPECT_TRUE(l.ramp.off);
    setRampTarget(*voice, l.ramp, INFINITY);
    advanceRamps(*voice);
    EXPECT_EQ(l.ramp.current, 0.0f);
}

TEST_F(Graph, TheVoiceTickSendsToTheReverbAndTheDirectInputs) {
    store().audio1.setValue(3.0f);
    ASSERT_TRUE(plug("pl71", "pl54"));
    ASSERT_TRUE(plug("pl75", "pl54"));
    store().leftCell = store().rightCell = 0.0f;
    store().reverbModule.beginSample();
    stepVoiceModules(*voice);
    voiceTick(*voice);
    EXPECT_FLOAT_EQ(store().leftCell, 0.3f);
    EXPECT_FLOAT_EQ(store().rightCell, 0.3f);
}

TEST(GraphSharing, EveryVoiceReadsTheSameSharedModules) {
    SharedModules shared;
    Voice a, b;
    buildVoice(a, 44100, shared);
    SharedModules::Store* store = shared.store;
    buildVoice(b, 44100, shared);
    EXPECT_EQ(shared.store, store);
    EXPECT_EQ(a.table.slot[kNodeNoise].module, b.table.slot[kNodeNoise].module);
    EXPECT_EQ(a.table.slot[kNodeNoise].module, &store->noiseGen);
    EXPECT_NE(a.table.slot[kNodeVco1].module, b.table.slot[kNodeVco1].module);
}

} // namespace
} // namespace moraine
