#include "platform/x11/HostWindow.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace moraine::x11 {

namespace {
Display* dpyOf(void* d) { return static_cast<Display*>(d); }
// A host survives its X server going away (its own choice; ours is to keep driving the
// plug-in so that the editor's handling of it shows).
void serverGone(Display*, void* flag) { *static_cast<bool*>(flag) = true; }
int keepGoing(Display*) { return 0; }
} // namespace

std::unique_ptr<HostWindow> HostWindow::open(int width, int height, const char* title) {
    Display* dpy = XOpenDisplay(nullptr);
    if (!dpy) return nullptr;
    std::unique_ptr<HostWindow> w(new HostWindow());
    w->display_ = dpy;
    XSetIOErrorExitHandler(dpy, serverGone, &w->dead_);
    XSetIOErrorHandler(keepGoing);
    const int screen = DefaultScreen(dpy);
    w->window_ = XCreateSimpleWindow(dpy, RootWindow(dpy, screen), 0, 0, unsigned(width),
                                     unsigned(height), 0, BlackPixel(dpy, screen),
                                     BlackPixel(dpy, screen));
    XStoreName(dpy, w->window_, title);
    XSelectInput(dpy, w->window_, StructureNotifyMask);
    XMapWindow(dpy, w->window_);
    // Mapped before the editor goes in, as a host's frame would be.
    for (;;) {
        XEvent e;
        XNextEvent(dpy, &e);
        if (e.type == MapNotify && e.xmap.window == w->window_) break;
    }
    return w;
}

HostWindow::~HostWindow() {
    if (!display_) return;
    if (!dead_) XDestroyWindow(dpyOf(display_), window_);
    XCloseDisplay(dpyOf(display_));
}

void HostWindow::pump() {
    Display* dpy = dpyOf(display_);
    while (!dead_ && XPending(dpy) > 0) {
        XEvent e;
        XNextEvent(dpy, &e);
    }
}

bool HostWindow::captureChild(std::vector<std::uint32_t>& pixels, int& width, int& height) {
    if (dead_) return false;
    Display* dpy = dpyOf(display_);
    XSync(dpy, False);
    Window root = 0, parent = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(dpy, window_, &root, &parent, &children, &count) || count == 0) {
        if (children) XFree(children);
        return false;
    }
    const Window child = children[0];
    XFree(children);
    XWindowAttributes a;
    if (!XGetWindowAttributes(dpy, child, &a)) return false;
    XImage* image = XGetImage(dpy, child, 0, 0, unsigned(a.width), unsigned(a.height), AllPlanes,
                              ZPixmap);
    if (!image) return false;
    width = a.width;
    height = a.height;
    pixels.resize(std::size_t(width) * height);
    const auto channel = [](unsigned long v, unsigned long mask) -> std::uint32_t {
        if (!mask) return 0;
        int shift = 0;
        while (!(mask & 1)) {
            mask >>= 1;
            ++shift;
        }
        const unsigned long c = (v >> shift) & mask;
        return std::uint32_t(c * 255 / mask);
    };
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const unsigned long p = XGetPixel(image, x, y);
            pixels[std::size_t(y) * width + x] = (channel(p, image->red_mask) << 16) |
                                                 (channel(p, image->green_mask) << 8) |
                                                 channel(p, image->blue_mask);
        }
    XDestroyImage(image);
    return true;
}

unsigned long HostWindow::unusedWindowId() const {
    // Resource ids of this client carry its base; one far beyond anything it made is free.
    return window_ + 0x0FFFFF;
}

} // namespace moraine::x11
