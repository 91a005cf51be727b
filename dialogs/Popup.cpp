#include "dialogs/Popup.h"

#include "gui/Fonts.h"

#include <algorithm>
#include <cairo.h>
#include <cmath>

namespace moraine::dialogs {

using namespace gui;

namespace {
// The list and scroll-bar greys.
constexpr double kGreyDark = 153.0 / 255.0, kGreyLight = 179.0 / 255.0;

void fillRect(cairo_t* cr, const PanelRect& r, double red, double green, double blue) {
    cairo_rectangle(cr, r.x, r.y, r.w, r.h);
    cairo_set_source_rgb(cr, red, green, blue);
    cairo_fill(cr);
}

void strokeRect(cairo_t* cr, const PanelRect& r, double grey) {
    cairo_rectangle(cr, r.x + 0.5, r.y + 0.5, r.w - 1, r.h - 1);
    cairo_set_source_rgb(cr, grey, grey, grey);
    cairo_set_line_width(cr, 1.0);
    cairo_stroke(cr);
}

void leftText(cairo_t* cr, const PanelRect& r, const std::string& text, double size, double red,
              double green, double blue, int indent = 3) {
    if (text.empty() || r.empty()) return;
    cairo_save(cr);
    if (selectFont(cr, "Arial", size)) {
        cairo_rectangle(cr, r.x, r.y, r.w, r.h);
        cairo_clip(cr);
        cairo_font_extents_t fe;
        cairo_font_extents(cr, &fe);
        cairo_set_source_rgb(cr, red, green, blue);
        cairo_move_to(cr, r.x + indent, std::floor(r.y + (r.h + fe.ascent - fe.descent) / 2.0));
        cairo_show_text(cr, text.c_str());
    }
    cairo_restore(cr);
}

// A scratch context for measuring text outside drawing.
struct Measure {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 1, 1);
    cairo_t* cr = cairo_create(surface);
    ~Measure() {
        cairo_destroy(cr);
        cairo_surface_destroy(surface);
    }
};

double advance(cairo_t* cr, const std::string& s) {
    cairo_text_extents_t e;
    cairo_text_extents(cr, s.c_str(), &e);
    return e.x_advance;
}

constexpr double kFieldFont = 14.0;
constexpr int kMargin = 3;
} // namespace

TextClipboard& localClipboard() {
    static LocalClipboard clipboard;
    return clipboard;
}

// ---------------------------------------------------------------- popup

QIXInternalPopup::QIXInternalPopup(CAUGuiCanvas& canvas, PanelRect frame,
                                   const CAUGuiGraphic* background)
    : CAUGuiCtrl(canvas, frame), background_(background) {}

QIXInternalPopup::~QIXInternalPopup() = default;

void QIXInternalPopup::draw(cairo_t* cr) {
    cairo_save(cr);
    cairo_rectangle(cr, frame_.x, frame_.y, frame_.w, frame_.h);
    cairo_clip(cr);
    if (background_ && background_->hasBitmap())
        background_->copyFrom(cr, frame_, 0, 0);
    else
        drawPlaceholder(cr, frame_, false);
    for (auto& c : children_)
        if (c->visible()) {
            cairo_save(cr);
            c->draw(cr);
            cairo_restore(cr);
        }
    cairo_restore(cr);
    if (nested_) {
        cairo_save(cr);
        nested_->draw(cr);
        cairo_restore(cr);
    }
}

CAUGuiCtrl* QIXInternalPopup::childAt(int x, int y) {
    for (auto it = children_.rbegin(); it != children_.rend(); ++it)
        if ((*it)->visible() && (*it)->frame().contains(x, y)) return it->get();
    return nullptr;
}

CAUGuiCtrl* QIXInternalPopup::innermost() {
    if (auto* inner = dynamic_cast<QIXInternalPopup*>(nested_.get())) return inner->innermost();
    return nested_ ? nested_.get() : this;
}

