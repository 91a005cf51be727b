// The widgets' drawing and mouse behaviour.
#include "gui/Widgets.h"

#include "gui/Fonts.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace moraine::gui {

namespace {
constexpr double kPi = 3.14159265358979323846;
}

void drawPlaceholder(cairo_t* cr, const PanelRect& r, bool lit) {
    if (r.empty()) return;
    cairo_save(cr);
    cairo_rectangle(cr, r.x + 0.5, r.y + 0.5, r.w - 1, r.h - 1);
    if (lit)
        cairo_set_source_rgb(cr, 0.85, 0.55, 0.2);
    else
        cairo_set_source_rgb(cr, 0.62, 0.62, 0.66);
    cairo_fill_preserve(cr);
    cairo_set_source_rgb(cr, 0.15, 0.15, 0.16);
    cairo_set_line_width(cr, 1.0);
    cairo_stroke(cr);
    cairo_restore(cr);
}

void drawCentredText(cairo_t* cr, const PanelRect& r, const std::string& text, const char* face,
                     double size, double red, double green, double blue) {
    if (r.empty() || text.empty()) return;
    cairo_save(cr);
    if (selectFont(cr, face, size)) {
        cairo_text_extents_t ext;
        cairo_text_extents(cr, text.c_str(), &ext);
        cairo_font_extents_t fe;
        cairo_font_extents(cr, &fe);
        // Centred; a text wider than its field starts at the left, so its beginning shows.
        const double x = ext.x_advance > r.w ? r.x + 1.0 : r.x + (r.w - ext.x_advance) / 2.0;
        const double y = r.y + (r.h + fe.ascent - fe.descent) / 2.0;
        cairo_rectangle(cr, r.x, r.y, r.w, r.h);
        cairo_clip(cr);
        cairo_set_source_rgb(cr, red, green, blue);
        cairo_move_to(cr, std::floor(x), std::floor(y));
        cairo_show_text(cr, text.c_str());
    }
    cairo_restore(cr);
}

// ---------------------------------------------------------------- pane

CAUGuiPane::CAUGuiPane(CAUGuiCanvas& canvas, PanelRect frame, const CAUGuiGraphic* background)
    : CAUGuiCtrl(canvas, frame), background_(background) {}

void CAUGuiPane::draw(cairo_t* cr) {
    if (background_ && background_->hasBitmap()) {
        // A 1:1 copy; the canvas has clipped to the dirty rectangles.
        background_->copyFrom(cr, frame_, 0, 0);
        return;
    }
    cairo_save(cr);
    cairo_set_source_rgb(cr, 0.16, 0.17, 0.18);
    cairo_rectangle(cr, frame_.x, frame_.y, frame_.w, frame_.h);
    cairo_fill(cr);
    cairo_restore(cr);
}

// ---------------------------------------------------------------- slider

CAUGuiSlider::CAUGuiSlider(CAUGuiCanvas& canvas, int parameter, PanelRect frame,
                           Orientation orientation, int resolution,
                           const CAUGuiHandleImage* handle)
    : CAUGuiCtrl(canvas, parameter, frame, resolution), orientation_(orientation),
      handle_(handle) {}

PanelRect CAUGuiSlider::handleRect() const {
    const float v = inverted_ ? 1.0f - fraction() : fraction();
    if (handle_ && handle_->hasBitmap()) return handle_->handleRect(active_, v);
    // Without the image, a stand-in of the size the art is made at.
    const PanelImage* known = handle_ ? findPanelImage(handle_->name().c_str()) : nullptr;
    const int w = known ? known->width : 21, h = known ? known->height : 21;
    return CAUGuiHandleImage::handleRect(w, h, 0, 0, orientation_, active_, v);
}

void CAUGuiSlider::draw(cairo_t* cr) {
    const float v = inverted_ ? 1.0f - fraction() : fraction();
    if (handle_ && handle_->hasBitmap())
        handle_->draw(cr, active_, v);
    else
        drawPlaceholder(cr, handleRect(), false);
}

int CAUGuiSlider::mouseDown(int x, int y, bool alt, bool ctrl) {
    if (alt) {
        setIntValue(floatToInt(info_.defaultValue));
        invalidate();
        return kHandled;
    }
    pressX_ = x;
    pressY_ = y;
    fine_ = ctrl;
    tracking_ = true;
    return mouseDrag(x, y, alt, ctrl);
}

