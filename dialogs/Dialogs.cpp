#include "dialogs/Dialogs.h"

#include "dialogs/Roles.h"
#include "patch/MidiMap.h"
#include "patch/PatchLibrary.h"
#include "patch/TuningFile.h"
#include "platform/DataFolder.h"

#include <algorithm>
#include <cstdlib>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

namespace moraine::dialogs {

using namespace gui;

// ---------------------------------------------------------------- base

Dialog::Dialog(PanelDialogsImpl& owner, DialogKind kind)
    : QIXInternalPopup(owner.view().canvas(), PanelRect{}, nullptr), owner_(owner), kind_(kind) {
    const DialogLayout& l = dialogLayout(kind);
    background_ = owner.image(l.background);
    // Placed where the layout says, moved in so that it fits the panel.
    frame_ = {std::clamp(l.x, 0, std::max(0, kPanelWidth - l.w)),
              std::clamp(l.y, 0, std::max(0, kPanelHeight - l.h)), l.w, l.h};
    active_ = frame_;
    QIXTextList* lastList = nullptr;
    for (const DialogRow& row : l.rows) {
        const PanelRect r{row.x, row.y, row.w, row.h};
        CAUGuiCtrl* made = nullptr;
        switch (row.item) {
        case Item::Label:
        case Item::CentredLabel:
            made = add(std::make_unique<QIXTextCtrl>(canvas_, r, row.text ? row.text : "",
                                                     row.item == Item::CentredLabel));
            break;
        case Item::Field:
        case Item::NumberField:
        case Item::NotesField:
            made = add(std::make_unique<QIXTextEditor>(canvas_, r, row.item == Item::NotesField,
                                                       row.item == Item::NumberField));
            break;
        case Item::Button: {
            const int role = row.role;
            made = addButton(*this, r, owner.image(row.text), [this, role] { action(role); });
            break;
        }
        case Item::CheckBox: made = addCheckBox(*this, r, owner.image(row.text), false); break;
        case Item::Curve: {
            auto b = std::make_unique<CAUGuiButton>(canvas_, CAUGuiButton::Steps{2}, r,
                                                    owner.image(row.text), ButtonMode::FixedValue);
            auto* raw = add(std::move(b));
            radios_[row.role].add(raw, row.value);
            made = raw;
            break;
        }
        case Item::Range:
            made = add(std::make_unique<QIXMidiRangeControl>(canvas_, r, owner.image("leftrangecap.png"),
                                                             owner.image("rightrangecap.png")));
            break;
        case Item::Menu: {
            auto m = std::make_unique<QIXStringMenu>(canvas_, r, row.value, owner.image("menu_left.png"),
                                                     owner.image("menu_center.png"),
                                                     owner.image("menu_right.png"));
            made = add(std::move(m));
            break;
        }
        case Item::List: lastList = add(std::make_unique<QIXTextList>(canvas_, r)); made = lastList; break;
        case Item::ListSlider:
            if (lastList) made = add(std::make_unique<QIXListSlider>(canvas_, r, *lastList));
            break;
        case Item::Slider:
            made = add(std::make_unique<gui::CAUGuiSlider>(
                canvas_, row.value, r, Orientation::Horizontal, 10000,
                dynamic_cast<const CAUGuiHandleImage*>(owner.image(row.text))));
            if (made && owner.view().canvas().host()) {
                made->setFloatValue(owner.host().parameterValue(row.value));
            }
            break;
        }
        if (made && row.role) roles_.emplace(row.role, made);
    }
    // The layout's positions are the dialog's own; every child then moves by its shift.
    shiftChildren(l.shiftX, l.shiftY);
}

CAUGuiCtrl* Dialog::control(int role) const {
    auto it = roles_.find(role);
    return it == roles_.end() ? nullptr : it->second;
}

bool Dialog::centreOf(int role, int& x, int& y) const {
    const CAUGuiCtrl* c = control(role);
    if (!c) return false;
    x = c->frame().x + c->frame().w / 2;
    y = c->frame().y + c->frame().h / 2;
    return true;
}

void Dialog::action(int role) {
    if (role == kRoleOk || role == kRoleCancel) close();
}

void Dialog::close() {
    stopEditing();
    if (parentPopup) {
        parentPopup->closeNested();
        return;
    }
    if (canvas_.modal() == this) canvas_.closeModal();
    canvas_.setTextInput(false);
}

namespace {

std::string trimmed(const std::string& s) {
    const auto a = s.find_first_not_of(" \t");
    if (a == std::string::npos) return {};
    return s.substr(a, s.find_last_not_of(" \t") - a + 1);
}

// ---------------------------------------------------------------- rename and new group

class RenameDialog : public Dialog {
public:
    using Done = std::function<bool(const std::string& name)>; // false keeps it open
    RenameDialog(PanelDialogsImpl& owner, const std::string& prompt, const std::string& name,
                 Done done)
        : Dialog(owner, DialogKind::Rename), done_(std::move(done)) {
        if (!prompt.empty()) static_cast<QIXTextCtrl*>(control(kRolePrompt))->setText(prompt);
        field(kRoleNewName)->setText(name);
    }
    void action(int role) override {
        if (role == kRoleOk) {
            stopEditing();
            Done done = done_;
            const std::string name = field(kRoleNewName)->text();
            if (done && !done(name)) return;
        }
        Dialog::action(role);
    }

private:
    Done done_;
};

class NewGroupDialog : public Dialog {
public:
    using Done = std::function<bool(const std::string& group, const std::string& category)>;
    NewGroupDialog(PanelDialogsImpl& owner, Done done)
        : Dialog(owner, DialogKind::NewGroup), done_(std::move(done)) {}
    void action(int role) override {
        if (role == kRoleOk) {
            stopEditing();
            if (done_ && !done_(field(kRoleGroupName)->text(), field(kRoleCategoryName)->text()))
                return;
        }
        Dialog::action(role);
    }

private:
    Done done_;
};

template <class D, class... A> D* nest(Dialog& parent, PanelDialogsImpl& owner, A&&... args) {
    auto d = std::make_unique<D>(owner, std::forward<A>(args)...);
    d->parentPopup = &parent;
    D* raw = d.get();
    parent.openNested(std::move(d));
    return raw;
}

// ---------------------------------------------------------------- save as

class SaveAsDialog : public Dialog {
public:
    explicit SaveAsDialog(PanelDialogsImpl& owner) : Dialog(owner, DialogKind::SaveAs) {
        PatchLibrary& lib = owner.host().library();
        openedGroup_ = lib.currentGroup;
        PatchGroup* g = lib.currentGroupPtr();
        openedCategory_ = g ? g->currentCategory : 0;
        PatchCategory* c = lib.currentCategoryPtr();
        openedPatch_ = c ? c->currentPatch : 0;
        openedOn_ = lib.currentSource == kSourceLibrary ? lib.selectedPatch() : nullptr;
        menu(kRoleGroupMenu)->setHandler([this](int, int i) { groupChosen(i); });
        menu(kRoleCategoryMenu)->setHandler([this](int, int i) {
            owner_.host().library().selectCategory(i);
        });
        fillMenus();
        std::string name, author, date, notes;
        owner.host().currentTexts(name, author, date, notes);
        field(kRoleName)->setText(name);
        field(kRoleAuthor)->setText(author);
        field(kRoleDate)->setText(date);
        field(kRoleNotes)->setText(notes);
        const PatchRecord* p = openedOn_;
        field(kRoleMidiNumber)->setText(p && p->midiProgram >= 0 ? std::to_string(p->midiProgram + 1) : "");
        setTicked(control(kRoleDisplayNotes), p && p->displayNotes);
    }