void QIXInternalPopup::retire(std::unique_ptr<CAUGuiCtrl> old) {
    if (old) retired_.push_back(std::move(old));
}

int QIXInternalPopup::mouseDown(int x, int y, bool alt, bool ctrl) {
    retired_.clear();
    pressed_ = true;
    if (nested_) {
        nestedPressed_ = true;
        return nested_->mouseDown(x, y, alt, ctrl);
    }
    nestedPressed_ = false;
    lastX_ = x;
    lastY_ = y;
    CAUGuiCtrl* child = childAt(x, y);
    // A click anywhere outside the editing field ends its edit (some hosts never pass
    // Escape, so this and Return are the ways out).
    if (editing_ && child != editing_) stopEditing();
    captured_ = child;
    dragging_ = !child && frame_.contains(x, y);
    if (child && child->enabled()) {
        if (auto* field = dynamic_cast<QIXTextEditor*>(child); field && !field->isEditing()) {
            startEditing(field);
            return kHandled; // the first click selects everything, as a fresh field does
        }
        child->mouseDown(x, y, alt, ctrl);
    }
    return kHandled;
}

int QIXInternalPopup::mouseDrag(int x, int y, bool alt, bool ctrl) {
    if (!pressed_) {
        if (nested_) nested_->mouseDrag(x, y, alt, ctrl); // menus follow the pointer
        return kHandled;
    }
    if (nestedPressed_) return nested_ ? nested_->mouseDrag(x, y, alt, ctrl) : kHandled;
    if (captured_) return captured_->mouseDrag(x, y, alt, ctrl);
    if (dragging_) {
        const int dx = x - lastX_, dy = y - lastY_;
        if (dx == 0 && dy == 0) return kHandled;
        canvas_.invalidateUnder(frame_);
        moveBy(dx, dy);
        if (nested_) nested_->moveBy(dx, dy);
        lastX_ = x;
        lastY_ = y;
        invalidate();
    }
    return kHandled;
}

int QIXInternalPopup::mouseUp(int x, int y, bool alt, bool ctrl) {
    pressed_ = false;
    dragging_ = false;
    if (nestedPressed_) {
        nestedPressed_ = false;
        return nested_ ? nested_->mouseUp(x, y, alt, ctrl) : kHandled;
    }
    CAUGuiCtrl* child = captured_;
    captured_ = nullptr;
    if (child) child->mouseUp(x, y, alt, ctrl);
    return kHandled;
}

int QIXInternalPopup::keyDown(int key, int modifiers) {
    if (nested_) return nested_->keyDown(key, modifiers);
    if (editing_) return editing_->keyDown(key, modifiers);
    if (key == kKeyReturn) {
        ok();
        return kHandled;
    }
    if (key == kKeyEscape) {
        cancel();
        return kHandled;
    }
    return kNotHandled;
}

int QIXInternalPopup::textInput(const std::string& text) {
    if (nested_) return nested_->textInput(text);
    if (!editing_) return kNotHandled;
    editing_->typeText(text);
    return kHandled;
}

namespace {
// The window's clipboard: a paste arrives later as text input to the editing field.
class CanvasClipboard : public TextClipboard {
public:
    explicit CanvasClipboard(CAUGuiCanvas& canvas) : canvas_(canvas) {}
    void put(const std::string& text) override { canvas_.clipboardPut(text); }
    void request(std::function<void(const std::string&)>) override { canvas_.clipboardRequest(); }

private:
    CAUGuiCanvas& canvas_;
};
} // namespace

TextClipboard& QIXInternalPopup::clipboard() {
    if (clipboard_) return *clipboard_;
    if (canvas_.hasSystemClipboard()) {
        if (!systemClipboard_) systemClipboard_ = std::make_unique<CanvasClipboard>(canvas_);
        return *systemClipboard_;
    }
    return localClipboard();
}

void QIXInternalPopup::openNested(std::unique_ptr<CAUGuiCtrl> popup) {
    stopEditing();
    retire(std::move(nested_));
    nested_ = std::move(popup);
    canvas_.registerControl(*nested_);
    invalidate();
}

