// Jacks and cords on the whole panel, against the tests' stand-in for the instrument: the
// gestures, the jack parameters they send, values coming back from the host, the drawing.
#include "gui/Cable.h"

#include "gui/FakePanelHost.h"
#include "gui/PanelView.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace moraine::gui {
namespace {

using testing::FakePanelHost;
using Edit = FakePanelHost::Edit;

// Parameters of the jacks used below (jack number = parameter − 89).
constexpr int kSaw1 = 147;      // VCO1 Sawtooth Out, output
constexpr int kSaw3 = 153;      // VCO3 Sawtooth Out, output
constexpr int kOverride = 161;  // Mixer Override Input, input
constexpr int kMixVcf = 121;    // Mixer VCF Plug, input
constexpr int kReverbIn = 123;  // Reverb Input Plug, input
constexpr int kEnvGate = 113;   // Envelope Gate Plug, either
constexpr int kEnvTrig = 116;   // Envelope Trigger Plug, output
constexpr int kMult1 = 175;     // Multiple 1, either
constexpr int kMult2 = 176;     // Multiple 2, either
constexpr int kLeftOut = 162;   // Left Output Plug, beyond the window

int number(int parameter) { return parameter - 89; }

struct Editor {
    FakePanelHost host;
    Moraine_VSTView view{host};
    Editor() {
        view.idle();
        for (int i = 0; i < 100 && (view.canvas().modal() || view.messages().pending()); ++i) {
            view.canvas().keyDown(kKeyReturn, 0);
            view.idle();
        }
        host.clearEdits();
    }
    Moraine_Cable& jack(int parameter) {
        return *dynamic_cast<Moraine_Cable*>(view.control(parameter));
    }
    PanelRect frame(int parameter) { return jack(parameter).frame(); }
    void drag(int from, int to) {
        const PanelRect a = frame(from), b = frame(to);
        dragTo(a.x + 7, a.y + 7, b.x + 7, b.y + 7);
    }
    void dragTo(int x0, int y0, int x1, int y1) {
        CAUGuiCanvas& c = view.canvas();
        c.mouseDown(x0, y0, 0);
        c.mouseMove((x0 + x1) / 2, (y0 + y1) / 2, true, 0);
        c.mouseMove(x1, y1, true, 0);
        c.mouseUp(x1, y1, 0);
    }
    // What the instrument holds for a jack parameter.
    int value(int parameter) { return int(host.parameterValue(parameter)); }
    // The panel's lists always equal what the jack parameters declare.
    void expectCordsFollowParameters() {
        const JackRegistry& r = view.jacks();
        for (int i = 0; i < r.count(); ++i) {
            Moraine_Cable& j = *r.at(i);
            SCOPED_TRACE(j.number());
            EXPECT_EQ(j.floatValue(), host.parameterValue(j.parameter()));
            if (const int far = j.declared()) {
                EXPECT_TRUE(j.isConnectedTo(*r.byNumber(far)));
            }
            for (const auto& c : j.connections()) {
                EXPECT_TRUE(c.jack->isConnectedTo(j));
                EXPECT_TRUE(j.declared() == c.jack->number() || c.jack->declared() == j.number());
            }
        }
    }
};

TEST(Cable, ConnectionRuleByKind) {
    const struct {
        int a, b;
        bool allowed;
    } cases[] = {
        {kJackInput, kJackInput, false},   {kJackOutput, kJackOutput, false},
        {kJackInput, kJackOutput, true},   {kJackOutput, kJackInput, true},
        {kJackEither, kJackInput, true},   {kJackEither, kJackOutput, true},
        {kJackEither, kJackEither, true},  {kJackOutput, kJackEither, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.a << " with " << c.b);
        EXPECT_EQ(cordAllowed(c.a, c.b), c.allowed);
    }
}

TEST(Cable, RegistryFollowsCreationOrderAndHitTestEdges) {
    Editor e;
    const JackRegistry& r = e.view.jacks();
    ASSERT_EQ(r.count(), 89);
    int i = 0;
    for (const PanelControl& row : panelControls()) {
        if (row.widget != PanelWidget::Jack) continue;
        SCOPED_TRACE(row.parameter);
        EXPECT_EQ(r.at(i)->parameter(), row.parameter);
        EXPECT_EQ(r.at(i)->code(), row.code);
        EXPECT_EQ(r.at(i)->kind(), int(row.jackRole));
        ++i;
    }
    // Left and top inclusive, right and bottom exclusive: frame 25, 297, 14 × 14.
    EXPECT_EQ(r.hitTest(25, 297), &e.jack(90));
    EXPECT_EQ(r.hitTest(38, 310), &e.jack(90));
    EXPECT_EQ(r.hitTest(39, 297), nullptr);
    EXPECT_EQ(r.hitTest(25, 311), nullptr);
    EXPECT_EQ(r.hitTest(24, 300), nullptr);
    // The output jacks beyond the window exist but are never found.
    EXPECT_EQ(e.frame(kLeftOut).x, 1099);
    EXPECT_EQ(r.hitTest(1100, 105), nullptr);
    EXPECT_EQ(r.byNumber(number(kLeftOut)), &e.jack(kLeftOut));
}

TEST(Cable, DraggingAnOutputToAnInputPlugsACord) {
    Editor e;
    e.drag(kSaw1, kOverride);
    // The receiving end holds the far jack's number, as one gesture the host records.
    EXPECT_EQ(e.host.edits(), (std::vector<Edit>{{'b', kOverride, 0.0f},
                                                 {'s', kOverride, float(number(kSaw1))},
                                                 {'e', kOverride, 0.0f}}));
    EXPECT_EQ(e.value(kSaw1), 0);
    EXPECT_TRUE(e.jack(kSaw1).isConnectedTo(e.jack(kOverride)));
    EXPECT_TRUE(e.jack(kOverride).isConnectedTo(e.jack(kSaw1)));
    EXPECT_FALSE(e.jack(kSaw1).dragging());
    e.expectCordsFollowParameters();

    // Pressing on the input and dropping on empty panel pulls it out again.
    const PanelRect in = e.frame(kOverride);
    e.host.clearEdits();
    e.dragTo(in.x + 7, in.y + 7, 500, 250);
    EXPECT_EQ(e.value(kOverride), 0);
    EXPECT_TRUE(e.jack(kSaw1).connections().empty());
    EXPECT_TRUE(e.jack(kOverride).connections().empty());
    e.expectCordsFollowParameters();
}

TEST(Cable, KindsDecideWhichEndHoldsTheNumber) {
    const struct {
        int from, to;
        int holder, held; // holder −1: refused
    } cases[] = {
        {kOverride, kMixVcf, -1, 0},       // input on input
        {kSaw1, kSaw3, -1, 0},             // output on output
        {kOverride, kSaw1, kOverride, kSaw1}, // from the input end
        {kEnvGate, kEnvTrig, kEnvGate, kEnvTrig}, // either with an output
        {kEnvTrig, kEnvGate, kEnvGate, kEnvTrig},
        {kMult1, kMult2, kMult2, kMult1},  // either with either: the far end holds it
        {kMult1, kOverride, kOverride, kMult1},
        {kOverride, kMult1, kOverride, kMult1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.from << " to " << c.to);
        Editor e;
        e.drag(c.from, c.to);
        if (c.holder < 0) {
            EXPECT_TRUE(e.host.edits().empty());
            EXPECT_TRUE(e.jack(c.from).connections().empty());
            EXPECT_TRUE(e.jack(c.to).connections().empty());
        } else {
            EXPECT_EQ(e.value(c.holder), number(c.held));
            EXPECT_EQ(e.value(c.holder == c.from ? c.to : c.from), 0);
            EXPECT_TRUE(e.jack(c.from).isConnectedTo(e.jack(c.to)));
        }
        e.expectCordsFollowParameters();
    }
}

TEST(Cable, OneCordPerInputManyPerOutput) {
    Editor e;
    // A second cord from an output starts at the input: pressing on the plugged output
    // would pick its cord up.
    e.drag(kOverride, kSaw1);
    e.drag(kMixVcf, kSaw1);
    EXPECT_EQ(e.jack(kSaw1).connections().size(), 2u);
    // Another output on the same input replaces its cord; the first output keeps the other.
    e.drag(kSaw3, kOverride);
    EXPECT_EQ(e.value(kOverride), number(kSaw3));
    EXPECT_EQ(e.value(kMixVcf), number(kSaw1));
    EXPECT_FALSE(e.jack(kSaw1).isConnectedTo(e.jack(kOverride)));
    EXPECT_TRUE(e.jack(kSaw1).isConnectedTo(e.jack(kMixVcf)));
    EXPECT_EQ(e.jack(kOverride).connections().size(), 1u);
    e.expectCordsFollowParameters();
}

TEST(Cable, CarriedPlugsLandOnAnotherJack) {
    Editor e;
    for (int in : {kOverride, kMixVcf, kReverbIn}) e.drag(in, kSaw1);
    ASSERT_EQ(e.jack(kSaw1).connections().size(), 3u);

    // The press pulls all three plugs out of the output; they follow the pointer.
    const PanelRect out = e.frame(kSaw1), other = e.frame(kSaw3);
    CAUGuiCanvas& c = e.view.canvas();
    e.host.clearEdits();
    c.mouseDown(out.x + 7, out.y + 7, 0);
    EXPECT_TRUE(e.jack(kSaw1).connections().empty());
    EXPECT_EQ(e.jack(kSaw1).dragList().size(), 3u);
    for (int in : {kOverride, kMixVcf, kReverbIn}) EXPECT_EQ(e.value(in), 0);
    c.mouseMove(300, 200, true, 0);
    for (const auto& carried : e.jack(kSaw1).dragList())
        EXPECT_EQ(carried.farEnd, (PanelRect{293, 193, 14, 14}));
    e.view.idle();
    c.mouseMove(other.x + 7, other.y + 7, true, 0);
    c.mouseUp(other.x + 7, other.y + 7, 0);

    for (int in : {kOverride, kMixVcf, kReverbIn}) {
        SCOPED_TRACE(in);
        EXPECT_EQ(e.value(in), number(kSaw3));
        EXPECT_TRUE(e.jack(kSaw3).isConnectedTo(e.jack(in)));
    }
    EXPECT_TRUE(e.jack(kSaw1).dragList().empty());
    EXPECT_EQ(e.jack(kSaw3).connections().size(), 3u);
    e.expectCordsFollowParameters();

    // Carried onto an input (refused for inputs) they are simply gone.
    c.mouseDown(other.x + 7, other.y + 7, 0);
    const PanelRect input = e.frame(kEnvGate - 1); // VCF ADSR CV, an input
    c.mouseUp(input.x + 7, input.y + 7, 0);
    EXPECT_TRUE(e.jack(kSaw3).connections().empty());
    for (int in : {kOverride, kMixVcf, kReverbIn}) EXPECT_EQ(e.value(in), 0);
    e.expectCordsFollowParameters();
}

TEST(Cable, HostChangesRedrawBothEndsWithoutReportingBack) {
    Editor e;
    e.host.hostSets(kOverride, float(number(kSaw1)));
    const auto& damage = e.view.idle();
    EXPECT_TRUE(e.jack(kSaw1).isConnectedTo(e.jack(kOverride)));
    auto covered = [&](const PanelRect& f) {
        for (const PanelRect& d : damage)
            if (intersect(d, f) == f) return true;
        return false;
    };
    EXPECT_TRUE(covered(e.frame(kSaw1)));
    EXPECT_TRUE(covered(e.frame(kOverride)));
    // A host value below one is a thousandth of the jack number.
    e.jack(kMixVcf).setFloatValue(0.005f);
    EXPECT_EQ(e.jack(kMixVcf).declared(), 5);
    // Undo in the host: the cord goes; nothing was sent back.
    e.host.hostSets(kOverride, 0.0f);
    e.view.idle();
    EXPECT_TRUE(e.jack(kSaw1).connections().empty());
    EXPECT_TRUE(e.host.edits().empty());
}

TEST(Cable, BadValuesAndBurstsNeverLeaveStrayCords) {
    Editor e;
    const float bad[] = {500.0f, -3.0f, std::numeric_limits<float>::quiet_NaN(),
                         std::numeric_limits<float>::infinity(), float(number(kOverride))};
    for (float v : bad) {
        SCOPED_TRACE(v);
        e.jack(kOverride).setFloatValue(float(number(kSaw1)));
        e.jack(kOverride).setFloatValue(v); // not a jack, or the jack itself
        EXPECT_TRUE(e.jack(kOverride).connections().empty());
        EXPECT_TRUE(e.jack(kSaw1).connections().empty());
    }
    e.jack(kOverride).setFloatValue(0.0f);

    // A hundred cords in and out from host automation while a cord is being dragged.
    const PanelRect out = e.frame(kSaw3);
    CAUGuiCanvas& c = e.view.canvas();
    c.mouseDown(out.x + 7, out.y + 7, 0);
    for (int i = 0; i < 100; ++i) {
        const int in = kFirstJackParam + (i % 33); // the inputs along the top row
        e.host.hostSets(in, i % 2 ? 0.0f : float(number(kSaw1)));
        c.mouseMove(100 + i * 8, 200 + i, true, 0);
        if (i % 10 == 0) e.view.idle();
    }
    e.view.idle();
    c.mouseUp(5, 5, 0);
    e.view.idle();
    e.expectCordsFollowParameters();

    // A press while a message box is open goes to the box, not to the jack.
    e.view.messages().inform("busy");
    e.view.idle();
    ASSERT_NE(e.view.canvas().modal(), nullptr);
    e.host.clearEdits();
    e.drag(kSaw1, kReverbIn);
    EXPECT_TRUE(e.host.edits().empty());
    EXPECT_FALSE(e.jack(kSaw1).dragging());

    // Dropping on the jack it started from, or beyond the window's edge, plugs nothing.
    e.view.canvas().keyDown(kKeyReturn, 0);
    e.view.idle();
    e.drag(kSaw3, kSaw3);
    e.dragTo(out.x + 7, out.y + 7, 1105, 105);
    EXPECT_TRUE(e.jack(kSaw3).connections().empty());
    EXPECT_TRUE(e.jack(kLeftOut).connections().empty());
    e.expectCordsFollowParameters();
}

// Every point of each of the three strokes, with its pen, lies inside the bounds grown
// by half a plug (what a drag redraws).
TEST(Cable, CordBoundsHoldTheSag) {
    Editor e;
    Moraine_Cable& from = e.jack(kSaw1);
    const PanelRect f = from.frame();
    for (const PanelRect far : {PanelRect{f.x, f.y, 14, 14}, PanelRect{f.x + 300, f.y, 14, 14},
                                PanelRect{f.x - 200, f.y + 400, 14, 14},
                                PanelRect{f.x + 600, f.y - 150, 14, 14},
                                PanelRect{f.x + 10, f.y + 30, 14, 14}}) {
        SCOPED_TRACE(::testing::Message() << far.x << "," << far.y);
        const PanelRect b = grow(from.cordBounds(far), 7);
        const double y1 = f.y, y2 = far.y, x1 = f.x, x2 = far.x, s = 60.0;
        const double t0 = (y1 - y2) / (6 * s) - 1.5, t1 = t0 + 3;
        for (double t = t0; t <= t1; t += 0.01) {
            const double y = y1 - (t * t - t0 * t0) * s;
            const double x = x1 - (t - t0) / (t1 - t0) * (x1 - x2);
            // The widest pen (6) at offset (6, 6); the others reach (8, 8) with 3.
            EXPECT_GE(x + 3, b.x);
            EXPECT_GE(y + 3, b.y);
            EXPECT_LE(x + 8 + 1.5, b.right());
            EXPECT_LE(y + 8 + 1.5, b.bottom());
        }
    }
}

TEST(Cable, CordIsDrawnAndErased) {
    Editor e;
    const PanelRect a = e.frame(kSaw1), b = e.frame(kOverride);
    // The lowest point of the cord: x halfway along the curve at t = 0.
    const double t0 = (a.y - b.y) / 360.0 - 1.5, t1 = t0 + 3;
    const int x = int(a.x - (-t0) / (t1 - t0) * (a.x - b.x)) + 6;
    const int y = int(a.y + t0 * t0 * 60.0) + 6;
    auto pixel = [&] {
        return e.view.canvas().pixels()[y * e.view.canvas().stride() / 4 + x] & 0xffffff;
    };
    const std::uint32_t before = pixel();
    e.drag(kSaw1, kOverride);
    e.view.idle();
    const std::uint32_t cord = pixel();
    EXPECT_NE(cord, before);
    const int r = (cord >> 16) & 255, g = (cord >> 8) & 255, bl = cord & 255;
    EXPECT_EQ(r, g);
    EXPECT_EQ(g, bl);
    EXPECT_GE(r, 110);
    EXPECT_LE(r, 170);
    e.dragTo(b.x + 7, b.y + 7, 500, 250);
    e.view.idle();
    EXPECT_EQ(pixel(), before);
}

} // namespace
} // namespace moraine::gui
