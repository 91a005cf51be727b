#include "platform/DataFolder.h"

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

namespace moraine {

namespace {

std::string withSlash(std::string path) {
    if (!path.empty() && path.back() != '/') path += '/';
    return path;
}

std::string homeFolder() {
    if (const char* home = std::getenv("HOME"); home && *home) return home;
    if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir) return pw->pw_dir;
    return {};
}

} // namespace

std::string defaultDataFolder() {
    if (const char* own = std::getenv("MORAINE_DATA_DIR"); own && *own) return withSlash(own);
    std::string base;
    // Relative values are invalid by the XDG rules and are ignored.
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && xdg[0] == '/')
        base = xdg;
    else if (std::string home = homeFolder(); !home.empty())
        base = home + "/.local/share";
    else
        return {};
    return withSlash(base) + "Larchmere Audio/Moraine Deck/";
}

} // namespace moraine
