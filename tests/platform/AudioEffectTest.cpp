// The plug-in side of the VST layer (AudioEffect, AudioEffectX), exercised the way a host
// meets it: the fixture gain is loaded with dlopen and driven through its AEffect record.
#include "platform/vst2/AudioEffect.h"
#include "tests/fixtures/FixtureHandle.h"
#include "tools/host/VstHost.h"

#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

namespace moraine {
namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kSentinel = 7.0f; // no render of the fixture produces it

class FixtureTest : public ::testing::Test {
protected:
    void SetUp() override {
        probe = fixture::probe();
        ASSERT_NE(probe, nullptr) << "the fixture module or its probe is missing";
        *probe = fixture::Probe{};
        std::string error;
        plugin = PluginInstance::load(MORAINE_FIXTURE_PATH, &error, config);
        ASSERT_NE(plugin, nullptr) << error;
        effect = plugin->effect();
    }

    void setGainAndOffset(float gain, float offset) {
        plugin->setParameter(fixture::kGain, gain);
        plugin->setParameter(fixture::kOffset, offset);
    }

    HostConfig config;
    fixture::Probe* probe = nullptr;
    std::unique_ptr<PluginInstance> plugin;
    AEffect* effect = nullptr;
};

// Two channels of `frames` samples, as separate rows.
struct Stereo {
    explicit Stereo(int frames, float fill = kSentinel)
        : left(std::size_t(frames), fill), right(std::size_t(frames), fill) {}
    std::vector<float> left, right;
    std::array<float*, 2> rows{left.data(), right.data()};
    float** data() { return rows.data(); }
};

std::vector<float> ramp(int frames) {
    std::vector<float> v(static_cast<std::size_t>(frames));
    for (int i = 0; i < frames; ++i) v[std::size_t(i)] = float(i) / float(frames);
    return v;
}

// ---- Identity and the dispatcher's answers ---------------------------------------------

TEST_F(FixtureTest, IdentityCrossesTheBoundary) {
    EXPECT_EQ(effect->magic, kEffectMagic);
    EXPECT_EQ(plugin->uniqueId(), fixture::kUniqueId);
    EXPECT_EQ(effect->version, fixture::kVersion);
    EXPECT_EQ(plugin->numInputs(), 2);
    EXPECT_EQ(plugin->numOutputs(), 2);
    EXPECT_EQ(plugin->numParams(), fixture::kNumParams);
    EXPECT_EQ(plugin->numPrograms(), 1);
    EXPECT_EQ(plugin->flags(), effFlagsCanReplacing | effFlagsProgramChunks);
    EXPECT_NE(effect->object, nullptr) << "the plug-in keeps itself in object";

    EXPECT_EQ(plugin->effectName(), "Fixture Gain");
    EXPECT_EQ(plugin->vendorString(), "Moraine Tests");
    EXPECT_EQ(plugin->productString(), "Fixture");
    EXPECT_EQ(plugin->vendorVersion(), fixture::kVendorVersion);
    EXPECT_EQ(plugin->programName(), "Default");

    EXPECT_EQ(plugin->dispatch(effGetVstVersion), kVstVersion);
    EXPECT_EQ(plugin->dispatch(effIdentify), kEffectIdentify);
    EXPECT_EQ(plugin->dispatch(effGetPlugCategory), kPlugCategUnknown) << "not a synth";
    EXPECT_EQ(plugin->canDo("receiveVstMidiEvent"), 1);
    EXPECT_EQ(plugin->canDo("offline"), -1);
    EXPECT_EQ(plugin->dispatch(effCanDo, 0, 0, nullptr), 0) << "a null question is not passed on";
}

TEST_F(FixtureTest, ProgramNamesAndPrecisionAreGuarded) {
    char name[256] = {};
    EXPECT_EQ(plugin->dispatch(effGetProgramNameIndexed, 0, 0, name), 1);
    EXPECT_STREQ(name, "Default");
    std::memset(name, 0, sizeof name);
    EXPECT_EQ(plugin->dispatch(effGetProgramNameIndexed, 1, 0, name), 0) << "one program only";
    EXPECT_EQ(plugin->dispatch(effGetProgramNameIndexed, -1, 0, name), 0);
    EXPECT_STREQ(name, "");
    EXPECT_EQ(plugin->dispatch(effGetProgramNameIndexed, 0, 0, nullptr), 0);

    EXPECT_EQ(plugin->dispatch(effSetProcessPrecision, 0, kVstProcessPrecision32), 1);
    EXPECT_EQ(plugin->dispatch(effSetProcessPrecision, 0, kVstProcessPrecision64), 0)
        << "double precision was never declared";
}

TEST_F(FixtureTest, PinsArePairedAndLabelled) {
    struct Case {
        int opcode, index;
        intptr_t answer;
        const char* label;
        VstInt32 flags;
    };
    const Case cases[] = {
        {effGetOutputProperties, 0, 1, "Left Out", kVstPinIsActive | kVstPinIsStereo},
        {effGetOutputProperties, 1, 1, "Right Out", kVstPinIsActive},
        {effGetOutputProperties, 2, 0, "", 0},
        {effGetOutputProperties, -1, 0, "", 0},
        {effGetInputProperties, 0, 1, "Left In", kVstPinIsActive | kVstPinIsStereo},
        {effGetInputProperties, 1, 1, "Right In", kVstPinIsActive},
        {effGetInputProperties, 2, 0, "", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "opcode " << c.opcode << " pin " << c.index);
        VstPinProperties pin{};
        EXPECT_EQ(plugin->dispatch(c.opcode, c.index, 0, &pin), c.answer);
        EXPECT_STREQ(pin.label, c.label);
        EXPECT_EQ(pin.flags, c.flags);
    }
    EXPECT_EQ(plugin->dispatch(effGetOutputProperties, 0, 0, nullptr), 0);
}

// ---- Parameters ------------------------------------------------------------------------

TEST_F(FixtureTest, HostValuesAreClampedAndBadIndicesAndNaNNeverReachThePlugin) {
    const std::pair<float, float> cases[] = {
        {1.5f, 1.0f}, {-0.5f, 0.0f}, {kInf, 1.0f}, {-kInf, 0.0f}, {0.25f, 0.25f}, {1.0f, 1.0f},
    };
    for (auto [in, out] : cases) {
        SCOPED_TRACE(in);
        effect->setParameter(effect, fixture::kOffset, in);
        EXPECT_EQ(effect->getParameter(effect, fixture::kOffset), out);
    }
    setGainAndOffset(0.5f, 0.25f);
    const int calls = probe->setParameterCalls;
    for (int index : {-1, fixture::kNumParams, 1000, INT_MAX, INT_MIN}) {
        SCOPED_TRACE(index);
        effect->setParameter(effect, index, 0.75f);
        EXPECT_EQ(effect->getParameter(effect, index), 0.0f);
    }
    effect->setParameter(effect, fixture::kGain, kNaN);
    EXPECT_EQ(probe->setParameterCalls, calls);
    EXPECT_EQ(plugin->getParameter(fixture::kGain), 0.5f);
    EXPECT_EQ(plugin->getParameter(fixture::kOffset), 0.25f);
}

TEST_F(FixtureTest, ParameterTextsOnlyForKnownIndices) {
    setGainAndOffset(1.0f, 0.25f);
    EXPECT_EQ(plugin->parameterName(fixture::kGain), "Gain");
    EXPECT_EQ(plugin->parameterName(fixture::kOffset), "Offset");
    EXPECT_EQ(plugin->parameterLabel(fixture::kGain), "dB");
    EXPECT_EQ(plugin->parameterDisplay(fixture::kGain), "0.00");
    EXPECT_EQ(plugin->parameterDisplay(fixture::kOffset), "0.250");
    for (int index : {-1, fixture::kNumParams}) {
        SCOPED_TRACE(index);
        EXPECT_EQ(plugin->parameterName(index), "");
        EXPECT_EQ(plugin->parameterLabel(index), "");
        EXPECT_EQ(plugin->parameterDisplay(index), "");
    }
    EXPECT_EQ(plugin->dispatch(effGetParamName, 0, 0, nullptr), 0) << "null buffer is ignored";
    EXPECT_EQ(plugin->dispatch(effCanBeAutomated, fixture::kGain), 1);
    EXPECT_EQ(plugin->dispatch(effCanBeAutomated, fixture::kNumParams), 0);
}

TEST_F(FixtureTest, AutomatedChangesReachTheHost) {
    auto automate = [&](int index, float value) {
        return plugin->dispatch(effVendorSpecific, fixture::kAutomateRequest, index, nullptr,
                                value);
    };
    ASSERT_EQ(automate(fixture::kOffset, 0.75f), 1);
    ASSERT_EQ(automate(fixture::kGain, 0.5f), 1);
    const std::vector<std::pair<int, float>> expected = {{fixture::kOffset, 0.75f},
                                                         {fixture::kGain, 0.5f}};
    EXPECT_EQ(plugin->automation(), expected);
    EXPECT_EQ(plugin->getParameter(fixture::kOffset), 0.75f);
    EXPECT_EQ(plugin->getParameter(fixture::kGain), 0.5f);

    // An index the host never heard of is set but not reported.
    const int calls = probe->setParameterCalls;
    automate(fixture::kNumParams, 0.5f);
    EXPECT_EQ(probe->setParameterCalls, calls + 1);
    EXPECT_EQ(plugin->automation().size(), 2u);
}

// ---- Rendering -------------------------------------------------------------------------

TEST_F(FixtureTest, ReplacingRenderOverwritesEveryOutput) {
    plugin->start();
    setGainAndOffset(0.5f, 0.25f);
    const int n = 64;
    std::vector<float> inL = ramp(n), inR(std::size_t(n), -1.0f);
    const float* inputs[] = {inL.data(), inR.data()};
    Stereo out(n);
    plugin->process(inputs, out.data(), n);
    for (int i = 0; i < n; ++i) {
        ASSERT_FLOAT_EQ(out.left[std::size_t(i)], inL[std::size_t(i)] * 0.5f + 0.25f) << i;
        ASSERT_FLOAT_EQ(out.right[std::size_t(i)], -0.25f) << i;
    }
}

TEST_F(FixtureTest, NullChannelPointersRenderSafely) {
    plugin->start();
    setGainAndOffset(0.5f, 0.25f);
    const int n = 64;
    std::vector<float> in = ramp(n);

    {
        SCOPED_TRACE("null input list: silence in");
        Stereo out(n);
        effect->processReplacing(effect, nullptr, out.data(), n);
        for (float v : out.left) ASSERT_EQ(v, 0.25f);
        for (float v : out.right) ASSERT_EQ(v, 0.25f);
    }
    {
        SCOPED_TRACE("one null input row");
        float* inputs[] = {nullptr, in.data()};
        Stereo out(n);
        effect->processReplacing(effect, inputs, out.data(), n);
        for (int i = 0; i < n; ++i) {
            ASSERT_EQ(out.left[std::size_t(i)], 0.25f);
            ASSERT_FLOAT_EQ(out.right[std::size_t(i)], in[std::size_t(i)] * 0.5f + 0.25f);
        }
    }
    {
        SCOPED_TRACE("one null output row");
        float* inputs[] = {in.data(), in.data()};
        Stereo out(n);
        float* outputs[] = {nullptr, out.right.data()};
        effect->processReplacing(effect, inputs, outputs, n);
        for (int i = 0; i < n; ++i)
            ASSERT_FLOAT_EQ(out.right[std::size_t(i)], in[std::size_t(i)] * 0.5f + 0.25f);
    }
    {
        SCOPED_TRACE("null lists on both sides");
        const int before = probe->processCalls;
        effect->processReplacing(effect, nullptr, nullptr, n);
        EXPECT_EQ(probe->processCalls, before + 1) << "rendered into scratch, not refused";
    }
}

TEST_F(FixtureTest, BlocksLongerThanAnnouncedArePiecedThroughScratch) {
    config.blockSize = 64;
    plugin.reset();
    std::string error;
    plugin = PluginInstance::load(MORAINE_FIXTURE_PATH, &error, config);
    ASSERT_NE(plugin, nullptr) << error;
    effect = plugin->effect();
    plugin->start();
    setGainAndOffset(1.0f, 0.5f);

    const int n = 200; // three full pieces and a short one
    const int before = probe->processCalls;
    Stereo out(n);
    float* outputs[] = {out.left.data(), nullptr};
    effect->processReplacing(effect, nullptr, outputs, n);
    EXPECT_EQ(probe->processCalls - before, 4);
    EXPECT_EQ(probe->lastFrames, n - 3 * 64);
    for (int i = 0; i < n; ++i) ASSERT_EQ(out.left[std::size_t(i)], 0.5f) << i;
}

TEST_F(FixtureTest, WithoutOpenNullRowsGetSilenceInsteadOfARender) {
    setGainAndOffset(1.0f, 0.5f);
    Stereo out(32);
    float* outputs[] = {out.left.data(), out.right.data()};
    effect->processReplacing(effect, nullptr, outputs, 32);
    EXPECT_EQ(probe->processCalls, 0);
    for (float v : out.left) ASSERT_EQ(v, 0.0f);
    for (float v : out.right) ASSERT_EQ(v, 0.0f);
}

TEST_F(FixtureTest, EmptyOrNegativeBlocksDoNothing) {
    plugin->start();
    setGainAndOffset(1.0f, 0.5f);
    std::vector<float> in = ramp(16);
    float* inputs[] = {in.data(), in.data()};
    for (int frames : {0, -1, INT_MIN}) {
        SCOPED_TRACE(frames);
        Stereo out(16);
        effect->processReplacing(effect, inputs, out.data(), frames);
        effect->process(effect, inputs, out.data(), frames);
        for (float v : out.left) ASSERT_EQ(v, kSentinel);
        for (float v : out.right) ASSERT_EQ(v, kSentinel);
    }
    EXPECT_EQ(probe->processCalls, 0);
}

TEST_F(FixtureTest, DeprecatedProcessAddsToItsOutputs) {
    plugin->start();
    setGainAndOffset(0.5f, 0.25f);
    const int n = 32;
    std::vector<float> in = ramp(n);
    float* inputs[] = {in.data(), nullptr};
    Stereo out(n, 1.0f);
    effect->process(effect, inputs, out.data(), n);
    for (int i = 0; i < n; ++i) {
        ASSERT_FLOAT_EQ(out.left[std::size_t(i)], 1.0f + in[std::size_t(i)] * 0.5f + 0.25f);
        ASSERT_FLOAT_EQ(out.right[std::size_t(i)], 1.25f);
    }
    float* oneRow[] = {nullptr, out.right.data()};
    effect->process(effect, inputs, oneRow, n);
    for (float v : out.right) ASSERT_FLOAT_EQ(v, 1.5f);
}

// ---- State -----------------------------------------------------------------------------

TEST_F(FixtureTest, ChunksCarryTheStateToAnotherInstance) {
    for (bool preset : {false, true}) {
        SCOPED_TRACE(preset ? "preset" : "bank");
        setGainAndOffset(0.3f, 0.6f);
        const std::string chunk = plugin->getChunk(preset);
        ASSERT_FALSE(chunk.empty());

        setGainAndOffset(0.9f, 0.1f);
        EXPECT_NE(plugin->setChunk(chunk, preset), 0);
        EXPECT_EQ(plugin->getParameter(fixture::kGain), 0.3f);
        EXPECT_EQ(plugin->getParameter(fixture::kOffset), 0.6f);

        std::string error;
        auto other = PluginInstance::load(MORAINE_FIXTURE_PATH, &error, config);
        ASSERT_NE(other, nullptr) << error;
        EXPECT_NE(other->setChunk(chunk, preset), 0);
        EXPECT_EQ(other->getParameter(fixture::kGain), 0.3f);
        EXPECT_EQ(other->getParameter(fixture::kOffset), 0.6f);
        EXPECT_EQ(other->getChunk(preset), chunk);
    }
}

TEST_F(FixtureTest, DamagedChunksAreRefusedWithoutChange) {
    setGainAndOffset(0.3f, 0.6f);
    const std::string good = plugin->getChunk();
    std::string foreign = good;
    foreign[0] = 'X';
    for (const std::string& bad : {std::string(), good.substr(0, good.size() - 1), foreign}) {
        SCOPED_TRACE(bad.size());
        EXPECT_EQ(plugin->setChunk(bad), 0);
        EXPECT_EQ(plugin->getParameter(fixture::kGain), 0.3f);
        EXPECT_EQ(plugin->getParameter(fixture::kOffset), 0.6f);
    }
    EXPECT_EQ(plugin->dispatch(effGetChunk, 0, 0, nullptr), 0) << "null destination";
    EXPECT_EQ(plugin->dispatch(effSetChunk, 0, 12, nullptr), 0) << "null source";
    char bytes[16] = {};
    EXPECT_EQ(plugin->dispatch(effSetChunk, 0, -12, bytes), 0) << "negative size";
}

// ---- Life cycle ------------------------------------------------------------------------

TEST_F(FixtureTest, CloseFollowsSuspendAndAnIdleInstanceIsOnlyClosed) {
    using fixture::Call;
    auto calls = [&] { return std::vector<Call>(probe->calls, probe->calls + probe->callCount); };
    plugin->start();
    EXPECT_EQ(plugin->wantMidiRequests(), 1) << "an effect taking MIDI registers on resume";
    plugin.reset();
    std::vector<Call> expected = {Call::Construct, Call::Open,    Call::SampleRate, Call::BlockSize,
                                  Call::Resume,    Call::Suspend, Call::Close,      Call::Destroy};
    EXPECT_EQ(calls(), expected);
    SetUp(); // a fresh probe and instance, opened only
    plugin->open();
    plugin.reset();
    expected = {Call::Construct, Call::Open, Call::Close, Call::Destroy};
    EXPECT_EQ(calls(), expected);
}

TEST_F(FixtureTest, UnusableRatesAndBlockSizesAreIgnored) {
    plugin->start();
    ASSERT_EQ(probe->sampleRate, config.sampleRate);
    ASSERT_EQ(probe->blockSize, config.blockSize);
    for (float rate : {0.0f, -44100.0f, kNaN, kInf}) {
        SCOPED_TRACE(rate);
        plugin->dispatch(effSetSampleRate, 0, 0, nullptr, rate);
        plugin->dispatch(effSetBlockSizeAndSampleRate, 0, 256, nullptr, rate);
        EXPECT_EQ(probe->sampleRate, config.sampleRate);
    }
    EXPECT_EQ(probe->blockSize, 256);
    for (intptr_t frames : {intptr_t(0), intptr_t(-1), intptr_t(INT32_MAX) + 1}) {
        SCOPED_TRACE(frames);
        plugin->dispatch(effSetBlockSize, 0, frames);
        EXPECT_EQ(probe->blockSize, 256);
    }
}

// ---- Strings ---------------------------------------------------------------------------

TEST(VstStrncpy, TruncatesAndAlwaysTerminates) {
    char buffer[8];
    std::memset(buffer, 'x', sizeof buffer);
    vst_strncpy(buffer, "Resonance", 4);
    EXPECT_STREQ(buffer, "Reso");
    EXPECT_EQ(buffer[5], 'x') << "nothing written past the terminator";

    vst_strncpy(buffer, "Q", 7);
    EXPECT_STREQ(buffer, "Q");
    vst_strncpy(buffer, nullptr, 7);
    EXPECT_STREQ(buffer, "");
    std::memset(buffer, 'x', sizeof buffer);
    vst_strncpy(buffer, "abc", 0);
    EXPECT_EQ(buffer[0], '\0');
    EXPECT_EQ(buffer[1], 'x');
    vst_strncpy(nullptr, "abc", 3); // ignored
}

} // namespace
} // namespace moraine
