// The MIDI map in memory, the mapping of MIDI values to engine values, and map files.
#include "patch/MidiMap.h"
#include "patch/ParameterTable.h"
#include "patch/PatchRecord.h"
#include "platform/Files.h"
#include "support/TempDataFolder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace moraine {
namespace {

using testing::TempDataFolder;
using Targets = std::vector<int>;

const float kFull[4][2] = {{0, 127}, {0, 127}, {0, 127}, {0, 127}};
const float kRanges[4][2] = {{1, 2}, {3, 4}, {5, 6}, {7, 8}};
const int kZero[4] = {}, kCurves[4] = {1, 2, 1, 2}, kInverts[4] = {1, 0, 0, 1};

struct EmptyMap : MidiMap {
    EmptyMap() { clear(); }
};

void add(MidiMap& map, int controller, int channel, int target, int sources) {
    map.setEntry(0, controller, channel, target, sources, kFull, kZero, kZero);
}

Targets matches(const MidiMap& map, int source, int controller, int channel) {
    Targets targets;
    MidiMatch m;
    int cursor = 0;
    while (map.nextMatch(cursor, source, controller, channel, m)) targets.push_back(m.target);
    return targets;
}

// Reads `text` as a map file into `map`.
void readText(MidiMap& map, const std::string& text) {
    std::FILE* f = std::tmpfile();
    ASSERT_TRUE(f);
    std::fwrite(text.data(), 1, text.size(), f);
    std::rewind(f);
    map.readMapFile(f);
    std::fclose(f);
}

MidiMatch match(int target, float low = 0, float high = 127, int curve = 0, int invert = 0) {
    MidiMatch m;
    m.target = target;
    m.low = low;
    m.high = high;
    m.curve = curve;
    m.invert = invert;
    return m;
}

// Each source has its own bit and its own slot: velocity, wheel and aftertouch settings
// must come back from a patch under their own bit, the controller's from the map file, and
// a match must hand out the slot of the source that came in and of no other.
TEST(MidiMapData, EachSourceIsStoredRestoredAndMatchedUnderItsOwnBit) {
    const int bits[4] = {kSourceController, kSourceVelocity, kSourceModWheel, kSourceAftertouch};
    for (int slot = 0; slot < 4; ++slot) {
        SCOPED_TRACE(bits[slot]);
        EmptyMap made;
        made.setEntry(0, 20, 3, 40, bits[slot], kRanges, kCurves, kInverts);
        PatchRecord patch;
        patch.addMidiEntry(made.entry(0));
        PatchRecord back;
        back.readText(patch.text());
        const MidiMapEntry& e = back.midiEntries[0];
        EXPECT_EQ(e.sources, slot == 0 ? 0 : bits[slot]);
        // As the instrument restores them: the map file, then the patch applied to it.
        EmptyMap restored;
        readText(restored, made.mapFileText());
        restored.dropPatchSettings();
        restored.setEntry(kSourceController, e.controller, e.channel, e.target, e.sources, e.range,
                          e.curve, e.invert);
        ASSERT_EQ(restored.size(), 1);
        EXPECT_EQ(restored.entry(0).sources, bits[slot]);
        for (const MidiMap* map : {static_cast<MidiMap*>(&made), static_cast<MidiMap*>(&restored)})
            for (int source = 0; source < 4; ++source) {
                MidiMatch m;
                int cursor = 0;
                const bool found = map->nextMatch(cursor, bits[source], 20, 3, m);
                EXPECT_EQ(found, source == slot) << bits[source];
                if (found) {
                    EXPECT_TRUE(m.target == 40 && m.low == kRanges[slot][0] &&
                                m.high == kRanges[slot][1] && m.curve == kCurves[slot] &&
                                m.invert == kInverts[slot]);
                }
            }
    }
}

TEST(MidiMapData, LookupComparesControllerAndChannelOnlyForControllers) {
    EmptyMap map;
    add(map, 7, 2, 33, kSourceController);
    add(map, 7, 2, 34, kSourceController | kSourceVelocity);
    add(map, 9, 5, 35, kSourceVelocity);
    EXPECT_EQ(matches(map, kSourceController, 7, 2), (Targets{33, 34}));
    EXPECT_TRUE(matches(map, kSourceController, 7, 1).empty());
    EXPECT_TRUE(matches(map, kSourceController, 8, 2).empty());
    EXPECT_EQ(matches(map, kSourceVelocity, 123, 9), (Targets{34, 35}));
}

TEST(MidiMapData, SetEntryMergesSlotsByKeepMask) {
    EmptyMap map;
    map.setEntry(0, 20, 3, 40, kSourceController | kSourceVelocity, kRanges, kCurves, kInverts);
    // Keep the controller slot, add aftertouch; velocity's old slot values stay, and only
    // a controller source changes the controller and channel.
    const float other[4][2] = {{90, 91}, {92, 93}, {94, 95}, {96, 97}};
    map.setEntry(1, 99, 9, 40, kSourceAftertouch, other, kZero, kZero);
    const MidiMapEntry& e = *map.findEntry(40);
    EXPECT_EQ(map.size(), 1);
    EXPECT_EQ(e.sources, kSourceController | kSourceAftertouch);
    EXPECT_TRUE(e.controller == 20 && e.channel == 3);
    EXPECT_TRUE(e.range[0][0] == 1.0f && e.range[1][0] == 3.0f && e.curve[1] == 2);
    EXPECT_TRUE(e.range[3][0] == 96.0f && e.curve[3] == 0);
    // Keep mask 0 with a controller source replaces everything else.
    map.setEntry(0, 11, 4, 40, kSourceController, other, kCurves, kInverts);
    EXPECT_EQ(e.sources, kSourceController);
    EXPECT_TRUE(e.controller == 11 && e.channel == 4 && e.range[0][1] == 91.0f);
    // Odd source bits are dropped.
    add(map, 1, 0, 41, 0xFFF0 | kSourceVelocity);
    EXPECT_EQ(map.findEntry(41)->sources, kSourceVelocity);
}

TEST(MidiMapData, DroppingPatchAndControllerSettings) {
    MidiMap map;
    const int ones[4] = {1, 1, 1, 1};
    map.setEntry(1, 0, 0, 33, kSourceVelocity | kSourceModWheel, kRanges, ones, ones);
    map.setEntry(0, 0, 0, 60, kSourceAftertouch, kRanges, ones, ones);
    map.dropPatchSettings();
    const MidiMapEntry& e = *map.findEntry(33);
    EXPECT_EQ(e.sources, kSourceController);
    for (int s = 1; s < 4; ++s)
        EXPECT_TRUE(e.range[s][0] == 0.0f && e.range[s][1] == 127.0f && e.curve[s] == 0 &&
                    e.invert[s] == 0)
            << s;
    EXPECT_EQ(map.findEntry(60)->sources, 0);
    map.dropControllerSettings();
    EXPECT_TRUE(e.sources == 0 && e.controller == 0);
    map.resetToDefault();
    EXPECT_EQ(map.size(), 12);
    EXPECT_EQ(map.findEntry(60), nullptr);
}

TEST(MidiMapMapping, RangesCurvesInvertLogarithmicTargetsAndPitchBend) {
    struct Case {
        MidiMatch m;
        int value;
        bool fourteen;
        double expected, tolerance;
    };
    const Case cases[] = {
        // "Ring Mod 1": linear 0..1.
        {match(3), 127, false, 1, 1e-6},
        {match(3, 64, 127), 0, false, 0.5, 1e-6},
        {match(3, 0, 63), 127, false, 0.5, 1e-6},
        {match(3, 0, 127, 0, 1), 0, false, 1, 1e-6},
        // Curve 2 rises fast; curve 1 rises slowly and reaches 1 at 127.
        {match(3, 0, 127, 2), 64, false, std::log10(64 / 14.11112 + 1), 1e-6},
        {match(3, 0, 127, 1), 64, false, (std::pow(10.0, 64 / 127.00001) - 1) / 9, 1e-6},
        {match(3, 0, 127, 1), 127, false, 1, 1e-5},
        // Low above high runs the slice backwards and stays inside the range.
        {match(3, 127, 0), 0, false, 127.0 / 128.0, 1e-6},
        // "ADSR Attack Time" is logarithmic, 0.003 .. 100 s, and limited to its maximum.
        {match(33), 0, false, 0.003, 1e-7},
        {match(33), 127, false, 100, 0},
        {match(33, 64, 127), 0, false, 0.003 * std::sqrt(100.0 / 0.003), 1e-3},
        // 14-bit pitch bend.
        {match(71), 16383, true, 2, 1e-5},
        {match(71), 0, true, -2, 1e-6},
        {match(71, 0, 127, 0, 1), 0, true, 2, 1e-5},
        // The 14-bit slice ends one below the next step: the middle value lands just above 0.
        {match(71), 8192, true, 4 * 8192 / 16383.00001 - 2, 1e-10},
        {match(71, 0, 127, 2), 16383, true, 2, 1e-4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.m.target << " " << c.m.low << ".." << c.m.high
                                          << " curve " << c.m.curve << " value " << c.value);
        EXPECT_NEAR(mapMidiValue(c.m, c.value, c.fourteen), c.expected, c.tolerance);
    }
}

TEST(MidiMapFile, EveryVersionReadsAndLoadingKeepsPatchSources) {
    MidiMap map;
    map.setEntry(0, 7, 15, 75, kSourceController | kSourceVelocity, kRanges, kCurves, kInverts);
    EXPECT_TRUE(map.mapFileText().ends_with("4: 15, 7, 75, 3, 1.000000, 2.000000, 1, 1\n"));
    EmptyMap back;
    readText(back, map.mapFileText());
    EXPECT_EQ(back.findEntry(75)->range[1][0], 0.0f); // patch-specific slots are not stored

    EmptyMap old;
    add(old, 0, 0, 75, kSourceVelocity);
    add(old, 44, 3, 40, kSourceController);
    readText(old, "1: 2, 5, 33, 14\n2: 3, 6, 34, 1, 10.5, 20.25\n3: 4, 7, 35, 1, 1, 2, 1, 1\n"
                  "4: 0, 7, 75, 1, 0, 127, 0, 0\n");
    const MidiMapEntry* v1 = old.findEntry(33);
    ASSERT_TRUE(v1 && old.findEntry(34) && old.findEntry(35));
    EXPECT_EQ(v1->sources, kSourceController); // whatever the line says
    EXPECT_TRUE(v1->channel == 2 && v1->controller == 5);
    const MidiMapEntry& v2 = *old.findEntry(34);
    EXPECT_TRUE(v2.range[0][0] == 10.5f && v2.range[0][1] == 20.25f && v2.curve[0] == 0);
    EXPECT_TRUE(old.findEntry(35)->curve[0] == 1 && old.findEntry(35)->invert[0] == 1);
    // The velocity assignment keeps its slot and gains the controller.
    EXPECT_EQ(old.findEntry(75)->sources, kSourceController | kSourceVelocity);
    EXPECT_EQ(old.findEntry(75)->controller, 7);
    // Loading drops controller settings the file does not give again.
    EXPECT_TRUE(old.findEntry(40)->sources == 0 && old.findEntry(40)->controller == 0);
}

// Lines that do not read are skipped one by one; ranges are brought back into 0..127 but
// low above high is kept as given, and a channel no MIDI message has simply never matches.
TEST(MidiMapFile, GarbageLinesAreSkippedOneByOne) {
    EmptyMap map;
    readText(map, "hello world\n4: 0, 8, 179, 1, 0, 127, 0, 0\n4: 0, 8, 33, 1, 0\n"
                  "3: 0, 9, 34, 1, nan, inf, 5, 5\n4: 99, 999999, 35, 1, -5, 500, 0, 0\n"
                  "2: 3, 10, 36, 1, 64, 12\n" +
                      std::string(5000, 'x') + "\n4: 0, 11, 37, 1, 0, 127, 0, 0");
    EXPECT_EQ(map.mapFileText(), "4: 0, 9, 34, 1, 0.000000, 127.000000, 5, 5\n"
                                 "4: 99, 999999, 35, 1, 0.000000, 127.000000, 0, 0\n"
                                 "4: 3, 10, 36, 1, 64.000000, 12.000000, 0, 0\n"
                                 "4: 0, 11, 37, 1, 0.000000, 127.000000, 0, 0\n");
    MidiMap fresh; // an empty file only drops the controller settings
    readText(fresh, "");
    EXPECT_EQ(fresh.size(), 12);
    EXPECT_TRUE(matches(fresh, kSourceController, 74, 0).empty());
}

TEST(MidiMapFile, NamedMapsAreListedSavedAndLoaded) {
    TempDataFolder folder;
    const std::string sub = "Larchmere Audio/Moraine Deck/";
    MidiMap map;
    MidiMapFiles files;
    files.setFolder(folder.path() + sub); // saving creates the data folder
    files.startUp(map);
    EXPECT_EQ(files.saveMap("Live", map), 0);
    add(map, 5, 1, 40, kSourceController);
    EXPECT_EQ(files.saveMap("Studio", map), 1);
    // Saving under an existing name rewrites its file and leaves the list alone; names that
    // would not read back as themselves are refused.
    add(map, 6, 2, 41, kSourceController);
    EXPECT_EQ(files.saveMap("Live", map), 0);
    for (const char* bad : {"", "two\nlines", "trailing "}) EXPECT_EQ(files.saveMap(bad, map), -1);
    EXPECT_EQ(folder.read(sub + "midiMapList"), "Live\nStudio\n");
    EXPECT_NE(folder.read(sub + "0.mmap").find("4: 2, 6, 41, 1,"), std::string::npos);
    EXPECT_TRUE(folder.exists(sub + "1.mmap") && !folder.exists(sub + "1.mmap.tmp"));
    // A write that dies before its rename is reported, and nothing on disk changes.
    const std::string saved = folder.read(sub + "0.mmap");
    map.clear();
    setReplaceFileInterruptedForTesting(true);
    EXPECT_EQ(files.saveMap("Live", map), -1);
    EXPECT_EQ(files.saveMap("Other", map), -1);
    setReplaceFileInterruptedForTesting(false);
    EXPECT_EQ(folder.read(sub + "0.mmap"), saved);
    EXPECT_EQ(folder.read(sub + "midiMapList"), "Live\nStudio\n");
    // The list's lines are read trimmed, whatever ends them; a name without a file loads
    // nothing and leaves the shown name.
    folder.write(sub + "midiMapList", "Live  \r\n\n   \nStudio\t\nThird");
    MidiMapFiles again;
    again.setFolder(folder.path() + sub);
    MidiMap loaded;
    again.startUp(loaded);
    EXPECT_EQ(again.mapNames(), (std::vector<std::string>{"Live", "Studio", "Third"}));
    EXPECT_EQ(again.shownName(), "Live");
    EXPECT_EQ(matches(loaded, kSourceController, 6, 2), Targets{41});
    EXPECT_TRUE(again.loadMap(1, loaded));
    EXPECT_EQ(again.shownName(), "Studio");
    EXPECT_EQ(matches(loaded, kSourceController, 6, 2), Targets{});
    EXPECT_FALSE(again.loadMap(2, loaded) || again.loadMap(7, loaded) || again.loadMap(-1, loaded));
    EXPECT_EQ(again.shownName(), "Studio");
    EXPECT_EQ(again.saveMap("Other", loaded), 3);
    // Without map 0 the instrument starts on the default map.
    std::filesystem::remove(folder.path() + sub + "0.mmap");
    again.startUp(loaded);
    EXPECT_TRUE(again.shownName() == "Default Map" && loaded.size() == 12);
}

} // namespace
} // namespace moraine
