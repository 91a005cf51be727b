// Jacks and cords. The lists here only mirror the jack parameters: every change a gesture
// makes goes out as a jack parameter (the instrument rewires itself from those), and every
// change the instrument reports comes back in as one.
#include "gui/Cable.h"

#include "gui/Images.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>

namespace moraine::gui {

PanelRect grow(const PanelRect& r, int by) { return {r.x - by, r.y - by, r.w + 2 * by, r.h + 2 * by}; }

// ---------------------------------------------------------------- registry

int JackRegistry::add(Moraine_Cable& jack) {
    if (count() >= kCapacity) return -1;
    jacks_.push_back(&jack);
    return count() - 1;
}

Moraine_Cable* JackRegistry::hitTest(int x, int y) const {
    // Jacks beyond the window's edge exist as parameters only.
    if (x < 0 || y < 0 || x >= kPanelWidth || y >= kPanelHeight) return nullptr;
    for (Moraine_Cable* j : jacks_)
        if (j->frame().contains(x, y)) return j;
    return nullptr;
}

Moraine_Cable* JackRegistry::byNumber(int number) const {
    for (Moraine_Cable* j : jacks_)
        if (j->number() == number) return j;
    return nullptr;
}

// ---------------------------------------------------------------- the jack

Moraine_Cable::Moraine_Cable(CAUGuiCanvas& canvas, JackRegistry& registry, int parameter,
                             PanelRect frame, int resolution, const CAUGuiGraphic* plug,
                             const CAUGuiGraphic* second, FourCC code, int kind)
    : CAUGuiCtrl(canvas, parameter, frame, resolution), registry_(registry), plug_(plug),
      code_(code), kind_(kind), number_(parameter - (kFirstJackParam - 1)) {
    // A jack given without a size takes the size of the socket image.
    if ((frame_.w <= 0 || frame_.h <= 0) && second && second->hasBitmap()) {
        frame_.w = second->width();
        frame_.h = second->height();
        active_ = frame_;
    }
    farEnd_ = frame_;
    plugRect_ = frame_;
    bounds_ = frame_;
    registry_.add(*this);
    floatValue_ = 0.0f;
}

Moraine_Cable::~Moraine_Cable() = default;

int Moraine_Cable::declared() const {
    const float v = floatValue_;
    if (!(v >= 1.0f && v < float(kJackCount + 1))) return 0;
    const int n = int(v);
    return n == number_ ? 0 : n;
}

PanelRect Moraine_Cable::cordBounds(const PanelRect& r) const {
    PanelRect b = unite(frame_, r);
    const int below = r.y + 7;
    const float d = float(frame_.y >= below ? frame_.y - below : below - frame_.y);
    const float f = d / 360.0f;
    const float extra = 20.0f - (f * f - (f - 1.5f) * (f - 1.5f)) * 60.0f;
    b.h += extra > 41.0f ? int(extra) : 40;
    return b;
}

bool Moraine_Cable::isConnectedTo(const Moraine_Cable& other) const {
    for (const Connection& c : list_)
        if (c.code == other.code_) return true;
    return false;
}

void Moraine_Cable::addConnection(Moraine_Cable& other, const PanelRect& farEnd) {
    if (isConnectedTo(other)) return;
    list_.push_back({&other, other.code_, farEnd});
}

void Moraine_Cable::removeConnection(const Moraine_Cable& other) {
    std::erase_if(list_, [&](const Connection& c) { return c.code == other.code_; });
}

void Moraine_Cable::invalidateCord(const Moraine_Cable& from, const PanelRect& farEnd) {
    canvas_.invalidateUnder(grow(from.cordBounds(farEnd), kPlugSize / 2));
}

void Moraine_Cable::updateActive() {
    PanelRect a = frame_;
    for (const Connection& c : list_) a = unite(a, c.jack->cordBounds(c.farEnd));
    active_ = a;
    for (const Connection& c : list_) c.jack->active_ = unite(c.jack->active_, a);
}

void Moraine_Cable::report(int farNumber) {
    floatValue_ = float(farNumber);
    intValue_ = std::clamp(farNumber * resolution_, intMin_, intMax_);
    canvas_.notifyValue(*this); // says nothing while the canvas takes values from the plug-in
}

void Moraine_Cable::unplug(Moraine_Cable& other) {
    for (const Connection& c : list_)
        if (c.code == other.code_) invalidateCord(*c.jack, c.farEnd);
    for (const Connection& c : other.list_)
        if (c.code == code_) invalidateCord(*c.jack, c.farEnd);
    removeConnection(other);
    other.removeConnection(*this);
    if (list_.empty()) active_ = frame_;
    if (other.list_.empty()) other.active_ = other.frame_;
}

void Moraine_Cable::plugIn(Moraine_Cable& other) {
    farEnd_ = other.frame_;
    other.farEnd_ = frame_;
    addConnection(other, other.farEnd_);
    other.addConnection(*this, farEnd_);
    bounds_ = cordBounds(farEnd_);
    plugRect_ = bounds_;
    other.bounds_ = other.cordBounds(other.farEnd_);
    other.plugRect_ = other.bounds_;
    invalidateCord(other, other.farEnd_);
    invalidateCord(*this, farEnd_);
    updateActive();
}

void Moraine_Cable::connect(Moraine_Cable* other) {
    if (!other) {
        disconnectAll();
        return;
    }
    Moraine_Cable& b = *other;
    if (&b == this || isConnectedTo(b)) return;
    // An input or "either" jack holds one cord.
    if (b.kind_ != kJackOutput) b.disconnectAll();
    // The end that is not an output holds the other's number.
    Moraine_Cable& holder = (b.kind_ == kJackOutput || kind_ == kJackInput) ? *this : b;
    Moraine_Cable& named = &holder == this ? b : *this;
    // The instrument pulls out whatever the holder plugged before; so does the panel.
    if (const int old = holder.declared(); old != 0 && old != named.number_) {
        if (Moraine_Cable* prev = registry_.byNumber(old);
            prev && holder.isConnectedTo(*prev) && prev->declared() != holder.number_)
            holder.unplug(*prev);
    }
    plugIn(b);
    holder.report(named.number_);
}

void Moraine_Cable::disconnectAll() {
    const std::vector<Connection> cords = std::move(list_);
    list_.clear();
    for (const Connection& c : cords) {
        Moraine_Cable& other = *c.jack;
        invalidateCord(other, c.farEnd);
        for (const Connection& back : other.list_)
            if (back.code == code_) invalidateCord(*this, back.farEnd);
        other.removeConnection(*this);
        if (other.list_.empty()) other.active_ = other.frame_;
        // Only the parameter that declares this cord changes: the far jack may declare
        // another cord of its own, which stays.
        if (other.declared() == number_) other.report(0);
    }
    canvas_.invalidateUnder(grow(plugRect_, kPlugSize / 2));
    active_ = frame_;
    if (floatValue_ != 0.0f) report(0);
}

PanelRect Moraine_Cable::dragTo(int x, int y) {
    const PanelRect old = bounds_;
    farEnd_ = {x - kPlugSize / 2, y - kPlugSize / 2, kPlugSize, kPlugSize};
    bounds_ = cordBounds(farEnd_);
    const PanelRect area = grow(unite(old, bounds_), kPlugSize / 2);
    if (dragging_) canvas_.invalidateUnder(area);
    plugRect_ = grow(bounds_, kPlugSize / 2);
    active_ = plugRect_;
    return area;
}

int Moraine_Cable::mouseDown(int x, int y, bool, bool) {
    dragging_ = true;
    bounds_ = frame_;
    if (list_.empty()) {
        dragTo(x, y);
        return kHandled;
    }
    dragList_ = list_;
    disconnectAll();
    PanelRect area;
    for (Connection& c : dragList_) {
        c.jack->bounds_ = c.jack->cordBounds(c.farEnd);
        area = unite(area, c.jack->dragTo(x, y));
        c.farEnd = c.jack->farEnd_;
    }
    canvas_.invalidateUnder(area);
    active_ = area;
    return kHandled;
}

int Moraine_Cable::mouseDrag(int x, int y, bool, bool) {
    if (!dragging_) return kHandled;
    if (dragList_.empty()) {
        dragTo(x, y);
        return kHandled;
    }
    PanelRect area;
    for (Connection& c : dragList_) {
        area = unite(area, c.jack->dragTo(x, y));
        c.farEnd = c.jack->farEnd_;
    }
    canvas_.invalidateUnder(area);
    active_ = area;
    return kHandled;
}

int Moraine_Cable::mouseUp(int x, int y, bool, bool) {
    Moraine_Cable* target = registry_.hitTest(x, y);
    const bool wasDragging = dragging_;
    dragging_ = false;
    if (dragList_.empty()) {
        // The loose cord goes whether or not it lands.
        if (wasDragging) canvas_.invalidateUnder(grow(unite(bounds_, plugRect_), kPlugSize / 2));
        if (target && cordAllowed(kind_, target->kind_)) connect(target);
        return kHandled;
    }
    PanelRect area;
    const std::vector<Connection> carried = std::move(dragList_);
    dragList_.clear();
    for (const Connection& c : carried) {
        area = unite(area, grow(c.jack->cordBounds(c.farEnd), kPlugSize / 2));
        c.jack->mouseUp(x, y, false, false);
    }
    canvas_.invalidateUnder(area);
    active_ = frame_;
    updateActive();
    return kHandled;
}

void Moraine_Cable::setFloatValue(float f) {
    if (!std::isfinite(f) || f < 0.0f) f = 0.0f;
    if (f > 0.0f && f < 1.0f) f *= 1000.0f; // a host value
    const int before = declared();
    const int n = f >= 1.0f && f < float(kJackCount + 1) ? int(f) : 0;
    floatValue_ = float(n);
    intValue_ = std::clamp(n * resolution_, intMin_, intMax_);
    const int now = declared();
    if (before == now) return;
    // The cord this parameter declared before goes (unless the far jack declares it too).
    if (before != 0)
        if (Moraine_Cable* prev = registry_.byNumber(before);
            prev && isConnectedTo(*prev) && prev->declared() != number_)
            unplug(*prev);
    if (now == 0) return;
    auto* b = dynamic_cast<Moraine_Cable*>(canvas_.findByParameter(now + kFirstJackParam - 1));
    if (!b || b == this || isConnectedTo(*b)) return;
    plugIn(*b);
}

void Moraine_Cable::drawPlug(cairo_t* cr, const PanelRect& at) const {
    if (plug_ && plug_->hasBitmap()) {
        const int w = plug_->width(), h = plug_->height();
        plug_->drawScaled(cr, {at.x + at.w / 2 - w / 2, at.y + at.h / 2 - h / 2, w, h});
        return;
    }
    cairo_save(cr);
    cairo_arc(cr, at.x + at.w / 2.0, at.y + at.h / 2.0, at.w / 2.0, 0, 2 * M_PI);
    cairo_set_source_rgb(cr, 0.55, 0.55, 0.55);
    cairo_fill(cr);
    cairo_restore(cr);
}

void Moraine_Cable::drawCords(cairo_t* cr, const PanelRect* clip) const {
    const std::vector<Connection>& list = dragging_ && !dragList_.empty() ? dragList_ : list_;
    // Most cords lie outside a small redraw.
    auto outside = [&](const Connection& c) {
        return clip && intersect(grow(c.jack->cordBounds(c.farEnd), kPlugSize), *clip).empty();
    };
    if (dragging_ && dragList_.empty()) {
        drawPlug(cr, frame_);
        drawPlug(cr, farEnd_);
        drawCord(cr, frame_.x, frame_.y, farEnd_.x, farEnd_.y);
        return;
    }
    for (const Connection& c : list) {
        if (outside(c)) continue;
        drawPlug(cr, c.jack->frame_);
        if (dragging_) drawPlug(cr, c.farEnd);
    }
    // A cord between an output and an input is drawn once, by the output.
    for (const Connection& c : list)
        if ((dragging_ || c.jack->kind_ != kJackOutput) && !outside(c))
            drawCord(cr, c.jack->frame_.x, c.jack->frame_.y, c.farEnd.x, c.farEnd.y);
}

void Moraine_Cable::drawCord(cairo_t* cr, double x1, double y1, double x2, double y2) {
    constexpr double s = kSag;
    const double t0 = (y1 - y2) / (6.0 * s) - 1.5, t1 = t0 + 3.0;
    struct Pen {
        double width, grey, dx, dy;
    };
    static constexpr Pen kPens[] = {
        {6.0, 120 / 255.0, 6, 6}, {3.0, 140 / 255.0, 4, 8}, {3.0, 160 / 255.0, 8, 4}};
    cairo_save(cr);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_DEFAULT);
    for (const Pen& p : kPens) {
        auto point = [&](double t, bool first) {
            const double y = y1 - (t * t - t0 * t0) * s;
            const double x = x1 - ((t - t0) / (t1 - t0)) * (x1 - x2);
            if (first)
                cairo_move_to(cr, x + p.dx, y + p.dy);
            else
                cairo_line_to(cr, x + p.dx, y + p.dy);
        };
        // Stepping by a count, not by adding 0.1, keeps the points the same on every run.
        const int steps = int(std::ceil((t1 - t0) / 0.1 - 1e-9));
        for (int i = 0; i < steps; ++i) point(t0 + 0.1 * i, i == 0);
        point(t1, steps == 0);
        cairo_set_line_width(cr, p.width);
        cairo_set_source_rgb(cr, p.grey, p.grey, p.grey);
        cairo_stroke(cr);
    }
    cairo_restore(cr);
}

// ---------------------------------------------------------------- the layer

CordLayer::CordLayer(CAUGuiCanvas& canvas, const JackRegistry& registry)
    : CAUGuiCtrl(canvas, PanelRect{0, 0, kPanelWidth, kPanelHeight}), registry_(registry) {}

void CordLayer::draw(cairo_t* cr) {
    double x0, y0, x1, y1;
    cairo_clip_extents(cr, &x0, &y0, &x1, &y1);
    const PanelRect clip{int(std::floor(x0)), int(std::floor(y0)), int(std::ceil(x1 - x0)) + 1,
                         int(std::ceil(y1 - y0)) + 1};
    for (int i = 0; i < registry_.count(); ++i) {
        const Moraine_Cable& j = *registry_.at(i);
        if (j.connections().empty() && !j.dragging()) continue;
        j.drawCords(cr, &clip);
    }
}

} // namespace moraine::gui
