#include "patch/ParameterTable.h"

#include "engine/graph/JackTable.h"

#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <cmath>
#include <cstring>
#include <limits>
#include <set>
#include <string>

namespace moraine {
namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

// An engine-value array as the plug-in keeps it: every parameter at its default.
std::array<float, kEngineValueCount> defaultValues() {
    std::array<float, kEngineValueCount> v{};
    for (int i = 0; i < kParamCount; ++i) v[i] = parameterInfo(i).defaultValue;
    return v;
}

// ---- The records -------------------------------------------------------------------

TEST(ParameterTable, EveryRecordIsUsableAndAZeroRecordEndsTheTable) {
    const ParameterInfo* table = parameterTable();
    ASSERT_NE(table, nullptr);
    int count = 0;
    while (!(table[count].minimum == 0.0f && table[count].maximum == 0.0f)) ++count;
    EXPECT_EQ(count, kParamCount);
    const ParameterInfo& end = table[kParamCount];
    EXPECT_TRUE(!end.name && !end.label && !end.altName && end.group == 0 && end.kind == 0 &&
                end.defaultValue == 0.0f && end.flags == 0);
    for (int i = 0; i < kParamCount; ++i) {
        SCOPED_TRACE(i);
        const ParameterInfo& p = parameterInfo(i);
        EXPECT_EQ(&p, table + i);
        ASSERT_TRUE(p.name && p.label && p.altName);
        EXPECT_GT(std::strlen(p.name), 0u);
        EXPECT_LE(std::strlen(p.name), 52u);
        EXPECT_LE(std::strlen(p.altName), 52u);
        EXPECT_LE(std::strlen(p.label), 32u);
        EXPECT_TRUE(p.group >= 1 && p.group <= 15);
        EXPECT_LT(p.minimum, p.maximum);
        EXPECT_TRUE(p.defaultValue >= p.minimum && p.defaultValue <= p.maximum);
        // Every logarithmic parameter is also marked frequency-like.
        EXPECT_TRUE(!(p.flags & kFlagLogarithmic) || (p.flags & kFlagFrequencyLike));
    }
    // Indices outside the table answer the placeholder.
    for (int i : {-1, kParamCount, 1000, INT_MIN, INT_MAX}) {
        SCOPED_TRACE(i);
        EXPECT_EQ(&parameterInfo(i), &parameterInfo(0));
        EXPECT_EQ(parameterCode(i), 0u);
        EXPECT_EQ(displayKind(i), -1);
        EXPECT_EQ(parameterStorage(i), ParamStorage::NotStored);
    }
}

TEST(ParameterTable, NamesKeepTheirSpelling) {
    struct Case {
        int index;
        const char* name;
        const char* altName;
    };
    const Case cases[] = {
        {0, "Place Holder", "Place Holder"},
        {26, "VCF Ring Mod Level", "VCF Ringmod Level"},
        {50, "Noise Generator color", "Noise Generator Color"},
        {55, "VP Lag Processor EF", "VP Lag Processor Hz"},
        {58, "VCO1 Keybaoard Override", "VCO1 Keybaoard Override"},
        {59, "VCO2 Keybaoard Override", "VCO2 Keybaoard Override"},
        {60, "VCO3 Keybaoard Override", "VCO3 Keybaoard Override"},
        {78, "Envelope Trigger", "Engelope Trigger"},
        {82, "MIDIInternal Clock Sync", "Internal Clock MIDI Sync"},
        {84, "MIDI LFO Sync", "Internal Clock MIDI Sync"},
        {85, "MIDI LFO Pulses", "Internal Clock MIDI Sync"},
        {93, "VCO1 S/H CV Plug", "VCO1 S/H Plug"},
        {98, "VCO2 S/H CV Plug", "VCO2 S/H Plug"},
        {103, "VCO3 Noise Gen CV Plug", "VCO3 Noise Gen Plug"},
        {169, "Triangle LFO Out Plug", "Triangle LFO Out  Plug"},
        {171, "Delayed Sine LFO Out Plug", "Delayed Sine LFO Out  Plug"},
        {178, "Multiple 4 Plug", "Multiple 4 Plug"},
    };
    // Where no case says otherwise, the alternate name is the name.
    std::set<int> differing;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.index);
        EXPECT_STREQ(parameterInfo(c.index).name, c.name);
        EXPECT_STREQ(parameterInfo(c.index).altName, c.altName);
        if (std::strcmp(c.name, c.altName) != 0) differing.insert(c.index);
    }
    for (int i = 0; i < kParamCount; ++i) {
        const ParameterInfo& p = parameterInfo(i);
        EXPECT_EQ(std::strcmp(p.name, p.altName) != 0, differing.count(i) == 1) << i;
    }
    EXPECT_STREQ(parameterInfo(38).label, "");
    EXPECT_STREQ(parameterInfo(75).label, "db");
    EXPECT_STREQ(parameterInfo(57).label, "dB"); // displayed in Hz all the same
}

