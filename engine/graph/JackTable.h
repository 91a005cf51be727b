// The 89 patch jacks: numbers, codes, panel names and roles. Jack number J is host
// parameter 89 + J; number 0 is "no cord" (code `noco`).
#pragma once

#include "engine/FourCC.h"

namespace moraine {

constexpr int kJackCount = 89;

enum class JackRole { None, In, Out, Both };

struct JackInfo {
    FourCC code;
    const char* name; // panel name, also the jack parameter's name
    JackRole role;
};

// Entry 0 is `noco`; entries 1..89 are the jacks.
const JackInfo& jackInfo(int number);
// Jack number for a code, 0 for `noco`, -1 when the code names no jack.
int jackNumber(FourCC code);
// Multiples, the electronic switch terminals and the envelope gate take either end.
bool isBidirectionalJack(FourCC code);

} // namespace moraine
