// The library operations as the dialogs call them: Save, Save As, lock, and the patch
// manager's copy, cut, paste, delete, rename, move, OK and cancel, with their refusals and
// questions, on real files; the message table they come from.
#include "patch/PatchManager.h"
#include "support/RecordingMessages.h"
#include "support/TempDataFolder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace moraine {
namespace {

using testing::RecordingMessages;
using testing::TempDataFolder;
using Names = std::vector<std::string>;
using M = LibraryMessage;
const std::string kSure = "Are you sure you want to delete ";

// Captures a fixed value, so tests can see what was saved.
class FakeInstrument : public PatchInstrument {
public:
    void capture(PatchRecord& record) override {
        record.setValue(kValueReal, fourcc("vffc"), 0, cutoff, 0);
    }
    bool loadPatch(int, bool) override { return true; }
    double cutoff = 0.5;
};

class Library : public ::testing::Test {
protected:
    Library() : library(folder.path(), messages) {
        // Keys: Pianos (Grand, Upright, Electric, Toy, Harp), Pads (Warm); Bass: Sub (Deep).
        library.addGroup("Keys", "Pianos");
        library.selectGroup(0);
        library.addCategory("Pads");
        library.addGroup("Bass", "Sub");
        for (const char* name : {"Grand", "Upright", "Electric", "Toy", "Harp"}) add(0, 0, name);
        add(0, 1, "Warm");
        add(1, 0, "Deep");
        library.writeLibrary();
        library.selectGroup(0);
        library.selectCategory(0);
        library.selectPatch(0);
        messages.clear();
    }
    void add(int g, int c, const std::string& name) {
        library.selectGroup(g);
        library.selectCategory(c);
        library.addPatch(name, "Ann", "2026", "", 0, -1)
            ->setValue(kValueReal, fourcc("mvol"), 0, 1.0, 0);
    }
    PatchCategory& category(int g, int c) {
        return *library.groups[size_t(g)]->categories[size_t(c)];
    }
    Names patchNames(int g, int c) {
        Names out;
        for (auto& p : category(g, c).patches) out.push_back(p->name);
        return out;
    }
    SaveAsRequest request(const std::string& name, const std::string& number = "") {
        SaveAsRequest r;
        r.name = name;
        r.midiNumber = number;
        return r;
    }
    TempDataFolder folder;
    RecordingMessages messages;
    PatchLibrary library;
    FakeInstrument instrument;
};
using PatchSave = Library;
using PatchSaveAs = Library;

// The manager opened on the library as it stands.
class PatchManagerEdits : public Library {
protected:
    PatchManagerEdits() { m.open(); }
    PatchManager m{library};
};

TEST_F(PatchSave, SavesTheSelectedPatchUnlessItIsLocked) {
    const auto saved = [&] { return folder.read("0/0/1.qix"); };
    library.currentSource = kSourceLibrary;
    library.selectPatch(1);
    EXPECT_EQ(savePatch(library, instrument), SaveResult::Saved);
    EXPECT_NE(saved().find("1 : vffc = 0.5"), std::string::npos);
    EXPECT_TRUE(setPatchLocked(library, true));
    const std::string lockedFile = saved();
    EXPECT_NE(lockedFile.find("11 : 1"), std::string::npos);
    instrument.cutoff = 0.25;
    EXPECT_EQ(savePatch(library, instrument), SaveResult::Locked);
    EXPECT_EQ(messages.lastId(), M::PatchLocked);
    EXPECT_EQ(saved(), lockedFile);
    EXPECT_TRUE(setPatchLocked(library, false));
    EXPECT_EQ(savePatch(library, instrument), SaveResult::Saved);
    EXPECT_NE(saved().find("1 : vffc = 0.25"), std::string::npos);
    // A sound that is not the library's patch goes to Save As.
    library.currentSource = kSourceSession;
    EXPECT_EQ(savePatch(library, instrument), SaveResult::NeedsSaveAs);
}

TEST_F(PatchSaveAs, AnOccupiedNumberAsksAndCancelLeavesNone) {
    for (const char* typed : {"0", "129", "abc", "", "12x", "-5", "99999999999999"})
        EXPECT_EQ(programFromTyped(typed), -1) << typed;
    EXPECT_TRUE(programFromTyped("1") == 0 && programFromTyped(" 128 ") == 127);
    ASSERT_TRUE(saveAs(library, instrument, request("Fresh", "129")));
    EXPECT_EQ(library.selectedPatch()->midiProgram, -1);
    PatchRecord& toy = *category(0, 0).patches[3];
    toy.midiProgram = 11;
    library.selectGroup(0);
    SaveAsRequest r = request("Newcomer", "12");
    EXPECT_EQ(saveAsQuestion(library, r), "Patch 'Toy' already occupies MIDI Patch Number 12.  "
                                          "Do you want to replace it with this patch?");
    messages.answers = {false};
    ASSERT_TRUE(saveAs(library, instrument, r));
    EXPECT_EQ(messages.confirms, Names{saveAsQuestion(library, r)});
    EXPECT_EQ(library.selectedPatch()->name, "Newcomer");
    EXPECT_TRUE(library.selectedPatch()->midiProgram == -1 && toy.midiProgram == 11);
    // OK moves the number to the new patch.
    r.name = "Second";
    ASSERT_TRUE(saveAs(library, instrument, r));
    EXPECT_TRUE(library.selectedPatch()->midiProgram == 11 && toy.midiProgram == -1);
    EXPECT_EQ(library.patchForProgram(11), library.selectedPatch());
    EXPECT_NE(folder.read("0/0/3.qix").find("15 : -1"), std::string::npos);
}

TEST_F(PatchSaveAs, TheSameNameOverwritesAndAnotherNameAdds) {
    library.selectPatch(2); // Electric
    PatchRecord* opened = library.selectedPatch();
    SaveAsRequest r = request("Electric", "3");
    r.author = "Bo";
    r.displayNotes = true;
    r.openedOn = opened;
    EXPECT_EQ(saveAsQuestion(library, r), "");
    ASSERT_TRUE(saveAs(library, instrument, r));
    EXPECT_EQ(patchNames(0, 0).size(), 5u);
    EXPECT_TRUE(opened->midiProgram == 2 && opened->displayNotes == 1);
    EXPECT_NE(folder.read("0/0/2.qix").find("5 : PatchAuthor = Bo"), std::string::npos);
    r.name = "Electric 2";
    ASSERT_TRUE(saveAs(library, instrument, r));
    EXPECT_EQ(patchNames(0, 0).back(), "Electric 2");
    EXPECT_TRUE(folder.read("0/0/patchList").ends_with("Electric 2\n"));
    EXPECT_TRUE(folder.exists("0/0/5.qix"));
    // The same name in another category is a new patch there.
    r.name = "Electric";
    r.category = 1;
    ASSERT_TRUE(saveAs(library, instrument, r));
    EXPECT_EQ(patchNames(0, 1), (Names{"Warm", "Electric"}));
}

TEST_F(PatchSaveAs, NewGroupsAndCategoriesSayWhyTheyAreRefused) {
    struct Case {
        const char *group, *category;
        M message;
    };
    for (const Case& c :
         {Case{"  ", "Leads", M::GroupNamesBlank}, Case{"Keys", "Other", M::GroupExists},
          Case{"Two\nLines", "Other", M::NameOnOneLine}}) {
        EXPECT_FALSE(newGroup(library, c.group, c.category));
        EXPECT_EQ(messages.lastId(), c.message) << c.group;
    }
    EXPECT_TRUE(newGroup(library, "Leads", "Mono"));
    EXPECT_EQ(library.currentGroup, 2);
    EXPECT_TRUE(folder.exists("2/0/patchList"));
    for (const Case& c : {Case{"", "", M::CategoryNameBlank}, Case{"Mono", "", M::CategoryExists},
                          Case{"A\rB", "", M::NameOnOneLine}}) {
        EXPECT_FALSE(newCategory(library, c.group));
        EXPECT_EQ(messages.lastId(), c.message) << c.group;
    }
    EXPECT_TRUE(newCategory(library, "Poly"));
    EXPECT_EQ(library.currentGroupPtr()->currentCategory, 1);
    EXPECT_FALSE(saveAs(library, instrument, request("A\nB")));
    EXPECT_EQ(messages.lastId(), M::NameOnOneLine);
    EXPECT_EQ(messages.informs.size(), 7u);
}

TEST_F(PatchManagerEdits, DeleteRefusesTheLastOfALevelAndAsksWithPlurals) {
    EXPECT_FALSE(m.remove({{0, 1}, {}, {}}));
    EXPECT_FALSE(m.remove({{1}, {0}, {}})); // Bass has only Sub
    EXPECT_EQ(messages.informIds(),
              (std::vector<M>{M::GroupDeleteRefused, M::CategoryDeleteRefused}));
    EXPECT_TRUE(messages.confirms.empty());
    // Plural forms, answered Cancel: nothing goes.
    messages.answers = {false, false, false};
    library.selectGroup(0);
    library.addCategory("Organs");
    library.addGroup("Spare", "One");
    EXPECT_FALSE(m.remove({{0}, {0, 1}, {}}));
    EXPECT_FALSE(m.remove({{0, 2}, {}, {}}));
    EXPECT_FALSE(m.remove({{0}, {0}, {1, 2}}));
    EXPECT_EQ(messages.confirms, (Names{kSure + "2 Categories of Group Keys?", kSure + "2 Groups?",
                                        kSure + "2 Patches from Category Pianos of Group Keys?"}));
    EXPECT_EQ(messages.last(), "Deletion Canceled");
    EXPECT_EQ(patchNames(0, 0).size(), 5u);
    EXPECT_EQ(library.groups.size(), 3u);
    messages.confirms.clear();
    EXPECT_TRUE(m.remove({{0}, {0}, {1, 2}}));
    EXPECT_EQ(patchNames(0, 0), (Names{"Grand", "Toy", "Harp"}));
    EXPECT_TRUE(m.remove({{0}, {1}, {0}}));
    EXPECT_EQ(category(0, 1).patchNames, Names{"No Patch"});
    EXPECT_TRUE(m.remove({{0}, {1}, {}}));
    EXPECT_TRUE(m.remove({{1}, {}, {}})); // a group may go while another exists
    EXPECT_EQ(messages.confirms,
              (Names{kSure + "2 Patches from Category Pianos of Group Keys?",
                     kSure + "1 Patch from Category Pads of Group Keys?",
                     kSure + "1 Category of Group Keys?", kSure + "Group Bass?"}));
    EXPECT_EQ(library.groupNames, (Names{"Keys", "Spare"}));
    EXPECT_EQ(library.groups[0]->categoryNames, (Names{"Pianos", "Organs"}));
}

// A dialog may still hold positions from before a delete; they must neither delete nor
// select anything that is not there.
TEST_F(PatchManagerEdits, AStaleSelectionAfterADeleteTouchesNothingPastTheEnd) {
    library.selectPatch(4); // Harp, the last patch, is what the manager opens on
    m.open();
    ASSERT_TRUE(m.remove({{0}, {0}, {3, 4}}));
    EXPECT_EQ(category(0, 0).currentPatch, 0);
    EXPECT_EQ(library.selectedPatch()->name, "Grand");
    messages.clear();
    EXPECT_FALSE(m.remove({{0}, {0}, {3, 4}})); // both past the end now: no question
    EXPECT_TRUE(messages.confirms.empty() && messages.informs.empty());
    EXPECT_TRUE(m.remove({{0}, {0}, {2, 4}})); // only the one still there
    EXPECT_EQ(messages.confirms.back(), kSure + "1 Patch from Category Pianos of Group Keys?");
    EXPECT_EQ(patchNames(0, 0), (Names{"Grand", "Upright"}));
    EXPECT_FALSE(m.remove({{0}, {7}, {0}}));
    EXPECT_FALSE(m.remove({{5}, {}, {}}));
    EXPECT_FALSE(m.rename({{0}, {0}, {2}}, "Ghost"));
    EXPECT_EQ(m.moveDown({{0}, {0}, {2}}).patches, std::vector<int>{2});
    EXPECT_EQ(m.moveUp({{0}, {7}, {}}).categories, std::vector<int>{7});
    EXPECT_EQ(patchNames(0, 0), (Names{"Grand", "Upright"}));
    // The group that was current goes: the selection falls back to group 0.
    library.selectGroup(1);
    ASSERT_TRUE(m.remove({{1}, {}, {}}));
    EXPECT_EQ(library.currentGroup, 0);
    EXPECT_FALSE(m.remove({{1}, {}, {}}));
    EXPECT_EQ(library.groupNames, Names{"Keys"});
    m.ok();
    EXPECT_EQ(folder.read("groupList"), "Keys\n");
    EXPECT_EQ(folder.read("0/0/patchList"), "Grand\nUpright\n");
    EXPECT_EQ(library.selectedPatch()->name, "Grand");
}

TEST_F(PatchManagerEdits, CutRefusesLikeDeleteCopyAndCutFillTheClipboard) {
    m.cut({{0, 1}, {}, {}});
    m.cut({{1}, {0}, {}});
    EXPECT_EQ(messages.informIds(), (std::vector<M>{M::GroupCutRefused, M::CategoryCutRefused}));
    EXPECT_FALSE(folder.exists("clipboard"));
    m.cut({{0}, {0}, {0}});
    EXPECT_EQ(messages.last(), "1 Patch from Category Pianos of Group Keys in clipboard.");
    EXPECT_TRUE(messages.confirms.empty()); // no question
    EXPECT_EQ(folder.read("clipboardtype"), "2");
    EXPECT_EQ(patchNames(0, 0).front(), "Upright");
    // Paste into Pads: appended, with a unique name when one is taken.
    m.paste({{0}, {1}, {}});
    m.paste({{0}, {1}, {}});
    EXPECT_EQ(patchNames(0, 1), (Names{"Warm", "Grand", "Grand 1"}));
    EXPECT_TRUE(category(0, 1).patches[2]->modified);
    // Copied categories; a manager opened later knows the clipboard's kind.
    m.copy({{0}, {0, 1}, {}});
    EXPECT_EQ(messages.last(), "2 Categories from Keys in clipboard.");
    EXPECT_EQ(folder.read("clipboardtype"), "1");
    PatchManager later(library);
    later.open();
    EXPECT_EQ(later.clipboardType(), 1);
    later.paste({{1}, {}, {}});
    EXPECT_EQ(library.groups[1]->categoryNames, (Names{"Sub", "Pianos", "Pads"}));
}

TEST_F(PatchManagerEdits, MovingKeepsTheBlockTogetherAndTheSelectionFollows) {
    LibrarySelection after = m.moveDown({{0}, {0}, {1, 3}});
    EXPECT_EQ(after.patches, (std::vector<int>{3, 4}));
    EXPECT_EQ(patchNames(0, 0), (Names{"Grand", "Electric", "Harp", "Upright", "Toy"}));
    after = m.moveUp({{0}, {0}, {3, 4}});
    EXPECT_EQ(after.patches, (std::vector<int>{2, 3}));
    EXPECT_EQ(patchNames(0, 0), (Names{"Grand", "Electric", "Upright", "Toy", "Harp"}));
    after = m.moveUp({{0}, {0}, {0}});
    EXPECT_EQ(after.patches, std::vector<int>{0});
    // One category or group moved becomes the current one; everything is written anew at OK.
    EXPECT_EQ(m.moveUp({{0}, {1}, {}}).categories, std::vector<int>{0});
    after = m.moveUp({{1}, {}, {}});
    EXPECT_EQ(after.groups, std::vector<int>{0});
    EXPECT_EQ(library.groupNames, (Names{"Bass", "Keys"}));
    EXPECT_EQ(library.currentGroup, 0);
    m.ok(); // the patch the manager opened on is selected where it now stands
    EXPECT_TRUE(library.currentGroup == 1 && library.selectedPatch()->name == "Grand");
    EXPECT_EQ(folder.read("groupList"), "Bass\nKeys\n");
    EXPECT_NE(folder.read("0/0/0.qix").find("PatchName = Deep"), std::string::npos);
    EXPECT_NE(folder.read("1/1/1.qix").find("PatchName = Electric"), std::string::npos);
}

TEST_F(PatchManagerEdits, RenameTakesTheTextButNoLineBreak) {
    EXPECT_TRUE(m.rename({{0}, {0}, {4}}, "  Concert Harp"));
    EXPECT_EQ(patchNames(0, 0)[4], "  Concert Harp");
    EXPECT_FALSE(m.rename({{1}, {}, {}}, "Bass\nLines"));
    EXPECT_EQ(messages.lastId(), M::NameOnOneLine);
    EXPECT_EQ(library.groupNames[1], "Bass");
}

TEST_F(PatchManagerEdits, CancelRestoresTheDiskOkWritesItExportAndImport) {
    library.selectPatch(3);
    const std::string before = folder.read("0/0/patchList");
    m.open();
    m.remove({{0}, {0}, {0, 1}});
    m.rename({{1}, {}, {}}, "Low End");
    m.moveDown({{0}, {}, {}});
    m.cancel();
    EXPECT_EQ(library.groupNames, (Names{"Keys", "Bass"}));
    EXPECT_EQ(patchNames(0, 0).size(), 5u);
    EXPECT_EQ(folder.read("0/0/patchList"), before);
    EXPECT_EQ(library.selectedPatch()->name, "Toy");
    // OK: the edits reach the disk and the opened patch is selected where it now stands.
    m.open();
    m.remove({{0}, {0}, {0, 1}});
    m.ok();
    EXPECT_EQ(folder.read("0/0/patchList"), "Electric\nToy\nHarp\n");
    EXPECT_EQ(library.selectedPatch()->name, "Toy");
    EXPECT_EQ(category(0, 0).currentPatch, 1);
    // Export keeps an extension it is given; import reads the file back.
    m.exportTo(folder.path() + "keys.dump", {{0}, {}, {}});
    m.importFrom(folder.path() + "keys.dump");
    EXPECT_EQ(messages.informs.back(), "1 Group imported");
    EXPECT_EQ(library.groupNames, (Names{"Keys", "Bass", "Keys 1"}));
}

// The message table, and how its placeholders are filled.
TEST(LibraryMessages, PlaceholdersAreFilledInOrderAndNamesAreTakenAsTheyAre) {
    // A '%' in a name is not a placeholder.
    EXPECT_EQ(libraryText(LibraryMessage::DeletePatchesQuestion, {"2", "es", "50% Wet", "%s"}),
              "Are you sure you want to delete 2 Patches from Category 50% Wet of Group %s?");
}

} // namespace
} // namespace moraine