TEST(ParameterTable, KindMarkersOnTimingControls) {
    EXPECT_EQ(parameterInfo(65).kind, 8); // LFO Speed
    EXPECT_EQ(parameterInfo(66).kind, 4); // Vibrato Delay
    EXPECT_EQ(parameterInfo(68).kind, 4); // Portamento Speed
}

TEST(ParameterTable, JackParametersFollowTheJackTable) {
    for (int j = 1; j <= kJackCount; ++j) {
        int index = kFirstJackParam - 1 + j;
        SCOPED_TRACE(index);
        const ParameterInfo& p = parameterInfo(index);
        EXPECT_STREQ(p.name, jackInfo(j).name);
        EXPECT_STREQ(p.label, "Plug");
        EXPECT_EQ(p.group, 15);
        EXPECT_EQ(p.kind, kKindInteger);
        EXPECT_EQ(p.minimum, 0.0f);
        EXPECT_EQ(p.maximum, 89.0f);
        EXPECT_EQ(p.defaultValue, 0.0f);
        EXPECT_EQ(p.flags, 0);
        EXPECT_EQ(parameterCode(index), jackInfo(j).code);
        EXPECT_EQ(displayKind(index), -1);
    }
}

// ---- Codes and look-up -------------------------------------------------------------

TEST(ParameterTable, CodesAreUniqueAndFindTheirParameter) {
    std::set<FourCC> seen;
    for (int i = 0; i < kParamCount; ++i) {
        SCOPED_TRACE(i);
        FourCC code = parameterCode(i);
        if (i == 1) {
            EXPECT_EQ(code, 0u); // "Master Bypass" has no code
            continue;
        }
        EXPECT_NE(code, 0u);
        EXPECT_TRUE(seen.insert(code).second) << fourccText(code) << " repeated";
        EXPECT_EQ(findParameter(code), i);
    }
    EXPECT_EQ(parameterCode(0), fourcc("Key "));
    EXPECT_EQ(parameterCode(5), fourcc("vo1c"));
    EXPECT_EQ(parameterCode(107), fourcc("pl18"));
    EXPECT_EQ(findParameter(0), -1); // would otherwise find the code-less index 1
    EXPECT_EQ(findParameter(fourcc("zzzz")), -1);
    EXPECT_EQ(findParameter(fourcc("noco")), -1);
    EXPECT_EQ(findParameter(fourccFromText("Key")), -1); // no trailing space
}

TEST(ParameterTable, FindParameterByName) {
    struct Case {
        const char* text;
        int index;
    };
    const Case cases[] = {
        {"vo1c", 5},   {"33", 33},    {"0", 0},
        {"178", 178},  {"033", 33},   {"Key ", 0},
        {"pl18", 107}, {"mlt4", 178}, {"zzzz", -1},
        {"", -1},      {"179", -1},   {"-1", -1},
        {"vo1", -1},   {"vo1cx", -1}, {"noco", -1},
        {" 33", -1},   {"3 3", -1},   {"99999999999999999999999", -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string("\"") + c.text + "\"");
        EXPECT_EQ(findParameterByName(c.text), c.index);
    }
    EXPECT_EQ(findParameterByName(nullptr), -1);
}

// ---- Storage and display kinds -----------------------------------------------------

TEST(ParameterTable, StorageClasses) {
    const std::set<int> integers = {38, 58, 59, 60, 61, 62, 69, 76, 77, 78, 79, 80, 81};
    for (int i = 0; i < kParamCount; ++i) {
        SCOPED_TRACE(i);
        ParamStorage expected = i >= kFirstJackParam ? ParamStorage::Jack
                                : i >= 82            ? ParamStorage::NotStored
                                : integers.count(i)  ? ParamStorage::Integer
                                                     : ParamStorage::Float;
        EXPECT_EQ(parameterStorage(i), expected);
    }
}

TEST(ParameterTable, DisplayKindsCoverOnlyTheFirst76) {
    std::set<int> kinds;
    for (int i = 0; i < kParamCount; ++i) {
        int k = displayKind(i);
        if (i >= 76) {
            EXPECT_EQ(k, -1) << i;
        }
        if (k >= 0) kinds.insert(k);
        EXPECT_GE(k, -1);
        EXPECT_LE(k, 14);
    }
    EXPECT_EQ(kinds.size(), 15u); // every formula is used somewhere
    EXPECT_EQ(displayKind(0), -1);
    EXPECT_EQ(displayKind(5), 0);
    EXPECT_EQ(displayKind(75), 1);
}

