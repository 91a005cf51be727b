#include "platform/Files.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace moraine {

namespace {
std::atomic<bool> interruptedForTesting{false};
}

void setReplaceFileInterruptedForTesting(bool interrupted) {
    interruptedForTesting.store(interrupted);
}

bool replaceFile(const std::string& path, std::string_view bytes) {
    // The temporary file sits in the same folder, so the rename never crosses file systems;
    // its name is the writer's own, so two instruments saving at once never share one.
    static std::atomic<unsigned> counter{0};
    const std::string temporary = path + ".tmp" + std::to_string(getpid()) + "-" +
                                  std::to_string(counter.fetch_add(1));
    std::FILE* f = std::fopen(temporary.c_str(), "wb");
    if (!f) return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    ok = std::fflush(f) == 0 && ok;
    ok = fsync(fileno(f)) == 0 && ok;
    ok = std::fclose(f) == 0 && ok;
    if (interruptedForTesting.load()) return false;
    if (!ok || std::rename(temporary.c_str(), path.c_str()) != 0) {
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}

bool readWholeFile(const std::string& path, std::string& out, size_t limit) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    out.clear();
    char chunk[8192];
    size_t n;
    while (out.size() < limit && (n = std::fread(chunk, 1, sizeof chunk, f)) > 0)
        out.append(chunk, n);
    std::fclose(f);
    if (out.size() > limit) out.resize(limit);
    return true;
}

bool ensureFolder(const std::string& path) {
    if (mkdir(path.c_str(), 0777) == 0 || errno == EEXIST) {
        struct stat st;
        return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    }
    return false;
}

bool fileExists(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

} // namespace moraine
