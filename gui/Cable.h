// Moraine_Cable: a patch jack on the panel, and the cords between jacks.
//
// The patch lives in the jack parameters alone: the jack at the receiving end of a cord holds
// the number of the jack at the other end (0: none). A jack's gestures set those parameters
// through the canvas (host automation); values coming back from the instrument redraw the
// cords without being reported again. Each parameter declares one cord, as the engine reads
// it, so the panel only ever removes the cords whose declaring parameter it changes.
//
// Cords hang over every control, so they are not drawn by the jacks into their own small
// frames but by one CordLayer that spans the panel, lies above the controls and below the
// dialogs, and asks each jack to draw the cords it owns wherever the panel is redrawn.
#pragma once

#include "engine/FourCC.h"
#include "gui/Canvas.h"

#include <vector>

namespace moraine::gui {

class CAUGuiGraphic;
class Moraine_Cable;

// A jack's kind: what may be plugged into what.
enum JackKind : int { kJackInput = 1, kJackOutput = 2, kJackEither = 3 };

// A cord may join an input with an output, or an "either" jack with anything.
constexpr bool cordAllowed(int kindA, int kindB) { return (kindA | kindB) == 3; }

PanelRect grow(const PanelRect& r, int by);

// The jacks in creation order (at most 90); a hit test finds the first whose frame holds
// the point. Jacks outside the panel are registered but never found.
class JackRegistry {
public:
    static constexpr int kCapacity = 90;
    // The position, or −1 when full.
    int add(Moraine_Cable& jack);
    Moraine_Cable* hitTest(int x, int y) const;
    // The jack with this number (1..89), or null.
    Moraine_Cable* byNumber(int number) const;
    int count() const { return int(jacks_.size()); }
    Moraine_Cable* at(int i) const { return jacks_[std::size_t(i)]; }

private:
    std::vector<Moraine_Cable*> jacks_;
};

class Moraine_Cable : public CAUGuiCtrl {
public:
    static constexpr float kSag = 60.0f;
    static constexpr int kPlugSize = 14;

    // One cord of this jack: the jack at the other end, its code, and the far end of that
    // jack's cord (this jack's frame, or the loose plug while it is carried).
    struct Connection {
        Moraine_Cable* jack;
        FourCC code;
        PanelRect farEnd;
    };

    Moraine_Cable(CAUGuiCanvas& canvas, JackRegistry& registry, int parameter, PanelRect frame,
                  int resolution, const CAUGuiGraphic* plug, const CAUGuiGraphic* second,
                  FourCC code, int kind);
    ~Moraine_Cable() override;

    int mouseDown(int x, int y, bool alt, bool ctrl) override;
    int mouseDrag(int x, int y, bool alt, bool ctrl) override;
    int mouseUp(int x, int y, bool alt, bool ctrl) override;
    // A value from the instrument (engine units, or a host value below 1): follows the cord
    // it declares without reporting back.
    void setFloatValue(float f) override;

    // Joins this jack and `other` (null: pulls every cord out of this jack).
    void connect(Moraine_Cable* other);
    void disconnectAll();
    void addConnection(Moraine_Cable& other, const PanelRect& farEnd);
    void removeConnection(const Moraine_Cable& other);
    bool isConnectedTo(const Moraine_Cable& other) const;
    // The rectangle a cord from this jack to `farEnd` may cover, its sag included.
    PanelRect cordBounds(const PanelRect& farEnd) const;

    // The plugs and cords this jack is responsible for (each cord is drawn once); with a
    // clip, only those that reach into it.
    void drawCords(cairo_t* cr, const PanelRect* clip = nullptr) const;
    // A cord hanging from (x1, y1) to (x2, y2), the left-top corners of its two plugs.
    static void drawCord(cairo_t* cr, double x1, double y1, double x2, double y2);

    FourCC code() const { return code_; }
    int kind() const { return kind_; }
    int number() const { return number_; }
    const PanelRect& farEnd() const { return farEnd_; }
    const PanelRect& plugRect() const { return plugRect_; }
    const std::vector<Connection>& connections() const { return list_; }
    const std::vector<Connection>& dragList() const { return dragList_; }
    bool dragging() const { return dragging_; }
    // The jack this jack's value names (the cord it declares), 0 for none.
    int declared() const;

private:
    // Moves the loose plug of this jack's cord to the pointer; returns the area to redraw
    // (the old and new cord, grown by half a plug).
    PanelRect dragTo(int x, int y);
    // Stores a new value and tells the instrument (unless the canvas is taking values from it).
    void report(int farNumber);
    // Unplugs the cord between this jack and `other` from both lists.
    void unplug(Moraine_Cable& other);
    void plugIn(Moraine_Cable& other);
    void drawPlug(cairo_t* cr, const PanelRect& at) const;
    void invalidateCord(const Moraine_Cable& from, const PanelRect& farEnd);
    void updateActive();

    JackRegistry& registry_;
    const CAUGuiGraphic* plug_;
    PanelRect plugRect_;
    PanelRect farEnd_;
    PanelRect bounds_;
    std::vector<Connection> list_;
    std::vector<Connection> dragList_;
    FourCC code_;
    int kind_;
    int number_;
    bool dragging_ = false;
};

// Spans the panel above every control: draws all cords wherever the panel is redrawn.
// Never takes the mouse.
class CordLayer : public CAUGuiCtrl {
public:
    CordLayer(CAUGuiCanvas& canvas, const JackRegistry& registry);
    void draw(cairo_t* cr) override;
    CAUGuiCtrl* hitTest(int, int) override { return nullptr; }

private:
    const JackRegistry& registry_;
};

} // namespace moraine::gui
