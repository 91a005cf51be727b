#include "tools/panel-art/Draw.h"

#include "gui/Fonts.h"

#include <algorithm>
#include <cairo.h>
#include <cmath>

namespace panelart {

using moraine::gui::selectFont;
using moraine::gui::Typeface;

void setColour(cairo_t* cr, Colour c, double alpha) {
    cairo_set_source_rgba(cr, c.r, c.g, c.b, alpha);
}

namespace {

// DejaVu's capital height is 0.729 em: centring capitals on y puts the baseline here.
double baselineFor(double y, double size) {
    return y + 0.729 * size / 2.0;
}

} // namespace

double textWidth(cairo_t* cr, const std::string& s, double size, bool mono) {
    cairo_save(cr);
    selectFont(cr, mono ? Typeface::Mono : Typeface::Sans, std::max(size, kMinTextSize));
    cairo_text_extents_t e;
    cairo_text_extents(cr, s.c_str(), &e);
    cairo_restore(cr);
    return e.x_advance;
}

void text(cairo_t* cr, const std::string& s, double x, double y, double size, Colour c, Align align,
          bool mono) {
    size = std::max(size, kMinTextSize);
    const double w = textWidth(cr, s, size, mono);
    double left = x;
    if (align == Align::Centre) left = x - w / 2.0;
    if (align == Align::Right) left = x - w;
    cairo_save(cr);
    selectFont(cr, mono ? Typeface::Mono : Typeface::Sans, size);
    setColour(cr, c);
    cairo_move_to(cr, left, baselineFor(y, size));
    cairo_show_text(cr, s.c_str());
    cairo_restore(cr);
}

double spacedText(cairo_t* cr, const std::string& s, double x, double y, double size,
                  double spacing, Colour c, Align align) {
    size = std::max(size, kMinTextSize);
    double total = 0;
    for (char ch : s) total += textWidth(cr, std::string(1, ch), size) + spacing;
    total -= spacing;
    double left = x;
    if (align == Align::Centre) left = x - total / 2.0;
    if (align == Align::Right) left = x - total;
    for (char ch : s) {
        const std::string one(1, ch);
        text(cr, one, left, y, size, c, Align::Left);
        left += textWidth(cr, one, size) + spacing;
    }
    return total;
}

void roundedRect(cairo_t* cr, double x, double y, double w, double h, double r) {
    r = std::min({r, w / 2.0, h / 2.0});
    cairo_new_sub_path(cr);
    cairo_arc(cr, x + w - r, y + r, r, -M_PI / 2, 0);
    cairo_arc(cr, x + w - r, y + h - r, r, 0, M_PI / 2);
    cairo_arc(cr, x + r, y + h - r, r, M_PI / 2, M_PI);
    cairo_arc(cr, x + r, y + r, r, M_PI, 3 * M_PI / 2);
    cairo_close_path(cr);
}

void raisedBox(cairo_t* cr, double x, double y, double w, double h, double r, Colour top,
               Colour bottom) {
    cairo_pattern_t* g = cairo_pattern_create_linear(0, y, 0, y + h);
    cairo_pattern_add_color_stop_rgb(g, 0, top.r, top.g, top.b);
    cairo_pattern_add_color_stop_rgb(g, 1, bottom.r, bottom.g, bottom.b);
    roundedRect(cr, x, y, w, h, r);
    cairo_set_source(cr, g);
    cairo_fill(cr);
    cairo_pattern_destroy(g);
    cairo_set_line_width(cr, 1.0);
    roundedRect(cr, x + 0.5, y + 0.5, w - 1, h - 1, r);
    cairo_pattern_t* edge = cairo_pattern_create_linear(0, y, 0, y + h);
    cairo_pattern_add_color_stop_rgba(edge, 0, 1, 1, 1, 0.35);
    cairo_pattern_add_color_stop_rgba(edge, 0.5, 1, 1, 1, 0.05);
    cairo_pattern_add_color_stop_rgba(edge, 1, 0, 0, 0, 0.6);
    cairo_set_source(cr, edge);
    cairo_stroke(cr);
    cairo_pattern_destroy(edge);
}

void sunkenBox(cairo_t* cr, double x, double y, double w, double h, double r, Colour fill) {
    roundedRect(cr, x, y, w, h, r);
    setColour(cr, fill);
    cairo_fill(cr);
    cairo_set_line_width(cr, 1.0);
    roundedRect(cr, x + 0.5, y + 0.5, w - 1, h - 1, r);
    cairo_pattern_t* edge = cairo_pattern_create_linear(0, y, 0, y + h);
    cairo_pattern_add_color_stop_rgba(edge, 0, 0, 0, 0, 0.8);
    cairo_pattern_add_color_stop_rgba(edge, 0.6, 0, 0, 0, 0.3);
    cairo_pattern_add_color_stop_rgba(edge, 1, 1, 1, 1, 0.22);
    cairo_set_source(cr, edge);
    cairo_stroke(cr);
    cairo_pattern_destroy(edge);
}

void screw(cairo_t* cr, double x, double y, double r, double angle) {
    cairo_pattern_t* g = cairo_pattern_create_radial(x - r * 0.4, y - r * 0.4, 0, x, y, r);
    cairo_pattern_add_color_stop_rgb(g, 0, 0.78, 0.80, 0.83);
    cairo_pattern_add_color_stop_rgb(g, 1, 0.36, 0.38, 0.42);
    cairo_arc(cr, x, y, r, 0, 2 * M_PI);
    cairo_set_source(cr, g);
    cairo_fill_preserve(cr);
    cairo_pattern_destroy(g);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.7);
    cairo_set_line_width(cr, 0.8);
    cairo_stroke(cr);
    cairo_set_line_width(cr, 1.2);
    cairo_set_source_rgba(cr, 0.1, 0.1, 0.12, 0.9);
    for (int i = 0; i < 2; ++i) {
        const double a = angle + i * M_PI / 2;
        cairo_move_to(cr, x - std::cos(a) * r * 0.65, y - std::sin(a) * r * 0.65);
        cairo_line_to(cr, x + std::cos(a) * r * 0.65, y + std::sin(a) * r * 0.65);
    }
    cairo_stroke(cr);
}

