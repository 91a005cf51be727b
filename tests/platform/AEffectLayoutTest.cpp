// Binary-interface facts that aeffect.h does not assert itself: the remaining field offsets
// of the shared records, four-character codes, and the numbers that most often go wrong
// when the header is edited. A failure here is a compile error.
#include "platform/vst2/aeffect.h"

#include <cstddef>

namespace {

static_assert(offsetof(VstEvent, type) == 0 && offsetof(VstEvent, byteSize) == 4);
static_assert(offsetof(VstEvent, deltaFrames) == 8 && offsetof(VstEvent, flags) == 12);
static_assert(offsetof(VstEvent, data) == 16);

// A MIDI event is read through the common header, so the two must agree.
static_assert(offsetof(VstMidiEvent, deltaFrames) == offsetof(VstEvent, deltaFrames));
static_assert(offsetof(VstMidiEvent, flags) == 12);
static_assert(offsetof(VstMidiEvent, noteLength) == 16 && offsetof(VstMidiEvent, noteOffset) == 20);
static_assert(offsetof(VstMidiEvent, noteOffVelocity) == 29);
static_assert(offsetof(VstMidiEvent, reserved2) == 31);
static_assert(offsetof(VstMidiSysexEvent, dumpBytes) == 16);

static_assert(offsetof(VstEvents, numEvents) == 0);
static_assert(offsetof(VstEvents, events) == 2 * sizeof(VstIntPtr));

static_assert(offsetof(VstTimeInfo, samplePos) == 0 && offsetof(VstTimeInfo, sampleRate) == 8);
static_assert(offsetof(VstTimeInfo, nanoSeconds) == 16);
static_assert(offsetof(VstTimeInfo, barStartPos) == 40);
static_assert(offsetof(VstTimeInfo, cycleStartPos) == 48 &&
              offsetof(VstTimeInfo, cycleEndPos) == 56);
static_assert(offsetof(VstTimeInfo, timeSigDenominator) == 68);
static_assert(offsetof(VstTimeInfo, smpteOffset) == 72 &&
              offsetof(VstTimeInfo, smpteFrameRate) == 76);
static_assert(offsetof(VstTimeInfo, samplesToNextClock) == 80);

static_assert(offsetof(ERect, top) == 0 && offsetof(ERect, left) == 2);
static_assert(offsetof(ERect, bottom) == 4 && offsetof(ERect, right) == 6);

static_assert(offsetof(VstParameterProperties, label) == 12);
static_assert(offsetof(VstParameterProperties, minInteger) == 80);
static_assert(offsetof(VstParameterProperties, largeStepInteger) == 92);
static_assert(offsetof(VstParameterProperties, displayIndex) == 104);
static_assert(offsetof(VstParameterProperties, numParametersInCategory) == 108);
static_assert(offsetof(VstParameterProperties, future) == 136);
static_assert(offsetof(VstPinProperties, arrangementType) == 68);
static_assert(offsetof(VstPinProperties, future) == 80);

#if UINTPTR_MAX == 0xFFFFFFFFFFFFFFFFu
static_assert(offsetof(AEffect, realQualities) == 84 && offsetof(AEffect, offQualities) == 88);
static_assert(offsetof(VstMidiSysexEvent, resvd2) == 40);
#endif

// The first character is the most significant byte, and high characters do not sign-extend.
static_assert(VST_FOURCC('V', 's', 't', 'P') == kEffectMagic);
static_assert(VST_FOURCC('N', 'v', 'E', 'f') == kEffectIdentify);
static_assert(VST_FOURCC('\xFF', 0, 0, '\x80') == VstInt32(0xFF000080u));

// Numbers where published headers disagree or a slip would pass unnoticed.
static_assert(effProcessEvents == 25 && effCanDo == 51 && effGetParameterProperties == 56);
static_assert(effGetVendorString == 47 && effGetVstVersion == 58 && effSetProcessPrecision == 77);
static_assert(audioMasterGetTime == 7 && audioMasterWantMidi == 6 && audioMasterCanDo == 37);
static_assert(audioMasterGetVendorString == 32 && audioMasterBeginEdit == 43);
static_assert(kVstTransportPlaying == 2 && kVstPpqPosValid == 512 && kVstTempoValid == 1024);
static_assert(effFlagsCanReplacing == 0x10 && effFlagsProgramChunks == 0x20);
static_assert(effFlagsIsSynth == 0x100 && effFlagsCanDoubleReplacing == 0x1000);

} // namespace
