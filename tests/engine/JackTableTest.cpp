#include "engine/graph/JackTable.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <set>
#include <string>

namespace moraine {
namespace {

TEST(JackTable, EntryZeroIsNoCord) {
    const JackInfo& none = jackInfo(0);
    EXPECT_EQ(none.code, fourcc("noco"));
    EXPECT_EQ(none.role, JackRole::None);
    ASSERT_NE(none.name, nullptr);
    EXPECT_EQ(jackNumber(fourcc("noco")), 0);
    EXPECT_FALSE(isBidirectionalJack(fourcc("noco")));
}

TEST(JackTable, OutOfRangeNumbersAnswerNoCord) {
    for (int n : {-1, 90, 1000, INT_MIN, INT_MAX}) {
        SCOPED_TRACE(n);
        EXPECT_EQ(&jackInfo(n), &jackInfo(0));
    }
}

TEST(JackTable, NumbersAndCodesRoundTrip) {
    std::set<FourCC> codes;
    for (int j = 0; j <= kJackCount; ++j) {
        SCOPED_TRACE(j);
        const JackInfo& info = jackInfo(j);
        ASSERT_NE(info.name, nullptr);
        if (j > 0) {
            EXPECT_GT(std::strlen(info.name), 0u);
        }
        EXPECT_TRUE(codes.insert(info.code).second) << fourccText(info.code) << " repeated";
        EXPECT_EQ(jackNumber(info.code), j);
    }
    EXPECT_EQ(jackInfo(1).code, fourcc("plg1"));
    EXPECT_EQ(jackInfo(18).code, fourcc("pl18"));
    EXPECT_EQ(jackInfo(57).code, fourcc("pl57"));
    EXPECT_EQ(jackInfo(89).code, fourcc("mlt4"));
}

TEST(JackTable, UnknownCodesHaveNoNumber) {
    for (const char* code : {"zzzz", "vo1c", "none", "PL18"}) {
        SCOPED_TRACE(code);
        EXPECT_EQ(jackNumber(fourccFromText(code)), -1);
    }
    EXPECT_EQ(jackNumber(0), -1);
}

// The bidirectional set drives the cord rules; the roles are what the panel uses. They
// describe the same jacks, so one must not drift from the other.
TEST(JackTable, BidirectionalSetMatchesBothRole) {
    const std::set<std::string> expected = {"mlt1", "mlt2", "mlt3", "mlt4",
                                            "pl50", "pl51", "pl52", "pl24"};
    int count = 0;
    for (int j = 1; j <= kJackCount; ++j) {
        const JackInfo& info = jackInfo(j);
        SCOPED_TRACE(fourccText(info.code));
        bool bidirectional = isBidirectionalJack(info.code);
        EXPECT_EQ(bidirectional, info.role == JackRole::Both);
        EXPECT_EQ(bidirectional, expected.count(fourccText(info.code)) == 1);
        count += bidirectional;
    }
    EXPECT_EQ(count, 8);
    EXPECT_FALSE(isBidirectionalJack(0));
    EXPECT_FALSE(isBidirectionalJack(fourcc("pl53")));
}

// Every output jack a voice creates must be a jack a cord can start from, and every
// jack marked as an output must have something behind it.
TEST(JackTable, OutputRolesMatchTheVoiceOutputs) {
    const std::set<std::string> outputs = {
        "pl58", "pl57", "v1si", "pl60", "pl59", "pl62", "pl61", "pl64", "pl63", "v3si", "pl54",
        "pl53", "pl56", "pl65", "pl67", "pl66", "pl68", "pl35", "pl47", "pl55", "pl69", "pl70",
        "pl45", "pl44", "pl43", "kbcv", "ucv2", "ucv1", "pl24", "pl27", "pl48", "lfo1", "lfo2",
        "lfo3", "pl76", "mlt1", "mlt2", "mlt3", "mlt4", "pl50", "pl52", "pl51"};
    for (int j = 1; j <= kJackCount; ++j) {
        const JackInfo& info = jackInfo(j);
        std::string code = fourccText(info.code);
        SCOPED_TRACE(code);
        bool drivesSomething = info.role == JackRole::Out || info.role == JackRole::Both;
        EXPECT_EQ(drivesSomething, outputs.count(code) == 1);
    }
}

TEST(JackTable, UnwiredJacksAreTheHostOutputs) {
    for (int j = 1; j <= kJackCount; ++j) {
        const JackInfo& info = jackInfo(j);
        SCOPED_TRACE(j);
        bool unwired = info.code == fourcc("pl73") || info.code == fourcc("pl74");
        EXPECT_EQ(info.role == JackRole::None, unwired);
    }
}

// Panel names are shown and stored letter for letter; these are the ones most easily
// "corrected" by mistake.
TEST(JackTable, PanelNamesKeepTheirWording) {
    struct Case {
        int number;
        const char* name;
    };
    const Case cases[] = {
        {1, "Env. Foll Input Plug"},
        {40, "VP Ch. 1 (unatten.) 1 In Plug"},
        {53, "Preamp(side chain) Out 1 Plug"},
        {76, "100% Reverb Out Plug"},
        {80, "Triangle LFO Out Plug"},
        // `v3si` is the third oscillator's sine, yet it carries the second's name.
        {85, "VCO2 Sine Out Plug"},
        {59, "VCO2 Sine Out Plug"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.number);
        EXPECT_STREQ(jackInfo(c.number).name, c.name);
    }
}

} // namespace
} // namespace moraine
