// The panel background. Every slot, scale, socket, well and key is drawn from the panel's
// layout rows, so each sits exactly under its control; the module sections and the labels
// are this file's own tables.
#include "tools/panel-art/Draw.h"
#include "tools/panel-art/Pieces.h"

#include "gui/PanelLayout.h"

#include <cairo.h>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace panelart {

namespace {

using moraine::JackRole;
using moraine::gui::Orientation;
using moraine::gui::PanelAction;
using moraine::gui::PanelControl;
using moraine::gui::PanelRect;
using moraine::gui::PanelWidget;

// Module sections: panels screwed side by side, each with its title.
struct Section {
    int x0, y0, x1, y1;
    const char* title;
    double titleX; // centre of the title; 0: the section's centre
};

constexpr int kUpperTop = 27, kUpperBottom = 324;
constexpr int kLowerTop = 327, kLowerBottom = 478;
constexpr int kKeysTop = 481, kKeysBottom = 620;

constexpr Section kSections[] = {
    {2, kUpperTop, 146, kUpperBottom, "PREAMP", 0},
    {147, kUpperTop, 248, kUpperBottom, "VCO 1", 0},
    {249, kUpperTop, 377, kUpperBottom, "VCO 2", 0},
    {378, kUpperTop, 480, kUpperBottom, "VCO 3", 0},
    {481, kUpperTop, 684, kUpperBottom, "VCF", 0},
    {685, kUpperTop, 786, kUpperBottom, "ADSR", 0},
    {787, kUpperTop, 889, kUpperBottom, "VCA", 0},
    {890, kUpperTop, 1008, kUpperBottom, "MIXER", 0},
    {2, kLowerTop, 83, kLowerBottom, "KBD CV", 0},
    {84, kLowerTop, 281, kLowerBottom, "PATCH NOTES", 0},
    {282, kLowerTop, 377, kLowerBottom, "NOISE", 0},
    {378, kLowerTop, 586, kLowerBottom, "VOLTAGE PROCESSOR", 462},
    {587, kLowerTop, 687, kLowerBottom, "SAMPLE & HOLD", 0},
    {688, kLowerTop, 737, kLowerBottom, "SWITCH", 0},
    {738, kLowerTop, 1008, kLowerBottom, "OUTPUT", 840},
    {2, kKeysTop, 256, kKeysBottom, "KEYBOARD", 160},
    {257, kKeysTop, 1008, kKeysBottom, nullptr, 0},
};

// Smaller headings inside a section, with a rule either side.
struct SubHeading {
    double x, y;
    const char* text;
    double halfWidth; // how far the rules reach either side of x
};

constexpr SubHeading kSubHeadings[] = {
    {36, 186, "ENV FOLL.", 32}, {108, 186, "RING MOD", 36}, {544, 186, "AUDIO IN", 60},
    {646, 186, "CV IN", 36},    {736, 186, "AR", 13},       {915, 157, "INSERT", 24},
    {966, 232, "REVERB", 38},   {43, 373, "MULTIPLE", 38},  {58, 489, "LFO", 50},
};

enum class Place { Above, Below, Left, Right, Inside, InsideStart, Column, Shared };

// A short label for a control, keyed by its parameter. `Column` labels sit between a level
// slider and the input jack under it and name both; `Shared` marks a control named by
// another label (its jack's column label, or the row label of its slider).
struct ControlLabel {
    int parameter;
    const char* text;
    Place place;
    double gap = 0;
    double maxWidth = 0; // squeeze narrower than this; 0: no limit
};

constexpr double kColumnY = 289; // label row between the level sliders and their jacks

// clang-format off
constexpr ControlLabel kLabels[] = {
    // Preamp, envelope follower and ring modulator.
    {70, "GAIN", Place::Below, 9},
    {142, "1", Place::Below, 7}, {143, "2", Place::Below, 7},
    {2, "", Place::Shared}, {90, "IN", Place::Column},
    {144, "OUT", Place::Above, 6},
    {3, "", Place::Shared}, {91, "IN 1", Place::Column},
    {4, "", Place::Shared}, {92, "IN 2", Place::Column},
    {145, "OUT", Place::Above, 6},
    {61, "AC", Place::Above, 5},
    // VCO 1.
    {5, "FREQUENCY", Place::Inside}, {6, "FINE", Place::Inside},
    {173, "SINE", Place::Below, 6}, {147, "SAW", Place::Left, 3}, {146, "SQUARE", Place::Left, 3},
    {58, "KBD", Place::Above, 6},
    {94, "KBD", Place::Column},
    {7, "", Place::Shared}, {93, "S/H", Place::Column},
    {8, "", Place::Shared}, {95, "ADSR", Place::Column},
    {9, "", Place::Shared}, {96, "VCO2", Place::Column},
    // VCO 2.
    {10, "FREQUENCY", Place::Inside}, {11, "FINE", Place::Inside}, {12, "PULSE WIDTH", Place::Inside},
    {149, "TRI", Place::Right, 3}, {148, "SINE", Place::Right, 3},
    {151, "SAW", Place::Left, 3}, {150, "PULSE", Place::Left, 3},
    {59, "KBD", Place::Above, 6},
    {97, "KBD", Place::Column},
    {13, "", Place::Shared}, {98, "S/H", Place::Column},
    {14, "", Place::Shared}, {99, "ADSR", Place::Column},
    {15, "", Place::Shared}, {100, "VCO1", Place::Column},
    {16, "", Place::Shared}, {101, "PWM", Place::Column},
    // VCO 3.
    {17, "FREQUENCY", Place::Inside}, {18, "FINE", Place::Inside}, {19, "PULSE WIDTH", Place::Inside},
    {174, "SINE", Place::Below, 6}, {153, "SAW", Place::Left, 3}, {152, "PULSE", Place::Left, 3},
    {60, "KBD", Place::Above, 6},
    {102, "KBD", Place::Column},
    {20, "", Place::Shared}, {103, "NOISE", Place::Column},
    {21, "", Place::Shared}, {104, "ADSR", Place::Column},
    {22, "", Place::Shared}, {105, "VCO2", Place::Column},
    // VCF.
    {23, "CUTOFF", Place::Inside}, {24, "FINE", Place::Inside}, {25, "RESONANCE", Place::Inside},
    {154, "OUT", Place::Left, 3},
    {26, "", Place::Shared}, {106, "RING", Place::Column},
    {27, "", Place::Shared}, {107, "VCO1", Place::Column},
    {28, "", Place::Shared}, {108, "VCO2", Place::Column},
    {29, "", Place::Shared}, {109, "VCO3", Place::Column},
    {30, "", Place::Shared}, {110, "NOISE", Place::Column},
    {72, "", Place::Shared}, {111, "KBD", Place::Column},
    {31, "", Place::Shared}, {112, "ADSR", Place::Column},
    {32, "", Place::Shared}, {114, "VCO2", Place::Column},
    // ADSR and AR.
    {33, "A", Place::Below, 7}, {34, "D", Place::Below, 7}, {35, "S", Place::Below, 7},
    {36, "R", Place::Below, 7}, {156, "OUT", Place::Left, 3},
    {37, "ATT", Place::Above, 9}, {39, "REL", Place::Above, 9},
    {155, "OUT", Place::Below, 6},
    {38, "S/H", Place::Above, 6},
    {115, "S/H", Place::Column}, {113, "GATE", Place::Column}, {116, "TRIG", Place::Column},
    // VCA.
    {40, "INITIAL GAIN", Place::Inside}, {157, "OUT", Place::Left, 3},
    {41, "", Place::Shared}, {117, "VCF", Place::Column},
    {42, "", Place::Shared}, {118, "RING", Place::Column},
    {43, "", Place::Shared}, {120, "AR", Place::Column},
    {44, "", Place::Shared}, {119, "ADSR", Place::Column},
    // Mixer and reverb.
    {45, "PAN", Place::Inside},
    {160, "L", Place::Below, 6}, {161, "MIX", Place::Below, 6, 17}, {164, "R", Place::Right, 3},
    {158, "VCF", Place::Above, 6}, {159, "VCA", Place::Above, 6},
    {46, "", Place::Shared}, {121, "VCF", Place::Column},
    {47, "", Place::Shared}, {122, "VCA", Place::Column},
    {48, "L", Place::Below, 7}, {49, "R", Place::Below, 7},
    {165, "WET", Place::Left, 3}, {123, "IN", Place::Column},
    // Keyboard CV and the multiple.
    {166, "OUT", Place::Right, 5},
    {175, "1", Place::Right, 5}, {176, "2", Place::Right, 5}, {177, "3", Place::Right, 5},
    {178, "4", Place::Right, 5},
    // Noise.
    {50, "COLOR", Place::Below, 7, 22}, {51, "LEVEL", Place::Below, 7, 22},
    {124, "OUT", Place::Above, 6},
    // Voltage processor: the left jacks are the inputs of their rows' sliders.
    {52, "-10 V", Place::Inside}, {53, "KBD CV", Place::Inside}, {54, "+10 V", Place::Inside},
    {55, "LAG", Place::Inside},
    {125, "", Place::Shared}, {126, "", Place::Shared}, {127, "", Place::Shared},
    {128, "", Place::Shared},
    {129, "CH 1", Place::Above, 6}, {130, "", Place::Shared}, {131, "CH 2", Place::Above, 4},
    {134, "INV 1", Place::Below, 6}, {133, "INV 2", Place::Above, 6},
    {132, "LAG", Place::Below, 6},
    // Sample and hold.
    {138, "IN", Place::Right, 2, 17}, {137, "CLK", Place::Right, 2, 17},
    {136, "OUT", Place::Right, 2, 17}, {135, "EXT", Place::Right, 2, 17},
    {56, "LEVEL", Place::Above, 6, 22}, {57, "RATE", Place::Above, 6, 22},
    // Electronic switch.
    {139, "A", Place::Right, 5}, {141, "B", Place::Right, 5}, {140, "C", Place::Right, 5},
    // Output.
    {1, "POWER", Place::Above, 12}, {75, "MASTER VOLUME", Place::InsideStart},
    // Keyboard controller.
    {169, "TRI", Place::Left, 3}, {172, "EXT", Place::Left, 3},
    {170, "SQR", Place::Right, 3}, {171, "DLY", Place::Right, 3},
    {65, "LFO RATE", Place::Inside}, {66, "VIB DELAY", Place::Inside},
    {67, "VIB DEPTH", Place::Inside}, {68, "PORTA TIME", Place::Inside},
    {62, "TRIG", Place::Above, 6}, {63, "REPEAT", Place::Above, 6, 25},
    {167, "UP 1", Place::Left, 2}, {168, "UP 2", Place::Left, 2},
    {76, "LATCH", Place::Below, 6, 27}, {71, "BEND", Place::Below, 7},
    {64, "OCTAVE", Place::Below, 8, 32}, {69, "PORTA", Place::Above, 6},
    // Off the panel: the two main outputs have no socket to label.
    {162, "", Place::Shared}, {163, "", Place::Shared},
    // The top strip.
    {81, "VOICES", Place::Left, 4},
};
// clang-format on

// Free texts: states of switches, positions of the octave selector, the unbound buttons.
struct FreeText {
    double x, y;
    const char* text;
    Align align;
};

constexpr FreeText kFreeTexts[] = {
    {109.5, 319, "DC", Align::Centre}, {125.5, 106, "OUT", Align::Centre},
    {148, 565, "-2", Align::Centre},   {159.5, 559, "0", Align::Centre},
    {172, 565, "+2", Align::Centre},   {196, 560, "GATE", Align::Centre},
    {723, 205, "GATE", Align::Centre}, {685, 12.5, "RESET", Align::Right},
    {738, 12.5, "MIDI", Align::Right}, {798, 12.5, "LEVEL", Align::Right},
    {918, 12.5, "CPU", Align::Right},
};

double centreX(const PanelRect& r) {
    return r.x + r.w / 2.0;
}
double centreY(const PanelRect& r) {
    return r.y + r.h / 2.0;
}

void label(cairo_t* cr, const std::string& s, double x, double y, Align align, double maxWidth,
           Colour c = palette::kPrint) {
    const double w = textWidth(cr, s, kMinTextSize);
    if (maxWidth > 0 && w > maxWidth) {
        // Condensed, never smaller: the height stays at the minimum size.
        const double k = maxWidth / w;
        cairo_save(cr);
        const double anchor = x;
        cairo_translate(cr, anchor, 0);
        cairo_scale(cr, k, 1);
        text(cr, s, 0, y, kMinTextSize, c, align);
        cairo_restore(cr);
        return;
    }
    text(cr, s, x, y, kMinTextSize, c, align);
}

void drawSections(cairo_t* cr) {
    // The base plate and the top strip.
    cairo_pattern_t* g = cairo_pattern_create_linear(0, 0, 0, moraine::gui::kPanelHeight);
    cairo_pattern_add_color_stop_rgb(g, 0, 0.085, 0.09, 0.10);
    cairo_pattern_add_color_stop_rgb(g, 1, 0.06, 0.065, 0.075);
    cairo_set_source(cr, g);
    cairo_paint(cr);
    cairo_pattern_destroy(g);
    raisedBox(cr, 0, 0, moraine::gui::kPanelWidth, 25, 0, {0.16, 0.17, 0.19}, {0.11, 0.12, 0.13});

    for (const Section& s : kSections) {
        const double w = s.x1 - s.x0, h = s.y1 - s.y0;
        raisedBox(cr, s.x0, s.y0, w, h, 3, {0.170, 0.182, 0.205}, {0.135, 0.145, 0.165});
        if (!s.title) continue;
        const double cx = s.titleX > 0 ? s.titleX : s.x0 + w / 2.0;
        spacedText(cr, s.title, cx, s.y0 + 8.5, 10, 1.2, palette::kTitle);
    }
    for (const SubHeading& h : kSubHeadings) {
        const double tw = spacedText(cr, h.text, h.x, h.y, 9, 0.8, palette::kTitle);
        setColour(cr, palette::kTitle, 0.5);
        const double gap = tw / 2 + 3;
        if (h.halfWidth > gap + 2) {
            cairo_rectangle(cr, h.x - h.halfWidth, h.y - 0.5, h.halfWidth - gap, 1);
            cairo_rectangle(cr, h.x + gap, h.y - 0.5, h.halfWidth - gap, 1);
            cairo_fill(cr);
        }
    }
    // The preamp sits above the envelope follower and ring modulator.
    setColour(cr, palette::kSectionEdge);
    cairo_rectangle(cr, 6, 150, 136, 1);
    cairo_fill(cr);
}

// Scale marks along a track: 11 marks, the ends and the middle longer, at the exact rows
// (or columns) the handle's centre line reaches for each tenth.
void verticalScale(cairo_t* cr, const PanelRect& active, int frameX) {
    cairo_set_line_width(cr, 1);
    setColour(cr, palette::kMark);
    for (int i = 0; i <= 10; ++i) {
        const double y = active.y + std::floor((1.0 - i / 10.0) * active.h) + 0.5;
        const double len = i % 5 == 0 ? 5 : 3;
        cairo_move_to(cr, frameX + 7 - len, y);
        cairo_line_to(cr, frameX + 7, y);
        cairo_move_to(cr, frameX + 17, y);
        cairo_line_to(cr, frameX + 17 + len, y);
    }
    cairo_stroke(cr);
}

void horizontalScale(cairo_t* cr, const PanelRect& active, double y0, double y1) {
    cairo_set_line_width(cr, 1);
    setColour(cr, palette::kMark);
    for (int i = 0; i <= 10; ++i) {
        const double x = active.x + std::floor(i / 10.0 * active.w) + 0.5;
        const double len = i % 5 == 0 ? y1 - y0 : (y1 - y0) * 0.55;
        cairo_move_to(cr, x, y0);
        cairo_line_to(cr, x, y0 + len);
    }
    cairo_stroke(cr);
}

void drawSlider(cairo_t* cr, const PanelControl& c) {
    const PanelRect a = c.active();
    if (c.orientation == Orientation::Vertical) {
        const double x = c.frame.x + 12;
        slot(cr, x, a.y - 3, x, a.bottom() + 3, 4);
        verticalScale(cr, a, c.frame.x);
        return;
    }
    const bool small = c.frame.h < 20;
    const double y = c.frame.y + (small ? 12 : 12.5);
    slot(cr, a.x - 3, y, a.right() + 3, y, small ? 3 : 4);
    if (small)
        horizontalScale(cr, a, c.frame.y + 14.5, c.frame.y + 16.5);
    else
        horizontalScale(cr, a, c.frame.y + 16.5, c.frame.y + 21.5);
}

void drawSwitchSlot(cairo_t* cr, const PanelControl& c) {
    const PanelRect& f = c.frame;
    sunkenBox(cr, f.x - 1, f.y - 1, f.w + 2, f.h + 2, 3, {0.05, 0.055, 0.06});
}

// Marks around a dial's sweep: 270 degrees from lower left over the top to lower right.
void drawDialScale(cairo_t* cr, const PanelControl& c) {
    // The dial image is scaled into the frame, so its centre lands on the frame's centre.
    const double cx = c.frame.x + c.frame.w / 2.0, cy = c.frame.y + c.frame.h / 2.0;
    cairo_set_line_width(cr, 1.2);
    setColour(cr, palette::kMark);
    for (int i = 0; i <= 10; ++i) {
        const double a = (-135.0 + 27.0 * i) * M_PI / 180.0; // from straight up, clockwise
        const double r0 = 21.5, r1 = i % 5 == 0 ? 26 : 24;
        cairo_move_to(cr, cx + std::sin(a) * r0, cy - std::cos(a) * r0);
        cairo_line_to(cr, cx + std::sin(a) * r1, cy - std::cos(a) * r1);
    }
    cairo_stroke(cr);
}

void drawOctaveMarks(cairo_t* cr, const PanelControl& c) {
    const double cx = c.frame.x + 14.5, cy = c.frame.y + 22;
    cairo_set_line_width(cr, 1.2);
    setColour(cr, palette::kMark);
    for (int i = -1; i <= 1; ++i) {
        const double a = i * M_PI / 4;
        cairo_move_to(cr, cx + std::sin(a) * 11, cy - std::cos(a) * 11);
        cairo_line_to(cr, cx + std::sin(a) * 13, cy - std::cos(a) * 13);
    }
    cairo_stroke(cr);
}

// Sockets: inputs bare on the panel, outputs on an amber plate, jacks that take either
// direction on a teal one.
void drawJack(cairo_t* cr, const PanelControl& c) {
    const PanelRect& f = c.frame;
    if (f.right() > moraine::gui::kPanelWidth) return; // the main outputs: off the panel
    if (c.jackRole == JackRole::Out || c.jackRole == JackRole::Both) {
        const Colour plate = c.jackRole == JackRole::Out ? palette::kOutput : palette::kEither;
        raisedBox(cr, f.x - 1.5, f.y - 1.5, f.w + 3, f.h + 3, 2.5, plate,
                  {plate.r * 0.7, plate.g * 0.7, plate.b * 0.7});
    } else {
        cairo_arc(cr, centreX(f), centreY(f), f.w / 2.0 + 1.2, 0, 2 * M_PI);
        setColour(cr, palette::kPrint, 0.55);
        cairo_set_line_width(cr, 1);
        cairo_stroke(cr);
    }
    socket(cr, f.x, f.y, f.w);
}

void drawMenuWell(cairo_t* cr, const PanelControl& c) {
    const PanelRect& f = c.frame;
    sunkenBox(cr, f.x - 2, f.y - 2, f.w + 4, f.h + 4, 3, {0.04, 0.05, 0.045});
    const double ax = f.right() - c.inset.right / 2.0, ay = centreY(f);
    cairo_move_to(cr, ax - 3.5, ay - 2);
    cairo_line_to(cr, ax + 3.5, ay - 2);
    cairo_line_to(cr, ax, ay + 2.5);
    cairo_close_path(cr);
    setColour(cr, palette::kLit, 0.8);
    cairo_fill(cr);
}

// The keys, at the places the keyboard control finds notes and lights them: note n starts
// at truncate((n - lowest) x width / span) from the left; black keys are 15 pixels wide and
// 66 long; the lower part of the white keys is as wide as their lit area; the bottom 10
// pixels are the hold strip.
void drawKeys(cairo_t* cr, const PanelControl& c) {
    const PanelRect& f = c.frame;
    const int lowest = c.keyLowest, highest = c.keyHighest;
    const double keyWidth = double(f.w) / (highest - lowest);
    auto noteX = [&](int n) { return std::floor((n - lowest) * keyWidth + f.x); };
    const double upper = f.y + 66, bottom = f.y + f.h - 10;
    // The lower part's left and right edge of each white key, relative to its note's x.
    auto lowerEdges = [](int cls, double& l, double& r) {
        switch (cls) {
        case 0:
            l = 0, r = 20;
            break;
        case 2:
            l = -4, r = 18;
            break;
        case 4:
            l = -6, r = 15;
            break;
        case 5:
            l = 0, r = 22;
            break;
        case 7:
            l = -3, r = 19;
            break;
        case 9:
            l = -6, r = 16;
            break;
        default:
            l = -8, r = 13;
            break;
        }
    };
    auto isBlack = [](int cls) {
        return cls == 1 || cls == 3 || cls == 6 || cls == 8 || cls == 10;
    };

    sunkenBox(cr, f.x - 2, f.y - 2, f.w + 4, f.h + 4, 2, {0.02, 0.02, 0.025});
    // White keys: the boundaries halfway between neighbouring lower parts.
    std::vector<double> edges;
    std::vector<int> whites;
    for (int n = lowest; n <= highest; ++n)
        if (!isBlack(n % 12)) whites.push_back(n);
    for (std::size_t i = 0; i < whites.size(); ++i) {
        double l, r;
        lowerEdges(whites[i] % 12, l, r);
        edges.push_back(noteX(whites[i]) + l);
        edges.push_back(noteX(whites[i]) + r);
    }
    for (std::size_t i = 0; i < whites.size(); ++i) {
        double x0 = i == 0 ? f.x : (edges[2 * i] + edges[2 * i - 1]) / 2;
        double x1 = i + 1 == whites.size() ? f.right() : (edges[2 * i + 1] + edges[2 * i + 2]) / 2;
        x0 = std::round(x0);
        x1 = std::round(x1);
        cairo_pattern_t* g = cairo_pattern_create_linear(0, f.y, 0, bottom);
        cairo_pattern_add_color_stop_rgb(g, 0, 0.80, 0.80, 0.78);
        cairo_pattern_add_color_stop_rgb(g, 0.85, 0.93, 0.93, 0.91);
        cairo_pattern_add_color_stop_rgb(g, 1, 0.84, 0.84, 0.82);
        roundedRect(cr, x0 + 0.5, f.y, x1 - x0 - 1, bottom - f.y, 2);
        cairo_set_source(cr, g);
        cairo_fill(cr);
        cairo_pattern_destroy(g);
    }
    // Black keys.
    for (int n = lowest; n <= highest; ++n) {
        if (!isBlack(n % 12)) continue;
        const double x = noteX(n);
        cairo_set_source_rgba(cr, 0, 0, 0, 0.45);
        cairo_rectangle(cr, x + 1, f.y, 15, upper - f.y + 2);
        cairo_fill(cr);
        cairo_pattern_t* g = cairo_pattern_create_linear(x, 0, x + 15, 0);
        cairo_pattern_add_color_stop_rgb(g, 0, 0.20, 0.21, 0.23);
        cairo_pattern_add_color_stop_rgb(g, 0.5, 0.10, 0.105, 0.115);
        cairo_pattern_add_color_stop_rgb(g, 1, 0.05, 0.05, 0.055);
        roundedRect(cr, x, f.y - 2, 15, upper - f.y + 2, 2);
        cairo_set_source(cr, g);
        cairo_fill(cr);
        cairo_pattern_destroy(g);
        cairo_rectangle(cr, x + 2.5, upper - 7, 10, 5);
        cairo_set_source_rgba(cr, 1, 1, 1, 0.10);
        cairo_fill(cr);
    }
    // The hold strip.
    cairo_rectangle(cr, f.x, bottom, f.w, 10);
    cairo_set_source_rgb(cr, 0.07, 0.075, 0.085);
    cairo_fill(cr);
    for (int i = 0; i < 5; ++i)
        text(cr, "HOLD", f.x + f.w * (i + 0.5) / 5, bottom + 5, kMinTextSize, palette::kMark);
    // Octave names over the C keys.
    for (int n = lowest; n <= highest; n += 12) {
        char name[16];
        std::snprintf(name, sizeof name, "C%d", n / 12 - 1);
        text(cr, name, noteX(n) + 10, f.y - 6, kMinTextSize, palette::kDimPrint);
    }
}

void drawControlArt(cairo_t* cr) {
    for (const PanelControl& c : moraine::gui::panelControls()) {
        switch (c.widget) {
        case PanelWidget::Slider:
            drawSlider(cr, c);
            break;
        case PanelWidget::Jack:
            drawJack(cr, c);
            break;
        case PanelWidget::PatchMenu:
        case PanelWidget::VoicesMenu:
            drawMenuWell(cr, c);
            break;
        case PanelWidget::Meter:
            if (c.meterStyle != 3)
                sunkenBox(cr, c.frame.x - 1, c.frame.y - 1, c.frame.w + 2, c.frame.h + 2, 1,
                          {0, 0, 0});
            break;
        case PanelWidget::Keyboard:
            drawKeys(cr, c);
            break;
        case PanelWidget::Knob:
            if (c.knobMode == 1)
                drawDialScale(cr, c);
            else if (c.frames == 3 && c.frame.w > 20)
                drawOctaveMarks(cr, c);
            else
                drawSwitchSlot(cr, c);
            break;
        case PanelWidget::Button:
            if (c.action == PanelAction::Parameter && c.frames == 1) drawSwitchSlot(cr, c);
            break;
        default:
            break;
        }
    }
}

// The multiple's four sockets are joined behind the panel; a printed bus line says so.
void drawMultipleBus(cairo_t* cr) {
    const PanelControl* first = moraine::gui::findPanelControl(175);
    const PanelControl* last = moraine::gui::findPanelControl(178);
    if (!first || !last) return;
    setColour(cr, palette::kMark);
    cairo_rectangle(cr, centreX(first->frame) - 1, centreY(first->frame), 2,
                    centreY(last->frame) - centreY(first->frame));
    cairo_fill(cr);
}

// The inverters of the voltage processor, drawn as amplifier symbols between their inputs
// and outputs.
void drawInverters(cairo_t* cr) {
    struct Path {
        int from[2];
        int to;
    };
    const Path paths[] = {{{129, 130}, 134}, {{131, -1}, 133}};
    cairo_set_line_width(cr, 1);
    for (const Path& p : paths) {
        const PanelControl* out = moraine::gui::findPanelControl(p.to);
        if (!out) continue;
        const double tx = out->frame.x - 13, ty = centreY(out->frame);
        setColour(cr, palette::kMark);
        for (int from : p.from) {
            const PanelControl* in = from >= 0 ? moraine::gui::findPanelControl(from) : nullptr;
            if (!in) continue;
            cairo_move_to(cr, in->frame.right(), centreY(in->frame) + 0.5);
            cairo_line_to(cr, tx, ty + 0.5);
        }
        cairo_stroke(cr);
        cairo_move_to(cr, tx, ty - 4.5);
        cairo_line_to(cr, tx + 8, ty);
        cairo_line_to(cr, tx, ty + 4.5);
        cairo_close_path(cr);
        cairo_fill(cr);
        cairo_arc(cr, tx + 9.5, ty, 1.5, 0, 2 * M_PI);
        cairo_stroke(cr);
    }
}

// A low-pass response printed in the filter's empty corner.
void drawFilterIcon(cairo_t* cr) {
    const double x0 = 488, x1 = 528, base = 112, flat = 78;
    cairo_move_to(cr, x0, flat);
    cairo_line_to(cr, x0 + 18, flat);
    cairo_curve_to(cr, x0 + 24, flat, x0 + 24, flat - 8, x0 + 26, flat - 8);
    cairo_curve_to(cr, x0 + 28, flat - 8, x0 + 29, flat, x0 + 31, base - 14);
    cairo_line_to(cr, x1, base);
    cairo_set_line_width(cr, 1.4);
    setColour(cr, palette::kTitle, 0.6);
    cairo_stroke(cr);
    cairo_rectangle(cr, x0, base + 0.5, x1 - x0, 1);
    cairo_rectangle(cr, x0, flat - 14, 1, base - flat + 15);
    setColour(cr, palette::kMark, 0.6);
    cairo_fill(cr);
}

void drawLegend(cairo_t* cr) {
    const struct {
        const char* text;
        JackRole role;
    } rows[] = {{"IN", JackRole::In}, {"OUT", JackRole::Out}, {"IN / OUT", JackRole::Both}};
    double y = 438;
    for (const auto& r : rows) {
        const double x = 916;
        if (r.role == JackRole::In) {
            cairo_arc(cr, x, y, 4.5, 0, 2 * M_PI);
            setColour(cr, palette::kPrint, 0.55);
            cairo_set_line_width(cr, 1);
            cairo_stroke(cr);
        } else {
            const Colour plate = r.role == JackRole::Out ? palette::kOutput : palette::kEither;
            raisedBox(cr, x - 5, y - 5, 10, 10, 2, plate,
                      {plate.r * 0.7, plate.g * 0.7, plate.b * 0.7});
        }
        cairo_arc(cr, x, y, 2, 0, 2 * M_PI);
        cairo_set_source_rgb(cr, 0.02, 0.02, 0.025);
        cairo_fill(cr);
        text(cr, r.text, x + 9, y, kMinTextSize, palette::kDimPrint, Align::Left);
        y += 13;
    }
}

void drawLabels(cairo_t* cr) {
    for (const ControlLabel& l : kLabels) {
        const PanelControl* c = moraine::gui::findPanelControl(l.parameter);
        if (!c) {
            std::fprintf(stderr, "label for parameter %d, which has no control\n", l.parameter);
            std::exit(1);
        }
        const PanelRect& f = c->frame;
        const std::string s = l.text;
        switch (l.place) {
        case Place::Above:
            label(cr, s, centreX(f), f.y - l.gap, Align::Centre, l.maxWidth);
            break;
        case Place::Below:
            label(cr, s, centreX(f), f.bottom() + l.gap, Align::Centre, l.maxWidth);
            break;
        case Place::Left:
            label(cr, s, f.x - l.gap, centreY(f), Align::Right, l.maxWidth);
            break;
        case Place::Right:
            label(cr, s, f.right() + l.gap, centreY(f), Align::Left, l.maxWidth);
            break;
        case Place::Column:
            label(cr, s, centreX(f), kColumnY, Align::Centre, 21);
            break;
        case Place::Inside:
        case Place::InsideStart: {
            // Printed along the track, at its top end where most levels rest at the bottom;
            // at the start for the few that rest at the top.
            const PanelRect a = c->active();
            const double y = f.y + (f.h < 20 ? 4.5 : 5);
            if (l.place == Place::Inside)
                label(cr, s, a.right() + 2, y, Align::Right, a.w + 4, palette::kDimPrint);
            else
                label(cr, s, a.x - 2, y, Align::Left, a.w + 4, palette::kDimPrint);
            break;
        }
        case Place::Shared:
            break;
        }
    }
    for (const FreeText& t : kFreeTexts) label(cr, t.text, t.x, t.y, t.align, 0, palette::kPrint);
}

// Every control bound to a parameter, and every jack on the panel, must have a label row.
void checkLabels() {
    bool missing = false;
    for (const PanelControl& c : moraine::gui::panelControls()) {
        if (!c.bound()) continue;
        bool found = false;
        for (const ControlLabel& l : kLabels) found = found || l.parameter == c.parameter;
        if (!found) {
            std::fprintf(stderr, "no label for parameter %d (%s)\n", c.parameter, c.id);
            missing = true;
        }
    }
    if (missing) std::exit(1);
}

} // namespace

void drawBoard(cairo_t* cr) {
    checkLabels();
    drawSections(cr);
    drawMultipleBus(cr);
    drawInverters(cr);
    drawControlArt(cr);
    drawFilterIcon(cr);
    drawLegend(cr);
    drawLabels(cr);
}

} // namespace panelart
