// The 2.x extension of the plug-in base class: events, identity strings, capabilities,
// parameter and pin properties, and the host services a 2.4 plug-in calls (time info,
// MIDI registration, edit gestures).
#pragma once

#include "platform/vst2/AudioEffect.h"

class AudioEffectX : public AudioEffect {
public:
    AudioEffectX(audioMasterCallback audioMaster, VstInt32 numPrograms, VstInt32 numParams)
        : AudioEffect(audioMaster, numPrograms, numParams) {}

    // The 2.x opcodes, then AudioEffect's.
    VstIntPtr dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                         float opt) override;

    // An effect that is not a synth registers for MIDI only when its own canDo says it takes
    // MIDI events; a synth always does.
    void resume() override;

    // The events are the host's and valid only during the call: copy what is kept. Returns 1
    // when handled. Never called with a null list.
    virtual VstInt32 processEvents(VstEvents* events);
    // 1 yes, -1 no, 0 don't know. Never called with null.
    virtual VstInt32 canDo(char* text);
    // Identity: write at most 32 (effect name) or 64 characters and return true.
    virtual bool getEffectName(char* name);
    virtual bool getVendorString(char* text);
    virtual bool getProductString(char* text);
    virtual VstInt32 getVendorVersion() { return 0; }
    // Synth (2) when the synth flag is set, otherwise unknown (0).
    virtual VstInt32 getPlugCategory();
    virtual VstInt32 getVstVersion() { return kVstVersion; }
    virtual VstInt32 getTailSize() { return 0; }

    virtual bool canParameterBeAutomated(VstInt32) { return true; }
    virtual bool string2parameter(VstInt32, char*) { return false; }
    virtual bool getParameterProperties(VstInt32, VstParameterProperties*) { return false; }
    // The name of program `index` without switching to it; by default only the current
    // program has a name to give.
    virtual bool getProgramNameIndexed(VstInt32 category, VstInt32 index, char* text);
    // Stereo pairs labelled "Left/Right In/Out", numbered beyond the first pair.
    virtual bool getInputProperties(VstInt32 index, VstPinProperties* properties);
    virtual bool getOutputProperties(VstInt32 index, VstPinProperties* properties);
    virtual bool setBypass(bool) { return false; }
    virtual VstInt32 startProcess() { return 0; }
    virtual VstInt32 stopProcess() { return 0; }
    virtual VstIntPtr vendorSpecific(VstInt32, VstIntPtr, void*, float) { return 0; }

    void isSynth(bool state = true) { setFlag(effFlagsIsSynth, state); }
    void noTail(bool state = true) { setFlag(effFlagsNoSoundInStop, state); }

    // Host services; each answers 0 / null / false without a host.
    bool wantEvents(VstInt32 filter = 1);
    // The host's transport, or null when the host has none. filter holds the kVst…Valid bits
    // wanted. Call from inside processReplacing and copy what is needed.
    VstTimeInfo* getTimeInfo(VstInt32 filter);
    // True only for a clear yes: hosts answer 0 or -1 for no.
    bool canHostDo(const char* text);
    bool beginEdit(VstInt32 index);
    bool endEdit(VstInt32 index);
    bool updateDisplay();
    bool ioChanged();
    bool sizeWindow(VstInt32 width, VstInt32 height);
    bool sendVstEventsToHost(VstEvents* events);

protected:
    VstIntPtr callHost(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0,
                       void* ptr = nullptr, float opt = 0.0f);

private:
    bool pinProperties(VstInt32 index, VstPinProperties* properties, VstInt32 count,
                       const char* direction);
};
