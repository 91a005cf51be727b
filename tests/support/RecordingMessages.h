// A message sink for tests: keeps every notice and question in order and answers the
// questions from a queue (OK once it is empty). Texts map back to the library's message ids,
// so tests can say which message came without restating its sentence.
#pragma once

#include "patch/LibraryMessages.h"
#include "platform/Messages.h"

#include <deque>
#include <string>
#include <string_view>
#include <vector>

namespace moraine::testing {

// Whether `text` is `pattern` with each "%d" standing for a whole number, "%s" for any text.
inline bool fitsPattern(std::string_view text, std::string_view pattern) {
    if (pattern.empty()) return text.empty();
    if (pattern.size() >= 2 && pattern[0] == '%' && (pattern[1] == 'd' || pattern[1] == 's')) {
        size_t n = 0;
        if (pattern[1] == 'd') {
            n = !text.empty() && text[0] == '-';
            while (n < text.size() && text[n] >= '0' && text[n] <= '9') ++n;
            return n > 0 && text[n - 1] != '-' && fitsPattern(text.substr(n), pattern.substr(2));
        }
        for (; n <= text.size(); ++n)
            if (fitsPattern(text.substr(n), pattern.substr(2))) return true;
        return false;
    }
    return !text.empty() && text[0] == pattern[0] && fitsPattern(text.substr(1), pattern.substr(1));
}

// The library message `text` is, or LibraryMessage::Count for any other text.
inline LibraryMessage libraryMessageOf(std::string_view text) {
    for (const LibraryText& entry : kLibraryTexts)
        if (fitsPattern(text, entry.text)) return entry.id;
    return LibraryMessage::Count;
}

class RecordingMessages : public MessageSink {
public:
    void inform(const std::string& text) override { informs.push_back(text); }
    bool confirm(const std::string& text) override {
        confirms.push_back(text);
        const bool answer = answers.empty() || answers.front();
        if (!answers.empty()) answers.pop_front();
        return answer;
    }
    std::string last() const { return informs.empty() ? std::string() : informs.back(); }
    LibraryMessage lastId() const { return libraryMessageOf(last()); }
    std::vector<LibraryMessage> informIds() const {
        std::vector<LibraryMessage> ids;
        for (const std::string& text : informs) ids.push_back(libraryMessageOf(text));
        return ids;
    }
    void clear() { informs.clear(), confirms.clear(); }

    std::vector<std::string> informs, confirms;
    std::deque<bool> answers; // true: OK, false: Cancel
};

} // namespace moraine::testing
