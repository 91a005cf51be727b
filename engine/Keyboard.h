// The keyboard's per-voice modules (control voltages, gate, trigger, envelope gate) and
// the keyboard LFO that every voice shares.
#pragma once

#include "engine/ControlHistory.h"
#include "engine/graph/ParamRamp.h"

namespace moraine {

struct RampList;

// One keyboard voltage: the note (with glide), octave shift, pitch bend and whatever is
// patched into its control input (the vibrato by default).
struct KeyboardCv {
    float octaveOffset = 0.0f;
    float controlVolts = 0.0f;
    float portamentoTime = 0.01f;
    int portamentoOn = 0;
    RampList* ramps = nullptr; // where the glide and bend ramps move
    ParamRamp bendRamp;
    ParamRamp noteRamp;

    // A key's voltage; the module outputs it one volt lower, so that a full keyboard link
    // into an oscillator at 0 V plays the key's frequency an octave down.
    void setNote(float volts);
    void setOctave(float offset) { octaveOffset = offset; }
    void setPortamentoTime(float seconds) { portamentoTime = seconds; }
    void setPortamento(int on) { portamentoOn = on; }
    void setControl(float v) { controlVolts = v; }
    float output(int) const {
        return noteRamp.current + octaveOffset + bendRamp.current + controlVolts;
    }
};

// 10 V while a key holds the voice; otherwise the gate patched into its input, opened
// and closed by jumps of more than 5 V.
struct KeyboardGate {
    float keyGate = 0.0f;
    int keyHeld = 0;
    float externalGate = 0.0f;
    ControlHistory history;

    void setKeyGate(bool on) {
        keyHeld = on;
        keyGate = on ? 10.0f : 0.0f;
    }
    void setControl(float v);
    float output(int) const { return keyHeld ? 10.0f : externalGate; }
};

// 15 V for exactly the sample of the note.
struct KeyboardTrigger {
    float pending = 0.0f;
    float out = 0.0f;
    void fire() { pending = 15.0f; }
    void tick() {
        out = pending;
        pending = 0.0f;
    }
    float output(int) const { return out; }
};

struct EnvelopeGate {
    float value = 0.0f;
    void setControl(float v) { value = v; }
    float output(int) const { return value; }
};

// Selectors of the keyboard LFO's outputs.
enum LfoOutput { kLfoDelayedSine = 1, kLfoSquare = 4, kLfoTriangle = 5 };

// Vibrato source and repeat clock: a delayed, faded-in sine, a square and a triangle.
struct KeyboardLfo {
    float sampleRate = 44100.0f;
    float delay = 0.01f;
    float inverseDelay = 100.0f;
    float speed = 1.0f;
    float increment = 1.0f / 44100.0f;
    float phase = 0.0f;
    float delayTimer = 0.0f;
    float sineOut = 0.0f, squareOut = 0.0f, syncPhase = 0.0f, triangleOut = 0.0f;
    int keyDown = 0;
    int dirty = 7;
    float inverseSampleRate = 1.0f / 44100.0f;
    // The vibrato delay counts from creation and follows the sample rate, so the first
    // note after loading already has its delay.
    float timerIncrement = 1.0f / 44100.0f;

    void setSampleRate(int sr);
    void setSpeed(float hz) {
        speed = hz;
        increment = hz / sampleRate;
    }
    void setDelay(float seconds) {
        delay = seconds;
        inverseDelay = 1.0f / seconds;
    }
    void setKeyDown(int f) {
        if (f == keyDown) return;
        keyDown = f;
        delayTimer = 0.0f;
    }
    void setPhase(float p) { phase = p; }
    void tick() {
        double p = double(phase) + double(increment);
        if (p >= 1.0) p -= 1.0;
        phase = (p >= 0.0 && p < 1.0) ? float(p) : 0.0f;
        dirty = 7;
        delayTimer += timerIncrement;
    }
    float output(int selector);
    float syncedOutput(int selector) const;

private:
    float delayedSine(double angle) const;
};

} // namespace moraine
