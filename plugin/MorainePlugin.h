// The plug-in object: the whole synthesizer behind the host's VST 2 interface.
#pragma once

#include "engine/KeyboardController.h"
#include "engine/graph/JackTable.h"
#include "engine/graph/Voice.h"
#include "patch/MidiMap.h"
#include "patch/ParameterTable.h"
#include "patch/PatchLibrary.h"
#include "patch/PatchManager.h"
#include "platform/Messages.h"
#include "platform/vst2/AudioEffectX.h"
#include "plugin/ControlQueue.h"
#include "plugin/CurrentTexts.h"
#include "plugin/MidiQueue.h"
#include "plugin/PanelHost.h"
#include "plugin/PatchImage.h"
#include "plugin/PatchSelector.h"
#include "plugin/StagedCopy.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace moraine {

class Moraine_VST;

// A patch waiting to be applied on the control side.
class PendingPatch {
public:
    virtual ~PendingPatch() = default;
    // Runs on the caller's thread once the output has faded out (or at once).
    virtual void apply(Moraine_VST& plugin) = 0;
};

// A patch change to a prepared image of a record.
class ImagePatchChange : public PendingPatch {
public:
    PatchImage image;
    void apply(Moraine_VST& plugin) override;
};

class PanelSeam;
struct EngineAccess;

// Who owns what:
// - The audio thread (render, processEvents, and setParameter when a host calls it there)
//   owns the voice graphs, the keyboard controller, `audioMap_` and the program-change
//   state. It writes only atomics that others read (engine values, meters, held notes,
//   the dirty set, the applied-program mailbox) and never waits.
// - The control side (the host's other threads and the editor's thread) owns the library
//   tree, `midiMap_`, the current texts and control-side patch changes, under
//   `controlMutex_`. It reaches the audio thread only through `ControlQueue`, staged copies
//   and the published program table.
class Moraine_VST : public AudioEffectX, public PatchInstrument {
public:
    explicit Moraine_VST(audioMasterCallback audioMaster);
    ~Moraine_VST() override;

    // Host interface
    void suspend() override;
    void setSampleRate(float rate) override;
    void processReplacing(float** inputs, float** outputs, VstInt32 frames) override;
    void processDoubleReplacing(double**, double**, VstInt32) override {}
    void setParameter(VstInt32 index, float value) override;
    float getParameter(VstInt32 index) override;
    void getParameterName(VstInt32 index, char* text) override;
    void getParameterLabel(VstInt32 index, char* text) override;
    void getParameterDisplay(VstInt32 index, char* text) override;
    void getProgramName(char* name) override;
    VstInt32 getChunk(void** data, bool isPreset) override;
    VstInt32 setChunk(void* data, VstInt32 byteSize, bool isPreset) override;
    VstInt32 processEvents(VstEvents* events) override;
    bool getEffectName(char* name) override;
    bool getVendorString(char* text) override;
    bool getProductString(char* text) override;
    VstInt32 getVendorVersion() override { return 1400; }
    VstInt32 canDo(char* text) override;

    // The synthesizer's own operations, after those of the host interface.
    virtual void render(float** inputs, float** outputs, VstInt32 frames);
    virtual void midiController(int channel, int controller, int value, int deltaFrames);
    virtual void pitchBend(int channel, int lsb, int msb, int deltaFrames);
    virtual void channelPressure(int channel, int value, int deltaFrames);
    virtual void programChange(int channel, int program);
    virtual void polyphonicPressure(int channel, int note, int value, int deltaFrames);

    // A note from anywhere: played at once on the audio thread, queued from others.
    void note(int key, int velocity);
    // The panel's envelope-trigger and portamento-trigger buttons, pressed or released.
    void envelopeTrigger(bool pressed);
    void portamentoTrigger(bool pressed);

    // Parameters in engine units.
    float engineValue(int index) const;
    void setFromEngineValue(int index, float v);
    // Stores an engine value as it is (kept within the parameter's range), so a value
    // read from a patch comes back bit for bit; the host is not told.
    void setEngineValue(int index, float v);
    void setFromEngineValueAutomated(int index, float v);

