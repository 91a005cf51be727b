// A message sink for tests: keeps every notice and every question in order, and answers
// the questions from a queue (OK once the queue is empty).
#pragma once

#include "platform/Messages.h"

#include <deque>
#include <string>
#include <vector>

namespace moraine::testing {

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
    void clear() {
        informs.clear();
        confirms.clear();
    }

    std::vector<std::string> informs;
    std::vector<std::string> confirms;
    std::deque<bool> answers; // true: OK, false: Cancel
};

} // namespace moraine::testing
