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
#include <utility>
#include <vector>

namespace moraine {
namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kHuge = std::numeric_limits<float>::max();

// An engine-value array as the plug-in keeps it: every parameter at its default.
std::array<float, kEngineValueCount> defaultValues() {
    std::array<float, kEngineValueCount> v{};
    for (int i = 0; i < kParamCount; ++i) v[i] = parameterInfo(i).defaultValue;
    return v;
}

TEST(ParameterTable, EveryRecordIsUsableAndAZeroRecordEndsTheTable) {
    const ParameterInfo* table = parameterTable();
    ASSERT_NE(table, nullptr);
    int count = 0;
    while (!(table[count].minimum == 0.0f && table[count].maximum == 0.0f)) ++count;
    EXPECT_EQ(count, kParamCount);
    for (int i = 0; i < kParamCount; ++i) {
        SCOPED_TRACE(i);
        const ParameterInfo& p = parameterInfo(i);
        ASSERT_TRUE(p.name && p.label && p.altName);
        EXPECT_GT(std::strlen(p.name), 0u);
        EXPECT_LT(p.minimum, p.maximum);
        EXPECT_TRUE(p.defaultValue >= p.minimum && p.defaultValue <= p.maximum);
        if (i < kFirstJackParam) continue;
        const JackInfo& jack = jackInfo(i - kFirstJackParam + 1);
        EXPECT_STREQ(p.name, jack.name);
        EXPECT_EQ(parameterCode(i), jack.code);
    }
    // Indices outside the table answer the placeholder.
    for (int i : {-1, kParamCount, 1000, INT_MIN, INT_MAX})
        EXPECT_TRUE(&parameterInfo(i) == &parameterInfo(0) && parameterCode(i) == 0 &&
                    displayKind(i) == -1 && parameterStorage(i) == ParamStorage::NotStored)
            << i;
}

TEST(ParameterTable, CodesAreUniqueAndFindTheirParameter) {
    std::set<FourCC> seen;
    for (int i = 0; i < kParamCount; ++i) {
        SCOPED_TRACE(i);
        const FourCC code = parameterCode(i);
        if (i == 1) {
            EXPECT_EQ(code, 0u); // "Master Bypass" has no code
            continue;
        }
        EXPECT_NE(code, 0u);
        EXPECT_TRUE(seen.insert(code).second) << fourccText(code) << " repeated";
        EXPECT_EQ(findParameter(code), i);
    }
    EXPECT_EQ(findParameter(0), -1); // would otherwise find the code-less index 1
    EXPECT_EQ(findParameter(fourcc("noco")), -1);
    EXPECT_EQ(findParameter(fourccFromText("Key")), -1); // no trailing space
    const std::pair<const char*, int> byName[] = {
        {"vo1c", 5},   {"33", 33},    {"178", 178}, {"033", 33}, {"pl18", 107},
        {"mlt4", 178}, {"zzzz", -1},  {"", -1},     {"179", -1}, {"-1", -1},
        {"vo1", -1},   {"vo1cx", -1}, {" 33", -1},  {"3 3", -1}, {"99999999999999999999999", -1}};
    for (const auto& [text, index] : byName) EXPECT_EQ(findParameterByName(text), index) << text;
    EXPECT_EQ(findParameterByName(nullptr), -1);
}

TEST(ParameterTable, StorageClassesAndDisplayKinds) {
    const std::set<int> integers = {38, 58, 59, 60, 61, 62, 69, 76, 77, 78, 79, 80, 81};
    std::set<int> kinds;
    for (int i = 0; i < kParamCount; ++i) {
        SCOPED_TRACE(i);
        const ParamStorage expected = i >= kFirstJackParam ? ParamStorage::Jack
                                      : i >= 82            ? ParamStorage::NotStored
                                      : integers.count(i)  ? ParamStorage::Integer
                                                           : ParamStorage::Float;
        EXPECT_EQ(parameterStorage(i), expected);
        const int k = displayKind(i);
        EXPECT_TRUE(k >= -1 && k <= 14 && (i < 76 || k == -1)) << k;
        if (k >= 0) kinds.insert(k);
    }
    EXPECT_EQ(kinds.size(), 15u); // every formula is used somewhere
}

TEST(ParameterTable, HostAndEngineValues) {
    for (int i = 0; i < kFirstJackParam; ++i) {
        SCOPED_TRACE(i);
        const ParameterInfo& p = parameterInfo(i);
        EXPECT_FLOAT_EQ(hostToEngine(i, 0.0f), p.minimum);
        EXPECT_FLOAT_EQ(hostToEngine(i, 1.0f), p.maximum);
        for (float host : {0.0f, 0.25f, 0.5f, 0.75f, 1.0f})
            EXPECT_NEAR(engineToHost(i, hostToEngine(i, host)), host, 1e-6) << host;
        EXPECT_NEAR(engineToHost(i, p.defaultValue),
                    (p.defaultValue - p.minimum) / (p.maximum - p.minimum), 1e-6);
    }
    // The cord code reads the integer part of the engine value, so the host value J / 1000
    // must come back as a value whose integer part is J, not J - 1.
    for (int j = 0; j <= kJackCount; ++j) {
        SCOPED_TRACE(j);
        const float host = float(j) / 1000.0f;
        EXPECT_EQ(int(hostToEngine(kFirstJackParam, host)), j);
        EXPECT_FLOAT_EQ(engineToHost(178, hostToEngine(178, host)), host);
    }
    // Host automation outside 0..1 converts by the same straight line; applying the value
    // is where limits belong.
    EXPECT_FLOAT_EQ(hostToEngine(35, 1.5f), 15.0f);
    EXPECT_FLOAT_EQ(engineToHost(35, -10.0f), -1.0f);
    for (int i : {-1, kParamCount, INT_MIN, INT_MAX})
        EXPECT_TRUE(hostToEngine(i, 0.5f) == 0.0f && engineToHost(i, 0.5f) == 0.0f) << i;
    // Values that are not numbers fall back to the parameter's default.
    for (int i : {0, 5, 33, 83, 107, 178}) {
        SCOPED_TRACE(i);
        const ParameterInfo& p = parameterInfo(i);
        for (float bad : {kNaN, kInf, -kInf}) {
            EXPECT_EQ(hostToEngine(i, bad), p.defaultValue);
            EXPECT_EQ(engineToHost(i, bad), engineToHost(i, p.defaultValue));
        }
    }
}

// A few texts per display kind. With range and the tip are the value text unless given.
TEST(ParameterDisplay, TextsOfEachKind) {
    struct Case {
        int index;
        float v;
        const char *value, *withRange = nullptr, *tip = nullptr;
    };
    const Case cases[] = {
        // 0: coarse frequency, default fine 0.5 and audio range: 2 V is 40 Hz. With range
        // shows the slider value itself, the value text ten times it.
        {5, 0.2f, "2.00000 Vv", "40.000 Hz\r0.20000 Vv", "40.000 Hz : 2.0000 Vv"},
        // 1: level
        {2, 0.5f, "-6.0206 dB Attenuation", "-6.02 dB Attenuation", "-6.02 dB Attenuation"},
        {2, 0.0f, "-200 dB Attenuation"},
        {35, 4.0f, "4.0000 Vv"}, // 2: sustain
        // 3: envelope times, long ones divided by 1.73
        {33, 0.5f, "0.5000 seconds"},
        {39, 1.73f, "1.0000 seconds"},
        // 4: fine frequency, default coarse 0.2: 2.25 V
        {6, 0.75f, "0.75000 Vv", "47.568 Hz\r0.75000 Vv", "47.568 Hz : 2.2500 Vv"},
        {12, 0.5f, "50.0000%"}, // 5: pulse widths and beat offsets
        // 6: levels whose range starts at 0.01; a hair short of 1 is 0.00, not -0.00
        {7, 0.01f, "-200 dB Attenuation"},
        {7, 1.01f, "0.00 dB Attenuation"},
        {67, 1.01f, "0.00 dB Attenuation"},
        {7, 1.0099f, "-0.00 dB Attenuation"},            // a real attenuation keeps its sign
        {25, 0.5f, "0.5000 Q", "0.5000 Q", "0.50000 Q"}, // 7: resonance
        // 8: pan
        {45, 0.75f, "70.7% Left  100.0% Right"},
        {45, 0.25f, "100.0% Left  70.7% Right"},
        {45, 0.0f, "100% Left"},
        {45, 1.0f, "100% Right"},
        // 9: noise colour
        {50, 0.25f, "75.00% White 25.00% Red"},
        {50, 0.0f, "100% White"},
        {50, 1.0f, "100% Red"},
        {71, -0.5f, "-0.500000"}, // 10: pitch bend
        // 11: noise level, a level of 0.1 v - 0.01
        {51, 5.0f, "-6.1961 dB Attenuation", "-6.20 dB Attenuation", "-6.20 dB Attenuation"},
        {51, 10.0f, "-0.0873 dB Attenuation", "-0.09 dB Attenuation", "-0.09 dB Attenuation"},
        {55, 1.6f, "1.600 Hz"}, // 12: rates
        {57, 0.5f, "2.000 Hz"}, // 13: sample-and-hold period shown as a rate
        {57, 0.0f, "  inf Hz"},
        {66, 2.0f, "2.0000 seconds"}, // 14: vibrato delay and portamento time
        // no formula: the engine value as it is
        {63, 1.0f, "1.000000"},
        // frequencies are limited to 20 kHz
        {5, 1.2f, "12.00000 Vv", "20000.000 Hz\r1.20000 Vv", "20000.000 Hz : 12.0000 Vv"},
        // a value that is not a number is shown as the parameter's default
        {33, kNaN, "0.1000 seconds"},
        {45, kInf, "100.0% Left  100.0% Right"},
        {5, -kInf, "2.00000 Vv", "40.000 Hz\r0.20000 Vv", "40.000 Hz : 2.0000 Vv"},
        {-1, 0.5f, ""}, // out-of-range indices answer empty texts
        {kParamCount, 0.5f, ""},
    };
    const auto values = defaultValues();
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "index " << c.index << " v " << c.v);
        for (const float* v : {values.data(), static_cast<const float*>(nullptr)}) {
            EXPECT_EQ(valueText(c.index, c.v, v), c.value);
            EXPECT_EQ(valueTextWithRange(c.index, c.v, v), c.withRange ? c.withRange : c.value);
            EXPECT_EQ(tipText(c.index, c.v, v), c.tip ? c.tip : c.value);
        }
    }
    // Extreme finite values still fit the text buffers.
    for (int i : {63, 50, 45})
        EXPECT_FALSE(valueText(i, i == 50 ? -kHuge : kHuge, nullptr).empty());
    EXPECT_FALSE(tipText(5, kHuge, nullptr).empty());
}

