// The patch record, its text written and read, and patch files.
#include "patch/PatchRecord.h"
#include "platform/Files.h"
#include "support/CommaLocale.h"
#include "support/Diagnostics.h"
#include "support/TempDataFolder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace moraine {
namespace {

using testing::DiagnosticsOn;
using testing::TempDataFolder;

PatchRecord read(const std::string& text) {
    PatchRecord r;
    r.readText(text);
    return r;
}

std::string write(const PatchRecord& r) {
    std::vector<char> buffer(kPatchTextCapacity);
    const int n = r.writeText(buffer.data(), kPatchTextCapacity);
    EXPECT_EQ(size_t(n), std::strlen(buffer.data()));
    return std::string(buffer.data(), size_t(n));
}

const PatchValue* find(const PatchRecord& r, const char (&code)[5]) {
    for (const PatchValue& v : r.values)
        if (v.code == fourcc(code)) return &v;
    return nullptr;
}

MidiMapEntry sampleEntry() {
    MidiMapEntry e;
    e.channel = 3;
    e.controller = 74;
    e.target = 23;
    e.sources = kSourceController | kSourceVelocity | kSourceAftertouch;
    const float ranges[4][2] = {{10, 20}, {5, 100}, {0, 64}, {32.5f, 127}};
    std::memcpy(e.range, ranges, sizeof ranges);
    const int curves[4] = {2, 1, 0, 2};
    const int inverts[4] = {1, 0, 1, 1};
    std::memcpy(e.curve, curves, sizeof curves);
    std::memcpy(e.invert, inverts, sizeof inverts);
    return e;
}

void expectSameEntry(const MidiMapEntry& a, const MidiMapEntry& b) {
    EXPECT_EQ(a.channel, b.channel);
    EXPECT_EQ(a.controller, b.controller);
    EXPECT_EQ(a.target, b.target);
    EXPECT_EQ(a.sources, b.sources);
    for (int s = 0; s < 4; ++s) {
        EXPECT_EQ(a.range[s][0], b.range[s][0]) << s;
        EXPECT_EQ(a.range[s][1], b.range[s][1]) << s;
        EXPECT_EQ(a.curve[s], b.curve[s]) << s;
        EXPECT_EQ(a.invert[s], b.invert[s]) << s;
    }
}

// ---------------------------------------------------------------- the record

TEST(PatchRecord, ANewRecordHasTheDefaults) {
    PatchRecord r;
    EXPECT_FALSE(r.modified);
    EXPECT_EQ(r.locked, 0);
    EXPECT_EQ(r.displayNotes, 0);
    EXPECT_EQ(r.midiProgram, -1);
    EXPECT_EQ(r.beatSync[0], 0);
    EXPECT_EQ(r.beatSync[1], 24);
    EXPECT_EQ(r.beatSync[2], 0);
    EXPECT_EQ(r.beatSync[3], 24);
    EXPECT_EQ(r.beatOffset[0], 0.0f);
    EXPECT_EQ(r.beatOffset[1], 0.0f);
    EXPECT_TRUE(r.values.empty());
    EXPECT_TRUE(r.midiEntries.empty());
    EXPECT_TRUE(r.name.empty() && r.notes.empty() && r.author.empty() && r.date.empty());
}

TEST(PatchRecord, SetValueReplacesInPlaceOrAppends) {
    PatchRecord r;
    r.setValue(kValueReal, fourcc("vo1c"), 0, 0.25, 0);
    EXPECT_TRUE(r.modified);
    r.setValue(kValueInteger, fourcc("vcss"), 4, 0, 0);
    r.setValue(kValuePatched, fourcc("vo1c"), 0, 0, fourcc("mlt4"));
    ASSERT_EQ(r.values.size(), 2u);
    EXPECT_EQ(r.values[0].code, fourcc("vo1c"));
    EXPECT_EQ(r.values[0].type, kValuePatched);
    EXPECT_EQ(r.values[0].linkCode, fourcc("mlt4"));
    EXPECT_EQ(r.values[1].code, fourcc("vcss"));
    EXPECT_EQ(r.values[1].integer, 4);
}

TEST(PatchRecord, MidiEntriesKeepOnlyThePatchSources) {
    PatchRecord r;
    r.addMidiEntry(sampleEntry());
    EXPECT_TRUE(r.modified);
    ASSERT_EQ(r.midiEntries.size(), 1u);
    const MidiMapEntry& e = r.midiEntries[0];
    EXPECT_EQ(e.sources, kSourceVelocity | kSourceAftertouch);
    EXPECT_EQ(e.range[0][0], 0.0f);
    EXPECT_EQ(e.range[0][1], 127.0f);
    EXPECT_EQ(e.curve[0], 0);
    EXPECT_EQ(e.invert[0], 0);
    EXPECT_EQ(e.range[1][0], 5.0f);
    EXPECT_EQ(e.curve[3], 2);

    r.modified = false;
    r.clearMidiEntries();
    EXPECT_TRUE(r.modified);
    EXPECT_TRUE(r.midiEntries.empty());
}

// ---------------------------------------------------------------- writing

TEST(PatchText, ASmallPatchWritesExactly) {
    PatchRecord r;
    r.setValue(kValueInteger, fourcc("vcss"), 8, 0, 0);
    r.setValue(kValueReal, fourcc("vo1c"), 0, 0.5, 0);
    r.setValue(kValuePatched, fourcc("plg5"), 0, 0, fourcc("mlt4"));
    r.setValue(kValueUnpatched, fourcc("plg6"), 0, 0, 0);
    r.addMidiEntry(sampleEntry());
    r.beatSync[0] = 1;
    r.beatSync[1] = 12;
    r.locked = 1;
    r.midiProgram = 5;
    r.beatOffset[1] = 0.25f;
    r.name = "Bass";
    r.author = "Ann";
    r.date = "1 May";
    r.notes = "two\nlines";
    EXPECT_EQ(write(r), "0 : vcss = 8  //\n"
                        "1 : vo1c = 0.5000000000000000000000000000000000000000\n"
                        "2 : plg5 = mlt4\n"
                        "3 : plg6 = 0\n"
                        "14 : 3, 74, 23, 10, 5.000000, 100.000000, 0.000000, 64.000000, "
                        "32.500000, 127.000000, 1, 0, 0, 1, 2, 1\n"
                        "10 : 1, 12, 0, 24\n"
                        "11 : 1\n"
                        "12 : 0\n"
                        "15 : 5\n"
                        "16 : 0.000000, 0.250000\n"
                        "4 : PatchName = Bass\n"
                        "5 : PatchAuthor = Ann\n"
                        "6 : PatchDate = 1 May\n"
                        "7 : PatchNotes = two\nlines\n");
    EXPECT_EQ(write(r), r.text());
}

TEST(PatchText, ShortCodesArePaddedToFourColumns) {
    PatchRecord r;
    r.setValue(kValueInteger, fourcc("ab\0\0"), 3, 0, 0);
    EXPECT_EQ(write(r).substr(0, 17), "0 :   ab = 3  //\n");
    const PatchRecord back = read(write(r));
    ASSERT_GE(back.values.size(), 1u);
    EXPECT_EQ(back.values[0].code, fourcc("ab\0\0"));
}

TEST(PatchText, IntegersOutsideZeroToEightAreWrittenAtTheNearestEnd) {
    // Hexadecimal out, decimal in: only 0..8 reads back as written.
    PatchRecord r;
    r.setValue(kValueInteger, fourcc("vcss"), 12, 0, 0);
    r.setValue(kValueInteger, fourcc("klch"), -3, 0, 0);
    const PatchRecord back = read(write(r));
    EXPECT_EQ(find(back, "vcss")->integer, 8);
    EXPECT_EQ(find(back, "klch")->integer, 0);
}

TEST(PatchText, NotFiniteRealsAreWrittenAsZero) {
    PatchRecord r;
    r.setValue(kValueReal, fourcc("vo1c"), 0, std::nan(""), 0);
    r.setValue(kValueReal, fourcc("vo2c"), 0, -HUGE_VAL, 0);
    const PatchRecord back = read(write(r));
    EXPECT_EQ(find(back, "vo1c")->real, 0.0);
    EXPECT_EQ(find(back, "vo2c")->real, 0.0);
}

TEST(PatchText, SingleLineTextsStayOnOneLine) {
    PatchRecord r;
    r.name = "Lead\n10 : 1, 3, 1, 3";
    r.author = "a\rb";
    const PatchRecord back = read(write(r));
    EXPECT_EQ(back.name, "Lead 10 : 1, 3, 1, 3");
    EXPECT_EQ(back.author, "a b");
    EXPECT_EQ(back.beatSync[0], 0);
    EXPECT_EQ(back.beatSync[1], 24);
}

TEST(PatchText, LongTextsAreCutTo511Bytes) {
    PatchRecord r;
    r.name = std::string(600, 'n');
    r.notes = std::string(700, 'x');
    // A two-byte character across the limit is left out whole.
    r.date = std::string(510, 'd') + "\xC3\xA9" + "tail";
    const PatchRecord back = read(write(r));
    EXPECT_EQ(back.name, std::string(511, 'n'));
    EXPECT_EQ(back.notes, std::string(511, 'x'));
    EXPECT_EQ(back.date, std::string(510, 'd'));
    // Reading cuts the same way.
    EXPECT_EQ(read("4 : PatchName = " + std::string(900, 'q') + "\n").name, std::string(511, 'q'));
}

TEST(PatchText, ATextTooLongForTheBufferKeepsItsClosingLines) {
    PatchRecord r;
    for (int i = 0; i < 2000; ++i) {
        char code[5];
        std::snprintf(code, sizeof code, "%04d", i);
        r.setValue(kValueReal, fourccFromText(code), 0, 1.0, 0);
    }
    r.name = "Big";
    r.notes = "end";
    ASSERT_GT(r.text().size(), size_t(kPatchTextCapacity));
    const std::string text = write(r);
    EXPECT_LT(text.size(), size_t(kPatchTextCapacity));
    EXPECT_EQ(text.substr(text.size() - 21), "7 : PatchNotes = end\n");
    const PatchRecord back = read(text);
    EXPECT_EQ(back.name, "Big");
    EXPECT_EQ(back.notes, "end");
    EXPECT_GT(back.values.size(), 500u);
    EXPECT_EQ(back.values[0].code, fourcc("0000"));

    // A buffer too small even for the closing lines holds whole lines only.
    char small[40];
    std::memset(small, '#', sizeof small);
    const int n = r.writeText(small, int(sizeof small));
    ASSERT_LT(n, int(sizeof small));
    EXPECT_EQ(small[n], '\0');
    EXPECT_EQ(std::string(small, size_t(n)), "10 : 0, 24, 0, 24\n11 : 0\n12 : 0\n");
    char one[1] = {'#'};
    EXPECT_EQ(r.writeText(one, 1), 0);
    EXPECT_EQ(one[0], '\0');
    EXPECT_EQ(r.writeText(nullptr, 100), 0);
}

// ---------------------------------------------------------------- round trips

TEST(PatchText, EveryRecordKindRoundTrips) {
    PatchRecord r;
    r.setValue(kValueInteger, fourcc("shgt"), 7, 0, 0);
    r.setValue(kValueReal, fourcc("vffc"), 0, -3.0517578125e-05, 0);
    r.setValue(kValueReal, fourcc("vfff"), 0, 0.1, 0);
    r.setValue(kValueReal, fourcc("vffr"), 0, 1234.5678, 0);
    r.setValue(kValuePatched, fourcc("pl18"), 0, 0, fourcc("noco"));
    r.setValue(kValueUnpatched, fourcc("mlt1"), 0, 0, 0);
    r.setValue(kValueReal, fourcc("mvol"), 0, 0.75, 0);
    r.addMidiEntry(sampleEntry());
    MidiMapEntry wheel;
    wheel.channel = 15;
    wheel.target = 178;
    wheel.sources = kSourceModWheel;
    wheel.range[2][0] = 127.0f;
    wheel.range[2][1] = 0.0f;
    r.addMidiEntry(wheel);
    r.beatSync[0] = 1;
    r.beatSync[1] = 6;
    r.beatSync[2] = 1;
    r.beatSync[3] = 96;
    r.locked = 1;
    r.displayNotes = 1;
    r.midiProgram = 127;
    r.beatOffset[0] = -0.5f;
    r.beatOffset[1] = 3.25f;
    r.name = "Round Trip";
    r.author = "Someone";
    r.date = "today";
    r.notes = "first\n\n  indented\r\nlast";

    const PatchRecord back = read(write(r));
    ASSERT_EQ(back.values.size(), r.values.size()); // mvol read, so none appended
    for (size_t i = 0; i < r.values.size(); ++i) {
        EXPECT_EQ(back.values[i].code, r.values[i].code) << i;
        EXPECT_EQ(back.values[i].type, r.values[i].type) << i;
        EXPECT_EQ(back.values[i].integer, r.values[i].integer) << i;
        EXPECT_EQ(back.values[i].real, r.values[i].real) << i;
        EXPECT_EQ(back.values[i].linkCode, r.values[i].linkCode) << i;
    }
    ASSERT_EQ(back.midiEntries.size(), 2u);
    expectSameEntry(back.midiEntries[0], r.midiEntries[0]);
    expectSameEntry(back.midiEntries[1], r.midiEntries[1]);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(back.beatSync[i], r.beatSync[i]);
    EXPECT_EQ(back.locked, 1);
    EXPECT_EQ(back.displayNotes, 1);
    EXPECT_EQ(back.midiProgram, 127);
    EXPECT_EQ(back.beatOffset[0], -0.5f);
    EXPECT_EQ(back.beatOffset[1], 3.25f);
    EXPECT_EQ(back.name, r.name);
    EXPECT_EQ(back.author, r.author);
    EXPECT_EQ(back.date, r.date);
    EXPECT_EQ(back.notes, r.notes);
    EXPECT_FALSE(back.modified);
    EXPECT_EQ(write(back), write(r));
}

TEST(PatchText, HalfIsWrittenWithFortyDecimalsAndReadsBack) {
    PatchRecord r;
    r.setValue(kValueReal, fourcc("vo1c"), 0, 0.5, 0);
    EXPECT_NE(write(r).find("1 : vo1c = 0.5" + std::string(39, '0') + "\n"), std::string::npos);
    EXPECT_EQ(find(read(write(r)), "vo1c")->real, 0.5);
}

TEST(PatchText, TheOlderMidiRecordHasNoCurves) {
    const PatchRecord r = read("8 : 2, 7, 40, 14, 1.5, 2.5, 3.5, 4.5, 5.5, 6.5\n");
    ASSERT_EQ(r.midiEntries.size(), 1u);
    const MidiMapEntry& e = r.midiEntries[0];
    EXPECT_EQ(e.channel, 2);
    EXPECT_EQ(e.controller, 7);
    EXPECT_EQ(e.target, 40);
    EXPECT_EQ(e.sources, 14);
    EXPECT_EQ(e.range[0][0], 0.0f);
    EXPECT_EQ(e.range[0][1], 127.0f);
    EXPECT_EQ(e.range[1][0], 1.5f);
    EXPECT_EQ(e.range[3][1], 6.5f);
    for (int s = 0; s < 4; ++s) {
        EXPECT_EQ(e.curve[s], 0);
        EXPECT_EQ(e.invert[s], 0);
    }
    // Written back in today's form.
    EXPECT_NE(write(r).find("\n14 : 2, 7, 40, 14, 1.500000"), std::string::npos);
}

TEST(PatchText, RecordNineReadsLikeFourteen) {
    const PatchRecord r = read("9 : 1, 2, 3, 15, 0, 1, 2, 3, 4, 5, 1, 1, 2, 0, 1, 1\n");
    ASSERT_EQ(r.midiEntries.size(), 1u);
    EXPECT_EQ(r.midiEntries[0].sources, 14); // the controller source is global
    EXPECT_EQ(r.midiEntries[0].curve[1], 1);
    EXPECT_EQ(r.midiEntries[0].invert[3], 1);
}

// ---------------------------------------------------------------- reading

TEST(PatchText, MasterVolumeDefaultsToOneAsTheLastValue) {
    const PatchRecord r = read("1 : vo1c = 0.25\n0 : vcss = 3\n");
    ASSERT_EQ(r.values.size(), 3u);
    EXPECT_EQ(r.values[2].code, fourcc("mvol"));
    EXPECT_EQ(r.values[2].type, kValueReal);
    EXPECT_EQ(r.values[2].real, 1.0);

    const DiagnosticsOn verbose;
    ::testing::internal::CaptureStderr();
    const PatchRecord withVolume = read("1 : mvol = 0.3\n1 : vo1c = 0.25\n");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "found volume info\n");
    ASSERT_EQ(withVolume.values.size(), 2u);
    EXPECT_EQ(withVolume.values[0].real, 0.3);

