// Patches in and out of the running instrument: capture and apply, the library the
// instrument owns, the host's state chunk and program name, bank select and program
// change.
#include "engine/graph/JackTable.h"
#include "platform/DataFolder.h"
#include "platform/Files.h"
#include "platform/Resources.h"
#include "plugin/MorainePlugin.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <thread>

namespace moraine {

namespace {

// Patches keep the map's patch-specific entries for the panel's controls only.
constexpr int kLastMappedTarget = 80;

} // namespace

// ---------------------------------------------------------------- the library

void Moraine_VST::openLibrary() {
    std::error_code error;
    if (!dataFolder_.empty()) std::filesystem::create_directories(dataFolder_, error);
    if (dataFolder_.empty() || error || !std::filesystem::is_directory(dataFolder_, error)) {
        // Without a data folder the instrument still plays and keeps the host's state; its
        // library lives in a temporary folder for this session only.
        messages_->inform("library NOT loaded");
        std::string pattern =
            (std::filesystem::temp_directory_path(error) / "moraine-library-XXXXXX").string();
        const char* made = mkdtemp(pattern.data());
        // A root below a file can never be written: no file lands anywhere else.
        dataFolder_ = made ? std::string(made) + "/" : std::string("/dev/null/");
    }
    // An empty data folder gets our default library, from which the store builds itself.
    if (!fileExists(dataFolder_ + "groupList") && !fileExists(dataFolder_ + "defaultLibrary")) {
        const std::string_view dump = findResource("defaultLibrary");
        if (!dump.empty()) replaceFile(dataFolder_ + "defaultLibrary", dump);
    }
    library_ = std::make_unique<PatchLibrary>(dataFolder_, *messages_, '/');
}

void Moraine_VST::setMessageSink(MessageSink& sink) {
    std::lock_guard lock(controlMutex_);
    messages_ = &sink;
    if (library_) library_->setMessages(sink);
}

// ---------------------------------------------------------------- capture and apply

void Moraine_VST::capture(PatchRecord& record) {
    std::lock_guard lock(controlMutex_);
    // Pulse counts held as floats come back a hair below a whole number (26 as
    // 25.999998); the same allowance as when they are applied.
    for (int i = 0; i < 4; ++i)
        record.beatSync[i] = int(engineValue(kParamClockSync + i) + 0.001f);
    record.beatOffset[0] = engineValue(kParamClockBeatOffset);
    record.beatOffset[1] = engineValue(kParamLfoBeatOffset);

    for (int index = 2; index < kParamCount; ++index) {
        const FourCC code = parameterCode(index);
        const float v = engineValue(index);
        switch (parameterStorage(index)) {
        case ParamStorage::Integer:
            record.setValue(kValueInteger, code, storedInteger(index, v), 0.0, 0);
            break;
        case ParamStorage::Float:
            record.setValue(kValueReal, code, 0, double(v), 0);
            break;
        case ParamStorage::Jack: {
            const int jack = std::clamp(int(std::lround(v)), 0, kJackCount);
            if (jack > 0)
                record.setValue(kValuePatched, code, 0, 0.0, jackInfo(jack).code);
            else
                record.setValue(kValueUnpatched, code, 0, 0.0, 0);
            break;
        }
        case ParamStorage::NotStored:
            break;
        }
    }

    record.clearMidiEntries();
    for (int target = 2; target <= kLastMappedTarget; ++target)
        if (const MidiMapEntry* e = midiMap_.findEntry(target)) record.addMidiEntry(*e);
}

// ---------------------------------------------------------------- the MIDI map hand-over

void Moraine_VST::publishMidiMap() {
    std::lock_guard lock(controlMutex_);
    if (onAudioThread()) {
        // Inside construction, suspend or setSampleRate: nothing renders, the copy goes in.
        stagedMap_.discard();
        audioMap_ = midiMap_;
        return;
    }
    stagedMap_.stage(midiMap_);
}

void Moraine_VST::takeStagedMidiMap() {
    stagedMap_.take(audioMap_);
}

// ---------------------------------------------------------------- host state

void Moraine_VST::getProgramName(char* name) {
    serviceControlSide();
    vst_strncpy(name, texts_.load().name.c_str(), kVstMaxProgNameLen);
}

VstInt32 Moraine_VST::getChunk(void** data, bool) {
    if (!data) return 0;
    *data = nullptr;
    std::lock_guard lock(controlMutex_);
    serviceControlSide();
    if (!library_) return 0;
    PatchRecord& state = library_->hostPatch;
    capture(state);
    const PatchTexts texts = texts_.load();
    state.name = texts.name;
    state.author = texts.author;
    state.date = texts.date;
    state.notes = texts.notes;
    // A restored state keeps the program number and notes flag it came with, so that a
    // host's project saves again exactly what it restored. setChunk leaves the library's
    // selection alone, and another user's library may hold another patch at that number.
    const PatchRecord* selected = library_->selectedPatch();
    if (selected && library_->currentSource != kSourceSession) {
        state.midiProgram = selected->midiProgram;
        state.displayNotes = selected->displayNotes;
    }
    // A fresh block each call, taken before the previous one is released so that the
    // host can tell them apart; it reads the previous one no longer.
    chunk_.reset(new char[kPatchTextCapacity]);
    const int length = state.writeText(chunk_.get(), kPatchTextCapacity);
    *data = chunk_.get();
    return length;
}

VstInt32 Moraine_VST::setChunk(void* data, VstInt32 byteSize, bool) {
    // Nothing to read is no state at all: the sound stays as it is.
    if (!data || byteSize <= 0 || !library_) return 0;
    std::lock_guard lock(controlMutex_);
    serviceControlSide();
    // The host's block is read, never written: the reader stores a NUL past the text.
    const char* bytes = static_cast<const char*>(data);
    const size_t length = strnlen(bytes, size_t(byteSize));
    std::vector<char> copy(bytes, bytes + length);
    copy.push_back('\0');
    library_->hostPatch.readText(copy.data(), int(std::min<size_t>(length, INT32_MAX - 1)));
    loadPatch(kSourceSession, false);
    return 0;
}

} // namespace moraine
