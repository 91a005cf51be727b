#include "gui/Fonts.h"

#include <gtest/gtest.h>

#include <cairo.h>
#include <cmath>
#include <cstring>
#include <thread>
#include <vector>

namespace moraine::gui {
namespace {

TEST(Fonts, FaceNamesMapToTheTwoEmbeddedFaces) {
    const struct {
        const char* name;
        Typeface face;
    } cases[] = {{"Helvetica", Typeface::Sans}, {"Arial", Typeface::Sans},
                 {"Monaco", Typeface::Mono},    {"", Typeface::Sans},
                 {"monaco", Typeface::Mono}, // face names match without regard to case
                 {"Courier", Typeface::Sans}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(typefaceFor(c.name), c.face);
    }
    ASSERT_NE(fontFace(Typeface::Sans), nullptr);
    ASSERT_NE(fontFace(Typeface::Mono), nullptr);
    EXPECT_NE(fontFace(Typeface::Sans), fontFace(Typeface::Mono));
}

TEST(Fonts, LoadedOncePerProcessEvenWhenThreadsRace) {
    std::vector<cairo_font_face_t*> seen(8, nullptr);
    std::vector<std::thread> threads;
    for (int i = 0; i < 8; ++i)
        threads.emplace_back(
            [&seen, i] { seen[i] = fontFace(i % 2 ? Typeface::Mono : Typeface::Sans); });
    for (std::thread& t : threads) t.join();
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(seen[i], fontFace(i % 2 ? Typeface::Mono : Typeface::Sans));
}

TEST(Fonts, OptionsAreFixedWhateverTheMachine) {
    const cairo_font_options_t* o = fontOptions();
    ASSERT_NE(o, nullptr);
    EXPECT_EQ(cairo_font_options_get_antialias(o), CAIRO_ANTIALIAS_GRAY);
    EXPECT_EQ(cairo_font_options_get_hint_style(o), CAIRO_HINT_STYLE_NONE);
    EXPECT_EQ(cairo_font_options_get_hint_metrics(o), CAIRO_HINT_METRICS_OFF);
}

struct Rendered {
    std::vector<unsigned char> pixels;
    double advance = 0;
};

Rendered render(const char* face, const char* text, double size) {
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 120, 24);
    cairo_t* cr = cairo_create(s);
    Rendered r;
    if (selectFont(cr, face, size)) {
        EXPECT_EQ(cairo_get_font_face(cr), fontFace(typefaceFor(face)));
        cairo_set_source_rgb(cr, 1, 1, 1);
        cairo_move_to(cr, 2, 17);
        cairo_show_text(cr, text);
        cairo_text_extents_t e;
        cairo_text_extents(cr, text, &e);
        r.advance = e.x_advance;
    }
    cairo_surface_flush(s);
    const unsigned char* data = cairo_image_surface_get_data(s);
    r.pixels.assign(data, data + cairo_image_surface_get_stride(s) * 24);
    cairo_destroy(cr);
    cairo_surface_destroy(s);
    return r;
}

TEST(Fonts, TextDrawsInTheRightFaceUnhinted) {
    const Rendered a = render("Helvetica", "Moraine 0.5 V", 11);
    int ink = 0;
    for (std::size_t i = 3; i < a.pixels.size(); i += 4) ink += a.pixels[i] != 0;
    EXPECT_GT(ink, 40) << "the text left no mark";
    // Unhinted metrics: the advance is the design width scaled, not rounded to pixels.
    EXPECT_NE(a.advance, std::floor(a.advance));
    // The mono face gives every character the same advance; the sans face does not.
    EXPECT_DOUBLE_EQ(render("Monaco", "iiii", 12).advance, render("Monaco", "MMMM", 12).advance);
    EXPECT_LT(render("Arial", "iiii", 12).advance, render("Arial", "MMMM", 12).advance);
}

} // namespace
} // namespace moraine::gui
