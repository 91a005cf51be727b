// The small images of the panel's controls.
#include "tools/panel-art/Draw.h"
#include "tools/panel-art/Pieces.h"

#include <cairo.h>
#include <cmath>

namespace panelart {

namespace {

void verticalGradient(cairo_t* cr, double y0, double y1, Colour a, Colour b) {
    cairo_pattern_t* g = cairo_pattern_create_linear(0, y0, 0, y1);
    cairo_pattern_add_color_stop_rgb(g, 0, a.r, a.g, a.b);
    cairo_pattern_add_color_stop_rgb(g, 1, b.r, b.g, b.b);
    cairo_set_source(cr, g);
    cairo_pattern_destroy(g);
}

void led(cairo_t* cr, double cx, double cy, double r, Colour colour, bool lit) {
    if (lit) {
        cairo_pattern_t* halo = cairo_pattern_create_radial(cx, cy, r * 0.5, cx, cy, r * 1.9);
        cairo_pattern_add_color_stop_rgba(halo, 0, colour.r, colour.g, colour.b, 0.55);
        cairo_pattern_add_color_stop_rgba(halo, 1, colour.r, colour.g, colour.b, 0);
        cairo_arc(cr, cx, cy, r * 1.9, 0, 2 * M_PI);
        cairo_set_source(cr, halo);
        cairo_fill(cr);
        cairo_pattern_destroy(halo);
    }
    cairo_arc(cr, cx, cy, r + 1, 0, 2 * M_PI);
    cairo_set_source_rgb(cr, 0.05, 0.05, 0.06);
    cairo_fill(cr);
    const double k = lit ? 1.0 : 0.28;
    cairo_pattern_t* g = cairo_pattern_create_radial(cx - r * 0.3, cy - r * 0.3, 0, cx, cy, r);
    cairo_pattern_add_color_stop_rgb(g, 0, std::fmin(1, colour.r * k + (lit ? 0.5 : 0.1)),
                                     std::fmin(1, colour.g * k + (lit ? 0.5 : 0.1)),
                                     std::fmin(1, colour.b * k + (lit ? 0.5 : 0.1)));
    cairo_pattern_add_color_stop_rgb(g, 1, colour.r * k * 0.8, colour.g * k * 0.8,
                                     colour.b * k * 0.8);
    cairo_arc(cr, cx, cy, r, 0, 2 * M_PI);
    cairo_set_source(cr, g);
    cairo_fill(cr);
    cairo_pattern_destroy(g);
}

} // namespace

// Fader caps: the value sits on the cap's centre line (row 10 of the vertical cap, column
// 10 of the horizontal one), which the white index line marks.
void drawVerticalFaderCap(cairo_t* cr, int width, int height) {
    const double w = width - 1, h = height - 1; // drawn one pixel short of the image edge
    cairo_set_source_rgba(cr, 0, 0, 0, 0.45);
    roundedRect(cr, 1.5, 1.5, w - 1, h - 1, 2.5);
    cairo_fill(cr);
    raisedBox(cr, 0.5, 0.5, w - 1, h - 1.5, 2.5, {0.42, 0.44, 0.48}, {0.15, 0.16, 0.18});
    cairo_set_line_width(cr, 1);
    for (int i = -3; i <= 3; ++i) {
        if (i == 0) continue;
        const double y = 10.5 + i * 2.5;
        cairo_set_source_rgba(cr, 0, 0, 0, 0.5);
        cairo_move_to(cr, 3, y);
        cairo_line_to(cr, w - 3, y);
        cairo_stroke(cr);
    }
    cairo_set_source_rgb(cr, 0.97, 0.97, 0.97);
    cairo_rectangle(cr, 1.5, 10, w - 3, 1);
    cairo_fill(cr);
}

void drawHorizontalFaderCap(cairo_t* cr, int width, int height) {
    const double cx = std::floor(width / 2.0) + 0.5; // the value column
    cairo_set_source_rgba(cr, 0, 0, 0, 0.45);
    roundedRect(cr, 1.5, 1.5, width - 1.5, height - 1.5, 2.5);
    cairo_fill(cr);
    raisedBox(cr, 0.5, 0.5, width - 1.5, height - 1.5, 2.5, {0.42, 0.44, 0.48}, {0.15, 0.16, 0.18});
    cairo_set_line_width(cr, 1);
    for (int i = -3; i <= 3; ++i) {
        if (i == 0) continue;
        const double x = cx + i * 2.5;
        if (x < 2.5 || x > width - 2.5) continue;
        cairo_set_source_rgba(cr, 0, 0, 0, 0.5);
        cairo_move_to(cr, x, 3);
        cairo_line_to(cr, x, height - 3);
        cairo_stroke(cr);
    }
    cairo_set_source_rgb(cr, 0.97, 0.97, 0.97);
    cairo_rectangle(cr, cx - 0.5, 1.5, 1, height - 3);
    cairo_fill(cr);
}

// Toggle levers: the handle travels the whole 24-pixel slot, so the image is the lever's
// bat seen from the front.
void drawVerticalLever(cairo_t* cr) {
    roundedRect(cr, 0.5, 0.5, 8, 13, 3.5);
    verticalGradient(cr, 0, 14, {0.92, 0.93, 0.95}, {0.45, 0.47, 0.50});
    cairo_fill_preserve(cr);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.8);
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.35);
    for (int i = 0; i < 3; ++i) cairo_rectangle(cr, 2, 4 + i * 2.5, 5, 1);
    cairo_fill(cr);
}

