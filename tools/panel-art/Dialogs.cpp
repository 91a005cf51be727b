// The dialogs' art: backgrounds with wells under their fields and lists, and the small
// pieces their controls are drawn from.
#include "tools/panel-art/Draw.h"
#include "tools/panel-art/Pieces.h"

#include <cairo.h>
#include <cmath>
#include <cstring>

namespace panelart {

namespace {

struct Well {
    double x, y, w, h;
};

// Wells under the text fields and lists of the dialogs whose background is theirs alone,
// at the dialogs' child positions plus their shift.
void wells(cairo_t* cr, const Well* list, int count, double dx, double dy) {
    for (int i = 0; i < count; ++i) {
        const Well& w = list[i];
        sunkenBox(cr, w.x + dx - 1, w.y + dy - 1, w.w + 2, w.h + 2, 2, {0.07, 0.075, 0.085});
    }
}

void groupBox(cairo_t* cr, double x, double y, double w, double h) {
    cairo_set_line_width(cr, 1);
    roundedRect(cr, x + 0.5, y + 0.5, w - 1, h - 1, 4);
    setColour(cr, palette::kSectionEdge);
    cairo_stroke(cr);
}

} // namespace

void drawDialogBack(cairo_t* cr, int width, int height, const std::string& name) {
    cairo_set_source_rgba(cr, 0, 0, 0, 0); // transparent outside the rounded body
    cairo_paint(cr);
    raisedBox(cr, 0, 0, width, height, 8, {0.20, 0.215, 0.24}, {0.12, 0.13, 0.145});
    cairo_set_line_width(cr, 1);
    roundedRect(cr, 4.5, 4.5, width - 9, height - 9, 6);
    setColour(cr, palette::kSectionEdge);
    cairo_stroke(cr);
    // An amber rule along the top: the bar the dialog is dragged by.
    cairo_rectangle(cr, 12, 10, width - 24, 2);
    setColour(cr, palette::kTitle, 0.8);
    cairo_fill(cr);
    for (double x : {12.0, width - 12.0})
        for (double y : {20.0, height - 14.0}) screw(cr, x, y, 3.5, 0.6);

    if (name == "patch.png") {
        const Well lists[] = {{105, 54, 174, 267}, {279, 54, 174, 267}, {453, 54, 174, 267}};
        wells(cr, lists, 3, 28, 35);
        cairo_set_source_rgba(cr, 1, 1, 1, 0.08);
        for (double x : {265.0, 439.0, 613.0}) cairo_rectangle(cr, x + 28, 54 + 35, 1, 267);
        cairo_fill(cr);
        groupBox(cr, 28 + 8, 35 + 46, 94, 282);
    } else if (name == "saveasback.png") {
        const Well fields[] = {{100, 115, 300, 20},
                               {100, 145, 300, 20},
                               {100, 175, 300, 20},
                               {170, 205, 80, 20},
                               {34, 260, 366, 140}};
        wells(cr, fields, 5, 20, 40);
    } else if (name == "midimap.png") {
        groupBox(cr, 30 + 4, 40 + 28, 400, 150);
        groupBox(cr, 30 + 4, 40 + 183, 400, 230);
        const Well fields[] = {{152, 75, 37, 20}, {240, 136, 37, 20}};
        wells(cr, fields, 2, 30, 40);
    } else if (name == "midibeat.png") {
        const Well fields[] = {{232, 182, 60, 20}, {232, 244, 60, 20}};
        wells(cr, fields, 2, 44, 37);
        groupBox(cr, 44 + 20, 37 + 42, 390, 126);
    } else if (name == "aboutBack.png") {
        // The ridge line of the logo along the foot of the box.
        cairo_move_to(cr, 30, height - 40);
        const double pts[][2] = {{90, height - 62.0},  {130, height - 50.0}, {200, height - 74.0},
                                 {260, height - 55.0}, {320, height - 68.0}, {390, height - 48.0},
                                 {450, height - 72.0}, {510, height - 54.0}, {570, height - 40.0}};
        for (const auto& p : pts) cairo_line_to(cr, p[0], p[1]);
        cairo_set_line_width(cr, 1.5);
        cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
        setColour(cr, palette::kTitle, 0.7);
        cairo_stroke(cr);
    }
}

void drawCheckBox(cairo_t* cr, int frame) {
    sunkenBox(cr, 2, 3, 16, 16, 2, {0.07, 0.075, 0.085});
    if (frame == 1) {
        cairo_move_to(cr, 5.5, 11);
        cairo_line_to(cr, 9, 15);
        cairo_line_to(cr, 15, 6);
        cairo_set_line_width(cr, 2.2);
        cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
        cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
        setColour(cr, palette::kLit);
        cairo_stroke(cr);
    }
}

// Curve buttons: 0 linear, 1 slow start (log button), 2 fast start (exp button); frame 1
// is the chosen one.
void drawCurveButton(cairo_t* cr, int frame, int curve) {
    const bool lit = frame == 1;
    raisedBox(cr, 0, 0, 24, 24, 3, lit ? Colour{0.36, 0.30, 0.18} : Colour{0.30, 0.32, 0.35},
              lit ? Colour{0.20, 0.16, 0.08} : Colour{0.15, 0.16, 0.18});
    cairo_set_line_width(cr, 1.6);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    setColour(cr, lit ? palette::kTitle : palette::kDimPrint);
    const double x0 = 5, y0 = 19, x1 = 19, y1 = 5;
    cairo_move_to(cr, x0, y0);
    for (int i = 1; i <= 20; ++i) {
        const double t = i / 20.0;
        const double v = curve == 0 ? t : (curve == 1 ? t * t : 1 - (1 - t) * (1 - t));
        cairo_line_to(cr, x0 + (x1 - x0) * t, y0 + (y1 - y0) * v);
    }
    cairo_stroke(cr);
}

void drawRangeCap(cairo_t* cr, bool left) {
    raisedBox(cr, 2, 1, 16, 18, 3, {0.90, 0.66, 0.28}, {0.62, 0.40, 0.12});
    cairo_set_source_rgb(cr, 0.12, 0.10, 0.08);
    const double cx = 10;
    if (left) {
        cairo_move_to(cr, cx + 3, 6);
        cairo_line_to(cr, cx - 3, 10);
        cairo_line_to(cr, cx + 3, 14);
    } else {
        cairo_move_to(cr, cx - 3, 6);
        cairo_line_to(cr, cx + 3, 10);
        cairo_line_to(cr, cx - 3, 14);
    }
    cairo_close_path(cr);
    cairo_fill(cr);
}

// The drop-down menu: a left end, a centre stretched to any width and a right end with
// the arrow.
void drawMenuPiece(cairo_t* cr, int part, int width) {
    const double r = 4;
    cairo_save(cr);
    cairo_rectangle(cr, 0, 0, width, 20);
    cairo_clip(cr);
    const double x = part == 0 ? 0 : (part == 1 ? -10 : -10);
    const double w = part == 0 ? width + 20 : (part == 1 ? width + 20 : width + 10);
    sunkenBox(cr, x, 0, w, 20, r, {0.07, 0.075, 0.085});
    cairo_restore(cr);
    if (part == 2) {
        cairo_rectangle(cr, 1, 3, 1, 14);
        setColour(cr, palette::kSectionEdge);
        cairo_fill(cr);
        cairo_move_to(cr, 5, 8);
        cairo_line_to(cr, 13, 8);
        cairo_line_to(cr, 9, 13);
        cairo_close_path(cr);
        setColour(cr, palette::kLit);
        cairo_fill(cr);
    }
}

// A ramp from dark to amber, drawn under range bars.
void drawGradient(cairo_t* cr) {
    cairo_pattern_t* g = cairo_pattern_create_linear(0, 0, 255, 0);
    cairo_pattern_add_color_stop_rgb(g, 0, 0.10, 0.11, 0.12);
    cairo_pattern_add_color_stop_rgb(g, 1, palette::kTitle.r, palette::kTitle.g, palette::kTitle.b);
    cairo_set_source(cr, g);
    cairo_paint(cr);
    cairo_pattern_destroy(g);
}

void drawFlatLogo(cairo_t* cr) {
    spacedText(cr, "MORAINE", 98.5, 12, 15, 2.0, palette::kPrint);
    spacedText(cr, "DECK", 98.5, 28, 11, 4.0, palette::kTitle);
}

void drawUnlockButton(cairo_t* cr) {
    raisedBox(cr, 1, 1, 48, 48, 6, {0.36, 0.38, 0.42}, {0.18, 0.19, 0.21});
    setColour(cr, palette::kPrint);
    cairo_set_line_width(cr, 2.5);
    cairo_arc(cr, 30, 16, 6, M_PI, 0);
    cairo_line_to(cr, 36, 19);
    cairo_stroke(cr);
    roundedRect(cr, 12, 20, 20, 15, 2);
    cairo_fill(cr);
    text(cr, "UNLOCK", 25, 42, 9, palette::kPrint);
}

void drawDialogSliderCap(cairo_t* cr) {
    drawHorizontalFaderCap(cr, 17, 37);
}

void drawDialogSliderBack(cairo_t* cr) {
    slot(cr, 8, 18.5, 74, 18.5, 5);
    cairo_set_line_width(cr, 1);
    setColour(cr, palette::kMark);
    for (int i = 0; i <= 10; ++i) {
        const double x = 8.5 + std::floor(65.0 * i / 10);
        const double len = i % 5 == 0 ? 6 : 3;
        cairo_move_to(cr, x, 30);
        cairo_line_to(cr, x, 30 + len);
    }
    cairo_stroke(cr);
}

} // namespace panelart
