// Every image with its file name, size and frames; sizes are the ones the panel and the
// dialogs place them at, and a strip is its frames stacked vertically.
#include "tools/panel-art/Art.h"
#include "tools/panel-art/Pieces.h"

#include <cairo.h>

namespace panelart {

namespace {

ImageSpec single(std::string name, int w, int h, std::function<void(cairo_t*)> draw,
                 bool alpha = true) {
    return {std::move(name), w, h, 1, alpha, [draw](cairo_t* cr, int) { draw(cr); }};
}

ImageSpec strip(std::string name, int w, int frameHeight, int frames,
                std::function<void(cairo_t*, int)> draw) {
    return {std::move(name), w, frameHeight * frames, frames, true, std::move(draw)};
}

// Two-frame push buttons with a printed label: frame 1 at rest, frame 0 held.
ImageSpec labelButton(std::string name, int w, int h, std::string label, double size) {
    return strip(std::move(name), w, h, 2, [w, h, label, size](cairo_t* cr, int frame) {
        drawLabelButton(cr, w, h, label, frame == 0, size);
    });
}

} // namespace

std::vector<ImageSpec> catalogue() {
    std::vector<ImageSpec> all;
    // The panel.
    all.push_back(single("Stereo-Stereo-Board1.2.0.png", 1010, 623, drawBoard));
    all.push_back(
        single("horz_knob.png", 21, 24, [](cairo_t* cr) { drawHorizontalFaderCap(cr, 21, 24); }));
    all.push_back(
        single("vert_knob.png", 25, 21, [](cairo_t* cr) { drawVerticalFaderCap(cr, 25, 21); }));
    all.push_back(
        single("smallslider.png", 17, 17, [](cairo_t* cr) { drawHorizontalFaderCap(cr, 17, 17); }));
    all.push_back(single("vert_switch.png", 9, 14, drawVerticalLever));
    all.push_back(single("horz_switch.png", 14, 9, drawHorizontalLever));
    all.push_back(single("dial.png", 44, 44, drawDial));
    all.push_back(single("cableend.png", 20, 20, drawCableEnd));
    all.push_back(single("goldplug.png", 14, 14, drawGoldPlug));
    all.push_back(strip("transpose.png", 29, 38, 3, drawOctaveSelector));
    all.push_back(strip("tpos_switch.png", 9, 24, 3, drawThreeWaySwitch));
    all.push_back(strip("powerlight.png", 34, 34, 2, drawPowerLight));
    all.push_back(labelButton("ptchmgr.png", 98, 17, "PATCH MANAGER", 9));
    all.push_back(labelButton("save.png", 44, 17, "SAVE", 9));
    all.push_back(labelButton("saveas.png", 44, 17, "SAVE AS", 9));
    all.push_back(strip("midi.png", 19, 19, 2, drawMidiLight));
    all.push_back(strip("reset.png", 23, 23, 2, drawResetButton));
    all.push_back(strip("lock.png", 17, 17, 2, drawLock));
    all.push_back(single("Morainelogo.png", 197, 63, drawLogo));
    all.push_back(single("led_front.png", 328, 50, [](cairo_t* cr) { drawMeterBar(cr, true); }));
    all.push_back(single("led_back_mr.png", 328, 50, [](cairo_t* cr) { drawMeterBar(cr, false); }));
    all.push_back(strip("envbutton.png", 12, 11, 2, drawGateButton));
    all.push_back(single("Notes_Box.png", 190, 114, drawNotesBox, false));

    // Dialog backgrounds.
    const struct {
        const char* name;
        int w, h;
    } backs[] = {{"midimap.png", 450, 500},     {"saveasback.png", 450, 500},
                 {"patch.png", 670, 450},       {"midibeat.png", 500, 380},
                 {"microselect.png", 340, 210}, {"aboutBack.png", 600, 450}};
    for (const auto& b : backs) {
        const std::string name = b.name;
        const int w = b.w, h = b.h;
        all.push_back(
            single(name, w, h, [name, w, h](cairo_t* cr) { drawDialogBack(cr, w, h, name); }));
    }
    // Dialog buttons.
    const struct {
        const char* name;
        const char* label;
    } buttons[] = {{"cancel.png", "CANCEL"},
                   {"copy.png", "COPY"},
                   {"cut.png", "CUT"},
                   {"delete.png", "DELETE"},
                   {"down.png", "DOWN"},
                   {"export.png", "EXPORT"},
                   {"import.png", "IMPORT"},
                   {"newcat.png", "NEW CAT."},
                   {"newgroup.png", "NEW GROUP"},
                   {"ok.png", "OK"},
                   {"paste.png", "PASTE"},
                   {"rename.png", "RENAME"},
                   {"select.png", "SELECT"},
                   {"up.png", "UP"}};
    for (const auto& b : buttons) all.push_back(labelButton(b.name, 80, 24, b.label, 10));
    all.push_back(strip("checkbox.png", 20, 22, 2, drawCheckBox));
    const char* curves[] = {"linear.png", "log.png", "exp.png"};
    for (int c = 0; c < 3; ++c)
        all.push_back(strip(curves[c], 24, 24, 2,
                            [c](cairo_t* cr, int frame) { drawCurveButton(cr, frame, c); }));
    all.push_back(single("leftrangecap.png", 20, 20, [](cairo_t* cr) { drawRangeCap(cr, true); }));
    all.push_back(
        single("rightrangecap.png", 20, 20, [](cairo_t* cr) { drawRangeCap(cr, false); }));
    all.push_back(single("menu_left.png", 6, 20, [](cairo_t* cr) { drawMenuPiece(cr, 0, 6); }));
    all.push_back(
        single("menu_center.png", 130, 20, [](cairo_t* cr) { drawMenuPiece(cr, 1, 130); }));
    all.push_back(single("menu_right.png", 18, 20, [](cairo_t* cr) { drawMenuPiece(cr, 2, 18); }));
    all.push_back(single("gradient.png", 255, 4, drawGradient, false));
    all.push_back(single("flatlogo.png", 197, 37, drawFlatLogo));
    all.push_back(single("unlock.png", 50, 50, drawUnlockButton));
    all.push_back(single("smallslider1.png", 17, 37, drawDialogSliderCap));
    all.push_back(single("small_back1.png", 82, 37, drawDialogSliderBack));
    return all;
}

} // namespace panelart