void socket(cairo_t* cr, double x, double y, double size) {
    const double cx = x + size / 2.0, cy = y + size / 2.0, r = size / 2.0;
    // Hexagonal nut.
    cairo_new_path(cr);
    for (int i = 0; i < 6; ++i) {
        const double a = M_PI / 6 + i * M_PI / 3;
        const double px = cx + std::cos(a) * r, py = cy + std::sin(a) * r;
        if (i == 0)
            cairo_move_to(cr, px, py);
        else
            cairo_line_to(cr, px, py);
    }
    cairo_close_path(cr);
    cairo_pattern_t* g = cairo_pattern_create_linear(x, y, x + size, y + size);
    cairo_pattern_add_color_stop_rgb(g, 0, 0.86, 0.87, 0.89);
    cairo_pattern_add_color_stop_rgb(g, 1, 0.42, 0.44, 0.48);
    cairo_set_source(cr, g);
    cairo_fill_preserve(cr);
    cairo_pattern_destroy(g);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.75);
    cairo_set_line_width(cr, 0.8);
    cairo_stroke(cr);
    // Threaded collar and the hole.
    cairo_arc(cr, cx, cy, r * 0.66, 0, 2 * M_PI);
    cairo_set_source_rgb(cr, 0.55, 0.57, 0.60);
    cairo_fill(cr);
    cairo_arc(cr, cx, cy, r * 0.44, 0, 2 * M_PI);
    cairo_set_source_rgb(cr, 0.02, 0.02, 0.025);
    cairo_fill(cr);
}

void slot(cairo_t* cr, double x0, double y0, double x1, double y1, double width) {
    const bool vertical = x0 == x1;
    const double x = vertical ? x0 - width / 2 : x0, y = vertical ? y0 : y0 - width / 2;
    const double w = vertical ? width : x1 - x0, h = vertical ? y1 - y0 : width;
    sunkenBox(cr, x, y, w, h, width / 2, palette::kSlot);
}

} // namespace panelart
