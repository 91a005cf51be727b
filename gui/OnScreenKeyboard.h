// Moraine_Keyboard: the five-octave keyboard at the bottom of the panel. Presses play notes
// through the panel seam; the keys light from the instrument's own note state, read from the
// panel snapshot on each idle tick, so notes from MIDI light up as well as the mouse's.
#pragma once

#include "gui/Canvas.h"

namespace moraine::gui {

class Moraine_Keyboard : public CAUGuiCtrl {
public:
    static constexpr int kUpperHeight = 66; // black keys reach this far down
    static constexpr int kHoldStrip = 10;   // the hold strip along the bottom edge

    // `noteState` (128 entries, non-zero: sounding) is read on every idle tick.
    Moraine_Keyboard(CAUGuiCanvas& canvas, PanelRect frame, const bool* noteState);
    // With hold off, the key still pressed stops; with hold on, held keys keep sounding.
    ~Moraine_Keyboard() override;

    void setRange(int highest, int lowest);
    int highest() const { return highest_; }
    int lowest() const { return lowest_; }
    double keyWidth() const;
    // The note under the pointer, clamped to the keyboard's span.
    int noteAt(int x, int y) const;

    // The lit area of note n: an upper and a lower part (either may be empty).
    struct Highlight {
        PanelRect upper, lower;
    };
    Highlight highlight(int n) const;

    void draw(cairo_t* cr) override;
    int mouseDown(int x, int y, bool alt, bool ctrl) override;
    int mouseDrag(int x, int y, bool alt, bool ctrl) override;
    int mouseUp(int x, int y, bool alt, bool ctrl) override;
    // Idle mirroring of the instrument's note state.
    void poll() override;
    // f ≤ 127: key f on; larger: key f − 128 off. Only redraws.
    void setFloatValue(float f) override;

    int keyState(int n) const { return n >= 0 && n < kMirror ? mirror_[n] : 0; }
    void setIndicator(int word) { indicator_ = word; }
    int indicator() const { return indicator_; }
    bool hold() const { return hold_; }
    int lastNote() const { return lastNote_; }

private:
    enum class Mode { Press, Drag, Release };
    static constexpr int kMirror = 127; // notes 0..126
    void track(int x, int y, Mode mode);
    void note(int n, int velocity);
    void invalidateKey(int n);

    const bool* noteState_;
    int highest_ = 107, lowest_ = 21;
    int lastNote_ = -1;
    int mirror_[kMirror] = {};
    int indicator_ = 0;
    bool hold_ = false;
    bool stripPress_ = false;
};

} // namespace moraine::gui
