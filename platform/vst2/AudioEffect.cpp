#include "platform/vst2/AudioEffect.h"

#include "platform/vst2/AEffEditor.h"
#include "platform/vst2/ScopedDenormals.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

void vst_strncpy(char* dst, const char* src, std::size_t maxChars) {
    if (!dst) return;
    std::size_t n = 0;
    if (src)
        while (n < maxChars && src[n]) ++n;
    if (n) std::memcpy(dst, src, n);
    dst[n] = '\0';
}

AudioEffect::AudioEffect(audioMasterCallback audioMaster, VstInt32 numPrograms, VstInt32 numParams)
    : audioMaster(audioMaster), numPrograms(std::max<VstInt32>(numPrograms, 0)),
      numParams(std::max<VstInt32>(numParams, 0)) {
    std::memset(&cEffect, 0, sizeof cEffect);
    cEffect.magic = kEffectMagic;
    cEffect.dispatcher = &dispatchEntry;
    cEffect.process = &processEntry;
    cEffect.setParameter = &setParameterEntry;
    cEffect.getParameter = &getParameterEntry;
    cEffect.numPrograms = this->numPrograms;
    cEffect.numParams = this->numParams;
    cEffect.numInputs = 0;
    cEffect.numOutputs = 2;
    cEffect.object = this;
    cEffect.version = 1;
    cEffect.processReplacing = &processReplacingEntry;
    cEffect.processDoubleReplacing = &processDoubleReplacingEntry;
}

AudioEffect::~AudioEffect() {
    delete editor;
}

AudioEffect* AudioEffect::fromAeffect(AEffect* effect) {
    return effect ? static_cast<AudioEffect*>(effect->object) : nullptr;
}

VstIntPtr AudioEffect::dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                  float opt) {
    switch (opcode) {
    case effOpen:
        open();
        prepareScratch();
        return 0;
    case effClose:
        // The object is gone after this statement: nothing below may run for this opcode.
        close();
        delete this;
        return 1;
    case effSetProgram:
        if (value >= 0 && value < numPrograms) setProgram(VstInt32(value));
        return 0;
    case effGetProgram:
        return getProgram();
    case effSetProgramName:
        if (ptr) setProgramName(static_cast<char*>(ptr));
        return 0;
    case effGetProgramName:
        if (ptr) getProgramName(static_cast<char*>(ptr));
        return 0;
    case effGetParamLabel:
        if (ptr && isValidParameter(index)) getParameterLabel(index, static_cast<char*>(ptr));
        return 0;
    case effGetParamDisplay:
        if (ptr && isValidParameter(index)) getParameterDisplay(index, static_cast<char*>(ptr));
        return 0;
    case effGetParamName:
        if (ptr && isValidParameter(index)) getParameterName(index, static_cast<char*>(ptr));
        return 0;
    case effSetSampleRate:
        // A rate of zero or below, or not a number, would poison every coefficient.
        if (std::isfinite(opt) && opt > 0.0f) setSampleRate(opt);
        return 0;
    case effSetBlockSize:
        if (value > 0 && value <= INT32_MAX) {
            setBlockSize(VstInt32(value));
            prepareScratch();
        }
        return 0;
    case effSetBlockSizeAndSampleRate:
        if (value > 0 && value <= INT32_MAX) {
            setBlockSize(VstInt32(value));
            prepareScratch();
        }
        if (std::isfinite(opt) && opt > 0.0f) setSampleRate(opt);
        return 0;
    case effMainsChanged:
        if (value) {
            prepareScratch();
            resume();
        } else {
            suspend();
        }
        return 0;
    case effEditGetRect:
        if (!editor || !ptr) return 0;
        return editor->getRect(static_cast<ERect**>(ptr)) ? 1 : 0;
    case effEditOpen:
        return editor && editor->open(ptr) ? 1 : 0;
    case effEditClose:
        if (!editor) return 0;
        editor->close();
        return 1;
    case effEditIdle:
        if (!editor) return 0;
        editor->idle();
        return 1;
    case effIdentify:
        return kEffectIdentify;
    case effGetChunk: {
        if (!ptr) return 0;
        void** data = static_cast<void**>(ptr);
        *data = nullptr;
        VstInt32 size = getChunk(data, index != 0);
        if (size <= 0 || !*data) {
            *data = nullptr;
            return 0;
        }
        return size;
    }
    case effSetChunk:
        if (!ptr || value <= 0 || value > INT32_MAX) return 0;
        return setChunk(ptr, VstInt32(value), index != 0);
    default:
        return 0;
    }
}

