// The plug-in side of the VST layer (AudioEffect, AudioEffectX), exercised the way a host
// meets it: the fixture gain is loaded with dlopen and driven through its AEffect record.
#include "platform/vst2/AudioEffect.h"
#include "tests/fixtures/FixtureHandle.h"
#include "tools/host/VstHost.h"

#include <gtest/gtest.h>

#include <climits>
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
        config.blockSize = 64; // so that a 200-frame block is rendered in pieces
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

// ---- The dispatcher's answers -----------------------------------------------------------

// What the layer answers itself: fixed numbers, a non-synth's category, one program, one
// precision, paired pins, and refusals of what is not there. Names and texts that only
// pass through are seen on the built instrument.
TEST_F(FixtureTest, TheDispatcherAnswersAndRefusesWhatIsNotThere) {
    EXPECT_TRUE(plugin->uniqueId() == fixture::kUniqueId && effect->version == fixture::kVersion);
    EXPECT_EQ(plugin->flags(), effFlagsCanReplacing | effFlagsProgramChunks);
    struct Case {
        int opcode, index;
        intptr_t value;
        bool buffer; // a zeroed buffer, or null
        intptr_t answer;
        const char* text; // what the buffer then holds (a pin's label)
        VstInt32 pinFlags = 0;
    };
    const VstInt32 stereo = kVstPinIsActive | kVstPinIsStereo;
    const Case cases[] = {
        {effGetVstVersion, 0, 0, false, kVstVersion, ""},
        {effIdentify, 0, 0, false, kEffectIdentify, ""},
        {effGetPlugCategory, 0, 0, false, kPlugCategUnknown, ""}, // not a synth
        {effCanDo, 0, 0, false, 0, ""},                           // a null question
        {effGetProgramNameIndexed, 0, 0, true, 1, "Default"},
        {effGetProgramNameIndexed, 1, 0, true, 0, ""}, // one program only
        {effGetProgramNameIndexed, 0, 0, false, 0, ""},
        {effSetProcessPrecision, 0, kVstProcessPrecision32, false, 1, ""},
        {effSetProcessPrecision, 0, kVstProcessPrecision64, false, 0, ""}, // never declared
        {effGetOutputProperties, 0, 0, true, 1, "Left Out", stereo},
        {effGetOutputProperties, 1, 0, true, 1, "Right Out", kVstPinIsActive},
        {effGetOutputProperties, 2, 0, true, 0, ""},
        {effGetInputProperties, 0, 0, true, 1, "Left In", stereo},
        {effGetParamName, 0, 0, false, 0, ""},
        {effCanBeAutomated, fixture::kGain, 0, false, 1, ""},
        {effCanBeAutomated, fixture::kNumParams, 0, false, 0, ""},
        {effGetChunk, 0, 0, false, 0, ""},  // nowhere to put it
        {effSetChunk, 0, 12, false, 0, ""}, // nothing to read
        {effSetChunk, 0, -12, true, 0, ""}, // a negative size
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "opcode " << c.opcode << " index " << c.index);
        VstPinProperties buffer{}; // large enough for every text asked for here
        EXPECT_EQ(plugin->dispatch(c.opcode, c.index, c.value, c.buffer ? &buffer : nullptr),
                  c.answer);
        EXPECT_STREQ(buffer.label, c.text);
        EXPECT_EQ(buffer.flags, c.pinFlags);
    }
}

// ---- Parameters ------------------------------------------------------------------------

// The fixture answers any index; the layer passes on only those it has, and no NaN.
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
        EXPECT_EQ(plugin->parameterName(index) + plugin->parameterLabel(index) +
                      plugin->parameterDisplay(index),
                  "");
    }
    effect->setParameter(effect, fixture::kGain, kNaN);
    EXPECT_EQ(probe->setParameterCalls, calls);
    EXPECT_EQ(plugin->getParameter(fixture::kGain), 0.5f);
    EXPECT_EQ(plugin->getParameter(fixture::kOffset), 0.25f);
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

