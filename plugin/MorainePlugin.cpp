// Construction, the host's identity and parameter calls, and the hand-over of values and
// notes to the audio thread.
#include "plugin/MorainePlugin.h"

#include "platform/DataFolder.h"
#include "platform/Files.h"
#include "plugin/AudioThreadScope.h"
#include "plugin/PanelSeam.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace moraine {

namespace {

bool validRate(float rate) {
    return std::isfinite(rate) && rate >= 1000.0f && rate <= 768000.0f;
}

} // namespace

// ---------------------------------------------------------------- construction

Moraine_VST::Moraine_VST(audioMasterCallback audioMaster)
    : AudioEffectX(audioMaster, 1, kHostParamCount) {
    AudioThreadScope scope(this);
    std::lock_guard lock(controlMutex_);
    for (auto& v : voices_) v = std::make_unique<Voice>();
    if (audioMaster) {
        setNumOutputs(2);
        canProcessReplacing();
        programsAreChunks();
        setNumInputs(2);
        isSynth();
        setUniqueID(VstInt32(fourcc("MRDK")));
    }

    dataFolder_ = defaultDataFolder();
    openLibrary();
    midiMapFiles_.setFolder(dataFolder_);
    midiMapFiles_.startUp(midiMap_);

    values_.reset(new std::atomic<float>[kEngineValueCount]);
    for (int i = 0; i < kEngineValueCount; ++i)
        values_[i].store(i < kParamCount ? parameterInfo(i).defaultValue : 0.0f,
                         std::memory_order_relaxed);

    if (!validRate(sampleRate)) sampleRate = 44100.0f;
    Voice* raw[kMaxVoices];
    for (int i = 0; i < kMaxVoices; ++i) {
        keyboard_.clearVoiceKey(i);
        buildVoice(*voices_[i], int(sampleRate), shared_);
        raw[i] = voices_[i].get();
    }
    keyboard_.attach(raw, &shared_);
    keyboard_.setVelocityHook(&Moraine_VST::velocityHook, this);
    keyboard_.keyboardGatesEnvelopes = true;

    dcR_ = 1.0f - 10.0f / sampleRate;
    constructedOk_ = true;
    ready_.store(true, std::memory_order_release);
    silence_.store(0, std::memory_order_relaxed);

    suspend();
    // The library's current sound, applied at once and without telling a host that is
    // still creating us. A new instance starts settled rather than gliding from the
    // circuit's build levels to the sound's.
    notifyHost_ = false;
    // Without a "reset" patch the panel's reset would only pull the cords; the circuit's
    // own start-up settings become that patch.
    PatchRecord& reset = library_->resetPatch;
    if (!fileExists(reset.filePath())) {
        capture(reset);
        reset.name = "Reset";
        reset.saveFile();
        reset.modified = false;
    }
    if (PatchRecord* first = library_->currentPatch()) {
        apply(*first);
        noteSelection(first->midiProgram, first->displayNotes != 0);
    }
    notifyHost_ = true;
    publishMidiMap();
    libraryChanged();
    takeProgramTable();
    patchSelector_.store(&programSelector_, std::memory_order_release);
    resyncAll();
    for (auto& v : voices_) settleRamps(*v);
    shared_.store->panControl.updateGains();
    panelSeam_ = std::make_unique<PanelSeam>(*this);
}

Moraine_VST::~Moraine_VST() = default;

PanelHost& Moraine_VST::panelHost() {
    return *panelSeam_;
}

// ---------------------------------------------------------------- host glue

void Moraine_VST::suspend() {
    AudioThreadScope scope(this);
    for (int key = 0; key < 128; ++key) note(key, 0);
}

void Moraine_VST::setSampleRate(float rate) {
    // A rate the circuit cannot run at is refused; the previous one stays.
    if (!validRate(rate)) return;
    AudioThreadScope scope(this);
    AudioEffectX::setSampleRate(rate);
    const int sr = int(rate);
    for (int i = 0; i < kMaxVoices; ++i) {
        Voice& v = *voices_[i];
        // Keep a patch change's fast ramps fast.
        const bool fast = v.rampRate * 100.0f > float(v.sampleRate);
        setVoiceSampleRate(v, sr, i == 0);
        v.rampRate = float(sr) / (fast ? 40.0f : 4000.0f);
        keyboard_.clearVoiceKey(i);
    }
    dcR_ = 1.0f - 10.0f / float(sr);
}

void Moraine_VST::processReplacing(float** inputs, float** outputs, VstInt32 frames) {
    render(inputs, outputs, frames);
}

bool Moraine_VST::getEffectName(char* name) {
    vst_strncpy(name, "Moraine Deck", kVstMaxEffectNameLen);
    return true;
}

bool Moraine_VST::getVendorString(char* text) {
    vst_strncpy(text, "Larchmere Audio, Inc.", kVstMaxVendorStrLen);
    return true;
}

bool Moraine_VST::getProductString(char* text) {
    vst_strncpy(text, "Moraine Deck Efx v1.3", kVstMaxProductStrLen);
    return true;
}

VstInt32 Moraine_VST::canDo(char* text) {
    if (!text) return -1;
    return std::strcmp(text, "receiveVstEvents") == 0 ||
                   std::strcmp(text, "receiveVstMidiEvent") == 0
               ? 1
               : -1;
}

VstInt32 Moraine_VST::processEvents(VstEvents* events) {
    if (!events) return 1;
    // The host's list runs past the two slots its type declares.
    VstEvent* const* list = events->events;
    for (VstInt32 i = 0; i < events->numEvents; ++i) {
        const VstEvent* e = list[i];
        if (!e || e->type != kVstMidiType) continue;
        VstMidiEvent m;
        std::memcpy(&m, e, sizeof m);
        if (m.deltaFrames < 0) m.deltaFrames = 0;
        midi_.push(m);
    }
    return 1;
}