    EXPECT_EQ(read("").values.size(), 1u);
    PatchRecord none;
    none.readText(nullptr, 10);
    ASSERT_EQ(none.values.size(), 1u);
    EXPECT_EQ(none.values[0].code, fourcc("mvol"));
}

TEST(PatchText, ReadingResetsTheListsAndBeatSettingsOnly) {
    PatchRecord r;
    r.setValue(kValueReal, fourcc("vo1c"), 0, 0.25, 0);
    r.addMidiEntry(sampleEntry());
    r.beatSync[1] = 3;
    r.midiProgram = 9;
    r.beatOffset[0] = 2.0f;
    r.locked = 1;
    r.displayNotes = 1;
    r.name = "kept";
    r.notes = "kept too";
    r.modified = false;
    r.readText("0 : vcss = 2\n");
    ASSERT_EQ(r.values.size(), 2u);
    EXPECT_EQ(r.values[0].code, fourcc("vcss"));
    EXPECT_TRUE(r.midiEntries.empty());
    EXPECT_EQ(r.beatSync[1], 24);
    EXPECT_EQ(r.midiProgram, -1);
    EXPECT_EQ(r.beatOffset[0], 0.0f);
    EXPECT_EQ(r.locked, 1);
    EXPECT_EQ(r.displayNotes, 1);
    EXPECT_EQ(r.name, "kept");
    EXPECT_EQ(r.notes, "kept too");
    EXPECT_FALSE(r.modified);
}

