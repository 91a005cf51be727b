// Fuzz targets build instruments, which read and write a data folder: each run gets a
// temporary one, never the user's.
#pragma once

#include <cstdlib>
#include <filesystem>
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

} // namespace moraine::fuzzing
