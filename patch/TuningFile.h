// Tuning files: one MIDI Tuning Standard bulk dump each, "<n>.tun" in the "Tunings/"
// folder of the data folder, numbered from 0 without gaps.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace moraine {

// F0 7E <device> 08 01 <program> <16 name bytes> <128 x 3 note bytes> <checksum> F7.
constexpr size_t kTuningNameOffset = 6;
constexpr size_t kTuningNameLength = 16;
constexpr size_t kTuningEntriesOffset = 22;
constexpr size_t kTuningDataEnd = kTuningEntriesOffset + 128 * 3; // 406: the note data
constexpr size_t kTuningDumpLength = kTuningDataEnd + 2;          // 408 with checksum, F7

// Whether `message` holds a bulk tuning dump we can apply: at least the 406 bytes up to the
// end of the note data, starting F0 7E <any device> 08 01. The checksum and the closing F7
// are not looked at: files in the wild often carry a wrong checksum, and the note data is
// whole without them.
bool isTuningDump(const unsigned char* message, size_t length);

// "<dataFolder>Tunings/" (the data folder ends with its separator).
std::string tuningFolder(const std::string& dataFolder);
std::string tuningPath(const std::string& dataFolder, int n);

// Reads a tuning file: no more than a few dumps' worth, since only the first 406 bytes
// count. False when the file does not open or cannot be read.
bool readTuningFile(const std::string& path, std::string& bytes);

// The name of each file 0.tun, 1.tun, ... up to the first number that does not open: the
// 16 bytes at byte 6, cut at a NUL. A file too short to hold a whole name gives what it
// has from byte 6 on (nothing when it ends before that); it is still listed, so entry i is
// always file i, and loading it is refused later.
std::vector<std::string> listTuningNames(const std::string& dataFolder);

} // namespace moraine
