// A small VST 2 host for tests and command-line tools: loads any VST 2 plug-in library,
// answers its callbacks, delivers MIDI with frame offsets and drives a simple transport.
#pragma once

#include "platform/vst2/aeffect.h"

#include <cstdint>
#include <memory>
#include <functional>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace moraine {

struct HostConfig {
    // What the host answers to audioMasterVersion; 0 plays an ancient host.
    VstInt32 hostVersion = kVstVersion;
    float sampleRate = 48000.0f;
    int blockSize = 512;
    double tempo = 120.0;
};

class PluginInstance {
public:
    // Loads the library file (a bare name means one in the working directory), calls its
    // entry point (VSTPluginMain, else main) and checks the magic. On failure returns null
    // and, when error is given, says why.
    static std::unique_ptr<PluginInstance> load(const std::string& path, std::string* error,
                                                const HostConfig& config = {});
    // Suspends the plug-in if it is running, closes it and unloads the library.
    ~PluginInstance();
    PluginInstance(const PluginInstance&) = delete;
    PluginInstance& operator=(const PluginInstance&) = delete;

    AEffect* effect() const { return effect_; }
    const HostConfig& config() const { return config_; }
    intptr_t dispatch(int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr,
                      float opt = 0.0f);

    // The usual start: open, sample rate and block size from the configuration, resume.
    void start();
    void open();
    void setSampleRate(float rate);
    void setBlockSize(int frames);
    void resume();
    void suspend();
    bool isResumed() const { return resumed_; }

    void setParameter(int index, float value);
    float getParameter(int index);
    std::string parameterName(int index);
    std::string parameterLabel(int index);
    std::string parameterDisplay(int index);
    std::string programName();
    std::string effectName();
    std::string vendorString();
    std::string productString();
    int vendorVersion();
    intptr_t canDo(const char* text);

    int numParams() const { return effect_->numParams; }
    int numInputs() const { return effect_->numInputs; }
    int numOutputs() const { return effect_->numOutputs; }
    int numPrograms() const { return effect_->numPrograms; }
    int flags() const { return effect_->flags; }
    int32_t uniqueId() const { return effect_->uniqueID; }

    // A copy of the plug-in's state; empty when it has none.
    std::string getChunk(bool preset = false);
    intptr_t setChunk(const std::string& data, bool preset = false);

    // Queues a MIDI message for `frame` frames after the start of the next process call.
    // Events beyond that call wait for later ones, their offsets moved along; events on one
    // frame keep the order they were queued in. Negative frames count as 0.
    void queueMidi(int frame, uint8_t status, uint8_t data1, uint8_t data2);
    size_t pendingEvents() const { return pending_.size(); }

    // Sends the due events through effProcessEvents, then calls processReplacing and moves
    // the transport on. inputs may be null (silence); both hold the plug-in's channel counts.
    void process(const float* const* inputs, float* const* outputs, int frames);

    // Transport answered to audioMasterGetTime. It runs only while playing: a stopped
    // transport keeps its position.
    const VstTimeInfo& timeInfo() const { return time_; }
    void setTempo(double bpm);
    // The musical position (in quarter notes) at the current sample position; from here on
    // it moves at the tempo. A song with tempo changes sets it at each change.
    void setMusicalPosition(double ppq);
    void setTransportPlaying(bool playing);
    void setPpqValid(bool valid);
    int timeRequests() const { return timeRequests_; }

    // audioMasterAutomate calls as (index, value), in order.
    const std::vector<std::pair<int, float>>& automation() const { return automation_; }
    void clearAutomation() { automation_.clear(); }
    int wantMidiRequests() const { return wantMidiRequests_; }
    int versionRequests() const { return versionRequests_; }

    // The editor's gestures as the host saw them: 'b' begin edit, 'a' automate, 'e' end
    // edit, with the parameter and (for 'a') the value. Kept from any thread.
    struct EditCall {
        char kind;
        int index;
        float value;
    };
    std::vector<EditCall> editCalls() const;
    // Run when the plug-in calls audioMasterIdle (some hosts drive the editor's idle there).
    void setIdleHook(std::function<void()> hook) { idleHook_ = std::move(hook); }

    static intptr_t hostCallback(AEffect* effect, int32_t opcode, int32_t index, intptr_t value,
                                 void* ptr, float opt);

private:
    PluginInstance(void* library, const HostConfig& config);
    std::string text(int32_t opcode, int index);
    void reserveEvents(size_t count);
    void updateTime();

    void* library_;
    AEffect* effect_ = nullptr;
    HostConfig config_;
    bool resumed_ = false;

    std::vector<VstMidiEvent> pending_;  // sorted by deltaFrames, stable
    std::vector<VstMidiEvent> inFlight_; // the copies handed over during one call
    std::vector<VstIntPtr> eventList_;   // VstEvents header (two slots), then its pointers

    std::vector<float> silence_; // zero input rows when the caller passes none
    std::vector<float*> inputRows_, outputRows_;

    VstTimeInfo time_{};
    double ppqAnchor_ = 0.0, sampleAnchor_ = 0.0; // ppqPos at samplePos, set by the caller
    bool playing_ = true;
    bool ppqValid_ = true;
    int timeRequests_ = 0;

    std::vector<std::pair<int, float>> automation_;
    mutable std::mutex editMutex_;
    std::vector<EditCall> editCalls_;
    std::function<void()> idleHook_;
    int wantMidiRequests_ = 0;
    int versionRequests_ = 0;
};

} // namespace moraine
