// ADSR and AR envelope generators: one-pole exponential segments towards 10 V, the
// sustain level and nearly 0 V, gated by jumps of more than 5 V on the control input.
#pragma once

#include "engine/ControlHistory.h"

namespace moraine {

struct EnvelopeGen {
    enum Segment { Idle, AttackDecay, ArAttack, Release };

    float attackTime = 0.01f;
    float sustainLevel = 7.0f;
    float decayTime = 0.5f;
    float releaseTime = 0.2f;
    float sampleRate = 44100.0f;
    float attackCoef = 0.0f, decayCoef = 0.0f, releaseCoef = 0.0f;
    float attackStep = 0.0f, decayStep = 0.0f, releaseStep = 0.0f;
    float level = 0.0f;
    int attacking = 0;
    int kind = 6;  // 6 ADSR, 8 AR
    int phase = 2; // 0 gated, 1 releasing, 2 idle
    ControlHistory history;
    Segment segment = Idle;

    EnvelopeGen() { updateAll(); }
    EnvelopeGen(int kind, float attack, float decay, float sustain, float release)
        : attackTime(attack), sustainLevel(sustain), decayTime(decay), releaseTime(release),
          kind(kind) {
        updateAll();
    }

    void setSampleRate(int sr) {
        sampleRate = float(sr);
        updateAll();
    }
    void setAttack(float t);
    void setDecay(float t);
    void setRelease(float t);
    void setSustain(float v);

    // The gate: a rise of more than 5 V over the recent control changes opens it, a fall
    // of more than 5 V closes it.
    void setControl(float v);
    float output(int) const { return level; }

    void gateOn();
    void gateOff();
    // Back to the attack from the present level (a gated ADSR; the AR ignores it).
    void restartAttack() { attacking = 1; }
    void reset();

    // Once per sample.
    void step() {
        switch (segment) {
        case Idle:
            return;
        case AttackDecay:
            if (level > 9.0f) attacking = 0;
            level = attacking ? attackCoef * level + attackStep : decayCoef * level + decayStep;
            return;
        case ArAttack:
            if (level < 9.0f) level = attackCoef * level + attackStep;
            return;
        case Release:
            level = releaseCoef * level + releaseStep;
            if (level < 0.001f) {
                phase = 2;
                segment = Idle;
                level = 0.0f;
            }
            return;
        }
    }

private:
    float coefficient(float seconds) const;
    void updateAll();
};

} // namespace moraine
