// Patches in and out of the running instrument: capture and apply, the host's state
// chunk, the program name, bank select and program change, and the library the
// instrument builds in an empty data folder. Unless a test makes a folder of its own, the
// instruments run on the test process's folder, whose library is empty.
#include "PluginTestSupport.h"
#include "patch/PatchLibrary.h"
#include "patch/PatchManager.h"
#include "support/TempDataFolder.h"

#include <filesystem>
#include <random>
#include <string>
#include <vector>

namespace moraine {
namespace {

using testing::jackParam;
using testing::LivePlugin;
using testing::SoHost;
using testing::TempDataFolder;

// A full patch: what an instrument with these settings captures.
std::string patchText(const std::string& name, int program, float cutoff, int cord = 0) {
    TempDataFolder scratch;
    scratch.write("groupList", "");
    LivePlugin live;
    live.plugin->setEngineValue(23, cutoff);
    if (cord) live.plugin->setEngineValue(cord, 58.0f);
    live.plugin->applyPendingControl();
    PatchRecord r;
    live.plugin->capture(r);
    r.name = name;
    r.midiProgram = program;
    return r.text();
}

// Group `group` of a library on disk, with one category holding these patch texts.
void writeGroup(const TempDataFolder& folder, int group, const std::vector<std::string>& patches) {
    const std::string dir = std::to_string(group) + "/";
    std::filesystem::create_directories(folder.path() + dir + "0");
    folder.write(dir + "catagoryList", "Cases\n");
    std::string list;
    for (size_t i = 0; i < patches.size(); ++i) {
        list += "Patch " + std::to_string(i) + "\n";
        folder.write(dir + "0/" + std::to_string(i) + ".qix", patches[i]);
    }
    folder.write(dir + "0/patchList", list);
    folder.write("groupList", group ? "Tests\nMore\n" : "Tests\n");
}

// Sends a program change (or bank select) and lets the control side follow.
void program(LivePlugin& live, int status, int d1, int d2 = 0) {
    live.midi(0, status, d1, d2);
    live.render();
    live.plugin->serviceControlSide();
}

// ---------------------------------------------------------------- through the .so

TEST(HostState, AChunkRestoresEveryParameterCordBeatSettingAndText) {
    SoHost h;
    PluginInstance* p = h.plugin.get();
    ASSERT_TRUE(p);
    p->setChunk("4 : PatchName = Glass Bells\n5 : PatchAuthor = A. Player\n"
                "6 : PatchDate = 2026-12-01\n7 : PatchNotes = First line\nsecond line\n");
    // Every stored value at a value it can take back exactly (integers where stored so).
    std::mt19937 rng(7);
    for (int i = 2; i < kFirstJackParam; ++i) {
        if (parameterStorage(i) == ParamStorage::NotStored && (i < 82 || i > 85)) continue;
        const ParameterInfo& info = parameterInfo(i);
        float v = info.minimum + std::uniform_real_distribution<float>(0, 1)(rng) *
                                     (info.maximum - info.minimum);
        if (parameterStorage(i) == ParamStorage::Integer) v = std::floor(v + 0.5f);
        p->setParameter(i, engineToHost(i, v));
    }
    // Beat settings: clock synced at 48 pulses, LFO free at 6.
    for (auto [i, v] : {std::pair{82, 1.0f}, {83, engineToHost(83, 48.0f)}, {84, 0.0f},
                        {85, engineToHost(85, 6.0f)}})
        p->setParameter(i, v);
    h.cord("pl18", "pl58");
    h.cord("plg5", "mlt4");
    h.cord("pl71", "kbcv");
    h.cord("mlt1", "lfo2");
    h.block();
    std::vector<float> before(kHostParamCount);
    for (int i = 0; i < kHostParamCount; ++i) before[size_t(i)] = p->getParameter(i);
    const std::string chunk = p->getChunk();
    // Another sound in between: other values, no cords.
    for (int i = 2; i < kHostParamCount; ++i)
        if (i != 82 && i != 84) p->setParameter(i, 0.0f);
    h.block();
    EXPECT_EQ(p->setChunk(chunk), 0);
    h.block();
    // Everything but the library's selectors and the MIDI light, which no patch holds.
    for (int i = 0; i < kHostParamCount; i += i == 85 ? 5 : 1)
        EXPECT_EQ(p->getParameter(i), before[size_t(i)]) << parameterInfo(i).name;
    EXPECT_EQ(p->getChunk(), chunk);
}

// What a chunk cannot say leaves the sound as it was (any bytes at all: the chunk fuzzer).
TEST(HostState, WhatABadChunkCannotSayLeavesTheSoundAlone) {
    SoHost h;
    PluginInstance* p = h.plugin.get();
    ASSERT_TRUE(p);
    p->setParameter(jackParam("pl18"), 0.058f);
    h.block();
    EXPECT_EQ(p->setChunk(""), 0); // (a null chunk is the VST layer's)
    EXPECT_FLOAT_EQ(p->getParameter(jackParam("pl18")), 0.058f);
    // The program name is cut to the 24 characters a host's buffer holds.
    p->setChunk("4 : PatchName = Thirty characters of name here\n");
    EXPECT_EQ(p->programName(), "Thirty characters of nam");
}

// ---------------------------------------------------------------- in process

TEST(PatchApply, ChunkRecordsByLinkCodeTheLaterValueWinsAndWhatIsMissingResets) {
    LivePlugin live;
    Moraine_VST& p = *live.plugin;
    live.chunk("2 : plg5 = mlt4\n1 : vffc = 0.25\n1 : vffc = 0.75\n"
               "0 : vcss = 3  //\n3 : pl18 = 0\n");
    live.render();
    EXPECT_EQ(p.engineValue(findParameter(fourcc("plg5"))), 89.0f);
    EXPECT_EQ(p.engineValue(23), 0.75f);
    EXPECT_EQ(p.engineValue(81), 3.0f);
    EXPECT_EQ(p.engineValue(jackParam("pl18")), 0.0f);
    // Without records: no cords, beat settings and volume reset, knobs stay.
    live.cord("pl18", "pl58");
    p.setEngineValue(23, 0.33f);
    p.setEngineValue(75, 0.4f);
    p.setEngineValue(83, 96.0f);
    live.render();
    live.chunk("nothing we know\n");
    live.render();
    for (int i = kFirstJackParam; i < kParamCount; ++i) EXPECT_EQ(p.engineValue(i), 0.0f) << i;
    EXPECT_EQ(p.beatSetting(1), 24);
    EXPECT_EQ(p.engineValue(75), 1.0f);
    EXPECT_EQ(p.masterVolume(), 1.0f);
    EXPECT_EQ(p.engineValue(72), 1.0f); // vfkb
    EXPECT_FLOAT_EQ(p.engineValue(23), 0.33f);
    EXPECT_EQ(p.library().currentSource, kSourceSession);
}

TEST(PatchApply, MidiEntriesOfThePatchReplaceThoseOfTheLastOne) {
    LivePlugin live;
    Moraine_VST& p = *live.plugin;
    // Velocity over the lower half of the filter cutoff, on notes that gate the envelopes
    // of the one voice (how entries read is the patch text's test, and factory patches
    // with velocity entries play in the reference renders). A note at full velocity sets
    // the cutoff half-way.
    live.chunk("14 : 0, 0, 23, 2, 0, 63, 0, 127, 0, 127, 0, 0, 0, 0, 0, 0\n"
               "0 : shgt = 1  //\n0 : vcss = 0  //\n");
    live.render();
    live.midi(0, 0x90, 60, 127);
    live.render();
    EXPECT_NEAR(p.engineValue(23), 0.5f, 0.001f);
    // The next patch has none: velocity no longer moves the cutoff, and capture says so.
    live.chunk("1 : vffc = 0.1\n0 : shgt = 1  //\n0 : vcss = 0  //\n");
    live.render();
    EXPECT_EQ(p.midiMap().findEntry(23)->sources & kSourceVelocity, 0);
    live.midi(0, 0x90, 62, 127);
    live.render();
    EXPECT_FLOAT_EQ(p.engineValue(23), 0.1f);
    PatchRecord r;
    p.capture(r);
    for (const MidiMapEntry& m : r.midiEntries) {
        EXPECT_TRUE(m.target >= 2 && m.target <= 80) << m.target;
        EXPECT_EQ(m.sources & kSourceController, 0);
    }
}

// ---------------------------------------------------------------- the library

// A program change inside render applies at once but never calls the host from there: the
// selection, the texts and the automation of its cords follow on the control side.
TEST(PatchLibraryInPlugin, TheFirstPatchPlaysAtStartAndProgramChangePicksByNumber) {
    TempDataFolder folder;
    writeGroup(folder, 0, {patchText("Zero", 4, 0.25f), patchText("One", 9, 0.5f),
                           patchText("Two", -1, 0.75f), patchText("Corded", 1, 0.5f, 107)});
    LivePlugin live;
    Moraine_VST& p = *live.plugin;
    EXPECT_FLOAT_EQ(p.engineValue(23), 0.25f);
    EXPECT_EQ(p.currentTexts().name, "Zero");
    program(live, 0xC9, 9); // on any channel
    EXPECT_FLOAT_EQ(p.engineValue(23), 0.5f);
    // A number no patch holds loads the selected patch again.
    p.setEngineValue(23, 0.9f);
    program(live, 0xC0, 100);
    EXPECT_FLOAT_EQ(p.engineValue(23), 0.5f);
    program(live, 0xC0, 0x80 | 4); // the data byte's low seven bits
    EXPECT_FLOAT_EQ(p.engineValue(23), 0.25f);
    testing::FakeHost::automated = testing::FakeHost::automatedInRender = 0;
    live.midi(0, 0xC0, 1, 0);
    live.render();
    EXPECT_FLOAT_EQ(p.engineValue(107), 58.0f);
    EXPECT_EQ(testing::FakeHost::automatedInRender + testing::FakeHost::automated, 0);
    EXPECT_EQ(p.currentTexts().name, "Zero");
    p.serviceControlSide();
    EXPECT_EQ(p.currentTexts().name, "Corded");
    EXPECT_EQ(p.library().selectedPatch()->name, "Corded");
    EXPECT_GE(testing::FakeHost::automated, 1);
}

// The panel's loads never sleep the editor's thread: the change starts, the audio thread
// fades out, and a later idle applies it. Bank select picks a group without loading.
TEST(PatchLibraryInPlugin, APanelLoadLandsOnALaterIdleAndBankSelectOnlyPicksAGroup) {
    TempDataFolder folder;
    writeGroup(folder, 0, {patchText("Zero", 0, 0.25f), patchText("One", 1, 0.5f)});
    writeGroup(folder, 1, {patchText("Far", 0, 0.625f)});
    LivePlugin live;
    Moraine_VST& p = *live.plugin;
    PanelHost& panel = p.panelHost();
    p.library().selectPatch(1);
    ASSERT_TRUE(panel.startPatchLoad(kSourceLibrary));
    PanelSnapshot snap;
    panel.snapshot(snap);
    EXPECT_TRUE(snap.patchChangeBusy);
    EXPECT_FLOAT_EQ(p.engineValue(23), 0.25f);
    panel.serviceControlSide(); // not faded out yet
    EXPECT_FLOAT_EQ(p.engineValue(23), 0.25f);
    for (int i = 0; i < 20; ++i) live.render(); // 0.2 s: the 0.1 s fade is over
    panel.serviceControlSide();
    EXPECT_FLOAT_EQ(p.engineValue(23), 0.5f);
    EXPECT_EQ(p.currentTexts().name, "One");
    panel.snapshot(snap);
    EXPECT_FALSE(snap.patchChangeBusy);
    program(live, 0xB0, 0, 1);
    EXPECT_EQ(p.library().currentGroup, 1);
    EXPECT_FLOAT_EQ(p.engineValue(23), 0.5f);
    live.midi(0, 0xB0, 0, 7); // beyond the groups: nothing changes
    program(live, 0xC0, 0);
    EXPECT_EQ(p.library().currentGroup, 1);
    EXPECT_FLOAT_EQ(p.engineValue(23), 0.625f);
    EXPECT_EQ(p.currentTexts().name, "Far");
    // The control side takes each change once: a group picked afterwards stays picked.
    p.library().selectGroup(0);
    panel.serviceControlSide();
    EXPECT_EQ(p.library().currentGroup, 0);
}

TEST(PatchLibraryInPlugin, ResetBringsBackTheCircuitsStartUpSettings) {
    TempDataFolder folder;
    folder.write("groupList", "");
    { LivePlugin first; }
    const std::string written = folder.read("reset.qix");
    EXPECT_FALSE(written.empty());
    LivePlugin live;
    Moraine_VST& p = *live.plugin;
    EXPECT_EQ(folder.read("reset.qix"), written); // an existing reset patch is kept
    live.cord("pl18", "pl58");
    p.setEngineValue(23, 0.9f);
    live.render();
    resetPatch(p);
    live.render();
    EXPECT_EQ(p.library().currentSource, kSourceReset);
    EXPECT_EQ(p.engineValue(jackParam("pl18")), 0.0f);
    EXPECT_EQ(p.engineValue(23), parameterInfo(23).defaultValue);
}

} // namespace
} // namespace moraine