    void fillMenus() {
        PatchLibrary& lib = owner_.host().library();
        menu(kRoleGroupMenu)->setItems(lib.groupNameList(), lib.currentGroup);
        PatchGroup* g = lib.currentGroupPtr();
        menu(kRoleCategoryMenu)->setItems(lib.categoryNameList(), g ? g->currentCategory : 0);
    }
    void groupChosen(int i) {
        owner_.host().library().selectGroup(i);
        fillMenus();
    }

    void action(int role) override {
        PatchLibrary& lib = owner_.host().library();
        switch (role) {
        case kRoleNewGroup:
            nest<NewGroupDialog>(*this, owner_, [this](const std::string& g, const std::string& c) {
                if (!newGroup(owner_.host().library(), g, c)) return false;
                owner_.host().libraryChanged();
                fillMenus();
                owner_.view().refreshMenus();
                return true;
            });
            return;
        case kRoleNewCategory:
            nest<RenameDialog>(*this, owner_, "Please Enter The New Category Name:", "",
                               [this](const std::string& name) {
                                   if (!newCategory(owner_.host().library(), name)) return false;
                                   owner_.host().libraryChanged();
                                   fillMenus();
                                   owner_.view().refreshMenus();
                                   return true;
                               });
            return;
        case kRoleOk: {
            stopEditing();
            SaveAsRequest r = request();
            const std::string question = saveAsQuestion(lib, r);
            if (question.empty()) {
                store(r);
                return;
            }
            // The operation waits for the answer; the dialog stays open meanwhile.
            owner_.ask(question, [this, r](bool yes) mutable {
                r.occupantAnswer = yes ? 1 : 0;
                store(r);
            });
            return;
        }
        case kRoleCancel:
            lib.selectGroup(openedGroup_);
            lib.selectCategory(openedCategory_);
            lib.selectPatch(openedPatch_);
            owner_.view().refreshMenus();
            close();
            return;
        default: return;
        }
    }

