// Where each parameter's engine value goes: tables keyed by parameter index, applied on the
// audio thread (or inside construction, suspend and setSampleRate).
#include "plugin/MorainePlugin.h"

#include "engine/graph/JackTable.h"

#include <algorithm>
#include <array>
#include <cmath>

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
    {kParamEnvFollower, kLinkEnvFollowerIn, kLinkCount, 0.0f, 1.0f},
    {kParamRingMod1, kLinkRingModA, kLinkCount, 0.0f, 1.0f},
    {kParamRingMod2, kLinkRingModB, kLinkCount, 0.0f, 1.0f},
    {kParamVco1ShLevel, kLinkVco1Sh, kLinkCount, 0.01f, 1.0f},
    {kParamVco1AdsrLevel, kLinkVco1Adsr, kLinkCount, 0.01f, 1.0f},
    {kParamVco1Vco2Level, kLinkVco1Vco2, kLinkCount, 0.01f, 1.0f},
    {kParamVco2ShLevel, kLinkVco2Sh, kLinkCount, 0.01f, 1.0f},
    {kParamVco2AdsrLevel, kLinkVco2Adsr, kLinkCount, 0.01f, 1.0f},
    {kParamVco2Vco1Level, kLinkVco2Vco1, kLinkCount, 0.01f, 1.0f},
    {kParamVco2PwModulation, kLinkVco2PwNoise, kLinkCount, 0.0f, 1.0f},
    {kParamVco3NoiseLevel, kLinkVco3Noise, kLinkCount, 0.01f, 1.0f},
    {kParamVco3AdsrLevel, kLinkVco3Adsr, kLinkCount, 0.01f, 1.0f},
    {kParamVco3Vco2Level, kLinkVco3Vco2, kLinkCount, 0.01f, 1.0f},
    {kParamVcfRingModLevel, kLinkVcfRing, kLinkCount, 0.0f, 1.0f},
    {kParamVcfVco1Level, kLinkVcfVco1, kLinkCount, 0.0f, 1.0f},
    {kParamVcfVco2Level, kLinkVcfVco2, kLinkCount, 0.0f, 1.0f},
    {kParamVcfVco3Level, kLinkVcfVco3, kLinkCount, 0.0f, 1.0f},
    {kParamVcfNoiseLevel, kLinkVcfNoise, kLinkCount, 0.0f, 1.0f},
    {kParamVcfAdsrLevel, kLinkVcfAdsr, kLinkCount, 0.0f, 1.0f},
    {kParamVcfVco2CvLevel, kLinkVcfVco2Cv, kLinkCount, 0.0f, 1.0f},
    {kParamVcaVcfLevel, kLinkVcaVcf, kLinkCount, 0.0f, 1.0f},
    // The ring modulator enters the amplifier inverted.
    {kParamVcaRingModLevel, kLinkVcaRing, kLinkCount, 0.0f, -1.0f},
    {kParamVcaArLevel, kLinkVcaAr, kLinkCount, 0.0f, 1.0f},
    {kParamVcaAdsrLevel, kLinkVcaExpAdsr, kLinkCount, 0.0f, 1.0f},
    {kParamVpMinus10Level, kLinkInv1Minus10, kLinkCount, 0.0f, 1.0f},
    {kParamVpKeyboardLevel, kLinkInv1Kbd, kLinkCount, 0.0f, 1.0f},
    {kParamVpPlus10Level, kLinkInv2Plus10, kLinkCount, 0.0f, 1.0f},
    {kParamShLevel, kLinkShNoise, kLinkCount, 0.0f, 1.0f},
    {kParamVibratoDepth, kLinkKbdLowerLfo, kLinkKbdUpperLfo, 0.01f, 1.0f},
    {kParamVcfKeyboardLevel, kLinkVcfKbd, kLinkCount, 0.0f, 1.0f},
};

// The three oscillators' keyboard switch and frequency parameters.
struct OscillatorRoute {
    int switchIndex, coarseIndex, fineIndex;
};
constexpr OscillatorRoute kOscillatorRoutes[3] = {
    {kParamVco1KeyboardSwitch, kParamVco1Coarse, kParamVco1Fine},
    {kParamVco2KeyboardSwitch, kParamVco2Coarse, kParamVco2Fine},
    {kParamVco3KeyboardSwitch, kParamVco3Coarse, kParamVco3Fine},
};