int CAUGuiSlider::mouseDrag(int x, int y, bool, bool) {
    if (!tracking_) {
        canvas_.invalidateUnder(tipBox_);
        return kHandled;
    }
    const PanelRect& t = active_;
    int value;
    if (fine_) {
        value = inverted_ ? intMax_ - intValue_ : intValue_;
        const int distance = orientation_ == Orientation::Horizontal ? x - pressX_ : pressY_ - y;
        if (distance >= 2 || distance < -1) {
            const int steps = distance / 2;
            value += steps;
            if (orientation_ == Orientation::Horizontal)
                pressX_ += 2 * steps;
            else
                pressY_ -= 2 * steps;
        }
    } else if (orientation_ == Orientation::Horizontal) {
        if (x <= t.x)
            value = 0;
        else if (x >= t.right())
            value = intMax_;
        else
            value = int(float(x - t.x) / float(t.w) * float(intMax_));
    } else {
        if (y <= t.y)
            value = intMax_;
        else if (y >= t.bottom())
            value = 0;
        else
            value = int((1.0f - float(y - t.y) / float(t.h)) * float(intMax_));
    }
    value = std::clamp(value, 0, intMax_);
    if (inverted_) value = intMax_ - value;
    const PanelRect old = handleRect();
    if (value != intValue_) setIntValue(value);
    invalidateRect(old);
    invalidateRect(handleRect());
    canvas_.invalidateUnder(tipBox_);
    return kHandled;
}

int CAUGuiSlider::mouseUp(int x, int y, bool alt, bool ctrl) {
    if (tracking_) mouseDrag(x, y, alt, ctrl);
    tracking_ = false;
    fine_ = false;
    invalidate();
    return kHandled;
}

void CAUGuiSlider::drawTip(cairo_t* cr, bool nameOnly) {
    if (!tracking_ && !nameOnly) return;
    CAUGuiCtrl::drawTip(cr, nameOnly);
}

// ---------------------------------------------------------------- knob

CAUGuiKnob::CAUGuiKnob(CAUGuiCanvas& canvas, int parameter, PanelRect frame, int resolution,
                       const CAUGuiGraphic* strip, const CAUGuiGraphic* dial, int mode,
                       float start, float sweep)
    : CAUGuiCtrl(canvas, parameter, frame, resolution), strip_(strip), dial_(dial), mode_(mode) {
    startAngle_ = start * -2.0 * kPi;
    endAngle_ = sweep * 2.0 * kPi + startAngle_;
}

void CAUGuiKnob::draw(cairo_t* cr) {
    const float f = fraction();
    if (dial_) {
        if (dial_->hasBitmap())
            dial_->drawScaled(cr, frame_);
        else
            drawPlaceholder(cr, {frame_.x + 4, frame_.y + 4, frame_.w - 8, frame_.h - 8}, false);
    }
    if (strip_) {
        if (strip_->hasBitmap())
            strip_->draw(cr, active_, f);
        else {
            drawPlaceholder(cr, active_, false);
            const int n = std::max(1, strip_->frames());
            const int frame = CAUGuiGraphic::frameFor(n, f);
            const int h = active_.h / n;
            drawPlaceholder(cr, {active_.x, active_.y + (n - 1 - frame) * h, active_.w, h}, true);
        }
        return;
    }
    if (mode_ == 1) {
        const double halfW = frame_.w / 2, halfH = frame_.h / 2;
        const double cx = frame_.x + halfW + 3 - 3, cy = frame_.y + halfH + 3 - 3;
        // The mark sits at the dial's centre; the dial is the frame less its inset.
        const double r1 = halfH - 2, r2 = halfH - 5;
        const double a = markAngle(f);
        cairo_save(cr);
        cairo_set_source_rgb(cr, 200 / 255.0, 200 / 255.0, 200 / 255.0);
        cairo_set_line_width(cr, 3.0);
        cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
        cairo_move_to(cr, cx - std::sin(a) * r2, cy + std::cos(a) * r2);
        cairo_line_to(cr, cx - std::sin(a) * r1, cy + std::cos(a) * r1);
        cairo_stroke(cr);
        cairo_restore(cr);
    }
}