TEST(PatchText, TheNotesRunToTheEndOfTheText) {
    const PatchRecord r = read("4 : PatchName = N\n7 : PatchNotes = one\n10 : 1, 2, 3, 4\nthree\n");
    EXPECT_EQ(r.notes, "one\n10 : 1, 2, 3, 4\nthree");
    EXPECT_EQ(r.beatSync[0], 0);
    EXPECT_EQ(r.beatSync[1], 24);
    EXPECT_EQ(r.name, "N");
}

TEST(PatchText, CrLfReadsLikeLfExceptTheNotes) {
    const std::string lf = "0 : vcss = 5  //\n1 : vo1c = 0.75\n2 : plg5 = mlt4\n3 : plg6 = 0\n"
                           "14 : 1, 2, 3, 6, 1, 2, 3, 4, 5, 6, 1, 0, 2, 1, 0, 0\n"
                           "10 : 1, 12, 0, 48\n11 : 1\n12 : 1\n15 : 7\n16 : 0.5, 0.25\n"
                           "4 : PatchName = Name\n5 : PatchAuthor = Author\n"
                           "6 : PatchDate = Date\n7 : PatchNotes = a\nb\nc\n";
    std::string crlf;
    for (char c : lf) {
        if (c == '\n') crlf += '\r';
        crlf += c;
    }
    const PatchRecord a = read(lf), b = read(crlf);
    ASSERT_EQ(a.values.size(), b.values.size());
    for (size_t i = 0; i < a.values.size(); ++i) {
        EXPECT_EQ(a.values[i].code, b.values[i].code);
        EXPECT_EQ(a.values[i].type, b.values[i].type);
        EXPECT_EQ(a.values[i].integer, b.values[i].integer);
        EXPECT_EQ(a.values[i].real, b.values[i].real);
        EXPECT_EQ(a.values[i].linkCode, b.values[i].linkCode);
    }
    ASSERT_EQ(a.midiEntries.size(), 1u);
    ASSERT_EQ(b.midiEntries.size(), 1u);
    expectSameEntry(a.midiEntries[0], b.midiEntries[0]);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(a.beatSync[i], b.beatSync[i]);
    EXPECT_EQ(b.locked, 1);
    EXPECT_EQ(b.displayNotes, 1);
    EXPECT_EQ(b.midiProgram, 7);
    EXPECT_EQ(b.beatOffset[1], 0.25f);
    EXPECT_EQ(a.name, b.name);
    EXPECT_EQ(b.author, "Author");
    EXPECT_EQ(b.date, "Date");
    EXPECT_EQ(a.notes, "a\nb\nc");
    // The break after the notes line becomes two LF; later CR LF pairs stay.
    EXPECT_EQ(b.notes, "a\n\nb\r\nc");
    EXPECT_EQ(find(b, "plg5")->linkCode, fourcc("mlt4"));
}