    // The running instrument into a patch: every value and cord, the beat settings and
    // the patch-specific MIDI entries.
    void capture(PatchRecord& record) override;
    // A patch onto the instrument, on the control side: voices reset, texts, beat
    // settings, MIDI entries, all cords out then the patch's in, every value.
    void apply(const PatchRecord& record);
    // Makes `source` (PatchSource) current in the library and changes to its patch; false
    // when the library has no patch there. Control side only.
    bool loadPatch(int source, bool wait) override;

    // Fades out, applies `patch` and fades back in. With `wait` the caller sleeps until
    // the audio thread has faded out (about 5 s at most). Control side only; the object
    // does not take ownership, the patch must outlive the call.
    void beginPatchChange(PendingPatch* patch, bool wait);
    // The same without sleeping: the change starts now and `serviceControlSide` finishes it
    // once the audio thread has faded out. False when there is no such patch.
    bool startPatchLoad(int source);
    // Finishes on the control side what the audio thread and a started patch change left:
    // the library selection, texts and MIDI entries of a program change, and host
    // automation for the cords it plugged. Hosts' calls into the object run it; the editor
    // runs it on every idle.
    void serviceControlSide();
    // The library changed on the control side: programs and the selection are prepared
    // for the audio thread again.
    void libraryChanged();

    // Read by the panel (through PanelHost) and the tests.
    float leftMeter() const { return meterLeft_.load(std::memory_order_relaxed); }
    float rightMeter() const { return meterRight_.load(std::memory_order_relaxed); }
    float midiActivity() const { return midiActivity_.load(std::memory_order_relaxed); }
    float lastControllerMessage() const { return lastController_.load(std::memory_order_relaxed); }
    float renderTime() const { return renderTime_.load(std::memory_order_relaxed); }
    float lastBlockFrames() const { return lastBlockFrames_.load(std::memory_order_relaxed); }
    float fadeGain() const { return fadeGain_.load(std::memory_order_relaxed); }
    bool isReady() const { return ready_.load(std::memory_order_acquire); }
    int extraVoiceCount() const { return extraVoicesShown_.load(std::memory_order_relaxed); }
    float masterVolume() const { return masterVolume_.load(std::memory_order_relaxed); }
    bool noteHeld(int key) const;
    bool patchPending() const { return pendingPatch_.load(std::memory_order_acquire); }
    const std::string& dataFolder() const { return dataFolder_; }
    // The parameter the MIDI map is setting right now, -1 when none: a change that comes
    // from MIDI is not the user's and is not sent back to the host as automation.
    int midiMapTarget() const { return midiTarget_.load(std::memory_order_relaxed); }
    // MIDI events refused because the host sent more than the queue holds.
    std::uint32_t midiEventsDropped() const { return midi_.dropped(); }

    // The MIDI map and its files (control side). Edit the map, then publishMidiMap() hands
    // a copy to the audio thread at the start of its next block.
    MidiMap& midiMap() { return midiMap_; }
    void publishMidiMap();
    MidiMapFiles& midiMapFiles() { return midiMapFiles_; }
    // Bank select and program change go here; null ignores them. The default selects from
    // the published program table. The object does not take ownership.
    void setPatchSelector(PatchSelector* selector) {
        patchSelector_.store(selector, std::memory_order_release);
    }

    PatchLibrary& library() { return *library_; }
    PatchTexts currentTexts() const { return texts_.load(); }
    int beatSetting(int i) const { return int(engineValue(kParamClockSync + i)); }
    // Where message boxes go; the default writes to standard error and answers OK. The
    // sink must outlive the object or be replaced first.
    void setMessageSink(MessageSink& sink);
    // The editor's way in; lives as long as the object.
    PanelHost& panelHost();
    // The control side's lock: the library tree, the MIDI map, the texts and patch changes.
    std::recursive_mutex& controlMutex() { return controlMutex_; }

    // ---- microtuning (plugin/Tuning.cpp) ----
    // Equal temperament again.
    void resetTuning();
    // One MIDI Tuning Standard bulk dump; false (nothing changes) when it is refused.
    bool applyTuningDump(const unsigned char* message, size_t length);
    // "Tunings/<n>.tun" in the data folder; false when missing or refused.
    bool loadTuning(int n);
    // The names of "Tunings/0.tun", "1.tun", ... up to the first missing number.
    std::vector<std::string> listTunings() const;
    int tuningProgram() const { return tuningProgram_.load(std::memory_order_relaxed); }
    // ---- end of microtuning ----

