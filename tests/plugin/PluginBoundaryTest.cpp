// The built MoraineDeck.so as a host sees it: loaded with dlopen through our test host and
// driven only through the VST 2 interface; notes measured on the rendered audio; and the .so
// as real hosts use it, scanned from a process of the host's own and saved with a project.
// What the VST layer itself guards (clamped values, bad indices, null and long buffers) is
// the fixture plug-in's test; here only what this instrument adds.
#include "PluginTestSupport.h"
#include "support/TempDataFolder.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/wait.h>

namespace moraine {
namespace {

using testing::SoHost;
using testing::tail;
using testing::TempDataFolder;

bool allFinite(const float* begin, const float* end) {
    return std::all_of(begin, end, [](float x) { return std::isfinite(x); });
}
bool allFinite(const std::vector<float>& v) { return allFinite(v.data(), v.data() + v.size()); }

TEST(PluginBoundary, IdentityAndCapabilities) {
    SoHost h;
    PluginInstance* p = h.plugin.get();
    ASSERT_TRUE(p);
    EXPECT_EQ(p->uniqueId(), int32_t(fourcc("MRuI")));
    EXPECT_EQ(p->numInputs() * 1000 + p->numOutputs(), 2002);
    EXPECT_EQ(p->numParams(), 178);
    for (int flag :
         {effFlagsIsSynth, effFlagsProgramChunks, effFlagsCanReplacing, effFlagsHasEditor})
        EXPECT_TRUE(p->flags() & flag) << flag;
    for (auto [what, answer] : {std::pair{"receiveVstEvents", 1}, {"receiveVstMidiEvent", 1},
                                {"sendVstEvents", -1}, {"", -1}})
        EXPECT_EQ(p->canDo(what), answer) << what;
    EXPECT_EQ(p->dispatch(effGetPlugCategory), kPlugCategSynth);
    EXPECT_GE(p->wantMidiRequests(), 1); // a synth asks for MIDI when resumed
}

TEST(PluginBoundary, NamesLabelsAndDisplays) {
    SoHost h;
    PluginInstance* p = h.plugin.get();
    ASSERT_TRUE(p);
    // Names are cut to 24 characters.
    EXPECT_EQ(p->parameterName(73), std::string("MIDI Internal Clock Beat Offset").substr(0, 24));
    // The host's display is the engine value in its own units.
    p->setParameter(33, 0.5f);
    EXPECT_EQ(p->parameterDisplay(33), "50.001499");
    EXPECT_EQ(p->parameterDisplay(83), "24.000000"); // a beat setting, held apart
    // The placeholder has no texts (indices outside the table are the VST layer's).
    EXPECT_EQ(p->parameterName(0) + p->parameterLabel(0) + p->parameterDisplay(0), "");
}

// The rate in effect, seen through the output stage: a step on the direct input decays
// through the DC blocker by 1 - 10 / rate each sample. On the right, a non-finite input
// corded straight out never reaches the output, nor does a jack number outside the table.
TEST(PluginBoundary, SampleRatesFromOneToSevenHundredSixtyEightKilohertzAndNoOthers) {
    SoHost h(48000.0f, 512);
    ASSERT_TRUE(h.plugin);
    h.set(81, 0.0f);
    h.cord("pl71", "pl53");
    h.cord("pl75", "pl54");
    h.set(150, 0.999f); // no jack 999
    std::fill(h.inLeft.begin(), h.inLeft.end(), NAN);
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
        EXPECT_NEAR(h.left[100] / h.left[0], std::pow(1.0 - 10.0 / inEffect, 100), 2e-5);
        EXPECT_TRUE(allFinite(h.left) && allFinite(h.right));
    }
}

// Key 69 on the first oscillator's sine: an octave down at 0 V coarse, an octave up at the
// default coarse. A host may change the rate with the note held: it goes on at the same
// pitch and level.
TEST(PluginBoundary, KeySixtyNinesPitchAndLevelHoldAcrossARateChange) {
    SoHost h(48000.0f, 480);
    ASSERT_TRUE(h.plugin);
    h.sineOnLeft();
    h.setEngine("vo1c", 0.0f);
    h.play(0.05);
    h.midi(0, 0x90, 69, 100);
    const std::vector<float> low = tail(h.play(0.5), 16384 / 48000.0);
    EXPECT_NEAR(testing::peakFrequency(low, 48000), 220.0, 0.5);
    EXPECT_NEAR(testing::rms(low), 0.1 * 5.0 * 2.0 / std::sqrt(2.0), 0.02); // a +-5 V sine
    h.setEngine("vo1c", 0.2f);
    const std::vector<float> before = tail(h.play(0.5), 16384 / 48000.0);
    EXPECT_NEAR(testing::peakFrequency(before, 48000), 880.0, 1.0);
    h.plugin->setSampleRate(96000.0f);
    std::vector<float> after;
    for (int b = 0; b < 60 && h.block(); ++b)
        after.insert(after.end(), h.left.begin(), h.left.end());
    after = tail(after, 0.2, 96000);
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

// The RMS of the last 0.1 s of each channel after `seconds`, in blocks of 480 at 48 kHz.
std::array<double, 2> tailLevels(SoHost& h, double seconds) {
    std::vector<float> audio[2];
    for (int n = 0; n < int(seconds * 100) && h.block(); ++n)
        for (int c = 0; c < 2; ++c)
            audio[c].insert(audio[c].end(), c ? h.right.begin() : h.left.begin(),
                            c ? h.right.end() : h.left.end());
    return {testing::rms(tail(audio[0], 0.1)), testing::rms(tail(audio[1], 0.1))};
}

// A switch a host sets between 0 and 1 is saved as the position it plays in, so a
// reloaded project sounds like the saved one.
TEST(Sound, SwitchesSetBetweenZeroAndOneAreSavedAsTheyPlay) {
    struct Case {
        const char* code;
        float host, reloaded;
    };
    for (const Case& c :
         {Case{"shgt", 0.7f, 1.0f}, {"shgt", 0.3f, 0.0f}, {"kbd1", 0.7f, 1.0f},
          {"kbd2", 0.5f, 0.0f}, {"kbd3", 0.51f, 1.0f}, {"audc", 0.7f, 1.0f}, {"ktrg", 0.6f, 1.0f},
          {"prto", 0.5f, 1.0f}, {"prto", 0.49f, 0.0f}, {"klch", 0.3f, 1.0f}, {"klch", 0.0f, 0.0f},
          {"vcss", 0.7f, 5.0f / 8.0f}}) {
        SCOPED_TRACE(std::string(c.code) + " at " + std::to_string(c.host));
        const int index = findParameterByName(c.code);
        SoHost saved, restored;
        saved.set(index, c.host);
        restored.plugin->setChunk(saved.plugin->getChunk());
        EXPECT_FLOAT_EQ(restored.param(index), c.reloaded);
    }
}

// A cord kept on an output jack's parameter: the oscillator's sine into the left, then the
// right direct input, then out.
TEST(Sound, ACordOnAnOutputJacksParameterMovesAndComesOut) {
    SoHost h(48000.0f, 480);
    h.setEngine("vcss", 0);
    for (auto [to, left, right] :
         {std::tuple{"pl71", 0.707, 0.0}, {"pl75", 0.0, 0.707}, {"", 0.0, 0.0}}) {
        SCOPED_TRACE(to);
        const float jack = *to ? float(jackNumber(fourccFromText(to))) / 1000.0f : 0.0f;
        h.set(testing::jackParam("v1si"), jack);
        const auto level = tailLevels(h, 0.3);
        EXPECT_NEAR(level[0], left, left ? 0.05 : 1e-3); // a +-5 V sine, or nothing
        EXPECT_NEAR(level[1], right, right ? 0.05 : 1e-3);
    }
    EXPECT_EQ(h.plugin->getChunk().find("\n2 : "), std::string::npos); // the state holds no cord
}

// The filter's insert cord pulled out from its input end gives the mixer its filter back.
TEST(Sound, AnInsertCordPulledFromItsInputEndGivesTheMixerBack) {
    SoHost h(48000.0f, 480);
    for (auto [code, value] :
         {std::pair{"vcss", 0.0f}, {"vfo1", 0.5f}, {"vffc", 0.7f}, {"mxvf", 0.5f}})
        h.setEngine(code, value);
    const double mixer = tailLevels(h, 0.3)[1];
    ASSERT_GT(mixer, 0.01);
    h.cord("pl71", "pl69"); // the insert into the left direct input
    EXPECT_LT(tailLevels(h, 0.3)[1], 0.25 * mixer); // the mixer no longer hears the filter
    h.set(testing::jackParam("pl71"), 0.0f);
    EXPECT_NEAR(tailLevels(h, 0.3)[1], mixer, 0.1 * mixer);
    h.setEngine("mxvf", 0.25f);
    EXPECT_NEAR(tailLevels(h, 0.3)[1], 0.5 * mixer, 0.1 * mixer);
}

std::string readFile(const std::string& path) {
    std::stringstream s;
    s << std::ifstream(path, std::ios::binary).rdbuf();
    return s.str();
}

// The scanning host on the plug-in with a fresh, empty data folder, in which the instrument
// builds and writes its default library: the most it ever has to say. `verbose` is
// MORAINE_VERBOSE's value, or null for none. Asked for, the diagnostic lines go to standard
// error: one per library patch read, and the files written into the new folder.
TEST(HostProcess, AScanningHostReadsNothingFromThePluginOnItsStandardOutput) {
    for (const char* verbose : {static_cast<const char*>(nullptr), "1"}) {
        SCOPED_TRACE(verbose ? verbose : "unset");
        TempDataFolder data, logs; // the command names its data folder itself
        const std::string command =
            "env -u MORAINE_VERBOSE MORAINE_DATA_DIR='" + data.path() + "' " +
            (verbose ? "MORAINE_VERBOSE='" + std::string(verbose) + "' " : std::string()) + "'" +
            MORAINE_SCANNING_HOST_PATH + "' '" + MORAINE_PLUGIN_PATH + "' >'" + logs.path() +
            "out' 2>'" + logs.path() + "err'";
        const int status = std::system(command.c_str());
        const std::string err = readFile(logs.path() + "err");
        EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 0) << err;
        EXPECT_EQ(readFile(logs.path() + "out"), "");
        EXPECT_TRUE(data.exists("groupList")) << "the scan did not build the library";
    }
}

// A library of our own: "Plain" at program 0 with its notes hidden, "Noted" at program 6 with
// them shown. The factory library goes through the same program lines.
TEST(HostProcess, AProjectSavedReopenedAndSavedAgainHoldsTheSameState) {
    TempDataFolder folder;
    std::filesystem::create_directories(folder.path() + "0/0");
    folder.write("groupList", "Tests\n");
    folder.write("0/catagoryList", "Cases\n");
    folder.write("0/0/patchList", "Plain\nNoted\n");
    folder.write("0/0/0.qix", "12 : 0\n15 : 0\n4 : PatchName = Plain\n");
    folder.write("0/0/1.qix", "1 : vffc = 0.25\n12 : 1\n15 : 6\n4 : PatchName = Noted\n");
    std::string saved;
    {
        SoHost first;
        ASSERT_TRUE(first.plugin);
        first.midi(0, 0xC0, 6, 0);
        first.play(0.2); // long enough for a patch change's fade out and back in
        saved = first.plugin->getChunk();
    }
    EXPECT_NE(saved.find("12 : 1\n15 : 6\n"), std::string::npos) << saved;
    // Reopened: a new instance, whose library has its first patch selected.
    SoHost reopened;
    ASSERT_TRUE(reopened.plugin);
    EXPECT_EQ(reopened.plugin->setChunk(saved), 0);
    reopened.play(0.2);
    EXPECT_EQ(reopened.plugin->getChunk(), saved);
    // A program change goes back to the library, and the state says so.
    reopened.midi(0, 0xC0, 0, 0);
    reopened.play(0.2);
    EXPECT_NE(reopened.plugin->getChunk().find("12 : 0\n15 : 0\n"), std::string::npos);
}

} // namespace
} // namespace moraine
