// Decoding the art, the compiled-in fonts, and where the image widgets draw.
#include "gui/Images.h"
#include "gui/Fonts.h"

#include <cairo.h>
#include <gtest/gtest.h>
#include <png.h>

#include <cmath>
#include <string>
#include <vector>

namespace moraine::gui {
namespace {

// PNG bytes of a w × h image of one colour type, every pixel `px` (1 to 4 bytes).
std::string makePng(int w, int h, int colourType, std::vector<unsigned char> px) {
    std::string out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_set_write_fn(
        png, &out,
        [](png_structp p, png_bytep data, png_size_t n) {
            static_cast<std::string*>(png_get_io_ptr(p))->append(reinterpret_cast<char*>(data), n);
        },
        nullptr);
    png_set_IHDR(png, info, png_uint_32(w), png_uint_32(h), 8, colourType, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    std::vector<unsigned char> row;
    for (int x = 0; x < w; ++x) row.insert(row.end(), px.begin(), px.end());
    for (int y = 0; y < h; ++y) png_write_row(png, row.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

// Premultiplied by (c × a) >> 8: 255 at alpha 255 is 254, white at 128 is 127.
TEST(Images, DecodesColourTypesToPremultipliedPixelsAndRefusesDamage) {
    const struct {
        int type;
        std::vector<unsigned char> px;
        std::uint32_t expected;
    } cases[] = {
        {PNG_COLOR_TYPE_GRAY, {90}, 0xFF595959u},
        {PNG_COLOR_TYPE_GRAY_ALPHA, {255, 128}, 0x807F7F7Fu},
        {PNG_COLOR_TYPE_RGB, {255, 0, 10}, 0xFFFE0009u},
        {PNG_COLOR_TYPE_RGBA, {255, 255, 255, 128}, 0x807F7F7Fu},
        {PNG_COLOR_TYPE_RGBA, {255, 255, 255, 0}, 0u},
    };
    for (const auto& c : cases) {
        auto image = decodePng(makePng(3, 2, c.type, c.px));
        ASSERT_NE(image, nullptr) << c.type;
        EXPECT_EQ(image->width * 10 + image->height, 32);
        EXPECT_EQ(image->pixels[5], c.expected) << c.type;
    }
    EXPECT_EQ(premultiply(10, 20, 30, 255), 0xFF09131Du);
    EXPECT_EQ(decodePng("not a png at all"), nullptr);
    const std::string png = makePng(40, 40, PNG_COLOR_TYPE_RGB, {1, 2, 3});
    EXPECT_EQ(decodePng(png.substr(0, 20)), nullptr); // cut inside the header
    // Cut inside the pixel data: what was read, at full size, or nothing.
    auto partial = decodePng(png.substr(0, png.size() / 2));
    EXPECT_TRUE(!partial || partial->width == 40);
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

TEST(Images, StripFramesAndHandles) {
    const struct {
        int frames;
        float value;
        int frame;
    } strips[] = {
        {3, 0.5f, 1}, {3, 1.0f, 2}, {3, 0.9999f, 1}, {3, 0.0f, 0}, {1, 1.0f, 0}}; // truncated
    for (const auto& s : strips)
        EXPECT_EQ(CAUGuiGraphic::frameFor(s.frames, s.value), s.frame) << s.value;
    // vert_knob.png 25 × 21 on a track 24 wide and 65 high from y 205.
    const PanelRect track{20, 205, 24, 65}, htrack{157, 73, 75, 24};
    using H = CAUGuiHandleImage;
    EXPECT_EQ(H::handleRect(25, 21, 0, 0, Orientation::Vertical, track, 1.0f),
              (PanelRect{20, 195, 24, 20}));
    EXPECT_EQ(H::handleRect(25, 21, 0, 0, Orientation::Vertical, track, 0.0f).y, 205 + 65 - 10);
    // horz_knob.png 21 × 24 on a track 75 wide.
    EXPECT_EQ(H::handleRect(21, 24, 0, 0, Orientation::Horizontal, htrack, 1.0f),
              (PanelRect{222, 73, 21, 24}));
    EXPECT_EQ(H::handleRect(21, 24, 2, 3, Orientation::Horizontal, htrack, 0.5f),
              (PanelRect{186, 70, 21, 24}));
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
    EXPECT_EQ(cairo_font_options_get_antialias(o), CAIRO_ANTIALIAS_GRAY);
    EXPECT_EQ(cairo_font_options_get_hint_style(o), CAIRO_HINT_STYLE_NONE);
    EXPECT_EQ(cairo_font_options_get_hint_metrics(o), CAIRO_HINT_METRICS_OFF);
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1, 1);
    cairo_t* cr = cairo_create(s);
    cairo_font_options_t* applied = cairo_font_options_create();
    auto advance = [&](const char* face, const char* text) {
        EXPECT_TRUE(selectFont(cr, face, 11));
        EXPECT_EQ(cairo_get_font_face(cr), fontFace(typefaceFor(face)));
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
    EXPECT_LT(advance("Arial", "iiii"), advance("Arial", "MMMM"));
    cairo_font_options_destroy(applied);
    cairo_destroy(cr);
    cairo_surface_destroy(s);
}

} // namespace
} // namespace moraine::gui
