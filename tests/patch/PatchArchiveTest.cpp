// Archive dumps: export, import, the clipboard and its messages, and dumps that are damaged.
#include "patch/PatchLibrary.h"
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
using Tree = std::vector<std::pair<std::string, Names>>;

// A library on disk: groups named as given, each with one category "C" holding the
// patches given for it.
struct Library {
    TempDataFolder folder;
    RecordingMessages messages;
    PatchLibrary lib{folder.path(), messages};

    explicit Library(const Tree& tree) {
        for (const auto& [group, patches] : tree) {
            EXPECT_EQ(lib.addGroup(group, "C"), 1);
            lib.selectGroup(int(lib.groups.size()) - 1);
            for (const std::string& name : patches) {
                PatchRecord* p = lib.addPatch(name, "", "", "n " + name, 0, -1);
                p->setValue(kValueReal, fourcc("vffc"), 0, double(name.size()) / 8.0, 0);
                p->setValue(kValuePatched, fourcc("plg1"), 0, 0, fourcc("mlt2"));
                p->setValue(kValueReal, fourcc("mvol"), 0, 0.75, 0); // as every capture has
            }
        }
        EXPECT_TRUE(lib.writeLibrary());
        messages.clear();
    }
    std::string path(const std::string& name) const { return folder.path() + name; }
    const PatchCategory& category(size_t g, size_t c = 0) const {
        return *lib.groups[g]->categories[c];
    }
    size_t patchCount() const {
        size_t n = 0;
        for (auto& g : lib.groups)
            for (auto& c : g->categories) n += c->patches.size();
        return n;
    }
};

TEST(PatchArchiveExport, MessagesCountWithTheirPluralEndings) {
    Library a(Tree{{"Bass", {"Deep", "Round"}}, {"Keys", {"Grand"}}});
    a.lib.selectGroup(0);
    ASSERT_EQ(a.lib.addCategory("Other"), 1);
    a.messages.clear();
    EXPECT_TRUE(a.lib.writeDump(a.path("x.qix"), {1}, {0}, {0}, false));
    EXPECT_TRUE(a.lib.writeDump(a.path("x.qix"), {0}, {0}, {0, 1}, true));
    EXPECT_TRUE(a.lib.writeDump(a.path("x.qix"), {0}, {0, 1}, {}, true));
    EXPECT_TRUE(a.lib.writeDump(a.path("x.qix"), {0}, {1}, {}, false));
    EXPECT_TRUE(a.lib.writeDump(a.path("x.qix"), {0, 1}, {}, {}, false));
    EXPECT_TRUE(a.lib.writeDump(a.path("x.qix"), {1}, {}, {4}, true));
    EXPECT_EQ(a.messages.informs, (Names{
                                      "1 Patch from Category C of Group Keys exported.",
                                      "2 Patches from Category C of Group Bass in clipboard.",
                                      "2 Categories from Bass in clipboard.",
                                      "1 Category from Bass exported.",
                                      "2 Groups exported.",
                                      "1 Group in clipboard.",
                                  }));
}

TEST(PatchArchiveExport, OnePatchIsWrittenExactly) {
    Library a(Tree{{"Y", {"Lead"}}});
    a.lib.groups[0]->categories[0]->name = "X";
    ASSERT_TRUE(a.lib.writeDump(a.path("one.qix"), {0}, {0}, {0}, false));
    const std::string text = a.category(0).patches[0]->text();
    EXPECT_EQ(a.folder.read("one.qix"), "Moraine Deck Version 1.0 Dump\nMulti Patch: 1\nY\nX\n"
                                        "Start Patch: Lead\n" +
                                            text + "End Patch: Lead\nEnd Multi Patch: Y - X\n");
}

