// The in-panel popup and the widgets dialogs are made of: static labels, our own text
// field, string lists with their scroll bars, drop-down string menus, check boxes, curve
// buttons and the two-ended MIDI range control. A popup is the canvas's modal control and
// routes the mouse and keys to its children itself; a nested popup (rename, new group, a
// message box, a drop-down list) covers it and takes everything while open.
#pragma once

#include "dialogs/TextField.h"
#include "gui/Widgets.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace moraine::dialogs {

using gui::CAUGuiButton;
using gui::CAUGuiCanvas;
using gui::CAUGuiCtrl;
using gui::CAUGuiGraphic;
using gui::PanelRect;

class QIXTextEditor;

// Where copied text goes and pasted text comes from. Pasting answers later (the X
// clipboard belongs to another program), so the field takes the text when it arrives.
class TextClipboard {
public:
    virtual ~TextClipboard() = default;
    virtual void put(const std::string& text) = 0;
    virtual void request(std::function<void(const std::string&)> deliver) = 0;
};

// Within this process only; the default when no window offers the system's.
class LocalClipboard : public TextClipboard {
public:
    void put(const std::string& text) override { text_ = text; }
    void request(std::function<void(const std::string&)> deliver) override { deliver(text_); }

private:
    std::string text_;
};
TextClipboard& localClipboard();

class QIXInternalPopup : public CAUGuiCtrl {
public:
    QIXInternalPopup(CAUGuiCanvas& canvas, PanelRect frame, const CAUGuiGraphic* background);
    ~QIXInternalPopup() override;

    void draw(cairo_t* cr) override;
    int mouseDown(int x, int y, bool alt, bool ctrl) override;
    int mouseDrag(int x, int y, bool alt, bool ctrl) override;
    int mouseUp(int x, int y, bool alt, bool ctrl) override;
    int keyDown(int key, int modifiers) override;
    int textInput(const std::string& text) override;

    // Return and Escape when no field is editing; the buttons call them too.
    virtual void ok() {}
    virtual void cancel() {}

    // ---- the nested popup
    void openNested(std::unique_ptr<CAUGuiCtrl> popup);
    void closeNested(); // destroyed after the current event
    CAUGuiCtrl* nested() const { return nested_.get(); }
    // The innermost popup that takes input (this one when nothing covers it).
    CAUGuiCtrl* innermost();

    // ---- text fields
    void startEditing(QIXTextEditor* editor);
    // Ends editing in every field of this popup, keeping what was typed.
    void stopEditing();
    QIXTextEditor* editing() const { return editing_; }
    // The field after / before `from` in the order they were added.
    void focusNext(QIXTextEditor* from, bool backwards);
    void setClipboard(TextClipboard* clipboard) { clipboard_ = clipboard; }
    TextClipboard& clipboard();

    // ---- building: children at positions relative to the popup, then shifted
    template <class T> T* add(std::unique_ptr<T> child) {
        T* raw = child.get();
        addChild(std::move(child));
        return raw;
    }
    void shiftChildren(int dx, int dy);

    // Called after anything changed that should show.
    void repaint() { invalidate(); }
    int beepCount() const { return beeps_; }
    void beep();

protected:
    CAUGuiCtrl* childAt(int x, int y);
    void retire(std::unique_ptr<CAUGuiCtrl> old);

    const CAUGuiGraphic* background_;
    std::unique_ptr<CAUGuiCtrl> nested_;
    std::vector<std::unique_ptr<CAUGuiCtrl>> retired_;
    CAUGuiCtrl* captured_ = nullptr;
    QIXTextEditor* editing_ = nullptr;
    TextClipboard* clipboard_ = nullptr;
    std::unique_ptr<TextClipboard> systemClipboard_;
    bool pressed_ = false, dragging_ = false, nestedPressed_ = false;
    int lastX_ = 0, lastY_ = 0;
    int beeps_ = 0;
};

// A static text in white on the dialog's background.
class QIXTextCtrl : public CAUGuiCtrl {
public:
    QIXTextCtrl(CAUGuiCanvas& canvas, PanelRect frame, std::string text, bool centred = false);
    void draw(cairo_t* cr) override;
    void setText(std::string text);
    const std::string& text() const { return text_; }

private:
    std::string text_;
    bool centred_;
};

// Our own text field: drawn as text while idle; while editing it shows the caret and the
// selection and takes the keys its popup passes on.
class QIXTextEditor : public CAUGuiCtrl {
public:
    struct Handler {
        std::function<void(QIXTextEditor&)> confirmed; // Return
        std::function<void(QIXTextEditor&, bool backwards)> tabbed;
        std::function<void(QIXTextEditor&)> abandoned; // Escape
    };
    QIXTextEditor(CAUGuiCanvas& canvas, PanelRect frame, bool multiLine, bool numbersOnly);
    void draw(cairo_t* cr) override;
    int mouseDown(int x, int y, bool alt, bool ctrl) override;
    int mouseDrag(int x, int y, bool alt, bool ctrl) override;
    int keyDown(int key, int modifiers) override;

    // The stored text (line feeds for line breaks).
    const std::string& text() const { return text_; }
    void setText(const std::string& text);
    // Typed text from an input method (UTF-8, possibly several characters).
    void typeText(const std::string& utf8);
    void setHandler(Handler h) { handler_ = std::move(h); }
    const Handler& handler() const { return handler_; }

