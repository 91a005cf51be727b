#include "tools/host/VstHost.h"

#include <dlfcn.h>

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <utility>

namespace moraine {

namespace {
// Under the sanitizers the library stays mapped after dlclose: what it keeps for the life
// of the process (fonts, images, tables) then stays reachable, and reports name its
// functions instead of an unknown module.
#if defined(__SANITIZE_ADDRESS__)
constexpr int kKeepLoaded = RTLD_NODELETE;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr int kKeepLoaded = RTLD_NODELETE;
#else
constexpr int kKeepLoaded = 0;
#endif
#else
constexpr int kKeepLoaded = 0;
#endif

// The instance whose entry call is running on this thread. A plug-in may call the host
// from its entry point, before the host has seen its AEffect (or with a null one).
thread_local PluginInstance* tLoading = nullptr;

class LoadingScope {
public:
    explicit LoadingScope(PluginInstance* instance) : previous_(tLoading) { tLoading = instance; }
    ~LoadingScope() { tLoading = previous_; }
    LoadingScope(const LoadingScope&) = delete;
    LoadingScope& operator=(const LoadingScope&) = delete;

private:
    PluginInstance* previous_;
};

constexpr const char* kHostVendor = "Moraine";
constexpr const char* kHostProduct = "Moraine Host";
constexpr VstIntPtr kHostVendorVersion = 1;

// What this host does: it sends events and time, and receives nothing from the plug-in.
constexpr const char* kHostCanDo[] = {"sendVstEvents", "sendVstMidiEvent", "sendVstTimeInfo"};

// Host strings go into buffers of kVstMaxVendorStrLen + 1 bytes at least.
void copyHostString(void* ptr, const char* text) {
    if (!ptr) return;
    std::snprintf(static_cast<char*>(ptr), kVstMaxVendorStrLen + 1, "%s", text);
}

// process() builds the VstEvents list in VstIntPtr slots.
static_assert(offsetof(VstEvents, events) == 2 * sizeof(VstIntPtr));
static_assert(sizeof(VstEvent*) == sizeof(VstIntPtr));

void setError(std::string* error, std::string text) {
    if (error) *error = std::move(text);
}

} // namespace

PluginInstance::PluginInstance(void* library, const HostConfig& config)
    : library_(library), config_(config) {
    time_.sampleRate = config_.sampleRate;
    time_.tempo = config_.tempo;
    updateTime();
    // Automation may arrive from inside process(); room up front keeps that call quiet.
    automation_.reserve(1024);
    silence_.assign(std::size_t(std::max(config_.blockSize, 1)), 0.0f);
}

std::unique_ptr<PluginInstance> PluginInstance::load(const std::string& path, std::string* error,
                                                     const HostConfig& config) {
    // A bare name is a file here, not a library for the loader to look for on its paths.
    const std::string file = path.find('/') == std::string::npos ? "./" + path : path;
    dlerror();
    void* library = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL | kKeepLoaded);
    if (!library) {
        const char* why = dlerror();
        setError(error, "cannot load " + path + ": " + (why ? why : "unknown error"));
        return nullptr;
    }
    // From here on the instance owns the library and unloads it on every failure path.
    std::unique_ptr<PluginInstance> instance(new PluginInstance(library, config));

    auto entry = reinterpret_cast<VstPluginMainProc>(dlsym(library, "VSTPluginMain"));
    if (!entry) entry = reinterpret_cast<VstPluginMainProc>(dlsym(library, "main"));
    if (!entry) {
        setError(error,
                 path + " is not a VST 2 plug-in: it exports neither VSTPluginMain nor main");
        return nullptr;
    }

    AEffect* effect = nullptr;
    {
        LoadingScope scope(instance.get());
        effect = entry(&PluginInstance::hostCallback);
    }
    if (!effect) {
        setError(error, path + ": the plug-in's entry point returned no effect (host version " +
                            std::to_string(config.hostVersion) + ")");
        return nullptr;
    }
    if (effect->magic != kEffectMagic) {
        char magic[16];
        std::snprintf(magic, sizeof magic, "0x%08X", unsigned(effect->magic));
        // Without the magic nothing else in the record can be trusted, not even effClose.
        setError(error, path + ": the effect's magic is " + magic + ", not 'VstP'");
        return nullptr;
    }

    // resvd1 belongs to the host: it leads every later callback back to this instance.
    effect->resvd1 = reinterpret_cast<VstIntPtr>(instance.get());
    instance->effect_ = effect;
    instance->inputRows_.assign(std::size_t(std::max(effect->numInputs, 1)), nullptr);
    instance->outputRows_.assign(std::size_t(std::max(effect->numOutputs, 1)), nullptr);
    return instance;
}

PluginInstance::~PluginInstance() {
    if (effect_) {
        if (resumed_) suspend();
        dispatch(effClose);
        effect_ = nullptr;
    }
    if (library_) dlclose(library_);
}

