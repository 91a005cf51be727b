// Drawing helpers shared by the art: the palette, text in the embedded faces, and the
// few shapes (bevelled boxes, screws, sockets) the panel is built from.
#pragma once

#include <string>

typedef struct _cairo cairo_t;

namespace panelart {

struct Colour {
    double r, g, b;
};

// The palette: a dark anodised panel with light print; amber for module titles and for the
// plates behind outputs, teal for jacks that work either way.
namespace palette {
inline constexpr Colour kPanel{0.110, 0.118, 0.133};
inline constexpr Colour kSection{0.153, 0.165, 0.188};
inline constexpr Colour kSectionEdge{0.290, 0.310, 0.345};
inline constexpr Colour kTitle{0.941, 0.714, 0.282};
inline constexpr Colour kPrint{0.850, 0.863, 0.882};
inline constexpr Colour kDimPrint{0.600, 0.620, 0.650};
inline constexpr Colour kMark{0.520, 0.545, 0.580};
inline constexpr Colour kSlot{0.035, 0.039, 0.047};
inline constexpr Colour kOutput{0.800, 0.470, 0.160};
inline constexpr Colour kEither{0.200, 0.560, 0.540};
inline constexpr Colour kScreen{0.070, 0.100, 0.085};
inline constexpr Colour kLit{0.400, 1.000, 0.400};
} // namespace palette

inline constexpr double kMinTextSize = 9.0;

void setColour(cairo_t* cr, Colour c, double alpha = 1.0);

enum class Align { Left, Centre, Right };

// Width of `text` in the sans (or mono) face at `size` pixels.
double textWidth(cairo_t* cr, const std::string& text, double size, bool mono = false);

// Draws `text` with its baseline's `align` point at x, and its capitals centred on y (so
// a label can be centred on a control's centre line). Sizes below kMinTextSize are raised.
void text(cairo_t* cr, const std::string& text, double x, double y, double size, Colour c,
          Align align = Align::Centre, bool mono = false);

// Same, with letter spacing (titles); returns the width drawn.
double spacedText(cairo_t* cr, const std::string& text, double x, double y, double size,
                  double spacing, Colour c, Align align = Align::Centre);

void roundedRect(cairo_t* cr, double x, double y, double w, double h, double r);

// A raised box: a vertical gradient between `top` and `bottom` with a light upper and a dark
// lower edge.
void raisedBox(cairo_t* cr, double x, double y, double w, double h, double r, Colour top,
               Colour bottom);
// A sunken well: dark fill, dark upper and light lower edge.
void sunkenBox(cairo_t* cr, double x, double y, double w, double h, double r, Colour fill);

// A cross-head screw of radius `r` centred on x, y, its slot turned by `angle` radians.
void screw(cairo_t* cr, double x, double y, double r, double angle);

// A panel-mounted socket (nut and hole) filling the square x, y, size, size.
void socket(cairo_t* cr, double x, double y, double size);

// A fader slot from (x, y0) to (x, y1) (vertical) or (x0, y) to (x1, y) (horizontal).
void slot(cairo_t* cr, double x0, double y0, double x1, double y1, double width);

} // namespace panelart