int CAUGuiKnob::valueAt(int x, int y) const {
    if (resolution_ <= 3) {
        const PanelRect& t = active_;
        if (y < t.y) return intMax_;
        if (y >= t.bottom()) return 0;
        return int((1.0f - float(y - t.y) / float(t.h)) * float(intMax_));
    }
    const double dx = x - (frame_.x + frame_.w / 2.0);
    const double dy = y - (frame_.y + frame_.h / 2.0);
    double angle;
    if (dy < 0) {
        angle = -std::atan(dx / dy);
    } else if (dy > 0) {
        const double t = std::atan(dx / dy);
        angle = (t < 0 ? -kPi : kPi) - t;
    } else {
        angle = dx < 0 ? -kPi / 2 : kPi / 2;
    }
    const double fraction = (angle + 3 * kPi / 4) / (3 * kPi / 2);
    return int(resolution_ * fraction * floatRange_);
}

int CAUGuiKnob::mouseDown(int x, int y, bool alt, bool ctrl) {
    if (alt) {
        setIntValue(floatToInt(info_.defaultValue));
        invalidate();
        return kHandled;
    }
    fine_ = ctrl;
    lastX_ = x;
    tracking_ = true;
    return mouseDrag(x, y, false, ctrl);
}

int CAUGuiKnob::mouseDrag(int x, int y, bool, bool) {
    if (!tracking_) return kHandled;
    int value;
    if (resolution_ > 3 && fine_) {
        value = intValue_ + (x - lastX_);
        lastX_ = x;
    } else {
        value = valueAt(x, y);
    }
    value = std::clamp(value, 0, intMax_);
    if (value != intValue_) setIntValue(value);
    invalidate();
    canvas_.invalidateUnder(tipBox_);
    return kHandled;
}

int CAUGuiKnob::mouseUp(int x, int y, bool alt, bool ctrl) {
    if (tracking_) mouseDrag(x, y, alt, ctrl);
    tracking_ = false;
    fine_ = false;
    return kHandled;
}

// ---------------------------------------------------------------- button

CAUGuiButton::CAUGuiButton(CAUGuiCanvas& canvas, int parameter, PanelRect frame,
                           const CAUGuiGraphic* image, ButtonMode mode)
    : CAUGuiCtrl(canvas, parameter, frame, 1), image_(image), mode_(mode) {}

CAUGuiButton::CAUGuiButton(CAUGuiCanvas& canvas, Steps steps, PanelRect frame,
                           const CAUGuiGraphic* image, ButtonMode mode)
    : CAUGuiCtrl(canvas, frame, steps.count), image_(image), mode_(mode) {}

int CAUGuiButton::shownFrame() const {
    if (mode_ == ButtonMode::Toggle) return intValue_ != 0 ? 1 : 0;
    return intValue_ == fixedValue_ ? 1 : 0;
}

void CAUGuiButton::draw(cairo_t* cr) {
    if (mode_ == ButtonMode::StepUp || mode_ == ButtonMode::StepDown) return;
    const bool intoActive = mode_ == ButtonMode::Toggle;
    const PanelRect& r = intoActive ? active_ : frame_;
    const int frame = shownFrame();
    if (image_ && image_->hasBitmap()) {
        // Strips show the frame; a handle image (the switches) sits at one end.
        image_->draw(cr, r, image_->frames() > 1 ? float(frame) / float(image_->frames() - 1)
                                                 : float(frame),
                     drawAlpha());
        return;
    }
    if (!image_) return;
    const PanelImage* known = findPanelImage(image_->name().c_str());
    if (known && known->kind == ImageKind::Handle) {
        const PanelRect h = CAUGuiHandleImage::handleRect(known->width, known->height, 0, 0,
                                                          known->orientation, r, float(frame));
        drawPlaceholder(cr, h, false);
    } else {
        drawPlaceholder(cr, r, frame == 1);
    }
}

void CAUGuiButton::fire(int value) {
    if (callback_) callback_(value, *this);
}

int CAUGuiButton::mouseDown(int, int, bool, bool) {
    if (!enabled()) return kHandled;
    pressed_ = true;
    switch (mode_) {
    case ButtonMode::Momentary:
        setIntValue(intMax_);
        invalidate();
        break;
    case ButtonMode::StepUp:
        setIntValue(intValue_ >= intMax_ ? 0 : intValue_ + 1);
        fire(intValue_);
        break;
    case ButtonMode::StepDown:
        setIntValue(intValue_ <= 0 ? intMax_ : intValue_ - 1);
        fire(intValue_);
        break;
    case ButtonMode::FixedValue:
        setIntValue(fixedValue_);
        fire(intValue_);
        break;
    case ButtonMode::Toggle:
        setIntValue(intValue_ != 0 ? 0 : intMax_);
        invalidate();
        fire(intValue_);
        break;
    case ButtonMode::Gate:
        setIntValue(intMax_);
        invalidate();
        fire(intMax_);
        break;
    }
    return kHandled;
}