// ---- Rendering and state -----------------------------------------------------------

// Both render entries with the rows a host may leave out: what each row passed holds after
// the call, and the renders the plug-in saw (the announced block is 64 frames; longer ones
// are pieced through scratch rows).
TEST_F(FixtureTest, RenderCallsWriteTheRowsTheyAreGivenAndNothingElse) {
    struct Case {
        const char* what;
        bool started, adds;   // adds: the deprecated accumulating call
        const char *in, *out; // the rows passed, "" for no list at all
        int frames, renders;
    };
    const Case cases[] = {
        {"every row", true, false, "LR", "LR", 64, 1},
        {"no input list: silence in", true, false, "", "LR", 64, 1},
        {"a missing input row", true, false, "-R", "LR", 64, 1},
        {"a missing output row", true, false, "LR", "-R", 64, 1},
        {"no lists at all: rendered into scratch", true, false, "", "", 64, 1},
        {"longer than announced", true, false, "", "L-", 200, 4},
        {"before start: silence instead of a render", false, false, "", "LR", 32, 0},
        {"the deprecated call adds", true, true, "L-", "LR", 32, 1},
        {"the deprecated call, a row missing", true, true, "L-", "-R", 32, 1},
        {"an empty block", true, false, "LR", "LR", 0, 0},
        {"a negative deprecated block", true, true, "LR", "LR", INT_MIN, 0},
    };
    std::vector<float> in(200);
    for (std::size_t i = 0; i < in.size(); ++i) in[i] = float(i) / 200.0f;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        plugin.reset();
        SetUp(); // a fresh probe and instance
        if (c.started) plugin->start();
        setGainAndOffset(0.5f, 0.25f);
        const float fill = c.adds ? 1.0f : kSentinel;
        std::vector<float> left(200, fill), right(200, fill);
        float* rows[2] = {left.data(), right.data()};
        float *inRows[2], *outRows[2];
        for (int ch = 0; ch < 2; ++ch) {
            inRows[ch] = c.in[0] && c.in[ch] != '-' ? in.data() : nullptr;
            outRows[ch] = c.out[0] && c.out[ch] != '-' ? rows[ch] : nullptr;
        }
        (c.adds ? effect->process : effect->processReplacing)(
            effect, c.in[0] ? inRows : nullptr, c.out[0] ? outRows : nullptr, c.frames);
        EXPECT_EQ(probe->processCalls, c.renders);
        EXPECT_EQ(probe->lastFrames, c.renders ? c.frames - (c.renders - 1) * 64 : 0);
        for (int ch = 0; ch < 2; ++ch)
            for (int i = 0; outRows[ch] && i < 200; ++i) {
                const float rendered = (c.adds ? fill : 0.0f) +
                                       (inRows[ch] ? in[std::size_t(i)] * 0.5f : 0.0f) + 0.25f;
                const float expected = i >= c.frames ? fill : c.started ? rendered : 0.0f;
                ASSERT_FLOAT_EQ(outRows[ch][i], expected) << "row " << ch << " frame " << i;
            }
    }
}

// The chunk passes through whole to another instance (the null and negative ones are
// refused by the dispatcher, above).
TEST_F(FixtureTest, ChunksCarryTheStateToAnotherInstance) {
    setGainAndOffset(0.3f, 0.6f);
    const std::string chunk = plugin->getChunk();
    ASSERT_FALSE(chunk.empty());
    std::string error;
    auto other = PluginInstance::load(MORAINE_FIXTURE_PATH, &error, config);
    ASSERT_NE(other, nullptr) << error;
    EXPECT_NE(other->setChunk(chunk), 0);
    EXPECT_EQ(other->getParameter(fixture::kGain), 0.3f);
    EXPECT_EQ(other->getParameter(fixture::kOffset), 0.6f);
    EXPECT_EQ(other->getChunk(), chunk);
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

} // namespace
} // namespace moraine
