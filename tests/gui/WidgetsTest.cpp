#include "gui/Widgets.h"

#include "gui/FakePanelHost.h"

#include <cairo.h>
#include <cstdint>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace moraine::gui {
namespace {

using testing::FakePanelHost;
using E = FakePanelHost::Edit;

struct Panel {
    FakePanelHost host;
    CAUGuiCanvas canvas{&host};
    CAUGuiCtrl* pane = canvas.addTopLevel(
        std::make_unique<CAUGuiCtrl>(canvas, PanelRect{0, 0, kPanelWidth, kPanelHeight}));
    template <class T, class... A> T* add(PanelInset inset, A&&... args) {
        auto c = std::make_unique<T>(canvas, std::forward<A>(args)...);
        c->insetActive(inset);
        return static_cast<T*>(pane->addChild(std::move(c)));
    }
    CAUGuiCtrl* bare(int parameter, PanelRect frame) {
        return pane->addChild(std::make_unique<CAUGuiCtrl>(canvas, parameter, frame, 1000));
    }
    void click(int x, int y, int mods = 0) {
        canvas.mouseDown(x, y, mods);
        canvas.mouseUp(x, y, mods);
    }
    void keys(std::initializer_list<int> ks) {
        for (int k : ks) canvas.keyDown(k, 0);
    }
};

TEST(ControlFramework, ValueModelBothWays) {
    Panel p;
    // Linear: VCO2 Pulse Width, 0.1..0.9 at 1000 steps per unit; the integer range is
    // truncated from a float range a hair under 0.8: 0..799.
    CAUGuiCtrl* lin = p.bare(12, {0, 0, 10, 10});
    EXPECT_EQ(lin->intMaximum(), 799);
    lin->setFloatValue(5.0f);
    EXPECT_EQ(lin->intValue(), 799);
    lin->setFloatValue(-5.0f);
    EXPECT_EQ(lin->intValue(), 0);
    // Logarithmic: ADSR Attack Time, 0.003..100 s.
    CAUGuiCtrl* log = p.bare(33, {0, 0, 10, 10});
    const ParameterInfo& info = parameterInfo(33);
    EXPECT_FLOAT_EQ(log->intToFloat(0), info.minimum);
    EXPECT_NEAR(log->intToFloat(log->intMaximum()),
                info.minimum + 0.9999f * (info.maximum - info.minimum), 1e-3);
    for (int i : {1, 250, 500, 750, 99000}) {
        const int n = std::min(i, log->intMaximum());
        EXPECT_NEAR(log->floatToInt(log->intToFloat(n)), n, 1) << i; // truncation may lose one step
    }
}

TEST(ControlFramework, HitTestsAndTheDirtyList) {
    // Right and bottom edges are outside.
    Panel p;
    CAUGuiCtrl* child = p.bare(-1, {10, 10, 20, 20});
    EXPECT_EQ(p.canvas.hitTest(10, 10), child);
    EXPECT_EQ(p.canvas.hitTest(29, 29), child);
    EXPECT_EQ(p.canvas.hitTest(30, 15), p.pane);
    EXPECT_EQ(p.canvas.hitTest(15, 30), p.pane);
    EXPECT_EQ(p.canvas.hitTest(kPanelWidth, 5), nullptr);
    // At most 1023 rectangles; a control with a full list still draws what it holds.
    RectList list;
    for (int i = 0; i < 2000; ++i) list.add({i, 0, 1, 1});
    EXPECT_TRUE(list.add({5, 0, 1, 1})); // already held: accepted, not added
    EXPECT_EQ(list.count(), 1023);
    p.canvas.redraw();
    for (int i = 0; i < 1100; ++i) p.pane->invalidateRect({i % 1010, i / 1010, 1, 1});
    EXPECT_EQ(p.pane->dirtyList().count(), 1023);
    EXPECT_FALSE(p.canvas.redraw().empty());
    EXPECT_FALSE(p.pane->dirty());
}

TEST(Widgets, ButtonModes) {
    const struct {
        ButtonMode mode;
        int start, afterPress, afterRelease;
        std::vector<int> fired; // callback values in order
    } cases[] = {
        {ButtonMode::Momentary, 0, 2, 0, {0}}, {ButtonMode::StepUp, 2, 0, 0, {0}},
        {ButtonMode::StepDown, 0, 2, 2, {2}},  {ButtonMode::FixedValue, 0, 1, 1, {1}},
        {ButtonMode::Toggle, 0, 2, 2, {2}},    {ButtonMode::Gate, 0, 2, 0, {2, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(int(c.mode));
        Panel p;
        auto* b = p.add<CAUGuiButton>({}, CAUGuiButton::Steps{2}, PanelRect{100, 100, 20, 20},
                                      nullptr, c.mode);
        b->setFixedValue(1);
        std::vector<int> fired;
        b->setCallback([&](int v, CAUGuiButton&) { fired.push_back(v); });
        b->setFloatValue(float(c.start));
        p.canvas.mouseDown(105, 105, 0);
        EXPECT_EQ(b->intValue(), c.afterPress);
        p.canvas.mouseUp(500, 500, 0); // far outside: the captured button still gets it
        EXPECT_EQ(b->intValue(), c.afterRelease);
        EXPECT_EQ(fired, c.fired);
    }
    // Bound: one gesture on its parameter.
    Panel p;
    p.add<CAUGuiButton>(PanelInset{0, 7, 0, 7}, 61, PanelRect{105, 290, 9, 24}, nullptr,
                        ButtonMode::Toggle);
    p.host.edits.clear();
    p.click(108, 300);
    EXPECT_EQ(p.host.edits, (std::vector<E>{{'b', 61, 0}, {'s', 61, 1.0f}, {'e', 61, 0}}));
}

TEST(Widgets, SliderJumpsFineStepsAndReset) {
    Panel p;
    // Vertical like "Envelope Follower": 0..1 at 1000 steps.
    auto* s = p.add<CAUGuiSlider>(PanelInset{0, 10, 0, 10}, 2, PanelRect{20, 195, 24, 85},
                                  Orientation::Vertical, 1000, nullptr);
    p.click(30, 275); // below the track, inside the frame (its top edge: Editor.panel)
    EXPECT_EQ(s->intValue(), 0);
    s->setFloatValue(0.5f);
    const int start = s->intValue();
    const auto tipPixel = [&] { return p.canvas.pixels()[160 * p.canvas.stride() / 4 + 160]; };
    const std::uint32_t bare = tipPixel();
    // Fine mode: the press moves nothing, then one step per 2 pixels.
    for (auto [y, steps] : {std::pair{240, 0}, {239, 0}, {238, 1}, {234, 3}}) {
        if (y == 240)
            p.canvas.mouseDown(30, y, kModCtrl);
        else
            p.canvas.mouseMove(30, y, true, kModCtrl);
        EXPECT_EQ(s->intValue(), start + steps) << y;
    }
    p.canvas.redraw(); // held, it shows its tip in the 45 pixels above it
    EXPECT_NE(tipPixel(), bare);
    p.canvas.mouseUp(30, 234, kModCtrl);
    EXPECT_FALSE(s->fine());
    p.click(30, 240, kModAlt); // Alt: the parameter's default
    EXPECT_EQ(s->intValue(), s->floatToInt(parameterInfo(2).defaultValue));
    auto* h = p.add<CAUGuiSlider>(PanelInset{10, 0, 11, 0}, 12, PanelRect{250, 99, 120, 24},
                                  Orientation::Horizontal, 10000, nullptr);
    h->setFloatValue(0.5f);
    p.host.edits.clear();
    p.canvas.mouseDown(260, 110, 0); // the track's left end
    p.canvas.mouseMove(300, 110, true, 0);
    p.canvas.mouseMove(359, 110, true, 0); // its right end
    p.canvas.mouseUp(359, 110, 0);
    // The gesture's order is seen by Editor.panel; here the ends of a horizontal track.
    const auto edits = p.host.edits;
    EXPECT_NEAR(edits[1].value, 0.1f, 1e-4);
    EXPECT_NEAR(edits[edits.size() - 2].value, 0.9f, 1e-4);
}

TEST(Widgets, KnobAnglesAndSwitchHeights) {
    Panel p;
    auto* k = p.add<CAUGuiKnob>(PanelInset{0, 0, 3, 3}, 70, PanelRect{55, 52, 43, 43}, 100, nullptr,
                                nullptr, 1, -0.375f, 0.375f);
    // A 270° sweep around the centre (76.5, 73.5); never exactly on the centre line.
    const int max = k->intMaximum();
    const struct {
        int x, y, value;
    } at[] = {
        {76, 20, max / 2}, {40, 110, 0}, {113, 110, max}, {200, 73, 5 * max / 6}, {0, 73, max / 6}};
    for (const auto& a : at) EXPECT_NEAR(k->valueAt(a.x, a.y), a.value, 5) << a.x << "," << a.y;
    k->setIntValue(max / 2); // straight up, the mark's two round ends lie alike about its middle
    p.canvas.redraw();
    const std::uint32_t* top = p.canvas.pixels() + 52 * p.canvas.stride() / 4 + 76;
    EXPECT_NEAR(top[0] & 0xff, top[6 * p.canvas.stride() / 4] & 0xff, 16); // rows 52 and 58
    // A three-position switch maps the height absolutely.
    auto* sw = p.add<CAUGuiKnob>(PanelInset{}, 63, PanelRect{238, 509, 9, 24}, 3, nullptr, nullptr,
                                 0, 0.0f, 0.0f);
    EXPECT_EQ(sw->valueAt(240, 500), sw->intMaximum());
    EXPECT_EQ(sw->valueAt(240, 540), 0);
}

TEST(Widgets, MeterTypesAndZeroReference) {
    const struct {
        int type;
        float level, reference, shown;
    } cases[] = {{1, 0.16f, 1.0f, 1.0f}, {1, 0.04f, 1.0f, 0.5f}, {2, 30.0f, 100.0f, 0.003f},
                 {3, 0.7f, 0.0f, 0.7f},  {1, 0.5f, 0.0f, 1.0f}, // clamped, not infinite
                 {1, 0.0f, 0.0f, 0.0f}};                        // 0/0 shows nothing
    for (const auto& c : cases)
        EXPECT_NEAR(CAUGuiMeter::shownFraction(c.type, c.level, c.reference), c.shown, 1e-6)
            << c.level;
}

TEST(Widgets, MenusChooseInPanelScrollAndFit) {
    Panel p;
    std::vector<int> chosen;
    auto* menu = p.add<PatchMenu>(PanelInset{0, 0, 25, 0}, PanelRect{244, 6, 108, 12},
                                  MenuKind::Patch, [&](MenuKind, int i) { chosen.push_back(i); });
    EXPECT_EQ(menu->shownText(), "No Patch");
    menu->setItems({"One"}, 4);
    EXPECT_EQ(menu->shownText(), "No Patch");
    menu->setItems({"One", "Two", "Three"}, 0);
    p.click(250, 10);
    ASSERT_NE(dynamic_cast<PanelPopupMenu*>(p.canvas.modal()), nullptr);
    p.keys({kKeyDown, kKeyEnd, kKeyUp, kKeyReturn});
    EXPECT_EQ(p.canvas.modal(), nullptr);
    EXPECT_EQ(chosen, std::vector<int>{1});
    EXPECT_EQ(menu->shownText(), "Two");
    p.click(250, 10);
    ASSERT_NE(p.canvas.modal(), nullptr);
    p.click(900, 500); // a click outside cancels
    EXPECT_EQ(p.canvas.modal(), nullptr);
    EXPECT_EQ(chosen.size(), 1u);
    std::vector<PanelPopupMenu::Item> items;
    for (int i = 0; i < 100; ++i) items.push_back({"Item " + std::to_string(i), i});
    p.canvas.openModal(std::make_unique<PanelPopupMenu>(
        p.canvas, PanelRect{980, 600, 20, 12}, items, 0, [&](int id) { chosen.push_back(id); }));
    auto* list = static_cast<PanelPopupMenu*>(p.canvas.modal());
    const PanelRect f = list->frame();
    EXPECT_TRUE(f.right() <= kPanelWidth && f.bottom() <= kPanelHeight && f.y >= 0);
    // Scrolled one row at a time, the highlight stays just above the bottom arrow row.
    for (int i = 0; i < 60; ++i) p.keys({kKeyDown});
    EXPECT_EQ(list->firstVisible() + list->visibleRows() - 2, 60);
    p.keys({kKeyEnd});
    EXPECT_EQ(list->firstVisible() + list->visibleRows(), 100);
    p.keys({kKeyUp, kKeyUp}); // back up within the rows shown: nothing scrolls
    EXPECT_EQ(list->firstVisible() + list->visibleRows(), 100);
    p.keys({kKeyReturn});
    EXPECT_EQ(chosen.back(), 97);
}

// Notes break at 34 characters on a blank, at CR, LF and character 3, and never inside a
// UTF-8 character.
TEST(NotesArea, BreaksLinesAsTheBoxShowsThem) {
    const std::string x34(34, 'x');
    const std::pair<std::string, std::vector<std::string>> cases[] = {
        {"Two detuned saws under the filter envelope, four voices.",
         {"Two detuned saws under the filter", "envelope, four voices."}},
        {x34 + "yz", {x34, "yz"}},
        {"one\r\ntwo\nthree\rfour\3five", {"one", "two", "three", "four", "five"}},
        {std::string(33, 'a') + "\xC3\xA9\xC3\xA9",
         {std::string(33, 'a') + "\xC3\xA9", "\xC3\xA9"}},
        {"", {}},
    };
    for (const auto& [text, lines] : cases) EXPECT_EQ(breakNotes(text), lines) << text;
}

// Six lines at a time; the slider scrolls the rest; nothing shows unless the patch asks.
TEST(NotesArea, ShowsSixLinesAndTheSliderScrollsTheRest) {
    Panel p;
    NotesArea* area = nullptr;
    p.add<NotesSlider>({}, PanelRect{251, 359, 10, 84}, &area);
    area = p.add<NotesArea>(PanelInset{0, 0, 25, 0}, PanelRect{86, 344, 190, 114}, nullptr);
    std::string text;
    for (int i = 0; i < 10; ++i) text += "line " + std::to_string(i) + "\n";
    area->setText(text, false);
    EXPECT_EQ(area->lineCount(), 0);
    area->setText(text, true);
    EXPECT_EQ(area->lineCount(), 10);
    // Six lines are drawn, 14 px apart from y 359; the strip where a seventh would go stays dark.
    p.canvas.redraw();
    auto lit = [&](int y0, int y1) {
        int n = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = 101; x < 236; ++x)
                n += ((p.canvas.pixels()[y * p.canvas.stride() / 4 + x] >> 8) & 0xff) > 200;
        return n;
    };
    EXPECT_GT(lit(430, 442), 0);
    EXPECT_EQ(lit(446, 458), 0);
    p.click(255, 359 + 83); // the bottom: the last six lines
    EXPECT_EQ(area->firstLine(), 4);
    p.click(255, 359 + 42); // half way
    EXPECT_EQ(area->firstLine(), 2);
    area->setFirstLine(99);
    EXPECT_EQ(area->firstLine(), 4);
    area->setText("short", true); // a new patch starts at its first line
    p.canvas.redraw(); // a note shorter than the box draws only its own lines
    EXPECT_EQ(area->firstLine(), 0);
}

} // namespace
} // namespace moraine::gui
