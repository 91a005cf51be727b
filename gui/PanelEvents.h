// Keys and modifiers as the panel sees them, whatever delivered them (X events or the
// host's effEditKeyDown).
#pragma once

namespace moraine::gui {

// Modifier word: Shift 8, Ctrl 1, Alt 2.
constexpr int kModCtrl = 1;
constexpr int kModAlt = 2;
constexpr int kModShift = 8;

// Keys other than printable characters (which are their own code, 32..126).
enum PanelKey : int {
    kKeyNone = 0,
    kKeyBackspace = 8,
    kKeyTab = 9,
    kKeyReturn = 13,
    kKeyEscape = 27,
    kKeyDelete = 127,
    kKeyUp = 0x1001,
    kKeyDown,
    kKeyLeft,
    kKeyRight,
    kKeyHome,
    kKeyEnd,
    kKeyPageUp,
    kKeyPageDown,
};

} // namespace moraine::gui
