#include "dialogs/Layouts.h"

#include "dialogs/Roles.h"

namespace moraine::dialogs {

namespace {
using I = Item;

constexpr DialogRow kPatchManager[] = {
    {I::Button, 60, 360, 80, 24, "cancel.png", kRoleCancel},
    {I::Button, 500, 360, 80, 24, "ok.png", kRoleOk},
    {I::Button, 15, 54, 80, 24, "import.png", kRoleImport},
    {I::Button, 15, 83, 80, 24, "export.png", kRoleExport},
    {I::Button, 15, 117, 80, 24, "cut.png", kRoleCut},
    {I::Button, 15, 144, 80, 24, "copy.png", kRoleCopy},
    {I::Button, 15, 170, 80, 24, "paste.png", kRolePaste},
    {I::Button, 15, 204, 80, 24, "up.png", kRoleUp},
    {I::Button, 15, 228, 80, 24, "down.png", kRoleDown},
    {I::Button, 15, 262, 80, 24, "rename.png", kRoleRename},
    {I::Button, 15, 296, 80, 24, "delete.png", kRoleDelete},
    {I::Button, 412, 360, 80, 24, "select.png", kRoleSelect},
    {I::Label, 105, 30, 100, 20, "Groups:", 0},
    {I::List, 105, 54, 160, 267, nullptr, kRoleGroupList},
    {I::ListSlider, 265, 54, 14, 267, nullptr, 0},
    {I::Label, 279, 30, 100, 20, "Categories:", 0},
    {I::List, 279, 54, 160, 267, nullptr, kRoleCategoryList},
    {I::ListSlider, 439, 54, 14, 267, nullptr, 0},
    {I::Label, 453, 30, 100, 20, "Patches:", 0},
    {I::List, 453, 54, 160, 267, nullptr, kRolePatchList},
    {I::ListSlider, 613, 54, 14, 267, nullptr, 0},
};

constexpr DialogRow kSaveAs[] = {
    {I::Label, 122, 10, 250, 20, "Save your patch as:", 0},
    {I::Label, 24, 40, 66, 20, "Group:", 0},
    {I::Menu, 100, 40, 200, 20, nullptr, kRoleGroupMenu, 1234},
    {I::Button, 320, 40, 80, 24, "newgroup.png", kRoleNewGroup},
    {I::Label, 24, 70, 66, 20, "Category:", 0},
    {I::Menu, 100, 70, 200, 20, nullptr, kRoleCategoryMenu, 1235},
    {I::Button, 320, 70, 80, 24, "newcat.png", kRoleNewCategory},
    {I::Label, 24, 115, 66, 20, "Name:", 0},
    {I::Field, 100, 115, 300, 20, nullptr, kRoleName},
    {I::Label, 24, 145, 66, 20, "Author:", 0},
    {I::Field, 100, 145, 300, 20, nullptr, kRoleAuthor},
    {I::Label, 24, 175, 66, 20, "Date:", 0},
    {I::Field, 100, 175, 300, 20, nullptr, kRoleDate},
    {I::Label, 24, 205, 130, 20, "MIDI Patch Number:", 0},
    {I::NumberField, 170, 205, 80, 20, nullptr, kRoleMidiNumber},
    {I::Label, 24, 230, 66, 20, "Notes:", 0},
    {I::CheckBox, 180, 230, 20, 22, "checkbox.png", kRoleDisplayNotes},
    {I::Label, 210, 230, 180, 20, "Display Notes on front panel", 0},
    {I::NotesField, 34, 260, 366, 140, nullptr, kRoleNotes},
    {I::Button, 51, 410, 80, 24, "cancel.png", kRoleCancel},
    {I::Button, 295, 410, 80, 24, "ok.png", kRoleOk},
};

constexpr DialogRow kRename[] = {
    {I::Label, 20, 19, 250, 20, "Please Enter The New Name:", kRolePrompt},
    {I::Field, 20, 60, 250, 20, nullptr, kRoleNewName},
    {I::Button, 47, 125, 80, 24, "cancel.png", kRoleCancel},
    {I::Button, 193, 125, 80, 24, "ok.png", kRoleOk},
};

constexpr DialogRow kNewGroup[] = {
    {I::Label, 20, 10, 250, 20, "Please Enter The New Group Name:", 0},
    {I::Field, 20, 30, 250, 20, nullptr, kRoleGroupName},
    {I::Label, 20, 65, 250, 20, "Please Enter The New Category Name:", 0},
    {I::Field, 20, 85, 250, 20, nullptr, kRoleCategoryName},
    {I::Button, 47, 125, 80, 24, "cancel.png", kRoleCancel},
    {I::Button, 193, 125, 80, 24, "ok.png", kRoleOk},
};

// The four source rows share a pattern; each names its check box, curve, invert and range.
constexpr DialogRow kMidiMap[] = {
    {I::Label, 12, 6, 400, 20, "", kRoleTitle},
    {I::Label, 10, 34, 180, 20, "Global MIDI Map Settings", 0},
    {I::CheckBox, 14, 75, 20, 22, "checkbox.png", kRoleSourceCheck + 0},
    {I::Label, 50, 75, 100, 20, "Midi Controller", 0},
    {I::NumberField, 152, 75, 37, 20, nullptr, kRoleControllerNumber},
    {I::Label, 195, 75, 70, 20, "Sensitivity:", 0},
    {I::Curve, 263, 75, 24, 24, "linear.png", kRoleSourceCurve + 0, 0},
    {I::Curve, 283, 75, 24, 24, "log.png", kRoleSourceCurve + 0, 1},
    {I::Curve, 303, 75, 24, 24, "exp.png", kRoleSourceCurve + 0, 2},
    {I::CheckBox, 334, 75, 20, 22, "checkbox.png", kRoleSourceInvert + 0},
    {I::Label, 360, 75, 50, 20, "Invert", 0},
    {I::Label, 50, 105, 90, 20, "Control Range:", 0},
    {I::Range, 140, 101, 260, 30, nullptr, kRoleSourceRange + 0},
    {I::Label, 162, 128, 80, 20, "MIDI Channel:", 0},
    {I::NumberField, 240, 136, 37, 20, nullptr, kRoleChannel},
    {I::CheckBox, 240, 158, 20, 22, "checkbox.png", kRoleLearn},
    {I::Label, 162, 154, 75, 20, "Midi Learn", 0},
    {I::Label, 10, 189, 180, 20, "Patch Specific Settings", 0},
    // velocity: slot 1
    {I::CheckBox, 14, 221, 20, 22, "checkbox.png", kRoleSourceCheck + 1},
    {I::Label, 50, 221, 100, 20, "Velocity", 0},
    {I::Label, 160, 221, 70, 20, "Sensitivity:", 0},
    {I::Curve, 228, 223, 24, 24, "linear.png", kRoleSourceCurve + 1, 0},
    {I::Curve, 248, 223, 24, 24, "log.png", kRoleSourceCurve + 1, 1},
    {I::Curve, 268, 223, 24, 24, "exp.png", kRoleSourceCurve + 1, 2},
    {I::CheckBox, 316, 221, 20, 22, "checkbox.png", kRoleSourceInvert + 1},
    {I::Label, 340, 221, 50, 20, "Invert", 0},
    {I::Label, 50, 256, 90, 20, "Control Range:", 0},
    {I::Range, 140, 247, 260, 30, nullptr, kRoleSourceRange + 1},
    // aftertouch: slot 3
    {I::CheckBox, 14, 282, 20, 22, "checkbox.png", kRoleSourceCheck + 3},
    {I::Label, 50, 283, 100, 20, "Aftertouch", 0},
    {I::Label, 160, 283, 70, 20, "Sensitivity:", 0},
    {I::Curve, 228, 284, 24, 24, "linear.png", kRoleSourceCurve + 3, 0},
    {I::Curve, 248, 284, 24, 24, "log.png", kRoleSourceCurve + 3, 1},
    {I::Curve, 268, 284, 24, 24, "exp.png", kRoleSourceCurve + 3, 2},
    {I::CheckBox, 316, 282, 20, 22, "checkbox.png", kRoleSourceInvert + 3},
    {I::Label, 340, 283, 50, 20, "Invert", 0},
    {I::Label, 50, 318, 90, 20, "Control Range:", 0},
    {I::Range, 140, 310, 260, 30, nullptr, kRoleSourceRange + 3},
    // mod wheel: slot 2
    {I::CheckBox, 14, 344, 20, 22, "checkbox.png", kRoleSourceCheck + 2},
    {I::Label, 50, 345, 100, 20, "Mod. Wheel", 0},
    {I::Label, 160, 345, 70, 20, "Sensitivity:", 0},
    {I::Curve, 228, 346, 24, 24, "linear.png", kRoleSourceCurve + 2, 0},
    {I::Curve, 248, 346, 24, 24, "log.png", kRoleSourceCurve + 2, 1},
    {I::Curve, 268, 346, 24, 24, "exp.png", kRoleSourceCurve + 2, 2},
    {I::CheckBox, 316, 344, 20, 22, "checkbox.png", kRoleSourceInvert + 2},
    {I::Label, 340, 345, 50, 20, "Invert", 0},
    {I::Label, 50, 380, 90, 20, "Control Range:", 0},
    {I::Range, 140, 371, 260, 30, nullptr, kRoleSourceRange + 2},
    {I::Button, 130, 422, 80, 24, "cancel.png", kRoleCancel},
    {I::Button, 220, 422, 80, 24, "ok.png", kRoleOk},
};

constexpr DialogRow kMidiBeat[] = {
    {I::Label, 140, 10, 250, 20, "MIDI Beat Clock Setup", 0},
    {I::Label, 30, 50, 350, 20, "MIDI Beat clock synchronization provides a means to lock", 0},
    {I::Label, 30, 70, 350, 20, "LFO functions to MIDI tracks.  There are 24 MIDI Beats per ", 0},
    {I::Label, 30, 90, 350, 20, "quarter-note of a MIDI track.   So, if you would like the LFO", 0},
    {I::Label, 30, 110, 350, 20, "to cycle once per quarter-note, enter 12 in the text box.", 0},
    {I::Label, 30, 140, 350, 20, "This information is stored with the patch.", 0},
    {I::CheckBox, 44, 182, 20, 22, "checkbox.png", kRoleClockSync},
    {I::Label, 71, 179, 155, 20, "Synchronize Internal Clock", 0},
    {I::NumberField, 232, 182, 60, 20, nullptr, kRoleClockPulses},
    {I::Slider, 310, 172, 82, 37, "smallslider1.png", 0, 73},
    {I::CheckBox, 44, 244, 20, 22, "checkbox.png", kRoleLfoSync},
    {I::Label, 71, 241, 160, 20, "Synchronize Keyboard LFO", 0},
    {I::NumberField, 232, 244, 60, 20, nullptr, kRoleLfoPulses},
    {I::Slider, 310, 234, 82, 37, "smallslider1.png", 0, 74},
    {I::Button, 62, 295, 80, 24, "cancel.png", kRoleCancel},
    {I::Button, 306, 295, 80, 24, "ok.png", kRoleOk},
};

constexpr DialogRow kLoadMidiMap[] = {
    {I::Label, 120, 10, 200, 20, "Load Midi Map:", 0},
    {I::Menu, 40, 50, 250, 20, nullptr, kRoleChoice, 1239},
    {I::Button, 60, 120, 80, 24, "cancel.png", kRoleCancel},
    {I::Button, 192, 120, 80, 24, "ok.png", kRoleOk},
};

constexpr DialogRow kSaveMidiMap[] = {
    {I::Label, 80, 10, 200, 20, "Save Midi Map:", 0},
    {I::Field, 40, 50, 200, 20, nullptr, kRoleNewName},
    {I::Button, 30, 110, 80, 24, "cancel.png", kRoleCancel},
    {I::Button, 172, 110, 80, 24, "ok.png", kRoleOk},
};

constexpr DialogRow kTunings[] = {
    {I::Label, 100, 10, 200, 20, "Load Tuning Table:", 0},
    {I::Menu, 40, 50, 250, 20, nullptr, kRoleChoice, 1239},
    {I::Button, 40, 110, 80, 24, "cancel.png", kRoleCancel},
    {I::Button, 217, 110, 80, 24, "ok.png", kRoleOk},
};

constexpr DialogRow kAbout[] = {
    {I::CentredLabel, 0, 150, 600, 24, "Moraine Deck 1.3", 0},
    {I::CentredLabel, 0, 190, 600, 20, "A semi-modular synthesizer for Linux hosts", 0},
    {I::CentredLabel, 0, 225, 600, 20, "Design, circuit and code: the Moraine Deck team", 0},
    {I::CentredLabel, 0, 250, 600, 20, "Panel art drawn by our own tools", 0},
    {I::CentredLabel, 0, 285, 600, 20, "No glaciers were harmed in the making of this sound.", 0},
    {I::CentredLabel, 0, 320, 600, 20, "VST is a trademark of Steinberg Media Technologies GmbH.", 0},
    {I::CentredLabel, 0, 345, 600, 20, "Plug-in interface written from the published VST 2 layout.", 0},
    {I::CentredLabel, 0, 400, 600, 20, "Click or press a key to close.", 0},
};

constexpr DialogRow kFileChooser[] = {
    {I::Label, 20, 12, 400, 20, "", kRoleTitle},
    {I::Label, 20, 36, 560, 20, "", kRoleFolder},
    {I::List, 20, 60, 540, 300, nullptr, kRoleFileList},
    {I::ListSlider, 560, 60, 14, 300, nullptr, 0},
    {I::Label, 20, 372, 60, 20, "Name:", 0},
    {I::Field, 80, 372, 300, 20, nullptr, kRoleNewName},
    {I::Button, 400, 410, 80, 24, "up.png", kRoleParent},
    {I::Button, 110, 410, 80, 24, "cancel.png", kRoleCancel},
    {I::Button, 500, 410, 80, 24, "ok.png", kRoleOk},
};

constexpr DialogLayout kLayouts[] = {
    {"patch manager", "patch.png", 200, 80, 670, 450, 28, 35, kPatchManager},
    {"save as", "saveasback.png", 200, 80, 450, 500, 20, 40, kSaveAs},
    {"rename", "microselect.png", 300, 54, 340, 210, 44, 37, kRename},
    {"new group", "microselect.png", 300, 34, 340, 210, 44, 37, kNewGroup},
    {"midi map", "midimap.png", 200, 80, 450, 500, 30, 40, kMidiMap},
    {"midi beat", "midibeat.png", 200, 80, 500, 380, 44, 37, kMidiBeat},
    {"load midi map", "microselect.png", 200, 80, 340, 210, 24, 33, kLoadMidiMap},
    {"save midi map", "microselect.png", 200, 80, 340, 210, 44, 37, kSaveMidiMap},
    {"tunings", "microselect.png", 200, 80, 340, 210, 24, 38, kTunings},
    {"about", "aboutBack.png", 100, 80, 600, 450, 0, 0, kAbout},
    {"file chooser", "patch.png", 200, 80, 600, 450, 0, 0, kFileChooser},
};
} // namespace

const DialogLayout& dialogLayout(DialogKind kind) { return kLayouts[int(kind)]; }

} // namespace moraine::dialogs