VcoModule& oscillator(Voice& v, int n) {
    return n == 0 ? v.mods.vco1 : (n == 1 ? v.mods.vco2 : v.mods.vco3);
}

} // namespace

// The routes that need the instrument itself. A global route runs once; a voice route runs
// for each voice (and alone for a voice that velocity or pressure reaches).
struct ParameterRoutes {
    using Global = void (*)(Moraine_VST&, float);
    using PerVoice = void (*)(Moraine_VST&, Voice&, float);
    struct GlobalRow {
        int index;
        Global apply;
    };
    struct VoiceRow {
        int index;
        PerVoice apply;
    };

    static SharedModules::Store& store(Moraine_VST& p) { return *p.shared_.store; }
    static void sharedRamp(Moraine_VST& p, ParamRamp& ramp, float target) {
        setRampTarget(*p.voices_[0], ramp, target);
    }

    static constexpr GlobalRow kGlobal[] = {
        {kParamMasterBypass,
         [](Moraine_VST& p, float v) {
             p.silence_.store(v == 0.0f ? 1 : 0, std::memory_order_relaxed);
         }},
        {kParamMixerPan,
         [](Moraine_VST& p, float v) { sharedRamp(p, store(p).panControl.positionRamp, v); }},
        {kParamReverbLeftLevel,
         [](Moraine_VST& p, float v) {
             sharedRamp(p, store(p).reverbModule.leftLevel, v - 0.001f);
         }},
        {kParamReverbRightLevel,
         [](Moraine_VST& p, float v) {
             sharedRamp(p, store(p).reverbModule.rightLevel, v - 0.001f);
         }},
        {kParamNoiseColour,
         [](Moraine_VST& p, float v) { sharedRamp(p, store(p).noiseGen.colourRamp, v); }},
        {kParamNoiseLevel,
         [](Moraine_VST& p, float v) { sharedRamp(p, store(p).noiseGen.levelRamp, v); }},
        {kParamLfoSpeed, [](Moraine_VST& p, float v) { store(p).lfo.setSpeed(v); }},
        {kParamVibratoDelay, [](Moraine_VST& p, float v) { store(p).lfo.setDelay(v); }},
        {kParamClockBeatOffset, [](Moraine_VST& p, float v) { p.clockBeatOffset_ = v; }},
        {kParamLfoBeatOffset, [](Moraine_VST& p, float v) { p.lfoBeatOffset_ = v; }},
        {kParamIntervalLatch,
         [](Moraine_VST& p, float v) {
             KeyboardController& k = p.keyboard_;
             if (v != 0.0f) k.latchedInterval = k.upperKey - k.lowerKey;
             k.intervalLatchOn = v != 0.0f;
         }},
        {kParamVoices,
         [](Moraine_VST& p, float v) {
             p.keyboard_.setExtraVoices(std::clamp(int(v), 0, kMaxVoices - 1));
             p.extraVoicesShown_.store(p.keyboard_.extraVoices, std::memory_order_relaxed);
         }},
        {kParamClockSync,
         [](Moraine_VST& p, float v) {
             p.internalClockSync_ = int(v);
             for (auto& voice : p.voices_) setClockSynced(*voice, p.internalClockSync_ != 0);
         }},
        // A host value holds a whole number only to float precision (26 comes back as
        // 25.999998), so the pulse counts take the integer part after a small allowance.
        {kParamClockPulses,
         [](Moraine_VST& p, float v) {
             p.internalClockPulses_ = std::max(1, int(v + 0.001f));
             p.clockFactor_ = 24.0f / float(p.internalClockPulses_);
         }},
        {kParamLfoSync,
         [](Moraine_VST& p, float v) {
             p.lfoSync_ = int(v);
             for (auto& voice : p.voices_) setLfoSynced(*voice, p.lfoSync_ != 0);
         }},
        {kParamLfoPulses,
         [](Moraine_VST& p, float v) {
             p.lfoPulses_ = std::max(1, int(v + 0.001f));
             p.lfoFactor_ = 24.0f / float(p.lfoPulses_);
         }},
        {kParamMidiLed, [](Moraine_VST&, float) {}},
    };

