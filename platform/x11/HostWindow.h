// A top-level window that plays the host's editor frame in the test host: the parent the
// plug-in's editor window goes into, and a way to read back what it shows.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

namespace moraine::x11 {

class HostWindow {
public:
    // Null when there is no X display.
    static std::unique_ptr<HostWindow> open(int width, int height, const char* title);
    ~HostWindow();
    HostWindow(const HostWindow&) = delete;
    HostWindow& operator=(const HostWindow&) = delete;

    unsigned long id() const { return window_; }
    // Takes this connection's pending events; returns at once.
    void pump();
    // The pixels (xRGB, one word each) of the window's first child, the editor; false when
    // there is none.
    bool captureChild(std::vector<std::uint32_t>& pixels, int& width, int& height);
    // A window id that no window has (to test a host passing garbage).
    unsigned long unusedWindowId() const;
    // False once the server has gone away.
    bool alive() const { return !dead_; }

private:
    HostWindow() = default;
    bool dead_ = false;
    void* display_ = nullptr;
    unsigned long window_ = 0;
};

} // namespace moraine::x11