int CAUGuiButton::mouseUp(int, int, bool, bool) {
    if (!enabled()) return kHandled;
    pressed_ = false;
    switch (mode_) {
    case ButtonMode::Momentary:
        setIntValue(0);
        invalidate();
        fire(0);
        break;
    case ButtonMode::FixedValue:
        setIntValue(fixedValue_);
        break;
    case ButtonMode::Gate:
        setIntValue(0);
        invalidate();
        fire(0);
        break;
    default:
        invalidate();
        break;
    }
    return kHandled;
}

// ---------------------------------------------------------------- meter

CAUGuiMeter::CAUGuiMeter(CAUGuiCanvas& canvas, int meterIndex, PanelRect frame, int resolution,
                         const CAUGuiGraphic* front, const CAUGuiGraphic* back, int type,
                         const MeterLevels* levels)
    : CAUGuiCtrl(canvas, frame, resolution), index_(meterIndex), front_(front), back_(back),
      type_(type), levels_(levels) {}

float CAUGuiMeter::shownFraction(int type, float level, float reference) {
    float v;
    if (type == 1)
        v = std::sqrt(level / reference) * 2.5f;
    else if (type == 2)
        v = level / reference * 0.01f;
    else
        v = level;
    if (std::isnan(v)) return 0.0f;
    return std::clamp(v, 0.0f, 1.0f);
}

void CAUGuiMeter::poll() {
    if (!levels_ || index_ < 0 || index_ > 4) return;
    const float v = shownFraction(type_, levels_->value[index_], levels_->value[3]);
    const int i = int(float(intMax_) * v);
    if (i != intValue_) {
        intValue_ = i;
        invalidate();
    }
}

void CAUGuiMeter::draw(cairo_t* cr) {
    const float f = fraction();
    if (back_ && back_->hasBitmap()) back_->drawScaled(cr, frame_);
    if (front_ && front_->hasBitmap()) {
        front_->draw(cr, active_, f);
        return;
    }
    // Stand-in: a bar lit to the value.
    if (type_ == 3) {
        drawPlaceholder(cr, frame_, f >= 1.0f);
        return;
    }
    cairo_save(cr);
    cairo_set_source_rgb(cr, 0.08, 0.1, 0.08);
    cairo_rectangle(cr, frame_.x, frame_.y, frame_.w, frame_.h);
    cairo_fill(cr);
    cairo_set_source_rgb(cr, 0.3, 0.9, 0.3);
    cairo_rectangle(cr, active_.x, active_.y, int(active_.w * f), active_.h);
    cairo_fill(cr);
    cairo_restore(cr);
}

// ---------------------------------------------------------------- pop-up menu

namespace {
PanelRect menuFrame(const PanelRect& anchor, std::size_t count, int textWidth, int& rows) {
    const int h = PanelPopupMenu::kRowHeight;
    const int maxRows = (kPanelHeight - 4) / h;
    rows = int(std::min<std::size_t>(count, std::size_t(maxRows)));
    PanelRect f{anchor.x, anchor.bottom(), std::max(anchor.w, textWidth + 24), rows * h + 4};
    f.w = std::min(f.w, kPanelWidth);
    // Shifted to fit: below the control when there is room, else above it, else from the
    // panel's top.
    if (f.bottom() > kPanelHeight) f.y = anchor.y - f.h;
    if (f.y < 0) f.y = kPanelHeight - f.h;
    if (f.right() > kPanelWidth) f.x = kPanelWidth - f.w;
    f.x = std::max(0, f.x);
    f.y = std::max(0, f.y);
    return f;
}

int measureWidest(const std::vector<PanelPopupMenu::Item>& items) {
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 1, 1);
    cairo_t* cr = cairo_create(s);
    double widest = 0;
    if (selectFont(cr, "Helvetica", 12.0)) {
        for (const auto& i : items) {
            cairo_text_extents_t e;
            cairo_text_extents(cr, i.text.c_str(), &e);
            widest = std::max(widest, e.x_advance);
        }
    }
    cairo_destroy(cr);
    cairo_surface_destroy(s);
    return int(std::ceil(widest));
}
} // namespace

