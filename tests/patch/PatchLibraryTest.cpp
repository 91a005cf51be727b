// The patch library on disk: loading, the program table, adding, the sync writers and the
// list files they leave behind; archive dumps.
#include "patch/PatchLibrary.h"
#include "platform/Files.h"
#include "support/RecordingMessages.h"
#include "support/TempDataFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#ifndef MORAINE_SOURCE_DIR
#error "the tests read the shipped default library from the source tree"
#endif

namespace moraine {
namespace {

using testing::RecordingMessages;
using testing::TempDataFolder;
using Names = std::vector<std::string>;
using M = LibraryMessage;
// Groups, each with its categories, each with its patches.
using Tree = std::vector<std::pair<std::string, std::vector<std::pair<std::string, Names>>>>;

const Tree kKeysAndBass = {{"Keys", {{"Pianos", {"Grand", "Upright"}}, {"Pads", {"Warm"}}}},
                           {"Bass", {{"Sub", {"Deep"}}}}};

// Every patch's text, in library order.
std::vector<std::string> texts(const PatchLibrary& lib) {
    std::vector<std::string> out;
    for (auto& g : lib.groups)
        for (auto& c : g->categories)
            for (auto& p : c->patches) out.push_back(p->text());
    return out;
}

// A library in a fresh data folder; `build` adds the levels given and writes them to disk.
struct Library {
    TempDataFolder folder;
    RecordingMessages messages;
    PatchLibrary lib{folder.path(), messages};
    Library() = default;
    explicit Library(const Tree& tree) { build(tree); }
    void build(const Tree& tree) {
        for (const auto& [group, categories] : tree) {
            EXPECT_EQ(lib.addGroup(group, categories[0].first), 1);
            lib.selectGroup(int(lib.groups.size()) - 1);
            for (size_t c = 0; c < categories.size(); ++c) {
                if (c > 0 && lib.addCategory(categories[c].first) != 1) ADD_FAILURE() << c;
                lib.selectCategory(int(c));
                for (const std::string& name : categories[c].second) {
                    PatchRecord* p = lib.addPatch(name, "Ann", "May", "n " + name, 0, -1);
                    p->setValue(kValueReal, fourcc("vffc"), 0, double(name.size()) / 8.0, 0);
                    p->setValue(kValuePatched, fourcc("plg1"), 0, 0, fourcc("mlt2"));
                    p->setValue(kValueReal, fourcc("mvol"), 0, 0.75, 0); // as every capture has
                }
            }
        }
        EXPECT_TRUE(lib.writeLibrary());
        messages.clear();
    }
    std::string path(const std::string& name) const { return folder.path() + name; }
    const PatchCategory& category(size_t g, size_t c = 0) const {
        return *lib.groups[g]->categories[c];
    }
    size_t patchCount() const { return texts(lib).size(); }
};

class LibraryFolder : public ::testing::Test, protected Library {};
using PatchLibraryProgramTable = LibraryFolder;
using PatchLibraryAdd = LibraryFolder;
using PatchLibraryDisk = LibraryFolder;
using PatchLibrarySync = LibraryFolder;

TEST_F(PatchLibraryProgramTable, TheEarlierPatchWinsAndShowsItsNumber) {
    build(kKeysAndBass);
    lib.groups[0]->categories[1]->patches[0]->midiProgram = 5;   // Warm, later in order
    lib.groups[0]->categories[0]->patches[1]->midiProgram = 5;   // Upright, earlier
    lib.groups[0]->categories[0]->patches[0]->midiProgram = 300; // never stored: none
    lib.selectGroup(0);
    PatchGroup& keys = *lib.groups[0];
    EXPECT_TRUE(keys.categories[1]->patches[0]->midiProgram == -1 &&
                keys.categories[0]->patches[0]->midiProgram == -1);
    lib.selectCategory(0);
    EXPECT_EQ(lib.patchNameList(), (Names{"Grand", "6: Upright"}));
    EXPECT_TRUE(lib.selectByProgram(5));
    EXPECT_EQ(lib.selectedPatch(), keys.categories[0]->patches[1].get());
    lib.selectCategory(1);
    for (int program : {128, -1, 4, 1000}) {
        EXPECT_FALSE(lib.selectByProgram(program)) << program;
        EXPECT_EQ(keys.currentCategory, 1);
        EXPECT_EQ(lib.patchForProgram(program), nullptr);
    }
    // A patch the caller removed without a rebuild is never handed out.
    keys.categories[0]->patches.erase(keys.categories[0]->patches.begin() + 1);
    EXPECT_FALSE(lib.selectByProgram(5));
}

// An empty category shows "No Patch", selects none and has an empty list on disk.
TEST_F(PatchLibraryAdd, BlankDuplicateAndLineBreakNamesAreRefusedAndEmptyLevelsAreWritten) {
    EXPECT_EQ(lib.addCategory("Nowhere"), 0); // no group yet
    EXPECT_EQ(lib.addPatch("Nowhere", "", "", "", 0, -1), nullptr);
    EXPECT_EQ(lib.addGroup("G", "C"), 1);
    EXPECT_EQ(lib.addGroup(" G ", "D"), 2);
    EXPECT_EQ(lib.addGroup("g", "D"), 1); // case counts
    for (auto [group, category] : {std::pair{"   ", "D"}, {"H", ""}, {"Two\nLines", "D"}})
        EXPECT_EQ(lib.addGroup(group, category), 0) << group;
    lib.selectGroup(0);
    EXPECT_EQ(lib.addCategory("C"), 2);
    EXPECT_TRUE(lib.addCategory("\t") == 0 && lib.addCategory("A\rB") == 0);
    ASSERT_EQ(lib.addCategory("  Empty  "), 1);
    lib.selectCategory(1);
    EXPECT_EQ(lib.patchNameList(), Names{"No Patch"});
    EXPECT_EQ(lib.selectedPatch(), nullptr);
    EXPECT_TRUE(folder.exists("0/1/patchList") && folder.read("0/1/patchList").empty());
    EXPECT_TRUE(!lib.addPatch("  ", "", "", "", 0, -1) && !lib.addPatch("X\nY", "", "", "", 0, -1));
    EXPECT_EQ(folder.read("groupList"), "G\ng\n");
    EXPECT_EQ(folder.read("0/catagoryList"), "C\nEmpty\n");
    PatchRecord* p = lib.addPatch(" Lead ", "", "", "", 1, 999);
    ASSERT_NE(p, nullptr);
    EXPECT_TRUE(p->name == "Lead" && p->midiProgram == -1);
    EXPECT_EQ(p->filePath(), folder.path() + "0/1/0.qix");
    EXPECT_EQ(folder.read("0/1/patchList"), "Lead\n");
    EXPECT_EQ(lib.selectedPatch(), p);
}

TEST_F(PatchLibraryDisk, WriteAndLoadKeepEveryNameAndPatchText) {
    build(kKeysAndBass);
    EXPECT_EQ(folder.read("groupList"), "Keys\nBass\n");
    EXPECT_EQ(folder.read("0/0/patchList"), "Grand\nUpright\n");
    EXPECT_TRUE(folder.exists("0/1/0.qix") && folder.exists("1/0/0.qix"));
    PatchLibrary again(folder.path(), messages);
    EXPECT_FALSE(again.anyModified());
    EXPECT_EQ(again.groupNameList(), (Names{"Keys", "Bass"}));
    EXPECT_EQ(again.categoryNameList(), (Names{"Pianos", "Pads"}));
    EXPECT_EQ(again.patchNameList(), (Names{"Grand", "Upright"}));
    EXPECT_EQ(texts(again), texts(lib));
    EXPECT_TRUE(messages.informs.empty());
}

TEST_F(PatchLibraryDisk, ListLinesEndAnyWayAndMissingFilesLeaveLevelsEmpty) {
    folder.write("groupList", "  A \r\n\r\n\tB\rC\n\n");
    std::filesystem::create_directories(folder.path() + "0/0");
    folder.write("0/catagoryList", "Cat\r\n");
    folder.write("0/0/patchList", "From List\nNo File\n");
    folder.write("0/0/0.qix", "15 : 3\n4 : PatchName = From File\n");
    folder.write("reset.qix", "4 : PatchName = Init\n");
    PatchLibrary lib(folder.path(), messages); // read after the files are there

    EXPECT_EQ(lib.groupNames, (Names{"A", "B", "C"}));
    EXPECT_TRUE(lib.groups[1]->categories.empty());
    EXPECT_EQ(lib.patchNameList(), (Names{"4: From File", "No File"}));
    EXPECT_EQ(lib.resetPatch.name, "Init");
}

TEST_F(PatchLibraryDisk, DeletingGroupZeroRenumbersTheFoldersAndKeepsTheOldOne) {
    build(kKeysAndBass);
    const std::string deep = lib.groups[1]->categories[0]->patches[0]->text();
    lib.groups.erase(lib.groups.begin());
    lib.groupNames.erase(lib.groupNames.begin());
    lib.markModified(true);
    ASSERT_TRUE(lib.writeLibrary());
    EXPECT_EQ(folder.read("groupList"), "Bass\n");
    EXPECT_EQ(folder.read("0/catagoryList"), "Sub\n");
    EXPECT_EQ(folder.read("0/0/patchList"), "Deep\n");
    EXPECT_EQ(folder.read("0/0/0.qix"), deep);
    EXPECT_EQ(folder.read("1/catagoryList"), "Sub\n"); // unreferenced, still there

    PatchLibrary again(folder.path(), messages);
    ASSERT_EQ(again.groups.size(), 1u);
    EXPECT_EQ(again.patchNameList(), Names{"Deep"});
}

TEST_F(PatchLibraryDisk, NamesThatCannotBeListLinesKeepEveryEntryInPlace) {
    build(kKeysAndBass);
    lib.groups[0]->name = "   "; // a rename is taken as typed
    lib.groups[1]->categories[0]->patches[0]->name = "Two\nLines";
    lib.markModified(true);
    ASSERT_TRUE(lib.writeLibrary());
    EXPECT_EQ(folder.read("groupList"), "Untitled\nBass\n");
    EXPECT_EQ(folder.read("1/0/patchList"), "Two Lines\n");
    PatchLibrary again(folder.path(), messages);
    ASSERT_EQ(again.groups.size(), 2u);
    EXPECT_EQ(again.groups[1]->categories[0]->patches.size(), 1u);
}

// A new data folder starts from the shipped library, written out at once (that it holds
// every factory patch is checked through the plug-in).
TEST_F(PatchLibraryDisk, AMissingGroupListIsBuiltFromTheDefaultLibraryAtOnce) {
    // Neither file: an empty library and no message.
    EXPECT_TRUE(lib.groups.empty() && messages.informs.empty() && !folder.exists("groupList"));
    std::filesystem::copy_file(std::string(MORAINE_SOURCE_DIR) + "/resources/defaultLibrary",
                               folder.path() + "defaultLibrary");
    PatchLibrary shipped(folder.path(), messages);
    EXPECT_EQ(messages.informs, Names{"3 Groups imported"});
    EXPECT_FALSE(shipped.anyModified());
    EXPECT_EQ(folder.read("groupList"), "Basics\nTextures\nRhythm & Motion\n");
    const PatchCategory& last = *shipped.groups[2]->categories[2];
    std::string list;
    for (auto& p : last.patches) list += p->name + "\n";
    EXPECT_EQ(folder.read("2/2/patchList"), list);
    EXPECT_EQ(folder.read("2/2/0.qix"), last.patches[0]->text());
}

TEST_F(PatchLibrarySync, ListsThatCannotBeWrittenSayWhichLevelAndKeepTheFlags) {
    // Works for root too: nothing can be created below a regular file.
    folder.write("plain", "x");
    PatchLibrary blocked(folder.path() + "plain/lib/", messages);
    blocked.groups.push_back(std::make_unique<PatchGroup>());
    blocked.groupNames.push_back("G");
    EXPECT_FALSE(blocked.writeLibrary());
    EXPECT_EQ(messages.last(),
              std::string("Library Sync error. Please report to ") + kSupportAddress);
    EXPECT_TRUE(blocked.modified);
    build(kKeysAndBass);
    lib.markModified(true);
    std::filesystem::remove_all(folder.path() + "1");
    folder.write("1", "a file where the group folder belongs");
    std::filesystem::remove_all(folder.path() + "0/1");
    folder.write("0/1", "a file where the category folder belongs");
    messages.clear();
    EXPECT_FALSE(lib.writeLibrary());
    EXPECT_EQ(messages.informIds(), (std::vector<M>{M::CategorySyncError, M::GroupSyncError}));
    EXPECT_TRUE(lib.modified);
    EXPECT_TRUE(lib.groups[1]->modified && lib.groups[0]->categories[1]->modified);
    EXPECT_FALSE(lib.groups[0]->categories[0]->modified);
}

TEST_F(PatchLibrarySync, AnInterruptedListWriteLeavesThePreviousListWhole) {
    build(kKeysAndBass);
    lib.groups[0]->name = "Renamed";
    lib.groups[0]->categories[0]->name = "Renamed too";
    setReplaceFileInterruptedForTesting(true);
    const bool written = lib.writeLibrary();
    setReplaceFileInterruptedForTesting(false);
    EXPECT_FALSE(written);
    EXPECT_EQ(folder.read("groupList"), "Keys\nBass\n");
    EXPECT_EQ(folder.read("0/catagoryList"), "Pianos\nPads\n");
    EXPECT_TRUE(lib.writeLibrary());
    EXPECT_EQ(folder.read("groupList"), "Renamed\nBass\n");
}

// ---- archive dumps: export, import, the clipboard, and dumps that are damaged

// The exact layout of one patch, the messages of each level (the clipboard's are checked
// with the patch manager), and a selection that is not there.
TEST(PatchArchiveExport, OnePatchIsWrittenExactlyAndEachLevelSaysWhatWasWritten) {
    Library a({{"Bass", {{"C", {"Deep", "Round"}}, {"Other", {}}}}, {"Keys", {{"X", {"Lead"}}}}});
    ASSERT_TRUE(a.lib.writeDump(a.path("one.qix"), {1}, {0}, {0}, false));
    EXPECT_EQ(a.folder.read("one.qix"), "Moraine Deck Version 1.0 Dump\nMulti Patch: 1\nKeys\nX\n"
                                        "Start Patch: Lead\n" +
                                            a.category(1).patches[0]->text() +
                                            "End Patch: Lead\nEnd Multi Patch: Keys - X\n");
    EXPECT_TRUE(a.lib.writeDump(a.path("x.qix"), {0}, {1}, {}, false));
    EXPECT_TRUE(a.lib.writeDump(a.path("x.qix"), {0, 1}, {}, {}, false));
    EXPECT_TRUE(a.lib.writeDump(a.path("x.qix"), {1}, {}, {4}, true));
    EXPECT_EQ(a.messages.informs, (Names{"1 Patch from Category X of Group Keys exported.",
                                         "1 Category from Bass exported.", "2 Groups exported.",
                                         "1 Group in clipboard."}));
    a.messages.clear();
    a.folder.write("keep.qix", "previous");
    EXPECT_FALSE(a.lib.writeDump(a.path("keep.qix"), {}, {0}, {0}, true)); // no group
    EXPECT_FALSE(a.lib.writeDump(a.path("keep.qix"), {3}, {}, {}, true));
    EXPECT_FALSE(a.lib.writeDump(a.path("keep.qix"), {0}, {0}, {5}, true));
    EXPECT_EQ(a.messages.informIds(), std::vector<M>(3, M::SelectionError));
    EXPECT_EQ(a.folder.read("keep.qix"), "previous");
    a.messages.clear();
    EXPECT_FALSE(a.lib.writeDump(a.path("no/such/folder.qix"), {0}, {}, {}, false));
    EXPECT_TRUE(a.messages.informs.empty());
}

TEST(PatchArchiveImport, GroupsGetUniqueNamesAndArriveWhole) {
    Library from({{"Bass", {{"C", {"Deep", "Round"}}}}});
    from.lib.groups[0]->categories[0]->patches[1]->notes =
        "first\nEnd Patch: Other\nStart Patch: Fake\nEnd Category Dump: C\nlast";
    from.lib.groups[0]->categories[0]->patches[1]->midiProgram = 9;
    ASSERT_TRUE(from.lib.writeDump(from.path("bass.qix"), {0}, {}, {}, false));
    Library to({{"Bass", {{"C", {}}}}, {"Bass 1", {{"C", {}}}}});
    to.lib.importDump(from.path("bass.qix"), false);
    EXPECT_EQ(to.messages.informs, Names{"1 Group imported"});
    const PatchGroup& g = *to.lib.groups[2];
    ASSERT_EQ(g.categories.size(), 1u);
    const PatchCategory& c = *g.categories[0];
    EXPECT_EQ(c.patchNames, (Names{"Deep", "Round"}));
    for (size_t k = 0; k < 2; ++k) {
        EXPECT_EQ(c.patches[k]->text(), from.category(0).patches[k]->text());
        EXPECT_EQ(c.patches[k]->filePath(), to.path("2/0/" + std::to_string(k) + ".qix"));
        EXPECT_TRUE(c.patches[k]->modified);
    }
    to.lib.selectGroup(2);
    EXPECT_EQ(to.lib.patchNameList(), (Names{"Deep", "10: Round"}));
    // Reaches disk at the next write.
    ASSERT_TRUE(to.lib.writeLibrary());
    EXPECT_EQ(to.folder.read("groupList"), "Bass\nBass 1\nBass 2\n");
    EXPECT_EQ(to.folder.read("2/0/patchList"), "Deep\nRound\n");
}

TEST(PatchArchiveImport, CategoriesAndPatchesBecomeANewGroup) {
    Library from({{"Keys", {{"C", {"Grand", "Upright"}}, {"Pads", {}}}}});
    ASSERT_TRUE(from.lib.writeDump(from.path("cats.qix"), {0}, {0, 1}, {}, true));
    ASSERT_TRUE(from.lib.writeDump(from.path("pats.qix"), {0}, {0}, {1}, true));
    Library to({{"Keys", {{"C", {}}}}});
    to.lib.importDump(from.path("cats.qix"), false);
    to.lib.importDump(from.path("pats.qix"), false);
    EXPECT_EQ(to.messages.informs, (Names{"2 Categories imported", "1 Patch imported"}));
    EXPECT_EQ(to.lib.groupNames, (Names{"Keys", "Keys 1", "Keys 2"}));
    EXPECT_EQ(to.lib.groups[1]->categoryNames, (Names{"C", "Pads"}));
    EXPECT_EQ(to.category(1, 1).patchNames, Names{"No Patch"});
    EXPECT_EQ(to.lib.groups[2]->categoryNames, Names{"C"});
    EXPECT_EQ(to.category(2).patchNames, Names{"Upright"});
}

TEST(PatchArchivePaste, AppendsWithUniqueNamesAndMarksModified) {
    Library a({{"G", {{"C", {"Lead", "Lead 1", "Pad"}}}}, {"H", {{"C", {}}}}});
    ASSERT_TRUE(a.lib.writeDump(a.path("clipboard"), {0}, {0}, {0, 2}, true));
    a.messages.clear();
    a.lib.pasteDump(a.path("clipboard"), kDumpPatches, 0, 0);
    a.lib.pasteDump(a.path("clipboard"), kDumpPatches, 1, 0); // into an empty category
    EXPECT_EQ(a.messages.informs, (Names{"2 Patches pasted", "2 Patches pasted"}));
    const PatchCategory& c = a.category(0);
    EXPECT_EQ(c.patchNames, (Names{"Lead", "Lead 1", "Pad", "Lead 2", "Pad 1"}));
    EXPECT_TRUE(c.patches[3]->name == "Lead 2" && c.patches[4]->fileName == "4");
    EXPECT_TRUE(c.patches[4]->modified && c.modified && a.lib.modified);
    EXPECT_FALSE(c.patches[0]->modified);
    EXPECT_EQ(a.category(1).patchNames, (Names{"Lead", "Pad"}));
    ASSERT_TRUE(a.lib.writeDump(a.path("clipboard"), {0}, {0}, {}, true));
    a.lib.pasteDump(a.path("clipboard"), kDumpCategories, 0, 0);
    EXPECT_EQ(a.lib.groups[0]->categoryNames, (Names{"C", "C 1"}));
    EXPECT_EQ(a.category(0, 1).patches[4]->filePath(), a.path("0/1/4.qix"));
    ASSERT_TRUE(a.lib.writeDump(a.path("clipboard"), {1}, {}, {}, true));
    a.lib.pasteDump(a.path("clipboard"), kDumpGroups, 0, 0);
    EXPECT_EQ(a.lib.groupNames, (Names{"G", "H", "H 1"}));
    EXPECT_EQ(a.messages.informs.back(), "1 Group pasted");
    // A type file naming another kind than the dump: nothing changes.
    const size_t before = a.patchCount();
    a.lib.pasteDump(a.path("clipboard"), kDumpPatches, 0, 0);
    EXPECT_EQ(a.messages.lastId(), M::ClipboardErrors);
    EXPECT_EQ(a.patchCount(), before);
}

TEST(PatchArchiveDamage, AFileThatIsNotADumpIsRefusedAndChangesNothing) {
    Library a({{"G", {{"C", {"P"}}}}});
    a.folder.write("foreign.qix", "Moraine Deck Version 1.0 Dumb\nMulti Group: 1\n");
    for (const char* name : {"foreign.qix", "missing.qix"}) {
        a.messages.clear();
        a.lib.importDump(a.path(name), false);
        a.lib.pasteDump(a.path(name), kDumpPatches, 0, 0);
        EXPECT_EQ(a.messages.informIds(), (std::vector<M>{M::NotAnArchive, M::NotAnArchive}))
            << name;
    }
    EXPECT_EQ(a.messages.last(), "The selected file does not appear to be a vaild patch archive.");
    EXPECT_TRUE(a.lib.groups.size() == 1 && a.patchCount() == 1 && !a.lib.anyModified());
}

// Sections read before the damage stay; so does everything the library held before, on
// disk too once it is written.
TEST(PatchArchiveDamage, ADamagedDumpKeepsWhatItHoldsAndLosesNothing) {
    Library from({{"A", {{"C", {"One", "Two", "Three"}}, {"D", {}}}}});
    ASSERT_TRUE(from.lib.writeDump(from.path("p.qix"), {0}, {0}, {0, 1, 2}, false));
    ASSERT_TRUE(from.lib.writeDump(from.path("g.qix"), {0}, {}, {}, false));
    const std::string patches = from.folder.read("p.qix");
    const std::string group = from.folder.read("g.qix");
    auto announcing = [](std::string text, const std::string& marker, const std::string& count) {
        const size_t at = text.find(marker);
        return text.replace(at, text.find('\n', at) - at, marker + " " + count);
    };
    std::string crlf;
    const std::string cutPatches = patches.substr(0, patches.find("End Patch: Three") - 5);
    for (char ch : cutPatches) crlf += ch == '\n' ? std::string("\r\n") : std::string(1, ch);
    const std::string header = "Moraine Deck Version 1.0 Dump\n";
    struct Case {
        std::string text;
        Names added;   // the categories of the one group added, or nothing
        Names patches; // the patches of its first category
    };
    const Case cases[] = {
        {cutPatches, {"C"}, {"One", "Two"}},
        {crlf, {"C"}, {"One", "Two"}},
        {announcing(patches, "Multi Patch:", "5"), {"C"}, {"One", "Two", "Three"}},
        {announcing(group, "Multi Group:", "3"), {"C", "D"}, {"One", "Two", "Three"}},
        // The largest count that is read: the search ends with the text.
        {announcing(group, "Multi Group:", "2147483647"), {"C", "D"}, {"One", "Two", "Three"}},
        // A group cut inside its second category keeps both; an empty one cut short is dropped.
        {group.substr(0, group.find("End Category Dump: D")), {"C", "D"}, {"One", "Two", "Three"}},
        {header + "Multi Group: 1\nGroup Dump: E\n", {}, {}},
        {header + "Multi Patch: 1\nG\n", {}, {}}, // no category line
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        Library to({{"Mine", {{"C", {"Own"}}}}});
        const std::string own = to.folder.read("0/0/0.qix");
        to.folder.write("t.qix", c.text);
        to.lib.importDump(to.path("t.qix"), false);
        EXPECT_EQ(to.messages.informIds(), std::vector<M>{M::ImportErrors});
        ASSERT_EQ(to.lib.groups.size(), c.added.empty() ? 1u : 2u);
        EXPECT_EQ(to.lib.groupNames.size(), to.lib.groups.size());
        if (!c.added.empty()) {
            EXPECT_EQ(to.lib.groups[1]->categoryNames, c.added);
            Names read;
            for (auto& p : to.category(1).patches) read.push_back(p->name);
            EXPECT_EQ(read, c.patches);
        }
        EXPECT_EQ(to.category(0).patchNames, Names{"Own"});
        ASSERT_TRUE(to.lib.writeLibrary());
        EXPECT_EQ(to.folder.read("0/0/0.qix"), own);
        EXPECT_TRUE(to.folder.read("groupList").starts_with("Mine\n"));
    }
}

} // namespace
} // namespace moraine
