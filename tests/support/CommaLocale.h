// Switches the process to a comma-decimal locale for one test, as some hosts do, and
// puts the previous locale back at the end of the scope.
#pragma once

#include <clocale>
#include <string>

namespace moraine::testing {

class CommaDecimalLocale {
public:
    CommaDecimalLocale() {
        const char* saved = std::setlocale(LC_NUMERIC, nullptr);
        restore_ = saved ? saved : "C";
        for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "de_DE"})
            if (std::setlocale(LC_NUMERIC, name)) {
                active_ = true;
                return;
            }
    }
    ~CommaDecimalLocale() { std::setlocale(LC_NUMERIC, restore_.c_str()); }
    CommaDecimalLocale(const CommaDecimalLocale&) = delete;
    CommaDecimalLocale& operator=(const CommaDecimalLocale&) = delete;
    // False when no such locale is installed; the caller skips.
    bool active() const { return active_; }

private:
    std::string restore_;
    bool active_ = false;
};

} // namespace moraine::testing
