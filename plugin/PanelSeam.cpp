#include "plugin/PanelSeam.h"

namespace moraine {

void PanelSeam::beginEdit(int index) {
    if (index >= 1 && index < kHostParamCount) plugin_.beginEdit(index);
}

void PanelSeam::setFromPanel(int index, float engineValue) {
    if (index < 1 || index >= kParamCount) return;
    plugin_.setFromEngineValueAutomated(index, engineValue);
}

void PanelSeam::endEdit(int index) {
    if (index >= 1 && index < kHostParamCount) plugin_.endEdit(index);
}

void PanelSeam::snapshot(PanelSnapshot& out) const {
    out.meterLeft = plugin_.leftMeter();
    out.meterRight = plugin_.rightMeter();
    out.midiActivity = plugin_.midiActivity();
    out.lastController = plugin_.lastControllerMessage();
    out.extraVoices = plugin_.extraVoiceCount();
    out.masterVolume = plugin_.masterVolume();
    out.textsSequence = plugin_.textsSequence_.load(std::memory_order_acquire);
    out.patchChangeBusy = plugin_.patchPending();
    out.displayNotes = plugin_.displayNotes_.load(std::memory_order_acquire);
    for (int key = 0; key < 128; ++key) out.keyHeld[key] = plugin_.noteHeld(key);
}

void PanelSeam::meterLevels(float (&levels)[5]) const {
    levels[2] = plugin_.renderTime();
    levels[3] = plugin_.lastBlockFrames();
}

void PanelSeam::currentTexts(std::string& name, std::string& author, std::string& date,
                             std::string& notes) const {
    const PatchTexts t = plugin_.currentTexts();
    name = t.name;
    author = t.author;
    date = t.date;
    notes = t.notes;
}

void PanelSeam::setMessageSink(MessageSink* sink) {
    plugin_.setMessageSink(sink ? *sink : plugin_.consoleMessages_);
}

} // namespace moraine