intptr_t PluginInstance::dispatch(int32_t opcode, int32_t index, intptr_t value, void* ptr,
                                  float opt) {
    return effect_->dispatcher(effect_, opcode, index, value, ptr, opt);
}

void PluginInstance::start() {
    open();
    setSampleRate(config_.sampleRate);
    setBlockSize(config_.blockSize);
    resume();
}

void PluginInstance::open() {
    dispatch(effOpen);
}

void PluginInstance::setSampleRate(float rate) {
    config_.sampleRate = rate;
    time_.sampleRate = rate;
    updateTime();
    dispatch(effSetSampleRate, 0, 0, nullptr, rate);
}

void PluginInstance::setBlockSize(int frames) {
    config_.blockSize = frames;
    if (frames > 0 && std::size_t(frames) > silence_.size())
        silence_.assign(std::size_t(frames), 0.0f);
    dispatch(effSetBlockSize, 0, frames);
}

void PluginInstance::resume() {
    dispatch(effMainsChanged, 0, 1);
    resumed_ = true;
}

void PluginInstance::suspend() {
    dispatch(effMainsChanged, 0, 0);
    resumed_ = false;
}

void PluginInstance::setParameter(int index, float value) {
    effect_->setParameter(effect_, index, value);
}

float PluginInstance::getParameter(int index) {
    return effect_->getParameter(effect_, index);
}

std::string PluginInstance::text(int32_t opcode, int index) {
    // Larger than any limit, and zeroed: some plug-ins leave the buffer alone on failure.
    char buffer[256] = {};
    dispatch(opcode, index, 0, buffer);
    buffer[sizeof buffer - 1] = '\0';
    return buffer;
}

std::string PluginInstance::parameterName(int index) {
    return text(effGetParamName, index);
}
std::string PluginInstance::parameterLabel(int index) {
    return text(effGetParamLabel, index);
}
std::string PluginInstance::parameterDisplay(int index) {
    return text(effGetParamDisplay, index);
}
std::string PluginInstance::programName() {
    return text(effGetProgramName, 0);
}
std::string PluginInstance::effectName() {
    return text(effGetEffectName, 0);
}
std::string PluginInstance::vendorString() {
    return text(effGetVendorString, 0);
}
std::string PluginInstance::productString() {
    return text(effGetProductString, 0);
}
int PluginInstance::vendorVersion() {
    return int(dispatch(effGetVendorVersion));
}

intptr_t PluginInstance::canDo(const char* text) {
    return dispatch(effCanDo, 0, 0, const_cast<char*>(text));
}

std::string PluginInstance::getChunk(bool preset) {
    void* data = nullptr;
    const intptr_t size = dispatch(effGetChunk, preset ? 1 : 0, 0, &data);
    if (size <= 0 || !data) return {};
    return std::string(static_cast<const char*>(data), std::size_t(size));
}

intptr_t PluginInstance::setChunk(const std::string& data, bool preset) {
    // The plug-in gets a writable copy: the call hands over a void*, not a const one.
    std::vector<char> copy(data.begin(), data.end());
    return dispatch(effSetChunk, preset ? 1 : 0, intptr_t(copy.size()), copy.data());
}

void PluginInstance::queueMidi(int frame, uint8_t status, uint8_t data1, uint8_t data2) {
    VstMidiEvent event{};
    event.type = kVstMidiType;
    event.byteSize = sizeof(VstMidiEvent);
    event.deltaFrames = std::max(frame, 0);
    event.midiData[0] = char(status);
    event.midiData[1] = char(data1);
    event.midiData[2] = char(data2);
    // After every event already on that frame, so that one frame keeps the queued order.
    auto at = std::upper_bound(pending_.begin(), pending_.end(), event.deltaFrames,
                               [](int f, const VstMidiEvent& e) { return f < e.deltaFrames; });
    pending_.insert(at, event);
    reserveEvents(pending_.size());
}

void PluginInstance::reserveEvents(size_t count) {
    inFlight_.reserve(count);
    eventList_.reserve(count + 2);
}

