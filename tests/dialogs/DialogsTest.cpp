// The dialogs on a real library in a temporary data folder, driven through the canvas as
// the window would drive them (no X); their text field's editing rules; and the dialogs on
// the real instrument.
#include "dialogs/Dialogs.h"
#include "dialogs/Popup.h"
#include "dialogs/Roles.h"
#include "gui/FakePanelHost.h"
#include "patch/MidiMap.h"
#include "plugin/PluginTestSupport.h"

#include <cairo.h>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <optional>

namespace moraine::dialogs {
namespace {

using namespace gui;
using testing::FakePanelHost;

// A panel with the dialogs; other suites' panels stay without them.
std::unique_ptr<Moraine_VSTView> viewWithDialogs(PanelHost& host) {
    setPanelDialogsFactory(&createPanelDialogs);
    auto view = std::make_unique<Moraine_VSTView>(host);
    setPanelDialogsFactory(nullptr);
    return view;
}

struct Panel {
    Panel() { view->idle(); }
    PanelDialogsImpl& dialogs() { return *static_cast<PanelDialogsImpl*>(view->dialogs()); }
    Dialog* dialog() { return dialogs().current(); }
    CAUGuiCanvas& canvas() { return view->canvas(); }
    void clickAt(int x, int y, int mods = 0) {
        canvas().mouseDown(x, y, mods);
        canvas().mouseUp(x, y, mods);
        view->idle();
    }
    void click(const CAUGuiCtrl* c, int mods = 0) {
        ASSERT_NE(c, nullptr);
        clickAt(c->frame().x + c->frame().w / 2, c->frame().y + c->frame().h / 2, mods);
    }
    void press(PanelAction a) { click(view->control(a)); }
    void firstRow(const CAUGuiCtrl* list) { clickAt(list->frame().x + 10, list->frame().y + 3); }
    void type(const std::string& text) {
        for (char c : text) canvas().keyDown(c, 0);
        view->idle();
    }
    void key(int k, int mods = 0) {
        canvas().keyDown(k, mods);
        view->idle();
    }
    // The message box showing inside the dialog, if any.
    PanelMessageBox* box() { return dialog() ? dynamic_cast<PanelMessageBox*>(dialog()->innermost()) : nullptr; }
    FakePanelHost host;
    std::unique_ptr<Moraine_VSTView> view = viewWithDialogs(host);
};

// Missing or damaged art shows as a message box: none when the dialogs load their images,
// none when each dialog opens.
TEST(Dialogs, EveryDialogFindsItsArt) {
    Panel p;
    EXPECT_EQ(p.canvas().modal(), nullptr);
    // Their own art is not the panel's: without it the buttons would be bare stand-ins.
    EXPECT_TRUE(p.dialogs().image("ok.png") && p.dialogs().image("ok.png")->hasBitmap());
    for (DialogKind k : {DialogKind::PatchManager, DialogKind::SaveAs, DialogKind::MidiBeat,
                         DialogKind::SaveMidiMap, DialogKind::About, DialogKind::LoadMidiMap,
                         DialogKind::MidiMap}) {
        SCOPED_TRACE(int(k));
        ASSERT_TRUE(k == DialogKind::MidiMap ? p.dialogs().openMidiMap(kParamVcfCoarse)
                                             : p.dialogs().openDialog(k) != nullptr);
        p.view->idle();
        EXPECT_EQ(p.box(), nullptr);
        EXPECT_FALSE(p.view->messages().pending());
        p.dialog()->action(kRoleCancel);
        p.view->idle();
        ASSERT_EQ(p.canvas().modal(), nullptr);
    }
}

// The file on disk is checked through a real window (Editor.dialogs), the numbers typed
// outside 1 to 128 by the patch manager's own tests.
TEST(Dialogs, SaveAsTypedNameLandsInTheLibraryWithItsTextsAndNumber) {
    Panel p;
    p.press(PanelAction::SaveAs);
    Dialog* d = p.dialog();
    ASSERT_TRUE(d && d->kind() == DialogKind::SaveAs);
    p.click(d->field(kRoleName));
    p.type("Glacier Pad"); // the first click selected everything: typing replaces it
    p.key(kKeyTab);        // on to the author
    p.type("Ana");
    p.click(d->field(kRoleMidiNumber));
    p.key(kKeyBackspace); // empty: the caret stands alone at the field's left margin
    const PanelRect n = d->field(kRoleMidiNumber)->frame();
    const std::uint32_t* row = p.canvas().pixels() + (n.y + n.h / 2) * p.canvas().stride() / 4;
    EXPECT_EQ(row[n.x + 3] & 0xffffff, 0u);
    EXPECT_EQ(row[n.x] & 0xffffff, 0x333333u); // a sharp border, one pixel on its frame
    p.type("7x"); // the x is refused
    // The box starts as the current patch has it; the saved patch shows its notes.
    if (d->control(kRoleDisplayNotes)->intValue() == 0) p.click(d->control(kRoleDisplayNotes));
    p.click(d->field(kRoleNotes));
    p.type("line one");
    p.key(kKeyReturn, kModShift);
    p.type("two");
    p.key(kKeyReturn); // confirms the field; the next Return is the dialog's OK
    p.key(kKeyReturn);
    EXPECT_EQ(p.dialog(), nullptr);
    PatchRecord* saved = p.host.library().selectedPatch();
    ASSERT_NE(saved, nullptr);
    EXPECT_EQ(saved->name, "Glacier Pad");
    EXPECT_EQ(saved->author, "Ana");
    EXPECT_EQ(saved->midiProgram, 6);
    EXPECT_EQ(saved->displayNotes, 1);
    EXPECT_EQ(saved->notes, "line one\ntwo");
    EXPECT_GE(p.host.libraryChanges, 1);
}

TEST(Dialogs, SaveAsCancelRestoresTheSelectionButKeepsANewGroup) {
    Panel p;
    PatchLibrary& lib = p.host.library();
    const int group = lib.currentGroup;
    const std::size_t groups = lib.groups.size();
    p.dialogs().openDialog(DialogKind::SaveAs);
    Dialog* d = p.dialog();
    d->action(kRoleNewGroup);
    auto* nested = dynamic_cast<Dialog*>(d->nested());
    ASSERT_NE(nested, nullptr);
    // Blank names are refused and the nested dialog stays open.
    nested->action(kRoleOk);
    EXPECT_EQ(d->nested(), nested);
    nested->field(kRoleGroupName)->setText("Drones");
    nested->field(kRoleCategoryName)->setText("Low");
    nested->action(kRoleOk);
    p.view->idle();
    EXPECT_EQ(d->nested(), nullptr);
    EXPECT_EQ(lib.groups.size(), groups + 1);
    EXPECT_EQ(d->menu(kRoleGroupMenu)->currentText(), "Drones");
    // The menu's list stops at its first row however often Up is pressed.
    p.click(d->menu(kRoleGroupMenu));
    for (std::size_t i = 0; i <= groups; ++i) p.key(kKeyUp);
    p.key(kKeyReturn);
    EXPECT_EQ(d->menu(kRoleGroupMenu)->current(), 0);
    p.key(kKeyEscape);
    EXPECT_EQ(p.dialog(), nullptr);
    EXPECT_EQ(lib.groups.size(), groups + 1);
    EXPECT_EQ(lib.currentGroup, group);
}

TEST(Dialogs, OnlyOneDialogAtATimeAndMenuCommands) {
    Panel p;
    ASSERT_NE(p.dialogs().openDialog(DialogKind::PatchManager), nullptr);
    EXPECT_EQ(p.dialogs().openDialog(DialogKind::SaveAs), nullptr);
    EXPECT_FALSE(p.dialogs().openMidiMap(23));
    p.dialogs().menuCommand(1);
    EXPECT_EQ(p.dialog()->kind(), DialogKind::PatchManager);
    p.key(kKeyEscape);
    EXPECT_EQ(p.dialog(), nullptr);
    // The about box closes on a key.
    p.dialogs().menuCommand(1);
    ASSERT_NE(p.dialog(), nullptr);
    p.key('q');
    EXPECT_EQ(p.dialog(), nullptr);
    // The logo opens the panel menu; its first item opens the about box.
    p.press(PanelAction::Logo);
    ASSERT_NE(dynamic_cast<PanelPopupMenu*>(p.canvas().modal()), nullptr);
    p.key(kKeyReturn);
    ASSERT_NE(p.dialog(), nullptr);
    EXPECT_EQ(p.dialog()->kind(), DialogKind::About);
    // The beat dialog stores its four settings on OK only.
    p.key(kKeyEscape);
    p.dialogs().menuCommand(8);
    ASSERT_NE(p.dialog(), nullptr);
    p.dialog()->field(kRoleClockPulses)->setText("12");
    p.dialog()->action(kRoleCancel);
    EXPECT_NE(p.host.parameterValue(kParamClockPulses), 12.0f);
    p.dialogs().menuCommand(8);
    p.dialog()->field(kRoleClockPulses)->setText("12");
    p.dialog()->action(kRoleOk);
    EXPECT_EQ(p.host.parameterValue(kParamClockPulses), 12.0f);
}

TEST(Dialogs, PatchManagerDeleteAsksInsideTheDialogAndCutThenEscapeDiscards) {
    Panel p;
    PatchLibrary& lib = p.host.library();
    const auto count = [&] { return lib.currentCategoryPtr()->patches.size(); };
    const std::size_t patches = count();
    ASSERT_GE(patches, 2u);
    p.press(PanelAction::PatchManager);
    Dialog* d = p.dialog();
    ASSERT_NE(d, nullptr);
    QIXTextList* list = d->list(kRolePatchList);
    EXPECT_EQ(list->items().size(), patches);
    // Cut, then Escape: the library reverts.
    p.firstRow(list);
    d->action(kRoleCut);
    EXPECT_EQ(count(), patches - 1);
    p.key(kKeyEscape);
    EXPECT_EQ(p.dialog(), nullptr);
    EXPECT_EQ(count(), patches);
    // Delete asks in a box nested in the dialog; Cancel says so and keeps the patch.
    p.press(PanelAction::PatchManager);
    d = p.dialog();
    list = d->list(kRolePatchList);
    p.firstRow(list);
    d->action(kRoleDelete);
    p.view->idle();
    ASSERT_NE(p.box(), nullptr);
    EXPECT_NE(p.box()->text().find("Are you sure you want to delete 1 Patch"), std::string::npos);
    const PanelRect f = d->frame(), b = p.box()->frame(); // centred on the dialog that asks
    EXPECT_LE(std::abs((b.x - f.x) - (f.right() - b.right())), 1);
    EXPECT_LE(std::abs((b.y - f.y) - (f.bottom() - b.bottom())), 1);
    p.key(kKeyEscape); // the box's Cancel, not the dialog's
    EXPECT_EQ(p.dialog(), d);
    EXPECT_EQ(count(), patches);
    p.view->idle(); // "Deletion Canceled" goes to the library's sink
    d->action(kRoleDelete);
    p.view->idle();
    ASSERT_NE(p.box(), nullptr);
    p.key(kKeyReturn);
    EXPECT_EQ(count(), patches - 1);
    EXPECT_EQ(list->items().size(), patches - 1);
    d->action(kRoleOk);
    EXPECT_EQ(p.dialog(), nullptr);
}

// With no folder used yet the chooser starts in the home folder.
struct HomeFolder {
    explicit HomeFolder(const std::string& path) {
        if (const char* h = std::getenv("HOME")) saved = h;
        setenv("HOME", path.c_str(), 1);
    }
    ~HomeFolder() { saved ? setenv("HOME", saved->c_str(), 1) : unsetenv("HOME"); }
    std::optional<std::string> saved;
};

TEST(Dialogs, PatchManagerExportsAndImportsThroughTheFileChooser) {
    Panel p;
    PatchLibrary& lib = p.host.library();
    const std::filesystem::path folder = std::filesystem::path(lib.currentGroupPtr()->path) / "exports";
    std::filesystem::create_directories(folder);
    HomeFolder home(folder.string());
    p.dialogs().openDialog(DialogKind::PatchManager);
    Dialog* d = p.dialog();
    p.firstRow(d->list(kRoleCategoryList));
    const std::size_t categories = lib.currentGroupPtr()->categories.size();
    d->action(kRoleExport);
    auto* chooser = dynamic_cast<Dialog*>(d->nested());
    ASSERT_NE(chooser, nullptr);
    chooser->field(kRoleNewName)->setText("cat"); // ".qix" added
    chooser->action(kRoleOk);
    EXPECT_EQ(d->nested(), nullptr);
    EXPECT_TRUE(std::filesystem::exists(folder / "cat.qix"));
    EXPECT_EQ(p.dialogs().lastFolder, folder.string());
    // Import lists the archive; choosing it adds the category again.
    d->action(kRoleImport);
    chooser = dynamic_cast<Dialog*>(d->nested());
    ASSERT_NE(chooser, nullptr);
    ASSERT_EQ(chooser->list(kRoleFileList)->items().size(), 1u);
    p.firstRow(chooser->list(kRoleFileList));
    chooser->action(kRoleOk);
    p.view->idle();
    EXPECT_GT(lib.currentGroupPtr()->categories.size() + lib.groups.size(), categories + 1);
}

TEST(Dialogs, MidiMapLearnsTheLastControllerAndStoresTheEntry) {
    Panel p;
    p.click(p.view->control(kParamVcfCoarse), kModShift);
    Dialog* d = p.dialog();
    ASSERT_TRUE(d && d->kind() == DialogKind::MidiMap);
    // Without learn ticked a controller changes nothing.
    p.host.snap.lastController = 7;
    p.view->idle();
    EXPECT_NE(d->field(kRoleControllerNumber)->text(), "7");
    p.click(d->control(kRoleLearn)); // from now on it follows the controllers
    p.host.snap.lastController = 20;
    p.view->idle();
    EXPECT_EQ(d->field(kRoleControllerNumber)->text(), "20");
    p.click(d->field(kRoleControllerNumber)); // clicked into and out of, it keeps the number
    // The curve buttons are a radio group: the third, 40 pixels on, is exponential.
    const auto range = d->control(kRoleSourceCurve + 0);
    ASSERT_NE(range, nullptr);
    p.clickAt(range->frame().x + 45, range->frame().y + 5);
    p.key(kKeyReturn);
    EXPECT_EQ(p.dialog(), nullptr);
    const MidiMapEntry* e = p.host.midiMap().findEntry(kParamVcfCoarse);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->curve[0], 2);
    EXPECT_EQ(e->controller, 20);
    // Parameters from 79 on have no map dialog.
    EXPECT_FALSE(p.dialogs().openMidiMap(79));
}

TEST(Dialogs, PopupDragsByItsBackgroundAndClosesWithTheEditor) {
    Panel p;
    p.dialogs().openDialog(DialogKind::SaveAs);
    Dialog* d = p.dialog();
    const PanelRect before = d->frame();
    const PanelRect field = d->field(kRoleName)->frame();
    p.canvas().mouseDown(before.x + 5, before.y + 5, 0);
    p.canvas().mouseMove(before.x + 15, before.y + 10, true, 0); // in two steps
    p.canvas().mouseMove(before.x + 25, before.y + 15, true, 0);
    p.canvas().mouseUp(before.x + 25, before.y + 15, 0);
    EXPECT_EQ(d->frame().x, before.x + 20);
    EXPECT_EQ(d->field(kRoleName)->frame().y, field.y + 10);
    // A nested dialog drags the same way, and alone.
    d->action(kRoleNewGroup);
    CAUGuiCtrl* inner = d->innermost();
    ASSERT_NE(inner, d);
    const PanelRect outer = d->frame(), start = inner->frame();
    p.canvas().mouseDown(start.x + 5, start.y + 5, 0);
    p.canvas().mouseMove(start.x + 15, start.y + 25, true, 0);
    p.canvas().mouseUp(start.x + 15, start.y + 25, 0);
    EXPECT_EQ(inner->frame().x, start.x + 10);
    EXPECT_EQ(inner->frame().y, start.y + 20);
    EXPECT_EQ(d->frame().x, outer.x);
    // A press outside both dialogs drags neither.
    p.canvas().mouseDown(outer.right() + 5, outer.y, 0);
    p.canvas().mouseMove(outer.right() + 25, outer.y + 10, true, 0);
    p.canvas().mouseUp(outer.right() + 25, outer.y + 10, 0);
    EXPECT_EQ(inner->frame().x, start.x + 10);
    p.view.reset(); // the editor closes with a nested dialog open: nothing left to crash on
}

// Paints its frame in one colour, through a clip of its own if asked: a clip or source
// left behind would spoil what is drawn after it.
struct Swatch : CAUGuiCtrl {
    Swatch(CAUGuiCanvas& c, PanelRect f, double r, double g, double b, bool clip)
        : CAUGuiCtrl(c, f), rgb{r, g, b}, ownClip(clip) {}
    void draw(cairo_t* cr) override {
        cairo_set_source_rgb(cr, rgb[0], rgb[1], rgb[2]);
        cairo_rectangle(cr, frame_.x, frame_.y, frame_.w, frame_.h);
        ownClip ? (cairo_clip(cr), cairo_paint(cr)) : cairo_fill(cr);
    }
    double rgb[3];
    bool ownClip;
};

// A popup clips its children to its frame, keeps each child's clip to that child, and
// draws its nested popup after them, over them and beyond its own frame.
TEST(Popup, ClipsItsChildrenAndDrawsTheNestedPopupLastUnclipped) {
    CAUGuiCanvas canvas{nullptr};
    auto& popup = static_cast<QIXInternalPopup&>(*canvas.addTopLevel(
        std::make_unique<QIXInternalPopup>(canvas, PanelRect{20, 20, 60, 60}, nullptr)));
    // Children are placed relative to the popup: at 25, 25 and 40, 40.
    popup.add(std::make_unique<Swatch>(canvas, PanelRect{5, 5, 10, 10}, 1, 0, 0, true));
    popup.add(std::make_unique<Swatch>(canvas, PanelRect{20, 20, 60, 20}, 0, 0, 1, false));
    popup.openNested(std::make_unique<Swatch>(canvas, PanelRect{70, 50, 40, 40}, 0, 1, 0, false));
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 120, 120);
    cairo_t* cr = cairo_create(s);
    popup.draw(cr);
    cairo_surface_flush(s);
    EXPECT_EQ(cairo_status(cr), CAIRO_STATUS_SUCCESS);
    auto pixel = [&](int x, int y) {
        return reinterpret_cast<std::uint32_t*>(cairo_image_surface_get_data(s))[y * 120 + x] & 0xffffff;
    };
    EXPECT_EQ(pixel(30, 30), 0xff0000u); // the first child
    EXPECT_EQ(pixel(45, 45), 0x0000ffu); // the second, outside the first one's clip
    EXPECT_NE(pixel(90, 45), 0x0000ffu); // not beyond the popup's frame
    EXPECT_EQ(pixel(75, 55), 0x00ff00u); // the nested popup over the second child
    EXPECT_EQ(pixel(100, 85), 0x00ff00u); // and beyond the frame
    cairo_destroy(cr);
    cairo_surface_destroy(s);
}

