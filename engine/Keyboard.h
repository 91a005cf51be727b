// Per-voice keyboard modules (control voltages, gate, trigger, envelope gate) and
// the shared keyboard LFO. Glide, vibrato and repeat arrive with the keyboard
// controller; here the voltages, gate and trigger already follow the notes.
#pragma once

#include "engine/graph/ParamRamp.h"

namespace moraine {

struct KeyboardCv {
    float octaveOffset = 0.0f;
    float controlVolts = 0.0f;
    float portamentoTime = 0.01f;
    int portamentoOn = 0;
    ParamRamp bendRamp;
    ParamRamp noteRamp;

    void setNote(float volts) { noteRamp.setNow(float(double(volts) - 1.0)); }
    void setOctave(float offset) { octaveOffset = offset; }
    void setPortamentoTime(float seconds) { portamentoTime = seconds; }
    void setPortamento(int on) { portamentoOn = on; }
    void setControl(float v) { controlVolts = v; }
    float output(int) const {
        return noteRamp.current + octaveOffset + bendRamp.current + controlVolts;
    }
};

struct KeyboardGate {
    float keyGate = 0.0f;
    int keyHeld = 0;
    float externalGate = 0.0f;

    void setKeyGate(bool on) {
        keyHeld = on;
        keyGate = on ? 10.0f : 0.0f;
    }
    void setControl(float) {}
    float output(int) const { return keyHeld ? 10.0f : externalGate; }
};

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

struct KeyboardLfo {
    float speed = 1.0f;
    float delay = 0.01f;
    float phase = 0.0f;
    float syncPhase = 0.0f;
    int keyDown = 0;
    int sampleRate = 44100;

    void setSampleRate(int sr) { sampleRate = sr; }
    void setSpeed(float hz) { speed = hz; }
    void setDelay(float seconds) { delay = seconds; }
    void setKeyDown(int f) { keyDown = f; }
    void setPhase(float p) { phase = p; }
    void tick() {}
    float output(int) const { return 0.0f; }
    float syncedOutput(int) const { return 0.0f; }
};

} // namespace moraine
