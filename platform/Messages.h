// The instrument's message boxes: a plain notice, and a question answered OK or Cancel.
// Texts are fixed sentences and the caption is always empty. Without a panel the notice
// goes to standard error and every question is answered OK; the panel installs an in-panel
// popup in its place, and tests install a recording double.
#pragma once

#include <string>

namespace moraine {

class MessageSink {
public:
    virtual ~MessageSink() = default;
    virtual void inform(const std::string& text) = 0;
    // True for OK, false for Cancel.
    virtual bool confirm(const std::string& text) = 0;
};

// Writes each text as one line to standard error; answers OK.
class ConsoleMessages : public MessageSink {
public:
    void inform(const std::string& text) override;
    bool confirm(const std::string& text) override;
};

// The address the library's sync messages ask users to write to.
inline constexpr const char* kSupportAddress = "support@larchmere-audio.example";

} // namespace moraine
