// Moraine_VSTView: the front panel built from the layout table, bound to the instrument
// through PanelHost, and the in-panel message boxes that stand in for the console while
// the editor is open.
#pragma once

#include "gui/Cable.h"
#include "gui/Canvas.h"
#include "gui/Images.h"
#include "gui/Widgets.h"
#include "platform/Messages.h"
#include "plugin/PanelHost.h"

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace moraine::gui {

// Message boxes shown inside the panel, one at a time, without ever blocking the host's
// thread: each waits in a queue until the one before it is answered.
class PanelMessages : public MessageSink {
public:
    explicit PanelMessages(CAUGuiCanvas& canvas) : canvas_(canvas) {}
    void inform(const std::string& text) override;
    // A caller that needs its answer at once cannot have it without a nested event loop:
    // the question is shown as a notice and answered Cancel, which changes nothing.
    // Callers that can wait use ask().
    bool confirm(const std::string& text) override;
    // Shows a question with OK and Cancel; `answer` runs when the user answers.
    void ask(const std::string& text, std::function<void(bool)> answer);
    // Opens the next box when none is showing; called on each idle.
    void service();
    // While a dialog is open a box goes into it as its nested popup; `nest` takes the box
    // (and returns true) or leaves it waiting.
    using Nest = std::function<bool(std::unique_ptr<PanelMessageBox>& box)>;
    void setNest(Nest nest) { nest_ = std::move(nest); }
    std::size_t pending() const { return queue_.size(); }

private:
    struct Box {
        std::string text;
        bool question;
        std::function<void(bool)> answer;
    };
    CAUGuiCanvas& canvas_;
    std::deque<Box> queue_;
    bool showing_ = false;
    Nest nest_;
};

class Moraine_VSTView;

// The in-panel dialogs live in a library of their own that only the plug-in and the tests
// link; the view reaches them through this and a factory the plug-in installs.
class PanelDialogs {
public:
    virtual ~PanelDialogs() = default;
    // The save-as, patch-manager and logo buttons, and save when it needs save-as.
    virtual bool open(PanelAction action) = 0;
    // Shift-click on a bound control.
    virtual bool openMidiMap(int parameter) = 0;
    // Every idle tick, before the message boxes: MIDI learn, answers that arrived.
    virtual void idle(const PanelSnapshot& snapshot) = 0;
};
using PanelDialogsFactory = std::unique_ptr<PanelDialogs> (*)(Moraine_VSTView& view);
void setPanelDialogsFactory(PanelDialogsFactory factory);

class Moraine_VSTView : public CanvasListener {
public:
    explicit Moraine_VSTView(PanelHost& host);
    ~Moraine_VSTView() override;
    Moraine_VSTView(const Moraine_VSTView&) = delete;
    Moraine_VSTView& operator=(const Moraine_VSTView&) = delete;

    // One idle tick: finish what the audio thread handed back, follow parameters moved
    // from outside, meters and the library, then redraw. Returns the damaged rectangles.
    const std::vector<PanelRect>& idle();
    // A parameter changed outside the panel: the control follows without notifying.
    void parameterChanged(int index);

    CAUGuiCanvas& canvas() { return canvas_; }
    PanelMessages& messages() { return messages_; }
    CAUGuiCtrl* control(int parameter) { return canvas_.findByParameter(parameter); }
    CAUGuiCtrl* control(PanelAction action);
    CAUGuiCtrl* powerLight() { return powerLight_; }
    const JackRegistry& jacks() const { return jacks_; }
    // The parameter last Shift-clicked (the MIDI-map popup opens for it), −1 none.
    int midiMapParameter() const { return midiMapParameter_; }
    bool built() const { return built_; }

    void controlChanged(CAUGuiCtrl& control) override;
    void midiMapRequested(int parameter) override;

    PanelHost& host() { return host_; }
    const CAUGuiGraphic* image(const char* name) const;
    PanelDialogs* dialogs() { return dialogs_.get(); }
    void refreshMenus();
    void refreshTexts();

private:
    void loadImages();
    void buildControls();
    void addControl(const PanelControl& row);
    void buttonAction(PanelAction action, int value);
    void menuChosen(MenuKind kind, int index);

    PanelHost& host_;
    JackRegistry jacks_; // the jacks in creation order; outlives them
    CAUGuiCanvas canvas_;
    PanelMessages messages_;
    std::vector<std::unique_ptr<CAUGuiGraphic>> images_;
    std::map<std::string, const CAUGuiGraphic*> imagesByName_;
    std::map<PanelAction, CAUGuiCtrl*> actions_;
    PatchMenu* menus_[3] = {nullptr, nullptr, nullptr}; // by MenuKind
    CAUGuiButton* lockButton_ = nullptr;
    CAUGuiCtrl* bypassSwitch_ = nullptr;
    CAUGuiCtrl* powerLight_ = nullptr;
    NotesArea* notes_ = nullptr;
    PanelRect notesSliderFrame_{};
    MeterLevels levels_;
    PanelSnapshot snapshot_;
    std::uint32_t textsSequence_ = 0;
    bool patchBusy_ = false;
    int midiMapParameter_ = -1;
    bool built_ = false;
    std::unique_ptr<PanelDialogs> dialogs_; // last: goes first, while the canvas lives
};

} // namespace moraine::gui
