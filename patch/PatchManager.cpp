#include "patch/PatchManager.h"
#include "patch/LibraryMessages.h"

#include "platform/Files.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace moraine {

namespace {

constexpr size_t kMaxTypedName = 1000;

void tell(PatchLibrary& library, LibraryMessage message) {
    library.messages().inform(libraryText(message));
}

// List files hold one name a line, so a name with a line break could not come back.
void refuseLineBreak(PatchLibrary& library) {
    tell(library, LibraryMessage::NameOnOneLine);
}

bool holdsLineBreak(const std::string& s) {
    return s.find_first_of("\r\n") != std::string::npos;
}

// Sorted, unique positions inside 0..size-1.
std::vector<int> validPositions(std::vector<int> positions, size_t size) {
    std::sort(positions.begin(), positions.end());
    positions.erase(std::unique(positions.begin(), positions.end()), positions.end());
    std::erase_if(positions, [&](int p) { return p < 0 || size_t(p) >= size; });
    return positions;
}

template <class T> void eraseAt(std::vector<T>& items, const std::vector<int>& positions) {
    for (auto it = positions.rbegin(); it != positions.rend(); ++it)
        if (size_t(*it) < items.size()) items.erase(items.begin() + *it);
}

// Takes the entries at `positions` out and puts them back as one block starting at
// `first` (a position in the finished list); returns the block's positions.
template <class T>
std::vector<int> moveBlock(std::vector<T>& items, const std::vector<int>& positions, int first) {
    std::vector<T> block, rest;
    for (size_t i = 0; i < items.size(); ++i) {
        if (std::binary_search(positions.begin(), positions.end(), int(i)))
            block.push_back(std::move(items[i]));
        else
            rest.push_back(std::move(items[i]));
    }
    first = std::clamp(first, 0, int(rest.size()));
    items.clear();
    for (int i = 0; i < first; ++i) items.push_back(std::move(rest[size_t(i)]));
    for (auto& b : block) items.push_back(std::move(b));
    for (size_t i = size_t(first); i < rest.size(); ++i) items.push_back(std::move(rest[i]));
    std::vector<int> moved;
    for (size_t i = 0; i < block.size(); ++i) moved.push_back(first + int(i));
    return moved;
}

PatchGroup* groupAt(PatchLibrary& library, const std::vector<int>& groups) {
    const int g = groups.empty() ? library.currentGroup : groups.front();
    if (g < 0 || size_t(g) >= library.groups.size()) return nullptr;
    return library.groups[size_t(g)].get();
}

PatchCategory* categoryAt(PatchGroup* group, const std::vector<int>& categories) {
    if (!group) return nullptr;
    const int c = categories.empty() ? group->currentCategory : categories.front();
    if (c < 0 || size_t(c) >= group->categories.size()) return nullptr;
    return group->categories[size_t(c)].get();
}

// The display names of a category's patches, one per patch, whatever the list held.
void alignPatchNames(PatchCategory& category) {
    if (category.patchNames.size() == category.patches.size()) return;
    category.patchNames.clear();
    for (const auto& patch : category.patches) category.patchNames.push_back(patch->name);
}

void showPlaceholderWhenEmpty(PatchCategory& category) {
    if (category.patches.empty()) category.patchNames.assign(1, kNoPatchName);
}

} // namespace

SelectionLevel selectionLevel(const LibrarySelection& selection) {
    if (selection.categories.empty()) return SelectionLevel::Groups;
    if (selection.patches.empty()) return SelectionLevel::Categories;
    return SelectionLevel::Patches;
}

// ---------------------------------------------------------------- panel operations

SaveResult savePatch(PatchLibrary& library, PatchInstrument& instrument) {
    PatchRecord* patch = library.selectedPatch();
    if (library.currentSource != kSourceLibrary || !patch) return SaveResult::NeedsSaveAs;
    if (patch->locked) {
        tell(library, LibraryMessage::PatchLocked);
        return SaveResult::Locked;
    }
    instrument.capture(*patch);
    patch->modified = true;
    patch->saveFile();
    return SaveResult::Saved;
}

