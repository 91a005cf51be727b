// The front panel's rows. Frames are x, y, width, height; insets left, top, right, bottom.
#include "gui/PanelLayout.h"

#include "patch/ParameterTable.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>

namespace moraine::gui {

namespace {

constexpr PanelControl base(PanelWidget widget, PanelAction action, int parameter, const char* id,
                            PanelRect frame, PanelInset inset, const char* image, int frames,
                            int resolution) {
    PanelControl c{};
    c.widget = widget;
    c.action = action;
    c.parameter = parameter;
    c.code = 0;
    c.id = id;
    c.frame = frame;
    c.inset = inset;
    c.image = image;
    c.backImage = nullptr;
    c.frames = frames;
    c.resolution = resolution;
    c.buttonMode = ButtonMode::Momentary;
    c.orientation = Orientation::Vertical;
    c.menuKind = MenuKind::Patch;
    c.meterIndex = 0;
    c.meterStyle = 0;
    c.knobMode = 0;
    c.knobStart = 0.0f;
    c.knobSweep = 0.0f;
    c.jackRole = JackRole::None;
    c.keyHighest = 0;
    c.keyLowest = 0;
    return c;
}

constexpr PanelControl menu(PanelAction action, const char* id, MenuKind kind, PanelRect frame,
                            PanelInset inset) {
    PanelControl c = base(PanelWidget::PatchMenu, action, -1, id, frame, inset, nullptr, 1, 0);
    c.menuKind = kind;
    return c;
}

// Unbound buttons have two steps: their integer range is 0..2.
constexpr PanelControl button(PanelAction action, const char* id, PanelRect frame,
                              PanelInset inset, const char* image, int frames, ButtonMode mode) {
    PanelControl c = base(PanelWidget::Button, action, -1, id, frame, inset, image, frames, 2);
    c.buttonMode = mode;
    return c;
}

constexpr PanelControl meter(PanelAction action, const char* id, PanelRect frame, int index,
                             int style) {
    const bool light = style == 3;
    PanelControl c = base(PanelWidget::Meter, action, -1, id, frame, {},
                          light ? "midi.png" : "led_front.png", light ? 2 : 1, 1);
    c.backImage = light ? nullptr : "led_back_mr.png";
    c.meterIndex = index;
    c.meterStyle = style;
    return c;
}

constexpr PanelInset kVerticalSliderInset{0, 10, 0, 10};
constexpr PanelInset kHorizontalSliderInset{10, 0, 11, 0};

constexpr PanelControl vslider(int parameter, PanelRect frame, int resolution) {
    PanelControl c = base(PanelWidget::Slider, PanelAction::Parameter, parameter, nullptr, frame,
                          kVerticalSliderInset, "vert_knob.png", 1, resolution);
    c.orientation = Orientation::Vertical;
    return c;
}

constexpr PanelControl hslider(int parameter, PanelRect frame, int resolution,
                               const char* image = "horz_knob.png") {
    PanelControl c = base(PanelWidget::Slider, PanelAction::Parameter, parameter, nullptr, frame,
                          kHorizontalSliderInset, image, 1, resolution);
    c.orientation = Orientation::Horizontal;
    return c;
}

constexpr PanelControl vswitch(int parameter, PanelRect frame) {
    PanelControl c = base(PanelWidget::Button, PanelAction::Parameter, parameter, nullptr, frame,
                          {0, 7, 0, 7}, "vert_switch.png", 1, 1);
    c.buttonMode = ButtonMode::Toggle;
    c.orientation = Orientation::Vertical;
    return c;
}

constexpr PanelControl hswitch(int parameter, PanelRect frame) {
    PanelControl c = base(PanelWidget::Button, PanelAction::Parameter, parameter, nullptr, frame,
                          {7, 0, 7, 0}, "horz_switch.png", 1, 1);
    c.buttonMode = ButtonMode::Toggle;
    c.orientation = Orientation::Horizontal;
    return c;
}

constexpr PanelControl dial(int parameter, PanelRect frame, int resolution) {
    PanelControl c = base(PanelWidget::Knob, PanelAction::Parameter, parameter, nullptr, frame,
                          {0, 0, 3, 3}, "dial.png", 1, resolution);
    c.knobMode = 1;
    c.knobStart = -0.375f;
    c.knobSweep = 0.375f;
    return c;
}

constexpr PanelControl stepKnob(int parameter, PanelRect frame, int resolution, const char* strip,
                                int frames) {
    return base(PanelWidget::Knob, PanelAction::Parameter, parameter, nullptr, frame, {}, strip,
                frames, resolution);
}

constexpr PanelControl jack(int parameter, PanelRect frame) {
    PanelControl c = base(PanelWidget::Jack, PanelAction::Parameter, parameter, nullptr, frame, {},
                          "cableend.png", 1, 100);
    c.jackRole = kJackTable[parameter - kFirstJackParam + 1].role;
    c.code = kJackTable[parameter - kFirstJackParam + 1].code;
    return c;
}

// clang-format off
constexpr PanelControl kRows[] = {
    // ---- the top strip and the other unbound controls
    menu(PanelAction::GroupMenu, "group menu", MenuKind::Group, {32, 6, 98, 12}, {0, 0, 20, 0}),
    menu(PanelAction::CategoryMenu, "category menu", MenuKind::Category, {137, 6, 98, 12}, {0, 0, 20, 0}),
    menu(PanelAction::PatchMenu, "patch menu", MenuKind::Patch, {244, 6, 108, 12}, {0, 0, 25, 0}),
    base(PanelWidget::NotesSlider, PanelAction::NotesSlider, -1, "notes slider", {251, 359, 10, 84}, {}, nullptr, 1, 0),
    base(PanelWidget::NotesArea, PanelAction::NotesArea, -1, "notes area", {86, 344, 190, 114}, {0, 0, 25, 0}, "Notes_Box.png", 1, 0),
    button(PanelAction::PatchManager, "patch manager", {470, 3, 98, 17}, {}, "ptchmgr.png", 2, ButtonMode::Momentary),
    button(PanelAction::SaveAs, "save as", {416, 3, 44, 17}, {}, "saveas.png", 2, ButtonMode::Momentary),
    button(PanelAction::EnvelopeGate, "envelope gate", {717, 211, 12, 11}, {0, 7, 0, 7}, "envbutton.png", 2, ButtonMode::Gate),
    button(PanelAction::PortamentoGate, "portamento gate", {190, 567, 12, 11}, {0, 7, 0, 7}, "envbutton.png", 2, ButtonMode::Gate),
    button(PanelAction::Save, "save", {362, 3, 44, 17}, {}, "save.png", 2, ButtonMode::Momentary),
    button(PanelAction::Logo, "logo", {740, 365, 197, 63}, {}, "Morainelogo.png", 1, ButtonMode::FixedValue),
    [] {
        PanelControl c = base(PanelWidget::VoicesMenu, PanelAction::Voices, 81, nullptr, {615, 6, 34, 12}, {0, 0, 20, 0}, nullptr, 1, 1);
        return c;
    }(),
    meter(PanelAction::LevelMeter0, "level meter 0", {803, 6, 80, 6}, 0, 1),
    meter(PanelAction::LevelMeter1, "level meter 1", {803, 12, 80, 6}, 1, 1),
    meter(PanelAction::LevelMeter2, "level meter 2", {923, 6, 80, 12}, 2, 2),
    meter(PanelAction::MidiLight, "midi light", {742, 2, 19, 19}, 4, 3),
    button(PanelAction::Reset, "reset", {689, 1, 23, 23}, {}, "reset.png", 2, ButtonMode::Momentary),
    button(PanelAction::Lock, "lock", {3, 3, 17, 17}, {}, "lock.png", 2, ButtonMode::Toggle),
    [] {
        PanelControl c = base(PanelWidget::Keyboard, PanelAction::Keyboard, -1, "keyboard", {258, 493, 734, 123}, {}, nullptr, 1, 0);
        c.keyHighest = 96;
        c.keyLowest = 36;
        return c;
    }(),

    // ---- sliders
    vslider(2, {20, 195, 24, 85}, 1000),
    vslider(3, {70, 195, 24, 85}, 1000),
    vslider(4, {122, 195, 24, 85}, 1000),
    hslider(5, {147, 73, 96, 24}, 10000),
    hslider(6, {147, 99, 96, 24}, 10000),
    vslider(7, {173, 195, 24, 85}, 10000),
    vslider(8, {199, 195, 24, 85}, 10000),
    vslider(9, {223, 195, 24, 85}, 10000),
    hslider(10, {250, 48, 122, 24}, 10000),
    hslider(11, {250, 73, 122, 24}, 10000),
    hslider(12, {250, 99, 120, 24}, 10000),
    vslider(13, {277, 195, 24, 85}, 10000),
    vslider(14, {302, 195, 24, 85}, 10000),
    vslider(15, {328, 195, 24, 85}, 10000),
    vslider(16, {353, 195, 24, 85}, 10000),
    hslider(17, {379, 48, 100, 24}, 10000),
    hslider(18, {379, 73, 100, 24}, 10000),
    hslider(19, {379, 99, 100, 24}, 10000),
    vslider(20, {404, 195, 24, 85}, 10000),
    vslider(21, {429, 195, 24, 85}, 10000),
    vslider(22, {455, 195, 24, 85}, 10000),
    hslider(23, {535, 48, 88, 24}, 10000),
    hslider(24, {535, 73, 88, 24}, 10000),
    hslider(25, {535, 99, 88, 24}, 100000),
    vslider(26, {481, 195, 24, 85}, 1000),
    vslider(27, {507, 195, 24, 85}, 1000),
    vslider(28, {532, 195, 24, 85}, 1000),
    vslider(29, {557, 195, 24, 85}, 1000),
    vslider(30, {583, 195, 24, 85}, 1000),
    vslider(72, {608, 195, 24, 85}, 10000),
    vslider(31, {634, 195, 24, 85}, 10000),
    vslider(32, {660, 195, 24, 85}, 10000),
    vslider(33, {685, 54, 24, 78}, 1000),
    vslider(34, {712, 54, 24, 78}, 1000),
    vslider(35, {736, 54, 24, 78}, 1000),
    vslider(36, {762, 54, 24, 78}, 1000),
    vslider(37, {685, 195, 24, 85}, 1000),
    vslider(39, {762, 195, 24, 85}, 1000),
    hslider(40, {787, 48, 88, 24}, 1000),
    vslider(41, {787, 195, 24, 85}, 1000),
    vslider(42, {813, 195, 24, 85}, 1000),
    vslider(43, {838, 195, 24, 85}, 1000),
    vslider(44, {865, 195, 24, 85}, 1000),
    vslider(50, {303, 357, 24, 82}, 1000),
    vslider(51, {327, 357, 24, 82}, 1000),
    vslider(56, {635, 357, 24, 82}, 1000),
    vslider(57, {660, 357, 24, 82}, 1000),
    hslider(52, {410, 350, 120, 24}, 1000),
    hslider(53, {410, 372, 120, 24}, 1000),
    hslider(54, {410, 396, 120, 24}, 1000),
    hslider(55, {410, 417, 120, 24}, 1000),
    hslider(45, {900, 70, 80, 24}, 1000),
    vslider(46, {890, 195, 24, 85}, 1000),
    vslider(47, {915, 195, 24, 85}, 1000),
    vslider(48, {941, 118, 24, 90}, 1000),
    vslider(49, {967, 118, 24, 90}, 1000),
    hslider(65, {114, 497, 82, 17}, 1000, "smallslider.png"),
    hslider(66, {114, 515, 82, 17}, 1000, "smallslider.png"),
    hslider(67, {114, 534, 82, 17}, 1000, "smallslider.png"),
    hslider(68, {175, 581, 82, 17}, 1000, "smallslider.png"),
    hslider(75, {777, 444, 120, 24}, 1000),

    // ---- switches
    vswitch(61, {105, 290, 9, 24}),
    vswitch(58, {151, 252, 9, 24}),
    vswitch(59, {252, 252, 9, 24}),
    vswitch(60, {381, 252, 9, 24}),
    vswitch(38, {718, 259, 9, 24}),
    hswitch(69, {217, 566, 24, 9}),
    vswitch(62, {205, 509, 9, 24}),
    vswitch(76, {58, 551, 9, 24}),
    vswitch(1, {959, 401, 9, 24}),
    [] {
        PanelControl c = base(PanelWidget::Button, PanelAction::Parameter, 1, "Master Bypass light", {947, 342, 34, 34}, {}, "powerlight.png", 2, 1);
        c.buttonMode = ButtonMode::Toggle;
        return c;
    }(),

    // ---- knobs
    dial(70, {55, 52, 43, 43}, 100),
    dial(71, {76, 555, 43, 43}, 120),
    stepKnob(64, {145, 555, 29, 38}, 3, "transpose.png", 3),
    stepKnob(63, {238, 509, 9, 24}, 3, "tpos_switch.png", 3),

    // ---- jacks, in registration order (which decides a hit test between neighbours)
    jack(90, {25, 297, 14, 14}),   jack(91, {76, 297, 14, 14}),   jack(92, {127, 297, 14, 14}),
    jack(93, {179, 297, 14, 14}),  jack(94, {153, 297, 14, 14}),  jack(95, {205, 297, 14, 14}),
    jack(96, {230, 297, 14, 14}),  jack(97, {256, 297, 14, 14}),  jack(98, {282, 297, 14, 14}),
    jack(99, {307, 297, 14, 14}),  jack(100, {333, 297, 14, 14}), jack(101, {358, 297, 14, 14}),
    jack(102, {384, 297, 14, 14}), jack(103, {409, 297, 14, 14}), jack(104, {435, 297, 14, 14}),
    jack(105, {461, 297, 14, 14}), jack(106, {486, 297, 14, 14}), jack(107, {512, 297, 14, 14}),
    jack(108, {538, 297, 14, 14}), jack(109, {564, 297, 14, 14}), jack(110, {590, 297, 14, 14}),
    jack(111, {615, 297, 14, 14}), jack(112, {640, 297, 14, 14}), jack(113, {743, 297, 14, 14}),
    jack(114, {665, 297, 14, 14}), jack(115, {717, 297, 14, 14}), jack(116, {768, 297, 14, 14}),
    jack(117, {794, 297, 14, 14}), jack(118, {819, 297, 14, 14}), jack(120, {845, 297, 14, 14}),
    jack(119, {871, 297, 14, 14}), jack(121, {896, 297, 14, 14}), jack(122, {922, 297, 14, 14}),
    jack(123, {947, 297, 14, 14}), jack(124, {358, 394, 14, 14}), jack(125, {383, 359, 14, 14}),
    jack(126, {383, 382, 14, 14}), jack(127, {383, 404, 14, 14}), jack(128, {383, 427, 14, 14}),
    jack(129, {538, 346, 14, 14}), jack(130, {538, 370, 14, 14}), jack(131, {538, 392, 14, 14}),
    jack(132, {565, 427, 14, 14}), jack(133, {565, 404, 14, 14}), jack(134, {565, 359, 14, 14}),
    jack(135, {602, 437, 14, 14}), jack(136, {602, 415, 14, 14}), jack(137, {602, 392, 14, 14}),
    jack(138, {602, 346, 14, 14}), jack(139, {693, 359, 14, 14}), jack(140, {693, 427, 14, 14}),
    jack(141, {693, 393, 14, 14}), jack(142, {127, 113, 14, 14}), jack(143, {110, 113, 14, 14}),
    jack(144, {50, 222, 14, 14}),  jack(145, {102, 222, 14, 14}), jack(146, {230, 173, 14, 14}),
    jack(147, {230, 156, 14, 14}), jack(148, {257, 173, 14, 14}), jack(149, {257, 156, 14, 14}),
    jack(150, {358, 173, 14, 14}), jack(151, {358, 156, 14, 14}), jack(152, {461, 173, 14, 14}),
    jack(153, {461, 156, 14, 14}), jack(154, {656, 163, 14, 14}), jack(155, {743, 198, 14, 14}),
    jack(156, {766, 163, 14, 14}), jack(157, {871, 163, 14, 14}), jack(158, {896, 175, 14, 14}),
    jack(159, {922, 175, 14, 14}), jack(160, {896, 100, 14, 14}), jack(161, {922, 100, 14, 14}),
    // The two main outputs lie beyond the panel's right edge: parameters, never seen.
    jack(162, {1099, 100, 14, 14}), jack(163, {1100, 100, 14, 14}), jack(164, {973, 100, 14, 14}),
    jack(165, {973, 271, 14, 14}), jack(166, {26, 353, 14, 14}),  jack(167, {26, 546, 14, 14}),
    jack(168, {26, 565, 14, 14}),  jack(169, {48, 499, 14, 14}),  jack(170, {73, 499, 14, 14}),
    jack(171, {73, 518, 14, 14}),  jack(172, {48, 518, 14, 14}),  jack(173, {150, 167, 14, 14}),
    jack(174, {381, 167, 14, 14}), jack(175, {26, 383, 14, 14}),  jack(176, {26, 406, 14, 14}),
    jack(177, {26, 428, 14, 14}),  jack(178, {26, 451, 14, 14}),
};

constexpr SliderLink kLinks[] = {
    {5, 6, 58},
    {10, 11, 59},
    {17, 18, 60},
    {23, 24, -1},
};

constexpr PanelImage img(const char* name, int w, int h, int frames = 1,
                         ImageKind kind = ImageKind::Plain, bool alpha = true) {
    return {name, w, h, frames, kind, Orientation::Horizontal, alpha, 0, 0, 0};
}
constexpr PanelImage handle(const char* name, int w, int h, Orientation o) {
    return {name, w, h, 1, ImageKind::Handle, o, true, 0, 0, 0};
}

constexpr PanelImage kImages[] = {
    img(kBackgroundImage, 1010, 623),
    handle("horz_knob.png", 21, 24, Orientation::Horizontal),
    handle("vert_knob.png", 25, 21, Orientation::Vertical),
    handle("smallslider.png", 17, 17, Orientation::Horizontal),
    handle("vert_switch.png", 9, 14, Orientation::Vertical),
    handle("horz_switch.png", 14, 9, Orientation::Horizontal),
    img("dial.png", 44, 44),
    img("cableend.png", 20, 20),
    img("goldplug.png", 14, 14),
    img("transpose.png", 29, 114, 3, ImageKind::Strip),
    img("tpos_switch.png", 9, 72, 3, ImageKind::Strip),
    img("powerlight.png", 34, 68, 2, ImageKind::Strip),
    img("ptchmgr.png", 98, 34, 2, ImageKind::Strip),
    img("save.png", 44, 34, 2, ImageKind::Strip),
    img("saveas.png", 44, 34, 2, ImageKind::Strip),
    img("midi.png", 19, 38, 2, ImageKind::Strip),
    img("reset.png", 23, 46, 2, ImageKind::Strip),
    img("lock.png", 17, 34, 2, ImageKind::Strip),
    img("Morainelogo.png", 197, 63, 1, ImageKind::Strip),
    {"led_front.png", 328, 50, 1, ImageKind::Cropping, Orientation::Horizontal, true, 164, 0, 4},
    img("led_back_mr.png", 328, 50),
    img("midimap.png", 450, 500),
    img("patch.png", 670, 450),
    img("saveasback.png", 450, 500),
    img("midibeat.png", 500, 380),
    img("microselect.png", 340, 210),
    img("Notes_Box.png", 190, 114, 1, ImageKind::Plain, false),
    img("envbutton.png", 12, 22, 2, ImageKind::Strip),
    img("aboutBack.png", 600, 450),
};

constexpr PanelPopup kPopups[] = {
    {"midi beat", "midibeat.png", 200, 80, 0, 0},
    {"midi map", "midimap.png", 200, 80, 0, 0},
    {"patch manager", "patch.png", 200, 80, 670, 450},
    {"save as", "saveasback.png", 200, 80, 0, 0},
    {"load midi map", "microselect.png", 200, 80, 0, 0},
    {"save midi map", "microselect.png", 200, 80, 0, 0},
    {"tunings", "microselect.png", 200, 80, 0, 0},
    {"about", "aboutBack.png", 100, 80, 0, 0},
};
// clang-format on

constexpr int kRowCount = int(sizeof kRows / sizeof kRows[0]);

// Jacks are named by their codes: two jacks share the name "VCO2 Sine Out Plug".
char jackIds[kJackCount + 1][5];

// The rows with the codes and names that live in the parameter table filled in.
const std::array<PanelControl, kRowCount>& rows() {
    static const std::array<PanelControl, kRowCount> table = [] {
        for (int j = 0; j <= kJackCount; ++j) {
            // Four characters and the terminator; copied, not formatted, so no build
            // warns that a longer text would be cut.
            const std::string text = fourccText(kJackTable[j].code);
            const size_t n = std::min(text.size(), sizeof jackIds[j] - 1);
            std::memcpy(jackIds[j], text.data(), n);
            jackIds[j][n] = '\0';
        }
        std::array<PanelControl, kRowCount> t{};
        for (int i = 0; i < kRowCount; ++i) {
            t[i] = kRows[i];
            PanelControl& c = t[i];
            if (c.parameter < 0) continue;
            if (c.code == 0) c.code = parameterCode(c.parameter);
            if (c.widget == PanelWidget::Jack) c.id = jackIds[c.parameter - kFirstJackParam + 1];
            if (c.id == nullptr) c.id = parameterInfo(c.parameter).name;
        }
        return t;
    }();
    return table;
}

bool sameNameIgnoringCase(const char* a, const char* b) {
    for (; *a && *b; ++a, ++b)
        if (std::tolower(static_cast<unsigned char>(*a)) !=
            std::tolower(static_cast<unsigned char>(*b)))
            return false;
    return *a == *b;
}

} // namespace

std::span<const PanelControl> panelControls() { return rows(); }

const PanelControl* findPanelControl(int parameter) {
    if (parameter < 0) return nullptr;
    for (const PanelControl& c : rows())
        if (c.parameter == parameter) return &c;
    return nullptr;
}

const PanelControl* findPanelControl(PanelAction action) {
    if (action == PanelAction::Parameter) return nullptr;
    for (const PanelControl& c : rows())
        if (c.action == action) return &c;
    return nullptr;
}

const PanelControl* findPanelControl(const char* id) {
    if (!id) return nullptr;
    for (const PanelControl& c : rows())
        if (std::strcmp(c.id, id) == 0) return &c;
    return nullptr;
}

std::span<const SliderLink> panelSliderLinks() { return kLinks; }

std::span<const PanelImage> panelImages() { return kImages; }

const PanelImage* findPanelImage(const char* name) {
    if (!name) return nullptr;
    for (const PanelImage& i : kImages)
        if (sameNameIgnoringCase(i.name, name)) return &i;
    return nullptr;
}

std::span<const PanelPopup> panelPopups() { return kPopups; }

} // namespace moraine::gui
