// The art tool's catalogue: every image the panel and its dialogs load, with its file name,
// size, frame count and a drawing function in unscaled pixel coordinates.
#pragma once

#include <functional>
#include <string>
#include <vector>

typedef struct _cairo cairo_t;

namespace panelart {

struct ImageSpec {
    std::string name;
    int width = 0;  // at scale 1
    int height = 0; // the whole strip: frames × frame height
    int frames = 1;
    bool alpha = true; // false: written as RGB without an alpha channel
    // Draws frame `frame` into 0, 0, width, height / frames (the context is translated and
    // clipped to the frame).
    std::function<void(cairo_t*, int frame)> draw;
};

// Every image, in a fixed order.
std::vector<ImageSpec> catalogue();

} // namespace panelart
