#include "patch/TuningFile.h"

#include "platform/Files.h"

#include <cstdio>
#include <cstring>

namespace moraine {

namespace {
// A bulk dump is 408 bytes; anything past this is not ours to read.
constexpr size_t kTuningReadLimit = 4096;
} // namespace

bool isTuningDump(const unsigned char* message, size_t length) {
    return message && length >= kTuningDataEnd && message[0] == 0xF0 && message[1] == 0x7E &&
           message[3] == 0x08 && message[4] == 0x01;
}

std::string tuningFolder(const std::string& dataFolder) {
    return dataFolder + "Tunings/";
}

std::string tuningPath(const std::string& dataFolder, int n) {
    return tuningFolder(dataFolder) + std::to_string(n) + ".tun";
}

bool readTuningFile(const std::string& path, std::string& bytes) {
    return readWholeFile(path, bytes, kTuningReadLimit);
}

std::vector<std::string> listTuningNames(const std::string& dataFolder) {
    std::vector<std::string> names;
    for (int n = 0;; ++n) {
        std::FILE* f = std::fopen(tuningPath(dataFolder, n).c_str(), "rb");
        if (!f) break;
        char head[kTuningEntriesOffset] = {};
        const size_t got = std::fread(head, 1, sizeof head, f);
        std::fclose(f);
        std::string name;
        if (got > kTuningNameOffset) {
            const char* start = head + kTuningNameOffset;
            const size_t available = got - kTuningNameOffset;
            const void* nul = std::memchr(start, 0, available);
            name.assign(start, nul ? size_t(static_cast<const char*>(nul) - start) : available);
        }
        names.push_back(std::move(name));
    }
    return names;
}

} // namespace moraine
