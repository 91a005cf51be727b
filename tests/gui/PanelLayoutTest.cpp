#include "gui/PanelLayout.h"

#include "patch/ParameterTable.h"

#include <gtest/gtest.h>

namespace moraine::gui {
namespace {

// That every control is there, once, is seen by the golden panel image and by the panel
// building each row (PanelView.BuildsEveryRowWithTheInstrumentsValues).
TEST(PanelLayout, RowsAgreeWithTheirImagesAndParameters) {
    for (const PanelControl& c : panelControls()) {
        SCOPED_TRACE(c.id);
        const PanelRect a = c.active();
        // Gate buttons draw and hit in their frame; their inset leaves nothing active.
        EXPECT_TRUE(c.buttonMode == ButtonMode::Gate || !a.empty());
        EXPECT_GE(a.x, c.frame.x);
        EXPECT_LE(a.right(), c.frame.right());
        if (c.parameter == 162 || c.parameter == 163) {
            EXPECT_GE(c.frame.x, kPanelWidth); // out of sight by design
        } else {
            EXPECT_GE(c.frame.x, 0);
            EXPECT_GE(c.frame.y, 0);
            EXPECT_LE(c.frame.right(), kPanelWidth);
            EXPECT_LE(c.frame.bottom(), kPanelHeight);
        }
        for (const char* name : {c.image, c.backImage}) {
            if (!name) continue;
            const PanelImage* image = findPanelImage(name);
            ASSERT_NE(image, nullptr) << name;
            if (name == c.image) {
                EXPECT_EQ(image->frames, c.frames);
                // Sliders stand side by side, the closest 24 pixels apart: a horizontal one is
                // as tall as its handle, every vertical one 24 wide. A switch is as narrow as
                // its handle.
                const bool vertical = c.orientation == Orientation::Vertical;
                if (image->kind == ImageKind::Handle) {
                    const int wide = c.widget == PanelWidget::Slider ? 24 : image->width;
                    EXPECT_EQ(vertical ? c.frame.w : c.frame.h, vertical ? wide : image->height);
                }
            }
        }
        if (c.widget == PanelWidget::Jack) {
            EXPECT_EQ(c.code, kJackTable[c.parameter - 89].code);
            EXPECT_STREQ(c.id, fourccText(c.code).c_str());
            EXPECT_TRUE(c.frame.x >= kPanelWidth || c.jackRole != JackRole::None);
            // Jacks sit a few pixels apart: a wider hit area takes a neighbour's click, a
            // narrower one loses a click on the socket's rim.
            EXPECT_EQ(c.frame.w, 14);
            EXPECT_EQ(c.frame.h, 14);
            EXPECT_EQ(a, c.frame);
        } else if (c.bound() && c.parameter != 1) {
            EXPECT_EQ(c.code, parameterCode(c.parameter));
            EXPECT_STREQ(c.id, parameterInfo(c.parameter).name);
        }
    }
    // The small sliders by the keyboard stand in one column; the golden image forgives the
    // few pixels a handle moved by one would change.
    for (int p : {66, 67}) EXPECT_EQ(findPanelControl(p)->frame.x, findPanelControl(65)->frame.x);
    // The two channels' level meters stack without a gap; at rest neither shows on the image.
    EXPECT_EQ(findPanelControl(PanelAction::LevelMeter1)->frame.y,
              findPanelControl(PanelAction::LevelMeter0)->frame.bottom());
}

} // namespace
} // namespace moraine::gui