void QIXInternalPopup::closeNested() {
    if (!nested_) return;
    canvas_.invalidateUnder(nested_->frame());
    retire(std::move(nested_));
    invalidate();
}

void QIXInternalPopup::startEditing(QIXTextEditor* editor) {
    if (editing_ == editor) return;
    stopEditing();
    editing_ = editor;
    if (editor) editor->beginEditing();
}

void QIXInternalPopup::stopEditing() {
    if (!editing_) return;
    QIXTextEditor* e = editing_;
    editing_ = nullptr;
    e->endEditing();
}

void QIXInternalPopup::focusNext(QIXTextEditor* from, bool backwards) {
    std::vector<QIXTextEditor*> fields;
    for (auto& c : children_)
        if (auto* f = dynamic_cast<QIXTextEditor*>(c.get()); f && f->visible()) fields.push_back(f);
    if (fields.empty()) return;
    auto it = std::find(fields.begin(), fields.end(), from);
    std::size_t i = it == fields.end() ? 0 : std::size_t(it - fields.begin());
    i = backwards ? (i + fields.size() - 1) % fields.size() : (i + 1) % fields.size();
    startEditing(fields[i]);
}

void QIXInternalPopup::shiftChildren(int dx, int dy) {
    for (auto& c : children_) c->moveBy(dx, dy);
}

void QIXInternalPopup::beep() {
    ++beeps_;
    canvas_.bell();
}

// ---------------------------------------------------------------- labels

QIXTextCtrl::QIXTextCtrl(CAUGuiCanvas& canvas, PanelRect frame, std::string text, bool centred)
    : CAUGuiCtrl(canvas, frame), text_(std::move(text)), centred_(centred) {}

void QIXTextCtrl::draw(cairo_t* cr) {
    if (centred_)
        drawCentredText(cr, frame_, text_, "Helvetica", std::min(13, frame_.h - 4), 1, 1, 1);
    else
        leftText(cr, frame_, text_, std::min(12, frame_.h - 4), 1, 1, 1, 0);
}

void QIXTextCtrl::setText(std::string text) {
    text_ = std::move(text);
    invalidate();
}

// ---------------------------------------------------------------- text field

QIXTextEditor::QIXTextEditor(CAUGuiCanvas& canvas, PanelRect frame, bool multiLine,
                             bool numbersOnly)
    : CAUGuiCtrl(canvas, frame) {
    model_.setMultiLine(multiLine);
    model_.setNumbersOnly(numbersOnly);
}

QIXInternalPopup* QIXTextEditor::popup() const { return dynamic_cast<QIXInternalPopup*>(parent_); }

void QIXTextEditor::setText(const std::string& text) {
    // What the field shows is what editing would keep: the same cleaning and limits.
    TextFieldModel m;
    m.setMultiLine(model_.multiLine());
    m.setText(text);
    text_ = m.text();
    if (editing_) model_.setText(text_);
    invalidate();
}

void QIXTextEditor::beginEditing() {
    editing_ = true;
    model_.setText(text_);
    canvas_.setTextInput(true);
    invalidate();
}

void QIXTextEditor::endEditing() {
    if (!editing_) return;
    editing_ = false;
    text_ = model_.text();
    scroll_ = 0;
    canvas_.setTextInput(false);
    invalidate();
}

void QIXTextEditor::typeText(const std::string& utf8) {
    if (!editing_) return;
    if (!model_.insert(utf8))
        if (auto* p = popup()) p->beep();
    invalidate();
}

