#include "platform/Messages.h"

#include <cstdio>

namespace moraine {

void ConsoleMessages::inform(const std::string& text) {
    std::fprintf(stderr, "%s\n", text.c_str());
}

bool ConsoleMessages::confirm(const std::string& text) {
    std::fprintf(stderr, "%s [OK]\n", text.c_str());
    return true;
}

} // namespace moraine
