#include "patch/PatchLibrary.h"
#include "patch/LibraryMessages.h"
#include "patch/TextTrim.h"

#include "platform/Files.h"

#include <algorithm>
#include <cstdio>
#include <string_view>
#include <utility>

namespace moraine {

namespace {

bool holdsLineBreak(std::string_view s) {
    return s.find_first_of("\r\n") != std::string_view::npos;
}

std::string syncError(LibraryMessage level) {
    return libraryText(level, {kSupportAddress});
}

// Lines end at CR, LF or both; every line is trimmed and blank ones are skipped.
bool readList(const std::string& path, std::vector<std::string>& names) {
    std::string text;
    if (!readWholeFile(path, text)) return false;
    const std::string_view all(text);
    size_t pos = 0;
    while (pos < all.size()) {
        size_t end = all.find_first_of("\r\n", pos);
        if (end == std::string_view::npos) end = all.size();
        const std::string_view line = trimmed(all.substr(pos, end - pos));
        if (!line.empty()) names.emplace_back(line);
        pos = end + 1;
    }
    return true;
}

// Folders and patch files are named by position, so a list line that splits in two or
// reads back as blank would move every later entry onto another entry's data. A line
// break becomes a space and a blank name is written as "Untitled".
void appendListLine(std::string& out, const std::string& name) {
    std::string line = name;
    std::replace_if(
        line.begin(), line.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
    const std::string_view kept = trimmed(line);
    if (kept.empty())
        out += kUntitledName;
    else
        out += kept;
    out += '\n';
}

template <typename Items> bool writeList(const std::string& path, const Items& items) {
    std::string text;
    for (const auto& item : items) appendListLine(text, item->name);
    return replaceFile(path, text);
}

template <typename Items> bool nameTaken(const Items& items, std::string_view name) {
    return std::any_of(items.begin(), items.end(),
                       [&](const auto& item) { return trimmed(item->name) == name; });
}

} // namespace

// ---------------------------------------------------------------- levels

void PatchCategory::markModified(bool flag) {
    modified = flag;
    for (auto& patch : patches) patch->modified = flag;
}

void PatchGroup::markModified(bool flag) {
    modified = flag;
    for (auto& category : categories) category->markModified(flag);
}

void PatchGroup::rebuildProgramTable() {
    programTable.fill(nullptr);
    for (const auto& category : categories) {
        for (const auto& patch : category->patches) {
            const int program = patch->midiProgram;
            if (program == -1) continue;
            // A number no operation stores (outside 0..127) counts as none, and a number
            // already held by an earlier patch is taken away from this one.
            if (program < 0 || program >= int(programTable.size()) ||
                programTable[size_t(program)] != nullptr) {
                patch->midiProgram = -1;
                continue;
            }
            programTable[size_t(program)] = patch.get();
        }
    }
}

std::unique_ptr<PatchGroup> PatchLibrary::newGroup(const std::string& name) const {
    auto group = std::make_unique<PatchGroup>();
    group->id = std::to_string(groups.size());
    group->name = name;
    group->path = root;
    group->separator = separator;
    return group;
}

std::unique_ptr<PatchCategory> PatchLibrary::newCategory(const PatchGroup& group,
                                                         const std::string& name) {
    auto category = std::make_unique<PatchCategory>();
    category->id = std::to_string(group.categories.size());
    category->name = name;
    category->path = group.folder();
    category->separator = group.separator;
    category->patchNames.emplace_back(kNoPatchName);
    return category;
}

PatchRecord* PatchLibrary::appendPatch(PatchCategory& category,
                                       std::unique_ptr<PatchRecord> patch) {
    if (category.patches.empty()) category.patchNames.clear(); // only the placeholder
    patch->fileName = std::to_string(category.patches.size());
    patch->folder = category.folder();
    patch->separator = category.separator;
    category.patchNames.push_back(patch->name);
    category.patches.push_back(std::move(patch));
    return category.patches.back().get();
}

// ---------------------------------------------------------------- creation and loading

PatchLibrary::PatchLibrary(std::string rootFolder, MessageSink& messageSink, char separatorChar)
    : root(std::move(rootFolder)), separator(separatorChar), messages_(&messageSink) {
    // The two special patches sit beside the tree: root, separator, name and ".qix".
    for (PatchRecord* special : {&resetPatch, &hostPatch}) {
        special->fileName = special == &resetPatch ? "reset" : "session";
        special->folder = root;
        special->separator = separator;
        if (fileExists(special->filePath())) special->loadFile();
        special->modified = false;
    }
    load();
}

void PatchLibrary::load() {
    groups.clear();
    groupNames.clear();
    currentGroup = 0;
    modified = false;

    std::vector<std::string> names;
    if (!readList(root + "groupList", names)) {
        // A first start: the library comes from the shipped dump and goes to disk at once.
        importDump(root + "defaultLibrary", true);
        markModified(true);
        if (!groups.empty()) writeLibrary();
        return;
    }

    for (const std::string& groupName : names) {
        auto group = newGroup(groupName);
        std::vector<std::string> categoryNames;
        readList(group->folder() + separator + "catagoryList", categoryNames);
        for (const std::string& categoryName : categoryNames) {
            auto category = newCategory(*group, categoryName);
            std::vector<std::string> patchNames;
            readList(category->folder() + category->separator + "patchList", patchNames);
            for (const std::string& patchName : patchNames) {
                auto patch = std::make_unique<PatchRecord>();
                patch->fileName = std::to_string(category->patches.size());
                patch->folder = category->folder();
                patch->separator = category->separator;
                patch->loadFile();
                // The file's own name wins; without one the list's name stays.
                if (patch->name.empty()) patch->name = patchName;
                appendPatch(*category, std::move(patch));
            }
            group->categoryNames.push_back(category->name);
            group->categories.push_back(std::move(category));
        }
        groupNames.push_back(group->name);
        groups.push_back(std::move(group));
    }
    markModified(false);
    for (auto& group : groups) group->rebuildProgramTable();
}

void PatchLibrary::reload() {
    if (anyModified()) load();
}

bool PatchLibrary::anyModified() const {
    if (modified) return true;
    for (const auto& group : groups) {
        if (group->modified) return true;
        for (const auto& category : group->categories) {
            if (category->modified) return true;
            for (const auto& patch : category->patches)
                if (patch->modified) return true;
        }
    }
    return false;
}

void PatchLibrary::markModified(bool flag) {
    modified = flag;
    for (auto& group : groups) group->markModified(flag);
}

// ---------------------------------------------------------------- selection

PatchGroup* PatchLibrary::currentGroupPtr() {
    if (currentGroup < 0 || size_t(currentGroup) >= groups.size()) return nullptr;
    return groups[size_t(currentGroup)].get();
}

PatchCategory* PatchLibrary::currentCategoryPtr() {
    PatchGroup* group = currentGroupPtr();
    if (!group || group->currentCategory < 0 ||
        size_t(group->currentCategory) >= group->categories.size())
        return nullptr;
    return group->categories[size_t(group->currentCategory)].get();
}

int PatchLibrary::selectGroup(int index) {
    if (index >= 0 && size_t(index) < groups.size()) currentGroup = index;
    if (PatchGroup* group = currentGroupPtr()) {
        if (group->currentCategory < 0 ||
            size_t(group->currentCategory) >= group->categories.size())
            group->currentCategory = 0;
        group->rebuildProgramTable();
    }
    return currentGroup;
}

int PatchLibrary::selectCategory(int index) {
    PatchGroup* group = currentGroupPtr();
    if (!group) return 0;
    if (index >= 0 && size_t(index) < group->categories.size()) {
        group->currentCategory = index;
        PatchCategory& category = *group->categories[size_t(index)];
        if (!category.patches.empty() &&
            (category.currentPatch < 0 || size_t(category.currentPatch) >= category.patches.size()))
            category.currentPatch = 0;
        if (category.patchNames.empty()) category.patchNames.emplace_back(kNoPatchName);
    }
    return group->currentCategory;
}

int PatchLibrary::selectPatch(int index) {
    PatchCategory* category = currentCategoryPtr();
    if (!category) return 0;
    if (index >= 0 && size_t(index) < category->patches.size()) category->currentPatch = index;
    return category->currentPatch;
}

void PatchLibrary::selectPatchRecord(const PatchRecord* patch) {
    for (size_t g = 0; patch && g < groups.size(); ++g) {
        PatchGroup& group = *groups[g];
        for (size_t c = 0; c < group.categories.size(); ++c) {
            PatchCategory& category = *group.categories[c];
            for (size_t k = 0; k < category.patches.size(); ++k) {
                if (category.patches[k].get() != patch) continue;
                selectGroup(int(g));
                group.currentCategory = int(c);
                category.currentPatch = int(k);
                return;
            }
        }
    }
    currentGroup = 0;
    if (PatchGroup* group = currentGroupPtr()) {
        group->currentCategory = 0;
        if (!group->categories.empty()) group->categories[0]->currentPatch = 0;
        group->rebuildProgramTable();
    }
}

PatchRecord* PatchLibrary::patchForProgram(int program) {
    PatchGroup* group = currentGroupPtr();
    if (!group || program < 0 || program >= int(group->programTable.size())) return nullptr;
    PatchRecord* patch = group->programTable[size_t(program)];
    if (!patch) return nullptr;
    // The table is rebuilt after every change the library makes, but a patch removed since
    // by the caller must never be handed out: the entry counts only while the group still
    // holds it. Pointers are compared, never followed, until found.
    for (const auto& category : group->categories)
        for (const auto& held : category->patches)
            if (held.get() == patch) return patch->midiProgram == program ? patch : nullptr;
    return nullptr;
}

bool PatchLibrary::selectByProgram(int program) {
    PatchRecord* patch = patchForProgram(program);
    if (!patch) return false;
    PatchGroup& group = *groups[size_t(currentGroup)];
    for (size_t c = 0; c < group.categories.size(); ++c) {
        PatchCategory& category = *group.categories[c];
        for (size_t k = 0; k < category.patches.size(); ++k) {
            if (category.patches[k].get() != patch) continue;
            group.currentCategory = int(c);
            category.currentPatch = int(k);
            return true;
        }
    }
    return false;
}

PatchRecord* PatchLibrary::selectedPatch() {
    PatchCategory* category = currentCategoryPtr();
    if (!category || category->currentPatch < 0 ||
        size_t(category->currentPatch) >= category->patches.size())
        return nullptr;
    return category->patches[size_t(category->currentPatch)].get();
}

PatchRecord* PatchLibrary::currentPatch() {
    switch (currentSource) {
    case kSourceReset:
        return &resetPatch;
    case kSourceSession:
        return &hostPatch;
    default:
        return selectedPatch();
    }
}

// ---------------------------------------------------------------- display lists

std::vector<std::string> PatchLibrary::groupNameList() const {
    return groupNames;
}

std::vector<std::string> PatchLibrary::categoryNameList() const {
    if (currentGroup < 0 || size_t(currentGroup) >= groups.size()) return {};
    return groups[size_t(currentGroup)]->categoryNames;
}

std::vector<std::string> PatchLibrary::patchNameList() const {
    if (currentGroup < 0 || size_t(currentGroup) >= groups.size()) return {kNoPatchName};
    const PatchGroup& group = *groups[size_t(currentGroup)];
    if (group.currentCategory < 0 || size_t(group.currentCategory) >= group.categories.size())
        return {kNoPatchName};
    const PatchCategory& category = *group.categories[size_t(group.currentCategory)];
    if (category.patches.empty())
        return category.patchNames.empty() ? std::vector<std::string>{kNoPatchName}
                                           : category.patchNames;
    // The program prefix is formed here rather than stored, so the names stay what
    // "patchList" holds and a patch losing its number loses its prefix with it.
    const bool parallel = category.patchNames.size() == category.patches.size();
    std::vector<std::string> shown;
    shown.reserve(category.patches.size());
    for (size_t k = 0; k < category.patches.size(); ++k) {
        const PatchRecord& patch = *category.patches[k];
        const std::string& name = parallel ? category.patchNames[k] : patch.name;
        if (patch.midiProgram >= 0 && patch.midiProgram <= 127)
            shown.push_back(std::to_string(patch.midiProgram + 1) + ": " + name);
        else
            shown.push_back(name);
    }
    return shown;
}

// ---------------------------------------------------------------- adding

PatchRecord* PatchLibrary::addPatch(const std::string& name, const std::string& author,
                                    const std::string& date, const std::string& notes,
                                    int displayNotes, int midiProgram) {
    const std::string_view clean = trimmed(name);
    PatchCategory* category = currentCategoryPtr();
    // A line break cannot live in "patchList": such a name counts as blank.
    if (clean.empty() || holdsLineBreak(clean) || !category) return nullptr;

    auto patch = std::make_unique<PatchRecord>();
    patch->name = std::string(clean);
    patch->author = author;
    patch->date = date;
    patch->notes = notes;
    patch->displayNotes = displayNotes;
    patch->midiProgram = midiProgram >= 0 && midiProgram <= 127 ? midiProgram : -1;
    patch->modified = true;
    PatchRecord* added = appendPatch(*category, std::move(patch));
    category->currentPatch = int(category->patches.size() - 1);

    ensureFolder(currentGroupPtr()->folder());
    ensureFolder(category->folder());
    if (!writeList(category->folder() + category->separator + "patchList", category->patches)) {
        category->modified = true;
        messages().inform(syncError(LibraryMessage::CategorySyncError));
    }
    return added;
}

int PatchLibrary::addCategory(const std::string& name) {
    const std::string_view clean = trimmed(name);
    PatchGroup* group = currentGroupPtr();
    if (clean.empty() || holdsLineBreak(clean) || !group) return 0;
    if (nameTaken(group->categories, clean)) return 2;

    auto category = newCategory(*group, std::string(clean));
    category->modified = true; // until its "patchList" is on disk
    PatchCategory& added = *category;
    group->categoryNames.push_back(added.name);
    group->categories.push_back(std::move(category));

    ensureFolder(group->folder());
    if (!writeList(group->folder() + group->separator + "catagoryList", group->categories)) {
        group->modified = true;
        messages().inform(syncError(LibraryMessage::GroupSyncError));
    }
    ensureFolder(added.folder());
    writeCategory(added);
    return 1;
}

int PatchLibrary::addGroup(const std::string& groupName, const std::string& categoryName) {
    const std::string_view cleanGroup = trimmed(groupName);
    const std::string_view cleanCategory = trimmed(categoryName);
    if (cleanGroup.empty() || cleanCategory.empty() || holdsLineBreak(cleanGroup) ||
        holdsLineBreak(cleanCategory))
        return 0;
    if (nameTaken(groups, cleanGroup)) return 2;

    auto group = newGroup(std::string(cleanGroup));
    auto category = newCategory(*group, std::string(cleanCategory));
    group->markModified(true);
    category->modified = true;
    group->categoryNames.push_back(category->name);
    group->categories.push_back(std::move(category));
    PatchGroup& added = *group;
    groupNames.push_back(added.name);
    groups.push_back(std::move(group));

    if (!writeList(root + "groupList", groups)) {
        modified = true;
        messages().inform(syncError(LibraryMessage::LibrarySyncError));
    }
    ensureFolder(added.folder());
    writeGroup(added);
    return 1;
}

// ---------------------------------------------------------------- writing

// Each list is replaced whole before the level below is written, so a failed list stops
// that level with its flags set and the previous list still on disk.
bool PatchLibrary::writeLibrary() {
    if (!writeList(root + "groupList", groups)) {
        messages().inform(syncError(LibraryMessage::LibrarySyncError));
        return false;
    }
    bool written = true;
    for (size_t n = 0; n < groups.size(); ++n) {
        PatchGroup& group = *groups[n];
        group.id = std::to_string(n);
        group.path = root;
        group.separator = separator;
        ensureFolder(group.folder());
        written = writeGroup(group) && written;
    }
    if (written) modified = false;
    return written;
}

bool PatchLibrary::writeGroup(PatchGroup& group) {
    const std::string folder = group.folder();
    ensureFolder(folder);
    if (!writeList(folder + group.separator + "catagoryList", group.categories)) {
        messages().inform(syncError(LibraryMessage::GroupSyncError));
        return false;
    }
    bool written = true;
    for (size_t m = 0; m < group.categories.size(); ++m) {
        PatchCategory& category = *group.categories[m];
        category.id = std::to_string(m);
        category.path = folder;
        category.separator = group.separator;
        ensureFolder(category.folder());
        written = writeCategory(category) && written;
    }
    group.rebuildProgramTable();
    if (written) group.modified = false;
    return written;
}

bool PatchLibrary::writeCategory(PatchCategory& category) {
    const std::string folder = category.folder();
    ensureFolder(folder);
    if (!category.patches.empty() && category.patchNames.size() != category.patches.size())
        category.patchNames.erase(
            std::remove(category.patchNames.begin(), category.patchNames.end(), kNoPatchName),
            category.patchNames.end());
    if (!writeList(folder + category.separator + "patchList", category.patches)) {
        messages().inform(syncError(LibraryMessage::CategorySyncError));
        return false;
    }
    bool saved = true;
    for (size_t k = 0; k < category.patches.size(); ++k) {
        PatchRecord& patch = *category.patches[k];
        patch.fileName = std::to_string(k);
        patch.folder = folder;
        patch.separator = category.separator;
        // A patch that could not be saved keeps its flag, so the next write tries again.
        if (patch.saveFile())
            patch.modified = false;
        else
            saved = false;
    }
    if (category.patches.empty() && category.patchNames.empty())
        category.patchNames.emplace_back(kNoPatchName);
    if (!saved) {
        messages().inform(syncError(LibraryMessage::CategorySyncError));
        return false;
    }
    category.modified = false;
    return true;
}

} // namespace moraine