std::size_t QIXTextEditor::offsetAt(int x, int y) const {
    Measure m;
    if (!selectFont(m.cr, "Arial", kFieldFont)) return 0;
    const std::string& s = editing_ ? model_.text() : text_;
    std::size_t lineStart = 0;
    if (model_.multiLine()) {
        int line = (y - frame_.y - 2) / 16;
        while (line-- > 0) {
            const std::size_t nl = s.find('\n', lineStart);
            if (nl == std::string::npos) break;
            lineStart = nl + 1;
        }
    }
    std::size_t lineEnd = s.find('\n', lineStart);
    if (lineEnd == std::string::npos) lineEnd = s.size();
    const double target = x - frame_.x - kMargin + scroll_;
    std::size_t best = lineStart;
    for (std::size_t at = lineStart; at <= lineEnd;) {
        if (advance(m.cr, s.substr(lineStart, at - lineStart)) <= target) best = at;
        else break;
        if (at == lineEnd) break;
        ++at;
        while (at < lineEnd && (static_cast<unsigned char>(s[at]) & 0xC0) == 0x80) ++at;
    }
    return best;
}

int QIXTextEditor::mouseDown(int x, int y, bool, bool) {
    if (!editing_) return kHandled;
    model_.moveCaret(offsetAt(x, y), false);
    invalidate();
    return kHandled;
}

int QIXTextEditor::mouseDrag(int x, int y, bool, bool) {
    if (!editing_) return kHandled;
    model_.moveCaret(offsetAt(x, y), true);
    invalidate();
    return kHandled;
}

int QIXTextEditor::keyDown(int key, int modifiers) {
    if (!editing_) return kNotHandled;
    using R = TextFieldModel::KeyResult;
    QIXInternalPopup* p = popup();
    const R r = model_.key(key, modifiers);
    invalidate();
    switch (r) {
    case R::Handled: break;
    case R::Refused:
        if (p) p->beep();
        break;
    case R::Confirm:
        if (p) p->stopEditing();
        else endEditing();
        if (handler_.confirmed) handler_.confirmed(*this);
        else if (p) p->ok();
        break;
    case R::Abandon:
        if (p) p->stopEditing();
        else endEditing();
        if (handler_.abandoned) handler_.abandoned(*this);
        else if (p) p->cancel();
        break;
    case R::Next:
    case R::Previous:
        if (handler_.tabbed) handler_.tabbed(*this, r == R::Previous);
        else if (p) p->focusNext(this, r == R::Previous);
        break;
    case R::Copy:
    case R::Cut:
        if (p && model_.hasSelection()) p->clipboard().put(model_.selectedText());
        if (r == R::Cut) model_.eraseSelection();
        break;
    case R::Paste:
        if (p)
            p->clipboard().request([this](const std::string& text) { typeText(text); });
        break;
    case R::Ignored: return kNotHandled;
    }
    return kHandled;
}