    static constexpr VoiceRow kVoice[] = {
        // Settings of shared modules and of the keyboard that are listed with the voices, so
        // that a per-voice mapping (velocity, pressure) reaches them too.
        {kParamShRate, [](Moraine_VST& p, Voice&, float v) { store(p).internalClock.setPeriod(v); }},
        {kParamPreampGain, [](Moraine_VST& p, Voice&, float v) { store(p).audio1.setPreampGain(v); }},
        {kParamKeyboardTrigger,
         [](Moraine_VST& p, Voice&, float v) { p.keyboard_.keyboardTriggerMultiple = v <= 0.5f; }},
        {kParamKeyboardRepeat,
         [](Moraine_VST& p, Voice& voice, float v) {
             p.keyboard_.repeatMode = v >= 2.0f ? 0 : (v < 1.0f ? 2 : 1);
             if (p.keyboard_.repeatMode == 2) store(p).lfo.setPhase(0.0f);
             p.applyRepeatMode(voice);
         }},
        {kParamVco1Coarse, [](Moraine_VST&, Voice& x, float v) { x.mods.vco1.setCoarse(10.0f * v); }},
        {kParamVco2Coarse, [](Moraine_VST&, Voice& x, float v) { x.mods.vco2.setCoarse(10.0f * v); }},
        {kParamVco3Coarse, [](Moraine_VST&, Voice& x, float v) { x.mods.vco3.setCoarse(10.0f * v); }},
        {kParamVco1Fine, [](Moraine_VST&, Voice& x, float v) { x.mods.vco1.setFine(v - 0.5f); }},
        {kParamVco2Fine, [](Moraine_VST&, Voice& x, float v) { x.mods.vco2.setFine(v - 0.5f); }},
        {kParamVco3Fine, [](Moraine_VST&, Voice& x, float v) { x.mods.vco3.setFine(v - 0.5f); }},
        {kParamVco2PulseWidth,
         [](Moraine_VST&, Voice& x, float v) { x.mods.vco2.setPanelPulseWidth(v); }},
        {kParamVco3PulseWidth,
         [](Moraine_VST&, Voice& x, float v) { x.mods.vco3.setPanelPulseWidth(v); }},
        {kParamVcfCoarse, [](Moraine_VST&, Voice& x, float v) { x.mods.vcf.setCoarse(10.0f * v); }},
        {kParamVcfFine, [](Moraine_VST&, Voice& x, float v) { x.mods.vcf.setFine(v); }},
        {kParamVcfResonance, [](Moraine_VST&, Voice& x, float v) { x.mods.vcf.setResonance(v); }},
        {kParamAdsrAttack, [](Moraine_VST&, Voice& x, float v) { x.mods.adsr.setAttack(v); }},
        {kParamAdsrDecay, [](Moraine_VST&, Voice& x, float v) { x.mods.adsr.setDecay(v); }},
        {kParamAdsrSustain, [](Moraine_VST&, Voice& x, float v) { x.mods.adsr.setSustain(v); }},
        {kParamAdsrRelease, [](Moraine_VST&, Voice& x, float v) { x.mods.adsr.setRelease(v); }},
        {kParamArAttack, [](Moraine_VST&, Voice& x, float v) { x.mods.ar.setAttack(v); }},
        {kParamArRelease, [](Moraine_VST&, Voice& x, float v) { x.mods.ar.setRelease(v); }},
        {kParamArGate, [](Moraine_VST& p, Voice& x, float v) { p.applyGateSource(x, v); }},
        {kParamVcaInitialGain,
         [](Moraine_VST&, Voice& x, float v) {
             setRampTarget(x, x.mods.vca.initialGainRamp, v);
         }},
        {kParamMixerVcfLevel, [](Moraine_VST& p, Voice& x, float v) { p.applyMixerLevel(x, false, v); }},
        {kParamMixerVcaLevel, [](Moraine_VST& p, Voice& x, float v) { p.applyMixerLevel(x, true, v); }},
        {kParamLagRate, [](Moraine_VST&, Voice& x, float v) { x.mods.lag.setRate(v); }},
        {kParamVco1KeyboardSwitch,
         [](Moraine_VST& p, Voice& x, float v) { p.applyKeyboardSwitch(x, 0, v); }},
        {kParamVco2KeyboardSwitch,
         [](Moraine_VST& p, Voice& x, float v) { p.applyKeyboardSwitch(x, 1, v); }},
        {kParamVco3KeyboardSwitch,
         [](Moraine_VST& p, Voice& x, float v) { p.applyKeyboardSwitch(x, 2, v); }},
        {kParamRingModSwitch,
         [](Moraine_VST&, Voice& x, float v) { x.mods.ring.setMode(v > 0.5f ? 1 : 2); }},
        {kParamOctaveControl,
         [](Moraine_VST&, Voice& x, float v) {
             const float octave = v < -0.1f ? -2.0f : (v < 1.9f ? 0.0f : 2.0f);
             x.mods.kbdLower.setOctave(octave);
             x.mods.kbdUpper.setOctave(octave);
         }},
        {kParamPortamentoSpeed,
         [](Moraine_VST&, Voice& x, float v) {
             x.mods.kbdLower.setPortamentoTime(v);
             x.mods.kbdUpper.setPortamentoTime(v);
         }},
        {kParamPortamentoSwitch,
         [](Moraine_VST&, Voice& x, float v) {
             x.mods.kbdLower.setPortamento(v < 0.5f ? 1 : 0);
             x.mods.kbdUpper.setPortamento(v < 0.5f ? 1 : 0);
         }},
        {kParamPitchBend,
         [](Moraine_VST&, Voice& x, float v) {
             setRampTarget(x, x.mods.kbdLower.bendRamp, v);
             setRampTarget(x, x.mods.kbdUpper.bendRamp, v);
         }},
        {kParamMasterVolume,
         [](Moraine_VST& p, Voice& x, float v) {
             setRampTarget(x, x.link(kLinkOutput).ramp, v);
             setRampTarget(x, x.link(kLinkReverbIn).ramp, v);
             p.masterVolume_.store(v, std::memory_order_relaxed);
         }},
    };