void drawHorizontalLever(cairo_t* cr) {
    roundedRect(cr, 0.5, 0.5, 13, 8, 3.5);
    cairo_pattern_t* g = cairo_pattern_create_linear(0, 0, 14, 0);
    cairo_pattern_add_color_stop_rgb(g, 0, 0.92, 0.93, 0.95);
    cairo_pattern_add_color_stop_rgb(g, 1, 0.45, 0.47, 0.50);
    cairo_set_source(cr, g);
    cairo_fill_preserve(cr);
    cairo_pattern_destroy(g);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.8);
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.35);
    for (int i = 0; i < 3; ++i) cairo_rectangle(cr, 4 + i * 2.5, 2, 1, 5);
    cairo_fill(cr);
}

// A knurled knob centred in its image; the panel scales it into the knob's frame and draws
// the pointer line over it around the frame's centre.
void drawDial(cairo_t* cr) {
    const double cx = 22, cy = 22;
    cairo_pattern_t* shadow =
        cairo_pattern_create_radial(cx + 0.5, cy + 1, 17, cx + 0.5, cy + 1, 21.5);
    cairo_pattern_add_color_stop_rgba(shadow, 0, 0, 0, 0, 0.6);
    cairo_pattern_add_color_stop_rgba(shadow, 1, 0, 0, 0, 0);
    cairo_arc(cr, cx + 0.5, cy + 1, 21.5, 0, 2 * M_PI);
    cairo_set_source(cr, shadow);
    cairo_fill(cr);
    cairo_pattern_destroy(shadow);
    // Knurled skirt, on which the panel's light pointer mark runs.
    cairo_arc(cr, cx, cy, 19.5, 0, 2 * M_PI);
    cairo_set_source_rgb(cr, 0.08, 0.08, 0.09);
    cairo_fill(cr);
    cairo_set_line_width(cr, 1.0);
    for (int i = 0; i < 60; ++i) {
        const double a = i * 2 * M_PI / 60;
        cairo_move_to(cr, cx + std::cos(a) * 16.5, cy + std::sin(a) * 16.5);
        cairo_line_to(cr, cx + std::cos(a) * 19.2, cy + std::sin(a) * 19.2);
    }
    cairo_set_source_rgba(cr, 0.40, 0.41, 0.45, 0.7);
    cairo_stroke(cr);
    // Cap.
    cairo_pattern_t* g = cairo_pattern_create_linear(cx - 15, cy - 15, cx + 15, cy + 15);
    cairo_pattern_add_color_stop_rgb(g, 0, 0.42, 0.44, 0.48);
    cairo_pattern_add_color_stop_rgb(g, 1, 0.10, 0.11, 0.12);
    cairo_arc(cr, cx, cy, 15.5, 0, 2 * M_PI);
    cairo_set_source(cr, g);
    cairo_fill(cr);
    cairo_pattern_destroy(g);
    cairo_pattern_t* face = cairo_pattern_create_radial(cx - 4, cy - 5, 1, cx, cy, 13.5);
    cairo_pattern_add_color_stop_rgb(face, 0, 0.32, 0.34, 0.37);
    cairo_pattern_add_color_stop_rgb(face, 1, 0.16, 0.17, 0.19);
    cairo_arc(cr, cx, cy, 13.5, 0, 2 * M_PI);
    cairo_set_source(cr, face);
    cairo_fill(cr);
    cairo_pattern_destroy(face);
}

