// MIDI input: dispatch at its frame, the map's controllers, velocity and pressure, bank and
// program selection, host tempo sync and the queue's limits. Most cases drive the built
// MoraineDeck.so through our test host; a few look inside the engine in-process.
#include "PluginTestSupport.h"
#include "support/TempDataFolder.h"

#include <algorithm>
#include <cmath>
#include <tuple>

namespace moraine {
namespace {

using testing::FakeHost;
using testing::LivePlugin;
using testing::SoHost;
using testing::TempDataFolder;

// The keyboard trigger on the left direct input: 15 V for the note's sample, x 0.1 into
// the input, x 2 out of the DC blocker. That a note starts on its own sample is the render
// tool's test; here, an event past the block waits for the next one (frame 72 there) and a
// sysex is skipped.
TEST(MidiThroughHost, NotesPlayAtTheirFrameInQueueOrder) {
    SoHost h(48000.0f, 128);
    ASSERT_TRUE(h.plugin);
    h.set(81, 0.0f);
    h.cord("pl71", "pl27");
    h.block();
    VstMidiEvent note = testing::midiEvent(200, 0x90, 64, 100);
    VstEvent sysex{};
    sysex.type = kVstSysExType;
    sysex.byteSize = sizeof sysex;
    testing::EventList<2> list{2, 0, {&sysex, reinterpret_cast<VstEvent*>(&note)}};
    EXPECT_EQ(h.plugin->dispatch(effProcessEvents, 0, 0, &list), 1);
    h.block();
    EXPECT_TRUE(std::all_of(h.left.begin(), h.left.end(), [](float x) { return x < 2.0f; }));
    h.block();
    for (int i = 0; i < 128; ++i) EXPECT_EQ(h.left[i] > 2.0f, i == 72) << i;
    EXPECT_NEAR(h.left[72], 3.0f, 1e-5f);
    // Two events on one frame: note-off then note-on leaves the key sounding (the
    // keyboard's envelope gate, 10 V while a key holds the voice) ...
    h.set(38, 1.0f);
    h.cord("pl71", "pl24");
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

// Map 0 in the data folder replaces the default map at start-up (how entries map values is
// the map's own test; the default map's wheel and bend entries play in every reference
// render's phrase): channels, controller 1 only on wheel entries, controller 0 only as bank
// select.
TEST(MidiThroughHost, MapZeroFromTheDataFolderDrivesControllers) {
    TempDataFolder folder;
    folder.write("groupList", ""); // the bare circuit
    folder.write("midiMapList", "Stage\n");
    folder.write("0.mmap", "4: 2, 7, 3, 1, 0.000000, 127.000000, 0, 0\n"  // CC 7, channel 3
                           "4: 0, 1, 29, 1, 0.000000, 127.000000, 0, 0\n" // CC 1 as controller
                           "4: 0, 0, 30, 5, 0.000000, 127.000000, 0, 0\n" // CC 0 and wheel
                           "4: 0, 74, 23, 1, 0, 127, 0, 0\n");
    SoHost h;
    ASSERT_TRUE(h.plugin);
    const float resonance = h.param(25);
    h.midi(0, 0xB1, 7, 127);  // channel 2: ignored
    h.midi(0, 0xB0, 71, 127); // the default map's resonance is gone
    h.block();
    EXPECT_EQ(h.param(3), 0.0f);
    EXPECT_EQ(h.param(25), resonance);
    h.midi(0, 0xB2, 7, 127);
    h.midi(0, 0xB0, 74, 0);
    h.midi(0, 0xB0, 1, 127);
    h.midi(0, 0xB0, 0, 127); // no library: selects nothing
    h.block();
    EXPECT_NEAR(h.param(3), 1.0f, 1e-6f);
    EXPECT_EQ(h.param(23), 0.0f);
    EXPECT_EQ(h.param(29), 0.0f);
    EXPECT_NEAR(h.param(30), 1.0f, 1e-6f); // through the wheel's slot, not controller 0
    EXPECT_NEAR(h.param(67), 1.0f, 1e-6f);
    h.midi(0, 0xB0, 1, 0);
    h.midi(0, 0xB0, 0, 127);
    h.block();
    EXPECT_EQ(h.param(30), 0.0f);
}

struct VelocityRun {
    std::vector<float> left;
    float bend = 0, laterStep = 0; // the parameter after the note; a later move's first 40 samples
};

// Key 64 played with `velocity` 100 frames into the third block, a first note having
// started a block earlier; then the host moves the bend, which glides at the usual rate.
VelocityRun velocityRun(int voices, int velocity) {
    SoHost h;
    if (!h.plugin) return {};
    h.set(81, float(voices - 1) / 8.0f);
    h.set(38, 1.0f); // velocity comes with the keyboard's envelope gate
    h.cord("pl71", "kbcv");
    h.block();
    if (voices > 1) h.midi(0, 0x90, 60, 127); // two-note play: velocity on a phrase's first key
    h.block();
    h.midi(100, 0x90, 64, velocity);
    h.block();
    VelocityRun r{h.left, h.param(71)};
    h.set(71, 0.0f);
    h.block();
    r.laterStep = h.left[40] - h.left[0];
    return r;
}

TEST(MidiThroughHost, VelocityReachesThePlayedVoiceWithinFortySamples) {
    TempDataFolder folder;
    // Velocity (source 2) to "Pitch Bend", -2 .. 2 V; the file's sources are kept.
    folder.write("groupList", ""); // the bare circuit
    folder.write("0.mmap", "4: 0, 0, 71, 2, 0.000000, 127.000000, 0, 0\n");
    const double bendOf1 = -2.0 + 4.0 * (1.0 / 127.0) * 4294967296.0 / 4294967295.0;
    const double bendOf64 = -2.0 + 4.0 * (64.0 / 127.0) * 4294967296.0 / 4294967295.0;
    // One voice: applied to the parameter itself.
    const VelocityRun high = velocityRun(1, 127), low = velocityRun(1, 64);
    EXPECT_NEAR(high.bend, 1.0f, 1e-5f);
    EXPECT_NEAR(low.bend, float((bendOf64 + 2.0) / 4.0), 1e-4f);
    for (int i = 0; i < 100; ++i) ASSERT_NEAR(high.left[i], low.left[i], 1e-6f) << i;
    // 0.1 into the direct input, doubled by the DC blocker, which barely moves in 40 samples.
    const float full = float(0.2 * (2.0 - bendOf64));
    EXPECT_NEAR(high.left[141] - low.left[141], full, 0.01f * full);
    EXPECT_LT(std::fabs(high.left[110] - low.left[110]), 0.5f * full); // still gliding
    // After the note the glide is slow again: a 4 V move is 1 % of the way (0.008) in 40
    // samples, the blocker's decay of the earlier step adding as much again; a fast one 0.8.
    EXPECT_GT(high.laterStep, -0.03f);
    EXPECT_LT(high.laterStep, -0.008f);
    // Two voices: only the voice of the new note takes the value; the parameter stays.
    const VelocityRun polyHigh = velocityRun(2, 127), polyLow = velocityRun(2, 1);
    EXPECT_NEAR(polyHigh.bend, 0.5f, 1e-6f);
    const float one = float(0.2 * (2.0 - bendOf1));
    EXPECT_NEAR(polyHigh.left[141] - polyLow.left[141], one, 0.01f * one); // not twice that
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
    const std::vector<float> held = pressureRun(64), notHeld = pressureRun(70);
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
    auto expect = [&](double ppq, float clock, float square) {
        FakeHost::time.ppqPos = ppq;
        live.render();
        EXPECT_EQ(s.internalClock.syncedOutput(0), clock) << ppq;
        EXPECT_EQ(s.lfo.syncedOutput(kLfoSquare), square) << ppq;
    };
    // 10 V while frac(position + offset) < 0.5; far into a long song the fraction is still exact.
    // The triangle rises from -1 V to 0 V at mid-beat and falls back.
    for (auto [ppq, high, triangle] :
         {std::tuple{0.0, 10.0f, -1.0f}, {0.25, 10.0f, -0.5f}, {0.5, 0.0f, 0.0f},
          {0.99, 0.0f, -0.98f}, {7.1, 10.0f, -0.8f}, {1e7 + 0.75, 0.0f, -0.5f},
          {1e7 + 0.25, 10.0f, -0.5f}, {-0.25, 0.0f, -0.5f}}) {
        expect(ppq, high, high);
        EXPECT_NEAR(s.lfo.syncedOutput(kLfoTriangle), triangle, 1e-5) << ppq;
    }
    // Beat offsets of a quarter (host 0.75) on the clock (73) and the LFO (74), one by one.
    p.setParameter(73, 0.75f);
    expect(0.3, 0, 10);
    p.setParameter(74, 0.75f);
    expect(0.3, 0, 0);
    p.setParameter(73, 0.5f);
    p.setParameter(74, 0.5f);
    // Not flagged valid: the last position stays.
    expect(0.25, 10, 10);
    FakeHost::time.flags = 0;
    expect(0.5, 10, 10);
    // Pulses set in their own units arrive as whole numbers: 26 pulses, not 25.
    FakeHost::time.flags = kVstPpqPosValid;
    p.setFromEngineValue(83, 26.0f);
    p.setFromEngineValue(85, 26.0f);
    expect(0.53, 10, 10); // 0.489 of a period at 26 pulses, 0.509 at 25
    FakeHost::ppqValid = false; // and a host without a position at all
    expect(0.5, 10, 10);
    FakeHost::time = VstTimeInfo{};
}

} // namespace
} // namespace moraine
