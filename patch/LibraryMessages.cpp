#include "patch/LibraryMessages.h"

namespace moraine {

// Names come from users and files and may hold a '%' of their own, so they are copied as
// they are rather than handed to a printf format.
std::string libraryText(LibraryMessage id, std::initializer_list<std::string_view> fill) {
    const std::string_view pattern = libraryPattern(id);
    const std::string_view* next = fill.begin();
    std::string out;
    for (size_t i = 0; i < pattern.size(); ++i) {
        const bool placeholder = pattern[i] == '%' && i + 1 < pattern.size() &&
                                 (pattern[i + 1] == 'd' || pattern[i + 1] == 's');
        if (!placeholder) {
            out += pattern[i];
            continue;
        }
        if (next != fill.end()) out += *next++;
        ++i;
    }
    return out;
}

} // namespace moraine
