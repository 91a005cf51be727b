// The front panel as data: every control with its place, image and arguments, in creation
// order, and every image the panel loads with its size. The editor builds its controls from
// these rows; the panel-art tool draws the background under the same rectangles, so a
// slider's track or a jack's socket cannot drift away from its control.
//
// The rows are plain constant data with no dependency on X, cairo or the instrument, so
// anything (the art tool, tests) can read them.
#pragma once

#include "engine/FourCC.h"
#include "engine/graph/JackTable.h"

#include <cstdint>
#include <span>

namespace moraine::gui {

constexpr int kPanelWidth = 1010;
constexpr int kPanelHeight = 623;

struct PanelRect {
    int x = 0, y = 0, w = 0, h = 0;
    constexpr int right() const { return x + w; }
    constexpr int bottom() const { return y + h; }
    constexpr bool contains(int px, int py) const {
        return px >= x && py >= y && px < x + w && py < y + h;
    }
    constexpr bool empty() const { return w <= 0 || h <= 0; }
    constexpr bool operator==(const PanelRect&) const = default;
};

// How much the active (clickable, drawn-into) rectangle is shrunk from the frame.
struct PanelInset {
    int left = 0, top = 0, right = 0, bottom = 0;
    constexpr bool operator==(const PanelInset&) const = default;
};

// The widget class a row becomes.
enum class PanelWidget : std::uint8_t {
    PatchMenu,   // group, category or patch list (menuKind)
    VoicesMenu,  // parameter 81
    NotesSlider, // scrolls the notes area
    NotesArea,   // the patch's notes text
    Button,      // buttons and switches, bound or not (buttonMode)
    Meter,       // level meters and the MIDI light
    Keyboard,    // the on-screen keyboard
    Slider,      // bound sliders
    Knob,        // rotary dials and stepped switches drawn from a strip
    Jack,        // patch sockets, parameters 90..178
};

// What an unbound control does; bound controls say Parameter.
enum class PanelAction : std::uint8_t {
    Parameter,
    GroupMenu,
    CategoryMenu,
    PatchMenu,
    NotesSlider,
    NotesArea,
    PatchManager,
    SaveAs,
    EnvelopeGate,
    PortamentoGate,
    Save,
    Logo,
    Voices, // bound to parameter 81 but acts as a menu
    LevelMeter0,
    LevelMeter1,
    LevelMeter2,
    MidiLight,
    Reset,
    Lock,
    Keyboard,
};

enum class ButtonMode : std::uint8_t {
    Momentary = 0,
    StepUp = 1,
    StepDown = 2,
    FixedValue = 3,
    Toggle = 4,
    Gate = 5,
};

enum class Orientation : std::uint8_t { Vertical = 0, Horizontal = 1 };

// Which list a patch menu shows (the library's own numbering of its lists).
enum class MenuKind : std::uint8_t { Patch = 0, Category = 1, Group = 2 };

struct PanelControl {
    PanelWidget widget;
    PanelAction action;
    int parameter;       // parameter index, -1 when unbound
    FourCC code;         // the parameter's code, a jack's code; 0 when there is none
    const char* id;      // a short stable name for messages and tests
    PanelRect frame;
    PanelInset inset;
    const char* image;     // main image name, nullptr when the control draws itself
    const char* backImage; // meters: the unlit bar
    int frames;            // frames of `image` (strips), 1 otherwise
    // Bound controls: integer steps per unit of the parameter's range. Unbound buttons:
    // the step count (their integer range is 0..steps). Knobs used as switches: 1..3.
    int resolution;
    ButtonMode buttonMode;   // buttons and switches
    Orientation orientation; // sliders and switches
    MenuKind menuKind;       // patch menus
    int meterIndex;          // meters: which level of the instrument's meter array
    int meterStyle;          // meters: 1 square-root scale, 2 linear, 3 two-frame light
    int knobMode;            // knobs: 1 draws a pointer mark over the dial
    float knobStart, knobSweep; // knobs: fractions of a turn
    JackRole jackRole;          // jacks
    int keyHighest, keyLowest;  // the keyboard's span

    constexpr PanelRect active() const {
        return {frame.x + inset.left, frame.y + inset.top, frame.w - inset.left - inset.right,
                frame.h - inset.top - inset.bottom};
    }
    constexpr bool bound() const { return parameter >= 0; }
};

// Every control in creation order: the top strip and the other unbound controls, the
// sliders, the switches, the knobs, the jacks. Creation order is drawing order and decides
// which of two overlapping controls a click finds.
std::span<const PanelControl> panelControls();

// The first row bound to `parameter` (the master bypass has two: the switch comes first),
// or null.
const PanelControl* findPanelControl(int parameter);
// The row of an unbound control, or null.
const PanelControl* findPanelControl(PanelAction action);
// The row with this id, or null.
const PanelControl* findPanelControl(const char* id);

// The coarse/fine pairs whose value tips show the combined frequency, and the oscillator's
// keyboard-override switch (-1: none).
struct SliderLink {
    int coarse, fine, overrideSwitch;
};
std::span<const SliderLink> panelSliderLinks();

enum class ImageKind : std::uint8_t {
    Plain,    // drawn whole, scaled into the destination
    Strip,    // frames stacked vertically, frame 0 on top
    Handle,   // a slider or switch handle placed along a track
    Cropping, // a bar revealed up to the value
};

struct PanelImage {
    const char* name;
    int width, height;
    int frames;
    ImageKind kind;
    Orientation orientation; // handles
    bool alpha;              // false: an opaque RGB image
    // Cropping images: x and y extent and the side flags (1 left, 2 top, 4 right, 8 bottom).
    int cropX, cropY, cropSides;
};

// Every image the editor loads, in loading order, with the size the art must have.
std::span<const PanelImage> panelImages();
// Case-insensitive lookup by name; null when the panel does not use it.
const PanelImage* findPanelImage(const char* name);

// The panel background.
inline constexpr const char* kBackgroundImage = "Stereo-Stereo-Board1.2.0.png";

// Where the popups sit (their background image's size is in panelImages()).
struct PanelPopup {
    const char* id;
    const char* image;
    int x, y;
    int w, h; // 0: the image's size
};
std::span<const PanelPopup> panelPopups();

} // namespace moraine::gui
