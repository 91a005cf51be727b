// The user's patch library: groups holding categories holding patches, kept in the data
// folder as numbered folders with one list file per level and one ".qix" file per patch,
// plus the "reset" and "session" patches beside the tree. Archive dumps (export, import,
// the clipboard and "defaultLibrary") move whole selections in and out.
#pragma once

#include "patch/PatchRecord.h"
#include "platform/Messages.h"

#include <array>
#include <memory>
#include <string>
#include <vector>

namespace moraine {

// Shown for a category that holds no patch.
inline constexpr const char* kNoPatchName = "No Patch";
// Stands in for a blank name in list files and in what a dump brings in: a blank list line
// is skipped on reading, which would move every later entry onto another one's folder.
inline constexpr const char* kUntitledName = "Untitled";

enum PatchSource {
    kSourceLibrary = 0, // the patch selected in the library
    kSourceReset = 1,   // the "reset" patch
    kSourceSession = 2, // the host's state
};

// What a dump holds; also the number kept in "clipboardtype".
enum DumpKind {
    kDumpGroups = 0,
    kDumpCategories = 1,
    kDumpPatches = 2,
};

struct PatchCategory {
    std::string id; // decimal position in the group: the folder's name
    std::string name;
    std::string path; // the group's folder
    char separator = '/';
    bool modified = false;
    int currentPatch = 0;
    // Names as stored in "patchList"; the single entry "No Patch" while empty.
    std::vector<std::string> patchNames;
    std::vector<std::unique_ptr<PatchRecord>> patches;

    std::string folder() const { return path + separator + id; }
    // Sets the flag here and on every patch.
    void markModified(bool flag);
};

struct PatchGroup {
    std::string id; // decimal position in the library: the folder's name
    std::string name;
    std::string path; // the root folder, ending with the separator
    char separator = '/';
    bool modified = false;
    // Indexed by MIDI program number; null where no patch of the group holds it.
    std::array<PatchRecord*, 128> programTable{};
    int currentCategory = 0;
    std::vector<std::string> categoryNames;
    std::vector<std::unique_ptr<PatchCategory>> categories;

    std::string folder() const { return path + id; }
    // Sets the flag here and on every category and patch.
    void markModified(bool flag);
    // Earlier patches (category order, then patch order) win a program number; a later
    // patch holding the same number loses it (-1). Touches no text and allocates nothing,
    // so bank select and program change may call it on the audio thread.
    void rebuildProgramTable();
};

class PatchLibrary {
public:
    // `root` ends with `separator`. Loads the "reset" and "session" patches when their
    // files exist, then the tree (building it from "defaultLibrary" when "groupList" is
    // missing). Messages go to `messages`, which must outlive the library.
    PatchLibrary(std::string root, MessageSink& messages, char separator = '/');

    void setMessages(MessageSink& messages) { messages_ = &messages; }
    MessageSink& messages() { return *messages_; }

    // The tree from disk, replacing what is in memory.
    void load();
    // Reads the tree again when anything is modified; unsaved edits are lost.
    void reload();
    bool anyModified() const;
    // Sets the flag on the library and everything in it.
    void markModified(bool flag);

    int selectGroup(int index);
    int selectCategory(int index);
    int selectPatch(int index);
    void selectPatchRecord(const PatchRecord* patch);
    // Selects the current group's patch holding `program`; false (nothing changes) for a
    // number outside 0..127 or an empty slot.
    bool selectByProgram(int program);
    PatchRecord* selectedPatch();
    PatchRecord* patchForProgram(int program);
    // The patch current in the engine: the selection, "reset" or "session" by
    // `currentSource`; null when the selection holds no patch.
    PatchRecord* currentPatch();

    PatchGroup* currentGroupPtr();
    PatchCategory* currentCategoryPtr();

    // Display lists: a patch holding a program number shows as "<program + 1>: <name>";
    // an empty category shows "No Patch".
    std::vector<std::string> groupNameList() const;
    std::vector<std::string> categoryNameList() const;
    std::vector<std::string> patchNameList() const;

    // Appends a new patch to the current category and selects it; the caller captures the
    // panel into it and saves it. Returns null for a blank name; a name holding a line
    // break counts as blank, since list files keep one name per line.
    PatchRecord* addPatch(const std::string& name, const std::string& author,
                          const std::string& date, const std::string& notes, int displayNotes,
                          int midiProgram);
    // 0: blank name (or one holding a line break), 1: added, 2: a category or group of
    // that name exists.
    int addCategory(const std::string& name);
    int addGroup(const std::string& groupName, const std::string& categoryName);

    // The sync writers: lists rewritten in memory order, folders renumbered, modified
    // patches saved. False (after the level's message) when a list cannot be written.
    bool writeLibrary();
    bool writeGroup(PatchGroup& group);
    bool writeCategory(PatchCategory& category);

    // Archive dumps. `groups`, `categories` and `patches` are selected positions: groups in
    // the library, categories in the first selected group, patches in the one selected
    // category.
    bool writeDump(const std::string& path, const std::vector<int>& groups,
                   const std::vector<int>& categories, const std::vector<int>& patches,
                   bool toClipboard);
    void importDump(const std::string& path, bool defaultLibrary);
    void pasteDump(const std::string& path, int clipboardType, int targetGroup,
                   int targetCategory);

    // Library fields.
    PatchRecord resetPatch;
    PatchRecord hostPatch;
    int currentSource = kSourceLibrary;
    bool modified = false;
    std::string root;
    char separator = '/';
    int currentGroup = 0;
    std::vector<std::string> groupNames;
    std::vector<std::unique_ptr<PatchGroup>> groups;

private:
    // A group at the next position (id = its future index), not yet appended.
    std::unique_ptr<PatchGroup> newGroup(const std::string& name) const;
    // A category at the next position of `group`, showing "No Patch", not yet appended.
    static std::unique_ptr<PatchCategory> newCategory(const PatchGroup& group,
                                                      const std::string& name);
    // Appends `patch` at the end of `category` under its own name, giving it the position's
    // file name and the category's folder, and drops the "No Patch" placeholder.
    static PatchRecord* appendPatch(PatchCategory& category, std::unique_ptr<PatchRecord> patch);
    // Appends `group` (built by newGroup, its name already unique), marked modified, with
    // its folders following its position.
    void appendGroup(std::unique_ptr<PatchGroup> group);
    // importDump and pasteDump: the same reader, different placement and messages.
    void readDump(const std::string& path, bool paste, int clipboardType, int targetGroup,
                  int targetCategory, bool defaultLibrary);

    MessageSink* messages_;
};

// The name itself when no entry of `taken` equals it, else "name 1", "name 2", ...
std::string uniqueName(const std::string& name, const std::vector<std::string>& taken);

} // namespace moraine