// The editing rules of the dialogs' text field, without drawing. Tab, Return, typing over
// the selection a new focus makes and a refused digit are seen through the save dialog above.
using R = TextFieldModel::KeyResult;

TEST(TextField, KeysEditAndMoveOnCharacterBoundaries) {
    const struct {
        const char* what;
        const char* start; // the caret at its end unless `caret` says otherwise
        int caret, key, mods;
        const char* text;
        int caretAfter;
        R result;
    } cases[] = {
        {"typing appends", "ab", -1, 'c', 0, "abc", 3, R::Handled},
        {"backspace takes a whole two-byte character", "a\xC3\xA9", -1, kKeyBackspace, 0, "a", 1, R::Handled},
        {"backspace takes a whole four-byte character", "x\xF0\x9F\x8E\xB9", -1, kKeyBackspace, 0, "x", 1, R::Handled},
        {"delete before a character", "\xC3\xA9z", 0, kKeyDelete, 0, "z", 0, R::Handled},
        {"left steps over a character", "a\xE2\x82\xAC", -1, kKeyLeft, 0, "a\xE2\x82\xAC", 1, R::Handled},
        {"escape abandons", "ab", -1, kKeyEscape, 0, "ab", 2, R::Abandon},
        {"shift tab moves back", "ab", -1, kKeyTab, kModShift, "ab", 2, R::Previous},
        {"ctrl v asks for the clipboard", "ab", -1, 'v', kModCtrl, "ab", 2, R::Paste},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TextFieldModel m;
        m.setText(c.start);
        m.moveCaret(c.caret < 0 ? m.text().size() : std::size_t(c.caret), false);
        EXPECT_EQ(m.key(c.key, c.mods), c.result);
        EXPECT_EQ(m.text(), c.text);
        EXPECT_EQ(m.caret(), std::size_t(c.caretAfter));
    }
}

