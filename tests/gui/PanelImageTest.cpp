// The whole panel drawn offscreen for the parameter table's defaults, against a checked-in
// image. MORAINE_UPDATE_GOLDEN=1 rewrites the image after a deliberate change.
#include "gui/PanelView.h"

#include "gui/FakePanelHost.h"

#include <cairo.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace moraine::gui {
namespace {

TEST(PanelImage, DefaultPanelMatchesTheCheckedInImage) {
    testing::FakePanelHost host;
    Moraine_VSTView view(host);
    view.idle();
    ASSERT_EQ(view.canvas().modal(), nullptr) << "a message box: some art is missing";
    cairo_surface_t* drawn = view.canvas().surface();
    const std::string path = std::string(MORAINE_SOURCE_DIR) + "/tests/gui/golden/default-panel.png";
    if (std::getenv("MORAINE_UPDATE_GOLDEN")) {
        ASSERT_EQ(cairo_surface_write_to_png(drawn, path.c_str()), CAIRO_STATUS_SUCCESS);
        GTEST_SKIP() << "rewrote " << path;
    }
    cairo_surface_t* golden = cairo_image_surface_create_from_png(path.c_str());
    ASSERT_EQ(cairo_surface_status(golden), CAIRO_STATUS_SUCCESS) << path;
    ASSERT_EQ(cairo_image_surface_get_width(golden), kPanelWidth);
    ASSERT_EQ(cairo_image_surface_get_height(golden), kPanelHeight);
    cairo_surface_flush(drawn);
    const unsigned char* a = cairo_image_surface_get_data(drawn);
    const unsigned char* b = cairo_image_surface_get_data(golden);
    const int sa = cairo_image_surface_get_stride(drawn), sb = cairo_image_surface_get_stride(golden);
    // Another cairo, pixman or FreeType may round an antialiased edge differently: a few
    // levels on a few pixels pass, a moved or missing control does not.
    int differing = 0;
    for (int y = 0; y < kPanelHeight; ++y)
        for (int x = 0; x < kPanelWidth; ++x)
            for (int c = 0; c < 3; ++c)
                if (std::abs(int(a[y * sa + x * 4 + c]) - int(b[y * sb + x * 4 + c])) > 24) {
                    ++differing;
                    break;
                }
    cairo_surface_destroy(golden);
    EXPECT_LE(differing, kPanelWidth * kPanelHeight / 1000);
}

} // namespace
} // namespace moraine::gui