bool setPatchLocked(PatchLibrary& library, bool locked) {
    PatchRecord* patch = library.selectedPatch();
    if (!patch || (patch->locked != 0) == locked) return false;
    patch->locked = locked ? 1 : 0;
    patch->modified = true;
    patch->saveFile();
    return true;
}

void resetPatch(PatchInstrument& instrument) {
    instrument.loadPatch(kSourceReset, true);
}

int programFromTyped(const std::string& typed) {
    const char* text = typed.c_str();
    while (*text == ' ' || *text == '\t') ++text;
    if (!*text) return -1;
    char* end = nullptr;
    errno = 0;
    const long n = std::strtol(text, &end, 10);
    while (end && (*end == ' ' || *end == '\t')) ++end;
    if (errno || !end || *end || n < 1 || n > 128) return -1;
    return int(n - 1);
}

namespace {
std::string occupantQuestion(const PatchRecord& occupant, int program) {
    return libraryText(LibraryMessage::OccupantQuestion,
                       {occupant.name, std::to_string(program + 1)});
}
} // namespace

std::string saveAsQuestion(PatchLibrary& library, const SaveAsRequest& request) {
    const int program = programFromTyped(request.midiNumber);
    if (program < 0 || request.group < 0 || request.group >= int(library.groups.size()))
        return {};
    // Programs are numbered within a group: look in the group the patch goes to.
    const int before = library.currentGroup;
    library.selectGroup(request.group);
    PatchRecord* occupant = library.patchForProgram(program);
    library.selectGroup(before);
    if (!occupant) return {};
    const bool overwrite = request.openedOn == occupant && request.name == occupant->name &&
                           request.group == request.openedGroup &&
                           request.category == request.openedCategory;
    return overwrite ? std::string() : occupantQuestion(*occupant, program);
}

bool saveAs(PatchLibrary& library, PatchInstrument& instrument, const SaveAsRequest& request) {
    library.selectGroup(request.group);
    library.selectCategory(request.category);
    PatchGroup* group = library.currentGroupPtr();
    if (!group || library.currentGroup != request.group ||
        group->currentCategory != request.category)
        return false;

    int program = programFromTyped(request.midiNumber);
    PatchRecord* occupant = program >= 0 ? library.patchForProgram(program) : nullptr;
    // The occupant is asked to give its number up; with OK it does, so that the number
    // really moves to the patch being saved (the earlier patch would keep it otherwise).
    auto occupantYields = [&]() {
        const bool ok = request.occupantAnswer >= 0
                            ? request.occupantAnswer == 1
                            : library.messages().confirm(occupantQuestion(*occupant, program));
        if (ok) {
            occupant->midiProgram = -1;
            occupant->modified = true;
            occupant->saveFile();
        }
        return ok;
    };

    PatchRecord* target = nullptr;
    PatchRecord* selected = library.selectedPatch();
    const bool overwrite = request.openedOn && selected == request.openedOn &&
                           request.name == request.openedOn->name &&
                           request.group == request.openedGroup &&
                           request.category == request.openedCategory;
    if (overwrite) {
        target = selected;
        target->name = request.name;
        target->author = request.author;
        target->date = request.date;
        target->notes = request.notes;
        if (!occupant || occupant == target || occupantYields()) target->midiProgram = program;
        target->displayNotes = request.displayNotes ? 1 : 0;
    } else {
        if (holdsLineBreak(request.name)) {
            refuseLineBreak(library);
            return false;
        }
        if (occupant && !occupantYields()) program = -1;
        target = library.addPatch(request.name, request.author, request.date, request.notes,
                                  request.displayNotes ? 1 : 0, program);
        if (!target) return false;
    }
    instrument.capture(*target);
    target->modified = true;
    target->saveFile();
    group->rebuildProgramTable();
    library.currentSource = kSourceLibrary;
    return true;
}

