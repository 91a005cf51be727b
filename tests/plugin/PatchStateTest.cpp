// Patches in and out of the running instrument: capture and apply, the host's state
// chunk, the program name, bank select and program change, and the library the
// instrument builds in an empty data folder. Unless a test makes a folder of its own, the
// instruments run on the test process's folder, whose library is empty.
#include "PluginTestSupport.h"
#include "patch/PatchLibrary.h"
#include "patch/PatchManager.h"
#include "support/TempDataFolder.h"

#include <cstring>
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

// A library of one group and one category on disk, with these patch texts.
void writeLibrary(const TempDataFolder& folder, const std::vector<std::string>& patches) {
    std::filesystem::create_directories(folder.path() + "0/0");
    folder.write("groupList", "Tests\n");
    folder.write("0/catagoryList", "Cases\n");
    std::string list;
    for (size_t i = 0; i < patches.size(); ++i) {
        list += "Patch " + std::to_string(i) + "\n";
        folder.write("0/0/" + std::to_string(i) + ".qix", patches[i]);
    }
    folder.write("0/0/patchList", list);
}

// A full patch: what an instrument with these settings captures.
std::string patchText(const std::string& name, int program,
                      const std::vector<std::pair<int, float>>& settings) {
    TempDataFolder scratch;
    scratch.write("groupList", "");
    LivePlugin live;
    for (const auto& [index, value] : settings) live.plugin->setEngineValue(index, value);
    live.plugin->applyPendingControl();
    PatchRecord r;
    live.plugin->capture(r);
    r.name = name;
    r.midiProgram = program;
    return r.text();
}

// A value each parameter can take back exactly: whole numbers where the patch stores
// integers, any value in range elsewhere.
float someValue(int index, std::mt19937& rng) {
    const ParameterInfo& p = parameterInfo(index);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    if (parameterStorage(index) == ParamStorage::Integer)
        return std::floor(p.minimum + unit(rng) * (p.maximum - p.minimum) + 0.5f);
    return p.minimum + unit(rng) * (p.maximum - p.minimum);
}

// ---------------------------------------------------------------- through the .so

TEST(HostState, AChunkRestoresEveryParameterCordBeatSettingAndText) {
    SoHost h;
    PluginInstance* p = h.plugin.get();
    ASSERT_TRUE(p);
    p->setChunk("4 : PatchName = Glass Bells\n5 : PatchAuthor = A. Player\n"
                "6 : PatchDate = 2026-12-01\n7 : PatchNotes = First line\nsecond line\n");
    std::mt19937 rng(7);
    for (int i = 2; i < kFirstJackParam; ++i) {
        if (parameterStorage(i) == ParamStorage::NotStored && (i < 82 || i > 85)) continue;
        const float v = someValue(i, rng);
        p->setParameter(i, engineToHost(i, v));
    }
    // Beat settings: clock synced at 48 pulses, LFO free at 6.
    p->setParameter(82, 1.0f);
    p->setParameter(83, engineToHost(83, 48.0f));
    p->setParameter(84, 0.0f);
    p->setParameter(85, engineToHost(85, 6.0f));
    const std::pair<const char*, const char*> cords[] = {
        {"pl18", "pl58"}, {"plg5", "mlt4"}, {"pl71", "kbcv"}, {"mlt1", "lfo2"}};
    for (const auto& [a, b] : cords)
        p->setParameter(kFirstJackParam - 1 + jackNumber(fourccFromText(a)),
                        float(jackNumber(fourccFromText(b))) / 1000.0f);
    h.block();

    std::vector<float> before(kHostParamCount);
    for (int i = 0; i < kHostParamCount; ++i) before[size_t(i)] = p->getParameter(i);
    const std::string chunk = p->getChunk();
    ASSERT_FALSE(chunk.empty());
    EXPECT_NE(chunk.find("2 : plg5 = mlt4"), std::string::npos);
    EXPECT_NE(chunk.find("10 : 1, 48, 0, 6"), std::string::npos);

    // Another sound in between: other values, no cords.
    for (int i = 2; i < kHostParamCount; ++i)
        if (i != 82 && i != 84) p->setParameter(i, 0.0f);
    h.block();

    EXPECT_EQ(p->setChunk(chunk), 0);
    h.block();
    // Everything but the library's selectors and the MIDI light, which no patch holds.
    for (int i = 0; i < kHostParamCount; ++i) {
        if (i >= 86 && i <= 89) continue;
        EXPECT_EQ(p->getParameter(i), before[size_t(i)])
            << "parameter " << i << " " << parameterInfo(i).name;
    }
    EXPECT_EQ(p->getChunk(), chunk);
    EXPECT_EQ(p->programName(), "Glass Bells");
}

