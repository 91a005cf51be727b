// The built MoraineDeck.so as a host sees it: loaded with dlopen through our test host
// and driven only through the VST 2 interface.
#include "engine/FourCC.h"
#include "engine/graph/JackTable.h"
#include "tools/host/VstHost.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace moraine {
namespace {

std::unique_ptr<PluginInstance> loadPlugin(HostConfig config = {}) {
    std::string error;
    auto plugin = PluginInstance::load(MORAINE_PLUGIN_PATH, &error, config);
    EXPECT_TRUE(plugin) << error;
    return plugin;
}

float jackValue(const char (&code)[5]) {
    return float(jackNumber(fourcc(code))) / 1000.0f;
}
int jackParam(const char (&code)[5]) {
    return 89 + jackNumber(fourcc(code));
}

struct Buffers {
    explicit Buffers(int frames) : inL(frames), inR(frames), outL(frames), outR(frames) {}
    const float* const* inputs() {
        in[0] = inL.data();
        in[1] = inR.data();
        return in;
    }
    float* const* outputs() {
        out[0] = outL.data();
        out[1] = outR.data();
        return out;
    }
    bool finite() const {
        auto ok = [](const std::vector<float>& v) {
            return std::all_of(v.begin(), v.end(), [](float x) { return std::isfinite(x); });
        };
        return ok(outL) && ok(outR);
    }
    std::vector<float> inL, inR, outL, outR;
    const float* in[2];
    float* out[2];
};

TEST(PluginBoundary, IdentityAndCapabilities) {
    auto p = loadPlugin();
    ASSERT_TRUE(p);
    EXPECT_EQ(p->uniqueId(), int32_t(fourcc("MRuI")));
    EXPECT_EQ(p->numInputs(), 2);
    EXPECT_EQ(p->numOutputs(), 2);
    EXPECT_EQ(p->numParams(), 178);
    EXPECT_EQ(p->numPrograms(), 1);
    EXPECT_TRUE(p->flags() & effFlagsIsSynth);
    EXPECT_TRUE(p->flags() & effFlagsProgramChunks);
    EXPECT_TRUE(p->flags() & effFlagsCanReplacing);
    EXPECT_TRUE(p->flags() & effFlagsHasEditor);
    // The editor's size is known before it opens.
    ERect* rect = nullptr;
    EXPECT_EQ(p->dispatch(effEditGetRect, 0, 0, &rect), 1);
    ASSERT_NE(rect, nullptr);
    EXPECT_EQ(rect->right - rect->left, 1010);
    EXPECT_EQ(rect->bottom - rect->top, 623);
    EXPECT_EQ(p->effectName(), "Moraine Deck");
    EXPECT_EQ(p->vendorString(), "Larchmere Audio, Inc.");
    EXPECT_EQ(p->productString(), "Moraine Deck Efx v1.3");
    EXPECT_EQ(p->vendorVersion(), 1400);
    EXPECT_EQ(p->canDo("receiveVstEvents"), 1);
    EXPECT_EQ(p->canDo("receiveVstMidiEvent"), 1);
    EXPECT_EQ(p->canDo("sendVstEvents"), -1);
    EXPECT_EQ(p->canDo(""), -1);
    EXPECT_EQ(p->dispatch(effGetPlugCategory), kPlugCategSynth);
    p->start();
    EXPECT_GE(p->wantMidiRequests(), 1); // a synth asks for MIDI when resumed
}

TEST(PluginBoundary, AnAncientHostGetsNoEffect) {
    HostConfig config;
    config.hostVersion = 0;
    std::string error;
    EXPECT_FALSE(PluginInstance::load(MORAINE_PLUGIN_PATH, &error, config));
    EXPECT_FALSE(error.empty());
}

TEST(PluginBoundary, NamesLabelsAndDisplays) {
    auto p = loadPlugin();
    ASSERT_TRUE(p);
    EXPECT_EQ(p->parameterName(0), "");
    EXPECT_EQ(p->parameterName(1), "Master Bypass");
    EXPECT_EQ(p->parameterLabel(1), "state");
    EXPECT_EQ(p->parameterName(58), "VCO1 Keybaoard Override");
    // Names are cut to 24 characters.
    EXPECT_EQ(p->parameterName(73), std::string("MIDI Internal Clock Beat Offset").substr(0, 24));
    EXPECT_EQ(p->parameterName(107), "VCF VCO1 Plug");
    EXPECT_EQ(p->parameterLabel(107), "Plug");
    EXPECT_EQ(p->parameterName(177), std::string(jackInfo(88).name).substr(0, 24));
    EXPECT_EQ(p->parameterLabel(33), "seconds");
    EXPECT_EQ(p->parameterLabel(38), "");
    // The host's display is the engine value in its own units.
    EXPECT_EQ(p->parameterDisplay(35), "4.000000");
    p->setParameter(33, 0.5f);
    EXPECT_EQ(p->parameterDisplay(33), "50.001499");
    EXPECT_EQ(p->parameterDisplay(64), "0.000000");
    EXPECT_EQ(p->parameterDisplay(83), "24.000000");
    // Indices the host should not ask for give empty texts.
    for (int bad : {-1, 178, 179, 5000}) {
        EXPECT_EQ(p->parameterName(bad), "") << bad;
        EXPECT_EQ(p->parameterDisplay(bad), "") << bad;
    }
    // No patch has been applied from the empty library: no name yet.
    EXPECT_EQ(p->programName(), "");
}

TEST(PluginBoundary, ParametersRoundTripAndCordsArePlugged) {
    auto p = loadPlugin();
    ASSERT_TRUE(p);
    p->start();
    p->setParameter(33, 0.5f);
    EXPECT_FLOAT_EQ(p->getParameter(33), 0.5f);
    p->setParameter(107, 0.057f);
    EXPECT_FLOAT_EQ(p->getParameter(107), 0.057f);
    EXPECT_FLOAT_EQ(p->getParameter(5), 0.2f); // a default
    for (float bad : {std::nanf(""), INFINITY, -INFINITY, 7.0f, -3.0f}) p->setParameter(40, bad);
    EXPECT_TRUE(p->getParameter(40) >= 0.0f && p->getParameter(40) <= 1.0f);
    for (int bad : {-1, 178, 179, 1 << 30}) {
        p->setParameter(bad, 0.5f);
        EXPECT_EQ(p->getParameter(bad), 0.0f);
    }
}

TEST(PluginBoundary, TheDirectInputReachesTheOutputThroughACord) {
    HostConfig config;
    config.sampleRate = 48000.0f;
    config.blockSize = 256;
    auto p = loadPlugin(config);
    ASSERT_TRUE(p);
    p->start();
    p->setParameter(81, 0.0f);
    p->setParameter(jackParam("pl75"), jackValue("pl53")); // second input, unit gain
    Buffers b(256);
    std::fill(b.inR.begin(), b.inR.end(), 0.25f);
    p->process(b.inputs(), b.outputs(), 256);
    EXPECT_NEAR(b.outR[0], 0.05f, 1e-6f); // 0.1 x 0.25, doubled by the DC blocker
    EXPECT_EQ(b.outL[0], 0.0f);
    p->setParameter(1, 0.0f); // bypass
    p->process(b.inputs(), b.outputs(), 256);
    EXPECT_TRUE(std::all_of(b.outR.begin(), b.outR.end(), [](float x) { return x == 0.0f; }));
}

TEST(PluginBoundary, ANoteAtFrameKStartsAtSampleK) {
    HostConfig config;
    config.blockSize = 128;
    auto p = loadPlugin(config);
    ASSERT_TRUE(p);
    p->start();
    p->setParameter(81, 0.0f);
    p->setParameter(jackParam("pl71"), jackValue("pl27")); // keyboard trigger to the left input
    Buffers b(128);
    p->process(nullptr, b.outputs(), 128);
    p->queueMidi(37, 0x90, 60, 100);
    p->queueMidi(300, 0x80, 60, 0);
    p->queueMidi(300 + 128, 0x90, 61, 100); // frame 44 of the fourth block from here
    p->process(nullptr, b.outputs(), 128);
    for (int i = 0; i < 128; ++i) EXPECT_EQ(b.outL[i] > 2.0f, i == 37) << i; // 15 V for one sample
    p->process(nullptr, b.outputs(), 128);
    p->process(nullptr, b.outputs(), 128);
    p->process(nullptr, b.outputs(), 128);
    EXPECT_GT(b.outL[428 - 384], 2.0f);
}

TEST(PluginBoundary, BadBuffersAndBlockSizesAreSafe) {
    HostConfig config;
    config.blockSize = 512;
    auto p = loadPlugin(config);
    ASSERT_TRUE(p);
    p->start();
    AEffect* e = p->effect();
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
    EXPECT_TRUE(std::all_of(l.begin(), l.end(), [](float x) { return std::isfinite(x); }));
    float* oneMissing[2] = {l.data(), nullptr};
    e->processReplacing(e, noInputs, oneMissing, 256);
    // Non-finite input never reaches the output.
    std::vector<float> nan(512, NAN);
    float* nanInputs[2] = {nan.data(), nan.data()};
    p->setParameter(jackParam("pl71"), jackValue("pl54"));
    p->setParameter(jackParam("pl75"), jackValue("pl53"));
    e->processReplacing(e, nanInputs, outs, 512);
    EXPECT_TRUE(std::all_of(l.begin(), l.begin() + 512, [](float x) { return std::isfinite(x); }));
    EXPECT_TRUE(std::all_of(r.begin(), r.begin() + 512, [](float x) { return std::isfinite(x); }));
}

TEST(PluginBoundary, SampleRatesFromEightToThreeHundredEightyFourKilohertz) {
    auto p = loadPlugin();
    ASSERT_TRUE(p);
    p->open();
    Buffers b(512);
    for (float rate : {8000.0f, 11025.0f, 44100.0f, 88200.0f, 176400.0f, 384000.0f}) {
        p->suspend();
        p->setSampleRate(rate);
        p->resume();
        p->queueMidi(0, 0x90, 72, 127);
        p->process(b.inputs(), b.outputs(), 512);
        EXPECT_TRUE(b.finite()) << rate;
    }
}

TEST(PluginBoundary, CloseRightAfterOpen) {
    for (int i = 0; i < 3; ++i) {
        auto p = loadPlugin();
        ASSERT_TRUE(p);
        p->open();
    } // the instance closes and unloads here
}

TEST(PluginBoundary, AFloodOfMidiIsSurvived) {
    auto p = loadPlugin();
    ASSERT_TRUE(p);
    p->start();
    p->setParameter(81, 1.0f);
    for (int i = 0; i < 3000; ++i)
        p->queueMidi(i % 512, uint8_t(0x80 | (i % 2) << 4), uint8_t(i % 128), 100);
    Buffers b(512);
    for (int i = 0; i < 4; ++i) p->process(b.inputs(), b.outputs(), 512);
    EXPECT_TRUE(b.finite());
}

} // namespace
} // namespace moraine
