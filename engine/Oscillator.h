// The three voltage-controlled oscillators. This is the module's control surface;
// its waveform generators replace the silent outputs when they land.
#pragma once

namespace moraine {
struct Voice;
}

namespace moraine {

struct VcoModule {
    Voice* voice = nullptr; // owns the oscillator's ramps
    int kind = 1;             // 1, 2 or 3: which of the three oscillators
    int range = 1;            // 1 audio (10 Hz at 0 V), 2 low (0.03 Hz at 0 V)
    float coarseVolts = 0.0f; // 10 x panel coarse
    float fineVolts = 0.0f;   // panel fine - 0.5
    float controlVolts = 0.0f;
    float panelPulseWidth = 0.5f;
    float pwmVolts = 0.0f;
    int sampleRate = 44100;

    void setSampleRate(int sr) { sampleRate = sr; }
    void setCoarse(float volts) { coarseVolts = volts; }
    void setFine(float volts) { fineVolts = volts; }
    void setRange(int r) { range = r; }
    void setPhase(float) {}
    void setPanelPulseWidth(float w) { panelPulseWidth = w; }
    void reapplyFrequency() {}

    void setControl(float v) { controlVolts = v; }
    void setPwmControl(float v) { pwmVolts = v; }
    float output(int /*selector*/) const { return 0.0f; }
    void step() {}
};

} // namespace moraine