// The plug at the end of a cord, seen from above (drawn scaled into a 14-pixel socket).
void drawCableEnd(cairo_t* cr) {
    const double c = 10;
    cairo_arc(cr, c + 0.8, c + 1.2, 9.2, 0, 2 * M_PI);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.5);
    cairo_fill(cr);
    cairo_pattern_t* g = cairo_pattern_create_radial(c - 3, c - 3, 1, c, c, 9.5);
    cairo_pattern_add_color_stop_rgb(g, 0, 0.62, 0.64, 0.68);
    cairo_pattern_add_color_stop_rgb(g, 1, 0.16, 0.17, 0.19);
    cairo_arc(cr, c, c, 9.2, 0, 2 * M_PI);
    cairo_set_source(cr, g);
    cairo_fill(cr);
    cairo_pattern_destroy(g);
    cairo_set_line_width(cr, 1.0);
    for (int i = 0; i < 16; ++i) {
        const double a = i * 2 * M_PI / 16;
        cairo_move_to(cr, c + std::cos(a) * 6.5, c + std::sin(a) * 6.5);
        cairo_line_to(cr, c + std::cos(a) * 8.8, c + std::sin(a) * 8.8);
    }
    cairo_set_source_rgba(cr, 0, 0, 0, 0.45);
    cairo_stroke(cr);
    cairo_pattern_t* tip = cairo_pattern_create_radial(c - 1.5, c - 1.5, 0.5, c, c, 5);
    cairo_pattern_add_color_stop_rgb(tip, 0, 1.0, 0.90, 0.55);
    cairo_pattern_add_color_stop_rgb(tip, 1, 0.62, 0.45, 0.12);
    cairo_arc(cr, c, c, 5, 0, 2 * M_PI);
    cairo_set_source(cr, tip);
    cairo_fill(cr);
    cairo_pattern_destroy(tip);
}

void drawGoldPlug(cairo_t* cr) {
    cairo_pattern_t* g = cairo_pattern_create_radial(5, 5, 0.5, 7, 7, 7);
    cairo_pattern_add_color_stop_rgb(g, 0, 1.0, 0.90, 0.55);
    cairo_pattern_add_color_stop_rgb(g, 1, 0.55, 0.40, 0.10);
    cairo_arc(cr, 7, 7, 6.5, 0, 2 * M_PI);
    cairo_set_source(cr, g);
    cairo_fill(cr);
    cairo_pattern_destroy(g);
    cairo_arc(cr, 7, 7, 2.5, 0, 2 * M_PI);
    cairo_set_source_rgb(cr, 0.05, 0.05, 0.05);
    cairo_fill(cr);
}

