// ADSR and AR envelope generators' control surface (silent until they land).
#pragma once

namespace moraine {

struct EnvelopeGen {
    int type = 6; // 6 ADSR, 8 AR
    float attack = 0.1f, decay = 0.1f, sustain = 4.0f, release = 0.1f;
    float gateVolts = 0.0f;
    int sampleRate = 44100;

    EnvelopeGen() = default;
    EnvelopeGen(int t, float a, float d, float s, float r)
        : type(t), attack(a), decay(d), sustain(s), release(r) {}
    void setSampleRate(int sr) { sampleRate = sr; }
    void setAttack(float v) { attack = v; }
    void setDecay(float v) { decay = v; }
    void setSustain(float v) { sustain = v; }
    void setRelease(float v) { release = v; }
    void setControl(float v) { gateVolts = v; }
    float output(int) const { return 0.0f; }
    void step() {}
    void reset() { gateVolts = 0.0f; }
};

} // namespace moraine