// ---- Host and engine values --------------------------------------------------------

TEST(ParameterTable, HostEngineHostRoundTrip) {
    for (int i = 0; i < kParamCount; ++i) {
        SCOPED_TRACE(i);
        if (i >= kFirstJackParam) {
            for (int j = 0; j <= kJackCount; ++j) {
                float host = float(j) / 1000.0f;
                EXPECT_FLOAT_EQ(engineToHost(i, hostToEngine(i, host)), host);
            }
            continue;
        }
        const ParameterInfo& p = parameterInfo(i);
        EXPECT_FLOAT_EQ(hostToEngine(i, 0.0f), p.minimum);
        EXPECT_FLOAT_EQ(hostToEngine(i, 1.0f), p.maximum);
        for (float host : {0.0f, 0.25f, 0.5f, 0.75f, 1.0f}) {
            SCOPED_TRACE(host);
            EXPECT_NEAR(engineToHost(i, hostToEngine(i, host)), host, 1e-6);
        }
        EXPECT_NEAR(engineToHost(i, p.defaultValue),
                    (p.defaultValue - p.minimum) / (p.maximum - p.minimum), 1e-6);
    }
}

TEST(ParameterTable, AttackTimeExample) {
    float engine = hostToEngine(33, 0.5f);
    EXPECT_NEAR(engine, 50.0015, 1e-4);
    EXPECT_FLOAT_EQ(engineToHost(33, engine), 0.5f);
}

// The cord code reads the integer part of the engine value, so the host value J / 1000
// must come back as a value whose integer part is J, not J - 1.
TEST(ParameterTable, JackHostValuesGiveWholeJackNumbers) {
    float engine = hostToEngine(107, 0.057f);
    EXPECT_EQ(engine, 57.0f);
    EXPECT_EQ(std::lround(engine), 57);
    EXPECT_FLOAT_EQ(engineToHost(107, 57.0f), 0.057f);
    for (int j = 0; j <= kJackCount; ++j) {
        SCOPED_TRACE(j);
        EXPECT_EQ(int(hostToEngine(kFirstJackParam, float(j) / 1000.0f)), j);
    }
}

TEST(ParameterTable, ConversionsOfBadInput) {
    for (int i : {-1, kParamCount, INT_MIN, INT_MAX}) {
        SCOPED_TRACE(i);
        EXPECT_EQ(hostToEngine(i, 0.5f), 0.0f);
        EXPECT_EQ(engineToHost(i, 0.5f), 0.0f);
    }
    // Values that are not numbers fall back to the parameter's default.
    for (int i : {0, 5, 33, 83, 107, 178}) {
        SCOPED_TRACE(i);
        const ParameterInfo& p = parameterInfo(i);
        float defaultHost = engineToHost(i, p.defaultValue);
        for (float bad : {kNaN, kInf, -kInf}) {
            EXPECT_EQ(hostToEngine(i, bad), p.defaultValue);
            EXPECT_EQ(engineToHost(i, bad), defaultHost);
        }
        // A finite host value so large that the engine value overflows.
        EXPECT_TRUE(std::isfinite(hostToEngine(i, std::numeric_limits<float>::max())));
    }
}

TEST(ParameterTable, ValuesOutsideTheRangeAreNotClamped) {
    // Host automation outside 0..1 converts by the same straight line; applying the
    // value is where limits belong.
    EXPECT_FLOAT_EQ(hostToEngine(35, 1.5f), 15.0f);
    EXPECT_FLOAT_EQ(engineToHost(35, -10.0f), -1.0f);
    EXPECT_FLOAT_EQ(hostToEngine(100, 0.2f), 200.0f);
}

// ---- Display texts -----------------------------------------------------------------

struct DisplayCase {
    int index;
    float v;
    const char* value;
    const char* withRange;
    const char* tip;
};

void expectTexts(const DisplayCase& c, const float* values) {
    SCOPED_TRACE(testing::Message() << "index " << c.index << " v " << c.v);
    EXPECT_EQ(valueText(c.index, c.v, values), c.value);
    EXPECT_EQ(valueTextWithRange(c.index, c.v, values), c.withRange);
    EXPECT_EQ(tipText(c.index, c.v, values), c.tip);
}

