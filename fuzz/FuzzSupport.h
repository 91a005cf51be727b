// What the fuzz targets share: scratch folders for the instruments they build
// (never the user's), a minimal host, and a check that stops the run on a broken invariant.
#pragma once

#include "platform/vst2/aeffect.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

// The instrument targets keep one instrument for the whole run, and it keeps memory from one
// input to the next; libFuzzer would take that for a leak and scan the heap after each input.
// libFuzzer also runs an input a second time whenever it ends with more allocations than
// frees, to look for a leak; a kept instrument often does, so the check is turned off on the
// command line as well.
#define MORAINE_FUZZ_KEEPS_STATE                                                              \
    extern "C" const char* __asan_default_options() { return "detect_leaks=0"; }              \
    extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {                           \
        return moraine::fuzzing::withoutLeakChecks(argc, argv);                               \
    }

namespace moraine::fuzzing {

// A folder of its own for one process, in memory where the system offers it: the targets
// read and write files for every input, and a disk would set the pace. Removed at exit.
inline std::string scratchFolder(const char* name) {
    std::error_code ignored;
    const std::filesystem::path base = std::filesystem::is_directory("/dev/shm", ignored)
                                           ? std::filesystem::path("/dev/shm")
                                           : std::filesystem::temp_directory_path();
    std::string pattern = (base / (std::string(name) + "-XXXXXX")).string();
    if (!mkdtemp(pattern.data())) std::abort();
    static std::vector<std::string> made;
    if (made.empty())
        std::atexit([] {
            std::error_code ignored;
            for (const std::string& folder : made) std::filesystem::remove_all(folder, ignored);
        });
    made.push_back(pattern);
    return pattern + "/";
}

// The instruments' data folder, never the user's.
inline std::string temporaryDataFolder() {
    static const std::string path = [] {
        const std::string folder = scratchFolder("moraine-fuzz");
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

inline int withoutLeakChecks(int* argc, char*** argv) {
    static std::vector<char*> args;
    static char flag[] = "-detect_leaks=0";
    args.assign(*argv, *argv + *argc);
    args.push_back(flag);
    args.push_back(nullptr);
    *argc = int(args.size()) - 1;
    *argv = args.data();
    return 0;
}

inline void check(bool ok) {
    if (!ok) std::abort();
}

} // namespace moraine::fuzzing