    // One lookup per parameter index instead of a search per change.
    struct Lookup {
        std::array<Global, kFirstJackParam> global{};
        std::array<PerVoice, kFirstJackParam> voice{};
        std::array<const LevelRoute*, kFirstJackParam> level{};
    };
    static const Lookup& lookup() {
        static const Lookup table = [] {
            Lookup t;
            for (const GlobalRow& r : kGlobal) t.global[size_t(r.index)] = r.apply;
            for (const VoiceRow& r : kVoice) t.voice[size_t(r.index)] = r.apply;
            for (const LevelRoute& r : kLevelRoutes) t.level[size_t(r.index)] = &r;
            return t;
        }();
        return table;
    }
};

namespace {
// Built before any render call can need it: a function-local static's first use would
// take a lock in render.
[[maybe_unused]] const ParameterRoutes::Lookup& kRouteLookup = ParameterRoutes::lookup();
} // namespace

void Moraine_VST::applyParameter(int index, float v) {
    if (index < 1 || index >= kParamCount) return;
    v = std::isfinite(v) ? v : parameterInfo(index).defaultValue;
    if (index >= kFirstJackParam) {
        applyCordParameter(index, v);
        return;
    }
    if (const auto global = kRouteLookup.global[size_t(index)]) {
        global(*this, v);
        return;
    }
    for (auto& voice : voices_) applyVoiceParameter(*voice, index, v);
}

void Moraine_VST::applyVoiceParameter(Voice& voice, int index, float v) {
    if (index < 1 || index >= kFirstJackParam) return;
    if (const LevelRoute* r = kRouteLookup.level[size_t(index)]) {
        const float target = r->sign * (v - r->offset);
        setRampTarget(voice, voice.link(r->link).ramp, target);
        if (r->second != kLinkCount) setRampTarget(voice, voice.link(r->second).ramp, target);
        return;
    }
    // The rest are stored only: the panel acts on them.
    if (const auto apply = kRouteLookup.voice[size_t(index)]) apply(*this, voice, v);
}

