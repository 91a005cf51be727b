// Every notice and question of the patch library and its operations, in one table. The
// texts are the ones users and their documents know, slips of spelling and double spaces
// included: change one here or nowhere. "%d" (a number) and "%s" (a text) are filled in
// order by libraryText().
#pragma once

#include <array>
#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>

namespace moraine {

enum class LibraryMessage {
    PatchLocked,
    NameOnOneLine,
    GroupNamesBlank,
    GroupExists,
    CategoryNameBlank,
    CategoryExists,
    GroupCutRefused,
    CategoryCutRefused,
    GroupDeleteRefused,
    CategoryDeleteRefused,
    DeletionCanceled,
    // Questions, answered OK or Cancel.
    OccupantQuestion,
    DeleteGroupQuestion,
    DeleteGroupsQuestion,
    DeleteCategoriesQuestion,
    DeletePatchesQuestion,
    // Archive dumps; "written" closes with "exported" or "in clipboard".
    NotAnArchive,
    SelectionError,
    GroupsWritten,
    CategoriesWritten,
    PatchesWritten,
    GroupsImported,
    CategoriesImported,
    PatchesImported,
    GroupsPasted,
    CategoriesPasted,
    PatchesPasted,
    ImportErrors,
    ClipboardErrors,
    // A list file of the library that could not be written, with the support address.
    LibrarySyncError,
    GroupSyncError,
    CategorySyncError,
    Count
};

struct LibraryText {
    LibraryMessage id;
    std::string_view text;
};

inline constexpr std::array<LibraryText, size_t(LibraryMessage::Count)> kLibraryTexts = {{
    {LibraryMessage::PatchLocked,
     "This patch is currently locked.  It must be unlocked in order to save it."},
    {LibraryMessage::NameOnOneLine, "A name must stay on one line: line breaks cannot be stored."},
    {LibraryMessage::GroupNamesBlank, "The Group name AND Category name must not be blank."},
    {LibraryMessage::GroupExists, "The Group you have specified already exists."},
    {LibraryMessage::CategoryNameBlank, "The Category name must not be blank."},
    {LibraryMessage::CategoryExists, "The Category you have specified already exists."},
    {LibraryMessage::GroupCutRefused,
     "This Group selection cannot be CUT because you MUST Have at least one Group."},
    {LibraryMessage::CategoryCutRefused,
     "This Category selection cannot be CUT because a Group MUST Have at least one Category. "
     "You can however delete the Group."},
    {LibraryMessage::GroupDeleteRefused,
     "This Group selection cannot be deleted because you MUST Have at least one Group."},
    {LibraryMessage::CategoryDeleteRefused,
     "This Category selection cannot be deleted because a Group MUST Have at least one "
     "Category. You can however delete the Group."},
    {LibraryMessage::DeletionCanceled, "Deletion Canceled"},
    {LibraryMessage::OccupantQuestion,
     "Patch '%s' already occupies MIDI Patch Number %d.  Do you want to replace it with this "
     "patch?"},
    {LibraryMessage::DeleteGroupQuestion, "Are you sure you want to delete Group %s?"},
    {LibraryMessage::DeleteGroupsQuestion, "Are you sure you want to delete %d Groups?"},
    {LibraryMessage::DeleteCategoriesQuestion,
     "Are you sure you want to delete %d Categor%s of Group %s?"},
    {LibraryMessage::DeletePatchesQuestion,
     "Are you sure you want to delete %d Patch%s from Category %s of Group %s?"},
    {LibraryMessage::NotAnArchive,
     "The selected file does not appear to be a vaild patch archive."},
    {LibraryMessage::SelectionError, "Selection Error!"},
    {LibraryMessage::GroupsWritten, "%d Group%s %s."},
    {LibraryMessage::CategoriesWritten, "%d Categor%s from %s %s."},
    {LibraryMessage::PatchesWritten, "%d Patch%s from Category %s of Group %s %s."},
    {LibraryMessage::GroupsImported, "%d Group%s imported"},
    {LibraryMessage::CategoriesImported, "%d Categor%s imported"},
    {LibraryMessage::PatchesImported, "%d Patch%s imported"},
    {LibraryMessage::GroupsPasted, "%d Group%s pasted"},
    {LibraryMessage::CategoriesPasted, "%d Categor%s pasted"},
    {LibraryMessage::PatchesPasted, "%d Patch%s pasted"},
    {LibraryMessage::ImportErrors, "The imported file contained errors."},
    {LibraryMessage::ClipboardErrors, "The clipboard contained errors."},
    {LibraryMessage::LibrarySyncError, "Library Sync error. Please report to %s"},
    {LibraryMessage::GroupSyncError, "Group Sync error. Please report to %s"},
    {LibraryMessage::CategorySyncError, "Category Sync error. Please report to %s"},
}};

// The table is looked up by position: every entry must sit at its own id.
constexpr bool libraryTextsInOrder() {
    for (size_t i = 0; i < kLibraryTexts.size(); ++i)
        if (size_t(kLibraryTexts[i].id) != i) return false;
    return true;
}
static_assert(libraryTextsInOrder());

constexpr std::string_view libraryPattern(LibraryMessage id) {
    return kLibraryTexts[size_t(id)].text;
}

// The text of `id` with its placeholders replaced by `fill`, in order; a placeholder
// without a fill becomes empty and spare fills are ignored.
std::string libraryText(LibraryMessage id, std::initializer_list<std::string_view> fill = {});

// The endings a counted noun takes: "1 Patch", "2 Patches".
struct CountEndings {
    const char* one;
    const char* many;
};
inline constexpr CountEndings kGroupEndings{"", "s"};
inline constexpr CountEndings kCategoryEndings{"y", "ies"};
inline constexpr CountEndings kPatchEndings{"", "es"};

constexpr const char* countEnding(long long count, CountEndings endings) {
    return count >= 2 ? endings.many : endings.one;
}

} // namespace moraine