PanelPopupMenu::PanelPopupMenu(CAUGuiCanvas& canvas, const PanelRect& anchor,
                               std::vector<Item> items, int current, Choose choose)
    : CAUGuiCtrl(canvas, PanelRect{}), items_(std::move(items)), choose_(std::move(choose)) {
    frame_ = menuFrame(anchor, items_.size(), measureWidest(items_), rows_);
    active_ = frame_;
    highlight_ = items_.empty() ? -1 : std::clamp(current, 0, int(items_.size()) - 1);
    moveTo(highlight_);
}

int PanelPopupMenu::rowAt(int y) const {
    const int row = (y - frame_.y - 2) / kRowHeight;
    if (y < frame_.y + 2 || row >= rows_) return -1;
    if (scrolls()) {
        // The first and last rows become arrows while there is more in that direction.
        if (row == 0 && top_ > 0) return -2;
        if (row == rows_ - 1 && top_ + rows_ < int(items_.size())) return -3;
    }
    const int index = top_ + row;
    return index < int(items_.size()) ? index : -1;
}

void PanelPopupMenu::moveTo(int index) {
    if (items_.empty()) return;
    highlight_ = std::clamp(index, 0, int(items_.size()) - 1);
    // Keep the highlighted row clear of the arrow rows.
    const int n = int(items_.size());
    if (!scrolls()) {
        top_ = 0;
    } else {
        if (highlight_ < top_ + 1) top_ = std::max(0, highlight_ - 1);
        if (highlight_ > top_ + rows_ - 2) top_ = std::min(n - rows_, highlight_ - rows_ + 2);
        if (highlight_ == 0) top_ = 0;
        if (highlight_ == n - 1) top_ = n - rows_;
    }
    invalidate();
}

void PanelPopupMenu::draw(cairo_t* cr) {
    cairo_save(cr);
    cairo_rectangle(cr, frame_.x, frame_.y, frame_.w, frame_.h);
    cairo_set_source_rgb(cr, 0.13, 0.14, 0.15);
    cairo_fill_preserve(cr);
    cairo_set_source_rgb(cr, 0.5, 0.52, 0.55);
    cairo_set_line_width(cr, 1.0);
    cairo_stroke(cr);
    for (int row = 0; row < rows_; ++row) {
        const PanelRect r{frame_.x + 2, frame_.y + 2 + row * kRowHeight, frame_.w - 4, kRowHeight};
        const int index = top_ + row;
        const bool up = scrolls() && row == 0 && top_ > 0;
        const bool down = scrolls() && row == rows_ - 1 && top_ + rows_ < int(items_.size());
        if (up || down) {
            drawCentredText(cr, r, up ? "\u25B2" : "\u25BC", "Helvetica", 10.0, 0.8, 0.8, 0.8);
            continue;
        }
        if (index >= int(items_.size())) break;
        if (index == highlight_) {
            cairo_rectangle(cr, r.x, r.y, r.w, r.h);
            cairo_set_source_rgb(cr, 0.25, 0.45, 0.25);
            cairo_fill(cr);
        }
        if (selectFont(cr, "Helvetica", 12.0)) {
            cairo_set_source_rgb(cr, 0.92, 0.92, 0.92);
            cairo_move_to(cr, r.x + 8, r.y + 12);
            cairo_show_text(cr, items_[index].text.c_str());
        }
    }
    cairo_restore(cr);
}

void PanelPopupMenu::choose(int index) {
    Choose choose = std::move(choose_);
    const int id = index >= 0 && index < int(items_.size()) ? items_[index].id : -1;
    canvas_.closeModal();
    if (id >= 0 && choose) choose(id);
}

int PanelPopupMenu::mouseDown(int x, int y, bool, bool) {
    if (!frame_.contains(x, y)) {
        canvas_.closeModal(); // a click outside cancels
        return kHandled;
    }
    const int row = rowAt(y);
    if (row == -2)
        moveTo(std::max(0, top_ - (rows_ - 2)));
    else if (row == -3)
        moveTo(std::min(int(items_.size()) - 1, top_ + 2 * rows_ - 3));
    else if (row >= 0)
        choose(row);
    return kHandled;
}