void QIXTextEditor::draw(cairo_t* cr) {
    const PanelRect& r = frame_;
    fillRect(cr, r, 1, 1, 1);
    strokeRect(cr, r, editing_ ? 0.2 : kGreyDark);
    if (!selectFont(cr, "Arial", kFieldFont)) return;
    cairo_save(cr);
    cairo_rectangle(cr, r.x + 1, r.y + 1, r.w - 2, r.h - 2);
    cairo_clip(cr);
    cairo_font_extents_t fe;
    cairo_font_extents(cr, &fe);
    const std::string& s = editing_ ? model_.text() : text_;
    const std::size_t selA = editing_ ? model_.selectionStart() : 0;
    const std::size_t selB = editing_ ? model_.selectionEnd() : 0;
    const std::size_t caret = editing_ ? model_.caret() : std::string::npos;
    const bool multi = model_.multiLine();
    const double lineHeight = 16.0;
    // One-line fields scroll sideways so the caret stays in view.
    if (editing_ && !multi) {
        const double cx = advance(cr, s.substr(0, caret));
        const double room = r.w - 2 * kMargin - 2;
        if (cx - scroll_ > room) scroll_ = int(cx - room);
        if (cx - scroll_ < 0) scroll_ = int(cx);
    }
    std::size_t lineStart = 0;
    int line = 0;
    while (true) {
        std::size_t lineEnd = multi ? s.find('\n', lineStart) : std::string::npos;
        if (lineEnd == std::string::npos) lineEnd = s.size();
        const std::string text = s.substr(lineStart, lineEnd - lineStart);
        const double top = multi ? r.y + 2 + line * lineHeight : r.y + (r.h - lineHeight) / 2.0;
        const double baseline = std::floor(top + (lineHeight + fe.ascent - fe.descent) / 2.0);
        const double x0 = r.x + kMargin - scroll_;
        const std::size_t a = std::clamp(selA, lineStart, lineEnd);
        const std::size_t b = std::clamp(selB, lineStart, lineEnd);
        if (b > a) {
            const double xa = x0 + advance(cr, s.substr(lineStart, a - lineStart));
            const double xb = x0 + advance(cr, s.substr(lineStart, b - lineStart));
            cairo_rectangle(cr, xa, top, xb - xa, lineHeight);
            cairo_set_source_rgb(cr, 0.55, 0.7, 0.95);
            cairo_fill(cr);
        }
        cairo_set_source_rgb(cr, 0, 0, 0);
        cairo_move_to(cr, x0, baseline);
        cairo_show_text(cr, text.c_str());
        if (caret != std::string::npos && caret >= lineStart && caret <= lineEnd) {
            const double cx = std::floor(x0 + advance(cr, s.substr(lineStart, caret - lineStart))) + 0.5;
            cairo_move_to(cr, cx, top + 1);
            cairo_line_to(cr, cx, top + lineHeight - 1);
            cairo_set_line_width(cr, 1.0);
            cairo_stroke(cr);
        }
        if (lineEnd >= s.size() || top > r.bottom()) break;
        lineStart = lineEnd + 1;
        ++line;
    }
    cairo_restore(cr);
}

// ---------------------------------------------------------------- lists

QIXTextList::QIXTextList(CAUGuiCanvas& canvas, PanelRect frame) : CAUGuiCtrl(canvas, frame) {}

void QIXTextList::setItems(std::vector<std::string> items, int selected) {
    items_ = std::move(items);
    selection_.clear();
    if (selected >= 0 && selected < int(items_.size())) selection_.push_back(selected);
    setFirstVisible(top_);
    if (selected >= 0) {
        if (selected < top_) setFirstVisible(selected);
        if (selected >= top_ + visibleRows()) setFirstVisible(selected - visibleRows() + 1);
    }
    invalidate();
}

int QIXTextList::maxFirstVisible() const { return std::max(0, int(items_.size()) - visibleRows()); }

void QIXTextList::setFirstVisible(int row) {
    top_ = std::clamp(row, 0, maxFirstVisible());
    invalidate();
    if (slider_) slider_->invalidate();
}

int QIXTextList::rowAt(int y) const {
    const int row = top_ + (y - frame_.y) / kRowHeight;
    return y >= frame_.y && row < int(items_.size()) ? row : -1;
}

void QIXTextList::select(int row, bool add) {
    if (!add) selection_.clear();
    if (row >= 0 && row < int(items_.size())) {
        auto it = std::find(selection_.begin(), selection_.end(), row);
        if (it == selection_.end()) selection_.push_back(row);
        else if (add) selection_.erase(it);
        std::sort(selection_.begin(), selection_.end());
    }
    invalidate();
}

int QIXTextList::mouseDown(int, int y, bool, bool ctrl) {
    const int row = rowAt(y);
    if (row < 0) return kHandled;
    select(row, ctrl);
    if (handler_) handler_(*this);
    return kHandled;
}

int QIXTextList::keyDown(int key, int) {
    if (key == kKeyUp) setFirstVisible(top_ - 1);
    else if (key == kKeyDown) setFirstVisible(top_ + 1);
    else return kNotHandled;
    return kHandled;
}