TEST(HostState, EachGetChunkHandsOverAFreshBlock) {
    SoHost h;
    PluginInstance* p = h.plugin.get();
    ASSERT_TRUE(p);
    void* first = nullptr;
    void* second = nullptr;
    const intptr_t length = p->dispatch(effGetChunk, 0, 0, &first);
    ASSERT_GT(length, 0);
    const std::string firstText(static_cast<const char*>(first), size_t(length));
    EXPECT_EQ(p->dispatch(effGetChunk, 0, 0, &second), length);
    EXPECT_NE(first, second);
    EXPECT_EQ(std::string(static_cast<const char*>(second), size_t(length)), firstText);
    EXPECT_EQ(static_cast<const char*>(second)[length], '\0');
}

// What a chunk cannot say leaves the sound as it was (any bytes at all: the chunk fuzzer).
TEST(HostState, WhatABadChunkCannotSayLeavesTheSoundAlone) {
    SoHost h;
    PluginInstance* p = h.plugin.get();
    ASSERT_TRUE(p);
    p->setParameter(jackParam("pl18"), 0.058f);
    h.block();
    EXPECT_EQ(p->dispatch(effSetChunk, 0, 0, nullptr), 0);
    EXPECT_EQ(p->setChunk(""), 0);
    EXPECT_FLOAT_EQ(p->getParameter(jackParam("pl18")), 0.058f);
    // A NUL inside ends the text there; an unknown link code leaves its jack alone; a
    // jack given as a number outside the table is refused.
    std::string withNul = "2 : pl18 = pl58\n";
    withNul += '\0';
    withNul += "2 : pl19 = pl57\n";
    p->setChunk(withNul + "2 : pl20 = zzzz\n1 : pl21 = 4000\n");
    h.block();
    EXPECT_FLOAT_EQ(p->getParameter(jackParam("pl18")), 0.058f);
    EXPECT_EQ(p->getParameter(jackParam("pl19")), 0.0f);
    EXPECT_EQ(p->getParameter(jackParam("pl20")), 0.0f);
    EXPECT_EQ(p->getParameter(jackParam("pl21")), 0.0f);
    // The program name is cut to 24 characters, and the host cannot rename it.
    p->setChunk("4 : PatchName = Thirty characters of name here\n");
    EXPECT_EQ(p->programName(), "Thirty characters of nam");
    char name[] = "Other";
    p->dispatch(effSetProgramName, 0, 0, name);
    EXPECT_EQ(p->programName(), "Thirty characters of nam");
}

// ---------------------------------------------------------------- in process

TEST(PatchApply, AChunkWithoutRecordsRemovesCordsAndResetsBeatAndVolume) {
    LivePlugin live;
    Moraine_VST& p = *live.plugin;
    live.cord("pl18", "pl58");
    p.setEngineValue(23, 0.33f);
    p.setEngineValue(75, 0.4f);
    p.setEngineValue(83, 96.0f);
    live.render();
    std::string text = "nothing we know\n";
    p.setChunk(text.data(), int(text.size()), false);
    live.render();
    for (int i = kFirstJackParam; i < kParamCount; ++i) EXPECT_EQ(p.engineValue(i), 0.0f) << i;
    EXPECT_EQ(p.beatSetting(0), 0);
    EXPECT_EQ(p.beatSetting(1), 24);
    EXPECT_EQ(p.beatSetting(3), 24);
    EXPECT_EQ(p.engineValue(75), 1.0f);
    EXPECT_EQ(p.masterVolume(), 1.0f);
    EXPECT_EQ(p.engineValue(72), 1.0f); // vfkb
    EXPECT_FLOAT_EQ(p.engineValue(23), 0.33f); // knobs stay
    EXPECT_EQ(p.library().currentSource, kSourceSession);
}

TEST(PatchApply, CordsByLinkCodeAndTheLaterOfTwoValuesWins) {
    LivePlugin live;
    Moraine_VST& p = *live.plugin;
    std::string text = "2 : plg5 = mlt4\n1 : vffc = 0.25\n1 : vffc = 0.75\n"
                       "0 : vcss = 3  //\n3 : pl18 = 0\n";
    p.setChunk(text.data(), int(text.size()), false);
    live.render();
    EXPECT_EQ(p.engineValue(findParameter(fourcc("plg5"))), 89.0f);
    EXPECT_EQ(p.engineValue(23), 0.75f);
    EXPECT_EQ(p.engineValue(81), 3.0f);
    EXPECT_EQ(p.extraVoiceCount(), 3);
    EXPECT_EQ(p.engineValue(jackParam("pl18")), 0.0f);
}

