#include "gui/Widgets.h"

#include "gui/FakePanelHost.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace moraine::gui {
namespace {

using testing::FakePanelHost;

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
    void click(int x, int y, int mods = 0) {
        canvas.mouseDown(x, y, mods);
        canvas.mouseUp(x, y, mods);
    }
};

TEST(Widgets, ButtonModes) {
    struct Case {
        ButtonMode mode;
        int start;
        int afterPress, afterRelease;
        std::vector<int> fired; // callback values in order
    } cases[] = {
        {ButtonMode::Momentary, 0, 2, 0, {0}},
        {ButtonMode::StepUp, 2, 0, 0, {0}},
        {ButtonMode::StepDown, 0, 2, 2, {2}},
        {ButtonMode::FixedValue, 0, 1, 1, {1}},
        {ButtonMode::Toggle, 0, 2, 2, {2}},
        {ButtonMode::Gate, 0, 2, 0, {2, 0}},
    };
    for (const Case& c : cases) {
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
        // Released far outside its frame: the captured button still gets the release.
        p.canvas.mouseUp(500, 500, 0);
        EXPECT_EQ(b->intValue(), c.afterRelease);
        EXPECT_EQ(fired, c.fired);
    }
}

TEST(Widgets, DisabledButtonIsDimAndDeaf) {
    Panel p;
    auto* b = p.add<CAUGuiButton>({}, CAUGuiButton::Steps{2}, PanelRect{10, 10, 20, 20}, nullptr,
                                  ButtonMode::Toggle);
    int fired = 0;
    b->setCallback([&](int, CAUGuiButton&) { ++fired; });
    EXPECT_EQ(b->drawAlpha(), 255);
    b->setEnabled(false);
    EXPECT_EQ(b->drawAlpha(), 70);
    p.click(15, 15);
    EXPECT_EQ(b->intValue(), 0);
    EXPECT_EQ(fired, 0);
}

TEST(Widgets, BoundButtonEditsItsParameter) {
    Panel p;
    p.add<CAUGuiButton>(PanelInset{0, 7, 0, 7}, 61, PanelRect{105, 290, 9, 24}, nullptr,
                        ButtonMode::Toggle);
    p.host.clearEdits();
    p.click(108, 300);
    using E = FakePanelHost::Edit;
    EXPECT_EQ(p.host.edits(), (std::vector<E>{{'b', 61, 0}, {'s', 61, 1.0f}, {'e', 61, 0}}));
}

TEST(Widgets, SliderTopEdgeJumpAndFineSteps) {
    Panel p;
    // A vertical slider like "Envelope Follower": 0..1 at 1000 steps.
    auto* s = p.add<CAUGuiSlider>(PanelInset{0, 10, 0, 10}, 2, PanelRect{20, 195, 24, 85},
                                  Orientation::Vertical, 1000, nullptr);
    p.canvas.mouseDown(30, 205, 0); // the track's top edge
    EXPECT_EQ(s->intValue(), 1000);
    p.canvas.mouseUp(30, 205, 0);
    p.canvas.mouseDown(30, 275, 0); // below the track, inside the frame
    EXPECT_EQ(s->intValue(), 0);
    p.canvas.mouseUp(30, 275, 0);

    s->setFloatValue(0.5f);
    const int start = s->intValue();
    p.canvas.mouseDown(30, 240, kModCtrl);
    EXPECT_EQ(s->intValue(), start); // the press itself moves nothing in fine mode
    p.canvas.mouseMove(30, 239, true, kModCtrl); // 1 pixel up
    EXPECT_EQ(s->intValue(), start);
    p.canvas.mouseMove(30, 238, true, kModCtrl); // 2 pixels up: one step
    EXPECT_EQ(s->intValue(), start + 1);
    p.canvas.mouseMove(30, 234, true, kModCtrl); // 4 more: two more steps
    EXPECT_EQ(s->intValue(), start + 3);
    p.canvas.mouseUp(30, 234, kModCtrl);
    EXPECT_FALSE(s->fine());

    // Alt resets to the parameter's default.
    p.click(30, 240, kModAlt);
    EXPECT_EQ(s->intValue(), s->floatToInt(parameterInfo(2).defaultValue));
}

TEST(Widgets, SliderDragSendsOneGesture) {
    Panel p;
    auto* s = p.add<CAUGuiSlider>(PanelInset{10, 0, 11, 0}, 12, PanelRect{250, 99, 120, 24},
                                  Orientation::Horizontal, 10000, nullptr);
    s->setFloatValue(0.5f);
    p.host.clearEdits();
    p.canvas.mouseDown(260, 110, 0); // the track's left end
    p.canvas.mouseMove(300, 110, true, 0);
    p.canvas.mouseMove(359, 110, true, 0); // its right end
    p.canvas.mouseUp(359, 110, 0);
    const auto edits = p.host.edits();
    ASSERT_GE(edits.size(), 3u);
    EXPECT_EQ(edits.front().kind, 'b');
    EXPECT_EQ(edits.back().kind, 'e');
    for (std::size_t i = 1; i + 1 < edits.size(); ++i) EXPECT_EQ(edits[i].kind, 's');
    EXPECT_NEAR(edits[1].value, 0.1f, 1e-4);       // the track's left end
    EXPECT_NEAR(edits[edits.size() - 2].value, 0.9f, 1e-4); // its right end
}

