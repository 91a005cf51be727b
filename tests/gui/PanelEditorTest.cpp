#include "gui/PanelEditor.h"
#include "gui/PanelView.h"

#include "gui/FakePanelHost.h"

#include <gtest/gtest.h>

namespace moraine::gui {
namespace {

TEST(PanelEditor, RectangleBeforeOpenAndCallsOutOfOrder) {
    testing::FakePanelHost host;
    Moraine_Window editor(nullptr, host);
    ERect* rect = nullptr;
    ASSERT_TRUE(editor.getRect(&rect));
    ASSERT_NE(rect, nullptr);
    EXPECT_EQ(rect->right - rect->left, 1010);
    EXPECT_EQ(rect->bottom - rect->top, 623);
    editor.idle();  // before open
    editor.close(); // without open
    EXPECT_FALSE(editor.open(nullptr)); // no parent window: refused, nothing opens
    EXPECT_FALSE(editor.isOpen());
    EXPECT_TRUE(editor.openOffscreen());
    editor.idle();
    EXPECT_EQ(host.sink, &editor.view()->messages());
    editor.close();
    EXPECT_EQ(host.sink, nullptr);
    editor.idle(); // after close
    EXPECT_EQ(editor.view(), nullptr);
}

TEST(PanelEditor, HostKeysAreTakenOnlyByAMenuOrMessageBox) {
    testing::FakePanelHost host;
    Moraine_Window editor(nullptr, host);
    editor.openOffscreen();
    editor.idle();
    VstKeyCode down{0, 14, 0}; // VST virtual key 14: cursor down
    VstKeyCode space{0, 7, 0};
    EXPECT_FALSE(editor.onKeyDown(space)); // the host keeps Space for its transport
    CAUGuiCanvas& canvas = editor.view()->canvas();
    const PanelRect voices = editor.view()->control(PanelAction::Voices)->frame();
    canvas.mouseDown(voices.x + 2, voices.y + 2, 0);
    canvas.mouseUp(voices.x + 2, voices.y + 2, 0);
    ASSERT_NE(canvas.modal(), nullptr);
    EXPECT_TRUE(editor.onKeyDown(down));
    VstKeyCode unknown{0, 99, 0};
    EXPECT_FALSE(editor.onKeyDown(unknown));
    EXPECT_EQ(panelKeyFromVst('a', 0), 'a');
    EXPECT_EQ(panelKeyFromVst(0, 4), kKeyReturn);
}

} // namespace
} // namespace moraine::gui