TEST(TextField, ShiftSelectsCutAndBackspaceTakeTheSelection) {
    TextFieldModel m;
    m.setText("hello world");
    m.moveCaret(5, false);
    m.key(kKeyHome, kModShift);
    EXPECT_EQ(m.selectedText(), "hello"); // what Ctrl+X puts on the clipboard
    EXPECT_EQ(m.key('x', kModCtrl), R::Cut);
    m.eraseSelection();
    EXPECT_EQ(m.text(), " world");
    m.key(kKeyEnd, kModShift);
    m.key(kKeyBackspace, 0);
    EXPECT_EQ(m.text(), "");
}

TEST(TextField, LineBreaksNumbersAndBadBytes) {
    // A one-line field turns line breaks into spaces; a notes field keeps one LF for CR LF.
    TextFieldModel line;
    line.setText("two\r\nlines");
    EXPECT_EQ(line.text(), "two lines");
    TextFieldModel notes;
    notes.setMultiLine(true);
    notes.setText("two\r\nlines\rthree");
    EXPECT_EQ(notes.text(), "two\nlines\nthree");
    TextFieldModel number; // a paste with anything but digits is refused whole
    number.setNumbersOnly(true);
    number.setText("1");
    EXPECT_FALSE(number.insert("12x"));
    EXPECT_EQ(number.text(), "1");
    // Invalid UTF-8 from a clipboard becomes replacement characters, never half a one.
    TextFieldModel bad;
    bad.setText("a\xC3\x28" "b\xF0\x9F" "c\xED\xA0\x80");
    EXPECT_EQ(bad.text(), "a\xEF\xBF\xBD(b\xEF\xBF\xBD\xEF\xBF\xBD" "c\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");
    EXPECT_EQ(TextFieldModel::clean(std::string("x\0y\x7F", 4)), "xy");
}

// On the real instrument the library tree is the editor's while it idles: a MIDI program
// change that arrives while a dialog is open lands on the next idle, and the dialog stays.
TEST(DialogsInPlugin, AProgramChangeWhileADialogIsOpenLandsOnTheNextIdle) {
    testing::TempDataFolder folder;
    folder.write("defaultLibrary", std::string(findResource("defaultLibrary")));
    testing::LivePlugin live;
    PanelHost& panel = live.plugin->panelHost();
    auto view = (panel.controlLock(), viewWithDialogs(panel));
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
    auto lock = panel.controlLock();
    EXPECT_EQ(panel.library().selectedPatch()->name, wanted);
    EXPECT_NE(dialogs.current(), nullptr);
    view.reset();
}

} // namespace
} // namespace moraine::dialogs