    SaveAsRequest request() const {
        SaveAsRequest r;
        r.name = field(kRoleName)->text();
        r.author = field(kRoleAuthor)->text();
        r.date = field(kRoleDate)->text();
        r.notes = field(kRoleNotes)->text();
        r.midiNumber = field(kRoleMidiNumber)->text();
        r.displayNotes = ticked(control(kRoleDisplayNotes));
        r.group = menu(kRoleGroupMenu)->current();
        r.category = menu(kRoleCategoryMenu)->current();
        r.openedOn = openedOn_;
        r.openedGroup = openedGroup_;
        r.openedCategory = openedCategory_;
        return r;
    }

    void store(const SaveAsRequest& r) {
        PanelHost& host = owner_.host();
        if (!saveAs(host.library(), host.instrument(), r)) return; // the refusal was shown
        host.libraryChanged();
        owner_.view().refreshMenus();
        close();
    }

private:
    int openedGroup_ = 0, openedCategory_ = 0, openedPatch_ = 0;
    const PatchRecord* openedOn_ = nullptr;
};

// ---------------------------------------------------------------- patch manager

class PatchManagerDialog : public Dialog {
public:
    explicit PatchManagerDialog(PanelDialogsImpl& owner)
        : Dialog(owner, DialogKind::PatchManager), manager_(owner.host().library()) {
        manager_.open();
        for (int role : {kRoleGroupList, kRoleCategoryList, kRolePatchList})
            list(role)->setHandler([this, role](QIXTextList&) { listClicked(role); });
        focus_ = kRolePatchList;
        refill();
    }

    void refill() {
        PatchLibrary& lib = owner_.host().library();
        PatchGroup* g = lib.currentGroupPtr();
        PatchCategory* c = lib.currentCategoryPtr();
        list(kRoleGroupList)->setItems(lib.groupNameList(), lib.currentGroup);
        list(kRoleCategoryList)->setItems(lib.categoryNameList(), g ? g->currentCategory : -1);
        list(kRolePatchList)->setItems(lib.patchNameList(), c ? c->currentPatch : -1);
        invalidate();
    }

    void listClicked(int role) {
        PatchLibrary& lib = owner_.host().library();
        focus_ = role;
        QIXTextList* l = list(role);
        if (l->selection().size() != 1) return;
        const int i = l->selected();
        if (role == kRoleGroupList) {
            lib.selectGroup(i);
            PatchGroup* g = lib.currentGroupPtr();
            list(kRoleCategoryList)->setItems(lib.categoryNameList(), g ? g->currentCategory : -1);
            PatchCategory* c = lib.currentCategoryPtr();
            list(kRolePatchList)->setItems(lib.patchNameList(), c ? c->currentPatch : -1);
        } else if (role == kRoleCategoryList) {
            lib.selectCategory(i);
            PatchCategory* c = lib.currentCategoryPtr();
            list(kRolePatchList)->setItems(lib.patchNameList(), c ? c->currentPatch : -1);
        } else {
            lib.selectPatch(i);
        }
    }

