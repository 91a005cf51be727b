#include "plugin/MorainePlugin.h"

#include "engine/graph/JackTable.h"
#include "platform/DataFolder.h"
#include "platform/Files.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <thread>

namespace moraine {

namespace {

// Per-voice parameters that only move one or two link levels.
struct LevelRoute {
    int index;
    LinkId link;
    LinkId second; // kLinkCount: none
    float offset;  // subtracted from the value
    float sign;
};

constexpr LevelRoute kLevelRoutes[] = {
    {2, kLinkEnvFollowerIn, kLinkCount, 0.0f, 1.0f},
    {3, kLinkRingModA, kLinkCount, 0.0f, 1.0f},
    {4, kLinkRingModB, kLinkCount, 0.0f, 1.0f},
    {7, kLinkVco1Sh, kLinkCount, 0.01f, 1.0f},
    {8, kLinkVco1Adsr, kLinkCount, 0.01f, 1.0f},
    {9, kLinkVco1Vco2, kLinkCount, 0.01f, 1.0f},
    {13, kLinkVco2Sh, kLinkCount, 0.01f, 1.0f},
    {14, kLinkVco2Adsr, kLinkCount, 0.01f, 1.0f},
    {15, kLinkVco2Vco1, kLinkCount, 0.01f, 1.0f},
    {16, kLinkVco2PwNoise, kLinkCount, 0.0f, 1.0f},
    {20, kLinkVco3Noise, kLinkCount, 0.01f, 1.0f},
    {21, kLinkVco3Adsr, kLinkCount, 0.01f, 1.0f},
    {22, kLinkVco3Vco2, kLinkCount, 0.01f, 1.0f},
    {26, kLinkVcfRing, kLinkCount, 0.0f, 1.0f},
    {27, kLinkVcfVco1, kLinkCount, 0.0f, 1.0f},
    {28, kLinkVcfVco2, kLinkCount, 0.0f, 1.0f},
    {29, kLinkVcfVco3, kLinkCount, 0.0f, 1.0f},
    {30, kLinkVcfNoise, kLinkCount, 0.0f, 1.0f},
    {31, kLinkVcfAdsr, kLinkCount, 0.0f, 1.0f},
    {32, kLinkVcfVco2Cv, kLinkCount, 0.0f, 1.0f},
    {41, kLinkVcaVcf, kLinkCount, 0.0f, 1.0f},
    // The ring modulator enters the amplifier inverted.
    {42, kLinkVcaRing, kLinkCount, 0.0f, -1.0f},
    {43, kLinkVcaAr, kLinkCount, 0.0f, 1.0f},
    {44, kLinkVcaExpAdsr, kLinkCount, 0.0f, 1.0f},
    {52, kLinkInv1Minus10, kLinkCount, 0.0f, 1.0f},
    {53, kLinkInv1Kbd, kLinkCount, 0.0f, 1.0f},
    {54, kLinkInv2Plus10, kLinkCount, 0.0f, 1.0f},
    {56, kLinkShNoise, kLinkCount, 0.0f, 1.0f},
    {67, kLinkKbdLowerLfo, kLinkKbdUpperLfo, 0.01f, 1.0f},
    {72, kLinkVcfKbd, kLinkCount, 0.0f, 1.0f},
};

const LevelRoute* levelRoute(int index) {
    for (const LevelRoute& r : kLevelRoutes)
        if (r.index == index) return &r;
    return nullptr;
}

// The three oscillators' keyboard switch, frequency parameters and keyboard input.
struct OscillatorRoute {
    int switchIndex, coarseIndex, fineIndex;
    LinkId keyboardLink;
    FourCC keyboardJack;
};
constexpr OscillatorRoute kOscillatorRoutes[3] = {
    {58, 5, 6, kLinkVco1Kbd, fourcc("plg5")},
    {59, 10, 11, kLinkVco2Kbd, fourcc("plg8")},
    {60, 17, 18, kLinkVco3Kbd, fourcc("pl13")},
};

VcoModule& oscillator(Voice& v, int n) {
    return n == 0 ? v.mods.vco1 : (n == 1 ? v.mods.vco2 : v.mods.vco3);
}

int jackNumberFromValue(float v) {
    if (!(v > 0.0f)) return 0;
    // Host values carry the jack number / 1000; rounding keeps 0.057 on jack 57.
    long j = std::lround(double(v));
    return j >= 1 && j <= kJackCount ? int(j) : 0;
}

bool validRate(float rate) {
    return std::isfinite(rate) && rate >= 1000.0f && rate <= 768000.0f;
}

} // namespace

// Marks the calling thread as the one that may touch the graph directly: the audio
// thread inside render, and any thread inside construction, suspend and setSampleRate,
// which hosts call outside render. A member rather than a thread_local: the first touch
// of a thread_local in a loaded library allocates, and that would be in render.
class AudioThreadScope {
public:
    explicit AudioThreadScope(Moraine_VST* owner)
        : owner_(owner), saved_(owner->graphThread_.exchange(std::this_thread::get_id(),
                                                             std::memory_order_relaxed)) {}
    ~AudioThreadScope() { owner_->graphThread_.store(saved_, std::memory_order_relaxed); }
    AudioThreadScope(const AudioThreadScope&) = delete;
    AudioThreadScope& operator=(const AudioThreadScope&) = delete;

private:
    Moraine_VST* owner_;
    std::thread::id saved_;
};

// ---------------------------------------------------------------- construction

Moraine_VST::Moraine_VST(audioMasterCallback audioMaster)
    : AudioEffectX(audioMaster, 1, kHostParamCount) {
    AudioThreadScope scope(this);
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
    if (PatchRecord* first = library_->currentPatch()) apply(*first);
    notifyHost_ = true;
    publishMidiMap();
    patchSelector_.store(&librarySelector_, std::memory_order_release);
    resyncAll();
    for (auto& v : voices_) settleRamps(*v);
    shared_.store->panControl.updateGains();
}

Moraine_VST::~Moraine_VST() = default;

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
    value = std::clamp(value, 0.0f, 1.0f);
    const float v = hostToEngine(index, value);
    values_[index].store(v, std::memory_order_relaxed);
    post({ControlCommand::Parameter, index, v});
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
    const ParameterInfo& p = parameterInfo(index);
    if (index >= kFirstJackParam)
        setParameter(index, v / 1000.0f);
    else if (p.maximum != p.minimum)
        setParameter(index, (v - p.minimum) / (p.maximum - p.minimum));
    else
        setParameter(index, v);
}