TEST(PatchApply, MidiEntriesOfThePatchReplaceThoseOfTheLastOne) {
    LivePlugin live;
    Moraine_VST& p = *live.plugin;
    // Velocity over the lower half of the filter cutoff, on notes that gate the envelopes
    // of the one voice.
    std::string text = "14 : 0, 0, 23, 2, 0, 63, 0, 127, 0, 127, 0, 0, 0, 0, 0, 0\n"
                       "0 : shgt = 1  //\n0 : vcss = 0  //\n";
    p.setChunk(text.data(), int(text.size()), false);
    const MidiMapEntry* e = p.midiMap().findEntry(23);
    ASSERT_TRUE(e);
    EXPECT_EQ(e->sources & ~kSourceController, kSourceVelocity);
    EXPECT_EQ(e->range[1][0], 0.0f);
    EXPECT_EQ(e->range[1][1], 63.0f);
    // The global controller of the default map on the same target stays.
    EXPECT_TRUE(e->sources & kSourceController);
    // The entry plays: a note at full velocity sets the cutoff half-way.
    live.render();
    live.midi(0, 0x90, 60, 127);
    live.render();
    EXPECT_NEAR(p.engineValue(23), 0.5f, 0.001f);

    // The next patch has none: velocity no longer moves the cutoff, and capture says so.
    std::string plain = "1 : vffc = 0.1\n0 : shgt = 1  //\n0 : vcss = 0  //\n";
    p.setChunk(plain.data(), int(plain.size()), false);
    live.render();
    ASSERT_TRUE(p.midiMap().findEntry(23));
    EXPECT_EQ(p.midiMap().findEntry(23)->sources & kSourceVelocity, 0);
    live.midi(0, 0x90, 62, 127);
    live.render();
    EXPECT_FLOAT_EQ(p.engineValue(23), 0.1f);
    PatchRecord r;
    p.capture(r);
    for (const MidiMapEntry& m : r.midiEntries) {
        EXPECT_GE(m.target, 2);
        EXPECT_LE(m.target, 80);
        EXPECT_EQ(m.sources & kSourceController, 0);
    }
}

// ---------------------------------------------------------------- the library

TEST(PatchLibraryInPlugin, TheFirstPatchPlaysAtStartAndProgramChangePicksByNumber) {
    TempDataFolder folder;
    writeLibrary(folder, {patchText("Zero", 4, {{23, 0.25f}}), patchText("One", 9, {{23, 0.5f}}),
                          patchText("Two", -1, {{23, 0.75f}})});
    LivePlugin live;
    Moraine_VST& p = *live.plugin;
    EXPECT_FLOAT_EQ(p.engineValue(23), 0.25f);
    EXPECT_EQ(p.currentTexts().name, "Zero");

    live.midi(0, 0xC0, 9, 0);
    live.render();
    p.serviceControlSide(); // the control side follows on its next call
    EXPECT_FLOAT_EQ(p.engineValue(23), 0.5f);
    EXPECT_EQ(p.currentTexts().name, "One");

    // A number no patch holds loads the selected patch again.
    p.setEngineValue(23, 0.9f);
    live.midi(0, 0xC0, 100, 0);
    live.render();
    p.serviceControlSide();
    EXPECT_FLOAT_EQ(p.engineValue(23), 0.5f);

    // After a chunk the program change goes back to the library.
    std::string text = "1 : vffc = 0.125\n";
    p.setChunk(text.data(), int(text.size()), false);
    EXPECT_EQ(p.library().currentSource, kSourceSession);
    live.midi(0, 0xC0, 4, 0);
    live.render();
    p.serviceControlSide();
    EXPECT_FLOAT_EQ(p.engineValue(23), 0.25f);
    EXPECT_EQ(p.library().currentSource, kSourceLibrary);
}

// A program change inside render applies at once but never calls the host from there: the
// selection, the texts and the automation of its cords follow on the control side.
TEST(PatchLibraryInPlugin, AProgramChangeLeavesTheHostsSideToTheControlSide) {
    TempDataFolder folder;
    writeLibrary(folder, {patchText("Plain", 0, {}), patchText("Corded", 1, {{107, 58.0f}})});
    LivePlugin live;
    Moraine_VST& p = *live.plugin;
    live.render();
    testing::FakeHost::automated = testing::FakeHost::automatedInRender = 0;
    live.midi(0, 0xC0, 1, 0);
    live.render();
    EXPECT_FLOAT_EQ(p.engineValue(107), 58.0f);
    EXPECT_EQ(testing::FakeHost::automatedInRender, 0);
    EXPECT_EQ(testing::FakeHost::automated, 0);
    EXPECT_EQ(p.currentTexts().name, "Plain");
    p.serviceControlSide();
    EXPECT_EQ(p.currentTexts().name, "Corded");
    EXPECT_EQ(p.library().selectedPatch()->name, "Corded");
    EXPECT_GE(testing::FakeHost::automated, 1);
    EXPECT_EQ(testing::FakeHost::automatedInRender, 0);
}