int PanelPopupMenu::mouseDrag(int x, int y, bool, bool) {
    if (!frame_.contains(x, y)) return kHandled;
    const int row = rowAt(y);
    if (row >= 0 && row != highlight_) {
        highlight_ = row;
        invalidate();
    }
    return kHandled;
}

int PanelPopupMenu::keyDown(int key, int) {
    const int n = int(items_.size());
    switch (key) {
    case kKeyUp: moveTo(highlight_ - 1); break;
    case kKeyDown: moveTo(highlight_ + 1); break;
    case kKeyPageUp: moveTo(highlight_ - (rows_ - 2)); break;
    case kKeyPageDown: moveTo(highlight_ + (rows_ - 2)); break;
    case kKeyHome: moveTo(0); break;
    case kKeyEnd: moveTo(n - 1); break;
    case kKeyReturn: choose(highlight_); break;
    case kKeyEscape: canvas_.closeModal(); break;
    default: return kNotHandled;
    }
    return kHandled;
}

// ---------------------------------------------------------------- message box

namespace {
constexpr int kBoxWidth = 380;
constexpr int kButtonWidth = 80, kButtonHeight = 24;

std::vector<std::string> wrapLines(cairo_t* cr, const std::string& text, double width) {
    std::vector<std::string> lines;
    std::string line, word;
    auto fits = [&](const std::string& s) {
        cairo_text_extents_t e;
        cairo_text_extents(cr, s.c_str(), &e);
        return e.x_advance <= width;
    };
    auto flushWord = [&] {
        if (word.empty()) return;
        const std::string candidate = line.empty() ? word : line + " " + word;
        if (fits(candidate) || line.empty()) {
            line = candidate;
        } else {
            lines.push_back(line);
            line = word;
        }
        word.clear();
    };
    for (char c : text) {
        if (c == '\n') {
            flushWord();
            lines.push_back(line);
            line.clear();
        } else if (c == ' ') {
            flushWord();
        } else {
            word += c;
        }
    }
    flushWord();
    if (!line.empty()) lines.push_back(line);
    while (!lines.empty() && lines.back().empty()) lines.pop_back();
    return lines;
}
} // namespace

PanelMessageBox::PanelMessageBox(CAUGuiCanvas& canvas, std::string text, bool question,
                                 Answer answer)
    : CAUGuiCtrl(canvas, PanelRect{}), text_(std::move(text)), question_(question),
      answer_(std::move(answer)) {
    const int h = 150;
    frame_ = {(kPanelWidth - kBoxWidth) / 2, (kPanelHeight - h) / 2, kBoxWidth, h};
    active_ = frame_;
}

PanelRect PanelMessageBox::okButton() const {
    const int y = frame_.bottom() - kButtonHeight - 12;
    if (!question_) return {frame_.x + (frame_.w - kButtonWidth) / 2, y, kButtonWidth, kButtonHeight};
    return {frame_.x + frame_.w / 2 - kButtonWidth - 10, y, kButtonWidth, kButtonHeight};
}

PanelRect PanelMessageBox::cancelButton() const {
    if (!question_) return {};
    return {frame_.x + frame_.w / 2 + 10, frame_.bottom() - kButtonHeight - 12, kButtonWidth,
            kButtonHeight};
}

void PanelMessageBox::draw(cairo_t* cr) {
    cairo_save(cr);
    cairo_rectangle(cr, frame_.x, frame_.y, frame_.w, frame_.h);
    cairo_set_source_rgb(cr, 0.16, 0.17, 0.19);
    cairo_fill_preserve(cr);
    cairo_set_source_rgb(cr, 0.6, 0.62, 0.65);
    cairo_set_line_width(cr, 2.0);
    cairo_stroke(cr);
    if (selectFont(cr, "Helvetica", 13.0)) {
        cairo_set_source_rgb(cr, 0.95, 0.95, 0.95);
        const auto lines = wrapLines(cr, text_, frame_.w - 32);
        int y = frame_.y + 28;
        for (const std::string& l : lines) {
            if (y > frame_.bottom() - kButtonHeight - 20) break;
            cairo_move_to(cr, frame_.x + 16, y);
            cairo_show_text(cr, l.c_str());
            y += 17;
        }
    }
    for (const PanelRect& b : {okButton(), cancelButton()}) {
        if (b.empty()) continue;
        cairo_rectangle(cr, b.x + 0.5, b.y + 0.5, b.w - 1, b.h - 1);
        cairo_set_source_rgb(cr, 0.28, 0.3, 0.33);
        cairo_fill_preserve(cr);
        cairo_set_source_rgb(cr, 0.7, 0.72, 0.75);
        cairo_set_line_width(cr, 1.0);
        cairo_stroke(cr);
        drawCentredText(cr, b, b == okButton() ? "OK" : "Cancel", "Helvetica", 12.0, 1, 1, 1);
    }
    cairo_restore(cr);
}