    // The selection at the level of the list last clicked: the lists to its left give the
    // position it lies in.
    LibrarySelection selection() const {
        LibrarySelection s;
        s.groups = list(kRoleGroupList)->selection();
        if (focus_ == kRoleGroupList) return s;
        s.categories = list(kRoleCategoryList)->selection();
        if (focus_ == kRoleCategoryList) return s;
        s.patches = list(kRolePatchList)->selection();
        return s;
    }

    void changed() {
        owner_.host().libraryChanged();
        refill();
    }

    void action(int role) override {
        PanelHost& host = owner_.host();
        const LibrarySelection sel = selection();
        switch (role) {
        case kRoleCut: manager_.cut(sel); changed(); return;
        case kRoleCopy: manager_.copy(sel); return;
        case kRolePaste: manager_.paste(sel); changed(); return;
        case kRoleDelete: {
            const std::string q = manager_.removeQuestion(sel);
            if (q.empty()) return;
            owner_.ask(q, [this, sel](bool yes) {
                manager_.removeAnswered(sel, yes);
                changed();
            });
            return;
        }
        case kRoleUp:
        case kRoleDown: {
            const LibrarySelection after =
                role == kRoleUp ? manager_.moveUp(sel) : manager_.moveDown(sel);
            changed();
            const int r = focus_;
            const auto& rows = r == kRoleGroupList ? after.groups
                               : r == kRoleCategoryList ? after.categories : after.patches;
            list(r)->clearSelection();
            for (int i : rows) list(r)->select(i, true);
            return;
        }
        case kRoleRename: {
            QIXTextList* l = list(focus_);
            const int i = l->selected();
            const std::string name =
                i >= 0 && i < int(l->items().size()) ? l->items()[std::size_t(i)] : "";
            const char* prompt = focus_ == kRoleGroupList ? "Please Enter The New Group Name:"
                                 : focus_ == kRoleCategoryList ? "Please Enter The New Category Name:"
                                                               : "Please Enter The New Patch Name:";
            nest<RenameDialog>(*this, owner_, prompt, name, [this, sel](const std::string& text) {
                manager_.rename(sel, text);
                changed();
                return true;
            });
            return;
        }
        case kRoleExport:
            owner_.openFileChooser(true, [this, sel](const std::string& path) {
                manager_.exportTo(path, sel);
            });
            return;
        case kRoleImport:
            owner_.openFileChooser(false, [this](const std::string& path) {
                manager_.importFrom(path);
                changed();
            });
            return;
        case kRoleOk:
            manager_.ok();
            host.libraryChanged();
            owner_.view().refreshMenus();
            close();
            return;
        case kRoleCancel:
            manager_.cancel();
            host.libraryChanged();
            owner_.view().refreshMenus();
            close();
            return;
        case kRoleSelect:
            manager_.ok();
            host.libraryChanged();
            owner_.view().refreshMenus();
            close();
            if (host.library().selectedPatch()) host.startPatchLoad(kSourceLibrary);
            return;
        default: return;
        }
    }

    PatchManager& manager() { return manager_; }

private:
    PatchManager manager_;
    int focus_ = kRolePatchList;
};

// ---------------------------------------------------------------- MIDI map

class MidiMapDialog : public Dialog {
public:
    MidiMapDialog(PanelDialogsImpl& owner, int parameter)
        : Dialog(owner, DialogKind::MidiMap), parameter_(parameter) {
        static_cast<QIXTextCtrl*>(control(kRoleTitle))
            ->setText(std::string(parameterInfo(parameter).name));
        const MidiMapEntry* e = owner.host().midiMap().findEntry(parameter);
        MidiMapEntry blank;
        if (!e) e = &blank;
        for (int slot = 0; slot < 4; ++slot) {
            setTicked(control(kRoleSourceCheck + slot), e->sources & (1 << slot));
            setTicked(control(kRoleSourceInvert + slot), e->invert[slot] != 0);
            radios_[kRoleSourceCurve + slot].setValue(std::clamp(e->curve[slot], 0, 2));
            if (auto* r = dynamic_cast<QIXMidiRangeControl*>(control(kRoleSourceRange + slot)))
                r->setRange(int(e->range[slot][0]), int(e->range[slot][1]));
        }
        field(kRoleControllerNumber)->setText(e->sources & kSourceController ? std::to_string(e->controller) : "");
        field(kRoleChannel)->setText(std::to_string(e->channel + 1));
        lastSeen_ = owner.snapshot().lastController;
    }

