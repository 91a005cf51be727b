// The panel's dialogs: patch manager, save as with its rename and new-group dialogs, the
// MIDI map with learn, MIDI beat, load and save MIDI map, tunings, the about box, the file
// chooser for import and export, and the panel menu behind the logo. Each is built from its
// layout rows and calls the library, map and tuning operations; a question an operation
// asks is put to the user in an in-panel message box and the operation goes on when the
// answer arrives on a later event, so the host's thread never waits.
#pragma once

#include "dialogs/Layouts.h"
#include "dialogs/Popup.h"
#include "gui/PanelView.h"
#include "patch/PatchManager.h"

#include <map>

namespace moraine::dialogs {

class PanelDialogsImpl;

// A popup built from a layout; buttons with a role call action(role).
class Dialog : public QIXInternalPopup {
public:
    Dialog(PanelDialogsImpl& owner, DialogKind kind);
    DialogKind kind() const { return kind_; }
    CAUGuiCtrl* control(int role) const;
    QIXTextEditor* field(int role) const { return dynamic_cast<QIXTextEditor*>(control(role)); }
    QIXTextList* list(int role) const { return dynamic_cast<QIXTextList*>(control(role)); }
    QIXStringMenu* menu(int role) const { return dynamic_cast<QIXStringMenu*>(control(role)); }
    // The button with `role`, for tests: its centre.
    bool centreOf(int role, int& x, int& y) const;
    virtual void action(int role);
    void ok() override { action(kRoleOk); }
    void cancel() override { action(kRoleCancel); }
    // Closes this dialog (top level) or takes it off its parent (nested).
    void close();
    QIXInternalPopup* parentPopup = nullptr;

protected:
    PanelDialogsImpl& owner_;
    DialogKind kind_;
    std::multimap<int, CAUGuiCtrl*> roles_;
    std::map<int, RadioGroup> radios_;
};

class PanelDialogsImpl : public gui::PanelDialogs {
public:
    explicit PanelDialogsImpl(gui::Moraine_VSTView& view);
    ~PanelDialogsImpl() override;

    bool open(gui::PanelAction action) override;
    bool openMidiMap(int parameter) override;
    void idle(const PanelSnapshot& snapshot) override;

    // Opens `kind` as the modal popup; null when another popup is modal.
    Dialog* openDialog(DialogKind kind);
    Dialog* current() const;
    // The panel menu's commands (1 about, 3 load map, 4 save map, 6 tunings, 8 beat,
    // 10 tips).
    void menuCommand(int id);
    // Asks `text` in a message box over the open dialog; `answer` runs with the reply.
    void ask(const std::string& text, std::function<void(bool)> answer);
    void inform(const std::string& text);
    // Opens the file chooser: for import (open) or export (save).
    Dialog* openFileChooser(bool save, std::function<void(const std::string& path)> chosen);

    gui::Moraine_VSTView& view() { return view_; }
    PanelHost& host() { return view_.host(); }
    // The dialogs' own art first (buttons, check box, curves, menu and range pieces), then
    // the panel's (backgrounds).
    const CAUGuiGraphic* image(const char* name) const;
    const PanelSnapshot& snapshot() const { return snapshot_; }
    std::string lastFolder;

private:
    void loadImages();
    gui::Moraine_VSTView& view_;
    PanelSnapshot snapshot_;
    std::map<std::string, std::unique_ptr<CAUGuiGraphic>> images_;
};

// The factory the plug-in installs (gui::setPanelDialogsFactory).
std::unique_ptr<gui::PanelDialogs> createPanelDialogs(gui::Moraine_VSTView& view);
// Installs it; the plug-in calls this once before it makes an editor.
void installPanelDialogs();

} // namespace moraine::dialogs