void AudioEffect::processDoubleReplacing(double**, double** outputs, VstInt32 sampleFrames) {
    for (VstInt32 c = 0; c < cEffect.numOutputs; ++c)
        if (outputs[c]) std::fill_n(outputs[c], sampleFrames, 0.0);
}

void AudioEffect::setParameter(VstInt32, float) {}
float AudioEffect::getParameter(VstInt32) {
    return 0.0f;
}

void AudioEffect::setParameterAutomated(VstInt32 index, float value) {
    setParameter(index, value);
    if (audioMaster && isValidParameter(index))
        audioMaster(&cEffect, audioMasterAutomate, index, 0, nullptr, value);
}

void AudioEffect::getParameterName(VstInt32, char* text) {
    vst_strncpy(text, "", 0);
}
void AudioEffect::getParameterLabel(VstInt32, char* text) {
    vst_strncpy(text, "", 0);
}
void AudioEffect::getParameterDisplay(VstInt32, char* text) {
    vst_strncpy(text, "", 0);
}

void AudioEffect::setProgram(VstInt32 program) {
    if (program >= 0 && program < numPrograms) curProgram = program;
}
void AudioEffect::setProgramName(char*) {}
void AudioEffect::getProgramName(char* name) {
    vst_strncpy(name, "", 0);
}

VstInt32 AudioEffect::getChunk(void** data, bool) {
    if (data) *data = nullptr;
    return 0;
}
VstInt32 AudioEffect::setChunk(void*, VstInt32, bool) {
    return 0;
}

void AudioEffect::setNumInputs(VstInt32 inputs) {
    cEffect.numInputs = std::max<VstInt32>(inputs, 0);
}

void AudioEffect::setNumOutputs(VstInt32 outputs) {
    cEffect.numOutputs = std::max<VstInt32>(outputs, 0);
}

void AudioEffect::setEditor(AEffEditor* newEditor) {
    if (newEditor != editor) delete editor;
    editor = newEditor;
    setFlag(effFlagsHasEditor, editor != nullptr);
}

VstInt32 AudioEffect::getMasterVersion() {
    if (!audioMaster) return 0;
    return VstInt32(audioMaster(&cEffect, audioMasterVersion, 0, 0, nullptr, 0.0f));
}

void AudioEffect::setFlag(VstInt32 flag, bool state) {
    if (state)
        cEffect.flags |= flag;
    else
        cEffect.flags &= ~flag;
}

void AudioEffect::prepareScratch() {
    const auto frames = std::max<VstInt32>(blockSize, 1);
    const auto inputs = std::size_t(cEffect.numInputs);
    const auto outputs = std::size_t(cEffect.numOutputs);
    scratch.assign((outputs + 1) * std::size_t(frames), 0.0f);
    inputRows.assign(inputs, nullptr);
    outputRows.assign(outputs, nullptr);
    scratchFrames = frames;
}