void QIXTextList::draw(cairo_t* cr) {
    fillRect(cr, frame_, 1, 1, 1);
    cairo_save(cr);
    cairo_rectangle(cr, frame_.x, frame_.y, frame_.w, frame_.h);
    cairo_clip(cr);
    for (int i = 0; i < visibleRows() + 1; ++i) {
        const int row = top_ + i;
        if (row >= int(items_.size())) break;
        const PanelRect rr{frame_.x + 1, frame_.y + i * kRowHeight, frame_.w - 2, kRowHeight};
        const bool on = std::find(selection_.begin(), selection_.end(), row) != selection_.end();
        if (on) fillRect(cr, rr, kGreyDark, kGreyDark, kGreyDark);
        leftText(cr, rr, items_[std::size_t(row)], 12.0, 0, 0, 0);
    }
    cairo_restore(cr);
    strokeRect(cr, frame_, kGreyLight);
}

QIXListSlider::QIXListSlider(CAUGuiCanvas& canvas, PanelRect frame, QIXTextList& list)
    : CAUGuiCtrl(canvas, frame), list_(list) {
    list.setSlider(this);
}

PanelRect QIXListSlider::thumb() const {
    const int rows = std::max<int>(1, int(list_.items().size()));
    const int shown = std::min(rows, list_.visibleRows());
    const int h = std::max(12, frame_.h * shown / rows);
    const int maxTop = list_.maxFirstVisible();
    const int y = maxTop > 0 ? (frame_.h - h) * list_.firstVisible() / maxTop : 0;
    return {frame_.x + 1, frame_.y + y, frame_.w - 2, h};
}

void QIXListSlider::draw(cairo_t* cr) {
    fillRect(cr, frame_, 0.35, 0.35, 0.35);
    strokeRect(cr, frame_, kGreyDark);
    const PanelRect t = thumb();
    fillRect(cr, t, kGreyLight, kGreyLight, kGreyLight);
    strokeRect(cr, t, kGreyDark);
}

int QIXListSlider::mouseDown(int x, int y, bool alt, bool ctrl) { return mouseDrag(x, y, alt, ctrl); }

int QIXListSlider::mouseDrag(int, int y, bool, bool) {
    const int maxTop = list_.maxFirstVisible();
    if (maxTop <= 0 || frame_.h <= 0) return kHandled;
    const float f = std::clamp(float(y - frame_.y) / float(frame_.h), 0.0f, 1.0f);
    list_.setFirstVisible(int(std::lround(f * maxTop)));
    invalidate();
    return kHandled;
}

// ---------------------------------------------------------------- string menus

DropList::DropList(CAUGuiCanvas& canvas, PanelRect anchor, const std::vector<std::string>& items,
                   int current, Choose choose)
    : CAUGuiCtrl(canvas, PanelRect{}), items_(items), highlight_(std::max(0, current)),
      choose_(std::move(choose)) {
    rows_ = std::clamp(int(items_.size()), 1, 20);
    int y = anchor.bottom();
    const int h = rows_ * kRowHeight + 2;
    if (y + h > kPanelHeight) y = std::max(0, anchor.y - h);
    frame_ = {anchor.x, y, std::max(anchor.w, 120), h};
    active_ = frame_;
    if (highlight_ >= rows_) top_ = highlight_ - rows_ + 1;
}

void DropList::draw(cairo_t* cr) {
    fillRect(cr, frame_, 0.13, 0.14, 0.15);
    for (int i = 0; i < rows_ && top_ + i < int(items_.size()); ++i) {
        const int row = top_ + i;
        const PanelRect rr{frame_.x + 1, frame_.y + 1 + i * kRowHeight, frame_.w - 2, kRowHeight};
        if (row == highlight_) fillRect(cr, rr, 0.3, 0.45, 0.3);
        leftText(cr, rr, items_[std::size_t(row)], 12.0, 0.4, 1.0, 0.4);
    }
    strokeRect(cr, frame_, kGreyLight);
}

void DropList::finish(int index) {
    Choose c = std::move(choose_);
    if (c) c(index);
}

