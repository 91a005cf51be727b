// Where the instrument keeps its library, MIDI maps and tunings.
#pragma once

#include <string>

namespace moraine {

// The data folder with a trailing "/": $MORAINE_DATA_DIR when set (tests point it at a
// temporary folder), otherwise $XDG_DATA_HOME (default ~/.local/share) followed by
// "Larchmere Audio/Moraine Deck/". Empty when no home folder can be found. The folder
// is not created here.
std::string defaultDataFolder();

} // namespace moraine