// ---------------------------------------------------------------- parameters

void Moraine_VST::setParameter(VstInt32 index, float value) {
    if (index < 1 || index >= kParamCount || std::isnan(value)) return;
    storeValue(index, hostToEngine(index, std::clamp(value, 0.0f, 1.0f)));
}

float Moraine_VST::getParameter(VstInt32 index) {
    if (index < 0 || index >= kParamCount) return 0.0f;
    return engineToHost(index, values_[index].load(std::memory_order_relaxed));
}

void Moraine_VST::getParameterName(VstInt32 index, char* text) {
    vst_strncpy(text, index >= 1 && index < kParamCount ? parameterInfo(index).name : "", 24);
}

void Moraine_VST::getParameterLabel(VstInt32 index, char* text) {
    vst_strncpy(text, index >= 1 && index < kParamCount ? parameterInfo(index).label : "", 24);
}

void Moraine_VST::getParameterDisplay(VstInt32 index, char* text) {
    if (index < 1 || index >= kParamCount) {
        vst_strncpy(text, "", 0);
        return;
    }
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%f",
                  double(values_[index].load(std::memory_order_relaxed)));
    vst_strncpy(text, buffer, 24);
}

float Moraine_VST::engineValue(int index) const {
    if (index < 0 || index >= kEngineValueCount) return 0.0f;
    return values_[index].load(std::memory_order_relaxed);
}

void Moraine_VST::setFromEngineValue(int index, float v) {
    if (index < 1 || index >= kParamCount) return;
    setParameter(index, engineToHost(index, v));
}

void Moraine_VST::setEngineValue(int index, float v) {
    if (index < 1 || index >= kParamCount || std::isnan(v)) return;
    storeValue(index, storedEngineValue(index, v));
}

void Moraine_VST::setFromEngineValueAutomated(int index, float v) {
    if (index < 1 || index >= kParamCount) return;
    const float host = engineToHost(index, v);
    if (index < kHostParamCount)
        setParameterAutomated(index, host);
    else
        setParameter(index, host);
}

// Every value change lands here: stored for all readers, marked for the panel, and handed
// to the audio thread.
void Moraine_VST::storeValue(int index, float v) {
    values_[index].store(v, std::memory_order_relaxed);
    dirty_.mark(index);
    post({ControlCommand::Parameter, index, v});
}

bool Moraine_VST::noteHeld(int key) const {
    return key >= 0 && key < 128 && noteVelocity_[key].load(std::memory_order_relaxed) != 0;
}

// ---------------------------------------------------------------- hand-over to the audio thread

bool Moraine_VST::onAudioThread() const {
    return graphThread_.load(std::memory_order_relaxed) == std::this_thread::get_id();
}

void Moraine_VST::post(const ControlCommand& c) {
    if (onAudioThread()) {
        handleCommand(c);
        return;
    }
    // A full queue is not an error: the values are already stored, so the audio thread
    // rebuilds the whole state from them.
    if (!control_.push(c)) resyncRequested_.store(true, std::memory_order_release);
}

void Moraine_VST::drainControl() {
    takeStagedMidiMap();
    takeStagedTuning();
    takeProgramTable();
    ControlCommand c;
    if (resyncRequested_.exchange(false, std::memory_order_acquire)) {
        while (control_.pop(c))
            if (c.kind != ControlCommand::Parameter) handleCommand(c);
        resyncAll();
        return;
    }
    while (control_.pop(c)) handleCommand(c);
}

void Moraine_VST::applyPendingControl() {
    AudioThreadScope scope(this);
    drainControl();
}

void Moraine_VST::handleCommand(const ControlCommand& c) {
    switch (c.kind) {
    case ControlCommand::Parameter:
        applyParameter(c.index, c.value);
        break;
    case ControlCommand::Note:
        playNote(c.index, int(c.value));
        break;
    case ControlCommand::PatchFadeOut:
        fadeLinksOut();
        break;
    case ControlCommand::EnvelopeTrigger:
        keyboard_.envelopeTrigger(c.index != 0);
        break;
    case ControlCommand::PortamentoTrigger:
        keyboard_.portamentoTrigger(c.index != 0);
        break;
    case ControlCommand::ResetVoices:
        resetVoiceStates();
        break;
    }
}

// ---------------------------------------------------------------- notes

void Moraine_VST::note(int key, int velocity) {
    if (key < 0 || key > 127) return;
    velocity = std::clamp(velocity, 0, 127);
    post({ControlCommand::Note, key, float(velocity)});
}

void Moraine_VST::envelopeTrigger(bool pressed) {
    post({ControlCommand::EnvelopeTrigger, pressed ? 1 : 0, 0.0f});
}

void Moraine_VST::portamentoTrigger(bool pressed) {
    post({ControlCommand::PortamentoTrigger, pressed ? 1 : 0, 0.0f});
}

void Moraine_VST::playNote(int key, int velocity) {
    if (key < 0 || key > 127) return;
    keyboard_.noteEvent(key, velocity);
    noteVelocity_[key].store(velocity, std::memory_order_relaxed);
}

// ---------------------------------------------------------------- with editor

Moraine_VSTEdit::Moraine_VSTEdit(audioMasterCallback audioMaster) : Moraine_VST(audioMaster) {
    setUniqueID(VstInt32(fourcc("MRuI")));
    // The entry point attaches the panel's editor through panelHost().
}

// The editor goes first: a host may close the plug-in with its editor still open, and the
// editor's teardown still talks to the instrument.
Moraine_VSTEdit::~Moraine_VSTEdit() { setEditor(nullptr); }

} // namespace moraine
