// The voice graph on its own: circuit and jack tables, cords, inserts, ramps, value guards.
#include "engine/graph/CircuitTables.h"
#include "engine/graph/JackTable.h"
#include "engine/graph/Voice.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <memory>
#include <set>
#include <string>
#include <tuple>
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
    Link& link(LinkId id) { return voice->link(id); }
    float sample(LinkId id) {
        stepVoiceModules(*voice);
        advanceRamps(*voice);
        return evaluateLink(*voice, link(id));
    }
    bool plug(const char (&a)[5], const char (&b)[5]) {
        return reconnect(*voice, fourcc(a), fourcc(b));
    }
    bool unplug(const char (&a)[5]) { return reconnect(*voice, fourcc(a), 0); }
    int advanceUntilSettled(ParamRamp& r) {
        int n = 0;
        for (; !r.settled && n < 10000; ++n) advanceRamps(*voice);
        return n;
    }

    SharedModules shared;
    std::unique_ptr<Voice> voice;
};

// Unique, non-zero codes, `noco` first and `mlt4` last, are checked where the table is built.
TEST(JackTable, NumbersAndCodesRoundTripAndEverythingElseIsNoCord) {
    for (int j = 0; j <= kJackCount; ++j) EXPECT_EQ(jackNumber(jackInfo(j).code), j) << j;
    EXPECT_EQ(jackInfo(0).role, JackRole::None);
    for (int n : {-1, 90, 1000, INT_MIN, INT_MAX}) EXPECT_EQ(&jackInfo(n), &jackInfo(0)) << n;
    for (const char* code : {"zzzz", "vo1c", "none", "PL18"})
        EXPECT_EQ(jackNumber(fourccFromText(code)), -1) << code;
    EXPECT_EQ(jackNumber(0), -1);
    // `v3si`, the third oscillator's sine, keeps the second's name as patches store it.
    EXPECT_STREQ(jackInfo(85).name, "VCO2 Sine Out Plug");
}

// The roles (what the panel uses), the bidirectional set (what the cord rules use) and the
// circuit's link and output rows describe the same jacks: none may drift from the others.
TEST(JackTable, RolesMatchTheCordRulesAndTheCircuit) {
    const std::set<std::string> both = {"mlt1", "mlt2", "mlt3", "mlt4",
                                        "pl50", "pl51", "pl52", "pl24"};
    for (int i = 0; i < kLinkCount; ++i) EXPECT_EQ(kLinkRows[i].id, LinkId(i)) << i;
    for (int i = 0; i < kNodeCount; ++i) EXPECT_EQ(kNodeRows[i].id, NodeId(i)) << i;
    for (int j = 1; j <= kJackCount; ++j) {
        const JackInfo& info = jackInfo(j);
        const std::string code = fourccText(info.code);
        SCOPED_TRACE(code);
        bool input = false, output = false;
        for (const LinkRow& l : kLinkRows) input |= l.code == info.code;
        for (const OutputJackRow& o : kOutputJackRows) output |= o.code == info.code;
        EXPECT_EQ(isBidirectionalJack(info.code), info.role == JackRole::Both);
        EXPECT_EQ(both.count(code) == 1, info.role == JackRole::Both);
        EXPECT_EQ(info.role == JackRole::In || info.role == JackRole::Both, input);
        EXPECT_EQ(info.role == JackRole::Out || info.role == JackRole::Both, output);
        EXPECT_EQ(info.role == JackRole::None, code == "pl73" || code == "pl74");
    }
    EXPECT_FALSE(isBidirectionalJack(0) || isBidirectionalJack(fourcc("noco")));
}

TEST_F(Graph, ACordRewiresAnInputAndUnpluggingRestoresItsNormal) {
    Link& l = link(kLinkVcfVco1);
    ModuleNode* vco1 = &voice->node(kNodeVco1);
    EXPECT_EQ(std::pair(l.source, l.selector), std::pair(vco1, 4));
    EXPECT_TRUE(plug("pl18", "pl58"));
    EXPECT_EQ(std::pair(l.source, l.selector), std::pair(vco1, 2));
    EXPECT_FALSE(unplug("pl18"));
    EXPECT_EQ(l.selector, 4);
    EXPECT_TRUE(plug("pl54", "pl18")); // the order of the two ends does not matter
    EXPECT_EQ(l.source, &voice->node(kNodeAudioIn1));
    EXPECT_FALSE(unplug("pl18"));
    EXPECT_EQ(l.source, vco1);
    // Two outputs, two inputs or a code that names nothing: both ends normalled.
    plug("pl18", "pl54");
    for (auto [a, b] : {std::pair{"pl57", "pl58"}, {"pl18", "pl19"}, {"zzzz", "pl54"}})
        EXPECT_FALSE(reconnect(*voice, fourccFromText(a), fourccFromText(b))) << a;
    EXPECT_EQ(l.source, vco1);
    EXPECT_EQ(std::pair(link(kLinkVcfVco2).source, link(kLinkVcfVco2).selector),
              std::pair(&voice->node(kNodeVco2), 6));
}

