// The control framework. Controls never touch the window: they mark rectangles dirty, and
// the canvas redraws those into the offscreen image on the editor's idle tick.
#include "gui/Canvas.h"

#include "gui/Fonts.h"
#include "plugin/PanelHost.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>

namespace moraine::gui {

bool RectList::add(const PanelRect& r) {
    for (int i = 0; i < count_; ++i)
        if (rects_[i] == r) return true;
    if (count_ >= kLimit) return false;
    rects_[count_++] = r;
    return true;
}

PanelRect intersect(const PanelRect& a, const PanelRect& b) {
    const int x0 = std::max(a.x, b.x), y0 = std::max(a.y, b.y);
    const int x1 = std::min(a.right(), b.right()), y1 = std::min(a.bottom(), b.bottom());
    if (x1 <= x0 || y1 <= y0) return {};
    return {x0, y0, x1 - x0, y1 - y0};
}

PanelRect unite(const PanelRect& a, const PanelRect& b) {
    if (a.empty()) return b;
    if (b.empty()) return a;
    const int x0 = std::min(a.x, b.x), y0 = std::min(a.y, b.y);
    const int x1 = std::max(a.right(), b.right()), y1 = std::max(a.bottom(), b.bottom());
    return {x0, y0, x1 - x0, y1 - y0};
}

// ---------------------------------------------------------------- CAUGuiCtrl

CAUGuiCtrl::CAUGuiCtrl(CAUGuiCanvas& canvas, int parameter, PanelRect frame, int resolution)
    : canvas_(canvas), frame_(frame), active_(frame), dirtyList_(std::make_unique<RectList>()) {
    if (parameter >= 0 && parameter < kParamCount) {
        parameter_ = parameter;
        info_ = parameterInfo(parameter);
        bound_ = true;
        resolution_ = resolution;
        floatRange_ = info_.maximum - info_.minimum;
    }
    computeTipBox();
}

CAUGuiCtrl::CAUGuiCtrl(CAUGuiCanvas& canvas, PanelRect frame)
    : canvas_(canvas), frame_(frame), active_(frame), dirtyList_(std::make_unique<RectList>()) {
    computeTipBox();
}

CAUGuiCtrl::CAUGuiCtrl(CAUGuiCanvas& canvas, PanelRect frame, int steps)
    : CAUGuiCtrl(canvas, frame) {
    resolution_ = 1;
    floatRange_ = float(steps);
}

CAUGuiCtrl::~CAUGuiCtrl() {
    children_.clear();
    canvas_.forget(this);
}

void CAUGuiCtrl::computeTipBox() {
    tipBox_.w = 150;
    tipBox_.h = 45;
    tipBox_.x = frame_.x > 800 ? frame_.x - 130 : frame_.x;
    tipBox_.y = frame_.y < 71 ? frame_.y + frame_.h : frame_.y - 45;
}

int CAUGuiCtrl::keyDown(int key, int modifiers) {
    return parent_ ? parent_->keyDown(key, modifiers) : kNotHandled;
}

std::string CAUGuiCtrl::tipText() const {
    if (!bound_) return {};
    float values[kEngineValueCount] = {};
    if (PanelHost* host = canvas_.host())
        for (int i = 0; i < kParamCount; ++i) values[i] = host->parameterValue(i);
    values[parameter_] = floatValue_;
    return moraine::tipText(parameter_, floatValue_, values);
}

void CAUGuiCtrl::drawTip(cairo_t* cr, bool) {
    if (!bound_) return;
    const PanelRect& b = tipBox_;
    cairo_save(cr);
    cairo_rectangle(cr, b.x, b.y, b.w, b.h);
    cairo_set_source_rgba(cr, 0.22, 0.22, 0.24, 0.92);
    cairo_fill_preserve(cr);
    cairo_set_source_rgb(cr, 0.55, 0.55, 0.58);
    cairo_set_line_width(cr, 1.0);
    cairo_stroke(cr);
    if (selectFont(cr, "Helvetica", 12.0)) {
        cairo_set_source_rgb(cr, 1, 1, 1);
        cairo_move_to(cr, b.x + 6, b.y + 18);
        cairo_show_text(cr, info_.name);
        const std::string value = tipText();
        cairo_move_to(cr, b.x + 6, b.y + 36);
        cairo_show_text(cr, value.c_str());
    }
    cairo_restore(cr);
}

CAUGuiCtrl* CAUGuiCtrl::addChild(std::unique_ptr<CAUGuiCtrl> child) {
    CAUGuiCtrl* c = child.get();
    c->parent_ = this;
    c->moveBy(frame_.x, frame_.y);
    children_.push_back(std::move(child));
    canvas_.registerControl(*c);
    return c;
}

CAUGuiCtrl* CAUGuiCtrl::findByParameter(int index) {
    for (auto& c : children_)
        if (CAUGuiCtrl* found = c->findByParameter(index)) return found;
    return bound_ && parameter_ == index ? this : nullptr;
}

CAUGuiCtrl* CAUGuiCtrl::hitTest(int x, int y) {
    if (!visible_) return nullptr;
    for (auto& c : children_)
        if (CAUGuiCtrl* found = c->hitTest(x, y)) return found;
    return frame_.contains(x, y) ? this : nullptr;
}

bool CAUGuiCtrl::needsRedraw() const {
    if (dirty_) return true;
    for (const auto& c : children_)
        if (c->needsRedraw()) return true;
    return false;
}

void CAUGuiCtrl::moveBy(int dx, int dy) {
    frame_.x += dx;
    frame_.y += dy;
    active_.x += dx;
    active_.y += dy;
    computeTipBox();
    for (auto& c : children_) c->moveBy(dx, dy);
}

void CAUGuiCtrl::insetActive(const PanelInset& inset) {
    active_.x += inset.left;
    active_.y += inset.top;
    active_.w -= inset.left + inset.right;
    active_.h -= inset.top + inset.bottom;
}

void CAUGuiCtrl::invalidateRect(const PanelRect& r) {
    // Redrawing starts from whatever lies underneath: a control inside another asks its
    // parent, so the background is drawn first and every overlapping control over it.
    if (parent_) {
        parent_->invalidateRect(intersect(r, frame_));
        return;
    }
    const PanelRect c = intersect(r, frame_);
    if (c.empty()) return;
    dirty_ = true;
    dirtyList_->add(c);
    for (auto& child : children_) {
        if (!child->visible_) continue;
        const PanelRect part = intersect(c, child->frame_);
        if (part.empty()) continue;
        child->markDirty(part);
    }
}

void CAUGuiCtrl::markDirty(const PanelRect& r) {
    dirty_ = true;
    dirtyList_->add(r);
    for (auto& child : children_) {
        const PanelRect part = intersect(r, child->frame_);
        if (!part.empty() && child->visible_) child->markDirty(part);
    }
}

void CAUGuiCtrl::invalidateWithMargin() {
    invalidateRect({frame_.x - 1, frame_.y - 1, frame_.w + 2, frame_.h + 2});
}

void CAUGuiCtrl::clearDirty() {
    dirty_ = false;
    dirtyList_->clear();
    for (auto& c : children_) c->clearDirty();
}

void CAUGuiCtrl::applyRange() {
    intMin_ = 0;
    intMax_ = int(floatRange_ * float(resolution_));
}

int CAUGuiCtrl::floatToInt(float f) const {
    const float range = floatRange_;
    if (range == 0.0f) return 0;
    const float min = bound_ ? info_.minimum : 0.0f;
    const float span = float(intMax_ - intMin_);
    if (bound_ && (info_.flags & 0x10)) {
        const double n = (std::log10(double(f - min) / range * 10.0 + 0.001) + 3.0) * 0.25;
        if (!std::isfinite(n)) return 0;
        return int(n * span);
    }
    return int((f - min) / range * span);
}

float CAUGuiCtrl::intToFloat(int i) const {
    const float min = bound_ ? info_.minimum : 0.0f;
    const int span = intMax_ - intMin_;
    if (span == 0) return min;
    const float n = float(i) / float(span);
    if (bound_ && (info_.flags & 0x10))
        return min + floatRange_ * float((std::pow(10.0, 4.0 * n - 3.0) - 0.001) / 10.0);
    return min + n * floatRange_;
}

void CAUGuiCtrl::setFloatValue(float f) {
    floatValue_ = f;
    intValue_ = std::clamp(floatToInt(f), intMin_, intMax_);
}

void CAUGuiCtrl::setIntValue(int i) {
    intValue_ = std::clamp(i, intMin_, intMax_);
    floatValue_ = intToFloat(intValue_);
    canvas_.notifyValue(*this);
}

void CAUGuiCtrl::setEnabled(bool on) {
    enabled_ = on;
    invalidate();
}

void CAUGuiCtrl::setVisible(bool on) {
    if (visible_ == on) return;
    visible_ = on;
    if (parent_) parent_->invalidateRect(frame_);
}

// ---------------------------------------------------------------- CAUGuiCanvas

CAUGuiCanvas::CAUGuiCanvas(PanelHost* host) : host_(host) {
    surface_ = cairo_image_surface_create(CAIRO_FORMAT_RGB24, kPanelWidth, kPanelHeight);
    cr_ = cairo_create(surface_);
    cairo_set_source_rgb(cr_, 0.1, 0.1, 0.11);
    cairo_paint(cr_);
}

CAUGuiCanvas::~CAUGuiCanvas() {
    // Controls forget themselves here as they go; nothing points at them afterwards.
    modal_.reset();
    closedModals_.clear();
    topLevel_.clear();
    cairo_destroy(cr_);
    cairo_surface_destroy(surface_);
}

CAUGuiCtrl* CAUGuiCanvas::addTopLevel(std::unique_ptr<CAUGuiCtrl> control) {
    CAUGuiCtrl* c = control.get();
    topLevel_.push_back(std::move(control));
    registerControl(*c);
    return c;
}

void CAUGuiCanvas::registerControl(CAUGuiCtrl& control) {
    control.setSerial(++serialCounter_);
    control.applyRange();
    control.invalidate();
}

CAUGuiCtrl* CAUGuiCanvas::findByParameter(int index) {
    for (auto& c : topLevel_)
        if (CAUGuiCtrl* found = c->findByParameter(index)) return found;
    return nullptr;
}

CAUGuiCtrl* CAUGuiCanvas::hitTest(int x, int y) {
    for (auto& c : topLevel_)
        if (CAUGuiCtrl* found = c->hitTest(x, y)) return found;
    return nullptr;
}

void CAUGuiCanvas::forget(const CAUGuiCtrl* control) {
    if (captured_ == control) captured_ = nullptr;
    if (focused_ == control) focused_ = nullptr;
    if (hovered_ == control) {
        hovered_ = nullptr;
        tipVisible_ = false;
    }
}

void CAUGuiCanvas::openModal(std::unique_ptr<CAUGuiCtrl> popup) {
    if (modal_) closeModal();
    modal_ = std::move(popup);
    registerControl(*modal_);
    if (captured_ && captured_ != modal_.get()) captured_ = nullptr;
    focused_ = modal_.get();
    tipVisible_ = false;
}

void CAUGuiCanvas::closeModal() {
    if (!modal_) return;
    const PanelRect r = modal_->frame();
    forget(modal_.get());
    // Kept alive until the next redraw: the popup may be closing itself from its own event.
    closedModals_.push_back(std::move(modal_));
    invalidateUnder(r);
}

void CAUGuiCanvas::notifyValue(CAUGuiCtrl& control) {
    if (control.bound() && !guard_ && host_) {
        const int index = control.parameter();
        const float engine = index >= kFirstJackParam
                                 ? hostToEngine(index, control.floatValue() / 1000.0f)
                                 : control.floatValue();
        if (editing_ == index) {
            host_->setFromPanel(index, engine);
        } else {
            host_->beginEdit(index);
            host_->setFromPanel(index, engine);
            host_->endEdit(index);
        }
    }
    if (listener_ && !guard_) listener_->controlChanged(control);
}

void CAUGuiCanvas::mouseDown(int x, int y, int modifiers) {
    lastX_ = x;
    lastY_ = y;
    CAUGuiCtrl* target = modal_ ? modal_.get() : hitTest(x, y);
    if (!target) return;
    if (target != focused_) {
        if (focused_) focused_->setFocus(false);
        target->setFocus(true);
        focused_ = target;
    }
    if ((modifiers & kModShift) && target->bound() && target->parameter() < 79 && !modal_) {
        if (listener_) listener_->midiMapRequested(target->parameter());
        return;
    }
    captured_ = target;
    if (target->bound() && host_ && target->parameter() < kFirstJackParam) {
        editing_ = target->parameter();
        host_->beginEdit(editing_);
    }
    target->mouseDown(x, y, modifiers & kModAlt, modifiers & kModCtrl);
}

void CAUGuiCanvas::mouseMove(int x, int y, bool buttonDown, int modifiers) {
    if (x == lastX_ && y == lastY_) return;
    lastX_ = x;
    lastY_ = y;
    if (buttonDown) {
        if (captured_) captured_->mouseDrag(x, y, modifiers & kModAlt, modifiers & kModCtrl);
        return;
    }
    if (modal_) {
        modal_->mouseDrag(x, y, false, false); // menus follow the pointer without a button
        return;
    }
    CAUGuiCtrl* now = hitTest(x, y);
    if (now == hovered_) return;
    if (hovered_) {
        hovered_->invalidateWithMargin();
        if (tipVisible_) invalidateUnder(hovered_->tipBox());
    }
    tipVisible_ = false;
    hovered_ = now;
    hoverCountdown_ = kHoverTicks;
}

void CAUGuiCanvas::mouseUp(int x, int y, int modifiers) {
    lastX_ = x;
    lastY_ = y;
    CAUGuiCtrl* target = captured_;
    const int editing = editing_;
    if (target) {
        // The gesture stays open while the release's last value goes out.
        target->mouseUp(x, y, modifiers & kModAlt, modifiers & kModCtrl);
        captured_ = nullptr;
        if (showTips_ && target->bound()) invalidateUnder(target->tipBox());
    }
    // A press that opened a menu lost its capture, but its edit still ends here.
    editing_ = -1;
    if (editing >= 0 && host_) host_->endEdit(editing);
}

int CAUGuiCanvas::keyDown(int key, int modifiers) {
    CAUGuiCtrl* target = modal_ ? modal_.get() : focused_;
    if (!target) return kNotHandled;
    return target->keyDown(key, modifiers);
}

void CAUGuiCanvas::invalidateUnder(const PanelRect& r) {
    for (auto& c : topLevel_) c->invalidateRect(r);
}

void CAUGuiCanvas::invalidateAll() {
    invalidateUnder({0, 0, kPanelWidth, kPanelHeight});
    if (modal_) modal_->invalidate();
}

void CAUGuiCanvas::addDamage(const PanelRect& r) {
    const PanelRect c = intersect(r, {0, 0, kPanelWidth, kPanelHeight});
    if (c.empty()) return;
    for (PanelRect& d : damage_) {
        if (!intersect(d, c).empty() || d == c) {
            d = unite(d, c);
            return;
        }
    }
    damage_.push_back(c);
}

namespace {
void pollAll(CAUGuiCtrl& c) {
    c.poll();
    for (auto& child : c.children()) pollAll(*child);
}

void clipTo(cairo_t* cr, const RectList& list) {
    for (int i = 0; i < list.count(); ++i)
        cairo_rectangle(cr, list[i].x, list[i].y, list[i].w, list[i].h);
    cairo_clip(cr);
}
} // namespace

void CAUGuiCanvas::drawControl(cairo_t* cr, CAUGuiCtrl& control) {
    if (control.dirty() && control.visible() && control.dirtyList().count() > 0) {
        cairo_save(cr);
        clipTo(cr, control.dirtyList());
        control.draw(cr);
        cairo_restore(cr);
        for (int i = 0; i < control.dirtyList().count(); ++i) addDamage(control.dirtyList()[i]);
    }
    for (auto& child : control.children())
        if (child->needsRedraw()) drawControl(cr, *child);
    // Only this control's own state: the children cleared theirs as they were drawn.
    control.clearOwnDirty();
}

const std::vector<PanelRect>& CAUGuiCanvas::redraw() {
    damage_.clear();
    if (redrawing_) return damage_;
    redrawing_ = true;
    closedModals_.clear();
    for (auto& c : topLevel_) pollAll(*c);
    if (modal_) pollAll(*modal_);

    if (hoverCountdown_ > 0 && --hoverCountdown_ == 0 && hovered_ && showTips_ &&
        hovered_->bound() && !modal_) {
        tipVisible_ = true;
        invalidateUnder(hovered_->tipBox());
    }
    // A tip that should no longer show is painted over.
    CAUGuiCtrl* tipOwner = nullptr;
    bool nameOnly = true;
    if (showTips_ && captured_ && captured_->bound() && !modal_) {
        tipOwner = captured_;
        nameOnly = false;
    } else if (showTips_ && tipVisible_ && hovered_ && !modal_) {
        tipOwner = hovered_;
    }
    if (tipDrawn_ && (!tipOwner || tipOwner->tipBox() != tipShown_)) {
        invalidateUnder(tipShown_);
        tipDrawn_ = false;
    }

    bool any = modal_ && modal_->needsRedraw();
    for (auto& c : topLevel_) any = any || c->needsRedraw();
    if (any) {
        for (auto& c : topLevel_) drawControl(cr_, *c);
        if (tipOwner && !damage_.empty()) {
            cairo_save(cr_);
            const PanelRect b = tipOwner->tipBox();
            cairo_rectangle(cr_, b.x, b.y, b.w, b.h);
            cairo_clip(cr_);
            tipOwner->drawTip(cr_, nameOnly);
            cairo_restore(cr_);
            addDamage(b);
            tipDrawn_ = true;
            tipShown_ = b;
        }
        if (modal_) {
            // The popup lies over everything: redrawn wherever the panel under it was, and
            // where it marked itself.
            const PanelRect f = modal_->frame();
            std::vector<PanelRect> under;
            for (const PanelRect& d : damage_) {
                const PanelRect i = intersect(d, f);
                if (!i.empty()) under.push_back(i);
            }
            for (int i = 0; i < modal_->dirtyList().count(); ++i)
                under.push_back(modal_->dirtyList()[i]);
            if (!under.empty()) {
                cairo_save(cr_);
                for (const PanelRect& r : under) cairo_rectangle(cr_, r.x, r.y, r.w, r.h);
                cairo_clip(cr_);
                modal_->draw(cr_);
                cairo_restore(cr_);
                for (const PanelRect& r : under) addDamage(r);
            }
            modal_->clearDirty();
        }
        cairo_surface_flush(surface_);
        ++paintCount_;
    }
    redrawing_ = false;
    return damage_;
}

const std::uint32_t* CAUGuiCanvas::pixels() const {
    return reinterpret_cast<const std::uint32_t*>(cairo_image_surface_get_data(surface_));
}

int CAUGuiCanvas::stride() const { return cairo_image_surface_get_stride(surface_); }

} // namespace moraine::gui
