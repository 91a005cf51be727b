// Diagnostic lines: what the instrument did with its files, for whoever is tracking down a
// problem; never shown to the user. The instrument runs inside a host's process, whose
// standard output may be the host's own channel (plug-in scanners read their answers from
// a child process's output), so the lines are silent unless MORAINE_VERBOSE=1 asks for
// them, and then go to standard error.
#pragma once

namespace moraine {

// On when the environment held MORAINE_VERBOSE with a value other than "" or "0" the first
// time it was asked, or after setDiagnostics(true).
bool diagnosticsOn();
// Our own tools and tests switch the lines on or off for the whole process.
void setDiagnostics(bool on);

// One printf-style line to standard error when the diagnostics are on; nothing otherwise.
// Never for the audio thread: writing is a system call.
[[gnu::format(printf, 1, 2)]] void diagnostic(const char* format, ...);

} // namespace moraine