void PluginInstance::process(const float* const* inputs, float* const* outputs, int frames) {
    if (frames <= 0) return;

    // Events are sorted, so the due ones are a prefix.
    const auto due = std::size_t(
        std::find_if(pending_.begin(), pending_.end(),
                     [frames](const VstMidiEvent& e) { return e.deltaFrames >= frames; }) -
        pending_.begin());
    if (due > 0) {
        inFlight_.assign(pending_.begin(), pending_.begin() + std::ptrdiff_t(due));
        // VstEvents: numEvents in the first slot, a reserved slot, then the pointers.
        eventList_.assign(2 + due, 0);
        const VstInt32 count = VstInt32(due);
        std::memcpy(eventList_.data(), &count, sizeof count);
        for (std::size_t i = 0; i < due; ++i)
            eventList_[2 + i] = reinterpret_cast<VstIntPtr>(&inFlight_[i]);
        dispatch(effProcessEvents, 0, 0, eventList_.data());
        pending_.erase(pending_.begin(), pending_.begin() + std::ptrdiff_t(due));
    }
    for (VstMidiEvent& e : pending_) e.deltaFrames -= frames;

    const auto numIn = std::size_t(std::max(effect_->numInputs, 0));
    const auto numOut = std::size_t(std::max(effect_->numOutputs, 0));
    // Only a plug-in that changed its channel counts, or a caller going past the announced
    // block size, makes these grow here.
    if (inputRows_.size() < numIn) inputRows_.resize(numIn);
    if (outputRows_.size() < numOut) outputRows_.resize(numOut);
    if (!inputs && silence_.size() < std::size_t(frames)) silence_.resize(std::size_t(frames));

    if (!inputs) std::fill_n(silence_.begin(), frames, 0.0f); // the plug-in may write to it
    for (std::size_t c = 0; c < numIn; ++c)
        inputRows_[c] = inputs ? const_cast<float*>(inputs[c]) : silence_.data();
    for (std::size_t c = 0; c < numOut; ++c) outputRows_[c] = outputs ? outputs[c] : nullptr;

    updateTime();
    float** in = inputRows_.data();
    float** out = outputs ? outputRows_.data() : nullptr;
    if (effect_->processReplacing) {
        effect_->processReplacing(effect_, in, out, frames);
    } else if (effect_->process) {
        // A plug-in without the replacing call adds to its outputs: start them from silence.
        for (std::size_t c = 0; out && c < numOut; ++c)
            if (out[c]) std::fill_n(out[c], frames, 0.0f);
        effect_->process(effect_, in, out, frames);
    }
    if (playing_) {
        time_.samplePos += frames;
        updateTime();
    }
}

void PluginInstance::setTempo(double bpm) {
    config_.tempo = bpm;
    time_.tempo = bpm;
    updateTime();
}

void PluginInstance::setMusicalPosition(double ppq) {
    ppqAnchor_ = ppq;
    sampleAnchor_ = time_.samplePos;
    updateTime();
}

void PluginInstance::setTransportPlaying(bool playing) {
    playing_ = playing;
    updateTime();
}

void PluginInstance::setPpqValid(bool valid) {
    ppqValid_ = valid;
    updateTime();
}

void PluginInstance::updateTime() {
    const double seconds =
        time_.sampleRate > 0 ? (time_.samplePos - sampleAnchor_) / time_.sampleRate : 0.0;
    time_.ppqPos = ppqAnchor_ + seconds * time_.tempo / 60.0;
    time_.flags = kVstTempoValid;
    if (playing_) time_.flags |= kVstTransportPlaying;
    if (ppqValid_) time_.flags |= kVstPpqPosValid;
}

std::vector<PluginInstance::EditCall> PluginInstance::editCalls() const {
    std::lock_guard<std::mutex> lock(editMutex_);
    return editCalls_;
}

intptr_t PluginInstance::hostCallback(AEffect* effect, int32_t opcode, int32_t index,
                                      intptr_t value, void* ptr, float opt) {
    (void)value;
    PluginInstance* self =
        effect && effect->resvd1 ? reinterpret_cast<PluginInstance*>(effect->resvd1) : tLoading;

    switch (opcode) {
    case audioMasterVersion:
        if (!self) return kVstVersion;
        ++self->versionRequests_;
        return self->config_.hostVersion;
    case audioMasterCanDo: {
        if (!ptr) return 0;
        const char* text = static_cast<const char*>(ptr);
        for (const char* can : kHostCanDo)
            if (std::strcmp(text, can) == 0) return 1;
        return 0;
    }
    case audioMasterGetVendorString:
        copyHostString(ptr, kHostVendor);
        return 1;
    case audioMasterGetProductString:
        copyHostString(ptr, kHostProduct);
        return 1;
    case audioMasterGetVendorVersion:
        return kHostVendorVersion;
    case audioMasterCurrentId:
        return 0; // no shell plug-ins: nothing is being created on behalf of one
    default:
        break;
    }
    if (!self) return 0;

    switch (opcode) {
    case audioMasterAutomate: {
        std::lock_guard<std::mutex> lock(self->editMutex_);
        self->automation_.emplace_back(index, opt);
        self->editCalls_.push_back({'a', index, opt});
        return 1;
    }
    case audioMasterBeginEdit:
    case audioMasterEndEdit: {
        std::lock_guard<std::mutex> lock(self->editMutex_);
        self->editCalls_.push_back({opcode == audioMasterBeginEdit ? 'b' : 'e', index, 0.0f});
        return 1;
    }
    case audioMasterIdle:
        if (self->idleHook_) self->idleHook_();
        return 1;
    case audioMasterWantMidi:
        ++self->wantMidiRequests_;
        return 1;
    case audioMasterGetTime:
        ++self->timeRequests_;
        return reinterpret_cast<intptr_t>(&self->time_);
    case audioMasterGetSampleRate:
        return intptr_t(self->config_.sampleRate);
    case audioMasterGetBlockSize:
        return self->config_.blockSize;
    default:
        return 0;
    }
}

} // namespace moraine
