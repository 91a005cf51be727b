// The text field's editing rules, without drawing or X.
#include "dialogs/TextField.h"
#include "gui/PanelEvents.h"

#include <gtest/gtest.h>

namespace moraine::dialogs {
namespace {

using R = TextFieldModel::KeyResult;
using namespace gui;

TEST(TextField, KeysEditAndMoveOnCharacterBoundaries) {
    const struct {
        const char* what;
        const char* start; // the caret at its end unless `caret` says otherwise
        int caret, key, mods;
        const char* text;
        int caretAfter;
        R result;
    } cases[] = {
        {"typing appends", "ab", -1, 'c', 0, "abc", 3, R::Handled},
        {"backspace takes a whole two-byte character", "a\xC3\xA9", -1, kKeyBackspace, 0, "a", 1, R::Handled},
        {"backspace takes a whole four-byte character", "x\xF0\x9F\x8E\xB9", -1, kKeyBackspace, 0, "x", 1, R::Handled},
        {"delete before a character", "\xC3\xA9z", 0, kKeyDelete, 0, "z", 0, R::Handled},
        {"left steps over a character", "a\xE2\x82\xAC", -1, kKeyLeft, 0, "a\xE2\x82\xAC", 1, R::Handled},
        {"right at the end stays", "ab", -1, kKeyRight, 0, "ab", 2, R::Handled},
        {"home", "abc", -1, kKeyHome, 0, "abc", 0, R::Handled},
        {"end", "abc", 1, kKeyEnd, 0, "abc", 3, R::Handled},
        {"return confirms", "ab", -1, kKeyReturn, 0, "ab", 2, R::Confirm},
        {"escape abandons", "ab", -1, kKeyEscape, 0, "ab", 2, R::Abandon},
        {"tab moves on", "ab", -1, kKeyTab, 0, "ab", 2, R::Next},
        {"shift tab moves back", "ab", -1, kKeyTab, kModShift, "ab", 2, R::Previous},
        {"ctrl v asks for the clipboard", "ab", -1, 'v', kModCtrl, "ab", 2, R::Paste},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TextFieldModel m;
        m.setText(c.start);
        m.moveCaret(c.caret < 0 ? m.text().size() : std::size_t(c.caret), false);
        EXPECT_EQ(m.key(c.key, c.mods), c.result);
        EXPECT_EQ(m.text(), c.text);
        EXPECT_EQ(m.caret(), std::size_t(c.caretAfter));
    }
}

TEST(TextField, SelectionWithShiftTypingReplacesAndFocusSelectsAll) {
    TextFieldModel m;
    m.setText("hello");
    EXPECT_EQ(m.selectedText(), "hello"); // a field that gains focus selects everything
    m.key('J', 0);
    EXPECT_EQ(m.text(), "J");
    m.setText("hello world");
    m.moveCaret(5, false);
    m.key(kKeyHome, kModShift);
    EXPECT_EQ(m.selectedText(), "hello");
    EXPECT_EQ(m.key('x', kModCtrl), R::Cut);
    m.eraseSelection();
    EXPECT_EQ(m.text(), " world");
    m.key(kKeyEnd, kModShift);
    EXPECT_EQ(m.selectedText(), " world");
    m.key(kKeyBackspace, 0);
    EXPECT_EQ(m.text(), "");
}

TEST(TextField, LimitsLineBreaksNumbersAndBadBytes) {
    TextFieldModel m;
    // 1000 characters at most, cut at a character boundary even when pasted.
    std::string many;
    for (int i = 0; i < 600; ++i) many += "\xC3\xA9";
    m.setText(many);
    m.moveCaret(m.text().size(), false);
    EXPECT_TRUE(m.insert(many));
    EXPECT_EQ(m.characters(), 1000u);
    EXPECT_EQ(m.text().size(), 2000u);
    EXPECT_EQ(m.key('a', 0), R::Refused);
    // A one-line field turns line breaks into spaces; a notes field keeps one LF for CR LF.
    TextFieldModel line;
    line.setText("two\r\nlines");
    EXPECT_EQ(line.text(), "two lines");
    TextFieldModel notes;
    notes.setMultiLine(true);
    notes.setText("two\r\nlines\rthree");
    EXPECT_EQ(notes.text(), "two\nlines\nthree");
    notes.moveCaret(3, false);
    EXPECT_EQ(notes.key(kKeyReturn, kModShift), R::Handled);
    EXPECT_EQ(notes.text(), "two\n\nlines\nthree");
    TextFieldModel number; // digits only: anything else is refused whole
    number.setNumbersOnly(true);
    number.setText("");
    EXPECT_EQ(number.key('1', 0), R::Handled);
    EXPECT_EQ(number.key('a', 0), R::Refused);
    EXPECT_FALSE(number.insert("12x"));
    EXPECT_EQ(number.text(), "1");
    // Invalid UTF-8 from a clipboard becomes replacement characters, never half a one.
    TextFieldModel bad;
    bad.setText("a\xC3\x28" "b\xF0\x9F" "c\xED\xA0\x80");
    EXPECT_EQ(bad.text(), "a\xEF\xBF\xBD(b\xEF\xBF\xBD\xEF\xBF\xBD" "c\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");
    EXPECT_EQ(TextFieldModel::clean(std::string("x\0y\x7F", 4)), "xy");
}

} // namespace
} // namespace moraine::dialogs
