#include "gui/PanelLayout.h"

#include "patch/ParameterTable.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>

namespace moraine::gui {
namespace {

// Every bound control once (the master bypass twice: switch and power light), the 89 jacks
// among them, and nineteen unbound controls in the top strip and around it. Parameters
// without a control (0, the beat-clock and tuning settings...) are reached through dialogs.
TEST(PanelLayout, CoversEveryControlOnce) {
    std::set<int> expected = {75, 76, 81};
    for (int p = 1; p <= 72; ++p) expected.insert(p);
    for (int j = 90; j <= 178; ++j) expected.insert(j);
    std::map<int, int> count;
    std::map<PanelAction, int> actions;
    std::set<std::string> ids;
    for (const PanelControl& c : panelControls()) {
        if (c.bound()) ++count[c.parameter];
        if (c.action != PanelAction::Parameter) ++actions[c.action];
        EXPECT_TRUE(ids.insert(c.id).second) << "duplicate id " << c.id;
    }
    for (const auto& [parameter, n] : count) {
        EXPECT_TRUE(expected.count(parameter)) << parameter;
        EXPECT_EQ(n, parameter == 1 ? 2 : 1) << parameter;
    }
    EXPECT_EQ(count.size(), expected.size());
    EXPECT_EQ(actions.size(), 19u);
    for (const auto& [action, n] : actions) EXPECT_EQ(n, 1);
    EXPECT_EQ(panelControls().size(), 19u + 61 + 10 + 4 + 89);
}

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
            }
        }
        if (c.widget == PanelWidget::Jack) {
            EXPECT_EQ(c.code, kJackTable[c.parameter - 89].code);
            EXPECT_STREQ(c.id, fourccText(c.code).c_str());
            EXPECT_TRUE(c.frame.x >= kPanelWidth || c.jackRole != JackRole::None);
            // Jacks sit a few pixels apart: a wider hit area takes a neighbour's click.
            EXPECT_EQ(c.frame.w, 14);
            EXPECT_EQ(c.frame.h, 14);
        } else if (c.bound() && c.parameter != 1) {
            EXPECT_EQ(c.code, parameterCode(c.parameter));
            EXPECT_STREQ(c.id, parameterInfo(c.parameter).name);
        }
    }
}

TEST(PanelLayout, LookupsFindTheirRows) {
    EXPECT_EQ(findPanelControl(PanelAction::Voices)->parameter, 81);
    EXPECT_EQ(findPanelControl("mlt4")->parameter, 178);
    EXPECT_EQ(findPanelControl(PanelAction::Keyboard)->keyLowest, 36);
    EXPECT_EQ(findPanelControl(0), nullptr);
    EXPECT_EQ(findPanelControl(PanelAction::Parameter), nullptr);
    EXPECT_NE(findPanelImage("HORZ_KNOB.PNG"), nullptr);
    EXPECT_EQ(findPanelImage("nothing.png"), nullptr);
    for (const PanelPopup& p : panelPopups()) EXPECT_NE(findPanelImage(p.image), nullptr) << p.id;
    for (const SliderLink& l : panelSliderLinks()) {
        EXPECT_EQ(findPanelControl(l.coarse)->widget, PanelWidget::Slider);
        EXPECT_EQ(findPanelControl(l.fine)->widget, PanelWidget::Slider);
    }
}

} // namespace
} // namespace moraine::gui
