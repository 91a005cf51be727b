// The instrument as the editor sees it (PanelHost), kept apart from the plug-in object so
// that the editor can reach nothing else.
#pragma once

#include "plugin/MorainePlugin.h"

namespace moraine {

class PanelSeam : public PanelHost {
public:
    explicit PanelSeam(Moraine_VST& plugin) : plugin_(plugin), instrument_(plugin) {}

    float parameterValue(int index) const override { return plugin_.engineValue(index); }
    void beginEdit(int index) override;
    void setFromPanel(int index, float engineValue) override;
    void endEdit(int index) override;
    ParameterDirtySet& dirtyParameters() override { return plugin_.dirty_; }

    void panelNote(int key, int velocity) override { plugin_.note(key, velocity); }
    void envelopeTrigger(bool pressed) override { plugin_.envelopeTrigger(pressed); }
    void portamentoTrigger(bool pressed) override { plugin_.portamentoTrigger(pressed); }

    void snapshot(PanelSnapshot& out) const override;
    void currentTexts(std::string& name, std::string& author, std::string& date,
                      std::string& notes) const override;

    PatchLibrary& library() override { return plugin_.library(); }
    PatchInstrument& instrument() override { return instrument_; }
    bool startPatchLoad(int source) override { return plugin_.startPatchLoad(source); }
    void serviceControlSide() override { plugin_.serviceControlSide(); }
    void libraryChanged() override { plugin_.libraryChanged(); }
    std::unique_lock<std::recursive_mutex> controlLock() override {
        return std::unique_lock<std::recursive_mutex>(plugin_.controlMutex_);
    }
    MidiMap& midiMap() override { return plugin_.midiMap(); }
    void publishMidiMap() override { plugin_.publishMidiMap(); }
    MidiMapFiles& midiMapFiles() override { return plugin_.midiMapFiles(); }
    bool loadTuning(int n) override { return plugin_.loadTuning(n); }
    int tuningProgram() const override { return plugin_.tuningProgram(); }
    void setMessageSink(MessageSink* sink) override;

private:
    // Library operations from the panel never sleep the editor's thread: a change they ask
    // for starts now and finishes on a later idle.
    class Instrument : public PatchInstrument {
    public:
        explicit Instrument(Moraine_VST& plugin) : plugin_(plugin) {}
        void capture(PatchRecord& record) override { plugin_.capture(record); }
        bool loadPatch(int source, bool) override { return plugin_.startPatchLoad(source); }

    private:
        Moraine_VST& plugin_;
    };

    Moraine_VST& plugin_;
    Instrument instrument_;
};

} // namespace moraine