    // With learn ticked, the last controller the instrument received becomes the controller
    // number: at once when the box is ticked, then whenever another one moves.
    void learn(const PanelSnapshot& s) {
        const bool on = ticked(control(kRoleLearn));
        const bool fresh = on && !learning_;
        learning_ = on;
        if (!on || s.lastController <= 0.0f) return;
        if (!fresh && s.lastController == lastSeen_) return;
        lastSeen_ = s.lastController;
        const int cc = s.lastController >= 57344.0f ? kPitchBendController : int(s.lastController);
        field(kRoleControllerNumber)->setText(std::to_string(cc));
        setTicked(control(kRoleSourceCheck + 0), true);
    }

    void action(int role) override {
        if (role == kRoleOk) {
            stopEditing();
            apply();
        }
        Dialog::action(role);
    }

    void apply() {
        PanelHost& host = owner_.host();
        float ranges[4][2];
        int curves[4], inverts[4], sources = 0;
        for (int slot = 0; slot < 4; ++slot) {
            if (ticked(control(kRoleSourceCheck + slot))) sources |= 1 << slot;
            auto* r = dynamic_cast<QIXMidiRangeControl*>(control(kRoleSourceRange + slot));
            ranges[slot][0] = r ? float(r->low()) : 0.0f;
            ranges[slot][1] = r ? float(r->high()) : 127.0f;
            curves[slot] = radios_[kRoleSourceCurve + slot].value();
            inverts[slot] = ticked(control(kRoleSourceInvert + slot)) ? 1 : 0;
        }
        const int controller = std::clamp(std::atoi(field(kRoleControllerNumber)->text().c_str()), 0, 128);
        if (field(kRoleControllerNumber)->text().empty()) sources &= ~kSourceController;
        const int channel = std::clamp(std::atoi(field(kRoleChannel)->text().c_str()), 1, 16) - 1;
        host.midiMap().setEntry(0, controller, channel, parameter_, sources, ranges, curves, inverts);
        host.publishMidiMap();
    }

private:
    int parameter_;
    float lastSeen_ = 0.0f;
    bool learning_ = false;
};

// ---------------------------------------------------------------- beat, maps, tunings

class MidiBeatDialog : public Dialog {
public:
    explicit MidiBeatDialog(PanelDialogsImpl& owner) : Dialog(owner, DialogKind::MidiBeat) {
        PanelHost& h = owner.host();
        setTicked(control(kRoleClockSync), h.parameterValue(kParamClockSync) >= 0.5f);
        field(kRoleClockPulses)->setText(std::to_string(int(h.parameterValue(kParamClockPulses))));
        setTicked(control(kRoleLfoSync), h.parameterValue(kParamLfoSync) >= 0.5f);
        field(kRoleLfoPulses)->setText(std::to_string(int(h.parameterValue(kParamLfoPulses))));
    }
    void action(int role) override {
        if (role == kRoleOk) {
            stopEditing();
            PanelHost& h = owner_.host();
            const auto set = [&](int p, float v) {
                h.beginEdit(p);
                h.setFromPanel(p, v);
                h.endEdit(p);
            };
            const auto pulses = [&](int r, int p) {
                const int n = std::atoi(field(r)->text().c_str());
                if (n >= 1 && n <= 96 * 4) set(p, float(n));
            };
            set(kParamClockSync, ticked(control(kRoleClockSync)) ? 1.0f : 0.0f);
            pulses(kRoleClockPulses, kParamClockPulses);
            set(kParamLfoSync, ticked(control(kRoleLfoSync)) ? 1.0f : 0.0f);
            pulses(kRoleLfoPulses, kParamLfoPulses);
        }
        Dialog::action(role);
    }
};

class ChoiceDialog : public Dialog {
public:
    ChoiceDialog(PanelDialogsImpl& owner, DialogKind kind, std::vector<std::string> items,
                 int current, std::function<void(int)> chosen)
        : Dialog(owner, kind), chosen_(std::move(chosen)) {
        menu(kRoleChoice)->setItems(std::move(items), current);
    }
    void action(int role) override {
        if (role == kRoleOk && chosen_ && !menu(kRoleChoice)->items().empty())
            chosen_(menu(kRoleChoice)->current());
        Dialog::action(role);
    }

private:
    std::function<void(int)> chosen_;
};

class SaveMapDialog : public Dialog {
public:
    explicit SaveMapDialog(PanelDialogsImpl& owner) : Dialog(owner, DialogKind::SaveMidiMap) {
        field(kRoleNewName)->setText(owner.host().midiMapFiles().shownName().substr(0, 50));
    }
    void action(int role) override {
        if (role == kRoleOk) {
            stopEditing();
            PanelHost& h = owner_.host();
            if (h.midiMapFiles().saveMap(field(kRoleNewName)->text(), h.midiMap()) < 0) {
                owner_.inform("The Midi Map could not be saved.");
                return;
            }
        }
        Dialog::action(role);
    }
};

class AboutBox : public Dialog {
public:
    explicit AboutBox(PanelDialogsImpl& owner) : Dialog(owner, DialogKind::About) {}
    int mouseDown(int, int, bool, bool) override {
        close();
        return kHandled;
    }
    int mouseDrag(int, int, bool, bool) override { return kHandled; }
    int mouseUp(int, int, bool, bool) override { return kHandled; }
    int keyDown(int, int) override {
        close();
        return kHandled;
    }
};

// ---------------------------------------------------------------- file chooser

class FileChooser : public Dialog {
public:
    FileChooser(PanelDialogsImpl& owner, bool save, std::function<void(const std::string&)> chosen)
        : Dialog(owner, DialogKind::FileChooser), save_(save), chosen_(std::move(chosen)) {
        static_cast<QIXTextCtrl*>(control(kRoleTitle))
            ->setText(save ? "Save Export As" : "Import Moraine Files (*.qix)");
        if (save) field(kRoleNewName)->setText("Untitled");
        list(kRoleFileList)->setHandler([this](QIXTextList& l) { clicked(l); });
        std::string start = owner.lastFolder;
        if (start.empty()) {
            const char* home = std::getenv("HOME");
            start = home && *home ? home : "/";
        }
        show(start);
    }

