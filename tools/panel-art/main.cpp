// Draws the panel and dialog art into PNG files, or checks checked-in files against it:
//   panel-art --out DIR [--scale N] [--only NAME]   write every image into DIR
//   panel-art --check DIR                           exit 1 when DIR's images differ
//   panel-art --preview FILE                        the panel with its controls placed
// The art is vector drawing at any integer scale; the checked-in set is scale 1.
#include "tools/panel-art/Art.h"
#include "tools/panel-art/Png.h"
#include "tools/panel-art/Preview.h"

#include <algorithm>
#include <cairo.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

using namespace panelart;

cairo_surface_t* renderSurface(const ImageSpec& spec, int scale) {
    const int w = spec.width * scale, h = spec.height * scale;
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
    cairo_t* cr = cairo_create(surface);
    const int frameHeight = spec.height / spec.frames;
    for (int f = 0; f < spec.frames; ++f) {
        cairo_save(cr);
        cairo_scale(cr, scale, scale);
        cairo_translate(cr, 0, f * frameHeight);
        cairo_rectangle(cr, 0, 0, spec.width, frameHeight);
        cairo_clip(cr);
        spec.draw(cr, f);
        cairo_restore(cr);
    }
    cairo_destroy(cr);
    cairo_surface_flush(surface);
    return surface;
}

Rgba render(const ImageSpec& spec, int scale) {
    cairo_surface_t* surface = renderSurface(spec, scale);
    Rgba out = fromCairo(cairo_image_surface_get_data(surface), spec.width * scale,
                         spec.height * scale, cairo_image_surface_get_stride(surface));
    cairo_surface_destroy(surface);
    if (!spec.alpha)
        for (std::size_t i = 3; i < out.pixels.size(); i += 4) out.pixels[i] = 255;
    return out;
}

// Pixels may differ by a few levels where another cairo or pixman rounds an edge
// differently; on one machine the images are identical.
constexpr int kChannelTolerance = 3;
constexpr double kOutlierShare = 0.0005;

bool check(const ImageSpec& spec, const std::string& dir) {
    Rgba onDisk;
    bool hadAlpha = false;
    const std::string path = dir + "/" + spec.name;
    if (!readPng(path, onDisk, hadAlpha)) {
        std::printf("%s: missing or unreadable\n", spec.name.c_str());
        return false;
    }
    if (onDisk.width != spec.width || onDisk.height != spec.height || hadAlpha != spec.alpha) {
        std::printf("%s: %d x %d%s, expected %d x %d%s\n", spec.name.c_str(), onDisk.width,
                    onDisk.height, hadAlpha ? " RGBA" : " RGB", spec.width, spec.height,
                    spec.alpha ? " RGBA" : " RGB");
        return false;
    }
    const Rgba drawn = render(spec, 1);
    long outliers = 0;
    int largest = 0;
    for (std::size_t i = 0; i < drawn.pixels.size(); i += 4) {
        int d = 0;
        for (int c = 0; c < 4; ++c)
            d = std::max(d, std::abs(int(drawn.pixels[i + c]) - int(onDisk.pixels[i + c])));
        largest = std::max(largest, d);
        if (d > kChannelTolerance) ++outliers;
    }
    const long allowed = long(double(spec.width) * spec.height * kOutlierShare);
    if (outliers > allowed) {
        std::printf("%s: %ld pixels differ by more than %d (largest %d, %ld allowed)\n",
                    spec.name.c_str(), outliers, kChannelTolerance, largest, allowed);
        return false;
    }
    return true;
}

int usage() {
    std::fprintf(stderr, "usage: panel-art --out DIR [--scale N] [--only NAME]\n"
                         "       panel-art --check DIR\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    std::string out, checkDir, only, preview;
    int scale = 1;
    for (int i = 1; i < argc; ++i) {
        const bool hasValue = i + 1 < argc;
        if (!std::strcmp(argv[i], "--out") && hasValue)
            out = argv[++i];
        else if (!std::strcmp(argv[i], "--check") && hasValue)
            checkDir = argv[++i];
        else if (!std::strcmp(argv[i], "--preview") && hasValue)
            preview = argv[++i];
        else if (!std::strcmp(argv[i], "--only") && hasValue)
            only = argv[++i];
        else if (!std::strcmp(argv[i], "--scale") && hasValue)
            scale = std::atoi(argv[++i]);
        else
            return usage();
    }
    if (!preview.empty()) {
        cairo_surface_t* panel = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1010, 623);
        cairo_t* cr = cairo_create(panel);
        renderPreview(cr, catalogue(), [](const ImageSpec& s) { return renderSurface(s, 1); });
        cairo_destroy(cr);
        const bool written =
            cairo_surface_write_to_png(panel, preview.c_str()) == CAIRO_STATUS_SUCCESS;
        cairo_surface_destroy(panel);
        return written ? 0 : 1;
    }
    if (out.empty() == checkDir.empty() || scale < 1 || scale > 8) return usage();

    bool ok = true;
    int count = 0;
    for (const ImageSpec& spec : catalogue()) {
        if (!only.empty() && spec.name != only) continue;
        ++count;
        if (!checkDir.empty()) {
            ok = check(spec, checkDir) && ok;
        } else if (!writePng(out + "/" + spec.name, render(spec, scale), spec.alpha)) {
            std::printf("%s: cannot write into %s\n", spec.name.c_str(), out.c_str());
            ok = false;
        }
    }
    if (count == 0) {
        std::printf("no image named %s\n", only.c_str());
        return 1;
    }
    return ok ? 0 : 1;
}