TEST(PatchText, MixedLineEndsLoseNoRecord) {
    // A lone CR further on (here inside the notes) must not swallow the LF lines before it.
    const PatchRecord r =
        read("1 : vo1c = 0.5\n0 : vcss = 2\r\n11 : 1\n7 : PatchNotes = x\ry\r\nz\n");
    ASSERT_EQ(r.values.size(), 3u);
    EXPECT_EQ(r.values[1].integer, 2);
    EXPECT_EQ(r.locked, 1);
    EXPECT_EQ(r.notes, "x\ny\r\nz");
    // Notes read from a CR LF text survive being written and read again.
    const PatchRecord once = read("1 : vo1c = 0.5\r\n7 : PatchNotes = p\r\nq\r\n");
    const PatchRecord twice = read(write(once));
    EXPECT_EQ(twice.notes, once.notes);
    EXPECT_EQ(twice.values.size(), once.values.size());
}

TEST(PatchText, DuplicateCodesAreAllKept) {
    const PatchRecord r = read("1 : vo1c = 0.25\n1 : vo1c = 0.5\n");
    ASSERT_EQ(r.values.size(), 3u);
    EXPECT_EQ(r.values[0].real, 0.25);
    EXPECT_EQ(r.values[1].real, 0.5);
}

TEST(PatchText, UnknownCodesAreKeptAndUnknownRecordsIgnored) {
    const PatchRecord r = read("1 : zzzz = 2.5\n2 : plg5 = qqqq\n13 : whatever\n99 : 1, 2\n"
                               "-1 : x\nhello\n\n   \n0 : vcss = 1\n");
    ASSERT_EQ(r.values.size(), 4u);
    EXPECT_EQ(r.values[0].code, fourcc("zzzz"));
    EXPECT_EQ(r.values[1].linkCode, fourcc("qqqq"));
    EXPECT_EQ(r.values[2].code, fourcc("vcss"));
    EXPECT_EQ(read(write(r)).values[1].linkCode, fourcc("qqqq"));
}

