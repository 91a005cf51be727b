// A message sink for tests: keeps every notice and every question in order, and answers
// the questions from a queue (OK once the queue is empty). The library's texts map back to
// their ids, so tests can say which message came without restating its sentence.
#pragma once

#include "patch/LibraryMessages.h"
#include "platform/Messages.h"

#include <deque>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace moraine {

// Failed expectations name the message by its text.
inline void PrintTo(LibraryMessage id, std::ostream* out) {
    *out << (id == LibraryMessage::Count ? std::string_view("(no library message)")
                                         : libraryPattern(id));
}

} // namespace moraine

namespace moraine::testing {

// Whether `text` is `pattern` with each "%d" standing for a whole number and each "%s" for
// any text.
inline bool fitsPattern(std::string_view text, std::string_view pattern) {
    if (pattern.empty()) return text.empty();
    if (pattern.size() >= 2 && pattern[0] == '%' && (pattern[1] == 'd' || pattern[1] == 's')) {
        const std::string_view rest = pattern.substr(2);
        size_t first = 0;
        if (pattern[1] == 'd') {
            if (!text.empty() && text[0] == '-') ++first;
            while (first < text.size() && text[first] >= '0' && text[first] <= '9') ++first;
            return first > 0 && text[first - 1] != '-' && fitsPattern(text.substr(first), rest);
        }
        for (size_t n = 0; n <= text.size(); ++n)
            if (fitsPattern(text.substr(n), rest)) return true;
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

inline std::vector<LibraryMessage> libraryMessagesOf(const std::vector<std::string>& texts) {
    std::vector<LibraryMessage> ids;
    for (const std::string& text : texts) ids.push_back(libraryMessageOf(text));
    return ids;
}

class RecordingMessages : public MessageSink {
public:
    void inform(const std::string& text) override { informs.push_back(text); }
    bool confirm(const std::string& text) override {
        confirms.push_back(text);
        if (answers.empty()) return true;
        const bool answer = answers.front();
        answers.pop_front();
        return answer;
    }

    // The last notice, or empty when there was none.
    std::string last() const { return informs.empty() ? std::string() : informs.back(); }
    // The ids of the last notice and of every notice and question so far.
    LibraryMessage lastId() const { return libraryMessageOf(last()); }
    std::vector<LibraryMessage> informIds() const { return libraryMessagesOf(informs); }
    std::vector<LibraryMessage> confirmIds() const { return libraryMessagesOf(confirms); }
    void clear() {
        informs.clear();
        confirms.clear();
    }

    std::vector<std::string> informs;
    std::vector<std::string> confirms;
    std::deque<bool> answers; // true: OK, false: Cancel
};

} // namespace moraine::testing
