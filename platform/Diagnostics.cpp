#include "platform/Diagnostics.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace moraine {

namespace {

std::atomic<bool>& switchedOn() {
    static std::atomic<bool> on = [] {
        const char* asked = std::getenv("MORAINE_VERBOSE");
        return asked && *asked && std::strcmp(asked, "0") != 0;
    }();
    return on;
}

} // namespace

bool diagnosticsOn() {
    return switchedOn().load(std::memory_order_relaxed);
}

void setDiagnostics(bool on) {
    switchedOn().store(on, std::memory_order_relaxed);
}

void diagnostic(const char* format, ...) {
    if (!diagnosticsOn()) return;
    std::va_list args;
    va_start(args, format);
    std::vfprintf(stderr, format, args);
    va_end(args);
}

} // namespace moraine
