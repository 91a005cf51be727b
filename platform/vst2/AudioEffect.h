// The plug-in base class: owns the AEffect record that the host holds, turns the host's
// C calls into virtual calls on the object, and guards the boundary against bad input.
//
// Exporting a plug-in. The entry function builds the object and hands out its AEffect:
//
//   extern "C" __attribute__((visibility("default"))) AEffect* VSTPluginMain(
//       audioMasterCallback audioMaster) {
//       if (!audioMaster || audioMaster(nullptr, audioMasterVersion, 0, 0, nullptr, 0) == 0)
//           return nullptr;                       // ancient or broken host
//       auto* plugin = new (std::nothrow) MyPlugin(audioMaster);
//       return plugin ? plugin->getAeffect() : nullptr;
//   }
//
// Hosts also look for the legacy name `main`. A C++ function cannot be called main, so a
// second function is bound to that symbol with an asm label:
//
//   extern "C" __attribute__((visibility("default"))) AEffect* vstLegacyMain(
//       audioMasterCallback audioMaster) asm("main");
//   extern "C" AEffect* vstLegacyMain(audioMasterCallback audioMaster) {
//       return VSTPluginMain(audioMaster);
//   }
//
// Build the module with -fvisibility=hidden so that only these two symbols are exported.
// The host releases the object with effClose, which runs the destructor; any thread the
// plug-in started must be joined by then, because the host may dlclose right after.
#pragma once

#include "platform/vst2/aeffect.h"

#include <cstddef>
#include <vector>

class AEffEditor;

// Copies at most maxChars characters and always writes the terminating NUL, so dst must
// hold maxChars + 1 bytes. A null dst is ignored; a null src copies an empty text.
void vst_strncpy(char* dst, const char* src, std::size_t maxChars);

class AudioEffect {
public:
    AudioEffect(audioMasterCallback audioMaster, VstInt32 numPrograms, VstInt32 numParams);
    // Deletes the editor set with setEditor.
    virtual ~AudioEffect();
    AudioEffect(const AudioEffect&) = delete;
    AudioEffect& operator=(const AudioEffect&) = delete;

    AEffect* getAeffect() { return &cEffect; }
    // The object behind an AEffect the host passes back; null for null.
    static AudioEffect* fromAeffect(AEffect* effect);

    // Opcodes of the 1.0 interface; everything else answers 0. effClose deletes the object.
    virtual VstIntPtr dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                 float opt);

    virtual void open() {}
    virtual void close() {}
    virtual void suspend() {}
    virtual void resume() {}
    virtual void setSampleRate(float newRate) { sampleRate = newRate; }
    virtual void setBlockSize(VstInt32 newSize) { blockSize = newSize; }

    // Overwrites numOutputs buffers. Called only with valid channel pointers and frames > 0:
    // the boundary substitutes scratch rows for null ones.
    virtual void processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames) = 0;
    // Writes silence unless overridden; the host calls it only when canDoubleReplacing is set.
    virtual void processDoubleReplacing(double** inputs, double** outputs, VstInt32 sampleFrames);

    // Parameter values are normalised 0..1. The boundary passes only indices 0..numParams-1.
    virtual void setParameter(VstInt32 index, float value);
    virtual float getParameter(VstInt32 index);
    // Sets the parameter and tells the host, so that a change made in the editor is recorded
    // as automation. Indices the host does not know are set but not reported.
    virtual void setParameterAutomated(VstInt32 index, float value);
    // The host's buffers are passed through; write a NUL-terminated text.
    virtual void getParameterName(VstInt32 index, char* text);
    virtual void getParameterLabel(VstInt32 index, char* text);
    virtual void getParameterDisplay(VstInt32 index, char* text);

    virtual void setProgram(VstInt32 program);
    virtual VstInt32 getProgram() { return curProgram; }
    virtual void setProgramName(char* name);
    virtual void getProgramName(char* name);

    // Points *data at plug-in-owned memory valid until the next getChunk or effClose and
    // returns its size in bytes. isPreset selects the current program instead of the bank.
    virtual VstInt32 getChunk(void** data, bool isPreset = false);
    // The data belongs to the host and is valid only during the call.
    virtual VstInt32 setChunk(void* data, VstInt32 byteSize, bool isPreset = false);

    // Constructor-time configuration.
    void setUniqueID(VstInt32 id) { cEffect.uniqueID = id; }
    void setVersion(VstInt32 version) { cEffect.version = version; }
    void setNumInputs(VstInt32 inputs);
    void setNumOutputs(VstInt32 outputs);
    void setInitialDelay(VstInt32 delay) { cEffect.initialDelay = delay; }
    void canProcessReplacing(bool state = true) { setFlag(effFlagsCanReplacing, state); }
    void canDoubleReplacing(bool state = true) { setFlag(effFlagsCanDoubleReplacing, state); }
    void programsAreChunks(bool state = true) { setFlag(effFlagsProgramChunks, state); }
    // Takes ownership; a null editor clears the has-editor flag.
    void setEditor(AEffEditor* newEditor);
    AEffEditor* getEditor() { return editor; }

    float getSampleRate() const { return sampleRate; }
    VstInt32 getBlockSize() const { return blockSize; }
    audioMasterCallback getHostCallback() const { return audioMaster; }
    // The host's interface version (2400 for a 2.4 host); 0 without a host or from a host
    // too old to say.
    VstInt32 getMasterVersion();

protected:
    void setFlag(VstInt32 flag, bool state);
    bool isValidParameter(VstInt32 index) const { return index >= 0 && index < numParams; }

    audioMasterCallback audioMaster;
    AEffEditor* editor = nullptr;
    float sampleRate = 44100.0f;
    VstInt32 blockSize = 1024;
    VstInt32 numPrograms;
    VstInt32 numParams;
    VstInt32 curProgram = 0;
    AEffect cEffect;

private:
    // The host's entry points: each finds the object through AEffect::object.
    static VstIntPtr dispatchEntry(AEffect* e, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                                   void* ptr, float opt);
    static void processEntry(AEffect* e, float** inputs, float** outputs, VstInt32 frames);
    static void processReplacingEntry(AEffect* e, float** inputs, float** outputs, VstInt32 frames);
    static void processDoubleReplacingEntry(AEffect* e, double** inputs, double** outputs,
                                            VstInt32 frames);
    static void setParameterEntry(AEffect* e, VstInt32 index, float value);
    static float getParameterEntry(AEffect* e, VstInt32 index);

    // Renders one host call. Hosts may pass null channel pointers, and the deprecated
    // accumulating process must add to its outputs; both go through scratch rows prepared
    // outside the audio thread, so the render path never allocates.
    void render(float** inputs, float** outputs, VstInt32 frames, bool accumulate);
    void prepareScratch();

    std::vector<float> scratch; // one zero row, then one row per output; scratchFrames each
    std::vector<float*> inputRows, outputRows;
    VstInt32 scratchFrames = 0;
};
