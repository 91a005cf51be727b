// The patch library on disk: loading, the program table, adding, the sync writers and the
// list files they leave behind.
#include "patch/PatchLibrary.h"
#include "platform/Files.h"
#include "support/RecordingMessages.h"
#include "support/TempDataFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
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

PatchRecord* addTo(PatchLibrary& lib, int group, int category, const std::string& name,
                   int program = -1) {
    lib.selectGroup(group);
    lib.selectCategory(category);
    PatchRecord* p = lib.addPatch(name, "Ann", "May", "notes of " + name, 0, program);
    if (p) {
        p->setValue(kValueReal, fourcc("vo1c"), 0, 0.25 * double(name.size()), 0);
        p->setValue(kValueReal, fourcc("mvol"), 0, 0.75, 0); // as every capture has
    }
    return p;
}

// Two groups on disk: Keys (Pianos: Grand, Upright; Pads: Warm) and Bass (Sub: Deep).
void buildLibrary(PatchLibrary& lib) {
    ASSERT_EQ(lib.addGroup("Keys", "Pianos"), 1);
    lib.selectGroup(0);
    ASSERT_EQ(lib.addCategory("Pads"), 1);
    ASSERT_EQ(lib.addGroup("Bass", "Sub"), 1);
    addTo(lib, 0, 0, "Grand");
    addTo(lib, 0, 0, "Upright");
    addTo(lib, 0, 1, "Warm");
    addTo(lib, 1, 0, "Deep");
    ASSERT_TRUE(lib.writeLibrary());
}

// A library in a fresh data folder.
class LibraryFolder : public ::testing::Test {
protected:
    TempDataFolder folder;
    RecordingMessages messages;
    PatchLibrary lib{folder.path(), messages};
};
using PatchLibraryProgramTable = LibraryFolder;
using PatchLibraryAdd = LibraryFolder;
using PatchLibraryDisk = LibraryFolder;
using PatchLibrarySync = LibraryFolder;
using PatchLibrarySelect = LibraryFolder;

TEST_F(PatchLibraryProgramTable, TheEarlierPatchWinsAndShowsItsNumber) {
    buildLibrary(lib);
    lib.groups[0]->categories[1]->patches[0]->midiProgram = 5;   // Warm, later in order
    lib.groups[0]->categories[0]->patches[1]->midiProgram = 5;   // Upright, earlier
    lib.groups[0]->categories[0]->patches[0]->midiProgram = 300; // never stored: none
    lib.selectGroup(0);

    PatchGroup& keys = *lib.groups[0];
    EXPECT_EQ(keys.programTable[5], keys.categories[0]->patches[1].get());
    EXPECT_EQ(keys.categories[1]->patches[0]->midiProgram, -1);
    EXPECT_EQ(keys.categories[0]->patches[0]->midiProgram, -1);
    lib.selectCategory(0);
    EXPECT_EQ(lib.patchNameList(), (Names{"Grand", "6: Upright"}));
    lib.selectCategory(1);
    EXPECT_EQ(lib.patchNameList(), Names{"Warm"});

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

TEST_F(PatchLibraryAdd, EmptyCategoryShowsNoPatchAndWritesAnEmptyList) {
    ASSERT_EQ(lib.addGroup("G", "First"), 1);
    lib.selectGroup(0);
    ASSERT_EQ(lib.addCategory("  Empty  "), 1);
    lib.selectCategory(1);
    EXPECT_EQ(lib.categoryNameList(), (Names{"First", "Empty"}));
    EXPECT_EQ(lib.patchNameList(), Names{"No Patch"});
    EXPECT_TRUE(folder.exists("0/1/patchList"));
    EXPECT_EQ(folder.read("0/1/patchList"), "");
    EXPECT_EQ(folder.read("0/catagoryList"), "First\nEmpty\n");
    EXPECT_EQ(lib.selectedPatch(), nullptr);
    EXPECT_TRUE(messages.informs.empty());
}

TEST_F(PatchLibraryAdd, BlankDuplicateAndLineBreakNamesAreRefused) {
    EXPECT_EQ(lib.addCategory("Nowhere"), 0); // no group yet
    EXPECT_EQ(lib.addPatch("Nowhere", "", "", "", 0, -1), nullptr);
    EXPECT_EQ(lib.addGroup("G", "C"), 1);
    EXPECT_EQ(lib.addGroup(" G ", "D"), 2);
    EXPECT_EQ(lib.addGroup("g", "D"), 1); // case counts
    EXPECT_EQ(lib.addGroup("   ", "D"), 0);
    EXPECT_EQ(lib.addGroup("H", ""), 0);
    EXPECT_EQ(lib.addGroup("Two\nLines", "D"), 0);
    lib.selectGroup(0);
    EXPECT_EQ(lib.addCategory("C"), 2);
    EXPECT_EQ(lib.addCategory("\t"), 0);
    EXPECT_EQ(lib.addCategory("A\rB"), 0);
    EXPECT_EQ(lib.addPatch("  ", "", "", "", 0, -1), nullptr);
    EXPECT_EQ(lib.addPatch("X\nY", "", "", "", 0, -1), nullptr);
    EXPECT_EQ(folder.read("groupList"), "G\ng\n");
    EXPECT_EQ(folder.read("0/catagoryList"), "C\n");

    PatchRecord* p = lib.addPatch(" Lead ", "", "", "", 1, 999);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->name, "Lead");
    EXPECT_EQ(p->midiProgram, -1);
    EXPECT_EQ(p->filePath(), folder.path() + "0/0/0.qix");
    EXPECT_EQ(folder.read("0/0/patchList"), "Lead\n");
    EXPECT_EQ(lib.selectedPatch(), p);
}