    void show(const std::string& folder) {
        folder_ = folder;
        entries_.clear();
        std::vector<std::string> dirs, files;
        if (DIR* d = opendir(folder.c_str())) {
            while (dirent* e = readdir(d)) {
                const std::string name = e->d_name;
                if (name == "." || name == ".." || name.empty() || name[0] == '.') continue;
                struct stat st {};
                if (stat((folder + "/" + name).c_str(), &st) != 0) continue;
                if (S_ISDIR(st.st_mode)) dirs.push_back(name);
                else if (name.size() > 4 && name.compare(name.size() - 4, 4, ".qix") == 0)
                    files.push_back(name);
            }
            closedir(d);
        } else {
            owner_.inform("The folder " + folder + " cannot be read.");
        }
        std::sort(dirs.begin(), dirs.end());
        std::sort(files.begin(), files.end());
        std::vector<std::string> shown;
        for (auto& d : dirs) {
            entries_.push_back({d, true});
            shown.push_back(d + "/");
        }
        for (auto& f : files) {
            entries_.push_back({f, false});
            shown.push_back(f);
        }
        list(kRoleFileList)->setFirstVisible(0);
        list(kRoleFileList)->setItems(shown, -1);
        static_cast<QIXTextCtrl*>(control(kRoleFolder))->setText(folder);
    }

    void clicked(QIXTextList& l) {
        const int i = l.selected();
        if (i < 0 || i >= int(entries_.size())) return;
        if (entries_[std::size_t(i)].folder) {
            show(join(entries_[std::size_t(i)].name));
            return;
        }
        field(kRoleNewName)->setText(entries_[std::size_t(i)].name);
    }

    std::string join(const std::string& name) const {
        return folder_ == "/" ? "/" + name : folder_ + "/" + name;
    }