TEST(ParameterDisplay, OneSamplePerKind) {
    const DisplayCase cases[] = {
        // 0: coarse frequency, default fine 0.5 and audio range: 2 V is 40 Hz. With range
        // shows the slider value itself, the value text ten times it.
        {5, 0.2f, "2.00000 Vv", "40.000 Hz\r0.20000 Vv", "40.000 Hz : 2.0000 Vv"},
        // 1: level
        {2, 0.5f, "-6.0206 dB Attenuation", "-6.02 dB Attenuation", "-6.02 dB Attenuation"},
        {2, 1.0f, "0.0000 dB Attenuation", "0.00 dB Attenuation", "0.00 dB Attenuation"},
        {2, 0.0f, "-200 dB Attenuation", "-200 dB Attenuation", "-200 dB Attenuation"},
        // 2: sustain
        {35, 4.0f, "4.0000 Vv", "4.0000 Vv", "4.0000 Vv"},
        // 3: envelope times, long ones divided by 1.73
        {33, 0.5f, "0.5000 seconds", "0.5000 seconds", "0.5000 seconds"},
        {33, 1.0f, "1.0000 seconds", "1.0000 seconds", "1.0000 seconds"},
        {39, 1.73f, "1.0000 seconds", "1.0000 seconds", "1.0000 seconds"},
        // 4: fine frequency, default coarse 0.2: 2.25 V
        {6, 0.75f, "0.75000 Vv", "47.568 Hz\r0.75000 Vv", "47.568 Hz : 2.2500 Vv"},
        // 5: pulse widths and beat offsets
        {12, 0.5f, "50.0000%", "50.0000%", "50.0000%"},
        {73, -0.25f, "-25.0000%", "-25.0000%", "-25.0000%"},
        // 6: levels whose range starts at 0.01
        {7, 0.51f, "-6.02 dB Attenuation", "-6.02 dB Attenuation", "-6.02 dB Attenuation"},
        {7, 0.01f, "-200 dB Attenuation", "-200 dB Attenuation", "-200 dB Attenuation"},
        // 7: resonance, one more digit in the tip
        {25, 0.5f, "0.5000 Q", "0.5000 Q", "0.50000 Q"},
        // 8: pan
        {45, 0.75f, "70.7% Left  100.0% Right", "70.7% Left  100.0% Right",
         "70.7% Left  100.0% Right"},
        {45, 0.25f, "100.0% Left  70.7% Right", "100.0% Left  70.7% Right",
         "100.0% Left  70.7% Right"},
        {45, 0.5f, "100.0% Left  100.0% Right", "100.0% Left  100.0% Right",
         "100.0% Left  100.0% Right"},
        {45, 0.0f, "100% Left", "100% Left", "100% Left"},
        {45, 1.0f, "100% Right", "100% Right", "100% Right"},
        // 9: noise colour
        {50, 0.25f, "75.00% White 25.00% Red", "75.00% White 25.00% Red",
         "75.00% White 25.00% Red"},
        {50, 0.0f, "100% White", "100% White", "100% White"},
        {50, 1.0f, "100% Red", "100% Red", "100% Red"},
        // 10: pitch bend
        {71, -0.5f, "-0.500000", "-0.500000", "-0.500000"},
        // 11: noise level, a level of 0.1 v - 0.01
        {51, 5.0f, "-6.1961 dB Attenuation", "-6.20 dB Attenuation", "-6.20 dB Attenuation"},
        {51, 10.0f, "-0.0873 dB Attenuation", "-0.09 dB Attenuation", "-0.09 dB Attenuation"},
        {51, 0.0f, "-200 dB Attenuation", "-200 dB Attenuation", "-200 dB Attenuation"},
        // 12: rates
        {55, 1.6f, "1.600 Hz", "1.600 Hz", "1.600 Hz"},
        {65, 100.0f, "100.000 Hz", "100.000 Hz", "100.000 Hz"},
        // 13: sample-and-hold period shown as a rate
        {57, 0.5f, "2.000 Hz", "2.000 Hz", "2.000 Hz"},
        // 14: vibrato delay and portamento time
        {66, 2.0f, "2.0000 seconds", "2.0000 seconds", "2.0000 seconds"},
        {68, 0.01f, "0.0100 seconds", "0.0100 seconds", "0.0100 seconds"},
        // no formula: the engine value as it is
        {63, 1.0f, "1.000000", "1.000000", "1.000000"},
        {107, 57.0f, "57.000000", "57.000000", "57.000000"},
    };
    auto values = defaultValues();
    for (const DisplayCase& c : cases) expectTexts(c, values.data());
}

