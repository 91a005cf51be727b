// The instrument for tests: in process with a minimal host behind it (to look at the
// engine: meters, voices, fades), or as the built .so through our test host (to see only
// what a host sees), and the factory patches it carries.
#pragma once

#include "engine/graph/JackTable.h"
#include "patch/ParameterTable.h"
#include "platform/Resources.h"
#include "plugin/MorainePlugin.h"
#include "support/Spectrum.h"
#include "tools/host/VstHost.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace moraine::testing {

struct FakeHost {
    static VstIntPtr callback(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
        if (opcode == audioMasterVersion) return 2400;
        if (opcode == audioMasterGetTime) return ppqValid ? reinterpret_cast<VstIntPtr>(&time) : 0;
        if (opcode == audioMasterAutomate) ++(rendering ? automatedInRender : automated);
        return 0;
    }
    static inline VstTimeInfo time{};
    static inline bool ppqValid = false;
    // Automation the host heard, and how much of it came from inside a render call.
    static inline int automated = 0, automatedInRender = 0;
    static inline bool rendering = false;
};

// The host parameter of jack `code`, and the value that plugs a cord into `code`.
inline int jackParam(const char (&code)[5]) {
    return kFirstJackParam - 1 + jackNumber(fourcc(code));
}
inline float jackValue(const char (&code)[5]) { return float(jackNumber(fourcc(code))) / 1000.0f; }

inline VstMidiEvent midiEvent(int frame, int status, int d1, int d2) {
    VstMidiEvent e{};
    e.type = kVstMidiType;
    e.byteSize = sizeof e;
    e.deltaFrames = frame;
    e.midiData[0] = char(status), e.midiData[1] = char(d1), e.midiData[2] = char(d2);
    return e;
}
template <int N> struct EventList {
    VstInt32 numEvents = N;
    VstIntPtr reserved = 0;
    VstEvent* events[N];
};

// The last `seconds` of `audio` at `rate`.
inline std::vector<float> tail(const std::vector<float>& audio, double seconds, int rate = 48000) {
    return {audio.end() - long(seconds * rate + 0.5), audio.end()};
}

class LivePlugin {
public:
    explicit LivePlugin(float rate = 48000.0f, int block = 512)
        : plugin(std::make_unique<Moraine_VSTEdit>(&FakeHost::callback)), block_(block) {
        plugin->setSampleRate(rate);
        plugin->setBlockSize(block);
        for (auto* v : {&left, &right, &inLeft, &inRight}) v->assign(size_t(block), 0.0f);
    }
    // Renders one block of `frames` (default: the block size) with the current inputs.
    void render(int frames = 0) {
        float* in[2] = {inLeft.data(), inRight.data()};
        float* out[2] = {left.data(), right.data()};
        FakeHost::rendering = true;
        plugin->processReplacing(in, out, frames > 0 ? frames : block_);
        FakeHost::rendering = false;
    }
    void midi(int frame, int status, int d1, int d2) {
        VstMidiEvent e = midiEvent(frame, status, d1, d2);
        EventList<1> list{1, 0, {reinterpret_cast<VstEvent*>(&e)}};
        plugin->processEvents(reinterpret_cast<VstEvents*>(&list));
    }
    // A cord between two jacks, set the way the host sets it.
    void cord(const char (&from)[5], const char (&to)[5]) {
        plugin->setParameter(jackParam(from), jackValue(to));
    }
    void chunk(std::string text) { plugin->setChunk(text.data(), int(text.size()), false); }
    std::unique_ptr<Moraine_VSTEdit> plugin;
    std::vector<float> left, right, inLeft, inRight;

private:
    int block_;
};

// The built MoraineDeck.so (or `path`), loaded and resumed by our test host.
struct SoHost {
    explicit SoHost(float rate = 48000.0f, int block = 512,
                    const std::string& path = MORAINE_PLUGIN_PATH)
        : frames(block), left(size_t(block)), right(left), inLeft(left), inRight(left) {
        HostConfig config;
        config.sampleRate = rate;
        config.blockSize = block;
        std::string error;
        plugin = PluginInstance::load(path, &error, config);
        EXPECT_TRUE(plugin) << error;
        if (plugin) plugin->start();
    }
    // Renders one block; false when the plug-in did not load.
    bool block() {
        if (!plugin) return false;
        const float* in[2] = {inLeft.data(), inRight.data()};
        float* out[2] = {left.data(), right.data()};
        plugin->process(in, out, frames);
        return true;
    }
    // Renders `seconds` in whole blocks; returns the left channel.
    std::vector<float> play(double seconds) {
        std::vector<float> audio;
        for (int n = 0; n < int(seconds * plugin->config().sampleRate / frames + 0.5); ++n) {
            block();
            audio.insert(audio.end(), left.begin(), left.end());
        }
        return audio;
    }
    void set(int index, float host) { plugin->setParameter(index, host); }
    void setEngine(const char* code, float engine) {
        const int index = findParameterByName(code);
        set(index, engineToHost(index, engine));
    }
    float param(int index) { return plugin->getParameter(index); }
    void cord(const char (&from)[5], const char (&to)[5]) { set(jackParam(from), jackValue(to)); }
    void midi(int frame, int status, int d1, int d2) {
        plugin->queueMidi(frame, uint8_t(status), uint8_t(d1), uint8_t(d2));
    }
    // One voice, the first oscillator's sine alone on the left direct input.
    void sineOnLeft() {
        setEngine("vcss", 0);
        cord("pl71", "v1si");
    }
    // The frequency of the last `seconds` of `seconds_played` with `key` held from the start.
    double keyFrequency(int key, double played = 0.2, double measured = 0.1) {
        midi(0, 0x90, key, 100);
        const std::vector<float> audio = play(played);
        midi(0, 0x80, key, 0);
        block();
        return crossingFrequency(tail(audio, measured, int(plugin->config().sampleRate)),
                                 plugin->config().sampleRate);
    }

    int frames;
    std::unique_ptr<PluginInstance> plugin;
    std::vector<float> left, right, inLeft, inRight;
};

// The patches the plug-in carries, in library order, and one's text.
inline std::vector<std::string> factoryPatchNames() {
    std::vector<std::string> names;
    const std::string_view dump = findResource("defaultLibrary");
    for (size_t at = 0; (at = dump.find("\nStart Patch: ", at)) != std::string_view::npos;) {
        at += 14;
        names.emplace_back(dump.substr(at, dump.find('\n', at) - at));
    }
    return names;
}
inline std::string factoryPatch(const std::string& name) {
    const std::string_view dump = findResource("defaultLibrary");
    const std::string start = "\nStart Patch: " + name + "\n", end = "\nEnd Patch: " + name + "\n";
    const size_t a = dump.find(start);
    if (a == std::string_view::npos) return {};
    const size_t body = a + start.size(), b = dump.find(end, body);
    return b == std::string_view::npos ? std::string()
                                       : std::string(dump.substr(body, b + 1 - body));
}

} // namespace moraine::testing