    // For tests and tools running without an audio thread: applies what the host's and
    // the editor's threads have handed over. Must not run concurrently with render.
    void applyPendingControl();

protected:
    bool constructed() const { return constructedOk_; }

private:
    friend class AudioThreadScope;
    friend class PanelSeam;
    friend struct EngineAccess;
    friend class ImagePatchChange;
    friend struct ParameterRoutes;

    // ---- parameter routing (plugin/ParameterRouting.cpp)
    void applyParameter(int index, float v);
    void applyVoiceParameter(Voice& voice, int index, float v);
    void applyCordParameter(int index, float v);
    // Plugs again the cords that jack parameters still declare on `jack`.
    void replugDeclared(int jack);
    void applyGateSource(Voice& voice, float v);
    void applyRepeatMode(Voice& voice);
    void applyKeyboardSwitch(Voice& voice, int oscillator, float v);
    void applyMixerLevel(Voice& voice, bool vca, float v);
    void resyncAll();
    // ---- hand-over (plugin/MorainePlugin.cpp)
    void handleCommand(const ControlCommand& c);
    void post(const ControlCommand& c);
    bool onAudioThread() const;
    void drainControl();
    void playNote(int key, int velocity);
    void storeValue(int index, float v);
    // ---- MIDI input (plugin/MidiInput.cpp)
    void dispatchMidi(int frame);
    void applyMidiMap(int source, int controller, int channel, int value, bool fourteenBit);
    void applyVelocity(int key, int velocity, int voice);
    static void velocityHook(void* context, int key, int velocity, int voice);
    void readTempo();
    // ---- render loop (plugin/RenderLoop.cpp)
    void renderSilence(float** outputs, VstInt32 frames);
    void applyFade(float** outputs, VstInt32 frames, bool pending);
    void updateActivity();
    // ---- patch change (plugin/PatchChange.cpp)
    void fadeLinksOut();
    void resetVoiceStates();
    void applyImage(const PatchImage& image);
    void applyImageOnAudioThread(const PatchImage& image);
    void takeProgramTable();
    void audioSelectGroup(int group);
    void audioSelectProgram(int program);
    void finishPatchChange();
    bool prepareLoad(int source);
    void fadeOutForChange();
    void fadeInAfterChange();
    void takeAppliedProgram();
    void publishApplied();
    void reclaimProgramTables();
    void takeStagedMidiMap();
    // ---- microtuning (plugin/Tuning.cpp)
    void takeStagedTuning();
    // Runs `edit` on the control-side tables and hands the result to the audio thread.
    template <class Edit> bool editTuning(Edit&& edit);
    void openLibrary();

    // ---------------------------------------------------------------- shared atomics
    // Engine values: every thread stores and reads them.
    std::unique_ptr<std::atomic<float>[]> values_;
    ParameterDirtySet dirty_; // values the panel did not set itself
    std::atomic<float> masterVolume_{1.0f};
    std::atomic<int> silence_{0};
    std::atomic<bool> ready_{false};
    bool constructedOk_ = false;
    std::atomic<float> meterLeft_{0.0f}, meterRight_{0.0f};
    std::atomic<float> midiActivity_{0.0f}, lastController_{0.0f};
    std::atomic<float> renderTime_{0.0f}, lastBlockFrames_{512.0f};
    std::atomic<int> midiTarget_{-1};
    std::atomic<int> extraVoicesShown_{0};
    // Held notes as the audio thread last saw them.
    std::atomic<int> noteVelocity_[128] = {};
    std::atomic<std::uint64_t> renderCount_{0};
    std::atomic<std::thread::id> graphThread_{};

    // ---------------------------------------------------------------- audio thread
    int internalClockSync_ = 0, internalClockPulses_ = 24;
    int lfoSync_ = 0, lfoPulses_ = 24;
    float clockFactor_ = 1.0f, lfoFactor_ = 1.0f;
    float clockBeatOffset_ = 0.0f, lfoBeatOffset_ = 0.0f;
    float dcR_ = 0.0f;
    float dcX1_[2] = {}, dcY1_[2] = {};
    int midiHold_ = 0;
    float meterState_[2] = {};
    SharedModules shared_;
    std::unique_ptr<Voice> voices_[kMaxVoices];
    KeyboardController keyboard_;
    MidiQueue midi_;
    MidiMap audioMap_;
    // The far jack each jack parameter plugged last, so that a change can pull it out.
    int pluggedFar_[kJackCount + 1] = {};
    // Program changes: the table in use, the group bank select chose, the patch playing.
    const ProgramTable* audioTable_ = nullptr;
    int audioGroup_ = 0, audioImage_ = -1;
    std::uint32_t audioPrograms_ = 0; // program changes applied
    int audioRetrigger_[128] = {};

