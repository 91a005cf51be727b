// The plug-in object: the whole synthesizer behind the host's VST 2 interface.
#pragma once

#include "engine/KeyboardController.h"
#include "engine/graph/Voice.h"
#include "patch/MidiMap.h"
#include "patch/PatchLibrary.h"
#include "patch/PatchManager.h"
#include "platform/Messages.h"
#include "platform/vst2/AudioEffectX.h"
#include "plugin/ControlQueue.h"
#include "plugin/CurrentTexts.h"
#include "plugin/MidiQueue.h"
#include "plugin/ParameterTable.h"
#include "plugin/PatchSelector.h"
#include "plugin/StagedCopy.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace moraine {

class Moraine_VST;

// A patch waiting to be applied. The patch store fills this seam; until then a change
// applies a set of engine values.
class PendingPatch {
public:
    virtual ~PendingPatch() = default;
    // Runs on the caller's thread once the output has faded out (or at once).
    virtual void apply(Moraine_VST& plugin) = 0;
};

// A patch change to one record.
class RecordPatchChange : public PendingPatch {
public:
    const PatchRecord* record = nullptr;
    void apply(Moraine_VST& plugin) override;
};

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
    // A patch onto the instrument: voices reset, texts, beat settings, MIDI entries, all
    // cords out then the patch's in, every value; held notes start again.
    void apply(const PatchRecord& record);
    // Makes `source` (PatchSource) current in the library and changes to its patch; false
    // when the library has no patch there.
    bool loadPatch(int source, bool wait) override;

    // Fades out, applies `patch` and fades back in. With `wait` the caller sleeps until
    // the audio thread has faded out (about 5 s at most). The object does not take
    // ownership; the patch must outlive the call.
    void beginPatchChange(PendingPatch* patch, bool wait);

    // Read by the panel.
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
    bool patchPending() const { return pendingPatch_.load(std::memory_order_acquire) != nullptr; }
    const std::string& dataFolder() const { return dataFolder_; }
    // The parameter the MIDI map is setting right now, -1 when none: a change that comes
    // from MIDI is not the user's and is not sent back to the host as automation.
    int midiMapTarget() const { return midiTarget_.load(std::memory_order_relaxed); }
    // MIDI events refused because the host sent more than the queue holds.
    std::uint32_t midiEventsDropped() const { return midi_.dropped(); }

    // The MIDI map and its files. Edit the map, then publishMidiMap() hands a copy to the
    // audio thread (at once on the audio thread, else at the start of the next block).
    MidiMap& midiMap() { return midiMap_; }
    void publishMidiMap();
    MidiMapFiles& midiMapFiles() { return midiMapFiles_; }
    // Bank select and program change go here; null (the default) ignores them. The object
    // does not take ownership.
    void setPatchSelector(PatchSelector* selector) {
        patchSelector_.store(selector, std::memory_order_release);
    }

    PatchLibrary& library() { return *library_; }
    PatchTexts currentTexts() const { return texts_.load(); }
    int beatSetting(int i) const { return int(engineValue(82 + i)); }
    // Where message boxes go; the default writes to standard error and answers OK. The
    // sink must outlive the object or be replaced first.
    void setMessageSink(MessageSink& sink);

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

    // Engine access for tests and the panel's read-only views. Audio-thread data.
    Voice& voice(int i) { return *voices_[i]; }
    SharedModules& shared() { return shared_; }
    KeyboardController& keyboard() { return keyboard_; }

protected:
    bool constructed() const { return constructedOk_; }

