// Jacks and cords on the whole panel against the stand-in instrument: gestures, the jack
// parameters they send, values coming back from the host.
#include "gui/Cable.h"

#include "gui/FakePanelHost.h"
#include "gui/PanelView.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>

namespace moraine::gui {
namespace {

using Edit = testing::FakePanelHost::Edit;

// Jack parameters (jack number = parameter − 89).
constexpr int kSaw1 = 147, kSaw3 = 153;                        // outputs
constexpr int kOverride = 161, kMixVcf = 121, kReverbIn = 123; // inputs
constexpr int kEnvGate = 113, kEnvTrig = 116;                  // either, output
constexpr int kMult1 = 175, kMult2 = 176;                      // either
constexpr int kLeftOut = 162;                                  // beyond the window

int number(int parameter) {
    return parameter - 89;
}

struct Editor : testing::FakeEditor {
    Editor() { host.edits.clear(); }
    Moraine_Cable& jack(int parameter) {
        return *dynamic_cast<Moraine_Cable*>(view.control(parameter));
    }
    PanelRect frame(int parameter) { return jack(parameter).frame(); }
    void drag(int from, int to) {
        const PanelRect a = frame(from), b = frame(to);
        dragTo(a.x + 7, a.y + 7, b.x + 7, b.y + 7);
    }
    void dragTo(int x0, int y0, int x1, int y1) {
        c.mouseDown(x0, y0, 0);
        c.mouseMove((x0 + x1) / 2, (y0 + y1) / 2, true, 0);
        c.mouseMove(x1, y1, true, 0);
        c.mouseUp(x1, y1, 0);
    }
    int value(int parameter) { return int(host.parameterValue(parameter)); }
    bool linked(int a, int b) { return jack(a).isConnectedTo(jack(b)); }
    // The panel's cords always equal what the jack parameters declare, seen from both ends.
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

TEST(Cable, RegistryHitTestEdges) {
    Editor e;
    const JackRegistry& r = e.view.jacks();
    // Frame 25, 297, 14 × 14: left and top inclusive, right and bottom exclusive.
    EXPECT_EQ(r.hitTest(25, 297), &e.jack(90));
    EXPECT_EQ(r.hitTest(38, 310), &e.jack(90));
    for (auto [x, y] : {std::pair{39, 297}, {25, 311}, {24, 300}, {1100, 105}}) // last: kLeftOut
        EXPECT_EQ(r.hitTest(x, y), nullptr) << x << "," << y;
}

// A drag from one jack to another plugs a cord as one gesture on the end that holds the far
// jack's number (refused between two inputs or two outputs); dragged from that end back to
// the bare panel it is pulled out.
TEST(Cable, KindsDecideWhichEndHoldsTheNumberAndBarePanelPullsTheCord) {
    const struct {
        int from, to, holder, held; // holder −1: refused
    } cases[] = {
        {kOverride, kMixVcf, -1, 0},
        {kSaw1, kSaw3, -1, 0},
        {kSaw1, kOverride, kOverride, kSaw1},
        {kOverride, kSaw1, kOverride, kSaw1},
        {kEnvGate, kEnvTrig, kEnvGate, kEnvTrig},
        {kMult1, kMult2, kMult2, kMult1}, // either with either: the far end holds it
        {kMult1, kOverride, kOverride, kMult1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.from << " to " << c.to);
        Editor e;
        e.drag(c.from, c.to);
        e.expectCordsFollowParameters();
        if (c.holder < 0) {
            EXPECT_TRUE(e.host.edits.empty());
            EXPECT_TRUE(e.jack(c.from).connections().empty() && e.jack(c.to).connections().empty());
            continue;
        }
        const float held = float(number(c.held));
        EXPECT_EQ(e.host.edits,
                  (std::vector<Edit>{{'b', c.holder, 0}, {'s', c.holder, held}, {'e', c.holder, 0}}));
        EXPECT_EQ(e.value(c.holder == c.from ? c.to : c.from), 0);
        EXPECT_TRUE(e.linked(c.from, c.to));
        const PanelRect f = e.frame(c.holder);
        e.dragTo(f.x + 7, f.y + 7, 500, 250);
        EXPECT_EQ(e.value(c.holder), 0);
        EXPECT_TRUE(e.jack(c.from).connections().empty() && e.jack(c.to).connections().empty());
        e.expectCordsFollowParameters();
    }
}

TEST(Cable, OneCordPerInputManyPerOutput) {
    Editor e;
    const PanelRect in = e.frame(kOverride);
    const std::uint32_t& above = e.c.pixels()[(in.y - 6) * e.c.stride() / 4 + in.x + 6];
    const int bare = above & 0xff;
    // From the input ends: pressing on a plugged output would pick its cords up.
    e.drag(kOverride, kSaw1);
    e.view.idle();
    EXPECT_NEAR(above & 0xff, bare, 8); // a cord leaves its plug downwards, never above it
    e.drag(kMixVcf, kSaw1);
    EXPECT_EQ(e.jack(kSaw1).connections().size(), 2u);
    e.drag(kSaw3, kOverride); // replaces the input's cord; the first output keeps the other
    EXPECT_EQ(e.value(kOverride), number(kSaw3));
    EXPECT_EQ(e.value(kMixVcf), number(kSaw1));
    EXPECT_TRUE(!e.linked(kSaw1, kOverride) && e.linked(kSaw1, kMixVcf));
    e.expectCordsFollowParameters();
}

TEST(Cable, CarriedPlugsLandOnAnotherJack) {
    Editor e;
    const int ins[] = {kOverride, kMixVcf, kReverbIn};
    for (int in : ins) e.drag(in, kSaw1);
    // The press pulls all three plugs out of the output; they follow the pointer.
    const PanelRect out = e.frame(kSaw1), other = e.frame(kSaw3);
    e.c.mouseDown(out.x + 7, out.y + 7, 0);
    EXPECT_TRUE(e.jack(kSaw1).connections().empty());
    EXPECT_EQ(e.jack(kSaw1).dragList().size(), 3u);
    for (int in : ins) EXPECT_EQ(e.value(in), 0);
    e.c.mouseMove(300, 200, true, 0);
    for (const auto& carried : e.jack(kSaw1).dragList())
        EXPECT_EQ(carried.farEnd, (PanelRect{293, 193, 14, 14}));
    e.view.idle();
    e.c.mouseMove(other.x + 7, other.y + 7, true, 0);
    e.c.mouseUp(other.x + 7, other.y + 7, 0);
    for (int in : ins) {
        EXPECT_EQ(e.value(in), number(kSaw3)) << in;
        EXPECT_TRUE(e.linked(kSaw3, in)) << in;
    }
    e.expectCordsFollowParameters();
    // Carried onto an input (refused for inputs) they are simply gone.
    const PanelRect input = e.frame(kEnvGate - 1); // VCF ADSR CV, an input
    e.c.mouseDown(other.x + 7, other.y + 7, 0);
    e.c.mouseUp(input.x + 7, input.y + 7, 0);
    EXPECT_TRUE(e.jack(kSaw3).connections().empty());
    for (int in : ins) EXPECT_EQ(e.value(in), 0);
    e.expectCordsFollowParameters();
}

TEST(Cable, HostChangesRedrawBothEndsWithoutReportingBack) {
    Editor e;
    e.host.hostSets(kOverride, float(number(kSaw1)));
    const auto& damage = e.view.idle();
    EXPECT_TRUE(e.linked(kSaw1, kOverride));
    for (int j : {kSaw1, kOverride})
        EXPECT_TRUE(std::any_of(damage.begin(), damage.end(), [&](const PanelRect& d) {
            return intersect(d, e.frame(j)) == e.frame(j);
        })) << j;
    e.jack(kMixVcf).setFloatValue(0.005f); // a host value below one is a thousandth of it
    EXPECT_EQ(e.jack(kMixVcf).declared(), 5);
    e.host.hostSets(kOverride, 0.0f); // undo in the host
    e.view.idle();
    EXPECT_TRUE(e.jack(kSaw1).connections().empty());
    EXPECT_TRUE(e.host.edits.empty());
}

TEST(Cable, BadValuesAndRefusedDropsNeverLeaveStrayCords) {
    Editor e;
    // Not a jack, or the jack itself.
    for (float v : {500.0f, -3.0f, std::numeric_limits<float>::quiet_NaN(),
                    std::numeric_limits<float>::infinity(), float(number(kOverride))}) {
        e.jack(kOverride).setFloatValue(float(number(kSaw1)));
        e.jack(kOverride).setFloatValue(v);
        EXPECT_TRUE(e.jack(kOverride).connections().empty() && e.jack(kSaw1).connections().empty())
            << v;
    }
    e.jack(kOverride).setFloatValue(0.0f);
    // A press while a message box is open goes to the box, not to the jack.
    e.view.messages().inform("busy");
    e.view.idle();
    ASSERT_NE(e.c.modal(), nullptr);
    e.host.edits.clear();
    e.drag(kSaw1, kReverbIn);
    EXPECT_TRUE(e.host.edits.empty());
    EXPECT_FALSE(e.jack(kSaw1).dragging());
    // Dropping on the jack it started from, or beyond the window's edge, plugs nothing.
    e.c.keyDown(kKeyReturn, 0);
    e.view.idle();
    e.drag(kSaw3, kSaw3);
    const PanelRect out = e.frame(kSaw3);
    e.dragTo(out.x + 7, out.y + 7, 1105, 105);
    EXPECT_TRUE(e.jack(kSaw3).connections().empty() && e.jack(kLeftOut).connections().empty());
    e.expectCordsFollowParameters();
}

} // namespace
} // namespace moraine::gui
