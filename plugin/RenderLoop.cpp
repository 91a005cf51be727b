// The render loop: voices summed and scaled, reverb, pan and direct inputs, the DC blocker,
// the meters, and the fades of a patch change.
#include "plugin/AudioThreadScope.h"
#include "plugin/MorainePlugin.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <cmath>

namespace moraine {

void Moraine_VST::renderSilence(float** outputs, VstInt32 frames) {
    for (int c = 0; c < 2; ++c)
        if (outputs && outputs[c]) std::fill_n(outputs[c], frames, 0.0f);
    meterState_[0] = meterState_[1] = 0.0f;
    meterLeft_.store(0.0f, std::memory_order_relaxed);
    meterRight_.store(0.0f, std::memory_order_relaxed);
}

void Moraine_VST::updateActivity() {
    if (midiHold_ >= 1) {
        midiActivity_.store(1.0f, std::memory_order_relaxed);
        --midiHold_;
    } else {
        midiActivity_.store(0.0f, std::memory_order_relaxed);
        lastController_.store(0.0f, std::memory_order_relaxed);
        midiHold_ = 0;
    }
}

void Moraine_VST::applyFade(float** outputs, VstInt32 frames, bool pending) {
    const float rate = float(voices_[0]->sampleRate);
    float gain = fadeGain_.load(std::memory_order_relaxed);
    if (pending) {
        if (gain <= 0.0f) {
            for (auto& v : voices_) v->rampRate = rate / 40.0f;
            fadedOut_.store(true, std::memory_order_release);
            gain = 0.0f;
        } else {
            gain = std::max(0.0f, gain - float(frames) / rate * 10.0f);
        }
    } else if (gain < 1.0f) {
        gain += float(frames) / rate * 10.0f;
        if (gain >= 1.0f) {
            for (auto& v : voices_) v->rampRate = rate / 4000.0f;
            gain = 1.0f;
        }
    } else {
        return;
    }
    fadeGain_.store(gain, std::memory_order_relaxed);
    for (VstInt32 i = 0; i < frames; ++i) {
        outputs[0][i] *= gain;
        outputs[1][i] *= gain;
    }
}

void Moraine_VST::render(float** inputs, float** outputs, VstInt32 frames) {
    if (!outputs || !outputs[0] || !outputs[1] || frames <= 0) return;
    const auto started = std::chrono::steady_clock::now();
    AudioThreadScope scope(this);

    if (!ready_.load(std::memory_order_acquire)) {
        renderSilence(outputs, frames);
        updateActivity();
        renderCount_.fetch_add(1, std::memory_order_release);
        return;
    }
    // Read before draining: what a patch change queued before clearing its flag is then
    // certain to be applied in this block.
    const bool pending = pendingPatch_.load(std::memory_order_acquire);
    drainControl();

    if (silence_.load(std::memory_order_relaxed)) {
        renderSilence(outputs, frames);
        // Notes still reach the keyboard so that none hangs when the sound returns, and a
        // patch change still completes its hand-shake.
        dispatchMidi(INT32_MAX);
        applyFade(outputs, frames, pending);
    } else {
        SharedModules::Store& s = *shared_.store;
        readTempo();
        const float* in1 = inputs ? inputs[0] : nullptr;
        const float* in2 = inputs ? inputs[1] : nullptr;
        float* outL = outputs[0];
        float* outR = outputs[1];
        ReverbModule& reverb = s.reverbModule;
        PanControl& pan = s.panControl;
        float sum[2] = {0.0f, 0.0f};

        for (VstInt32 i = 0; i < frames; ++i) {
            const int extra = keyboard_.extraVoices;
            dispatchMidi(i);
            if (in1) s.audio1.setValue(in1[i]);
            if (in2) s.audio2.setValue(in2[i]);
            s.internalClock.tick();
            s.lfo.tick();
            s.leftCell = s.rightCell = 0.0f;
            s.noiseGen.invalidate();
            reverb.beginSample();

            float mono = 0.0f;
            for (int v = 0; v <= extra; ++v) {
                mono += renderVoiceSample(*voices_[v]);
            }
            const float dry = 0.1f * mono;

            float left = 0.0f, right = 0.0f;
            reverb.processSample(left, right);

            pan.updateGains();
            left += pan.leftGain * dry + s.leftCell;
            right += pan.rightGain * dry + s.rightCell;

            float out[2] = {left, right};
            for (int c = 0; c < 2; ++c) {
                if (notNormal(dcY1_[c])) dcY1_[c] = 0.0f;
                const float y = dcR_ * dcY1_[c] + (out[c] - dcX1_[c]);
                dcX1_[c] = out[c];
                dcY1_[c] = y;
                // An input that is not finite must not reach the host; the blocker's own
                // state has just been cleared above for the next frame.
                out[c] = std::isfinite(y) ? 2.0f * y : 0.0f;
                if (!std::isfinite(dcX1_[c])) dcX1_[c] = 0.0f;

                sum[c] += out[c] * out[c];
                float meter = normalOrZero(meterState_[c]) * 0.9999f;
                if (std::fabs(sum[c]) > meter) meter = std::fabs(sum[c]);
                meterState_[c] = meter;
            }
            outL[i] = out[0];
            outR[i] = out[1];
        }
        meterLeft_.store(meterState_[0], std::memory_order_relaxed);
        meterRight_.store(meterState_[1], std::memory_order_relaxed);
        applyFade(outputs, frames, pending);
    }
    midi_.rebase(frames);
    updateActivity();

    const auto elapsed = std::chrono::steady_clock::now() - started;
    const auto ticks = std::chrono::duration_cast<std::chrono::nanoseconds>(elapsed).count();
    if (ticks > 0) {
        renderTime_.store(float(ticks), std::memory_order_relaxed);
        lastBlockFrames_.store(float(frames), std::memory_order_relaxed);
    }
    // Program tables replaced before this block began are no longer read.
    renderCount_.fetch_add(1, std::memory_order_release);
}

} // namespace moraine
