#include "gui/Canvas.h"
#include "gui/Widgets.h"

#include <gtest/gtest.h>

#include <cmath>

namespace moraine::gui {
namespace {

// A bare bound control registered on a canvas of its own.
struct Fixture {
    CAUGuiCanvas canvas{nullptr};
    CAUGuiCtrl* add(int parameter, PanelRect frame, int resolution) {
        return canvas.addTopLevel(std::make_unique<CAUGuiCtrl>(canvas, parameter, frame, resolution));
    }
};

TEST(ControlFramework, ValueModelBothWays) {
    Fixture f;
    // Linear: VCO2 Pulse Width, 0.1..0.9 at 1000 steps per unit. The float range is a hair
    // under 0.8, and the integer range is truncated from it: 0..799.
    CAUGuiCtrl* lin = f.add(12, {0, 0, 10, 10}, 1000);
    EXPECT_EQ(lin->intMaximum(), 799);
    lin->setFloatValue(0.5f);
    EXPECT_EQ(lin->intValue(), 399);
    EXPECT_NEAR(lin->intToFloat(399), 0.5f, 1e-3);
    EXPECT_NEAR(lin->intToFloat(0), 0.1f, 1e-7);
    lin->setFloatValue(5.0f); // beyond the range: clamped to the integer range
    EXPECT_EQ(lin->intValue(), 799);
    lin->setFloatValue(-5.0f);
    EXPECT_EQ(lin->intValue(), 0);

    // Logarithmic: ADSR Attack Time, 0.003..100 s.
    CAUGuiCtrl* log = f.add(33, {0, 0, 10, 10}, 1000);
    const ParameterInfo& p = parameterInfo(33);
    ASSERT_TRUE(p.flags & 0x10);
    EXPECT_FLOAT_EQ(log->intToFloat(0), p.minimum); // exactly the minimum at 0
    const float top = log->intToFloat(log->intMaximum());
    EXPECT_NEAR(top, p.minimum + 0.9999f * (p.maximum - p.minimum), 1e-3);
    for (int i : {1, 250, 500, 750, 99000}) {
        SCOPED_TRACE(i);
        const int n = std::min(i, log->intMaximum());
        const int back = log->floatToInt(log->intToFloat(n));
        EXPECT_NEAR(back, n, 1); // truncation may lose one step
    }
}

TEST(ControlFramework, TipBoxPlacementEdges) {
    Fixture f;
    struct Case {
        PanelRect frame;
        PanelRect tip;
    } cases[] = {
        {{10, 70, 20, 30}, {10, 100, 150, 45}},  // y 70: below
        {{10, 71, 20, 30}, {10, 26, 150, 45}},   // y 71: above
        {{800, 100, 20, 30}, {800, 55, 150, 45}}, // x 800 stays
        {{801, 100, 20, 30}, {671, 55, 150, 45}}, // x 801: 130 to the left
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.frame.x * 1000 + c.frame.y);
        EXPECT_EQ(f.add(12, c.frame, 1000)->tipBox(), c.tip);
    }
}

TEST(ControlFramework, DirtyListHoldsAtMost1023) {
    RectList list;
    for (int i = 0; i < 2000; ++i) list.add({i, 0, 1, 1});
    EXPECT_EQ(list.count(), 1023);
    EXPECT_TRUE(list.add({5, 0, 1, 1})); // already held: accepted, not added
    EXPECT_EQ(list.count(), 1023);
    list.clear();
    EXPECT_EQ(list.count(), 0);

    // A control with a full list still draws what it holds.
    Fixture f;
    CAUGuiCtrl* c = f.add(-1, {0, 0, 1010, 623}, 0);
    f.canvas.redraw();
    for (int i = 0; i < 1100; ++i) c->invalidateRect({i % 1010, i / 1010, 1, 1});
    EXPECT_EQ(c->dirtyList().count(), 1023);
    EXPECT_FALSE(f.canvas.redraw().empty());
    EXPECT_FALSE(c->dirty());
}

TEST(ControlFramework, HitTestExcludesRightAndBottomEdges) {
    Fixture f;
    CAUGuiCtrl* pane = f.add(-1, {0, 0, 100, 100}, 0);
    CAUGuiCtrl* child = pane->addChild(std::make_unique<CAUGuiCtrl>(f.canvas, PanelRect{10, 10, 20, 20}));
    EXPECT_EQ(f.canvas.hitTest(10, 10), child);
    EXPECT_EQ(f.canvas.hitTest(29, 29), child);
    EXPECT_EQ(f.canvas.hitTest(30, 15), pane);
    EXPECT_EQ(f.canvas.hitTest(15, 30), pane);
    EXPECT_EQ(f.canvas.hitTest(100, 5), nullptr);
}

struct ShiftListener : CanvasListener {
    int requested = -1;
    void midiMapRequested(int p) override { requested = p; }
};

TEST(ControlFramework, ShiftClickBelow79OpensTheMidiMapOnly) {
    Fixture f;
    ShiftListener listener;
    f.canvas.setListener(&listener);
    CAUGuiCtrl* pane = f.add(-1, {0, 0, 200, 100}, 0);
    auto* low = static_cast<CAUGuiButton*>(pane->addChild(std::make_unique<CAUGuiButton>(
        f.canvas, 61, PanelRect{0, 0, 20, 20}, nullptr, ButtonMode::Toggle)));
    auto* high = static_cast<CAUGuiButton*>(pane->addChild(std::make_unique<CAUGuiButton>(
        f.canvas, 79, PanelRect{50, 0, 20, 20}, nullptr, ButtonMode::Toggle)));
    f.canvas.mouseDown(5, 5, kModShift);
    f.canvas.mouseUp(5, 5, kModShift);
    EXPECT_EQ(listener.requested, 61);
    EXPECT_EQ(low->intValue(), 0); // the press went to the popup, not the switch
    listener.requested = -1;
    f.canvas.mouseDown(55, 5, kModShift);
    f.canvas.mouseUp(55, 5, kModShift);
    EXPECT_EQ(listener.requested, -1);
    EXPECT_EQ(high->intValue(), high->intMaximum()); // a plain click
}

TEST(ControlFramework, HoverTipAfterFiveTicksAndOnlyWithTips) {
    for (bool tips : {true, false}) {
        SCOPED_TRACE(tips);
        Fixture f;
        f.canvas.setShowTips(tips);
        CAUGuiCtrl* pane = f.add(-1, {0, 0, 400, 300}, 0);
        pane->addChild(std::make_unique<CAUGuiCtrl>(f.canvas, 12, PanelRect{100, 100, 20, 80}, 1000));
        f.canvas.redraw();
        f.canvas.mouseMove(105, 120, false, 0);
        for (int tick = 1; tick < CAUGuiCanvas::kHoverTicks; ++tick) {
            f.canvas.redraw();
            EXPECT_FALSE(f.canvas.tipVisible()) << tick;
        }
        f.canvas.redraw();
        EXPECT_EQ(f.canvas.tipVisible(), tips);
        // Moving to another control hides it and starts again.
        f.canvas.mouseMove(300, 250, false, 0);
        EXPECT_FALSE(f.canvas.tipVisible());
    }
}

} // namespace
} // namespace moraine::gui
