// The user's library operations: Save, Save As, lock and reset from the panel, and the
// patch manager's copy, cut, paste, delete, rename, move, import, export, OK and cancel.
// The dialogs gather the user's choices; everything they decide, refuse or ask happens
// here, through the library's message sink.
#pragma once

#include "patch/PatchLibrary.h"

#include <string>
#include <vector>

namespace moraine {

// What the library operations need of the running instrument.
class PatchInstrument {
public:
    virtual ~PatchInstrument() = default;
    // The panel's state into a patch.
    virtual void capture(PatchRecord& record) = 0;
    // Makes a PatchSource current and changes to its patch.
    virtual bool loadPatch(int source, bool wait) = 0;
};

// Selected positions in the patch manager's three lists. With no category selected the
// groups are the level worked on; with categories but no patch the categories of the
// first selected group; with patches the patches of the first selected category.
struct LibrarySelection {
    std::vector<int> groups, categories, patches;
};

enum class SelectionLevel { Groups, Categories, Patches };
SelectionLevel selectionLevel(const LibrarySelection& selection);

// ---------------------------------------------------------------- panel operations

enum class SaveResult { Saved, Locked, NeedsSaveAs };
// Saves the panel into the selected library patch when that patch is the current sound.
SaveResult savePatch(PatchLibrary& library, PatchInstrument& instrument);
// Locks or unlocks the selected library patch and saves its file; false when there is
// none or nothing changes.
bool setPatchLocked(PatchLibrary& library, bool locked);
// The panel's reset: the "reset" patch becomes the sound.
void resetPatch(PatchInstrument& instrument);

struct SaveAsRequest {
    std::string name, author, date, notes;
    std::string midiNumber; // as typed: 1..128, anything else means none
    bool displayNotes = false;
    int group = 0, category = 0; // chosen in the dialog's menus
    // What was current when the dialog opened: the selected library patch (null when the
    // sound was not a library patch) and its group and category.
    const PatchRecord* openedOn = nullptr;
    int openedGroup = 0, openedCategory = 0;
    // The answer to the question saveAsQuestion() returned, when the caller asked it
    // itself (the panel asks without blocking): 1 OK, 0 Cancel, -1 ask through the sink.
    int occupantAnswer = -1;
};
// The replacement question saveAs would ask for this request; empty when it asks none.
std::string saveAsQuestion(PatchLibrary& library, const SaveAsRequest& request);
// The MIDI program a typed patch number stands for: 0..127, or -1 for none.
int programFromTyped(const std::string& typed);
// Overwrites the patch the dialog was opened on, or adds a new patch to the chosen
// category; then captures the panel into it and saves it. False when nothing was saved.
bool saveAs(PatchLibrary& library, PatchInstrument& instrument, const SaveAsRequest& request);
// The dialog's new-group and new-category buttons; true when added (and made current).
bool newGroup(PatchLibrary& library, const std::string& groupName,
              const std::string& categoryName);
bool newCategory(PatchLibrary& library, const std::string& name);

// ---------------------------------------------------------------- the patch manager

class PatchManager {
public:
    explicit PatchManager(PatchLibrary& library);

    // Remembers the selection and reads the clipboard's type.
    void open();
    // -1 when the clipboard holds nothing that can be pasted.
    int clipboardType() const { return clipboardType_; }

    void copy(const LibrarySelection& selection);
    void cut(const LibrarySelection& selection);
    void paste(const LibrarySelection& selection);
    // Asks first; false when refused or cancelled.
    bool remove(const LibrarySelection& selection);
    // remove() in two steps for callers that cannot wait for an answer: the question (any
    // refusal already shown; empty when nothing is deleted), then the answer.
    std::string removeQuestion(const LibrarySelection& selection);
    void removeAnswered(const LibrarySelection& selection, bool ok);
    // False when the name cannot be stored.
    bool rename(const LibrarySelection& selection, const std::string& text);
    // The selection after the move, at the level that moved.
    LibrarySelection moveUp(const LibrarySelection& selection);
    LibrarySelection moveDown(const LibrarySelection& selection);
    // ".qix" is added to a file name without a dot.
    void exportTo(const std::string& path, const LibrarySelection& selection);
    void importFrom(const std::string& path);
    // Writes the library and selects the remembered patch where it now stands.
    void ok();
    // Discards every edit and selects the remembered positions again.
    void cancel();

    std::string clipboardPath() const;
    std::string clipboardTypePath() const;

private:
    void removeEntries(const LibrarySelection& selection);
    LibrarySelection move(const LibrarySelection& selection, bool down);

    PatchLibrary& library_;
    int clipboardType_ = -1;
    int rememberedGroup_ = 0, rememberedCategory_ = 0, rememberedPatch_ = 0;
    const PatchRecord* rememberedRecord_ = nullptr;
};

} // namespace moraine