TEST(PatchText, LinesThatDoNotParseAreLeftOut) {
    const PatchRecord r = read("1 : vo1c = \n"      // no number
                               "1 : vo2c = nan\n"   // not finite
                               "1 : vo3c = 1e999\n" // out of range
                               "0 : vcss\n"         // no value
                               "0 : klch = x\n"     // not a number
                               "2 : plg5 =\n"       // no link code
                               "2 : plg6 = mlt45\n" // not a code
                               "1 vo1f = 0.5\n"     // no colon
                               "14 : 1, 2, 3\n"     // cut short
                               "14 : a, 2, 3, 4, 5, 6, 7, 8, 9, 10, 1, 1, 1, 1, 1, 1\n"
                               "10 : 1, 2\n" // cut short
                               "11 : \n15 : x\n16 : 0.5\n"
                               "0 : 99999999999999999999999 = 1\n"
                               "3 : plg7\n"); // the rest of a type-3 line is ignored
    ASSERT_EQ(r.values.size(), 2u);
    EXPECT_EQ(r.values[0].code, fourcc("plg7"));
    EXPECT_EQ(r.values[0].type, kValueUnpatched);
    EXPECT_EQ(r.values[1].code, fourcc("mvol"));
    EXPECT_TRUE(r.midiEntries.empty());
    EXPECT_EQ(r.beatSync[0], 0);
    EXPECT_EQ(r.locked, 0);
    EXPECT_EQ(r.midiProgram, -1);
    EXPECT_EQ(r.beatOffset[0], 0.0f);
}

