/* The VST 2.4 binary interface: the records, opcodes and flags that a plug-in and a host
 * exchange. Only the binary layout matters; the customary names are kept so that code on
 * either side of the boundary reads the way plug-in and host authors expect. The header is
 * plain C so that C hosts and tools can include it too. */
#ifndef MORAINE_PLATFORM_VST2_AEFFECT_H
#define MORAINE_PLATFORM_VST2_AEFFECT_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
#define VST_STATIC_ASSERT(cond, msg) static_assert(cond, msg)
extern "C" {
#else
#define VST_STATIC_ASSERT(cond, msg) _Static_assert(cond, msg)
#endif

typedef int16_t VstInt16;
typedef int32_t VstInt32;
typedef intptr_t VstIntPtr; /* pointer-sized: 8 bytes on x86-64, 4 on i386 */

/* A four-character code: the first character lands in the most significant byte. */
#define VST_FOURCC(a, b, c, d)                                                                     \
    ((VstInt32)(((uint32_t)(uint8_t)(a) << 24) | ((uint32_t)(uint8_t)(b) << 16) |                  \
                ((uint32_t)(uint8_t)(c) << 8) | (uint32_t)(uint8_t)(d)))

enum {
    kVstVersion = 2400,
    kEffectMagic = 0x56737450,   /* 'VstP' */
    kEffectIdentify = 0x4E764566 /* 'NvEf', the answer to the deprecated effIdentify */
};

typedef struct AEffect AEffect;

typedef VstIntPtr (*audioMasterCallback)(AEffect* effect, VstInt32 opcode, VstInt32 index,
                                         VstIntPtr value, void* ptr, float opt);
typedef audioMasterCallback VstHostCallback;
typedef VstIntPtr (*AEffectDispatcherProc)(AEffect* effect, VstInt32 opcode, VstInt32 index,
                                           VstIntPtr value, void* ptr, float opt);
typedef void (*AEffectProcessProc)(AEffect* effect, float** inputs, float** outputs,
                                   VstInt32 sampleFrames);
typedef void (*AEffectProcessDoubleProc)(AEffect* effect, double** inputs, double** outputs,
                                         VstInt32 sampleFrames);
typedef void (*AEffectSetParameterProc)(AEffect* effect, VstInt32 index, float parameter);
typedef float (*AEffectGetParameterProc)(AEffect* effect, VstInt32 index);
/* The exported entry point, `VSTPluginMain` (and the legacy `main`). */
typedef AEffect* (*VstPluginMainProc)(audioMasterCallback audioMaster);

/* The record the entry point returns. It stays at the same address until effClose returns.
 * resvd1, resvd2 and user belong to hosts in practice; a plug-in keeps itself in `object`. */
struct AEffect {
    VstInt32 magic; /* kEffectMagic */
    AEffectDispatcherProc dispatcher;
    AEffectProcessProc process; /* deprecated accumulating process: adds to the outputs */
    AEffectSetParameterProc setParameter;
    AEffectGetParameterProc getParameter;
    VstInt32 numPrograms;
    VstInt32 numParams;
    VstInt32 numInputs;
    VstInt32 numOutputs;
    VstInt32 flags; /* VstAEffectFlags */
    VstIntPtr resvd1;
    VstIntPtr resvd2;
    VstInt32 initialDelay; /* latency in samples */
    VstInt32 realQualities;
    VstInt32 offQualities;
    float ioRatio;
    void* object;
    void* user;
    VstInt32 uniqueID;
    VstInt32 version;
    AEffectProcessProc processReplacing;
    AEffectProcessDoubleProc processDoubleReplacing;
    char future[56];
};

enum VstAEffectFlags {
    effFlagsHasEditor = 1 << 0,
    effFlagsHasClip = 1 << 1, /* deprecated */
    effFlagsHasVu = 1 << 2,   /* deprecated */
    effFlagsCanMono = 1 << 3, /* deprecated */
    effFlagsCanReplacing = 1 << 4,
    effFlagsProgramChunks = 1 << 5,
    effFlagsIsSynth = 1 << 8,
    effFlagsNoSoundInStop = 1 << 9,
    effFlagsExtIsAsync = 1 << 10,   /* deprecated */
    effFlagsExtHasBuffer = 1 << 11, /* deprecated */
    effFlagsCanDoubleReplacing = 1 << 12
};

/* Host -> plug-in, through AEffect.dispatcher. */
enum AEffectOpcodes {
    effOpen = 0,
    effClose = 1,
    effSetProgram = 2,
    effGetProgram = 3,
    effSetProgramName = 4,
    effGetProgramName = 5,
    effGetParamLabel = 6,
    effGetParamDisplay = 7,
    effGetParamName = 8,
    effGetVu = 9, /* deprecated */
    effSetSampleRate = 10,
    effSetBlockSize = 11,
    effMainsChanged = 12,
    effEditGetRect = 13,
    effEditOpen = 14,
    effEditClose = 15,
    effEditDraw = 16,  /* deprecated */
    effEditMouse = 17, /* deprecated */
    effEditKey = 18,   /* deprecated */
    effEditIdle = 19,
    effEditTop = 20,   /* deprecated */
    effEditSleep = 21, /* deprecated */
    effIdentify = 22,  /* deprecated */
    effGetChunk = 23,
    effSetChunk = 24,
    effProcessEvents = 25,
    effCanBeAutomated = 26,
    effString2Parameter = 27,
    effGetNumProgramCategories = 28, /* deprecated */
    effGetProgramNameIndexed = 29,
    effCopyProgram = 30,  /* deprecated */
    effConnectInput = 31, /* deprecated */
    effConnectOutput = 32,
    effGetInputProperties = 33,
    effGetOutputProperties = 34,
    effGetPlugCategory = 35,
    effGetCurrentPosition = 36,   /* deprecated */
    effGetDestinationBuffer = 37, /* deprecated */
    effOfflineNotify = 38,
    effOfflinePrepare = 39,
    effOfflineRun = 40,
    effProcessVarIo = 41,
    effSetSpeakerArrangement = 42,
    effSetBlockSizeAndSampleRate = 43, /* deprecated: value = block size, opt = rate */
    effSetBypass = 44,
    effGetEffectName = 45,
    effGetErrorText = 46, /* deprecated */
    effGetVendorString = 47,
    effGetProductString = 48,
    effGetVendorVersion = 49,
    effVendorSpecific = 50,
    effCanDo = 51,
    effGetTailSize = 52,
    effIdle = 53,            /* deprecated */
    effGetIcon = 54,         /* deprecated */
    effSetViewPosition = 55, /* deprecated */
    effGetParameterProperties = 56,
    effKeysRequired = 57, /* deprecated */
    effGetVstVersion = 58,
    effEditKeyDown = 59,
    effEditKeyUp = 60,
    effSetEditKnobMode = 61,
    effGetMidiProgramName = 62,
    effGetCurrentMidiProgram = 63,
    effGetMidiProgramCategory = 64,
    effHasMidiProgramsChanged = 65,
    effGetMidiKeyName = 66,
    effBeginSetProgram = 67,
    effEndSetProgram = 68,
    effGetSpeakerArrangement = 69,
    effShellGetNextPlugin = 70,
    effStartProcess = 71,
    effStopProcess = 72,
    effSetTotalSampleToProcess = 73,
    effSetPanLaw = 74,
    effBeginLoadBank = 75,
    effBeginLoadProgram = 76,
    effSetProcessPrecision = 77,
    effGetNumMidiInputChannels = 78,
    effGetNumMidiOutputChannels = 79
};

/* Plug-in -> host, through the audioMasterCallback. */
enum AudioMasterOpcodes {
    audioMasterAutomate = 0,
    audioMasterVersion = 1,
    audioMasterCurrentId = 2,
    audioMasterIdle = 3,
    audioMasterPinConnected = 4, /* deprecated; 0 means connected */
    audioMasterWantMidi = 6,     /* deprecated but honoured */
    audioMasterGetTime = 7,
    audioMasterProcessEvents = 8,
    audioMasterSetTime = 9,  /* deprecated */
    audioMasterTempoAt = 10, /* deprecated */
    audioMasterGetNumAutomatableParameters = 11,
    audioMasterGetParameterQuantization = 12,
    audioMasterIOChanged = 13,
    audioMasterNeedIdle = 14, /* deprecated */
    audioMasterSizeWindow = 15,
    audioMasterGetSampleRate = 16,
    audioMasterGetBlockSize = 17,
    audioMasterGetInputLatency = 18,
    audioMasterGetOutputLatency = 19,
    audioMasterGetPreviousPlug = 20,
    audioMasterGetNextPlug = 21,
    audioMasterWillReplaceOrAccumulate = 22,
    audioMasterGetCurrentProcessLevel = 23,
    audioMasterGetAutomationState = 24,
    audioMasterOfflineStart = 25,
    audioMasterOfflineRead = 26,
    audioMasterOfflineWrite = 27,
    audioMasterOfflineGetCurrentPass = 28,
    audioMasterOfflineGetCurrentMetaPass = 29,
    audioMasterSetOutputSampleRate = 30,
    audioMasterGetOutputSpeakerArrangement = 31,
    audioMasterGetVendorString = 32,
    audioMasterGetProductString = 33,
    audioMasterGetVendorVersion = 34,
    audioMasterVendorSpecific = 35,
    audioMasterSetIcon = 36,
    audioMasterCanDo = 37,
    audioMasterGetLanguage = 38,
    audioMasterOpenWindow = 39,
    audioMasterCloseWindow = 40,
    audioMasterGetDirectory = 41,
    audioMasterUpdateDisplay = 42,
    audioMasterBeginEdit = 43,
    audioMasterEndEdit = 44,
    audioMasterOpenFileSelector = 45,
    audioMasterCloseFileSelector = 46,
    audioMasterEditFile = 47,
    audioMasterGetChunkFile = 48,
    audioMasterGetInputSpeakerArrangement = 49
};

/* String limits in characters, not counting the NUL. Hosts usually pass larger buffers. */
enum VstStringConstants {
    kVstMaxProgNameLen = 24,
    kVstMaxParamStrLen = 8,
    kVstMaxVendorStrLen = 64,
    kVstMaxProductStrLen = 64,
    kVstMaxEffectNameLen = 32,
    kVstMaxNameLen = 64,
    kVstMaxLabelLen = 64,
    kVstMaxShortLabelLen = 8,
    kVstMaxCategLabelLen = 24,
    kVstMaxFileNameLen = 100
};

enum VstPlugCategory {
    kPlugCategUnknown = 0,
    kPlugCategEffect = 1,
    kPlugCategSynth = 2,
    kPlugCategAnalysis = 3,
    kPlugCategMastering = 4,
    kPlugCategSpacializer = 5,
    kPlugCategRoomFx = 6,
    kPlugSurroundFx = 7,
    kPlugCategRestoration = 8,
    kPlugCategOfflineProcess = 9,
    kPlugCategShell = 10,
    kPlugCategGenerator = 11
};

enum VstProcessLevels {
    kVstProcessLevelUnknown = 0,
    kVstProcessLevelUser = 1,
    kVstProcessLevelRealtime = 2,
    kVstProcessLevelPrefetch = 3,
    kVstProcessLevelOffline = 4
};

enum VstAutomationStates {
    kVstAutomationUnsupported = 0,
    kVstAutomationOff = 1,
    kVstAutomationRead = 2,
    kVstAutomationWrite = 3,
    kVstAutomationReadWrite = 4
};

enum VstProcessPrecision { kVstProcessPrecision32 = 0, kVstProcessPrecision64 = 1 };

/* ---- Events ---- */

enum VstEventTypes {
    kVstMidiType = 1,
    kVstAudioType = 2,     /* deprecated */
    kVstVideoType = 3,     /* deprecated */
    kVstParameterType = 4, /* deprecated */
    kVstTriggerType = 5,   /* deprecated */
    kVstSysExType = 6
};

enum VstMidiEventFlags { kVstMidiEventIsRealtime = 1 };

/* The common header; the real record is one of the typed events below. */
typedef struct VstEvent {
    VstInt32 type;
    VstInt32 byteSize; /* hosts disagree (24 or 32): never validate it */
    VstInt32 deltaFrames;
    VstInt32 flags;
    char data[16];
} VstEvent;

/* Declared with two slots; the host allocates numEvents of them. Valid only during the call
 * that hands it over. */
typedef struct VstEvents {
    VstInt32 numEvents;
    VstIntPtr reserved;
    VstEvent* events[2];
} VstEvents;

typedef struct VstMidiEvent {
    VstInt32 type; /* kVstMidiType */
    VstInt32 byteSize;
    VstInt32 deltaFrames; /* frame offset inside the next process call */
    VstInt32 flags;       /* VstMidiEventFlags */
    VstInt32 noteLength;  /* samples, 0 if unknown */
    VstInt32 noteOffset;  /* samples, 0 if unknown */
    char midiData[4];     /* status, data1, data2, 0 */
    char detune;          /* -64..+63 cents */
    char noteOffVelocity;
    char reserved1;
    char reserved2;
} VstMidiEvent;

typedef struct VstMidiSysexEvent {
    VstInt32 type; /* kVstSysExType */
    VstInt32 byteSize;
    VstInt32 deltaFrames;
    VstInt32 flags;
    VstInt32 dumpBytes;
    VstIntPtr resvd1;
    char* sysexDump;
    VstIntPtr resvd2;
} VstMidiSysexEvent;

/* ---- Time ---- */

enum VstTimeInfoFlags {
    kVstTransportChanged = 1,
    kVstTransportPlaying = 1 << 1,
    kVstTransportCycleActive = 1 << 2,
    kVstTransportRecording = 1 << 3,
    kVstAutomationWriting = 1 << 6,
    kVstAutomationReading = 1 << 7,
    kVstNanosValid = 1 << 8,
    kVstPpqPosValid = 1 << 9,
    kVstTempoValid = 1 << 10,
    kVstBarsValid = 1 << 11,
    kVstCyclePosValid = 1 << 12,
    kVstTimeSigValid = 1 << 13,
    kVstSmpteValid = 1 << 14,
    kVstClockValid = 1 << 15
};

enum VstSmpteFrameRate {
    kVstSmpte24fps = 0,
    kVstSmpte25fps = 1,
    kVstSmpte2997fps = 2,
    kVstSmpte30fps = 3,
    kVstSmpte2997dfps = 4,
    kVstSmpte30dfps = 5,
    kVstSmpteFilm16mm = 6,
    kVstSmpteFilm35mm = 7,
    kVstSmpte239fps = 10,
    kVstSmpte249fps = 11,
    kVstSmpte599fps = 12,
    kVstSmpte60fps = 13
};

/* Host-owned and valid only during the call that returned it: read a field only when its
 * flag is set, and copy what is needed. */
typedef struct VstTimeInfo {
    double samplePos;
    double sampleRate;
    double nanoSeconds;
    double ppqPos; /* quarter notes */
    double tempo;  /* beats per minute */
    double barStartPos;
    double cycleStartPos;
    double cycleEndPos;
    VstInt32 timeSigNumerator;
    VstInt32 timeSigDenominator;
    VstInt32 smpteOffset;
    VstInt32 smpteFrameRate;
    VstInt32 samplesToNextClock;
    VstInt32 flags; /* VstTimeInfoFlags */
} VstTimeInfo;

/* ---- Editor and property records ---- */

typedef struct ERect {
    VstInt16 top;
    VstInt16 left;
    VstInt16 bottom;
    VstInt16 right;
} ERect;

enum VstParameterFlags {
    kVstParameterIsSwitch = 1 << 0,
    kVstParameterUsesIntegerMinMax = 1 << 1,
    kVstParameterUsesFloatStep = 1 << 2,
    kVstParameterUsesIntStep = 1 << 3,
    kVstParameterSupportsDisplayIndex = 1 << 4,
    kVstParameterSupportsDisplayCategory = 1 << 5,
    kVstParameterCanRamp = 1 << 6
};

typedef struct VstParameterProperties {
    float stepFloat;
    float smallStepFloat;
    float largeStepFloat;
    char label[kVstMaxLabelLen];
    VstInt32 flags; /* VstParameterFlags */
    VstInt32 minInteger;
    VstInt32 maxInteger;
    VstInt32 stepInteger;
    VstInt32 largeStepInteger;
    char shortLabel[kVstMaxShortLabelLen];
    VstInt16 displayIndex;
    VstInt16 category;
    VstInt16 numParametersInCategory;
    VstInt16 reserved;
    char categoryLabel[kVstMaxCategLabelLen];
    char future[16];
} VstParameterProperties;

enum VstPinPropertiesFlags {
    kVstPinIsActive = 1 << 0,
    kVstPinIsStereo = 1 << 1, /* set on the first pin of a pair */
    kVstPinUseSpeaker = 1 << 2
};

typedef struct VstPinProperties {
    char label[kVstMaxLabelLen];
    VstInt32 flags; /* VstPinPropertiesFlags */
    VstInt32 arrangementType;
    char shortLabel[kVstMaxShortLabelLen];
    char future[48];
} VstPinProperties;

/* ---- Layout checks: these records cross the library boundary by address. ---- */

VST_STATIC_ASSERT(sizeof(VstMidiEvent) == 32, "VstMidiEvent is 32 bytes on every ABI");
VST_STATIC_ASSERT(offsetof(VstMidiEvent, midiData) == 24, "midiData sits at 24");
VST_STATIC_ASSERT(offsetof(VstMidiEvent, detune) == 28, "detune sits at 28");
VST_STATIC_ASSERT(sizeof(VstEvent) == 32, "the event header is 32 bytes");
VST_STATIC_ASSERT(sizeof(VstTimeInfo) == 88, "VstTimeInfo is 88 bytes on every ABI");
VST_STATIC_ASSERT(offsetof(VstTimeInfo, ppqPos) == 24, "ppqPos sits at 24");
VST_STATIC_ASSERT(offsetof(VstTimeInfo, tempo) == 32, "tempo sits at 32");
VST_STATIC_ASSERT(offsetof(VstTimeInfo, timeSigNumerator) == 64, "time signature sits at 64");
VST_STATIC_ASSERT(offsetof(VstTimeInfo, flags) == 84, "time flags sit at 84");
VST_STATIC_ASSERT(sizeof(ERect) == 8, "ERect is four 16-bit values");
VST_STATIC_ASSERT(sizeof(VstParameterProperties) == 152, "VstParameterProperties is 152 bytes");
VST_STATIC_ASSERT(offsetof(VstParameterProperties, flags) == 76, "flags sit at 76");
VST_STATIC_ASSERT(offsetof(VstParameterProperties, shortLabel) == 96, "shortLabel sits at 96");
VST_STATIC_ASSERT(offsetof(VstParameterProperties, categoryLabel) == 112, "categoryLabel at 112");
VST_STATIC_ASSERT(sizeof(VstPinProperties) == 128, "VstPinProperties is 128 bytes");
VST_STATIC_ASSERT(offsetof(VstPinProperties, flags) == 64, "pin flags sit at 64");
VST_STATIC_ASSERT(offsetof(VstPinProperties, shortLabel) == 72, "pin shortLabel sits at 72");

#if UINTPTR_MAX == 0xFFFFFFFFFFFFFFFFu
VST_STATIC_ASSERT(offsetof(AEffect, dispatcher) == 8, "4 pad bytes follow magic");
VST_STATIC_ASSERT(offsetof(AEffect, process) == 16, "process sits at 16");
VST_STATIC_ASSERT(offsetof(AEffect, setParameter) == 24, "setParameter sits at 24");
VST_STATIC_ASSERT(offsetof(AEffect, getParameter) == 32, "getParameter sits at 32");
VST_STATIC_ASSERT(offsetof(AEffect, numPrograms) == 40, "numPrograms sits at 40");
VST_STATIC_ASSERT(offsetof(AEffect, numParams) == 44, "numParams sits at 44");
VST_STATIC_ASSERT(offsetof(AEffect, numInputs) == 48, "numInputs sits at 48");
VST_STATIC_ASSERT(offsetof(AEffect, numOutputs) == 52, "numOutputs sits at 52");
VST_STATIC_ASSERT(offsetof(AEffect, flags) == 56, "flags sit at 56");
VST_STATIC_ASSERT(offsetof(AEffect, resvd1) == 64, "4 pad bytes follow flags");
VST_STATIC_ASSERT(offsetof(AEffect, resvd2) == 72, "resvd2 sits at 72");
VST_STATIC_ASSERT(offsetof(AEffect, initialDelay) == 80, "initialDelay sits at 80");
VST_STATIC_ASSERT(offsetof(AEffect, ioRatio) == 92, "ioRatio sits at 92");
VST_STATIC_ASSERT(offsetof(AEffect, object) == 96, "object sits at 96");
VST_STATIC_ASSERT(offsetof(AEffect, user) == 104, "user sits at 104");
VST_STATIC_ASSERT(offsetof(AEffect, uniqueID) == 112, "uniqueID sits at 112");
VST_STATIC_ASSERT(offsetof(AEffect, version) == 116, "version sits at 116");
VST_STATIC_ASSERT(offsetof(AEffect, processReplacing) == 120, "processReplacing sits at 120");
VST_STATIC_ASSERT(offsetof(AEffect, processDoubleReplacing) == 128, "double process at 128");
VST_STATIC_ASSERT(offsetof(AEffect, future) == 136, "future sits at 136");
VST_STATIC_ASSERT(sizeof(AEffect) == 192, "AEffect is 192 bytes on x86-64");
VST_STATIC_ASSERT(sizeof(VstEvents) == 32, "VstEvents header and two slots");
VST_STATIC_ASSERT(offsetof(VstEvents, events) == 16, "the event pointers start at 16");
VST_STATIC_ASSERT(sizeof(VstMidiSysexEvent) == 48, "VstMidiSysexEvent is 48 bytes");
VST_STATIC_ASSERT(offsetof(VstMidiSysexEvent, resvd1) == 24, "4 pad bytes follow dumpBytes");
VST_STATIC_ASSERT(offsetof(VstMidiSysexEvent, sysexDump) == 32, "sysexDump sits at 32");
#elif UINTPTR_MAX == 0xFFFFFFFFu
VST_STATIC_ASSERT(offsetof(AEffect, numPrograms) == 20, "numPrograms sits at 20");
VST_STATIC_ASSERT(offsetof(AEffect, resvd1) == 40, "resvd1 sits at 40");
VST_STATIC_ASSERT(offsetof(AEffect, object) == 64, "object sits at 64");
VST_STATIC_ASSERT(offsetof(AEffect, uniqueID) == 72, "uniqueID sits at 72");
VST_STATIC_ASSERT(offsetof(AEffect, processReplacing) == 80, "processReplacing sits at 80");
VST_STATIC_ASSERT(sizeof(AEffect) == 144, "AEffect is 144 bytes on i386");
VST_STATIC_ASSERT(offsetof(VstEvents, events) == 8, "the event pointers start at 8");
VST_STATIC_ASSERT(offsetof(VstMidiSysexEvent, sysexDump) == 24, "sysexDump sits at 24");
#endif

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* MORAINE_PLATFORM_VST2_AEFFECT_H */