void PanelMessageBox::answer(bool ok) {
    Answer a = std::move(answer_);
    if (close_) close_();
    else canvas_.closeModal();
    if (a) a(ok);
}

int PanelMessageBox::mouseDown(int x, int y, bool, bool) {
    if (okButton().contains(x, y))
        answer(true);
    else if (cancelButton().contains(x, y))
        answer(false);
    return kHandled;
}

int PanelMessageBox::keyDown(int key, int) {
    if (key == kKeyReturn || key == ' ')
        answer(true);
    else if (key == kKeyEscape)
        answer(!question_);
    else
        return kNotHandled;
    return kHandled;
}

// ---------------------------------------------------------------- patch and voices menus

PatchMenu::PatchMenu(CAUGuiCanvas& canvas, PanelRect frame, MenuKind kind, Choose choose)
    : CAUGuiCtrl(canvas, frame), kind_(kind), choose_(std::move(choose)) {}

void PatchMenu::setItems(std::vector<std::string> names, int current) {
    if (frozen_) return;
    if (names == names_ && current == current_) return;
    names_ = std::move(names);
    current_ = current;
    invalidate();
}

std::string PatchMenu::shownText() const {
    if (current_ < 0 || current_ >= int(names_.size())) return "No Patch";
    return names_[current_].substr(0, 50);
}

void PatchMenu::draw(cairo_t* cr) {
    drawCentredText(cr, active_, shownText(), "Helvetica", frame_.h, 102 / 255.0, 1.0,
                    102 / 255.0);
}

int PatchMenu::mouseDown(int, int, bool, bool) {
    std::vector<PanelPopupMenu::Item> items;
    for (std::size_t i = 0; i < names_.size(); ++i)
        items.push_back({names_[i].substr(0, 50), int(i) + 1});
    if (items.empty()) return kHandled;
    const MenuKind kind = kind_;
    Choose choose = choose_;
    PatchMenu* self = this;
    canvas_.openModal(std::make_unique<PanelPopupMenu>(
        canvas_, frame_, std::move(items), current_, [self, kind, choose](int id) {
            self->current_ = id - 1;
            self->invalidate();
            if (choose) choose(kind, id - 1);
        }));
    return kHandled;
}

VoicesMenu::VoicesMenu(CAUGuiCanvas& canvas, int parameter, PanelRect frame)
    : CAUGuiCtrl(canvas, parameter, frame, 1) {}

void VoicesMenu::draw(cairo_t* cr) {
    char text[16];
    std::snprintf(text, sizeof text, "%d", current_ + 1);
    drawCentredText(cr, active_, text, "Helvetica", frame_.h, 102 / 255.0, 1.0, 102 / 255.0);
}

void VoicesMenu::choose(int index) {
    current_ = std::clamp(index, 0, 7);
    setIntValue(current_);
    floatValue_ = float(current_);
    invalidate();
}

int VoicesMenu::mouseDown(int, int, bool, bool) {
    std::vector<PanelPopupMenu::Item> items;
    for (int i = 0; i < 8; ++i) {
        char text[16];
        std::snprintf(text, sizeof text, "%d", i + 1);
        items.push_back({text, i});
    }
    VoicesMenu* self = this;
    canvas_.openModal(std::make_unique<PanelPopupMenu>(canvas_, frame_, std::move(items), current_,
                                                       [self](int id) { self->choose(id); }));
    return kHandled;
}

void VoicesMenu::setFloatValue(float f) {
    CAUGuiCtrl::setFloatValue(f);
    current_ = std::clamp(int(f), 0, 7);
    invalidate();
}

// ---------------------------------------------------------------- notes