// A pointer knob with three positions: frame 0 points down-left (octave down), frame 1 up,
// frame 2 down-right (octave up). The position marks are printed on the panel.
void drawOctaveSelector(cairo_t* cr, int frame) {
    const double cx = 14.5, cy = 22, r = 9.5;
    const double a = (frame - 1) * M_PI / 4; // from straight up, clockwise
    cairo_arc(cr, cx + 0.8, cy + 1.5, r, 0, 2 * M_PI);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.55);
    cairo_fill(cr);
    cairo_pattern_t* g = cairo_pattern_create_linear(cx - r, cy - r, cx + r, cy + r);
    cairo_pattern_add_color_stop_rgb(g, 0, 0.45, 0.47, 0.51);
    cairo_pattern_add_color_stop_rgb(g, 1, 0.10, 0.11, 0.12);
    cairo_arc(cr, cx, cy, r, 0, 2 * M_PI);
    cairo_set_source(cr, g);
    cairo_fill(cr);
    cairo_pattern_destroy(g);
    // The pointer bar across the knob.
    cairo_save(cr);
    cairo_translate(cr, cx, cy);
    cairo_rotate(cr, a);
    roundedRect(cr, -3, -r - 1.5, 6, r * 2 + 1, 3);
    cairo_set_source_rgb(cr, 0.14, 0.15, 0.16);
    cairo_fill_preserve(cr);
    cairo_set_source_rgba(cr, 1, 1, 1, 0.25);
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
    cairo_rectangle(cr, -0.75, -r - 0.5, 1.5, 6);
    cairo_set_source_rgb(cr, 0.97, 0.97, 0.97);
    cairo_fill(cr);
    cairo_restore(cr);
}

// A three-position lever in its slot: frame 0 down, 1 centre, 2 up.
void drawThreeWaySwitch(cairo_t* cr, int frame) {
    slot(cr, 4.5, 0.5, 4.5, 23.5, 5);
    const double y = 5 + (2 - frame) * 7; // lever centre: 5, 12 or 19
    roundedRect(cr, 0.5, y - 4.5, 8, 9, 3);
    verticalGradient(cr, y - 5, y + 5, {0.92, 0.93, 0.95}, {0.45, 0.47, 0.50});
    cairo_fill_preserve(cr);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.8);
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.4);
    cairo_rectangle(cr, 2, y - 0.5, 5, 1);
    cairo_fill(cr);
}

// A jewelled pilot lamp in a chrome bezel; frame 1 lit.
void drawPowerLight(cairo_t* cr, int frame) {
    const double c = 17;
    cairo_pattern_t* bezel = cairo_pattern_create_linear(0, 0, 34, 34);
    cairo_pattern_add_color_stop_rgb(bezel, 0, 0.90, 0.91, 0.93);
    cairo_pattern_add_color_stop_rgb(bezel, 1, 0.30, 0.32, 0.35);
    cairo_arc(cr, c, c, 15.5, 0, 2 * M_PI);
    cairo_set_source(cr, bezel);
    cairo_fill(cr);
    cairo_pattern_destroy(bezel);
    cairo_arc(cr, c, c, 12, 0, 2 * M_PI);
    cairo_set_source_rgb(cr, 0.05, 0.05, 0.06);
    cairo_fill(cr);
    const bool lit = frame == 1;
    cairo_pattern_t* jewel = cairo_pattern_create_radial(c - 3, c - 4, 1, c, c, 11);
    if (lit) {
        cairo_pattern_add_color_stop_rgb(jewel, 0, 1.0, 0.85, 0.70);
        cairo_pattern_add_color_stop_rgb(jewel, 0.35, 1.0, 0.25, 0.12);
        cairo_pattern_add_color_stop_rgb(jewel, 1, 0.55, 0.04, 0.02);
    } else {
        cairo_pattern_add_color_stop_rgb(jewel, 0, 0.45, 0.20, 0.18);
        cairo_pattern_add_color_stop_rgb(jewel, 1, 0.16, 0.04, 0.03);
    }
    cairo_arc(cr, c, c, 11, 0, 2 * M_PI);
    cairo_set_source(cr, jewel);
    cairo_fill(cr);
    cairo_pattern_destroy(jewel);
    // Facets.
    cairo_set_line_width(cr, 0.8);
    cairo_set_source_rgba(cr, 1, 1, 1, lit ? 0.25 : 0.12);
    for (int i = 0; i < 8; ++i) {
        const double a = i * M_PI / 4;
        cairo_move_to(cr, c + std::cos(a) * 4, c + std::sin(a) * 4);
        cairo_line_to(cr, c + std::cos(a) * 10.5, c + std::sin(a) * 10.5);
    }
    cairo_stroke(cr);
    cairo_arc(cr, c - 4, c - 4.5, 2.2, 0, 2 * M_PI);
    cairo_set_source_rgba(cr, 1, 1, 1, 0.55);
    cairo_fill(cr);
}

