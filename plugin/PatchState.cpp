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

constexpr FourCC kMasterVolumeCode = fourcc("mvol");
constexpr int kFirstBeatParam = 82; // clock sync, clock pulses, LFO sync, LFO pulses
constexpr int kClockOffsetParam = 73;
constexpr int kLfoOffsetParam = 74;
constexpr int kMasterVolumeParam = 75;
constexpr int kVcfKeyboardParam = 72; // vfkb
constexpr int kVco1SineParam = 173;   // v1si
constexpr int kVco3SineParam = 174;   // v3si
constexpr int kLastMappedTarget = 80;

} // namespace

void RecordPatchChange::apply(Moraine_VST& plugin) {
    if (record) plugin.apply(*record);
}

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
    messages_ = &sink;
    if (library_) library_->setMessages(sink);
}

void Moraine_VST::LibrarySelector::selectGroup(int group) {
    PatchLibrary& library = owner_.library();
    // A number beyond the groups leaves the selection as it is.
    if (group >= 0 && size_t(group) < library.groups.size()) library.selectGroup(group);
}

void Moraine_VST::LibrarySelector::selectProgram(int program) {
    // A program no patch holds loads the patch selected before again.
    owner_.library().selectByProgram(program);
    owner_.loadPatch(kSourceLibrary, false);
}

bool Moraine_VST::loadPatch(int source, bool wait) {
    if (!library_) return false;
    library_->currentSource = source;
    const PatchRecord* record = library_->currentPatch();
    if (!record) return false;
    RecordPatchChange& change = onAudioThread() ? audioChange_ : controlChange_;
    change.record = record;
    beginPatchChange(&change, wait);
    return true;
}

// ---------------------------------------------------------------- capture and apply

void Moraine_VST::capture(PatchRecord& record) {
    // Pulse counts held as floats come back a hair below a whole number (26 as
    // 25.999998); the same allowance as when they are applied.
    for (int i = 0; i < 4; ++i)
        record.beatSync[i] = int(engineValue(kFirstBeatParam + i) + 0.001f);
    record.beatOffset[0] = engineValue(kClockOffsetParam);
    record.beatOffset[1] = engineValue(kLfoOffsetParam);

    for (int index = 2; index < kParamCount; ++index) {
        const FourCC code = parameterCode(index);
        const float v = engineValue(index);
        switch (parameterStorage(index)) {
        case ParamStorage::Integer:
            record.setValue(kValueInteger, code, int(v), 0.0, 0);
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

void Moraine_VST::apply(const PatchRecord& record) {
    post({ControlCommand::ResetVoices, 0, 0.0f});
    texts_.store(record.name, record.author, record.date, record.notes);

    // Beat settings; the step lengths and the synced or free-running clock and LFO follow
    // from the parameters.
    setEngineValue(kClockOffsetParam, record.beatOffset[0]);
    setEngineValue(kLfoOffsetParam, record.beatOffset[1]);

    midiMap_.dropPatchSettings();

    for (int index = kFirstJackParam; index < kParamCount; ++index) setEngineValue(index, 0.0f);
    for (int i = 0; i < 4; ++i) setEngineValue(kFirstBeatParam + i, float(record.beatSync[i]));
    // Patches from before these controls existed get the circuit's own settings.
    setEngineValue(kVcfKeyboardParam, 1.0f);
    setEngineValue(kVco1SineParam, 0.0f);
    setEngineValue(kVco3SineParam, 0.0f);

    int index = 0;
    for (const PatchValue& v : record.values) {
        index = findParameter(v.code, index + 1);
        if (index < 1) continue; // not one of ours
        if (v.code == kMasterVolumeCode && v.type == kValueReal && std::isfinite(v.real))
            masterVolume_.store(std::clamp(float(v.real), 0.0f, 1.0f), std::memory_order_relaxed);
        switch (v.type) {
        case kValueInteger:
        case kValueReal: {
            const double value = v.type == kValueInteger ? double(v.integer) : v.real;
            // A jack given as a number takes only a jack's number.
            if (index >= kFirstJackParam &&
                !(value >= 0.0 && value <= kJackCount && value == std::floor(value)))
                break;
            setEngineValue(index, float(value));
            break;
        }
        case kValuePatched:
        case kValueUnpatched: {
            if (index < kFirstJackParam) break;
            // A link code that names no jack leaves the jack as it is: it must never
            // receive a number outside the table.
            const int jack = v.type == kValuePatched ? jackNumber(v.linkCode) : 0;
            if (jack < 0) break;
            if (notifyHost_)
                setFromEngineValueAutomated(index, float(jack));
            else
                setEngineValue(index, float(jack));
            break;
        }
        default:
            break;
        }
    }

    for (const MidiMapEntry& e : record.midiEntries)
        midiMap_.setEntry(kSourceController, e.controller, e.channel, e.target,
                          e.sources & ~kSourceController, e.range, e.curve, e.invert);
    publishMidiMap();
    // The voices take the master volume through its parameter; held notes start again
    // when the patch change completes.
    setEngineValue(kMasterVolumeParam, engineValue(kMasterVolumeParam));
}

void Moraine_VST::resetVoiceStates() {
    for (auto& v : voices_) {
        v->mods.vco1.reset();
        v->mods.vco2.reset();
        v->mods.vco3.reset();
        v->mods.vcf.reset();
    }
    shared_.store->reverbModule.clear();
}

// ---------------------------------------------------------------- the MIDI map hand-over

void Moraine_VST::publishMidiMap() {
    if (onAudioThread()) {
        // Whatever was staged is older than the map itself.
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
    vst_strncpy(name, texts_.load().name.c_str(), kVstMaxProgNameLen);
}

VstInt32 Moraine_VST::getChunk(void** data, bool) {
    if (!data) return 0;
    *data = nullptr;
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
