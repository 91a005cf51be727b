// Binary-interface facts that aeffect.h does not assert itself: field offsets of the shared
// records, four-character codes, and the numbers that most often go wrong when the header is
// edited. A failure here is a compile error.
#include "platform/vst2/aeffect.h"

#include <cstddef>

// clang-format off
#define AT(type, field, offset) static_assert(offsetof(type, field) == (offset), #type "." #field)

AT(VstEvent, type, 0); AT(VstEvent, byteSize, 4); AT(VstEvent, deltaFrames, 8);
AT(VstEvent, flags, 12); AT(VstEvent, data, 16);
// A MIDI event is read through the common header, so the two must agree.
AT(VstMidiEvent, deltaFrames, 8); AT(VstMidiEvent, flags, 12); AT(VstMidiEvent, noteLength, 16);
AT(VstMidiEvent, noteOffset, 20); AT(VstMidiEvent, noteOffVelocity, 29);
AT(VstMidiEvent, reserved2, 31); AT(VstMidiSysexEvent, dumpBytes, 16);
AT(VstEvents, numEvents, 0); AT(VstEvents, events, 2 * sizeof(VstIntPtr));
AT(VstTimeInfo, samplePos, 0); AT(VstTimeInfo, sampleRate, 8); AT(VstTimeInfo, nanoSeconds, 16);
AT(VstTimeInfo, barStartPos, 40); AT(VstTimeInfo, cycleStartPos, 48);
AT(VstTimeInfo, cycleEndPos, 56); AT(VstTimeInfo, timeSigDenominator, 68);
AT(VstTimeInfo, smpteOffset, 72); AT(VstTimeInfo, smpteFrameRate, 76);
AT(VstTimeInfo, samplesToNextClock, 80);
AT(ERect, top, 0); AT(ERect, left, 2); AT(ERect, bottom, 4); AT(ERect, right, 6);
AT(VstParameterProperties, label, 12); AT(VstParameterProperties, minInteger, 80);
AT(VstParameterProperties, largeStepInteger, 92); AT(VstParameterProperties, displayIndex, 104);
AT(VstParameterProperties, numParametersInCategory, 108);
AT(VstParameterProperties, future, 136);
AT(VstPinProperties, arrangementType, 68); AT(VstPinProperties, future, 80);
#if UINTPTR_MAX == 0xFFFFFFFFFFFFFFFFu
AT(AEffect, realQualities, 84); AT(AEffect, offQualities, 88); AT(VstMidiSysexEvent, resvd2, 40);
#endif
// clang-format on

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
