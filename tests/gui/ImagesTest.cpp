// Decoding the art, the compiled-in fonts, and where the image widgets draw.
#include "gui/Images.h"
#include "gui/Fonts.h"
#include "platform/Resources.h"

#include <cairo.h>
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace moraine::gui {
namespace {

// The colour types and alpha of the panel's own art are seen whole by the golden panel
// image; what it cannot show is the rounding of premultiplied alpha and a damaged file.
TEST(Images, PremultipliesByTheRoundingRuleAndSurvivesADamagedFile) {
    EXPECT_EQ(premultiply(255, 255, 255, 128), 0x807F7F7Fu); // (c × a) >> 8
    const std::string png(findResource("dial.png"));
    ASSERT_NE(decodePng(png), nullptr);
    // Cut inside the pixel data: what was read, at full size, or nothing.
    auto partial = decodePng(png.substr(0, png.size() / 2));
    EXPECT_TRUE(!partial || partial->width == 44);
}

TEST(Images, MissingImageIsReportedOnceAndDrawsNothing) {
    std::vector<std::string> reports;
    const ImageFailureReporter report = [&](const std::string& t) { reports.push_back(t); };
    CAUGuiGraphic a("no-such-image.png", 2, report);
    CAUGuiGraphic b("No-Such-Image.PNG", 2, report);
    EXPECT_EQ(reports, std::vector<std::string>{"fail to load image=no-such-image.png\n"});
    EXPECT_FALSE(a.hasBitmap() || b.hasBitmap());
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 10, 10);
    cairo_t* cr = cairo_create(s);
    a.draw(cr, {0, 0, 10, 10}, 1.0f);
    EXPECT_EQ(cairo_status(cr), CAIRO_STATUS_SUCCESS);
    cairo_destroy(cr);
    cairo_surface_destroy(s);
}

// Where a handle lies on its track is seen by the golden panel image; the frame a strip
// shows for a value in between, not.
TEST(Images, StripFrames) {
    const struct {
        int frames;
        float value;
        int frame;
    } strips[] = {
        {3, 0.5f, 1}, {3, 1.0f, 2}, {3, 0.9999f, 1}, {3, 0.0f, 0}, {1, 1.0f, 0}}; // truncated
    for (const auto& s : strips)
        EXPECT_EQ(CAUGuiGraphic::frameFor(s.frames, s.value), s.frame) << s.value;
}

// Two embedded faces, chosen by name, drawn with options fixed whatever the machine's
// settings: unhinted, so advances are the design widths scaled.
TEST(Fonts, FaceNamesPickTheTwoEmbeddedFacesWithFixedOptions) {
    const std::pair<const char*, Typeface> cases[] = {
        {"Helvetica", Typeface::Sans}, {"Arial", Typeface::Sans},  {"Monaco", Typeface::Mono},
        {"", Typeface::Sans},          {"monaco", Typeface::Mono}, {"Courier", Typeface::Sans}};
    for (const auto& [name, face] : cases) EXPECT_EQ(typefaceFor(name), face) << name;
    const cairo_font_options_t* o = fontOptions();
    ASSERT_NE(o, nullptr);
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1, 1);
    cairo_t* cr = cairo_create(s);
    cairo_font_options_t* applied = cairo_font_options_create();
    auto advance = [&](const char* face, const char* text) {
        EXPECT_TRUE(selectFont(cr, face, 11));
        cairo_get_font_options(cr, applied);
        EXPECT_TRUE(cairo_font_options_equal(applied, o));
        cairo_text_extents_t e{};
        cairo_text_extents(cr, text, &e);
        return e.x_advance;
    };
    // The mono face gives every character the same advance; the sans face does not.
    EXPECT_DOUBLE_EQ(advance("Monaco", "iiii"), advance("Monaco", "MMMM"));
    const double sans = advance("Helvetica", "Moraine 0.5 V");
    EXPECT_NE(sans, std::floor(sans));
    cairo_font_options_destroy(applied);
    cairo_destroy(cr);
    cairo_surface_destroy(s);
}

} // namespace
} // namespace moraine::gui
