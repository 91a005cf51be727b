#include "tools/panel-art/Art.h"

#include "gui/Fonts.h"

#include <cairo.h>

namespace panelart {

std::vector<ImageSpec> catalogue() {
    std::vector<ImageSpec> all;
    all.push_back({"lock.png", 17, 34, 2, true, [](cairo_t* cr, int frame) {
                       cairo_set_source_rgb(cr, 0.2, 0.2, 0.2);
                       cairo_paint(cr);
                       moraine::gui::selectFont(cr, "Helvetica", 10);
                       cairo_set_source_rgb(cr, 1, frame ? 0.3 : 1, 0.3);
                       cairo_move_to(cr, 2, 12);
                       cairo_show_text(cr, "L");
                   }});
    return all;
}

} // namespace panelart