TEST(Widgets, KnobAngles) {
    Panel p;
    auto* k = p.add<CAUGuiKnob>(PanelInset{0, 0, 3, 3}, 70, PanelRect{55, 52, 43, 43}, 100,
                                nullptr, nullptr, 1, -0.375f, 0.375f);
    constexpr double kPi = 3.14159265358979323846;
    // Pointer mark: lower left at 0, top at 0.5, lower right at 1 (point = centre − sin, + cos).
    EXPECT_NEAR(k->markAngle(0.0f), kPi / 4, 1e-6);
    EXPECT_NEAR(k->markAngle(0.5f), kPi, 1e-6);
    EXPECT_NEAR(k->markAngle(1.0f), 7 * kPi / 4, 1e-6);
    // Pointer positions around the centre (76.5, 73.5): straight up is the middle.
    const int max = k->intMaximum();
    // The sweep is 270°, from −135° to +135°; the pointer is never exactly on the centre
    // line, so a few steps either way.
    EXPECT_NEAR(k->valueAt(76, 20), max / 2, 5);
    EXPECT_NEAR(k->valueAt(40, 110), 0, 5);             // lower left: the start
    EXPECT_NEAR(k->valueAt(113, 110), max, 5);          // lower right: the end
    EXPECT_NEAR(k->valueAt(200, 73), 5 * max / 6, 5);   // level, to the right
    EXPECT_NEAR(k->valueAt(0, 73), max / 6, 5);         // level, to the left

    // A three-position switch maps the height absolutely.
    auto* sw = p.add<CAUGuiKnob>(PanelInset{}, 63, PanelRect{238, 509, 9, 24}, 3,
                                 nullptr, nullptr, 0, 0.0f, 0.0f);
    EXPECT_EQ(sw->valueAt(240, 500), sw->intMaximum());
    EXPECT_EQ(sw->valueAt(240, 540), 0);
}

TEST(Widgets, MeterTypesAndZeroReference) {
    EXPECT_NEAR(CAUGuiMeter::shownFraction(1, 0.16f, 1.0f), 1.0f, 1e-6);  // sqrt(.16) × 2.5
    EXPECT_NEAR(CAUGuiMeter::shownFraction(1, 0.04f, 1.0f), 0.5f, 1e-6);
    EXPECT_NEAR(CAUGuiMeter::shownFraction(2, 30.0f, 100.0f), 0.003f, 1e-6);
    EXPECT_NEAR(CAUGuiMeter::shownFraction(3, 0.7f, 0.0f), 0.7f, 1e-6);
    EXPECT_EQ(CAUGuiMeter::shownFraction(1, 0.5f, 0.0f), 1.0f); // clamped, not infinite
    EXPECT_EQ(CAUGuiMeter::shownFraction(1, 0.0f, 0.0f), 0.0f); // 0/0 shows nothing
}

TEST(Widgets, PatchMenuShowsNoPatchAndChoosesInPanel) {
    Panel p;
    std::vector<std::pair<MenuKind, int>> chosen;
    auto* menu = p.add<PatchMenu>(PanelInset{0, 0, 25, 0}, PanelRect{244, 6, 108, 12}, MenuKind::Patch,
                                  [&](MenuKind k, int i) { chosen.push_back({k, i}); });
    EXPECT_EQ(menu->shownText(), "No Patch");
    menu->setItems({"One", "Two", "Three"}, 0);
    EXPECT_EQ(menu->shownText(), "One");
    menu->setItems({"One"}, 4);
    EXPECT_EQ(menu->shownText(), "No Patch");

    menu->setItems({"One", "Two", "Three"}, 0);
    p.click(250, 10);
    auto* popup = dynamic_cast<PanelPopupMenu*>(p.canvas.modal());
    ASSERT_NE(popup, nullptr);
    EXPECT_GE(popup->frame().y, 18); // opened under the control
    p.canvas.keyDown(kKeyDown, 0);
    p.canvas.keyDown(kKeyEnd, 0);
    p.canvas.keyDown(kKeyUp, 0);
    p.canvas.keyDown(kKeyReturn, 0);
    EXPECT_EQ(p.canvas.modal(), nullptr);
    ASSERT_EQ(chosen.size(), 1u);
    EXPECT_EQ(chosen[0].second, 1);
    EXPECT_EQ(menu->shownText(), "Two");

    // A click outside cancels.
    p.click(250, 10);
    ASSERT_NE(p.canvas.modal(), nullptr);
    p.click(900, 500);
    EXPECT_EQ(p.canvas.modal(), nullptr);
    EXPECT_EQ(chosen.size(), 1u);
}

