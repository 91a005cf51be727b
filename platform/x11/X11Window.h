// The editor's X11 window: a child of the host's window on a Display of its own, fed and
// drained only from the editor's idle calls. Nothing here keeps a thread or blocks; no
// other file includes X headers.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace moraine::x11 {

struct Rect {
    int x, y, w, h;
};

struct WindowEvent {
    enum Type { kPress, kRelease, kMotion, kKey, kExpose, kWheel, kText };
    Type type;
    int x = 0, y = 0;
    int button = 0;      // Press/Release: 1 left, 2 middle, 3 right
    bool buttonDown = false; // Motion: any button held
    int modifiers = 0;   // Shift 8, Ctrl 1, Alt 2
    int key = 0;         // Key: the panel's key code (gui/PanelEvents.h)
    int wheel = 0;       // Wheel: −1 up, +1 down
    Rect area{0, 0, 0, 0}; // Expose
    std::string text;      // Text: UTF-8 typed through the input method, or pasted
};

class X11Window {
public:
    // A child of `parent` (an X Window id) of the given size, mapped. Null when there is
    // no display, the parent does not exist or the server refuses; the host is unharmed.
    static std::unique_ptr<X11Window> open(unsigned long parent, int width, int height);
    ~X11Window();
    X11Window(const X11Window&) = delete;
    X11Window& operator=(const X11Window&) = delete;

    // Takes the events waiting now (at most `limit`), never waiting for more. False once the
    // connection is gone; the window then does nothing more.
    bool poll(std::vector<WindowEvent>& out, int limit = 256);
    // Copies rectangles of a 32-bit xRGB image (the panel's stride) into the window.
    void upload(const std::uint32_t* pixels, int stride, const std::vector<Rect>& rects);
    void flush();
    unsigned long window() const { return window_; }
    bool alive() const;
    int depth() const { return depth_; }

    // For text fields: a beep for a refused key; the keyboard focus taken while a field
    // edits and given back after (hosts keep it otherwise); the CLIPBOARD selection owned
    // with `text`, and a paste asked for, whose text arrives later as a Text event.
    void bell();
    void takeFocus(bool on);
    void setClipboard(const std::string& text);
    void requestClipboard();

private:
    X11Window() = default;
    struct State;
    std::unique_ptr<State> state_;
    unsigned long window_ = 0;
    int width_ = 0, height_ = 0, depth_ = 0;
};

} // namespace moraine::x11
