// The art compiled into the plug-in: every image the panel and the dialogs load is there,
// under its exact name, as an 8-bit PNG of the size and frame count its users assume.
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

struct Expected {
    const char* name;
    int width, frameHeight, frames;
    int colourType = kRgba;
};

// The panel's images and the dialogs', with the frame size and count each is drawn at.
constexpr Expected kImages[] = {
    {"Stereo-Stereo-Board1.2.0.png", 1010, 623, 1},
    {"horz_knob.png", 21, 24, 1},
    {"vert_knob.png", 25, 21, 1},
    {"smallslider.png", 17, 17, 1},
    {"vert_switch.png", 9, 14, 1},
    {"horz_switch.png", 14, 9, 1},
    {"dial.png", 44, 44, 1},
    {"cableend.png", 20, 20, 1},
    {"goldplug.png", 14, 14, 1},
    {"transpose.png", 29, 38, 3},
    {"tpos_switch.png", 9, 24, 3},
    {"powerlight.png", 34, 34, 2},
    {"ptchmgr.png", 98, 17, 2},
    {"save.png", 44, 17, 2},
    {"saveas.png", 44, 17, 2},
    {"midi.png", 19, 19, 2},
    {"reset.png", 23, 23, 2},
    {"lock.png", 17, 17, 2},
    {"Morainelogo.png", 197, 63, 1},
    {"led_front.png", 328, 50, 1},
    {"led_back_mr.png", 328, 50, 1},
    {"envbutton.png", 12, 11, 2},
    {"Notes_Box.png", 190, 114, 1, kRgb},
    {"midimap.png", 450, 500, 1},
    {"saveasback.png", 450, 500, 1},
    {"patch.png", 670, 450, 1},
    {"midibeat.png", 500, 380, 1},
    {"microselect.png", 340, 210, 1},
    {"aboutBack.png", 600, 450, 1},
    {"cancel.png", 80, 24, 2},
    {"copy.png", 80, 24, 2},
    {"cut.png", 80, 24, 2},
    {"delete.png", 80, 24, 2},
    {"down.png", 80, 24, 2},
    {"export.png", 80, 24, 2},
    {"import.png", 80, 24, 2},
    {"newcat.png", 80, 24, 2},
    {"newgroup.png", 80, 24, 2},
    {"ok.png", 80, 24, 2},
    {"paste.png", 80, 24, 2},
    {"rename.png", 80, 24, 2},
    {"select.png", 80, 24, 2},
    {"up.png", 80, 24, 2},
    {"checkbox.png", 20, 22, 2},
    {"linear.png", 24, 24, 2},
    {"log.png", 24, 24, 2},
    {"exp.png", 24, 24, 2},
    {"leftrangecap.png", 20, 20, 1},
    {"rightrangecap.png", 20, 20, 1},
    {"menu_left.png", 6, 20, 1},
    {"menu_center.png", 130, 20, 1},
    {"menu_right.png", 18, 20, 1},
    {"gradient.png", 255, 4, 1, kRgb},
    {"flatlogo.png", 197, 37, 1},
    {"unlock.png", 50, 50, 1},
    {"smallslider1.png", 17, 37, 1},
    {"small_back1.png", 82, 37, 1},
};

TEST(PanelImages, EveryImageIsEmbeddedAtItsSizeAndFrameCount) {
    for (const Expected& e : kImages) {
        SCOPED_TRACE(e.name);
        const PngHeader h = readHeader(findResource(e.name));
        ASSERT_TRUE(h.valid) << "missing or not a PNG";
        EXPECT_EQ(h.width, e.width);
        EXPECT_EQ(h.height, e.frameHeight * e.frames) << "a strip is its frames stacked";
        EXPECT_EQ(h.bitDepth, 8);
        EXPECT_EQ(h.colourType, e.colourType);
    }
}

// What the panel's layout table says it loads agrees with what is embedded.
TEST(PanelImages, TheLayoutTablesImagesAreEmbeddedAsListed) {
    for (const gui::PanelImage& i : gui::panelImages()) {
        SCOPED_TRACE(i.name);
        const PngHeader h = readHeader(findResource(i.name));
        ASSERT_TRUE(h.valid) << "missing or not a PNG";
        EXPECT_EQ(h.width, i.width);
        EXPECT_EQ(h.height, i.height);
        EXPECT_EQ(h.height % i.frames, 0) << "frames of unequal height";
        EXPECT_EQ(h.colourType, i.alpha ? kRgba : kRgb);
        bool listed = false;
        for (const Expected& e : kImages)
            listed = listed || (std::string_view(e.name) == i.name && e.frames == i.frames);
        EXPECT_TRUE(listed) << "not in this test's list with the same frame count";
    }
    for (const gui::PanelControl& c : gui::panelControls())
        for (const char* name : {c.image, c.backImage}) {
            if (!name) continue;
            EXPECT_FALSE(findResource(name).empty()) << c.id << ": " << name;
        }
}

TEST(PanelImages, NamesAreExactAndDamagedBytesAreRefused) {
    EXPECT_TRUE(findResource("HORZ_KNOB.PNG").empty())
        << "the store is exact; the panel folds case";
    EXPECT_FALSE(readHeader("").valid);
    const std::string_view board = findResource("Stereo-Stereo-Board1.2.0.png");
    ASSERT_GT(board.size(), 33u);
    std::string damaged(board.substr(0, 33));
    damaged[1] = 'Q';
    EXPECT_FALSE(readHeader(damaged).valid);
    EXPECT_FALSE(readHeader(board.substr(0, 20)).valid);
}

} // namespace
} // namespace moraine
