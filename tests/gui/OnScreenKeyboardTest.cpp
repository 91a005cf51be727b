// The on-screen keyboard: the note under the pointer, the notes a gesture sends, hold,
// lighting from the instrument's note state and where each key's highlight lies.
#include "gui/OnScreenKeyboard.h"

#include "gui/FakePanelHost.h"

#include <gtest/gtest.h>

namespace moraine::gui {
namespace {

using Notes = std::vector<std::pair<int, int>>;

constexpr PanelRect kFrame{258, 493, 734, 123};
constexpr int kUpperY = 493 + 30, kLowerY = 493 + 90, kStripY = 493 + 118;
int at(int dx) {
    return kFrame.x + dx;
} // `dx` pixels into the keyboard

// The canvas is the editor: resetting it closes the editor.
struct Keys {
    testing::FakePanelHost host;
    std::unique_ptr<CAUGuiCanvas> canvas = std::make_unique<CAUGuiCanvas>(&host);
    bool state[128] = {};
    Moraine_Keyboard* keys = static_cast<Moraine_Keyboard*>(
        canvas->addTopLevel(std::make_unique<Moraine_Keyboard>(*canvas, kFrame, state)));
    Keys() {
        keys->setRange(96, 36);
        canvas->redraw();
    }
    void click(int dx, int y) {
        canvas->mouseDown(at(dx), y, 0);
        canvas->mouseUp(at(dx), y, 0);
    }
};

TEST(OnScreenKeyboard, NoteUnderThePointer) {
    Keys k;
    // The upper part: every key where it starts. Below the black keys each black key's place
    // splits at its threshold (8, 4, 9, 5, 2); that zone starts 67 pixels down. Clamped.
    const struct {
        int dx, y, note;
    } cases[] = {{0, kUpperY, 36},   {21, kUpperY, 37},  {41, kUpperY, 39},  {733, kUpperY, 95},
                 {21, kLowerY, 36},  {22, kLowerY, 38},  {41, kLowerY, 38},  {42, kLowerY, 40},
                 {83, kLowerY, 41},  {84, kLowerY, 43},  {103, kLowerY, 43}, {104, kLowerY, 45},
                 {125, kLowerY, 45}, {126, kLowerY, 47}, {22, 493 + 66, 37}, {22, 493 + 67, 38},
                 {-60, kUpperY, 36}, {-13, kLowerY, 36}, {760, kUpperY, 96}, {2000, kLowerY, 96}};
    for (const auto& c : cases)
        EXPECT_EQ(k.keys->noteAt(at(c.dx), c.y), c.note) << c.dx << "," << c.y;
}

TEST(OnScreenKeyboard, PressGlideAndReleaseWithoutHold) {
    Keys k;
    k.canvas->mouseDown(at(0), kUpperY, 0);
    k.canvas->mouseMove(at(5), kUpperY, true, 0);  // same key: nothing
    k.canvas->mouseMove(at(21), kUpperY, true, 0); // glides to 37
    k.canvas->mouseMove(at(30), kLowerY, true, 0); // and on to 38
    k.canvas->mouseUp(at(2000), kLowerY, 0);       // released far outside: 96
    EXPECT_EQ(k.host.panelNotes,
              (Notes{{36, 64}, {36, 0}, {37, 64}, {37, 0}, {38, 64}, {38, 0}, {96, 0}, {96, 0}}));
}

TEST(OnScreenKeyboard, HoldKeepsKeysAndTurningItOffSilencesAll) {
    Keys k;
    k.click(300, kStripY);
    EXPECT_TRUE(k.keys->hold());
    EXPECT_TRUE(k.host.panelNotes.empty());
    k.click(0, kUpperY);                     // starts and stays
    k.state[36] = true;                      // as the instrument then reports it
    k.click(0, kUpperY);                     // a sounding key stops
    k.canvas->mouseDown(at(13), kUpperY, 0); // 37 on; leaving it stops it
    k.canvas->mouseMove(at(26), kUpperY, true, 0);
    k.canvas->mouseUp(at(26), kUpperY, 0);
    EXPECT_EQ(k.host.panelNotes, (Notes{{36, 64}, {36, 0}, {37, 64}, {37, 0}, {38, 64}}));
    k.host.panelNotes.clear();
    k.canvas->mouseDown(at(300), kStripY, 0);
    k.canvas->mouseMove(at(0), kStripY, true, 0); // the strip's gesture plays nothing
    k.canvas->mouseUp(at(0), kStripY, 0);
    EXPECT_FALSE(k.keys->hold());
    ASSERT_EQ(k.host.panelNotes.size(), 128u);
    for (int n = 0; n < 128; ++n) EXPECT_EQ(k.host.panelNotes[n], std::make_pair(n, 0));
}

TEST(OnScreenKeyboard, ClosingReleasesOnlyWithoutHold) {
    for (bool hold : {false, true}) {
        Keys k;
        if (hold) k.click(10, kStripY);
        k.canvas->mouseDown(at(0), kUpperY, 0); // without hold the editor closes mid-press
        if (hold) k.canvas->mouseUp(at(0), kUpperY, 0);
        k.canvas.reset();
        EXPECT_EQ(k.host.panelNotes, (hold ? Notes{{36, 64}} : Notes{{36, 64}, {36, 0}})) << hold;
    }
}

TEST(OnScreenKeyboard, HighlightsByKeyClassAndLitFromTheNoteState) {
    Keys k;
    const int top = 493, mid = 493 + 66, bottom = 493 + 123 - 10;
    const struct {
        int note, ul, ur, ll, lr;
    } cases[] = {
        // relative to the note's x; ll == lr: no lower part
        {48, 0, 15, 0, 20},  {49, 0, 15, 0, 0},  {52, 2, 15, -6, 15},
        {59, 0, 13, -8, 13}, {96, 0, 20, 0, 20}, // the highest note is wider above
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.note);
        const auto h = k.keys->highlight(c.note);
        const int nx = int((c.note - 36) * (734.0 / 60.0) + 258);
        EXPECT_EQ(h.upper, (PanelRect{nx + c.ul, top, c.ur - c.ul, mid - top}));
        if (c.ll == c.lr)
            EXPECT_TRUE(h.lower.empty());
        else
            EXPECT_EQ(h.lower, (PanelRect{nx + c.ll, mid, c.lr - c.ll, bottom - mid}));
    }
    EXPECT_TRUE(k.keys->highlight(35).upper.empty() && k.keys->highlight(97).upper.empty());
    k.state[60] = true;  // a MIDI note (its colour on the window: Editor.sessions)
    k.state[127] = true; // beyond the mirror
    EXPECT_FALSE(k.canvas->redraw().empty());
    EXPECT_EQ(k.keys->keyState(60), 1);
    EXPECT_EQ(k.keys->keyState(127), 0);
    k.state[60] = false;
    k.canvas->redraw();
    EXPECT_EQ(k.keys->keyState(60), 0);
    EXPECT_TRUE(k.canvas->redraw().empty()); // nothing moves, nothing is drawn
}

} // namespace
} // namespace moraine::gui