// A jack parameter names the far end of its cord. Before plugging a new far end, the one it
// plugged before is pulled out: a cord stored on an output jack's parameter rewires the
// input at the far end, and only this parameter remembers which input that was. Cords that
// other jack parameters still declare on the released jack are then put back, so the
// engine's cords always follow the jack parameters.
void Moraine_VST::applyCordParameter(int index, float v) {
    const int own = index - (kFirstJackParam - 1);
    int far = jackFromValue(v);
    if (far == own) far = 0;
    const int previous = pluggedFar_[own];
    pluggedFar_[own] = far;
    if (previous != 0 && previous != far) {
        for (auto& voice : voices_) reconnect(*voice, jackInfo(previous).code, 0);
        replugDeclared(previous);
    }
    const FourCC farCode = far != 0 ? jackInfo(far).code : 0;
    for (auto& voice : voices_) reconnect(*voice, jackInfo(own).code, farCode);
    if (far == 0) replugDeclared(own);
}

void Moraine_VST::replugDeclared(int jack) {
    const FourCC code = jackInfo(jack).code;
    if (const int far = pluggedFar_[jack])
        for (auto& voice : voices_) reconnect(*voice, code, jackInfo(far).code);
    for (int j = 1; j <= kJackCount; ++j) {
        if (j == jack || pluggedFar_[j] != jack) continue;
        for (auto& voice : voices_) reconnect(*voice, jackInfo(j).code, code);
    }
}

void Moraine_VST::resyncAll() {
    for (int i = 1; i < kFirstJackParam; ++i)
        applyParameter(i, values_[i].load(std::memory_order_relaxed));
    // Every cord comes out before any goes in, so an input never keeps a stale source.
    for (int i = kFirstJackParam; i < kParamCount; ++i) applyCordParameter(i, 0.0f);
    for (int i = kFirstJackParam; i < kParamCount; ++i) {
        const float v = values_[i].load(std::memory_order_relaxed);
        if (jackFromValue(v) != 0) applyCordParameter(i, v);
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
        voice.link(kLinkEnvGateKbd).ramp.setNow(1.0f);
        keyboard_.keyboardGatesEnvelopes = true;
        voice.link(kLinkEnvGateClock).ramp.setNow(0.0f);
        const int mode = keyboard_.repeatMode;
        const bool repeat = mode == 2 || (mode == 0 && keyboard_.anyKeyHeld());
        voice.link(kLinkEnvGateLfo).ramp.setNow(repeat ? 1.0f : 0.0f);
    } else {
        voice.link(kLinkEnvGateKbd).ramp.setNow(0.0f);
        voice.link(kLinkEnvGateLfo).ramp.setNow(0.0f);
        voice.link(kLinkEnvGateClock).ramp.setNow(1.0f);
        keyboard_.keyboardGatesEnvelopes = false;
    }
}

void Moraine_VST::applyRepeatMode(Voice& voice) {
    const int mode = keyboard_.repeatMode;
    const bool repeat =
        keyboard_.keyboardGatesEnvelopes && (mode == 2 || (mode == 0 && keyboard_.anyKeyHeld()));
    voice.link(kLinkEnvGateLfo).ramp.setNow(repeat ? 1.0f : 0.0f);
}

void Moraine_VST::applyKeyboardSwitch(Voice& voice, int n, float v) {
    const OscillatorRoute& route = kOscillatorRoutes[n];
    const KeyboardInputJack& input = kKeyboardInputJacks[n];
    VcoModule& vco = oscillator(voice, n);
    if (v > 0.5f) {
        vco.setRange(1);
        setRampTarget(voice, voice.link(input.link).ramp, 1.0f);
    } else {
        vco.setRange(2);
        vco.setPhase(0.0f);
        const int jackParam = kFirstJackParam - 1 + jackNumber(input.code);
        if (jackFromValue(values_[jackParam].load(std::memory_order_relaxed)) == 0)
            setRampTarget(voice, voice.link(input.link).ramp, 0.0f);
    }
    vco.setCoarse(10.0f * values_[route.coarseIndex].load(std::memory_order_relaxed));
    vco.setFine(values_[route.fineIndex].load(std::memory_order_relaxed) - 0.5f);
}

} // namespace moraine