TEST(PatchArchiveExport, ASelectionThatIsNotThereWritesNothing) {
    Library a(Tree{{"G", {"P"}}});
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
    Library from(Tree{{"Bass", {"Deep", "Round"}}});
    from.lib.groups[0]->categories[0]->patches[1]->notes =
        "first\nEnd Patch: Other\nStart Patch: Fake\nEnd Category Dump: C\nlast";
    from.lib.groups[0]->categories[0]->patches[1]->midiProgram = 9;
    ASSERT_TRUE(from.lib.writeDump(from.path("bass.qix"), {0}, {}, {}, false));

    Library to(Tree{{"Bass", {}}, {"Bass 1", {}}});
    to.lib.importDump(from.path("bass.qix"), false);
    EXPECT_EQ(to.messages.informs, Names{"1 Group imported"});
    ASSERT_EQ(to.lib.groups.size(), 3u);
    EXPECT_EQ(to.lib.groupNames[2], "Bass 2");
    EXPECT_EQ(uniqueName("Bass", to.lib.groupNames), "Bass 3");
    const PatchGroup& g = *to.lib.groups[2];
    EXPECT_EQ(g.name, "Bass 2");
    EXPECT_EQ(g.id, "2");
    ASSERT_EQ(g.categories.size(), 1u);
    const PatchCategory& c = *g.categories[0];
    ASSERT_EQ(c.patches.size(), 2u);
    EXPECT_EQ(c.patchNames, (Names{"Deep", "Round"}));
    for (size_t k = 0; k < 2; ++k) {
        EXPECT_EQ(c.patches[k]->text(), from.category(0).patches[k]->text());
        EXPECT_EQ(c.patches[k]->filePath(), to.path("2/0/" + std::to_string(k) + ".qix"));
        EXPECT_TRUE(c.patches[k]->modified);
    }
    EXPECT_TRUE(to.lib.anyModified());
    to.lib.selectGroup(2);
    EXPECT_EQ(to.lib.patchNameList(), (Names{"Deep", "10: Round"}));

    // Reaches disk at the next write.
    ASSERT_TRUE(to.lib.writeLibrary());
    EXPECT_EQ(to.folder.read("groupList"), "Bass\nBass 1\nBass 2\n");
    EXPECT_EQ(to.folder.read("2/0/patchList"), "Deep\nRound\n");
}

TEST(PatchArchiveImport, CategoriesAndPatchesBecomeANewGroup) {
    Library from(Tree{{"Keys", {"Grand", "Upright"}}});
    from.lib.selectGroup(0);
    from.lib.addCategory("Pads");
    ASSERT_TRUE(from.lib.writeDump(from.path("cats.qix"), {0}, {0, 1}, {}, true));
    ASSERT_TRUE(from.lib.writeDump(from.path("pats.qix"), {0}, {0}, {1}, true));

    Library to(Tree{{"Keys", {}}});
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
    Library a(Tree{{"G", {"Lead", "Lead 1", "Pad"}}, {"H", {}}});
    ASSERT_TRUE(a.lib.writeDump(a.path("clipboard"), {0}, {0}, {0, 2}, true));
    a.messages.clear();

    a.lib.pasteDump(a.path("clipboard"), kDumpPatches, 0, 0);
    a.lib.pasteDump(a.path("clipboard"), kDumpPatches, 1, 0); // into an empty category
    EXPECT_EQ(a.messages.informs, (Names{"2 Patches pasted", "2 Patches pasted"}));
    const PatchCategory& c = a.category(0);
    EXPECT_EQ(c.patchNames, (Names{"Lead", "Lead 1", "Pad", "Lead 2", "Pad 1"}));
    EXPECT_EQ(c.patches[3]->name, "Lead 2");
    EXPECT_EQ(c.patches[4]->fileName, "4");
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
    Library a(Tree{{"G", {"P"}}});
    a.folder.write("foreign.qix", "Moraine Deck Version 1.0 Dumb\nMulti Group: 1\n");
    for (const char* name : {"foreign.qix", "missing.qix"}) {
        a.messages.clear();
        a.lib.importDump(a.path(name), false);
        a.lib.pasteDump(a.path(name), kDumpPatches, 0, 0);
        EXPECT_EQ(a.messages.informIds(), (std::vector<M>{M::NotAnArchive, M::NotAnArchive}))
            << name;
    }
    EXPECT_EQ(a.messages.last(), "The selected file does not appear to be a vaild patch archive.");
    EXPECT_EQ(a.lib.groups.size(), 1u);
    EXPECT_EQ(a.patchCount(), 1u);
    EXPECT_FALSE(a.lib.anyModified());
}

// Sections read before the damage stay; so does everything the library held before, on
// disk too once it is written.
TEST(PatchArchiveDamage, ADamagedDumpKeepsWhatItHoldsAndLosesNothing) {
    Library from(Tree{{"A", {"One", "Two", "Three"}}});
    from.lib.selectGroup(0);
    from.lib.addCategory("D");
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
        Library to(Tree{{"Mine", {"Own"}}});
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
