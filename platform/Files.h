// Small file helpers shared by the patch library, the MIDI maps and the tunings.
#pragma once

#include <string>
#include <string_view>

namespace moraine {

// Writes `bytes` to a temporary file beside `path` and renames it over `path`, so a
// failed or interrupted write leaves the previous file whole. False when anything failed
// (the temporary file is then removed).
bool replaceFile(const std::string& path, std::string_view bytes);

// Reads a whole file, at most `limit` bytes. False when it does not open.
bool readWholeFile(const std::string& path, std::string& out, size_t limit = 64u << 20);

// Creates the folder (not its parents) when it is missing; true when it exists after.
bool ensureFolder(const std::string& path);

bool fileExists(const std::string& path);

// A test seam: when set, replaceFile stops after writing the temporary file and reports
// failure, as if the process had died before the rename.
void setReplaceFileInterruptedForTesting(bool interrupted);

} // namespace moraine