std::vector<std::string> breakNotes(const std::string& text, size_t width) {
    std::vector<std::string> lines;
    std::string line;
    size_t count = 0;        // characters in `line`, not bytes
    size_t lastSpace = std::string::npos;
    auto isContinuation = [](char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; };
    auto characters = [&](const std::string& s) {
        return size_t(std::count_if(s.begin(), s.end(), [&](char c) { return !isContinuation(c); }));
    };
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' || c == '\n' || c == '\3') {
            // CR LF is one break.
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            lines.push_back(line);
            line.clear();
            count = 0;
            lastSpace = std::string::npos;
            continue;
        }
        if (!isContinuation(c) && count == width) {
            if (lastSpace != std::string::npos) {
                // The word that does not fit moves to the next line; the blank goes.
                lines.push_back(line.substr(0, lastSpace));
                line.erase(0, lastSpace + 1);
            } else {
                lines.push_back(line);
                line.clear();
            }
            count = characters(line);
            lastSpace = line.find_last_of(" \t");
        }
        if (c == ' ' || c == '\t') lastSpace = line.size();
        line.push_back(c);
        if (!isContinuation(c)) ++count;
    }
    if (!line.empty()) lines.push_back(line);
    return lines;
}

NotesArea::NotesArea(CAUGuiCanvas& canvas, PanelRect frame, const CAUGuiGraphic* image)
    : CAUGuiCtrl(canvas, frame), image_(image) {}

void NotesArea::setText(std::string text, bool shown) {
    if (text == text_ && shown == shown_) return;
    text_ = std::move(text);
    shown_ = shown;
    lines_ = breakNotes(text_);
    first_ = 0;
    invalidate();
}

void NotesArea::setFirstLine(int line) {
    const int last = std::max(0, lineCount() - kVisibleLines);
    line = std::clamp(line, 0, last);
    if (line == first_) return;
    first_ = line;
    invalidate();
}

void NotesArea::draw(cairo_t* cr) {
    if (image_ && image_->hasBitmap()) image_->drawScaled(cr, frame_);
    if (!shown_ || lines_.empty()) return;
    cairo_save(cr);
    cairo_rectangle(cr, active_.x, active_.y, active_.w, active_.h);
    cairo_clip(cr);
    if (selectFont(cr, "Arial", 10.0)) {
        cairo_set_source_rgb(cr, 0.85, 0.9, 0.85);
        // Six lines 14 px apart, centred in the area's height, 15 px in from either side; a
        // line of 34 wide letters is narrowed rather than cut.
        const double top = active_.y + (active_.h - kVisibleLines * 14.0) / 2.0;
        const double room = active_.w - 30.0;
        for (int i = 0; i < kVisibleLines && first_ + i < int(lines_.size()); ++i) {
            const std::string& line = lines_[size_t(first_ + i)];
            cairo_text_extents_t extents;
            cairo_text_extents(cr, line.c_str(), &extents);
            cairo_save(cr);
            cairo_translate(cr, active_.x + 15, top + 14.0 * i + 10.0);
            if (extents.x_advance > room) cairo_scale(cr, room / extents.x_advance, 1.0);
            cairo_move_to(cr, 0, 0);
            cairo_show_text(cr, line.c_str());
            cairo_restore(cr);
        }
    }
    cairo_restore(cr);
    // The slider's thumb, only when there is more than fits.
    const int hidden = int(lines_.size()) - kVisibleLines;
    if (hidden <= 0 || slider_.h <= 0) return;
    const double thumb = std::max(12.0, slider_.h * kVisibleLines / double(lines_.size()));
    const double y = slider_.y + (slider_.h - thumb) * first_ / double(hidden);
    cairo_save(cr);
    cairo_set_source_rgb(cr, 0.55, 0.6, 0.55);
    cairo_rectangle(cr, slider_.x + 2, y, slider_.w - 4, thumb);
    cairo_fill(cr);
    cairo_restore(cr);
}

NotesSlider::NotesSlider(CAUGuiCanvas& canvas, PanelRect frame, NotesArea* const* area)
    : CAUGuiCtrl(canvas, frame), area_(area) {}

int NotesSlider::mouseDown(int x, int y, bool alt, bool ctrl) {
    return mouseDrag(x, y, alt, ctrl);
}

int NotesSlider::mouseDrag(int, int y, bool, bool) {
    NotesArea* area = *area_;
    if (!area) return kHandled;
    const int hidden = area->lineCount() - NotesArea::kVisibleLines;
    if (hidden <= 0) return kHandled;
    const double position = std::clamp(double(y - frame_.y) / std::max(1, frame_.h), 0.0, 1.0);
    area->setFirstLine(int(std::lround(position * hidden)));
    return kHandled;
}

} // namespace moraine::gui
