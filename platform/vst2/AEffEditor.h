// The editor base class: the plug-in's window inside the host's, driven through the
// effEdit* opcodes that AudioEffect and AudioEffectX forward here.
#pragma once

#include "platform/vst2/aeffect.h"

class AudioEffect;

// A key press forwarded by the host (effEditKeyDown/Up): the character, the host's virtual
// key code and its modifier bits.
struct VstKeyCode {
    VstInt32 character;
    unsigned char virt;
    unsigned char modifier;
};

class AEffEditor {
public:
    explicit AEffEditor(AudioEffect* effect = nullptr) : effect(effect) {}
    virtual ~AEffEditor() = default;
    AEffEditor(const AEffEditor&) = delete;
    AEffEditor& operator=(const AEffEditor&) = delete;

    virtual AudioEffect* getEffect() { return effect; }
    // Stores the address of an ERect the editor owns in *rect. Hosts ask before open as
    // well as after, so the rectangle must be valid from construction on.
    virtual bool getRect(ERect** rect) {
        if (rect) *rect = nullptr;
        return false;
    }
    // ptr is the host's parent window (an X11 Window id on Linux).
    virtual bool open(void* ptr) {
        systemWindow = ptr;
        openFlag = true;
        return true;
    }
    virtual void close() {
        systemWindow = nullptr;
        openFlag = false;
    }
    virtual bool isOpen() { return openFlag; }
    virtual void idle() {}
    virtual bool onKeyDown(VstKeyCode&) { return false; }
    virtual bool onKeyUp(VstKeyCode&) { return false; }
    virtual bool onWheel(float) { return false; }
    virtual bool setKnobMode(VstInt32) { return false; }
    // A parameter changed outside the editor (host automation, a loaded patch); the plug-in
    // calls this so that the panel can follow.
    virtual void setParameter(VstInt32, float) {}

protected:
    AudioEffect* effect;
    void* systemWindow = nullptr;
    bool openFlag = false;
};