private:
    void applyParameter(int index, float v);
    void applyVoiceParameter(Voice& voice, int index, float v);
    void applyGateSource(Voice& voice, float v);
    void applyRepeatMode(Voice& voice);
    void applyKeyboardSwitch(Voice& voice, int oscillator, float v);
    void applyMixerLevel(Voice& voice, bool vca, float v);
    void resyncAll();
    void handleCommand(const ControlCommand& c);
    void post(const ControlCommand& c);
    bool onAudioThread() const;
    void dispatchMidi(int frame);
    void applyMidiMap(int source, int controller, int channel, int value, bool fourteenBit);
    void applyVelocity(int key, int velocity, int voice);
    static void velocityHook(void* context, int key, int velocity, int voice);
    void readTempo();
    void renderSilence(float** outputs, VstInt32 frames);
    void fadeLinksOut();
    void drainControl();
    void applyFade(float** outputs, VstInt32 frames, bool pending);
    void updateActivity();
    void playNote(int key, int velocity);
    void resetVoiceStates();
    void takeStagedMidiMap();
    // ---- microtuning (plugin/Tuning.cpp) ----
    void takeStagedTuning();
    // Runs `edit` on the control-side tables and hands the result to the audio thread.
    template <class Edit> bool editTuning(Edit&& edit);
    // ---- end of microtuning ----
    void openLibrary();
    friend class AudioThreadScope;

    // Engine values (the host's and the editor's threads write them, everyone reads).
    std::unique_ptr<std::atomic<float>[]> values_;
    std::atomic<float> masterVolume_{1.0f};
    std::atomic<int> silence_{0};
    std::atomic<bool> ready_{false};
    bool constructedOk_ = false;

    // Audio-thread state.
    int internalClockSync_ = 0, internalClockPulses_ = 24;
    int lfoSync_ = 0, lfoPulses_ = 24;
    float clockFactor_ = 1.0f, lfoFactor_ = 1.0f;
    float clockBeatOffset_ = 0.0f, lfoBeatOffset_ = 0.0f;
    float dcR_ = 0.0f;
    float dcX1_[2] = {}, dcY1_[2] = {};
    int midiHold_ = 0;

    std::atomic<float> meterLeft_{0.0f}, meterRight_{0.0f};
    std::atomic<float> midiActivity_{0.0f}, lastController_{0.0f};
    std::atomic<float> renderTime_{0.0f}, lastBlockFrames_{512.0f};

    SharedModules shared_;
    std::unique_ptr<Voice> voices_[kMaxVoices];
    KeyboardController keyboard_;
    MidiQueue midi_;
    MidiMap midiMap_;  // edited by the host's and the panel's threads
    MidiMap audioMap_; // what the audio thread reads
    StagedCopy<MidiMap> stagedMap_;
    MidiMapFiles midiMapFiles_;
    std::atomic<PatchSelector*> patchSelector_{nullptr};
    std::atomic<int> midiTarget_{-1};
    ControlQueue control_;
    std::atomic<bool> resyncRequested_{false};
    std::atomic<std::thread::id> graphThread_{};
    std::atomic<int> extraVoicesShown_{0};

    // Held notes as the audio thread last saw them, and the velocities to restart after a
    // patch change (written by the thread that changes the patch).
    std::atomic<int> noteVelocity_[128] = {};
    int retriggerVelocity_[128] = {};
    float meterState_[2] = {};
    std::string dataFolder_;

    // Patch-change hand-shake.
    std::atomic<PendingPatch*> pendingPatch_{nullptr};
    std::atomic<float> fadeGain_{1.0f};
    std::atomic<bool> fadedOut_{false};

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
    ConsoleMessages consoleMessages_;
    MessageSink* messages_ = &consoleMessages_;
    std::unique_ptr<PatchLibrary> library_;
    CurrentTexts texts_;
    // One pending change for the audio thread (program change) and one for the others.
    RecordPatchChange audioChange_, controlChange_;
    // Applying a patch tells the host about every cord it plugs, except while the object
    // is being built.
    bool notifyHost_ = true;
    std::unique_ptr<char[]> chunk_;

    class LibrarySelector : public PatchSelector {
    public:
        explicit LibrarySelector(Moraine_VST& owner) : owner_(owner) {}
        void selectGroup(int group) override;
        void selectProgram(int program) override;

    private:
        Moraine_VST& owner_;
    };
    LibrarySelector librarySelector_{*this};
};

// The class the entry point creates: the synthesizer plus its editor window.
class Moraine_VSTEdit : public Moraine_VST {
public:
    explicit Moraine_VSTEdit(audioMasterCallback audioMaster);
    ~Moraine_VSTEdit() override;
    void setParameter(VstInt32 index, float value) override;
};

} // namespace moraine
