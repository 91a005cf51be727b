#include "engine/Reverb.h"

#include <algorithm>
#include <cmath>

namespace moraine {

namespace {

// Line lengths at 44100 Hz; the right channel adds the stereo spread.
constexpr int kCombLengths[8] = {1116, 1188, 1277, 1356, 1422, 1491, 1557, 1617};
constexpr int kAllpassLengths[4] = {556, 441, 341, 225};
constexpr int kStereoSpread = 23;

int scaledLength(int sampleRate, int length) {
    const float ratio = float(sampleRate) / 44100.0f;
    return std::max(1, int(ratio * float(length)));
}

} // namespace

ReverbCore::ReverbCore() {
    setSampleRate(44100);
}

void ReverbCore::update() {
    wet1 = wet * (width * 0.5f + 0.5f);
    wet2 = (1.0f - width) * 0.5f * wet;
    const bool freeze = mode >= 0.5f;
    roomSize1 = freeze ? 1.0f : roomSize;
    damp1 = freeze ? 0.0f : damp;
    gain = freeze ? 0.0f : 0.015f;
    for (ReverbComb& c : combs) {
        c.feedback = roomSize1;
        c.damp1 = damp1;
        c.damp2 = 1.0f - damp1;
    }
}

void ReverbCore::setSampleRate(int sampleRate) {
    clear();
    for (int ch = 0; ch < 2; ++ch) {
        for (int i = 0; i < 8; ++i) {
            ReverbComb& c = combs[ch * 8 + i];
            c.size = scaledLength(sampleRate, kCombLengths[i] + ch * kStereoSpread);
            c.buffer.assign(std::size_t(c.size), 0.0f);
        }
        for (int i = 0; i < 4; ++i) {
            ReverbAllpass& a = allpasses[ch * 4 + i];
            a.size = scaledLength(sampleRate, kAllpassLengths[i] + ch * kStereoSpread);
            a.buffer.assign(std::size_t(a.size), 0.0f);
        }
    }
    clear();
    update();
}

void ReverbCore::clear() {
    // A frozen reverb keeps its tail.
    if (mode >= 0.5f) return;
    for (ReverbComb& c : combs) {
        std::fill(c.buffer.begin(), c.buffer.end(), 0.0f);
        c.filterStore = 0.0f;
        c.index = 0;
    }
    for (ReverbAllpass& a : allpasses) {
        std::fill(a.buffer.begin(), a.buffer.end(), 0.0f);
        a.index = 0;
    }
}

void ReverbCore::process(float in, float& left, float& right) {
    float sum[2] = {0.0f, 0.0f};
    for (int ch = 0; ch < 2; ++ch)
        for (int i = 0; i < 8; ++i) sum[ch] += combs[ch * 8 + i].process(in);
    for (int ch = 0; ch < 2; ++ch)
        for (int i = 0; i < 4; ++i) sum[ch] = allpasses[ch * 4 + i].process(sum[ch]);
    left = 300.0f * sum[0];
    right = 300.0f * sum[1];
}

ReverbModule::ReverbModule() {
    core.setRoomSize(0.5f);
    core.setDamp(0.5f);
    core.setWet(1.0f / 3.0f);
    core.setDry(0.0f);
    core.setWidth(1.0f);
    core.setMode(0.0f);
}

void ReverbModule::processSample(float& left, float& right) {
    if (leftLevel.off && rightLevel.off && !outputRead) {
        left = right = 0.0f;
        return;
    }
    if (send != 0.0f) {
        resting = false;
        quietSamples = 0;
    } else if (resting) {
        left = right = 0.0f;
        return;
    }
    core.process(send * 0.0001f, left, right);
    if (send == 0.0f && std::fabs(left) < 1e-6f && std::fabs(right) < 1e-6f) {
        if (++quietSamples >= restAfter) resting = true;
    } else {
        quietSamples = 0;
    }
    // An unstable tail (or a poisoned input) empties the lines rather than ringing on.
    if (!(std::fabs(left) <= 1000.0f)) {
        left = 0.0f;
        core.clear();
    }
    if (!(std::fabs(right) <= 1000.0f)) {
        right = 0.0f;
        core.clear();
    }
    lastLeft = left;
    right *= rightLevel.current;
    left *= leftLevel.current;
}

} // namespace moraine