    void action(int role) override {
        if (role == kRoleParent) {
            const auto slash = folder_.find_last_of('/');
            show(slash == 0 || slash == std::string::npos ? "/" : folder_.substr(0, slash));
            return;
        }
        if (role != kRoleOk) {
            Dialog::action(role);
            return;
        }
        stopEditing();
        std::string name = trimmed(field(kRoleNewName)->text());
        if (name.empty()) return;
        struct stat st {};
        std::string path = name[0] == '/' ? name : join(name);
        if (stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
            show(path);
            field(kRoleNewName)->setText(save_ ? "Untitled" : "");
            return;
        }
        if (save_ && path.find('.', path.find_last_of('/') + 1) == std::string::npos)
            path += ".qix"; // the "%s.qix" pattern
        owner_.lastFolder = path.substr(0, std::max<std::size_t>(1, path.find_last_of('/')));
        auto chosen = chosen_;
        if (save_ && stat(path.c_str(), &st) == 0) {
            owner_.ask(path + " already exists.  Do you want to replace it?",
                       [this, chosen, path](bool yes) {
                           if (!yes) return;
                           close();
                           if (chosen) chosen(path);
                       });
            return;
        }
        if (!save_ && access(path.c_str(), R_OK) != 0) {
            owner_.inform("The file " + path + " cannot be read.");
            return;
        }
        close();
        if (chosen) chosen(path);
    }

private:
    struct Entry {
        std::string name;
        bool folder;
    };
    bool save_;
    std::function<void(const std::string&)> chosen_;
    std::string folder_;
    std::vector<Entry> entries_;
};

} // namespace

// ---------------------------------------------------------------- the set

namespace {
// Two-frame strips: the lit frame below the plain one.
constexpr const char* kStrips[] = {
    "ok.png",     "cancel.png", "import.png", "export.png",   "cut.png",    "copy.png",
    "paste.png",  "up.png",     "down.png",   "rename.png",   "delete.png", "select.png",
    "newgroup.png", "newcat.png", "checkbox.png", "linear.png", "log.png",  "exp.png",
};
constexpr const char* kPlain[] = {"menu_left.png", "menu_center.png", "menu_right.png",
                                  "leftrangecap.png", "rightrangecap.png", "small_back1.png"};
} // namespace

void PanelDialogsImpl::loadImages() {
    const ImageFailureReporter report = [this](const std::string& text) { inform(text); };
    for (const char* name : kStrips) images_[name] = std::make_unique<CAUGuiGraphic>(name, 2, report);
    for (const char* name : kPlain) images_[name] = std::make_unique<CAUGuiGraphic>(name, 1, report);
    images_["smallslider1.png"] = std::make_unique<CAUGuiHandleImage>(
        "smallslider1.png", 0, 0, Orientation::Horizontal, report);
}

const CAUGuiGraphic* PanelDialogsImpl::image(const char* name) const {
    if (!name) return nullptr;
    auto it = images_.find(name);
    return it != images_.end() ? it->second.get() : view_.image(name);
}

PanelDialogsImpl::PanelDialogsImpl(Moraine_VSTView& view) : view_(view) {
    loadImages();
    view.messages().setNest([this](std::unique_ptr<PanelMessageBox>& box) {
        auto* d = dynamic_cast<QIXInternalPopup*>(view_.canvas().modal());
        if (!d) return false;
        // The innermost dialog takes it unless something (a drop-down) already covers it.
        QIXInternalPopup* host = d;
        while (auto* inner = dynamic_cast<QIXInternalPopup*>(host->nested())) host = inner;
        if (host->nested()) return false;
        const PanelRect f = d->frame();
        const PanelRect b = box->frame();
        box->moveBy(f.x + (f.w - b.w) / 2 - b.x, f.y + (f.h - b.h) / 2 - b.y);
        box->setClose([host] { host->closeNested(); });
        host->openNested(std::move(box));
        return true;
    });
}

PanelDialogsImpl::~PanelDialogsImpl() {
    view_.messages().setNest(nullptr);
    if (dynamic_cast<Dialog*>(view_.canvas().modal())) view_.canvas().closeModal();
}

Dialog* PanelDialogsImpl::current() const { return dynamic_cast<Dialog*>(view_.canvas().modal()); }

Dialog* PanelDialogsImpl::openDialog(DialogKind kind) {
    if (view_.canvas().modal()) return nullptr; // another popup is open: nothing happens
    std::unique_ptr<Dialog> d;
    PanelHost& h = host();
    switch (kind) {
    case DialogKind::SaveAs: d = std::make_unique<SaveAsDialog>(*this); break;
    case DialogKind::PatchManager: d = std::make_unique<PatchManagerDialog>(*this); break;
    case DialogKind::MidiBeat: d = std::make_unique<MidiBeatDialog>(*this); break;
    case DialogKind::SaveMidiMap: d = std::make_unique<SaveMapDialog>(*this); break;
    case DialogKind::About: d = std::make_unique<AboutBox>(*this); break;
    case DialogKind::LoadMidiMap:
        h.midiMapFiles().loadMapNames();
        d = std::make_unique<ChoiceDialog>(*this, kind, h.midiMapFiles().mapNames(), 0,
                                           [this](int n) {
                                               if (host().midiMapFiles().loadMap(n, host().midiMap()))
                                                   host().publishMidiMap();
                                           });
        break;
    case DialogKind::Tunings: {
        auto names = listTuningNames(h.midiMapFiles().folder());
        if (names.empty()) return nullptr;
        d = std::make_unique<ChoiceDialog>(*this, kind, std::move(names),
                                           std::max(0, h.tuningProgram()),
                                           [this](int n) { host().loadTuning(n); });
        break;
    }
    default: return nullptr;
    }
    Dialog* raw = d.get();
    view_.canvas().openModal(std::move(d));
    return raw;
}

bool PanelDialogsImpl::open(PanelAction action) {
    switch (action) {
    case PanelAction::SaveAs: return openDialog(DialogKind::SaveAs) != nullptr;
    case PanelAction::PatchManager: return openDialog(DialogKind::PatchManager) != nullptr;
    case PanelAction::Logo: {
        if (view_.canvas().modal()) return false;
        std::vector<PanelPopupMenu::Item> items = {
            {"About Moraine Deck", 1},  {"Load Midi Map", 3},
            {"Save Midi Map", 4},       {"Load Microtuning", 6},
            {"MIDI Beat Synchronization", 8},
            {std::string(view_.canvas().showTips() ? "\xE2\x9C\x93 " : "   ") + "Show Control Tips", 10},
        };
        const CAUGuiCtrl* logo = view_.control(PanelAction::Logo);
        const PanelRect anchor = logo ? logo->frame() : PanelRect{740, 365, 197, 63};
        view_.canvas().openModal(std::make_unique<PanelPopupMenu>(
            view_.canvas(), anchor, std::move(items), 0, [this](int id) { menuCommand(id); }));
        return true;
    }
    default: return false;
    }
}

void PanelDialogsImpl::menuCommand(int id) {
    switch (id) {
    case 1: openDialog(DialogKind::About); break;
    case 3: openDialog(DialogKind::LoadMidiMap); break;
    case 4: openDialog(DialogKind::SaveMidiMap); break;
    case 6: openDialog(DialogKind::Tunings); break;
    case 8: openDialog(DialogKind::MidiBeat); break;
    case 10: view_.canvas().setShowTips(!view_.canvas().showTips()); break;
    default: break;
    }
}

bool PanelDialogsImpl::openMidiMap(int parameter) {
    if (parameter < 1 || parameter >= 79 || view_.canvas().modal()) return false;
    view_.canvas().openModal(std::make_unique<MidiMapDialog>(*this, parameter));
    return true;
}

void PanelDialogsImpl::idle(const PanelSnapshot& snapshot) {
    snapshot_ = snapshot;
    if (auto* m = dynamic_cast<MidiMapDialog*>(current())) m->learn(snapshot);
}

void PanelDialogsImpl::ask(const std::string& text, std::function<void(bool)> answer) {
    view_.messages().ask(text, std::move(answer));
}

void PanelDialogsImpl::inform(const std::string& text) { view_.messages().inform(text); }

Dialog* PanelDialogsImpl::openFileChooser(bool save, std::function<void(const std::string&)> chosen) {
    Dialog* d = current();
    if (!d) return nullptr;
    return nest<FileChooser>(*d, *this, save, std::move(chosen));
}

std::unique_ptr<PanelDialogs> createPanelDialogs(Moraine_VSTView& view) {
    return std::make_unique<PanelDialogsImpl>(view);
}

void installPanelDialogs() { setPanelDialogsFactory(&createPanelDialogs); }

} // namespace moraine::dialogs
