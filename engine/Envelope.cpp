#include "engine/Envelope.h"

#include <algorithm>
#include <cmath>
#include <iterator>

namespace moraine {

float EnvelopeGen::coefficient(float seconds) const {
    // Shorter than two samples the base would turn negative and the segment would ring;
    // such a time is simply instant.
    const double base = 1.0 - 2.0 / (double(sampleRate) * double(seconds));
    const double c = std::isfinite(base) ? std::clamp(base, 0.0, 1.0) : 0.0;
    return float(c * c);
}

void EnvelopeGen::updateAll() {
    setAttack(attackTime);
    setDecay(decayTime);
    setRelease(releaseTime);
}

void EnvelopeGen::setAttack(float t) {
    attackTime = t;
    attackCoef = coefficient(t);
    attackStep = (1.0f - attackCoef) * 10.0f;
}

void EnvelopeGen::setDecay(float t) {
    decayTime = t;
    decayCoef = coefficient(t);
    decayStep = (1.0f - decayCoef) * sustainLevel;
}

void EnvelopeGen::setRelease(float t) {
    releaseTime = t;
    releaseCoef = coefficient(t);
    releaseStep = (1.0f - releaseCoef) * 1e-5f;
}

void EnvelopeGen::setSustain(float v) {
    sustainLevel = v;
    decayStep = (1.0f - decayCoef) * v;
}

void EnvelopeGen::setControl(float v) {
    history.push(v);
    const float d = v - history.oldest();
    if (d < -5.0f)
        gateOff();
    else if (d > 5.0f)
        gateOn();
    else
        return;
    history.restart(v);
}

void EnvelopeGen::gateOn() {
    phase = 0;
    attacking = 1;
    segment = kind == 8 ? ArAttack : AttackDecay;
}

void EnvelopeGen::gateOff() {
    phase = 1;
    attacking = 0;
    segment = Release;
}

void EnvelopeGen::reset() {
    level = 0.0f;
    attacking = 0;
    phase = 2;
    segment = Idle;
    history.restart(0.0f);
}

} // namespace moraine