void AudioEffect::render(float** inputs, float** outputs, VstInt32 frames, bool accumulate) {
    const VstInt32 numIn = cEffect.numInputs;
    const VstInt32 numOut = cEffect.numOutputs;
    auto complete = [](float** rows, VstInt32 n) {
        if (n == 0) return true;
        if (!rows) return false;
        for (VstInt32 c = 0; c < n; ++c)
            if (!rows[c]) return false;
        return true;
    };
    if (!accumulate && complete(inputs, numIn) && complete(outputs, numOut)) {
        processReplacing(inputs, outputs, frames);
        return;
    }

    const bool prepared = scratchFrames > 0 && inputRows.size() >= std::size_t(numIn) &&
                          outputRows.size() >= std::size_t(numOut);
    if (!prepared) {
        // Without scratch there is nowhere to render safely: the replacing call is refused
        // with silence, the accumulating one adds nothing.
        if (!accumulate && outputs)
            for (VstInt32 c = 0; c < numOut; ++c)
                if (outputs[c]) std::fill_n(outputs[c], frames, 0.0f);
        return;
    }

    // A block longer than the announced size is rendered in pieces of the prepared length.
    float* zeroRow = scratch.data();
    for (VstInt32 start = 0; start < frames; start += scratchFrames) {
        const VstInt32 n = std::min(scratchFrames, frames - start);
        // The plug-in may write to its inputs when the host shares buffers, so clear it again.
        std::fill_n(zeroRow, n, 0.0f);
        for (VstInt32 c = 0; c < numIn; ++c)
            inputRows[c] = inputs && inputs[c] ? inputs[c] + start : zeroRow;
        for (VstInt32 c = 0; c < numOut; ++c) {
            float* own = scratch.data() + std::size_t(c + 1) * std::size_t(scratchFrames);
            const bool direct = !accumulate && outputs && outputs[c];
            outputRows[c] = direct ? outputs[c] + start : own;
        }
        processReplacing(inputRows.data(), outputRows.data(), n);
        if (accumulate && outputs)
            for (VstInt32 c = 0; c < numOut; ++c)
                if (outputs[c])
                    for (VstInt32 i = 0; i < n; ++i) outputs[c][start + i] += outputRows[c][i];
    }
}

VstIntPtr AudioEffect::dispatchEntry(AEffect* e, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                                     void* ptr, float opt) {
    AudioEffect* self = fromAeffect(e);
    return self ? self->dispatcher(opcode, index, value, ptr, opt) : 0;
}

// The deprecated accumulating call: the plug-in renders into scratch rows and the result is
// added to what the outputs already hold, as the call's contract asks.
void AudioEffect::processEntry(AEffect* e, float** inputs, float** outputs, VstInt32 frames) {
    AudioEffect* self = fromAeffect(e);
    if (!self || frames <= 0) return;
    ScopedDenormals noDenormals;
    self->render(inputs, outputs, frames, true);
}

void AudioEffect::processReplacingEntry(AEffect* e, float** inputs, float** outputs,
                                        VstInt32 frames) {
    AudioEffect* self = fromAeffect(e);
    if (!self || frames <= 0) return;
    ScopedDenormals noDenormals;
    self->render(inputs, outputs, frames, false);
}

void AudioEffect::processDoubleReplacingEntry(AEffect* e, double** inputs, double** outputs,
                                              VstInt32 frames) {
    AudioEffect* self = fromAeffect(e);
    if (!self || frames <= 0 || !outputs) return;
    const VstInt32 numIn = self->cEffect.numInputs;
    const VstInt32 numOut = self->cEffect.numOutputs;
    bool complete = numIn == 0 || inputs;
    for (VstInt32 c = 0; complete && c < numIn; ++c) complete = inputs[c] != nullptr;
    for (VstInt32 c = 0; complete && c < numOut; ++c) complete = outputs[c] != nullptr;
    ScopedDenormals noDenormals;
    if (complete)
        self->processDoubleReplacing(inputs, outputs, frames);
    else // rare enough in double precision that a silent refusal is the honest answer
        self->AudioEffect::processDoubleReplacing(inputs, outputs, frames);
}

void AudioEffect::setParameterEntry(AEffect* e, VstInt32 index, float value) {
    AudioEffect* self = fromAeffect(e);
    // Host values are 0..1 by contract; holding every plug-in to that here spares each one
    // its own checks. NaN has no place in the range and is refused outright.
    if (self && self->isValidParameter(index) && !std::isnan(value))
        self->setParameter(index, std::clamp(value, 0.0f, 1.0f));
}

float AudioEffect::getParameterEntry(AEffect* e, VstInt32 index) {
    AudioEffect* self = fromAeffect(e);
    return self && self->isValidParameter(index) ? self->getParameter(index) : 0.0f;
}
