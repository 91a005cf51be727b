// The whole panel against the stand-in instrument, and the editor window around it.
#include "gui/PanelView.h"

#include "gui/FakePanelHost.h"
#include "gui/PanelEditor.h"

#include <cairo.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <thread>

namespace moraine::gui {
namespace {

using testing::FakePanelHost;

struct Editor : testing::FakeEditor {
    void click(const PanelRect& f, int dx = 2, int dy = 2, int mods = 0) {
        c.mouseDown(f.x + dx, f.y + dy, mods);
        c.mouseUp(f.x + dx, f.y + dy, mods);
    }
    std::uint32_t pixel(int x, int y) { return c.pixels()[y * c.stride() / 4 + x] & 0xffffff; }
};

TEST(PanelView, BuildsEveryRowWithTheInstrumentsValues) {
    Editor e;
    for (const PanelControl& row : panelControls()) {
        SCOPED_TRACE(row.id);
        if (!row.bound()) {
            ASSERT_NE(e.view.control(row.action), nullptr);
            continue;
        }
        CAUGuiCtrl* c = std::string(row.id) == "Master Bypass light"
                            ? e.view.powerLight()
                            : e.view.control(row.parameter);
        ASSERT_NE(c, nullptr);
        EXPECT_EQ(c->frame(), row.frame);
        EXPECT_EQ(c->activeRect(), row.active());
        EXPECT_FLOAT_EQ(c->floatValue(), e.host.parameterValue(row.parameter));
    }
    EXPECT_TRUE(e.host.edits.empty()); // taking the values told the instrument nothing
}

TEST(PanelView, HostChangesMoveControlsOnTheNextIdleAndEqualOnesPaintNothing) {
    Editor e;
    e.view.idle();
    const long paints = e.c.paintCount();
    std::thread([&] { e.host.hostSets(12, 0.7f); }).join(); // as a host's automation would
    EXPECT_NE(e.view.control(12)->floatValue(), 0.7f);      // nothing before idle
    EXPECT_FALSE(e.view.idle().empty());
    EXPECT_FLOAT_EQ(e.view.control(12)->floatValue(), 0.7f);
    EXPECT_EQ(e.c.paintCount(), paints + 1);
    std::thread([&] { e.host.hostSets(12, 0.7f); }).join(); // the same value again
    EXPECT_TRUE(e.view.idle().empty());
    EXPECT_EQ(e.c.paintCount(), paints + 1);
    EXPECT_TRUE(e.host.edits.empty()); // never echoed back
}

TEST(PanelView, MasterBypassControlsMirrorEachOther) {
    Editor e;
    CAUGuiCtrl *sw = e.view.control(1), *light = e.view.powerLight();
    ASSERT_TRUE(light && sw != light);
    EXPECT_EQ(sw->intValue() + light->intValue(), 2);
    e.click(light->frame(), 5, 5); // the power light turns it off
    EXPECT_EQ(light->intValue() + sw->intValue(), 0);
    EXPECT_FLOAT_EQ(e.host.parameterValue(1), 0.0f);
    e.host.hostSets(1, 1.0f); // and the host turns both back on
    e.view.idle();
    EXPECT_EQ(sw->intValue() + light->intValue(), 2);
}

TEST(PanelView, GateButtonsPlayAndShiftClickPicksForTheMap) {
    Editor e;
    for (PanelAction a : {PanelAction::EnvelopeGate, PanelAction::PortamentoGate})
        e.click(e.view.control(a)->frame());
    EXPECT_EQ(e.host.envelope, (std::vector<bool>{true, false}));
    EXPECT_EQ(e.host.portamento, (std::vector<bool>{true, false}));
    e.click(e.view.control(2)->frame(), 5, 30, kModShift);
    EXPECT_EQ(e.view.midiMapParameter(), 2);
    EXPECT_TRUE(e.host.edits.empty()); // the press went to the map, not the slider
    e.click(e.view.control(81)->frame(), 5, 5, kModShift); // from 79 on: a plain click
    EXPECT_NE(e.c.modal(), nullptr);
    EXPECT_EQ(e.view.midiMapParameter(), 2);
}

TEST(PanelView, PatchMenusListTheLibraryAndLoadTheChoice) {
    Editor e;
    auto* group = dynamic_cast<PatchMenu*>(e.view.control(PanelAction::GroupMenu));
    auto* patch = dynamic_cast<PatchMenu*>(e.view.control(PanelAction::PatchMenu));
    ASSERT_TRUE(group && patch);
    EXPECT_EQ(group->names(), e.host.library().groupNameList());
    EXPECT_EQ(patch->names(), e.host.library().patchNameList());
    e.click(patch->frame(), 5, 5);
    for (int k : {kKeyHome, kKeyDown, kKeyReturn}) e.c.keyDown(k, 0);
    EXPECT_EQ(patch->current(), 1);
    EXPECT_EQ(e.host.library().currentCategoryPtr()->currentPatch, 1);
    EXPECT_EQ(e.host.patchLoads, (std::vector<int>{kSourceLibrary}));
}

TEST(PanelView, MessagesQueueAndNeverBlock) {
    Editor e;
    e.view.messages().inform("first");
    std::vector<bool> answers;
    e.view.messages().ask("second?", [&](bool ok) { answers.push_back(ok); });
    EXPECT_FALSE(e.view.messages().confirm("third?")); // cannot wait: answered Cancel
    for (const char* text : {"first", "second?"}) {
        e.view.idle();
        auto* box = dynamic_cast<PanelMessageBox*>(e.c.modal());
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->text(), text);
        EXPECT_EQ(e.pixel(box->frame().x + 4, box->frame().y + 4), 0x282b30u); // its own ground
        EXPECT_TRUE(answers.empty());
        e.c.keyDown(text[0] == 'f' ? kKeyReturn : kKeyEscape, 0);
    }
    EXPECT_EQ(answers, std::vector<bool>{false});
}

// The level meter shows its lit front image up to its value and the dark back beyond it.
TEST(PanelView, MetersFollowTheSnapshotAndLightTheirImageToTheValue) {
    Editor e;
    auto* meter = e.view.control(PanelAction::LevelMeter0);
    const PanelRect f = meter->frame();
    auto row = [&] {
        std::vector<std::uint32_t> r;
        for (int x = f.x; x < f.right(); ++x) r.push_back(e.pixel(x, f.y + f.h / 2));
        return r;
    };
    e.host.snap.meterLeft = 0.0f;
    e.view.idle();
    EXPECT_EQ(meter->intValue(), 0);
    const auto dark = row();
    auto lit = [&](int from, int to, const std::vector<std::uint32_t>& now) {
        int n = 0;
        for (int i = from; i < to; ++i) n += now[i] != dark[i];
        return n;
    };
    e.host.snap.meterLeft = 0.04f; // with the default reference of 1: sqrt(0.04) × 2.5
    EXPECT_FALSE(e.view.idle().empty());
    EXPECT_EQ(meter->intValue(), 50);
    const auto half = row();
    EXPECT_GE(lit(0, f.w / 2, half), f.w / 8);
    EXPECT_EQ(lit(f.w / 2, f.w, half), 0);
    e.host.snap.meterLeft = 0.16f;
    e.view.idle();
    EXPECT_GE(lit(f.w / 2, f.w, row()), f.w / 8);
    auto* light = e.view.control(PanelAction::MidiLight);
    e.host.snap.midiActivity = 1.0f;
    e.view.idle();
    EXPECT_EQ(light->intValue(), light->intMaximum());
}

// The whole panel for the parameter table's defaults against a checked-in image;
// MORAINE_UPDATE_GOLDEN=1 rewrites it after a deliberate change.
TEST(PanelImage, DefaultPanelMatchesTheCheckedInImage) {
    FakePanelHost host;
    Moraine_VSTView view(host);
    view.idle();
    ASSERT_EQ(view.canvas().modal(), nullptr) << "a message box: some art is missing";
    cairo_surface_t* drawn = view.canvas().surface();
    const std::string path =
        std::string(MORAINE_SOURCE_DIR) + "/tests/gui/golden/default-panel.png";
    if (std::getenv("MORAINE_UPDATE_GOLDEN")) {
        ASSERT_EQ(cairo_surface_write_to_png(drawn, path.c_str()), CAIRO_STATUS_SUCCESS);
        GTEST_SKIP() << "rewrote " << path;
    }
    cairo_surface_t* golden = cairo_image_surface_create_from_png(path.c_str());
    ASSERT_EQ(cairo_surface_status(golden), CAIRO_STATUS_SUCCESS) << path;
    ASSERT_EQ(cairo_image_surface_get_width(golden), kPanelWidth);
    ASSERT_EQ(cairo_image_surface_get_height(golden), kPanelHeight);
    cairo_surface_flush(drawn);
    const unsigned char *a = cairo_image_surface_get_data(drawn),
                        *b = cairo_image_surface_get_data(golden);
    const int sa = cairo_image_surface_get_stride(drawn),
              sb = cairo_image_surface_get_stride(golden);
    // Another cairo, pixman or FreeType may round an antialiased edge differently: a few
    // levels on a few pixels pass, a moved or missing control does not.
    int differing = 0;
    for (int y = 0; y < kPanelHeight; ++y)
        for (int x = 0; x < kPanelWidth; ++x)
            for (int c = 0; c < 3; ++c)
                if (std::abs(int(a[y * sa + x * 4 + c]) - int(b[y * sb + x * 4 + c])) > 24) {
                    ++differing;
                    break;
                }
    cairo_surface_destroy(golden);
    EXPECT_LE(differing, kPanelWidth * kPanelHeight / 1000);
}

TEST(PanelEditor, CallsOutOfOrderAndHostKeysOnlyForAMenuOrMessageBox) {
    FakePanelHost host;
    Moraine_Window editor(nullptr, host);
    editor.idle();                      // before open
    editor.close();                     // without open
    EXPECT_FALSE(editor.open(nullptr)); // no parent window: refused
    EXPECT_FALSE(editor.isOpen());
    EXPECT_TRUE(editor.openOffscreen());
    editor.idle();
    EXPECT_EQ(host.sink, &editor.view()->messages()); // message boxes go to the panel
    VstKeyCode down{0, 14, 0}, enter{0, 4, 0}, space{0, 7, 0}, unknown{0, 99, 0}; // VST keys
    EXPECT_FALSE(editor.onKeyDown(space)); // the host keeps Space for its transport
    const float before = host.parameterValue(81);
    const PanelRect voices = editor.view()->control(PanelAction::Voices)->frame();
    editor.view()->canvas().mouseDown(voices.x + 2, voices.y + 2, 0);
    editor.view()->canvas().mouseUp(voices.x + 2, voices.y + 2, 0);
    ASSERT_NE(editor.view()->canvas().modal(), nullptr);
    EXPECT_TRUE(editor.onKeyDown(down));
    EXPECT_FALSE(editor.onKeyDown(unknown));
    EXPECT_TRUE(editor.onKeyDown(enter)); // the next voice count, as one closed gesture
    EXPECT_EQ(host.parameterValue(81), before + 1);
    const auto count = [&](char k) {
        return std::count_if(host.edits.begin(), host.edits.end(),
                             [&](const FakePanelHost::Edit& e) { return e.kind == k; });
    };
    EXPECT_EQ(count('b'), count('e'));
    editor.close();
    EXPECT_EQ(host.sink, nullptr);
    editor.idle(); // after close
    EXPECT_EQ(editor.view(), nullptr);
}

} // namespace
} // namespace moraine::gui