void Moraine_VST::setEngineValue(int index, float v) {
    if (index < 1 || index >= kParamCount || std::isnan(v)) return;
    const ParameterInfo& p = parameterInfo(index);
    if (index >= kFirstJackParam)
        v = float(jackNumberFromValue(v));
    else if (p.maximum > p.minimum)
        v = std::clamp(v, p.minimum, p.maximum);
    values_[index].store(v, std::memory_order_relaxed);
    post({ControlCommand::Parameter, index, v});
}

void Moraine_VST::setFromEngineValueAutomated(int index, float v) {
    if (index < 1 || index >= kParamCount) return;
    const ParameterInfo& p = parameterInfo(index);
    float host = v;
    if (index >= kFirstJackParam)
        host = v / 1000.0f;
    else if (p.maximum != p.minimum)
        host = (v - p.minimum) / (p.maximum - p.minimum);
    if (index < kHostParamCount)
        setParameterAutomated(index, host);
    else
        setParameter(index, host);
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

void Moraine_VST::resyncAll() {
    for (int i = 1; i < kFirstJackParam; ++i)
        applyParameter(i, values_[i].load(std::memory_order_relaxed));
    // Every cord comes out before any goes in, so an input never keeps a stale source.
    for (int i = kFirstJackParam; i < kParamCount; ++i) applyParameter(i, 0.0f);
    for (int i = kFirstJackParam; i < kParamCount; ++i) {
        float v = values_[i].load(std::memory_order_relaxed);
        if (jackNumberFromValue(v) != 0) applyParameter(i, v);
    }
}

// ---------------------------------------------------------------- applying values

void Moraine_VST::applyParameter(int index, float v) {
    if (index < 1 || index >= kParamCount) return;
    v = std::isfinite(v) ? v : parameterInfo(index).defaultValue;
    Voice& first = *voices_[0];
    SharedModules::Store& s = *shared_.store;
    switch (index) {
    case 1:
        silence_.store(v == 0.0f ? 1 : 0, std::memory_order_relaxed);
        return;
    case 45:
        setRampTarget(first, s.panControl.positionRamp, v);
        return;
    case 48:
        setRampTarget(first, s.reverbModule.leftLevel, v - 0.001f);
        return;
    case 49:
        setRampTarget(first, s.reverbModule.rightLevel, v - 0.001f);
        return;
    case 50:
        setRampTarget(first, s.noiseGen.colourRamp, v);
        return;
    case 51:
        setRampTarget(first, s.noiseGen.levelRamp, v);
        return;
    case 65:
        s.lfo.setSpeed(v);
        return;
    case 66:
        s.lfo.setDelay(v);
        return;
    case 73:
        clockBeatOffset_ = v;
        return;
    case 74:
        lfoBeatOffset_ = v;
        return;
    case 76:
        if (v != 0.0f) {
            keyboard_.latchedInterval = keyboard_.upperKey - keyboard_.lowerKey;
            keyboard_.intervalLatchOn = true;
        } else {
            keyboard_.intervalLatchOn = false;
        }
        return;
    case 81:
        keyboard_.setExtraVoices(std::clamp(int(v), 0, kMaxVoices - 1));
        extraVoicesShown_.store(keyboard_.extraVoices, std::memory_order_relaxed);
        return;
    case 82:
        internalClockSync_ = int(v);
        for (auto& voice : voices_) setClockSynced(*voice, internalClockSync_ != 0);
        return;
    case 83:
        // A host value holds a whole number only to float precision (26 comes back as
        // 25.999998), so the integer part is taken after a small allowance.
        internalClockPulses_ = std::max(1, int(v + 0.001f));
        clockFactor_ = 24.0f / float(internalClockPulses_);
        return;
    case 84:
        lfoSync_ = int(v);
        for (auto& voice : voices_) setLfoSynced(*voice, lfoSync_ != 0);
        return;
    case 85:
        lfoPulses_ = std::max(1, int(v + 0.001f));
        lfoFactor_ = 24.0f / float(lfoPulses_);
        return;
    case 89:
        return;
    default:
        break;
    }
    if (index >= kFirstJackParam) {
        const int own = index - (kFirstJackParam - 1);
        const int other = jackNumberFromValue(v);
        const FourCC a = jackInfo(own).code;
        const FourCC b = other != 0 && other != own ? jackInfo(other).code : 0;
        for (auto& voice : voices_) reconnect(*voice, a, b);
        return;
    }
    for (auto& voice : voices_) applyVoiceParameter(*voice, index, v);
}

void Moraine_VST::applyVoiceParameter(Voice& voice, int index, float v) {
    if (const LevelRoute* r = levelRoute(index)) {
        const float target = r->sign * (v - r->offset);
        setRampTarget(voice, voice.link(r->link).ramp, target);
        if (r->second != kLinkCount) setRampTarget(voice, voice.link(r->second).ramp, target);
        return;
    }
    VoiceModules& m = voice.mods;
    SharedModules::Store& s = *shared_.store;
    switch (index) {
    // Settings of shared modules and of the keyboard that are listed with the voices, so
    // that a per-voice mapping (velocity, pressure) reaches them too.
    case 57:
        s.internalClock.setPeriod(v);
        break;
    case 70:
        s.audio1.setPreampGain(v);
        break;
    case 62:
        keyboard_.keyboardTriggerMultiple = v <= 0.5f;
        break;
    case 63:
        keyboard_.repeatMode = v >= 2.0f ? 0 : (v < 1.0f ? 2 : 1);
        if (keyboard_.repeatMode == 2) s.lfo.setPhase(0.0f);
        applyRepeatMode(voice);
        break;
    case 5:
        m.vco1.setCoarse(10.0f * v);
        break;
    case 10:
        m.vco2.setCoarse(10.0f * v);
        break;
    case 17:
        m.vco3.setCoarse(10.0f * v);
        break;
    case 6:
        m.vco1.setFine(v - 0.5f);
        break;
    case 11:
        m.vco2.setFine(v - 0.5f);
        break;
    case 18:
        m.vco3.setFine(v - 0.5f);
        break;
    case 12:
        m.vco2.setPanelPulseWidth(v);
        break;
    case 19:
        m.vco3.setPanelPulseWidth(v);
        break;
    case 23:
        m.vcf.setCoarse(10.0f * v);
        break;
    case 24:
        m.vcf.setFine(v);
        break;
    case 25:
        m.vcf.setResonance(v);
        break;
    case 33:
        m.adsr.setAttack(v);
        break;
    case 34:
        m.adsr.setDecay(v);
        break;
    case 35:
        m.adsr.setSustain(v);
        break;
    case 36:
        m.adsr.setRelease(v);
        break;
    case 37:
        m.ar.setAttack(v);
        break;
    case 39:
        m.ar.setRelease(v);
        break;
    case 38:
        applyGateSource(voice, v);
        break;
    case 40:
        setRampTarget(voice, m.vca.initialGainRamp, v);
        break;
    case 46:
        applyMixerLevel(voice, false, v);
        break;
    case 47:
        applyMixerLevel(voice, true, v);
        break;
    case 55:
        m.lag.setRate(v);
        break;
    case 58:
        applyKeyboardSwitch(voice, 0, v);
        break;
    case 59:
        applyKeyboardSwitch(voice, 1, v);
        break;
    case 60:
        applyKeyboardSwitch(voice, 2, v);
        break;
    case 61:
        m.ring.setMode(v > 0.5f ? 1 : 2);
        break;
    case 64: {
        const float octave = v < -0.1f ? -2.0f : (v < 1.9f ? 0.0f : 2.0f);
        m.kbdLower.setOctave(octave);
        m.kbdUpper.setOctave(octave);
        break;
    }
    case 68:
        m.kbdLower.setPortamentoTime(v);
        m.kbdUpper.setPortamentoTime(v);
        break;
    case 69:
        m.kbdLower.setPortamento(v < 0.5f ? 1 : 0);
        m.kbdUpper.setPortamento(v < 0.5f ? 1 : 0);
        break;
    case 71:
        setRampTarget(voice, m.kbdLower.bendRamp, v);
        setRampTarget(voice, m.kbdUpper.bendRamp, v);
        break;
    case 75:
        setRampTarget(voice, voice.link(kLinkOutput).ramp, v);
        setRampTarget(voice, voice.link(kLinkReverbIn).ramp, v);
        masterVolume_.store(v, std::memory_order_relaxed);
        break;
    default:
        break; // stored only: the panel acts on them
    }
}

void Moraine_VST::applyMixerLevel(Voice& voice, bool vca, float v) {
    // The insert link always follows the slider; the mixer's own path only while no cord
    // takes the signal out through the insert jack.
    setRampTarget(voice, voice.link(vca ? kLinkInsert2Vca : kLinkInsert1Vcf).ramp, v);
    const int active = vca ? voice.vcaInsertActive : voice.vcfInsertActive;
    if (!active) setRampTarget(voice, voice.link(vca ? kLinkMixerVca : kLinkMixerVcf).ramp, v);
}

void Moraine_VST::applyGateSource(Voice& voice, float v) {
    if (v > 0.5f) {
        setLinkNow(voice, kLinkEnvGateKbd, 1.0f);
        keyboard_.keyboardGatesEnvelopes = true;
        setLinkNow(voice, kLinkEnvGateClock, 0.0f);
        const int mode = keyboard_.repeatMode;
        const bool repeat = mode == 2 || (mode == 0 && keyboard_.anyKeyHeld());
        setLinkNow(voice, kLinkEnvGateLfo, repeat ? 1.0f : 0.0f);
    } else {
        setLinkNow(voice, kLinkEnvGateKbd, 0.0f);
        setLinkNow(voice, kLinkEnvGateLfo, 0.0f);
        setLinkNow(voice, kLinkEnvGateClock, 1.0f);
        keyboard_.keyboardGatesEnvelopes = false;
    }
}

void Moraine_VST::applyRepeatMode(Voice& voice) {
    const int mode = keyboard_.repeatMode;
    const bool repeat =
        keyboard_.keyboardGatesEnvelopes && (mode == 2 || (mode == 0 && keyboard_.anyKeyHeld()));
    setLinkNow(voice, kLinkEnvGateLfo, repeat ? 1.0f : 0.0f);
}

void Moraine_VST::applyKeyboardSwitch(Voice& voice, int n, float v) {
    const OscillatorRoute& route = kOscillatorRoutes[n];
    VcoModule& vco = oscillator(voice, n);
    if (v > 0.5f) {
        vco.setRange(1);
        setRampTarget(voice, voice.link(route.keyboardLink).ramp, 1.0f);
    } else {
        vco.setRange(2);
        vco.setPhase(0.0f);
        const int jackParam = kFirstJackParam - 1 + jackNumber(route.keyboardJack);
        if (jackNumberFromValue(values_[jackParam].load(std::memory_order_relaxed)) == 0)
            setRampTarget(voice, voice.link(route.keyboardLink).ramp, 0.0f);
    }
    vco.setCoarse(10.0f * values_[route.coarseIndex].load(std::memory_order_relaxed));
    vco.setFine(values_[route.fineIndex].load(std::memory_order_relaxed) - 0.5f);
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

void Moraine_VST::dispatchMidi(int frame) {
    while (!midi_.empty() && midi_.front().deltaFrames <= frame) {
        const VstMidiEvent e = midi_.front();
        midi_.pop();
        const int status = static_cast<unsigned char>(e.midiData[0]);
        const int channel = status & 15;
        const int d1 = e.midiData[1] & 127;
        const int d2 = e.midiData[2] & 127;
        const int kind = status & 0xF0;
        if (kind < 0x80 || kind == 0xF0) continue; // not a channel message
        midiActivity_.store(1.0f, std::memory_order_relaxed);
        midiHold_ = 20;
        switch (kind) {
        case 0x90:
            playNote(d1, d2);
            break;
        case 0x80:
            playNote(d1, 0);
            break;
        case 0xB0:
            lastController_.store(float(d1), std::memory_order_relaxed);
            if (d1 == 0) {
                // Bank select chooses a group; the sound stays until a program change.
                if (PatchSelector* p = patchSelector_.load(std::memory_order_acquire))
                    p->selectGroup(d2);
            } else {
                midiController(channel, d1, d2, e.deltaFrames);
            }
            break;
        case 0xE0:
            lastController_.store(float(57344 + d1), std::memory_order_relaxed);
            pitchBend(channel, d1, d2, e.deltaFrames);
            break;
        case 0xC0:
            programChange(channel, d1);
            break;
        case 0xD0:
            channelPressure(channel, d1, e.deltaFrames);
            break;
        case 0xA0:
            polyphonicPressure(channel, d1, d2, e.deltaFrames);
            break;
        default:
            break;
        }
    }
}

void Moraine_VST::applyMidiMap(int source, int controller, int channel, int value,
                               bool fourteenBit) {
    MidiMatch m;
    int cursor = 0;
    while (audioMap_.nextMatch(cursor, source, controller, channel, m)) {
        midiTarget_.store(m.target, std::memory_order_relaxed);
        setFromEngineValue(m.target, mapMidiValue(m, value, fourteenBit));
    }
    midiTarget_.store(-1, std::memory_order_relaxed);
}

void Moraine_VST::midiController(int channel, int controller, int value, int) {
    if (controller == 1)
        applyMidiMap(kSourceModWheel, 0, 0, value, false);
    else
        applyMidiMap(kSourceController, controller, channel, value, false);
}

void Moraine_VST::pitchBend(int channel, int lsb, int msb, int) {
    applyMidiMap(kSourceController, kPitchBendController, channel, (msb & 127) * 128 + (lsb & 127),
                 true);
}

void Moraine_VST::channelPressure(int, int value, int) {
    applyMidiMap(kSourceAftertouch, 0, 0, value, false);
}

void Moraine_VST::programChange(int, int program) {
    if (PatchSelector* p = patchSelector_.load(std::memory_order_acquire))
        p->selectProgram(std::clamp(program, 0, 127));
}

void Moraine_VST::polyphonicPressure(int, int note, int value, int) {
    if (note < 0 || note > 127) return;
    const int count = keyboard_.voicesInUse();
    for (int i = 0; i < count; ++i) {
        // Two-note play keeps both held keys on the first voice.
        const bool holds =
            keyboard_.keyDown[note] &&
            (count == 1 ? note == keyboard_.lowerKey || note == keyboard_.upperKey
                        : keyboard_.voiceKey[i] == note && voices_[i]->mods.kbdGate.keyHeld);
        if (!holds) continue;
        MidiMatch m;
        int cursor = 0;
        while (audioMap_.nextMatch(cursor, kSourceAftertouch, 0, 0, m)) {
            if (m.target >= kFirstJackParam) continue; // cords are never per voice
            midiTarget_.store(m.target, std::memory_order_relaxed);
            applyVoiceParameter(*voices_[i], m.target, mapMidiValue(m, value, false));
        }
    }
    midiTarget_.store(-1, std::memory_order_relaxed);
}

void Moraine_VST::velocityHook(void* context, int key, int velocity, int voice) {
    static_cast<Moraine_VST*>(context)->applyVelocity(key, velocity, voice);
}

// The voice that plays the note glides to the mapped value in 40 samples rather than
// 4000, so the note starts with it; the previous rate comes back afterwards (a patch
// change may be running its own fast ramps).
void Moraine_VST::applyVelocity(int, int velocity, int voiceIndex) {
    if (voiceIndex < 0 || voiceIndex >= kMaxVoices) return;
    Voice& voice = *voices_[voiceIndex];
    const bool mono = keyboard_.voicesInUse() == 1;
    const float savedRate = voice.rampRate;
    voice.rampRate = float(voice.sampleRate) / 40.0f;
    MidiMatch m;
    int cursor = 0;
    while (audioMap_.nextMatch(cursor, kSourceVelocity, 0, 0, m)) {
        const float v = mapMidiValue(m, velocity, false);
        midiTarget_.store(m.target, std::memory_order_relaxed);
        if (mono)
            setFromEngineValue(m.target, v);
        else if (m.target < kFirstJackParam)
            applyVoiceParameter(voice, m.target, v);
    }
    midiTarget_.store(-1, std::memory_order_relaxed);
    voice.rampRate = savedRate;
}

// The host's musical position, once per block. Only the fraction of a cycle matters to
// the synchronised outputs, and taking it in double keeps a long song's position exact.
void Moraine_VST::readTempo() {
    if (!internalClockSync_ && !lfoSync_) return;
    const VstTimeInfo* t = getTimeInfo(kVstPpqPosValid);
    if (!t || !(t->flags & kVstPpqPosValid) || !std::isfinite(t->ppqPos)) return;
    auto cycle = [](double factor, double position, double offset) {
        const double x = factor * position + offset;
        const double fraction = x - std::floor(x);
        return std::isfinite(fraction) ? float(std::clamp(fraction, 0.0, 0.99999994)) : 0.0f;
    };
    SharedModules::Store& s = *shared_.store;
    if (internalClockSync_)
        s.internalClock.syncValue = cycle(clockFactor_, t->ppqPos, clockBeatOffset_);
    if (lfoSync_) s.lfo.syncPhase = cycle(lfoFactor_, t->ppqPos, lfoBeatOffset_);
}

// ---------------------------------------------------------------- patch change

void Moraine_VST::fadeLinksOut() {
    for (auto& v : voices_) {
        setRampTarget(*v, v->link(kLinkOutput).ramp, 0.0f);
        setRampTarget(*v, v->link(kLinkReverbIn).ramp, 0.0f);
    }
    ReverbModule& reverb = shared_.store->reverbModule;
    setRampTarget(*voices_[0], reverb.leftLevel, 0.0f);
    setRampTarget(*voices_[0], reverb.rightLevel, 0.0f);
}

void Moraine_VST::beginPatchChange(PendingPatch* patch, bool wait) {
    fadedOut_.store(false, std::memory_order_relaxed);
    if (!patch || !constructedOk_) return;
    if (!pendingPatch_.load(std::memory_order_acquire)) {
        for (int key = 0; key < 128; ++key) {
            const int vel = noteVelocity_[key].load(std::memory_order_relaxed);
            retriggerVelocity_[key] = vel;
            if (vel) note(key, 0);
        }
    }
    pendingPatch_.store(patch, std::memory_order_release);
    fadeGain_.store(1.0f, std::memory_order_relaxed);
    masterVolume_.store(1.0f, std::memory_order_relaxed);
    post({ControlCommand::PatchFadeOut, 0, 0.0f});
    if (wait && !onAudioThread()) {
        for (int i = 0; i < 502 && !fadedOut_.load(std::memory_order_acquire); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    patch->apply(*this);
    for (int key = 0; key < 128; ++key) {
        if (retriggerVelocity_[key]) note(key, retriggerVelocity_[key]);
        retriggerVelocity_[key] = 0;
    }
    // Everything above is queued before the pending patch clears, so the audio thread
    // sees the new values no later than the start of the fade-in.
    pendingPatch_.store(nullptr, std::memory_order_release);
    fadedOut_.store(false, std::memory_order_relaxed);
}

// ---------------------------------------------------------------- render

void Moraine_VST::renderSilence(float** outputs, VstInt32 frames) {
    for (int c = 0; c < 2; ++c)
        if (outputs && outputs[c]) std::fill_n(outputs[c], frames, 0.0f);
    meterState_[0] = meterState_[1] = 0.0f;
    meterLeft_.store(0.0f, std::memory_order_relaxed);
    meterRight_.store(0.0f, std::memory_order_relaxed);
}

void Moraine_VST::updateActivity() {
    if (midiHold_ >= 1) {
        midiActivity_.store(1.0f, std::memory_order_relaxed);
        --midiHold_;
    } else {
        midiActivity_.store(0.0f, std::memory_order_relaxed);
        lastController_.store(0.0f, std::memory_order_relaxed);
        midiHold_ = 0;
    }
}

void Moraine_VST::applyFade(float** outputs, VstInt32 frames, bool pending) {
    const float rate = float(voices_[0]->sampleRate);
    float gain = fadeGain_.load(std::memory_order_relaxed);
    if (pending) {
        if (gain <= 0.0f) {
            for (auto& v : voices_) v->rampRate = rate / 40.0f;
            fadedOut_.store(true, std::memory_order_release);
            gain = 0.0f;
        } else {
            gain = std::max(0.0f, gain - float(frames) / rate * 10.0f);
        }
    } else if (gain < 1.0f) {
        gain += float(frames) / rate * 10.0f;
        if (gain >= 1.0f) {
            for (auto& v : voices_) v->rampRate = rate / 4000.0f;
            gain = 1.0f;
        }
    } else {
        return;
    }
    fadeGain_.store(gain, std::memory_order_relaxed);
    for (VstInt32 i = 0; i < frames; ++i) {
        outputs[0][i] *= gain;
        outputs[1][i] *= gain;
    }
}

void Moraine_VST::render(float** inputs, float** outputs, VstInt32 frames) {
    if (!outputs || !outputs[0] || !outputs[1] || frames <= 0) return;
    const auto started = std::chrono::steady_clock::now();
    AudioThreadScope scope(this);

    if (!ready_.load(std::memory_order_acquire)) {
        renderSilence(outputs, frames);
        updateActivity();
        return;
    }
    // Read before draining: what a patch change queued before clearing its pointer is
    // then certain to be applied in this block.
    const bool pending = pendingPatch_.load(std::memory_order_acquire) != nullptr;
    drainControl();

    if (silence_.load(std::memory_order_relaxed)) {
        renderSilence(outputs, frames);
        // Notes still reach the keyboard so that none hangs when the sound returns, and a
        // patch change still completes its hand-shake.
        dispatchMidi(INT32_MAX);
        applyFade(outputs, frames, pending);
    } else {
        SharedModules::Store& s = *shared_.store;
        readTempo();
        const float* in1 = inputs ? inputs[0] : nullptr;
        const float* in2 = inputs ? inputs[1] : nullptr;
        float* outL = outputs[0];
        float* outR = outputs[1];
        ReverbModule& reverb = s.reverbModule;
        PanControl& pan = s.panControl;
        float sum[2] = {0.0f, 0.0f};

        for (VstInt32 i = 0; i < frames; ++i) {
            const int extra = keyboard_.extraVoices;
            dispatchMidi(i);
            if (in1) s.audio1.setValue(in1[i]);
            if (in2) s.audio2.setValue(in2[i]);
            s.internalClock.tick();
            s.lfo.tick();
            s.leftCell = s.rightCell = 0.0f;
            s.noiseGen.invalidate();
            reverb.beginSample();

            float mono = 0.0f;
            for (int v = 0; v <= extra; ++v) {
                mono += renderVoiceSample(*voices_[v]);
            }
            const float dry = 0.1f * mono;

            float left = 0.0f, right = 0.0f;
            reverb.processSample(left, right);

            pan.updateGains();
            left += pan.leftGain * dry + s.leftCell;
            right += pan.rightGain * dry + s.rightCell;

            float out[2] = {left, right};
            for (int c = 0; c < 2; ++c) {
                if (notNormal(dcY1_[c])) dcY1_[c] = 0.0f;
                const float y = dcR_ * dcY1_[c] + (out[c] - dcX1_[c]);
                dcX1_[c] = out[c];
                dcY1_[c] = y;
                // An input that is not finite must not reach the host; the blocker's own
                // state has just been cleared above for the next frame.
                out[c] = std::isfinite(y) ? 2.0f * y : 0.0f;
                if (!std::isfinite(dcX1_[c])) dcX1_[c] = 0.0f;

                sum[c] += out[c] * out[c];
                float meter = normalOrZero(meterState_[c]) * 0.9999f;
                if (std::fabs(sum[c]) > meter) meter = std::fabs(sum[c]);
                meterState_[c] = meter;
            }
            outL[i] = out[0];
            outR[i] = out[1];
        }
        meterLeft_.store(meterState_[0], std::memory_order_relaxed);
        meterRight_.store(meterState_[1], std::memory_order_relaxed);
        applyFade(outputs, frames, pending);
    }
    midi_.rebase(frames);
    updateActivity();

    const auto elapsed = std::chrono::steady_clock::now() - started;
    const auto ticks = std::chrono::duration_cast<std::chrono::nanoseconds>(elapsed).count();
    if (ticks > 0) {
        renderTime_.store(float(ticks), std::memory_order_relaxed);
        lastBlockFrames_.store(float(frames), std::memory_order_relaxed);
    }
}

// ---------------------------------------------------------------- with editor

Moraine_VSTEdit::Moraine_VSTEdit(audioMasterCallback audioMaster) : Moraine_VST(audioMaster) {
    setUniqueID(VstInt32(fourcc("MRuI")));
    // The panel attaches itself here through setEditor once it exists.
}

Moraine_VSTEdit::~Moraine_VSTEdit() = default;

void Moraine_VSTEdit::setParameter(VstInt32 index, float value) {
    Moraine_VST::setParameter(index, value);
    // The panel follows host automation once it exists.
}

} // namespace moraine