    bool isEditing() const { return editing_; }
    void beginEditing();
    void endEditing(); // keeps the edit control's text
    TextFieldModel& model() { return model_; }
    // Byte offset in the text under x (one-line fields: along the line).
    std::size_t offsetAt(int x, int y) const;

private:
    QIXInternalPopup* popup() const;
    TextFieldModel model_;
    std::string text_;
    Handler handler_;
    bool editing_ = false;
    int scroll_ = 0; // pixels the text is moved left so the caret shows
};

// A list of strings with a selection (one row, or several with Ctrl).
class QIXListSlider;
class QIXTextList : public CAUGuiCtrl {
public:
    using Handler = std::function<void(QIXTextList&)>;
    static constexpr int kRowHeight = 16;
    QIXTextList(CAUGuiCanvas& canvas, PanelRect frame);
    void draw(cairo_t* cr) override;
    int mouseDown(int x, int y, bool alt, bool ctrl) override;
    int keyDown(int key, int modifiers) override;

    void setItems(std::vector<std::string> items, int selected);
    const std::vector<std::string>& items() const { return items_; }
    const std::vector<int>& selection() const { return selection_; }
    int selected() const { return selection_.empty() ? -1 : selection_.front(); }
    void select(int row, bool add = false);
    void clearSelection() { selection_.clear(); }
    int firstVisible() const { return top_; }
    void setFirstVisible(int row);
    int visibleRows() const { return frame_.h / kRowHeight; }
    int maxFirstVisible() const;
    void setHandler(Handler h) { handler_ = std::move(h); }
    void setSlider(QIXListSlider* s) { slider_ = s; }
    // Rows counted from the first visible one; −1 below the last.
    int rowAt(int y) const;

private:
    std::vector<std::string> items_;
    std::vector<int> selection_;
    int top_ = 0;
    Handler handler_;
    QIXListSlider* slider_ = nullptr;
};

class QIXListSlider : public CAUGuiCtrl {
public:
    QIXListSlider(CAUGuiCanvas& canvas, PanelRect frame, QIXTextList& list);
    void draw(cairo_t* cr) override;
    int mouseDown(int x, int y, bool alt, bool ctrl) override;
    int mouseDrag(int x, int y, bool alt, bool ctrl) override;
    int mouseUp(int, int, bool, bool) override { return gui::kHandled; }
    PanelRect thumb() const;

private:
    QIXTextList& list_;
};

// The drop-down list a string menu opens, nested in its dialog.
class DropList : public CAUGuiCtrl {
public:
    using Choose = std::function<void(int index)>; // −1: closed without a choice
    DropList(CAUGuiCanvas& canvas, PanelRect anchor, const std::vector<std::string>& items,
             int current, Choose choose);
    void draw(cairo_t* cr) override;
    int mouseDown(int x, int y, bool alt, bool ctrl) override;
    int mouseDrag(int x, int y, bool alt, bool ctrl) override;
    int keyDown(int key, int modifiers) override;
    int highlighted() const { return highlight_; }
    static constexpr int kRowHeight = 16;

private:
    void finish(int index);
    std::vector<std::string> items_;
    int highlight_, top_ = 0, rows_;
    Choose choose_;
};

class QIXStringMenu : public CAUGuiCtrl {
public:
    using Handler = std::function<void(int identifier, int index)>;
    QIXStringMenu(CAUGuiCanvas& canvas, PanelRect frame, int identifier,
                  const CAUGuiGraphic* left, const CAUGuiGraphic* centre,
                  const CAUGuiGraphic* right);
    void draw(cairo_t* cr) override;
    int mouseDown(int x, int y, bool alt, bool ctrl) override;
    void setItems(std::vector<std::string> items, int current);
    const std::vector<std::string>& items() const { return items_; }
    int current() const { return current_; }
    std::string currentText() const;
    int identifier() const { return identifier_; }
    void setHandler(Handler h) { handler_ = std::move(h); }
    // What a choice in the drop-down does.
    void choose(int index);

private:
    int identifier_;
    const CAUGuiGraphic *left_, *centre_, *right_;
    std::vector<std::string> items_;
    int current_ = 0;
    Handler handler_;
};

// A two-ended range over MIDI values 0..127.
class QIXMidiRangeControl : public CAUGuiCtrl {
public:
    QIXMidiRangeControl(CAUGuiCanvas& canvas, PanelRect frame, const CAUGuiGraphic* leftCap,
                        const CAUGuiGraphic* rightCap);
    void draw(cairo_t* cr) override;
    int mouseDown(int x, int y, bool alt, bool ctrl) override;
    int mouseDrag(int x, int y, bool alt, bool ctrl) override;
    int mouseUp(int, int, bool, bool) override { return gui::kHandled; }
    int low() const { return low_; }
    int high() const { return high_; }
    void setRange(int low, int high);
    int valueAt(int x) const;
    int xOf(int value) const;

private:
    const CAUGuiGraphic *leftCap_, *rightCap_;
    int low_ = 0, high_ = 127;
    bool draggingHigh_ = false;
};

// Dialog buttons: 80 × 24 momentary buttons that act on release, check boxes, and a row of
// fixed-value buttons that behave as a radio group.
CAUGuiButton* addButton(QIXInternalPopup& popup, PanelRect frame, const CAUGuiGraphic* image,
                        std::function<void()> action);
CAUGuiButton* addCheckBox(QIXInternalPopup& popup, PanelRect frame, const CAUGuiGraphic* image,
                          bool ticked);
bool ticked(const CAUGuiCtrl* box);
void setTicked(CAUGuiCtrl* box, bool on);

class RadioGroup {
public:
    void add(CAUGuiButton* button, int value);
    int value() const { return value_; }
    void setValue(int v);

private:
    std::vector<CAUGuiButton*> buttons_;
    int value_ = 0;
};

} // namespace moraine::dialogs
