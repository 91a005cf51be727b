// A patch prepared for the audio thread. A MIDI program change applies its patch inside the
// render call, where nothing may be allocated, parsed or shared with the library's editors;
// so every library patch is turned beforehand, on the control side, into an image of final
// engine values, and the images of the library are published together as one immutable
// program table. The audio thread only reads them.
#pragma once

#include "patch/MidiMap.h"
#include "patch/ParameterTable.h"
#include "patch/PatchRecord.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace moraine {

class PatchLibrary;

struct PatchImage {
    // The engine value of every parameter the patch sets; the others keep theirs.
    std::array<float, kParamCount> values{};
    std::array<bool, kParamCount> sets{};
    // Jack parameters the patch stores as cords: the host hears of them as automation.
    std::array<bool, kParamCount> cords{};
    float masterVolume = -1.0f; // -1: the patch gives none
    std::vector<MidiMapEntry> midiEntries;
    std::string name, author, date, notes;
    int midiProgram = -1;
    bool displayNotes = false;
    // Where the patch stands in the library; -1 for patches outside it.
    int group = -1, category = -1, patch = -1;
};

// The record as the instrument applies it: every cord out, the beat settings, the
// circuit's settings for controls a patch may not hold, then its values in list order.
void buildPatchImage(const PatchRecord& record, PatchImage& image);

// Every patch of the library and, per group, which image each MIDI program selects.
struct ProgramTable {
    std::vector<PatchImage> images;
    std::vector<std::array<std::int16_t, 128>> programs; // per group; -1 where none
    int selectedGroup = 0;
    int selectedImage = -1; // the library's selected patch
};

std::unique_ptr<ProgramTable> buildProgramTable(PatchLibrary& library);

} // namespace moraine
