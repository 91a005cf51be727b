// Moraine_Window: the editor the host opens. Its window is a child of the host's; all of
// its work happens inside the host's idle calls (no thread of its own).
#pragma once

#include "platform/vst2/AEffEditor.h"

#include <memory>
#include <string>

namespace moraine {
class PanelHost;
}
namespace moraine::x11 {
class X11Window;
struct WindowEvent;
} // namespace moraine::x11

namespace moraine::gui {

class Moraine_VSTView;

class Moraine_Window : public AEffEditor {
public:
    Moraine_Window(AudioEffect* effect, PanelHost& host);
    ~Moraine_Window() override;

    bool getRect(ERect** rect) override;
    bool open(void* parent) override;
    void close() override;
    void idle() override;
    bool onKeyDown(VstKeyCode& key) override;
    bool onKeyUp(VstKeyCode& key) override;
    // Host automation reaches the panel through PanelHost's dirty set, which the editor
    // drains on idle; this entry may come from any thread, so it touches nothing.
    void setParameter(VstInt32, float) override {}

    Moraine_VSTView* view() { return view_.get(); }
    // Opens the panel without a window (tests, the dump switch): idle then paints offscreen.
    bool openOffscreen();

private:
    void handle(const x11::WindowEvent& e);
    void dump();

    PanelHost& host_;
    ERect rect_{0, 0, 623, 1010};
    std::unique_ptr<x11::X11Window> window_;
    std::unique_ptr<Moraine_VSTView> view_;
    bool inIdle_ = false;
    bool exposed_ = false;
    std::string dumpPath_;
};

// The editor for the plug-in's setEditor.
AEffEditor* createPanelEditor(AudioEffect* effect, PanelHost& host);

// VST virtual key codes to the panel's keys (0 when the panel has no use for the key).
int panelKeyFromVst(int character, int virtualKey);

} // namespace moraine::gui
