// The on-screen keyboard. Notes go to the instrument through the panel seam; which keys are
// lit is never decided here but copied from the instrument's note state.
#include "gui/OnScreenKeyboard.h"

#include "plugin/PanelHost.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>

namespace moraine::gui {

namespace {
bool isBlack(int cls) { return cls == 1 || cls == 3 || cls == 6 || cls == 8 || cls == 10; }
int noteClass(int n) { return ((n % 12) + 12) % 12; }
} // namespace

Moraine_Keyboard::Moraine_Keyboard(CAUGuiCanvas& canvas, PanelRect frame, const bool* noteState)
    : CAUGuiCtrl(canvas, frame), noteState_(noteState) {}

Moraine_Keyboard::~Moraine_Keyboard() {
    // A key the mouse still holds stops with the editor; keys kept by hold go on sounding,
    // as they would on an instrument whose panel was closed.
    if (!hold_ && lastNote_ >= 0) note(lastNote_, 0);
}

void Moraine_Keyboard::setRange(int highest, int lowest) {
    if (highest <= lowest) return;
    highest_ = highest;
    lowest_ = lowest;
    invalidate();
}

double Moraine_Keyboard::keyWidth() const { return double(frame_.w) / double(highest_ - lowest_); }

int Moraine_Keyboard::noteAt(int x, int y) const {
    const double kw = keyWidth();
    const double dx = double(x - frame_.x);
    int n = int(dx / kw) + lowest_;
    // Below the black keys only white keys exist: a black key's place splits between its
    // two white neighbours.
    if (y - frame_.y > kUpperHeight && isBlack(noteClass(n))) {
        int threshold = 0;
        switch (noteClass(n)) {
        case 1: threshold = 8; break;
        case 3: threshold = 4; break;
        case 6: threshold = 9; break;
        case 8: threshold = 5; break;
        default: threshold = 2; break;
        }
        const int r = int(std::fmod(dx, kw));
        n = r <= threshold ? n - 1 : n + 1;
    }
    return std::clamp(n, lowest_, highest_);
}

Moraine_Keyboard::Highlight Moraine_Keyboard::highlight(int n) const {
    if (n < lowest_ || n > highest_) return {};
    const int x = int(double(n - lowest_) * keyWidth() + double(frame_.x));
    const int top = frame_.y, mid = frame_.y + kUpperHeight,
              bottom = frame_.y + frame_.h - kHoldStrip;
    const bool last = n == highest_;
    int ul = x, ur = x + 15, ll = 0, lr = 0;
    switch (noteClass(n)) {
    case 0: ur = last ? x + 20 : x + 15; ll = x, lr = x + 20; break;
    case 2: ll = x - 4, lr = x + 18; break;
    case 4: ul = x + 2, ll = x - 6, lr = x + 15; break;
    case 5: ur = last ? x + 22 : x + 15; ll = x, lr = x + 22; break;
    case 7: ll = x - 3, lr = x + 19; break;
    case 9: ll = x - 6, lr = x + 16; break;
    case 11: ur = x + 13, ll = x - 8, lr = x + 13; break;
    default: break; // black keys have no lower part
    }
    Highlight h;
    h.upper = {ul, top, ur - ul, mid - top};
    if (lr > ll) h.lower = {ll, mid, lr - ll, bottom - mid};
    return h;
}

void Moraine_Keyboard::draw(cairo_t* cr) {
    cairo_save(cr);
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
    cairo_set_source_rgb(cr, 204 / 255.0, 51 / 255.0, 51 / 255.0);
    for (int n = std::max(0, lowest_); n <= std::min(highest_, kMirror - 1); ++n) {
        if (!mirror_[n]) continue;
        const Highlight h = highlight(n);
        for (const PanelRect& r : {h.upper, h.lower})
            if (!r.empty()) cairo_rectangle(cr, r.x, r.y, r.w, r.h);
    }
    cairo_fill(cr);
    if (hold_) {
        cairo_set_source_rgb(cr, 153 / 255.0, 153 / 255.0, 153 / 255.0);
        cairo_rectangle(cr, frame_.x, frame_.bottom() - kHoldStrip, frame_.w, kHoldStrip);
        cairo_fill(cr);
    }
    cairo_restore(cr);
}

void Moraine_Keyboard::invalidateKey(int n) {
    const Highlight h = highlight(n);
    if (!h.upper.empty()) invalidateRect(h.upper);
    if (!h.lower.empty()) invalidateRect(h.lower);
}

void Moraine_Keyboard::poll() {
    if (!noteState_) return;
    for (int n = 0; n < kMirror; ++n) {
        const int now = noteState_[n] ? 1 : 0;
        if (mirror_[n] == now) continue;
        mirror_[n] = now;
        invalidateKey(n);
    }
}

void Moraine_Keyboard::setFloatValue(float f) {
    if (!std::isfinite(f) || f < 0.0f) return;
    const int n = f <= 127.0f ? int(f) : int(f) - 128;
    if (n >= 0 && n < 128) invalidateKey(n);
}

void Moraine_Keyboard::note(int n, int velocity) {
    if (PanelHost* host = canvas_.host()) host->panelNote(n, velocity);
}

void Moraine_Keyboard::track(int x, int y, Mode mode) {
    if (mode == Mode::Press) {
        lastNote_ = -1;
        stripPress_ = false;
        if (y >= frame_.bottom() - kHoldStrip && y < frame_.bottom()) {
            hold_ = !hold_;
            if (!hold_)
                for (int n = 0; n < 128; ++n) note(n, 0);
            // The rest of this gesture belongs to the strip, not to the keys.
            stripPress_ = true;
            invalidate();
            return;
        }
    } else if (stripPress_) {
        if (mode == Mode::Release) stripPress_ = false;
        return;
    }
    const int n = noteAt(x, y);
    if (n != lastNote_) {
        if (lastNote_ >= 0) note(lastNote_, 0);
        const bool sounding = noteState_ && n >= 0 && n < 128 && noteState_[n];
        if (mode == Mode::Release || (hold_ && sounding))
            note(n, 0);
        else
            note(n, 64);
        invalidate();
        lastNote_ = n;
    }
    if (mode == Mode::Release && !hold_) {
        note(lastNote_, 0);
        invalidate();
    }
    if (mode == Mode::Release) lastNote_ = -1;
}

int Moraine_Keyboard::mouseDown(int x, int y, bool, bool) {
    track(x, y, Mode::Press);
    return kHandled;
}

int Moraine_Keyboard::mouseDrag(int x, int y, bool, bool) {
    track(x, y, Mode::Drag);
    return kHandled;
}

int Moraine_Keyboard::mouseUp(int x, int y, bool, bool) {
    track(x, y, Mode::Release);
    return kHandled;
}

} // namespace moraine::gui