void drawLabelButton(cairo_t* cr, int width, int height, const std::string& label, bool pressed,
                     double size) {
    if (pressed) {
        raisedBox(cr, 0, 0, width, height, 3, {0.16, 0.17, 0.19}, {0.26, 0.27, 0.30});
        text(cr, label, width / 2.0, height / 2.0 + 0.5, size, palette::kTitle);
    } else {
        raisedBox(cr, 0, 0, width, height, 3, {0.36, 0.38, 0.42}, {0.18, 0.19, 0.21});
        text(cr, label, width / 2.0, height / 2.0 - 0.5, size, palette::kPrint);
    }
}

void drawMidiLight(cairo_t* cr, int frame) {
    led(cr, 9.5, 9.5, 5.5, {0.25, 1.0, 0.30}, frame == 1);
}

void drawResetButton(cairo_t* cr, int frame) {
    const bool pressed = frame == 0;
    const double c = 11.5;
    cairo_arc(cr, c, c, 11, 0, 2 * M_PI);
    cairo_set_source_rgb(cr, 0.05, 0.05, 0.06);
    cairo_fill(cr);
    cairo_pattern_t* g = cairo_pattern_create_linear(0, 0, 0, 23);
    const double k = pressed ? 0.7 : 1.0;
    cairo_pattern_add_color_stop_rgb(g, pressed ? 1 : 0, 0.42 * k, 0.44 * k, 0.48 * k);
    cairo_pattern_add_color_stop_rgb(g, pressed ? 0 : 1, 0.16, 0.17, 0.19);
    cairo_arc(cr, c, c, 9.5, 0, 2 * M_PI);
    cairo_set_source(cr, g);
    cairo_fill(cr);
    cairo_pattern_destroy(g);
    // A circular arrow.
    cairo_set_line_width(cr, 1.6);
    setColour(cr, pressed ? palette::kTitle : palette::kPrint);
    cairo_arc(cr, c, c + (pressed ? 0.5 : 0), 4.8, -M_PI * 0.35, M_PI * 1.35);
    cairo_stroke(cr);
    const double a = -M_PI * 0.35, ax = c + std::cos(a) * 4.8,
                 ay = c + std::sin(a) * 4.8 + (pressed ? 0.5 : 0);
    cairo_move_to(cr, ax + 2.6, ay - 0.6);
    cairo_line_to(cr, ax - 0.6, ay - 2.8);
    cairo_line_to(cr, ax - 0.4, ay + 1.6);
    cairo_close_path(cr);
    cairo_fill(cr);
}