TEST_F(Graph, NodeValuesBeyondAThousandVoltsOrNotFiniteAreReadAsZero) {
    ASSERT_TRUE(plug("mlt1", "pl54"));
    ASSERT_TRUE(plug("mlt2", "pl71")); // a jack of both kinds: into an input, it is the output
    for (auto [in, out] :
         {std::pair{999.0f, 999.0f}, {2000.0f, 0.0f}, {NAN, 0.0f}, {-2000.0f, 0.0f}}) {
        shared.store->audio1.setValue(in);
        EXPECT_FLOAT_EQ(sample(kLinkLeftInput), out) << in;
        // A second reader in the same sample gets the node's cached value: also zero.
        EXPECT_FLOAT_EQ(evaluateLink(*voice, link(kLinkLeftInput)), out) << in;
    }
}

// Inserts, the envelope gate jack, the switch and the keyboard inputs: each cord (or unplug,
// without a second end) moves a link's level target.
TEST_F(Graph, InsertGateSwitchAndKeyboardCordsSwitchTheirPaths) {
    link(kLinkInsert1Vcf).ramp.setNow(0.7f);
    link(kLinkMixerVcf).ramp.setNow(0.7f);
    voice->mods.vco2.range = 2; // a keyboard input follows its cord only in the low range
    setRampTarget(*voice, link(kLinkVco1Kbd).ramp, 1.0f);
    struct Step {
        const char *a, *b;
        LinkId id;
        float target;
    } const steps[] = {
        {"pl69", "pl71", kLinkMixerVcf, 0.0f},
        {"pl69", nullptr, kLinkMixerVcf, 0.7f},
        {"pl71", "pl70", kLinkMixerVca, 0.0f},
        {"pl24", "pl54", kLinkKbdGateExt, 1.0f},
        {"pl24", nullptr, kLinkKbdGateExt, 0.0f},
        {"pl51", "pl71", kLinkSwitchCFromA, 1.0f}, // C feeds an input: A and B into C
        {"pl51", "pl71", kLinkSwitchAFromC, 0.0f},
        {"pl51", "pl54", kLinkSwitchBFromC, 1.0f},
        {"pl51", "pl54", kLinkSwitchCFromB, 0.0f}, // C takes a signal: C out to A and B
        {"plg8", "pl54", kLinkVco2Kbd, 1.0f},
        {"plg8", nullptr, kLinkVco2Kbd, 0.0f},
        {"plg5", nullptr, kLinkVco1Kbd, 1.0f}}; // in the audio range it stays connected
    for (const Step& s : steps) {
        SCOPED_TRACE(std::string(s.a) + " " + (s.b ? s.b : "-"));
        reconnect(*voice, fourccFromText(s.a), s.b ? fourccFromText(s.b) : 0);
        EXPECT_FLOAT_EQ(link(s.id).ramp.target, s.target);
    }
    EXPECT_EQ(
        std::tuple(voice->vcfInsertActive, voice->vcaInsertActive, voice->mods.eswitch.direction),
        std::tuple(0, 1, 2));
}

TEST_F(Graph, ALevelChangeTakesFourThousandSamplesAndANonFiniteTargetSettlesAtZero) {
    Link& l = link(kLinkVcfVco1);
    setRampTarget(*voice, l.ramp, 1.0f);
    EXPECT_NEAR(advanceUntilSettled(l.ramp), 4000, 1);
    EXPECT_FLOAT_EQ(l.ramp.current, 1.0f);
    EXPECT_FALSE(l.ramp.off);
    // A new target mid-way restarts from where the ramp stands.
    setRampTarget(*voice, l.ramp, 0.0f);
    for (int i = 0; i < 2000; ++i) advanceRamps(*voice);
    EXPECT_NEAR(l.ramp.current, 0.5f, 1e-3f);
    setRampTarget(*voice, l.ramp, 1.0f);
    advanceRamps(*voice);
    EXPECT_NEAR(l.ramp.current, 0.5f + 0.5f / 4000.0f, 1e-4f);
    EXPECT_NEAR(advanceUntilSettled(l.ramp) + 1, 4000, 1);
    l.ramp.setNow(0.5f);
    for (float bad : {NAN, INFINITY}) {
        setRampTarget(*voice, l.ramp, bad);
        advanceRamps(*voice);
        EXPECT_TRUE(l.ramp.settled && l.ramp.off && l.ramp.current == 0.0f) << bad;
    }
}

} // namespace
} // namespace moraine