// The panel's loads never sleep the editor's thread: the change starts, the audio thread
// fades out, and a later idle applies it.
TEST(PatchLibraryInPlugin, APanelLoadStartsAtOnceAndLandsOnALaterIdle) {
    TempDataFolder folder;
    writeLibrary(folder, {patchText("Zero", 0, {{23, 0.25f}}), patchText("One", 1, {{23, 0.5f}})});
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
}

TEST(PatchLibraryInPlugin, BankSelectPicksAGroupWithoutLoading) {
    TempDataFolder folder;
    writeLibrary(folder, {patchText("Zero", 0, {{23, 0.25f}})});
    std::filesystem::create_directories(folder.path() + "1/0");
    folder.write("groupList", "Tests\nMore\n");
    folder.write("1/catagoryList", "Other\n");
    folder.write("1/0/patchList", "Far\n");
    folder.write("1/0/0.qix", patchText("Far", 0, {{23, 0.625f}}));
    LivePlugin live;
    Moraine_VST& p = *live.plugin;
    live.midi(0, 0xB0, 0, 1);
    live.render();
    p.serviceControlSide();
    EXPECT_EQ(p.library().currentGroup, 1);
    EXPECT_FLOAT_EQ(p.engineValue(23), 0.25f);
    live.midi(0, 0xB0, 0, 7); // beyond the groups: nothing changes
    live.midi(1, 0xC0, 0, 0);
    live.render();
    p.serviceControlSide();
    EXPECT_EQ(p.library().currentGroup, 1);
    EXPECT_FLOAT_EQ(p.engineValue(23), 0.625f);
    EXPECT_EQ(p.currentTexts().name, "Far");
}

TEST(PatchLibraryInPlugin, ResetBringsBackTheCircuitsStartUpSettings) {
    TempDataFolder folder;
    folder.write("groupList", "");
    {
        LivePlugin first;
        EXPECT_TRUE(folder.exists("reset.qix"));
    }
    const std::string written = folder.read("reset.qix");
    LivePlugin live;
    Moraine_VST& p = *live.plugin;
    EXPECT_EQ(folder.read("reset.qix"), written); // an existing reset patch is kept
    live.cord("pl18", "pl58");
    p.setEngineValue(23, 0.9f);
    p.setEngineValue(81, 4.0f);
    live.render();
    resetPatch(p);
    live.render();
    EXPECT_EQ(p.library().currentSource, kSourceReset);
    EXPECT_EQ(p.engineValue(jackParam("pl18")), 0.0f);
    EXPECT_EQ(p.engineValue(23), parameterInfo(23).defaultValue);
    EXPECT_EQ(p.engineValue(81), parameterInfo(81).defaultValue);
    EXPECT_EQ(p.currentTexts().name, "Reset");
}

TEST(PatchLibraryInPlugin, AnEmptyDataFolderGetsTheDefaultLibrary) {
    TempDataFolder folder;
    LivePlugin live;
    EXPECT_TRUE(folder.exists("defaultLibrary"));
    EXPECT_TRUE(folder.exists("groupList"));
    EXPECT_TRUE(folder.exists("0/0/0.qix"));
    PatchLibrary& library = live.plugin->library();
    size_t patches = 0;
    for (auto& group : library.groups)
        for (auto& category : group->categories)
            for (auto& patch : category->patches) {
                ++patches;
                EXPECT_FALSE(patch->notes.empty() || patch->author.empty() || patch->date.empty())
                    << patch->name;
            }
    EXPECT_EQ(patches, testing::factoryPatchNames().size());
    EXPECT_EQ(patches, 42u);
    const PatchRecord* first = library.selectedPatch();
    ASSERT_TRUE(first);
    EXPECT_EQ(live.plugin->currentTexts().name, first->name);
    // The first patch is a playable sound: a note makes itself heard.
    live.midi(0, 0x90, 60, 100);
    float peak = 0.0f;
    for (int b = 0; b < 40; ++b) {
        live.render();
        for (float x : live.left) peak = std::max(peak, std::fabs(x));
    }
    EXPECT_GT(peak, 0.01f);
    EXPECT_LT(peak, 1.0f);
}

} // namespace
} // namespace moraine
