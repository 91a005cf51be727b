// The jack table: numbers, codes, names and roles of the panel's 89 jacks.
#include "engine/graph/JackTable.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <set>
#include <string>
#include <utility>

namespace moraine {
namespace {

TEST(JackTable, NumbersAndCodesRoundTripAndEverythingElseIsNoCord) {
    std::set<FourCC> codes;
    for (int j = 0; j <= kJackCount; ++j) {
        SCOPED_TRACE(j);
        const JackInfo& info = jackInfo(j);
        ASSERT_NE(info.name, nullptr);
        EXPECT_TRUE(j == 0 || std::strlen(info.name) > 0);
        EXPECT_TRUE(codes.insert(info.code).second) << fourccText(info.code) << " repeated";
        EXPECT_EQ(jackNumber(info.code), j);
    }
    EXPECT_EQ(jackInfo(1).code, fourcc("plg1"));
    EXPECT_EQ(jackInfo(18).code, fourcc("pl18"));
    EXPECT_EQ(jackInfo(57).code, fourcc("pl57"));
    EXPECT_EQ(jackInfo(89).code, fourcc("mlt4"));
    EXPECT_EQ(jackInfo(0).code, fourcc("noco"));
    EXPECT_EQ(jackInfo(0).role, JackRole::None);
    for (int n : {-1, 90, 1000, INT_MIN, INT_MAX}) EXPECT_EQ(&jackInfo(n), &jackInfo(0)) << n;
    for (const char* code : {"zzzz", "vo1c", "none", "PL18"})
        EXPECT_EQ(jackNumber(fourccFromText(code)), -1) << code;
    EXPECT_EQ(jackNumber(0), -1);
}

// The bidirectional set drives the cord rules; the roles are what the panel uses. They
// describe the same jacks, so one must not drift from the other. Every output jack a voice
// creates must be a jack a cord can start from; only the host outputs are unwired.
TEST(JackTable, RolesMatchTheCordRulesAndTheVoiceOutputs) {
    const std::set<std::string> both = {"mlt1", "mlt2", "mlt3", "mlt4",
                                        "pl50", "pl51", "pl52", "pl24"};
    const std::set<std::string> outputs = {
        "pl58", "pl57", "v1si", "pl60", "pl59", "pl62", "pl61", "pl64", "pl63", "v3si", "pl54",
        "pl53", "pl56", "pl65", "pl67", "pl66", "pl68", "pl35", "pl47", "pl55", "pl69", "pl70",
        "pl45", "pl44", "pl43", "kbcv", "ucv2", "ucv1", "pl24", "pl27", "pl48", "lfo1", "lfo2",
        "lfo3", "pl76", "mlt1", "mlt2", "mlt3", "mlt4", "pl50", "pl52", "pl51"};
    int count = 0;
    for (int j = 1; j <= kJackCount; ++j) {
        const JackInfo& info = jackInfo(j);
        const std::string code = fourccText(info.code);
        SCOPED_TRACE(code);
        const bool bidirectional = isBidirectionalJack(info.code);
        EXPECT_EQ(bidirectional, info.role == JackRole::Both);
        EXPECT_EQ(bidirectional, both.count(code) == 1);
        count += bidirectional;
        EXPECT_EQ(info.role == JackRole::Out || info.role == JackRole::Both,
                  outputs.count(code) == 1);
        EXPECT_EQ(info.role == JackRole::None, code == "pl73" || code == "pl74");
    }
    EXPECT_EQ(count, 8);
    for (FourCC code : {FourCC(0), fourcc("pl53"), fourcc("noco")})
        EXPECT_FALSE(isBidirectionalJack(code));
}

// Panel names are shown and stored letter for letter; these are the ones most easily
// "corrected" by mistake.
TEST(JackTable, PanelNamesKeepTheirWording) {
    const std::pair<int, const char*> cases[] = {
        {1, "Env. Foll Input Plug"},
        {40, "VP Ch. 1 (unatten.) 1 In Plug"},
        {53, "Preamp(side chain) Out 1 Plug"},
        {76, "100% Reverb Out Plug"},
        {80, "Triangle LFO Out Plug"},
        {59, "VCO2 Sine Out Plug"},
        {85, "VCO2 Sine Out Plug"}, // `v3si` is the third oscillator's sine with the second's name
    };
    for (const auto& [number, name] : cases) EXPECT_STREQ(jackInfo(number).name, name) << number;
}

} // namespace
} // namespace moraine
