// The on-screen keyboard: which note the pointer is on, the note stream a gesture sends,
// hold, lighting from the instrument's note state, and highlights landing on the art's keys.
#include "gui/OnScreenKeyboard.h"

#include "gui/FakePanelHost.h"
#include "gui/Images.h"
#include "gui/PanelLayout.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace moraine::gui {
namespace {

using testing::FakePanelHost;
using Notes = std::vector<std::pair<int, int>>;

constexpr PanelRect kFrame{258, 493, 734, 123};
constexpr int kUpperY = 493 + 30, kLowerY = 493 + 90, kStripY = 493 + 118;

struct Keys {
    FakePanelHost host;
    CAUGuiCanvas canvas{&host};
    bool state[128] = {};
    Moraine_Keyboard* keys;
    Keys() {
        keys = static_cast<Moraine_Keyboard*>(
            canvas.addTopLevel(std::make_unique<Moraine_Keyboard>(canvas, kFrame, state)));
        keys->setRange(96, 36);
        canvas.redraw();
    }
    void click(int x, int y) {
        canvas.mouseDown(x, y, 0);
        canvas.mouseUp(x, y, 0);
    }
    // The x of a point `dx` pixels into the keyboard.
    static int at(int dx) { return kFrame.x + dx; }
};

TEST(OnScreenKeyboard, NoteUnderThePointer) {
    Keys k;
    EXPECT_DOUBLE_EQ(k.keys->keyWidth(), 734.0 / 60.0);
    const struct {
        int dx, y, note;
    } cases[] = {
        // The upper part: every key where it starts.
        {0, kUpperY, 36}, {21, kUpperY, 37}, {41, kUpperY, 39}, {733, kUpperY, 95},
        // Below the black keys, each black key's place splits at its threshold.
        {21, kLowerY, 36}, {22, kLowerY, 38},   // note 37: threshold 8
        {41, kLowerY, 38}, {42, kLowerY, 40},   // note 39: 4
        {83, kLowerY, 41}, {84, kLowerY, 43},   // note 42: 9
        {103, kLowerY, 43}, {104, kLowerY, 45}, // note 44: 5
        {125, kLowerY, 45}, {126, kLowerY, 47}, // note 46: 2
        // The zone starts more than 66 pixels below the top.
        {22, 493 + 66, 37}, {22, 493 + 67, 38},
        // Clamped to the span.
        {-60, kUpperY, 36}, {-13, kLowerY, 36}, {760, kUpperY, 96}, {2000, kLowerY, 96},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << "dx " << c.dx << " y " << c.y);
        EXPECT_EQ(k.keys->noteAt(Keys::at(c.dx), c.y), c.note);
    }
}

TEST(OnScreenKeyboard, PressGlideAndReleaseWithoutHold) {
    Keys k;
    k.canvas.mouseDown(Keys::at(0), kUpperY, 0);
    k.canvas.mouseMove(Keys::at(5), kUpperY, true, 0);   // same key: nothing
    k.canvas.mouseMove(Keys::at(21), kUpperY, true, 0);  // glides to 37
    k.canvas.mouseMove(Keys::at(30), kLowerY, true, 0);  // and on to 38
    k.canvas.mouseUp(Keys::at(2000), kLowerY, 0);        // released far outside: 96
    EXPECT_EQ(k.host.panelNotes, (Notes{{36, 64}, {36, 0}, {37, 64}, {37, 0}, {38, 64},
                                        {38, 0}, {96, 0}, {96, 0}}));
}

TEST(OnScreenKeyboard, HoldKeepsKeysAndTurningItOffSilencesAll) {
    Keys k;
    k.click(Keys::at(300), kStripY);
    EXPECT_TRUE(k.keys->hold());
    EXPECT_TRUE(k.host.panelNotes.empty());
    k.click(Keys::at(0), kUpperY); // starts and stays
    k.state[36] = true;            // as the instrument then reports it
    k.click(Keys::at(0), kUpperY); // a sounding key stops
    k.canvas.mouseDown(Keys::at(13), kUpperY, 0); // 37 on; leaving it stops it
    k.canvas.mouseMove(Keys::at(26), kUpperY, true, 0);
    k.canvas.mouseUp(Keys::at(26), kUpperY, 0);
    EXPECT_EQ(k.host.panelNotes, (Notes{{36, 64}, {36, 0}, {37, 64}, {37, 0}, {38, 64}}));

    k.host.panelNotes.clear();
    k.canvas.mouseDown(Keys::at(300), kStripY, 0);
    k.canvas.mouseMove(Keys::at(0), kStripY, true, 0); // the strip's gesture plays nothing
    k.canvas.mouseUp(Keys::at(0), kStripY, 0);
    EXPECT_FALSE(k.keys->hold());
    ASSERT_EQ(k.host.panelNotes.size(), 128u);
    for (int n = 0; n < 128; ++n) EXPECT_EQ(k.host.panelNotes[n], std::make_pair(n, 0));
}

