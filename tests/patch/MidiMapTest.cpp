// The MIDI map in memory, the mapping of MIDI values to engine values, and map files.
#include "patch/MidiMap.h"
#include "patch/ParameterTable.h"
#include "patch/PatchRecord.h"
#include "platform/Files.h"
#include "support/TempDataFolder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace moraine {
namespace {

using testing::TempDataFolder;

const float kFull[4][2] = {{0, 127}, {0, 127}, {0, 127}, {0, 127}};
const int kZero[4] = {};

std::vector<int> matches(const MidiMap& map, int source, int controller, int channel) {
    std::vector<int> targets;
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

std::string writeText(const MidiMap& map) {
    std::FILE* f = std::tmpfile();
    EXPECT_TRUE(f);
    if (!f) return {};
    map.writeMapFile(f);
    std::rewind(f);
    std::string text;
    for (int c; (c = std::getc(f)) != EOF;) text += char(c);
    std::fclose(f);
    return text;
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

TEST(MidiMapData, TheDefaultMapHasTwelveControllerEntries) {
    MidiMap map;
    map.clear();
    map.resetToDefault();
    EXPECT_EQ(map.mapFileText(), "4: 0, 82, 33, 1, 0.000000, 127.000000, 0, 0\n"
                                 "4: 0, 83, 34, 1, 0.000000, 127.000000, 0, 0\n"
                                 "4: 0, 28, 35, 1, 0.000000, 127.000000, 0, 0\n"
                                 "4: 0, 29, 36, 1, 0.000000, 127.000000, 0, 0\n"
                                 "4: 0, 81, 31, 1, 0.000000, 127.000000, 0, 0\n"
                                 "4: 0, 74, 23, 1, 0.000000, 127.000000, 0, 0\n"
                                 "4: 0, 71, 25, 1, 0.000000, 127.000000, 0, 0\n"
                                 "4: 0, 1, 67, 5, 0.000000, 127.000000, 0, 0\n" // and the wheel
                                 "4: 0, 2, 3, 1, 0.000000, 127.000000, 0, 0\n"
                                 "4: 0, 3, 4, 1, 0.000000, 127.000000, 0, 0\n"
                                 "4: 0, 10, 45, 1, 0.000000, 127.000000, 0, 0\n"
                                 "4: 0, 128, 71, 1, 53.000000, 74.000000, 0, 0\n");
    EXPECT_EQ(matches(map, kSourceModWheel, 0, 0), std::vector<int>{67});
    EXPECT_TRUE(matches(map, kSourceVelocity, 0, 0).empty());
    EXPECT_EQ(map.findEntry(99), nullptr);
}

// Each source has its own bit and its own slot: velocity, wheel and aftertouch settings
// must come back from a patch under their own bit, the controller's from the map file, and
// a match must hand out the slot of the source that came in and of no other.
TEST(MidiMapData, EachSourceIsStoredRestoredAndMatchedUnderItsOwnBit) {
    const int bits[4] = {kSourceController, kSourceVelocity, kSourceModWheel, kSourceAftertouch};
    const float ranges[4][2] = {{1, 2}, {3, 4}, {5, 6}, {7, 8}};
    const int curves[4] = {1, 2, 1, 2}, inverts[4] = {1, 0, 0, 1};
    for (int slot = 0; slot < 4; ++slot) {
        SCOPED_TRACE(bits[slot]);
        MidiMap made;
        made.clear();
        made.setEntry(0, 20, 3, 40, bits[slot], ranges, curves, inverts);
        PatchRecord patch;
        patch.addMidiEntry(made.entry(0));
        const MidiMapEntry& kept = patch.midiEntries[0]; // the controller's slot is not the patch's
        EXPECT_TRUE(kept.range[0][0] == 0.0f && kept.range[0][1] == 127.0f && kept.curve[0] == 0 &&
                    kept.invert[0] == 0);
        PatchRecord back;
        back.readText(patch.text());
        ASSERT_EQ(back.midiEntries.size(), 1u);
        const MidiMapEntry& e = back.midiEntries[0];
        EXPECT_EQ(e.sources, slot == 0 ? 0 : bits[slot]);
        // As the instrument restores them: the map file, then the patch applied to it.
        MidiMap restored;
        restored.clear();
        readText(restored, made.mapFileText());
        restored.dropPatchSettings();
        restored.setEntry(kSourceController, e.controller, e.channel, e.target, e.sources, e.range,
                          e.curve, e.invert);
        ASSERT_EQ(restored.size(), 1);
        EXPECT_EQ(restored.entry(0).sources, bits[slot]);
        for (const MidiMap* map : {&made, &restored}) {
            for (int source = 0; source < 4; ++source) {
                MidiMatch m;
                int cursor = 0;
                const bool found = map->nextMatch(cursor, bits[source], 20, 3, m);
                EXPECT_EQ(found, source == slot) << bits[source];
                if (!found) continue;
                EXPECT_EQ(m.target, 40);
                EXPECT_EQ(m.low, ranges[slot][0]);
                EXPECT_EQ(m.high, ranges[slot][1]);
                EXPECT_EQ(m.curve, curves[slot]);
                EXPECT_EQ(m.invert, inverts[slot]);
            }
        }
    }
}

TEST(MidiMapData, LookupComparesControllerAndChannelOnlyForControllers) {
    MidiMap map;
    map.clear();
    map.setEntry(0, 7, 2, 33, kSourceController, kFull, kZero, kZero);
    map.setEntry(0, 7, 2, 34, kSourceController | kSourceVelocity, kFull, kZero, kZero);
    map.setEntry(0, 9, 5, 35, kSourceVelocity, kFull, kZero, kZero);
    EXPECT_EQ(matches(map, kSourceController, 7, 2), (std::vector<int>{33, 34}));
    EXPECT_TRUE(matches(map, kSourceController, 7, 1).empty());
    EXPECT_TRUE(matches(map, kSourceController, 8, 2).empty());
    EXPECT_EQ(matches(map, kSourceVelocity, 123, 9), (std::vector<int>{34, 35}));
    // Only the four single bits are sources.
    EXPECT_TRUE(matches(map, 3, 7, 2).empty());
    EXPECT_TRUE(matches(map, 16, 7, 2).empty());
    EXPECT_TRUE(matches(map, 0, 7, 2).empty());
    // A cursor past the end or below zero is safe.
    MidiMatch m;
    int cursor = 1000;
    EXPECT_FALSE(map.nextMatch(cursor, kSourceVelocity, 0, 0, m));
    cursor = -5;
    EXPECT_TRUE(map.nextMatch(cursor, kSourceVelocity, 0, 0, m));
    EXPECT_EQ(m.target, 34);
}

TEST(MidiMapData, SetEntryMergesSlotsByKeepMask) {
    MidiMap map;
    map.clear();
    const float ranges[4][2] = {{1, 2}, {3, 4}, {5, 6}, {7, 8}};
    const int curves[4] = {1, 2, 1, 2}, inverts[4] = {1, 0, 1, 0};
    map.setEntry(0, 20, 3, 40, kSourceController | kSourceVelocity, ranges, curves, inverts);
    ASSERT_EQ(map.size(), 1);
    // Keep the controller slot, add aftertouch; velocity's old slot values stay.
    const float other[4][2] = {{90, 91}, {92, 93}, {94, 95}, {96, 97}};
    map.setEntry(1, 99, 9, 40, kSourceAftertouch, other, kZero, kZero);
    const MidiMapEntry& e = *map.findEntry(40);
    EXPECT_EQ(map.size(), 1);
    EXPECT_EQ(e.sources, kSourceController | kSourceAftertouch);
    EXPECT_EQ(e.controller, 20); // only a controller source changes these
    EXPECT_EQ(e.channel, 3);
    EXPECT_EQ(e.range[0][0], 1.0f);
    EXPECT_EQ(e.range[1][0], 3.0f);
    EXPECT_EQ(e.curve[1], 2);
    EXPECT_EQ(e.range[3][0], 96.0f);
    EXPECT_EQ(e.curve[3], 0);
    // Keep mask 0 with a controller source replaces everything else.
    map.setEntry(0, 11, 4, 40, kSourceController, other, curves, inverts);
    EXPECT_EQ(e.sources, kSourceController);
    EXPECT_EQ(e.controller, 11);
    EXPECT_EQ(e.channel, 4);
    EXPECT_EQ(e.range[0][1], 91.0f);
    // Targets outside the parameters are refused; odd source bits are dropped.
    map.setEntry(0, 1, 0, 0, kSourceController, kFull, kZero, kZero);
    map.setEntry(0, 1, 0, 179, kSourceController, kFull, kZero, kZero);
    map.setEntry(0, 1, 0, -3, kSourceController, kFull, kZero, kZero);
    EXPECT_EQ(map.size(), 1);
    map.setEntry(0, 1, 0, 41, 0xFFF0 | kSourceVelocity, kFull, kZero, kZero);
    EXPECT_EQ(map.findEntry(41)->sources, kSourceVelocity);
    // Ranges beyond 0..127 or not finite are brought back.
    const float wild[4][2] = {{-50, 1e9f}, {NAN, INFINITY}, {0, 127}, {0, 127}};
    map.setEntry(0, 1, 0, 42, kSourceController | kSourceVelocity, wild, kZero, kZero);
    const MidiMapEntry& w = *map.findEntry(42);
    EXPECT_EQ(w.range[0][0], 0.0f);
    EXPECT_EQ(w.range[0][1], 127.0f);
    EXPECT_EQ(w.range[1][0], 0.0f);
    EXPECT_EQ(w.range[1][1], 127.0f);
}

TEST(MidiMapData, DroppingPatchAndControllerSettings) {
    MidiMap map;
    const float ranges[4][2] = {{0, 127}, {10, 20}, {30, 40}, {50, 60}};
    const int ones[4] = {1, 1, 1, 1};
    map.setEntry(1, 0, 0, 33, kSourceVelocity | kSourceModWheel, ranges, ones, ones);
    map.setEntry(0, 0, 0, 60, kSourceAftertouch, ranges, ones, ones);
    map.dropPatchSettings();
    for (int i = 0; i < map.size(); ++i) {
        const MidiMapEntry& e = map.entry(i);
        EXPECT_EQ(e.sources & ~kSourceController, 0) << e.target;
        for (int s = 1; s < 4; ++s) {
            EXPECT_EQ(e.range[s][0], 0.0f);
            EXPECT_EQ(e.range[s][1], 127.0f);
            EXPECT_EQ(e.curve[s], 0);
            EXPECT_EQ(e.invert[s], 0);
        }
    }
    EXPECT_EQ(map.findEntry(33)->sources, kSourceController);
    map.dropControllerSettings();
    for (int i = 0; i < map.size(); ++i) {
        EXPECT_EQ(map.entry(i).sources & kSourceController, 0);
        EXPECT_EQ(map.entry(i).controller, 0);
    }
    map.resetToDefault();
    EXPECT_EQ(map.size(), 12);
    EXPECT_EQ(map.findEntry(60), nullptr);
}

TEST(MidiMapMapping, RangesCurvesAndInvert) {
    // "Ring Mod 1": linear 0..1.
    EXPECT_NEAR(mapMidiValue(match(3), 127, false), 1.0f, 1e-6f);
    EXPECT_EQ(mapMidiValue(match(3), 0, false), 0.0f);
    EXPECT_NEAR(mapMidiValue(match(3, 64, 127), 0, false), 0.5f, 1e-6f);
    EXPECT_NEAR(mapMidiValue(match(3, 0, 63), 127, false), 0.5f, 1e-6f);
    EXPECT_NEAR(mapMidiValue(match(3, 0, 127, 0, 1), 127, false), 0.0f, 1e-6f);
    EXPECT_NEAR(mapMidiValue(match(3, 0, 127, 0, 1), 0, false), 1.0f, 1e-6f);
    // Curve 2 reaches 1 at 127 and rises fast; curve 1 rises slowly.
    EXPECT_NEAR(mapMidiValue(match(3, 0, 127, 2), 127, false), 1.0f, 1e-6f);
    EXPECT_NEAR(mapMidiValue(match(3, 0, 127, 2), 64, false), std::log10(64 / 14.11112 + 1), 1e-6f);
    EXPECT_NEAR(mapMidiValue(match(3, 0, 127, 1), 64, false),
                (std::pow(10.0, 64 / 127.00001) - 1) / 9, 1e-6f);
    EXPECT_NEAR(mapMidiValue(match(3, 0, 127, 1), 127, false), 1.0f, 1e-5f);
    // Low above high runs the slice backwards and stays inside the range.
    EXPECT_NEAR(mapMidiValue(match(3, 127, 0), 0, false), 127.0f / 128.0f, 1e-6f);
    EXPECT_NEAR(mapMidiValue(match(3, 127, 0), 127, false), 1.0f / 128.0f, 1e-6f);
}

TEST(MidiMapMapping, LogarithmicTargetsAndPitchBend) {
    // "ADSR Attack Time" is logarithmic, 0.003 .. 100 s.
    EXPECT_NEAR(mapMidiValue(match(33), 0, false), 0.003f, 1e-7f);
    EXPECT_EQ(mapMidiValue(match(33), 127, false), 100.0f); // limited to the maximum
    const float mid = mapMidiValue(match(33, 64, 127), 0, false);
    EXPECT_NEAR(mid, 0.003 * std::sqrt(100.0 / 0.003), 1e-3);
    // 14-bit: 8192 is the middle of a full range, and of the default 53..74 bend entry.
    EXPECT_NEAR(mapMidiValue(match(3), 8192, true), 0.5f, 1e-4f);
    EXPECT_NEAR(mapMidiValue(match(71, 53, 74), 8192, true), 0.0f, 1e-3f);
    EXPECT_NEAR(mapMidiValue(match(71), 16383, true), 2.0f, 1e-5f);
    EXPECT_NEAR(mapMidiValue(match(71), 0, true), -2.0f, 1e-6f);
    EXPECT_NEAR(mapMidiValue(match(71, 0, 127, 0, 1), 0, true), 2.0f, 1e-5f);
    EXPECT_NEAR(mapMidiValue(match(71, 0, 127, 2), 16383, true), 2.0f, 1e-4f);
}

TEST(MidiMapMapping, NothingLeavesTheParameterRange) {
    const float odd[] = {-1e30f, -1, 0, 64, 127, 128, 1e30f, NAN, INFINITY};
    for (int target = 1; target < kParamCount; ++target) {
        const ParameterInfo& p = parameterInfo(target);
        for (float low : odd)
            for (float high : odd)
                for (int curve : {0, 1, 2, 7, -1})
                    for (int value : {-100000, -1, 0, 1, 64, 127, 128, 8192, 16383, 1 << 30})
                        for (bool fourteen : {false, true}) {
                            const float v = mapMidiValue(match(target, low, high, curve, curve & 1),
                                                         value, fourteen);
                            ASSERT_TRUE(std::isfinite(v));
                            ASSERT_GE(v, std::min(p.minimum, p.maximum)) << target;
                            ASSERT_LE(v, std::max(p.minimum, p.maximum)) << target;
                        }
    }
    EXPECT_EQ(mapMidiValue(match(0), 127, false), 0.0f);
    EXPECT_EQ(mapMidiValue(match(500), 127, false), 0.0f);
}

TEST(MidiMapFile, WritesVersionFourAndReadsItBack) {
    MidiMap map;
    const float ranges[4][2] = {{10, 100}, {20, 30}, {0, 127}, {0, 127}};
    const int curves[4] = {2, 1, 0, 0}, inverts[4] = {1, 0, 0, 0};
    map.setEntry(0, 7, 15, 75, kSourceController | kSourceVelocity, ranges, curves, inverts);
    const std::string text = writeText(map);
    EXPECT_EQ(text, map.mapFileText());
    EXPECT_TRUE(text.ends_with("4: 15, 7, 75, 3, 10.000000, 100.000000, 2, 1\n"));
    MidiMap back;
    back.clear();
    readText(back, text);
    EXPECT_EQ(back.mapFileText(), text);
    // Patch-specific slots are not stored.
    EXPECT_EQ(back.findEntry(75)->range[1][0], 0.0f);
}

TEST(MidiMapFile, EveryVersionAndLoadingKeepsPatchSources) {
    MidiMap map;
    map.clear();
    map.setEntry(0, 0, 0, 75, kSourceVelocity, kFull, kZero, kZero);
    map.setEntry(0, 44, 3, 40, kSourceController, kFull, kZero, kZero);
    readText(map, "1: 2, 5, 33, 14\n"
                  "2: 3, 6, 34, 1, 10.5, 20.25\n"
                  "3: 4, 7, 35, 1, 1, 2, 1, 1\n"
                  "4: 0, 7, 75, 1, 0, 127, 0, 0\n");
    const MidiMapEntry* v1 = map.findEntry(33);
    ASSERT_TRUE(v1);
    EXPECT_EQ(v1->sources, kSourceController); // whatever the line says
    EXPECT_EQ(v1->channel, 2);
    EXPECT_EQ(v1->controller, 5);
    EXPECT_EQ(map.findEntry(34)->range[0][0], 10.5f);
    EXPECT_EQ(map.findEntry(34)->range[0][1], 20.25f);
    EXPECT_EQ(map.findEntry(34)->curve[0], 0);
    EXPECT_EQ(map.findEntry(35)->curve[0], 1);
    EXPECT_EQ(map.findEntry(35)->invert[0], 1);
    // The velocity assignment keeps its slot and gains the controller.
    EXPECT_EQ(map.findEntry(75)->sources, kSourceController | kSourceVelocity);
    EXPECT_EQ(map.findEntry(75)->controller, 7);
    // Loading drops controller settings the file does not give again.
    EXPECT_EQ(map.findEntry(40)->sources, 0);
    EXPECT_EQ(map.findEntry(40)->controller, 0);
    EXPECT_EQ(matches(map, kSourceController, 44, 3), std::vector<int>{});
}

TEST(MidiMapFile, GarbageLinesAreSkippedOneByOne) {
    MidiMap map;
    map.clear();
    std::string text = "hello world\n"
                       "4 0, 1, 2\n"
                       "9: 0, 7, 33, 1, 0, 127, 0, 0\n"
                       "-1: 1, 2, 3, 4\n"
                       "4: 0, 8, 0, 1, 0, 127, 0, 0\n"
                       "4: 0, 8, 179, 1, 0, 127, 0, 0\n"
                       "4: 0, 8, 99999999999999999999, 1, 0, 127, 0, 0\n"
                       "4: 0, 8, 33, 1, 0\n"
                       "3: 0, 9, 34, 1, nan, inf, 5, 5\n"
                       "4: 99, 999999, 35, 1, -5, 500, 0, 0\n"
                       "2: 3, 10, 36, 1, 64, 12\n"
                       ":::\n";
    text += std::string(5000, 'x') + "\n"; // longer than a line buffer
    text += std::string("\0\0\0", 3) + "\n";
    text += "4: 0, 11, 37, 1, 0, 127, 0, 0"; // no final line end
    readText(map, text);
    EXPECT_EQ(map.findEntry(33), nullptr);
    ASSERT_TRUE(map.findEntry(34));
    EXPECT_EQ(map.findEntry(34)->range[0][0], 0.0f);
    EXPECT_EQ(map.findEntry(34)->range[0][1], 127.0f);
    ASSERT_TRUE(map.findEntry(35));
    EXPECT_EQ(map.findEntry(35)->channel, 99); // kept, but never matches a MIDI channel
    EXPECT_EQ(map.findEntry(35)->range[0][0], 0.0f);
    EXPECT_EQ(map.findEntry(35)->range[0][1], 127.0f);
    ASSERT_TRUE(map.findEntry(36));
    EXPECT_EQ(map.findEntry(36)->range[0][0], 64.0f); // low above high is kept as given
    EXPECT_EQ(map.findEntry(36)->range[0][1], 12.0f);
    ASSERT_TRUE(map.findEntry(37));
    EXPECT_EQ(map.size(), 4);
    // An empty file only drops the controller settings.
    MidiMap fresh;
    readText(fresh, "");
    EXPECT_EQ(fresh.size(), 12);
    EXPECT_TRUE(matches(fresh, kSourceController, 74, 0).empty());
}

TEST(MidiMapFile, NamesListAndNumberedFiles) {
    TempDataFolder folder;
    MidiMapFiles files;
    files.setFolder(folder.path());
    MidiMap map;
    files.startUp(map);
    EXPECT_TRUE(files.mapNames().empty());
    EXPECT_EQ(files.shownName(), "Default Map");
    EXPECT_EQ(map.size(), 12);

    EXPECT_EQ(files.saveMap("Live", map), 0);
    map.setEntry(0, 5, 1, 40, kSourceController, kFull, kZero, kZero);
    EXPECT_EQ(files.saveMap("Studio", map), 1);
    EXPECT_EQ(folder.read("midiMapList"), "Live\nStudio\n");
    EXPECT_TRUE(folder.exists("0.mmap"));
    EXPECT_TRUE(folder.exists("1.mmap"));
    EXPECT_FALSE(folder.exists("1.mmap.tmp"));

    // Saving under an existing name rewrites its file and leaves the list alone.
    map.setEntry(0, 6, 2, 41, kSourceController, kFull, kZero, kZero);
    EXPECT_EQ(files.saveMap("Live", map), 0);
    EXPECT_EQ(folder.read("midiMapList"), "Live\nStudio\n");
    EXPECT_NE(folder.read("0.mmap").find("4: 2, 6, 41, 1,"), std::string::npos);

    // Names that would not read back as themselves are refused.
    EXPECT_EQ(files.saveMap("", map), -1);
    EXPECT_EQ(files.saveMap("two\nlines", map), -1);
    EXPECT_EQ(files.saveMap("trailing ", map), -1);
    EXPECT_EQ(folder.read("midiMapList"), "Live\nStudio\n");

    MidiMapFiles again;
    again.setFolder(folder.path());
    MidiMap loaded;
    again.startUp(loaded);
    EXPECT_EQ(again.mapNames(), (std::vector<std::string>{"Live", "Studio"}));
    EXPECT_EQ(again.shownName(), "Live");
    EXPECT_EQ(matches(loaded, kSourceController, 6, 2), std::vector<int>{41});
    EXPECT_TRUE(again.loadMap(1, loaded));
    EXPECT_EQ(again.shownName(), "Studio");
    EXPECT_EQ(matches(loaded, kSourceController, 6, 2), std::vector<int>{});
    EXPECT_FALSE(again.loadMap(7, loaded));
    EXPECT_FALSE(again.loadMap(-1, loaded));
    EXPECT_EQ(again.shownName(), "Studio");
}

TEST(MidiMapFile, ListLinesAreTrimmedAndMissingFilesChangeNothing) {
    TempDataFolder folder;
    folder.write("midiMapList", "First  \r\n\n   \nSecond\t\nThird");
    folder.write("2.mmap", "4: 0, 30, 40, 1, 0.0, 127.0, 0, 0\n");
    MidiMapFiles files;
    files.setFolder(folder.path());
    MidiMap map;
    files.startUp(map); // no 0.mmap
    EXPECT_EQ(files.mapNames(), (std::vector<std::string>{"First", "Second", "Third"}));
    EXPECT_EQ(files.shownName(), "Default Map");
    EXPECT_EQ(map.size(), 12);
    EXPECT_TRUE(files.loadMap(2, map));
    EXPECT_EQ(files.shownName(), "Third");
    EXPECT_EQ(matches(map, kSourceController, 30, 0), std::vector<int>{40});

    // Without a data folder nothing is read or written.
    MidiMapFiles none;
    EXPECT_EQ(none.saveMap("x", map), -1);
    EXPECT_FALSE(none.loadMap(0, map));
}

TEST(MidiMapFile, SavingCreatesTheDataFolder) {
    TempDataFolder folder;
    MidiMapFiles files;
    files.setFolder(folder.path() + "Larchmere Audio/Moraine Deck/");
    MidiMap map;
    EXPECT_EQ(files.saveMap("Mine", map), 0);
    EXPECT_EQ(folder.read("Larchmere Audio/Moraine Deck/midiMapList"), "Mine\n");
    const std::string saved = folder.read("Larchmere Audio/Moraine Deck/0.mmap");

    // A write that dies before its rename is reported, and nothing on disk changes.
    map.clear();
    setReplaceFileInterruptedForTesting(true);
    EXPECT_EQ(files.saveMap("Mine", map), -1);
    EXPECT_EQ(files.saveMap("Other", map), -1);
    setReplaceFileInterruptedForTesting(false);
    EXPECT_EQ(folder.read("Larchmere Audio/Moraine Deck/0.mmap"), saved);
    EXPECT_EQ(folder.read("Larchmere Audio/Moraine Deck/midiMapList"), "Mine\n");
    EXPECT_EQ(files.saveMap("Other", map), 1);
}

} // namespace
} // namespace moraine