// An oscillator's frequency text follows its own keyboard switch (audio only above one
// half) and its sibling control; the filter is always in the audio range. Values that are
// not numbers count as defaults.
TEST(ParameterDisplay, FrequencyTextsFollowTheirSiblingAndRangeSwitch) {
    struct Case {
        std::vector<std::pair<int, float>> set;
        int index;
        float v;
        const char* tip;
    };
    const Case cases[] = {
        {{{58, 0.0f}, {59, 1.0f}}, 5, 0.2f, "0.120 Hz : 2.0000 Vv"},
        {{{58, 0.0f}, {59, 1.0f}}, 10, 0.2f, "40.000 Hz : 2.0000 Vv"},
        {{{60, 0.0f}, {17, 0.5f}}, 18, 0.75f, "1.142 Hz : 5.2500 Vv"},
        {{{58, 0.5f}}, 6, 0.5f, "0.120 Hz : 2.0000 Vv"},
        {{{58, 0.51f}}, 6, 0.5f, "40.000 Hz : 2.0000 Vv"},
        {{{58, 0.0f}, {59, 0.0f}, {60, 0.0f}, {24, 0.5f}}, 23, 1.0f, "10240.000 Hz : 10.0000 Vv"},
        {{{58, 0.0f}, {23, 0.3f}}, 24, 1.0f, "113.137 Hz : 3.5000 Vv"},
        {{{6, kNaN}, {58, kNaN}}, 5, 0.2f, "40.000 Hz : 2.0000 Vv"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.tip);
        auto values = defaultValues();
        for (const auto& [i, v] : c.set) values[size_t(i)] = v;
        EXPECT_EQ(tipText(c.index, c.v, values.data()), c.tip);
    }
    auto values = defaultValues();
    values[58] = 0.0f;
    EXPECT_EQ(valueTextWithRange(5, 0.2f, values.data()), "0.120 Hz\r0.20000 Vv");
}

} // namespace
} // namespace moraine
