// The panel's two typefaces, compiled in and loaded once per process: text looks the same
// in every host and on every machine, whatever fonts are installed.
#pragma once

#include <string_view>

typedef struct _cairo cairo_t;
typedef struct _cairo_font_face cairo_font_face_t;
typedef struct _cairo_font_options cairo_font_options_t;

namespace moraine::gui {

enum class Typeface { Sans, Mono };

// The face a control's face name stands for: "Monaco" (in any case) is the monospaced face;
// "Helvetica", "Arial" and every other name the proportional one.
Typeface typefaceFor(std::string_view faceName);

// The shared cairo face for `face`, loaded on first use from the embedded TrueType file;
// it lives as long as the process. Null only when the font could not be loaded, in which
// case text is simply not drawn.
cairo_font_face_t* fontFace(Typeface face);

// Fixed rendering options (grey antialiasing, no hinting, unhinted metrics), so glyph
// pixels depend on neither the display nor the user's font settings.
const cairo_font_options_t* fontOptions();

// Makes `cr` draw text in the face named `faceName` at `pixelSize` with the fixed options.
// Returns false, leaving `cr` unchanged, when the face could not be loaded.
bool selectFont(cairo_t* cr, std::string_view faceName, double pixelSize);
bool selectFont(cairo_t* cr, Typeface face, double pixelSize);

} // namespace moraine::gui
