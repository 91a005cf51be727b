// Patch changes. On the control side a change fades the output out, applies a prepared
// image of the patch and fades back in. On the audio thread a MIDI program change applies
// an image from the published program table at once, and leaves what belongs to the
// control side (library selection, texts, the map's patch entries, host automation for its
// cords) in a mailbox that the control side empties later.
#include "plugin/MorainePlugin.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace moraine {

namespace {

// A started change finishes after this even when the audio thread never faded out.
constexpr auto kFadeTimeout = std::chrono::seconds(5);
// No render call for this long: nothing is playing, so nothing is waited for.
constexpr auto kAudioSilentAfter = std::chrono::milliseconds(250);

void mergePatchEntries(MidiMap& map, const std::vector<MidiMapEntry>& entries) {
    map.dropPatchSettings();
    for (const MidiMapEntry& e : entries)
        map.setEntry(kSourceController, e.controller, e.channel, e.target,
                     e.sources & ~kSourceController, e.range, e.curve, e.invert);
}

} // namespace

void ImagePatchChange::apply(Moraine_VST& plugin) {
    plugin.applyImage(image);
}

// ---------------------------------------------------------------- both sides

void Moraine_VST::fadeLinksOut() {
    for (auto& v : voices_) {
        setRampTarget(*v, v->link(kLinkOutput).ramp, 0.0f);
        setRampTarget(*v, v->link(kLinkReverbIn).ramp, 0.0f);
    }
    ReverbModule& reverb = shared_.store->reverbModule;
    setRampTarget(*voices_[0], reverb.leftLevel, 0.0f);
    setRampTarget(*voices_[0], reverb.rightLevel, 0.0f);
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

// ---------------------------------------------------------------- control side

void Moraine_VST::apply(const PatchRecord& record) {
    std::lock_guard lock(controlMutex_);
    buildPatchImage(record, controlChange_.image);
    applyImage(controlChange_.image);
}

void Moraine_VST::applyImage(const PatchImage& image) {
    post({ControlCommand::ResetVoices, 0, 0.0f});
    texts_.store(image.name, image.author, image.date, image.notes);
    textsSequence_.fetch_add(1, std::memory_order_release);
    mergePatchEntries(midiMap_, image.midiEntries);
    publishMidiMap();
    // Every cord out before any goes in.
    for (int i = kFirstJackParam; i < kParamCount; ++i) setEngineValue(i, 0.0f);
    for (int i = 1; i < kParamCount; ++i) {
        if (!image.sets[size_t(i)]) continue;
        const float v = image.values[size_t(i)];
        if (image.cords[size_t(i)] && notifyHost_)
            setFromEngineValueAutomated(i, v);
        else if (i < kFirstJackParam || v != 0.0f)
            setEngineValue(i, v);
    }
    if (image.masterVolume >= 0.0f)
        masterVolume_.store(image.masterVolume, std::memory_order_relaxed);
    // The voices take the master volume through its parameter.
    setEngineValue(kParamMasterVolume, engineValue(kParamMasterVolume));
}

bool Moraine_VST::loadPatch(int source, bool wait) {
    std::lock_guard lock(controlMutex_);
    if (!library_) return false;
    if (changeStarted_) finishPatchChange();
    library_->currentSource = source;
    const PatchRecord* record = library_->currentPatch();
    if (!record) return false;
    buildPatchImage(*record, controlChange_.image);
    noteSelection(record->midiProgram, record->displayNotes != 0);
    beginPatchChange(&controlChange_, wait);
    libraryChanged();
    return true;
}

void Moraine_VST::beginPatchChange(PendingPatch* patch, bool wait) {
    std::lock_guard lock(controlMutex_);
    fadedOut_.store(false, std::memory_order_relaxed);
    if (!patch || !constructedOk_) return;
    for (int key = 0; key < 128; ++key) {
        const int vel = noteVelocity_[key].load(std::memory_order_relaxed);
        controlRetrigger_[key] = vel;
        if (vel) note(key, 0);
    }
    pendingPatch_.store(true, std::memory_order_release);
    fadeGain_.store(1.0f, std::memory_order_relaxed);
    masterVolume_.store(1.0f, std::memory_order_relaxed);
    post({ControlCommand::PatchFadeOut, 0, 0.0f});
    if (wait && !onAudioThread()) {
        // Up to about 5 s for the fade, but no longer than it takes to see that nothing
        // renders: a host that has stopped its audio would otherwise hold us every time.
        const std::uint64_t renders = renderCount_.load(std::memory_order_acquire);
        const auto started = std::chrono::steady_clock::now();
        for (int i = 0; i < 502 && !fadedOut_.load(std::memory_order_acquire); ++i) {
            if (std::chrono::steady_clock::now() - started > kAudioSilentAfter &&
                renderCount_.load(std::memory_order_acquire) == renders)
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    patch->apply(*this);
    for (int key = 0; key < 128; ++key) {
        if (controlRetrigger_[key]) note(key, controlRetrigger_[key]);
        controlRetrigger_[key] = 0;
    }
    // Everything above is queued before the flag clears, so the audio thread sees the new
    // values no later than the start of the fade-in.
    pendingPatch_.store(false, std::memory_order_release);
    fadedOut_.store(false, std::memory_order_relaxed);
}

bool Moraine_VST::startPatchLoad(int source) {
    std::lock_guard lock(controlMutex_);
    if (!library_ || !constructedOk_) return false;
    if (changeStarted_) finishPatchChange();
    library_->currentSource = source;
    const PatchRecord* record = library_->currentPatch();
    if (!record) return false;
    buildPatchImage(*record, controlChange_.image);
    noteSelection(record->midiProgram, record->displayNotes != 0);
    fadedOut_.store(false, std::memory_order_relaxed);
    for (int key = 0; key < 128; ++key) {
        const int vel = noteVelocity_[key].load(std::memory_order_relaxed);
        controlRetrigger_[key] = vel;
        if (vel) note(key, 0);
    }
    pendingPatch_.store(true, std::memory_order_release);
    fadeGain_.store(1.0f, std::memory_order_relaxed);
    masterVolume_.store(1.0f, std::memory_order_relaxed);
    post({ControlCommand::PatchFadeOut, 0, 0.0f});
    changeStarted_ = true;
    changeStartedAt_ = std::chrono::steady_clock::now();
    changeStartRenders_ = renderCount_.load(std::memory_order_acquire);
    libraryChanged();
    return true;
}

void Moraine_VST::finishPatchChange() {
    changeStarted_ = false;
    applyImage(controlChange_.image);
    for (int key = 0; key < 128; ++key) {
        if (controlRetrigger_[key]) note(key, controlRetrigger_[key]);
        controlRetrigger_[key] = 0;
    }
    pendingPatch_.store(false, std::memory_order_release);
    fadedOut_.store(false, std::memory_order_relaxed);
}

void Moraine_VST::serviceControlSide() {
    std::lock_guard lock(controlMutex_);
    takeAppliedProgram();
    if (changeStarted_) {
        const auto waited = std::chrono::steady_clock::now() - changeStartedAt_;
        const bool audioIdle = waited > kAudioSilentAfter &&
                               renderCount_.load(std::memory_order_acquire) == changeStartRenders_;
        if (fadedOut_.load(std::memory_order_acquire) || audioIdle || waited > kFadeTimeout)
            finishPatchChange();
    }
    reclaimProgramTables();
}

void Moraine_VST::libraryChanged() {
    std::lock_guard lock(controlMutex_);
    if (!library_) return;
    // A program change still waiting in the mailbox is taken first: it names the old table.
    takeAppliedProgram();
    std::unique_ptr<ProgramTable> table = buildProgramTable(*library_);
    programTable_.store(table.get(), std::memory_order_release);
    if (currentTable_)
        retiredTables_.emplace_back(std::move(currentTable_),
                                    renderCount_.load(std::memory_order_acquire));
    currentTable_ = std::move(table);
    reclaimProgramTables();
}

void Moraine_VST::reclaimProgramTables() {
    takeAppliedProgram();
    // A table replaced while render N ran may be read until N ends; two more counts and
    // every block that could hold it has finished.
    const std::uint64_t now = renderCount_.load(std::memory_order_acquire);
    std::erase_if(retiredTables_, [now](const auto& t) { return now >= t.second + 2; });
}

void Moraine_VST::noteSelection(int program, bool displayNotes) {
    selectedProgram_.store(program, std::memory_order_relaxed);
    selectedDisplayNotes_.store(displayNotes, std::memory_order_relaxed);
}

void Moraine_VST::takeAppliedProgram() {
    std::uint32_t before = 0;
    const ProgramTable* table = nullptr;
    int group = -1, image = -1;
    std::uint32_t programs = 0;
    for (;;) {
        before = applied_.sequence.load(std::memory_order_acquire);
        if (before == appliedSeen_) return;
        if (before & 1u) {
            std::this_thread::yield();
            continue;
        }
        // Acquire loads: a field written after `before` makes the check below see it.
        table = applied_.table.load(std::memory_order_acquire);
        group = applied_.group.load(std::memory_order_acquire);
        image = applied_.image.load(std::memory_order_acquire);
        programs = applied_.programs.load(std::memory_order_acquire);
        if (applied_.sequence.load(std::memory_order_relaxed) == before) break;
    }
    appliedSeen_ = before;
    if (!library_) return;
    if (group >= 0 && size_t(group) < library_->groups.size()) library_->selectGroup(group);
    if (programs == programsSeen_ || !table || image < 0 || size_t(image) >= table->images.size())
        return;
    programsSeen_ = programs;
    const PatchImage& applied = table->images[size_t(image)];
    library_->selectGroup(applied.group);
    library_->selectCategory(applied.category);
    library_->selectPatch(applied.patch);
    library_->currentSource = kSourceLibrary;
    texts_.store(applied.name, applied.author, applied.date, applied.notes);
    textsSequence_.fetch_add(1, std::memory_order_release);
    noteSelection(applied.midiProgram, applied.displayNotes);
    // The audio thread merged the same entries into its own copy; this keeps the edited map
    // in step, and publishing it again restores them should an older staged map have
    // overwritten the audio thread's copy in between.
    mergePatchEntries(midiMap_, applied.midiEntries);
    publishMidiMap();
    // The host hears of the cords now, from its own side, never from inside render.
    for (int i = kFirstJackParam; i < kHostParamCount; ++i)
        if (applied.cords[size_t(i)] && audioMaster)
            audioMaster(&cEffect, audioMasterAutomate, i, 0, nullptr,
                        engineToHost(i, applied.values[size_t(i)]));
}

// ---------------------------------------------------------------- audio thread

void Moraine_VST::takeProgramTable() {
    const ProgramTable* table = programTable_.load(std::memory_order_acquire);
    if (table == audioTable_) return;
    audioTable_ = table;
    audioGroup_ = table ? table->selectedGroup : 0;
    audioImage_ = table ? table->selectedImage : -1;
}

void Moraine_VST::publishApplied() {
    const std::uint32_t s = applied_.sequence.load(std::memory_order_relaxed);
    // Release stores: a reader that sees any new field also sees the odd sequence number.
    applied_.sequence.store(s + 1, std::memory_order_relaxed);
    applied_.table.store(audioTable_, std::memory_order_release);
    applied_.group.store(audioGroup_, std::memory_order_release);
    applied_.image.store(audioImage_, std::memory_order_release);
    applied_.programs.store(audioPrograms_, std::memory_order_release);
    applied_.sequence.store(s + 2, std::memory_order_release);
}

void Moraine_VST::audioSelectGroup(int group) {
    // A number beyond the groups leaves the selection as it is.
    if (!audioTable_ || group < 0 || size_t(group) >= audioTable_->programs.size()) return;
    audioGroup_ = group;
    publishApplied();
}

void Moraine_VST::audioSelectProgram(int program) {
    if (!audioTable_ || program < 0 || program > 127) return;
    if (audioGroup_ >= 0 && size_t(audioGroup_) < audioTable_->programs.size()) {
        const int image = audioTable_->programs[size_t(audioGroup_)][size_t(program)];
        if (image >= 0) audioImage_ = image;
    }
    // A program no patch holds applies the patch selected before again.
    if (audioImage_ < 0) return;
    applyImageOnAudioThread(audioTable_->images[size_t(audioImage_)]);
    ++audioPrograms_;
    publishApplied();
}

// The same values through the same path a resynchronisation takes: stored, then the whole
// state rebuilt from them. Nothing here allocates, waits or calls the host.
void Moraine_VST::applyImageOnAudioThread(const PatchImage& image) {
    for (int key = 0; key < 128; ++key) {
        const int vel = noteVelocity_[key].load(std::memory_order_relaxed);
        audioRetrigger_[key] = vel;
        if (vel) playNote(key, 0);
    }
    fadeLinksOut();
    resetVoiceStates();
    for (int i = 1; i < kParamCount; ++i)
        if (image.sets[size_t(i)])
            values_[i].store(image.values[size_t(i)], std::memory_order_relaxed);
    masterVolume_.store(image.masterVolume >= 0.0f ? image.masterVolume : 1.0f,
                        std::memory_order_relaxed);
    mergePatchEntries(audioMap_, image.midiEntries);
    resyncAll();
    for (int key = 0; key < 128; ++key) {
        if (audioRetrigger_[key]) playNote(key, audioRetrigger_[key]);
        audioRetrigger_[key] = 0;
    }
    dirty_.markAll();
}

} // namespace moraine
