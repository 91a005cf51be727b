// What the editor sees of the instrument: a narrow interface it may call from the editor's
// thread only. The editor never reaches the plug-in object, the voices or the keyboard
// controller; it edits through begin/set/end, reads a snapshot of atomics, and learns of
// host-side changes through a per-parameter dirty set that it drains on idle.
#pragma once

#include "patch/ParameterTable.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

namespace moraine {

class PatchLibrary;
class PatchInstrument;
class MessageSink;
class MidiMap;
class MidiMapFiles;

// Everything the panel shows that the audio thread moves. Copied out of atomics; each
// field is consistent on its own, not with the others.
struct PanelSnapshot {
    float meterLeft = 0.0f, meterRight = 0.0f;
    float midiActivity = 0.0f;
    float lastController = 0.0f; // controller number, 57344 + lsb for pitch bend, 0 none
    int extraVoices = 0;         // voices in use minus one
    float masterVolume = 1.0f;
    std::uint32_t textsSequence = 0; // changes whenever the current texts change
    bool patchChangeBusy = false;        // a panel-started load has not finished yet
    bool displayNotes = false;           // the current patch asks for its notes to be shown
    bool keyHeld[128] = {};              // sounding keys, from MIDI, the host or the panel
};

// The set of parameters a host, the MIDI map or a patch change moved since the editor last
// looked. Set from any thread (the audio thread included) without locks.
class ParameterDirtySet {
public:
    void mark(int index) {
        if (index < 0 || index >= kParamCount) return;
        words_[index / 32].fetch_or(1u << (index % 32), std::memory_order_release);
    }
    void markAll() {
        for (auto& w : words_) w.store(~0u, std::memory_order_release);
    }
    // Calls `f(index)` for every marked parameter and clears it.
    template <class F> void drain(F&& f) {
        for (int w = 0; w < kWords; ++w) {
            std::uint32_t bits = words_[w].exchange(0, std::memory_order_acquire);
            while (bits) {
                const int b = __builtin_ctz(bits);
                bits &= bits - 1;
                const int index = w * 32 + b;
                if (index < kParamCount) f(index);
            }
        }
    }

private:
    static constexpr int kWords = (kParamCount + 31) / 32;
    std::atomic<std::uint32_t> words_[kWords] = {};
};

class PanelHost {
public:
    virtual ~PanelHost() = default;

    // ---- parameters (engine units, as the parameter table gives them)
    virtual float parameterValue(int index) const = 0;
    // A gesture on one control: begin, any number of sets, end. Each set stores the value,
    // hands it to the audio thread and tells the host (automation with begin/end edit).
    virtual void beginEdit(int index) = 0;
    virtual void setFromPanel(int index, float engineValue) = 0;
    virtual void endEdit(int index) = 0;
    // Parameters whose value changed from outside the panel; the editor drains it on idle.
    virtual ParameterDirtySet& dirtyParameters() = 0;

    // ---- playing
    virtual void panelNote(int key, int velocity) = 0;
    virtual void envelopeTrigger(bool pressed) = 0;
    virtual void portamentoTrigger(bool pressed) = 0;

    // ---- what moves
    virtual void snapshot(PanelSnapshot& out) const = 0;
    virtual void currentTexts(std::string& name, std::string& author, std::string& date,
                              std::string& notes) const = 0;

    // ---- the library, the MIDI map and tunings (the editor's thread owns the tree while
    // the editor is open; program changes from MIDI wait until the editor lets them in)
    virtual PatchLibrary& library() = 0;
    virtual PatchInstrument& instrument() = 0;
    // Starts a change to PatchSource `source`; returns at once. The snapshot's
    // patchChangeBusy clears when it has landed. False when there is no such patch.
    virtual bool startPatchLoad(int source) = 0;
    // Finishes what the audio thread handed back (program changes, texts, host automation
    // for cords a patch plugged) and completes a started load. The editor calls it on every
    // idle, holding controlLock().
    virtual void serviceControlSide() = 0;
    // After any edit of the library tree (patch manager, save as, new group ...): programs
    // and the selection are prepared again for MIDI program changes.
    virtual void libraryChanged() = 0;
    // The control side's lock: the library tree, the MIDI map, the texts and patch changes
    // belong to whoever holds it. The editor holds it through each idle; host calls take it
    // too, so they wait for an idle to finish (never the audio thread, which takes no lock).
    virtual std::unique_lock<std::recursive_mutex> controlLock() = 0;
    virtual MidiMap& midiMap() = 0;
    virtual void publishMidiMap() = 0;
    virtual MidiMapFiles& midiMapFiles() = 0;
    virtual bool loadTuning(int n) = 0;
    virtual int tuningProgram() const = 0;

    // The meter array the panel's meters read: 0 left, 1 right, 2 render time, 3 frames of
    // the last block (the meters' reference), 4 MIDI activity. The editor fills 0, 1 and 4
    // from the snapshot first; without render figures the reference is 1.
    virtual void meterLevels(float (&levels)[5]) const {
        levels[2] = 0.0f;
        levels[3] = 1.0f;
    }

    // Message boxes go to `sink` while the editor is open; null restores the console.
    virtual void setMessageSink(MessageSink* sink) = 0;
};

} // namespace moraine
