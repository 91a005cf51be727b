// Microtuning: MIDI Tuning Standard bulk dumps applied to the keyboard's key tables.
//
// The tables are retuned on the caller's thread, on a control-side copy, and handed to the
// audio thread whole: it takes the newest copy at the start of a block. On the audio thread
// itself (construction, suspend, a render-time caller) the copy goes straight in.
#include "patch/TuningFile.h"
#include "platform/Diagnostics.h"
#include "plugin/MorainePlugin.h"

#include <string>
#include <thread>

namespace moraine {

template <class Edit> bool Moraine_VST::editTuning(Edit&& edit) {
    if (onAudioThread()) {
        // Another thread is retuning right now: the audio thread must not wait for it, so
        // this change is refused rather than lost later under the other thread's copy.
        if (tuningBusy_.test_and_set(std::memory_order_acquire)) return false;
        edit(controlTuning_);
        // Anything staged is an older state of the copy we now hold.
        stagedTuning_.discard();
        keyboard_.setKeyTables(controlTuning_);
        tuningBusy_.clear(std::memory_order_release);
        return true;
    }
    while (tuningBusy_.test_and_set(std::memory_order_acquire)) std::this_thread::yield();
    edit(controlTuning_);
    stagedTuning_.stage(controlTuning_);
    tuningBusy_.clear(std::memory_order_release);
    return true;
}

void Moraine_VST::resetTuning() {
    if (editTuning([](KeyTables& t) { t = KeyTables(); }))
        tuningProgram_.store(0, std::memory_order_relaxed);
}

bool Moraine_VST::applyTuningDump(const unsigned char* message, size_t length) {
    if (!isTuningDump(message, length)) return false;
    const unsigned char* entries = message + kTuningEntriesOffset;
    // baseFrequency is written once, at construction; every thread may read it.
    const float* base = keyboard_.baseFrequency;
    if (!editTuning([&](KeyTables& t) { t.applyTuning(base, entries); })) return false;
    tuningProgram_.store(message[5], std::memory_order_relaxed);
    return true;
}

bool Moraine_VST::loadTuning(int n) {
    if (n < 0) return false;
    const std::string path = tuningPath(dataFolder_, n);
    std::string bytes;
    if (!readTuningFile(path, bytes)) return false; // missing: nothing changes, nothing said
    if (applyTuningDump(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()))
        return true;
    diagnostic("tuning file %s is not a bulk tuning dump\n", path.c_str());
    return false;
}

std::vector<std::string> Moraine_VST::listTunings() const {
    return listTuningNames(dataFolder_);
}

void Moraine_VST::takeStagedTuning() {
    if (stagedTuning_.take(takenTuning_)) keyboard_.setKeyTables(takenTuning_);
}

} // namespace moraine
