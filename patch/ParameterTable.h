// The parameter table: one record per parameter, indices 0..178, plus the parallel
// code, display-kind and storage tables and the host/engine conversions.
#pragma once

#include "engine/FourCC.h"

#include <string>

namespace moraine {

constexpr int kParamCount = 179;     // indices 0..178
constexpr int kHostParamCount = 178; // the host sees 0..177
constexpr int kEngineValueCount = kParamCount + 10;
constexpr int kFirstJackParam = 90; // parameter 89 + J is jack J

// Parameter indices 0..89 by meaning (the jacks follow from kFirstJackParam).
enum ParamIndex : int {
    kParamPlaceHolder = 0,
    kParamMasterBypass = 1,
    kParamEnvFollower = 2,
    kParamRingMod1 = 3,
    kParamRingMod2 = 4,
    kParamVco1Coarse = 5,
    kParamVco1Fine = 6,
    kParamVco1ShLevel = 7,
    kParamVco1AdsrLevel = 8,
    kParamVco1Vco2Level = 9,
    kParamVco2Coarse = 10,
    kParamVco2Fine = 11,
    kParamVco2PulseWidth = 12,
    kParamVco2ShLevel = 13,
    kParamVco2AdsrLevel = 14,
    kParamVco2Vco1Level = 15,
    kParamVco2PwModulation = 16,
    kParamVco3Coarse = 17,
    kParamVco3Fine = 18,
    kParamVco3PulseWidth = 19,
    kParamVco3NoiseLevel = 20,
    kParamVco3AdsrLevel = 21,
    kParamVco3Vco2Level = 22,
    kParamVcfCoarse = 23,
    kParamVcfFine = 24,
    kParamVcfResonance = 25,
    kParamVcfRingModLevel = 26,
    kParamVcfVco1Level = 27,
    kParamVcfVco2Level = 28,
    kParamVcfVco3Level = 29,
    kParamVcfNoiseLevel = 30,
    kParamVcfAdsrLevel = 31,
    kParamVcfVco2CvLevel = 32,
    kParamAdsrAttack = 33,
    kParamAdsrDecay = 34,
    kParamAdsrSustain = 35,
    kParamAdsrRelease = 36,
    kParamArAttack = 37,
    kParamArGate = 38,
    kParamArRelease = 39,
    kParamVcaInitialGain = 40,
    kParamVcaVcfLevel = 41,
    kParamVcaRingModLevel = 42,
    kParamVcaArLevel = 43,
    kParamVcaAdsrLevel = 44,
    kParamMixerPan = 45,
    kParamMixerVcfLevel = 46,
    kParamMixerVcaLevel = 47,
    kParamReverbLeftLevel = 48,
    kParamReverbRightLevel = 49,
    kParamNoiseColour = 50,
    kParamNoiseLevel = 51,
    kParamVpMinus10Level = 52,
    kParamVpKeyboardLevel = 53,
    kParamVpPlus10Level = 54,
    kParamLagRate = 55,
    kParamShLevel = 56,
    kParamShRate = 57,
    kParamVco1KeyboardSwitch = 58,
    kParamVco2KeyboardSwitch = 59,
    kParamVco3KeyboardSwitch = 60,
    kParamRingModSwitch = 61,
    kParamKeyboardTrigger = 62,
    kParamKeyboardRepeat = 63,
    kParamOctaveControl = 64,
    kParamLfoSpeed = 65,
    kParamVibratoDelay = 66,
    kParamVibratoDepth = 67,
    kParamPortamentoSpeed = 68,
    kParamPortamentoSwitch = 69,
    kParamPreampGain = 70,
    kParamPitchBend = 71,
    kParamVcfKeyboardLevel = 72,
    kParamClockBeatOffset = 73,
    kParamLfoBeatOffset = 74,
    kParamMasterVolume = 75,
    kParamIntervalLatch = 76,
    kParamPortamentoTrigger = 77,
    kParamEnvelopeTrigger = 78,
    kParamPowerSwitch = 79,
    kParamPowerLight = 80,
    kParamVoices = 81,
    kParamClockSync = 82,
    kParamClockPulses = 83,
    kParamLfoSync = 84,
    kParamLfoPulses = 85,
    kParamGroupList = 86,
    kParamCategoryList = 87,
    kParamPatchList = 88,
    kParamMidiLed = 89,
};

enum ParamKind { kKindContinuous = 0, kKindInteger = 1, kKindSwitch = 2 };
enum ParamFlags { kFlagLogarithmic = 16, kFlagFrequencyLike = 32 };

struct ParameterInfo {
    const char* name;
    const char* label;
    int group;
    const char* altName;
    int kind;
    float minimum;
    float maximum;
    float defaultValue;
    int flags;
};

enum class ParamStorage { Float, Integer, NotStored, Jack };

// 180 records: the 179 parameters and the all-zero terminator.
const ParameterInfo* parameterTable();
const ParameterInfo& parameterInfo(int index); // index must be 0..178
FourCC parameterCode(int index);               // 0 for index 1 and out of range
int displayKind(int index);                    // -1 when the parameter has none
ParamStorage parameterStorage(int index);

// Parameter index whose code equals `code`, -1 if none. `hint` is looked at first: a
// patch lists its values in parameter order, so the next index is usually the one.
int findParameter(FourCC code, int hint = -1);
// Parameter by code text ("vo1c") or decimal index ("33"); -1 if neither.
int findParameterByName(const char* text);

// Host values are 0..1; engine values are in the parameter's own units.
// Jack parameters carry jack number / 1000 as host value.
float hostToEngine(int index, float host);
float engineToHost(int index, float engine);
// The jack a jack parameter's engine value names (1..89), 0 for none or anything else.
int jackFromValue(float v);
// An engine value as the array stores it: kept within the parameter's range, a jack
// parameter's value rounded to a jack number (0 when it names none).
float storedEngineValue(int index, float v);
// The whole number a patch stores for an integer-stored parameter: switches by the same
// threshold that applies them, so a saved and reloaded sound is the sound that was saved.
int storedInteger(int index, float v);

// The panel's three texts of a value. `values` is the engine-value array (the
// frequency kinds read the sibling coarse/fine control and the keyboard switch).
std::string valueText(int index, float v, const float* values);
std::string valueTextWithRange(int index, float v, const float* values);
std::string tipText(int index, float v, const float* values);

} // namespace moraine
