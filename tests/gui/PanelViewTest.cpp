#include "gui/PanelView.h"

#include "gui/FakePanelHost.h"

#include <gtest/gtest.h>

#include <thread>

namespace moraine::gui {
namespace {

using testing::FakePanelHost;

struct Editor {
    FakePanelHost host;
    Moraine_VSTView view{host};
    Editor() {
        view.idle(); // the first paint
        answerMessages();
    }
    // Missing art shows a message box; tests that click the panel answer it first.
    void answerMessages() {
        for (int i = 0; i < 100 && (view.canvas().modal() || view.messages().pending()); ++i) {
            view.canvas().keyDown(kKeyReturn, 0);
            view.idle();
        }
    }
    void click(int x, int y, int mods = 0) {
        view.canvas().mouseDown(x, y, mods);
        view.canvas().mouseUp(x, y, mods);
    }
};

TEST(PanelView, BuildsEveryRowWithTheInstrumentsValues) {
    Editor e;
    EXPECT_TRUE(e.view.built());
    EXPECT_EQ(e.host.sink, &e.view.messages()); // message boxes go to the panel while open
    for (const PanelControl& row : panelControls()) {
        SCOPED_TRACE(row.id);
        if (row.bound()) {
            CAUGuiCtrl* c = std::string(row.id) == "Master Bypass light" ? e.view.powerLight()
                                                                         : e.view.control(row.parameter);
            ASSERT_NE(c, nullptr);
            EXPECT_EQ(c->frame(), row.frame);
            EXPECT_EQ(c->activeRect(), row.active());
            EXPECT_FLOAT_EQ(c->floatValue(), e.host.parameterValue(row.parameter));
        } else {
            ASSERT_NE(e.view.control(row.action), nullptr);
        }
    }
    // Taking the values told the instrument nothing.
    EXPECT_TRUE(e.host.edits().empty());
}

TEST(PanelView, HostChangesMoveControlsOnTheNextIdleAndEqualOnesPaintNothing) {
    Editor e;
    e.view.idle();
    const long paints = e.view.canvas().paintCount();
    // From another thread, as a host's automation would.
    std::thread([&] { e.host.hostSets(12, 0.7f); }).join();
    EXPECT_NE(e.view.control(12)->floatValue(), 0.7f); // nothing happens before idle
    EXPECT_FALSE(e.view.idle().empty());
    EXPECT_FLOAT_EQ(e.view.control(12)->floatValue(), 0.7f);
    EXPECT_EQ(e.view.canvas().paintCount(), paints + 1);

    std::thread([&] { e.host.hostSets(12, 0.7f); }).join(); // the same value again
    EXPECT_TRUE(e.view.idle().empty());
    EXPECT_EQ(e.view.canvas().paintCount(), paints + 1);
    EXPECT_TRUE(e.host.edits().empty()); // never echoed back to the host
}

TEST(PanelView, MasterBypassControlsMirrorEachOther) {
    Editor e;
    CAUGuiCtrl* sw = e.view.control(1);
    CAUGuiCtrl* light = e.view.powerLight();
    ASSERT_NE(light, nullptr);
    ASSERT_NE(sw, light);
    EXPECT_EQ(sw->intValue(), 1);
    EXPECT_EQ(light->intValue(), 1);
    const PanelRect l = light->frame();
    e.click(l.x + 5, l.y + 5); // the power light turns it off
    EXPECT_EQ(light->intValue(), 0);
    EXPECT_EQ(sw->intValue(), 0);
    EXPECT_FLOAT_EQ(e.host.parameterValue(1), 0.0f);
    e.host.hostSets(1, 1.0f); // and the host turns both back on
    e.view.idle();
    EXPECT_EQ(light->intValue(), 1);
    EXPECT_EQ(sw->intValue(), 1);
}

TEST(PanelView, GateButtonsPlayAndSaveAsDoesNothingYet) {
    Editor e;
    for (PanelAction a : {PanelAction::EnvelopeGate, PanelAction::PortamentoGate}) {
        const PanelRect f = e.view.control(a)->frame();
        e.view.canvas().mouseDown(f.x + 2, f.y + 2, 0);
        e.view.canvas().mouseUp(f.x + 2, f.y + 2, 0);
    }
    EXPECT_EQ(e.host.envelope, (std::vector<bool>{true, false}));
    EXPECT_EQ(e.host.portamento, (std::vector<bool>{true, false}));
    for (PanelAction a : {PanelAction::SaveAs, PanelAction::PatchManager, PanelAction::Logo}) {
        const PanelRect f = e.view.control(a)->frame();
        e.click(f.x + 2, f.y + 2);
        EXPECT_EQ(e.view.canvas().modal(), nullptr);
    }
    EXPECT_TRUE(e.host.edits().empty());
}

TEST(PanelView, ShiftClickRecordsTheParameterForTheMidiMap) {
    Editor e;
    const PanelRect f = e.view.control(2)->frame();
    e.click(f.x + 5, f.y + 30, kModShift);
    EXPECT_EQ(e.view.midiMapParameter(), 2);
    EXPECT_TRUE(e.host.edits().empty());
}

TEST(PanelView, PatchMenusListTheLibraryAndLoadTheChoice) {
    Editor e;
    auto* group = dynamic_cast<PatchMenu*>(e.view.control(PanelAction::GroupMenu));
    auto* patch = dynamic_cast<PatchMenu*>(e.view.control(PanelAction::PatchMenu));
    ASSERT_NE(group, nullptr);
    ASSERT_NE(patch, nullptr);
    EXPECT_EQ(group->names(), e.host.library().groupNameList());
    EXPECT_EQ(patch->names(), e.host.library().patchNameList());
    ASSERT_GE(patch->names().size(), 2u) << e.host.library().groupNameList().size();
    const PanelRect f = patch->frame();
    e.click(f.x + 5, f.y + 5);
    ASSERT_NE(e.view.canvas().modal(), nullptr);
    e.view.canvas().keyDown(kKeyHome, 0);
    e.view.canvas().keyDown(kKeyDown, 0);
    e.view.canvas().keyDown(kKeyReturn, 0);
    EXPECT_EQ(patch->current(), 1);
    EXPECT_EQ(e.host.library().currentCategoryPtr()->currentPatch, 1);
    EXPECT_EQ(e.host.patchLoads, (std::vector<int>{kSourceLibrary}));
}

TEST(PanelView, MessagesQueueAndNeverBlock) {
    Editor e;
    e.view.messages().inform("first");
    bool answered = false, answer = true;
    e.view.messages().ask("second?", [&](bool ok) {
        answered = true;
        answer = ok;
    });
    EXPECT_FALSE(e.view.messages().confirm("third?")); // cannot wait: answered Cancel
    e.view.idle();
    auto* box = dynamic_cast<PanelMessageBox*>(e.view.canvas().modal());
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text(), "first");
    e.view.canvas().keyDown(kKeyReturn, 0);
    e.view.idle();
    box = dynamic_cast<PanelMessageBox*>(e.view.canvas().modal());
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text(), "second?");
    EXPECT_FALSE(answered);
    e.view.canvas().keyDown(kKeyEscape, 0);
    EXPECT_TRUE(answered);
    EXPECT_FALSE(answer);
}

TEST(PanelView, MetersFollowTheSnapshot) {
    Editor e;
    auto* meter = e.view.control(PanelAction::LevelMeter0);
    e.host.snap.meterLeft = 0.0f;
    e.view.idle();
    EXPECT_EQ(meter->intValue(), 0);
    e.host.snap.meterLeft = 0.04f; // with the default reference of 1: sqrt(0.04) × 2.5
    EXPECT_FALSE(e.view.idle().empty());
    EXPECT_EQ(meter->intValue(), 50);
    auto* light = e.view.control(PanelAction::MidiLight);
    e.host.snap.midiActivity = 1.0f;
    e.view.idle();
    EXPECT_EQ(light->intValue(), light->intMaximum());
}

} // namespace
} // namespace moraine::gui