TEST_F(PatchLibraryDisk, WriteAndLoadKeepEveryNameAndPatchText) {
    buildLibrary(lib);
    std::vector<std::string> texts;
    for (auto& g : lib.groups)
        for (auto& c : g->categories)
            for (auto& p : c->patches) texts.push_back(p->text());
    EXPECT_EQ(folder.read("groupList"), "Keys\nBass\n");
    EXPECT_EQ(folder.read("0/0/patchList"), "Grand\nUpright\n");
    EXPECT_TRUE(folder.exists("0/1/0.qix") && folder.exists("1/0/0.qix"));

    PatchLibrary again(folder.path(), messages);
    EXPECT_FALSE(again.anyModified());
    EXPECT_EQ(again.groupNameList(), (Names{"Keys", "Bass"}));
    EXPECT_EQ(again.categoryNameList(), (Names{"Pianos", "Pads"}));
    EXPECT_EQ(again.patchNameList(), (Names{"Grand", "Upright"}));
    std::vector<std::string> loaded;
    for (auto& g : again.groups)
        for (auto& c : g->categories)
            for (auto& p : c->patches) loaded.push_back(p->text());
    EXPECT_EQ(loaded, texts);
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
    EXPECT_EQ(lib.resetPatch.filePath(), folder.path() + "/reset.qix");
    EXPECT_EQ(lib.hostPatch.filePath(), folder.path() + "/session.qix");
    lib.currentSource = kSourceReset;
    EXPECT_EQ(lib.currentPatch(), &lib.resetPatch);
    lib.currentSource = kSourceLibrary;
    EXPECT_EQ(lib.currentPatch(), lib.groups[0]->categories[0]->patches[0].get());
}

