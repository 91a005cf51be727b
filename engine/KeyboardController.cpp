#include "engine/KeyboardController.h"

#include <cmath>

namespace moraine {

namespace {
float voltsOf(float frequency) {
    return float(std::log(double(frequency / 10.0f)) / std::log(2.0));
}

float equalTempered(int key) {
    return float(13.75 * std::pow(2.0, (key - 9) / 12.0));
}

} // namespace

KeyTables::KeyTables() {
    for (int k = 0; k < 128; ++k) {
        keyFrequency[k] = equalTempered(k);
        keyVolts[k] = voltsOf(keyFrequency[k]);
    }
}

void KeyTables::applyTuning(const float* base, const unsigned char* entries) {
    if (!entries) return;
    for (int k = 0; k < 128; ++k) {
        const int s = entries[3 * k] & 127, m = entries[3 * k + 1] & 127,
                  l = entries[3 * k + 2] & 127;
        if (s == 127 && m == 127 && l == 127) continue;
        const int fraction = m * 128 + l; // in 1/16384 of a semitone
        const double r =
            fraction == 0 ? 1.0 : std::pow(2.0, fraction * 100.0 * (1.0 / 16384.0) / 1200.0);
        const float f = float(double(base[s]) * r);
        keyFrequency[k] = f;
        keyVolts[k] = voltsOf(f);
    }
}

KeyboardController::KeyboardController() {
    for (int& k : voiceKey) k = -1;
    for (int k = 0; k < 128; ++k) baseFrequency[k] = equalTempered(k);
}

void KeyboardController::attach(Voice* const* voices, SharedModules* shared) {
    for (int i = 0; i < kMaxVoices; ++i) voices_[i] = voices[i];
    shared_ = shared;
}

bool KeyboardController::anyKeyHeld() const {
    for (int k : keyDown)
        if (k) return true;
    return false;
}

// A latched interval can point past the keyboard; such keys take the nearest end's voltage.
float KeyboardController::voltsForKey(int key) const {
    return keyVolts[key < 0 ? 0 : (key > 127 ? 127 : key)];
}

void KeyboardController::setLfoRepeat(Voice& v, bool on) {
    setLinkNow(v, kLinkEnvGateLfo, on ? 1.0f : 0.0f);
}

void KeyboardController::gateEnvelopes(Voice& v, int key, int vel, int voice) {
    v.mods.adsr.gateOn();
    v.mods.ar.gateOn();
    if (velocityHook_) velocityHook_(velocityContext_, key, vel, voice);
}

void KeyboardController::noteEvent(int key, int vel) {
    if (key < 0 || key > 127 || !voices_[0]) return;
    if (extraVoices == 0)
        twoNote(key, vel);
    else
        polyphonic(key, vel);
}

void KeyboardController::twoNote(int key, int vel) {
    Voice& v = *voices_[0];
    keyDown[key] = vel != 0;
    velocity[0][key] = velocity[1][key] = vel;
    int lowest = -1, highest = -1;
    for (int k = 0; k < 128; ++k) {
        if (!keyDown[k]) continue;
        if (lowest < 0) lowest = k;
        highest = k;
    }
    if (lowest >= 0) {
        if (!intervalLatchOn) {
            if (highest != upperKey) {
                upperKey = highest;
                v.mods.kbdUpper.setNote(keyVolts[highest]);
            }
            if (lowest != lowerKey) {
                lowerKey = lowest;
                v.mods.kbdLower.setNote(keyVolts[lowest]);
            }
        } else if (lowest != lowerKey) {
            lowerKey = lowest;
            v.mods.kbdLower.setNote(keyVolts[lowest]);
            upperKey = lowest + latchedInterval;
            v.mods.kbdUpper.setNote(voltsForKey(upperKey));
        }
    }
    if (vel != 0) {
        anyKeyFlag = 1;
        lastKey = key;
        if (lowest == key && highest == key) { // the first key of a phrase
            v.mods.kbdGate.setKeyGate(true);
            lfo().setKeyDown(1);
            v.mods.kbdTrigger.fire();
            if (keyboardGatesEnvelopes) gateEnvelopes(v, key, vel, 0);
            if (repeatMode == 0) {
                if (keyboardGatesEnvelopes) setLfoRepeat(v, true);
                lfo().setPhase(0.0f);
            }
        } else if (keyboardTriggerMultiple) {
            v.mods.kbdTrigger.fire();
            if (keyboardGatesEnvelopes) gateEnvelopes(v, key, vel, 0);
            if (repeatMode == 0) lfo().setPhase(0.0f);
        }
    } else if (key == lastKey) {
        anyKeyFlag = 0;
    }
    if (lowest < 0) {
        if (repeatMode == 0) setLfoRepeat(v, false);
        v.mods.kbdGate.setKeyGate(false);
        lfo().setKeyDown(0);
    }
}

void KeyboardController::polyphonic(int key, int vel) {
    const int count = extraVoices + 1;
    if (vel == 0) {
        // Every voice, not only those in use: lowering "Voices" must not strand a note.
        for (int i = 0; i < kMaxVoices; ++i) {
            if (voiceKey[i] != key) continue;
            voices_[i]->mods.kbdGate.setKeyGate(false);
            lfo().setKeyDown(0);
            if (repeatMode == 0) setLfoRepeat(*voices_[i], false);
        }
        keyDown[key] = 0;
        velocity[0][key] = velocity[1][key] = 0;
        return;
    }
    int v = -1;
    for (int tries = 0; tries < count; ++tries) {
        lastVoice = (lastVoice + 1) % count;
        const int held = voiceKey[lastVoice];
        if (held < 0 || !keyDown[held]) {
            v = lastVoice;
            break;
        }
    }
    if (v < 0) {
        // All busy: the next voice in turn is taken over.
        v = lastVoice = (lastVoice + 1) % count;
        if (repeatMode == 0) lfo().setPhase(0.0f);
    }
    voiceKey[v] = key;
    Voice& voice = *voices_[v];
    voice.mods.kbdLower.setNote(keyVolts[key]);
    voice.mods.kbdGate.setKeyGate(true);
    voice.mods.kbdTrigger.fire();
    if (keyboardGatesEnvelopes) {
        gateEnvelopes(voice, key, vel, v);
        if (repeatMode == 0) setLfoRepeat(voice, true);
    }
    lfo().setKeyDown(1);
    keyDown[key] = 1;
    velocity[0][key] = velocity[1][key] = vel;
}

void KeyboardController::envelopeTrigger(bool pressed) {
    if (!voices_[0]) return;
    VoiceModules& m = voices_[0]->mods;
    if (pressed) {
        m.adsr.gateOn();
        m.adsr.restartAttack();
        m.ar.gateOn();
        m.ar.restartAttack();
    } else {
        m.adsr.gateOff();
        m.ar.gateOff();
    }
}

void KeyboardController::portamentoTrigger(bool pressed) {
    if (!voices_[0] || voices_[0]->mods.kbdLower.portamentoOn == int(pressed)) return;
    for (Voice* v : voices_) {
        v->mods.kbdLower.setPortamento(pressed);
        v->mods.kbdUpper.setPortamento(pressed);
    }
}

} // namespace moraine
