// Archive dumps: export, import, the clipboard and its messages, and dumps that are damaged.
#include "patch/PatchLibrary.h"
#include "platform/Files.h"
#include "support/RecordingMessages.h"
#include "support/TempDataFolder.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace moraine {
namespace {

using testing::RecordingMessages;
using testing::TempDataFolder;

constexpr const char* kNotArchive =
    "The selected file does not appear to be a vaild patch archive.";

using Tree = std::vector<std::pair<std::string, std::vector<std::string>>>;

// A library in memory: groups named as given, each with one category "C" holding the
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
    EXPECT_EQ(a.messages.informs, (std::vector<std::string>{
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
    const std::string text = a.lib.groups[0]->categories[0]->patches[0]->text();
    EXPECT_EQ(a.folder.read("one.qix"), "Moraine Deck Version 1.0 Dump\nMulti Patch: 1\nY\nX\n"
                                        "Start Patch: Lead\n" +
                                            text + "End Patch: Lead\nEnd Multi Patch: Y - X\n");
    EXPECT_EQ(a.messages.last(), "1 Patch from Category X of Group Y exported.");
}

TEST(PatchArchiveExport, ASelectionThatIsNotThereWritesNothing) {
    Library a(Tree{{"G", {"P"}}});
    a.folder.write("keep.qix", "previous");
    EXPECT_FALSE(a.lib.writeDump(a.path("keep.qix"), {}, {0}, {0}, true)); // no group
    EXPECT_FALSE(a.lib.writeDump(a.path("keep.qix"), {3}, {}, {}, true));
    EXPECT_FALSE(a.lib.writeDump(a.path("keep.qix"), {0}, {0}, {5}, true));
    EXPECT_EQ(a.messages.informs, std::vector<std::string>(3, "Selection Error!"));
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
    EXPECT_EQ(to.messages.informs, std::vector<std::string>{"1 Group imported"});
    ASSERT_EQ(to.lib.groups.size(), 3u);
    EXPECT_EQ(to.lib.groupNames[2], "Bass 2");
    EXPECT_EQ(uniqueName("Bass", to.lib.groupNames), "Bass 3");
    const PatchGroup& g = *to.lib.groups[2];
    EXPECT_EQ(g.name, "Bass 2");
    EXPECT_EQ(g.id, "2");
    ASSERT_EQ(g.categories.size(), 1u);
    const PatchCategory& c = *g.categories[0];
    ASSERT_EQ(c.patches.size(), 2u);
    EXPECT_EQ(c.patchNames, (std::vector<std::string>{"Deep", "Round"}));
    for (size_t k = 0; k < 2; ++k) {
        const PatchRecord& src = *from.lib.groups[0]->categories[0]->patches[k];
        EXPECT_EQ(c.patches[k]->text(), src.text());
        EXPECT_EQ(c.patches[k]->filePath(), to.path("2/0/" + std::to_string(k) + ".qix"));
        EXPECT_TRUE(c.patches[k]->modified);
    }
    EXPECT_TRUE(to.lib.anyModified());
    to.lib.selectGroup(2);
    EXPECT_EQ(to.lib.patchNameList(), (std::vector<std::string>{"Deep", "10: Round"}));

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
    EXPECT_EQ(to.messages.informs,
              (std::vector<std::string>{"2 Categories imported", "1 Patch imported"}));
    EXPECT_EQ(to.lib.groupNames, (std::vector<std::string>{"Keys", "Keys 1", "Keys 2"}));
    EXPECT_EQ(to.lib.groups[1]->categoryNames, (std::vector<std::string>{"C", "Pads"}));
    EXPECT_EQ(to.lib.groups[1]->categories[1]->patchNames, std::vector<std::string>{"No Patch"});
    EXPECT_EQ(to.lib.groups[2]->categoryNames, std::vector<std::string>{"C"});
    EXPECT_EQ(to.lib.groups[2]->categories[0]->patchNames, std::vector<std::string>{"Upright"});
}

TEST(PatchArchivePaste, AppendsWithUniqueNamesAndMarksModified) {
    Library a(Tree{{"G", {"Lead", "Lead 1", "Pad"}}, {"H", {}}});
    ASSERT_TRUE(a.lib.writeDump(a.path("clipboard"), {0}, {0}, {0, 2}, true));
    a.messages.clear();

    a.lib.pasteDump(a.path("clipboard"), kDumpPatches, 0, 0);
    a.lib.pasteDump(a.path("clipboard"), kDumpPatches, 1, 0); // into an empty category
    EXPECT_EQ(a.messages.informs,
              (std::vector<std::string>{"2 Patches pasted", "2 Patches pasted"}));
    const PatchCategory& c = *a.lib.groups[0]->categories[0];
    EXPECT_EQ(c.patchNames, (std::vector<std::string>{"Lead", "Lead 1", "Pad", "Lead 2", "Pad 1"}));
    EXPECT_EQ(c.patches[3]->name, "Lead 2");
    EXPECT_EQ(c.patches[4]->fileName, "4");
    EXPECT_TRUE(c.patches[4]->modified && c.modified && a.lib.modified);
    EXPECT_FALSE(c.patches[0]->modified);
    EXPECT_EQ(a.lib.groups[1]->categories[0]->patchNames,
              (std::vector<std::string>{"Lead", "Pad"}));

    ASSERT_TRUE(a.lib.writeDump(a.path("clipboard"), {0}, {0}, {}, true));
    a.lib.pasteDump(a.path("clipboard"), kDumpCategories, 0, 0);
    EXPECT_EQ(a.lib.groups[0]->categoryNames, (std::vector<std::string>{"C", "C 1"}));
    EXPECT_EQ(a.lib.groups[0]->categories[1]->patches[4]->filePath(), a.path("0/1/4.qix"));
    ASSERT_TRUE(a.lib.writeDump(a.path("clipboard"), {1}, {}, {}, true));
    a.lib.pasteDump(a.path("clipboard"), kDumpGroups, 0, 0);
    EXPECT_EQ(a.lib.groupNames, (std::vector<std::string>{"G", "H", "H 1"}));
    EXPECT_EQ(a.messages.last(), "1 Group pasted");

    // A type file naming another kind than the dump: nothing changes.
    const size_t before = a.patchCount();
    a.lib.pasteDump(a.path("clipboard"), kDumpPatches, 0, 0);
    EXPECT_EQ(a.messages.last(), "The clipboard contained errors.");
    EXPECT_EQ(a.patchCount(), before);
}

TEST(PatchArchiveDamage, ForeignEmptyMissingAndRandomFilesChangeNothing) {
    Library a(Tree{{"G", {"P"}}});
    std::mt19937 random(7);
    std::string noise(4096, '\0');
    for (char& ch : noise) ch = char(random());
    a.folder.write("foreign.qix", "Moraine Deck Version 1.0 Dumb\nMulti Group: 1\n");
    a.folder.write("empty.qix", "");
    a.folder.write("noise.qix", noise);
    for (const char* name : {"foreign.qix", "empty.qix", "noise.qix", "missing.qix"}) {
        a.messages.clear();
        a.lib.importDump(a.path(name), false);
        a.lib.pasteDump(a.path(name), kDumpPatches, 0, 0);
        EXPECT_EQ(a.messages.informs, (std::vector<std::string>{kNotArchive, kNotArchive})) << name;
    }
    EXPECT_EQ(a.lib.groups.size(), 1u);
    EXPECT_EQ(a.patchCount(), 1u);
    EXPECT_FALSE(a.lib.anyModified());
}

TEST(PatchArchiveDamage, ACutShortDumpKeepsTheSectionsRead) {
    Library from(Tree{{"G", {"One", "Two", "Three"}}});
    ASSERT_TRUE(from.lib.writeDump(from.path("d.qix"), {0}, {0}, {0, 1, 2}, false));
    const std::string whole = from.folder.read("d.qix");
    const std::string cut = whole.substr(0, whole.find("End Patch: Three") - 5);

    Library to(Tree{{"Mine", {}}});
    to.folder.write("cut.qix", cut);
    to.lib.importDump(to.path("cut.qix"), false);
    EXPECT_EQ(to.messages.last(), "The imported file contained errors.");
    ASSERT_EQ(to.lib.groups.size(), 2u);
    EXPECT_EQ(to.lib.groups[1]->categories[0]->patchNames,
              (std::vector<std::string>{"One", "Two"}));

    // The same cut with CR LF line ends.
    std::string crlf;
    for (char ch : cut) crlf += ch == '\n' ? std::string("\r\n") : std::string(1, ch);
    from.folder.write("crlf.qix", crlf);
    from.lib.importDump(from.path("crlf.qix"), false);
    EXPECT_EQ(from.lib.groups.back()->categories[0]->patches.size(), 2u);
}

TEST(PatchArchiveDamage, AnnouncedCountsThatDoNotMatchAreErrors) {
    Library from(Tree{{"A", {"P"}}});
    ASSERT_TRUE(from.lib.writeDump(from.path("a.qix"), {0}, {}, {}, false));
    const std::string whole = from.folder.read("a.qix");
    auto counted = [&](const std::string& count) {
        std::string text = whole;
        return text.replace(text.find("Multi Group: 1"), 14, "Multi Group: " + count);
    };
    const std::string header = "Moraine Deck Version 1.0 Dump\n";
    // The dump's text, and how many groups it still adds.
    const std::vector<std::pair<std::string, size_t>> cases = {
        {counted("2147483647"), 1}, // the one section stays; the search stops after it
        {counted("-3"), 0},
        {counted("99999999999999999999"), 0},
        {counted("many"), 0},
        {counted("0"), 0}, // a section where the end line belongs
        {header, 0},
        {header + "Multi Patch: 1\nG\n", 0},
        {header + "Multi Group: 1\nGroup Dump: E\n", 0},
    };
    for (const auto& [text, added] : cases) {
        Library to(Tree{{"Mine", {}}});
        to.folder.write("t.qix", text);
        to.lib.importDump(to.path("t.qix"), false);
        EXPECT_EQ(to.messages.informs,
                  std::vector<std::string>{"The imported file contained errors."})
            << text;
        EXPECT_EQ(to.lib.groups.size(), 1 + added) << text;
        EXPECT_EQ(to.lib.groupNames.size(), to.lib.groups.size());
    }
}

} // namespace
} // namespace moraine
