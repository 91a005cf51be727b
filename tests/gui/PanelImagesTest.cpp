// The art compiled into the plug-in: every image the panel loads is there, under its exact
// name, as a PNG of the size and frame count the layout table assumes. (The dialogs' images
// are checked where the dialogs load them.)
#include "gui/PanelLayout.h"
#include "platform/Resources.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace moraine {
namespace {

struct PngHeader {
    bool valid = false;
    int width = 0, height = 0, bitDepth = 0, colourType = 0;
};

// The IHDR chunk, which a PNG must start with after its signature.
PngHeader readHeader(std::string_view bytes) {
    static const unsigned char kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    PngHeader h;
    if (bytes.size() < 33 ||
        bytes.compare(0, 8, std::string_view(reinterpret_cast<const char*>(kSignature), 8)))
        return h;
    if (bytes.substr(12, 4) != "IHDR") return h;
    auto be32 = [&](std::size_t at) {
        std::uint32_t v = 0;
        for (int i = 0; i < 4; ++i) v = (v << 8) | static_cast<unsigned char>(bytes[at + i]);
        return int(v);
    };
    h.width = be32(16);
    h.height = be32(20);
    h.bitDepth = static_cast<unsigned char>(bytes[24]);
    h.colourType = static_cast<unsigned char>(bytes[25]);
    h.valid = true;
    return h;
}

constexpr int kRgb = 2, kRgba = 6;

// What the panel's layout table says it loads agrees with what is embedded (every control's
// image is in that table: PanelLayout.RowsAgreeWithTheirImagesAndParameters).
TEST(PanelImages, TheLayoutTablesImagesAreEmbeddedAsListed) {
    for (const gui::PanelImage& i : gui::panelImages()) {
        SCOPED_TRACE(i.name);
        const PngHeader h = readHeader(findResource(i.name));
        ASSERT_TRUE(h.valid) << "missing or not a PNG";
        EXPECT_EQ(h.width, i.width);
        EXPECT_EQ(h.height, i.height);
        EXPECT_EQ(h.height % i.frames, 0) << "frames of unequal height";
        EXPECT_EQ(h.bitDepth, 8);
        EXPECT_EQ(h.colourType, i.alpha ? kRgba : kRgb);
    }
}

TEST(PanelImages, NamesAreExact) {
    EXPECT_FALSE(findResource("horz_knob.png").empty());
    EXPECT_TRUE(findResource("HORZ_KNOB.PNG").empty()) << "the store is exact; the panel folds case";
}

} // namespace
} // namespace moraine
