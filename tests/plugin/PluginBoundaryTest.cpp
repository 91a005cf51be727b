// The built MoraineDeck.so as a host sees it: loaded with dlopen through our test host
// and driven only through the VST 2 interface.
#include "PluginTestSupport.h"

#include <algorithm>
#include <cmath>

namespace moraine {
namespace {

using testing::SoHost;

bool allFinite(const float* begin, const float* end) {
    return std::all_of(begin, end, [](float x) { return std::isfinite(x); });
}
bool allFinite(const std::vector<float>& v) { return allFinite(v.data(), v.data() + v.size()); }

TEST(PluginBoundary, IdentityCapabilitiesAndTheRefusalOfAnAncientHost) {
    SoHost h;
    PluginInstance* p = h.plugin.get();
    ASSERT_TRUE(p);
    EXPECT_EQ(p->uniqueId(), int32_t(fourcc("MRuI")));
    EXPECT_EQ(p->numInputs() * 1000 + p->numOutputs(), 2002);
    EXPECT_EQ(p->numParams(), 178);
    EXPECT_EQ(p->numPrograms(), 1);
    for (int flag :
         {effFlagsIsSynth, effFlagsProgramChunks, effFlagsCanReplacing, effFlagsHasEditor})
        EXPECT_TRUE(p->flags() & flag) << flag;
    ERect* rect = nullptr; // the editor's size is known before it opens
    EXPECT_EQ(p->dispatch(effEditGetRect, 0, 0, &rect), 1);
    ASSERT_NE(rect, nullptr);
    EXPECT_EQ(rect->right - rect->left, 1010);
    EXPECT_EQ(rect->bottom - rect->top, 623);
    EXPECT_EQ(p->effectName(), "Moraine Deck");
    EXPECT_EQ(p->vendorString(), "Larchmere Audio, Inc.");
    EXPECT_EQ(p->productString(), "Moraine Deck Efx v1.3");
    EXPECT_EQ(p->vendorVersion(), 1400);
    for (auto [what, answer] : {std::pair{"receiveVstEvents", 1}, {"receiveVstMidiEvent", 1},
                                {"sendVstEvents", -1}, {"", -1}})
        EXPECT_EQ(p->canDo(what), answer) << what;
    EXPECT_EQ(p->dispatch(effGetPlugCategory), kPlugCategSynth);
    EXPECT_GE(p->wantMidiRequests(), 1); // a synth asks for MIDI when resumed
    HostConfig ancient;
    ancient.hostVersion = 0;
    std::string error;
    EXPECT_FALSE(PluginInstance::load(MORAINE_PLUGIN_PATH, &error, ancient));
    EXPECT_FALSE(error.empty());
}

TEST(PluginBoundary, NamesLabelsAndDisplays) {
    SoHost h;
    PluginInstance* p = h.plugin.get();
    ASSERT_TRUE(p);
    EXPECT_EQ(p->parameterName(1), "Master Bypass");
    EXPECT_EQ(p->parameterLabel(1), "state");
    EXPECT_EQ(p->parameterName(58), "VCO1 Keybaoard Override");
    // Names are cut to 24 characters.
    EXPECT_EQ(p->parameterName(73), std::string("MIDI Internal Clock Beat Offset").substr(0, 24));
    EXPECT_EQ(p->parameterName(107), "VCF VCO1 Plug");
    EXPECT_EQ(p->parameterLabel(107), "Plug");
    EXPECT_EQ(p->parameterLabel(33), "seconds");
    // The host's display is the engine value in its own units.
    EXPECT_EQ(p->parameterDisplay(35), "4.000000");
    p->setParameter(33, 0.5f);
    EXPECT_EQ(p->parameterDisplay(33), "50.001499");
    EXPECT_EQ(p->parameterDisplay(83), "24.000000"); // a beat setting, held apart
    // The placeholder and indices the host should not ask for give empty texts.
    for (int bad : {-1, 0, 178, 179, 5000})
        EXPECT_EQ(p->parameterName(bad) + p->parameterLabel(bad) + p->parameterDisplay(bad), "")
            << bad;
    EXPECT_EQ(p->programName(), ""); // no patch has been applied from the empty library
}

TEST(PluginBoundary, ParametersRoundTripAndBadValuesAreRefusedOrClamped) {
    SoHost h;
    ASSERT_TRUE(h.plugin);
    EXPECT_FLOAT_EQ(h.param(5), 0.2f); // a default
    h.set(33, 0.5f);
    EXPECT_FLOAT_EQ(h.param(33), 0.5f);
    h.set(107, 0.057f);
    EXPECT_FLOAT_EQ(h.param(107), 0.057f);
    // NaN is refused (the value stays); the rest is clamped.
    for (auto [value, stored] : {std::pair{0.3f, 0.3f}, {std::nanf(""), 0.3f}, {INFINITY, 1.0f},
                                 {-3.0f, 0.0f}, {7.0f, 1.0f}}) {
        h.set(40, value);
        EXPECT_FLOAT_EQ(h.param(40), stored) << value;
    }
    for (int bad : {-1, 178, 179, 1 << 30}) {
        h.set(bad, 0.5f);
        EXPECT_EQ(h.param(bad), 0.0f) << bad;
    }
    h.set(150, 0.999f); // no jack 999
    ASSERT_TRUE(h.block());
    EXPECT_TRUE(allFinite(h.left));
}

TEST(PluginBoundary, TheDirectInputReachesTheOutputThroughACord) {
    SoHost h(48000.0f, 256);
    ASSERT_TRUE(h.plugin);
    h.set(81, 0.0f);
    h.cord("pl75", "pl53"); // second input, unit gain
    std::fill(h.inRight.begin(), h.inRight.end(), 0.25f);
    h.block();
    EXPECT_NEAR(h.right[0], 0.05f, 1e-6f); // 0.1 x 0.25, doubled by the DC blocker
    EXPECT_EQ(h.left[0], 0.0f);
    h.set(1, 0.0f); // bypass
    h.block();
    EXPECT_TRUE(std::all_of(h.right.begin(), h.right.end(), [](float x) { return x == 0.0f; }));
}

TEST(PluginBoundary, BadBuffersAndBlockSizesAreSafe) {
    SoHost h(48000.0f, 512);
    ASSERT_TRUE(h.plugin);
    AEffect* e = h.plugin->effect();
    std::vector<float> l(8192, 1.0f), r(8192, 1.0f);
    float* outs[2] = {l.data(), r.data()};
    float* noInputs[2] = {nullptr, nullptr};
    e->processReplacing(e, noInputs, outs, 512);
    EXPECT_EQ(l[0], 0.0f);
    e->processReplacing(e, nullptr, outs, 512);
    e->processReplacing(e, noInputs, outs, 0);
    e->processReplacing(e, noInputs, outs, -5);
    // Longer than the announced block: rendered in pieces, every frame written.
    std::fill(l.begin(), l.end(), NAN);
    e->processReplacing(e, noInputs, outs, 8192);
    EXPECT_TRUE(allFinite(l));
    float* oneMissing[2] = {l.data(), nullptr};
    e->processReplacing(e, noInputs, oneMissing, 256);
    // Non-finite input never reaches the output.
    std::vector<float> nan(512, NAN);
    float* nanInputs[2] = {nan.data(), nan.data()};
    h.cord("pl71", "pl54");
    h.cord("pl75", "pl53");
    e->processReplacing(e, nanInputs, outs, 512);
    EXPECT_TRUE(allFinite(l.data(), l.data() + 512) && allFinite(r.data(), r.data() + 512));
}

// The rate in effect, seen through the output stage: a step on the direct input decays
// through the DC blocker by 1 - 10 / rate each sample.
TEST(PluginBoundary, SampleRatesFromOneToSevenHundredSixtyEightKilohertzAndNoOthers) {
    SoHost h(48000.0f, 512);
    ASSERT_TRUE(h.plugin);
    h.set(81, 0.0f);
    h.cord("pl71", "pl53");
    float step = 1.0f;
    for (auto [asked, inEffect] :
         {std::pair{999.0f, 48000.0f}, {1000.0f, 1000.0f}, {768001.0f, 1000.0f},
          {768000.0f, 768000.0f}, {0.0f, 768000.0f}, {-44100.0f, 768000.0f}, {NAN, 768000.0f},
          {INFINITY, 768000.0f}, {1e9f, 768000.0f}}) {
        SCOPED_TRACE(asked);
        h.plugin->suspend();
        h.plugin->setSampleRate(asked);
        h.plugin->resume();
        std::fill(h.inRight.begin(), h.inRight.end(), step);
        step = -step;
        h.midi(0, 0x90, 72, 127); // and the circuit plays at the rate
        h.block();
        ASSERT_NE(h.left[0], 0.0f);
        EXPECT_NEAR(h.left[100] / h.left[0], std::pow(1.0 - 10.0 / inEffect, 100), 2e-5);
        EXPECT_TRUE(allFinite(h.left) && allFinite(h.right));
    }
}

// A host may change the rate with a note held: the note goes on at the same pitch.
TEST(PluginBoundary, ARateChangeWhilePlayingKeepsThePitch) {
    SoHost h(48000.0f, 480);
    ASSERT_TRUE(h.plugin);
    h.sineOnLeft();
    h.midi(0, 0x90, 69, 100);
    const std::vector<float> before = testing::tail(h.play(0.3), 0.2);
    h.plugin->setSampleRate(96000.0f);
    std::vector<float> after;
    for (int b = 0; b < 60 && h.block(); ++b)
        after.insert(after.end(), h.left.begin(), h.left.end());
    after = testing::tail(after, 0.2, 96000);
    const double f = testing::crossingFrequency(before, 48000);
    EXPECT_NEAR(testing::crossingFrequency(after, 96000), f, 0.002 * f);
    EXPECT_NEAR(testing::rms(after), testing::rms(before), 0.05 * testing::rms(before));
}

// The interval latch as a host drives it: two held keys set the interval, then the
// upper keyboard voltage follows the lowest key at that interval until the latch is off.
TEST(PluginBoundary, TheIntervalLatchKeepsTheUpperVoltageAtTheLatchedInterval) {
    SoHost h(48000.0f, 480);
    ASSERT_TRUE(h.plugin);
    h.sineOnLeft();
    h.set(69, 1.0f);        // no glide
    h.cord("plg5", "ucv1"); // the first oscillator follows the upper voltage
    h.set(76, 0.0f);
    const double key55 = h.keyFrequency(55), key48 = h.keyFrequency(48);
    EXPECT_NEAR(key55 / key48, std::pow(2.0, 7.0 / 12.0), 0.002);
    h.midi(0, 0x90, 60, 100);
    h.midi(0, 0x90, 67, 100);
    h.block();
    h.set(76, 1.0f); // latched: a fifth
    h.block();
    h.midi(0, 0x80, 60, 0);
    h.midi(0, 0x80, 67, 0);
    h.block();
    EXPECT_NEAR(h.keyFrequency(48), key55, 0.002 * key55);
    h.set(76, 0.0f);
    h.block();
    EXPECT_NEAR(h.keyFrequency(48), key48, 0.002 * key48);
}

} // namespace
} // namespace moraine
