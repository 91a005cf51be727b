#include "dialogs/TextField.h"

#include "gui/PanelEvents.h"

namespace moraine::dialogs {

namespace {

// Length of the valid UTF-8 sequence starting at s[i], 0 when it is not one.
std::size_t sequenceLength(const std::string& s, std::size_t i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned c = byte(i);
    if (c < 0x80) return 1;
    std::size_t n = 0;
    unsigned minimum = 0, value = 0;
    if ((c & 0xE0) == 0xC0) n = 2, minimum = 0x80, value = c & 0x1F;
    else if ((c & 0xF0) == 0xE0) n = 3, minimum = 0x800, value = c & 0x0F;
    else if ((c & 0xF8) == 0xF0) n = 4, minimum = 0x10000, value = c & 0x07;
    else return 0;
    if (i + n > s.size()) return 0;
    for (std::size_t k = 1; k < n; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) return 0;
        value = (value << 6) | (byte(i + k) & 0x3F);
    }
    if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
    return n;
}

bool isContinuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

} // namespace

std::string TextFieldModel::clean(const std::string& in) {
    std::string out;
    out.reserve(in.size());
    for (std::size_t i = 0; i < in.size();) {
        const std::size_t n = sequenceLength(in, i);
        if (n == 0) {
            out += "\xEF\xBF\xBD";
            ++i;
            continue;
        }
        const char c = in[i];
        if (n == 1 && c == '\r') {
            out += '\n';
            i += (i + 1 < in.size() && in[i + 1] == '\n') ? 2 : 1;
            continue;
        }
        if (n == 1 && c == '\t') out += ' ';
        else if (n == 1 && (static_cast<unsigned char>(c) < 32 || c == 127) && c != '\n') {
            // dropped
        } else out.append(in, i, n);
        i += n;
    }
    return out;
}

std::size_t TextFieldModel::countCharacters(const std::string& s) {
    std::size_t n = 0;
    for (char c : s) n += isContinuation(c) ? 0 : 1;
    return n;
}

std::size_t TextFieldModel::characters() const { return countCharacters(text_); }

void TextFieldModel::setText(const std::string& text) {
    text_.clear();
    caret_ = anchor_ = 0;
    insert(text);
    selectAll();
}

std::string TextFieldModel::selectedText() const {
    return text_.substr(selectionStart(), selectionEnd() - selectionStart());
}

std::size_t TextFieldModel::previousBoundary(std::size_t at) const {
    if (at == 0) return 0;
    --at;
    while (at > 0 && isContinuation(text_[at])) --at;
    return at;
}

std::size_t TextFieldModel::nextBoundary(std::size_t at) const {
    if (at >= text_.size()) return text_.size();
    ++at;
    while (at < text_.size() && isContinuation(text_[at])) ++at;
    return at;
}

void TextFieldModel::moveCaret(std::size_t to, bool extend) {
    if (to > text_.size()) to = text_.size();
    while (to > 0 && to < text_.size() && isContinuation(text_[to])) --to;
    caret_ = to;
    if (!extend) anchor_ = caret_;
}

void TextFieldModel::eraseSelection() {
    const std::size_t a = selectionStart();
    text_.erase(a, selectionEnd() - a);
    caret_ = anchor_ = a;
}

bool TextFieldModel::insert(const std::string& utf8) {
    std::string piece = clean(utf8);
    if (!multiLine_)
        for (char& c : piece)
            if (c == '\n') c = ' ';
    if (numbersOnly_)
        for (char c : piece)
            if (c < '0' || c > '9') return false;
    const std::size_t kept = characters() - countCharacters(selectedText());
    const std::size_t room = kept >= kMaxCharacters ? 0 : kMaxCharacters - kept;
    // Cut at a character boundary: never inside a sequence.
    std::size_t bytes = 0, taken = 0;
    while (bytes < piece.size() && taken < room) {
        ++bytes;
        while (bytes < piece.size() && isContinuation(piece[bytes])) ++bytes;
        ++taken;
    }
    piece.resize(bytes);
    if (piece.empty() && !utf8.empty()) return false;
    eraseSelection();
    text_.insert(caret_, piece);
    caret_ = anchor_ = caret_ + piece.size();
    return true;
}

TextFieldModel::KeyResult TextFieldModel::key(int key, int modifiers) {
    using namespace gui;
    const bool shift = modifiers & kModShift;
    const bool ctrl = modifiers & kModCtrl;
    if (ctrl) {
        switch (key) {
        case 'a': case 'A': selectAll(); return KeyResult::Handled;
        case 'c': case 'C': return KeyResult::Copy;
        case 'x': case 'X':
            if (!hasSelection()) return KeyResult::Handled;
            return KeyResult::Cut; // the caller copies, then erases
        case 'v': case 'V': return KeyResult::Paste;
        case kKeyReturn:
            if (multiLine_) return insert("\n") ? KeyResult::Handled : KeyResult::Refused;
            return KeyResult::Confirm;
        default: break;
        }
    }
    switch (key) {
    case kKeyReturn:
        if (shift && multiLine_) return insert("\n") ? KeyResult::Handled : KeyResult::Refused;
        return KeyResult::Confirm;
    case kKeyEscape: return KeyResult::Abandon;
    case kKeyTab: return shift ? KeyResult::Previous : KeyResult::Next;
    case kKeyBackspace:
        if (!hasSelection()) anchor_ = previousBoundary(caret_);
        eraseSelection();
        return KeyResult::Handled;
    case kKeyDelete:
        if (!hasSelection()) anchor_ = nextBoundary(caret_);
        eraseSelection();
        return KeyResult::Handled;
    case kKeyLeft:
        if (hasSelection() && !shift) moveCaret(selectionStart(), false);
        else moveCaret(previousBoundary(caret_), shift);
        return KeyResult::Handled;
    case kKeyRight:
        if (hasSelection() && !shift) moveCaret(selectionEnd(), false);
        else moveCaret(nextBoundary(caret_), shift);
        return KeyResult::Handled;
    case kKeyHome:
    case kKeyUp: {
        std::size_t at = caret_;
        if (multiLine_ && key == kKeyHome)
            while (at > 0 && text_[at - 1] != '\n') --at;
        else at = 0;
        moveCaret(at, shift);
        return KeyResult::Handled;
    }
    case kKeyEnd:
    case kKeyDown: {
        std::size_t at = caret_;
        if (multiLine_ && key == kKeyEnd)
            while (at < text_.size() && text_[at] != '\n') ++at;
        else at = text_.size();
        moveCaret(at, shift);
        return KeyResult::Handled;
    }
    default: break;
    }
    if (key >= 32 && key < 127 && !ctrl) {
        const char c = char(key);
        return insert(std::string(1, c)) ? KeyResult::Handled : KeyResult::Refused;
    }
    return KeyResult::Ignored;
}

} // namespace moraine::dialogs
