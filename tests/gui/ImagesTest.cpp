#include "gui/Images.h"

#include <cairo.h>
#include <gtest/gtest.h>
#include <png.h>

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

TEST(Images, PremultiplyRoundsDown) {
    EXPECT_EQ(premultiply(255, 255, 255, 128), 0x807F7F7Fu); // 255 × 128 >> 8 = 127
    EXPECT_EQ(premultiply(200, 100, 50, 0), 0u);             // transparent: all zero
    EXPECT_EQ(premultiply(10, 20, 30, 255), 0xFF09131Du);    // (c × 255) >> 8
}

TEST(Images, DecodesColourTypesToPremultipliedPixels) {
    struct Case {
        const char* what;
        int type;
        std::vector<unsigned char> px;
        std::uint32_t expected;
    } cases[] = {
        {"grey", PNG_COLOR_TYPE_GRAY, {90}, 0u},
        {"grey alpha", PNG_COLOR_TYPE_GRAY_ALPHA, {255, 128}, 0x807F7F7Fu},
        {"rgb", PNG_COLOR_TYPE_RGB, {255, 0, 10}, 0xFFFE0009u},
        {"rgba", PNG_COLOR_TYPE_RGBA, {255, 255, 255, 128}, 0x807F7F7Fu},
        {"rgba clear", PNG_COLOR_TYPE_RGBA, {255, 255, 255, 0}, 0u},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto image = decodePng(makePng(3, 2, c.type, c.px));
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(image->width, 3);
        EXPECT_EQ(image->height, 2);
        if (c.type == PNG_COLOR_TYPE_GRAY) {
            // Opaque grey: every channel the same, alpha 255.
            const std::uint32_t p = image->pixels[0];
            EXPECT_EQ(p >> 24, 255u);
            EXPECT_EQ((p >> 16) & 0xFF, p & 0xFF);
            EXPECT_EQ((p >> 8) & 0xFF, p & 0xFF);
            EXPECT_EQ(p & 0xFF, (90u * 255) >> 8);
        } else {
            EXPECT_EQ(image->pixels[5], c.expected);
        }
    }
}

TEST(Images, DamagedBytesAreRefusedOrKeptPartly) {
    EXPECT_EQ(decodePng(""), nullptr);
    EXPECT_EQ(decodePng("not a png at all"), nullptr);
    std::string png = makePng(40, 40, PNG_COLOR_TYPE_RGB, {1, 2, 3});
    // Cut inside the pixel data: the bitmap exists and holds what was read.
    auto partial = decodePng(png.substr(0, png.size() / 2));
    if (partial) {
        EXPECT_EQ(partial->width, 40);
    }
    // Cut inside the header: nothing.
    EXPECT_EQ(decodePng(png.substr(0, 20)), nullptr);
}

TEST(Images, MissingImageIsReportedOnceAndDrawsNothing) {
    int reports = 0;
    std::string text;
    const ImageFailureReporter report = [&](const std::string& t) {
        ++reports;
        text = t;
    };
    CAUGuiGraphic a("no-such-image.png", 2, report);
    CAUGuiGraphic b("No-Such-Image.PNG", 2, report);
    EXPECT_EQ(reports, 1);
    EXPECT_EQ(text, "fail to load image=no-such-image.png\n");
    EXPECT_FALSE(a.hasBitmap());
    EXPECT_FALSE(b.hasBitmap());
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 10, 10);
    cairo_t* cr = cairo_create(s);
    a.draw(cr, {0, 0, 10, 10}, 1.0f); // no crash, nothing drawn
    cairo_destroy(cr);
    cairo_surface_destroy(s);
}

TEST(Images, StripFrameTruncates) {
    EXPECT_EQ(CAUGuiGraphic::frameFor(3, 0.5f), 1);
    EXPECT_EQ(CAUGuiGraphic::frameFor(3, 1.0f), 2);
    EXPECT_EQ(CAUGuiGraphic::frameFor(3, 0.9999f), 1);
    EXPECT_EQ(CAUGuiGraphic::frameFor(3, 0.0f), 0);
    EXPECT_EQ(CAUGuiGraphic::frameFor(1, 1.0f), 0);
}

TEST(Images, HandleRectangles) {
    // vert_knob.png 25 × 21 on a 24-wide track of height 65 starting at y 205.
    const PanelRect track{20, 205, 24, 65};
    const PanelRect top = CAUGuiHandleImage::handleRect(25, 21, 0, 0, Orientation::Vertical, track, 1.0f);
    EXPECT_EQ(top, (PanelRect{20, 205 - 10, 24, 20}));
    const PanelRect bottom = CAUGuiHandleImage::handleRect(25, 21, 0, 0, Orientation::Vertical, track, 0.0f);
    EXPECT_EQ(bottom.y, 205 + 65 - 10);
    // horz_knob.png 21 × 24 on a track 75 wide, 24 high.
    const PanelRect htrack{157, 73, 75, 24};
    const PanelRect right = CAUGuiHandleImage::handleRect(21, 24, 0, 0, Orientation::Horizontal, htrack, 1.0f);
    EXPECT_EQ(right, (PanelRect{157 + 75 - 10, 73, 21, 24}));
    const PanelRect mid = CAUGuiHandleImage::handleRect(21, 24, 2, 3, Orientation::Horizontal, htrack, 0.5f);
    EXPECT_EQ(mid, (PanelRect{157 + 37 - 10 + 2, 70, 21, 24}));
}

TEST(Images, MeterRevealsExactlyValueTimesWidth) {
    // led_front.png: 328 × 50, x extent 164, revealed from the right.
    for (int w : {80, 328}) {
        for (float v : {0.0f, 0.25f, 0.5f, 0.8f, 1.0f}) {
            SCOPED_TRACE(w * 10 + v);
            const PanelRect d{803, 6, w, 6};
            const PanelRect r = CAUGuiCroppingImage::revealRect(328, 50, 164, 0, 4, 0, d, v);
            EXPECT_EQ(r.x, d.x);
            EXPECT_EQ(r.w, w - int(float(w) * (1.0f - v)));
        }
    }
}

} // namespace
} // namespace moraine::gui
