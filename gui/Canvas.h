// The control framework: CAUGuiCtrl, the base of every panel control, with its value model
// and dirty rectangles; CAUGuiCanvas, which owns the offscreen image, the controls, focus,
// capture, tips and the modal layer, and redraws what is dirty on each idle tick.
#pragma once

#include "gui/PanelEvents.h"
#include "gui/PanelLayout.h"
#include "patch/ParameterTable.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

typedef struct _cairo cairo_t;
typedef struct _cairo_surface cairo_surface_t;

namespace moraine {
class PanelHost;
}

namespace moraine::gui {

class CAUGuiCanvas;

// Result of a mouse or key operation: 0 handled, 2 not handled.
constexpr int kHandled = 0;
constexpr int kNotHandled = 2;

// At most 1023 rectangles; later ones are dropped (the control still redraws those held).
class RectList {
public:
    static constexpr int kCapacity = 1024;
    static constexpr int kLimit = 1023;
    bool add(const PanelRect& r);
    void clear() { count_ = 0; }
    int count() const { return count_; }
    const PanelRect& operator[](int i) const { return rects_[i]; }

private:
    PanelRect rects_[kCapacity];
    int count_ = 0;
};

PanelRect intersect(const PanelRect& a, const PanelRect& b);
PanelRect unite(const PanelRect& a, const PanelRect& b);


class CAUGuiCtrl {
public:
    // Bound to `parameter` (its range and flags come from the parameter table).
    CAUGuiCtrl(CAUGuiCanvas& canvas, int parameter, PanelRect frame, int resolution);
    // Unbound.
    CAUGuiCtrl(CAUGuiCanvas& canvas, PanelRect frame);
    // Unbound with `steps` steps: the integer range becomes 0..steps.
    CAUGuiCtrl(CAUGuiCanvas& canvas, PanelRect frame, int steps);
    virtual ~CAUGuiCtrl();
    CAUGuiCtrl(const CAUGuiCtrl&) = delete;
    CAUGuiCtrl& operator=(const CAUGuiCtrl&) = delete;

    // ---- drawing and events (override in widgets)
    virtual void draw(cairo_t*) {}
    virtual int mouseDown(int, int, bool, bool) { return kNotHandled; }
    virtual int mouseDrag(int, int, bool, bool) { return kNotHandled; }
    virtual int mouseUp(int, int, bool, bool) { return kNotHandled; }
    virtual int keyDown(int key, int modifiers);
    // Typed or pasted text (UTF-8) for a text field.
    virtual int textInput(const std::string&) { return kNotHandled; }
    virtual void setFocus(bool) {}
    // Draws the tip into tipBox(); nameOnly for the hover tip.
    virtual void drawTip(cairo_t* cr, bool nameOnly);
    // Polled every idle tick (meters, the keyboard): may invalidate itself.
    virtual void poll() {}
    // The tip text: the parameter's name and value.
    virtual std::string tipText() const;

    // ---- tree
    CAUGuiCtrl* addChild(std::unique_ptr<CAUGuiCtrl> child);
    CAUGuiCtrl* parent() const { return parent_; }
    const std::vector<std::unique_ptr<CAUGuiCtrl>>& children() const { return children_; }
    CAUGuiCtrl* findByParameter(int index);
    virtual CAUGuiCtrl* hitTest(int x, int y);
    bool needsRedraw() const;

    // ---- geometry
    const PanelRect& frame() const { return frame_; }
    const PanelRect& activeRect() const { return active_; }
    const PanelRect& tipBox() const { return tipBox_; }
    void moveBy(int dx, int dy);
    void insetActive(const PanelInset& inset);
    void setActiveRect(const PanelRect& r) { active_ = r; }

    // ---- dirty state
    void invalidateRect(const PanelRect& r);
    void invalidate() { invalidateRect(frame_); }
    void invalidateWithMargin();
    void clearDirty();
    // Clears this control's own flag and list, leaving the children alone.
    void clearOwnDirty() {
        dirty_ = false;
        dirtyList_->clear();
    }
    bool dirty() const { return dirty_; }
    const RectList& dirtyList() const { return *dirtyList_; }

