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

// The panel's three texts of a value. `values` is the engine-value array (the
// frequency kinds read the sibling coarse/fine control and the keyboard switch).
std::string valueText(int index, float v, const float* values);
std::string valueTextWithRange(int index, float v, const float* values);
std::string tipText(int index, float v, const float* values);

} // namespace moraine
