// The editing state of an in-panel text field: the text as UTF-8, the caret and the
// selection as byte offsets that always sit on character boundaries, and the limits of the
// old native edit box (1000 characters, digits only, one line or several). No drawing and
// no X here, so every rule is testable on its own.
#pragma once

#include <cstddef>
#include <string>

namespace moraine::dialogs {

class TextFieldModel {
public:
    static constexpr std::size_t kMaxCharacters = 1000;

    enum class KeyResult {
        Handled,
        Refused,  // a character the field does not take (the caller beeps)
        Confirm,  // Return in a one-line field
        Abandon,  // Escape
        Next,     // Tab
        Previous, // Shift+Tab
        Copy,     // Ctrl+C: the caller puts selectedText() on the clipboard
        Cut,      // Ctrl+X: the same, the selection is already gone
        Paste,    // Ctrl+V: the caller fetches the clipboard and calls insert() later
        Ignored,
    };

    void setMultiLine(bool on) { multiLine_ = on; }
    void setNumbersOnly(bool on) { numbersOnly_ = on; }
    bool multiLine() const { return multiLine_; }
    bool numbersOnly() const { return numbersOnly_; }

    // Replaces the text (cut to the limits, invalid UTF-8 replaced) and selects all of it,
    // as a field does when it gains focus.
    void setText(const std::string& text);
    const std::string& text() const { return text_; }
    std::size_t caret() const { return caret_; }
    std::size_t anchor() const { return anchor_; }
    bool hasSelection() const { return caret_ != anchor_; }
    std::size_t selectionStart() const { return caret_ < anchor_ ? caret_ : anchor_; }
    std::size_t selectionEnd() const { return caret_ < anchor_ ? anchor_ : caret_; }
    std::string selectedText() const;
    std::size_t characters() const;

    // Typed or pasted text in place of the selection. Line breaks become spaces in a
    // one-line field; a digits-only field refuses anything else whole. What would pass the
    // character limit is left off at a character boundary. False when nothing was taken
    // and something was offered.
    bool insert(const std::string& utf8);
    // A key from PanelEvents.h (printable ASCII is its own code).
    KeyResult key(int key, int modifiers);

    void moveCaret(std::size_t to, bool extend);
    void selectAll() { anchor_ = 0, caret_ = text_.size(); }
    void eraseSelection();

    // Byte offset of the character boundary before / after `at`.
    std::size_t previousBoundary(std::size_t at) const;
    std::size_t nextBoundary(std::size_t at) const;

    // Whole characters only: bytes that are not valid UTF-8 become U+FFFD, CR LF and lone
    // CR become LF, other control characters are dropped (tab becomes a space).
    static std::string clean(const std::string& utf8);
    static std::size_t countCharacters(const std::string& utf8);

private:
    std::string text_;
    std::size_t caret_ = 0, anchor_ = 0;
    bool multiLine_ = false, numbersOnly_ = false;
};

} // namespace moraine::dialogs
