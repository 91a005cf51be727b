// Reads arbitrary bytes as an archive dump: imported, then pasted as every clipboard kind
// into a small library loaded from disk. The library must stay well formed (names and
// objects parallel, files named by position, the program table pointing into its group),
// and whatever was read must come back the same when exported and imported again.
#include "FuzzSupport.h"
#include "patch/PatchLibrary.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using namespace moraine;

using fuzzing::check;

class Silent : public MessageSink {
public:
    void inform(const std::string&) override {}
    bool confirm(const std::string&) override { return true; }
};

// A data folder with two groups on disk, and beside it an empty library to import into.
struct Folders {
    std::string root;
    std::string scratch;

    Folders() {
        root = fuzzing::scratchFolder("moraine-archive-fuzz");
        scratch = root + "scratch/";
        std::filesystem::create_directory(scratch);
        std::FILE* f = std::fopen((scratch + "groupList").c_str(), "wb");
        if (!f) std::abort();
        std::fclose(f);

        Silent silent;
        PatchLibrary lib(root, silent);
        lib.addGroup("Keys", "Pianos");
        lib.addGroup("Bass", "Sub");
        lib.selectGroup(0);
        lib.addCategory("Empty");
        lib.selectCategory(0);
        lib.addPatch("Grand", "", "", "", 0, 3);
        lib.addPatch("Grand 1", "", "", "notes\nEnd Patch: Other", 0, 3);
        lib.selectGroup(1);
        lib.addPatch("Deep", "", "", "", 0, 0);
        if (!lib.writeLibrary()) std::abort();
    }
};

Folders* folders = nullptr;

void checkLibrary(PatchLibrary& lib) {
    check(lib.groupNames.size() == lib.groups.size());
    for (size_t g = 0; g < lib.groups.size(); ++g) {
        PatchGroup& group = *lib.groups[g];
        check(group.id == std::to_string(g));
        check(group.categoryNames.size() == group.categories.size());
        for (size_t c = 0; c < group.categories.size(); ++c) {
            const PatchCategory& category = *group.categories[c];
            check(category.id == std::to_string(c) && category.path == group.folder());
            if (category.patches.empty()) {
                check(category.patchNames.empty() ||
                      (category.patchNames.size() == 1 && category.patchNames[0] == kNoPatchName));
                continue;
            }
            check(category.patchNames.size() == category.patches.size());
            for (size_t k = 0; k < category.patches.size(); ++k) {
                const PatchRecord& patch = *category.patches[k];
                check(patch.fileName == std::to_string(k) && patch.folder == category.folder());
                check(category.patchNames[k] == patch.name);
            }
        }
        for (size_t program = 0; program < group.programTable.size(); ++program) {
            const PatchRecord* held = group.programTable[program];
            if (held) check(held->midiProgram == int(program));
        }
    }
    lib.selectGroup(int(lib.groups.size()) - 1);
    lib.selectCategory(0);
    check(!lib.patchNameList().empty());
    for (int program = -1; program <= 128; ++program) lib.selectByProgram(program);
}

bool notesHoldAnEndLine(const PatchLibrary& lib) {
    for (const auto& group : lib.groups)
        for (const auto& category : group->categories)
            for (const auto& patch : category->patches)
                if (patch->notes.find("End Patch:") != std::string::npos) return true;
    return false;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // The patch reader's diagnostics go to standard output; libFuzzer reports on error.
    if (!std::freopen("/dev/null", "w", stdout)) return 0;
    static Folders shared;
    folders = &shared;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input = folders->root + "input.qix";
    std::FILE* f = std::fopen(input.c_str(), "wb");
    if (!f) std::abort();
    if (size > 0 && std::fwrite(data, 1, size, f) != size) std::abort();
    std::fclose(f);

    Silent silent;
    PatchLibrary lib(folders->root, silent);
    check(lib.groups.size() == 2);
    lib.importDump(input, false);
    checkLibrary(lib);

    // What the import brought in survives export and import into an empty library, unless
    // some notes hold a patch's end line, which the format cannot carry.
    if (lib.groups.size() > 2 && !notesHoldAnEndLine(lib)) {
        std::vector<int> added;
        for (int g = 2; g < int(lib.groups.size()); ++g) added.push_back(g);
        const std::string dump = folders->root + "again.qix";
        check(lib.writeDump(dump, added, {}, {}, false));
        PatchLibrary empty(folders->scratch, silent);
        check(empty.groups.empty());
        empty.importDump(dump, false);
        checkLibrary(empty);
        check(empty.groups.size() == added.size());
        for (size_t i = 0; i < added.size(); ++i) {
            const PatchGroup& a = *lib.groups[size_t(added[i])];
            const PatchGroup& b = *empty.groups[i];
            check(a.name == b.name && a.categoryNames == b.categoryNames);
            for (size_t c = 0; c < a.categories.size(); ++c) {
                check(a.categories[c]->patches.size() == b.categories[c]->patches.size());
                for (size_t k = 0; k < a.categories[c]->patches.size(); ++k)
                    check(a.categories[c]->patches[k]->name == b.categories[c]->patches[k]->name);
            }
        }
    }

    // Paste as each clipboard kind, into targets that are there and some that are not.
    const int targets[][2] = {{0, 0}, {1, 0}, {0, 1}, {7, -2}};
    for (int kind = -1; kind <= kDumpPatches; ++kind) {
        const int* target = targets[size_t(kind + 1)];
        lib.pasteDump(input, kind, target[0], target[1]);
        checkLibrary(lib);
    }
    return 0;
}
