#include "gui/PanelEditor.h"

#include "gui/PanelView.h"
#include "platform/x11/X11Window.h"
#include "plugin/PanelHost.h"

#include <cairo.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace moraine::gui {

namespace {
// The VST 2 virtual key numbers the panel answers to.
enum : int {
    kVkBack = 1,
    kVkTab = 2,
    kVkReturn = 4,
    kVkEscape = 6,
    kVkSpace = 7,
    kVkEnd = 9,
    kVkHome = 10,
    kVkLeft = 11,
    kVkUp = 12,
    kVkRight = 13,
    kVkDown = 14,
    kVkPageUp = 15,
    kVkPageDown = 16,
    kVkEnter = 19,
    kVkDelete = 22,
};
// VST modifier bits: Shift 1, Alt 2, Control 8.
int panelModifiers(int vst) {
    int m = 0;
    if (vst & 1) m |= kModShift;
    if (vst & 2) m |= kModAlt;
    if (vst & 8) m |= kModCtrl;
    return m;
}
} // namespace

int panelKeyFromVst(int character, int virtualKey) {
    switch (virtualKey) {
    case kVkBack: return kKeyBackspace;
    case kVkTab: return kKeyTab;
    case kVkReturn:
    case kVkEnter: return kKeyReturn;
    case kVkEscape: return kKeyEscape;
    case kVkSpace: return ' ';
    case kVkEnd: return kKeyEnd;
    case kVkHome: return kKeyHome;
    case kVkLeft: return kKeyLeft;
    case kVkUp: return kKeyUp;
    case kVkRight: return kKeyRight;
    case kVkDown: return kKeyDown;
    case kVkPageUp: return kKeyPageUp;
    case kVkPageDown: return kKeyPageDown;
    case kVkDelete: return kKeyDelete;
    default: break;
    }
    if (virtualKey == 0 && character >= 32 && character < 127) return character;
    return kKeyNone;
}

Moraine_Window::Moraine_Window(AudioEffect* effect, PanelHost& host)
    : AEffEditor(effect), host_(host) {
    if (const char* path = std::getenv("MORAINE_PANEL_DUMP")) dumpPath_ = path;
}

Moraine_Window::~Moraine_Window() { close(); }

bool Moraine_Window::getRect(ERect** rect) {
    if (rect) *rect = &rect_;
    return true;
}

bool Moraine_Window::open(void* parent) {
    if (openFlag) close();
    window_ = x11::X11Window::open(reinterpret_cast<unsigned long>(parent), kPanelWidth,
                                   kPanelHeight);
    if (!window_) return false;
    auto lock = host_.controlLock(); // the panel reads the library while it builds
    try {
        view_ = std::make_unique<Moraine_VSTView>(host_);
        // Text fields beep, take the keyboard and use the clipboard through the window.
        x11::X11Window* w = window_.get();
        CAUGuiCanvas& canvas = view_->canvas();
        canvas.setBell([w] { w->bell(); });
        canvas.setTextInputHook([w](bool on) { w->takeFocus(on); });
        canvas.setClipboardHooks([w](const std::string& t) { w->setClipboard(t); },
                                 [w] { w->requestClipboard(); });
    } catch (...) {
        view_.reset(); // the editor stays open without a view: idle does nothing
    }
    systemWindow = parent;
    openFlag = true;
    exposed_ = true;
    return true;
}

bool Moraine_Window::openOffscreen() {
    if (openFlag) close();
    auto lock = host_.controlLock();
    view_ = std::make_unique<Moraine_VSTView>(host_);
    openFlag = true;
    return true;
}

void Moraine_Window::close() {
    if (inIdle_) return; // never from inside our own idle
    if (view_) {
        auto lock = host_.controlLock();
        view_.reset();
    }
    window_.reset();
    systemWindow = nullptr;
    openFlag = false;
}

void Moraine_Window::handle(const x11::WindowEvent& e) {
    CAUGuiCanvas& canvas = view_->canvas();
    switch (e.type) {
    case x11::WindowEvent::kPress:
        if (e.button == 1) canvas.mouseDown(e.x, e.y, e.modifiers);
        break;
    case x11::WindowEvent::kRelease:
        if (e.button == 1) canvas.mouseUp(e.x, e.y, e.modifiers);
        break;
    case x11::WindowEvent::kMotion:
        canvas.mouseMove(e.x, e.y, e.buttonDown, e.modifiers);
        break;
    case x11::WindowEvent::kKey:
        canvas.keyDown(e.key, e.modifiers);
        break;
    case x11::WindowEvent::kWheel:
        if (canvas.modal()) canvas.keyDown(e.wheel < 0 ? kKeyUp : kKeyDown, 0);
        break;
    case x11::WindowEvent::kText:
        canvas.textInput(e.text);
        break;
    case x11::WindowEvent::kExpose:
        exposed_ = true;
        break;
    }
}

void Moraine_Window::idle() {
    // Hosts may call idle before open, after close, or again from inside a callback that
    // idle itself caused; none of these does anything.
    if (inIdle_ || !openFlag || !view_) return;
    inIdle_ = true;
    // The library, the texts and patch changes are ours for the whole tick.
    auto lock = host_.controlLock();
    std::vector<x11::WindowEvent> events;
    if (window_ && window_->poll(events))
        for (const auto& e : events) handle(e);
    const std::vector<PanelRect>& damage = view_->idle();
    if (window_ && window_->alive()) {
        const CAUGuiCanvas& canvas = view_->canvas();
        std::vector<x11::Rect> rects;
        if (exposed_) {
            rects.push_back({0, 0, kPanelWidth, kPanelHeight});
        } else if (damage.size() > 16) {
            PanelRect all;
            for (const PanelRect& d : damage) all = unite(all, d);
            rects.push_back({all.x, all.y, all.w, all.h});
        } else {
            for (const PanelRect& d : damage) rects.push_back({d.x, d.y, d.w, d.h});
        }
        exposed_ = false;
        if (!rects.empty()) {
            window_->upload(canvas.pixels(), canvas.stride(), rects);
            window_->flush();
        }
    }
    if (!damage.empty()) dump();
    inIdle_ = false;
}

void Moraine_Window::dump() {
    if (dumpPath_.empty() || !view_) return;
    if (cairo_surface_write_to_png(view_->canvas().surface(), dumpPath_.c_str()) !=
        CAIRO_STATUS_SUCCESS)
        std::printf("could not write the panel image to %s\n", dumpPath_.c_str());
}

bool Moraine_Window::onKeyDown(VstKeyCode& key) {
    if (!view_) return false;
    const int k = panelKeyFromVst(key.character, key.virt);
    if (k == kKeyNone) return false;
    // Keys matter only to a menu or message box; otherwise the host keeps them.
    if (!view_->canvas().modal()) return false;
    return view_->canvas().keyDown(k, panelModifiers(key.modifier)) == kHandled;
}

bool Moraine_Window::onKeyUp(VstKeyCode&) { return false; }

AEffEditor* createPanelEditor(AudioEffect* effect, PanelHost& host) {
    return new Moraine_Window(effect, host);
}

} // namespace moraine::gui