TEST(PatchText, OutOfRangeNumbersReadAsSafeValues) {
    const PatchRecord r = read("0 : vcss = 12\n0 : klch = -4\n10 : 1, 0, 1, -5\n15 : 300\n"
                               "14 : 0, 0, 5, 2, -20, 900, inf, 1, 2, 3, 0, 0, 0, 0, 0, 0\n");
    EXPECT_EQ(r.values[0].integer, 8);
    EXPECT_EQ(r.values[1].integer, 0);
    EXPECT_EQ(r.beatSync[1], 24);
    EXPECT_EQ(r.beatSync[3], 24);
    EXPECT_EQ(r.midiProgram, -1);
    // The non-finite range leaves the line out; finite ones are kept to 0..127.
    EXPECT_TRUE(r.midiEntries.empty());
    const PatchRecord k = read("14 : 0, 0, 5, 2, -20, 900, 1, 1, 2, 3, 0, 0, 0, 0, 0, 0\n");
    ASSERT_EQ(k.midiEntries.size(), 1u);
    EXPECT_EQ(k.midiEntries[0].range[1][0], 0.0f);
    EXPECT_EQ(k.midiEntries[0].range[1][1], 127.0f);
}

TEST(PatchText, TextRecordsNeverReadPastTheirEnd) {
    // "=" as the last character: two characters on would be the next line or past the text.
    PatchRecord r = read("4 : PatchName =\n5 : PatchAuthor = A\n6 : PatchDate\n");
    EXPECT_EQ(r.name, "");
    EXPECT_EQ(r.author, "A");
    EXPECT_EQ(r.date, "");
    r = read("7 : PatchNotes =");
    EXPECT_EQ(r.notes, "");
    r = read("7 : PatchNotes =\nnext");
    EXPECT_EQ(r.notes, "next");
    r = read("7 : notes without an equals sign\n11 : 1\n");
    EXPECT_EQ(r.notes, "");
    EXPECT_EQ(r.locked, 1);
}