    // ---- value model
    int parameter() const { return parameter_; }
    bool bound() const { return bound_; }
    int resolution() const { return resolution_; }
    float floatRange() const { return floatRange_; }
    int intValue() const { return intValue_; }
    int intMaximum() const { return intMax_; }
    int intMinimum() const { return intMin_; }
    float floatValue() const { return floatValue_; }
    virtual void setFloatValue(float f); // no notification
    virtual void setIntValue(int i);     // notifies the owner
    virtual int floatToInt(float f) const;
    virtual float intToFloat(int i) const;
    // Called when the control is registered: the integer range from range × resolution.
    void applyRange();
    // Value as a fraction 0..1 of the integer range.
    float fraction() const { return intMax_ > intMin_ ? float(intValue_ - intMin_) / float(intMax_ - intMin_) : 0.0f; }

    bool enabled() const { return enabled_; }
    void setEnabled(bool on);
    bool visible() const { return visible_; }
    void setVisible(bool on);
    int userWord() const { return userWord_; }
    void setUserWord(int w) { userWord_ = w; }
    const ParameterInfo* info() const { return bound_ ? &info_ : nullptr; }
    CAUGuiCanvas& canvas() const { return canvas_; }
    std::uint32_t serial() const { return serial_; }
    void setSerial(std::uint32_t s) { serial_ = s; }

protected:
    void computeTipBox();
    // Marks `r` (already clipped to this frame) and the children under it.
    void markDirty(const PanelRect& r);

    CAUGuiCanvas& canvas_;
    CAUGuiCtrl* parent_ = nullptr;
    std::vector<std::unique_ptr<CAUGuiCtrl>> children_;
    PanelRect frame_, active_, tipBox_;
    int parameter_ = -1;
    ParameterInfo info_{};
    bool bound_ = false;
    bool enabled_ = true;
    bool visible_ = true;
    bool dirty_ = false;
    int resolution_ = 0;
    float floatRange_ = 0.0f;
    int intValue_ = 0, intMax_ = 0, intMin_ = 0;
    float floatValue_ = 0.0f;
    int userWord_ = 0;
    std::uint32_t serial_ = 0;
    std::unique_ptr<RectList> dirtyList_;
};

// What the canvas tells its owner (the editor view); a test can listen too.
class CanvasListener {
public:
    virtual ~CanvasListener() = default;
    // A control's integer value was set by the user (after the parameter was notified).
    virtual void controlChanged(CAUGuiCtrl&) {}
    // Shift-click on a bound control below parameter 79: the MIDI-map popup's business.
    virtual void midiMapRequested(int) {}
};

class CAUGuiCanvas {
public:
    // `host` may be null (tests of the framework alone): then nothing is notified.
    explicit CAUGuiCanvas(PanelHost* host);
    ~CAUGuiCanvas();
    CAUGuiCanvas(const CAUGuiCanvas&) = delete;
    CAUGuiCanvas& operator=(const CAUGuiCanvas&) = delete;

    PanelHost* host() const { return host_; }
    void setListener(CanvasListener* l) { listener_ = l; }

    // ---- controls
    CAUGuiCtrl* addTopLevel(std::unique_ptr<CAUGuiCtrl> control);
    void registerControl(CAUGuiCtrl& control);
    CAUGuiCtrl* pane() const { return topLevel_.empty() ? nullptr : topLevel_.front().get(); }
    CAUGuiCtrl* findByParameter(int index);
    CAUGuiCtrl* hitTest(int x, int y);
    // Forgets a control that is going away (capture, focus, hover).
    void forget(const CAUGuiCtrl* control);

    // ---- the modal layer (popup menus, message boxes). The canvas owns it.
    void openModal(std::unique_ptr<CAUGuiCtrl> popup);
    void closeModal(); // destroyed on the next idle, after the current event
    CAUGuiCtrl* modal() const { return modal_.get(); }

    // ---- values
    // Called by SetIntValue: tells the instrument (host automation) and the listener.
    void notifyValue(CAUGuiCtrl& control);
    bool guard() const { return guard_; }
    void setGuard(bool on) { guard_ = on; }

