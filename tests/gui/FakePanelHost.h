// A PanelHost without an instrument: parameter values in atomics, a record of every edit
// the panel sends, and a real patch library on a temporary data folder; and the whole
// panel on it.
#pragma once

#include "patch/MidiMap.h"
#include "patch/PatchLibrary.h"
#include "patch/PatchManager.h"
#include "gui/PanelView.h"
#include "platform/Resources.h"
#include "plugin/PanelHost.h"
#include "support/RecordingMessages.h"
#include "support/TempDataFolder.h"

#include <atomic>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

namespace moraine::testing {

class FakeInstrument : public PatchInstrument {
public:
    void capture(PatchRecord&) override {}
    bool loadPatch(int, bool) override { return true; }
};

class FakePanelHost : public PanelHost {
public:
    struct Edit {
        char kind; // 'b' begin, 's' set, 'e' end
        int index;
        float value;
        bool operator==(const Edit&) const = default;
    };
    FakePanelHost() {
        for (int i = 0; i < kParamCount; ++i) values_[i].store(parameterInfo(i).defaultValue);
    }
    // What a host thread does: store the value and mark it for the editor.
    void hostSets(int index, float engineValue) {
        values_[index].store(engineValue);
        dirty_.mark(index);
    }
    float parameterValue(int index) const override {
        return index >= 0 && index < kParamCount ? values_[index].load() : 0.0f;
    }
    void beginEdit(int index) override { edits.push_back({'b', index, 0.0f}); }
    void setFromPanel(int index, float v) override {
        values_[index].store(v);
        edits.push_back({'s', index, v});
    }
    void endEdit(int index) override { edits.push_back({'e', index, 0.0f}); }
    ParameterDirtySet& dirtyParameters() override { return dirty_; }
    void panelNote(int key, int velocity) override { panelNotes.push_back({key, velocity}); }
    void envelopeTrigger(bool pressed) override { envelope.push_back(pressed); }
    void portamentoTrigger(bool pressed) override { portamento.push_back(pressed); }
    void snapshot(PanelSnapshot& out) const override { out = snap; }
    void currentTexts(std::string& name, std::string& author, std::string& date,
                      std::string& notes) const override {
        name = "Test", author.clear(), date.clear(), notes.clear();
    }
    // Made on first use: most widget tests never reach the library.
    PatchLibrary& library() override {
        if (!library_) library_.emplace(withDefaultLibrary(folder_), console_);
        return *library_;
    }
    PatchInstrument& instrument() override { return instrument_; }
    bool startPatchLoad(int source) override { return patchLoads.push_back(source), true; }
    void serviceControlSide() override {}
    void libraryChanged() override { ++libraryChanges; }
    std::unique_lock<std::recursive_mutex> controlLock() override {
        return std::unique_lock(controlMutex_);
    }
    MidiMap& midiMap() override { return map_; }
    void publishMidiMap() override {}
    MidiMapFiles& midiMapFiles() override { return mapFiles_; }
    bool loadTuning(int) override { return false; }
    int tuningProgram() const override { return 0; }
    void setMessageSink(MessageSink* s) override { sink = s; }
    // Edits come from the panel's thread only.
    std::vector<Edit> edits;
    PanelSnapshot snap;
    std::vector<bool> envelope, portamento;
    std::vector<std::pair<int, int>> panelNotes; // key, velocity
    std::vector<int> patchLoads;
    MessageSink* sink = nullptr;
    int libraryChanges = 0;

private:
    // A new data folder starts from the compiled-in library, as the instrument's does.
    static std::string withDefaultLibrary(const TempDataFolder& folder) {
        folder.write("defaultLibrary", std::string(findResource("defaultLibrary")));
        return folder.path();
    }
    TempDataFolder folder_;
    RecordingMessages console_;
    std::optional<PatchLibrary> library_;
    FakeInstrument instrument_;
    MidiMap map_;
    MidiMapFiles mapFiles_;
    std::atomic<float> values_[kParamCount];
    ParameterDirtySet dirty_;
    std::recursive_mutex controlMutex_;
};

// The whole panel on the fake host after its first paint, any message box (missing art)
// answered.
struct FakeEditor {
    FakePanelHost host;
    gui::Moraine_VSTView view{host};
    gui::CAUGuiCanvas& c = view.canvas();
    FakeEditor() {
        view.idle();
        for (int i = 0; i < 100 && (c.modal() || view.messages().pending()); ++i) {
            c.keyDown(gui::kKeyReturn, 0);
            view.idle();
        }
    }
};

} // namespace moraine::testing
