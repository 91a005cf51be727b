// The panel's widgets: the pane, sliders, knobs, buttons, meters, the patch and voices
// menus, and the in-panel pop-up menu and message box that stand in for system ones.
#pragma once

#include "gui/Canvas.h"
#include "gui/Images.h"

#include <functional>
#include <string>
#include <vector>

namespace moraine::gui {

// Draws a plain stand-in where an image is missing, so the control still shows and works.
void drawPlaceholder(cairo_t* cr, const PanelRect& r, bool lit);
// One line of text centred in `r` in the face named `face`.
void drawCentredText(cairo_t* cr, const PanelRect& r, const std::string& text, const char* face,
                     double size, double red, double green, double blue);

class CAUGuiPane : public CAUGuiCtrl {
public:
    CAUGuiPane(CAUGuiCanvas& canvas, PanelRect frame, const CAUGuiGraphic* background);
    void draw(cairo_t* cr) override;

private:
    const CAUGuiGraphic* background_;
};

class CAUGuiSlider : public CAUGuiCtrl {
public:
    CAUGuiSlider(CAUGuiCanvas& canvas, int parameter, PanelRect frame, Orientation orientation,
                 int resolution, const CAUGuiHandleImage* handle);
    void draw(cairo_t* cr) override;
    int mouseDown(int x, int y, bool alt, bool ctrl) override;
    int mouseDrag(int x, int y, bool alt, bool ctrl) override;
    int mouseUp(int x, int y, bool alt, bool ctrl) override;
    void drawTip(cairo_t* cr, bool nameOnly) override;
    bool tracking() const { return tracking_; }
    bool fine() const { return fine_; }
    void setInverted(bool on) { inverted_ = on; }
    void setLinks(CAUGuiSlider* partner, CAUGuiCtrl* overrideSwitch) {
        partner_ = partner;
        switch_ = overrideSwitch;
    }
    PanelRect handleRect() const;

private:
    Orientation orientation_;
    const CAUGuiHandleImage* handle_;
    bool tracking_ = false, fine_ = false, inverted_ = false;
    int pressX_ = 0, pressY_ = 0;
    CAUGuiSlider* partner_ = nullptr;
    CAUGuiCtrl* switch_ = nullptr;
};

class CAUGuiKnob : public CAUGuiCtrl {
public:
    // start and sweep are fractions of a turn.
    CAUGuiKnob(CAUGuiCanvas& canvas, int parameter, PanelRect frame, int resolution,
               const CAUGuiGraphic* strip, const CAUGuiGraphic* dial, int mode, float start,
               float sweep);
    void draw(cairo_t* cr) override;
    int mouseDown(int x, int y, bool alt, bool ctrl) override;
    int mouseDrag(int x, int y, bool alt, bool ctrl) override;
    int mouseUp(int x, int y, bool alt, bool ctrl) override;
    // The pointer mark's angle for a value fraction, and the value for a pointer position.
    double markAngle(float f) const { return f * endAngle_ - startAngle_ + 3.14159265358979323846; }
    int valueAt(int x, int y) const;

private:
    const CAUGuiGraphic* strip_;
    const CAUGuiGraphic* dial_;
    int mode_;
    double startAngle_, endAngle_;
    bool tracking_ = false, fine_ = false;
    int lastX_ = 0;
};

class CAUGuiButton : public CAUGuiCtrl {
public:
    using Callback = std::function<void(int value, CAUGuiButton& button)>;
    // Bound: resolution 1.
    CAUGuiButton(CAUGuiCanvas& canvas, int parameter, PanelRect frame,
                 const CAUGuiGraphic* image, ButtonMode mode);
    // Unbound with `steps` steps.
    struct Steps {
        int count;
    };
    CAUGuiButton(CAUGuiCanvas& canvas, Steps steps, PanelRect frame, const CAUGuiGraphic* image,
                 ButtonMode mode);
    void draw(cairo_t* cr) override;
    int mouseDown(int x, int y, bool alt, bool ctrl) override;
    int mouseUp(int x, int y, bool alt, bool ctrl) override;
    void setCallback(Callback cb) { callback_ = std::move(cb); }
    void setFixedValue(int v) { fixedValue_ = v; }
    ButtonMode mode() const { return mode_; }
    bool pressed() const { return pressed_; }
    // The alpha the image is drawn with: 255, or 70 when disabled.
    int drawAlpha() const { return enabled() ? 255 : 70; }
    // The strip frame shown now (modes 0, 3, 5: 1 when the value equals the fixed value).
    int shownFrame() const;

private:
    void fire(int value);
    const CAUGuiGraphic* image_;
    ButtonMode mode_;
    Callback callback_;
    int fixedValue_ = 0;
    bool pressed_ = false;
};

// The instrument's meter array as the meters read it: 0 left, 1 right, 2 render time,
// 3 frames of the last block (the reference), 4 MIDI activity.
struct MeterLevels {
    float value[5] = {0, 0, 0, 0, 0};
};

class CAUGuiMeter : public CAUGuiCtrl {
public:
    CAUGuiMeter(CAUGuiCanvas& canvas, int meterIndex, PanelRect frame, int resolution,
                const CAUGuiGraphic* front, const CAUGuiGraphic* back, int type,
                const MeterLevels* levels);
    void poll() override;
    void draw(cairo_t* cr) override;
    // What a level shows as, 0..1.
    static float shownFraction(int type, float level, float reference);

private:
    int index_;
    const CAUGuiGraphic* front_;
    const CAUGuiGraphic* back_;
    int type_;
    const MeterLevels* levels_;
};

// The in-panel pop-up menu: drawn over the panel, shifted to fit, scrolling when longer
// than the panel; mouse and keys; reports the chosen command id, or nothing on cancel.
class PanelPopupMenu : public CAUGuiCtrl {
public:
    struct Item {
        std::string text;
        int id;
    };
    using Choose = std::function<void(int id)>;
    // Opens under (or over) `anchor`, with `current` highlighted.
    PanelPopupMenu(CAUGuiCanvas& canvas, const PanelRect& anchor, std::vector<Item> items,
                   int current, Choose choose);
    void draw(cairo_t* cr) override;
    int mouseDown(int x, int y, bool alt, bool ctrl) override;
    int mouseDrag(int x, int y, bool alt, bool ctrl) override;
    int keyDown(int key, int modifiers) override;
    int highlighted() const { return highlight_; }
    int firstVisible() const { return top_; }
    int visibleRows() const { return rows_; }
    static constexpr int kRowHeight = 16;

private:
    void choose(int index);
    void moveTo(int index);
    int rowAt(int y) const; // item index, −1 none, −2 scroll up, −3 scroll down
    bool scrolls() const { return int(items_.size()) > rows_; }
    std::vector<Item> items_;
    Choose choose_;
    int highlight_ = 0, top_ = 0, rows_ = 0;
};

// The in-panel message box: a notice with OK, or a question with OK and Cancel. Never
// blocks: the answer arrives through the callback on a later event.
class PanelMessageBox : public CAUGuiCtrl {
public:
    using Answer = std::function<void(bool ok)>;
    PanelMessageBox(CAUGuiCanvas& canvas, std::string text, bool question, Answer answer);
    void draw(cairo_t* cr) override;
    int mouseDown(int x, int y, bool alt, bool ctrl) override;
    int keyDown(int key, int modifiers) override;
    PanelRect okButton() const;
    PanelRect cancelButton() const;
    const std::string& text() const { return text_; }
    // A box nested in a dialog closes through the dialog, not the canvas's modal layer.
    void setClose(std::function<void()> close) { close_ = std::move(close); }

private:
    void answer(bool ok);
    std::function<void()> close_;
    std::string text_;
    bool question_;
    Answer answer_;
};

// The group, category and patch lists.
class PatchMenu : public CAUGuiCtrl {
public:
    using Choose = std::function<void(MenuKind kind, int index)>;
    PatchMenu(CAUGuiCanvas& canvas, PanelRect frame, MenuKind kind, Choose choose);
    void draw(cairo_t* cr) override;
    int mouseDown(int x, int y, bool alt, bool ctrl) override;
    void setItems(std::vector<std::string> names, int current);
    MenuKind kind() const { return kind_; }
    // The text shown: the current name, or "No Patch" past the end of the list.
    std::string shownText() const;
    const std::vector<std::string>& names() const { return names_; }
    int current() const { return current_; }
    void setFrozen(bool on) { frozen_ = on; }

private:
    MenuKind kind_;
    Choose choose_;
    std::vector<std::string> names_;
    int current_ = 0;
    bool frozen_ = false;
};

class VoicesMenu : public CAUGuiCtrl {
public:
    VoicesMenu(CAUGuiCanvas& canvas, int parameter, PanelRect frame);
    void draw(cairo_t* cr) override;
    int mouseDown(int x, int y, bool alt, bool ctrl) override;
    void setFloatValue(float f) override;
    int current() const { return current_; }
    void choose(int index);

private:
    int current_ = 0;
};

// Parts of the panel that a later stage makes interactive (the patch jacks, the keyboard,
// the notes slider): they hold their place and value but draw nothing and take no clicks.
class InertControl : public CAUGuiCtrl {
public:
    using CAUGuiCtrl::CAUGuiCtrl;
};

// The notes text as the notes area shows it: lines of at most `width` characters, broken
// at white space where a line has some, and always at CR, LF and the character 3.
std::vector<std::string> breakNotes(const std::string& text, size_t width = 34);

// The patch's notes over "Notes_Box.png", six lines at a time from the first visible one;
// empty unless the patch asks for its notes to be shown.
class NotesArea : public CAUGuiCtrl {
public:
    static constexpr int kVisibleLines = 6;
    NotesArea(CAUGuiCanvas& canvas, PanelRect frame, const CAUGuiGraphic* image);
    void draw(cairo_t* cr) override;
    void setText(std::string text, bool shown = true);
    int lineCount() const { return shown_ ? int(lines_.size()) : 0; }
    int firstLine() const { return first_; }
    // Kept within the lines there are to scroll through.
    void setFirstLine(int line);
    const std::vector<std::string>& lines() const { return lines_; }
    // Where the scroll slider sits; the area draws its thumb, over its own background.
    void setSliderFrame(PanelRect frame) { slider_ = frame; }

private:
    const CAUGuiGraphic* image_;
    PanelRect slider_{};
    std::string text_;
    bool shown_ = false;
    std::vector<std::string> lines_;
    int first_ = 0;
};

// The thin slider at the notes area's right edge: top shows the first line, bottom the last
// six. The panel builds it before the area, so it finds the area through `area`.
class NotesSlider : public CAUGuiCtrl {
public:
    NotesSlider(CAUGuiCanvas& canvas, PanelRect frame, NotesArea* const* area);
    int mouseDown(int x, int y, bool alt, bool ctrl) override;
    int mouseDrag(int x, int y, bool alt, bool ctrl) override;
    int mouseUp(int, int, bool, bool) override { return kHandled; }

private:
    NotesArea* const* area_;
};

} // namespace moraine::gui
