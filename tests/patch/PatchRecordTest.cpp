// The patch record, its text written and read, and patch files. The writer puts every
// field on a line of its own, so a read record is compared by the text it writes back.
#include "patch/PatchRecord.h"
#include "platform/Files.h"
#include "support/CommaLocale.h"
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

// What a text reads as, in the writer's words.
std::string canonical(const std::string& text) {
    return write(read(text));
}

std::string real(const char* code, double v) {
    char line[80];
    std::snprintf(line, sizeof line, "1 : %s = %.40f\n", code, v);
    return line;
}

// The lines every record ends with, at their defaults.
const std::string kDefaultTail = "10 : 0, 24, 0, 24\n11 : 0\n12 : 0\n15 : -1\n16 : 0.000000, "
                                 "0.000000\n4 : PatchName = \n5 : PatchAuthor = \n6 : PatchDate = "
                                 "\n7 : PatchNotes = \n";
const std::string kVolume = real("mvol", 1.0); // added when a text has none

// clang-format off
const MidiMapEntry kEntry{3, 74, 23, kSourceController | kSourceVelocity | kSourceAftertouch,
                          {{10, 20}, {5, 100}, {0, 64}, {32.5f, 127}}, {2, 1, 0, 2}, {1, 0, 1, 1}};
// clang-format on

TEST(PatchRecord, SetValueReplacesInPlaceOrAppends) {
    PatchRecord r;
    r.setValue(kValueReal, fourcc("vo1c"), 0, 0.25, 0);
    r.setValue(kValueInteger, fourcc("vcss"), 4, 0, 0);
    r.setValue(kValuePatched, fourcc("vo1c"), 0, 0, fourcc("mlt4"));
    EXPECT_EQ(write(r), "2 : vo1c = mlt4\n0 : vcss = 4  //\n" + kDefaultTail);
}

// Values the reader could not take back as they are are written as ones it can.
TEST(PatchText, WhatCannotBeWrittenAsItIsIsWrittenSafely) {
    PatchRecord r;
    r.setValue(kValueInteger, fourcc("ab\0\0"), 3, 0, 0); // short codes pad to four columns
    r.setValue(kValueInteger, fourcc("vcss"), 12, 0, 0);  // integers: 0..8 only
    r.setValue(kValueInteger, fourcc("klch"), -3, 0, 0);
    r.setValue(kValueReal, fourcc("vo1c"), 0, std::nan(""), 0);
    r.setValue(kValueReal, fourcc("vo2c"), 0, -HUGE_VAL, 0);
    r.name = "Lead\n10 : 1, 3, 1, 3"; // single-line texts stay on one line
    r.author = "a\rb";
    const std::string text = write(r);
    EXPECT_EQ(text, "0 :   ab = 3  //\n0 : vcss = 8  //\n0 : klch = 0  //\n" + real("vo1c", 0) +
                        real("vo2c", 0) +
                        "10 : 0, 24, 0, 24\n11 : 0\n12 : 0\n15 : -1\n16 : 0.000000, 0.000000\n"
                        "4 : PatchName = Lead 10 : 1, 3, 1, 3\n5 : PatchAuthor = a b\n"
                        "6 : PatchDate = \n7 : PatchNotes = \n");
    EXPECT_EQ(canonical(text),
              text.substr(0, text.find("10 :")) + kVolume + text.substr(text.find("10 :")));
}