bool newGroup(PatchLibrary& library, const std::string& groupName,
              const std::string& categoryName) {
    if (holdsLineBreak(groupName) || holdsLineBreak(categoryName)) {
        refuseLineBreak(library);
        return false;
    }
    switch (library.addGroup(groupName, categoryName)) {
    case 0:
        tell(library, LibraryMessage::GroupNamesBlank);
        return false;
    case 2:
        tell(library, LibraryMessage::GroupExists);
        return false;
    default:
        library.selectGroup(int(library.groups.size()) - 1);
        library.selectCategory(0);
        return true;
    }
}

bool newCategory(PatchLibrary& library, const std::string& name) {
    if (holdsLineBreak(name)) {
        refuseLineBreak(library);
        return false;
    }
    switch (library.addCategory(name)) {
    case 0:
        tell(library, LibraryMessage::CategoryNameBlank);
        return false;
    case 2:
        tell(library, LibraryMessage::CategoryExists);
        return false;
    default:
        library.selectCategory(int(library.currentGroupPtr()->categories.size()) - 1);
        return true;
    }
}

// ---------------------------------------------------------------- the patch manager

PatchManager::PatchManager(PatchLibrary& library) : library_(library) {}

std::string PatchManager::clipboardPath() const {
    return library_.root + "clipboard";
}

std::string PatchManager::clipboardTypePath() const {
    return library_.root + "clipboardtype";
}

void PatchManager::open() {
    rememberedGroup_ = library_.currentGroup;
    rememberedCategory_ = 0;
    rememberedPatch_ = 0;
    if (PatchGroup* group = library_.currentGroupPtr()) {
        rememberedCategory_ = group->currentCategory;
        if (PatchCategory* category = library_.currentCategoryPtr())
            rememberedPatch_ = category->currentPatch;
    }
    rememberedRecord_ = library_.selectedPatch();
    clipboardType_ = -1;
    std::string text;
    if (readWholeFile(clipboardTypePath(), text, 64)) {
        int type = -1;
        if (std::sscanf(text.c_str(), "%d", &type) == 1 && type >= kDumpGroups &&
            type <= kDumpPatches)
            clipboardType_ = type;
    }
}

void PatchManager::copy(const LibrarySelection& selection) {
    library_.writeDump(clipboardPath(), selection.groups, selection.categories,
                       selection.patches, true);
    const SelectionLevel level = selectionLevel(selection);
    const int type = level == SelectionLevel::Groups       ? kDumpGroups
                     : level == SelectionLevel::Categories ? kDumpCategories
                                                           : kDumpPatches;
    if (replaceFile(clipboardTypePath(), std::to_string(type))) clipboardType_ = type;
}

void PatchManager::cut(const LibrarySelection& selection) {
    const SelectionLevel level = selectionLevel(selection);
    PatchGroup* group = groupAt(library_, selection.groups);
    if (level == SelectionLevel::Groups &&
        validPositions(selection.groups, library_.groups.size()).size() ==
            library_.groups.size()) {
        tell(library_, LibraryMessage::GroupCutRefused);
        return;
    }
    if (level == SelectionLevel::Categories && group &&
        validPositions(selection.categories, group->categories.size()).size() ==
            group->categories.size()) {
        tell(library_, LibraryMessage::CategoryCutRefused);
        return;
    }
    copy(selection);
    removeEntries(selection);
}

void PatchManager::paste(const LibrarySelection& selection) {
    if (clipboardType_ < 0) return;
    const int group = selection.groups.size() == 1 ? selection.groups.front() : 0;
    const int category = selection.categories.size() == 1 ? selection.categories.front() : 0;
    library_.pasteDump(clipboardPath(), clipboardType_, group, category);
}

