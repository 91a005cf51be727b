// MIDI input: dispatch at its frame, the map's controllers, velocity and pressure, bank and
// program selection, host tempo sync and the queue's limits. Most cases drive the built
// MoraineDeck.so through our test host; a few look inside the engine in-process.
#include "PluginTestSupport.h"
#include "support/TempDataFolder.h"

#include <algorithm>
#include <cmath>

namespace moraine {
namespace {

using testing::FakeHost;
using testing::LivePlugin;
using testing::SoHost;
using testing::TempDataFolder;

// ---------------------------------------------------------------- through the .so

// The keyboard trigger on the left direct input: 15 V for the note's sample, x 0.1 into
// the input, x 2 out of the DC blocker.
TEST(MidiThroughHost, NotesPlayAtTheirFrameInQueueOrder) {
    SoHost h(48000.0f, 128);
    ASSERT_TRUE(h.plugin);
    h.set(81, 0.0f);
    h.cord("pl71", "pl27");
    h.block();
    h.midi(37, 0x90, 60, 100);
    ASSERT_TRUE(h.block());
    for (int i = 0; i < 37; ++i) ASSERT_EQ(h.left[i], 0.0f) << i;
    EXPECT_NEAR(h.left[37], 3.0f, 1e-5f);
    EXPECT_LT(h.left[38], 0.0f);
    // An event past the block waits for the next one; a sysex beside it is skipped.
    h.midi(0, 0x80, 60, 0);
    h.block();
    VstMidiEvent note{};
    note.type = kVstMidiType;
    note.byteSize = sizeof note;
    note.deltaFrames = 200; // frame 72 of the next block
    note.midiData[0] = char(0x90);
    note.midiData[1] = 64;
    note.midiData[2] = 100;
    VstEvent sysex{};
    sysex.type = kVstSysExType;
    sysex.byteSize = sizeof sysex;
    struct {
        VstInt32 numEvents;
        VstIntPtr reserved;
        VstEvent* events[2];
    } list{2, 0, {&sysex, reinterpret_cast<VstEvent*>(&note)}};
    EXPECT_EQ(h.plugin->dispatch(effProcessEvents, 0, 0, &list), 1);
    h.block();
    EXPECT_TRUE(std::all_of(h.left.begin(), h.left.end(), [](float x) { return x < 2.0f; }));
    h.block();
    for (int i = 0; i < 128; ++i) EXPECT_EQ(h.left[i] > 2.0f, i == 72) << i;

    // Two events on one frame: note-off then note-on leaves the key sounding ...
    h.set(38, 1.0f);           // the keyboard gates the envelopes
    h.cord("pl71", "pl24");    // the envelope gate: 10 V while a key holds the voice
    h.midi(0, 0x80, 64, 0);
    h.block();
    h.block();
    h.midi(50, 0x80, 61, 0);
    h.midi(50, 0x90, 61, 100);
    h.block();
    EXPECT_GT(h.left[60] - h.left[40], 1.5f);
    // ... and note-on then note-off (velocity 0 is a note-off) leaves it silent.
    h.midi(0, 0x80, 61, 0);
    for (int i = 0; i < 40; ++i) h.block();
    h.midi(50, 0x90, 62, 100);
    h.midi(50, 0x90, 62, 0);
    h.block();
    EXPECT_NEAR(h.left[60], h.left[40], 0.01f);
}

TEST(MidiThroughHost, TheDefaultMapMovesParametersOnChannelOne) {
    SoHost h;
    ASSERT_TRUE(h.plugin);
    const float attack = h.param(33);
    h.midi(0, 0xB0, 74, 127); // VCF coarse
    h.midi(1, 0xB0, 71, 0);   // VCF resonance
    h.midi(2, 0xB1, 82, 127); // ADSR attack, but on the second channel
    h.block();
    EXPECT_NEAR(h.param(23), 1.0f, 1e-6f);
    EXPECT_EQ(h.param(25), 0.0f);
    EXPECT_EQ(h.param(33), attack);
    // The bend wheel's entry spans the middle of its range: 8192 is 0 V, the top 0.7 V.
    h.midi(0, 0xE0, 0, 64);
    h.block();
    EXPECT_NEAR(h.param(71), 0.5f, 1e-4f);
    h.midi(0, 0xE0, 127, 127);
    h.block();
    EXPECT_NEAR(h.param(71), 75.0f / 128.0f, 1e-4f);
    h.midi(0, 0xB0, 1, 127); // the wheel drives vibrato
    h.block();
    EXPECT_NEAR(h.param(67), 1.0f, 1e-6f);
}

TEST(MidiThroughHost, MapZeroFromTheDataFolderDrivesControllers) {
    TempDataFolder folder;
    folder.write("groupList", ""); // the bare circuit
    folder.write("midiMapList", "Stage\n");
    folder.write("0.mmap", "4: 2, 7, 3, 1, 0.000000, 127.000000, 0, 0\n"    // CC 7, channel 3
                           "4: 0, 20, 4, 1, 64.000000, 127.000000, 0, 0\n"  // upper half
                           "4: 0, 21, 26, 1, 0.000000, 127.000000, 2, 0\n"  // curve 2
                           "4: 0, 22, 27, 1, 0.000000, 127.000000, 0, 1\n"  // inverted
                           "4: 0, 128, 28, 1, 0.000000, 127.000000, 0, 0\n" // bend, full
                           "4: 0, 1, 29, 1, 0.000000, 127.000000, 0, 0\n"   // CC 1 as controller
                           "4: 0, 0, 30, 5, 0.000000, 127.000000, 0, 0\n"   // CC 0 and wheel
                           "4: 0, 70, 40, 1, 127.000000, 0.000000, 0, 0\n"  // low above high
                           "4: 0, 74, 23, 1, 0, 127, 0, 0\n"
                           "garbage that is skipped\n"
                           "4: 99, 500000, 41, 1, 0, 127, 0, 0\n");
    SoHost h;
    ASSERT_TRUE(h.plugin);
    const float resonance = h.param(25);
    h.midi(0, 0xB1, 7, 127); // channel 2: ignored
    h.midi(0, 0xB0, 20, 0);
    h.midi(0, 0xB0, 21, 127);
    h.midi(0, 0xB0, 22, 127);
    h.midi(0, 0xE0, 0, 64);
    h.midi(0, 0xB0, 71, 127); // the default map's resonance is gone
    h.block();
    EXPECT_EQ(h.param(3), 0.0f);
    EXPECT_NEAR(h.param(4), 0.5f, 1e-6f);  // 0 in 64..127 is the middle
    EXPECT_NEAR(h.param(26), 1.0f, 1e-6f); // curve 2 at 127 gives 1
    EXPECT_NEAR(h.param(27), 0.0f, 1e-6f);
    EXPECT_NEAR(h.param(28), 0.5f, 1e-4f); // 8192 centres
    EXPECT_EQ(h.param(25), resonance);
    h.midi(0, 0xB2, 7, 127);
    h.midi(0, 0xB0, 74, 0);
    h.block();
    EXPECT_NEAR(h.param(3), 1.0f, 1e-6f); // 127 is the maximum
    EXPECT_EQ(h.param(23), 0.0f);         // 0 the minimum
    // CC 1 reaches only wheel entries; CC 0 only selects a group (no library: nothing).
    h.midi(0, 0xB0, 1, 127);
    h.midi(0, 0xB0, 0, 127);
    h.block();
    EXPECT_EQ(h.param(29), 0.0f);
    EXPECT_NEAR(h.param(30), 1.0f, 1e-6f); // through the wheel's slot, not controller 0
    EXPECT_NEAR(h.param(67), 1.0f, 1e-6f);
    h.midi(0, 0xB0, 1, 0);
    h.midi(0, 0xB0, 0, 127);
    h.midi(0, 0xB0, 70, 127);
    h.block();
    EXPECT_EQ(h.param(30), 0.0f);
    // Kept as written, low above high: 127 maps to the bottom of the high step.
    EXPECT_NEAR(h.param(40), 33554432.0 / 4294967295.0, 1e-6);
    // A program change without a library changes nothing.
    const float before = h.param(23);
    h.midi(0, 0xC0, 5, 0);
    h.block();
    EXPECT_EQ(h.param(23), before);
}

// Left output of a run in which key 64 is played with `velocity` 100 frames into the
// third block, the first note having started a block earlier.
std::vector<float> velocityRun(int voices, int velocity, float* bendAfter) {
    SoHost h;
    if (!h.plugin) return {};
    h.set(81, float(voices - 1) / 8.0f);
    h.set(38, 1.0f); // velocity comes with the keyboard's envelope gate
    h.cord("pl71", "kbcv");
    h.block();
    // Two-note play applies velocity on the first key of a phrase only.
    if (voices > 1) h.midi(0, 0x90, 60, 127);
    h.block();
    h.midi(100, 0x90, 64, velocity);
    h.block();
    *bendAfter = h.param(71);
    return h.left;
}

TEST(MidiThroughHost, VelocityReachesThePlayedVoiceWithinFortySamples) {
    TempDataFolder folder;
    // Velocity (source 2) to "Pitch Bend", -2 .. 2 V; the file's sources are kept.
    folder.write("groupList", ""); // the bare circuit
    folder.write("0.mmap", "4: 0, 0, 71, 2, 0.000000, 127.000000, 0, 0\n");
    const double bendOf1 = -2.0 + 4.0 * (1.0 / 127.0) * 4294967296.0 / 4294967295.0;
    const double bendOf64 = -2.0 + 4.0 * (64.0 / 127.0) * 4294967296.0 / 4294967295.0;

    // One voice: applied to the parameter itself.
    float bendHigh = 0, bendLow = 0;
    std::vector<float> high = velocityRun(1, 127, &bendHigh);
    std::vector<float> low = velocityRun(1, 64, &bendLow);
    ASSERT_EQ(high.size(), 512u);
    ASSERT_EQ(low.size(), 512u);
    EXPECT_NEAR(bendHigh, 1.0f, 1e-5f);
    EXPECT_NEAR(bendLow, float((bendOf64 + 2.0) / 4.0), 1e-4f);
    for (int i = 0; i < 100; ++i) ASSERT_NEAR(high[i], low[i], 1e-6f) << i;
    // 0.1 into the direct input, doubled by the DC blocker, which barely moves in 40 samples.
    const float full = float(0.2 * (2.0 - bendOf64));
    EXPECT_NEAR(high[141] - low[141], full, 0.01f * full);
    EXPECT_LT(std::fabs(high[110] - low[110]), 0.5f * full); // still gliding

    // Two voices: only the voice of the new note takes the value; the parameter stays.
    std::vector<float> polyHigh = velocityRun(2, 127, &bendHigh);
    std::vector<float> polyLow = velocityRun(2, 1, &bendLow);
    ASSERT_EQ(polyHigh.size(), 512u);
    EXPECT_NEAR(bendHigh, 0.5f, 1e-6f);
    EXPECT_NEAR(bendLow, 0.5f, 1e-6f);
    const float one = float(0.2 * (2.0 - bendOf1));
    EXPECT_NEAR(polyHigh[141] - polyLow[141], one, 0.01f * one); // not twice that
}

// Output difference expected from a direct-input step that glides linearly over `ramp`
// samples: the DC blocker of the output stage, simulated.
float blockedRamp(float volts, int ramp, int samples, float rate) {
    const double r = 1.0 - 10.0 / rate;
    double y = 0.0, previous = 0.0;
    for (int n = 1; n <= samples; ++n) {
        const double x = 0.1 * volts * std::min(1.0, double(n) / ramp);
        y = r * y + x - previous;
        previous = x;
    }
    return float(2.0 * y);
}

std::vector<float> pressureRun(int pressedNote) {
    SoHost h;
    if (!h.plugin) return {};
    h.set(81, 1.0f / 8.0f);
    h.cord("pl71", "kbcv");
    h.block();
    h.midi(0, 0x90, 60, 100);
    h.midi(0, 0x90, 64, 100);
    h.block();
    h.midi(0, 0xA0, pressedNote, 127);
    const std::vector<float> out = h.play(8 * 512 / 48000.0);
    EXPECT_NEAR(h.param(71), 0.5f, 1e-6f); // the stored value does not change
    return out;
}

TEST(MidiThroughHost, PolyphonicPressureMovesOnlyTheVoiceHoldingTheNote) {
    TempDataFolder folder;
    folder.write("groupList", ""); // the bare circuit
    folder.write("0.mmap", "4: 0, 0, 71, 8, 0.000000, 127.000000, 0, 0\n");
    const std::vector<float> held = pressureRun(64);
    const std::vector<float> notHeld = pressureRun(70);
    ASSERT_EQ(held.size(), 4096u);
    ASSERT_EQ(notHeld.size(), 4096u);
    for (int n : {1000, 3000, 4095}) {
        const float expected = blockedRamp(2.0f, 4000, n, 48000.0f);
        EXPECT_NEAR(held[n] - notHeld[n], expected, 0.05f * expected) << n;
    }
    // Channel pressure moves the parameter itself.
    SoHost h;
    ASSERT_TRUE(h.plugin);
    h.midi(0, 0xD0, 0, 0);
    h.block();
    EXPECT_EQ(h.param(71), 0.0f);
}

// Rising (+1) and falling (-1) edges of a 0/10 V square on the left direct input, found
// block by block.
std::vector<int> squareEdges(SoHost& h, int blocks) {
    std::vector<int> edges;
    float last = 0.0f;
    for (int b = 0; b < blocks; ++b) {
        h.block();
        const float jump = h.left[0] - last;
        edges.push_back(jump > 1.5f ? 1 : (jump < -1.5f ? -1 : 0));
        for (int i = 1; i < h.frames; ++i)
            EXPECT_LT(std::fabs(h.left[i] - h.left[i - 1]), 0.01f) << b << " " << i;
        last = h.left[size_t(h.frames - 1)];
    }
    return edges;
}

TEST(MidiThroughHost, TheLfoAndTheClockFollowTheHostsQuarterNotes) {
    for (const char* jack : {"lfo2", "pl48"}) {
        for (float offsetHost : {0.5f, 0.75f}) {
            const bool lfo = jack[0] == 'l';
            SCOPED_TRACE(::testing::Message() << jack << " offset " << offsetHost - 0.5f);
            SoHost h;
            ASSERT_TRUE(h.plugin);
            h.set(81, 0.0f);
            h.set(lfo ? 84 : 82, 1.0f);       // sync on
            h.set(lfo ? 74 : 73, offsetHost); // beat offset 0 or 0.25
            h.set(testing::jackParam("pl71"), float(jackNumber(fourccFromText(jack))) / 1000.0f);
            // A little over four quarter notes at 120 bpm; 10 V while frac(position +
            // offset) < 0.5, as the host's position says block by block.
            const int blocks = 200;
            const std::vector<int> edges = squareEdges(h, blocks);
            std::vector<int> expected;
            for (int b = 0, last = 0; b < blocks; ++b) {
                const double p = double(b) * 512 / 48000.0 * 2.0 + offsetHost - 0.5;
                const int high = p - std::floor(p) < 0.5 ? 1 : 0;
                expected.push_back(high - last);
                last = high;
            }
            EXPECT_EQ(edges, expected);
            EXPECT_GT(std::count(edges.begin(), edges.end(), 1), 3);
        }
    }
}

TEST(MidiThroughHost, WithoutAValidPositionTheSyncedOutputsHoldStill) {
    SoHost h;
    ASSERT_TRUE(h.plugin);
    h.set(81, 0.0f);
    h.set(84, 1.0f);
    h.cord("pl71", "lfo2");
    h.plugin->setPpqValid(false);
    const std::vector<int> edges = squareEdges(h, 100);
    EXPECT_EQ(std::count(edges.begin(), edges.end(), -1), 0);
}

// ---------------------------------------------------------------- in-process

TEST(MidiInProcess, TheQueueKeepsTheOldestAndCountsTheRest) {
    LivePlugin live;
    Moraine_VST& p = *live.plugin;
    p.setParameter(81, 1.0f);
    live.render();
    live.midi(0, 0x90, 60, 100);
    for (int i = 1; i < 10000; ++i) live.midi(0, i % 2 ? 0x90 : 0x80, 61, 100);
    live.midi(0, 0x90, 62, 100);
    EXPECT_EQ(p.midiEventsDropped(), 10001u - 511u);
    live.render();
    EXPECT_TRUE(p.noteHeld(60));  // the oldest was kept
    EXPECT_FALSE(p.noteHeld(62)); // the newest was dropped
    live.midi(10, 0x90, 63, 100);
    live.render();
    EXPECT_TRUE(p.noteHeld(63));
    EXPECT_EQ(p.midiEventsDropped(), 10001u - 511u);
}

struct RecordingSelector : PatchSelector {
    void selectGroup(int group) override { groups.push_back(group); }
    void selectProgram(int program) override { programs.push_back(program); }
    std::vector<int> groups, programs;
};

TEST(MidiInProcess, BankSelectAndProgramChangeGoToTheSelector) {
    LivePlugin live;
    Moraine_VST& p = *live.plugin;
    RecordingSelector selector;
    live.midi(0, 0xB3, 0, 5);
    live.render();
    p.setPatchSelector(&selector);
    live.midi(0, 0xB3, 0, 2);
    live.midi(1, 0xC9, 42, 0);
    live.midi(2, 0xC0, 0xFF, 0);
    live.midi(3, 0xB0, 32, 9); // an ordinary controller
    live.render();
    EXPECT_EQ(selector.groups, std::vector<int>{2});
    EXPECT_EQ(selector.programs, (std::vector<int>{42, 127}));
    p.setPatchSelector(nullptr);
    live.midi(0, 0xC0, 1, 0);
    live.render();
    EXPECT_EQ(selector.programs.size(), 2u);
}

TEST(MidiInProcess, VelocityGlidesInFortySamplesAndTheRateComesBack) {
    LivePlugin live(48000.0f, 64);
    Moraine_VST& p = *live.plugin;
    const float kFull[4][2] = {{0, 127}, {0, 127}, {0, 127}, {0, 127}};
    const int zero[4] = {};
    p.midiMap().setEntry(0, 0, 0, 71, kSourceVelocity, kFull, zero, zero);
    p.publishMidiMap();
    p.setParameter(81, 2.0f / 8.0f);
    p.setParameter(38, 1.0f);
    live.render();
    live.midi(10, 0x90, 60, 127);
    live.midi(10, 0x90, 62, 127);
    live.render();
    int voice60 = -1;
    for (int v = 0; v < 3; ++v)
        if (EngineAccess::keyboard(p).voiceKey[v] == 60) voice60 = v;
    ASSERT_GE(voice60, 0);
    EXPECT_NEAR(EngineAccess::voice(p, voice60).mods.kbdLower.bendRamp.current, 2.0f, 1e-5f);
    for (int v = 0; v < kMaxVoices; ++v)
        EXPECT_NEAR(EngineAccess::voice(p, v).rampRate, 48000.0f / 4000.0f, 1e-3f) << v;
    // The third voice, never played, keeps the parameter's value.
    for (int v = 0; v < 3; ++v) {
        if (EngineAccess::keyboard(p).voiceKey[v] < 0) {
            EXPECT_EQ(EngineAccess::voice(p, v).mods.kbdLower.bendRamp.target, 0.0f);
        }
    }
    EXPECT_EQ(p.engineValue(71), 0.0f);
    EXPECT_EQ(p.midiMapTarget(), -1);
}

TEST(MidiInProcess, ThePositionBecomesTheSynchronisedOutputs) {
    LivePlugin live(48000.0f, 64);
    Moraine_VST& p = *live.plugin;
    FakeHost::ppqValid = true;
    FakeHost::time = VstTimeInfo{};
    FakeHost::time.flags = kVstPpqPosValid;
    p.setParameter(82, 1.0f);
    p.setParameter(84, 1.0f);
    SharedModules::Store& s = *EngineAccess::shared(p).store;
    struct Case {
        double ppq;
        float clock, square;
    };
    // Far into a long song the fraction is still exact.
    for (const Case c :
         {Case{0.0, 10, 10}, Case{0.25, 10, 10}, Case{0.5, 0, 0}, Case{0.99, 0, 0},
          Case{7.1, 10, 10}, Case{1e7 + 0.75, 0, 0}, Case{1e7 + 0.25, 10, 10}, Case{-0.25, 0, 0}}) {
        FakeHost::time.ppqPos = c.ppq;
        live.render();
        EXPECT_EQ(s.internalClock.syncedOutput(0), c.clock) << c.ppq;
        EXPECT_EQ(s.lfo.syncedOutput(kLfoSquare), c.square) << c.ppq;
        EXPECT_GE(s.lfo.syncPhase, 0.0f);
        EXPECT_LT(s.lfo.syncPhase, 1.0f);
    }
    // Not finite, or not flagged valid: the last position stays.
    FakeHost::time.ppqPos = 0.25;
    live.render();
    FakeHost::time.ppqPos = NAN;
    live.render();
    EXPECT_EQ(s.internalClock.syncedOutput(0), 10.0f);
    FakeHost::time.ppqPos = 0.5;
    FakeHost::time.flags = 0;
    live.render();
    EXPECT_EQ(s.internalClock.syncedOutput(0), 10.0f);
    // Pulses set in their own units arrive as whole numbers: 26 pulses, not 25.
    FakeHost::time.flags = kVstPpqPosValid;
    p.setFromEngineValue(83, 26.0f);
    p.setFromEngineValue(85, 26.0f);
    FakeHost::time.ppqPos = 0.53; // 0.489 of a period at 26 pulses, 0.509 at 25
    live.render();
    EXPECT_EQ(s.internalClock.syncedOutput(0), 10.0f);
    EXPECT_EQ(s.lfo.syncedOutput(kLfoSquare), 10.0f);
    FakeHost::ppqValid = false;
    FakeHost::time = VstTimeInfo{};
}

TEST(MidiInProcess, MapZeroIsLoadedAtStartUp) {
    TempDataFolder folder;
    folder.write("groupList", ""); // the bare circuit
    folder.write("midiMapList", "Mine\nOther\n");
    folder.write("0.mmap", "4: 0, 30, 40, 1, 0.000000, 127.000000, 0, 0\n");
    LivePlugin live;
    Moraine_VST& p = *live.plugin;
    EXPECT_EQ(p.midiMapFiles().shownName(), "Mine");
    EXPECT_EQ(p.midiMapFiles().mapNames().size(), 2u);
    ASSERT_TRUE(p.midiMap().findEntry(23));
    EXPECT_EQ(p.midiMap().findEntry(23)->sources, 0); // the default controllers are dropped
    live.midi(0, 0xB0, 30, 127);
    live.render();
    EXPECT_FLOAT_EQ(p.engineValue(40), parameterInfo(40).maximum);
}

} // namespace
} // namespace moraine
