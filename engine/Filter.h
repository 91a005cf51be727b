// The four-pole low-pass filter's control surface; its signal path is silent
// until the filter itself lands.
#pragma once

namespace moraine {
struct Voice;
}

namespace moraine {

struct VcfModule {
    Voice* voice = nullptr; // owns the filter's ramps
    float coarse = 0.0f;
    float fine = 0.5f;
    float resonance = 0.5f;
    float controlVolts = 0.0f;
    int sampleRate = 44100;

    void setSampleRate(int sr) { sampleRate = sr; }
    void setCoarse(float v) { coarse = v; }
    void setFine(float v) { fine = v; }
    void setResonance(float v) { resonance = v; }
    void setControl(float v) { controlVolts = v; }
    float process(float /*in*/) { return 0.0f; }
    void stepPending() {}
};

} // namespace moraine
