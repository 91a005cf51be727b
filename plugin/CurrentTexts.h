// The name, author, date and notes of the patch last applied, for the program name, the
// host's state and the panel's notes area. Only the control side writes them (a program
// change on the audio thread leaves its texts in a prepared image for the control side to
// take), so a plain lock is enough.
#pragma once

#include "patch/PatchRecord.h"

#include <mutex>
#include <string>

namespace moraine {

struct PatchTexts {
    std::string name, author, date, notes;
};

class CurrentTexts {
public:
    // Longer texts are cut to the field limit.
    void store(const std::string& name, const std::string& author, const std::string& date,
               const std::string& notes) {
        auto cut = [](const std::string& s) { return s.substr(0, size_t(kPatchTextFieldLimit)); };
        std::lock_guard lock(mutex_);
        texts_ = {cut(name), cut(author), cut(date), cut(notes)};
    }

    PatchTexts load() const {
        std::lock_guard lock(mutex_);
        return texts_;
    }

private:
    mutable std::mutex mutex_;
    PatchTexts texts_;
};

} // namespace moraine