TEST_F(PatchLibraryDisk, DeletingGroupZeroRenumbersTheFoldersAndKeepsTheOldOne) {
    buildLibrary(lib);
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
    buildLibrary(lib);
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

// A new data folder starts from the shipped library: every one of its 42 factory patches,
// written out at once.
TEST_F(PatchLibraryDisk, AMissingGroupListIsBuiltFromTheDefaultLibraryAtOnce) {
    // Neither file: an empty library and no message.
    EXPECT_TRUE(lib.groups.empty());
    EXPECT_TRUE(messages.informs.empty());
    EXPECT_FALSE(folder.exists("groupList"));

    std::filesystem::copy_file(std::string(MORAINE_SOURCE_DIR) + "/resources/defaultLibrary",
                               folder.path() + "defaultLibrary");
    PatchLibrary shipped(folder.path(), messages);
    EXPECT_EQ(messages.informs, Names{"3 Groups imported"});
    EXPECT_FALSE(shipped.anyModified());
    EXPECT_EQ(folder.read("groupList"), "Basics\nTextures\nRhythm & Motion\n");
    size_t patches = 0;
    for (auto& g : shipped.groups)
        for (auto& c : g->categories) patches += c->patches.size();
    EXPECT_EQ(patches, 42u);
    const PatchCategory& last = *shipped.groups[2]->categories[2];
    std::string list;
    for (auto& p : last.patches) list += p->name + "\n";
    EXPECT_EQ(folder.read("2/2/patchList"), list);
    EXPECT_EQ(folder.read("2/2/0.qix"), last.patches[0]->text());
}

TEST_F(PatchLibraryDisk, ReloadDiscardsEditsOnlyWhenModified) {
    buildLibrary(lib);
    lib.groupNames[0] = "Shown only";
    lib.reload(); // nothing modified: memory stays
    EXPECT_EQ(lib.groupNames[0], "Shown only");
    lib.groups[0]->categories[0]->patches[0]->name = "Edited";
    lib.groups[0]->categories[0]->markModified(true);
    EXPECT_TRUE(lib.anyModified());
    lib.reload();
    EXPECT_FALSE(lib.anyModified());
    EXPECT_EQ(lib.groupNames[0], "Keys");
    EXPECT_EQ(lib.groups[0]->categories[0]->patches[0]->name, "Grand");
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

    PatchLibrary lib(folder.path(), messages);
    buildLibrary(lib);
    lib.markModified(true);
    std::filesystem::remove_all(folder.path() + "1");
    folder.write("1", "a file where the group folder belongs");
    std::filesystem::remove_all(folder.path() + "0/1");
    folder.write("0/1", "a file where the category folder belongs");
    messages.clear();
    EXPECT_FALSE(lib.writeLibrary());
    EXPECT_EQ(messages.informIds(), (std::vector<M>{M::CategorySyncError, M::GroupSyncError}));
    EXPECT_TRUE(lib.modified);
    EXPECT_TRUE(lib.groups[1]->modified);
    EXPECT_TRUE(lib.groups[0]->categories[1]->modified);
    EXPECT_FALSE(lib.groups[0]->categories[0]->modified);
}

TEST_F(PatchLibrarySync, AnInterruptedListWriteLeavesThePreviousListWhole) {
    buildLibrary(lib);
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

TEST_F(PatchLibrarySelect, APatchRecordIsFoundWhereverItStands) {
    buildLibrary(lib);
    const PatchRecord* warm = lib.groups[0]->categories[1]->patches[0].get();
    lib.selectPatchRecord(lib.groups[1]->categories[0]->patches[0].get());
    EXPECT_EQ(lib.currentGroup, 1);
    lib.selectPatchRecord(warm);
    EXPECT_EQ(lib.selectedPatch(), warm);
    PatchRecord stranger;
    lib.selectPatchRecord(&stranger);
    EXPECT_EQ(lib.currentGroup, 0);
    EXPECT_EQ(lib.groups[0]->currentCategory, 0);
    EXPECT_EQ(lib.selectedPatch(), lib.groups[0]->categories[0]->patches[0].get());
    EXPECT_EQ(lib.selectGroup(7), 0);
    EXPECT_EQ(lib.selectPatch(9), 0);
}

} // namespace
} // namespace moraine
