// The drawing functions behind the catalogue, one family a file: the small control images,
// the panel background and the dialog art.
#pragma once

#include <string>

typedef struct _cairo cairo_t;

namespace panelart {

// Controls (Controls.cpp).
void drawVerticalFaderCap(cairo_t* cr, int width, int height);
void drawHorizontalFaderCap(cairo_t* cr, int width, int height);
void drawVerticalLever(cairo_t* cr);
void drawHorizontalLever(cairo_t* cr);
void drawDial(cairo_t* cr);
void drawCableEnd(cairo_t* cr);
void drawGoldPlug(cairo_t* cr);
void drawOctaveSelector(cairo_t* cr, int frame);
void drawThreeWaySwitch(cairo_t* cr, int frame);
void drawPowerLight(cairo_t* cr, int frame);
// Momentary buttons show frame 1 at rest and frame 0 while held.
void drawLabelButton(cairo_t* cr, int width, int height, const std::string& label, bool pressed,
                     double size = 9.0);
void drawMidiLight(cairo_t* cr, int frame);
void drawResetButton(cairo_t* cr, int frame);
void drawLock(cairo_t* cr, int frame);
void drawLogo(cairo_t* cr);
void drawMeterBar(cairo_t* cr, bool lit);
void drawGateButton(cairo_t* cr, int frame);
void drawNotesBox(cairo_t* cr);

// The panel background (Board.cpp).
void drawBoard(cairo_t* cr);

// Dialogs (Dialogs.cpp).
void drawDialogBack(cairo_t* cr, int width, int height, const std::string& name);
void drawCheckBox(cairo_t* cr, int frame);
void drawCurveButton(cairo_t* cr, int frame, int curve);
void drawRangeCap(cairo_t* cr, bool left);
void drawMenuPiece(cairo_t* cr, int part, int width);
void drawGradient(cairo_t* cr);
void drawFlatLogo(cairo_t* cr);
void drawUnlockButton(cairo_t* cr);
void drawDialogSliderCap(cairo_t* cr);
void drawDialogSliderBack(cairo_t* cr);

} // namespace panelart
