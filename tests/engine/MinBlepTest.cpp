// The band-limited step table: the embedded text's stored form and shape, and a parser
// that refuses missing, short or malformed tables instead of reading past them.
//
// The table is generated; to check that the checked-in file is what the tool makes:
//   build/dev/moraine-minblep | cmp - resources/MB.txt
#include "engine/MinBlep.h"
#include "platform/Resources.h"
#include "support/CommaLocale.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string>
#include <utility>

namespace moraine {
namespace {

std::string_view embeddedText() {
    return findResource("MB.txt");
}

// A table in the stored form with `count` values on a size line saying `size`.
std::string tableText(int size, int count, const char* value = "1") {
    std::string t = "0.8 % corner\n64.0 % oversampling\n11.0 % nzc\n";
    t += std::to_string(size) + ".0 % size\n";
    for (int i = 0; i < count; ++i) t += std::string(" ") + value + "\n";
    return t;
}

TEST(MinBlepTable, EmbeddedTableIsASettledBandLimitedStepParsedOnce) {
    const MinBlepTable& t = minBlepTable();
    EXPECT_EQ(&t, &minBlepTable());
    EXPECT_EQ(t.values, parseMinBlepTable(embeddedText()).values);
    EXPECT_FLOAT_EQ(t.corner, 0.8f);
    EXPECT_FLOAT_EQ(t.oversampling, 64.0f);
    EXPECT_FLOAT_EQ(t.nzc, 11.0f);
    EXPECT_FLOAT_EQ(t.twiceNzc, 22.0f);
    ASSERT_GE(t.size, kMinBlepSpan);
    ASSERT_EQ(std::size_t(t.size), t.values.size());
    const std::vector<float>& v = t.values;
    EXPECT_LT(std::fabs(v.front()), 0.01f);
    // Overshoot of about 1.2 within the first five samples.
    const auto peak = std::max_element(v.begin(), v.end());
    EXPECT_LT(peak - v.begin(), 5 * kMinBlepOversampling);
    EXPECT_NEAR(*peak, 1.2f, 0.03f);
    EXPECT_NEAR(v.back(), 1.0f, 1e-5f);
    // Settled within the points the oscillators read.
    for (int i = kMinBlepSpan - kMinBlepOversampling; i < kMinBlepSpan; ++i)
        ASSERT_NEAR(v[std::size_t(i)], 1.0f, 1e-5f) << i;
    // Minimum phase: nothing rings ahead of the edge, the rise comes within 2 .. 4
    // samples after it.
    EXPECT_LT(v[kMinBlepOversampling], 0.01f);
    EXPECT_GT(v[4 * kMinBlepOversampling], 1.0f);
    for (int i = 1; i < 4 * kMinBlepOversampling; ++i)
        ASSERT_GE(v[std::size_t(i)], v[std::size_t(i) - 1]) << i;
}

TEST(MinBlepTable, ResidualsAreOneMinusTheStepAndZeroPastTheSpan) {
    const MinBlepTable& t = minBlepTable();
    EXPECT_FLOAT_EQ(t.residualAt(0.0f), 1.0f - t.values[0]);
    EXPECT_FLOAT_EQ(t.residualAt(100.0f), 1.0f - t.values[100]);
    EXPECT_NEAR(t.residualAt(100.5f), 1.0f - 0.5f * (t.values[100] + t.values[101]), 1e-6f);
    for (float p : {float(kMinBlepSpan), 1408.5f, 2816.0f, 5000.0f})
        EXPECT_EQ(t.residualAt(p), 0.0f) << p;
    // The mean a sawtooth's edges add: the area under the residual, in samples.
    double area = 0.0;
    for (float p = 0.0f; p < float(kMinBlepSpan); p += 0.125f) area += t.residualAt(p) * 0.125;
    EXPECT_NEAR(t.residualMean, area / kMinBlepOversampling, 1e-3);
    EXPECT_GT(t.residualMean, 1.0f);
    EXPECT_LT(t.residualMean, 4.0f);
}

TEST(MinBlepTableParser, ReadsTheSizeUpToThePointAndTheValuesAsDoubles) {
    std::string text = tableText(1410, 1410, "0.5");
    const MinBlepTable t = parseMinBlepTable(text);
    EXPECT_EQ(t.size, 1410);
    EXPECT_EQ(t.values.size(), 1410u);
    EXPECT_FLOAT_EQ(t.values[7], 0.5f);
    // The last line may lack its line-feed; extra lines after the values are ignored.
    text.pop_back();
    EXPECT_EQ(parseMinBlepTable(text).size, 1410);
    EXPECT_EQ(parseMinBlepTable(tableText(1410, 1500)).size, 1410);
    // A table of exactly the span is enough.
    const MinBlepTable s = parseMinBlepTable(tableText(kMinBlepSpan, kMinBlepSpan, "0.25"));
    EXPECT_FLOAT_EQ(s.residualAt(float(kMinBlepSpan) - 0.5f), 0.375f);
    EXPECT_EQ(s.residualAt(float(kMinBlepSpan)), 0.0f);
}

// Hosts set the process locale; a comma-decimal one must not change the table.
TEST(MinBlepTableParser, TheHostsLocaleDoesNotMatter) {
    testing::CommaDecimalLocale comma;
    if (!comma.active()) GTEST_SKIP() << "no comma-decimal locale installed";
    const MinBlepTable local = parseMinBlepTable(embeddedText());
    EXPECT_EQ(local.values, minBlepTable().values);
    EXPECT_EQ(local.corner, minBlepTable().corner);
}

// No fuzz target reads this table, so every way it can be wrong is listed here.
TEST(MinBlepTableParser, RefusesMissingShortAndMalformedTablesSayingWhy) {
    std::string badLast = tableText(1409, 1409), badMiddle = tableText(1409, 0);
    badLast[badLast.size() - 2] = '?';
    for (int i = 0; i < 1409; ++i) badMiddle += i == 700 ? " 1abc\n" : " 0.5\n";
    const std::string header = "64.0 % oversampling\n";
    const std::pair<std::string, const char*> cases[] = {
        {"", "empty"},
        {"0.8 % corner\n" + header, "header cut short"},
        {"0.8 % corner\n" + header + "11.0 % nzc\n", "no size line"},
        {"x % corner\n" + header + "11.0 % nzc\n1409.0 % size\n", "bad corner"},
        {"0.8 % corner\n" + header + "0.0 % nzc\n1409.0 % size\n", "zero nzc"},
        {"0.8 % corner\n" + header + "nan % nzc\n1409.0 % size\n", "NaN nzc"},
        {tableText(1409, 1408), "one value short"},
        {tableText(1409, 0), "no values"},
        {tableText(kMinBlepSpan - 1, kMinBlepSpan - 1), "shorter than the span"},
        {tableText(-5, 10), "negative size"},
        {tableText(2000000000, 1409), "absurd size"},
        {tableText(1409, 1409, "abc"), "a value that is no number"},
        {tableText(1409, 1409, "inf"), "an infinite value"},
        {badLast, "a bad last value"},
        {badMiddle, "a value line with more than a number"},
    };
    for (const auto& [text, what] : cases)
        EXPECT_THROW(parseMinBlepTable(text), std::runtime_error) << what;
    try {
        parseMinBlepTable(tableText(1409, 1000));
        FAIL() << "a short table was accepted";
    } catch (const std::runtime_error& e) {
        const std::string what = e.what();
        EXPECT_NE(what.find("1409"), std::string::npos) << what;
        EXPECT_NE(what.find("1000"), std::string::npos) << what;
    }
}

} // namespace
} // namespace moraine