TEST(PatchText, ReadingStopsAtANulAndStoresOneAtTheLength) {
    std::string text = "0 : vcss = 2\n";
    text += '\0';
    text += "11 : 1\n";
    const PatchRecord r = read(text);
    EXPECT_EQ(r.values.size(), 2u);
    EXPECT_EQ(r.locked, 0);

    char buffer[] = "11 : 1\n12 : 1\n#";
    PatchRecord p;
    p.readText(buffer, 7); // only the first line
    EXPECT_EQ(buffer[7], '\0');
    EXPECT_EQ(p.locked, 1);
    EXPECT_EQ(p.displayNotes, 0);
}

TEST(PatchText, TruncatedAndGarbageTextsNeverCrash) {
    const std::string full = [] {
        PatchRecord r;
        r.setValue(kValueInteger, fourcc("vcss"), 8, 0, 0);
        r.setValue(kValueReal, fourcc("vo1c"), 0, 0.5, 0);
        r.setValue(kValuePatched, fourcc("plg5"), 0, 0, fourcc("mlt4"));
        r.addMidiEntry(sampleEntry());
        r.name = "n";
        r.notes = "notes";
        return r.text();
    }();
    for (size_t n = 0; n <= full.size(); ++n) {
        const PatchRecord r = read(full.substr(0, n));
        EXPECT_LE(r.values.size(), 4u);
        EXPECT_EQ(r.values.back().code, n > 0 ? r.values.back().code : fourcc("mvol"));
    }
    unsigned seed = 12345;
    for (int round = 0; round < 2000; ++round) {
        std::string junk(size_t(seed % 300), ' ');
        for (char& c : junk) {
            seed = seed * 1103515245u + 12345u;
            c = "0123456789 :=,.-+\r\neE\tplgmvoaxnNI"[(seed >> 16) % 34];
        }
        PatchRecord r = read(junk);
        ASSERT_FALSE(r.values.empty());
        EXPECT_LE(r.notes.size(), size_t(kPatchTextFieldLimit));
        const std::string again = write(read(write(r)));
        EXPECT_EQ(again, write(r));
    }
}