TEST(ParameterDisplay, ControlVoltageLevelNeverShowsMinusZero) {
    // 1.01 - 0.01 falls a hair short of 1, i.e. about -8e-8 dB: printed as 0.00, not -0.00.
    EXPECT_EQ(valueText(7, 1.01f, nullptr), "0.00 dB Attenuation");
    EXPECT_EQ(tipText(67, 1.01f, nullptr), "0.00 dB Attenuation");
    // Only magnitudes below 0.0001 dB are folded; a real attenuation keeps its sign.
    EXPECT_EQ(valueText(7, 1.0099f, nullptr), "-0.00 dB Attenuation");
}

TEST(ParameterDisplay, OscillatorRangeComesFromItsOwnKeyboardSwitch) {
    auto values = defaultValues();
    values[58] = 0.0f; // VCO1 low range
    values[59] = 1.0f; // VCO2 audio range
    values[60] = 0.0f; // VCO3 low range
    expectTexts({5, 0.2f, "2.00000 Vv", "0.120 Hz\r0.20000 Vv", "0.120 Hz : 2.0000 Vv"},
                values.data());
    expectTexts({10, 0.2f, "2.00000 Vv", "40.000 Hz\r0.20000 Vv", "40.000 Hz : 2.0000 Vv"},
                values.data());
    values[17] = 0.5f;
    expectTexts({18, 0.75f, "0.75000 Vv", "1.142 Hz\r0.75000 Vv", "1.142 Hz : 5.2500 Vv"},
                values.data());
    // The switch counts as audio only above one half.
    values[58] = 0.5f;
    EXPECT_EQ(tipText(6, 0.5f, values.data()), "0.120 Hz : 2.0000 Vv");
    values[58] = 0.51f;
    EXPECT_EQ(tipText(6, 0.5f, values.data()), "40.000 Hz : 2.0000 Vv");
}

TEST(ParameterDisplay, FilterIsAlwaysInTheAudioRange) {
    auto values = defaultValues();
    values[58] = values[59] = values[60] = 0.0f;
    values[24] = 0.5f;
    EXPECT_EQ(tipText(23, 1.0f, values.data()), "10240.000 Hz : 10.0000 Vv");
    EXPECT_EQ(valueTextWithRange(23, 0.0f, values.data()), "10.000 Hz\r0.00000 Vv");
    values[23] = 0.3f;
    EXPECT_EQ(tipText(24, 1.0f, values.data()), "113.137 Hz : 3.5000 Vv");
}

TEST(ParameterDisplay, FrequencyIsLimitedTo20kHz) {
    auto values = defaultValues();
    EXPECT_EQ(tipText(5, 1.2f, values.data()), "20000.000 Hz : 12.0000 Vv");
    EXPECT_EQ(valueTextWithRange(10, 1.2f, values.data()), "20000.000 Hz\r1.20000 Vv");
}

TEST(ParameterDisplay, BadInputGivesTextNotACrash) {
    // No value array: the sibling control and the switch are taken at their defaults.
    EXPECT_EQ(tipText(5, 0.2f, nullptr), "40.000 Hz : 2.0000 Vv");
    EXPECT_EQ(tipText(24, 0.5f, nullptr), "10.000 Hz : 0.0000 Vv");
    // A value that is not a number is shown as the parameter's default.
    EXPECT_EQ(valueText(33, kNaN, nullptr), "0.1000 seconds");
    EXPECT_EQ(valueText(45, kInf, nullptr), "100.0% Left  100.0% Right");
    EXPECT_EQ(tipText(5, -kInf, nullptr), "40.000 Hz : 2.0000 Vv");
    // Same for a sibling value that is not a number.
    auto values = defaultValues();
    values[6] = kNaN;
    values[58] = kNaN;
    EXPECT_EQ(tipText(5, 0.2f, values.data()), "40.000 Hz : 2.0000 Vv");
    // Out-of-range indices answer empty texts.
    for (int i : {-1, kParamCount, INT_MAX, INT_MIN}) {
        SCOPED_TRACE(i);
        EXPECT_EQ(valueText(i, 0.5f, nullptr), "");
        EXPECT_EQ(valueTextWithRange(i, 0.5f, nullptr), "");
        EXPECT_EQ(tipText(i, 0.5f, nullptr), "");
    }
    // A zero clock period has no finite rate.
    EXPECT_EQ(valueText(57, 0.0f, nullptr), "  inf Hz");
    // Extreme finite values still fit the text buffers.
    float huge = std::numeric_limits<float>::max();
    EXPECT_FALSE(valueText(63, huge, nullptr).empty());
    EXPECT_FALSE(valueText(50, -huge, nullptr).empty());
    EXPECT_FALSE(valueText(45, huge, nullptr).empty());
    EXPECT_FALSE(tipText(5, huge, nullptr).empty());
}

} // namespace
} // namespace moraine
