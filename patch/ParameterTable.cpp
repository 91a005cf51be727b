// The parameter table and its parallel tables, the host/engine conversions and the
// panel's value texts. Everything here is constant data or pure functions of it.
#include "patch/ParameterTable.h"

#include "engine/graph/JackTable.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <limits>
#include <numbers>

namespace moraine {

namespace {

constexpr int kFixedCount = kFirstJackParam; // parameters 0..89 are written out below

// Parameters 0..89: name, label, group, alternate name, kind, minimum, maximum,
// default, flags. Names are kept letter for letter, misspellings ("Keybaoard",
// "MIDIInternal") included: they are the texts the host shows and records.
// clang-format off
constexpr ParameterInfo kFixed[kFixedCount] = {
    {"Place Holder", "state", 15, "Place Holder", 2, 0.0f, 1.0f, 1.0f, 0}, // 0
    {"Master Bypass", "state", 15, "Master Bypass", 2, 0.0f, 1.0f, 1.0f, 0}, // 1
    {"Envelope Follower", "dB", 9, "Envelope Follower", 0, 0.0f, 1.0f, 0.0f, 0}, // 2
    {"Ring Mod 1", "dB", 8, "Ring Mod 1", 0, 0.0f, 1.0f, 0.0f, 0}, // 3
    {"Ring Mod 2", "dB", 8, "Ring Mod 2", 0, 0.0f, 1.0f, 0.0f, 0}, // 4
    {"VCO1 Coarse Freq", "Volts", 1, "VCO1 Coarse Freq", 0, 0.0f, 1.0f, 0.2f, 32}, // 5
    {"VCO1 Fine Freq", "Volts", 1, "VCO1 Fine Freq", 0, 0.0f, 1.0f, 0.5f, 32}, // 6
    {"VCO1 S/H CV Level", "dB", 1, "VCO1 S/H CV Level", 0, 0.01f, 1.01f, 0.01f, 48}, // 7
    {"VCO1 ADSR CV Level", "dB", 1, "VCO1 ADSR CV Level", 0, 0.01f, 0.51f, 0.01f, 48}, // 8
    {"VCO1 VCO2 CV Level", "dB", 1, "VCO1 VCO2 CV Level", 0, 0.01f, 0.26f, 0.01f, 48}, // 9
    {"VCO2 Coarse Freq", "Volts", 2, "VCO2 Coarse Freq", 0, 0.0f, 1.0f, 0.2f, 32}, // 10
    {"VCO2 Fine Freq", "Volts", 2, "VCO2 Fine Freq", 0, 0.0f, 1.0f, 0.5f, 32}, // 11
    {"VCO2 Pulse Width", "%", 2, "VCO2 Pulse Width", 0, 0.1f, 0.9f, 0.5f, 0}, // 12
    {"VCO2 S/H CV Level", "dB", 2, "VCO2 S/H CV Level", 0, 0.01f, 1.01f, 0.01f, 48}, // 13
    {"VCO2 ADSR CV Level", "dB", 2, "VCO2 ADSR CV Level", 0, 0.01f, 0.51f, 0.01f, 48}, // 14
    {"VCO2 VCO1 CV Level", "dB", 2, "VCO2 VCO1 CV Level", 0, 0.01f, 0.26f, 0.01f, 48}, // 15
    {"VCO2 PW Modulation", "dB", 2, "VCO2 PW Modulation", 0, 0.0f, 1.0f, 0.0f, 0}, // 16
    {"VCO3 Coarse Freq", "Volts", 3, "VCO3 Coarse Freq", 0, 0.0f, 1.0f, 0.2f, 32}, // 17
    {"VCO3 Fine Freq", "Volts", 3, "VCO3 Fine Freq", 0, 0.0f, 1.0f, 0.5f, 32}, // 18
    {"VCO3 Pulse Width", "%", 3, "VCO3 Pulse Width", 0, 0.1f, 0.9f, 0.5f, 0}, // 19
    {"VCO3 NG CV Level", "dB", 3, "VCO3 NG CV Level", 0, 0.01f, 1.01f, 0.01f, 48}, // 20
    {"VCO3 ADSR CV Level", "dB", 3, "VCO3 ADSR CV Level", 0, 0.01f, 1.01f, 0.01f, 48}, // 21
    {"VCO3 VCO2 CV Level", "dB", 3, "VCO3 VCO2 CV Level", 0, 0.01f, 1.01f, 0.01f, 48}, // 22
    {"VCF Coarse Freq", "Volts", 4, "VCF Coarse Freq", 0, 0.0f, 1.0f, 0.0f, 32}, // 23
    {"VCF Fine Freq", "Volts", 4, "VCF Fine Freq", 0, 0.0f, 1.0f, 0.5f, 32}, // 24
    {"VCF Resonance", "Q", 4, "VCF Resonance", 0, 0.0f, 1.0f, 0.5f, 32}, // 25
    {"VCF Ring Mod Level", "dB", 4, "VCF Ringmod Level", 0, 0.0f, 1.0f, 0.0f, 0}, // 26
    {"VCF VCO1 Level", "dB", 4, "VCF VCO1 Level", 0, 0.0f, 1.0f, 0.0f, 0}, // 27
    {"VCF VCO2 Level", "dB", 4, "VCF VCO2 Level", 0, 0.0f, 1.0f, 0.0f, 0}, // 28
    {"VCF VCO3 Level", "dB", 4, "VCF VCO3 Level", 0, 0.0f, 1.0f, 0.0f, 0}, // 29
    {"VCF NoiseGen Level", "dB", 4, "VCF NoiseGen Level", 0, 0.0f, 1.0f, 0.0f, 0}, // 30
    {"VCF ADSR CV Level", "dB", 4, "VCF ADSR CV Level", 0, 0.0f, 1.0f, 0.0f, 0}, // 31
    {"VCF VCO2 CV Level", "dB", 4, "VCF VCO2 CV Level", 0, 0.0f, 1.0f, 0.0f, 0}, // 32
    {"ADSR Attack Time", "seconds", 5, "ADSR Attack Time", 0, 0.003f, 100.0f, 0.1f, 48}, // 33
    {"ADSR Decay Time", "seconds", 5, "ADSR Decay Time", 0, 0.003f, 100.0f, 0.1f, 48}, // 34
    {"ADSR Sustain Level", "Volts", 5, "ADSR Sustain Level", 0, 0.0f, 10.0f, 4.0f, 0}, // 35
    {"ADSR Release Time", "seconds", 5, "ADSR Release Time", 0, 0.003f, 100.0f, 0.1f, 48}, // 36
    {"AR Attack Time", "seconds", 6, "AR Attack Time", 0, 0.003f, 100.0f, 0.1f, 48}, // 37
    {"AR SH Gate", "", 6, "AR SH Gate", 2, 0.0f, 1.0f, 0.0f, 0}, // 38
    {"AR Release Time", "seconds", 6, "AR Release Time", 0, 0.003f, 100.0f, 0.1f, 48}, // 39
    {"VCA Initial Gain", "Volts", 10, "VCA Initial Gain", 0, 0.0f, 10.0f, 0.0f, 0}, // 40
    {"VCA VCF Level", "dB", 10, "VCA VCF Level", 0, 0.0f, 1.0f, 0.0f, 0}, // 41
    {"VCA RingMod Level", "dB", 10, "VCA RingMod Level", 0, 0.0f, 1.0f, 0.0f, 0}, // 42
    {"VCA AR CV Level", "dB", 10, "VCA AR CV Level", 0, 0.0f, 1.0f, 0.0f, 0}, // 43
    {"VCA ADSR CV Level", "dB", 10, "VCA ADSR CV Level", 0, 0.0f, 1.0f, 0.0f, 0}, // 44
    {"Mixer Pan", "Position", 11, "Mixer Pan", 0, 0.0f, 1.0f, 0.5f, 0}, // 45
    {"Mixer VCF Level", "dB", 11, "Mixer VCF Level", 0, 0.0f, 1.0f, 0.0f, 0}, // 46
    {"Mixer VCA Level", "dB", 11, "Mixer VCA Level", 0, 0.0f, 1.0f, 0.0f, 0}, // 47
    {"Reverb Left Level", "dB", 11, "Reverb Left Level", 0, 0.0f, 1.0f, 0.0f, 0}, // 48
    {"Reverb Right Level", "dB", 11, "Reverb Right Level", 0, 0.0f, 1.0f, 0.0f, 0}, // 49
    {"Noise Generator color", "Color", 12, "Noise Generator Color", 0, 0.0f, 1.0f, 0.5f, 0}, // 50
    {"Noise Generator Level", "Volts", 12, "Noise Generator Level", 0, 0.0f, 10.0f, 5.0f, 0}, // 51
    {"VP -10v Level", "dB", 9, "VP -10v Level", 0, 0.0f, 1.0f, 0.0f, 0}, // 52
    {"VP Kbd CV Level", "dB", 9, "VP Kbd CV Level", 0, 0.0f, 1.0f, 0.0f, 0}, // 53
    {"VP +10v Level", "dB", 9, "VP +10v Level", 0, 0.0f, 1.0f, 0.0f, 0}, // 54
    {"VP Lag Processor EF", "Hz", 9, "VP Lag Processor Hz", 0, 1.0f, 1600.0f, 1.6f, 48}, // 55
    {"Sample and Hold Level", "dB", 7, "Sample and Hold Level", 0, 0.0f, 1.0f, 0.0f, 0}, // 56
    {"Sample and Hold Rate", "dB", 7, "Sample and Hold Rate", 0, 0.01f, 5.0f, 0.5f, 48}, // 57
    {"VCO1 Keybaoard Override", "dB", 1, "VCO1 Keybaoard Override", 2, 0.0f, 1.0f, 1.0f, 0}, // 58
    {"VCO2 Keybaoard Override", "dB", 2, "VCO2 Keybaoard Override", 2, 0.0f, 1.0f, 1.0f, 0}, // 59
    {"VCO3 Keybaoard Override", "dB", 3, "VCO3 Keybaoard Override", 2, 0.0f, 1.0f, 1.0f, 0}, // 60
    {"Ring Modulator Audio-DC Switch", "Audio/DC", 8, "Ring Modulator Audio-DC Switch", 2, 0.0f, 1.0f, 1.0f, 0}, // 61
    {"Keyboard Trigger", "off/on", 14, "Keyboard Trigger", 2, 0.0f, 1.0f, 1.0f, 0}, // 62
    {"Keyboard Repeat", "rpt mode", 14, "Keyboard Repeat", 0, 0.0f, 2.0f, 1.0f, 0}, // 63
    {"Octave Control", "rpt mode", 14, "Octave Control", 0, -2.0f, 2.0f, 0.0f, 0}, // 64
    {"LFO Speed", "Hertz", 13, "LFO Speed", 8, 0.0625f, 100.0f, 2.0f, 48}, // 65
    {"Vibrato Delay", "Seconds", 13, "Vibrato Delay", 4, 0.0f, 10.0f, 2.0f, 0}, // 66
    {"Vibrato Depth", "dB", 13, "Vibrato Depth", 0, 0.01f, 1.01f, 0.01f, 48}, // 67
    {"Portamento Speed", "Seconds", 14, "Portamento Speed", 4, 0.001f, 2.0f, 0.01f, 0}, // 68
    {"Portamento Switch", "off/on", 14, "Portamento Switch", 2, 0.0f, 1.0f, 1.0f, 0}, // 69
    {"Preamp Gain", "dB", 8, "Preamp Gain", 0, 0.0f, 10.0f, 5.0f, 32}, // 70
    {"Pitch Bend", "Volts", 14, "Pitch Bend", 0, -2.0f, 2.0f, 0.0f, 32}, // 71
    {"VCF Keyboard CV Level", "dB", 4, "VCF Keyboard CV Level", 0, 0.0f, 1.0f, 0.0f, 0}, // 72
    {"MIDI Internal Clock Beat Offset", "percent", 15, "MIDI Internal Clock Beat Offset", 0, -0.5f, 0.5f, 0.0f, 0}, // 73
    {"MIDI LFO Clock Beat Offset", "percent", 15, "MIDI LFO Clock Beat Offset", 0, -0.5f, 0.5f, 0.0f, 0}, // 74
    {"Master Volume", "db", 15, "Master Volume", 0, 0.0f, 1.0f, 1.0f, 0}, // 75
    {"Interval Latch", "off/on", 14, "Interval Latch", 2, 0.0f, 1.0f, 1.0f, 0}, // 76
    {"Portamento Trigger", "pushed", 14, "Portamento Trigger", 2, 0.0f, 1.0f, 1.0f, 0}, // 77
    {"Envelope Trigger", "pushed", 5, "Engelope Trigger", 2, 0.0f, 1.0f, 1.0f, 0}, // 78
    {"Power Switch", "pushed", 15, "Power Switch", 2, 0.0f, 1.0f, 1.0f, 0}, // 79
    {"Power Light", "pushed", 15, "Power Light", 2, 0.0f, 1.0f, 1.0f, 0}, // 80
    {"Voices", "Voices", 15, "Voices", 1, 0.0f, 8.0f, 1.0f, 0}, // 81
    {"MIDIInternal Clock Sync", "off/on", 15, "Internal Clock MIDI Sync", 2, 0.0f, 1.0f, 0.0f, 0}, // 82
    {"MIDI Internal Clock Pulses", "ticks", 15, "MIDI Internal Clock Pulses", 1, 1.0f, 100000.0f, 24.0f, 0}, // 83
    {"MIDI LFO Sync", "off/on", 15, "Internal Clock MIDI Sync", 2, 0.0f, 1.0f, 0.0f, 0}, // 84
    {"MIDI LFO Pulses", "ticks", 15, "Internal Clock MIDI Sync", 1, 1.0f, 100000.0f, 24.0f, 0}, // 85
    {"Group List", "Group", 15, "Group List", 1, 0.0f, 8.0f, 1.0f, 0}, // 86
    {"Category List", "Category", 15, "Category List", 1, 0.0f, 8.0f, 1.0f, 0}, // 87
    {"Patch List", "Patch", 15, "Patch List", 1, 0.0f, 8.0f, 1.0f, 0}, // 88
    {"MIDI Led", "Led", 15, "MIDI Led", 2, 0.0f, 1.0f, 1.0f, 0}, // 89
};
// clang-format on

// Jack parameters whose alternate name is not the panel name.
struct AltName {
    int index;
    const char* name;
};
constexpr AltName kJackAltNames[] = {
    {93, "VCO1 S/H Plug"},
    {98, "VCO2 S/H Plug"},
    {103, "VCO3 Noise Gen Plug"},
    {169, "Triangle LFO Out  Plug"},
    {171, "Delayed Sine LFO Out  Plug"},
};

constexpr std::array<ParameterInfo, kParamCount + 1> buildTable() {
    std::array<ParameterInfo, kParamCount + 1> t{}; // the last record stays all-zero
    for (int i = 0; i < kFixedCount; ++i) t[i] = kFixed[i];
    for (int j = 1; j <= kJackCount; ++j) {
        const char* name = kJackTable[j].name;
        t[kFirstJackParam - 1 + j] = {name, "Plug", 15, name, kKindInteger, 0.0f, 89.0f, 0.0f, 0};
    }
    for (const AltName& a : kJackAltNames) t[a.index].altName = a.name;
    return t;
}

constexpr auto kParams = buildTable();

constexpr FourCC kFixedCodes[kFixedCount] = {
    fourcc("Key "), // 0
    0,              // 1: none
    fourcc("env1"), // 2
    fourcc("rng1"), // 3
    fourcc("rng2"), // 4
    fourcc("vo1c"), // 5
    fourcc("vo1f"), // 6
    fourcc("vo1s"), // 7
    fourcc("vo1a"), // 8
    fourcc("vo12"), // 9
    fourcc("vo2c"), // 10
    fourcc("vo2f"), // 11
    fourcc("vo2p"), // 12
    fourcc("vo2s"), // 13
    fourcc("vo2a"), // 14
    fourcc("vo21"), // 15
    fourcc("vo2m"), // 16
    fourcc("vo3c"), // 17
    fourcc("vo3f"), // 18
    fourcc("vo3p"), // 19
    fourcc("vo3n"), // 20
    fourcc("vo3a"), // 21
    fourcc("vo32"), // 22
    fourcc("vffc"), // 23
    fourcc("vfff"), // 24
    fourcc("vffr"), // 25
    fourcc("vfrg"), // 26
    fourcc("vfo1"), // 27
    fourcc("vfo2"), // 28
    fourcc("vfo3"), // 29
    fourcc("vfng"), // 30
    fourcc("vfad"), // 31
    fourcc("vfm2"), // 32
    fourcc("enva"), // 33
    fourcc("envd"), // 34
    fourcc("envs"), // 35
    fourcc("envr"), // 36
    fourcc("eara"), // 37
    fourcc("shgt"), // 38
    fourcc("earr"), // 39
    fourcc("vaig"), // 40
    fourcc("vavf"), // 41
    fourcc("varg"), // 42
    fourcc("vaar"), // 43
    fourcc("vaad"), // 44
    fourcc("mxpn"), // 45
    fourcc("mxvf"), // 46
    fourcc("mxva"), // 47
    fourcc("mxrl"), // 48
    fourcc("mxrr"), // 49
    fourcc("ngcl"), // 50
    fourcc("nglv"), // 51
    fourcc("vpmv"), // 52
    fourcc("vpkb"), // 53
    fourcc("vppv"), // 54
    fourcc("vpef"), // 55
    fourcc("shlv"), // 56
    fourcc("shrt"), // 57
    fourcc("kbd1"), // 58
    fourcc("kbd2"), // 59
    fourcc("kbd3"), // 60
    fourcc("audc"), // 61
    fourcc("ktrg"), // 62
    fourcc("krpt"), // 63
    fourcc("octv"), // 64
    fourcc("lfos"), // 65
    fourcc("vibd"), // 66
    fourcc("vibp"), // 67
    fourcc("port"), // 68
    fourcc("prto"), // 69
    fourcc("pgan"), // 70
    fourcc("pbnd"), // 71
    fourcc("vfkb"), // 72
    fourcc("miof"), // 73
    fourcc("mlof"), // 74
    fourcc("mvol"), // 75
    fourcc("klch"), // 76
    fourcc("ptrg"), // 77
    fourcc("etrg"), // 78
    fourcc("powr"), // 79
    fourcc("lght"), // 80
    fourcc("vcss"), // 81
    fourcc("miis"), // 82
    fourcc("miip"), // 83
    fourcc("mils"), // 84
    fourcc("milp"), // 85
    fourcc("grup"), // 86
    fourcc("ctgy"), // 87
    fourcc("ptch"), // 88
    fourcc("mled"), // 89
};

constexpr std::array<FourCC, kParamCount> buildCodes() {
    std::array<FourCC, kParamCount> c{};
    for (int i = 0; i < kFixedCount; ++i) c[i] = kFixedCodes[i];
    for (int j = 1; j <= kJackCount; ++j) c[kFirstJackParam - 1 + j] = kJackTable[j].code;
    return c;
}

constexpr auto kCodes = buildCodes();

constexpr int kDisplayKindCount = 76;
// clang-format off
constexpr int kDisplayKinds[kDisplayKindCount] = {
    -1, -1, 1, 1, 1, 0, 4, 6, 6, 6, // 0
    0, 4, 5, 6, 6, 6, 1, 0, 4, 5, // 10
    6, 6, 6, 0, 4, 7, 1, 1, 1, 1, // 20
    1, 1, 1, 3, 3, 2, 3, 3, -1, 3, // 30
    1, 1, 1, 1, 1, 8, 1, 1, 1, 1, // 40
    9, 11, 1, 1, 1, 12, 1, 13, -1, -1, // 50
    -1, -1, -1, -1, -1, 12, 14, 6, 14, -1, // 60
    -1, 10, 1, 5, 5, 1, // 70
};
// clang-format on

constexpr ParamStorage storageOf(int i) {
    if (i >= kFirstJackParam) return ParamStorage::Jack;
    if (i >= 82) return ParamStorage::NotStored;
    if (i == 38 || (i >= 58 && i <= 62) || i == 69 || i >= 76) return ParamStorage::Integer;
    return ParamStorage::Float;
}

constexpr std::array<ParamStorage, kParamCount> buildStorage() {
    std::array<ParamStorage, kParamCount> s{};
    for (int i = 0; i < kParamCount; ++i) s[i] = storageOf(i);
    return s;
}

constexpr auto kStorage = buildStorage();

// Consumers walk the table until the first record with minimum = maximum = 0, so no
// real record may look like the terminator.
constexpr int countRecords() {
    int n = 0;
    while (!(kParams[n].minimum == 0.0f && kParams[n].maximum == 0.0f)) ++n;
    return n;
}
static_assert(countRecords() == kParamCount);

constexpr bool defaultsInRange() {
    for (int i = 0; i < kParamCount; ++i) {
        const ParameterInfo& p = kParams[i];
        if (p.defaultValue < p.minimum || p.defaultValue > p.maximum) return false;
    }
    return true;
}
static_assert(defaultsInRange());

bool validIndex(int index) {
    return index >= 0 && index < kParamCount;
}

// Engine values that are not finite are shown and converted as the parameter's
// default: they can only come from bad input, and the default is always in range.
double sanitized(int index, float v) {
    return std::isfinite(v) ? double(v) : double(kParams[index].defaultValue);
}

double engineValue(const float* values, int index) {
    if (values == nullptr) return kParams[index].defaultValue;
    return sanitized(index, values[index]);
}

enum class Text { Value, Range, Tip };

constexpr std::size_t kTextSize = 256;

// The oscillator and filter frequency controls: coarse and fine sliders and the
// keyboard switch that picks the oscillator's range (-1: the filter, always audio).
struct FrequencyControls {
    int coarse;
    int fine;
    int rangeSwitch;
};
constexpr FrequencyControls kFrequencyControls[] = {
    {5, 6, 58},
    {10, 11, 59},
    {17, 18, 60},
    {23, 24, -1},
};

constexpr double kAudioBase = 10.0;
constexpr double kLowBase = 0.03;
constexpr double kMaxFrequency = 20000.0;

// Frequency of a coarse/fine pair, with the control being shown taken from `v` and its
// sibling from the engine values, so that a slider being dragged reads its own value.
double frequencyOf(int index, double v, const float* values, double* voltsOut) {
    for (const FrequencyControls& fc : kFrequencyControls) {
        if (index != fc.coarse && index != fc.fine) continue;
        double coarse = index == fc.coarse ? v : engineValue(values, fc.coarse);
        double fine = index == fc.fine ? v : engineValue(values, fc.fine);
        double volts = 10.0 * coarse + (fine - 0.5);
        bool audio = fc.rangeSwitch < 0 || engineValue(values, fc.rangeSwitch) > 0.5;
        double f = std::pow(2.0, volts) * (audio ? kAudioBase : kLowBase);
        if (!(f <= kMaxFrequency)) f = kMaxFrequency;
        *voltsOut = volts;
        return f;
    }
    *voltsOut = 0.0;
    return 0.0;
}

std::string frequencyText(int index, double v, double shown, const float* values, Text t) {
    char buf[kTextSize];
    if (t == Text::Value) {
        std::snprintf(buf, sizeof buf, "%2.5f Vv", shown);
        return buf;
    }
    double volts = 0.0;
    double f = frequencyOf(index, v, values, &volts);
    if (t == Text::Range)
        std::snprintf(buf, sizeof buf, "%5.3f Hz\r%2.5f Vv", f, v);
    else
        std::snprintf(buf, sizeof buf, "%5.3f Hz : %2.4f Vv", f, volts);
    return buf;
}

std::string levelText(double u, Text t) {
    if (!(u > 0.0)) return "-200 dB Attenuation";
    char buf[kTextSize];
    double db = 20.0 * std::log10(u);
    if (t == Text::Value)
        std::snprintf(buf, sizeof buf, "%3.4f dB Attenuation", db);
    else
        std::snprintf(buf, sizeof buf, "%3.2f dB Attenuation", db);
    return buf;
}

std::string panText(double v) {
    if (v == 0.0) return "100% Left";
    if (v == 1.0) return "100% Right";
    double left = v <= 0.5 ? 1.0 : std::cos((v - 0.5) * std::numbers::pi);
    double right = v >= 0.5 ? 1.0 : std::cos((0.5 - v) * std::numbers::pi);
    char leftText[kTextSize];
    std::snprintf(leftText, sizeof leftText, "%2.1f", 100.0 * left);
    char buf[2 * kTextSize];
    std::snprintf(buf, sizeof buf, "%s%% Left  %2.1f%% Right", leftText, 100.0 * right);
    return buf;
}

std::string noiseColourText(double v) {
    if (v == 0.0) return "100% White";
    if (v == 1.0) return "100% Red";
    char white[kTextSize];
    std::snprintf(white, sizeof white, "%2.2f%% White ", 100.0 * (1.0 - v));
    char buf[2 * kTextSize];
    std::snprintf(buf, sizeof buf, "%s%2.2f%% Red", white, 100.0 * v);
    return buf;
}

std::string displayText(int index, float value, const float* values, Text t) {
    if (!validIndex(index)) return {};
    double v = sanitized(index, value);
    char buf[kTextSize];
    switch (displayKind(index)) {
    case 0:
        return frequencyText(index, v, 10.0 * v, values, t);
    case 1:
        return levelText(v, t);
    case 2:
        std::snprintf(buf, sizeof buf, "%2.4f Vv", v);
        break;
    case 3:
        // The time sliders read long times through this divisor; it is part of how
        // the panel has always labelled them.
        std::snprintf(buf, sizeof buf, "%2.4f seconds", v > 1.0 ? v / 1.73 : v);
        break;
    case 4:
        return frequencyText(index, v, v, values, t);
    case 5:
        std::snprintf(buf, sizeof buf, "%2.4f%%", 100.0 * v);
        break;
    case 6: {
        // These levels start at 0.01 so that the slider's bottom is level 0.
        double u = v - 0.01;
        if (!(u > 0.0)) return "-200 dB Attenuation";
        double db = 20.0 * std::log10(u);
        // Keeps the top of the slider from reading "-0.00".
        if (std::fabs(db) < 0.0001) db = std::fabs(db);
        std::snprintf(buf, sizeof buf, "%3.2f dB Attenuation", db);
        break;
    }
    case 7:
        if (t == Text::Tip)
            std::snprintf(buf, sizeof buf, "%2.5f Q", v);
        else
            std::snprintf(buf, sizeof buf, "%2.4f Q", v);
        break;
    case 8:
        return panText(v);
    case 9:
        return noiseColourText(v);
    case 11:
        return levelText(0.1 * v - 0.01, t);
    case 12:
        std::snprintf(buf, sizeof buf, "%5.3f Hz", v);
        break;
    case 13:
        // The value is the clock period; a zero period shows as an infinite rate.
        std::snprintf(buf, sizeof buf, "%5.3f Hz",
                      v != 0.0 ? 1.0 / v : std::numeric_limits<double>::infinity());
        break;
    case 14:
        std::snprintf(buf, sizeof buf, "%2.4f seconds", v);
        break;
    default: // kind 10 and parameters without a display formula
        std::snprintf(buf, sizeof buf, "%f", v);
        break;
    }
    return buf;
}

} // namespace

const ParameterInfo* parameterTable() {
    return kParams.data();
}

const ParameterInfo& parameterInfo(int index) {
    // Out-of-range indices get the placeholder record, which has no effect anywhere.
    return validIndex(index) ? kParams[index] : kParams[0];
}

FourCC parameterCode(int index) {
    return validIndex(index) ? kCodes[index] : 0;
}

int displayKind(int index) {
    return index >= 0 && index < kDisplayKindCount ? kDisplayKinds[index] : -1;
}

ParamStorage parameterStorage(int index) {
    return validIndex(index) ? kStorage[index] : ParamStorage::NotStored;
}

int findParameter(FourCC code, int hint) {
    if (code == 0) return -1; // index 1 has no code and must not be found by one
    if (validIndex(hint) && kCodes[hint] == code) return hint;
    for (int i = 0; i < kParamCount; ++i)
        if (kCodes[i] == code) return i;
    return -1;
}

int findParameterByName(const char* text) {
    if (text == nullptr || *text == '\0') return -1;
    bool digits = true;
    int length = 0;
    int number = 0;
    for (const char* p = text; *p; ++p, ++length) {
        if (*p < '0' || *p > '9') {
            digits = false;
        } else if (digits && number < kParamCount) {
            number = number * 10 + (*p - '0'); // stops growing once past the last index
        }
    }
    if (digits) return number < kParamCount ? number : -1;
    if (length != 4) return -1;
    return findParameter(fourccFromText(text));
}

float hostToEngine(int index, float host) {
    if (!validIndex(index)) return 0.0f;
    const ParameterInfo& p = kParams[index];
    if (!std::isfinite(host)) return p.defaultValue;
    float engine =
        index >= kFirstJackParam ? host * 1000.0f : p.minimum + (p.maximum - p.minimum) * host;
    return std::isfinite(engine) ? engine : p.defaultValue;
}

float engineToHost(int index, float engine) {
    if (!validIndex(index)) return 0.0f;
    const ParameterInfo& p = kParams[index];
    if (!std::isfinite(engine)) engine = p.defaultValue;
    if (index >= kFirstJackParam) return engine / 1000.0f;
    // A range without width cannot be normalised; the value passes through as it is.
    if (p.maximum == p.minimum) return engine;
    return (engine - p.minimum) / (p.maximum - p.minimum);
}

int jackFromValue(float v) {
    if (!(v > 0.0f)) return 0;
    // Host values carry the jack number / 1000; rounding keeps 0.057 on jack 57.
    const long j = std::lround(double(v));
    return j >= 1 && j <= kJackCount ? int(j) : 0;
}

float storedEngineValue(int index, float v) {
    if (!validIndex(index)) return 0.0f;
    const ParameterInfo& p = kParams[index];
    if (!std::isfinite(v)) return p.defaultValue;
    if (index >= kFirstJackParam) return float(jackFromValue(v));
    return p.maximum > p.minimum ? std::clamp(v, p.minimum, p.maximum) : v;
}

int storedInteger(int index, float v) {
    switch (index) {
    case kParamPortamentoSwitch: // glides below 0.5
        return v >= 0.5f ? 1 : 0;
    case kParamIntervalLatch: // latches at any value but 0
        return v != 0.0f ? 1 : 0;
    case kParamVoices:
        return int(v);
    default:
        // Every other integer-stored parameter is a switch that is on above 0.5.
        return v > 0.5f ? 1 : 0;
    }
}

std::string valueText(int index, float v, const float* values) {
    return displayText(index, v, values, Text::Value);
}

std::string valueTextWithRange(int index, float v, const float* values) {
    return displayText(index, v, values, Text::Range);
}

std::string tipText(int index, float v, const float* values) {
    return displayText(index, v, values, Text::Tip);
}

} // namespace moraine