TEST(PatchText, TheHostsLocaleDoesNotMatter) {
    PatchRecord r;
    r.setValue(kValueReal, fourcc("vo1c"), 0, 0.125, 0);
    r.beatOffset[0] = 1.5f;
    const std::string plain = write(r);
    testing::CommaDecimalLocale comma;
    if (!comma.active()) GTEST_SKIP() << "no comma-decimal locale installed";
    const std::string local = write(r);
    const PatchRecord back = read(plain);
    EXPECT_EQ(local, plain);
    EXPECT_EQ(find(back, "vo1c")->real, 0.125);
    EXPECT_EQ(back.beatOffset[0], 1.5f);
}

// ---------------------------------------------------------------- files

TEST(PatchFile, SavesOnlyWhenModifiedAndLoadsBack) {
    TempDataFolder folder;
    PatchRecord r;
    r.folder = folder.path() + "g";
    r.fileName = "0";
    std::filesystem::create_directory(r.folder);
    r.name = "Saved";
    EXPECT_TRUE(r.saveFile());
    EXPECT_FALSE(folder.exists("g/0.qix"));

    r.setValue(kValueReal, fourcc("vo1c"), 0, 0.5, 0);
    r.author = "Me";
    r.notes = "line one\nline two";
    const DiagnosticsOn verbose;
    ::testing::internal::CaptureStderr();
    EXPECT_TRUE(r.saveFile());
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(said.rfind("opening " + r.folder + "/0.qix to save patch\n", 0), 0u) << said;
    EXPECT_EQ(folder.read("g/0.qix"), r.text()); // single LF line ends, no translation
    EXPECT_FALSE(folder.exists("g/0.qix.tmp"));

    PatchRecord loaded;
    loaded.folder = r.folder;
    loaded.fileName = "0";
    loaded.author = "old";
    loaded.date = "old";
    ASSERT_TRUE(loaded.loadFile());
    EXPECT_EQ(loaded.name, "Saved");
    EXPECT_EQ(loaded.author, "Me");
    EXPECT_EQ(loaded.date, ""); // emptied before reading
    EXPECT_EQ(loaded.notes, "line one\nline two");
    EXPECT_EQ(find(loaded, "vo1c")->real, 0.5);
    EXPECT_FALSE(loaded.modified);
}

TEST(PatchFile, AMissingFileLeavesTheRecordAsItWas) {
    TempDataFolder folder;
    PatchRecord r;
    r.folder = folder.path() + "none";
    r.fileName = "session";
    r.author = "kept";
    r.setValue(kValueReal, fourcc("vo1c"), 0, 0.5, 0);
    EXPECT_FALSE(r.loadFile());
    EXPECT_EQ(r.author, "kept");
    EXPECT_EQ(r.values.size(), 1u);
}

TEST(PatchFile, AFolderThatCannotBeWrittenSaysSoAndKeepsTheOldFile) {
    TempDataFolder folder;
    PatchRecord r;
    r.folder = folder.path() + "missing";
    r.fileName = "reset";
    r.setValue(kValueReal, fourcc("vo1c"), 0, 0.5, 0);
    const DiagnosticsOn verbose;
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(r.saveFile());
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "opening " + r.folder +
                                                            "/reset.qix to save patch\n"
                                                            "error opening file to save patch!!\n");

    // A write that dies after the temporary file: the old patch stays whole.
    r.folder = folder.path().substr(0, folder.path().size() - 1);
    folder.write("reset.qix", "old patch");
    setReplaceFileInterruptedForTesting(true);
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(r.saveFile());
    ::testing::internal::GetCapturedStderr();
    setReplaceFileInterruptedForTesting(false);
    EXPECT_EQ(folder.read("reset.qix"), "old patch");
    EXPECT_TRUE(r.saveFile());
    EXPECT_NE(folder.read("reset.qix").find("vo1c"), std::string::npos);
}

TEST(PatchFile, AHugeFileIsReadOnlyInPart) {
    TempDataFolder folder;
    std::string text = "1 : vo1c = 0.5\n7 : PatchNotes = x\n";
    text.resize(3u << 20, 'y');
    folder.write("big.qix", text);
    PatchRecord r;
    r.folder = folder.path().substr(0, folder.path().size() - 1);
    r.fileName = "big";
    ASSERT_TRUE(r.loadFile());
    EXPECT_EQ(find(r, "vo1c")->real, 0.5);
    EXPECT_EQ(r.notes.size(), size_t(kPatchTextFieldLimit));
}

} // namespace
} // namespace moraine
