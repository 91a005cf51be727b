// Turns note events into the voices' keyboard voltages, gates and triggers: the
// two-note handler for one voice, rotation with stealing for several.
#pragma once

#include "engine/graph/Voice.h"

namespace moraine {

constexpr int kMaxVoices = 9;

// The retunable key tables as one copyable value: what a tuning rewrites. The plug-in
// keeps one on the control side and hands it to the audio thread whole.
struct KeyTables {
    KeyTables(); // equal temperament
    float keyFrequency[128];
    float keyVolts[128];
    // Retunes from the 128 three-byte entries (semitone, fraction high, fraction low) of a
    // tuning dump against `baseFrequency`; an entry of 127, 127, 127 leaves its key alone.
    void applyTuning(const float* baseFrequency, const unsigned char* entries);
};

// The key tables are the controller's own KeyTables, so a whole retuned copy drops in.
class KeyboardController : public KeyTables {
public:
    KeyboardController();

    void attach(Voice* const* voices, SharedModules* shared);

    // velocity 0 is a note-off. Runs on the audio thread between voice ticks.
    void noteEvent(int key, int velocity);

    void setExtraVoices(int n) { extraVoices = n < 0 ? 0 : (n > 8 ? 8 : n); }
    int voicesInUse() const { return extraVoices + 1; }
    bool anyKeyHeld() const;
    void clearVoiceKey(int voice) { voiceKey[voice] = -1; }

    // Equal temperament, never retuned: what tuning entries count from. The key tables
    // (keyFrequency, keyVolts) start equal too, until a tuning rewrites them.
    float baseFrequency[128];
    // Retunes from the 128 three-byte entries of a tuning dump.
    void applyTuning(const unsigned char* entries) { KeyTables::applyTuning(baseFrequency, entries); }
    // Takes over a whole retuned table (the plug-in retunes a copy on its control side).
    void setKeyTables(const KeyTables& tables) { static_cast<KeyTables&>(*this) = tables; }

    // The panel's buttons: the envelope trigger gates the first voice's envelopes by
    // hand; the portamento trigger turns glide on in every voice while pressed.
    void envelopeTrigger(bool pressed);
    void portamentoTrigger(bool pressed);

    // Told of every note-on that gates the envelopes, with the voice that plays it (the
    // first voice when playing two-note); the MIDI map applies the velocity there.
    using VelocityHook = void (*)(void* context, int key, int velocity, int voice);
    void setVelocityHook(VelocityHook hook, void* context) {
        velocityHook_ = hook;
        velocityContext_ = context;
    }

    int keyDown[128] = {};
    int velocity[2][128] = {};
    int upperKey = -1, lowerKey = -1;
    int anyKeyFlag = 0, lastKey = -1;
    bool intervalLatchOn = false;
    int latchedInterval = 0;
    int voiceKey[kMaxVoices];
    int lastVoice = 0;
    bool keyboardGatesEnvelopes = true;
    bool keyboardTriggerMultiple = false;
    int repeatMode = 1;
    int extraVoices = 0;

private:
    void twoNote(int key, int vel);
    void polyphonic(int key, int vel);
    void setLfoRepeat(Voice& v, bool on);
    void gateEnvelopes(Voice& v, int key, int vel, int voice);
    float voltsForKey(int key) const;
    KeyboardLfo& lfo() { return shared_->store->lfo; }

    VelocityHook velocityHook_ = nullptr;
    void* velocityContext_ = nullptr;

    Voice* voices_[kMaxVoices] = {};
    SharedModules* shared_ = nullptr;
};

} // namespace moraine
