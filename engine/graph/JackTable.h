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

// The table itself, entry 0 `noco` and entries 1..89 the jacks. It lives in the header
// so that the parameter table can take its jack parameters' names from it at compile
// time instead of keeping a second copy.
inline constexpr JackInfo kJackTable[kJackCount + 1] = {
    {fourcc("noco"), "", JackRole::None},                             // 0: no cord
    {fourcc("plg1"), "Env. Foll Input Plug", JackRole::In},           // 1
    {fourcc("plg2"), "Ring Mod Plug 1", JackRole::In},                // 2
    {fourcc("plg3"), "Ring Mod Plug 2", JackRole::In},                // 3
    {fourcc("plg4"), "VCO1 S/H CV Plug", JackRole::In},               // 4
    {fourcc("plg5"), "VCO1 Keyboard CV Plug", JackRole::In},          // 5
    {fourcc("plg6"), "VCO1 ADSR CV Plug", JackRole::In},              // 6
    {fourcc("plg7"), "VCO1 VCO2 CV Plug", JackRole::In},              // 7
    {fourcc("plg8"), "VCO2 Keyboard CV Plug", JackRole::In},          // 8
    {fourcc("plg9"), "VCO2 S/H CV Plug", JackRole::In},               // 9
    {fourcc("pl10"), "VCO2 ADSR CV Plug", JackRole::In},              // 10
    {fourcc("pl11"), "VCO2 VCO1 CV Plug", JackRole::In},              // 11
    {fourcc("pl12"), "VCO2 PWM Plug", JackRole::In},                  // 12
    {fourcc("pl13"), "VCO3 Keyboard CV Plug", JackRole::In},          // 13
    {fourcc("pl14"), "VCO3 Noise Gen CV Plug", JackRole::In},         // 14
    {fourcc("pl15"), "VCO3 ADSR CV Plug", JackRole::In},              // 15
    {fourcc("pl16"), "VCO3 VCO2 CV Plug", JackRole::In},              // 16
    {fourcc("pl17"), "VCF Ring Mod Plug", JackRole::In},              // 17
    {fourcc("pl18"), "VCF VCO1 Plug", JackRole::In},                  // 18
    {fourcc("pl19"), "VCF VCO2 Plug", JackRole::In},                  // 19
    {fourcc("pl20"), "VCF VCO3 Plug", JackRole::In},                  // 20
    {fourcc("pl21"), "VCF Noise Gen Plug", JackRole::In},             // 21
    {fourcc("pl22"), "VCF Keyboard CV Plug", JackRole::In},           // 22
    {fourcc("pl23"), "VCF ADSR CV Plug", JackRole::In},               // 23
    {fourcc("pl24"), "Envelope Gate Plug", JackRole::Both},           // 24
    {fourcc("pl25"), "VCF VCO2 CV Plug", JackRole::In},               // 25
    {fourcc("pl26"), "Envelope S/H Gate Plug", JackRole::In},         // 26
    {fourcc("pl27"), "Envelope Trigger Plug", JackRole::Out},         // 27
    {fourcc("pl28"), "VCA VCF Plug", JackRole::In},                   // 28
    {fourcc("pl29"), "VCA Ring Mod Plug", JackRole::In},              // 29
    {fourcc("pl30"), "VCA ADSR CV Plug", JackRole::In},               // 30
    {fourcc("pl31"), "VCA AR CV Plug", JackRole::In},                 // 31
    {fourcc("pl32"), "Mixer VCF Plug", JackRole::In},                 // 32
    {fourcc("pl33"), "Mixer VCA Plug", JackRole::In},                 // 33
    {fourcc("pl34"), "Reverb Input Plug", JackRole::In},              // 34
    {fourcc("pl35"), "Noise Gen Out Plug", JackRole::Out},            // 35
    {fourcc("pl36"), "VP -10V Input Plug", JackRole::In},             // 36
    {fourcc("pl37"), "VP Kbd CV Input Plug", JackRole::In},           // 37
    {fourcc("pl38"), "VP +10V Input Plug", JackRole::In},             // 38
    {fourcc("pl39"), "Lag Processor Input Plug", JackRole::In},       // 39
    {fourcc("pl40"), "VP Ch. 1 (unatten.) 1 In Plug", JackRole::In},  // 40
    {fourcc("pl41"), "VP Ch. 1 (unatten.) 2 In Plug", JackRole::In},  // 41
    {fourcc("pl42"), "VP Ch. 2 (unatten.) In Plug", JackRole::In},    // 42
    {fourcc("pl43"), "Lag Processor Output Plug", JackRole::Out},     // 43
    {fourcc("pl44"), "VP Ch. 2 Inverter Output Plug", JackRole::Out}, // 44
    {fourcc("pl45"), "VP Ch. 1 Inverter Output Plug", JackRole::Out}, // 45
    {fourcc("pl46"), "S/H Ext. Clock In Plug", JackRole::In},         // 46
    {fourcc("pl47"), "Sample and Hold Out Plug", JackRole::Out},      // 47
    {fourcc("pl48"), "S/H Clock Out Plug", JackRole::Out},            // 48
    {fourcc("pl49"), "S/H Noise Gen In Plug", JackRole::In},          // 49
    {fourcc("pl50"), "Electronic Switch A Plug", JackRole::Both},     // 50
    {fourcc("pl51"), "Electronic Switch C Plug", JackRole::Both},     // 51
    {fourcc("pl52"), "Electronic Switch B Plug", JackRole::Both},     // 52
    {fourcc("pl53"), "Preamp(side chain) Out 1 Plug", JackRole::Out}, // 53
    {fourcc("pl54"), "Preamp(side chain) Out 2 Plug", JackRole::Out}, // 54
    {fourcc("pl55"), "Envelope Follower Out Plug", JackRole::Out},    // 55
    {fourcc("pl56"), "Ring Mod Out Plug", JackRole::Out},             // 56
    {fourcc("pl57"), "VCO1 Square Out Plug", JackRole::Out},          // 57
    {fourcc("pl58"), "VCO1 Sawtooth Out Plug", JackRole::Out},        // 58
    {fourcc("pl59"), "VCO2 Sine Out Plug", JackRole::Out},            // 59
    {fourcc("pl60"), "VCO2 Triangle Out Plug", JackRole::Out},        // 60
    {fourcc("pl61"), "VCO2 Pulse Out Plug", JackRole::Out},           // 61
    {fourcc("pl62"), "VCO2 Sawtooth Out Plug", JackRole::Out},        // 62
    {fourcc("pl63"), "VCO3 Pulse Out Plug", JackRole::Out},           // 63
    {fourcc("pl64"), "VCO3 Sawtooth Out Plug", JackRole::Out},        // 64
    {fourcc("pl65"), "VCF Out Plug", JackRole::Out},                  // 65
    {fourcc("pl66"), "AR Out Plug", JackRole::Out},                   // 66
    {fourcc("pl67"), "ADSR Out Plug", JackRole::Out},                 // 67
    {fourcc("pl68"), "VCA Out Plug", JackRole::Out},                  // 68
    {fourcc("pl69"), "Mixer VCF Insert Plug", JackRole::Out},         // 69
    {fourcc("pl70"), "Mixer VCA Insert Plug", JackRole::Out},         // 70
    {fourcc("pl71"), "Left Direct Input Plug", JackRole::In},         // 71
    {fourcc("pl72"), "Mixer Override Input Plug", JackRole::In},      // 72
    {fourcc("pl73"), "Left Output Plug", JackRole::None},             // 73
    {fourcc("pl74"), "Right Output Plug", JackRole::None},            // 74
    {fourcc("pl75"), "Right Direct Input Plug", JackRole::In},        // 75
    {fourcc("pl76"), "100% Reverb Out Plug", JackRole::Out},          // 76
    {fourcc("kbcv"), "Keyboard CV Out Plug", JackRole::Out},          // 77
    {fourcc("ucv1"), "Upper Kbd CV Out 1 Plug", JackRole::Out},       // 78
    {fourcc("ucv2"), "Upper Kbd CV Out 2 Plug", JackRole::Out},       // 79
    {fourcc("lfo1"), "Triangle LFO Out Plug", JackRole::Out},         // 80
    {fourcc("lfo2"), "Square LFO Out Plug", JackRole::Out},           // 81
    {fourcc("lfo3"), "Delayed Sine LFO Out Plug", JackRole::Out},     // 82
    {fourcc("elfo"), "External Kbd LFO In Plug", JackRole::In},       // 83
    {fourcc("v1si"), "VCO1 Sine Out Plug", JackRole::Out},            // 84
    {fourcc("v3si"), "VCO2 Sine Out Plug", JackRole::Out},            // 85
    {fourcc("mlt1"), "Multiple 1 Plug", JackRole::Both},              // 86
    {fourcc("mlt2"), "Multiple 2 Plug", JackRole::Both},              // 87
    {fourcc("mlt3"), "Multiple 3 Plug", JackRole::Both},              // 88
    {fourcc("mlt4"), "Multiple 4 Plug", JackRole::Both},              // 89
};

// Entry 0 is `noco`; entries 1..89 are the jacks.
const JackInfo& jackInfo(int number);
// Jack number for a code, 0 for `noco`, -1 when the code names no jack.
int jackNumber(FourCC code);
// Multiples, the electronic switch terminals and the envelope gate take either end.
bool isBidirectionalJack(FourCC code);

} // namespace moraine
