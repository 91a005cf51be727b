#include "plugin/PatchImage.h"

#include "engine/graph/JackTable.h"
#include "patch/PatchLibrary.h"

#include <algorithm>
#include <cmath>

namespace moraine {

namespace {

constexpr FourCC kMasterVolumeCode = fourcc("mvol");
constexpr int kVco1SineParam = 173; // v1si
constexpr int kVco3SineParam = 174; // v3si

void set(PatchImage& image, int index, float v) {
    image.values[size_t(index)] = storedEngineValue(index, v);
    image.sets[size_t(index)] = true;
}

} // namespace

void buildPatchImage(const PatchRecord& record, PatchImage& image) {
    image.values.fill(0.0f);
    image.sets.fill(false);
    image.cords.fill(false);
    image.masterVolume = -1.0f;
    image.name = record.name;
    image.author = record.author;
    image.date = record.date;
    image.notes = record.notes;
    image.midiProgram = record.midiProgram;
    image.displayNotes = record.displayNotes != 0;

    set(image, kParamClockBeatOffset, record.beatOffset[0]);
    set(image, kParamLfoBeatOffset, record.beatOffset[1]);
    for (int index = kFirstJackParam; index < kParamCount; ++index) set(image, index, 0.0f);
    for (int i = 0; i < 4; ++i) set(image, kParamClockSync + i, float(record.beatSync[i]));
    // A patch that holds no value for these controls gets the circuit's own settings.
    set(image, kParamVcfKeyboardLevel, 1.0f);
    set(image, kVco1SineParam, 0.0f);
    set(image, kVco3SineParam, 0.0f);

    int index = 0;
    for (const PatchValue& v : record.values) {
        index = findParameter(v.code, index + 1);
        if (index < 1) continue; // not one of ours
        if (v.code == kMasterVolumeCode && v.type == kValueReal && std::isfinite(v.real))
            image.masterVolume = std::clamp(float(v.real), 0.0f, 1.0f);
        switch (v.type) {
        case kValueInteger:
        case kValueReal: {
            const double value = v.type == kValueInteger ? double(v.integer) : v.real;
            if (std::isnan(value)) break;
            // A jack given as a number takes only a jack's number.
            if (index >= kFirstJackParam &&
                !(value >= 0.0 && value <= kJackCount && value == std::floor(value)))
                break;
            set(image, index, float(value));
            break;
        }
        case kValuePatched:
        case kValueUnpatched: {
            if (index < kFirstJackParam) break;
            // A link code that names no jack leaves the jack as it is: it must never
            // receive a number outside the table.
            const int jack = v.type == kValuePatched ? jackNumber(v.linkCode) : 0;
            if (jack < 0) break;
            set(image, index, float(jack));
            image.cords[size_t(index)] = true;
            break;
        }
        default:
            break;
        }
    }
    image.midiEntries.assign(record.midiEntries.begin(), record.midiEntries.end());
}

std::unique_ptr<ProgramTable> buildProgramTable(PatchLibrary& library) {
    auto table = std::make_unique<ProgramTable>();
    const PatchRecord* selected = library.selectedPatch();
    table->selectedGroup = library.currentGroup;
    for (size_t g = 0; g < library.groups.size(); ++g) {
        PatchGroup& group = *library.groups[g];
        group.rebuildProgramTable();
        std::array<std::int16_t, 128> programs;
        programs.fill(-1);
        for (size_t c = 0; c < group.categories.size(); ++c) {
            const PatchCategory& category = *group.categories[c];
            for (size_t p = 0; p < category.patches.size(); ++p) {
                const PatchRecord* record = category.patches[p].get();
                PatchImage& image = table->images.emplace_back();
                buildPatchImage(*record, image);
                image.group = int(g);
                image.category = int(c);
                image.patch = int(p);
                const auto index = std::int16_t(table->images.size() - 1);
                if (record == selected) table->selectedImage = index;
                for (size_t program = 0; program < 128; ++program)
                    if (group.programTable[program] == record) programs[program] = index;
            }
        }
        table->programs.push_back(programs);
    }
    return table;
}

} // namespace moraine
