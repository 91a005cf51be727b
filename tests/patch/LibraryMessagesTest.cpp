// The library's message table and how its placeholders are filled.
#include "patch/LibraryMessages.h"
#include "support/RecordingMessages.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace moraine {
namespace {

TEST(LibraryMessages, PlaceholdersAreFilledInOrderAndNamesAreTakenAsTheyAre) {
    // A '%' in a name is not a placeholder; a missing fill leaves nothing behind.
    EXPECT_EQ(libraryText(LibraryMessage::DeletePatchesQuestion, {"2", "es", "50% Wet", "%s"}),
              "Are you sure you want to delete 2 Patches from Category 50% Wet of Group %s?");
    EXPECT_EQ(libraryText(LibraryMessage::DeleteGroupQuestion),
              "Are you sure you want to delete Group ?");
    EXPECT_EQ(libraryText(LibraryMessage::DeletionCanceled, {"spare"}), "Deletion Canceled");
    EXPECT_STREQ(countEnding(1, kCategoryEndings), "y");
    EXPECT_STREQ(countEnding(2, kCategoryEndings), "ies");
    EXPECT_STREQ(countEnding(0, kPatchEndings), "");
}

// The recording double names messages by id: every text, filled in, must map back to its
// own id and to no other.
TEST(LibraryMessages, EveryFilledTextMapsBackToItsId) {
    for (const LibraryText& entry : kLibraryTexts) {
        SCOPED_TRACE(std::string(entry.text));
        for (const char* count : {"1", "12"}) {
            std::vector<std::string> fill; // a number for "%d", a name for "%s"
            for (size_t at = entry.text.find('%'); at != std::string_view::npos;
                 at = entry.text.find('%', at + 1))
                fill.push_back(entry.text[at + 1] == 'd' ? count : "Keys & Pads");
            fill.resize(5);
            const std::string text =
                libraryText(entry.id, {fill[0], fill[1], fill[2], fill[3], fill[4]});
            EXPECT_EQ(testing::libraryMessageOf(text), entry.id) << text;
        }
    }
    EXPECT_EQ(testing::libraryMessageOf("Deletion Cancelled"), LibraryMessage::Count);
    EXPECT_EQ(testing::libraryMessageOf("x Groups imported"), LibraryMessage::Count);
}

} // namespace
} // namespace moraine