// A padlock: frame 0 open, frame 1 shut and amber.
void drawLock(cairo_t* cr, int frame) {
    const bool locked = frame == 1;
    raisedBox(cr, 0, 0, 17, 17, 3, {0.30, 0.32, 0.35}, {0.15, 0.16, 0.18});
    const Colour c = locked ? palette::kTitle : palette::kDimPrint;
    setColour(cr, c);
    cairo_set_line_width(cr, 1.6);
    if (locked) {
        cairo_arc(cr, 8.5, 7, 3, M_PI, 0);
        cairo_line_to(cr, 11.5, 8);
        cairo_move_to(cr, 5.5, 8);
        cairo_line_to(cr, 5.5, 7);
    } else {
        cairo_arc(cr, 11, 5.5, 3, M_PI, 0);
        cairo_line_to(cr, 14, 7);
        cairo_move_to(cr, 8, 8);
        cairo_line_to(cr, 8, 5.5);
    }
    cairo_stroke(cr);
    roundedRect(cr, 4, 8, 9, 6.5, 1);
    cairo_fill(cr);
    cairo_set_source_rgb(cr, 0.1, 0.1, 0.1);
    cairo_rectangle(cr, 8, 10, 1, 2.5);
    cairo_fill(cr);
}

void drawLogo(cairo_t* cr) {
    raisedBox(cr, 0.5, 0.5, 196, 62, 4, {0.20, 0.21, 0.24}, {0.11, 0.12, 0.13});
    sunkenBox(cr, 4, 4, 189, 55, 3, {0.08, 0.085, 0.095});
    // A ridge line over the name: the moraine.
    cairo_move_to(cr, 12, 19);
    const double pts[][2] = {{30, 10},  {42, 15}, {60, 7},   {76, 14}, {92, 9},
                             {110, 16}, {128, 8}, {146, 13}, {164, 7}, {185, 17}};
    for (const auto& p : pts) cairo_line_to(cr, p[0], p[1]);
    cairo_set_line_width(cr, 1.5);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    setColour(cr, palette::kTitle);
    cairo_stroke(cr);
    const double nameWidth =
        spacedText(cr, "MORAINE", 12, 31, 16, 2.0, palette::kPrint, Align::Left);
    spacedText(cr, "DECK", 12 + nameWidth + 8, 31, 16, 2.0, palette::kTitle, Align::Left);
    text(cr, "semi-modular synthesizer", 12, 49, 10, palette::kDimPrint, Align::Left);
    text(cr, "MENU \xe2\x96\xbe", 186, 49, 9, palette::kMark, Align::Right);
}

// The level meters: 20 segments, green to amber to red; the lit bar is revealed from the
// left over the unlit one. Both are scaled into meters a few pixels high.
void drawMeterBar(cairo_t* cr, bool lit) {
    if (!lit) {
        cairo_set_source_rgb(cr, 0.03, 0.03, 0.035);
        cairo_paint(cr);
    }
    const int segments = 20;
    const double pitch = 328.0 / segments;
    for (int i = 0; i < segments; ++i) {
        Colour c = i < 14 ? Colour{0.25, 0.95, 0.30}
                          : (i < 18 ? Colour{1.0, 0.78, 0.15} : Colour{1.0, 0.22, 0.15});
        if (!lit) c = {c.r * 0.22, c.g * 0.22, c.b * 0.22};
        cairo_rectangle(cr, i * pitch + 2, 6, pitch - 4, 38);
        setColour(cr, c);
        cairo_fill(cr);
    }
}

void drawGateButton(cairo_t* cr, int frame) {
    const bool pressed = frame == 0;
    raisedBox(cr, 0, 0, 12, 11, 2, pressed ? Colour{0.55, 0.30, 0.08} : Colour{0.95, 0.62, 0.25},
              pressed ? Colour{0.75, 0.45, 0.15} : Colour{0.60, 0.34, 0.10});
}

// The notes display: a dark screen with the scroll bar's track at the right (the notes
// slider lies over it) and room for six lines of light text.
void drawNotesBox(cairo_t* cr) {
    setColour(cr, palette::kPanel);
    cairo_paint(cr);
    raisedBox(cr, 0, 0, 190, 114, 4, {0.22, 0.23, 0.26}, {0.12, 0.13, 0.14});
    sunkenBox(cr, 4, 4, 182, 106, 3, palette::kScreen);
    slot(cr, 170, 15, 170, 99, 6);
}

} // namespace panelart
