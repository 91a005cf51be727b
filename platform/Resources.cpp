#include "platform/Resources.h"

namespace moraine {

namespace embedded {
struct Entry {
    std::string_view name;
    const unsigned char* begin;
    const unsigned char* end;
};
extern const Entry kEntries[];
extern const int kEntryCount;
} // namespace embedded

std::string_view findResource(std::string_view name) {
    for (int i = 0; i < embedded::kEntryCount; ++i) {
        const embedded::Entry& e = embedded::kEntries[i];
        if (e.name == name)
            return {reinterpret_cast<const char*>(e.begin), std::size_t(e.end - e.begin)};
    }
    return {};
}

} // namespace moraine