    // ---- events, coordinates in panel pixels
    void mouseDown(int x, int y, int modifiers);
    void mouseMove(int x, int y, bool buttonDown, int modifiers);
    void mouseUp(int x, int y, int modifiers);
    // 0 when a control used the key, 2 otherwise.
    int keyDown(int key, int modifiers);
    CAUGuiCtrl* captured() const { return captured_; }
    CAUGuiCtrl* focused() const { return focused_; }
    CAUGuiCtrl* hovered() const { return hovered_; }

    // ---- what the window offers text fields: a beep for a refused key, and the keyboard
    // focus taken while a field edits and given back after
    void setBell(std::function<void()> bell) { bell_ = std::move(bell); }
    void setTextInputHook(std::function<void(bool)> hook) { textInput_ = std::move(hook); }
    void bell() {
        if (bell_) bell_();
    }
    void setTextInput(bool on) {
        if (textInput_) textInput_(on);
    }
    // The system clipboard: `put` owns it with a text; `request` asks for its text, which
    // arrives later through textInput(). Unset, fields keep a clipboard of their own.
    void setClipboardHooks(std::function<void(const std::string&)> put,
                           std::function<void()> request) {
        clipboardPut_ = std::move(put);
        clipboardRequest_ = std::move(request);
    }
    bool hasSystemClipboard() const { return bool(clipboardPut_) && bool(clipboardRequest_); }
    void clipboardPut(const std::string& text) {
        if (clipboardPut_) clipboardPut_(text);
    }
    void clipboardRequest() {
        if (clipboardRequest_) clipboardRequest_();
    }
    // Text from the window's input method or a paste: to the modal popup only.
    int textInput(const std::string& text) {
        return modal_ ? modal_->textInput(text) : kNotHandled;
    }

    // ---- tips
    bool showTips() const { return showTips_; }
    void setShowTips(bool on) { showTips_ = on; }
    bool tipVisible() const { return tipVisible_; }
    static constexpr int kHoverTicks = 5;

    // ---- drawing
    // The idle redraw: draws what is dirty into the offscreen image and returns the damaged
    // rectangles (empty when nothing changed).
    const std::vector<PanelRect>& redraw();
    // Marks `r` dirty on everything under it (the panel and its controls).
    void invalidateUnder(const PanelRect& r);
    // Everything dirty, as after an expose.
    void invalidateAll();
    cairo_surface_t* surface() const { return surface_; }
    const std::uint32_t* pixels() const;
    int stride() const;
    // The last damage, for tests and the window.
    const std::vector<PanelRect>& damage() const { return damage_; }
    // Counts idle redraws that drew something (benchmarks and tests).
    long paintCount() const { return paintCount_; }

private:
    void drawControl(cairo_t* cr, CAUGuiCtrl& control);
    void addDamage(const PanelRect& r);

    PanelHost* host_;
    CanvasListener* listener_ = nullptr;
    cairo_surface_t* surface_ = nullptr;
    cairo_t* cr_ = nullptr;
    std::vector<std::unique_ptr<CAUGuiCtrl>> topLevel_;
    std::unique_ptr<CAUGuiCtrl> modal_;
    std::vector<std::unique_ptr<CAUGuiCtrl>> closedModals_;
    CAUGuiCtrl* captured_ = nullptr;
    CAUGuiCtrl* focused_ = nullptr;
    CAUGuiCtrl* hovered_ = nullptr;
    int editing_ = -1; // the parameter a gesture is editing (begin edit sent)
    int hoverCountdown_ = 0;
    bool tipVisible_ = false;
    bool tipDrawn_ = false;
    PanelRect tipShown_;
    bool showTips_ = true;
    bool guard_ = false;
    bool redrawing_ = false;
    int lastX_ = -1, lastY_ = -1;
    std::uint32_t serialCounter_ = 0;
    std::vector<PanelRect> damage_;
    long paintCount_ = 0;
    std::function<void()> bell_;
    std::function<void(bool)> textInput_;
    std::function<void(const std::string&)> clipboardPut_;
    std::function<void()> clipboardRequest_;
};

} // namespace moraine::gui
