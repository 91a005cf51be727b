#pragma once

#include "tools/panel-art/Art.h"

#include <functional>

typedef struct _cairo_surface cairo_surface_t;

namespace panelart {

// Paints the panel with its controls into `cr` (panel size at scale 1); `draw` renders one
// catalogue image into a new surface.
void renderPreview(cairo_t* cr, const std::vector<ImageSpec>& all,
                   const std::function<cairo_surface_t*(const ImageSpec&)>& draw);

} // namespace panelart
