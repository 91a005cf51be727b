#include "engine/Amplifier.h"

namespace moraine {

void VcaModule::setExponentialControl(float v) {
    const float x = notNormal(v) ? 0.0f : (v < 10.0f ? 0.1f * v : 1.0f);
    const float power = float(std::pow(10.0, double(x)));
    exponentialGain = normalOrZero(float(double(power - 1.0f) * 0.11111));
}

void RingModulator::setMode(int m) {
    mode = m;
    prevA = prevB = blockedA = blockedB = inputA = inputB = 0.0f;
    pole = normalOrZero(float(1.0 - 10.0 / double(sampleRate)));
}

float RingModulator::process(float) {
    if (mode != 1) return normalOrZero(inputA) * normalOrZero(inputB);
    const float hA = normalOrZero(inputA - prevA + blockedA * pole);
    const float hB = inputB - prevB + blockedB * pole;
    prevA = inputA;
    blockedA = hA;
    prevB = inputB;
    if (notNormal(hB)) {
        blockedB = 0.0f;
        return 0.0f;
    }
    blockedB = hB;
    return hA * hB;
}

} // namespace moraine
