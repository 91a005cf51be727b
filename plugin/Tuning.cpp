// Microtuning: MIDI Tuning Standard bulk dumps applied to the keyboard's key tables.
// (Placeholder until the tuning tables land.)
#include "plugin/MorainePlugin.h"

namespace moraine {

void Moraine_VST::resetTuning() {}
bool Moraine_VST::applyTuningDump(const unsigned char*, size_t) { return false; }
bool Moraine_VST::loadTuning(int) { return false; }
std::vector<std::string> Moraine_VST::listTunings() const { return {}; }
void Moraine_VST::takeStagedTuning() {}

} // namespace moraine
