// FreeType faces opened straight from the embedded bytes and wrapped for cairo. No
// fontconfig: its first use is slow, and a host's copy and ours may disagree.
#include "gui/Fonts.h"

#include "platform/Resources.h"

#include <cairo-ft.h>
#include <cairo.h>
#include <cctype>
#include <cstdio>
#include <ft2build.h>
#include FT_FREETYPE_H
#include <mutex>

namespace moraine::gui {

namespace {

struct LoadedFonts {
    FT_Library library = nullptr;
    cairo_font_face_t* faces[2] = {nullptr, nullptr};
    cairo_font_options_t* options = nullptr;
};

cairo_font_face_t* loadFace(FT_Library library, const char* resourceName) {
    const std::string_view bytes = findResource(resourceName);
    if (bytes.empty()) {
        std::printf("font resource %s missing\n", resourceName);
        return nullptr;
    }
    FT_Face face = nullptr;
    if (FT_New_Memory_Face(library, reinterpret_cast<const FT_Byte*>(bytes.data()),
                           FT_Long(bytes.size()), 0, &face) != 0) {
        std::printf("font resource %s unreadable\n", resourceName);
        return nullptr;
    }
    // The cairo face and the FreeType face are kept for the life of the process: plug-in
    // instances come and go, and reloading would gain nothing.
    cairo_font_face_t* cairoFace = cairo_ft_font_face_create_for_ft_face(face, 0);
    if (cairo_font_face_status(cairoFace) != CAIRO_STATUS_SUCCESS) {
        cairo_font_face_destroy(cairoFace);
        FT_Done_Face(face);
        return nullptr;
    }
    return cairoFace;
}

const LoadedFonts& fonts() {
    static LoadedFonts loaded;
    static std::once_flag once;
    std::call_once(once, [] {
        loaded.options = cairo_font_options_create();
        cairo_font_options_set_antialias(loaded.options, CAIRO_ANTIALIAS_GRAY);
        cairo_font_options_set_hint_style(loaded.options, CAIRO_HINT_STYLE_NONE);
        cairo_font_options_set_hint_metrics(loaded.options, CAIRO_HINT_METRICS_OFF);
        cairo_font_options_set_subpixel_order(loaded.options, CAIRO_SUBPIXEL_ORDER_DEFAULT);
        if (FT_Init_FreeType(&loaded.library) != 0) {
            loaded.library = nullptr;
            std::printf("FreeType did not start; panel text is not drawn\n");
            return;
        }
        loaded.faces[0] = loadFace(loaded.library, "DejaVuSans.ttf");
        loaded.faces[1] = loadFace(loaded.library, "DejaVuSansMono.ttf");
    });
    return loaded;
}

} // namespace

Typeface typefaceFor(std::string_view faceName) {
    constexpr std::string_view kMono = "monaco";
    if (faceName.size() != kMono.size()) return Typeface::Sans;
    for (std::size_t i = 0; i < kMono.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(faceName[i])) != kMono[i])
            return Typeface::Sans;
    return Typeface::Mono;
}

cairo_font_face_t* fontFace(Typeface face) {
    return fonts().faces[face == Typeface::Mono ? 1 : 0];
}

const cairo_font_options_t* fontOptions() {
    return fonts().options;
}

bool selectFont(cairo_t* cr, Typeface face, double pixelSize) {
    cairo_font_face_t* f = fontFace(face);
    if (!f) return false;
    cairo_set_font_face(cr, f);
    cairo_set_font_size(cr, pixelSize);
    cairo_set_font_options(cr, fontOptions());
    return true;
}

bool selectFont(cairo_t* cr, std::string_view faceName, double pixelSize) {
    return selectFont(cr, typefaceFor(faceName), pixelSize);
}

} // namespace moraine::gui