TEST(Widgets, LongMenusScrollAndFitThePanel) {
    Panel p;
    std::vector<PanelPopupMenu::Item> items;
    for (int i = 0; i < 100; ++i) items.push_back({"Item " + std::to_string(i), i});
    int chosen = -1;
    p.canvas.openModal(std::make_unique<PanelPopupMenu>(p.canvas, PanelRect{980, 600, 20, 12},
                                                        items, 0, [&](int id) { chosen = id; }));
    auto* menu = static_cast<PanelPopupMenu*>(p.canvas.modal());
    EXPECT_LE(menu->frame().right(), kPanelWidth);
    EXPECT_LE(menu->frame().bottom(), kPanelHeight);
    EXPECT_GE(menu->frame().y, 0);
    EXPECT_LT(menu->visibleRows(), 100);
    p.canvas.keyDown(kKeyEnd, 0);
    EXPECT_EQ(menu->highlighted(), 99);
    EXPECT_EQ(menu->firstVisible() + menu->visibleRows(), 100);
    p.canvas.keyDown(kKeyHome, 0);
    EXPECT_EQ(menu->firstVisible(), 0);
    for (int i = 0; i < 60; ++i) p.canvas.keyDown(kKeyDown, 0);
    EXPECT_EQ(menu->highlighted(), 60);
    EXPECT_LE(menu->firstVisible(), 60);
    EXPECT_GT(menu->firstVisible() + menu->visibleRows(), 60);
    p.canvas.keyDown(kKeyReturn, 0);
    EXPECT_EQ(chosen, 60);
}

TEST(Widgets, MessageBoxAnswersLater) {
    Panel p;
    int answers = 0;
    bool last = true;
    p.canvas.openModal(std::make_unique<PanelMessageBox>(p.canvas, "Delete it?", true, [&](bool ok) {
        ++answers;
        last = ok;
    }));
    auto* box = static_cast<PanelMessageBox*>(p.canvas.modal());
    const PanelRect cancel = box->cancelButton();
    p.canvas.redraw();
    EXPECT_EQ(answers, 0); // nothing waits for the answer
    p.click(cancel.x + 5, cancel.y + 5);
    EXPECT_EQ(answers, 1);
    EXPECT_FALSE(last);
    EXPECT_EQ(p.canvas.modal(), nullptr);
}

TEST(Widgets, VoicesMenuSetsTheVoiceCount) {
    Panel p;
    auto* v = p.add<VoicesMenu>(PanelInset{0, 0, 20, 0}, 81, PanelRect{615, 6, 34, 12});
    v->setFloatValue(3.7f);
    EXPECT_EQ(v->current(), 3);
    p.host.clearEdits();
    p.click(620, 10);
    ASSERT_NE(p.canvas.modal(), nullptr);
    p.canvas.keyDown(kKeyHome, 0);
    p.canvas.keyDown(kKeyDown, 0);
    p.canvas.keyDown(kKeyReturn, 0);
    EXPECT_EQ(v->current(), 1);
    // Every gesture closed, the one that opened the menu too.
    using E = FakePanelHost::Edit;
    const auto edits = p.host.edits();
    const auto count = [&](char kind) {
        return std::count_if(edits.begin(), edits.end(), [&](const E& e) { return e.kind == kind; });
    };
    EXPECT_EQ(count('b'), count('e'));
    EXPECT_NE(std::find(edits.begin(), edits.end(), E{'s', 81, 1.0f}), edits.end());
}

} // namespace
} // namespace moraine::gui

namespace moraine::gui {
namespace {

// Notes break at 34 characters on a blank, at CR, LF and character 3, and never inside a
// UTF-8 character.
TEST(NotesArea, BreaksLinesAsTheBoxShowsThem) {
    struct Case {
        std::string text;
        std::vector<std::string> lines;
    };
    const std::string x34(34, 'x');
    const Case cases[] = {
        {"Two detuned saws under the filter envelope, four voices.",
         {"Two detuned saws under the filter", "envelope, four voices."}},
        {x34 + "yz", {x34, "yz"}},
        {"one\r\ntwo\nthree\rfour\3five", {"one", "two", "three", "four", "five"}},
        {std::string(33, 'a') + "\xC3\xA9\xC3\xA9", {std::string(33, 'a') + "\xC3\xA9", "\xC3\xA9"}},
        {"", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(breakNotes(c.text), c.lines);
    }
}

// Six lines at a time; the slider scrolls through the rest; nothing shows unless the patch
// asks for its notes.
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
    p.canvas.mouseDown(255, 359 + 83, 0); // the bottom: the last six lines
    p.canvas.mouseUp(255, 359 + 83, 0);
    EXPECT_EQ(area->firstLine(), 4);
    p.canvas.mouseDown(255, 359 + 42, 0); // half way
    p.canvas.mouseUp(255, 359 + 42, 0);
    EXPECT_EQ(area->firstLine(), 2);
    area->setFirstLine(99);
    EXPECT_EQ(area->firstLine(), 4);
    area->setText("short", true); // a new patch starts at its first line
    EXPECT_EQ(area->firstLine(), 0);
}

} // namespace
} // namespace moraine::gui
