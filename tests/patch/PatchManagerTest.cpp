// The library operations as the dialogs call them: Save, Save As, lock, and the patch
// manager's copy, cut, paste, delete, rename, move, OK and cancel, with their refusals and
// questions, on real files.
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

// Captures a fixed value, so tests can see what was saved; counts the loads.
class FakeInstrument : public PatchInstrument {
public:
    void capture(PatchRecord& record) override {
        record.setValue(kValueReal, fourcc("vffc"), 0, cutoff, 0);
    }
    bool loadPatch(int source, bool) override {
        loads.push_back(source);
        return true;
    }
    double cutoff = 0.5;
    std::vector<int> loads;
};

struct Fixture {
    Fixture() : library(folder.path(), messages) {
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
    TempDataFolder folder;
    RecordingMessages messages;
    PatchLibrary library;
    FakeInstrument instrument;
};

// ---------------------------------------------------------------- Save, lock, reset

TEST(PatchSave, SavesTheSelectedPatchUnlessItIsLocked) {
    Fixture f;
    f.library.currentSource = kSourceLibrary;
    f.library.selectPatch(1);
    EXPECT_EQ(savePatch(f.library, f.instrument), SaveResult::Saved);
    EXPECT_NE(f.folder.read("0/0/1.qix").find("1 : vffc = 0.5"), std::string::npos);

    EXPECT_TRUE(setPatchLocked(f.library, true));
    EXPECT_FALSE(setPatchLocked(f.library, true)); // already locked
    EXPECT_NE(f.folder.read("0/0/1.qix").find("11 : 1"), std::string::npos);
    const std::string lockedFile = f.folder.read("0/0/1.qix");
    f.instrument.cutoff = 0.25;
    EXPECT_EQ(savePatch(f.library, f.instrument), SaveResult::Locked);
    EXPECT_EQ(f.messages.last(),
              "This patch is currently locked.  It must be unlocked in order to save it.");
    EXPECT_EQ(f.folder.read("0/0/1.qix"), lockedFile);

    EXPECT_TRUE(setPatchLocked(f.library, false));
    EXPECT_EQ(savePatch(f.library, f.instrument), SaveResult::Saved);
    EXPECT_NE(f.folder.read("0/0/1.qix").find("1 : vffc = 0.25"), std::string::npos);

    // A sound that is not the library's patch goes to Save As.
    f.library.currentSource = kSourceSession;
    EXPECT_EQ(savePatch(f.library, f.instrument), SaveResult::NeedsSaveAs);
    resetPatch(f.instrument);
    EXPECT_EQ(f.instrument.loads, std::vector<int>{kSourceReset});
}

// ---------------------------------------------------------------- Save As

TEST(PatchSaveAs, TypedNumbersOutsideOneTo128MeanNone) {
    for (const char* typed : {"0", "129", "abc", "", "12x", "-5", "99999999999999"})
        EXPECT_EQ(programFromTyped(typed), -1) << typed;
    EXPECT_EQ(programFromTyped("1"), 0);
    EXPECT_EQ(programFromTyped(" 128 "), 127);

    Fixture f;
    SaveAsRequest r;
    r.name = "Fresh";
    r.midiNumber = "129";
    ASSERT_TRUE(saveAs(f.library, f.instrument, r));
    EXPECT_EQ(f.library.selectedPatch()->midiProgram, -1);
}

TEST(PatchSaveAs, AnOccupiedNumberAsksAndCancelLeavesNone) {
    Fixture f;
    PatchRecord& toy = *f.category(0, 0).patches[3];
    toy.midiProgram = 11;
    f.library.selectGroup(0);
    SaveAsRequest r;
    r.name = "Newcomer";
    r.midiNumber = "12";
    EXPECT_EQ(saveAsQuestion(f.library, r), "Patch 'Toy' already occupies MIDI Patch Number 12.  "
                                            "Do you want to replace it with this patch?");
    f.messages.answers = {false};
    ASSERT_TRUE(saveAs(f.library, f.instrument, r));
    EXPECT_EQ(f.messages.confirms, Names{saveAsQuestion(f.library, r)});
    EXPECT_EQ(f.library.selectedPatch()->name, "Newcomer");
    EXPECT_EQ(f.library.selectedPatch()->midiProgram, -1);
    EXPECT_EQ(toy.midiProgram, 11);

    // OK moves the number to the new patch.
    r.name = "Second";
    ASSERT_TRUE(saveAs(f.library, f.instrument, r));
    EXPECT_EQ(f.library.selectedPatch()->midiProgram, 11);
    EXPECT_EQ(toy.midiProgram, -1);
    EXPECT_EQ(f.library.patchForProgram(11), f.library.selectedPatch());
    EXPECT_NE(f.folder.read("0/0/3.qix").find("15 : -1"), std::string::npos);
}

TEST(PatchSaveAs, TheSameNameOverwritesAndAnotherNameAdds) {
    Fixture f;
    f.library.selectPatch(2); // Electric
    PatchRecord* opened = f.library.selectedPatch();
    SaveAsRequest r;
    r.name = "Electric";
    r.author = "Bo";
    r.displayNotes = true;
    r.midiNumber = "3";
    r.openedOn = opened;
    EXPECT_EQ(saveAsQuestion(f.library, r), "");
    ASSERT_TRUE(saveAs(f.library, f.instrument, r));
    EXPECT_EQ(f.patchNames(0, 0).size(), 5u);
    EXPECT_EQ(opened->midiProgram, 2);
    EXPECT_EQ(opened->displayNotes, 1);
    EXPECT_NE(f.folder.read("0/0/2.qix").find("5 : PatchAuthor = Bo"), std::string::npos);

    r.name = "Electric 2";
    ASSERT_TRUE(saveAs(f.library, f.instrument, r));
    EXPECT_EQ(f.patchNames(0, 0).back(), "Electric 2");
    EXPECT_TRUE(f.folder.read("0/0/patchList").ends_with("Electric 2\n"));
    EXPECT_TRUE(f.folder.exists("0/0/5.qix"));

    // The same name in another category is a new patch there.
    r.name = "Electric";
    r.category = 1;
    ASSERT_TRUE(saveAs(f.library, f.instrument, r));
    EXPECT_EQ(f.patchNames(0, 1), (Names{"Warm", "Electric"}));
}

TEST(PatchSaveAs, NewGroupsAndCategoriesSayWhyTheyAreRefused) {
    Fixture f;
    struct Case {
        const char *group, *category;
        M message;
    };
    for (const Case& c :
         {Case{"  ", "Leads", M::GroupNamesBlank}, Case{"Keys", "Other", M::GroupExists},
          Case{"Two\nLines", "Other", M::NameOnOneLine}}) {
        EXPECT_FALSE(newGroup(f.library, c.group, c.category));
        EXPECT_EQ(f.messages.lastId(), c.message) << c.group;
    }
    EXPECT_TRUE(newGroup(f.library, "Leads", "Mono"));
    EXPECT_EQ(f.library.currentGroup, 2);
    EXPECT_TRUE(f.folder.exists("2/0/patchList"));

    for (const Case& c : {Case{"", "", M::CategoryNameBlank}, Case{"Mono", "", M::CategoryExists},
                          Case{"A\rB", "", M::NameOnOneLine}}) {
        EXPECT_FALSE(newCategory(f.library, c.group));
        EXPECT_EQ(f.messages.lastId(), c.message) << c.group;
    }
    EXPECT_TRUE(newCategory(f.library, "Poly"));
    EXPECT_EQ(f.library.currentGroupPtr()->currentCategory, 1);
    SaveAsRequest r;
    r.name = "A\nB";
    EXPECT_FALSE(saveAs(f.library, f.instrument, r));
    EXPECT_EQ(f.messages.lastId(), M::NameOnOneLine);
    EXPECT_EQ(f.messages.informs.size(), 7u);
}

// ---------------------------------------------------------------- the patch manager

TEST(PatchManagerEdits, DeleteRefusesTheLastOfALevelAndAsksWithPlurals) {
    Fixture f;
    PatchManager m(f.library);
    m.open();
    EXPECT_FALSE(m.remove({{0, 1}, {}, {}}));
    EXPECT_FALSE(m.remove({{1}, {0}, {}})); // Bass has only Sub
    EXPECT_EQ(f.messages.informIds(),
              (std::vector<M>{M::GroupDeleteRefused, M::CategoryDeleteRefused}));
    EXPECT_TRUE(f.messages.confirms.empty());

    // Plural forms, answered Cancel: nothing goes.
    f.messages.answers = {false, false, false};
    f.library.selectGroup(0);
    f.library.addCategory("Organs");
    f.library.addGroup("Spare", "One");
    EXPECT_FALSE(m.remove({{0}, {0, 1}, {}}));
    EXPECT_FALSE(m.remove({{0, 2}, {}, {}}));
    EXPECT_FALSE(m.remove({{0}, {0}, {1, 2}}));
    EXPECT_EQ(
        f.messages.confirms,
        (Names{"Are you sure you want to delete 2 Categories of Group Keys?",
               "Are you sure you want to delete 2 Groups?",
               "Are you sure you want to delete 2 Patches from Category Pianos of Group Keys?"}));
    EXPECT_EQ(f.messages.last(), "Deletion Canceled");
    EXPECT_EQ(f.patchNames(0, 0).size(), 5u);
    EXPECT_EQ(f.library.groups.size(), 3u);

    f.messages.confirms.clear();
    EXPECT_TRUE(m.remove({{0}, {0}, {1, 2}}));
    EXPECT_EQ(f.patchNames(0, 0), (Names{"Grand", "Toy", "Harp"}));
    EXPECT_TRUE(m.remove({{0}, {1}, {0}}));
    EXPECT_EQ(f.category(0, 1).patchNames, Names{"No Patch"});
    EXPECT_TRUE(m.remove({{0}, {1}, {}}));
    EXPECT_TRUE(m.remove({{1}, {}, {}})); // a group may go while another exists
    EXPECT_EQ(
        f.messages.confirms,
        (Names{"Are you sure you want to delete 2 Patches from Category Pianos of Group Keys?",
               "Are you sure you want to delete 1 Patch from Category Pads of Group Keys?",
               "Are you sure you want to delete 1 Category of Group Keys?",
               "Are you sure you want to delete Group Bass?"}));
    EXPECT_EQ(f.library.groupNames, (Names{"Keys", "Spare"}));
    EXPECT_EQ(f.library.groups[0]->categoryNames, (Names{"Pianos", "Organs"}));
}

// A dialog may still hold positions from before a delete; they must neither delete nor
// select anything that is not there.
TEST(PatchManagerEdits, AStaleSelectionAfterADeleteTouchesNothingPastTheEnd) {
    Fixture f;
    f.library.selectPatch(4); // Harp, the last patch, is what the manager opens on
    PatchManager m(f.library);
    m.open();
    ASSERT_TRUE(m.remove({{0}, {0}, {3, 4}}));
    EXPECT_EQ(f.category(0, 0).currentPatch, 0);
    EXPECT_EQ(f.library.selectedPatch()->name, "Grand");

    f.messages.clear();
    EXPECT_FALSE(m.remove({{0}, {0}, {3, 4}})); // both past the end now: no question
    EXPECT_TRUE(f.messages.confirms.empty() && f.messages.informs.empty());
    EXPECT_TRUE(m.remove({{0}, {0}, {2, 4}})); // only the one still there
    EXPECT_EQ(f.messages.confirms.back(),
              "Are you sure you want to delete 1 Patch from Category Pianos of Group Keys?");
    EXPECT_EQ(f.patchNames(0, 0), (Names{"Grand", "Upright"}));
    EXPECT_FALSE(m.remove({{0}, {7}, {0}}));
    EXPECT_FALSE(m.remove({{5}, {}, {}}));
    EXPECT_FALSE(m.rename({{0}, {0}, {2}}, "Ghost"));
    EXPECT_EQ(m.moveDown({{0}, {0}, {2}}).patches, std::vector<int>{2});
    EXPECT_EQ(f.patchNames(0, 0), (Names{"Grand", "Upright"}));

    // The group that was current goes: the selection falls back to group 0.
    f.library.selectGroup(1);
    ASSERT_TRUE(m.remove({{1}, {}, {}}));
    EXPECT_EQ(f.library.currentGroup, 0);
    EXPECT_FALSE(m.remove({{1}, {}, {}}));
    EXPECT_EQ(f.library.groupNames, Names{"Keys"});
    m.ok();
    EXPECT_EQ(f.folder.read("groupList"), "Keys\n");
    EXPECT_EQ(f.folder.read("0/0/patchList"), "Grand\nUpright\n");
    EXPECT_EQ(f.library.selectedPatch()->name, "Grand");
}

TEST(PatchManagerEdits, CutRefusesLikeDeleteAndMovesToTheClipboard) {
    Fixture f;
    PatchManager m(f.library);
    m.open();
    m.cut({{0, 1}, {}, {}});
    m.cut({{1}, {0}, {}});
    EXPECT_EQ(f.messages.informIds(), (std::vector<M>{M::GroupCutRefused, M::CategoryCutRefused}));
    EXPECT_FALSE(f.folder.exists("clipboard"));

    m.cut({{0}, {0}, {0}});
    EXPECT_EQ(f.messages.last(), "1 Patch from Category Pianos of Group Keys in clipboard.");
    EXPECT_TRUE(f.messages.confirms.empty()); // no question
    EXPECT_EQ(f.folder.read("clipboardtype"), "2");
    EXPECT_EQ(f.patchNames(0, 0).front(), "Upright");

    // Paste into Pads: appended, with a unique name when one is taken.
    m.paste({{0}, {1}, {}});
    m.paste({{0}, {1}, {}});
    EXPECT_EQ(f.patchNames(0, 1), (Names{"Warm", "Grand", "Grand 1"}));
    EXPECT_TRUE(f.category(0, 1).patches[2]->modified);
}

TEST(PatchManagerEdits, CopyOfTwoCategoriesReportsTheClipboard) {
    Fixture f;
    PatchManager m(f.library);
    m.open();
    EXPECT_EQ(m.clipboardType(), -1);
    m.copy({{0}, {0, 1}, {}});
    EXPECT_EQ(f.messages.last(), "2 Categories from Keys in clipboard.");
    EXPECT_EQ(f.folder.read("clipboardtype"), "1");
    PatchManager later(f.library);
    later.open();
    EXPECT_EQ(later.clipboardType(), 1);
    later.paste({{1}, {}, {}});
    EXPECT_EQ(f.library.groups[1]->categoryNames, (Names{"Sub", "Pianos", "Pads"}));
}

TEST(PatchManagerEdits, MovingKeepsTheBlockTogetherAndTheSelectionFollows) {
    Fixture f;
    PatchManager m(f.library);
    m.open();
    LibrarySelection after = m.moveDown({{0}, {0}, {1, 3}});
    EXPECT_EQ(after.patches, (std::vector<int>{3, 4}));
    EXPECT_EQ(f.patchNames(0, 0), (Names{"Grand", "Electric", "Harp", "Upright", "Toy"}));
    after = m.moveUp({{0}, {0}, {3, 4}});
    EXPECT_EQ(after.patches, (std::vector<int>{2, 3}));
    EXPECT_EQ(f.patchNames(0, 0), (Names{"Grand", "Electric", "Upright", "Toy", "Harp"}));
    after = m.moveUp({{0}, {0}, {0}});
    EXPECT_EQ(after.patches, std::vector<int>{0});

    // One group moved becomes the current group; everything is written anew at OK.
    after = m.moveUp({{1}, {}, {}});
    EXPECT_EQ(after.groups, std::vector<int>{0});
    EXPECT_EQ(f.library.groupNames, (Names{"Bass", "Keys"}));
    EXPECT_EQ(f.library.currentGroup, 0);
    m.ok();
    EXPECT_EQ(f.folder.read("groupList"), "Bass\nKeys\n");
    EXPECT_NE(f.folder.read("0/0/0.qix").find("PatchName = Deep"), std::string::npos);
    EXPECT_NE(f.folder.read("1/0/1.qix").find("PatchName = Electric"), std::string::npos);
}

TEST(PatchManagerEdits, RenameTakesTheTextButNoLineBreak) {
    Fixture f;
    PatchManager m(f.library);
    m.open();
    EXPECT_TRUE(m.rename({{0}, {0}, {4}}, "  Concert Harp"));
    EXPECT_EQ(f.patchNames(0, 0)[4], "  Concert Harp");
    EXPECT_TRUE(m.rename({{0}, {1}, {}}, std::string(1500, 'x')));
    EXPECT_EQ(f.category(0, 1).name.size(), 1000u);
    EXPECT_FALSE(m.rename({{1}, {}, {}}, "Bass\nLines"));
    EXPECT_EQ(f.messages.lastId(), M::NameOnOneLine);
    EXPECT_EQ(f.library.groupNames[1], "Bass");
}

TEST(PatchManagerEdits, CancelRestoresTheDiskAndOkWritesIt) {
    Fixture f;
    f.library.selectPatch(3);
    const std::string before = f.folder.read("0/0/patchList");
    PatchManager m(f.library);
    m.open();
    m.remove({{0}, {0}, {0, 1}});
    m.rename({{1}, {}, {}}, "Low End");
    m.moveDown({{0}, {}, {}});
    m.cancel();
    EXPECT_EQ(f.library.groupNames, (Names{"Keys", "Bass"}));
    EXPECT_EQ(f.patchNames(0, 0).size(), 5u);
    EXPECT_EQ(f.folder.read("0/0/patchList"), before);
    EXPECT_EQ(f.library.selectedPatch()->name, "Toy");

    // OK: the edits reach the disk and the opened patch is selected where it now stands.
    m.open();
    m.remove({{0}, {0}, {0, 1}});
    m.ok();
    EXPECT_EQ(f.folder.read("0/0/patchList"), "Electric\nToy\nHarp\n");
    EXPECT_EQ(f.library.selectedPatch()->name, "Toy");
    EXPECT_EQ(f.category(0, 0).currentPatch, 1);
}

TEST(PatchManagerEdits, ExportAddsTheExtensionAndImportReadsItBack) {
    Fixture f;
    PatchManager m(f.library);
    m.open();
    m.exportTo(f.folder.path() + "keys", {{0}, {}, {}});
    EXPECT_EQ(f.messages.last(), "1 Group exported.");
    EXPECT_TRUE(f.folder.exists("keys.qix"));
    m.exportTo(f.folder.path() + "pads.dump", {{0}, {1}, {}});
    EXPECT_TRUE(f.folder.exists("pads.dump"));
    m.importFrom(f.folder.path() + "keys.qix");
    EXPECT_EQ(f.messages.last(), "1 Group imported");
    EXPECT_EQ(f.library.groupNames, (Names{"Keys", "Bass", "Keys 1"}));
}

} // namespace
} // namespace moraine