int DropList::mouseDown(int x, int y, bool, bool) {
    if (!frame_.contains(x, y)) {
        finish(-1);
        return kHandled;
    }
    const int row = top_ + (y - frame_.y - 1) / kRowHeight;
    finish(row < int(items_.size()) ? row : -1);
    return kHandled;
}

int DropList::mouseDrag(int x, int y, bool, bool) {
    if (!frame_.contains(x, y)) return kHandled;
    const int row = top_ + (y - frame_.y - 1) / kRowHeight;
    if (row != highlight_ && row < int(items_.size())) {
        highlight_ = row;
        invalidate();
    }
    return kHandled;
}

int DropList::keyDown(int key, int) {
    const int n = int(items_.size());
    if (key == kKeyUp && highlight_ > 0) --highlight_;
    else if (key == kKeyDown && highlight_ + 1 < n) ++highlight_;
    else if (key == kKeyReturn) {
        finish(highlight_ < n ? highlight_ : -1);
        return kHandled;
    } else if (key == kKeyEscape) {
        finish(-1);
        return kHandled;
    }
    if (highlight_ < top_) top_ = highlight_;
    if (highlight_ >= top_ + rows_) top_ = highlight_ - rows_ + 1;
    invalidate();
    return kHandled;
}

QIXStringMenu::QIXStringMenu(CAUGuiCanvas& canvas, PanelRect frame, int identifier,
                             const CAUGuiGraphic* left, const CAUGuiGraphic* centre,
                             const CAUGuiGraphic* right)
    : CAUGuiCtrl(canvas, frame), identifier_(identifier), left_(left), centre_(centre),
      right_(right) {}

void QIXStringMenu::setItems(std::vector<std::string> items, int current) {
    items_ = std::move(items);
    current_ = std::clamp(current, 0, std::max(0, int(items_.size()) - 1));
    invalidate();
}

std::string QIXStringMenu::currentText() const {
    return current_ < int(items_.size()) ? items_[std::size_t(current_)] : std::string();
}

void QIXStringMenu::choose(int index) {
    if (index < 0 || index >= int(items_.size())) return;
    current_ = index;
    invalidate();
    if (handler_) handler_(identifier_, index);
}

int QIXStringMenu::mouseDown(int, int, bool, bool) {
    auto* popup = dynamic_cast<QIXInternalPopup*>(parent_);
    if (!popup || items_.empty()) return kHandled;
    popup->openNested(std::make_unique<DropList>(canvas_, frame_, items_, current_,
                                                 [this, popup](int index) {
                                                     popup->closeNested();
                                                     choose(index);
                                                 }));
    return kHandled;
}

void QIXStringMenu::draw(cairo_t* cr) {
    const PanelRect& r = frame_;
    const int capW = left_ && left_->hasBitmap() ? std::min(left_->width(), r.w / 3) : 0;
    const int rightW = right_ && right_->hasBitmap() ? std::min(right_->width(), r.w / 3) : 0;
    if (centre_ && centre_->hasBitmap()) {
        if (capW) left_->drawScaled(cr, {r.x, r.y, capW, r.h});
        centre_->drawScaled(cr, {r.x + capW, r.y, r.w - capW - rightW, r.h});
        if (rightW) right_->drawScaled(cr, {r.right() - rightW, r.y, rightW, r.h});
    } else {
        fillRect(cr, r, 0.1, 0.1, 0.1);
        strokeRect(cr, r, kGreyDark);
    }
    leftText(cr, {r.x + capW, r.y, r.w - capW - rightW, r.h}, currentText(), 13.0, 0.4, 1.0, 0.4);
}

// ---------------------------------------------------------------- range

QIXMidiRangeControl::QIXMidiRangeControl(CAUGuiCanvas& canvas, PanelRect frame,
                                         const CAUGuiGraphic* leftCap,
                                         const CAUGuiGraphic* rightCap)
    : CAUGuiCtrl(canvas, frame), leftCap_(leftCap), rightCap_(rightCap) {}

void QIXMidiRangeControl::setRange(int low, int high) {
    low_ = std::clamp(low, 0, 127);
    high_ = std::clamp(high, 0, 127);
    invalidate();
}

