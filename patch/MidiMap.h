// The MIDI map: which controllers, velocity, modulation wheel and aftertouch move which
// parameters, and the ".mmap" files and "midiMapList" that keep named maps in the data
// folder.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace moraine {

// Source bits of an entry; slot n of the per-source arrays belongs to bit 1 << n.
enum MidiSource {
    kSourceController = 1, // a controller on one channel; controller 128 is pitch bend
    kSourceVelocity = 2,
    kSourceModWheel = 4,
    kSourceAftertouch = 8,
};
constexpr int kMidiSourceMask = 15;
constexpr int kPitchBendController = 128;

struct MidiMapEntry {
    int channel = 0;
    int controller = 0;
    int target = 0;
    int sources = 0;
    float range[4][2] = {{0.0f, 127.0f}, {0.0f, 127.0f}, {0.0f, 127.0f}, {0.0f, 127.0f}};
    int curve[4] = {};
    int invert[4] = {};
};

// One entry's settings for the source that matched.
struct MidiMatch {
    int target = 0;
    float low = 0.0f, high = 127.0f;
    int curve = 0;
    int invert = 0;
};

class MidiMap {
public:
    // At most one entry per target parameter (1..178), so the list never grows past this
    // and lives in place: the audio thread walks it without touching the heap.
    static constexpr int kCapacity = 179;

    MidiMap() { resetToDefault(); }

    int size() const { return count_; }
    const MidiMapEntry& entry(int i) const { return entries_[i]; }
    void clear() { count_ = 0; }

    MidiMapEntry* findEntry(int target);
    const MidiMapEntry* findEntry(int target) const;

    // The next entry at or after `cursor` that answers `source` (controller and channel
    // count only for the controller source); the cursor moves past it.
    bool nextMatch(int& cursor, int source, int controller, int channel, MidiMatch& out) const;

    // Merges one assignment: an existing entry keeps (its sources & keepMask) and takes
    // the slots of the new sources; otherwise a new entry is appended. Targets outside
    // 1..178 are refused.
    void setEntry(int keepMask, int controller, int channel, int target, int sources,
                  const float ranges[4][2], const int curves[4], const int inverts[4]);
    void dropPatchSettings();
    void dropControllerSettings();
    void resetToDefault();

    // The ".mmap" text: controller settings only. Reading replaces the controller settings
    // and keeps the patch-specific ones.
    void readMapFile(std::FILE* file);
    void writeMapFile(std::FILE* file) const;
    std::string mapFileText() const;

private:
    MidiMapEntry entries_[kCapacity];
    int count_ = 0;
};

// A 7-bit (or, for pitch bend, 14-bit) value through one entry's invert, curve and range
// to the target's engine value, always within the parameter's minimum and maximum.
float mapMidiValue(const MidiMatch& m, int value, bool fourteenBit);

// The named maps of a data folder: "midiMapList" and "<n>.mmap".
class MidiMapFiles {
public:
    void setFolder(const std::string& folder) { folder_ = folder; }
    const std::string& folder() const { return folder_; }

    const std::vector<std::string>& mapNames() const { return mapNames_; }
    const std::string& shownName() const { return shownName_; }

    void loadMapNames();
    bool writeMapNames() const;
    // False when the file is missing; the map is then unchanged.
    bool loadMap(int n, MidiMap& map);
    // The map's number, or -1 for a name that cannot live in the list (empty, or holding
    // a line break) and when the map or the list cannot be written.
    int saveMap(const std::string& name, const MidiMap& map);

    // The default map, the names, then map 0 when its file exists.
    void startUp(MidiMap& map);

private:
    std::string folder_;
    std::vector<std::string> mapNames_;
    std::string shownName_ = "Default Map";
};

} // namespace moraine