TEST(OnScreenKeyboard, ClosingReleasesOnlyWithoutHold) {
    for (bool hold : {false, true}) {
        SCOPED_TRACE(hold);
        FakePanelHost host;
        {
            CAUGuiCanvas canvas{&host};
            canvas.addTopLevel(std::make_unique<Moraine_Keyboard>(canvas, kFrame, nullptr));
            auto* keys = static_cast<Moraine_Keyboard*>(canvas.pane());
            keys->setRange(96, 36);
            if (hold) {
                canvas.mouseDown(Keys::at(10), kStripY, 0);
                canvas.mouseUp(Keys::at(10), kStripY, 0);
                canvas.mouseDown(Keys::at(0), kUpperY, 0);
                canvas.mouseUp(Keys::at(0), kUpperY, 0);
            } else {
                canvas.mouseDown(Keys::at(0), kUpperY, 0); // the editor closes mid-press
            }
        }
        const Notes expected = hold ? Notes{{36, 64}} : Notes{{36, 64}, {36, 0}};
        EXPECT_EQ(host.panelNotes, expected);
    }
}

TEST(OnScreenKeyboard, HighlightsByKeyClass) {
    Keys k;
    const int top = 493, mid = 493 + 66, bottom = 493 + 123 - 10;
    auto x = [](int n) { return int((n - 36) * (734.0 / 60.0) + 258); };
    const struct {
        int note;
        int ul, ur, ll, lr; // relative to the note's x; ll == lr: no lower part
    } cases[] = {
        {48, 0, 15, 0, 20},  {49, 0, 15, 0, 0},   {50, 0, 15, -4, 18}, {51, 0, 15, 0, 0},
        {52, 2, 15, -6, 15}, {53, 0, 15, 0, 22},  {54, 0, 15, 0, 0},   {55, 0, 15, -3, 19},
        {56, 0, 15, 0, 0},   {57, 0, 15, -6, 16}, {58, 0, 15, 0, 0},   {59, 0, 13, -8, 13},
        {96, 0, 20, 0, 20}, // the highest note is wider above
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.note);
        const auto h = k.keys->highlight(c.note);
        const int nx = x(c.note);
        EXPECT_EQ(h.upper, (PanelRect{nx + c.ul, top, c.ur - c.ul, mid - top}));
        if (c.ll == c.lr) {
            EXPECT_TRUE(h.lower.empty());
        } else {
            EXPECT_EQ(h.lower, (PanelRect{nx + c.ll, mid, c.lr - c.ll, bottom - mid}));
        }
    }
    EXPECT_TRUE(k.keys->highlight(35).upper.empty());
    EXPECT_TRUE(k.keys->highlight(97).upper.empty());
}

TEST(OnScreenKeyboard, LightsFromTheInstrumentsNoteState) {
    Keys k;
    k.state[60] = true;  // a MIDI note
    k.state[127] = true; // beyond the mirror
    const auto& damage = k.canvas.redraw();
    EXPECT_FALSE(damage.empty());
    EXPECT_EQ(k.keys->keyState(60), 1);
    EXPECT_EQ(k.keys->keyState(127), 0);
    const auto h = k.keys->highlight(60);
    const std::uint32_t lit =
        k.canvas.pixels()[(h.upper.y + 5) * k.canvas.stride() / 4 + h.upper.x + 5] & 0xffffff;
    EXPECT_EQ(lit, 0xcc3333u);
    k.state[60] = false;
    k.canvas.redraw();
    EXPECT_EQ(k.keys->keyState(60), 0);
    EXPECT_TRUE(k.canvas.redraw().empty()); // nothing moves, nothing is drawn
}

// The art's keys lie under the highlights: white keys' lower parts on light key tops, black
// keys' upper parts on dark ones.
TEST(OnScreenKeyboard, HighlightsLandOnTheArtsKeys) {
    auto art = loadPanelImage(kBackgroundImage, [](const std::string&) {});
    ASSERT_NE(art, nullptr);
    Keys k;
    auto grey = [&](int x, int y) {
        const std::uint32_t p = art->pixels[std::size_t(y * art->width + x)];
        return ((p >> 16 & 255) + (p >> 8 & 255) + (p & 255)) / 3;
    };
    for (int n = 36; n <= 96; ++n) {
        SCOPED_TRACE(n);
        const auto h = k.keys->highlight(n);
        if (!h.lower.empty()) {
            // Every column of the lit lower part, halfway down, is on a white key, apart
            // from the gap between two keys.
            // (The highest key reaches past the panel's edge; its visible part counts.)
            int light = 0, columns = 0;
            for (int x = h.lower.x; x < std::min(h.lower.right(), art->width - 4); ++x, ++columns)
                light += grey(x, h.lower.y + h.lower.h / 2) > 150;
            EXPECT_GE(columns, 10);
            EXPECT_GE(light, columns - 3);
        } else {
            EXPECT_LT(grey(h.upper.x + h.upper.w / 2, h.upper.y + h.upper.h / 2), 80);
        }
    }
}

} // namespace
} // namespace moraine::gui