TEST(PatchText, LongTextsAreCutTo511Bytes) {
    PatchRecord r;
    r.name = std::string(600, 'n');
    r.notes = std::string(700, 'x');
    // A two-byte character across the limit is left out whole.
    r.date = std::string(510, 'd') + "\xC3\xA9" + "tail";
    const PatchRecord back = read(write(r));
    EXPECT_TRUE(back.name == std::string(511, 'n') && back.notes == std::string(511, 'x'));
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
    EXPECT_TRUE(text.ends_with("7 : PatchNotes = end\n"));
    const PatchRecord back = read(text);
    EXPECT_EQ(back.name, "Big");
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

TEST(PatchText, EveryRecordKindWritesExactlyAndRoundTrips) {
    PatchRecord r;
    r.setValue(kValueInteger, fourcc("vcss"), 8, 0, 0);
    r.setValue(kValueReal, fourcc("vo1c"), 0, 0.5, 0);
    for (double v : {-3.0517578125e-05, 0.1, 1234.5678})
        r.setValue(kValueReal, fourcc(v < 0 ? "vffc" : v < 1 ? "vfff" : "vffr"), 0, v, 0);
    r.setValue(kValuePatched, fourcc("plg5"), 0, 0, fourcc("mlt4"));
    r.setValue(kValueUnpatched, fourcc("plg6"), 0, 0, 0);
    r.setValue(kValueReal, fourcc("mvol"), 0, 0.75, 0);
    r.addMidiEntry(kEntry);
    r.addMidiEntry({15, 0, 178, kSourceModWheel, {{0, 127}, {0, 127}, {127, 0}, {0, 127}}});
    const int beats[4] = {1, 12, 0, 24};
    std::memcpy(r.beatSync, beats, sizeof beats);
    r.locked = r.displayNotes = 1;
    r.midiProgram = 5;
    r.beatOffset[0] = -0.5f;
    r.beatOffset[1] = 0.25f;
    r.name = "Bass";
    r.author = "Ann";
    r.date = "1 May";
    r.notes = "first\n\n  indented\r\nlast";
    const std::string text = write(r);
    EXPECT_EQ(text, "0 : vcss = 8  //\n1 : vo1c = 0.5000000000000000000000000000000000000000\n" +
                        real("vffc", -3.0517578125e-05) + real("vfff", 0.1) +
                        real("vffr", 1234.5678) + "2 : plg5 = mlt4\n3 : plg6 = 0\n" +
                        real("mvol", 0.75) +
                        "14 : 3, 74, 23, 10, 5.000000, 100.000000, 0.000000, 64.000000, "
                        "32.500000, 127.000000, 1, 0, 0, 1, 2, 1\n"
                        "14 : 15, 0, 178, 4, 0.000000, 127.000000, 127.000000, 0.000000, 0.000000, "
                        "127.000000, 0, 0, 0, 0, 0, 0\n10 : 1, 12, 0, 24\n11 : 1\n12 : 1\n15 : 5\n"
                        "16 : -0.500000, 0.250000\n4 : PatchName = Bass\n5 : PatchAuthor = Ann\n"
                        "6 : PatchDate = 1 May\n7 : PatchNotes = first\n\n  indented\r\nlast\n");
    EXPECT_EQ(text, r.text());
    EXPECT_EQ(write(read(text)), text); // mvol read, so none appended
}

TEST(PatchText, TheHostsLocaleDoesNotMatter) {
    PatchRecord r;
    r.setValue(kValueReal, fourcc("vo1c"), 0, 0.125, 0);
    r.setValue(kValueReal, fourcc("mvol"), 0, 0.75, 0);
    r.beatOffset[0] = 1.5f;
    const std::string plain = write(r);
    testing::CommaDecimalLocale comma;
    if (!comma.active()) GTEST_SKIP() << "no comma-decimal locale installed";
    EXPECT_EQ(write(r), plain);
    EXPECT_EQ(write(read(plain)), plain);
}

// Each text as the writer gives it back once read: what is kept, what is left out, what
// comes back at a safe value.
TEST(PatchText, TextsReadAsTheWriterWouldHaveThem) {
    const std::string tail = kVolume + kDefaultTail;
    struct Case {
        const char* text;
        std::string expected;
    };
    const Case cases[] = {
        {"", tail},
        // Master volume is added as the last value, unless the text has it.
        {"1 : vo1c = 0.25\n0 : vcss = 3\n", real("vo1c", 0.25) + "0 : vcss = 3  //\n" + tail},
        {"1 : mvol = 0.75\n1 : vo1c = 0.25\n",
         real("mvol", 0.75) + real("vo1c", 0.25) + kDefaultTail},
        // Unknown codes and repeated ones are kept; unknown records and stray lines are not.
        {"1 : zzzz = 2.5\n2 : plg5 = qqqq\n13 : whatever\n99 : 1, 2\n-1 : x\nhello\n\n   \n"
         "0 : vcss = 1\n1 : vo1c = 0.25\n1 : vo1c = 0.5\n",
         real("zzzz", 2.5) + "2 : plg5 = qqqq\n0 : vcss = 1  //\n" + real("vo1c", 0.25) +
             real("vo1c", 0.5) + tail},
        // An unpatched jack's line may leave out its "= 0".
        {"3 : plg6\n2 : plg5 = mlt4\n", "3 : plg6 = 0\n2 : plg5 = mlt4\n" + tail},
        // The older MIDI records: 8 has no curves, 9 reads like 14; the controller source
        // is the map's, never the patch's.
        {"8 : 2, 7, 40, 14, 1.5, 2.5, 3.5, 4.5, 5.5, 6.5\n",
         kVolume +
             "14 : 2, 7, 40, 14, 1.500000, 2.500000, 3.500000, 4.500000, 5.500000, "
             "6.500000, 0, 0, 0, 0, 0, 0\n" +
             kDefaultTail},
        {"9 : 1, 2, 3, 15, 0, 1, 2, 3, 4, 5, 1, 1, 2, 0, 1, 1\n",
         kVolume +
             "14 : 1, 2, 3, 14, 0.000000, 1.000000, 2.000000, 3.000000, 4.000000, "
             "5.000000, 1, 1, 2, 0, 1, 1\n" +
             kDefaultTail},
    };
    for (const Case& c : cases) EXPECT_EQ(canonical(c.text), c.expected) << c.text;
    PatchRecord none;
    none.readText(nullptr, 10);
    EXPECT_EQ(write(none), tail);
}

TEST(PatchText, ReadingResetsTheListsAndBeatSettingsOnly) {
    PatchRecord r;
    r.setValue(kValueReal, fourcc("vo1c"), 0, 0.25, 0);
    r.addMidiEntry(kEntry);
    r.beatSync[1] = r.midiProgram = 3;
    r.beatOffset[0] = 2.0f;
    r.locked = r.displayNotes = 1;
    r.name = r.notes = "kept";
    r.modified = false;
    r.readText("0 : vcss = 2\n");
    EXPECT_EQ(write(r), "0 : vcss = 2  //\n" + kVolume +
                            "10 : 0, 24, 0, 24\n11 : 1\n12 : 1\n15 : -1\n16 : 0.000000, 0.000000\n"
                            "4 : PatchName = kept\n5 : PatchAuthor = \n6 : PatchDate = \n"
                            "7 : PatchNotes = kept\n");
    EXPECT_FALSE(r.modified);
}

TEST(PatchText, TheNotesRunToTheEndOfTheTextAndNeverPastIt) {
    PatchRecord r = read("4 : PatchName = N\n7 : PatchNotes = one\n10 : 1, 2, 3, 4\nthree\n");
    EXPECT_EQ(r.notes, "one\n10 : 1, 2, 3, 4\nthree");
    EXPECT_TRUE(r.beatSync[0] == 0 && r.name == "N");
    // "=" as the last character: two characters on would be the next line or past the text.
    r = read("4 : PatchName =\n5 : PatchAuthor = A\n6 : PatchDate\n");
    EXPECT_EQ(r.name + "|" + r.author + "|" + r.date, "|A|");
    EXPECT_EQ(read("7 : PatchNotes =").notes, "");
    EXPECT_EQ(read("7 : PatchNotes =\nnext").notes, "next");
    r = read("7 : notes without an equals sign\n11 : 1\n");
    EXPECT_TRUE(r.notes.empty() && r.locked == 1);
}

TEST(PatchText, CrLfReadsLikeLfExceptTheNotes) {
    const std::string lf = "0 : vcss = 5  //\n1 : vo1c = 0.75\n2 : plg5 = mlt4\n3 : plg6 = 0\n"
                           "14 : 1, 2, 3, 6, 1, 2, 3, 4, 5, 6, 1, 0, 2, 1, 0, 0\n"
                           "10 : 1, 12, 0, 48\n11 : 1\n12 : 1\n15 : 7\n16 : 0.5, 0.25\n"
                           "4 : PatchName = Name\n5 : PatchAuthor = Author\n"
                           "6 : PatchDate = Date\n7 : PatchNotes = a\nb\nc\n";
    std::string crlf;
    for (char c : lf) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    PatchRecord a = read(lf), b = read(crlf);
    EXPECT_EQ(a.notes, "a\nb\nc");
    // The break after the notes line becomes two LF; later CR LF pairs stay.
    EXPECT_EQ(b.notes, "a\n\nb\r\nc");
    a.notes = b.notes = "";
    EXPECT_EQ(write(b), write(a));
    // A lone CR further on (here inside the notes) must not swallow the LF lines before it.
    const PatchRecord r =
        read("1 : vo1c = 0.5\n0 : vcss = 2\r\n11 : 1\n7 : PatchNotes = x\ry\r\nz\n");
    ASSERT_EQ(r.values.size(), 3u);
    EXPECT_TRUE(r.values[1].integer == 2 && r.locked == 1);
    EXPECT_EQ(r.notes, "x\ny\r\nz");
}

// Only the length given is read; the reader ends it with a NUL of its own.
TEST(PatchText, ReadingStopsAtTheLengthAndStoresANulThere) {
    char buffer[] = "11 : 1\n12 : 1\n#";
    PatchRecord p;
    p.readText(buffer, 7); // only the first line
    EXPECT_TRUE(buffer[7] == '\0' && p.locked == 1 && p.displayNotes == 0);
}

// A record whose file is `name`.qix in the folder.
PatchRecord inFolder(const TempDataFolder& folder, const std::string& name) {
    PatchRecord r;
    r.folder = folder.path().substr(0, folder.path().size() - 1);
    r.fileName = name;
    return r;
}

TEST(PatchFile, SavesOnlyWhenModifiedAndLoadsBack) {
    TempDataFolder folder;
    PatchRecord r = inFolder(folder, "0");
    r.name = "Saved";
    EXPECT_TRUE(r.saveFile());
    EXPECT_FALSE(folder.exists("0.qix"));
    r.setValue(kValueReal, fourcc("vo1c"), 0, 0.5, 0);
    r.author = "Me";
    r.notes = "line one\nline two";
    EXPECT_TRUE(r.saveFile());
    EXPECT_EQ(folder.read("0.qix"), r.text()); // single LF line ends, no translation
    EXPECT_FALSE(folder.exists("0.qix.tmp"));
    PatchRecord loaded = inFolder(folder, "0");
    loaded.author = loaded.date = "old";
    ASSERT_TRUE(loaded.loadFile());
    EXPECT_EQ(loaded.date, ""); // emptied before reading
    EXPECT_EQ(write(loaded), write(read(r.text())));
    EXPECT_FALSE(loaded.modified);
    // A missing file leaves the record as it was.
    loaded.fileName = "1";
    EXPECT_FALSE(loaded.loadFile());
    EXPECT_EQ(loaded.author, "Me");
}

TEST(PatchFile, AFolderThatCannotBeWrittenSaysSoAndKeepsTheOldFile) {
    TempDataFolder folder;
    PatchRecord r = inFolder(folder, "reset");
    r.folder += "/missing";
    r.setValue(kValueReal, fourcc("vo1c"), 0, 0.5, 0);
    EXPECT_FALSE(r.saveFile());
    // A write that dies after the temporary file: the old patch stays whole.
    r.folder = inFolder(folder, "").folder;
    folder.write("reset.qix", "old patch");
    setReplaceFileInterruptedForTesting(true);
    EXPECT_FALSE(r.saveFile());
    setReplaceFileInterruptedForTesting(false);
    EXPECT_EQ(folder.read("reset.qix"), "old patch");
    EXPECT_TRUE(r.saveFile());
    EXPECT_NE(folder.read("reset.qix").find("vo1c"), std::string::npos);
}

} // namespace
} // namespace moraine
