// One patch: every stored value, the cords, the beat-clock settings, the patch's own MIDI
// settings and four texts, with the patch text that files and the host's chunk hold.
#pragma once

#include "engine/FourCC.h"
#include "patch/MidiMap.h"

#include <string>
#include <string_view>
#include <vector>

namespace moraine {

enum PatchValueType {
    kValueInteger = 0,
    kValueReal = 1,
    kValuePatched = 2,   // a jack with a cord to `linkCode`
    kValueUnpatched = 3, // a jack without a cord
};

struct PatchValue {
    FourCC code = 0;
    FourCC linkCode = 0;
    double real = 0.0;
    int integer = 0;
    int type = kValueInteger;
};

// Every caller of writeText hands over this many bytes; the text and its NUL fit in them.
constexpr int kPatchTextCapacity = 50000;
// Names, authors, dates and notes are kept to this many bytes.
constexpr int kPatchTextFieldLimit = 511;
// The beat-clock pulse count of a new patch: one quarter note.
constexpr int kDefaultBeatPulses = 24;

struct PatchRecord {
    std::string fileName; // base name without ".qix"
    std::string folder;
    char separator = '/';
    bool modified = false;
    // Internal-clock sync, its pulses, keyboard-LFO sync, its pulses.
    int beatSync[4] = {0, kDefaultBeatPulses, 0, kDefaultBeatPulses};
    float beatOffset[2] = {0.0f, 0.0f}; // internal clock, keyboard LFO
    int locked = 0;
    int displayNotes = 0;
    int midiProgram = -1; // 0..127 within the group, -1 for none
    std::string name;
    std::string notes;
    std::string author;
    std::string date;
    // Only the velocity, modulation-wheel and aftertouch sources live in a patch.
    std::vector<MidiMapEntry> midiEntries;
    std::vector<PatchValue> values;

    // Replaces the value of `code` in place, or appends one.
    void setValue(int type, FourCC code, int integer, double real, FourCC linkCode);
    void clearMidiEntries();
    // Appends a copy without its controller source.
    void addMidiEntry(const MidiMapEntry& entry);

    // The patch text in full, however long.
    std::string text() const;
    // The patch text and its NUL into `buffer`; returns the text's length. A text that
    // does not fit loses whole value and MIDI lines from the end of those lists, so the
    // beat settings and the texts, notes last, are always there.
    int writeText(char* buffer, int capacity) const;
    // Replaces the contents from the text (name, author, date, notes, `locked` and
    // `displayNotes` only where the text holds them). A NUL is stored at text[length];
    // reading stops at the first NUL.
    void readText(char* text, int length);
    // The same for a text that need not be writable.
    void readText(std::string_view text);

    // folder + separator + fileName + ".qix"
    std::string filePath() const;
    // Writes the file when `modified` is set; false when it could not be written.
    bool saveFile() const;
    // False when the file does not open; the record then keeps its contents.
    bool loadFile();
};

} // namespace moraine
