// The dialogs on the real instrument: the library tree is the editor's while it idles, and a
// MIDI program change that arrives while a dialog is open lands on the next idle.
#include "dialogs/Dialogs.h"
#include "dialogs/Roles.h"
#include "patch/PatchLibrary.h"
#include "platform/Resources.h"
#include "plugin/PluginTestSupport.h"
#include "support/TempDataFolder.h"

#include <gtest/gtest.h>

namespace moraine::dialogs {
namespace {

using namespace gui;

TEST(DialogsInPlugin, AProgramChangeWhileADialogIsOpenLandsOnTheNextIdle) {
    testing::TempDataFolder folder;
    folder.write("defaultLibrary", std::string(findResource("defaultLibrary")));
    testing::LivePlugin live;
    PanelHost& panel = live.plugin->panelHost();
    std::unique_ptr<Moraine_VSTView> view;
    {
        auto lock = panel.controlLock();
        setPanelDialogsFactory(&createPanelDialogs);
        view = std::make_unique<Moraine_VSTView>(panel);
        setPanelDialogsFactory(nullptr);
    }
    auto& dialogs = *static_cast<PanelDialogsImpl*>(view->dialogs());
    const auto idle = [&] { return panel.controlLock(), view->idle(), 0; };
    const auto selected = [&] { return panel.controlLock(), panel.library().selectedPatch()->name; };
    live.render();
    idle();
    const std::string before = selected();
    std::string wanted;
    {
        auto lock = panel.controlLock();
        ASSERT_NE(dialogs.openDialog(DialogKind::PatchManager), nullptr);
        PatchRecord* target = panel.library().patchForProgram(1);
        ASSERT_NE(target, nullptr);
        wanted = target->name;
        ASSERT_NE(wanted, before);
    }
    // The render call takes no lock: it applies the prepared program image at once.
    live.midi(0, 0xC0, 1, 0);
    live.render();
    EXPECT_EQ(selected(), before); // not yet: the tree is the editor's
    idle();                        // the record waits in the mailbox until now
    {
        auto lock = panel.controlLock();
        EXPECT_EQ(panel.library().selectedPatch()->name, wanted);
        std::string name, author, date, notes;
        panel.currentTexts(name, author, date, notes);
        EXPECT_EQ(name, wanted);
        ASSERT_NE(dialogs.current(), nullptr); // the dialog stays open
        dialogs.current()->action(kRoleCancel);
    }
    idle();
    {
        auto lock = panel.controlLock();
        EXPECT_EQ(dialogs.current(), nullptr);
        view.reset();
    }
}

} // namespace
} // namespace moraine::dialogs