std::string PatchManager::removeQuestion(const LibrarySelection& selection) {
    const SelectionLevel level = selectionLevel(selection);
    PatchGroup* group = groupAt(library_, selection.groups);
    PatchCategory* category = categoryAt(group, selection.categories);
    std::string question;
    if (level == SelectionLevel::Groups) {
        const auto picked = validPositions(selection.groups, library_.groups.size());
        if (picked.size() == library_.groups.size()) {
            tell(library_, LibraryMessage::GroupDeleteRefused);
            return {};
        }
        if (picked.empty()) return {};
        question = picked.size() == 1 ? libraryText(LibraryMessage::DeleteGroupQuestion,
                                                    {library_.groups[size_t(picked.front())]->name})
                                      : libraryText(LibraryMessage::DeleteGroupsQuestion,
                                                    {std::to_string(picked.size())});
    } else if (level == SelectionLevel::Categories) {
        if (!group) return {};
        const auto picked = validPositions(selection.categories, group->categories.size());
        if (picked.size() == group->categories.size()) {
            tell(library_, LibraryMessage::CategoryDeleteRefused);
            return {};
        }
        if (picked.empty()) return {};
        const size_t n = picked.size();
        question = libraryText(LibraryMessage::DeleteCategoriesQuestion,
                               {std::to_string(n), countEnding(n, kCategoryEndings), group->name});
    } else {
        if (!category) return {};
        const auto picked = validPositions(selection.patches, category->patches.size());
        if (picked.empty()) return {};
        const size_t n = picked.size();
        question = libraryText(
            LibraryMessage::DeletePatchesQuestion,
            {std::to_string(n), countEnding(n, kPatchEndings), category->name, group->name});
    }
    return question;
}

void PatchManager::removeAnswered(const LibrarySelection& selection, bool ok) {
    if (!ok) {
        tell(library_, LibraryMessage::DeletionCanceled);
        return;
    }
    removeEntries(selection);
}

bool PatchManager::remove(const LibrarySelection& selection) {
    const std::string question = removeQuestion(selection);
    if (question.empty()) return false;
    const bool ok = library_.messages().confirm(question);
    removeAnswered(selection, ok);
    return ok;
}

void PatchManager::removeEntries(const LibrarySelection& selection) {
    const SelectionLevel level = selectionLevel(selection);
    PatchGroup* group = groupAt(library_, selection.groups);
    PatchCategory* category = categoryAt(group, selection.categories);
    if (level == SelectionLevel::Groups) {
        const auto picked = validPositions(selection.groups, library_.groups.size());
        if (picked.empty() || picked.size() == library_.groups.size()) return;
        eraseAt(library_.groups, picked);
        if (library_.groupNames.size() >= size_t(picked.back()) + 1)
            eraseAt(library_.groupNames, picked);
        library_.markModified(true);
        library_.currentGroup = 0;
        library_.selectGroup(0);
    } else if (level == SelectionLevel::Categories) {
        if (!group) return;
        const auto picked = validPositions(selection.categories, group->categories.size());
        if (picked.empty() || picked.size() == group->categories.size()) return;
        eraseAt(group->categories, picked);
        if (group->categoryNames.size() >= size_t(picked.back()) + 1)
            eraseAt(group->categoryNames, picked);
        group->markModified(true);
        group->currentCategory = 0;
        group->rebuildProgramTable();
    } else {
        if (!category) return;
        const auto picked = validPositions(selection.patches, category->patches.size());
        if (picked.empty()) return;
        alignPatchNames(*category);
        eraseAt(category->patches, picked);
        eraseAt(category->patchNames, picked);
        showPlaceholderWhenEmpty(*category);
        category->markModified(true);
        category->currentPatch = 0;
        group->rebuildProgramTable();
    }
}