int QIXMidiRangeControl::xOf(int value) const {
    return frame_.x + 30 + (frame_.w - 60) * value / 127;
}

int QIXMidiRangeControl::valueAt(int x) const {
    const int span = std::max(1, frame_.w - 60);
    return std::clamp(int(std::lround(double(x - frame_.x - 30) * 127.0 / span)), 0, 127);
}

int QIXMidiRangeControl::mouseDown(int x, int, bool, bool) {
    draggingHigh_ = std::abs(x - xOf(high_)) < std::abs(x - xOf(low_)) ||
                    (x > xOf(high_) && low_ == high_);
    return mouseDrag(x, 0, false, false);
}

int QIXMidiRangeControl::mouseDrag(int x, int, bool, bool) {
    (draggingHigh_ ? high_ : low_) = valueAt(x);
    invalidate();
    return kHandled;
}

void QIXMidiRangeControl::draw(cairo_t* cr) {
    const int mid = frame_.y + frame_.h / 2;
    const int a = xOf(std::min(low_, high_)), b = xOf(std::max(low_, high_));
    fillRect(cr, {xOf(0), mid - 2, xOf(127) - xOf(0), 4}, 0.3, 0.3, 0.3);
    fillRect(cr, {a, mid - 3, std::max(1, b - a), 6}, 0.4, 0.8, 0.4);
    const auto cap = [&](const CAUGuiGraphic* g, int x) {
        const PanelRect r{x - 5, frame_.y + 2, 10, frame_.h - 4};
        if (g && g->hasBitmap()) g->drawScaled(cr, r);
        else fillRect(cr, r, kGreyLight, kGreyLight, kGreyLight);
    };
    cap(leftCap_, xOf(low_));
    cap(rightCap_, xOf(high_));
    leftText(cr, {frame_.x, frame_.y, 28, frame_.h}, std::to_string(low_), 11.0, 1, 1, 1, 0);
    leftText(cr, {frame_.right() - 26, frame_.y, 26, frame_.h}, std::to_string(high_), 11.0, 1, 1, 1, 0);
}

// ---------------------------------------------------------------- buttons

CAUGuiButton* addButton(QIXInternalPopup& popup, PanelRect frame, const CAUGuiGraphic* image,
                        std::function<void()> action) {
    auto b = std::make_unique<CAUGuiButton>(popup.canvas(), CAUGuiButton::Steps{1}, frame, image,
                                            ButtonMode::Momentary);
    b->setFixedValue(1); // lit while held
    b->setCallback([action = std::move(action)](int value, CAUGuiButton&) {
        if (value == 0 && action) action();
    });
    return popup.add(std::move(b));
}

CAUGuiButton* addCheckBox(QIXInternalPopup& popup, PanelRect frame, const CAUGuiGraphic* image,
                          bool on) {
    auto b = std::make_unique<CAUGuiButton>(popup.canvas(), CAUGuiButton::Steps{1}, frame, image,
                                            ButtonMode::Toggle);
    CAUGuiButton* raw = popup.add(std::move(b));
    setTicked(raw, on);
    return raw;
}

bool ticked(const CAUGuiCtrl* box) { return box && box->intValue() != 0; }

void setTicked(CAUGuiCtrl* box, bool on) {
    if (!box) return;
    box->setFloatValue(box->intToFloat(on ? box->intMaximum() : 0));
    box->invalidate();
}

void RadioGroup::add(CAUGuiButton* button, int value) {
    button->setFixedValue(value);
    buttons_.push_back(button);
    button->setCallback([this](int v, CAUGuiButton&) { setValue(v); });
    button->setFloatValue(button->intToFloat(value_));
}

void RadioGroup::setValue(int v) {
    value_ = v;
    for (CAUGuiButton* b : buttons_) {
        b->setFloatValue(b->intToFloat(v));
        b->invalidate();
    }
}

} // namespace moraine::dialogs
