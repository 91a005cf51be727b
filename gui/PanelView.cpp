// Building the panel from its layout rows and keeping it in step with the instrument.
#include "gui/PanelView.h"

#include "gui/Cable.h"
#include "gui/OnScreenKeyboard.h"

#include "patch/LibraryMessages.h"
#include "patch/PatchLibrary.h"
#include "patch/PatchManager.h"

#include <cstdio>

namespace moraine::gui {

// ---------------------------------------------------------------- messages

void PanelMessages::inform(const std::string& text) {
    queue_.push_back({text, false, nullptr});
}

bool PanelMessages::confirm(const std::string& text) {
    std::printf("question shown as a notice, answered Cancel: %s\n", text.c_str());
    queue_.push_back({text, false, nullptr});
    return false;
}

void PanelMessages::ask(const std::string& text, std::function<void(bool)> answer) {
    queue_.push_back({text, true, std::move(answer)});
}

void PanelMessages::service() {
    if (showing_ || queue_.empty()) return;
    if (canvas_.modal() && !nest_) return;
    Box& next = queue_.front();
    auto answer = next.answer;
    auto made = std::make_unique<PanelMessageBox>(canvas_, next.text, next.question,
                                                  [this, answer](bool ok) {
                                                      showing_ = false;
                                                      if (answer) answer(ok);
                                                  });
    if (canvas_.modal()) {
        if (!nest_(made)) return; // a menu is open: the box waits
    } else {
        canvas_.openModal(std::move(made));
    }
    queue_.pop_front();
    showing_ = true;
}

// ---------------------------------------------------------------- view

namespace {
PanelDialogsFactory dialogsFactory = nullptr;
}

void setPanelDialogsFactory(PanelDialogsFactory factory) { dialogsFactory = factory; }

Moraine_VSTView::Moraine_VSTView(PanelHost& host)
    : host_(host), canvas_(&host), messages_(canvas_) {
    canvas_.setListener(this);
    host_.setMessageSink(&messages_);
    loadImages();
    buildControls();
    if (dialogsFactory) dialogs_ = dialogsFactory(*this);
}

Moraine_VSTView::~Moraine_VSTView() {
    dialogs_.reset();
    host_.setMessageSink(nullptr);
    canvas_.setListener(nullptr);
}

const CAUGuiGraphic* Moraine_VSTView::image(const char* name) const {
    if (!name) return nullptr;
    auto found = imagesByName_.find(name);
    return found == imagesByName_.end() ? nullptr : found->second;
}

CAUGuiCtrl* Moraine_VSTView::control(PanelAction action) {
    auto found = actions_.find(action);
    return found == actions_.end() ? nullptr : found->second;
}

void Moraine_VSTView::loadImages() {
    const ImageFailureReporter report = [this](const std::string& text) { messages_.inform(text); };
    for (const PanelImage& i : panelImages()) {
        std::unique_ptr<CAUGuiGraphic> g;
        switch (i.kind) {
        case ImageKind::Handle:
            g = std::make_unique<CAUGuiHandleImage>(i.name, 0, 0, i.orientation, report);
            break;
        case ImageKind::Cropping:
            g = std::make_unique<CAUGuiCroppingImage>(i.name, i.cropX, i.cropY, i.cropSides, 0,
                                                      report);
            break;
        default:
            g = std::make_unique<CAUGuiGraphic>(i.name, i.frames, report);
            break;
        }
        imagesByName_[i.name] = g.get();
        images_.push_back(std::move(g));
    }
}

void Moraine_VSTView::buildControls() {
    const CAUGuiGraphic* background = image(kBackgroundImage);
    canvas_.addTopLevel(std::make_unique<CAUGuiPane>(
        canvas_, PanelRect{0, 0, kPanelWidth, kPanelHeight}, background));
    for (const PanelControl& row : panelControls()) addControl(row);
    // The cords hang over every control.
    canvas_.pane()->addChild(std::make_unique<CordLayer>(canvas_, jacks_));

    for (const SliderLink& link : panelSliderLinks()) {
        auto* coarse = dynamic_cast<CAUGuiSlider*>(canvas_.findByParameter(link.coarse));
        auto* fine = dynamic_cast<CAUGuiSlider*>(canvas_.findByParameter(link.fine));
        CAUGuiCtrl* sw = link.overrideSwitch >= 0 ? canvas_.findByParameter(link.overrideSwitch)
                                                  : nullptr;
        if (coarse && fine) {
            coarse->setLinks(fine, sw);
            fine->setLinks(coarse, sw);
        }
    }

    // Every bound control takes its value from the instrument without telling it back.
    canvas_.setGuard(true);
    for (int i = 0; i < kParamCount; ++i) parameterChanged(i);
    canvas_.setGuard(false);
    host_.dirtyParameters().drain([](int) {});
    host_.snapshot(snapshot_);
    patchBusy_ = snapshot_.patchChangeBusy;
    textsSequence_ = snapshot_.textsSequence;
    built_ = true;
    refreshMenus();
    refreshTexts();
}

void Moraine_VSTView::addControl(const PanelControl& row) {
    CAUGuiCtrl* pane = canvas_.pane();
    std::unique_ptr<CAUGuiCtrl> c;
    switch (row.widget) {
    case PanelWidget::PatchMenu: {
        auto m = std::make_unique<PatchMenu>(canvas_, row.frame, row.menuKind,
                                             [this](MenuKind k, int i) { menuChosen(k, i); });
        menus_[int(row.menuKind)] = m.get();
        c = std::move(m);
        break;
    }
    case PanelWidget::VoicesMenu:
        c = std::make_unique<VoicesMenu>(canvas_, row.parameter, row.frame);
        break;
    case PanelWidget::NotesArea: {
        auto n = std::make_unique<NotesArea>(canvas_, row.frame, image(row.image));
        n->setSliderFrame(notesSliderFrame_);
        notes_ = n.get();
        c = std::move(n);
        break;
    }
    case PanelWidget::NotesSlider:
        notesSliderFrame_ = row.frame;
        c = std::make_unique<NotesSlider>(canvas_, row.frame, &notes_);
        break;
    case PanelWidget::Keyboard: {
        auto k = std::make_unique<Moraine_Keyboard>(canvas_, row.frame, snapshot_.keyHeld);
        k->setRange(row.keyHighest, row.keyLowest);
        c = std::move(k);
        break;
    }
    case PanelWidget::Jack:
        c = std::make_unique<Moraine_Cable>(canvas_, jacks_, row.parameter, row.frame,
                                            row.resolution, image(row.image),
                                            image("goldplug.png"), row.code, int(row.jackRole));
        break;
    case PanelWidget::Button: {
        std::unique_ptr<CAUGuiButton> b;
        if (row.bound())
            b = std::make_unique<CAUGuiButton>(canvas_, row.parameter, row.frame,
                                               image(row.image), row.buttonMode);
        else
            b = std::make_unique<CAUGuiButton>(canvas_, CAUGuiButton::Steps{row.resolution},
                                               row.frame, image(row.image), row.buttonMode);
        if (!row.bound()) {
            const PanelAction action = row.action;
            b->setCallback([this, action](int value, CAUGuiButton&) { buttonAction(action, value); });
        }
        if (row.action == PanelAction::Lock) lockButton_ = b.get();
        if (row.parameter == 1) (bypassSwitch_ ? powerLight_ : bypassSwitch_) = b.get();
        c = std::move(b);
        break;
    }
    case PanelWidget::Meter:
        c = std::make_unique<CAUGuiMeter>(canvas_, row.meterIndex, row.frame, 100,
                                          image(row.image), image(row.backImage), row.meterStyle,
                                          &levels_);
        break;
    case PanelWidget::Slider:
        c = std::make_unique<CAUGuiSlider>(
            canvas_, row.parameter, row.frame, row.orientation, row.resolution,
            dynamic_cast<const CAUGuiHandleImage*>(image(row.image)));
        break;
    case PanelWidget::Knob: {
        const bool dial = row.knobMode == 1;
        c = std::make_unique<CAUGuiKnob>(canvas_, row.parameter, row.frame, row.resolution,
                                         dial ? nullptr : image(row.image),
                                         dial ? image(row.image) : nullptr, row.knobMode,
                                         row.knobStart, row.knobSweep);
        break;
    }
    }
    if (!c) return;
    c->insetActive(row.inset);
    CAUGuiCtrl* added = pane->addChild(std::move(c));
    if (row.action != PanelAction::Parameter) actions_[row.action] = added;
}

void Moraine_VSTView::parameterChanged(int index) {
    if (index < 0 || index >= kParamCount) return;
    const bool wasGuarded = canvas_.guard();
    canvas_.setGuard(true);
    const float value = host_.parameterValue(index);
    // The master bypass has two controls; every other parameter one at most.
    CAUGuiCtrl* targets[2] = {canvas_.findByParameter(index),
                              index == 1 ? powerLight_ : nullptr};
    for (CAUGuiCtrl* c : targets) {
        if (!c || c->userWord() != 0) continue;
        if (value == c->floatValue()) continue;
        const int before = c->intValue();
        c->setFloatValue(value);
        if (!canvas_.modal() || c->intValue() != before) c->invalidate();
    }
    canvas_.setGuard(wasGuarded);
}

void Moraine_VSTView::controlChanged(CAUGuiCtrl& control) {
    if (control.parameter() == 1 && bypassSwitch_ && powerLight_) {
        CAUGuiCtrl* other = &control == bypassSwitch_ ? powerLight_ : bypassSwitch_;
        other->setFloatValue(control.floatValue());
        other->invalidate();
    }
}

void Moraine_VSTView::midiMapRequested(int parameter) {
    midiMapParameter_ = parameter;
    if (dialogs_) dialogs_->openMidiMap(parameter);
}

void Moraine_VSTView::refreshMenus() {
    PatchLibrary& lib = host_.library();
    if (menus_[int(MenuKind::Group)]) menus_[int(MenuKind::Group)]->setItems(lib.groupNameList(), lib.currentGroup);
    PatchGroup* group = lib.currentGroupPtr();
    if (menus_[int(MenuKind::Category)])
        menus_[int(MenuKind::Category)]->setItems(lib.categoryNameList(),
                                                  group ? group->currentCategory : 0);
    PatchCategory* category = lib.currentCategoryPtr();
    if (menus_[int(MenuKind::Patch)])
        menus_[int(MenuKind::Patch)]->setItems(lib.patchNameList(),
                                               category ? category->currentPatch : 0);
    if (lockButton_) {
        PatchRecord* patch = lib.currentPatch();
        const int locked = patch && patch->locked ? 2 : 0;
        if (lockButton_->intValue() != locked) {
            lockButton_->setFloatValue(float(locked));
            lockButton_->invalidate();
        }
    }
}

void Moraine_VSTView::refreshTexts() {
    if (!notes_) return;
    std::string name, author, date, notes;
    host_.currentTexts(name, author, date, notes);
    notes_->setText(notes, snapshot_.displayNotes);
}

void Moraine_VSTView::menuChosen(MenuKind kind, int index) {
    PatchLibrary& lib = host_.library();
    switch (kind) {
    case MenuKind::Group: lib.selectGroup(index); break;
    case MenuKind::Category: lib.selectCategory(index); break;
    case MenuKind::Patch: lib.selectPatch(index); break;
    }
    refreshMenus();
    if (lib.selectedPatch()) host_.startPatchLoad(kSourceLibrary);
}

void Moraine_VSTView::buttonAction(PanelAction action, int value) {
    switch (action) {
    case PanelAction::EnvelopeGate: host_.envelopeTrigger(value != 0); break;
    case PanelAction::PortamentoGate: host_.portamentoTrigger(value != 0); break;
    case PanelAction::Save:
        switch (savePatch(host_.library(), host_.instrument())) {
        case SaveResult::Saved: break;
        case SaveResult::Locked:
            messages_.inform(libraryText(LibraryMessage::PatchLocked));
            break;
        case SaveResult::NeedsSaveAs:
            if (dialogs_) dialogs_->open(PanelAction::SaveAs);
            break;
        }
        break;
    case PanelAction::Reset:
        host_.startPatchLoad(kSourceReset);
        refreshMenus();
        break;
    case PanelAction::Lock:
        setPatchLocked(host_.library(), value != 0);
        refreshMenus();
        break;
    case PanelAction::SaveAs:
    case PanelAction::PatchManager:
    case PanelAction::Logo:
        if (dialogs_) dialogs_->open(action);
        break;
    default:
        break;
    }
}

const std::vector<PanelRect>& Moraine_VSTView::idle() {
    host_.serviceControlSide();
    host_.dirtyParameters().drain([this](int index) { parameterChanged(index); });
    host_.snapshot(snapshot_);
    levels_.value[0] = snapshot_.meterLeft;
    levels_.value[1] = snapshot_.meterRight;
    levels_.value[4] = snapshot_.midiActivity;
    host_.meterLevels(levels_.value);
    // A patch change that lands may have moved the library's selection (program changes).
    if (snapshot_.patchChangeBusy != patchBusy_) {
        patchBusy_ = snapshot_.patchChangeBusy;
        if (!patchBusy_) refreshMenus();
    }
    if (snapshot_.textsSequence != textsSequence_) {
        textsSequence_ = snapshot_.textsSequence;
        refreshTexts();
        refreshMenus();
    }
    if (dialogs_) dialogs_->idle(snapshot_);
    messages_.service();
    return canvas_.redraw();
}

} // namespace moraine::gui
