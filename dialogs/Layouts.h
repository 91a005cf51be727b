// Where every dialog's controls sit, as data: one row per control, positions relative to
// the dialog's top-left, then every child moved by the dialog's shift.
#pragma once

#include <cstdint>
#include <span>

namespace moraine::dialogs {

enum class Item : std::uint8_t {
    Label,
    CentredLabel,
    Field,       // one line
    NumberField, // digits only
    NotesField,  // several lines
    Button,      // 80 × 24 momentary, acts on release
    CheckBox,    // 20 × 22 toggle
    Curve,       // 24 × 24, one of a radio group of three (value: the curve code)
    Range,       // MIDI range 0..127
    Menu,        // string menu (value: identifier)
    List,        // string list
    ListSlider,  // scroll bar of the list in the row before
    Slider,      // bound horizontal slider (value: parameter)
};

struct DialogRow {
    Item item;
    int x, y, w, h;
    const char* text; // label text or image name
    int role;         // the dialog's own name for the control, 0 none
    int value = 0;
};

struct DialogLayout {
    const char* name;
    const char* background;
    int x, y, w, h;
    int shiftX, shiftY;
    std::span<const DialogRow> rows;
};

enum class DialogKind : std::uint8_t {
    PatchManager,
    SaveAs,
    Rename,
    NewGroup,
    MidiMap,
    MidiBeat,
    LoadMidiMap,
    SaveMidiMap,
    Tunings,
    About,
    FileChooser,
};
const DialogLayout& dialogLayout(DialogKind kind);

// Roles shared by every dialog.
enum : int { kRoleNone = 0, kRoleOk = 1, kRoleCancel = 2 };

} // namespace moraine::dialogs
