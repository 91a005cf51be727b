#include "tools/panel-art/Draw.h"
#include "tools/panel-art/Pieces.h"

#include <cairo.h>

namespace panelart {

void drawBoard(cairo_t* cr) {
    setColour(cr, palette::kPanel);
    cairo_paint(cr);
}

} // namespace panelart
