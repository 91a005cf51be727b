// What the fuzz targets share: a temporary data folder for the instruments they build
// (never the user's), a minimal host, and a check that stops the run on a broken invariant.
#pragma once

#include "platform/vst2/aeffect.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace moraine::fuzzing {

inline std::string temporaryDataFolder() {
    static const std::string path = [] {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "moraine-fuzz-XXXXXX").string();
        const char* made = mkdtemp(pattern.data());
        std::string folder = made ? std::string(made) + "/" : std::string();
        setenv("MORAINE_DATA_DIR", folder.c_str(), 1);
        return folder;
    }();
    return path;
}

// The same folder holding an empty library: the instrument starts from the circuit's own
// settings and writes no library files per run.
inline std::string emptyLibraryFolder() {
    static const std::string path = [] {
        const std::string folder = temporaryDataFolder();
        std::ofstream(folder + "groupList").flush();
        return folder;
    }();
    return path;
}

inline VstIntPtr host(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
    return opcode == audioMasterVersion ? 2400 : 0;
}

inline void check(bool ok) {
    if (!ok) std::abort();
}

} // namespace moraine::fuzzing