bool PatchManager::rename(const LibrarySelection& selection, const std::string& typed) {
    if (holdsLineBreak(typed)) {
        refuseLineBreak(library_);
        return false;
    }
    const std::string name = typed.substr(0, kMaxTypedName);
    PatchGroup* group = groupAt(library_, selection.groups);
    PatchCategory* category = categoryAt(group, selection.categories);
    switch (selectionLevel(selection)) {
    case SelectionLevel::Groups: {
        if (!group) return false;
        const size_t g = size_t(selection.groups.empty() ? library_.currentGroup
                                                         : selection.groups.front());
        group->name = name;
        if (g < library_.groupNames.size()) library_.groupNames[g] = name;
        library_.markModified(true);
        return true;
    }
    case SelectionLevel::Categories: {
        if (!group || !category) return false;
        const size_t c = size_t(selection.categories.front());
        category->name = name;
        if (c < group->categoryNames.size()) group->categoryNames[c] = name;
        group->markModified(true);
        return true;
    }
    case SelectionLevel::Patches: {
        if (!category) return false;
        const int k = selection.patches.front();
        if (k < 0 || size_t(k) >= category->patches.size()) return false;
        alignPatchNames(*category);
        category->patches[size_t(k)]->name = name;
        category->patchNames[size_t(k)] = name;
        category->markModified(true);
        return true;
    }
    }
    return false;
}

LibrarySelection PatchManager::moveUp(const LibrarySelection& selection) {
    return move(selection, false);
}

LibrarySelection PatchManager::moveDown(const LibrarySelection& selection) {
    return move(selection, true);
}

LibrarySelection PatchManager::move(const LibrarySelection& selection, bool down) {
    LibrarySelection after = selection;
    PatchGroup* group = groupAt(library_, selection.groups);
    PatchCategory* category = categoryAt(group, selection.categories);
    // The block's first position in the finished list.
    auto firstOf = [&](const std::vector<int>& picked, size_t size) {
        const int count = int(picked.size());
        return down ? std::min(picked.back() + 1, int(size) - 1) - count + 1
                    : std::max(picked.front() - 1, 0);
    };
    switch (selectionLevel(selection)) {
    case SelectionLevel::Groups: {
        const auto picked = validPositions(selection.groups, library_.groups.size());
        if (picked.empty() || library_.groupNames.size() != library_.groups.size()) break;
        const int first = firstOf(picked, library_.groups.size());
        moveBlock(library_.groupNames, picked, first);
        after.groups = moveBlock(library_.groups, picked, first);
        library_.markModified(true);
        if (after.groups.size() == 1) library_.selectGroup(after.groups.front());
        break;
    }
    case SelectionLevel::Categories: {
        if (!group) break;
        const auto picked = validPositions(selection.categories, group->categories.size());
        if (picked.empty() || group->categoryNames.size() != group->categories.size()) break;
        const int first = firstOf(picked, group->categories.size());
        moveBlock(group->categoryNames, picked, first);
        after.categories = moveBlock(group->categories, picked, first);
        group->markModified(true);
        if (after.categories.size() == 1) group->currentCategory = after.categories.front();
        break;
    }
    case SelectionLevel::Patches: {
        if (!group || !category) break;
        const auto picked = validPositions(selection.patches, category->patches.size());
        if (picked.empty()) break;
        alignPatchNames(*category);
        const int first = firstOf(picked, category->patches.size());
        moveBlock(category->patchNames, picked, first);
        after.patches = moveBlock(category->patches, picked, first);
        category->markModified(true);
        if (after.patches.size() == 1) category->currentPatch = after.patches.front();
        group->rebuildProgramTable();
        break;
    }
    }
    return after;
}

void PatchManager::exportTo(const std::string& path, const LibrarySelection& selection) {
    const size_t slash = path.find_last_of('/');
    const std::string file = slash == std::string::npos ? path : path.substr(slash + 1);
    const std::string target = file.find('.') == std::string::npos ? path + ".qix" : path;
    library_.writeDump(target, selection.groups, selection.categories, selection.patches, false);
}

void PatchManager::importFrom(const std::string& path) {
    library_.importDump(path, false);
}

void PatchManager::ok() {
    library_.writeLibrary();
    library_.selectPatchRecord(rememberedRecord_);
}

void PatchManager::cancel() {
    library_.reload();
    library_.selectGroup(rememberedGroup_);
    library_.selectCategory(rememberedCategory_);
    library_.selectPatch(rememberedPatch_);
}

} // namespace moraine
