// An in-process plug-in with a minimal host behind it, for tests that need to look at
// the engine (meters, voices, fades) rather than only at the host boundary.
#pragma once

#include "engine/graph/JackTable.h"
#include "plugin/MorainePlugin.h"

#include <memory>
#include <vector>

namespace moraine::testing {

struct FakeHost {
    static VstIntPtr callback(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
        switch (opcode) {
        case audioMasterVersion:
            return 2400;
        case audioMasterGetTime:
            return ppqValid ? reinterpret_cast<VstIntPtr>(&time) : 0;
        case audioMasterAutomate:
            ++(rendering ? automatedInRender : automated);
            return 0;
        default:
            return 0;
        }
    }
    static inline VstTimeInfo time{};
    static inline bool ppqValid = false;
    // Automation the host heard, and how much of it came from inside a render call.
    static inline int automated = 0, automatedInRender = 0;
    static inline bool rendering = false;
};

class LivePlugin {
public:
    explicit LivePlugin(float rate = 48000.0f, int block = 512)
        : plugin(std::make_unique<Moraine_VSTEdit>(&FakeHost::callback)), block_(block) {
        plugin->setSampleRate(rate);
        plugin->setBlockSize(block);
        resize(block);
    }

    void resize(int frames) {
        left.assign(frames, 0.0f);
        right.assign(frames, 0.0f);
        inLeft.assign(frames, 0.0f);
        inRight.assign(frames, 0.0f);
    }

    // Renders one block of `frames` (default: the block size) with the current inputs.
    void render(int frames = 0) {
        if (frames <= 0) frames = block_;
        if (int(left.size()) < frames) resize(frames);
        float* in[2] = {inLeft.data(), inRight.data()};
        float* out[2] = {left.data(), right.data()};
        FakeHost::rendering = true;
        plugin->processReplacing(in, out, frames);
        FakeHost::rendering = false;
    }

    void midi(int frame, int status, int d1, int d2) {
        VstMidiEvent e{};
        e.type = kVstMidiType;
        e.byteSize = sizeof e;
        e.deltaFrames = frame;
        e.midiData[0] = char(status);
        e.midiData[1] = char(d1);
        e.midiData[2] = char(d2);
        struct {
            VstInt32 numEvents;
            VstIntPtr reserved;
            VstEvent* events[1];
        } list{1, 0, {reinterpret_cast<VstEvent*>(&e)}};
        plugin->processEvents(reinterpret_cast<VstEvents*>(&list));
    }

    // A cord between two jacks, set the way the host sets it: on the first jack's
    // parameter, with the other jack's number / 1000.
    void cord(const char (&from)[5], const char (&to)[5]) {
        plugin->setParameter(kFirstJackParam - 1 + jackNumber(fourcc(from)),
                             float(jackNumber(fourcc(to))) / 1000.0f);
    }

    std::unique_ptr<Moraine_VSTEdit> plugin;
    std::vector<float> left, right, inLeft, inRight;

private:
    int block_;
};

} // namespace moraine::testing
