// Xlib, kept to this file. The window lives on its own Display connection, opened in the
// editor's open and closed in its close, and is touched only from the thread that calls
// them and idle; XInitThreads is the host's business and never called here.
#include "platform/x11/X11Window.h"

#include "gui/PanelEvents.h"

#include <X11/Xlib.h>
#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <mutex>

namespace moraine::x11 {

namespace {

// Xlib's error handler is process-wide, and its default ends the process. It is replaced
// only around calls that can fail on a bad host window, and restored at once.
std::mutex trapMutex;
std::atomic<int> trappedError{0};

int recordError(Display*, XErrorEvent* e) {
    trappedError.store(e->error_code ? e->error_code : 1);
    return 0;
}

class ErrorTrap {
public:
    explicit ErrorTrap(Display* dpy) : dpy_(dpy), lock_(trapMutex) {
        XSync(dpy_, False);
        trappedError.store(0);
        previous_ = XSetErrorHandler(recordError);
    }
    // Waits for the server's answer to everything sent so far; true when all went well.
    bool ok() {
        XSync(dpy_, False);
        return trappedError.load() == 0;
    }
    ~ErrorTrap() {
        XSync(dpy_, False);
        XSetErrorHandler(previous_);
    }

private:
    Display* dpy_;
    std::lock_guard<std::mutex> lock_;
    int (*previous_)(Display*, XErrorEvent*) = nullptr;
};

int shiftOf(unsigned long mask) {
    int s = 0;
    while (mask && !(mask & 1)) {
        mask >>= 1;
        ++s;
    }
    return s;
}

int bitsOf(unsigned long mask) {
    int n = 0;
    for (; mask; mask >>= 1) n += int(mask & 1);
    return n;
}

int modifiersOf(unsigned int state) {
    int m = 0;
    if (state & ShiftMask) m |= gui::kModShift;
    if (state & ControlMask) m |= gui::kModCtrl;
    if (state & Mod1Mask) m |= gui::kModAlt;
    return m;
}

int keyOf(XKeyEvent& e) {
    char text[8] = {};
    KeySym sym = NoSymbol;
    const int n = XLookupString(&e, text, sizeof text, &sym, nullptr);
    switch (sym) {
    case XK_Up: case XK_KP_Up: return gui::kKeyUp;
    case XK_Down: case XK_KP_Down: return gui::kKeyDown;
    case XK_Left: case XK_KP_Left: return gui::kKeyLeft;
    case XK_Right: case XK_KP_Right: return gui::kKeyRight;
    case XK_Home: case XK_KP_Home: return gui::kKeyHome;
    case XK_End: case XK_KP_End: return gui::kKeyEnd;
    case XK_Page_Up: case XK_KP_Page_Up: return gui::kKeyPageUp;
    case XK_Page_Down: case XK_KP_Page_Down: return gui::kKeyPageDown;
    case XK_Return: case XK_KP_Enter: return gui::kKeyReturn;
    case XK_Escape: return gui::kKeyEscape;
    case XK_BackSpace: return gui::kKeyBackspace;
    case XK_Tab: return gui::kKeyTab;
    case XK_Delete: return gui::kKeyDelete;
    default: break;
    }
    if (n == 1 && static_cast<unsigned char>(text[0]) >= 32) return static_cast<unsigned char>(text[0]);
    // Ctrl with a letter (copy, cut, paste, select all) is the letter with its modifier.
    if ((e.state & ControlMask) && sym >= XK_a && sym <= XK_z) return int('a' + (sym - XK_a));
    if ((e.state & ControlMask) && sym >= XK_A && sym <= XK_Z) return int('a' + (sym - XK_A));
    return gui::kKeyNone;
}

} // namespace

struct X11Window::State {
    Display* dpy = nullptr;
    Visual* visual = nullptr;
    Colormap colormap = 0;
    GC gc = nullptr;
    bool direct = false; // the visual takes our xRGB words as they are
    std::atomic<bool> dead{false};
    unsigned long masks[3] = {0, 0, 0};
    std::vector<char> scratch;
    // Typing through the input method (compose, dead keys, other scripts).
    XIM im = nullptr;
    XIC ic = nullptr;
    // Keyboard focus held for a text field, and where it was before.
    Window focusBefore = 0;
    int revertBefore = RevertToParent;
    bool focusHeld = false;
    // The clipboard we own, and the atoms of the selection exchange.
    std::string clipboard;
    bool ownsClipboard = false;
    Atom clipboardAtom = 0, targetsAtom = 0, utf8Atom = 0, pasteAtom = 0;
};

namespace {
void connectionLost(Display*, void* data) {
    static_cast<std::atomic<bool>*>(data)->store(true);
    std::printf("the X server connection of the editor was lost\n");
}

// Xlib's I/O error handler is process-wide and its default ends the process. While any
// editor is open ours stands in front of the host's: for our own connections it returns
// (the per-display exit handler above then marks the window dead), for every other
// connection it hands over to whatever was there before. The last editor to close puts the
// previous handler back, so nothing points into this library once it is unloaded.
std::mutex ioMutex;
std::vector<Display*> ourDisplays;
XIOErrorHandler previousIoHandler = nullptr;

int ioError(Display* dpy) {
    XIOErrorHandler previous;
    {
        std::lock_guard<std::mutex> lock(ioMutex);
        if (std::find(ourDisplays.begin(), ourDisplays.end(), dpy) != ourDisplays.end()) return 0;
        previous = previousIoHandler;
    }
    return previous ? previous(dpy) : 0;
}

void adoptDisplay(Display* dpy) {
    std::lock_guard<std::mutex> lock(ioMutex);
    if (ourDisplays.empty()) previousIoHandler = XSetIOErrorHandler(ioError);
    ourDisplays.push_back(dpy);
}

void releaseDisplay(Display* dpy) {
    std::lock_guard<std::mutex> lock(ioMutex);
    auto found = std::find(ourDisplays.begin(), ourDisplays.end(), dpy);
    if (found == ourDisplays.end()) return;
    ourDisplays.erase(found);
    if (ourDisplays.empty()) {
        const XIOErrorHandler current = XSetIOErrorHandler(previousIoHandler);
        // Someone installed another handler meanwhile: theirs stays.
        if (current != ioError) XSetIOErrorHandler(current);
        previousIoHandler = nullptr;
    }
}
} // namespace

std::unique_ptr<X11Window> X11Window::open(unsigned long parent, int width, int height) {
    if (parent == 0) return nullptr;
    Display* dpy = XOpenDisplay(nullptr);
    if (!dpy) return nullptr;
    std::unique_ptr<X11Window> w(new X11Window());
    w->state_ = std::make_unique<State>();
    State& s = *w->state_;
    s.dpy = dpy;
    // A lost server must not end the host: this display's I/O errors only mark it dead.
    XSetIOErrorExitHandler(dpy, connectionLost, &s.dead);
    adoptDisplay(dpy);
    const int screen = DefaultScreen(dpy);

    XWindowAttributes parentAttributes;
    bool parentOk;
    {
        ErrorTrap trap(dpy);
        parentOk = XGetWindowAttributes(dpy, Window(parent), &parentAttributes) != 0 && trap.ok();
    }
    if (!parentOk) {
        std::printf("editor: parent window 0x%lx does not exist\n", parent);
        XCloseDisplay(dpy);
        releaseDisplay(dpy);
        w->state_->dpy = nullptr;
        return nullptr;
    }

    XVisualInfo info;
    if (XMatchVisualInfo(dpy, screen, 24, TrueColor, &info)) {
        s.visual = info.visual;
        w->depth_ = 24;
    } else {
        s.visual = DefaultVisual(dpy, screen);
        w->depth_ = DefaultDepth(dpy, screen);
    }
    s.masks[0] = s.visual->red_mask;
    s.masks[1] = s.visual->green_mask;
    s.masks[2] = s.visual->blue_mask;
    s.colormap = XCreateColormap(dpy, RootWindow(dpy, screen), s.visual, AllocNone);

    XSetWindowAttributes swa{};
    swa.colormap = s.colormap;
    swa.border_pixel = 0;
    swa.background_pixmap = None;
    swa.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask |
                     KeyPressMask | KeyReleaseMask | FocusChangeMask | StructureNotifyMask;
    bool created;
    {
        ErrorTrap trap(dpy);
        w->window_ = XCreateWindow(dpy, Window(parent), 0, 0, unsigned(width), unsigned(height), 0,
                                   w->depth_, InputOutput, s.visual,
                                   CWColormap | CWBorderPixel | CWBackPixmap | CWEventMask, &swa);
        XSizeHints* hints = XAllocSizeHints();
        if (hints) {
            hints->flags = PMinSize | PMaxSize | PSize;
            hints->min_width = hints->max_width = hints->width = width;
            hints->min_height = hints->max_height = hints->height = height;
            XSetWMNormalHints(dpy, w->window_, hints);
            XFree(hints);
        }
        // Hosts that embed through XEmbed hide a window that does not say it is mapped.
        const Atom embedInfo = XInternAtom(dpy, "_XEMBED_INFO", False);
        const long embed[2] = {0, 1};
        XChangeProperty(dpy, w->window_, embedInfo, embedInfo, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(embed), 2);
        XMapWindow(dpy, w->window_);
        s.gc = XCreateGC(dpy, w->window_, 0, nullptr);
        created = trap.ok();
    }
    if (!created) {
        std::printf("editor: the window could not be made inside 0x%lx\n", parent);
        return nullptr; // the destructor tidies what exists
    }
    w->width_ = width;
    w->height_ = height;
    s.direct = w->depth_ == 24 && s.masks[0] == 0xFF0000 && s.masks[1] == 0x00FF00 &&
               s.masks[2] == 0x0000FF;
    if (s.direct) {
        // The server must store depth 24 as 32 bits per pixel for a straight copy.
        int count = 0;
        XPixmapFormatValues* formats = XListPixmapFormats(dpy, &count);
        bool found = false;
        for (int i = 0; i < count; ++i)
            if (formats[i].depth == 24) found = formats[i].bits_per_pixel == 32;
        if (formats) XFree(formats);
        s.direct = found;
    }
    // The input method: the user's (XMODIFIERS), else the built-in one; without either,
    // keys still arrive through XLookupString.
    XSetLocaleModifiers("");
    s.im = XOpenIM(dpy, nullptr, nullptr, nullptr);
    if (!s.im) {
        XSetLocaleModifiers("@im=");
        s.im = XOpenIM(dpy, nullptr, nullptr, nullptr);
    }
    if (s.im)
        s.ic = XCreateIC(s.im, XNInputStyle, XIMPreeditNothing | XIMStatusNothing, XNClientWindow,
                         w->window_, XNFocusWindow, w->window_, nullptr);
    s.clipboardAtom = XInternAtom(dpy, "CLIPBOARD", False);
    s.targetsAtom = XInternAtom(dpy, "TARGETS", False);
    s.utf8Atom = XInternAtom(dpy, "UTF8_STRING", False);
    s.pasteAtom = XInternAtom(dpy, "MORAINE_PASTE", False);
    XFlush(dpy);
    return w;
}

X11Window::~X11Window() {
    if (!state_ || !state_->dpy) return;
    State& s = *state_;
    if (!s.dead) {
        if (s.focusHeld) takeFocus(false);
        if (s.ic) XDestroyIC(s.ic);
        if (s.im) XCloseIM(s.im);
        ErrorTrap trap(s.dpy);
        if (s.gc) XFreeGC(s.dpy, s.gc);
        if (window_) XDestroyWindow(s.dpy, window_);
        if (s.colormap) XFreeColormap(s.dpy, s.colormap);
        XSync(s.dpy, False);
    }
    XCloseDisplay(s.dpy);
    releaseDisplay(s.dpy);
}

void X11Window::bell() {
    if (!alive()) return;
    XBell(state_->dpy, 0);
    XFlush(state_->dpy);
}

void X11Window::takeFocus(bool on) {
    if (!alive() || on == state_->focusHeld) return;
    State& s = *state_;
    ErrorTrap trap(s.dpy);
    if (on) {
        XGetInputFocus(s.dpy, &s.focusBefore, &s.revertBefore);
        XSetInputFocus(s.dpy, window_, RevertToParent, CurrentTime);
        if (s.ic) XSetICFocus(s.ic);
    } else if (s.focusBefore != None && s.focusBefore != PointerRoot) {
        XSetInputFocus(s.dpy, s.focusBefore, s.revertBefore, CurrentTime);
    }
    s.focusHeld = on && trap.ok();
}

void X11Window::setClipboard(const std::string& text) {
    if (!alive()) return;
    State& s = *state_;
    s.clipboard = text;
    XSetSelectionOwner(s.dpy, s.clipboardAtom, window_, CurrentTime);
    s.ownsClipboard = XGetSelectionOwner(s.dpy, s.clipboardAtom) == window_;
    XFlush(s.dpy);
}

void X11Window::requestClipboard() {
    if (!alive()) return;
    State& s = *state_;
    // The answer comes as SelectionNotify on a later poll; nothing here waits for it.
    XConvertSelection(s.dpy, s.clipboardAtom, s.utf8Atom, s.pasteAtom, window_, CurrentTime);
    XFlush(s.dpy);
}

bool X11Window::alive() const { return state_ && state_->dpy && !state_->dead; }

bool X11Window::poll(std::vector<WindowEvent>& out, int limit) {
    if (!alive()) return false;
    Display* dpy = state_->dpy;
    int taken = 0;
    while (taken < limit && XPending(dpy) > 0 && !state_->dead) {
        XEvent e;
        XNextEvent(dpy, &e);
        ++taken;
        if (XFilterEvent(&e, None)) continue; // the input method took it (compose, dead keys)
        if (e.xany.window != window_) continue;
        WindowEvent w{};
        switch (e.type) {
        case Expose:
            w.type = WindowEvent::kExpose;
            w.area = {e.xexpose.x, e.xexpose.y, e.xexpose.width, e.xexpose.height};
            break;
        case ButtonPress:
        case ButtonRelease:
            if (e.xbutton.button == 4 || e.xbutton.button == 5) {
                if (e.type == ButtonRelease) continue;
                w.type = WindowEvent::kWheel;
                w.wheel = e.xbutton.button == 4 ? -1 : 1;
            } else {
                w.type = e.type == ButtonPress ? WindowEvent::kPress : WindowEvent::kRelease;
                w.button = int(e.xbutton.button);
            }
            w.x = e.xbutton.x;
            w.y = e.xbutton.y;
            w.modifiers = modifiersOf(e.xbutton.state);
            break;
        case MotionNotify:
            w.type = WindowEvent::kMotion;
            w.x = e.xmotion.x;
            w.y = e.xmotion.y;
            w.buttonDown = (e.xmotion.state & (Button1Mask | Button2Mask | Button3Mask)) != 0;
            w.modifiers = modifiersOf(e.xmotion.state);
            break;
        case KeyPress: {
            w.type = WindowEvent::kKey;
            XKeyEvent copy = e.xkey; // XLookupString may change what it reads
            w.key = keyOf(copy);
            w.modifiers = modifiersOf(e.xkey.state);
            // Text beyond ASCII (or from a compose sequence) comes through the input method.
            if (state_->ic && !(e.xkey.state & ControlMask) &&
                (w.key == gui::kKeyNone || (w.key >= 32 && w.key < 127))) {
                char buffer[64];
                KeySym sym = NoSymbol;
                Status status = 0;
                const int n = Xutf8LookupString(state_->ic, &e.xkey, buffer, sizeof buffer - 1,
                                                &sym, &status);
                if ((status == XLookupChars || status == XLookupBoth) && n > 0) {
                    const std::string typed(buffer, std::size_t(n));
                    const bool plain = n == 1 && static_cast<unsigned char>(buffer[0]) >= 32 &&
                                       static_cast<unsigned char>(buffer[0]) < 127;
                    if (!plain) {
                        w.type = WindowEvent::kText;
                        w.text = typed;
                        break;
                    }
                }
            }
            if (w.key == gui::kKeyNone) continue;
            break;
        }
        case FocusIn:
            if (state_->ic) XSetICFocus(state_->ic);
            continue;
        case FocusOut:
            if (state_->ic) XUnsetICFocus(state_->ic);
            continue;
        case SelectionClear:
            state_->ownsClipboard = false;
            continue;
        case SelectionRequest: {
            // Another program pastes what we copied.
            const XSelectionRequestEvent& r = e.xselectionrequest;
            XSelectionEvent reply{};
            reply.type = SelectionNotify;
            reply.display = dpy;
            reply.requestor = r.requestor;
            reply.selection = r.selection;
            reply.target = r.target;
            reply.time = r.time;
            reply.property = None;
            const Atom property = r.property ? r.property : r.target;
            if (r.target == state_->targetsAtom) {
                const Atom targets[3] = {state_->targetsAtom, state_->utf8Atom, XA_STRING};
                XChangeProperty(dpy, r.requestor, property, XA_ATOM, 32, PropModeReplace,
                                reinterpret_cast<const unsigned char*>(targets), 3);
                reply.property = property;
            } else if (r.target == state_->utf8Atom || r.target == XA_STRING) {
                XChangeProperty(dpy, r.requestor, property, r.target, 8, PropModeReplace,
                                reinterpret_cast<const unsigned char*>(state_->clipboard.data()),
                                int(state_->clipboard.size()));
                reply.property = property;
            }
            XSendEvent(dpy, r.requestor, False, 0, reinterpret_cast<XEvent*>(&reply));
            continue;
        }
        case SelectionNotify: {
            // The paste we asked for: read once, never waiting for more.
            if (e.xselection.property == None) continue;
            Atom type = None;
            int format = 0;
            unsigned long count = 0, after = 0;
            unsigned char* data = nullptr;
            if (XGetWindowProperty(dpy, window_, state_->pasteAtom, 0, 4096, True,
                                   AnyPropertyType, &type, &format, &count, &after,
                                   &data) == Success &&
                data && format == 8) {
                w.type = WindowEvent::kText;
                w.text.assign(reinterpret_cast<const char*>(data), count);
            }
            if (data) XFree(data);
            if (w.type != WindowEvent::kText || w.text.empty()) continue;
            break;
        }
        default:
            continue;
        }
        out.push_back(w);
    }
    return !state_->dead;
}

void X11Window::upload(const std::uint32_t* pixels, int stride, const std::vector<Rect>& rects) {
    if (!alive() || rects.empty()) return;
    State& s = *state_;
    for (Rect r : rects) {
        r.w = std::min(r.w, width_ - r.x);
        r.h = std::min(r.h, height_ - r.y);
        if (r.w <= 0 || r.h <= 0 || r.x < 0 || r.y < 0) continue;
        if (s.direct) {
            // The panel's pixels are the image: no copy.
            XImage* image = XCreateImage(s.dpy, s.visual, 24, ZPixmap, 0,
                                         reinterpret_cast<char*>(const_cast<std::uint32_t*>(pixels)),
                                         unsigned(width_), unsigned(height_), 32, stride);
            if (!image) continue;
            XPutImage(s.dpy, window_, s.gc, image, r.x, r.y, r.x, r.y, unsigned(r.w), unsigned(r.h));
            image->data = nullptr;
            XDestroyImage(image);
            continue;
        }
        // Any other visual (a 16-bit server, say): each pixel converted through its masks.
        XImage* image = XCreateImage(s.dpy, s.visual, unsigned(depth_), ZPixmap, 0, nullptr,
                                     unsigned(r.w), unsigned(r.h), 32, 0);
        if (!image) continue;
        s.scratch.resize(std::size_t(image->bytes_per_line) * unsigned(r.h));
        image->data = s.scratch.data();
        int shift[3], bits[3];
        for (int c = 0; c < 3; ++c) {
            shift[c] = shiftOf(s.masks[c]);
            bits[c] = bitsOf(s.masks[c]);
        }
        for (int y = 0; y < r.h; ++y) {
            const std::uint32_t* row =
                reinterpret_cast<const std::uint32_t*>(reinterpret_cast<const char*>(pixels) +
                                                       std::size_t(r.y + y) * unsigned(stride));
            for (int x = 0; x < r.w; ++x) {
                const std::uint32_t p = row[r.x + x];
                const unsigned channel[3] = {(p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF};
                unsigned long value = 0;
                for (int c = 0; c < 3; ++c)
                    value |= (unsigned long)(channel[c] >> (8 - std::min(8, bits[c]))) << shift[c];
                XPutPixel(image, x, y, value);
            }
        }
        XPutImage(s.dpy, window_, s.gc, image, 0, 0, r.x, r.y, unsigned(r.w), unsigned(r.h));
        image->data = nullptr;
        XDestroyImage(image);
    }
}

void X11Window::flush() {
    if (alive()) XFlush(state_->dpy);
}

} // namespace moraine::x11
