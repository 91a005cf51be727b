#include "platform/vst2/AudioEffectX.h"

#include "platform/vst2/AEffEditor.h"

#include <cstdio>
#include <cstring>

VstIntPtr AudioEffectX::dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                   float opt) {
    switch (opcode) {
    case effProcessEvents: {
        auto* events = static_cast<VstEvents*>(ptr);
        if (!events) return 0;
        return events->numEvents > 0 ? processEvents(events) : 1; // nothing to take: handled
    }
    case effCanBeAutomated:
        return isValidParameter(index) && canParameterBeAutomated(index) ? 1 : 0;
    case effString2Parameter:
        return ptr && isValidParameter(index) && string2parameter(index, static_cast<char*>(ptr));
    case effGetProgramNameIndexed:
        if (!ptr || index < 0 || index >= numPrograms) return 0;
        return getProgramNameIndexed(VstInt32(value), index, static_cast<char*>(ptr)) ? 1 : 0;
    case effGetInputProperties:
        return ptr && getInputProperties(index, static_cast<VstPinProperties*>(ptr)) ? 1 : 0;
    case effGetOutputProperties:
        return ptr && getOutputProperties(index, static_cast<VstPinProperties*>(ptr)) ? 1 : 0;
    case effGetPlugCategory:
        return getPlugCategory();
    case effSetBypass:
        return setBypass(value != 0) ? 1 : 0;
    case effGetEffectName:
        return ptr && getEffectName(static_cast<char*>(ptr)) ? 1 : 0;
    case effGetVendorString:
        return ptr && getVendorString(static_cast<char*>(ptr)) ? 1 : 0;
    case effGetProductString:
        return ptr && getProductString(static_cast<char*>(ptr)) ? 1 : 0;
    case effGetVendorVersion:
        return getVendorVersion();
    case effVendorSpecific:
        return vendorSpecific(index, value, ptr, opt);
    case effCanDo:
        return ptr ? canDo(static_cast<char*>(ptr)) : 0;
    case effGetTailSize:
        return getTailSize();
    case effGetParameterProperties:
        if (!ptr || !isValidParameter(index)) return 0;
        return getParameterProperties(index, static_cast<VstParameterProperties*>(ptr)) ? 1 : 0;
    case effGetVstVersion:
        return getVstVersion();
    case effEditKeyDown:
    case effEditKeyUp: {
        if (!editor) return 0;
        // Out-of-range codes become 0 rather than wrapping into some other key.
        auto byte = [](double v) { return static_cast<unsigned char>(v >= 0 && v < 256 ? v : 0); };
        VstKeyCode key{index, byte(double(value)), byte(opt)};
        const bool used = opcode == effEditKeyDown ? editor->onKeyDown(key) : editor->onKeyUp(key);
        return used ? 1 : 0;
    }
    case effSetEditKnobMode:
        return editor && editor->setKnobMode(VstInt32(value)) ? 1 : 0;
    case effStartProcess:
        return startProcess();
    case effStopProcess:
        return stopProcess();
    case effSetProcessPrecision:
        // Double precision only for a plug-in that declared it.
        if (value == kVstProcessPrecision32) return 1;
        return value == kVstProcessPrecision64 && (cEffect.flags & effFlagsCanDoubleReplacing);
    default:
        // Tail call: for effClose the object no longer exists when this returns.
        return AudioEffect::dispatcher(opcode, index, value, ptr, opt);
    }
}

void AudioEffectX::resume() {
    if (!(cEffect.flags & effFlagsIsSynth)) {
        char receiveMidi[] = "receiveVstMidiEvent";
        if (canDo(receiveMidi) != 1) return;
    }
    wantEvents();
}

VstInt32 AudioEffectX::processEvents(VstEvents*) {
    return 0;
}
VstInt32 AudioEffectX::canDo(char*) {
    return 0;
}
bool AudioEffectX::getEffectName(char*) {
    return false;
}
bool AudioEffectX::getVendorString(char*) {
    return false;
}
bool AudioEffectX::getProductString(char*) {
    return false;
}

VstInt32 AudioEffectX::getPlugCategory() {
    return (cEffect.flags & effFlagsIsSynth) ? kPlugCategSynth : kPlugCategUnknown;
}

bool AudioEffectX::getProgramNameIndexed(VstInt32, VstInt32 index, char* text) {
    if (index != curProgram) return false;
    getProgramName(text);
    return true;
}

bool AudioEffectX::getInputProperties(VstInt32 index, VstPinProperties* properties) {
    return pinProperties(index, properties, cEffect.numInputs, "In");
}

bool AudioEffectX::getOutputProperties(VstInt32 index, VstPinProperties* properties) {
    return pinProperties(index, properties, cEffect.numOutputs, "Out");
}

bool AudioEffectX::pinProperties(VstInt32 index, VstPinProperties* properties, VstInt32 count,
                                 const char* direction) {
    if (index < 0 || index >= count) return false;
    std::memset(properties, 0, sizeof *properties);
    const bool right = index % 2 == 1;
    const VstInt32 pair = index / 2 + 1;
    const char* side = right ? "Right" : "Left";
    char label[48], shortLabel[24];
    if (pair == 1) {
        std::snprintf(label, sizeof label, "%s %s", side, direction);
        std::snprintf(shortLabel, sizeof shortLabel, "%s %c", direction, side[0]);
    } else {
        std::snprintf(label, sizeof label, "%s %s %d", side, direction, int(pair));
        std::snprintf(shortLabel, sizeof shortLabel, "%c%d%c", direction[0], int(pair), side[0]);
    }
    vst_strncpy(properties->label, label, kVstMaxLabelLen - 1);
    vst_strncpy(properties->shortLabel, shortLabel, kVstMaxShortLabelLen - 1);
    properties->flags = kVstPinIsActive;
    // The stereo bit marks the first pin of a pair that really has a second pin.
    if (!right && index + 1 < count) properties->flags |= kVstPinIsStereo;
    return true;
}

VstIntPtr AudioEffectX::callHost(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                 float opt) {
    return audioMaster ? audioMaster(&cEffect, opcode, index, value, ptr, opt) : 0;
}

bool AudioEffectX::wantEvents(VstInt32 filter) {
    return callHost(audioMasterWantMidi, 0, filter) != 0;
}

VstTimeInfo* AudioEffectX::getTimeInfo(VstInt32 filter) {
    return reinterpret_cast<VstTimeInfo*>(callHost(audioMasterGetTime, 0, filter));
}

bool AudioEffectX::canHostDo(const char* text) {
    if (!text) return false;
    return callHost(audioMasterCanDo, 0, 0, const_cast<char*>(text)) == 1;
}

bool AudioEffectX::beginEdit(VstInt32 index) {
    return isValidParameter(index) && callHost(audioMasterBeginEdit, index) != 0;
}

bool AudioEffectX::endEdit(VstInt32 index) {
    return isValidParameter(index) && callHost(audioMasterEndEdit, index) != 0;
}

bool AudioEffectX::updateDisplay() {
    return callHost(audioMasterUpdateDisplay) != 0;
}
bool AudioEffectX::ioChanged() {
    return callHost(audioMasterIOChanged) != 0;
}

bool AudioEffectX::sizeWindow(VstInt32 width, VstInt32 height) {
    return callHost(audioMasterSizeWindow, width, height) != 0;
}

bool AudioEffectX::sendVstEventsToHost(VstEvents* events) {
    return events && callHost(audioMasterProcessEvents, 0, 0, events) != 0;
}