    // ---------------------------------------------------------------- hand-overs
    ControlQueue control_;
    std::atomic<bool> resyncRequested_{false};
    StagedCopy<MidiMap> stagedMap_;
    std::atomic<PatchSelector*> patchSelector_{nullptr};
    std::atomic<const ProgramTable*> programTable_{nullptr};
    // What the audio thread last did to the selection, for the control side to follow:
    // written by the audio thread only, read under a sequence number.
    struct AppliedProgram {
        std::atomic<std::uint32_t> sequence{0};
        std::atomic<const ProgramTable*> table{nullptr};
        std::atomic<int> group{-1}, image{-1};
        std::atomic<std::uint32_t> programs{0};
    } applied_;
    // Patch-change hand-shake.
    std::atomic<bool> pendingPatch_{false};
    std::atomic<float> fadeGain_{1.0f};
    std::atomic<bool> fadedOut_{false};

    // ---------------------------------------------------------------- control side
    std::recursive_mutex controlMutex_;
    std::string dataFolder_;
    MidiMap midiMap_;
    MidiMapFiles midiMapFiles_;
    ConsoleMessages consoleMessages_;
    MessageSink* messages_ = &consoleMessages_;
    std::unique_ptr<PatchLibrary> library_;
    CurrentTexts texts_;
    std::atomic<std::uint32_t> textsSequence_{0};
    std::atomic<bool> displayNotes_{false}; // the current patch's notes-display flag
    // Tables the audio thread may still read, with the render count when they were
    // replaced.
    std::unique_ptr<ProgramTable> currentTable_;
    std::vector<std::pair<std::unique_ptr<ProgramTable>, std::uint64_t>> retiredTables_;
    std::uint32_t appliedSeen_ = 0, programsSeen_ = 0;
    // Velocities to restart after a control-side patch change.
    int controlRetrigger_[128] = {};
    ImagePatchChange controlChange_;
    // A change started without waiting, finished by serviceControlSide.
    bool changeStarted_ = false;
    std::chrono::steady_clock::time_point changeStartedAt_{};
    std::uint64_t changeStartRenders_ = 0;
    // Applying a patch tells the host about every cord it plugs, except while the object
    // is being built.
    bool notifyHost_ = true;
    std::unique_ptr<char[]> chunk_;
    std::unique_ptr<PanelSeam> panelSeam_;

    // ---- microtuning (plugin/Tuning.cpp) ----
    std::atomic<int> tuningProgram_{0};
    // Dumps are applied to this copy, so that keys a dump leaves alone keep what earlier
    // dumps gave them; the whole table then goes to the audio thread. Guarded by
    // tuningBusy_, which the audio thread only ever tries and never waits for.
    KeyTables controlTuning_;
    std::atomic_flag tuningBusy_;
    StagedCopy<KeyTables> stagedTuning_;
    KeyTables takenTuning_; // the audio thread's landing slot
    // ---- end of microtuning ----

    class ProgramSelector : public PatchSelector {
    public:
        explicit ProgramSelector(Moraine_VST& owner) : owner_(owner) {}
        void selectGroup(int group) override { owner_.audioSelectGroup(group); }
        void selectProgram(int program) override { owner_.audioSelectProgram(program); }

    private:
        Moraine_VST& owner_;
    };
    ProgramSelector programSelector_{*this};
};

// Engine state for tests and benchmarks only: audio-thread data, read while nothing
// renders.
struct EngineAccess {
    static Voice& voice(Moraine_VST& p, int i) { return *p.voices_[i]; }
    static SharedModules& shared(Moraine_VST& p) { return p.shared_; }
    static KeyboardController& keyboard(Moraine_VST& p) { return p.keyboard_; }
};

// The class the entry point creates: the synthesizer plus its editor window.
class Moraine_VSTEdit : public Moraine_VST {
public:
    explicit Moraine_VSTEdit(audioMasterCallback audioMaster);
    ~Moraine_VSTEdit() override;
};

} // namespace moraine
